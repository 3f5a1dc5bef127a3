// The report run dialog with its real worker on a generated day: passes
// per take filter, STOP, Escape, the end of a job with no report kind, and
// the paths handed to the desktop.
#include "report/qdialogreportprocess.h"
#include "tests/report/daymedia.h"
#include "tests/support/fixturewriter.h"
#include "ui_qdialogreportprocess.h"

#include "foundation/messageloging.h"
#include "foundation/platform/desktopshell.h"

#include <QMenu>
#include <QPushButton>
#include <QTemporaryDir>
#include <QtTest>

using namespace fixture;

namespace {
// Counts the worker's passes as the dialog sees them.
struct tyPasses
{
    QObject context;
    int nFinished = 0;
    int nGettingData = 0;
    explicit tyPasses(QDialogReportProcess* dialog)
    {
        QObject::connect(dialog->Worker(), &QReportThread::signal_reportFinished, &context,
                         [this](QStringList, int, int, int, int, int, QStringList) { ++nFinished; });
        QObject::connect(dialog->Worker(), &QReportThread::signal_gettingData, &context,
                         [this](int, int, int) { ++nGettingData; });
    }
};
}  // namespace

class TestReportRunDialog : public QObject
{
    Q_OBJECT
private slots:
    void initTestCase();
    void cleanupTestCase();
    void threePassesAndShell();
    void stopInSecondPass();
    void stopWithEndQueued();
    void escapeMidJob();
    void noReportKindWarns_data();
    void noReportKindWarns();

private:
    void Configure(QDialogReportProcess* dialog, const QString& filters, const QString& day);
    QTemporaryDir m_Dir;
    daymedia::Day m_Day;
    RecordingDesktopShell m_Shell;
    QStringList m_Messages;
};

void TestReportRunDialog::initTestCase()
{
    QVERIFY(m_Dir.isValid());
    // A folder name with "#", a space and "é" must reach the shell unchanged.
    const QString root = m_Dir.filePath(QString::fromUtf8("Caf\xc3\xa9 #1"));
    QVERIFY(QDir().mkpath(root));
    m_Day = daymedia::MakeDayFolder(root, QDate(2024, 5, 1));
    const char* prefixes[3] = {"t", "p", "a"};
    for (int t = 0; t < 45; ++t) {
        TakeSpec take = MonoTake(QStringLiteral("BR%1").arg(t, 4, 10, QLatin1Char('0')), {0, 1});
        take.frames = 480;
        take.takePrefix = QString::fromLatin1(prefixes[t % 3]);
        QVERIFY(!WriteTake(m_Day.path, take).files.isEmpty());
    }
    DesktopShell::setCurrent(&m_Shell);
    global_pLogger = new MessageLoging(this);
    connect(global_pLogger, &MessageLoging::signal_message, this,
            [this](QString, QString text, int, int level, bool, int) {
                if (level == 2)
                    m_Messages.append(text);
            });
}

void TestReportRunDialog::cleanupTestCase()
{
    DesktopShell::setCurrent(nullptr);
    global_pLogger = nullptr;
}

void TestReportRunDialog::Configure(QDialogReportProcess* dialog, const QString& filters, const QString& day)
{
    tyReportBlock header[ReportLayout::kHeaderLines][ReportLayout::kHeaderCells];
    tyReportBlock data[ReportLayout::kDataLines][ReportLayout::kDataCells];
    for (int l = 0; l < ReportLayout::kHeaderLines; ++l)
        for (int c = 0; c < ReportLayout::kHeaderCells; ++c)
            header[l][c] = DefaultReportHeaderLayout[l][c];
    for (int l = 0; l < ReportLayout::kDataLines; ++l)
        for (int c = 0; c < ReportLayout::kDataCells; ++c)
            data[l][c] = DefaultReportDataLayout[l][c];
    dialog->setPdfPageFormat(PageFormatA4Landscape);
    dialog->setPdfHeaderSetup(&header[0][0], 5, 7);
    dialog->setPdfDataSetup(&data[0][0], 2, 28, 1, false, CircleDisplayTake);
    dialog->setAleSetup(1, 0);
    dialog->SetTakeFilters(filters);
    dialog->setParam(QDir::cleanPath(m_Day.volume), m_Day.project, day, day.endsWith(QLatin1String("OVD")) ? 1 : 0, 7,
                     false, CircleDisplayTake);
}

void TestReportRunDialog::threePassesAndShell()
{
    QDialogReportProcess dialog;
    Configure(&dialog, QStringLiteral("t;p;a"), m_Day.day);
    tyPasses passes(&dialog);
    dialog.show();
    QCOMPARE(dialog.Form()->m_CtrlMiniStack_TakeFilter->findChild<QLabel*>()->text(), QStringLiteral("t,p,a"));
    dialog.Form()->m_CtrlButton_Start->click();
    QVERIFY(dialog.Form()->m_CtrlButton_OpenFile->isVisible());
    QTRY_COMPARE_WITH_TIMEOUT(dialog.Form()->m_CtrlInfo_Report->text(), QStringLiteral("Report Process finished"),
                              60000);
    QCOMPARE(passes.nFinished, 3);
    QVERIFY(dialog.Form()->m_CtrlButton_OpenFolder->isVisible());
    // PDF, ALE and CSV for each of the three filters.
    QCOMPARE(dialog.FileMenu()->actions().size(), 9);
    for (QAction* entry : dialog.FileMenu()->actions())
        QVERIFY(QFileInfo(entry->data().toString()).isFile());
    m_Shell.m_ltRequests.clear();
    dialog.Form()->m_CtrlButton_OpenFolder->click();
    QCOMPARE(m_Shell.m_ltRequests,
             (QStringList{QStringLiteral("open ") + QDir::cleanPath(m_Day.volume) + QLatin1Char('/') + m_Day.project +
                              QLatin1Char('/') + m_Day.day,
                          QStringLiteral("activate")}));
    // Where nothing can show the folder the user is told.
    m_Shell.m_bStarts = false;
    m_Messages.clear();
    dialog.Form()->m_CtrlButton_OpenFolder->click();
    m_Shell.m_bStarts = true;
    QCOMPARE(m_Messages.size(), 1);
    QVERIFY(m_Messages.first().startsWith(QStringLiteral("No program could be started")));
    QCOMPARE(dialog.GetTakeFilters(), QStringLiteral("t;p;a"));
}

void TestReportRunDialog::stopInSecondPass()
{
    QDialogReportProcess dialog;
    Configure(&dialog, QStringLiteral("t;p;a"), m_Day.day);
    tyPasses passes(&dialog);
    dialog.show();
    bool stopped = false;
    QObject::connect(dialog.Worker(), &QReportThread::signal_gettingData, &passes.context,
                     [&](int, int, int) {
                         if (passes.nFinished == 1 && !stopped) {
                             stopped = true;
                             dialog.Form()->m_CtrlButton_Start->click();
                             // STOP returns at once and waits for the worker's end.
                             QCOMPARE(dialog.RunState(), QDialogReportProcess::RunStopping);
                             QVERIFY(!dialog.Form()->m_CtrlButton_Start->isEnabled());
                         }
                     });
    dialog.Form()->m_CtrlButton_Start->click();
    QTRY_COMPARE_WITH_TIMEOUT(dialog.RunState(), QDialogReportProcess::RunReady, 60000);
    QVERIFY(stopped);
    QCOMPARE(dialog.Form()->m_CtrlInfo_Report->text(), QStringLiteral("Report Process Interrupted by user"));
    QVERIFY(dialog.Form()->m_CtrlButton_ErrorInfo->isVisible());
    QTest::qWait(300);
    QCOMPARE(passes.nFinished, 2);
}

void TestReportRunDialog::stopWithEndQueued()
{
    QDialogReportProcess dialog;
    Configure(&dialog, QStringLiteral("t;p"), m_Day.day);
    tyPasses passes(&dialog);
    dialog.Form()->m_CtrlButton_Start->click();
    // The first pass ends while the GUI thread is busy: its end signal
    // waits in the queue when STOP is pressed.
    QElapsedTimer waited;
    waited.start();
    while (dialog.Worker()->isProcessing() && waited.elapsed() < 60000)
        QThread::msleep(2);
    QCOMPARE(dialog.RunState(), QDialogReportProcess::RunRunning);
    dialog.Form()->m_CtrlButton_Start->click();
    dialog.Form()->m_CtrlButton_Start->click();   // disabled: nothing
    QTRY_COMPARE_WITH_TIMEOUT(dialog.RunState(), QDialogReportProcess::RunReady, 10000);
    QTest::qWait(300);
    QVERIFY(!dialog.Worker()->isProcessing());
    QCOMPARE(passes.nFinished, 1);
    QCOMPARE(dialog.Form()->m_CtrlInfo_Report->text(), QStringLiteral("Report Process Interrupted by user"));
}

void TestReportRunDialog::escapeMidJob()
{
    QDialogReportProcess dialog;
    Configure(&dialog, QStringLiteral("t;p;a"), m_Day.day);
    tyPasses passes(&dialog);
    QObject::connect(dialog.Worker(), &QReportThread::signal_gettingData, &passes.context, [&](int, int, int) {
        if (passes.nGettingData == 1)
            QTest::keyClick(&dialog, Qt::Key_Escape);
    });
    QTimer::singleShot(0, &dialog, [&dialog] {
        dialog.Form()->m_CtrlButton_Start->click();
        // The take filters cannot be changed under a running job.
        dialog.slot_UserClickedOk(false);
    });
    QCOMPARE(dialog.exec(), 0);
    QVERIFY(!dialog.Worker()->isRunning());
}

// A job that writes no report says so and offers no file to view; a
// folder of no report kind is also told in a box.
void TestReportRunDialog::noReportKindWarns_data()
{
    QTest::addColumn<QString>("extension");
    QTest::addColumn<int>("messages");
    QTest::newRow("a day folder the browser shows but no report kind reads") << "OVL" << 1;
    QTest::newRow("an empty day") << "OVD" << 0;
}

void TestReportRunDialog::noReportKindWarns()
{
    QFETCH(QString, extension);
    QFETCH(int, messages);
    const QString day = QStringLiteral("2024-06-01.") + extension;
    QVERIFY(QDir().mkpath(m_Day.volume + QLatin1Char('/') + m_Day.project + QLatin1Char('/') + day));
    QDialogReportProcess dialog;
    Configure(&dialog, QString(), day);
    m_Messages.clear();
    dialog.Form()->m_CtrlButton_Start->click();
    QTRY_COMPARE_WITH_TIMEOUT(dialog.Form()->m_CtrlInfo_Report->text(),
                              QStringLiteral("Report Process finished: no report file was written"), 20000);
    QTRY_COMPARE(m_Messages.size(), messages);
    QVERIFY(dialog.FileMenu()->actions().isEmpty());
    QVERIFY(dialog.Form()->m_CtrlButton_OpenFile->isHidden());
}

QTEST_MAIN(TestReportRunDialog)
#include "test_report_run_dialog.moc"
