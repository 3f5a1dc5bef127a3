#include "foundation/naming.h"

#include <QStringList>
#include <cstdio>

const char* TrkIndexToNN(int n)
{
    // One buffer per thread: the GUI, copy, report and loader threads all
    // build file names with it.
    thread_local char buffer[16];
    char wide[16];
    std::snprintf(wide, sizeof wide, "%02d", n);
    buffer[0] = wide[0];
    buffer[1] = wide[0] ? wide[1] : '\0';
    buffer[2] = '\0';
    return buffer;
}

char TrkIndexToCharOld(int n)
{
    if (n >= 0 && n <= 9)
        return static_cast<char>('0' + n);
    if (n >= 10 && n <= 35)
        return static_cast<char>('A' + n - 10);
    return '$';
}

QString GetTimeCode(unsigned long frames, short fps)
{
    if (fps < 1)
        return QStringLiteral("--:--:--:--");
    const unsigned long perSecond = static_cast<unsigned long>(fps);
    const unsigned long hours = frames / (perSecond * 3600UL);
    const unsigned long minutes = (frames / (perSecond * 60UL)) % 60UL;
    const unsigned long seconds = (frames / perSecond) % 60UL;
    const unsigned long rest = frames % perSecond;
    return QString::asprintf("%2.2lu:%2.2lu:%2.2lu:%2.2lu", hours, minutes, seconds, rest);
}

void DecodePanPotText(QString text, int* left, int* right)
{
    const QStringList items = text.split(QLatin1Char(','));
    int l = 0;
    int r = 0;
    if (items.size() == 2) {
        l = items.at(0).trimmed().toInt();
        r = items.at(1).trimmed().toInt();
    } else if (items.size() == 1) {
        switch (items.at(0).trimmed().toInt()) {
        case 97: l = 100; r = 0; break;
        case 98: l = 100; r = 100; break;
        case 99: l = 0; r = 100; break;
        default: break;
        }
    } else {
        return;
    }
    if (left)
        *left = qBound(0, l, 100);
    if (right)
        *right = qBound(0, r, 100);
}
