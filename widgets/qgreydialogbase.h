#ifndef NALVO_WIDGETS_QGREYDIALOGBASE_H
#define NALVO_WIDGETS_QGREYDIALOGBASE_H

#include <QDialog>

#include "widgets/headerdrag.h"

// What the frameless grey dialogs share: dragging by the header label, and
// Ok and Cancel buttons that close with 1 and 0.
class QKeyEvent;

class QGreyDialogBase : public QDialog
{
    Q_OBJECT
public:
    explicit QGreyDialogBase(QWidget* parent = nullptr);
    ~QGreyDialogBase() override;

public slots:
    void slot_ButtonOkClicked();
    void slot_ButtonEscClicked();

protected:
    // Watches `header` so the user can drag the dialog by it.
    void FollowHeader(QWidget* header);
    bool eventFilter(QObject* watched, QEvent* e) override;
    // Return and Enter accept (1), Escape cancels (0); false for other keys.
    bool AnswerReturnOrEscape(QKeyEvent* e);

private:
    QWidget* m_pHeader = nullptr;
    HeaderDrag m_HeaderDrag;
};

#endif
