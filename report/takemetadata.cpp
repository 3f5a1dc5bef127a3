#include "report/takemetadata.h"

tyTakeMetadata::tyTakeMetadata()
{
    ClearTrackFields();
}

void tyTakeMetadata::ClearTrackFields()
{
    for (int t = 0; t < kTracks; ++t) {
        tPans[t] = tPostFadePan{-1, -1};
        tArming[t] = TrackActiveNone;
        pnMixMarker[t] = 0;
        pnMsMarker[t] = 0;
        Routings[t].clear();
    }
    for (tInputSettings& s : MicInputs)
        s = tInputSettings();
    for (tInputSettings& s : LineInputs)
        s = tInputSettings();
    for (tInputSettings& s : DigitalInputs)
        s = tInputSettings();
    for (tInputSettings& s : Aes42Inputs)
        s = tInputSettings();
}

void RegisterTakeMetadataType()
{
    qRegisterMetaType<tyTakeMetadata>("tyTakeMetadata");
    qRegisterMetaType<tReportCircleDisplay>("tReportCircleDisplay");
    qRegisterMetaType<QList<int>>("QList<int>");
}
