#ifndef NALVO_TESTS_FUZZ_FUZZINPUT_H
#define NALVO_TESTS_FUZZ_FUZZINPUT_H

#include <QFile>
#include <QTemporaryDir>
#include <QtEndian>

#include <cstddef>
#include <cstdint>

// Writes the fuzzer's input as a file of that name in a scratch folder kept
// for the whole run; its path, or an empty text when it cannot be written.
inline QString WriteFuzzInput(const QString& name, const uint8_t* data, size_t size)
{
    static QTemporaryDir folder;
    const QString path = folder.path() + QLatin1Char('/') + name;
    QFile out(path);
    if (!out.open(QIODevice::WriteOnly | QIODevice::Truncate)
        || out.write(reinterpret_cast<const char*>(data), qint64(size)) != qint64(size))
        return QString();
    return path;
}

inline QByteArray FuzzLe32(quint32 v)
{
    char b[4];
    qToLittleEndian(v, b);
    return QByteArray(b, 4);
}

inline QByteArray FuzzChunk(const char* id, const QByteArray& payload)
{
    QByteArray c = QByteArray(id, 4) + FuzzLe32(quint32(payload.size())) + payload;
    if (payload.size() & 1)
        c.append('\0');
    return c;
}

// A one-channel 24-bit 48 kHz file of the recorder's kind: its bext holds
// the description (cut to 255 bytes) and the recorder's originator
// reference, then 48 frames of audio and the iXML text.
inline QByteArray FuzzMonoFile(const QByteArray& description, const QByteArray& ixml)
{
    QByteArray fmt;
    fmt += QByteArray("\x01\x00\x01\x00", 4);   // PCM, one channel
    fmt += FuzzLe32(48000) + FuzzLe32(48000 * 3) + QByteArray("\x03\x00\x18\x00", 4);
    QByteArray bext(602, '\0');
    bext.replace(0, qMin(description.size(), 255), description.left(255));
    bext.replace(288, 5, "ORVEX");
    const QByteArray body = FuzzChunk("fmt ", fmt) + FuzzChunk("bext", bext)
                            + FuzzChunk("data", QByteArray(48 * 3, '\x10')) + FuzzChunk("iXML", ixml);
    return QByteArray("RIFF") + FuzzLe32(quint32(body.size() + 4)) + QByteArray("WAVE") + body;
}

#endif
