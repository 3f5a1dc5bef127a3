#ifndef NALVO_WIDGETS_QBRISELSEQUENCETEXTEDIT_H
#define NALVO_WIDGETS_QBRISELSEQUENCETEXTEDIT_H

#include <QPlainTextEdit>

#include "widgets/caracfilter.h"

// A one-line editor for a value of fixed shape, by default "000A-00A": each
// position has its own alphabet, and Up and Down step the character under
// the cursor or, at some positions, the whole number the cursor ends.
class QBriselSequenceTextEdit : public QPlainTextEdit
{
    Q_OBJECT
public:
    enum tAction { CHECK = CARAC_ACTION_CHECK, NEXT = CARAC_ACTION_NEXT, PREVIOUS = CARAC_ACTION_PREVIOUS };

    explicit QBriselSequenceTextEdit(QWidget* parent = nullptr);
    ~QBriselSequenceTextEdit() override;

    // `colour` carries its own closing semicolon, as in "#308CC6;".
    void SetupPadding(int uniform, const char* colour);

public slots:
    void slot_textChanged();

signals:
    void signal_EndOverpass();
    void signal_BeginOverpass();

protected:
    void wheelEvent(QWheelEvent* e) override;
    void keyPressEvent(QKeyEvent* e) override;
    void focusInEvent(QFocusEvent* e) override;

private:
    bool HandleShiftKey(QKeyEvent* e);
    bool HandlePlainKey(QKeyEvent* e);
    void Step(int direction);
    void StepNumber(int first, int count, int maximum, int direction);
    void StepCharacter(int position, int direction);
    void AskToErase();

    int m_nUniformPadding = 1;
    int m_nSequenceSet = 0;
    QWidget* m_pParent;
    int m_nPatternLength = 8;
    tCaracAlphabet m_SeparatorAlphabet;
    tCaracAlphabet m_AlnumAlphabet;
    tCaracAlphabet m_DigitAlphabet;
};

#endif
