// Keyword settings files (".idh" sidecars) may come from any card.
#include "foundation/keywordfile.h"

#include <QTemporaryFile>
#include <cstdint>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    static QTemporaryFile* scratch = [] {
        auto* file = new QTemporaryFile;
        file->open();
        return file;
    }();
    scratch->resize(0);
    scratch->seek(0);
    scratch->write(reinterpret_cast<const char*>(data), static_cast<qint64>(size));
    scratch->flush();

    QFileRead reader(scratch->fileName());
    if (!reader.open(QIODevice::ReadOnly))
        return 0;
    static const char* const keywords[] = {"#PLAYER_TRACK_VOL", "#PLAYER_TRACK_PAN", "#LABEL", "#MIN_TRACK", ""};
    QString value;
    for (const char* keyword : keywords) {
        if (reader.FindKeyword(QString::fromLatin1(keyword))) {
            for (int n = -1; n < 26; ++n)
                reader.Extract(n, &value);
        }
    }
    return 0;
}
