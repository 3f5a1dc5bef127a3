#ifndef NALVO_REPORT_TAKEMETADATA_H
#define NALVO_REPORT_TAKEMETADATA_H

#include "foundation/mapping.h"
#include "report/reportlayout.h"
#include "soundfile/soundfile.h"
#include "take/tracktypes.h"

#include <QList>
#include <QMetaType>
#include <QString>
#include <QStringList>

// One take as the day's take list shows it, worked out by the day loader in
// its thread and sent by value to the list: cell texts of every layout
// column, the per-track facts the track columns draw and the naming facts
// behind the File ID marks. A take that could not be read carries its name
// only.
struct tyTakeMetadata
{
    enum : int { kTracks = 24, kMicInputs = 8, kLineInputs = 4, kDigitalInputs = 8, kAes42Inputs = 4 };

    tyTakeMetadata();

    QString czTakeName;
    QString czProblem;                  // why the take is not read, as the browser's take line says
    bool bLongName = false;
    bool bFullUnderscore = false;       // only together with bLongName
    QStringList lczLine0Texts;
    QStringList lczLine1Texts;
    bool bCircled = false;
    int nTakeType = 0;
    tPostFadePan tPans[kTracks];        // {-1, -1}: no pan known
    tTrackActive tArming[kTracks];
    QString czScene;                    // bext scene
    int pnMixMarker[kTracks];           // 0 none, 1 mix, 2 mix left, 3 mix right
    int pnMsMarker[kTracks];            // 0 none, 1 pair member, 2 mid, 3 side
    QMapping Routings[kTracks];         // armed tracks whose IN_GRID parsed only
    tInputSettings MicInputs[kMicInputs];
    tInputSettings LineInputs[kLineInputs];
    tInputSettings DigitalInputs[kDigitalInputs];
    tInputSettings Aes42Inputs[kAes42Inputs];
    int nFileKind = 0;                  // SCTK_TEMPLATE; 4 and 5 are advanced
    QList<int> lnTakeNameCodes;         // advanced template element codes

    // Back to the state of a fresh record.
    void ClearTrackFields();
};

Q_DECLARE_METATYPE(tyTakeMetadata)

// Registers the record for queued signals under the name "tyTakeMetadata";
// safe to call more than once.
void RegisterTakeMetadataType();

#endif
