#ifndef NALVO_FOUNDATION_KEYWORDFILE_H
#define NALVO_FOUNDATION_KEYWORDFILE_H

#include <QByteArray>
#include <QFile>
#include <QList>
#include <QPair>
#include <QString>

// Keyword settings files: a keyword line that begins with '#', followed by
// one value line whose fields each end with '|'. Lines end with CR LF and are
// in the local 8-bit encoding.

// Reader. The caller opens it read-only and closes it (or lets the destructor).
class QFileRead : public QFile
{
public:
    explicit QFileRead(const QString& name);

    // Reads from the start until a line equals the keyword, then takes the
    // next line as the current value line (a final '|' added when missing).
    // Lines are read up to 512 bytes; the rest of a longer line is skipped.
    // False when the keyword is absent or the file is not open; the current
    // value line is then empty.
    bool FindKeyword(const QString& keyword);
    // Field n (0-based) of the current value line: the text between the n-th
    // and the next '|'. False, with the text unchanged, when the value line is
    // empty or begins with '#', has fewer fields, or the file is not open.
    bool Extract(int n, QString* value);

private:
    // The next line without CR and LF, at most 512 bytes; false at the end.
    bool ReadLimitedLine(QByteArray* line);

    QByteArray m_czValueLine;
};

// How a write that a file refuses is told: every time, or once while the
// same write is refused (the same text, the same file: a full card refuses
// the same settings at each take change) until the file takes one.
enum class RefusalTold { Always, Once };

// Writes the keyword and its value line into a keyword file: the line after
// an existing keyword line is replaced, or both lines are appended; a missing
// file is created. The file is replaced whole (see ReplaceFileWhole): the new
// content goes to a temporary file in the same folder, read back and synced,
// which is then renamed over the file, so the old file survives any failure.
// A file that holds the value line already is not written at all.
// A failure goes to the message channel in one line, as told says.
// Line breaks inside the keyword or the value become blanks. from, when not
// empty, is the file whose lines the new text starts from in place of the
// file's own (a copy made whole elsewhere); nothing is written when from
// holds the value line already.
bool SetLine(const QString& file, const QString& keyword, const QString& value,
             RefusalTold told = RefusalTold::Always, const QString& from = QString());
// Several keywords and their value lines in one replacement of the file, as
// SetLine writes one: all of them reach the file or none, and a failure is
// told in one message.
bool SetLines(const QString& file, const QList<QPair<QString, QString>>& keywordValues,
              RefusalTold told = RefusalTold::Always, const QString& from = QString());
// Tells in one line through the message channel why a settings file was not
// written (why: ReplaceFileWhole's answer) and what it holds now: its
// previous settings when it existed, nothing when it did not, the new ones
// when replaced says they took its name.
void TellSettingsNotWritten(const QString& file, const QString& why, bool existed, bool replaced);
// That line's text, for a caller that tells it under a title of its own.
QString SettingsNotWrittenText(const QString& file, const QString& why, bool existed, bool replaced);

#endif
