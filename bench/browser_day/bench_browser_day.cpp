// Lists and classifies one recorder day of 500 takes x 24 mono tracks through
// the browser model and filters it through the proxy, against a plain
// QDir::entryInfoList of the same folder; then a day of 4,000 takes: its
// listing, a refresh, and one new take brought in by the folder watch's
// update, each against the same plain listing; then the volume poller's CPU
// cost per second with 10 volumes.
#include "foundation/toolarguments.h"
#include "bench/support/benchtools.h"

#include "browser/qbriselfsfilterproxymodel.h"
#include "browser/qbriselfsmodel.h"
#include "browser/qmediathread.h"
#include "tests/support/fixturewriter.h"

#include <QApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QTemporaryDir>
#include <QThread>

#include <sys/resource.h>

#include <algorithm>
#include <cstdio>
#include <vector>

using namespace bench;

namespace {
const int kTakes = 500;
const int kLargeTakes = 4000;
const int kLargeRuns = 3;
const int kTracks = 24;
const int kRuns = 7;
const int kVolumes = 10;
const int kPollSeconds = 3;
// The threads a day's listing judges its files on beside the window's.
const int kDayHelpers = 2;

// The track files of one take; empty files when no bytes are given
// (the browser reads names only).
void writeTake(const QString& day, const fixture::TakeSpec& spec, const QList<QByteArray>& tracks)
{
    for (int i = 0; i < kTracks; ++i) {
        QFile out(day + QLatin1Char('/') + fixture::TrackFileName(spec, i));
        const QByteArray bytes = tracks.isEmpty() ? QByteArray() : tracks.at(i);
        if (!out.open(QIODevice::WriteOnly) || out.write(bytes) != bytes.size())
            qFatal("cannot write the test day");
    }
}

QString writeDay(const QString& root, int takes, bool empty)
{
    const QString day = fixture::MakeDay(
        fixture::MakeProject(fixture::MakeVolume(root, QStringLiteral("CARD")), QStringLiteral("SHOOT")),
        QDate(2024, 5, 1));
    QList<int> trackSlots;
    for (int s = 0; s < kTracks; ++s)
        trackSlots << s;
    // One take's bytes serve every take, but for the take they name.
    fixture::TakeSpec spec = fixture::MonoTake(QStringLiteral("BR0000"), trackSlots);
    spec.frames = 480;
    QList<QByteArray> tracks;
    for (int i = 0; i < kTracks; ++i)
        tracks << fixture::BuildMonoFile(spec, i);
    for (int t = 0; t < takes; ++t) {
        const QString named = spec.id;
        spec.id = QStringLiteral("BR%1").arg(t, 4, 10, QLatin1Char('0'));
        // Each take's files name it, as the recorder's do.
        for (QByteArray& track : tracks) {
            if (!fixture::NameTakeInBext(&track, named, spec.id))
                qFatal("cannot name the take");
        }
        writeTake(day, spec, empty ? QList<QByteArray>() : tracks);
    }
    return day;
}

double plainListing(const QString& day)
{
    QElapsedTimer clock;
    clock.start();
    const QFileInfoList entries =
        QDir(day).entryInfoList(QDir::Dirs | QDir::Files | QDir::NoDotAndDotDot, QDir::Name);
    const double ms = clock.nsecsElapsed() / 1e6;
    if (entries.isEmpty())
        qFatal("empty day");
    return ms;
}

// A day of 4,000 takes x 24 tracks: listing, refresh and one new take seen
// through the watch (the update the watch runs on a change, timed without
// the change notice's debounce), each against QDir::entryInfoList.
void largeDay()
{
    QTemporaryDir root;
    std::printf("writing %d takes x %d tracks (empty files)...\n", kLargeTakes, kTracks);
    const QString day = writeDay(root.path(), kLargeTakes, true);
    qputenv("NALVO_VOLUMES_ROOT", root.path().toUtf8());
    QList<int> trackSlots;
    for (int s = 0; s < kTracks; ++s)
        trackSlots << s;

    std::vector<double> plain, listing, refresh, watch;
    for (int run = 0; run < kLargeRuns; ++run) {
        QBriselFSModel model(false);
        QBriselFSFilterProxyModel proxy(nullptr, false);
        proxy.setSourceModel(&model);
        proxy.sort(0, Qt::AscendingOrder);
        const QModelIndex dayIndex = model.index(day);
        plain.push_back(plainListing(day));
        QElapsedTimer clock;
        clock.start();
        model.fetchMore(dayIndex);
        proxy.rowCount(proxy.mapFromSource(dayIndex));
        listing.push_back(clock.nsecsElapsed() / 1e6);

        plain.push_back(plainListing(day));
        clock.restart();
        model.refreshItems(day);
        proxy.rowCount(proxy.mapFromSource(model.index(day)));
        refresh.push_back(clock.nsecsElapsed() / 1e6);

        // A new take between existing ones (its rows go in the middle).
        fixture::TakeSpec spec = fixture::MonoTake(QStringLiteral("BR%1N").arg(run * 100 + 1000), trackSlots);
        writeTake(day, spec, {});
        plain.push_back(plainListing(day));
        const int rowsBefore = model.rowCount(model.index(day));
        clock.restart();
        model.dirChangedProcess(day);
        proxy.rowCount(proxy.mapFromSource(model.index(day)));
        watch.push_back(clock.nsecsElapsed() / 1e6);
        if (model.rowCount(model.index(day)) != rowsBefore + kTracks)
            std::printf("ERROR: the new take's %d rows did not come in\n", kTracks);
    }
    const double plainMs = Median(plain);
    std::printf("day of %d takes (%d files): QDir::entryInfoList %.1f ms\n", kLargeTakes, kLargeTakes * kTracks,
                plainMs);
    std::printf("    listing (fetchMore + proxy filter) %.1f ms, ratio %.2f (target <= 1.15; bound 1 thread, ours the "
                "window's and %d beside it)\n",
                Median(listing), Median(listing) / plainMs, kDayHelpers);
    std::printf("    refresh (refreshItems) %.1f ms, ratio %.2f (target <= 1.25; bound 1 thread, ours the window's and %d "
                "beside it)\n",
                Median(refresh), Median(refresh) / plainMs, kDayHelpers);
    std::printf("    one new take through the watch (dirChangedProcess) %.1f ms, ratio %.2f (target <= 3; bound 1 thread, as ours)\n",
                Median(watch), Median(watch) / plainMs);
}

double processCpuSeconds()
{
    rusage u{};
    getrusage(RUSAGE_SELF, &u);
    return double(u.ru_utime.tv_sec + u.ru_stime.tv_sec) + double(u.ru_utime.tv_usec + u.ru_stime.tv_usec) / 1e6;
}
} // namespace

int main(int argc, char** argv)
{
    qputenv("QT_QPA_PLATFORM", "offscreen");
    qSetMessagePattern(QStringLiteral("%{if-warning}%{message}%{endif}%{if-critical}%{message}%{endif}"));
    QApplication app(argc, argv);
    QStringList args;
    if (const int exitCode = ReadToolArguments(app.arguments(), "bench_browser_day", 0, 0, &args); exitCode >= 0)
        return exitCode;

    QTemporaryDir root;
    std::printf("writing %d takes x %d tracks...\n", kTakes, kTracks);
    const QString day = writeDay(root.path(), kTakes, false);
    qputenv("NALVO_VOLUMES_ROOT", root.path().toUtf8());

    std::vector<double> plain, browser;
    int shown = 0, listed = 0;
    for (int run = 0; run < kRuns; ++run) {
        QElapsedTimer clock;
        clock.start();
        const QFileInfoList entries =
            QDir(day).entryInfoList(QDir::Dirs | QDir::Files | QDir::NoDotAndDotDot, QDir::Name);
        plain.push_back(clock.nsecsElapsed() / 1e6);
        listed = entries.size();

        QBriselFSModel model(false);
        QBriselFSFilterProxyModel proxy(nullptr, false);
        proxy.setSourceModel(&model);
        proxy.sort(0, Qt::AscendingOrder);
        const QModelIndex dayIndex = model.index(day);
        const QModelIndex proxyDay = proxy.mapFromSource(dayIndex);
        clock.restart();
        model.fetchMore(dayIndex);
        shown = proxy.rowCount(proxyDay);
        browser.push_back(clock.nsecsElapsed() / 1e6);
    }
    const double plainMs = Median(plain);
    const double browserMs = Median(browser);
    std::printf("day of %d files: QDir::entryInfoList %.2f ms, model fetchMore + proxy filter %.2f ms "
                "(%d takes shown), ratio %.2f (target <= 1.4; bound 1 thread, ours the window's and %d beside it)\n",
                listed, plainMs, browserMs, shown, browserMs / plainMs, kDayHelpers);
    if (shown != kTakes)
        std::printf("ERROR: expected %d takes shown\n", kTakes);

    largeDay();

    QTemporaryDir volumes;
    for (int v = 0; v < kVolumes; ++v)
        QDir(volumes.path()).mkdir(QStringLiteral("VOL%1").arg(v));
    qputenv("NALVO_VOLUMES_ROOT", volumes.path().toUtf8());
    const double cpuBefore = processCpuSeconds();
    {
        QMediaThread poller(nullptr);
        QThread::sleep(kPollSeconds);
    }
    const double cpuPerSecond = (processCpuSeconds() - cpuBefore) / kPollSeconds;
    std::printf("volume poller with %d volumes: %.1f us CPU per second (%.4f %% of one core)\n", kVolumes,
                cpuPerSecond * 1e6, cpuPerSecond * 100.0);
    return shown == kTakes ? 0 : 1;
}
