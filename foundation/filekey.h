#ifndef NALVO_FOUNDATION_FILEKEY_H
#define NALVO_FOUNDATION_FILEKEY_H

#include <QByteArray>
#include <QString>
#include <QtGlobal>

// The per-file key that marks a file as written by the recorder (or by this
// application). It is derived from facts no metadata edit changes: the data
// chunk's size field, the sample rate, the bits per sample and the channels.

// FNV-1a 64 of the seed, XOR 0x9E3779B97F4A7C15, rotated left by 23 bits.
quint64 ScrambleFileKeySeed(const QByteArray& seed);

// The seed text "<data size>|<rate>|<bits>|<channels>".
QByteArray FileKeySeed(quint32 dataSize, quint32 sampleRate, quint16 bitsPerSample, quint16 channels);

// 16 upper-case hexadecimal digits of the scrambled seed.
QString MakeFileKey(quint32 dataSize, quint32 sampleRate, quint16 bitsPerSample, quint16 channels);

// True when the stored text (case and surrounding blanks ignored) is the key
// of those values.
bool FileKeyMatches(const QString& stored, quint32 dataSize, quint32 sampleRate,
                    quint16 bitsPerSample, quint16 channels);

#endif
