#include "widgets/qgreydialogbase.h"

#include "widgets/screenfit.h"

#include <QKeyEvent>

QGreyDialogBase::QGreyDialogBase(QWidget* parent) : QDialog(parent) { KeepOnScreen(this); }

QGreyDialogBase::~QGreyDialogBase() = default;

void QGreyDialogBase::slot_ButtonOkClicked()
{
    done(1);
}

void QGreyDialogBase::slot_ButtonEscClicked()
{
    done(0);
}

void QGreyDialogBase::FollowHeader(QWidget* header)
{
    m_pHeader = header;
    header->installEventFilter(this);
}

bool QGreyDialogBase::eventFilter(QObject* watched, QEvent* e)
{
    if (watched == m_pHeader)
        m_HeaderDrag.Follow(this, e);
    return QDialog::eventFilter(watched, e);
}

bool QGreyDialogBase::AnswerReturnOrEscape(QKeyEvent* e)
{
    switch (e->key()) {
    case Qt::Key_Return:
    case Qt::Key_Enter:
        done(1);
        return true;
    case Qt::Key_Escape:
        done(0);
        return true;
    default:
        return false;
    }
}
