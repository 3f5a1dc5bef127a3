#ifndef NALVO_PLAYER_PLAYERTYPES_H
#define NALVO_PLAYER_PLAYERTYPES_H

#include "take/tracktypes.h"

#include <QMetaType>

// Records the player exchanges with the main window and the routing grid
// (the per-track pan and arming records are in take/tracktypes.h).

// The kind of one recorder input feeding a track.
enum tInputMasterType : int {
    InputNone = -1,
    InputMic = 0,
    InputMsMid = 1,
    InputMsSide = 2,
    InputLine = 3,
    InputDigital = 4,
    InputAes42 = 5,
    InputMix = 6,
    InputDante = 7,
    InputTrack = 8,
    InputTalkback = 9,
    InputPostFade = 12
};

// Where a track goes on the player's stereo output (the routing codes).
enum tOutputMasterType : int { OutputLeft = 0, OutputBoth = 1, OutputRight = 2, OutputNone = -1 };

// How the timeline draws the waveform overview.
enum tPlayWavDisplayMode : int {
    WavDisplayCenteredLinear = 0,
    WavDisplayCenteredDb = 1,
    WavDisplayHalfLinear = 2,
    WavDisplayHalfDb = 3
};

// Which levels the track meters show.
enum tVumeterDisplayPrePostFader : int { VumeterPreFader = 0, VumeterPostFader = 1 };

Q_DECLARE_METATYPE(tInputMasterType)
Q_DECLARE_METATYPE(tOutputMasterType)
Q_DECLARE_METATYPE(tPlayWavDisplayMode)
Q_DECLARE_METATYPE(tVumeterDisplayPrePostFader)

#endif
