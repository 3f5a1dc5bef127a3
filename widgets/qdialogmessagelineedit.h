#ifndef NALVO_WIDGETS_QDIALOGMESSAGELINEEDIT_H
#define NALVO_WIDGETS_QDIALOGMESSAGELINEEDIT_H


#include "widgets/caracfilter.h"
#include "widgets/qgreydialogbase.h"
#include <memory>

namespace Ui {
class QDialogMessageLineEdit;
}

// A frameless dialog that asks for one line of text in a character-filtered
// field editor; exec() gives 1 for Return, Enter or Ok, 0 for Escape or Cancel.
class QDialogMessageLineEdit : public QGreyDialogBase
{
    Q_OBJECT
public:
    explicit QDialogMessageLineEdit(QWidget* parent = nullptr);
    ~QDialogMessageLineEdit() override;

    // `size` is the maximum length, or for the digits kind the number of digits.
    void Setup(QString title, QString text, tCaracFilter kind, int size);
    void SetOverwriteMode(bool overwrite);
    // Repairs the text once more; true when characters had to be replaced.
    bool ReturnText(QString* out);

    Ui::QDialogMessageLineEdit* Form() const { return ui.get(); }


protected:
    void keyPressEvent(QKeyEvent* e) override;

private:
    std::unique_ptr<Ui::QDialogMessageLineEdit> ui;
};

#endif
