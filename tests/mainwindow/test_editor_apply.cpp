// The main window as a user edits takes: selecting, viewing, typing, pasting,
// applying in every file-name mode, several takes at once, renames that
// fail half-way and saves the take object refuses.
#include "ui_dlgmain.h"

#include "browser/fsitemtype.h"
#include "browser/qbriselfsfilterproxymodel.h"
#include "browser/qbriselfsmodel.h"
#include "foundation/platform/diskprobes.h"
#include "foundation/qpath.h"
#include "foundation/replacejournal.h"
#include "mainwindow/dlgmain.h"
#include "take/soundperform.h"
#include "take/takefamily.h"
#include "take/takerename.h"
#include "player/qplaytimeline.h"
#include "tests/support/demomedia.h"
#include "tests/support/diskfaultwalk.h"
#include "tests/support/exfatvolume.h"
#include "tests/support/fixturevariants.h"
#include "tests/support/fixturewriter.h"
#include "tests/support/modalboxanswerer.h"
#include "tests/support/riffbytes.h"
#include "tests/support/riffreader.h"
#include "tests/support/scratchdir.h"

#include <QApplication>
#include <QClipboard>
#include <QCryptographicHash>
#include <QDir>
#include <QFileInfo>
#include <QMessageBox>
#include <QMimeData>
#include <QPushButton>
#include <QProcess>
#include <QTemporaryDir>
#include <QtTest>
#include <atomic>
#include <csignal>
#include <memory>
#include <thread>

using namespace fixture;

namespace {

// Every file of a folder: name -> (bytes, modification time).
using FolderState = QMap<QString, QPair<QByteArray, QDateTime>>;

FolderState StateOf(const QString& folder)
{
    FolderState state;
    for (const QFileInfo& info : QDir(folder).entryInfoList(QDir::Files, QDir::Name)) {
        QFile file(info.absoluteFilePath());
        file.open(QIODevice::ReadOnly);
        state.insert(info.fileName(), qMakePair(file.readAll(), info.lastModified()));
    }
    return state;
}

QByteArray DataMd5(const QString& path)
{
    return QCryptographicHash::hash(ReadRiffFile(path).data, QCryptographicHash::Md5).toHex();
}

// The bext description as ffprobe reads it ("comment"); empty without ffprobe.
QString FfprobeDescription(const QString& path)
{
    QProcess probe;
    probe.start(QStringLiteral("ffprobe"), {"-v", "error", "-show_entries", "format_tags=comment", "-of",
                                            "default=nw=1:nk=1", path});
    if (!probe.waitForFinished(20000) || probe.exitCode() != 0)
        return QString();
    return QString::fromUtf8(probe.readAllStandardOutput());
}

bool HaveFfprobe() { return !QStandardPaths::findExecutable(QStringLiteral("ffprobe")).isEmpty(); }

// The takes an Apply renames in the kill and concurrency cases, three tracks each.
const QStringList kRenamedTakes = {"K00001", "K00002", "K00003"};

bool WriteRenamedTakes(const QString& folder)
{
    bool written = true;
    for (const QString& id : kRenamedTakes)
        written = WriteTake(folder, MonoTake(id, {0, 1, 2})).files.size() == 3 && written;
    return written;
}

QStringList RootsOf(const QString& folder, const QString& id)
{
    QStringList roots;
    for (const QString& name : QDir(folder).entryList({id + "*.WAV"}, QDir::Files))
        roots << QPath(folder + QLatin1Char('/') + name).GetRoot();
    roots.removeDuplicates();
    return roots;
}

int LoadedMembers(const QString& folder, const QString& root)
{
    QSoundPerform take;
    take.InitFilesZZ(folder + QLatin1Char('/') + root, QStringLiteral("WAV"));
    return int(std::count(take.m_pbPresent, take.m_pbPresent + QSoundPerform::kMaxTracks, true));
}

std::atomic<int> g_nStepsToKill{-1};
std::atomic<bool> g_bRenaming{false};   // the saves are over: the first step is a rename's
void KillAtStep()
{
    g_bRenaming = true;
    if (g_nStepsToKill-- == 0)
        ::raise(SIGKILL);
}

// The child of the kill case: an Apply converting the takes to long names,
// killed at a step of its renames; with protectedMember one member of the
// second take is write-protected, so its moves are taken back. Exit 0: it finished.
int ApplyUntilKilled(int step, const QString& folder, bool protectedMember)
{
    g_nStepsToKill = step;
    SetReplaceStepHook(&KillAtStep);
    const QString refused = folder + QStringLiteral("/K00002_03.WAV");
    if (protectedMember)
        SetWritabilityProbe([refused](const QString& path) { return !g_bRenaming || QDir::cleanPath(path) != refused; });
    ModalBoxAnswerer answerer;
    answerer.ThenAccept();
    DlgMain window;
    window.m_bEditMetadata = true;
    QString trackNames[QSoundPerform::kMaxTracks];
    DlgMain::tyEditorValues values;
    values.bMulti = values.bConvertToLong = true;
    values.pczTrackNames = trackNames;
    values.nValSeparator = 0;
    const QStringList paths = QStringList(kRenamedTakes).replaceInStrings(QRegularExpression("^"), folder + "/");
    const QStringList renamed = window.SaveMetadata(paths, QStringLiteral("WAV"), values);
    // No box in the middle: the refusal waits for the apply's one box.
    const int refusals = protectedMember ? 1 : 0;
    return renamed.filter("==").size() == kRenamedTakes.size() - refusals && answerer.SeenBoxes().isEmpty() ? 0 : 3;
}

}  // namespace

class TestEditorApply : public QObject
{
    Q_OBJECT

    std::unique_ptr<QTemporaryDir> m_pRoot;
    QString m_czDay;

    // A fresh volume with the takes given; the window lists it.
    void WriteDay(const QList<TakeSpec>& takes, const QString& project = QStringLiteral("FILM"))
    {
        m_pRoot = std::make_unique<QTemporaryDir>();
        qputenv("NALVO_VOLUMES_ROOT", m_pRoot->path().toUtf8());
        m_czDay = MakeDay(MakeProject(MakeVolume(m_pRoot->path(), "CARD"), project), QDate(2024, 5, 1));
        for (const TakeSpec& take : takes)
            QVERIFY(!WriteTake(m_czDay, take).files.isEmpty());
    }

    static std::unique_ptr<DlgMain> NewWindow()
    {
        auto window = std::make_unique<DlgMain>();
        window->show();
        if (!QTest::qWaitForWindowExposed(window.get()))
            qWarning("window not exposed");
        return window;
    }

    // Selects the rows of these files as a user would, then lets the
    // dispatcher run at once.
    void Select(DlgMain& window, const QStringList& files)
    {
        QItemSelectionModel* model = window.ui->m_CtrlTreeView->selectionModel();
        model->clearSelection();
        for (const QString& file : files) {
            // The volume poller lists the card in its own time.
            QTRY_VERIFY2(window.m_pFSModel->index(file).isValid(), qPrintable(file));
            QModelIndex view = window.m_pFSProxyModel->mapFromSource(window.m_pFSModel->index(file));
            // The browser shows one row per take, on one of its files.
            const QFileInfo info(file);
            for (const QFileInfo& member : info.dir().entryInfoList({info.fileName().left(6) + "*.WAV"}))
                if (!view.isValid())
                    view = window.m_pFSProxyModel->mapFromSource(window.m_pFSModel->index(member.filePath()));
            QVERIFY2(view.isValid(), qPrintable(file));
            model->select(view, QItemSelectionModel::Select | QItemSelectionModel::Rows);
            if (file == files.first())   // the first row clicked is the current one
                model->setCurrentIndex(view, QItemSelectionModel::NoUpdate);
        }
        window.m_pTimerSelection->stop();
        window.slot_TimerSelectionChanged();
    }

    QString Path(const QString& name) const { return m_czDay + QLatin1Char('/') + name; }

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

    static void Type(QLineEdit* edit, const QString& text)
    {
        edit->setFocus();
        edit->selectAll();
        QTest::keyClick(edit, Qt::Key_Backspace);
        QTest::keyClicks(edit, text);
    }

    static void Grab(QWidget* widget, const QString& name)
    {
        const QString folder = qEnvironmentVariable("NALVO_GRAB_DIR");
        if (!folder.isEmpty()) {
            QTest::qWait(300);
            widget->grab().save(folder + QLatin1Char('/') + name + QStringLiteral(".png"));
        }
    }

private slots:
    void cleanup()
    {
        SetWritabilityProbe(WritabilityProbe());
        DiskFaults::Disarm();
    }

    // Viewing is no edit: the take shown, then another selected, leaves every
    // byte and time of the first take's files as they were.
    void viewingLeavesFilesUntouched()
    {
        TakeSpec adv = MonoTake("T00001", {0, 1});
        adv.scTkTemplate = 5;
        adv.advanced = {{3, "S1"}, {0, "-"}, {2, "7"}};
        TakeSpec without = MonoTake("T00002", {0});
        without.scTkTemplate = 2;
        WriteDay({adv, without, MonoTake("T00003", {0})});
        const FolderState before = StateOf(m_czDay);
        auto window = NewWindow();
        for (const char* file : {"T00001_01.WAV", "T00002_01.WAV", "T00003_01.WAV"}) {
            Select(*window, {Path(file)});
            QVERIFY(!window->m_bEditMetadata);
            QVERIFY(window->ui->m_CtrlButton_ApplyChanges->isHidden());
        }
        QCOMPARE(window->ui->m_CtrlComboBox_TemplateTakeIndicator->currentIndex(), 0);
        Select(*window, {});
        window.reset();
        QCOMPARE(StateOf(m_czDay), before);
    }

    // The demo day: every take viewed in turn leaves the day as it was; its
    // long-named take edited with "Long Underscore" follows its new scene.
    void demoDay()
    {
        m_pRoot = std::make_unique<QTemporaryDir>();
        qputenv("NALVO_VOLUMES_ROOT", m_pRoot->path().toUtf8());
        QVERIFY(!WriteDemoVolume(m_pRoot->path()).isEmpty());
        m_czDay = m_pRoot->path() + QStringLiteral("/DEMO_CARD/FEATURE.BR1/2024-05-01.OVD");
        const FolderState before = StateOf(m_czDay);
        auto window = NewWindow();
        QStringList seen;
        for (const QString& name : QDir(m_czDay).entryList({"*.WAV"}, QDir::Files, QDir::Name)) {
            // The browser lists no take of the '+' separator.
            if (seen.contains(name.left(6)) || name.contains('+'))
                continue;
            seen << name.left(6);
            Select(*window, {Path(name)});
            QVERIFY2(!window->m_bEditMetadata, qPrintable(name));
        }
        QCOMPARE(seen.size(), 15);
        Select(*window, {});
        QCOMPARE(StateOf(m_czDay), before);

        Select(*window, {Path("A01T08==       3     t2==_01.WAV")});
        Type(window->ui->m_CtrlEditEditorScene, "3C");
        window->ui->m_CtrlComboBox_Filename->setCurrentIndex(2);
        Grab(window.get(), QStringLiteral("editor-demo-long"));
        QTest::mouseClick(window->ui->m_CtrlButton_ApplyChanges, Qt::LeftButton);
        for (const char* name : {"A01T08________3C_____t2___01.WAV", "A01T08________3C_____t2___02.WAV"})
            QVERIFY2(QFileInfo::exists(Path(name)), qPrintable(QDir(m_czDay).entryList({"A01T08*"}).join(", ")));
        QCOMPARE(window->m_SndPerform.m_czBaseName, QStringLiteral("A01T08________3C_____t2__"));
        QCOMPARE(window->m_SndPerform.m_czScene, QStringLiteral("3C"));
    }

    void dispatcherCases_data()
    {
        QTest::addColumn<QStringList>("rows");
        QTest::addColumn<QStringList>("takes");
        QTest::addColumn<bool>("single");
        QTest::addColumn<bool>("canChangeScene");
        QTest::newRow("none") << QStringList() << QStringList() << false << true;
        QTest::newRow("one") << QStringList{"B00001_01.WAV"} << QStringList{"B00001"} << true << true;
        QTest::newRow("two, sorted by name") << QStringList{"B00001_01.WAV", "A00001_01.WAV"}
                                             << QStringList{"A00001", "B00001"} << false << true;
        QTest::newRow("take and its day") << QStringList{"A00001_01.WAV", ""} << QStringList{"A00001"} << false
                                          << false;
        QTest::newRow("day alone") << QStringList{""} << QStringList() << false << true;
    }

    void dispatcherCases()
    {
        QFETCH(QStringList, rows);
        QFETCH(QStringList, takes);
        QFETCH(bool, single);
        QFETCH(bool, canChangeScene);
        WriteDay({MonoTake("A00001", {0, 1}), MonoTake("B00001", {0})});
        auto window = NewWindow();
        QStringList files;
        for (const QString& row : rows)
            files << (row.isEmpty() ? m_czDay : Path(row));
        Select(*window, files);
        QStringList listed;
        for (const tyTakePathDescription& take : window->m_ltLastSelectionPathDescription)
            listed << take.czFileTag;
        QCOMPARE(listed, takes);
        QCOMPARE(window->ui->m_CtrlEditEditorScene->isEnabled(), single);
        QCOMPARE(window->ui->m_CtrlPushButton_Play->isEnabled(), single);
        // Several rows: the fields are open, empty, for all of them.
        QCOMPARE(window->ui->m_CtrlEditEditorNote->isEnabled(), rows.size() >= 1 && (single || rows.size() >= 2));
        if (rows.size() >= 2 || rows.isEmpty())
            QVERIFY(window->ui->m_CtrlEditEditorNote->text().isEmpty());
        if (rows.size() >= 2 && takes.size() == 1)
            QCOMPARE(window->m_bMultiCanChangeScene, canChangeScene);
        if (single)
            QCOMPARE(window->m_SndPerform.m_czBaseName, takes.first());
    }

    // A paste from the context menu and a text drop emit no key press: they
    // still mark the editor changed, and the pasted note is written.
    void pasteAndDropMarkChanged_data()
    {
        QTest::addColumn<bool>("drop");
        QTest::newRow("paste") << false;
        QTest::newRow("drop") << true;
    }

    void pasteAndDropMarkChanged()
    {
        QFETCH(bool, drop);
        WriteDay({MonoTake("P00001", {0, 1}), MonoTake("P00002", {0})});
        auto window = NewWindow();
        Select(*window, {Path("P00001_01.WAV")});
        QLineEdit* note = window->ui->m_CtrlEditEditorNote;
        note->clear();
        if (drop) {
            QMimeData mime;
            mime.setText(QStringLiteral("Dropped note"));
            const QPoint at = note->rect().center();
            QDragEnterEvent enter(at, Qt::CopyAction, &mime, Qt::LeftButton, Qt::NoModifier);
            QApplication::sendEvent(note, &enter);
            QDragMoveEvent move(at, Qt::CopyAction, &mime, Qt::LeftButton, Qt::NoModifier);
            QApplication::sendEvent(note, &move);
            QDropEvent dropEvent(at, Qt::CopyAction, &mime, Qt::LeftButton, Qt::NoModifier);
            QApplication::sendEvent(note, &dropEvent);
        } else {
            QApplication::clipboard()->setText(QStringLiteral("Pasted note"));
            note->paste();
        }
        const QString expected = drop ? QStringLiteral("Dropped note") : QStringLiteral("Pasted note");
        QCOMPARE(note->text(), expected);
        QVERIFY(window->m_bEditMetadata);
        Select(*window, {Path("P00002_01.WAV")});
        QSoundPerform readBack;
        QVERIFY(readBack.InitFilesZZ(Path("P00001"), "WAV"));
        QCOMPARE(readBack.m_czIxmlNote, expected);
    }

    // One take edited and applied in each file-name mode: the values read
    // back, the audio unchanged, the names as the mode asks, and the editor
    // follows the renamed take.
    void singleTakeApply_data()
    {
        QTest::addColumn<bool>("poly");
        QTest::addColumn<int>("nameStyle");
        QTest::addColumn<int>("fileMode");
        QTest::addColumn<QString>("firstFile");
        QTest::addColumn<bool>("oneCharTracks");
        QTest::addColumn<bool>("memberDeleted");   // track 3 of 1-4 deleted before the load
        // Another maker's file of the members' length arrives as track 5
        // while the note is typed: listed with the take until the Apply's
        // load reads it, then alone.
        QTest::addColumn<bool>("strangerArrives");
        const int shortName = int(NameStyle::Short), longName = int(NameStyle::LongEquals);
        QTest::newRow("short stays short") << false << shortName << 0 << "S00001_01.WAV" << false << false << false;
        // "_1", "_2", "_4" become "_01", "_02", "_04": the row that stood for
        // the take is gone, the take is selected all the same.
        QTest::newRow("one-char tracks to long") << false << shortName << 1 << "S00001==      9B     p4==_01.WAV"
                                                 << true << false << false;
        QTest::newRow("short to long") << false << shortName << 1 << "S00001==      9B     p4==_01.WAV"
                                       << false << false << false;
        QTest::newRow("short to long underscore") << false << shortName << 2 << "S00001________9B_____p4___01.WAV"
                                                  << false << false << false;
        QTest::newRow("long to short") << false << longName << 0 << "S00001_01.WAV" << false << false << false;
        QTest::newRow("long follows scene") << false << longName << 1 << "S00001==      9B     p4==_01.WAV"
                                            << false << false << false;
        QTest::newRow("poly short to long") << true << shortName << 1 << "S00001==      9B     p4==PX.WAV"
                                            << false << false << false;
        QTest::newRow("poly long to underscore") << true << longName << 2 << "S00001________9B_____p4__PX.WAV"
                                                 << false << false << false;
        // Its files no longer claim the member or arm its track.
        QTest::newRow("member deleted") << false << shortName << 0 << "S00001_01.WAV" << false << true << false;
        QTest::newRow("poly long to short") << true << longName << 0 << "S00001PX.WAV" << false << false << false;
        QTest::newRow("stranger arrives") << false << shortName << 0 << "S00001_01.WAV" << false << false << true;
    }

    void singleTakeApply()
    {
        QFETCH(bool, poly);
        QFETCH(int, nameStyle);
        QFETCH(int, fileMode);
        QFETCH(QString, firstFile);
        QFETCH(bool, oneCharTracks);
        QFETCH(bool, memberDeleted);
        QFETCH(bool, strangerArrives);
        TakeSpec spec = poly ? PolyTake("S00001", {0, 1, 3})
                             : MonoTake("S00001", memberDeleted ? QList<int>{0, 1, 2, 3} : QList<int>{0, 1, 3});
        spec.frames = 48000 * 5;
        if (oneCharTracks)
            spec.numberStyle = TrackNumberStyle::OneChar;
        // Track 4 (a poly file's third channel).
        const int named = 3;
        spec.nameStyle = NameStyle(nameStyle);
        // A project named like the take: the reselection must not rename it.
        WriteDay({MonoTake("S00000", {0}), spec, MonoTake("S00002", {0})}, QStringLiteral("S00001"));
        if (memberDeleted) {
            QVERIFY(QFile::remove(Path(TrackFileName(spec, 2))));
            spec.tracks.removeAt(2);
        }
        QStringList oldFiles;
        for (int i = 0; i < (poly ? 1 : spec.tracks.size()); ++i)
            oldFiles << Path(poly ? PolyFileName(spec) : TrackFileName(spec, i));
        QStringList md5;
        for (const QString& file : oldFiles)
            md5 << DataMd5(file);

        auto window = NewWindow();
        Select(*window, {oldFiles.first()});
        Ui::DlgMain* ui = window->ui.get();
        const QLabel* line = window->findChild<QLabel*>("m_CtrlLabel_TakeProblem");
        QCOMPARE(line && line->isVisible(), memberDeleted);
        if (memberDeleted)
            QVERIFY(line->toolTip().startsWith("S00001 is missing 1 of the 4 track files"));
        // Opened for editing beside its line, the take keeps its file-name choice.
        QVERIFY(ui->m_CtrlComboBox_Filename->isVisible());
        Type(ui->m_CtrlEditEditorScene, "9B");
        Type(ui->m_CtrlEditEditor_TakeNumber, "4");
        ui->m_CtrlComboBox_TakeIndicator->setCurrentIndex(1);   // "p"
        Type(ui->m_CtrlEditEditorNote, "Plane at the end");
        Type(window->m_pEditTrackName[named], "Plant");
        ui->m_CtrlComboBox_Filename->setCurrentIndex(fileMode);
        QVERIFY(window->m_bEditMetadata);
        const QString stranger = Path("S00001_05.WAV");
        QByteArray strangerBytes;
        if (strangerArrives) {
            ForeignSpec foreign;
            foreign.channels = 1;
            strangerBytes = BuildForeignFileOfLength(foreign, QFileInfo(oldFiles.first()).size());
            QVERIFY(WriteBytes(stranger, strangerBytes));
            // As the day's watch tells it.
            window->m_pFSModel->dirChangedProcess(m_czDay);
            QVERIFY(window->m_pFSModel->index(stranger).isValid());
            // The take stays selected on the row that stands for it now,
            // the note typed still there to apply.
            QCOMPARE(window->ui->m_CtrlTreeView->selectionModel()->selectedRows(0).size(), 1);
            QVERIFY(!window->m_pTimerSelection->isActive() && window->m_bEditMetadata);
        }
        QTest::keyClick(window.get(), Qt::Key_Right);   // the player stands at 2 s
        Grab(window.get(), QStringLiteral("editor-single-%1").arg(QTest::currentDataTag()).replace(' ', '-'));
        QTest::mouseClick(ui->m_CtrlButton_ApplyChanges, Qt::LeftButton);
        QVERIFY(!window->m_bEditMetadata);
        QVERIFY(!window->m_pEditTrackName[2]->isEnabled());
        // Renamed or not, the take is open in the player again where it stood.
        QVERIFY(window->Player());
        QVERIFY(ui->m_CtrlPushButton_Play->isEnabled());
        QCOMPARE(window->m_SndPerform.m_nStartSecond.load(), 2u);
        QCOMPARE(window->m_nCurrentSamplePos, quint64(2 * 48000));
        QCOMPARE(window->ui->m_CtrlTreeView->selectionModel()->selectedRows(0).size(), 1);

        const QString first = Path(firstFile);
        QVERIFY2(QFileInfo::exists(first), qPrintable(QDir(m_czDay).entryList().join(", ")));
        // The editor shows the take again under its new name.
        QCOMPARE(window->m_ltLastSelectionPathDescription.size(), 1);
        QCOMPARE(QFileInfo(window->m_SndPerform.m_SndFile[0].GetPath()).fileName(), firstFile);
        QCOMPARE(ui->m_CtrlEditEditorScene->text(), QStringLiteral("9B"));
        // Up and Down go on from its row to the takes beside it.
        const QString takeName = poly ? QPath(first).GetFilename(false) : QPath(first).GetRoot();
        QVERIFY2(ui->m_CtrlLabelFilename->text().startsWith("S00001"), qPrintable(ui->m_CtrlLabelFilename->text()));
        // The stranger the Apply's load read is listed alone after the take,
        // which keeps its selection on its own row, as it was shown.
        const QString next = strangerArrives ? "S00001_05" : "S00002";
        if (strangerArrives) {
            const QModelIndex alone = window->m_pFSModel->index(stranger);
            QTRY_COMPARE(window->m_pFSProxyModel->mapFromSource(alone).data().toString(), next);
            const QModelIndexList selected = ui->m_CtrlTreeView->selectionModel()->selectedRows(0);
            QCOMPARE(selected.size(), 1);
            QCOMPARE(selected.first().data().toString(), takeName);
            QVERIFY(!window->m_pTimerSelection->isActive());
        }
        for (const auto& step : QList<QPair<Qt::Key, QString>>{
                 {Qt::Key_Up, "S00000"}, {Qt::Key_Down, takeName}, {Qt::Key_Down, next}, {Qt::Key_Up, takeName}}) {
            QTest::keyClick(window.get(), step.first);
            window->m_pTimerSelection->stop();
            window->slot_TimerSelectionChanged();
            QCOMPARE(window->m_SndPerform.m_czBaseName, step.second);
        }

        QSoundPerform readBack;
        QVERIFY(readBack.InitFilesZZ(m_czDay + QLatin1Char('/') + takeName, "WAV"));
        QCOMPARE(readBack.m_nTakeStatus, short(0));
        QCOMPARE(readBack.m_czScene, QStringLiteral("9B"));
        QCOMPARE(readBack.m_czTakePrefix + readBack.m_czTakeNumber, QStringLiteral("p4"));
        QCOMPARE(readBack.m_czIxmlNote, QStringLiteral("Plane at the end"));
        QCOMPARE(readBack.m_czTrackName[named], QStringLiteral("Plant"));
        QCOMPARE(readBack.m_czTrackName[1], QStringLiteral("Trk2"));
        QCOMPARE(readBack.MissingMembers(), 0);
        if (memberDeleted)
            QCOMPARE(readBack.m_czTrackActive[2], QStringLiteral("NO"));
        int member = 0;
        for (int t = 0; t < QSoundPerform::kMaxTracks; ++t) {
            if (!readBack.m_pbPresent[t])
                continue;
            const QString file = readBack.m_SndFile[t].GetPath();
            QCOMPARE(DataMd5(file), md5.at(member++));
            if (HaveFfprobe()) {
                const QString description = FfprobeDescription(file);
                QVERIFY2(description.contains("aSCENE=9B") && description.contains("aTAKE=p4")
                             && description.contains("aNOTE=Plane at the end"),
                         qPrintable(description));
            }
        }
        QCOMPARE(QDir(m_czDay).entryList({"*.WAV"}).size(), oldFiles.size() + (strangerArrives ? 3 : 2));
        if (strangerArrives) {
            QFile read(stranger);
            QVERIFY(read.open(QIODevice::ReadOnly) && read.readAll() == strangerBytes);
        }

        // A strip change after the apply is kept for the take.
        window->m_pSliderVolume[0]->setValue(2);
        Select(*window, {});
        QVERIFY(QFileInfo::exists(DlgMain::TakeSettingsFilePath(first)));
    }

    // A damaged take is shown whole, waveform included, after its box; it
    // can be neither played nor edited.
    void damagedTakeShowsWaveform_data()
    {
        QTest::addColumn<int>("breakage");
        QTest::addColumn<QString>("title");
        QTest::newRow("wrong file key") << int(Breakage::WrongFileKey) << "Wrong File #7";
        QTest::newRow("not closed") << int(Breakage::RiffSizeWrong) << "Wrong File #8";
    }

    void damagedTakeShowsWaveform()
    {
        QFETCH(int, breakage);
        QFETCH(QString, title);
        WriteDay({});
        QVERIFY(!WriteBrokenTake(m_czDay, MonoTake("D00001", {0, 1}), Breakage(breakage)).files.isEmpty());
        auto window = NewWindow();
        ModalBoxAnswerer answerer;
        answerer.ThenAccept();
        Select(*window, {Path("D00001_01.WAV")});
        QCOMPARE(answerer.SeenBoxes().size(), 1);
        QCOMPARE(answerer.SeenBoxes().first().title, title);
        QVERIFY(window->ui->m_CtrlWidget_PlayTimeLine->Overview().HasTrack(0));
        QVERIFY(window->ui->m_CtrlWidget_PlayTimeLine->Overview().HasTrack(1));
        Grab(window.get(), QStringLiteral("damaged-take-%1").arg(breakage));
        QVERIFY(!window->ui->m_CtrlPushButton_Play->isEnabled());
        QVERIFY(!window->ui->m_CtrlEditEditorScene->isEnabled());
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
    // under its name.
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
            if (StrangerForms().at(form).made != StrangerMade::OtherMaker)
                QTest::newRow(qPrintable(tag + ", a note, the stranger arriving")) << form << 4;
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
        const QModelIndex day = window->m_pFSProxyModel->mapFromSource(window->m_pFSModel->index(m_czDay));
        const QModelIndexList row = window->m_pFSProxyModel->match(window->m_pFSProxyModel->index(0, 0, day),
                                                                   Qt::DisplayRole, beside.take.id, 1, Qt::MatchExactly);
        QCOMPARE(row.size(), 1);
        window->ui->m_CtrlTreeView->setCurrentIndex(row.first());
        window->m_pTimerSelection->stop();
        window->slot_TimerSelectionChanged();
        QCOMPARE(int(window->m_SndPerform.m_nFileCount), members.size());
        QCOMPARE(window->m_SndPerform.MissingMembers(), 0);
        Ui::DlgMain* ui = window->ui.get();
        ModalBoxAnswerer answerer;
        const bool withStranger = fileMode == 2 || fileMode == 3;
        if (fileMode == 2)
            answerer.ThenAccept();
        if (withStranger) {
            // The stranger's row added to the take's, as a Ctrl+click does.
            const QModelIndex alone = window->m_pFSProxyModel->mapFromSource(window->m_pFSModel->index(stranger));
            QVERIFY(alone.isValid() && alone != row.first());
            ui->m_CtrlTreeView->selectionModel()->select(alone, QItemSelectionModel::Select | QItemSelectionModel::Rows);
            window->m_pTimerSelection->stop();
            window->slot_TimerSelectionChanged();
            QCOMPARE(ui->m_CtrlTreeView->selectionModel()->selectedRows().size(), 2);
        }
        Type(ui->m_CtrlEditEditorNote, "Beside a stranger");
        if (fileMode == 4)
            QVERIFY(QFile::rename(waiting, stranger));
        else if (fileMode != 2)
            ui->m_CtrlComboBox_Filename->setCurrentIndex(fileMode == 3 ? 1 : fileMode);
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
        QVERIFY(!window->m_bEditMetadata);

        QCOMPARE(ReadBytes(stranger), strangerBytes);
        QStringList files = QDir(m_czDay).entryList({"*.WAV"}, QDir::Files, QDir::Name);
        QVERIFY(files.removeOne(beside.stranger));
        QCOMPARE(files.size(), members.size());
        for (const QString& file : files)
            QVERIFY2(fileMode % 2 == 0 ? members.contains(Path(file)) : file.contains("=="), qPrintable(file));
        QSoundPerform readBack;
        QVERIFY(readBack.InitFilesZZ(TakePathOfFile(Path(files.first()), "WAV"), "WAV"));
        QCOMPARE(int(readBack.m_nFileCount), members.size());
        for (int t = 0; t < QSoundPerform::kMaxTracks; ++t) {
            if (!readBack.m_pbPresent[t])
                continue;
            QVERIFY(files.contains(QFileInfo(readBack.m_SndFile[t].GetPath()).fileName()));
            QCOMPARE(readBack.m_SndFile[t].GetiXMLTotalFiles(), members.size());
            QCOMPARE(readBack.m_SndFile[t].GetiXMLNotes(), QStringLiteral("Beside a stranger"));
        }
    }

    // Several takes: only the filled fields change, each take keeps its own
    // template (not the one of the take shown alone before), scene and
    // names left empty stay.
    void severalTakesApply()
    {
        TakeSpec without = MonoTake("M00001", {0, 1});
        without.scTkTemplate = 2;
        without.takeNumber = "11";
        TakeSpec with = MonoTake("M00002", {0});
        with.takeNumber = "5";
        TakeSpec shown = MonoTake("M00003", {0});
        shown.scTkTemplate = 2;
        WriteDay({without, with, shown});
        // One take told as holding parts of two saves in a file's
        // description: these edits fill some of its fields only, and it
        // stays told so.
        const QByteArray marked = "nalvo-mixed\nM00001_02.WAV\nbext/M00001_02.WAV\n";
        QVERIFY(WriteBytes(Path(".M00001.nalvo-save.mixed"), marked));
        auto window = NewWindow();
        Select(*window, {Path("M00003_01.WAV")});
        QCOMPARE(window->m_nScTkTemplate, 2);
        Select(*window, {Path("M00001_01.WAV"), Path("M00002_01.WAV")});
        Ui::DlgMain* ui = window->ui.get();
        QVERIFY(ui->m_CtrlEditEditorNote->text().isEmpty());
        Type(ui->m_CtrlEditEditorNote, "Both");
        Type(ui->m_CtrlEditEditor_TakeNumber, "7");
        ui->m_CtrlComboBox_TakeIndicator->setCurrentIndex(0);   // "t"
        Type(window->m_pEditTrackName[0], "Boom");
        QTest::mouseClick(ui->m_CtrlButton_ApplyChanges, Qt::LeftButton);

        const struct {
            const char* take;
            int nTemplate;
            const char* takeText;
        } rows[] = {{"M00001", 2, "7"}, {"M00002", 0, "t7"}};
        for (const auto& row : rows) {
            QSoundPerform readBack;
            QVERIFY(readBack.InitFilesZZ(Path(row.take), "WAV"));
            QCOMPARE(readBack.m_nScTkTemplate, row.nTemplate);
            QCOMPARE(readBack.m_SndFile[0].GetBextTake(), QString::fromLatin1(row.takeText));
            QCOMPARE(readBack.m_czScene, QStringLiteral("12A"));
            QCOMPARE(readBack.m_czIxmlNote, QStringLiteral("Both"));
            QCOMPARE(readBack.m_czTrackName[0], QStringLiteral("Boom"));
            if (readBack.m_pbPresent[1])
                QCOMPARE(readBack.m_czTrackName[1], QStringLiteral("Trk2"));
        }
        // Both names short already: nothing renamed.
        QCOMPARE(QDir(m_czDay).entryList({"*.WAV"}).size(), 4);
        QCOMPARE(ReadBytes(Path(".M00001.nalvo-save.mixed")), marked);
    }

    // Several takes of an advanced template: a field typed into takes the
    // typed text, one left alone keeps each take's own, and each scene is made
    // of its resulting fields.
    void severalTakesAdvancedFields()
    {
        TakeSpec first = MonoTake("V00001", {0});
        first.scTkTemplate = 5;
        first.advanced = {{3, "S1"}, {0, "-"}, {2, "7"}};
        TakeSpec second = first;
        second.id = "V00002";
        second.advanced = {{3, "S2"}, {0, "-"}, {2, "8"}};
        WriteDay({first, second});
        auto window = NewWindow();
        window->resize(1700, 800);
        Select(*window, {Path("V00001_01.WAV"), Path("V00002_01.WAV")});
        QVERIFY(window->m_bMultiHasAdvancedTemplate);
        QCOMPARE(window->m_lnAdvFieldCode, (QList<int>{3, 0, 2}));
        QVERIFY(!window->ui->m_CtrlFrame_AdvScene->isHidden());
        QVERIFY(!window->m_ltAdvCheckFrame.at(2)->isHidden());
        QVERIFY(window->m_ltAdvFrame.at(3)->isHidden());
        Type(window->m_ltAdvEdit.at(2), "9");
        QVERIFY(window->m_ltAdvCheckBox.at(2)->isChecked() && !window->m_ltAdvCheckBox.at(0)->isChecked());
        Grab(window.get(), QStringLiteral("editor-several-advanced"));
        QTest::mouseClick(window->ui->m_CtrlButton_ApplyChanges, Qt::LeftButton);
        const char* const scenes[][2] = {{"V00001", "S1-9"}, {"V00002", "S2-9"}};
        for (const auto& row : scenes) {
            QSoundPerform readBack;
            QVERIFY(readBack.InitFilesZZ(Path(row[0]), "WAV"));
            QCOMPARE(readBack.m_nScTkTemplate, 5);
            QCOMPARE(readBack.m_SndFile[0].GetiXMLScene(), QString::fromLatin1(row[1]));
            QCOMPARE(readBack.m_AdvTemplateFields.value(2), QStringLiteral("9"));
        }
    }

    // A take whose save the take object refuses (a member another program
    // appended to, or a track file of another take that arrived for a track
    // it lacks since it was opened): the user is told which, the editor
    // keeps the typed value and stays marked changed.
    void refusedSaveKeepsTypedValues_data()
    {
        QTest::addColumn<QString>("change");
        QTest::newRow("a member appended to") << "appended";
        QTest::newRow("a track file arrived") << "arrived";
    }

    void refusedSaveKeepsTypedValues()
    {
        QFETCH(QString, change);
        WriteDay({MonoTake("R00001", {0, 1}), MonoTake("R00002", {0})});
        auto window = NewWindow();
        Select(*window, {Path("R00001_01.WAV")});
        Type(window->ui->m_CtrlEditEditorNote, "Kept");
        if (change == "appended") {
            // Another program appends to a member after the take was opened.
            QFile member(Path("R00001_02.WAV"));
            QVERIFY(member.open(QIODevice::Append));
            member.write("JUNKJUNK");
            member.close();
        } else {
            QVERIFY(WriteBytes(Path("R00001_03.WAV"), BuildMonoFile(MonoTake("R00003", {0, 1, 2}), 2)));
        }
        const FolderState before = StateOf(m_czDay);
        // Every box is answered; the offer to keep editing is taken.
        ModalBoxAnswerer answerer;
        const auto answer = [](QWidget* box) {
            auto* message = qobject_cast<QMessageBox*>(box);
            for (QAbstractButton* button : message ? message->buttons() : QList<QAbstractButton*>())
                if (button->text() == QStringLiteral("Keep editing"))
                    return button->click();
            if (auto* dialog = qobject_cast<QDialog*>(box))
                dialog->accept();
        };
        for (int i = 0; i < 8; ++i)
            answerer.ThenDo(answer);
        QTest::mouseClick(window->ui->m_CtrlButton_ApplyChanges, Qt::LeftButton);
        const auto notSaved = [&answerer] {
            int boxes = 0;
            for (const ModalBoxAnswerer::Seen& seen : answerer.SeenBoxes())
                boxes += seen.text.contains("not saved") && seen.text.contains("R00001");
            return boxes;
        };
        QTRY_COMPARE(notSaved(), 1);
        if (change == "arrived")
            QVERIFY2(answerer.SeenBoxes().last().text.contains("R00001_03.WAV appeared"),
                     qPrintable(answerer.SeenBoxes().last().text));
        QVERIFY(window->m_bEditMetadata);
        QCOMPARE(window->ui->m_CtrlEditEditorNote->text(), QStringLiteral("Kept"));
        QCOMPARE(StateOf(m_czDay), before);
        if (change == "arrived") {
            window->m_bEditMetadata = false;
            return;
        }

        // Leaving the take offers to keep editing: the selection comes back.
        Select(*window, {Path("R00002_01.WAV")});
        QTRY_COMPARE(notSaved(), 2);
        QTest::qWait(500);
        QCOMPARE(window->ui->m_CtrlEditEditorNote->text(), QStringLiteral("Kept"));
        QCOMPARE(window->m_ltLastSelectionPathDescription.first().czFileTag, QStringLiteral("R00001"));
        // Up and Down go on from the take kept.
        QCOMPARE(window->ui->m_CtrlTreeView->currentIndex().data().toString(), QStringLiteral("R00001"));
        QCOMPARE(notSaved(), 2);
        QCOMPARE(StateOf(m_czDay), before);
        window->m_bEditMetadata = false;
    }

    // A write-protected take is never written, and the user hears of it
    // whether its files, its folder or both are protected. Nor is a take
    // whose member is a symbolic link (to another take's file elsewhere or
    // in the day), which would be written through: told by the link's name,
    // never as write-protected, and not renamed.
    void readOnlyTakeWarns_data()
    {
        QTest::addColumn<bool>("file");
        QTest::addColumn<bool>("folder");
        QTest::addColumn<QString>("link");   // where the member links to: "" none, "elsewhere", "day"
        QTest::newRow("one file") << true << false << "";
        QTest::newRow("folder") << false << true << "";
        QTest::newRow("files and folder") << true << true << "";
        QTest::newRow("a member linked to another folder's take") << false << false << "elsewhere";
        QTest::newRow("a member linked in the day, long names") << false << false << "day";
        QTest::newRow("a member linked to a write-protected file") << true << false << "elsewhere";
    }

    void readOnlyTakeWarns()
    {
        QFETCH(bool, file);
        QFETCH(bool, folder);
        QFETCH(QString, link);
        WriteDay({MonoTake("L00001", {0, 1}), MonoTake("L00002", {0}), MonoTake("L00003", {0, 1})});
        const QString day = m_czDay;
        const QString member = Path("L00001_02.WAV");
        QString target;
        if (!link.isEmpty()) {
            const QString elsewhere = QDir::cleanPath(day + "/../elsewhere");
            QCOMPARE(WriteTake(elsewhere, MonoTake("L00009", {0, 1})).files.size(), 2);
            target = link == "day" ? Path("L00003_02.WAV") : elsewhere + "/L00009_02.WAV";
            QVERIFY(QFile::remove(member));
            QVERIFY(QFile::link(link == "day" ? QStringLiteral("L00003_02.WAV") : target, member));
        }
        const QByteArray targetBytes = ReadBytes(target);
        SetWritabilityProbe([=](const QString& path) {
            const QString clean = QDir::cleanPath(path);
            return !((file && clean.startsWith(day + "/L00001")) || (folder && clean == day));
        });
        auto window = NewWindow();
        Select(*window, {link.isEmpty() ? member : Path("L00001_01.WAV")});
        QCOMPARE(int(window->m_SndPerform.m_nFileCount), 2);
        Type(window->ui->m_CtrlEditEditorNote, "Never written");
        if (link == "day")
            window->ui->m_CtrlComboBox_Filename->setCurrentIndex(1);
        const FolderState before = StateOf(m_czDay);
        ModalBoxAnswerer answerer;
        answerer.ThenAccept();
        QTest::mouseClick(window->ui->m_CtrlButton_ApplyChanges, Qt::LeftButton);
        QCOMPARE(answerer.SeenBoxes().size(), 1);
        const QString told = answerer.SeenBoxes().first().text;
        if (link.isEmpty()) {
            QCOMPARE(told, QStringLiteral("File L00001 is read only.\nNo modifications are possible."));
        } else {
            QVERIFY2(told.contains("L00001_02.WAV is a symbolic link: the take was not saved")
                         && !told.contains("write-protected") && !told.contains("read only"),
                     qPrintable(told));
            QCOMPARE(ReadBytes(target), targetBytes);
            QVERIFY(QFileInfo(member).isSymLink());
            window->m_bEditMetadata = false;
        }
        QCOMPARE(StateOf(m_czDay), before);
    }

    // A modal box of a dispatch spins an event loop: a selection made then
    // waits until the running dispatch is done.
    void selectionTimerDuringModalBox()
    {
        TakeSpec bad = MonoTake("W00001", {0});
        WriteDay({bad, MonoTake("W00002", {0})});
        QFile::remove(Path("W00001_01.WAV"));
        QByteArray bytes = BuildMonoFile(bad, 0);
        const int key = bytes.indexOf("<FILE_KEY>") + 10;
        bytes[key] = bytes[key] == 'A' ? 'B' : 'A';   // status 7
        QFile file(Path("W00001_01.WAV"));
        QVERIFY(file.open(QIODevice::WriteOnly));
        file.write(bytes);
        file.close();

        auto window = NewWindow();
        ModalBoxAnswerer answerer;
        QString shownDuringBox;
        answerer.ThenDo([&](QWidget* box) {
            QItemSelectionModel* model = window->ui->m_CtrlTreeView->selectionModel();
            const QModelIndex other =
                window->m_pFSProxyModel->mapFromSource(window->m_pFSModel->index(Path("W00002_01.WAV")));
            QVERIFY(other.isValid());
            model->select(other, QItemSelectionModel::ClearAndSelect | QItemSelectionModel::Rows);
            QTest::qWait(500);   // the selection timer fires in here
            shownDuringBox = window->m_SndPerform.m_czBaseName;
            box->close();
        });
        Select(*window, {Path("W00001_01.WAV")});
        QCOMPARE(answerer.SeenBoxes().size(), 1);
        QCOMPARE(answerer.SeenBoxes().first().title, QStringLiteral("Wrong File #7"));
        QCOMPARE(shownDuringBox, QStringLiteral("W00001"));
        QTRY_COMPARE(window->m_SndPerform.m_czBaseName, QStringLiteral("W00002"));
        QVERIFY(window->ui->m_CtrlEditEditorScene->isEnabled());
    }

    // The move of a take's files to new names: all or nothing.
    void renameAllOrNothing_data()
    {
        QTest::addColumn<int>("locked");     // member the probe calls write-protected; -1 none
        QTest::addColumn<int>("clash");      // member whose target exists already; -1 none
        QTest::addColumn<int>("result");
        QTest::addColumn<QString>("walk");   // a plan of failing disk calls, walked over each call
        QTest::newRow("done") << -1 << -1 << int(TakeRename::Result::Done) << QString();
        QTest::newRow("third member locked") << 2 << -1 << int(TakeRename::Result::Failed) << QString();
        QTest::newRow("first member locked") << 0 << -1 << int(TakeRename::Result::Failed) << QString();
        QTest::newRow("last target exists") << -1 << 3 << int(TakeRename::Result::Clash) << QString();
        for (const auto& plan : DiskFaultPlans())
            QTest::newRow(qPrintable("each call failing: " + plan.first)) << -1 << -1 << -1 << plan.first;
    }

    // Done and told done: every file under its long name; else, once the
    // take is loaded again under either name, every one under its old name.
    // The bytes never change.
    void WalkRenames(const QString& planName)
    {
        QTemporaryDir folder;
        QStringList from, to;
        QList<QByteArray> bytes;
        QString error;
        const auto bytesOf = [](const QString& path) {
            QFile file(path);
            return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
        };
        tyFaultWalkJob job;
        job.folders = QStringList{folder.path()};
        job.begin = [&] {
            if (!RemoveTree(folder.path()) || !QDir().mkpath(folder.path()))
                return false;
            from = WriteTake(folder.path(), MonoTake("X00001", {0, 1, 2})).files;
            to = from;
            to.replaceInStrings("/X00001_", "/X00001==       1     t1==_");
            bytes.clear();
            for (const QString& path : from)
                bytes << bytesOf(path);
            return from.size() == 3;
        };
        job.run = [&] {
            TakeRename rename;
            for (int i = 0; i < from.size(); ++i)
                rename.Add(from.at(i), to.at(i));
            const bool done = rename.Execute() == TakeRename::Result::Done;
            error = rename.ErrorText();
            return done;
        };
        job.load = [&] {
            QSoundPerform().InitFilesZZ(AudioPathFileShortenedToRacine(from.at(0)), "WAV");
            QSoundPerform().InitFilesZZ(AudioPathFileShortenedToRacine(to.at(0)), "WAV");
        };
        job.check = [&](bool done, bool mayBeDone) {
            const auto under = [&](const QStringList& names) {
                for (int i = 0; i < names.size(); ++i) {
                    if (bytesOf(names.at(i)) != bytes.at(i))
                        return false;
                }
                return QDir(folder.path()).entryList(QDir::Files | QDir::Hidden).size() == names.size();
            };
            if (done)
                return under(to) ? QString() : QString("not renamed");
            if (!error.contains("Every file keeps its old name.") && !error.contains("could not get their old names back")
                && !error.contains(" next "))
                return "not told: " + error;
            // Renamed by the next load: told that the next load settles it,
            // never that every file keeps its old name.
            const QString wrong = ToldAgainstLoad(error, under(to));
            if (!wrong.isEmpty())
                return wrong;
            return under(from) || (mayBeDone && under(to))
                       ? QString()
                       : "mixed: " + QDir(folder.path()).entryList(QDir::Files | QDir::Hidden).join(", ");
        };
        const tyFaultWalk walk = WalkDiskFaults(job, planName);
        QVERIFY2(walk.lczFaults.isEmpty(), qPrintable(walk.lczFaults.join('\n')));
        QVERIFY(walk.nCalls > 0);
    }

    void renameAllOrNothing()
    {
        QFETCH(int, locked);
        QFETCH(int, clash);
        QFETCH(int, result);
        QFETCH(QString, walk);
        if (!walk.isEmpty())
            return WalkRenames(walk);
        QTemporaryDir folder;
        QStringList from, to;
        for (int i = 0; i < 4; ++i) {
            from << folder.filePath(QStringLiteral("X00001_%1.WAV").arg(i + 1, 2, 10, QLatin1Char('0')));
            to << folder.filePath(QStringLiteral("X00001==       1     t1==_%1.WAV").arg(i + 1, 2, 10, QLatin1Char('0')));
            QFile file(from.last());
            QVERIFY(file.open(QIODevice::WriteOnly));
            file.write(QByteArray::number(i));
        }
        if (clash >= 0) {
            QFile file(to.at(clash));
            QVERIFY(file.open(QIODevice::WriteOnly));
        }
        if (locked >= 0) {
            const QString path = from.at(locked);
            SetWritabilityProbe([path](const QString& asked) { return asked != path; });
        }
        TakeRename rename;
        for (int i = 0; i < 4; ++i)
            rename.Add(from.at(i), to.at(i));
        QCOMPARE(int(rename.Execute()), result);
        for (int i = 0; i < 4; ++i) {
            const bool moved = result == int(TakeRename::Result::Done);
            QVERIFY2(QFileInfo::exists(moved ? to.at(i) : from.at(i)), qPrintable(from.at(i)));
            QVERIFY(!QFileInfo::exists(moved ? from.at(i) : to.at(i)) || i == clash);
        }
        if (result == int(TakeRename::Result::Failed))
            QVERIFY(rename.ErrorText().contains("Every file keeps its old name."));
    }

    // An Apply converting names killed at each of its renames: after the
    // next load of either name every take stands whole under exactly one
    // name, and nothing hidden is left. A load beside the renames, again and
    // again, finds the family whole under one name or not at all.
    void killedApplyRenamesOneName_data()
    {
        QTest::addColumn<bool>("exfat");
        QTest::addColumn<bool>("protectedMember");   // one take's moves are taken back
        QTest::addColumn<int>("steps");              // 0: no kill, a loader beside the renames
        QTest::addColumn<bool>("relative");          // the Apply names the takes relative to its working folder
        for (const bool exfat : {false, true}) {
            const QString volume = exfat ? "exfat" : "local";
            QTest::newRow(qPrintable(volume)) << exfat << false << 12 << false;
            QTest::newRow(qPrintable(volume + ", a take taken back")) << exfat << true << 13 << false;
            QTest::newRow(qPrintable(volume + ", a loader beside")) << exfat << false << 0 << false;
        }
        QTest::newRow("local, relative paths") << false << false << 12 << true;
    }

    void killedApplyRenamesOneName()
    {
        QFETCH(bool, exfat);
        QFETCH(bool, protectedMember);
        QFETCH(int, steps);
        QFETCH(bool, relative);
        QTemporaryDir dir;
        std::unique_ptr<ExfatVolume> volume(exfat ? new ExfatVolume(dir.path()) : nullptr);
        NALVO_REQUIRE_EXFAT(volume);
        const QString root = volume ? volume->Path() : dir.path();
        if (steps == 0)
            return LoadBesideRenames(root);
        QMap<QString, QString> longRoots;   // the names a whole Apply gives
        int kills = 0;
        for (int step = -1; step < 100; ++step) {
            const QString folder = QStringLiteral("%1/s%2").arg(root).arg(step + 1);
            QVERIFY(QDir().mkpath(folder) && WriteRenamedTakes(folder));
            QProcess child;
            child.setWorkingDirectory(root);
            child.start(QCoreApplication::applicationFilePath(),
                        {"--kill-at", QString::number(step < 0 ? 1000 : step),
                         relative ? QDir(root).relativeFilePath(folder) : folder,
                         step >= 0 && protectedMember ? "1" : "0"});
            QVERIFY(child.waitForFinished(60000));
            const bool finished = child.exitStatus() == QProcess::NormalExit;
            QVERIFY(!finished || child.exitCode() == 0);
            for (int i = 0; i < kRenamedTakes.size(); ++i) {
                const QString& id = kRenamedTakes.at(i);
                if (step < 0) {
                    longRoots[id] = RootsOf(folder, id).value(0);
                    continue;
                }
                // Either name loaded first.
                const QStringList names = (step + i) % 2 ? QStringList{longRoots[id], id} : QStringList{id, longRoots[id]};
                const QList<int> members = {LoadedMembers(folder, names.at(0)), LoadedMembers(folder, names.at(1))};
                QVERIFY2(members.contains(3) && members.contains(0) && RootsOf(folder, id).size() == 1,
                         qPrintable(QStringLiteral("step %1: %2").arg(step).arg(RootsOf(folder, id).join(", "))));
            }
            QVERIFY2(QDir(folder).entryList({".*"}, QDir::Files | QDir::Hidden).isEmpty(), qPrintable(folder));
            if (step >= 0 && finished)
                break;
            kills += step >= 0 ? 1 : 0;
        }
        // Before every take's moves and after its last one; before each move taken back.
        QCOMPARE(kills, steps);
        QCOMPARE(longRoots.value("K00002"), QStringLiteral("K00002==     12A     t3=="));
        if (protectedMember)
            QCOMPARE(RootsOf(QStringLiteral("%1/s%2").arg(root).arg(steps + 1), "K00002"), QStringList{"K00002"});
    }

    // A rename killed after its first move, then the take selected under
    // its old name: the load finishes the moves, and the selection follows
    // the take to its new name.
    void killedRenameSelectedUnderOldName()
    {
        WriteDay({MonoTake("F00001", {0, 1, 2})});
        auto window = NewWindow();
        const QString longRoot = QStringLiteral("F00001==     12A     t3==");
        std::vector<tyReplaceEntry> moves;
        QStringList records;
        for (int t = 1; t <= 3; ++t) {
            moves.push_back({Path(QStringLiteral("F00001_%1.WAV").arg(t, 2, 10, QLatin1Char('0'))),
                             Path(QStringLiteral("%1_%2.WAV").arg(longRoot).arg(t, 2, 10, QLatin1Char('0'))), QString()});
            records << ReplaceJournal::PathFor(moves.back().czTemporary) << ReplaceJournal::PathFor(moves.back().czFinal);
        }
        records.removeDuplicates();
        {
            // As a kill leaves it: recorded, one file moved, never ended.
            ReplaceJournal record;
            QVERIFY(record.BeginRenames(records, moves));
            QVERIFY(QFile::rename(moves[0].czTemporary, moves[0].czFinal));
        }
        // The old name's row, as the browser listed it before the kill.
        QTRY_VERIFY(window->m_pFSModel->index(Path("F00001_02.WAV")).isValid());
        const QModelIndex day = window->m_pFSProxyModel->mapFromSource(window->m_pFSModel->index(m_czDay));
        QModelIndexList old = window->m_pFSProxyModel->match(window->m_pFSProxyModel->index(0, 0, day), FSTakePathRole,
                                                             Path("F00001"), 1, Qt::MatchExactly);
        QCOMPARE(old.size(), 1);
        window->ui->m_CtrlTreeView->selectionModel()->select(old.first(), QItemSelectionModel::ClearAndSelect
                                                                              | QItemSelectionModel::Rows);
        QTRY_COMPARE(window->m_SndPerform.m_czBaseName, longRoot);
        QCOMPARE(window->ui->m_CtrlTreeView->selectionModel()->selectedRows().value(0).data().toString(), longRoot);
        QCOMPARE(RootsOf(m_czDay, "F00001"), QStringList{longRoot});
    }

    void LoadBesideRenames(const QString& folder)
    {
        QVERIFY(WriteRenamedTakes(folder));
        const QStringList roots = {kRenamedTakes.first(), kRenamedTakes.first() + "==     12A     t3=="};
        // Each step of the renames takes a moment, so loads fall between them.
        SetReplaceStepHook([] { QThread::usleep(3000); });
        std::atomic<bool> done{false};
        std::atomic<int> whole{0}, partial{0}, loads{0};
        std::thread loader([&] {
            for (; !done; ++loads) {
                const int members = LoadedMembers(folder, roots.at(loads % 2));
                whole += members == 3;
                partial += members != 0 && members != 3;
            }
        });
        for (int round = 0; round < 20; ++round) {
            TakeRename rename;
            for (int t = 1; t <= 3; ++t)
                rename.Add(QStringLiteral("%1/%2_%3.WAV").arg(folder, roots.at(round % 2)).arg(t, 2, 10, QLatin1Char('0')),
                           QStringLiteral("%1/%2_%3.WAV").arg(folder, roots.at(1 - round % 2)).arg(t, 2, 10, QLatin1Char('0')));
            QCOMPARE(int(rename.Execute()), int(TakeRename::Result::Done));
            // Writers go before loads that start while they wait: one load
            // between two renames, as a person's Apply leaves room for.
            for (const int before = loads; loads == before && round % 4 == 3;)
                QThread::usleep(200);
        }
        done = true;
        loader.join();
        SetReplaceStepHook(nullptr);
        QCOMPARE(partial.load(), 0);
        QVERIFY(whole > 0);
    }

    void longNames_data()
    {
        QTest::addColumn<QString>("scene");
        QTest::addColumn<QString>("take");
        QTest::addColumn<int>("nTemplate");
        QTest::addColumn<bool>("underscore");
        QTest::addColumn<QString>("middle");
        QTest::newRow("padded") << "12A" << "t3" << 0 << false << "==     12A     t3==";
        QTest::newRow("underscores") << "12A" << "t3" << 0 << true << "_______12A_____t3__";
        QTest::newRow("cut to 8 and 6") << "ABCDEFGHIJ" << "t1234567" << 0 << false << "==ABCDEFGH t12345==";
        QTest::newRow("advanced scene whole") << "S1E04-7" << "3" << 5 << false << "==S1E04 7      3==";
        QTest::newRow("slash and dot") << "1/2.3" << "t1" << 0 << false << "==   1 2 3     t1==";
    }

    void longNames()
    {
        QFETCH(QString, scene);
        QFETCH(QString, take);
        QFETCH(int, nTemplate);
        QFETCH(bool, underscore);
        QFETCH(QString, middle);
        QCOMPARE(TakeNames::LongMiddle(scene, take, nTemplate, underscore), middle);
    }
};

int main(int argc, char** argv)
{
    QApplication app(argc, argv);
    app.setAttribute(Qt::AA_Use96Dpi, true);
    if (argc == 5 && QByteArray(argv[1]) == "--kill-at")
        return ApplyUntilKilled(QByteArray(argv[2]).toInt(), QString::fromLocal8Bit(argv[3]), argv[4][0] == '1');
    TestEditorApply test;
    QTEST_SET_MAIN_SOURCE_PATH
    return QTest::qExec(&test, argc, argv);
}
#include "test_editor_apply.moc"
