// DlgMain: saving the selected takes' metadata, each through a take object
// of its own, saved in groups that share their waits for the disk, then
// renaming each take's files when the file-name mode asks for it.
#include "mainwindow/dlgmain.h"
#include "ui_dlgmain.h"

#include <QMessageBox>
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
    QString czReadOnly;   // the take not prepared because it is write-protected
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

// The editor's values into the take's iXML documents, in memory; the files
// change only when the take object writes them. Several takes write only
// the fields filled, and settle *values on the take's own scene fields and
// template.
void EditDocuments(QSoundPerform* take, tyEditorValues* values)
{
    QString* trackNames = values->pczTrackNames;
    const bool multi = values->bMulti;
    // Names the files hold already are asked for before the other edits
    // make their documents built ones.
    const bool namesHeld = take->OrvexTracknamesHeld(trackNames, multi);
    bool settled = false;
    for (int t = 0; t < QSoundPerform::kMaxTracks; ++t) {
        if (!take->m_pbPresent[t])
            continue;
        QSoundFile& file = take->m_SndFile[t];
        const tyEditorValues& v = *values;
        if (!multi) {
            file.SetiXMLScene(t, v.czScene, v.nScTkTemplate, false, v.lnAdvancedTemplateCompo,
                              v.lczAdvancedTemplateFields);
            file.SetiXMLTake(t, v.czTakePrefix, v.czTakeNumber, v.nScTkTemplate);
            file.SetiXMLNote(t, v.czNote);
            file.SetiXMLUbits(t, v.czUbits);
            file.SetiXMLTape(t, v.czTape);
            file.SetiXMLCircled(t, v.czCircled);
            file.SetiXMLFamilyName(t, take->m_bPolyTake, v.czScene, v.czTakePrefix, v.czTakeNumber, v.nScTkTemplate);
            continue;
        }
        if (!settled) {
            SettleAdvancedFields(*take, values);
            if (values->nScTkTemplate == -1)
                values->nScTkTemplate = file.GetiXMLScTkTemplate();
            settled = true;
        }
        if (!v.czScene.isEmpty())
            file.SetiXMLScene(t, v.czScene, v.nScTkTemplate, true, v.lnAdvancedTemplateCompo,
                              v.lczAdvancedTemplateFields);
        if (!v.czTakePrefix.isEmpty() && v.nScTkTemplate != -1 && !v.czTakeNumber.isEmpty())
            file.SetiXMLTake(t, v.czTakePrefix, v.czTakeNumber, v.nScTkTemplate);
        if (!v.czNote.isEmpty())
            file.SetiXMLNote(t, v.czNote);
        if (!v.czUbits.trimmed().isEmpty())
            file.SetiXMLUbits(t, v.czUbits);
        if (!v.czTape.trimmed().isEmpty())
            file.SetiXMLTape(t, v.czTape);
        if (!v.czCircled.trimmed().isEmpty())
            file.SetiXMLCircled(t, v.czCircled);
    }
    for (int t = 0; t < QSoundPerform::kMaxTracks; ++t)
        if (!multi || !trackNames[t].isEmpty())
            take->SetiXMLTrackName(t, trackNames[t]);
    if (!namesHeld)
        take->SetiXMLOrvexTracknames(trackNames, multi);
    take->SettleMissingMembers();
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
// save changes neither. Several takes write only what was typed (typed),
// with the take's template (values). False when a member's line could not
// be made.
bool EditBextLines(QSoundPerform* take, const tyEditorValues& values, const tyEditorValues& typed)
{
    bool written = true;
    for (int t = 0; t < QSoundPerform::kMaxTracks; ++t) {
        if (!take->m_pbPresent[t])
            continue;
        QSoundFile& file = take->m_SndFile[t];
        if (!values.bMulti) {
            const int member = take->m_bPolyTake ? 0 : t;
            written = file.InsertInBextDescr(values.czScene, values.czTakePrefix, values.czTakeNumber,
                                             values.nScTkTemplate, values.czNote.left(kSingleNoteBext),
                                             values.czUbits, values.czTape, take->m_bPolyTake ? -1 : t,
                                             values.pczTrackNames[member])
                      && written;
            continue;
        }
        if (!typed.czScene.isEmpty())
            written = file.InsertInBextDescrScene(typed.czScene, values.nScTkTemplate) && written;
        if (!typed.czTakePrefix.isEmpty() && !typed.czTakeNumber.isEmpty())
            written = file.InsertInBextDescrTake(typed.czTakePrefix, typed.czTakeNumber, values.nScTkTemplate)
                      && written;
        if (!values.czNote.isEmpty())
            written = file.InsertInBextDescrNote(values.czNote.left(kMultiNoteBext)) && written;
        if (!values.czUbits.trimmed().isEmpty())
            written = file.InsertInBextDescrUbits(values.czUbits) && written;
        if (!values.czTape.trimmed().isEmpty())
            written = file.InsertInBextDescrTape(values.czTape) && written;
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
    int groupFiles = 0;
    QStringList readOnly;
    auto saveGroup = [&] {
        QVector<QSoundPerform*> takes;
        for (const tyPendingSave& pending : group)
            takes << pending.take.get();
        const QVector<bool> saved = QSoundPerform::UpdateiXMLChunks(takes);
        for (size_t i = 0; i < group.size(); ++i) {
            if (!saved.at(int(i)))
                m_lczUnsavedTakes << QStringLiteral("%1: %2").arg(
                    group[i].czShownName, QStringLiteral("its metadata could not be written (see the message before)"));
            else
                results[group[i].nIndex] = RenameSavedTake(group[i]);
        }
        if (!group.empty())
            ui->m_CtrlProgressBar_SaveMetadata->setValue((group.back().nIndex + 1) * 100 / int(takePaths.size()));
        group.clear();
        groupFiles = 0;
    };
    for (int i = 0; i < takePaths.size(); ++i) {
        tyPendingSave pending;
        if (!PrepareSave(takePaths.at(i), extension, values, &pending)) {
            if (!pending.czReadOnly.isEmpty())
                readOnly << pending.czReadOnly;
            continue;
        }
        pending.nIndex = i;
        int files = 0;
        for (int t = 0; t < QSoundPerform::kMaxTracks; ++t)
            files += pending.take->m_pbPresent[t] ? 1 : 0;
        if (!group.empty() && groupFiles + files > QSoundPerform::kSaveGroupFiles)
            saveGroup();
        groupFiles += files;
        group.push_back(std::move(pending));
    }
    saveGroup();
    // Told once no loaded take waits for its save: a box's event loop may
    // run a selection, which must not find takes half applied.
    for (const QString& name : readOnly)
        QMessageBox::warning(nullptr, QStringLiteral("Warning"),
                             QStringLiteral("File %1 is read only.\nNo modifications are possible.").arg(name),
                             QMessageBox::Ok);
    return results;
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
    if (!take->InitFilesZZ(takePath, extension))
        return unsaved(QStringLiteral("the take cannot be loaded"));
    if (take->m_bReadOnlyFile || take->m_bReadOnlyFolder) {
        // Also when both the files and the folder are protected: a silent
        // skip would look like a save.
        pending->czReadOnly = take->m_czBaseName;
        return false;
    }
    if (take->m_nTakeStatus != 0)
        return unsaved(QStringLiteral("the take is damaged (status %1)").arg(take->m_nTakeStatus));

    // This take's values: several takes fill what was left empty from each
    // take's own.
    tyEditorValues values = editor;
    const bool wasLong = take->IsLongName();
    const NameTarget target = NameTargetOf(values, wasLong, take->IsFullUnderscore(), &values.nValSeparator);
    EditDocuments(take, &values);
    const tyEditorValues typed = values;
    if (values.bMulti)
        TakeOwnValues(*take, &values);
    take->m_czScene = values.czScene;
    if (!EditBextLines(take, values, typed))
        return unsaved(QStringLiteral("its bext description could not be written in every file"));
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
