// The "File Process" and "Import" commands of the menu on the demo media:
// the selection decides between the dialog and the "Invalid Selection" box.
#include "ui_dlgmain.h"

#include "browser/qbriselfsfilterproxymodel.h"
#include "browser/qbriselfsmodel.h"
#include "fileprocess/qdialogfileprocesssetup.h"
#include "fileprocess/qfileprocesssetupwidget.h"
#include "foundation/platform/appfolders.h"
#include "mainwindow/dlgmain.h"
#include "tests/support/demomedia.h"
#include "tests/support/fixturewriter.h"
#include "tests/support/modalboxanswerer.h"
#include "tests/support/scratchdir.h"
#include "ui_qdialogfileprocesssetup.h"

#include <QAbstractButton>
#include <QFileDialog>
#include <QMessageBox>
#include <QScreen>
#include <QSignalSpy>
#include <QtTest>

class TestProcessCommands : public QObject
{
    Q_OBJECT
    fixture::ScratchDir m_Media, m_Chosen;
    QString m_czDay1;

    static void SelectPath(DlgMain& window, const QString& path)
    {
        const QModelIndex view = window.m_pFSProxyModel->mapFromSource(window.m_pFSModel->index(path));
        QVERIFY(view.isValid());
        window.ui->m_CtrlTreeView->setCurrentIndex(view);
    }

private slots:
    void initTestCase()
    {
        QVERIFY(!fixture::WriteDemoVolume(m_Media.path()).isEmpty());
        qputenv("NALVO_VOLUMES_ROOT", m_Media.path().toUtf8());
        m_czDay1 = m_Media.path() + QStringLiteral("/DEMO_CARD/FEATURE.BR1/2024-05-01.OVD");
        QDir().mkpath(AppFolders::ConfigFolder());
    }

    // The default mixdown on takes without mix tracks fails for each, a box
    // named by the command telling why; the folders it made go, on the card
    // and in the browser, one there before stays.
    void processDayOpensTheDialog_data()
    {
        QTest::addColumn<bool>("run");
        QTest::addColumn<bool>("elsewhere");   // into a folder chosen, not beside the source
        QTest::addColumn<bool>("existed");
        QTest::newRow("demo day") << false << false << false;
        QTest::newRow("no mix tracks, beside the source") << true << false << false;
        QTest::newRow("no mix tracks, in a chosen folder") << true << true << false;
        QTest::newRow("no mix tracks, day folder there") << true << false << true;
    }

    void processDayOpensTheDialog()
    {
        QFETCH(bool, run);
        QFETCH(bool, elsewhere);
        QFETCH(bool, existed);
        const QString day = run ? "/FEATURE.BR1/2024-05-09" : "/FEATURE.BR1/2024-05-01", chosen = m_Chosen.path();
        const QString source = m_Media.path() + "/DEMO_CARD" + day + ".OVD";
        const QString target = (elsewhere ? chosen : m_Media.path() + "/DEMO_CARD") + day + ".OVX";
        for (const char* id : {"NM0001", "NM0002"})
            QVERIFY(!run || !fixture::WriteTake(source, fixture::MonoTake(id, {0, 1})).files.isEmpty());
        QVERIFY(!existed || QDir().mkpath(target));
        DlgMain window;
        window.show();
        QVERIFY(QTest::qWaitForWindowExposed(&window));
        SelectPath(window, source);
        int rows = -1;
        QString status;
        QStringList titles;   // of the message boxes the run left open
        int offScreen = 0;
        ModalBoxAnswerer boxes;
        boxes.ThenDo([&](QWidget* box) {
            if (auto* d = qobject_cast<QDialogFileProcessSetup*>(box)) {
                rows = d->Form()->m_CtrlWidget_FileProcess->Rows().size();
                d->Form()->m_CtrlCheckBox_TargetAlongSource->setChecked(!elsewhere);
                if (elsewhere)
                    d->Form()->m_CtrlLabel_Destination->setText(chosen);
                QSignalSpy ended(d, &QDialogFileProcessSetup::signal_RunEnded);
                if (run)
                    d->Form()->m_CtrlButton_Run->click();
                if (run && (ended.count() > 0 || ended.wait(30000)))
                    status = d->Form()->m_CtrlLabel_FullProgress->text();
                QApplication::processEvents();
                for (QMessageBox* told : window.findChildren<QMessageBox*>()) {
                    titles << told->windowTitle();
                    const QRect area = told->screen()->availableGeometry();
                    for (QAbstractButton* b : told->buttons())
                        offScreen += !area.contains(QRect(b->mapToGlobal(QPoint(0, 0)), b->size()));
                }
            }
            box->close();
        });
        window.ui->m_CtrlAction_FileProcess->trigger();
        QVERIFY(rows > 0);
        if (!run)
            return;
        QVERIFY2(status.startsWith("Finished: 0 written") && status.contains("2 failed"), qPrintable(status));
        // Named by the command, within the screen.
        QCOMPARE(titles, (QStringList{"File Process", "File Process"}));
        QCOMPARE(offScreen, 0);
        QTest::qWait(200);
        QCOMPARE(QFileInfo::exists(target), existed);
        QCOMPARE(window.m_pFSModel->index(target).isValid(), existed && !elsewhere);
        QVERIFY(QFileInfo::exists(chosen) && (!elsewhere || QDir(chosen).isEmpty()));
        QVERIFY(QDir(source).removeRecursively() && QDir(target).removeRecursively());
    }

    void invalidSelectionsWarn_data()
    {
        QTest::addColumn<bool>("import");
        QTest::newRow("process, nothing selected is empty") << false;
        QTest::newRow("import, nothing selected") << true;
    }

    void invalidSelectionsWarn()
    {
        QFETCH(bool, import);
        DlgMain window;
        window.show();
        QVERIFY(QTest::qWaitForWindowExposed(&window));
        window.ui->m_CtrlTreeView->clearSelection();
        ModalBoxAnswerer boxes;
        boxes.ThenAccept();
        (import ? window.ui->m_CtrlAction_Import : window.ui->m_CtrlAction_FileProcess)->trigger();
        QCOMPARE(boxes.SeenBoxes().size(), 1);
        if (import)
            QCOMPARE(boxes.SeenBoxes().first().title, QString("Invalid Selection"));
    }

    // The chooser opens in the selected day (a take's day), the last import's folder one step back.
    void importCancelledChangesNothing_data()
    {
        QTest::addColumn<QString>("selected");
        QTest::newRow("day") << QString();
        QTest::newRow("take") << QStringLiteral("/A01T01_04.WAV");
    }

    void importCancelledChangesNothing()
    {
        QFETCH(QString, selected);
        DlgMain window;
        window.show();
        QVERIFY(QTest::qWaitForWindowExposed(&window));
        SelectPath(window, m_czDay1 + selected);
        window.m_czImportLastPath = m_Media.path();
        window.m_nImportLastID = 7;
        ModalBoxAnswerer boxes;
        QStringList seen;   // the folder the chooser opens in, then its history
        boxes.ThenDo([&seen](QWidget* box) {
            if (auto* chooser = qobject_cast<QFileDialog*>(box))
                seen << chooser->directory().absolutePath() << chooser->history();
            qobject_cast<QDialog*>(box)->reject();
        });
        window.ui->m_CtrlAction_Import->trigger();
        QCOMPARE(boxes.SeenBoxes().size(), 1);
        QCOMPARE(seen.value(0), m_czDay1);
        QVERIFY(seen.mid(1).contains(m_Media.path()));
        QCOMPARE(window.m_nImportLastID, 7);
        QCOMPARE(window.m_czImportLastPath, m_Media.path());
    }
};

QTEST_MAIN(TestProcessCommands)
#include "test_process_commands.moc"
