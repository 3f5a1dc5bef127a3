// The player thread with its sinks: states, pause, seek, a file cut while
// playing, and a play/seek/stop stress run for ThreadSanitizer.
#include "foundation/messageloging.h"
#include "player/audiosink.h"
#include "player/sfxplayer.h"
#include "player/sfxthread.h"
#include "take/soundperform.h"
#include "tests/player/playertestmedia.h"
#include "foundation/qpath.h"
#include "tests/support/demomedia.h"
#include "tests/support/riffreader.h"
#include "tests/support/tsandefaults.h"

#include <QDirIterator>

#include <QFile>
#include <QSignalSpy>
#include <QTemporaryDir>
#include <QtTest>

using namespace fixture;

namespace {

// Records the states as the main window gets them, and answers the end of
// the data with a stop, as the main window does.
struct StateLog {
    QList<short> states;
    void Attach(SfxPlayer* player)
    {
        QObject::connect(player, &SfxPlayer::signal_AudioMotorStateChange, player, [this, player](short state) {
            states.append(state);
            if (state == PlayerEndOfData)
                player->StopAll();
        });
    }
};

} // namespace

class TestPlayerThread : public QObject
{
    Q_OBJECT
private slots:
    void initTestCase();
    void cleanup();
    void playsToTheEndOnce();
    void pausesAndResumes();
    void seekWhilePlaying();
    void fileCutWhilePlaying();
    void stressPlaySeekStop();
    void sinkGetsTheTakesRate();
    void demoTakesPlayThroughEachSink_data();
    void demoTakesPlayThroughEachSink();

private:
    QString Take(const QString& id, int seconds, int bits, QList<int> values = {0x1000, 0x2000});

    QTemporaryDir m_Dir;
    std::shared_ptr<CaptureTap> m_pTap;
};

void TestPlayerThread::initTestCase()
{
    QVERIFY(m_Dir.isValid());
    global_pLogger = new MessageLoging(this);
}

void TestPlayerThread::cleanup()
{
    SetAudioSinkFactory(nullptr);
}

QString TestPlayerThread::Take(const QString& id, int seconds, int bits, QList<int> values)
{
    TakeSpec spec = MonoTake(id, {0, 1});
    spec.bits = quint16(bits);
    spec.frames = quint32(seconds) * 48000;
    return WriteConstantTake(m_Dir.path() + QLatin1Char('/') + id, spec, values);
}

void TestPlayerThread::playsToTheEndOnce()
{
    m_pTap = std::make_shared<CaptureTap>();
    std::shared_ptr<CaptureTap> tap = m_pTap;
    SetAudioSinkFactory([tap](const QAudioFormat& format) {
        return std::make_unique<PullingSink>(format, false, tap);
    });
    QSoundPerform take;
    QVERIFY(LoadTestTake(&take, Take(QStringLiteral("END001"), 1, 16)));
    SfxPlayer player;
    StateLog log;
    log.Attach(&player);
    take.m_pSfxPlayer = &player;
    player.setup(&take);
    for (int run = 0; run < 2; ++run) {
        // A second run starts again from the start second.
        log.states.clear();
        tap->Clear();
        take.Play();
        QTRY_COMPARE(log.states, (QList<short>{PlayerPlaying, PlayerEndOfData, PlayerStopped}));
        QCOMPARE(take.GetPlayerState(), short(PlayerStopped));
        // 48000 frames of 16-bit stereo, in whole blocks of 2520 frames.
        QCOMPARE(tap->Total(), qint64(20) * 2520 * 4);
        const QList<int> samples = StereoSamples(tap->Bytes());
        QCOMPARE(samples.first(), 0x3000);
        QCOMPARE(samples[2 * 47999 + 1], 0x3000);
        QCOMPARE(samples.last(), 0);
        QCOMPARE(take.m_nSamplePos.load(), 48000u);
    }
}

void TestPlayerThread::pausesAndResumes()
{
    SetAudioSinkFactory([](const QAudioFormat& format) { return std::make_unique<PullingSink>(format, true, nullptr); });
    QSoundPerform take;
    QVERIFY(LoadTestTake(&take, Take(QStringLiteral("PAU001"), 3, 24)));
    SfxPlayer player;
    StateLog log;
    log.Attach(&player);
    take.m_pSfxPlayer = &player;
    player.setup(&take);
    take.Play();
    QTRY_COMPARE(take.GetPlayerState(), short(PlayerPlaying));
    QTRY_VERIFY(take.m_nSamplePos.load() > 0);
    take.PlayPause();
    QTRY_COMPARE(take.GetPlayerState(), short(PlayerPaused));
    const quint32 paused = take.m_nSamplePos.load();
    QTest::qWait(150);
    QCOMPARE(take.m_nSamplePos.load(), paused);
    take.PlayPause();
    QTRY_COMPARE(take.GetPlayerState(), short(PlayerPlaying));
    QTRY_VERIFY(take.m_nSamplePos.load() > paused);
    {
        // The window holds the mixer lock: the sound and the cursor go on.
        const quint32 before = take.m_nSamplePos.load();
        std::lock_guard<std::mutex> lock(take.MixerLock());
        QTest::qSleep(400);
        QVERIFY(take.m_nSamplePos.load() > before + 9600);
    }
    // Real time: a tenth of a second moves the cursor by about 4800 frames.
    QVERIFY(take.m_pnVuTrackPre[1].load() > 0);
    take.Stop();
    QTRY_COMPARE(take.GetPlayerState(), short(PlayerStopped));
    QTRY_COMPARE(log.states, (QList<short>{PlayerPlaying, PlayerPaused, PlayerPlaying, PlayerStopped}));
}

void TestPlayerThread::seekWhilePlaying()
{
    SetAudioSinkFactory([](const QAudioFormat& format) { return std::make_unique<PullingSink>(format, true, nullptr); });
    QSoundPerform take;
    QVERIFY(LoadTestTake(&take, Take(QStringLiteral("SEK001"), 6, 24)));
    SfxPlayer player;
    StateLog log;
    log.Attach(&player);
    take.m_pSfxPlayer = &player;
    player.setup(&take);
    take.Play();
    QTRY_VERIFY(take.m_nSamplePos.load() > 0);
    take.m_nStartSecond = 5;
    // After the queued half second the cursor jumps to the new start.
    QTRY_VERIFY_WITH_TIMEOUT(take.m_nSamplePos.load() >= 5u * 48000u, 3000);
    QTRY_VERIFY_WITH_TIMEOUT(log.states.contains(PlayerEndOfData), 3000);
    QTRY_COMPARE(take.GetPlayerState(), short(PlayerStopped));
}

void TestPlayerThread::fileCutWhilePlaying()
{
    SetAudioSinkFactory([](const QAudioFormat& format) { return std::make_unique<PullingSink>(format, true, nullptr); });
    QSoundPerform take;
    QVERIFY(LoadTestTake(&take, Take(QStringLiteral("CUT002"), 4, 24)));
    // Messages come from the player thread; counted on this one.
    int messages = 0;
    connect(global_pLogger, &MessageLoging::signal_message, this, [&messages] { ++messages; },
            Qt::QueuedConnection);
    const QString second = take.m_SndFile[1].GetPath();
    SfxPlayer player;
    StateLog log;
    log.Attach(&player);
    take.m_pSfxPlayer = &player;
    player.setup(&take);
    take.Play();
    QTRY_VERIFY(take.m_nSamplePos.load() > 0);
    // The card is pulled: the second file loses all but its first second.
    QVERIFY(QFile::resize(second, ReadRiffFile(second).dataOffset + 48000 * 3));
    QTRY_VERIFY_WITH_TIMEOUT(log.states.contains(PlayerEndOfData), 4000);
    QTRY_COMPARE(take.GetPlayerState(), short(PlayerStopped));
    // What was read ahead before the cut still plays; the rest does not.
    QVERIFY(take.m_nSamplePos.load() < 4u * 48000u);
    QTRY_COMPARE(messages, 1);
    disconnect(global_pLogger, nullptr, this, nullptr);
}

void TestPlayerThread::stressPlaySeekStop()
{
    m_pTap = std::make_shared<CaptureTap>(false);
    std::shared_ptr<CaptureTap> tap = m_pTap;
    SetAudioSinkFactory([tap](const QAudioFormat& format) {
        return std::make_unique<PullingSink>(format, false, tap);
    });
    QSoundPerform take;
    QVERIFY(LoadTestTake(&take, Take(QStringLiteral("STR001"), 4, 24)));
    for (int round = 0; round < 3; ++round) {
        SfxPlayer player;
        take.m_pSfxPlayer = &player;
        player.setup(&take);
        for (int i = 0; i < 20; ++i) {
            take.Play();
            take.m_nStartSecond = quint32(i % 4);
            {
                std::lock_guard<std::mutex> lock(take.MixerLock());
                take.m_pnTrackVolume[i % 2] = short(i % 9);
                take.m_pbTrackMute[1] = i % 3 == 0;
                take.m_pnTrackPan[0] = short(i % 3);
            }
            if (i % 5 == 0)
                take.PlayPause();
            if (i % 5 == 4) {
                // Now and then long enough for the sink to pull.
                const qint64 before = tap->Total();
                QTRY_VERIFY(tap->Total() > before);
            }
            QTest::qWait(2);
            (void)take.m_pnVuTrackPost[0].load();
            (void)take.GetPlayerState();
            take.Stop();
        }
        // Deleted while it may still be playing.
        take.Play();
        QTest::qWait(5);
        take.m_pSfxPlayer = nullptr;
    }
    QVERIFY(tap->Total() > 0);
    QVERIFY(!take.FilesOpen());
}

void TestPlayerThread::sinkGetsTheTakesRate()
{
    // A 32 kHz take is not sent out as 48 kHz: the sink is asked for 32 kHz
    // (a device that refuses it gets the stream converted).
    std::atomic<int> rate{0};
    SetAudioSinkFactory([&rate](const QAudioFormat& format) {
        rate = format.sampleRate();
        return std::make_unique<PullingSink>(format, false, nullptr);
    });
    TakeSpec spec = MonoTake(QStringLiteral("RATE32"), {0});
    spec.sampleRate = 32000;
    spec.frames = 3200;
    QSoundPerform take;
    QVERIFY(LoadTestTake(&take, WriteConstantTake(m_Dir.path() + QStringLiteral("/rate"), spec, {0x1000})));
    SfxPlayer player;
    player.setup(&take);
    QTRY_COMPARE(rate.load(), 32000);
}

void TestPlayerThread::demoTakesPlayThroughEachSink_data()
{
    QTest::addColumn<QByteArray>("kind");
    QTest::addColumn<int>("takes");   // how many demo takes to play (real-time sinks play one)
    QTest::newRow("capture") << QByteArray("capture") << 1000;
    QTest::newRow("null") << QByteArray("null") << 1;
    // Without an output device the qt kind plays through the null sink.
    QTest::newRow("qt") << QByteArray("qt") << 1;
}

void TestPlayerThread::demoTakesPlayThroughEachSink()
{
    QFETCH(QByteArray, kind);
    QFETCH(int, takes);
    const QString folder = m_Dir.path() + QStringLiteral("/demo");
    if (!QFileInfo::exists(folder))
        QVERIFY(!WriteDemoVolume(folder).isEmpty());
    QStringList takePaths;
    QDirIterator files(folder, {QStringLiteral("*.WAV")}, QDir::Files, QDirIterator::Subdirectories);
    while (files.hasNext()) {
        const QString file = files.next();
        QSoundPerform probe;
        const QString path = probe.InitFilesZZ(file.chopped(4), QStringLiteral("WAV"))
                                 ? file.chopped(4)
                                 : AudioPathFileShortenedToRacine(file);
        if (!takePaths.contains(path))
            takePaths.append(path);
    }
    takePaths.sort();
    QVERIFY(takePaths.size() >= 10);
    qputenv("NALVO_AUDIO_SINK", kind);
    int played = 0;
    for (const QString& path : takePaths.mid(0, takes)) {
        QSoundPerform take;
        if (!take.InitFilesZZ(path, QStringLiteral("WAV")))
            continue;
        SfxPlayer player;
        StateLog log;
        log.Attach(&player);
        take.m_pSfxPlayer = &player;
        player.setup(&take);
        take.Play();
        QTRY_VERIFY2_WITH_TIMEOUT(log.states.contains(PlayerEndOfData), qPrintable(path), 10000);
        QTRY_COMPARE(take.GetPlayerState(), short(PlayerStopped));
        QCOMPARE(take.m_nSamplePos.load(), take.m_nTotalSamples);
        ++played;
    }
    qunsetenv("NALVO_AUDIO_SINK");
    QVERIFY(played >= std::min(takes, 10));
}

QTEST_GUILESS_MAIN(TestPlayerThread)
#include "test_player_thread.moc"
