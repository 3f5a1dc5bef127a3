#include "player/qplaytimeline.h"
#include "tests/player/paintcounter.h"
#include "tests/support/demomedia.h"
#include "tests/support/fixturesamples.h"
#include "tests/support/fixturevariants.h"
#include "tests/support/fixturewriter.h"
#include "tests/support/riffbytes.h"

#include <QFile>
#include <QFileInfo>
#include <QMap>
#include <QPainter>
#include <QRandomGenerator>
#include <QMouseEvent>
#include <QSignalSpy>
#include <QTemporaryDir>
#include <QTest>

using namespace fixture;

namespace {

ChunkBytes Ond(const QByteArray& id, qint32 samplesPerPoint, const QByteArray& levels)
{
    return ChunkBytes{id, U32(quint32(samplesPerPoint)) + levels, false};
}

QByteArray Levels(int count, char value)
{
    return QByteArray(count, value);
}

ChunkBytes Filler(const QByteArray& id, int size)
{
    return ChunkBytes{id, QByteArray(size, 'z')};
}

bool WriteRiff(const QString& path, const QList<ChunkBytes>& chunks)
{
    return WriteBytes(path, AssembleRiff(chunks));
}

const int kRate = 48000;

// The waveform image as the timeline drew it with one painter line per
// track and column, loudest first (the one-to-one drawing with oneToOne).
QImage LineByLineImage(QPlayTimeLine& line, tPlayWavDisplayMode mode, bool oneToOne)
{
    const int w = line.DrawingWidth();
    const int h = line.WaveformAreaHeight();
    QImage image(std::max(w, 1), std::max(h, 1), QImage::Format_ARGB32_Premultiplied);
    image.fill(Qt::transparent);
    QPainter painter(&image);
    const qint64 spp = line.Overview().SamplesPerPoint();
    const qint64 points = line.Overview().CoveredSamples() / spp;
    const double scale = double(w) / double(points);
    const int first = oneToOne ? 3 : 0;
    const int last = oneToOne ? int(std::min<qint64>(points, w)) : w - 1;
    for (int c = first; c <= last; ++c) {
        tyOndePoint column[24];
        line.SortAudioLevel(oneToOne ? unsigned(c * spp) : unsigned(double(c) * double(spp) / scale), column);
        const int x = oneToOne ? c : c + 3;
        for (const tyOndePoint& p : column) {
            if (!p.bShown)
                continue;
            QColor colour;
            colour.setHsv(p.nTrack * 15, 255, 255);
            painter.setPen(colour);
            const int level = p.level;
            if (oneToOne)
                painter.drawLine(x, h, x, h - level * h / 32);
            else if (mode == WavDisplayCenteredLinear || mode == WavDisplayCenteredDb) {
                const int d = level * h / (mode == WavDisplayCenteredDb ? 32 : 255) / 2;
                painter.drawLine(x, h / 2 + d, x, h / 2 - d);
            } else
                painter.drawLine(x, h, x, h - level * h / (mode == WavDisplayHalfDb ? 32 : 255));
        }
    }
    return image;
}

} // namespace

class TestTimeline : public QObject
{
    Q_OBJECT
private slots:
    void monoFamilyEverySeparator();
    void polyFile();
    void chunkIdsAndSizes();
    void shorterBuffersOnSomeTracks();
    void damagedSizeStopsTheWalk();
    void tooManyChunksBeforeTheWaveform();
    void paddedOddChunkIsFound();
    void lastChunkSetsSamplesPerPoint();
    void cursorAndMarkersAgree_data();
    void cursorAndMarkersAgree();
    void hoverText_data();
    void hoverText();
    void pressPositions();
    void timeTexts();
    void timeCodeWrapsAtMidnight();
    void soloLabel();
    void redrawOnlyWhenNeeded();
    void imageAsLineByLine_data();
    void imageAsLineByLine();
};

void TestTimeline::monoFamilyEverySeparator()
{
    QTemporaryDir dir;
    TakeSpec spec = MonoTake(QStringLiteral("ABC123"), {0, 2, 9, 23});
    spec.frames = 48000;
    spec.tracks[1].separator = '-';
    spec.tracks[2].separator = '#';
    spec.tracks[3].separator = '+';
    QVERIFY(!WriteTake(dir.path(), spec).files.isEmpty());

    // Track 3 of a second take exists only in the one-character form.
    TakeSpec oneChar = MonoTake(QStringLiteral("DEF456"), {2, 9});
    oneChar.numberStyle = TrackNumberStyle::OneChar;
    QVERIFY(!WriteTake(dir.path(), oneChar).files.isEmpty());
    // Another maker's file named as track 2 of the first, with a waveform
    // chunk of track 2: no member, as the take's load leaves it out.
    ForeignSpec stranger;
    stranger.channels = 1;
    stranger.bext = true;
    stranger.leading = {{"ond2", U32(4800) + Levels(10, 9)}};
    QVERIFY(WriteForeignFile(dir.path() + "/ABC123_02.WAV", stranger));
    // Another take's track 4 under the first's name: no member either.
    const WrittenTake other = WriteTake(dir.path(), MonoTake(QStringLiteral("GHI789"), {3}));
    QVERIFY(!other.files.isEmpty() && QFile::rename(other.files.at(0), dir.path() + "/ABC123_04.WAV"));

    QPlayTimeLine line;
    QVERIFY(line.LoadOndeFromAudioFile(dir.path() + "/ABC123", false));
    const QWaveformOverview& ov = line.Overview();
    for (int t : {0, 2, 9, 23})
        QVERIFY2(ov.HasTrack(t), qPrintable(QString::number(t)));
    QVERIFY(!ov.HasTrack(1) && !ov.HasTrack(3));
    QCOMPARE(ov.SamplesPerPoint(), 4800);
    const QByteArray expected = OverviewLevels(9, 48000, 24, 4800);
    QCOMPARE(ov.TrackPointCount(9), expected.size());
    QCOMPARE(ov.LevelAt(9, 4800 * 3), int(quint8(expected.at(3))));

    QVERIFY(line.LoadOndeFromAudioFile(dir.path() + "/DEF456", false));
    QVERIFY(line.Overview().HasTrack(2));
    QVERIFY(line.Overview().HasTrack(9));
    QVERIFY(!line.Overview().HasTrack(0));

    QVERIFY(!line.LoadOndeFromAudioFile(dir.path() + "/NOPE00", false));
    QCOMPARE(line.SoloLabel(), QString("No waveform"));
}

void TestTimeline::polyFile()
{
    QTemporaryDir dir;
    TakeSpec spec = PolyTake(QStringLiteral("ABC123"), {0, 1, 2, 3, 4, 5, 6, 7, 8, 9, 10, 11, 12, 13, 14});
    spec.frames = 24000;
    const WrittenTake written = WriteTake(dir.path(), spec);
    QCOMPARE(written.files.size(), 1);
    QString base = written.files.first();
    base.chop(4);
    QPlayTimeLine line;
    QVERIFY(line.LoadOndeFromAudioFile(base, true));
    for (int t = 0; t < 15; ++t)
        QVERIFY(line.Overview().HasTrack(t));
    QVERIFY(!line.Overview().HasTrack(15));
    // Loading the same path again keeps the buffers and only redraws.
    QVERIFY(line.LoadOndeFromAudioFile(base, true));
    QVERIFY(line.Overview().HasTrack(14));
}

void TestTimeline::chunkIdsAndSizes()
{
    QTemporaryDir dir;
    const QString path = dir.path() + "/ids.WAV";
    QVERIFY(WriteRiff(path, {Filler("fmt ", 16), Ond("ondP", 10, Levels(8, 9)), Ond("ond0", 10, Levels(8, 9)),
                             Ond("ond1", 10, QByteArray()), Ond("ondo", 10, Levels(8, 9)),
                             Ond("ondO", 10, Levels(6, 7)), Ond("ond9", 10, Levels(4, 5)),
                             Ond("ondA", 10, Levels(2, 3))}));
    QFile file(path);
    QVERIFY(file.open(QIODevice::ReadOnly));
    QWaveformOverview ov;
    QVERIFY(ov.ReadChunk(&file));
    QVERIFY(!ov.HasTrack(0)); // "ond1" of size 4 has no levels
    QCOMPARE(ov.TrackPointCount(23), 6);
    QCOMPARE(ov.TrackPointCount(8), 4);
    QCOMPARE(ov.TrackPointCount(9), 2);
    for (int t = 0; t < 24; ++t) {
        if (t != 8 && t != 9 && t != 23)
            QVERIFY(!ov.HasTrack(t));
    }
    QCOMPARE(WaveformChunkTrack("ond1"), 1);
    QCOMPARE(WaveformChunkTrack("ondO"), 24);
    QCOMPARE(WaveformChunkTrack("ondP"), 0);
    QCOMPARE(WaveformChunkTrack("ond0"), 0);
    QCOMPARE(WaveformChunkTrack("bext"), 0);
}

void TestTimeline::shorterBuffersOnSomeTracks()
{
    QTemporaryDir dir;
    const QString path = dir.path() + "/short.WAV";
    QVERIFY(WriteRiff(path, {Filler("fmt ", 16), Ond("ond2", 100, Levels(10, 40)),
                             Ond("ond1", 100, Levels(1000, 80))}));
    QPlayTimeLine line;
    line.resize(1004, 120);
    QVERIFY(line.LoadOndeFromAudioFile(dir.path() + "/short", true));
    QCOMPARE(line.Overview().PointCount(), 1000);
    QCOMPARE(line.GetOndeLevel(0, 999 * 100), 80);
    QCOMPARE(line.GetOndeLevel(1, 9 * 100), 40);
    // Beyond its own chunk a track has no level, whatever the longest track holds.
    QCOMPARE(line.GetOndeLevel(1, 10 * 100), 0);
    QCOMPARE(line.GetOndeLevel(1, 999 * 100), 0);
    tyOndePoint points[24];
    line.SortAudioLevel(500 * 100, points);
    QCOMPARE(points[0].nTrack, 0);
    QCOMPARE(int(points[0].level), 80);
    line.SetDurationSample(100000, false);
    line.SetSampleRate(kRate);
    line.grab(); // draws every column across both buffers
}

void TestTimeline::damagedSizeStopsTheWalk()
{
    QTemporaryDir dir;
    const QString path = dir.path() + "/damaged.WAV";
    QByteArray bytes = AssembleRiff({Filler("fmt ", 16), Ond("ond1", 10, Levels(8, 9)), Ond("ond2", 10, Levels(8, 9))});
    // The second waveform chunk claims nearly 4 GiB.
    const int second = bytes.indexOf("ond2");
    PutU32(bytes, second + 4, 0xFFFFFFF0u);
    QVERIFY(WriteBytes(path, bytes));
    QFile file(path);
    QVERIFY(file.open(QIODevice::ReadOnly));
    QWaveformOverview ov;
    QVERIFY(ov.ReadChunk(&file));
    QVERIFY(ov.HasTrack(0));
    QVERIFY(!ov.HasTrack(1));

    // A truncated file: the chunk runs past the end.
    bytes.truncate(bytes.size() - 4);
    PutU32(bytes, second + 4, 12);
    QVERIFY(WriteBytes(path, bytes));
    QFile truncated(path);
    QVERIFY(truncated.open(QIODevice::ReadOnly));
    QWaveformOverview ov2;
    ov2.ReadChunk(&truncated);
    QVERIFY(!ov2.HasTrack(1));
}

void TestTimeline::tooManyChunksBeforeTheWaveform()
{
    QTemporaryDir dir;
    QList<ChunkBytes> chunks;
    for (int i = 0; i < 50; ++i)
        chunks << Filler("junk", 2);
    chunks << Ond("ond1", 10, Levels(4, 1));
    QVERIFY(WriteRiff(dir.path() + "/fifty.WAV", chunks));
    chunks.prepend(Filler("junk", 2));
    QVERIFY(WriteRiff(dir.path() + "/fiftyone.WAV", chunks));
    QPlayTimeLine line;
    QVERIFY(line.LoadOndeFromAudioFile(dir.path() + "/fifty", true));
    QVERIFY(!line.LoadOndeFromAudioFile(dir.path() + "/fiftyone", true));
}

void TestTimeline::paddedOddChunkIsFound()
{
    QTemporaryDir dir;
    // A standard writer pads the odd "LIST" chunk; the recorder writes
    // waveform chunks unpadded with an odd level count.
    QVERIFY(WriteRiff(dir.path() + "/padded.WAV",
                      {Filler("LIST", 5), Ond("ond1", 10, Levels(5, 2)), Ond("ond2", 10, Levels(4, 3))}));
    QPlayTimeLine line;
    QVERIFY(line.LoadOndeFromAudioFile(dir.path() + "/padded", true));
    QCOMPARE(line.Overview().TrackPointCount(0), 5);
    QCOMPARE(line.Overview().TrackPointCount(1), 4);
}

void TestTimeline::lastChunkSetsSamplesPerPoint()
{
    QTemporaryDir dir;
    QVERIFY(WriteRiff(dir.path() + "/spp.WAV",
                      {Ond("ond1", 100, Levels(10, 1)), Ond("ond2", 0, Levels(6, 2))}));
    QPlayTimeLine line;
    QVERIFY(line.LoadOndeFromAudioFile(dir.path() + "/spp", true));
    QCOMPARE(line.Overview().SamplesPerPoint(), 1); // raised from 0
    QCOMPARE(line.Overview().CoveredSamples(), qint64(6));
}

void TestTimeline::cursorAndMarkersAgree_data()
{
    QTest::addColumn<int>("duration");
    QTest::newRow("10 minutes") << 10 * 60 * kRate;
    QTest::newRow("2 hours") << 2 * 3600 * kRate;
}

void TestTimeline::cursorAndMarkersAgree()
{
    QFETCH(int, duration);
    QPlayTimeLine line;
    QVERIFY(ShowSized(&line, 1004, 120));
    QCOMPARE(line.DrawingWidth(), 1000);
    line.SetSampleRate(kRate);
    line.SetDurationSample(duration);
    for (int pos : {0, kRate * 45 + 1, duration / 2, duration - 1}) {
        line.SetCurrPosInSample(pos);
        const qint64 expected = qint64(1000) * pos / duration;
        QCOMPARE(line.CursorX(), expected);
        QCOMPARE(line.SampleX(pos), expected + 2);
    }
}

void TestTimeline::hoverText_data()
{
    QTest::addColumn<int>("duration");
    QTest::addColumn<int>("x");
    QTest::addColumn<QString>("tip");
    // x 2 + 750: three quarters of the take.
    QTest::newRow("10 minutes") << 10 * 60 * kRate << 752 << "Go to 07m30s.000";
    QTest::newRow("2 hours") << 2 * 3600 * kRate << 752 << "Go to 01h30m00s.000";
    QTest::newRow("30 seconds") << 30 * kRate << 502 << "Go to 15s.000";
}

void TestTimeline::hoverText()
{
    QFETCH(int, duration);
    QFETCH(int, x);
    QPlayTimeLine line;
    QVERIFY(ShowSized(&line, 1004, 120));
    line.SetSampleRate(kRate);
    line.SetDurationSample(duration);
    const QPoint at(x, line.WaveformAreaTop() + 5);
    QMouseEvent move(QEvent::MouseMove, at, line.mapToGlobal(at), Qt::NoButton, Qt::NoButton, Qt::NoModifier);
    QCoreApplication::sendEvent(&line, &move);
    QCOMPARE(line.HoverPosition(), qint64(x - 2) * duration / 1000);
    QTEST(line.toolTip(), "tip");
    // 2^33 samples: the milliseconds pass 32 bits (49 h 42 min, shown mod 24 h).
    QCOMPARE(HoverTimeText(qint64(1) << 33, kRate, qint64(30) * 3600 * kRate), QString("01h42m36s.970"));
}

void TestTimeline::pressPositions()
{
    QPlayTimeLine line;
    QVERIFY(ShowSized(&line, 1004, 120));
    QSignalSpy seek(&line, &QPlayTimeLine::signal_UserPlayPosRequest);
    QSignalSpy release(&line, &QPlayTimeLine::signal_UserPlayPosRelease);
    // No take: nothing to seek to.
    QTest::mouseClick(&line, Qt::LeftButton, {}, QPoint(100, 50));
    QCOMPARE(seek.count(), 0);
    QCOMPARE(release.count(), 0);

    const int duration = 2 * 3600 * kRate;
    line.SetSampleRate(kRate);
    line.SetDurationSample(duration);
    line.SetCurrPosInSample(duration / 2);
    for (int x : {0, 1, 2}) {
        QTest::mousePress(&line, Qt::LeftButton, {}, QPoint(x, 50));
        QCOMPARE(seek.takeLast().at(0).toInt(), 0);
        QTest::mouseRelease(&line, Qt::LeftButton, {}, QPoint(x, 50));
    }
    QTest::mousePress(&line, Qt::RightButton, {}, QPoint(1003, 50));
    QCOMPARE(seek.takeLast().at(0).toInt(), duration - 1);
    QTest::mousePress(&line, Qt::LeftButton, {}, QPoint(252, 50));
    QCOMPARE(seek.takeLast().at(0).toInt(), int(qint64(250) * duration / 1000));
    QTest::mouseRelease(&line, Qt::LeftButton, {}, QPoint(252, 50));
    QVERIFY(release.count() > 0);
}

void TestTimeline::timeTexts()
{
    QPlayTimeLine line;
    QVERIFY(ShowSized(&line, 1004, 120));
    line.SetSampleRate(kRate);
    line.SetDurationSample(10 * 60 * kRate);
    const int pos = (3 * 60 + 7) * kRate + kRate / 2; // 03:07 and a half
    line.SetCurrPosInSample(pos);
    struct Case { int fps; const char* text; } cases[] = {
        {24, "00:03:07.12"}, {25, "00:03:07.12"}, {30, "00:03:07.15"}, {60, "00:03:07.30"}};
    for (const Case& c : cases) {
        line.SetFrameRate(c.fps);
        QCOMPARE(line.PositionText(), QString(c.text));
    }
    QCOMPARE(line.ElapsedTimeText(), QString("03m07s"));
    line.SetFrameRate(0);
    QCOMPARE(line.PositionText(), QString("--:--:--:--.--"));
    QCOMPARE(line.ElapsedTimeText(), QString("--h--m--s"));

    line.SetTcOut(10, 12, 0, 0);
    QCOMPARE(line.TcOutText(), QString("10:12:00:00 (10m00s)"));
    QCOMPARE(TimeCodeOutText(1, 2, 3, 4, TakeLengthOf(qint64(7300) * kRate, kRate)),
             QString("01:02:03:04 (02h01m40s)"));
    QCOMPARE(TimeCodeOutText(1, 2, 3, 4, TakeLengthOf(12 * kRate, kRate)), QString("01:02:03:04 (12s)"));
    QCOMPARE(TimeCodeOutText(1, 2, 3, 4, TakeLengthOf(100, kRate)), QString("01:02:03:04"));
    QCOMPARE(ElapsedText(qint64(2) * 3600 * kRate, kRate, TakeLengthOf(qint64(3) * 3600 * kRate, kRate)),
             QString("02h00m00s"));
    // The cursor's label: beside the cursor, before the end time code, inside the timeline.
    QCOMPARE(CursorLabelLeft(100, 200, 900), 95);
    QCOMPARE(CursorLabelLeft(800, 200, 900), 696);
    QCOMPARE(CursorLabelLeft(3, 950, 900), 0);
}

void TestTimeline::timeCodeWrapsAtMidnight()
{
    QPlayTimeLine line;
    line.SetSampleRate(kRate);
    line.SetDurationSample(60 * kRate);
    line.SetFrameRate(25);
    line.SetTcIn(23, 59, 59, 24);
    QCOMPARE(line.TcInText(), QString("23:59:59:24"));
    line.SetCurrPosInSample(0);
    QCOMPARE(line.PositionText(), QString("23:59:59.24"));
    line.SetCurrPosInSample(kRate);
    QCOMPARE(line.PositionText(), QString("00:00:00.24"));
}

void TestTimeline::soloLabel()
{
    QTemporaryDir dir;
    QVERIFY(WriteRiff(dir.path() + "/solo.WAV", {Ond("ond1", 10, Levels(4, 1)), Ond("ond3", 10, Levels(4, 1))}));
    QPlayTimeLine line;
    QVERIFY(line.LoadOndeFromAudioFile(dir.path() + "/solo", true));
    line.SetTrackName(0, "Boom");
    line.SetTrackName(1, "Lav");
    line.SetTrackName(2, "Plant");
    QCOMPARE(line.SoloLabel(), QString());
    line.do_SoloOnde(0x7);
    line.do_MuteOnde(0x4);
    QCOMPARE(line.SoloLabel(), QString("Solo: Boom-Lav(e)"));
    QVERIFY(!line.IsOndeAvailable(2));
    QVERIFY(line.IsOndeAvailable(0));
}

void TestTimeline::redrawOnlyWhenNeeded()
{
    QPlayTimeLine line;
    QVERIFY(ShowSized(&line, 1004, 120));
    line.SetSampleRate(kRate);
    line.SetDurationSample(10 * 60 * kRate);
    FlushPaints();
    PaintCounter counter(&line);
    line.SetCurrPosInSample(100);
    FlushPaints();
    const int afterMove = counter.count;
    line.SetCurrPosInSample(100);
    line.SetPlayingState(false, 0);
    line.setMarkerList({});
    FlushPaints();
    QCOMPARE(counter.count, afterMove);
}

void TestTimeline::imageAsLineByLine_data()
{
    QTest::addColumn<QStringList>("files");
    QTest::addColumn<int>("duration");
    QTest::addColumn<int>("width");
    static QTemporaryDir dir;
    // The demo card's takes, one row per take (its files grouped by name).
    QMap<QString, QStringList> takes;
    for (const QString& file : fixture::WriteDemoVolume(dir.path())) {
        const QFileInfo info(file);
        if (info.suffix() == QLatin1String("WAV"))
            takes[info.path() + '/' + info.fileName().left(6)] << file;
    }
    for (auto it = takes.cbegin(); it != takes.cend(); ++it)
        QTest::newRow(qPrintable(it.key().mid(dir.path().size()))) << it.value() << 20 * kRate << 1004;

    // Ten minutes of 24 tracks on a 1920 px timeline, every track its own walk.
    const int spp = kRate / 10;
    const int points = 10 * 60 * kRate / spp;
    QList<ChunkBytes> chunks;
    QRandomGenerator rng(11);
    for (int t = 1; t <= 24; ++t) {
        QByteArray levels(points - t, '\0');
        int level = 10 * t;
        for (char& byte : levels)
            byte = char(level = qBound(0, level + int(rng.bounded(41)) - 20, 255));
        const char id[5] = {'o', 'n', 'd', char(t <= 9 ? '0' + t : 'A' + t - 10), 0};
        chunks << Ond(QByteArray(id), spp, levels);
    }
    const QString tenMinutes = dir.path() + "/TEN.WAV";
    QVERIFY(WriteRiff(tenMinutes, chunks));
    QTest::newRow("10 minutes, 24 tracks") << QStringList{tenMinutes} << 10 * 60 * kRate << 1924;
}

void TestTimeline::imageAsLineByLine()
{
    QFETCH(QStringList, files);
    QFETCH(int, duration);
    QFETCH(int, width);
    QPlayTimeLine line;
    QVERIFY(ShowSized(&line, width, 140));
    line.SetSampleRate(kRate);
    line.SetDurationSample(duration);
    if (!line.LoadOndeFromFiles(files))
        return; // a take without a waveform draws nothing
    for (int t = 0; t < 24; ++t)
        line.SetWaveFormColor(t, QColor::fromHsv(t * 15, 255, 255));
    const struct
    {
        int solo, mute;
    } masks[] = {{0, 0}, {0x00F0F3, 0x000012}};
    for (const auto& m : masks) {
        line.do_SoloOnde(m.solo);
        line.do_MuteOnde(m.mute);
        for (int mode = 0; mode < 5; ++mode) {
            const bool oneToOne = mode == 4;
            if (oneToOne)
                line.ToggleDrawOndeOneOne();
            else
                line.SetWaveFormDisplayMode(tPlayWavDisplayMode(mode));
            line.grab();
            const QImage expected = LineByLineImage(line, tPlayWavDisplayMode(mode % 4), oneToOne);
            QVERIFY2(line.WaveformImage() == expected, qPrintable(QString("mode %1, solo %2").arg(mode).arg(m.solo)));
            if (oneToOne)
                line.ToggleDrawOndeOneOne();
        }
    }
}

QTEST_MAIN(TestTimeline)
#include "test_timeline.moc"
