// Keyword settings files (".idh" sidecars) may come from any card.
#include "foundation/keywordfile.h"
#include "tests/fuzz/fuzzinput.h"

#include <cstdint>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    // In a scratch folder removed at exit: a run leaves nothing behind.
    const QString path = WriteFuzzInput(QStringLiteral("FZ0001.idh"), data, size);
    if (path.isEmpty())
        return 0;
    QFileRead reader(path);
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
