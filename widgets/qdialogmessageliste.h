#ifndef NALVO_WIDGETS_QDIALOGMESSAGELISTE_H
#define NALVO_WIDGETS_QDIALOGMESSAGELISTE_H

#include <QStringList>

#include "widgets/qgreydialogbase.h"
#include <memory>

namespace Ui {
class QDialogMessageListe;
}
class QListWidgetItem;

// A frameless dialog to pick one row of a list; exec() gives 1 for Return,
// Enter, Ok or a double click on a row, 0 for Escape or Cancel. '+' and '-'
// move the current row without wrapping.
class QDialogMessageListe : public QGreyDialogBase
{
    Q_OBJECT
public:
    explicit QDialogMessageListe(QWidget* parent = nullptr);
    ~QDialogMessageListe() override;

    int SetupText(QString title, QStringList& rows, int currentRow, int alignment);
    void ReadjustDialodSize(int rows);
    int GetLastSelectedIndice() const;

    Ui::QDialogMessageListe* Form() const { return ui.get(); }

public slots:
    void slot_ItemDoubleClicked(QListWidgetItem* item);
    void slot_currentRowChanged(int row);

protected:
    bool eventFilter(QObject* watched, QEvent* e) override;
    void keyPressEvent(QKeyEvent* e) override;

private:
    std::unique_ptr<Ui::QDialogMessageListe> ui;
    int m_nLineSize = 0;
    int m_nLastSelected = 0;
};

#endif
