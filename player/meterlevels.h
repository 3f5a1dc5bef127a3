#ifndef NALVO_PLAYER_METERLEVELS_H
#define NALVO_PLAYER_METERLEVELS_H

class QSoundPerform;

// What the 100 ms meter refresh shows on strip meter `position` (0..23):
// -1 (meter off) for a track the take lacks, or whose recorder track is not
// armed; 0 while the player is stopped (state 0); else the take's level of
// that position, after the fader when postFader. An interleaved take's
// positions carry recorder tracks through the original-track index, where
// -1 (or anything outside 0..23) means none: such a meter is off, and the
// index never reaches the track tables.
int TrackMeterValue(const QSoundPerform& take, int position, bool postFader, short state);

// Meters an interleaved take drives: 2 for a processed (mixdown) take, 24
// for a poly take; a mono family drives all 24.
int TrackMeterCount(const QSoundPerform& take);

#endif
