#ifndef NALVO_TESTS_FUZZ_FUZZINPUT_H
#define NALVO_TESTS_FUZZ_FUZZINPUT_H

#include <QFile>
#include <QTemporaryDir>

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

#endif
