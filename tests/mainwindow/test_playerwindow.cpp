// Playing a take from the main window as a user does: keys, buttons and the
// timeline drive the player through the null sink; the strip's solo, mute,
// pan, volume and M/S change what the capture sink receives; presets and
// per-take settings survive reopening and a restart.
#include "ui_dlgmain.h"

#include "browser/qbriselfsfilterproxymodel.h"
#include "browser/qbriselfsmodel.h"
#include "fileprocess/processinformation.h"
#include "fileprocess/processscan.h"
#include "foundation/fileutil.h"
#include "foundation/messageloging.h"
#include "foundation/platform/appfolders.h"
#include "foundation/platform/diskprobes.h"
#include "mainwindow/dlgmain.h"
#include "player/audiosink.h"
#include "player/playersettings.h"
#include "player/qcustomvum.h"
#include "player/qpanpotitem.h"
#include "player/qplaytimeline.h"
#include "player/qtrackbutton.h"
#include "player/sfxthread.h"
#include "tests/player/playertestmedia.h"
#include "tests/support/demomedia.h"
#include "foundation/platform/diskcalls.h"
#include "tests/support/modalboxanswerer.h"
#include "tests/support/riffbytes.h"
#include "tests/support/userinput.h"
#include "tests/support/scratchdir.h"
#include "tests/support/tableparts.h"
#include "widgets/qmyslider.h"

#include <QCheckBox>
#include <QComboBox>
#include <QKeyEvent>
#include <QProcess>
#include <QScopeGuard>
#include <QSignalSpy>
#include <QtTest>

#include <functional>
#include <memory>

using namespace fixture;

Q_DECLARE_METATYPE(std::function<void(DlgMain&)>)

namespace {
using StripAction = std::function<void(DlgMain&)>;

short State(DlgMain& window) { return window.m_SndPerform.GetPlayerState(); }

// What the dispatcher does for a newly selected single take.
bool Open(DlgMain& window, const QString& takePath)
{
    window.CloseTakeInPlayer();
    if (!window.m_SndPerform.InitFilesZZ(takePath, QStringLiteral("WAV")))
        return false;
    window.OpenTakeInPlayer();
    return true;
}

QByteArray ReadAll(const QString& path)
{
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
}

void Key(QWidget* window, Qt::Key key, Qt::KeyboardModifiers modifiers = Qt::NoModifier)
{
    QTest::keyClick(window, key, modifiers);
}
}

class TestPlayerWindow : public QObject
{
    Q_OBJECT

    ScratchDir m_Media;
    QString m_czDay1;
    QString m_czWork;

    std::unique_ptr<DlgMain> NewWindow()
    {
        auto window = std::make_unique<DlgMain>();
        window->show();
        if (!QTest::qWaitForWindowExposed(window.get()))
            qWarning("window not exposed");
        return window;
    }

    static void Grab(QWidget* widget, const QString& name)
    {
        const QString folder = qEnvironmentVariable("NALVO_GRAB_DIR");
        if (!folder.isEmpty())
            widget->grab().save(folder + QLatin1Char('/') + name + QStringLiteral(".png"));
    }

    // A 16-bit take of two tracks holding constant values; msPair: track 1
    // is the mid and track 2 the side of an M/S pair.
    QString ConstantTake(const QString& id, bool msPair, int seconds = 1)
    {
        TakeSpec spec = MonoTake(id, {0, 1});
        spec.bits = 16;
        spec.frames = quint32(seconds) * 48000;
        if (msPair) {
            spec.tracks[0].inGrid = QStringLiteral("MIC_1=0x2,");
            spec.tracks[1].inGrid = QStringLiteral("MIC_2=0x3,");
        }
        return WriteConstantTake(m_czWork + QLatin1Char('/') + id, spec, {0x1000, 0x0800});
    }

    // A locked card: the folder refuses writes (for root too, through the
    // immutable attribute).
    static bool Protect(const QString& folder, bool on)
    {
        const QFileDevice::Permissions all = QFileDevice::ReadOwner | QFileDevice::WriteOwner | QFileDevice::ExeOwner;
        QFile::setPermissions(folder, on ? all & ~QFileDevice::WriteOwner : all);
        if (on && QFileInfo(folder).isWritable())
            QProcess::execute(QStringLiteral("chattr"), {QStringLiteral("+i"), folder});
        if (!on)
            QProcess::execute(QStringLiteral("chattr"), {QStringLiteral("-i"), folder});
        return QFileInfo(folder).isWritable() != on;
    }

    // Selects one browser row: the pan pots answer a single selection only.
    static void SelectOneRow(DlgMain& window, const QString& path)
    {
        const QModelIndex view = window.m_pFSProxyModel->mapFromSource(window.m_pFSModel->index(path));
        window.ui->m_CtrlTreeView->setCurrentIndex(view);
    }

private slots:
    void initTestCase()
    {
        QVERIFY(!WriteDemoVolume(m_Media.path()).isEmpty());
        qputenv("NALVO_VOLUMES_ROOT", m_Media.path().toUtf8());
        // Takes opened without a test sink play into the null sink: no
        // audio device is looked for.
        qputenv("NALVO_AUDIO_SINK", "null");
        m_czDay1 = m_Media.path() + QStringLiteral("/DEMO_CARD/FEATURE.BR1/2024-05-01.OVD");
        m_czWork = m_Media.path() + QStringLiteral("/work");
        QDir().mkpath(m_czWork);
        // The mirror folder sits in the working folder, named after the
        // program: beside the test binary that name is taken by the binary.
        QVERIFY(QDir::setCurrent(m_Media.path()));
        QDir().mkpath(AppFolders::ConfigFolder());
        for (int n = 1; n <= 5; ++n)
            QFile::remove(AppFolders::ConfigFolder() + QStringLiteral("/Preset_%1.idh").arg(n - 1));
    }

    void init()
    {
        if (!CurrentRowInPart())
            QSKIP("a row of another part");
    }
    void cleanup() { SetAudioSinkFactory(nullptr); }

    void transportByKeysButtonsAndTimeline()
    {
        SetAudioSinkFactory([](const QAudioFormat& format) {
            return std::make_unique<PullingSink>(format, true, nullptr);
        });
        auto window = NewWindow();
        DlgMain& w = *window;
        QVERIFY(Open(w, m_czDay1 + QStringLiteral("/A01T16")));
        QVERIFY(w.ui->m_CtrlPushButton_Play->isEnabled());
        QVERIFY(w.ui->m_CtrlWidget_PlayTimeLine->Overview().HasTrack(23));

        Key(&w, Qt::Key_Space);
        QTRY_COMPARE(State(w), short(PlayerPlaying));
        QTRY_VERIFY(w.m_nCurrentSamplePos > 48000);
        QTRY_VERIFY(w.m_pVum[0]->shownStep() > 0 && w.m_pVum[23]->shownStep() > 0);
        QVERIFY(w.ui->m_CtrlWidget_PlayTimeLine->CursorX() > 0);
        QTest::qWait(300);
        Grab(&w, QStringLiteral("mainwindow-playing"));

        // Pause, then a press on the timeline stops the player; the release
        // plays from the pressed second.
        QTest::mouseClick(w.ui->m_CtrlPushButton_Play, Qt::LeftButton);
        QTRY_COMPARE(State(w), short(PlayerPaused));
        QPlayTimeLine* line = w.ui->m_CtrlWidget_PlayTimeLine;
        const QPoint at(int(line->SampleX(48000 * 10 + 24000)), line->WaveformAreaTop() + 4);
        QTest::mousePress(line, Qt::LeftButton, Qt::NoModifier, at);
        QVERIFY(w.m_bResumeAfterSeek);
        QTRY_COMPARE(State(w), short(PlayerStopped));
        QTest::mouseRelease(line, Qt::LeftButton, Qt::NoModifier, at);
        QTRY_COMPARE(State(w), short(PlayerPlaying));
        QCOMPARE(w.m_SndPerform.m_nStartSecond.load(), 10u);
        QTRY_VERIFY(w.m_nCurrentSamplePos > 48000 * 10);

        // Shift+Left 10 s back from about 10 s: clamped at the start, the
        // player stopped and waiting for a release.
        Key(&w, Qt::Key_Left, Qt::ShiftModifier);
        QTRY_COMPARE(State(w), short(PlayerStopped));
        QCOMPARE(w.m_SndPerform.m_nStartSecond.load(), 0u);
        QVERIFY(w.m_bResumeAfterSeek);
        // The cursor shows where the next Play starts, not where the sound stopped.
        QTest::qWait(50);
        QCOMPARE(w.m_nCurrentSamplePos, quint64(0));

        // Stopped: the start second moves by the key steps within the take.
        struct Step { Qt::Key key; Qt::KeyboardModifiers modifiers; quint32 second; };
        const Step steps[] = {{Qt::Key_Right, Qt::NoModifier, 2},     {Qt::Key_Right, Qt::ShiftModifier, 12},
                              {Qt::Key_Right, Qt::ShiftModifier, 20}, {Qt::Key_Left, Qt::NoModifier, 18},
                              {Qt::Key_Left, Qt::ShiftModifier, 8},   {Qt::Key_Left, Qt::ShiftModifier, 0}};
        for (const Step& step : steps) {
            Key(&w, step.key, step.modifiers);
            QCOMPARE(w.m_SndPerform.m_nStartSecond.load(), step.second);
            QCOMPARE(w.m_nCurrentSamplePos, quint64(step.second) * 48000);
        }
        // A held key seeks once.
        QKeyEvent repeat(QEvent::KeyPress, Qt::Key_Right, Qt::NoModifier, QString(), true);
        QApplication::sendEvent(&w, &repeat);
        QCOMPARE(w.m_SndPerform.m_nStartSecond.load(), 0u);

        // Near the end a step forward never passes the duration.
        Key(&w, Qt::Key_Right, Qt::ShiftModifier);
        Key(&w, Qt::Key_Right, Qt::NoModifier);
        Key(&w, Qt::Key_Right, Qt::NoModifier);
        Key(&w, Qt::Key_Right, Qt::NoModifier);
        Key(&w, Qt::Key_Right, Qt::NoModifier);
        QCOMPARE(w.m_SndPerform.m_nStartSecond.load(), 18u);
        Key(&w, Qt::Key_Space);
        QTRY_COMPARE(State(w), short(PlayerPlaying));
        Key(&w, Qt::Key_Right, Qt::ShiftModifier);
        QTRY_COMPARE(State(w), short(PlayerStopped));
        QCOMPARE(w.m_SndPerform.m_nStartSecond.load(), 20u);

        // Escape: stopped at the start, meters off.
        Key(&w, Qt::Key_Escape);
        QCOMPARE(w.m_SndPerform.m_nStartSecond.load(), 0u);
        QCOMPARE(w.m_nCurrentSamplePos, quint64(0));

        // Played to its end: the window answers the end of data with a stop.
        w.m_SndPerform.m_nStartSecond = 19;
        Key(&w, Qt::Key_Space);
        QTRY_COMPARE(State(w), short(PlayerPlaying));
        QTRY_COMPARE_WITH_TIMEOUT(State(w), short(PlayerStopped), 5000);
        QCOMPARE(w.ui->m_CtrlPushButton_Play->icon().cacheKey() != 0, true);
    }

    void stripChangesTheMix_data()
    {
        QTest::addColumn<bool>("msPair");
        QTest::addColumn<StripAction>("action");
        QTest::addColumn<int>("left");
        QTest::addColumn<int>("right");
        QTest::newRow("as recorded") << false << StripAction([](DlgMain&) {}) << 0x1800 << 0x1800;
        QTest::newRow("mute track 2") << false << StripAction([](DlgMain& w) {
            QTest::mouseClick(w.m_pButtonMute[1], Qt::LeftButton);
        }) << 0x1000 << 0x1000;
        QTest::newRow("right click on meter 1") << false << StripAction([](DlgMain& w) {
            QTest::mouseClick(w.m_pVum[0], Qt::RightButton);
        }) << 0x0800 << 0x0800;
        QTest::newRow("solo track 2 by F2") << false << StripAction([](DlgMain& w) {
            QTest::keyClick(&w, Qt::Key_F2);
        }) << 0x0800 << 0x0800;
        QTest::newRow("solo 1 then 2 with Shift") << false << StripAction([](DlgMain& w) {
            QTest::keyClick(&w, Qt::Key_F1);
            QTest::mouseClick(w.m_pButtonSolo[1], Qt::LeftButton);
        }) << 0x1800 << 0x1800;
        // Track 2 silenced by the solo of track 1 stays silent when its mute
        // button is pressed and released.
        QTest::newRow("mute on and off during a solo") << false << StripAction([](DlgMain& w) {
            QTest::keyClick(&w, Qt::Key_F1);
            QTest::mouseClick(w.m_pButtonMute[1], Qt::LeftButton);
            QTest::mouseClick(w.m_pButtonMute[1], Qt::LeftButton);
        }) << 0x1000 << 0x1000;
        QTest::newRow("solo button 1") << false << StripAction([](DlgMain& w) {
            QTest::mouseClick(w.m_pButtonSolo[0], Qt::LeftButton);
        }) << 0x1000 << 0x1000;
        QTest::newRow("pan pot 1 to the right") << false << StripAction([](DlgMain& w) {
            QTest::mouseClick(w.m_pPanPot[0], Qt::LeftButton);
        }) << 0x0800 << 0x1800;
        QTest::newRow("volume 1 at -12 dB") << false << StripAction([](DlgMain& w) {
            w.m_pSliderVolume[0]->setFocus();
            for (int i = 0; i < 4; ++i)
                QTest::keyClick(w.m_pSliderVolume[0], Qt::Key_Down);
        }) << 0x0800 + 0x0400 << 0x0800 + 0x0400;
        QTest::newRow("M/S pair decoded") << true << StripAction([](DlgMain&) {}) << 0x1800 << 0x0800;
        QTest::newRow("M/S box off") << true << StripAction([](DlgMain& w) {
            QTest::mouseClick(w.m_pCheckBoxMs[0], Qt::LeftButton, Qt::NoModifier, QPoint(4, 4));
        }) << 0x1800 << 0x1800;
    }

    void stripChangesTheMix()
    {
        QFETCH(bool, msPair);
        QFETCH(StripAction, action);
        QFETCH(int, left);
        QFETCH(int, right);
        auto tap = std::make_shared<CaptureTap>();
        SetAudioSinkFactory([tap](const QAudioFormat& format) {
            return std::make_unique<PullingSink>(format, false, tap);
        });
        static int row = 0;
        const QString path = ConstantTake(QStringLiteral("MIX%1").arg(++row, 3, 10, QLatin1Char('0')), msPair);
        auto window = NewWindow();
        DlgMain& w = *window;
        SelectOneRow(w, m_czDay1);
        QVERIFY(Open(w, path));
        QCOMPARE(w.m_pFrameMs[0]->isVisible(), msPair);
        action(w);
        w.ui->m_CtrlTreeView->clearSelection();
        Key(&w, Qt::Key_Space);
        // The sink pulls as fast as the machine runs: a busy one with the
        // sanitizers takes longer than the default wait for the take.
        QTRY_VERIFY_WITH_TIMEOUT(tap->Total() >= 48000 * 4, 30000);
        QTRY_COMPARE(State(w), short(PlayerStopped));
        const QList<int> samples = StereoSamples(tap->Bytes());
        QVERIFY(samples.size() > 2000);
        QVERIFY2(qAbs(samples[1000] - left) <= 2, qPrintable(QString::number(samples[1000], 16)));
        QVERIFY2(qAbs(samples[1001] - right) <= 2, qPrintable(QString::number(samples[1001], 16)));
    }

    void presetsSaveLabelApply_data()
    {
        QTest::addColumn<QString>("folder");   // the settings folder
        QTest::newRow("settings folder made") << "made";
        // The settings folder is made as the window closes: a preset saved
        // before goes where the list reads it, and is there after a restart.
        QTest::newRow("a first run, no settings folder yet") << "first run";
        // Not made until the close (an I/O error before): the preset kept in
        // the mirror folder, told, moves in then.
        QTest::newRow("a first run, the settings folder made at the close only") << "made later";
        // Write-protected after the preset was saved: chosen, it stays
        // offered; renamed, the mirror folder holds it whole.
        QTest::newRow("settings folder write-protected later") << "locked";
        // Saved and renamed while the folder was write-protected: offered
        // when it is writable again, and moved in; a preset saved there
        // since is offered when it is locked again.
        QTest::newRow("saved while write-protected, then writable") << "saved locked";
        // Its mirror copy cannot be removed after the move: said once, and
        // never offered over the preset saved since.
        QTest::newRow("mirror copy not removed") << "twin stays";
        // The new preset took its name, its folder not synced: the slot
        // shows it, and "Empty" is never written as its name.
        QTest::newRow("folder not synced after a Save Preset") << "not synced";
        // Moved in, its folder not synced: not said to be elsewhere.
        QTest::newRow("moved in, folder not synced") << "moved in, not synced";
    }

    // Preset 1 saved with track 1's volume (and named) in a window on the
    // take; fault, when armed, from Save Preset until the window is closed.
    bool SavePreset(const QString& take, int volume, const QString& name, const tyDiskFaultPlan* fault = nullptr,
                    QStringList* told = nullptr)
    {
        auto window = NewWindow();
        QSignalSpy messages(global_pLogger, &MessageLoging::signal_message);
        window->ui->m_CtrlComboBox_Presets->setCurrentIndex(1);
        if (!Open(*window, take))
            return false;
        window->m_pSliderVolume[0]->setValue(volume);
        if (fault)
            DiskFaults::Arm(*fault);
        QTest::mouseClick(window->ui->m_CtrlButton_SavePreset, Qt::LeftButton);
        if (!name.isEmpty())
            window->ui->m_CtrlLineEdit_PresetName->setText(name);
        window.reset();
        DiskFaults::Disarm();
        for (const QList<QVariant>& message : messages)
            if (told)
                *told << message.at(1).toString();
        return true;
    }

    // Preset 1 as a new window offers it: its name, and track 1's volume
    // in the file it is read from.
    QString OfferedPreset()
    {
        auto window = NewWindow();
        window->ui->m_CtrlComboBox_Presets->setCurrentIndex(1);
        window->slot_PresetsSelChanged(1);
        short volume[24] = {};
        LoadSettingsLocal(window->PresetReadPath(1), volume, nullptr, static_cast<short*>(nullptr), nullptr, nullptr,
                          nullptr, nullptr);
        return window->ui->m_CtrlLineEdit_PresetName->text() + QLatin1Char(' ') + QString::number(volume[0]);
    }

    void PresetAcrossLocks(const QString& take, const QString& folder)
    {
        const QString config = AppFolders::ConfigFolder();
        const QString preset = config + QStringLiteral("/Preset_0.idh");
        const QString twin = MirrorTwinPath(preset);
        auto locked = std::make_shared<bool>(true);
        SetWritabilityProbe([config, locked](const QString& path) {
            return !(*locked && QDir(path) == QDir(config)) && QFileInfo(path).isWritable();
        });
        auto unlock = qScopeGuard([] { SetWritabilityProbe(WritabilityProbe()); });
        QStringList told;
        const auto toldWith = [&](const QString& part) {
            return std::count_if(told.cbegin(), told.cend(), [&](const QString& t) { return t.contains(part); });
        };
        tyDiskFaultPlan fault;
        if (folder == QLatin1String("saved locked")) {
            QVERIFY(SavePreset(take, 6, QStringLiteral("Dialogue v2")));
            QVERIFY(QFile::exists(twin));
            *locked = false;
            QCOMPARE(OfferedPreset(), QStringLiteral("Dialogue v2 6"));
            QVERIFY(!QFile::exists(twin));
            QVERIFY(SavePreset(take, 7, QStringLiteral("Third mix")));
            *locked = true;
            QCOMPARE(OfferedPreset(), QStringLiteral("Third mix 7"));
        } else if (folder == QLatin1String("twin stays")) {
            QVERIFY(SavePreset(take, 6, QStringLiteral("Kept")));
            *locked = false;
            fault.eKind = DiskCall::Unlink;
            fault.nNth = 1;
            fault.bPersistent = true;
            QVERIFY(SavePreset(take, 7, QStringLiteral("Newer"), &fault, &told));
            QVERIFY(QFile::exists(twin));
            QCOMPARE(toldWith(QStringLiteral("An older copy of preset 1 stays in ")), 1);
            *locked = true;
            QCOMPARE(OfferedPreset(), QStringLiteral("Newer 7"));
            *locked = false;
            OfferedPreset();
            QVERIFY(!QFile::exists(twin));
        } else if (folder == QLatin1String("not synced")) {
            QVERIFY(QFile::remove(preset));
            *locked = false;
            fault.eKind = DiskCall::Sync;
            fault.nNth = 2;
            QVERIFY(SavePreset(take, 5, QString(), &fault, &told));
            QCOMPARE(toldWith(QStringLiteral("may not be on the disk yet")), 1);
            QCOMPARE(OfferedPreset(), QStringLiteral(" 5"));
        } else if (folder == QLatin1String("moved in, not synced")) {
            QVERIFY(QFile::remove(preset));
            QVERIFY(SavePreset(take, 6, QStringLiteral("Moved")));
            *locked = false;
            fault.eKind = DiskCall::Sync;
            fault.nNth = 2;
            auto window = NewWindow();
            QSignalSpy messages(global_pLogger, &MessageLoging::signal_message);
            window->ui->m_CtrlComboBox_Presets->setCurrentIndex(1);
            QVERIFY(Open(*window, take));
            DiskFaults::Arm(fault);
            QTest::mouseClick(window->ui->m_CtrlButton_SavePreset, Qt::LeftButton);
            DiskFaults::Disarm();
            for (const QList<QVariant>& message : messages)
                told << message.at(1).toString();
            QCOMPARE(toldWith(QStringLiteral("may not be on the disk yet")), 1);
            QCOMPARE(toldWith(QStringLiteral("not in the settings folder")), 0);
            QCOMPARE(window->PresetReadPath(1), preset);
        }
        QFile::remove(twin);
    }

    // Preset 1 chosen, then renamed, in windows on the settings folder
    // made write-protected; each restart offers it with its name and mix.
    void PresetKeptOnLockedFolder(const QString& take)
    {
        const QString config = AppFolders::ConfigFolder();
        const QString preset = config + QStringLiteral("/Preset_0.idh");
        const QString twin = MirrorTwinPath(preset);
        const QByteArray stored = ReadAll(preset);
        SetWritabilityProbe([config](const QString& path) { return QDir(path) != QDir(config) && QFileInfo(path).isWritable(); });
        auto unlock = qScopeGuard([] { SetWritabilityProbe(WritabilityProbe()); });
        // A window with the take open and preset 1 chosen (and renamed), closed.
        const auto chooseAndClose = [&](const QString& name) {
            auto window = NewWindow();
            window->ui->m_CtrlComboBox_Presets->setCurrentIndex(1);
            if (!name.isEmpty())
                window->ui->m_CtrlLineEdit_PresetName->setText(name);
            return Open(*window, take);
        };
        const auto offered = [](const QString& name) {
            auto window = std::make_unique<DlgMain>();
            window->ui->m_CtrlComboBox_Presets->setCurrentIndex(1);
            window->slot_PresetsSelChanged(1);
            return window->ui->m_CtrlLineEdit_PresetName->text() == name
                   && window->ui->m_CtrlButton_ApplyPreset->isEnabled();
        };
        QVERIFY(chooseAndClose(QString()) && !QFile::exists(twin));
        QVERIFY(offered(QStringLiteral("Close mics")));
        QVERIFY(chooseAndClose(QStringLiteral("Wide")));
        QVERIFY(offered(QStringLiteral("Wide")));
        QCOMPARE(ReadAll(preset), stored);
        // A name alone there, as an earlier version left it, hides nothing.
        QVERIFY(WriteBytes(twin, "#LABEL\r\nOld|\r\n"));
        QVERIFY(offered(QStringLiteral("Close mics")));
        QVERIFY(QFile::remove(twin));
    }

    void presetsSaveLabelApply()
    {
        QFETCH(QString, folder);
        const QString config = AppFolders::ConfigFolder();
        for (int n = 1; n <= 2; ++n) {
            const QString preset = config + QStringLiteral("/Preset_%1.idh").arg(n - 1);
            QFile::remove(preset);
            QFile::remove(MirrorTwinPath(preset));
        }
        if (folder.startsWith(QLatin1String("first run")) || folder == QLatin1String("made later"))
            QVERIFY(QDir(config).removeRecursively());
        auto remake = qScopeGuard([] { QDir().mkpath(AppFolders::ConfigFolder()); });
        const QString take = ConstantTake(QStringLiteral("PRE001"), false);
        QFile::remove(DlgMain::TakeSettingsFilePath(take + QStringLiteral("_01.WAV")));
        auto window = NewWindow();
        DlgMain& w = *window;
        // Every folder the window would make fails, the mirror folder made.
        QVERIFY(QDir().mkpath(QAll_GetMirrorPathFolder()));
        tyDiskFaultPlan noFolder;
        noFolder.eKind = DiskCall::Mkdir;
        noFolder.nNth = 1;
        noFolder.bPersistent = true;
        if (folder == QLatin1String("made later"))
            DiskFaults::Arm(noFolder);
        auto disarm = qScopeGuard([] { DiskFaults::Disarm(); });
        Ui::DlgMain* ui = w.ui.get();
        QSignalSpy messages(global_pLogger, &MessageLoging::signal_message);
        SelectOneRow(w, m_czDay1);
        QVERIFY(Open(w, take));
        QComboBox* combo = ui->m_CtrlComboBox_Presets;
        QVERIFY(combo->isEnabled());
        combo->setCurrentIndex(1);
        QCOMPARE(ui->m_CtrlLineEdit_PresetName->text(), QStringLiteral("Empty"));
        QVERIFY(!ui->m_CtrlButton_ApplyPreset->isEnabled());

        w.m_pSliderVolume[0]->setValue(2);
        QTest::mouseClick(w.m_pButtonMute[1], Qt::LeftButton);
        QTest::mouseClick(ui->m_CtrlButton_SavePreset, Qt::LeftButton);
        const bool aside = folder == QLatin1String("made later");
        QVERIFY(QFile::exists(aside ? MirrorTwinPath(w.PresetFilePath(1)) : w.PresetFilePath(1)));
        QCOMPARE(messages.count(), aside ? 1 : 0);
        QVERIFY(!aside || messages.first().at(1).toString().startsWith(QStringLiteral("Preset 1 is kept in ")));
        QVERIFY(ui->m_CtrlLineEdit_PresetName->isEnabled());
        QVERIFY(ui->m_CtrlLineEdit_PresetName->text().isEmpty());
        QTest::keyClicks(ui->m_CtrlLineEdit_PresetName, QStringLiteral("Close mics"));
        combo->setCurrentIndex(2);
        QCOMPARE(ui->m_CtrlLineEdit_PresetName->text(), QStringLiteral("Empty"));
        combo->setCurrentIndex(1);
        QCOMPARE(ui->m_CtrlLineEdit_PresetName->text(), QStringLiteral("Close mics"));
        QVERIFY(ui->m_CtrlButton_ApplyPreset->isEnabled());
        // Leaving the "Empty" entry writes nothing: it stays empty.
        combo->setCurrentIndex(2);
        combo->setCurrentIndex(1);
        combo->setCurrentIndex(2);
        QCOMPARE(ui->m_CtrlLineEdit_PresetName->text(), QStringLiteral("Empty"));

        // Default: 0 dB, unmuted, every M/S box checked; then preset 1 back.
        combo->setCurrentIndex(0);
        ui->m_CtrlButton_ApplyPreset->setEnabled(true);
        QTest::mouseClick(ui->m_CtrlButton_ApplyPreset, Qt::LeftButton);
        QCOMPARE(w.m_pSliderVolume[0]->value(), 4);
        QVERIFY(!w.m_pButtonMute[1]->isChecked());
        QVERIFY(w.m_pCheckBoxMs[11]->isChecked());
        combo->setCurrentIndex(1);
        QTest::mouseClick(ui->m_CtrlButton_ApplyPreset, Qt::LeftButton);
        QCOMPARE(w.m_pSliderVolume[0]->value(), 2);
        QVERIFY(w.m_pButtonMute[1]->isChecked());
        QCOMPARE(w.m_SndPerform.m_pnTrackVolume[0], short(2));
        QVERIFY(w.m_SndPerform.m_pbTrackMute[1]);

        DiskFaults::Disarm();
        window.reset();
        // The preset is in the settings folder, and there only.
        const QString kept = config + QStringLiteral("/Preset_0.idh");
        QVERIFY(QFile::exists(kept) && !QFile::exists(MirrorTwinPath(kept)));
        auto again = NewWindow();
        again->ui->m_CtrlComboBox_Presets->setCurrentIndex(1);
        again->slot_PresetsSelChanged(1);
        QCOMPARE(again->ui->m_CtrlLineEdit_PresetName->text(), QStringLiteral("Close mics"));
        again.reset();
        if (folder == QLatin1String("locked"))
            PresetKeptOnLockedFolder(take);
        else if (folder != QLatin1String("made") && !folder.startsWith(QLatin1String("first run"))
                 && folder != QLatin1String("made later"))
            PresetAcrossLocks(take, folder);
    }

    void takeSettingsSurviveReopenAndRestart_data()
    {
        QTest::addColumn<bool>("writeProtected");
        QTest::addColumn<bool>("msOffBetween");
        QTest::addColumn<bool>("fullAtClose");   // the card refuses every write as the window closes
        QTest::addColumn<bool>("presetChosen");   // and, before, at several take changes with a preset chosen
        // Who stores a newer mix on the card unlocked after a change kept
        // in the mirror folder (see NewerMixOnUnlockedCard).
        QTest::addColumn<QString>("newerOnCard");
        QTest::newRow("writable card") << false << false << false << false << QString();
        QTest::newRow("write-protected card") << true << false << false << false << QString();
        // Mixed on the card, then locked; the program's folder in the
        // working folder missing, as on a fresh machine.
        QTest::newRow("card locked after its mix was saved") << true << false << false << false << QString();
        // The M/S boxes the other take turned off come on again with the
        // take: its pair's pans stay as they were saved.
        QTest::newRow("reopened after a take with M/S decoding off") << false << true << false << false << QString();
        // The last change, not written, is told before the window goes.
        QTest::newRow("card full when the window closes") << false << false << true << false << QString();
        // Neither the mix nor the preset's name changed: nothing to write,
        // nothing told; a new name the card refuses is told once.
        QTest::newRow("card full at take changes with a preset chosen") << false << false << true << true << QString();
        QTest::newRow("newer mix saved on the unlocked card, locked again")
            << true << false << false << false << QStringLiteral("window");
        QTest::newRow("newer mix saved by another copy of the program, locked again")
            << true << false << false << false << QStringLiteral("another program");
        QTest::newRow("newer mix written into the card's file by hand, locked again")
            << true << false << false << false << QStringLiteral("hand");
    }

    // Empty when the strips and the take's mixer show the volumes of the
    // first tracks.
    static QString Shown(DlgMain& window, const QList<int>& volumes)
    {
        for (int t = 0; t < volumes.size(); ++t) {
            if (window.m_pSliderVolume[t]->value() != volumes[t]
                || window.m_SndPerform.m_pnTrackVolume[t] != volumes[t])
                return QStringLiteral("track %1 at %2, not %3")
                    .arg(t + 1)
                    .arg(window.m_pSliderVolume[t]->value())
                    .arg(volumes[t]);
        }
        return QString();
    }

    // A take's mix on the card (tracks 1-3 at one level) changed while the
    // card is locked (tracks 2-4): kept in the mirror folder. Unlocked, the
    // window shows the card's mix, and a newer one is stored there by the
    // window (which then removes the older kept mix), another copy of the
    // program or a text editor. Locked again, the window and File Process
    // read the card's newer mix, the kept one left as it is.
    void NewerMixOnUnlockedCard(const QString& writer)
    {
        const QString id = writer == QLatin1String("window")            ? QStringLiteral("KIL001")
                           : writer == QLatin1String("another program") ? QStringLiteral("KIL002")
                                                                        : QStringLiteral("KIL003");
        TakeSpec spec = MonoTake(id, {0, 1, 2, 3});
        spec.bits = 16;
        spec.frames = 48000;
        const QString path = WriteConstantTake(m_czWork + QLatin1Char('/') + id, spec, {0x1000, 0x0800, 0x400, 0x200});
        const QString sidecar = DlgMain::TakeSettingsFilePath(path + QStringLiteral("_01.WAV"));
        const QString twin = MirrorTwinPath(sidecar);
        const QString folder = QFileInfo(sidecar).absolutePath();
        auto removeTwin = qScopeGuard([&] { QFile::remove(twin); });
        short volume[24], pan[24];
        bool mute[24] = {}, swap[12] = {};
        std::fill(volume, volume + 24, short(4));
        std::fill(pan, pan + 24, short(100));
        std::fill(volume, volume + 3, short(5));
        QVERIFY(SaveSettingsLocal(sidecar, volume, pan, pan, mute, false, false, swap, nullptr, -1, -1));
        QFile card(sidecar);
        QVERIFY(card.open(QIODevice::ReadWrite)
                && card.setFileTime(QDateTime::currentDateTime().addSecs(-3600), QFileDevice::FileModificationTime));
        card.close();
        const WritabilityProbe locked = [folder](const QString& asked) { return QDir(asked) != QDir(folder); };
        const auto lock = [&locked](bool on) { SetWritabilityProbe(on ? locked : WritabilityProbe()); };
        auto unlock = qScopeGuard([] { SetWritabilityProbe(WritabilityProbe()); });
        lock(true);
        auto window = NewWindow();
        SelectOneRow(*window, m_czDay1);
        QVERIFY(Open(*window, path));
        QCOMPARE(Shown(*window, {5, 5, 5, 4}), QString());
        for (int t = 1; t < 4; ++t)
            window->m_pSliderVolume[t]->setValue(7);
        window.reset();
        QVERIFY(QFile::exists(twin));

        lock(false);
        std::fill(volume, volume + 3, short(2));
        if (writer == QLatin1String("window")) {
            window = NewWindow();
            SelectOneRow(*window, m_czDay1);
            QVERIFY(Open(*window, path));
            QCOMPARE(Shown(*window, {5, 5, 5, 4}), QString());
            for (int t = 0; t < 3; ++t)
                window->m_pSliderVolume[t]->setValue(2);
            QVERIFY(Open(*window, path));
            QVERIFY(!QFile::exists(twin));
            window.reset();
        } else if (writer == QLatin1String("another program")) {
            QVERIFY(SaveSettingsLocal(sidecar, volume, pan, pan, mute, false, false, swap, nullptr, -1, -1));
        } else {
            QByteArray text = ReadAll(sidecar);
            QVERIFY(text.contains("\r\n5|5|5|4|"));
            text.replace("\r\n5|5|5|4|", "\r\n2|2|2|4|");
            QVERIFY(card.open(QIODevice::WriteOnly | QIODevice::Truncate) && card.write(text) == text.size());
            card.close();
        }

        lock(true);
        window = NewWindow();
        SelectOneRow(*window, m_czDay1);
        QVERIFY(Open(*window, path));
        QCOMPARE(Shown(*window, {2, 2, 2, 4}), QString());
        window.reset();
        QCOMPARE(QFile::exists(twin), writer != QLatin1String("window"));
        QSoundPerform loader;
        QList<tProcessInformation*> takes;
        auto release = qScopeGuard([&] { qDeleteAll(takes); });
        const QFileInfo day(folder);
        QVERIFY(procscan::ScanDayFolder(folder, day.path(), QString(), day.fileName(), &loader, &takes));
        QCOMPARE(takes.size(), 1);
        for (int t = 0; t < 4; ++t)
            QCOMPARE(int(takes[0]->pnTrackVolume[t]), int(volume[t]));
    }

    // A locked card shows the mix stored on it; a change goes to the
    // mirror folder (made with its parent, no box), which the next opening
    // shows, and the card keeps its file.
    void LockedCardShowsItsMix(const QString& path, const QString& sidecar)
    {
        short volume[24] = {}, left[24], right[24];
        bool mute[24] = {}, swap[12] = {};
        std::fill(left, left + 24, short(100));
        std::fill(right, right + 24, short(100));
        volume[0] = 4;
        volume[1] = 5;
        right[0] = 0;   // track 1 left
        mute[1] = true;
        QVERIFY(SaveSettingsLocal(sidecar, volume, left, right, mute, false, false, swap, nullptr, -1, -1));
        const QByteArray onCard = ReadAll(sidecar);
        const QString folder = QFileInfo(sidecar).absolutePath();
        SetWritabilityProbe([folder](const QString& asked) { return QDir(asked) != QDir(folder); });
        auto unlock = qScopeGuard([] { SetWritabilityProbe(WritabilityProbe()); });
        QVERIFY(removePath(QFileInfo(QAll_GetMirrorPathFolder()).absolutePath()));
        ModalBoxAnswerer answerer;
        auto window = NewWindow();
        SelectOneRow(*window, m_czDay1);
        QVERIFY(Open(*window, path));
        QCOMPARE(window->m_pSliderVolume[1]->value(), 5);
        QVERIFY(window->m_pButtonMute[1]->isChecked());
        QCOMPARE(window->m_SndPerform.m_pnTrackPan[0], short(0));
        QCOMPARE(window->m_SndPerform.m_pnTrackVolume[1], short(5));
        window->m_pSliderVolume[1]->setValue(6);
        QVERIFY(Open(*window, path));
        QCOMPARE(window->m_pSliderVolume[1]->value(), 6);
        QVERIFY(window->m_pButtonMute[1]->isChecked());
        window.reset();
        QVERIFY(answerer.SeenBoxes().isEmpty());
        QCOMPARE(ReadAll(sidecar), onCard);
        QVERIFY(QFile::exists(QAll_GetMirrorPathFolder() + QLatin1Char('/') + QFileInfo(sidecar).fileName()));
    }

    // Preset 1 kept with a name and chosen in the list; then take changes
    // with the program's folder on a full card, counting the messages
    // (each one a box).
    void TakeChangesOnFullCard(DlgMain& window, const QString& path)
    {
        Ui::DlgMain* ui = window.ui.get();
        QComboBox* combo = ui->m_CtrlComboBox_Presets;
        QLineEdit* name = ui->m_CtrlLineEdit_PresetName;
        QFile::remove(window.PresetFilePath(1));
        combo->setCurrentIndex(1);
        QTest::mouseClick(ui->m_CtrlButton_SavePreset, Qt::LeftButton);
        name->setText(QStringLiteral("Close mics"));
        combo->setCurrentIndex(0);
        combo->setCurrentIndex(1);
        QCOMPARE(name->text(), QStringLiteral("Close mics"));
        const QByteArray preset = ReadAll(window.PresetFilePath(1));

        QSignalSpy messages(global_pLogger, &MessageLoging::signal_message);
        ModalBoxAnswerer answerer;
        tyDiskFaultPlan full;
        full.eKind = DiskCall::Write;
        full.nNth = 1;
        full.nError = ENOSPC;
        full.bPersistent = true;
        DiskFaults::Arm(full);
        auto disarm = qScopeGuard([] { DiskFaults::Disarm(); });
        for (int change = 0; change < 5; ++change)
            QVERIFY(Open(window, path));
        QCOMPARE(messages.count(), 0);
        // A new name the card refuses: told once, and the entry shows the
        // name kept again.
        name->setText(QStringLiteral("Wide"));
        for (int change = 0; change < 3; ++change)
            QVERIFY(Open(window, path));
        QCOMPARE(messages.count(), 1);
        QVERIFY2(messages.first().at(1).toString().contains(QStringLiteral("Preset_0.idh keeps its previous settings")),
                 qPrintable(messages.first().at(1).toString()));
        QCOMPARE(name->text(), QStringLiteral("Close mics"));
        // A new mix saved by a click: told at each refusal.
        window.m_pSliderVolume[2]->setValue(1);
        QTest::mouseClick(ui->m_CtrlButton_SavePreset, Qt::LeftButton);
        QTest::mouseClick(ui->m_CtrlButton_SavePreset, Qt::LeftButton);
        QCOMPARE(messages.count(), 3);
        QCOMPARE(ReadAll(window.PresetFilePath(1)), preset);
        QVERIFY(answerer.SeenBoxes().isEmpty());
        disarm.dismiss();
        DiskFaults::Disarm();
        // With room again the name is written at the next take change.
        name->setText(QStringLiteral("Wide"));
        QVERIFY(Open(window, path));
        QCOMPARE(LoadSettingsLabel(window.PresetFilePath(1)), QStringLiteral("Wide"));
        QCOMPARE(messages.count(), 3);
        combo->setCurrentIndex(0);
        QVERIFY(QFile::remove(window.PresetFilePath(1)));
    }

    void takeSettingsSurviveReopenAndRestart()
    {
        QFETCH(bool, writeProtected);
        QFETCH(bool, msOffBetween);
        QFETCH(bool, fullAtClose);
        QFETCH(bool, presetChosen);
        QFETCH(QString, newerOnCard);
        if (!newerOnCard.isEmpty())
            return NewerMixOnUnlockedCard(newerOnCard);
        const QString id = writeProtected ? QStringLiteral("RO0001")
                           : msOffBetween ? QStringLiteral("RW0003")
                           : presetChosen ? QStringLiteral("RW0006")
                           : fullAtClose  ? QStringLiteral("RW0005")
                                          : QStringLiteral("RW0001");
        const QString path = ConstantTake(id, false);
        const QString folder = QFileInfo(path).absolutePath();
        const QString sidecar = DlgMain::TakeSettingsFilePath(path + QStringLiteral("_01.WAV"));
        const QString mirror = QAll_GetMirrorPathFolder() + QLatin1Char('/') + QFileInfo(sidecar).fileName();
        QFile::remove(mirror);
        if (QTest::currentDataTag() == QByteArray("card locked after its mix was saved")) {
            auto removeCopy = qScopeGuard([&] { QFile::remove(mirror); });
            return LockedCardShowsItsMix(path, sidecar);
        }
        QVERIFY(QDir().mkpath(QAll_GetMirrorPathFolder()));
        if (writeProtected && !Protect(folder, true))
            QSKIP("the folder cannot be made write-protected here");
        auto unprotect = qScopeGuard([&] {
            if (writeProtected)
                Protect(folder, false);
        });
        {
            auto window = NewWindow();
            SelectOneRow(*window, m_czDay1);
            QVERIFY(Open(*window, path));
            window->m_pSliderVolume[1]->setValue(6);
            QTest::mouseClick(window->m_pPanPot[0], Qt::LeftButton);
            QTest::mouseClick(window->m_pButtonMute[0], Qt::LeftButton);
            if (msOffBetween) {
                const QString other = ConstantTake(QStringLiteral("RW0004"), false);
                short volume[24], pan[24];
                bool mute[24] = {}, swap[12] = {};
                std::fill(volume, volume + 24, short(4));
                std::fill(pan, pan + 24, short(100));
                QVERIFY(SaveSettingsLocal(DlgMain::TakeSettingsFilePath(other + QStringLiteral("_01.WAV")), volume,
                                          pan, pan, mute, false, false, swap, nullptr, -1, -1));
                QVERIFY(Open(*window, other));
                QVERIFY(!window->m_pCheckBoxMs[0]->isChecked());
            }
            // Reopening the take in the same window.
            QVERIFY(Open(*window, path));
            QCOMPARE(window->m_pSliderVolume[1]->value(), 6);
            QCOMPARE(window->m_SndPerform.m_pnTrackPan[0], short(2));
            if (presetChosen)
                TakeChangesOnFullCard(*window, path);
            window->m_pSliderVolume[1]->setValue(7);
            if (fullAtClose) {
                tyDiskFaultPlan full;
                full.eKind = DiskCall::Write;
                full.nNth = 1;
                full.nError = ENOSPC;
                full.bPersistent = true;
                // The mix, and the settings file and the report setup
                // where they changed, each told.
                ModalBoxAnswerer answerer;
                answerer.ThenAccept().ThenAccept().ThenAccept().ThenAccept();
                DiskFaults::Arm(full);
                window.reset();
                DiskFaults::Disarm();
                QVERIFY(!answerer.SeenBoxes().isEmpty());
                QVERIFY2(answerer.SeenBoxes().first().text.contains(QFileInfo(sidecar).fileName()),
                         qPrintable(answerer.SeenBoxes().first().text));
            }
        }
        QCOMPARE(QFile::exists(sidecar), !writeProtected);
        QCOMPARE(QFile::exists(mirror), writeProtected);
        // A restart: a new window opens the take again.
        auto window = NewWindow();
        QVERIFY(Open(*window, path));
        const short kept = fullAtClose ? 6 : 7;
        QCOMPARE(window->m_pSliderVolume[1]->value(), int(kept));
        QVERIFY(window->m_pButtonMute[0]->isChecked());
        QVERIFY(window->m_SndPerform.m_pbTrackMute[0]);
        QCOMPARE(window->m_SndPerform.m_pnTrackVolume[1], kept);
        window.reset();
        QFile::remove(mirror);
    }

    // A preset applied to several takes replaces each take's settings file
    // whole; a take whose copy fails keeps its old file, and one warning
    // names it.
    void presetAppliedToSeveralTakes()
    {
        // Takes of a day (the browser lists takes in days): B in a day of its
        // own. Both are written before the window lists the days.
        TakeSpec spec = MonoTake(QStringLiteral("MULA01"), {0, 1});
        const QString dayB = MakeDay(m_Media.path() + QStringLiteral("/DEMO_CARD/FEATURE.BR1"), QDate(2024, 6, 1));
        const QString pathA = WriteConstantTake(m_czDay1, spec, {1, 2});
        spec.id = QStringLiteral("MULB01");
        const QString pathB = WriteConstantTake(dayB, spec, {1, 2});
        // The last track file's row stands for a take.
        const QString fileA = pathA + QStringLiteral("_02.WAV"), fileB = pathB + QStringLiteral("_02.WAV");
        const QByteArray old = "#LABEL\r\nold|\r\n";
        for (const QString& file : {fileA, fileB}) {
            QFile sidecar(DlgMain::TakeSettingsFilePath(file));
            QVERIFY(sidecar.open(QIODevice::WriteOnly));
            sidecar.write(old);
        }
        auto window = NewWindow();
        DlgMain& w = *window;
        QFile preset(w.PresetFilePath(3));
        QVERIFY(preset.open(QIODevice::WriteOnly));
        preset.write("#LABEL\r\nwide|\r\n#PLAYER_TRACK_VOL\r\n2|2|\r\n");
        preset.close();

        QItemSelectionModel* selection = w.ui->m_CtrlTreeView->selectionModel();
        // The window selects the row the last window had selected.
        selection->clearSelection();
        for (const QString& file : {fileA, fileB}) {
            QModelIndex row;
            QTRY_VERIFY((row = w.m_pFSProxyModel->mapFromSource(w.m_pFSModel->index(file))).isValid());
            selection->select(row, QItemSelectionModel::Select | QItemSelectionModel::Rows);
        }
        QCOMPARE(selection->selectedRows(0).size(), 2);
        // The preset controls show the chosen entry for the two takes: this
        // one lacks the pan, mute and M/S keys, so it cannot be applied.
        w.ui->m_CtrlComboBox_Presets->setCurrentIndex(3);
        w.m_pTimerSelection->stop();
        w.slot_TimerSelectionChanged();
        QCOMPARE(w.ui->m_CtrlLineEdit_PresetName->text(), QStringLiteral("N.A"));
        QVERIFY(!w.ui->m_CtrlButton_ApplyPreset->isEnabled());
        QVERIFY(!w.ui->m_CtrlLineEdit_PresetName->isEnabled());
        const QString folderB = QFileInfo(fileB).absolutePath();
        if (!Protect(folderB, true))
            QSKIP("the folder cannot be made write-protected here");
        auto unprotect = qScopeGuard([&] { Protect(folderB, false); });
        // The locked card's settings go to the mirror folder, where a
        // folder holds the name: the copy fails.
        const QString twinB = MirrorTwinPath(DlgMain::TakeSettingsFilePath(fileB));
        QVERIFY(QDir().mkpath(twinB));
        auto removeTwin = qScopeGuard([&] { QDir(twinB).removeRecursively(); });
        const int boxes = w.OpenMessageBoxCount();
        w.LoadConfigToPlayer(3);
        QTRY_COMPARE(w.OpenMessageBoxCount(), boxes + 1);
        auto bytes = [](const QString& path) {
            QFile file(path);
            return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
        };
        QCOMPARE(bytes(DlgMain::TakeSettingsFilePath(fileA)), bytes(w.PresetFilePath(3)));
        QCOMPARE(bytes(DlgMain::TakeSettingsFilePath(fileB)), old);
    }

    // A note typed, then Tab from field to field and button to button until
    // Apply has the focus: Space presses it.
    void TabReachesApply(DlgMain& window)
    {
        auto discard = qScopeGuard([&] { window.m_bEditMetadata = false; });
        QPushButton* apply = window.ui->m_CtrlButton_ApplyChanges;
        QTest::keyClick(window.windowHandle(), Qt::Key_X);
        QTRY_VERIFY(apply->isVisible());
        QStringList path;
        for (int i = 0; i < 60 && QApplication::focusWidget() != apply; ++i) {
            QTest::keyClick(window.windowHandle(), Qt::Key_Tab);
            path << (QApplication::focusWidget() ? QApplication::focusWidget()->objectName() : QStringLiteral("none"));
        }
        QVERIFY2(QApplication::focusWidget() == apply, qPrintable(path.mid(0, 12).join(QStringLiteral(", "))));
        QSignalSpy pressed(apply, &QPushButton::clicked);
        QTest::keyClick(window.windowHandle(), Qt::Key_Space);
        QTRY_COMPARE(pressed.count(), 1);
        QCOMPARE(State(window), short(PlayerStopped));
    }

    // The first key after the window manager activated the window, nothing
    // clicked, as the window system delivers it: Space plays the restored
    // take, Down browses; the browse-mode box and the browser stay as they
    // were. A click on a button, or on the metadata panel still disabled,
    // leaves the keys with the window: Down browses after it.
    void firstKeyBeforeAnyClick_data()
    {
        QTest::addColumn<bool>("restored");
        QTest::addColumn<int>("key");
        QTest::addColumn<QString>("clicked");   // the object name of the control clicked first
        QTest::newRow("Space plays the restored take") << true << int(Qt::Key_Space) << QString();
        QTest::newRow("Down goes to the next row") << true << int(Qt::Key_Down) << QString();
        QTest::newRow("Down with nothing stored selects a row") << false << int(Qt::Key_Down) << QString();
        for (const char* button : {"m_CtrlButton_ApplyPreset", "m_CtrlButton_SavePreset", "m_CtrlButton_CopyTrackNames",
                                   "m_CtrlButton_ApplyTrackNames", "m_CtrlPushButton_Play", "m_CtrlPushButton_Stop"})
            QTest::newRow(qPrintable(QStringLiteral("Down after a click on ") + button))
                << true << int(Qt::Key_Down) << QString::fromLatin1(button);
        QTest::newRow("Down after a click on the disabled note, nothing selected")
            << false << int(Qt::Key_Down) << QStringLiteral("m_CtrlEditEditorNote");
        // In a field the keys go to it first: Escape, which types nothing,
        // still stops the sound; Tab reaches the window's buttons.
        QTest::newRow("Escape in the note stops the sound")
            << true << int(Qt::Key_Escape) << QStringLiteral("m_CtrlEditEditorNote");
        QTest::newRow("Tab from the note reaches Apply, Space presses it")
            << true << int(Qt::Key_Tab) << QStringLiteral("m_CtrlEditEditorNote");
    }

    void firstKeyBeforeAnyClick()
    {
        QFETCH(bool, restored);
        QFETCH(int, key);
        QFETCH(QString, clicked);
        QFile::remove(AppFolders::SettingsFilePath());
        const auto forget = qScopeGuard([] { QFile::remove(AppFolders::SettingsFilePath()); });
        // Long enough to be still playing at the Escape.
        const QString take = QLatin1String(key == Qt::Key_Escape ? "/A01T16_24.WAV" : "/A01T02-03.WAV");
        if (restored)
            SelectOneRow(*NewWindow(), m_czDay1 + take);
        auto window = NewWindow();
        QTreeView* tree = window->ui->m_CtrlTreeView;
        QTRY_VERIFY(window->m_pFSProxyModel->rowCount() > 0 && window->ui->m_CtrlPushButton_Play->isEnabled() == restored);
        QVERIFY(ModalBoxAnswerer::Activate(window.get()));
        ModalBoxAnswerer answerer;   // none is expected
        answerer.ThenAccept();
        if (key == Qt::Key_Escape) {
            QTest::keyClick(window->windowHandle(), Qt::Key_Space);
            QTRY_COMPARE(State(*window), short(PlayerPlaying));
        }
        if (!clicked.isEmpty()) {
            auto* control = window->findChild<QWidget*>(clicked);
            QVERIFY(control);
            if (clicked.contains(QLatin1String("Preset"))) {
                // A preset chosen and saved: both its buttons take a click.
                window->ui->m_CtrlComboBox_Presets->setCurrentIndex(1);
                window->ui->m_CtrlButton_SavePreset->click();
            }
            QCOMPARE(control->isEnabled(), restored);
            QVERIFY(userinput::Click(control));
            QTest::qWait(50);
        }
        const QModelIndex before = tree->currentIndex();
        if (key == Qt::Key_Tab)
            return TabReachesApply(*window);
        QTest::keyClick(window->windowHandle(), Qt::Key(key));
        if (key == Qt::Key_Space)
            QTRY_COMPARE(State(*window), short(PlayerPlaying));
        else if (key == Qt::Key_Escape)
            QTRY_COMPARE(State(*window), short(PlayerStopped));
        else
            QTRY_VERIFY(tree->currentIndex() != before && tree->selectionModel()->isSelected(tree->currentIndex()));
        QVERIFY(!window->ui->m_CtrlCheckBox_EnableFullBrowse->isChecked() && tree->isVisible());
        QCOMPARE(answerer.SeenBoxes().size(), 0);
        // Pasted names are not this test's edit.
        window->m_bEditMetadata = false;
    }

    // Take data the strip and the timeline must survive.
    void unusualTakes()
    {
        DlgMain w;
        // An interleaved take whose positions carry no recorder track (-1)
        // or one past the last: their meters are off, nothing is indexed.
        QVERIFY(Open(w, m_czDay1 + QStringLiteral("/A01T06PX")));
        w.m_SndPerform.m_pnOriginalTrackIndex[0] = -1;
        w.m_SndPerform.m_pnOriginalTrackIndex[1] = 40;
        w.EnablePlayerModeSingle();
        w.OnTimer();
        QTest::mouseClick(w.m_pButtonSolo[1], Qt::LeftButton);
        QVERIFY(!w.m_pVum[1]->overLit());

        // No frame rate: the time codes show dashes, nothing divides by 0.
        w.m_SndPerform.m_nFrameRate = 0;
        w.SetInfosPlayer();
        QCOMPARE(w.ui->m_CtrlWidget_PlayTimeLine->TcInText(), QStringLiteral("--:--:--:--"));
        QVERIFY(w.ui->m_CtrlWidget_PlayTimeLine->TcOutText().startsWith(QStringLiteral("--:--:--:--")));

        // A mono family with a file named like a poly take beside it: the
        // timeline shows the family the take object loaded.
        TakeSpec spec = MonoTake(QStringLiteral("TWIN01"), {0, 1});
        const QString twin = m_czWork + QStringLiteral("/twin");
        QDir().mkpath(twin);
        for (int i = 0; i < 2; ++i) {
            QFile file(twin + QLatin1Char('/') + TrackFileName(spec, i));
            QVERIFY(file.open(QIODevice::WriteOnly));
            file.write(BuildMonoFile(spec, i));
        }
        // The poly-named file appears once the family was loaded (a bounce
        // written beside it, say).
        w.CloseTakeInPlayer();
        QVERIFY(w.m_SndPerform.InitFilesZZ(twin + QStringLiteral("/TWIN01"), QStringLiteral("WAV")));
        QFile beside(twin + QStringLiteral("/TWIN01.WAV"));
        QVERIFY(beside.open(QIODevice::WriteOnly));
        beside.write(QByteArray(64, '\0'));
        beside.close();
        w.OpenTakeInPlayer();
        QVERIFY(w.ui->m_CtrlWidget_PlayTimeLine->Overview().HasTrack(0));
        QVERIFY(w.ui->m_CtrlWidget_PlayTimeLine->Overview().HasTrack(1));

        // A player deleted through the take's link (code that knows only
        // the link) leaves the window without a dangling player.
        QVERIFY(w.Player());
        delete w.m_SndPerform.m_pSfxPlayer;
        w.m_SndPerform.m_pSfxPlayer = nullptr;
        QVERIFY(!w.Player());
        w.CloseTakeInPlayer();
        w.OnPushButton_Play();
    }

    // In the dB modes a track draws nothing past the end of its own points.
    void timelineDbLevelPastTrackData()
    {
        ScratchDir dir;
        TakeSpec shortSpec = MonoTake(QStringLiteral("SHRT01"), {0});
        TakeSpec longSpec = MonoTake(QStringLiteral("LONG01"), {1});
        longSpec.frames = 48000 * 2;
        QStringList files;
        for (const TakeSpec& spec : {shortSpec, longSpec}) {
            files << dir.path() + QLatin1Char('/') + TrackFileName(spec, 0);
            QFile file(files.last());
            QVERIFY(file.open(QIODevice::WriteOnly));
            file.write(BuildMonoFile(spec, 0));
        }
        QPlayTimeLine line;
        QVERIFY(line.LoadOndeFromFiles(files));
        QVERIFY(line.GetOndeDbLevel(0, 24000) > 0);
        QCOMPARE(line.GetOndeDbLevel(0, 72000), 0);
        QVERIFY(line.GetOndeDbLevel(1, 72000) > 0);
        QCOMPARE(line.GetOndeDbLevel(5, 100), 0);
    }
};

int main(int argc, char** argv)
{
    return RunPartedTest<TestPlayerWindow>(argc, argv);
}
#include "test_playerwindow.moc"
