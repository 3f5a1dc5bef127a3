#include "tests/support/riffbytes.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>

namespace fixture {

QByteArray U16(quint16 v)
{
    QByteArray b(2, '\0');
    b[0] = char(v & 0xFF);
    b[1] = char(v >> 8);
    return b;
}

QByteArray U32(quint32 v)
{
    QByteArray b(4, '\0');
    PutU32(b, 0, v);
    return b;
}

void PutU32(QByteArray& bytes, int offset, quint32 v)
{
    for (int i = 0; i < 4; ++i)
        bytes[offset + i] = char((v >> (8 * i)) & 0xFF);
}

void PutText(QByteArray& bytes, int offset, int width, const QByteArray& text)
{
    for (int i = 0; i < width; ++i)
        bytes[offset + i] = i < text.size() ? text[i] : '\0';
}

QByteArray FmtPayload(quint16 formatTag, quint16 channels, quint32 sampleRate, quint16 bits)
{
    const quint16 blockAlign = quint16(channels * ((bits + 7) / 8));
    return U16(formatTag) + U16(channels) + U32(sampleRate) + U32(sampleRate * blockAlign)
           + U16(blockAlign) + U16(bits);
}

QByteArray BextPayload(const QByteArray& description, const QByteArray& originator,
                       const QByteArray& originatorReference, const QByteArray& date,
                       const QByteArray& time, quint64 timeReference)
{
    QByteArray p(602, '\0');
    PutText(p, 0, 256, description.left(255));
    PutText(p, 256, 32, originator.left(31));
    // The reference is a fixed 32-byte record (it holds a NUL at byte 5).
    PutText(p, 288, 32, originatorReference);
    PutText(p, 320, 10, date);
    PutText(p, 330, 8, time);
    PutU32(p, 338, quint32(timeReference & 0xFFFFFFFFu));
    PutU32(p, 342, quint32(timeReference >> 32));
    p[346] = 1;  // version
    return p;
}

QByteArray AssembleRiff(const QList<ChunkBytes>& chunks)
{
    // Each byte copied once: the benchmarks' files are tall.
    int length = 12;
    for (const ChunkBytes& c : chunks)
        length += 8 + c.payload.size() + 1;
    QByteArray bytes;
    bytes.reserve(length);
    bytes += "RIFF";
    bytes += U32(0);
    bytes += "WAVE";
    for (const ChunkBytes& c : chunks) {
        const quint32 size = c.sizeOverride >= 0 ? quint32(c.sizeOverride) : quint32(c.payload.size());
        bytes += c.id.left(4);
        bytes += U32(size);
        bytes += c.payload;
        if (c.padOdd && (c.payload.size() & 1))
            bytes += '\0';
    }
    PutU32(bytes, 4, quint32(bytes.size() - 8));
    return bytes;
}

QByteArray AssembleRf64(QList<ChunkBytes> chunks, quint64 frames)
{
    quint64 dataSize = 0;
    for (ChunkBytes& c : chunks) {
        if (c.id == "data") {
            dataSize = quint64(c.payload.size());
            c.sizeOverride = 0xFFFFFFFFLL;
        }
    }
    auto u64 = [](quint64 v) { return U32(quint32(v)) + U32(quint32(v >> 32)); };
    chunks.prepend({"ds64", QByteArray(24, '\0') + U32(0)});   // sizes set below, no table
    QByteArray bytes = AssembleRiff(chunks);
    bytes.replace(0, 4, "RF64");
    PutU32(bytes, 4, 0xFFFFFFFFu);
    bytes.replace(20, 24, u64(quint64(bytes.size()) - 8) + u64(dataSize) + u64(frames));
    return bytes;
}

bool WriteBytes(const QString& path, const QByteArray& bytes)
{
    QDir().mkpath(QFileInfo(path).absolutePath());
    QFile f(path);
    if (!f.open(QIODevice::WriteOnly | QIODevice::Truncate))
        return false;
    return f.write(bytes) == bytes.size() && f.flush();
}

QByteArray ReadBytes(const QString& path)
{
    QFile f(path);
    return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray();
}

}  // namespace fixture
