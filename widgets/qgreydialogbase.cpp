#include "widgets/qgreydialogbase.h"

QGreyDialogBase::QGreyDialogBase(QWidget* parent) : QDialog(parent) {}

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
