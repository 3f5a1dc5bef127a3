#include "foundation/keywordfile.h"

#include "foundation/messageloging.h"
#include "foundation/platform/diskprobes.h"

#include <QFileInfo>
#include <QSaveFile>

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

// Copies source into target line by line, the value line after the keyword
// replaced, or keyword and value appended when the keyword is absent.
bool CopyWithValue(QFile& source, QSaveFile& target, const QByteArray& keyword, const QByteArray& value)
{
    bool replaced = false;
    bool replaceNext = false;
    while (!source.atEnd()) {
        const QByteArray raw = source.readLine();
        if (raw.isEmpty() && source.error() != QFileDevice::NoError)
            return false;
        const QByteArray line = WithoutLineEnd(raw);
        if (replaceNext) {
            replaceNext = false;
            if (!WriteLine(target, value))
                return false;
            continue;
        }
        if (!WriteLine(target, line))
            return false;
        if (!replaced && line == keyword) {
            replaced = true;
            replaceNext = true;
        }
    }
    // A keyword on the last line had no value line yet.
    if (replaceNext)
        return WriteLine(target, value);
    if (!replaced)
        return WriteLine(target, keyword) && WriteLine(target, value);
    return true;
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
    const QFileInfo info(file);
    const QByteArray keywordBytes = SingleLine(keyword);
    const QByteArray valueBytes = SingleLine(value);

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
        written = CopyWithValue(source, target, keywordBytes, valueBytes);
    } else {
        written = WriteLine(target, keywordBytes) && WriteLine(target, valueBytes);
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
