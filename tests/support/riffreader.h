#ifndef NALVO_TESTS_SUPPORT_RIFFREADER_H
#define NALVO_TESTS_SUPPORT_RIFFREADER_H

#include <QByteArray>
#include <QList>
#include <QString>
#include <QStringList>
#include <QtGlobal>

// A minimal RIFF/WAVE reader, independent of the project's sound-file class,
// for checking what the system writes. It walks every chunk (no 31-unknown
// limit). After an odd-sized chunk it takes the next header right behind the
// payload when that holds a plausible id (recorder style), else one byte
// later (standard pad).
namespace fixture {

struct RiffChunk {
    QByteArray id;            // 4 bytes
    quint32 size = 0;         // the size field
    qint64 offset = 0;        // of the 8-byte header
    qint64 payloadOffset = 0;
    bool truncated = false;   // the payload runs past the end of the file
};

struct RiffInfo {
    bool isRiffWave = false;
    quint32 riffSize = 0;     // the size field at offset 4
    qint64 fileSize = 0;
    qint64 walkedEnd = 0;     // end of the last chunk's payload
    QList<RiffChunk> chunks;

    // fmt
    bool hasFmt = false;
    quint16 formatTag = 0;
    quint16 channels = 0;
    quint32 sampleRate = 0;
    quint32 byteRate = 0;
    quint16 blockAlign = 0;
    quint16 bits = 0;

    // data
    bool hasData = false;
    quint32 dataSize = 0;     // the size field
    qint64 dataOffset = 0;
    QByteArray data;          // the payload bytes present

    // bext
    bool hasBext = false;
    QByteArray description;   // up to the first NUL
    QByteArray originator;    // up to the first NUL
    QByteArray originatorReference;   // the raw 32 bytes
    QByteArray originationDate;
    QByteArray originationTime;
    quint64 timeReference = 0;

    // iXML
    bool hasIxml = false;
    QByteArray ixml;          // the payload, padding included

    const RiffChunk* Find(const QByteArray& id) const;
    QStringList ChunkIds() const;
    // Frames of audio: data size / block align (0 without block align).
    quint32 Frames() const;
    // The value of "key=" at the start of a description line, or a null text.
    QString DescriptionValue(const QString& key) const;
};

RiffInfo ParseRiff(const QByteArray& bytes);
RiffInfo ReadRiffFile(const QString& path);

// The text of the first element at the slash-separated path below the root
// (for example "ORVEX_BRISEL/FILE_KEY"); a null text when absent or when the
// XML does not parse. Trailing blanks and NULs are ignored.
QString IxmlValue(const QByteArray& ixml, const QString& path);
// The texts of every element at the path (for repeated elements such as
// "TRACK_LIST/TRACK/NAME").
QStringList IxmlValues(const QByteArray& ixml, const QString& path);
// The root element's name, or a null text when the XML does not parse.
QString IxmlRoot(const QByteArray& ixml);

}  // namespace fixture

#endif
