#ifndef NALVO_WIDGETS_QMYLINEEDIT_H
#define NALVO_WIDGETS_QMYLINEEDIT_H

#include <QLineEdit>
#include <QStringList>

#include "widgets/caracfilter.h"

// A line edit that checks every key before the edit sees it: keys of the
// forbidden list are refused with a warning, and the alphanumeric and
// hexadecimal modes refuse every other key except the editing keys and the
// allowed list. Pasted or dropped text follows the same rules, silently.
class QMyLineEdit : public QLineEdit
{
    Q_OBJECT
public:
    explicit QMyLineEdit(QWidget* parent = nullptr);
    ~QMyLineEdit() override;

    void ForbiddenCarac(QStringList* list);
    void AllowCarac(QStringList* list);
    void SetAlphaNum();
    void SetHexa();
    // Allows the kind's alphabet in the modes switched on; kinds above 6 change nothing.
    void SetupCaracFilter(tCaracFilter kind);

public slots:
    void setDisabled(bool disabled);

signals:
    void KeyPress(int key);

protected:
    void keyPressEvent(QKeyEvent* e) override;

private:
    // True when the rules refuse a key code (steps shared by typing and inserted text).
    bool IsRefusedKey(int key) const;
    bool AcceptsInsertedChar(QChar c) const;

    QStringList m_ltForbidden;
    QStringList m_ltAllowed;
    bool m_bAlphaNum = false;
    bool m_bHexa = false;
};

#endif
