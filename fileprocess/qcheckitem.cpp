#include "fileprocess/qcheckitem.h"

#include "widgets/sharedfonts.h"

#include <QMouseEvent>
#include <QPainter>

namespace {
const QColor kYellow(255, 253, 0);
const QColor kTeal(28, 159, 179);
const QString kChecked = QStringLiteral("\u2714");
const QString kUnchecked = QStringLiteral("\u2718");
const QString kAbsent = QStringLiteral("\u2022");
const QString kDisarmed = QStringLiteral("D");
}

QCheckItem::QCheckItem(QWidget* parent, int id)
    : QWidget(parent)
    , m_nId(id)
{
}

void QCheckItem::SetChecked(bool checked)
{
    if (checked == m_bChecked)
        return;
    m_bChecked = checked;
    m_fScale = 0.0f;
    update();
}

void QCheckItem::setDisabled(bool disabled)
{
    m_bDisabled = disabled ? 1 : 0;
    m_fScale = 0.0f;
    update();
}

void QCheckItem::setDesarmed(bool desarmed)
{
    m_bDesarmed = desarmed ? 1 : 0;
    m_fScale = 0.0f;
    update();
}

void QCheckItem::setId(int id)
{
    m_nId = id;
    update();
}

QString QCheckItem::Glyph() const
{
    if (m_bDisabled)
        return kAbsent;
    if (m_bDesarmed)
        return kDisarmed;
    return m_bChecked ? kChecked : kUnchecked;
}

void QCheckItem::slot_SelectionChanged(int selectedId)
{
    if (selectedId != m_nId && m_nSelectedId != m_nId)
        return;
    m_nSelectedId = selectedId;
    update();
}

void QCheckItem::mousePressEvent(QMouseEvent*)
{
    m_bPressed = true;
}

void QCheckItem::mouseReleaseEvent(QMouseEvent* event)
{
    const bool wasPressed = m_bPressed;
    m_bPressed = false;
    if (!wasPressed || !m_bHover || !isVisible())
        return;
    m_nLastButton = event->button();
    emit signal_itemClicked(m_nId, m_nLastButton);
}

void QCheckItem::enterEvent(QEvent*)
{
    m_bHover = true;
    update();
}

void QCheckItem::leaveEvent(QEvent*)
{
    m_bHover = false;
    update();
}

void QCheckItem::resizeEvent(QResizeEvent* event)
{
    m_fScale = 0.0f;
    QWidget::resizeEvent(event);
}

void QCheckItem::paintEvent(QPaintEvent*)
{
    QPainter painter(this);
    painter.setPen(Qt::NoPen);
    const QRect itemRect(0, 0, width(), height());
    const QRect frameRect(0, 0, width() - 1, height() - 1);
    const bool lit = Highlighted();

    QColor glyphColour = Qt::white;
    QColor fill;   // invalid: no fill
    if (m_bDisabled) {
        glyphColour = Qt::darkGray;
    } else if (m_bDesarmed) {
        glyphColour = Qt::red;
        m_Font.setWeight(lit ? 75 : 50);
        fill = lit ? kYellow.darker(220) : QColor(Qt::black);
    } else if (m_bChecked) {
        glyphColour = lit ? kYellow : QColor(Qt::white);
        m_Font.setWeight(lit ? 75 : 50);
        fill = kTeal;
    } else {
        glyphColour = lit ? kYellow : QColor(Qt::white);
        m_Font.setWeight(lit ? 75 : 50);
    }
    if (fill.isValid())
        painter.fillRect(frameRect, fill);

    painter.setBrush(Qt::NoBrush);
    painter.setPen(QPen(m_bDisabled ? QColor(Qt::darkGray) : m_bHover ? kYellow : QColor(Qt::gray), 1));
    painter.drawRect(frameRect);

    const QString glyph = Glyph();
    if (m_fScale == 0.0f) {
        // Measured once per state and size: hovering a row repaints only.
        const int weight = m_Font.weight();
        m_Font = generalFont6;
        m_Font.setWeight(75);
        painter.setFont(m_Font);
        const QRect bounds
            = painter.fontMetrics().boundingRect(itemRect, Qt::TextWordWrap | Qt::TextDontClip, glyph);
        if (bounds.width() > 0 && bounds.height() > 0) {
            m_fScale = qMin(float(width()) / bounds.width(), float(height()) / bounds.height());
            if (m_fScale > 0.0f && m_Font.pointSizeF() > 0)
                m_Font.setPointSizeF(m_Font.pointSizeF() * m_fScale);
        }
        m_Font.setWeight(weight > 57 ? 75 : 50);
    }
    painter.setPen(glyphColour);
    painter.setFont(m_Font);
    painter.drawText(itemRect, Qt::AlignCenter, glyph);
}
