#ifndef NALVO_WIDGETS_QBRISELMINISTACKMANAGER_H
#define NALVO_WIDGETS_QBRISELMINISTACKMANAGER_H

#include <QList>
#include <QObject>

class QBriselMiniStack;

// Moves the single selection between the mini-stack fields of one dialog:
// Left and Right in list order (wrapping), Up and Down on screen, and label
// clicks. The host's key handler calls the moves; accepted clicks are told
// to the host by signal_UserClickedOk.
class QBriselMiniStackManager : public QObject
{
    Q_OBJECT
public:
    enum tManagerState : int { MANAGER_OFF = 0, MANAGER_SELECT = 1, MANAGER_EDIT = 2 };

    explicit QBriselMiniStackManager(QObject* parent = nullptr);
    ~QBriselMiniStackManager() override;

    void InsertItem(QBriselMiniStack* field);
    void MiniStackMoveRight();
    void MiniStackMoveLeft();
    void MiniStackMoveUp();
    void MiniStackMoveDown();
    void MiniStackSelectItem(QBriselMiniStack* field);
    // Non-zero key: Return (one level in); zero: Escape (one level out). Returns 0.
    int MiniStackFieldManager(int key);
    void MiniStackProgressToEdit();
    void MiniStackProgressToView();
    int GetState() const;
    int GetSelectedMiniStackField(QBriselMiniStack** out) const;
    int GetEditMiniStackField(QBriselMiniStack** out) const;

public slots:
    void slot_BlueLabelMouseClick(bool doubleClick);

signals:
    void signal_UserClickedOk(bool doubleClick);
    void signal_UserClickedCancel();

private:
    int IndexOfFirstInState(int fieldState) const;
    void MoveInListOrder(int step);
    void MoveSelectionTo(int selected, int chosen);
    // The nearest applicable field above (-1) or below (+1) the selected one.
    int FindVertical(int selected, int direction) const;

    int m_nCurrentIndex = 0;
    int m_nState = MANAGER_OFF;
    QList<QBriselMiniStack*> m_ltFields;
};

#endif
