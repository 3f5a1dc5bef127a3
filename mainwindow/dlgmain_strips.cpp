// DlgMain: the 24-track strip set up for the opened take, and the user's
// strip actions turned into the take's mixer tables (which the player thread
// reads once per block through MixerSnapshot: every write holds MixerLock).
#include "mainwindow/dlgmain.h"

#include "ui_dlgmain.h"

#include "foundation/naming.h"
#include "mainwindow/stripcolours.h"
#include "player/qcustomvum.h"
#include "player/qpanpotitem.h"
#include "player/qplaytimeline.h"
#include "player/qtrackbutton.h"
#include "widgets/qmylineedit.h"
#include "widgets/qmyslider.h"

#include <QApplication>
#include <QCheckBox>
#include <QFrame>
#include <QPushButton>
#include <QToolTip>

#include <bitset>
#include <mutex>
#include <utility>

namespace {
bool IsYes(const QString& text) { return text.trimmed().compare(QLatin1String("YES"), Qt::CaseInsensitive) == 0; }

tTrackActive ActiveOfText(const QString& text)
{
    const QString t = text.trimmed();
    if (t.compare(QLatin1String("YES"), Qt::CaseInsensitive) == 0)
        return TrackActiveOn;
    if (t.compare(QLatin1String("DISARMED"), Qt::CaseInsensitive) == 0
        || t.compare(QLatin1String("DESACTIVED"), Qt::CaseInsensitive) == 0)
        return TrackActiveDisarmed;
    return TrackActiveNone;
}

tPostFadePan PanOfText(const QString& text)
{
    tPostFadePan pan{100, 100};
    DecodePanPotText(text, &pan.left, &pan.right);
    return pan;
}

// The colour of the first input kind the routing names, in the recorder's
// order of precedence; invalid when it names none of them.
QColor InputColour(const QMapping& mapping)
{
    if (mapping.hasMic())
        return StripColour::Mic();
    if (mapping.hasLine())
        return StripColour::Line();
    if (mapping.hasDigi())
        return StripColour::Digital();
    if (mapping.hasAes42())
        return StripColour::Aes42();
    if (mapping.hasDante())
        return StripColour::Dante();
    if (mapping.hasPostfade())
        return StripColour::PostFade();
    return QColor();
}

bool ValidTrack(int track) { return track >= 0 && track < DlgMain::kTracks; }
}

void DlgMain::SendTrackToGrid(int track, tPostFadePan pan, const QMapping& mapping, tTrackActive active)
{
    emit signal_InGridTrackPanChanged(pan, track, true);
    emit signal_InGridTrackMapChanged(mapping, track, true);
    emit signal_InGridTrackActiveChanged(active, track, true);
}

void DlgMain::EnableTrackControls(int track, bool enabled)
{
    m_pSliderVolume[track]->setEnabled(enabled);
    m_pButtonMute[track]->setEnabled(enabled);
    m_pButtonSolo[track]->setEnabled(enabled);
    // The name edits are the editor's: they follow the take's recorder
    // tracks (EnableTrackNameEdits), not the strip positions.
    m_pPanPot[track]->setDisabled(!enabled);
    m_pTrackButton[track]->SetActive(enabled);
}

void DlgMain::SettleTrackControls()
{
    if (!std::exchange(m_bTrackControlsPending, false))
        return;
    for (int t = 0; t < kTracks; ++t)
        EnableTrackControls(t, false);
}

void DlgMain::ShowStripFrames(int lastTrack)
{
    int shown = 24;
    for (int count : {8, 12, 16, 20}) {
        if (lastTrack < count) {
            shown = count;
            break;
        }
    }
    SetStripFramesShown(shown);
}

void DlgMain::SetStripFramesShown(int count)
{
    // Each frame shown lays the whole window out again there and then:
    // emptying the strip would show all 24 only for the take to hide most
    // of them again.
    if (m_bHoldFrameSheets) {
        m_nHeldStripFrames = count;
        return;
    }
    for (int t = 0; t < kTracks; ++t)
        m_pFrameTrack[t]->setVisible(t < count);
}

void DlgMain::ColourMeterFromMapping(int track, const QMapping& mapping, int mixRole, bool msPair)
{
    QCustomVum* meter = m_pVum[track];
    if (mapping.hasMs(nullptr, nullptr) || msPair) {
        meter->setColorInputType(StripColour::MsPair());
        return;
    }
    const QColor input = InputColour(mapping);
    if (input.isValid())
        meter->setColorInputType(input);
    if (mapping.hasMix() || mixRole != 0) {
        meter->setVumMixdown(true);
        meter->setColorInputType(mixRole == 2 || mapping.hasMixLeft() ? StripColour::MixLeft() : StripColour::MixRight());
    } else if (!input.isValid() && (m_SndPerform.m_bPolyTake || m_SndPerform.m_bProcessedName)) {
        meter->setColorInputType(StripColour::Interleaved());
    }
}

void DlgMain::EnablePlayerModeSingle()
{
    QSoundPerform& take = m_SndPerform;
    int last = -1;
    // The tracks this take enables; the others are disabled below when the
    // emptied strip left them as they were.
    std::bitset<kTracks> enabled;
    const auto enable = [this, &enabled](int k) {
        EnableTrackControls(k, true);
        enabled.set(size_t(k));
    };
    if (!take.m_bPolyTake && !take.m_bProcessedName) {
        // The maker block is walked once, not searched per track.
        const QVector<QSoundFile::tyOrvexTrack> makerSlots =
            take.m_SndFile[take.GetFirstTrack()].GetiXMLOrvexTrackTable();
        for (int k = 0; k < kTracks; ++k) {
            const tTrackActive fileActive = ActiveOfText(makerSlots.at(k).czActive);
            QMapping mapping;
            // A track without a file has no pan to show in the grid.
            tPostFadePan pan{0, 0};
            tTrackActive active = fileActive;
            if (take.m_pbPresent[k]) {
                last = k;
                active = TrackActiveOn;
                const bool parsed = mapping.fromString(take.m_czTrackInGrid[k]) == QMapping::NoError;
                pan = PanOfText(take.m_czTrackPanPot[k]);
                QCustomVum* meter = m_pVum[k];
                meter->setValueViaLookup(0);
                m_pPanPot[k]->SetMuted(false);
                m_pPanPot[k]->SetDarker(false);
                const int pair = k / 2;
                if (mapping.hasMs(nullptr, nullptr) || take.m_pbMSPair[pair]) {
                    meter->setColorInputType(StripColour::MsPair());
                    if (take.m_pbSwapMS[pair])
                        m_pPanPot[k]->setPan(100, 100);
                } else if (!take.m_pbTrackXY[k] && parsed) {
                    const QColor input = InputColour(mapping);
                    if (input.isValid())
                        meter->setColorInputType(input);
                    if (mapping.hasMix()) {
                        meter->setVumMixdown(true);
                        meter->setColorInputType(mapping.hasMixLeft() ? StripColour::MixLeft() : StripColour::MixRight());
                    }
                }
                switch (take.m_pnTrackMixRole[k]) {
                case 0:
                    meter->setVumMixdown(false);
                    break;
                case 2:
                    meter->setColorInputType(StripColour::MixLeft());
                    meter->setVumMixdown(true);
                    break;
                case 3:
                    meter->setColorInputType(StripColour::MixRight());
                    meter->setVumMixdown(true);
                    break;
                default:
                    meter->setVumMixdown(true);
                    break;
                }
                enable(k);
            }
            SendTrackToGrid(k, pan, mapping, active);
            m_pVum[k]->SetUserDisarmed(active == TrackActiveDisarmed);
        }
        for (int pair = 0; pair < kPairs; ++pair)
            m_pFrameMs[pair]->setVisible(take.m_pbMSPair[pair]);
    } else {
        const QSoundFile& file = take.m_SndFile[0];
        const int channels = take.m_nChannels;
        // The maker block and the track list are walked once, not searched per track.
        const QVector<QSoundFile::tyOrvexTrack> makerSlots = file.GetiXMLOrvexTrackTable();
        const QVector<QSoundFile::tyPolyTrack> tracks = file.GetiXMLPolyTrackTable(0, kTracks);
        for (int k = 0; k < kTracks; ++k) {
            const tTrackActive fileActive = ActiveOfText(makerSlots.at(k).czActive);
            if (fileActive != TrackActiveNone) {
                QMapping mapping;
                const QString routing = makerSlots.at(k).czInGrid;
                if (!routing.trimmed().isEmpty())
                    mapping.fromString(routing);
                SendTrackToGrid(k, PanOfText(makerSlots.at(k).czPanPot), mapping, fileActive);
            }
            // The recorder track this position carries: -1 or anything past
            // the last track means none, and never indexes the tables.
            const int t = take.m_pnOriginalTrackIndex[k];
            tTrackActive active = TrackActiveNone;
            if (ValidTrack(t)) {
                const QString text = take.m_czTrackActive[t];
                if (text.trimmed().isEmpty()) {
                    if (k < channels) {
                        active = TrackActiveOn;
                        m_pVum[k]->setColorInputType(StripColour::Interleaved());
                        enable(k);
                    }
                } else {
                    active = ActiveOfText(text);
                    if (active == TrackActiveOn && !take.m_bProcessedName) {
                        QMapping mapping;
                        const bool parsed = mapping.fromString(take.m_czTrackInGrid[t]) == QMapping::NoError;
                        enable(k);
                        const bool msPair = take.m_pbMSPair[k / 2];
                        if (mapping.hasMs(nullptr, nullptr) || msPair)
                            m_pFrameMs[k / 2]->setVisible(true);
                        if (parsed || msPair || take.m_pnTrackMixRole[k] != 0)
                            ColourMeterFromMapping(k, mapping, take.m_pnTrackMixRole[k], msPair);
                    }
                }
            }
            m_pVum[k]->SetUserDisarmed(active == TrackActiveDisarmed);
            if (take.m_bProcessedName && k < channels) {
                m_pVum[k]->setValueViaLookup(0);
                m_pVum[k]->SetUserDisarmed(false);
                enable(k);
                active = TrackActiveOn;
                if (t >= 0) {
                    const int recorderTrack = tracks.at(k).nOriginalIndex;
                    QMapping mapping;
                    if (ValidTrack(recorderTrack))
                        mapping.fromString(take.m_czTrackInGrid[recorderTrack]);
                    if (mapping.hasMixLeft()) {
                        m_pVum[k]->setColorInputType(StripColour::MixLeft());
                        m_pVum[k]->setVumMixdown(true);
                    } else if (mapping.hasMixRight()) {
                        m_pVum[k]->setColorInputType(StripColour::MixRight());
                        m_pVum[k]->setVumMixdown(true);
                    } else {
                        m_pVum[k]->setColorInputType(k == 0 ? StripColour::MixLeft() : StripColour::MixRight());
                    }
                }
            }
            if (active != TrackActiveNone)
                last = k;
        }
    }
    if (std::exchange(m_bTrackControlsPending, false)) {
        for (int t = 0; t < kTracks; ++t)
            if (!enabled.test(size_t(t)))
                EnableTrackControls(t, false);
    }
    ShowStripFrames(last);
    m_pMainVumL->setValueViaLookup(0);
    m_pMainVumR->setValueViaLookup(0);
    m_pMainVumL->setColorInputType(StripColour::MixLeft());
    m_pMainVumR->setColorInputType(StripColour::MixRight());
    EnablePresetControls();
}

void DlgMain::SetInfosPlayer()
{
    const QSoundPerform& take = m_SndPerform;
    QPlayTimeLine* line = ui->m_CtrlWidget_PlayTimeLine;
    line->SetDurationSample(int(take.m_nTotalSamples), false);
    line->SetSampleRate(take.m_nSampleRate);
    line->SetFrameRate(take.m_nFrameRate);
    bool automatic = false;
    const QList<int> slates = take.GetSlatePointList(&automatic);
    line->setSlateList(slates);
    line->setAutoSlate(automatic);
    line->setMarkerList(take.GetMarkerPointList());
    const qint64 fps = take.m_nFrameRate;
    if (fps < 1) {
        // Without a frame rate there is no time code to show: dashes.
        line->SetTcIn(-1, -1, -1, -1);
        line->SetTcOut(-1, -1, -1, -1);
    } else {
        auto set = [fps](quint64 tc, auto setter) {
            const qint64 frames = qint64(tc);
            setter(int(frames / (fps * 3600)), int((frames / (fps * 60)) % 60), int((frames / fps) % 60),
                   int(frames % fps));
        };
        set(take.m_nStartFrames, [line](int h, int m, int s, int f) { line->SetTcIn(h, m, s, f); });
        set(take.m_nStartFrames + take.m_nDurationFrames,
            [line](int h, int m, int s, int f) { line->SetTcOut(h, m, s, f); });
    }
    for (int t = 0; t < kTracks; ++t)
        line->SetTrackName(t, take.m_czTrackName[t]);
}

void DlgMain::slot_SliderVolumeValueChanged(int track)
{
    if (!ValidTrack(track))
        return;
    QMySlider* slider = m_pSliderVolume[track];
    const int step = slider->value();
    MarkStripChanged();
    {
        std::lock_guard<std::mutex> lock(m_SndPerform.MixerLock());
        m_SndPerform.m_pnTrackVolume[track] = short(step);
    }
    const QString text = m_mapVolumeText.value(step, QStringLiteral("--"));
    slider->setToolTip(text);
    // Only a user's change under the pointer shows the level: a take that
    // opens sets every slider, and a tip left behind outlives the take.
    if (slider->underMouse())
        QToolTip::showText(slider->mapToGlobal(slider->handlePosition().center()), text, slider);
}

void DlgMain::TrackPanChange(int code, int track)
{
    if (!ValidTrack(track))
        return;
    std::lock_guard<std::mutex> lock(m_SndPerform.MixerLock());
    m_SndPerform.m_pnTrackPan[track] = short(code);
}

void DlgMain::slot_PanPotItemClicked(int track)
{
    if (!ValidTrack(track) || !SingleSelectedRow().isValid())
        return;
    const int pair = track / 2;
    if (m_SndPerform.m_pbMSPair[pair] && m_SndPerform.m_pbSwapMS[pair])
        return;
    int left = 0, right = 0;
    m_pPanPot[track]->pan(&left, &right);
    if (left == 100 && right == 0)
        left = 100, right = 100;
    else if (left == 100 && right == 100)
        left = 0, right = 100;
    else if (left == 0 && right == 100)
        left = 100, right = 0;
    else
        left = 100, right = 100;
    m_pPanPot[track]->setPan(left, right);
    MarkStripChanged();
    TrackPanChange(left == 100 && right == 100 ? 1 : (left == 100 ? 0 : 2), track);
}

void DlgMain::slot_MuteButtonToggled(int track)
{
    if (!ValidTrack(track))
        return;
    const bool muted = m_pButtonMute[track]->isChecked();
    m_pVum[track]->SetUserMuted(muted);
    m_pPanPot[track]->SetMuted(muted);
    if (muted)
        m_nMuteMask |= 1 << track;
    else
        m_nMuteMask &= ~(1 << track);
    ui->m_CtrlWidget_PlayTimeLine->do_MuteOnde(m_nMuteMask);
    updateVumeterFrame(track);
}

void DlgMain::slot_MuteButtonClicked(int track)
{
    if (!ValidTrack(track))
        return;
    slot_MuteButtonToggled(track);
    MarkStripChanged();
    // A track silenced by another track's solo stays silent when its own
    // mute button is released.
    WriteMuteFlags();
}

void DlgMain::slot_VumeterClicked(int track)
{
    if (!ValidTrack(track))
        return;
    if (m_pVum[track]->GetLastButton() == Qt::RightButton) {
        m_pButtonMute[track]->setChecked(!m_pButtonMute[track]->isChecked());
        slot_MuteButtonClicked(track);
    } else {
        slot_TrackButtonPressed(track);
    }
    updateVumeterFrame(track);
}

bool DlgMain::TrackCounts(int track, int activeIndex) const
{
    if (m_SndPerform.m_pbPresent[track])
        return true;
    if (!m_SndPerform.m_bPolyTake && !m_SndPerform.m_bProcessedName)
        return false;
    return ValidTrack(activeIndex) && IsYes(m_SndPerform.m_czTrackActive[activeIndex]);
}

void DlgMain::slot_TrackButtonPressed(int track)
{
    if (!ValidTrack(track))
        return;
    int mask = m_nSoloMask;
    if (TrackCounts(track, track)) {
        const bool shift = QApplication::keyboardModifiers() & Qt::ShiftModifier;
        const int bit = 1 << track;
        if (!(mask & bit))
            mask = shift ? (mask | bit) : bit;
        else if (shift)
            mask &= ~bit;
        else
            mask = mask == bit ? 0 : bit;
    }
    m_nSoloMask = mask;
    emit signal_SoloTrack(mask);
}

void DlgMain::slot_SoloButtonToggled(int track)
{
    if (!ValidTrack(track))
        return;
    if (TrackCounts(track, m_SndPerform.m_pnOriginalTrackIndex[track])) {
        if (m_pButtonSolo[track]->isChecked())
            m_nSoloMask |= 1 << track;
        else
            m_nSoloMask &= ~(1 << track);
    }
    emit signal_SoloTrack(m_nSoloMask);
}

void DlgMain::slot_SoloButtonClicked(int track)
{
    if (!ValidTrack(track))
        return;
    if (TrackCounts(track, track)) {
        if (m_pButtonSolo[track]->isChecked())
            m_nSoloMask |= 1 << track;
        else
            m_nSoloMask &= ~(1 << track);
    }
    emit signal_SoloTrack(m_nSoloMask);
}

void DlgMain::WriteMuteFlags()
{
    std::lock_guard<std::mutex> lock(m_SndPerform.MixerLock());
    for (int i = 0; i < kTracks; ++i)
        m_SndPerform.m_pbTrackMute[i]
            = (m_nSoloMask != 0 && !(m_nSoloMask & (1 << i))) || m_pButtonMute[i]->isChecked();
}

void DlgMain::slot_SoloTrack(int mask)
{
    m_nSoloMask = mask;
    WriteMuteFlags();
    for (int i = 0; i < kTracks; ++i) {
        const bool darker = mask != 0 && !(mask & (1 << i));
        m_pVum[i]->SetDarker(darker || m_pButtonMute[i]->isChecked());
        m_pPanPot[i]->SetDarker(darker || m_pButtonMute[i]->isChecked());
    }
    ui->m_CtrlWidget_PlayTimeLine->do_SoloOnde(mask);
    updateVumeterFrame(-1);
}

void DlgMain::ResetSoloTrack()
{
    m_nSoloMask = 0;
    emit signal_SoloTrack(0);
}

void DlgMain::slot_MsCheckBoxClicked(int pair)
{
    if (pair < 0 || pair >= kPairs)
        return;
    const bool on = m_pCheckBoxMs[pair]->isChecked();
    MarkStripChanged();
    {
        std::lock_guard<std::mutex> lock(m_SndPerform.MixerLock());
        m_SndPerform.m_pbSwapMS[pair] = on;
    }
    // Decoding centres an M/S pair's pans. Another pair's box is hidden:
    // a take's settings setting it leave the pans they stored.
    if (on && m_SndPerform.m_pbMSPair[pair]) {
        m_pPanPot[2 * pair]->setPan(100, 100);
        m_pPanPot[2 * pair + 1]->setPan(100, 100);
    }
    updateVumeterFrame(2 * pair);
}
