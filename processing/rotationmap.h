#ifndef NALVO_PROCESSING_ROTATIONMAP_H
#define NALVO_PROCESSING_ROTATIONMAP_H

#include <QString>
#include <array>

// The track order of a rotated interleave: entry s is the output channel of
// source track slot s (0..23), or -1 to leave that track out. The
// file-process dialog, its take rows and the engine all build and check it
// here, so what the rows estimate is what the engine writes.
namespace rotation {

enum : int { kTracks = 24 };

using tyRotationMap = std::array<int, kTracks>;

// Tracks 0..trackMax move up by n modulo m while they are below m; tracks at
// or above m keep their own channel, so a take of more than m tracks loses
// none and no two tracks share a channel. Tracks after trackMax get -1.
// n is taken modulo m; m is bounded to 1..24.
tyRotationMap BuildRotationMap(int n, int m, int trackMax);

// A map the engine can write without losing a track: every entry is -1 or
// 0..23, no two present slots share a channel, and at least one present slot
// has a channel. False with the reason in *why otherwise.
bool ValidateRotationMap(const int* map, const bool* present, QString* why = nullptr);

// The channels a rotated interleave spans before its even rounding: one past
// the highest channel of a present, unmuted slot; 0 when there is none.
// Entries outside 0..23 count as -1.
int RotatedTrackSpan(const int* map, const bool* present, const bool* muted);

}  // namespace rotation

#endif
