#include "fileprocess/qfilecopier.h"

#include "fileprocess/qfilecopierthread.h"

#include <QTimerEvent>
#include <QVector>

ProcessSettings::ProcessSettings()
{
    std::fill(std::begin(volume), std::end(volume), short(4));
    std::fill(std::begin(pan), std::end(pan), short(1));
    std::fill(std::begin(mute), std::end(mute), false);
    std::fill(std::begin(swapMS), std::end(swapMS), false);
    std::fill(std::begin(rotation), std::end(rotation), -1);
}

// The facade's state on the caller's thread: the stack of started requests
// (fed by the queued started/finished signals, so it lags the worker by the
// queue) and the progress timer that paces the worker's progress signals.
class QFileCopierPrivate : public QObject
{
public:
    explicit QFileCopierPrivate(QFileCopier* facade) : q(facade) {}

    void enqueueOperation(Task::Type type, const QStringList& sources, const QString& destination,
                          QFileCopier::CopyFlags flags)
    {
        QList<Task> tasks;
        for (const QString& source : sources)
            tasks.append(Task{type, source, destination, flags});
        enqueue(tasks);
    }
    void enqueueOperation(Task::Type type, const QStringList& sources, const QStringList& destinations,
                          QFileCopier::CopyFlags flags)
    {
        if (sources.size() != destinations.size())
            return;
        QList<Task> tasks;
        for (int i = 0; i < sources.size(); ++i)
            tasks.append(Task{type, sources.at(i), destinations.at(i), flags});
        enqueue(tasks);
    }

    void onStarted(int id)
    {
        currentIds.append(id);
        emit q->started(id);
    }
    void onFinished(int id)
    {
        if (!currentIds.isEmpty())
            currentIds.removeLast();
        emit q->finished(id, false);
    }
    void onThreadFinished()
    {
        if (state != QFileCopier::Idle) {
            state = QFileCopier::Idle;
            emit q->stateChanged(QFileCopier::Idle);
        }
    }
    void startTimer(int msecs) { progressTimerId = QObject::startTimer(msecs, Qt::CoarseTimer); }

    QFileCopierThread* thread = nullptr;      // a child of the facade
    QFileCopier::State state = QFileCopier::Idle;
    QVector<int> currentIds;
    int progressTimerId = -1;
    int progressInterval = 500;
    bool autoReset = true;
    QFileCopier* q;

protected:
    void timerEvent(QTimerEvent* event) override
    {
        if (event->timerId() == progressTimerId)
            thread->emitProgress();
    }

private:
    void enqueue(const QList<Task>& tasks)
    {
        thread->enqueueTaskList(tasks);
        if (state != QFileCopier::Copying) {
            state = QFileCopier::Copying;
            emit q->stateChanged(QFileCopier::Copying);
        }
    }
};

QFileCopier::QFileCopier(QObject* parent) : QFileCopier(new QFileCopierThread, parent) {}

QFileCopier::QFileCopier(QFileCopierThread* worker, QObject* parent)
    : QObject(parent), d(std::make_unique<QFileCopierPrivate>(this))
{
    qRegisterMetaType<QFileCopier::State>("QFileCopier::State");
    qRegisterMetaType<QFileCopier::Error>("QFileCopier::Error");
    d->thread = worker;
    worker->setParent(this);
    worker->setStackSize(0x40000);
    Connect();
    d->progressInterval = 500;
    d->startTimer(d->progressInterval);
    d->autoReset = true;
}

void QFileCopier::Connect()
{
    QFileCopierThread* w = d->thread;
    QFileCopierPrivate* p = d.get();
    connect(w, &QFileCopierThread::stateChanged, this, &QFileCopier::stateChanged);
    connect(w, &QFileCopierThread::started, p, [p](int id) { p->onStarted(id); });
    connect(w, &QFileCopierThread::finished, p, [p](int id) { p->onFinished(id); });
    connect(w, &QFileCopierThread::progress, this, &QFileCopier::progress);
    connect(w, &QFileCopierThread::error, this, &QFileCopier::error);
    // The facade's own Idle goes out before the relayed done.
    connect(w, &QFileCopierThread::done, p, [p](bool) { p->onThreadFinished(); });
    connect(w, &QFileCopierThread::done, this, &QFileCopier::done);
}

QFileCopier::~QFileCopier()
{
    // The worker is joined before the facade's state goes, so no signal of
    // it can meet a half-destroyed receiver.
    d->thread->stopAndJoin();
    delete d->thread;
    d->thread = nullptr;
}

void QFileCopier::copy(const QString& source, const QString& destination, CopyFlags flags)
{
    d->enqueueOperation(Task::Copy, QStringList{source}, destination, flags);
}
void QFileCopier::copy(const QStringList& sources, const QString& destination, CopyFlags flags)
{
    d->enqueueOperation(Task::Copy, sources, destination, flags);
}
void QFileCopier::copy(const QStringList& sources, const QStringList& destinations, CopyFlags flags)
{
    d->enqueueOperation(Task::Copy, sources, destinations, flags);
}
void QFileCopier::move(const QString& source, const QString& destination, CopyFlags flags)
{
    d->enqueueOperation(Task::Move, QStringList{source}, destination, flags);
}
void QFileCopier::move(const QStringList& sources, const QString& destination, CopyFlags flags)
{
    d->enqueueOperation(Task::Move, sources, destination, flags);
}
void QFileCopier::link(const QString& source, const QString& destination, CopyFlags flags)
{
    d->enqueueOperation(Task::Link, QStringList{source}, destination, flags);
}
void QFileCopier::link(const QStringList& sources, const QString& destination, CopyFlags flags)
{
    d->enqueueOperation(Task::Link, sources, destination, flags);
}
void QFileCopier::remove(const QString& path, CopyFlags flags)
{
    d->enqueueOperation(Task::Remove, QStringList{path}, QString(), flags);
}
void QFileCopier::remove(const QStringList& paths, CopyFlags flags)
{
    d->enqueueOperation(Task::Remove, paths, QString(), flags);
}

void QFileCopier::setProcessSettings(const QString& takePath, const ProcessSettings& settings)
{
    d->thread->setProcessSettings(takePath, settings);
}

int QFileCopier::currentId() const { return d->currentIds.isEmpty() ? -1 : d->currentIds.last(); }
QList<int> QFileCopier::pendingRequests() const { return d->thread->pendingRequests(currentId()); }
QList<int> QFileCopier::topRequests() const { return d->thread->topRequests(); }
QString QFileCopier::sourceFilePath(int id) const { return d->thread->request(id).source; }
QString QFileCopier::destinationFilePath(int id) const { return d->thread->request(id).destination; }
bool QFileCopier::isDir(int id) const { return d->thread->request(id).isDir; }
QList<int> QFileCopier::entryList(int id) const { return d->thread->request(id).childRequests; }
qint64 QFileCopier::size(int id) const { return d->thread->request(id).size; }
int QFileCopier::count() const { return d->thread->count(); }
qint64 QFileCopier::totalProgress() const { return d->thread->totalProgress(); }
qint64 QFileCopier::totalSize() const { return d->thread->totalSize(); }
QFileCopier::State QFileCopier::state() const { return d->state; }

int QFileCopier::progressInterval() const { return d->progressInterval; }
void QFileCopier::setProgressInterval(int msecs)
{
    if (msecs == d->progressInterval)
        return;
    if (d->progressTimerId != -1)
        d->killTimer(d->progressTimerId);
    d->progressInterval = msecs;
    d->startTimer(msecs);
}
bool QFileCopier::autoReset() const { return d->autoReset; }
void QFileCopier::setAutoReset(bool reset)
{
    d->autoReset = reset;
    d->thread->setAutoReset(reset);
}

bool QFileCopier::waitForFinished(unsigned long msecs) { return d->thread->waitForFinished(msecs); }

void QFileCopier::cancelAll() { d->thread->cancel(); }
void QFileCopier::cancel(int id) { d->thread->cancel(id); }
void QFileCopier::skip() { d->thread->skip(); }
void QFileCopier::skipAll() { d->thread->skipAll(); }
void QFileCopier::retry() { d->thread->retry(); }
void QFileCopier::overwrite() { d->thread->overwrite(); }
void QFileCopier::overwriteAll() { d->thread->overwriteAll(); }
void QFileCopier::rename() { d->thread->rename(); }
void QFileCopier::renameAll() { d->thread->renameAll(); }
void QFileCopier::merge() { d->thread->merge(); }
void QFileCopier::mergeAll() { d->thread->mergeAll(); }
void QFileCopier::resetSkip() { d->thread->resetSkip(); }
void QFileCopier::resetOverwrite() { d->thread->resetOverwrite(); }
void QFileCopier::reset()
{
    d->thread->resetSkip();
    d->thread->resetOverwrite();
}
