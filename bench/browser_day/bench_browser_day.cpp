// Lists and classifies one recorder day of 500 takes x 24 mono tracks through
// the browser model and filters it through the proxy, against a plain
// QDir::entryInfoList of the same folder; then the volume poller's CPU cost
// per second with 10 volumes.
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

namespace {
const int kTakes = 500;
const int kTracks = 24;
const int kRuns = 7;
const int kVolumes = 10;
const int kPollSeconds = 3;

QString writeDay(const QString& root)
{
    const QString day = fixture::MakeDay(
        fixture::MakeProject(fixture::MakeVolume(root, QStringLiteral("CARD")), QStringLiteral("SHOOT")),
        QDate(2024, 5, 1));
    QList<int> trackSlots;
    for (int s = 0; s < kTracks; ++s)
        trackSlots << s;
    // Listing reads names only: one take's bytes serve every take.
    fixture::TakeSpec spec = fixture::MonoTake(QStringLiteral("BR0000"), trackSlots);
    spec.frames = 480;
    QList<QByteArray> tracks;
    for (int i = 0; i < kTracks; ++i)
        tracks << fixture::BuildMonoFile(spec, i);
    for (int t = 0; t < kTakes; ++t) {
        spec.id = QStringLiteral("BR%1").arg(t, 4, 10, QLatin1Char('0'));
        for (int i = 0; i < kTracks; ++i) {
            QFile out(day + QLatin1Char('/') + fixture::TrackFileName(spec, i));
            if (!out.open(QIODevice::WriteOnly) || out.write(tracks.at(i)) != tracks.at(i).size())
                qFatal("cannot write the test day");
        }
    }
    return day;
}

double median(std::vector<double> v)
{
    std::sort(v.begin(), v.end());
    return v[v.size() / 2];
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

    QTemporaryDir root;
    std::printf("writing %d takes x %d tracks...\n", kTakes, kTracks);
    const QString day = writeDay(root.path());
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
    const double plainMs = median(plain);
    const double browserMs = median(browser);
    std::printf("day of %d files: QDir::entryInfoList %.2f ms, model fetchMore + proxy filter %.2f ms "
                "(%d takes shown), ratio %.2f (target <= 3)\n",
                listed, plainMs, browserMs, shown, browserMs / plainMs);
    if (shown != kTakes)
        std::printf("ERROR: expected %d takes shown\n", kTakes);

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
