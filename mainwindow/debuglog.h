#ifndef NALVO_MAINWINDOW_DEBUGLOG_H
#define NALVO_MAINWINDOW_DEBUGLOG_H

#include <QString>
#include <QtGlobal>

// The debug log: every diagnostic line of the program, from any thread,
// appended to the application folder's "Debug.txt" as
// "MESSAGE (file:line function): text" and flushed at once. Installed by
// main() when "DoDebug.txt" exists there.
void myMessageOutput(QtMsgType type, const QMessageLogContext& context, const QString& msg);

// Without the debug log: debug and info lines are dropped, warnings and
// worse still reach the terminal. Installed by main() before any thread.
void QuietDebugMessages();

// Closes the log file; a later message opens it again for appending.
void CloseDebugLog();

// Why the log file could not be opened, empty while every open succeeded.
QString DebugLogFailure();
// Tells the user through the message channel, the first time only, that
// the log asked for cannot be written.
void TellDebugLogFailure();

// The line as it is written (Latin-1, CR LF ended).
QByteArray DebugLogLine(const QMessageLogContext& context, const QString& msg);

#endif
