#ifndef NALVO_WIDGETS_FIELDCHARRULES_H
#define NALVO_WIDGETS_FIELDCHARRULES_H

#include <QChar>
#include <QStringList>

class QKeyEvent;

// The characters a filtered line edit takes: none of the forbidden list,
// and in the alphanumeric or hexadecimal mode only the mode's own and the
// allowed list's. A letter matches an entry by itself or its upper-case
// form. Entries are single characters; longer ones count by their first.
struct tFieldCharRules
{
    QStringList forbidden;
    QStringList allowed;
    bool alphaNum = false;
    bool hexa = false;
};

// True when the rules refuse the character c.
bool FieldRefusesChar(const tFieldCharRules& rules, QChar c);

// True when the key types a character the rules refuse. A key that types
// nothing (Escape, Page Up, Insert, an arrow, a shortcut with Control, a
// control character such as Backspace's) is never compared with the rules.
bool KeyTypesRefusedChar(const tFieldCharRules& rules, const QKeyEvent& event);

#endif
