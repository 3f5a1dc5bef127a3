#include "player/sfxplayer.h"

#include "player/sfxthread.h"

SfxPlayer::SfxPlayer(QObject* parent)
    : QObject(parent)
    , m_pThread(std::make_unique<SfxThread>())
{
    connect(m_pThread.get(), &SfxThread::signal_AudioMotorStateChange, this,
            &SfxPlayer::signal_AudioMotorStateChange);
}

SfxPlayer::~SfxPlayer() = default;

short SfxPlayer::GetSfxState() const
{
    return m_pThread->GetSfxState();
}

void SfxPlayer::setup(void* take)
{
    // Direct while the thread object still lives here (the first setup),
    // queued into the player thread after.
    SfxThread* thread = m_pThread.get();
    QMetaObject::invokeMethod(thread, [thread, take] { thread->setup(take); }, Qt::AutoConnection);
}

void SfxPlayer::play(void* take)
{
    SfxThread* thread = m_pThread.get();
    QMetaObject::invokeMethod(thread, [thread, take] { thread->play(take); }, Qt::QueuedConnection);
}

void SfxPlayer::toggleSuspendResume()
{
    QMetaObject::invokeMethod(m_pThread.get(), &SfxThread::toggleSuspendResume, Qt::QueuedConnection);
}

void SfxPlayer::StopAll()
{
    QMetaObject::invokeMethod(m_pThread.get(), &SfxThread::StopAll, Qt::QueuedConnection);
}
