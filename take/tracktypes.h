#ifndef NALVO_TAKE_TRACKTYPES_H
#define NALVO_TAKE_TRACKTYPES_H

#include <QMetaType>

// Per-track records that the player, the routing grid and the day's take
// list share. They live with the take so that the report side, which sits
// beside the player, can hold them without depending on it.

// A track's output pan: two levels 0..100; (100,100) is centre, -1 in
// either side means no pan is known.
struct tPostFadePan
{
    int left = 0;
    int right = 0;
};

inline bool operator==(const tPostFadePan& a, const tPostFadePan& b)
{
    return a.left == b.left && a.right == b.right;
}
inline bool operator!=(const tPostFadePan& a, const tPostFadePan& b) { return !(a == b); }

// A recorded track's arming state.
enum tTrackActive : int { TrackActiveNone = 0, TrackActiveOn = 1, TrackActiveDisarmed = 2 };

Q_DECLARE_METATYPE(tPostFadePan)
Q_DECLARE_METATYPE(tTrackActive)

#endif
