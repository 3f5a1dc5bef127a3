#ifndef NALVO_TESTS_SUPPORT_USERINPUT_H
#define NALVO_TESTS_SUPPORT_USERINPUT_H

#include <QMap>
#include <QPoint>
#include <QString>
#include <QStringList>
#include <Qt>

class QWidget;

// Input as the window system delivers it: keys and clicks go to a top-level
// window's native window and Qt's own dispatch finds the receiver (the focus
// widget, the widget under the pointer, an open popup; a modal box blocks
// the windows behind it), so a key an inner widget ignores travels on as it
// does for a person.
namespace userinput {

void Key(QWidget* window, int key, Qt::KeyboardModifiers modifiers = Qt::NoModifier);
void Type(QWidget* window, const QString& text);
// A click at a point of the top-level window.
void ClickAt(QWidget* window, QPoint at, Qt::MouseButton button = Qt::LeftButton,
             Qt::KeyboardModifiers modifiers = Qt::NoModifier);
// A left-button drag between two points of the top-level window.
void DragAt(QWidget* window, QPoint from, QPoint to);
// A click at a point of a widget (its centre by default), through its
// top-level window, the point scrolled into sight first where a scroll
// area holds it. False, with nothing clicked, when another widget lies
// over that point.
bool Click(QWidget* target, QPoint local = QPoint(-1, -1), Qt::MouseButton button = Qt::LeftButton,
           Qt::KeyboardModifiers modifiers = Qt::NoModifier);

// The audio of every take below a folder: "<folder>/<6-character id>"
// (relative to root) -> the sorted hashes of its files' data chunks.
// Renames do not change it.
QMap<QString, QStringList> AudioByTake(const QString& root);

}  // namespace userinput

#endif
