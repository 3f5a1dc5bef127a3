#ifndef NALVO_SOUNDFILE_RIFFWRITER_H
#define NALVO_SOUNDFILE_RIFFWRITER_H

#include "soundfile/riffwalker.h"

#include <QByteArray>
#include <QString>

class QFile;

// The only code that changes the bytes of a sound file. It works on a
// layout from a fresh walk and touches header chunks only: every write is
// bounded by the chunk it belongs to, the audio payload never moves, and
// appended chunks are always of even size so standard readers stay in step.
// Each function checks the chunk header on disk first, so a file changed
// behind the walk's back is refused, not overwritten.
class RiffChunkWriter
{
public:
    RiffChunkWriter(QFile& file, const tyRiffLayout& layout);

    // Writes bytes into chunk's payload at offset, cut at the chunk's size.
    // False when nothing of it lies inside the chunk.
    bool OverwritePayload(int chunk, qint64 offset, const QByteArray& bytes);
    // Replaces the payload of the last chunk by bytes (grown or not; padded
    // to even size with fill) and rewrites its size and the RIFF size.
    bool RewriteLastChunk(int chunk, QByteArray bytes, char fill);
    // Appends a chunk at the walked end (after a pad byte when the last
    // chunk is odd and has none) and rewrites the RIFF size. Odd payloads
    // get one fill byte. A write that fails leaves the file's length as it was.
    bool AppendChunk(const QByteArray& id, QByteArray payload, char fill);
    // Gives the chunk another id; size and payload stay.
    bool RenameChunk(int chunk, const QByteArray& id);

    // Why the last call failed.
    QString ErrorText() const { return m_czError; }

    // Largest size a RIFF file may reach.
    static constexpr qint64 kMaxRiffFileLength = qint64(0xFFFFFFFFu) + 8;

private:
    bool HeaderOnDiskMatches(int chunk);
    bool WriteAt(qint64 offset, const QByteArray& bytes);
    // Writes bytes at the end of the file; on failure cuts the file back.
    bool ExtendFile(const QByteArray& bytes);
    bool WriteRiffSize(qint64 fileLength);
    bool Fail(const QString& text);

    QFile& m_File;
    const tyRiffLayout& m_Layout;
    QString m_czError;
};

#endif
