// The mono bounces and the M/S to X/Y conversion: their samples against
// hand-computed values, their names and tags, and the refusals and failures
// that must leave every source and every other file as it was.
#include "foundation/messageloging.h"
#include "foundation/platform/diskprobes.h"
#include "foundation/qpath.h"
#include "foundation/recordfiles.h"
#include "foundation/replacejournal.h"
#include "processing/qsoundmixer.h"
#include "soundfile/filestatus.h"
#include "soundfile/soundfile.h"
#include "take/soundperform.h"
#include "tests/support/diskfaultwalk.h"
#include "tests/support/fixturewriter.h"
#include "tests/support/riffreader.h"
#include "tests/support/scratchdir.h"

#include <QCryptographicHash>
#include <QDir>
#include <QSignalSpy>
#include <QTemporaryDir>
#include <QtTest>
#include <cstring>
#include <vector>

using namespace fixture;

namespace {
QByteArray Dc(int value, int bits, qint64 frames)
{
    QByteArray bytes;
    for (qint64 f = 0; f < frames; ++f)
        for (int b = 0; b < bits / 8; ++b)
            bytes.append(char((value >> (8 * b)) & 0xFF));
    return bytes;
}

QByteArray Digest(const QString& folder)
{
    QCryptographicHash hash(QCryptographicHash::Sha1);
    for (const QString& name : QDir(folder).entryList(QDir::Files | QDir::Hidden, QDir::Name)) {
        QFile file(folder + "/" + name);
        hash.addData(name.toUtf8());
        if (file.open(QIODevice::ReadOnly))
            hash.addData(file.readAll());
    }
    return hash.result();
}

QStringList Entries(const QString& folder)
{
    return QDir(folder).entryList(QDir::AllEntries | QDir::Hidden | QDir::NoDotAndDotDot, QDir::Name);
}

// The bounce's arrays: the given slots present, 0 dB, routed to both sides.
struct Args {
    bool present[24] = {};
    short steps[24];
    short pan[24];
    bool excluded[24] = {};
    bool pairs[12] = {};
    char separators[24];
    explicit Args(std::initializer_list<int> slotList)
    {
        std::fill(std::begin(steps), std::end(steps), short(4));
        std::fill(std::begin(pan), std::end(pan), short(1));
        std::fill(std::begin(separators), std::end(separators), '_');
        for (int slot : slotList)
            present[slot] = true;
    }
};

// Every sample of a mono file's data is value.
bool AllSamples(const QString& path, int value)
{
    const RiffInfo info = ReadRiffFile(path);
    const int width = info.bits / 8;
    return !info.data.isEmpty() && info.data == Dc(value, info.bits, info.data.size() / width);
}

// The steps of a commit met so far, and the folder whose record a reader
// elsewhere takes over at the second (see SetReplaceStepHook).
int g_nSteps = 0;
QString g_czTakenIn;
void TakeOverAtSecondStep()
{
    if (++g_nSteps != 2)
        return;
    for (const QString& name : QDir(g_czTakenIn).entryList({"*.nalvo-commit"}, QDir::Hidden | QDir::Files)) {
        const QString record = g_czTakenIn + "/" + name;
        QFile::rename(record, TakenOverRecordPath(record));
    }
}
}  // namespace

class TestBounce : public QObject
{
    Q_OBJECT
private slots:
    void initTestCase();
    void init();
    void cleanup();
    void msToXyValues_data();
    void msToXyValues();
    void msToXyDashNames();
    void msToXyFailuresKeepSources_data();
    void msToXyFailuresKeepSources();
    void bounceNamesAndSums();
    void bounceRefusals_data();
    void bounceRefusals();
    void patternArithmetic();
    void familyUpdate();

private:
    void WalkConversion(const QString& planName);
    // Destination m_czOut, the take TK0042 of m_czDay.
    void Prepare(QSoundMixer& mixer, Args& args)
    {
        mixer.m_szDestinationFolder = m_czOut + "/";
        mixer.SetFilesParams(m_czDay + "/", "TK0042", args.separators, "WAV");
    }
    // A take of DC tracks (slot, value) in m_czDay.
    QStringList WriteDcTake(const QString& folder, const QString& id, const QList<QPair<int, int>>& dc, int bits,
                            char separator = '_', quint32 frames = 30000);
    QTemporaryDir m_Dir;
    QString m_czDay;
    QString m_czOut;
    std::unique_ptr<QSignalSpy> m_pMessages;
};

void TestBounce::initTestCase() { global_pLogger = new MessageLoging(this); }

void TestBounce::init()
{
    const QString base = m_Dir.path() + "/" + QTest::currentTestFunction() + "_"
                         + QString(QTest::currentDataTag()).replace(' ', '_');
    m_czDay = base + "_day";
    m_czOut = base + "_out";
    QDir().mkpath(m_czDay);
    QDir().mkpath(m_czOut);
    m_pMessages = std::make_unique<QSignalSpy>(global_pLogger, &MessageLoging::signal_message);
}

void TestBounce::cleanup()
{
    DiskFaults::Disarm();
    SetWritabilityProbe(WritabilityProbe());
    SetDiskSyncFunction(DiskSyncFunction());
}

QStringList TestBounce::WriteDcTake(const QString& folder, const QString& id, const QList<QPair<int, int>>& dc,
                                    int bits, char separator, quint32 frames)
{
    QList<int> slotList;
    for (const auto& track : dc)
        slotList << track.first;
    TakeSpec spec = MonoTake(id, slotList);
    spec.bits = quint16(bits);
    spec.frames = frames;
    spec.film = true;
    for (TrackSpec& track : spec.tracks)
        track.separator = separator;
    const QStringList files = WriteTake(folder, spec).files;
    for (int i = 0; i < files.size(); ++i) {
        QFile file(files.at(i));
        const QByteArray data = Dc(dc.at(i).second, bits, frames);
        if (!file.open(QIODevice::ReadWrite) || !file.seek(ReadRiffFile(files.at(i)).dataOffset)
            || file.write(data) != data.size())
            return {};
    }
    return files;
}

void TestBounce::msToXyValues_data()
{
    QTest::addColumn<int>("bits");
    QTest::addColumn<int>("m");
    QTest::addColumn<int>("s");
    QTest::addColumn<int>("x");
    QTest::addColumn<int>("y");
    QTest::newRow("16-bit sum clipped") << 16 << 10000 << 30000 << 32767 << -20000;
    QTest::newRow("24-bit negative clip") << 24 << -8388608 << -1 << -8388608 << -8388607;
    QTest::newRow("16-bit plain") << 16 << 100 << -50 << 50 << 150;
}

void TestBounce::msToXyValues()
{
    QFETCH(int, bits);
    QFETCH(int, m);
    QFETCH(int, s);
    QFETCH(int, x);
    QFETCH(int, y);
    const QStringList files = WriteDcTake(m_czDay, "ABC123", {{0, m}, {1, s}}, bits);
    QCOMPARE(files.size(), 2);
    const RiffInfo before = ReadRiffFile(files.at(0));
    QSoundMixer mixer;
    QVERIFY(mixer.MStoXY(files.at(0), 0, files.at(1), 1));
    QCOMPARE(Entries(m_czDay), QStringList({"ABC123_01.WAV", "ABC123_02.WAV"}));
    QVERIFY(AllSamples(files.at(0), x));
    QVERIFY(AllSamples(files.at(1), y));
    const RiffInfo after = ReadRiffFile(files.at(0));
    QCOMPARE(after.ChunkIds(), before.ChunkIds());
    QCOMPARE(qint64(after.riffSize), after.fileSize - 8);
    QCOMPARE(after.DescriptionValue("aTYP"), QString("xy  "));
    QCOMPARE(after.ixml, before.ixml);
}

// "-" in the file names becomes "_"; a "-" in the folder stays.
void TestBounce::msToXyDashNames()
{
    const QString folder = m_czDay + "/day-1";
    QDir().mkpath(folder);
    const QStringList files = WriteDcTake(folder, "ABC123", {{2, 1000}, {3, 10}}, 24, '-');
    QCOMPARE(Entries(folder), QStringList({"ABC123-03.WAV", "ABC123-04.WAV"}));
    QSoundMixer mixer;
    QVERIFY(mixer.MStoXY(files.at(0), 2, files.at(1), 3));
    QCOMPARE(Entries(folder), QStringList({"ABC123_03.WAV", "ABC123_04.WAV"}));
    QVERIFY(AllSamples(folder + "/ABC123_03.WAV", 1010));
    QVERIFY(AllSamples(folder + "/ABC123_04.WAV", 990));
    QSoundFile film;
    QVERIFY(film.Open(folder + "/ABC123_04.WAV", 0) && film.ReadChunks(false, false));
    QCOMPARE(film.GetFilmNetFileName(), QString("ABC123_4.WAV"));
}

void TestBounce::msToXyFailuresKeepSources_data()
{
    QTest::addColumn<QString>("fault");
    for (const char* fault :
         {"write-protected", "other length", "other width", "missing S", "result name taken", "record unwritable",
          "M cannot be put back", "record taken over at the second move"})
        QTest::newRow(fault) << QString(fault);
    // Each disk call of an in-place conversion failed in turn.
    for (const auto& plan : DiskFaultPlans())
        QTest::newRow(qPrintable("each call failing: " + plan.first)) << "walk " + plan.first;
}

// Each failure: a message, false, the sources byte for byte as they were,
// no other file.
void TestBounce::msToXyFailuresKeepSources()
{
    QFETCH(QString, fault);
    if (fault.startsWith("walk "))
        return WalkConversion(fault.mid(5));
    // In place for the put-back row: M's name is the name X takes.
    QStringList files =
        WriteDcTake(m_czDay, "ABC123", {{0, 500}, {1, 20}}, 16, fault == "M cannot be put back" ? '_' : '-');
    if (fault == "other length" || fault == "other width") {
        const QStringList other = WriteDcTake(m_czOut, "XYZ789", {{1, 20}}, fault == "other width" ? 24 : 16, '-',
                                              fault == "other width" ? 30000 : 29999);
        QFile::remove(files.at(1));
        QVERIFY(QFile::copy(other.at(0), files.at(1)));
    } else if (fault == "missing S") {
        QFile::remove(files.at(1));
    } else if (fault == "M cannot be put back") {
        // A card without links: M moves aside; X cannot take its name, nor
        // can M return to it.
        tyDiskFaultPlan plan;
        plan.eKind = DiskCall::Rename;
        plan.nNth = 2;
        plan.bPersistent = plan.bNoLinks = plan.bNoRenameFlags = true;
        DiskFaults::Arm(plan);
        SetDiskSyncFunction([](const QVector<int>&) { return true; });
    } else if (fault == "record taken over at the second move") {
        // A reader elsewhere took the commit for an interrupted one (held
        // up past the age rule on a share without locks): the commit moves
        // nothing more and leaves its outputs to that reader, who finishes.
        g_nSteps = 0;
        g_czTakenIn = m_czDay;
        SetReplaceStepHook(&TakeOverAtSecondStep);
        auto unhook = qScopeGuard([] { SetReplaceStepHook(nullptr); });
        QVERIFY(!QSoundMixer().MStoXY(files.at(0), 0, files.at(1), 1));
        QCOMPARE(g_nSteps, 2);
        QVERIFY(m_pMessages->last().at(1).toString().contains("settled it; check the files"));
        QVERIFY(QSoundPerform().InitFilesZZ(AudioPathFileShortenedToRacine(files.at(0)), "WAV"));
        QCOMPARE(Entries(m_czDay), QStringList({"ABC123_01.WAV", "ABC123_02.WAV"}));
        return;
    } else if (fault == "result name taken") {
        QFile taken(m_czDay + "/ABC123_02.WAV");
        QVERIFY(taken.open(QIODevice::WriteOnly) && taken.write("taken") == 5);
    } else if (fault == "record unwritable") {
        // Only the record of the new names fails to reach the disk.
        SetDiskSyncFunction([](const QVector<int>& descriptors) {
            for (const int fd : descriptors) {
                if (QFileInfo(QStringLiteral("/proc/self/fd/%1").arg(fd)).symLinkTarget().endsWith(".nalvo-commit"))
                    return false;
            }
            return true;
        });
    } else {
        // Refuses every write once the sources were read.
        SetWritabilityProbe([](const QString&) { return false; });
    }
    const QByteArray before = Digest(m_czDay);
    QSoundMixer mixer;
    QVERIFY(!mixer.MStoXY(files.at(0), 0, files.at(1), 1));
    if (fault == "M cannot be put back") {
        // Told where M is; its record brings it back at the next load.
        DiskFaults::Disarm();
        QVERIFY(!QFileInfo::exists(files.at(0)));
        QVERIFY(m_pMessages->last().at(1).toString().contains("ABC123_01.WAV is kept as " + m_czDay + "/.ABC123_01.WAV.aside-"));
        QVERIFY(QSoundPerform().InitFilesZZ(AudioPathFileShortenedToRacine(files.at(1)), "WAV"));
    }
    // A missing file is also reported by the sound file that fails to open it.
    QVERIFY(m_pMessages->count() >= 1);
    // Told as the conversion's, with the system's reason.
    QVERIFY(fault != "record unwritable"
            || m_pMessages->last().at(1).toString().contains("the record of the conversion cannot be written: "
                                                             + QString::fromLocal8Bit(std::strerror(EIO))));
    QCOMPARE(Digest(m_czDay), before);
}

// Done and told done: X and Y in place; else, once the take is loaded
// again, the folder byte for byte as before and a message.
void TestBounce::WalkConversion(const QString& planName)
{
    QStringList files;
    QByteArray before;
    int told = 0;
    tyFaultWalkJob job;
    job.folders = QStringList{m_czDay};
    job.begin = [&] {
        files = RemoveTree(m_czDay) && QDir().mkpath(m_czDay)
                    ? WriteDcTake(m_czDay, "ABC123", {{0, 500}, {1, 20}}, 16)
                    : QStringList();
        before = Digest(m_czDay);
        told = m_pMessages->count();
        return files.size() == 2;
    };
    job.run = [&] { return QSoundMixer().MStoXY(files.at(0), 0, files.at(1), 1); };
    job.load = [&] { QSoundPerform().InitFilesZZ(AudioPathFileShortenedToRacine(files.at(0)), "WAV"); };
    job.check = [&](bool done, bool mayBeDone) {
        const bool converted = AllSamples(files.at(0), 520) && AllSamples(files.at(1), 480);
        if (done)
            return converted ? QString() : QString("not converted");
        if (m_pMessages->count() == told)
            return QString("not told");
        // Converted by the next load: told that the next load settles it,
        // never that the files were left as they were.
        QStringList texts;
        for (int i = told; i < m_pMessages->count(); ++i)
            texts << m_pMessages->at(i).at(1).toString();
        const QString wrong = ToldAgainstLoad(texts.join('\n'), converted);
        if (!wrong.isEmpty())
            return wrong;
        return Digest(m_czDay) == before || (mayBeDone && converted)
                   ? QString()
                   : "changed: " + Entries(m_czDay).join(' ');
    };
    const tyFaultWalk walk = WalkDiskFaults(job, planName);
    QVERIFY2(walk.lczFaults.isEmpty(), qPrintable(walk.lczFaults.join('\n')));
    QVERIFY(walk.nCalls > 0);
}

// TK0042 tracks 1..3 routed left, both, right: left = 1 + 2, right = 2 + 3;
// tracks 9 and 10 of the family, tagged 1008 and 1009; a file of the take
// already in the destination stays.
void TestBounce::bounceNamesAndSums()
{
    QVERIFY(!WriteDcTake(m_czDay, "TK0042", {{0, 100}, {1, 20}, {2, 3}}, 24).isEmpty());
    QFile sibling(m_czOut + "/TK0042_1.WAV");
    QVERIFY(sibling.open(QIODevice::WriteOnly) && sibling.write("keep") == 4);
    sibling.close();
    Args a({0, 1, 2});
    a.pan[0] = 0;
    a.pan[2] = 2;
    QSoundMixer mixer;
    Prepare(mixer, a);
    QVERIFY(mixer.BounceMono(a.present, a.steps, a.pan, a.excluded, a.pairs, false, 0, 0, false));
    QCOMPARE(Entries(m_czOut), QStringList({"TK0042_1.WAV", "TK0042_10.WAV", "TK0042_9.WAV"}));
    QVERIFY(AllSamples(m_czOut + "/TK0042_9.WAV", 120));
    QVERIFY(AllSamples(m_czOut + "/TK0042_10.WAV", 23));
    const struct {
        const char* file;
        const char* tag;
        const char* name;
        const char* index;
    } sides[] = {{"TK0042_9.WAV", "TK00421008", "Mix Left", "9"}, {"TK0042_10.WAV", "TK00421009", "Mix Right", "10"}};
    for (const auto& side : sides) {
        const RiffInfo out = ReadRiffFile(m_czOut + "/" + side.file);
        QCOMPARE(out.originatorReference.right(10), QByteArray(side.tag));
        QCOMPARE(out.DescriptionValue("aTYP"), QString("mxdn"));
        QCOMPARE(IxmlValue(out.ixml, "TRACK_LIST/TRACK/NAME"), QString(side.name));
        QCOMPARE(IxmlValue(out.ixml, "TRACK_LIST/TRACK/CHANNEL_INDEX"), QString(side.index));
        QSoundFile film;
        QVERIFY(film.Open(m_czOut + "/" + side.file, 0) && film.ReadChunks(false, false));
        QCOMPARE(film.GetFilmNetFileName(), QString(side.file));
        film.GetiXMLFileInfos();
        QCOMPARE(ComputeFileStatus(film), 0);
    }
    QCOMPARE(ReadRiffFile(m_czOut + "/TK0042_9.WAV").ixml.size(), ReadRiffFile(m_czOut + "/TK0042_10.WAV").ixml.size());
}

void TestBounce::bounceRefusals_data()
{
    QTest::addColumn<QString>("fault");
    for (const char* fault : {"take folder", "existing output", "nothing routed", "replace allowed"})
        QTest::newRow(fault) << QString(fault);
}

// Refusals keep every file of both folders; an allowed replace changes
// only the two outputs.
void TestBounce::bounceRefusals()
{
    QFETCH(QString, fault);
    QVERIFY(!WriteDcTake(m_czDay, "TK0042", {{0, 100}, {1, 20}}, 16).isEmpty());
    QFile older(m_czOut + "/TK0042_9.WAV");
    QVERIFY(older.open(QIODevice::WriteOnly) && older.write("older") == 5);
    older.close();
    Args a({0, 1});
    std::fill(std::begin(a.pan), std::end(a.pan), short(fault == "nothing routed" ? 3 : 1));
    QSoundMixer mixer;
    Prepare(mixer, a);
    mixer.m_szDestinationFolder = (fault == "take folder" ? m_czDay : m_czOut) + "/";
    mixer.SetReplaceExisting(fault == "replace allowed");
    const QByteArray day = Digest(m_czDay), out = Digest(m_czOut);
    const bool ran = mixer.BounceMono(a.present, a.steps, a.pan, a.excluded, a.pairs, false, 0, 0, false);
    QCOMPARE(Digest(m_czDay), day);
    if (fault == "replace allowed") {
        QVERIFY(ran);
        QVERIFY(AllSamples(m_czOut + "/TK0042_9.WAV", 120));
        QCOMPARE(Entries(m_czOut), QStringList({"TK0042_10.WAV", "TK0042_9.WAV"}));
        return;
    }
    QVERIFY(!ran);
    QCOMPARE(m_pMessages->count(), 1);
    QCOMPARE(Digest(m_czOut), out);
}

// The pattern is taken once per left track, and from the right side for a
// track on both; it is consumed sample by sample across blocks.
void TestBounce::patternArithmetic()
{
    const quint32 frames = 40000;   // three blocks at 16 bits, the last one partial
    QVERIFY(!WriteDcTake(m_czDay, "TK0042", {{0, 1000}, {1, 200}, {2, 30}, {3, 4}}, 16, '_', frames).isEmpty());
    Args a({0, 1, 2, 3});
    std::fill(std::begin(a.pan), std::end(a.pan), short(0));
    a.pan[2] = 1;   // both sides
    a.pan[3] = 2;
    std::vector<int> pattern(frames);
    for (quint32 i = 0; i < frames; ++i)
        pattern[i] = i < 30000 ? 5 : 7;
    QSoundMixer mixer;
    Prepare(mixer, a);
    QList<qint64> progress;
    connect(&mixer, &QSoundMixer::signal_ProgressSize, this, [&](qint64 bytes) { progress << bytes; });
    QVERIFY(!mixer.PaternMono(a.present, a.steps, a.pan, a.excluded, a.pairs, false, 0, 0, pattern.data(), frames - 1));
    QVERIFY(Entries(m_czOut).isEmpty());
    QVERIFY(mixer.PaternMono(a.present, a.steps, a.pan, a.excluded, a.pairs, false, 0, 0, pattern.data(), frames));
    const QByteArray left = ReadRiffFile(m_czOut + "/TK0042_9.WAV").data;
    const QByteArray right = ReadRiffFile(m_czOut + "/TK0042_10.WAV").data;
    QCOMPARE(left, Dc(1230 - 3 * 5, 16, 30000) + Dc(1230 - 3 * 7, 16, 10000));
    QCOMPARE(right, Dc(34 - 5, 16, 30000) + Dc(34 - 7, 16, 10000));
    QCOMPARE(progress, QList<qint64>({49152, 80000}));
}

// With the family update the destination's copy of the take gets its M/S
// pair as X/Y, the new file count, and every file shifted by two tracks.
void TestBounce::familyUpdate()
{
    const QStringList files = WriteDcTake(m_czDay, "TK0042", {{0, 300}, {1, 100}, {2, 7}, {3, 1}}, 16);
    QCOMPARE(files.size(), 4);
    for (const QString& file : files)
        QVERIFY(QFile::copy(file, m_czOut + "/" + QFileInfo(file).fileName()));
    Args a({0, 1, 2, 3});
    a.pairs[0] = true;
    QSoundMixer mixer;
    Prepare(mixer, a);
    QVERIFY(mixer.BounceMono(a.present, a.steps, a.pan, a.excluded, a.pairs, true, 0, 2, true));
    QCOMPARE(Entries(m_czOut), QStringList({"TK0042_11.WAV", "TK0042_12.WAV", "TK0042_3.WAV", "TK0042_4.WAV",
                                            "TK0042_5.WAV", "TK0042_6.WAV"}));
    QVERIFY(AllSamples(m_czOut + "/TK0042_3.WAV", 400));
    QVERIFY(AllSamples(m_czOut + "/TK0042_4.WAV", 200));
    QVERIFY(AllSamples(m_czOut + "/TK0042_11.WAV", 408));
    qint64 size = -1;
    for (const QString& name : Entries(m_czOut)) {
        const RiffInfo info = ReadRiffFile(m_czOut + "/" + name);
        QCOMPARE(IxmlValue(info.ixml, "FILE_SET/TOTAL_FILES"), QString("6"));
        QCOMPARE(IxmlValue(info.ixml, "TRACK_LIST/TRACK/CHANNEL_INDEX"), name.mid(7).section('.', 0, 0));
        QVERIFY(size < 0 || size == info.ixml.size());
        size = info.ixml.size();
    }
}

QTEST_GUILESS_MAIN(TestBounce)
#include "test_bounce.moc"
