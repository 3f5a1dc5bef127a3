#ifndef NALVO_REPORT_QREPORTHEADERSETUP_H
#define NALVO_REPORT_QREPORTHEADERSETUP_H

#include "report/qreportsetupgrid.h"
#include "report/reportlayout.h"

#include <QPoint>

class QDialogMessageLineEdit;
class QDialogPdfFieldChoice;

// The header layout grid of the report setup: 5 lines of 7 cells, edited
// with the arrows, Return (the field chooser under the cell), Delete and
// the mouse. A field with a user text spans two cells.
class QReportHeaderSetup : public QReportSetupGrid
{
    Q_OBJECT
public:
    explicit QReportHeaderSetup(QWidget* parent = nullptr);
    ~QReportHeaderSetup() override;

    void setLineHeader(int line, tyReportBlock* cells);
    void GetLineHeader(int line, tyReportBlock* cells, int count) const;
    void SetOverwriteMode(bool on);
    void Exit();

    // Centre of a cell in widget coordinates, from the last paint.
    QPoint CellCentre(int line, int col) const;

public slots:
    void slot_FieldChoiceItemChanged(int id, bool wide);
    void slot_FieldChoiceItemSelected(int id, bool wide);

protected:
    void mouseReleaseEvent(QMouseEvent* e) override;
    void keyPressEvent(QKeyEvent* e) override;
    void paintEvent(QPaintEvent* e) override;
    // Line and column under a widget point; false in the margin.
    bool CellAt(const QPoint& p, int* line, int* col) const override;
    void DisplayChoiceWidget(int col, int line) override;
    // The user-text entry keeps the current cell too.
    bool EditorOpen() const override;

private:
    void UpdateGeometry();
    void ValidChoiceWidget();
    QPoint CellBottomLeftGlobal() const;

    int m_nChoiceCount = 0;
    int m_nLineHeight = 0;
    int m_nCellWidth = 0;
    int m_nGridLeft = 0;
    int m_nGridTop = 0;
    int m_nPendingField = 0;
    bool m_bPendingWide = false;
    tyReportBlock m_Cells[ReportLayout::kHeaderLines][ReportLayout::kHeaderCells];
    QDialogMessageLineEdit* m_pTextDialog = nullptr;
    bool m_bOverwrite = true;
    float m_fFontFactor = 1.0f;
};

#endif
