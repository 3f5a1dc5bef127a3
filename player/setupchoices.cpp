#include "player/setupchoices.h"

namespace {

const tSetupChoice kDisplayLevels[] = {{0, "Pre-Fader"}, {1, "Post-Fader"}};
const tSetupChoice kGrid[] = {{0, "OFF"}, {1, "ON"}};
const tSetupChoice kScale[] = {{0, "Original"}, {1, "Extended"}};
const tSetupChoice kWaveform[] = {{0, "Centered Sample Level Scale"},
                                  {1, "Centered dB Scale"},
                                  {2, "Half Sample Level Scale"},
                                  {3, "Half dB Scale"}};
const tSetupChoice kLevels[] = {
    {31, "  0 dB"}, {30, " -3 dB"}, {29, " -6 dB"}, {28, " -9 dB"}, {27, "-12 dB"}, {26, "-14 dB"},
    {25, "-16 dB"}, {24, "-17 dB"}, {23, "-18 dB"}, {22, "-19 dB"}, {21, "-20 dB"}, {20, "-21 dB"},
    {19, "-22 dB"}, {18, "-23 dB"}, {17, "-24 dB"}, {16, "-25 dB"}, {15, "-26 dB"}, {14, "-27 dB"},
    {13, "-28 dB"}, {12, "-29 dB"}, {11, "-30 dB"}, {10, "-31 dB"}, {9, "-32 dB"},  {8, "-33 dB"},
    {7, "-34 dB"},  {6, "-36 dB"},  {5, "-38 dB"},  {4, "-40 dB"},  {3, "-45 dB"},  {2, "-50 dB"},
    {1, "-\u221E"}, {0, "OFF"}};
const tSetupChoice kPeakHold[] = {{5, "0.5 sec"},  {10, "1.0 sec"}, {15, "1.5 sec"}, {20, "2.0 sec"},
                                  {25, "2.5 sec"}, {30, "3.0 sec"}, {35, "3.5 sec"}, {40, "4.0 sec"},
                                  {45, "4.5 sec"}, {50, "5.0 sec"}};
const tSetupChoice kBallistic[] = {{5, "(slow) 1"}, {4, "2"}, {3, "3"}, {2, "4"}, {1, "(fast) 5"}};

template <int N>
constexpr int Count(const tSetupChoice (&)[N])
{
    return N;
}

const tSetupField kFields[SetupValueCount] = {
    {"Display levels", kDisplayLevels, Count(kDisplayLevels), tSetupRowRule::OneOrZero},
    {"Grid", kGrid, Count(kGrid), tSetupRowRule::OneOrZero},
    {"Blue Line Level", kLevels, Count(kLevels), tSetupRowRule::ByValue},
    {"Yellow Zone Level", kLevels, Count(kLevels), tSetupRowRule::ByValue},
    {"Red Zone Level", kLevels, Count(kLevels), tSetupRowRule::ByValue},
    {"Peak Hold", kPeakHold, Count(kPeakHold), tSetupRowRule::ByValue},
    {"Balistic", kBallistic, Count(kBallistic), tSetupRowRule::ByValue},
    {"Vumeter Scale", kScale, Count(kScale), tSetupRowRule::OneOrZero},
    {"Wavform Mode", kWaveform, Count(kWaveform), tSetupRowRule::WaveMode},
};

} // namespace

QStringList tSetupField::Labels() const
{
    QStringList labels;
    for (int i = 0; i < rowCount; ++i)
        labels << QString::fromUtf8(rows[i].label);
    return labels;
}

int tSetupField::RowOfValue(int value) const
{
    for (int i = 0; i < rowCount; ++i) {
        if (rows[i].value == value)
            return i;
    }
    return -1;
}

int tSetupField::OpeningRow(int value) const
{
    switch (rule) {
    case tSetupRowRule::OneOrZero:
        return value == 1 ? 1 : 0;
    case tSetupRowRule::WaveMode:
        return value >= 1 && value <= 3 ? value : 0;
    case tSetupRowRule::ByValue:
    default: {
        const int row = RowOfValue(value);
        return row < 0 ? 0 : row;
    }
    }
}

const tSetupField& SetupFieldOf(tSetupValue which)
{
    return kFields[which];
}
