#ifndef NALVO_PLAYER_QTAUDIOSINK_H
#define NALVO_PLAYER_QTAUDIOSINK_H

#include "player/audiosink.h"

#include <QAudioDeviceInfo>
#include <QElapsedTimer>

#include <memory>

class QAudioOutput;
class QSemaphore;
class ConvertingSource;
class ServerReleaseGuard;

// The system's output device through Qt Multimedia in pull mode. The take's
// own rate is asked for; a device that refuses it gets its nearest format,
// and the bytes are converted on the way, so the take keeps its speed and
// pitch.
class QtAudioSink : public AudioSink
{
    Q_OBJECT
public:
    QtAudioSink(const QAudioDeviceInfo& device, const QAudioFormat& sourceFormat, QObject* parent = nullptr);
    ~QtAudioSink() override;

    bool start(QIODevice* source) override;
    void stop() override;
    void suspend() override;
    void resume() override;
    qint64 HeldMicroseconds() override;
    bool Drained() override;
    bool Stalled() override;
    qint64 StartMicroseconds() override;

    // Whether the device takes the take's format unconverted.
    bool TakesSourceFormat() const { return m_DeviceFormat == m_SourceFormat; }

private:
    friend class ServerReleaseGuard;

    void OnOutputState(QAudio::State state);
    // Stops the output without taking its stop for a breakdown.
    void StopOutput();
    // On the sink's thread, when the toolkit is about to free its connection
    // to the sound server: an output whose stream that server dropped is
    // closed now, while the connection still exists, and the sink fails.
    void CloseIfServerLost();
    // The output's error, as the user reads it; empty when it is none that
    // ends playback.
    QString FatalErrorText() const;
    void ResetClock();
    // Microseconds written to the output and heard of them, as estimated now.
    // Written() also notes when the written time last grew.
    qint64 Written();
    qint64 Heard();

    const QAudioFormat m_SourceFormat;
    QAudioFormat m_DeviceFormat;
    std::unique_ptr<QAudioOutput> m_pOutput;
    std::unique_ptr<ConvertingSource> m_pAdapter;
    bool m_bStopping = false;
    // An output that cannot start says so from within its start; start()
    // reports that itself, as a failed start and not as a breakdown.
    bool m_bStarting = false;

    // The output reports what it holds only in steps, each time the server
    // asks for more: right after a step the figure is exact, and between
    // two steps the sound runs on in real time. So the heard time is the
    // last step plus the time since, never past the next step's size or
    // what was written.
    QElapsedTimer m_Clock;          // runs while the output plays
    qint64 m_nStepHeard = 0;        // µs heard at the last step
    qint64 m_nStepAt = -1;          // m_Clock's µs at the last step; -1 before the first
    qint64 m_nLargestStep = 0;      // µs
    qint64 m_nFrozenHeard = -1;     // while suspended: µs heard when the output paused
    qint64 m_nLastWritten = 0;      // µs written, at the last look
    QElapsedTimer m_SinceWritten;   // since the written time last grew

    // Set by the GUI thread while it waits for this sink to close its output;
    // released by the sink's thread once the output no longer uses the
    // connection. Guarded by the mutex of the list of live sinks.
    std::shared_ptr<QSemaphore> m_pCloseAwaited;
};

// The toolkit keeps its one connection to the sound server on the GUI thread.
// When the server goes away, it frees that connection from the GUI thread
// while outputs on player threads may be using it that very moment, which
// crashes the process. Called once on the GUI thread (after the connection
// is made there): from then on, the GUI thread first has every output closed
// on its own thread.
void GuardSoundServerRelease();

#endif
