// Two computers saving one take on a share that keeps no locks (the lockless
// FUSE pass-through, its options a server's ways): every writer's report
// matches the disk, no take holds two saves, a writer held up past the age
// rule writes nothing more, and a record stands by the share's clock.
#include "tests/take/sharewriters.h"

#include <QtTest>

#include <memory>

class TestTakeShare : public QObject
{
    Q_OBJECT
private slots:
    void init() { m_pTest = std::make_unique<ShareWritersTest>(); }
    void cleanup() { m_pTest.reset(); }

    void writersOfAShareWithoutLocks_data();
    void writersOfAShareWithoutLocks() { m_pTest->Run(); }

private:
    std::unique_ptr<ShareWritersTest> m_pTest;
};

void TestTakeShare::writersOfAShareWithoutLocks_data()
{
    ShareWritersTest::AddColumns();
    const auto shift = [](int seconds) { return QStringList{QStringLiteral("--time-shift=%1").arg(seconds)}; };
    QTest::newRow("a plain share") << QStringList() << 20 << 0 << 0 << 0 << 0 << 13 << false << false << 0 << false << false << 8 << false << false << QStringList();
    QTest::newRow("rename flags refused, files numbered anew") << QStringList{"--no-rename-flags", "--new-numbers"} << 20 << 0 << 0 << 0 << 0 << 13 << false << false << 0 << false << false << 8 << false << false << QStringList();
    QTest::newRow("rename flags refused") << QStringList{"--no-rename-flags"} << 0 << 0 << 0 << 0 << 0 << 13 << false << false << 0 << false << false << 8 << false << false << QStringList();
    QTest::newRow("files numbered anew") << QStringList{"--new-numbers"} << 0 << 0 << 0 << 0 << 0 << 13 << false << false << 0 << false << false << 8 << false << false << QStringList();
    QTest::newRow("held up once its record is on the share") << QStringList() << 0 << 0 << 0 << 2 << 0 << 13 << false << false << 0 << false << false << 8 << false << false << QStringList();
    QTest::newRow("held up once its files are written") << QStringList() << 0 << 0 << 0 << 3 << 0 << 13 << false << false << 0 << false << false << 8 << false << false << QStringList();
    QTest::newRow("renames held up at the second while the other loads") << QStringList() << 0 << 0 << 0 << 0 << 0 << 13 << false << false << 0 << true << false << 8 << false << false << QStringList();
    QTest::newRow("times 40 s behind, a record just written") << shift(-40) << 0 << 0 << 0 << 0 << 0 << 13 << false << false << 0 << false << false << 8 << false << false << QStringList();
    QTest::newRow("times 40 s behind, a record left 35 s ago") << shift(-40) << 0 << 0 << 0 << 0 << 0 << 13 << false << false << 35 << false << false << 8 << false << false << QStringList();
    QTest::newRow("times 300 s ahead, a record just written") << shift(300) << 0 << 0 << 0 << 0 << 0 << 13 << false << false << 0 << false << false << 8 << false << false << QStringList();
    QTest::newRow("times 300 s ahead, a record left 35 s ago") << shift(300) << 0 << 0 << 0 << 0 << 0 << 13 << false << false << 35 << false << false << 8 << false << false << QStringList();
    // Each computer's locks its own, as on sshfs: a lock the other holds is
    // granted here, and proves nothing of the other's writer.
    QTest::newRow("locks kept per mount, 0.1 ms a request") << QStringList{"--own-locks", "--latency=100"} << 0 << 40 << 2 << 0 << 0 << 13 << false << false << 0 << false << false << 8 << false << false << QStringList();
    QTest::newRow("locks kept per mount, a record left 35 s ago") << QStringList{"--own-locks"} << 0 << 0 << 0 << 0 << 0 << 13 << false << false << 35 << false << false << 8 << false << false << QStringList();}

int main(int argc, char** argv)
{
    int code = 0;
    if (RunShareWriterChild(argc, argv, &code))
        return code;
    QCoreApplication app(argc, argv);
    TestTakeShare test;
    return QTest::qExec(&test, argc, argv);
}

#include "test_takeshare.moc"
