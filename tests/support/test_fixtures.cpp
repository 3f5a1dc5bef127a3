// Checks that the test media are what the rest of the suite relies on: valid
// recorder layouts, broken variants that break in exactly the announced way,
// files that standard tools read with the same facts, and reproducible bytes.
#include "foundation/filekey.h"
#include "tests/support/demomedia.h"
#include "tests/support/fixturesamples.h"
#include "tests/support/fixturevariants.h"
#include "tests/support/fixturewriter.h"
#include "tests/support/riffreader.h"
#include "tests/support/scratchdir.h"

#include <QDirIterator>
#include <QFile>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QProcess>
#include <QStandardPaths>
#include <QtTest>

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

using namespace fixture;

namespace {

// The take status a loaded file gets (1 no PCM sound file, 2 no bext,
// 3 not the recorder's, 8 not closed correctly, 5 no iXML document,
// 6 no maker block, 7 wrong file key; 0 valid), computed from the
// independent reader, so that each variant is shown to carry exactly the
// fault it announces.
int StatusOf(const RiffInfo& info)
{
    if (!info.isRiffWave)
        return 1;
    bool fmt = false, data = false, bext = false, ixml = false;
    int headers = 0;
    for (const RiffChunk& c : info.chunks) {
        if (++headers > 4096)   // where the system's walk stops
            break;
        fmt |= c.id == "fmt ";
        data |= c.id == "data";
        bext |= c.id == "bext";
        ixml |= c.id == "iXML";
    }
    if (!fmt || !data || info.formatTag != 1 || (info.bits != 16 && info.bits != 24))
        return 1;
    if (!bext)
        return 2;
    if (!info.originatorReference.startsWith("ORVEX"))
        return 3;
    if (!ixml || info.riffSize != info.fileSize - 8 || info.dataSize == 0 || info.dataSize == 0xFFFFFFFFu
        || info.dataOffset + info.dataSize > info.fileSize)
        return 8;
    if (IxmlRoot(info.ixml) != QLatin1String("BWFXML"))
        return 5;
    if (IxmlValues(info.ixml, QStringLiteral("ORVEX_BRISEL")).isEmpty())
        return 6;
    const QString key = IxmlValue(info.ixml, QStringLiteral("ORVEX_BRISEL/FILE_KEY"));
    if (key.isNull() || !FileKeyMatches(key, info.dataSize, info.sampleRate, info.bits, info.channels))
        return 7;
    return 0;
}

QStringList WavFilesBelow(const QString& folder)
{
    QStringList files;
    QDirIterator it(folder, {QStringLiteral("*.WAV")}, QDir::Files, QDirIterator::Subdirectories);
    while (it.hasNext())
        files << it.next();
    files.sort();
    return files;
}

QByteArray ReadAll(const QString& path)
{
    QFile f(path);
    return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray();
}

QString RunTool(const QString& program, const QStringList& args)
{
    QProcess p;
    p.start(program, args);
    if (!p.waitForFinished(30000) || p.exitCode() != 0)
        return QString();
    return QString::fromUtf8(p.readAllStandardOutput());
}

// What ffprobe (and sox, where given) say of each file, in the order of
// files: "<file>\n<probe's JSON>", then where sox runs "\x1d\n" and its
// report (see SoxFacts), written in scratch first.
// Empty when the tools did not finish.
QStringList ToolReports(const QString& ffprobe, const QString& sox, const QStringList& files, const QString& scratch)
{
    static const char* const script =
        "probe=$1; sox=$2; shift 2\n"
        "for f; do\n"
        "  printf '\\036%s\\n' \"$f\"\n"
        "  \"$probe\" -v error -show_streams -show_format -of json \"$f\"\n"
        "  [ -n \"$sox\" ] || continue\n"
        "  printf '\\035\\n'\n"
        "  \"$sox\" --i \"$f\" || :\n"
        "done\n";
    // Four shells side by side, each over a quarter of the files into a
    // file of its own: a tool's start waits mostly on the loading of its
    // libraries, not on the processor, so starts at once overlap well.
    constexpr int kShells = 4;
    QProcess shells[kShells];
    QString outputs[kShells];
    const int share = (int(files.size()) + kShells - 1) / kShells;
    for (int i = 0; i < kShells; ++i) {
        outputs[i] = scratch + QStringLiteral("/tools-%1.txt").arg(i);
        shells[i].setStandardOutputFile(outputs[i]);
        shells[i].start(QStringLiteral("/bin/sh"),
                        QStringList{"-c", QString::fromLatin1(script), "sh", ffprobe, sox} + files.mid(i * share, share));
    }
    QStringList reports;
    for (int i = 0; i < kShells; ++i) {
        if (!shells[i].waitForFinished(240000) || shells[i].exitCode() != 0)
            return QStringList();
        QStringList own = QString::fromUtf8(ReadAll(outputs[i])).split(QLatin1Char('\x1e'));
        own.removeFirst();   // what came before the first file: nothing
        reports += own;
    }
    return reports;
}

// A file's channels, rate, bits and frames as sox's report of it tells
// them ("Channels : 2", "Sample Encoding: 24-bit ...", "Duration : ... = N
// samples ..."); 0 for each it does not tell.
QList<quint32> SoxFacts(const QString& report)
{
    QList<quint32> facts = {0, 0, 0, 0};
    const QStringList keys = {QStringLiteral("Channels"), QStringLiteral("Sample Rate"),
                              QStringLiteral("Sample Encoding"), QStringLiteral("Duration")};
    for (const QString& line : report.split(QLatin1Char('\n'))) {
        const int colon = line.indexOf(QLatin1Char(':'));
        const int fact = keys.indexOf(line.left(colon).trimmed());
        if (colon < 0 || fact < 0)
            continue;
        QString value = line.mid(colon + 1).trimmed();
        if (fact == 2)
            value = value.section(QLatin1Char('-'), 0, 0);   // "24-bit Signed Integer PCM"
        else if (fact == 3)
            value = value.section(QLatin1String("= "), 1).section(QLatin1Char(' '), 0, 0);
        facts[fact] = value.toUInt();
    }
    return facts;
}

TakeSpec GappedFamily()
{
    TakeSpec spec = MonoTake(QStringLiteral("ABC123"), {0, 1, 3});
    spec.tracks[0].name = QStringLiteral("Boom");
    spec.note = QStringLiteral("Plane overhead");
    spec.frames = 52800;   // 11 overview points: the chunk gets one zero level
    spec.slates = {{24000, QStringLiteral("AUTO")}};
    spec.markers = {{36000, QStringLiteral("Cue")}};
    return spec;
}

}  // namespace

class TestFixtures : public QObject {
    Q_OBJECT

private slots:
    void samplesArePredictable();
    void monoFamilyFollowsTheRecorderLayout();
    void polyFileCarriesEveryChannel();
    void fileNames_data();
    void fileNames();
    void chunkOrderVariants();
    void bextDescriptionNeverOverflows();
    void brokenVariantsCarryTheirFault_data();
    void brokenVariantsCarryTheirFault();
    void foreignFiles();
    void sidecarIsAKeywordFile();
    void standardToolsAgree();
    void bytesAreReproducible();
    void demoToolWritesAVolume();
    void scratchGoesWithNamesNotUtf8();

private:
    // The demo volume, written once for the tests that read it.
    const QStringList& DemoVolume();

    ScratchDir m_scratch;
    QString m_czVolume;
    QStringList m_lczVolumeFiles;
};

const QStringList& TestFixtures::DemoVolume()
{
    if (m_czVolume.isEmpty()) {
        m_czVolume = m_scratch.filePath(QStringLiteral("volume"));
        m_lczVolumeFiles = WriteDemoVolume(m_czVolume);
    }
    return m_lczVolumeFiles;
}

void TestFixtures::samplesArePredictable()
{
    for (const int bits : {16, 24}) {
        for (const int track : {0, 7, 23}) {
            qint32 highest = 0;
            for (qint64 f = 0; f < 1000; ++f)
                highest = qMax(highest, qAbs(SampleValue(track, f, bits)));
            QCOMPARE(highest, SamplePeak(track, bits));
            QVERIFY(SamplePeak(track, bits) < (1 << (bits - 1)));
        }
    }
    QVERIFY(SampleValue(0, 10, 24) != SampleValue(1, 10, 24));
    QVERIFY(SampleValue(3, 10, 24) != SampleValue(3, 11, 24));
    QCOMPARE(SampleValue(0, 0, 8), 0);

    // Interleaved little-endian bytes in track order.
    const QByteArray bytes = SampleBytes({2, 5}, 100, 2, 24);
    QCOMPARE(bytes.size(), 12);
    auto at = [&bytes](int i) {
        const qint32 v = quint8(bytes[i]) + quint8(bytes[i + 1]) * 256 + qint8(bytes[i + 2]) * 65536;
        return v;
    };
    QCOMPARE(at(0), SampleValue(2, 100, 24));
    QCOMPARE(at(3), SampleValue(5, 100, 24));
    QCOMPARE(at(9), SampleValue(5, 101, 24));

    // One level per whole run; the final partial run gives none.
    const QByteArray levels = OverviewLevels(3, 4800 * 3 + 100, 24, 4800);
    QCOMPARE(levels.size(), 3);
    QCOMPARE(quint8(levels[0]), quint8(SamplePeak(3, 24) >> 15));
}

void TestFixtures::monoFamilyFollowsTheRecorderLayout()
{
    const TakeSpec spec = GappedFamily();
    const QString day = m_scratch.filePath(QStringLiteral("family"));
    const WrittenTake take = WriteTake(day, spec);
    QCOMPARE(take.files.size(), 3);

    const qint64 size = QFileInfo(take.files.first()).size();
    for (int i = 0; i < take.files.size(); ++i) {
        const int slot = spec.tracks.at(i).slot;
        const RiffInfo info = ReadRiffFile(take.files.at(i));
        QCOMPARE(QFileInfo(take.files.at(i)).size(), size);
        QCOMPARE(info.ChunkIds(), QStringList({"fmt ", "bext", "data", QStringLiteral("ond%1").arg(slot + 1), "iXML"}));
        QCOMPARE(qint64(info.riffSize), info.fileSize - 8);
        QCOMPARE(info.walkedEnd, info.fileSize);
        QCOMPARE(StatusOf(info), 0);

        QCOMPARE(int(info.channels), 1);
        QCOMPARE(int(info.blockAlign), 3);
        QCOMPARE(info.byteRate, 144000u);
        QCOMPARE(info.Frames(), spec.frames);
        QCOMPARE(info.data, SampleBytes({slot}, 0, spec.frames, 24));

        QCOMPARE(info.DescriptionValue("aCHNL"), QStringLiteral("C%1").arg(slot + 1));
        QCOMPARE(info.DescriptionValue("aTYP"), QStringLiteral("mono"));
        QCOMPARE(info.DescriptionValue("aTAG"), QStringLiteral("ABC123"));
        QCOMPARE(info.DescriptionValue("aNOTE"), spec.note);
        QCOMPARE(info.originator, QByteArray("BRISEL 7"));
        QCOMPARE(info.originatorReference.left(6), QByteArray("ORVEX\0", 6));
        QCOMPARE(info.originatorReference.mid(22, 9), QByteArray("ABC123100"));
        QCOMPARE(info.originatorReference.at(31), char('0' + slot));
        QCOMPARE(info.timeReference, quint64(36000) * 48000);

        const RiffChunk* ond = info.Find(QStringLiteral("ond%1").arg(slot + 1).toLatin1());
        QVERIFY(ond && ond->size % 2 == 0);
        const QByteArray ondBytes = ReadAll(take.files.at(i)).mid(int(ond->payloadOffset), int(ond->size));
        QCOMPARE(ondBytes.left(4), QByteArray::fromHex("c0120000"));   // 4800
        QCOMPARE(ondBytes.mid(4), OverviewLevels(slot, spec.frames, 24, 4800) + '\0');

        QCOMPARE(info.ixml.size() % 4096, 0);
        QCOMPARE(IxmlValue(info.ixml, "FILE_SET/TOTAL_FILES"), QStringLiteral("3"));
        QCOMPARE(IxmlValue(info.ixml, "FILE_SET/FAMILY_NAME"), QStringLiteral("12A/t3"));
        QCOMPARE(IxmlValue(info.ixml, "TRACK_LIST/TRACK/CHANNEL_INDEX"), QString::number(slot + 1));
        QCOMPARE(IxmlValues(info.ixml, "ORVEX_BRISEL/ALL_TRK_NAME/DATA/ACTIVE").size(), 24);
        QCOMPARE(IxmlValues(info.ixml, "ORVEX_BRISEL/ALL_TRK_NAME/DATA/ACTIVE").at(2), QStringLiteral("NO"));
        QCOMPARE(IxmlValues(info.ixml, "SYNC_POINT_LIST/SYNC_POINT/SYNC_POINT_FUNCTION"),
                 QStringList({"SLATE_GENERIC", "MARKER_GENERIC"}));
        QCOMPARE(IxmlValue(info.ixml, "ORVEX_BRISEL/FILE_KEY"), MakeFileKey(158400, 48000, 24, 1));
    }
}

void TestFixtures::polyFileCarriesEveryChannel()
{
    TakeSpec spec = PolyTake(QStringLiteral("POL001"), {0, 1, 2, 5});
    spec.bits = 16;
    spec.frames = 9600;
    spec.tracks[0].function = QStringLiteral("L-MIX");
    const WrittenTake take = WriteTake(m_scratch.filePath(QStringLiteral("poly")), spec);
    QCOMPARE(take.files.size(), 1);
    QVERIFY(take.files.first().endsWith(QLatin1String("/POL001PX.WAV")));

    const RiffInfo info = ReadRiffFile(take.files.first());
    QCOMPARE(StatusOf(info), 0);
    QCOMPARE(info.ChunkIds(), QStringList({"fmt ", "bext", "data", "ond1", "ond2", "ond3", "ond6", "iXML"}));
    QCOMPARE(int(info.channels), 4);
    QCOMPARE(int(info.blockAlign), 8);
    QCOMPARE(info.data, SampleBytes({0, 1, 2, 5}, 0, 9600, 16));
    QCOMPARE(info.DescriptionValue("aTYP"), QStringLiteral("poly"));
    QCOMPARE(info.DescriptionValue("aTRK1"), QStringLiteral("Trk1"));
    QVERIFY(info.DescriptionValue("aCHNL").isNull());
    QCOMPARE(IxmlValues(info.ixml, "TRACK_LIST/TRACK/CHANNEL_INDEX"), QStringList({"1", "2", "3", "6"}));
    QCOMPARE(IxmlValues(info.ixml, "TRACK_LIST/TRACK/INTERLEAVE_INDEX"), QStringList({"1", "2", "3", "4"}));
    QCOMPARE(IxmlValues(info.ixml, "TRACK_LIST/TRACK/FUNCTION").first(), QStringLiteral("L-MIX"));
    QCOMPARE(IxmlValue(info.ixml, "FILE_SET/TOTAL_FILES"), QStringLiteral("1"));
}

void TestFixtures::fileNames_data()
{
    QTest::addColumn<char>("separator");
    QTest::addColumn<int>("numberStyle");
    QTest::addColumn<int>("nameStyle");
    QTest::addColumn<int>("scTkTemplate");
    QTest::addColumn<QString>("expected");   // of the track in slot 9

    const int two = int(TrackNumberStyle::TwoDigit), one = int(TrackNumberStyle::OneChar);
    const int shortName = int(NameStyle::Short), eq = int(NameStyle::LongEquals), us = int(NameStyle::LongUnderscore);
    QTest::newRow("underscore") << '_' << two << shortName << 0 << "ABC123_10.WAV";
    QTest::newRow("dash") << '-' << two << shortName << 0 << "ABC123-10.WAV";
    QTest::newRow("hash") << '#' << two << shortName << 0 << "ABC123#10.WAV";
    QTest::newRow("plus") << '+' << two << shortName << 0 << "ABC123+10.WAV";
    QTest::newRow("one char") << '_' << one << shortName << 0 << "ABC123_A.WAV";
    QTest::newRow("long ==") << '_' << two << eq << 0 << "ABC123==     12A     t3==_10.WAV";
    QTest::newRow("long __") << '_' << two << us << 0 << "ABC123_______12A_____t3___10.WAV";
    QTest::newRow("long dash") << '-' << two << eq << 0 << "ABC123==     12A     t3==-10.WAV";
    QTest::newRow("long template 2") << '_' << two << eq << 2 << "ABC123==     12A      3==_10.WAV";
}

void TestFixtures::fileNames()
{
    QFETCH(char, separator);
    QFETCH(int, numberStyle);
    QFETCH(int, nameStyle);
    QFETCH(int, scTkTemplate);
    QFETCH(QString, expected);
    TakeSpec spec = MonoTake(QStringLiteral("ABC123"), {9});
    spec.tracks[0].separator = separator;
    spec.numberStyle = TrackNumberStyle(numberStyle);
    spec.nameStyle = NameStyle(nameStyle);
    spec.scTkTemplate = scTkTemplate;
    QCOMPARE(TrackFileName(spec, 0), expected);

    spec.poly = true;
    const QString poly = PolyFileName(spec);
    QVERIFY(poly.startsWith(QLatin1String("ABC123")) && poly.endsWith(QLatin1String("PX.WAV")));
}

void TestFixtures::chunkOrderVariants()
{
    TakeSpec spec = MonoTake(QStringLiteral("ORD001"), {1});
    spec.frames = 4800;
    spec.order = ChunkOrder::IxmlBeforeData;
    spec.film = true;
    RiffInfo info = ParseRiff(BuildMonoFile(spec, 0));
    QCOMPARE(info.ChunkIds(), QStringList({"fmt ", "bext", "film", "iXML", "data", "ond2"}));
    QCOMPARE(StatusOf(info), 0);
    QCOMPARE(info.Find("film")->size, 1572u);

    spec.order = ChunkOrder::IxmlBeforeOnd;
    spec.film = false;
    spec.waveform = false;
    info = ParseRiff(BuildMonoFile(spec, 0));
    QCOMPARE(info.ChunkIds(), QStringList({"fmt ", "bext", "data", "iXML"}));
    QCOMPARE(StatusOf(info), 0);
}

void TestFixtures::bextDescriptionNeverOverflows()
{
    TakeSpec spec = MonoTake(QStringLiteral("LNG001"), {0});
    spec.note = QString(60, QLatin1Char('n'));
    QCOMPARE(RiffInfo().DescriptionValue("x"), QString());
    RiffInfo info = ParseRiff(BuildMonoFile(spec, 0));
    QCOMPARE(info.DescriptionValue("aNOTE").size(), 49);

    spec.scene = QString(90, QLatin1Char('s'));
    spec.tracks[0].name = QString(120, QLatin1Char('t'));
    const QByteArray description = BextDescription(spec, 0);
    QVERIFY(description.size() <= 255);
    QVERIFY(description.endsWith("aNOTE=\r\n"));
    info = ParseRiff(BuildMonoFile(spec, 0));
    QCOMPARE(info.description, description);
    QCOMPARE(info.originator, QByteArray("BRISEL 7"));
}

void TestFixtures::brokenVariantsCarryTheirFault_data()
{
    QTest::addColumn<int>("breakage");
    for (const BreakageInfo& b : Breakages())
        QTest::newRow(b.name) << int(b.breakage);
}

void TestFixtures::brokenVariantsCarryTheirFault()
{
    QFETCH(int, breakage);
    const BreakageInfo& expected = InfoOf(Breakage(breakage));
    QCOMPARE(int(expected.breakage), breakage);

    TakeSpec spec = MonoTake(QStringLiteral("BRK001"), {0, 1});
    spec.frames = 9600;
    const QString day = m_scratch.filePath(QStringLiteral("broken/%1").arg(expected.name));
    const WrittenTake take = WriteBrokenTake(day, spec, Breakage(breakage));
    QCOMPARE(take.files.size(), 2);

    const RiffInfo first = ReadRiffFile(take.files.at(0));
    const RiffInfo second = ReadRiffFile(take.files.at(1));
    if (expected.expectedStatus >= 0) {
        QCOMPARE(StatusOf(first), expected.expectedStatus);
        QCOMPARE(StatusOf(second), 0);
    } else {
        QCOMPARE(StatusOf(first), 0);
        QCOMPARE(StatusOf(second), 0);
        QVERIFY(first.sampleRate != second.sampleRate || first.dataSize != second.dataSize);
    }
    if (Breakage(breakage) == Breakage::OddChunkUnpadded || Breakage(breakage) == Breakage::OddChunkPadded) {
        QVERIFY(first.Find("xtra") && first.Find("iXML"));
        QCOMPARE(first.walkedEnd, first.fileSize);
    }
    if (Breakage(breakage) == Breakage::FortyUnknownChunks)
        QCOMPARE(first.ChunkIds().indexOf(QStringLiteral("data")), 42);   // after fmt, bext and the forty
    if (Breakage(breakage) == Breakage::TwoIxmlChunks)
        QCOMPARE(first.ChunkIds().count(QStringLiteral("iXML")), 2);
}

void TestFixtures::foreignFiles()
{
    const QString folder = m_scratch.filePath(QStringLiteral("foreign"));
    for (const int bits : {16, 24}) {
        for (int channels = 1; channels <= 8; ++channels) {
            ForeignSpec spec;
            spec.channels = channels;
            spec.bits = quint16(bits);
            spec.frames = 4801;   // odd: the data chunk needs its pad byte
            const RiffInfo info = ParseRiff(BuildForeignFile(spec));
            QCOMPARE(info.ChunkIds(), QStringList({"fmt ", "data"}));
            QCOMPARE(int(info.channels), channels);
            QCOMPARE(int(info.bits), bits);
            QCOMPARE(info.Frames(), 4801u);
            QCOMPARE(StatusOf(info), 2);
        }
    }

    ForeignSpec withBext;
    withBext.bext = true;
    const RiffInfo bext = ParseRiff(BuildForeignFile(withBext));
    QCOMPARE(StatusOf(bext), 3);
    QCOMPARE(bext.originator, QByteArray("FIELDREC 2"));

    // Headers first, as other makes write them: the iXML in UTF-8 or UTF-16
    // padded to its size before fmt, the samples intact.
    withBext.headersFirst = true;
    for (const bool utf16 : {false, true}) {
        withBext.ixmlUtf16 = utf16;
        const RiffInfo info = ParseRiff(BuildForeignFile(withBext));
        QCOMPARE(info.ChunkIds(), QStringList({"bext", "iXML", "fmt ", "data"}));
        QCOMPARE(int(info.Find("iXML")->size), withBext.ixmlBytes);
        QCOMPARE(info.ixml.startsWith("\xff\xfe"), utf16);
        QCOMPARE(info.data, SampleBytes({0, 1}, 0, 48000, 24));
    }

    const QStringList family = WriteForeignMonoFamily(folder, QStringLiteral("SC44T2"), 3, QStringLiteral("44/2"));
    QCOMPARE(family.size(), 3);
    for (int k = 1; k <= 3; ++k) {
        const RiffInfo info = ReadRiffFile(family.at(k - 1));
        QVERIFY(family.at(k - 1).endsWith(QStringLiteral("SC44T2_%1.WAV").arg(k)));
        QCOMPARE(StatusOf(info), 3);
        QCOMPARE(IxmlValue(info.ixml, "TRACK_LIST/TRACK/CHANNEL_INDEX"), QString::number(k));
        QCOMPARE(IxmlValue(info.ixml, "FILE_SET/TOTAL_FILES"), QStringLiteral("3"));
        QCOMPARE(IxmlValue(info.ixml, "FILE_SET/FAMILY_NAME"), QStringLiteral("44/2"));
        QVERIFY(IxmlValues(info.ixml, "ORVEX_BRISEL").isEmpty());
        QCOMPARE(info.data, SampleBytes({k - 1}, 0, 48000, 24));
    }
}

void TestFixtures::sidecarIsAKeywordFile()
{
    SidecarSpec side;
    side.volume = {0, 8};
    side.virtMetadata = QStringList{"12A", "t3", "note", "00000000", "T001"};
    const QString path = WriteSidecar(m_scratch.path(), QStringLiteral("ABC123PX"), side);
    QVERIFY(path.endsWith(QLatin1String("/ABC123.idh")));
    const QList<QByteArray> lines = ReadAll(path).split('\n');
    QCOMPARE(lines.at(0), QByteArray("#PLAYER_TRACK_VOL\r"));
    QCOMPARE(lines.at(1), QByteArray("0|8|") + QByteArray("4|").repeated(22) + "\r");
    QCOMPARE(lines.at(6), QByteArray("#PLAYER_SWAP_MS\r"));
    QCOMPARE(lines.at(7), QByteArray("0|").repeated(12) + "\r");
    QCOMPARE(lines.at(9), QByteArray("12A|t3|note|00000000|T001|\r"));

    QVERIFY(WriteKeywordFile(path, {{QStringLiteral("#MIN_TRACK"), {QStringLiteral("3")}, true}}));
    QCOMPARE(ReadAll(path), QByteArray("#MIN_TRACK\r\n3\r\n"));
}

void TestFixtures::standardToolsAgree()
{
    const QString ffprobe = QStandardPaths::findExecutable(QStringLiteral("ffprobe"));
    if (ffprobe.isEmpty())
        QSKIP("ffprobe is not installed");
    const QString sox = QStandardPaths::findExecutable(QStringLiteral("sox"));

    const QString root = m_scratch.filePath(QStringLiteral("tools"));
    // One member of each take of the volume stands for its take: the members
    // share their layout, and each file costs the tools a start.
    QStringList files;
    QSet<QString> takes;
    for (const QString& file : DemoVolume().filter(QStringLiteral(".WAV"))) {
        const QFileInfo info(file);
        if (!takes.contains(info.path() + info.fileName().left(6))) {
            takes << info.path() + info.fileName().left(6);
            files << file;
        }
    }
    for (const BreakageInfo& b : Breakages()) {
        if (b.standardReadable) {
            TakeSpec spec = MonoTake(QStringLiteral("BRK002"), {0, 1});
            files << WriteBrokenTake(root + QLatin1Char('/') + b.name, spec, b.breakage).files;
        }
    }
    for (const int channels : {1, 3, 8}) {
        ForeignSpec spec;
        spec.channels = channels;
        spec.bits = channels == 3 ? 16 : 24;
        spec.bext = channels == 1;
        const QString path = root + QStringLiteral("/foreign%1.WAV").arg(channels);
        QVERIFY(WriteForeignFile(path, spec));
        files << path;
    }
    QVERIFY(files.size() > 60);

    // One shell runs the tools over every file (a program forked from this
    // one is slow to start under the sanitizers), each tool started once a
    // file: per file its name, the probe's JSON, and where sox is there its
    // report.
    const QStringList reports = ToolReports(ffprobe, sox, files, m_scratch.path());
    QCOMPARE(reports.size(), files.size());
    for (int i = 0; i < files.size(); ++i) {
        const QString& file = files.at(i);
        const QStringList parts = reports.at(i).split(QLatin1Char('\x1d'));
        QCOMPARE(parts.first().section(QLatin1Char('\n'), 0, 0), file);
        const RiffInfo info = ReadRiffFile(file);
        const QJsonObject probe =
            QJsonDocument::fromJson(parts.first().section(QLatin1Char('\n'), 1).toUtf8()).object();
        const QJsonObject stream = probe.value("streams").toArray().first().toObject();
        QVERIFY2(!stream.isEmpty(), qPrintable(file));
        QCOMPARE(stream.value("channels").toInt(), int(info.channels));
        QCOMPARE(stream.value("sample_rate").toString().toUInt(), info.sampleRate);
        QCOMPARE(stream.value("bits_per_sample").toInt(), int(info.bits));
        QCOMPARE(quint32(stream.value("duration_ts").toInt()), info.Frames());
        if (info.hasBext) {
            const QJsonObject tags = probe.value("format").toObject().value("tags").toObject();
            const QString description = tags.contains("comment") ? tags.value("comment").toString()
                                                                 : tags.value("description").toString();
            QCOMPARE(description, QString::fromLatin1(info.description));
        }
        if (!sox.isEmpty()) {
            QCOMPARE(parts.size(), 2);
            const QList<quint32> facts = SoxFacts(parts.last());
            QCOMPARE(facts.at(0), quint32(info.channels));
            QCOMPARE(facts.at(1), info.sampleRate);
            QCOMPARE(facts.at(2), quint32(info.bits));
            QCOMPARE(facts.at(3), info.Frames());
        }
    }
}

void TestFixtures::bytesAreReproducible()
{
    const TakeSpec spec = GappedFamily();
    QCOMPARE(BuildMonoFile(spec, 1), BuildMonoFile(spec, 1));
    QCOMPARE(BuildBrokenFile(spec, Breakage::WrongFileKey), BuildBrokenFile(spec, Breakage::WrongFileKey));

    const QStringList first = DemoVolume();
    const QString a = m_czVolume;
    const QString b = m_scratch.filePath(QStringLiteral("again"));
    const QStringList second = WriteDemoVolume(b);
    QCOMPARE(first.size(), second.size());
    for (int i = 0; i < first.size(); ++i) {
        QCOMPARE(QString(first.at(i)).mid(a.size()), QString(second.at(i)).mid(b.size()));
        QVERIFY2(ReadAll(first.at(i)) == ReadAll(second.at(i)), qPrintable(first.at(i)));
    }
}

void TestFixtures::demoToolWritesAVolume()
{
#ifndef NALVO_DEMO_MEDIA_TOOL
    QSKIP("the demo tool is not built");
#else
    const QString out = m_scratch.filePath(QStringLiteral("demo"));
    QCOMPARE(RunTool(QStringLiteral(NALVO_DEMO_MEDIA_TOOL), {out}).trimmed(),
             QDir(out).absoluteFilePath(QStringLiteral("DEMO_CARD")));
    QCOMPARE(QDir(out).entryList(QDir::Dirs | QDir::NoDotAndDotDot), QStringList({"DEMO_CARD"}));
    const QDir project(out + QStringLiteral("/DEMO_CARD/FEATURE.BR1"));
    QCOMPARE(project.entryList(QDir::Dirs | QDir::NoDotAndDotDot, QDir::Name),
             QStringList({"2024-05-01.OVD", "2024-05-02.OVD"}));

    QSet<QString> takes;
    int polys = 0, longNames = 0;
    const QStringList files = WavFilesBelow(project.path());
    for (const QString& file : files) {
        const QString name = QFileInfo(file).fileName();
        takes << name.left(6);
        polys += name.endsWith(QLatin1String("PX.WAV"));
        longNames += name.contains(QLatin1String("==")) || name.contains(QLatin1String("___"));
        QCOMPARE(StatusOf(ReadRiffFile(file)), 0);
    }
    QVERIFY(takes.size() >= 20);
    QVERIFY(polys >= 3);
    QVERIFY(longNames >= 3);
    QVERIFY(QFile::exists(project.filePath(QStringLiteral("2024-05-01.OVD/A01T01.idh"))));

    QCOMPARE(RunTool(QStringLiteral(NALVO_DEMO_MEDIA_TOOL), {}), QString());   // usage error
    // Options are answered or refused, never taken for the folder.
    QVERIFY(QDir::setCurrent(m_scratch.path()));
    QVERIFY(RunTool(QStringLiteral(NALVO_DEMO_MEDIA_TOOL), {"--help"}).startsWith("usage: nalvo-demo-media"));
    QCOMPARE(RunTool(QStringLiteral(NALVO_DEMO_MEDIA_TOOL), {"--out"}), QString());
    QVERIFY(!QFileInfo::exists("--help") && !QFileInfo::exists("--out"));
#endif
}

// Names that are not UTF-8, in the folder and in a folder of it, go with
// it; what a link in it points to stays.
void TestFixtures::scratchGoesWithNamesNotUtf8()
{
    const QString outside = m_scratch.filePath("outside");
    QFile kept(outside + "/kept.txt");
    QVERIFY(QDir().mkpath(outside) && kept.open(QIODevice::WriteOnly) && kept.write("kept") == 4 && kept.flush());
    QString path;
    {
        ScratchDir dir;
        path = dir.path();
        const QByteArray bytes = QFile::encodeName(path);
        QCOMPARE(::mkdir(bytes + "/LA\xe9" "001", 0700), 0);
        for (const char* name : {"/NU\xff" "001_01.WAV", "/LA\xe9" "001/X\xfe.WAV"})
            QVERIFY(::close(::open(bytes + name, O_CREAT | O_WRONLY, 0600)) == 0);
        QCOMPARE(::symlink(QFile::encodeName(outside).constData(), bytes + "/link"), 0);
    }
    QVERIFY(!QFileInfo::exists(path) && RemoveTree(path));   // nothing left is no failure
    QCOMPARE(ReadAll(kept.fileName()), QByteArray("kept"));
}

QTEST_GUILESS_MAIN(TestFixtures)
#include "test_fixtures.moc"
