#include "widgets/qmylineedit.h"

#include <QKeyEvent>
#include <QMessageBox>

#include "widgets/insertedtextfilter.h"
#include "widgets/messagebox.h"

namespace {

bool ListHasKey(const QStringList& list, int key)
{
    const unsigned char low = static_cast<unsigned char>(key & 0xFF);
    for (const QString& entry : list) {
        if (!entry.isEmpty() && CaracToByte(entry.at(0)) == low)
            return true;
    }
    return false;
}

bool IsEditingKey(int key)
{
    switch (key) {
    case Qt::Key_Backspace:
    case Qt::Key_Return:
    case Qt::Key_Enter:
    case Qt::Key_Delete:
    case Qt::Key_Home:
    case Qt::Key_End:
    case Qt::Key_Left:
    case Qt::Key_Up:
    case Qt::Key_Right:
    case Qt::Key_Down:
    case Qt::Key_Shift:
    case Qt::Key_Control:
        return true;
    default:
        return false;
    }
}

bool IsAsciiAlnum(unsigned char c)
{
    return (c >= '0' && c <= '9') || (c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z');
}

// Parented to the edit's window, so the warning carries the window's look
// instead of appearing as a bare light box of its own.
void ShowInvalidCharacterWarning(QWidget* edit)
{
    ShowMessageBox(edit ? edit->window() : nullptr, QMessageBox::Warning, QStringLiteral("Warning"),
                   QStringLiteral("Invalid character !"));
}

} // namespace

QMyLineEdit::QMyLineEdit(QWidget* parent) : QLineEdit(parent)
{
    setValidator(new InsertedTextFilter(this, [this](QChar c) { return AcceptsInsertedChar(c); }));
}

QMyLineEdit::~QMyLineEdit() = default;

void QMyLineEdit::ForbiddenCarac(QStringList* list)
{
    m_ltForbidden = list ? *list : QStringList();
}

void QMyLineEdit::AllowCarac(QStringList* list)
{
    m_ltAllowed = list ? *list : QStringList();
}

void QMyLineEdit::SetAlphaNum()
{
    m_bAlphaNum = true;
}

void QMyLineEdit::SetHexa()
{
    m_bHexa = true;
}

void QMyLineEdit::SetupCaracFilter(tCaracFilter kind)
{
    const tCaracAlphabet alphabet = CaracFilterAlphabet(kind);
    if (!alphabet.chars)
        return;
    m_ltForbidden.clear();
    m_ltAllowed.clear();
    for (int i = 0; i < alphabet.length; ++i)
        m_ltAllowed.append(QString(QChar::fromLatin1(alphabet.chars[i])));
}

void QMyLineEdit::setDisabled(bool disabled)
{
    QWidget::setDisabled(disabled);
}

bool QMyLineEdit::IsRefusedKey(int key) const
{
    if (ListHasKey(m_ltForbidden, key))
        return true;
    const unsigned char low = static_cast<unsigned char>(key & 0xFF);
    const bool exempt = IsEditingKey(key) || ListHasKey(m_ltAllowed, key);
    if (m_bAlphaNum && !IsAsciiAlnum(low) && !exempt)
        return true;
    const bool hexDigit = (low >= '0' && low <= '9') || (key >= Qt::Key_A && key <= Qt::Key_F)
                          || (key >= 'a' && key <= 'f');
    if (m_bHexa && !hexDigit && !exempt)
        return true;
    return false;
}

bool QMyLineEdit::AcceptsInsertedChar(QChar c) const
{
    // A typed letter arrives with the key code of its upper-case form.
    return !IsRefusedKey(c.toUpper().unicode());
}

void QMyLineEdit::keyPressEvent(QKeyEvent* e)
{
    const int key = e->key();
    const bool refused = IsRefusedKey(key);
    if (refused)
        ShowInvalidCharacterWarning(this);
    if (key == Qt::Key_Up || key == Qt::Key_Down) {
        e->accept();
        return;
    }
    if (refused)
        return;
    QLineEdit::keyPressEvent(e);
    emit KeyPress(key);
}
