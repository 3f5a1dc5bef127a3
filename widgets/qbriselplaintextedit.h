#ifndef NALVO_WIDGETS_QBRISELPLAINTEXTEDIT_H
#define NALVO_WIDGETS_QBRISELPLAINTEXTEDIT_H

#include <QColor>
#include <QPlainTextEdit>

#include "widgets/caracfilter.h"

// A one-line field editor for one character alphabet and a maximum length.
// It types in overwrite mode, repairs characters outside its alphabet, cuts
// text beyond its length, and edits without typing: Up and Down step the
// character under the cursor (for the digits kind, the number in front of
// it), Shift with the arrows erases, deletes and inserts. Return, Enter, Tab
// and Escape are left to the dialog around it.
class QBriselPlainTextEdit : public QPlainTextEdit
{
    Q_OBJECT
public:
    enum tAction { CHECK = CARAC_ACTION_CHECK, NEXT = CARAC_ACTION_NEXT, PREVIOUS = CARAC_ACTION_PREVIOUS };

    explicit QBriselPlainTextEdit(QWidget* parent = nullptr);
    ~QBriselPlainTextEdit() override;

    void SetupCaracFilter(tCaracFilter kind, int size);
    void SetupPadding(int uniform, QColor background);
    void updateStyleSheet();
    // Filters every character; true when one was outside the alphabet and the text was replaced.
    bool CheckTextCaracFilter(tAction action);
    int ApplyCaracFilter(unsigned char* c, tAction action);

    tCaracFilter CaracFilter() const { return m_eCaracFilter; }
    int MaxLength() const { return m_nMaxLength; }
    int NumericMax() const { return m_nNumericMax; }

public slots:
    void slot_textChanged();

signals:
    void signal_EndOverpass();
    void signal_BeginOverpass();

protected:
    void wheelEvent(QWheelEvent* e) override;
    void keyPressEvent(QKeyEvent* e) override;
    void focusInEvent(QFocusEvent* e) override;
    void focusOutEvent(QFocusEvent* e) override;

private:
    // Cuts the text to the maximum length in one edit; the cut falls just
    // before the cursor, as if the last typed characters were taken back.
    void CutToMaxLength();
    void Step(int direction);
    void StepDigitsNumber(int position, int direction);
    bool HandleShiftKey(QKeyEvent* e);
    bool HandlePlainKey(QKeyEvent* e);
    void MoveRightOrOverpass(bool moveCursorItself);
    void MoveLeftOrOverpass();
    // The modified '+'/'-' presses act only every fourth time.
    static bool CountedPressActs();

    int m_nUniformPadding = 1;
    int m_nNumericMax = 9;
    tCaracFilter m_eCaracFilter = CARAC_UPPER_DIGITS;
    int m_nMaxLength = 20;
    tCaracAlphabet m_Alphabet;
    QColor m_BackgroundColor{48, 140, 198};
    QColor m_TextColor{Qt::white};
    int m_nPadding = 4;
    int m_nPaddingLeft = 2;
    int m_nPaddingRight = 2;
    int m_nPaddingTop = -3;
    int m_nPaddingBottom = 0;
    bool m_bInTextChanged = false;

    static int s_nModifiedPressCount;
};

#endif
