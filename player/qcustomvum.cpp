#include "player/qcustomvum.h"

#include "player/fontfit.h"
#include "player/metertables.h"
#include "widgets/sharedfonts.h"

#include <QMouseEvent>
#include <QPainter>
#include <QTimer>
#include <algorithm>
#include <cmath>

namespace {

constexpr int kDarkFactor = 150;

bool NearlyEqual(const QRectF& a, const QRectF& b)
{
    auto close = [](qreal x, qreal y) {
        return std::fabs(x - y) <= 1e-12 * std::max({std::fabs(x), std::fabs(y), qreal(1)});
    };
    return close(a.x(), b.x()) && close(a.y(), b.y()) && close(a.width(), b.width())
        && close(a.height(), b.height());
}

QColor Luma(const QColor& c)
{
    const int grey = (11 * c.red() + 16 * c.green() + 5 * c.blue()) / 32;
    return QColor(grey, grey, grey);
}

int LabelThickness(int width)
{
    if (width > 24)
        return 20;
    if (width >= 20)
        return 18;
    if (width >= 16)
        return 16;
    return 14;
}

} // namespace

QCustomVum::QCustomVum(QWidget* parent)
    : QWidget(parent)
{
    m_pCompressorTimer = new QTimer(this);
    m_pCompressorTimer->setSingleShot(true);
    m_pBlinkTimer = new QTimer(this);
    connect(m_pBlinkTimer, SIGNAL(timeout()), this, SLOT(slot_BlinkTimeout()));
    ManageColor();
}

QSize QCustomVum::sizeHint() const
{
    return QSize(100, 540);
}

QSize QCustomVum::minimumSizeHint() const
{
    return QSize(10, 54);
}

int QCustomVum::StepHeight(int step) const
{
    return step * m_nBarHeight / 31;
}

int QCustomVum::ZoneBoundaryHeight(double zoneValue) const
{
    const int position = ZoneScalePosition(static_cast<int>(zoneValue), m_nScaleNumber);
    return position * m_nBarHeight / kScalePositionMax;
}

QColor QCustomVum::Shade(QColor color) const
{
    return (m_bDarker || m_bMuted || m_bDisarmed) ? color.darker(kDarkFactor) : color;
}

// --- level ---------------------------------------------------------------

void QCustomVum::setValueViaLookup(int level)
{
    const bool stateChanged = m_Steps.update(level);
    const QRectF oldMask = m_rcMask;
    const QRectF oldGap = m_rcPeakGap;
    UpdateLevelRects();
    if (stateChanged || !NearlyEqual(oldMask, m_rcMask) || !NearlyEqual(oldGap, m_rcPeakGap))
        RepaintUnlessHeld();
}

bool QCustomVum::HeldLook::operator==(const HeldLook& o) const
{
    return shown == o.shown && peak == o.peak && over == o.over && mixdown == o.mixdown && disarmed == o.disarmed
           && muted == o.muted && darker == o.darker && NearlyEqual(mask, o.mask) && NearlyEqual(peakGap, o.peakGap)
           && input == o.input && info == o.info;
}

QCustomVum::HeldLook QCustomVum::CurrentHeldLook() const
{
    HeldLook look;
    look.shown = m_Steps.shownStep();
    look.peak = m_Steps.peakStep();
    look.over = m_Steps.overLit();
    look.mixdown = m_bMixdown;
    look.disarmed = m_bDisarmed;
    look.muted = m_bMuted;
    look.darker = m_bDarker;
    look.mask = m_rcMask;
    look.peakGap = m_rcPeakGap;
    look.input = m_colInputType;
    look.info = m_czInfo;
    return look;
}

void QCustomVum::HoldRepaint(bool hold)
{
    if (hold == m_bRepaintHeld)
        return;
    m_bRepaintHeld = hold;
    if (hold) {
        m_HeldLook = CurrentHeldLook();
        m_bRepaintWanted = false;
    } else if (m_bRepaintWanted && !(CurrentHeldLook() == m_HeldLook)) {
        update();
    }
}

void QCustomVum::RepaintUnlessHeld()
{
    if (m_bRepaintHeld)
        m_bRepaintWanted = true;
    else
        update();
}

void QCustomVum::UpdateLevelRects()
{
    const int shown = std::min(m_Steps.shownStep(), kZoneValueMax);
    const int peak = std::min(m_Steps.peakStep(), kZoneValueMax);
    const int h = m_nBarHeight;
    m_rcMask = QRectF(0, m_nBarTop, m_nWidth, h - StepHeight(peak));
    m_rcPeakGap = QRectF();
    if (peak >= 2) {
        const float top = float(peak - 1) * float(h) / 31.0f;
        const float bottom = float(shown) * float(h) / 31.0f;
        if (top - bottom > 1.0f)
            m_rcPeakGap = QRectF(0, m_nBarTop + h - top, m_nWidth, top - bottom);
    }
}

// --- settings --------------------------------------------------------------

void QCustomVum::setZoneLevel(bool gradient, int red, int yellow, bool grid, int blueLine, int scale)
{
    m_bGradientBar = gradient;
    m_dRedZone = ClampZoneValue(red);
    m_dYellowZone = ClampZoneValue(yellow);
    m_bGrid = grid;
    m_nBlueLine = ClampZoneValue(blueLine);
    m_nScaleNumber = scale == 1 ? 1 : 0;
    UpdateBarGeometry();
    update();
}

void QCustomVum::setBalisticAndPeak(int ballistic, int peakHold)
{
    m_Steps.setFallShift(ballistic);
    m_Steps.setPeakHoldTime(peakHold);
}

void QCustomVum::setVumMixdown(bool mixdown)
{
    m_bMixdown = mixdown;
    UpdateBarGeometry();
    RepaintUnlessHeld();
}

void QCustomVum::setColorInputType(QColor color)
{
    m_colInputType = color;
    RepaintUnlessHeld();
}

void QCustomVum::setColorTextLabel(QColor color)
{
    m_colText = color;
    update();
}

void QCustomVum::setColorHighGradian(QColor color)
{
    m_colBaseHighGradient = color;
    update();
}

void QCustomVum::setColorLowGradian(QColor color)
{
    m_colBaseLowGradient = color;
    update();
}

void QCustomVum::SetUserDisarmed(bool disarmed)
{
    if (disarmed != m_bDisarmed) {
        m_bDisarmed = disarmed;
        m_bLabelsDirty = true;
        ManageColor();
        RepaintUnlessHeld();
    }
    if (m_bDisarmed)
        m_czInfo = QStringLiteral("Disarmed");
}

void QCustomVum::SetUserMuted(bool muted)
{
    if (muted != m_bMuted) {
        m_bMuted = muted;
        m_bLabelsDirty = true;
        ManageColor();
        RepaintUnlessHeld();
    }
    if (m_bMuted)
        m_czInfo = QStringLiteral("Muted");
}

void QCustomVum::SetDarker(bool darker)
{
    if (darker == m_bDarker)
        return;
    m_bDarker = darker;
    ManageColor();
    RepaintUnlessHeld();
}

void QCustomVum::setBarHeight(int height)
{
    if (m_nHeight < 1)
        return;
    m_nBarHeight = std::max(height, 0);
    UpdateBarGeometry();
    update();
}

void QCustomVum::setVumPlayerType(bool player)
{
    m_bPlayerType = player;
    m_nBarHeight = player ? 160 : 200;
    UpdateBarGeometry();
    update();
}

void QCustomVum::setNameLabel(const QString& name)
{
    m_czName = name;
    RedrawArea();
}

void QCustomVum::RedrawArea()
{
    m_bLabelsDirty = true;
    update();
}

void QCustomVum::setBottomLabel(const QString& label)
{
    if (label == m_czBottomLabel)
        return;
    m_czBottomLabel = label;
    update();
}

void QCustomVum::setPhaseInverse(bool inverse)
{
    m_bPhaseInverse = inverse;
    update();
}

void QCustomVum::SetHighLightTrackName(bool highlight)
{
    m_bHighlightName = highlight;
    update();
}

void QCustomVum::setCompressorEnabled(int kind, int on)
{
    if (kind == 0)
        m_bCompressor0 = on != 0;
    else if (kind == 3)
        m_bCompressor3 = on != 0;
    m_bCompressorLamp = m_bCompressor0 || m_bCompressor3;
    if (!m_bCompressorLamp) {
        m_pCompressorTimer->stop();
        m_pBlinkTimer->stop();
        m_bBlinkOn = false;
    }
    update();
}

void QCustomVum::setCompressorState(int state)
{
    if (state == 0)
        return;
    if (!(m_pBlinkTimer->isActive() && m_pCompressorTimer->isActive()))
        m_pBlinkTimer->start(400);
    m_pCompressorTimer->start(4000);
}

void QCustomVum::slot_BlinkTimeout()
{
    if (!m_pCompressorTimer->isActive()) {
        m_pBlinkTimer->stop();
        m_bBlinkOn = false;
    } else {
        m_bBlinkOn = !m_bBlinkOn;
    }
    update();
}

void QCustomVum::setValueMixerLevel(int level)
{
    m_nMixerLevel = level;
    if (level <= -1000) {
        m_czMixerLevel = QString::fromUtf8("\u221E");
        m_colMixerLevel = Qt::white;
    } else {
        m_czMixerLevel = QString::asprintf("%02d", level / 10);
        m_colMixerLevel = level >= 1 ? QColor(255, 127, 0) : QColor(Qt::white);
    }
    update();
}

QString QCustomVum::valueBoxText() const
{
    if (m_bDisplayMixerLevel)
        return m_czMixerLevel;
    const int step = std::min(m_Steps.shownStep(), kZoneValueMax);
    if (step == 0)
        return QStringLiteral("xx");
    if (step == 1)
        return QStringLiteral("--");
    return QString::asprintf("%02d", DecibelToScale[step]);
}

// --- colours and geometry --------------------------------------------------

void QCustomVum::ManageColor()
{
    const QColor* base[6] = {&m_colBaseHighGradient, &m_colBaseLowGradient, &m_colBaseRedZone,
                             &m_colBaseYellowZone, &m_colBaseNormalZone, &m_colBaseMixdown};
    QColor* eff[6] = {&m_colHighGradient, &m_colLowGradient, &m_colRedZone,
                      &m_colYellowZone, &m_colNormalZone, &m_colMixdown};
    for (int i = 0; i < 6; ++i) {
        QColor c = (m_bDisarmed || m_bMuted) ? Luma(*base[i]) : *base[i];
        *eff[i] = m_bDarker ? c.darker(kDarkFactor) : c;
    }
    UpdateBarGeometry();
}

void QCustomVum::UpdateBarGeometry()
{
    const int h = m_nBarHeight;
    auto zoneRect = [&](double value, int shorter) {
        return QRect(0, m_nBarTop, m_nWidth, std::max(h - ZoneBoundaryHeight(value) - shorter, 0));
    };
    m_rcNormalZone = zoneRect(m_dGradientEnd, 0);
    m_rcYellowZone = zoneRect(m_dYellowZone, 0);
    m_rcRedZone = zoneRect(m_dRedZone, 1);
    m_rcGradientBar = m_rcNormalZone;
    m_Gradient = QLinearGradient(0, m_nBarTop, 0, h - ZoneBoundaryHeight(m_dGradientEnd));
    m_Gradient.setColorAt(0, m_colHighGradient);
    m_Gradient.setColorAt(1, m_bMixdown ? m_colMixdown : m_colLowGradient);
    UpdateLevelRects();
}

void QCustomVum::resizeEvent(QResizeEvent* event)
{
    QWidget::resizeEvent(event);
    const int w = width();
    const int h = height();
    if (w < 1 || h < 1 || (w == m_nWidth && h == m_nHeight))
        return;
    m_nWidth = w;
    m_nHeight = h;
    const int r = (h - 28) % 32;
    m_nBarTop = 14 + r / 2;
    m_nBarHeight = std::max(h - 28 - 2 * (r / 2), 0);
    update();
    UpdateBarGeometry();
    setValueViaLookup(-1);
    m_bValueBoxValid = false;
    m_bBottomFontValid = false;
    m_bLabelsDirty = true;
}

// --- mouse -----------------------------------------------------------------

void QCustomVum::mousePressEvent(QMouseEvent* event)
{
    m_ptPress = event->localPos().toPoint();
    m_bPressed = true;
}

void QCustomVum::mouseReleaseEvent(QMouseEvent* event)
{
    const bool wasPressed = m_bPressed;
    m_bPressed = false;
    if (!wasPressed || event->localPos().toPoint() != m_ptPress || !isVisible())
        return;
    m_nLastButton = int(event->button());
    emit signal_MouseClicked();
}

// --- painting --------------------------------------------------------------

void QCustomVum::MeasureBottomBox()
{
    const int top = m_nBarTop;
    m_rcBottomBox = QRectF(1, top + m_nBarHeight + top / 10, width() - 2, top - top / 5);
    m_fontBottom = FittedFont(generalFont6, m_rcBottomBox, QStringLiteral("00"));
    m_bBottomFontValid = true;
}

void QCustomVum::MeasureValueBox(QPainter& painter)
{
    const int top = m_nBarTop;
    const QRect box(1, top / 10, width() - 2, top - top / 5);
    m_fontValue = FittedFont(generalFont6, box, QStringLiteral("00"));
    painter.save();
    painter.setFont(m_fontValue);
    m_rcValueBox = painter.boundingRect(box, Qt::AlignCenter, QStringLiteral("00"));
    painter.restore();
    const int inset = top / 5;
    m_rcOverLamp = QRect(QPoint(inset, m_rcValueBox.top() + inset),
                         QPoint(width() - 1 - inset, m_rcValueBox.bottom() - inset));
    m_bValueBoxValid = true;
}

void QCustomVum::MeasureLabels()
{
    const int thickness = LabelThickness(width());
    const QRectF fitBox(0, 0, 100, thickness);
    m_nLabelBaseY = height() - m_nBarTop - m_nBarHeight / 40 - 3;
    // A rotated label: its length runs up the bar from the base line, its
    // thickness is centred across the width.
    auto labelBox = [&](const QString& text, QFont& font) {
        if (text.isEmpty())
            return QRect();
        font = FittedFont(generalFont6, fitBox, text, Qt::TextSingleLine);
        const QFontMetrics fm(font);
        const int length = fm.horizontalAdvance(text);
        const int across = fm.height();
        return QRect((width() - across) / 2, m_nLabelBaseY - length, across, length);
    };
    const QRect name = labelBox(m_czName, m_fontName);
    m_rcNameBox = name.isNull() ? QRect() : name.adjusted(-1, -3, 1, 3);
    const QRect info = labelBox(m_czInfo, m_fontInfo);
    m_rcInfoBox = info.isNull() ? QRect() : info.adjusted(1, -3, -1, 3);
    m_rgnLabelClip = QRegion(rect());
    if (!m_bMuted && !m_bDisarmed) {
        m_rgnLabelClip -= m_rcNameBox;
    } else {
        m_rgnLabelClip -= m_rcInfoBox;
        if (!m_rcNameBox.isEmpty())
            m_rgnLabelClip -= m_rcNameBox;
    }
    m_bLabelsDirty = false;
}

void QCustomVum::paintEvent(QPaintEvent*)
{
    QPainter painter(this);
    if (!m_bBottomFontValid)
        MeasureBottomBox();
    if (!m_bValueBoxValid)
        MeasureValueBox(painter);
    if (m_bLabelsDirty)
        MeasureLabels();
    PaintBottomLabel(painter);
    PaintBar(painter);
    PaintGrid(painter);
    PaintNameAndInfo(painter);
    PaintValueBox(painter);
    PaintCompressorLamp(painter);
}

void QCustomVum::PaintBottomLabel(QPainter& painter)
{
    painter.setPen(Qt::NoPen);
    painter.setBrush(Shade(m_colInputType));
    painter.setRenderHint(QPainter::Antialiasing, true);
    painter.drawRoundedRect(m_rcBottomBox, 4, 4);
    QColor text = m_bDarker ? m_colText.darker(kDarkFactor) : m_colText;
    if (m_bMuted || m_bDisarmed)
        text = Qt::darkGray;
    painter.setPen(text);
    painter.setFont(m_fontBottom);
    painter.drawText(m_rcBottomBox, Qt::AlignCenter, m_czBottomLabel);
    if (m_bPhaseInverse) {
        painter.setPen(m_bDarker ? QColor(Qt::white).darker(kDarkFactor) : QColor(Qt::white));
        painter.drawLine(2, height() - 1, width() - 4, height() - 1);
        painter.drawLine(2, height() - 2, width() - 4, height() - 2);
    }
}

void QCustomVum::PaintBar(QPainter& painter)
{
    painter.setRenderHint(QPainter::Antialiasing, false);
    if (m_bGradientBar) {
        painter.setPen(Qt::NoPen);
        painter.setBrush(m_Gradient);
        painter.drawRect(m_rcGradientBar);
    } else {
        painter.setPen(QPen());
        painter.setBrush(m_bMixdown ? m_colMixdown : m_colNormalZone);
        painter.drawRect(m_rcNormalZone);
        painter.setPen(m_colYellowZone);
        painter.setBrush(m_colYellowZone);
        painter.drawRect(m_rcYellowZone);
        painter.setPen(m_colRedZone);
        painter.setBrush(m_colRedZone);
        painter.drawRect(m_rcRedZone);
    }
    painter.setPen(Qt::black);
    painter.setBrush(QColor(40, 40, 40));
    painter.drawRect(m_rcMask);
    if (!m_rcPeakGap.isEmpty())
        painter.drawRect(m_rcPeakGap);
}

void QCustomVum::PaintGrid(QPainter& painter)
{
    const int h = m_nBarHeight;
    if (m_bGrid) {
        painter.save();
        if (!m_czName.isEmpty() || m_bMuted || m_bDisarmed)
            painter.setClipRegion(m_rgnLabelClip);
        painter.setPen(Qt::black);
        for (int i = 1; i < 20; ++i) {
            const int y = m_nBarTop + h - i * h / 20;
            painter.drawLine(0, y, width(), y);
        }
        painter.restore();
    }
    if (m_nBlueLine != 0) {
        painter.setPen(QPen(Qt::blue, 2));
        const int y = m_nBarTop + h - m_nBlueLine * h / 31 - (m_nBlueLine == 23 ? 1 : 0);
        painter.drawLine(0, y, width(), y);
    }
    painter.setPen(Qt::black);
    painter.drawLine(0, m_nBarTop + 1, 0, m_nBarTop + h);
    painter.drawLine(width() - 1, m_nBarTop + 1, width() - 1, m_nBarTop + h);
}

void QCustomVum::PaintNameAndInfo(QPainter& painter)
{
    painter.setPen(Qt::NoPen);
    painter.setRenderHint(QPainter::Antialiasing, true);
    if (m_bHighlightName) {
        painter.setBrush(QColor(189, 51, 164));
        painter.drawRoundedRect(m_czName.isEmpty() ? QRect(0, 0, 20, 30) : m_rcNameBox, 3, 3);
    } else if (!m_czName.isEmpty()) {
        painter.setOpacity(0.45);
        painter.drawRect(m_rcNameBox);
        painter.setOpacity(1);
    }
    auto drawRotated = [&](const QRect& box, const QFont& font, const QString& text) {
        painter.save();
        painter.translate(box.left(), box.bottom());
        painter.rotate(270);
        painter.setFont(font);
        painter.drawText(QRect(0, 0, box.height(), box.width()), Qt::AlignCenter, text);
        painter.restore();
    };
    if (!m_czName.isEmpty()) {
        painter.setPen(Shade(m_Steps.shownStep() == 0 ? QColor(Qt::darkGray) : QColor(Qt::white)));
        drawRotated(m_rcNameBox, m_fontName, m_czName);
    }
    if (m_bMuted || m_bDisarmed) {
        painter.setPen(Qt::NoPen);
        painter.setOpacity(0.45);
        painter.drawRoundedRect(m_rcInfoBox, 3, 3);
        painter.setOpacity(1);
        painter.setPen(m_bMuted ? QColor(Qt::red) : QColor(Qt::darkGray));
        drawRotated(m_rcInfoBox, m_fontInfo, m_czInfo);
    }
}

void QCustomVum::PaintValueBox(QPainter& painter)
{
    if (m_Steps.overLit()) {
        painter.setPen(Qt::NoPen);
        painter.setBrush(QColor(255, 0, 0));
        painter.drawRoundedRect(m_rcOverLamp, 4, 4);
        return;
    }
    painter.setFont(m_fontValue);
    if (m_bDisplayMixerLevel)
        painter.setPen(m_colMixerLevel);
    else
        painter.setPen(m_Steps.shownStep() != 0 ? m_colText : QColor(Qt::darkGray));
    painter.drawText(m_rcValueBox, Qt::AlignCenter, valueBoxText());
}

void QCustomVum::PaintCompressorLamp(QPainter& painter)
{
    if (!m_bCompressorLamp)
        return;
    painter.setRenderHint(QPainter::Antialiasing, false);
    painter.setPen(m_bBlinkOn ? QColor(Qt::yellow) : QColor(Qt::gray));
    const int size = width() < 16 ? 11 : 13;
    const int left = (width() - size) / 2;
    for (int row = 0; row <= size / 2; ++row)
        painter.drawLine(left + row, row, left + size - 1 - row, row);
}
