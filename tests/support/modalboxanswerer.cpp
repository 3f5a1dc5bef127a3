#include "tests/support/modalboxanswerer.h"

#include <QAbstractButton>
#include <QApplication>
#include <QCloseEvent>
#include <QDialog>
#include <QLabel>
#include <QMessageBox>
#include <QPushButton>
#include <QPlainTextEdit>
#include <QProgressDialog>
#include <QTest>
#include <QTextEdit>

ModalBoxAnswerer::ModalBoxAnswerer(QObject* parent) : QObject(parent)
{
    m_Timer.setInterval(10);
    connect(&m_Timer, &QTimer::timeout, this, &ModalBoxAnswerer::Poll);
    m_Timer.start();
}

ModalBoxAnswerer::~ModalBoxAnswerer() = default;

ModalBoxAnswerer& ModalBoxAnswerer::ThenAccept()
{
    m_ltAnswers.append({Accept, 0, {}});
    return *this;
}

ModalBoxAnswerer& ModalBoxAnswerer::ThenReject()
{
    m_ltAnswers.append({Reject, 0, {}});
    return *this;
}

ModalBoxAnswerer& ModalBoxAnswerer::ThenClose()
{
    m_ltAnswers.append({Close, 0, {}});
    return *this;
}

ModalBoxAnswerer& ModalBoxAnswerer::ThenKey(int key)
{
    m_ltAnswers.append({Key, key, {}});
    return *this;
}

ModalBoxAnswerer& ModalBoxAnswerer::ThenDo(std::function<void(QWidget*)> action)
{
    m_ltAnswers.append({Custom, 0, std::move(action)});
    return *this;
}

ModalBoxAnswerer::Seen ModalBoxAnswerer::Describe(QWidget* box)
{
    Seen seen;
    seen.className = QString::fromLatin1(box->metaObject()->className());
    seen.title = box->windowTitle();
    if (auto* header = box->findChild<QLabel*>(QStringLiteral("m_CtrlHeaderLabel")))
        seen.title = header->text();
    if (auto* message = qobject_cast<QMessageBox*>(box))
        seen.text = message->text();
    else if (auto* label = box->findChild<QLabel*>(QStringLiteral("m_CtrlTextLabel")))
        seen.text = label->text();
    else if (auto* area = box->findChild<QTextEdit*>())
        seen.text = area->toPlainText();
    else if (auto* editor = box->findChild<QPlainTextEdit*>())
        seen.text = editor->toPlainText();
    return seen;
}

bool ModalBoxAnswerer::Activate(QWidget* window)
{
    if (!QTest::qWaitForWindowExposed(window))
        return false;
    for (int attempt = 0; attempt < 5 && !window->isActiveWindow(); ++attempt) {
        window->activateWindow();
        if (QTest::qWaitForWindowActive(window, 1000))
            break;
    }
    return window->isActiveWindow();
}

void ModalBoxAnswerer::Poll()
{
    QWidget* box = QApplication::activeModalWidget();
    if (!box || !box->isVisible() || m_ltAnswering.contains(box))
        return;
    // A progress box asks nothing: it shows only when work runs long (a
    // loaded machine) and closes itself, so answers wait for the next box.
    if (qobject_cast<QProgressDialog*>(box))
        return;
    if (m_ltAnswers.isEmpty()) {
        constexpr int kPatiencePolls = 1000;   // 10 s at 10 ms
        if (box == m_pLastAnswered && ++m_nIdlePolls == kPatiencePolls) {
            qWarning("ModalBoxAnswerer: \"%s\" stayed open after its answer; rejected",
                     qPrintable(Describe(box).title));
            if (auto* dialog = qobject_cast<QDialog*>(box))
                dialog->reject();
            else
                box->close();
        }
        return;
    }
    m_nIdlePolls = 0;
    // A box that is still open after its answer (an ignored key) waits for
    // the next poll, so each answer meets a settled box.
    if (box != m_pLastAnswered)
        m_ltSeen.append(Describe(box));
    m_pLastAnswered = box;
    m_ltAnswering.append(box);
    Apply(box, m_ltAnswers.takeFirst());
    m_ltAnswering.removeOne(box);
}

void ModalBoxAnswerer::Apply(QWidget* box, const Answer& answer)
{
    auto* dialog = qobject_cast<QDialog*>(box);
    switch (answer.kind) {
    case Accept:
        if (auto* message = qobject_cast<QMessageBox*>(box)) {
            QAbstractButton* button = message->defaultButton();
            if (!button && !message->buttons().isEmpty())
                button = message->buttons().first();
            if (button) {
                button->click();
                break;
            }
        }
        if (dialog)
            dialog->accept();
        break;
    case Reject:
        if (dialog)
            dialog->reject();
        break;
    case Close:
        box->close();
        break;
    case Key: {
        QWidget* target = box->focusWidget() ? box->focusWidget() : box;
        QTest::keyClick(target, static_cast<Qt::Key>(answer.key));
        break;
    }
    case Custom:
        answer.action(box);
        break;
    }
}
