#ifndef NALVO_PLAYER_METERTABLES_H
#define NALVO_PLAYER_METERTABLES_H

// Meter level 0..4095 (a sample peak scaled to 12 bits) to meter step 1..32,
// indexed by level >> 1.
extern const int (&VoltToDecibel)[2048];
// dB-below-full-scale label of each step boundary 0..31 (99 "off", 98 minus
// infinity); entries 32..35 are never read.
extern const int DecibelToScale[36];
// Scale position 0..62 of a zone value 0..31 on the Extended scale.
extern const int ExtendedScalePosition[32];

constexpr int kMeterTopStep = 32;
constexpr int kMeterMaxLevel = 4095;
constexpr int kZoneValueMax = 31;
constexpr int kScalePositionMax = 62;

// The step of a level: levels of 4096 and above are full scale, negative
// ones count as silence.
int MeterStepOfLevel(int level);

// A zone value clamped to 0..31.
int ClampZoneValue(int value);

// Position 0..62 of a zone value on scale 0 (Original: 2v) or 1 (Extended).
int ZoneScalePosition(int value, int scale);

// The dB label of a zone value (DecibelToScale of the clamped value).
int ZoneDecibelLabel(int value);

#endif
