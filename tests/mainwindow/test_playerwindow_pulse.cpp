// The main window's player through a real sound server (a private
// PulseAudio daemon started by tests/support/pulse_server.sh): what the
// user does after the server went away brings the sound back.
#include "ui_dlgmain.h"

#include "mainwindow/dlgmain.h"
#include "player/sfxthread.h"
#include "tests/player/playertestmedia.h"
#include "tests/player/pulsefollow.h"
#include "tests/support/scratchdir.h"

#include <QProcess>
#include <QtTest>

#include <mutex>

using namespace fixture;

class TestPlayerWindowPulse : public QObject
{
    Q_OBJECT

    ScratchDir m_Media;
    ScratchDir m_Pulse;
    bool m_bRunning = false;
    qint64 m_nDaemon = 0;

    // The script and the daemon it starts are stopped with the scratch
    // folders should the run be stopped or killed.
    bool Server(const QString& command)
    {
        QProcess script;
        script.setProcessChannelMode(QProcess::ForwardedChannels);
        script.start(QStringLiteral(NALVO_PULSE_SCRIPT), {command, m_Pulse.path()});
        const qint64 scriptPid = script.processId();
        KeepServer(m_Pulse.path(), scriptPid);
        const bool done = script.waitForFinished(20000) && script.exitStatus() == QProcess::NormalExit
                          && script.exitCode() == 0;
        DropServer(scriptPid);
        DropServer(m_nDaemon);
        QFile pid(m_Pulse.filePath(QStringLiteral("daemon.pid")));
        m_nDaemon = done && command == QLatin1String("start") && pid.open(QIODevice::ReadOnly)
                        ? pid.readAll().trimmed().toLongLong()
                        : 0;
        if (m_nDaemon > 0)
            KeepServer(m_Pulse.path(), m_nDaemon);
        return done;
    }

private slots:
    void initTestCase()
    {
        QVERIFY(m_Media.isValid() && m_Pulse.isValid());
        qputenv("NALVO_VOLUMES_ROOT", m_Media.path().toUtf8());
        qputenv("PULSE_RUNTIME_PATH", (m_Pulse.path() + QStringLiteral("/runtime")).toLocal8Bit());
        qputenv("PULSE_CLIENTCONFIG", (m_Pulse.path() + QStringLiteral("/client.conf")).toLocal8Bit());
        qunsetenv("PULSE_SERVER");
        qputenv("NALVO_AUDIO_SINK", "pulse");
        QVERIFY(QDir::setCurrent(m_Media.path()));
        m_bRunning = Server(QStringLiteral("start"));
        if (!m_bRunning && qgetenv("CI") == "true")
            QFAIL("The PulseAudio daemon did not start (pulseaudio and pulseaudio-utils are needed)");
        if (!m_bRunning)
            QSKIP("No PulseAudio daemon could be started here (pulseaudio and pulseaudio-utils are needed)");
    }

    void cleanupTestCase() { Server(QStringLiteral("stop")); }

    // Server down: Play plays silently and says so once, without blocking
    // the window. Server back: one press on Play goes on with sound from
    // the frame where the silent playback was.
    void playAfterServerBackGoesOnWithSound()
    {
        const int rate = 48000;
        TakeSpec spec = MonoTake(QStringLiteral("SRV001"), {0, 1});
        spec.sampleRate = quint32(rate);
        spec.bits = 16;
        spec.frames = quint32(10 * rate);
        const QString take = WriteSampledTake(m_Media.path() + QStringLiteral("/SRV001"), spec,
                                              [rate](int track, qint64 frame) { return TrackSample(track, frame, rate, 16); });
        DlgMain w;
        w.show();
        QVERIFY(QTest::qWaitForWindowExposed(&w));
        QVERIFY(w.m_SndPerform.InitFilesZZ(take, QStringLiteral("WAV")));
        w.OpenTakeInPlayer();
        QVERIFY(Server(QStringLiteral("stop")));
        // Stop, then a take change, while the player waits for the server:
        // the window's thread does not wait with it, and nothing is told.
        for (const bool takeChange : {false, true}) {
            QTest::mouseClick(w.ui->m_CtrlPushButton_Play, Qt::LeftButton);
            QTRY_VERIFY(w.ui->groupBox_Player->title().contains(QStringLiteral("waiting for the sound server")));
            if (!qEnvironmentVariableIsEmpty("NALVO_GRAB_DIR"))
                w.grab().save(qEnvironmentVariable("NALVO_GRAB_DIR") + QStringLiteral("/mainwindow-waiting.png"));
            QElapsedTimer clock;
            clock.start();
            if (takeChange)
                w.CloseTakeInPlayer();
            else
                QTest::mouseClick(w.ui->m_CtrlPushButton_Stop, Qt::LeftButton);
            // Far inside the seconds the player waits for the server, and
            // far above what a loaded machine takes for the click itself.
            QVERIFY2(clock.elapsed() < 500, qPrintable(QStringLiteral("%1 ms").arg(clock.elapsed())));
            QTRY_COMPARE(w.ui->groupBox_Player->title(), QStringLiteral("Player"));
        }
        w.OpenTakeInPlayer();
        {
            // Track 0 on the left bus, as the expected mix has it.
            std::lock_guard<std::mutex> lock(w.m_SndPerform.MixerLock());
            w.m_SndPerform.m_pnTrackPan[0] = 0;
        }
        QTest::mouseClick(w.ui->m_CtrlPushButton_Play, Qt::LeftButton);
        QTRY_COMPARE_WITH_TIMEOUT(w.OpenMessageBoxCount(), 1, 15000);
        QVERIFY(!QApplication::activeModalWidget());
        QTRY_COMPARE(w.m_SndPerform.GetPlayerState(), short(PlayerPlaying));

        QVERIFY(Server(QStringLiteral("start")));
        QCOMPARE(QProcess::execute(QStringLiteral("pactl"), {QStringLiteral("set-default-sink"), QStringLiteral("nalvopipe48000")}), 0);
        PipeRecorder recorder;
        QVERIFY(recorder.Start(m_Pulse.path() + QStringLiteral("/pipe48000")) > 0);
        QTRY_VERIFY(recorder.BytesRead() > 0);
        // Far enough into the take that a start from its beginning shows.
        QTRY_VERIFY_WITH_TIMEOUT(qint64(w.m_nCurrentSamplePos) >= rate / 2, 5000);
        const qint64 silentAt = qint64(w.m_nCurrentSamplePos);
        QTest::mouseClick(w.ui->m_CtrlPushButton_Play, Qt::LeftButton);
        QTRY_VERIFY_WITH_TIMEOUT(qint64(w.m_nCurrentSamplePos) >= silentAt + rate, 15000);
        QTest::mouseClick(w.ui->m_CtrlPushButton_Stop, Qt::LeftButton);
        QTRY_COMPARE(w.m_SndPerform.GetPlayerState(), short(PlayerStopped));
        QTest::qWait(200);
        const Heard heard = Follow(recorder.Stop(), ExpectedMix(10 * rate, rate, 16));
        qInfo("silent at %lld, heard from %d on, %d frames", silentAt, heard.firstFrame, heard.frames);
        QVERIFY2(heard.fault.isEmpty(), qPrintable(heard.fault));
        // From where it was when Play was pressed, give or take the press's
        // trip to the player thread and the cursor's to the window, which on
        // a loaded machine took 130 ms of silent playback.
        QVERIFY(heard.firstFrame >= silentAt && heard.firstFrame < silentAt + rate / 2);
        QVERIFY(heard.frames > rate / 2);
        QCOMPARE(w.OpenMessageBoxCount(), 1);
    }
};

QTEST_MAIN(TestPlayerWindowPulse)
#include "test_playerwindow_pulse.moc"
