#ifndef NALVO_REPORT_QDIALOGPDFFIELDCHOICE_H
#define NALVO_REPORT_QDIALOGPDFFIELDCHOICE_H

#include <QDialog>

class QListWidget;
class QListWidgetItem;
class QPushButton;

// The frameless list popup of a layout grid: it lists report fields, tells
// its owner the row under the cursor (signal_ItemChanged) and the row
// settled on (signal_ItemSelected), with -2 for its Insert button and -1
// for its Delete button, and finished(-1) when its list loses the focus.
class QDialogPdfFieldChoice : public QDialog
{
    Q_OBJECT
public:
    enum : int { IdRole = Qt::UserRole + 1, FlagRole = Qt::UserRole + 2 };
    enum : int { CommandDelete = -1, CommandInsert = -2 };

    explicit QDialogPdfFieldChoice(QWidget* parent);
    ~QDialogPdfFieldChoice() override;

    void AddItem(QString text, int id, int flag);
    void ReplaceAdvancedItems();
    void SetSortingEnabled(bool on);
    int GetItemHeight() const;
    int SetCurrentItemType(int id);
    int GetCurrentItemType() const;
    QListWidget* List() const { return m_pList; }

signals:
    void signal_ItemChanged(int id, bool flag);
    void signal_ItemSelected(int id, bool flag);

public slots:
    void slot_WidgetChoiceItemActivated(QListWidgetItem* item);
    void slot_WidgetChoiceItemSelectionChanged();
    void slot_ButtonInsertClicked();
    void slot_ButtonDeleteClicked();
    void slot_ButtonExitClicked();

protected:
    bool eventFilter(QObject* watched, QEvent* e) override;
    void focusInEvent(QFocusEvent* e) override;
    void focusOutEvent(QFocusEvent* e) override;

private:
    QListWidget* m_pList = nullptr;
    QListWidgetItem* m_pTakeItem = nullptr;
    QListWidgetItem* m_pAdvancedItems[6] = {};
    float m_fFontFactor = 1.0f;
};

#endif
