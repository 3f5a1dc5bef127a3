// Routing texts come from the iXML of files on a card: any bytes.
#include "foundation/mapping.h"

#include <QString>
#include <cstdint>
#include <cstdlib>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    const QString text = QString::fromUtf8(reinterpret_cast<const char*>(data), static_cast<int>(size));
    QMapping mapping;
    const int code = mapping.fromString(text);
    if (code < 0 || code > 13)
        abort();
    const QHash<int, int> tables[] = {mapping.mic(),   mapping.line(),  mapping.digi(),
                                      mapping.aes42(), mapping.dante(), mapping.mix(),
                                      mapping.track(), mapping.talk(),  mapping.postfade()};
    for (const QHash<int, int>& table : tables) {
        for (auto it = table.cbegin(); it != table.cend(); ++it) {
            if (it.key() < 0 || it.key() > 63 || it.value() <= 0)
                abort();
        }
    }
    // What was read writes back to a text that reads the same.
    QMapping again;
    if (again.fromString(mapping.toString()) != 0 || again != mapping)
        abort();
    mapping.displayString();
    return 0;
}
