#include "player/qtrackbutton.h"

#include "foundation/messageloging.h"

#include <QEvent>
#include <QFontMetrics>
#include <QPainter>

QTrackButton::QTrackButton(QWidget* parent)
    : QLabel(parent)
    , m_fontLabel(QStringLiteral("DejaVu Sans"), -1, QFont::Bold)
{
    // 14 points as laid out at 72 dots per inch: 14 pixels on every screen.
    // Sized in points, a 96-dpi screen draws "T24" a third wider and the
    // 24 strips no longer fit a full-HD screen.
    m_fontLabel.setPixelSize(14);
    setMouseTracking(true);
}

void QTrackButton::SetTrackIndex(int index)
{
    m_nTrackIndex = index;
    update();
}

void QTrackButton::SetActive(bool active)
{
    if (active == m_bActive)
        return;
    m_bActive = active;
    update();
}

void QTrackButton::FitLabelToWidth()
{
    m_bFitLabel = true;
    update();
}

void QTrackButton::Initialize()
{
    m_nSoloMask = 0;
    m_bHover = false;
    update();
}

void QTrackButton::OnTrackSoloState(int mask)
{
    slot_SoloTrack(mask);
}

void QTrackButton::slot_SoloTrack(int mask)
{
    m_nSoloMask = mask;
    update();
}

void QTrackButton::OnTrackDisarmed(int mask)
{
    const bool disarmed = TrackBit(mask);
    if (disarmed == m_bDisarmed)
        return;
    m_bDisarmed = disarmed;
    update();
}

void QTrackButton::OnPlayInitInfos(int mask)
{
    m_nPresentMask = mask;
    update();
}

bool QTrackButton::TrackBit(int mask) const
{
    return m_nTrackIndex >= 0 && m_nTrackIndex < 32 && (unsigned(mask) >> m_nTrackIndex) & 1u;
}

bool QTrackButton::IsLive() const
{
    return TrackBit(m_nPresentMask) || m_bActive;
}

QColor QTrackButton::FieldColor() const
{
    if (m_nSoloMask != 0 && TrackBit(m_nSoloMask))
        return m_colSolo;
    if (!IsLive())
        return m_colInactive;
    if (m_bDisarmed)
        return m_colDisarmed;
    return m_nSoloMask == 0 ? m_colActive : QColor(46, 58, 87);
}

QColor QTrackButton::TextColor() const
{
    if (m_nSoloMask != 0 && TrackBit(m_nSoloMask))
        return m_colTextBlack;
    return IsLive() ? m_colTextWhite : m_colTextBlack;
}

void QTrackButton::paintEvent(QPaintEvent*)
{
    const QString text = QString::asprintf("T%d", m_nTrackIndex + 1);
    QPainter painter(this);
    painter.setPen(Qt::NoPen);
    painter.fillRect(rect(), FieldColor());
    painter.setPen(QPen(TextColor(), 1, Qt::SolidLine));
    QFont font = m_fontLabel;
    const int wide = QFontMetrics(font).horizontalAdvance(text);
    if (m_bFitLabel && wide > width())
        font.setPixelSize(qMax(6, font.pixelSize() * width() / wide));
    painter.setFont(font);
    QRect bounds;
    painter.drawText(rect(), Qt::AlignCenter, text, &bounds);

    // Grow rather than clip the label.
    bool grow = false;
    if (bounds.height() > height()) {
        setMinimumHeight(bounds.height());
        grow = true;
    }
    if (bounds.width() > width()) {
        setMinimumWidth(bounds.width());
        grow = true;
    }
    if (grow)
        adjustSize();
}

bool QTrackButton::event(QEvent* event)
{
    if (event->type() == QEvent::MouseButtonPress) {
        emit signal_trackButtonPressed();
    } else if (event->type() == QEvent::Leave) {
        m_bHover = false;
        update();
    }
    return QLabel::event(event);
}

void QTrackButton::mousePressEvent(QMouseEvent*)
{
    MyQDebug(" QTrackButton::mousePressEvent ");
}

void QTrackButton::mouseReleaseEvent(QMouseEvent*)
{
    emit signal_trackButtonReleased();
}

void QTrackButton::mouseMoveEvent(QMouseEvent*)
{
    if (m_bHover)
        return;
    m_bHover = true;
    update();
}
