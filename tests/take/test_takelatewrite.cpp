// A writer of a take on a share that keeps no locks (the lockless FUSE
// pass-through), held up at each write of a member's commit past the age
// rule while the other computer takes its save for a killed one and loads
// or saves: it stops before the write, or once past its check lands it and
// mends what it wrote, or tells the take mixed where it cannot.
#include "tests/take/sharewriters.h"

#include <QtTest>

#include <memory>

class TestTakeLateWrite : public QObject
{
    Q_OBJECT
private slots:
    void init() { m_pTest = std::make_unique<ShareWritersTest>(); }
    void cleanup() { m_pTest.reset(); }

    void writersHeldAtEachWriteOfTheirCommit_data();
    void writersHeldAtEachWriteOfTheirCommit() { m_pTest->Run(); }

private:
    std::unique_ptr<ShareWritersTest> m_pTest;
};

void TestTakeLateWrite::writersHeldAtEachWriteOfTheirCommit_data()
{
    ShareWritersTest::AddColumns();
    for (int write = 1; write <= 4; ++write) {
        const QByteArray row = "held up at write " + QByteArray::number(write) + " of member 13's commit";
        QTest::newRow(row + ", the other loading") << ShareRow().HeldAtWrite(write);
        QTest::newRow(row + ", the other saving") << ShareRow().TimesShifted(write % 2 ? -40 : 300).HeldAtWrite(write).OtherSaves();
        // Past its check: the one write lands after the other computer put
        // the take back (and saved): the writer mends it.
        const QByteArray late = "write " + QByteArray::number(write) + " of member 13's commit landing after";
        QTest::newRow(late + " the other's load") << ShareRow().HeldAtWrite(write).Lands();
        if (write > 2)   // a size: lowered to fit the other's save
            QTest::newRow(late + " the other's save") << ShareRow().TimesShifted(-40).HeldAtWrite(write).Lands().OtherSaves();
    }
    // Member 14 takes its text in an appended chunk: its RIFF size (write
    // 2) is lowered to fit, its old chunk retired (write 3) named iXML again.
    for (int write = 2; write <= 3; ++write)
        QTest::newRow("write " + QByteArray::number(write) + " of member 14's commit landing after the other's save")
            << ShareRow().TimesShifted(300).HeldAtWrite(write).OfMember(14).Lands().OtherSaves();
    ShareWritersTest::AddHeldWriteRows({"--own-locks"});
    // A take of one file: the bytes the save wrote besides its late write
    // (its text, written by the other's save) are the only witness of it;
    // of its text, the other's bext field, whose changed bytes lie outside
    // the span the save's record keeps ("b8" over "b3", the save's "b399").
    const ShareRow oneFile = ShareRow({"--own-locks"}).OfMember(1).Lands().OtherSaves().Mixed();
    QTest::newRow("write 1 of a one-file take's commit (a bext field) landing after the other's save, locks kept per mount")
        << ShareRow(oneFile).HeldAtWrite(1);
    QTest::newRow("write 2 of a one-file take's commit (its text) landing after the other's save, locks kept per mount")
        << ShareRow(oneFile).HeldAtWrite(2);
    QTest::newRow("write 2 of a one-file take's commit (its text) landing after the other's save, then its iXML saved alone, locks kept per mount")
        << ShareRow(oneFile).HeldAtWrite(2).OtherSaves(2).After({"ixml"});
    ShareWritersTest::AddHeldRemovalRows({"--own-locks"});
}

int main(int argc, char** argv)
{
    int code = 0;
    if (RunShareWriterChild(argc, argv, &code))
        return code;
    if (!TakeTablePart(&argc, argv))
        return 2;
    QCoreApplication app(argc, argv);
    TestTakeLateWrite test;
    return QTest::qExec(&test, argc, argv);
}

#include "test_takelatewrite.moc"
