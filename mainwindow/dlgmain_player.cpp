// DlgMain: the player's strip and transport in their idle state. The player
// itself (SfxPlayer) is created when a take is shown.
#include "mainwindow/dlgmain.h"

#include "ui_dlgmain.h"

void DlgMain::ResetPlayerAll()
{
    for (int t = 0; t < kTracks; ++t) {
        m_pVum[t]->setValueViaLookup(-1);
        m_pButtonMute[t]->setChecked(false);
        m_pButtonSolo[t]->setChecked(false);
        m_pSliderVolume[t]->setValue(4);
        m_pEditTrackName[t]->clear();
    }
    for (QCheckBox* box : m_pCheckBoxMs)
        box->setChecked(false);
    m_nSoloMask = 0;
}

void DlgMain::DisablePlayerAll()
{
    for (QWidget* control : {static_cast<QWidget*>(ui->m_CtrlPushButton_Play),
                             static_cast<QWidget*>(ui->m_CtrlPushButton_Stop),
                             static_cast<QWidget*>(ui->m_CtrlButton_SavePreset),
                             static_cast<QWidget*>(ui->m_CtrlComboBox_Presets),
                             static_cast<QWidget*>(ui->m_CtrlLineEdit_PresetName),
                             static_cast<QWidget*>(ui->m_CtrlButton_ApplyPreset)})
        control->setDisabled(true);
}
