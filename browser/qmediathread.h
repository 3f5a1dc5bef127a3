#ifndef NALVO_BROWSER_QMEDIATHREAD_H
#define NALVO_BROWSER_QMEDIATHREAD_H

#include <QMutex>
#include <QStringList>
#include <QThread>
#include <QWaitCondition>

#include <atomic>

#include "foundation/threadjoin.h"

// Polls the mounted volumes once a second and signals when the set changed;
// the receiver asks for the volumes itself.
class QMediaThread : public QThread
{
    Q_OBJECT
public:
    explicit QMediaThread(QObject* parent);
    ~QMediaThread() override;

    // One poll pass: true when the volumes differ from the last pass.
    bool pollOnce();

signals:
    void signal_VolumesChanged();

protected:
    void run() override;

private:
    static QStringList currentVolumeTexts();

    QStringList m_lLastVolumes;
    std::atomic_bool m_bAbort{false};
    // The one-second pause waits on this, so the destructor need not sit out a full sleep.
    QMutex m_PauseMutex;
    QWaitCondition m_PauseWake;
    ThreadJoinMark m_JoinMark;
};

#endif
