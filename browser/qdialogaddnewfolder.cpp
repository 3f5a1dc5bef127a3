#include "browser/qdialogaddnewfolder.h"

#include "browser/ui_qdialogaddnewfolder.h"
#include "foundation/fileutil.h"
#include "foundation/fonts.h"
#include "widgets/labelfit.h"
#include "widgets/screenfit.h"

#include <QDate>

QDialogAddNewFolder::QDialogAddNewFolder(QWidget* parent)
    : QDialog(parent), ui(new Ui::QDialogAddNewFolder)
{
    KeepOnScreen(this);
    ui->setupUi(this);
    ui->m_CtrlDateEdit->setDate(QDate::currentDate());
    connect(ui->m_CtrlButton_Ok, SIGNAL(clicked()), this, SLOT(accept()));
    connect(ui->m_CtrlButton_Cancel, SIGNAL(clicked()), this, SLOT(reject()));
    connect(ui->m_CtrlLineEdit_ProjectName, SIGNAL(returnPressed()), this, SLOT(accept()));
    ui->m_CtrlFrame_Labels->setStyleSheet(QStringLiteral("color:#FFFFFF;background:#004466;"));
    InitFontSize(this);
    ShrinkFontToFit(ui->label_3);
    ui->m_CtrlLabel_Refusal->hide();
    connect(ui->m_CtrlLineEdit_ProjectName, &QLineEdit::textEdited, ui->m_CtrlLabel_Refusal, &QWidget::hide);
}

QDialogAddNewFolder::~QDialogAddNewFolder() = default;

void QDialogAddNewFolder::Setup(QString targetFolder, tNewFolderType type)
{
    ui->m_CtrlStackedWidget_DayProj->setCurrentIndex(type == NEWFOLDER_PROJECT ? 1 : 0);
    SetElidedText(ui->m_CtrlLabel_Path, targetFolder);
}

QString QDialogAddNewFolder::GetProjectName() const
{
    return ui->m_CtrlLineEdit_ProjectName->text();
}

QString QDialogAddNewFolder::GetDayFolder() const
{
    return ui->m_CtrlDateEdit->text();
}

void QDialogAddNewFolder::accept()
{
    const bool project = ui->m_CtrlStackedWidget_DayProj->currentWidget() == ui->page_2;
    const QString refusal = project ? FolderNameRefusal(GetProjectName()) : QString();
    if (refusal.isEmpty()) {
        QDialog::accept();
        return;
    }
    ui->m_CtrlLabel_Refusal->setText(refusal);
    ui->m_CtrlLabel_Refusal->setToolTip(refusal);
    ShrinkFontToFit(ui->m_CtrlLabel_Refusal);
    ui->m_CtrlLabel_Refusal->show();
    ui->m_CtrlLineEdit_ProjectName->setFocus();
}
