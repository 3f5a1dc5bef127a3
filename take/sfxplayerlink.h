#ifndef NALVO_TAKE_SFXPLAYERLINK_H
#define NALVO_TAKE_SFXPLAYERLINK_H

// What a take asks of the player that plays it. The player lives in a
// higher layer and implements this; the take only holds the pointer.
class ISfxPlayerLink
{
public:
    virtual ~ISfxPlayerLink() = default;

    // Starts (or toggles) playback of the take passed as an opaque pointer.
    virtual void play(void* take) = 0;
    virtual void StopAll() = 0;
    virtual void toggleSuspendResume() = 0;
    // 0 stopped, 1 playing, 2 paused, 3 idle.
    virtual short GetSfxState() const = 0;
};

#endif
