#include "widgets/qdialogmessagetextedit.h"

#include <QTextCursor>

#include "foundation/fonts.h"
#include "widgets/greydialogparts.h"
#include "widgets/nofocusproxystyle.h"
#include "widgets/ui_qdialogmessagetextedit.h"

QDialogMessageTextEdit::QDialogMessageTextEdit(QWidget* parent)
    : QGreyDialogBase(parent), ui(new Ui::QDialogMessageTextEdit)
{
    ui->setupUi(this);
    GreyDialogParts::ApplyGreyLook(this, ui->m_CtrlHeaderLabel, ui->m_CtrlFrame_Bottom, {ui->m_CtrlButton_Ok});
    ui->m_CtrlTextEdit->setStyleSheet(QString::fromLatin1(GreyDialogParts::kBorderlessSheet));
    InstallNoFocusStyle(ui->m_CtrlTextEdit);
    FollowHeader(ui->m_CtrlHeaderLabel);
    connect(ui->m_CtrlButton_Ok, SIGNAL(clicked(bool)), this, SLOT(slot_ButtonOkClicked()));
    InitFontSize(this);
}

QDialogMessageTextEdit::~QDialogMessageTextEdit() = default;

void QDialogMessageTextEdit::SetupText(QString title, QStringList& lines, int, int)
{
    ui->m_CtrlHeaderLabel->setText(title);
    for (const QString& line : lines)
        ui->m_CtrlTextEdit->insertPlainText(line + QLatin1Char('\n'));
}
