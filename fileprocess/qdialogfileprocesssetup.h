#ifndef NALVO_FILEPROCESS_QDIALOGFILEPROCESSSETUP_H
#define NALVO_FILEPROCESS_QDIALOGFILEPROCESSSETUP_H

#include "fileprocess/qfileprocesssetupwidget.h"
#include "fileprocess/qfilecopier.h"

#include <QDialog>
#include <QList>
#include <QSet>
#include <QStringList>
#include <memory>

namespace Ui {
class QDialogFileProcessSetup;
}
struct tProcessInformation;

// The modal "File Process" dialog: the process kind and its options, one row
// per take, the destination, and START/STOP of a run through a copy engine.
// The run never blocks the GUI: STOP cancels the engine, which removes its
// own unfinished output, and the dialog settles when the engine reports done.
class QDialogFileProcessSetup : public QDialog
{
    Q_OBJECT
public:
    explicit QDialogFileProcessSetup(QWidget* parent = nullptr);
    ~QDialogFileProcessSetup() override;

    void SetProcessInfo(QList<tProcessInformation*>* list);
    void UpdateTargetSize();
    void UpdateTargetFreeSize();
    void UpdateControls();
    int StartProcessing();
    bool IsExecActive() const { return m_bExecActive; }
    void MyClose();
    bool IsRunning() const { return m_bRunning; }
    // The folder the targets of a take start from, as START would use it.
    QString TargetRoot(const tProcessInformation& info) const;
    QFileProcessSetupWidget::tProcessType ProcessType() const { return m_nProcessType; }
    Ui::QDialogFileProcessSetup* Form() const { return ui.get(); }

    // What the last run did, for its summary.
    struct tRunSummary {
        QStringList written;
        QStringList skipped;   // "take: reason"
        QStringList failed;    // "take: reason"
        QStringList stopped;   // cancelled by STOP before its output was complete
    };
    const tRunSummary& Summary() const { return m_Summary; }

public slots:
    void slot_ProcessTypeChanged();
    void slot_UpdateRotateExample();
    void slot_DestinationChanged();
    void slot_DestinationButtonClicked();
    void slot_ProcessRunClicked();
    void slot_UpdateSize();
    // Esc and the window's close: a running process is stopped first, after
    // the user confirms; the dialog closes once the engine has wound down.
    void reject() override;

signals:
    // The run has ended (finished, stopped or refused) and the dialog is idle.
    void signal_RunEnded();

private:
    void Start();
    void Stop();
    void EndRun(const QString& status);
    void ShowError(const QString& text);
    void OnStarted(int id);
    void OnProgress(qint64 fileProgress, qint64 fileSize, qint64 total, qint64 totalSize);
    void OnError(int id, QFileCopier::Error error);
    void OnFinished(int id, bool error);
    void OnDone();
    QString TakeOfRequest(int id) const;

    std::unique_ptr<Ui::QDialogFileProcessSetup> ui;
    QStringList m_czSourceFileListeInterleave;
    QStringList m_czSourceFileListeMixdown;
    QStringList m_czAbsoluteTargetPathListeInterleave;
    QStringList m_czAbsoluteTargetPathListeMixdown;
    int m_nFullPercent = -1;
    int m_nMixPercent = -1;
    QFileCopier* m_pCopierFull = nullptr;
    QFileCopier* m_pCopierMix = nullptr;
    bool m_bMixedProjectFolders = false;
    bool m_bExecActive = false;
    QList<tProcessInformation*>* m_pProcessInfo = nullptr;
    QFileProcessSetupWidget::tProcessType m_nProcessType = QFileProcessSetupWidget::ProcessStereoMixTracks;
    bool m_bRunning = false;
    bool m_bStopRequested = false;

    // The engine of the current run and the take names of its requests.
    QFileCopier* m_pActive = nullptr;
    QStringList m_RunTakes;
    QStringList m_RunOutputs;   // the file each request writes, by request id
    QStringList m_RunFolders;   // the folders the run made, removed at its end when empty
    QSet<int> m_FailedIds;
    QSet<int> m_StoppedIds;
    bool m_bCloseWhenIdle = false;
    tRunSummary m_Summary;
};

#endif
