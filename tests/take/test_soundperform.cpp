// Loading takes, their status and values, the sidecar, the metadata
// write-back, positioning in large files and the day loader's take object.
#include "foundation/fileinfolist.h"
#include "foundation/fileutil.h"
#include "foundation/platform/diskprobes.h"
#include "foundation/qpath.h"
#include "take/bwfmetadata.h"
#include "take/soundperform.h"
#include "tests/support/fixturevariants.h"
#include "tests/support/fixturewriter.h"
#include "tests/support/riffreader.h"
#include "tests/take/sparsetake.h"

#include <QDir>
#include <QFile>
#include <QTemporaryDir>
#include <QtTest>
#include <dirent.h>
#include <sys/time.h>

using namespace fixture;

namespace {

// The path a take is loaded from: folder + take root, or the poly file without ".WAV".
QString TakePathOf(const WrittenTake& written, const TakeSpec& spec)
{
    const QString first = written.files.value(0);
    return spec.poly ? first.left(first.size() - 4) : AudioPathFileShortenedToRacine(first);
}

QStringList Repeated(int count, const QString& text)
{
    QStringList list;
    for (int i = 0; i < count; ++i)
        list << text;
    return list;
}

int OpenDescriptors()
{
    int count = 0;
    if (DIR* dir = opendir("/proc/self/fd")) {
        while (readdir(dir))
            ++count;
        closedir(dir);
    }
    return count;
}

QByteArray AudioBytes(const QString& path)
{
    return ReadRiffFile(path).data;
}

QByteArray FileBytes(const QString& path)
{
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
}

} // namespace

class TestSoundPerform : public QObject
{
    Q_OBJECT
private slots:
    void init();
    void cleanup();

    void statusOfEveryBrokenVariant_data();
    void statusOfEveryBrokenVariant();
    void familiesAreFoundByEveryNamingForm_data();
    void familiesAreFoundByEveryNamingForm();
    void polyTakeValues();
    void valuesShownWithEachTemplate_data();
    void valuesShownWithEachTemplate();
    void pullDownFramesRunOnTheTimecodeClock();
    void filesAreClosedAfterLoading();
    void sidecarValuesAreClampedAndKeptApart();
    void saveKeepsFamilySizesAndAudio();
    void saveIsRefusedUnlessEveryFileIsWritable();
    void saveIsRefusedWhenTheProbeLocksOneMember();
    void editorSaveRoundTrip_data();
    void editorSaveRoundTrip();
    void positionsPastFourGiBUseSixtyFourBits();
    void playerLinkForwards();
    void dayLoaderCachesItsResult();
    void dayLoaderFindsEveryNamingForm();

private:
    QTemporaryDir* m_pDir = nullptr;
    QString m_czDay;
};

void TestSoundPerform::init()
{
    m_pDir = new QTemporaryDir;
    m_czDay = m_pDir->path() + QStringLiteral("/PROJ.BR1/2024-05-01.OVD/");
    QDir().mkpath(m_czDay);
    // The mirror folder lies below the working folder.
    QDir::setCurrent(m_pDir->path());
}

void TestSoundPerform::cleanup()
{
    SetWritabilityProbe(WritabilityProbe());
    SetFreeSpaceFunction(FreeSpaceFunction());
    delete m_pDir;
    m_pDir = nullptr;
}

void TestSoundPerform::statusOfEveryBrokenVariant_data()
{
    QTest::addColumn<int>("breakage");
    QTest::addColumn<int>("expected");
    for (const BreakageInfo& info : Breakages())
        QTest::newRow(info.name) << int(info.breakage) << info.expectedStatus;
}

void TestSoundPerform::statusOfEveryBrokenVariant()
{
    QFETCH(int, breakage);
    QFETCH(int, expected);
    // The family variants break the second member: they need two tracks.
    TakeSpec spec = MonoTake(QStringLiteral("BRK001"), expected < 0 ? QList<int>{0, 1} : QList<int>{0});
    const WrittenTake written = WriteBrokenTake(m_czDay, spec, Breakage(breakage));
    QVERIFY(!written.files.isEmpty());
    QSoundPerform take;
    const bool loaded = take.InitFilesZZ(TakePathOf(written, spec), QStringLiteral("WAV"));
    if (expected < 0) {
        QVERIFY(!loaded);
        QVERIFY(!take.m_pbPresent[0]);
        QVERIFY(take.m_czBaseName.isEmpty());
        return;
    }
    QVERIFY(loaded);
    QCOMPARE(int(take.m_nTakeStatus), expected);
}

void TestSoundPerform::familiesAreFoundByEveryNamingForm_data()
{
    QTest::addColumn<int>("style");
    QTest::addColumn<QString>("separators");
    QTest::addColumn<QList<int>>("slotList");
    QTest::newRow("two-digit") << int(NameStyle::Short) << "____" << QList<int>{0, 1, 2, 3};
    QTest::newRow("minus") << int(NameStyle::Short) << "----" << QList<int>{0, 1, 2, 3};
    QTest::newRow("hash") << int(NameStyle::Short) << "####" << QList<int>{0, 1, 2, 3};
    QTest::newRow("plus") << int(NameStyle::Short) << "++++" << QList<int>{0, 1, 2, 3};
    QTest::newRow("mixed with gaps") << int(NameStyle::Short) << "_-#+" << QList<int>{0, 1, 3, 11};
    QTest::newRow("long") << int(NameStyle::LongEquals) << "____" << QList<int>{0, 9, 23};
    QTest::newRow("long underscore") << int(NameStyle::LongUnderscore) << "____" << QList<int>{0, 9, 23};
}

void TestSoundPerform::familiesAreFoundByEveryNamingForm()
{
    QFETCH(int, style);
    QFETCH(QString, separators);
    QFETCH(QList<int>, slotList);
    for (const TrackNumberStyle numbers : {TrackNumberStyle::TwoDigit, TrackNumberStyle::OneChar}) {
        // Long names are written with two-digit numbers only ("__1" has no unique root).
        if (numbers == TrackNumberStyle::OneChar && style != int(NameStyle::Short))
            continue;
        TakeSpec spec = MonoTake(numbers == TrackNumberStyle::TwoDigit ? QStringLiteral("FAM001")
                                                                       : QStringLiteral("FAM002"),
                                 slotList);
        spec.nameStyle = NameStyle(style);
        spec.numberStyle = numbers;
        for (int i = 0; i < spec.tracks.size(); ++i)
            spec.tracks[i].separator = separators.at(i).toLatin1();
        const WrittenTake written = WriteTake(m_czDay, spec);
        QSoundPerform take;
        QVERIFY(take.InitFilesZZ(TakePathOf(written, spec), QStringLiteral("WAV")));
        QCOMPARE(int(take.m_nTakeStatus), 0);
        QCOMPARE(int(take.m_nFileCount), slotList.size());
        QVERIFY(!take.m_bPolyTake);
        for (int t = 0; t < 24; ++t)
            QCOMPARE(take.m_pbPresent[t], slotList.contains(t));
        for (int i = 0; i < slotList.size(); ++i) {
            QCOMPARE(take.m_pcSeparator[slotList.at(i)], separators.at(i).toLatin1());
            QCOMPARE(take.m_SndFile[slotList.at(i)].GetPath(), written.files.at(i));
        }
        QCOMPARE(take.IsLongName(), style != int(NameStyle::Short));
        QCOMPARE(take.IsFullUnderscore(), style == int(NameStyle::LongUnderscore));
        QCOMPARE(take.GetFirstTrack(), slotList.first());
        QCOMPARE(take.m_czTakeFolder, m_czDay);
        // A folder unchanged for a while is listed once and the family found
        // in the listing; a member removed since changes the folder's time.
        for (const int removed : {0, 1}) {
            if (removed)
                QVERIFY(QFile::remove(written.files.last()));
            const time_t past = ::time(nullptr) - 3600 * (removed + 1);
            const struct timeval times[2] = {{past, 0}, {past, 0}};
            QCOMPARE(::utimes(QFile::encodeName(m_czDay).constData(), times), 0);
            QSoundPerform listed;
            QVERIFY(listed.InitFilesZZ(TakePathOf(written, spec), QStringLiteral("WAV")));
            QCOMPARE(int(listed.m_nFileCount), slotList.size() - removed);
            for (int i = 0; i < slotList.size() - removed; ++i)
                QCOMPARE(listed.m_SndFile[slotList.at(i)].GetPath(), written.files.at(i));
        }
    }
    QSoundPerform missing;
    QVERIFY(!missing.InitFilesZZ(m_czDay + QStringLiteral("NOTAKE"), QStringLiteral("WAV")));
}

void TestSoundPerform::polyTakeValues()
{
    TakeSpec spec = PolyTake(QStringLiteral("POL001"), {0, 1, 4, 5});
    spec.tracks[0].function = QStringLiteral("L-MIX");
    spec.tracks[1].function = QStringLiteral("R-MIX");
    spec.tracks[2].inGrid = QStringLiteral("MIC_3=0x2,");   // M/S mid
    spec.tracks[3].inGrid = QStringLiteral("MIC_4=0x3,");   // M/S side
    spec.tracks[3].active = QStringLiteral("DISARMED");
    const WrittenTake written = WriteTake(m_czDay, spec);
    QSoundPerform take;
    QVERIFY(take.InitFilesZZ(TakePathOf(written, spec), QStringLiteral("WAV")));
    QCOMPARE(int(take.m_nTakeStatus), 0);
    QVERIFY(take.m_bPolyTake);
    QVERIFY(!take.m_bProcessedName);
    QCOMPARE(int(take.m_nFileCount), 1);
    QCOMPARE(int(take.m_nChannels), 4);
    QVERIFY(take.m_pbPresent[0]);
    QVERIFY(!take.m_pbPresent[1]);
    QCOMPARE(take.m_czBaseName, QStringLiteral("POL001PX"));
    const int expectedIndex[6] = {0, 1, 4, 5, -1, -1};
    for (int c = 0; c < 6; ++c) {
        QCOMPARE(take.m_pnOriginalTrackIndex[c], expectedIndex[c]);
        QCOMPARE(take.m_pnChannelIndex[c], expectedIndex[c]);
    }
    QCOMPARE(take.m_czTrackName[4], QStringLiteral("Trk5"));
    QCOMPARE(take.m_pnTrackMixRole[0], 2);
    QCOMPARE(take.m_pnTrackMixRole[1], 3);
    QCOMPARE(take.m_czTrackActive[0], QStringLiteral("YES"));
    QCOMPARE(take.m_czTrackActive[5], QStringLiteral("DISARMED"));
    QCOMPARE(take.m_czTrackActive[2], QStringLiteral("NO"));
    QVERIFY(take.m_pbMSPair[2]);
    QVERIFY(!take.m_pbMSPair[0]);
    QCOMPARE(take.m_czSizeText, QSoundPerform::SizeText(take.m_nTrueSize));

    // A track name set on a poly take goes into the poly file's TRACK entry.
    take.SetiXMLTrackName(4, QStringLiteral("Boom"));
    QCOMPARE(take.m_SndFile[0].GetiXMLPolyTrackName(2), QStringLiteral("Boom"));
}

void TestSoundPerform::valuesShownWithEachTemplate_data()
{
    QTest::addColumn<int>("templateNumber");
    QTest::newRow("0") << 0;
    QTest::newRow("2") << 2;
    QTest::newRow("4") << 4;
    QTest::newRow("5") << 5;
}

void TestSoundPerform::valuesShownWithEachTemplate()
{
    QFETCH(int, templateNumber);
    TakeSpec spec = MonoTake(QStringLiteral("VAL001"), {0, 2});
    spec.scTkTemplate = templateNumber;
    if (templateNumber >= 4)
        spec.advanced = {{2, QStringLiteral("12")}, {0, QStringLiteral("/")}, {1, QStringLiteral("A")}};
    spec.note = QStringLiteral("quiet please");
    spec.circled = true;
    spec.speed = QStringLiteral("029.970-DF");
    spec.tracks[1].name = QStringLiteral("Boom");
    spec.tracks[1].panPot = QStringLiteral("100,0");
    spec.tracks[1].inGrid = QStringLiteral("MIC_2=0x1,");
    spec.slates = {{48000, QStringLiteral("AUTO")}};
    spec.markers = {{96000, QStringLiteral("m")}};
    spec.frames = 48000 * 3;
    const WrittenTake written = WriteTake(m_czDay, spec);
    QSoundPerform take;
    QVERIFY(take.InitFilesZZ(TakePathOf(written, spec), QStringLiteral("WAV")));
    QCOMPARE(int(take.m_nTakeStatus), 0);

    QCOMPARE(take.m_nSampleRate, 48000);
    QCOMPARE(int(take.m_nBitsPerSample), 24);
    QCOMPARE(int(take.m_nChannels), 1);
    QCOMPARE(take.m_nDurationSeconds, 3u);
    QCOMPARE(take.m_nTotalSamples, 144000u);
    QCOMPARE(int(take.m_nFrameRate), 30);
    QVERIFY(take.m_bPullDown);
    QCOMPARE(take.m_czFrameRateText, QStringLiteral("29.97 DF"));
    QCOMPARE(take.m_nDurationFrames, quint64(89));   // 3 s of 29.97 frames
    // 10:00:00 of a 48 kHz time reference, in 30 fps frames less the pull-down.
    QCOMPARE(take.m_nStartFrames, quint64(36000) * 30 * 1000 / 1001);
    QCOMPARE(take.m_czSamplingText, QStringLiteral("48000 Hz / 24 bits"));
    QCOMPARE(take.m_czSizeText, QSoundPerform::SizeText(qint64(take.m_nTrueSize) * 2));
    QCOMPARE(take.m_czCreationDate, QStringLiteral("2024-05-01"));
    QCOMPARE(take.m_czCreationTime, QStringLiteral("10:00:00"));
    QCOMPARE(take.m_czCreatorText, QStringLiteral("BRISEL 7"));
    QVERIFY(take.m_czReferenceText.startsWith(QStringLiteral("ORVEX")));
    QCOMPARE(take.m_czFileTag, QStringLiteral("VAL001"));
    QCOMPARE(take.m_czScene, QStringLiteral("12A"));
    QCOMPARE(take.m_czIxmlScene.trimmed(), QStringLiteral("12A"));
    QCOMPARE(take.m_czTape, QStringLiteral("T001"));
    QCOMPARE(take.m_czUbits, QStringLiteral("$00000000").mid(take.m_czUbits.startsWith('$') ? 0 : 1));
    QCOMPARE(take.m_czIxmlNote.trimmed(), QStringLiteral("quiet please"));
    QCOMPARE(take.m_czBextNote, QStringLiteral("quiet please"));
    QVERIFY(take.m_bIxmlRead);
    QCOMPARE(take.m_czCircled.trimmed().toUpper(), QStringLiteral("TRUE"));
    QCOMPARE(take.m_czRefLevel, QStringLiteral("-18"));
    QCOMPARE(take.m_nScTkTemplate, templateNumber);
    QCOMPARE(take.m_czTakeNumber.trimmed(), QStringLiteral("3"));
    QCOMPARE(take.m_czTakeIndicator, QStringLiteral("t"));
    QCOMPARE(take.m_czTakePrefix, QStringLiteral("t"));
    if (templateNumber >= 4) {
        QCOMPARE(take.m_czAdvTemplateCompo, QStringLiteral("2,0,1"));
        QCOMPARE(take.m_AdvTemplateFields.value(2), QStringLiteral("12"));
        QCOMPARE(take.m_AdvTemplateFields.value(0), QStringLiteral("/"));
        QCOMPARE(take.m_AdvTemplateFields.value(1), QStringLiteral("A"));
        QCOMPARE(take.GetiXMLAdvancedScTkFieldsList(),
                 (QStringList{QStringLiteral("12"), QStringLiteral("/"), QStringLiteral("A")}));
    } else {
        QVERIFY(take.m_czAdvTemplateCompo.isEmpty());
    }

    QCOMPARE(take.m_czTrackName[0], QStringLiteral("Trk1"));
    QCOMPARE(take.m_czTrackName[2], QStringLiteral("Boom"));
    QCOMPARE(take.m_czTrackActive[2], QStringLiteral("YES"));
    QCOMPARE(take.m_czTrackActive[1], QStringLiteral("NO"));
    QCOMPARE(take.m_czTrackPanPot[2], QStringLiteral("100,0"));
    QCOMPARE(take.m_czTrackInGrid[2], QStringLiteral("MIC_2=0x1,"));
    QVERIFY(take.m_czTrackInGrid[1].isEmpty());
    QCOMPARE(take.m_pnChannelIndex[2], 2);
    QCOMPARE(take.m_pnChannelIndex[1], -1);

    bool automatic = false;
    QCOMPARE(take.GetSlatePointList(&automatic), QList<int>{48000});
    QVERIFY(automatic);
    QCOMPARE(take.GetMarkerPointList(), QList<int>{96000});
    QVERIFY(take.IsMarkPoint());
    // Frame offsets to the nearest 29.97 frame.
    QCOMPARE(take.m_pnSlateFrames[0], 30u);
    QCOMPARE(take.m_pnMarkerFrames[0], 60u);
}

void TestSoundPerform::pullDownFramesRunOnTheTimecodeClock()
{
    // At 29.97 a second of samples holds 30 / 1.001 frames: start, duration,
    // slates and markers all count on that clock, so that start + offset is
    // the timecode at the sync point.
    TakeSpec spec = MonoTake(QStringLiteral("PDN001"), {0});
    spec.speed = QStringLiteral("029.970-DF");
    spec.bits = 16;
    spec.frames = 48000 * 40;
    // 1599 samples past 10:00:00: 1 080 000.999 nominal frames.
    spec.timeReference = qint64(36000) * 48000 + 1599;
    spec.slates = {{48000u * 30, QStringLiteral("s")}};
    spec.markers = {{48000u * 35, QStringLiteral("m")}};
    const WrittenTake written = WriteTake(m_czDay, spec);
    QSoundPerform take;
    QVERIFY(take.InitFilesZZ(TakePathOf(written, spec), QStringLiteral("WAV")));
    QCOMPARE(int(take.m_nTakeStatus), 0);
    QVERIFY(take.m_bPullDown);
    QCOMPARE(take.m_nStartFrames, quint64(1078922));   // 1 080 000.999 / 1.001, not truncated twice
    QCOMPARE(take.m_nDurationFrames, quint64(1198));   // 40 s x 29.97
    QCOMPARE(take.m_pnSlateFrames[0], 899u);           // 30 s x 29.97 = 899.1
    QCOMPARE(take.m_pnMarkerFrames[0], 1049u);         // 35 s x 29.97 = 1048.95

    // 23.976 follows the same clock; 25 has none.
    spec.speed = QStringLiteral("023.976-ND");
    spec.id = QStringLiteral("PDN002");
    QVERIFY(take.InitFilesZZ(TakePathOf(WriteTake(m_czDay, spec), spec), QStringLiteral("WAV")));
    QCOMPARE(int(take.m_nFrameRate), 24);
    QCOMPARE(take.m_nDurationFrames, quint64(959));    // 40 s x 23.976 = 959.04
    QCOMPARE(take.m_pnSlateFrames[0], 719u);           // 719.28
    spec.speed = QStringLiteral("025.000-ND");
    spec.id = QStringLiteral("PDN003");
    QVERIFY(take.InitFilesZZ(TakePathOf(WriteTake(m_czDay, spec), spec), QStringLiteral("WAV")));
    QVERIFY(!take.m_bPullDown);
    QCOMPARE(take.m_nStartFrames, quint64(900000));    // 36000 s x 25 + 0.83 frame
    QCOMPARE(take.m_nDurationFrames, quint64(1000));
    QCOMPARE(take.m_pnSlateFrames[0], 750u);
    QCOMPARE(take.m_pnMarkerFrames[0], 875u);
}

void TestSoundPerform::filesAreClosedAfterLoading()
{
    QList<int> all;
    for (int t = 0; t < 24; ++t)
        all << t;
    TakeSpec spec = MonoTake(QStringLiteral("FD0001"), all);
    const WrittenTake written = WriteTake(m_czDay, spec);
    const int before = OpenDescriptors();
    QList<QSoundPerform*> takes;
    for (int i = 0; i < 5; ++i) {
        takes << new QSoundPerform;
        QVERIFY(takes.last()->InitFilesZZ(TakePathOf(written, spec), QStringLiteral("WAV")));
    }
    QCOMPARE(OpenDescriptors(), before);
    QVERIFY(takes.first()->OpenFiles());
    QCOMPARE(OpenDescriptors(), before + 24);
    takes.first()->CloseFiles();
    QCOMPARE(OpenDescriptors(), before);
    qDeleteAll(takes);
}

void TestSoundPerform::sidecarValuesAreClampedAndKeptApart()
{
    TakeSpec spec = MonoTake(QStringLiteral("SID001"), {0, 1});
    const WrittenTake written = WriteTake(m_czDay, spec);
    QList<KeywordEntry> entries;
    QStringList volume = Repeated(24, QStringLiteral("2"));
    volume[0] = QStringLiteral("37");
    volume[1] = QStringLiteral("-2");
    volume[2] = QStringLiteral("x");
    QStringList pan = Repeated(24, QStringLiteral("2"));
    pan[0] = QStringLiteral("-5");
    pan[1] = QStringLiteral("9");
    QStringList mute = Repeated(24, QStringLiteral("0"));
    mute[3] = QStringLiteral("1");
    QStringList names = Repeated(24, QStringLiteral("virtual"));
    entries << KeywordEntry{QStringLiteral("#PLAYER_TRACK_VOL"), volume.mid(0, 20)}
            << KeywordEntry{QStringLiteral("#PLAYER_TRACK_PAN"), pan}
            << KeywordEntry{QStringLiteral("#PLAYER_TRACK_MUTE"), mute}
            << KeywordEntry{QStringLiteral("#VIRT_TRACKNAMES"), names}
            << KeywordEntry{QStringLiteral("#VIRT_METADATA"),
                            {QStringLiteral("99Z"), QStringLiteral("p4"), QStringLiteral("n"),
                             QStringLiteral("1"), QStringLiteral("T9")}};
    QVERIFY(WriteKeywordFile(m_czDay + QStringLiteral("SID001.idh"), entries));

    QSoundPerform take;
    QVERIFY(take.InitFilesZZ(TakePathOf(written, spec), QStringLiteral("WAV")));
    QCOMPARE(take.SidecarPath(), m_czDay + QStringLiteral("SID001.idh"));
    QCOMPARE(int(take.m_pnTrackVolume[0]), 8);
    QCOMPARE(int(take.m_pnTrackVolume[1]), 0);
    QCOMPARE(int(take.m_pnTrackVolume[2]), 0);
    QCOMPARE(int(take.m_pnTrackVolume[5]), 2);
    QCOMPARE(int(take.m_pnTrackVolume[23]), 4);   // missing field: default
    QCOMPARE(int(take.m_pnTrackPan[0]), 0);
    QCOMPARE(int(take.m_pnTrackPan[1]), 2);
    QVERIFY(take.m_pbTrackMute[3]);
    QVERIFY(!take.m_pbTrackMute[2]);
    for (int p = 0; p < 12; ++p)
        QVERIFY(take.m_pbSwapMS[p]);   // key missing: M/S decoding on
    // Virtual values are kept apart and never replace what the files say.
    QVERIFY(take.m_bVirtTrackNames);
    QCOMPARE(take.m_czVirtTrackNames[0], QStringLiteral("virtual"));
    QCOMPARE(take.m_czTrackName[0], QStringLiteral("Trk1"));
    QCOMPARE(take.m_lczVirtMetadata.value(0), QStringLiteral("99Z"));
    QCOMPARE(take.m_czScene, QStringLiteral("12A"));

    // A write-protected card reads the mirror copy, written after the
    // card's file.
    QFile card(m_czDay + QStringLiteral("SID001.idh"));
    QVERIFY(card.open(QIODevice::ReadWrite)
            && card.setFileTime(QDateTime::currentDateTime().addSecs(-60), QFileDevice::FileModificationTime));
    card.close();
    const QString mirror = QAll_GetMirrorPathFolder();
    QDir().mkpath(mirror);
    QVERIFY(WriteKeywordFile(mirror + QStringLiteral("/SID001.idh"),
                             QList<KeywordEntry>{KeywordEntry{QStringLiteral("#PLAYER_TRACK_VOL"), Repeated(24, QStringLiteral("6"))},
                              KeywordEntry{QStringLiteral("#PLAYER_SWAP_MS"), Repeated(12, QStringLiteral("0"))}}));
    SetWritabilityProbe([this](const QString& path) { return !path.startsWith(m_czDay.chopped(1)); });
    QVERIFY(take.InitFilesZZ(TakePathOf(written, spec), QStringLiteral("WAV")));
    QVERIFY(take.m_bReadOnlyFolder);
    QVERIFY(take.m_bReadOnlyFile);
    QCOMPARE(int(take.m_pnTrackVolume[0]), 6);
    QVERIFY(!take.m_pbSwapMS[0]);
}

void TestSoundPerform::saveKeepsFamilySizesAndAudio()
{
    TakeSpec spec = MonoTake(QStringLiteral("SAV001"), {0, 1, 2, 5});
    spec.bits = 16;
    const WrittenTake written = WriteTake(m_czDay, spec);
    QList<QByteArray> audio;
    for (const QString& path : written.files)
        audio << AudioBytes(path);
    const QString takePath = TakePathOf(written, spec);

    QSoundPerform take;
    QVERIFY(take.InitFilesZZ(takePath, QStringLiteral("WAV")));
    const qint64 originalLength = take.m_SndFile[0].GetLayout().nFileLength;
    QString names[24];
    names[0] = QStringLiteral("A");
    names[1] = QStringLiteral("A much longer track name");
    names[2] = QString(200, QLatin1Char('x'));
    names[5] = QStringLiteral("Boom \u00e9");
    names[7] = QStringLiteral("absent but named");
    for (int t = 0; t < 24; ++t)
        take.SetiXMLTrackName(quint16(t), names[t]);
    take.SetiXMLOrvexTracknames(names, false);
    for (int t : {0, 1, 2, 5})
        take.m_SndFile[t].SetiXMLNote(t, QString(3000, QLatin1Char('n')));
    QVERIFY(take.UpdateiXMLChunk());

    // Every member has the same size, and the audio is untouched.
    qint64 size = -1;
    for (int i = 0; i < written.files.size(); ++i) {
        const RiffInfo info = ReadRiffFile(written.files.at(i));
        QCOMPARE(info.riffSize, quint32(info.fileSize - 8));
        QCOMPARE(info.data, audio.at(i));
        if (size < 0)
            size = info.fileSize;
        QCOMPARE(info.fileSize, size);
    }
    QVERIFY(size > originalLength);

    QSoundPerform reloaded;
    QVERIFY(reloaded.InitFilesZZ(takePath, QStringLiteral("WAV")));
    QCOMPARE(int(reloaded.m_nTakeStatus), 0);
    for (int t : {0, 1, 2, 5})
        QCOMPARE(reloaded.m_czTrackName[t], names[t]);
    QCOMPARE(reloaded.m_czTrackName[7], names[7]);
    QCOMPARE(reloaded.m_czIxmlNote.trimmed(), QString(3000, QLatin1Char('n')));
    QCOMPARE(reloaded.m_czScene, take.m_czScene);
    QCOMPARE(reloaded.m_nDataSize, take.m_nDataSize);

    // A second save with shorter texts keeps the sizes (texts are padded).
    for (int t = 0; t < 24; ++t)
        reloaded.SetiXMLTrackName(quint16(t), QStringLiteral("s"));
    QVERIFY(reloaded.UpdateiXMLChunk());
    for (const QString& path : written.files)
        QCOMPARE(QFileInfo(path).size(), size);
    QSoundPerform again;
    QVERIFY(again.InitFilesZZ(takePath, QStringLiteral("WAV")));
    QCOMPARE(int(again.m_nTakeStatus), 0);
    QCOMPARE(again.m_czTrackName[1], QStringLiteral("s"));
}

void TestSoundPerform::saveIsRefusedUnlessEveryFileIsWritable()
{
    TakeSpec spec = MonoTake(QStringLiteral("RDO001"), {0, 1});
    const WrittenTake written = WriteBrokenTake(m_czDay, spec, Breakage::RiffSizeWrong);
    const QByteArray secondBefore = [&] {
        QFile f(written.files.at(1));
        f.open(QIODevice::ReadOnly);
        return f.readAll();
    }();
    QSoundPerform take;
    QVERIFY(take.InitFilesZZ(TakePathOf(written, spec), QStringLiteral("WAV")));
    QCOMPARE(int(take.m_nTakeStatus), 8);
    take.SetiXMLTrackName(1, QStringLiteral("changed"));
    // The first file's layout is inconsistent: nothing is written, not even the sound second file.
    QVERIFY(!take.UpdateiXMLChunk());
    QFile f(written.files.at(1));
    QVERIFY(f.open(QIODevice::ReadOnly));
    QCOMPARE(f.readAll(), secondBefore);
}

void TestSoundPerform::saveIsRefusedWhenTheProbeLocksOneMember()
{
    // A write-protected member (seen through the writability probe) stops the
    // whole save before the first byte: the family keeps equal sizes.
    TakeSpec spec = MonoTake(QStringLiteral("PRB001"), {0, 1, 2});
    const WrittenTake written = WriteTake(m_czDay, spec);
    QList<QByteArray> before;
    for (const QString& path : written.files)
        before << FileBytes(path);
    QSoundPerform take;
    QVERIFY(take.InitFilesZZ(TakePathOf(written, spec), QStringLiteral("WAV")));
    const QString locked = written.files.at(1);
    SetWritabilityProbe([locked](const QString& path) { return path != locked; });
    for (int t = 0; t < 3; ++t)
        take.SetiXMLTrackName(quint16(t), QString(5000, QLatin1Char('x')));
    QVERIFY(!take.UpdateiXMLChunk());
    for (int i = 0; i < written.files.size(); ++i)
        QCOMPARE(FileBytes(written.files.at(i)), before.at(i));

    // A disk without room for the grown chunks: refused before the first
    // member grows. Texts that fit the chunks need no room.
    SetWritabilityProbe(WritabilityProbe());
    SetFreeSpaceFunction([](const QString&) { return qint64(4096); });
    QVERIFY(!take.UpdateiXMLChunk());
    for (int i = 0; i < written.files.size(); ++i)
        QCOMPARE(FileBytes(written.files.at(i)), before.at(i));
    SetFreeSpaceFunction([](const QString&) { return qint64(0); });
    for (int t = 0; t < 3; ++t)
        take.SetiXMLTrackName(quint16(t), QStringLiteral("short"));
    QVERIFY(take.UpdateiXMLChunk());
    QCOMPARE(ReadRiffFile(written.files.at(1)).fileSize, qint64(before.at(1).size()));
    SetFreeSpaceFunction(FreeSpaceFunction());
}

void TestSoundPerform::editorSaveRoundTrip_data()
{
    QTest::addColumn<bool>("poly");
    QTest::addColumn<QList<int>>("channelIndexes");   // CHANNEL_INDEX of the poly entries; empty: the slots'
    QTest::newRow("mono") << false << QList<int>();
    QTest::newRow("poly") << true << QList<int>();
    // Tracks 3 and 4 are in no entry: the loader gives them the two entries
    // left over, and the name edits go to those.
    QTest::newRow("poly, index repeated and past the channels") << true << QList<int>{1, 1, 40};
}

void TestSoundPerform::editorSaveRoundTrip()
{
    // The editor's save: bext lines per open file, iXML setters in memory,
    // then the names and one chunk rewrite; three rounds with growing texts.
    QFETCH(bool, poly);
    QFETCH(QList<int>, channelIndexes);
    TakeSpec spec = poly ? PolyTake(QStringLiteral("EDT001"), {0, 2, 3})
                         : MonoTake(QStringLiteral("EDT002"), {0, 2, 3});
    for (int c = 0; c < channelIndexes.size(); ++c)
        spec.tracks[c].channelIndex = channelIndexes.at(c);
    TakeSpec withSlate = spec;
    withSlate.slates = {{4800, QStringLiteral("AUTO")}};
    const WrittenTake written = WriteTake(m_czDay, withSlate);
    QList<QByteArray> audio;
    for (const QString& path : written.files)
        audio << AudioBytes(path);
    for (int round = 0; round < 3; ++round) {
        QSoundPerform take;
        QVERIFY(take.InitFilesZZ(TakePathOf(written, spec), QStringLiteral("WAV")));
        QCOMPARE(int(take.m_nTakeStatus), 0);
        QString names[24];
        for (int t = 0; t < 24; ++t)
            names[t] = QStringLiteral("R%1T%2").arg(round).arg(t) + QString(round * 200, QLatin1Char('z'));
        const QString scene = QStringLiteral("S%1").arg(round);
        const QString number = QString::number(round + 5);
        const QString note = QString(60 + round * 900, QLatin1Char('n'));
        for (int slot = 0; slot < 24; ++slot) {
            QSoundFile& file = take.m_SndFile[slot];
            if (take.m_pbPresent[slot] && file.Open(2)) {
                QVERIFY(file.InsertInBextDescr(scene, QStringLiteral("p"), number, 0, note.left(49),
                                               QStringLiteral("11223344"), QStringLiteral("TP01"),
                                               poly ? -1 : slot, names[slot].left(8)));
                file.SetiXMLScene(slot, scene, 0, false, {}, {});
                file.SetiXMLTake(slot, QStringLiteral("p"), number, 0);
                file.SetiXMLNote(slot, note);
                file.SetiXMLCircled(slot, QStringLiteral("YES"));
                file.SetiXMLFamilyName(slot, poly, scene, QStringLiteral("p"), number, 0);
                file.Close();
            }
            take.SetiXMLTrackName(quint16(slot), names[slot]);
        }
        take.SetiXMLOrvexTracknames(names, false);
        QVERIFY(take.UpdateiXMLChunk());

        qint64 size = -1;
        for (int i = 0; i < written.files.size(); ++i) {
            const RiffInfo info = ReadRiffFile(written.files.at(i));
            QCOMPARE(info.data, audio.at(i));
            QCOMPARE(info.riffSize, quint32(info.fileSize - 8));
            if (size < 0)
                size = info.fileSize;
            QCOMPARE(info.fileSize, size);
        }
        QSoundPerform again;
        QVERIFY(again.InitFilesZZ(TakePathOf(written, spec), QStringLiteral("WAV")));
        QCOMPARE(int(again.m_nTakeStatus), 0);
        QCOMPARE(again.m_czScene, scene);
        QCOMPARE(again.m_czIxmlScene, scene);
        QCOMPARE(again.m_czTakeIndicator + again.m_czTakeNumber, QStringLiteral("p") + number);
        QCOMPARE(again.m_czUbits, QStringLiteral("11223344"));
        QCOMPARE(again.m_czTape, QStringLiteral("TP01"));
        QCOMPARE(again.m_czIxmlNote, note);
        QCOMPARE(again.m_czBextNote, note.left(49));
        QCOMPARE(again.m_czCircled, QStringLiteral("YES"));
        for (int t : {0, 2, 3}) {
            QCOMPARE(again.m_czTrackName[t], names[t]);
            QCOMPARE(again.m_czTrackActive[t], QStringLiteral("YES"));
            QCOMPARE(again.m_czTrackInGrid[t], QStringLiteral("MIC_%1=0x1,").arg(t + 1));
        }
        QCOMPARE(again.m_czTrackActive[1], QStringLiteral("NO"));
        QCOMPARE(again.m_nSlateCount, 1u);
        QVERIFY(again.m_bAutoSlate);
    }
}

void TestSoundPerform::positionsPastFourGiBUseSixtyFourBits()
{
    QList<int> all;
    for (int t = 0; t < 24; ++t)
        all << t;
    TakeSpec spec = PolyTake(QStringLiteral("BIG001"), all);
    spec.frames = 10;
    const QString path = m_czDay + PolyFileName(spec);
    // 24 channels x 3 bytes: 3 456 000 bytes a second; 1242 s fill 4 292 352 000 bytes.
    const quint32 dataSize = 1242u * 3456000u;
    QVERIFY(WriteSparseCopy(path, BuildPolyFile(spec), dataSize));
    QSoundPerform take;
    QVERIFY(take.InitFilesZZ(path.chopped(4), QStringLiteral("WAV")));
    QCOMPARE(take.m_nDataSize, dataSize);
    QVERIFY(take.OpenFiles());
    const qint64 dataStart = take.m_SndFile[0].m_nDataOffset;
    // 1241 s: 4 288 896 000 bytes in, beyond what a 32-bit signed offset holds.
    QCOMPARE(take.SetFilesOnData(1241), dataStart + qint64(1241) * 3456000);
    // 1243 s would pass 2^32 in 32-bit arithmetic and wrap into the audio: held at the data end.
    QCOMPARE(take.SetFilesOnData(1243), dataStart + qint64(dataSize));
    QCOMPARE(take.SetFilesOnData(4000000000u), dataStart + qint64(dataSize));
    char byte = 0;
    QCOMPARE(take.m_SndFile[0].LectureDataBin(&byte, -1, 1), 1);  // the iXML chunk header follows
    take.CloseFiles();
    QCOMPARE(take.SetFilesOnData(1), qint64(-1));
}

namespace {
struct RecordingPlayer : ISfxPlayerLink {
    QStringList calls;
    void play(void* take) override { calls << (take ? QStringLiteral("play") : QStringLiteral("play null")); }
    void StopAll() override { calls << QStringLiteral("stop"); }
    void toggleSuspendResume() override { calls << QStringLiteral("pause"); }
    short GetSfxState() const override { return 2; }
};
}

void TestSoundPerform::playerLinkForwards()
{
    QSoundPerform take;
    take.Play();
    take.Stop();
    take.PlayPause();
    QCOMPARE(take.GetPlayerState(), short(0));
    RecordingPlayer player;
    take.m_pSfxPlayer = &player;
    take.Play();
    take.PlayPause();
    take.Stop();
    QCOMPARE(player.calls, (QStringList{QStringLiteral("play"), QStringLiteral("pause"), QStringLiteral("stop")}));
    QCOMPARE(take.GetPlayerState(), short(2));
    QCOMPARE(take.GetAccuratePlayerState(), short(2));
    take.ResetVariables();
    QCOMPARE(take.m_pSfxPlayer, static_cast<ISfxPlayerLink*>(&player));

    QSignalSpy spy(&take, &QSoundPerform::signal_SoundPerformSamplePosChanged);
    take.SetSample(4800);
    QCOMPARE(take.m_nSamplePos.load(), 4800u);
    QCOMPARE(spy.count(), 1);
    QCOMPARE(spy.at(0).at(0).value<unsigned long>(), 4800ul);
}

void TestSoundPerform::dayLoaderCachesItsResult()
{
    const QString media = m_pDir->path();
    TakeSpec good = MonoTake(QStringLiteral("DAY001"), {0, 1, 2});
    TakeSpec poly = PolyTake(QStringLiteral("DAY002"), {0, 1});
    TakeSpec bad = MonoTake(QStringLiteral("DAY003"), {0});
    WriteTake(m_czDay, good);
    WriteTake(m_czDay, poly);
    const WrittenTake badFiles = WriteBrokenTake(m_czDay, bad, Breakage::WrongFileKey);

    QBwfMetadata metadata;
    for (bool quick : {true, false}) {
        QCOMPARE(metadata.SetupInit(media, QStringLiteral("PROJ.BR1"), QStringLiteral("2024-05-01.OVD"),
                                    QStringLiteral("DAY001"), quick, false),
                 0);
        QCOMPARE(int(metadata.SoundPerform()->m_nFileCount), 3);
        QCOMPARE(metadata.SoundPerform()->m_czTrackName[2], QStringLiteral("Trk3"));
        QCOMPARE(metadata.SetupInit(media, QStringLiteral("PROJ.BR1"), QStringLiteral("2024-05-01.OVD"),
                                    QStringLiteral("DAY002"), quick, false),
                 0);
        QVERIFY(metadata.SoundPerform()->m_bPolyTake);
        QCOMPARE(metadata.SetupInit(media, QStringLiteral("PROJ.BR1"), QStringLiteral("2024-05-01.OVD"),
                                    QStringLiteral("DAY003"), quick, false),
                 1);
        // Selected again: the refusal stands, even after the file was mended behind its back.
        QFile::remove(badFiles.files.first());
        WriteTake(m_czDay, bad);
        QCOMPARE(metadata.SetupInit(media, QStringLiteral("PROJ.BR1"), QStringLiteral("2024-05-01.OVD"),
                                    QStringLiteral("DAY003"), quick, false),
                 1);
        QCOMPARE(metadata.SetupInit(media, QStringLiteral("PROJ.BR1"), QStringLiteral("2024-05-01.OVD"),
                                    QStringLiteral("ZZZ999"), quick, false),
                 2);
        WriteBrokenTake(m_czDay, bad, Breakage::WrongFileKey);
    }
}

void TestSoundPerform::dayLoaderFindsEveryNamingForm()
{
    // The day listing names a take by its first file: a track file stands for
    // its family, any other file (a poly file, long names included) for itself.
    const QString media = m_pDir->path();
    TakeSpec polyUnderscore = PolyTake(QStringLiteral("LUP001"), {0, 1});
    polyUnderscore.nameStyle = NameStyle::LongUnderscore;
    TakeSpec polyEquals = PolyTake(QStringLiteral("LUP002"), {0, 1});
    polyEquals.nameStyle = NameStyle::LongEquals;
    TakeSpec monoUnderscore = MonoTake(QStringLiteral("LUP003"), {0, 4});
    monoUnderscore.nameStyle = NameStyle::LongUnderscore;
    TakeSpec monoLetters = MonoTake(QStringLiteral("LUP004"), {9, 10});
    monoLetters.numberStyle = TrackNumberStyle::OneChar;
    for (const TakeSpec* spec : {&polyUnderscore, &polyEquals, &monoUnderscore, &monoLetters})
        QVERIFY(!WriteTake(m_czDay, *spec).files.isEmpty());

    QBwfMetadata metadata;
    for (const TakeSpec* spec : {&polyUnderscore, &polyEquals, &monoUnderscore, &monoLetters}) {
        QCOMPARE(metadata.SetupInit(media, QStringLiteral("PROJ.BR1"), QStringLiteral("2024-05-01.OVD"),
                                    spec->id, true, false),
                 0);
        const QSoundPerform* take = metadata.SoundPerform();
        QCOMPARE(take->m_bPolyTake, spec->poly);
        QCOMPARE(int(take->m_nFileCount), spec->poly ? 1 : spec->tracks.size());
        QCOMPARE(take->IsLongName(), spec->nameStyle != NameStyle::Short);
        QCOMPARE(take->IsFullUnderscore(), spec->nameStyle == NameStyle::LongUnderscore);
    }
}

QTEST_GUILESS_MAIN(TestSoundPerform)
#include "test_soundperform.moc"
