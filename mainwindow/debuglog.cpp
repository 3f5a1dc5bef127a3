#include "mainwindow/debuglog.h"

#include "foundation/platform/appfolders.h"

#include <QFile>
#include <QMutex>
#include <QMutexLocker>

namespace {
// The handler runs on whichever thread emits a message: the file object,
// its opening and each write-and-flush of a whole line happen under one lock.
QMutex g_LogMutex;
QFile* pfdebug_stream = nullptr;   // created on the first message, never freed
}

QByteArray DebugLogLine(const QMessageLogContext& context, const QString& msg)
{
    const QString line = QStringLiteral("MESSAGE (%1:%2 %3): %4\r\n")
                             .arg(QString::fromLocal8Bit(context.file ? context.file : ""))
                             .arg(context.line)
                             .arg(QString::fromLocal8Bit(context.function ? context.function : ""))
                             .arg(msg);
    return line.toLatin1();
}

void myMessageOutput(QtMsgType type, const QMessageLogContext& context, const QString& msg)
{
    Q_UNUSED(type);
    const QByteArray line = DebugLogLine(context, msg);
    QMutexLocker lock(&g_LogMutex);
    if (!pfdebug_stream)
        pfdebug_stream = new QFile(AppFolders::DebugLogPath());
    if (!pfdebug_stream->isOpen()
        && !pfdebug_stream->open(QIODevice::WriteOnly | QIODevice::Append))
        return;
    pfdebug_stream->write(line);
    pfdebug_stream->flush();
}

void CloseDebugLog()
{
    QMutexLocker lock(&g_LogMutex);
    if (pfdebug_stream && pfdebug_stream->isOpen())
        pfdebug_stream->close();
}
