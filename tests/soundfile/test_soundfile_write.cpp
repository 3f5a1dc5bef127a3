// Writing recorder files: every writer keeps the audio bytes identical and
// the RIFF sizes consistent, and refuses files it must not touch.
#include "foundation/filekey.h"
#include "foundation/platform/diskcalls.h"
#include "soundfile/filestatus.h"
#include "soundfile/riffwriter.h"
#include "soundfile/soundfile.h"
#include "tests/soundfile/soundfiletesthelpers.h"
#include "tests/support/fixturevariants.h"
#include "tests/support/fixturewriter.h"
#include "tests/support/riffbytes.h"

#include <QTemporaryDir>
#include <QtTest>

#include <csignal>
#include <sys/resource.h>

using namespace fixture;

namespace {

// The file is a whole RIFF file for the independent reader and the tools.
void VerifyConsistent(const QString& path, quint32 frames)
{
    const RiffInfo info = ReadRiffFile(path);
    QVERIFY(info.isRiffWave);
    QCOMPARE(qint64(info.riffSize) + 8, info.fileSize);
    for (const RiffChunk& chunk : info.chunks)
        QVERIFY2(!chunk.truncated, chunk.id.constData());
    QCOMPARE(info.Frames(), frames);
    if (HaveTool(QStringLiteral("ffprobe"))) {
        const QString probe = RunTool(QStringLiteral("ffprobe"),
                                      {QStringLiteral("-v"), QStringLiteral("error"), QStringLiteral("-show_entries"),
                                       QStringLiteral("stream=sample_rate,channels,duration_ts"),
                                       QStringLiteral("-of"), QStringLiteral("default=nw=1"), path});
        QVERIFY2(probe.contains(QStringLiteral("duration_ts=%1").arg(frames)), qPrintable(probe));
        QVERIFY(probe.contains(QStringLiteral("sample_rate=%1").arg(info.sampleRate)));
    }
    if (HaveTool(QStringLiteral("sox")))
        QCOMPARE(RunTool(QStringLiteral("sox"), {QStringLiteral("--i"), QStringLiteral("-s"), path}).trimmed(),
                 QString::number(frames));
}

int CountChunks(const RiffInfo& info, const QByteArray& id)
{
    int count = 0;
    for (const RiffChunk& chunk : info.chunks)
        count += chunk.id == id ? 1 : 0;
    return count;
}

} // namespace

class TestSoundFileWrite : public QObject
{
    Q_OBJECT

private slots:
    void bextWritersRoundTrip();
    void bextDescriptionStaysInItsField();
    void filmNetFileName();
    void writersRefuse_data();
    void writersRefuse();
    void fileChangedBehindTheWalk();
    void refusedCutBackIsTold();
    void undoJudgesWhatTheFileHolds_data();
    void undoJudgesWhatTheFileHolds();
    void ixmlChunkRewrite_data();
    void ixmlChunkRewrite();
    void settersRoundTrip();
    void newDocumentsCarryAKey();
    void waveformChunk();
    void rotateRenumbersAFamily();
    void rotateRollsBack();
    void rotate2NeverOverwrites();

private:
    QString MonoFile(const QString& folder, TakeSpec spec = MonoTake(QStringLiteral("ABC123"), {0}))
    {
        return WriteTake(m_Scratch.path() + QLatin1Char('/') + folder, spec).files.value(0);
    }

    QTemporaryDir m_Scratch;
};

void TestSoundFileWrite::bextWritersRoundTrip()
{
    TakeSpec spec = MonoTake(QStringLiteral("ABC123"), {0, 4});
    const QString path = WriteTake(m_Scratch.path() + "/bext", spec).files.value(1);
    const QByteArray audio = AudioMd5(path);
    const qint64 length = QFileInfo(path).size();
    const QString note60 = QString(60, QLatin1Char('n'));
    {
        QSoundFile file;
        QVERIFY(file.Open(path, 2) && file.ReadChunks(true, false));
        QVERIFY(file.InsertInBextDescr(QStringLiteral("14B"), QStringLiteral("p"), QStringLiteral("7"), 0, note60,
                                       QStringLiteral("12345678"), QStringLiteral("T002"), 4,
                                       QStringLiteral("Lav")));
        // The cached copy follows the file.
        QCOMPARE(file.GetBextScene(), QStringLiteral("14B"));
    }
    RiffInfo info = ReadRiffFile(path);
    QCOMPARE(info.DescriptionValue(QStringLiteral("aSCENE")), QStringLiteral("14B"));
    QCOMPARE(info.DescriptionValue(QStringLiteral("aTAKE")), QStringLiteral("p7"));
    QCOMPARE(info.DescriptionValue(QStringLiteral("aNOTE")), QString(49, QLatin1Char('n')));
    QCOMPARE(info.DescriptionValue(QStringLiteral("aUBITS")), QStringLiteral("$12345678"));
    QCOMPARE(info.DescriptionValue(QStringLiteral("aTAPE")), QStringLiteral("T002"));
    QCOMPARE(info.DescriptionValue(QStringLiteral("aTRK5")), QStringLiteral("Lav"));
    QCOMPARE(info.DescriptionValue(QStringLiteral("aTAG")), QStringLiteral("ABC123"));
    QCOMPARE(info.DescriptionValue(QStringLiteral("aSPEED")), QStringLiteral("025.000-ND"));
    QCOMPARE(info.originator, QByteArray("BRISEL 7"));

    QSoundFile file;
    QVERIFY(file.Open(path, 2) && file.ReadChunks(true, false));
    QVERIFY(file.InsertInBextDescrScene(QStringLiteral("99Z"), 0));
    QVERIFY(file.InsertInBextDescrTake(QStringLiteral("p"), QStringLiteral("8"), 2));
    QVERIFY(file.InsertInBextDescrNote(QStringLiteral("quiet")));
    QVERIFY(file.InsertInBextDescrUbits(QStringLiteral("00112233")));
    QVERIFY(file.InsertInBextDescrTape(QStringLiteral("T003")));
    QVERIFY(file.InsertInBextDescrType(QStringLiteral("xy  ")));
    file.Close();

    QSoundFile fresh;
    QVERIFY(fresh.Open(path, 0) && fresh.ReadChunks(true, false));
    QCOMPARE(fresh.GetBextScene(), QStringLiteral("99Z"));
    QCOMPARE(fresh.GetBextTake(), QStringLiteral("8"));
    QCOMPARE(fresh.GetBextNote(), QStringLiteral("quiet"));
    QCOMPARE(fresh.GetBextUbits(), QStringLiteral("00112233"));
    QCOMPARE(fresh.GetBextTape(), QStringLiteral("T003"));
    QCOMPARE(fresh.GetBextType(), QStringLiteral("xy"));
    QCOMPARE(fresh.GetBextTrackName(5), QStringLiteral("Lav"));
    QCOMPARE(ComputeFileStatus(fresh), 0);
    QCOMPARE(AudioMd5(path), audio);
    QCOMPARE(QFileInfo(path).size(), length);
    VerifyConsistent(path, spec.frames);
}

void TestSoundFileWrite::bextDescriptionStaysInItsField()
{
    // Every field at its longest: the text is cut, never spills into Originator.
    const QString path = MonoFile(QStringLiteral("long"));
    QSoundFile file;
    QVERIFY(file.Open(path, 2) && file.ReadChunks(true, false));
    QVERIFY(file.InsertInBextDescr(QString(40, QLatin1Char('S')), QStringLiteral("t"), QString(20, QLatin1Char('9')),
                                   0, QString(200, QLatin1Char('n')), QStringLiteral("12345678"),
                                   QStringLiteral("TAPE"), 0, QString(120, QLatin1Char('T'))));
    const RiffInfo info = ReadRiffFile(path);
    const QByteArray payload = FileBytes(path).mid(int(info.Find("bext")->payloadOffset), 602);
    QCOMPARE(payload.at(255), '\0');
    QVERIFY(payload.indexOf('\0') <= 255);
    QCOMPARE(info.originator, QByteArray("BRISEL 7"));
    QCOMPARE(info.DescriptionValue(QStringLiteral("aSCENE")), QString(9, QLatin1Char('S')));
    // The note is cut first ...
    QVERIFY(info.DescriptionValue(QStringLiteral("aNOTE")).size() < 49);
    QCOMPARE(info.DescriptionValue(QStringLiteral("aTRK1")), QString(120, QLatin1Char('T')));
    // ... then the track name.
    QVERIFY(file.InsertInBextDescr(QStringLiteral("1"), QStringLiteral("t"), QStringLiteral("1"), 0,
                                   QString(49, QLatin1Char('n')), QString(), QString(), 0,
                                   QString(300, QLatin1Char('T'))));
    const RiffInfo cut = ReadRiffFile(path);
    QCOMPARE(cut.DescriptionValue(QStringLiteral("aNOTE")), QString());
    QVERIFY(cut.DescriptionValue(QStringLiteral("aTRK1")).size() > 100);
    QVERIFY(cut.description.size() <= 255);
    QCOMPARE(cut.originator, QByteArray("BRISEL 7"));

    // A bext chunk of 100 bytes: the write ends inside it (the chunk after it is untouched).
    const QByteArray bext = BextPayload("aSCENE=1\r\n", "BRISEL 7", "ORVEX", "2024-05-01", "10:00:00", 0);
    const QString small = m_Scratch.path() + QStringLiteral("/smallbext.WAV");
    QVERIFY(WriteBytes(small, AssembleRiff({{"fmt ", FmtPayload(1, 1, 48000, 16)},
                                            {"bext", bext.left(100)},
                                            {"data", QByteArray(200, 7)}})));
    const QByteArray before = FileBytes(small);
    QVERIFY(file.Open(small, 2) && file.ReadChunks(true, false));
    QVERIFY(file.InsertInBextDescrNote(QString(49, QLatin1Char('x'))));
    const QByteArray after = FileBytes(small);
    QCOMPARE(after.size(), before.size());
    QCOMPARE(after.mid(20 + 8 + 100), before.mid(20 + 8 + 100));
    QCOMPARE(after.at(20 + 8 + 99), '\0');
    QVERIFY(ReadRiffFile(small).DescriptionValue(QStringLiteral("aSCENE")) == QLatin1String("1"));
}

void TestSoundFileWrite::filmNetFileName()
{
    TakeSpec spec = PolyTake(QStringLiteral("ABC124"), {0, 1});
    spec.film = true;
    const QString path = WriteTake(m_Scratch.path() + "/film", spec).files.value(0);
    const QByteArray audio = AudioMd5(path);
    QSoundFile file;
    QVERIFY(file.Open(path, 2) && file.ReadChunks(true, false));
    QVERIFY(file.InsertInFilmNetFileName(QStringLiteral("ABC124PN.WAV")));
    file.Close();
    const RiffInfo info = ReadRiffFile(path);
    const QByteArray film = FileBytes(path).mid(int(info.Find("film")->payloadOffset), 1572);
    QCOMPARE(film.mid(804, 13), QByteArray("ABC124PN.WAV\0", 13));
    QSoundFile fresh;
    QVERIFY(fresh.Open(path, 0) && fresh.ReadChunks(false, false));
    QCOMPARE(fresh.GetFilmNetFileName(), QStringLiteral("ABC124PN.WAV"));
    QCOMPARE(AudioMd5(path), audio);
    VerifyConsistent(path, spec.frames);
}

void TestSoundFileWrite::writersRefuse_data()
{
    QTest::addColumn<int>("breakage");
    QTest::addColumn<int>("mode");
    QTest::addColumn<QString>("message");
    QTest::newRow("read-only open") << -1 << 0 << "isn't open for writing !";
    QTest::newRow("RIFF size wrong") << int(Breakage::RiffSizeWrong) << 2 << "damaged";
    QTest::newRow("RIFF size zero") << int(Breakage::RiffSizeZero) << 2 << "damaged";
    QTest::newRow("truncated data") << int(Breakage::TruncatedData) << 2 << "damaged";
    QTest::newRow("data size max") << int(Breakage::DataSizeMax) << 2 << "damaged";
    QTest::newRow("data past 4096 chunks") << int(Breakage::ChunkFlood) << 2 << "damaged";
    QTest::newRow("RF64") << int(Breakage::Rf64) << 2 << "damaged";
}

void TestSoundFileWrite::writersRefuse()
{
    QFETCH(int, breakage);
    QFETCH(int, mode);
    QFETCH(QString, message);
    const TakeSpec spec = MonoTake(QStringLiteral("ABC125"), {0, 1});
    const QString path = m_Scratch.path() + QStringLiteral("/refuse%1.WAV").arg(breakage);
    QVERIFY(WriteBytes(path, breakage < 0 ? BuildMonoFile(spec, 0) : BuildBrokenFile(spec, Breakage(breakage))));
    const QByteArray before = FileBytes(path);

    MessageCatcher messages;
    QSoundFile file;
    QVERIFY(file.Open(path, mode));
    file.ReadChunks(false, false);
    file.GetiXMLFileInfos();
    QString text = file.GenerateiXMLChunkPoly(0) + QString(9000, QLatin1Char(' '));
    char levels[4] = {1, 2, 3, 4};
    QVERIFY(!file.InsertInBextDescr(QStringLiteral("1"), QStringLiteral("t"), QStringLiteral("1"), 0,
                                    QString(), QString(), QString(), 0, QString()));
    QVERIFY(!file.InsertInBextDescrType(QStringLiteral("poly")));
    QVERIFY(!file.AddiXMLChunk(text));
    QVERIFY(!file.AddOndeChunk(levels, 4, 1, 4800));
    QCOMPARE(messages.Count(), 4);
    for (int i = 0; i < messages.Count(); ++i)
        QVERIFY2(messages.Text(i).contains(message), qPrintable(messages.Text(i)));
    QCOMPARE(FileBytes(path), before);
}

void TestSoundFileWrite::fileChangedBehindTheWalk()
{
    const QString path = MonoFile(QStringLiteral("changed"));
    QSoundFile file;
    QVERIFY(file.Open(path, 2) && file.ReadChunks(true, false));
    {
        QFile other(path);
        QVERIFY(other.open(QIODevice::ReadWrite | QIODevice::Append));
        other.write("JUNK\0\0\0\0", 8);
    }
    const QByteArray before = FileBytes(path);
    MessageCatcher messages;
    QVERIFY(!file.InsertInBextDescrNote(QStringLiteral("late")));
    QCOMPARE(messages.Count(), 1);
    QVERIFY(messages.Text(0).contains(QLatin1String("changed")));
    QCOMPARE(FileBytes(path), before);
}

// A growth the card takes in part (a file size limit), whose cut back it
// then refuses: the write's failure says what the file is left with.
void TestSoundFileWrite::refusedCutBackIsTold()
{
    const QString path = MonoFile(QStringLiteral("cutback"));
    const QByteArray audio = AudioMd5(path);
    const qint64 length = QFileInfo(path).size();
    QSoundFile file;
    QVERIFY(file.Open(path, 2) && file.ReadChunks(true, false) && file.GetiXMLFileInfos());
    QString text = file.GenerateiXMLChunkMono(0) + QString(9000, QLatin1Char(' '));
    MessageCatcher messages;
    // A write past the limit fails (EFBIG) instead of raising SIGXFSZ.
    std::signal(SIGXFSZ, SIG_IGN);
    rlimit old{};
    QVERIFY(getrlimit(RLIMIT_FSIZE, &old) == 0);
    rlimit limit = old;
    limit.rlim_cur = rlim_t(length + 100);
    QVERIFY(setrlimit(RLIMIT_FSIZE, &limit) == 0);
    tyDiskFaultPlan cut;
    cut.eKind = DiskCall::Truncate;
    cut.nNth = 1;
    DiskFaults::Arm(cut);
    const bool written = file.AddiXMLChunk(text);
    DiskFaults::Disarm();
    setrlimit(RLIMIT_FSIZE, &old);
    QVERIFY(!written);
    QCOMPARE(messages.Count(), 1);
    QVERIFY2(messages.Text(0).contains(QLatin1String("could not be cut back to its former length (Input/output "
                                                     "error): it ends in 100 bytes")),
             qPrintable(messages.Text(0)));
    QCOMPARE(QFileInfo(path).size(), length + 100);
    QCOMPARE(AudioMd5(path), audio);
}

void TestSoundFileWrite::undoJudgesWhatTheFileHolds_data()
{
    using Match = RiffChunkWriter::UndoMatch;
    QTest::addColumn<QString>("state");
    QTest::addColumn<bool>("hashed");   // false: a record of the first format
    QTest::addColumn<int>("match");
    QTest::addColumn<bool>("grown");    // the save appends a longer text
    QTest::newRow("save not begun") << "old" << true << int(Match::Before) << false;
    QTest::newRow("save landed") << "new" << true << int(Match::Partly) << false;
    QTest::newRow("cut at a sector") << "torn" << true << int(Match::Partly) << false;
    QTest::newRow("another program's bytes") << "foreign" << true << int(Match::Changed) << false;
    QTest::newRow("first format: the length alone") << "foreign" << false << int(Match::Partly) << false;
    QTest::newRow("grown, landed") << "new" << true << int(Match::Partly) << true;
    QTest::newRow("grown, a power cut before the new bytes") << "zeros" << true << int(Match::Partly) << true;
    QTest::newRow("grown, another program's bytes past the old end") << "foreign" << true << int(Match::Changed) << true;
    QTest::newRow("grown, an earlier format cannot prove them") << "new" << false << int(Match::Unproven) << true;
}

// A save rewrites the whole iXML payload in place; the file then holds the
// old text, the new, a mix cut at a sector, or another program's.
void TestSoundFileWrite::undoJudgesWhatTheFileHolds()
{
    QFETCH(QString, state);
    QFETCH(bool, hashed);
    QFETCH(int, match);
    QFETCH(bool, grown);
    using Match = RiffChunkWriter::UndoMatch;
    const QString path = MonoFile(QStringLiteral("undo_%1").arg(QTest::currentDataTag()));
    const QByteArray before = FileBytes(path);
    QFile file(path);
    QVERIFY(file.open(QIODevice::ReadWrite));
    const tyRiffLayout layout = RiffChunkWalker::Walk(file);
    tyIxmlRewrite plan;
    const int size = int(layout.chunks.at(layout.Find("iXML")).nSize) + (grown ? 6000 : 0);
    const qint64 length = grown ? RiffChunkWriter::IxmlRewriteLengths(layout, size).last() : layout.nFileLength;
    QVERIFY(RiffChunkWriter::PlanIxmlRewrite(layout, size, length, &plan));
    const QByteArray payload(int(plan.nChunkSize), 'x');
    RiffChunkWriter writer(file, layout);
    tyChunkUndo undo;
    QVERIFY(writer.ReadUndo(plan, payload, &undo) && (grown || undo.lRegions.size() == 1));
    if (grown) {
        // The new bytes lie past the old end: written, zeroed (their length
        // on the card, not yet their bytes), or one changed since.
        QVERIFY(writer.ReserveIxmlRewrite(plan, payload) && writer.CommitIxmlRewrite(plan, payload));
        const QByteArray overwrite = state == QLatin1String("zeros") ? QByteArray(int(plan.nFinalLength - plan.nOldLength), '\0')
                                     : state == QLatin1String("foreign") ? QByteArray("y") : QByteArray();
        QVERIFY(file.seek(plan.nOldLength + (overwrite.size() == 1 ? 5000 : 0))
                && file.write(overwrite) == overwrite.size() && file.flush());
        state = QStringLiteral("grown");
    }
    const qint64 start = undo.lRegions.last().first;
    const qint64 sector = (start / RiffChunkWriter::kUndoPieceBytes + 1) * RiffChunkWriter::kUndoPieceBytes;
    QVERIFY(grown || sector < start + undo.lRegions.first().second.size());
    if (state != QLatin1String("old") && state != QLatin1String("grown"))
        QVERIFY(writer.CommitIxmlRewrite(plan, payload));
    if (state == QLatin1String("torn"))
        QVERIFY(file.seek(start) && file.write(before.mid(int(start), int(sector - start))) == sector - start);
    if (state == QLatin1String("foreign"))
        QVERIFY(file.seek(sector) && file.write("y") == 1 && file.flush());
    if (!hashed) {
        undo.lNewHashes.clear();
        undo.tailHashes.clear();
    }
    const QByteArray held = FileBytes(path);
    QString why;
    QCOMPARE(int(RiffChunkWriter::MatchUndo(file, undo, &why)), match);
    // Only a file that fits is put back, as it was; another is not touched.
    const bool fits = match == int(Match::Before) || match == int(Match::Partly);
    QCOMPARE(RiffChunkWriter::ApplyUndo(file, undo, &why), fits);
    QCOMPARE(FileBytes(path), fits ? before : held);
}

void TestSoundFileWrite::ixmlChunkRewrite_data()
{
    QTest::addColumn<int>("order");
    QTest::addColumn<bool>("absent");
    QTest::addColumn<int>("noteLength");
    QTest::addColumn<quint32>("frames");
    QTest::addColumn<int>("form");   // of the iXML read
    const int utf8 = int(IxmlForm::Utf8);
    QTest::newRow("fits in place") << int(ChunkOrder::IxmlBeforeData) << false << 20 << 48000u << utf8;
    QTest::newRow("last chunk grows") << int(ChunkOrder::Standard) << false << 9000 << 48000u << utf8;
    QTest::newRow("last chunk grows, odd data") << int(ChunkOrder::Standard) << false << 9000 << 4801u << utf8;
    QTest::newRow("followed by data") << int(ChunkOrder::IxmlBeforeData) << false << 9000 << 48000u << utf8;
    QTest::newRow("followed by ond") << int(ChunkOrder::IxmlBeforeOnd) << false << 9000 << 4801u << utf8;
    QTest::newRow("absent") << int(ChunkOrder::Standard) << true << 100 << 4801u << utf8;
    QTest::newRow("UTF-16LE fits in place") << int(ChunkOrder::IxmlBeforeData) << false << 20 << 48000u
                                            << int(IxmlForm::Utf16LEWithBom);
    QTest::newRow("UTF-16BE followed by ond") << int(ChunkOrder::IxmlBeforeOnd) << false << 9000 << 4801u
                                              << int(IxmlForm::Utf16BEBare);
}

void TestSoundFileWrite::ixmlChunkRewrite()
{
    QFETCH(int, order);
    QFETCH(bool, absent);
    QFETCH(int, noteLength);
    QFETCH(quint32, frames);
    QFETCH(int, form);
    TakeSpec spec = MonoTake(QStringLiteral("ABC126"), {0});
    spec.order = ChunkOrder(order);
    spec.frames = frames;
    const QString key = IxmlValue(ParseRiff(BuildMonoFile(spec, 0)).ixml, QStringLiteral("ORVEX_BRISEL/FILE_KEY"));
    spec.ixmlForm = IxmlForm(form);
    const QString path = m_Scratch.path() + QStringLiteral("/ixml_%1.WAV").arg(QTest::currentDataTag());
    QVERIFY(WriteBytes(path, absent ? BuildBrokenFile(spec, Breakage::NoIxml) : BuildMonoFile(spec, 0)));
    const RiffInfo before = ReadRiffFile(path);
    const QByteArray audio = AudioMd5(path);

    const QString note(noteLength, QLatin1Char('N'));
    {
        QSoundFile file;
        QVERIFY(file.Open(path, 2) && file.ReadChunks(true, false));
        QCOMPARE(file.GetiXMLFileInfos(), !absent);
        QVERIFY(file.SetiXMLMonoTrackName(0, QStringLiteral("Boom")));
        QVERIFY(file.SetiXMLNote(0, note));
        QString text = file.GenerateiXMLChunkMono(0);
        QVERIFY(file.AddiXMLChunk(text));
        QVERIFY(file.IsLayoutSound());
    }
    const RiffInfo after = ReadRiffFile(path);
    QCOMPARE(AudioMd5(path), audio);
    QCOMPARE(after.dataOffset, before.dataOffset);
    QCOMPARE(CountChunks(after, "iXML"), 1);
    QCOMPARE(after.Find("iXML")->size % 2, 0u);
    QCOMPARE(IxmlValue(after.ixml, QStringLiteral("NOTE")), note);
    QCOMPARE(IxmlValue(after.ixml, QStringLiteral("TRACK_LIST/TRACK/NAME")), QStringLiteral("Boom"));
    QCOMPARE(IxmlValue(after.ixml, QStringLiteral("SCENE")), spec.scene);
    QVERIFY(after.ixml.startsWith("<?xml version=\"1.0\" encoding=\"UTF-8\"?>"));
    const bool grown = !absent && noteLength > 1000;
    const bool followed = order != int(ChunkOrder::Standard);
    QCOMPARE(CountChunks(after, "JUNK"), grown && followed ? 1 : 0);
    if (!grown && !absent)
        QCOMPARE(after.fileSize, before.fileSize);
    if (grown && !followed)
        QCOMPARE(after.chunks.size(), before.chunks.size());
    // A save keeps the key; a new document gets this file's key.
    QSoundFile fresh;
    QVERIFY(fresh.Open(path, 0) && fresh.ReadChunks(true, false) && fresh.GetiXMLFileInfos());
    if (!absent)
        QCOMPARE(fresh.GetiXMLFileKey(), key);
    QCOMPARE(ComputeFileStatus(fresh), 0);
    QCOMPARE(fresh.GetiXMLNotes(), note);
    VerifyConsistent(path, frames);

    // A second, longer save: grown in place when last, else moved to the end.
    QString longer = fresh.GenerateiXMLChunkMono(0) + QString(20000, QLatin1Char(' '));
    fresh.Close();
    QVERIFY(fresh.Open(path, 2) && fresh.ReadChunks(true, false));
    QVERIFY(fresh.AddiXMLChunk(longer));
    const RiffInfo third = ReadRiffFile(path);
    QCOMPARE(CountChunks(third, "iXML"), 1);
    const bool wasLast = after.chunks.last().id == "iXML";
    QCOMPARE(third.chunks.size(), after.chunks.size() + (wasLast ? 0 : 1));
    QCOMPARE(third.chunks.last().id, QByteArray("iXML"));
    QCOMPARE(AudioMd5(path), audio);
    VerifyConsistent(path, frames);
}

void TestSoundFileWrite::settersRoundTrip()
{
    TakeSpec spec = MonoTake(QStringLiteral("ABC127"), {0, 1});
    spec.inputSettings = {{QStringLiteral("MIC_1"), 5, false, true, 2}};
    const WrittenTake take = WriteTake(m_Scratch.path() + "/setters", spec);
    const QString path = take.files.value(1);
    const QByteArray audio = AudioMd5(path);
    const QString key = IxmlValue(ReadRiffFile(path).ixml, QStringLiteral("ORVEX_BRISEL/FILE_KEY"));

    QSoundFile source;
    QVERIFY(source.Open(take.files.value(0), 0) && source.ReadChunks(true, false) && source.GetiXMLFileInfos());
    QDomNode inputs;
    source.GetiXMLInputsSettings(&inputs);

    QSoundFile file;
    QVERIFY(file.Open(path, 2) && file.ReadChunks(true, false) && file.GetiXMLFileInfos());
    QVERIFY(file.SetiXMLScene(1, QStringLiteral(" 12/A "), 4, false, {2, 0, 1},
                              {QStringLiteral("12"), QStringLiteral("/"), QStringLiteral("A")}));
    QVERIFY(file.SetiXMLTake(1, QStringLiteral("p"), QStringLiteral("7"), 2));
    QVERIFY(file.SetiXMLNote(1, QStringLiteral("  spaced  ")));
    QVERIFY(file.SetiXMLUbits(1, QStringLiteral("11223344")));
    QVERIFY(file.SetiXMLTape(1, QStringLiteral("T009")));
    QVERIFY(file.SetiXMLCircled(1, QStringLiteral("TRUE")));
    QVERIFY(file.SetiXMLFamilyName(1, false, QStringLiteral("12/A"), QStringLiteral("p"), QStringLiteral("7"), 2));
    QString names[24], pans[24], actives[24], grids[24];
    for (int i = 0; i < 24; ++i) {
        names[i] = QStringLiteral("N%1").arg(i);
        pans[i] = QStringLiteral("50,50");
        grids[i] = QStringLiteral("LINE_1=0x1,");
        actives[i] = i == 3 ? QStringLiteral("DISARMED") : i == 0 ? QStringLiteral("no") : QStringLiteral("YES");
    }
    QVERIFY(file.SetiXMLOrvexAllTrkInfos(names, pans, actives, grids));
    unsigned int slates[2] = {4800, 9600};
    unsigned int markers[1] = {100};
    QVERIFY(file.SetiXMLSyncPoint(1, 2, slates, {QStringLiteral("AUTO")}, 1, markers, {QStringLiteral("m")}));
    QVERIFY(file.SetiXMLOrvexRefLevel(QStringLiteral("-20")));
    QVERIFY(file.SetiXMLInputSettings(&inputs));
    QString text = file.GenerateiXMLChunkMono(1);
    QVERIFY(file.AddiXMLChunk(text));
    file.Close();

    QSoundFile fresh;
    QVERIFY(fresh.Open(path, 0) && fresh.ReadChunks(true, false) && fresh.GetiXMLFileInfos());
    QCOMPARE(fresh.GetiXMLScene(), QStringLiteral("12/A"));
    QCOMPARE(fresh.GetiXMLScTkTemplate(), 2);  // the take's template was set last
    QCOMPARE(fresh.GetiXMLAdvancedScTkComposition(), QStringLiteral("2,0,1"));
    QCOMPARE(fresh.GetiXMLTake(), QStringLiteral("7"));
    QCOMPARE(fresh.GetiXMLTakeType(), QStringLiteral("PICKUP"));
    QCOMPARE(fresh.GetiXMLTakeIndicator(), QStringLiteral("p"));
    QCOMPARE(fresh.GetiXMLTakeNumber(), QStringLiteral("7"));
    QCOMPARE(fresh.GetiXMLNotes(), QStringLiteral("spaced"));
    QCOMPARE(fresh.GetiXMLUbits(), QStringLiteral("11223344"));
    QCOMPARE(fresh.GetiXMLTape(), QStringLiteral("T009"));
    QCOMPARE(fresh.GetiXMLCircled(), QStringLiteral("TRUE"));
    QCOMPARE(fresh.GetiXMLFamilyName(), QStringLiteral("12/A/7"));
    QCOMPARE(fresh.GetiXMLOrvexTrackActive(3), QStringLiteral("DISARMED"));
    QCOMPARE(fresh.GetiXMLOrvexTracknames(3), QStringLiteral("N3"));
    QCOMPARE(fresh.GetiXMLOrvexTrackActive(0), QStringLiteral("no"));
    QCOMPARE(fresh.GetiXMLOrvexTracknames(0), QStringLiteral("Trk1")); // "NO": the rest is kept
    QCOMPARE(fresh.GetiXMLOrvexTrackPanPot(0), QStringLiteral("100,100"));
    QCOMPARE(fresh.GetiXMLOrvexTrackPanPot(1), QStringLiteral("50,50"));
    QCOMPARE(fresh.GetiXMLOrvexRefLevel(), QStringLiteral("-20"));
    tInputSettings settings;
    QVERIFY(fresh.GetiXMLOrvexInputSettings(QStringLiteral("MIC_1"), &settings));
    QCOMPARE(settings.nDelay, 5);
    QVERIFY(settings.bEqEnabled);
    unsigned int count = 0, positions[10] = {}, markerCount = 0;
    bool automatic = false;
    fresh.GetiXMLSyncPoint(&count, positions, nullptr, nullptr, false, &markerCount, nullptr, nullptr, &automatic);
    QCOMPARE(count, 2u);
    QCOMPARE(positions[1], 9600u);
    QCOMPARE(markerCount, 1u);
    QVERIFY(automatic);
    QCOMPARE(fresh.GetiXMLFileKey(), key);
    QCOMPARE(ComputeFileStatus(fresh), 0);
    QCOMPARE(AudioMd5(path), audio);
    VerifyConsistent(path, spec.frames);
}

void TestSoundFileWrite::newDocumentsCarryAKey()
{
    TakeSpec spec = PolyTake(QStringLiteral("ABC128"), {0, 1, 2, 3});
    const QString path = m_Scratch.path() + QStringLiteral("/noixml.WAV");
    QVERIFY(WriteBytes(path, BuildBrokenFile(spec, Breakage::NoIxml)));
    QSoundFile file;
    QVERIFY(file.Open(path, 0) && file.ReadChunks(true, false));
    QVERIFY(!file.GetiXMLFileInfos());
    // The setters build a poly document from the file's own chunks first.
    QVERIFY(file.SetiXMLPolyTrackOriginalIndex(0, 5));
    QCOMPARE(file.GetiXMLTrackCount(), 4);
    QCOMPARE(file.GetiXMLPolyTrackOriginalIndex(0), 5);
    QVERIFY(file.SetiXMLPolyTrackName(5, QStringLiteral("Left"))); // looked up by CHANNEL_INDEX
    QCOMPARE(file.GetiXMLPolyTrackName(0), QStringLiteral("Left"));
    QVERIFY(!file.SetiXMLPolyTrackName(17, QStringLiteral("none")));
    QVERIFY(FileKeyMatches(file.GetiXMLFileKey(), file.GetDeclaredDataSize(), 48000, 24, 4));
    QCOMPARE(file.GetiXMLScene(), QStringLiteral("12A"));

    // A loaded document keeps its edits through GenerateiXMLChunkMono.
    QVERIFY(file.SetiXMLNote(0, QStringLiteral("kept")));
    QVERIFY(file.GenerateiXMLChunkMono(0).contains(QLatin1String("<NOTE>kept</NOTE>")));
    file.CreateNewiXMLchunkPoly();
    QCOMPARE(file.GetiXMLPolyTrackOriginalIndex(0), 0);

    // The mono form for a slot.
    TakeSpec mono = MonoTake(QStringLiteral("ABC129"), {6});
    const QString monoPath = m_Scratch.path() + QStringLiteral("/noixml_mono.WAV");
    QVERIFY(WriteBytes(monoPath, BuildBrokenFile(mono, Breakage::NoIxml)));
    QSoundFile single;
    QVERIFY(single.Open(monoPath, 0) && single.ReadChunks(true, false));
    QVERIFY(single.GenerateiXMLChunkPoly(6).contains(QLatin1String("<CHANNEL_INDEX>7</CHANNEL_INDEX>")));
    QCOMPARE(single.GetiXMLMonoTrackNumber(), 6);
    QCOMPARE(single.GetiXMLMonoTrackName(), QStringLiteral("Trk7"));
    QVERIFY(FileKeyMatches(single.GetiXMLFileKey(), single.GetDeclaredDataSize(), 48000, 24, 1));

    // A header claiming more channels than a take holds gets no document,
    // and the file is left as it was.
    QByteArray claimed = BuildBrokenFile(spec, Breakage::NoIxml);
    const int fmt = claimed.indexOf("fmt ");
    QVERIFY(fmt > 0);
    claimed.replace(fmt + 10, 2, U16(300));
    const QString claimedPath = m_Scratch.path() + QStringLiteral("/claimed.WAV");
    QVERIFY(WriteBytes(claimedPath, claimed));
    QSoundFile wide;
    QVERIFY(wide.Open(claimedPath, 2) && wide.ReadChunks(true, false));
    QString text = wide.GenerateiXMLChunkPoly(0);
    QVERIFY(text.isEmpty());
    QVERIFY(!wide.SetiXMLNote(0, QStringLiteral("n")));
    QVERIFY(!wide.AddiXMLChunk(text));
    wide.Close();
    QFile back(claimedPath);
    QVERIFY(back.open(QIODevice::ReadOnly));
    QCOMPARE(back.readAll(), claimed);
}

void TestSoundFileWrite::waveformChunk()
{
    TakeSpec spec = MonoTake(QStringLiteral("ABC130"), {9});
    spec.waveform = false;
    spec.frames = 4801; // odd data size: the data chunk carries a pad byte
    const QString path = MonoFile(QStringLiteral("ond"), spec);
    const QByteArray audio = AudioMd5(path);
    QSoundFile file;
    QVERIFY(file.Open(path, 2) && file.ReadChunks(true, false));
    char levels[5] = {10, 20, 30, 40, 50};
    QVERIFY(!file.AddOndeChunk(levels, 5, 0, 4800));
    QVERIFY(!file.AddOndeChunk(levels, 5, 25, 4800));
    QVERIFY(file.AddOndeChunk(levels, 5, 10, 4800));
    QVERIFY(file.AddOndeChunk(levels, 4, 11, 4800));
    QVERIFY(file.m_nOndeOffset > 0);
    file.Close();
    const RiffInfo info = ReadRiffFile(path);
    const RiffChunk* onde = info.Find("ondA");
    QVERIFY(onde);
    QCOMPARE(onde->size, 10u); // 5 levels + 1 zero level + 4
    const QByteArray bytes = FileBytes(path);
    QCOMPARE(bytes.mid(int(onde->payloadOffset), 10), QByteArray("\xC0\x12\0\0\x0A\x14\x1E\x28\x32\0", 10));
    QVERIFY(info.Find("ondB"));
    QCOMPARE(info.Find("ondB")->size, 8u);
    QCOMPARE(AudioMd5(path), audio);
    VerifyConsistent(path, spec.frames);
}

void TestSoundFileWrite::rotateRenumbersAFamily()
{
    TakeSpec spec = MonoTake(QStringLiteral("ABC131"), {0, 1, 2});
    spec.film = true;
    const WrittenTake take = WriteTake(m_Scratch.path() + "/rotate", spec);
    QStringList audio;
    for (const QString& path : take.files)
        audio.append(QString::fromLatin1(AudioMd5(path)));

    QSoundFile file;
    QString texts[24];
    const QStringList temporary = RotateEach(file, take.files, 22, texts);
    QCOMPARE(temporary.size(), 3);
    for (int t = 0; t < 3; ++t)
        QVERIFY(temporary.at(t).endsWith(QStringLiteral("ABC131_%1.WAV_").arg((t + 22) % 24 + 1)));
    QVERIFY(file.Rotate2(temporary, texts));
    const QString folder = QFileInfo(take.files.at(0)).path();
    const int expected[3] = {23, 24, 1};
    for (int t = 0; t < 3; ++t) {
        const QString path = folder + QStringLiteral("/ABC131_%1.WAV").arg(expected[t]);
        QVERIFY2(QFile::exists(path), qPrintable(path));
        const RiffInfo info = ReadRiffFile(path);
        QCOMPARE(info.originatorReference.at(31), char('0' + expected[t] - 1));
        QCOMPARE(info.DescriptionValue(QStringLiteral("aTRK%1").arg(expected[t])),
                 QStringLiteral("Trk%1").arg(t + 1));
        QCOMPARE(IxmlValue(info.ixml, QStringLiteral("TRACK_LIST/TRACK/CHANNEL_INDEX")),
                 QString::number(expected[t]));
        QSoundFile fresh;
        QVERIFY(fresh.Open(path, 0) && fresh.ReadChunks(true, false));
        QCOMPARE(fresh.GetFilmNetFileName(), QStringLiteral("ABC131_%1.WAV").arg(expected[t]));
        QCOMPARE(ComputeFileStatus(fresh), 0);
        QCOMPARE(QString::fromLatin1(AudioMd5(path)), audio.at(t));
    }
    for (const QString& path : take.files)
        QVERIFY(!QFile::exists(path));
}

void TestSoundFileWrite::rotateRollsBack()
{
    const TakeSpec spec = MonoTake(QStringLiteral("ABC132"), {0, 1});
    const WrittenTake take = WriteTake(m_Scratch.path() + "/rollback", spec);
    const QByteArray first = FileBytes(take.files.at(0));
    const QByteArray second = FileBytes(take.files.at(1));
    QSoundFile file;
    QString name, text;
    QVERIFY(file.Rotate(take.files.at(0), &name, 0, 4, true, &text));
    QVERIFY(!QFile::exists(take.files.at(0)));
    // The second file's temporary name is taken: it fails and changes nothing.
    const QString blocker = QFileInfo(take.files.at(1)).path() + QStringLiteral("/ABC132_6.WAV_");
    QVERIFY(WriteBytes(blocker, "x"));
    MessageCatcher messages;
    QVERIFY(!file.Rotate(take.files.at(1), &name, 1, 4, true, &text));
    QCOMPARE(messages.Count(), 1);
    QCOMPARE(FileBytes(take.files.at(1)), second);
    // The family goes back as it was, byte for byte.
    QVERIFY(file.RotateRollback());
    QCOMPARE(FileBytes(take.files.at(0)), first);
    QVERIFY(!QFile::exists(QFileInfo(take.files.at(0)).path() + QStringLiteral("/ABC132_5.WAV_")));
}

void TestSoundFileWrite::rotate2NeverOverwrites()
{
    const TakeSpec spec = MonoTake(QStringLiteral("ABC133"), {0});
    const WrittenTake take = WriteTake(m_Scratch.path() + "/collide", spec);
    QSoundFile file;
    QString name, texts[1];
    QVERIFY(file.Rotate(take.files.at(0), &name, 0, 1, true, &texts[0]));
    const QString final = name.left(name.size() - 1);
    QVERIFY(WriteBytes(final, "someone else's file"));
    MessageCatcher messages;
    QVERIFY(!file.Rotate2({name}, texts));
    QCOMPARE(FileBytes(final), QByteArray("someone else's file"));
    QVERIFY(QFile::exists(name));
    QCOMPARE(messages.Count(), 1);
    QVERIFY(messages.Text(0).contains(name));
}

QTEST_GUILESS_MAIN(TestSoundFileWrite)
#include "test_soundfile_write.moc"
