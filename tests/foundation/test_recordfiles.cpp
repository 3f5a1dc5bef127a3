// The removal of a record and what a killed removal leaves: a removal takes
// only the record it judged under its hidden name, and a save record left
// there is settled before its take is read, as the record itself.
#include "foundation/platform/diskcalls.h"
#include "foundation/platform/filelocks.h"
#include "foundation/platform/nameremoval.h"
#include "foundation/recordfiles.h"
#include "tests/support/scratchdir.h"

#include <QFile>
#include <QtTest>

#include <cerrno>
#include <cstdio>
#include <fcntl.h>
#include <unistd.h>

namespace {

// A save record of writer's token.
QByteArray Record(char writer)
{
    return QByteArray(kSaveRecordMagic, int(sizeof(kSaveRecordMagic))) + QByteArray(32, writer);
}

bool Write(const QString& path, const QByteArray& bytes)
{
    QFile file(path);
    return file.open(QIODevice::WriteOnly) && file.write(bytes) == bytes.size();
}

QByteArray Read(const QString& path)
{
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
}

// The save-whole judge (the layer that reads takes sets the real one): no
// save stands whole here.
bool JudgeWhole(const QString&, const QByteArray&) { return false; }

// Another writer's record put under g_Swap just before that name moves:
// one made there after the remover's last look at it.
QString g_Swap;
void SwapBeforeMove(const char* from, const char*)
{
    if (g_Swap.isEmpty() || QFile::decodeName(from) != g_Swap)
        return;
    const QString made = g_Swap + QStringLiteral(".other");
    if (Write(made, Record('b')))
        std::rename(QFile::encodeName(made).constData(), from);
    g_Swap.clear();
}

} // namespace

class TestRecordFiles : public QObject
{
    Q_OBJECT
private slots:
    void initTestCase() { SetSaveWholeJudge(&JudgeWhole); }
    void removalsTakeOnlyWhatTheyJudged_data();
    void removalsTakeOnlyWhatTheyJudged();
};

void TestRecordFiles::removalsTakeOnlyWhatTheyJudged_data()
{
    QTest::addColumn<QString>("left");        // what stands beside the take
    QTest::addColumn<int>("answer");          // of RemoveRecordIfOwn, or SettleRecordAsides
    QTest::addColumn<QByteArray>("named");    // what the record's name holds then
    QTest::addColumn<bool>("asideStays");
    QTest::newRow("the caller's own record: removed") << "own" << 0 << QByteArray() << false;
    QTest::newRow("another's record put under the name as the removal moves it: back, untouched")
        << "swapped" << ESTALE << Record('b') << false;
    QTest::newRow("a killed save's record aside, its save not whole: back under its name")
        << "aside" << int(RecordAside::PutBack) << Record('a') << false;
    QTest::newRow("the same, another record under its name: stays") << "aside taken" << int(RecordAside::Stays)
                                                                     << Record('b') << true;
    QTest::newRow("the same, its writer holding its lock: the take is not read")
        << "aside held" << int(RecordAside::Live) << QByteArray() << true;
}

void TestRecordFiles::removalsTakeOnlyWhatTheyJudged()
{
    QFETCH(QString, left);
    QFETCH(int, answer);
    QFETCH(QByteArray, named);
    QFETCH(bool, asideStays);
    fixture::ScratchDir dir;
    const QString folder = dir.path() + QLatin1Char('/');
    const QString path = folder + QStringLiteral(".TKE001.nalvo-save");
    QVERIFY(Write(folder + QStringLiteral("TKE001_01.WAV"), "a member"));
    int got = -1;
    if (!left.startsWith(QLatin1String("aside"))) {
        QVERIFY(Write(path, Record('a')));
        g_Swap = left == QLatin1String("swapped") ? path : QString();
        DiskFaults::SetRenameHook(&SwapBeforeMove);
        got = RemoveRecordIfOwn(path, Record('a'), true);
        DiskFaults::SetRenameHook(nullptr);
    } else {
        const QString aside = RemovalAsideName(path);
        QVERIFY(Write(aside, Record('a')));
        QVERIFY(!left.endsWith(QLatin1String("taken")) || Write(path, Record('b')));
        const int held = left.endsWith(QLatin1String("held")) ? ::open(QFile::encodeName(aside).constData(), O_RDONLY) : -1;
        QVERIFY(held < 0 || TryRecordLock(held) == LockTry::Held);
        got = int(SettleRecordAsides(path));
        if (held >= 0)
            ::close(held);
    }
    QCOMPARE(got, answer);
    QCOMPARE(Read(path), named);
    QCOMPARE(RemovalAsidesIn(folder).size(), asideStays ? 1 : 0);
}

QTEST_GUILESS_MAIN(TestRecordFiles)

#include "test_recordfiles.moc"
