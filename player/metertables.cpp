#include "player/metertables.h"

namespace {

// First table index of each step 1..32.
constexpr int kStepStart[32] = {0,   3,   6,   11,  20,  25,  32,  40,  45,   51,   57,
                                64,  72,  81,  91,  102, 115, 129, 145, 162,  182,  206,
                                229, 257, 289, 324, 408, 514, 726, 1026, 1450, 2047};

struct StepTable
{
    int v[2048];
};

constexpr StepTable BuildStepTable()
{
    StepTable table{};
    int step = 1;
    for (int i = 0; i < 2048; ++i) {
        while (step < 32 && i >= kStepStart[step])
            ++step;
        table.v[i] = step;
    }
    return table;
}

constexpr StepTable kSteps = BuildStepTable();

} // namespace

const int (&VoltToDecibel)[2048] = kSteps.v;

const int DecibelToScale[36] = {99, 98, 50, 45, 40, 38, 36, 34, 33, 32, 31, 30,
                                29, 28, 27, 26, 25, 24, 23, 22, 21, 20, 19, 18,
                                17, 16, 14, 12, 9,  6,  3,  0,  88, 0,  0,  0};

const int ExtendedScalePosition[32] = {0,  1,  2,  3,  4,  5,  6,  7,  8,  9,  10,
                                       11, 13, 15, 17, 19, 21, 23, 25, 27, 29, 32,
                                       35, 38, 41, 44, 47, 50, 53, 56, 59, 62};

int MeterStepOfLevel(int level)
{
    if (level > kMeterMaxLevel)
        return kMeterTopStep;
    if (level < 0)
        level = 0;
    return VoltToDecibel[level >> 1];
}

int ClampZoneValue(int value)
{
    return value < 0 ? 0 : (value > kZoneValueMax ? kZoneValueMax : value);
}

int ZoneScalePosition(int value, int scale)
{
    const int v = ClampZoneValue(value);
    return scale == 1 ? ExtendedScalePosition[v] : 2 * v;
}

int ZoneDecibelLabel(int value)
{
    return DecibelToScale[ClampZoneValue(value)];
}
