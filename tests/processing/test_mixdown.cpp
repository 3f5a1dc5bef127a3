// The stereo mixdowns against hand-computed samples, read back by the
// independent RIFF reader, a fresh take object, ffprobe and sox; and the
// ways a run can fail, none of which may leave a file behind.
#include "foundation/messageloging.h"
#include "foundation/qpath.h"
#include "foundation/platform/diskprobes.h"
#include "processing/mixkernels.h"
#include "processing/qsoundmixer.h"
#include "processing/takeoperation.h"
#include "take/soundperform.h"
#include "tests/support/diskfaultwalk.h"
#include "tests/support/fixturesamples.h"
#include "tests/support/fixturewriter.h"
#include "tests/support/fullvolume.h"
#include "tests/support/riffreader.h"
#include "tests/support/scratchdir.h"
#include "tests/take/sparsetake.h"

#include <QCryptographicHash>
#include <QDir>
#include <QProcess>
#include <QSignalSpy>
#include <QStandardPaths>
#include <QTemporaryDir>
#include <QtTest>
#include <atomic>
#include <cstring>
#include <future>
#include <thread>

using namespace fixture;

namespace {
struct Track {
    int slot;
    int value;        // DC level of the whole track
    short step = 4;
    short pan = 1;
    bool excluded = false;
};

// The mixer's arguments for a take.
struct Args {
    bool present[24] = {};
    short steps[24];
    short pan[24];
    bool excluded[24] = {};
    bool pairs[12] = {};
    char separators[24];
    Args()
    {
        std::fill(std::begin(steps), std::end(steps), short(4));
        std::fill(std::begin(pan), std::end(pan), short(1));
        std::fill(std::begin(separators), std::end(separators), '_');
    }
};

QByteArray Dc(int value, int bits, qint64 frames)
{
    QByteArray bytes;
    const int width = bits / 8;
    bytes.reserve(int(frames * width));
    for (qint64 f = 0; f < frames; ++f)
        for (int b = 0; b < width; ++b)
            bytes.append(char((value >> (8 * b)) & 0xFF));
    return bytes;
}

bool Patch(const QString& path, qint64 offset, const QByteArray& bytes)
{
    QFile file(path);
    return file.open(QIODevice::ReadWrite) && file.seek(offset) && file.write(bytes) == bytes.size();
}

// Sample c (0 left, 1 right) of frame f of an interleaved stereo block.
int SampleAt(const QByteArray& data, int width, int frame, int channel)
{
    const unsigned char* p = reinterpret_cast<const unsigned char*>(data.constData()) + (frame * 2 + channel) * width;
    int v = p[0] | p[1] << 8 | (width == 3 ? p[2] << 16 : 0);
    const int sign = 1 << (8 * width - 1);
    return (v & sign) ? v - 2 * sign : v;
}

QByteArray Digest(const QStringList& files)
{
    QCryptographicHash hash(QCryptographicHash::Sha1);
    for (const QString& path : files) {
        QFile file(path);
        if (file.open(QIODevice::ReadOnly))
            hash.addData(file.readAll());
    }
    return hash.result();
}

QStringList Entries(const QString& folder)
{
    return QDir(folder).entryList(QDir::AllEntries | QDir::Hidden | QDir::NoDotAndDotDot, QDir::Name);
}
}
Q_DECLARE_METATYPE(Track)

class TestMixdown : public QObject
{
    Q_OBJECT
private slots:
    void initTestCase();
    void init();
    void cleanup();
    void dcMixes_data();
    void dcMixes();
    void copyMixdown_data();
    void copyMixdown();
    void outputReadsBack();
    void progressPerBlock_data();
    void progressPerBlock();
    void failuresLeaveNothing_data();
    void failuresLeaveNothing();
    void fullDiskLeavesNothing();
    void fusedLoopsMatchBlockKernels();
    void sourcesOfOtherLengths_data();
    void sourcesOfOtherLengths();
    void cancelFromAnotherThread();
    void spreadBlocksInOrder_data();
    void spreadBlocksInOrder();
    void headerOfShortName();

private:
    void WalkMixdown(const QString& planName);
    // Writes a mono take of the slotList; DC levels when given.
    void WriteTake(const QList<int>& slotList, int bits, qint64 frames, const QList<Track>& dc = {});
    bool RunMix(Args& args, const CancelFlag* cancel = nullptr);
    bool RunCopy(Args& args, const CancelFlag* cancel = nullptr);
    void Prepare(QSoundMixer& mixer, Args& args);
    QString OutputPath() const { return m_czOut + "/ABC123MX.WAV"; }

    QTemporaryDir m_Dir;
    QString m_czDay, m_czOut;
    TakeSpec m_Spec;
    QStringList m_lczFiles;
    QList<qint64> m_lnProgress;
    int m_n24To16 = 0;
    bool m_bOneChar = false;
    std::function<void(qint64)> m_OnProgress;
};

void TestMixdown::initTestCase()
{
    global_pLogger = new MessageLoging(this);
}

void TestMixdown::init()
{
    m_czDay = m_Dir.path() + "/" + QTest::currentTestFunction() + "_" + QString(QTest::currentDataTag()).replace(' ', '_');
    m_czOut = m_czDay + "_out";
    QDir().mkpath(m_czDay);
    QDir().mkpath(m_czOut);
    m_lnProgress.clear();
    m_n24To16 = 0;
    m_bOneChar = false;
    m_OnProgress = nullptr;
}

void TestMixdown::cleanup()
{
    SetFreeSpaceFunction({});
    DiskFaults::Disarm();
}

void TestMixdown::WriteTake(const QList<int>& slotList, int bits, qint64 frames, const QList<Track>& dc)
{
    m_Spec = MonoTake("ABC123", slotList);
    m_Spec.bits = quint16(bits);
    m_Spec.frames = quint32(frames);
    if (m_bOneChar)
        m_Spec.numberStyle = TrackNumberStyle::OneChar;
    m_lczFiles = fixture::WriteTake(m_czDay, m_Spec).files;
    QCOMPARE(m_lczFiles.size(), slotList.size());
    for (const Track& t : dc) {
        const QString path = m_lczFiles.at(slotList.indexOf(t.slot));
        QVERIFY(Patch(path, ReadRiffFile(path).dataOffset, Dc(t.value, bits, frames)));
    }
}

void TestMixdown::Prepare(QSoundMixer& mixer, Args& args)
{
    mixer.m_szDestinationFolder = m_czOut + "/";
    mixer.m_n24To16Bits = m_n24To16;
    mixer.SetFilesParams(m_czDay + "/", m_Spec.id, args.separators, "WAV");
    connect(&mixer, &QSoundMixer::signal_ProgressSize, this, [this](qint64 bytes) {
        m_lnProgress.append(bytes);
        if (m_OnProgress)
            m_OnProgress(bytes);
    }, Qt::DirectConnection);
}

bool TestMixdown::RunMix(Args& args, const CancelFlag* cancel)
{
    QSoundMixer mixer;
    Prepare(mixer, args);
    return mixer.BounceStereoMixdown(args.present, args.steps, args.pan, args.excluded, args.pairs, 0, cancel);
}

bool TestMixdown::RunCopy(Args& args, const CancelFlag* cancel)
{
    QSoundMixer mixer;
    Prepare(mixer, args);
    return mixer.BounceStereoMixdown(args.present, args.pan, args.excluded, cancel);
}

void TestMixdown::dcMixes_data()
{
    QTest::addColumn<int>("bits");
    QTest::addColumn<bool>("to16");
    QTest::addColumn<QList<Track>>("tracks");
    QTest::addColumn<int>("pairs");     // bit k: pair k decoded
    QTest::addColumn<int>("left");
    QTest::addColumn<int>("right");

    using L = QList<Track>;
    QTest::newRow("sides at 0 dB") << 24 << false << L{{0, 1000, 4, 0}, {1, -2000, 4, 2}} << 0 << 1000 << -2000;
    QTest::newRow("-3 and +9 dB") << 24 << false << L{{0, 1000, 5, 0}, {1, 1000, 1, 2}} << 0 << 719 << 2750;
    QTest::newRow("-3 dB floors") << 24 << false << L{{0, -1000, 5, 0}, {1, 1000, 7, 2}} << 0 << -718 << 343;
    QTest::newRow("steps -1, 9, 12 are 0 dB") << 24 << false << L{{0, 1000, -1, 0}, {1, 1000, 9, 2}, {2, 1000, 12, 1}} << 0 << 2000 << 2000;
    QTest::newRow("both sides at full level") << 24 << false << L{{0, 1000, 4, 1}, {1, 500, 3, 0}} << 0 << 1687 << 1000;
    QTest::newRow("excluded and unrouted") << 24 << false << L{{0, 1000, 4, 0}, {1, 5000, 4, 7}, {2, 3000, 4, 0, true}} << 0 << 1000 << 0;
    QTest::newRow("clip 24-bit") << 24 << false << L{{0, 8000000, 0, 0}, {1, -8000000, 2, 2}} << 0 << 8388607 << -8388608;
    QTest::newRow("clip once after the sum") << 24 << false << L{{0, 8000000, 4, 1}, {1, 8000000, 4, 1}, {2, -8000000, 4, 1}} << 0 << 8000000 << 8000000;
    QTest::newRow("clip 16-bit") << 16 << false << L{{0, 20000, 2, 0}, {1, -20000, 2, 2}} << 0 << 32767 << -32768;
    QTest::newRow("M/S") << 24 << false << L{{2, 1000, 4, 1}, {3, 300, 4, 1}} << 2 << 1300 << 700;
    QTest::newRow("M/S side excluded") << 24 << false << L{{2, 1000, 4, 1}, {3, 300, 4, 1, true}} << 2 << 1000 << 1000;
    QTest::newRow("M/S side right only") << 24 << false << L{{2, 1000, 4, 1}, {3, 300, 4, 2}} << 2 << 1000 << 1000;
    QTest::newRow("M/S steps per side") << 24 << false << L{{2, 1000, 6, 1}, {3, 300, 2, 1}} << 2 << 650 << 1400;
    QTest::newRow("24 to 16") << 24 << true << L{{0, 0x123456, 4, 0}, {1, -0x123456, 4, 2}} << 0 << 0x1234 << -4661;
}

void TestMixdown::dcMixes()
{
    QFETCH(int, bits);
    QFETCH(bool, to16);
    QFETCH(QList<Track>, tracks);
    QFETCH(int, pairs);
    QFETCH(int, left);
    QFETCH(int, right);

    QList<int> slotList;
    Args args;
    for (const Track& t : tracks) {
        slotList.append(t.slot);
        args.present[t.slot] = true;
        args.steps[t.slot] = t.step;
        args.pan[t.slot] = t.pan;
        args.excluded[t.slot] = t.excluded;
    }
    for (int k = 0; k < 12; ++k)
        args.pairs[k] = (pairs >> k) & 1;
    const qint64 frames = 20000;   // two blocks at 24 bits, the second partial
    WriteTake(slotList, bits, frames, tracks);
    m_n24To16 = to16 ? 1 : 0;
    QVERIFY(RunMix(args));

    const RiffInfo out = ReadRiffFile(OutputPath());
    const int width = to16 ? 2 : bits / 8;
    QCOMPARE(int(out.bits), width * 8);
    QCOMPARE(int(out.blockAlign), 2 * width);
    QCOMPARE(out.dataSize, quint32(frames * 2 * width));
    for (int f : {0, 1, int(frames) / 2, int(frames) - 1}) {
        QCOMPARE(SampleAt(out.data, width, f, 0), left);
        QCOMPARE(SampleAt(out.data, width, f, 1), right);
    }
}

void TestMixdown::copyMixdown_data()
{
    QTest::addColumn<int>("bits");
    QTest::addColumn<QList<int>>("pans");       // per slot 0, 1, 2 ...
    QTest::addColumn<int>("leftSlot");
    QTest::addColumn<int>("rightSlot");
    QTest::addColumn<QStringList>("waveIds");
    QTest::addColumn<QStringList>("names");
    QTest::addColumn<QStringList>("indexes");
    QTest::addColumn<bool>("poly");       // the older poly form

    QTest::newRow("left and right") << 16 << QList<int>{0, 2} << 0 << 1 << QStringList{"ond1", "ond2"}
                                    << QStringList{"Trk1", "Trk2"} << QStringList{"1", "2"} << false;
    QTest::newRow("one track on both") << 24 << QList<int>{1} << 0 << 0 << QStringList{"ond1"}
                                       << QStringList{"Trk1", "Trk1"} << QStringList{"1", "1"} << false;
    QTest::newRow("three routed") << 24 << QList<int>{0, 0, 2} << 1 << 2 << QStringList{}
                                  << QStringList{"Mix Left", "Mix Right"} << QStringList{"1", "2"} << false;
    QTest::newRow("unrouted slot ignored") << 24 << QList<int>{0, 5, 2} << 0 << 2 << QStringList{"ond1", "ond2"}
                                           << QStringList{"Trk1", "Trk3"} << QStringList{"1", "3"} << false;
    QTest::newRow("older poly form") << 24 << QList<int>{0, 2} << 0 << 1 << QStringList{}
                                     << QStringList{"Mix Left", "Mix Right"} << QStringList{"1", "2"} << true;
    // Tracks 10 and 11 named "_A" and "_B": found through the one-character code.
    QTest::newRow("one-character track codes") << 16 << QList<int>{9, 0, 10, 2} << 9 << 10 << QStringList{"ond1", "ond2"}
                                               << QStringList{"Trk10", "Trk11"} << QStringList{"10", "11"} << false;
}

void TestMixdown::copyMixdown()
{
    QFETCH(int, bits);
    QFETCH(QList<int>, pans);
    QFETCH(int, leftSlot);
    QFETCH(int, rightSlot);
    QFETCH(QStringList, waveIds);
    QFETCH(QStringList, names);
    QFETCH(QStringList, indexes);
    QFETCH(bool, poly);

    // pans: pairs of (slot, code) when the first entry is 9 or more, else one code per slot from 0.
    QList<int> slotList;
    Args args;
    const bool pairsGiven = pans.first() >= 9;
    for (int i = 0; i < pans.size(); i += pairsGiven ? 2 : 1) {
        const int slot = pairsGiven ? pans.at(i) : i;
        slotList.append(slot);
        args.present[slot] = true;
        args.pan[slot] = short(pairsGiven ? pans.at(i + 1) : pans.at(i));
    }
    const qint64 frames = 40000;
    m_bOneChar = pairsGiven;
    WriteTake(slotList, bits, frames);
    if (poly) {
        QSoundMixer mixer;
        Prepare(mixer, args);
        QVERIFY(mixer.BouncePoly(args.present, args.steps, args.pan, args.excluded, args.pairs, 0, nullptr));
    } else {
        QVERIFY(RunCopy(args));
    }

    const RiffInfo out = ReadRiffFile(OutputPath());
    QCOMPARE(int(out.channels), 2);
    QCOMPARE(int(out.bits), bits);
    QCOMPARE(int(out.blockAlign), bits / 4);
    QCOMPARE(out.Find("fmt ")->size, 16u);
    QCOMPARE(int(out.formatTag), 1);
    QCOMPARE(out.data, SampleBytes({leftSlot, rightSlot}, 0, frames, bits));
    QStringList ids = out.ChunkIds().filter(QRegularExpression("^ond"));
    QCOMPARE(ids, waveIds);
    QCOMPARE(IxmlValues(out.ixml, "TRACK_LIST/TRACK/NAME"), names);
    QCOMPARE(IxmlValues(out.ixml, "TRACK_LIST/TRACK/CHANNEL_INDEX"), indexes);
    QCOMPARE(out.DescriptionValue("aTYP"), QString("poly"));
    // The reference names the take: six characters of the base name, "0000".
    QCOMPARE(out.originatorReference.right(10), QByteArray("ABC1230000"));
}

// ffprobe, sox and a fresh take object accept the mixdown.
void TestMixdown::outputReadsBack()
{
    Args args;
    for (int t : {0, 1, 2, 3}) {
        args.present[t] = true;
        args.steps[t] = short(t * 2);
    }
    args.pairs[1] = true;
    WriteTake({0, 1, 2, 3}, 24, 30000);
    QVERIFY(RunMix(args));
    QSoundPerform take;
    QVERIFY(take.InitFilesZZ(m_czOut + "/ABC123MX", "WAV"));
    QCOMPARE(int(take.m_nTakeStatus), 0);
    QCOMPARE(int(take.m_nChannels), 2);

    if (!QStandardPaths::findExecutable("ffprobe").isEmpty()) {
        QProcess probe;
        probe.start("ffprobe", {"-v", "error", "-show_entries", "stream=channels,sample_rate,bits_per_raw_sample:stream=duration_ts",
                                "-of", "csv=p=0", OutputPath()});
        QVERIFY(probe.waitForFinished(30000));
        QCOMPARE(probe.exitCode(), 0);
        QCOMPARE(QString(probe.readAllStandardOutput()).trimmed(), QString("48000,2,30000,24"));
    }
    if (!QStandardPaths::findExecutable("sox").isEmpty()) {
        QProcess sox;
        sox.start("sox", {OutputPath(), "-t", "raw", "-"});
        QVERIFY(sox.waitForFinished(30000));
        QCOMPARE(sox.exitCode(), 0);
        QCOMPARE(sox.readAllStandardOutput(), ReadRiffFile(OutputPath()).data);
    }
}

void TestMixdown::progressPerBlock_data()
{
    QTest::addColumn<qint64>("frames");
    QTest::addColumn<QList<qint64>>("progress");
    QTest::newRow("2 x 49152") << qint64(32768) << QList<qint64>{49152, 49152, 0};
    QTest::newRow("2 x 49152 + 6") << qint64(32770) << QList<qint64>{49152, 49152, 6, 0};
    // Enough blocks for several rounds of the worker threads: still in order.
    QList<qint64> many;
    for (int b = 0; b < 60; ++b)
        many << 49152;
    many << 6 << 0;
    QTest::newRow("60 x 49152 + 6") << qint64(60 * 16384 + 2) << many;
}

void TestMixdown::progressPerBlock()
{
    QFETCH(qint64, frames);
    QFETCH(QList<qint64>, progress);
    Args args;
    args.present[0] = true;
    WriteTake({0}, 24, frames);
    QVERIFY(RunMix(args));
    QCOMPARE(m_lnProgress, progress);
    QCOMPARE(ReadRiffFile(OutputPath()).data, SampleBytes({0, 0}, 0, frames, 24));
}

// Done and told done: the new mixdown in place; else the older one as it
// was and a message. The sources never change.
void TestMixdown::WalkMixdown(const QString& planName)
{
    Args args;
    args.present[0] = args.present[1] = true;
    args.pan[0] = 0;
    args.pan[1] = 2;
    WriteTake({0, 1}, 24, 2000);
    const QByteArray sources = Digest(m_lczFiles);
    QVERIFY(RunMix(args));
    const QByteArray mixed = Digest({OutputPath()});
    QSignalSpy messages(global_pLogger, &MessageLoging::signal_message);
    fixture::tyFaultWalkJob job;
    job.folders = QStringList{m_czOut, m_czDay};
    job.begin = [&] {
        messages.clear();
        return fixture::RemoveTree(m_czOut) && QDir().mkpath(m_czOut) && QFile::copy(m_lczFiles.at(0), OutputPath());
    };
    job.run = [&] { return RunMix(args); };
    job.load = [&] { QSoundPerform().InitFilesZZ(m_czOut + "/ABC123MX", "WAV"); };
    job.check = [&](bool done, bool mayBeDone) {
        const QByteArray now = Digest({OutputPath()});
        if (Digest(m_lczFiles) != sources)
            return QString("sources changed");
        if (done)
            return now == mixed ? QString() : QString("not mixed");
        if (messages.isEmpty())
            return QString("not told");
        return now == Digest({m_lczFiles.at(0)}) || (mayBeDone && now == mixed) ? QString() : QString("output changed");
    };
    const fixture::tyFaultWalk walk = fixture::WalkDiskFaults(job, planName);
    QVERIFY2(walk.lczFaults.isEmpty(), qPrintable(walk.lczFaults.join('\n')));
    QVERIFY(walk.nCalls > 0);
}

void TestMixdown::failuresLeaveNothing_data()
{
    QTest::addColumn<QString>("fault");
    QTest::addColumn<QString>("message");   // empty: no message of the engine's own
    const QString disk = "Not enough disk space on drive\n%1\nProcess stopped.";
    QTest::newRow("free space +9 MiB") << "free9" << disk;
    QTest::newRow("nothing routed") << "unrouted" << "No track of\nABC123\nis routed to the left or right side.\nProcess stopped.";
    QTest::newRow("8-bit source") << "bits8" << "Unsupported audio format in\n%2\n(mono 16 or 24-bit PCM files only).";
    QTest::newRow("float source") << "float" << "Unsupported audio format in\n%2\n(mono 16 or 24-bit PCM files only).";
    QTest::newRow("another rate") << "rate" << "The track files of this take do not agree:\n%2\nhas another sample rate or width.";
    QTest::newRow("truncated") << "truncated" << "The audio data of\n%2\nis shorter than its header says.";
    QTest::newRow("missing track") << "missing" << "";
    QTest::newRow("output past 4 GiB") << "huge" << "The new file\n%3\nwould hold 4831969934 bytes, more than a WAV file can (4 GiB).\nProcess stopped.";
    QTest::newRow("vanished destination") << "nodest" << "Writing the stereo mixdown\n%3\nfailed: No such file or directory.\nProcess stopped.";
    // A card (a network volume) that reports the failed write only when
    // the written file is closed: the output's own, then its metadata pass's.
    QTest::newRow("close of the output fails") << "close1" << "Writing the stereo mixdown\n%3\nfailed: Input/output error.\nProcess stopped.";
    QTest::newRow("close after its metadata fails") << "close2" << "Writing the metadata of the stereo mixdown\n%3\nfailed: Input/output error.\nProcess stopped.";
    QTest::newRow("cancel in the first block") << "cancel1" << "";
    QTest::newRow("cancel in a middle block") << "cancel2" << "";
    // Each disk call of a mixdown over an older output failed in turn.
    for (const auto& plan : fixture::DiskFaultPlans())
        QTest::newRow(qPrintable("each call failing: " + plan.first)) << "walk " + plan.first << QString();
}

void TestMixdown::failuresLeaveNothing()
{
    QFETCH(QString, fault);
    QFETCH(QString, message);
    if (fault.startsWith("walk "))
        return WalkMixdown(fault.mid(5));
    Args args;
    args.present[0] = args.present[1] = true;
    args.pan[0] = 0;
    args.pan[1] = 2;
    WriteTake({0, 1}, 24, 60000);
    const QString second = m_lczFiles.at(1);
    const RiffInfo info = ReadRiffFile(second);
    QFile::copy(m_lczFiles.at(0), OutputPath());   // an older output
    const QByteArray older = Digest({OutputPath()});

    CancelFlag cancel{false};
    if (fault == "free9" || fault == "free10") {
        // The estimate is 360000 bytes: 0 MiB.
        const qint64 free = (fault == "free9" ? 9 : 10) * 1048576LL;
        SetFreeSpaceFunction([free](const QString&) { return free; });
    } else if (fault == "unrouted") {
        args.excluded[0] = true;
        args.pan[1] = 3;
    } else if (fault == "bits8") {
        QVERIFY(Patch(second, info.Find("fmt ")->payloadOffset + 12, QByteArray("\x01\x00\x08\x00", 4)));
    } else if (fault == "float") {
        QVERIFY(Patch(second, info.Find("fmt ")->payloadOffset, QByteArray("\x03\x00", 2)));
    } else if (fault == "rate") {
        QVERIFY(Patch(second, info.Find("fmt ")->payloadOffset + 4, QByteArray("\x44\xAC\x00\x00", 4)));
    } else if (fault == "truncated") {
        QVERIFY(QFile::resize(second, info.dataOffset + 1000));
    } else if (fault == "huge") {
        // 2.25 GiB of audio per track (holes): the stereo output cannot be a WAV file.
        SetFreeSpaceFunction([](const QString&) { return qint64(-1); });
        for (int i = 0; i < m_lczFiles.size(); ++i)
            QVERIFY(WriteSparseCopy(m_lczFiles.at(i), BuildMonoFile(m_Spec, i), 0x90000000u));
    } else if (fault == "missing") {
        args.present[5] = true;
    } else if (fault == "nodest") {
        QVERIFY(QDir(m_czOut).removeRecursively());
    } else if (fault.startsWith("close")) {
        tyDiskFaultPlan plan;
        plan.eKind = DiskCall::Close;
        plan.nNth = fault.right(1).toInt();
        DiskFaults::Arm(plan);
    } else if (fault == "cancel1") {
        cancel = true;
    } else if (fault == "cancel2") {
        m_OnProgress = [&cancel, this](qint64) {
            if (m_lnProgress.size() == 2)
                cancel = true;
        };
    }
    const QByteArray sources = Digest(m_lczFiles);
    QSignalSpy messages(global_pLogger, &MessageLoging::signal_message);
    QVERIFY(!RunMix(args, &cancel));
    const int closesFailed = DiskFaults::Failed();
    DiskFaults::Disarm();
    QCOMPARE(closesFailed, fault.startsWith("close") ? 1 : 0);

    if (!message.isEmpty()) {
        QCOMPARE(messages.size(), 1);
        QCOMPARE(messages.at(0).at(0).toString(), QString("Mixdown"));
        // %1: the destination's volume folder, %2: the faulty source, %3: the output.
        const QString expected = QString(message)
                                     .replace("%1", QPath(m_czOut + "/").GetDrive())
                                     .replace("%2", second)
                                     .replace("%3", OutputPath());
        QCOMPARE(messages.at(0).at(1).toString(), expected);
    } else if (fault.startsWith("cancel")) {
        QCOMPARE(messages.size(), 0);
        const QList<qint64> expected = fault == "cancel1" ? QList<qint64>{49152, 0} : QList<qint64>{49152, 49152, 0};
        QCOMPARE(m_lnProgress, expected);
    }
    QCOMPARE(Digest(m_lczFiles), sources);
    if (fault != "nodest") {
        QCOMPARE(Entries(m_czOut), QStringList{"ABC123MX.WAV"});
        QCOMPARE(Digest({OutputPath()}), older);
    }
    QCOMPARE(Entries(m_czDay).size(), m_lczFiles.size());

    // With 10 MiB to spare the same run goes through.
    if (fault == "free9") {
        SetFreeSpaceFunction([](const QString&) { return 10 * 1048576LL; });
        QVERIFY(RunMix(args, &cancel));
    }
}

void TestMixdown::fullDiskLeavesNothing()
{
    Args args;
    args.present[0] = args.present[1] = true;
    WriteTake({0, 1}, 24, 200000);   // 1.2 MB of output
    SetFreeSpaceFunction([](const QString&) { return qint64(-1); });
    QString how;
    const bool held = RunOnFullVolume(m_czOut, 512 * 1024, [&](const QString& folder) {
        const QString older = folder + "/ABC123MX.WAV";
        QFile file(older);
        if (!file.open(QIODevice::WriteOnly) || file.write("older") != 5)
            return false;
        file.close();
        QSoundMixer mixer;
        mixer.m_szDestinationFolder = folder + "/";
        mixer.SetFilesParams(m_czDay + "/", m_Spec.id, args.separators, "WAV");
        QStringList texts;
        QObject::connect(global_pLogger, &MessageLoging::signal_message, global_pLogger,
                         [&texts](const QString&, const QString& text) { texts << text; });
        const bool ran = mixer.BounceStereoMixdown(args.present, args.steps, args.pan, args.excluded, args.pairs, 0, nullptr);
        QObject::disconnect(global_pLogger, &MessageLoging::signal_message, global_pLogger, nullptr);
        // The message names the output and the system's reason.
        const QString cause = QString::fromLocal8Bit(std::strerror(how.contains("tmpfs") ? ENOSPC : EFBIG));
        return !ran && texts.size() == 1 && texts.first().startsWith("Writing the stereo mixdown\n" + older)
               && texts.first().contains(cause) && Entries(folder) == QStringList{"ABC123MX.WAV"}
               && file.open(QIODevice::ReadOnly) && file.readAll() == "older";
    }, &how);
    QVERIFY2(held, qPrintable(how));
}

// The mixdown's tiled loops against the engine's block kernels (the take's
// arithmetic), over every 16-bit value and a spread of 24-bit ones; the same
// for the clip into stereo frames.
void TestMixdown::fusedLoopsMatchBlockKernels()
{
    for (int width : {2, 3}) {
        const int samples = QSoundMixer::kBlockBytes / width;
        std::vector<unsigned char> block(size_t(QSoundMixer::kBlockBytes));
        for (int round = 0; round < (width == 2 ? 3 : 8); ++round) {
            for (int i = 0; i < samples; ++i) {
                const int v = width == 2 ? (round * samples + i) % 65536 - 32768
                                         : int((quint32(round * samples + i) * 2654435761u) >> 8) - 8388608;
                for (int b = 0; b < width; ++b)
                    block[size_t(i * width + b)] = static_cast<unsigned char>(v >> (8 * b));
            }
            for (int dB : {-12, -9, -6, -3, 0, 3, 6, 9, 12, 5}) {
                std::vector<int> work(QSoundMixer::kBlockBytes), acc(static_cast<size_t>(samples)), acc2(static_cast<size_t>(samples));
                QSoundMixer::Volume(block.data(), work.data(), dB, width);
                mixkernels::Accumulate(block.data(), samples, width, dB, mixkernels::Target::Both, acc.data(), acc2.data());
                for (int i = 0; i < samples; ++i) {
                    if (acc[size_t(i)] != work[size_t(i * width)] || acc2[size_t(i)] != acc[size_t(i)])
                        QFAIL(qPrintable(QString("width %1, %2 dB, sample %3").arg(width).arg(dB).arg(i)));
                }
                // The clipped stereo frames against the block kernels' clip
                // and cross: the sums on the left, three times them
                // backwards on the right; a run that ends inside a vector.
                const int count = samples - 5;
                std::vector<int> right(acc.size()), rightWork(work.size());
                for (int i = 0; i < count; ++i) {
                    right[size_t(i)] = 3 * acc[size_t(count - 1 - i)];
                    rightWork[size_t(i * width)] = right[size_t(i)];
                }
                QByteArray leftBytes(QSoundMixer::kBlockBytes, 0), rightBytes(QSoundMixer::kBlockBytes, 0);
                QByteArray expected(2 * QSoundMixer::kBlockBytes, 0);
                QSoundPerform::Ecretage(work.data(), leftBytes.data(), width, count * width);
                QSoundPerform::Ecretage(rightWork.data(), rightBytes.data(), width, count * width);
                QSoundPerform::Cross(expected.data(), leftBytes.data(), rightBytes.data(), width, count * width);
                for (int outWidth : {width, 2}) {
                    QByteArray frames(2 * QSoundMixer::kBlockBytes, 0);
                    mixkernels::ClipInterleave(acc.data(), right.data(), count, width, outWidth,
                                               reinterpret_cast<unsigned char*>(frames.data()));
                    for (int i = 0; i < 2 * count; ++i) {
                        // 24 to 16 bits keeps the upper two bytes of each sample.
                        const int cut = width - outWidth;
                        if (frames.mid(i * outWidth, outWidth) != expected.mid(i * width + cut, outWidth))
                            QFAIL(qPrintable(QString("clip %1 to %2 bytes, %3 dB, sample %4").arg(width).arg(outWidth).arg(dB).arg(i)));
                    }
                    QVERIFY(frames.mid(2 * count * outWidth).count('\0') == frames.size() - 2 * count * outWidth);
                }
            }
        }
    }
    // The engine's M - S takes mid before side.
    std::vector<int> acc(size_t(QSoundMixer::kBlockBytes), 0), mid(acc.size(), 1000), side(acc.size(), 300);
    QSoundMixer::ProcessMmoinsS(acc.data(), mid.data(), side.data(), 3);
    QCOMPARE(acc[0], 700);
    QSoundMixer::ProcessMplusS(acc.data(), mid.data(), side.data(), 3);
    QCOMPARE(acc[3], 2000);
    QCOMPARE(acc[1], 0);
}

// The first source sets the length; a shorter one is silence past its end
// (not the previous block's bytes), a longer one is cut.
void TestMixdown::sourcesOfOtherLengths_data()
{
    QTest::addColumn<int>("firstFrames");
    QTest::addColumn<int>("secondFrames");
    QTest::newRow("second shorter") << 60000 << 20000;
    QTest::newRow("second longer") << 20000 << 60000;
}

void TestMixdown::sourcesOfOtherLengths()
{
    QFETCH(int, firstFrames);
    QFETCH(int, secondFrames);
    Args args;
    args.present[0] = args.present[1] = true;
    args.pan[0] = 0;
    args.pan[1] = 2;
    WriteTake({0, 1}, 24, firstFrames);
    TakeSpec second = MonoTake("ABC123", {1});
    second.frames = quint32(secondFrames);
    QVERIFY(!fixture::WriteTake(m_czDay, second).files.isEmpty());
    QVERIFY(RunMix(args));

    const QByteArray left = SampleBytes({0}, 0, firstFrames, 24);
    QByteArray right = SampleBytes({1}, 0, qMin(firstFrames, secondFrames), 24);
    right.append(QByteArray(left.size() - right.size(), '\0'));
    QByteArray expected;
    for (int f = 0; f < firstFrames; ++f)
        expected.append(left.mid(f * 3, 3)).append(right.mid(f * 3, 3));
    QCOMPARE(ReadRiffFile(OutputPath()).data, expected);
}

// The copy worker sets its flag from another thread while the mixdown runs.
void TestMixdown::cancelFromAnotherThread()
{
    Args args;
    args.present[0] = true;
    WriteTake({0}, 24, 60000);
    CancelFlag cancel{false};
    // Standard threads and promises, whose hand-over a race detector sees.
    std::promise<void> started, flagged;
    std::future<void> flaggedSeen = flagged.get_future();
    m_OnProgress = [&](qint64 bytes) {
        if (bytes != 49152 || m_lnProgress.size() != 1)
            return;
        started.set_value();
        flaggedSeen.wait();
    };
    bool result = true;
    std::thread worker([&] { result = RunMix(args, &cancel); });
    started.get_future().wait();
    cancel = true;
    flagged.set_value();
    worker.join();
    QVERIFY(!result);
    QCOMPARE(m_lnProgress, (QList<qint64>{49152, 0}));
    QCOMPARE(Entries(m_czOut), QStringList());
}

// The spread loop hands every block to write in order, whatever computer
// finished it when, and writes nothing past a failed or cancelled block.
void TestMixdown::spreadBlocksInOrder_data()
{
    QTest::addColumn<int>("workers");
    QTest::addColumn<int>("blocks");
    QTest::addColumn<int>("failAt");      // -1: none
    QTest::addColumn<int>("cancelAt");    // -1: none
    QTest::newRow("the caller alone") << 1 << 9 << -1 << -1;
    QTest::newRow("seven computers") << 7 << 301 << -1 << -1;
    QTest::newRow("failed read") << 4 << 120 << 77 << -1;
    QTest::newRow("failed first block") << 3 << 50 << 0 << -1;
    QTest::newRow("cancelled") << 5 << 120 << -1 << 41;
}

void TestMixdown::spreadBlocksInOrder()
{
    QFETCH(int, workers);
    QFETCH(int, blocks);
    QFETCH(int, failAt);
    QFETCH(int, cancelAt);
    const int block = QSoundMixer::kBlockBytes;
    const quint32 dataSize = quint32(blocks * block - 100);
    std::vector<std::atomic<bool>> busy(static_cast<size_t>(workers));
    std::atomic<bool> shared{false};
    QList<int> written, failed;
    QList<qint64> progress;
    CancelFlag cancel{false};
    const takeop::LoopEnd end = takeop::RunBlocksSpread(
        dataSize, &cancel, workers, 16,
        [&](int worker, qint64 start, int n, unsigned char* out) {
            if (worker < 0 || worker >= workers || busy[size_t(worker)].exchange(true))
                shared = true;
            const int index = int(start / block);
            std::memcpy(out, &index, sizeof index);
            std::memcpy(out + 4, &n, sizeof n);
            busy[size_t(worker)] = false;
            return index == failAt ? -1 : 8;
        },
        [&](qint64 start, int) { failed << int(start / block); },
        [&](const unsigned char* out, int bytes) {
            int index = 0, n = 0;
            std::memcpy(&index, out, sizeof index);
            std::memcpy(&n, out + 4, sizeof n);
            if (bytes != 8 || n != (index == blocks - 1 ? block - 100 : block))
                return false;
            written << index;
            if (index == cancelAt)
                cancel = true;
            return true;
        },
        [&](qint64 bytes) { progress << bytes; });
    QVERIFY(!shared);
    const int last = failAt >= 0 ? failAt : cancelAt >= 0 ? cancelAt + 1 : blocks;
    QCOMPARE(written.size(), last);
    for (int i = 0; i < written.size(); ++i)
        QCOMPARE(written.at(i), i);
    QCOMPARE(failed, failAt >= 0 ? QList<int>{failAt} : QList<int>{});
    QCOMPARE(int(end), int(failAt >= 0 ? takeop::LoopEnd::Failed
                           : cancelAt >= 0 ? takeop::LoopEnd::Cancelled : takeop::LoopEnd::Done));
    QCOMPARE(progress.size(), written.size() + 1);
    QCOMPARE(progress.last(), qint64(0));
}

// A base name under six characters: the reference's last 10 bytes are the
// name, "0000" and zeros, nothing beyond the field.
void TestMixdown::headerOfShortName()
{
    takeop::TakeSources sources;
    sources.m_Fmt.nSampleRate = 48000;
    sources.m_bHasBext = true;
    std::memset(sources.m_Bext.szOriginatorReference, 'x', sizeof(sources.m_Bext.szOriginatorReference));
    takeop::tyOutputLayout layout;
    layout.nBitsPerSample = 24;
    layout.nDataSize = 6;
    const QByteArray header = takeop::OutputHeader(sources, "AB", layout);
    const RiffInfo info = ParseRiff(header + QByteArray(6, '\1'));
    QCOMPARE(info.originatorReference, QByteArray(22, 'x') + QByteArray("AB0000\0\0\0\0", 10));
    QCOMPARE(info.riffSize, quint32(header.size() - 8 + 6));
    QCOMPARE(info.ChunkIds(), (QStringList{"fmt ", "bext", "data"}));
    QCOMPARE(int(info.byteRate), 48000 * 6);
}

QTEST_GUILESS_MAIN(TestMixdown)
#include "test_mixdown.moc"
