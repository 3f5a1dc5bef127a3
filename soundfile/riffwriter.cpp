#include "soundfile/riffwriter.h"

#include "soundfile/chunkrecords.h"

#include <QFile>

RiffChunkWriter::RiffChunkWriter(QFile& file, const tyRiffLayout& layout)
    : m_File(file), m_Layout(layout)
{
}

bool RiffChunkWriter::Fail(const QString& text)
{
    m_czError = text;
    return false;
}

bool RiffChunkWriter::HeaderOnDiskMatches(int chunk)
{
    if (chunk < 0 || chunk >= m_Layout.chunks.size())
        return Fail(QStringLiteral("no such chunk"));
    if (m_File.size() != m_Layout.nFileLength)
        return Fail(QStringLiteral("the file changed since it was read"));
    const tyRiffChunkInfo& info = m_Layout.chunks.at(chunk);
    char header[8];
    if (!m_File.seek(info.nHeaderOffset) || m_File.read(header, 8) != 8)
        return Fail(QStringLiteral("cannot read the chunk header"));
    if (QByteArray(header, 4) != info.czId
        || ReadLe32(reinterpret_cast<const unsigned char*>(header + 4)) != info.nSize)
        return Fail(QStringLiteral("the file changed since it was read"));
    return true;
}

bool RiffChunkWriter::WriteAt(qint64 offset, const QByteArray& bytes)
{
    if (!m_File.seek(offset) || m_File.write(bytes) != bytes.size() || !m_File.flush())
        return Fail(QStringLiteral("write error: %1").arg(m_File.errorString()));
    return true;
}

bool RiffChunkWriter::WriteRiffSize(qint64 fileLength)
{
    unsigned char size[4];
    WriteLe32(size, static_cast<quint32>(fileLength - 8));
    return WriteAt(4, QByteArray(reinterpret_cast<const char*>(size), 4));
}

bool RiffChunkWriter::OverwritePayload(int chunk, qint64 offset, const QByteArray& bytes)
{
    if (!HeaderOnDiskMatches(chunk))
        return false;
    const tyRiffChunkInfo& info = m_Layout.chunks.at(chunk);
    const qint64 room = qint64(info.nSize) - offset;
    if (offset < 0 || room <= 0 || bytes.isEmpty())
        return Fail(QStringLiteral("the field lies outside the chunk"));
    return WriteAt(info.PayloadOffset() + offset, bytes.left(int(qMin<qint64>(room, bytes.size()))));
}

bool RiffChunkWriter::ExtendFile(const QByteArray& bytes)
{
    if (bytes.isEmpty())
        return true;
    if (WriteAt(m_Layout.nFileLength, bytes))
        return true;
    // A full disk: take back what part of it reached the file, so the
    // original layout (and the RIFF size, not yet written) stays whole.
    const QString why = m_czError;
    m_File.resize(m_Layout.nFileLength);
    return Fail(why);
}

bool RiffChunkWriter::RewriteLastChunk(int chunk, QByteArray bytes, char fill)
{
    if (!HeaderOnDiskMatches(chunk))
        return false;
    const tyRiffChunkInfo& info = m_Layout.chunks.at(chunk);
    if (!m_Layout.IsLastChunk(chunk) || info.End() != m_Layout.nFileLength)
        return Fail(QStringLiteral("the chunk is not the last one"));
    if (bytes.size() < qint64(info.nSize))
        bytes.append(QByteArray(int(info.nSize) - bytes.size(), fill));
    if (bytes.size() & 1)
        bytes.append(fill);
    const qint64 newLength = info.PayloadOffset() + bytes.size();
    if (newLength > kMaxRiffFileLength)
        return Fail(QStringLiteral("the file would pass the RIFF size limit"));
    // The growth first: when it fails the old chunk is still untouched.
    // Then the old payload, sizes last: an interrupted write leaves the old
    // sizes, which still describe a readable file.
    const int inPlace = int(m_Layout.nFileLength - info.PayloadOffset());
    unsigned char size[4];
    WriteLe32(size, static_cast<quint32>(bytes.size()));
    if (!ExtendFile(bytes.mid(inPlace)) || !WriteAt(info.PayloadOffset(), bytes.left(inPlace))
        || !WriteAt(info.nHeaderOffset + 4, QByteArray(reinterpret_cast<const char*>(size), 4)))
        return false;
    if (newLength < m_File.size() && !m_File.resize(newLength))
        return Fail(QStringLiteral("cannot cut the file"));
    return WriteRiffSize(newLength);
}

bool RiffChunkWriter::AppendChunk(const QByteArray& id, QByteArray payload, char fill)
{
    if (id.size() != 4)
        return Fail(QStringLiteral("bad chunk id"));
    if (m_File.size() != m_Layout.nFileLength || m_Layout.nWalkedEnd != m_Layout.nFileLength)
        return Fail(QStringLiteral("the file changed since it was read"));
    if (payload.size() & 1)
        payload.append(fill);
    QByteArray bytes;
    // Only an odd last chunk without its pad byte gets one: the end of the
    // file can be odd after an earlier unpadded chunk, and a byte put after
    // an even chunk would hide the new chunk from every reader.
    const bool lastIsUnpadded = !m_Layout.chunks.isEmpty() && (m_Layout.chunks.last().nSize & 1)
                                && !m_Layout.chunks.last().bPadded;
    if (lastIsUnpadded)
        bytes.append('\0');
    unsigned char size[4];
    WriteLe32(size, static_cast<quint32>(payload.size()));
    bytes.append(id).append(reinterpret_cast<const char*>(size), 4).append(payload);
    const qint64 newLength = m_Layout.nFileLength + bytes.size();
    if (newLength > kMaxRiffFileLength)
        return Fail(QStringLiteral("the file would pass the RIFF size limit"));
    return ExtendFile(bytes) && WriteRiffSize(newLength);
}

bool RiffChunkWriter::RenameChunk(int chunk, const QByteArray& id)
{
    if (id.size() != 4)
        return Fail(QStringLiteral("bad chunk id"));
    return HeaderOnDiskMatches(chunk) && WriteAt(m_Layout.chunks.at(chunk).nHeaderOffset, id);
}
