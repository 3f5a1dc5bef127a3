// DlgMain: the small commands of the window: name line, preferences, tool
// bar and browser toggles, track-name copy and paste, new folders.
#include "mainwindow/dlgmain.h"

#include "ui_dlgmain.h"

#include "browser/qnewfoldercommands.h"
#include "player/qdialogsetup.h"

void DlgMain::SetDisplayName(QString name)
{
    // Rich text: the blanks of a long name's scene and take fields are kept.
    name = name.toHtmlEscaped().replace(QLatin1Char(' '), QStringLiteral("&nbsp;"));
    if (m_SndPerform.m_bReadOnlyFile)
        name += QStringLiteral(" <font color=\"#ff0000\">[ Read Only ]</font>");
    // The file that carries the take's metadata: the poly file, else the
    // first present track.
    int carrier = -1;
    if (m_SndPerform.m_bPolyTake) {
        carrier = 0;
    } else {
        for (int t = 0; t < QSoundPerform::kMaxTracks && carrier < 0; ++t)
            if (m_SndPerform.m_pbPresent[t])
                carrier = t;
    }
    if (carrier >= 0 && m_SndPerform.m_SndFile[carrier].HasiXMLChunk())
        name += QStringLiteral(" <font color=\"#0000ff\">[ iXML ]</font>");
    ui->m_CtrlLabelFilename->setTextFormat(Qt::RichText);
    ui->m_CtrlLabelFilename->setText(name);
}

void DlgMain::RemoveInvalidateChar(QString* s)
{
    if (!s)
        return;
    for (QChar& c : *s)
        if (!c.isLetter() && !c.isDigit())
            c = QLatin1Char(' ');
}

void DlgMain::slot_Preferences(bool)
{
    if (!m_pDlgSetup)
        return;
    m_pDlgSetup->SetParameters(tVumeterDisplayPrePostFader(m_nPrePost), m_nGrid, m_nBlueLine, m_nYellowZone,
                               m_nRedZone, m_nPeakHold, m_nBalistic, m_nScale, m_nWavDisplayMode);
    m_pDlgSetup->exec();
    SaveIniSettings();
}

void DlgMain::slot_PreferencesChanged()
{
    if (!m_pDlgSetup)
        return;
    tVumeterDisplayPrePostFader prePost = VumeterPostFader;
    tPlayWavDisplayMode mode = WavDisplayCenteredLinear;
    m_pDlgSetup->GetParameters(&prePost, &m_nGrid, &m_nBlueLine, &m_nYellowZone, &m_nRedZone, &m_nPeakHold,
                               &m_nBalistic, &m_nScale, &mode);
    m_nPrePost = prePost;
    UpdateVumeterParam();
    emit signal_WavformMode(mode);
}

void DlgMain::OnTimer_HideProgressBar() { ui->m_CtrlProgressBar_SaveMetadata->hide(); }

void DlgMain::slot_Button_ShowToolbar() { ui->m_CtrlToolBar->setVisible(ui->m_CtrlToolBar->isHidden()); }

void DlgMain::slot_Button_ShowBrowser() { ui->groupBox_browser->setVisible(ui->groupBox_browser->isHidden()); }

void DlgMain::slot_Button_ReloadTree() {}

void DlgMain::slot_CopyTrackNamesClicked()
{
    if (ui->m_CtrlButton_CopyTrackNames->isEnabled()) {
        for (QString& entry : m_czTrackNameClipboard)
            entry.clear();
        // Names are kept by recorder track, for a poly file too.
        bool present[kTracks] = {};
        PresentRecorderTracks(present);
        for (int t = 0; t < kTracks; ++t)
            if (present[t])
                m_czTrackNameClipboard[t] = m_SndPerform.m_czTrackName[t].trimmed();
        ui->m_CtrlButton_ApplyTrackNames->setText(QStringLiteral("Paste ") + m_SndPerform.m_czBaseName.left(6));
    }
    QString tip;
    for (const QString& entry : m_czTrackNameClipboard)
        tip += (entry.isEmpty() ? QStringLiteral(" ") : entry) + QStringLiteral("|-|");
    tip.chop(3);
    ui->m_CtrlButton_ApplyTrackNames->setToolTip(tip);
}

void DlgMain::slot_PasteTrackNamesClicked()
{
    if (!ui->m_CtrlButton_ApplyTrackNames->isEnabled())
        return;
    for (int i = 0; i < kTracks; ++i)
        if (m_pEditTrackName[i]->isEnabled())
            m_pEditTrackName[i]->setText(m_czTrackNameClipboard[i]);
    m_bEditMetadata = true;
    ui->m_CtrlButton_ApplyChanges->show();
}

void DlgMain::slot_AddNewProject() { m_pNewFolderCommands->AddNewProject(); }

void DlgMain::slot_AddNewDay() { m_pNewFolderCommands->AddNewDay(); }
