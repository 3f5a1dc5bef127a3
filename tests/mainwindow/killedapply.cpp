#include "tests/mainwindow/killedapply.h"

#include "foundation/platform/diskprobes.h"
#include "foundation/qpath.h"
#include "foundation/replacejournal.h"
#include "mainwindow/dlgmain.h"
#include "take/soundperform.h"
#include "take/takerename.h"
#include "tests/support/exfatvolume.h"
#include "tests/support/fixturewriter.h"
#include "tests/support/modalboxanswerer.h"
#include "tests/support/scratchdir.h"

#include <QCoreApplication>
#include <QDir>
#include <QProcess>
#include <QRegularExpression>
#include <QThread>
#include <QtTest>

#include <algorithm>
#include <atomic>
#include <csignal>
#include <memory>
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

}  // namespace

QStringList RootsOf(const QString& folder, const QString& id)
{
    QStringList roots;
    for (const QString& name : QDir(folder).entryList({id + "*.WAV"}, QDir::Files))
        roots << QPath(folder + QLatin1Char('/') + name).GetRoot();
    roots.removeDuplicates();
    return roots;
}

void AddKilledApplyRows(bool exfat)
{
    QTest::addColumn<bool>("exfat");
    QTest::addColumn<bool>("protectedMember");   // one take's moves are taken back
    QTest::addColumn<int>("steps");              // 0: no kill, a loader beside the renames
    QTest::addColumn<bool>("relative");          // the Apply names the takes relative to its working folder
    const QString volume = exfat ? "exfat" : "local";
    QTest::newRow(qPrintable(volume)) << exfat << false << 12 << false;
    QTest::newRow(qPrintable(volume + ", a take taken back")) << exfat << true << 13 << false;
    QTest::newRow(qPrintable(volume + ", a loader beside")) << exfat << false << 0 << false;
    if (!exfat)
        QTest::newRow("local, relative paths") << false << false << 12 << true;
}

void RunKilledApply()
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

int KilledApplyChild(int argc, char** argv)
{
    if (argc != 5 || QByteArray(argv[1]) != "--kill-at")
        return -1;
    return ApplyUntilKilled(QByteArray(argv[2]).toInt(), QString::fromLocal8Bit(argv[3]), argv[4][0] == '1');
}
