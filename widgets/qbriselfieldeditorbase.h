#ifndef NALVO_WIDGETS_QBRISELFIELDEDITORBASE_H
#define NALVO_WIDGETS_QBRISELFIELDEDITORBASE_H

#include <QPlainTextEdit>

// What the one-line field editors share: a frameless, unscrolled, unwrapped
// overwrite editor without focus frame or context menu, whose wheel steps
// like Up and Down, which leaves Return, Enter and Tab to the dialog, and
// which reports moves past its first and last position.
class QBriselFieldEditorBase : public QPlainTextEdit
{
    Q_OBJECT
public:
    explicit QBriselFieldEditorBase(QWidget* parent = nullptr);
    ~QBriselFieldEditorBase() override;

signals:
    void signal_EndOverpass();
    void signal_BeginOverpass();

protected:
    void wheelEvent(QWheelEvent* e) override;
    // Return, Enter, Tab, Left and Right without Shift; `limit` is the
    // number of positions Right may reach. True when the key was dealt with.
    bool HandleNavigationKey(QKeyEvent* e, int limit);
    // The Alt moves: right stops (and reports) at the limit or the end of the text.
    void MoveRightOrOverpass(int limit);
    void MoveLeftOrOverpass();
};

#endif
