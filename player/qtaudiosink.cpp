#include "player/qtaudiosink.h"

#include "foundation/messageloging.h"
#include "player/pcmconverter.h"

#include <QAudioOutput>
#include <QCoreApplication>
#include <QSemaphore>
#include <QThread>

#include <algorithm>
#include <mutex>
#include <vector>

namespace {

// Every sink alive, for the GUI thread to reach their outputs before the
// toolkit frees its connection to the sound server.
struct LiveSinks
{
    std::mutex mutex;
    std::vector<QtAudioSink*> sinks;   // guarded by mutex
};

LiveSinks& Live()
{
    static LiveSinks live;
    return live;
}

// How long the GUI thread waits for a player thread to close its output. A
// player thread turns its event loop every few milliseconds; one stuck
// elsewhere must not freeze the window.
constexpr int kCloseWaitMs = 2000;

// An output that took nothing for this long while it had no room is not
// coming back.
constexpr qint64 kStallMs = 3000;

const QString kServerLostText = QStringLiteral("The sound output stopped working (is the sound server running?).");

} // namespace

// Sits in front of the objects of the GUI thread. The toolkit's connection
// to the sound server learns on its own thread that the server went away and
// posts a call to its object on the GUI thread, which tells the outputs (with
// a posted call that reaches a player thread later) and frees the connection
// right away. So the outputs of other threads are closed here first, each on
// its own thread, while the GUI thread waits; the object is recognised by its
// class name because the toolkit does not publish it.
class ServerReleaseGuard : public QObject
{
public:
    using QObject::QObject;

protected:
    bool eventFilter(QObject* watched, QEvent* event) override
    {
        if (event->type() == QEvent::MetaCall && watched->inherits("QPulseAudioEngine"))
            CloseOtherThreadsOutputs();
        return false;
    }

private:
    static void CloseOtherThreadsOutputs()
    {
        auto closed = std::make_shared<QSemaphore>();
        int asked = 0;
        {
            std::lock_guard<std::mutex> lock(Live().mutex);
            for (QtAudioSink* sink : Live().sinks) {
                if (sink->thread() == QThread::currentThread())
                    continue;   // told in order by the toolkit itself
                if (sink->m_pCloseAwaited)
                    sink->m_pCloseAwaited->release();
                sink->m_pCloseAwaited = closed;
                ++asked;
                QMetaObject::invokeMethod(sink, [sink] { sink->CloseIfServerLost(); }, Qt::QueuedConnection);
            }
        }
        if (asked > 0 && !closed->tryAcquire(asked, kCloseWaitMs))
            MyQDebug("QtAudioSink: a player thread did not close its output in time");
    }
};

void GuardSoundServerRelease()
{
    static bool installed = false;
    QCoreApplication* app = QCoreApplication::instance();
    if (installed || !app)
        return;
    installed = true;
    app->installEventFilter(new ServerReleaseGuard(app));
}

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
    std::lock_guard<std::mutex> lock(Live().mutex);
    Live().sinks.push_back(this);
}

QtAudioSink::~QtAudioSink()
{
    if (m_pOutput)
        StopOutput();
    // Gone before the GUI thread may go on: a waiting GUI thread is let go
    // only when no output of this sink is left.
    m_pOutput.reset();
    std::lock_guard<std::mutex> lock(Live().mutex);
    Live().sinks.erase(std::remove(Live().sinks.begin(), Live().sinks.end(), this), Live().sinks.end());
    if (m_pCloseAwaited)
        m_pCloseAwaited->release();
}

void QtAudioSink::CloseIfServerLost()
{
    // A stream the server dropped has no writable size; a paused one cannot
    // be asked and goes with its connection anyway. (The output is already
    // gone when its own destructor turned the event loop.)
    const QAudio::State was = m_pOutput ? m_pOutput->state() : QAudio::StoppedState;
    const bool lost = was == QAudio::SuspendedState
                      || ((was == QAudio::ActiveState || was == QAudio::IdleState) && m_pOutput->bytesFree() < 0);
    if (lost) {
        setErrorText(kServerLostText);
        stop();
    }
    {
        std::lock_guard<std::mutex> lock(Live().mutex);
        if (m_pCloseAwaited) {
            m_pCloseAwaited->release();
            m_pCloseAwaited.reset();
        }
    }
    if (lost)
        emit failed();
}

QString QtAudioSink::FatalErrorText() const
{
    switch (m_pOutput->error()) {
    case QAudio::OpenError: return QStringLiteral("The sound output could not be opened.");
    case QAudio::FatalError: return kServerLostText;
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
    // A pause is no stall: the output was full and took nothing meanwhile.
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

bool QtAudioSink::Stalled()
{
    const QAudio::State state = m_pOutput->state();
    if (state != QAudio::ActiveState && state != QAudio::IdleState)
        return false;
    // A device pulls every few tens of milliseconds and holds at most a
    // couple of seconds; the toolkit's ALSA output whose sound server died
    // stays active with no room, forever.
    Written();
    if (m_SinceWritten.elapsed() < kStallMs || m_pOutput->bytesFree() > 0)
        return false;
    setErrorText(kServerLostText);
    return true;
}

qint64 QtAudioSink::StartMicroseconds()
{
    return qint64(m_pOutput->bufferSize()) * 1000000 / std::max(1, m_DeviceFormat.bytesForDuration(1000000));
}
