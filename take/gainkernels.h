#ifndef NALVO_TAKE_GAINKERNELS_H
#define NALVO_TAKE_GAINKERNELS_H

// The gains of the level steps on one integer sample, by shifts and
// additions. The kernels of the take and the player's mixer share them, so
// both give the same samples.

// +3 dB x1.375, +6 x2, +9 x2.75, +12 x4; any other value leaves the sample.
inline int RaiseSample(int x, unsigned int dB)
{
    switch (dB) {
    case 3: return (x >> 1) * 2 + (x >> 2) + (x >> 3);
    case 6: return x * 2;
    case 9: return x * 2 + (x >> 1) + (x >> 2);
    case 12: return x * 4;
    default: return x;
    }
}

// -3 dB x0.71875, -6 x0.5, -9 x0.34375, -12 x0.25 (arithmetic shifts); any
// other value leaves the sample.
inline int LowerSample(int x, unsigned int dB)
{
    switch (dB) {
    case 3: return (x >> 1) + (x >> 2) - (x >> 5);
    case 6: return x >> 1;
    case 9: return (x >> 2) + (x >> 4) + (x >> 5);
    case 12: return x >> 2;
    default: return x;
    }
}

#endif
