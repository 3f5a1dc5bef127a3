#ifndef NALVO_PLAYER_QTAUDIOSINK_H
#define NALVO_PLAYER_QTAUDIOSINK_H

#include "player/audiosink.h"

#include <QAudioDeviceInfo>
#include <QElapsedTimer>

#include <memory>

class QAudioOutput;
class ConvertingSource;

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
    qint64 StartMicroseconds() override;

private:
    void OnOutputState(QAudio::State state);
    // Stops the output without taking its stop for a breakdown.
    void StopOutput();
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
};

#endif
