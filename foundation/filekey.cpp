#include "foundation/filekey.h"

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
    return QByteArray::number(dataSize) + '|' + QByteArray::number(sampleRate) + '|'
           + QByteArray::number(bitsPerSample) + '|' + QByteArray::number(channels);
}

QString MakeFileKey(quint32 dataSize, quint32 sampleRate, quint16 bitsPerSample, quint16 channels)
{
    const quint64 key = ScrambleFileKeySeed(FileKeySeed(dataSize, sampleRate, bitsPerSample, channels));
    return QStringLiteral("%1").arg(key, 16, 16, QLatin1Char('0')).toUpper();
}

bool FileKeyMatches(const QString& stored, quint32 dataSize, quint32 sampleRate,
                    quint16 bitsPerSample, quint16 channels)
{
    return stored.trimmed().compare(MakeFileKey(dataSize, sampleRate, bitsPerSample, channels),
                                    Qt::CaseInsensitive)
           == 0;
}
