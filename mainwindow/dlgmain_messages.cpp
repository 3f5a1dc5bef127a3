// DlgMain: the message channel's messages as non-blocking message boxes.
#include "mainwindow/dlgmain.h"

#include "player/sfxthread.h"
#include "widgets/messagebox.h"

#include <QMessageBox>
#include <QTimer>

namespace {
// Boxes 1..9 carry messages, the tenth says there are too many, later ones
// are dropped until boxes close.
constexpr int kMessageBoxesShown = 9;

QMessageBox::Icon IconForLevel(int level)
{
    if (level == 0 || level == 1)
        return QMessageBox::Critical;
    if (level == 2)
        return QMessageBox::Warning;
    return QMessageBox::Information;
}
}

void DlgMain::slot_InputLogingMessage(QString title, QString text, int code, int level, bool flag, int timeout)
{
    Q_UNUSED(flag);
    qDebug("slot_InputLogingMessage %s %s", qPrintable(title), qPrintable(text));
    const QString prefix = code != 0 ? QStringLiteral("Error #%1\n").arg(code) : QString();
    if (m_nMessageBoxCount > kMessageBoxesShown)
        return;
    if (m_nMessageBoxCount == kMessageBoxesShown) {
        text = QStringLiteral("Too many messages");
        title = QStringLiteral("Error");
        level = 0;
    }
    ++m_nMessageBoxCount;

    auto* box = new QMessageBox(this);
    box->setAttribute(Qt::WA_DeleteOnClose);
    // The player's news comes while the sound and the cursor go on: a box
    // that blocked the window would keep the user from the Stop and Play
    // that answer it.
    box->setWindowModality(title == SfxThread::MessageTitle() ? Qt::NonModal : Qt::ApplicationModal);
    box->setWindowFlags(Qt::Dialog | Qt::WindowTitleHint | Qt::WindowStaysOnTopHint | Qt::CustomizeWindowHint
                        | Qt::WindowCloseButtonHint);
    connect(box, &QObject::destroyed, this, &DlgMain::slot_InputLoggingMessageBoxDestroyed);
    box->setWindowTitle(title);
    box->setText(prefix + text);
    box->setIcon(IconForLevel(level));
    FitMessageBox(box);
    if (m_bMessageCascadeKnown) {
        m_ptMessageCascade += QPoint(10, 10);
        box->move(m_ptMessageCascade);
    }
    if (timeout != 0) {
        auto* timer = new QTimer(box);
        timer->setSingleShot(true);
        connect(timer, &QTimer::timeout, box, &QDialog::reject);
        timer->start(timeout);
    }
    box->show();
    if (!m_bMessageCascadeKnown) {
        m_ptMessageCascade = box->pos();
        m_bMessageCascadeKnown = true;
    }
    if (m_bClosing)
        box->exec();
}

void DlgMain::slot_InputLoggingMessageBoxDestroyed()
{
    if (m_nMessageBoxCount > 0)
        --m_nMessageBoxCount;
    if (m_nMessageBoxCount == 0)
        m_bMessageCascadeKnown = false;
}
