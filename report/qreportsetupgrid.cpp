#include "report/qreportsetupgrid.h"

#include "report/qdialogpdffieldchoice.h"

#include <QMouseEvent>

QReportSetupGrid::QReportSetupGrid(QWidget* parent, int firstColumn) : QWidget(parent), m_nFirstColumn(firstColumn) {}

void QReportSetupGrid::setHighlighted(bool on)
{
    m_bHighlighted = on;
    update();
}

void QReportSetupGrid::Quit()
{
    clearFocus();
    emit signal_done();
}

bool QReportSetupGrid::EditorOpen() const
{
    return m_pChoice->isVisible();
}

void QReportSetupGrid::mousePressEvent(QMouseEvent* e)
{
    m_ptPress = e->pos();
    m_bPressed = true;
}

void QReportSetupGrid::mouseDoubleClickEvent(QMouseEvent* e)
{
    m_ptPress = QPoint(-1, -1);
    int line = 0;
    int col = 0;
    if (hasFocus() && !m_pChoice->isVisible() && CellAt(e->pos(), &line, &col)) {
        m_nCurrentLine = line;
        m_nCurrentCol = col;
        DisplayChoiceWidget(col, line);
        update();
    }
    emit signal_MouseDoubleClicked();
}

void QReportSetupGrid::focusInEvent(QFocusEvent*)
{
    if (m_nCurrentLine == -1 || m_nCurrentCol == -1) {
        m_nCurrentLine = 0;
        m_nCurrentCol = m_nFirstColumn;
        update();
    }
}

void QReportSetupGrid::focusOutEvent(QFocusEvent*)
{
    if (!EditorOpen()) {
        m_nCurrentLine = -1;
        m_nCurrentCol = -1;
        update();
    }
}

void QReportSetupGrid::slot_FieldChoiceFinished(int)
{
    m_pChoice->hide();
    update();
}
