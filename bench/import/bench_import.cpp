// The import of a 24-channel file against peer tools, in one run:
//   (a) hot cache, no fsync: throughput against the faster of two peers,
//       ffmpeg splitting every channel into its own file in one process
//       and one pass, and sox taking one channel per pass (the ratio is the
//       peer's time over ours);
//   (b) outputs fsynced: time against reading the source and writing and
//       syncing as many bytes into as many files as the import writes, on
//       one thread or as many as the import's, whichever is faster.
// Ours, the peers and the bound run in turn, five rounds; the figures are
// medians.
// The source is 48 kHz, 24 bits, 5 minutes by default (the first argument
// sets the seconds, the second the folder to work in).
#include "foundation/toolarguments.h"
#include "bench/support/benchtools.h"

#include "processing/qsoundmixer.h"
#include "tests/support/fixturesamples.h"
#include "tests/support/fixturevariants.h"

#include <QCoreApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QFileInfo>
#include <QProcess>
#include <QStandardPaths>
#include <QTemporaryDir>
#include <QThread>
#include <cstdio>

using namespace bench;

namespace {

constexpr int kChannels = 24;

void PutLe32(QByteArray& bytes, int offset, quint32 v)
{
    for (int i = 0; i < 4; ++i)
        bytes[offset + i] = char((v >> (8 * i)) & 0xFF);
}

// The foreign file: the fixture's header, then one second of the fixture's
// samples repeated.
bool WriteSource(const QString& path, int seconds)
{
    fixture::ForeignSpec spec;
    spec.channels = kChannels;
    spec.bits = 24;
    spec.frames = 0;
    QByteArray header = fixture::BuildForeignFile(spec);
    const quint32 dataSize = quint32(seconds) * 48000u * kChannels * 3;
    const int data = header.indexOf("data");
    PutLe32(header, data + 4, dataSize);
    PutLe32(header, 4, quint32(header.size() - 8) + dataSize);
    QList<int> tracks;
    for (int c = 0; c < kChannels; ++c)
        tracks << c;
    const QByteArray second = fixture::SampleBytes(tracks, 0, 48000, 24);
    QFile file(path);
    if (!file.open(QIODevice::WriteOnly) || file.write(header) != header.size())
        return false;
    for (int s = 0; s < seconds; ++s) {
        if (file.write(second) != second.size())
            return false;
    }
    return true;
}

// The sizes of the files the last import wrote.
std::vector<qint64> g_OutputSizes;

double RunImport(const QString& source, const QString& outFolder, bool sync)
{
    QSoundMixer mixer;
    mixer.SetSyncOutput(sync);
    QElapsedTimer timer;
    timer.start();
    const bool ok = mixer.ImportMono(source, outFolder, QStringLiteral("7T0001"), -1, 0, "25.00", QString(),
                                     nullptr, 10, QString(), 0);
    const double seconds = Seconds(timer);
    if (!ok) {
        std::fprintf(stderr, "import failed\n");
        std::exit(1);
    }
    g_OutputSizes.clear();
    for (const QString& name : QDir(outFolder).entryList(QDir::Files)) {
        g_OutputSizes.push_back(QFileInfo(outFolder + "/" + name).size());
        QFile::remove(outFolder + "/" + name);
    }
    return seconds;
}

// ffmpeg's channel split: one decode of the source, every channel to its
// own 24-bit file. The source read as the layout with 24 channels names
// them in order.
double RunFfmpeg(const QString& source, const QString& outFolder)
{
    QString labels;
    QStringList args{"-v", "error", "-y", "-channel_layout", "22.2", "-i", source};
    for (int c = 0; c < kChannels; ++c)
        labels += QString("[c%1]").arg(c);
    args << "-filter_complex" << "[0:a]channelsplit=channel_layout=22.2" + labels;
    for (int c = 0; c < kChannels; ++c)
        args << "-map" << QString("[c%1]").arg(c) << "-c:a" << "pcm_s24le" << outFolder + QString("/ff%1.wav").arg(c);
    QElapsedTimer timer;
    timer.start();
    if (!Run("ffmpeg", args))
        std::exit(1);
    const double seconds = Seconds(timer);
    for (int c = 0; c < kChannels; ++c)
        QFile::remove(outFolder + QString("/ff%1.wav").arg(c));
    return seconds;
}

// sox, one pass per channel: the other peer; the stronger of the two is
// the one compared.
double RunSoxPasses(const QString& source, const QString& outFolder)
{
    QElapsedTimer timer;
    timer.start();
    for (int c = 0; c < kChannels; ++c) {
        if (!Run("sox", {"-V1", source, "-b", "24", outFolder + QString("/sox%1.wav").arg(c), "remix",
                         QString::number(c + 1)}))
            std::exit(1);
    }
    const double seconds = Seconds(timer);
    for (int c = 0; c < kChannels; ++c)
        QFile::remove(outFolder + QString("/sox%1.wav").arg(c));
    return seconds;
}

// The import reads, cuts and writes on this many threads; the bound works on as many.
int ImportThreads() { return qBound(2, QThread::idealThreadCount() - 2, 4) + 2; }

double RunBound(const QString& source, const QString& outFolder)
{
    std::vector<BoundOutput> outputs;
    for (size_t i = 0; i < g_OutputSizes.size(); ++i)
        outputs.push_back({outFolder + QString("/bound%1.wav").arg(i), g_OutputSizes[i]});
    Run("sync", {});
    return ReadWriteSyncBound({source}, outputs, true, ImportThreads());
}

}  // namespace

int main(int argc, char** argv)
{
    QCoreApplication app(argc, argv);
    QStringList args;
    if (const int exitCode = ReadToolArguments(app.arguments(), "bench_import [seconds of the source] [folder to work in]", 0, 2, &args); exitCode >= 0)
        return exitCode;
    QuietDebugOutput();
    const int seconds = args.size() > 0 ? std::max(1, args.at(0).toInt()) : 300;
    const QString base = args.size() > 1 ? args.at(1) : QDir::currentPath();
    if (!HaveTool("ffmpeg") || !HaveTool("sox"))
        return 1;
    QTemporaryDir dir(base + "/bench_import-XXXXXX");
    const QString source = dir.path() + "/FOREIGN.WAV";
    const QString outFolder = dir.path() + "/out.OVD";
    QDir().mkpath(outFolder);
    if (!WriteSource(source, seconds)) {
        std::fprintf(stderr, "cannot write the source in %s\n", qPrintable(dir.path()));
        return 1;
    }
    Run("sync", {});
    const double megabytes = QFileInfo(source).size() / 1e6;
    std::printf("source: 24 channels x %d s, 48 kHz 24-bit, %.1f MB\n", seconds, megabytes);

    Warm(QStringList{source});
    RunImport(source, outFolder, true);   // the outputs' sizes, for the bound
    const auto times = Alternate(5, {[&] { return RunImport(source, outFolder, false); },
                                     [&] { return RunFfmpeg(source, outFolder); },
                                     [&] { return RunSoxPasses(source, outFolder); },
                                     [&] { return RunImport(source, outFolder, true); },
                                     [&] { return RunBound(source, outFolder); }});
    const bool soxFaster = Median(times[2]) < Median(times[1]);
    const std::vector<double>& peer = soxFaster ? times[2] : times[1];
    std::printf("peers: ffmpeg channel split (one pass) %.3f s, sox one pass per channel (%d passes) %.3f s\n",
                Median(times[1]), kChannels, Median(times[2]));
    std::printf("import, hot, no fsync: %.3f s (%.0f MB/s), the faster peer (%s) %.3f s: ratio %.2f "
                "(target >= 3; peers 1 thread, ours up to %d)\n",
                Median(times[0]), megabytes / Median(times[0]), soxFaster ? "sox" : "ffmpeg", Median(peer),
                MedianRatio(peer, times[0]), ImportThreads());
    std::printf("import, outputs fsynced: %.3f s, read the source + write and fdatasync %zu files %.3f s: ratio %.2f "
                "(target <= 1.5; bound: faster of 1 and %d threads)\n",
                Median(times[3]), g_OutputSizes.size(), Median(times[4]), MedianRatio(times[3], times[4]),
                ImportThreads());
    return 0;
}
