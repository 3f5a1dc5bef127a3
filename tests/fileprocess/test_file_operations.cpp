// Target naming and the copy engine's file operations: trees copied byte for
// byte, and the ways a copy can end early, none of which may leave a partial
// file or lose an existing destination.
#include "fileprocess/processnaming.h"
#include "fileprocess/qfilecopier.h"
#include "tests/fileprocess/copierprobe.h"
#include "tests/support/fullvolume.h"

#include <QCryptographicHash>
#include <QDir>
#include <QDirIterator>
#include <QFile>
#include <QTemporaryDir>
#include <QtTest>

#include <atomic>
#include <csignal>
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
    void cancelledFifoLeavesNothing();
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
}

void TestFileOperations::fullVolumeLeavesNothing()
{
    QTemporaryDir dir;
    const QString source = dir.filePath("big.bin");
    QVERIFY(WriteFile(source, QByteArray(3 << 20, 'x')));
    QString how;
    const bool ok = fixture::RunOnFullVolume(dir.path(), 1 << 20, [&](const QString& folder) {
        QFileCopier copier;
        CopierProbe probe(&copier);
        copier.copy(source, folder, QFileCopier::NonInteractive);
        probe.WaitDone();
        return probe.Codes() == QList<int>{10} && Entries(folder).isEmpty();
    }, &how);
    QVERIFY2(ok, qPrintable(how));
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

QTEST_GUILESS_MAIN(TestFileOperations)
#include "test_file_operations.moc"
