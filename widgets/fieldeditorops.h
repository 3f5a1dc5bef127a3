#ifndef NALVO_WIDGETS_FIELDEDITOROPS_H
#define NALVO_WIDGETS_FIELDEDITOROPS_H

#include <QColor>
#include <QString>

class QPlainTextEdit;
class QWheelEvent;

// Cursor edits shared by the one-line field editors. "Under the cursor" is
// the character right of the cursor, where the block cursor of overwrite
// mode is drawn.
namespace FieldEditorOps {

void MoveCursorTo(QPlainTextEdit* edit, int position);
// Inserts a space at the cursor and leaves the cursor on it.
void InsertSpaceUnderCursor(QPlainTextEdit* edit);
void DeleteUnderCursor(QPlainTextEdit* edit);
// Moves back one character (when it can) and deletes the character then under the cursor.
void EraseBackward(QPlainTextEdit* edit);
// Replaces `length` characters at `position` with `text` and puts the cursor at `cursor`.
void ReplaceAt(QPlainTextEdit* edit, int position, int length, const QString& text, int cursor);

// Up for a wheel turned away from the user, Down otherwise.
int WheelStepKey(const QWheelEvent* e);

} // namespace FieldEditorOps

// Style-sheet rules shared by the field editors and the value label.
namespace FieldStyleRules {

QString Background(const QColor& c);
// "padding: Npx;" when uniform or all sides are equal, else the four sides.
QString Padding(int uniformSwitch, int uniform, int left, int right, int top, int bottom);

} // namespace FieldStyleRules

#endif
