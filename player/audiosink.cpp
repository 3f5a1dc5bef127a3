#include "player/audiosink.h"

#include "foundation/messageloging.h"
#include "player/pulsesink.h"
#include "player/qtaudiosink.h"

#include <QAudioDeviceInfo>
#include <QIODevice>

#include <algorithm>
#include <atomic>

AudioSink::AudioSink(QObject* parent)
    : QObject(parent)
{
}

AudioSink::~AudioSink() = default;

void AudioSink::setState(QAudio::State state)
{
    if (state == m_State)
        return;
    m_State = state;
    emit stateChanged(state);
}

QString AudioSink::ServerLostText()
{
    return QStringLiteral("The sound output stopped working (is the sound server running?).");
}

void SinkWaitCancel::Ask()
{
    m_bAsked = true;
    std::lock_guard<std::mutex> lock(m_Mutex);
    if (m_Wake)
        m_Wake();
}

void SinkWaitCancel::SetWake(std::function<void()> wake)
{
    std::lock_guard<std::mutex> lock(m_Mutex);
    m_Wake = std::move(wake);
}

// ---- Capture tap ------------------------------------------------------------

CaptureTap::CaptureTap(bool keepBytes)
    : m_bKeepBytes(keepBytes)
{
}

void CaptureTap::Append(const char* data, qint64 size)
{
    std::lock_guard<std::mutex> lock(m_Mutex);
    if (m_bKeepBytes)
        m_Bytes.append(data, int(size));
    m_nTotal += size;
}

QByteArray CaptureTap::Bytes() const
{
    std::lock_guard<std::mutex> lock(m_Mutex);
    return m_Bytes;
}

qint64 CaptureTap::Total() const
{
    std::lock_guard<std::mutex> lock(m_Mutex);
    return m_nTotal;
}

void CaptureTap::Clear()
{
    std::lock_guard<std::mutex> lock(m_Mutex);
    m_Bytes.clear();
    m_nTotal = 0;
}

// ---- Null and capture sinks ---------------------------------------------------

namespace {
// A device period: what one pull asks for at most.
constexpr int kPullBytes = 16384;
// The null sink's tick; an output device pulls about as often.
constexpr int kRealTimeTickMs = 10;
}

PullingSink::PullingSink(const QAudioFormat& format, bool realTime, std::shared_ptr<CaptureTap> tap,
                         QObject* parent)
    : AudioSink(parent)
    , m_bRealTime(realTime)
    , m_nBytesPerSecond(qint64(std::max(1, format.bytesForDuration(1000000))))
    , m_nFrameBytes(std::max(1, format.bytesPerFrame()))
    , m_pTap(std::move(tap))
    , m_Timer(this)
    , m_Chunk(kPullBytes, '\0')
{
    m_Timer.setTimerType(Qt::PreciseTimer);
    connect(&m_Timer, &QTimer::timeout, this, &PullingSink::Pull);
}

void PullingSink::Restart()
{
    m_Clock.restart();
    m_nPulledSinceClock = 0;
}

bool PullingSink::start(QIODevice* source)
{
    m_pSource = source;
    Restart();
    setState(QAudio::ActiveState);
    m_Timer.start(m_bRealTime ? kRealTimeTickMs : 0);
    return true;
}

void PullingSink::stop()
{
    m_Timer.stop();
    m_pSource = nullptr;
    setState(QAudio::StoppedState);
}

void PullingSink::suspend()
{
    if (state() != QAudio::ActiveState && state() != QAudio::IdleState)
        return;
    m_Timer.stop();
    setState(QAudio::SuspendedState);
}

void PullingSink::resume()
{
    if (state() != QAudio::SuspendedState || !m_pSource)
        return;
    Restart();
    setState(QAudio::ActiveState);
    m_Timer.start(m_bRealTime ? kRealTimeTickMs : 0);
}

void PullingSink::Pull()
{
    if (!m_pSource)
        return;
    qint64 want = kPullBytes;
    if (m_bRealTime) {
        // What the clock says a device would have played by now.
        const qint64 due = qint64(double(m_Clock.nsecsElapsed()) * double(m_nBytesPerSecond) / 1e9);
        want = std::min<qint64>(due - m_nPulledSinceClock, m_nBytesPerSecond);
    }
    want = want / m_nFrameBytes * m_nFrameBytes;
    while (want > 0) {
        const qint64 ask = std::min<qint64>(want, kPullBytes);
        const qint64 got = m_pSource->read(m_Chunk.data(), ask);
        if (got > 0) {
            if (m_pTap)
                m_pTap->Append(m_Chunk.constData(), got);
            m_nPulledSinceClock += got;
            want -= got;
            setState(QAudio::ActiveState);
        }
        if (got < ask) {
            // An under-run: a device would not catch up on what it missed.
            if (got <= 0)
                setState(QAudio::IdleState);
            if (m_bRealTime)
                Restart();
            break;
        }
        if (!m_bRealTime)
            break;
    }
    // A capture sink that found nothing waits a little instead of spinning.
    if (!m_bRealTime && m_pSource)
        m_Timer.setInterval(state() == QAudio::IdleState ? kRealTimeTickMs : 0);
}

// ---- Choice of the sink ----------------------------------------------------------

namespace {

// A server on this machine answers at once; one that is slow to answer is
// no reason to choose another output.
constexpr int kProbeWaitMs = 1500;
// A server that did not answer is asked again only after this: a user
// going from take to take with no server waits for no probe each time.
constexpr qint64 kProbeForgetMs = 10000;

AudioSinkFactory& InstalledFactory()
{
    static AudioSinkFactory factory;
    return factory;
}

QByteArray ChosenKind()
{
    return qgetenv("NALVO_AUDIO_SINK").trimmed().toLower();
}

// Once a server answered, the process stays with it: one that went away is
// waited for when playback starts, never replaced by the toolkit's output,
// which would reach the same server through its own connection. Any thread.
bool SoundServerAnswers(SinkWaitCancel* cancel)
{
    static std::atomic<bool> answered{false};
    // When the last probe found none, on a clock that runs from the first.
    static std::atomic<qint64> refusedAt{-1};
    static const QElapsedTimer clock = [] {
        QElapsedTimer started;
        started.start();
        return started;
    }();
    if (answered.load())
        return true;
    const qint64 refused = refusedAt.load();
    if (refused >= 0 && clock.elapsed() - refused < kProbeForgetMs)
        return false;
    if (!PulseSink::ServerAnswers(kProbeWaitMs, cancel)) {
        // A probe cut short by a stop found nothing out.
        if (!(cancel && cancel->Asked()))
            refusedAt = clock.elapsed();
        return false;
    }
    answered = true;
    return true;
}

std::unique_ptr<AudioSink> CreateQtSink(const QAudioFormat& format)
{
    const QAudioDeviceInfo device = QAudioDeviceInfo::defaultOutputDevice();
    if (device.isNull()) {
        static std::atomic<bool> told{false};
        if (!told.exchange(true))
            MyQDebug("No audio output device: playing through the null sink");
        return CreateNullSink(format);
    }
    return std::make_unique<QtAudioSink>(device, format);
}

} // namespace

std::unique_ptr<AudioSink> CreateNullSink(const QAudioFormat& format)
{
    return std::make_unique<PullingSink>(format, true, nullptr);
}

void PrepareAudioOutput()
{
    static bool prepared = false;
    if (prepared || InstalledFactory() || ChosenKind() != "qt")
        return;
    prepared = true;
    QAudioDeviceInfo::defaultOutputDevice();
}

void SetAudioSinkFactory(AudioSinkFactory factory)
{
    InstalledFactory() = std::move(factory);
}

namespace {
std::unique_ptr<AudioSink> MakeAudioSink(const QAudioFormat& format, SinkWaitCancel* cancel)
{
    if (InstalledFactory())
        return InstalledFactory()(format);
    const QByteArray kind = ChosenKind();
    if (kind == "null")
        return CreateNullSink(format);
    if (kind == "capture")
        return std::make_unique<PullingSink>(format, false, nullptr);
    if (kind == "pulse")
        return std::make_unique<PulseSink>(format);
    if (kind == "qt")
        return CreateQtSink(format);
    if (!kind.isEmpty()) {
        static std::atomic<bool> told{false};
        if (!told.exchange(true))
            MyQDebug("NALVO_AUDIO_SINK=%s is not pulse, qt, null or capture: choosing by the machine",
                     kind.constData());
    }
    if (SoundServerAnswers(cancel))
        return std::make_unique<PulseSink>(format);
    return CreateQtSink(format);
}
} // namespace

std::unique_ptr<AudioSink> CreateAudioSink(const QAudioFormat& format, SinkWaitCancel* cancel)
{
    std::unique_ptr<AudioSink> sink = MakeAudioSink(format, cancel);
    sink->SetWaitCancel(cancel);
    return sink;
}

QAudioFormat PlayerSourceFormat(int sampleRate)
{
    QAudioFormat format;
    format.setSampleRate(sampleRate);
    format.setChannelCount(2);
    format.setSampleSize(16);
    format.setCodec(QStringLiteral("audio/pcm"));
    format.setByteOrder(QAudioFormat::LittleEndian);
    format.setSampleType(QAudioFormat::SignedInt);
    return format;
}
