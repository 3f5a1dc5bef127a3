#ifndef NALVO_WIDGETS_SCREENFIT_H
#define NALVO_WIDGETS_SCREENFIT_H

#include <QList>
#include <QRect>

class QWidget;

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

// The available area of the screen a window is on or opens on: its parent
// window's screen, else the screen under it, else the primary one. Empty
// without screens.
QRect AvailableAreaOf(const QWidget* window);

// Keeps a window (the main window, a dialog) whole on its screen each time
// it is shown, called once by its constructor. One larger than the
// screen's available area, title bar included, is made as large as the
// area: a dialog whose layout cannot shrink that far gets its content in a
// scroll area, so that every control stays in reach. A title bar is known
// only once the window manager has framed the window: until then a
// dialog's is taken to be as its parent window's, and for a short while
// after showing, the frame the window manager gives is fitted in as well.
void KeepOnScreen(QWidget* window);

#endif
