// The pull source's mixing, driven directly (no thread, no sink): constant
// tracks give predictable output samples and levels.
#include "foundation/messageloging.h"
#include "foundation/qpath.h"
#include "player/generatoraudiobuffer.h"
#include "player/meterlevels.h"
#include "player/pcmconverter.h"
#include "take/soundperform.h"
#include "tests/player/playertestmedia.h"
#include "tests/support/fixturesamples.h"
#include "tests/support/riffreader.h"
#include "tests/take/sparsetake.h"

#include <QFile>
#include <QSignalSpy>
#include <QTemporaryDir>
#include <QtTest>

using namespace fixture;

namespace {

// The nominal factors of the level steps 0..8 (+12 .. -12 dB).
const double kFactor[9] = {4.0, 2.75, 2.0, 1.375, 1.0, 0.71875, 0.5, 0.34375, 0.25};

struct MixCase {
    int bits = 24;
    bool poly = false;
    QList<int> values;                       // tracks 0..3
    QList<int> steps = {4, 4, 4, 4};
    QList<int> pans = {1, 1, 1, 1};
    QList<bool> mute = {false, false, false, false};
    bool msPair = false;                     // tracks 0/1 as a mid/side pair
    bool msDecode = false;
};

QByteArray ReadAll(GeneratorAudioBuffer& source, int chunk = 4000)
{
    QByteArray all;
    for (int guard = 0; guard < 100000; ++guard) {
        const QByteArray part = source.read(chunk);
        if (part.isEmpty())
            break;
        all += part;
    }
    return all;
}

} // namespace

Q_DECLARE_METATYPE(MixCase)

class TestPlayerMix : public QObject
{
    Q_OBJECT
private slots:
    void initTestCase();
    void cleanupTestCase();
    void mixesConstantTracks_data();
    void mixesConstantTracks();
    void lastShortBlockKeepsChannels();
    void seekTakesEffectAfterQueuedBlocks();
    void polyStartPastTwoGigabytes();
    void shorterTrackFallsSilent();
    void refusesUnplayableFormats();
    void truncatedFileStopsAtLastGoodBlock();
    void converterKeepsSpeed();
    void meterValues();

private:
    QString Folder(const QString& name) const { return m_Dir.path() + QLatin1Char('/') + name + QLatin1Char('/'); }

    QTemporaryDir m_Dir;
    QSignalSpy* m_pMessages = nullptr;
};

void TestPlayerMix::initTestCase()
{
    QVERIFY(m_Dir.isValid());
    global_pLogger = new MessageLoging(this);
    m_pMessages = new QSignalSpy(global_pLogger, &MessageLoging::signal_message);
}

void TestPlayerMix::cleanupTestCase()
{
    delete m_pMessages;
    global_pLogger = nullptr;
}

void TestPlayerMix::mixesConstantTracks_data()
{
    QTest::addColumn<MixCase>("mix");
    auto row = [](const char* name, MixCase c) { QTest::newRow(name) << c; };
    MixCase base;
    base.values = {65536, 32768, 16384, 8192};
    row("unity", base);
    MixCase c = base;
    c.steps = {0, 2, 6, 8};
    row("even gain steps", c);
    c.steps = {1, 3, 5, 7};
    row("odd gain steps", c);
    c.steps = {4, 12, -1, 4};   // out of range plays at 0 dB
    row("steps out of range", c);
    c = base;
    c.pans = {0, 2, 1, 7};
    row("routing codes", c);
    c = base;
    c.mute = {false, true, false, true};
    row("mute", c);
    c.mute = {true, true, false, true};
    row("solo through mute flags", c);
    c.mute = {true, true, true, true};
    row("all muted", c);
    c = base;
    c.values = {8000000, 8000000, 0, 0};
    row("clipped high", c);
    c.values = {-8000000, -8000000, 0, 0};
    row("clipped low", c);
    c = base;
    c.bits = 16;
    c.values = {1000, -3000, 500, 0};
    c.steps = {2, 4, 8, 4};
    row("16 bit", c);
    c = base;
    c.values = {-1, 0, 0, 0};
    row("24 to 16: -1 stays -1", c);
    c.values = {255, 0, 0, 0};
    row("24 to 16: low byte dropped", c);
    c = base;
    c.values = {65536, 16384, 8192, 0};
    c.pans = {0, 0, 2, 1};
    c.msPair = true;
    c.msDecode = true;
    row("M/S decoded", c);
    c.mute = {false, true, false, false};
    row("M/S with muted side", c);
    c.mute = {false, false, false, false};
    c.msDecode = false;
    row("M/S pair not decoded", c);
    c.msDecode = true;
    c.poly = true;
    row("M/S never decoded in a poly take", c);
}

void TestPlayerMix::mixesConstantTracks()
{
    QFETCH(MixCase, mix);
    static int rowNumber = 0;
    const QString name = QStringLiteral("M%1").arg(++rowNumber, 5, 10, QLatin1Char('0'));
    TakeSpec spec = mix.poly ? PolyTake(name, {0, 1, 2, 3}) : MonoTake(name, {0, 1, 2, 3});
    spec.bits = quint16(mix.bits);
    spec.frames = 4000;
    QSoundPerform take;
    QVERIFY(LoadTestTake(&take, WriteConstantTake(Folder(name), spec, mix.values)));
    {
        std::lock_guard<std::mutex> lock(take.MixerLock());
        for (int k = 0; k < 4; ++k) {
            take.m_pnTrackVolume[k] = short(mix.steps[k]);
            take.m_pnTrackPan[k] = short(mix.pans[k]);
            take.m_pbTrackMute[k] = mix.mute[k];
        }
        take.m_pbMSPair[0] = mix.msPair;
        take.m_pbSwapMS[0] = mix.msDecode;
    }

    // What the mix should be, from the nominal gains.
    qint64 gained[4];
    qint64 left = 0;
    qint64 right = 0;
    int active = 0;
    for (int k = 0; k < 4; ++k) {
        const int step = mix.steps[k] >= 0 && mix.steps[k] <= 8 ? mix.steps[k] : 4;
        gained[k] = qint64(mix.values[k] * kFactor[step]);
        if (!mix.mute[k])
            ++active;
    }
    auto heard = [&](int k) { return mix.mute[k] ? qint64(0) : gained[k]; };
    for (int k = 0; k < 4; ++k) {
        if (!mix.poly && mix.msPair && mix.msDecode && k < 2) {
            if (k == 0)
                left += heard(0) + heard(1);
            else
                right += heard(0) - heard(1);
            continue;
        }
        if (mix.pans[k] == 0 || mix.pans[k] == 1)
            left += heard(k);
        if (mix.pans[k] == 2 || mix.pans[k] == 1)
            right += heard(k);
    }
    const qint64 top = mix.bits == 16 ? 32767 : 8388607;
    auto out16 = [&](qint64 bus) { return int(qBound(-top - 1, bus, top) >> (mix.bits == 24 ? 8 : 0)); };

    GeneratorAudioBuffer source;
    QVERIFY(source.BindTake(&take));
    QVERIFY(source.open(QIODevice::ReadOnly | QIODevice::Unbuffered));
    const QList<int> samples = StereoSamples(source.read(400));
    QCOMPARE(samples.size(), 200);
    for (int f = 0; f < 100; ++f) {
        QCOMPARE(samples[2 * f], out16(left));
        QCOMPARE(samples[2 * f + 1], out16(right));
    }
    const int b = mix.bits / 8;
    for (int k = 0; k < 4; ++k) {
        QCOMPARE(take.m_pnVuTrackPre[k].load(), QSoundPerform::LevelOf(qAbs(mix.values[k]), b));
        // A muted track's meter still moves after the fader.
        QCOMPARE(take.m_pnVuTrackPost[k].load(), QSoundPerform::LevelOf(int(qAbs(gained[k])), b));
    }
    QCOMPARE(int(take.m_nVuMasterLeft.load()),
             active ? QSoundPerform::LevelOf(int(qAbs(left) / active), b) : 0);
    QCOMPARE(int(take.m_nVuMasterRight.load()),
             active ? QSoundPerform::LevelOf(int(qAbs(right) / active), b) : 0);
}

void TestPlayerMix::lastShortBlockKeepsChannels()
{
    // Three 24-bit channels, two whole blocks of 1680 frames and 100 more.
    TakeSpec spec = PolyTake(QStringLiteral("SHORT1"), {0, 1, 2});
    spec.frames = 2 * 1680 + 100;
    QSoundPerform take;
    QVERIFY(LoadTestTake(&take, WriteConstantTake(Folder(QStringLiteral("short")), spec, {0x1100, 0x2200, 0x3300})));
    take.m_pnTrackPan[0] = 0;
    take.m_pnTrackPan[1] = 2;
    take.m_pnTrackPan[2] = 5;   // nowhere: a shifted channel would show
    GeneratorAudioBuffer source;
    QSignalSpy ends(&source, &GeneratorAudioBuffer::signal_GeneratorAudioBufferEnd);
    QVERIFY(source.BindTake(&take));
    QCOMPARE(source.QueuedBlocks(), 3);
    source.open(QIODevice::ReadOnly | QIODevice::Unbuffered);
    const QList<int> samples = StereoSamples(ReadAll(source));
    // Whole blocks only: the last one is padded with silence.
    QCOMPARE(samples.size(), 2 * 3 * 1680);
    for (int f = 0; f < 3 * 1680; ++f) {
        const bool audio = f < int(spec.frames);
        QCOMPARE(samples[2 * f], audio ? 0x11 : 0);
        QCOMPARE(samples[2 * f + 1], audio ? 0x22 : 0);
    }
    QCOMPARE(source.FrameHeard(0), quint64(spec.frames));
    // The end is told once, after the last byte, however often the output asks again.
    QCOMPARE(ends.count(), 1);
    QVERIFY(source.read(4000).isEmpty());
    QCOMPARE(ends.count(), 1);
}

void TestPlayerMix::seekTakesEffectAfterQueuedBlocks()
{
    TakeSpec spec = MonoTake(QStringLiteral("SEEK01"), {0});
    spec.bits = 16;
    spec.frames = 3 * 48000;
    QSoundPerform take;
    QVERIFY(LoadTestTake(&take, AudioPathFileShortenedToRacine(WriteTake(Folder(QStringLiteral("seek")), spec).files.value(0))));
    take.m_pnTrackPan[0] = 0;
    GeneratorAudioBuffer source;
    QVERIFY(source.BindTake(&take));
    source.open(QIODevice::ReadOnly | QIODevice::Unbuffered);
    const int blockBytes = 2520 * 4;
    source.read(blockBytes);
    take.m_nStartSecond = 2;
    // The ten blocks queued before the seek play first, from frame 2520 on.
    const QList<int> queued = StereoSamples(source.read(qint64(GeneratorAudioBuffer::kQueueTarget) * blockBytes));
    for (int f = 0; f < queued.size() / 2; f += 97)
        QCOMPARE(queued[2 * f], int(SampleValue(0, 2520 + f, 16)));
    const QList<int> after = StereoSamples(source.read(blockBytes));
    QCOMPARE(after.size(), 2 * 2520);
    for (int f = 0; f < 2520; f += 13)
        QCOMPARE(after[2 * f], int(SampleValue(0, 2 * 48000 + f, 16)));
    // While the output still holds two blocks, one queued before the seek is heard.
    QCOMPARE(source.FrameHeard(2 * blockBytes), quint64(10 * 2520));
    QCOMPARE(source.FrameHeard(0), quint64(2 * 48000 + 2520));
    // Bound again where an interrupted run stopped, more queued blocks into
    // its second than the queue holds: the data goes on at that very frame.
    take.m_nStartSecond = 0;
    QVERIFY(source.BindTakeAt(&take, 48000 + 30001));
    QCOMPARE(source.FrameHeard(0), quint64(78001));
    const QList<int> resumed = StereoSamples(source.read(blockBytes));
    for (int f = 0; f < 2520; f += 13)
        QCOMPARE(resumed[2 * f], int(SampleValue(0, 78001 + f, 16)));
    QCOMPARE(source.FrameHeard(0), quint64(78001 + 2520));
}

void TestPlayerMix::polyStartPastTwoGigabytes()
{
    // 24 channels x 3 bytes x 48 kHz: second 700 starts 2 419 200 000 bytes
    // in, past what 32-bit signed offsets hold. The file is sparse; the
    // frames at that second are written for real.
    QList<int> slotList;
    for (int t = 0; t < 24; ++t)
        slotList.append(t);
    TakeSpec spec = PolyTake(QStringLiteral("HUGE01"), slotList);
    spec.frames = 480;
    const QString path = Folder(QStringLiteral("huge")) + PolyFileName(spec);
    const quint32 dataSize = 720u * 3456000u;
    const QByteArray head = BuildPolyFile(spec);
    QVERIFY(WriteSparseCopy(path, head, dataSize));
    const qint64 dataOffset = ParseRiff(head).dataOffset;
    QList<int> values;
    for (int t = 0; t < 24; ++t)
        values.append((t + 1) * 0x100);
    {
        QFile file(path);
        QVERIFY(file.open(QIODevice::ReadWrite));
        QVERIFY(file.seek(dataOffset + qint64(700) * 3456000));
        QByteArray frames;
        for (int f = 0; f < 1680; ++f)
            for (int t = 0; t < 24; ++t)
                frames.append(char(0)).append(char(values[t] >> 8)).append(char(0));
        QVERIFY(file.write(frames) == frames.size());
    }
    QSoundPerform take;
    QVERIFY(LoadTestTake(&take, path.chopped(4)));
    for (int t = 0; t < 24; ++t)
        take.m_pnTrackPan[t] = short(t == 5 ? 0 : 3);   // only channel 5, on the left
    take.m_nStartSecond = 700;
    GeneratorAudioBuffer source;
    QVERIFY(source.BindTake(&take));
    source.open(QIODevice::ReadOnly | QIODevice::Unbuffered);
    const QList<int> samples = StereoSamples(source.read(1680 * 4));
    QCOMPARE(samples.value(0), values[5] >> 8);
    QCOMPARE(samples.value(2 * 1679), values[5] >> 8);
    QCOMPARE(samples.value(1), 0);
    QCOMPARE(source.FrameHeard(0), quint64(700u * 48000u + 1680u));
}

void TestPlayerMix::shorterTrackFallsSilent()
{
    TakeSpec spec = MonoTake(QStringLiteral("SHORT2"), {0, 1});
    spec.frames = 2 * 48000;
    QSoundPerform take;
    QVERIFY(LoadTestTake(&take, WriteConstantTake(Folder(QStringLiteral("shorter")), spec, {0x1000, 0x200000})));
    // Track 2 ends after one second, before the start point.
    take.m_SndFile[1].m_DataChunk.nSize = 48000 * 3;
    take.m_nStartSecond = 1;
    GeneratorAudioBuffer source;
    QVERIFY(source.BindTake(&take));
    source.open(QIODevice::ReadOnly | QIODevice::Unbuffered);
    const QList<int> samples = StereoSamples(ReadAll(source));
    QCOMPARE(samples.size(), 2 * 29 * 1680);   // 48000 frames in whole blocks
    QCOMPARE(samples.first(), 0x10);
    QCOMPARE(samples[2 * 47999], 0x10);
    QCOMPARE(take.m_pnVuTrackPre[1].load(), 0);
}

void TestPlayerMix::refusesUnplayableFormats()
{
    TakeSpec spec = PolyTake(QStringLiteral("FORM01"), {0, 1});
    spec.frames = 2000;
    const QString path = WriteConstantTake(Folder(QStringLiteral("formats")), spec, {0x4000, 0x8000});
    struct Row {
        short channels;
        short bits;
        bool plays;
    };
    for (const Row& row : {Row{0, 24, false}, Row{2, 20, false}, Row{2, 8, false}, Row{2, 32, false},
                           Row{30, 24, true}}) {
        QSoundPerform take;
        QVERIFY(LoadTestTake(&take, path));
        take.m_nChannels = row.channels;
        take.m_nBitsPerSample = row.bits;
        m_pMessages->clear();
        GeneratorAudioBuffer source;
        QCOMPARE(source.BindTake(&take), row.plays);
        QCOMPARE(m_pMessages->count(), 1);
        source.open(QIODevice::ReadOnly | QIODevice::Unbuffered);
        // 30 channels: every frame read as 90 bytes, 24 of them mixed, nothing overrun.
        ReadAll(source);
        QVERIFY(!take.FilesOpen() || row.plays);
    }
}

void TestPlayerMix::truncatedFileStopsAtLastGoodBlock()
{
    TakeSpec spec = MonoTake(QStringLiteral("CUT001"), {0, 1});
    spec.frames = 2 * 48000;
    QSoundPerform take;
    QVERIFY(LoadTestTake(&take, WriteConstantTake(Folder(QStringLiteral("cut")), spec, {0x1000, 0x1000})));
    // The card goes after the take was loaded: track 2 keeps half a second of its samples.
    const QString second = take.m_SndFile[1].GetPath();
    QVERIFY(QFile::resize(second, ReadRiffFile(second).dataOffset + 24000 * 3 + 10));
    m_pMessages->clear();
    GeneratorAudioBuffer source;
    QSignalSpy ends(&source, &GeneratorAudioBuffer::signal_GeneratorAudioBufferEnd);
    QVERIFY(source.BindTake(&take));
    source.open(QIODevice::ReadOnly | QIODevice::Unbuffered);
    const QList<int> samples = StereoSamples(ReadAll(source));
    // Whole blocks up to the last one both files could fill.
    QCOMPARE(samples.size(), 2 * (24000 / 1680) * 1680);
    QCOMPARE(samples.last(), 0x20);
    QCOMPARE(m_pMessages->count(), 1);
    QVERIFY(m_pMessages->at(0).at(1).toString().contains(QStringLiteral("CUT001")));
    QCOMPARE(ends.count(), 1);
}

void TestPlayerMix::converterKeepsSpeed()
{
    // A 32 kHz ramp on a 48 kHz float device: 1.5 output frames per input
    // frame, values on the ramp between their neighbours.
    QAudioFormat device;
    device.setSampleRate(48000);
    device.setChannelCount(2);
    device.setSampleSize(32);
    device.setSampleType(QAudioFormat::Float);
    device.setByteOrder(QAudioFormat::LittleEndian);
    device.setCodec(QStringLiteral("audio/pcm"));
    QVERIFY(PcmConverter::CanWrite(device));
    PcmConverter converter(32000, device);
    QVector<qint16> ramp;
    for (int f = 0; f < 3200; ++f)
        ramp << qint16(f) << qint16(-f);
    QByteArray out;
    converter.Convert(ramp.constData(), 1600, &out);
    converter.Convert(ramp.constData() + 3200, 1600, &out);
    const float* v = reinterpret_cast<const float*>(out.constData());
    const int frames = out.size() / 8;
    QVERIFY(qAbs(frames - 4800) <= 1);
    for (int i = 3; i < frames; i += 7) {
        // Output frame i sits at input position i x 2/3, one frame behind the
        // leading silence frame.
        const double expected = (i * 2.0 / 3.0 - 1.0) / 32768.0;
        QVERIFY2(qAbs(v[2 * i] - expected) < 1e-6, qPrintable(QString::number(i)));
        QVERIFY(qAbs(v[2 * i + 1] + expected) < 1e-6);
    }
}

void TestPlayerMix::meterValues()
{
    QSoundPerform take;
    take.m_bPolyTake = true;
    take.m_nChannels = 4;
    // Positions 0..5 carry recorder tracks 3, none, 40, 7, 8, 9.
    const int original[6] = {3, -1, 40, 7, 8, 9};
    for (int i = 0; i < 6; ++i) {
        take.m_pnOriginalTrackIndex[i] = original[i];
        take.m_pnVuTrackPre[i] = 100 + i;
        take.m_pnVuTrackPost[i] = 200 + i;
    }
    take.m_czTrackActive[3] = QStringLiteral(" yes ");
    take.m_czTrackActive[7] = QStringLiteral("DISARMED");
    take.m_czTrackActive[8].clear();   // empty: armed below the channel count only
    take.m_czTrackActive[9].clear();
    const int pre[6] = {100, -1, -1, -1, -1, -1};
    const int post[6] = {200, -1, -1, -1, -1, -1};
    for (int i = 0; i < 6; ++i) {
        QCOMPARE(TrackMeterValue(take, i, false, 1), pre[i]);
        QCOMPARE(TrackMeterValue(take, i, true, 2), post[i]);
        QCOMPARE(TrackMeterValue(take, i, true, 0), pre[i] < 0 ? -1 : 0);
    }
    take.m_nChannels = 6;
    QCOMPARE(TrackMeterValue(take, 4, false, 1), 104);
    QCOMPARE(TrackMeterCount(take), 24);
    // A mono family: the file decides.
    take.m_bPolyTake = false;
    take.m_pbPresent[1] = true;
    QCOMPARE(TrackMeterValue(take, 1, true, 1), 201);
    QCOMPARE(TrackMeterValue(take, 2, true, 1), -1);
    QCOMPARE(TrackMeterValue(take, 24, true, 1), -1);
}

QTEST_GUILESS_MAIN(TestPlayerMix)
#include "test_player_mix.moc"
