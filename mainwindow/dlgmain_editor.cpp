// DlgMain: the metadata editor: its empty, single-take and several-take
// states, the display of a take's metadata and the marks of user edits.
#include "mainwindow/dlgmain.h"

#include "ui_dlgmain.h"

#include "player/qplaytimeline.h"

#include <QSignalBlocker>

namespace {

// One advanced scene field: caption, length, character filter and width.
struct tyAdvFieldRow {
    const char* label;
    int maxLength;
    int filter;
    int width;
};

// Indexed by field code; 0 is a separator.
const tyAdvFieldRow kAdvFieldRows[] = {
    {"-", 1, 6, 20},       {"Sequence", 8, 7, 90}, {"Slate", 4, 0, 48}, {"Season", 3, 0, 39},
    {"Episode", 4, 0, 48}, {"Fx", 5, 0, 57},       {"Unit", 1, 0, 20},
};
constexpr int kAdvFieldCodes = int(sizeof kAdvFieldRows / sizeof kAdvFieldRows[0]);

// Programmatic changes of the editor's combos are no user edits.
void SetComboQuietly(QComboBox* combo, int index)
{
    const QSignalBlocker quiet(combo);
    combo->setCurrentIndex(index);
}

}  // namespace

void DlgMain::ConnectEditorSignals()
{
    // textEdited covers typing, a paste from the context menu and a drop,
    // but not the texts the window sets itself.
    for (QMyLineEdit* edit : {ui->m_CtrlEditEditorScene, ui->m_CtrlEditEditorNote, ui->m_CtrlEditEditor_TakeNumber,
                              ui->m_CtrlEditEditorTape, ui->m_CtrlEditEditorUbits})
        connect(edit, &QLineEdit::textEdited, this, &DlgMain::slot_EditMetadataKeyPressed);
    for (int k = 0; k < m_ltAdvEdit.size(); ++k)
        connect(m_ltAdvEdit.at(k), &QLineEdit::textEdited, this, [this, k] {
            // With several takes only the fields whose box is checked are
            // written: a field typed into is one the user means to write.
            if (!m_ltAdvCheckFrame.at(k)->isHidden())
                m_ltAdvCheckBox.at(k)->setChecked(true);
            slot_EditMetadataKeyPressed();
        });
    for (QCheckBox* box : m_ltAdvCheckBox)
        connect(box, &QCheckBox::clicked, this, &DlgMain::slot_EditMetadataKeyPressed);
    for (QComboBox* combo : {static_cast<QComboBox*>(ui->m_CtrlComboBox_TakeIndicator),
                             static_cast<QComboBox*>(ui->m_CtrlComboBox_Circled),
                             static_cast<QComboBox*>(ui->m_CtrlComboBox_TemplateTakeIndicator),
                             static_cast<QComboBox*>(ui->m_CtrlComboBox_Filename)})
        connect(combo, QOverload<int>::of(&QComboBox::currentIndexChanged), this,
                &DlgMain::slot_EditMetadataKeyPressed);
    for (int t = 0; t < kTracks; ++t)
        connect(m_pEditTrackName[t], &QLineEdit::textEdited, this, [this, t] { slot_EditTracksKeyPressed(t); });
}

void DlgMain::slot_EditMetadataKeyPressed()
{
    m_bEditMetadata = true;
    ui->m_CtrlButton_ApplyChanges->show();
}

void DlgMain::slot_EditTracksKeyPressed(int track)
{
    qDebug("slot_EditTracksKeyPressed %d", track);
    slot_EditMetadataKeyPressed();
}

void DlgMain::ResetEditorAll()
{
    for (QLabel* info : {ui->m_CtrLabelType, ui->m_CtrlLabelSampling, ui->m_CtrlLabelFramerate, ui->m_CtrlLabelSize,
                         ui->m_CtrlLabelRef, ui->m_CtrlLabelCreationTime, ui->m_CtrlLabelCreator,
                         ui->m_CtrlLabelFilename})
        info->setText(QStringLiteral("-"));
    ShowTakeProblem(QString());
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
        SetComboQuietly(combo, -1);
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

namespace {
// The metadata fields both editor modes enable.
QList<QWidget*> CommonEditorFields(Ui::DlgMain* ui)
{
    return {ui->m_CtrlEditEditor_TakeNumber, ui->m_CtrlComboBox_TakeIndicator,
            ui->m_CtrlEditEditorNote,        ui->m_CtrlEditEditorUbits,
            ui->m_CtrlEditEditorTape,        ui->m_CtrlComboBox_Circled,
            ui->m_CtrlComboBox_TemplateTakeIndicator, ui->m_CtrlComboBox_Filename};
}
}  // namespace

void DlgMain::EnableEditorModeSingle()
{
    ui->m_CtrlLabel_AdvSc_MultiApply->hide();
    for (QFrame* frame : m_ltAdvCheckFrame)
        frame->hide();
    ui->m_CtrlEditEditorScene->setEnabled(true);
    for (QMyLineEdit* edit : m_ltAdvEdit)
        edit->setEnabled(true);
    for (QWidget* field : CommonEditorFields(ui.get()))
        field->setEnabled(true);
    for (QWidget* control : {static_cast<QWidget*>(ui->m_CtrlPushButton_Play),
                             static_cast<QWidget*>(ui->m_CtrlButton_WavformMode),
                             static_cast<QWidget*>(ui->m_CtrlPushButton_Stop)})
        control->setEnabled(true);
    for (QWidget* control : PresetControls())
        control->setEnabled(true);
    ui->m_CtrlButton_CopyTrackNames->setEnabled(true);
    ui->m_CtrlButton_ApplyTrackNames->setEnabled(true);
    // Re-running the advanced layout leaves unused slots disabled again.
    if (ui->m_CtrlFrame_AdvScene->isVisibleTo(ui->groupBox_Metadata))
        FillAdvancedTemplate(false, true);
    EnableTrackNameEdits();
}

void DlgMain::PresentRecorderTracks(bool (&present)[kTracks]) const
{
    // A poly file names its channels after the recorder tracks they hold.
    for (int t = 0; t < kTracks; ++t)
        present[t] = !m_SndPerform.m_bPolyTake && m_SndPerform.m_pbPresent[t];
    if (m_SndPerform.m_bPolyTake) {
        const int channels = qBound(0, int(m_SndPerform.m_nChannels), int(kTracks));
        for (int c = 0; c < channels; ++c) {
            const int t = m_SndPerform.m_pnOriginalTrackIndex[c];
            if (t >= 0 && t < kTracks)
                present[t] = true;
        }
    }
}

void DlgMain::EnableTrackNameEdits()
{
    bool present[kTracks] = {};
    PresentRecorderTracks(present);
    for (int t = 0; t < kTracks; ++t)
        m_pEditTrackName[t]->setEnabled(present[t]);
}

void DlgMain::EnableEditorModeMulti()
{
    const bool advanced = m_bMultiHasAdvancedTemplate;
    // Several takes never take one scene (each keeps its own, or composes
    // it from the advanced fields): the plain scene field stays closed.
    ui->m_CtrlEditEditorScene->setDisabled(true);
    ui->m_CtrlEditEditorScene->setVisible(!advanced);
    ui->m_CtrlFrame_AdvScene->setVisible(advanced);
    ui->m_CtrlFrame_Scene->setVisible(!advanced);
    ui->m_CtrlLabel_AdvSc_MultiApply->setVisible(advanced && m_bMultiCanChangeScene);
    if (advanced) {
        // Empty fields: each take keeps its own text unless its box is checked.
        m_lczAdvFieldText = QStringList();
        for (int i = 0; i < m_lnAdvFieldCode.size(); ++i)
            m_lczAdvFieldText << QString();
        FillAdvancedTemplate(true, m_bMultiCanChangeScene);
        for (QCheckBox* box : m_ltAdvCheckBox)
            box->setChecked(false);
    }
    for (QWidget* field : CommonEditorFields(ui.get()))
        field->setEnabled(true);
    for (QMyLineEdit* name : m_pEditTrackName)
        name->setEnabled(true);
    // The entry chosen may have changed while the controls were off.
    EnablePresetControls();
    ui->m_CtrlButton_ApplyTrackNames->setEnabled(true);
}

void DlgMain::FillAdvancedTemplate(bool multi, bool bCanChangeScene)
{
    if (m_lnAdvFieldCode.size() != m_lczAdvFieldText.size())
        return;
    int slot = 0;
    for (int i = 0; i < m_lnAdvFieldCode.size() && slot < m_ltAdvEdit.size(); ++i) {
        const int code = m_lnAdvFieldCode.at(i);
        if (code < 0 || code >= kAdvFieldCodes)
            continue;
        const tyAdvFieldRow& row = kAdvFieldRows[code];
        QMyLineEdit* edit = m_ltAdvEdit.at(slot);
        edit->SetupCaracFilter(tCaracFilter(row.filter));
        edit->setMaxLength(row.maxLength);
        m_ltAdvLabel.at(slot)->setText(QString::fromLatin1(row.label));
        for (QWidget* sized : {static_cast<QWidget*>(m_ltAdvFrame.at(slot)), static_cast<QWidget*>(edit)}) {
            sized->setMinimumWidth(row.width);
            sized->setMaximumWidth(row.width);
        }
        m_ltAdvCheckFrame.at(slot)->setVisible(multi && bCanChangeScene);
        m_ltAdvFrame.at(slot)->show();
        edit->setEnabled(bCanChangeScene);
        edit->setText(m_lczAdvFieldText.at(i));
        ++slot;
    }
    for (; slot < m_ltAdvEdit.size(); ++slot) {
        m_ltAdvFrame.at(slot)->hide();
        m_ltAdvCheckFrame.at(slot)->hide();
        m_ltAdvEdit.at(slot)->setDisabled(true);
    }
}

void DlgMain::SetInfosEditor()
{
    const QSoundPerform& take = m_SndPerform;
    // A file of one channel is mono, whatever family it stands for; a file
    // whose format was not read has no type to show.
    ui->m_CtrLabelType->setText(take.m_nChannels <= 0 ? QString()
                                : take.m_bPolyTake && take.m_nChannels > 1
                                    ? QStringLiteral("Poly(%1 ch)-%2").arg(take.m_nChannels).arg(take.m_czExtension)
                                    : QStringLiteral("Mono-%1").arg(take.m_czExtension));
    SetDisplayName(take.m_czBaseName);
    ui->m_CtrlLabelSampling->setText(take.m_czSamplingText);
    ui->m_CtrlLabelSize->setText(take.m_czSizeText);
    ui->m_CtrlLabelFramerate->setText(take.m_czFrameRateText);
    QStringList created;
    for (const QString& part : {take.m_czCreationDate, take.m_czCreationTime})
        if (!part.trimmed().isEmpty())
            created << part;
    ui->m_CtrlLabelCreationTime->setText(created.join(QStringLiteral(" / ")));
    ui->m_CtrlLabelCreator->setText(take.m_czCreatorText);
    ui->m_CtrlLabelRef->setText(take.m_czReferenceText);
    ui->m_CtrlWidget_PlayTimeLine->update();
    ShowOwnNameForm(false);
    DisplayEditContains();
}

void DlgMain::ShowOwnNameForm(bool severalTakes)
{
    const QSoundPerform& take = m_SndPerform;
    SetComboQuietly(ui->m_CtrlComboBox_Filename,
                    severalTakes ? -1 : !take.IsLongName() ? 0 : take.IsFullUnderscore() ? 2 : 1);
}

void DlgMain::DisplayEditContains()
{
    const QSoundPerform& take = m_SndPerform;
    m_nScTkTemplate = take.m_nScTkTemplate;
    QWidget* focusTarget = nullptr;
    QString composition = take.m_czAdvTemplateCompo;
    QHash<int, QString> texts = take.m_AdvTemplateFields;
    const bool advanced = (m_nScTkTemplate == 4 || m_nScTkTemplate == 5)
                          && ExtractAdvancedTemplate(&composition, &texts);
    if (advanced) {
        if (ui->m_CtrlEditEditorScene->hasFocus())
            focusTarget = m_ltAdvEdit.first();
        ui->m_CtrlFrame_AdvScene->show();
        ui->m_CtrlFrame_Scene->hide();
        ui->m_CtrlEditEditorScene->setDisabled(true);
        FillAdvancedTemplate(false, true);
    } else {
        for (QMyLineEdit* edit : m_ltAdvEdit) {
            if (edit->hasFocus())
                focusTarget = ui->m_CtrlEditEditorScene;
            edit->setDisabled(true);
        }
        ui->m_CtrlEditEditorScene->setMinimumWidth(250);
        ui->m_CtrlEditEditorScene->setMaximumWidth(250);
        ui->m_CtrlEditEditorScene->setEnabled(true);
        ui->m_CtrlEditEditorScene->show();
        ui->m_CtrlFrame_Scene->show();
        ui->m_CtrlFrame_AdvScene->hide();
    }
    if (focusTarget)
        focusTarget->setFocus();

    // Showing a take is no edit: the template combo is set quietly too, or
    // merely viewing a take would rewrite (and rename) it later.
    int withoutIndicator = 0;
    if (m_nScTkTemplate == 2 || m_nScTkTemplate == 3 || m_nScTkTemplate == 5) {
        withoutIndicator = 1;
    } else if (m_nScTkTemplate == -1 && take.m_czTakePrefix.trimmed().isEmpty()) {
        withoutIndicator = 1;
        m_nScTkTemplate = 2;
    }
    SetComboQuietly(ui->m_CtrlComboBox_TemplateTakeIndicator, withoutIndicator);
    ui->m_CtrlEditEditor_TakeNumber->setText(take.m_czTakeNumber.trimmed());
    SetComboQuietly(ui->m_CtrlComboBox_TakeIndicator,
                    ui->m_CtrlComboBox_TakeIndicator->findText(take.m_czTakePrefix.trimmed(), Qt::MatchExactly
                                                                                                | Qt::MatchCaseSensitive));
    ui->m_CtrlEditEditorScene->setText(take.m_czScene.trimmed());
    ui->m_CtrlEditEditorUbits->setText(take.m_czUbits.trimmed());
    ui->m_CtrlEditEditorTape->setText(take.m_czTape.trimmed());
    const QString circled = take.m_czCircled.trimmed();
    const bool isCircled = circled.compare(QLatin1String("TRUE"), Qt::CaseInsensitive) == 0
                           || circled == QLatin1String("1")
                           || circled.compare(QLatin1String("YES"), Qt::CaseInsensitive) == 0;
    SetComboQuietly(ui->m_CtrlComboBox_Circled, isCircled ? 0 : 1);
    const QString note = take.m_bIxmlRead && !take.m_czIxmlNote.isEmpty() ? take.m_czIxmlNote : take.m_czBextNote;
    ui->m_CtrlEditEditorNote->setText(note.trimmed());
    ui->m_CtrlEditEditorNote->setCursorPosition(0);
}

void DlgMain::DisplayEditTracksContains()
{
    for (int t = 0; t < kTracks; ++t) {
        const QString name = m_SndPerform.m_czTrackName[t].trimmed();
        m_pEditTrackName[t]->setText(name);
        ui->m_CtrlWidget_PlayTimeLine->SetTrackName(t, name);
    }
}

bool DlgMain::ExtractAdvancedTemplate(QString* composition, QHash<int, QString>* texts)
{
    m_lnAdvFieldCode.clear();
    m_lczAdvFieldText.clear();
    if (!composition || !texts || composition->isEmpty() || texts->isEmpty())
        return false;
    const QStringList parts = composition->split(QLatin1Char(','), Qt::SkipEmptyParts);
    if (parts.size() != texts->size())
        return false;
    int separators = 0;
    for (const QString& part : parts) {
        bool ok = false;
        const int code = part.trimmed().toInt(&ok);
        if (!ok)
            continue;
        const int key = code == 0 ? -separators++ : code;
        m_lnAdvFieldCode << code;
        m_lczAdvFieldText << texts->value(key);
    }
    if (m_lnAdvFieldCode.size() == m_lczAdvFieldText.size())
        return true;
    m_lnAdvFieldCode.clear();
    m_lczAdvFieldText.clear();
    return false;
}
