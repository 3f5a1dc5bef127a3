#ifndef NALVO_REPORT_QREPORTDATASETUP_H
#define NALVO_REPORT_QREPORTDATASETUP_H

#include "report/qreportsetupgrid.h"
#include "report/reportgridrules.h"

#include <QPoint>
#include <QSize>

class QDialogPdfFieldChoice;

// The data layout grid of the report setup: one or two data lines of up to
// 28 cells (cell 0 the index column, cell 1 of line 0 the file id) and an
// optional note line. The field chooser also inserts ("New Col") and
// deletes ("Del Col") cells.
class QReportDataSetup : public QReportSetupGrid
{
    Q_OBJECT
public:
    explicit QReportDataSetup(QWidget* parent = nullptr);
    ~QReportDataSetup() override;

    void setNbLine(int lines);
    void setNoteLine(bool on);
    void setLineData(int line, tyReportBlock* cells);
    void GetLineData(int line, tyReportBlock* cells, int count) const;
    void Exit();
    void updateSize();

    int CellCount(int line) const { return m_Lines[line].count; }
    int ShownLines() const { return m_nShownLines; }
    // Centre of a cell in widget coordinates, from the last layout.
    QPoint CellCentre(int line, int col) const;
    void ValidChoiceWidget(int id);

public slots:
    void slot_FieldChoiceItemChanged(int id, bool flag);
    void slot_FieldChoiceItemSelected(int id, bool flag);

protected:
    void mouseReleaseEvent(QMouseEvent* e) override;
    void keyPressEvent(QKeyEvent* e) override;
    void paintEvent(QPaintEvent* e) override;
    bool CellAt(const QPoint& p, int* line, int* col) const override;
    void DisplayChoiceWidget(int col, int line) override;

private:
    int CellLeft(int line, int col) const;
    void GridOrigin();

    // What the dialog asked for (1 or 2, or anything it was given); the
    // grid shows at most two lines.
    int m_nLineCount = 1;
    int m_nShownLines = 1;
    bool m_bNoteLine = false;
    int m_nLineHeight = 0;
    int m_nCellWidth[2] = {0, 0};
    int m_nIndexWidth = 0;
    int m_nGridLeft = 0;
    int m_nGridTop = 0;
    int m_nGridWidth = 0;
    QSize m_LaidOutSize;
    int m_nPendingField = 0;
    int m_nChoiceCount = 0;
    ReportGridRules::tyDataLine m_Lines[ReportLayout::kDataLines];
    float m_fFontFactor = 1.0f;
};

#endif
