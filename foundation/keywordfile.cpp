#include "foundation/keywordfile.h"

#include "foundation/messageloging.h"
#include "foundation/platform/diskprobes.h"
#include "foundation/safeoutput.h"

#include <QDir>
#include <QFileInfo>
#include <QHash>
#include <QVector>

#include <mutex>

namespace {
constexpr qint64 kMaxLineBytes = 512;
const char kLineEnd[] = "\r\n";

QByteArray WithoutLineEnd(QByteArray line)
{
    while (line.endsWith('\n') || line.endsWith('\r'))
        line.chop(1);
    return line;
}

void AppendLine(QByteArray* target, const QByteArray& line)
{
    target->append(line);
    target->append(kLineEnd, 2);
}

using tyLines = QList<QPair<QByteArray, QByteArray>>;

// Appends each keyword not yet written and its value line.
void AppendMissing(QByteArray* target, const tyLines& lines, const QVector<bool>& written)
{
    for (int k = 0; k < lines.size(); ++k) {
        if (!written.at(k)) {
            AppendLine(target, lines.at(k).first);
            AppendLine(target, lines.at(k).second);
        }
    }
}

// The file's lines with the value line after each keyword's first line
// replaced, and the keywords absent appended with their values.
QByteArray WithValues(const QByteArray& source, const tyLines& lines)
{
    QByteArray target;
    target.reserve(source.size() + 256);
    QVector<bool> replaced(lines.size(), false);
    int replaceNext = -1;
    for (int start = 0; start < source.size();) {
        int end = source.indexOf('\n', start);
        end = end < 0 ? source.size() : end + 1;
        const QByteArray line = WithoutLineEnd(source.mid(start, end - start));
        start = end;
        if (replaceNext >= 0) {
            AppendLine(&target, lines.at(replaceNext).second);
            replaceNext = -1;
            continue;
        }
        AppendLine(&target, line);
        for (int k = 0; k < lines.size() && replaceNext < 0; ++k) {
            if (!replaced.at(k) && line == lines.at(k).first) {
                replaced[k] = true;
                replaceNext = k;
            }
        }
    }
    // A keyword on the last line had no value line yet.
    if (replaceNext >= 0)
        AppendLine(&target, lines.at(replaceNext).second);
    AppendMissing(&target, lines, replaced);
    return target;
}

// One line of the file: a line break inside would shift every later keyword.
QByteArray SingleLine(const QString& text)
{
    QByteArray bytes = text.toLocal8Bit();
    bytes.replace('\r', ' ');
    bytes.replace('\n', ' ');
    return bytes;
}

// The text each settings file refused at its last write, told then.
struct tyRefusedWrites {
    std::mutex mutex;
    QHash<QString, QByteArray> texts;
};

tyRefusedWrites& RefusedWrites()
{
    static tyRefusedWrites refused;
    return refused;
}

// Records the refusal of text by file; false when the last refusal was
// the same.
bool FirstRefusal(const QString& file, const QByteArray& text)
{
    tyRefusedWrites& refused = RefusedWrites();
    std::lock_guard<std::mutex> guard(refused.mutex);
    const auto last = refused.texts.constFind(file);
    if (last != refused.texts.constEnd() && *last == text)
        return false;
    refused.texts.insert(file, text);
    return true;
}

void ForgetRefusal(const QString& file)
{
    tyRefusedWrites& refused = RefusedWrites();
    std::lock_guard<std::mutex> guard(refused.mutex);
    refused.texts.remove(file);
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

bool SetLine(const QString& file, const QString& keyword, const QString& value, RefusalTold told,
             const QString& from)
{
    return SetLines(file, {{keyword, value}}, told, from);
}

bool SetLines(const QString& file, const QList<QPair<QString, QString>>& keywordValues, RefusalTold told,
              const QString& from)
{
    const QFileInfo info(file);
    tyLines lines;
    for (const QPair<QString, QString>& line : keywordValues)
        lines.append({SingleLine(line.first), SingleLine(line.second)});

    const QString sourcePath = from.isEmpty() ? file : from;
    const bool sourceExists = QFileInfo::exists(sourcePath);
    QByteArray old;
    if (sourceExists) {
        QFile source(sourcePath);
        if (!source.open(QIODevice::ReadOnly) || (old = source.readAll(), source.error() != QFileDevice::NoError)) {
            SendUserMessage(QStringLiteral("Settings file"), QStringLiteral("Unable to open source file !\n"));
            return false;
        }
    }
    const QByteArray text = WithValues(old, lines);
    // The file holds them already: nothing is written, and a full or
    // locked card has nothing to refuse.
    if (sourceExists && text == old)
        return true;
    if (!IsWritablePath(info.absolutePath()) || (info.exists() && !IsWritablePath(file))) {
        if (FirstRefusal(file, text) || told == RefusalTold::Always)
            ReportOpenTargetFailure();
        return false;
    }
    bool replaced = false;
    const QString why = ReplaceFileWhole(file, text, &replaced);
    if (why.isEmpty()) {
        ForgetRefusal(file);
        return true;
    }
    if (FirstRefusal(file, text) || told == RefusalTold::Always)
        TellSettingsNotWritten(file, why, info.exists(), replaced);
    return false;
}

QString SettingsNotWrittenText(const QString& file, const QString& why, bool existed, bool replaced)
{
    // One line: what the file holds now, and why.
    const QString shown = QDir::toNativeSeparators(file);
    QString text;
    if (replaced)
        text = QStringLiteral("Unable to replace target file ! %1 holds the new settings, which may not be on the "
                              "disk yet (%2).");
    else if (existed)
        text = QStringLiteral("Unable to write target file ! %1 keeps its previous settings (%2).");
    else
        text = QStringLiteral("Unable to write target file ! %1 was not written (%2).");
    return text.arg(shown, why);
}

void TellSettingsNotWritten(const QString& file, const QString& why, bool existed, bool replaced)
{
    SendUserMessage(QStringLiteral("Settings file"), SettingsNotWrittenText(file, why, existed, replaced));
}
