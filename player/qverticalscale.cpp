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

    // Where the font is larger than the slots allow, some numbers would
    // touch: the ends of the scale (0 dB, then the bottom) are kept first,
    // then the numbers from the top down while each has room.
    const QFontMetricsF metrics(font);
    QVector<int> order;
    order << int(std::size(kSlots)) - 1 << 0;
    for (int i = int(std::size(kSlots)) - 2; i > 0; --i)
        order << i;
    QVector<QRectF> boxes;
    QVector<QPair<qreal, qreal>> spans;
    for (int i : qAsConst(order)) {
        const ScaleSlot& s = kSlots[i];
        const QRectF box(0, top + SlotTop(s.slot) * unit, width(), pitch);
        // The ink of the text as a centred line draws it.
        const qreal baseline = box.center().y() - metrics.height() / 2 + metrics.ascent();
        const QRectF ink = metrics.tightBoundingRect(QString::fromUtf8(m_nScaleNumber == 1 ? s.extended : s.original));
        boxes << box;
        spans << qMakePair(baseline + ink.top(), baseline + ink.bottom());
    }
    // Numbers closer than this read as one ("0" over "6" as "06").
    const QVector<bool> shown = SpacedLabels(spans, std::max<qreal>(3.0, metrics.capHeight() * 0.4));

    QPainter painter(this);
    painter.setPen(QPen(Qt::white, 1));
    painter.setFont(font);
    for (int k = 0; k < order.size(); ++k) {
        if (!shown.at(k))
            continue;
        const ScaleSlot& s = kSlots[order.at(k)];
        painter.drawText(boxes.at(k), Qt::AlignCenter | Qt::TextDontClip,
                         QString::fromUtf8(m_nScaleNumber == 1 ? s.extended : s.original));
    }
}

QVector<bool> QVerticalScale::SpacedLabels(const QVector<QPair<qreal, qreal>>& spans, qreal gap)
{
    QVector<bool> kept(spans.size(), false);
    for (int i = 0; i < spans.size(); ++i) {
        kept[i] = true;
        for (int j = 0; j < i && kept.at(i); ++j) {
            if (kept.at(j) && spans.at(i).first < spans.at(j).second + gap
                && spans.at(j).first < spans.at(i).second + gap)
                kept[i] = false;
        }
    }
    return kept;
}
