// Field texts of loaded takes, the per-take report records and the header
// texts, on generated media.
#include "foundation/filekey.h"
#include "report/reportfieldvalues.h"
#include "take/bwfmetadata.h"
#include "take/soundperform.h"
#include "tests/support/fixturewriter.h"
#include "tests/support/riffreader.h"

#include <QDir>
#include <QTemporaryDir>
#include <QtEndian>
#include <QtTest>

using namespace fixture;
using namespace ReportLayout;

class TestFieldValues : public QObject
{
    Q_OBJECT
private slots:
    void initTestCase();
    void dataFieldTexts_data();
    void dataFieldTexts();
    void sizesAreSixtyFourBit();
    void recordsOfAList();
    void headerTexts_data();
    void headerTexts();

private:
    QTemporaryDir m_Dir;
    QString m_Volume;
    QString m_Project;
    QString m_Day;
};

void TestFieldValues::initTestCase()
{
    QVERIFY(m_Dir.isValid());
    const QString volume = MakeVolume(m_Dir.path(), QStringLiteral("CARD"));
    const QString project = MakeProject(volume, QStringLiteral("SHOOT"));
    const QString day = MakeDay(project, QDate(2024, 5, 1));
    m_Volume = volume;
    m_Project = QStringLiteral("SHOOT.BR1");
    m_Day = QFileInfo(day).fileName();

    TakeSpec mono = MonoTake(QStringLiteral("ABC001"), {0, 1, 2, 3, 5, 7, 8});
    mono.circled = true;
    mono.note = QStringLiteral("nice one");
    mono.tracks[1].active = QStringLiteral("DISARMED");
    mono.tracks[2].name = QStringLiteral("Boom");
    mono.slates = {SyncPoint{48000, QString()}};
    mono.scTkTemplate = 4;
    mono.advanced = {AdvancedField{3, "S2"}, AdvancedField{0, "-"}, AdvancedField{4, "E7"}};
    QVERIFY(!WriteTake(day, mono).files.isEmpty());

    TakeSpec poly = PolyTake(QStringLiteral("ABC002"), {0, 1, 2});
    poly.sampleRate = 96000;
    poly.takePrefix = QStringLiteral("w");
    poly.originator = QStringLiteral("other maker");
    QVERIFY(!WriteTake(day, poly).files.isEmpty());

    // A RIFF size past the file, as a recorder stopped short leaves it.
    for (const QString& path : WriteTake(day, PolyTake(QStringLiteral("ABC004"), {0, 1})).files) {
        QFile file(path);
        const uchar past[4] = {0xFF, 0xFF, 0xFF, 0xFF};
        QVERIFY(file.open(QIODevice::ReadWrite) && file.seek(4) && file.write(reinterpret_cast<const char*>(past), 4) == 4);
    }

    // Eight files of about 600 MiB (their data last, grown sparse): 4.6 GiB together.
    TakeSpec large = MonoTake(QStringLiteral("ABC003"), {0, 1, 2, 3, 4, 5, 6, 7});
    large.order = ChunkOrder::IxmlBeforeData;
    large.waveform = false;
    for (const QString& path : WriteTake(day, large).files) {
        const RiffInfo riff = ReadRiffFile(path);
        const qint64 dataAt = riff.dataOffset;
        const qint64 length = dataAt + (((qint64(600) << 20) - dataAt) / 6) * 6;
        QFile file(path);
        QVERIFY(dataAt > 0 && file.resize(length) && file.open(QIODevice::ReadWrite));
        // The recorder's key of the data size, before the data.
        const QByteArray key = MakeFileKey(riff.dataSize, 48000, 24, 1).toLatin1();
        const QByteArray grown = MakeFileKey(quint32(length - dataAt), 48000, 24, 1).toLatin1();
        const int keyAt = file.read(dataAt).indexOf(key);
        QVERIFY(keyAt > 0 && key.size() == grown.size());
        QVERIFY(file.seek(keyAt) && file.write(grown) == grown.size());
        uchar size[4];
        qToLittleEndian<quint32>(quint32(length - 8), size);
        QVERIFY(file.seek(4) && file.write(reinterpret_cast<char*>(size), 4) == 4);
        qToLittleEndian<quint32>(quint32(length - dataAt), size);
        QVERIFY(file.seek(dataAt - 4) && file.write(reinterpret_cast<char*>(size), 4) == 4);
    }
}

void TestFieldValues::dataFieldTexts_data()
{
    QTest::addColumn<QString>("id6");
    QTest::addColumn<int>("field");
    QTest::addColumn<QString>("text");
    QTest::newRow("circled") << "ABC001" << 3 << "YES";
    QTest::newRow("not circled") << "ABC002" << 3 << "NO";
    QTest::newRow("scene") << "ABC001" << 4 << "12A";
    QTest::newRow("take") << "ABC001" << 5 << "t3";
    QTest::newRow("notes") << "ABC001" << 6 << "nice one";
    QTest::newRow("tracks, disarmed left out") << "ABC001" << 7 << "1;3-4;6;8-9";
    QTest::newRow("type mono") << "ABC001" << 15 << "Mono";
    QTest::newRow("type poly") << "ABC002" << 15 << "Poly";
    QTest::newRow("frequency") << "ABC002" << 16 << "96K";
    QTest::newRow("bits") << "ABC001" << 17 << "24 b";
    // The size: what the files hold, as the panel shows it.
    qint64 bytes = 0;
    for (const QFileInfo& file : QDir(m_Volume + "/" + m_Project + "/" + m_Day).entryInfoList({"ABC001_*.WAV"}))
        bytes += file.size();
    QTest::newRow("size, the files' lengths") << "ABC001" << 14 << QSoundPerform::SizeText(bytes);
    QTest::newRow("track name") << "ABC001" << 24 << "Boom";
    QTest::newRow("disarmed track keeps its name") << "ABC001" << 23 << "Trk2";
    QTest::newRow("slate A one second in") << "ABC001" << 11 << "10:00:01:00";
    QTest::newRow("no slate B") << "ABC001" << 12 << "";
    QTest::newRow("season") << "ABC001" << 63 << "S2";
    QTest::newRow("sequence missing") << "ABC001" << 65 << "";
    QTest::newRow("template 0 season") << "ABC002" << 63 << "";
    QTest::newRow("index is the caller's") << "ABC001" << 1 << "";
    QTest::newRow("69") << "ABC001" << 69 << "";
    QTest::newRow("99") << "ABC001" << 99 << "";
    QTest::newRow("ALE tracks") << "ABC002" << 70 << "A1A2A3";
}

void TestFieldValues::dataFieldTexts()
{
    QFETCH(QString, id6);
    QFETCH(int, field);
    QFETCH(QString, text);
    QBwfMetadata metadata;
    QCOMPARE(metadata.SetupInit(m_Volume, m_Project, m_Day, id6, true, false), 0);
    QCOMPARE(ReportFieldValues::getValue(field, metadata.SoundPerform()), text);
}

// The report's size is the panel's: what the files hold, past 4 GiB
// together, whatever their RIFF sizes say.
void TestFieldValues::sizesAreSixtyFourBit()
{
    QBwfMetadata metadata;
    QCOMPARE(metadata.SetupInit(m_Volume, m_Project, m_Day, "ABC003", true, false), 0);
    QCOMPARE(int(metadata.SoundPerform()->m_nTakeStatus), 0);
    QCOMPARE(ReportFieldValues::getValue(14, metadata.SoundPerform()), QStringLiteral("4.6 GB"));
    QCOMPARE(metadata.SoundPerform()->m_czSizeText, QStringLiteral("4.6 GB"));
    // Not 4 GB from a RIFF size past the file (read, as not closed
    // correctly): its length.
    QBwfMetadata past;
    past.SetupInit(m_Volume, m_Project, m_Day, "ABC004", true, false);
    QCOMPARE(int(past.SoundPerform()->m_nTakeStatus), 8);
    const QFileInfoList files = QDir(m_Volume + "/" + m_Project + "/" + m_Day).entryInfoList({"ABC004*.WAV"});
    QCOMPARE(files.size(), 1);
    QCOMPARE(ReportFieldValues::getValue(14, past.SoundPerform()), QSoundPerform::SizeText(files.first().size()));
}

void TestFieldValues::recordsOfAList()
{
    ReportFieldValues values;
    std::atomic<bool> abort{false};
    values.SetRequestFlags(&abort, nullptr);
    values.SetValuesSetup(m_Volume, m_Project, DefaultReportDataLayout, 1, true,
                          ReportFieldValues::ReportPdf | ReportFieldValues::ReportCsv);
    QList<int> progress;
    values.SetGettingDataCallback([&](int, int index, int) { progress << index; });
    values.getReportData(nullptr, m_Day, {"ABC001", "XXX999", "ABC002"}, 1);
    QCOMPARE(progress, (QList<int>{0, 1, 2}));
    QCOMPARE(values.m_TakeData.size(), 3);
    const tyTakeData& first = values.m_TakeData.at(0);
    QVERIFY(first.bLoaded);
    QVERIFY(!values.m_TakeData.at(1).bLoaded);
    QVERIFY(values.m_TakeData.at(2).bLoaded);
    QCOMPARE(values.m_TakeData.at(2).nTakeType, 2);
    QVERIFY(first.bCircled);
    QCOMPARE(first.czNotes, QStringLiteral("nice one"));
    QCOMPARE(first.czCellTexts[0][0], QStringLiteral("1"));
    QCOMPARE(values.m_TakeData.at(2).czCellTexts[0][0], QStringLiteral("3"));
    QCOMPARE(first.pnTrackState[1], 2);
    QCOMPARE(first.Pans[0].first, 100);
    QCOMPARE(first.lnTemplateCodes, (QList<int>{3, 0, 4}));
    // CSV: the template columns follow Take, titles and values alike.
    QCOMPARE(values.m_CsvColumnNames.mid(0, 12),
             (QStringList{"Index", "File ID", "Circled", "Scene", "Take", "Season", "Episode", "Sequence", "Slate",
                          "Unit", "Effect", "Notes"}));
    QCOMPARE(first.lczCsvValues.at(5), QStringLiteral("S2"));
    QCOMPARE(first.lczCsvValues.size(), values.m_CsvColumnNames.size());
    QCOMPARE(first.lczAleValues.size(), int(kAleColumns));
    // The last loaded take's originator has no recorder number.
    QCOMPARE(values.m_nRecorderNumber, -1);
    QCOMPARE(RecorderNumberOf(QStringLiteral("X BRISEL  -12a")), -12);
}

void TestFieldValues::headerTexts_data()
{
    QTest::addColumn<int>("id");
    QTest::addColumn<QString>("day");
    QTest::addColumn<int>("pages");
    QTest::addColumn<QString>("text");
    QTest::addColumn<bool>("user");
    QTest::newRow("date") << 8 << "DAY01.OVR" << 1 << "DAY01" << false;
    QTest::newRow("date keeps lower case") << 8 << "DAY01.ovr" << 1 << "DAY01.ovr" << false;
    QTest::newRow("page without count") << 12 << "D" << -1 << " #3" << false;
    QTest::newRow("page of count") << 12 << "D" << 5 << " #3/5" << false;
    QTest::newRow("type") << 14 << "D" << 1 << "Polyphonic" << false;
    QTest::newRow("folder") << 11 << "D" << 1 << "SHOOT.BR1/D" << false;
    QTest::newRow("digit") << 10 << "D" << 1 << "48000 Hz-24 bits" << false;
    QTest::newRow("title is typed") << 2 << "D" << 1 << "" << true;
    QTest::newRow("brisel unknown") << 13 << "D" << 1 << "---" << false;
    QTest::newRow("21 project") << 21 << "D" << 1 << "SHOOT.BR1" << false;
    QTest::newRow("99") << 99 << "D" << 1 << "" << false;
}

void TestFieldValues::headerTexts()
{
    QFETCH(int, id);
    QFETCH(QString, day);
    QFETCH(int, pages);
    QFETCH(QString, text);
    QFETCH(bool, user);
    ReportFieldValues values;
    values.SetValuesSetup(m_Volume, m_Project, DefaultReportDataLayout, 1, false, 0);
    values.m_nRecorderNumber = -1;
    tyTakeData record;
    record.czSampleRate = QStringLiteral("48000 Hz");
    record.czBits = QStringLiteral("24 bits");
    bool userText = false;
    QCOMPARE(values.getHeaderValue(id, &userText, &record, 4, day, pages, 2), text);
    QCOMPARE(userText, user);
}

QTEST_GUILESS_MAIN(TestFieldValues)
#include "test_field_values.moc"
