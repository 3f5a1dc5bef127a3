#include "widgets/qmyscrollarea.h"

#include <QKeyEvent>

QMyScrollArea::QMyScrollArea(QWidget* parent) : QScrollArea(parent) {}

QMyScrollArea::~QMyScrollArea() = default;

void QMyScrollArea::keyPressEvent(QKeyEvent* e)
{
    switch (e->key()) {
    case Qt::Key_Left:
    case Qt::Key_Up:
    case Qt::Key_Right:
    case Qt::Key_Down:
        e->ignore();
        return;
    default:
        QAbstractScrollArea::keyPressEvent(e);
    }
}
