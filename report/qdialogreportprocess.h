#ifndef NALVO_REPORT_QDIALOGREPORTPROCESS_H
#define NALVO_REPORT_QDIALOGREPORTPROCESS_H

#include "report/qreportthread.h"
#include "report/reportlayout.h"
#include "widgets/qbriselministackmanager.h"

#include <QDialog>
#include <QString>
#include <QStringList>
#include <memory>

namespace Ui {
class QDialogReportProcess;
}
class QMenu;

// The modal window of one report run: it shows the job, starts and stops
// it, chains one worker pass per take filter and afterwards offers the
// report folder and files. It owns the worker, so the worker thread lives
// exactly as long as the dialog.
class QDialogReportProcess : public QDialog
{
    Q_OBJECT
public:
    // The run as the dialog sees it. The button and the chaining follow
    // this, not the worker's busy flag, which is false between two passes.
    enum tRunState : int { RunReady = 0, RunRunning = 1, RunStopping = 2 };

    explicit QDialogReportProcess(QWidget* parent = nullptr);
    ~QDialogReportProcess() override;

    void setPdfPageFormat(tyReportPageFormat format);
    void setPdfHeaderSetup(tyReportBlock* blocks, int lines, int cols);
    void setPdfDataSetup(tyReportBlock* blocks, int lines, int cols, int dataLines, bool noteLine,
                         tReportCircleDisplay circle);
    void setAleSetup(int videoFormat, int fps);
    void SetTakeFilters(QString filters);
    QString GetTakeFilters() const { return m_TakeFilters; }
    void setParam(QString media, QString project, QString day, int processMask, int reportGen, bool projectReport,
                  tReportCircleDisplay circle);
    int exec() override;

    tRunState RunState() const { return m_eRunState; }
    int ProcessMask() const { return m_nProcessMask; }
    Ui::QDialogReportProcess* Form() const { return ui.get(); }
    QMenu* FileMenu() const { return m_pFileMenu; }
    QString FileToOpen() const { return m_FileToOpen; }
    QStringList ErrorTexts() const { return m_lErrorTexts; }
    QReportThread* Worker() { return &m_ReportThread; }

public slots:
    void slot_Report_drawingTake(int take);
    void slot_Report_drawingPage(int kind, int page);
    void slot_Report_fileCountTake(int mono, int mix, int poly, int rotate);
    void slot_Report_gettingData(int kind, int index, int total);
    void slot_Report_processingDay(int day, int dayCount);
    void slot_Report_End(QStringList files, int aborted, int stopped, int pdfError, int csvError, int aleError,
                         QStringList errorTexts);
    void slot_OnButtonStartClicked();
    void slot_OnButtonChangeTargetFolderClicked();
    void slot_OnButtonOpenFile();
    void slot_OnButtonOpenFolder();
    void slot_OnButtonCancelTargetFolderClicked();
    void slot_OnButtonErrorInfoClicked();
    void slot_UserClickedOk(bool twice);

protected:
    bool event(QEvent* e) override;
    void keyPressEvent(QKeyEvent* e) override;
    void closeEvent(QCloseEvent* e) override;

private:
    void DisplayChooseTakeFilter();
    void MyClose();
    void OpenFile(const QString& path);
    void TellNoViewer(const QString& path);
    bool TakeFilterFieldSelected() const;
    int KindOffset(int kind) const;
    int KindCount(int kind) const;
    QString DayPrefix(bool trailingBlank) const;
    void ShowButtonFor(tRunState state);

    std::unique_ptr<Ui::QDialogReportProcess> ui;
    int m_nProcessMask = 0x1;
    QReportThread m_ReportThread;
    int m_nReportGen = 0;
    tReportCircleDisplay m_nCircleDisplay = CircleDisplayTake;
    QString m_Media;
    QString m_Project;
    QString m_Day;
    bool m_bProjectReport = false;
    QString m_DefaultTargetFolder;
    QString m_CustomTargetFolder;
    bool m_bCustomTargetFolder = false;
    bool m_bCanceled = false;
    int m_nCurrentProcess = 0;
    int m_nCurrentPage = 0;
    int m_nFileCount[4] = {0, 0, 0, 0};
    int m_nDay = 0;
    int m_nDayCount = 0;
    QMenu* m_pFileMenu = nullptr;
    QString m_FileToOpen;
    QStringList m_lErrorTexts;
    QStringList m_lTakeFilters;
    QString m_TakeFilters;
    int m_nReportCurrentTakeFilterIndex = -1;
    QBriselMiniStackManager m_MiniStackManager;
    tRunState m_eRunState = RunReady;
    // Report files of the run so far, over every pass.
    int m_nRunFileCount = 0;
};

#endif
