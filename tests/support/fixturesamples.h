#ifndef NALVO_TESTS_SUPPORT_FIXTURESAMPLES_H
#define NALVO_TESTS_SUPPORT_FIXTURESAMPLES_H

#include <QByteArray>
#include <QtGlobal>

// Deterministic audio content of the test media. Every sample of every file
// the fixture writer makes comes from these functions, so mixing,
// interleaving, level and copy tests can predict each byte.
//
// Track t (the 0-based recorder track, 0..23; a foreign file uses its
// 0-based channel) carries a triangle wave of half period 50 + 10 t frames
// and peak (t + 1) x 2^18 at 24 bits, (t + 1) x 1024 at 16 bits. The
// triangle starts at its negative peak on frame 0. Neighbouring tracks thus
// differ in period and level, and a frame shift or a swapped channel shows.
namespace fixture {

// The signed sample value of track t at that frame, for 16 or 24 bits
// (any other bit depth gives 0).
qint32 SampleValue(int track, qint64 frame, int bits);

// The peak magnitude SampleValue reaches on track t.
qint32 SamplePeak(int track, int bits);

// Little-endian PCM bytes of frames [firstFrame, firstFrame + frames) of the
// given tracks, interleaved in list order (one track gives a mono stream).
QByteArray SampleBytes(const QList<int>& tracks, qint64 firstFrame, qint64 frames, int bits);

// Waveform-overview levels of one track as the recorder computes them: per
// run of samplesPerPoint samples the peak magnitude shifted right by
// (bits - 9), capped at 255; a final partial run gives no point.
QByteArray OverviewLevels(int track, qint64 frames, int bits, int samplesPerPoint);

// Overview levels (0..255) of `points` points, at pointsPerSecond, shaped
// like one speaker per track: phrases of a few seconds with pauses between
// them, syllables inside, a low floor in the pauses. Each track talks at its
// own times, so a 24-track day looks like a real one.
QByteArray SpeechOverviewLevels(int track, int points, int pointsPerSecond);

}  // namespace fixture

#endif
