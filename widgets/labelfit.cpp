#include "widgets/labelfit.h"

#include <QFontMetrics>
#include <QLabel>

void ShrinkFontToFit(QLabel* label)
{
    if (!label)
        return;
    QFont font = label->font();
    if (font.pointSizeF() <= 0)
        return;
    const QFontMetrics metrics(font);
    const int width = metrics.horizontalAdvance(label->text());
    const int height = metrics.height();
    if (width <= label->width() && height <= label->height())
        return;
    const qreal factor = qMin(width > 0 ? qreal(label->width()) / width : 1.0,
                              height > 0 ? qreal(label->height()) / height : 1.0);
    font.setPointSizeF(qMax(1.0, font.pointSizeF() * factor));
    label->setFont(font);
}

void SetElidedText(QLabel* label, const QString& text)
{
    if (!label)
        return;
    const QString shown = label->fontMetrics().elidedText(text, Qt::ElideMiddle, label->width());
    label->setText(shown);
    label->setToolTip(shown == text ? QString() : text);
}
