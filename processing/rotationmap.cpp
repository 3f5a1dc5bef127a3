#include "processing/rotationmap.h"

#include <QtGlobal>

namespace rotation {

tyRotationMap BuildRotationMap(int n, int m, int trackMax)
{
    tyRotationMap map;
    map.fill(-1);
    m = qBound(1, m, int(kTracks));
    const int shift = ((n % m) + m) % m;
    for (int t = 0; t < kTracks && t <= trackMax; ++t)
        map[size_t(t)] = t < m ? (shift + t) % m : t;
    return map;
}

bool ValidateRotationMap(const int* map, const bool* present, QString* why)
{
    auto refuse = [why](const QString& text) {
        if (why)
            *why = text;
        return false;
    };
    int owner[kTracks];
    std::fill(std::begin(owner), std::end(owner), -1);
    bool any = false;
    for (int s = 0; s < kTracks; ++s) {
        const int channel = map[s];
        if (channel < -1 || channel >= kTracks)
            return refuse(QStringLiteral("track %1 is sent to channel %2").arg(s + 1).arg(channel + 1));
        if (channel < 0 || !present[s])
            continue;
        if (owner[channel] >= 0)
            return refuse(QStringLiteral("tracks %1 and %2 are sent to channel %3")
                              .arg(owner[channel] + 1)
                              .arg(s + 1)
                              .arg(channel + 1));
        owner[channel] = s;
        any = true;
    }
    if (!any)
        return refuse(QStringLiteral("no track is sent to a channel"));
    return true;
}

int RotatedTrackSpan(const int* map, const bool* present, const bool* muted)
{
    int span = 0;
    for (int s = 0; s < kTracks; ++s) {
        if (present[s] && !muted[s] && map[s] >= 0 && map[s] < kTracks)
            span = qMax(span, map[s] + 1);
    }
    return span;
}

}  // namespace rotation
