#include "player/pulsesink.h"

#include "foundation/messageloging.h"
#include "soundfile/filestatus.h"

#include <QIODevice>

#include <pulse/pulseaudio.h>

#include <algorithm>
#include <functional>

// Every rate Import takes is one the server plays.
static_assert(tySourceSound::kMostSampleRate <= PA_RATE_MAX, "a rate imported would not play");

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
// What the server waits for before it plays, at the start and after an
// under-run: short, so a stream that ran dry is heard again at once rather
// than after a whole buffer. Not zero: without it the server's read runs on
// past what was written, and what is written late is dropped unheard.
constexpr int kPrebufferMs = 20;
// A pull asks for at most this much at once.
constexpr int kChunkBytes = 16384;
// Pulls again after the source ran dry.
constexpr int kRetryPullMs = 10;
// What the device still holds after a drain plays within this, whatever
// the server's figure says.
constexpr qint64 kLongestTailUs = 2000000;

const QString kNoServerText = QStringLiteral("The sound output could not be opened (is the sound server running?).");

// The server's sample format for the player's: only 16-bit integers are
// made; anything else is refused rather than played as noise.
bool SampleSpecOf(const QAudioFormat& format, pa_sample_spec* spec)
{
    if (format.sampleSize() != 16 || format.sampleType() != QAudioFormat::SignedInt || format.channelCount() < 1
        || format.channelCount() > int(PA_CHANNELS_MAX) || format.sampleRate() <= 0)
        return false;
    spec->format = format.byteOrder() == QAudioFormat::LittleEndian ? PA_SAMPLE_S16LE : PA_SAMPLE_S16BE;
    spec->rate = uint32_t(format.sampleRate());
    spec->channels = uint8_t(format.channelCount());
    return pa_sample_spec_valid(spec) != 0;
}

// A wait's time limit, set by a timer of the loop (under the loop's lock).
struct tyWaitTimer {
    pa_threaded_mainloop* pLoop;
    bool bExpired;
};

void WaitExpired(pa_mainloop_api*, pa_time_event*, const struct timeval*, void* data)
{
    tyWaitTimer* timer = static_cast<tyWaitTimer*>(data);
    timer->bExpired = true;
    pa_threaded_mainloop_signal(timer->pLoop, 0);
}

} // namespace

PulseSink::PulseSink(const QAudioFormat& format, QObject* parent)
    : AudioSink(parent)
    , m_Format(format)
    , m_nBytesPerSecond(qint64(std::max(1, format.bytesForDuration(1000000))))
    , m_nFrameBytes(std::max(1, format.bytesPerFrame()))
    , m_Chunk(kChunkBytes, '\0')
    , m_Retry(this)
    , m_PauseWatch(this)
{
    m_Retry.setSingleShot(true);
    m_Retry.setInterval(kRetryPullMs);
    connect(&m_Retry, &QTimer::timeout, this, &PulseSink::Feed);
    m_PauseWatch.setSingleShot(true);
    m_PauseWatch.setInterval(kOperationWaitMs);
    connect(&m_PauseWatch, &QTimer::timeout, this, &PulseSink::OnPauseUnanswered);
    // Made before the loop's thread exists; they carry nothing across.
    connect(this, &PulseSink::signal_FeedDue, this, &PulseSink::Feed, Qt::QueuedConnection);
    connect(this, &PulseSink::signal_ServerLost, this, &PulseSink::OnServerLost, Qt::QueuedConnection);
}

PulseSink::~PulseSink()
{
    // The loop's thread ends here, before the object its calls are queued to.
    Close();
}

bool PulseSink::ServerAnswers(int waitMs, SinkWaitCancel* cancel)
{
    PulseSink probe(PlayerSourceFormat(48000));
    probe.SetWaitCancel(cancel);
    // One attempt: a missing server refuses at once. Asking again is for a
    // server that has just started, which a start waits for.
    const bool answered = probe.Open(waitMs, false);
    probe.Close();
    return answered;
}

bool PulseSink::Cancelled() const
{
    return WaitCancel() && WaitCancel()->Asked();
}

void PulseSink::Wake()
{
    // The waits recheck what they wait for on any wake-up.
    pa_threaded_mainloop_signal(m_pLoop, 0);
}

void PulseSink::ContextState(pa_context* context, void* self)
{
    PulseSink* sink = static_cast<PulseSink*>(self);
    sink->Wake();
    const pa_context_state_t state = pa_context_get_state(context);
    if (state == PA_CONTEXT_FAILED || state == PA_CONTEXT_TERMINATED)
        sink->PostLost();
}

void PulseSink::StreamState(pa_stream* stream, void* self)
{
    PulseSink* sink = static_cast<PulseSink*>(self);
    sink->Wake();
    const pa_stream_state_t state = pa_stream_get_state(stream);
    if (state == PA_STREAM_FAILED || state == PA_STREAM_TERMINATED)
        sink->PostLost();
}

void PulseSink::WriteRequest(pa_stream*, size_t, void* self)
{
    static_cast<PulseSink*>(self)->PostFeed();
}

void PulseSink::Underflow(pa_stream* stream, void* self)
{
    PulseSink* sink = static_cast<PulseSink*>(self);
    sink->m_bUnderflowSeen = true;
    // The server plays silence until the stream is refilled: the time from
    // now on is not heard, whatever the last figure said.
    sink->m_bUnderrun = true;
    sink->AskTiming(stream);
}

void PulseSink::Started(pa_stream* stream, void* self)
{
    PulseSink* sink = static_cast<PulseSink*>(self);
    sink->m_bUnderrun = false;
    // The figures of the refill still hold the sound: fresh ones move it.
    sink->AskTiming(stream);
}

void PulseSink::AskTiming(pa_stream* stream)
{
    pa_operation* update = pa_stream_update_timing_info(stream, &PulseSink::FreshTiming, this);
    if (!update)
        return;
    ++m_nTimingAsked;
    pa_operation_unref(update);
}

void PulseSink::FreshTiming(pa_stream*, int, void* self)
{
    // Answered in order: the last one asked for is in once all are.
    ++static_cast<PulseSink*>(self)->m_nTimingAnswered;
}

void PulseSink::Corked(pa_stream* stream, int success, void* self)
{
    PulseSink* sink = static_cast<PulseSink*>(self);
    sink->Wake();
    if (!success || sink->m_nPauseStep != kPauseCorking)
        return;   // refused: the pause's watch reports the failure
    // The figures once the sound stopped, asked after the cork: the answers
    // come in order.
    pa_operation* update = pa_stream_update_timing_info(stream, &PulseSink::PauseTimed, self);
    if (!update)
        return;
    sink->m_nPauseStep = kPauseTiming;
    pa_operation_unref(update);
}

void PulseSink::PauseTimed(pa_stream*, int success, void* self)
{
    PulseSink* sink = static_cast<PulseSink*>(self);
    sink->Wake();
    if (success && sink->m_nPauseStep == kPauseTiming)
        sink->m_nPauseStep = kPauseSettled;
}

void PulseSink::Drain(pa_stream*, int success, void* self)
{
    PulseSink* sink = static_cast<PulseSink*>(self);
    sink->m_bDrainRefused = success == 0;
    sink->m_bDrained = true;
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

pa_time_event* PulseSink::NewTimerLocked(int waitMs, void* timer)
{
    const pa_usec_t wait = pa_usec_t(std::max(0, waitMs)) * PA_USEC_PER_MSEC;
    // The context's timer runs on the monotonic clock; with no context the
    // loop's own timer takes the wall clock.
    if (m_pContext)
        return pa_context_rttime_new(m_pContext, pa_rtclock_now() + wait, &WaitExpired, timer);
    pa_mainloop_api* api = pa_threaded_mainloop_get_api(m_pLoop);
    struct timeval when;
    pa_gettimeofday(&when);
    pa_timeval_add(&when, wait);
    return api->time_new(api, &when, &WaitExpired, timer);
}

bool PulseSink::Wait(int waitMs, const std::function<bool()>& done)
{
    pa_threaded_mainloop* loop = m_pLoop;
    SinkWaitCancel* cancel = WaitCancel();
    // Given before the loop is locked: the wake-up locks it under the
    // cancel's own lock.
    if (cancel) {
        cancel->SetWake([loop] {
            pa_threaded_mainloop_lock(loop);
            pa_threaded_mainloop_signal(loop, 0);
            pa_threaded_mainloop_unlock(loop);
        });
    }
    pa_threaded_mainloop_lock(loop);
    tyWaitTimer timer{loop, false};
    pa_time_event* event = NewTimerLocked(waitMs, &timer);
    bool ok = false;
    for (;;) {
        ok = done();
        if (ok || timer.bExpired || !event || (cancel && cancel->Asked()))
            break;
        pa_threaded_mainloop_wait(loop);
    }
    if (event) {
        pa_mainloop_api* api = pa_threaded_mainloop_get_api(loop);
        api->time_free(event);
    }
    pa_threaded_mainloop_unlock(loop);
    if (cancel)
        cancel->SetWake({});
    return ok;
}

bool PulseSink::Open(int waitMs, bool retry)
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
            Wait(int(waitMs - clock.elapsed()), [this, &ready] {
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
        if (!retry || Cancelled() || clock.elapsed() + kRetryMs >= waitMs) {
            Close();
            return false;
        }
        Wait(kRetryMs, [] { return false; });
    }
}

bool PulseSink::OpenStream(int waitMs)
{
    // Always the take's own format: the server converts for its device when
    // it must, and the samples are never played at a guessed rate.
    pa_sample_spec spec;
    if (!SampleSpecOf(m_Format, &spec))
        return false;
    const qint64 framesPerSecond = m_nBytesPerSecond / m_nFrameBytes;
    pa_buffer_attr attr;
    attr.maxlength = uint32_t(-1);
    attr.tlength = uint32_t(framesPerSecond * kBufferMs / 1000 * m_nFrameBytes);
    attr.prebuf = uint32_t(framesPerSecond * kPrebufferMs / 1000 * m_nFrameBytes);
    attr.minreq = uint32_t(-1);
    attr.fragsize = uint32_t(-1);
    // The held figure is worked out from the server's own figures (see
    // HeldLocked), not the library's estimate running on from them.
    const pa_stream_flags_t flags = pa_stream_flags_t(PA_STREAM_AUTO_TIMING_UPDATE | PA_STREAM_ADJUST_LATENCY);
    pa_threaded_mainloop_lock(m_pLoop);
    m_pStream = pa_stream_new(m_pContext, "Playback", &spec, nullptr);
    bool asked = m_pStream != nullptr;
    if (asked) {
        pa_stream_set_state_callback(m_pStream, &PulseSink::StreamState, this);
        pa_stream_set_write_callback(m_pStream, &PulseSink::WriteRequest, this);
        pa_stream_set_underflow_callback(m_pStream, &PulseSink::Underflow, this);
        pa_stream_set_started_callback(m_pStream, &PulseSink::Started, this);
        asked = pa_stream_connect_playback(m_pStream, nullptr, &attr, flags, nullptr, nullptr) >= 0;
    }
    pa_threaded_mainloop_unlock(m_pLoop);
    bool ready = false;
    if (asked) {
        Wait(waitMs, [this, &ready] {
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
    m_PauseWatch.stop();
    if (!m_pLoop)
        return;
    pa_threaded_mainloop_lock(m_pLoop);
    m_bWatching = false;
    ++m_nGeneration;
    if (m_pStream) {
        pa_stream_set_state_callback(m_pStream, nullptr, nullptr);
        pa_stream_set_write_callback(m_pStream, nullptr, nullptr);
        pa_stream_set_underflow_callback(m_pStream, nullptr, nullptr);
        pa_stream_set_started_callback(m_pStream, nullptr, nullptr);
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

bool PulseSink::start(QIODevice* source)
{
    Close();
    m_pSource = nullptr;
    m_nWrittenBytes = 0;
    m_nHeardAtLastLook = -1;
    m_nFrozenHeld = -1;
    m_bFrozenFinal = false;
    m_nPauseStep = kPausePlaying;
    m_bUnderrun = false;
    m_nTimingAsked = 0;
    m_nTimingAnswered = 0;
    m_bUnderflowSeen = false;
    m_bUnderrunTold = false;
    m_bDrainAsked = false;
    m_bDrained = false;
    m_bDrainRefused = false;
    m_SinceDrained.invalidate();
    setErrorText(QString());
    pa_sample_spec spec;
    if (!SampleSpecOf(m_Format, &spec)) {
        setErrorText(QStringLiteral("The sound output cannot play %1-bit samples.").arg(m_Format.sampleSize()));
        setState(QAudio::StoppedState);
        return false;
    }
    if (!Open(kServerWaitMs, true) || !OpenStream(kStreamWaitMs)) {
        Close();
        // Cut short by a stop on its way: no failure to tell.
        setErrorText(Cancelled() ? QString() : kNoServerText);
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

void PulseSink::OnPauseUnanswered()
{
    if (!m_pLoop || state() != QAudio::SuspendedState)
        return;
    pa_threaded_mainloop_lock(m_pLoop);
    const bool settled = m_nPauseStep == kPauseSettled;
    pa_threaded_mainloop_unlock(m_pLoop);
    if (settled)
        return;
    // A server that does not answer a cork within a round trip's allowance
    // is gone, whether or not its socket closed yet.
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
    TellUnderrun();
    pa_threaded_mainloop_lock(m_pLoop);
    size_t writable = pa_stream_writable_size(m_pStream);
    pa_threaded_mainloop_unlock(m_pLoop);
    if (writable == size_t(-1))
        return;   // the stream broke: its failure is on its way
    qint64 room = qint64(writable) / m_nFrameBytes * m_nFrameBytes;
    qint64 given = 0;
    bool dry = false;
    m_bFeeding = true;
    while (room > 0) {
        const qint64 ask = std::min<qint64>(room, m_Chunk.size() / m_nFrameBytes * m_nFrameBytes);
        // Read unlocked: the source may wait for its files.
        const qint64 got = m_pSource->read(m_Chunk.data(), ask);
        if (got > 0) {
            pa_threaded_mainloop_lock(m_pLoop);
            const int written
                = pa_stream_write(m_pStream, m_Chunk.constData(), size_t(got), nullptr, 0, PA_SEEK_RELATIVE);
            pa_threaded_mainloop_unlock(m_pLoop);
            if (written < 0) {
                // The stream broke: these bytes were never queued, and the
                // sink fails as when the server goes away.
                m_bFeeding = false;
                PostLost();
                return;
            }
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

void PulseSink::TellUnderrun()
{
    if (m_bUnderrunTold || !m_bUnderflowSeen.load())
        return;
    m_bUnderrunTold = true;
    MyQDebug("Sound server: the stream ran dry (under-run); it plays on after a short refill");
}

void PulseSink::suspend()
{
    if (!m_pStream || (state() != QAudio::ActiveState && state() != QAudio::IdleState))
        return;
    m_Retry.stop();
    // Until the server says where the sound stopped, the cursor stays where
    // it is now: the sound plays on a little until the cork arrives, so the
    // true figure only moves it on, never back past what was heard.
    m_nFrozenHeld = -1;
    const qint64 now = HeldMicroseconds();
    pa_threaded_mainloop_lock(m_pLoop);
    pa_operation* cork = pa_stream_cork(m_pStream, 1, &PulseSink::Corked, this);
    m_nPauseStep = kPauseCorking;
    if (cork)
        pa_operation_unref(cork);
    pa_threaded_mainloop_unlock(m_pLoop);
    m_nFrozenHeld = now;
    m_bFrozenFinal = false;
    m_PauseWatch.start();
    setState(QAudio::SuspendedState);
}

void PulseSink::resume()
{
    if (!m_pStream || state() != QAudio::SuspendedState)
        return;
    m_PauseWatch.stop();
    pa_threaded_mainloop_lock(m_pLoop);
    m_nPauseStep = kPausePlaying;
    pa_operation* cork = pa_stream_cork(m_pStream, 0, nullptr, nullptr);
    if (cork)
        pa_operation_unref(cork);
    // The last figure may be from before the pause: fresh ones, asked after
    // the uncork, move the cursor again.
    AskTiming(m_pStream);
    pa_threaded_mainloop_unlock(m_pLoop);
    m_nFrozenHeld = -1;
    setState(QAudio::ActiveState);
    Feed();
}

qint64 PulseSink::WrittenMicroseconds() const
{
    // Rounded up, as what is held is.
    return (m_nWrittenBytes * 1000000 + m_nBytesPerSecond - 1) / m_nBytesPerSecond;
}

qint64 PulseSink::HeldLocked(qint64 written)
{
    // The library's own estimate runs on from the last figure at the wall
    // clock's pace and never goes back: after an under-run it stays ahead of
    // the sound. Worked out here from the server's figures instead: what
    // the server took from the stream, less what its device still holds,
    // plus the time since the figure only while the stream plays, no
    // under-run is on and no fresher figure is on its way (the server still
    // reports a stream that waits for its refill as playing).
    const pa_timing_info* timing = pa_stream_get_timing_info(m_pStream);
    if (!timing || timing->read_index_corrupt)
        return -1;
    qint64 played = timing->read_index <= 0 ? 0 : qint64(pa_bytes_to_usec(uint64_t(timing->read_index), pa_stream_get_sample_spec(m_pStream)));
    // A corked stream's figure counts only what was heard: the server took
    // back what its device had not played yet.
    if (timing->playing) {
        played = std::max<qint64>(0, played - qint64(timing->sink_usec));
        const bool fresh = m_nTimingAnswered == m_nTimingAsked && !m_bUnderrun;
        if (fresh && m_nPauseStep == kPausePlaying)
            played += qint64(pa_timeval_age(&timing->timestamp));
    }
    // Up to a whole frame: a cursor rounded back to a frame is never ahead.
    const qint64 rate = qint64(m_Format.sampleRate());
    const qint64 frames = (std::min(written, std::max<qint64>(0, written - played)) * rate + 999999) / 1000000;
    return (frames * 1000000 + rate - 1) / rate;
}

qint64 PulseSink::HeldMicroseconds()
{
    TellUnderrun();
    if (m_nFrozenHeld >= 0 && (m_bFrozenFinal || !m_pStream))
        return m_nFrozenHeld;
    if (!m_pStream)
        return 0;
    const qint64 written = WrittenMicroseconds();
    pa_threaded_mainloop_lock(m_pLoop);
    const bool settled = m_nPauseStep == kPauseSettled;
    const qint64 held = m_nFrozenHeld >= 0 && !settled ? -2 : HeldLocked(written);
    pa_threaded_mainloop_unlock(m_pLoop);
    if (held == -2)
        return m_nFrozenHeld;   // paused, the server's figure still to come
    if (m_nFrozenHeld >= 0) {
        // The server's figure as of the pause, for as long as it lasts.
        m_PauseWatch.stop();
        m_bFrozenFinal = true;
        m_nFrozenHeld = held < 0 ? m_nFrozenHeld : held;
        return m_nFrozenHeld;
    }
    if (held < 0) {
        // No figure yet: nothing was heard. No figure any more (the server
        // is going away): the sound stopped where it was last seen.
        return m_nHeardAtLastLook < 0 ? written : std::max<qint64>(0, written - m_nHeardAtLastLook);
    }
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
            m_bDrainRefused = m_bDrained = true;
        pa_threaded_mainloop_unlock(m_pLoop);
        return false;
    }
    if (!m_bDrained)
        return false;
    // The stream is empty; its device plays out what it still holds.
    if (!m_SinceDrained.isValid()) {
        m_SinceDrained.start();
        const qint64 held = HeldMicroseconds();
        // A refused drain says nothing of what was played: the server's
        // timing still does, and with no figure from it at all the longest
        // tail lets whatever is held play out before the end is told.
        const bool known = !m_bDrainRefused || m_nHeardAtLastLook >= 0;
        if (m_bDrainRefused)
            MyQDebug("Sound server: the drain at the end was refused; the end follows its timing");
        m_nTailMicroseconds = known ? std::min(held, kLongestTailUs) : kLongestTailUs;
    }
    return m_SinceDrained.nsecsElapsed() / 1000 >= m_nTailMicroseconds;
}
