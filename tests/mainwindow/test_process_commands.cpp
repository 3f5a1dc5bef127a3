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
#include "ui_qdialogfileprocesssetup.h"

#include <QFileDialog>
#include <QSignalSpy>
#include <QTemporaryDir>
#include <QtTest>

class TestProcessCommands : public QObject
{
    Q_OBJECT
    QTemporaryDir m_Media;
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

    void processDayOpensTheDialog()
    {
        DlgMain window;
        window.show();
        QVERIFY(QTest::qWaitForWindowExposed(&window));
        SelectPath(window, m_czDay1);
        int rows = -1;
        ModalBoxAnswerer boxes;
        boxes.ThenDo([&rows](QWidget* box) {
            if (auto* d = qobject_cast<QDialogFileProcessSetup*>(box))
                rows = d->Form()->m_CtrlWidget_FileProcess->Rows().size();
            box->close();
        });
        window.ui->m_CtrlAction_FileProcess->trigger();
        QVERIFY(rows > 0);
    }

    // The default choice, a mixdown of the mix tracks, on a day whose takes
    // have none: every take fails, and no new day folder is left on the card
    // or in the browser.
    void failedDefaultProcessLeavesNoFolder()
    {
        const QString day = m_Media.path() + QStringLiteral("/DEMO_CARD/FEATURE.BR1/2024-05-09.OVD");
        const QString target = m_Media.path() + QStringLiteral("/DEMO_CARD/FEATURE.BR1/2024-05-09.OVX");
        for (const char* id : {"NM0001", "NM0002"})
            QVERIFY(!fixture::WriteTake(day, fixture::MonoTake(QString::fromLatin1(id), {0, 1})).files.isEmpty());
        DlgMain window;
        window.show();
        QVERIFY(QTest::qWaitForWindowExposed(&window));
        SelectPath(window, day);
        QString status;
        int failed = -1;
        ModalBoxAnswerer boxes;
        boxes.ThenDo([&](QWidget* box) {
            if (auto* d = qobject_cast<QDialogFileProcessSetup*>(box)) {
                QSignalSpy ended(d, &QDialogFileProcessSetup::signal_RunEnded);
                d->Form()->m_CtrlButton_Run->click();
                if (ended.count() > 0 || ended.wait(30000)) {
                    status = d->Form()->m_CtrlLabel_FullProgress->text();
                    failed = d->Summary().failed.size();
                }
            }
            box->close();
        });
        window.ui->m_CtrlAction_FileProcess->trigger();
        QVERIFY2(status.startsWith("Finished: 0 written"), qPrintable(status));
        QCOMPARE(failed, 2);
        QVERIFY(!QFileInfo::exists(target));
        QTest::qWait(200);
        QVERIFY(!window.m_pFSModel->index(target).isValid());
        QVERIFY(QDir(day).removeRecursively());
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

    // The chooser opens in the selected day (a take selected: its day),
    // the last import's folder one step back.
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
        QString opened;
        QStringList history;
        boxes.ThenDo([&](QWidget* box) {
            if (auto* chooser = qobject_cast<QFileDialog*>(box)) {
                opened = chooser->directory().absolutePath();
                history = chooser->history();
            }
            qobject_cast<QDialog*>(box)->reject();
        });
        window.ui->m_CtrlAction_Import->trigger();
        QCOMPARE(boxes.SeenBoxes().size(), 1);
        QCOMPARE(opened, m_czDay1);
        QVERIFY(history.contains(m_Media.path()));
        QCOMPARE(window.m_nImportLastID, 7);
        QCOMPARE(window.m_czImportLastPath, m_Media.path());
    }
};

QTEST_MAIN(TestProcessCommands)
#include "test_process_commands.moc"
