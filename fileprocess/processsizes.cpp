#include "fileprocess/processsizes.h"

#include "processing/rotationmap.h"

namespace procsize {

QString RowSizeText(quint64 bytes)
{
    if (bytes == 0)
        return QString();
    if (bytes < 1024)
        return QStringLiteral("%1 B").arg(bytes);
    static const char* const kUnits[] = {"KB", "MB", "GB"};
    quint64 unit = 1024;
    int u = 0;
    while (u < 2 && bytes >= unit * 1024) {
        unit *= 1024;
        ++u;
    }
    const quint64 whole = bytes / unit;
    // bytes * 10 would overflow only past 1.8e18 bytes; divide first there.
    const quint64 tenth = (bytes % unit) * 10 / unit;
    if (tenth > 0)
        return QStringLiteral("%1.%2 %3").arg(whole).arg(tenth).arg(QLatin1String(kUnits[u]));
    return QStringLiteral("%1 %2").arg(whole).arg(QLatin1String(kUnits[u]));
}

QString TotalSizeText(quint64 bytes)
{
    if (bytes < 1024)
        return QString::asprintf("%lld B", static_cast<long long>(bytes));
    static const char* const kUnits[] = {"KB", "MB", "GB", "TB"};
    long double unit = 1024;
    int u = 0;
    while (u < 3 && bytes >= unit * 1024) {
        unit *= 1024;
        ++u;
    }
    const quint64 thousandths = static_cast<quint64>(static_cast<long double>(bytes) * 1000 / unit);
    return QString::asprintf("%.3f %s", thousandths / 1000.0, kUnits[u]);
}

int ChannelCount(int kind, const bool* present, const bool* kept, int minTrack, int rotateCount,
                 int rotateMaxTrack, int trackMax)
{
    constexpr int kTracks = rotation::kTracks;
    switch (kind) {
    case 0:
    case 1:
        return 2;
    case 2: {
        int n = 0;
        for (int t = 0; t < kTracks; ++t)
            if (present[t] && kept[t])
                n = t + 1;
        return n == 0 ? 0 : qMax(n, minTrack);
    }
    case 3: {
        // The engine's own table: what the row shows is what it writes.
        const rotation::tyRotationMap map = rotation::BuildRotationMap(rotateCount, rotateMaxTrack, trackMax);
        bool muted[kTracks];
        for (int t = 0; t < kTracks; ++t)
            muted[t] = !kept[t];
        return rotation::RotatedTrackSpan(map.data(), present, muted);
    }
    case 4: {
        int n = 0;
        for (int t = 0; t < kTracks; ++t)
            n += present[t] && kept[t];
        return n;
    }
    default:
        return 0;
    }
}

}  // namespace procsize
