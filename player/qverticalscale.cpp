#include "player/qverticalscale.h"

#include "foundation/fonts.h"
#include "player/fontfit.h"
#include "widgets/sharedfonts.h"

#include <QPainter>

namespace {

// Labelled slots and their texts on the Original and the Extended scale.
struct ScaleSlot
{
    int slot;
    const char* original;
    const char* extended;
};

const ScaleSlot kSlots[] = {
    {0, "inf", "-\u221E"}, {1, "51", "45"}, {2, "45", "36"}, {3, "39", "32"}, {4, "36", "30"},
    {5, "33", "28"},       {7, "30", "25"}, {9, "27", "22"}, {11, "24", "19"}, {13, "21", "17"},
    {15, "18", "14"},      {17, "14", "9"}, {18, "9", "6"},  {19, "6", "3"},   {20, "0", "0"},
};

// Slots 17 to 19 sit a little lower so that they line up with their boundaries.
int SlotTop(int slot)
{
    if (slot == 17)
        return 217 - 10 * slot;
    if (slot == 18 || slot == 19)
        return 216 - 10 * slot;
    return 215 - 10 * slot;
}

} // namespace

QVerticalScale::QVerticalScale(QWidget* parent)
    : QWidget(parent)
    , m_fFontFactor(FontFactor())
{
}

QString QVerticalScale::SlotLabel(int scale, int slot)
{
    for (const ScaleSlot& s : kSlots) {
        if (s.slot == slot)
            return QString::fromUtf8(scale == 1 ? s.extended : s.original);
    }
    return QString();
}

void QVerticalScale::SetScaleNumber(int scale)
{
    m_nScaleNumber = scale;
    update();
}

void QVerticalScale::slot_setColorBg(QColor color)
{
    m_colBackground = color;
    update();
}

void QVerticalScale::slot_setColorValue(QColor color)
{
    m_colValue = color;
    update();
}

void QVerticalScale::paintEvent(QPaintEvent*)
{
    QPainter painter(this);
    painter.setPen(QPen(Qt::white, 1));
    painter.setFont(ScaledFont(generalFont7, m_fFontFactor));
    // The slots are laid out on a 240-unit column stretched to the meter's
    // height; the numbers keep the font's own shape (stretched with the
    // column they shrank to a few pixels).
    const qreal unit = height() / 240.0;
    for (const ScaleSlot& s : kSlots) {
        const QRectF box(0, SlotTop(s.slot) * unit, width(), 10 * unit);
        painter.drawText(box, Qt::AlignCenter | Qt::TextDontClip,
                         QString::fromUtf8(m_nScaleNumber == 1 ? s.extended : s.original));
    }
}
