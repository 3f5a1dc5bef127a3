#include "widgets/qdialogmessagelineedit.h"

#include <QKeyEvent>

#include "foundation/fonts.h"
#include "widgets/greydialogparts.h"
#include "widgets/ui_qdialogmessagelineedit.h"

QDialogMessageLineEdit::QDialogMessageLineEdit(QWidget* parent)
    : QGreyDialogBase(parent), ui(new Ui::QDialogMessageLineEdit)
{
    ui->setupUi(this);
    GreyDialogParts::ApplyGreyLook(this, ui->m_CtrlHeaderLabel, ui->m_CtrlFrame_Bottom,
                                   {ui->m_CtrlButton_Ok, ui->m_CtrlButton_Cancel});
    ui->m_CtrlHelpLabel->setText(QStringLiteral("Combined with [Shift]\nLeft=Backpace Down=Delete\nUp=Insert space"));
    FollowHeader(ui->m_CtrlHeaderLabel);
    connect(ui->m_CtrlButton_Ok, SIGNAL(clicked(bool)), this, SLOT(slot_ButtonOkClicked()));
    connect(ui->m_CtrlButton_Cancel, SIGNAL(clicked(bool)), this, SLOT(slot_ButtonEscClicked()));
    InitFontSize(this);
}

QDialogMessageLineEdit::~QDialogMessageLineEdit() = default;

void QDialogMessageLineEdit::Setup(QString title, QString text, tCaracFilter kind, int size)
{
    ui->m_CtrlPlainTextEdit->SetupCaracFilter(kind, size);
    ui->m_CtrlPlainTextEdit->setPlainText(text);
    ui->m_CtrlPlainTextEdit->CheckTextCaracFilter(QBriselPlainTextEdit::CHECK);
    ui->m_CtrlHeaderLabel->setText(title);
}

void QDialogMessageLineEdit::SetOverwriteMode(bool overwrite)
{
    ui->m_CtrlPlainTextEdit->setOverwriteMode(overwrite);
}

bool QDialogMessageLineEdit::ReturnText(QString* out)
{
    const bool repaired = ui->m_CtrlPlainTextEdit->CheckTextCaracFilter(QBriselPlainTextEdit::CHECK);
    *out = ui->m_CtrlPlainTextEdit->toPlainText();
    return repaired;
}

void QDialogMessageLineEdit::keyPressEvent(QKeyEvent* e)
{
    if (!AnswerReturnOrEscape(e))
        e->ignore();
}
