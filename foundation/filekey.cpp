#include "foundation/filekey.h"

#include <cstdio>

quint64 ScrambleFileKeySeed(const QByteArray& seed)
{
    quint64 hash = 0xCBF29CE484222325ULL;
    for (const char c : seed) {
        hash ^= static_cast<quint8>(c);
        hash *= 0x100000001B3ULL;
    }
    hash ^= 0x9E3779B97F4A7C15ULL;
    return (hash << 23) | (hash >> (64 - 23));
}

QByteArray FileKeySeed(quint32 dataSize, quint32 sampleRate, quint16 bitsPerSample, quint16 channels)
{
    // Every member of every loaded take is checked: formatted in one go.
    char seed[48];
    const int n = std::snprintf(seed, sizeof seed, "%u|%u|%u|%u", unsigned(dataSize), unsigned(sampleRate),
                                unsigned(bitsPerSample), unsigned(channels));
    return QByteArray(seed, n);
}

QString MakeFileKey(quint32 dataSize, quint32 sampleRate, quint16 bitsPerSample, quint16 channels)
{
    // The members of a take share their audio format and size: each thread
    // keeps its last key, which serves the whole take.
    thread_local struct {
        quint64 nArguments = ~quint64(0);
        quint32 nRate = 0;
        QString czKey;
    } last;
    const quint64 arguments = quint64(dataSize) | quint64(bitsPerSample) << 32 | quint64(channels) << 48;
    if (arguments == last.nArguments && sampleRate == last.nRate)
        return last.czKey;
    const quint64 key = ScrambleFileKeySeed(FileKeySeed(dataSize, sampleRate, bitsPerSample, channels));
    // Sixteen upper-case hex digits, leading zeros kept.
    char hex[16];
    for (int i = 0; i < 16; ++i)
        hex[i] = "0123456789ABCDEF"[(key >> (60 - 4 * i)) & 0xF];
    last.nArguments = arguments;
    last.nRate = sampleRate;
    last.czKey = QString::fromLatin1(hex, 16);
    return last.czKey;
}

bool FileKeyMatches(const QString& stored, quint32 dataSize, quint32 sampleRate,
                    quint16 bitsPerSample, quint16 channels)
{
    return stored.trimmed().compare(MakeFileKey(dataSize, sampleRate, bitsPerSample, channels),
                                    Qt::CaseInsensitive)
           == 0;
}
