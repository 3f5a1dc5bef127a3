#include "widgets/headerdrag.h"

#include <QMouseEvent>
#include <QWidget>

void HeaderDrag::Follow(QWidget* dialog, QEvent* e)
{
    switch (e->type()) {
    case QEvent::MouseButtonPress: {
        auto* mouse = static_cast<QMouseEvent*>(e);
        if (mouse->button() != Qt::LeftButton)
            break;
        m_bDragging = true;
        m_PressGlobal = mouse->screenPos().toPoint();
        m_DialogCornerGlobal = dialog->mapToGlobal(QPoint(0, 0));
        break;
    }
    case QEvent::MouseMove:
        if (m_bDragging) {
            const QPoint now = static_cast<QMouseEvent*>(e)->screenPos().toPoint();
            dialog->move(now - m_PressGlobal + m_DialogCornerGlobal);
        }
        break;
    case QEvent::MouseButtonRelease:
        if (static_cast<QMouseEvent*>(e)->button() == Qt::LeftButton)
            m_bDragging = false;
        break;
    default:
        break;
    }
}
