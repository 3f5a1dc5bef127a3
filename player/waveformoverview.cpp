#include "player/waveformoverview.h"

#include "foundation/messageloging.h"
#include "foundation/naming.h"
#include "soundfile/riffwalker.h"
#include "take/takeverdict.h"

#include <QFile>
#include <QStringList>
#include <QtEndian>
#include <cstring>

int WaveformChunkTrack(const char id[4])
{
    if (std::memcmp(id, "ond", 3) != 0)
        return 0;
    for (int k = 1; k <= QWaveformOverview::kTracks; ++k) {
        if (id[3] == TrkIndexToCharOld(k))
            return k;
    }
    return 0;
}

void QWaveformOverview::Clear()
{
    for (int t = 0; t < kTracks; ++t)
        ClearTrack(t);
    m_nPointCount = 0;
    m_nCoveredSamples = 0;
    m_bWaveformPresent = false;
}

void QWaveformOverview::ClearTrack(int track)
{
    if (track >= 0 && track < kTracks)
        m_Levels[track] = QByteArray();
}

bool QWaveformOverview::HasTrack(int track) const
{
    return track >= 0 && track < kTracks && !m_Levels[track].isEmpty();
}

int QWaveformOverview::TrackPointCount(int track) const
{
    return HasTrack(track) ? m_Levels[track].size() : 0;
}

int QWaveformOverview::LevelAt(int track, qint64 samplePos) const
{
    if (m_nNbSamplePerPixel < 1 || samplePos < 0 || !HasTrack(track))
        return 0;
    const qint64 point = samplePos / m_nNbSamplePerPixel;
    if (point >= m_Levels[track].size())
        return 0;
    return static_cast<unsigned char>(m_Levels[track].at(int(point)));
}

bool QWaveformOverview::ReadChunk(QFile* file)
{
    // The sound files' own walk: 64-bit offsets, the recorder's unpadded odd
    // sizes, damaged sizes flagged instead of followed.
    const tyRiffLayout layout = RiffChunkWalker::Walk(*file, kMaxChunks);
    bool found = false;
    for (int n = 0; n < layout.chunks.size() && n < kMaxChunks; ++n) {
        const tyRiffChunkInfo& chunk = layout.chunks.at(n);
        if (chunk.bTruncated) {
            // A size from a damaged file: nothing behind it can be trusted.
            MyQDebug("QPlayTimeLine::ReadChunk chunk %s of size %u runs past the end of %s",
                     chunk.czId.constData(), chunk.nSize, qPrintable(file->fileName()));
            break;
        }
        const int track = WaveformChunkTrack(chunk.czId.constData());
        if (track > 0 && chunk.nSize >= 5) {
            m_bWaveformPresent = true;
            found = true;
            ReadWaveformChunk(file, chunk.nHeaderOffset, chunk.nSize, track - 1);
        }
    }
    return found;
}

bool QWaveformOverview::ReadWaveformChunk(QFile* file, qint64 offset, quint32 size, int track)
{
    char sppBytes[4];
    if (!file->seek(offset + 8) || file->read(sppBytes, 4) != 4)
        return false;
    const qint32 spp = qFromLittleEndian<qint32>(sppBytes);
    const qint64 count = qint64(size) - 4;
    QByteArray levels = file->read(count);
    if (levels.size() != count) {
        MyQDebug("ERROR QPlayTimeLine::ReadChunk ChunkID=ond%c  ChunkSize=%u", TrkIndexToCharOld(track + 1),
                 size);
        MyQDebug("#%d m_Ondes.nNbSamplePerPixel = %d", track, m_nNbSamplePerPixel);
        return false;
    }
    m_Levels[track] = levels;
    m_nNbSamplePerPixel = spp < 1 ? 1 : spp;
    m_nPointCount = int(count);
    m_nCoveredSamples = qint64(m_nNbSamplePerPixel) * count;
    return true;
}

bool QWaveformOverview::Load(const QString& basePath, bool poly)
{
    m_bWaveformPresent = false;
    m_nPointCount = 0;
    if (poly) {
        for (int t = 0; t < kTracks; ++t)
            ClearTrack(t);
        QFile file(basePath + QStringLiteral(".WAV"));
        if (file.open(QIODevice::ReadOnly))
            ReadChunk(&file);
        return m_bWaveformPresent;
    }
    for (int t = 0; t < kTracks; ++t)
        ClearTrack(t);
    // The track files as the take's load judges them (JudgeTake): every
    // separator, the two-digit number before the one-character one, and
    // the files that are no member by what they hold left out.
    const QString folder = basePath.left(basePath.lastIndexOf(QLatin1Char('/')) + 1);
    const FolderNameProbe names(folder);
    tyTakeVerdict verdict;
    if (!JudgeTake(basePath, QStringLiteral("WAV"), &names, nullptr, &verdict) || verdict.family.bPoly)
        return m_bWaveformPresent;
    QString members[kTracks];
    MemberPaths(&verdict, members);
    return LoadFiles(QStringList(std::begin(members), std::end(members)));
}

bool QWaveformOverview::LoadFiles(const QStringList& files)
{
    m_bWaveformPresent = false;
    m_nPointCount = 0;
    for (int t = 0; t < kTracks; ++t)
        ClearTrack(t);
    for (const QString& path : files) {
        QFile file(path);
        if (!path.isEmpty() && file.open(QIODevice::ReadOnly))
            ReadChunk(&file);
    }
    return m_bWaveformPresent;
}

bool QWaveformOverview::HasPointAt(int track, qint64 samplePos) const
{
    return m_nNbSamplePerPixel >= 1 && samplePos >= 0 && HasTrack(track)
           && samplePos / m_nNbSamplePerPixel < m_Levels[track].size();
}
