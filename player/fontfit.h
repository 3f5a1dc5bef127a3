#ifndef NALVO_PLAYER_FONTFIT_H
#define NALVO_PLAYER_FONTFIT_H

#include <QFont>
#include <QRectF>
#include <QString>

// The factor by which the font's point size must be multiplied for the
// sample text (laid out in the box with the given flags) to fill the box;
// the smaller of the width and height ratios. 1 when nothing can be measured.
float FontFitFactor(const QFont& font, const QRectF& box, const QString& sample,
                    int flags = Qt::TextWordWrap);

// The font with its point size multiplied by factor (fonts sized in pixels
// and non-positive factors leave it as is).
QFont ScaledFont(QFont font, float factor);

// The font scaled so that the sample fills the box.
QFont FittedFont(const QFont& font, const QRectF& box, const QString& sample,
                 int flags = Qt::TextWordWrap);

#endif
