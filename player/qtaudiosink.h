#ifndef NALVO_PLAYER_QTAUDIOSINK_H
#define NALVO_PLAYER_QTAUDIOSINK_H

#include "player/audiosink.h"

#include <QAudioDeviceInfo>

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

    void start(QIODevice* source) override;
    void stop() override;
    void suspend() override;
    void resume() override;

private:
    const QAudioFormat m_SourceFormat;
    QAudioFormat m_DeviceFormat;
    std::unique_ptr<QAudioOutput> m_pOutput;
    std::unique_ptr<ConvertingSource> m_pAdapter;
};

#endif
