// Take loading and metadata saving against plain file operations on the
// same files, measured in one run. A day of 24-track mono takes is written
// as sparse files (the samples are holes), so a day of long takes needs
// little disk space; the header chunks are real bytes.
#include "foundation/toolarguments.h"
#include "foundation/fileinfolist.h"
#include "foundation/platform/diskprobes.h"
#include "take/bwfmetadata.h"
#include "take/soundperform.h"
#include "tests/support/fixturewriter.h"
#include "tests/take/sparsetake.h"

#include <QCoreApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QTemporaryDir>
#include <cstdio>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace {

constexpr int kTracks = 24;

struct Day {
    QString folder;
    QStringList takeIds;
    QStringList files;
};

QString TakeId(int n) { return QStringLiteral("B%1").arg(n, 5, 10, QLatin1Char('0')); }

Day WriteDay(const QString& root, const QString& name, int takes, int seconds)
{
    Day day;
    day.folder = root + QLatin1Char('/') + name + QLatin1Char('/');
    QList<int> slotList;
    for (int t = 0; t < kTracks; ++t)
        slotList.append(t);
    for (int n = 0; n < takes; ++n) {
        fixture::TakeSpec spec = fixture::MonoTake(TakeId(n), slotList);
        spec.frames = 4800;   // the samples written; the rest is a hole
        for (int i = 0; i < spec.tracks.size(); ++i) {
            const QString path = day.folder + fixture::TrackFileName(spec, i);
            if (!WriteSparseCopy(path, fixture::BuildMonoFile(spec, i), quint32(seconds) * 48000u * 3u)) {
                std::fprintf(stderr, "cannot write %s\n", qPrintable(path));
                std::exit(1);
            }
            day.files.append(path);
        }
        day.takeIds.append(TakeId(n));
    }
    return day;
}

double Elapsed(const QElapsedTimer& timer) { return timer.nsecsElapsed() / 1e6; }

// The least a loader must do per file: open it, read the head (fmt, bext)
// and the tail where the iXML lies, close it.
double OpenReadClose(const Day& day)
{
    QByteArray head(4 * 1024, '\0');
    QByteArray tail(16 * 1024, '\0');
    QElapsedTimer timer;
    timer.start();
    for (const QString& path : day.files) {
        const int fd = ::open(QFile::encodeName(path).constData(), O_RDONLY | O_CLOEXEC);
        struct stat info;
        if (fd < 0 || ::fstat(fd, &info) != 0 || ::pread(fd, head.data(), size_t(head.size()), 0) <= 0
            || ::pread(fd, tail.data(), size_t(tail.size()), info.st_size - tail.size()) <= 0)
            std::fprintf(stderr, "read failed: %s\n", qPrintable(path));
        if (fd >= 0)
            ::close(fd);
    }
    return Elapsed(timer);
}

double OpenWriteClose(const Day& day)
{
    // Each file's own last 4 KiB written back in place: same work, same bytes.
    QList<QByteArray> blocks;
    for (const QString& path : day.files) {
        QFile file(path);
        file.open(QIODevice::ReadOnly);
        file.seek(file.size() - 4096);
        blocks.append(file.read(4096));
    }
    QElapsedTimer timer;
    timer.start();
    for (int i = 0; i < day.files.size(); ++i) {
        QFile file(day.files.at(i));
        if (!file.open(QIODevice::ReadWrite) || !file.seek(file.size() - 4096)
            || file.write(blocks.at(i)) != 4096)
            std::fprintf(stderr, "write failed: %s\n", qPrintable(day.files.at(i)));
        file.close();
    }
    return Elapsed(timer);
}

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
double SaveAll(const Day& day, int round)
{
    QSoundPerform take;
    double total = 0;
    for (const QString& id : day.takeIds) {
        if (!take.InitFilesZZ(day.folder + id, QStringLiteral("WAV")))
            continue;
        QElapsedTimer timer;
        timer.start();
        for (int t = 0; t < kTracks; ++t) {
            QSoundFile& file = take.m_SndFile[t];
            const QString name = QStringLiteral("Name %1-%2").arg(t + 1).arg(round);
            file.InsertInBextDescr(QStringLiteral("14B"), QStringLiteral("t"), QString::number(round), 0,
                                   QStringLiteral("note %1").arg(round), QStringLiteral("00000000"),
                                   QStringLiteral("T002"), t, name);
            file.SetiXMLScene(t, QStringLiteral("14B"), 0, false, {}, {});
            file.SetiXMLTake(t, QStringLiteral("t"), QString::number(round), 0);
            take.SetiXMLTrackName(t, name);
        }
        if (!take.UpdateiXMLChunk())
            std::fprintf(stderr, "save failed: %s\n", qPrintable(id));
        total += Elapsed(timer);
    }
    return total;
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
    QTemporaryDir dir;
    if (!dir.isValid())
        return 1;
    const QString root = dir.path();
    std::printf("writing %d takes x %d tracks x 10 s and %d takes x %d tracks x 600 s (sparse) in %s\n",
                takes, kTracks, longTakes, kTracks, qPrintable(root));
    const Day shortDay = WriteDay(root, QStringLiteral("short"), takes, 10);
    const Day longDay = WriteDay(root, QStringLiteral("long"), longTakes, 600);

    // Warm the page cache, then measure.
    OpenReadClose(shortDay);
    const double bound = OpenReadClose(shortDay);
    const double load = LoadAll(shortDay);
    const double quick = QuickLoadAll(shortDay, root, QStringLiteral("short"));
    std::printf("(a) %d files: open + first 4 KiB and last 16 KiB read + close %.1f ms\n", shortDay.files.size(), bound);
    std::printf("    InitFilesZZ of %d takes %.1f ms, ratio %.2f (target <= 2)\n", takes, load, load / bound);
    std::printf("    SetupInit quick of %d takes %.1f ms, ratio %.2f (target <= 2)\n", takes, quick, quick / bound);

    OpenWriteClose(shortDay);
    const double writeBound = OpenWriteClose(shortDay);
    const double save = SaveAll(shortDay, 1);
    std::printf("(b) %d files: open read-write + 4 KiB write + close %.1f ms\n", shortDay.files.size(), writeBound);
    std::printf("    save (bext lines, track names, UpdateiXMLChunk; save record and syncs) of %d takes %.1f ms, "
                "ratio %.2f (target <= 3)\n",
                takes, save, save / writeBound);
    // The same saves with the two syncs per take (the record's, the
    // members') left to the system, as the bound's writes are: the rest of
    // the save, the save record's file included.
    SetDiskSyncFunction([](const QVector<int>&) { return true; });
    const double unsynced = SaveAll(shortDay, 3);
    SetDiskSyncFunction(DiskSyncFunction());
    std::printf("    the same, syncs left to the system: %.1f ms, ratio %.2f (target <= 3)\n", unsynced,
                unsynced / writeBound);

    const double saveShort = SaveAll(shortDay, 2) / takes;
    const double saveLong = SaveAll(longDay, 2) / longTakes;
    std::printf("(c) save per take: 10 s %.3f ms, 600 s %.3f ms, ratio %.2f (target <= 1.2)\n", saveShort,
                saveLong, saveLong / saveShort);
    // A volume sync waits for whatever else the system wrote meanwhile:
    // the same figure without the syncs shows the save's own cost.
    SetDiskSyncFunction([](const QVector<int>&) { return true; });
    const double unsyncedShort = SaveAll(shortDay, 4) / takes;
    const double unsyncedLong = SaveAll(longDay, 4) / longTakes;
    SetDiskSyncFunction(DiskSyncFunction());
    std::printf("    the same, syncs left to the system: 10 s %.3f ms, 600 s %.3f ms, ratio %.2f (target <= 1.2)\n",
                unsyncedShort, unsyncedLong, unsyncedLong / unsyncedShort);
    return 0;
}
