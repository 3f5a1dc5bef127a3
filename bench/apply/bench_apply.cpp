// The editor's Apply, through the window's own save of the selected takes,
// against the same bytes written in place into the same files, measured in
// one run: one take (the editor's single mode) and 50 takes (several-take
// mode), of 8 and of 24 mono files each.
#include "bench/support/benchtools.h"
#include "foundation/platform/diskprobes.h"
#include "foundation/toolarguments.h"
#include "mainwindow/dlgmain.h"
#include "tests/take/sparsetake.h"

#include <QApplication>
#include <QTemporaryDir>
#include <cstdio>
#include <unistd.h>

using namespace bench;

namespace {

// A save syncs its files on up to this many threads side by side.
constexpr int kSyncThreads = 4;

// What the editor passes for each take: a new note and tape each round (so
// every Apply writes), the track names as they stand (the editor sends them
// all, changed or not).
double Apply(DlgMain& window, const SparseDay& day, int tracks, int round)
{
    const bool multi = day.takeIds.size() > 1;
    QString names[DlgMain::kTracks];
    for (int t = 0; t < tracks; ++t)
        names[t] = QStringLiteral("Boom %1").arg(t + 1);
    const QString note = QStringLiteral("note %1").arg(round % 10);
    const QString tape = QStringLiteral("T00%1").arg(round % 10);
    QStringList paths;
    for (const QString& id : day.takeIds)
        paths << day.folder + id;
    DlgMain::tyEditorValues values;
    values.bMulti = multi;
    values.czScene = multi ? QString() : QStringLiteral("14B");
    values.czTakePrefix = multi ? QString() : QStringLiteral("t");
    values.czTakeNumber = multi ? QString() : QStringLiteral("3");
    values.nScTkTemplate = multi ? -1 : 0;
    values.czNote = note;
    values.czUbits = QStringLiteral("00000000");
    values.czTape = tape;
    values.czCircled = QStringLiteral("FALSE");
    values.pczTrackNames = names;
    QElapsedTimer timer;
    timer.start();
    window.SaveMetadata(paths, QStringLiteral("WAV"), values);
    return Milliseconds(timer);
}

double ApplyUnsynced(DlgMain& window, const SparseDay& day, int tracks, int round)
{
    SetDiskSyncFunction([](const QVector<int>&) { return true; });
    const double time = Apply(window, day, tracks, round);
    SetDiskSyncFunction(DiskSyncFunction());
    return time;
}

} // namespace

int main(int argc, char** argv)
{
    QApplication app(argc, argv);
    QuietDebugOutput();
    QStringList args;
    if (const int exitCode = ReadToolArguments(app.arguments(), "bench_apply [rounds]", 0, 1, &args); exitCode >= 0)
        return exitCode;
    const int rounds = args.isEmpty() ? 7 : std::max(5, args.at(0).toInt());
    QTemporaryDir dir;
    if (!dir.isValid())
        return 1;
    DlgMain window;
    window.m_bEditMetadata = true;
    std::printf("Apply (DlgMain::SaveMetadata of the takes) against the same bytes written in place; %d rounds\n",
                rounds);
    for (const int takes : {1, 50}) {
        for (const int tracks : {8, 24}) {
            const QString name = QStringLiteral("day-%1x%2").arg(takes).arg(tracks);
            const SparseDay day = WriteSparseDay(dir.path(), name, takes, tracks, 10);
            ::sync();
            // The first Apply makes the documents what every later one
            // rewrites; the bound writes the bytes it leaves.
            int round = 0;
            Apply(window, day, tracks, round++);
            const QList<QList<Region>> regions = SavedRegions(day.files);
            const auto times = Alternate(
                rounds, {[&] { return ApplyUnsynced(window, day, tracks, round++); },
                         [&] { return WriteRegionsInPlace(day.files, regions, false); },
                         [&] { return Apply(window, day, tracks, round++); },
                         [&] { return WriteRegionsInPlace(day.files, regions, true, kSyncThreads); }});
            std::printf("%2d takes x %2d files: Apply, syncs left to the system, %.2f ms; the bytes written in place "
                        "%.2f ms (bound 1 thread): ratio %.2f (target <= 3)\n",
                        takes, tracks, Median(times[0]), Median(times[1]), MedianRatio(times[0], times[1]));
            std::printf("%2d takes x %2d files: Apply synced %.2f ms; the bytes written in place, fdatasync each "
                        "%.2f ms (bound: faster of 1 and %d threads): ratio %.2f (target <= 2)\n",
                        takes, tracks, Median(times[2]), Median(times[3]), kSyncThreads,
                        MedianRatio(times[2], times[3]));
            std::fflush(stdout);
        }
    }
    return 0;
}
