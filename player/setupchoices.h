#ifndef NALVO_PLAYER_SETUPCHOICES_H
#define NALVO_PLAYER_SETUPCHOICES_H

#include <QString>
#include <QStringList>

// The pick lists of the meter and waveform preferences.

struct tSetupChoice
{
    int value;
    const char* label;
};

// How a field's pick list chooses the row it opens on.
enum class tSetupRowRule {
    ByValue,    // the row of the current value, row 0 when none
    OneOrZero,  // row 1 exactly when the value is 1
    WaveMode    // the row of modes 1..3, else row 0
};

struct tSetupField
{
    const char* title;
    const tSetupChoice* rows;
    int rowCount;
    tSetupRowRule rule;

    QStringList Labels() const;
    // Index of the first row with the value, -1 when none.
    int RowOfValue(int value) const;
    int OpeningRow(int value) const;
};

// The nine fields in the order of the preference values: display levels,
// grid, blue line, yellow zone, red zone, peak hold, ballistic, scale,
// waveform mode.
enum tSetupValue {
    SetupDisplayLevels,
    SetupGrid,
    SetupBlueLine,
    SetupYellowZone,
    SetupRedZone,
    SetupPeakHold,
    SetupBallistic,
    SetupScale,
    SetupWaveform,
    SetupValueCount
};

const tSetupField& SetupFieldOf(tSetupValue which);

#endif
