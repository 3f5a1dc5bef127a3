#ifndef NALVO_WIDGETS_HEADERDRAG_H
#define NALVO_WIDGETS_HEADERDRAG_H

#include <QPoint>

class QEvent;
class QWidget;

// Moves a frameless dialog while the left mouse button drags its header.
class HeaderDrag
{
public:
    // Follows one event of the header; never consumes it.
    void Follow(QWidget* dialog, QEvent* e);
    bool IsDragging() const { return m_bDragging; }

private:
    bool m_bDragging = false;
    QPoint m_PressGlobal;
    QPoint m_DialogCornerGlobal;
};

#endif
