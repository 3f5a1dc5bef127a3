#include "widgets/fieldcharrules.h"

#include <QKeyEvent>

namespace {

bool ListHolds(const QStringList& list, QChar c)
{
    const QChar upper = c.toUpper();
    for (const QString& entry : list) {
        if (!entry.isEmpty() && (entry.at(0) == c || entry.at(0) == upper))
            return true;
    }
    return false;
}

bool IsAsciiAlnum(QChar c)
{
    return c.unicode() < 128 && c.isLetterOrNumber();
}

bool IsHexDigit(QChar c)
{
    const ushort u = c.unicode();
    return (u >= '0' && u <= '9') || (u >= 'A' && u <= 'F') || (u >= 'a' && u <= 'f');
}

// The characters a key enters in a text field, as Qt's own editors decide
// it: none for Control (alone or with Shift), nor for a first character that
// is not printable, a format mark, a private one or a surrogate pair.
QString TypedText(const QKeyEvent& event)
{
    const QString text = event.text();
    if (text.isEmpty())
        return QString();
    const Qt::KeyboardModifiers modifiers = event.modifiers() & ~Qt::KeypadModifier;
    if (modifiers == Qt::ControlModifier || modifiers == (Qt::ControlModifier | Qt::ShiftModifier))
        return QString();
    const QChar first = text.at(0);
    const QChar::Category category = first.category();
    const bool pair = first.isHighSurrogate() && text.size() > 1 && text.at(1).isLowSurrogate();
    if (first.isPrint() || category == QChar::Other_Format || category == QChar::Other_PrivateUse || pair)
        return text;
    return QString();
}

} // namespace

bool FieldRefusesChar(const tFieldCharRules& rules, QChar c)
{
    if (ListHolds(rules.forbidden, c))
        return true;
    const bool allowed = ListHolds(rules.allowed, c);
    if (rules.alphaNum && !IsAsciiAlnum(c) && !allowed)
        return true;
    return rules.hexa && !IsHexDigit(c) && !allowed;
}

bool KeyTypesRefusedChar(const tFieldCharRules& rules, const QKeyEvent& event)
{
    const QString typed = TypedText(event);
    for (const QChar c : typed) {
        if (FieldRefusesChar(rules, c))
            return true;
    }
    return false;
}
