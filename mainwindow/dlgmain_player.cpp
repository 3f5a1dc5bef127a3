// DlgMain: the player's strip and transport in their idle state. The player
// itself (SfxPlayer) is created when a take is shown (dlgmain_transport.cpp).
#include "mainwindow/dlgmain.h"

#include "ui_dlgmain.h"

#include "mainwindow/stripcolours.h"

#include "player/qcustomvum.h"
#include "player/qpanpotitem.h"
#include "player/qplaytimeline.h"
#include "player/qtrackbutton.h"
#include "widgets/qmylineedit.h"
#include "widgets/qmyslider.h"

#include <QApplication>
#include <QCheckBox>
#include <QPushButton>

void DlgMain::ResetPlayerAll()
{
    // Emptying the strip is no change of the user's: the shown take's player
    // (and with it its settings file) is closed first.
    CloseTakeInPlayer();
    // The widgets' signals reach their slots: the take's gain steps go back
    // to 0 dB, the emitted solo mask 0 clears its mute flags and an M/S box
    // that was on clears its pair's decoding.
    for (int t = 0; t < kTracks; ++t) {
        m_pPanPot[t]->setPan(100, 100);
        m_pSliderVolume[t]->setValue(4);
        m_pVum[t]->setValueViaLookup(-1);
        m_pVum[t]->SetUserMuted(false);
        m_pVum[t]->SetUserDisarmed(false);
        m_pVum[t]->SetDarker(false);
        m_pVum[t]->setVumMixdown(false);
        m_pVum[t]->setColorInputType(StripColour::Neutral());
        m_pPanPot[t]->SetMuted(false);
        m_pPanPot[t]->SetDarker(false);
        m_pButtonMute[t]->setChecked(false);
        m_pButtonSolo[t]->setChecked(false);
        m_pEditTrackName[t]->clear();
    }
    m_nMuteMask = 0;
    ResetSoloTrack();
    for (QCheckBox* box : m_pCheckBoxMs)
        box->setChecked(false);
    m_pMainVumL->setValueViaLookup(-1);
    m_pMainVumR->setValueViaLookup(-1);
    ui->m_CtrlWidget_PlayTimeLine->SetCurrPosInSample(0);
    m_nCurrentSamplePos = 0;
    for (QWidget* control : PresetControls())
        control->setDisabled(true);
}

void DlgMain::DisablePlayerAll()
{
    // The take is emptied below: its player must be gone first.
    CloseTakeInPlayer();
    m_SndPerform.ResetVariables();
    for (int k = 0; k < m_ltAdvFrame.size(); ++k) {
        m_ltAdvFrame[k]->hide();
        m_ltAdvCheckFrame[k]->hide();
    }
    for (QFrame* frame : m_pFrameMs)
        frame->hide();
    // A held selection leaves the track controls to the take it shows (a
    // control with the focus excepted: disabling it moves the focus on).
    const QWidget* focus = QApplication::focusWidget();
    bool stripFocus = false;
    for (int t = 0; t < kTracks; ++t)
        stripFocus = stripFocus || focus == m_pSliderVolume[t] || focus == m_pButtonMute[t] || focus == m_pButtonSolo[t];
    m_bTrackControlsPending = m_bHoldFrameSheets && !stripFocus;
    for (int t = 0; t < kTracks; ++t) {
        if (!m_bTrackControlsPending)
            EnableTrackControls(t, false);
        m_pEditTrackName[t]->clear();
        m_pVum[t]->setValueViaLookup(-1);
        m_pVum[t]->setColorInputType(StripColour::Neutral());
        SendTrackToGrid(t, tPostFadePan{0, 0}, QMapping(), TrackActiveNone);
    }
    SetStripFramesShown(kTracks);
    m_pMainVumL->setValueViaLookup(-1);
    m_pMainVumR->setValueViaLookup(-1);
    m_pMainVumL->setColorInputType(StripColour::Neutral());
    m_pMainVumR->setColorInputType(StripColour::Neutral());
    ui->m_CtrlWidget_PlayTimeLine->Clear();
    for (QWidget* control : {static_cast<QWidget*>(ui->m_CtrlPushButton_Play),
                             static_cast<QWidget*>(ui->m_CtrlButton_WavformMode),
                             static_cast<QWidget*>(ui->m_CtrlPushButton_Stop),
                             static_cast<QWidget*>(ui->m_CtrlButton_CopyTrackNames),
                             static_cast<QWidget*>(ui->m_CtrlButton_ApplyTrackNames)})
        control->setDisabled(true);
    for (QWidget* control : PresetControls())
        control->setDisabled(true);
}
