// Unusual chunk layouts, failed writes and renumbering failures: the audio
// bytes stay identical, the RIFF sizes stay consistent, and a write that
// fails leaves the file as it was.
#include "foundation/platform/diskprobes.h"
#include "soundfile/filestatus.h"
#include "soundfile/soundfile.h"
#include "tests/soundfile/soundfiletesthelpers.h"
#include "tests/support/fixturewriter.h"
#include "tests/support/riffbytes.h"

#include <QTemporaryDir>
#include <QtTest>

#include <csignal>
#include <sys/resource.h>

using namespace fixture;

namespace {

// The chunks of a file as the fixture writer's building blocks.
QList<ChunkBytes> ChunksOf(const QByteArray& file)
{
    QList<ChunkBytes> chunks;
    for (const RiffChunk& chunk : ParseRiff(file).chunks) {
        ChunkBytes bytes;
        bytes.id = chunk.id;
        bytes.payload = file.mid(int(chunk.payloadOffset), int(chunk.size));
        chunks.append(bytes);
    }
    return chunks;
}

int IndexOfChunk(const QList<ChunkBytes>& chunks, const QByteArray& id)
{
    for (int i = 0; i < chunks.size(); ++i) {
        if (chunks.at(i).id == id)
            return i;
    }
    return -1;
}

// One blank less of padding: the iXML chunk gets an odd size.
void MakeIxmlOdd(QList<ChunkBytes>& chunks)
{
    ChunkBytes& ixml = chunks[IndexOfChunk(chunks, "iXML")];
    if (ixml.payload.size() % 2 == 0)
        ixml.payload.chop(1);
}

QList<ChunkBytes> MoveChunk(QList<ChunkBytes> chunks, const QByteArray& id, int to)
{
    const int from = IndexOfChunk(chunks, id);
    chunks.move(from, to < 0 ? chunks.size() - 1 : to);
    return chunks;
}

ChunkBytes Chunk(const QByteArray& id, const QByteArray& payload, bool padOdd = true)
{
    ChunkBytes chunk;
    chunk.id = id;
    chunk.payload = payload;
    chunk.padOdd = padOdd;
    return chunk;
}

// The RIFF size agrees with the file, every chunk is whole, the audio is the
// expected one, and the standard tools read the whole length.
void VerifyWhole(const QString& path, const QByteArray& audioMd5, quint32 frames)
{
    const RiffInfo info = ReadRiffFile(path);
    QVERIFY(info.isRiffWave);
    QCOMPARE(qint64(info.riffSize) + 8, info.fileSize);
    QCOMPARE(info.walkedEnd + (info.walkedEnd & 1), info.fileSize + (info.fileSize & 1));
    for (const RiffChunk& chunk : info.chunks)
        QVERIFY2(!chunk.truncated, chunk.id.constData());
    QCOMPARE(AudioMd5(path), audioMd5);
    QCOMPARE(info.Frames(), frames);
    if (HaveTool(QStringLiteral("sox")))
        QCOMPARE(RunTool(QStringLiteral("sox"), {QStringLiteral("--i"), QStringLiteral("-s"), path}).trimmed(),
                 QString::number(frames));
}

// Limits the size of files this process may write (EFBIG past it) while
// in scope: a full disk, as far as the writer can tell.
class FileSizeLimit
{
public:
    explicit FileSizeLimit(qint64 bytes)
    {
        m_Handler = std::signal(SIGXFSZ, SIG_IGN);
        getrlimit(RLIMIT_FSIZE, &m_Old);
        rlimit limit = m_Old;
        limit.rlim_cur = rlim_t(bytes);
        setrlimit(RLIMIT_FSIZE, &limit);
    }
    ~FileSizeLimit()
    {
        setrlimit(RLIMIT_FSIZE, &m_Old);
        std::signal(SIGXFSZ, m_Handler);
    }

private:
    rlimit m_Old{};
    void (*m_Handler)(int) = nullptr;
};

} // namespace

Q_DECLARE_METATYPE(QList<fixture::ChunkBytes>)

class TestSoundFileEdges : public QObject
{
    Q_OBJECT

private slots:
    void cleanup() { SetWritabilityProbe(WritabilityProbe()); }
    void layoutsKeepAudioAndSizes_data();
    void layoutsKeepAudioAndSizes();
    void secondIxmlChunkNeverHidesASave_data();
    void secondIxmlChunkNeverHidesASave();
    void shortBextAndMissingFilm();
    void descriptionValuesStayOnTheirLine();
    void failedWriteLeavesTheOriginal_data();
    void failedWriteLeavesTheOriginal();
    void rotateRefusesAReadOnlyMember();
    void rotateRollbackAfterPhaseTwoFailure();
    void slateFramesOfADamagedRate();

private:
    QString Write(const QString& name, const QList<ChunkBytes>& chunks)
    {
        const QString path = m_Scratch.path() + QLatin1Char('/') + name;
        return WriteBytes(path, AssembleRiff(chunks)) ? path : QString();
    }

    QTemporaryDir m_Scratch;
};

void TestSoundFileEdges::layoutsKeepAudioAndSizes_data()
{
    QTest::addColumn<QList<ChunkBytes>>("chunks");
    QTest::addColumn<quint32>("frames");
    TakeSpec spec = MonoTake(QStringLiteral("EDG001"), {2});
    spec.frames = 4801; // odd data size
    const QList<ChunkBytes> odd = ChunksOf(BuildMonoFile(spec, 0)); // fmt bext data ond iXML

    QList<ChunkBytes> oddIxmlMiddle = MoveChunk(odd, "iXML", 2);
    MakeIxmlOdd(oddIxmlMiddle);
    QTest::newRow("odd iXML between bext and data, padded") << oddIxmlMiddle << 4801u;

    QList<ChunkBytes> oddIxmlLast = odd;
    MakeIxmlOdd(oddIxmlLast);
    QTest::newRow("odd iXML last, padded") << oddIxmlLast << 4801u;

    QList<ChunkBytes> oddOndLast = MoveChunk(odd, "iXML", 3);
    oddOndLast.last().payload.chop(1);
    oddOndLast.last().padOdd = false;
    QTest::newRow("odd waveform chunk last, no pad byte") << oddOndLast << 4801u;

    // Another program's pad byte that is not zero: the chunks put after it
    // must not be read as starting one byte early.
    QList<ChunkBytes> spacePadded = MoveChunk(odd, "iXML", 3);
    spacePadded.last().payload.chop(1);
    spacePadded.last().sizeOverride = spacePadded.last().payload.size();
    spacePadded.last().payload.append(' ');
    QTest::newRow("odd waveform chunk last, a space as pad byte") << spacePadded << 4801u;

    QList<ChunkBytes> dataUnpadded = odd;
    dataUnpadded[IndexOfChunk(dataUnpadded, "data")].padOdd = false;
    QTest::newRow("odd data without pad byte") << dataUnpadded << 4801u;

    QList<ChunkBytes> junk = odd;
    junk.insert(1, Chunk("JUNK", QByteArray(27, '\0')));
    junk.insert(4, Chunk("LIST", QByteArray("INFOISFT\x05\0\0\0abcd\0", 17), false));
    QTest::newRow("JUNK and LIST chunks, one odd without pad") << junk << 4801u;
}

void TestSoundFileEdges::layoutsKeepAudioAndSizes()
{
    QFETCH(QList<ChunkBytes>, chunks);
    QFETCH(quint32, frames);
    const QString path = Write(QStringLiteral("layout_%1.WAV").arg(QTest::currentDataTag()).replace(' ', '_'),
                               chunks);
    const QByteArray audio = AudioMd5(path);
    const QString note = QStringLiteral("gr\u00fc\u00dfe ") + QString(6000, QLatin1Char('n'));
    {
        QSoundFile file;
        QVERIFY(file.Open(path, 2) && file.ReadChunks(true, false));
        QCOMPARE(ComputeFileStatus(file), 0);
        QVERIFY(file.GetiXMLFileInfos());
        QVERIFY(file.InsertInBextDescrNote(QStringLiteral("short")));
        QVERIFY(file.SetiXMLNote(0, note));
        QString text = file.GenerateiXMLChunkMono(2);
        QVERIFY(file.AddiXMLChunk(text));
        char levels[3] = {1, 2, 3};
        QVERIFY(file.AddOndeChunk(levels, 3, 7, 4800));
    }
    VerifyWhole(path, audio, frames);
    QSoundFile fresh;
    QVERIFY(fresh.Open(path, 0) && fresh.ReadChunks(true, false) && fresh.GetiXMLFileInfos());
    QCOMPARE(fresh.GetiXMLNotes(), note);
    QCOMPARE(fresh.GetBextNote(), QStringLiteral("short"));
    QCOMPARE(ComputeFileStatus(fresh), 0);
    QVERIFY(ReadRiffFile(path).Find("ond7"));
}

void TestSoundFileEdges::secondIxmlChunkNeverHidesASave_data()
{
    QTest::addColumn<int>("noteLength");
    QTest::newRow("appended") << 9000;
    QTest::newRow("in place") << 20;
}

void TestSoundFileEdges::secondIxmlChunkNeverHidesASave()
{
    // A stale second iXML chunk at the end: a save must leave no iXML chunk
    // with the old text, neither the first (the one this program reads)
    // nor the last (the one other readers may take).
    QFETCH(int, noteLength);
    const TakeSpec spec = MonoTake(QStringLiteral("EDG002"), {0});
    QList<ChunkBytes> chunks = MoveChunk(ChunksOf(BuildMonoFile(spec, 0)), "iXML", 2);
    chunks.append(chunks.at(2));
    const QString path = Write(QStringLiteral("two_ixml_%1.WAV").arg(noteLength), chunks);
    const QByteArray audio = AudioMd5(path);
    const QString note(noteLength, QLatin1Char('x'));
    {
        QSoundFile file;
        QVERIFY(file.Open(path, 2) && file.ReadChunks(true, false) && file.GetiXMLFileInfos());
        QVERIFY(file.SetiXMLNote(0, note));
        QString text = file.GenerateiXMLChunkMono(0);
        QVERIFY(file.AddiXMLChunk(text));
    }
    const RiffInfo info = ReadRiffFile(path);
    QCOMPARE(info.ChunkIds().count(QStringLiteral("iXML")), 1);
    QCOMPARE(IxmlValue(info.ixml, QStringLiteral("NOTE")), note);
    QSoundFile fresh;
    QVERIFY(fresh.Open(path, 0) && fresh.ReadChunks(true, false) && fresh.GetiXMLFileInfos());
    QCOMPARE(fresh.GetiXMLNotes(), note);
    VerifyWhole(path, audio, spec.frames);

    // A take's save: its record holds the retired header and puts the file back.
    const QString planned = Write(QStringLiteral("two_ixml_plan_%1.WAV").arg(noteLength), chunks);
    const QByteArray before = FileBytes(planned);
    QFile file(planned);
    QVERIFY(file.open(QIODevice::ReadWrite));
    const tyRiffLayout layout = RiffChunkWalker::Walk(file);
    tyIxmlRewrite plan;
    const qint64 length = RiffChunkWriter::IxmlRewriteLengths(layout, noteLength).first();
    QVERIFY(RiffChunkWriter::PlanIxmlRewrite(layout, noteLength, length, &plan));
    const QByteArray payload(int(plan.nChunkSize), 'x');
    RiffChunkWriter writer(file, layout);
    tyChunkUndo undo;
    QVERIFY(writer.ReadUndo(plan, payload, &undo) && writer.ReserveIxmlRewrite(plan, payload)
            && writer.CommitIxmlRewrite(plan, payload));
    QCOMPARE(ReadRiffFile(planned).ChunkIds().count(QStringLiteral("iXML")), 1);
    QString why;
    QVERIFY2(RiffChunkWriter::ApplyUndo(file, undo, &why), qPrintable(why));
    QCOMPARE(FileBytes(planned), before);
}

void TestSoundFileEdges::shortBextAndMissingFilm()
{
    const TakeSpec spec = MonoTake(QStringLiteral("EDG003"), {0});
    const QList<ChunkBytes> chunks = ChunksOf(BuildMonoFile(spec, 0));
    for (const int size : {300, 101}) {
        QList<ChunkBytes> shortBext = chunks;
        shortBext[IndexOfChunk(shortBext, "bext")].payload.truncate(size);
        const QString path = Write(QStringLiteral("bext_%1.WAV").arg(size), shortBext);
        const QByteArray before = FileBytes(path);
        const qint64 payload = ReadRiffFile(path).Find("bext")->payloadOffset;
        QSoundFile file;
        QVERIFY(file.Open(path, 2) && file.ReadChunks(true, false));
        // A description longer than the chunk is cut inside it.
        const bool written = file.InsertInBextDescr(QStringLiteral("77C"), QStringLiteral("t"), QStringLiteral("9"), 0,
                                                    QString(49, QLatin1Char('n')), QStringLiteral("00000000"),
                                                    QStringLiteral("T009"), 0, QStringLiteral("Boom"));
        file.Close();
        const QByteArray after = FileBytes(path);
        QCOMPARE(after.size(), before.size());
        QCOMPARE(after.left(int(payload)), before.left(int(payload)));
        QCOMPARE(after.mid(int(payload) + size), before.mid(int(payload) + size));
        if (written) {
            QCOMPARE(after.at(int(payload) + qMin(size, 256) - 1), '\0');
            QCOMPARE(ReadRiffFile(path).DescriptionValue(QStringLiteral("aSCENE")), QStringLiteral("77C"));
        }
    }

    const QString path = Write(QStringLiteral("nofilm.WAV"), chunks);
    const QByteArray before = FileBytes(path);
    QSoundFile file;
    QVERIFY(file.Open(path, 2) && file.ReadChunks(true, false));
    QVERIFY(!file.HasFilmChunk());
    QVERIFY(!file.InsertInFilmNetFileName(QStringLiteral("EDG003_01.WAV")));
    QCOMPARE(file.GetFilmNetFileName(), QString());
    file.Close();
    QCOMPARE(FileBytes(path), before);
}

void TestSoundFileEdges::descriptionValuesStayOnTheirLine()
{
    // Values come from edit fields: a line break or a NUL inside one must not
    // make a line of its own (a second scene) or hide the lines after it.
    const QString path = m_Scratch.path() + QStringLiteral("/lines/") + TrackFileName(MonoTake("EDG004", {0}), 0);
    QVERIFY(WriteBytes(path, BuildMonoFile(MonoTake(QStringLiteral("EDG004"), {0}), 0)));
    QSoundFile file;
    QVERIFY(file.Open(path, 2) && file.ReadChunks(true, false));
    QVERIFY(file.InsertInBextDescrNote(QStringLiteral("first\r\naSCENE=99X")));
    QVERIFY(file.InsertInBextDescrScene(QString::fromLatin1("4\0B", 3), 0));
    QVERIFY(file.InsertInBextDescrTape(QStringLiteral("T\n05")));
    file.Close();
    const RiffInfo info = ReadRiffFile(path);
    QCOMPARE(info.DescriptionValue(QStringLiteral("aSCENE")), QStringLiteral("4 B"));
    QCOMPARE(info.DescriptionValue(QStringLiteral("aTAPE")), QStringLiteral("T 05"));
    QCOMPARE(info.DescriptionValue(QStringLiteral("aTAG")), QStringLiteral("EDG004"));
    QCOMPARE(info.DescriptionValue(QStringLiteral("aNOTE")), QStringLiteral("first  aSCENE=99X"));
    QCOMPARE(info.description.count('\n'), info.description.count("\r\n"));
}

void TestSoundFileEdges::failedWriteLeavesTheOriginal_data()
{
    QTest::addColumn<int>("order");
    QTest::addColumn<bool>("waveform");
    QTest::newRow("iXML last grows") << int(ChunkOrder::Standard) << false;
    QTest::newRow("iXML moves to the end") << int(ChunkOrder::IxmlBeforeData) << false;
    QTest::newRow("waveform appended") << int(ChunkOrder::Standard) << true;
}

void TestSoundFileEdges::failedWriteLeavesTheOriginal()
{
    QFETCH(int, order);
    QFETCH(bool, waveform);
    TakeSpec spec = MonoTake(QStringLiteral("EDG005"), {0});
    spec.order = ChunkOrder(order);
    const QString path = m_Scratch.path() + QStringLiteral("/full_%1.WAV").arg(QTest::currentDataTag()).replace(' ', '_');
    QVERIFY(WriteBytes(path, BuildMonoFile(spec, 0)));
    const QByteArray before = FileBytes(path);
    QString text;
    QByteArray levels(300, '\x10'); // small: it would sit in a write buffer
    MessageCatcher messages;
    {
        QSoundFile file;
        QVERIFY(file.Open(path, 2) && file.ReadChunks(true, false) && file.GetiXMLFileInfos());
        file.SetiXMLNote(0, QString(30000, QLatin1Char('n')));
        text = file.GenerateiXMLChunkMono(0);
        // The disk fills up 100 bytes past the file's end.
        FileSizeLimit full(before.size() + 100);
        const bool written = waveform ? file.AddOndeChunk(levels.data(), levels.size(), 2, 4800)
                                      : file.AddiXMLChunk(text);
        QVERIFY(!written);
        QVERIFY(messages.Count() >= 1);
        // Still a sound file for the object, and nothing left to flush later.
        QVERIFY(file.IsLayoutSound());
        QVERIFY(file.Close());
    }
    QCOMPARE(FileBytes(path), before);
}

void TestSoundFileEdges::rotateRefusesAReadOnlyMember()
{
    TakeSpec spec = MonoTake(QStringLiteral("EDG006"), {0, 1, 2});
    spec.film = true;
    const WrittenTake take = WriteTake(m_Scratch.path() + QStringLiteral("/readonly"), spec);
    QList<QByteArray> before;
    for (const QString& path : take.files)
        before.append(FileBytes(path));
    const QString locked = take.files.at(1);
    SetWritabilityProbe([locked](const QString& path) { return path != locked; });

    QSoundFile file;
    QString name, text;
    QVERIFY(file.Rotate(take.files.at(0), &name, 0, 5, true, &text));
    MessageCatcher messages;
    QVERIFY(!file.Rotate(locked, &name, 1, 5, true, &text));
    QCOMPARE(messages.Count(), 1);
    QCOMPARE(FileBytes(locked), before.at(1));
    QVERIFY(file.RotateRollback());
    for (int i = 0; i < take.files.size(); ++i)
        QCOMPARE(FileBytes(take.files.at(i)), before.at(i));
}

void TestSoundFileEdges::rotateRollbackAfterPhaseTwoFailure()
{
    // A member whose final name is taken keeps its temporary name; rolling
    // the family back then restores every member byte for byte.
    TakeSpec spec = MonoTake(QStringLiteral("EDG007"), {0, 1});
    spec.film = true;
    const WrittenTake take = WriteTake(m_Scratch.path() + QStringLiteral("/phase2"), spec);
    QList<QByteArray> before;
    for (const QString& path : take.files)
        before.append(FileBytes(path));
    QSoundFile file;
    QString texts[2];
    const QStringList temporary = RotateEach(file, take.files, 3, texts);
    QCOMPARE(temporary.size(), 2);
    for (QString& text : texts)
        text += QString(5000, QLatin1Char(' ')); // grows the chunk
    const QString blocker = temporary.at(1).chopped(1);
    QVERIFY(WriteBytes(blocker, "another file"));
    QVERIFY(!file.Rotate2(temporary, texts));
    QCOMPARE(FileBytes(blocker), QByteArray("another file"));
    QVERIFY(QFile::remove(blocker));
    // The member that completed is renamed; undo the one that did not.
    QVERIFY(file.RotateRollback());
    QCOMPARE(FileBytes(take.files.at(1)), before.at(1));
}

void TestSoundFileEdges::slateFramesOfADamagedRate()
{
    // A sample rate of 1 Hz turns a late slate into more frames than 32
    // bits hold: the offset saturates instead of wrapping.
    TakeSpec spec = MonoTake(QStringLiteral("EDG008"), {0});
    spec.sampleRate = 1;
    spec.frames = 10;
    spec.slates = {SyncPoint{4000000000u, QStringLiteral("AUTO")}, SyncPoint{2, QString()}};
    const QString path = m_Scratch.path() + QStringLiteral("/rate1.WAV");
    QVERIFY(WriteBytes(path, BuildMonoFile(spec, 0)));
    QSoundFile file;
    QVERIFY(file.Open(path, 0) && file.ReadChunks(true, false) && file.GetiXMLFileInfos());
    unsigned int count = 0;
    unsigned int positions[10] = {};
    unsigned int frames[10] = {};
    file.GetiXMLSyncPoint(&count, positions, frames, nullptr, true, nullptr, nullptr, nullptr, nullptr);
    QCOMPARE(count, 2u);
    QCOMPARE(positions[0], 4000000000u);
    QCOMPARE(frames[0], 0xFFFFFFFFu);
    QCOMPARE(frames[1], 50u);
}

QTEST_GUILESS_MAIN(TestSoundFileEdges)
#include "test_soundfile_edges.moc"
