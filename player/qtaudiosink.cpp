#include "player/qtaudiosink.h"

#include "foundation/messageloging.h"
#include "player/pcmconverter.h"

#include <QAudioOutput>

QtAudioSink::QtAudioSink(const QAudioDeviceInfo& device, const QAudioFormat& sourceFormat, QObject* parent)
    : AudioSink(parent)
    , m_SourceFormat(sourceFormat)
    , m_DeviceFormat(sourceFormat)
{
    if (!device.isFormatSupported(sourceFormat)) {
        const QAudioFormat nearest = device.nearestFormat(sourceFormat);
        MyQDebug("Default format not supported - trying to use nearest");
        MyQDebug("sampleRate : %d\nchannelCount : %d\nsampleSize : %d\n%s", nearest.sampleRate(),
                 nearest.channelCount(), nearest.sampleSize(), qPrintable(nearest.codec()));
        if (PcmConverter::CanWrite(nearest))
            m_DeviceFormat = nearest;
        else
            MyQDebug("QtAudioSink: the nearest format cannot be written; the device gets the take's format");
    }
    m_pOutput = std::make_unique<QAudioOutput>(device, m_DeviceFormat);
    connect(m_pOutput.get(), &QAudioOutput::stateChanged, this, &QtAudioSink::setState);
}

QtAudioSink::~QtAudioSink()
{
    if (m_pOutput)
        m_pOutput->stop();
}

void QtAudioSink::start(QIODevice* source)
{
    // The output lets go of the old adapter before it is deleted.
    m_pOutput->stop();
    m_pAdapter.reset();
    if (m_DeviceFormat == m_SourceFormat) {
        m_pOutput->start(source);
        return;
    }
    m_pAdapter = std::make_unique<ConvertingSource>(source, m_SourceFormat.sampleRate(), m_DeviceFormat);
    m_pAdapter->open(QIODevice::ReadOnly);
    m_pOutput->start(m_pAdapter.get());
}

void QtAudioSink::stop()
{
    m_pOutput->stop();
}

void QtAudioSink::suspend()
{
    m_pOutput->suspend();
}

void QtAudioSink::resume()
{
    m_pOutput->resume();
}
