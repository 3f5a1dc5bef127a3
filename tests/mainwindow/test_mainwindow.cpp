// The main window on the demo media: construction and teardown, the
// settings file, the view switch and context menu, the message boxes, the
// small commands and the form's texts.
#include "ui_dlgmain.h"
#include "report/qfileinfolistwidget.h"
#include "report/qfileinfowidget.h"

#include "browser/fsitemtype.h"
#include "browser/qbriselfsfilterproxymodel.h"
#include "browser/qbriselfsmodel.h"
#include "foundation/messageloging.h"
#include "foundation/platform/appfolders.h"
#include "foundation/platform/desktopshell.h"
#include "mainwindow/appentry.h"
#include "mainwindow/dlgmain.h"
#include "take/soundperform.h"
#include "player/qdialogsetup.h"
#include "player/qplaytimeline.h"
#include "report/reportsetupfile.h"
#include "tests/support/demomedia.h"
#include "tests/support/diskfaultwalk.h"
#include "tests/support/fullvolume.h"
#include "tests/support/fixturevariants.h"
#include "widgets/qdialogmessagelineedit.h"
#include "widgets/qmycombobox.h"
#include "tests/support/modalboxanswerer.h"
#include "tests/support/riffbytes.h"
#include "tests/support/scratchdir.h"
#include "tests/support/tableparts.h"

#include <QDateEdit>
#include <QScopeGuard>
#include <QSignalSpy>
#include <QScreen>
#include <QScrollBar>
#include <QToolTip>
#include <QMessageBox>
#include <QScreen>
#include <QSettings>
#include <QtEndian>
#include <QtTest>
#include <memory>

class TestMainWindow : public QObject
{
    Q_OBJECT

    fixture::ScratchDir m_Media;
    QString m_czDay1;

    QString SettingsFile() const { return AppFolders::SettingsFilePath(); }

    std::unique_ptr<DlgMain> NewWindow()
    {
        auto window = std::make_unique<DlgMain>();
        window->show();
        if (!QTest::qWaitForWindowExposed(window.get()))
            qWarning("window not exposed");
        return window;
    }

    // Selects a browser row by its absolute path (listing folders on the way).
    static QModelIndex SelectPath(DlgMain& window, const QString& path, const QString& tag = QString())
    {
        const QModelIndex source = tag.isEmpty() ? window.m_pFSModel->index(path)
                                                 : window.m_pFSModel->index(path, tag);
        const QModelIndex view = window.m_pFSProxyModel->mapFromSource(source);
        if (view.isValid())
            window.ui->m_CtrlTreeView->setCurrentIndex(view);
        return view;
    }

    // Under Xvfb, NALVO_GRAB_DIR receives PNGs of the window for looking at.
    static void Grab(QWidget* widget, const QString& name)
    {
        const QString folder = qEnvironmentVariable("NALVO_GRAB_DIR");
        if (folder.isEmpty())
            return;
        QTest::qWait(300);
        widget->grab().save(folder + QLatin1Char('/') + name + QStringLiteral(".png"));
    }

    // Report header texts and a last import path longer than the page left
    // in the temporary folder: both files take them, put together in
    // memory, and nothing is told; a second close, nothing changed, neither.
    void SettingsWrittenWithTemporaryFolderFull(DlgMain& window, QSignalSpy& messages, const QByteArray& before)
    {
        const QString setupFile = window.m_czReportSetupPath;
        for (auto& line : window.m_ReportSetup.Header)
            for (tyReportBlock& cell : line)
                cell = tyReportBlock{0, QString(280, QLatin1Char('h'))};
        window.m_czImportLastPath = QStringLiteral("/Volumes/") + QString(9000, QLatin1Char('p'));
        window.m_nYellowZone = 14;
        const QByteArray temporary = qgetenv("TMPDIR");
        const auto restore = [&] {
            if (temporary.isNull())
                qunsetenv("TMPDIR");
            else
                qputenv("TMPDIR", temporary);
        };
        auto restored = qScopeGuard(restore);
        fixture::ScratchDir scratch;
        QString how;
        QByteArray written;
        const bool saved = fixture::RunOnFullVolume(scratch.path(), 16384, [&](const QString& folder) {
            // 8 KiB left, on a volume of its own only (not in a child).
            if (how != QLatin1String("tmpfs")
                || !fixture::WriteBytes(folder + QStringLiteral("/filler"), QByteArray(8192, 'f')))
                return false;
            qputenv("TMPDIR", QFile::encodeName(folder));
            messages.clear();
            window.SaveIniSettings();
            written = fixture::ReadBytes(SettingsFile());
            window.SaveIniSettings();
            restore();
            return true;
        }, &how);
        if (how != QLatin1String("tmpfs"))
            QSKIP("no small volume could be mounted here");
        QVERIFY(saved);
        QVERIFY(messages.isEmpty());
        QVERIFY(written != before);
        QCOMPARE(fixture::ReadBytes(SettingsFile()), written);
        QSettings stored(SettingsFile(), QSettings::IniFormat);
        QCOMPARE(stored.value("Import/lastPath").toString(), window.m_czImportLastPath);
        tyReportSetup setup;
        QVERIFY(ReportSetupFile::Load(setupFile, &setup).isEmpty());
        QVERIFY(setup == window.m_ReportSetup);
    }

    // A window opened on the files its close wrote, and closed again with
    // nothing changed, on a card that refuses every call: neither file is
    // written, so nothing is refused or told.
    void NothingWrittenAtUnchangedClose(std::unique_ptr<DlgMain>& window)
    {
        const QString setupFile = window->m_czReportSetupPath;
        window.reset();
        const QByteArray settings = fixture::ReadBytes(SettingsFile());
        const QByteArray setup = fixture::ReadBytes(setupFile);
        window = NewWindow();
        QObject::disconnect(global_pLogger, nullptr, window.get(), nullptr);
        QSignalSpy messages(global_pLogger, &MessageLoging::signal_message);
        tyDiskFaultPlan locked;
        locked.nNth = 1;
        locked.nError = EROFS;
        locked.bPersistent = true;
        DiskFaults::Arm(locked);
        window.reset();
        const int calls = DiskFaults::Calls();
        DiskFaults::Disarm();
        QCOMPARE(calls, 0);
        QCOMPARE(messages.count(), 0);
        QCOMPARE(fixture::ReadBytes(SettingsFile()), settings);
        QCOMPARE(fixture::ReadBytes(setupFile), setup);
    }

private slots:
    void initTestCase()
    {
        QVERIFY(!fixture::WriteDemoVolume(m_Media.path()).isEmpty());
        qputenv("NALVO_VOLUMES_ROOT", m_Media.path().toUtf8());
        m_czDay1 = m_Media.path() + QStringLiteral("/DEMO_CARD/FEATURE.BR1/2024-05-01.OVD");
        QDir().mkpath(AppFolders::ConfigFolder());
        const QByteArray factor = qgetenv("NALVO_TEST_FONT_FACTOR");
        if (!factor.isEmpty())
            qApp->setProperty("fontFactor", factor.toFloat());
    }

    void init()
    {
        if (!CurrentRowInPart())
            QSKIP("a row of another part");
        QFile::remove(SettingsFile());
    }

    void startsEmptyAndDisabled()
    {
        auto window = NewWindow();
        Ui::DlgMain* ui = window->ui.get();
        QCOMPARE(window->windowTitle(), QStringLiteral("Nalvo Version " NALVO_VERSION_STRING));
        QCOMPARE(ui->m_CtrlStackedWidget_Metadata->currentIndex(), 0);
        for (QWidget* off : QList<QWidget*>{ui->m_CtrlEditEditorScene, ui->m_CtrlEditEditor_TakeNumber,
                                            ui->m_CtrlEditEditorNote, ui->m_CtrlEditEditorUbits,
                                            ui->m_CtrlEditEditorTape, ui->m_CtrlComboBox_TakeIndicator,
                                            ui->m_CtrlButton_ApplyTrackNames})
            QVERIFY2(!off->isEnabled(), qPrintable(off->objectName()));
        // A disabled box looks like a disabled field, not like one to edit.
        const auto inside = [](QWidget* w) { return QColor(w->grab().toImage().pixel(4, w->height() / 2)); };
        QCOMPARE(inside(ui->m_CtrlComboBox_TakeIndicator), inside(ui->m_CtrlEditEditorUbits));
        for (QWidget* hidden : QList<QWidget*>{ui->m_CtrlButton_ApplyChanges, ui->m_CtrlProgressBar_SaveMetadata,
                                               ui->m_CtrlPushButton_ToggleMode, ui->m_CtrlButton_ReloadTree,
                                               ui->m_CtrlListWidget_Files, ui->m_CtrlLabel_Files})
            QVERIFY2(hidden->isHidden(), qPrintable(hidden->objectName()));
        for (int t = 0; t < DlgMain::kTracks; ++t) {
            QCOMPARE(window->m_pSliderVolume[t]->value(), 4);
            QVERIFY(!window->m_pButtonMute[t]->isChecked());
            QVERIFY(!window->m_pEditTrackName[t]->isEnabled());
            QCOMPARE(window->m_pEditTrackName[t]->maxLength(), 12);
        }
        // The browser lists the demo volume at its top level.
        QTRY_VERIFY(window->m_pFSProxyModel->rowCount() >= 1);
        QVERIFY(window->m_pFSProxyModel->index(0, 0).data().toString().startsWith(QStringLiteral("DEMO_CARD")));
        Grab(window.get(), QStringLiteral("mainwindow-empty"));
        Grab(window->ui->groupBox_Metadata, QStringLiteral("mainwindow-takeview"));
    }

    // The demo's 24-track take on a full-HD screen and at the form's size:
    // on full HD every strip, the timeline and the editor show without
    // scrolling, and a full track name fits its edit. Whatever the take, the
    // player's transport buttons stand whole, a take without a waveform
    // giving the player its least height.
    void twentyFourTracksFitFullHd_data()
    {
        QTest::addColumn<QSize>("size");
        QTest::addColumn<bool>("mustFit");
        QTest::addColumn<QString>("files");   // in the demo project
        QTest::addColumn<int>("tracks");
        const QString full = QStringLiteral("2024-05-01.OVD/A01T16_*.WAV");
        QTest::newRow("fullhd") << QSize(1920, 1080) << true << full << 24;
        QTest::newRow("default") << QSize() << false << full << 24;
        QTest::newRow("no waveform, default")
            << QSize() << false << QStringLiteral("2024-05-02.OVD/B02T02PX.WAV") << 2;
    }

    void twentyFourTracksFitFullHd()
    {
        QFETCH(QSize, size);
        QFETCH(bool, mustFit);
        QFETCH(QString, files);
        QFETCH(int, tracks);
        // Fonts as the program sizes them for this screen.
        const QVariant factor = qApp->property("fontFactor");
        const auto restore = qScopeGuard([&factor] { qApp->setProperty("fontFactor", factor); });
        qApp->setProperty("fontFactor", ScreenFontFactor(ReadFontFactor(QString()),
                                                         QGuiApplication::primaryScreen()->logicalDotsPerInchY()));
        auto window = NewWindow();
        if (size.isValid())
            window->resize(size);
        // The browser shows the take on one of its files, once the volume
        // poller has listed the card.
        const QFileInfo pattern(QFileInfo(m_czDay1).path() + QLatin1Char('/') + files);
        const QFileInfoList members = pattern.dir().entryInfoList({pattern.fileName()});
        QVERIFY(!members.isEmpty());
        QTRY_VERIFY(window->m_pFSModel->index(members.first().filePath()).isValid());
        bool selected = false;
        for (const QFileInfo& member : members)
            selected = selected || SelectPath(*window, member.filePath()).isValid();
        QVERIFY(selected);
        QTRY_VERIFY(window->m_pEditTrackName[tracks - 1]->isEnabled());
        QTest::qWait(50);
        Ui::DlgMain* ui = window->ui.get();
        QRect above;
        for (QWidget* button : {static_cast<QWidget*>(ui->m_CtrlButton_WavformMode),
                                static_cast<QWidget*>(ui->m_CtrlPushButton_Play),
                                static_cast<QWidget*>(ui->m_CtrlPushButton_Stop)}) {
            const QRect at(button->mapTo(ui->groupBox_Player, QPoint()), button->size());
            QVERIFY2(ui->groupBox_Player->rect().contains(at) && !at.intersects(above)
                         && at.height() >= button->minimumHeight(),
                     qPrintable(button->objectName()));
            above = at;
        }
        // Opening the take sets every level without a pointer over a slider.
        QVERIFY(!QToolTip::isVisible());
        for (int t = 0; t < DlgMain::kTracks; ++t)
            window->m_pEditTrackName[t]->setText(QStringLiteral("LAV_ACTOR_%1").arg(t + 1, 2, 10, QLatin1Char('0')));
        QTest::qWait(100);
        Grab(window.get(), QStringLiteral("mainwindow-24tracks-%1").arg(QTest::currentDataTag()));
        if (!mustFit)
            return;
        QVERIFY(!ui->scrollArea->horizontalScrollBar()->isVisible());
        QVERIFY(!ui->scrollArea->verticalScrollBar()->isVisible());
        QVERIFY(!ui->scrollArea_2->horizontalScrollBar()->isVisible());
        const QRect shown = ui->scrollArea->viewport()->rect();
        for (QWidget* part : {static_cast<QWidget*>(window->m_pFrameTrack[23]),
                              static_cast<QWidget*>(ui->m_CtrlWidget_PlayTimeLine),
                              static_cast<QWidget*>(ui->groupBox_Metadata)}) {
            const QRect at(part->mapTo(ui->scrollArea->viewport(), QPoint()), part->size());
            QVERIFY2(shown.contains(at), qPrintable(part->objectName()));
        }
        // With the cursor at its end, a name that does not fit scrolls its
        // first letters out of the edit.
        for (QLineEdit* edit : window->m_pEditTrackName) {
            edit->setCursorPosition(edit->text().size());
            QVERIFY2(edit->cursorPositionAt(QPoint(1, edit->height() / 2)) == 0, qPrintable(edit->objectName()));
        }
    }

    // The demo day's 24-track take carries a talk-shaped waveform overview on
    // every track, as the timeline shows it.
    void demoTakeWaveform()
    {
        auto window = NewWindow();
        QPlayTimeLine* line = window->ui->m_CtrlWidget_PlayTimeLine;
        QVERIFY(line->LoadOndeFromAudioFile(m_czDay1 + QStringLiteral("/A01T16"), false));
        line->SetSampleRate(48000);
        line->SetDurationSample(48000 * 20);
        int quiet = 0, loud = 0;
        for (int t = 0; t < 24; ++t) {
            QVERIFY2(line->Overview().HasTrack(t), qPrintable(QString::number(t)));
            for (int second = 0; second < 20; ++second) {
                const int level = line->GetOndeLevel(t, unsigned(second * 48000 + 24000));
                quiet += level < 20;
                loud += level > 100;
            }
        }
        // Pauses and phrases both occur.
        QVERIFY(quiet > 24 * 20 / 8);
        QVERIFY(loud > 24 * 20 / 8);
        Grab(window->ui->groupBox_Player, QStringLiteral("timeline-demo"));
    }

    void formTexts_data()
    {
        QTest::addColumn<QString>("name");
        QTest::addColumn<QString>("text");
        const char* const rows[][2] = {
            {"groupBox_browser", "Browser"}, {"m_CtrlCheckBox_EnableFullBrowse", "Enable browse on all Dir"},
            {"m_CtrlPushButton_ShowBrowser", " < "}, {"groupBox_Vumeter", "Trks"},
            {"m_CtrlPushButton_Solo_T7", "S"}, {"m_CtrlTrackButton_T24", "T24"}, {"m_CtrlPushButton_Mute_T1", "M"},
            {"label_20", "ms"}, {"m_CtrlButton_CopyTrackNames", "Copy Names"},
            {"m_CtrlButton_ApplyPreset", "Apply Preset"}, {"m_CtrlButton_SavePreset", "Save Preset"},
            {"groupBox_Player", "Player"}, {"groupBox_Metadata", " Metadata"}, {"m_LabelFileName", "FileTag:"},
            {"label_33", "Filename:"}, {"label_Scene", "Scene:"}, {"label_2", "sequence"},
            {"m_CtrlLabel_AdvSc_Field_11", "adv11"}, {"label_29", "Take:"}, {"label_34", "Take ind.:"},
            {"label_31", "Tape Ref:"}, {"label_7", "Frame rate:"}, {"m_CtrlLabelCreator", "-"},
            {"m_CtrlButton_ApplyChanges", "APPLY \n CHANGES"}, {"m_CtrlLabel_ListInfo", "No Day Selected"},
            {"m_CtrlEditEditor_TakeNumber", ""},
        };
        for (const auto& row : rows)
            QTest::newRow(row[0]) << QString::fromLatin1(row[0]) << QString::fromLatin1(row[1]);
    }

    void formTexts()
    {
        QFETCH(QString, name);
        QFETCH(QString, text);
        DlgMain window;
        QObject* widget = window.findChild<QObject*>(name);
        QVERIFY(widget);
        const QByteArray property = widget->inherits("QGroupBox") ? "title" : "text";
        QCOMPARE(widget->property(property).toString(), text);
    }

    void comboEntriesAndActions()
    {
        DlgMain window;
        const auto items = [](QComboBox* combo) {
            QStringList texts;
            for (int i = 0; i < combo->count(); ++i)
                texts << combo->itemText(i);
            return texts.join(QLatin1Char('|'));
        };
        QCOMPARE(items(window.ui->m_CtrlComboBox_Presets),
                 QStringLiteral("Default|Preset 1|Preset 2|Preset 3|Preset 4|Preset 5"));
        QCOMPARE(items(window.ui->m_CtrlComboBox_Filename), QStringLiteral("Short |Long|Long Underscore"));
        QCOMPARE(items(window.ui->m_CtrlComboBox_Circled), QStringLiteral("YES|NO"));
        QCOMPARE(items(window.ui->m_CtrlComboBox_TemplateTakeIndicator), QStringLiteral("With|Without"));
        QCOMPARE(items(window.ui->m_CtrlComboBox_TakeIndicator), QStringLiteral("t|p|w|a|n|r|g"));
        // The editor starts with no entry chosen.
        QCOMPARE(window.ui->m_CtrlComboBox_Filename->currentIndex(), -1);
        QCOMPARE(window.ui->m_CtrlAction_DoReport->shortcut(), QKeySequence(QStringLiteral("Ctrl+R")));
        QCOMPARE(window.ui->m_CtrlAction_SetupReport->shortcut(), QKeySequence(QStringLiteral("Ctrl+Shift+R")));
        QCOMPARE(window.ui->m_CtrlAction_SetupReport->text(), QStringLiteral("Rpt Setup "));
        QCOMPARE(window.ui->m_CtrlAction_FileProcess->toolTip(), QStringLiteral("Interleave selected File(s)"));
        QVERIFY(!window.ui->m_CtrlAction_FileBrowser->isVisible());
    }

    void editorLimits_data()
    {
        QTest::addColumn<QString>("name");
        QTest::addColumn<QString>("typed");
        QTest::addColumn<QString>("kept");
        QTest::addColumn<int>("warnings");    // "Invalid character !", one for each refused key
        QTest::addColumn<bool>("namedKeys");  // then Escape, Page Up, Page Down and Insert: they type nothing
        QTest::newRow("scene 8, list B refused") << "m_CtrlEditEditorScene" << "AB|C<D>12345" << "ABCD1234" << 3
                                                  << false;
        QTest::newRow("take 5") << "m_CtrlEditEditor_TakeNumber" << "123-4567" << "12345" << 1 << false;
        QTest::newRow("ubits hex 8") << "m_CtrlEditEditorUbits" << "12GZab3456" << "12ab3456" << 2 << false;
        QTest::newRow("tape 4") << "m_CtrlEditEditorTape" << "T0012" << "T001" << 0 << false;
        QTest::newRow("track name 12 with punctuation") << "m_CtrlEdit_T3" << "Lav (Anna)-2xyz" << "Lav (Anna)-2" << 0
                                                         << false;
        QTest::newRow("note, keys typing nothing") << "m_CtrlEditEditorNote" << "Ab~c" << "Abc" << 1 << true;
        QTest::newRow("ubits, keys typing nothing") << "m_CtrlEditEditorUbits" << "1x2" << "12" << 1 << true;
        QTest::newRow("tape, keys typing nothing") << "m_CtrlEditEditorTape" << "T-1" << "T1" << 1 << true;
        QTest::newRow("track name, keys typing nothing") << "m_CtrlEdit_T5" << "Bo<m" << "Bom" << 1 << true;
    }

    void editorLimits()
    {
        QFETCH(QString, name);
        QFETCH(QString, typed);
        QFETCH(QString, kept);
        QFETCH(int, warnings);
        QFETCH(bool, namedKeys);
        DlgMain window;
        auto* edit = window.findChild<QLineEdit*>(name);
        QVERIFY(edit);
        edit->setEnabled(true);
        edit->clear();
        ModalBoxAnswerer answerer;
        for (int i = 0; i < warnings + (namedKeys ? 4 : 0); ++i)
            answerer.ThenAccept();
        QTest::keyClicks(edit, typed);
        if (namedKeys) {
            for (const Qt::Key key : {Qt::Key_Escape, Qt::Key_PageUp, Qt::Key_PageDown, Qt::Key_Insert})
                QTest::keyClick(edit, key);
        }
        QCOMPARE(edit->text(), kept);
        QCOMPARE(answerer.SeenBoxes().size(), warnings);
    }

    void settingsRoundTrip()
    {
        const QString take = m_czDay1 + QStringLiteral("/A01T02-03.WAV");
        {
            auto window = NewWindow();
            // Within the offscreen platform's 800 x 600 screen as well.
            window->setGeometry(QRect(QPoint(40, 30), QSize(720, 540)));
            window->ui->m_CtrlToolBar->hide();
            window->ui->m_CtrlCheckBox_EnableFullBrowse->setChecked(true);
            window->m_nYellowZone = 14;
            window->m_nWavDisplayMode = WavDisplayHalfDb;
            QVERIFY(SelectPath(*window, take).isValid());
        }
        QSettings stored(SettingsFile(), QSettings::IniFormat);
        QCOMPARE(stored.value("LastFile/path").toString(), take);
        QCOMPARE(stored.value("LastFile/tag").toString(), QStringLiteral("A01T02"));
        QCOMPARE(stored.value("Vumeter/grid").toInt(), 1);
        QVERIFY(!stored.contains("ReportSetup/size"));

        auto window = NewWindow();
        QCOMPARE(window->geometry(), QRect(QPoint(40, 30), QSize(720, 540)));
        QVERIFY(window->ui->m_CtrlToolBar->isHidden());
        QVERIFY(window->ui->m_CtrlCheckBox_EnableFullBrowse->isChecked());
        QCOMPARE(window->m_nYellowZone, 14);
        QCOMPARE(window->ui->m_CtrlButton_WavformMode->text(), QStringLiteral("U-dB"));
        const QModelIndexList rows = window->ui->m_CtrlTreeView->selectionModel()->selectedRows(0);
        QCOMPARE(rows.size(), 1);
        QCOMPARE(rows.first().data(FSFilePathRole).toString(), take);

        // Two rows selected at close: the last item stays as stored.
        window->ui->m_CtrlTreeView->selectionModel()->select(
            window->ui->m_CtrlTreeView->currentIndex().sibling(0, 0),
            QItemSelectionModel::Select | QItemSelectionModel::Rows);
        window.reset();
        QSettings again(SettingsFile(), QSettings::IniFormat);
        QCOMPARE(again.value("LastFile/path").toString(), take);
    }

    // The settings file and the report setup are each replaced whole
    // through the disk calls: each call failed in turn leaves the old file
    // or the new one, and a failure is told.
    void settingsFileWholeAfterEachFailedCall_data()
    {
        QTest::addColumn<QString>("plan");
        QTest::addColumn<bool>("firstRun");   // no report setup file, nor its path, yet
        QTest::newRow("EIO") << QStringLiteral("EIO") << false;
        QTest::newRow("ENOSPC") << QStringLiteral("ENOSPC") << false;
        QTest::newRow("each write lost") << QStringLiteral("a write lost") << false;
        // The report setup is written beside the settings, which name it
        // whenever it took its file's name.
        QTest::newRow("EIO, a first run") << QStringLiteral("EIO") << true;
        // The system's temporary folder on a small volume with room for part
        // of the texts only: no part of the write.
        QTest::newRow("a nearly full temporary folder") << QStringLiteral("tmpdir") << false;
        QTest::newRow("each write lost, a first run") << QStringLiteral("a write lost") << true;
        // Opened and closed with nothing changed, on a card that refuses
        // every call: neither file is written, nothing is told.
        QTest::newRow("nothing changed since the open") << QStringLiteral("unchanged") << false;
    }

    void settingsFileWholeAfterEachFailedCall()
    {
        QFETCH(QString, plan);
        QFETCH(bool, firstRun);
        auto window = NewWindow();
        // The messages are counted here rather than shown as boxes.
        QObject::disconnect(global_pLogger, nullptr, window.get(), nullptr);
        QSignalSpy messages(global_pLogger, &MessageLoging::signal_message);
        const QString setupFile = AppFolders::ConfigFolder() + QStringLiteral("/DefaultReport.ini");
        // The report setup changes with the settings: each file is written.
        const auto change = [&](int yellow) {
            window->m_nYellowZone = yellow;
            window->m_ReportSetup.bNoteLine = yellow == 14;
        };
        const auto save = [&](int yellow) {
            change(yellow);
            window->SaveIniSettings();
            return fixture::ReadBytes(SettingsFile());
        };
        const QByteArray before = save(10);
        const QByteArray setupBefore = fixture::ReadBytes(setupFile);
        if (plan == QLatin1String("tmpdir"))
            return SettingsWrittenWithTemporaryFolderFull(*window, messages, before);
        if (plan == QLatin1String("unchanged"))
            return NothingWrittenAtUnchangedClose(window);
        const auto startFirstRun = [&] {
            window->m_czReportSetupPath.clear();
            change(14);
            QFile::remove(SettingsFile());
            QFile::remove(setupFile);
            return !QFileInfo::exists(SettingsFile()) && !QFileInfo::exists(setupFile);
        };
        if (firstRun)
            QVERIFY(startFirstRun());
        const QByteArray after = save(14);
        const QByteArray setupAfter = fixture::ReadBytes(setupFile);
        QVERIFY(before != after && setupBefore != setupAfter && messages.isEmpty());

        fixture::tyFaultWalkJob job;
        job.folders = QStringList{AppFolders::ConfigFolder()};
        job.syncedBeforeRename = true;
        job.begin = [&] {
            const bool reset = firstRun ? startFirstRun() : save(10) == before;
            change(14);
            messages.clear();
            return reset;
        };
        job.run = [&] {
            window->SaveIniSettings();
            return messages.isEmpty();
        };
        job.load = [] {};
        job.check = [&](bool done, bool) {
            const QByteArray bytes = fixture::ReadBytes(SettingsFile());
            const QByteArray setup = fixture::ReadBytes(setupFile);
            if (done)
                return bytes == after && setup == setupAfter ? QString() : QStringLiteral("told done, not written");
            if (!firstRun)
                return (bytes == before || bytes == after) && (setup == setupBefore || setup == setupAfter)
                           ? QString()
                           : QStringLiteral("left %1 and %2 bytes").arg(bytes.size()).arg(setup.size());
            // A setup that took its name holds the new settings, and is
            // told so; the settings written name it.
            const bool setupKept = QFileInfo::exists(setupFile);
            if (setupKept && !bytes.isEmpty() && bytes != after)
                return QStringLiteral("the settings do not name the report setup");
            for (const QList<QVariant>& message : messages) {
                const QString text = message.at(1).toString();
                if (text.contains(QStringLiteral("DefaultReport.ini"))
                    && text.contains(QStringLiteral("holds the new settings, which may not be on the disk yet"))
                           != setupKept)
                    return QStringLiteral("told: ") + text;
            }
            return QString();
        };
        const fixture::tyFaultWalk walk = fixture::WalkDiskFaults(job, plan);
        QVERIFY2(walk.lczFaults.isEmpty(), qPrintable(walk.lczFaults.join('\n')));
        QVERIFY(walk.nCalls > 0 && walk.nFailedRuns > 0);
    }

    // A stored geometry that no screen can show: the window opens whole on
    // a screen, no larger than it.
    void hostileGeometryIsFitted_data()
    {
        QTest::addColumn<QByteArray>("stored");
        QTest::newRow("huge size") << QByteArray("size=@Size(100000 100000)\npos=@Point(10 10)");
        QTest::newRow("off every screen") << QByteArray("size=@Size(600 400)\npos=@Point(5000 100)");
        QTest::newRow("negative place") << QByteArray("size=@Size(600 400)\npos=@Point(-4000 -3000)");
        QTest::newRow("negative size") << QByteArray("size=@Size(-600 -400)\npos=@Point(20 20)");
        QTest::newRow("int extremes") << QByteArray("size=@Size(2147483647 2147483647)\n"
                                                    "pos=@Point(2147483647 -2147483648)");
        QTest::newRow("maximized far away") << QByteArray("max=true\nsize=@Size(900 500)\npos=@Point(-9000 9000)");
        QTest::newRow("first start, the form's size") << QByteArray();
    }

    void hostileGeometryIsFitted()
    {
        QFETCH(QByteArray, stored);
        QFile file(SettingsFile());
        QVERIFY(file.open(QIODevice::WriteOnly));
        file.write("[MainWindow]\n" + stored + "\n");
        file.close();
        auto window = NewWindow();
        const QRect normal = window->normalGeometry().isValid() ? window->normalGeometry() : window->geometry();
        const QScreen* screen = QGuiApplication::screenAt(normal.center());
        QVERIFY2(screen, qPrintable(QStringLiteral("%1 %2 %3 x %4").arg(normal.x()).arg(normal.y())
                                        .arg(normal.width()).arg(normal.height())));
        QVERIFY(normal.width() <= screen->availableGeometry().width());
        QVERIFY(normal.height() <= screen->availableGeometry().height());
        if (!window->isMaximized())
            QTRY_VERIFY(screen->availableGeometry().contains(window->frameGeometry()));
        // It paints, and a restart reads back what it wrote.
        window->repaint();
        window.reset();
        auto again = NewWindow();
        QVERIFY(QGuiApplication::screenAt(again->geometry().center()));
    }

    void damagedOrMissingSettingsGiveDefaults_data()
    {
        QTest::addColumn<QByteArray>("content");
        QTest::newRow("missing, no settings folder") << QByteArray();
        QTest::newRow("garbage") << QByteArray("\x01\xff[MainWindow\nsize=@Size(\n\x00\x00zz=", 32);
        QTest::newRow("wrong types") << QByteArray("[MainWindow]\npos=abc\nsize=-5\n[Vumeter]\ngrid=x\n");
    }

    void damagedOrMissingSettingsGiveDefaults()
    {
        QFETCH(QByteArray, content);
        if (content.isEmpty())
            QDir(AppFolders::ConfigFolder()).removeRecursively();
        if (!content.isEmpty()) {
            QFile file(SettingsFile());
            QVERIFY(file.open(QIODevice::WriteOnly));
            file.write(content);
        }
        {
            auto window = NewWindow();
            QCOMPARE(window->m_nBalistic, 4);
            QCOMPARE(window->m_nRedZone, 28);
            QCOMPARE(window->m_nPrePost, 1);
            QCOMPARE(window->m_nReportGenType, 5);
            QVERIFY(!window->ui->m_CtrlToolBar->isHidden());
            QVERIFY(window->ui->m_CtrlTreeView->selectionModel()->selectedRows(0).isEmpty());
        }
        // The next close writes a whole file again.
        QSettings stored(SettingsFile(), QSettings::IniFormat);
        QCOMPARE(stored.status(), QSettings::NoError);
        QCOMPARE(stored.value("Vumeter/peak_hold").toInt(), 20);
    }

    void viewSwitchAndGoBack()
    {
        auto window = NewWindow();
        Ui::DlgMain* ui = window->ui.get();
        QVERIFY(SelectPath(*window, m_czDay1).isValid());
        window->ui->m_CtrlAction_SwitchView->trigger();
        QCOMPARE(ui->m_CtrlStackedWidget_Metadata->currentIndex(), 1);
        QVERIFY(ui->groupBox_Player->isHidden());
        QVERIFY(ui->groupBox_Vumeter->isHidden());
        // The loader reads the selected day into the list, one row per take,
        // and the progress line ends on the day's path.
        QTRY_VERIFY_WITH_TIMEOUT(ui->m_CtrlWidget_FileList->RowCount() > 0, 10000);
        QTRY_VERIFY_WITH_TIMEOUT(ui->m_CtrlLabel_ListInfo->text().endsWith(QFileInfo(m_czDay1).fileName()), 10000);
        Grab(window.get(), QStringLiteral("mainwindow-daylist"));
        // Browser rows alternate between the two greys of the look.
        QTreeView* tree = ui->m_CtrlTreeView;
        const QImage rows = tree->viewport()->grab().toImage();
        const QModelIndex first = tree->model()->index(0, 0);
        const auto rowColour = [&](const QModelIndex& row) {
            return QColor(rows.pixel(rows.width() - 4, tree->visualRect(row).center().y()));
        };
        QCOMPARE(rowColour(first), QColor("#707070"));
        QCOMPARE(rowColour(tree->indexBelow(first)), QColor("#606060"));
        ui->m_CtrlButton_GoBackMain->setFocus();
        QTest::mouseClick(ui->m_CtrlButton_GoBackMain, Qt::LeftButton);
        QCOMPARE(ui->m_CtrlStackedWidget_Metadata->currentIndex(), 0);
        QVERIFY(!ui->groupBox_Player->isHidden());
        QVERIFY(!ui->groupBox_Vumeter->isHidden());
        // The keys go to the browser again, not to the editor field next
        // to the hidden button (the window's focus: under X11 without a
        // window manager the window itself may not be the active one): the
        // tree's, or the window's, whose key handler hands them to the tree
        // (the click on the button left them there).
        QWidget* const focus = window->focusWidget();
        QVERIFY2(focus == tree || focus == window.get(), focus ? focus->metaObject()->className() : "none");

        window->slot_List({QStringLiteral("B"), QStringLiteral("A")});
        QCOMPARE(ui->m_CtrlListWidget_Files->count(), 2);
        QCOMPARE(ui->m_CtrlListWidget_Files->item(0)->text(), QStringLiteral("B"));
    }

    // A key the tree cannot use (Up on the top row, Left on a collapsed row,
    // Down on the last) ends there, whether it reaches the window or the tree.
    void arrowKeysAtBrowserEdges()
    {
        auto window = NewWindow();
        QTreeView* tree = window->ui->m_CtrlTreeView;
        QTRY_VERIFY(window->m_pFSProxyModel->rowCount() >= 1);
        const QModelIndex top = window->m_pFSProxyModel->index(0, 0);
        tree->collapseAll();
        tree->setCurrentIndex(top);
        for (QWidget* target : {static_cast<QWidget*>(window.get()), static_cast<QWidget*>(tree)}) {
            for (Qt::Key key : {Qt::Key_Up, Qt::Key_Left, Qt::Key_Up, Qt::Key_Down, Qt::Key_Down, Qt::Key_Down})
                QTest::keyClick(target, key);
            tree->setCurrentIndex(top);
        }
        const QModelIndex last = window->m_pFSProxyModel->index(window->m_pFSProxyModel->rowCount() - 1, 0);
        tree->setCurrentIndex(last);
        QTest::keyClick(window.get(), Qt::Key_Down);
        QTest::keyClick(window.get(), Qt::Key_Left);
        QCOMPARE(tree->currentIndex(), last);
    }

    void contextMenuRevealsWithoutBlocking_data()
    {
        QTest::addColumn<QString>("row");
        QTest::addColumn<QString>("revealed");
        QTest::addColumn<bool>("starts");
        const QString day = m_Media.path() + "/DEMO_CARD/FEATURE.BR1/2024-05-01.OVD";
        QTest::newRow("take file") << day + "/A01T01_04.WAV" << day + "/A01T01_04.WAV" << true;
        QTest::newRow("day folder") << day << m_Media.path() + "/DEMO_CARD/FEATURE.BR1" << true;
        QTest::newRow("no file browser") << day << m_Media.path() + "/DEMO_CARD/FEATURE.BR1" << false;
    }

    void contextMenuRevealsWithoutBlocking()
    {
        QFETCH(QString, row);
        QFETCH(QString, revealed);
        QFETCH(bool, starts);
        RecordingDesktopShell shell;
        shell.m_bStarts = starts;
        DesktopShell::setCurrent(&shell);
        auto window = NewWindow();
        const int boxes = window->OpenMessageBoxCount();
        const QModelIndex index = SelectPath(*window, row);
        QVERIFY(index.isValid());
        QTreeView* tree = window->ui->m_CtrlTreeView;
        tree->scrollTo(index);
        const QPoint at = tree->visualRect(index).center();
        QTimer::singleShot(200, [&window] {
            QCOMPARE(window->m_pContextMenu->actions().size(), 1);
            QCOMPARE(window->m_pContextMenu->actions().first()->text(), QStringLiteral("Show in System File Browser"));
            window->m_pContextMenu->actions().first()->trigger();
            window->m_pContextMenu->close();
        });
        window->slot_onCustomContextMenu(at);
        // A file browser that cannot be started is said, not left silent.
        QCOMPARE(shell.m_ltRequests, starts ? QStringList({"reveal " + revealed, "activate"})
                                            : QStringList({"reveal " + revealed}));
        QCOMPARE(window->OpenMessageBoxCount(), boxes + (starts ? 0 : 1));

        // Below the last row: no menu.
        shell.m_ltRequests.clear();
        window->slot_onCustomContextMenu(QPoint(5, tree->viewport()->height() - 2));
        QVERIFY(shell.m_ltRequests.isEmpty());
        DesktopShell::setCurrent(nullptr);
    }

    void messageBoxes_data()
    {
        QTest::addColumn<int>("code");
        QTest::addColumn<int>("level");
        QTest::addColumn<QString>("text");
        QTest::addColumn<int>("icon");
        QTest::newRow("plain critical") << 0 << 1 << "Disk gone" << int(QMessageBox::Critical);
        QTest::newRow("numbered warning") << 7 << 2 << "Error #7\nDisk gone" << int(QMessageBox::Warning);
        QTest::newRow("information") << 0 << 3 << "Disk gone" << int(QMessageBox::Information);
        QTest::newRow("negative level") << 0 << -4 << "Disk gone" << int(QMessageBox::Information);
    }

    void messageBoxes()
    {
        QFETCH(int, code);
        QFETCH(int, level);
        QFETCH(QString, text);
        QFETCH(int, icon);
        auto window = NewWindow();
        ModalBoxAnswerer answerer;
        answerer.ThenDo([icon](QWidget* box) {
            QCOMPARE(int(qobject_cast<QMessageBox*>(box)->icon()), icon);
            qobject_cast<QMessageBox*>(box)->accept();
        });
        SendUserMessage(QStringLiteral("Copy"), QStringLiteral("Disk gone"), code, level);
        QTRY_COMPARE(answerer.SeenBoxes().size(), 1);
        QCOMPARE(answerer.SeenBoxes().first().title, QStringLiteral("Copy"));
        QCOMPARE(answerer.SeenBoxes().first().text, text);
        QTRY_COMPARE(window->OpenMessageBoxCount(), 0);
    }

    void tenthBoxSaysTooManyAndTimeoutsClose()
    {
        auto window = NewWindow();
        for (int i = 0; i < 11; ++i)
            global_pLogger->SendMsg(QStringLiteral("T%1").arg(i), QStringLiteral("m%1").arg(i), i == 9 ? 3 : 0, 2,
                                    true, 0);
        QCOMPARE(window->OpenMessageBoxCount(), 10);
        const QList<QMessageBox*> boxes = window->findChildren<QMessageBox*>();
        QCOMPARE(boxes.size(), 10);
        int tooMany = 0;
        for (QMessageBox* box : boxes)
            if (box->text() == QStringLiteral("Error #3\nToo many messages")) {
                ++tooMany;
                QCOMPARE(box->windowTitle(), QStringLiteral("Error"));
                QCOMPARE(box->icon(), QMessageBox::Critical);
            }
        QCOMPARE(tooMany, 1);
        for (QMessageBox* box : boxes)
            box->close();
        QTRY_COMPARE(window->OpenMessageBoxCount(), 0);

        global_pLogger->SendMsg(QStringLiteral("Soon"), QStringLiteral("gone"), 0, 3, true, 150);
        QCOMPARE(window->OpenMessageBoxCount(), 1);
        QTRY_COMPARE(window->OpenMessageBoxCount(), 0);
    }

    void channelIsWithdrawnAtTeardown()
    {
        {
            DlgMain window;
            QVERIFY(global_pLogger);
            // Boxes still open when the window closes go with it.
            global_pLogger->SendMsg(QStringLiteral("Open"), QStringLiteral("at close"), 0, 2, true, 0);
            QCOMPARE(window.OpenMessageBoxCount(), 1);
        }
        QVERIFY(!global_pLogger);
        SendUserMessage(QStringLiteral("late"), QStringLiteral("only logged"));
    }

    void toggles()
    {
        auto window = NewWindow();
        Ui::DlgMain* ui = window->ui.get();
        QTest::mouseClick(ui->m_CtrlButton_ShowToolbar, Qt::LeftButton);
        QVERIFY(ui->m_CtrlToolBar->isHidden());
        QTest::mouseClick(ui->m_CtrlButton_ShowToolbar, Qt::LeftButton);
        QVERIFY(!ui->m_CtrlToolBar->isHidden());
        QTest::mouseClick(ui->m_CtrlPushButton_ShowBrowser, Qt::LeftButton);
        QVERIFY(ui->groupBox_browser->isHidden());
        QTest::mouseClick(ui->m_CtrlPushButton_ShowBrowser, Qt::LeftButton);
        QVERIFY(!ui->groupBox_browser->isHidden());

        // Full browse shows plain folders at once.
        const QString plain = m_Media.path() + QStringLiteral("/DEMO_CARD/notes");
        QDir().mkpath(plain);
        QVERIFY(!SelectPath(*window, plain).isValid());
        ui->m_CtrlCheckBox_EnableFullBrowse->setChecked(true);
        QVERIFY(SelectPath(*window, plain).isValid());
        QDir(plain).removeRecursively();
    }

    void waveformModeCycles()
    {
        DlgMain window;
        // The button is enabled with a shown take.
        window.ui->m_CtrlButton_WavformMode->setEnabled(true);
        const QStringList expected = {"S-dB", "U- V", "U-dB", "S- V", "S-dB"};
        for (const QString& text : expected) {
            QTest::mouseClick(window.ui->m_CtrlButton_WavformMode, Qt::LeftButton);
            QCOMPARE(window.ui->m_CtrlButton_WavformMode->text(), text);
        }
        window.slot_WavformModeChanged(tPlayWavDisplayMode(9));
        QCOMPARE(window.ui->m_CtrlButton_WavformMode->text(), QString());
        QTest::mouseClick(window.ui->m_CtrlButton_WavformMode, Qt::LeftButton);
        QCOMPARE(window.m_nWavDisplayMode, WavDisplayCenteredDb);
    }

    void preferencesAreAppliedLiveAndSaved()
    {
        auto window = NewWindow();
        ModalBoxAnswerer answerer;
        answerer.ThenDo([&window](QWidget* dialog) {
            window->m_pDlgSetup->SetParameters(VumeterPreFader, 0, 20, 12, 27, 30, 2, 1, WavDisplayHalfLinear);
            emit window->m_pDlgSetup->signal_ParameterChanged();
            Grab(dialog, QStringLiteral("preferences"));
            QTest::keyClick(dialog, Qt::Key_Escape);
        });
        window->ui->m_CtrlAction_Preferences->trigger();
        QCOMPARE(window->m_nPrePost, 0);
        QCOMPARE(window->m_nScale, 1);
        QCOMPARE(window->ui->m_CtrlVerticalScale->ScaleNumber(), 1);
        QCOMPARE(window->ui->m_CtrlButton_WavformMode->text(), QStringLiteral("U- V"));
        // Written when the dialog closed, not only at exit.
        QSettings stored(SettingsFile(), QSettings::IniFormat);
        QCOMPARE(stored.value("Vumeter/scale").toInt(), 1);
        QCOMPARE(stored.value("Timeline/mode").toInt(), 2);
    }

    void meterFrames()
    {
        DlgMain window;
        window.m_nSoloMask = 1 << 4;
        window.m_pButtonMute[4]->setChecked(true);
        window.m_pCheckBoxMs[2]->setChecked(true);
        window.updateVumeterFrame(4);
        QCOMPARE(window.m_pFrameTrack[4]->styleSheet(),
                 QStringLiteral("QFrame{background:%1;}").arg(QColor(112, 112, 0).darker(150).name()));
        QCOMPARE(window.m_pFrameMs[2]->styleSheet(), QStringLiteral(".QFrame{background:#ffbd33a4;}"));
        QCOMPARE(window.m_pFrameTrack[5]->styleSheet(), QStringLiteral("QFrame{background:#505050;}"));
        // A selection shown colours the frames from the strip it leaves: emptied here.
        window.slot_TimerSelectionChanged();
        QCOMPARE(window.m_pFrameTrack[4]->styleSheet(), QStringLiteral("QFrame{background:#505050;}"));
        QCOMPARE(window.m_pFrameMs[2]->styleSheet(), QStringLiteral(".QFrame{background:#ff505050;}"));
    }

    void copyAndPasteTrackNames()
    {
        DlgMain window;
        Ui::DlgMain* ui = window.ui.get();
        QVERIFY(window.m_SndPerform.InitFilesZZ(m_czDay1 + QStringLiteral("/A01T03"), QStringLiteral("WAV")));
        window.SetDisplayName(window.m_SndPerform.m_czBaseName);
        QCOMPARE(ui->m_CtrlLabelFilename->text(), QStringLiteral("A01T03 <font color=\"#0000ff\">[ iXML ]</font>"));
        window.m_SndPerform.m_bReadOnlyFile = true;
        window.SetDisplayName(QStringLiteral("A01T03"));
        QCOMPARE(ui->m_CtrlLabelFilename->text(),
                 QStringLiteral("A01T03 <font color=\"#ff0000\">[ Read Only ]</font> <font color=\"#0000ff\">[ iXML ]</font>"));

        window.m_SndPerform.m_czTrackName[0] = QStringLiteral("  Boom ");
        ui->m_CtrlButton_CopyTrackNames->setEnabled(true);
        ui->m_CtrlButton_ApplyTrackNames->setEnabled(true);
        QTest::mouseClick(ui->m_CtrlButton_CopyTrackNames, Qt::LeftButton);
        QCOMPARE(ui->m_CtrlButton_ApplyTrackNames->text(), QStringLiteral("Paste A01T03"));
        QStringList tip;
        for (int i = 0; i < 24; ++i)
            tip << QStringLiteral(" ");
        tip[0] = "Boom";
        tip[1] = "Lav Anna";
        tip[3] = "Plant";
        QCOMPARE(ui->m_CtrlButton_ApplyTrackNames->toolTip(), tip.join("|-|"));

        // A poly file's names are kept by the recorder tracks its channels hold.
        QSoundPerform& take = window.m_SndPerform;
        take.m_bPolyTake = true;
        take.m_nChannels = 2;
        take.m_pnOriginalTrackIndex[0] = 2;
        take.m_pnOriginalTrackIndex[1] = 5;
        take.m_czTrackName[2] = QStringLiteral("Lav Ben");
        take.m_czTrackName[5] = QStringLiteral("Plant 2");
        QTest::mouseClick(ui->m_CtrlButton_CopyTrackNames, Qt::LeftButton);
        QStringList poly = QVector<QString>(24, QStringLiteral(" ")).toList();
        poly[2] = "Lav Ben";
        poly[5] = "Plant 2";
        QCOMPARE(ui->m_CtrlButton_ApplyTrackNames->toolTip(), poly.join("|-|"));
        QVERIFY(take.InitFilesZZ(m_czDay1 + QStringLiteral("/A01T03"), QStringLiteral("WAV")));
        take.m_czTrackName[0] = QStringLiteral("  Boom ");
        QTest::mouseClick(ui->m_CtrlButton_CopyTrackNames, Qt::LeftButton);

        window.m_pEditTrackName[0]->setEnabled(true);
        window.m_pEditTrackName[1]->setText(QStringLiteral("kept"));
        QTest::mouseClick(ui->m_CtrlButton_ApplyTrackNames, Qt::LeftButton);
        QCOMPARE(window.m_pEditTrackName[0]->text(), QStringLiteral("Boom"));
        QCOMPARE(window.m_pEditTrackName[1]->text(), QStringLiteral("kept"));
        QVERIFY(window.m_bEditMetadata);
        QVERIFY(!ui->m_CtrlButton_ApplyChanges->isHidden());

        QString mixed = QStringLiteral("12/A-3é");
        DlgMain::RemoveInvalidateChar(&mixed);
        QCOMPARE(mixed, QStringLiteral("12 A 3é"));
    }

    // Inside the window's dark sheet the grey entry dialog keeps its own
    // outer border and shows its buttons apart from the bar below them.
    void greyDialogLook()
    {
        auto window = NewWindow();
        QDialogMessageLineEdit dialog(window.get());
        dialog.Setup(QStringLiteral("Scene"), QStringLiteral("12A"), tCaracFilter(0), 8);
        dialog.show();
        QVERIFY(QTest::qWaitForWindowExposed(&dialog));
        Grab(&dialog, QStringLiteral("greydialog"));
        const QImage image = dialog.grab().toImage();
        QCOMPARE(QColor(image.pixel(0, image.height() / 2)), QColor("#404040"));
        QPushButton* button = dialog.findChildren<QPushButton*>().value(0);
        QVERIFY(button);
        const QImage face = button->grab().toImage();
        QCOMPARE(QColor(face.pixel(0, face.height() / 2)), QColor("#707070"));
        QCOMPARE(QColor(face.pixel(face.width() / 2, 2)), QColor("#505050"));
    }

    // A combo whose popup was opened once is destroyed with its styled
    // parent (this crashed on X11 when each combo owned its style).
    void comboWithOpenedPopupDies()
    {
        for (int round = 0; round < 3; ++round) {
            auto window = NewWindow();
            QComboBox* combo = window->ui->m_CtrlComboBox_Presets;
            combo->setEnabled(true);
            combo->showPopup();
            QTest::qWait(50);
            combo->hidePopup();
            QTest::qWait(20);
        }
        QWidget parent;
        parent.setStyleSheet(QStringLiteral("QComboBox { color: #ffffff; background: #404040; }"));
        auto* combo = new QMyComboBox(&parent);
        combo->addItems({QStringLiteral("a"), QStringLiteral("b")});
        parent.show();
        combo->showPopup();
        QTest::qWait(50);
        delete combo;
        QVERIFY(parent.findChildren<QComboBox*>().isEmpty());
    }

    // A day copied from other makers beside this recorder's odd takes:
    // two-channel files "A101_1".."A101_4" beside the mono split "A101_1_1",
    // "A101_1_2", another recorder's mono set "REC", names of 5 to 20
    // characters, a 24-bit WAVE_FORMAT_EXTENSIBLE file, an RF64 header on a
    // sparse 2.4 GB file, an empty take and a take with a member deleted.
    // Every take is listed once, in the browser and in the day list; each
    // that cannot be opened says why in its line, and arrowing across them
    // and switching to the day list raises no box. "B202", written as other
    // makes do (fmt past a 5 KB iXML), lists the same; the day's line counts
    // what is not listed (a lower-case ".wav", a "_Tr1" set, the WAV files of
    // a card's take folder) in both views, and follows a file added while
    // the day was never opened. Another maker's mono file named like a track
    // of this recorder's take ("LEN666_05" after its files, "LEN667-05"
    // before them) stands alone and the take opens with its own files; a
    // reference that begins with 0 shows nothing, a RIFF size past the end
    // of its file gives the file's size.
    void takeThatCannotBeOpenedIsSaidInItsLine()
    {
        const QString day = fixture::MakeDay(
            fixture::MakeProject(fixture::MakeVolume(m_Media.path(), "FOREIGN_CARD"), "FIELD"), QDate(2024, 7, 1));
        const auto removeDay = qScopeGuard([this] { QDir(m_Media.path() + "/FOREIGN_CARD").removeRecursively(); });
        fixture::ForeignSpec spec;
        spec.bext = true;
        QStringList takes;
        for (const char* name : {"A101_1", "A101_2", "A101_3", "A101_4", "A101_1_1", "A101_1_2", "Sc1_2", "Scene_12",
                                 "Sr001-2C-01", "Sr001-2C-02", "Sr001-3C-01", "Interview_Final_T_12", "Mix_06"}) {
            takes << name;
            spec.channels = takes.size() <= 4 ? 2 : takes.size() < 13 ? 1 : 6;
            spec.extensible = spec.channels == 6;
            spec.frames += 4800;
            spec.originatorReference = QString::fromLatin1(takes.size() == 5 ? "\x01\x93\x7f\x02" "ab" : "FR2-000123");
            QVERIFY(fixture::WriteForeignFile(day + "/" + name + ".WAV", spec));
        }
        for (const QString& file : fixture::WriteForeignMonoFamily(day, "REC", 3, "SC1/T2"))
            takes << QFileInfo(file).completeBaseName();
        spec.headersFirst = true;
        spec.extensible = false;
        for (const char* name : {"B202_1", "B202_2", "B202_3", "B202_4", "B202_1_1", "B202_1_2"}) {
            takes << name;
            spec.channels = takes.last().size() == 6 ? 2 : 1;
            spec.ixmlUtf16 = takes.last() == "B202_4";
            QVERIFY(fixture::WriteForeignFile(day + "/" + name + ".WAV", spec));
        }
        for (const char* unlisted : {"mix_final.wav", "ZOOM0001_Tr1.WAV", "ZOOM0001_Tr1_D.WAV", "ZOOM0001_TrL_R.WAV"})
            QVERIFY(fixture::WriteForeignFile(day + "/" + unlisted, spec));
        const QString takeFolder = day + "/Scene_1_2AG-T001.TAKE";
        QVERIFY(QDir().mkpath(takeFolder));
        for (int track = 1; track <= 9; ++track)
            QVERIFY(fixture::WriteForeignFile(takeFolder + QString("/Scene_1_2AG-T001_Tr%1.WAV").arg(track), spec));
        const QString unlistedLine = "13 WAV files of this day are not listed, 9 of them in folders inside it and the "
                                     "others' names not being this recorder's takes: Import (Ctrl+I) reads them.";
        spec.headersFirst = false;
        spec.channels = 1;
        spec.frames = 9600;
        spec.originatorReference = QString::fromLatin1("\0#   \"\0\0\xcd\xfe\xbfteMP-1", 17);
        for (const char* id : {"LEN666", "LEN667"})
            QVERIFY(!fixture::WriteTake(day, fixture::MonoTake(id, {0, 1, 2, 3})).files.isEmpty());
        QVERIFY(fixture::WriteForeignFile(day + "/LEN666_05.WAV", spec));
        spec.originatorReference = "FR2-000123";
        QByteArray pastItsEnd = fixture::BuildForeignFile(spec);
        qToLittleEndian<quint32>(0xFFFFFFFFu, pastItsEnd.data() + 4);
        QFile riffPastEnd(day + "/LEN667-05.WAV");
        QVERIFY(riffPastEnd.open(QIODevice::WriteOnly) && riffPastEnd.write(pastItsEnd) == pastItsEnd.size());
        riffPastEnd.close();
        takes << "LEN666" << "LEN666_05" << "LEN667" << "LEN667-05";
        // One of the very length of its take's files: listed with them until
        // the take's load has read it.
        QVERIFY(!fixture::WriteTake(day, fixture::MonoTake("LEN668", {0, 1, 2, 3})).files.isEmpty());
        const qint64 memberLength = QFileInfo(day + "/LEN668_01.WAV").size();
        QVERIFY(fixture::WriteBytes(day + "/LEN668_05.WAV", fixture::BuildForeignFileOfLength(spec, memberLength)));
        QCOMPARE(QFileInfo(day + "/LEN668_05.WAV").size(), memberLength);
        takes << "LEN668" << "LEN668_05";
        const fixture::TakeSpec rf64 = fixture::MonoTake("RF6401", {0});
        QFile big(day + "/" + fixture::TrackFileName(rf64, 0));
        QVERIFY(big.open(QIODevice::WriteOnly) && big.write(fixture::BuildBrokenFile(rf64, fixture::Breakage::Rf64)) > 0
                && big.resize(qint64(2400) * 1000 * 1000));
        big.close();
        QFile empty(day + "/EMPTY1_01.WAV");
        QVERIFY(empty.open(QIODevice::WriteOnly));
        empty.close();
        const fixture::WrittenTake missing = fixture::WriteTake(day, fixture::MonoTake("MISS01", {0, 1, 2, 3, 4}));
        QVERIFY(QFile::remove(missing.files.value(2)));
        takes << "RF6401" << "EMPTY1" << "MISS01";
        takes.sort();

        auto window = NewWindow();
        ModalBoxAnswerer answerer;
        QTreeView* tree = window->ui->m_CtrlTreeView;
        // Persistent: a load that finds a file listed with its take to be none
        // of it has the rows filtered again.
        const QPersistentModelIndex dayRow = SelectPath(*window, day);
        QLabel* line = nullptr;
        QTRY_VERIFY((line = window->findChild<QLabel*>("m_CtrlLabel_TakeProblem")) && line->isVisible()
                    && line->toolTip() == unlistedLine);
        Grab(window.get(), "mainwindow-day-unlisted");
        // A file added to the day, never opened, is counted when it is selected again.
        QVERIFY(fixture::WriteForeignFile(day + "/x.wav", spec));
        QVERIFY(SelectPath(*window, m_czDay1).isValid());
        QTRY_VERIFY(!line->isVisible());
        QVERIFY(SelectPath(*window, day).isValid());
        const QString unlistedNow = QString(unlistedLine).replace("13 WAV", "14 WAV");
        QTRY_VERIFY(line->isVisible() && line->toolTip() == unlistedNow);
        tree->expand(dayRow);
        const auto dayRows = [&] {
            QStringList now;
            for (int row = 0; row < window->m_pFSProxyModel->rowCount(dayRow); ++row)
                now << window->m_pFSProxyModel->index(row, 0, dayRow).data().toString();
            now.sort();
            return now;
        };
        QCOMPARE(dayRows(), QStringList(takes).filter(QRegularExpression("^(?!LEN668_05$)")));
        // The line, and the panel's type, sampling, reference and size: what the
        // files tell, nothing where they tell nothing (binary bytes in A101_1_1's).
        const QString rate = "48000 Hz / 24 bits", ref = "FR2-000123", another = " was made by another recorder";
        for (const QStringList& shown : QList<QStringList>{
                 {"A101_1" + another + ": to play and edit it, use Import (Ctrl+I).", "Poly(2 ch)-WAV", rate, ref},
                 {"B202_1" + another, "Poly(2 ch)-WAV", rate, ref},
                 {"A101_1_1" + another, "Mono-WAV", rate, ""},
                 {"REC_2" + another, "Mono-WAV", rate, ref},
                 {"Mix_06" + another, "Poly(6 ch)-WAV", rate, ref},
                 {"RF6401 cannot be played or edited here: RF64 files are not supported (RF6401_01.WAV).", "", "", "",
                  "2.2 GB"},
                 {"EMPTY1 cannot be played or edited here: EMPTY1_01.WAV is empty.", "", "", "", "0 B"},
                 {"MISS01 is missing 1 of the 5 track files its metadata lists", "Mono-WAV", rate, "ORVEX"},
                 {"LEN666_05" + another, "Mono-WAV", rate, ""},
                 {"LEN667-05" + another, "Mono-WAV", rate, ref, QSoundPerform::SizeText(pastItsEnd.size())}}) {
            const QString& said = shown.first();
            tree->setCurrentIndex(window->m_pFSProxyModel->match(window->m_pFSProxyModel->index(0, 0, dayRow),
                                                                 Qt::DisplayRole, said.section(' ', 0, 0), 1,
                                                                 Qt::MatchExactly).first());
            // A take opened for editing (one missing a member) keeps its
            // file-name choice: its line ends before it, whole in its tool tip.
            const Ui::DlgMain* ui = window->ui.get();
            const bool editable = said.startsWith("MISS01");
            QTRY_VERIFY((line = window->findChild<QLabel*>("m_CtrlLabel_TakeProblem")) && line->isVisible()
                        && line->toolTip().startsWith(said)
                        && (editable || line->fontMetrics().horizontalAdvance(line->toolTip()) <= line->width()));
            QCOMPARE(ui->m_CtrlComboBox_Filename->isVisible(), editable);
            QVERIFY(line->geometry().right()
                    < (editable ? ui->m_CtrlComboBox_Filename->x() : line->parentWidget()->width()));
            QCOMPARE(ui->m_CtrLabelType->text(), shown.at(1));
            QCOMPARE(ui->m_CtrlLabelSampling->text(), shown.at(2));
            const QString reference = ui->m_CtrlLabelRef->text();
            QVERIFY2(shown[3].isEmpty() ? reference.isEmpty() : reference.startsWith(shown[3]), qPrintable(reference));
            QCOMPARE(ui->m_CtrlLabelSize->text(), shown.value(4, ui->m_CtrlLabelSize->text()));
            Grab(window->ui->groupBox_Metadata, "mainwindow-takeline-" + said.section(' ', 0, 0));
        }
        // The take beside them opens with its own four files, its row selected;
        // the stranger its load found is listed alone from then on.
        for (const char* own : {"LEN666", "LEN667", "LEN668"}) {
            tree->setCurrentIndex(window->m_pFSProxyModel->match(window->m_pFSProxyModel->index(0, 0, dayRow),
                                                                 Qt::DisplayRole, own, 1, Qt::MatchExactly).first());
            QTRY_VERIFY(!line->isVisible() && window->ui->m_CtrlLabelFilename->isVisible()
                        && window->ui->m_CtrlLabelFilename->text().startsWith(own)
                        && window->ui->m_CtrlLabelSize->text() == QSoundPerform::SizeText(
                               4 * QFileInfo(day + "/" + own + "_01.WAV").size()));
            QTRY_COMPARE(tree->currentIndex().data().toString(), QString(own));
            QCOMPARE(window->ui->m_CtrlLabelSize->text(),
                     QSoundPerform::SizeText(4 * QFileInfo(day + "/" + own + "_01.WAV").size()));
        }
        // The rows are filtered again once the selection's load is handled.
        QTRY_COMPARE(dayRows(), takes);
        tree->setCurrentIndex(window->m_pFSProxyModel->index(0, 0, dayRow));
        for (int row = 1; row < takes.size(); ++row) {
            QTest::keyClick(tree, Qt::Key_Down);
            QTest::qWait(150);
            QCOMPARE(tree->currentIndex().row(), row);
            QVERIFY(answerer.SeenBoxes().isEmpty() && window->OpenMessageBoxCount() == 0);
        }

        // The day list: the same takes once each, those not read saying why.
        tree->setCurrentIndex(dayRow);
        window->ui->m_CtrlAction_SwitchView->trigger();
        QFileInfoListWidget* list = window->ui->m_CtrlWidget_FileList;
        QTRY_COMPARE_WITH_TIMEOUT(list->RowCount(), takes.size(), 10000);
        QStringList listed;
        for (int row = 0; row < list->RowCount(); ++row) {
            QTRY_VERIFY(list->Row(row)->HasRecord());
            listed << list->Row(row)->TakeName();
            if (listed.last() == "RF6401")
                QVERIFY(list->Row(row)->toolTip().startsWith("RF6401 cannot be played or edited here: RF64"));
            else if (listed.last().startsWith("A101") || listed.last().startsWith("B202"))
                QVERIFY(list->Row(row)->toolTip().startsWith(listed.last() + " was made by another recorder"));
            else if (listed.last() == "LEN666" || listed.last() == "LEN667")
                QVERIFY2(list->Row(row)->toolTip().isEmpty(), qPrintable(list->Row(row)->toolTip()));
        }
        listed.sort();
        QCOMPARE(listed, takes);
        QLabel* header = window->ui->m_CtrlLabel_ListInfo;
        QTRY_VERIFY(header->toolTip().endsWith("\n" + unlistedNow));
        QVERIFY(header->text().contains("14 WAV files of this day are not listed") && !header->text().contains('\n'));
        QTest::qWait(200);
        QVERIFY(answerer.SeenBoxes().isEmpty() && window->OpenMessageBoxCount() == 0);
        Grab(window.get(), QStringLiteral("mainwindow-daylist-foreign"));
        QTest::mouseClick(window->ui->m_CtrlButton_GoBackMain, Qt::LeftButton);

        // A take that opens gives the line back to its name.
        QVERIFY(SelectPath(*window, m_czDay1 + "/A01T01_04.WAV").isValid());
        QTRY_VERIFY(!line->isVisible() && window->ui->m_CtrlLabelFilename->isVisible());
    }

    void newDayOnDemoProject()
    {
        auto window = NewWindow();
        const QString project = m_Media.path() + QStringLiteral("/DEMO_CARD/FEATURE.BR1");
        QVERIFY(SelectPath(*window, m_czDay1).isValid());
        ModalBoxAnswerer answerer;
        answerer.ThenAccept();
        window->ui->m_CtrlAction_AddDay->trigger();
        QCOMPARE(answerer.SeenBoxes().size(), 1);
        QCOMPARE(answerer.SeenBoxes().first().text, QStringLiteral("Please Select a valid Project"));

        QVERIFY(SelectPath(*window, project).isValid());
        answerer.ThenDo([](QWidget* dialog) {
            dialog->findChild<QDateEdit*>()->setDate(QDate(2024, 6, 9));
            Grab(dialog, QStringLiteral("newfolder"));
            qobject_cast<QDialog*>(dialog)->accept();
        });
        window->ui->m_CtrlAction_AddDay->trigger();
        QVERIFY(QFileInfo(project + QStringLiteral("/2024-06-09.OVD")).isDir());
        QDir(project + QStringLiteral("/2024-06-09.OVD")).removeRecursively();
    }
};

int main(int argc, char** argv)
{
    return RunPartedTest<TestMainWindow>(argc, argv);
}
#include "test_mainwindow.moc"
