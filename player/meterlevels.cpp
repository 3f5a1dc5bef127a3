#include "player/meterlevels.h"

#include "take/soundperform.h"

int TrackMeterCount(const QSoundPerform& take)
{
    return take.m_bProcessedName ? 2 : QSoundPerform::kMaxTracks;
}

int TrackMeterValue(const QSoundPerform& take, int position, bool postFader, short state)
{
    if (position < 0 || position >= QSoundPerform::kMaxTracks)
        return -1;
    if (take.m_bPolyTake || take.m_bProcessedName) {
        const int track = take.m_pnOriginalTrackIndex[position];
        if (track < 0 || track >= QSoundPerform::kMaxTracks)
            return -1;
        QString active = take.m_czTrackActive[track].trimmed();
        if (active.isEmpty())
            active = position < take.m_nChannels ? QStringLiteral("YES") : QStringLiteral("NO");
        if (active.compare(QLatin1String("YES"), Qt::CaseInsensitive) != 0)
            return -1;
    } else if (!take.m_pbPresent[position]) {
        return -1;
    }
    if (state == 0)
        return 0;
    // The level of the position itself: the mixer measured it there.
    return postFader ? take.m_pnVuTrackPost[position].load() : take.m_pnVuTrackPre[position].load();
}
