#ifndef NALVO_WIDGETS_QDIALOGMESSAGETEXTEDIT_H
#define NALVO_WIDGETS_QDIALOGMESSAGETEXTEDIT_H

#include <QStringList>

#include "widgets/qgreydialogbase.h"
#include <memory>

namespace Ui {
class QDialogMessageTextEdit;
}

// A frameless box that shows a list of lines in a read-only text area with
// one Ok button; exec() gives 1 for Ok.
class QDialogMessageTextEdit : public QGreyDialogBase
{
    Q_OBJECT
public:
    explicit QDialogMessageTextEdit(QWidget* parent = nullptr);
    ~QDialogMessageTextEdit() override;

    // Each line is shown followed by a line break; the two ints are not used.
    void SetupText(QString title, QStringList& lines, int, int);

    Ui::QDialogMessageTextEdit* Form() const { return ui.get(); }


private:
    std::unique_ptr<Ui::QDialogMessageTextEdit> ui;
};

#endif
