// The player's mixer against the clock: a generated 10-minute 24-track take
// (48 kHz 24-bit, 48 kHz 16-bit, 96 kHz 24-bit) is played through the
// capture sink as fast as it goes (real-time factor), its blocks are timed
// one by one against their own duration (99th percentile and maximum), and
// the 48 kHz 24-bit take plays for a while in real time through the null
// sink (the process's CPU time against the wall clock). The 48 kHz 16-bit
// take also plays in real time, read from the disk, while other processes
// keep every core and the disk busy: the longest wait for a block (a pull
// that took long, or a stretch the output got less than it asked for)
// against one block's duration.
//
// The track files are real (noise, not holes) and are read from the page
// cache, as right after copying a card; a card reader's own speed is not
// part of these figures.
#include "bench/support/benchtools.h"
#include "foundation/toolarguments.h"
#include "player/audiosink.h"
#include "player/generatoraudiobuffer.h"
#include "player/sfxplayer.h"
#include "player/sfxthread.h"
#include "take/soundperform.h"
#include "tests/support/fixturewriter.h"
#include "tests/support/riffreader.h"

#include <QCoreApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QEventLoop>
#include <QFile>
#include <QTemporaryDir>
#include <QThread>
#include <QTimer>
#include <QtEndian>

#include <algorithm>
#include <atomic>
#include <cstdio>
#include <ctime>
#include <vector>

namespace {

constexpr int kTracks = 24;
// Seconds of each take; the first argument may shorten it for profiling.
int kSeconds = 600;

struct Variant {
    const char* name;
    quint32 rate;
    quint16 bits;
};

// One file of the take: the fixture's header and trailing chunks around a
// data chunk of noise.
bool WriteNoiseFile(const QString& path, const QByteArray& small, quint32 dataSize, const QByteArray& noise, int seed)
{
    const fixture::RiffInfo info = fixture::ParseRiff(small);
    const fixture::RiffChunk* data = info.Find("data");
    if (!data)
        return false;
    QByteArray head = small.left(int(data->payloadOffset));
    const QByteArray tail = small.mid(int(data->payloadOffset + data->size + (data->size & 1)));
    const qint64 total = data->payloadOffset + dataSize + (dataSize & 1) + tail.size();
    qToLittleEndian<quint32>(quint32(total - 8), head.data() + 4);
    qToLittleEndian<quint32>(dataSize, head.data() + data->payloadOffset - 4);
    QFile file(path);
    if (!file.open(QIODevice::WriteOnly | QIODevice::Truncate) || file.write(head) != head.size())
        return false;
    qint64 left = dataSize;
    qint64 at = (qint64(seed) * 7919) % (noise.size() / 2);
    while (left > 0) {
        const qint64 n = std::min<qint64>(left, noise.size() - at);
        if (file.write(noise.constData() + at, n) != n)
            return false;
        left -= n;
        at = 0;
    }
    if (dataSize & 1)
        file.write("\0", 1);
    return file.write(tail) == tail.size();
}

QString WriteTake(const QString& folder, const Variant& v)
{
    QList<int> slotList;
    for (int t = 0; t < kTracks; ++t)
        slotList.append(t);
    fixture::TakeSpec spec = fixture::MonoTake(QStringLiteral("BENCH1"), slotList);
    spec.sampleRate = v.rate;
    spec.bits = v.bits;
    spec.frames = 480;
    // Noise at about -18 dBFS, so the sum of 24 tracks clips now and then.
    QByteArray noise(1 << 20, '\0');
    quint32 state = 12345;
    const int b = v.bits / 8;
    for (int i = 0; i + b <= noise.size(); i += b) {
        state = state * 1664525u + 1013904223u;
        const qint32 sample = qint32(state) >> (32 - v.bits + 3);
        for (int k = 0; k < b; ++k)
            noise[i + k] = char((sample >> (8 * k)) & 0xFF);
    }
    const quint32 dataSize = quint32(kSeconds) * v.rate * quint32(b);
    for (int i = 0; i < kTracks; ++i) {
        if (!WriteNoiseFile(folder + fixture::TrackFileName(spec, i), fixture::BuildMonoFile(spec, i), dataSize,
                            noise, i))
            return QString();
    }
    return folder + QStringLiteral("BENCH1");
}

double CpuSeconds()
{
    timespec t;
    clock_gettime(CLOCK_PROCESS_CPUTIME_ID, &t);
    return t.tv_sec + t.tv_nsec / 1e9;
}

// Plays until the end of the data (or the time limit) and returns the wall seconds.
double PlayThrough(QSoundPerform* take, int limitMs)
{
    SfxPlayer player;
    take->m_pSfxPlayer = &player;
    player.setup(take);
    QEventLoop loop;
    QObject::connect(&player, &SfxPlayer::signal_AudioMotorStateChange, &loop, [&loop](short state) {
        if (state == PlayerEndOfData)
            loop.quit();
    });
    QTimer::singleShot(limitMs, &loop, &QEventLoop::quit);
    QElapsedTimer wall;
    wall.start();
    take->Play();
    loop.exec();
    const double seconds = wall.nsecsElapsed() / 1e9;
    take->m_pSfxPlayer = nullptr;
    return seconds;
}

// What a device-like sink saw of its pulls (written by the player thread,
// read once the player is gone).
struct PullLog {
    std::atomic<qint64> longestPullNs{0};
    std::atomic<qint64> longestShortNs{0};   // longest stretch of pulls that got less than due
};

// Pulls every 10 ms what the clock says a device has played, as the null
// sink does, and times each pull. What a pull could not get is lost, as on
// a device, and the clock goes on.
class TimedSink : public AudioSink
{
public:
    TimedSink(const QAudioFormat& format, std::shared_ptr<PullLog> log)
        : m_nBytesPerSecond(format.bytesForDuration(1000000))
        , m_nFrameBytes(format.bytesPerFrame())
        , m_pLog(std::move(log))
        , m_Buffer(m_nBytesPerSecond, '\0')
    {
        m_Timer.setTimerType(Qt::PreciseTimer);
        QObject::connect(&m_Timer, &QTimer::timeout, this, [this] { Pull(); });
    }
    bool start(QIODevice* source) override
    {
        m_pSource = source;
        m_Clock.start();
        m_nDue = 0;
        m_nShortSince = -1;
        setState(QAudio::ActiveState);
        m_Timer.start(10);
        return true;
    }
    void stop() override
    {
        m_Timer.stop();
        m_pSource = nullptr;
        setState(QAudio::StoppedState);
    }
    void suspend() override {}
    void resume() override {}

private:
    void Pull()
    {
        if (!m_pSource)
            return;
        const qint64 now = m_Clock.nsecsElapsed();
        const qint64 due = now / 1000 * m_nBytesPerSecond / 1000000 / m_nFrameBytes * m_nFrameBytes;
        const qint64 want = std::min<qint64>(due - m_nDue, m_Buffer.size());
        if (want <= 0)
            return;
        QElapsedTimer pull;
        pull.start();
        const qint64 got = m_pSource->read(m_Buffer.data(), want);
        const qint64 took = pull.nsecsElapsed();
        m_nDue = due;
        if (took > m_pLog->longestPullNs)
            m_pLog->longestPullNs = took;
        if (got < want) {
            if (m_nShortSince < 0)
                m_nShortSince = now;
        } else if (m_nShortSince >= 0) {
            m_pLog->longestShortNs = std::max<qint64>(m_pLog->longestShortNs, now - m_nShortSince);
            m_nShortSince = -1;
        }
    }

    const int m_nBytesPerSecond;
    const int m_nFrameBytes;
    std::shared_ptr<PullLog> m_pLog;
    QByteArray m_Buffer;
    QTimer m_Timer;
    QElapsedTimer m_Clock;
    QIODevice* m_pSource = nullptr;
    qint64 m_nDue = 0;
    qint64 m_nShortSince = -1;
};

// Five real-time runs from the disk under load; the median of each run's
// longest wait for a block, in blocks.
void MeasureUnderLoad(QSoundPerform* take, const Variant& v, const QString& folder, const QStringList& files)
{
    const double blockSeconds = double(GeneratorAudioBuffer::kTrackBlockBytes / (v.bits / 8)) / v.rate;
    std::vector<double> ratios;
    for (int run = 0; run < 5; ++run) {
        auto log = std::make_shared<PullLog>();
        SetAudioSinkFactory([log](const QAudioFormat& format) { return std::make_unique<TimedSink>(format, log); });
        bench::Evict(files);
        {
            bench::MachineLoad load(folder);
            QThread::msleep(1000);
            take->m_nStartSecond = quint32(run * 10 % std::max(1, kSeconds - 10));
            PlayThrough(take, 8000);
        }
        const double longest = std::max(log->longestPullNs.load(), log->longestShortNs.load()) / 1e9;
        ratios.push_back(longest / blockSeconds);
    }
    take->m_nStartSecond = 0;
    std::printf("%s: longest wait for a block, real time from the disk while other processes keep every core and "
                "the disk busy / block duration (median of 5, worst %.2f) ratio %.2f (target <= 1; no bound: a budget, 1 reading thread)\n",
                v.name, *std::max_element(ratios.begin(), ratios.end()), bench::Median(ratios));
}

void MeasureBlocks(QSoundPerform* take, const Variant& v)
{
    GeneratorAudioBuffer source;
    source.BindTake(take);
    source.open(QIODevice::ReadOnly | QIODevice::Unbuffered);
    std::vector<qint64> times;
    times.reserve(size_t(kSeconds) * v.rate / 1000);
    // One block's bytes per pull: the pull hands the block over and mixes
    // the one that takes its place in the queue.
    const int blockBytes = 4 * (GeneratorAudioBuffer::kTrackBlockBytes / (v.bits / 8));
    QByteArray sink(blockBytes, '\0');
    QElapsedTimer timer;
    while (!source.EndHandedOver()) {
        timer.start();
        source.read(sink.data(), sink.size());
        times.push_back(timer.nsecsElapsed());
    }
    std::sort(times.begin(), times.end());
    const double blockSeconds = double(GeneratorAudioBuffer::kTrackBlockBytes / (v.bits / 8)) / v.rate;
    const double p99 = times[size_t(times.size() * 0.99)] / 1e9;
    const double most = times.back() / 1e9;
    std::printf("%s: p99 block time / block duration (%zu blocks of %.1f ms) ratio %.4f (target <= 0.05; no bound: a budget, 1 reading thread)\n", v.name,
                times.size(), blockSeconds * 1e3, p99 / blockSeconds);
    std::printf("%s: max block time / block duration ratio %.4f (target <= 1; no bound: a budget, 1 reading thread)\n", v.name, most / blockSeconds);
}

} // namespace

int main(int argc, char** argv)
{
    QCoreApplication app(argc, argv);
    bench::QuietDebugOutput();
    QStringList args;
    if (const int exitCode = ReadToolArguments(app.arguments(), "bench_player [seconds per take, at least 10]", 0, 1, &args); exitCode >= 0)
        return exitCode;
    if (!args.isEmpty())
        kSeconds = std::max(10, args.at(0).toInt());
    QTemporaryDir dir;
    if (!dir.isValid())
        return 1;
    auto tap = std::make_shared<CaptureTap>(false);
    const Variant variants[] = {{"48 kHz 24-bit", 48000, 24}, {"48 kHz 16-bit", 48000, 16}, {"96 kHz 24-bit", 96000, 24}};
    for (const Variant& v : variants) {
        const QString folder = dir.path() + QLatin1Char('/') + QString::number(v.rate) + QString::number(v.bits) + QLatin1Char('/');
        QDir().mkpath(folder);
        const QString takePath = WriteTake(folder, v);
        QSoundPerform take;
        if (takePath.isEmpty() || !take.InitFilesZZ(takePath, QStringLiteral("WAV"))) {
            std::fprintf(stderr, "cannot write or load the %s take\n", v.name);
            return 1;
        }
        SetAudioSinkFactory([tap](const QAudioFormat& format) {
            return std::make_unique<PullingSink>(format, false, tap);
        });
        tap->Clear();
        const double seconds = PlayThrough(&take, 600000);
        const double expected = double(kSeconds) * v.rate * 4;
        if (tap->Total() < expected) {
            std::fprintf(stderr, "%s: only %lld of %.0f bytes played\n", v.name, static_cast<long long>(tap->Total()), expected);
            return 1;
        }
        std::printf("%s, %d tracks, %d s through the capture sink: real-time factor ratio %.1f (target >= 200; no bound: a budget)\n", v.name,
                    kTracks, kSeconds, kSeconds / seconds);
        std::fflush(stdout);
        MeasureBlocks(&take, v);
        if (v.rate == 48000 && v.bits == 16) {
            QStringList files;
            for (int t = 0; t < kTracks; ++t)
                files << take.m_SndFile[t].GetPath();
            MeasureUnderLoad(&take, v, dir.path(), files);
        }
        if (v.rate == 48000 && v.bits == 24) {
            SetAudioSinkFactory([](const QAudioFormat& format) {
                return std::make_unique<PullingSink>(format, true, nullptr);
            });
            const double cpu = CpuSeconds();
            const double wall = PlayThrough(&take, 5000);
            std::printf("%s: CPU time / wall time of real-time playback through the null sink ratio %.4f (target <= 0.03; no bound: a budget)\n",
                        v.name, (CpuSeconds() - cpu) / wall);
        }
        std::fflush(stdout);
        take.ResetVariables();
        QDir(folder).removeRecursively();
    }
    SetAudioSinkFactory(nullptr);
    return 0;
}
