// DlgMain: the metadata editor's empty and disabled states.
#include "mainwindow/dlgmain.h"

#include "ui_dlgmain.h"

void DlgMain::ResetEditorAll()
{
    for (QLabel* info : {ui->m_CtrLabelType, ui->m_CtrlLabelSampling, ui->m_CtrlLabelFramerate, ui->m_CtrlLabelSize,
                         ui->m_CtrlLabelRef, ui->m_CtrlLabelCreationTime, ui->m_CtrlLabelCreator,
                         ui->m_CtrlLabelFilename})
        info->setText(QStringLiteral("-"));
    ui->m_CtrlEditEditorNote->clear();
    ui->m_CtrlEditEditorScene->clear();
    ui->m_CtrlEditEditor_TakeNumber->clear();
    ui->m_CtrlFrame_AdvScene->hide();
    for (QMyLineEdit* edit : m_ltAdvEdit)
        edit->clear();
    ui->m_CtrlEditEditorUbits->clear();
    ui->m_CtrlEditEditorTape->clear();
    for (QComboBox* combo : {static_cast<QComboBox*>(ui->m_CtrlComboBox_TakeIndicator),
                             static_cast<QComboBox*>(ui->m_CtrlComboBox_Circled),
                             static_cast<QComboBox*>(ui->m_CtrlComboBox_Filename),
                             static_cast<QComboBox*>(ui->m_CtrlComboBox_TemplateTakeIndicator)})
        combo->setCurrentIndex(-1);
}

void DlgMain::DisableEditorAll()
{
    for (QWidget* field : {static_cast<QWidget*>(ui->m_CtrlEditEditorScene),
                           static_cast<QWidget*>(ui->m_CtrlEditEditor_TakeNumber),
                           static_cast<QWidget*>(ui->m_CtrlEditEditorNote),
                           static_cast<QWidget*>(ui->m_CtrlEditEditorUbits),
                           static_cast<QWidget*>(ui->m_CtrlEditEditorTape),
                           static_cast<QWidget*>(ui->m_CtrlComboBox_TakeIndicator),
                           static_cast<QWidget*>(ui->m_CtrlComboBox_TemplateTakeIndicator),
                           static_cast<QWidget*>(ui->m_CtrlComboBox_Circled),
                           static_cast<QWidget*>(ui->m_CtrlComboBox_Filename),
                           static_cast<QWidget*>(ui->m_CtrlButton_CopyTrackNames),
                           static_cast<QWidget*>(ui->m_CtrlButton_ApplyTrackNames)})
        field->setDisabled(true);
    for (QMyLineEdit* edit : m_ltAdvEdit)
        edit->setDisabled(true);
    for (QMyLineEdit* name : m_pEditTrackName)
        name->setDisabled(true);
}
