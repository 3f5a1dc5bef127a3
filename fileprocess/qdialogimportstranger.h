#ifndef NALVO_FILEPROCESS_QDIALOGIMPORTSTRANGER_H
#define NALVO_FILEPROCESS_QDIALOGIMPORTSTRANGER_H

#include "fileprocess/importplan.h"

#include <QDialog>
#include <QStringList>

#include <atomic>
#include <thread>
#include <memory>

namespace Ui {
class QDialogImportStranger;
}

// The import dialog: other recorders' sound files become mono takes of one
// day. Start plans the whole run on the GUI thread (probe, groups, take ids,
// names checked against the day), then a worker imports file after file, so
// STOP acts at once; the engine leaves no part of a stopped file.
class QDialogImportStranger : public QDialog
{
    Q_OBJECT
public:
    QDialogImportStranger(QWidget* parent, int startId);
    ~QDialogImportStranger() override;

    void SetPaths(QStringList files, QString project, QString day, QString dayFolder);
    // The ID field as a number; 0 when it holds none.
    int GetStartingId() const;
    QString GetFps() const;
    // The id the next import should start from: the ID field's number, or
    // the counter when the field holds none.
    int NextId() const;
    bool IsRunning() const { return m_bRunning; }
    Ui::QDialogImportStranger* Form() const { return ui.get(); }
    // Files written and refused by the last run.
    int ImportedCount() const { return m_nImported; }
    int FailedCount() const { return m_nFailed; }

public slots:
    void slot_OnButtonStartClicked();
    void slot_OnButtonStopClicked();
    void slot_PctChanged(int percent);
    void slot_UserTcChanged();
    void reject() override;

signals:
    void signal_RunEnded();
    // Sent by the worker, received queued on the GUI thread.
    void signal_FileDone(int index, bool ok);
    void signal_FilePct(int percent);
    void signal_WorkerEnded();

private:
    // The files of the plan that are not imported, and why.
    void ShowRefusedFiles();
    void OnFileDone(int index, bool ok);
    void OnRunEnded();
    void JoinWorker();

    std::unique_ptr<Ui::QDialogImportStranger> ui;
    QString m_czProject;
    QString m_czDay;
    QString m_czTargetPath;
    int m_nStartId;
    // GUI thread only: a run is going (the worker's own flag is m_Run).
    bool m_bRunning = false;
    QStringList m_slSourceFiles;

    // Written by the GUI thread (Start, STOP, close), read by the worker
    // before each file and by the engine before each block.
    std::atomic<bool> m_Run{false};
    std::thread m_Worker;
    importplan::tPlan m_Plan;   // written by Start before the worker starts; read-only while it runs
    int m_nImported = 0;
    int m_nFailed = 0;
    bool m_bCloseWhenIdle = false;
};

#endif
