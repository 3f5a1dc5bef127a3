#include "widgets/qbriselplaintextedit.h"

#include <QKeyEvent>
#include <QTextCursor>

#include <climits>

#include "foundation/messageloging.h"
#include "widgets/fieldeditorops.h"

using namespace FieldEditorOps;

int QBriselPlainTextEdit::s_nModifiedPressCount = 0;

QBriselPlainTextEdit::QBriselPlainTextEdit(QWidget* parent)
    : QBriselFieldEditorBase(parent), m_Alphabet(CaracFilterAlphabet(CARAC_UPPER_DIGITS))
{
    SetupPadding(1, QColor(48, 140, 198));
    connect(this, SIGNAL(textChanged()), this, SLOT(slot_textChanged()));
}

QBriselPlainTextEdit::~QBriselPlainTextEdit() = default;

void QBriselPlainTextEdit::SetupCaracFilter(tCaracFilter kind, int size)
{
    m_eCaracFilter = kind;
    m_nMaxLength = size;
    const tCaracAlphabet alphabet = CaracFilterAlphabet(kind);
    if (!alphabet.chars)
        return;
    m_Alphabet = alphabet;
    if (kind == CARAC_DIGITS) {
        // Ten digits and more would pass the range of an int: stop at its largest value.
        qint64 maximum = 1;
        for (int i = 0; i < size && maximum <= INT_MAX; ++i)
            maximum *= 10;
        m_nNumericMax = int(qMin<qint64>(maximum - 1, INT_MAX));
    }
}

void QBriselPlainTextEdit::SetupPadding(int uniform, QColor background)
{
    m_nUniformPadding = uniform;
    m_BackgroundColor = background;
    updateStyleSheet();
}

void QBriselPlainTextEdit::updateStyleSheet()
{
    setStyleSheet(QStringLiteral("color: %1;border-radius: 3px;border-width: 0px;").arg(m_TextColor.name())
                  + FieldStyleRules::Background(m_BackgroundColor)
                  + FieldStyleRules::Padding(m_nUniformPadding, m_nPadding, m_nPaddingLeft,
                                             m_nPaddingRight, m_nPaddingTop, m_nPaddingBottom));
}

int QBriselPlainTextEdit::ApplyCaracFilter(unsigned char* c, tAction action)
{
    return ApplyCaracFilterStep(c, action, m_Alphabet);
}

bool QBriselPlainTextEdit::CheckTextCaracFilter(tAction action)
{
    const QString text = toPlainText();
    QString filtered;
    filtered.reserve(text.size());
    bool repaired = false;
    for (const QChar c : text) {
        unsigned char byte = CaracToByte(c);
        if (ApplyCaracFilter(&byte, action))
            repaired = true;
        filtered.append(QChar::fromLatin1(static_cast<char>(byte)));
    }
    if (repaired)
        setPlainText(filtered);
    return repaired;
}

void QBriselPlainTextEdit::CutToMaxLength()
{
    const int excess = toPlainText().size() - m_nMaxLength;
    if (excess <= 0)
        return;
    const int start = qMax(0, textCursor().position() - excess);
    QTextCursor cursor = textCursor();
    cursor.setPosition(start);
    cursor.setPosition(start + excess, QTextCursor::KeepAnchor);
    cursor.removeSelectedText();
    setTextCursor(cursor);
}

void QBriselPlainTextEdit::slot_textChanged()
{
    // Both the cut and the repair change the text again; one pass does all.
    if (m_bInTextChanged)
        return;
    m_bInTextChanged = true;
    CutToMaxLength();
    const int position = textCursor().position();
    if (CheckTextCaracFilter(CHECK))
        MoveCursorTo(this, qMax(0, position - 1));
    m_bInTextChanged = false;
}

void QBriselPlainTextEdit::focusInEvent(QFocusEvent* e)
{
    QTextCursor cursor = textCursor();
    const int target = qMin(m_nMaxLength - 1, toPlainText().size());
    if (cursor.position() < target) {
        cursor.setPosition(target);
        setTextCursor(cursor);
    }
    QPlainTextEdit::focusInEvent(e);
}

void QBriselPlainTextEdit::focusOutEvent(QFocusEvent* e)
{
    MyQDebug("focusOutEvent %p reason %d", static_cast<void*>(this), static_cast<int>(e->reason()));
    QPlainTextEdit::focusOutEvent(e);
}

bool QBriselPlainTextEdit::CountedPressActs()
{
    if (s_nModifiedPressCount < 3) {
        ++s_nModifiedPressCount;
        return false;
    }
    s_nModifiedPressCount = 0;
    return true;
}

void QBriselPlainTextEdit::keyPressEvent(QKeyEvent* e)
{
    if (!e)
        return;
    const Qt::KeyboardModifiers modifiers = e->modifiers();
    const int key = e->key();
    if ((modifiers & (Qt::ControlModifier | Qt::AltModifier))
        && ((key >= Qt::Key_0 && key <= Qt::Key_9) || (key >= Qt::Key_A && key <= Qt::Key_M))) {
        e->ignore();
        return;
    }
    const bool handled = (modifiers & Qt::ShiftModifier) ? HandleShiftKey(e) : HandlePlainKey(e);
    if (!handled)
        QPlainTextEdit::keyPressEvent(e);
}

bool QBriselPlainTextEdit::HandleShiftKey(QKeyEvent* e)
{
    switch (e->key()) {
    case Qt::Key_Escape:
        clear();
        window()->activateWindow();
        return true;
    case Qt::Key_Return:
    case Qt::Key_Enter:
        return true;
    case Qt::Key_Left: {
        QTextCursor cursor = textCursor();
        if (!cursor.hasSelection())
            cursor.movePosition(QTextCursor::PreviousCharacter);
        cursor.deleteChar();
        setTextCursor(cursor);
        return true;
    }
    case Qt::Key_Up:
        InsertSpaceUnderCursor(this);
        return true;
    case Qt::Key_Down:
        DeleteUnderCursor(this);
        return true;
    default:
        return false;
    }
}

bool QBriselPlainTextEdit::HandlePlainKey(QKeyEvent* e)
{
    if (HandleNavigationKey(e, m_nMaxLength))
        return true;
    const Qt::KeyboardModifiers modifiers = e->modifiers() & (Qt::ControlModifier | Qt::AltModifier);
    switch (e->key()) {
    case Qt::Key_Up:
        Step(+1);
        return true;
    case Qt::Key_Down:
        Step(-1);
        return true;
    case Qt::Key_F3:
        EraseBackward(this);
        return true;
    case Qt::Key_Plus:
    case Qt::Key_Minus: {
        const bool plus = e->key() == Qt::Key_Plus;
        if (modifiers & Qt::ControlModifier) {
            if (!CountedPressActs())
                return false;
            Step(plus ? +1 : -1);
            return true;
        }
        if (modifiers == Qt::AltModifier) {
            if (!CountedPressActs())
                return false;
            if (plus)
                MoveRightOrOverpass(m_nMaxLength);
            else
                MoveLeftOrOverpass();
            return true;
        }
        return false;
    }
    default:
        return false;
    }
}

void QBriselPlainTextEdit::Step(int direction)
{
    const int position = textCursor().position();
    const QString text = toPlainText();
    if (position == text.size()) {
        ReplaceAt(this, position, 0, QString(QChar::fromLatin1(m_Alphabet.chars[0])), position);
        return;
    }
    if (m_eCaracFilter == CARAC_DIGITS) {
        if (position <= 1)
            StepDigitsNumber(position, direction);
        return;
    }
    unsigned char c = CaracToByte(text.at(position));
    ApplyCaracFilter(&c, direction > 0 ? NEXT : PREVIOUS);
    ReplaceAt(this, position, 1, QString(QChar::fromLatin1(static_cast<char>(c))), position);
}

void QBriselPlainTextEdit::StepDigitsNumber(int position, int direction)
{
    const int count = position + 1;
    bool ok = false;
    int value = toPlainText().left(count).trimmed().toInt(&ok);
    if (!ok)
        value = 0;
    value = qBound(0, value + direction, m_nNumericMax);
    const QString number = QString::number(value).rightJustified(m_nMaxLength, QLatin1Char(' '));
    ReplaceAt(this, 0, count, number, position);
}
