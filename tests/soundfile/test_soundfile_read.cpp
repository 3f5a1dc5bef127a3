// Reading recorder files: the chunk walk on valid and damaged input, the
// cached records, the bext and iXML getters and the take-status code.
#include "soundfile/bextdescription.h"
#include "soundfile/filestatus.h"
#include "soundfile/soundfile.h"
#include "tests/soundfile/soundfiletesthelpers.h"
#include "tests/support/fixturevariants.h"
#include "tests/support/fixturewriter.h"
#include "tests/support/riffbytes.h"

#include <QTemporaryDir>
#include <QtTest>

using namespace fixture;

class TestSoundFileRead : public QObject
{
    Q_OBJECT

private slots:
    void monoFileRecordsAndGetters_data();
    void monoFileRecordsAndGetters();
    void polyFileTracksAndSyncPoints();
    void advancedTemplateAndInputSettings();
    void statusOfEveryVariant_data();
    void statusOfEveryVariant();
    void readChunksMessages_data();
    void readChunksMessages();
    void oddSizesAreWalked();
    void damagedSizesGiveDefinedResults();
    void fortyUnknownChunksAreWalked();
    void openFailuresAndSlots();
    void rawAccess();
    void bextLinesAreAnchored();
    void frameRateOfSpeedTexts_data();
    void frameRateOfSpeedTexts();

private:
    QString Write(const QString& name, const QByteArray& bytes)
    {
        const QString path = m_Scratch.path() + QLatin1Char('/') + name;
        return WriteBytes(path, bytes) ? path : QString();
    }
    // A minimal recorder-like file from chunks: fmt (24-bit mono) + the rest.
    QString WriteChunks(const QString& name, QList<ChunkBytes> chunks)
    {
        chunks.prepend({"fmt ", FmtPayload(1, 1, 48000, 24)});
        return Write(name, AssembleRiff(chunks));
    }

    QTemporaryDir m_Scratch;
};

void TestSoundFileRead::monoFileRecordsAndGetters_data()
{
    // Other recorders' iXML: the same values, vendor elements included.
    QTest::addColumn<int>("form");
    QTest::addColumn<QByteArray>("doctype");
    const QByteArray subset = "<!DOCTYPE BWFXML [\n <!ENTITY a \"[\">\n <!-- ] > -->\n]>\n";
    QTest::newRow("as written") << int(IxmlForm::Utf8) << QByteArray();
    QTest::newRow("UTF-16LE with a byte order mark") << int(IxmlForm::Utf16LEWithBom) << QByteArray();
    QTest::newRow("UTF-16BE bare") << int(IxmlForm::Utf16BEBare) << QByteArray();
    QTest::newRow("doctype with a bracket in a literal") << int(IxmlForm::Utf8) << subset;
    QTest::newRow("UTF-16 doctype") << int(IxmlForm::Utf16LEWithBom) << subset;
}

void TestSoundFileRead::monoFileRecordsAndGetters()
{
    QFETCH(int, form);
    QFETCH(QByteArray, doctype);
    TakeSpec spec = MonoTake(QStringLiteral("ABC123"), {0, 2});
    spec.tracks[1].name = QStringLiteral("Boom");
    spec.note = QStringLiteral("Plane overhead");
    spec.film = true;
    const QString key = IxmlValue(ParseRiff(BuildMonoFile(spec, 1)).ixml, QStringLiteral("ORVEX_BRISEL/FILE_KEY"));
    spec.ixmlForm = IxmlForm(form);
    spec.ixmlEdits = {{"<BWFXML>", doctype + "<BWFXML>"},
                      {"</BWFXML>", "<VENDOR><CLAP>&#x1F3AC; &a;</CLAP></VENDOR></BWFXML>"}};
    if (doctype.isEmpty())
        spec.ixmlEdits.last().second.replace("&a;", "[");
    const WrittenTake take = WriteTake(m_Scratch.path() + "/mono", spec);
    QCOMPARE(take.files.size(), 2);
    const RiffInfo reference = ReadRiffFile(take.files.at(1));

    QSoundFile file;
    QVERIFY(file.Open(take.files.at(1), 0));
    QVERIFY(file.ReadChunks(true, false));
    QCOMPARE(file.m_FmtChunk.nChannels, quint16(1));
    QCOMPARE(file.m_FmtChunk.nSampleRate, 48000u);
    QCOMPARE(file.m_FmtChunk.nBitsPerSample, quint16(24));
    QCOMPARE(file.m_FmtChunk.nBlockAlign, quint16(3));
    QCOMPARE(file.m_DataChunk.nSize, reference.dataSize);
    QCOMPARE(file.m_nDataOffset, reference.dataOffset);
    QCOMPARE(file.m_MainChunk.nSize, reference.riffSize);
    QVERIFY(file.m_nOndeOffset > 0);
    QCOMPARE(file.m_nOndeSize, reference.Find("ond3")->size);
    QVERIFY(file.HasFilmChunk());
    QVERIFY(file.HasiXMLChunk());
    QVERIFY(file.IsLayoutSound());
    QCOMPARE(file.GetDurationSeconds(), 1u);
    QCOMPARE(file.GetFrameCount(), 48000u);
    QCOMPARE(ComputeFileStatus(file), 0);

    QCOMPARE(file.GetBextScene(), QStringLiteral("12A"));
    QCOMPARE(file.GetBextTake(), QStringLiteral("t3"));
    QCOMPARE(file.GetBextTape(), QStringLiteral("T001"));
    QCOMPARE(file.GetBextUbits(), QStringLiteral("00000000"));
    QCOMPARE(file.GetBextTag(), QStringLiteral("ABC123"));
    QCOMPARE(file.GetBextType(), QStringLiteral("mono"));
    QCOMPARE(file.GetBextTrackName(3), QStringLiteral("Boom"));
    QCOMPARE(file.GetBextNote(), QStringLiteral("Plane overhead"));
    QCOMPARE(file.GetBextOriginator(), QStringLiteral("BRISEL 7"));
    QVERIFY(file.GetBextOriginatorReference().startsWith(QLatin1String("ORVEX")));
    QCOMPARE(file.GetBextOriginationDate(), QStringLiteral("2024-05-01"));
    QCOMPARE(file.GetBextOriginationTime(), QStringLiteral("10:00:00"));
    QCOMPARE(file.GetBextTimeReference(), spec.EffectiveTimeReference());
    QCOMPARE(file.GetFrameRate(), 25);

    QVERIFY(file.GetiXMLFileInfos());
    QVERIFY(file.XmlOk());
    QCOMPARE(file.GetiXMLMonoTrackNumber(), 2);
    QCOMPARE(file.GetiXMLMonoTrackName(), QStringLiteral("Boom"));
    QCOMPARE(file.GetiXMLTotalFiles(), 2);
    QCOMPARE(file.GetiXMLFamilyName(), QStringLiteral("12A/t3"));
    QCOMPARE(file.GetiXMLNotes(), QStringLiteral("Plane overhead"));
    QCOMPARE(file.GetiXMLCircled(), QStringLiteral("FALSE"));
    QCOMPARE(file.GetiXMLTakeIndicator(), QStringLiteral("t"));
    QCOMPARE(file.GetiXMLTakeNumber(), QStringLiteral("3"));
    QCOMPARE(file.GetiXMLScTkTemplate(), 0);
    QCOMPARE(file.GetiXMLOrvexRefLevel(), QStringLiteral("-18"));
    QCOMPARE(file.GetiXMLOrvexTracknames(2), QStringLiteral("Boom"));
    QCOMPARE(file.GetiXMLOrvexTrackActive(2), QStringLiteral("YES"));
    QCOMPARE(file.GetiXMLOrvexTrackActive(5), QStringLiteral("NO"));
    QCOMPARE(file.GetiXMLOrvexTrackInGrid(2), QStringLiteral("MIC_3=0x1,"));
    QCOMPARE(file.GetiXMLOrvexTrackPanPot(2), QStringLiteral("100,100"));
    QCOMPARE(file.GetiXMLFileKey(), key);
    QCOMPARE(file.GetText({QStringLiteral("VENDOR"), QStringLiteral("CLAP")}), QStringLiteral("\U0001F3AC ["));
    QCOMPARE(file.GetText({QStringLiteral("IXML_VERSION")}), QStringLiteral("1.61"));
    QCOMPARE(file.GetText({QStringLiteral("SPEED"), QStringLiteral("TIMECODE_RATE")}), QStringLiteral("25/1"));

    // A fresh object forgets it all.
    file.InitVariables();
    QVERIFY(!file.XmlOk());
    QVERIFY(!file.IsOpen());
    QVERIFY(!file.HasiXMLChunk());
    QCOMPARE(file.GetiXMLMonoTrackNumber(), -1);
}

void TestSoundFileRead::polyFileTracksAndSyncPoints()
{
    TakeSpec spec = PolyTake(QStringLiteral("ABC124"), {0, 1, 4, 5});
    spec.tracks[2].function = QStringLiteral("L-MIX");
    spec.slates = {{24000, QStringLiteral("AUTO")}, {36000, QString()}};
    spec.markers = {{12345, QStringLiteral("Cue")}};
    const WrittenTake take = WriteTake(m_Scratch.path() + "/poly", spec);
    QSoundFile file;
    QVERIFY(file.Open(take.files.value(0), 0));
    QVERIFY(file.ReadChunks(true, false));
    QCOMPARE(ComputeFileStatus(file), 0);
    QVERIFY(file.GetiXMLFileInfos());
    QCOMPARE(file.GetiXMLTrackCount(), 4);
    QCOMPARE(file.GetiXMLPolyTrackOriginalIndex(2), 4);
    QCOMPARE(file.GetiXMLPolyTrackOriginalIndex(7), -1);
    QCOMPARE(file.GetiXMLPolyTrackName(2), QStringLiteral("Trk5"));
    QCOMPARE(file.GetiXMLPolyTrackFunction(2), QStringLiteral("L-MIX"));

    unsigned int slates = 99, markers = 99;
    unsigned int slatePositions[10] = {}, slateFrames[10] = {}, markerPositions[10] = {};
    QStringList slateComments, markerComments;
    bool automatic = false;
    file.GetiXMLSyncPoint(&slates, slatePositions, slateFrames, &slateComments, false, &markers,
                          markerPositions, &markerComments, &automatic);
    QCOMPARE(slates, 2u);
    QCOMPARE(slatePositions[1], 36000u);
    QCOMPARE(slateFrames[0], 13u);   // 12.5 frames at 48 kHz, 25 fps: to the nearest
    QCOMPARE(slateFrames[1], 19u);   // 18.75 frames, to the nearest
    QCOMPARE(markers, 1u);
    QCOMPARE(markerPositions[0], 12345u);
    QCOMPARE(markerComments, QStringList{QStringLiteral("Cue")});
    QVERIFY(automatic);
    // Null outputs are allowed.
    file.GetiXMLSyncPoint(nullptr, nullptr, nullptr, nullptr, true, nullptr, nullptr, nullptr, nullptr);
}

void TestSoundFileRead::advancedTemplateAndInputSettings()
{
    TakeSpec spec = MonoTake(QStringLiteral("ABC125"), {0});
    spec.scTkTemplate = 5;
    spec.advanced = {{2, QStringLiteral("12")}, {0, QStringLiteral("/")}, {1, QStringLiteral("A")}};
    spec.inputSettings = {{QStringLiteral("MIC_1"), 12, true, false, 3}};
    const WrittenTake take = WriteTake(m_Scratch.path() + "/adv", spec);
    QSoundFile file;
    QVERIFY(file.Open(take.files.value(0), 0) && file.ReadChunks(false, false) && file.GetiXMLFileInfos());
    QCOMPARE(file.GetiXMLScTkTemplate(), 5);
    const QHash<int, QString> fields = file.GetiXMLAdvancedScTkFields();
    QCOMPARE(fields.value(2), QStringLiteral("12"));
    QCOMPARE(fields.value(0), QStringLiteral("/"));
    QCOMPARE(fields.value(1), QStringLiteral("A"));
    QCOMPARE(file.GetiXMLAdvancedScTkComposition(), QStringLiteral("2,0,1"));
    QCOMPARE(file.GetiXMLTakeNumber(), QStringLiteral("3"));

    tInputSettings settings;
    QVERIFY(file.GetiXMLOrvexInputSettings(QStringLiteral("MIC_1"), &settings));
    QVERIFY(settings.bPresent);
    QCOMPARE(settings.nDelay, 12);
    QVERIFY(settings.bPhaseReversed);
    QVERIFY(!settings.bEqEnabled);
    QCOMPARE(settings.nFilter, 3);
    QVERIFY(!file.GetiXMLOrvexInputSettings(QStringLiteral("LINE_4"), &settings));
    QVERIFY(!settings.bPresent);
    QDomNode node;
    file.GetiXMLInputsSettings(&node);
    QCOMPARE(node.toElement().tagName(), QStringLiteral("INPUT_SETTINGS"));
}

void TestSoundFileRead::statusOfEveryVariant_data()
{
    QTest::addColumn<int>("breakage");
    QTest::addColumn<int>("expected");
    for (const BreakageInfo& info : Breakages()) {
        if (info.expectedStatus >= 0)
            QTest::newRow(info.name) << int(info.breakage) << info.expectedStatus;
    }
}

void TestSoundFileRead::statusOfEveryVariant()
{
    QFETCH(int, breakage);
    QFETCH(int, expected);
    const TakeSpec spec = MonoTake(QStringLiteral("ABC126"), {0, 1});
    const QString path = Write(QStringLiteral("broken%1.WAV").arg(breakage),
                               BuildBrokenFile(spec, Breakage(breakage)));
    QSoundFile file;
    QVERIFY(file.Open(path, 0));
    file.ReadChunks(false, true);
    QCOMPARE(ComputeFileStatus(file), expected);
    // Whatever the damage, the getters answer.
    file.GetiXMLFileInfos();
    file.GetiXMLMonoTrackName();
    file.GetiXMLOrvexTrackActive(3);
    file.GetBextScene();
    file.GetDurationSeconds();
    // The status comes from the file, whether or not its document was read,
    // and not from a document built since.
    QCOMPARE(ComputeFileStatus(file), expected);
    file.GenerateiXMLChunkMono(0);
    QCOMPARE(ComputeFileStatus(file), expected);
    // Only a recorder file with a whole layout may be written.
    if (expected == 8)
        QVERIFY(!file.IsLayoutSound() || !file.HasiXMLChunk() || file.GetDeclaredDataSize() == 0);
}

void TestSoundFileRead::readChunksMessages_data()
{
    QTest::addColumn<QByteArray>("bytes");
    QTest::addColumn<bool>("bextOptional");
    QTest::addColumn<QString>("message");
    const QByteArray bext = BextPayload("aSCENE=1\r\n", "BRISEL 7", "ORVEX", "2024-05-01", "10:00:00", 0);
    const QByteArray fmt = FmtPayload(1, 1, 48000, 24);
    QTest::newRow("empty") << QByteArray() << false << "is empty !";
    QTest::newRow("text file") << QByteArray("Shopping list\nmilk\n") << false << "is not a sound file !";
    QTest::newRow("short header") << QByteArray("RIFF\0\0") << false << "is not a sound file !";
    QTest::newRow("no fmt") << AssembleRiff({{"bext", bext}, {"data", QByteArray(6, 1)}}) << false
                            << "hasn't Format Chunk !";
    QTest::newRow("fmt of 14 bytes") << AssembleRiff({{"fmt ", fmt.left(14)}, {"data", QByteArray(6, 1)}})
                                     << true << "hasn't Format Chunk !";
    QTest::newRow("no data") << AssembleRiff({{"fmt ", fmt}, {"bext", bext}}) << false << "hasn't Data Chunk !";
    QTest::newRow("no bext") << AssembleRiff({{"fmt ", fmt}, {"data", QByteArray(6, 1)}}) << false
                             << "hasn't Bext Chunk !";
    QTest::newRow("bext optional") << AssembleRiff({{"fmt ", fmt}, {"data", QByteArray(6, 1)}}) << true
                                   << QString();
    const TakeSpec spec = MonoTake(QStringLiteral("ABC131"), {0});
    QTest::newRow("RF64") << BuildBrokenFile(spec, Breakage::Rf64) << false
                          << QString::fromLatin1(QSoundFile::kRf64Refusal);
    QTest::newRow("data past 4096 chunks") << BuildBrokenFile(spec, Breakage::ChunkFlood) << false
                                           << "hasn't Data Chunk within its first 4096 chunks !";
}

void TestSoundFileRead::readChunksMessages()
{
    QFETCH(QByteArray, bytes);
    QFETCH(bool, bextOptional);
    QFETCH(QString, message);
    const QString path = Write(QStringLiteral("msg_%1.WAV").arg(QTest::currentDataTag()), bytes);
    MessageCatcher messages;
    QSoundFile file;
    QVERIFY(file.Open(path, 0));
    QCOMPARE(file.ReadChunks(true, bextOptional), message.isEmpty());
    if (message.isEmpty()) {
        QCOMPARE(messages.Count(), 0);
        return;
    }
    QCOMPARE(messages.Count(), 1);
    QCOMPARE(messages.Title(0), QStringLiteral("Read file"));
    const QFileInfo info(path);
    QCOMPARE(messages.Text(0), QStringLiteral("Path:%1/\nFile:%2\n%3")
                                   .arg(info.absolutePath(), info.fileName(), message));
    // Without report nothing is sent.
    messages.Clear();
    QVERIFY(!file.ReadChunks(false, bextOptional));
    QCOMPARE(messages.Count(), 0);
    // The take line's clause names the file and the reason.
    QVERIFY(file.ReadFailureText().contains(message.chopped(2)) && file.ReadFailureText().contains(info.fileName()));
}

void TestSoundFileRead::oddSizesAreWalked()
{
    const TakeSpec spec = MonoTake(QStringLiteral("ABC127"), {0});
    for (const Breakage breakage : {Breakage::OddChunkPadded, Breakage::OddChunkUnpadded}) {
        const QString path = Write(QStringLiteral("odd%1.WAV").arg(int(breakage)), BuildBrokenFile(spec, breakage));
        QSoundFile file;
        QVERIFY(file.Open(path, 0));
        QVERIFY(file.ReadChunks(false, false));
        QVERIFY(file.HasiXMLChunk());
        QVERIFY(file.IsLayoutSound());
        QCOMPARE(file.m_nOtherChunkCount, 1);
        QCOMPARE(file.m_OtherChunk.nSize, 5u);
        QCOMPARE(ComputeFileStatus(file), 0);
    }
    // An odd chunk whose unpadded successor is garbage and whose padded one
    // is not a header either: the walk stops there and flags it.
    const QByteArray bext = BextPayload("", "BRISEL 7", "ORVEX", "2024-05-01", "10:00:00", 0);
    QByteArray bytes = AssembleRiff({{"fmt ", FmtPayload(1, 1, 48000, 16)}, {"bext", bext},
                                     {"data", QByteArray(8, 2)}, {"abcd", QByteArray(3, 0), false}});
    bytes.append(QByteArray(12, '\x01'));
    PutU32(bytes, 4, quint32(bytes.size() - 8));
    QSoundFile file;
    QVERIFY(file.Open(Write(QStringLiteral("garbage.WAV"), bytes), 0));
    QVERIFY(file.ReadChunks(false, false));
    QVERIFY(file.GetLayout().bGarbage);
    QVERIFY(!file.IsLayoutSound());
}

void TestSoundFileRead::damagedSizesGiveDefinedResults()
{
    const QByteArray fullBext = BextPayload("aSCENE=9\r\n", "BRISEL 7", "ORVEX", "2024-05-01", "10:00:00", 0);

    // A size field far past the end: clamped, flagged, nothing huge read.
    ChunkBytes huge{"iXML", QByteArray("<BWFXML/>"), true, 0xFFFFFFF0LL};
    QSoundFile file;
    QVERIFY(file.Open(WriteChunks(QStringLiteral("huge.WAV"),
                                  {{"bext", fullBext}, {"data", QByteArray(9, 3)}, huge}), 0));
    QVERIFY(file.ReadChunks(false, false));
    QVERIFY(file.HasiXMLChunk());
    QVERIFY(file.GetLayout().bTruncated);
    QVERIFY(file.GetiXMLText().size() <= 10);
    QCOMPARE(ComputeFileStatus(file), 8);

    // Data running past the end: the record keeps the bytes present.
    ChunkBytes longData{"data", QByteArray(30, 4), true, 3000};
    QVERIFY(file.Open(WriteChunks(QStringLiteral("longdata.WAV"), {{"bext", fullBext}, longData}), 0));
    QVERIFY(file.ReadChunks(false, false));
    QCOMPARE(file.m_DataChunk.nSize, 30u);
    QCOMPARE(file.GetDeclaredDataSize(), 3000u);
    QCOMPARE(ComputeFileStatus(file), 8);

    // Zero sizes everywhere: the walk advances by the headers alone.
    QVERIFY(file.Open(WriteChunks(QStringLiteral("zeros.WAV"),
                                  {{"JUNK", QByteArray()}, {"bext", QByteArray()}, {"film", QByteArray()},
                                   {"iXML", QByteArray()}, {"data", QByteArray()}}),
                      0));
    QVERIFY(file.ReadChunks(false, false));
    QVERIFY(file.HasBextChunk());
    QCOMPARE(file.m_BextChunk.nSize, 0u);
    QCOMPARE(file.GetBextScene(), QString());
    QVERIFY(!file.GetiXMLFileInfos());
    QCOMPARE(file.GetDurationSeconds(), 0u);
    QCOMPARE(ComputeFileStatus(file), 3);

    // A bext shorter than 602 bytes is read as far as it goes.
    QVERIFY(file.Open(WriteChunks(QStringLiteral("shortbext.WAV"),
                                  {{"bext", fullBext.left(100)}, {"data", QByteArray(6, 1)}}),
                      0));
    QVERIFY(file.ReadChunks(false, false));
    QCOMPARE(file.m_BextChunk.nSize, 100u);
    QCOMPARE(file.GetBextScene(), QStringLiteral("9"));
    QCOMPARE(file.GetBextOriginator(), QString());

    // Block align 0 and zero rate: no division by zero anywhere.
    QByteArray fmt = FmtPayload(1, 2, 0, 24);
    fmt[12] = 0;
    fmt[13] = 0;
    QVERIFY(file.Open(Write(QStringLiteral("align0.WAV"),
                            AssembleRiff({{"fmt ", fmt}, {"bext", fullBext}, {"data", QByteArray(12, 1)}})),
                      0));
    QVERIFY(file.ReadChunks(false, false));
    QCOMPARE(file.m_FmtChunk.nBlockAlign, quint16(0));
    QCOMPARE(file.GetFrameCount(), 0u);
    QCOMPARE(file.GetDurationSeconds(), 0u);
    unsigned int frames[10] = {};
    file.GetiXMLSyncPoint(nullptr, nullptr, frames, nullptr, false, nullptr, nullptr, nullptr, nullptr);
}

void TestSoundFileRead::fortyUnknownChunksAreWalked()
{
    // Another program's chunks before the data: every one walked, the
    // data and the iXML after them found.
    const TakeSpec spec = MonoTake(QStringLiteral("ABC128"), {0});
    const QString path = Write(QStringLiteral("forty.WAV"), BuildBrokenFile(spec, Breakage::FortyUnknownChunks));
    QSoundFile file;
    QVERIFY(file.Open(path, 0));
    QVERIFY(file.ReadChunks(false, false));
    QCOMPARE(file.m_nOtherChunkCount, 40);
    QCOMPARE(file.GetDataOffset(), ReadRiffFile(path).dataOffset);
    QVERIFY(file.HasiXMLChunk());
    QVERIFY(file.IsLayoutSound());
    QCOMPARE(ComputeFileStatus(file), 0);
}

void TestSoundFileRead::openFailuresAndSlots()
{
    MessageCatcher messages;
    QSoundFile file;
    QVERIFY(!file.Open(QString(), 0));
    QVERIFY(!file.Open(QStringLiteral("/tmp/x.WAV"), 3));
    QVERIFY(!file.Open(0)); // no path stored: silent
    QCOMPARE(messages.Count(), 0);
    QVERIFY(!file.Close());

    // A missing file behind a stored path: silent, and never created.
    const QString missing = m_Scratch.path() + QStringLiteral("/missing_01.WAV");
    file.SetPath(missing);
    QVERIFY(!file.Open(2));
    QCOMPARE(messages.Count(), 0);
    QVERIFY(!QFile::exists(missing));

    // The path form reports it.
    QVERIFY(!file.Open(missing, 1));
    QCOMPARE(messages.Count(), 1);
    QCOMPARE(messages.Title(0), QStringLiteral("Read file"));
    QCOMPARE(messages.Text(0), QStringLiteral("Unable to open\n%1/\nmissing_01.WAV\nfor writing !")
                                   .arg(m_Scratch.path()));
    QVERIFY(!QFile::exists(missing));

    // Opening twice closes first; write mode never truncates.
    const TakeSpec spec = MonoTake(QStringLiteral("ABC129"), {0});
    const QString path = WriteTake(m_Scratch.path() + "/open", spec).files.value(0);
    const QByteArray before = FileBytes(path);
    QVERIFY(file.Open(path, 0));
    QVERIFY(file.Open(path, 1));
    QVERIFY(file.IsOpenForWriting());
    QVERIFY(file.Close());
    QCOMPARE(FileBytes(path), before);
}

void TestSoundFileRead::rawAccess()
{
    const TakeSpec spec = MonoTake(QStringLiteral("ABC130"), {0});
    const QString path = WriteTake(m_Scratch.path() + "/raw", spec).files.value(0);
    const RiffInfo reference = ReadRiffFile(path);
    QSoundFile file;
    QVERIFY(file.Open(path, 0) && file.ReadChunks(false, false));
    char buffer[64];
    QCOMPARE(file.LectureDataBin(buffer, file.m_nDataOffset, 64), 64);
    QCOMPARE(QByteArray(buffer, 64), reference.data.left(64));
    QCOMPARE(file.LectureDataBin(buffer, -1, 64), 64);
    QCOMPARE(QByteArray(buffer, 64), reference.data.mid(64, 64));
    QVERIFY(file.SetPointer(unsigned(reference.fileSize)));
    QCOMPARE(file.LectureDataBin(buffer, -1, 64), 0);
    QVERIFY(!file.SetPointer(unsigned(reference.fileSize + 1)));
    QCOMPARE(file.LectureDataBin(buffer, -5, 4), -1);
    file.Close();
    QCOMPARE(file.LectureDataBin(buffer, 0, 4), -1);
}

void TestSoundFileRead::bextLinesAreAnchored()
{
    const QByteArray bytes("aNOTE=aSCENE=wrong\r\naSCENE=12A  \naTRK10=Ten\r\n\r\naTRK1\r\n\0aTAPE=X", 63);
    ::BextDescription description(bytes);
    // Read straight from the bytes, every key gives what the parsed lines give.
    for (const char* key : {"aSCENE=", "aNOTE=", "aTRK1=", "aTRK1", "aTRK10=", "aTAPE=", "aTAKE="})
        QCOMPARE(::BextDescription::ValueIn(bytes, QLatin1String(key)), description.Value(QLatin1String(key)));
    QCOMPARE(description.Value(QStringLiteral("aSCENE=")), QStringLiteral("12A"));
    QCOMPARE(description.Value(QStringLiteral("aTRK1=")), QString());
    QCOMPARE(description.Value(QStringLiteral("aTRK10=")), QStringLiteral("Ten"));
    QVERIFY(!description.HasKey(QStringLiteral("aTAPE="))); // after the NUL
    // New lines take the recorder's order; unknown lines stay where they are.
    ::BextDescription edited(QByteArray("xCUSTOM=1\r\naSCENE=1\r\naNOTE=n\r\n"));
    edited.SetValue(QStringLiteral("aTAKE="), QStringLiteral("t2"));
    edited.SetValue(QStringLiteral("aUBITS="), QStringLiteral("$1"));
    bool ok = false;
    QCOMPARE(edited.Compose(255, QString(), &ok),
             QByteArray("xCUSTOM=1\r\naUBITS=$1\r\naSCENE=1\r\naTAKE=t2\r\naNOTE=n\r\n"));
    QVERIFY(ok);
}

void TestSoundFileRead::frameRateOfSpeedTexts_data()
{
    QTest::addColumn<QString>("speed");
    QTest::addColumn<int>("rate");
    QTest::newRow("25 ND") << "025.000-ND" << 25;
    QTest::newRow("29.97 DF") << "029.970-DF" << 30;
    QTest::newRow("fraction") << "24000/1001" << 24;
    QTest::newRow("highest") << "120.4" << 120;
    QTest::newRow("above the range") << "120.5" << 0;
    QTest::newRow("below the range") << "0.4" << 0;
    QTest::newRow("beyond an int") << "2510222451" << 0;
    QTest::newRow("no exponent read") << "1e300" << 1;
    QTest::newRow("huge fraction") << "99999999999999999999/1" << 0;
}

void TestSoundFileRead::frameRateOfSpeedTexts()
{
    QFETCH(QString, speed);
    QFETCH(int, rate);
    TakeSpec spec = MonoTake(QStringLiteral("SPD001"), {0});
    spec.speed = speed;
    const QString path = Write(QStringLiteral("speed.WAV"), BuildMonoFile(spec, 0));
    QSoundFile file;
    QVERIFY(file.Open(path, 0) && file.ReadChunks(false, false));
    QCOMPARE(file.GetFrameRate(), rate);
}

QTEST_GUILESS_MAIN(TestSoundFileRead)
#include "test_soundfile_read.moc"
