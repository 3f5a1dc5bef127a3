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
    QTest::newRow("a plain share") << ShareRow().Rounds(20);
    QTest::newRow("rename flags refused, files numbered anew") << ShareRow({"--no-rename-flags", "--new-numbers"}).Rounds(20);
    QTest::newRow("rename flags refused") << ShareRow({"--no-rename-flags"});
    QTest::newRow("files numbered anew") << ShareRow({"--new-numbers"});
    QTest::newRow("held up once its record is on the share") << ShareRow().HeldAtSync(2);
    QTest::newRow("held up once its files are written") << ShareRow().HeldAtSync(3);
    QTest::newRow("renames held up at the second while the other loads") << ShareRow().HeldAtRename();
    QTest::newRow("times 40 s behind, a record just written") << ShareRow().TimesShifted(-40);
    QTest::newRow("times 40 s behind, a record left 35 s ago") << ShareRow().TimesShifted(-40).RecordAge(35);
    QTest::newRow("times 300 s ahead, a record just written") << ShareRow().TimesShifted(300);
    QTest::newRow("times 300 s ahead, a record left 35 s ago") << ShareRow().TimesShifted(300).RecordAge(35);
    // Each computer's locks its own, as on sshfs: a lock the other holds is
    // granted here, and proves nothing of the other's writer.
    QTest::newRow("locks kept per mount, 0.1 ms a request") << ShareRow({"--own-locks", "--latency=100"}).Raced(40).HeldRounds(2);
    QTest::newRow("locks kept per mount, a record left 35 s ago") << ShareRow({"--own-locks"}).RecordAge(35);
}

int main(int argc, char** argv)
{
    int code = 0;
    if (RunShareWriterChild(argc, argv, &code))
        return code;
    if (!TakeTablePart(&argc, argv))
        return 2;
    QCoreApplication app(argc, argv);
    TestTakeShare test;
    return QTest::qExec(&test, argc, argv);
}

#include "test_takeshare.moc"
