// The import of foreign WAV files as recorder mono files, read back by the
// independent RIFF reader, a take object, ffprobe and sox; the description
// rewriting as a byte table; and the ways an import can fail or stop, none
// of which may leave a file behind.
#include "foundation/folderlock.h"
#include "foundation/messageloging.h"
#include "foundation/platform/diskprobes.h"
#include "processing/qsoundmixer.h"
#include "take/soundperform.h"
#include "tests/support/diskfaultwalk.h"
#include "tests/support/fixturesamples.h"
#include "tests/support/fixturevariants.h"
#include "tests/support/fullvolume.h"
#include "tests/support/riffreader.h"
#include "tests/support/scratchdir.h"
#include "tests/support/tableparts.h"

#include <QDir>
#include <QProcess>
#include <QSignalSpy>
#include <QStandardPaths>
#include <QTemporaryDir>
#include <QtTest>
#include <atomic>
#include <cstring>
#include <thread>

using namespace fixture;

namespace {
QStringList Entries(const QString& folder)
{
    return QDir(folder).entryList(QDir::AllEntries | QDir::Hidden | QDir::NoDotAndDotDot, QDir::Name);
}

QByteArray ReadAll(const QString& path)
{
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
}

bool WriteAll(const QString& path, const QByteArray& bytes)
{
    QFile file(path);
    return file.open(QIODevice::WriteOnly) && file.write(bytes) == bytes.size();
}

void PutLe16(QByteArray& bytes, int offset, quint16 v)
{
    bytes[offset] = char(v & 0xFF);
    bytes[offset + 1] = char(v >> 8);
}

void PutLe32(QByteArray& bytes, int offset, quint32 v)
{
    for (int i = 0; i < 4; ++i)
        bytes[offset + i] = char((v >> (8 * i)) & 0xFF);
}

// The plain 16-byte fmt of bytes made a 40-byte WAVE_FORMAT_EXTENSIBLE one
// (cbSize 22) of validBits, channelMask and subFormat (1 PCM, 3 float),
// the RIFF size made good.
void MakeExtensible(QByteArray& bytes, quint16 validBits, quint32 channelMask, quint16 subFormat)
{
    const int fmt = bytes.indexOf("fmt ");
    QByteArray ext = bytes.mid(fmt + 8, 16);
    PutLe16(ext, 0, 0xFFFE);
    QByteArray tail(24, '\0');
    PutLe16(tail, 0, 22);
    PutLe16(tail, 2, validBits);
    PutLe32(tail, 4, channelMask);
    PutLe16(tail, 8, subFormat);
    tail.replace(10, 14, QByteArray("\x00\x00\x00\x00\x10\x00\x80\x00\x00\xaa\x00\x38\x9b\x71", 14));
    ext += tail;
    bytes.replace(fmt + 4, 20, QByteArray("\x28\x00\x00\x00", 4) + ext);
    PutLe32(bytes, 4, quint32(bytes.size() - 8));
}

// The source of a table row: another maker's file of the row's "channels"
// and "frames".
ForeignSpec RowSource()
{
    QFETCH(int, channels);
    QFETCH(int, frames);
    ForeignSpec spec;
    spec.channels = channels;
    spec.frames = quint32(frames);
    return spec;
}

// A description of 256 bytes from lines joined with CR LF.
QByteArray Description(const QList<QByteArray>& lines)
{
    QByteArray text;
    for (const QByteArray& line : lines)
        text += line + "\r\n";
    return text + QByteArray(256 - text.size(), '\0');
}
}  // namespace

class TestImport : public QObject
{
    Q_OBJECT
private slots:
    void initTestCase();
    void init();
    void cleanup();
    void importsEveryChannel_data();
    void importsEveryChannel();
    void fixedDescriptionOffsets();
    void importsLoadAsTakes();
    void familyMemberKeepsItsTrack();
    void overviewBoundsAndExtensiblePcm();
    void bextSourceWithUserTimecode();
    void rewriteBextDescriptor_data();
    void rewriteBextDescriptor();
    void refusalsLeaveNothing_data();
    void refusalsLeaveNothing();
    void lineAndImportGiveOneAnswer_data();
    void lineAndImportGiveOneAnswer();
    void stopOnWorkerLeavesNothing();
    void fullDiskLeavesNothing();

private:
    void WalkImport(const QString& planName);
    bool Import(const QString& source, const char* fps = "25.00", const std::atomic<bool>* run = nullptr,
                int track = -1, int total = 0, const QString& group = QString());
    QTemporaryDir m_Dir;
    QString m_czIn;
    QString m_czOut;
    std::unique_ptr<QSignalSpy> m_pMessages;
    bool m_bSync = false;   // the outputs synced to the disk
};

void TestImport::initTestCase() { global_pLogger = new MessageLoging(this); }

void TestImport::init()
{
    if (!CurrentRowInPart())
        QSKIP("a row of another part");
    const QString base = m_Dir.path() + "/" + QTest::currentTestFunction() + "_"
                         + QString(QTest::currentDataTag()).replace(' ', '_');
    m_czIn = base + "_in";
    m_czOut = base + "_out.OVD";
    QDir().mkpath(m_czIn);
    QDir().mkpath(m_czOut);
    m_pMessages = std::make_unique<QSignalSpy>(global_pLogger, &MessageLoging::signal_message);
    m_bSync = false;
}

void TestImport::cleanup()
{
    SetFreeSpaceFunction(FreeSpaceFunction());
    SetDiskSyncFunction(DiskSyncFunction());
}

bool TestImport::Import(const QString& source, const char* fps, const std::atomic<bool>* run, int track,
                        int total, const QString& group)
{
    QSoundMixer mixer;
    mixer.SetSyncOutput(m_bSync);
    return mixer.ImportMono(source, m_czOut, "7T0042", track, total, fps, group, run, 10, QString(),
                            track >= 0 ? 1u << track : 0u);
}

void TestImport::importsEveryChannel_data()
{
    QTest::addColumn<int>("channels");
    QTest::addColumn<int>("bits");
    QTest::addColumn<int>("frames");
    QTest::addColumn<bool>("bext");
    QTest::addColumn<QByteArray>("fps");
    QTest::addColumn<QByteArray>("speed");
    QTest::addColumn<bool>("listAfterData");
    QTest::addColumn<QString>("ixml");   // the source's iXML (empty: none)
    QTest::newRow("stereo 16-bit") << 2 << 16 << 48000 << false << QByteArray("24.00") << QByteArray("024.000-ND") << false << QString();
    QTest::newRow("3 ch 24-bit odd frames, LIST after data")
        << 3 << 24 << 120961 << false << QByteArray("29.97df") << QByteArray("029.970-DF") << true << QString();
    QTest::newRow("12 channels") << 12 << 24 << 9601 << false << QByteArray("23.98nd-C") << QByteArray("023.980-ND") << false << QString();
    QTest::newRow("stereo with bext") << 2 << 24 << 24000 << true << QByteArray("29.97nd-B") << QByteArray("025.000-ND") << true << QString();
    // Channel names come by INTERLEAVE_INDEX, whatever the CHANNEL_INDEX says.
    const QString track("<TRACK><CHANNEL_INDEX>%1</CHANNEL_INDEX><INTERLEAVE_INDEX>%2</INTERLEAVE_INDEX><NAME>T%2</NAME></TRACK>");
    QTest::newRow("poly, index repeated and past the channels") << 3 << 24 << 480 << false << QByteArray("25.00")
        << QByteArray("025.000-ND") << false << "<BWFXML><TRACK_LIST>" + track.arg(1).arg(1) + track.arg(1).arg(2) + track.arg(40).arg(3) + "</TRACK_LIST></BWFXML>";
}

// Every channel becomes a file with its samples byte for byte, its waveform,
// its description lines and a recorder iXML.
void TestImport::importsEveryChannel()
{
    QFETCH(int, bits);
    QFETCH(bool, bext);
    QFETCH(QByteArray, fps);
    QFETCH(QByteArray, speed);
    QFETCH(QString, ixml);
    ForeignSpec spec = RowSource();
    spec.bits = quint16(bits);
    spec.bext = bext;
    spec.ixml = ixml;
    QByteArray bytes = BuildForeignFile(spec);
    QFETCH(bool, listAfterData);
    if (listAfterData) {
        // Chunks after the data must not be taken for samples.
        const QByteArray list = QByteArray("LIST\x0c\x00\x00\x00INFOjunkjunk", 20);
        bytes.append(list);
        PutLe32(bytes, 4, quint32(bytes.size() - 8));
    }
    const QString source = m_czIn + "/FOREIGN.WAV";
    QVERIFY(WriteAll(source, bytes));
    QVERIFY(Import(source, fps.constData()));
    QCOMPARE(m_pMessages->count(), 0);

    QStringList expected;
    for (int c = 0; c < spec.channels; ++c)
        expected << QString::asprintf("7T0042_%02d.WAV", c + 1);
    QCOMPARE(Entries(m_czOut), expected);
    for (int c = 0; c < spec.channels; ++c) {
        const RiffInfo out = ReadRiffFile(m_czOut + "/" + expected.at(c));
        QVERIFY(out.isRiffWave);
        QCOMPARE(qint64(out.riffSize), out.fileSize - 8);
        QCOMPARE(out.ChunkIds().mid(0, 4), QStringList({"bext", "fmt ", "film", "data"}));
        QCOMPARE(int(out.formatTag), 1);
        QCOMPARE(int(out.channels), 1);
        QCOMPARE(int(out.blockAlign), bits / 8);
        QCOMPARE(int(out.bits), bits);
        QCOMPARE(out.data, SampleBytes({c}, 0, int(spec.frames), bits));
        QCOMPARE(out.DescriptionValue("aCHNL").trimmed(), QString("C%1").arg(c + 1));
        QCOMPARE(out.DescriptionValue("aTAG").trimmed(), QString("7T0042"));
        QCOMPARE(out.DescriptionValue("aSPEED").trimmed(), QString(speed));
        QCOMPARE(out.DescriptionValue("aTYP").trimmed(), QString("mono"));
        QCOMPARE(out.DescriptionValue("aNOTE").trimmed(), QString("SrcFile:FOREIGN.WAV"));
        QCOMPARE(out.originatorReference.left(5), QByteArray("ORVEX"));
        QCOMPARE(out.originatorReference.at(31), char('0' + c));
        if (bext)
            QCOMPARE(out.DescriptionValue(QString("aTRK%1").arg(c + 1)).trimmed(), QString("T%1").arg(c + 1));
        const RiffChunk* ond = out.Find(QByteArray("ond") + (c < 9 ? char('1' + c) : char('A' + c - 9)));
        QVERIFY(ond);
        QFile file(m_czOut + "/" + expected.at(c));
        QVERIFY(file.open(QIODevice::ReadOnly) && file.seek(ond->payloadOffset + 4));
        QByteArray levels = file.read(ond->size - 4);
        const QByteArray want = OverviewLevels(c, int(spec.frames), bits, 4800);
        QCOMPARE(levels.left(want.size()), want);
        QCOMPARE(IxmlValue(out.ixml, "TRACK_LIST/TRACK/CHANNEL_INDEX"), QString::number(c + 1));
        QCOMPARE(IxmlValue(out.ixml, "TRACK_LIST/TRACK/NAME"), QString("T%1").arg(c + 1));
        QCOMPARE(IxmlValue(out.ixml, "FILE_SET/TOTAL_FILES"), QString::number(spec.channels));
        QCOMPARE(IxmlValue(out.ixml, "NOTE"), QString("SrcFile:FOREIGN.WAV"));
        QCOMPARE(IxmlValue(out.ixml, "ORVEX_BRISEL/SCTK_TEMPLATE"), QString("0"));
        QCOMPARE(IxmlValues(out.ixml, "ORVEX_BRISEL/ALL_TRK_NAME/DATA/INDICE").size(), 24);
        QVERIFY(out.ixml.size() >= 61440);
    }
}

// Without a source bext the lines stand at their fixed offsets; channel 10
// and more keep the line's width, so the note behind stays whole.
void TestImport::fixedDescriptionOffsets()
{
    ForeignSpec spec;
    spec.channels = 10;
    spec.bits = 16;
    spec.frames = 100;
    const QString source = m_czIn + "/A_LONGER_SOURCE_NAME.WAV";
    QVERIFY(WriteForeignFile(source, spec));
    QVERIFY(Import(source, "29.97df"));
    for (int c : {0, 9}) {
        const RiffInfo out = ReadRiffFile(m_czOut + QString::asprintf("/7T0042_%02d.WAV", c + 1));
        const QByteArray expected = "aUBITS=$        \r\naSCENE=         \r\naTAKE=      \r\naTAPE=    \r\n"
                                    "aSPEED=029.970-DF\r\naTAG=7T0042\r\naTYP=mono\r\n"
                                    + QByteArray(c == 0 ? "aCHNL=C1  \r\n" : "aCHNL=C10 \r\n")
                                    + "aNOTE=SrcFile:A_LONGER_SOURCE_NAME.WAV\r\n";
        QCOMPARE(out.description, expected);
        QCOMPARE(out.originator, QByteArray("Nalvo Import v1.2.2 bet"));
        QCOMPARE(out.originatorReference.mid(5, 26), QByteArray("\0                7T0042100", 26));
        // Seconds of the day times the rate.
        const QTime time = QTime::fromString(QString(out.originationTime), "HH:mm:ss");
        QCOMPARE(out.timeReference, quint64(time.msecsSinceStartOfDay() / 1000) * 48000u);
    }
}

// The files load as a take with status 0 and the chosen rate; ffprobe and
// sox read them.
void TestImport::importsLoadAsTakes()
{
    ForeignSpec spec;
    spec.channels = 3;
    spec.frames = 4801;
    const QString source = m_czIn + "/T.WAV";
    QVERIFY(WriteForeignFile(source, spec));
    QVERIFY(Import(source, "25.00"));
    QSoundPerform take;
    QVERIFY(take.InitFilesZZ(m_czOut + "/7T0042", "WAV"));
    QCOMPARE(int(take.m_nTakeStatus), 0);
    QCOMPARE(int(take.m_nFrameRate), 25);
    QCOMPARE(int(take.m_nFileCount), 3);
    QCOMPARE(take.m_czTrackActive[2], QString("YES"));
    QCOMPARE(take.m_czTrackPanPot[1], QString("100,100"));
    const QString first = m_czOut + "/7T0042_01.WAV";
    if (!QStandardPaths::findExecutable("ffprobe").isEmpty()) {
        QProcess probe;
        probe.start("ffprobe", {"-v", "error", "-show_entries", "stream=channels,sample_rate,duration_ts",
                                "-of", "csv=p=0", first});
        QVERIFY(probe.waitForFinished(30000));
        QCOMPARE(probe.exitCode(), 0);
        QCOMPARE(QString(probe.readAllStandardOutput()).trimmed(), QString("48000,1,4801"));
    }
    if (!QStandardPaths::findExecutable("soxi").isEmpty()) {
        QProcess sox;
        sox.start("soxi", {"-s", first});
        QVERIFY(sox.waitForFinished(30000));
        QCOMPARE(QString(sox.readAllStandardOutput()).trimmed(), QString("4801"));
    }
}

// A one-channel member of another recorder's family keeps its track number
// in the name, the description and the waveform chunk.
void TestImport::familyMemberKeepsItsTrack()
{
    const QStringList members = WriteForeignMonoFamily(m_czIn, "REC", 3, "SC1/T2");
    QCOMPARE(members.size(), 3);
    QVERIFY(Import(members.at(2), "25.00", nullptr, 2, 3, "REC_1.WAV"));
    QCOMPARE(Entries(m_czOut), QStringList{"7T0042_3.WAV"});
    const RiffInfo out = ReadRiffFile(m_czOut + "/7T0042_3.WAV");
    QCOMPARE(out.DescriptionValue("aCHNL").trimmed(), QString("C3"));
    QCOMPARE(out.DescriptionValue("aNOTE").trimmed(), QString("SrcFile:REC_1.WAV"));
    QCOMPARE(out.originatorReference.at(31), '2');
    QVERIFY(out.Find("ond3"));
    QCOMPARE(IxmlValue(out.ixml, "TRACK_LIST/TRACK/CHANNEL_INDEX"), QString("3"));
    QCOMPARE(IxmlValue(out.ixml, "FILE_SET/TOTAL_FILES"), QString("3"));
}

// A full-scale negative peak still fits a level byte; no overview rate
// gives no waveform chunk; an extensible PCM source gets a plain fmt.
void TestImport::overviewBoundsAndExtensiblePcm()
{
    ForeignSpec spec;
    spec.channels = 1;
    spec.bits = 16;
    spec.frames = 48000;
    QByteArray bytes = BuildForeignFile(spec);
    const int data = bytes.indexOf("data") + 8;
    for (int i = 0; i < 48000; ++i) {
        bytes[data + 2 * i] = 0;
        bytes[data + 2 * i + 1] = char(0x80);
    }
    MakeExtensible(bytes, 16, 4, 1);
    const QString source = m_czIn + "/FULL.WAV";
    QVERIFY(WriteAll(source, bytes));
    QVERIFY(Import(source));
    RiffInfo out = ReadRiffFile(m_czOut + "/7T0042_01.WAV");
    QCOMPARE(int(out.formatTag), 1);
    QCOMPARE(out.Find("fmt ")->size, 16u);
    const RiffChunk* ond = out.Find("ond1");
    QVERIFY(ond);
    QCOMPARE(ReadAll(m_czOut + "/7T0042_01.WAV").mid(int(ond->payloadOffset) + 4, 10), QByteArray(10, char(255)));

    QSoundMixer mixer;
    QVERIFY(mixer.ImportMono(source, m_czOut, "7T0043", -1, 0, "25.00", QString(), nullptr, 0, QString(), 0));
    out = ReadRiffFile(m_czOut + "/7T0043_01.WAV");
    QCOMPARE(out.ChunkIds(), QStringList({"bext", "fmt ", "film", "data", "iXML"}));
}

// A source of another maker with bext: the user time code becomes the time
// reference, the reference and originator become the recorder's, and the
// new film chunk carries the time of the next whole second.
void TestImport::bextSourceWithUserTimecode()
{
    ForeignSpec spec;
    spec.channels = 2;
    spec.frames = 1000;
    spec.bext = true;
    spec.timeReference = 12345;
    const QString source = m_czIn + "/B.WAV";
    QVERIFY(WriteForeignFile(source, spec));
    QSoundMixer mixer;
    QVERIFY(mixer.ImportMono(source, m_czOut, "7T0042", -1, 0, "24.00", QString(), nullptr, 10, "10:05:00", 0));
    const QString path = m_czOut + "/7T0042_02.WAV";
    const RiffInfo out = ReadRiffFile(path);
    QCOMPARE(out.timeReference, quint64(36300) * 48000u);
    QCOMPARE(out.originator, QByteArray("TBR3 Import v1.2.2 bet"));
    QCOMPARE(out.originatorReference.left(5), QByteArray("ORVEX"));
    QCOMPARE(out.originatorReference.mid(6, 26), QByteArray("                7T0042000") + '1');
    QCOMPARE(out.DescriptionValue("aSCENE").trimmed(), QString("44"));
    const RiffChunk* film = out.Find("film");
    QVERIFY(film);
    const QByteArray payload = ReadAll(path).mid(int(film->payloadOffset), int(film->size));
    QCOMPARE(payload.mid(4, 14), QByteArray("10:05:01:00:00"));
    QCOMPARE(payload.mid(270, 5), QByteArray("24.00"));
}

void TestImport::rewriteBextDescriptor_data()
{
    QTest::addColumn<QByteArray>("old");
    QTest::addColumn<QByteArray>("note");
    QTest::addColumn<QByteArray>("tag");
    QTest::addColumn<QByteArray>("speed");
    QTest::addColumn<int>("channel");
    QTest::addColumn<QByteArray>("track");
    QTest::addColumn<QByteArray>("expected");
    const QByteArray blanks = "aUBITS=$\r\naSCENE=         \r\naTAKE=      \r\naTAPE=    \r\n";
    QTest::newRow("values kept")
        << Description({"aSCENE=12A", "aTAKE=3", "aSPEED=025.000-ND"}) << QByteArray() << QByteArray() << QByteArray()
        << 0 << QByteArray("T1")
        << QByteArray("aUBITS=$\r\naSCENE=12A      \r\naTAKE=3     \r\naTAPE=    \r\naSPEED=025.000-ND\r\n"
                      "aTAG=      \r\naTYP=mono\r\naCHNL=C1  \r\naTRK1=T1\r\naNOTE= \r\n");
    QTest::newRow("long tag cut, old speed wins")
        << Description({"aTAPE=T001", "aSPEED=025.000-ND"}) << QByteArray() << QByteArray("ABCDEFGH")
        << QByteArray("29.97") << 11 << QByteArray("Boom")
        << QByteArray("aUBITS=$\r\naSCENE=         \r\naTAKE=      \r\naTAPE=T001\r\naSPEED=025.000-ND\r\n"
                      "aTAG=ABCDEF\r\naTYP=mono\r\naCHNL=C12 \r\naTRK12=Boom\r\naNOTE= \r\n");
    QTest::newRow("empty description, drift speed")
        << QByteArray(256, '\0') << QByteArray("SrcFile:X.WAV") << QByteArray("7T0001") << QByteArray("30.DRIF2")
        << 1 << QByteArray("")
        << blanks + "aSPEED=029.970-ND\r\naTAG=7T0001\r\naTYP=mono\r\naCHNL=C2  \r\naTRK2=\r\naNOTE=SrcFile:X.WAV\r\n";
    QTest::newRow("long note, name and speed cut to fit")
        << QByteArray(256, 'x') << QByteArray("SrcFile:" + QByteArray(60, 'n')) << QByteArray("7T0001")
        << QByteArray("123456789") << 23 << QByteArray(60, 'k')
        << blanks + "aSPEED=012345670-ND\r\naTAG=7T0001\r\naTYP=mono\r\naCHNL=C24 \r\naTRK24=" + QByteArray(36, 'k')
               + "\r\naNOTE=SrcFile:" + QByteArray(41, 'n') + "\r\n";
}

void TestImport::rewriteBextDescriptor()
{
    QFETCH(QByteArray, old);
    QFETCH(QByteArray, note);
    QFETCH(QByteArray, tag);
    QFETCH(QByteArray, speed);
    QFETCH(int, channel);
    QFETCH(QByteArray, track);
    QFETCH(QByteArray, expected);
    // The description sits in a bext record: nothing past it may change.
    QByteArray record = old + QByteArray(64, '\x7f');
    QSoundMixer::RewriteBextDescriptor(record.data(), nullptr, nullptr, note.isEmpty() ? nullptr : note.constData(),
                                       nullptr, tag.isEmpty() ? nullptr : tag.constData(),
                                       speed.isEmpty() ? nullptr : speed.constData(), channel, track.constData());
    QCOMPARE(QByteArray(record.constData()), expected);
    QCOMPARE(record.mid(expected.size(), 255 - expected.size()), QByteArray(255 - expected.size(), '\0'));
    QCOMPARE(record.mid(256), QByteArray(64, '\x7f'));
}

void TestImport::refusalsLeaveNothing_data()
{
    QTest::addColumn<QString>("fault");
    for (const char* fault :
         {"float", "8-bit", "25 channels", "data past end", "existing _02", "extensible float", "sync fails", "take read",
          "record unwritable"})
        QTest::newRow(fault) << QString(fault);
    // Each disk call of an import of two mono sets failed in turn.
    for (const auto& plan : DiskFaultPlans())
        QTest::newRow(qPrintable("each call failing: " + plan.first)) << "walk " + plan.first;
}

// Each refusal gives a message and false; no file is made and an existing
// one stays as it was.
void TestImport::refusalsLeaveNothing()
{
    QFETCH(QString, fault);
    if (fault.startsWith("walk "))
        return WalkImport(fault.mid(5));
    ForeignSpec spec;
    spec.channels = fault == "25 channels" ? 25 : 2;
    spec.bits = fault == "8-bit" ? 8 : 24;
    spec.frames = 1000;
    QByteArray bytes = BuildForeignFile(spec);
    const int fmt = bytes.indexOf("fmt ");
    if (fault == "float") {
        PutLe16(bytes, fmt + 8, 3);
        PutLe16(bytes, fmt + 22, 32);
    } else if (fault == "data past end") {
        PutLe32(bytes, bytes.indexOf("data") + 4, 1000000);
    } else if (fault == "extensible float") {
        MakeExtensible(bytes, 24, 3, 3);
    }
    const QString source = m_czIn + "/BAD.WAV";
    QVERIFY(WriteAll(source, bytes));
    if (fault == "existing _02")
        QVERIFY(WriteAll(m_czOut + "/7T0042_02.WAV", "older"));
    // The card refuses the sync: the user reads the system's reason.
    m_bSync = fault == "sync fails";
    if (m_bSync)
        SetDiskSyncFunction([](const QVector<int>&) { return false; });
    // Only the record of the new names fails to reach the disk: told as
    // the import's, with the system's reason.
    if (fault == "record unwritable")
        SetDiskSyncFunction([](const QVector<int>& descriptors) {
            for (const int fd : descriptors) {
                if (QFileInfo(QStringLiteral("/proc/self/fd/%1").arg(fd)).symLinkTarget().endsWith(".nalvo-commit"))
                    return false;
            }
            return true;
        });
    TakeFolderLock reader;   // a load of another program holds the folder for the whole wait
    QVERIFY(fault != "take read" || reader.Acquire(m_czOut + "/", TakeFolderLock::Mode::Shared));
    const QStringList before = Entries(m_czOut);
    QVERIFY(!Import(source));
    QCOMPARE(m_pMessages->count(), 1);
    if (m_bSync)
        QVERIFY(m_pMessages->last().at(1).toString().contains(QString::fromLocal8Bit(std::strerror(EIO))));
    if (fault == "record unwritable")
        QVERIFY2(m_pMessages->last().at(1).toString().contains(
                     "the record of the import cannot be written: " + QString::fromLocal8Bit(std::strerror(EIO))),
                 qPrintable(m_pMessages->last().at(1).toString()));
    QCOMPARE(Entries(m_czOut), before);
    QCOMPARE(ReadAll(source), bytes);
    if (fault == "existing _02")
        QCOMPARE(ReadAll(m_czOut + "/7T0042_02.WAV"), QByteArray("older"));
}

void TestImport::lineAndImportGiveOneAnswer_data()
{
    QTest::addColumn<int>("channels");
    QTest::addColumn<QString>("layout");   // "fmt first", "headers first" (bext, iXML, fmt, data)
    QTest::addColumn<QByteArray>("leading");   // chunk ids before all others
    QTest::addColumn<int>("frames");
    QTest::addColumn<int>("kept");      // frames left when the file is cut inside a frame; -1 whole
    QTest::addColumn<bool>("raised");   // the data size field raised, the RIFF size still the file's
    QTest::addColumn<int>("imported");  // frames imported; -1 refused
    QTest::addColumn<QString>("reason");
    QTest::addColumn<int>("bits");
    QTest::addColumn<int>("blockAlign");   // the fmt's block align; 0 as the channels and bits give it
    QTest::addColumn<quint32>("rate");
    const QString empty = "It holds no audio samples.", shorter = "Its audio data is shorter than its header says.";
    const QString fmt = "fmt first", head = "headers first";
    const quint32 r48 = 48000;
    QTest::newRow("whole, JUNK and LIST first") << 2 << fmt << QByteArray("JUNKLIST") << 960 << -1 << false << 960
                                                << QString() << 24 << 0 << r48;
    QTest::newRow("zero length") << 2 << fmt << QByteArray() << 0 << -1 << false << -1 << empty << 24 << 0 << r48;
    QTest::newRow("no samples, mono, iXML before fmt") << 1 << head << QByteArray() << 0 << -1 << false << -1 << empty
                                                       << 24 << 0 << r48;
    QTest::newRow("cut inside the first frame") << 2 << fmt << QByteArray("JUNK") << 960 << 0 << false << -1 << empty
                                                << 24 << 0 << r48;
    QTest::newRow("cut short, poly, JUNK first") << 3 << fmt << QByteArray("JUNK") << 9600 << 4801 << false << 4801
                                                 << shorter << 24 << 0 << r48;
    QTest::newRow("cut short, mono, iXML before fmt") << 1 << head << QByteArray() << 9600 << 123 << false << 123
                                                      << shorter << 24 << 0 << r48;
    QTest::newRow("cut short, LIST first, iXML after data") << 2 << fmt << QByteArray("LIST") << 9600 << 7000 << false
                                                            << 7000 << shorter << 24 << 0 << r48;
    // The RIFF size says the file is whole: its iXML would be read as sound.
    QTest::newRow("data size past the RIFF size") << 2 << fmt << QByteArray() << 960 << -1 << true << -1 << shorter
                                                  << 24 << 0 << r48;
    // Formats: taken to the limits of a take and of the player, refused past them.
    QTest::newRow("16 bits, cut short") << 2 << fmt << QByteArray() << 960 << 500 << false << 500 << shorter << 16 << 0
                                        << r48;
    QTest::newRow("2 channels of 16 bits in frames of 6 bytes")
        << 2 << fmt << QByteArray() << 960 << -1 << false << -1
        << "Its frames of 6 bytes do not hold 2 channels of 16-bit samples." << 16 << 6 << r48;
    QTest::newRow("24 channels") << 24 << fmt << QByteArray() << 96 << -1 << false << 96 << QString() << 24 << 0 << r48;
    for (const int channels : {25, 32})
        QTest::newRow(qPrintable(QString("%1 channels").arg(channels)))
            << channels << fmt << QByteArray() << 96 << -1 << false << -1
            << QString("It has %1 channels; at most 24 can be imported.").arg(channels) << 24 << 0 << r48;
    QTest::newRow("384000 Hz") << 1 << head << QByteArray() << 960 << -1 << false << 960 << QString() << 16 << 0
                               << quint32(384000);
    for (const quint32 rate : {0u, 384001u, 0x7FFFFFFFu, 0xFFFFFFFFu})
        QTest::newRow(qPrintable(QString("%1 Hz").arg(rate)))
            << 1 << fmt << QByteArray() << 960 << -1 << false << -1
            << QString("Its sample rate of %1 Hz cannot be played; rates of 1 to 384000 Hz can be imported.").arg(rate)
            << 24 << 0 << rate;
}

// A source without samples, or cut short, gets the same answer from the
// take line and from Import: imported with the frames present and told, or
// refused with the reason the line gives; a refusal leaves no file.
void TestImport::lineAndImportGiveOneAnswer()
{
    QFETCH(QString, layout);
    QFETCH(QByteArray, leading);
    QFETCH(int, kept);
    QFETCH(int, imported);
    QFETCH(QString, reason);
    QFETCH(int, blockAlign);
    ForeignSpec spec = RowSource();
    QFETCH(int, bits);
    spec.bits = quint16(bits);
    QFETCH(quint32, rate);
    spec.sampleRate = rate;
    spec.headersFirst = layout == "headers first";
    spec.bext = spec.headersFirst;
    if (!spec.headersFirst)
        spec.ixml = "<BWFXML><NOTE>after the data</NOTE></BWFXML>";
    for (int i = 0; i < leading.size(); i += 4)
        spec.leading.append({leading.mid(i, 4), leading.startsWith("LIST") ? QByteArray("INFOISFT\4\0\0\0Ed\0\0", 16)
                                                                           : QByteArray(28, '\0')});
    QByteArray bytes = BuildForeignFile(spec);
    if (blockAlign > 0)
        PutLe16(bytes, bytes.indexOf("fmt ") + 8 + 12, quint16(blockAlign));
    const int data = bytes.indexOf("data") + 8;
    const int frameBytes = spec.channels * bits / 8;
    if (kept >= 0)
        bytes.truncate(data + kept * frameBytes + 1);
    QFETCH(bool, raised);
    if (raised)
        PutLe32(bytes, data - 4, spec.frames * quint32(frameBytes) + 100000);
    const QString source = m_czIn + "/FOREIGN.WAV";
    QVERIFY(WriteAll(source, bytes));

    QSoundPerform take;
    QVERIFY(take.InitFilesZZ(m_czIn + "/FOREIGN", "WAV"));
    const QString line = take.ProblemLine(true, m_czIn + "/", "FOREIGN");
    QVERIFY2(line.startsWith("FOREIGN was made by another recorder") && line.contains(reason), qPrintable(line));
    QCOMPARE(line.contains("use Import (Ctrl+I)"), imported >= 0);
    m_pMessages->clear();

    QCOMPARE(Import(source), imported >= 0);
    QCOMPARE(m_pMessages->count(), reason.isEmpty() ? 0 : 1);
    if (!reason.isEmpty())
        QVERIFY2(m_pMessages->last().at(1).toString().contains(reason), qPrintable(m_pMessages->last().at(1).toString()));
    QCOMPARE(ReadAll(source), bytes);
    if (imported < 0) {
        QVERIFY(m_pMessages->last().at(1).toString().startsWith("Unable to import"));
        QCOMPARE(Entries(m_czOut), QStringList());
        return;
    }
    // The warning of a cut-short import is no error.
    if (!reason.isEmpty())
        QCOMPARE(m_pMessages->last().at(3).toInt(), 2);
    QCOMPARE(Entries(m_czOut).size(), spec.channels);
    for (int c = 0; c < spec.channels; ++c)
        QCOMPARE(ReadRiffFile(m_czOut + QString::asprintf("/7T0042_%02d.WAV", c + 1)).data,
                 SampleBytes({c}, 0, imported, bits));
    QSoundPerform result;
    QVERIFY(result.InitFilesZZ(m_czOut + "/7T0042", "WAV"));
    QCOMPARE(int(result.m_nTakeStatus), 0);
    QCOMPARE(result.m_nTotalSamples, quint32(imported));
    QCOMPARE(result.m_nSampleRate, int(rate));
}

// Two sets of two members, each member imported as a track of its take.
// Each member done and told done: its file holds the member's samples;
// else, once its take is loaded again, no file of it and a message.
void TestImport::WalkImport(const QString& planName)
{
    m_bSync = true;
    struct Member {
        QString source, output, take;
        int track;
        bool done;
        QString told;   // what its import told
    };
    QVector<Member> members;
    int told = 0;
    tyFaultWalkJob job;
    job.folders = QStringList{m_czOut};
    ForeignSpec spec;
    spec.frames = 300;
    const char* roots[] = {"REC", "SET"};
    for (int set = 0; set < 2; ++set) {
        const QStringList files = WriteForeignMonoFamily(m_czIn, roots[set], 2, roots[set], spec);
        for (int k = 0; k < files.size(); ++k) {
            const QString take = QString("7T004%1").arg(2 + set);
            members.append({files.at(k), QString("%1/%2_%3.WAV").arg(m_czOut, take).arg(k + 1), take, k, false, {}});
        }
    }
    QCOMPARE(members.size(), 4);
    job.begin = [&] {
        told = m_pMessages->count();
        return RemoveTree(m_czOut) && QDir().mkpath(m_czOut);
    };
    job.run = [&] {
        bool all = true;
        for (Member& m : members) {
            QSoundMixer mixer;
            mixer.SetSyncOutput(m_bSync);
            const int before = m_pMessages->count();
            m.done = mixer.ImportMono(m.source, m_czOut, m.take, m.track, 2, "25.00", QFileInfo(m.source).fileName(),
                                      nullptr, 10, QString(), 1u << m.track);
            m.told.clear();
            for (int i = before; i < m_pMessages->count(); ++i)
                m.told += m_pMessages->at(i).at(1).toString() + '\n';
            all = all && m.done;
        }
        return all;
    };
    job.load = [&] {
        for (const Member& m : members)
            QSoundPerform().InitFilesZZ(m_czOut + "/" + m.take, "WAV");
    };
    job.check = [&](bool, bool mayBeDone) {
        int failed = 0;
        for (const Member& m : members) {
            const bool there = QFileInfo::exists(m.output);
            const bool whole = there && ReadRiffFile(m.output).data == ReadRiffFile(m.source).data;
            failed += m.done ? 0 : 1;
            // Imported by the next load: told that the next load settles
            // it, never that no file was kept.
            if (!m.done) {
                const QString wrong = ToldAgainstLoad(m.told, whole);
                if (!wrong.isEmpty())
                    return QString("%1: %2").arg(m.output, wrong);
            }
            if (m.done ? !whole : there && !(mayBeDone && whole))
                return QString("%1: told %2, %3").arg(m.output, m.done ? "done" : "not done", there ? "there" : "gone");
        }
        return m_pMessages->count() - told < failed ? QString("not told") : QString();
    };
    const tyFaultWalk walk = WalkDiskFaults(job, planName);
    QVERIFY2(walk.lczFaults.isEmpty(), qPrintable(walk.lczFaults.join('\n')));
    QVERIFY(walk.nCalls > 0);
}

// A stop from another thread while the import runs on a worker: false, no
// file, no message.
void TestImport::stopOnWorkerLeavesNothing()
{
    ForeignSpec spec;
    spec.channels = 4;
    spec.frames = 48000 * 20;
    const QString source = m_czIn + "/LONG.WAV";
    QVERIFY(WriteForeignFile(source, spec));
    std::atomic<bool> run{true};
    std::atomic<int> lastPercent{-1};
    bool result = true;
    QSoundMixer mixer;
    connect(&mixer, &QSoundMixer::signal_ImportSourceProgressPct, &mixer,
            [&](int percent) { lastPercent.store(percent); }, Qt::DirectConnection);
    std::thread worker([&] {
        result = mixer.ImportMono(source, m_czOut, "7T0042", -1, 0, "25.00", QString(), &run, 10, QString(), 0);
    });
    while (lastPercent.load() < 5 && lastPercent.load() != 100)
        std::this_thread::yield();
    run.store(false);
    worker.join();
    QVERIFY(!result);
    QCOMPARE(lastPercent.load(), 100);
    QCOMPARE(Entries(m_czOut), QStringList());
    QCOMPARE(m_pMessages->count(), 0);
}

// A volume that fills during the write, and one that says it is too small:
// false, no file.
void TestImport::fullDiskLeavesNothing()
{
    ForeignSpec spec;
    spec.channels = 4;
    spec.frames = 200000;   // 2.4 MB of output
    const QString source = m_czIn + "/BIG.WAV";
    QVERIFY(WriteForeignFile(source, spec));
    SetFreeSpaceFunction([](const QString&) { return qint64(-1); });
    QString how;
    const bool held = RunOnFullVolume(m_czIn, 1024 * 1024, [&](const QString& folder) {
        QSoundMixer mixer;
        const bool ran = mixer.ImportMono(source, folder, "7T0042", -1, 0, "25.00", QString(), nullptr, 10, QString(), 0);
        return !ran && Entries(folder).isEmpty();
    }, &how);
    QVERIFY2(held, qPrintable(how));

    SetFreeSpaceFunction([](const QString&) { return 11 * 1048576LL; });
    QVERIFY(!Import(source));
    QVERIFY(m_pMessages->last().at(1).toString().startsWith("Not enough disk space"));
    QCOMPARE(Entries(m_czOut), QStringList());
}

int main(int argc, char** argv)
{
    return RunPartedTest<TestImport, QCoreApplication>(argc, argv);
}
#include "test_import.moc"
