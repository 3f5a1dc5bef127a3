#include "soundfile/bextdescription.h"

#include <cstring>

namespace {

// The recorder's line order; new lines are placed by it.
const char* const kCanonicalKeys[] = {"aUBITS=", "aSCENE=", "aTAKE=", "aTAPE=", "aSPEED=",
                                      "aTAG=",   "aTYP=",   "aCHNL=", "aTRK",   "aNOTE="};

// The Latin-1 line starts with key, as the line read as text would.
bool StartsWith(const char* line, int length, const QString& key)
{
    if (key.size() > length)
        return false;
    for (int i = 0; i < key.size(); ++i) {
        if (key.at(i).unicode() != uchar(line[i]))
            return false;
    }
    return true;
}

// key and value as one line of the description, in Latin-1 as
// QString::toLatin1 writes it ('?' for what Latin-1 cannot hold), with
// control characters as blanks: a line break would start a line of its own
// and a NUL would end the description there, losing every line after it.
QByteArray LineBytes(const QString& key, const QString& value)
{
    QByteArray line(key.size() + value.size(), Qt::Uninitialized);
    char* out = line.data();
    for (const QString* part : {&key, &value}) {
        for (const QChar c : *part) {
            const ushort unit = c.unicode();
            *out++ = unit > 0xff ? '?' : unit < 0x20 ? ' ' : char(unit);
        }
    }
    return line;
}

} // namespace

BextDescription::BextDescription(const QByteArray& bytes)
{
    int end = bytes.indexOf('\0');
    if (end < 0)
        end = bytes.size();
    // Room for the lines an edit makes longer, so that it copies nothing.
    m_Text.reserve(end + 256);
    // Kept as written, line ends included: recorders and other programs end
    // lines with CR LF, LF or CR alone, and a line nobody edits must come
    // back byte for byte.
    m_Text.append(bytes.constData(), end);
}

QString BextDescription::TrackKey(int track)
{
    return QStringLiteral("aTRK") + QString::number(track) + QLatin1Char('=');
}

int BextDescription::LineEnd(const QByteArray& text, int start)
{
    if (start >= text.size())
        return start;
    // The first CR or LF: the LF first, then a CR before it (a load reads
    // a dozen lines of every file this way).
    const char* const from = text.constData() + start;
    const size_t rest = size_t(text.size() - start);
    const char* const lf = static_cast<const char*>(std::memchr(from, '\n', rest));
    const size_t before = lf ? size_t(lf - from) : rest;
    const char* const cr = static_cast<const char*>(std::memchr(from, '\r', before));
    return start + int(cr ? cr - from : before);
}

int BextDescription::NextLine(const QByteArray& text, int lineEnd)
{
    if (lineEnd >= text.size())
        return text.size();
    const bool crlf = text.at(lineEnd) == '\r' && lineEnd + 1 < text.size() && text.at(lineEnd + 1) == '\n';
    return lineEnd + (crlf ? 2 : 1);
}

QByteArray BextDescription::NewLineEnd() const
{
    // A new line is ended as the text's first line is: a reader that splits
    // on one kind of end still sees it as a line of its own.
    const int end = LineEnd(m_Text, 0);
    return end < m_Text.size() ? m_Text.mid(end, NextLine(m_Text, end) - end) : QByteArray("\r\n");
}

int BextDescription::LineOf(const QByteArray& text, const QString& key)
{
    for (int start = 0; start < text.size();) {
        const int end = LineEnd(text, start);
        // Empty lines are no lines.
        if (end > start && StartsWith(text.constData() + start, end - start, key))
            return start;
        start = NextLine(text, end);
    }
    return -1;
}

bool BextDescription::HasKey(const QString& key) const
{
    return LineOf(m_Text, key) >= 0;
}

QString BextDescription::Value(const QString& key) const
{
    return ValueIn(m_Text, key);
}

QString BextDescription::ValueIn(const QByteArray& bytes, const QString& key)
{
    const void* const nul = std::memchr(bytes.constData(), '\0', size_t(bytes.size()));
    const int end = nul ? int(static_cast<const char*>(nul) - bytes.constData()) : bytes.size();
    const QByteArray text = QByteArray::fromRawData(bytes.constData(), end);
    const int start = LineOf(text, key);
    if (start < 0)
        return QString();
    const int value = start + key.size();
    return QString::fromLatin1(text.constData() + value, LineEnd(text, start) - value).trimmed();
}

int BextDescription::Rank(const char* line, int length)
{
    for (int i = 0; i < int(sizeof(kCanonicalKeys) / sizeof(kCanonicalKeys[0])); ++i) {
        const int size = int(std::strlen(kCanonicalKeys[i]));
        if (size <= length && std::memcmp(line, kCanonicalKeys[i], size_t(size)) == 0)
            return i;
    }
    return -1;
}

void BextDescription::SetValue(const QString& key, const QString& value)
{
    QByteArray line = LineBytes(key, value);
    const int at = LineOf(m_Text, key);
    if (at >= 0) {
        m_Text.replace(at, LineEnd(m_Text, at) - at, line);
        return;
    }
    const int rank = Rank(line.constData(), line.size());
    const QByteArray lineEnd = NewLineEnd();
    if (rank >= 0) {
        for (int start = 0; start < m_Text.size();) {
            const int end = LineEnd(m_Text, start);
            if (end > start && Rank(m_Text.constData() + start, end - start) > rank) {
                m_Text.insert(start, line + lineEnd);
                return;
            }
            start = NextLine(m_Text, end);
        }
    }
    // The last line may lack its end.
    if (!m_Text.isEmpty() && !m_Text.endsWith('\r') && !m_Text.endsWith('\n'))
        m_Text.append(lineEnd);
    m_Text.append(line).append(lineEnd);
}

void BextDescription::RenumberTrackLine(int track)
{
    static const char kTrack[] = "aTRK";
    const int prefix = int(sizeof(kTrack)) - 1;
    for (int start = 0; start < m_Text.size();) {
        const int end = LineEnd(m_Text, start);
        int digit = start + prefix;
        if (end - start > prefix && std::memcmp(m_Text.constData() + start, kTrack, size_t(prefix)) == 0) {
            while (digit < end && m_Text.at(digit) >= '0' && m_Text.at(digit) <= '9')
                ++digit;
        }
        if (digit > start + prefix && digit < end && m_Text.at(digit) == '=') {
            m_Text.replace(start, digit + 1 - start, TrackKey(track).toLatin1());
            return;
        }
        start = NextLine(m_Text, end);
    }
    SetValue(TrackKey(track), QString());
}

QByteArray BextDescription::Compose(int room, const QString& trackKey, bool* ok) const
{
    QByteArray text = m_Text;
    int excess = text.size() - room;
    for (const QString& key : {QStringLiteral("aNOTE="), trackKey}) {
        if (excess <= 0)
            break;
        const int start = key.isEmpty() ? -1 : LineOf(text, key);
        if (start < 0)
            continue;
        const int end = LineEnd(text, start);
        const int cut = qMin(excess, end - start - key.size());
        text.remove(end - cut, cut);
        excess -= cut;
    }
    if (ok)
        *ok = excess <= 0;
    return excess <= 0 ? text : QByteArray();
}
