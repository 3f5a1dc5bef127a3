#include "player/sfxthread.h"

#include "player/audiosink.h"
#include "player/generatoraudiobuffer.h"
#include "take/soundperform.h"

SfxThread::SfxThread() = default;

SfxThread::~SfxThread()
{
    if (m_bSetup) {
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
    m_pSink = CreateAudioSink(m_Format);
    connect(m_pSink.get(), &AudioSink::stateChanged, this, &SfxThread::slot_playerStateChanged,
            Qt::DirectConnection);
    connect(m_pGenerator.get(), &GeneratorAudioBuffer::signal_GeneratorAudioBufferEnd, this,
            &SfxThread::slot_GeneratorAudioBufferEnd, Qt::DirectConnection);
    exec();
    // The sink belongs to this thread: stopped and deleted here, silently
    // (whoever deletes the player no longer listens).
    disconnect(m_pSink.get(), nullptr, this, nullptr);
    disconnect(m_pGenerator.get(), nullptr, this, nullptr);
    m_pSink->stop();
    m_pSink.reset();
    m_pGenerator->Unbind();
    m_pGenerator->close();
    m_pGenerator.reset();
    m_bRunDone.store(true, std::memory_order_release);
}

void SfxThread::playToggle(void* take)
{
    if (m_nState == PlayerPlaying) {
        if (m_pSink)
            m_pSink->stop();
        return;
    }
    if (!m_pGenerator || !m_pSink)
        return;
    // Fresh blocks from the start second: nothing of an earlier run is heard.
    m_pSink->stop();
    m_pGenerator->close();
    m_pGenerator->BindTake(static_cast<QSoundPerform*>(take));
    // Unbuffered: the output's pulls reach the blocks without a second copy.
    m_pGenerator->open(QIODevice::ReadOnly | QIODevice::Unbuffered);
    m_pSink->start(m_pGenerator.get());
}

void SfxThread::toggleSuspendResume()
{
    if (!m_pSink)
        return;
    switch (m_pSink->state()) {
    case QAudio::SuspendedState:
    case QAudio::StoppedState: m_pSink->resume(); break;
    case QAudio::ActiveState: m_pSink->suspend(); break;
    default: break;
    }
}

void SfxThread::StopAll()
{
    if (m_pSink)
        m_pSink->stop();
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
    // Running dry after the end of the data was told is no news.
    if (code == PlayerIdle && m_pGenerator && m_pGenerator->EndHandedOver())
        return;
    emit signal_AudioMotorStateChange(code);
}

void SfxThread::slot_GeneratorAudioBufferEnd()
{
    emit signal_AudioMotorStateChange(PlayerEndOfData);
}
