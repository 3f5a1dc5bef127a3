#include "widgets/qclicklabel.h"

#include <QMouseEvent>
#include <QWheelEvent>

QClickLabel::QClickLabel(QWidget* parent) : QLabel(parent) {}

QClickLabel::~QClickLabel() = default;

bool QClickLabel::IsReachable() const
{
    return isVisible() && window()->isActiveWindow();
}

void QClickLabel::mousePressEvent(QMouseEvent* e)
{
    if (IsReachable())
        m_hPressPositions.insert(e->button(), e->localPos().toPoint());
}

void QClickLabel::mouseReleaseEvent(QMouseEvent* e)
{
    const auto pressed = m_hPressPositions.constFind(e->button());
    if (pressed == m_hPressPositions.constEnd() || !IsReachable())
        return;
    const bool samePixel = (e->localPos().toPoint() == pressed.value());
    m_hPressPositions.remove(e->button());
    if (samePixel)
        emit signal_LabelClicked(e);
}

void QClickLabel::mouseDoubleClickEvent(QMouseEvent* e)
{
    if (!IsReachable())
        return;
    m_hPressPositions.remove(e->button());
    emit signal_LabelDoubleClicked(e);
}

void QClickLabel::wheelEvent(QWheelEvent* e)
{
    if (IsReachable())
        emit signal_LabelWheeled(e);
}
