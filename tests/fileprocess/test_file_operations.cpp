// Target naming and the copy engine's file operations: trees copied byte for
// byte, and the ways a copy can end early, none of which may leave a partial
// file or lose an existing destination.
#include "fileprocess/processnaming.h"
#include "fileprocess/qfilecopier.h"
#include "foundation/fileinfolist.h"
#include "foundation/messageloging.h"
#include "foundation/platform/diskprobes.h"
#include "foundation/replacejournal.h"
#include "foundation/safeoutput.h"
#include "processing/qsoundmixer.h"
#include "take/soundperform.h"
#include "take/takesavejournal.h"
#include "tests/fileprocess/copierprobe.h"
#include "tests/support/diskfaultwalk.h"
#include "tests/support/scratchdir.h"
#include "tests/support/exfatvolume.h"
#include "tests/support/fixturevariants.h"
#include "tests/support/fixturewriter.h"
#include "tests/support/fullvolume.h"
#include "tests/support/tableparts.h"

#include <QCryptographicHash>
#include <QDir>
#include <QDirIterator>
#include <QFile>
#include <QProcess>
#include <QRandomGenerator>
#include <QTemporaryDir>
#include <QtTest>

#include <atomic>
#include <csignal>
#include <cstdio>
#include <sys/stat.h>
#include <thread>

namespace {
bool WriteFile(const QString& path, const QByteArray& bytes)
{
    QDir().mkpath(QFileInfo(path).absolutePath());
    QFile f(path);
    return f.open(QIODevice::WriteOnly) && f.write(bytes) == bytes.size();
}

QByteArray ReadFile(const QString& path)
{
    QFile f(path);
    return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray("<missing>");
}

// Relative path and digest of every entry below the folder, hidden ones included.
QStringList TreeOf(const QString& root)
{
    QStringList entries;
    QDirIterator it(root, QDir::AllEntries | QDir::Hidden | QDir::NoDotAndDotDot, QDirIterator::Subdirectories);
    while (it.hasNext()) {
        it.next();
        const QString rel = QDir(root).relativeFilePath(it.filePath());
        entries << (it.fileInfo().isDir() ? rel + "/"
                                          : rel + " " + QCryptographicHash::hash(ReadFile(it.filePath()),
                                                                                 QCryptographicHash::Sha1)
                                                            .toHex());
    }
    entries.sort();
    return entries;
}

QStringList Entries(const QString& folder)
{
    return QDir(folder).entryList(QDir::AllEntries | QDir::Hidden | QDir::NoDotAndDotDot, QDir::Name);
}

// The member files of a 24-track take, each of its own bytes; one of them
// may be larger.
QStringList WriteTakeMembers(const QString& folder, qint64 bytes, int bigTrack = -1, qint64 bigBytes = 0)
{
    QStringList members;
    for (int t = 0; t < 24; ++t) {
        const QString path = QStringLiteral("%1/KIL001_%2.WAV").arg(folder).arg(t + 1, 2, 10, QLatin1Char('0'));
        if (!WriteFile(path, QByteArray(t == bigTrack ? bigBytes : bytes, char('a' + t))))
            return QStringList();
        members << path;
    }
    return members;
}

// The child of the kill test: copies the take into r1, r2, ... until it is
// killed. A finished round is renamed to x<n> before it is removed, so only
// an r folder can be the one a kill cut short.
int CopyLoop(const QString& source, const QString& target)
{
    QStringList members;
    for (const QString& name : QDir(source).entryList(QDir::Files, QDir::Name))
        members << source + "/" + name;
    std::printf("ready\n");
    std::fflush(stdout);
    for (int round = 1; round < 100000; ++round) {
        const QString folder = QStringLiteral("%1/r%2").arg(target).arg(round);
        QDir().mkpath(folder);
        QFileCopier copier;
        bool failed = false;
        QEventLoop loop;
        QObject::connect(&copier, &QFileCopier::error, &loop, [&failed] { failed = true; });
        QObject::connect(&copier, &QFileCopier::done, &loop, &QEventLoop::quit);
        copier.copy(members, folder, QFileCopier::NonInteractive);
        loop.exec();
        if (failed)
            return 3;
        const QString finished = QStringLiteral("%1/x%2").arg(target).arg(round);
        if (!QDir().rename(folder, finished) || !QDir(finished).removeRecursively())
            return 4;
    }
    return 0;
}

std::atomic<int> g_nStepsToKill{-1};   // set by the child's main thread before any commit starts
void KillAtStep()
{
    if (g_nStepsToKill-- == 0)
        ::raise(SIGKILL);
}

// The child of the replacement kill test: a forced copy over a take, an
// import or an M/S to X/Y conversion into folder/take, killed at a step of
// its renames. Exit 0: it finished before that step.
int ReplaceUntilKilled(int step, const QString& operation, const QString& folder)
{
    g_nStepsToKill = step;
    SetReplaceStepHook(&KillAtStep);
    const QString take = folder + "/take";
    QSoundMixer mixer;
    if (operation == "import")
        return mixer.ImportMono(folder + "/in.WAV", take, "KIL001", -1, 0, "25.00", {}, nullptr, 0, {}, 0) ? 0 : 3;
    if (operation == "msxy")
        return mixer.MStoXY(take + "/KIL001_01.WAV", 0, take + "/KIL001_02.WAV", 1) ? 0 : 3;
    QFileCopier copier;
    CopierProbe probe(&copier);
    QStringList members;
    for (const QString& name : QDir(folder + "/src").entryList(QDir::Files))
        members << folder + "/src/" + name;
    copier.copy(members, take, QFileCopier::NonInteractive | QFileCopier::Force);
    probe.WaitDone();
    return probe.errors.isEmpty() && probe.doneCount == 1 ? 0 : 3;
}

// The take before the child runs: old members under take/, new ones (or the
// file to import) beside it.
bool StageReplacement(const QString& operation, const QString& folder, int tracks)
{
    fixture::ForeignSpec spec;
    spec.channels = tracks;
    spec.frames = 4800;
    if (operation == "import")
        return QDir().mkpath(folder + "/take") && fixture::WriteForeignFile(folder + "/in.WAV", spec);
    QList<int> slotList;
    for (int t = 0; t < (operation == "msxy" ? 2 : tracks); ++t)
        slotList << t;
    fixture::TakeSpec take = fixture::MonoTake("KIL001", slotList);
    take.frames = 4800;
    const QStringList files = fixture::WriteTake(folder + "/take", take).files;
    for (const QString& file : files)
        if (operation == "copy" && !WriteFile(folder + "/src/" + QFileInfo(file).fileName(), ReadFile(file).replace("KIL", "NEW")))
            return false;
    return files.size() == slotList.size();
}

// A save of the take in folder killed once all but its last member held the
// saved text: the record beside them.
bool LeaveSaveRecord(const QString& folder)
{
    const QString record = TakeSaveJournalPath(folder + "/", "KIL001");
    QByteArray bytes;
    SetDiskSyncFunction([&](const QVector<int>& descriptors) {
        if (descriptors.size() > 1 && bytes.isEmpty() && QFileInfo::exists(record))
            bytes = ReadFile(record);
        return true;
    });
    QSoundPerform take;
    bool saved = take.InitFilesZZ(folder + "/KIL001", "WAV");
    for (int t = 0; saved && t < QSoundPerform::kMaxTracks; ++t) {
        if (take.m_pbPresent[t])
            take.m_SndFile[t].SetiXMLNote(t, QString(3000, QLatin1Char('s')));
    }
    const QStringList files = QDir(folder).entryList(QDir::Files, QDir::Name);
    const QByteArray last = files.isEmpty() ? QByteArray() : ReadFile(folder + "/" + files.last());
    saved = saved && take.UpdateiXMLChunk();
    SetDiskSyncFunction(DiskSyncFunction());
    return saved && !bytes.isEmpty() && WriteFile(record, bytes) && WriteFile(folder + "/" + files.last(), last);
}
}

class TestFileOperations : public QObject
{
    Q_OBJECT
private slots:
    void targetNames_data();
    void targetNames();
    void renamedTargets();
    void treeWithHiddenFiles();
    void badInput_data();
    void badInput();
    void fullVolumeLeavesNothing();
    void treeRoomCountsWhatIsWritten_data();
    void treeRoomCountsWhatIsWritten();
    void fullVolumeCopiesNoMemberOfTake_data();
    void fullVolumeCopiesNoMemberOfTake();
    void killedTakeCopiesLeaveNoHalfTake_data();
    void killedTakeCopiesLeaveNoHalfTake();
    void cancelledFifoLeavesNothing();
    void killedReplacementLeavesOneTake_data();
    void killedReplacementLeavesOneTake();

private:
    void WalkCopy(const QString& planName);
};

void TestFileOperations::targetNames_data()
{
    QTest::addColumn<QString>("source");
    QTest::addColumn<int>("flags");
    QTest::addColumn<QString>("target");   // below the folder F
    const int mix = QFileCopier::ProcessMixdown, poly = QFileCopier::ProcessInterleave;
    const int rot = QFileCopier::ProcessInterleaveRotate, sub = QFileCopier::RenameTargetFolder;
    QTest::newRow("mixdown") << "/d/A001_1.WAV" << mix << "A001MX.WAV";
    QTest::newRow("copy mixdown") << "/d/T012_3.WAV" << int(QFileCopier::CopyMixdown) << "T012MX.WAV";
    QTest::newRow("interleave") << "/d/A001_1.WAV" << poly << "A001PN.WAV";
    QTest::newRow("two-digit track") << "/d/A001_03.WAV" << rot << "A001PR.WAV";
    QTest::newRow("not a track file") << "/d/notes.txt" << poly << "notes.txt";
    QTest::newRow("no process bit") << "/d/A001_1.WAV" << 0 << "A001_1.WAV";
    QTest::newRow("rotated, day folder") << "/v/DAY1.OVD/A001_1.WAV" << (rot | sub) << "DAY1.OVR/A001PR.WAV";
    QTest::newRow("mixdown, day folder") << "/v/DAY1.OVD/A001_1.WAV" << (mix | sub) << "DAY1.OVX/A001MX.WAV";
    QTest::newRow("interleave, day folder") << "/v/DAY1.OVD/A001_1.WAV" << (poly | sub) << "DAY1.OVN/A001PN.WAV";
    QTest::newRow("short folder name kept") << "/v/DAY/A001_1.WAV" << (poly | sub) << "DAY/A001PN.WAV";
}

void TestFileOperations::targetNames()
{
    QFETCH(QString, source);
    QFETCH(int, flags);
    QFETCH(QString, target);
    QCOMPARE(procname::TargetInFolder("/F", source, QFileCopier::CopyFlags(flags)), "/F/" + target);
}

void TestFileOperations::renamedTargets()
{
    QTemporaryDir dir;
    QVERIFY(WriteFile(dir.filePath("a.wav"), "x") && WriteFile(dir.filePath("a 1.wav"), "x"));
    QVERIFY(WriteFile(dir.filePath("data"), "x"));
    QCOMPARE(procname::RenamedTarget(dir.filePath("a.wav")), dir.filePath("a 2.wav"));
    QCOMPARE(procname::RenamedTarget(dir.filePath("data")), dir.filePath("data 1"));
}

void TestFileOperations::treeWithHiddenFiles()
{
    QTemporaryDir dir;
    const QString src = dir.filePath("card");
    QVERIFY(WriteFile(src + "/A001_1.WAV", QByteArray(300000, 'a')));
    QVERIFY(WriteFile(src + "/.hidden", "h"));
    QVERIFY(WriteFile(src + "/.meta/inner.bin", QByteArray(5, '\0')));
    QVERIFY(WriteFile(src + "/DAY1.OVD/empty.txt", QByteArray()));
    QVERIFY(QDir().mkpath(src + "/empty folder"));
    QVERIFY(QDir().mkpath(dir.filePath("out")));
    QFileCopier copier;
    CopierProbe probe(&copier);
    copier.copy(src, dir.filePath("out"));
    probe.WaitDone();
    QCOMPARE(probe.Codes(), QList<int>{});
    QCOMPARE(TreeOf(dir.filePath("out/card")), TreeOf(src));
    QCOMPARE(copier.totalProgress(), copier.totalSize());
    QCOMPARE(copier.totalSize(), qint64(300000 + 1 + 5));
    // Copies are left readable and writable by their owner and by others.
    const auto shared = QFile::ReadOwner | QFile::WriteOwner | QFile::ReadOther | QFile::WriteOther;
    QCOMPARE(QFile::permissions(dir.filePath("out/card/.meta/inner.bin")) & shared, shared);
}

void TestFileOperations::badInput_data()
{
    QTest::addColumn<QString>("kind");
    QTest::addColumn<int>("flags");
    QTest::addColumn<QList<int>>("codes");
    QTest::addColumn<QString>("kept");    // the destination's content afterwards
    const int quiet = QFileCopier::NonInteractive;
    QTest::newRow("missing source") << "missing" << quiet << QList<int>{1} << "<missing>";
    QTest::newRow("unwritable target") << "under a file" << quiet << QList<int>{6} << "<missing>";
    QTest::newRow("existing file kept") << "exists" << quiet << QList<int>{2} << "old";
    QTest::newRow("forced: replaced") << "exists" << (quiet | QFileCopier::Force) << QList<int>{} << "new";
    QTest::newRow("forced: a folder is not replaced by a file")
        << "folder" << (quiet | QFileCopier::Force) << QList<int>{7} << "<folder>";
    // What a killed folder copy left goes; a user's file of a temporary link's shape stays.
    QTest::newRow("folder copied again after a kill") << "leftovers" << quiet << QList<int>{2} << "<missing>";
}

void TestFileOperations::badInput()
{
    QFETCH(QString, kind);
    QFETCH(int, flags);
    QFETCH(QList<int>, codes);
    QFETCH(QString, kept);
    QTemporaryDir dir;
    QVERIFY(WriteFile(dir.filePath("src/a.wav"), "new"));
    QVERIFY(WriteFile(dir.filePath("src/b.wav"), "b"));
    QString dest = dir.filePath("dst/a.wav");
    QDir().mkpath(dir.filePath("dst"));
    QString source = dir.filePath("src/a.wav");
    if (kind == "missing")
        source = dir.filePath("src/none.wav");
    if (kind == "under a file") {
        QVERIFY(WriteFile(dir.filePath("dst/plain"), "p"));
        dest = dir.filePath("dst/plain/a.wav");
    }
    if (kind == "exists")
        QVERIFY(WriteFile(dest, "old"));
    QString destination = dest;
    if (kind == "leftovers") {   // below the folder: only the refused folder copy reaches them
        for (const char* name : {".a.wav.nalvo-part-00c0de", ".a.nalvo-commit", ".mine.link-1a"})
            QVERIFY(WriteFile(dir.filePath("dst/src/sub/") + name, "nalvo-commit\n"));
        QVERIFY(QFile::link(source, dir.filePath("dst/src/sub/.a.wav.link-2b")));
        source = dir.filePath("src");
        destination = dir.filePath("dst");
    }
    if (kind == "folder") {
        QVERIFY(WriteFile(dest + "/inside", "i"));
        destination = dir.filePath("dst");   // into the folder: the target a.wav is a folder
    }
    QFileCopier copier;
    CopierProbe probe(&copier);
    // The worker goes on after the failure: b.wav follows.
    copier.copy(QStringList{source, dir.filePath("src/b.wav")}, QStringList{destination, dir.filePath("dst/b.wav")},
                QFileCopier::CopyFlags(flags));
    probe.WaitDone();
    QCOMPARE(probe.Codes(), codes);
    QCOMPARE(ReadFile(dir.filePath("dst/b.wav")), QByteArray("b"));
    QCOMPARE(QFileInfo(dest).isDir() ? QByteArray("<folder>") : ReadFile(dest), kept.toLatin1());
    if (kind == "folder")
        QCOMPARE(ReadFile(dest + "/inside"), QByteArray("i"));
    for (const QString& name : Entries(dir.filePath("dst")))
        QVERIFY2(!name.startsWith('.'), qPrintable(name));
    QCOMPARE(Entries(dir.filePath("dst/src/sub")), kind == "leftovers" ? QStringList{".mine.link-1a"} : QStringList());
}

void TestFileOperations::fullVolumeLeavesNothing()
{
    QTemporaryDir dir;
    const QString source = dir.filePath("big.bin");
    QVERIFY(WriteFile(source, QByteArray(3 << 20, 'x')));
    QString how;
    QVERIFY(QDir().mkpath(dir.filePath("card")));
    const bool ok = fixture::RunOnFullVolume(dir.filePath("card"), 1 << 20, [&](const QString& folder) {
        QFileCopier copier;
        CopierProbe probe(&copier);
        copier.copy(source, folder, QFileCopier::NonInteractive);
        probe.WaitDone();
        return probe.Codes() == QList<int>{10} && Entries(folder).isEmpty();
    }, &how);
    QVERIFY2(ok, qPrintable(how));
}

// A folder copy asks room for the files it will write: those that exist
// and stay are skipped, not counted; too little room is told as such.
void TestFileOperations::treeRoomCountsWhatIsWritten_data()
{
    QTest::addColumn<bool>("existing");
    QTest::addColumn<int>("flags");
    QTest::addColumn<QList<int>>("codes");
    const int quiet = QFileCopier::NonInteractive;
    // Asked: the folder is merged, each existing file skipped.
    QTest::newRow("existing files skipped") << true << 0 << QList<int>{2, 2, 13, 2, 13};
    QTest::newRow("no room") << false << quiet << QList<int>{10};
    QTest::newRow("replaced files count") << true << (quiet | QFileCopier::Force) << QList<int>{10};
}

void TestFileOperations::treeRoomCountsWhatIsWritten()
{
    QFETCH(bool, existing);
    QFETCH(int, flags);
    QFETCH(QList<int>, codes);
    QTemporaryDir dir;
    for (const char* name : {"a.wav", "b.wav"}) {
        QVERIFY(WriteFile(dir.filePath("src/take/") + name, QByteArray(1000, 'n')));
        QVERIFY(!existing || WriteFile(dir.filePath("out/take/") + name, "old"));
    }
    QVERIFY(WriteFile(dir.filePath("src/take/c.wav"), "new") && QDir().mkpath(dir.filePath("out")));
    SetFreeSpaceFunction([](const QString&) { return qint64(500); });
    MessageLoging logger;
    global_pLogger = &logger;
    QStringList told;
    QFileCopier copier;
    connect(&logger, &MessageLoging::signal_message, &copier, [&told](QString, QString text) { told << text; });
    connect(&copier, &QFileCopier::error, &copier, [&copier, asked = 0](int, QFileCopier::Error, bool stopped) mutable {
        if (stopped && asked++ == 0)
            copier.merge();
        else if (stopped)
            copier.skip();
    });
    CopierProbe probe(&copier);
    copier.copy(dir.filePath("src/take"), dir.filePath("out"), QFileCopier::CopyFlags(flags));
    probe.WaitDone();
    global_pLogger = nullptr;
    SetFreeSpaceFunction({});
    QCOMPARE(probe.Codes(), codes);
    QCOMPARE(ReadFile(dir.filePath("out/take/c.wav")), QByteArray(codes.contains(10) ? "<missing>" : "new"));
    QCOMPARE(told.size(), codes.contains(10) ? 1 : 0);
    QVERIFY(told.join("").isEmpty() || told.first().startsWith("Not enough disk space on drive\n"));
}

void TestFileOperations::fullVolumeCopiesNoMemberOfTake_data()
{
    QTest::addColumn<bool>("asFolder");
    QTest::newRow("the member files") << false;
    QTest::newRow("the take's folder") << true;
}

void TestFileOperations::fullVolumeCopiesNoMemberOfTake()
{
    // 23 small members and one larger than the volume: a volume that tells
    // its size refuses the copy before the first byte; one that does not
    // fails at the large member. Either way no member is left.
    QFETCH(bool, asFolder);
    QTemporaryDir dir;
    const QStringList members = WriteTakeMembers(dir.filePath("src"), 64 << 10, 12, 3 << 20);
    QCOMPARE(members.size(), 24);
    QString how;
    QVERIFY(QDir().mkpath(dir.filePath("card")));
    const bool ok = fixture::RunOnFullVolume(dir.filePath("card"), 2 << 20, [&](const QString& folder) {
        QFileCopier copier;
        CopierProbe probe(&copier);
        if (asFolder)
            copier.copy(dir.filePath("src"), folder, QFileCopier::NonInteractive);
        else
            copier.copy(members, folder, QFileCopier::NonInteractive);
        probe.WaitDone();
        const QList<int> codes = probe.Codes();
        QDirIterator files(folder, QDir::Files | QDir::Hidden, QDirIterator::Subdirectories);
        return codes.count(int(QFileCopier::CannotWriteDestinationFile)) == 1
               && codes.count(int(QFileCopier::Canceled)) == codes.size() - 1 && !files.hasNext();
    }, &how);
    QVERIFY2(ok, qPrintable(how));
}

// What comes next into the folder a killed copy left: the same copy again,
// a load of the take, a listing of the folder.
void TestFileOperations::killedTakeCopiesLeaveNoHalfTake_data()
{
    QTest::addColumn<QString>("next");
    QTest::addColumn<bool>("exfat");
    QTest::newRow("copied again, local") << "copy" << false;
    for (const bool exfat : {false, true}) {
        QTest::newRow(exfat ? "loaded, exfat" : "loaded, local") << "load" << exfat;
        QTest::newRow(exfat ? "listed, exfat" : "listed, local") << "list" << exfat;
    }
}

void TestFileOperations::killedTakeCopiesLeaveNoHalfTake()
{
    // A child copies a 24-track take again and again and is killed at a
    // random moment; CI runs a few kills, NALVO_COPY_KILLS asks for more.
    QFETCH(QString, next);
    QFETCH(bool, exfat);
    const int kills = qEnvironmentVariableIsSet("NALVO_COPY_KILLS")
                          ? qMax(1, qEnvironmentVariableIntValue("NALVO_COPY_KILLS"))
                          : 8;
    QTemporaryDir dir;
    std::unique_ptr<ExfatVolume> volume(exfat ? new ExfatVolume(dir.path()) : nullptr);
    NALVO_REQUIRE_EXFAT(volume);
    const QString root = volume ? volume->Path() : dir.path();
    const QStringList members = WriteTakeMembers(dir.filePath("src"), 256 << 10);
    QCOMPARE(members.size(), 24);
    QMap<QString, QByteArray> bytes;
    for (const QString& member : members)
        bytes.insert(QFileInfo(member).fileName(), ReadFile(member));
    QRandomGenerator random(20261207);
    int whole = 0, none = 0, renaming = 0;
    for (int run = 0; run < kills; ++run) {
        const QString target = QStringLiteral("%1/run%2").arg(root).arg(run);
        QProcess child;
        child.start(QCoreApplication::applicationFilePath(), {"--copy-loop", dir.filePath("src"), target});
        QVERIFY(child.waitForReadyRead(20000));
        QCOMPARE(child.readLine().trimmed(), QByteArray("ready"));
        QThread::usleep(random.bounded(20000, 300000));
        ::kill(pid_t(child.processId()), SIGKILL);
        QVERIFY(child.waitForFinished(20000));
        QVERIFY2(child.exitStatus() == QProcess::CrashExit, "the child ended before the kill");

        for (const QString& round : QDir(target).entryList({"r*"}, QDir::Dirs)) {
            const QString folder = target + "/" + round;
            // A load or listing of the folder settles what the killed child
            // left: the take whole or not there, and nothing of its writers.
            if (next == "load")
                QSoundPerform().InitFilesZZ(folder + "/KIL001", "WAV");
            if (next == "list")
                MyFileInfoList().LoadEntryInfoList(folder, {".WAV"}, false, nullptr);
            const QStringList entries = Entries(folder);
            QVERIFY2(next == "copy" || entries.isEmpty() || entries == bytes.keys(), qPrintable(entries.join(", ")));
            int finals = 0;
            for (auto it = bytes.cbegin(); it != bytes.cend(); ++it) {
                if (!entries.contains(it.key()))
                    continue;
                ++finals;
                QVERIFY2(ReadFile(folder + "/" + it.key()) == it.value(), qPrintable(it.key()));
            }
            if (finals == 24) {
                ++whole;
                continue;
            }
            if (finals == 0) {
                ++none;
            } else {
                // Only a kill inside the renaming step: every other member
                // waits complete under its temporary name.
                ++renaming;
                for (auto it = bytes.cbegin(); it != bytes.cend(); ++it) {
                    if (entries.contains(it.key()))
                        continue;
                    const QStringList temporary = QDir(folder).entryList({"." + it.key() + ".nalvo-part-*"}, QDir::Files | QDir::Hidden);
                    QVERIFY2(temporary.size() == 1 && QFileInfo(folder + "/" + temporary.first()).size() == it.value().size(),
                             qPrintable(QStringLiteral("run %1: %2 of 24 members under their final names").arg(run).arg(finals)));
                }
                for (const QString& name : bytes.keys())
                    QFile::remove(folder + "/" + name);
            }
            if (next != "copy")
                continue;
            // The next run into the folder settles what the killed child
            // left: a take it finishes is there already, and nothing else.
            QFileCopier copier;
            CopierProbe probe(&copier);
            copier.copy(members, folder, QFileCopier::NonInteractive);
            probe.WaitDone();
            const QList<int> codes = probe.Codes();
            QVERIFY((QSet<int>(codes.begin(), codes.end()) - QSet<int>{QFileCopier::DestinationExists, QFileCopier::Canceled}).isEmpty());
            QCOMPARE(Entries(folder), bytes.keys());
        }
    }
    qInfo("%d kills: %d rounds whole, %d with no member, %d inside the renaming step", kills, whole, none, renaming);
}

void TestFileOperations::cancelledFifoLeavesNothing()
{
    // A source that delivers slowly: the cancel arrives mid-copy.
    ::signal(SIGPIPE, SIG_IGN);   // the writer outlives the reader's close
    QTemporaryDir dir;
    const QString fifo = dir.filePath("slow.fifo");
    QVERIFY(::mkfifo(QFile::encodeName(fifo).constData(), 0600) == 0);
    QDir().mkpath(dir.filePath("out"));
    std::atomic<bool> stop{false};
    std::thread writer([&] {
        QFile f(fifo);
        if (!f.open(QIODevice::WriteOnly | QIODevice::Unbuffered))
            return;
        const QByteArray chunk(4096, 'f');
        for (int i = 0; i < 2000 && !stop.load(); ++i) {
            f.write(chunk);
            QThread::msleep(2);
        }
    });
    QFileCopier copier;
    copier.setProgressInterval(1);
    CopierProbe probe(&copier);
    connect(&copier, &QFileCopier::progress, &copier, &QFileCopier::cancelAll);
    copier.copy(fifo, dir.filePath("out/copy.bin"), QFileCopier::NonInteractive);
    probe.WaitDone();
    stop = true;
    writer.join();
    QCOMPARE(probe.Codes(), QList<int>{13});
    QCOMPARE(Entries(dir.filePath("out")), QStringList());
}

// Done and told done: the take as copied; else, once it is loaded again,
// the take as it was, and an error told.
void TestFileOperations::WalkCopy(const QString& planName)
{
    QTemporaryDir dir;
    const QString folder = dir.filePath("w");
    QStringList before, copied, members;
    std::unique_ptr<QFileCopier> copier;
    std::unique_ptr<CopierProbe> probe;
    fixture::tyFaultWalkJob job;
    job.folders = QStringList{folder + "/take"};
    job.begin = [&] {
        if (!fixture::RemoveTree(folder) || !StageReplacement("copy", folder, 3))
            return false;
        before = TreeOf(folder + "/take");
        copied = TreeOf(folder + "/src");
        members.clear();
        for (const QString& name : QDir(folder + "/src").entryList(QDir::Files))
            members << folder + "/src/" + name;
        copier = std::make_unique<QFileCopier>();
        probe = std::make_unique<CopierProbe>(copier.get());
        return members.size() == 3;
    };
    job.run = [&] {
        copier->copy(members, folder + "/take", QFileCopier::NonInteractive | QFileCopier::Force);
        probe->WaitDone();
        return probe->doneCount == 1 && probe->errors.isEmpty();
    };
    job.load = [&] { QSoundPerform().InitFilesZZ(folder + "/take/KIL001", "WAV"); };
    job.check = [&](bool done, bool mayBeDone) {
        const QStringList tree = TreeOf(folder + "/take");
        if (done)
            return tree == copied ? QString() : "not copied: " + tree.join(", ");
        if (probe->doneCount != 1 || probe->errors.isEmpty())
            return QString("not told");
        return tree == before || (mayBeDone && tree == copied) ? QString() : "changed: " + tree.join(", ");
    };
    const fixture::tyFaultWalk walk = fixture::WalkDiskFaults(job, planName);
    QVERIFY2(walk.lczFaults.isEmpty(), qPrintable(walk.lczFaults.join('\n')));
    QVERIFY(walk.nCalls > 0);
}

void TestFileOperations::killedReplacementLeavesOneTake_data()
{
    QTest::addColumn<QString>("operation");
    QTest::addColumn<bool>("exfat");
    QTest::addColumn<bool>("saveLeft");   // a killed save of the take left its record
    for (const bool exfat : {false, true})
        for (const char* operation : {"copy", "import", "msxy"})
            QTest::newRow(qPrintable(QStringLiteral("%1 %2").arg(operation, exfat ? "exfat" : "local"))) << QString(operation) << exfat << false;
    QTest::newRow("copy over a take whose save was killed") << "copy" << false << true;
    QTest::newRow("msxy of a take whose save was killed") << "msxy" << false << true;
    // A forced copy over the take with each of its disk calls failing in turn.
    for (const auto& plan : fixture::DiskFaultPlans())
        QTest::newRow(qPrintable("copy, each call failing: " + plan.first)) << "walk " + plan.first << false << false;
}

// Killed at every step of its renames, the next load of the take finds the
// take as it was or as written, never a mix, and no leftover file.
void TestFileOperations::killedReplacementLeavesOneTake()
{
    QFETCH(QString, operation);
    QFETCH(bool, exfat);
    QFETCH(bool, saveLeft);
    if (!InTablePart(QTest::currentDataTag()))
        QSKIP("a row of another part of the table");
    if (operation.startsWith("walk "))
        return WalkCopy(operation.mid(5));
    const int tracks = qEnvironmentVariableIsSet("NALVO_KILL_TRACKS") ? qMax(2, qEnvironmentVariableIntValue("NALVO_KILL_TRACKS")) : 4;
    QTemporaryDir dir;
    std::unique_ptr<ExfatVolume> volume(exfat ? new ExfatVolume(dir.path()) : nullptr);
    NALVO_REQUIRE_EXFAT(volume);
    const QString root = volume ? volume->Path() : dir.path();
    // An import stamps the time: its files are told by name.
    const auto Shape = [&operation](QStringList tree) {
        return operation == "import" ? tree.replaceInStrings(QRegularExpression(" \\w+$"), QString()) : tree;
    };
    QStringList before, after;
    QList<QStringList> settled;
    for (int step = 0; step < 200; ++step) {
        const QString folder = QStringLiteral("%1/s%2").arg(root).arg(step);
        QVERIFY(StageReplacement(operation, folder, tracks));
        // A left save record is undone first, by the replacement or by the
        // load after it: the take before is the one before that save.
        before = Shape(TreeOf(folder + "/take"));
        QVERIFY(!saveLeft || LeaveSaveRecord(folder + "/take"));
        // The copy brings the saved take from elsewhere: where the save
        // wrote it holds the save's bytes, which the record would undo.
        for (const QString& name : saveLeft && operation == "copy" ? Entries(folder + "/src") : QStringList())
            QVERIFY(WriteFile(folder + "/src/" + name, ReadFile(folder + "/take/" + name).replace("KIL", "NEW")));
        QProcess child;
        child.start(QCoreApplication::applicationFilePath(), {"--kill-at", QString::number(step), operation, folder});
        QVERIFY(child.waitForFinished(60000));
        QSoundPerform take;
        take.InitFilesZZ(folder + "/take/KIL001", "WAV");
        // Whole: the killed save's text in every member or in none.
        const QStringList wavs = QDir(folder + "/take").entryList({"*.WAV"}, QDir::Files, QDir::Name);
        QVERIFY(!saveLeft || ReadFile(folder + "/take/" + wavs.value(0)).contains("sssss")
                                 == ReadFile(folder + "/take/" + wavs.value(1)).contains("sssss"));
        const QStringList tree = Shape(TreeOf(folder + "/take"));
        const QStringList copied = operation == "copy" ? TreeOf(folder + "/src") : tree;
        // A FUSE volume keeps a file removed while still open under a hidden name.
        QVERIFY2(!TreeOf(folder).join(' ').contains(".fuse_hidden"), qPrintable(TreeOf(folder).join(", ")));
        QVERIFY(QDir(folder).removeRecursively());
        if (child.exitStatus() == QProcess::NormalExit) {
            QCOMPARE(child.exitCode(), 0);
            QCOMPARE(tree, copied);
            after = tree;
            break;
        }
        settled << tree;
    }
    QVERIFY2(settled.size() > 2, "the child was never killed inside its renames");
    QVERIFY(after != before && after.filter(QRegularExpression("^\\.")).isEmpty());
    for (int step = 0; step < settled.size(); ++step)
        QVERIFY2(settled.at(step) == before || settled.at(step) == after,
                 qPrintable(QStringLiteral("killed at step %1: %2").arg(step).arg(settled.at(step).join(", "))));
}

int main(int argc, char** argv)
{
    if (!TakeTablePart(&argc, argv))
        return 2;
    QCoreApplication app(argc, argv);
    if (argc == 5 && QByteArray(argv[1]) == "--kill-at")
        return ReplaceUntilKilled(QByteArray(argv[2]).toInt(), argv[3], QString::fromLocal8Bit(argv[4]));
    if (argc == 4 && QByteArray(argv[1]) == "--copy-loop")
        return CopyLoop(QString::fromLocal8Bit(argv[2]), QString::fromLocal8Bit(argv[3]));
    TestFileOperations test;
    return QTest::qExec(&test, argc, argv);
}
#include "test_file_operations.moc"
