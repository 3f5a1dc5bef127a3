// The main window as a user edits takes: selecting, viewing, typing, pasting,
// applying in every file-name mode, several takes at once, and saves the
// take object refuses or that may not be written.
#include "tests/mainwindow/editorday.h"

#include "ui_dlgmain.h"

#include "browser/qbriselfsfilterproxymodel.h"
#include "browser/qbriselfsmodel.h"
#include "foundation/platform/diskprobes.h"
#include "foundation/qpath.h"
#include "mainwindow/dlgmain.h"
#include "player/qplaytimeline.h"
#include "take/soundperform.h"
#include "tests/support/demomedia.h"
#include "tests/support/fixturevariants.h"
#include "tests/support/modalboxanswerer.h"
#include "tests/support/riffbytes.h"
#include "tests/support/riffreader.h"

#include <QApplication>
#include <QClipboard>
#include <QCryptographicHash>
#include <QDir>
#include <QFileInfo>
#include <QMessageBox>
#include <QMimeData>
#include <QProcess>
#include <QtTest>

#include <fcntl.h>
#include <sys/stat.h>

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

}  // namespace

class TestEditorApply : public EditorDayTest
{
    Q_OBJECT

private slots:
    void init()
    {
        if (!CurrentRowInPart())
            QSKIP("a row of another part");
    }
    void cleanup() { ResetDiskSeams(); }

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
        const QString card = NewCard();
        QVERIFY(!WriteDemoVolume(card).isEmpty());
        m_czDay = card + QStringLiteral("/DEMO_CARD/FEATURE.BR1/2024-05-01.OVD");
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
        QTest::newRow("a member rewritten, its length and times kept") << "rewritten";
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
        } else if (change == "rewritten") {
            // Another recording of the take's second track, of its length.
            TakeSpec other = MonoTake("R00001", {0, 1});
            other.scene = QStringLiteral("99Z");
            const QByteArray bytes = BuildMonoFile(other, 1);
            QCOMPARE(bytes.size(), int(QFileInfo(Path("R00001_02.WAV")).size()));
            struct stat was;
            QVERIFY(::stat(QFile::encodeName(Path("R00001_02.WAV")).constData(), &was) == 0);
            QFile member(Path("R00001_02.WAV"));
            QVERIFY(member.open(QIODevice::ReadWrite));
            QCOMPARE(member.write(bytes), qint64(bytes.size()));
            member.close();
            const timespec times[2] = {was.st_atim, was.st_mtim};
            QVERIFY(::utimensat(AT_FDCWD, QFile::encodeName(Path("R00001_02.WAV")).constData(), times, 0) == 0);
        } else {
            QVERIFY(WriteBytes(Path("R00001_03.WAV"), BuildMonoFile(MonoTake("R00001", {0, 1, 2}), 2)));
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
        if (change != "appended")
            QVERIFY2(answerer.SeenBoxes().last().text.contains(change == "arrived"
                                                                   ? "R00001_03.WAV appeared"
                                                                   : "R00001_02.WAV was rewritten by another program"),
                     qPrintable(answerer.SeenBoxes().last().text));
        QVERIFY(window->m_bEditMetadata);
        QCOMPARE(window->ui->m_CtrlEditEditorNote->text(), QStringLiteral("Kept"));
        QCOMPARE(StateOf(m_czDay), before);
        if (change != "appended") {
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
    // whose member is a symbolic link (to the take's copy in another
    // folder), which would be written through: told by the link's name,
    // never as write-protected. A link to another take's file in the day is
    // no member: the take is not renamed away from it.
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
            QCOMPARE(WriteTake(elsewhere, MonoTake("L00001", {0, 1})).files.size(), 2);
            target = link == "day" ? Path("L00003_02.WAV") : elsewhere + "/L00001_02.WAV";
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
        QCOMPARE(int(window->m_SndPerform.m_nFileCount), link == "day" ? 1 : 2);
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
            const QString why = link == "day" ? "L00001_02.WAV is left out of the take though its metadata lists it, "
                                                "so its files were not renamed"
                                              : "L00001_02.WAV is a symbolic link: the take was not saved";
            QVERIFY2(told.contains(why)
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
};

int main(int argc, char** argv)
{
    return RunEditorTest<TestEditorApply>(argc, argv);
}
#include "test_editor_apply.moc"
