#ifndef NALVO_TAKE_GAINTABLE_H
#define NALVO_TAKE_GAINTABLE_H

// Signed dB of each track level step: 0 +12, 1 +9, 2 +6, 3 +3, 4 0 (the
// default), 5 -3, 6 -6, 7 -9, 8 -12; entries 9..11 hold 0.
extern const int pnAtt[12];

enum : short {
    kGainStepCount = 9,
    kDefaultGainStep = 4,
};

// The dB of a step; a step outside 0..8 gives 0 dB.
int GainOfStep(int step);

#endif
