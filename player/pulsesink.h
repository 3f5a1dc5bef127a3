#ifndef NALVO_PLAYER_PULSESINK_H
#define NALVO_PLAYER_PULSESINK_H

#include "player/audiosink.h"

#include <QByteArray>
#include <QElapsedTimer>
#include <QTimer>

#include <atomic>
#include <functional>

struct pa_context;
struct pa_operation;
struct pa_stream;
struct pa_threaded_mainloop;
struct pa_time_event;

// The sound server's own client library (PulseAudio's protocol, which
// PipeWire desktops serve as well). Each sink has its own main loop and
// connection, made when it starts and closed when it stops, so nothing else
// in the process can close them under the player thread, and a Play after
// the server came back connects afresh.
//
// The server asks for bytes from its loop's thread; the request is passed
// to the sink's own thread, which pulls them from the source (a source is
// read on one thread only). Pause corks the stream, the end of the data
// drains it, and the server's timing of the stream says what is still to
// be heard. A server that goes away while the sink plays or pauses stops
// the sink, which then emits failed(). Every wait for the server is ended at
// once by the sink's wait cancel.
class PulseSink : public AudioSink
{
    Q_OBJECT
public:
    explicit PulseSink(const QAudioFormat& format, QObject* parent = nullptr);
    ~PulseSink() override;

    bool start(QIODevice* source) override;
    void stop() override;
    void suspend() override;
    void resume() override;
    qint64 HeldMicroseconds() override;
    bool Drained() override;

    // Whether a server takes a connection within waitMs; one attempt, ended
    // early by cancel (may be null).
    static bool ServerAnswers(int waitMs, SinkWaitCancel* cancel = nullptr);

signals:
    // Emitted on the loop's thread, received queued on the sink's.
    void signal_FeedDue();
    void signal_ServerLost();

private:
    enum : int { kPausePlaying, kPauseCorking, kPauseTiming, kPauseSettled };

    // Connects to the server, waiting for it up to waitMs and, with retry,
    // asking again while it refuses (a server that has just started refuses
    // for a while under load). False, with nothing open, when it did not
    // answer or the wait was cancelled.
    bool Open(int waitMs, bool retry);
    // Closes the stream, the connection and the loop; any thread's call
    // still on its way from the loop is then ignored.
    void Close();
    bool OpenStream(int waitMs);
    // The one wait for the server: with the loop locked, until done() holds,
    // waitMs passed or the wait cancel asks. Called with the loop unlocked;
    // the loop's callbacks signal it. True when done() held.
    bool Wait(int waitMs, const std::function<bool()>& done);
    // A timer of the loop that marks `timer` expired after waitMs; loop locked.
    pa_time_event* NewTimerLocked(int waitMs, void* timer);
    bool Cancelled() const;
    void Feed();
    void OnServerLost();
    void OnPauseUnanswered();
    // Says once per start in the debug log that the stream ran dry.
    void TellUnderrun();
    qint64 WrittenMicroseconds() const;
    // What the server still holds of `written` µs by its own figures; -1
    // with none. Loop locked.
    qint64 HeldLocked(qint64 written);
    // Have Feed (or OnServerLost) called on the sink's thread; loop thread.
    void PostFeed();
    void PostLost();
    // Loop thread, loop locked.
    void Wake();
    void AskTiming(pa_stream* stream);

    static void ContextState(pa_context* context, void* self);
    static void StreamState(pa_stream* stream, void* self);
    static void WriteRequest(pa_stream* stream, size_t bytes, void* self);
    static void Underflow(pa_stream* stream, void* self);
    static void Started(pa_stream* stream, void* self);
    static void FreshTiming(pa_stream* stream, int success, void* self);
    static void Corked(pa_stream* stream, int success, void* self);
    static void PauseTimed(pa_stream* stream, int success, void* self);
    static void Drain(pa_stream* stream, int success, void* self);

    const QAudioFormat m_Format;
    const qint64 m_nBytesPerSecond;
    const int m_nFrameBytes;
    // Sink's thread only; the loop's thread only between Open and Close,
    // under the loop's lock (the library's own objects).
    pa_threaded_mainloop* m_pLoop = nullptr;
    pa_context* m_pContext = nullptr;
    pa_stream* m_pStream = nullptr;
    // Sink's thread only.
    QIODevice* m_pSource = nullptr;
    QByteArray m_Chunk;
    QTimer m_Retry;                   // pulls again after the source ran dry
    qint64 m_nWrittenBytes = 0;
    QTimer m_PauseWatch;              // a cork unanswered this long is a lost server
    qint64 m_nFrozenHeld = -1;        // while corked: µs held when the sound paused
    bool m_bFrozenFinal = false;      // the server's figure of the pause is in
    bool m_bUnderrunTold = false;
    qint64 m_nHeardAtLastLook = -1;   // µs heard by the server's last figure; -1 before one
    bool m_bFeeding = false;
    bool m_bDrainAsked = false;
    QElapsedTimer m_SinceDrained;     // the server played all it was given
    qint64 m_nTailMicroseconds = 0;   // what its device still held then
    // The loop's lock guards these: written by its callbacks and by the
    // sink's thread, read by the sink's thread.
    int m_nPauseStep = kPausePlaying;
    bool m_bUnderrun = false;          // between an under-run and the restart
    int m_nTimingAsked = 0;            // timing updates asked for by the sink
    int m_nTimingAnswered = 0;
    // Counts the connections closed: written by the sink's thread in Close,
    // read by the loop's thread in the callbacks (under the loop's lock).
    std::atomic<quint64> m_nGeneration{0};
    // The count when a connection dropped: written by the loop's thread,
    // read by the sink's, which ignores the news of one closed since.
    std::atomic<quint64> m_nLostGeneration{~quint64(0)};
    // Written by the loop's thread, read and cleared by the sink's thread.
    std::atomic<bool> m_bFeedPosted{false};
    std::atomic<bool> m_bDrained{false};
    std::atomic<bool> m_bDrainRefused{false};
    std::atomic<bool> m_bUnderflowSeen{false};
    // Written by the sink's thread: whether a dropped connection is news
    // (after a start, not while it connects or closes); read by the loop's.
    std::atomic<bool> m_bWatching{false};
};

#endif
