#ifndef NALVO_REPORT_QREPORTHEADERSETUP_H
#define NALVO_REPORT_QREPORTHEADERSETUP_H

#include "report/reportlayout.h"

#include <QPoint>
#include <QWidget>

class QDialogMessageLineEdit;
class QDialogPdfFieldChoice;

// The header layout grid of the report setup: 5 lines of 7 cells, edited
// with the arrows, Return (the field chooser under the cell), Delete and
// the mouse. A field with a user text spans two cells.
class QReportHeaderSetup : public QWidget
{
    Q_OBJECT
public:
    explicit QReportHeaderSetup(QWidget* parent = nullptr);
    ~QReportHeaderSetup() override;

    void setLineHeader(int line, tyReportBlock* cells);
    void GetLineHeader(int line, tyReportBlock* cells, int count) const;
    void SetOverwriteMode(bool on);
    void setHighlighted(bool on);
    void Quit();
    void Exit();

    int CurrentLine() const { return m_nCurrentLine; }
    int CurrentColumn() const { return m_nCurrentCol; }
    QDialogPdfFieldChoice* Chooser() const { return m_pChoice; }
    // Centre of a cell in widget coordinates, from the last paint.
    QPoint CellCentre(int line, int col) const;

signals:
    void signal_done();
    void signal_MouseClicked();
    void signal_MouseDoubleClicked();

public slots:
    void slot_FieldChoiceFinished(int result);
    void slot_FieldChoiceItemChanged(int id, bool wide);
    void slot_FieldChoiceItemSelected(int id, bool wide);

protected:
    void mousePressEvent(QMouseEvent* e) override;
    void mouseReleaseEvent(QMouseEvent* e) override;
    void mouseDoubleClickEvent(QMouseEvent* e) override;
    void keyPressEvent(QKeyEvent* e) override;
    void focusInEvent(QFocusEvent* e) override;
    void focusOutEvent(QFocusEvent* e) override;
    void paintEvent(QPaintEvent* e) override;

private:
    void UpdateGeometry();
    // Line and column under a widget point; false in the margin.
    bool CellAt(const QPoint& p, int* line, int* col) const;
    void DisplayChoiceWidget(int col, int line);
    void ValidChoiceWidget();
    QPoint CellBottomLeftGlobal() const;

    QPoint m_ptPress;
    bool m_bPressed = false;
    QDialogPdfFieldChoice* m_pChoice = nullptr;
    int m_nChoiceCount = 0;
    bool m_bHighlighted = false;
    int m_nLineHeight = 0;
    int m_nCellWidth = 0;
    int m_nGridLeft = 0;
    int m_nGridTop = 0;
    int m_nCurrentLine = -1;
    int m_nCurrentCol = -1;
    int m_nPendingField = 0;
    bool m_bPendingWide = false;
    tyReportBlock m_Cells[ReportLayout::kHeaderLines][ReportLayout::kHeaderCells];
    QDialogMessageLineEdit* m_pTextDialog = nullptr;
    bool m_bOverwrite = true;
    float m_fFontFactor = 1.0f;
};

#endif
