#ifndef NALVO_TESTS_SUPPORT_RIFFBYTES_H
#define NALVO_TESTS_SUPPORT_RIFFBYTES_H

#include <QByteArray>
#include <QList>
#include <QtGlobal>

// Byte-level building blocks shared by the fixture writers.
namespace fixture {

struct ChunkBytes {
    QByteArray id;            // 4 characters
    QByteArray payload;
    bool padOdd = true;       // write the RIFF pad byte after an odd payload
    qint64 sizeOverride = -1; // a size field other than the payload length
};

QByteArray U16(quint16 v);
QByteArray U32(quint32 v);
void PutU32(QByteArray& bytes, int offset, quint32 v);
// Copies text into a zeroed field of the given width (cut when longer).
void PutText(QByteArray& bytes, int offset, int width, const QByteArray& text);

QByteArray FmtPayload(quint16 formatTag, quint16 channels, quint32 sampleRate, quint16 bits);
QByteArray BextPayload(const QByteArray& description, const QByteArray& originator,
                       const QByteArray& originatorReference, const QByteArray& date,
                       const QByteArray& time, quint64 timeReference);

// "RIFF" + size + "WAVE" + the chunks; the size field is the exact length - 8.
QByteArray AssembleRiff(const QList<ChunkBytes>& chunks);

// The chunks as an RF64 file, as recorders write one over 4 GB: "RF64",
// size field 0xFFFFFFFF, "WAVE", a ds64 chunk with the 64-bit RIFF and
// data sizes and the frame count (frames), then the chunks with the data
// chunk's size field 0xFFFFFFFF.
QByteArray AssembleRf64(QList<ChunkBytes> chunks, quint64 frames);

// Writes the bytes to the file, creating its folder; false on any failure.
bool WriteBytes(const QString& path, const QByteArray& bytes);
// A file's bytes; empty when it does not open.
QByteArray ReadBytes(const QString& path);

}  // namespace fixture

#endif
