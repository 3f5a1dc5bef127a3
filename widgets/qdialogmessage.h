#ifndef NALVO_WIDGETS_QDIALOGMESSAGE_H
#define NALVO_WIDGETS_QDIALOGMESSAGE_H

#include <QDialog>
#include <memory>

namespace Ui {
class QDialogMessage;
}
class QMouseEvent;

// A colour-coded question box answered from the keyboard or by double
// clicking its bottom labels. exec() gives 0 to go on (Return, Enter, the OK
// label) and 1 to cancel (Escape, the ESC label, or closing the window).
class QDialogMessage : public QDialog
{
    Q_OBJECT
public:
    enum { GO_ON = 0, CANCEL = 1 };

    explicit QDialogMessage(QWidget* parent = nullptr);
    ~QDialogMessage() override;

    void SetupText(QString title, QString text, bool keepFocus);
    void SetupColoredAsInformation();

    Ui::QDialogMessage* Form() const { return ui.get(); }

public slots:
    void slot_LabelOkDoubleClicked(QMouseEvent* e);
    void slot_LabelEscDoubleClicked(QMouseEvent* e);
    // Closing by the window frame or any other rejection means cancel.
    void reject() override;

protected:
    void keyPressEvent(QKeyEvent* e) override;
    void focusInEvent(QFocusEvent* e) override;
    void focusOutEvent(QFocusEvent* e) override;

private:
    std::unique_ptr<Ui::QDialogMessage> ui;
    bool m_bKeepFocus = false;
};

#endif
