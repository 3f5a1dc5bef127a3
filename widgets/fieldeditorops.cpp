#include "widgets/fieldeditorops.h"

#include <QPlainTextEdit>
#include <QTextCursor>
#include <QWheelEvent>

namespace FieldEditorOps {

void MoveCursorTo(QPlainTextEdit* edit, int position)
{
    QTextCursor cursor = edit->textCursor();
    cursor.setPosition(position);
    edit->setTextCursor(cursor);
}

void InsertSpaceUnderCursor(QPlainTextEdit* edit)
{
    QTextCursor cursor = edit->textCursor();
    const int position = cursor.position();
    cursor.insertText(QStringLiteral(" "));
    MoveCursorTo(edit, qMin(position, edit->document()->characterCount() - 1));
}

void DeleteUnderCursor(QPlainTextEdit* edit)
{
    QTextCursor cursor = edit->textCursor();
    cursor.deleteChar();
    edit->setTextCursor(cursor);
}

void EraseBackward(QPlainTextEdit* edit)
{
    QTextCursor cursor = edit->textCursor();
    cursor.movePosition(QTextCursor::PreviousCharacter);
    cursor.deleteChar();
    edit->setTextCursor(cursor);
}

void ReplaceAt(QPlainTextEdit* edit, int position, int length, const QString& text, int cursorPosition)
{
    QTextCursor cursor = edit->textCursor();
    cursor.beginEditBlock();
    cursor.setPosition(position);
    cursor.setPosition(position + length, QTextCursor::KeepAnchor);
    cursor.insertText(text);
    cursor.endEditBlock();
    MoveCursorTo(edit, qMin(cursorPosition, edit->document()->characterCount() - 1));
}

int WheelStepKey(const QWheelEvent* e)
{
    return e->angleDelta().y() > 0 ? Qt::Key_Up : Qt::Key_Down;
}

} // namespace FieldEditorOps

namespace FieldStyleRules {

QString Background(const QColor& c)
{
    if (!c.isValid())
        return QString();
    return QStringLiteral("background-color: rgba(%1,%2,%3,%4);")
        .arg(c.red()).arg(c.green()).arg(c.blue()).arg(c.alpha());
}

QString Padding(int uniformSwitch, int uniform, int left, int right, int top, int bottom)
{
    if (uniformSwitch != 0)
        return QStringLiteral("padding: %1px;").arg(uniform);
    if (left == right && left == top && left == bottom)
        return QStringLiteral("padding: %1px;").arg(left);
    return QStringLiteral("padding-left: %1px;padding-right: %2px;padding-bottom: %3px;padding-top: %4px;")
        .arg(left).arg(right).arg(bottom).arg(top);
}

} // namespace FieldStyleRules
