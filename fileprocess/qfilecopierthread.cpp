#include "fileprocess/qfilecopierthread.h"

#include <QDir>
#include <QFileInfo>

QFileCopierThread::QFileCopierThread(QObject* parent) : QThread(parent)
{
    // Queued to the worker object, which lives on the owner's thread: one
    // posted call per report, so the reports go out in their order.
    connect(this, &QFileCopierThread::reportQueued, this, &QFileCopierThread::deliverReport, Qt::QueuedConnection);
}

QFileCopierThread::~QFileCopierThread() { stopAndJoin(); }

void QFileCopierThread::stopAndJoin()
{
    if (joined)
        return;
    stopRequest.store(true);
    cancel();
    {
        std::lock_guard<WorkerLock> guard(lock);
        newTaskCondition.notify_all();
    }
    if (isRunning() || !isFinished())
        wait();
    joinMark.joined();
    joined = true;
}

// ---- Queue and control ---------------------------------------------------------

void QFileCopierThread::enqueueTaskList(const QList<Task>& tasks)
{
    std::lock_guard<WorkerLock> guard(lock);
    taskQueue.append(tasks);
    idle = false;
    restart();
}

void QFileCopierThread::restart()
{
    std::lock_guard<WorkerLock> guard(lock);
    if (!isRunning() && !stopRequest.load())
        start(QThread::InheritPriority);
    newTaskCondition.notify_one();
}

void QFileCopierThread::setState(QFileCopier::State state)
{
    std::lock_guard<WorkerLock> guard(lock);
    m_state.store(state, std::memory_order_relaxed);
    Report report;
    report.state = state;
    send(report);
}

void QFileCopierThread::sendError(int id, QFileCopier::Error error, bool stopped)
{
    Report report;
    report.kind = Report::Kind::Error;
    report.id = id;
    report.error = error;
    report.flag = stopped;
    send(report);
}

void QFileCopierThread::send(Report::Kind kind, int id, bool flag)
{
    Report report;
    report.kind = kind;
    report.id = id;
    report.flag = flag;
    send(report);
}

void QFileCopierThread::sendProgress(qint64 progress, qint64 size, qint64 totalProgress, qint64 totalSize,
                                     int trackCount)
{
    Report report;
    report.kind = Report::Kind::Progress;
    report.progress = progress;
    report.size = size;
    report.totalProgress = totalProgress;
    report.totalSize = totalSize;
    report.trackCount = trackCount;
    send(report);
}

void QFileCopierThread::send(const Report& report)
{
    {
        std::lock_guard<std::mutex> guard(outboxMutex);
        outbox.push_back(report);
    }
    emit reportQueued(QPrivateSignal());
}

void QFileCopierThread::deliverReport()
{
    Report report;
    {
        std::lock_guard<std::mutex> guard(outboxMutex);
        if (outbox.empty())
            return;
        report = outbox.front();
        outbox.pop_front();
    }
    switch (report.kind) {
    case Report::Kind::State:
        emit stateChanged(report.state);
        break;
    case Report::Kind::Started:
        emit started(report.id);
        break;
    case Report::Kind::Progress:
        emit progress(report.progress, report.size, report.totalProgress, report.totalSize, report.trackCount);
        break;
    case Report::Kind::Error:
        emit error(report.id, report.error, report.flag);
        break;
    case Report::Kind::Finished:
        emit finished(report.id);
        break;
    case Report::Kind::Done:
        emit done(report.flag);
        break;
    case Report::Kind::Canceled:
        emit canceled();
        break;
    }
}

bool QFileCopierThread::waitForFinished(unsigned long msecs)
{
    std::lock_guard<WorkerLock> guard(lock);
    // A predicate, not the next wake-up: a worker that is idle already (or
    // went idle just before this call) must not keep the caller waiting.
    return lock.waitFor(finishedCondition, msecs,
                        [this] { return idle && taskQueue.isEmpty() && requestQueue.isEmpty(); });
}

void QFileCopierThread::setAutoReset(bool reset)
{
    std::lock_guard<WorkerLock> guard(lock);
    autoReset = reset;
}

void QFileCopierThread::setProcessSettings(const QString& takePath, const ProcessSettings& settings)
{
    std::lock_guard<WorkerLock> guard(lock);
    processSettings.insert(QDir::cleanPath(QFileInfo(takePath).absoluteFilePath()), settings);
}

// ---- Queries ---------------------------------------------------------------------

Request QFileCopierThread::request(int id) const
{
    std::lock_guard<WorkerLock> guard(lock);
    if (id < 0 || id >= requests.size())
        return Request();
    return requests.at(id);
}

int QFileCopierThread::count() const
{
    std::lock_guard<WorkerLock> guard(lock);
    return requests.size();
}

QList<int> QFileCopierThread::pendingRequests(int first) const
{
    const int total = count();
    QList<int> ids;
    for (int id = first; id < total; ++id)
        ids.append(id);
    return ids;
}

QList<int> QFileCopierThread::topRequests() const
{
    std::lock_guard<WorkerLock> guard(lock);
    return topRequestIds;
}

qint64 QFileCopierThread::totalProgress() const
{
    std::lock_guard<WorkerLock> guard(lock);
    return m_totalProgress;
}

qint64 QFileCopierThread::totalSize() const
{
    std::lock_guard<WorkerLock> guard(lock);
    return m_totalSize;
}

// ---- Interaction slots -----------------------------------------------------------

void QFileCopierThread::wakeInteraction()
{
    ++interactionAnswers;
    interactionCondition.notify_all();
}

void QFileCopierThread::skip()
{
    std::lock_guard<WorkerLock> guard(lock);
    if (!waitingForInteraction)
        return;
    requests[currentId].canceled = true;
    waitingForInteraction = false;
    wakeInteraction();
}

void QFileCopierThread::skipAll()
{
    std::lock_guard<WorkerLock> guard(lock);
    if (!waitingForInteraction)
        return;
    requests[currentId].canceled = true;
    skipAllRequest = true;
    waitingForInteraction = false;
    wakeInteraction();
}

void QFileCopierThread::retry()
{
    std::lock_guard<WorkerLock> guard(lock);
    if (!waitingForInteraction)
        return;
    waitingForInteraction = false;
    wakeInteraction();
}

void QFileCopierThread::overwriteChildren(int id)
{
    requests[id].overwrite = true;
    const QList<int> children = requests.at(id).childRequests;
    for (int child : children)
        overwriteChildren(child);
}

void QFileCopierThread::overwrite()
{
    std::lock_guard<WorkerLock> guard(lock);
    if (!waitingForInteraction)
        return;
    overwriteChildren(currentId);
    waitingForInteraction = false;
    wakeInteraction();
}

void QFileCopierThread::overwriteAll()
{
    std::lock_guard<WorkerLock> guard(lock);
    if (!waitingForInteraction)
        return;
    overwriteAllRequest = true;
    waitingForInteraction = false;
    wakeInteraction();
}

void QFileCopierThread::rename()
{
    std::lock_guard<WorkerLock> guard(lock);
    if (!waitingForInteraction)
        return;
    requests[currentId].rename = true;
    waitingForInteraction = false;
    wakeInteraction();
}

void QFileCopierThread::renameAll()
{
    std::lock_guard<WorkerLock> guard(lock);
    if (!waitingForInteraction)
        return;
    renameAllRequest = true;
    waitingForInteraction = false;
    wakeInteraction();
}

void QFileCopierThread::merge()
{
    std::lock_guard<WorkerLock> guard(lock);
    // A request is asked about before it is expanded, so its folder flag is
    // not set yet: the source itself tells whether there is a folder to merge.
    const Request& asked = requests.at(currentId);
    if (!waitingForInteraction || !(asked.isDir || QFileInfo(asked.source).isDir()))
        return;   // a file cannot be merged: the worker keeps waiting
    requests[currentId].merge = true;
    waitingForInteraction = false;
    wakeInteraction();
}

void QFileCopierThread::mergeAll()
{
    std::lock_guard<WorkerLock> guard(lock);
    if (!waitingForInteraction)
        return;
    mergeAllRequest = true;
    waitingForInteraction = false;
    wakeInteraction();
}

void QFileCopierThread::resetSkip()
{
    std::lock_guard<WorkerLock> guard(lock);
    skipErrors.clear();
}

void QFileCopierThread::resetOverwrite()
{
    std::lock_guard<WorkerLock> guard(lock);
    overwriteAllRequest = false;
}

void QFileCopierThread::cancel(int id)
{
    std::lock_guard<WorkerLock> guard(lock);
    if (id < 0 || id >= requests.size())
        return;
    requests[id].canceled = true;
    if (waitingForInteraction && id == currentId)
        wakeInteraction();
}

void QFileCopierThread::cancel()
{
    std::lock_guard<WorkerLock> guard(lock);
    for (Request& r : requests)
        r.canceled = true;
    cancelAllRequest.store(true);
    if (waitingForInteraction)
        wakeInteraction();
}

// ---- Run loop --------------------------------------------------------------------

void QFileCopierThread::run()
{
    for (;;) {
        std::unique_lock<WorkerLock> guard(lock);
        if (cancelAllRequest.load()) {
            cancelAllRequest.store(false);
            taskQueue.clear();
            requestQueue.clear();
            topRequestIds.clear();
            dropTakes();
            send(Report::Kind::Canceled);
            continue;
        }
        if (!taskQueue.isEmpty()) {
            setState(QFileCopier::Gathering);
            const Task task = taskQueue.takeFirst();
            guard.unlock();
            createRequest(task);
            continue;
        }
        if (!requestQueue.isEmpty()) {
            const int id = requestQueue.takeFirst();
            guard.unlock();
            setState(QFileCopier::Copying);
            handle(id);
            continue;
        }
        if (stopRequest.load())
            break;
        setState(QFileCopier::Idle);
        dropTakes();
        send(Report::Kind::Done, -1, hasError);
        hasError = false;
        idle = true;
        finishedCondition.notify_all();
        if (autoReset) {
            overwriteAllRequest = false;
            mergeAllRequest = false;
            skipAllRequest = false;
            skipErrors.clear();
            topRequestIds.clear();
        }
        // renameAllRequest stays: once answered it holds for the engine's life.
        lock.wait(newTaskCondition, [this] { return !taskQueue.isEmpty() || stopRequest.load(); });
    }
    joinMark.ended();
}

void QFileCopierThread::handle(int id)
{
    int previous;
    {
        std::lock_guard<WorkerLock> guard(lock);
        send(Report::Kind::Started, id);
        previous = currentId;
        currentId = id;
    }
    QFileCopier::Error error = QFileCopier::NoError;
    for (;;) {
        const Request copy = request(id);
        // Each attempt starts clean: a retry that succeeds reports nothing.
        error = QFileCopier::NoError;
        const bool ok = processRequest(copy, &error);
        if (interact(id, copy, ok, error))
            break;
    }
    if (error != QFileCopier::NoError)
        hasError = true;
    settleTakeMember(id, error);
    std::lock_guard<WorkerLock> guard(lock);
    currentId = previous;
    send(Report::Kind::Finished, id);
}

bool QFileCopierThread::interact(int id, const Request& request, bool ok, QFileCopier::Error error)
{
    if (ok || (request.flags & QFileCopier::NonInteractive)) {
        if (error != QFileCopier::NoError)
            sendError(id, error, false);
        return true;
    }
    std::lock_guard<WorkerLock> guard(lock);
    if (stopRequest.load())
        return true;
    if (skipErrors.contains(error)) {
        sendError(id, error, false);
        return true;
    }
    sendError(id, error, true);
    waitingForInteraction = true;
    const unsigned answers = interactionAnswers;
    lock.wait(interactionCondition, [&] { return interactionAnswers != answers; });
    // A cancel wakes without answering: the slots must not act on a request
    // that is no longer waiting.
    waitingForInteraction = false;
    if (skipAllRequest) {
        skipAllRequest = false;
        skipErrors.insert(error);
    }
    return false;
}
