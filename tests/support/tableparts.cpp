#include "tests/support/tableparts.h"

#include <QByteArray>
#include <QList>
#include <QtTest>

#include <algorithm>

namespace {

// The part this program runs: 1 of 1 runs every row.
int g_TablePart = 1;
int g_TableParts = 1;

} // namespace

bool InTablePart(const char* tag)
{
    quint32 hash = 2166136261u;   // FNV-1a of the row's name
    for (const char* c = tag ? tag : ""; *c; ++c)
        hash = (hash ^ static_cast<unsigned char>(*c)) * 16777619u;
    return static_cast<int>(hash % static_cast<quint32>(g_TableParts)) == g_TablePart - 1;
}

bool TakeTablePart(int* argc, char** argv)
{
    for (int i = 1; i < *argc; ++i) {
        if (QByteArray(argv[i]) != "--part")
            continue;
        const QList<QByteArray> part = i + 1 < *argc ? QByteArray(argv[i + 1]).split('/') : QList<QByteArray>();
        bool numbers = part.size() == 2;
        g_TablePart = numbers ? part[0].toInt(&numbers) : 0;
        g_TableParts = numbers ? part[1].toInt(&numbers) : 0;
        if (!numbers || g_TablePart < 1 || g_TablePart > g_TableParts)
            return false;
        std::copy(argv + i + 2, argv + *argc + 1, argv + i);   // with the closing null
        *argc -= 2;
        return true;
    }
    return true;
}

bool CurrentRowInPart()
{
    const QByteArray tag = QTest::currentDataTag();
    return InTablePart(QByteArray(QTest::currentTestFunction()).append('/').append(tag).constData());
}
