#include "player/sfxthread.h"

#include "foundation/messageloging.h"
#include "player/audiosink.h"
#include "player/generatoraudiobuffer.h"
#include "player/threadpriority.h"
#include "take/soundperform.h"

#include <QThread>

namespace {
// How often the cursor follows the sound.
constexpr int kTickMs = 10;
}

SfxThread::SfxThread() = default;

SfxThread::~SfxThread()
{
    if (m_bSetup) {
        // A thread still waiting for its output returns at once.
        m_WaitCancel.Ask();
        quit();
        wait();
        m_bRunDone.load(std::memory_order_acquire);
    }
    // Only when the thread never ran; run() releases both itself.
    m_pSink.reset();
    m_pGenerator.reset();
}

void SfxThread::setup(void* take)
{
    if (m_bSetup)
        return;
    m_bSetup = true;
    QSoundPerform* perform = static_cast<QSoundPerform*>(take);
    // The take's own rate: a device that refuses it gets a converted stream,
    // never the samples of one rate played at another.
    m_Format = PlayerSourceFormat(perform && perform->m_nSampleRate > 0 ? perform->m_nSampleRate : 48000);
    PrepareAudioOutput();
    m_pGenerator = std::make_unique<GeneratorAudioBuffer>();
    m_pGenerator->BindTake(perform);
    // Moved before the start, so that every later call reaches the thread's loop.
    m_pGenerator->moveToThread(this);
    moveToThread(this);
    start(QThread::InheritPriority);
}

void SfxThread::run()
{
    QThread::currentThread()->setPriority(QThread::HighPriority);
    m_pTicker = std::make_unique<QTimer>();
    m_pTicker->setTimerType(Qt::PreciseTimer);
    m_pTicker->setInterval(kTickMs);
    connect(m_pTicker.get(), &QTimer::timeout, this, &SfxThread::OnTick, Qt::DirectConnection);
    UseSink(CreateAudioSink(m_Format, &m_WaitCancel));
    // A sink pulled as fast as it goes (a capture run) would hold a core at
    // that priority; a device waits between its pulls.
    if (m_pSink->RealTime())
        MyQDebug("Player thread: %s", qPrintable(RaiseAudioThreadPriority()));
    m_pGenerator->SetRealTime(m_pSink->RealTime());
    connect(m_pGenerator.get(), &GeneratorAudioBuffer::signal_GeneratorAudioBufferEnd, this,
            &SfxThread::slot_GeneratorAudioBufferEnd, Qt::DirectConnection);
    exec();
    // The sink belongs to this thread: stopped and deleted here, silently
    // (whoever deletes the player no longer listens).
    m_pTicker.reset();
    disconnect(m_pSink.get(), nullptr, this, nullptr);
    disconnect(m_pGenerator.get(), nullptr, this, nullptr);
    m_pSink->stop();
    m_pSink.reset();
    m_pGenerator->Unbind();
    m_pGenerator->close();
    m_pGenerator.reset();
    m_bRunDone.store(true, std::memory_order_release);
}

void SfxThread::UseSink(std::unique_ptr<AudioSink> sink)
{
    if (m_pSink) {
        disconnect(m_pSink.get(), nullptr, this, nullptr);
        m_pSink->stop();
        m_pSink.release()->deleteLater();
    }
    m_pSink = std::move(sink);
    connect(m_pSink.get(), &AudioSink::stateChanged, this, &SfxThread::slot_playerStateChanged,
            Qt::DirectConnection);
    connect(m_pSink.get(), &AudioSink::failed, this, &SfxThread::OnSinkFailed, Qt::DirectConnection);
}

void SfxThread::TellUser(const QString& text)
{
    SendUserMessage(MessageTitle(), text);
}

bool SfxThread::StartSink()
{
    if (m_bSinkBroken) {
        m_bSinkBroken = false;
        UseSink(CreateAudioSink(m_Format, &m_WaitCancel));
    }
    emit signal_OutputWait(true);
    const bool started = m_pSink->start(m_pGenerator.get());
    emit signal_OutputWait(false);
    if (started)
        return true;
    if (m_pSink->ErrorText().isEmpty()) {
        // Cut short by a stop or the end of the player: nothing to tell, and
        // the stop that is on its way finds the player stopped.
        m_nState = PlayerStopped;
        emit signal_AudioMotorStateChange(PlayerStopped);
        return false;
    }
    // The next Play tries the output again; this one is told once.
    m_bSinkBroken = true;
    // The cursor, the meters and the end of the take still run, without sound.
    TellUser(m_pSink->ErrorText()
             + QStringLiteral("\nPlaying without sound. Press Play again once the sound server runs."));
    UseSink(CreateNullSink(m_Format));
    return m_pSink->start(m_pGenerator.get());
}

void SfxThread::OnSinkFailed()
{
    m_pTicker->stop();
    m_bSinkBroken = true;
    // The next Play goes on from where the sound stopped, unless the start
    // second is moved or playback is stopped meanwhile.
    QSoundPerform* take = m_pGenerator ? m_pGenerator->Take() : nullptr;
    if (take && m_nPublishedFrame != ~quint64(0)) {
        m_nResumeFrame = m_nPublishedFrame;
        m_nResumeSecond = take->m_nStartSecond;
    }
    TellUser(m_pSink->ErrorText() + QStringLiteral("\nPlayback stopped. Press Play again once the sound server runs."));
}

void SfxThread::playToggle(void* take)
{
    if (m_nState == PlayerPlaying) {
        if (m_pSink)
            m_pSink->stop();
        return;
    }
    StartPlaying(static_cast<QSoundPerform*>(take));
}

void SfxThread::StartPlaying(QSoundPerform* perform)
{
    if (!m_pGenerator || !m_pSink)
        return;
    // Fresh blocks from the start second: nothing of an earlier run is heard.
    m_pSink->stop();
    m_pGenerator->close();
    if (m_nResumeFrame != ~quint64(0) && perform && perform->m_nStartSecond == m_nResumeSecond)
        m_pGenerator->BindTakeAt(perform, m_nResumeFrame);
    else
        m_pGenerator->BindTake(perform);
    m_nResumeFrame = ~quint64(0);
    // Unbuffered: the output's pulls reach the blocks without a second copy.
    m_pGenerator->open(QIODevice::ReadOnly | QIODevice::Unbuffered);
    m_bEndTold = false;
    m_nPublishedFrame = ~quint64(0);
    if (StartSink()) {
        // A take shorter than what the output waits for before it begins
        // would never be heard: silence after it fills the difference.
        m_pGenerator->SetMinimumRun(m_pSink->StartMicroseconds() * m_Format.sampleRate() / 1000000
                                    * m_Format.bytesPerFrame());
        m_pTicker->start();
    }
}

void SfxThread::toggleSuspendResume()
{
    if (!m_pSink)
        return;
    if (m_bSinkBroken) {
        // Without sound since the output was lost: this press is the user's
        // "the server runs again". The sound goes on from the last frame
        // heard, through a new output. A stopped sink already left that
        // frame behind when it failed.
        QSoundPerform* take = m_pGenerator ? m_pGenerator->Take() : nullptr;
        if (m_pSink->state() != QAudio::StoppedState) {
            PublishPosition();
            if (take && m_nPublishedFrame != ~quint64(0)) {
                m_nResumeFrame = m_nPublishedFrame;
                m_nResumeSecond = take->m_nStartSecond;
            }
        }
        StartPlaying(take);
        return;
    }
    switch (m_pSink->state()) {
    case QAudio::SuspendedState:
    case QAudio::StoppedState: m_pSink->resume(); break;
    case QAudio::ActiveState:
        m_pSink->suspend();
        // The cursor stops where the sound stopped.
        PublishPosition();
        break;
    default: break;
    }
}

void SfxThread::StopAll()
{
    // The stop that was asked is carried out: a later start waits again.
    m_WaitCancel.Clear();
    m_nResumeFrame = ~quint64(0);
    if (m_pSink)
        m_pSink->stop();
}

void SfxThread::PublishPosition()
{
    QSoundPerform* take = m_pGenerator ? m_pGenerator->Take() : nullptr;
    if (!take || !m_pSink)
        return;
    const qint64 heldFrames = m_pSink->HeldMicroseconds() * m_Format.sampleRate() / 1000000;
    const quint64 frame = m_pGenerator->PublishHeard(heldFrames * m_Format.bytesPerFrame());
    if (frame == m_nPublishedFrame)
        return;
    m_nPublishedFrame = frame;
    take->SetSample(unsigned(frame));
}

void SfxThread::OnTick()
{
    if (!m_pSink || m_pSink->state() == QAudio::StoppedState) {
        m_pTicker->stop();
        return;
    }
    if (m_pSink->state() == QAudio::SuspendedState) {
        // A sink may learn where the sound stopped only after the pause took
        // effect: the cursor follows its figure until it settles.
        PublishPosition();
        return;
    }
    PublishPosition();
    CheckEnd();
}

void SfxThread::CheckEnd()
{
    if (m_bEndTold || !m_pGenerator || !m_pGenerator->EndHandedOver() || !m_pSink || !m_pSink->Drained())
        return;
    m_bEndTold = true;
    PublishPosition();
    emit signal_AudioMotorStateChange(PlayerEndOfData);
}

void SfxThread::slot_playerStateChanged(QAudio::State state)
{
    short code;
    switch (state) {
    case QAudio::ActiveState: code = PlayerPlaying; break;
    case QAudio::SuspendedState: code = PlayerPaused; break;
    case QAudio::StoppedState: code = PlayerStopped; break;
    case QAudio::IdleState: code = PlayerIdle; break;
    default: return;
    }
    m_nState = code;
    // Running dry after the end of the data was handed over is the end, not news.
    if (code == PlayerIdle && m_pGenerator && m_pGenerator->EndHandedOver()) {
        CheckEnd();
        return;
    }
    emit signal_AudioMotorStateChange(code);
}

void SfxThread::slot_GeneratorAudioBufferEnd()
{
    // A sink that holds nothing has played it all; an output device tells
    // when it ran dry.
    CheckEnd();
}
