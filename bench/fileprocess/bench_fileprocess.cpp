// The "File Process" command on a project of 5 days x 100 takes x 8 mono
// tracks: from the selection to the filled dialog (days listed, every take
// loaded, rows built and shown), against a plain listing of the same days
// plus the head and tail reads of every file (what a loader reads of it) on
// as many threads as the scan loads takes on, measured in the same run.
// Then the latency from STOP to an idle dialog during a run.
#include "foundation/toolarguments.h"
#include "fileprocess/processinformation.h"
#include "fileprocess/processscan.h"
#include "fileprocess/qdialogfileprocesssetup.h"
#include "bench/support/benchtools.h"
#include "foundation/spreadwork.h"
#include "take/soundperform.h"
#include "tests/support/fixturewriter.h"
#include "ui_qdialogfileprocesssetup.h"

#include <QApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QEventLoop>
#include <QFile>
#include <QTemporaryDir>
#include <QTimer>

#include <algorithm>
#include <cstdio>
#include <memory>
#include <vector>

namespace {
const int kDays = 5;
const int kTakes = 100;
const int kTracks = 8;
const int kRuns = 7;

double median(std::vector<double> v)
{
    std::sort(v.begin(), v.end());
    return v[v.size() / 2];
}

int LoaderThreads() { return TakeLoaderThreads(kDays * kTakes); }

double plainListingAndHeaders(const QStringList& days)
{
    QElapsedTimer timer;
    timer.start();
    QStringList paths;
    for (const QString& day : days) {
        for (const QString& name : QDir(day).entryList({QStringLiteral("*.WAV")}, QDir::Files, QDir::Name))
            paths << day + QLatin1Char('/') + name;
    }
    if (paths.isEmpty())
        qFatal("nothing listed");
    return timer.nsecsElapsed() / 1e6 + bench::HeadTailReads(paths, LoaderThreads());
}

procscan::tSelectedRow projectRow(const QString& volume, const QString& project)
{
    procscan::tSelectedRow row;
    row.kind = 1;
    row.path = volume + QLatin1Char('/') + project;
    row.display = project;
    row.project = project;
    row.preProject = volume;
    return row;
}

double commandToDialog(const procscan::tSelectedRow& row, int* takes, double* scanMs)
{
    QElapsedTimer timer;
    timer.start();
    QList<tProcessInformation*> records;
    auto loader = std::make_unique<QSoundPerform>();
    if (procscan::ExpandSelection({row}, loader.get(), &records) != procscan::Expansion::Done)
        qFatal("scan failed");
    *scanMs = timer.nsecsElapsed() / 1e6;
    double ms = 0;
    {
        QDialogFileProcessSetup dialog;
        dialog.SetProcessInfo(&records);
        dialog.show();
        QApplication::processEvents();
        *takes = records.size();
        // Filled and shown: closing the dialog is not part of the command.
        ms = timer.nsecsElapsed() / 1e6;
    }
    qDeleteAll(records);
    return ms;
}
}  // namespace

int main(int argc, char** argv)
{
    qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);
    QStringList args;
    if (const int exitCode = ReadToolArguments(app.arguments(), "bench_fileprocess", 0, 0, &args); exitCode >= 0)
        return exitCode;
    qInstallMessageHandler([](QtMsgType type, const QMessageLogContext&, const QString& msg) {
        if (type >= QtWarningMsg)
            std::fprintf(stderr, "%s\n", qPrintable(msg));
    });
    QTemporaryDir dir;
    const QString volume = fixture::MakeVolume(dir.path(), QStringLiteral("CARD"));
    const QString projectPath = fixture::MakeProject(volume, QStringLiteral("SHOOT"));
    QStringList days;
    for (int d = 0; d < kDays; ++d) {
        days << fixture::MakeDay(projectPath, QDate(2024, 5, 1 + d));
        if (!fixture::WriteCopiedTakes(days.last(), QStringLiteral("B%1").arg(d), kTakes, kTracks, 48000))
            qFatal("cannot write the test days");
    }
    const procscan::tSelectedRow row = projectRow(volume, QFileInfo(projectPath).fileName());

    // Ours and the bound alternate; each pair gives a ratio, the median
    // of the ratios is the figure.
    std::vector<double> base, command, scan, commandRatio, scanRatio;
    int takes = 0;
    for (int run = 0; run < kRuns; ++run) {
        base.push_back(plainListingAndHeaders(days));
        double scanMs = 0;
        command.push_back(commandToDialog(row, &takes, &scanMs));
        scan.push_back(scanMs);
        commandRatio.push_back(command.back() / base.back());
        scanRatio.push_back(scan.back() / base.back());
    }
    std::printf("%d days x %d takes x %d tracks (%d takes found); plain listing + head and tail reads of each file: %.1f ms "
                "(bound: faster of 1 and %d threads, as the scan; median of %d alternated pairs)\n",
                kDays, kTakes, kTracks, takes, median(base), LoaderThreads(), kRuns);
    std::printf("command to filled dialog: %.1f ms, ratio %.2f (target <= 2.5; bound %d threads)\n", median(command),
                median(commandRatio), LoaderThreads());
    std::printf("of which days listed and takes loaded: %.1f ms, ratio %.2f (target <= 3; bound %d threads)\n", median(scan),
                median(scanRatio), LoaderThreads());

    // STOP during a poly interleave run of the first day.
    QList<tProcessInformation*> records;
    QSoundPerform loader;
    procscan::ScanDayFolder(days.first(), volume, QFileInfo(days.first()).fileName(),
                            QFileInfo(projectPath).fileName(), &loader, &records);
    QTemporaryDir out;
    std::vector<double> stops;
    for (int run = 0; run < kRuns; ++run) {
        QDialogFileProcessSetup dialog;
        dialog.SetProcessInfo(&records);
        dialog.Form()->m_CtrlRadio_Poly->setChecked(true);
        dialog.Form()->m_CtrlCheckBox_TargetAlongSource->setChecked(false);
        const QString target = out.path() + QStringLiteral("/run%1").arg(run);
        QDir().mkpath(target);
        dialog.Form()->m_CtrlLabel_Destination->setText(target);
        QEventLoop loop;
        QObject::connect(&dialog, &QDialogFileProcessSetup::signal_RunEnded, &loop, &QEventLoop::quit);
        dialog.Form()->m_CtrlButton_Run->click();
        QElapsedTimer clock;
        QTimer::singleShot(100, [&] {
            clock.start();
            dialog.Form()->m_CtrlButton_Run->click();
        });
        loop.exec();
        stops.push_back(clock.isValid() ? clock.nsecsElapsed() / 1e6 : 0.0);
    }
    qDeleteAll(records);
    std::printf("STOP to idle: %.1f ms, ratio %.2f to 2000 ms (target <= 1; no bound: a budget)\n", median(stops), median(stops) / 2000.0);
    return 0;
}
