// Saving a take's metadata as one transaction over its files: a kill at any
// moment, a full card, members of different chunk layouts, a member changed
// behind the take's back, and the roll-back of an interrupted save by the
// next load. Every outcome must load as the old or the new take, with the
// audio bytes as they were.
#include "foundation/fileutil.h"
#include "foundation/messageloging.h"
#include "foundation/platform/diskprobes.h"
#include "foundation/platform/filelocks.h"
#include "foundation/qpath.h"
#include "foundation/replacejournal.h"
#include "take/soundperform.h"
#include "soundfile/chunkjournal.h"
#include "soundfile/riffwriter.h"
#include "take/takesavejournal.h"
#include "tests/support/diskfaultwalk.h"
#include "tests/support/exfatvolume.h"
#include "tests/support/fixturevariants.h"
#include "tests/support/fixturewriter.h"
#include "tests/support/locklessshare.h"
#include "tests/support/riffbytes.h"
#include "tests/support/riffreader.h"
#include "tests/support/scratchdir.h"
#include "tests/take/savedfamily.h"

#include <QDir>
#include <QFile>
#include <QProcess>
#include <QRandomGenerator>
#include <QSignalSpy>
#include <QStandardPaths>
#include <QSet>
#include <QTemporaryDir>
#include <QThread>
#include <QtTest>

#include <csignal>
#include <cstring>
#include <fcntl.h>
#include <linux/fs.h>
#include <sys/ioctl.h>
#include <thread>
#include <memory>
#include <sys/resource.h>
#include <sys/stat.h>
#include <sys/statvfs.h>
#include <sys/time.h>
#include <unistd.h>

using namespace fixture;

namespace {

// The file's bytes with from replaced by to in its iXML text and in its
// bext description, sizes fixed; the iXML stored in the form.
QByteArray WithMetadata(QByteArray file, const QByteArray& from, const QByteArray& to,
                        IxmlForm form = IxmlForm::Utf8)
{
    const RiffInfo info = ParseRiff(file);
    const RiffChunk* bext = info.Find("bext");
    const RiffChunk* ixml = info.Find("iXML");
    QByteArray description = info.description;
    PutText(file, int(bext->payloadOffset), 256, description.replace(from, to).left(255));
    QByteArray text = IxmlInForm(info.ixml.trimmed().replace(from, to), form);
    if (text.size() % 2)
        text.append(' ');
    file.replace(int(ixml->payloadOffset), int(ixml->size), text);
    PutU32(file, int(ixml->offset) + 4, quint32(text.size()));
    PutU32(file, 4, quint32(file.size() - 8));
    return file;
}

// The i-th of a day's 199 takes beside the raced one (i from 1).
QString DayTake(const QString& takePath, int i)
{
    return QFileInfo(takePath).path() + QStringLiteral("/DAY%1").arg(i, 3, 10, QLatin1Char('0'));
}

// count threads load the raced take (and the day's others) as the day list's
// loaders do, each from its own start, until stop; every failed load counts.
void StartLoaders(std::vector<std::thread>* loaders, int count, const QString& takePath, bool day,
                  const std::atomic<int>& stop, std::atomic<int>* failures, std::function<bool(const QString&)> load)
{
    for (int n = 0; n < count; ++n)
        loaders->emplace_back([=, &stop] {
            for (int i = n * 37; !stop; ++i)
                *failures += !load(day && i % 200 ? DayTake(takePath, i % 200) : takePath);
        });
}

// The child of the kill and race tests: saves the take again and again, with a note
// that grows and names that change, until it is killed.
int SaveLoop(const QString& takePath, int firstRound, const QString& besidePath)
{
    // A kill leaves the page cache whole: only a power cut needs the syncs.
    SetDiskSyncFunction([](const QVector<int>&) { return true; });
    QSoundPerform take, beside;   // beside: saved with the take in one group
    if (!take.InitFilesZZ(takePath, kExt) || (!besidePath.isEmpty() && !beside.InitFilesZZ(besidePath, kExt)))
        return 2;
    std::printf("ready\n");
    std::fflush(stdout);
    while (firstRound == 0)   // loads only
        take.InitFilesZZ(takePath, kExt);
    std::atomic<int> never{0}, failures{0};
    std::vector<std::thread> loaders;   // a negative first round: only loads of the day, on that many threads
    StartLoaders(&loaders, -firstRound, takePath, true, never, &failures,
                 [](const QString& path) { return QSoundPerform().InitFilesZZ(path, kExt); });
    for (std::thread& loader : loaders)
        loader.join();
    for (int round = firstRound; round < firstRound + 5000; ++round) {
        QThread::usleep(firstRound >= 100000 ? 5000 : 0);   // racing another saver: room for its saves
        SetRound(take, round);
        SetRound(beside, round);
        const QVector<bool> saved = besidePath.isEmpty() ? QVector<bool>{take.UpdateiXMLChunk()}
                                                         : QSoundPerform::UpdateiXMLChunks({&take, &beside});
        if (!saved.at(0) && !take.InitFilesZZ(takePath, kExt))
            return 3;
    }
    return 0;
}

// The child of the race test's long loads: shares the folder for 6.5 s, as
// a load of a slow card does, telling every stepMs that it reads on (0:
// never, a stuck load), then holds nothing until it is killed.
int HoldShare(const QString& folder, int stepMs)
{
    TakeFolderLock lock;
    if (!lock.Acquire(folder, TakeFolderLock::Mode::Shared) || !lock.HeldStatus())
        return 2;
    std::printf("ready\n");
    std::fflush(stdout);
    QElapsedTimer held;
    held.start();
    while (held.elapsed() < 6500) {
        QThread::msleep(stepMs ? quint32(stepMs) : 100);
        if (stepMs)
            lock.TellProgress();
    }
    lock.Release();
    for (;;)
        QThread::sleep(1);
}

// A day folder made anew with the walked take of three members.
bool FreshWalkTake(const QString& day, WrittenTake* written)
{
    if (!RemoveTree(day) || !QDir().mkpath(day))
        return false;
    *written = WriteFamily(day, QStringLiteral("WLK001"), 3, Layouts::Same);
    return true;
}

} // namespace

class TestTakeSave : public QObject
{
    Q_OBJECT
private slots:
    void init();
    void cleanup();

    void splicedTextsAreTheMembersOwn_data();
    void splicedTextsAreTheMembersOwn();
    void killedSavesLoadAsOldOrNew_data();
    void killedSavesLoadAsOldOrNew();
    void mixedLayoutsSaveToEqualSizes_data();
    void mixedLayoutsSaveToEqualSizes();
    void refusedOrFailedSavesChangeNothing_data();
    void refusedOrFailedSavesChangeNothing();
    void familyChangedSinceTheLoadIsRefused_data();
    void familyChangedSinceTheLoadIsRefused();
    void fullCardKeepsTheOldTake_data();
    void fullCardKeepsTheOldTake();
    void interruptedSaveIsRolledBackOnLoad_data();
    void interruptedSaveIsRolledBackOnLoad();
    void foreignMetadataKeptThroughAnEdit_data();
    void foreignMetadataKeptThroughAnEdit();
    void runningSavesAreNeitherUndoneNorInterleaved_data();
    void runningSavesAreNeitherUndoneNorInterleaved();
    void killedCopiesTemporariesGoAtALoad_data();
    void killedCopiesTemporariesGoAtALoad();

private:
    // Another recording of the take put in place of member (renamed over
    // it, or written into it): a save of the take loaded before is refused.
    void ReplaceByAnotherRecording(const QString& member, bool renamed);
    QStringList Messages() const;
    void WalkSave(const QString& planName);
    void WalkUndoFromAside(const QString& planName);

    std::unique_ptr<ScratchDir> m_pDir;
    std::unique_ptr<MessageLoging> m_pLogger;
    std::unique_ptr<QSignalSpy> m_pSpy;
    QString m_czDay;
};

void TestTakeSave::init()
{
    m_pDir = std::make_unique<ScratchDir>();
    m_czDay = m_pDir->path() + QStringLiteral("/PROJ.BR1/2024-05-01.OVD/");
    QDir().mkpath(m_czDay);
    m_pLogger.reset(new MessageLoging);
    m_pSpy.reset(new QSignalSpy(m_pLogger.get(), &MessageLoging::signal_message));
}

void TestTakeSave::cleanup()
{
    DiskFaults::Disarm();
    SetFreeSpaceFunction(FreeSpaceFunction());
    SetDiskSyncFunction(DiskSyncFunction());
    m_pSpy.reset();
    m_pLogger.reset();
    m_pDir.reset();
}

QStringList TestTakeSave::Messages() const
{
    return MessageTexts(*m_pSpy);
}

// Done and told done: the take loads with the new round; else it loads as
// before, byte for byte, and the user was told. The audio never changes.
void TestTakeSave::WalkSave(const QString& planName)
{
    constexpr int kRound = 7;
    WrittenTake written;
    std::unique_ptr<QSoundPerform> take;
    QList<QByteArray> before;
    QList<QByteArray> audio;
    int told = 0;
    int loaded = -1;
    QString undone;   // the save's "undone" while a file held this save (or part of it) once it answered
    tyFaultWalkJob job;
    job.folders = QStringList{m_czDay};
    job.begin = [&] {
        if (!FreshWalkTake(m_czDay, &written))
            return false;
        take = std::make_unique<QSoundPerform>();
        if (written.files.size() != 3 || !take->InitFilesZZ(TakePathOf(written), kExt))
            return false;
        SetRound(*take, kRound);
        before.clear();
        for (const QString& path : written.files)
            before << FileBytes(path);
        audio = AudioOf(written);
        told = m_pSpy->count();
        return true;
    };
    job.run = [&] { return take->UpdateiXMLChunk(); };
    job.load = [&] {
        bool held = false;
        for (int i = 0; i < written.files.size(); ++i)
            held = held || FileBytes(written.files.at(i)) != before.at(i);
        const QString saveTold = Messages().mid(told).join(QLatin1Char('|'));
        undone = held && saveTold.contains(QLatin1String("was undone")) ? saveTold : QString();
        loaded = LoadedRound(TakePathOf(written));
    };
    job.check = [&](bool done, bool mayBeDone) {
        if (AudioOf(written) != audio)
            return QStringLiteral("audio changed");
        if (done)
            return loaded == kRound ? QString() : QStringLiteral("loads as round %1").arg(loaded);
        if (m_pSpy->count() == told)
            return QStringLiteral("not told");
        // No other program writes here.
        const QString toldNow = Messages().mid(told).join(QLatin1Char('|'));
        if (toldNow.contains(QLatin1String("another program")))
            return QStringLiteral("told of another program: ") + toldNow;
        if (!undone.isEmpty())
            return QStringLiteral("told undone while its files hold the save: ") + undone;
        if (mayBeDone && loaded == kRound && Messages().join(QLatin1Char('|')).contains(QLatin1String(" next ")))
            return QString();
        QList<QByteArray> now;
        for (const QString& path : written.files)
            now << FileBytes(path);
        return now == before ? QString() : QStringLiteral("changed, loads as round %1").arg(loaded);
    };
    const tyFaultWalk walk = WalkDiskFaults(job, planName);
    QVERIFY2(walk.lczFaults.isEmpty(), qPrintable(walk.lczFaults.join(QLatin1Char('\n'))));
    QVERIFY(walk.nCalls > 0);
}

// A save torn inside its second member, its record under a removal's
// hidden name: a load that meets a failed call reads no torn take, and the
// next load finds every file as before that save, no record left.
void TestTakeSave::WalkUndoFromAside(const QString& planName)
{
    WrittenTake written;
    QList<QByteArray> before, torn;
    QString aside;
    QByteArray record;
    bool undoneAtRun = false;
    tyFaultWalkJob job;
    job.folders = QStringList{m_czDay};
    job.begin = [&] {
        if (!FreshWalkTake(m_czDay, &written))
            return false;
        if (torn.isEmpty()) {   // torn once, then as that left it
            for (const QString& path : written.files)
                before << FileBytes(path);
            QSoundPerform take;
            if (!take.InitFilesZZ(TakePathOf(written), kExt))
                return false;
            SetRound(take, 7);
            aside = SaveTornWithRecordAside(take, written.files, 1, TakeSaveJournalPath(m_czDay, QStringLiteral("WLK001")));
            for (const QString& path : written.files)
                torn << FileBytes(path);
            record = FileBytes(aside);
        }
        for (int i = 0; i < written.files.size(); ++i) {
            if (!WriteBytes(written.files.at(i), torn.at(i)))
                return false;
        }
        return !aside.isEmpty() && WriteBytes(aside, record);
    };
    job.run = [&] {
        QSoundPerform take;
        const bool read = take.InitFilesZZ(TakePathOf(written), kExt) && take.m_nTakeStatus == 0;
        undoneAtRun = true;
        for (int i = 0; i < written.files.size(); ++i)
            undoneAtRun = undoneAtRun && FileBytes(written.files.at(i)) == before.at(i);
        return read;
    };
    job.load = [&] { LoadedRound(TakePathOf(written)); };
    job.check = [&](bool done, bool) {
        if (done && !undoneAtRun)
            return QStringLiteral("read while torn");
        for (int i = 0; i < written.files.size(); ++i) {
            if (FileBytes(written.files.at(i)) != before.at(i))
                return QStringLiteral("%1 not as before the save after the next load").arg(i + 1);
        }
        return QString();
    };
    const tyFaultWalk walk = WalkDiskFaults(job, planName);
    QVERIFY2(walk.lczFaults.isEmpty(), qPrintable(walk.lczFaults.join(QLatin1Char('\n'))));
    QVERIFY(walk.nCalls > 0);
}

void TestTakeSave::splicedTextsAreTheMembersOwn_data()
{
    QTest::addColumn<QString>("name");
    QTest::addColumn<QString>("otherNote");
    QTest::addColumn<bool>("spliced");
    QTest::newRow("own names") << "Boom \u00e9 %1" << QString() << true;
    QTest::newRow("one name for all") << "Mix" << QString() << true;
    QTest::newRow("names that need escaping") << "a<b & \"c\" %1" << QString() << false;
    QTest::newRow("an empty name") << "" << QString() << true;
    QTest::newRow("another note in one member") << "T%1" << "other" << false;
}

void TestTakeSave::splicedTextsAreTheMembersOwn()
{
    // The save serialises one member and splices the others' track entries
    // into its text: the bytes must be each member's own serialisation.
    QFETCH(QString, name);
    QFETCH(QString, otherNote);
    QFETCH(bool, spliced);
    const WrittenTake written = WriteFamily(m_czDay, QStringLiteral("SPL001"), 4, Layouts::Same);
    QSoundPerform take;
    QVERIFY(take.InitFilesZZ(TakePathOf(written), kExt));
    QString names[24];
    for (int t = 0; t < 24; ++t)
        names[t] = name.contains(QLatin1String("%1")) ? name.arg(t) : name;
    for (int t = 0; t < 4; ++t)
        take.SetiXMLTrackName(quint16(t), names[t]);
    take.SetiXMLOrvexTracknames(names, false);
    if (!otherNote.isEmpty())
        take.m_SndFile[2].SetiXMLNote(2, otherNote);
    const QSoundFile& model = take.m_SndFile[0];
    const QByteArray text = model.ToText();
    for (int t = 1; t < 4; ++t) {
        QByteArray result;
        const bool done = model.SpliceText(text, take.m_SndFile[t],
                                           {QStringLiteral("TRACK_LIST"), QStringLiteral("TRACK")}, &result);
        QCOMPARE(done, spliced || (!otherNote.isEmpty() && t != 2));
        if (done)
            QCOMPARE(result, take.m_SndFile[t].ToText());
    }
}

void TestTakeSave::killedSavesLoadAsOldOrNew_data()
{
    QTest::addColumn<bool>("group");
    QTest::newRow("one take") << false;
    QTest::newRow("two takes saved together") << true;
}

void TestTakeSave::killedSavesLoadAsOldOrNew()
{
    QFETCH(bool, group);
    // A child saves a 24-track family of mixed layouts (grown in place,
    // appended, the old chunk retired) again and again and is killed at a
    // random moment; CI runs a few kills, NALVO_SAVE_KILLS asks for more.
    const int kills = qEnvironmentVariableIsSet("NALVO_SAVE_KILLS")
                          ? qMax(1, qEnvironmentVariableIntValue("NALVO_SAVE_KILLS"))
                          : 12;
    const WrittenTake written = WriteFamily(m_czDay, QStringLiteral("KIL001"), 24, Layouts::Orders);
    const WrittenTake beside = WriteFamily(m_czDay, QStringLiteral("KIL002"), group ? 8 : 0, Layouts::ExtraChunks);
    QVERIFY(!written.files.isEmpty());
    const QList<QByteArray> audio = AudioOf(written) + AudioOf(beside);
    const QString takePath = TakePathOf(written);
    const QString besidePath = group ? TakePathOf(beside) : QString();
    QRandomGenerator random(20261207);
    QSet<int> rounds;
    // Kill moments are drawn below a bound that grows while every kill lands
    // before the first save ends, so slow builds (sanitizers) still kill
    // inside saves.
    int boundUs = 40000;
    for (int run = 0; run < kills; ++run) {
        QProcess child;
        child.start(QCoreApplication::applicationFilePath(),
                    {QStringLiteral("--save-loop"), takePath, QString::number(1 + run * 5000), besidePath});
        QVERIFY(child.waitForReadyRead(20000));
        QCOMPARE(child.readLine().trimmed(), QByteArray("ready"));
        QThread::usleep(random.bounded(1000, boundUs));
        ::kill(pid_t(child.processId()), SIGKILL);
        QVERIFY(child.waitForFinished(20000));
        QVERIFY2(child.exitStatus() == QProcess::CrashExit, "the child ended before the kill");

        const int round = LoadedRound(takePath);
        QVERIFY2(round >= 0, qPrintable(QStringLiteral("run %1 left a take that is neither old nor new").arg(run)));
        QVERIFY(!group || LoadedRound(besidePath) >= 0);
        rounds.insert(round);
        if (round == 0)
            boundUs = qMin(boundUs * 2, 2000000);
        QVERIFY(!QFileInfo::exists(TakeSaveJournalPath(m_czDay, QStringLiteral("KIL001"))));
        QVERIFY(!QFileInfo::exists(TakeSaveJournalPath(m_czDay, QStringLiteral("KIL002"))));
        QCOMPARE(AudioOf(written) + AudioOf(beside), audio);
    }
    // The kills landed in different saves, not all before the first one.
    QVERIFY(rounds.size() > 1 || kills < 3);
}

void TestTakeSave::mixedLayoutsSaveToEqualSizes_data()
{
    QTest::addColumn<int>("layouts");
    QTest::addColumn<int>("noteLength");
    QTest::newRow("chunk orders, grown") << int(Layouts::Orders) << 9000;
    QTest::newRow("chunk orders, shorter") << int(Layouts::Orders) << 10;
    QTest::newRow("JUNK before data, LIST after iXML, grown") << int(Layouts::ExtraChunks) << 9000;
    QTest::newRow("JUNK before data, LIST after iXML, shorter") << int(Layouts::ExtraChunks) << 10;
}

void TestTakeSave::mixedLayoutsSaveToEqualSizes()
{
    QFETCH(int, layouts);
    QFETCH(int, noteLength);
    const WrittenTake written = WriteFamily(m_czDay, QStringLiteral("MIX001"), 6, Layouts(layouts));
    const QList<QByteArray> audio = AudioOf(written);
    const QString takePath = TakePathOf(written);
    for (int round = 1; round <= 3; ++round) {
        QSoundPerform take;
        QVERIFY(take.InitFilesZZ(takePath, kExt));
        for (int t = 0; t < 6; ++t) {
            take.m_SndFile[t].SetiXMLNote(t, QString(noteLength * round, QLatin1Char('n')));
            take.SetiXMLTrackName(quint16(t), QString(t * 300 * round + 1, QLatin1Char('x')));
        }
        QVERIFY(take.UpdateiXMLChunk());
        // The records the save leaves are those a walk of the files finds,
        // so the same take object saves again.
        for (int t = 0; t < 6; ++t) {
            QSoundFile fresh;
            QVERIFY(fresh.Open(written.files.at(t), 0) && fresh.ReadChunks(false, true));
            QVERIFY(fresh.GetLayout().SameChunks(take.m_SndFile[t].GetLayout()));
            QCOMPARE(fresh.GetiXMLText(), take.m_SndFile[t].GetiXMLText());
            QCOMPARE(fresh.m_nOtherChunkCount, take.m_SndFile[t].m_nOtherChunkCount);
            take.m_SndFile[t].SetiXMLNote(t, QString(noteLength * round + 7, QLatin1Char('n')));
        }
        QVERIFY(take.UpdateiXMLChunk());
        for (int t = 0; t < 6; ++t)
            take.m_SndFile[t].SetiXMLNote(t, QString(noteLength * round, QLatin1Char('n')));
        QVERIFY(take.UpdateiXMLChunk());
        qint64 size = -1;
        for (const QString& path : written.files) {
            const RiffInfo info = ReadRiffFile(path);
            QCOMPARE(info.riffSize, quint32(info.fileSize - 8));
            QCOMPARE(info.walkedEnd, info.fileSize);
            QVERIFY(size < 0 || info.fileSize == size);
            size = info.fileSize;
        }
        QCOMPARE(AudioOf(written), audio);
        QSoundPerform again;
        QVERIFY(again.InitFilesZZ(takePath, kExt));
        QCOMPARE(int(again.m_nTakeStatus), 0);
        QCOMPARE(again.m_czTrackName[5], QString(5 * 300 * round + 1, QLatin1Char('x')));
        QCOMPARE(again.m_SndFile[3].GetiXMLNotes(), QString(noteLength * round, QLatin1Char('n')));
    }
}

void TestTakeSave::refusedOrFailedSavesChangeNothing_data()
{
    QTest::addColumn<QString>("fault");
    QTest::addColumn<QString>("message");
    const QString changed = QStringLiteral("was rewritten by another program since the take was opened");
    QTest::newRow("a chunk appended by another program") << "append" << changed;
    QTest::newRow("a member rewritten to another layout") << "reorder" << changed;
    QTest::newRow("the members cannot be synced") << "sync" << "could not be synced";
    // The roll-back of that save: the close of a member it put back
    // reports a failed write, as a network volume may.
    QTest::newRow("a roll-back's close reports a failed write") << "sync-close" << "the restored files could not be written: Input/output error";
    // A network volume that reports a failed write only at the close.
    QTest::newRow("a member's close reports a failed write") << "close" << "could not be written to the card: Input/output error";
    QTest::newRow("too little free space") << "space" << "not enough space on the card to save take RFS001";
    QTest::newRow("another save holds the take") << "busy" << "Take RFS001 is being saved";
    // sshfs refuses a taken name with EPERM: taken at the look, it is
    // another writer's; refused again while free, the refusal is the
    // volume's own (once, the name is made again: see below).
    QTest::newRow("the save record's name taken, refused with EPERM") << "taken" << "Take RFS001 is being saved";
    QTest::newRow("the save record's free name refused twice") << "eperm" << "The save record cannot be written: Operation not permitted";
    // Made immutable once the members are written: the save is taken back,
    // and the record left behind puts back only what the take holds.
    QTest::newRow("the save record cannot be removed") << "stuck" << "cannot be removed (Operation not permitted), so the save was undone";
    // Saved in one group with a sound take: that one is saved all the same,
    // but a sync that fails undoes both.
    QTest::newRow("a chunk appended, beside a take saved with it") << "append beside" << changed;
    QTest::newRow("the members of two takes cannot be synced") << "sync beside" << "could not be synced";
    // The take beside reached by another path: one lock of the folder for both.
    QTest::newRow("a chunk appended, beside a take reached through a link") << "append link" << changed;
    QTest::newRow("a chunk appended, beside a take reached through a second mount") << "append mount" << changed;
    // Each disk call of a save of three members that grows them failed in turn.
    for (const auto& plan : DiskFaultPlans())
        QTest::newRow(qPrintable("each call failing: " + plan.first)) << "walk " + plan.first << QString();
    // Pulled at the record's removal, the files holding the save whole: no
    // other program is named, and the save stands.
    for (const auto& plan : RemovalPlans())
        QTest::newRow(qPrintable("each call failing: " + plan.first)) << "walk " + plan.first << QString();
    // The next load's undo of a save torn in a member, its record aside.
    for (const auto& plan : DiskFaultPlans())
        QTest::newRow(qPrintable("each call of a load's undo from a record aside failing: " + plan.first))
            << "aside walk " + plan.first << QString();
}

void TestTakeSave::refusedOrFailedSavesChangeNothing()
{
    QFETCH(QString, fault);
    QFETCH(QString, message);
    if (fault.startsWith(QLatin1String("walk ")))
        return WalkSave(fault.mid(5));
    if (fault.startsWith(QLatin1String("aside walk ")))
        return WalkUndoFromAside(fault.mid(11));
    const WrittenTake written = WriteFamily(m_czDay, QStringLiteral("RFS001"), 4, Layouts::Same);
    QSoundPerform take;
    QVERIFY(take.InitFilesZZ(TakePathOf(written), kExt));
    if (fault.startsWith(QLatin1String("append")))
        QVERIFY(WriteBytes(written.files.at(2), WithChunk(FileBytes(written.files.at(2)), "", "LIST", 64)));
    if (fault == QLatin1String("reorder")) {
        TakeSpec spec = MonoTake(QStringLiteral("RFS001"), {0, 1, 2, 3});
        spec.frames = 480;
        spec.order = ChunkOrder::IxmlBeforeOnd;
        QVERIFY(WriteBytes(written.files.at(1), BuildMonoFile(spec, 1)));
    }
    // The members' sync fails once; the roll-back's own sync goes through.
    int memberSyncs = 0;
    if (fault.startsWith(QLatin1String("sync")))
        SetDiskSyncFunction(
            [&](const QVector<int>& descriptors) { return descriptors.size() < 3 || ++memberSyncs > 1; });
    const QByteArray record = QFile::encodeName(TakeSaveJournalPath(m_czDay, QStringLiteral("RFS001")));
    const auto setImmutable = [&record](bool on) {
        const int fd = ::open(record.constData(), O_RDONLY);
        int flags = on ? FS_IMMUTABLE_FL : 0;
        const bool set = fd >= 0 && ::ioctl(fd, FS_IOC_SETFLAGS, &flags) == 0;
        ::close(fd);
        return set;
    };
    if (fault == QLatin1String("stuck"))
        SetDiskSyncFunction([&](const QVector<int>& descriptors) { return descriptors.size() < 4 || setImmutable(true) || true; });
    if (fault == QLatin1String("space"))
        SetFreeSpaceFunction([](const QString&) { return qint64(1000); });
    // Another writer's record made, and locked, once the save looked for
    // one (it asks the free space after).
    int otherRecord = -1;
    auto closeOther = qScopeGuard([&] {
        if (otherRecord >= 0 && ::close(otherRecord) == 0)
            ::unlink((record + '~').constData());
    });
    if (fault == QLatin1String("taken"))
        SetFreeSpaceFunction([&](const QString&) {
            if (otherRecord < 0) {
                otherRecord = ::open((record + '~').constData(), O_RDWR | O_CREAT | O_EXCL | O_CLOEXEC, 0644);
                TryRecordLock(otherRecord);
            }
            return qint64(1) << 40;
        });
    TakeFolderLock other;
    QVERIFY(fault != QLatin1String("busy") || other.Acquire(m_czDay, TakeFolderLock::Mode::Alone));
    QList<QByteArray> before;
    for (const QString& path : written.files)
        before << FileBytes(path);
    const bool together = fault.contains(QLatin1Char(' '));   // saved in one group with a take beside
    const WrittenTake companion = WriteFamily(m_czDay, QStringLiteral("RFS002"), together ? 3 : 0, Layouts::Same);
    const QString elsewhere = m_pDir->path() + QStringLiteral("/other/");
    const bool mount = fault.endsWith(QLatin1String("mount")), twoPaths = mount || fault.endsWith(QLatin1String("link"));
    if (mount && (!QDir().mkpath(elsewhere)
                  || QProcess::execute(QStringLiteral("mount"), {QStringLiteral("--bind"), m_czDay, elsewhere}) != 0)) {
        QVERIFY2(qEnvironmentVariableIsEmpty("CI"), "no bind mount");
        QSKIP("a bind mount needs root");
    }
    auto unmount = qScopeGuard([&] { QProcess::execute(QStringLiteral("umount"), {elsewhere}); });
    if (!mount)
        unmount.dismiss();
    QVERIFY(mount || !twoPaths || QFile::link(QDir::cleanPath(m_czDay), elsewhere.chopped(1)));
    QSoundPerform beside;
    QVERIFY(!together || beside.InitFilesZZ((twoPaths ? elsewhere : m_czDay) + QFileInfo(TakePathOf(companion)).fileName(), kExt));
    const QByteArray besideBefore = together ? FileBytes(companion.files.at(0)) : QByteArray();
    for (int t = 0; t < 4; ++t) {
        take.m_SndFile[t].SetiXMLNote(t, QString(20000, QLatin1Char('n')));
        if (beside.m_pbPresent[t])
            beside.m_SndFile[t].SetiXMLNote(t, QStringLiteral("beside"));
    }
    // A save closes its four members before a roll-back opens them again.
    // It opens its four members, then creates its record: refused
    // twice, as sshfs refuses a taken name each time (a name taken at the
    // look is not tried again).
    tyDiskFaultPlan fails;
    const bool eperm = fault == QLatin1String("eperm") || fault == QLatin1String("taken");
    fails.eKind = eperm ? DiskCall::Open : DiskCall::Close;
    fails.nNth = fault == QLatin1String("close") ? 1 : fault == QLatin1String("sync-close") || eperm ? 5 : 0;
    fails.nError = eperm ? EPERM : EIO;
    fails.nCount = eperm ? 2 : 1;
    const int failed = fault == QLatin1String("eperm") ? 2 : fails.nNth ? 1 : 0;
    DiskFaults::Arm(fails);
    QElapsedTimer clock;
    clock.start();
    const QVector<bool> saved = QSoundPerform::UpdateiXMLChunks(together ? QVector<QSoundPerform*>{&take, &beside}
                                                                          : QVector<QSoundPerform*>{&take});
    QCOMPARE(DiskFaults::Failed(), failed);
    DiskFaults::Disarm();
    QVERIFY2(!twoPaths || clock.elapsed() < 2500, qPrintable(QString::number(clock.elapsed())));
    QCOMPARE(saved.at(0), false);
    QCOMPARE(saved.value(1), together && !fault.startsWith(QLatin1String("sync")));
    QVERIFY(!together || (FileBytes(companion.files.at(0)) == besideBefore) == !saved.at(1));
    QSoundPerform again;   // the take beside saved whole
    QVERIFY(!saved.value(1) || (again.InitFilesZZ(TakePathOf(companion), kExt) && again.m_SndFile[1].GetiXMLNotes() == "beside"));
    for (int i = 0; i < written.files.size(); ++i)
        QCOMPARE(FileBytes(written.files.at(i)), before.at(i));
    if (fault == QLatin1String("stuck")) {
        SetDiskSyncFunction(DiskSyncFunction());
        QVERIFY(setImmutable(false));
        QVERIFY(QSoundPerform().InitFilesZZ(TakePathOf(written), kExt));
        for (int i = 0; i < written.files.size(); ++i)
            QCOMPARE(FileBytes(written.files.at(i)), before.at(i));
    }
    QVERIFY(!QFileInfo::exists(TakeSaveJournalPath(m_czDay, QStringLiteral("RFS001"))));
    QVERIFY2(Messages().join(QLatin1Char('|')).contains(message), qPrintable(Messages().join(QLatin1Char('|'))));
    // Its next load puts the take back as it was told, and settles the record.
    QVERIFY(fault != QLatin1String("sync-close")
            || (QSoundPerform().InitFilesZZ(TakePathOf(written), kExt) && HiddenLeftovers(m_czDay).isEmpty()));
    if (fault == QLatin1String("eperm")) {
        // Refused once, the name taken and released meanwhile: made again.
        fails.nCount = 1;
        DiskFaults::Arm(fails);
        QVERIFY(take.UpdateiXMLChunk());
        QCOMPARE(DiskFaults::Failed(), 1);
    }
    QVERIFY(fault != QLatin1String("busy") || !QSoundPerform().InitFilesZZ(TakePathOf(written), kExt));
}

void TestTakeSave::familyChangedSinceTheLoadIsRefused_data()
{
    QTest::addColumn<bool>("exfat");
    QTest::addColumn<bool>("movedIn");
    QTest::addColumn<bool>("replaced");   // moved out, and another take's file moved in under its name
    // Another recording of the same take, of the member's length, its times
    // kept: renamed over the member, or its bytes written into it.
    QTest::addColumn<QString>("recording");
    // On ext4 the folder's time is put back, as a copier keeping folder
    // times does; on exFAT a rename changes no folder time at all.
    QTest::newRow("member moved in, folder time put back") << false << true << false << QString();
    QTest::newRow("member moved in on exFAT") << true << true << false << QString();
    QTest::newRow("member moved out on exFAT") << true << false << false << QString();
    QTest::newRow("member replaced by another take's file") << false << false << true << QString();
    QTest::newRow("another recording renamed over a member") << false << false << false << "renamed";
    QTest::newRow("another recording renamed over a member on exFAT") << true << false << false << "renamed";
    QTest::newRow("another recording written into a member") << false << false << false << "written";
    QTest::newRow("another recording written into a member on exFAT") << true << false << false << "written";
}

void TestTakeSave::familyChangedSinceTheLoadIsRefused()
{
    QFETCH(bool, exfat);
    QFETCH(bool, movedIn);
    QFETCH(bool, replaced);
    QFETCH(QString, recording);
    std::unique_ptr<ExfatVolume> volume(exfat ? new ExfatVolume(m_pDir->path()) : nullptr);
    NALVO_REQUIRE_EXFAT(volume);
    const QString day = (volume ? volume->Path() : m_pDir->path()) + QStringLiteral("/DAY/");
    const WrittenTake written = WriteFamily(day, QStringLiteral("MOV001"), 5, Layouts::Same);
    if (!recording.isEmpty()) {
        ReplaceByAnotherRecording(written.files.at(4), recording == QLatin1String("renamed"));
        return;
    }
    const QString fifth = written.files.at(4);
    const QString aside = day + QStringLiteral("../OTHER/") + QFileInfo(fifth).fileName();
    QVERIFY(QDir().mkpath(QFileInfo(aside).path()));
    QVERIFY(!movedIn || QFile::rename(fifth, aside));
    // Old folder times, as a listing kept for the load would want them.
    const QByteArray folder = QFile::encodeName(day);
    const timeval old[2] = {{time(nullptr) - 60, 0}, {time(nullptr) - 60, 0}};
    QVERIFY(::utimes(folder.constData(), old) == 0);
    QSoundPerform take;
    QVERIFY(take.InitFilesZZ(TakePathOf(written), kExt));
    QCOMPARE(int(take.m_nFileCount), movedIn ? 4 : 5);
    QVERIFY(movedIn ? QFile::rename(aside, fifth) : QFile::rename(fifth, aside));
    // Another take's track under the member's name is never written as it.
    const QString other = replaced ? WriteFamily(day + QStringLiteral("../OTHER/"), QStringLiteral("OTH001"), 1,
                                                 Layouts::Same).files.at(0) : QString();
    const QByteArray otherBytes = replaced ? FileBytes(other) : QByteArray();
    QVERIFY(!replaced || QFile::rename(other, fifth));
    QVERIFY(exfat || ::utimes(folder.constData(), old) == 0);
    for (int t = 0; t < 5; ++t)
        take.m_SndFile[t].SetiXMLNote(t, QStringLiteral("changed"));
    QVERIFY(!take.UpdateiXMLChunk());
    const QString told = QStringLiteral("%1 %2").arg(QFileInfo(fifth).fileName(),
                                                     replaced  ? "was replaced by a file that is no member"
                                                     : movedIn ? "appeared" : "is gone");
    QVERIFY2(Messages().join(QLatin1Char('|')).contains(told), qPrintable(Messages().join(QLatin1Char('|'))));
    QVERIFY(!replaced || FileBytes(fifth) == otherBytes);
    // A fresh load reads one whole take, as it was.
    QSoundPerform fresh;
    QVERIFY(fresh.InitFilesZZ(TakePathOf(written), kExt));
    QCOMPARE(int(fresh.m_nFileCount), movedIn ? 5 : 4);
    QCOMPARE(int(fresh.m_nTakeStatus), 0);
    for (int t = 0; t < 5; ++t)
        QVERIFY(!fresh.m_pbPresent[t] || fresh.m_SndFile[t].GetiXMLNotes().trimmed() != QLatin1String("changed"));
}

void TestTakeSave::ReplaceByAnotherRecording(const QString& member, bool renamed)
{
    QSoundPerform take;
    QVERIFY(take.InitFilesZZ(QFileInfo(member).path() + QStringLiteral("/MOV001"), kExt));
    // The same take recorded again: its scene differs, its length and its
    // file's times are the member's.
    QByteArray other = FileBytes(member);
    QVERIFY(other.count("12A") >= 2);
    other.replace("12A", "99Z");
    struct stat before;
    QVERIFY(::stat(QFile::encodeName(member).constData(), &before) == 0);
    const timespec times[2] = {before.st_atim, before.st_mtim};
    const QString written = renamed ? member + QStringLiteral(".new") : member;
    QFile file(written);
    QVERIFY(file.open(renamed ? QIODevice::WriteOnly : QIODevice::ReadWrite));
    QCOMPARE(file.write(other), qint64(other.size()));
    file.close();
    QVERIFY(::utimensat(AT_FDCWD, QFile::encodeName(written).constData(), times, 0) == 0);
    QVERIFY(!renamed || ::rename(QFile::encodeName(written).constData(), QFile::encodeName(member).constData()) == 0);
    for (int t = 0; t < 5; ++t)
        take.m_SndFile[t].SetiXMLNote(t, QStringLiteral("changed"));
    QVERIFY(!take.UpdateiXMLChunk());
    const QString told = QFileInfo(member).fileName()
                         + (renamed ? QStringLiteral(" was replaced by another file since the take was opened")
                                    : QStringLiteral(" was rewritten by another program since the take was opened"));
    QVERIFY2(Messages().join(QLatin1Char('|')).contains(told), qPrintable(Messages().join(QLatin1Char('|'))));
    QCOMPARE(FileBytes(member), other);
}

void TestTakeSave::fullCardKeepsTheOldTake_data()
{
    QTest::addColumn<bool>("loopImage");
    QTest::addColumn<bool>("cutRefused");   // the card refuses the first cut back of a member's growth
    QTest::newRow("card of 64 KiB clusters, room for 22 more") << true << false;
    QTest::newRow("file size limit") << false << false;
    QTest::newRow("file size limit, the first cut back refused") << false << true;
}

void TestTakeSave::fullCardKeepsTheOldTake()
{
    QFETCH(bool, loopImage);
    QFETCH(bool, cutRefused);
    QString day = m_czDay;
    QString mountPoint;
    // Unmounted however the test ends.
    struct Unmount {
        QString point;
        ~Unmount()
        {
            if (!point.isEmpty())
                QProcess::execute(QStringLiteral("umount"), {point});
        }
    } unmount;
    auto run = [](const QString& program, const QStringList& arguments) {
        QProcess process;
        process.start(program, arguments);
        return process.waitForFinished(60000) && process.exitStatus() == QProcess::NormalExit
               && process.exitCode() == 0;
    };
    if (loopImage) {
        // A small ext4 card whose allocation unit is 64 KiB, loop-mounted.
        const QString mkfs = QStandardPaths::findExecutable(QStringLiteral("mkfs.ext4"), {"/sbin", "/usr/sbin"});
        if (geteuid() != 0 || mkfs.isEmpty())
            QSKIP("needs root and mkfs.ext4 to mount a card image");
        const QString image = m_pDir->path() + QStringLiteral("/card.img");
        mountPoint = m_pDir->path() + QStringLiteral("/card");
        QDir().mkpath(mountPoint);
        QFile file(image);
        QVERIFY(file.open(QIODevice::WriteOnly) && file.resize(12 * 1024 * 1024));
        file.close();
        if (!run(mkfs, {"-q", "-F", "-b", "4096", "-O", "bigalloc", "-C", "65536", "-m", "0", image})
            || !run(QStringLiteral("mount"), {"-o", "loop", image, mountPoint}))
            QSKIP("a card image cannot be mounted here");
        unmount.point = mountPoint;
        day = mountPoint + QStringLiteral("/DAY/");
        QDir().mkpath(day);
    }
    // Members that end 1500 bytes short of a 64 KiB cluster.
    const int shortLength = BuildMonoFile(FamilySpec(QStringLiteral("FUL001"), 24), 0).size();
    const quint32 frames = 480 + (quint32(65536 - 1500 - shortLength) / 3 & ~1u);
    const WrittenTake written = WriteFamily(day, QStringLiteral("FUL001"), 24, Layouts::Same, frames);
    QVERIFY(!written.files.isEmpty());
    QList<QByteArray> before;
    for (const QString& path : written.files)
        before << FileBytes(path);
    const qint64 length = before.first().size();
    QSoundPerform take;
    QVERIFY(take.InitFilesZZ(TakePathOf(written), kExt));
    // Every member grows into one more 64 KiB cluster; under the file size
    // limit the save record still fits, the members' growth does not.
    QVERIFY(length % 65536 > 65536 - 1600 && length % 65536 < 65536 - 1400);
    const int growth = loopImage ? 8192 : 400000;
    for (int t = 0; t < 24; ++t)
        take.m_SndFile[t].SetiXMLNote(t, QString(growth, QLatin1Char('n')));

    rlimit oldLimit{};
    if (loopImage) {
        // Room for 22 members' new clusters and more bytes than all grow by.
        struct statvfs volume {};
        QVERIFY(statvfs(QFile::encodeName(mountPoint).constData(), &volume) == 0);
        const qint64 freeBytes = qint64(volume.f_bavail) * qint64(volume.f_frsize);
        QFile filler(mountPoint + QStringLiteral("/filler"));
        QVERIFY(filler.open(QIODevice::WriteOnly));
        const qint64 keep = 22 * 65536 + 4096;
        QVERIFY(filler.write(QByteArray(int(freeBytes - keep), 'f')) == freeBytes - keep);
        filler.close();
        QVERIFY(qint64(24) * (growth + 8) < keep);
    } else {
        // A write past the limit fails (EFBIG) instead of raising SIGXFSZ.
        std::signal(SIGXFSZ, SIG_IGN);
        QVERIFY(getrlimit(RLIMIT_FSIZE, &oldLimit) == 0);
        rlimit limit = oldLimit;
        limit.rlim_cur = rlim_t(length + growth / 2);
        QVERIFY(setrlimit(RLIMIT_FSIZE, &limit) == 0);
    }
    // The card refuses the growth itself, not a count of free bytes.
    // On the card some members have grown when one finds no cluster left.
    QTest::ignoreMessage(QtDebugMsg, QRegularExpression(loopImage ? "member (1\\d|2[0-4]) of 24 cannot grow"
                                                                  : "member 1 of 24 cannot grow"));
    tyDiskFaultPlan cut;
    cut.eKind = DiskCall::Truncate;
    cut.nNth = cutRefused ? 1 : 0;
    DiskFaults::Arm(cut);
    const bool saved = take.UpdateiXMLChunk();
    DiskFaults::Disarm();
    if (!loopImage)
        setrlimit(RLIMIT_FSIZE, &oldLimit);
    QVERIFY(!saved);
    QVERIFY(!saved);
    for (int i = 0; i < written.files.size(); ++i)
        QCOMPARE(FileBytes(written.files.at(i)), before.at(i));
    QVERIFY(!QFileInfo::exists(TakeSaveJournalPath(day, QStringLiteral("FUL001"))));
    const QString noRoom = QStringLiteral("not enough space on the card to save take FUL001");
    QVERIFY2(Messages().join(QLatin1Char('|')).contains(noRoom),
             qPrintable(Messages().join(QLatin1Char('|'))));
    QSoundPerform again;
    QVERIFY(again.InitFilesZZ(TakePathOf(written), kExt));
    QCOMPARE(int(again.m_nTakeStatus), 0);
}

void TestTakeSave::interruptedSaveIsRolledBackOnLoad_data()
{
    QTest::addColumn<QString>("state");
    QTest::newRow("killed before the record was removed") << "committed";
    QTest::newRow("the same, a record of the version before writer tokens") << "format 3";
    QTest::newRow("the same in a folder whose listing is kept") << "listed";
    QTest::newRow("taken over by a load killed before it put the take back") << "taken";
    QTest::newRow("take deleted since") << "deleted";
    QTest::newRow("torn temporary record") << "torn";
    QTest::newRow("a member changed by another program since") << "changed";
    QTest::newRow("a member rewritten in place since, where the save wrote") << "rewritten";
    QTest::newRow("a member edited since past its old length, its length kept") << "tail";
    QTest::newRow("the card write-protected since") << "readonly";
    QTest::newRow("a record of another kind") << "garbage";
    QTest::newRow("the record's removal cannot be synced") << "unsynced";
    QTest::newRow("the record's removal at the load cannot be synced") << "removal";
    QTest::newRow("a write of a program without the folder lock") << "live";
    // Killed before the record got its name, held by an empty file (no atomic rename, no links).
    QTest::newRow("the record's name held by a killed rename") << "held";
    QTest::newRow("the same on an exFAT card") << "held exfat";
    QTest::newRow("a rename of the take's files killed, the card write-protected since") << "renamed readonly";
    QTest::newRow("a rename of the take's files killed, its record taken over by a load killed since") << "renamed taken";
    // Through a hard link: the file under both names, or its old name moved aside to be removed.
    QTest::newRow("a rename of the take's files killed between a link and its old name's removal") << "renamed linked";
    QTest::newRow("a rename of the take's files killed with an old name moved aside") << "renamed aside";
    // Its record moved aside to be removed, the save done.
    QTest::newRow("killed while the record's removal held it aside") << "aside";
    QTest::newRow("killed inside a member's commit, its record moved aside by another's removal") << "torn aside";
    QTest::newRow("the same, a member changed by another program since") << "torn aside changed";
    // The card's names read in one pass: the record found aside by that
    // listing, its put-back refused by the card at the first selection
    // (the folder's sweep and the load's own alike).
    QTest::newRow("the same on an exFAT card, its put-back refused at the first selection") << "torn aside exfat";
    // An earlier version's growing save: its record cannot tell its new bytes.
    QTest::newRow("a record of the first format, killed while reserving") << "format 1 reserving";
    QTest::newRow("a record of the first format, killed while committing") << "format 1 committing";
    QTest::newRow("a record of the second format, killed while reserving") << "format 2 reserving";
    QTest::newRow("a record of the second format, killed while committing") << "format 2 committing";
}

void TestTakeSave::interruptedSaveIsRolledBackOnLoad()
{
    QFETCH(QString, state);
    const int format = state.startsWith(QLatin1String("format")) ? state.at(7).digitValue() : 0;
    const bool held = state.startsWith(QLatin1String("held"));
    std::unique_ptr<ExfatVolume> volume(state.endsWith(QLatin1String("exfat")) ? new ExfatVolume(m_pDir->path()) : nullptr);
    NALVO_REQUIRE_EXFAT(volume);
    const QString day = volume ? volume->Path() + QLatin1Char('/') : m_czDay;
    QVERIFY(LocksReach(day));   // the local disk, an exFAT card through FUSE over its block device
    const WrittenTake written = WriteFamily(day, QStringLiteral("JNL001"), 3, Layouts::Orders);
    const QString takePath = TakePathOf(written);
    const QString journal = TakeSaveJournalPath(day, QStringLiteral("JNL001"));
    QList<QByteArray> before;
    for (const QString& path : written.files)
        before << FileBytes(path);
    // The record as it stood when the members were synced: all committed.
    QByteArray record;
    SetDiskSyncFunction([&](const QVector<int>& descriptors) {
        if (descriptors.size() > 1)
            record = FileBytes(journal);
        return state != QLatin1String("unsynced") || record.isEmpty() || QFileInfo::exists(journal);
    });
    QSoundPerform take;
    QVERIFY(take.InitFilesZZ(takePath, kExt));
    for (int t = 0; t < 3; ++t)
        take.m_SndFile[t].SetiXMLNote(t, QString(7000, QLatin1Char('n')));
    // Torn in its second member, the record where another's removal moved
    // it: undone from there as from its own name.
    if (state.startsWith(QLatin1String("torn aside")))
        QVERIFY(!SaveTornWithRecordAside(take, written.files, 1, journal).isEmpty());
    else
        QVERIFY(take.UpdateiXMLChunk());
    QVERIFY(state != QLatin1String("unsynced") || Messages().join(' ').contains(QString::fromLocal8Bit(strerror(EIO))));
    if (state == QLatin1String("unsynced"))
        return;
    QVERIFY(!record.isEmpty());
    QVERIFY(!QFileInfo::exists(journal));

    if (state == QLatin1String("garbage")) {
        QVERIFY(WriteBytes(journal, "not a record"));
    } else if (held) {
        QVERIFY(WriteBytes(journal, QByteArray()) && WriteBytes(journal + QLatin1Char('~'), record));
        for (int i = 0; i < written.files.size(); ++i)
            QVERIFY(WriteBytes(written.files.at(i), before.at(i)));
    } else if (format) {
        const bool committing = state.endsWith(QLatin1String("committing"));
        const QByteArray older = OlderRecord(record, quint32(format));
        QVERIFY(!older.isEmpty() && WriteBytes(journal, older));
        // Reserving: the first member grown past its end; committing: the first saved, the others grown.
        for (int i = 0; format < 3 && i < written.files.size(); ++i) {
            const QByteArray now = FileBytes(written.files.at(i));
            QVERIFY(now.size() > before.at(i).size());
            const QByteArray grown = before.at(i) + now.mid(before.at(i).size());
            QVERIFY((committing && i == 0) || WriteBytes(written.files.at(i), committing == (i > 0) ? grown : before.at(i)));
        }
    } else if (state.startsWith(QLatin1String("renamed"))) {
        // As a kill leaves it: recorded under both names, one file moved.
        std::vector<tyReplaceEntry> moves;
        for (const QString& path : written.files)
            moves.push_back({path, QString(path).replace(QLatin1String("JNL001"), QLatin1String("JNL009")), QString()});
        ReplaceJournal renames;
        QVERIFY(renames.BeginRenames({ReplaceJournal::PathFor(moves[0].czTemporary), ReplaceJournal::PathFor(moves[0].czFinal)}, moves));
        const QByteArray from = QFile::encodeName(moves[0].czTemporary), to = QFile::encodeName(moves[0].czFinal);
        QVERIFY(state == QLatin1String("renamed linked") || state == QLatin1String("renamed aside")
                    ? ::link(from.constData(), to.constData()) == 0
                    : QFile::rename(moves[0].czTemporary, moves[0].czFinal));
        QVERIFY(state != QLatin1String("renamed aside") || QFile::rename(moves[0].czTemporary, RemovalAsideName(moves[0].czTemporary)));
        const QString old = ReplaceJournal::PathFor(moves[0].czTemporary);
        QVERIFY(state != QLatin1String("renamed taken") || QFile::rename(old, TakenOverRecordPath(old)));
    } else if (state == QLatin1String("torn")) {
        QVERIFY(WriteBytes(journal + QLatin1Char('~'), record.left(record.size() / 2)));
    } else if (state == QLatin1String("taken")) {
        QVERIFY(WriteBytes(TakenOverRecordPath(journal), record));
    } else if (state == QLatin1String("torn aside changed")) {
        // Not undone, told so: the record stays, and the take's line blames
        // no recorder.
        QVERIFY(WriteBytes(written.files.at(2), WithChunk(FileBytes(written.files.at(2)), "", "LIST", 64)));
        QSoundPerform kept;
        const QString line = kept.ProblemLine(kept.QuickInitFiles(takePath, kExt, nullptr, true), day, "JNL001");
        QVERIFY2(line.contains("parts of an interrupted save") && Messages().join(' ').contains("could not be undone"),
                 qPrintable(line + '|' + Messages().join('|')));
        QCOMPARE(RecordsIn(day).size(), 1);
        return;
    } else if (state.startsWith(QLatin1String("torn aside"))) {
        QVERIFY(RecordsIn(day).size() == 1);   // as the kill and the removal left it
    } else if (state == QLatin1String("aside")) {
        // Its save done: the next load's sweep removes the record, and the
        // take reads as saved.
        QList<QByteArray> after;
        for (const QString& path : written.files)
            after << FileBytes(path);
        QVERIFY(WriteBytes(RemovalAsideName(journal), record));
        QSoundPerform loaded;
        QVERIFY(loaded.InitFilesZZ(takePath, kExt));
        QCOMPARE(RecordsIn(day), QStringList());
        for (int i = 0; i < written.files.size(); ++i)
            QCOMPARE(FileBytes(written.files.at(i)), after.at(i));
        QVERIFY2(!Messages().join(' ').contains(QLatin1String("nterrupted")), qPrintable(Messages().join('|')));
        return;
    } else {
        QVERIFY(WriteBytes(journal, record));
    }
    if (state == QLatin1String("deleted")) {
        for (const QString& path : written.files)
            QVERIFY(QFile::remove(path));
    }
    if (state == QLatin1String("renamed linked") || state == QLatin1String("renamed aside")) {
        // Taken back where the file stands under both names, else forward;
        // no second name and nothing aside stays.
        QSoundPerform loaded;
        QVERIFY(loaded.InitFilesZZ(state.endsWith(QLatin1String("aside")) ? day + QStringLiteral("JNL009") : takePath, kExt));
        QCOMPARE(int(loaded.m_nFileCount), 3);
        QCOMPARE(QDir(day).entryList({QStringLiteral("JNL*")}, QDir::Files | QDir::Hidden).size(), 3);
        QCOMPARE(QDir(day).entryList({QStringLiteral("*.nalvo-gone-*")}, QDir::Files | QDir::Hidden), QStringList());
        QCOMPARE(RecordsIn(day), QStringList());
        return;
    }
    if (state == QLatin1String("renamed taken")) {
        // Its other copy settles the rename forward, the take-over goes too.
        QSoundPerform moved;
        QVERIFY(moved.InitFilesZZ(day + QStringLiteral("JNL009"), kExt));
        QCOMPARE(int(moved.m_nFileCount), 3);
        QCOMPARE(RecordsIn(day), QStringList());
        return;
    }
    QVERIFY(state != QLatin1String("listed") || AgeFile(day, 3600));
    QList<QByteArray> saved;
    if (state == QLatin1String("changed"))
        QVERIFY(WriteBytes(written.files.at(1), WithChunk(FileBytes(written.files.at(1)), "", "LIST", 64)));
    if (state == QLatin1String("rewritten")) {
        // The length kept: where the save wrote, a byte that is neither
        // the old one nor the save's.
        QList<tyChunkUndo> members;
        QVERIFY(ReadChunkJournal(journal, &members));
        QByteArray bytes = FileBytes(written.files.at(1));
        const auto& span = members.at(1).lRegions.last();
        const char old = span.second.at(0), now = bytes.at(int(span.first));
        bytes[int(span.first)] = old != 'Q' && now != 'Q' ? 'Q' : old != 'Z' && now != 'Z' ? 'Z' : 'X';
        QVERIFY(WriteBytes(written.files.at(1), bytes));
    }
    if (state == QLatin1String("tail")) {
        // Another program's edit of the grown iXML (a track renamed, the
        // length kept): the save's own bytes no longer, so nothing is cut.
        QList<tyChunkUndo> members;
        QVERIFY(ReadChunkJournal(journal, &members));
        QByteArray bytes = FileBytes(written.files.at(1));
        const int at = int(members.at(1).nOldLength + (bytes.size() - members.at(1).nOldLength) / 2);
        bytes[at] = bytes.at(at) == 'Q' ? 'Z' : 'Q';
        QVERIFY(WriteBytes(written.files.at(1), bytes));
    }
    const bool foreign = state == QLatin1String("changed") || state == QLatin1String("rewritten")
                         || state == QLatin1String("tail");
    for (int i = 0; foreign && i < written.files.size(); ++i)
        saved << FileBytes(written.files.at(i));
    if (state == QLatin1String("removal"))
        SetDiskSyncFunction([&](const QVector<int>&) { return QFileInfo::exists(TakenOverRecordPath(journal)); });
    m_pSpy->clear();
    if (state.endsWith(QLatin1String("readonly")) || (format && format < 3)) {
        // Refused with its line, nothing written: an earlier version's half save is never
        // read whole nor taken over by a conversion; a write-protected card's is undone
        // (its rename finished) by a load once writable again.
        const bool renamed = state.startsWith(QLatin1String("renamed"));
        const QStringList names = QDir(day).entryList(QDir::Files | QDir::Hidden);
        const QString protectedDay = format ? day : m_pDir->path() + QStringLiteral("/card/");
        const auto run = [](const QStringList& arguments) { return QProcess::execute(QStringLiteral("mount"), arguments) == 0; };
        if (!format && (!QDir().mkpath(protectedDay) || !run({QStringLiteral("--bind"), day, protectedDay}))) {
            QVERIFY2(qEnvironmentVariableIsEmpty("CI"), "no read-only bind mount");
            QSKIP("a read-only bind mount needs root");
        }
        auto unmount = qScopeGuard([&] { QProcess::execute(QStringLiteral("umount"), {protectedDay}); });
        if (format)
            unmount.dismiss();
        QVERIFY(format || run({QStringLiteral("-o"), QStringLiteral("remount,ro,bind"), protectedDay}));
        QList<QByteArray> left;
        for (const QString& path : written.files)
            left << FileBytes(path);
        // Either name of a renamed take: neither is shown split.
        for (const QString& name : {QStringLiteral("JNL001"), QStringLiteral("JNL009")}) {
            QSoundPerform refused;
            QVERIFY(!refused.InitFilesZZ(protectedDay + name, kExt));
            const QString line = format    ? "earlier version of this program was interrupted"
                                 : renamed ? "write-protected, and an interrupted rename"
                                           : "write-protected, and an interrupted save";
            QVERIFY2(refused.LoadFailureText().contains(line), qPrintable(refused.LoadFailureText()));
            if (!renamed)
                break;
        }
        QString why;
        QVERIFY(!format || !RollBackSavesBeforeReplacingAlone(written.files, &why));
        QCOMPARE(QDir(day).entryList(QDir::Files | QDir::Hidden), names);
        for (int i = 0; i < written.files.size(); ++i)
            QCOMPARE(FileBytes(written.files.at(i)), left.at(i));
        QVERIFY(renamed || QFileInfo::exists(journal));
        const QString told = Messages().join('|');
        QVERIFY2((!format || Messages().size() == 1) && !told.contains(QLatin1String("Wrong File"))
                     && !told.contains(QLatin1String("could not be finished")) && !told.contains(QLatin1String("differ"))
                     && !told.contains(QLatin1String("changed since by another program")),
                 qPrintable(told));
        if (format)
            return;
        unmount.dismiss();
        QCOMPARE(QProcess::execute(QStringLiteral("umount"), {protectedDay}), 0);
        QSoundPerform whole;
        QVERIFY(whole.InitFilesZZ(renamed ? day + QStringLiteral("JNL009") : takePath, kExt));
        QCOMPARE(int(whole.m_nFileCount), 3);
        for (int i = 0; !renamed && i < written.files.size(); ++i)
            QCOMPARE(FileBytes(written.files.at(i)), before.at(i));
        return;
    }
    if (state == QLatin1String("torn aside exfat")) {
        // A selection while the card refuses the put-back: not read torn,
        // the record stays for the next one.
        tyDiskFaultPlan refused;
        refused.eKind = DiskCall::Rename;
        refused.nNth = 1;
        refused.bPersistent = true;
        DiskFaults::Arm(refused);
        QSoundPerform selected;
        const bool read = selected.QuickInitFiles(takePath, kExt, nullptr, true);
        DiskFaults::Disarm();
        QVERIFY(!read || selected.m_nTakeStatus != 0);
        QCOMPARE(RecordsIn(day).size(), 1);
        m_pSpy->clear();
    }
    ReplaceJournal live;
    QVERIFY(state != QLatin1String("live") || live.Begin(ReplaceJournal::PathForTake(day, QStringLiteral("JNL001")), {}, {}));
    QSoundPerform reloaded;
    const bool loaded = reloaded.InitFilesZZ(takePath, kExt);
    QVERIFY(state != QLatin1String("live") || (!loaded && QFileInfo::exists(journal) && Messages().join(' ').contains(QLatin1String("being saved"))));
    if (state == QLatin1String("live"))
        return;
    if (state == QLatin1String("garbage")) {
        // Told, and read as the files hold it; saved again, the record that
        // could never be applied goes.
        QVERIFY(loaded && Messages().join(' ').contains(QLatin1String("not a save record")));
        const bool resaved = reloaded.UpdateiXMLChunk();
        QVERIFY2(resaved, qPrintable(Messages().join('|')));
        QVERIFY(!QFileInfo::exists(journal));
        return;
    }
    if (foreign) {
        // Nothing is put back, the record stays, and the user is told which
        // file changed and which hold the save.
        for (int i = 0; i < written.files.size(); ++i)
            QCOMPARE(FileBytes(written.files.at(i)), saved.at(i));
        QVERIFY(QFileInfo::exists(journal));
        QVERIFY(!Messages().isEmpty() && Messages().first().contains(QLatin1String("could not be undone")));
        const QString text = Messages().first();
        const QString name = QFileInfo(written.files.at(1)).fileName();
        QVERIFY2(text.contains(name + QStringLiteral(": the file changed since")), qPrintable(text));
        QVERIFY(text.section(QStringLiteral("hold part"), 1).contains(QFileInfo(written.files.at(0)).fileName()));
        QVERIFY(!text.section(QStringLiteral("hold part"), 1).contains(name));
        return;
    }
    QCOMPARE(RecordsIn(day), QStringList());
    if (state == QLatin1String("deleted")) {
        QVERIFY(!loaded);
        QVERIFY(Messages().isEmpty());
        return;
    }
    QVERIFY(loaded);
    QCOMPARE(int(reloaded.m_nTakeStatus), 0);
    if (state == QLatin1String("torn")) {
        // The save itself finished; only its unfinished record is gone.
        QCOMPARE(reloaded.m_SndFile[0].GetiXMLNotes(), QString(7000, QLatin1Char('n')));
        QVERIFY(Messages().isEmpty());
        return;
    }
    for (int i = 0; i < written.files.size(); ++i)
        QCOMPARE(FileBytes(written.files.at(i)), before.at(i));
    // Told once (a record that never got its name: not at all); nothing more to undo.
    const int told = state == QLatin1String("removal") ? 2 : held ? 0 : 1;
    QCOMPARE(Messages().size(), told);
    QVERIFY(!told || Messages().first().contains(QLatin1String("interrupted save")));
    QVERIFY(told < 2 || Messages().last().contains(QString::fromLocal8Bit(strerror(EIO))));
    QSoundPerform third;
    QVERIFY(third.InitFilesZZ(takePath, kExt));
    QCOMPARE(Messages().size(), told);
    QString why;
    QVERIFY2(!held || RollBackSavesBeforeReplacingAlone(written.files, &why), qPrintable(why));
}

void TestTakeSave::foreignMetadataKeptThroughAnEdit_data()
{
    QTest::addColumn<bool>("poly");
    QTest::addColumn<QByteArray>("from");   // in the recorder's iXML and bext
    QTest::addColumn<QByteArray>("to");
    QTest::addColumn<int>("status");        // of the take as loaded
    QTest::addColumn<QString>("typed");     // the scene, note and track name
    QTest::addColumn<QString>("read");      // the note and name read back
    QTest::addColumn<QByteArray>("kept");   // in the saved iXML or bext
    QTest::addColumn<int>("form");          // of the recorder's iXML
    QTest::addColumn<int>("shape");         // a Breakage of every member's chunks, -1 none
    const QString typed = QStringLiteral("Sc\U0001F3AC \u65E5\u672C \u0416");
    auto row = [&typed](const char* name, const QByteArray& from, const QByteArray& to, const QByteArray& kept,
                        IxmlForm form = IxmlForm::Utf8, int shape = -1) {
        QTest::newRow(name) << false << from << to << 0 << typed << typed << kept << int(form) << shape;
    };
    const QByteArray end = "</BWFXML>";
    row("comment", end, "<!-- by hand -->" + end, "<!-- by hand -->");
    row("CDATA", end, "<X><![CDATA[&#x1F600; <b>]]></X>" + end, "<![CDATA[&#x1F600; <b>]]>");
    row("attribute", end, "<X a=\"1\">v</X>" + end, "<X a=\"1\">v</X>");
    row("namespace", end, "<n:X xmlns:n=\"urn:x\">v</n:X>" + end, "<n:X xmlns:n=\"urn:x\">v</n:X>");
    row("byte order mark", "<?xml", "\xEF\xBB\xBF<?xml", "<CIRCLED>FALSE</CIRCLED>");
    row("entities", end, "<X>S&amp;H &lt;1&gt;</X>" + end, "<X>S&amp;H &lt;1></X>");
    row("unknown and duplicated", end, "<X>1</X><X>2</X>" + end, "<X>1</X>\n  <X>2</X>");
    row("doctype", "<BWFXML>", "<!DOCTYPE BWFXML><BWFXML>", "<!DOCTYPE BWFXML>");
    const QByteArray subset = "<!DOCTYPE BWFXML [<!ENTITY a \"[\"><!-- ] > --><!ENTITY b '<Y/>'>]>";
    row("doctype subset", "<BWFXML>", subset + "<BWFXML><X>&#x1F3AC;&a;&b;</X>", subset + "\n");
    row("reference after a bracket in a subset literal", "<BWFXML>", subset + "<BWFXML><X>&#x1F3AC;&a;&b;</X>",
        "<X>\xF0\x9F\x8E\xAC[<Y/>");
    row("UTF-16LE with a byte order mark", end, "<X>&#x1F3AC;\xC3\xA9</X>" + end, "<X>\xF0\x9F\x8E\xAC\xC3\xA9</X>",
        IxmlForm::Utf16LEWithBom);
    row("UTF-16BE bare", end, "<X>v</X>" + end, "<X>v</X>", IxmlForm::Utf16BEBare);
    row("UTF-16 doctype subset", "<BWFXML>", subset + "<BWFXML>", subset, IxmlForm::Utf16LEWithBom);
    row("CR LF", "\n", "\r\n", "aSPEED=025.000-ND\r\r\naTAG=");
    row("references above U+FFFF", end, "<X>&#x1F600;&#127916;</X>" + end, "<X>\xF0\x9F\x98\x80\xF0\x9F\x8E\xAC</X>");
    row("characters XML cannot hold", end, "<X>a&#1;b\x02&#xFFFE;</X>" + end, "<X>a b ?</X>");
    row("bext lines ended by CR", "\r\n", "\r", "\raSPEED=025.000-ND\raTAG=FOR001\raTYP=mono\raCHNL=C1\r");
    row("bext lines ended by LF", "\r\n", "\n", "\naSPEED=025.000-ND\naTAG=");
    row("stray CR in the bext", "T001\r\n", "T001\r", "\raSPEED=025.000-ND\r\n");
    row("forty unknown chunks before the data", {}, {}, "<CIRCLED>FALSE</CIRCLED>", IxmlForm::Utf8, int(Breakage::FortyUnknownChunks));
    row("a stale second iXML chunk", {}, {}, "<CIRCLED>FALSE</CIRCLED>", IxmlForm::Utf8, int(Breakage::TwoIxmlChunks));
    const int utf8 = int(IxmlForm::Utf8);
    QTest::newRow("typed characters XML cannot hold")
        << false << QByteArray() << QByteArray() << 0 << QStringLiteral("a\uFFFE\u0001b\uFFFF") + QChar(0xD800)
        << QStringLiteral("a? b?\x3F") << QByteArray("<NOTE>a? b?\x3F</NOTE>") << utf8 << -1;
    QTest::newRow("unreadable iXML") << false << end << QByteArray() << 5 << typed << typed << QByteArray("aSPEED=") << utf8 << -1;
    QTest::newRow("poly entries of one channel")
        << true << QByteArray("<CHANNEL_INDEX>2<") << QByteArray("<CHANNEL_INDEX>1<") << 0 << typed << typed
        << QByteArray("<CHANNEL_INDEX>1</CHANNEL_INDEX>\n    <INTERLEAVE_INDEX>2<") << utf8 << -1;
}

void TestTakeSave::foreignMetadataKeptThroughAnEdit()
{
    // Another program's metadata, loaded, edited and saved: the values come
    // back as typed, what the edit does not own stays as it was, and the
    // audio is untouched.
    QFETCH(bool, poly);
    QFETCH(QByteArray, from);
    QFETCH(QByteArray, to);
    QFETCH(int, status);
    QFETCH(QString, typed);
    QFETCH(QString, read);
    QFETCH(QByteArray, kept);
    QFETCH(int, form);
    QFETCH(int, shape);
    // A family of two: the second member's document is shared with the first's.
    const TakeSpec spec = (poly ? PolyTake : MonoTake)(QStringLiteral("FOR001"), {0, 1});
    const QString path = m_czDay + TrackFileName(spec, 0);
    const QByteArray original = poly ? BuildPolyFile(spec) : BuildMonoFile(spec, 0);
    for (int i = 0; i < (poly ? 1 : 2); ++i) {
        const QByteArray bytes = poly ? original : shape >= 0 ? BuildBrokenFile(spec, Breakage(shape), i)
                                                              : BuildMonoFile(spec, i);
        QVERIFY(WriteBytes(m_czDay + TrackFileName(spec, i), from.isEmpty() ? bytes : WithMetadata(bytes, from, to, IxmlForm(form))));
    }
    const QString takePath = poly ? path.chopped(4) : AudioPathFileShortenedToRacine(path);
    QSoundPerform take;
    QVERIFY(take.InitFilesZZ(takePath, kExt));
    QCOMPARE(take.m_nTakeStatus, status);
    QSoundFile& file = take.m_SndFile[0];
    file.SetiXMLScene(0, typed, 0, false, {}, {});
    file.SetiXMLNote(0, typed);
    take.SetiXMLTrackName(0, typed);
    QVERIFY(file.InsertInBextDescr(typed, QStringLiteral("t"), QStringLiteral("3"), 0, typed, QStringLiteral("1"),
                                   QStringLiteral("T001"), poly ? -1 : 0, typed));
    QVERIFY(take.UpdateiXMLChunk());
    QCOMPARE(Messages().filter(QStringLiteral("could not be read")).size(), status == 5 ? 1 : 0);

    const RiffInfo saved = ReadRiffFile(path);
    QCOMPARE(saved.data, ParseRiff(original).data);
    // One iXML chunk left (a stale one retired): this reader takes the last.
    QCOMPARE(saved.ChunkIds().count(QStringLiteral("iXML")), 1);
    if (!poly) {
        const QString second = m_czDay + TrackFileName(spec, 1);
        QCOMPARE(ReadRiffFile(second).data, ParseRiff(BuildMonoFile(spec, 1)).data);
        QCOMPARE(QFileInfo(second).size(), QFileInfo(path).size());
    }
    QCOMPARE(IxmlRoot(saved.ixml), QStringLiteral("BWFXML"));
    QVERIFY2(saved.ixml.contains(kept) || saved.description.contains(kept), saved.ixml.constData());
    // Whatever the recorder's form, the text is saved as UTF-8 that says so,
    // and the elements the edit does not own stay (a readable text's).
    QVERIFY(saved.ixml.startsWith("<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n"));
    if (status == 0) {
        QCOMPARE(IxmlValue(saved.ixml, QStringLiteral("IXML_VERSION")), QStringLiteral("1.61"));
        QCOMPARE(IxmlValue(saved.ixml, QStringLiteral("SPEED/TIMECODE_RATE")), QStringLiteral("25/1"));
        QCOMPARE(IxmlValue(saved.ixml, QStringLiteral("TRACK_LIST/TRACK/CHANNEL_INDEX")), QStringLiteral("1"));
    }
    QSoundPerform reloaded;
    QVERIFY(reloaded.InitFilesZZ(takePath, kExt));
    QCOMPARE(reloaded.m_nTakeStatus, 0);
    QCOMPARE(reloaded.m_SndFile[0].GetiXMLNotes(), read);
    QCOMPARE(reloaded.m_SndFile[0].GetiXMLScene(), read);
    QCOMPARE(reloaded.m_czTrackName[0], read);
    QCOMPARE(reloaded.m_SndFile[0].GetBextDescrValue(QStringLiteral("aTAPE=")), QStringLiteral("T001"));
}

void TestTakeSave::runningSavesAreNeitherUndoneNorInterleaved_data()
{
    QTest::addColumn<QString>("other");   // a thread, or a child loading (round 0), saving, or loading a day (<0)
    QTest::addColumn<int>("dayLoaders");  // day loader threads: saves wait for no more loads, loads for a slow save
    QTest::addColumn<bool>("exfat");      // the day on an exFAT card (exfat-fuse), not the local disk
    QTest::newRow("a loader thread") << "thread" << 0 << false;   // NALVO_SAVE_RACE_ROUNDS: more rounds than CI's
    QTest::newRow("a loader process") << "0" << 0 << false;
    QTest::newRow("a saver process") << "100000" << 0 << false;
    QTest::newRow("six day loader threads") << "thread" << 6 << false;
    QTest::newRow("a process with six day loader threads") << "-6" << 0 << false;
    QTest::newRow("a process with six day loader threads on exFAT") << "-6" << 0 << true;
    // A load of a slow card that reads on past the save's wait keeps the
    // save waiting; one that reads nothing for the whole wait has it refused.
    QTest::newRow("a process's load reading on longer than the wait") << "share 1000" << 0 << false;
    QTest::newRow("a process's load stuck longer than the wait") << "share 0" << 0 << false;
}

void TestTakeSave::runningSavesAreNeitherUndoneNorInterleaved()
{
    if (!InTablePart(QTest::currentDataTag()))
        QSKIP("a row of another part of the table");
    QFETCH(QString, other);
    QFETCH(int, dayLoaders);
    QFETCH(bool, exfat);
    std::unique_ptr<ExfatVolume> volume(exfat ? new ExfatVolume(m_pDir->path()) : nullptr);
    NALVO_REQUIRE_EXFAT(volume);
    const QString dayFolder = volume ? volume->Path() + QLatin1Char('/') : m_czDay;
    const QString takePath = TakePathOf(WriteFamily(dayFolder, QStringLiteral("RAC001"), 24, Layouts::Orders));
    const bool day = dayLoaders > 0 || other.startsWith(QLatin1Char('-'));
    for (int i = 1; day && i < 200; ++i)
        QVERIFY(!WriteFamily(dayFolder, QFileInfo(DayTake(takePath, i)).fileName(), 2, Layouts::Same).files.isEmpty());
    const int slowMs = dayLoaders > 0 ? 5500 : 0;   // the first sync: past a load's wait; the bound skips the others
    std::atomic<int> slowSync{slowMs};
    if (day)
        SetDiskSyncFunction([&slowSync](const QVector<int>&) { QThread::msleep(quint32(slowSync.exchange(0))); return true; });
    std::atomic<int> stop{other != QLatin1String("thread")}, wrongLoads{0};
    std::vector<std::thread> loaders;   // the checker sees their join
    StartLoaders(&loaders, qMax(1, dayLoaders), takePath, day, stop, &wrongLoads, [&](const QString& path) {
        return path == takePath ? LoadedRound(path) >= 0 : QSoundPerform().InitFilesZZ(path, kExt);
    });
    auto joinLoaders = qScopeGuard([&] {
        stop = 1;
        for (std::thread& loader : loaders)
            loader.join();
    });
    QProcess child;
    const bool share = other.startsWith(QLatin1String("share "));
    if (share)
        child.start(QCoreApplication::applicationFilePath(), {QStringLiteral("--hold-share"), dayFolder, other.mid(6)});
    else if (other != QLatin1String("thread"))
        child.start(QCoreApplication::applicationFilePath(), {QStringLiteral("--save-loop"), takePath, other});
    QVERIFY(other == QLatin1String("thread") || child.waitForReadyRead(20000));
    QSoundPerform take;
    QVERIFY(take.InitFilesZZ(takePath, kExt));
    for (int round = 1; round <= qMax(20, qEnvironmentVariableIntValue("NALVO_SAVE_RACE_ROUNDS")); ++round) {
        QThread::usleep(quint32(round * 7919) % 9000);   // spread over the other's cycle
        SetRound(take, round);
        const bool saved = take.UpdateiXMLChunk();
        // Loads of the rest of the day never starve a save into a refusal
        // (how long it takes amid them: bench_take_io (e)), nor does a long
        // load that reads on; a stuck one does, told plainly.
        const bool refused = other == QLatin1String("share 0") && round == 1;
        QVERIFY2(refused ? !saved && Messages().join('|').contains(QLatin1String("being saved or read")) : !(day || share) || saved,
                 qPrintable(QString::number(round) + QLatin1String(": ") + Messages().join('|')));
        const int loaded = LoadedRound(takePath);   // saved: whole (or the other's later); refused: old, whole
        QVERIFY2(saved ? loaded == round || loaded >= 100000 : loaded >= 0, qPrintable(QString::number(round)));
        QVERIFY(saved || take.InitFilesZZ(takePath, kExt));
    }
    QCOMPARE(wrongLoads.load(), 0);
}

// A load sweeps what a killed copy left beside the take, also in a folder
// swept before whose time tells it changed since, and the clock probe of a
// load killed while it judged a record by the share's clock: once older
// than the age rule by that clock, and only a name of the probe's form.
void TestTakeSave::killedCopiesTemporariesGoAtALoad_data()
{
    QTest::addColumn<bool>("sweptBefore");
    QTest::addColumn<QString>("left");    // the name left beside the take
    QTest::addColumn<int>("age");         // its age in seconds
    QTest::addColumn<int>("timeShift");   // the take on a lockless share telling times so shifted; 0: the local disk
    QTest::addColumn<bool>("goes");
    QTest::addColumn<QByteArray>("content");   // of the name left; empty: a killed copy's
    const QString part = QStringLiteral(".SWP001_1.WAV.nalvo-part-00fa9e");
    const QString probe = QStringLiteral(".nalvo-clock-00c0ffee1234abcd");
    QTest::newRow("folder not swept yet") << false << part << 0 << 0 << true << QByteArray();
    QTest::newRow("folder changed since its last sweep") << true << part << 0 << 0 << true << QByteArray();
    QTest::newRow("a clock probe a killed load left") << true << probe << kRecordLiveSeconds + 5 << 0 << true << QByteArray();
    QTest::newRow("a clock probe of a load at work") << false << probe << 2 << 0 << false << QByteArray();
    QTest::newRow("a name of another form, as old") << false << QStringLiteral(".nalvo-clock-00c0ffee1234ABCD")
                                                    << kRecordLiveSeconds + 5 << 0 << false << QByteArray();
    QTest::newRow("a clock probe of a load at work, the share's times 40 s behind") << false << probe << 2 << -40 << false << QByteArray();
    QTest::newRow("a clock probe a killed load left, the share's times 300 s ahead")
        << false << probe << kRecordLiveSeconds + 5 << 300 << true << QByteArray();
    // A copy of ours a FUSE volume kept as removed while open goes once no
    // writer may hold it; a user's file kept so stays.
    const QString hidden = QStringLiteral(".fuse_hidden0000002700000008");
    const QByteArray record = QByteArray("NALVO-SAVE-JOURNAL", 19) + QByteArray(40, 'r');
    QTest::newRow("a save record's copy a FUSE volume kept") << true << hidden << 0 << 0 << true << record;
    QTest::newRow("a renames record's copy a FUSE volume kept") << true << hidden << 0 << 0 << true << QByteArray("nalvo-commit\nW\t00\n");
    QTest::newRow("a clock probe's copy a FUSE volume kept") << true << hidden << 0 << 0 << true << QByteArray("t");
    QTest::newRow("a user's file a FUSE volume keeps as removed while open") << true << hidden << kRecordLiveSeconds + 5 << 0 << false << QByteArray("t, a user's");
    QTest::newRow("a save record's copy a FUSE volume kept a moment ago, the share's times 300 s ahead") << true << hidden << 2 << 300 << false << record;
    QTest::newRow("a save record's copy a FUSE volume kept, the share's times 40 s behind") << true << hidden << kRecordLiveSeconds + 5 << -40 << true << record;
}

void TestTakeSave::killedCopiesTemporariesGoAtALoad()
{
    QFETCH(bool, sweptBefore);
    QFETCH(QString, left);
    QFETCH(int, age);
    QFETCH(int, timeShift);
    QFETCH(bool, goes);
    QFETCH(QByteArray, content);
    std::unique_ptr<LocklessShare> share(
        timeShift ? new LocklessShare(LocklessTool(), m_pDir->path(), {QStringLiteral("--time-shift=%1").arg(timeShift)})
                  : nullptr);
    if (share)
        NALVO_REQUIRE_LOCKLESS_SHARE(*share);
    // Written and aged in the folder itself; loaded through the share.
    const QString folder = share ? share->Folder() : m_czDay, day = share ? share->Mount(0) : m_czDay;
    const WrittenTake written = WriteFamily(folder, QStringLiteral("SWP001"), 2, Layouts::Orders);
    const QString take = day + QFileInfo(TakePathOf(written)).fileName();
    QSoundPerform loaded;
    QVERIFY(!sweptBefore || (AgeFile(folder, 3600) && loaded.InitFilesZZ(take, kExt)));
    QVERIFY(WriteBytes(folder + left, content.isEmpty() ? QByteArray("a killed copy's") : content)
            && AgeFile(folder + left, age));
    QVERIFY(loaded.InitFilesZZ(take, kExt));
    QCOMPARE(QFileInfo::exists(folder + left), !goes);
    QCOMPARE(QDir(folder).entryList({QStringLiteral(".nalvo-clock-*")}, QDir::Hidden | QDir::Files),
             QFileInfo::exists(folder + left) && left.startsWith(QLatin1String(".nalvo-clock")) ? QStringList{left}
                                                                                              : QStringList());
}

int main(int argc, char** argv)
{
    if (argc >= 4 && QByteArray(argv[1]) == "--save-loop") {
        EndWithParent();
        QCoreApplication app(argc, argv);
        return SaveLoop(QString::fromLocal8Bit(argv[2]), QByteArray(argv[3]).toInt(),
                        argc > 4 ? QString::fromLocal8Bit(argv[4]) : QString());
    }
    if (argc >= 4 && QByteArray(argv[1]) == "--hold-share") {
        EndWithParent();
        return HoldShare(QString::fromLocal8Bit(argv[2]), QByteArray(argv[3]).toInt());
    }
    if (!TakeTablePart(&argc, argv))
        return 2;
    QCoreApplication app(argc, argv);
    TestTakeSave test;
    return QTest::qExec(&test, argc, argv);
}

#include "test_takesave.moc"

