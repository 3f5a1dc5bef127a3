// DlgMain: saving the selected takes' metadata, each through a take object
// of its own, saved in groups that share their waits for the disk, then
// renaming each take's files when the file-name mode asks for it.
#include "mainwindow/dlgmain.h"
#include "ui_dlgmain.h"

#include "take/savebatch.h"

#include <memory>

namespace {
enum class NameTarget { None, Short, Long };
constexpr int kSingleNoteBext = 49;
constexpr int kMultiNoteBext = 40;
using tyEditorValues = DlgMain::tyEditorValues;
}  // namespace

// A take loaded and edited in memory, waiting for its group's save, with
// what its rename needs afterwards.
struct DlgMain::tyPendingSave {
    std::unique_ptr<QSoundPerform> take;
    int nIndex = 0;   // in the paths asked for
    QString czShownName;
    NameTarget eTarget = NameTarget::None;
    bool bWasLong = false;
    QString czTakePrefix;
    QString czTakeNumber;
    int nScTkTemplate = -1;
    int nValSeparator = -1;
};

namespace {

// The names the file-name mode asks for: a mode that keeps the take's form
// (separator -1) keeps its short or long name, a long one with its own
// separator (*separator set).
NameTarget NameTargetOf(const tyEditorValues& values, bool wasLong, bool fullUnderscore, int* separator)
{
    if (values.bConvertToShort)
        return NameTarget::Short;
    if (values.bConvertToLong)
        return NameTarget::Long;
    if (values.nValSeparator != -1)
        return NameTarget::None;
    if (wasLong)
        *separator = fullUnderscore ? 1 : 0;
    return wasLong ? NameTarget::Long : NameTarget::Short;
}

// Several takes: an advanced field left alone takes this take's own text,
// and the scene is made of the fields.
void SettleAdvancedFields(const QSoundPerform& take, tyEditorValues* values)
{
    const QString keep = QString::fromLatin1(METADATA_ADV_TEMPL_FIELD_DONTCHANGE_VALUE);
    QStringList& fields = values->lczAdvancedTemplateFields;
    if (!values->czScene.isEmpty() || values->lnAdvancedTemplateCompo.isEmpty() || fields.isEmpty()
        || !fields.contains(keep))
        return;
    const QStringList own = take.GetiXMLAdvancedScTkFieldsList();
    if (own.size() != fields.size()) {
        fields.clear();
        return;
    }
    for (int i = 0; i < own.size(); ++i)
        if (fields.at(i) == keep)
            fields[i] = own.at(i);
    values->czScene = fields.join(QString());
}

// Several takes write only the fields that were filled; a field's iXML
// and its bext line go under the same guard. values: as settled on the take
// (see SettleMultiValues).
struct tyFilledFields {
    bool bScene, bTake, bNote, bUbits, bTape, bCircled;
};

tyFilledFields FilledFields(const tyEditorValues& values)
{
    return {!values.czScene.isEmpty(),
            !values.czTakePrefix.isEmpty() && values.nScTkTemplate != -1 && !values.czTakeNumber.isEmpty(),
            !values.czNote.isEmpty(),
            !values.czUbits.trimmed().isEmpty(),
            !values.czTape.trimmed().isEmpty(),
            !values.czCircled.trimmed().isEmpty()};
}

// Several takes: the scene fields left alone and the template -1 become
// the take's own (its first present file's).
void SettleMultiValues(const QSoundPerform& take, tyEditorValues* values)
{
    SettleAdvancedFields(take, values);
    if (values->nScTkTemplate == -1)
        values->nScTkTemplate = take.m_SndFile[take.GetFirstTrack()].GetiXMLScTkTemplate();
}

// The editor's values into the take's iXML documents, in memory; the files
// change only when the take object writes them. False when a member's
// document could not take one of them (none could be built for it): saved,
// that member would go on without the edit.
bool EditDocuments(QSoundPerform* take, const tyEditorValues& v)
{
    QString* trackNames = v.pczTrackNames;
    const bool multi = v.bMulti;
    const tyFilledFields filled = FilledFields(v);
    // Names the files hold already are asked for before the other edits
    // make their documents built ones.
    const bool namesHeld = take->OrvexTracknamesHeld(trackNames, multi);
    bool edited = true;
    for (int t = 0; t < QSoundPerform::kMaxTracks; ++t) {
        if (!take->m_pbPresent[t])
            continue;
        QSoundFile& file = take->m_SndFile[t];
        if (!multi) {
            edited = file.SetiXMLScene(t, v.czScene, v.nScTkTemplate, false, v.lnAdvancedTemplateCompo,
                                       v.lczAdvancedTemplateFields)
                     && edited;
            edited = file.SetiXMLTake(t, v.czTakePrefix, v.czTakeNumber, v.nScTkTemplate) && edited;
            edited = file.SetiXMLNote(t, v.czNote) && edited;
            edited = file.SetiXMLUbits(t, v.czUbits) && edited;
            edited = file.SetiXMLTape(t, v.czTape) && edited;
            edited = file.SetiXMLCircled(t, v.czCircled) && edited;
            edited = file.SetiXMLFamilyName(t, take->m_bPolyTake, v.czScene, v.czTakePrefix, v.czTakeNumber,
                                            v.nScTkTemplate)
                     && edited;
            continue;
        }
        if (filled.bScene)
            edited = file.SetiXMLScene(t, v.czScene, v.nScTkTemplate, true, v.lnAdvancedTemplateCompo,
                                       v.lczAdvancedTemplateFields)
                     && edited;
        if (filled.bTake)
            edited = file.SetiXMLTake(t, v.czTakePrefix, v.czTakeNumber, v.nScTkTemplate) && edited;
        if (filled.bNote)
            edited = file.SetiXMLNote(t, v.czNote) && edited;
        if (filled.bUbits)
            edited = file.SetiXMLUbits(t, v.czUbits) && edited;
        if (filled.bTape)
            edited = file.SetiXMLTape(t, v.czTape) && edited;
        if (filled.bCircled)
            edited = file.SetiXMLCircled(t, v.czCircled) && edited;
    }
    for (int t = 0; t < QSoundPerform::kMaxTracks; ++t)
        if (!multi || !trackNames[t].isEmpty())
            take->SetiXMLTrackName(t, trackNames[t]);
    if (!namesHeld)
        take->SetiXMLOrvexTracknames(trackNames, multi);
    take->SettleMissingMembers();
    return edited;
}

// What a rename needs and several takes left empty comes from the take.
void TakeOwnValues(const QSoundPerform& take, tyEditorValues* values)
{
    if (values->czScene.isEmpty())
        values->czScene = take.m_czScene;
    QString ownPrefix;
    QString ownNumber;
    if (QSoundFile::IsTemplateWithoutIndicator(take.m_nScTkTemplate)) {
        ownPrefix = take.m_czTakePrefix;
        ownNumber = take.m_czTake;
    } else if (!take.m_czTake.isEmpty()) {
        ownPrefix = take.m_czTake.left(1);
        ownNumber = take.m_czTake.mid(1);
    }
    if (values->czTakePrefix.isEmpty())
        values->czTakePrefix = ownPrefix;
    if (values->czTakeNumber.isEmpty())
        values->czTakeNumber = ownNumber;
    if (values->nScTkTemplate == -1)
        values->nScTkTemplate = take.m_nScTkTemplate;
}

// The bext lines of each member, kept by its file object and written by the
// take's save in the same transaction as the iXML: a refused or interrupted
// save changes neither. Several takes write the fields filled, as their
// iXML. False when a member's line could not be made.
bool EditBextLines(QSoundPerform* take, const tyEditorValues& v)
{
    const tyFilledFields filled = FilledFields(v);
    bool written = true;
    for (int t = 0; t < QSoundPerform::kMaxTracks; ++t) {
        if (!take->m_pbPresent[t])
            continue;
        QSoundFile& file = take->m_SndFile[t];
        if (!v.bMulti) {
            const int member = take->m_bPolyTake ? 0 : t;
            written = file.InsertInBextDescr(v.czScene, v.czTakePrefix, v.czTakeNumber, v.nScTkTemplate,
                                             v.czNote.left(kSingleNoteBext), v.czUbits, v.czTape,
                                             take->m_bPolyTake ? -1 : t, v.pczTrackNames[member])
                      && written;
            continue;
        }
        if (filled.bScene)
            written = file.InsertInBextDescrScene(v.czScene, v.nScTkTemplate) && written;
        if (filled.bTake)
            written = file.InsertInBextDescrTake(v.czTakePrefix, v.czTakeNumber, v.nScTkTemplate) && written;
        if (filled.bNote)
            written = file.InsertInBextDescrNote(v.czNote.left(kMultiNoteBext)) && written;
        if (filled.bUbits)
            written = file.InsertInBextDescrUbits(v.czUbits) && written;
        if (filled.bTape)
            written = file.InsertInBextDescrTape(v.czTape) && written;
    }
    return written;
}

}  // namespace

QStringList DlgMain::SaveMetadata(const QStringList& takePaths, const QString& extension,
                                  const tyEditorValues& values)
{
    QStringList results;
    for (int i = 0; i < takePaths.size(); ++i)
        results << QString();
    if (!m_bEditMetadata)
        return results;
    // The takes are loaded and edited a group at a time, then saved together
    // so that they share their waits for the disk, then renamed one by one.
    std::vector<tyPendingSave> group;
    SaveBatch gathered;
    for (int i = 0; i < takePaths.size(); ++i) {
        tyPendingSave pending;
        pending.nIndex = i;
        if (!PrepareSave(takePaths.at(i), extension, values, &pending))
            continue;
        if (!gathered.Fits(*pending.take))
            SaveAndRenameGroup(&group, &gathered, &results);
        gathered.Add(pending.take.get());
        group.push_back(std::move(pending));
    }
    SaveAndRenameGroup(&group, &gathered, &results);
    return results;
}

void DlgMain::SaveAndRenameGroup(std::vector<tyPendingSave>* group, SaveBatch* batch, QStringList* results)
{
    if (group->empty())
        return;
    const QVector<QSoundPerform*> takes = batch->Takes();
    // What each save has to tell is told with the rest of the apply's.
    const QVector<bool> saved = QSoundPerform::UpdateiXMLChunks(*batch, false);
    batch->Clear();
    for (int i = 0; i < takes.size(); ++i) {
        tyPendingSave& pending = (*group)[size_t(i)];
        const QString report = pending.take->SaveReport();
        if (!saved.at(i)) {
            m_lczUnsavedTakes << QStringLiteral("%1: %2").arg(
                pending.czShownName, report.isEmpty() ? QStringLiteral("its metadata could not be written") : report);
            continue;
        }
        if (!report.isEmpty())
            m_lczApplyNotes << QStringLiteral("%1: %2").arg(pending.czShownName, report);
        // The shown take's files hold what this save wrote, as the user saw it.
        if (IsShownTake(*pending.take))
            m_SndPerform.AdoptMemberHeads(*pending.take);
        (*results)[pending.nIndex] = RenameSavedTake(pending);
    }
    ui->m_CtrlProgressBar_SaveMetadata->setValue((group->back().nIndex + 1) * 100 / results->size());
    group->clear();
}

bool DlgMain::IsShownTake(const QSoundPerform& take) const
{
    return m_SndPerform.m_czTakeFolder == take.m_czTakeFolder && m_SndPerform.m_czBaseName == take.m_czBaseName;
}

bool DlgMain::PrepareSave(const QString& takePath, const QString& extension, const tyEditorValues& editor,
                          tyPendingSave* pending)
{
    pending->take = std::make_unique<QSoundPerform>();
    QSoundPerform* take = pending->take.get();
    const QString shownName = takePath.mid(takePath.lastIndexOf(QLatin1Char('/')) + 1);
    pending->czShownName = shownName;
    auto unsaved = [&](const QString& why) {
        m_lczUnsavedTakes << QStringLiteral("%1: %2").arg(shownName, why);
        return false;
    };
    // Without a message of its own: the load's reason is told with the apply's.
    if (!take->QuickInitFiles(takePath, extension, nullptr, false))
        return unsaved(take->LoadFailureText().isEmpty() ? QStringLiteral("the take cannot be loaded")
                                                         : take->LoadFailureText());
    // The take the user opened is saved with the files it opened with: a
    // file that arrived since is never written with it.
    // Nor over a member another program rewrote since it was shown: the
    // values shown are not that file's.
    if (IsShownTake(*take)) {
        const QString changed = take->MembersChangedSince(m_SndPerform);
        if (!changed.isEmpty())
            return unsaved(QSoundPerform::ChangedOnDiskText(changed));
        const QString rewritten = take->MemberRewrittenSince(m_SndPerform);
        if (!rewritten.isEmpty())
            return unsaved(rewritten);
    }
    // A member found write-protected through a link is told as the link.
    if (take->m_bReadOnlyFile) {
        const QString link = take->LinkedMember();
        if (!link.isEmpty())
            return unsaved(QSoundPerform::LinkedMemberText(link));
    }
    if (take->m_bReadOnlyFile || take->m_bReadOnlyFolder) {
        // Also when both the files and the folder are protected: a silent
        // skip would look like a save.
        m_lczApplyNotes << QStringLiteral("File %1 is read only.\nNo modifications are possible.")
                               .arg(take->m_czBaseName);
        return false;
    }
    if (take->m_nTakeStatus != 0) {
        // The take line's sentence, which names the take: another maker's
        // file is no damaged take, and is pointed to Import.
        m_lczUnsavedTakes << take->ProblemLine(true, take->m_czTakeFolder, shownName);
        return false;
    }

    // This take's values: several takes fill what was left empty from each
    // take's own.
    tyEditorValues values = editor;
    const bool wasLong = take->IsLongName();
    const NameTarget target = NameTargetOf(values, wasLong, take->IsFullUnderscore(), &values.nValSeparator);
    // Renamed files would leave a file the take's metadata lists behind
    // under the old name, as a take of its own.
    const QStringList heldOut = take->HeldOutMembers();
    if (!heldOut.isEmpty() && (target == NameTarget::Long || (target == NameTarget::Short && wasLong))) {
        m_bNameChangeRefused = true;
        return unsaved(QStringLiteral("%1 is left out of the take though its metadata lists it, so its files were "
                                      "not renamed").arg(heldOut.join(QStringLiteral(", "))));
    }
    if (values.bMulti)
        SettleMultiValues(*take, &values);
    if (!EditDocuments(take, values))
        return unsaved(QStringLiteral("its iXML metadata could not be set in every file"));
    if (!EditBextLines(take, values))
        return unsaved(QStringLiteral("its bext description could not be written in every file"));
    take->SetEditsPartial(values.bMulti);
    if (values.bMulti)
        TakeOwnValues(*take, &values);
    take->m_czScene = values.czScene;
    pending->eTarget = target;
    pending->bWasLong = wasLong;
    pending->czTakePrefix = values.czTakePrefix;
    pending->czTakeNumber = values.czTakeNumber;
    pending->nScTkTemplate = values.nScTkTemplate;
    pending->nValSeparator = values.nValSeparator;
    return true;
}

QString DlgMain::RenameSavedTake(tyPendingSave& pending)
{
    QSoundPerform* take = pending.take.get();
    // The shown take follows its files only when it is this take.
    const bool isShownTake = m_SndPerform.m_czTakeFolder == take->m_czTakeFolder
                             && m_SndPerform.m_czBaseName == take->m_czBaseName;
    QString result;
    QString newPath;
    if (pending.eTarget == NameTarget::Short && pending.bWasLong)
        newPath = ConvertToShortName(take);
    else if (pending.eTarget == NameTarget::Long)
        newPath = ConvertToLongName(take, pending.nValSeparator, pending.czTakePrefix, pending.czTakeNumber,
                                    pending.nScTkTemplate);
    if (!newPath.isEmpty()) {
        // A poly file's name is its take name: an underscore name ends in
        // "_PX", which the mono root rule would cut.
        result = take->m_bPolyTake ? QPath(newPath).GetFilename(false) : QPath(newPath).GetRoot();
        if (isShownTake)
            SetNewNameParams(QPath(newPath));
    }
    return result;
}
