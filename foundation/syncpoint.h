#ifndef NALVO_FOUNDATION_SYNCPOINT_H
#define NALVO_FOUNDATION_SYNCPOINT_H

#include <QString>
#include <QtGlobal>

// One sync point of the iXML sync-point list (a slate or a marker).
class QSyncPoint
{
public:
    QString m_czType;      // "RELATIVE"
    QString m_czFunction;  // "SLATE_GENERIC", "MARKER_GENERIC", ...
    QString m_czComment;
    quint32 m_nPositionLow = 0;
    quint32 m_nPositionHigh = 0;
    quint64 m_nDuration = 0;

    // The 64-bit sample position from its two halves.
    quint64 Position() const { return (quint64(m_nPositionHigh) << 32) | m_nPositionLow; }
    bool IsSlate() const { return m_czFunction.startsWith(QLatin1String("SLATE")); }
    bool IsMarker() const { return m_czFunction.startsWith(QLatin1String("MARKER")); }
};

#endif
