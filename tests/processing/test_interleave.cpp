// The polyphonic interleaves against hand-stated layouts: every channel's
// bytes compared with the track-tagged patterns of the fixture writer,
// headers read by the independent RIFF reader, ffprobe and a fresh take;
// the rotation map's rule checked over random takes; refusals and failures
// leave no file and no temporary.
#include "foundation/messageloging.h"
#include "foundation/platform/diskprobes.h"
#include "foundation/qpath.h"
#include "processing/interleaveplan.h"
#include "processing/qsoundmixer.h"
#include "processing/rotationmap.h"
#include "take/soundperform.h"
#include "tests/take/sparsetake.h"
#include "tests/support/fixturesamples.h"
#include "tests/support/fixturewriter.h"
#include "tests/support/fullvolume.h"
#include "tests/support/riffreader.h"

#include <QDir>
#include <QProcess>
#include <QRandomGenerator>
#include <QSignalSpy>
#include <QStandardPaths>
#include <QTemporaryDir>
#include <QtTest>
#include <numeric>

using namespace fixture;
using IntList = QList<int>;

namespace {
// How one interleave is asked for.
struct Job {
    IntList present;           // present
    IntList excluded;
    bool light = false;
    int minimum = 0;
    bool sixToEight = false;
    IntList map;               // rotated when not empty: 24 entries
    int bits = 16;
    qint64 frames = 50000;     // 100 000 bytes of 16-bit audio
    IntList noSlots;           // present tracks whose maker entry says "NO"
    bool to16 = false;         // 24-bit take written as 16 bits
    bool durable = false;      // synced, written back while it is written
};

// The expected data: per channel the slot it carries, -1 silent.
QByteArray Expected(const IntList& channels, qint64 frames, int bits, bool to16 = false)
{
    const int width = to16 ? 2 : bits / 8;
    const int shift = to16 && bits == 24 ? 8 : 0;
    QByteArray bytes(int(frames * channels.size() * width), '\0');
    for (qint64 f = 0; f < frames; ++f) {
        for (int c = 0; c < channels.size(); ++c) {
            if (channels.at(c) < 0)
                continue;
            const qint32 v = SampleValue(channels.at(c), f, bits) >> shift;
            for (int b = 0; b < width; ++b)
                bytes[int((f * channels.size() + c) * width + b)] = char((v >> (8 * b)) & 0xFF);
        }
    }
    return bytes;
}

QStringList Entries(const QString& folder)
{
    return QDir(folder).entryList(QDir::AllEntries | QDir::Hidden | QDir::NoDotAndDotDot, QDir::Name);
}

QStringList Texts(const IntList& values, int add = 0)
{
    QStringList texts;
    for (int v : values)
        texts << QString::number(v + add);
    return texts;
}
}
Q_DECLARE_METATYPE(Job)

class TestInterleave : public QObject
{
    Q_OBJECT
private slots:
    void initTestCase();
    void init();
    void cleanup();
    void rotationMaps_data();
    void rotationMaps();
    void layouts_data();
    void layouts();
    void outputReadsBack();
    void rotationProperty();
    void channelWalk_data();
    void channelWalk();
    void shortSource();
    void refusals_data();
    void refusals();
    void fullVolume_data();
    void fullVolume();

private:
    void WriteJobTake(const Job& job);
    bool Run(const Job& job, const CancelFlag* cancel = nullptr, const QString& out = QString());
    QString OutputPath(const Job& job) const { return m_czOut + "/ABC123" + (job.map.isEmpty() ? "PN" : "PR") + ".WAV"; }

    QTemporaryDir m_Dir;
    QString m_czDay, m_czOut;
    TakeSpec m_Spec;
    QStringList m_lczFiles;
    QList<qint64> m_lnProgress;
    std::function<void(qint64)> m_OnProgress;
    char m_pcSeparators[24];
};

void TestInterleave::initTestCase()
{
    global_pLogger = new MessageLoging(this);
    std::fill(std::begin(m_pcSeparators), std::end(m_pcSeparators), '_');
}

void TestInterleave::init()
{
    static int run = 0;
    m_czDay = m_Dir.path() + "/day" + QString::number(++run);
    m_czOut = m_czDay + "_out";
    QDir().mkpath(m_czDay);
    QDir().mkpath(m_czOut);
    m_lnProgress.clear();
    m_OnProgress = nullptr;
}

void TestInterleave::cleanup() { SetFreeSpaceFunction({}); }

void TestInterleave::WriteJobTake(const Job& job)
{
    m_Spec = MonoTake("ABC123", job.present);
    m_Spec.bits = quint16(job.bits);
    m_Spec.frames = quint32(job.frames);
    m_Spec.note = "a note";
    m_Spec.circled = true;
    m_Spec.slates = {{4800, "slate one"}};
    for (TrackSpec& track : m_Spec.tracks) {
        track.function = track.slot == 1 ? "L-MIX" : QString();
        if (job.noSlots.contains(track.slot))
            track.active = "NO";
    }
    m_lczFiles = fixture::WriteTake(m_czDay, m_Spec).files;
    QCOMPARE(m_lczFiles.size(), job.present.size());
}

bool TestInterleave::Run(const Job& job, const CancelFlag* cancel, const QString& out)
{
    bool present[24] = {};
    for (int s : job.present)
        present[s] = true;
    QSoundMixer mixer;
    mixer.m_szDestinationFolder = (out.isEmpty() ? m_czOut : out) + "/";
    mixer.SetFilesParams(m_czDay + "/", "ABC123", m_pcSeparators, "WAV");
    for (int s : job.excluded)
        mixer.m_pbExcludedTrack[s] = true;
    mixer.m_bLightPoly = job.light;
    mixer.m_nMinTrackCount = job.minimum;
    mixer.m_bSixToEightTracks = job.sixToEight;
    mixer.m_n24To16Bits = job.to16 ? 1 : 0;
    mixer.SetSyncOutput(job.durable);
    connect(&mixer, &QSoundMixer::signal_ProgressSize, this, [this](qint64 bytes) {
        m_lnProgress.append(bytes);
        if (m_OnProgress)
            m_OnProgress(bytes);
    });
    if (job.map.isEmpty())
        return mixer.Interleave(present, 0, cancel);
    int map[24];
    std::copy(job.map.begin(), job.map.end(), map);
    const bool result = mixer.InterleaveRotate(present, 0, cancel, map);
    for (int s : job.present)
        if (!present[s])
            return false;   // the caller's flags are never changed
    return result;
}

void TestInterleave::rotationMaps_data()
{
    QTest::addColumn<int>("n");
    QTest::addColumn<int>("m");
    QTest::addColumn<int>("trackMax");
    QTest::addColumn<IntList>("head");   // the first entries; the rest -1
    QTest::newRow("8 tracks by 2 of 8") << 2 << 8 << 7 << IntList{2, 3, 4, 5, 6, 7, 0, 1};
    QTest::newRow("4 tracks by 1 of 8 keep T4") << 1 << 8 << 3 << IntList{1, 2, 3, 4};
    QTest::newRow("12 tracks of 8 keep 9..12") << 1 << 8 << 11 << IntList{1, 2, 3, 4, 5, 6, 7, 0, 8, 9, 10, 11};
    QTest::newRow("24 of 24 wraps") << 2 << 24 << 23
                                    << IntList{2, 3, 4, 5, 6, 7, 8, 9, 10, 11, 12, 13, 14, 15, 16, 17, 18, 19, 20, 21, 22, 23, 0, 1};
    QTest::newRow("modulus 0 bounded") << 1 << 0 << 1 << IntList{0, 1};
    QTest::newRow("no track") << 1 << 8 << -1 << IntList{};
}

void TestInterleave::rotationMaps()
{
    QFETCH(int, n);
    QFETCH(int, m);
    QFETCH(int, trackMax);
    QFETCH(IntList, head);
    const rotation::tyRotationMap map = rotation::BuildRotationMap(n, m, trackMax);
    for (int s = 0; s < 24; ++s)
        QCOMPARE(map[size_t(s)], s < head.size() ? head.at(s) : -1);
}

void TestInterleave::layouts_data()
{
    QTest::addColumn<Job>("job");
    QTest::addColumn<IntList>("channels");     // slot per channel, -1 silent
    QTest::addColumn<IntList>("indexes");      // CHANNEL_INDEX per entry
    QTest::addColumn<QStringList>("names");    // NAME per entry
    QTest::addColumn<QStringList>("actives");  // maker ACTIVE of slots 0..7

    const QStringList yes4{"YES", "YES", "YES", "YES", "NO", "NO", "NO", "NO"};
    auto job = [](IntList tracks) {
        Job j;
        j.present = tracks;
        return j;
    };
    Job full = job({0, 1, 2, 3});
    QTest::newRow("full") << full << IntList{0, 1, 2, 3} << IntList{1, 2, 3, 4}
                          << QStringList{"Trk1", "Trk2", "Trk3", "Trk4"} << yes4;
    QTest::newRow("gaps 0 1 3") << job({0, 1, 3}) << IntList{0, 1, -1, 3} << IntList{1, 2, 3, 4}
                                << QStringList{"Trk1", "Trk2", "", "Trk4"}
                                << QStringList{"YES", "YES", "NO", "YES", "NO", "NO", "NO", "NO"};
    QTest::newRow("even rounding") << job({0, 1, 2}) << IntList{0, 1, 2, -1} << IntList{1, 2, 3, 4}
                                   << QStringList{"Trk1", "Trk2", "Trk3", ""}
                                   << QStringList{"YES", "YES", "YES", "DISARMED", "NO", "NO", "NO", "NO"};
    Job to16 = job({0, 2});
    to16.bits = 24;
    to16.to16 = true;
    QTest::newRow("24 to 16 bits") << to16 << IntList{0, -1, 2, -1} << IntList{1, 2, 3, 2}
                                   << QStringList{"Trk1", "", "Trk3", ""}
                                   << QStringList{"YES", "NO", "YES", "DISARMED", "NO", "NO", "NO", "NO"};
    Job light = job({3, 7});
    light.light = true;
    QTest::newRow("light-poly 3 and 7") << light << IntList{3, 7} << IntList{4, 8} << QStringList{"Trk4", "Trk8"}
                                        << QStringList{"NO", "NO", "NO", "YES", "NO", "NO", "NO", "YES"};
    Job minimum = job({0, 1, 2});
    minimum.minimum = 8;
    minimum.bits = 24;
    QTest::newRow("minimum 8") << minimum << IntList{0, 1, 2, -1, -1, -1, -1, -1} << IntList{1, 2, 3, 4, 4, 4, 4, 4}
                               << QStringList{"Trk1", "Trk2", "Trk3", "", "", "", "", ""}
                               << QStringList{"YES", "YES", "YES", "DISARMED", "DISARMED", "DISARMED", "DISARMED", "DISARMED"};
    Job disarmed = job({0, 1, 2});
    disarmed.minimum = 4;
    disarmed.noSlots = {2};
    QTest::newRow("last track disarmed") << disarmed << IntList{0, 1, 2, -1} << IntList{1, 2, 3, 4}
                                         << QStringList{"Trk1", "Trk2", "Trk3", ""}
                                         << QStringList{"YES", "YES", "DISARMED", "DISARMED", "NO", "NO", "NO", "NO"};
    Job excluded = job({0, 1, 2, 3});
    excluded.excluded = {1};
    QTest::newRow("excluded slot") << excluded << IntList{0, -1, 2, 3} << IntList{1, 2, 3, 4}
                                   << QStringList{"Trk1", "Trk2", "Trk3", "Trk4"}
                                   << QStringList{"YES", "NO", "YES", "YES", "NO", "NO", "NO", "NO"};
    Job lightExcluded = excluded;
    lightExcluded.light = true;
    QTest::newRow("light-poly, excluded") << lightExcluded << IntList{0, 2, 3, -1} << IntList{1, 3, 4, 5}
                                          << QStringList{"Trk1", "Trk3", "Trk4", ""}
                                          << QStringList{"YES", "NO", "YES", "YES", "NO", "NO", "NO", "NO"};
    Job six = job({0, 1, 2, 3, 4, 5});
    six.sixToEight = true;
    QTest::newRow("six to eight") << six << IntList{0, 1, 2, 3, 4, 5, -1, -1} << IntList{1, 2, 3, 4, 5, 6, 7, 7}
                                  << QStringList{"Trk1", "Trk2", "Trk3", "Trk4", "Trk5", "Trk6", "", ""}
                                  << QStringList{"YES", "YES", "YES", "YES", "YES", "YES", "NO", "NO"};
    Job clamp = job({0, 1});
    clamp.minimum = 99;
    clamp.frames = 2000;
    IntList clampChannels{0, 1}, clampIndexes{1, 2};
    QStringList clampNames{"Trk1", "Trk2"};
    for (int c = 2; c < 24; ++c) {
        clampChannels << -1;
        clampIndexes << 3;
        clampNames << "";
    }
    QTest::newRow("minimum above 24") << clamp << clampChannels << clampIndexes << clampNames
                                      << QStringList{"YES", "YES", "DISARMED", "DISARMED", "DISARMED", "DISARMED", "DISARMED", "DISARMED"};

    auto rotated = [](IntList tracks, QList<QPair<int, int>> moves) {
        Job j;
        j.present = tracks;
        j.map = IntList();
        for (int s = 0; s < 24; ++s)
            j.map << -1;
        for (const auto& move : moves)
            j.map[move.first] = move.second;
        return j;
    };
    QTest::newRow("rotate swap") << rotated({0, 1}, {{0, 1}, {1, 0}}) << IntList{1, 0} << IntList{1, 2}
                                 << QStringList{"Trk2", "Trk1"} << QStringList{"YES", "YES", "", "", "", "", "", ""};
    QTest::newRow("rotate identity") << rotated({0, 1, 2}, {{0, 0}, {1, 1}, {2, 2}}) << IntList{0, 1, 2, -1}
                                     << IntList{1, 2, 3, 4} << QStringList{"Trk1", "Trk2", "Trk3", ""}
                                     << QStringList{"YES", "YES", "YES", "", "", "", "", ""};
    QTest::newRow("rotate 0 to 5") << rotated({0}, {{0, 5}, {5, 0}}) << IntList{-1, -1, -1, -1, -1, 0}
                                   << IntList{1, 2, 3, 4, 5, 6} << QStringList{"", "", "", "", "", "Trk1"}
                                   << QStringList{"NO", "", "", "", "", "YES", "", ""};
    Job rotatedSix = rotated({0}, {{0, 5}, {5, 0}});
    rotatedSix.sixToEight = true;
    QTest::newRow("rotate 0 to 5, six to eight") << rotatedSix << IntList{-1, -1, -1, -1, -1, 0, -1, -1}
                                                 << IntList{1, 2, 3, 4, 5, 6, 7, 8}
                                                 << QStringList{"", "", "", "", "", "Trk1", "", ""}
                                                 << QStringList{"NO", "", "", "", "", "YES", "", ""};
    Job muted = rotated({0, 1, 2, 3}, {{0, 1}, {1, 2}, {2, 3}, {3, 4}});
    muted.excluded = {1};
    QTest::newRow("rotate, muted keeps its channel") << muted << IntList{-1, 0, -1, 2, 3, -1} << IntList{1, 2, 3, 4, 5, 6}
                                                     << QStringList{"", "Trk1", "Trk2", "Trk3", "Trk4", ""}
                                                     << QStringList{"", "YES", "NO", "YES", "YES", "", "", ""};
}

void TestInterleave::layouts()
{
    QFETCH(Job, job);
    QFETCH(IntList, channels);
    QFETCH(IntList, indexes);
    QFETCH(QStringList, names);
    QFETCH(QStringList, actives);
    WriteJobTake(job);
    QVERIFY(Run(job));

    const RiffInfo out = ReadRiffFile(OutputPath(job));
    QCOMPARE(int(out.channels), channels.size());
    const int bits = job.to16 ? 16 : job.bits;
    QCOMPARE(int(out.bits), bits);
    QCOMPARE(int(out.blockAlign), channels.size() * bits / 8);
    QCOMPARE(out.riffSize, quint32(out.fileSize - 8));
    QVERIFY(out.data == Expected(channels, job.frames, job.bits, job.to16));
    QCOMPARE(IxmlValues(out.ixml, "TRACK_LIST/TRACK/CHANNEL_INDEX"), Texts(indexes));
    QStringList entryNames = IxmlValues(out.ixml, "TRACK_LIST/TRACK/NAME");
    for (int c = 0; c < names.size(); ++c) {
        if (!names.at(c).isEmpty())
            QCOMPARE(entryNames.value(c), names.at(c));
    }
    QCOMPARE(IxmlValues(out.ixml, "ORVEX_BRISEL/ALL_TRK_NAME/DATA/ACTIVE").mid(0, 8), actives);
    // Slot 1's function follows its channel.
    const int functionChannel = channels.indexOf(1);
    if (functionChannel >= 0)
        QCOMPARE(IxmlValues(out.ixml, "TRACK_LIST/TRACK/FUNCTION").value(functionChannel), QString("L-MIX"));
    QCOMPARE(out.DescriptionValue("aTYP"), QString("poly"));
    QCOMPARE(IxmlValue(out.ixml, "NOTE"), QString("a note"));
    QCOMPARE(IxmlValue(out.ixml, "SYNC_POINT_LIST/SYNC_POINT/SYNC_POINT_LOW"), QString("4800"));
    QCOMPARE(IxmlValue(out.ixml, "CIRCLED"), QString("TRUE"));
    QCOMPARE(IxmlValue(out.ixml, "ORVEX_BRISEL/REF_LEVEL"), QString("-18"));
    QCOMPARE(IxmlValue(out.ixml, "ORVEX_BRISEL/INPUT_SETTINGS/MIC_1/DELAY"), QString("0"));
    QCOMPARE(out.originatorReference.right(10), QByteArray("ABC1230000"));
    QSoundPerform take;
    QVERIFY(take.InitFilesZZ(OutputPath(job).chopped(4), "WAV"));
    QCOMPARE(int(take.m_nTakeStatus), 0);
    QCOMPARE(int(take.m_nChannels), channels.size());
    if (job.bits == 16 && job.frames == 50000)
        QCOMPARE(m_lnProgress, (QList<qint64>{49152, 49152, 1696, 0}));
}

// The output is a poly take for the system's own loader and for ffprobe.
void TestInterleave::outputReadsBack()
{
    Job job;
    job.present = {0, 1, 2, 3, 4, 5, 6, 7};
    job.bits = 24;
    job.frames = 500000;   // 12 MB: written back in stretches
    job.durable = true;
    WriteJobTake(job);
    QFile::copy(m_lczFiles.at(0), OutputPath(job));   // an older output is replaced
    QVERIFY(Run(job));
    QVERIFY(ReadRiffFile(OutputPath(job)).data == Expected({0, 1, 2, 3, 4, 5, 6, 7}, job.frames, 24));
    QSoundPerform take;
    QVERIFY(take.InitFilesZZ(m_czOut + "/ABC123PN", "WAV"));
    QCOMPARE(int(take.m_nTakeStatus), 0);
    QCOMPARE(int(take.m_nChannels), 8);
    QCOMPARE(Entries(m_czOut), QStringList{"ABC123PN.WAV"});
    QCOMPARE(ReadRiffFile(OutputPath(job)).ChunkIds().filter(QRegularExpression("^ond")),
             (QStringList{"ond1", "ond2", "ond3", "ond4", "ond5", "ond6", "ond7", "ond8"}));
    if (QStandardPaths::findExecutable("ffprobe").isEmpty())
        QSKIP("ffprobe is not installed");
    QProcess probe;
    probe.start("ffprobe", {"-v", "error", "-show_entries", "stream=channels,sample_rate,bits_per_raw_sample:stream=duration_ts",
                            "-of", "csv=p=0", OutputPath(job)});
    QVERIFY(probe.waitForFinished(30000));
    QCOMPARE(probe.exitCode(), 0);
    QCOMPARE(QString(probe.readAllStandardOutput()).trimmed(), QString("48000,8,500000,24"));
}

// Random takes through the map builder, the validator and the engine: every
// present, unmuted track appears once, on its mapped channel, bit for bit.
void TestInterleave::rotationProperty()
{
    QRandomGenerator random(20);
    for (int round = 0; round < 40; ++round) {
        init();
        Job job;
        job.frames = 700;
        job.bits = round % 2 ? 24 : 16;
        bool present[24] = {}, muted[24] = {};
        int trackMax = -1;
        for (int s = 0; s < 24; ++s) {
            present[s] = random.bounded(3) != 0;
            muted[s] = present[s] && random.bounded(5) == 0;
            if (present[s]) {
                job.present << s;
                trackMax = s;
            }
            if (muted[s])
                job.excluded << s;
        }
        if (job.present.isEmpty())
            continue;
        const int n = 1 + random.bounded(2), m = 8 + random.bounded(17);
        const rotation::tyRotationMap map = rotation::BuildRotationMap(n, m, trackMax);
        QString why;
        QVERIFY2(rotation::ValidateRotationMap(map.data(), present, &why), qPrintable(why));
        job.map = IntList(map.begin(), map.end());
        const int span = rotation::RotatedTrackSpan(map.data(), present, muted);
        WriteJobTake(job);
        const QString context = QString("round %1 n %2 m %3 slots %4").arg(round).arg(n).arg(m).arg(Texts(job.present).join(','));
        QVERIFY2(Run(job) == (span > 0), qPrintable(context));
        if (span == 0)
            continue;
        IntList channels;
        for (int c = 0; c < span + (span & 1); ++c)
            channels << -1;
        for (int s : job.present)
            if (!muted[s] && map[size_t(s)] < channels.size())
                channels[map[size_t(s)]] = s;
        QCOMPARE(channels.count(-1) + job.present.size() - job.excluded.size(), channels.size());
        const RiffInfo out = ReadRiffFile(OutputPath(job));
        QCOMPARE(int(out.channels), channels.size());
        QVERIFY2(out.data == Expected(channels, job.frames, job.bits), qPrintable(context));
    }
}

void TestInterleave::channelWalk_data()
{
    QTest::addColumn<int>("inBytes");
    QTest::addColumn<int>("outBytes");
    QTest::addColumn<int>("frames");
    for (int widths : {22, 33, 32})
        for (int frames : {1, 255, 257, 16384})
            QTest::addRow("%d to %d bytes, %d frames", widths / 10, widths % 10, frames)
                << widths / 10 << widths % 10 << frames;
}

// The tiled walk against a sample-by-sample one, every channel count, a
// silent channel first, inside and last.
void TestInterleave::channelWalk()
{
    QFETCH(int, inBytes);
    QFETCH(int, outBytes);
    QFETCH(int, frames);
    QRandomGenerator random(frames);
    std::vector<std::vector<unsigned char>> sources(24, std::vector<unsigned char>(size_t(frames * inBytes)));
    for (auto& source : sources)
        for (unsigned char& byte : source)
            byte = uchar(random.bounded(256));
    for (int channels = 1; channels <= 24; ++channels) {
        std::vector<const unsigned char*> areas;
        for (int c = 0; c < channels; ++c)
            areas.push_back(c % 5 == 2 || c == channels - 1 ? nullptr : sources[size_t(c)].data());
        std::vector<unsigned char> out(size_t(frames * channels * outBytes), 0xAA), expected(out.size(), 0);
        for (int f = 0; f < frames; ++f)
            for (int c = 0; c < channels; ++c)
                for (int b = 0; b < outBytes && areas[size_t(c)]; ++b)
                    expected[size_t((f * channels + c) * outBytes + b)] = areas[size_t(c)][f * inBytes + inBytes - outBytes + b];
        interleave::InterleaveFrames(areas.data(), channels, frames, inBytes, outBytes, out.data());
        QVERIFY2(out == expected, qPrintable(QString("%1 channels").arg(channels)));
        if (channels > 1) {
            areas.back() = sources[23].data();   // the last channel carries audio
            for (int f = 0; f < frames; ++f)
                for (int b = 0; b < outBytes; ++b)
                    expected[size_t((f * channels + channels - 1) * outBytes + b)] = sources[23][size_t(f * inBytes + inBytes - outBytes + b)];
            interleave::InterleaveFrames(areas.data(), channels, frames, inBytes, outBytes, out.data());
            QVERIFY2(out == expected, qPrintable(QString("%1 channels, last carried").arg(channels)));
        }
    }
}

// A track file shorter than the first: silence after its end, the
// output as long as the first file.
void TestInterleave::shortSource()
{
    Job job;
    job.present = {0, 1};
    job.frames = 40000;
    WriteJobTake(job);
    TakeSpec shorter = MonoTake("ABC123", {1});
    shorter.frames = 15000;
    shorter.bits = 16;
    const QString other = m_czDay + "_short";
    const QStringList written = fixture::WriteTake(other, shorter).files;
    QCOMPARE(written.size(), 1);
    QVERIFY(QFile::remove(m_lczFiles.at(1)) && QFile::copy(written.at(0), m_lczFiles.at(1)));
    QSignalSpy messages(global_pLogger, &MessageLoging::signal_message);
    const bool ran = Run(job);
    QVERIFY2(ran, qPrintable(messages.value(0).value(1).toString()));
    const QByteArray data = ReadRiffFile(OutputPath(job)).data;
    QVERIFY(data.left(15000 * 4) == Expected({0, 1}, 15000, 16));
    QByteArray tail = Expected({0, -1}, 40000, 16).mid(15000 * 4);
    QVERIFY(data.mid(15000 * 4) == tail);
}

void TestInterleave::refusals_data()
{
    QTest::addColumn<QString>("fault");
    QTest::addColumn<QString>("message");   // empty: none of the engine's own
    const QString order = "The track order for\nABC123\ncannot be used: %1.\nProcess stopped.";
    QTest::newRow("map entry 24") << "map24" << order.arg("track 3 is sent to channel 25");
    QTest::newRow("map entry -2") << "map-2" << order.arg("track 1 is sent to channel -1");
    QTest::newRow("map entry far out") << "map1000" << order.arg("track 2 is sent to channel 1001");
    QTest::newRow("two tracks on one channel") << "mapshared" << order.arg("tracks 1 and 3 are sent to channel 2");
    QTest::newRow("map all -1") << "mapnone" << order.arg("no track is sent to a channel");
    QTest::newRow("rotated, all muted") << "mapmuted" << "No track of\nABC123\nis left to interleave.\nProcess stopped.";
    QTest::newRow("all excluded, minimum 8") << "allexcluded" << "No track of\nABC123\nis left to interleave.\nProcess stopped.";
    QTest::newRow("extensible float first file") << "extensible" << "Unsupported audio format in\n%2\n(mono 16 or 24-bit PCM files only).";
    QTest::newRow("sparse 3 x 1.5 GiB") << "sparse" << "The new file\n%3\nwould hold %4 bytes, more than a WAV file can (4 GiB).\nProcess stopped.";
    QTest::newRow("free space") << "free" << "Not enough disk space on drive\n%1\nNot able to process the complete mixdown.";
    QTest::newRow("cancel in the first block") << "cancel1" << "";
    QTest::newRow("cancel in a middle block") << "cancel2" << "";
}

void TestInterleave::refusals()
{
    QFETCH(QString, fault);
    QFETCH(QString, message);
    Job job;
    job.present = {0, 1, 2};
    job.frames = 60000;
    WriteJobTake(job);
    CancelFlag cancel{false};
    QString detail;
    if (fault.startsWith("map")) {
        job.map = IntList{1, 0, 2};
        for (int s = 3; s < 24; ++s)
            job.map << -1;
        if (fault == "map24")
            job.map[2] = 24;
        else if (fault == "map-2")
            job.map[0] = -2;
        else if (fault == "map1000")
            job.map[1] = 1000;
        else if (fault == "mapshared")
            job.map[2] = 1;
        else if (fault == "mapnone")
            std::fill(job.map.begin(), job.map.end(), -1);
        else if (fault == "mapmuted")
            job.excluded = {0, 1, 2};
    } else if (fault == "allexcluded") {
        job.excluded = {0, 1, 2};
        job.minimum = 8;
    } else if (fault == "extensible") {
        // WAVE_FORMAT_EXTENSIBLE whose sub-format is float.
        const RiffInfo info = ReadRiffFile(m_lczFiles.at(0));
        QFile file(m_lczFiles.at(0));
        QVERIFY(file.open(QIODevice::ReadWrite));
        const QByteArray all = file.readAll();
        const qint64 fmt = info.Find("fmt ")->offset;
        QByteArray fmtChunk("fmt \x28\x00\x00\x00", 8);
        fmtChunk += all.mid(int(fmt) + 8, 16);
        fmtChunk[8] = char(0xFE);
        fmtChunk[9] = char(0xFF);
        fmtChunk += QByteArray("\x16\x00\x18\x00\x04\x00\x00\x00\x03\x00\x00\x00\x00\x00\x10\x00\x80\x00\x00\xAA\x00\x38\x9B\x71", 24);
        QByteArray rebuilt = all.left(int(fmt)) + fmtChunk + all.mid(int(fmt) + 24);
        const quint32 riff = quint32(rebuilt.size() - 8);
        for (int i = 0; i < 4; ++i)
            rebuilt[4 + i] = char((riff >> (8 * i)) & 0xFF);
        QVERIFY(file.resize(0) && file.write(rebuilt) == rebuilt.size());
        detail = m_lczFiles.at(0);
    } else if (fault == "sparse") {
        for (const QString& path : m_lczFiles) {
            QFile file(path);
            QVERIFY(file.open(QIODevice::ReadOnly));
            const QByteArray bytes = file.readAll();
            file.close();
            QVERIFY(WriteSparseCopy(path, bytes, 1536u * 1024 * 1024));
        }
    } else if (fault == "free") {
        SetFreeSpaceFunction([](const QString&) { return 9 * 1048576LL; });
    } else if (fault == "cancel1") {
        cancel = true;
    } else if (fault == "cancel2") {
        job.frames = 60000;
        m_OnProgress = [&cancel, this](qint64) {
            if (m_lnProgress.size() == 2)
                cancel = true;
        };
    }
    QSignalSpy messages(global_pLogger, &MessageLoging::signal_message);
    QVERIFY(!Run(job, &cancel));
    if (!message.isEmpty()) {
        QCOMPARE(messages.size(), 1);
        QCOMPARE(messages.at(0).at(0).toString(), QString("Interleave"));
        QString expected = message;
        expected.replace("%1", QPath(m_czOut + "/").GetDrive()).replace("%2", detail).replace("%3", OutputPath(job));
        if (fault == "sparse") {
            const QString text = messages.at(0).at(1).toString();
            QVERIFY2(text.startsWith(expected.section("%4", 0, 0)), qPrintable(text));
        } else {
            QCOMPARE(messages.at(0).at(1).toString(), expected);
        }
    } else {
        QCOMPARE(messages.size(), 0);
        QCOMPARE(m_lnProgress, fault == "cancel1" ? (QList<qint64>{49152, 0}) : (QList<qint64>{49152, 49152, 0}));
    }
    QCOMPARE(Entries(m_czOut), QStringList());
    QCOMPARE(Entries(m_czDay).size(), m_lczFiles.size());
}

void TestInterleave::fullVolume_data()
{
    QTest::addColumn<bool>("ixmlOnly");   // room for the audio, not for the iXML
    QTest::newRow("audio does not fit") << false;
    QTest::newRow("iXML does not fit") << true;
}

// A full card: the run fails, nothing but the older file is left.
void TestInterleave::fullVolume()
{
    QFETCH(bool, ixmlOnly);
    Job job;
    job.present = {0, 1, 2, 3};
    job.frames = 100000;
    WriteJobTake(job);
    qint64 capacity = 512 * 1024;
    if (ixmlOnly) {
        QVERIFY(Run(job));
        const RiffInfo done = ReadRiffFile(OutputPath(job));
        // The audio's pages and the older file's one page, no more.
        capacity = (done.Find("iXML")->offset + 4095) / 4096 * 4096 + 4096;
        QVERIFY(QFile::remove(OutputPath(job)));
    }
    SetFreeSpaceFunction([](const QString&) { return qint64(-1); });
    QString how;
    QSignalSpy messages(global_pLogger, &MessageLoging::signal_message);
    const bool held = RunOnFullVolume(m_czOut, capacity, [&](const QString& folder) {
        const QString older = folder + "/ABC123PN.WAV";
        QFile file(older);
        if (!file.open(QIODevice::WriteOnly) || file.write("older") != 5)
            return false;
        file.close();
        m_lnProgress.clear();
        const bool ran = Run(job, nullptr, folder);
        const bool allAudio = std::accumulate(m_lnProgress.begin(), m_lnProgress.end(), qint64(0)) == job.frames * 2;
        return !ran && allAudio == ixmlOnly && Entries(folder) == QStringList{"ABC123PN.WAV"}
               && file.open(QIODevice::ReadOnly) && file.readAll() == "older";
    }, &how);
    QVERIFY2(held, qPrintable(how));
}

QTEST_GUILESS_MAIN(TestInterleave)
#include "test_interleave.moc"
