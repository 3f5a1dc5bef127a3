#include "tests/take/sharewriters.h"

#include "foundation/platform/diskcalls.h"
#include "foundation/platform/diskprobes.h"
#include "foundation/platform/nameremoval.h"
#include "foundation/recordfiles.h"
#include "foundation/replacejournal.h"
#include "soundfile/riffwriter.h"
#include "take/soundperform.h"
#include "take/mixedmark.h"
#include "take/takerename.h"
#include "take/takesavejournal.h"
#include "tests/support/fixturewriter.h"
#include "tests/support/locklessshare.h"
#include "tests/support/riffbytes.h"
#include "tests/support/sshfsshare.h"
#include "tests/take/savedfamily.h"

#include <QCoreApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QFileInfo>
#include <QProcess>
#include <QRandomGenerator>
#include <QThread>
#include <QtTest>

#include <algorithm>
#include <atomic>
#include <condition_variable>
#include <csignal>
#include <mutex>
#include <thread>
#include <poll.h>
#include <sys/inotify.h>
#include <unistd.h>

using namespace fixture;

namespace {

// What a test does at each step of a commit or of renames (see SetReplaceStepHook).
std::function<void()> g_ReplaceStep;
void ReplaceStepCalled()
{
    if (g_ReplaceStep)
        g_ReplaceStep();
}

// What a test does before each rename (see DiskFaults::SetRenameHook).
std::function<void(const QString& from, const QString& to)> g_Rename;
void RenameCalled(const char* from, const char* to)
{
    if (g_Rename)
        g_Rename(QFile::decodeName(from), QFile::decodeName(to));
}

// The round a writer of a shared folder saves: each writer's note is its
// own, of one length in a round; every third round's is short enough to be
// written in place, the others grow the files.
int ShareRound(int round, int writer)
{
    return 10000 + 400 * writer + 800 * round + (round % 3 ? round : 1);
}

// A share writer's input and output, and its hold: called before each
// rename, it answers "H" at the rename of its save's temporary record and
// waits there for a line.
QFile* g_pWriterInput = nullptr;
QFile* g_pWriterOutput = nullptr;
void HoldAtTheRecordsRename(const char* from, const char*)
{
    if (!QByteArray(from).endsWith(".nalvo-save~"))
        return;
    DiskFaults::SetRenameHook(nullptr);
    g_pWriterOutput->write("H\n");
    g_pWriterOutput->flush();
    g_pWriterInput->readLine();
}

// The child of the shared-folder test, one computer of two: for each round
// read from its input, loads the take and saves its own note, and answers
// "S" (saved), "N" (not saved) or "R" (not read) with what it was told;
// "<round> held": held between its record's create and its rename (see
// HoldAtTheRecordsRename). synced: its saves sync as the program's do, and
// last as long.
int ShareWriter(const QString& takePath, int writer, bool synced)
{
    if (!synced)
        SetDiskSyncFunction([](const QVector<int>&) { return true; });
    MessageLoging logger;
    QStringList told;
    QObject::connect(&logger, &MessageLoging::signal_message,
                     [&told](const QString&, const QString& text) { told << text; });
    QFile input, output;
    if (!input.open(stdin, QIODevice::ReadOnly) || !output.open(stdout, QIODevice::WriteOnly))
        return 2;
    g_pWriterInput = &input;
    g_pWriterOutput = &output;
    for (QByteArray line; !(line = input.readLine()).isEmpty();) {
        const int round = line.trimmed().split(' ').value(0).toInt();
        if (line.trimmed().endsWith(" held"))
            DiskFaults::SetRenameHook(&HoldAtTheRecordsRename);
        told.clear();
        QThread::usleep(quint32(round * 7919 + writer * 3001) % 4000);   // both orders, and at once
        QSoundPerform take;
        char result = 'R';
        // A take read while the other computer's save was under way (its
        // record not yet there when the load looked, on a share without
        // locks) reads as damaged, and is not saved, as the editor refuses.
        const bool read = take.InitFilesZZ(takePath, kExt);
        if (read && take.m_nTakeStatus != 0)
            told << QStringLiteral("the take is damaged (status %1)").arg(take.m_nTakeStatus);
        else if (read) {
            SetRound(take, ShareRound(round, writer));
            result = take.UpdateiXMLChunk() ? 'S' : 'N';
        }
        output.write(result + told.join(QLatin1Char('|')).simplified().toUtf8() + '\n');
        output.flush();
    }
    return 0;
}

// The round a mount shows of the take at takePath once its caches caught up
// with the share, within 3 s: sshfs answers a removed record's name, and a
// member's length from before the other computer's last save, for a moment
// (its attributes are kept a second, even without its own cache), and a
// load then is refused and told to select the take again.
int SeenOnceCaughtUp(const QString& takePath, int expected)
{
    QElapsedTimer waited;
    waited.start();
    int seen;
    while ((seen = LoadedRound(takePath)) != expected && waited.elapsed() < 3000)
        QThread::msleep(100);
    return seen;
}

// The name of the next file of folder created (created) or written
// (else) as inotify (changes, set up on folder) tells it, within waitMs;
// empty when none.
QByteArray NextChange(int changes, bool created, int waitMs)
{
    QElapsedTimer waited;
    waited.start();
    alignas(inotify_event) char events[4096];
    for (pollfd ready = {changes, POLLIN, 0}; ::poll(&ready, 1, qMax(0, waitMs - int(waited.elapsed()))) == 1;) {
        const ssize_t length = ::read(changes, events, sizeof(events));
        for (ssize_t at = 0; at < length;) {
            const auto* event = reinterpret_cast<const inotify_event*>(events + at);
            if (event->len && bool(event->mask & IN_CREATE) == created)
                return QByteArray(event->name);
            at += ssize_t(sizeof(inotify_event) + event->len);
        }
    }
    return QByteArray();
}

// Sends the round to a share writer (writer 0) and, while its save runs,
// loads the take as the other computer does: delayMs after the save's
// record appears in folder, or once the writer first writes held (a
// member's file name) and is held there while the load runs. What the
// writer was told, or empty when it said nothing in time.
QByteArray RaceTheWriter(QProcess& writer, int round, const QString& otherMount, const QString& folder,
                         const QString& held, int delayMs)
{
    const int changes = ::inotify_init1(IN_CLOEXEC | IN_NONBLOCK);
    if (changes < 0 || ::inotify_add_watch(changes, QFile::encodeName(folder).constData(), IN_CREATE | IN_MODIFY) < 0)
        return QByteArray();
    writer.write(QByteArray::number(round) + '\n');
    writer.waitForBytesWritten(20000);
    bool stopped = false;
    for (QByteArray name; !(name = NextChange(changes, held.isEmpty(), 20000)).isEmpty();) {
        if (held.isEmpty() && name.endsWith(".nalvo-save~")) {
            QThread::msleep(quint32(delayMs));
            break;
        }
        if (!held.isEmpty() && name == QFile::encodeName(held)) {
            stopped = ::kill(pid_t(writer.processId()), SIGSTOP) == 0;
            break;
        }
    }
    ::close(changes);
    QSoundPerform().InitFilesZZ(otherMount, kExt);
    if (stopped)
        ::kill(pid_t(writer.processId()), SIGCONT);
    while (!writer.canReadLine()) {
        if (!writer.waitForReadyRead(20000))
            return QByteArray();
    }
    return writer.readLine().trimmed();
}

// Puts another record (the one at record, as an earlier version wrote
// it) under record's name at the next move of that name to its take-over
// name, just before the move: another writer's record made between the
// reader's read and its take-over. *put: its bytes, once put.
QString g_SwapRecord;
QByteArray* g_pSwapped = nullptr;
void SwapBeforeTakeOver(const char* from, const char* to)
{
    // Named through the reader's mount; put in through the shared folder.
    const QString name = QFileInfo(g_SwapRecord).fileName();
    if (!g_pSwapped || !g_pSwapped->isEmpty() || QFileInfo(QFile::decodeName(from)).fileName() != name
        || QFileInfo(QFile::decodeName(to)).fileName() != QFileInfo(TakenOverRecordPath(g_SwapRecord)).fileName())
        return;
    const QByteArray other = OlderRecord(FileBytes(g_SwapRecord), 3);
    const QString temporary = g_SwapRecord + QStringLiteral(".other");
    if (!other.isEmpty() && WriteBytes(temporary, other)
        && ::rename(QFile::encodeName(temporary).constData(), QFile::encodeName(g_SwapRecord).constData()) == 0)
        *g_pSwapped = other;
}
void ArmRecordSwap(const QString& record, QByteArray* put)
{
    g_SwapRecord = record;
    g_pSwapped = put;
    DiskFaults::SetRenameHook(&SwapBeforeTakeOver);
}

} // namespace

ShareWritersTest::ShareWritersTest(SshfsPairs* sshfsPairs)
    : m_pSshfsPairs(sshfsPairs), m_Spy(&m_Logger, &MessageLoging::signal_message)
{
}

ShareWritersTest::~ShareWritersTest()
{
    if (!m_czRoom.isEmpty() && !RemoveTree(m_czRoom))
        qWarning("%s is left behind", qPrintable(m_czRoom));
    DiskFaults::Disarm();
    SetFreeSpaceFunction(FreeSpaceFunction());
    SetDiskSyncFunction(DiskSyncFunction());
}

void ShareWritersTest::SaveMixedTake(const TwoMountShare& share, const QString& name, const QStringList& files,
                                     const QString& member, bool description, const QStringList& after)
{
    // Saved in part, or renamed: told mixed, naming the part, while a file
    // keeps part of the stopped save.
    const QString part = description ? " (its bext description)" : " (its iXML)";
    bool marked = true;
    for (const QString& step : after) {
        if (step == QLatin1String("seen"))
            continue;
        if (step == QLatin1String("renamed")) {
            TakeRename away, back;
            for (const QString& file : files) {
                const QString own = QFileInfo(file).fileName();
                const QString other = QString(own).replace(name, QStringLiteral("SHR003"));
                away.Add(share.Mount(0) + own, share.Mount(0) + other);
                back.Add(share.Mount(0) + other, share.Mount(0) + own);
            }
            QCOMPARE(int(away.Execute()), int(TakeRename::Result::Done));
            m_Spy.clear();
            QVERIFY(QSoundPerform().InitFilesZZ(share.Folder() + "SHR003", kExt));
            QVERIFY2(Messages().join(' ').contains("two saves: " + QString(member).replace(name, "SHR003") + part)
                         && !QFileInfo::exists(TakeMixedMarkPath(share.Folder(), name)),
                     qPrintable(Messages().join('|')));
            QCOMPARE(int(back.Execute()), int(TakeRename::Result::Done));
        } else if (step == QLatin1String("earlier")) {
            // A mark as earlier writers made it, naming no part: all of
            // that file is told mixed.
            QFile mark(TakeMixedMarkPath(share.Folder(), name));
            QVERIFY(mark.open(QIODevice::WriteOnly) && mark.write("nalvo-mixed\n" + member.toUtf8() + '\n') > 0);
            mark.close();
            m_Spy.clear();
            QVERIFY(QSoundPerform().InitFilesZZ(share.Folder() + name, kExt));
            QVERIFY2(Messages().join(' ').contains("two saves: " + member + " kept"), qPrintable(Messages().join('|')));
            continue;
        } else {
            QSoundPerform partly;
            QVERIFY(partly.InitFilesZZ(share.Mount(1) + name, kExt));
            const bool several = step == QLatin1String("several");
            for (int t = 0; t < QSoundPerform::kMaxTracks; ++t) {
                if (!partly.m_pbPresent[t])
                    continue;
                if (several) {
                    partly.m_SndFile[t].SetiXMLTape(t, QStringLiteral("T10"));
                    partly.m_SndFile[t].InsertInBextDescrTape(QStringLiteral("T10"));
                } else {
                    partly.m_SndFile[t].SetiXMLNote(t, QStringLiteral("saved in part"));
                }
            }
            partly.SetEditsPartial(several);
            QVERIFY2(partly.UpdateiXMLChunk(), qPrintable(Messages().join('|')));
            marked = marked && (several || description);
        }
        m_Spy.clear();
        QVERIFY(QSoundPerform().InitFilesZZ(share.Folder() + name, kExt));
        QVERIFY2(marked == Messages().join(' ').contains("two saves: " + member + part),
                 qPrintable(step + ": " + Messages().join('|')));
    }
    // The first computer's mount lists the mark, and still does a moment
    // after the other removed it: read from the share, it is no more.
    const bool seen = after.contains(QLatin1String("seen"));
    if (seen) {
        m_Spy.clear();
        QVERIFY(QSoundPerform().InitFilesZZ(share.Mount(0) + name, kExt));
        QVERIFY2(Messages().join(' ').contains("two saves: " + member), qPrintable(Messages().join('|')));
    }
    // Saved again, from either computer: one save in every file, and no
    // load tells it mixed any more.
    QSoundPerform again;
    QVERIFY(again.InitFilesZZ(share.Mount(1) + name, kExt));
    SetRound(again, 9);
    QVERIFY2(again.UpdateiXMLChunk(), qPrintable(Messages().join('|')));
    m_Spy.clear();
    QCOMPARE(LoadedRound(share.Folder() + name), 9);
    if (seen)
        QSoundPerform().InitFilesZZ(share.Mount(0) + name, kExt);
    QVERIFY2(!Messages().join(' ').contains("two saves"), qPrintable(Messages().join('|')));
}

QStringList ShareWritersTest::Messages() const
{
    return MessageTexts(m_Spy);
}

void ShareWritersTest::AddColumns()
{
    QTest::addColumn<ShareRow>("row");
}

// On a share whose mounts keep their own locks (options): held
// between its check and each of its writes while the other computer
// loads, or saves its own note (grown, or in place): a write landed
// over the other's text, field or growth leaves that member holding
// part of each, and every load tells the take mixed until it is saved.
// Held before its check, the writer meets the take-over through a
// mount that may answer the record's name from its cache.
void ShareWritersTest::AddHeldWriteRows(const QStringList& options)
{
    struct Held {
        const char* name;
        bool reserve;
        int write;
    };
    const Held writes[] = {{"the growth of member 13", true, 1},
                           {"write 1 of member 13's commit (a bext field)", false, 1},
                           {"write 2 of member 13's commit (its text)", false, 2},
                           {"write 3 of member 13's commit (its chunk size)", false, 3},
                           {"write 4 of member 13's commit (the RIFF size)", false, 4}};
    const QByteArray on = options.first() == "sshfs" ? ", sshfs" : ", locks kept per mount";
    QTest::newRow("held up at write 2 of member 13's commit, the other loading" + on) << ShareRow(options).HeldAtWrite(2);
    // Another record under the name between the other's read and its
    // take-over: it moves that one, finds it is not what it read, and
    // puts it back; nothing is settled by it.
    QTest::newRow("another record under the name at the other's take-over" + on) << ShareRow(options).HeldAtWrite(2).Swapped();
    for (const Held& held : writes) {
        const QByteArray row = QByteArray(held.name) + " landing after the other's ";
        const ShareRow landing = ShareRow(options).HeldAtWrite(held.write).InReserve(held.reserve).Lands();
        QTest::newRow(row + "load" + on) << landing;
        QTest::newRow(row + "save" + on) << ShareRow(landing).OtherSaves(held.reserve ? 200 : 8).Mixed(held.reserve || held.write <= 2);
        if (held.reserve)
            QTest::newRow(row + "save in place" + on) << ShareRow(landing).OtherSaves(2);
    }
    // The mark goes only with a save that rewrote the part it names, and
    // follows the take's name.
    const QStringList after = options.first() == "sshfs" ? QStringList{"ixml", "several", "renamed", "earlier", "seen"}
                                                         : QStringList{"ixml", "several", "renamed", "earlier"};
    QTest::newRow("a bext field landing after the other's save, then its iXML saved alone, its tape as of several takes, the take renamed, an earlier mark" + on) << ShareRow(options).HeldAtWrite(1).Lands().OtherSaves().Mixed().After(after);
    QTest::newRow("its text landing after the other's save, then its tape as of several takes, its iXML saved alone" + on) << ShareRow(options).HeldAtWrite(2).Lands().OtherSaves().Mixed().After({"several", "ixml"});
}

// On a share whose mounts keep their own locks (options; the renames
// through hard links there): a save held between its last check and its
// record's removal, and renames held between a member's new-name link and
// its old name's removal, past the age rule while the other computer takes
// them over and saves its own note: the held writer removes no record and
// no name of the other's, and says it did not save or rename.
void ShareWritersTest::AddHeldRemovalRows(const QStringList& options)
{
    const bool sshfs = options.first() == "sshfs";
    const QByteArray on = sshfs ? ", sshfs" : ", locks kept per mount";
    QTest::newRow("held up before its record's removal while the other saves" + on) << ShareRow(options).HeldBeforeRecordRemoval().OtherSaves();
    QTest::newRow("renames held up between a link and the old name's removal while the other saves" + on)
        << ShareRow(sshfs ? options : options + QStringList{"--no-rename-flags"}).HeldAtRename().OtherSaves();
    QTest::newRow("a save's record moved aside by the other's killed removal" + on) << ShareRow(options).RecordMovedAside();
    // The other computer's mount may list the folder as its cache holds it
    // for a while (sshfs): there a load finds the name aside only later.
    if (sshfs)
        return;
    QTest::newRow("a member's only name moved aside by the other's killed rename" + on) << ShareRow(options).MemberMovedAside();
    QTest::newRow("held up with its own record moved aside while the other loads" + on) << ShareRow(options).OwnRecordAsideOtherLoads();
    QTest::newRow("a killed save's record moved aside by the other's killed removal" + on) << ShareRow(options).KilledSaveRecordAside();
    QTest::newRow("a member's only name moved aside by the other's killed rename, another take's file under it since" + on)
        << ShareRow(options).MemberAsideNameTaken();
}

void ShareWritersTest::LeftAside(const TwoMountShare& share, const ShareRow& row, const QString& name,
                                 const QStringList& files)
{
    const QString record = TakeSaveJournalPath(share.Folder(), name);
    QSoundPerform take;
    QVERIFY(take.InitFilesZZ(share.Mount(row.leftAside == 3 ? 0 : 1) + name, kExt));
    bool moved = false, loaded = false;
    const QString member = QFileInfo(files.at(4)).fileName();
    if (row.leftAside == 1) {
        // Moved aside before the save's check of that write: the save puts
        // it back, goes on and is saved.
        RiffChunkWriter::SetCheckedWriteHook([&](int descriptor, bool commit, int, bool checked) {
            const QString path = QFileInfo(QStringLiteral("/proc/self/fd/%1").arg(descriptor)).symLinkTarget();
            if (!moved && commit && !checked && QFileInfo(path).fileName() == member)
                moved = QFile::rename(record, RemovalAsideName(record));
        });
    } else if (row.leftAside == 3) {
        // Its record moved aside by its removal, then held there while the
        // other computer loads: every file holds the save, which is saved,
        // and no load undoes it.
        g_Rename = [&](const QString& from, const QString& to) {
            if (moved || QFileInfo(from).fileName() != QFileInfo(record).fileName() || !to.contains(".nalvo-gone-"))
                return;
            const QString aside = share.Folder() + QFileInfo(to).fileName();
            moved = QFile::rename(record, aside) && AgeFile(aside, kRecordLiveSeconds + 5);
            loaded = moved && QSoundPerform().InitFilesZZ(share.Mount(1) + name, kExt);
        };
        DiskFaults::SetRenameHook(&RenameCalled);
    }
    const QString memberAside = RemovalAsideName(files.at(12));
    if (row.leftAside == 2 || row.leftAside == 5)
        moved = QFile::rename(files.at(12), memberAside);
    if (row.leftAside == 5) {
        // Its name taken by another maker's file: the take's line names
        // the hidden one; once the name is free, it goes back.
        TakeSpec other = FamilySpec(QStringLiteral("SHR009"), 13);
        other.originator = QStringLiteral("OTHER 2");
        QVERIFY(WriteBytes(files.at(12), BuildMonoFile(other, 12)));
        QSoundPerform shown;
        QVERIFY(shown.QuickInitFiles(share.Mount(1) + name, kExt, nullptr, true));
        const QString line = shown.ProblemLine(true, share.Mount(1), name);
        QVERIFY2(line.contains(QFileInfo(memberAside).fileName()), qPrintable(line));
        QVERIFY(QFile::remove(files.at(12)));
    }
    auto unhook = qScopeGuard([] {
        RiffChunkWriter::SetCheckedWriteHook({});
        DiskFaults::SetRenameHook(nullptr);
        g_Rename = nullptr;
    });
    m_Spy.clear();
    if (row.leftAside == 4) {
        KilledSaveAside(share, take, name, files);
    } else if (row.leftAside == 2 || row.leftAside == 5) {
        // The next load finds member 13's name free: put back, and the take
        // read whole.
        QSoundPerform again;
        QVERIFY2(moved && again.InitFilesZZ(share.Mount(1) + name, kExt) && again.m_nFileCount == files.size(),
                 qPrintable(Messages().join('|')));
    } else {
        SetRound(take, 11);
        const bool saved = take.UpdateiXMLChunk();
        QVERIFY2(saved && moved && loaded == (row.leftAside == 3),
                 qPrintable(QStringLiteral("saved %1, moved %2: ").arg(saved).arg(moved) + Messages().join('|')));
        QVERIFY2(!Messages().join(' ').contains("undone"), qPrintable(Messages().join('|')));
        QCOMPARE(LoadedRound(share.Folder() + name), 11);
    }
    QCOMPARE(RecordsIn(share.Folder()), QStringList());
    QCOMPARE(QDir(share.Folder()).entryList({QStringLiteral("*.nalvo-gone-*")}, QDir::Hidden | QDir::Files), QStringList());
}

void ShareWritersTest::KilledSaveAside(const TwoMountShare& share, QSoundPerform& take, const QString& name,
                                       const QStringList& files)
{
    // Killed inside member 13, its record where another's killed removal
    // moved it.
    QList<QByteArray> before;
    for (const QString& file : files)
        before << FileBytes(file);
    SetRound(take, 11);
    const QString aside = SaveTornWithRecordAside(take, files, 12, TakeSaveJournalPath(share.Folder(), name));
    QVERIFY(!aside.isEmpty());
    // Its writer may live for the age rule: no load reads the take torn.
    for (int i = 0; i < 2; ++i) {
        QSoundPerform refused;
        QVERIFY(!refused.InitFilesZZ(share.Mount(i) + name, kExt));
        QVERIFY2(refused.LoadFailureText().contains("will be undone"), qPrintable(refused.LoadFailureText()));
    }
    // Past it, undone from there: every file as it was.
    QVERIFY(AgeFile(aside, kRecordLiveSeconds + 5));
    QVERIFY(QSoundPerform().InitFilesZZ(share.Mount(1) + name, kExt));
    for (int i = 0; i < files.size(); ++i)
        QVERIFY2(FileBytes(files.at(i)) == before.at(i), qPrintable(files.at(i)));
    QVERIFY2(Messages().join(' ').contains("was undone") && !Messages().join(' ').contains("Wrong File"),
             qPrintable(Messages().join('|')));
}

// Two computers saving one take on a share that keeps no locks, each round at
// once: every writer's report matches the disk, and no take holds two saves.
// One alone: its saves and renames stay, seen alike from the other, no record
// left, also where the server renames through a link or numbers files anew.
// A record is a live writer's until it stood past the rule by the share's clock.
void ShareWritersTest::Run()
{
    if (!InTablePart(QTest::currentDataTag()))
        QSKIP("a row of another part of the table");
    QFETCH(ShareRow, row);
    const int tracks = row.heldMember == 1 ? 1 : 24;
    // An sshfs pair serves the program's rows from the first on, each row
    // in a folder of its own, gone with the row.
    std::unique_ptr<TwoMountShare> mounted;
    const bool sshfs = row.options.value(0) == QLatin1String("sshfs");
    if (sshfs && !m_pSshfsPairs)
        mounted = std::make_unique<SshfsShare>(m_Dir.path(), row.options.mid(1));
    else if (!sshfs)
        mounted = std::make_unique<LocklessShare>(LocklessTool(), m_Dir.path(), row.options);
    const TwoMountShare& share = mounted ? *mounted : m_pSshfsPairs->Enter(row.options.mid(1));
    if (!mounted)
        m_czRoom = share.Folder();
    NALVO_REQUIRE_LOCKLESS_SHARE(share);
    QVERIFY(!LocksReach(share.Mount(0)) && LocksReach(share.Folder()));   // a FUSE pass-through; the local disk
    WrittenTake written = WriteFamily(share.Folder(), QStringLiteral("SHR001"), tracks, Layouts::Orders);
    const QList<QByteArray> audio = AudioOf(written);
    QString name = QFileInfo(TakePathOf(written)).fileName();
    // The children that play the computers, only where the row has them
    // save (each costs its start and its end): both for the rounds, the
    // first for the races.
    const int children = row.rounds ? 2 : row.raced + row.heldRounds ? 1 : 0;
    QProcess writers[2];
    for (int i = 0; i < children; ++i)
        writers[i].start(QCoreApplication::applicationFilePath(),
                         QStringList{QStringLiteral("--share-writer"), share.Mount(i) + name, QString::number(i)}
                             + (row.raced + row.heldRounds ? QStringList{QStringLiteral("synced")} : QStringList()));
    int before = LoadedRound(share.Folder() + name), saves = 0;
    for (int round = 1; round <= row.rounds; ++round) {
        QByteArray answers[2];
        for (QProcess& writer : writers) {
            writer.write(QByteArray::number(round) + '\n');
            QVERIFY(writer.waitForBytesWritten(20000));
        }
        for (int i = 0; i < 2; ++i) {
            while (!writers[i].canReadLine())
                QVERIFY2(writers[i].waitForReadyRead(20000), writers[i].readAllStandardError().constData());
            answers[i] = writers[i].readLine().trimmed();
            saves += answers[i].startsWith('S');
            // A refused save says why: another writer at work, or its take
            // changed since; a refused load says why it read nothing.
            QVERIFY2(answers[i].startsWith('S') || answers[i].contains("another window or program")
                         || answers[i].contains("changed on disk since it was opened")
                         || answers[i].contains("by another program since the take was opened")
                         || (answers[i].startsWith('R') && answers[i].size() > 1), answers[i].constData());
        }
        QCOMPARE(RecordsIn(share.Folder()), QStringList());
        const int loaded = LoadedRound(share.Folder() + name);
        const bool a = answers[0].startsWith('S'), b = answers[1].startsWith('S');
        const bool told = a && b ? loaded == ShareRound(round, 0) || loaded == ShareRound(round, 1)
                                 : loaded == (a ? ShareRound(round, 0) : b ? ShareRound(round, 1) : before);
        QVERIFY2(told, qPrintable(QStringLiteral("round %1: %2 / %3, the take holds %4").arg(round)
                                       .arg(QString(answers[0]), QString(answers[1])).arg(loaded)));
        before = loaded;
    }
    if (row.rounds) {
        // The other saves a grown note, and once it looked for a record
        // and found none (its free space asked), the first makes its own
        // and is held between its create and its rename: the other's
        // create meets the name taken, and it is told another program is
        // saving, every run. (The volume's lookup before a create answers
        // EEXIST here; sshfs's EPERM comes only for a name made between
        // that lookup and the create, which the disk-call seam plays.)
        // Both computers load the take as the rounds left it first.
        for (int i = 0; i < 2; ++i)
            QCOMPARE(SeenOnceCaughtUp(share.Mount(i) + name, before), before);
        QSoundPerform other;
        QVERIFY(other.InitFilesZZ(share.Mount(1) + name, kExt));
        SetRound(other, 399);
        QByteArray held;
        SetFreeSpaceFunction([&](const QString&) {
            if (held.isEmpty() && writers[0].write("0 held\n") > 0 && writers[0].waitForBytesWritten(20000)) {
                while (!writers[0].canReadLine() && writers[0].waitForReadyRead(20000)) {
                }
                held = writers[0].readLine().trimmed();
            }
            return qint64(1) << 40;
        });
        m_Spy.clear();
        const bool saved = other.UpdateiXMLChunk();
        SetFreeSpaceFunction(FreeSpaceFunction());
        const QString told = Messages().join(QLatin1Char('|'));
        writers[0].write("go\n");
        QVERIFY(writers[0].waitForBytesWritten(20000));
        QCOMPARE(held, QByteArray("H"));
        QVERIFY2(!saved && told.contains("another window or program"), qPrintable(told));
        while (!writers[0].canReadLine())
            QVERIFY2(writers[0].waitForReadyRead(20000), writers[0].readAllStandardError().constData());
        const QByteArray answer = writers[0].readLine().trimmed();
        QVERIFY2(answer.startsWith('S'), answer.constData());
        QCOMPARE(LoadedRound(share.Folder() + name), ShareRound(0, 0));
        before = ShareRound(0, 0);
    }
    // The other computer loads while the first saves: a save told saved is
    // on the disk in every member, one not saved left the take as it was,
    // and no record stays. Every round is tried; the failed ones are told.
    QRandomGenerator random(20261209);
    QStringList wrong;
    QList<QByteArray> originals;
    for (const QString& path : written.files)
        originals << FileBytes(path);
    row.raced = row.raced ? qMax(row.raced, qEnvironmentVariableIntValue("NALVO_SAVE_RACE_ROUNDS")) : 0;
    for (int round = row.rounds + 1; round <= row.rounds + row.raced + row.heldRounds; ++round) {
        const bool held = round > row.rounds + row.raced;
        const QByteArray answer = RaceTheWriter(writers[0], round, share.Mount(1) + name, share.Folder(),
                                                held ? QFileInfo(written.files.at(12)).fileName() : QString(),
                                                int(random.bounded(151)));
        QVERIFY2(!answer.isEmpty(), writers[0].readAllStandardError().constData());
        const int loaded = LoadedRound(share.Folder() + name);
        const QStringList left = RecordsIn(share.Folder());
        if (loaded != (answer.startsWith('S') ? ShareRound(round, 0) : before) || !left.isEmpty())
            wrong << QStringLiteral("round %1%2: told %3, the take holds %4%5")
                         .arg(round)
                         .arg(held ? QStringLiteral(" (held)") : QString(), QString(answer.left(60)))
                         .arg(loaded)
                         .arg(left.isEmpty() ? QString() : QStringLiteral(", left ") + left.join(' '));
        // A damaged take or a record left: made whole again, so that every
        // round tells its own outcome.
        for (int i = 0; (loaded < 0 || !left.isEmpty()) && i < written.files.size(); ++i)
            QVERIFY(WriteBytes(written.files.at(i), originals.at(i)));
        for (const QString& record : left)
            QVERIFY(QFile::remove(share.Folder() + record));
        before = LoadedRound(share.Folder() + name);
    }
    for (int i = 0; i < children; ++i) {
        writers[i].closeWriteChannel();
        QVERIFY(writers[i].waitForFinished(20000));
    }
    QVERIFY2(wrong.isEmpty(), qPrintable(QStringLiteral("%1 of %2 rounds wrong:\n").arg(wrong.size()).arg(row.raced + row.heldRounds)
                                         + wrong.join('\n')));
    QCOMPARE(AudioOf(written), audio);
    QVERIFY(saves > 0 || !row.rounds);
    m_Spy.clear();
    for (int round = 1; round <= 3; ++round) {
        QSoundPerform take;
        QVERIFY(take.InitFilesZZ(share.Mount(0) + name, kExt));
        SetRound(take, round);
        QVERIFY2(take.UpdateiXMLChunk(), qPrintable(Messages().join(QLatin1Char('\n'))));
        QCOMPARE(RecordsIn(share.Folder()), QStringList());
        QCOMPARE(SeenOnceCaughtUp(share.Mount(1) + name, round), round);
        QCOMPARE(LoadedRound(share.Mount(0) + name), round);
    }
    TakeRename rename;
    for (QString& file : written.files) {
        const QString own = QFileInfo(file).fileName();
        rename.Add(share.Mount(0) + own, share.Mount(0) + QString(own).replace(QLatin1String("SHR001"), QLatin1String("SHR002")));
        file = share.Folder() + QString(own).replace(QLatin1String("SHR001"), QLatin1String("SHR002"));
    }
    if (row.heldAtRename && row.otherSaves) {
        // Held up past the age rule between the second member's new-name
        // link and its old name's removal while the other computer's load
        // takes the renames over, gives every file its old name back and
        // saves its own note: the held renamer takes no name of the other's,
        // and the take-over leaves no second name.
        const QString second = QFileInfo(written.files.at(1)).fileName().replace(QLatin1String("SHR002"), QLatin1String("SHR001"));
        const QString old = QString(written.files.at(0)).replace(QLatin1String("SHR002"), QLatin1String("SHR001"));
        const QStringList records{ReplaceJournal::PathFor(old), ReplaceJournal::PathFor(written.files.at(0))};
        bool held = false, savedElsewhere = false;
        g_Rename = [&](const QString& from, const QString& to) {
            if (held || QFileInfo(from).fileName() != second || !to.contains(QLatin1String(".nalvo-gone-")))
                return;
            const int age = kRecordLiveSeconds + 5;
            held = AgeFile(records.at(0), age) && AgeFile(records.at(1), age);
            QSoundPerform other;
            if (held && other.InitFilesZZ(share.Mount(1) + name, kExt)) {
                SetRound(other, row.otherRound);
                savedElsewhere = other.UpdateiXMLChunk();
            }
        };
        DiskFaults::SetRenameHook(&RenameCalled);
        auto unhook = qScopeGuard([] { DiskFaults::SetRenameHook(nullptr); g_Rename = nullptr; });
        QCOMPARE(int(rename.Execute()), int(TakeRename::Result::Failed));
        const QString told = rename.ErrorText();
        QVERIFY2(held && savedElsewhere && told.contains("settled it") && told.contains("Every file keeps its old name"),
                 qPrintable(told + '|' + Messages().join('|')));
        for (const QString& file : written.files) {
            const QString oldName = QString(file).replace(QLatin1String("SHR002"), QLatin1String("SHR001"));
            QVERIFY2(!QFileInfo::exists(file) && QFileInfo::exists(oldName), qPrintable(file));
        }
        QCOMPARE(LoadedRound(share.Folder() + name), row.otherRound);
        QCOMPARE(RecordsIn(share.Folder()), QStringList());
        QCOMPARE(QDir(share.Folder()).entryList({QStringLiteral("*.nalvo-gone-*")}, QDir::Hidden | QDir::Files), QStringList());
        // Its new name, shown by the renamer's window and loaded: the
        // rename was undone, and the take is under its old name (also where
        // the mount's cache still lists the new names, as sshfs's does).
        const QString newName = QString(name).replace(QLatin1String("SHR001"), QLatin1String("SHR002"));
        for (const bool shown : {true, false}) {
            QSoundPerform renamed;
            const bool read = shown ? renamed.QuickInitFiles(share.Mount(0) + newName, kExt, nullptr, true)
                                    : renamed.InitFilesZZ(share.Mount(0) + newName, kExt);
            const QString line = renamed.ProblemLine(false, share.Mount(0), newName);
            QVERIFY2(!read && renamed.RenameTakenBack() && renamed.RenamedTakePath().endsWith(name)
                         && line.contains("was undone") && line.contains(name),
                     qPrintable((shown ? "shown: " : "loaded: ") + line));
        }
        WrittenTake back = written;
        back.files.replaceInStrings(QStringLiteral("SHR002"), QStringLiteral("SHR001"));
        QCOMPARE(AudioOf(back), audio);
        return;   // the mounts' caches hold the names as they were: the row ends here
    } else if (row.heldAtRename) {
        // Held up past the age rule at its second move while the other
        // computer's load takes its record over and moves the rest: it
        // moves nothing after, and says where the files stand.
        const QString old = QString(written.files.at(0)).replace(QLatin1String("SHR002"), QLatin1String("SHR001"));
        const QStringList records{ReplaceJournal::PathFor(old), ReplaceJournal::PathFor(written.files.at(0))};
        int steps = 0;
        g_ReplaceStep = [&] {
            const int age = kRecordLiveSeconds + 5;
            if (++steps == 2 && AgeFile(records.at(0), age) && AgeFile(records.at(1), age))
                QSoundPerform().InitFilesZZ(share.Mount(1) + name, kExt);
        };
        SetReplaceStepHook(&ReplaceStepCalled);
        auto unhook = qScopeGuard([] { SetReplaceStepHook(nullptr); g_ReplaceStep = nullptr; });
        QCOMPARE(int(rename.Execute()), int(TakeRename::Result::Failed));
        const QString told = rename.ErrorText();
        QVERIFY2(steps == 2 && told.contains("settled it") && told.contains("Every file has its new name"),
                 qPrintable(told));
    } else {
        QCOMPARE(int(rename.Execute()), int(TakeRename::Result::Done));
    }
    for (const QString& file : written.files) {
        const QString old = QString(file).replace(QLatin1String("SHR002"), QLatin1String("SHR001"));
        QVERIFY2(QFileInfo::exists(file) && !QFileInfo::exists(old), qPrintable(file));
    }
    QCOMPARE(RecordsIn(share.Folder()), QStringList());
    name.replace(QLatin1String("SHR001"), QLatin1String("SHR002"));
    QCOMPARE(SeenOnceCaughtUp(share.Mount(1) + name, 3), 3);
    QVERIFY2(!Messages().join(' ').contains(QLatin1String("nterrupted")), qPrintable(Messages().join('|')));
    const QString record = TakeSaveJournalPath(share.Folder(), QStringLiteral("SHR002"));
    int syncs = 0;
    bool loadedElsewhere = false;
    if (row.heldAtSync < 0) {
        // Held up past the age rule once its last write was checked, just
        // before its record's removal, while the other computer takes the
        // save for a killed one, puts the take back and saves its own note
        // (held at its first write, its record on the share): the held
        // save removes no record of the other's and says it did not save;
        // the other's save ends saved.
        QSoundPerform take;
        QVERIFY(take.InitFilesZZ(share.Mount(0) + name, kExt));
        std::mutex mutex;
        std::condition_variable changed;
        bool otherHeld = false, released = false, otherDone = false, savedElsewhere = false;
        std::atomic<bool> started{false};   // the hook is also called from the other's thread
        std::thread other;
        const auto letOtherEnd = [&] {
            {
                std::lock_guard<std::mutex> lock(mutex);
                released = true;
                changed.notify_all();
            }
            if (other.joinable())
                other.join();
            DiskFaults::SetRenameHook(nullptr);
            g_Rename = nullptr;
            RiffChunkWriter::SetCheckedWriteHook({});
        };
        g_Rename = [&](const QString& from, const QString& to) {
            if (started || from != share.Mount(0) + QFileInfo(record).fileName()
                || !to.contains(QLatin1String(".nalvo-gone-")) || !AgeFile(record, kRecordLiveSeconds + 5))
                return;
            started = true;
            // The other's save, held before its first check.
            RiffChunkWriter::SetCheckedWriteHook([&](int, bool, int, bool checked) {
                std::unique_lock<std::mutex> lock(mutex);
                if (otherHeld || checked)
                    return;
                otherHeld = true;
                changed.notify_all();
                changed.wait(lock, [&] { return released; });
            });
            other = std::thread([&] {
                QSoundPerform elsewhere;
                if (elsewhere.InitFilesZZ(share.Mount(1) + name, kExt)) {
                    SetRound(elsewhere, row.otherRound);
                    savedElsewhere = elsewhere.UpdateiXMLChunk();
                }
                std::lock_guard<std::mutex> lock(mutex);
                otherDone = true;
                changed.notify_all();
            });
            std::unique_lock<std::mutex> lock(mutex);
            changed.wait(lock, [&] { return otherHeld || otherDone; });
        };
        DiskFaults::SetRenameHook(&RenameCalled);
        auto unhook = qScopeGuard(letOtherEnd);
        SetRound(take, 7);
        const bool saved = take.UpdateiXMLChunk();
        const QString told = Messages().join(' ');
        letOtherEnd();
        QVERIFY2(!saved && otherHeld && savedElsewhere && told.contains("was not saved"),
                 qPrintable(told + '|' + Messages().join('|')));
        QCOMPARE(LoadedRound(share.Folder() + name), row.otherRound);
        QCOMPARE(RecordsIn(share.Folder()), QStringList());
        m_Spy.clear();
        // Saved back, as the rows go on from there.
        QVERIFY(take.InitFilesZZ(share.Mount(0) + name, kExt));
        SetRound(take, 3);
        QVERIFY2(take.UpdateiXMLChunk(), qPrintable(Messages().join('|')));
        m_Spy.clear();
    }
    if (row.heldAtSync > 0) {
        // Held up past the age rule while the other computer takes its record
        // for a killed save's and puts the take back: it writes nothing more.
        QSoundPerform take;
        QVERIFY(take.InitFilesZZ(share.Mount(0) + name, kExt));
        SetDiskSyncFunction([&](const QVector<int>&) {
            if (++syncs == row.heldAtSync && QFileInfo::exists(record) && AgeFile(record, kRecordLiveSeconds + 5))
                loadedElsewhere = QSoundPerform().InitFilesZZ(share.Mount(1) + name, kExt);
            return true;
        });
        SetRound(take, 7);
        QVERIFY(!take.UpdateiXMLChunk() && loadedElsewhere);
        const QString told = Messages().join(' ');
        QVERIFY2(told.contains("was not saved") && told.contains("as they were before this save"), qPrintable(told));
        QCOMPARE(LoadedRound(share.Folder() + name), 3);
        QCOMPARE(RecordsIn(share.Folder()), QStringList());
    }
    if (row.leftAside) {
        LeftAside(share, row, name, written.files);
        if (QTest::currentTestFailed())
            return;
    }
    if (row.heldAtWrite) {
        // Held up at one write of a member's commit (or its reserve) past
        // the age rule: the other computer takes the save for a killed one
        // and puts the take back (and saves its own); the writer then stops
        // before that write, or once past its check lands it and mends what
        // it wrote, or tells the take mixed where it cannot.
        const QString member = QFileInfo(written.files.at(row.heldMember - 1)).fileName();
        bool held = false, savedElsewhere = false;
        QByteArray swappedIn;   // the record put under the name at the other's take-over
        QSoundPerform take, other;
        QVERIFY(take.InitFilesZZ(share.Mount(0) + name, kExt));
        RiffChunkWriter::SetCheckedWriteHook([&](int descriptor, bool commit, int write, bool checked) {
            const QString path = QFileInfo(QStringLiteral("/proc/self/fd/%1").arg(descriptor)).symLinkTarget();
            if (held || commit == row.inReserve || write != row.heldAtWrite || checked != row.lands
                || QFileInfo(path).fileName() != member)
                return;
            held = QFileInfo::exists(record) && AgeFile(record, kRecordLiveSeconds + 5);
            if (row.swapped)
                ArmRecordSwap(record, &swappedIn);
            loadedElsewhere = held && other.InitFilesZZ(share.Mount(1) + name, kExt);
            DiskFaults::SetRenameHook(nullptr);
            if (loadedElsewhere && row.otherSaves) {
                SetRound(other, row.otherRound);
                savedElsewhere = other.UpdateiXMLChunk();
            }
        });
        auto unhook = qScopeGuard([] {
            RiffChunkWriter::SetCheckedWriteHook({});
            DiskFaults::SetRenameHook(nullptr);
        });
        SetRound(take, 399);   // grown: the chunk's size and the RIFF size rewritten too
        const bool saved = take.UpdateiXMLChunk();
        // The other's load refused where it met a record it did not read.
        QVERIFY2(!saved && held && loadedElsewhere != row.swapped && savedElsewhere == row.otherSaves,
                 qPrintable(Messages().join('|')));
        const QString told = Messages().join(' ');
        QVERIFY2(told.contains("was not saved") && !told.contains("Wrong File"), qPrintable(told));
        if (row.swapped) {
            // The record put in stays under its name, untouched, and the
            // writer stopped at it; once its writer is gone, the next load
            // settles it and the take is as before.
            QVERIFY(!swappedIn.isEmpty());
            QCOMPARE(FileBytes(record), swappedIn);
            QVERIFY(!QFileInfo::exists(TakenOverRecordPath(record)));
            QVERIFY(AgeFile(record, kRecordLiveSeconds + 5));
            QVERIFY(QSoundPerform().InitFilesZZ(share.Mount(1) + name, kExt));
            QVERIFY(!QFileInfo::exists(record));
            m_Spy.clear();
        }
        m_Spy.clear();
        const int expected = row.mixed ? -1 : row.otherSaves ? row.otherRound : 3;
        QCOMPARE(LoadedRound(share.Mount(1) + name), expected);
        QCOMPARE(LoadedRound(share.Folder() + name), expected);
        // What the writer was told is what its files hold: the mended
        // member none of its save, a mixed one part of it.
        const QString loadTold = Messages().join(' ');
        QVERIFY2(row.mixed == loadTold.contains("hold parts of two saves: " + member), qPrintable(loadTold));
        QVERIFY2(!row.lands || told.contains((row.mixed ? "landed in " : "was mended in ") + member), qPrintable(told));
        QVERIFY2(row.otherSaves || (row.swapped ? told.contains(QStringLiteral("%1 hold this save").arg(tracks)) : told.contains("as they were before this save")),
                 qPrintable(told));
        QVERIFY2(!row.otherSaves || told.contains(row.mixed ? "1 hold this save" : "0 hold this save"), qPrintable(told));
        if (row.mixed) {
            SaveMixedTake(share, name, written.files, member, row.heldAtWrite == 1, row.after);
            if (QTest::currentTestFailed())
                return;
        }
        QCOMPARE(RecordsIn(share.Folder()), QStringList());
    }
    QCOMPARE(AudioOf(written), audio);
    QVERIFY(WriteBytes(record, "left by a save") && AgeFile(record, row.recordAge));
    QSoundPerform take;
    const bool read = take.InitFilesZZ(share.Mount(0) + name, kExt);
    QCOMPARE(read, row.recordAge > kRecordLiveSeconds);
    QVERIFY2(read || take.LoadFailureText().contains("will be undone in at most 30 s"), qPrintable(take.LoadFailureText()));
    // Nothing of the writers' stays beside the take: no copy of a record
    // or a clock probe the volume kept as removed while open, once the
    // last close reached it.
    const auto kept = [&] {
        return QDir(share.Folder()).entryList({QStringLiteral(".fuse_hidden*"), QStringLiteral(".nalvo-clock-*")},
                                              QDir::Hidden | QDir::Files);
    };
    QElapsedTimer waited;
    waited.start();
    while (!kept().isEmpty() && waited.elapsed() < 3000)
        QThread::msleep(50);
    QCOMPARE(kept(), QStringList());
}

bool RunShareWriterChild(int argc, char** argv, int* code)
{
    if (argc < 4 || QByteArray(argv[1]) != "--share-writer")
        return false;
    EndWithParent();
    QCoreApplication app(argc, argv);
    *code = ShareWriter(QString::fromLocal8Bit(argv[2]), QByteArray(argv[3]).toInt(), argc > 4);
    return true;
}
