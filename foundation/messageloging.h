#ifndef NALVO_FOUNDATION_MESSAGELOGING_H
#define NALVO_FOUNDATION_MESSAGELOGING_H

#include <QObject>
#include <QString>

// The program-wide channel for user-facing messages. Any thread may send;
// receivers on the GUI thread get the signal queued.
class MessageLoging : public QObject
{
    Q_OBJECT
public:
    explicit MessageLoging(QObject* parent = nullptr);
    ~MessageLoging() override;

    // level: below 2 critical, 2 warning, above 2 information.
    // code: shown as "Error #code" when not 0. timeout: automatic close in ms, 0 never.
    void SendMsg(QString title, QString text, int code, int level, bool flag, int timeout);

signals:
    void signal_message(QString title, QString text, int code, int level, bool flag, int timeout);
};

// Null until the main window has created the channel; senders test it.
extern MessageLoging* global_pLogger;

// Sends through global_pLogger when it exists; the usual way to report.
void SendUserMessage(const QString& title, const QString& text, int code = 0, int level = 1,
                     bool flag = true, int timeout = 0);

// printf-style line into the debug log (Qt's debug handler). Returns 0.
int MyQDebug(const char* format, ...)
#if defined(__GNUC__)
    __attribute__((format(printf, 1, 2)))
#endif
    ;

#endif
