// Loads one recorder day of 500 takes x 24 mono tracks through the day
// loader into the take list, against a plain listing of the same folder
// plus the head and tail reads of every file, measured in the same run.
#include "foundation/toolarguments.h"
#include "bench/support/benchtools.h"

#include "report/qfileinfolistwidget.h"
#include "report/qfileinfowidget.h"
#include "report/qmetadatathread.h"
#include "foundation/spreadwork.h"
#include "tests/support/fixturewriter.h"

#include <QApplication>
#include <QElapsedTimer>
#include <QFile>
#include <QFileInfo>
#include <QTemporaryDir>

#include <algorithm>
#include <cstdio>
#include <ctime>
#include <vector>

using namespace bench;

namespace {
const int kTakes = 500;
const int kTracks = 24;
const int kRuns = 7;

QString writeDay(const QString& root)
{
    const QString day = fixture::MakeDay(
        fixture::MakeProject(fixture::MakeVolume(root, QStringLiteral("CARD")), QStringLiteral("SHOOT")),
        QDate(2024, 5, 1));
    if (!fixture::WriteCopiedTakes(day, QStringLiteral("BR"), kTakes, kTracks))
        qFatal("cannot write the test day");
    return day;
}

// The bound reads the headers on as many threads as the loader loads the
// day's takes on.
int LoaderThreads() { return TakeLoaderThreads(kTakes); }

// The listing, then what a loader must read of each file: its head and its
// tail, where the iXML lies; the reads are the faster of one thread and as
// many as the loaders use.
double plainListingAndHeaders(const QString& day)
{
    QStringList paths;
    const double listing = PlainListing(day, QStringLiteral(".WAV"), &paths);
    if (paths.isEmpty())
        qFatal("nothing listed");
    return listing + HeadTailReads(paths, LoaderThreads());
}

// CPU time of the calling thread: the list's share of the load.
double ThreadCpuMs()
{
    timespec now{};
    clock_gettime(CLOCK_THREAD_CPUTIME_ID, &now);
    return now.tv_sec * 1e3 + now.tv_nsec / 1e6;
}

struct tLoad
{
    double guiCpu = 0;
    double names = 0;
    double firstRow = 0;
    double records = 0;
};

tLoad loadDay(QMetadataThread* loader, QFileInfoListWidget* list, const QString& volume, const QString& dayName)
{
    tLoad result;
    QElapsedTimer timer;
    bool done = false;
    int received = 0;
    QObject context;
    QObject::connect(loader, &QMetadataThread::signal_List, &context,
                     [&](QStringList) { result.names = timer.nsecsElapsed() / 1e6; });
    // The records arrive in any order: the first row is that of index 0,
    // and the load is done once every record has arrived.
    QObject::connect(loader, &QMetadataThread::signal_Data, &context, [&](int index, QString, tyTakeMetadata) {
        if (index == 0) {
            // The first row is on screen once the list has painted it.
            if (list) {
                list->repaint();
                list->Row(0)->repaint();
            }
            result.firstRow = timer.nsecsElapsed() / 1e6;
        }
        if (++received == kTakes) {
            result.records = timer.nsecsElapsed() / 1e6;
            done = true;
        }
    });
    if (list)
        list->slot_List({});
    const double cpuBefore = ThreadCpuMs();
    timer.start();
    loader->SetDayDir(volume, QStringLiteral("SHOOT.BR1"), dayName);
    while (!done)
        QCoreApplication::processEvents(QEventLoop::WaitForMoreEvents);
    result.guiCpu = ThreadCpuMs() - cpuBefore;
    return result;
}
}  // namespace

int main(int argc, char** argv)
{
    qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);
    QuietDebugOutput();
    QStringList args;
    if (const int exitCode = ReadToolArguments(app.arguments(), "bench_day_loader", 0, 0, &args); exitCode >= 0)
        return exitCode;
    QTemporaryDir scratch;
    const QString day = writeDay(scratch.path());
    const QString volume = scratch.path() + QStringLiteral("/CARD");
    const QString dayName = QFileInfo(day).fileName();

    QFileInfoListWidget list;
    list.resize(1400, 700);
    list.show();
    tyReportBlock layout[2][28];
    for (int l = 0; l < 2; ++l)
        for (int c = 0; c < 28; ++c)
            layout[l][c] = DefaultReportDataLayout[l][c];
    QMetadataThread loader;
    QObject::connect(&loader, &QMetadataThread::signal_State, &list,
                     &QFileInfoListWidget::slot_MetadataThreadStateChanged);
    QObject::connect(&loader, &QMetadataThread::signal_Data, &list, &QFileInfoListWidget::slot_Data);
    QObject::connect(&loader, &QMetadataThread::signal_List, &list, &QFileInfoListWidget::slot_List);
    loader.SetDataSetup(&layout[0][0], 2, 28, 1, false, CircleDisplayTake);
    list.SetupDataLine(0, layout[0]);
    list.SetupDataLine(1, layout[1]);

    plainListingAndHeaders(day);   // warm the cache for both sides
    loadDay(&loader, &list, volume, dayName);
    // The loader on its own reads the same records without a list to fill.
    QMetadataThread bare;
    bare.SetDataSetup(&layout[0][0], 2, 28, 1, false, CircleDisplayTake);
    // The bound and ours alternate; each pair gives a ratio, the median of
    // the ratios is the figure.
    std::vector<double> plain, names, first, records, bareRecords, guiCpu;
    std::vector<double> namesRatio, recordsRatio, bareRatio;
    for (int run = 0; run < kRuns; ++run) {
        plain.push_back(plainListingAndHeaders(day));
        const tLoad load = loadDay(&loader, &list, volume, dayName);
        names.push_back(load.names);
        first.push_back(load.firstRow);
        records.push_back(load.records);
        guiCpu.push_back(load.guiCpu);
        bareRecords.push_back(loadDay(&bare, nullptr, volume, dayName).records);
        namesRatio.push_back(names.back() / plain.back());
        recordsRatio.push_back(records.back() / plain.back());
        bareRatio.push_back(bareRecords.back() / plain.back());
    }
    std::printf("day of %d takes x %d tracks (%d files); plain listing + head and tail reads of each file: %.1f ms "
                "(bound: faster of 1 and %d threads; median of %d alternated runs)\n",
                kTakes, kTracks, kTakes * kTracks, Median(plain), LoaderThreads(), kRuns);
    std::printf("take names listed: %.1f ms, ratio %.2f (target <= 1.3; bound %d threads)\n", Median(names),
                Median(namesRatio), LoaderThreads());
    std::printf("first row visible: %.1f ms, ratio %.2f to 100 ms (target <= 1; no bound: a budget)\n", Median(first),
                Median(first) / 100.0);
    std::printf("all records: %.1f ms (the list's thread busy %.1f ms of it), ratio %.2f (target <= 3.3; bound %d threads)\n",
                Median(records), Median(guiCpu), Median(recordsRatio), LoaderThreads());
    std::printf("all records, loader alone: %.1f ms, ratio %.2f (target <= 3; bound %d threads)\n",
                Median(bareRecords), Median(bareRatio), LoaderThreads());
    return 0;
}
