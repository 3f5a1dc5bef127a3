#ifndef NALVO_REPORT_QFILEINFOLISTWIDGET_H
#define NALVO_REPORT_QFILEINFOLISTWIDGET_H

#include "report/reportlayout.h"
#include "report/takemetadata.h"

#include <QHash>
#include <QList>
#include <QStringList>
#include <QVector>
#include <QWidget>

class QFileInfoWidget;
class QProgressBar;
class QScrollArea;
class QScrollBar;
class QSpacerItem;
class QTimer;
class QVBoxLayout;

// The day's take list: one painted row per take under a header strip named
// after the columns of data line 0 of the report data layout, filled by the
// day loader (names, then one record per take) with a thin progress bar.
// Selection with the mouse: click, Shift-click range, Ctrl-click toggle and
// drag, scrolling by itself when dragged near the top or bottom edge.
//
// The main window wires the loader: signal_State -> slot_MetadataThreadStateChanged,
// signal_Data -> slot_Data, signal_List -> slot_List, and
// signal_ReloadMetadata -> the loader's slot_reload.
class QFileInfoListWidget : public QWidget
{
    Q_OBJECT
public:
    explicit QFileInfoListWidget(QWidget* parent = nullptr);
    ~QFileInfoListWidget() override;

    void SetFileTags(QStringList names);
    // One data layout line of 28 cells; line 1 is kept for the rows but not shown.
    void SetupDataLine(int line, tyReportBlock* cells);
    void SetupDataNbLine(int lines);
    void SetupDataNoteLine(bool noteLine);
    void SetupDataDisplayCircle(tReportCircleDisplay display);

    // The row under a point of the list; -1 for none.
    int IdAt(QPoint point) const;
    int RowCount() const { return m_nRowCount; }
    QFileInfoWidget* Row(int id) const;
    // Ids of the selected rows, ascending.
    QList<int> SelectedIds() const;
    QList<int> ColumnWidths() const { return m_ColWidths[0]; }

signals:
    void signal_ReloadMetadata();
    void signal_ColSize(int line, QList<int> widths);
    void signal_ColType(int line, QList<int> kinds);
    void signal_CircleDisplay(tReportCircleDisplay display);

public slots:
    void slot_List(QStringList names);
    void slot_MetadataThreadStateChanged(int state, int value);
    void slot_Data(int index, QString id, tyTakeMetadata record);
    void slot_scroll();

protected:
    void mousePressEvent(QMouseEvent* event) override;
    void mouseReleaseEvent(QMouseEvent* event) override;
    void mouseMoveEvent(QMouseEvent* event) override;
    void paintEvent(QPaintEvent* event) override;
    void resizeEvent(QResizeEvent* event) override;

private:
    void ComputeWidths();
    void DrawHeader(class QPainter& painter);
    void ApplyRange();
    void AutoScrollCheck(int y);
    int AvailableWidth() const;
    void ScheduleFill(int progress);
    void ApplyFill();
    // Text widths of one row's line-0 cells, measured once per record.
    struct tyRowWidths
    {
        bool bValid = false;
        QVector<int> widths;
        int nNotesColumn = -1;
        int nWidestNotes = 0;
    };
    void MeasureRow(int id);

    QVBoxLayout* m_pRowLayout = nullptr;
    QScrollArea* m_pScrollArea = nullptr;
    QWidget* m_pContent = nullptr;
    QSpacerItem* m_pSpacer = nullptr;
    QProgressBar* m_pProgress = nullptr;
    QList<QFileInfoWidget*> m_Rows;
    QVector<tyRowWidths> m_RowWidths;   // one per row
    // Widths of the cell texts already measured, upright and italic: a day
    // repeats most of its texts from take to take.
    QHash<QString, int> m_MeasuredTexts[2];
    QStringList m_TakeNames;
    int m_nRowCount = 0;
    tyReportBlock m_DataLayout[ReportLayout::kDataLines][ReportLayout::kDataCells];
    tReportCircleDisplay m_eCircleDisplay = CircleDisplayOff;
    QScrollBar* m_pVerticalBar = nullptr;
    QTimer* m_pScrollTimer = nullptr;
    // While records arrive, the progress value and the column widths are
    // brought up to date at most once per interval of this timer.
    QTimer* m_pFillTimer = nullptr;
    int m_nPendingProgress = -1;
    // Records of the current name list received so far: the progress. The
    // loader's threads deliver them in any order.
    int m_nRecordsReceived = 0;
    int m_nScrollStep = 0;
    int m_nAnchor = -1;
    int m_nSelectionEnd = -1;
    QList<int> m_ColWidths[2];
    QList<int> m_ColKinds[2];
    int m_nDisplayedLines = 1;
    int m_nColumns[2] = {0, 0};
    int m_nWidestLine = 0;
    int m_nHeaderLineHeight = 20;
    int m_nHeaderTop = 25;
    int m_nAvailableWidth = 0;
    bool m_bWidthsStale = false;
};

#endif
