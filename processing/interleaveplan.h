#ifndef NALVO_PROCESSING_INTERLEAVEPLAN_H
#define NALVO_PROCESSING_INTERLEAVEPLAN_H

#include <QString>

// Where every track of a take goes in a polyphonic interleave, worked out
// before any file is touched, and the loop that lays the tracks' blocks out
// as frames. Pure: the engine (qsoundmixer) and the tests share it.
namespace interleave {

enum : int { kTracks = 24 };

struct tyChannelPlan {
    int nChannels = 0;            // N: channels of the output
    int nTotalTracks = 0;         // channels the kept tracks span (nNbTotalTracks)
    int nTempCount = 0;           // the larger of that and the minimum, rounded up to even
    int nVoidTracks = 0;          // N - nTotalTracks
    int nNotUsedTrackIndex = -1;  // lowest slot without a file; -1 when all 24 have one
    // Per output channel (0..N-1):
    int pnSource[kTracks];        // the slot whose audio it carries; -1 silent
    int pnLabel[kTracks];         // the slot its track entry names (CHANNEL_INDEX - 1); -1 left as made
    bool pbNamed[kTracks];        // the entry takes the name and function of its label slot
    // Per source slot:
    bool pbOpen[kTracks];         // its file is opened (header records, waveform chunk)
    // Slots whose waveform chunks are copied, in output order.
    int pnWaveSlots[kTracks];
    int nWaveSlots = 0;

    tyChannelPlan();
};

// The plain and compact interleave. present, excluded: 24 flags. minTracks
// is bounded to 0..24. Full mode: channel c carries slot c; a gap or an
// excluded slot below the last kept one is a silent channel. Compact
// (lightPoly): the kept slots in order, nothing for the others. Then
// silent channels up to the minimum and an even count; six channels become
// eight with sixToEight. The silent channels added at the end name the
// lowest slot without a file (or, when all 24 have one, the lowest slot
// without a channel).
tyChannelPlan PlanInterleave(const bool* present, const bool* excluded, bool lightPoly, int minTracks,
                             bool sixToEight);

// The rotated interleave: channel map[s] carries slot s (a valid map, see
// rotationmap.h). Muted (excluded) slots keep their channel, silent; the
// count is one past the highest kept channel, rounded up to even, then
// six-to-eight. Entries keep the channel numbers of a new document.
tyChannelPlan PlanRotated(const bool* present, const bool* excluded, const int* map, bool sixToEight);

// The maker block's active texts when silent channels were added: a kept
// slot from the last used one on whose text is exactly "NO" reads
// "DISARMED", so readers tell a disarmed input from a dropped track.
void MarkDisarmed(const tyChannelPlan& plan, const bool* excluded, QString* actives);

// Lays out `frames` frames of `channels` channels: the sample of frame f for
// channel c is the inBytes bytes at areas[c] + f * inBytes (a null area is
// silence), written as outBytes bytes (equal, or 2 from 3: the upper two)
// at out + (f * channels + c) * outBytes. Works in tiles that stay in the
// cache, channel by channel, with fixed-size copies.
void InterleaveFrames(const unsigned char* const* areas, int channels, int frames, int inBytes, int outBytes,
                      unsigned char* out);

}  // namespace interleave

#endif
