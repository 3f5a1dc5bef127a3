#include "soundfile/riffwalker.h"

#include "soundfile/chunkrecords.h"

#include <QIODevice>
#include <cstring>

qint64 tyRiffChunkInfo::AvailableSize(qint64 fileLength) const
{
    const qint64 available = fileLength - PayloadOffset();
    if (available <= 0)
        return 0;
    return qMin<qint64>(available, nSize);
}

bool tyRiffLayout::IsSound() const
{
    return bRiffWave && !bTruncated && !bGarbage && !bStoppedEarly && RiffSizeMatches()
           && nWalkedEnd == nFileLength;
}

int tyRiffLayout::Find(const char* id) const
{
    for (int i = 0; i < chunks.size(); ++i) {
        const QByteArray& chunkId = chunks.at(i).czId;
        if (chunkId.size() == 4 && std::memcmp(chunkId.constData(), id, 4) == 0)
            return i;
    }
    return -1;
}

bool tyRiffLayout::SameChunks(const tyRiffLayout& other) const
{
    if (nFileLength != other.nFileLength || nRiffSize != other.nRiffSize || bRiffWave != other.bRiffWave
        || chunks.size() != other.chunks.size())
        return false;
    for (int i = 0; i < chunks.size(); ++i) {
        const tyRiffChunkInfo& a = chunks.at(i);
        const tyRiffChunkInfo& b = other.chunks.at(i);
        if (a.czId != b.czId || a.nSize != b.nSize || a.nHeaderOffset != b.nHeaderOffset
            || a.bPadded != b.bPadded)
            return false;
    }
    return true;
}

namespace {

class DeviceSource : public RiffByteSource
{
public:
    explicit DeviceSource(QIODevice& device) : m_Device(device) {}
    qint64 Length() const override { return m_Device.size(); }
    bool ReadAt(qint64 offset, char* out, qint64 n) override
    {
        return m_Device.seek(offset) && m_Device.read(out, n) == n;
    }

private:
    QIODevice& m_Device;
};

// Reads the 8-byte header at offset; false when fewer than 8 bytes are there.
bool ReadHeader(RiffByteSource& device, qint64 fileLength, qint64 offset, QByteArray* id, quint32* size)
{
    char header[8];
    if (offset < 0 || offset + 8 > fileLength || !device.ReadAt(offset, header, 8))
        return false;
    *id = QByteArray(header, 4);
    *size = ReadLe32(reinterpret_cast<const unsigned char*>(header + 4));
    return true;
}

bool HeaderIsPlausible(RiffByteSource& device, qint64 fileLength, qint64 offset)
{
    QByteArray id;
    quint32 size = 0;
    return ReadHeader(device, fileLength, offset, &id, &size) && RiffChunkWalker::IsPlausibleId(id);
}

} // namespace

bool RiffChunkWalker::IsPlausibleId(const QByteArray& id)
{
    if (id.size() != 4)
        return false;
    for (const char c : id) {
        if (c < 0x20 || c > 0x7E)
            return false;
    }
    return true;
}

bool RiffChunkWalker::IsKnownId(const QByteArray& id)
{
    return id == "fmt " || id == "bext" || id == "data" || id == "film" || id == "iXML"
           || (id.size() == 4 && id.startsWith("ond"));
}

tyRiffLayout RiffChunkWalker::Walk(QIODevice& device, int maxUnknown)
{
    DeviceSource source(device);
    return Walk(source, maxUnknown);
}

tyRiffLayout RiffChunkWalker::Walk(RiffByteSource& device, int maxUnknown)
{
    tyRiffLayout layout;
    layout.nFileLength = device.Length();
    char head[12];
    if (layout.nFileLength < 12 || !device.ReadAt(0, head, 12))
        return layout;
    const bool wave = std::memcmp(head + 8, "WAVE", 4) == 0;
    layout.bRiffWave = wave && std::memcmp(head, "RIFF", 4) == 0;
    layout.bRf64 = wave && (std::memcmp(head, "RF64", 4) == 0 || std::memcmp(head, "BW64", 4) == 0);
    layout.nRiffSize = ReadLe32(reinterpret_cast<const unsigned char*>(head + 4));
    if (!layout.bRiffWave)
        return layout;

    qint64 offset = 12;
    layout.nWalkedEnd = offset;
    // A recorder file holds half a dozen chunks.
    layout.chunks.reserve(8);
    while (offset < layout.nFileLength) {
        if (layout.chunks.size() >= kMaxHeaders) {
            layout.bStoppedEarly = true;
            break;
        }
        tyRiffChunkInfo chunk;
        if (!ReadHeader(device, layout.nFileLength, offset, &chunk.czId, &chunk.nSize)
            || !IsPlausibleId(chunk.czId)) {
            layout.bGarbage = true;
            break;
        }
        chunk.nHeaderOffset = offset;
        const qint64 payloadEnd = chunk.PayloadOffset() + qint64(chunk.nSize);
        if (payloadEnd > layout.nFileLength) {
            chunk.bTruncated = true;
            layout.bTruncated = true;
        } else if ((chunk.nSize & 1) && payloadEnd < layout.nFileLength
                   && !HeaderIsPlausible(device, layout.nFileLength, payloadEnd)) {
            // A lone trailing byte, or a plausible header one byte on: a pad byte.
            chunk.bPadded = payloadEnd + 1 == layout.nFileLength
                            || HeaderIsPlausible(device, layout.nFileLength, payloadEnd + 1);
        }
        layout.chunks.append(chunk);
        if (!IsKnownId(chunk.czId))
            ++layout.nUnknownCount;
        if (chunk.bTruncated) {
            layout.nWalkedEnd = layout.nFileLength;
            break;
        }
        offset = chunk.End();
        layout.nWalkedEnd = offset;
        if (layout.nUnknownCount >= maxUnknown) {
            layout.bStoppedEarly = offset < layout.nFileLength;
            break;
        }
    }
    return layout;
}
