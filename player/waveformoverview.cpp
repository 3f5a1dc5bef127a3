#include "player/waveformoverview.h"

#include "foundation/messageloging.h"
#include "foundation/naming.h"

#include <QFile>
#include <QtEndian>
#include <cstring>

namespace {

const char kSeparators[] = {'_', '-', '#', '+'};

bool IsPlausibleChunkId(const char id[4])
{
    for (int i = 0; i < 4; ++i) {
        if (id[i] < 0x20 || id[i] > 0x7E)
            return false;
    }
    return true;
}

bool PeekChunkId(QFile* file, qint64 offset, char id[4])
{
    return file->seek(offset) && file->read(id, 4) == 4;
}

// Waveform chunks are written without a pad byte; standard writers pad odd
// sizes. Take the unpadded position unless only the padded one holds a
// plausible chunk id.
qint64 NextChunkOffset(QFile* file, qint64 offset, quint32 size)
{
    const qint64 next = offset + 8 + qint64(size);
    if ((size & 1u) == 0)
        return next;
    char id[4];
    if (PeekChunkId(file, next, id) && IsPlausibleChunkId(id))
        return next;
    if (PeekChunkId(file, next + 1, id) && IsPlausibleChunkId(id))
        return next + 1;
    return next;
}

} // namespace

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
    const qint64 fileSize = file->size();
    bool found = false;
    qint64 offset = 12;
    for (int n = 0; n < kMaxChunks; ++n) {
        char header[8];
        if (!file->seek(offset) || file->read(header, 8) != 8)
            break;
        const quint32 size = qFromLittleEndian<quint32>(header + 4);
        if (offset + 8 + qint64(size) > fileSize) {
            // A size from a damaged file: nothing behind it can be trusted.
            MyQDebug("QPlayTimeLine::ReadChunk chunk %4.4s of size %u runs past the end of %s", header,
                     size, qPrintable(file->fileName()));
            break;
        }
        const int track = WaveformChunkTrack(header);
        if (track > 0 && size >= 5) {
            m_bWaveformPresent = true;
            found = true;
            ReadWaveformChunk(file, offset, size, track - 1);
        }
        offset = NextChunkOffset(file, offset, size);
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
    for (int k = 1; k <= kTracks; ++k) {
        ClearTrack(k - 1);
        const QString number = QString::fromLatin1(TrkIndexToNN(k));
        const QChar letter = QLatin1Char(TrkIndexToCharOld(k));
        for (char separator : kSeparators) {
            const QString stem = basePath + QLatin1Char(separator);
            QFile file(stem + number + QStringLiteral(".WAV"));
            if (!file.open(QIODevice::ReadOnly)) {
                file.setFileName(stem + letter + QStringLiteral(".WAV"));
                if (!file.open(QIODevice::ReadOnly))
                    continue;
            }
            ReadChunk(&file);
            break;
        }
    }
    return m_bWaveformPresent;
}
