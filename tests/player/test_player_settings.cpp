// The player settings files: round trips, read masks, clamped garbage,
// labels and the mirror folder of a write-protected card.
#include "foundation/fileutil.h"
#include "foundation/messageloging.h"
#include "foundation/platform/diskprobes.h"
#include "foundation/settingsstore.h"
#include "player/playersettings.h"
#include "tests/support/diskfaultwalk.h"
#include "tests/support/fixturewriter.h"
#include "tests/support/fullvolume.h"
#include "tests/support/modalboxanswerer.h"
#include "tests/support/riffbytes.h"

#include <QDir>
#include <QFile>
#include <QScopeGuard>
#include <QSignalSpy>
#include <QTemporaryDir>
#include <QtTest>

using namespace fixture;

Q_DECLARE_METATYPE(fixture::KeywordEntry)

namespace {

struct Mixer {
    short volume[24];
    bool mute[24];
    short pan[24];
    bool swap[12];
    int rotate[24];
    int minTrack = -7;
    bool compact = true;

    Mixer()
    {
        for (int t = 0; t < 24; ++t) {
            volume[t] = -7;
            mute[t] = true;
            pan[t] = -7;
            rotate[t] = -7;
        }
        for (bool& s : swap)
            s = true;
    }
    int Load(const QString& path) { return LoadSettingsLocal(path, volume, mute, pan, swap, rotate, &minTrack, &compact); }
};

QByteArray ReadAll(const QString& path)
{
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
}

// The file's time an hour back: written before what is saved now.
bool MakeOlder(const QString& path)
{
    QFile file(path);
    return file.open(QIODevice::ReadWrite)
           && file.setFileTime(QDateTime::currentDateTime().addSecs(-3600), QFileDevice::FileModificationTime);
}

QStringList Fields(int count, const QString& text)
{
    QStringList fields;
    for (int i = 0; i < count; ++i)
        fields << text;
    return fields;
}

} // namespace

class TestPlayerSettings : public QObject
{
    Q_OBJECT
private slots:
    void init();
    void cleanup();
    void roundTrip();
    void readMasksAndClamps_data();
    void readMasksAndClamps();
    void panLevelsFromCodes();
    void labels();
    void mirrorFolderOnProtectedCard_data();
    void mirrorFolderOnProtectedCard();
    void oneFailureOneMessage();
    void failedWriteKeepsOldFileWhole_data();
    void failedWriteKeepsOldFileWhole();

private:
    std::unique_ptr<QTemporaryDir> m_pDir;
    QString m_czFile;
};

void TestPlayerSettings::init()
{
    m_pDir = std::make_unique<QTemporaryDir>();
    m_czFile = m_pDir->path() + QStringLiteral("/ABC123.idh");
}

void TestPlayerSettings::cleanup()
{
    SetWritabilityProbe(nullptr);
}

void TestPlayerSettings::roundTrip()
{
    short volume[24], left[24], right[24], rotate[24];
    bool mute[24], swap[12];
    for (int t = 0; t < 24; ++t) {
        volume[t] = short(t % 9);
        // (100,100) both, (100,0) left, (0,100) right, (50,100) counts as right.
        const int kind = t % 4;
        left[t] = short(kind == 2 ? 0 : kind == 3 ? 50 : 100);
        right[t] = short(kind == 1 ? 0 : 100);
        mute[t] = t % 5 == 0;
        rotate[t] = short(23 - t);
    }
    for (int p = 0; p < 12; ++p)
        swap[p] = p % 2 == 1;
    // What the main window writes: no rotation, minimum track or compact.
    SaveSettingsLocal(m_czFile, volume, left, right, mute, false, false, swap, nullptr, -1, -1);
    QFile file(m_czFile);
    QVERIFY(file.open(QIODevice::ReadOnly));
    QVERIFY(file.readAll().startsWith("#PLAYER_TRACK_VOL\r\n0|1|2|3|4|5|6|7|8|0|"));
    file.close();
    Mixer read;
    QCOMPARE(read.Load(m_czFile), 16 + 32 + 64);
    const short codeOfKind[4] = {1, 0, 2, 2};
    for (int t = 0; t < 24; ++t) {
        QCOMPARE(read.volume[t], volume[t]);
        QCOMPARE(read.pan[t], codeOfKind[t % 4]);
        QCOMPARE(read.mute[t], mute[t]);
        QCOMPARE(read.rotate[t], -1);
    }
    for (int p = 0; p < 12; ++p)
        QCOMPARE(read.swap[p], swap[p]);
    QCOMPARE(read.minTrack, 0);
    QCOMPARE(read.compact, false);

    // The job copy of file processing: every key, over the same file.
    SaveSettingsLocal(m_czFile, volume, left, right, mute, false, false, swap, rotate, 3, 1);
    QCOMPARE(read.Load(m_czFile), 0);
    for (int t = 0; t < 24; ++t)
        QCOMPARE(read.rotate[t], 23 - t);
    QCOMPARE(read.minTrack, 3);
    QCOMPARE(read.compact, true);
}

void TestPlayerSettings::readMasksAndClamps_data()
{
    QTest::addColumn<QList<KeywordEntry>>("entries");
    QTest::addColumn<int>("mask");
    QTest::addColumn<int>("track");        // the track (0-based) whose values are checked
    QTest::addColumn<QList<int>>("values");   // volume, mute, pan, swap of pair track/2, rotate

    QTest::newRow("missing file") << QList<KeywordEntry>() << 127 << 0 << QList<int>{4, 0, 1, 0, -1};
    QTest::newRow("only a label") << QList<KeywordEntry>{{QStringLiteral("#LABEL"), {QStringLiteral("x")}, true}}
                                  << 127 << 5 << QList<int>{4, 0, 1, 0, -1};
    QList<KeywordEntry> short20{{QStringLiteral("#PLAYER_TRACK_VOL"), Fields(20, QStringLiteral("7"))}};
    QTest::newRow("20 volumes: track 1") << short20 << 127 << 0 << QList<int>{7, 0, 1, 0, -1};
    QTest::newRow("20 volumes: track 21") << short20 << 127 << 20 << QList<int>{4, 0, 1, 0, -1};
    QList<KeywordEntry> text{{QStringLiteral("#PLAYER_TRACK_PAN"), Fields(24, QStringLiteral("x"))},
                             {QStringLiteral("#PLAYER_SWAP_MS"), Fields(12, QStringLiteral("x"))}};
    QTest::newRow("text routing and M/S") << text << 127 - 4 - 8 << 3 << QList<int>{4, 0, 0, 0, -1};
    QList<KeywordEntry> garbage{
        {QStringLiteral("#PLAYER_TRACK_VOL"), Fields(24, QStringLiteral("99999999999"))},
        {QStringLiteral("#PLAYER_TRACK_PAN"), Fields(24, QStringLiteral("7"))},
        {QStringLiteral("#PLAYER_TRACK_MUTE"), Fields(24, QStringLiteral("-2"))},
        {QStringLiteral("#PLAYER_SWAP_MS"), Fields(12, QStringLiteral("5"))},
        {QStringLiteral("#BACKUP_ROTATE"), Fields(24, QStringLiteral("99"))},
        {QStringLiteral("#MIN_TRACK"), {QStringLiteral("300")}, true},
        {QStringLiteral("#COMPACT"), {QStringLiteral("1")}, true}};
    QTest::newRow("garbage high, clamped") << garbage << 0 << 9 << QList<int>{8, 1, 2, 1, 23};
    QList<KeywordEntry> low{{QStringLiteral("#PLAYER_TRACK_VOL"), Fields(24, QStringLiteral("-3"))},
                            {QStringLiteral("#PLAYER_TRACK_PAN"), Fields(24, QStringLiteral("-1"))},
                            {QStringLiteral("#BACKUP_ROTATE"), Fields(24, QStringLiteral("-40"))}};
    QTest::newRow("garbage low, clamped") << low << 2 + 8 + 32 + 64 << 0 << QList<int>{0, 0, 0, 0, -1};
}

void TestPlayerSettings::readMasksAndClamps()
{
    QFETCH(QList<KeywordEntry>, entries);
    QFETCH(int, mask);
    QFETCH(int, track);
    QFETCH(QList<int>, values);
    if (!entries.isEmpty())
        QVERIFY(WriteKeywordFile(m_czFile, entries));
    Mixer read;
    QCOMPARE(read.Load(m_czFile), mask);
    QCOMPARE(int(read.volume[track]), values[0]);
    QCOMPARE(int(read.mute[track]), values[1]);
    QCOMPARE(int(read.pan[track]), values[2]);
    QCOMPARE(int(read.swap[track / 2]), values[3]);
    QCOMPARE(read.rotate[track], values[4]);
    if (QTest::currentDataTag() == QByteArray("garbage high, clamped")) {
        QCOMPARE(read.minTrack, 24);
        QCOMPARE(read.compact, true);
    }
    // Null outputs are skipped, and the mask is the same.
    QCOMPARE(LoadSettingsLocal(m_czFile, nullptr, nullptr, static_cast<short*>(nullptr), nullptr, nullptr, nullptr,
                               nullptr),
             mask);
}

void TestPlayerSettings::panLevelsFromCodes()
{
    QStringList codes = Fields(24, QStringLiteral("1"));
    codes[0] = QStringLiteral("2");
    codes[1] = QStringLiteral("9");
    codes[2] = QStringLiteral("0");
    QVERIFY(WriteKeywordFile(m_czFile, {{QStringLiteral("#PLAYER_TRACK_PAN"), codes}}));
    short left[24], right[24];
    QCOMPARE(LoadSettingsLocal(m_czFile, nullptr, nullptr, left, right, nullptr, nullptr, nullptr, nullptr), 127 - 4);
    QCOMPARE(QList<short>({left[0], right[0], left[1], right[1], left[2], right[2], left[3], right[3]}),
             QList<short>({0, 100, 0, 100, 100, 0, 100, 100}));
    QCOMPARE(LoadSettingsLocal(m_czFile, nullptr, nullptr, left, nullptr, nullptr, nullptr, nullptr, nullptr), 127);
}

void TestPlayerSettings::labels()
{
    // A name goes into a preset: an empty slot gets none.
    QVERIFY(!SaveSettingsLabel(m_czFile, QStringLiteral("Empty")));
    QVERIFY(!QFile::exists(m_czFile));
    short volume[24] = {}, left[24] = {}, right[24] = {};
    bool mute[24] = {}, swap[12] = {};
    SaveSettingsLocal(m_czFile, volume, left, right, mute, false, false, swap, nullptr, -1, -1);
    const struct {
        const char* label;
        const char* readBack;
    } rows[] = {{"Exterior day", "Exterior day"}, {"Drama|x", "Drama"}, {"#hash", ""}, {"", ""}};
    for (const auto& row : rows) {
        SaveSettingsLabel(m_czFile, QString::fromLatin1(row.label));
        QCOMPARE(LoadSettingsLabel(m_czFile), QString::fromLatin1(row.readBack));
    }
    QCOMPARE(LoadSettingsLabel(m_pDir->path() + QStringLiteral("/none.idh")), QString());
    // The mixer keys and the label live side by side.
    SaveSettingsLabel(m_czFile, QStringLiteral("Night"));
    Mixer read;
    QCOMPARE(read.Load(m_czFile), 112);
    QCOMPARE(LoadSettingsLabel(m_czFile), QStringLiteral("Night"));
}

void TestPlayerSettings::mirrorFolderOnProtectedCard_data()
{
    QTest::addColumn<bool>("parentBlocked");
    // A fresh machine: the program's folder in the working folder is missing too.
    QTest::newRow("mirror folder and its parent missing") << false;
    // A file holds the parent's name: the folder cannot be made.
    QTest::newRow("mirror folder cannot be made") << true;
}

void TestPlayerSettings::mirrorFolderOnProtectedCard()
{
    QFETCH(bool, parentBlocked);
    const QString card = m_pDir->path() + QStringLiteral("/CARD");
    QVERIFY(QDir().mkpath(card));
    const QString take = card + QStringLiteral("/ABC123.idh");
    short volume[24] = {}, left[24] = {}, right[24] = {};
    bool mute[24] = {}, swap[12] = {};
    volume[0] = 3;
    QVERIFY(SaveSettingsLocal(take, volume, left, right, mute, false, false, swap, nullptr, -1, -1));
    QVERIFY(MakeOlder(take));
    const QByteArray onCard = ReadAll(take);
    SetWritabilityProbe([card](const QString& path) { return QDir(path) != QDir(card); });
    // The card's own settings are read until the mix changes.
    QCOMPARE(SettingsStore::ReadTake(take).czPath, take);

    const QString previous = QDir::currentPath();
    QVERIFY(QDir::setCurrent(m_pDir->path()));
    auto back = qScopeGuard([&] { QDir::setCurrent(previous); });
    const QString mirror = QAll_GetMirrorPathFolder();
    const QString parent = QFileInfo(mirror).absolutePath();
    if (parentBlocked)
        QVERIFY(WriteKeywordFile(parent, {{QStringLiteral("#X"), {QStringLiteral("1")}}}));
    volume[0] = 8;
    const QString label = QStringLiteral("Preset");
    {
        ModalBoxAnswerer answerer;
        answerer.ThenAccept().ThenAccept().ThenAccept();
        // Three take changes and a preset name: one box for each kind of write.
        for (int change = 0; change < 3; ++change)
            QCOMPARE(SaveSettingsLocal(take, volume, left, right, mute, false, false, swap, nullptr, -1, -1, &label),
                     !parentBlocked);
        QCOMPARE(SaveSettingsLabel(take, label), !parentBlocked);
        QCOMPARE(answerer.SeenBoxes().size(), parentBlocked ? 2 : 0);
        if (parentBlocked) {
            QCOMPARE(answerer.SeenBoxes()[0].title, QStringLiteral("Save mix settings"));
            QCOMPARE(answerer.SeenBoxes()[0].text, QStringLiteral("Unable to create local folder\nto save mix settings !"));
            QCOMPARE(answerer.SeenBoxes()[1].text,
                     QStringLiteral("Unable to create local folder\nto save preset settings !"));
        }
    }
    QCOMPARE(ReadAll(take), onCard);
    const QString copy = mirror + QStringLiteral("/ABC123.idh");
    QCOMPARE(QFileInfo::exists(copy), !parentBlocked);
    QCOMPARE(SettingsStore::ReadTake(take).czPath, parentBlocked ? take : copy);
    Mixer read;
    QCOMPARE(read.Load(SettingsStore::ReadTake(take).czPath), 112);
    QCOMPARE(read.volume[0], short(parentBlocked ? 3 : 8));
    QCOMPARE(LoadSettingsLabel(SettingsStore::ReadTake(take).czPath), parentBlocked ? QString() : label);
}

// Every key goes in one write: a target that cannot be written (here a
// folder in the file's place) gives one message, not one per key.
void TestPlayerSettings::oneFailureOneMessage()
{
    QVERIFY(QDir().mkpath(m_czFile));
    MessageLoging logger;
    QSignalSpy messages(&logger, &MessageLoging::signal_message);
    short volume[24] = {}, left[24] = {}, right[24] = {}, rotate[24] = {};
    bool mute[24] = {}, swap[12] = {};
    SaveSettingsLocal(m_czFile, volume, left, right, mute, false, false, swap, rotate, 3, 1);
    QCOMPARE(messages.count(), 1);
    QVERIFY(QFileInfo(m_czFile).isDir());
    QCOMPARE(QDir(m_pDir->path()).entryList(QDir::AllEntries | QDir::Hidden | QDir::NoDotAndDotDot),
             QStringList{"ABC123.idh"});
}

// The twin an hour older than the file; a preset's twin 1.5 s newer than
// a file of a FAT card's time (a whole even second).
static bool OlderOrOneStep(const QString& twin, const QString& path, bool preset)
{
    QFile own(path), kept(twin);
    const QDateTime even = QDateTime::fromSecsSinceEpoch(QDateTime::currentSecsSinceEpoch() / 2 * 2 - 3600);
    if (!preset)
        return MakeOlder(twin);
    return own.open(QIODevice::ReadWrite) && own.setFileTime(even, QFileDevice::FileModificationTime)
           && kept.open(QIODevice::ReadWrite)
           && kept.setFileTime(even.addMSecs(1500), QFileDevice::FileModificationTime);
}

// After the older twin of path was settled: the file holds after and is
// read, on a locked card too; the twin is gone when told so, else why it
// stays is given.
static QString OlderTwinSettled(const QString& path, const QByteArray& after, bool preset, bool done,
                                const SettingsStore::tyCopy& twin)
{
    const QString folder = QFileInfo(path).absolutePath();
    SetWritabilityProbe([folder](const QString& asked) { return QDir(asked) != QDir(folder); });
    const QString read = (preset ? SettingsStore::ReadPreset(path) : SettingsStore::ReadTake(path)).czPath;
    SetWritabilityProbe(nullptr);
    if (ReadAll(path) != after || read != path)
        return QStringLiteral("the older copy read");
    if (done == QFileInfo::exists(twin.czPath))
        return done ? QStringLiteral("its mirror copy stays") : QStringLiteral("told staying, removed");
    return done || !twin.czWhy.isEmpty() ? QString() : QStringLiteral("stays with no reason");
}

void TestPlayerSettings::failedWriteKeepsOldFileWhole_data()
{
    QTest::addColumn<QString>("file");
    QTest::addColumn<QString>("plan");   // of DiskFaultPlans(), or a full volume
    for (const char* file : {"ABC123.idh", "Preset_0.idh"}) {
        for (const char* plan : {"EIO", "ENOSPC"})
            QTest::newRow(qPrintable(QStringLiteral("%1, each call failing: %2").arg(file, plan))) << file << plan;
        // What the volume holds is read back before the file is kept.
        QTest::newRow(qPrintable(QStringLiteral("%1, each write lost").arg(file))) << file << "a write lost";
    }
    // Kept in the mirror folder, then moved into its folder: whole in one
    // of the two, and read from there.
    for (const char* plan : {"EIO", "a write lost"}) {
        QTest::newRow(qPrintable(QStringLiteral("Preset_0.idh moved in, each call failing: %1").arg(plan)))
            << "Preset_0.idh moved in" << plan;
        // Saved in the mirror folder while the settings folder was locked,
        // after the copy there: the newer one is read and moves in over it.
        QTest::newRow(
            qPrintable(QStringLiteral("Preset_0.idh moved in over an older one, each call failing: %1").arg(plan)))
            << "Preset_0.idh moved in over" << plan;
    }
    // A mirror copy as old as the folder's file or older (written within
    // one 2 s step of a FAT card's clock): removed, the folder's file read
    // and left whole, a copy that stays never read.
    QTest::newRow("ABC123.idh's older mirror copy retired, each call failing: EIO") << "ABC123.idh retired"
                                                                                      << "EIO";
    QTest::newRow("Preset_0.idh and a mirror copy in one 2 s step, each call failing: EIO")
        << "Preset_0.idh kept" << "EIO";
    QTest::newRow("ABC123.idh on a full volume") << "ABC123.idh"
                                                 << "full";
    // No earlier file: the message does not speak of previous settings.
    QTest::newRow("a first Preset_0.idh on a full volume") << "Preset_0.idh"
                                                           << "full";
}

// A mix (a take's, or a preset's with its name) written over the previous
// one: the file afterwards holds the old settings whole or the new ones
// whole, a failure is told, and no temporary stays.
void TestPlayerSettings::failedWriteKeepsOldFileWhole()
{
    QFETCH(QString, file);
    QFETCH(QString, plan);
    const bool preset = file.startsWith(QLatin1String("Preset"));
    MessageLoging logger;
    global_pLogger = &logger;
    auto unhook = qScopeGuard([] { global_pLogger = nullptr; });
    QSignalSpy messages(&logger, &MessageLoging::signal_message);
    short volume[24] = {}, left[24] = {}, right[24] = {};
    bool mute[24] = {}, swap[12] = {};
    const QString oldLabel = QStringLiteral("Day"), newLabel = QStringLiteral("Night");
    // Writes the old mix over nothing, or the new one over the old.
    const auto write = [&](const QString& path, bool change) {
        for (int t = 0; t < 24; ++t) {
            volume[t] = short(change ? 8 - t % 8 : t % 8);
            left[t] = short(change && t % 3 == 0 ? 0 : 100);
            mute[t] = change == (t % 2 == 0);
        }
        return SaveSettingsLocal(path, volume, left, right, mute, false, false, swap, nullptr, -1, -1,
                                 preset ? (change ? &newLabel : &oldLabel) : nullptr);
    };
    std::fill(right, right + 24, short(100));

    if (plan == QLatin1String("full")) {
        // The volume does not tell its size: the failing write must catch it.
        SetFreeSpaceFunction([](const QString&) { return qint64(-1); });
        auto restore = qScopeGuard([] { SetFreeSpaceFunction(nullptr); });
        QString how;
        const bool first = preset;
        const bool held = RunOnFullVolume(m_pDir->path(), 128, [&](const QString& folder) {
            const QString path = folder + QLatin1Char('/') + file;
            const QByteArray old = first ? QByteArray() : QByteArray("#LABEL\r\nDay\r\n");
            QFile filler(folder + QStringLiteral("/filler"));
            if ((!first && !WriteKeywordFile(path, {{QStringLiteral("#LABEL"), {oldLabel}, true}}))
                || ReadAll(path) != old || !filler.open(QIODevice::WriteOnly))
                return false;
            while (filler.write(QByteArray(512, 'f')) > 0 && filler.flush()) {
            }
            filler.close();
            if (write(path, true) || ReadAll(path) != old || QFileInfo::exists(path) == first
                || messages.count() != 1 || !HiddenLeftovers(folder).isEmpty())
                return false;
            const QString text = messages.first().at(1).toString();
            return text.contains(first ? QStringLiteral(" was not written (")
                                       : QStringLiteral(" keeps its previous settings ("));
        }, &how);
        QVERIFY2(held, qPrintable(how));
        return;
    }

    const QString folder = m_pDir->path() + QStringLiteral("/card");
    const QString path = folder + QLatin1Char('/') + file.section(QLatin1Char(' '), 0, 0);
    const bool moveIn = file.contains(QLatin1String(" moved in"));
    const bool over = file.endsWith(QLatin1String(" over"));
    const bool olderTwin = file.endsWith(QLatin1String(" retired")) || file.endsWith(QLatin1String(" kept"));
    const QString previous = QDir::currentPath();
    QVERIFY(QDir::setCurrent(m_pDir->path()) && QDir().mkpath(QAll_GetMirrorPathFolder()));
    auto back = qScopeGuard([&] { QDir::setCurrent(previous); });
    const QString twin = MirrorTwinPath(path);
    QByteArray before, after;
    // The two files a write may leave.
    QVERIFY(QDir().mkpath(folder) && write(path, false));
    before = ReadAll(path);
    QVERIFY(write(path, true));
    after = ReadAll(path);
    QVERIFY(before != after && messages.isEmpty());

    tyFaultWalkJob job;
    job.folders = QStringList{folder};
    job.syncedBeforeRename = true;
    job.begin = [&] {
        messages.clear();
        if (olderTwin)
            return ReadAll(path) == after && WriteBytes(twin, before) && OlderOrOneStep(twin, path, preset);
        if (over && !(QFile::remove(path) && write(path, false) && MakeOlder(path)))
            return false;
        if (moveIn)
            return (over || QFile::remove(path) || !QFile::exists(path)) && WriteBytes(twin, after);
        return QFile::remove(path) && write(path, false) && ReadAll(path) == before;
    };
    SettingsStore::tyCopy kept;
    job.run = [&] {
        if (olderTwin && !preset)
            return SettingsStore::SettleTake(path, &kept) == SettingsStore::Settled::Retired;
        return moveIn || olderTwin ? SettingsStore::SettlePreset(path, &kept) == SettingsStore::Settled::Moved
                                   : write(path, true);
    };
    job.load = [] {};
    job.check = [&](bool done, bool) {
        if (olderTwin)
            return OlderTwinSettled(path, after, preset, done, kept);
        if (moveIn && done && QFileInfo::exists(twin))
            return QStringLiteral("its mirror copy stays");
        if (moveIn)
            return ReadAll(done ? path : SettingsStore::ReadPreset(path).czPath) == after ? QString()
                                                                                       : QStringLiteral("preset lost");
        const QByteArray bytes = ReadAll(path);
        if (done)
            return bytes == after && messages.isEmpty() ? QString() : QStringLiteral("told done, not written");
        if (messages.count() != 1)
            return QStringLiteral("%1 messages").arg(messages.count());
        return bytes == before || bytes == after ? QString() : QStringLiteral("left %1 bytes").arg(bytes.size());
    };
    const tyFaultWalk walk = WalkDiskFaults(job, plan);
    QVERIFY2(walk.lczFaults.isEmpty(), qPrintable(walk.lczFaults.join('\n')));
    QVERIFY(walk.nCalls > 0 && walk.nFailedRuns > 0);
}

QTEST_MAIN(TestPlayerSettings)
#include "test_player_settings.moc"
