// The import of a 24-channel file against peer tools, in one run:
//   (a) hot cache, no fsync: throughput against sox extracting the same
//       mono files, one "sox in out remix k" per channel (the ratio is
//       sox's time over ours);
//   (b) outputs fsynced: time against cp of the same file plus sync.
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
#include <QProcess>
#include <QStandardPaths>
#include <QTemporaryDir>
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

double RunImport(const QString& source, const QString& outFolder, bool sync)
{
    QSoundMixer mixer;
    mixer.SetSyncOutput(sync);
    QElapsedTimer timer;
    timer.start();
    const bool ok = mixer.ImportMono(source, outFolder, QStringLiteral("7T0001"), -1, 0, "25.00", QString(),
                                     nullptr, 10, QString());
    const double seconds = Seconds(timer);
    if (!ok) {
        std::fprintf(stderr, "import failed\n");
        std::exit(1);
    }
    for (const QString& name : QDir(outFolder).entryList(QDir::Files))
        QFile::remove(outFolder + "/" + name);
    return seconds;
}

double RunSox(const QString& source, const QString& outFolder)
{
    QElapsedTimer timer;
    timer.start();
    for (int c = 1; c <= kChannels; ++c) {
        if (!Run("sox", {"-V1", source, outFolder + QString("/sox%1.wav").arg(c), "remix", QString::number(c)}))
            std::exit(1);
    }
    const double seconds = Seconds(timer);
    for (int c = 1; c <= kChannels; ++c)
        QFile::remove(outFolder + QString("/sox%1.wav").arg(c));
    return seconds;
}

double RunCopySync(const QString& source, const QString& outFolder)
{
    const QString target = outFolder + "/cp";
    QDir().mkpath(target);
    QElapsedTimer timer;
    timer.start();
    if (!Run("cp", {source, target}) || !Run("sync", {}))
        std::exit(1);
    const double seconds = Seconds(timer);
    QDir(target).removeRecursively();
    return seconds;
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
    if (!HaveTool("sox"))
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
    const double ours = Best(3, [&] { return RunImport(source, outFolder, false); });
    const double sox = Best(1, [&] { return RunSox(source, outFolder); });
    std::printf("import, hot, no fsync: %.3f s (%.0f MB/s), sox remix per channel %.3f s: ratio %.2f (target >= 3)\n",
                ours, megabytes / ours, sox, sox / ours);
    const double oursSync = Best(2, [&] { return RunImport(source, outFolder, true); });
    const double cp = Best(2, [&] { return RunCopySync(source, outFolder); });
    std::printf("import, outputs fsynced: %.3f s, cp + sync %.3f s: ratio %.2f (target <= 1.5)\n", oursSync, cp,
                oursSync / cp);
    return 0;
}
