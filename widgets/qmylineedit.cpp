#include "widgets/qmylineedit.h"

#include <QKeyEvent>
#include <QMessageBox>

#include "widgets/insertedtextfilter.h"
#include "widgets/messagebox.h"

namespace {

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
    setValidator(new InsertedTextFilter(this, [this](QChar c) { return !FieldRefusesChar(m_Rules, c); }));
}

QMyLineEdit::~QMyLineEdit() = default;

void QMyLineEdit::ForbiddenCarac(QStringList* list)
{
    m_Rules.forbidden = list ? *list : QStringList();
}

void QMyLineEdit::AllowCarac(QStringList* list)
{
    m_Rules.allowed = list ? *list : QStringList();
}

void QMyLineEdit::SetAlphaNum()
{
    m_Rules.alphaNum = true;
}

void QMyLineEdit::SetHexa()
{
    m_Rules.hexa = true;
}

void QMyLineEdit::SetupCaracFilter(tCaracFilter kind)
{
    const tCaracAlphabet alphabet = CaracFilterAlphabet(kind);
    if (!alphabet.chars)
        return;
    m_Rules.forbidden.clear();
    m_Rules.allowed.clear();
    for (int i = 0; i < alphabet.length; ++i)
        m_Rules.allowed.append(QString(QChar::fromLatin1(alphabet.chars[i])));
}

void QMyLineEdit::setDisabled(bool disabled)
{
    QWidget::setDisabled(disabled);
}

void QMyLineEdit::keyPressEvent(QKeyEvent* e)
{
    const int key = e->key();
    if (key == Qt::Key_Up || key == Qt::Key_Down) {
        e->accept();
        return;
    }
    if (KeyTypesRefusedChar(m_Rules, *e)) {
        ShowInvalidCharacterWarning(this);
        return;
    }
    // Keys the edit does not use (Escape, Page Up) go on to the window.
    QLineEdit::keyPressEvent(e);
    emit KeyPress(key);
}
