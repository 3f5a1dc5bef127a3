#ifndef NALVO_FILEPROCESS_QFILECOPIERTHREAD_H
#define NALVO_FILEPROCESS_QFILECOPIERTHREAD_H

#include "fileprocess/qfilecopier.h"
#include "fileprocess/subprogress.h"
#include "fileprocess/workerlock.h"
#include "foundation/cancelflag.h"
#include "foundation/threadjoin.h"
#include "processing/outputset.h"

#include <QHash>
#include <QList>
#include <QSet>
#include <QThread>

#include <atomic>
#include <condition_variable>
#include <deque>
#include <memory>
#include <mutex>
#include <vector>

// The copy engine's worker. It expands queued tasks into requests, handles
// them one after another, stops to ask the caller when a request fails (its
// error signal then carries stopped = true and the worker waits for one of
// the interaction slots), and reports through signals that the facade
// relays to the caller's thread. The worker emits none of them itself: it
// leaves each in an outbox, and they go out in their order on the thread
// that owns the worker object.
//
// Threads: the run loop and every request operation run on the worker
// thread; queries, interaction slots and the destructor come from the
// caller's thread. Fields marked "lock" are read and written under `lock`;
// flags that a caller sets while the worker runs are atomics.
class QFileCopierThread : public QThread
{
    Q_OBJECT
public:
    explicit QFileCopierThread(QObject* parent = nullptr);
    // Stops the worker (pending work is cancelled, a waiting interaction
    // ends) and joins it.
    ~QFileCopierThread() override;
    // The same, ahead of destruction: the owner calls it before a derived
    // worker's own members go, so the thread never runs into them.
    void stopAndJoin();

    void enqueueTaskList(const QList<Task>& tasks);
    void restart();
    // Worker thread: records the state and sends its stateChanged.
    void setState(QFileCopier::State state);
    // Blocks until the worker is idle with nothing queued (at once when it
    // already is) or msecs have passed; true when idle.
    bool waitForFinished(unsigned long msecs);
    void emitProgress() { progressDue.store(true, std::memory_order_relaxed); }
    void setAutoReset(bool reset);
    void setProcessSettings(const QString& takePath, const ProcessSettings& settings);

    Request request(int id) const;
    int count() const;
    QList<int> pendingRequests(int first) const;
    QList<int> topRequests() const;
    qint64 totalProgress() const;
    qint64 totalSize() const;
    QFileCopier::State state() const { return m_state.load(std::memory_order_relaxed); }

public slots:
    void cancel();
    void cancel(int id);
    void skip();
    void skipAll();
    void retry();
    void overwrite();
    void overwriteAll();
    void rename();
    void renameAll();
    void merge();
    void mergeAll();
    void resetSkip();
    void resetOverwrite();
    // The engine's count of source bytes of one track consumed, 0 at its end.
    // Runs on the worker thread, inside the engine's block loop.
    void slot_ProgressFromSubProcess(qint64 len_writen);

signals:
    // All but signal_SubProcessCancel are emitted on the owner's thread, from the outbox.
    void stateChanged(QFileCopier::State state);
    void started(int id);
    void finished(int id);
    void progress(qint64 progress, qint64 size, qint64 total_progress, qint64 total_size, int nb_total_track);
    void error(int id, QFileCopier::Error error, bool stopped);
    void done(bool error);
    void canceled();
    void signal_SubProcessCancel();
    // A report waits in the outbox: deliverReport on the owner's thread.
    void reportQueued(QPrivateSignal);

protected:
    void run() override;

    // One attempt at one request (worker thread). Writes *error only when it
    // fails or meets a cancelled request. Virtual so that tests can stand in
    // for the file operations.
    virtual bool processRequest(const Request& request, QFileCopier::Error* error);

    // ---- Request building and file operations (worker thread) -------------
    void createRequest(Task task);
    int addRequestToQueue(Request request);
    bool checkRequest(int id);
    bool shouldMerge(const Request& request) const;
    bool shouldOverwrite(const Request& request) const;
    bool shouldRename(const Request& request) const;
    bool createDir(const Request& request, QFileCopier::Error* error);
    bool copy(const Request& request, QFileCopier::Error* error);
    bool move(const Request& request, QFileCopier::Error* error);
    bool remove(const Request& request, QFileCopier::Error* error);
    // A file moved by a copy and the source's removal once the copy is whole.
    bool copyThenRemove(const Request& request, QFileCopier::Error* error);
    bool link(const Request& request, QFileCopier::Error* error);
    bool copyFile(const Request& request, QFileCopier::Error* error);

    // ---- Audio requests (worker thread); always true, the outcome in *error
    bool copyMixdown(const Request& request, QFileCopier::Error* error);
    bool processMixdown(const Request& request, QFileCopier::Error* error);
    bool copyInterleave(const Request& request, QFileCopier::Error* error);
    bool processInterleave(const Request& request, QFileCopier::Error* error);
    bool copyInterleaveRotate(const Request& request, QFileCopier::Error* error);
    bool processInterleaveRotate(const Request& request, QFileCopier::Error* error);

    // ---- Worker steps ---------------------------------------------------------
    void handle(int id);
    bool interact(int id, const Request& request, bool ok, QFileCopier::Error error);
    bool cancelPending(const Request& request) const
    {
        return request.canceled || cancelAllRequest.load(std::memory_order_relaxed);
    }

private:
    // The members of one take (mono track files of one take copied into one
    // folder) take their final names together once all are complete: a
    // failed, skipped or cancelled member leaves none of them.
    struct TakeCopy {
        QString key;                       // destination folder and take root
        QList<int> members;                // request ids that will run
        int finished = 0;                  // members handled to their end
        qint64 size = 0;                   // bytes of all members
        bool roomChecked = false;
        QFileCopier::Error failure = QFileCopier::NoError;   // the first, ends the take
        OutputSet outputs{QStringLiteral("copy")};   // complete members under their temporaries
    };
    static QString takeKey(const Request& request);
    TakeCopy* openTake(const Request& request);   // the take still gathering members, made when new
    void joinTake(int id, const Request& request);
    void refuseTakeMember(const Request& request);
    void settleTakeMember(int id, QFileCopier::Error error);
    void dropTakes();
    bool roomForTree(const Request& request);

    enum class AudioKind { CopyMixdown, ProcessMixdown, CopyInterleave, ProcessInterleave,
                           CopyInterleaveRotate, ProcessInterleaveRotate };
    bool runAudioRequest(const Request& request, QFileCopier::Error* error, AudioKind kind);
    void wakeInteraction();
    // A signal on its way to the owner's thread, with its values.
    struct Report {
        enum class Kind { State, Started, Progress, Error, Finished, Done, Canceled } kind = Kind::State;
        QFileCopier::State state = QFileCopier::Idle;
        int id = -1;                          // Started, Error, Finished
        QFileCopier::Error error = QFileCopier::NoError;
        bool flag = false;                    // Error: stopped; Done: some request failed
        // The progress signal's values, in its order.
        qint64 progress = 0, size = 0, totalProgress = 0, totalSize = 0;
        int trackCount = 0;
    };
    void send(const Report& report);      // worker thread
    void send(Report::Kind kind, int id = -1, bool flag = false);
    void sendError(int id, QFileCopier::Error error, bool stopped);
    void sendProgress(qint64 progress, qint64 size, qint64 totalProgress, qint64 totalSize, int trackCount);
    void deliverReport();                 // owner's thread
    void overwriteChildren(int id);
    void emitFileProgress(qint64 done, qint64 size, qint64* reportedSize, qint64* reportedDone);

    mutable WorkerLock lock;
    int currentId = -1;                       // lock; the worker writes it
    QList<Task> taskQueue;                    // lock
    QList<int> requestQueue;                  // lock (the caller's wait reads it)
    QList<int> topRequestIds;                 // lock
    QList<Request> requests;                  // lock; never shrinks
    std::atomic<QFileCopier::State> m_state{QFileCopier::Idle};   // the worker writes it
    // The worker appends, the owner's thread takes the oldest; under
    // outboxMutex. The signals travel here and not as queued signals: Qt
    // makes a queued signal's event and copies its arguments (of any type) on
    // the sending thread and hands them over under its own event lock, which
    // the thread checker cannot see; this lock it sees. Its own lock, so that
    // the owner's thread never waits for `lock` to take a report; it is taken
    // under `lock`, never the other way round.
    std::mutex outboxMutex;
    std::deque<Report> outbox;
    std::atomic<bool> progressDue{false};     // the caller's timer sets it, the worker clears it
    std::condition_variable finishedCondition;
    std::condition_variable newTaskCondition;
    std::condition_variable interactionCondition;
    bool waitingForInteraction = false;       // lock
    unsigned interactionAnswers = 0;          // lock; one more per wake of a waiting worker
    bool idle = true;                         // lock; the worker sleeps with nothing queued
    std::atomic<bool> stopRequest{false};     // the destructor sets it
    bool skipAllRequest = false;              // lock
    CancelFlag cancelAllRequest{false};       // the caller sets it, the worker clears it
    bool overwriteAllRequest = false;         // lock
    bool renameAllRequest = false;            // lock
    bool mergeAllRequest = false;             // lock
    bool hasError = false;                    // worker thread only
    QSet<int> skipErrors;                     // lock; QFileCopier::Error values
    qint64 m_totalProgress = 0;               // lock
    qint64 m_totalSize = 0;                   // lock
    bool autoReset = true;                    // lock
    SubProgress sub;                          // worker thread only (the running audio request)
    QHash<QString, ProcessSettings> processSettings;   // lock; by cleaned take path
    std::vector<std::unique_ptr<TakeCopy>> takeCopies;  // worker thread only
    QHash<int, TakeCopy*> takeOfRequest;                // worker thread only
    QHash<QString, TakeCopy*> openTakes;                // worker thread only; takes still gathering members
    QSet<QString> settledFolders;                       // worker thread only; destination folders settled this run
    ThreadJoinMark joinMark;
    bool joined = false;                      // the owner's thread only
};

#endif
