#include "player/fontfit.h"

#include <QFontMetricsF>
#include <algorithm>

float FontFitFactor(const QFont& font, const QRectF& box, const QString& sample, int flags)
{
    if (box.width() <= 0 || box.height() <= 0)
        return 1.0f;
    const QRectF text = QFontMetricsF(font).boundingRect(box, flags, sample);
    if (text.width() <= 0 || text.height() <= 0)
        return 1.0f;
    return static_cast<float>(std::min(box.width() / text.width(), box.height() / text.height()));
}

QFont ScaledFont(QFont font, float factor)
{
    if (factor > 0 && font.pointSizeF() > 0)
        font.setPointSizeF(font.pointSizeF() * factor);
    return font;
}

QFont FittedFont(const QFont& font, const QRectF& box, const QString& sample, int flags)
{
    return ScaledFont(font, FontFitFactor(font, box, sample, flags));
}
