// The "Add Project" and "Add Day" commands: where a new folder goes, what
// names are refused, and the dialog that asks for them.
#include "browser/qbriselfsfilterproxymodel.h"
#include "browser/qbriselfsmodel.h"
#include "browser/qdialogaddnewfolder.h"
#include "browser/qnewfoldercommands.h"
#include "browser/ui_qdialogaddnewfolder.h"
#include "browsertestmedia.h"
#include "tests/support/modalboxanswerer.h"

#include <QTreeView>
#include <QtTest>

class TestBrowserNewFolder : public QObject
{
    Q_OBJECT

    struct Setup
    {
        TestVolumesRoot root;
        QString card = root.makeFolder("CARD");
        QString project = root.makeFolder("CARD/SHOOT.BR1");
        QString day = root.makeFolder("CARD/SHOOT.BR1/2024-05-01.OVD");
        QString take = root.makeFile("CARD/SHOOT.BR1/2024-05-01.OVD/T1_01.WAV");
        QString plain = root.makeFolder("CARD/misc");
        QString fresh = root.makeFolder("FRESH");
        QBriselFSModel model{false};
        QBriselFSFilterProxyModel proxy{nullptr, true};
        QTreeView tree;
        QNewFolderCommands commands{&tree, &tree, &proxy, &model};

        Setup()
        {
            proxy.setSourceModel(&model);
            proxy.sort(0, Qt::AscendingOrder);
            QObject::connect(&model, &QBriselFSModel::test_sig, &proxy, &QSortFilterProxyModel::invalidate);
            tree.setModel(&proxy);
            tree.resize(420, 300);
            tree.setColumnHidden(1, true);
            tree.setColumnHidden(2, true);
            tree.setColumnHidden(3, true);
            tree.setColumnHidden(4, true);
            tree.show();
        }
        QModelIndex shown(const QString& path) { return proxy.mapFromSource(model.index(path)); }
        void select(const QStringList& paths)
        {
            tree.selectionModel()->clearSelection();
            for (const QString& p : paths)
                tree.selectionModel()->select(shown(p), QItemSelectionModel::Select | QItemSelectionModel::Rows);
        }
        QStringList entries(const QString& folder) const
        {
            return QDir(folder).entryList(QDir::AllEntries | QDir::NoDotAndDotDot | QDir::Hidden);
        }
    };

    // A look at w: saved as NAME-PLATFORM.png into NALVO_GRAB_DIR when it is
    // set (the offscreen and X11 runs keep their own), else only painted.
    static void shot(QWidget* w, const QString& name)
    {
        const QImage image = w->grab().toImage();
        QVERIFY(!image.isNull());
        const QString dir = qEnvironmentVariable("NALVO_GRAB_DIR");
        if (!dir.isEmpty())
            QVERIFY(image.save(QDir(dir).filePath(name + "-" + QGuiApplication::platformName() + ".png")));
    }

    static std::function<void(QWidget*)> typeProjectName(const QString& name)
    {
        return [name](QWidget* box) {
            auto* dialog = qobject_cast<QDialogAddNewFolder*>(box);
            QVERIFY(dialog);
            dialog->Form()->m_CtrlLineEdit_ProjectName->setText(name);
            QTest::keyClick(dialog->Form()->m_CtrlLineEdit_ProjectName, Qt::Key_Return);
        };
    }
    static std::function<void(QWidget*)> chooseDate(const QDate& date)
    {
        return [date](QWidget* box) {
            auto* dialog = qobject_cast<QDialogAddNewFolder*>(box);
            QVERIFY(dialog);
            QCOMPARE(dialog->Form()->m_CtrlStackedWidget_DayProj->currentIndex(), 0);
            dialog->Form()->m_CtrlDateEdit->setDate(date);
            dialog->Form()->m_CtrlButton_Ok->click();
        };
    }

private slots:
    void projectTargetFolders()
    {
        Setup s;
        QCOMPARE(QNewFolderCommands::ProjectTargetFolder(s.shown(s.project)), s.card);
        QCOMPARE(QNewFolderCommands::ProjectTargetFolder(s.shown(s.day)), s.card);
        QCOMPARE(QNewFolderCommands::ProjectTargetFolder(s.shown(s.take)), s.card);
        QCOMPARE(QNewFolderCommands::ProjectTargetFolder(s.shown(s.card)), s.card);
        QCOMPARE(QNewFolderCommands::ProjectTargetFolder(s.shown(s.plain)), s.plain);
    }

    // Runs "Add Project" on the row with the name typed in the dialog.
    static void addProject(Setup& s, const QString& row, const QString& name, ModalBoxAnswerer& answers)
    {
        s.select({row});
        answers.ThenDo(typeProjectName(name));
        s.commands.AddNewProject();
    }

    void newProjectBesideTheTakesProject()
    {
        Setup s;
        ModalBoxAnswerer answers;
        addProject(s, s.take, "NEXT", answers);
        QCOMPARE(answers.SeenBoxes().size(), 1);
        QCOMPARE(answers.SeenBoxes().first().title, QString("Add new folder"));
        QVERIFY(QFileInfo(s.card + "/NEXT.BR1").isDir());
        QVERIFY(!QFileInfo::exists(s.day + "/NEXT.BR1"));
    }

    // On a volume never listed, the lookup lists it and the new row becomes current.
    void newProjectOnAVolumeIsSelected()
    {
        Setup s;
        ModalBoxAnswerer answers;
        addProject(s, s.fresh, "FIRST", answers);
        QVERIFY(QFileInfo(s.fresh + "/FIRST.BR1").isDir());
        QCOMPARE(s.tree.currentIndex().data(FSFilePathRole).toString(), s.fresh + "/FIRST.BR1");

        s.tree.expandAll();
        shot(&s.tree, "tree");
    }

    void refusedProjectNames_data()
    {
        QTest::addColumn<QString>("name");
        QTest::addColumn<QString>("reason");
        QTest::newRow("empty") << "" << "Type a name.";
        QTest::newRow("slash") << "A/B" << "No / or \\ in a name: it makes one folder here.";
        QTest::newRow("path upwards") << "../X" << "No / or \\ in a name: it makes one folder here.";
        QTest::newRow("backslash") << "A\\B" << "No / or \\ in a name: it makes one folder here.";
        QTest::newRow("control character") << "A\tB" << "No tab or other control character in a name.";
        QTest::newRow("dot") << "." << "\".\" and \"..\" name no new folder.";
        QTest::newRow("dot dot") << ".." << "\".\" and \"..\" name no new folder.";
    }

    // The dialog says why and stays open with the name as typed; nothing is made.
    void refusedProjectNames()
    {
        QFETCH(QString, name);
        QFETCH(QString, reason);
        Setup s;
        const QStringList before = s.entries(s.card);
        const QStringList above = s.entries(s.card + "/..");
        ModalBoxAnswerer answers;
        bool open = false;
        QString kept, shown;
        answers.ThenDo([&](QWidget* box) {
            typeProjectName(name)(box);
            auto* dialog = qobject_cast<QDialogAddNewFolder*>(box);
            open = dialog->isVisible();
            kept = dialog->Form()->m_CtrlLineEdit_ProjectName->text();
            shown = dialog->Form()->m_CtrlLabel_Refusal->isVisible() ? dialog->Form()->m_CtrlLabel_Refusal->text() : QString();
            dialog->reject();
        });
        s.select({s.project});
        s.commands.AddNewProject();
        QCOMPARE(answers.SeenBoxes().size(), 1);
        QVERIFY(open);
        QCOMPARE(kept, name);
        QCOMPARE(shown, reason);
        QCOMPARE(s.entries(s.card), before);
        QCOMPARE(s.entries(s.card + "/.."), above);
    }

    void existingProjectIsRefused()
    {
        Setup s;
        s.select({s.day});
        ModalBoxAnswerer answers;
        answers.ThenDo(typeProjectName("SHOOT")).ThenAccept();
        s.commands.AddNewProject();
        QCOMPARE(answers.SeenBoxes().size(), 2);
        QCOMPARE(answers.SeenBoxes().at(1).text, QString("Could not create directory : it already exists !"));
        QCOMPARE(s.entries(s.project), QStringList({"2024-05-01.OVD"}));
    }

    void newDayInsideTheSelectedProjectOnly()
    {
        Setup s;
        ModalBoxAnswerer answers;
        for (const QString& row : {s.day, s.take}) {
            s.select({row});
            answers.ThenAccept();
            s.commands.AddNewDay();
        }
        QCOMPARE(answers.SeenBoxes().size(), 2);
        QCOMPARE(answers.SeenBoxes().at(0).text, QString("Please Select a valid Project"));
        QCOMPARE(answers.SeenBoxes().at(1).title, QString("Error"));

        s.select({s.project});
        answers.ThenDo(chooseDate(QDate(2024, 6, 2)));
        s.commands.AddNewDay();
        QVERIFY(QFileInfo(s.project + "/2024-06-02.OVD").isDir());

        // The same date again leaves the existing day alone.
        s.root.makeFile("CARD/SHOOT.BR1/2024-06-02.OVD/T9_01.WAV");
        s.select({s.project});
        answers.ThenDo(chooseDate(QDate(2024, 6, 2))).ThenAccept();
        s.commands.AddNewDay();
        QCOMPARE(answers.SeenBoxes().last().text, QString("Could not create directory : it already exists !"));
        QCOMPARE(s.entries(s.project + "/2024-06-02.OVD"), QStringList({"T9_01.WAV"}));
    }

    void nothingWithoutExactlyOneRowOrWhenCancelled()
    {
        Setup s;
        ModalBoxAnswerer answers;
        const QStringList before = s.entries(s.card);
        s.select({});
        s.commands.AddNewProject();
        s.commands.AddNewDay();
        s.select({s.project, s.plain});
        s.commands.AddNewProject();
        s.commands.AddNewDay();
        QCOMPARE(answers.SeenBoxes().size(), 0);

        s.select({s.project});
        answers.ThenReject();
        s.commands.AddNewProject();
        QCOMPARE(answers.SeenBoxes().size(), 1);
        QCOMPARE(s.entries(s.card), before);
    }

    // A target that vanished (an unmounted volume) is not made again.
    void missingTargetFails()
    {
        QTemporaryDir dir;
        QCOMPARE(QNewFolderCommands::CreateFolder(dir.path() + "/gone", "P.BR1"),
                 QNewFolderCommands::CREATE_FAILED);
        QVERIFY(!QFileInfo::exists(dir.path() + "/gone"));
        QCOMPARE(QNewFolderCommands::CreateFolder(QString(), "P.BR1"), QNewFolderCommands::CREATE_FAILED);
        QCOMPARE(QNewFolderCommands::CreateFolder(dir.path(), "P.BR1"), QNewFolderCommands::CREATE_OK);
    }

    void dialogForm()
    {
        QDialogAddNewFolder dialog(nullptr);
        Ui::QDialogAddNewFolder* ui = dialog.Form();
        QCOMPARE(dialog.windowTitle(), QString("Add new folder"));
        QCOMPARE(dialog.size(), QSize(363, 110));
        QCOMPARE(ui->m_CtrlStackedWidget_DayProj->currentIndex(), 1);
        QCOMPARE(ui->m_CtrlLabel_Path->text(), QString("--"));
        QCOMPARE(ui->m_CtrlDateEdit->date(), QDate::currentDate());
        QCOMPARE(dialog.GetDayFolder(), QDate::currentDate().toString("yyyy-MM-dd"));

        dialog.Setup("/Volumes/CARD", QDialogAddNewFolder::NEWFOLDER_PROJECT);
        ui->m_CtrlLineEdit_ProjectName->setText(" Shoot 1 ");
        QCOMPARE(dialog.GetProjectName(), QString(" Shoot 1 "));
        QCOMPARE(ui->m_CtrlLabel_Path->text(), QString("/Volumes/CARD"));
        dialog.show();
        shot(&dialog, "dialog-project");

        dialog.Setup("/Volumes/CARD/SHOOT.BR1", QDialogAddNewFolder::NEWFOLDER_DAY);
        QCOMPARE(ui->m_CtrlStackedWidget_DayProj->currentIndex(), 0);
        ui->m_CtrlDateEdit->setDate(QDate(2024, 5, 1));
        QCOMPARE(dialog.GetDayFolder(), QString("2024-05-01"));
        shot(&dialog, "dialog-day");
    }
};

QTEST_MAIN(TestBrowserNewFolder)
#include "test_browser_newfolder.moc"
