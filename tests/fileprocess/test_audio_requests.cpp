// The audio requests of the copy engine on synthetic takes whose tracks each
// hold one constant sample value, so every output channel tells which track
// reached it with which gain; their codes; and the progress accounting.
#include "fileprocess/qfilecopier.h"
#include "fileprocess/subprogress.h"
#include "tests/fileprocess/copierprobe.h"
#include "tests/support/fixturevariants.h"
#include "tests/support/fixturewriter.h"
#include "tests/support/riffbytes.h"
#include "tests/support/riffreader.h"
#include "tests/take/sparsetake.h"

#include <QDir>
#include <QFile>
#include <QTemporaryDir>
#include <QtTest>
#include <cmath>

using namespace fixture;

namespace {
constexpr int kBits = 24;
constexpr int kFrames = 4800;

int Level(int slot) { return 1000 * (slot + 1); }

QByteArray Dc(int value, qint64 frames)
{
    QByteArray bytes;
    for (qint64 f = 0; f < frames; ++f)
        for (int b = 0; b < kBits / 8; ++b)
            bytes.append(char((value >> (8 * b)) & 0xFF));
    return bytes;
}

bool Patch(const QString& path, qint64 offset, const QByteArray& bytes)
{
    QFile file(path);
    return file.open(QIODevice::ReadWrite) && file.seek(offset) && file.write(bytes) == bytes.size();
}

// Marks a mono track file as a recorded mix track (its bext type).
bool MarkMix(const QString& path)
{
    QFile file(path);
    if (!file.open(QIODevice::ReadWrite))
        return false;
    QByteArray bytes = file.readAll();
    const int at = bytes.indexOf("aTYP=mono");
    if (at < 0)
        return false;
    return file.seek(at) && file.write("aTYP=mxdn") == 9;
}

int SampleAt(const QByteArray& data, int channels, int frame, int channel)
{
    const int width = kBits / 8;
    const auto* p = reinterpret_cast<const unsigned char*>(data.constData()) + (frame * channels + channel) * width;
    int v = p[0] | p[1] << 8 | p[2] << 16;
    return (v & 0x800000) ? v - 0x1000000 : v;
}

// The layouts of files of other takes bearing a take's names (see
// TestAudioRequests::WriteTake): row name, layout.
QList<QPair<const char*, QString>> BesideLayouts()
{
    return {{"beside another take's copies in the first form", "copies"},
            {"beside another take's file in its slot, first form", "one"},
            {"beside another take's track named like the take", "take name"},
            {"beside another maker's two-channel file named like the take", "foreign"}};
}

QStringList Entries(const QString& folder)
{
    return QDir(folder).entryList(QDir::AllEntries | QDir::Hidden | QDir::NoDotAndDotDot, QDir::Name);
}

// "pan0=0 mute1 vol0=2 swap0 min=7 rot=2,0,1 compact"
ProcessSettings Settings(const QString& text)
{
    ProcessSettings s;
    for (const QString& item : text.split(' ', Qt::SkipEmptyParts)) {
        const QString key = item.section('=', 0, 0), value = item.section('=', 1);
        auto slotOf = [&](const char* prefix) { return key.mid(int(strlen(prefix))).toInt(); };
        if (key.startsWith("pan"))
            s.pan[slotOf("pan")] = short(value.toInt());
        else if (key.startsWith("vol"))
            s.volume[slotOf("vol")] = short(value.toInt());
        else if (key.startsWith("mute"))
            s.mute[slotOf("mute")] = true;
        else if (key.startsWith("swap"))
            s.swapMS[slotOf("swap")] = true;
        else if (key == "min")
            s.minTrack = value.toInt();
        else if (key == "compact")
            s.compact = true;
        else if (key == "rot") {
            const QStringList parts = value.split(',');
            for (int i = 0; i < parts.size(); ++i)
                s.rotation[i] = parts.at(i).toInt();
        }
    }
    return s;
}
}

class TestAudioRequests : public QObject
{
    Q_OBJECT
private slots:
    void init();
    void mixdowns_data();
    void mixdowns();
    void interleaves_data();
    void interleaves();
    void failuresLeaveNothing_data();
    void failuresLeaveNothing();
    void cancelGivesCanceled_data();
    void cancelGivesCanceled();
    void settingsOnWriteProtectedCard();
    void progressAccounting_data();
    void progressAccounting();

private:
    // A mono take ABC123 of the slotList, slot s holding Level(s); msPair makes
    // slotList 0 and 1 an M/S pair. beside: files of other takes that bear
    // its names ("" none; "copies": the take's files "ABC123#01".., beside
    // another take's named "ABC123_01"..; "one": its one file "ABC123-1"
    // beside another take's "ABC123_01"; "take name": another take's track
    // named "ABC123.WAV"; "foreign": another maker's two-channel file so
    // named), each of them holding -Level(s).
    void WriteTake(const QList<int>& slotList, const QList<int>& mixSlots = {}, bool msPair = false,
                   const QString& beside = QString());
    // Copies the take's first track with the flag; the errors' codes.
    QList<int> Run(int flag, const QString& settings, const QString& destination = QString());

    QTemporaryDir m_Dir;
    QString m_czDay, m_czOut;
    QStringList m_lczFiles;
};

void TestAudioRequests::init()
{
    static int run = 0;
    m_czDay = m_Dir.path() + "/day" + QString::number(++run);
    m_czOut = m_czDay + "_out";
    QDir().mkpath(m_czDay);
    QDir().mkpath(m_czOut);
}

void TestAudioRequests::WriteTake(const QList<int>& slotList, const QList<int>& mixSlots, bool msPair,
                                  const QString& beside)
{
    TakeSpec spec = MonoTake("ABC123", slotList);
    spec.bits = kBits;
    spec.frames = kFrames;
    if (msPair) {
        spec.tracks[0].inGrid = "MIC_1=0x2,";
        spec.tracks[1].inGrid = "MIC_2=0x3,";
    }
    for (TrackSpec& track : spec.tracks)
        track.separator = beside == "copies" ? '#' : beside == "one" ? '-' : '_';
    if (beside == "one")
        spec.numberStyle = TrackNumberStyle::OneChar;
    m_lczFiles = fixture::WriteTake(m_czDay, spec).files;
    QCOMPARE(m_lczFiles.size(), slotList.size());
    for (int i = 0; i < slotList.size(); ++i) {
        QVERIFY(Patch(m_lczFiles.at(i), ReadRiffFile(m_lczFiles.at(i)).dataOffset, Dc(Level(slotList.at(i)), kFrames)));
        if (mixSlots.contains(slotList.at(i)))
            QVERIFY(MarkMix(m_lczFiles.at(i)));
    }
    TakeSpec other = spec;
    other.id = "OTH123";
    other.numberStyle = TrackNumberStyle::TwoDigit;
    QMap<QString, int> named;   // another take's file -> its track
    if (beside == "copies" || beside == "one") {
        for (int i = 0; i < (beside == "one" ? 1 : slotList.size()); ++i)
            named.insert(QStringLiteral("ABC123_%1.WAV").arg(slotList.at(i) + 1, 2, 10, QLatin1Char('0')), i);
    } else if (beside == "take name") {
        named.insert("ABC123.WAV", 0);
    } else if (beside == "foreign") {
        QVERIFY(WriteForeignFile(m_czDay + "/ABC123.WAV", ForeignSpec()));
    }
    for (auto file = named.cbegin(); file != named.cend(); ++file) {
        const QString path = m_czDay + "/" + file.key();
        QVERIFY(WriteBytes(path, BuildMonoFile(other, file.value())));
        QVERIFY(Patch(path, ReadRiffFile(path).dataOffset, Dc(-Level(slotList.at(file.value())), kFrames)));
    }
}

QList<int> TestAudioRequests::Run(int flag, const QString& settings, const QString& destination)
{
    QFileCopier copier;
    CopierProbe probe(&copier);
    if (!settings.isNull())
        copier.setProcessSettings(m_czDay + "/ABC123", Settings(settings));
    copier.copy(m_lczFiles.first(), destination.isEmpty() ? m_czOut : destination,
                QFileCopier::CopyFlags(flag) | QFileCopier::NonInteractive);
    probe.WaitDone();
    return probe.Codes();
}

void TestAudioRequests::mixdowns_data()
{
    QTest::addColumn<QList<int>>("slotList");
    QTest::addColumn<QList<int>>("mixSlots");
    QTest::addColumn<bool>("msPair");
    QTest::addColumn<int>("flag");
    QTest::addColumn<QString>("settings");
    QTest::addColumn<double>("left");
    QTest::addColumn<double>("right");
    QTest::addColumn<QString>("beside");
    const int copyMix = QFileCopier::CopyMixdown, mix = QFileCopier::ProcessMixdown;
    QTest::newRow("mix roles 20/21") << QList<int>{0, 1, 20, 21} << QList<int>{20, 21} << false << copyMix
                                     << QString() << 21000.0 << 22000.0 << QString();
    QTest::newRow("one mix track") << QList<int>{0, 1, 20} << QList<int>{20} << false << copyMix << QString()
                                   << 21000.0 << 21000.0 << QString();
    QTest::newRow("no settings: all, both sides") << QList<int>{0, 1} << QList<int>{} << false << mix << QString()
                                                  << 3000.0 << 3000.0 << QString();
    QTest::newRow("pans") << QList<int>{0, 1} << QList<int>{} << false << mix << "pan0=0 pan1=2" << 1000.0
                          << 2000.0 << QString();
    QTest::newRow("mute") << QList<int>{0, 1} << QList<int>{} << false << mix << "mute1" << 1000.0 << 1000.0
                          << QString();
    QTest::newRow("+6 dB") << QList<int>{0, 1} << QList<int>{} << false << mix << "vol0=2"
                           << 1000 * std::pow(10.0, 6 / 20.0) + 2000 << 1000 * std::pow(10.0, 6 / 20.0) + 2000
                           << QString();
    QTest::newRow("-6 dB, left") << QList<int>{0} << QList<int>{} << false << mix << "vol0=6 pan0=0"
                                 << 1000 * std::pow(10.0, -6 / 20.0) << 0.0 << QString();
    QTest::newRow("M/S swapped") << QList<int>{0, 1} << QList<int>{} << true << mix << "swap0" << 3000.0 << -1000.0
                                 << QString();
    QTest::newRow("M/S not swapped") << QList<int>{0, 1} << QList<int>{} << true << mix << "" << 3000.0 << 3000.0
                                     << QString();
    // Of a take beside other takes' files bearing its names: its own sound.
    for (const auto& beside : BesideLayouts()) {
        const double level = beside.second == "one" ? 1000.0 : 3000.0;
        QTest::newRow(beside.first) << (beside.second == "one" ? QList<int>{0} : QList<int>{0, 1}) << QList<int>{}
                                    << false << mix << QString() << level << level << beside.second;
    }
}

void TestAudioRequests::mixdowns()
{
    QFETCH(QList<int>, slotList);
    QFETCH(QList<int>, mixSlots);
    QFETCH(bool, msPair);
    QFETCH(int, flag);
    QFETCH(QString, settings);
    QFETCH(double, left);
    QFETCH(double, right);
    QFETCH(QString, beside);
    WriteTake(slotList, mixSlots, msPair, beside);
    QCOMPARE(Run(flag, settings), QList<int>{});
    const RiffInfo out = ReadRiffFile(m_czOut + "/ABC123MX.WAV");
    QCOMPARE(int(out.channels), 2);
    QCOMPARE(out.data.size(), kFrames * 2 * 3);
    for (int frame : {0, kFrames / 2, kFrames - 1}) {
        QVERIFY2(std::abs(SampleAt(out.data, 2, frame, 0) - left) <= std::abs(left) * 0.01 + 1,
                 qPrintable(QString::number(SampleAt(out.data, 2, frame, 0))));
        QVERIFY2(std::abs(SampleAt(out.data, 2, frame, 1) - right) <= std::abs(right) * 0.01 + 1,
                 qPrintable(QString::number(SampleAt(out.data, 2, frame, 1))));
    }
}

void TestAudioRequests::interleaves_data()
{
    QTest::addColumn<QList<int>>("slotList");
    QTest::addColumn<int>("flag");
    QTest::addColumn<QString>("settings");
    QTest::addColumn<QString>("output");
    QTest::addColumn<QList<int>>("channels");   // the slot heard on each channel, -1 silence
    QTest::addColumn<QString>("beside");
    const int poly = QFileCopier::ProcessInterleave, rotate = QFileCopier::ProcessInterleaveRotate;
    QTest::newRow("5 tracks: 6 channels") << QList<int>{0, 1, 2, 3, 4} << poly << QString() << "PN"
                                          << QList<int>{0, 1, 2, 3, 4, -1} << QString();
    QTest::newRow("#MIN_TRACK 7: 8 channels") << QList<int>{0, 1, 2, 3, 4} << poly << "min=7" << "PN"
                                              << QList<int>{0, 1, 2, 3, 4, -1, -1, -1} << QString();
    QTest::newRow("muted track silent") << QList<int>{0, 1, 2} << poly << "mute1" << "PN"
                                        << QList<int>{0, -1, 2, -1} << QString();
    QTest::newRow("muted last track shortens") << QList<int>{0, 1, 2} << poly << "mute2" << "PN"
                                               << QList<int>{0, 1} << QString();
    QTest::newRow("rotation order") << QList<int>{0, 1, 2} << rotate << "rot=2,0,1" << "PR"
                                    << QList<int>{1, 2, 0, -1} << QString();
    QTest::newRow("rotation ignores the minimum") << QList<int>{0, 1} << rotate << "rot=1,0 min=7" << "PR"
                                                  << QList<int>{1, 0} << QString();
    // Of a take beside other takes' files bearing its names: its own sound,
    // copied as one file (beside another take's files in the first form)
    // or processed (beside a file of the take's name).
    for (const auto& beside : BesideLayouts()) {
        const bool one = beside.second == "one";
        const bool copy = one || beside.second == "copies";
        QTest::newRow(beside.first) << (one ? QList<int>{0} : QList<int>{0, 1})
                                    << (copy ? int(QFileCopier::CopyInterleave) : poly) << QString() << "PN"
                                    << (one ? QList<int>{0, -1} : QList<int>{0, 1}) << beside.second;
    }
}

void TestAudioRequests::interleaves()
{
    QFETCH(QList<int>, slotList);
    QFETCH(int, flag);
    QFETCH(QString, settings);
    QFETCH(QString, output);
    QFETCH(QList<int>, channels);
    QFETCH(QString, beside);
    WriteTake(slotList, {}, false, beside);
    QCOMPARE(Run(flag, settings), QList<int>{});
    const RiffInfo out = ReadRiffFile(m_czOut + "/ABC123" + output + ".WAV");
    QCOMPARE(int(out.channels), channels.size());
    QList<int> heard;
    for (int c = 0; c < channels.size(); ++c) {
        const int v = SampleAt(out.data, channels.size(), kFrames / 2, c);
        heard << (v == 0 ? -1 : v / 1000 - 1);
    }
    QCOMPARE(heard, channels);
}

void TestAudioRequests::failuresLeaveNothing_data()
{
    QTest::addColumn<QString>("kind");
    QTest::addColumn<int>("flag");
    QTest::addColumn<QString>("settings");
    QTest::addColumn<QList<int>>("codes");
    const int mix = QFileCopier::ProcessMixdown, poly = QFileCopier::ProcessInterleave;
    QTest::newRow("unequal files") << "unequal" << mix << QString() << QList<int>{16};
    QTest::newRow("no mix track") << "plain" << int(QFileCopier::CopyMixdown) << QString() << QList<int>{18};
    QTest::newRow("every track muted") << "plain" << poly << "mute0 mute1" << QList<int>{17};
    QTest::newRow("target the engine does not write") << "other name" << mix << QString() << QList<int>{18};
    QTest::newRow("missing source") << "missing" << poly << QString() << QList<int>{1};
    QTest::newRow("target exists, no overwrite") << "exists" << poly << QString() << QList<int>{2};
}

void TestAudioRequests::failuresLeaveNothing()
{
    QFETCH(QString, kind);
    QFETCH(int, flag);
    QFETCH(QString, settings);
    QFETCH(QList<int>, codes);
    WriteTake({0, 1});
    QString destination;
    QStringList before;
    if (kind == "unequal")
        QVERIFY(QFile(m_lczFiles.at(1)).resize(QFileInfo(m_lczFiles.at(1)).size() - 300));
    if (kind == "other name")
        destination = m_czOut + "/other.WAV";
    if (kind == "missing")
        QVERIFY(QFile::remove(m_lczFiles.first()));
    if (kind == "exists") {
        QFile old(m_czOut + "/ABC123PN.WAV");
        QVERIFY(old.open(QIODevice::WriteOnly) && old.write("older output") == 12);
        before << "ABC123PN.WAV";
    }
    QCOMPARE(Run(flag, settings, destination), codes);
    QCOMPARE(Entries(m_czOut), before);
}

void TestAudioRequests::cancelGivesCanceled_data()
{
    QTest::addColumn<int>("flag");
    QTest::addColumn<QString>("settings");
    QTest::newRow("interleave") << int(QFileCopier::ProcessInterleave) << QString();
    QTest::newRow("rotated interleave") << int(QFileCopier::ProcessInterleaveRotate) << "rot=1,0";
    QTest::newRow("mixdown") << int(QFileCopier::ProcessMixdown) << QString();
}

void TestAudioRequests::cancelGivesCanceled()
{
    QFETCH(int, flag);
    QFETCH(QString, settings);
    // Two tracks of 60 MB (sparse on disk): the interleave runs long enough
    // for a cancel sent at its first progress signal.
    TakeSpec spec = MonoTake("ABC123", {0, 1});
    spec.bits = kBits;
    spec.frames = kFrames;
    m_lczFiles.clear();
    for (int i = 0; i < 2; ++i) {
        m_lczFiles << m_czDay + "/" + TrackFileName(spec, i);
        QVERIFY(WriteSparseCopy(m_lczFiles.last(), BuildMonoFile(spec, i), 60000000));
    }
    QFileCopier copier;
    copier.setProgressInterval(1);
    CopierProbe probe(&copier);
    connect(&copier, &QFileCopier::progress, &copier, &QFileCopier::cancelAll);
    copier.setProcessSettings(m_czDay + "/ABC123", Settings(settings));
    copier.copy(m_lczFiles.first(), m_czOut, QFileCopier::CopyFlags(flag) | QFileCopier::NonInteractive);
    probe.WaitDone();
    QCOMPARE(probe.Codes(), QList<int>{13});
    QCOMPARE(Entries(m_czOut), QStringList());
}

void TestAudioRequests::settingsOnWriteProtectedCard()
{
    WriteTake({0, 1, 2});
    QVERIFY(QFile::setPermissions(m_czDay, QFile::ReadOwner | QFile::ExeOwner | QFile::ReadOther | QFile::ExeOther));
    const QList<int> codes = Run(QFileCopier::ProcessInterleave, "mute1");
    QFile::setPermissions(m_czDay, QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner);
    QCOMPARE(codes, QList<int>{});
    const RiffInfo out = ReadRiffFile(m_czOut + "/ABC123PN.WAV");
    QCOMPARE(int(out.channels), 4);
    QCOMPARE(SampleAt(out.data, 4, 0, 1), 0);
    QCOMPARE(Entries(m_czDay).size(), 3);   // nothing written beside the take
}

void TestAudioRequests::progressAccounting_data()
{
    QTest::addColumn<qint64>("requestSize");
    QTest::addColumn<qint64>("trackSize");
    QTest::addColumn<qint64>("firstProgress");
    QTest::addColumn<qint64>("finalSize");
    QTest::newRow("S 1000 / D 800") << qint64(1000) << qint64(800) << qint64(200) << qint64(1000);
    QTest::newRow("S 600 / D 800") << qint64(600) << qint64(800) << qint64(0) << qint64(800);
    QTest::newRow("3 GiB track") << qint64(100) << qint64(quint32(3u << 30)) << qint64(0)
                                 << qint64(quint32(3u << 30));
}

void TestAudioRequests::progressAccounting()
{
    QFETCH(qint64, requestSize);
    QFETCH(qint64, trackSize);
    QFETCH(qint64, firstProgress);
    QFETCH(qint64, finalSize);
    SubProgress sub;
    sub.Start(2, requestSize, trackSize);
    qint64 totalSize = requestSize, totalProgress = 0, growth = 0, delta = 0;
    QCOMPARE(sub.progress, firstProgress);
    QVERIFY(!sub.Feed(100, false, &growth, &delta));     // not due: no signal
    QVERIFY(sub.Feed(0, false, &growth, &delta));        // a zero count always signals
    totalSize += growth;
    totalProgress += delta;
    // The engine's remaining counts, then its closing 0.
    for (qint64 left = trackSize - 100; left > 0; left -= qMin<qint64>(left, 1 << 28))
        if (sub.Feed(qMin<qint64>(left, 1 << 28), true, &growth, &delta)) {
            totalSize += growth;
            totalProgress += delta;
        }
    QVERIFY(sub.Feed(0, false, &growth, &delta));
    totalSize += growth;
    totalProgress += delta;
    QCOMPARE(sub.progress, finalSize);
    QCOMPARE(sub.size, finalSize);
    QCOMPARE(totalProgress, finalSize);
    QCOMPARE(totalSize, finalSize);
    QVERIFY(sub.size > 0);
}

QTEST_GUILESS_MAIN(TestAudioRequests)
#include "test_audio_requests.moc"
