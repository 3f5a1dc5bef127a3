#ifndef NALVO_TESTS_SUPPORT_MODALBOXANSWERER_H
#define NALVO_TESTS_SUPPORT_MODALBOXANSWERER_H

#include <QList>
#include <QObject>
#include <QPointer>
#include <QString>
#include <QTimer>
#include <functional>

class QWidget;

// Answers the modal boxes a test opens: a timer polls the active modal
// widget, records its title and text, and applies the next queued answer.
// Answers are taken in order, one per box; progress boxes are passed over.
class ModalBoxAnswerer : public QObject
{
public:
    struct Seen
    {
        QString className;
        QString title;  // the header label of the program's dialogs, else the window title
        QString text;   // message text, text label or text area
    };

    enum Kind { Accept, Reject, Close, Key, Custom };

    struct Answer
    {
        Kind kind = Accept;
        int key = 0;
        std::function<void(QWidget*)> action;
    };

    explicit ModalBoxAnswerer(QObject* parent = nullptr);
    ~ModalBoxAnswerer() override;

    // Queue answers for the next boxes.
    ModalBoxAnswerer& ThenAccept();
    ModalBoxAnswerer& ThenReject();
    // Closes the box as the window frame would (a close event).
    ModalBoxAnswerer& ThenClose();
    // Sends one key click to the box's focus widget (or the box).
    ModalBoxAnswerer& ThenKey(int key);
    ModalBoxAnswerer& ThenDo(std::function<void(QWidget*)> action);

    const QList<Seen>& SeenBoxes() const { return m_ltSeen; }
    int PendingAnswers() const { return m_ltAnswers.size(); }

    // Title and text of a box as a test reads them.
    static Seen Describe(QWidget* box);

    // Makes a shown window the active one and waits until it is. On X11 a
    // focus request sent before the window is viewable is refused, so this
    // waits for exposure first and asks again while the server says no.
    static bool Activate(QWidget* window);

private:
    void Poll();
    void Apply(QWidget* box, const Answer& answer);

    QTimer m_Timer;
    QList<Answer> m_ltAnswers;
    QList<Seen> m_ltSeen;
    QPointer<QWidget> m_pLastAnswered;
    // Polls since the last answer went to a box that is still open with no
    // answer left: a box that ignored its answer is rejected after a while,
    // so the test fails on its result instead of hanging in exec().
    int m_nIdlePolls = 0;
    // An answer that waits (window activation) spins the event loop; polls
    // arriving meanwhile must not answer the same box again. A box the
    // answer opens in turn is answered as usual.
    QList<QWidget*> m_ltAnswering;
};

#endif
