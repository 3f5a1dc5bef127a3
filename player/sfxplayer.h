#ifndef NALVO_PLAYER_SFXPLAYER_H
#define NALVO_PLAYER_SFXPLAYER_H

#include "take/sfxplayerlink.h"

#include <QObject>

#include <memory>

class SfxThread;

// The player of one opened take, as the rest of the program holds it. Its
// slots return at once: play, pause and stop reach the player thread as
// queued calls; setup runs on the caller's thread and starts the player
// thread. The thread's state changes come back queued as
// signal_AudioMotorStateChange on the owner's thread.
class SfxPlayer : public QObject, public ISfxPlayerLink
{
    Q_OBJECT
public:
    explicit SfxPlayer(QObject* parent = nullptr);
    // Stops the output and ends the player thread.
    ~SfxPlayer() override;

    short GetSfxState() const override;
    SfxThread* Thread() const { return m_pThread.get(); }

public slots:
    void setup(void* take);
    void play(void* take) override;
    void toggleSuspendResume() override;
    void StopAll() override;

signals:
    void signal_AudioMotorStateChange(short state);
    // The player waits for its output (true) or no longer (false).
    void signal_OutputWait(bool waiting);

    // The commands' way into the player thread, connected before it starts.
    void signal_PlayRequest();
    void signal_PauseRequest();
    void signal_StopRequest();

private:
    std::unique_ptr<SfxThread> m_pThread;
};

#endif
