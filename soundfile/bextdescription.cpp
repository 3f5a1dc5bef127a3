#include "soundfile/bextdescription.h"

#include <QRegularExpression>

#include <cstring>

namespace {

// The recorder's line order; new lines are placed by it.
const char* const kCanonicalKeys[] = {"aUBITS=", "aSCENE=", "aTAKE=", "aTAPE=", "aSPEED=",
                                      "aTAG=",   "aTYP=",   "aCHNL=", "aTRK",   "aNOTE="};

} // namespace

BextDescription::BextDescription(const QByteArray& bytes)
{
    int end = bytes.indexOf('\0');
    if (end < 0)
        end = bytes.size();
    const QString text = QString::fromLatin1(bytes.constData(), end);
    for (QString line : text.split(QLatin1Char('\n'))) {
        if (line.endsWith(QLatin1Char('\r')))
            line.chop(1);
        if (!line.isEmpty())
            m_Lines.append(line);
    }
}

QString BextDescription::TrackKey(int track)
{
    return QStringLiteral("aTRK%1=").arg(track);
}

int BextDescription::IndexOf(const QString& key) const
{
    for (int i = 0; i < m_Lines.size(); ++i) {
        if (m_Lines.at(i).startsWith(key))
            return i;
    }
    return -1;
}

bool BextDescription::HasKey(const QString& key) const
{
    return IndexOf(key) >= 0;
}

QString BextDescription::Value(const QString& key) const
{
    const int index = IndexOf(key);
    return index < 0 ? QString() : m_Lines.at(index).mid(key.size()).trimmed();
}

QString BextDescription::ValueIn(const QByteArray& bytes, const QString& key)
{
    const QByteArray wanted = key.toLatin1();
    int end = bytes.indexOf('\0');
    if (end < 0)
        end = bytes.size();
    for (int start = 0; start < end;) {
        int next = bytes.indexOf('\n', start);
        if (next < 0 || next > end)
            next = end;
        int lineEnd = next;
        if (lineEnd > start && bytes.at(lineEnd - 1) == '\r')
            --lineEnd;
        // Empty lines are no lines, as for the parsed form.
        if (lineEnd > start && lineEnd - start >= wanted.size()
            && std::memcmp(bytes.constData() + start, wanted.constData(), size_t(wanted.size())) == 0)
            return QString::fromLatin1(bytes.constData() + start + wanted.size(), lineEnd - start - wanted.size())
                .trimmed();
        start = next + 1;
    }
    return QString();
}

int BextDescription::Rank(const QString& line)
{
    for (int i = 0; i < int(sizeof(kCanonicalKeys) / sizeof(kCanonicalKeys[0])); ++i) {
        if (line.startsWith(QLatin1String(kCanonicalKeys[i])))
            return i;
    }
    return -1;
}

void BextDescription::SetValue(const QString& key, const QString& value)
{
    // A line break would start a line of its own and a NUL would end the
    // description there, losing every line after it.
    QString line = key + value;
    for (QChar& c : line) {
        if (c.unicode() < 0x20)
            c = QLatin1Char(' ');
    }
    const int index = IndexOf(key);
    if (index >= 0) {
        m_Lines[index] = line;
        return;
    }
    const int rank = Rank(line);
    if (rank >= 0) {
        for (int i = 0; i < m_Lines.size(); ++i) {
            if (Rank(m_Lines.at(i)) > rank) {
                m_Lines.insert(i, line);
                return;
            }
        }
    }
    m_Lines.append(line);
}

void BextDescription::RenumberTrackLine(int track)
{
    static const QRegularExpression trackLine(QStringLiteral("^aTRK\\d+="));
    for (QString& line : m_Lines) {
        const QRegularExpressionMatch match = trackLine.match(line);
        if (match.hasMatch()) {
            line = TrackKey(track) + line.mid(match.capturedLength());
            return;
        }
    }
    SetValue(TrackKey(track), QString());
}

QByteArray BextDescription::Join(const QStringList& lines)
{
    QByteArray text;
    for (const QString& line : lines)
        text.append(line.toLatin1()).append("\r\n");
    return text;
}

QByteArray BextDescription::Compose(int room, const QString& trackKey, bool* ok) const
{
    QStringList lines = m_Lines;
    int excess = Join(lines).size() - room;
    for (const QString& key : {QStringLiteral("aNOTE="), trackKey}) {
        if (excess <= 0)
            break;
        for (QString& line : lines) {
            if (!key.isEmpty() && line.startsWith(key)) {
                const int cut = qMin(excess, line.size() - key.size());
                line.chop(cut);
                excess -= cut;
                break;
            }
        }
    }
    if (ok)
        *ok = excess <= 0;
    return excess <= 0 ? Join(lines) : QByteArray();
}
