// DlgMain: applying the editor's changes: every selected take is saved
// through a take object of its own, renamed when its file-name mode asks,
// and selected again under its new name.
#include "mainwindow/dlgmain.h"

#include "ui_dlgmain.h"

#include "browser/qbriselfsfilterproxymodel.h"
#include "browser/qbriselfsmodel.h"
#include "player/sfxplayer.h"
#include "player/sfxthread.h"
#include "widgets/messagebox.h"

#include <QFileInfo>
#include <QMessageBox>
#include <QPushButton>
#include <QScopedValueRollback>
#include <QTimer>
#include <algorithm>
#include <memory>

const char* const METADATA_ADV_TEMPL_FIELD_DONTCHANGE_VALUE = "<";

namespace {

constexpr int kHideProgressMs = 1500;

// Control characters (line breaks, tabs, NUL) would break the bext lines
// and the file names; pasted text can carry them.
QString WithoutControls(QString text)
{
    // Every take selection reads the editor through here: a pattern
    // compiled for each of some 30 fields took longer than the load.
    const auto end = std::remove_if(text.begin(), text.end(),
                                    [](QChar c) { return c.unicode() < 0x20 || c.unicode() == 0x7f; });
    text.truncate(int(end - text.begin()));
    return text;
}

// The pair a template belongs to, and its member with or without indicator.
int TemplateOfPair(int nTemplate, bool withIndicator)
{
    switch (nTemplate) {
    case 0: case 2: return withIndicator ? 0 : 2;
    case 1: case 3: return withIndicator ? 1 : 3;
    case 4: case 5: return withIndicator ? 4 : 5;
    default: return nTemplate;
    }
}

}  // namespace

bool DlgMain::ApplyMetadataChanges(bool refresh)
{
    // Entered again from a modal box's event loop: the running apply owns
    // the files.
    if (m_bApplying)
        return true;
    bool reselect = false;
    bool applied = false;
    // The shown take was open in the player: it is opened again after the
    // save, stopped where it stood (where it played or paused, or where
    // Play would start).
    bool reopen = false;
    quint64 resumeSecond = 0;
    QList<tyTakePathDescription> selection;
    QStringList refreshedDays;
    {
        const QScopedValueRollback<bool> applying(m_bApplying, true);
        setCursor(Qt::WaitCursor);
        m_lczUnsavedTakes.clear();
        m_bNameChangeRefused = false;

        QString trackNames[kTracks];
        for (int t = 0; t < kTracks; ++t)
            trackNames[t] = WithoutControls(m_pEditTrackName[t]->text());
        const QString takePrefix = WithoutControls(ui->m_CtrlComboBox_TakeIndicator->currentText());
        const QString takeNumber = WithoutControls(ui->m_CtrlEditEditor_TakeNumber->text());
        const QString editorTake = takePrefix + takeNumber;
        QString scene = WithoutControls(ui->m_CtrlEditEditorScene->text());
        const QString note = WithoutControls(ui->m_CtrlEditEditorNote->text());
        const QString ubits = WithoutControls(ui->m_CtrlEditEditorUbits->text());
        const QString tape = WithoutControls(ui->m_CtrlEditEditorTape->text());
        const QString circled = WithoutControls(ui->m_CtrlComboBox_Circled->currentText());
        const int fileMode = ui->m_CtrlComboBox_Filename->currentIndex();
        const int templateChoice = ui->m_CtrlComboBox_TemplateTakeIndicator->currentIndex();
        int newTemplate = m_nScTkTemplate;
        if (templateChoice >= 0 && newTemplate >= 0 && newTemplate <= 5)
            newTemplate = TemplateOfPair(newTemplate, templateChoice == 0);
        const bool toShort = fileMode == 0;
        const bool toLong = fileMode == 1 || fileMode == 2;
        const int separator = fileMode == 1 ? 0 : fileMode == 2 ? 1 : -1;

        ui->m_CtrlProgressBar_SaveMetadata->setValue(0);
        selection = m_ltLastSelectionPathDescription;
        const int n = selection.size();
        const bool templateChange = newTemplate != m_nScTkTemplate && templateChoice >= 0;
        bool nameFormChange = false;
        bool sceneTakeChange = false;
        bool fieldsSet = false;
        const bool multi = n >= 2;
        QStringList fields;

        // The advanced fields from their slots; in several-take mode an
        // unchecked box keeps each take's own text.
        auto buildFields = [&]() {
            int slot = 0;
            for (int i = 0; i < m_lnAdvFieldCode.size() && i < m_ltAdvEdit.size(); ++i) {
                const int code = m_lnAdvFieldCode.at(i);
                if (code < 0 || code > 6 || slot >= m_ltAdvEdit.size()) {
                    fields << QString();
                    continue;
                }
                if (!multi || m_ltAdvCheckBox.at(slot)->isChecked()) {
                    fields << WithoutControls(m_ltAdvEdit.at(slot)->text());
                    fieldsSet = true;
                } else {
                    fields << QString::fromLatin1(METADATA_ADV_TEMPL_FIELD_DONTCHANGE_VALUE);
                }
                ++slot;
            }
            if (!fieldsSet) {
                scene.clear();
                fields.clear();
            } else if (fields.contains(QString::fromLatin1(METADATA_ADV_TEMPL_FIELD_DONTCHANGE_VALUE))) {
                scene.clear();
            } else {
                scene = fields.join(QString());
            }
        };

        if (n > 0 && m_bEditMetadata) {
            // Kept through the reselection below, whose dispatch applies
            // nothing: this apply tells them.
            m_lczApplyNotes.clear();
            applied = true;
            if (multi) {
                ui->m_CtrlProgressBar_SaveMetadata->show();
                scene.clear();
                if (!m_bMultiCanChangeScene)
                    m_lnAdvFieldCode.clear();
                else if (m_bMultiHasAdvancedTemplate)
                    buildFields();
                nameFormChange = fileMode >= 0;
            } else {
                const bool isLong = m_SndPerform.IsLongName();
                const bool underscore = m_SndPerform.IsFullUnderscore();
                nameFormChange = isLong ? (fileMode == 0 || (fileMode == 1 && underscore)
                                           || (fileMode != 0 && fileMode != 1 && !underscore))
                                        : toLong;
                if (isLong) {
                    const QString shownTake = (m_SndPerform.m_czTakePrefix + m_SndPerform.m_czTakeNumber).trimmed();
                    sceneTakeChange = editorTake.trimmed() != shownTake
                                      || scene.trimmed() != m_SndPerform.m_czScene.trimmed();
                }
                if (newTemplate == 4 || newTemplate == 5)
                    buildFields();
            }
            reopen = refresh && !m_pPlayer.isNull();
            const quint64 rate = quint64(qMax(0, m_SndPerform.m_nSampleRate));
            resumeSecond = m_SndPerform.GetPlayerState() == PlayerStopped || rate == 0
                               ? m_SndPerform.m_nStartSecond.load()
                               : m_nCurrentSamplePos / rate;
            CloseTakeInPlayer();
            QStringList paths;
            for (const tyTakePathDescription& take : selection) {
                paths << take.czTakePath;
                const QString day = QDir::cleanPath(take.czMediaPath + QLatin1Char('/') + take.czProject
                                                    + QLatin1Char('/') + take.czDay);
                if (!refreshedDays.contains(day))
                    refreshedDays << day;
            }
            // Several takes: each keeps its own template (the shown take's
            // is not theirs).
            tyEditorValues values;
            values.bMulti = multi;
            values.czScene = scene;
            values.czTakePrefix = takePrefix;
            values.czTakeNumber = takeNumber;
            values.nScTkTemplate = multi ? -1 : newTemplate;
            values.czNote = note;
            values.czUbits = ubits;
            values.czTape = tape;
            values.czCircled = circled;
            values.pczTrackNames = trackNames;
            values.bConvertToShort = toShort;
            values.bConvertToLong = toLong;
            values.nValSeparator = separator;
            values.lnAdvancedTemplateCompo = m_lnAdvFieldCode;
            values.lczAdvancedTemplateFields = fields;
            const QStringList changedNames = SaveMetadata(paths, m_czTakeExtension, values);
            // The takes saved under new names are known by them from here on.
            for (int j = 0; j < changedNames.size() && j < selection.size(); ++j) {
                QString& path = selection[j].czTakePath;
                if (!changedNames.at(j).isEmpty())
                    path = path.left(path.lastIndexOf(QLatin1Char('/')) + 1) + changedNames.at(j);
            }
            reselect = refresh && (nameFormChange || sceneTakeChange || fieldsSet || templateChange);
        }
        if (n > 0)
            m_pTimerHideProgress->start(kHideProgressMs);
        // A take refused its new names keeps its files' names, as the
        // choice shows again: the other typed values stay, saved as the
        // selection leaves (no second box tells a refusal already told).
        if (m_bNameChangeRefused)
            ShowOwnNameForm(multi);
        // A take that was not saved keeps the typed values in the editor,
        // still marked changed, so that Apply can try again.
        if (m_lczUnsavedTakes.isEmpty()) {
            m_bEditMetadata = false;
            ui->m_CtrlButton_ApplyChanges->hide();
        }
        setCursor(Qt::ArrowCursor);
    }
    // Takes not saved keep the selection and the editor as they are (the
    // takes saved beside them under their new names); the caller tells
    // them, and one that goes on with this selection holds the edits.
    if (!m_lczUnsavedTakes.isEmpty()) {
        m_ltLastSelectionPathDescription = selection;
        if (refresh)
            HoldFailedEdits();
        return false;
    }
    if (reselect || reopen)
        ShowAppliedTakes(reselect ? refreshedDays : QStringList(), selection, reopen, resumeSecond);
    // What else the apply could not do, once the takes are shown as they stand.
    if (applied)
        ReportUnsavedTakes(false);
    return true;
}

void DlgMain::ShowAppliedTakes(const QStringList& refreshedDays, const QList<tyTakePathDescription>& selection,
                               bool reopen, quint64 resumeSecond)
{
    if (!refreshedDays.isEmpty()) {
        for (const QString& day : refreshedDays)
            m_pFSModel->refreshItems(day);
        // By take, not by file: a rename may renumber the track files
        // ("_A" becomes "_10"), so the file that stood for the take is gone.
        QStringList takePaths;
        for (const tyTakePathDescription& take : selection) {
            qDebug("reselect %s", qPrintable(take.czTakePath));
            takePaths << take.czTakePath;
        }
        SelectTakePaths(takePaths);
    }
    // The selection as it stands now is shown at once; the debounce timer
    // the reselection started would only show it a second time.
    m_pTimerSelection->stop();
    slot_TimerSelectionChanged();
    if (reopen && m_pPlayer)
        slot_SliderMovedSldTime(int(qMin<quint64>(resumeSecond, m_SndPerform.m_nDurationSeconds)));
}

bool DlgMain::ReportUnsavedTakes(bool offerKeep)
{
    if (m_lczUnsavedTakes.isEmpty() && m_lczApplyNotes.isEmpty())
        return false;
    QStringList parts;
    if (!m_lczUnsavedTakes.isEmpty())
        parts << QStringLiteral("These takes were not saved:\n%1").arg(m_lczUnsavedTakes.join('\n'));
    parts << m_lczApplyNotes;
    // Told once: a later caller of an apply that did nothing new says nothing.
    m_lczApplyNotes.clear();
    QMessageBox box(QMessageBox::Warning, QStringLiteral("Warning"), parts.join(QStringLiteral("\n\n")),
                    QMessageBox::NoButton, this);
    QPushButton* keep = nullptr;
    if (offerKeep && !m_lczUnsavedTakes.isEmpty()) {
        keep = box.addButton(QStringLiteral("Keep editing"), QMessageBox::AcceptRole);
        box.addButton(QStringLiteral("Discard changes"), QMessageBox::DestructiveRole);
        box.setDefaultButton(keep);
    } else {
        box.addButton(QMessageBox::Ok);
    }
    FitMessageBox(&box);
    box.exec();
    return keep && box.clickedButton() == keep;
}

void DlgMain::slot_Button_ApplyChanges()
{
    qDebug("slot_Button_ApplyChanges: file-name mode %d", ui->m_CtrlComboBox_Filename->currentIndex());
    if (!ApplyMetadataChanges(true))
        ReportUnsavedTakes(false);
}
