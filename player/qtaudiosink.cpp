#include "player/qtaudiosink.h"

#include "foundation/messageloging.h"
#include "player/pcmconverter.h"

#include <QAudioOutput>

#include <algorithm>

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
    connect(m_pOutput.get(), &QAudioOutput::stateChanged, this, &QtAudioSink::OnOutputState);
}

QtAudioSink::~QtAudioSink()
{
    if (m_pOutput)
        StopOutput();
}

QString QtAudioSink::FatalErrorText() const
{
    switch (m_pOutput->error()) {
    case QAudio::OpenError: return QStringLiteral("The sound output could not be opened.");
    case QAudio::FatalError: return ServerLostText();
    default: return QString();
    }
}

void QtAudioSink::OnOutputState(QAudio::State state)
{
    if (state == QAudio::StoppedState && !m_bStopping && !m_bStarting) {
        const QString text = FatalErrorText();
        if (!text.isEmpty()) {
            setErrorText(text);
            setState(state);
            emit failed();
            return;
        }
    }
    setState(state);
}

void QtAudioSink::ResetClock()
{
    m_Clock.invalidate();
    m_nStepHeard = 0;
    m_nStepAt = -1;
    m_nLargestStep = 0;
    m_nFrozenHeard = -1;
    m_nLastWritten = 0;
    m_SinceWritten.start();
}

bool QtAudioSink::start(QIODevice* source)
{
    // The output lets go of the old adapter before it is deleted.
    StopOutput();
    m_pAdapter.reset();
    ResetClock();
    QIODevice* pulled = source;
    if (m_DeviceFormat != m_SourceFormat) {
        m_pAdapter = std::make_unique<ConvertingSource>(source, m_SourceFormat.sampleRate(), m_DeviceFormat);
        m_pAdapter->open(QIODevice::ReadOnly);
        pulled = m_pAdapter.get();
    }
    m_bStarting = true;
    m_pOutput->start(pulled);
    m_bStarting = false;
    const QString text = FatalErrorText();
    if (!text.isEmpty() || m_pOutput->state() == QAudio::StoppedState) {
        setErrorText(text.isEmpty() ? QStringLiteral("The sound output could not be started.") : text);
        StopOutput();
        setState(QAudio::StoppedState);
        return false;
    }
    m_Clock.start();
    return true;
}

void QtAudioSink::StopOutput()
{
    m_bStopping = true;
    m_pOutput->stop();
    m_bStopping = false;
}

void QtAudioSink::stop()
{
    StopOutput();
    setState(m_pOutput->state());
}

void QtAudioSink::suspend()
{
    const qint64 heard = Heard();
    m_pOutput->suspend();
    if (m_pOutput->state() == QAudio::SuspendedState)
        m_nFrozenHeard = heard;
}

void QtAudioSink::resume()
{
    m_pOutput->resume();
    // The output took nothing while paused: that says nothing of its end.
    m_SinceWritten.start();
    if (m_nFrozenHeard >= 0) {
        // The sound goes on from where it paused.
        m_nStepHeard = m_nFrozenHeard;
        m_nStepAt = m_Clock.isValid() ? m_Clock.nsecsElapsed() / 1000 : -1;
        m_nFrozenHeard = -1;
    }
}

qint64 QtAudioSink::Written()
{
    const qint64 written = m_pOutput->processedUSecs();
    if (written != m_nLastWritten) {
        m_nLastWritten = written;
        m_SinceWritten.start();
    }
    return written;
}

qint64 QtAudioSink::Heard()
{
    const QAudio::State state = m_pOutput->state();
    if (state == QAudio::StoppedState || !m_Clock.isValid())
        return 0;
    if (m_nFrozenHeard >= 0)
        return m_nFrozenHeard;
    const qint64 written = Written();
    const int bytesPerSecond = std::max(1, m_DeviceFormat.bytesForDuration(1000000));
    const qint64 held = qint64(std::max(0, m_pOutput->bufferSize() - m_pOutput->bytesFree())) * 1000000 / bytesPerSecond;
    const qint64 stepHeard = std::max<qint64>(0, written - held);
    const qint64 now = m_Clock.nsecsElapsed() / 1000;
    if (stepHeard > m_nStepHeard) {
        if (m_nStepAt >= 0)
            m_nLargestStep = std::max(m_nLargestStep, stepHeard - m_nStepHeard);
        m_nStepHeard = stepHeard;
        m_nStepAt = now;
    }
    if (m_nStepAt < 0)
        return m_nStepHeard;   // the server has not begun to play
    const qint64 runOn = std::min(now - m_nStepAt, m_nLargestStep);
    return std::min(written, m_nStepHeard + runOn);
}

qint64 QtAudioSink::HeldMicroseconds()
{
    return std::max<qint64>(0, Written() - Heard());
}

bool QtAudioSink::Drained()
{
    const QAudio::State state = m_pOutput->state();
    if (state == QAudio::IdleState || state == QAudio::StoppedState)
        return true;
    // An output that does not report running dry ends once what it still
    // holds had time to play.
    const qint64 held = HeldMicroseconds();
    return state == QAudio::ActiveState && m_SinceWritten.elapsed() * 1000 > held + 500000;
}

qint64 QtAudioSink::StartMicroseconds()
{
    return qint64(m_pOutput->bufferSize()) * 1000000 / std::max(1, m_DeviceFormat.bytesForDuration(1000000));
}
