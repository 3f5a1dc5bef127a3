// The take's metadata setters and the write-back of the iXML chunks.
#include "take/soundperform.h"

#include "foundation/fileutil.h"
#include "foundation/messageloging.h"
#include "foundation/platform/diskprobes.h"
#include "soundfile/chunkjournal.h"
#include "soundfile/ixmlnames.h"
#include "take/takesavejournal.h"

#include <QDir>
#include <QFileInfo>
#include <algorithm>
#include <cerrno>
#include <fcntl.h>
#include <map>
#include <memory>
#include <unistd.h>
#include <vector>

void QSoundPerform::SetiXMLTrackName(unsigned short track, QString name)
{
    if (track >= kMaxTracks)
        return;
    m_czTrackName[track] = name;
    if (m_bPolyTake) {
        if (m_pbPresent[0])
            m_SndFile[0].SetiXMLPolyTrackName(track, name);
    } else if (m_pbPresent[track]) {
        m_SndFile[track].SetiXMLMonoTrackName(track, name);
    }
}

void QSoundPerform::SetiXMLOrvexTracknames(QString* names, bool skipEmpty)
{
    if (m_bPolyTake || !names)
        return;
    for (int t = 0; t < kMaxTracks; ++t) {
        if (m_pbPresent[t])
            m_SndFile[t].SetiXMLOrvexTracknames(names, skipEmpty);
    }
}

bool QSoundPerform::OrvexTracknamesHeld(const QString* names, bool skipEmpty) const
{
    if (m_bPolyTake || !names)
        return true;
    // The first present file is the twin the others adopted their documents from.
    const QSoundFile* twin = nullptr;
    for (int t = 0; t < kMaxTracks; ++t) {
        if (!m_pbPresent[t])
            continue;
        if (!m_SndFile[t].OrvexTracknamesHeld(names, skipEmpty, twin != nullptr))
            return false;
        if (!twin)
            twin = &m_SndFile[t];
    }
    return true;
}

QStringList QSoundPerform::GetiXMLAdvancedScTkFieldsList() const
{
    for (int t = 0; t < kMaxTracks; ++t) {
        if (m_pbPresent[t])
            return m_SndFile[t].GetiXMLAdvancedScTkFieldTexts();
    }
    return QStringList();
}

namespace {

// The card (or the file size a volume allows) has no room left.
bool IsNoRoom(int error)
{
    return error == ENOSPC || error == EFBIG || error == EDQUOT;
}

} // namespace

bool QSoundPerform::UpdateiXMLChunk()
{
    return UpdateiXMLChunks({this}).value(0);
}

QVector<bool> QSoundPerform::UpdateiXMLChunks(const QVector<QSoundPerform*>& takes)
{
    // A group holds its members open from the plan to the last sync, so its
    // size is bounded; two takes with one save record (the same take twice)
    // never share a group, since the second record would replace the first.
    QVector<bool> saved(takes.size(), false);
    for (int first = 0; first < takes.size();) {
        QVector<QSoundPerform*> group;
        QStringList records;
        int files = 0;
        int next = first;
        for (; next < takes.size(); ++next) {
            QSoundPerform* take = takes.at(next);
            int count = 0;
            for (int t = 0; t < kMaxTracks; ++t)
                count += take->m_pbPresent[t] ? 1 : 0;
            const QString record = QDir::cleanPath(TakeSaveJournalPath(take->m_czTakeFolder, take->m_czBaseName));
            if (!group.isEmpty() && (files + count > kSaveGroupFiles || records.contains(record)))
                break;
            group << take;
            records << record;
            files += count;
        }
        SaveGroup(group, saved.data() + first);
        first = next;
    }
    return saved;
}

void QSoundPerform::ReportSave(const QString& text) const
{
    SendUserMessage(QStringLiteral("QSoundPerform::UpdateiXMLChunk()"),
                    QStringLiteral("Path:%1\nFile:%2\n%3").arg(m_czTakeFolder, m_czBaseName, text));
}

namespace {

// One take's transaction within a group save.
struct tyTakeSave {
    QSoundPerform* pTake = nullptr;
    QList<int> lMembers;
    tyIxmlRewrite plans[QSoundPerform::kMaxTracks];
    QByteArray payloads[QSoundPerform::kMaxTracks];
    QString czJournal;
    bool bLive = true;   // not refused or undone so far
};

} // namespace

void QSoundPerform::SaveGroup(const QVector<QSoundPerform*>& takes, bool* saved)
{
    // Each take is one transaction over its files: plan every member's final
    // layout so that all end at one length, record what undoes the save
    // (synced) before the first byte changes, reserve every member's final
    // length (bytes past the RIFF size), then commit member by member and
    // remove the record. A kill or a full card at any step leaves the take
    // loadable as before or as after: the loaders roll a left record back.
    // The takes of a group go through these steps side by side and share
    // each wait for the disk: the records' sync, the members' sync, the sync
    // of the records' removal. No take's own order changes (its record is on
    // the disk before its first change, its files before its record goes,
    // the removal before it counts as saved); a take only waits for the
    // others to reach the same step. A record undoes its own take's files
    // only, so a kill between two steps leaves every take old or new.
    std::vector<tyTakeSave> saves(size_t(takes.size()));
    for (int i = 0; i < takes.size(); ++i) {
        tyTakeSave& save = saves[size_t(i)];
        save.pTake = takes.at(i);
        save.pTake->CloseFiles();
        for (int t = 0; t < kMaxTracks; ++t) {
            if (save.pTake->m_pbPresent[t])
                save.lMembers << t;
        }
        save.bLive = !save.lMembers.isEmpty();
    }
    auto refuse = [](tyTakeSave& save, const QString& why) {
        save.pTake->ReportSave(why + QStringLiteral("\nNothing was written."));
        for (int t : save.lMembers)
            save.pTake->m_SndFile[t].Close();
        save.bLive = false;
    };
    // The takes' folders alone from before the plan until the records are
    // gone: no load reads a take half saved or takes a save's record for a
    // killed one, and a second save plans from this one's result. One lock
    // per folder (a thread must not hold two on one folder), taken in the
    // folders' order; a folder spelt two ways is one folder.
    auto folderOf = [](const QSoundPerform* take) { return QDir::cleanPath(take->m_czTakeFolder) + QLatin1Char('/'); };
    std::map<QString, std::unique_ptr<TakeFolderLock>> locks;
    for (const tyTakeSave& save : saves) {
        if (save.bLive)
            locks.emplace(folderOf(save.pTake), nullptr);
    }
    for (auto& [folder, lock] : locks) {
        lock = std::make_unique<TakeFolderLock>();
        if (!lock->Acquire(folder, TakeFolderLock::Mode::Alone))
            lock.reset();
    }
    const QString noRoomText = QStringLiteral("not enough space on the card to save take %1");
    QList<tyChunkJournalWrite> records;
    for (tyTakeSave& save : saves) {
        QSoundPerform* take = save.pTake;
        if (!save.bLive)
            continue;
        const TakeFolderLock* lock = locks[folderOf(take)].get();
        if (!lock) {
            refuse(save, QStringLiteral("Take %1 is being saved or read by another window or program; save "
                                        "again in a moment.").arg(take->m_czBaseName));
            continue;
        }
        RollBackLeftSave(take->m_czTakeFolder, take->m_czBaseName);
        QByteArray texts[kMaxTracks];
        take->BuildSaveTexts(texts);
        // bext lines set while the members were closed go in with the chunks.
        QList<QPair<qint64, QByteArray>> fields[kMaxTracks];
        for (int t : save.lMembers) {
            QPair<qint64, QByteArray> field;
            if (take->m_SndFile[t].PendingBextField(&field.first, &field.second))
                fields[t] << field;
        }

        // Plan from the layout each member was read with (the load, or this
        // program's own last write), checked on the disk: another program's
        // change since is refused. A member never walked is walked now.
        // A write-protected member may still open for writing (as root, or
        // through a probe): the probe is asked first, by name in the folder
        // the lock holds open.
        QStringList names;
        bool inFolder = take->m_czTakeFolder.endsWith(QLatin1Char('/'));
        for (int t : save.lMembers) {
            const QString path = take->m_SndFile[t].GetPath();
            inFolder = inFolder && path.startsWith(take->m_czTakeFolder);
            names << path.mid(take->m_czTakeFolder.size());
        }
        if (!inFolder) {
            names.clear();
            for (int t : save.lMembers)
                names << take->m_SndFile[t].GetPath();
        }
        bool usable = AreWritableFiles(inFolder ? take->m_czTakeFolder : QString(),
                                       inFolder ? lock->Descriptor() : -1, names);
        bool unchanged = true;
        for (int i = 0; usable && unchanged && i < save.lMembers.size(); ++i) {
            QSoundFile& file = take->m_SndFile[save.lMembers.at(i)];
            const bool known = file.IsLayoutSound();
            usable = file.Open(file.GetPath(), 2) && (known || file.ReadChunks(false, true)) && file.IsLayoutSound();
            unchanged = !usable || !known || file.ChunkWriter().LayoutOnDiskMatches();
        }
        if (!usable || !unchanged) {
            refuse(save, usable ? QStringLiteral("the take changed on disk since it was opened")
                                : QStringLiteral("The take's files cannot all be written."));
            continue;
        }
        QList<qint64> lengths;
        qint64 longest = 0;
        for (int t : save.lMembers) {
            const tyRiffLayout& layout = take->m_SndFile[t].GetLayout();
            longest = qMax(longest, layout.nFileLength);
            for (qint64 length : RiffChunkWriter::IxmlRewriteLengths(layout, texts[t].size()))
                lengths << length << length + 1;
        }
        std::sort(lengths.begin(), lengths.end());
        bool planned = false;
        for (int i = 0; i < lengths.size() && !planned; ++i) {
            if (lengths.at(i) < longest || (i > 0 && lengths.at(i) == lengths.at(i - 1)))
                continue;
            planned = true;
            for (int t : save.lMembers)
                planned = planned && RiffChunkWriter::PlanIxmlRewrite(take->m_SndFile[t].GetLayout(), texts[t].size(),
                                                                      lengths.at(i), &save.plans[t]);
        }
        for (int t : save.lMembers)
            save.plans[t].lFields = fields[t];
        if (!planned) {
            refuse(save, QStringLiteral("The take's files cannot be given equal sizes."));
            continue;
        }
        qint64 growth = 0;
        for (int t : save.lMembers)
            growth += save.plans[t].nFinalLength - save.plans[t].nOldLength;
        if (growth > 0) {
            const qint64 freeBytes = FreeSpaceBytes(take->m_czTakeFolder);
            if (freeBytes >= 0 && freeBytes < growth) {
                refuse(save, noRoomText.arg(take->m_czBaseName));
                continue;
            }
        }
        // The record of what undoes the save.
        tyChunkJournalWrite record;
        for (int t : save.lMembers) {
            tyChunkUndo member;
            save.payloads[t] = texts[t];
            save.payloads[t].append(int(save.plans[t].nChunkSize) - texts[t].size(), ' ');
            RiffChunkWriter writer = take->m_SndFile[t].ChunkWriter();
            if (!writer.ReadUndo(save.plans[t], save.payloads[t], &member)) {
                refuse(save, writer.ErrorText());
                break;
            }
            member.czFileName = QFileInfo(take->m_SndFile[t].GetPath()).fileName();
            record.lMembers << member;
        }
        if (!save.bLive)
            continue;
        save.czJournal = TakeSaveJournalPath(take->m_czTakeFolder, take->m_czBaseName);
        record.czPath = save.czJournal;
        records << record;
    }

    // Every record on the disk before any member changes.
    WriteChunkJournals(&records);
    int recordIndex = 0;
    for (tyTakeSave& save : saves) {
        if (!save.bLive)
            continue;
        const tyChunkJournalWrite& record = records.at(recordIndex++);
        if (record.nError != 0)
            refuse(save, IsNoRoom(record.nError) ? noRoomText.arg(save.pTake->m_czBaseName)
                                                 : QStringLiteral("The save record cannot be written: %1")
                                                       .arg(record.czWhy));
    }

    // Reserve, then commit; a failure in either puts every member of that
    // take back.
    auto undoSave = [&refuse](tyTakeSave& save, const QString& reason) {
        for (int t : save.lMembers)
            save.pTake->m_SndFile[t].Close();
        const tyJournalRollBack result = RollBackChunkJournal(save.czJournal);
        if (result.lczFailed.isEmpty()) {
            refuse(save, reason);
            return;
        }
        save.pTake->ReportSave(reason + QStringLiteral("\nThe take could not be put back yet; its next load does it:\n")
                               + result.lczFailed.join(QLatin1Char('\n')));
        save.bLive = false;
    };
    QVector<int> descriptors;
    for (tyTakeSave& save : saves) {
        QSoundPerform* take = save.pTake;
        for (int i = 0; save.bLive && i < save.lMembers.size(); ++i) {
            const int t = save.lMembers.at(i);
            RiffChunkWriter writer = take->m_SndFile[t].ChunkWriter();
            if (!writer.ReserveIxmlRewrite(save.plans[t], save.payloads[t])) {
                MyQDebug("QSoundPerform::UpdateiXMLChunk(): member %d of %d cannot grow: %s", i + 1,
                         int(save.lMembers.size()), qPrintable(writer.ErrorText()));
                undoSave(save, IsNoRoom(writer.ErrorNumber()) ? noRoomText.arg(take->m_czBaseName)
                                                              : writer.ErrorText());
            }
        }
        for (int i = 0; save.bLive && i < save.lMembers.size(); ++i) {
            const int t = save.lMembers.at(i);
            RiffChunkWriter writer = take->m_SndFile[t].ChunkWriter();
            if (!writer.CommitIxmlRewrite(save.plans[t], save.payloads[t]))
                undoSave(save, QStringLiteral("The save failed and was undone: %1").arg(writer.ErrorText()));
        }
        for (int i = 0; save.bLive && i < save.lMembers.size(); ++i)
            descriptors << take->m_SndFile[save.lMembers.at(i)].FileHandle();
    }
    // Every member on the disk before the records go: a power cut after a
    // removal must find the new take whole. One sync cannot tell whose file
    // it refused, so a refusal undoes every take of the group.
    if (const int syncError = SyncFiles(descriptors)) {
        for (tyTakeSave& save : saves) {
            if (save.bLive)
                undoSave(save, QStringLiteral("The saved files could not be synced to the card: %1")
                                   .arg(SystemErrorText(syncError)));
        }
    }
    // A record left behind would undo its save at the next load, and so
    // would one whose removal is not on the disk when the power fails: the
    // folders are synced once all records are gone.
    std::map<QString, int> removedIn;   // folder: its descriptor, -1 when opened for the sync
    for (tyTakeSave& save : saves) {
        if (!save.bLive)
            continue;
        if (!QFile::remove(save.czJournal)) {
            save.pTake->ReportSave(QStringLiteral("The take was saved, but its save record %1 cannot be removed: "
                                                  "the next load undoes this save.").arg(save.czJournal));
            continue;
        }
        const TakeFolderLock* lock = locks[folderOf(save.pTake)].get();
        removedIn.emplace(folderOf(save.pTake), lock ? lock->Descriptor() : -1);
    }
    // Folders whose lock is held are synced through the lock's descriptor.
    QStringList named;
    QVector<int> held;
    for (const auto& [folder, fd] : removedIn) {
        if (fd >= 0)
            held << fd;
        else
            named << folder;
    }
    const int folderError = SyncFolders(named, held);
    for (int i = 0; i < int(saves.size()); ++i) {
        tyTakeSave& save = saves[size_t(i)];
        if (!save.bLive)
            continue;
        QSoundPerform* take = save.pTake;
        if (folderError != 0 && removedIn.count(folderOf(take)) != 0)
            take->ReportSave(QStringLiteral("The take was saved, but the removal of its save record cannot be put "
                                            "on the card (%1): if the power fails before the card is unmounted, "
                                            "the next load undoes this save.").arg(SystemErrorText(folderError)));
        bool replaced = false;
        for (int t : save.lMembers)
            replaced = replaced || take->m_SndFile[t].ReplacesUnreadableiXML();
        if (replaced)
            take->ReportSave(QStringLiteral("The take's iXML could not be read: it was replaced by a new one made "
                                            "from its other metadata and the edits."));
        for (int t : save.lMembers) {
            take->m_SndFile[t].AdoptIxmlRewrite(save.plans[t], save.payloads[t]);
            take->m_SndFile[t].ClearPendingBext();
            take->m_SndFile[t].Close();
        }
        saved[i] = true;
    }
}

void QSoundPerform::BuildSaveTexts(QByteArray* texts)
{
    // The documents of a mono family differ in their own track entry only,
    // as the recorder writes them and the editor changes them: the first is
    // serialised, the others are spliced from its text. Any other difference
    // (or a text that would need escaping) serialises that member itself.
    // A member adopted at the load and not built since is made from its
    // twin's document without building its own.
    int model = -1;
    tyAdoptedSaveModels adopted;
    for (int t = 0; t < kMaxTracks; ++t) {
        if (!m_pbPresent[t])
            continue;
        QSoundFile& file = m_SndFile[t];
        if (!m_bPolyTake && file.AdoptedSaveText(&adopted, &texts[t]))
            continue;
        file.EnsureDocument(t);
        if (!m_bPolyTake && model >= 0
            && m_SndFile[model].SpliceText(texts[model], file, {IxmlNames::kTrackList, IxmlNames::kTrack}, &texts[t]))
            continue;
        texts[t] = file.ToText();
        if (model < 0)
            model = t;
    }
}
