// A save record read from a card may be anything: the reader and the
// roll-back on arbitrary bytes. The member file beside it may be cut back or
// rewritten within its length, never grown, and nothing outside the record's
// folder is touched.
#include "soundfile/chunkjournal.h"

#include <QFile>
#include <QDir>
#include <QFileInfo>
#include <QTemporaryDir>

#include <cstddef>
#include <cstdint>
#include <cstdlib>

namespace {

bool WriteFile(const QString& path, const QByteArray& bytes)
{
    QFile file(path);
    return file.open(QIODevice::WriteOnly | QIODevice::Truncate) && file.write(bytes) == bytes.size();
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    static QTemporaryDir root;
    const QString folder = root.path() + QStringLiteral("/day/");
    const QString member = folder + QStringLiteral("FUZ001_01.WAV");
    const QString outside = root.path() + QStringLiteral("/FUZ001_01.WAV");
    const QString journal = folder + QStringLiteral(".FUZ001.nalvo-save");
    const QByteArray original(4096, 'a');
    QDir().mkpath(folder);
    if (!WriteFile(member, original) || !WriteFile(outside, original)
        || !WriteFile(journal, QByteArray(reinterpret_cast<const char*>(data), int(size))))
        return 0;

    RollBackChunkJournal(journal);

    if (QFileInfo(member).size() > original.size() || QFileInfo(outside).size() != original.size())
        std::abort();
    QFile::remove(journal);
    return 0;
}
