#ifndef NALVO_WIDGETS_QBRISELMINISTACK_H
#define NALVO_WIDGETS_QBRISELMINISTACK_H

#include <QStackedWidget>

class QBriselBlueLabel;
class QBriselPlainTextEdit;
class QBriselSequenceTextEdit;

// One keyboard-navigable field of a setup dialog: a value label (page 0), a
// field text editor (page 1) and a sequence editor (page 2). The host shows
// a value through the label and changes it through its own popups.
class QBriselMiniStack : public QStackedWidget
{
    Q_OBJECT
public:
    enum _tMiniStackState : int { MINISTACK_OFF = 1, MINISTACK_SELECTED = 2, MINISTACK_EDIT = 3 };
    enum _tMiniStackNature : int { MINISTACK_TEXT = 0, MINISTACK_SEQUENCE = 1 };

    explicit QBriselMiniStack(QWidget* parent = nullptr);
    ~QBriselMiniStack() override;

    void SetupTextOnly(const QString& text, Qt::Alignment alignment);
    void SetNotApplicable(bool notApplicable);
    bool IsApplicable() const;
    _tMiniStackState GetState() const;
    void SwitchStateTo(_tMiniStackState state);
    bool IsClicked() const;
    void AckClicked();

    QBriselBlueLabel* Label() const { return m_pLabel; }
    QBriselPlainTextEdit* TextEditor() const { return m_pTextEdit; }
    QBriselSequenceTextEdit* SequenceEditor() const { return m_pSequenceEdit; }

public slots:
    void slot_BlueLabelMouseClick(bool doubleClick);

signals:
    void signal_stateChanged(int state);

protected:
    void keyPressEvent(QKeyEvent* e) override;

private:
    bool m_bClicked = false;
    _tMiniStackState m_eState = MINISTACK_OFF;
    int m_nNature = MINISTACK_TEXT;
    bool m_bNotApplicable = false;
    QBriselBlueLabel* m_pLabel;
    QBriselPlainTextEdit* m_pTextEdit;
    QBriselSequenceTextEdit* m_pSequenceEdit;
    bool m_bEditable = false;
    QWidget* m_pParent;
};

#endif
