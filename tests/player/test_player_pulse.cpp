// Playback through a real sound server: a private PulseAudio daemon whose
// sinks are recorded and matched sample by sample against the mix computed
// from the take's tracks. Whether every frame is heard is read from a pipe
// sink, which writes out all it plays as long as its reader keeps up
// (PipeRecorder), and the cursor is held against the
// same recording: a recording of a null sink's monitor misses the first
// 10-20 ms of every stream (PulseAudio's own pacat loses them the same way),
// and after an under-run under load its recording was seen to break the
// run of frames (most likely the sink taking back what it had rendered).
#include "foundation/messageloging.h"
#include "player/sfxplayer.h"
#include "player/pulsesink.h"
#include "player/sfxthread.h"
#include "take/soundperform.h"
#include "tests/player/playertestmedia.h"
#include "tests/player/pulsefollow.h"
#include "tests/support/tsandefaults.h"

#include <QBuffer>
#include <QElapsedTimer>
#include <QFile>
#include <QProcess>
#include <QTemporaryDir>
#include <QtTest>

#include <chrono>
#include <cmath>
#include <thread>

using namespace fixture;

class TestPlayerPulse : public QObject
{
    Q_OBJECT
private slots:
    void initTestCase();
    void cleanupTestCase();
    void init();
    void cleanup();
    void wholeTakeHeard_data();
    void wholeTakeHeard();
    void cursorFollowsTheSound_data();
    void cursorFollowsTheSound();
    void survivesServerRestart_data();
    void survivesServerRestart();
    void waitsEndWhenAsked();

private:
    bool Server(const QString& command);
    void UseSink(const QString& sink);
    QString Take(const QString& id, int rate, int bits, double seconds);
    void StartRecording(int rate);

    QTemporaryDir m_Media;
    QTemporaryDir m_Pulse{QDir::tempPath() + QStringLiteral("/nalvo-pulse-XXXXXX")};
    bool m_bRunning = false;
    PipeRecorder m_Recorder;
    int m_nPipeBytes = 0;
    QStringList m_Messages;
};

bool TestPlayerPulse::Server(const QString& command)
{
    QProcess script;
    script.setProcessChannelMode(QProcess::ForwardedChannels);
    script.start(QStringLiteral(NALVO_PULSE_SCRIPT), {command, m_Pulse.path()});
    return script.waitForFinished(20000) && script.exitStatus() == QProcess::NormalExit && script.exitCode() == 0;
}

void TestPlayerPulse::initTestCase()
{
    QVERIFY(m_Media.isValid() && m_Pulse.isValid());
    global_pLogger = new MessageLoging(this);
    connect(global_pLogger, &MessageLoging::signal_message, this,
            [this](QString, QString text, int, int, bool, int) { m_Messages.append(text); });
    // Before the first connection to the server.
    qputenv("PULSE_RUNTIME_PATH", (m_Pulse.path() + QStringLiteral("/runtime")).toLocal8Bit());
    qputenv("PULSE_CLIENTCONFIG", (m_Pulse.path() + QStringLiteral("/client.conf")).toLocal8Bit());
    qunsetenv("PULSE_SERVER");
    qunsetenv("NALVO_AUDIO_SINK");
    m_bRunning = Server(QStringLiteral("start"));
    if (!m_bRunning) {
        if (qgetenv("CI") == "true")
            QFAIL("The PulseAudio daemon did not start (pulseaudio and pulseaudio-utils are needed)");
        QSKIP("No PulseAudio daemon could be started here (pulseaudio and pulseaudio-utils are needed)");
    }
}

void TestPlayerPulse::cleanupTestCase()
{
    if (m_bRunning)
        Server(QStringLiteral("stop"));
}

void TestPlayerPulse::init()
{
    m_Messages.clear();
}

void TestPlayerPulse::cleanup()
{
    m_Recorder.Stop();
    // A case that failed with the server down leaves it running for the next.
    QProcess info;
    info.start(QStringLiteral("pactl"), {QStringLiteral("info")});
    if (m_bRunning && !(info.waitForFinished(5000) && info.exitCode() == 0))
        Server(QStringLiteral("start"));
}

void TestPlayerPulse::UseSink(const QString& sink)
{
    // Every start connects afresh and plays to the server's default sink.
    QCOMPARE(QProcess::execute(QStringLiteral("pactl"), {QStringLiteral("set-default-sink"), sink}), 0);
}

QString TestPlayerPulse::Take(const QString& id, int rate, int bits, double seconds)
{
    TakeSpec spec = MonoTake(id, {0, 1});
    spec.sampleRate = quint32(rate);
    spec.bits = quint16(bits);
    spec.frames = quint32(seconds * rate);
    return WriteSampledTake(m_Media.path() + QLatin1Char('/') + id, spec,
                            [rate, bits](int track, qint64 frame) { return TrackSample(track, frame, rate, bits); });
}

// What the pipe sink "nalvopipe<rate>" plays from now on.
void TestPlayerPulse::StartRecording(int rate)
{
    m_nPipeBytes = m_Recorder.Start(m_Pulse.path() + QStringLiteral("/pipe%1").arg(rate));
    QVERIFY(m_nPipeBytes > 0);
    // The recording runs once the sink's silence arrives.
    QTRY_VERIFY(m_Recorder.BytesRead() > 0);
}

namespace {

// The player of a take, answering the end of the data with a stop as the
// main window does.
struct PlayerRig {
    QSoundPerform take;
    SfxPlayer player;
    QList<short> states;
    qint64 drawn = 0;   // the last position the window was given to draw

    bool Load(const QString& path)
    {
        if (!LoadTestTake(&take, path))
            return false;
        take.m_pnTrackPan[0] = 0;
        take.m_pnTrackPan[1] = 1;
        take.m_pSfxPlayer = &player;
        QObject::connect(&player, &SfxPlayer::signal_AudioMotorStateChange, &player, [this](short state) {
            states.append(state);
            if (state == PlayerEndOfData)
                player.StopAll();
        });
        QObject::connect(&take, &QSoundPerform::signal_SoundPerformSamplePosChanged, &player,
                         [this](unsigned long position) { drawn = qint64(position); });
        player.setup(&take);
        return true;
    }
};

} // namespace

void TestPlayerPulse::wholeTakeHeard_data()
{
    QTest::addColumn<int>("rate");
    QTest::addColumn<int>("bits");
    QTest::addColumn<double>("seconds");
    QTest::addColumn<int>("readLateMs");   // the recording is not read for this long once playing
    QTest::newRow("44.1 kHz 16-bit") << 44100 << 16 << 1.5 << 0;
    QTest::newRow("48 kHz 24-bit") << 48000 << 24 << 1.5 << 0;
    QTest::newRow("96 kHz 24-bit") << 96000 << 24 << 1.5 << 0;
    QTest::newRow("48 kHz 16-bit, shorter than the server's buffer") << 48000 << 16 << 0.12 << 0;
    // A machine too busy to read the recording for a second loses none of it.
    QTest::newRow("96 kHz 24-bit, recording read a second late") << 96000 << 24 << 1.5 << 1000;
}

void TestPlayerPulse::wholeTakeHeard()
{
    QFETCH(int, rate);
    QFETCH(int, bits);
    QFETCH(double, seconds);
    QFETCH(int, readLateMs);
    UseSink(QStringLiteral("nalvopipe%1").arg(rate));
    PlayerRig rig;
    QVERIFY(rig.Load(Take(QStringLiteral("W%1%2").arg(rate / 1000, 3, 10, QLatin1Char('0')).arg(bits), rate, bits, seconds)));
    StartRecording(rate);
    m_Recorder.HoldOff(readLateMs);
    rig.take.Play();
    QTRY_COMPARE_WITH_TIMEOUT(rig.states, (QList<short>{PlayerPlaying, PlayerEndOfData, PlayerStopped}), 10000);
    const qint64 frames = qint64(seconds * rate);
    QCOMPARE(rig.take.m_nSamplePos.load(), quint32(frames));
    QTest::qWait(200);
    const Heard heard = Follow(m_Recorder.Stop(), ExpectedMix(frames, rate, bits));
    qInfo("first frame heard %d, %d frames in order, %d silent frames between", heard.firstFrame, heard.frames,
          heard.gaps);
    QVERIFY2(heard.fault.isEmpty(), qPrintable(heard.fault));
    QCOMPARE(heard.firstFrame, 0);
    QCOMPARE(heard.frames, int(frames));
}

void TestPlayerPulse::cursorFollowsTheSound_data()
{
    QTest::addColumn<double>("pauseAt");
    QTest::newRow("paused at 0.7 s") << 0.7;
    QTest::newRow("paused at 1.3 s") << 1.3;
    QTest::newRow("paused at 2.1 s") << 2.1;
}

void TestPlayerPulse::cursorFollowsTheSound()
{
    QFETCH(double, pauseAt);
    const int rate = 48000;
    UseSink(QStringLiteral("nalvopipe48000"));
    PlayerRig rig;
    QVERIFY(rig.Load(Take(QStringLiteral("CUR001"), rate, 16, 4.0)));
    StartRecording(rate);
    rig.take.Play();
    QTRY_VERIFY_WITH_TIMEOUT(rig.drawn >= qint64(pauseAt * rate), 10000);
    rig.take.PlayPause();
    QTRY_COMPARE(rig.take.GetPlayerState(), short(PlayerPaused));
    // The recording catches up with what the server played.
    QTest::qWait(300);
    const qint64 cursor = rig.drawn;
    const Heard heard = Follow(m_Recorder.Stop(), ExpectedMix(4 * rate, rate, 16));
    rig.take.Stop();
    QTRY_COMPARE(rig.take.GetPlayerState(), short(PlayerStopped));
    const qint64 last = heard.firstFrame + heard.frames;
    qInfo("heard up to frame %lld, cursor drawn at %lld (%.1f ms)", last, cursor, 1000.0 * double(cursor - last) / rate);
    QVERIFY2(heard.fault.isEmpty(), qPrintable(heard.fault));
    QVERIFY(heard.frames > rate / 2);
    QVERIFY2(cursor <= last, "the cursor is ahead of the sound");
    QVERIFY2(last - cursor <= rate / 50, "the cursor is more than 20 ms behind the sound");
}

void TestPlayerPulse::survivesServerRestart_data()
{
    QTest::addColumn<int>("pausedAt");      // 1: paused, 0: playing, -1: idle when the server dies
    QTest::addColumn<int>("downMs");        // -1: Play while it is still down
    QTest::newRow("killed while playing, back after 4 s") << 0 << 4000;
    QTest::newRow("killed while paused, back after 4 s") << 1 << 4000;
    QTest::newRow("killed while idle, back after 4 s") << -1 << 4000;
    QTest::newRow("killed while playing, Play while down") << 0 << -1;
    // Longer than any connection attempt that may have been on its way.
    if (qEnvironmentVariableIsSet("NALVO_LONG_SOUND_TESTS")) {
        QTest::newRow("killed while playing, back after 15 s") << 0 << 15000;
        QTest::newRow("killed while paused, back after 15 s") << 1 << 15000;
        QTest::newRow("killed while idle, back after 15 s") << -1 << 15000;
    }
}

void TestPlayerPulse::survivesServerRestart()
{
    QFETCH(int, pausedAt);
    QFETCH(int, downMs);
    const int rate = 48000;
    UseSink(QStringLiteral("nalvo48000"));
    PlayerRig rig;
    QVERIFY(rig.Load(Take(QStringLiteral("RST001"), rate, 16, 6.0)));
    if (pausedAt >= 0) {
        rig.take.Play();
        QTRY_VERIFY_WITH_TIMEOUT(rig.drawn >= rate, 10000);
        if (pausedAt == 1) {
            rig.take.PlayPause();
            QTRY_COMPARE(rig.take.GetPlayerState(), short(PlayerPaused));
            // The server's figure of the pause comes within a round trip.
            QTest::qWait(300);
        }
    }
    const qint64 before = rig.drawn;
    QFile pidFile(m_Pulse.path() + QStringLiteral("/daemon.pid"));
    QVERIFY(pidFile.open(QIODevice::ReadOnly));
    const QString pid = QString::fromLatin1(pidFile.readAll()).trimmed();
    QCOMPARE(QProcess::execute(QStringLiteral("kill"), {QStringLiteral("-9"), pid}), 0);
    const int told = pausedAt >= 0 ? 1 : 0;
    // Stopped where the sound stopped, and said so once.
    QTRY_COMPARE_WITH_TIMEOUT(rig.take.GetPlayerState(), short(PlayerStopped), 10000);
    QTRY_COMPARE_WITH_TIMEOUT(m_Messages.size(), told, 10000);
    const qint64 stoppedAt = rig.drawn;
    if (pausedAt == 1)
        QCOMPARE(stoppedAt, before);
    if (downMs < 0) {
        // Played without sound, told once more.
        rig.take.Play();
        QTRY_COMPARE_WITH_TIMEOUT(m_Messages.size(), told + 1, 15000);
        QVERIFY(m_Messages.last().contains(QStringLiteral("Playing without sound")));
        QTRY_COMPARE(rig.take.GetPlayerState(), short(PlayerPlaying));
        rig.take.Stop();
        QTRY_COMPARE(rig.take.GetPlayerState(), short(PlayerStopped));
        QVERIFY(Server(QStringLiteral("start")));
        return;
    }
    // The server stays away for that long: the case itself, not a wait.
    QTest::qWait(downMs);
    QVERIFY(Server(QStringLiteral("start")));
    UseSink(QStringLiteral("nalvopipe48000"));
    StartRecording(rate);
    rig.take.Play();
    QTRY_VERIFY_WITH_TIMEOUT(rig.drawn >= stoppedAt + rate / 2, 15000);
    rig.take.Stop();
    QTRY_COMPARE(rig.take.GetPlayerState(), short(PlayerStopped));
    QTest::qWait(200);
    // Every frame the server played, from where playback had stopped.
    const Heard heard = Follow(m_Recorder.Stop(), ExpectedMix(6 * rate, rate, 16));
    qInfo("stopped at %lld, heard from %d on, %d frames", stoppedAt, heard.firstFrame, heard.frames);
    QVERIFY2(heard.fault.isEmpty(), qPrintable(heard.fault));
    QCOMPARE(qint64(heard.firstFrame), stoppedAt);
    QVERIFY(heard.frames > rate / 4);
    QCOMPARE(m_Messages.size(), told);
}

void TestPlayerPulse::waitsEndWhenAsked()
{
    QBuffer source;
    QVERIFY(source.open(QIODevice::ReadOnly));
    QAudioFormat wide = PlayerSourceFormat(48000);
    wide.setSampleSize(24);
    PulseSink refused(wide);
    QVERIFY(!refused.start(&source));
    QVERIFY(refused.ErrorText().contains(QStringLiteral("24-bit")));
    // No server at this address: every connection is refused at once.
    qputenv("PULSE_SERVER", "unix:" + QFile::encodeName(m_Pulse.path()) + "/none");
    QElapsedTimer clock;
    clock.start();
    QVERIFY(!PulseSink::ServerAnswers(1500));
    QVERIFY2(clock.elapsed() < 500, "the probe asked again");
    PulseSink sink(PlayerSourceFormat(48000));
    SinkWaitCancel cancel;
    sink.SetWaitCancel(&cancel);
    std::thread stopper([&cancel] {
        std::this_thread::sleep_for(std::chrono::milliseconds(300));
        cancel.Ask();
    });
    clock.restart();
    const bool started = sink.start(&source);
    stopper.join();
    qunsetenv("PULSE_SERVER");
    QVERIFY(!started);
    QVERIFY2(clock.elapsed() < 1000, "the start waited on past the stop");
    QVERIFY(sink.ErrorText().isEmpty());
    QCOMPARE(sink.state(), QAudio::StoppedState);
}

QTEST_MAIN(TestPlayerPulse)
#include "test_player_pulse.moc"
