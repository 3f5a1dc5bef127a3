#include "foundation/keywordfile.h"

#include "foundation/messageloging.h"
#include "foundation/platform/diskprobes.h"

#include <QFileInfo>
#include <QSaveFile>
#include <QVector>

namespace {
constexpr qint64 kMaxLineBytes = 512;
const char kLineEnd[] = "\r\n";

QByteArray WithoutLineEnd(QByteArray line)
{
    while (line.endsWith('\n') || line.endsWith('\r'))
        line.chop(1);
    return line;
}

bool WriteLine(QSaveFile& target, const QByteArray& line)
{
    return target.write(line) == line.size() && target.write(kLineEnd, 2) == 2;
}

using tyLines = QList<QPair<QByteArray, QByteArray>>;

// Appends each keyword not yet written and its value line.
bool AppendMissing(QSaveFile& target, const tyLines& lines, const QVector<bool>& written)
{
    for (int k = 0; k < lines.size(); ++k) {
        if (!written.at(k) && !(WriteLine(target, lines.at(k).first) && WriteLine(target, lines.at(k).second)))
            return false;
    }
    return true;
}

// Copies source into target line by line, the value line after each
// keyword's first line replaced, and the keywords absent appended with
// their values.
bool CopyWithValues(QFile& source, QSaveFile& target, const tyLines& lines)
{
    QVector<bool> replaced(lines.size(), false);
    int replaceNext = -1;
    while (!source.atEnd()) {
        const QByteArray raw = source.readLine();
        if (raw.isEmpty() && source.error() != QFileDevice::NoError)
            return false;
        const QByteArray line = WithoutLineEnd(raw);
        if (replaceNext >= 0) {
            const QByteArray& value = lines.at(replaceNext).second;
            replaceNext = -1;
            if (!WriteLine(target, value))
                return false;
            continue;
        }
        if (!WriteLine(target, line))
            return false;
        for (int k = 0; k < lines.size() && replaceNext < 0; ++k) {
            if (!replaced.at(k) && line == lines.at(k).first) {
                replaced[k] = true;
                replaceNext = k;
            }
        }
    }
    // A keyword on the last line had no value line yet.
    if (replaceNext >= 0 && !WriteLine(target, lines.at(replaceNext).second))
        return false;
    return AppendMissing(target, lines, replaced);
}

// One line of the file: a line break inside would shift every later keyword.
QByteArray SingleLine(const QString& text)
{
    QByteArray bytes = text.toLocal8Bit();
    bytes.replace('\r', ' ');
    bytes.replace('\n', ' ');
    return bytes;
}

void ReportOpenTargetFailure()
{
    SendUserMessage(QStringLiteral("Settings file"), QStringLiteral("Unable to open target file !"));
}
}

QFileRead::QFileRead(const QString& name) : QFile(name) {}

bool QFileRead::ReadLimitedLine(QByteArray* line)
{
    if (atEnd())
        return false;
    QByteArray head = readLine(kMaxLineBytes + 1);
    if (head.isEmpty())
        return false;
    if (!head.endsWith('\n')) {
        // Skip the rest of an over-long line so it is not taken for lines of its own.
        char c = 0;
        while (getChar(&c) && c != '\n') {
        }
    }
    head = WithoutLineEnd(head);
    if (head.size() > kMaxLineBytes)
        head.truncate(kMaxLineBytes);
    *line = head;
    return true;
}

bool QFileRead::FindKeyword(const QString& keyword)
{
    m_czValueLine.clear();
    if (!isOpen()) {
        MyQDebug("File not open !\n");
        return false;
    }
    if (!seek(0))
        return false;
    const QByteArray wanted = keyword.toLocal8Bit();
    QByteArray line;
    while (ReadLimitedLine(&line)) {
        if (line != wanted)
            continue;
        if (ReadLimitedLine(&line) && !line.isEmpty()) {
            if (!line.endsWith('|'))
                line.append('|');
            m_czValueLine = line;
        }
        return true;
    }
    return false;
}

bool QFileRead::Extract(int n, QString* value)
{
    if (!isOpen() || n < 0 || m_czValueLine.isEmpty() || m_czValueLine.startsWith('#'))
        return false;
    int start = 0;
    for (int field = 0; field < n; ++field) {
        const int bar = m_czValueLine.indexOf('|', start);
        if (bar < 0)
            return false;
        start = bar + 1;
    }
    const int end = m_czValueLine.indexOf('|', start);
    if (end < 0)
        return false;
    if (value)
        *value = QString::fromLocal8Bit(m_czValueLine.mid(start, end - start));
    return true;
}

bool SetLine(const QString& file, const QString& keyword, const QString& value)
{
    return SetLines(file, {{keyword, value}});
}

bool SetLines(const QString& file, const QList<QPair<QString, QString>>& keywordValues)
{
    const QFileInfo info(file);
    tyLines lines;
    for (const QPair<QString, QString>& line : keywordValues)
        lines.append({SingleLine(line.first), SingleLine(line.second)});

    if (!IsWritablePath(info.absolutePath()) || (info.exists() && !IsWritablePath(file))) {
        ReportOpenTargetFailure();
        return false;
    }
    QSaveFile target(file);
    if (!target.open(QIODevice::WriteOnly)) {
        ReportOpenTargetFailure();
        return false;
    }
    bool written = false;
    if (info.exists()) {
        QFile source(file);
        if (!source.open(QIODevice::ReadOnly)) {
            target.cancelWriting();
            SendUserMessage(QStringLiteral("Settings file"), QStringLiteral("Unable to open source file !\n"));
            return false;
        }
        written = CopyWithValues(source, target, lines);
    } else {
        written = AppendMissing(target, lines, QVector<bool>(lines.size(), false));
    }
    if (!written) {
        target.cancelWriting();
        SendUserMessage(QStringLiteral("Settings file"), QStringLiteral("Unable to write target file !"));
        return false;
    }
    if (!target.commit()) {
        SendUserMessage(QStringLiteral("Settings file"), QStringLiteral("Unable to replace target file !"));
        return false;
    }
    return true;
}
