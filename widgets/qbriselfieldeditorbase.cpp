#include "widgets/qbriselfieldeditorbase.h"

#include <QKeyEvent>
#include <QTextCursor>

#include "foundation/messageloging.h"
#include "widgets/fieldeditorops.h"
#include "widgets/nofocusproxystyle.h"

QBriselFieldEditorBase::QBriselFieldEditorBase(QWidget* parent) : QPlainTextEdit(parent)
{
    setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    setFrameStyle(QFrame::NoFrame);
    setContextMenuPolicy(Qt::NoContextMenu);
    setLineWrapMode(QPlainTextEdit::NoWrap);
    InstallNoFocusStyle(this);
    setOverwriteMode(true);
}

QBriselFieldEditorBase::~QBriselFieldEditorBase() = default;

void QBriselFieldEditorBase::wheelEvent(QWheelEvent* e)
{
    QKeyEvent key(QEvent::KeyPress, FieldEditorOps::WheelStepKey(e), Qt::NoModifier);
    keyPressEvent(&key);
}

bool QBriselFieldEditorBase::HandleNavigationKey(QKeyEvent* e, int limit)
{
    const int position = textCursor().position();
    switch (e->key()) {
    case Qt::Key_Return:
    case Qt::Key_Enter:
    case Qt::Key_Tab:
        MyQDebug("%s: key 0x%X left to the dialog", metaObject()->className(), static_cast<unsigned>(e->key()));
        e->ignore();
        return true;
    case Qt::Key_Left:
        if (position != 0)
            return false;
        emit signal_BeginOverpass();
        return true;
    case Qt::Key_Right:
        if (position + 1 >= limit) {
            emit signal_EndOverpass();
            return true;
        }
        if (position == toPlainText().size())
            emit signal_EndOverpass();
        return false;
    default:
        return false;
    }
}

void QBriselFieldEditorBase::MoveRightOrOverpass(int limit)
{
    const int position = textCursor().position();
    if (position + 1 >= limit || position == toPlainText().size())
        emit signal_EndOverpass();
    else
        FieldEditorOps::MoveCursorTo(this, position + 1);
}

void QBriselFieldEditorBase::MoveLeftOrOverpass()
{
    const int position = textCursor().position();
    if (position == 0)
        emit signal_BeginOverpass();
    else
        FieldEditorOps::MoveCursorTo(this, position - 1);
}
