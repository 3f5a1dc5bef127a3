// DlgMain: the take's player, the transport (buttons, keys, timeline) and
// the 100 ms meter refresh. Everything here runs on the GUI thread; the
// player's commands are queued into its thread, so the state read right
// after a command is still the previous one.
#include "mainwindow/dlgmain.h"

#include "ui_dlgmain.h"

#include "browser/fsitemtype.h"
#include "player/meterlevels.h"
#include "player/qpanpotitem.h"
#include "player/qtrackbutton.h"
#include "widgets/qmyslider.h"
#include "player/qcustomvum.h"
#include "player/qplaytimeline.h"
#include "player/sfxplayer.h"
#include "player/sfxthread.h"

#include <QApplication>
#include <QCheckBox>
#include <QComboBox>
#include <QIcon>
#include <QKeyEvent>
#include <QTimer>

namespace {
// A sound server that runs answers within this; a longer wait is shown.
constexpr int kOutputWaitShownAfterMs = 200;
}

void DlgMain::ConnectPlayerSignals()
{
    connect(ui->m_CtrlPushButton_Play, &QPushButton::clicked, this, &DlgMain::OnPushButton_Play);
    connect(ui->m_CtrlPushButton_Stop, &QPushButton::clicked, this, &DlgMain::OnPushButton_Stop);
    connect(ui->m_CtrlPushButton_ToggleMode, &QPushButton::clicked, this, &DlgMain::OnPushButton_ToggleMode);
    connect(ui->m_CtrlWidget_PlayTimeLine, &QPlayTimeLine::signal_UserPlayPosRequest, this,
            &DlgMain::slot_UserPlayPosRequest);
    connect(ui->m_CtrlWidget_PlayTimeLine, &QPlayTimeLine::signal_UserPlayPosRelease, this,
            &DlgMain::slot_UserPlayPosRelease);
    // The player thread emits the position through the take: queued here.
    connect(&m_SndPerform, &QSoundPerform::signal_SoundPerformSamplePosChanged, this,
            &DlgMain::slot_SndPerformSamplePosChanged, Qt::QueuedConnection);
    connect(&m_SndPerform, &QSoundPerform::signal_SoundPerformTimeChanged, this,
            &DlgMain::slot_SndPerformTimeChanged, Qt::QueuedConnection);
    connect(m_pTimerDisplay, &QTimer::timeout, this, &DlgMain::OnTimer);

    // The strip's widgets carry their track (or pair) index into the slots.
    for (int t = 0; t < kTracks; ++t) {
        connect(m_pSliderVolume[t], &QSlider::valueChanged, this, [this, t](int) { slot_SliderVolumeValueChanged(t); });
        connect(m_pPanPot[t], &QPanPotItem::signal_itemClicked, this, [this, t](int, int) { slot_PanPotItemClicked(t); });
        connect(m_pButtonMute[t], &QPushButton::toggled, this, [this, t](bool) { slot_MuteButtonToggled(t); });
        connect(m_pButtonMute[t], &QPushButton::clicked, this, [this, t](bool) { slot_MuteButtonClicked(t); });
        connect(m_pButtonSolo[t], &QPushButton::toggled, this, [this, t](bool) { slot_SoloButtonToggled(t); });
        connect(m_pButtonSolo[t], &QPushButton::clicked, this, [this, t](bool) { slot_SoloButtonClicked(t); });
        connect(m_pVum[t], &QCustomVum::signal_MouseClicked, this, [this, t] { slot_VumeterClicked(t); });
        connect(m_pTrackButton[t], &QTrackButton::signal_trackButtonPressed, this, [this, t] { slot_TrackButtonPressed(t); });
        connect(m_pTrackButton[t], &QTrackButton::signal_trackButtonReleased, this, [this, t] { slot_TrackButtonReleased(t); });
    }
    for (int pair = 0; pair < kPairs; ++pair) {
        connect(m_pCheckBoxMs[pair], &QCheckBox::clicked, this, [this, pair](bool) { slot_MsCheckBoxClicked(pair); });
        connect(m_pCheckBoxMs[pair], &QCheckBox::toggled, this, [this, pair](bool) { slot_MsCheckBoxClicked(pair); });
    }
    connect(this, &DlgMain::signal_SoloTrack, this, &DlgMain::slot_SoloTrack);

    connect(ui->m_CtrlComboBox_Presets, QOverload<int>::of(&QComboBox::currentIndexChanged), this,
            &DlgMain::slot_PresetsSelChanged);
    connect(ui->m_CtrlButton_SavePreset, &QPushButton::clicked, this, &DlgMain::slot_SavePresetClicked);
    connect(ui->m_CtrlButton_ApplyPreset, &QPushButton::clicked, this, &DlgMain::slot_ApplyPresetClicked);
}

void DlgMain::OpenTakeInPlayer()
{
    CloseTakeInPlayer();
    m_nCurrentSamplePos = 0;
    m_bResumeAfterSeek = false;
    m_SndPerform.m_nStartSecond = 0;
    EnablePlayerModeSingle();
    ShowTakeTimeline();
    LoadSettings(TakeSettingsFilePath(m_SndPerform.m_SndFile[m_SndPerform.GetFirstTrack()].GetPath()));
    ApplySettings();

    m_pPlayer = new SfxPlayer(this);
    m_SndPerform.m_pSfxPlayer = m_pPlayer.data();
    m_pPlayer->setup(&m_SndPerform);
    connect(m_pPlayer.data(), &SfxPlayer::signal_AudioMotorStateChange, this,
            &DlgMain::slot_NewStateFromAudioMotor);
    connect(m_pPlayer.data(), &SfxPlayer::signal_OutputWait, this, &DlgMain::slot_OutputWait);
    slot_NewStateFromAudioMotor(PlayerStopped);
    m_bStripChanged = false;
    ui->m_CtrlPushButton_Play->setEnabled(true);
    ui->m_CtrlPushButton_Stop->setEnabled(true);
    ui->m_CtrlButton_WavformMode->setEnabled(true);
}

void DlgMain::ShowTakeTimeline()
{
    SetInfosPlayer();
    // The overview comes from the files the take object loaded: a mono
    // family keeps its waveform even when "<take>.WAV" lies beside it.
    QStringList files;
    for (int t = 0; t < QSoundPerform::kMaxTracks; ++t)
        files << (m_SndPerform.m_pbPresent[t] ? m_SndPerform.m_SndFile[t].GetPath() : QString());
    // With a waveform the player takes the height the strips and the editor
    // leave.
    if (ui->m_CtrlWidget_PlayTimeLine->LoadOndeFromFiles(files))
        ui->groupBox_Player->setMaximumHeight(QWIDGETSIZE_MAX);
    else
        ui->groupBox_Player->setMaximumHeight(ui->groupBox_Player->minimumHeight());
    ui->m_CtrlWidget_PlayTimeLine->ResetWaveFormColor();
}

SfxPlayer* DlgMain::Player() const { return m_pPlayer.data(); }

void DlgMain::CloseTakeInPlayer()
{
    // Written while the take is still loaded, even when its player was
    // already deleted through the take's link.
    if (m_bStripChanged && m_SndPerform.m_nFileCount > 0)
        SaveSettings(TakeSettingsFilePath(m_SndPerform.m_SndFile[m_SndPerform.GetFirstTrack()].GetPath()));
    m_bStripChanged = false;
    if (!m_pPlayer)
        return;
    SavePresetLabel();
    m_pPlayer->StopAll();
    disconnect(m_pPlayer.data(), &SfxPlayer::signal_AudioMotorStateChange, this,
               &DlgMain::slot_NewStateFromAudioMotor);
    disconnect(m_pPlayer.data(), &SfxPlayer::signal_OutputWait, this, &DlgMain::slot_OutputWait);
    slot_OutputWait(false);
    slot_NewStateFromAudioMotor(PlayerStopped);
    // The player's destructor stops the output and joins its thread before
    // the take it reads can be emptied.
    m_SndPerform.m_pSfxPlayer = nullptr;
    delete m_pPlayer.data();
    m_bResumeAfterSeek = false;
    m_nPlayTime = 0;
}

void DlgMain::OnPushButton_Play()
{
    // A second press while the player waits for its output gives up the
    // wait, as Stop does: queued behind the start, a Play would toggle the
    // sound off the moment it began.
    if (m_bOutputWaiting) {
        m_SndPerform.Stop();
        return;
    }
    switch (m_SndPerform.GetPlayerState()) {
    case PlayerStopped:
        m_SndPerform.Play();
        break;
    case PlayerPlaying:
    case PlayerPaused:
        m_SndPerform.PlayPause();
        break;
    default:
        break;
    }
}

void DlgMain::OnPushButton_Stop()
{
    m_SndPerform.Stop();
    m_nPlayTime = 0;
    ui->m_CtrlWidget_PlayTimeLine->SetCurrPosInSample(0);
    slot_SliderMovedSldTime(0);
    ClearMeters();
}

void DlgMain::ClearMeters()
{
    for (QCustomVum* meter : m_pVum)
        meter->setValueViaLookup(-1);
    m_pMainVumL->setValueViaLookup(-1);
    m_pMainVumR->setValueViaLookup(-1);
}

void DlgMain::slot_OutputWait(bool waiting)
{
    m_bOutputWaiting = waiting;
    if (!m_pTimerOutputWait) {
        m_pTimerOutputWait = new QTimer(this);
        m_pTimerOutputWait->setSingleShot(true);
        m_pTimerOutputWait->setInterval(kOutputWaitShownAfterMs);
        connect(m_pTimerOutputWait, &QTimer::timeout, this, &DlgMain::ShowOutputWait);
    }
    if (waiting) {
        m_pTimerOutputWait->start();
        return;
    }
    m_pTimerOutputWait->stop();
    ui->groupBox_Player->setTitle(QStringLiteral("Player"));
}

void DlgMain::ShowOutputWait()
{
    if (m_bOutputWaiting)
        ui->groupBox_Player->setTitle(QStringLiteral("Player \u2014 waiting for the sound server\u2026 (Stop gives up)"));
}

void DlgMain::OnPushButton_ToggleMode() { m_SndPerform.ToggleMode(); }

void DlgMain::DisableBeforePlay()
{
    ui->m_CtrlPushButton_Play->setDisabled(true);
    ui->m_CtrlButton_WavformMode->setDisabled(true);
}

QString DlgMain::Convert2TC(unsigned long seconds)
{
    return QString::asprintf("%2.2lu:%2.2lu:%2.2lu", seconds / 3600, (seconds / 60) % 60, seconds % 60);
}

void DlgMain::slot_SliderMovedSldTime(int second)
{
    const short before = m_SndPerform.GetPlayerState();
    const bool stopping = before == PlayerPlaying || before == PlayerPaused;
    if (stopping) {
        m_SndPerform.Stop();
        m_bResumeAfterSeek = true;
    }
    m_SndPerform.m_nStartSecond = quint32(qMax(0, second));
    // The stop is carried out later by the player thread: a player that was
    // playing still reads 1 here. The cursor shows the new start at once,
    // and the position notices still on their way from the player are
    // dropped until it reports the stop.
    const short now = m_SndPerform.GetPlayerState();
    if (stopping)
        m_bSeekStopPending = true;
    else if (now != PlayerStopped && now != PlayerPaused)
        return;
    const quint64 position = quint64(qMax(0, second)) * quint64(qMax(0, m_SndPerform.m_nSampleRate));
    if (position == m_nCurrentSamplePos)
        return;
    m_nCurrentSamplePos = position;
    QPlayTimeLine* line = ui->m_CtrlWidget_PlayTimeLine;
    line->SetCurrPosInSample(int(position));
    line->SetFrameRate(m_SndPerform.m_nFrameRate);
    line->SetSampleRate(m_SndPerform.m_nSampleRate);
}

void DlgMain::slot_UserPlayPosRequest(int samplePos)
{
    if (m_SndPerform.m_nSampleRate < 1)
        return;
    slot_SliderMovedSldTime(qMax(0, samplePos) / m_SndPerform.m_nSampleRate);
}

void DlgMain::slot_UserPlayPosRelease()
{
    if (!m_bResumeAfterSeek)
        return;
    m_SndPerform.Play();
    m_bResumeAfterSeek = false;
}

void DlgMain::slot_SliderReleasedSldTime() { slot_UserPlayPosRelease(); }

void DlgMain::slot_SndPerformSamplePosChanged(unsigned long position)
{
    if (m_bSeekStopPending || position == m_nCurrentSamplePos)
        return;
    m_nCurrentSamplePos = position;
    QPlayTimeLine* line = ui->m_CtrlWidget_PlayTimeLine;
    line->SetCurrPosInSample(int(position));
    line->SetFrameRate(m_SndPerform.m_nFrameRate);
    line->SetSampleRate(m_SndPerform.m_nSampleRate);
}

void DlgMain::slot_SndPerformTimeChanged(unsigned long time)
{
    if (time != m_nPlayTime && m_SndPerform.GetPlayerState() != PlayerStopped)
        m_nPlayTime = time;
}

void DlgMain::slot_NewStateFromAudioMotor(short state)
{
    if (state == PlayerStopped)
        m_bSeekStopPending = false;
    if (state == m_nLastPlayerState)
        return;
    ui->m_CtrlWidget_PlayTimeLine->SetPlayingState(state == PlayerPlaying, 1);
    switch (state) {
    case PlayerPlaying:
        ui->m_CtrlPushButton_Play->setIcon(QIcon(QStringLiteral(":/res/Resources/Pause.png")));
        break;
    case PlayerStopped:
        // However it stopped (a Stop, the end, a lost output): no level
        // is left standing from sound that no longer plays.
        ClearMeters();
        ui->m_CtrlPushButton_Play->setIcon(QIcon(QStringLiteral(":/res/Resources/Play.png")));
        break;
    case PlayerPaused:
        ui->m_CtrlPushButton_Play->setIcon(QIcon(QStringLiteral(":/res/Resources/Play.png")));
        break;
    case PlayerEndOfData:
        if (m_SndPerform.m_pSfxPlayer)
            m_SndPerform.m_pSfxPlayer->StopAll();
        break;
    default:
        break;
    }
    m_nLastPlayerState = state;
}

void DlgMain::SeekBySeconds(int step)
{
    const qint64 rate = m_SndPerform.m_nSampleRate;
    if (rate < 1)
        return;
    if (m_SndPerform.GetPlayerState() == PlayerStopped) {
        // Stopped: the start second moves by the same steps, within the take.
        const qint64 second = qBound<qint64>(0, qint64(m_SndPerform.m_nStartSecond.load()) + step,
                                             qint64(m_SndPerform.m_nDurationSeconds));
        slot_SliderMovedSldTime(int(second));
        return;
    }
    // Signed 64-bit: a step back near the start must not wrap to the end.
    const qint64 last = qint64(m_SndPerform.m_nDurationSeconds) * rate;
    const qint64 target = qBound<qint64>(0, qint64(m_nCurrentSamplePos) + step * rate, last);
    slot_SliderMovedSldTime(int(target / rate));
}

namespace {
bool IsFolderRow(const QModelIndex& row)
{
    const int kind = row.data(FSItemTypeRole).toInt();
    return kind == FSITEM_PROJECT || kind == FSITEM_DAY || kind == FSITEM_VOLUME;
}
}

void DlgMain::ForwardKeyToTree(QKeyEvent* event)
{
    const bool wasForwarding = m_bForwardingKey;
    m_bForwardingKey = true;
    QApplication::sendEvent(ui->m_CtrlTreeView, event);
    m_bForwardingKey = wasForwarding;
    event->accept();
}

void DlgMain::keyPressEvent(QKeyEvent* event)
{
    if (event->isAutoRepeat())
        return;
    if (m_bForwardingKey) {
        // The tree could not use the key (top row, collapsed row): it ends here.
        event->accept();
        return;
    }
    const Qt::KeyboardModifiers modifiers = event->modifiers() & ~Qt::KeypadModifier;
    const int key = event->key();
    QTreeView* tree = ui->m_CtrlTreeView;
    const QModelIndex single = SingleSelectedRow();
    switch (key) {
    case Qt::Key_Space:
        OnPushButton_Play();
        return;
    case Qt::Key_Escape:
        OnPushButton_Stop();
        return;
    case Qt::Key_Up:
    case Qt::Key_Down:
        ForwardKeyToTree(event);
        return;
    case Qt::Key_Return:
    case Qt::Key_Enter:
        if (single.isValid() && IsFolderRow(single))
            tree->setExpanded(single, !tree->isExpanded(single));
        return;
    case Qt::Key_Left:
    case Qt::Key_Right:
        if (modifiers != Qt::NoModifier && modifiers != Qt::ShiftModifier)
            return;
        if (single.isValid() && IsFolderRow(single)) {
            ForwardKeyToTree(event);
            return;
        }
        SeekBySeconds((key == Qt::Key_Left ? -1 : 1) * (modifiers == Qt::ShiftModifier ? 10 : 2));
        return;
    default:
        break;
    }
    if (key >= Qt::Key_F1 && key <= Qt::Key_F12) {
        const int index = key - Qt::Key_F1;
        if (modifiers == Qt::NoModifier)
            slot_TrackButtonPressed(index);
        else if (modifiers == Qt::ControlModifier)
            slot_TrackButtonPressed(12 + index);
        else if (modifiers == Qt::AltModifier)
            slot_SwitchView();
    }
}

void DlgMain::OnTimer()
{
    const short state = m_SndPerform.GetPlayerState();
    const bool post = m_nPrePost != 0;
    const bool family = !m_SndPerform.m_bPolyTake && !m_SndPerform.m_bProcessedName;
    // Positions of an interleaved take from the count onward keep what they show.
    const int count = family ? kTracks : TrackMeterCount(m_SndPerform);
    for (int i = 0; i < count; ++i)
        m_pVum[i]->setValueViaLookup(TrackMeterValue(m_SndPerform, i, post, state));
    m_pMainVumL->setValueViaLookup(state != PlayerStopped ? m_SndPerform.m_nVuMasterLeft.load() : 0);
    m_pMainVumR->setValueViaLookup(state != PlayerStopped ? m_SndPerform.m_nVuMasterRight.load() : 0);
}
