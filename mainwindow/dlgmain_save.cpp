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

QStringList DlgMain::SaveMetadata(const QStringList& takePaths, const QString& extension, bool bMulti,
                                  const QString& scene, const QString& takePrefix, const QString& takeNumber,
                                  int nScTkTemplate, const QString& note, const QString& ubits, const QString& tape,
                                  const QString& circled, QString* trackNames, bool bConvertToShort,
                                  bool bConvertToLong, int nValSeparator, const QList<int>& lnAdvancedTemplateCompo,
                                  const QStringList& lczAdvancedTemplateFields)
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
        if (!PrepareSave(takePaths.at(i), extension, bMulti, scene, takePrefix, takeNumber, nScTkTemplate, note,
                         ubits, tape, circled, trackNames, bConvertToShort, bConvertToLong, nValSeparator,
                         lnAdvancedTemplateCompo, lczAdvancedTemplateFields, &pending))
            continue;
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
    return results;
}

bool DlgMain::PrepareSave(const QString& takePath, const QString& extension, bool bMulti, QString scene,
                          QString takePrefix, QString takeNumber, int nScTkTemplate, const QString& note,
                          const QString& ubits, const QString& tape, const QString& circled, QString* trackNames,
                          bool bConvertToShort, bool bConvertToLong, int nValSeparator,
                          const QList<int>& lnAdvancedTemplateCompo, QStringList lczAdvancedTemplateFields,
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
        QMessageBox::warning(nullptr, QStringLiteral("Warning"),
                             QStringLiteral("File %1 is read only.\nNo modifications are possible.")
                                 .arg(take->m_czBaseName),
                             QMessageBox::Ok);
        return false;
    }
    if (take->m_nTakeStatus != 0)
        return unsaved(QStringLiteral("the take is damaged (status %1)").arg(take->m_nTakeStatus));

    const bool wasLong = take->IsLongName();
    NameTarget target = NameTarget::None;
    if (bConvertToShort) {
        target = NameTarget::Short;
    } else if (bConvertToLong) {
        target = NameTarget::Long;
    } else if (nValSeparator == -1) {
        target = wasLong ? NameTarget::Long : NameTarget::Short;
        if (wasLong)
            nValSeparator = take->IsFullUnderscore() ? 1 : 0;
    }

    // Names the files hold already are asked for before the other edits
    // make their documents built ones.
    const bool namesHeld = take->OrvexTracknamesHeld(trackNames, bMulti);
    // The documents first, in memory; the files change only when the take
    // object writes them.
    bool templateSettled = false;
    bool fieldsSettled = false;
    for (int t = 0; t < QSoundPerform::kMaxTracks; ++t) {
        if (!take->m_pbPresent[t])
            continue;
        QSoundFile& file = take->m_SndFile[t];
        if (!bMulti) {
            file.SetiXMLScene(t, scene, nScTkTemplate, false, lnAdvancedTemplateCompo, lczAdvancedTemplateFields);
            file.SetiXMLTake(t, takePrefix, takeNumber, nScTkTemplate);
            file.SetiXMLNote(t, note);
            file.SetiXMLUbits(t, ubits);
            file.SetiXMLTape(t, tape);
            file.SetiXMLCircled(t, circled);
            file.SetiXMLFamilyName(t, take->m_bPolyTake, scene, takePrefix, takeNumber, nScTkTemplate);
            continue;
        }
        const QString keep = QString::fromLatin1(METADATA_ADV_TEMPL_FIELD_DONTCHANGE_VALUE);
        if (!fieldsSettled && scene.isEmpty() && !lnAdvancedTemplateCompo.isEmpty()
            && !lczAdvancedTemplateFields.isEmpty() && lczAdvancedTemplateFields.contains(keep)) {
            const QStringList own = take->GetiXMLAdvancedScTkFieldsList();
            if (own.size() == lczAdvancedTemplateFields.size()) {
                for (int i = 0; i < own.size(); ++i)
                    if (lczAdvancedTemplateFields.at(i) == keep)
                        lczAdvancedTemplateFields[i] = own.at(i);
                scene = lczAdvancedTemplateFields.join(QString());
            } else {
                lczAdvancedTemplateFields.clear();
            }
        }
        fieldsSettled = true;
        if (!templateSettled && nScTkTemplate == -1)
            nScTkTemplate = file.GetiXMLScTkTemplate();
        templateSettled = true;
        if (!scene.isEmpty())
            file.SetiXMLScene(t, scene, nScTkTemplate, true, lnAdvancedTemplateCompo, lczAdvancedTemplateFields);
        if (!takePrefix.isEmpty() && nScTkTemplate != -1 && !takeNumber.isEmpty())
            file.SetiXMLTake(t, takePrefix, takeNumber, nScTkTemplate);
        if (!note.isEmpty())
            file.SetiXMLNote(t, note);
        if (!ubits.trimmed().isEmpty())
            file.SetiXMLUbits(t, ubits);
        if (!tape.trimmed().isEmpty())
            file.SetiXMLTape(t, tape);
        if (!circled.trimmed().isEmpty())
            file.SetiXMLCircled(t, circled);
    }
    for (int t = 0; t < QSoundPerform::kMaxTracks; ++t)
        if (!bMulti || !trackNames[t].isEmpty())
            take->SetiXMLTrackName(t, trackNames[t]);
    if (!namesHeld)
        take->SetiXMLOrvexTracknames(trackNames, bMulti);

    // What a rename needs and several-take mode left empty comes from the take.
    const QString bextScene = scene;
    const QString bextPrefix = takePrefix;
    const QString bextNumber = takeNumber;
    if (bMulti) {
        if (scene.isEmpty())
            scene = take->m_czScene;
        if (takePrefix.isEmpty() || takeNumber.isEmpty()) {
            const int own = take->m_nScTkTemplate;
            if (own == 2 || own == 3 || own == 5) {
                if (takePrefix.isEmpty())
                    takePrefix = take->m_czTakePrefix;
                if (takeNumber.isEmpty())
                    takeNumber = take->m_czTake;
            } else if (!take->m_czTake.isEmpty()) {
                if (takePrefix.isEmpty())
                    takePrefix = take->m_czTake.left(1);
                if (takeNumber.isEmpty())
                    takeNumber = take->m_czTake.mid(1);
            }
        }
        if (nScTkTemplate == -1)
            nScTkTemplate = take->m_nScTkTemplate;
    }
    take->m_czScene = scene;
    // The bext lines of each closed member are kept by its file object and
    // written by the take's save below, in the same transaction as the
    // iXML: a refused or interrupted save changes neither.
    bool bextWritten = true;
    for (int t = 0; t < QSoundPerform::kMaxTracks; ++t) {
        if (!take->m_pbPresent[t])
            continue;
        QSoundFile& file = take->m_SndFile[t];
        if (!bMulti) {
            bextWritten = file.InsertInBextDescr(scene, takePrefix, takeNumber, nScTkTemplate,
                                                 note.left(kSingleNoteBext), ubits, tape,
                                                 take->m_bPolyTake ? -1 : t, trackNames[take->m_bPolyTake ? 0 : t])
                          && bextWritten;
        } else {
            if (!bextScene.isEmpty())
                bextWritten = file.InsertInBextDescrScene(bextScene, nScTkTemplate) && bextWritten;
            if (!bextPrefix.isEmpty() && !bextNumber.isEmpty())
                bextWritten = file.InsertInBextDescrTake(bextPrefix, bextNumber, nScTkTemplate) && bextWritten;
            if (!note.isEmpty())
                bextWritten = file.InsertInBextDescrNote(note.left(kMultiNoteBext)) && bextWritten;
            if (!ubits.trimmed().isEmpty())
                bextWritten = file.InsertInBextDescrUbits(ubits) && bextWritten;
            if (!tape.trimmed().isEmpty())
                bextWritten = file.InsertInBextDescrTape(tape) && bextWritten;
        }
    }
    if (!bextWritten)
        return unsaved(QStringLiteral("its bext description could not be written in every file"));
    pending->eTarget = target;
    pending->bWasLong = wasLong;
    pending->czTakePrefix = takePrefix;
    pending->czTakeNumber = takeNumber;
    pending->nScTkTemplate = nScTkTemplate;
    pending->nValSeparator = nValSeparator;
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
