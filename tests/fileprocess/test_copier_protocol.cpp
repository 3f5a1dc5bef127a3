// The copy engine's protocol: the signals of a batch, the answers to a
// conflict, the waits, the destructor, and a stress run for ThreadSanitizer.
#include "fileprocess/qfilecopier.h"
#include "fileprocess/qfilecopierthread.h"
#include "tests/fileprocess/copierprobe.h"

#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QRandomGenerator>
#include <QTemporaryDir>
#include <QtTest>

#include <atomic>
#include <functional>

namespace {
// A worker whose requests do what the test says instead of touching files.
class StubWorker : public QFileCopierThread
{
public:
    std::function<bool(const Request&, QFileCopier::Error*)> behaviour;

protected:
    bool processRequest(const Request& request, QFileCopier::Error* error) override
    {
        if (request.canceled) {
            *error = QFileCopier::Canceled;
            return true;
        }
        return behaviour ? behaviour(request, error) : true;
    }
};

bool WriteFile(const QString& path, const QByteArray& bytes)
{
    QFile f(path);
    return f.open(QIODevice::WriteOnly) && f.write(bytes) == bytes.size();
}

QByteArray ReadFile(const QString& path)
{
    QFile f(path);
    return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray("<missing>");
}
}

class TestCopierProtocol : public QObject
{
    Q_OBJECT
private slots:
    void batchSignals();
    void destinationExists_data();
    void destinationExists();
    void renameAllAcrossBatches();
    void waitOnIdleWorker();
    void destructorWhileWaiting();
    void lateSlotsTouchNothing();
    void retryStartsClean();
    void stress();
};

void TestCopierProtocol::batchSignals()
{
    QTemporaryDir dir;
    auto* worker = new StubWorker;
    QFileCopier copier(worker, nullptr);
    CopierProbe probe(&copier);
    const QString a = dir.filePath("a"), b = dir.filePath("b");
    QVERIFY(WriteFile(a, "1") && WriteFile(b, "2"));
    copier.copy(QStringList{a, b}, QStringList{dir.filePath("x"), dir.filePath("y")});
    QCOMPARE(copier.state(), QFileCopier::Copying);
    probe.WaitDone();
    const QStringList expected{"state 2", "state 1", "state 1", "state 2", "started 0", "finished 0",
                               "state 2", "started 1", "finished 1", "state 0", "state 0", "done 0"};
    QCOMPARE(probe.events, expected);
    QCOMPARE(copier.state(), QFileCopier::Idle);
    QCOMPARE(copier.currentId(), -1);
    QCOMPARE(copier.destinationFilePath(1), dir.filePath("y"));
    QCOMPARE(copier.sourceFilePath(7), QString());

    // Lists of unequal length queue nothing and say nothing.
    probe.events.clear();
    copier.copy(QStringList{a, b}, QStringList{dir.filePath("z")});
    QCOMPARE(copier.count(), 2);
    QVERIFY(probe.events.isEmpty());
}

void TestCopierProtocol::destinationExists_data()
{
    QTest::addColumn<QString>("answer");
    QTest::addColumn<QStringList>("files");      // name=content after the run
    QTest::addColumn<QList<int>>("codes");
    QTest::addColumn<QList<int>>("stopped");
    // Two sources, a.wav and b.wav, both already in the destination.
    QTest::newRow("overwrite") << "overwrite" << QStringList{"a.wav=new a", "a 1.wav=old a 1", "b.wav=old b"}
                               << QList<int>{2, 2, 13} << QList<int>{1, 1, 0};
    QTest::newRow("skip") << "skip" << QStringList{"a.wav=old a", "a 1.wav=old a 1", "b.wav=old b"}
                          << QList<int>{2, 13, 2, 13} << QList<int>{1, 0, 1, 0};
    QTest::newRow("rename") << "rename"
                            << QStringList{"a.wav=old a", "a 1.wav=old a 1", "a 2.wav=new a", "b.wav=old b",
                                           "b 1.wav=new b"}
                            << QList<int>{2, 2} << QList<int>{1, 1};
    QTest::newRow("skipAll") << "skipAll" << QStringList{"a.wav=old a", "a 1.wav=old a 1", "b.wav=old b"}
                             << QList<int>{2, 13, 2} << QList<int>{1, 0, 0};
}

void TestCopierProtocol::destinationExists()
{
    QFETCH(QString, answer);
    QFETCH(QStringList, files);
    QFETCH(QList<int>, codes);
    QFETCH(QList<int>, stopped);
    QTemporaryDir dir;
    QDir().mkpath(dir.filePath("src"));
    QDir().mkpath(dir.filePath("dst"));
    QVERIFY(WriteFile(dir.filePath("src/a.wav"), "new a") && WriteFile(dir.filePath("src/b.wav"), "new b"));
    QVERIFY(WriteFile(dir.filePath("dst/a.wav"), "old a") && WriteFile(dir.filePath("dst/b.wav"), "old b"));
    QVERIFY(WriteFile(dir.filePath("dst/a 1.wav"), "old a 1"));

    QFileCopier copier;
    CopierProbe probe(&copier);
    int answered = 0;
    connect(&copier, &QFileCopier::error, &copier, [&](int, QFileCopier::Error, bool isStopped) {
        if (!isStopped)
            return;
        // overwrite answers the first conflict only; the second is skipped.
        if (answer == "overwrite" && answered++ > 0)
            copier.skip();
        else
            QMetaObject::invokeMethod(&copier, answer.toLatin1().constData());
    });
    copier.copy(QStringList{dir.filePath("src/a.wav"), dir.filePath("src/b.wav")}, dir.filePath("dst"));
    probe.WaitDone();
    QList<int> wasStopped;
    for (const auto& e : probe.errors)
        wasStopped << int(e.stopped);
    QCOMPARE(probe.Codes(), codes);
    QCOMPARE(wasStopped, stopped);
    QStringList found;
    for (const QString& name : QDir(dir.filePath("dst")).entryList(QDir::Files | QDir::Hidden, QDir::Name))
        found << name + "=" + ReadFile(dir.filePath("dst/" + name));
    found.sort();
    files.sort();
    QCOMPARE(found, files);
}

void TestCopierProtocol::renameAllAcrossBatches()
{
    QTemporaryDir dir;
    QDir().mkpath(dir.filePath("dst"));
    QVERIFY(WriteFile(dir.filePath("a.wav"), "a") && WriteFile(dir.filePath("dst/a.wav"), "old"));
    QFileCopier copier;
    CopierProbe probe(&copier);
    connect(&copier, &QFileCopier::error, &copier, [&](int, QFileCopier::Error, bool isStopped) {
        if (isStopped)
            copier.renameAll();
    });
    copier.copy(dir.filePath("a.wav"), dir.filePath("dst"));
    probe.WaitDone(1);
    copier.copy(dir.filePath("a.wav"), dir.filePath("dst"));
    probe.WaitDone(2);
    QCOMPARE(probe.doneCount, 2);
    QCOMPARE(probe.Codes(), QList<int>{2});   // the second batch asks nothing
    QCOMPARE(ReadFile(dir.filePath("dst/a 1.wav")), QByteArray("a"));
    QCOMPARE(ReadFile(dir.filePath("dst/a 2.wav")), QByteArray("a"));
    QCOMPARE(ReadFile(dir.filePath("dst/a.wav")), QByteArray("old"));
}

void TestCopierProtocol::waitOnIdleWorker()
{
    QTemporaryDir dir;
    QVERIFY(WriteFile(dir.filePath("a"), "a"));
    auto* worker = new StubWorker;
    QFileCopier copier(worker, nullptr);
    QElapsedTimer timer;
    timer.start();
    QVERIFY(copier.waitForFinished(10000));   // never started
    copier.copy(dir.filePath("a"), dir.filePath("b"));
    QVERIFY(copier.waitForFinished(10000));
    QVERIFY(copier.waitForFinished(10000));   // idle: at once, not at the next batch
    QVERIFY2(timer.elapsed() < 5000, qPrintable(QString::number(timer.elapsed())));

    // A worker held in a request: the limit ends the wait.
    std::atomic<bool> release{false};
    worker->behaviour = [&](const Request&, QFileCopier::Error*) {
        while (!release.load())
            QThread::msleep(1);
        return true;
    };
    copier.copy(dir.filePath("a"), dir.filePath("c"));
    QVERIFY(!copier.waitForFinished(50));
    release = true;
    QVERIFY(copier.waitForFinished(10000));
}

void TestCopierProtocol::destructorWhileWaiting()
{
    QTemporaryDir dir;
    QVERIFY(WriteFile(dir.filePath("a"), "a"));
    auto* worker = new StubWorker;
    worker->behaviour = [](const Request&, QFileCopier::Error* e) {
        *e = QFileCopier::CannotWriteDestinationFile;
        return false;
    };
    auto copier = std::make_unique<QFileCopier>(worker, nullptr);
    CopierProbe probe(copier.get());
    copier->copy(dir.filePath("a"), dir.filePath("b"));
    QTRY_VERIFY(!probe.errors.isEmpty());
    QVERIFY(probe.errors.first().stopped);
    QElapsedTimer timer;
    timer.start();
    copier.reset();
    QVERIFY2(timer.elapsed() < 1000, qPrintable(QString::number(timer.elapsed())));
}

void TestCopierProtocol::lateSlotsTouchNothing()
{
    // A cancel wakes a waiting worker without an answer; slots called after
    // that must not act on the request that ended (nor on id -1).
    QTemporaryDir dir;
    QVERIFY(WriteFile(dir.filePath("a"), "a") && WriteFile(dir.filePath("b"), "b"));
    auto* worker = new StubWorker;
    std::atomic<int> attempts{0};
    worker->behaviour = [&](const Request& r, QFileCopier::Error* e) {
        if (r.source.endsWith("/a")) {
            ++attempts;
            *e = QFileCopier::CannotReadSourceFile;
            return false;
        }
        return true;
    };
    QFileCopier copier(worker, nullptr);
    CopierProbe probe(&copier);
    copier.copy(dir.filePath("a"), dir.filePath("x"));
    QTRY_VERIFY(!probe.errors.isEmpty());
    copier.cancel(0);
    probe.WaitDone();
    copier.skip();
    copier.overwrite();
    copier.rename();
    copier.copy(dir.filePath("b"), dir.filePath("y"));
    probe.WaitDone(2);
    QCOMPARE(probe.doneCount, 2);
    QCOMPARE(attempts.load(), 1);
    QVERIFY(!copier.isDir(1));
    const Request second = worker->request(1);
    QVERIFY(!second.canceled && !second.overwrite && !second.rename);
    QCOMPARE(probe.Codes(), (QList<int>{9, 13}));
}

void TestCopierProtocol::retryStartsClean()
{
    // The first attempt fails, the retry succeeds: nothing more is reported
    // and the batch ends without error.
    QTemporaryDir dir;
    QVERIFY(WriteFile(dir.filePath("a"), "a"));
    auto* worker = new StubWorker;
    std::atomic<int> attempts{0};
    worker->behaviour = [&](const Request&, QFileCopier::Error* e) {
        if (attempts++ > 0)
            return true;
        *e = QFileCopier::CannotReadSourceFile;
        return false;
    };
    QFileCopier copier(worker, nullptr);
    CopierProbe probe(&copier);
    connect(&copier, &QFileCopier::error, &copier, &QFileCopier::retry);
    copier.copy(dir.filePath("a"), dir.filePath("b"));
    probe.WaitDone();
    QCOMPARE(probe.Codes(), QList<int>{9});
    QCOMPARE(probe.events.last(), QStringLiteral("done 0"));
}

void TestCopierProtocol::stress()
{
    // Batches, queries, progress ticks and cancels from the caller's thread
    // while the worker runs; every copier is destroyed mid-flight or idle.
    QTemporaryDir dir;
    QStringList sources;
    for (int i = 0; i < 8; ++i) {
        sources << dir.filePath(QStringLiteral("s%1").arg(i));
        QVERIFY(WriteFile(sources.last(), QByteArray(40000 * (i + 1), char('a' + i))));
    }
    auto* rng = QRandomGenerator::global();
    for (int round = 0; round < 12; ++round) {
        QFileCopier copier;
        copier.setProgressInterval(1);
        CopierProbe probe(&copier);
        const QString out = dir.filePath(QStringLiteral("out%1").arg(round));
        QDir().mkpath(out);
        for (int batch = 0; batch < 3; ++batch) {
            copier.copy(sources, out, QFileCopier::NonInteractive | QFileCopier::Force);
            for (int q = 0; q < 20; ++q) {
                copier.count();
                copier.totalProgress();
                copier.topRequests();
                copier.size(rng->bounded(20));
                QCoreApplication::processEvents();
            }
            if (rng->bounded(3) == 0)
                copier.cancelAll();
        }
        if (round % 2 == 0)
            copier.waitForFinished(10000);
        QCoreApplication::processEvents();
    }
}

QTEST_GUILESS_MAIN(TestCopierProtocol)
#include "test_copier_protocol.moc"
