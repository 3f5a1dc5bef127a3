// Two computers saving one take through sshfs, each mount keeping its own
// locks and caching names and attributes as a network volume does: every
// writer's report matches the disk, no take holds two saves, and a writer
// held between its check and a write says what its files hold.
#include "tests/support/sshfsshare.h"
#include "tests/take/sharewriters.h"

#include <QtTest>

#include <memory>

class TestTakeSshfs : public QObject
{
    Q_OBJECT
private slots:
    void init() { m_pTest = std::make_unique<ShareWritersTest>(&m_Pairs); }
    void cleanup() { m_pTest.reset(); }

    void writersOfTwoComputersOverSshfs_data();
    void writersOfTwoComputersOverSshfs() { m_pTest->Run(); }

private:
    SshfsPairs m_Pairs;   // the server and the mounts, once for all rows
    std::unique_ptr<ShareWritersTest> m_pTest;
};

void TestTakeSshfs::writersOfTwoComputersOverSshfs_data()
{
    ShareWritersTest::AddColumns();
    QTest::newRow("sshfs") << ShareRow({"sshfs"}).Raced(12).HeldRounds(2);
    QTest::newRow("sshfs, no cache") << ShareRow({"sshfs", "cache=no"}).Rounds(10).Raced(8).HeldRounds(1);
    ShareWritersTest::AddHeldWriteRows({"sshfs"});
    // A take of one file, its text landing over the other's save: the
    // other's bext field is the only trace of that save.
    QTest::newRow("write 2 of a one-file take's commit (its text) landing after the other's save, sshfs")
        << ShareRow({"sshfs"}).HeldAtWrite(2).OfMember(1).Lands().OtherSaves().Mixed().After({"seen"});
    ShareWritersTest::AddHeldRemovalRows({"sshfs"});
}

int main(int argc, char** argv)
{
    int code = 0;
    if (RunShareWriterChild(argc, argv, &code))
        return code;
    if (!TakeTablePart(&argc, argv))
        return 2;
    QCoreApplication app(argc, argv);
    TestTakeSshfs test;
    return QTest::qExec(&test, argc, argv);
}

#include "test_takesshfs.moc"
