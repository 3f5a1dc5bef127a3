#ifndef NALVO_PLAYER_AUDIOSINK_H
#define NALVO_PLAYER_AUDIOSINK_H

#include <QAudio>
#include <QAudioFormat>
#include <QByteArray>
#include <QElapsedTimer>
#include <QObject>
#include <QTimer>

#include <atomic>
#include <functional>
#include <memory>
#include <mutex>

class QIODevice;

// Lets another thread end a sink's wait for its output at once. A start
// waits seconds for a sound server that was just restarted; a Stop, another
// take or the end of the player must not wait with it.
//
// The flag says "a stop is on its way": the owner's thread asks, the player
// thread clears it once it carried the stop out, so a Play queued after the
// stop waits again. A waiting sink gives a wake-up and rechecks Asked()
// when woken.
class SinkWaitCancel
{
public:
    // Any thread: ends the wait under way and any later one until Clear.
    void Ask();
    // The player thread, when it carries out the stop that was asked.
    void Clear() { m_bAsked = false; }
    // Any thread.
    bool Asked() const { return m_bAsked.load(); }
    // The waiting sink's thread: what Ask calls (under this object's lock,
    // so a wake-up is never called once it was taken back); an empty one
    // takes it back.
    void SetWake(std::function<void()> wake);

private:
    std::mutex m_Mutex;
    std::function<void()> m_Wake;   // guarded by m_Mutex
    std::atomic<bool> m_bAsked{false};
};

// Where the player's pulled audio goes. A sink pulls 16-bit stereo bytes
// in the format it was made for from a source device and reports its state
// with the audio output's codes. A sink is made, used and deleted on one
// thread (the player thread), whose event loop drives it.
//
// Kinds: the sound server through its own client library; the system's
// default output device through Qt Multimedia, where no sound server
// answers; a null sink that consumes at the real-time rate and discards,
// for machines without a device (the cursor, meters and end of data behave
// as on a desktop); a capture sink that pulls as fast as it can into a tap,
// for tests and benchmarks. NALVO_AUDIO_SINK=pulse|qt|null|capture picks
// one.
class AudioSink : public QObject
{
    Q_OBJECT
public:
    explicit AudioSink(QObject* parent = nullptr);
    ~AudioSink() override;

    // Starts pulling from the open source. False when the output could not
    // be opened (ErrorText() says why); the sink is then stopped.
    virtual bool start(QIODevice* source) = 0;
    virtual void stop() = 0;
    virtual void suspend() = 0;
    virtual void resume() = 0;
    QAudio::State state() const { return m_State; }

    // How long the audio already pulled from the source takes to be heard:
    // what the output still holds. Called about every 10 ms while playing.
    virtual qint64 HeldMicroseconds() { return 0; }
    // After the source ran dry: everything pulled has been heard.
    virtual bool Drained() { return true; }
    // How much the output takes in before it begins to play.
    virtual qint64 StartMicroseconds() { return 0; }
    // Pulls at the pace of a clock (a device, the null sink), not as fast
    // as it can.
    virtual bool RealTime() const { return true; }
    // Why the output failed, for the user; empty when a start was cancelled.
    QString ErrorText() const { return m_ErrorText; }
    // Before start, on the sink's thread: what ends its waits early (a start
    // cut short returns false with no error text). Not owned; may be null.
    void SetWaitCancel(SinkWaitCancel* cancel) { m_pWaitCancel = cancel; }

signals:
    void stateChanged(QAudio::State state);
    // The output broke down while playing (its server went away); it has
    // stopped and stays unusable: a new sink is needed.
    void failed();

protected:
    // Stores the state and emits it when it changed.
    void setState(QAudio::State state);
    void setErrorText(const QString& text) { m_ErrorText = text; }
    // The error of an output whose sound server went away.
    static QString ServerLostText();
    SinkWaitCancel* WaitCancel() const { return m_pWaitCancel; }

private:
    QAudio::State m_State = QAudio::StoppedState;
    QString m_ErrorText;
    SinkWaitCancel* m_pWaitCancel = nullptr;
};

// Bytes a capture sink received; shared between the player thread that
// writes and the test or benchmark that reads.
class CaptureTap
{
public:
    // keepBytes false: only count them (long benchmark runs).
    explicit CaptureTap(bool keepBytes = true);
    void Append(const char* data, qint64 size);
    QByteArray Bytes() const;
    qint64 Total() const;
    void Clear();

private:
    mutable std::mutex m_Mutex;
    const bool m_bKeepBytes;
    QByteArray m_Bytes;      // guarded by m_Mutex
    qint64 m_nTotal = 0;     // guarded by m_Mutex
};

// Null and capture sinks: pulls driven by a timer of the sink's thread.
class PullingSink : public AudioSink
{
    Q_OBJECT
public:
    // realTime: consume at the format's byte rate; else as fast as the
    // event loop turns. tap may be null (bytes discarded).
    PullingSink(const QAudioFormat& format, bool realTime, std::shared_ptr<CaptureTap> tap,
                QObject* parent = nullptr);

    bool start(QIODevice* source) override;
    void stop() override;
    void suspend() override;
    void resume() override;
    bool RealTime() const override { return m_bRealTime; }

private:
    void Pull();
    void Restart();

    const bool m_bRealTime;
    const qint64 m_nBytesPerSecond;
    const int m_nFrameBytes;
    std::shared_ptr<CaptureTap> m_pTap;
    QIODevice* m_pSource = nullptr;
    QTimer m_Timer;
    QElapsedTimer m_Clock;
    qint64 m_nPulledSinceClock = 0;
    QByteArray m_Chunk;
};

// Makes the sink of the process for a source format: the installed factory
// when a test set one, else the kind NALVO_AUDIO_SINK names. By default the
// sound server's sink once a server answered in this process (one that is
// down later is waited for when playback starts), else the qt kind; the qt
// kind without an output device falls back to the null sink and says so
// once in the debug log.
using AudioSinkFactory = std::function<std::unique_ptr<AudioSink>(const QAudioFormat& format)>;
// cancel (may be null) ends a wait for the server's answer early and is
// handed to the sink made.
std::unique_ptr<AudioSink> CreateAudioSink(const QAudioFormat& format, SinkWaitCancel* cancel = nullptr);
// The null sink: real-time consumption, no sound.
std::unique_ptr<AudioSink> CreateNullSink(const QAudioFormat& format);
// An empty factory restores the default.
void SetAudioSinkFactory(AudioSinkFactory factory);
// Called on the GUI thread before any player thread makes a sink. When the
// qt kind was chosen by name, the toolkit keeps one connection to the sound
// server per process, bound to the thread that first asks for a device, and
// reconnects on that thread's event loop after the server went away: a
// player thread ends with its take, and a connection left bound to it would
// never come back.
void PrepareAudioOutput();

// The format the player's source delivers: 16-bit signed little-endian
// stereo at the take's own rate.
QAudioFormat PlayerSourceFormat(int sampleRate);

#endif
