#include "player/sfxplayer.h"

#include "player/sfxthread.h"

SfxPlayer::SfxPlayer(QObject* parent)
    : QObject(parent)
    , m_pThread(std::make_unique<SfxThread>())
{
    connect(m_pThread.get(), &SfxThread::signal_AudioMotorStateChange, this,
            &SfxPlayer::signal_AudioMotorStateChange);
    connect(m_pThread.get(), &SfxThread::signal_OutputWait, this, &SfxPlayer::signal_OutputWait);
    // Queued, argument-less and made before the thread exists: a command
    // carries no data across threads besides what SfxThread keeps in atomics.
    connect(this, &SfxPlayer::signal_PlayRequest, m_pThread.get(), &SfxThread::slot_PlayRequest,
            Qt::QueuedConnection);
    connect(this, &SfxPlayer::signal_PauseRequest, m_pThread.get(), &SfxThread::toggleSuspendResume,
            Qt::QueuedConnection);
    connect(this, &SfxPlayer::signal_StopRequest, m_pThread.get(), &SfxThread::StopAll, Qt::QueuedConnection);
}

// The thread's destructor ends a wait for the output before it joins.
SfxPlayer::~SfxPlayer() = default;

short SfxPlayer::GetSfxState() const
{
    return m_pThread->GetSfxState();
}

void SfxPlayer::setup(void* take)
{
    m_pThread->setup(take);
}

void SfxPlayer::play(void* take)
{
    m_pThread->SetPlayRequestTake(take);
    emit signal_PlayRequest();
}

void SfxPlayer::toggleSuspendResume()
{
    emit signal_PauseRequest();
}

void SfxPlayer::StopAll()
{
    // Before the stop is queued: a start waiting for the output gives up
    // now instead of when the server answers.
    m_pThread->AskStop();
    emit signal_StopRequest();
}
