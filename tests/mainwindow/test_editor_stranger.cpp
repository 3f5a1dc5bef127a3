// The main window applying edits beside files that are not the take's:
// another maker's file named for one of its slots, a copy, an empty file, a
// stray file holding the take's new long name.
#include "tests/mainwindow/editorday.h"

#include "ui_dlgmain.h"

#include "browser/fsitemtype.h"
#include "browser/qbriselfsfilterproxymodel.h"
#include "browser/qbriselfsmodel.h"
#include "foundation/qpath.h"
#include "mainwindow/copycomparison.h"
#include "mainwindow/dlgmain.h"
#include "take/soundperform.h"
#include "take/takefamily.h"
#include "tests/support/fixturevariants.h"
#include "tests/support/modalboxanswerer.h"
#include "tests/support/riffbytes.h"

#include <QApplication>
#include <QDir>
#include <QFileInfo>
#include <QMessageBox>
#include <QThread>
#include <QtTest>

using namespace fixture;

namespace {
// Holds the window's comparison of a copy until the test opens it, or the
// window stops it.
std::atomic<bool> gComparisonOpen{true};
void HoldComparison(const std::atomic<bool>& stop)
{
    while (!gComparisonOpen.load() && !stop.load())
        QThread::msleep(2);
}
}  // namespace

class TestEditorStranger : public EditorDayTest
{
    Q_OBJECT

    // Apply, then the selection moved to the day row three times, each
    // "not saved" box answered with "Keep editing", then once more,
    // answered with "Discard changes": each time the stranger alone is
    // told, in one box, and the rows come back (the take under its new
    // name) until the edits are discarded.
    static void ApplyKeepingEdits(DlgMain& window, const QString& dayPath, ModalBoxAnswerer& answerer,
                                  const QString& stranger, const QString& take)
    {
        const auto choose = [](const QString& text) {
            return [text](QWidget* box) {
                auto* message = qobject_cast<QMessageBox*>(box);
                for (QAbstractButton* button : message ? message->buttons() : QList<QAbstractButton*>())
                    if (button->text() == text)
                        return button->click();
                box->close();
            };
        };
        // Queued at once: a box that came back would take the next answer
        // (and the spare ones, so that it cannot hold the test).
        answerer.ThenAccept();
        for (int i = 0; i < 3; ++i)
            answerer.ThenDo(choose(QStringLiteral("Keep editing")));
        for (int i = 0; i < 20; ++i)
            answerer.ThenDo(choose(QStringLiteral("Discard changes")));
        QTreeView* tree = window.ui->m_CtrlTreeView;
        for (int round = 0; round <= 4; ++round) {
            if (round == 0)
                QTest::mouseClick(window.ui->m_CtrlButton_ApplyChanges, Qt::LeftButton);
            else
                tree->setCurrentIndex(window.m_pFSProxyModel->mapFromSource(window.m_pFSModel->index(dayPath)));
            QTRY_COMPARE(answerer.SeenBoxes().size(), round + 1);
            QTRY_VERIFY(!window.m_pTimerSelection->isActive() && !QApplication::activeModalWidget());
            QCOMPARE(answerer.SeenBoxes().size(), round + 1);
            const QString text = answerer.SeenBoxes().last().text;
            QVERIFY2(text.startsWith("These takes were not saved:\n" + stranger + " was made by another recorder"),
                     qPrintable(text));
            QVERIFY2(!text.contains("cannot be loaded") && text.count("another recorder") == 1, qPrintable(text));
            QStringList rows;
            for (const QModelIndex& row : tree->selectionModel()->selectedRows())
                rows << QFileInfo(row.data(FSFilePathRole).toString()).fileName();
            rows.sort();
            if (round == 4) {
                QCOMPARE(rows, QStringList{QFileInfo(dayPath).fileName()});
                break;
            }
            QCOMPARE(rows.size(), 2);
            QVERIFY2(rows.first().startsWith(take + "==") && rows.last().startsWith(stranger), qPrintable(rows.join(' ')));
            QVERIFY(window.m_bEditMetadata);
        }
        QVERIFY(!window.m_bEditMetadata);
    }

    // The window answered with the copy's comparison held: the line says it
    // is being compared, then what it is once the comparison ends. With
    // dayBetween the day is selected meanwhile and the take again after.
    static void ShowsComparedCopy(DlgMain& window, const StrangerForm& beside, const std::function<void()>& showTake,
                                  bool dayBetween)
    {
        const auto line = [&window] {
            const QLabel* label = window.findChild<QLabel*>("m_CtrlLabel_TakeProblem");
            return label && label->isVisible() ? label->toolTip() : QString();
        };
        // Its member: the file of the track its bext tags, in whatever slot.
        const QString told = beside.take.id + ": " + beside.stranger + " is %1";
        QVERIFY2(line().startsWith(told.arg("being compared with ")), qPrintable(line()));
        const QString member = line().section(QLatin1Char(';'), 0, 0).section(QLatin1Char(' '), -1);
        if (dayBetween) {
            Select(window, {QFileInfo(window.m_SndPerform.m_czTakeFolder).absolutePath()});
            gComparisonOpen = true;
            QTest::qWait(100);
            QVERIFY2(!line().contains(beside.stranger), qPrintable(line()));
            showTake();
        }
        gComparisonOpen = true;
        QTRY_VERIFY2(line().startsWith(told.arg("a copy of " + member + "; left out of the take, never written with it.")),
                     qPrintable(line()));
    }

private slots:
    void init()
    {
        if (!CurrentRowInPart())
            QSKIP("a row of another part");
    }
    void cleanup()
    {
        ResetDiskSeams();
        CopyComparison::SetGate(nullptr);
        gComparisonOpen = true;
    }

    // A long-named take whose new long name is taken by a stray file: the
    // clash is found before any move, so the take keeps its long names
    // (not the short ones a half-done conversion would leave).
    void longRenameClashKeepsNames()
    {
        TakeSpec spec = MonoTake("C00001", {0, 1});
        spec.nameStyle = NameStyle::LongEquals;
        WriteDay({spec});
        auto window = NewWindow();
        Select(*window, {Path(TrackFileName(spec, 0))});
        Type(window->ui->m_CtrlEditEditorScene, "4D");
        QFile stray(Path("C00001==      4D     t3==_02.WAV"));
        QVERIFY(stray.open(QIODevice::WriteOnly));
        stray.close();
        ModalBoxAnswerer answerer;
        answerer.ThenAccept();
        QTest::mouseClick(window->ui->m_CtrlButton_ApplyChanges, Qt::LeftButton);
        QCOMPARE(answerer.SeenBoxes().size(), 1);
        QCOMPARE(answerer.SeenBoxes().first().text, QStringLiteral("File C00001==      4D     t3== already exists."));
        for (int i = 0; i < 2; ++i)
            QVERIFY(QFileInfo::exists(Path(TrackFileName(spec, i))));
        QCOMPARE(QDir(m_czDay).entryList({"*.WAV"}).size(), 3);
        // The metadata was saved all the same.
        QSoundPerform readBack;
        QVERIFY(readBack.InitFilesZZ(Path(QPath(TrackFileName(spec, 0)).GetRoot()), "WAV"));
        QCOMPARE(readBack.m_czScene, QStringLiteral("4D"));
    }

    // This recorder's take beside another maker's file of its members'
    // length named for one of its slots in another form, or for a track the
    // load reads by a letter or never, or a file of another take, a copy of
    // a member, an empty or unidentified file named for one of its slots:
    // the take opens whole, and an Apply of a note, or with long names,
    // changes (renames) every member and leaves the stranger byte for byte
    // under its name. A file held out in place of its member stays in the
    // track list, and the take is not renamed away from it.
    void applyBesideAStranger_data()
    {
        QTest::addColumn<int>("form");
        QTest::addColumn<int>("fileMode");
        for (int form = 0; form < StrangerForms().size(); ++form) {
            if (StrangerForms().at(form).cardOnly)
                continue;
            const QString tag = QString::fromLatin1(StrangerForms().at(form).tag);
            QTest::newRow(qPrintable(tag + ", a note")) << form << 0;
            QTest::newRow(qPrintable(tag + ", long names")) << form << 1;
            // Selected with the take, the stranger's refusal says whose
            // file it is, as its line does.
            if (StrangerForms().at(form).listed && StrangerForms().at(form).made == StrangerMade::OtherMaker)
                QTest::newRow(qPrintable(tag + ", a note, the stranger selected too")) << form << 2;
            // Applied, then as the selection leaves the rows with "Keep
            // editing" chosen: the stranger alone is told, once each time.
            if (form == 0)
                QTest::newRow(qPrintable(tag + ", long names, the stranger selected too, kept editing")) << form << 3;
            // The stranger comes while the note is typed.
            if (StrangerForms().at(form).made != StrangerMade::OtherMaker && !StrangerForms().at(form).inPlace)
                QTest::newRow(qPrintable(tag + ", a note, the stranger arriving")) << form << 4;
            // Refused its long names, then the day and the take selected:
            // the refusal is told once, the note saved as the take is left.
            if (StrangerForms().at(form).inPlace)
                QTest::newRow(qPrintable(tag + ", long names refused, the day and the take selected")) << form << 5;
            // The take shown while its copy is compared, the line saying so
            // until the comparison ends; or the day selected meanwhile,
            // whose line the comparison leaves alone.
            if (StrangerForms().at(form).made == StrangerMade::CopyOfMember) {
                QTest::newRow(qPrintable(tag + ", a note, shown before the comparison ends")) << form << 6;
                QTest::newRow(qPrintable(tag + ", a note, the day selected during the comparison")) << form << 7;
            }
        }
    }

    void applyBesideAStranger()
    {
        QFETCH(int, form);
        QFETCH(int, fileMode);
        const StrangerForm& beside = StrangerForms().at(form);
        WriteDay({});
        const QStringList members = WriteTakeBesideStranger(m_czDay, beside, true);
        QVERIFY(!members.isEmpty());
        const QString stranger = Path(beside.stranger);
        const QByteArray strangerBytes = ReadBytes(stranger);
        const QString waiting = m_czDay + "/../" + beside.stranger;
        if (fileMode == 4)
            QVERIFY(QFile::rename(stranger, waiting));

        auto window = NewWindow();
        QTRY_VERIFY(window->m_pFSModel->index(members.first()).isValid());
        // Found again at each use: the rows change as the views learn what
        // the take's load found.
        const auto takeRow = [this, &window, &beside] {
            const QModelIndex day = window->m_pFSProxyModel->mapFromSource(window->m_pFSModel->index(m_czDay));
            return window->m_pFSProxyModel->match(window->m_pFSProxyModel->index(0, 0, day), Qt::DisplayRole,
                                                  beside.take.id, 1, Qt::MatchExactly);
        };
        const QModelIndexList row = takeRow();
        QCOMPARE(row.size(), 1);
        const auto showTake = [&window, &takeRow] {
            window->ui->m_CtrlTreeView->setCurrentIndex(takeRow().value(0));
            window->m_pTimerSelection->stop();
            window->slot_TimerSelectionChanged();
        };
        if (fileMode >= 6) {
            gComparisonOpen = false;
            CopyComparison::SetGate(HoldComparison);
        }
        showTake();
        if (fileMode >= 6) {
            ShowsComparedCopy(*window, beside, showTake, fileMode == 7);
            if (QTest::currentTestFailed())
                return;
            fileMode = 0;   // then a note, as the first row
        }
        QCOMPARE(int(window->m_SndPerform.m_nFileCount), members.size());
        QCOMPARE(window->m_SndPerform.MissingMembers(), 0);
        // A namesake of a member, or a file held out, is named in the take's
        // line, in a folder changed a moment ago too, and after an Apply.
        const bool named = beside.inPlace || beside.made == StrangerMade::CopyOfMember
                           || beside.made == StrangerMade::OtherRecording || beside.made == StrangerMade::CutCopy;
        const auto lineNames = [&window, &beside] {
            const QLabel* line = window->findChild<QLabel*>("m_CtrlLabel_TakeProblem");
            return line && line->isVisible() && line->text().contains(beside.stranger);
        };
        QCOMPARE(lineNames(), named && fileMode != 4);
        Ui::DlgMain* ui = window->ui.get();
        ModalBoxAnswerer answerer;
        const bool withStranger = fileMode == 2 || fileMode == 3;
        // A file held out in place of its member keeps the take's names.
        const bool renamed = fileMode % 2 == 1 && !beside.inPlace;
        const bool longNames = fileMode == 1 || fileMode == 3 || fileMode == 5;
        if (fileMode == 2 || (longNames && beside.inPlace))
            answerer.ThenAccept();
        if (fileMode == 5)
            answerer.ThenReject();   // a box as the take is left: its edits discarded
        if (withStranger) {
            // The stranger's row added to the take's, as a Ctrl+click does.
            // Listed alone once the take's load has read it (a file the
            // listing joined by its length is judged again then).
            QModelIndex alone;
            QTRY_VERIFY((alone = window->m_pFSProxyModel->mapFromSource(window->m_pFSModel->index(stranger))).isValid()
                        && alone.data().toString() == QFileInfo(stranger).completeBaseName());
            ui->m_CtrlTreeView->selectionModel()->select(alone, QItemSelectionModel::Select | QItemSelectionModel::Rows);
            window->m_pTimerSelection->stop();
            window->slot_TimerSelectionChanged();
            QCOMPARE(ui->m_CtrlTreeView->selectionModel()->selectedRows().size(), 2);
        }
        Type(ui->m_CtrlEditEditorNote, "Beside a stranger");
        if (fileMode == 4)
            QVERIFY(QFile::rename(waiting, stranger));
        else if (fileMode != 2)
            ui->m_CtrlComboBox_Filename->setCurrentIndex(longNames ? 1 : fileMode);
        if (fileMode == 3) {
            ApplyKeepingEdits(*window, m_czDay, answerer, QFileInfo(beside.stranger).completeBaseName(), beside.take.id);
            if (QTest::currentTestFailed()) {
                window->m_bEditMetadata = false;   // no box as the window closes
                return;
            }
        } else
            QTest::mouseClick(ui->m_CtrlButton_ApplyChanges, Qt::LeftButton);
        if (fileMode == 2) {
            const QString name = QFileInfo(beside.stranger).completeBaseName();
            QTRY_COMPARE(answerer.SeenBoxes().size(), 1);
            const QString text = answerer.SeenBoxes().first().text;
            // The take was saved; the typed note stays for the stranger.
            window->m_bEditMetadata = false;
            QVERIFY2(text.contains(name + " was made by another recorder") && !text.contains("damaged"),
                     qPrintable(text));
        }
        if (longNames && beside.inPlace) {
            QTRY_COMPARE(answerer.SeenBoxes().size(), 1);
            const QString text = answerer.SeenBoxes().first().text;
            if (fileMode != 5)
                window->m_bEditMetadata = false;
            QVERIFY2(text.contains(beside.stranger + " is left out of the take though its metadata lists it, so its "
                                                     "files were not renamed"),
                     qPrintable(text));
        }
        if (fileMode == 5) {
            // The choice shows the files' names again.
            const int choice = ui->m_CtrlComboBox_Filename->currentIndex();
            Select(*window, {m_czDay});
            ui->m_CtrlTreeView->setCurrentIndex(takeRow().value(0));
            QTRY_COMPARE(window->m_SndPerform.m_czBaseName, beside.take.id);
            QTest::qWait(300);
            QCOMPARE(answerer.SeenBoxes().size(), 1);
            QCOMPARE(choice, 0);
        }
        QVERIFY(!window->m_bEditMetadata);
        if (fileMode == 0)
            QTRY_COMPARE(lineNames(), named);

        QCOMPARE(ReadBytes(stranger), strangerBytes);
        QStringList files = QDir(m_czDay).entryList({"*.WAV"}, QDir::Files, QDir::Name);
        QVERIFY(files.removeOne(beside.stranger));
        QCOMPARE(files.size(), members.size());
        for (const QString& file : files)
            QVERIFY2(!renamed ? members.contains(Path(file)) : file.contains("=="), qPrintable(file));
        QSoundPerform readBack;
        QVERIFY(readBack.InitFilesZZ(TakePathOfFile(Path(files.first()), "WAV"), "WAV"));
        QCOMPARE(int(readBack.m_nFileCount), members.size());
        for (int t = 0; t < QSoundPerform::kMaxTracks; ++t) {
            if (!readBack.m_pbPresent[t])
                continue;
            QVERIFY(files.contains(QFileInfo(readBack.m_SndFile[t].GetPath()).fileName()));
            QCOMPARE(readBack.m_SndFile[t].GetiXMLTotalFiles(), members.size() + (beside.inPlace ? 1 : 0));
            QCOMPARE(readBack.m_SndFile[t].GetiXMLNotes(),
                     (fileMode == 1 || fileMode == 3) && beside.inPlace ? beside.take.note
                                                                        : QStringLiteral("Beside a stranger"));
        }
    }
};

int main(int argc, char** argv)
{
    return RunEditorTest<TestEditorStranger>(argc, argv);
}
#include "test_editor_stranger.moc"
