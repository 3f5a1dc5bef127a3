#ifndef NALVO_REPORT_QFILEINFOWIDGET_H
#define NALVO_REPORT_QFILEINFOWIDGET_H

#include "report/reportlayout.h"
#include "report/takemetadata.h"

#include <QColor>
#include <QList>
#include <QMutex>
#include <QString>
#include <QWidget>

class QScrollBar;

// One row of the day's take list: its own copy of a take record painted as
// one data line of cells, with circle marks, ditto marks down runs of equal
// values, pan bars and input badges on track columns. Mouse presses,
// releases and moves travel on to the list, which selects.
class QFileInfoWidget : public QWidget
{
    Q_OBJECT
public:
    QFileInfoWidget(QWidget* parent, int id);
    ~QFileInfoWidget() override;

    int id() const { return m_nId; }
    void SetSelected(bool selected);
    bool IsSelected() const { return m_bSelected; }
    void SetMetadata(tyTakeMetadata* record);
    QString TakeName() const { return m_Record.czTakeName; }
    // The list measures columns through it; the texts are read under Lock().
    tyTakeMetadata* GetMetaDataPtr() { return &m_Record; }
    QMutex* Lock() const { return &m_RecordLock; }
    // True once a record arrived; a record without texts then marks a take
    // that could not be read.
    bool HasRecord() const { return m_bHasRecord; }
    // The previous row, whose updates repaint this one: its record decides
    // the first-of-scene shading and the ditto marks.
    void SetPrevNext(QFileInfoWidget* previous, QFileInfoWidget* next);
    // Shaded as a scene's first take: worked out from the two rows' records
    // as they are now, so that the shading does not depend on the order in
    // which the records arrived.
    bool IsFirstOfScene() const;
    void SetParentScrollVertical(QScrollBar* bar);
    // Line-0 text i under the record lock; null text when there is none.
    QString Line0Text(int i, bool* present) const;
    // What cell i shows of its text at the current column width.
    QString ShownText(int i) const;

signals:
    void signal_updated();

public slots:
    void slot_ColSizeChanged(int line, QList<int> widths);
    void slot_ColType(int line, QList<int> kinds);
    void slot_CircleDisplay(tReportCircleDisplay display);

protected:
    void mousePressEvent(QMouseEvent* event) override;
    void mouseReleaseEvent(QMouseEvent* event) override;
    void mouseDoubleClickEvent(QMouseEvent* event) override;
    void mouseMoveEvent(QMouseEvent* event) override;
    void paintEvent(QPaintEvent* event) override;

private:
    QColor BackgroundColour() const;
    void PaintCells(class QPainter& painter);
    void PaintUnreadable(class QPainter& painter);
    QStringList BadgeParts(int track);

    QColor m_BackColor;
    tyTakeMetadata m_Record;
    mutable QMutex m_RecordLock;   // guards the record's two text lists
    tReportCircleDisplay m_eCircleDisplay = CircleDisplayOff;
    bool m_bSettingsStale = true;
    QString m_czSettings[tyTakeMetadata::kTracks];
    int m_nId = 0;
    bool m_bSelected = false;
    QList<int> m_Widths[2];
    QList<int> m_Kinds[2];
    QFileInfoWidget* m_pPrevious = nullptr;
    QFileInfoWidget* m_pNext = nullptr;
    QScrollBar* m_pScrollBar = nullptr;
    bool m_bHasRecord = false;
};

#endif
