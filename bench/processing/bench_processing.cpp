// The stereo mixdowns and the polyphonic interleaves against peer tools on
// the same take, in one run:
//   (a) hot cache, no fsync: throughput against sox -M ... (remix doing the
//       same mix; plain -M for an interleave): sox's time over ours, in
//       wall time and in CPU time (sox works on one thread);
//   (b) output fsynced: time against reading the sources and writing and
//       syncing as many bytes as the output holds, on one thread or as
//       many as the engines', whichever is faster.
// Ours, sox and the bound run in turn, five rounds; the figures are medians.
// The takes are 24 mono tracks, 48 kHz, 24 bits (and 16 bits for the
// interleaves), 5 minutes by default (the first argument sets the seconds,
// the second the folder to work in).
#include "foundation/toolarguments.h"
#include "bench/support/benchtools.h"

#include "processing/qsoundmixer.h"
#include "take/gaintable.h"
#include "tests/support/fixturewriter.h"

#include <QCoreApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QFileInfo>
#include <QProcess>
#include <QStandardPaths>
#include <QTemporaryDir>
#include <QThread>
#include <cmath>
#include <cstdio>
#include <functional>

using namespace bench;

namespace {

constexpr int kTracks = 24;

struct Plan {
    QString name;
    bool process = true;      // gain, pan and M/S; else the copy mixdown
    bool present[kTracks] = {};
    short steps[kTracks];
    short pan[kTracks];
    bool excluded[kTracks] = {};
    bool pairs[12] = {};
    QStringList sources;      // the files the operation reads
    QStringList soxArgs;      // sox -M <inputs> <output> then these
};

// sox's gain factor of a level step.
QString Factor(int step, bool negate)
{
    const double factor = std::pow(10.0, GainOfStep(step) / 20.0);
    return QString::number(negate ? -factor : factor, 'f', 5);
}

Plan ProcessPlan(const QStringList& files)
{
    Plan plan;
    plan.name = QStringLiteral("process mixdown (24 tracks, gains, one M/S pair)");
    QStringList left, right;
    for (int t = 0; t < kTracks; ++t) {
        plan.present[t] = true;
        plan.steps[t] = short(t % 9);
        plan.pan[t] = short(t % 3);
    }
    // Slots 4 and 5 are an M/S pair: both read on the left.
    plan.pan[4] = plan.pan[5] = 1;
    plan.pairs[2] = true;
    for (int t = 0; t < kTracks; ++t) {
        const QString channel = QString::number(t + 1);
        if (t == 4 || t == 5) {
            left << channel + "v" + Factor(plan.steps[4], false);
            right << channel + "v" + Factor(plan.steps[5], t == 5);
            continue;
        }
        if (plan.pan[t] != 2)
            left << channel + "v" + Factor(plan.steps[t], false);
        if (plan.pan[t] != 0)
            right << channel + "v" + Factor(plan.steps[t], false);
    }
    plan.sources = files;
    plan.soxArgs = QStringList{"remix", left.join(','), right.join(',')};
    return plan;
}

Plan CopyPlan(const QStringList& files)
{
    Plan plan;
    plan.name = QStringLiteral("copy mixdown (2 mix tracks)");
    plan.process = false;
    for (int t = 0; t < kTracks; ++t) {
        plan.present[t] = true;
        plan.steps[t] = 4;
        plan.excluded[t] = t > 1;
        plan.pan[t] = short(t == 0 ? 0 : 2);
    }
    plan.sources = files.mid(0, 2);
    plan.soxArgs = QStringList{"remix", "1", "2"};
    return plan;
}

// The size of the last output an engine wrote.
qint64 g_nOutputBytes = 0;
// The CPU seconds of the last run of ours and of sox: sox works on one
// thread, the engines on several, so wall time alone flatters them.
double g_fOurCpu = 0;
double g_fSoxCpu = 0;
// The engines mix and write on up to this many threads; the bound works on as many.
int EngineThreads() { return qBound(1, QThread::idealThreadCount(), 7); }

// Times one operation of a fresh engine on the take, then removes its output.
double TimeEngine(const QString& takeFolder, const QString& outFolder, bool sync, const QString& output,
                  const std::function<bool(QSoundMixer&)>& operation)
{
    char separators[kTracks];
    std::fill(std::begin(separators), std::end(separators), '_');
    QSoundMixer mixer;
    mixer.m_szDestinationFolder = outFolder + "/";
    mixer.SetSyncOutput(sync);
    mixer.SetFilesParams(takeFolder + "/", QStringLiteral("BENCH1"), separators, QStringLiteral("WAV"));
    // A durable run starts with nothing else waiting for the disk, as cp's does.
    if (sync)
        Run("sync", {});
    const double cpu = CpuSeconds();
    QElapsedTimer timer;
    timer.start();
    const bool ok = operation(mixer);
    const double seconds = Seconds(timer);
    g_fOurCpu = CpuSeconds() - cpu;
    if (!ok) {
        std::fprintf(stderr, "%s failed\n", qPrintable(output));
        std::exit(1);
    }
    g_nOutputBytes = QFileInfo(outFolder + "/" + output).size();
    QFile::remove(outFolder + "/" + output);
    return seconds;
}

double RunMixer(const Plan& plan, const QString& takeFolder, const QString& outFolder, bool sync)
{
    return TimeEngine(takeFolder, outFolder, sync, QStringLiteral("BENCH1MX.WAV"), [&plan](QSoundMixer& mixer) {
        return plan.process
                   ? mixer.BounceStereoMixdown(plan.present, plan.steps, plan.pan, plan.excluded, plan.pairs, 0, nullptr)
                   : mixer.BounceStereoMixdown(plan.present, plan.pan, plan.excluded, nullptr);
    });
}

// An interleave of the first `tracks` slots of a take of that width.
double RunInterleave(int tracks, const QString& takeFolder, const QString& outFolder, bool sync)
{
    bool present[kTracks] = {};
    std::fill(present, present + tracks, true);
    return TimeEngine(takeFolder, outFolder, sync, QStringLiteral("BENCH1PN.WAV"),
                      [&present](QSoundMixer& mixer) { return mixer.Interleave(present, 0, nullptr); });
}

double RunSox(const Plan& plan, const QString& outFolder, int bits = 24)
{
    const QString out = outFolder + "/sox.wav";
    QStringList args{"-V1", "-M"};
    args << plan.sources << "-b" << QString::number(bits) << out << plan.soxArgs;
    const double cpu = CpuSeconds(true);
    QElapsedTimer timer;
    timer.start();
    if (!Run("sox", args))
        std::exit(1);
    const double seconds = Seconds(timer);
    g_fSoxCpu = CpuSeconds(true) - cpu;
    QFile::remove(out);
    return seconds;
}

// Reads the sources and writes the output's bytes, synced, as a durable
// run of the engine must.
double RunBound(const Plan& plan, const QString& outFolder)
{
    Run("sync", {});
    return ReadWriteSyncBound(plan.sources, {{outFolder + "/bound.wav", g_nOutputBytes}}, true, EngineThreads());
}

// Ours without and with fsync, sox, and the bound, in turn.
void Compare(const QString& name, const Plan& plan, double sourceMegabytes,
             const std::function<double(bool)>& ours, const QString& outFolder, int bits = 24)
{
    Warm(plan.sources);
    ours(true);   // the output's size, for the bound
    std::vector<double> ourCpu, soxCpu;
    const auto times = Alternate(5, {[&] {
                                         const double time = ours(false);
                                         ourCpu.push_back(g_fOurCpu);
                                         return time;
                                     },
                                     [&] {
                                         const double time = RunSox(plan, outFolder, bits);
                                         soxCpu.push_back(g_fSoxCpu);
                                         return time;
                                     },
                                     [&] { return ours(true); }, [&] { return RunBound(plan, outFolder); }});
    std::printf("%s, hot, no fsync: %.3f s (%.0f MB/s of source), sox %.3f s: ratio %.2f (target >= 3; sox 1 "
                "thread, ours up to %d)\n",
                qPrintable(name), Median(times[0]), sourceMegabytes / Median(times[0]), Median(times[1]),
                MedianRatio(times[1], times[0]), EngineThreads());
    std::printf("%s, hot, no fsync, CPU time: ours %.3f s, sox %.3f s: ratio %.2f (no target; sox 1 thread, ours up "
                "to %d)\n",
                qPrintable(name), Median(ourCpu), Median(soxCpu), MedianRatio(soxCpu, ourCpu), EngineThreads());
    std::printf("%s, output fsynced: %.3f s, read sources + write and fdatasync %.1f MB %.3f s: ratio %.2f "
                "(target <= 1.5; bound: faster of 1 and %d threads)\n",
                qPrintable(name), Median(times[2]), g_nOutputBytes / 1e6, Median(times[3]),
                MedianRatio(times[2], times[3]), EngineThreads());
    std::fflush(stdout);
}

// A take of 24 mono tracks of that width, in the fixture writer's patterns.
QStringList WriteBenchTake(const QString& folder, int bits, int seconds)
{
    QList<int> slotList;
    for (int t = 0; t < kTracks; ++t)
        slotList.append(t);
    fixture::TakeSpec spec = fixture::MonoTake(QStringLiteral("BENCH1"), slotList);
    spec.bits = quint16(bits);
    spec.frames = quint32(seconds) * 48000u;
    const QStringList files = fixture::WriteTake(folder, spec).files;
    if (files.size() != kTracks)
        std::fprintf(stderr, "cannot write the take in %s\n", qPrintable(folder));
    return files;
}

}  // namespace

int main(int argc, char** argv)
{
    QCoreApplication app(argc, argv);
    QStringList args;
    if (const int exitCode = ReadToolArguments(app.arguments(), "bench_processing [seconds of the take] [folder to work in]", 0, 2, &args); exitCode >= 0)
        return exitCode;
    QuietDebugOutput();
    const int seconds = args.size() > 0 ? std::max(1, args.at(0).toInt()) : 300;
    const QString base = args.size() > 1 ? args.at(1) : QDir::currentPath();
    if (!HaveTool("sox"))
        return 1;
    QTemporaryDir dir(base + "/bench_processing-XXXXXX");
    const QString takeFolder = dir.path() + "/take";
    const QString take16Folder = dir.path() + "/take16";
    const QString outFolder = dir.path() + "/out";
    QDir().mkpath(outFolder);

    const QStringList files = WriteBenchTake(takeFolder, 24, seconds);
    const QStringList files16 = WriteBenchTake(take16Folder, 16, seconds);
    if (files.size() != kTracks || files16.size() != kTracks)
        return 1;
    Run("sync", {});
    const double megabytes = quint32(seconds) * 48000u * 3.0 / 1e6;
    std::printf("take: 24 tracks x %d s, 48 kHz 24-bit, %.1f MB per track (and a 16-bit one)\n", seconds, megabytes);

    for (const Plan& plan : {ProcessPlan(files), CopyPlan(files)}) {
        Compare(plan.name, plan, megabytes * plan.sources.size(),
                [&](bool sync) { return RunMixer(plan, takeFolder, outFolder, sync); }, outFolder);
    }

    for (const int bits : {16, 24}) {
        const QString folder = bits == 16 ? take16Folder : takeFolder;
        const QStringList& all = bits == 16 ? files16 : files;
        for (const int tracks : {8, 24}) {
            Plan plan;
            plan.sources = all.mid(0, tracks);
            const QString name = QStringLiteral("interleave (%1 tracks, %2-bit)").arg(tracks).arg(bits);
            const double input = quint32(seconds) * 48000.0 * (bits / 8) / 1e6 * tracks;
            Compare(name, plan, input, [&](bool sync) { return RunInterleave(tracks, folder, outFolder, sync); },
                    outFolder, bits);
        }
    }
    return 0;
}
