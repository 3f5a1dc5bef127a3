#include "widgets/qbriselsequencetextedit.h"

#include <QKeyEvent>
#include <QTextCursor>

#include "foundation/messageloging.h"
#include "widgets/fieldeditorops.h"
#include "widgets/nofocusproxystyle.h"
#include "widgets/qdialogmessage.h"

using namespace FieldEditorOps;

QBriselSequenceTextEdit::QBriselSequenceTextEdit(QWidget* parent)
    : QPlainTextEdit(parent),
      m_pParent(parent),
      m_SeparatorAlphabet(CaracFilterAlphabet(CARAC_SEPARATORS)),
      m_AlnumAlphabet(CaracFilterAlphabet(CARAC_ALNUM)),
      m_DigitAlphabet(CaracFilterAlphabet(CARAC_DIGITS))
{
    setPlainText(QStringLiteral("000A-00A"));
    setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    setFrameStyle(QFrame::NoFrame);
    setContextMenuPolicy(Qt::NoContextMenu);
    SetupPadding(1, "#308CC6;");
    setLineWrapMode(QPlainTextEdit::NoWrap);
    InstallNoFocusStyle(this);
    setOverwriteMode(true);
    connect(this, SIGNAL(textChanged()), this, SLOT(slot_textChanged()));
}

QBriselSequenceTextEdit::~QBriselSequenceTextEdit() = default;

void QBriselSequenceTextEdit::SetupPadding(int uniform, const char* colour)
{
    m_nUniformPadding = uniform;
    const QString padding = uniform != 0
        ? QStringLiteral("padding: 4px;")
        : QStringLiteral("padding-left: 2px; padding-right: 2px; padding-bottom: 0px;padding-top: -3px;");
    setStyleSheet(QStringLiteral("color: #FFFFFF;border-radius: 3px;background-color:%1border:  0px;")
                      .arg(QString::fromLatin1(colour))
                  + padding);
}

void QBriselSequenceTextEdit::slot_textChanged()
{
    // The editor takes its value as typed: no pattern is enforced here.
    if (m_nSequenceSet == 0)
        return;
}

void QBriselSequenceTextEdit::focusInEvent(QFocusEvent* e)
{
    QTextCursor cursor = textCursor();
    cursor.setPosition(qMin(cursor.position() + m_nPatternLength - 1, toPlainText().size()));
    setTextCursor(cursor);
    QPlainTextEdit::focusInEvent(e);
}

void QBriselSequenceTextEdit::wheelEvent(QWheelEvent* e)
{
    QKeyEvent key(QEvent::KeyPress, WheelStepKey(e), Qt::NoModifier);
    keyPressEvent(&key);
}

void QBriselSequenceTextEdit::keyPressEvent(QKeyEvent* e)
{
    if (!e)
        return;
    const int key = e->key();
    if ((e->modifiers() & (Qt::ControlModifier | Qt::AltModifier)) && key >= Qt::Key_0 && key <= Qt::Key_9) {
        e->ignore();
        return;
    }
    const bool handled = (e->modifiers() & Qt::ShiftModifier) ? HandleShiftKey(e) : HandlePlainKey(e);
    if (!handled)
        QPlainTextEdit::keyPressEvent(e);
}

void QBriselSequenceTextEdit::AskToErase()
{
    QDialogMessage question(this);
    question.SetupText(QStringLiteral("Question"), QStringLiteral("Do you want to erase field?"), true);
    if (question.exec() == 0)
        clear();
    window()->activateWindow();
}

bool QBriselSequenceTextEdit::HandleShiftKey(QKeyEvent* e)
{
    const Qt::KeyboardModifiers modifiers = e->modifiers() & (Qt::ControlModifier | Qt::AltModifier);
    switch (e->key()) {
    case Qt::Key_Escape:
        AskToErase();
        return true;
    case Qt::Key_Left:
        EraseBackward(this);
        return true;
    case Qt::Key_Up:
        InsertSpaceUnderCursor(this);
        return true;
    case Qt::Key_Down:
        DeleteUnderCursor(this);
        return true;
    case Qt::Key_Minus:
        if (modifiers & Qt::ControlModifier) {
            EraseBackward(this);
            return true;
        }
        if (modifiers & Qt::AltModifier) {
            DeleteUnderCursor(this);
            return true;
        }
        return false;
    case Qt::Key_Plus:
        if (!(modifiers & Qt::ControlModifier) && (modifiers & Qt::AltModifier)) {
            InsertSpaceUnderCursor(this);
            return true;
        }
        return false;
    default:
        return false;
    }
}

bool QBriselSequenceTextEdit::HandlePlainKey(QKeyEvent* e)
{
    const Qt::KeyboardModifiers modifiers = e->modifiers() & (Qt::ControlModifier | Qt::AltModifier);
    const int position = textCursor().position();
    switch (e->key()) {
    case Qt::Key_Return:
    case Qt::Key_Enter:
        MyQDebug("QBriselSequenceTextEdit: Return left to the dialog");
        e->ignore();
        return true;
    case Qt::Key_Tab:
        MyQDebug("QBriselSequenceTextEdit: Tab left to the dialog");
        e->ignore();
        return true;
    case Qt::Key_Left:
        if (position != 0)
            return false;
        emit signal_BeginOverpass();
        return true;
    case Qt::Key_Right:
        if (position + 1 >= m_nPatternLength) {
            emit signal_EndOverpass();
            return true;
        }
        if (position == toPlainText().size())
            emit signal_EndOverpass();
        return false;
    case Qt::Key_Up:
        Step(+1);
        return true;
    case Qt::Key_Down:
        Step(-1);
        return true;
    case Qt::Key_Plus:
    case Qt::Key_Minus: {
        const bool plus = e->key() == Qt::Key_Plus;
        if (modifiers & Qt::ControlModifier) {
            Step(plus ? +1 : -1);
            return true;
        }
        if (!(modifiers & Qt::AltModifier))
            return false;
        if (!plus) {
            if (position == 0)
                emit signal_BeginOverpass();
            else
                MoveCursorTo(this, position - 1);
        } else if (position + 1 >= m_nPatternLength || position == toPlainText().size()) {
            emit signal_EndOverpass();
        } else {
            MoveCursorTo(this, position + 1);
        }
        return true;
    }
    default:
        return false;
    }
}

void QBriselSequenceTextEdit::Step(int direction)
{
    const int position = textCursor().position();
    if (position == toPlainText().size()) {
        ReplaceAt(this, position, 0, QString(QChar::fromLatin1(m_DigitAlphabet.chars[0])), position);
        return;
    }
    switch (position) {
    case 1: StepNumber(0, 2, 99, direction); break;
    case 2: StepNumber(0, 3, 999, direction); break;
    case 6: StepNumber(5, 2, 99, direction); break;
    case 0:
    case 3:
    case 4:
    case 5:
    case 7: StepCharacter(position, direction); break;
    default: break;
    }
}

void QBriselSequenceTextEdit::StepNumber(int first, int count, int maximum, int direction)
{
    const int position = textCursor().position();
    bool ok = false;
    int value = toPlainText().mid(first, count).trimmed().toInt(&ok);
    if (!ok)
        value = 0;
    value = qBound(0, value + direction, maximum);
    ReplaceAt(this, first, count, QString::number(value).rightJustified(count, QLatin1Char(' ')), position);
}

void QBriselSequenceTextEdit::StepCharacter(int position, int direction)
{
    const tCaracAlphabet& alphabet = (position == 3 || position == 7) ? m_AlnumAlphabet
                                     : position == 4                  ? m_SeparatorAlphabet
                                                                      : m_DigitAlphabet;
    unsigned char c = CaracToByte(toPlainText().at(position));
    if (ApplyCaracFilterStep(&c, direction > 0 ? NEXT : PREVIOUS, alphabet))
        MyQDebug("QBriselSequenceTextEdit: character at %d outside its alphabet", position);
    ReplaceAt(this, position, 1, QString(QChar::fromLatin1(static_cast<char>(c))), position);
}
