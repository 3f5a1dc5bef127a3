#include "player/qverticalscale.h"

#include "foundation/fonts.h"
#include "player/fontfit.h"
#include "player/qcustomvum.h"
#include "widgets/sharedfonts.h"

#include <QEvent>
#include <QPainter>

#include <algorithm>
#include <cmath>

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

// The slots are laid out on a 240-unit column drawn over a meter 188 pixels
// high, whose bar runs from 14 to 174.
constexpr double kColumnUnits = 240.0;
constexpr double kDesignHeight = 188.0;
constexpr double kDesignBarTop = 14.0;
constexpr double kDesignBarLength = 160.0;

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

void QVerticalScale::SetMeter(QCustomVum* meter)
{
    if (m_pMeter)
        m_pMeter->removeEventFilter(this);
    m_pMeter = meter;
    if (meter)
        meter->installEventFilter(this);
    update();
}

bool QVerticalScale::eventFilter(QObject* watched, QEvent* event)
{
    if (watched == m_pMeter && (event->type() == QEvent::Resize || event->type() == QEvent::Move))
        update();
    return QWidget::eventFilter(watched, event);
}

void QVerticalScale::paintEvent(QPaintEvent*)
{
    // The meter's bar in this widget's coordinates.
    qreal barTop = kDesignBarTop * height() / kDesignHeight;
    qreal barLength = kDesignBarLength * height() / kDesignHeight;
    if (m_pMeter && m_pMeter->window() == window()) {
        barTop = m_pMeter->mapTo(window(), QPoint()).y() - mapTo(window(), QPoint()).y() + m_pMeter->barTop();
        barLength = m_pMeter->barHeight();
    }
    const qreal unit = kDesignHeight / kColumnUnits * barLength / kDesignBarLength;
    const qreal top = barTop - kDesignBarTop * barLength / kDesignBarLength;

    // The numbers keep the font's own shape and grow with the meter, no
    // taller than two neighbouring slots leave room for, no smaller than
    // the form's 7 points.
    QFont font = ScaledFont(generalFont7, m_fFontFactor);
    const qreal pitch = 10 * unit;
    QFont probe = font;
    probe.setPixelSize(100);
    const qreal digitHeight = QFontMetricsF(probe).tightBoundingRect(QStringLiteral("0")).height() / 100.0;
    const int roomy = int(std::floor((pitch - 1.5) / digitHeight));
    if (roomy > QFontInfo(font).pixelSize())
        font.setPixelSize(roomy);

    QPainter painter(this);
    painter.setPen(QPen(Qt::white, 1));
    painter.setFont(font);
    for (const ScaleSlot& s : kSlots) {
        const QRectF box(0, top + SlotTop(s.slot) * unit, width(), pitch);
        painter.drawText(box, Qt::AlignCenter | Qt::TextDontClip,
                         QString::fromUtf8(m_nScaleNumber == 1 ? s.extended : s.original));
    }
}
