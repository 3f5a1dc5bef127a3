#include "player/pulsesink.h"

#include <QIODevice>
#include <QThread>

#include <pulse/pulseaudio.h>

#include <algorithm>

namespace {

// How long a start waits for the server: one that was just restarted may
// take a few seconds to take connections on a busy machine.
constexpr int kServerWaitMs = 4000;
constexpr int kStreamWaitMs = 3000;
// Between two connections the server refused.
constexpr int kRetryMs = 100;
// A cork or a timing query answers within a round trip; a server that does
// not answer within this is gone, and its failure follows.
constexpr int kOperationWaitMs = 1000;
// What the stream and the server's device hold together: deep enough for a
// busy machine to keep up, and the cursor follows the server's timing
// whatever the depth.
constexpr int kBufferMs = 250;
// A pull asks for at most this much at once.
constexpr int kChunkBytes = 16384;
// Pulls again after the source ran dry.
constexpr int kRetryPullMs = 10;
// What the device still holds after a drain plays within this, whatever
// the server's figure says.
constexpr qint64 kLongestTailUs = 2000000;

const QString kNoServerText = QStringLiteral("The sound output could not be opened (is the sound server running?).");

// Polls `done` (called with the loop locked) until it holds or waitMs passed
// since `clock` started. The library's own wait has no time limit.
template <typename Done>
bool PollLocked(pa_threaded_mainloop* loop, const QElapsedTimer& clock, int waitMs, Done done)
{
    for (;;) {
        pa_threaded_mainloop_lock(loop);
        const bool ok = done();
        pa_threaded_mainloop_unlock(loop);
        if (ok)
            return true;
        if (clock.elapsed() >= waitMs)
            return false;
        QThread::usleep(2000);
    }
}

} // namespace

PulseSink::PulseSink(const QAudioFormat& format, QObject* parent)
    : AudioSink(parent)
    , m_Format(format)
    , m_nBytesPerSecond(qint64(std::max(1, format.bytesForDuration(1000000))))
    , m_Chunk(kChunkBytes, '\0')
    , m_Retry(this)
{
    m_Retry.setSingleShot(true);
    m_Retry.setInterval(kRetryPullMs);
    connect(&m_Retry, &QTimer::timeout, this, &PulseSink::Feed);
    // Made before the loop's thread exists; they carry nothing across.
    connect(this, &PulseSink::signal_FeedDue, this, &PulseSink::Feed, Qt::QueuedConnection);
    connect(this, &PulseSink::signal_ServerLost, this, &PulseSink::OnServerLost, Qt::QueuedConnection);
}

PulseSink::~PulseSink()
{
    // The loop's thread ends here, before the object its calls are queued to.
    Close();
}

bool PulseSink::ServerAnswers(int waitMs)
{
    PulseSink probe(PlayerSourceFormat(48000));
    const bool answered = probe.Open(waitMs);
    probe.Close();
    return answered;
}

void PulseSink::ContextState(pa_context* context, void* self)
{
    const pa_context_state_t state = pa_context_get_state(context);
    if (state == PA_CONTEXT_FAILED || state == PA_CONTEXT_TERMINATED)
        static_cast<PulseSink*>(self)->PostLost();
}

void PulseSink::StreamState(pa_stream* stream, void* self)
{
    const pa_stream_state_t state = pa_stream_get_state(stream);
    if (state == PA_STREAM_FAILED || state == PA_STREAM_TERMINATED)
        static_cast<PulseSink*>(self)->PostLost();
}

void PulseSink::WriteRequest(pa_stream*, size_t, void* self)
{
    static_cast<PulseSink*>(self)->PostFeed();
}

void PulseSink::Drain(pa_stream*, int, void* self)
{
    static_cast<PulseSink*>(self)->m_bDrained = true;
}

void PulseSink::PostFeed()
{
    if (!m_bFeedPosted.exchange(true))
        emit signal_FeedDue();
}

void PulseSink::PostLost()
{
    if (!m_bWatching.exchange(false))
        return;
    m_nLostGeneration = m_nGeneration.load();
    emit signal_ServerLost();
}

bool PulseSink::Open(int waitMs)
{
    QElapsedTimer clock;
    clock.start();
    m_pLoop = pa_threaded_mainloop_new();
    if (!m_pLoop || pa_threaded_mainloop_start(m_pLoop) < 0) {
        Close();
        return false;
    }
    for (;;) {
        pa_threaded_mainloop_lock(m_pLoop);
        m_pContext = pa_context_new(pa_threaded_mainloop_get_api(m_pLoop), "Nalvo");
        bool asked = m_pContext != nullptr;
        if (asked) {
            pa_context_set_state_callback(m_pContext, &PulseSink::ContextState, this);
            asked = pa_context_connect(m_pContext, nullptr, PA_CONTEXT_NOAUTOSPAWN, nullptr) >= 0;
        }
        pa_threaded_mainloop_unlock(m_pLoop);
        bool ready = false;
        if (asked) {
            PollLocked(m_pLoop, clock, waitMs, [this, &ready] {
                const pa_context_state_t state = pa_context_get_state(m_pContext);
                ready = state == PA_CONTEXT_READY;
                return ready || !PA_CONTEXT_IS_GOOD(state);
            });
        }
        if (ready)
            return true;
        pa_threaded_mainloop_lock(m_pLoop);
        if (m_pContext) {
            pa_context_set_state_callback(m_pContext, nullptr, nullptr);
            pa_context_disconnect(m_pContext);
            pa_context_unref(m_pContext);
            m_pContext = nullptr;
        }
        pa_threaded_mainloop_unlock(m_pLoop);
        if (clock.elapsed() + kRetryMs >= waitMs) {
            Close();
            return false;
        }
        QThread::msleep(kRetryMs);
    }
}

bool PulseSink::OpenStream(int waitMs)
{
    QElapsedTimer clock;
    clock.start();
    // Always the take's own format: the server converts for its device when
    // it must, and the samples are never played at a guessed rate.
    pa_sample_spec spec;
    spec.format = PA_SAMPLE_S16LE;
    spec.rate = uint32_t(m_Format.sampleRate());
    spec.channels = uint8_t(m_Format.channelCount());
    pa_buffer_attr attr;
    attr.maxlength = uint32_t(-1);
    attr.tlength = uint32_t(m_nBytesPerSecond * kBufferMs / 1000 / 4 * 4);
    attr.prebuf = uint32_t(-1);
    attr.minreq = uint32_t(-1);
    attr.fragsize = uint32_t(-1);
    const pa_stream_flags_t flags = pa_stream_flags_t(PA_STREAM_INTERPOLATE_TIMING | PA_STREAM_AUTO_TIMING_UPDATE
                                                      | PA_STREAM_ADJUST_LATENCY);
    pa_threaded_mainloop_lock(m_pLoop);
    m_pStream = pa_stream_new(m_pContext, "Playback", &spec, nullptr);
    bool asked = m_pStream != nullptr;
    if (asked) {
        pa_stream_set_state_callback(m_pStream, &PulseSink::StreamState, this);
        pa_stream_set_write_callback(m_pStream, &PulseSink::WriteRequest, this);
        asked = pa_stream_connect_playback(m_pStream, nullptr, &attr, flags, nullptr, nullptr) >= 0;
    }
    pa_threaded_mainloop_unlock(m_pLoop);
    bool ready = false;
    if (asked) {
        PollLocked(m_pLoop, clock, waitMs, [this, &ready] {
            const pa_stream_state_t state = pa_stream_get_state(m_pStream);
            ready = state == PA_STREAM_READY;
            return ready || !PA_STREAM_IS_GOOD(state);
        });
    }
    if (!ready)
        return false;
    // From now on a connection that drops is a failure; one that dropped
    // since it was found ready is one already.
    pa_threaded_mainloop_lock(m_pLoop);
    m_bWatching = true;
    ready = pa_context_get_state(m_pContext) == PA_CONTEXT_READY && pa_stream_get_state(m_pStream) == PA_STREAM_READY;
    if (!ready)
        m_bWatching = false;
    pa_threaded_mainloop_unlock(m_pLoop);
    return ready;
}

void PulseSink::Close()
{
    m_Retry.stop();
    if (!m_pLoop)
        return;
    pa_threaded_mainloop_lock(m_pLoop);
    m_bWatching = false;
    ++m_nGeneration;
    if (m_pStream) {
        pa_stream_set_state_callback(m_pStream, nullptr, nullptr);
        pa_stream_set_write_callback(m_pStream, nullptr, nullptr);
        pa_stream_disconnect(m_pStream);
        pa_stream_unref(m_pStream);
        m_pStream = nullptr;
    }
    if (m_pContext) {
        pa_context_set_state_callback(m_pContext, nullptr, nullptr);
        pa_context_disconnect(m_pContext);
        pa_context_unref(m_pContext);
        m_pContext = nullptr;
    }
    pa_threaded_mainloop_unlock(m_pLoop);
    pa_threaded_mainloop_stop(m_pLoop);
    pa_threaded_mainloop_free(m_pLoop);
    m_pLoop = nullptr;
}

bool PulseSink::Await(pa_operation* operation, int waitMs)
{
    if (!operation)
        return false;
    QElapsedTimer clock;
    clock.start();
    const bool done = PollLocked(m_pLoop, clock, waitMs,
                                 [operation] { return pa_operation_get_state(operation) != PA_OPERATION_RUNNING; });
    pa_threaded_mainloop_lock(m_pLoop);
    pa_operation_unref(operation);
    pa_threaded_mainloop_unlock(m_pLoop);
    return done;
}

bool PulseSink::start(QIODevice* source)
{
    Close();
    m_pSource = nullptr;
    m_nWrittenBytes = 0;
    m_nHeardAtLastLook = -1;
    m_nFrozenHeld = -1;
    m_bDrainAsked = false;
    m_bDrained = false;
    m_SinceDrained.invalidate();
    if (!Open(kServerWaitMs) || !OpenStream(kStreamWaitMs)) {
        Close();
        setErrorText(kNoServerText);
        setState(QAudio::StoppedState);
        return false;
    }
    m_pSource = source;
    setState(QAudio::ActiveState);
    Feed();
    return true;
}

void PulseSink::stop()
{
    Close();
    m_pSource = nullptr;
    setState(QAudio::StoppedState);
}

void PulseSink::OnServerLost()
{
    if (m_nLostGeneration.load() != m_nGeneration.load() || !m_pLoop)
        return;   // a connection closed since
    setErrorText(ServerLostText());
    stop();
    emit failed();
}

void PulseSink::Feed()
{
    m_bFeedPosted = false;
    if (!m_pStream || !m_pSource || m_bDrainAsked
        || (state() != QAudio::ActiveState && state() != QAudio::IdleState))
        return;
    pa_threaded_mainloop_lock(m_pLoop);
    size_t writable = pa_stream_writable_size(m_pStream);
    pa_threaded_mainloop_unlock(m_pLoop);
    if (writable == size_t(-1))
        return;   // the stream broke: its failure is on its way
    qint64 room = qint64(writable) / 4 * 4;
    qint64 given = 0;
    bool dry = false;
    m_bFeeding = true;
    while (room > 0) {
        const qint64 ask = std::min<qint64>(room, m_Chunk.size());
        // Read unlocked: the source may wait for its files.
        const qint64 got = m_pSource->read(m_Chunk.data(), ask);
        if (got > 0) {
            pa_threaded_mainloop_lock(m_pLoop);
            pa_stream_write(m_pStream, m_Chunk.constData(), size_t(got), nullptr, 0, PA_SEEK_RELATIVE);
            pa_threaded_mainloop_unlock(m_pLoop);
            m_nWrittenBytes += got;
            room -= got;
            given += got;
        }
        if (got < ask) {
            dry = true;
            break;
        }
    }
    m_bFeeding = false;
    if (given > 0)
        setState(QAudio::ActiveState);
    if (dry) {
        if (given <= 0)
            setState(QAudio::IdleState);
        // The server asks only for what it has room for: a source that ran
        // dry is asked again by the clock.
        if (m_pStream && !m_bDrainAsked)
            m_Retry.start();
    }
}

void PulseSink::suspend()
{
    if (!m_pStream || (state() != QAudio::ActiveState && state() != QAudio::IdleState))
        return;
    m_Retry.stop();
    pa_threaded_mainloop_lock(m_pLoop);
    pa_operation* cork = pa_stream_cork(m_pStream, 1, nullptr, nullptr);
    pa_threaded_mainloop_unlock(m_pLoop);
    Await(cork, kOperationWaitMs);
    // The server's figures as of the pause, not the estimate running on.
    pa_threaded_mainloop_lock(m_pLoop);
    pa_operation* timing = pa_stream_update_timing_info(m_pStream, nullptr, nullptr);
    pa_threaded_mainloop_unlock(m_pLoop);
    Await(timing, kOperationWaitMs);
    m_nFrozenHeld = -1;
    m_nFrozenHeld = HeldMicroseconds();
    setState(QAudio::SuspendedState);
}

void PulseSink::resume()
{
    if (!m_pStream || state() != QAudio::SuspendedState)
        return;
    pa_threaded_mainloop_lock(m_pLoop);
    pa_operation* cork = pa_stream_cork(m_pStream, 0, nullptr, nullptr);
    if (cork)
        pa_operation_unref(cork);
    pa_threaded_mainloop_unlock(m_pLoop);
    m_nFrozenHeld = -1;
    setState(QAudio::ActiveState);
    Feed();
}

qint64 PulseSink::WrittenMicroseconds() const
{
    return m_nWrittenBytes * 1000000 / m_nBytesPerSecond;
}

qint64 PulseSink::HeldMicroseconds()
{
    if (m_nFrozenHeld >= 0)
        return m_nFrozenHeld;
    if (!m_pStream)
        return 0;
    pa_usec_t latency = 0;
    int negative = 0;
    pa_threaded_mainloop_lock(m_pLoop);
    const int result = pa_stream_get_latency(m_pStream, &latency, &negative);
    pa_threaded_mainloop_unlock(m_pLoop);
    const qint64 written = WrittenMicroseconds();
    if (result < 0) {
        // No figure yet: nothing was heard. No figure any more (the server
        // is going away): the sound stopped where it was last seen.
        return m_nHeardAtLastLook < 0 ? written : std::max<qint64>(0, written - m_nHeardAtLastLook);
    }
    const qint64 held = negative ? 0 : std::min<qint64>(qint64(latency), written);
    m_nHeardAtLastLook = written - held;
    return held;
}

bool PulseSink::Drained()
{
    if (!m_pStream)
        return true;
    // The source hands over its last bytes from within a pull, before they
    // are written: the drain is asked for once they are.
    if (m_bFeeding)
        return false;
    if (!m_bDrainAsked) {
        m_bDrainAsked = true;
        m_Retry.stop();
        pa_threaded_mainloop_lock(m_pLoop);
        pa_operation* drain = pa_stream_drain(m_pStream, &PulseSink::Drain, this);
        if (drain)
            pa_operation_unref(drain);
        else
            m_bDrained = true;
        pa_threaded_mainloop_unlock(m_pLoop);
        return false;
    }
    if (!m_bDrained)
        return false;
    // The stream is empty; its device plays out what it still holds.
    if (!m_SinceDrained.isValid()) {
        m_SinceDrained.start();
        m_nTailMicroseconds = std::min(HeldMicroseconds(), kLongestTailUs);
    }
    return m_SinceDrained.nsecsElapsed() / 1000 >= m_nTailMicroseconds;
}
