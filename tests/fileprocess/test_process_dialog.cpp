// The file-process dialog on real takes and the real copy engine: kinds and
// targets, the end of a run, STOP without blocking, the 4 GB bound, existing
// outputs, Esc, and grabs of the dialogs for a look.
#include "fileprocess/processinformation.h"
#include "fileprocess/processscan.h"
#include "fileprocess/qcheckitem.h"
#include "fileprocess/qdialogfileprocesssetup.h"
#include "fileprocess/qdialogimportstranger.h"
#include "foundation/messageloging.h"
#include "foundation/platform/diskcalls.h"
#include "take/soundperform.h"
#include "tests/support/demomedia.h"
#include "tests/support/fixturewriter.h"
#include "tests/support/modalboxanswerer.h"
#include "tests/support/riffreader.h"
#include "ui_qdialogfileprocesssetup.h"
#include "ui_qdialogimportstranger.h"

#include <QDir>
#include <QElapsedTimer>
#include <QProcess>
#include <QScreen>
#include <QSemaphore>
#include <QSignalSpy>
#include <QStandardPaths>
#include <QTemporaryDir>
#include <QThread>
#include <QtTest>

#include <atomic>
#include <cerrno>
#include <cstring>

using namespace fixture;

namespace {
QByteArray ReadAll(const QString& path)
{
    QFile f(path);
    return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray();
}

QStringList Entries(const QString& folder)
{
    return QDir(folder).entryList(QDir::AllEntries | QDir::Hidden | QDir::NoDotAndDotDot, QDir::Name);
}

QStringList Outputs(const QString& folder)
{
    QStringList names;
    for (const QString& name : Entries(folder))
        if (name.endsWith("PN.WAV"))
            names << name;
    return names;
}

// The copy engine's worker held at its first rename (an output taking its
// name) until released. Made after the dialog, so that it is gone first:
// a failed test leaves no worker held for the dialog's end to wait on.
class WorkerHold
{
public:
    WorkerHold()
    {
        s_Reached.tryAcquire(s_Reached.available());
        s_bReleased.store(false);
        s_bArmed.store(true);
        DiskFaults::SetRenameHook(&WorkerHold::AtRename);
    }
    ~WorkerHold()
    {
        s_bArmed.store(false);
        DiskFaults::SetRenameHook(nullptr);
        Release();
    }
    bool Reached(int ms) { return s_Reached.tryAcquire(1, ms); }
    void Release() { s_bReleased.store(true); }

private:
    static void AtRename(const char*, const char*)
    {
        if (QThread::currentThread() == QCoreApplication::instance()->thread() || !s_bArmed.exchange(false))
            return;
        s_Reached.release();
        while (!s_bReleased.load())
            QThread::msleep(5);
    }
    static inline std::atomic<bool> s_bArmed{false}, s_bReleased{false};
    static inline QSemaphore s_Reached{0};
};

// Largest pause of the GUI thread's event loop while it runs.
class Watchdog : public QObject
{
public:
    Watchdog()
    {
        m_Clock.start();
        m_Timer.setInterval(20);
        QObject::connect(&m_Timer, &QTimer::timeout, this, [this] {
            m_nMaxGap = qMax(m_nMaxGap, m_Clock.restart());
        });
        m_Timer.start();
    }
    qint64 MaxGap() const { return m_nMaxGap; }

private:
    QTimer m_Timer;
    QElapsedTimer m_Clock;
    qint64 m_nMaxGap = 0;
};
}  // namespace

class TestProcessDialog : public QObject
{
    Q_OBJECT
private slots:
    void init();
    void cleanup();
    void polyInterleaveWritesTarget_data();
    void polyInterleaveWritesTarget();
    void stopKeepsFinishedAndNeverBlocks();
    void escapeDuringRunStopsAfterConfirmation_data();
    void escapeDuringRunStopsAfterConfirmation();
    void fourGigaBound_data();
    void fourGigaBound();
    void existingOutputs_data();
    void existingOutputs();
    void destinationMustBeUsable();
    void settingsReachEngineInMemory();
    void demoProjectEndsWithSummary();
    void grabDialogs();

private:
    void WriteDay(int takes, quint32 frames, int tracks = 3);
    void Load();
    void Choose(QDialogFileProcessSetup& d, int kind);
    bool RunToEnd(QDialogFileProcessSetup& d, int ms = 60000);

    QTemporaryDir m_Dir;
    QString m_czDay, m_czOut;
    QList<tProcessInformation*> m_Records;
};

void TestProcessDialog::init()
{
    static int run = 0;
    const QString root = m_Dir.path() + "/v" + QString::number(++run);
    m_czDay = root + "/P.BR1/D01.OVD";
    m_czOut = root + "/P.BR1/D01.OVN";
    QDir().mkpath(m_czDay);
}

void TestProcessDialog::cleanup()
{
    qDeleteAll(m_Records);
    m_Records.clear();
}

void TestProcessDialog::WriteDay(int takes, quint32 frames, int tracks)
{
    QList<int> slotList;
    for (int t = 0; t < tracks; ++t)
        slotList << t;
    for (int k = 0; k < takes; ++k) {
        TakeSpec spec = MonoTake(QStringLiteral("AB%1").arg(k, 4, 10, QChar('0')), slotList);
        spec.bits = 16;
        spec.frames = frames;
        spec.waveform = false;
        QVERIFY(!WriteTake(m_czDay, spec).files.isEmpty());
    }
}

void TestProcessDialog::Load()
{
    QSoundPerform loader;
    const QString pre = QFileInfo(m_czDay + "/../..").canonicalFilePath();
    QVERIFY(procscan::ScanDayFolder(m_czDay, pre, "D01.OVD", "P.BR1", &loader, &m_Records));
}

void TestProcessDialog::Choose(QDialogFileProcessSetup& d, int kind)
{
    auto* ui = d.Form();
    if (kind == 0)
        ui->m_CtrlRadio_Stereo_InterleaveMixTrack->setChecked(true);
    else if (kind == 1)
        ui->m_CtrlRadio_Stereo_InterleaveReMix->setChecked(true);
    else
        ui->m_CtrlRadio_Poly->setChecked(true);
    if (kind == 3)
        ui->m_CtrlRadioButton_PolyRotate->setChecked(true);
    if (kind == 4)
        ui->m_CtrlRadioButton_PolyCompact->setChecked(true);
    QCOMPARE(int(d.ProcessType()), kind);
}

bool TestProcessDialog::RunToEnd(QDialogFileProcessSetup& d, int ms)
{
    QSignalSpy ended(&d, &QDialogFileProcessSetup::signal_RunEnded);
    d.Form()->m_CtrlButton_Run->click();
    return !d.IsRunning() || ended.wait(ms);
}

void TestProcessDialog::polyInterleaveWritesTarget_data()
{
    QTest::addColumn<bool>("folderRefused");   // the card refuses to make the target folder
    QTest::newRow("written") << false;
    QTest::newRow("its target folder cannot be made") << true;
}

void TestProcessDialog::polyInterleaveWritesTarget()
{
    QFETCH(bool, folderRefused);
    WriteDay(1, 4800);
    Load();
    QCOMPARE(m_Records.size(), 1);
    QDialogFileProcessSetup d;
    d.SetProcessInfo(&m_Records);
    Choose(d, 2);
    MessageLoging logger;
    global_pLogger = &logger;
    auto unset = qScopeGuard([] { global_pLogger = nullptr; });
    QSignalSpy messages(&logger, &MessageLoging::signal_message);
    tyDiskFaultPlan refused;
    refused.eKind = DiskCall::Mkdir;
    refused.nNth = folderRefused ? 1 : 0;
    DiskFaults::Arm(refused);
    QVERIFY(RunToEnd(d));
    DiskFaults::Disarm();
    const QString out = m_czOut + "/AB0000PN.WAV";
    if (folderRefused) {
        // Told with the reason; nothing written, no folder left.
        const QString why = m_czOut + " (" + QString::fromLocal8Bit(std::strerror(EIO)) + ")";
        QCOMPARE(d.Summary().skipped, QStringList{"AB0000: cannot create " + why});
        QVERIFY(!messages.isEmpty());
        QCOMPARE(messages.last().at(1).toString(), "Error creating target dir\n" + why);
        QVERIFY(!QFileInfo::exists(m_czOut));
        return;
    }
    QVERIFY2(QFileInfo::exists(out), qPrintable(Entries(m_czOut).join(',')));
    QVERIFY(d.Form()->m_CtrlLabel_FullProgress->text().startsWith("Finished"));
    QCOMPARE(d.Summary().written, QStringList{"AB0000"});
    if (!QStandardPaths::findExecutable("ffprobe").isEmpty()) {
        QProcess probe;
        probe.start("ffprobe", {"-v", "error", "-show_entries", "stream=channels", "-of", "csv=p=0", out});
        QVERIFY(probe.waitForFinished(30000));
        QCOMPARE(probe.exitCode(), 0);
        QVERIFY(QString(probe.readAllStandardOutput()).trimmed().toInt() >= 3);
    }
}

// STOP mid-run: outputs done before stay byte-identical, nothing of the take
// being written remains, and the GUI thread never stalls.
void TestProcessDialog::stopKeepsFinishedAndNeverBlocks()
{
    WriteDay(30, 48000 * 10, 2);
    Load();
    QDialogFileProcessSetup d;
    d.SetProcessInfo(&m_Records);
    Choose(d, 2);
    QSignalSpy ended(&d, &QDialogFileProcessSetup::signal_RunEnded);
    d.Form()->m_CtrlButton_Run->click();
    QElapsedTimer wait;
    wait.start();
    while (Outputs(m_czOut).isEmpty() && wait.elapsed() < 60000)
        QTest::qWait(1);
    QMap<QString, QByteArray> before;
    for (const QString& name : Outputs(m_czOut))
        before.insert(name, ReadAll(m_czOut + "/" + name));
    Watchdog watchdog;
    QElapsedTimer stopClock;
    stopClock.start();
    d.Form()->m_CtrlButton_Run->click();
    QVERIFY(ended.wait(30000));
    qInfo("STOP to idle: %lld ms", stopClock.elapsed());
    QVERIFY2(watchdog.MaxGap() < 2000, qPrintable(QString::number(watchdog.MaxGap())));
    QVERIFY(d.Form()->m_CtrlLabel_FullProgress->text().startsWith("Stopped"));
    for (auto it = before.cbegin(); it != before.cend(); ++it)
        QVERIFY2(ReadAll(m_czOut + "/" + it.key()) == it.value(),
                 qPrintable(QString("%1 %2 %3").arg(it.key()).arg(it.value().size()).arg(ReadAll(m_czOut + "/" + it.key()).size())));
    // Every file left is a complete output of a take.
    for (const QString& name : Entries(m_czOut)) {
        QVERIFY2(name.endsWith("PN.WAV"), qPrintable(name));
        QVERIFY(d.Summary().written.contains(name.left(6)));
    }
    QVERIFY(Entries(m_czOut).size() < m_Records.size());
    // The summary counts the outputs on disk; the take cut short is stopped.
    QCOMPARE(d.Summary().written.size(), Outputs(m_czOut).size());
    QVERIFY(d.Form()->m_CtrlLabel_FullProgress->text().startsWith(
        QString("Stopped: %1 written").arg(Outputs(m_czOut).size())));
}

void TestProcessDialog::escapeDuringRunStopsAfterConfirmation_data()
{
    QTest::addColumn<bool>("endsDuringBox");   // the run ends while the second box is open
    QTest::newRow("stopped by the confirmation") << false;
    QTest::newRow("the run ending while the box is open") << true;
}

// The run is held at its first output's rename while the boxes are
// answered, so that it is running at each of them however busy the machine.
void TestProcessDialog::escapeDuringRunStopsAfterConfirmation()
{
    QFETCH(bool, endsDuringBox);
    WriteDay(3, 4800, 2);
    Load();
    QDialogFileProcessSetup d;
    d.SetProcessInfo(&m_Records);
    Choose(d, 2);
    d.show();
    WorkerHold hold;
    QSignalSpy finished(&d, &QDialog::finished);
    QSignalSpy ended(&d, &QDialogFileProcessSetup::signal_RunEnded);
    d.Form()->m_CtrlButton_Run->click();
    QVERIFY(d.IsRunning());
    QVERIFY(hold.Reached(30000));
    ModalBoxAnswerer boxes;
    boxes.ThenKey(Qt::Key_Escape);
    if (endsDuringBox) {
        boxes.ThenDo([&](QWidget* box) {
            hold.Release();
            QTRY_VERIFY_WITH_TIMEOUT(!ended.isEmpty(), 60000);
            QTest::keyClick(box, Qt::Key_Return);
        });
    } else {
        boxes.ThenKey(Qt::Key_Return);
    }
    d.reject();   // declined: the run goes on
    QVERIFY(d.IsRunning());
    QCOMPARE(finished.count(), 0);
    d.reject();   // confirmed: stopped, then closed
    hold.Release();
    QTRY_COMPARE_WITH_TIMEOUT(finished.count(), 1, 30000);
    QVERIFY(!d.IsRunning());
    QCOMPARE(boxes.SeenBoxes().size(), 2);
    for (const QString& name : Entries(m_czOut))
        QVERIFY2(name.endsWith("PN.WAV"), qPrintable(name));
    // Stopped: the take held was written, none after it.
    QCOMPARE(Outputs(m_czOut).size(), endsDuringBox ? m_Records.size() : 1);
}

void TestProcessDialog::fourGigaBound_data()
{
    QTest::addColumn<quint32>("fileSize");
    QTest::addColumn<int>("tracks");
    QTest::addColumn<bool>("named");
    QTest::addColumn<int>("answer");   // 0 OK, 1 Escape
    QTest::addColumn<QString>("status");
    QTest::newRow("2^32-1 skipped, named") << quint32(0xFFFFFFFF) << 1 << true << 0 << "Nothing to process";
    QTest::newRow("2^32 skipped, named") << quint32(0x80000000) << 2 << true << 0 << "Nothing to process";
    QTest::newRow("escape aborts") << quint32(0x80000000) << 2 << true << 1 << "Aborted";
    QTest::newRow("below passes the check") << quint32(0x7FFFFFFF) << 1 << false << 0 << "Finished";
}

void TestProcessDialog::fourGigaBound()
{
    QFETCH(quint32, fileSize);
    QFETCH(int, tracks);
    QFETCH(bool, named);
    QFETCH(int, answer);
    QFETCH(QString, status);
    // A record of a take that is not on disk: the size check decides before
    // any engine sees it.
    auto* info = new tProcessInformation;
    info->czTagName = "HUGE01";
    info->czPreProjectPath = m_Dir.path();
    info->czProject = "P.BR1";
    info->czDay = "D01.OVD";
    info->czFilePath = m_Dir.path() + "/P.BR1/D01.OVD/HUGE01_01.WAV";
    info->czTakePath = m_Dir.path() + "/P.BR1/D01.OVD/HUGE01";
    for (int t = 0; t < tracks; ++t)
        info->pbPresent[t] = true;
    info->TrackMax = qint16(tracks - 1);
    info->FileSize = fileSize;
    m_Records << info;
    QDialogFileProcessSetup d;
    d.SetProcessInfo(&m_Records);
    Choose(d, 4);
    ModalBoxAnswerer boxes;
    if (answer == 0)
        boxes.ThenKey(Qt::Key_Return);
    else
        boxes.ThenKey(Qt::Key_Escape);
    QVERIFY(RunToEnd(d, 30000));
    if (named) {
        QCOMPARE(boxes.SeenBoxes().size(), 1);
        QVERIFY(boxes.SeenBoxes().first().text.contains("HUGE01"));
    } else {
        QCOMPARE(boxes.SeenBoxes().size(), 0);
    }
    QVERIFY2(d.Form()->m_CtrlLabel_FullProgress->text().startsWith(status),
             qPrintable(d.Form()->m_CtrlLabel_FullProgress->text()));
    QVERIFY(!d.IsRunning());
}

void TestProcessDialog::existingOutputs_data()
{
    QTest::addColumn<QString>("button");
    QTest::addColumn<bool>("replaced");
    QTest::newRow("skip existing keeps it") << "Skip existing" << false;
    QTest::newRow("overwrite all replaces it") << "Overwrite all" << true;
}

void TestProcessDialog::existingOutputs()
{
    QFETCH(QString, button);
    QFETCH(bool, replaced);
    WriteDay(1, 4800);
    Load();
    QDir().mkpath(m_czOut);
    const QString out = m_czOut + "/AB0000PN.WAV";
    QFile f(out);
    QVERIFY(f.open(QIODevice::WriteOnly) && f.write("mine") == 4);
    f.close();
    QDialogFileProcessSetup d;
    d.SetProcessInfo(&m_Records);
    Choose(d, 2);
    ModalBoxAnswerer boxes;
    boxes.ThenDo([button](QWidget* box) {
        for (QAbstractButton* b : box->findChildren<QAbstractButton*>())
            if (b->text() == button)
                b->click();
    });
    QVERIFY(RunToEnd(d));
    QCOMPARE(boxes.SeenBoxes().size(), 1);
    QCOMPARE(ReadAll(out) != "mine", replaced);
}

void TestProcessDialog::destinationMustBeUsable()
{
    WriteDay(1, 4800);
    Load();
    QDialogFileProcessSetup d;
    d.SetProcessInfo(&m_Records);
    d.Form()->m_CtrlCheckBox_TargetAlongSource->setChecked(false);
    for (const QString& dest : {QString("---"), QString(), QString("relative/dir"), m_Dir.path() + "/missing"}) {
        d.Form()->m_CtrlLabel_Destination->setText(dest);
        d.Form()->m_CtrlButton_Run->click();
        QVERIFY(!d.IsRunning());
        QVERIFY(!d.Form()->m_CtrlLabel_Error->text().isEmpty());
    }
    QVERIFY(!QFileInfo::exists("/P.BR1"));
}

// The row's choices reach the engine without a settings file beside the
// take, so a write-protected card cannot turn them back into defaults.
void TestProcessDialog::settingsReachEngineInMemory()
{
    WriteDay(1, 4800, 4);
    Load();
    QDialogFileProcessSetup d;
    d.SetProcessInfo(&m_Records);
    Choose(d, 2);
    QFileProcessSetupWidget* row = d.Form()->m_CtrlWidget_FileProcess->Rows().first();
    row->CheckItem(2)->SetChecked(false);
    row->CheckItem(3)->SetChecked(false);
    QVERIFY(RunToEnd(d));
    QCOMPARE(fixture::ReadRiffFile(m_czOut + "/AB0000PN.WAV").channels, quint16(2));
    QVERIFY(Entries(m_czDay).filter(".bkp").isEmpty());
    QVERIFY(m_Records.first()->pbTrackMute[2]);
}

// The whole demo project: its mono takes are found, and a run of every kind
// ends on the engine's done with a summary, whatever the takes hold.
void TestProcessDialog::demoProjectEndsWithSummary()
{
    const QString root = m_Dir.path() + "/demo";
    QVERIFY(!WriteDemoVolume(root).isEmpty());
    const QString volume = root + "/" + kDemoVolumeName;
    const QString project = QString(kDemoProjectName) + ".BR1";
    procscan::tSelectedRow row;
    row.kind = 1;
    row.path = volume + "/" + project;
    row.display = project;
    row.project = project;
    row.preProject = volume;
    QSoundPerform loader;
    QCOMPARE(procscan::ExpandSelection({row}, &loader, &m_Records), procscan::Expansion::Done);
    QVERIFY(m_Records.size() >= 5);
    for (int kind : {0, 2, 3}) {
        QDialogFileProcessSetup d;
        d.SetProcessInfo(&m_Records);
        Choose(d, kind);
        ModalBoxAnswerer boxes;
        boxes.ThenDo([](QWidget* box) {
            for (QAbstractButton* b : box->findChildren<QAbstractButton*>())
                if (b->text() == "Overwrite all")
                    b->click();
        });
        QVERIFY(RunToEnd(d));
        const auto& sum = d.Summary();
        QVERIFY2(d.Form()->m_CtrlLabel_FullProgress->text().startsWith("Finished"),
                 qPrintable(d.Form()->m_CtrlLabel_FullProgress->text()));
        QCOMPARE(sum.written.size() + sum.skipped.size() + sum.failed.size(), m_Records.size());
        if (kind != 0)
            QVERIFY(!sum.written.isEmpty());
    }
}

// Under Xvfb with NALVO_GRAB_DIR set, the dialogs are saved for a look.
void TestProcessDialog::grabDialogs()
{
    WriteDay(3, 4800, 24);
    Load();
    const QString dir = qEnvironmentVariable("NALVO_GRAB_DIR");
    const auto shot = [&dir](QWidget* w, const char* name) {
        if (!dir.isEmpty())
            QVERIFY(w->grab().save(dir + "/" + name + ".png"));
    };
    QDialogFileProcessSetup d;
    d.SetProcessInfo(&m_Records);
    d.show();
    QVERIFY(QTest::qWaitForWindowExposed(&d));
    QDialogImportStranger imp(nullptr, 12);
    imp.SetPaths({"/a/b.wav"}, "P.BR1", "D01.OVD", m_czDay);
    imp.show();
    QVERIFY(QTest::qWaitForWindowExposed(&imp));
    QCOMPARE(imp.Form()->m_CtrlLineEdit_Id->text(), QString("0012"));
    QTRY_VERIFY(d.screen()->availableGeometry().contains(d.frameGeometry()));   // whatever the screen
    shot(&d, "fileprocess_kind0");
    Choose(d, 2);
    shot(&d, "fileprocess_poly");
    d.Form()->m_CtrlRadioButton_PolyRotate->setChecked(true);
    d.Form()->m_CtrlSpinBox_RotateCount->setValue(2);
    shot(&d, "fileprocess_rotate");
    // On a 900 x 500 screen every control is in reach without scrolling
    // sideways: the content's least size, its widest kind shown, leaves
    // room for a window frame.
    const QSize least = d.Form()->verticalLayout->totalMinimumSize();
    QVERIFY2(least.width() <= 890 && least.height() <= 450,
             qPrintable(QStringLiteral("%1 x %2").arg(least.width()).arg(least.height())));
    Choose(d, 1);
    shot(&d, "fileprocess_remix");
    shot(&imp, "import");
    // The summary of a run takes its place beside the bars: neither shrinks.
    const int barWidth = d.Form()->m_CtrlProgressBar_Total->width();
    QVERIFY(RunToEnd(d));
    QApplication::processEvents();
    QLabel* status = d.Form()->m_CtrlLabel_FullProgress;
    QCOMPARE(d.Form()->m_CtrlProgressBar_Total->width(), barWidth);
    QVERIFY(status->fontMetrics().horizontalAdvance(status->text()) <= status->contentsRect().width());
    shot(&d, "fileprocess_finished");
    d.resize(1920, 1080);
    QTest::qWait(50);
    shot(&d, "fileprocess_fullhd");
}

QTEST_MAIN(TestProcessDialog)
#include "test_process_dialog.moc"
