// New files appear complete under their final name or not at all.
#include "foundation/fileinfolist.h"
#include "foundation/safeoutput.h"
#include "foundation/platform/diskprobes.h"
#include "tests/support/fullvolume.h"

#include <QDir>
#include <QProcess>
#include <QTemporaryDir>
#include <QtTest>

#include <csignal>
#include <cstdio>
#include <fcntl.h>
#include <sys/stat.h>

namespace {
QByteArray ReadAll(const QString& path)
{
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
}

void WriteFile(const QString& path, const QByteArray& bytes)
{
    QFile file(path);
    QVERIFY(file.open(QIODevice::WriteOnly));
    QCOMPARE(file.write(bytes), qint64(bytes.size()));
}

// Every entry of the folder, hidden ones included.
QStringList Entries(const QString& folder)
{
    return QDir(folder).entryList(QDir::AllEntries | QDir::Hidden | QDir::NoDotAndDotDot, QDir::Name);
}
}

class TestSafeOutput : public QObject
{
    Q_OBJECT
private slots:
    void cleanup() { SetFreeSpaceFunction({}); }
    void outcomes_data();
    void outcomes();
    void nameTakenBeforeCommitIsKept();
    void fullDiskLeavesNothing();
    void abandonedTemporariesGoLiveOnesStay();
    void sweepTakesOnlyItsOwnShape_data();
    void sweepTakesOnlyItsOwnShape();
    void earlyWriteback_data();
    void earlyWriteback();
};

void TestSafeOutput::outcomes_data()
{
    QTest::addColumn<int>("replace");
    QTest::addColumn<QString>("existing");     // "", "file" or "folder"
    QTest::addColumn<qint64>("planned");
    QTest::addColumn<qint64>("freeBytes");     // -2: the system's
    QTest::addColumn<int>("writeSize");
    QTest::addColumn<bool>("commit");
    QTest::addColumn<int>("failure");

    using F = SafeOutput::Failure;
    const int never = int(SafeOutput::Replace::Never), existing = int(SafeOutput::Replace::Existing);
    QTest::newRow("new file") << never << "" << qint64(100) << qint64(-2) << 100 << true << int(F::None);
    QTest::newRow("replaces when allowed") << existing << "file" << qint64(100) << qint64(-2) << 64 << true << int(F::None);
    QTest::newRow("existing refused") << never << "file" << qint64(100) << qint64(-2) << 0 << false << int(F::TargetExists);
    QTest::newRow("folder never replaced") << existing << "folder" << qint64(100) << qint64(-2) << 0 << false << int(F::TargetIsFolder);
    QTest::newRow("past 32 bits") << existing << "file" << qint64(0x100000000LL) << qint64(-2) << 0 << false << int(F::TooLarge);
    QTest::newRow("known too small") << existing << "file" << qint64(100) << qint64(99) << 0 << false << int(F::NoRoom);
    QTest::newRow("unknown space: writes decide") << never << "" << qint64(100) << qint64(-1) << 100 << true << int(F::None);
    QTest::newRow("write past the plan") << existing << "file" << qint64(100) << qint64(-2) << 101 << false << int(F::Write);
    QTest::newRow("dropped without commit") << existing << "file" << qint64(100) << qint64(-2) << 50 << false << int(F::None);
}

void TestSafeOutput::outcomes()
{
    QFETCH(int, replace);
    QFETCH(QString, existing);
    QFETCH(qint64, planned);
    QFETCH(qint64, freeBytes);
    QFETCH(int, writeSize);
    QFETCH(bool, commit);
    QFETCH(int, failure);

    QTemporaryDir dir;
    const QString target = dir.path() + "/OUT.WAV";
    const QByteArray old("older output");
    if (existing == "file")
        WriteFile(target, old);
    else if (existing == "folder")
        QVERIFY(QDir().mkdir(target));
    if (freeBytes != -2)
        SetFreeSpaceFunction([freeBytes](const QString&) { return freeBytes; });

    const QByteArray bytes(writeSize, 'x');
    bool ok = false;
    {
        SafeOutput output(target, SafeOutput::Replace(replace));
        ok = output.Begin(planned) && output.WriteAt(0, bytes.constData(), bytes.size()) && output.Close();
        if (ok && commit)
            ok = output.Commit();
        QCOMPARE(int(output.LastFailure()), failure);
        QCOMPARE(output.IsCommitted(), ok && commit);
    }
    QCOMPARE(Entries(dir.path()), existing.isEmpty() && !(ok && commit) ? QStringList() : QStringList{"OUT.WAV"});
    if (ok && commit)
        QCOMPARE(ReadAll(target), bytes);
    else if (existing == "file")
        QCOMPARE(ReadAll(target), old);
    else if (existing == "folder")
        QVERIFY(QFileInfo(target).isDir());
}

void TestSafeOutput::nameTakenBeforeCommitIsKept()
{
    QTemporaryDir dir;
    const QString target = dir.path() + "/OUT.WAV";
    SafeOutput output(target);
    QVERIFY(output.Begin(10));
    QVERIFY(output.Write("0123456789", 10));
    WriteFile(target, "someone else");
    QVERIFY(!output.Commit());
    QCOMPARE(ReadAll(target), QByteArray("someone else"));
    QCOMPARE(Entries(dir.path()), QStringList{"OUT.WAV"});
}

void TestSafeOutput::fullDiskLeavesNothing()
{
    QTemporaryDir dir;
    QString how;
    // The volume does not tell its size: the failing write must catch it.
    SetFreeSpaceFunction([](const QString&) { return qint64(-1); });
    const bool held = fixture::RunOnFullVolume(dir.path(), 256 * 1024, [](const QString& folder) {
        const QString target = folder + "/OUT.WAV";
        WriteFile(target, "older output");
        const QByteArray block(64 * 1024, 'x');
        SafeOutput output(target, SafeOutput::Replace::Existing);
        bool ok = output.Begin(1 << 20);
        for (int i = 0; ok && i < 16; ++i)
            ok = output.Write(block.constData(), block.size());
        return !ok && output.LastFailure() == SafeOutput::Failure::Write
               && Entries(folder) == QStringList{"OUT.WAV"} && ReadAll(target) == "older output";
    }, &how);
    QVERIFY2(held, qPrintable(how));
}

// A writer in a child process, killed or alive while the next run writes
// into its folder.
void TestSafeOutput::abandonedTemporariesGoLiveOnesStay()
{
    QTemporaryDir dir;
    QProcess killed, alive;
    for (QProcess* child : {&killed, &alive}) {
        const QString folder = dir.path() + (child == &killed ? "/killed" : "/alive");
        QVERIFY(QDir().mkpath(folder));
        child->start(QCoreApplication::applicationFilePath(), {"--hold", folder});
        QVERIFY(child->waitForReadyRead(20000));
        QCOMPARE(child->readLine().trimmed(), QByteArray("ready"));
    }
    ::kill(pid_t(killed.processId()), SIGKILL);
    QVERIFY(killed.waitForFinished(20000));
    for (const QString& name : {QString("killed"), QString("alive")}) {
        const QString folder = dir.path() + "/" + name;
        SafeOutput next(folder + "/NEXT.WAV");
        QVERIFY(next.Begin(4) && next.Write("next", 4) && next.Commit());
        const QStringList temporaries = QDir(folder).entryList({".*.nalvo-part-*"}, QDir::Files | QDir::Hidden);
        QCOMPARE(temporaries.size(), name == "alive" ? 1 : 0);
    }
    // A visit leaves the live one; the next visit after its writer is killed
    // removes it, though the folder's time says the folder was swept since
    // it last changed (a kill leaves it as it was).
    const QString aliveFolder = dir.path() + "/alive";
    const timespec old[2] = {{::time(nullptr) - 60, 0}, {::time(nullptr) - 60, 0}};
    QCOMPARE(::utimensat(AT_FDCWD, QFile::encodeName(aliveFolder).constData(), old, 0), 0);
    QCOMPARE(FolderSweep::Visit(aliveFolder), 0);
    alive.kill();
    QVERIFY(alive.waitForFinished(20000));
    QCOMPARE(FolderSweep::Visit(aliveFolder), 1);
    QCOMPARE(SafeOutput::RemoveAbandoned(aliveFolder), 0);
}

// A user's files of names like a temporary one stay beside an output; a
// temporary of the output's own shape that no writer holds goes.
void TestSafeOutput::sweepTakesOnlyItsOwnShape_data()
{
    QTest::addColumn<QString>("name");
    QTest::addColumn<bool>("removed");
    for (const char* name : {".notes.part-1.txt", ".backup.part-old", ".x.part-", ".OUT.WAV.part-1a2b3c",
                             ".OUT.WAV.nalvo-part-1a2b3", ".OUT.WAV.nalvo-part-1A2B3C", ".OUT.WAV.nalvo-part-1a2b3c~",
                             "OUT.WAV.nalvo-part-1a2b3c", "..nalvo-part-1a2b3c"})
        QTest::newRow(name) << QString(name) << false;
    QTest::newRow("abandoned temporary") << ".OLD.WAV.nalvo-part-00fa9e" << true;
}

void TestSafeOutput::sweepTakesOnlyItsOwnShape()
{
    QFETCH(QString, name);
    QFETCH(bool, removed);
    QTemporaryDir dir;
    WriteFile(dir.path() + "/" + name, "the user's");
    SafeOutput output(dir.path() + "/OUT.WAV");
    QVERIFY(output.Begin(4) && output.Write("next", 4) && output.Commit());
    QCOMPARE(QFileInfo::exists(dir.path() + "/" + name), !removed);
    // The same judgement when a listing of the folder sweeps it.
    QVERIFY(QDir().mkpath(dir.path() + "/listed"));
    WriteFile(dir.path() + "/listed/" + name, "the user's");
    MyFileInfoList listing;
    listing.LoadEntryInfoList(dir.path() + "/listed", {".WAV"}, false, nullptr);
    QCOMPARE(QFileInfo::exists(dir.path() + "/listed/" + name), !removed);
}

// An output handed to the disk while it is written (on a thread of its own)
// keeps every byte when committed and leaves nothing when it is dropped in
// the middle.
void TestSafeOutput::earlyWriteback_data()
{
    QTest::addColumn<bool>("commit");
    QTest::newRow("committed") << true;
    QTest::newRow("dropped after several stretches") << false;
}

void TestSafeOutput::earlyWriteback()
{
    QFETCH(bool, commit);
    QTemporaryDir dir;
    const QString target = dir.path() + "/OUT.WAV";
    QByteArray bytes(20 * 1024 * 1024 + 7, '\0');
    for (int i = 0; i < bytes.size(); ++i)
        bytes[i] = char(quint32(i) * 131u >> 9);
    {
        SafeOutput output(target);
        QVERIFY(output.Begin(bytes.size()));
        output.SetEarlyWriteback(true);
        for (int at = 0; at < bytes.size(); at += 1 << 20)
            QVERIFY(output.Write(bytes.constData() + at, qMin(1 << 20, bytes.size() - at)));
        if (commit) {
            QVERIFY(output.Close(true));
            QVERIFY(output.Commit());
        }
    }
    QCOMPARE(Entries(dir.path()), commit ? QStringList{"OUT.WAV"} : QStringList{});
    if (commit)
        QVERIFY(ReadAll(target) == bytes);
}

int main(int argc, char** argv)
{
    if (argc == 3 && QByteArray(argv[1]) == "--hold") {
        SafeOutput output(QString::fromLocal8Bit(argv[2]) + "/HELD.WAV");
        if (!output.Begin(4) || !output.Write("held", 4) || !output.Close())
            return 2;
        std::printf("ready\n");
        std::fflush(stdout);
        QThread::sleep(60);
        return 0;
    }
    QCoreApplication app(argc, argv);
    TestSafeOutput test;
    return QTest::qExec(&test, argc, argv);
}
#include "test_safeoutput.moc"
