#include "mainwindow/debuglog.h"

#include "foundation/messageloging.h"
#include "foundation/platform/appfolders.h"

#include <QDir>
#include <QFile>

#include <atomic>
#include <mutex>

namespace {
// The handler runs on whichever thread emits a message: the file object,
// its opening and each write-and-flush of a whole line happen under one lock
// (a standard mutex, whose hand-overs the thread checker can follow).
std::mutex g_LogMutex;
QFile* pfdebug_stream = nullptr;   // created on the first message, never freed
// Why the log could not be opened (null while it could), and whether the
// user was told; both under g_LogMutex. Never freed, like the file object:
// messages can come while static objects are destroyed.
QString* g_pOpenFailure = nullptr;
bool g_bFailureTold = false;
}

QByteArray DebugLogLine(const QMessageLogContext& context, const QString& msg)
{
    const QString line = QStringLiteral("MESSAGE (%1:%2 %3): %4\r\n")
                             .arg(QString::fromLocal8Bit(context.file ? context.file : ""),
                                  QString::number(context.line),
                                  QString::fromLocal8Bit(context.function ? context.function : ""), msg);
    return line.toLatin1();
}

void myMessageOutput(QtMsgType type, const QMessageLogContext& context, const QString& msg)
{
    Q_UNUSED(type);
    const QByteArray line = DebugLogLine(context, msg);
    std::lock_guard<std::mutex> lock(g_LogMutex);
    if (!pfdebug_stream)
        pfdebug_stream = new QFile(AppFolders::DebugLogPath());
    if (!pfdebug_stream->isOpen() && !pfdebug_stream->open(QIODevice::WriteOnly | QIODevice::Append)) {
        if (!g_pOpenFailure) {
            const QString why = pfdebug_stream->errorString();
            g_pOpenFailure = new QString(why.isEmpty() ? QStringLiteral("unknown error") : why);
        }
        return;
    }
    pfdebug_stream->write(line);
    pfdebug_stream->flush();
}

namespace {
// Written once by the main thread before any other thread starts; read by
// every thread that emits a message.
std::atomic<QtMessageHandler> g_TerminalHandler{nullptr};

void TerminalWarningsOnly(QtMsgType type, const QMessageLogContext& context, const QString& msg)
{
    if (type == QtDebugMsg || type == QtInfoMsg)
        return;
    if (const QtMessageHandler terminal = g_TerminalHandler.load())
        terminal(type, context, msg);
}
}  // namespace

void QuietDebugMessages()
{
    // Qt gives its own terminal handler back as the previous one.
    g_TerminalHandler.store(qInstallMessageHandler(TerminalWarningsOnly));
}

void CloseDebugLog()
{
    std::lock_guard<std::mutex> lock(g_LogMutex);
    if (pfdebug_stream && pfdebug_stream->isOpen())
        pfdebug_stream->close();
}

QString DebugLogFailure()
{
    std::lock_guard<std::mutex> lock(g_LogMutex);
    return g_pOpenFailure ? *g_pOpenFailure : QString();
}

void TellDebugLogFailure()
{
    QString why;
    {
        std::lock_guard<std::mutex> lock(g_LogMutex);
        if (!g_pOpenFailure || g_bFailureTold)
            return;
        g_bFailureTold = true;
        why = *g_pOpenFailure;
    }
    // Outside the lock: the channel's receiver writes to this log itself.
    SendUserMessage(QStringLiteral("Debug log"),
                    QStringLiteral("The debug log %1 cannot be written (%2): nothing is logged.")
                        .arg(QDir::toNativeSeparators(AppFolders::DebugLogPath()), why),
                    0, 2);
}
