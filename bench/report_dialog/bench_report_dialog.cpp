// One report run of a 500-take day with the take filters "t;p;a" through
// the run dialog (START to "Report Process finished"), against the same
// three jobs handed straight to a worker, the two alternated in the same
// run. Also the longest stall of the GUI thread meanwhile, as the lateness
// of a 10 ms timer.
#include "bench/support/benchtools.h"
#include "foundation/toolarguments.h"
#include "report/qdialogreportprocess.h"
#include "report/qreportthread.h"
#include "tests/support/fixturewriter.h"
#include "ui_qdialogreportprocess.h"

#include <QApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QLabel>
#include <QPushButton>
#include <QTemporaryDir>
#include <QTimer>

#include <cstdio>
#include <unistd.h>

namespace {
const int kTakes = 500;
const int kRounds = 5;

QString writeDay(const QString& root)
{
    const QString day = fixture::MakeDay(
        fixture::MakeProject(fixture::MakeVolume(root, QStringLiteral("CARD")), QStringLiteral("SHOOT")),
        QDate(2024, 5, 1));
    const char* prefixes[3] = {"t", "p", "a"};
    for (int t = 0; t < kTakes; ++t) {
        fixture::TakeSpec spec = fixture::MonoTake(QStringLiteral("BR%1").arg(t, 4, 10, QLatin1Char('0')), {0, 1, 2, 3});
        spec.frames = 480;
        spec.takePrefix = QString::fromLatin1(prefixes[t % 3]);
        spec.scene = QStringLiteral("%1A").arg(t / 5);
        if (fixture::WriteTake(day, spec).files.isEmpty())
            qFatal("cannot write the test day");
    }
    return day;
}

void setLayouts(QDialogReportProcess* dialog, QReportThread* thread)
{
    tyReportBlock header[ReportLayout::kHeaderLines][ReportLayout::kHeaderCells];
    tyReportBlock data[ReportLayout::kDataLines][ReportLayout::kDataCells];
    for (int l = 0; l < ReportLayout::kHeaderLines; ++l)
        for (int c = 0; c < ReportLayout::kHeaderCells; ++c)
            header[l][c] = DefaultReportHeaderLayout[l][c];
    for (int l = 0; l < ReportLayout::kDataLines; ++l)
        for (int c = 0; c < ReportLayout::kDataCells; ++c)
            data[l][c] = DefaultReportDataLayout[l][c];
    if (dialog) {
        dialog->setPdfHeaderSetup(&header[0][0], 5, 7);
        dialog->setPdfDataSetup(&data[0][0], 2, 28, 1, false, CircleDisplayTake);
    } else {
        thread->setPdfHeaderSetup(&header[0][0], 5, 7);
        thread->setPdfDataSetup(&data[0][0], 2, 28, 1, false, CircleDisplayTake);
    }
}
}  // namespace

int main(int argc, char** argv)
{
    qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);
    QStringList args;
    if (const int exitCode = ReadToolArguments(app.arguments(), "bench_report_dialog", 0, 0, &args); exitCode >= 0)
        return exitCode;
    QTemporaryDir scratch;
    const QString day = writeDay(scratch.path());
    const QString volume = scratch.path() + QStringLiteral("/CARD");
    const QString dayName = QFileInfo(day).fileName();
    ::sync();

    // The worker alone: three jobs, one per filter, back to back.
    auto runWorker = [&] {
        QReportThread thread;
        setLayouts(nullptr, &thread);
        int finished = 0;
        QObject context;
        QObject::connect(&thread, &QReportThread::signal_reportFinished, &context,
                         [&](QStringList, int, int, int, int, int, QStringList) { ++finished; });
        QElapsedTimer timer;
        timer.start();
        for (const char* filter : {"t", "p", "a"}) {
            const int before = finished;
            thread.setTakeFilter(QString::fromLatin1(filter));
            thread.processFileTags(volume, QStringLiteral("SHOOT.BR1"), dayName, 0x1, 0x7, false, CircleDisplayTake);
            while (finished == before)
                QCoreApplication::processEvents(QEventLoop::WaitForMoreEvents);
        }
        return bench::Milliseconds(timer);
    };

    // The run dialog: START to the end of the third pass.
    qint64 worstLateness = 0;
    auto runDialog = [&] {
        QDialogReportProcess dialog;
        setLayouts(&dialog, nullptr);
        dialog.SetTakeFilters(QStringLiteral("t;p;a"));
        dialog.setParam(volume, QStringLiteral("SHOOT.BR1"), dayName, 0x1, 0x7, false, CircleDisplayTake);
        dialog.show();
        QElapsedTimer tick;
        QTimer probe;
        probe.setInterval(10);
        QObject::connect(&probe, &QTimer::timeout, &probe, [&] {
            worstLateness = qMax(worstLateness, tick.elapsed() - 10);
            tick.restart();
        });
        QElapsedTimer timer;
        timer.start();
        tick.start();
        probe.start();
        dialog.Form()->m_CtrlButton_Start->click();
        while (dialog.Form()->m_CtrlInfo_Report->text() != QLatin1String("Report Process finished") &&
               dialog.Form()->m_CtrlButton_ErrorInfo->isHidden())
            QCoreApplication::processEvents(QEventLoop::WaitForMoreEvents);
        const double ms = bench::Milliseconds(timer);
        probe.stop();
        if (!dialog.Form()->m_CtrlButton_ErrorInfo->isHidden())
            qFatal("the report run was interrupted");
        return ms;
    };

    // A first run of each warms the caches and the fonts; the rounds then
    // alternate the two, so that whatever else the machine does falls on
    // both alike.
    runWorker();
    runDialog();
    worstLateness = 0;
    const auto times = bench::Alternate(kRounds, {runDialog, runWorker});
    const double dialogMs = bench::Median(times[0]);
    const double workerMs = bench::Median(times[1]);

    std::printf("report run dialog t;p;a, %d takes: %.0f ms; worker alone %.0f ms (medians of %d alternated runs): "
                "ratio %.2f (target <= 1.1; bound: the same worker, as many threads)\n",
                kTakes, dialogMs, workerMs, kRounds, bench::MedianRatio(times[0], times[1]));
    std::printf("longest GUI stall during the runs: %lld ms: ratio %.2f (target <= 1.0 of 50 ms; no bound: a budget)\n",
                static_cast<long long>(worstLateness), worstLateness / 50.0);
    return 0;
}
