#include "foundation/mapping.h"

#include <QStringList>
#include <algorithm>

namespace {
constexpr int kMicMsMid = 2;
constexpr int kMicMsSide = 3;

QList<int> SortedKeys(const QHash<int, int>& table)
{
    QList<int> keys = table.keys();
    std::sort(keys.begin(), keys.end());
    return keys;
}

// Hex with "0x"/"0X", else decimal; false for anything else.
bool ParseValue(const QString& text, int* value)
{
    bool ok = false;
    if (text.startsWith(QLatin1String("0x"), Qt::CaseInsensitive))
        *value = text.midRef(2).toInt(&ok, 16);
    else
        *value = text.toInt(&ok, 10);
    return ok;
}
}

const QMapping::tKindRule QMapping::s_Rules[QMapping::KindCount] = {
    {"MIC", 8, ErrMicRange},       {"LINE", 4, ErrLineRange},   {"DIGI", 8, ErrDigiRange},
    {"AES42", 4, ErrAes42Range},   {"DANTE", 64, ErrDanteRange}, {"MIX", 2, ErrMixRange},
    {"TRACK", 24, ErrTrackRange},  {"TALK", 4, ErrTalkRange},   {"POSTFADE", 24, ErrPostfadeRange},
};

QMapping::QMapping() = default;

void QMapping::clear()
{
    for (QHash<int, int>& table : m_Tables)
        table.clear();
    m_bMsMid = m_bMsSide = m_bMixLeft = m_bMixRight = false;
}

int QMapping::ParseItem(const QString& item)
{
    const int equals = item.indexOf(QLatin1Char('='));
    if (equals < 0)
        return ErrNoEquals;
    const QString name = item.left(equals).trimmed();
    const int underscore = name.lastIndexOf(QLatin1Char('_'));
    const QString kindText = underscore < 0 ? name : name.left(underscore);
    const QString indexText = underscore < 0 ? QString() : name.mid(underscore + 1);

    int kind = 0;
    while (kind < KindCount && kindText != QLatin1String(s_Rules[kind].name))
        ++kind;
    if (kind == KindCount)
        return ErrUnknownKind;

    bool indexOk = false;
    const int number = indexText.toInt(&indexOk, 10);
    if (!indexOk)
        return ErrBadIndex;
    int value = 0;
    if (!ParseValue(item.mid(equals + 1).trimmed(), &value) || value <= 0)
        return ErrBadValue;
    if (number < 1 || number > s_Rules[kind].maxIndex)
        return s_Rules[kind].rangeError;

    const int index = number - 1;
    m_Tables[kind].insert(index, value);
    if (kind == Mic && value == kMicMsMid)
        m_bMsMid = true;
    if (kind == Mic && value == kMicMsSide)
        m_bMsSide = true;
    if (kind == Mix && index == 0)
        m_bMixLeft = true;
    if (kind == Mix && index == 1)
        m_bMixRight = true;
    return NoError;
}

int QMapping::fromString(const QString& text)
{
    clear();
    QStringList items = text.split(QLatin1Char(','));
    if (!items.isEmpty() && items.last().trimmed().isEmpty())
        items.removeLast();
    int result = NoError;
    for (const QString& item : items) {
        const int code = ParseItem(item.trimmed());
        if (code != NoError)
            result = code;
    }
    return result;
}

QString QMapping::toString() const
{
    QString text;
    for (int kind = 0; kind < KindCount; ++kind) {
        for (const int index : SortedKeys(m_Tables[kind]))
            text += QStringLiteral("%1_%2=0x%3,")
                        .arg(QLatin1String(s_Rules[kind].name))
                        .arg(index + 1)
                        .arg(QString::number(m_Tables[kind].value(index), 16).toUpper());
    }
    return text;
}

QString QMapping::displayString() const
{
    QString text;
    for (int kind = 0; kind < KindCount; ++kind) {
        for (const int index : SortedKeys(m_Tables[kind])) {
            const int value = m_Tables[kind].value(index);
            if (kind == Mix) {
                text += index == 0 ? QStringLiteral("MIX_L,") : QStringLiteral("MIX_R,");
            } else if (kind == Mic && value == kMicMsMid) {
                text += QStringLiteral("MS_M_%1,").arg(index + 1);
            } else if (kind == Mic && value == kMicMsSide) {
                text += QStringLiteral("MS_S_%1,").arg(index + 1);
            } else {
                text += QStringLiteral("%1_%2,").arg(QLatin1String(s_Rules[kind].name)).arg(index + 1);
            }
        }
    }
    return text;
}

bool QMapping::operator!=(const QMapping& other) const
{
    for (int kind = 0; kind < KindCount; ++kind) {
        if (m_Tables[kind] != other.m_Tables[kind])
            return true;
    }
    return false;
}

int QMapping::count() const
{
    int total = 0;
    for (const QHash<int, int>& table : m_Tables)
        total += table.size();
    return total;
}

QHash<int, int> QMapping::mic() const { return m_Tables[Mic]; }
QHash<int, int> QMapping::line() const { return m_Tables[Line]; }
QHash<int, int> QMapping::digi() const { return m_Tables[Digi]; }
QHash<int, int> QMapping::aes42() const { return m_Tables[Aes42]; }
QHash<int, int> QMapping::dante() const { return m_Tables[Dante]; }
QHash<int, int> QMapping::mix() const { return m_Tables[Mix]; }
QHash<int, int> QMapping::track() const { return m_Tables[Track]; }
QHash<int, int> QMapping::talk() const { return m_Tables[Talk]; }
QHash<int, int> QMapping::postfade() const { return m_Tables[Postfade]; }

int QMapping::hasMic() const { return m_Tables[Mic].size(); }
int QMapping::hasLine() const { return m_Tables[Line].size(); }
int QMapping::hasDigi() const { return m_Tables[Digi].size(); }
int QMapping::hasAes42() const { return m_Tables[Aes42].size(); }
int QMapping::hasDante() const { return m_Tables[Dante].size(); }
int QMapping::hasMix() const { return m_Tables[Mix].size(); }
int QMapping::hasTalk() const { return m_Tables[Talk].size(); }
int QMapping::hasPostfade() const { return m_Tables[Postfade].size(); }
bool QMapping::hasMixLeft() const { return m_bMixLeft; }
bool QMapping::hasMixRight() const { return m_bMixRight; }

bool QMapping::hasMs(bool* mid, bool* side) const
{
    if (mid)
        *mid = m_bMsMid;
    if (side)
        *side = m_bMsSide;
    return m_bMsMid || m_bMsSide;
}
