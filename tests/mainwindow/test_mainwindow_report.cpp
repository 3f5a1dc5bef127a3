// The main window's report commands on the demo media with the real
// browser model: the job each selection makes, the take filters kept, the
// setup command's result reaching the members, the loader and the list, and
// the report-setup file across a restart.
#include "ui_dlgmain.h"
#include "ui_qdialogreportprocess.h"
#include "ui_qdialogsetuppdf.h"

#include "browser/qbriselfsfilterproxymodel.h"
#include "browser/qbriselfsmodel.h"
#include "foundation/platform/appfolders.h"
#include "mainwindow/dlgmain.h"
#include "report/qdialogreportprocess.h"
#include "report/qdialogsetuppdf.h"
#include "report/qfileinfolistwidget.h"
#include "tests/support/demomedia.h"
#include "tests/support/fixturewriter.h"
#include "tests/support/modalboxanswerer.h"
#include "tests/support/scratchdir.h"

#include <QItemSelectionModel>
#include <QSettings>
#include <QtTest>
#include <memory>

class TestMainWindowReport : public QObject
{
    Q_OBJECT

    fixture::ScratchDir m_Media;
    QString m_Project;

    static QModelIndex ViewIndex(DlgMain& window, const QString& path, const QString& tag = QString())
    {
        const QModelIndex source = tag.isEmpty() ? window.m_pFSModel->index(path) : window.m_pFSModel->index(path, tag);
        return window.m_pFSProxyModel->mapFromSource(source);
    }

    // Runs the Report command and answers its run dialog with Escape.
    struct tySeenJob
    {
        bool bShown = false;
        int nMask = -1;
        QString day;
        QString filters;
    };
    static tySeenJob RunReport(DlgMain& window, const QString& setFilters = QString())
    {
        tySeenJob seen;
        ModalBoxAnswerer answers;
        answers.ThenDo([&seen, setFilters](QWidget* box) {
            auto* dialog = qobject_cast<QDialogReportProcess*>(box);
            if (!dialog)
                return;
            seen.bShown = true;
            seen.nMask = dialog->ProcessMask();
            seen.day = dialog->Form()->m_CtrlLabel_Day->text();
            seen.filters = dialog->GetTakeFilters();
            if (!setFilters.isNull())
                dialog->SetTakeFilters(setFilters);
            QTest::keyClick(dialog, Qt::Key_Escape);
        });
        window.slot_DoReport(false);
        return seen;
    }

private slots:
    void initTestCase()
    {
        QVERIFY(!fixture::WriteDemoVolume(m_Media.path()).isEmpty());
        qputenv("NALVO_VOLUMES_ROOT", m_Media.path().toUtf8());
        m_Project = m_Media.path() + QStringLiteral("/DEMO_CARD/FEATURE.BR1");
        const QString poly = fixture::MakeDay(m_Project, QDate(2024, 6, 1), QStringLiteral("OVN"));
        QVERIFY(!fixture::WriteTake(poly, fixture::PolyTake(QStringLiteral("P01T01"), {0, 1})).files.isEmpty());
        fixture::MakeDay(m_Project, QDate(2024, 6, 2), QStringLiteral("OVL"));
        QDir().mkpath(AppFolders::ConfigFolder());
    }

    void init()
    {
        QFile::remove(AppFolders::SettingsFilePath());
        QFile::remove(AppFolders::ConfigFolder() + QStringLiteral("/DefaultReport.ini"));
    }

    void reportJobs()
    {
        DlgMain window;
        window.show();
        QVERIFY(QTest::qWaitForWindowExposed(&window));
        QTreeView* tree = window.ui->m_CtrlTreeView;
        struct Case
        {
            QString path;
            QString tag;
            bool shown;
            int mask;
            QString day;
        };
        const QString polyDay = QStringLiteral("2024-06-01.OVN");
        const QList<Case> cases = {
            {m_Project, QString(), true, 0xF, QStringLiteral("All days")},
            {m_Project + QLatin1Char('/') + polyDay, QString(), true, 0x4, polyDay},
            {m_Project + QLatin1Char('/') + polyDay + QLatin1Char('/') +
                 fixture::PolyFileName(fixture::PolyTake(QStringLiteral("P01T01"), {0, 1})),
             QString(), true, 0x4, polyDay},
            {m_Project + QStringLiteral("/2024-06-02.OVL"), QString(), true, 0, QStringLiteral("2024-06-02.OVL")},
            {m_Media.path() + QStringLiteral("/DEMO_CARD"), QString(), false, -1, QString()},
        };
        for (const Case& c : cases) {
            const QModelIndex row = ViewIndex(window, c.path, c.tag);
            if (!row.isValid() && c.shown)
                QSKIP(qPrintable(QStringLiteral("the browser does not list %1").arg(c.path)));
            tree->setCurrentIndex(row);
            const tySeenJob seen = RunReport(window);
            QCOMPARE(seen.bShown, c.shown);
            if (!c.shown)
                continue;
            QCOMPARE(seen.nMask, c.mask);
            QCOMPARE(seen.day, c.day);
        }

        // Filters chosen in the run dialog are offered to the next run.
        tree->setCurrentIndex(ViewIndex(window, m_Project));
        RunReport(window, QStringLiteral("t;a"));
        QCOMPARE(RunReport(window).filters, QStringLiteral("t;a"));

        // Two rows: no dialog.
        tree->selectionModel()->select(ViewIndex(window, m_Project + QLatin1Char('/') + polyDay),
                                       QItemSelectionModel::Select | QItemSelectionModel::Rows);
        QCOMPARE(tree->selectionModel()->selectedRows(0).size(), 2);
        QVERIFY(!RunReport(window).bShown);
    }

    void setupCommandAndFile()
    {
        {
            DlgMain window;
            // A first start has no setup path: the built-in layouts.
            QCOMPARE(window.m_ReportSetup.Data[0][2].nFieldId, DefaultReportDataLayout[0][2].nFieldId);
            ModalBoxAnswerer answers;
            answers.ThenDo([](QWidget* box) {
                auto* dialog = qobject_cast<QDialogSetupPdf*>(box);
                if (!dialog)
                    return;
                ModalBoxAnswerer::Activate(dialog);
                dialog->slot_ReportSetupDataNbLine(2);
                dialog->slot_ReportSetupDataNoteLine(true);
                QTest::keyClick(dialog, Qt::Key_F6);
                QTest::keyClick(dialog->Form()->m_CtrlWidget_Data, Qt::Key_Delete);   // cell 2 emptied
                QTest::keyClick(dialog->Form()->m_CtrlWidget_Data, Qt::Key_Escape);
                QTest::keyClick(dialog, Qt::Key_Escape);
            });
            window.slot_ReportSetup(false);
            QCOMPARE(window.m_ReportSetup.nDataLines, 2);
            QCOMPARE(window.m_ReportSetup.bNoteLine, true);
            QCOMPARE(window.m_ReportSetup.Data[0][2].nFieldId, 0);
        }
        // Saved at exit beside the settings, and read again at the next start.
        const QString file = AppFolders::ConfigFolder() + QStringLiteral("/DefaultReport.ini");
        QVERIFY(QFileInfo(file).isFile());
        DlgMain again;
        QCOMPARE(QFileInfo(again.m_czReportSetupPath).absoluteFilePath(), QFileInfo(file).absoluteFilePath());
        QCOMPARE(again.m_ReportSetup.nDataLines, 2);
        QCOMPARE(again.m_ReportSetup.Data[0][2].nFieldId, 0);
    }

    void brokenSetupFileIsKept()
    {
        const QString file = AppFolders::ConfigFolder() + QStringLiteral("/DefaultReport.ini");
        {
            DlgMain first;
            first.m_ReportSetup.nDataLines = 2;
        }
        QFile setup(file);
        QVERIFY(setup.open(QIODevice::Append) && setup.write("[Broken\n") > 0);
        setup.close();
        QVERIFY(setup.open(QIODevice::ReadOnly));
        const QByteArray before = setup.readAll();
        setup.close();
        {
            DlgMain window;
            QCOMPARE(window.m_ReportSetup.nDataLines, 2);
        }
        QVERIFY(setup.open(QIODevice::ReadOnly));
        QCOMPARE(setup.readAll(), before);
        setup.close();
        // A change the user made is kept, and the old file beside it.
        {
            DlgMain window;
            window.m_ReportSetup.bNoteLine = !window.m_ReportSetup.bNoteLine;
        }
        QFile backup(file + QStringLiteral(".bak"));
        QVERIFY(backup.open(QIODevice::ReadOnly));
        QCOMPARE(backup.readAll(), before);
        QFile::remove(backup.fileName());
    }
};

QTEST_MAIN(TestMainWindowReport)
#include "test_mainwindow_report.moc"
