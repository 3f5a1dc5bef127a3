// A person's session with the main window on the demo card, every key and
// click delivered to the top-level window as the window system delivers it:
// the browser's edges, the transport, edits with Apply, renames both ways,
// several takes at once, the view switch, a report, a file process and an
// import. Afterwards no take's audio changed and the edits are in the files.
#include "ui_dlgmain.h"
#include "ui_qdialogfileprocesssetup.h"
#include "ui_qdialogimportstranger.h"
#include "ui_qdialogreportprocess.h"

#include "browser/fsitemtype.h"
#include "browser/qbriselfsfilterproxymodel.h"
#include "browser/qbriselfsmodel.h"
#include "browser/qdialogaddnewfolder.h"
#include "browser/ui_qdialogaddnewfolder.h"
#include "fileprocess/qdialogfileprocesssetup.h"
#include "fileprocess/qdialogimportstranger.h"
#include "foundation/platform/appfolders.h"
#include "mainwindow/dlgmain.h"
#include "player/sfxthread.h"
#include "report/qdialogreportprocess.h"
#include "tests/support/userinput.h"
#include "tests/support/demomedia.h"
#include "tests/support/fixturevariants.h"
#include "tests/support/fixturewriter.h"
#include "tests/support/modalboxanswerer.h"
#include "tests/support/scratchdir.h"

#include <QFileDialog>
#include <QToolBar>
#include <QtTest>
#include <memory>

using namespace userinput;

class TestSession : public QObject
{
    Q_OBJECT

    fixture::ScratchDir m_Media;
    QString m_czVolume, m_czProject, m_czDay1, m_czDay2, m_czEmptyDay;
    std::unique_ptr<DlgMain> m_pWindow;
    QMap<QString, QStringList> m_Audio;

    DlgMain& W() { return *m_pWindow; }
    QTreeView* Tree() { return W().ui->m_CtrlTreeView; }
    short State() { return W().m_SndPerform.GetPlayerState(); }

    // The browser row of a folder, or of the take one of whose files is given.
    QModelIndex Row(const QString& path)
    {
        QModelIndex view = W().m_pFSProxyModel->mapFromSource(W().m_pFSModel->index(path));
        const QFileInfo info(path);
        for (const QFileInfo& member : info.dir().entryInfoList({info.fileName().left(6) + "*.WAV"}))
            if (!view.isValid() && info.isFile())
                view = W().m_pFSProxyModel->mapFromSource(W().m_pFSModel->index(member.filePath()));
        return view;
    }

    QString CurrentPath() { return Tree()->currentIndex().data(FSFilePathRole).toString(); }
    QStringList SelectedPaths()
    {
        QStringList paths;
        for (const QModelIndex& row : Tree()->selectionModel()->selectedRows(0))
            paths << row.data(FSFilePathRole).toString();
        return paths;
    }

    // The selection timer has fired and the dispatcher is done.
    void Settle()
    {
        QTest::qWait(20);
        QTRY_VERIFY_WITH_TIMEOUT(!W().m_pTimerSelection->isActive(), 10000);
        QTest::qWait(20);
    }

    // Clicks a browser row as a person does: scrolled into sight, then the
    // pointer on it.
    void ClickRow(const QString& path, Qt::KeyboardModifiers modifiers = Qt::NoModifier)
    {
        QTRY_VERIFY2(Row(path).isValid(), qPrintable(path));
        const QModelIndex row = Row(path);
        Tree()->scrollTo(row);
        QVERIFY(Click(Tree()->viewport(), Tree()->visualRect(row).center(), Qt::LeftButton, modifiers));
        Settle();
    }

    void Press(int key, Qt::KeyboardModifiers modifiers = Qt::NoModifier, int times = 1)
    {
        // The window manager gives the focus back when a dialog closes.
        if (QApplication::activeWindow() != &W())
            QVERIFY(ModalBoxAnswerer::Activate(&W()));
        for (int i = 0; i < times; ++i)
            Key(&W(), key, modifiers);
        QTest::qWait(10);
    }

    // Picks an entry of a combo box: a click opens its list, the arrow keys
    // and Return choose.
    void Choose(QComboBox* combo, int index)
    {
        const int from = combo->currentIndex();
        QVERIFY(Click(combo));
        QTRY_VERIFY(QApplication::activePopupWidget());
        Press(index > from ? Qt::Key_Down : Qt::Key_Up, Qt::NoModifier, qAbs(index - from));
        Press(Qt::Key_Return);
        QTRY_VERIFY(!QApplication::activePopupWidget());
        QCOMPARE(combo->currentIndex(), index);
    }

    void ReplaceText(QLineEdit* edit, const QString& text)
    {
        QVERIFY(Click(edit));
        QVERIFY(edit->hasFocus());
        Press(Qt::Key_A, Qt::ControlModifier);
        Type(&W(), text);
        QCOMPARE(edit->text(), text);
    }

    void Apply()
    {
        QVERIFY(W().ui->m_CtrlButton_ApplyChanges->isVisible());
        QVERIFY(Click(W().ui->m_CtrlButton_ApplyChanges));
        Settle();
    }

    // The shown take is the selected one: the editor and the player show it.
    void ShowsTake(const QString& id)
    {
        const QStringList selected = SelectedPaths();
        QCOMPARE(selected.size(), 1);
        QVERIFY2(QFileInfo(selected.first()).fileName().startsWith(id), qPrintable(selected.first()));
        QVERIFY2(W().m_SndPerform.m_czBaseName.startsWith(id), qPrintable(W().m_SndPerform.m_czBaseName));
        QVERIFY(W().ui->m_CtrlEditEditorNote->isEnabled());
        QVERIFY(W().ui->m_CtrlPushButton_Play->isEnabled());
    }

    // Renames the shown take to the file-name form given and back, checking
    // that the take stays selected and shown each time.
    void RenameThereAndBack(const QString& file, int longForm)
    {
        ClickRow(m_czDay1 + QLatin1Char('/') + file);
        const QString id = file.left(6);
        ShowsTake(id);
        QComboBox* names = W().ui->m_CtrlComboBox_Filename;
        QCOMPARE(names->currentIndex(), 0);
        for (int form : {longForm, 0}) {
            Choose(names, form);
            Apply();
            QVERIFY(!SelectedPaths().isEmpty());
            const QStringList files = QDir(m_czDay1).entryList({id + "*.WAV"});
            QVERIFY(!files.isEmpty());
            for (const QString& name : files)
                QVERIFY2((name.size() > 13) == (form != 0), qPrintable(name));
            ShowsTake(id);
            QCOMPARE(names->currentIndex(), form);
        }
    }

    // Answers the next modal box with an action done while it is open, if it
    // is a Box (*seen tells), and closes it.
    template <typename Box, typename F>
    static void AnswerWith(ModalBoxAnswerer& answers, bool* seen, F action)
    {
        answers.ThenDo([seen, action](QWidget* box) {
            if (auto* dialog = qobject_cast<Box*>(box)) {
                *seen = true;
                action(dialog);
            }
            if (box->isVisible())
                box->close();
        });
    }

private slots:
    void initTestCase()
    {
        QVERIFY(!fixture::WriteDemoVolume(m_Media.path()).isEmpty());
        m_czVolume = m_Media.path() + QLatin1Char('/') + fixture::kDemoVolumeName;
        m_czProject = m_czVolume + QLatin1Char('/') + fixture::kDemoProjectName + ".BR1";
        m_czDay1 = m_czProject + "/2024-05-01.OVD";
        m_czDay2 = m_czProject + "/2024-05-02.OVD";
        m_czEmptyDay = fixture::MakeDay(m_czProject, QDate(2024, 5, 3));
        qputenv("NALVO_VOLUMES_ROOT", m_Media.path().toUtf8());
        qputenv("NALVO_AUDIO_SINK", "null");
        QVERIFY(QDir::setCurrent(m_Media.path()));
        QDir().mkpath(AppFolders::ConfigFolder());
        QFile::remove(AppFolders::SettingsFilePath());
    }

    void init()
    {
        if (QByteArray(QTest::currentTestFunction()) != "opens")
            QVERIFY2(m_pWindow, "the session's window did not open");
    }

    // The steps below run in this order on one window, as one session.
    void opens()
    {
        m_Audio = AudioByTake(m_czVolume);
        m_pWindow = std::make_unique<DlgMain>();
        W().show();
        QVERIFY(ModalBoxAnswerer::Activate(&W()));
    }

    // Top, collapsed rows, bottom, an empty day.
    void browserEdges()
    {
        ClickRow(m_czVolume);
        const QString top = CurrentPath();
        Press(Qt::Key_Up, Qt::NoModifier, 3);
        Press(Qt::Key_Home);
        Press(Qt::Key_Up);
        QCOMPARE(CurrentPath(), top);
        if (Tree()->isExpanded(Row(m_czVolume)))
            Press(Qt::Key_Left);
        QVERIFY(!Tree()->isExpanded(Row(m_czVolume)));
        Press(Qt::Key_Left, Qt::NoModifier, 2);
        Press(Qt::Key_Left, Qt::ShiftModifier);
        Press(Qt::Key_Return);
        QVERIFY(Tree()->isExpanded(Row(m_czVolume)));
        Press(Qt::Key_Right);
        Press(Qt::Key_Left);
        Press(Qt::Key_Left, Qt::NoModifier, 2);
        QCOMPARE(CurrentPath(), top);
        ClickRow(m_czProject);
        Press(Qt::Key_Left, Qt::NoModifier, 2);   // collapsed project row, then its parent
        ClickRow(m_czProject);
        Press(Qt::Key_Right);
        QTRY_VERIFY(Row(m_czDay1).isValid());
        for (const QString& day : {m_czDay1, m_czDay2, m_czEmptyDay}) {
            ClickRow(day);
            Press(Qt::Key_Left, Qt::NoModifier, 2);   // collapsed day row
            ClickRow(day);
            Press(Qt::Key_Right);
        }
        // The empty day: nothing to open or to walk into.
        ClickRow(m_czEmptyDay);
        Press(Qt::Key_Right, Qt::NoModifier, 2);
        Press(Qt::Key_Return, Qt::NoModifier, 2);
        Press(Qt::Key_Left, Qt::NoModifier, 2);
        Press(Qt::Key_Right, Qt::ShiftModifier);
        Press(Qt::Key_Space);
        Press(Qt::Key_Escape);
        // The bottom row, and past it.
        ClickRow(m_czDay1);
        Press(Qt::Key_Down, Qt::NoModifier, 40);
        const QString bottom = CurrentPath();
        Press(Qt::Key_End);
        Press(Qt::Key_PageDown);
        Press(Qt::Key_Down, Qt::NoModifier, 3);
        QCOMPARE(CurrentPath(), bottom);
        Press(Qt::Key_Right, Qt::NoModifier, 2);
        Press(Qt::Key_Left, Qt::NoModifier, 2);
        // Walking through the first day's takes one row at a time.
        ClickRow(m_czDay1);
        Press(Qt::Key_Down, Qt::NoModifier, 6);
        Press(Qt::Key_Up, Qt::NoModifier, 2);
        Settle();
        QVERIFY(W().isVisible());
        QCOMPARE(SelectedPaths().size(), 1);

    }

    void playSeekStop()
    {
        ClickRow(m_czDay1 + "/A01T16_01.WAV");
        ShowsTake("A01T16");
        Press(Qt::Key_Space);
        QTRY_COMPARE(State(), short(PlayerPlaying));
        QTRY_VERIFY(W().m_nCurrentSamplePos > 0);
        // An arrow seeks and stops; Space plays on from there.
        Press(Qt::Key_Right, Qt::ShiftModifier);
        QTRY_COMPARE(State(), short(PlayerStopped));
        QVERIFY(W().m_SndPerform.m_nStartSecond.load() >= 10u);
        Press(Qt::Key_Space);
        QTRY_COMPARE(State(), short(PlayerPlaying));
        QTRY_VERIFY(W().m_nCurrentSamplePos >= 10 * 48000);
        Press(Qt::Key_Escape);
        QTRY_COMPARE(State(), short(PlayerStopped));
        QCOMPARE(W().m_SndPerform.m_nStartSecond.load(), 0u);
        QVERIFY(Click(W().ui->m_CtrlPushButton_Play));
        QTRY_COMPARE(State(), short(PlayerPlaying));
        QVERIFY(Click(W().ui->m_CtrlPushButton_Stop));
        QTRY_COMPARE(State(), short(PlayerStopped));
    }

    void editApplyPlay()
    {
        ClickRow(m_czDay1 + "/A01T01_01.WAV");
        ReplaceText(W().ui->m_CtrlEditEditorNote, "Session note");
        Apply();
        ShowsTake("A01T01");
        QVERIFY(Click(W().ui->m_CtrlPushButton_Play));
        QElapsedTimer clock;
        clock.start();
        while (State() != PlayerPlaying && clock.elapsed() < 3000)
            QTest::qWait(20);
        const bool plays = State() == PlayerPlaying;
        Press(Qt::Key_Escape);
        QVERIFY2(plays, "the take plays after Apply");
    }

    void renames_data()
    {
        QTest::addColumn<QString>("file");
        QTest::addColumn<int>("longForm");
        QTest::newRow("long") << "A01T01_01.WAV" << 1;
        QTest::newRow("long underscore, '-'") << "A01T02-01.WAV" << 2;
        QTest::newRow("one-character track codes") << "A01T05_1.WAV" << 1;
    }

    // Short -> long -> short, the take kept selected and shown.
    void renames()
    {
        QFETCH(QString, file);
        QFETCH(int, longForm);
        RenameThereAndBack(file, longForm);

    }

    void twoTakesAtOnce()
    {
        ClickRow(m_czDay1 + "/A01T02-01.WAV");
        ClickRow(m_czDay1 + "/A01T03#01.WAV", Qt::ControlModifier);
        QCOMPARE(SelectedPaths().size(), 2);
        ReplaceText(W().ui->m_CtrlEditEditorTape, "T777");
        ReplaceText(W().ui->m_CtrlEditEditorNote, "Both");
        Apply();
        QCOMPARE(SelectedPaths().size(), 2);

    }

    // The day list and back, by the tool bar and by Alt+F5.
    void viewSwitch()
    {
        ClickRow(m_czDay1);
        QStackedWidget* pages = W().ui->m_CtrlStackedWidget_Metadata;
        QVERIFY(Click(W().ui->m_CtrlToolBar->widgetForAction(W().ui->m_CtrlAction_SwitchView)));
        QCOMPARE(pages->currentIndex(), 1);
        QTest::qWait(200);
        Press(Qt::Key_F5, Qt::AltModifier);
        QCOMPARE(pages->currentIndex(), 0);
        QVERIFY(W().ui->groupBox_Player->isVisible());

    }

    void report()
    {
        ClickRow(m_czDay1);
        ModalBoxAnswerer answers;
        bool reported = false;
        AnswerWith<QDialogReportProcess>(answers, &reported, [](QDialogReportProcess* dialog) {
            QVERIFY(Click(dialog->Form()->m_CtrlButton_Start));
            QTRY_COMPARE_WITH_TIMEOUT(dialog->Form()->m_CtrlInfo_Report->text(),
                                      QStringLiteral("Report Process finished"), 60000);
            Key(dialog, Qt::Key_Escape);
        });
        Press(Qt::Key_R, Qt::ControlModifier);
        QVERIFY(reported);

    }

    // The recorded mix of a take, into a stereo file.
    void fileProcess()
    {
        ModalBoxAnswerer answers;
        ClickRow(m_czDay2 + "/B02T07_01.WAV");
        bool processed = false;
        QStringList written;
        AnswerWith<QDialogFileProcessSetup>(answers, &processed, [&written](QDialogFileProcessSetup* dialog) {
            QVERIFY(dialog->Form()->m_CtrlRadio_Stereo_InterleaveMixTrack->isChecked());
            QSignalSpy ended(dialog, &QDialogFileProcessSetup::signal_RunEnded);
            QVERIFY(Click(dialog->Form()->m_CtrlButton_Run));
            QVERIFY(!dialog->IsRunning() || ended.wait(60000));
            written = dialog->Summary().written;
        });
        Press(Qt::Key_P, Qt::ControlModifier);
        QVERIFY(processed);
        QCOMPARE(written, QStringList{"B02T07"});
        QCOMPARE(W().OpenMessageBoxCount(), 0);
    }

    // Another recorder's file into the first day.
    void import()
    {
        ModalBoxAnswerer answers;
        const QString foreign = m_Media.path() + "/FOREIGN.WAV";
        QVERIFY(fixture::WriteForeignFile(foreign, fixture::ForeignSpec()));
        ClickRow(m_czDay1);
        bool chosen = false, imported = false;
        int failed = -1;
        AnswerWith<QFileDialog>(answers, &chosen, [foreign](QFileDialog* dialog) {
            // The name typed where the dialog takes it (selectFile leaves a
            // focused name field as it is).
            auto* name = dialog->findChild<QLineEdit*>(QStringLiteral("fileNameEdit"));
            QVERIFY(name);
            name->setText(foreign);
            QMetaObject::invokeMethod(dialog, "accept");
        });
        AnswerWith<QDialogImportStranger>(answers, &imported, [&failed](QDialogImportStranger* dialog) {
            QSignalSpy ended(dialog, &QDialogImportStranger::signal_RunEnded);
            QVERIFY(Click(dialog->Form()->m_CtrlButton_Start));
            QVERIFY(!dialog->IsRunning() || ended.wait(60000));
            failed = dialog->FailedCount();
        });
        Press(Qt::Key_I, Qt::ControlModifier);
        QVERIFY(chosen);
        QVERIFY(imported);
        QCOMPARE(failed, 0);
        QCOMPARE(answers.PendingAnswers(), 0);
    }

    void newFolders_data()
    {
        QTest::addColumn<bool>("expanded");
        QTest::addColumn<QString>("name");   // a date makes a day in the project, else a project
        QTest::newRow("day, project collapsed") << false << "2027-12-08";
        QTest::newRow("day, project expanded") << true << "2027-12-09";
        QTest::newRow("project, volume collapsed") << false << "NEWSHOOT";
        QTest::newRow("project, volume expanded") << true << "OTHERSHOOT";
    }

    // A new day or project is shown at once, as the current row.
    void newFolders()
    {
        QFETCH(bool, expanded);
        QFETCH(QString, name);
        const QDate date = QDate::fromString(name, Qt::ISODate);
        const QString parent = date.isValid() ? m_czProject : m_czVolume;
        ClickRow(parent);
        if (Tree()->isExpanded(Row(parent)) != expanded)
            Press(expanded ? Qt::Key_Right : Qt::Key_Left);
        ModalBoxAnswerer answers;
        answers.ThenDo([date, name](QWidget* box) {
            auto* dialog = qobject_cast<QDialogAddNewFolder*>(box);
            QVERIFY(dialog);
            dialog->Form()->m_CtrlDateEdit->setDate(date);
            dialog->Form()->m_CtrlLineEdit_ProjectName->setText(name);
            QVERIFY(Click(dialog->Form()->m_CtrlButton_Ok));
        });
        QVERIFY(Click(W().ui->m_CtrlToolBar->widgetForAction(date.isValid() ? W().ui->m_CtrlAction_AddDay
                                                                             : W().ui->m_CtrlAction_AddProject)));
        const QString made = parent + QLatin1Char('/') + name + (date.isValid() ? ".OVD" : ".BR1");
        Settle();
        QVERIFY(QFileInfo(made).isDir() && Tree()->isExpanded(Row(parent)));
        QCOMPARE(SelectedPaths(), QStringList{made});
        QCOMPARE(CurrentPath(), made);
    }

    // Every take's audio as it was; the edits in the files.
    void closesWithAudioUnchanged()
    {
        m_pWindow.reset();
        const QMap<QString, QStringList> after = AudioByTake(m_czVolume);
        for (auto it = m_Audio.cbegin(); it != m_Audio.cend(); ++it)
            QVERIFY2(after.value(it.key()) == it.value(), qPrintable(it.key()));
        QVERIFY(after.size() > m_Audio.size());   // the import and the process wrote new takes
        struct Expected { const char* take; const char* note; const char* tape; };
        for (const Expected& e : {Expected{"A01T01", "Session note", "T001"}, Expected{"A01T02", "Both", "T777"},
                                  Expected{"A01T03", "Both", "T777"}}) {
            QSoundPerform take;
            QVERIFY(take.InitFilesZZ(m_czDay1 + QLatin1Char('/') + e.take, "WAV"));
            QCOMPARE(take.m_czIxmlNote, QString::fromLatin1(e.note));
            QCOMPARE(take.m_czTape, QString::fromLatin1(e.tape));
        }
    }

    void cleanupTestCase() { m_pWindow.reset(); }
};

QTEST_MAIN(TestSession)
#include "test_session.moc"
