#ifndef NALVO_REPORT_QDIALOGREPORTTAKEFILTERS_H
#define NALVO_REPORT_QDIALOGREPORTTAKEFILTERS_H

#include "widgets/qbriselministackmanager.h"

#include <QDialog>
#include <QString>
#include <QStringList>

class QBriselMiniStack;
class QLabel;
class QMenu;
class QPushButton;

// The small frameless dialog in which the user chooses how many reports of
// one kind a run makes (1..3) and which take types each contains. Ok and
// Escape end with 0 and the finished filter string; Cancel ends with 1.
class QDialogReportTakeFilters : public QDialog
{
    Q_OBJECT
public:
    QDialogReportTakeFilters(QWidget* parent, bool flag);
    ~QDialogReportTakeFilters() override;

    void SetReportTakeFilters(QString filters, bool given);
    QString GetReportTakeFilters() const { return m_czCurrentFilters; }
    static QString GetFilterUserText(QString filter);
    void DisplayTakeTypeList(int report);

    int ReportCount() const { return m_nReportCount; }
    QMenu* TakeTypeMenu() const { return m_pMenu; }
    QBriselMiniStack* FilterField(int i) const { return m_pFilterField[i]; }
    QBriselMiniStack* CountField() const { return m_pCountField; }

public slots:
    void slot_UserClickedOk(bool twice);
    void slot_ButtonOkClicked();
    void slot_ButtonEscClicked();

protected:
    bool eventFilter(QObject* watched, QEvent* e) override;
    void keyPressEvent(QKeyEvent* e) override;

private:
    void RefreshDisplay();
    void StepCount(int step);
    // Which field the navigator has selected: 0 count, 1..3 filters, -1 none.
    int SelectedFieldIndex() const;
    void FinishAndClose();

    QString m_czGivenFilters;
    QStringList m_lReportFilters;
    QString m_czCurrentFilters;
    int m_nReportCount = 0;
    QWidget* m_pParent;
    QBriselMiniStackManager m_Navigator;
    QBriselMiniStack* m_pCountField = nullptr;
    QBriselMiniStack* m_pFilterField[3] = {};
    QLabel* m_pRowLabel[3] = {};
    QMenu* m_pMenu = nullptr;
};

#endif
