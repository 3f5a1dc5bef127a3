#include "foundation/messageloging.h"

#include <QtGlobal>
#include <cstdarg>
#include <cstdio>
#include <vector>

MessageLoging* global_pLogger = nullptr;

MessageLoging::MessageLoging(QObject* parent) : QObject(parent)
{
    if (!global_pLogger)
        global_pLogger = this;
}

MessageLoging::~MessageLoging()
{
    if (global_pLogger == this)
        global_pLogger = nullptr;
}

void MessageLoging::SendMsg(QString title, QString text, int code, int level, bool flag, int timeout)
{
    emit signal_message(title, text, code, level, flag, timeout);
}

void SendUserMessage(const QString& title, const QString& text, int code, int level, bool flag,
                     int timeout)
{
    if (global_pLogger)
        global_pLogger->SendMsg(title, text, code, level, flag, timeout);
    else
        qDebug("%s: %s", qPrintable(title), qPrintable(text));
}

int MyQDebug(const char* format, ...)
{
    if (!format)
        return 0;
    va_list args;
    va_start(args, format);
    va_list copy;
    va_copy(copy, args);
    const int needed = std::vsnprintf(nullptr, 0, format, copy);
    va_end(copy);
    if (needed > 0) {
        std::vector<char> line(static_cast<size_t>(needed) + 1);
        std::vsnprintf(line.data(), line.size(), format, args);
        qDebug("%s", line.data());
    }
    va_end(args);
    return 0;
}
