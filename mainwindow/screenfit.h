#ifndef NALVO_MAINWINDOW_SCREENFIT_H
#define NALVO_MAINWINDOW_SCREENFIT_H

#include <QList>
#include <QRect>

// A stored window rectangle made to lie wholly on one screen area: the area
// it overlaps most (the nearest one when it overlaps none), no larger than
// that area, moved inside it. A rectangle stored on a monitor that is gone,
// or grown past any screen, comes back where the user can see and reach it.
// Position and size come apart (as stored) and are first bounded to a
// range no desktop reaches, so that no sum of them can overflow; a size
// below 1 counts as 1. Without areas only those bounds apply.
QRect FitToAreas(const QPoint& pos, const QSize& size, const QList<QRect>& areas);

// The same over the available areas of the screens the system reports now.
QRect FitToScreens(const QPoint& pos, const QSize& size);

#endif
