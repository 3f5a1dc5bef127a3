// Take loading and metadata saving against plain file operations on the
// same files, measured in one run. A day of 24-track mono takes is written
// as sparse files (the samples are holes), so a day of long takes needs
// little disk space; the header chunks are real bytes.
#include "bench/support/benchtools.h"
#include "foundation/toolarguments.h"
#include "foundation/fileinfolist.h"
#include "foundation/platform/diskprobes.h"
#include "take/bwfmetadata.h"
#include "take/soundperform.h"
#include "take/takefamily.h"
#include "tests/support/fixturewriter.h"
#include "tests/take/sparsetake.h"

#include <QCoreApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QProcess>
#include <QThread>
#include <QtEndian>
#include <QTemporaryDir>
#include <atomic>
#include <cstdio>
#include <thread>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

using namespace bench;

namespace {

constexpr int kTracks = 24;
// A save syncs its files on up to this many threads side by side.
constexpr int kSyncThreads = 4;

using Day = SparseDay;

Day WriteDay(const QString& root, const QString& name, int takes, int seconds)
{
    return WriteSparseDay(root, name, takes, kTracks, seconds);
}

double Elapsed(const QElapsedTimer& timer) { return Milliseconds(timer); }


double LoadAll(const Day& day)
{
    QSoundPerform take;
    QElapsedTimer timer;
    timer.start();
    for (const QString& id : day.takeIds) {
        if (!take.InitFilesZZ(day.folder + id, QStringLiteral("WAV")))
            std::fprintf(stderr, "load failed: %s\n", qPrintable(id));
    }
    return Elapsed(timer);
}

double QuickLoadAll(const Day& day, const QString& root, const QString& dayName)
{
    QBwfMetadata metadata;
    QElapsedTimer timer;
    timer.start();
    for (const QString& id : day.takeIds) {
        if (metadata.SetupInit(root, QString(), dayName, id, true, false) == QBwfMetadata::SetupLoadFailed)
            std::fprintf(stderr, "quick load failed: %s\n", qPrintable(id));
    }
    return Elapsed(timer);
}

// The single-take save: every file's bext lines, the names, then one
// transaction writes the bext lines and the iXML chunks, one open per file.
// The time of each take's save.
std::vector<double> SaveEach(const Day& day, int round, int count = -1)
{
    QSoundPerform take;
    std::vector<double> times;
    for (const QString& id : day.takeIds.mid(0, count)) {
        if (!take.InitFilesZZ(day.folder + id, QStringLiteral("WAV")))
            continue;
        QElapsedTimer timer;
        timer.start();
        for (int t = 0; t < kTracks; ++t) {
            QSoundFile& file = take.m_SndFile[t];
            const QString name = QStringLiteral("Name %1-%2").arg(t + 1).arg(round % 10);
            file.InsertInBextDescr(QStringLiteral("14B"), QStringLiteral("t"), QString::number(round % 10), 0,
                                   QStringLiteral("note %1").arg(round % 10), QStringLiteral("00000000"),
                                   QStringLiteral("T002"), t, name);
            file.SetiXMLScene(t, QStringLiteral("14B"), 0, false, {}, {});
            file.SetiXMLTake(t, QStringLiteral("t"), QString::number(round % 10), 0);
            take.SetiXMLTrackName(t, name);
        }
        if (!take.UpdateiXMLChunk())
            std::fprintf(stderr, "save failed: %s\n", qPrintable(id));
        times.push_back(Elapsed(timer));
    }
    return times;
}

double SaveAll(const Day& day, int round)
{
    double total = 0;
    for (double time : SaveEach(day, round))
        total += time;
    return total;
}

// Saves with the syncs left to the system, as an unsynced bound's writes.
double SaveAllUnsynced(const Day& day, int round)
{
    SetDiskSyncFunction([](const QVector<int>&) { return true; });
    const double time = SaveAll(day, round);
    SetDiskSyncFunction(DiskSyncFunction());
    return time;
}

// Saves of the first takes while another process writes 1 GB into the
// same folder, from its first write until its data is on the disk: the
// median save, the longest, and the number of saves made while it ran.
double MedianSaveUnderLoad(const Day& day, const QString& root, int round, int* saves, double* longest)
{
    const QString load = root + QStringLiteral("/load.bin");
    QProcess writer;
    writer.start(QStringLiteral("dd"), {QStringLiteral("if=/dev/zero"), QStringLiteral("of=") + load,
                                        QStringLiteral("bs=1M"), QStringLiteral("count=1024"),
                                        QStringLiteral("conv=fsync"), QStringLiteral("status=none")});
    if (!writer.waitForStarted()) {
        std::fprintf(stderr, "dd cannot start\n");
        std::exit(1);
    }
    QThread::msleep(100);
    std::vector<double> times;
    while (writer.state() != QProcess::NotRunning || times.size() < 10) {
        for (double time : SaveEach(day, round++, 5))
            times.push_back(time);
        writer.waitForFinished(0);
    }
    writer.waitForFinished(-1);
    *saves = int(times.size());
    *longest = std::max(*longest, *std::max_element(times.begin(), times.end()));
    QFile::remove(load);
    return Median(times);
}

// Saves of the first takes while `loaders` threads load the whole day over
// and over, the saved takes among them: the median save.
double MedianSaveWhileLoading(const Day& day, int round, int loaders)
{
    std::atomic<bool> stop{false};
    std::vector<std::thread> threads;
    for (int i = 0; i < loaders; ++i)
        threads.emplace_back([&day, &stop, i] {
            QSoundPerform take;
            for (int n = i; !stop.load(); ++n)
                take.InitFilesZZ(day.folder + day.takeIds.at(n % day.takeIds.size()), QStringLiteral("WAV"));
        });
    QThread::msleep(100);
    const double median = Median(SaveEach(day, round, 20));
    stop = true;
    for (std::thread& thread : threads)
        thread.join();
    return median;
}

} // namespace

int main(int argc, char** argv)
{
    QCoreApplication app(argc, argv);
    QStringList args;
    if (const int exitCode = ReadToolArguments(app.arguments(), "bench_take_io [short takes] [long takes]", 0, 2, &args); exitCode >= 0)
        return exitCode;
    const int takes = args.size() > 0 ? args.at(0).toInt() : 200;
    const int longTakes = args.size() > 1 ? args.at(1).toInt() : 20;
    constexpr int kRounds = 5;
    QTemporaryDir dir;
    if (!dir.isValid())
        return 1;
    const QString root = dir.path();
    std::printf("writing %d takes x %d tracks x 10 s and %d takes x %d tracks x 600 s (sparse) in %s\n",
                takes, kTracks, longTakes, kTracks, qPrintable(root));
    const Day shortDay = WriteDay(root, QStringLiteral("short"), takes, 10);
    const Day longDay = WriteDay(root, QStringLiteral("long"), longTakes, 600);
    ::sync();

    // Warm the page cache, then alternate each loader with the bound. The
    // loaders run on this one thread, and so does the bound.
    constexpr int readThreads = 1;
    const Day shortDay8 = WriteSparseDay(root, QStringLiteral("short8"), takes, 8, 10);
    const Day polyDay = WriteSparseDay(root, QStringLiteral("poly"), takes, 8, 10, true);
    // A card's folders were written long before they are browsed; a folder
    // whose entries changed in the last 3 s is not listed for keeping.
    QThread::sleep(3);
    const struct {
        const char* label;
        const Day* day;
        QString name;
    } loadDays[] = {{"24-track", &shortDay, QStringLiteral("short")},
                    {"8-track", &shortDay8, QStringLiteral("short8")},
                    {"8-channel poly", &polyDay, QStringLiteral("poly")}};
    for (const auto& each : loadDays) {
        const Day& day = *each.day;
        HeadTailReads(day.files);
        const auto load = Alternate(kRounds, {[&] { return HeadTailReads(day.files, readThreads); },
                                              [&] { return LoadAll(day); },
                                              [&] { return QuickLoadAll(day, root, each.name); }});
        std::printf("(a) %s takes, %d files: open + first 4 KiB and last 16 KiB read + close %.1f ms (bound: "
                    "%d thread; median of %d)\n",
                    each.label, day.files.size(), Median(load[0]), readThreads, kRounds);
        std::printf("    InitFilesZZ of %d %s takes %.1f ms (1 thread), ratio %.2f (target <= 2; bound %d thread)\n",
                    takes, each.label, Median(load[1]), MedianRatio(load[1], load[0]), readThreads);
        std::printf("    SetupInit quick of %d %s takes %.1f ms (1 thread), ratio %.2f (target <= 2; bound %d "
                    "thread)\n",
                    takes, each.label, Median(load[2]), MedianRatio(load[2], load[0]), readThreads);
    }

    // The bound writes what a save writes (its bext chunk and everything
    // from its iXML chunk on) in place, synced as the save syncs.
    SaveAll(shortDay, 0);
    const QList<QList<Region>> regions = SavedRegions(shortDay.files);
    int round = 1;
    const auto save = Alternate(
        kRounds, {[&] { return SaveAll(shortDay, round++); }, [&] { return WriteRegionsInPlace(shortDay.files, regions, true, kSyncThreads); },
                  [&] { return SaveAllUnsynced(shortDay, round++); },
                  [&] { return WriteRegionsInPlace(shortDay.files, regions, false); }});
    std::printf("(b) %d files: the saved bytes written in place, one fdatasync each, %.1f ms (faster of 1 and %d "
                "threads, as many as the save's sync)\n",
                shortDay.files.size(), Median(save[1]), kSyncThreads);
    std::printf("    save (bext lines, track names, UpdateiXMLChunk; save record and syncs) of %d takes %.1f ms, "
                "ratio %.2f (target <= 3; bound %d threads)\n",
                takes, Median(save[0]), MedianRatio(save[0], save[1]), kSyncThreads);
    std::printf("    the same bytes unsynced %.1f ms; the save with its syncs left to the system %.1f ms, ratio %.2f "
                "(target <= 3; bound 1 thread)\n",
                Median(save[3]), Median(save[2]), MedianRatio(save[2], save[3]));
    // The take's load and the save's look under its lock: two loads' names and a few.
    const quint64 asked = FolderNameProbe::NamesAskedOfDisk();
    SaveAllUnsynced(shortDay, round++);
    PrintNamesAsked("    the load and save of a take", double(FolderNameProbe::NamesAskedOfDisk() - asked) / takes,
                    kTracks, 2.5);

    // A save waits for its own files only, not for what other programs
    // write to the card meanwhile.
    std::vector<double> quiet, loaded;
    int saves = 0;
    double longest = 0;
    for (int r = 0; r < kRounds; ++r) {
        quiet.push_back(Median(SaveEach(shortDay, round++, 20)));
        loaded.push_back(MedianSaveUnderLoad(shortDay, root, round, &saves, &longest));
        round += saves;
    }
    std::printf("(d) save per take %.3f ms quiet, %.3f ms while another process writes 1 GB to the same file "
                "system (%d saves in the last run, longest %.1f ms): ratio %.2f (target <= 3; no bound: 1 thread against itself)\n",
                Median(quiet), Median(loaded), saves, longest, MedianRatio(loaded, quiet));

    // A save waits for the loads of its own take, not for every load of the day.
    constexpr int kDayLoaders = 6;
    std::vector<double> alone, amidLoads;
    for (int r = 0; r < kRounds; ++r) {
        alone.push_back(Median(SaveEach(shortDay, round, 20)));
        amidLoads.push_back(MedianSaveWhileLoading(shortDay, round + 20, kDayLoaders));
        round += 40;
    }
    std::printf("(e) save per take %.3f ms alone, %.3f ms while %d threads load the day over and over: ratio %.2f "
                "(target <= 3; no bound: 1 thread against itself)\n",
                Median(alone), Median(amidLoads), kDayLoaders, MedianRatio(amidLoads, alone));

    const auto length = Alternate(kRounds, {[&] { return SaveAll(shortDay, round++) / takes; },
                                            [&] { return SaveAll(longDay, round++) / longTakes; },
                                            [&] { return SaveAllUnsynced(shortDay, round++) / takes; },
                                            [&] { return SaveAllUnsynced(longDay, round++) / longTakes; }});
    std::printf("(c) save per take: 10 s %.3f ms, 600 s %.3f ms, ratio %.2f (target <= 1.2; no bound: 1 thread against itself)\n", Median(length[0]),
                Median(length[1]), MedianRatio(length[1], length[0]));
    std::printf("    the same, syncs left to the system: 10 s %.3f ms, 600 s %.3f ms, ratio %.2f (target <= 1.2; no bound: 1 thread against itself)\n",
                Median(length[2]), Median(length[3]), MedianRatio(length[3], length[2]));
    return 0;
}
