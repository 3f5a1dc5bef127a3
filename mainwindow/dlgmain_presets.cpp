// DlgMain: the strip's state to and from player settings files, into the
// take's mixer tables, and the five presets.
#include "mainwindow/dlgmain.h"

#include "ui_dlgmain.h"

#include "browser/fsitemtype.h"
#include "foundation/fileutil.h"
#include "foundation/keywordfile.h"
#include "foundation/messageloging.h"
#include "foundation/qpath.h"
#include "foundation/safeoutput.h"
#include "foundation/settingsstore.h"
#include "player/playersettings.h"
#include "player/qpanpotitem.h"
#include "widgets/messagebox.h"
#include "widgets/qmylineedit.h"
#include "widgets/qmyslider.h"

#include <QCheckBox>
#include <QComboBox>
#include <QDir>
#include <QFileInfo>
#include <QMessageBox>
#include <QPushButton>

#include <mutex>

namespace {
// Routing code of a pot's levels: 1 both, 0 left only, 2 right.
short PanCode(int left, int right)
{
    if (left == 100 && right == 100)
        return 1;
    return left == 100 ? 0 : 2;
}

// Replaces the settings file by a copy of source, whole or not at all, where
// the store writes it: a failure leaves the previous settings in place.
bool ReplaceByCopy(const QString& source, const QString& file)
{
    QFile in(source);
    const QString target = SettingsStore::WriteTarget(file).czPath;
    if (target.isEmpty() || !in.open(QIODevice::ReadOnly))
        return false;
    return ReplaceFileWhole(target, in.readAll()).isEmpty();
}

QString Native(const QString& path) { return QDir::toNativeSeparators(path); }
}

QString DlgMain::PresetFilePath(int n) const { return SettingsStore::PresetFile(m_StartDir, n); }

QString DlgMain::PresetReadPath(int n) const { return SettingsStore::ReadPreset(PresetFilePath(n)).czPath; }

void DlgMain::TellPresets(const QString& text) { SendUserMessage(QStringLiteral("Presets"), text, 0, 3); }

void DlgMain::TellPresetKeptAside(int n, const QString& why)
{
    TellPresets(QStringLiteral("Preset %1 is kept in %2, not in the settings folder %3 (%4).")
                    .arg(n)
                    .arg(Native(PresetReadPath(n)), Native(m_StartDir.absolutePath()), why));
}

void DlgMain::SettlePresets()
{
    const QString folder = Native(m_StartDir.absolutePath());
    for (int n = 1; n <= kPresets; ++n) {
        SettingsStore::tyCopy twin;
        switch (SettingsStore::SettlePreset(PresetFilePath(n), &twin)) {
        case SettingsStore::Settled::Nothing:
        case SettingsStore::Settled::Moved:
        case SettingsStore::Settled::Retired:
            break;
        case SettingsStore::Settled::NotMoved:
            TellPresetKeptAside(n, QStringLiteral("it could not be moved there: ") + twin.czWhy);
            break;
        case SettingsStore::Settled::NotSynced:
            TellPresets(QStringLiteral("Preset %1 is in the settings folder %2, which may not be on the disk yet "
                                       "(%3); its copy in %4 stays.")
                            .arg(n)
                            .arg(folder, twin.czWhy, Native(twin.czPath)));
            break;
        case SettingsStore::Settled::TwinStays:
            // Older than the settings folder's preset, it is never offered:
            // said once.
            if (!m_TwinsTold.contains(twin.czPath))
                TellPresets(QStringLiteral("An older copy of preset %1 stays in %2 (%3); the one in the settings "
                                           "folder %4 is offered.")
                                .arg(n)
                                .arg(Native(twin.czPath), twin.czWhy, folder));
            m_TwinsTold.insert(twin.czPath);
            break;
        }
    }
}

QString DlgMain::TakeSettingsFilePath(const QString& audioPath) { return SettingsStore::TakeFile(audioPath); }

bool DlgMain::SaveSettings(QString file, const QString* label)
{
    short volume[kTracks], left[kTracks], right[kTracks];
    bool mute[kTracks], swapMS[kPairs];
    for (int t = 0; t < kTracks; ++t) {
        volume[t] = short(m_pSliderVolume[t]->value());
        int l = 0, r = 0;
        m_pPanPot[t]->pan(&l, &r);
        left[t] = short(l);
        right[t] = short(r);
        mute[t] = m_pButtonMute[t]->isChecked();
    }
    for (int k = 0; k < kPairs; ++k)
        swapMS[k] = m_pCheckBoxMs[k]->isChecked();
    return !file.isEmpty()
           && SaveSettingsLocal(file, volume, left, right, mute, false, false, swapMS, nullptr, -1, -1, label);
}

void DlgMain::LoadSettings(const QString& file)
{
    SettleTakeTwin(file);
    // A write-protected card: the mirror folder's copy when the mix was
    // changed since the card was locked, and not stored on the card since;
    // else the card's own file.
    const SettingsStore::tyCopy read = SettingsStore::ReadTake(file);
    LoadSettingsFrom(read.czPath, read.bMirror);
}

void DlgMain::SettleTakeTwin(const QString& file)
{
    SettingsStore::tyCopy twin;
    if (SettingsStore::SettleTake(file, &twin) != SettingsStore::Settled::TwinStays
        || m_TwinsTold.contains(twin.czPath))
        return;
    // Older than the card's mix, it is never read: said once.
    m_TwinsTold.insert(twin.czPath);
    SendUserMessage(QStringLiteral("Mix settings"),
                    QStringLiteral("An older copy of the mix of %1 stays in %2 (%3); the one beside the take is read.")
                        .arg(Native(file), Native(twin.czPath), twin.czWhy),
                    0, 3);
}

void DlgMain::LoadSettingsFrom(const QString& file, bool mirror)
{
    if (file.isEmpty() || !QFile::exists(file)) {
        for (int t = 0; t < kTracks; ++t) {
            m_pSliderVolume[t]->setValue(4);
            m_pPanPot[t]->setPan(100, 100);
            m_pButtonMute[t]->setChecked(false);
        }
        for (QCheckBox* box : m_pCheckBoxMs)
            box->setChecked(true);
        return;
    }
    QFileRead reader(file);
    if (!reader.open(QIODevice::ReadOnly))
        return;
    QString field;
    const bool volumes = reader.FindKeyword(QStringLiteral("#PLAYER_TRACK_VOL"));
    for (int t = 0; t < kTracks; ++t) {
        const bool ok = volumes && reader.Extract(t, &field) && m_pSliderVolume[t]->isEnabled();
        m_pSliderVolume[t]->setValue(ok ? field.toInt() : 4);
    }
    const bool pans = reader.FindKeyword(QStringLiteral("#PLAYER_TRACK_PAN"));
    int left = 0, right = 0;
    for (int t = 0; t < kTracks; ++t) {
        if (!pans || !reader.Extract(t, &field) || !m_pPanPot[t]->isEnabled()) {
            left = right = 100;
        } else {
            switch (field.toInt()) {
            case 0:
                left = 100, right = 0;
                break;
            case 1:
                left = 100, right = 100;
                break;
            case 2:
                left = 0, right = 100;
                break;
            default:
                break; // the pair of the previous track
            }
        }
        m_pPanPot[t]->setPan(left, right);
    }
    const bool mutes = reader.FindKeyword(QStringLiteral("#PLAYER_TRACK_MUTE"));
    for (int t = 0; t < kTracks; ++t) {
        const bool ok = mutes && reader.Extract(t, &field) && m_pButtonMute[t]->isEnabled();
        m_pButtonMute[t]->setChecked(ok && field.toInt() != 0);
    }
    const bool swaps = reader.FindKeyword(QStringLiteral("#PLAYER_SWAP_MS"));
    for (int k = 0; k < kPairs; ++k) {
        bool checked = true;
        if (swaps && reader.Extract(k, &field)) {
            bool isInt = false;
            const int value = field.toInt(&isInt, 10);
            checked = isInt && value != 0;
        }
        m_pCheckBoxMs[k]->setChecked(checked);
    }
    if (mirror && reader.FindKeyword(QStringLiteral("#VIRT_TRACKNAMES"))) {
        for (int t = 0; t < kTracks; ++t) {
            if (reader.Extract(t, &field) && !field.isEmpty())
                m_pEditTrackName[t]->setText(field);
        }
    }
    if (mirror && reader.FindKeyword(QStringLiteral("#VIRT_METADATA"))) {
        if (reader.Extract(0, &field) && !field.isEmpty())
            ui->m_CtrlEditEditorScene->setText(field);
        if (reader.Extract(1, &field) && !field.isEmpty()) {
            ui->m_CtrlComboBox_TakeIndicator->setCurrentIndex(
                ui->m_CtrlComboBox_TakeIndicator->findText(field.left(1), Qt::MatchFixedString | Qt::MatchCaseSensitive));
            ui->m_CtrlEditEditor_TakeNumber->setText(field.mid(1));
        }
        if (reader.Extract(2, &field) && !field.isEmpty()) {
            ui->m_CtrlEditEditorNote->setText(field);
            ui->m_CtrlEditEditorNote->setCursorPosition(0);
        }
        if (reader.Extract(3, &field) && !field.isEmpty())
            ui->m_CtrlEditEditorUbits->setText(field);
        if (reader.Extract(4, &field) && !field.isEmpty())
            ui->m_CtrlEditEditorTape->setText(field);
    }
    reader.close();
}

void DlgMain::ApplySettings()
{
    {
        std::lock_guard<std::mutex> lock(m_SndPerform.MixerLock());
        for (int k = 0; k < kPairs; ++k)
            if (m_SndPerform.m_pbMSPair[k])
                m_SndPerform.m_pbSwapMS[k] = m_pCheckBoxMs[k]->isChecked();
        for (int t = 0; t < kTracks; ++t) {
            int left = 0, right = 0;
            m_pPanPot[t]->pan(&left, &right);
            m_SndPerform.m_pnTrackVolume[t] = short(m_pSliderVolume[t]->value());
            m_SndPerform.m_pnTrackPan[t] = PanCode(left, right);
        }
    }
    // The mute buttons together with the solo that is on.
    WriteMuteFlags();
}

void DlgMain::slot_PresetsSelChanged(int index)
{
    if (m_nPresetIndex != 0)
        SavePresetLabel();
    ShowPreset(index);
    m_nPresetIndex = index;
}

void DlgMain::ShowPreset(int index)
{
    QLineEdit* label = ui->m_CtrlLineEdit_PresetName;
    m_bPresetNamed = false;
    if (index <= 0) {
        ui->m_CtrlButton_SavePreset->setDisabled(true);
        label->setDisabled(true);
        label->clear();
    } else if (!QFile::exists(PresetReadPath(index))) {
        ui->m_CtrlButton_SavePreset->setEnabled(true);
        label->setText(QStringLiteral("Empty"));
        label->setDisabled(true);
        ui->m_CtrlButton_ApplyPreset->setDisabled(true);
    } else if (!SettingsStore::HoldsMix(PresetReadPath(index))) {
        ui->m_CtrlButton_ApplyPreset->setDisabled(true);
        label->setText(QStringLiteral("N.A"));
        label->setDisabled(true);
    } else {
        ui->m_CtrlButton_ApplyPreset->setEnabled(true);
        ui->m_CtrlButton_SavePreset->setEnabled(true);
        LoadPresetLabel(short(index));
        label->setEnabled(true);
        m_bPresetNamed = true;
    }
}

QList<QWidget*> DlgMain::PresetControls() const
{
    return {ui->m_CtrlButton_SavePreset, ui->m_CtrlComboBox_Presets, ui->m_CtrlLineEdit_PresetName,
            ui->m_CtrlButton_ApplyPreset};
}

void DlgMain::EnablePresetControls()
{
    for (QWidget* control : PresetControls())
        control->setEnabled(true);
    slot_PresetsSelChanged(ui->m_CtrlComboBox_Presets->currentIndex());
}

void DlgMain::SavePresetLabel()
{
    // "Empty" and "N.A" name no preset: only a name shown with its mix is kept.
    if (m_nPresetIndex <= 0 || !m_bPresetNamed)
        return;
    // A new name of a preset the settings folder cannot take puts the
    // whole preset in the mirror folder: told where, once.
    const QString before = PresetReadPath(m_nPresetIndex);
    if (!SaveSettingsLabel(PresetFilePath(m_nPresetIndex), ui->m_CtrlLineEdit_PresetName->text()))
        return;
    const SettingsStore::tyCopy after = SettingsStore::ReadPreset(PresetFilePath(m_nPresetIndex));
    if (after.czPath != before && after.bMirror)
        TellPresetKeptAside(m_nPresetIndex, QStringLiteral("that folder cannot be written"));
}

void DlgMain::LoadPresetLabel(short n)
{
    QString label;
    if (n > 0 && QFile::exists(PresetReadPath(n)))
        label = LoadSettingsLabel(PresetReadPath(n));
    ui->m_CtrlLineEdit_PresetName->setText(label);
}

bool DlgMain::SaveConfigFromPlayer(short n)
{
    if (!SingleSelectedRow().isValid())
        return false;
    if (m_SndPerform.m_bPolyTake) {
        ShowMessageBox(nullptr, QMessageBox::Warning, QStringLiteral("Save Presets"),
                       QStringLiteral("Select a Monophonic file."));
        return false;
    }
    // A first run has no settings folder yet (it is made as the window
    // closes): made now, the preset goes where the list reads it, and the
    // presets kept in the mirror folder before move in. A folder that
    // cannot be made leaves the preset to the mirror folder, where the
    // list then reads it too, and the user is told so.
    const int error = MakeFolderPath(m_StartDir.absolutePath());
    if (error == 0)
        SettlePresets();
    // The mix and its name in one write; "Empty" or "N.A" names no preset.
    const QString label = m_bPresetNamed ? ui->m_CtrlLineEdit_PresetName->text() : QString();
    if (!SaveSettings(PresetFilePath(n), &label))
        return false;
    if (SettingsStore::ReadPreset(PresetFilePath(n)).bMirror)
        TellPresetKeptAside(n, error != 0 ? SystemErrorText(error) : QStringLiteral("that folder cannot be written"));
    return true;
}

void DlgMain::slot_SavePresetClicked()
{
    const int n = ui->m_CtrlComboBox_Presets->currentIndex();
    if (n <= 0)
        return;
    // A failure was told; the entry then shows what the disk holds: the
    // preset as it was, or the new one where it took the file's name
    // though it may not be on the disk yet.
    SaveConfigFromPlayer(short(n));
    ShowPreset(n);
}

void DlgMain::slot_ApplyPresetClicked() { LoadConfigToPlayer(short(ui->m_CtrlComboBox_Presets->currentIndex())); }

void DlgMain::LoadConfigToPlayer(short n)
{
    const QString preset = n != 0 ? PresetReadPath(n) : QString();
    if (n != 0 && !QFile::exists(preset))
        return;
    const QItemSelectionModel* selection = ui->m_CtrlTreeView->selectionModel();
    const QModelIndexList rows = selection ? selection->selectedRows(0) : QModelIndexList();
    if (rows.size() == 1) {
        LoadSettingsFrom(preset, false);
        ApplySettings();
        MarkStripChanged();
        return;
    }
    QStringList failed;
    for (const QModelIndex& row : rows) {
        const int kind = row.data(FSItemTypeRole).toInt();
        if (kind < 3 || kind > 6)
            continue;
        const QString target = TakeSettingsFilePath(row.data(FSFilePathRole).toString());
        // Default removes the takes' settings; a preset replaces them whole,
        // through a copy renamed over the old file (its twin on a locked card).
        const bool done = n == 0 ? SettingsStore::Reset(target) : ReplaceByCopy(preset, target);
        qDebug("LoadConfigToPlayer %s: %s", qPrintable(target), done ? "done" : "failed");
        if (!done)
            failed << QFileInfo(target).fileName();
    }
    if (!failed.isEmpty())
        SendUserMessage(QStringLiteral("Apply Preset"),
                QStringLiteral("The settings of %1 take(s) could not be changed: %2")
                    .arg(failed.size())
                    .arg(failed.join(QStringLiteral(", "))),
                0, 2);
}
