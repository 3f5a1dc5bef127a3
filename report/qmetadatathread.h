#ifndef NALVO_REPORT_QMETADATATHREAD_H
#define NALVO_REPORT_QMETADATATHREAD_H

#include "report/reportlayout.h"
#include "report/takemetadata.h"

#include <QString>
#include <QStringList>
#include <QThread>
#include <QVector>

#include <atomic>
#include <condition_variable>
#include <deque>
#include <mutex>

class QSoundPerform;

enum tMetadataThreadState : int {
    MetadataStateWaiting = 0,
    MetadataStateWoken = 1,
    MetadataStateListing = 2,
    MetadataStateListReady = 3,
    MetadataStateReadingTake = 4,
    MetadataStateFinished = 5,
};

// One take of a day folder as the loader's walk finds it, from the day's
// listing the browser lists it by (ListDay). The recorder's own names
// (TakeNaming::IsRecorderTakeName, of this recorder's files or of files too
// damaged to tell) give one take per 6-character id, at its first listed
// file; every other file, and a track file of such a name that is no member
// of its family (JoinsFamily), is listed as the browser lists it, each take
// once, under the name the browser shows. The name list and the records
// come from the same walk, so record n always belongs to name n.
struct tyDayTake
{
    QString czId;         // the recorder's 6-character id, else the take name
    QString czName;       // the take name shown in the list
    QString czTakePath;   // what the take loader is given
};
// folder ends with "/"; fileNames with ".WAV", in any order: a name of no
// regular file (a folder, a pipe) is no take.
QVector<tyDayTake> DayTakesOf(const QString& folder, const QStringList& fileNames);
// The take name of a listed file: the name without ".WAV", cut before a
// mono track suffix ("_01", "-1", "#12"), a mix suffix ("MX", "QX") or a
// poly suffix ("PN", "PR", "PX"). Other poly names ("P7", "Q7", "S7", "SX")
// keep their whole name without ".WAV".
QString TakeNameOfFile(const QString& fileName);

// Reads, in its own thread, the metadata of every take of one day folder
// for the day's take list: the take names first, then one record per take.
// A long day's takes are loaded by helper threads of the pass as well, so
// the records (and the "reading take" states) may come in any order; each
// names its index. The pass ends ("finished") after its last record. A new
// job stops the pass that runs; the newest job always wins. The worker
// thread starts with the first day handed over. The states come from the
// loader threads (queued to the receivers); the name list and the records
// are emitted on the thread that owns the loader, in the order the loader
// threads sent them among the states.
class QMetadataThread : public QThread
{
    Q_OBJECT
public:
    explicit QMetadataThread(QObject* parent = nullptr);
    ~QMetadataThread() override;

    // The data layout the records carry texts for (normalised on the way
    // in). A pass that runs restarts with it.
    void SetDataSetup(tyReportBlock* blocks, int lines, int cellsPerLine, int dataLines, bool noteLine,
                      tReportCircleDisplay circle);
    // Hands the worker a new day; never blocks on the worker.
    void SetDayDir(QString preProject, QString project, QString day);
    // The day of the newest job.
    void GetDir(QString* preProject, QString* project, QString* day) const;

public slots:
    void slot_reload();

signals:
    void signal_State(int state, int value);
    void signal_List(QStringList names);
    void signal_Data(int index, QString id, tyTakeMetadata record);
    // A delivery waits in the outbox: DeliverOne on the owner's thread.
    void signal_Delivery(QPrivateSignal);

protected:
    void run() override;

private:
    // What one pass reads, copied under the lock when it starts.
    struct tyJob
    {
        QString czPreProject;
        QString czProject;
        QString czDay;
        tyReportBlock Layout[ReportLayout::kDataLines][ReportLayout::kDataCells];
        int nDataLines = 1;
    };

    // A name list (bList) or one take's record, on its way to the owner's
    // thread.
    struct tyDelivery
    {
        bool bList = false;
        QStringList lczNames;
        int nIndex = -1;
        QString czId;
        tyTakeMetadata Record;
    };

    void RunPass(const tyJob& job);
    void Send(tyDelivery delivery);
    void DeliverOne();
    void FinishPass();
    void FillRecord(tyTakeMetadata* record, QSoundPerform* take, int takeIndex, const tyJob& job);
    void TrackWork(tyTakeMetadata* record, QSoundPerform* take, int track, QString* text);
    bool Interrupted() const;

    // Standard primitives rather than QMutex and QWaitCondition: the thread
    // checker sees their hand-over, so the threaded tests prove it.
    mutable std::mutex m_Mutex;
    std::condition_variable m_JobCondition;
    // GUI thread only: the worker thread is started by the first job, after
    // the owner has made its connections.
    bool m_bStarted = false;
    // GUI thread writes, worker copies at the start of a pass; under m_Mutex.
    tyReportBlock m_DataLayout[ReportLayout::kDataLines][ReportLayout::kDataCells];
    int m_nDataLines = 1;
    QString m_czPreProject;
    QString m_czProject;
    QString m_czDay;
    bool m_bJobPending = false;
    // Worker writes under m_Mutex: a pass runs.
    bool m_bBusy = false;
    // GUI thread sets (under m_Mutex), worker reads while it works.
    std::atomic<bool> m_bAbort{false};
    std::atomic<bool> m_bStop{false};
    // Loader threads append, the owner's thread takes the oldest; under
    // m_OutboxMutex. The records travel here and not as queued signal
    // arguments: the copy Qt makes of an argument on the sending thread
    // reaches the receiver through Qt's own event lock, which the thread
    // checker cannot see, so every record looked raced; this lock it sees.
    std::mutex m_OutboxMutex;
    std::deque<tyDelivery> m_Outbox;
};

#endif
