#ifndef NALVO_REPORT_QREPORTSETUPGRID_H
#define NALVO_REPORT_QREPORTSETUPGRID_H

#include <QPoint>
#include <QWidget>

class QDialogPdfFieldChoice;

// What the header and data layout grids of the report setup share: the
// current cell, the field chooser, the highlight, and the mouse and focus
// rules (a press remembered for its release, a double click on a cell of
// the focused grid opens the chooser, focus in picks a first cell, focus
// out leaves none unless an editor of the grid is open).
class QReportSetupGrid : public QWidget
{
    Q_OBJECT
public:
    void setHighlighted(bool on);
    // Gives the focus back to the dialog.
    void Quit();

    int CurrentLine() const { return m_nCurrentLine; }
    int CurrentColumn() const { return m_nCurrentCol; }
    QDialogPdfFieldChoice* Chooser() const { return m_pChoice; }

signals:
    void signal_done();
    void signal_MouseClicked();
    void signal_MouseDoubleClicked();

public slots:
    void slot_FieldChoiceFinished(int result);

protected:
    // firstColumn: the cell focus in selects on line 0.
    QReportSetupGrid(QWidget* parent, int firstColumn);

    // Line and column under a widget point; false outside the cells.
    virtual bool CellAt(const QPoint& p, int* line, int* col) const = 0;
    // Opens the chooser under the current cell.
    virtual void DisplayChoiceWidget(int col, int line) = 0;
    // An editor of the grid is open: focus out keeps the current cell.
    virtual bool EditorOpen() const;

    void mousePressEvent(QMouseEvent* e) override;
    void mouseDoubleClickEvent(QMouseEvent* e) override;
    void focusInEvent(QFocusEvent* e) override;
    void focusOutEvent(QFocusEvent* e) override;

    QPoint m_ptPress;
    bool m_bPressed = false;
    bool m_bHighlighted = false;
    QDialogPdfFieldChoice* m_pChoice = nullptr;   // a child, made by the grid
    int m_nCurrentLine = -1;
    int m_nCurrentCol = -1;

private:
    const int m_nFirstColumn;
};

#endif
