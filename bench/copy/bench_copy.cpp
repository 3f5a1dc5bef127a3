// The copy engine against peers, in one run:
//   (a) copyFile of a card-like tree (24 large files and 2000 small ones)
//       against cp -r of the same tree, each followed by a sync of the files
//       and folders it wrote (only those, the same way for both), with a hot
//       cache and a cold one (the tree's own pages dropped);
//   (b) processInterleave through the copier against the take loaded and
//       the engine called directly on it (hot cache).
// Arguments: [MiB per large file, default 64] [seconds of the take, default
// 300] [folder to work in, default the current one].
#include "foundation/toolarguments.h"
#include "bench/support/benchtools.h"

#include "fileprocess/qfilecopier.h"
#include "foundation/platform/diskprobes.h"
#include "processing/qsoundmixer.h"
#include "take/soundperform.h"
#include "tests/support/fixturewriter.h"

#include <QCoreApplication>
#include <QDir>
#include <QDirIterator>
#include <QElapsedTimer>
#include <QEventLoop>
#include <QFile>
#include <QProcess>
#include <QTemporaryDir>
#include <cstdio>
#include <fcntl.h>
#include <functional>
#include <unistd.h>

using namespace bench;

namespace {

bool WriteFile(const QString& path, qint64 size, char seed)
{
    QFile file(path);
    if (!file.open(QIODevice::WriteOnly))
        return false;
    QByteArray block(1 << 20, '\0');
    for (int i = 0; i < block.size(); ++i)
        block[i] = char(seed + i * 31 + (i >> 9));
    for (qint64 done = 0; done < size;) {
        const qint64 n = qMin<qint64>(block.size(), size - done);
        if (file.write(block.constData(), n) != n)
            return false;
        done += n;
    }
    return true;
}

// Runs one copier batch to its end; false when an error was reported.
bool CopierBatch(const std::function<void(QFileCopier&)>& enqueue)
{
    QFileCopier copier;
    bool failed = false;
    QEventLoop loop;
    QObject::connect(&copier, &QFileCopier::error, &loop, [&failed](int, QFileCopier::Error e, bool) {
        std::fprintf(stderr, "copier error %d\n", int(e));
        failed = true;
    });
    QObject::connect(&copier, &QFileCopier::done, &loop, &QEventLoop::quit);
    enqueue(copier);
    loop.exec();
    return !failed;
}

// The files and folders below folder (itself included).
QStringList TreeEntries(const QString& folder)
{
    QStringList entries{folder};
    QDirIterator it(folder, QDir::Files | QDir::Dirs | QDir::Hidden | QDir::NoDotAndDotDot,
                    QDirIterator::Subdirectories);
    while (it.hasNext())
        entries << it.next();
    return entries;
}

// Puts what a copy wrote below folder on the disk: its files and folders
// only, synced side by side in batches.
bool SyncTree(const QString& folder)
{
    const QStringList entries = TreeEntries(folder);
    bool synced = true;
    for (int first = 0; first < entries.size(); first += 256) {
        QVector<int> descriptors;
        for (const QString& entry : entries.mid(first, 256)) {
            const int fd = ::open(QFile::encodeName(entry).constData(), O_RDONLY | O_CLOEXEC);
            synced = synced && fd >= 0;
            if (fd >= 0)
                descriptors << fd;
        }
        synced = SyncFiles(descriptors) == 0 && synced;
        for (const int fd : descriptors)
            ::close(fd);
    }
    return synced;
}

// Drops the cached pages of the files below folder (written back already),
// so that they are read from the disk again; the rest of the page cache stays.
void DropTreeCache(const QString& folder)
{
    for (const QString& entry : TreeEntries(folder)) {
        const int fd = ::open(QFile::encodeName(entry).constData(), O_RDONLY | O_CLOEXEC);
        if (fd >= 0) {
            ::posix_fadvise(fd, 0, 0, POSIX_FADV_DONTNEED);
            ::close(fd);
        }
    }
}

void Line(const char* what, const std::vector<double>& peer, const std::vector<double>& ours, const char* peerName,
          double target, const char* threads)
{
    std::printf("%-44s %s %.3f s, ours %.3f s (medians of %zu alternated runs): ratio %.3f (target >= %.2f; %s)\n", what,
                peerName, Median(peer), Median(ours), ours.size(), MedianRatio(peer, ours), target, threads);
    std::fflush(stdout);
}

}  // namespace

int main(int argc, char** argv)
{
    QCoreApplication app(argc, argv);
    QStringList args;
    if (const int exitCode = ReadToolArguments(app.arguments(), "bench_copy [MiB per large file] [seconds of the take] [folder to work in]", 0, 3, &args); exitCode >= 0)
        return exitCode;
    QuietDebugOutput();
    const qint64 bigMiB = args.size() > 0 ? qMax(1, args.at(0).toInt()) : 64;
    const int seconds = args.size() > 1 ? qMax(1, args.at(1).toInt()) : 300;
    const QString base = args.size() > 2 ? args.at(2) : QDir::currentPath();
    QTemporaryDir dir(base + "/bench_copy-XXXXXX");
    const QString tree = dir.path() + "/card";
    QDir().mkpath(tree + "/big");
    QDir().mkpath(tree + "/small/.hidden");
    qint64 treeBytes = 0;
    for (int i = 0; i < 24; ++i) {
        if (!WriteFile(QStringLiteral("%1/big/T%2_1.WAV").arg(tree).arg(i, 3, 10, QLatin1Char('0')), bigMiB << 20, char(i)))
            return 1;
        treeBytes += bigMiB << 20;
    }
    for (int i = 0; i < 2000; ++i) {
        const qint64 size = 512 + (i * 7919) % 16384;
        const QString folder = tree + (i % 10 == 0 ? "/small/.hidden" : "/small");
        if (!WriteFile(QStringLiteral("%1/f%2.bin").arg(folder).arg(i), size, char(i)))
            return 1;
        treeBytes += size;
    }
    std::printf("tree: 24 x %lld MiB + 2000 files of 0.5..16 KiB, %.1f MiB in all\n", bigMiB,
                treeBytes / 1048576.0);

    const QString cpOut = dir.path() + "/cp", ourOut = dir.path() + "/ours";
    ::sync();   // the tree written back once: its pages can be dropped
    auto prepare = [&](bool cold) {
        cold ? DropTreeCache(tree) : Warm(QStringList{tree});
    };
    auto timeCp = [&](bool cold) {
        QDir(cpOut).removeRecursively();
        prepare(cold);
        QElapsedTimer timer;
        timer.start();
        if (!Run("cp", {"-r", tree, cpOut}) || !SyncTree(cpOut))
            std::exit(1);
        return Seconds(timer);
    };
    auto timeOurs = [&](bool cold) {
        QDir(ourOut).removeRecursively();
        QDir().mkpath(ourOut);
        prepare(cold);
        QElapsedTimer timer;
        timer.start();
        if (!CopierBatch([&](QFileCopier& c) { c.copy(tree, ourOut, QFileCopier::NonInteractive); })
            || !SyncTree(ourOut))
            std::exit(1);
        return Seconds(timer);
    };
    auto pair = [&](bool cold, const char* what) {
        const auto times = Alternate(5, {[&] { return timeCp(cold); }, [&] { return timeOurs(cold); }});
        Line(what, times[0], times[1], "cp -r + sync of its files", 0.9,
             "cp copies on 1 thread and its files sync on up to 4; ours 1 thread");
    };
    pair(false, "copyFile tree, hot cache, fsynced");
    pair(true, "copyFile tree, cold cache, fsynced");
    QDir(cpOut).removeRecursively();
    QDir(ourOut).removeRecursively();

    // (b) The interleave of an 8-track take, through the copier and direct.
    const QString take = dir.path() + "/take";
    fixture::TakeSpec spec = fixture::MonoTake(QStringLiteral("BENCH1"), {0, 1, 2, 3, 4, 5, 6, 7});
    spec.bits = 24;
    spec.frames = quint32(seconds) * 48000u;
    const QStringList files = fixture::WriteTake(take, spec).files;
    if (files.size() != 8)
        return 1;
    std::printf("take: 8 tracks x %d s, 48 kHz, 24 bits, %.1f MiB of audio\n", seconds,
                8.0 * spec.frames * 3 / 1048576.0);
    const QString out = dir.path() + "/pn";
    QDir().mkpath(out);
    Warm(QStringList{take});
    // The engine cannot be called before the take is loaded: which members
    // exist, their separators and folder come from the load, on both sides.
    auto direct = [&] {
        QElapsedTimer timer;
        timer.start();
        QSoundPerform loaded;
        loaded.ResetVariables();
        if (!loaded.InitFilesZZ(take + "/BENCH1", QStringLiteral("WAV")))
            std::exit(1);
        QSoundMixer mixer;
        mixer.m_szDestinationFolder = out + "/";
        mixer.SetFilesParams(loaded.m_czTakeFolder, loaded.m_czBaseName, loaded.m_pcSeparator, loaded.m_czExtension);
        if (!mixer.Interleave(loaded.m_pbPresent, 0, nullptr))
            std::exit(1);
        const double s = Seconds(timer);
        QFile::remove(out + "/BENCH1PN.WAV");
        return s;
    };
    auto viaCopier = [&] {
        QElapsedTimer timer;
        timer.start();
        if (!CopierBatch([&](QFileCopier& c) {
                c.copy(files.first(), out, QFileCopier::ProcessInterleave | QFileCopier::NonInteractive);
            }))
            std::exit(1);
        const double s = Seconds(timer);
        QFile::remove(out + "/BENCH1PN.WAV");
        return s;
    };
    // The two differ by about a millisecond of fixed cost on a run of about
    // 0.2 s whose page-cache writes swing by tens of milliseconds: more pairs
    // than the tree's, so that the median is not one noisy moment.
    const auto times = Alternate(11, {direct, viaCopier});
    Line("processInterleave via copier, hot cache", times[0], times[1], "load + engine direct", 0.97, "bound on as many threads as ours");
    return 0;
}
