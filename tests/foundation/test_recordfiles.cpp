// The removal of a record and what a killed removal leaves: a removal takes
// only the record it judged under its hidden name, and a save record left
// there is settled before its take is read, as the record itself.
#include "foundation/platform/diskcalls.h"
#include "foundation/platform/filelocks.h"
#include "foundation/platform/nameremoval.h"
#include "foundation/recordfiles.h"
#include "tests/support/riffbytes.h"
#include "tests/support/scratchdir.h"

#include <QtTest>

#include <cstdio>
#include <fcntl.h>
#include <unistd.h>

namespace {

QByteArray Record(char writer) { return QByteArray(kSaveRecordMagic, int(sizeof(kSaveRecordMagic))) + QByteArray(32, writer); }

// Another writer's record put under g_Swap just before that name moves:
// made there after the remover's last look at it.
QString g_Swap;
void SwapBeforeMove(const char* from, const char*)
{
    if (!g_Swap.isEmpty() && QFile::decodeName(from) == g_Swap && fixture::WriteBytes(g_Swap + "~", Record('b')))
        std::rename(QFile::encodeName(g_Swap + "~").constData(), from);
    g_Swap.clear();
}

} // namespace

class TestRecordFiles : public QObject
{
    Q_OBJECT
private slots:
    // No save stands whole here (the layer that reads takes sets the judge).
    void initTestCase() { SetSaveWholeJudge([](const QString&, const QByteArray&) { return false; }); }
    void removalsTakeOnlyWhatTheyJudged_data();
    void removalsTakeOnlyWhatTheyJudged();
};

void TestRecordFiles::removalsTakeOnlyWhatTheyJudged_data()
{
    QTest::addColumn<QString>("left");       // what stands beside the take
    QTest::addColumn<int>("answer");         // of RemoveRecordIfOwn, or SettleRecordAsides
    QTest::addColumn<QByteArray>("named");   // what the record's name holds then
    QTest::addColumn<int>("asides");
    QTest::newRow("the caller's own record: removed") << "own" << 0 << QByteArray() << 0;
    QTest::newRow("another's record put under the name as the removal moves it: back, untouched")
        << "swapped" << ESTALE << Record('b') << 0;
    QTest::newRow("a killed save's record aside: back under its name")
        << "aside" << int(RecordAside::PutBack) << Record('a') << 0;
    QTest::newRow("the same, another record under its name: stays") << "aside taken" << int(RecordAside::Stays) << Record('b') << 1;
    QTest::newRow("the same, its writer holding its lock: the take is not read")
        << "aside held" << int(RecordAside::Live) << QByteArray() << 1;
}

void TestRecordFiles::removalsTakeOnlyWhatTheyJudged()
{
    QFETCH(QString, left);
    QFETCH(int, answer);
    QFETCH(QByteArray, named);
    QFETCH(int, asides);
    fixture::ScratchDir dir;
    const QString path = dir.path() + QStringLiteral("/.TKE001.nalvo-save");
    QVERIFY(fixture::WriteBytes(dir.path() + QStringLiteral("/TKE001_01.WAV"), "a member"));
    const bool aside = left.startsWith(QLatin1String("aside"));
    const QString at = aside ? RemovalAsideName(path) : path;
    QVERIFY(fixture::WriteBytes(at, Record('a')) && (!left.endsWith("taken") || fixture::WriteBytes(path, Record('b'))));
    const int held = left.endsWith("held") ? ::open(QFile::encodeName(at).constData(), O_RDONLY) : -1;
    QVERIFY(held < 0 || TryRecordLock(held) == LockTry::Held);
    g_Swap = left == QLatin1String("swapped") ? path : QString();
    DiskFaults::SetRenameHook(&SwapBeforeMove);
    QCOMPARE(aside ? int(SettleRecordAsides(path)) : RemoveRecordIfOwn(path, Record('a'), true), answer);
    DiskFaults::SetRenameHook(nullptr);
    if (held >= 0)
        ::close(held);
    QFile record(path);
    QCOMPARE(record.open(QIODevice::ReadOnly) ? record.readAll() : QByteArray(), named);
    QCOMPARE(RemovalAsidesIn(dir.path()).size(), asides);
}

QTEST_GUILESS_MAIN(TestRecordFiles)

#include "test_recordfiles.moc"
