#ifndef NALVO_WIDGETS_QMYLINEEDIT_H
#define NALVO_WIDGETS_QMYLINEEDIT_H

#include <QLineEdit>
#include <QStringList>

#include "widgets/caracfilter.h"
#include "widgets/fieldcharrules.h"

// A line edit that checks every key before the edit sees it: a key typing
// a character of the forbidden list is refused with a warning, and the
// alphanumeric and hexadecimal modes refuse every other character but the
// allowed list's. Keys that type nothing go on to the edit (and the window).
// Pasted or dropped text follows the same rules, silently.
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
    tFieldCharRules m_Rules;   // shared by typing and inserted text
};

#endif
