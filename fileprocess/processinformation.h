#ifndef NALVO_FILEPROCESS_PROCESSINFORMATION_H
#define NALVO_FILEPROCESS_PROCESSINFORMATION_H

#include "foundation/mapping.h"

#include <QString>
#include <QtGlobal>

// The working record of one mono take in a file-process run: filled from the
// take and its player settings by the scan, edited by the dialog's rows,
// completed by the run. Every field starts at the player's defaults so no
// reader ever sees an unset value.
struct tProcessInformation {
    enum : int { kTracks = 24, kPairs = 12 };

    QString czTagName;
    QString czProject;
    QString czDay;
    QString czPreProjectPath;
    QString czTakePath;
    QString czFilePath;
    qint16 pnTrackVolume[kTracks];
    bool pbTrackMute[kTracks];
    qint16 pnPanLeft[kTracks];
    qint16 pnPanRight[kTracks];
    bool pbSwapMS[kPairs];
    bool pbMSPair[kPairs];
    bool pbPresent[kTracks];
    QMapping Mapping[kTracks];
    quint32 FileSize = 0;
    qint16 TrackMax = -1;
    qint16 pnRotate[kTracks];
    bool Compact = false;
    qint64 ComputedSize = 0;

    tProcessInformation()
    {
        for (int t = 0; t < kTracks; ++t) {
            pnTrackVolume[t] = 4;
            pbTrackMute[t] = false;
            pnPanLeft[t] = 100;
            pnPanRight[t] = 100;
            pbPresent[t] = false;
            pnRotate[t] = -1;
        }
        for (int k = 0; k < kPairs; ++k) {
            pbSwapMS[k] = false;
            pbMSPair[k] = false;
        }
    }
};

#endif
