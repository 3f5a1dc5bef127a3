#ifndef NALVO_PLAYER_SFXTHREAD_H
#define NALVO_PLAYER_SFXTHREAD_H

#include <QAudio>
#include <QAudioFormat>
#include <QThread>
#include <QTimer>

#include "player/audiosink.h"

#include <atomic>
#include <memory>

class GeneratorAudioBuffer;
class QSoundPerform;

// Player states: what signal_AudioMotorStateChange carries and
// GetSfxState returns. 4 is only signalled, never stored.
enum tPlayerState : short {
    PlayerStopped = 0,
    PlayerPlaying = 1,
    PlayerPaused = 2,
    PlayerIdle = 3,
    PlayerEndOfData = 4,
};

// The player thread of one opened take. setup() (on the GUI thread) makes
// the pull source, fills it and starts the thread, which then owns itself:
// the later slots arrive queued and run here, next to the audio sink that
// run() makes and, when the loop ends, stops and deletes.
class SfxThread : public QThread
{
    Q_OBJECT
public:
    SfxThread();
    // Ends the event loop and waits for the thread; the sink was already
    // stopped and deleted on the player thread.
    ~SfxThread() override;

    // The title of the player's messages to the user.
    static QString MessageTitle() { return QStringLiteral("Playback"); }
    // Any thread.
    short GetSfxState() const { return m_nState.load(); }
    // The take the next slot_PlayRequest plays (any thread).
    void SetPlayRequestTake(void* take) { m_pPlayRequestTake = take; }
    // Any thread, before it queues a stop or ends the player: a wait for the
    // output under way, or one that starts before the stop is carried out,
    // ends at once, so that no other thread waits on it.
    void AskStop() { m_WaitCancel.Ask(); }

public slots:
    // On the thread that owns the player, before the thread runs: makes and
    // fills the pull source and starts the thread. Later calls (the thread
    // already runs) are ignored: a player serves one take.
    void setup(void* take);
    void slot_PlayRequest() { playToggle(m_pPlayRequestTake.load()); }
    void play(void* take) { playToggle(take); }
    void playToggle(void* take);
    void toggleSuspendResume();
    void StopAll();
    void slot_playerStateChanged(QAudio::State state);
    void slot_GeneratorAudioBufferEnd();

signals:
    void signal_AudioMotorStateChange(short state);
    // Player thread: true before a start that may wait for the output
    // (a sound server that was just restarted answers late), false once it
    // ended, however it ended.
    void signal_OutputWait(bool waiting);

protected:
    void run() override;

private:
    // Player thread. Takes the sink into use; the old one is deleted by the
    // event loop (a Qt output's destructor turns the loop itself).
    void UseSink(std::unique_ptr<AudioSink> sink);
    // From the start second, or from where the sound stopped when the
    // output failed there.
    void StartPlaying(QSoundPerform* take);
    // A new output after a failure; the null sink, and the user told, when
    // that fails too. False, with nothing told, when a stop cut the wait short.
    bool StartSink();
    void OnSinkFailed();
    void OnTick();
    void PublishPosition();
    // Tells the end of the data once the output has played all of it.
    void CheckEnd();
    void TellUser(const QString& text);

    // GUI thread before the thread starts; then player thread only.
    bool m_bSetup = false;
    QAudioFormat m_Format;
    std::unique_ptr<GeneratorAudioBuffer> m_pGenerator;
    // Player thread only: made in run(), stopped and deleted there.
    std::unique_ptr<AudioSink> m_pSink;
    std::unique_ptr<QTimer> m_pTicker;      // moves the cursor with the sound
    bool m_bEndTold = false;                // 4 was sent for this run of the data
    bool m_bSinkBroken = false;             // the next Play needs a new output
    quint64 m_nPublishedFrame = ~quint64(0);
    // Where the output failed, for the next Play; ~0 when none. It holds
    // while the take's start second is the one it failed at.
    quint64 m_nResumeFrame = ~quint64(0);
    quint32 m_nResumeSecond = 0;
    // Asked by any thread, cleared by the player thread's StopAll.
    SinkWaitCancel m_WaitCancel;
    // Written by the player thread, read by any.
    std::atomic<short> m_nState{PlayerStopped};
    // Written by the owner's thread, read by the player thread.
    std::atomic<void*> m_pPlayRequestTake{nullptr};
    // Set by the player thread as its last act and read after wait(): it
    // hands what the thread wrote over to the destructor in a way that
    // ThreadSanitizer sees (QThread::wait may return on a flag that Qt reads
    // under its own futex lock, out of its sight).
    std::atomic<bool> m_bRunDone{false};
};

#endif
