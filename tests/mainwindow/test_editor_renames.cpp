// The moves of a take's files to new names as an Apply makes them: all or
// nothing at each failing disk call, an Apply killed at each of its renames,
// a load beside the renames, and the long names themselves.
#include "tests/mainwindow/editorday.h"

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
#include "tests/support/diskfaultwalk.h"
#include "tests/support/exfatvolume.h"
#include "tests/support/modalboxanswerer.h"

#include <QApplication>
#include <QDir>
#include <QFileInfo>
#include <QProcess>
#include <QtTest>
#include <atomic>
#include <csignal>
#include <thread>

using namespace fixture;

namespace {

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

// The child of the kill case: "--kill-at STEP FOLDER PROTECTED".
int KillCaseChild(int argc, char** argv)
{
    if (argc != 5 || QByteArray(argv[1]) != "--kill-at")
        return -1;
    return ApplyUntilKilled(QByteArray(argv[2]).toInt(), QString::fromLocal8Bit(argv[3]), argv[4][0] == '1');
}

}  // namespace

class TestEditorRenames : public EditorDayTest
{
    Q_OBJECT

private slots:
    void cleanup() { ResetDiskSeams(); }

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
        ScratchDir folder;
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
        ScratchDir folder;
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
        ScratchDir dir;
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
    return RunEditorTest<TestEditorRenames>(argc, argv, &KillCaseChild);
}
#include "test_editor_renames.moc"
