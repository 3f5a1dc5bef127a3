#ifndef NALVO_WIDGETS_QDIALOGMESSAGELISTE_H
#define NALVO_WIDGETS_QDIALOGMESSAGELISTE_H

#include <QDialog>
#include <QStringList>

#include "widgets/headerdrag.h"

namespace Ui {
class QDialogMessageListe;
}
class QListWidgetItem;

// A frameless dialog to pick one row of a list; exec() gives 1 for Return,
// Enter, Ok or a double click on a row, 0 for Escape or Cancel. '+' and '-'
// move the current row without wrapping.
class QDialogMessageListe : public QDialog
{
    Q_OBJECT
public:
    explicit QDialogMessageListe(QWidget* parent = nullptr);
    ~QDialogMessageListe() override;

    int SetupText(QString title, QStringList& rows, int currentRow, int alignment);
    void ReadjustDialodSize(int rows);
    int GetLastSelectedIndice() const;

    Ui::QDialogMessageListe* Form() const { return ui; }

public slots:
    void slot_ItemDoubleClicked(QListWidgetItem* item);
    void slot_currentRowChanged(int row);
    void slot_ButtonOkClicked();
    void slot_ButtonEscClicked();

protected:
    bool eventFilter(QObject* watched, QEvent* e) override;
    void keyPressEvent(QKeyEvent* e) override;

private:
    Ui::QDialogMessageListe* ui;
    HeaderDrag m_HeaderDrag;
    int m_nLineSize = 0;
    int m_nLastSelected = 0;
};

#endif
