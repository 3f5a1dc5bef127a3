// The take's metadata setters and the write-back of the iXML chunks.
#include "take/soundperform.h"

#include "foundation/fileutil.h"
#include "foundation/messageloging.h"
#include "foundation/platform/diskprobes.h"
#include "foundation/recordfiles.h"
#include "soundfile/chunkjournal.h"
#include "soundfile/ixmlnames.h"
#include "take/takefamily.h"
#include "take/takesavegroup.h"
#include "take/takesavejournal.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <algorithm>
#include <cerrno>
#include <fcntl.h>
#include <map>
#include <memory>
#include <sys/stat.h>
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

QVector<bool> QSoundPerform::UpdateiXMLChunks(const QVector<QSoundPerform*>& takes, bool tellUser)
{
    QVector<bool> saved(takes.size(), false);
    for (QSoundPerform* take : takes)
        take->m_czSaveReport.clear();
    for (int first = 0; first < takes.size();) {
        TakeSaveGroup group;
        int next = first;
        for (; next < takes.size() && group.Fits(*takes.at(next)); ++next)
            group.Add(*takes.at(next));
        SaveGroup(takes.mid(first, next - first), saved.data() + first);
        first = next;
    }
    for (const QSoundPerform* take : takes) {
        if (tellUser && !take->m_czSaveReport.isEmpty())
            SendUserMessage(QStringLiteral("Take save"), QStringLiteral("Path:%1\nFile:%2\n%3")
                                                             .arg(take->m_czTakeFolder, take->m_czBaseName,
                                                                  take->m_czSaveReport));
    }
    return saved;
}

void QSoundPerform::ReportSave(const QString& text)
{
    m_czSaveReport += (m_czSaveReport.isEmpty() ? QString() : QStringLiteral("\n")) + text;
}

namespace {

// One take's transaction within a group save.
struct tyTakeSave {
    QSoundPerform* pTake = nullptr;
    QList<int> lMembers;
    tyIxmlRewrite plans[QSoundPerform::kMaxTracks];
    QByteArray payloads[QSoundPerform::kMaxTracks];
    tyChunkJournalWrite record;   // what undoes the save, once planned
    bool bLive = true;            // not refused or undone so far
    bool bRecordGone = false;     // its record removed by this save itself (see recordfiles.h, I3)
    int nLastWritten = -1;        // the member (index in lMembers) of the last write, -1 before the first
    QPair<qint64, qint64> lastWrite;   // where in it (see RiffChunkWriter::LastWrite)
};

QString FolderOf(const QSoundPerform* take) { return QDir::cleanPath(take->m_czTakeFolder) + QLatin1Char('/'); }

// The folder itself, whatever path reaches it (a link to it, a second
// mount of its volume): its device and file number, where the volume
// keeps them; else its path with every link resolved.
QString FolderIdentity(const QString& folder)
{
    struct stat status;
    if (::stat(QFile::encodeName(folder).constData(), &status) == 0 && status.st_ino != 0)
        return QStringLiteral("%1:%2").arg(quint64(status.st_dev)).arg(quint64(status.st_ino));
    const QString canonical = QFileInfo(folder).canonicalFilePath();
    return canonical.isEmpty() ? folder : canonical;
}

} // namespace

// A group of takes saved side by side. Each take is one transaction over
// its files: plan every member's final layout so that all end at one
// length, record what undoes the save (synced) before the first byte
// changes, reserve every member's final length (bytes past the RIFF size),
// then commit member by member and remove the record. A kill or a full card
// at any step leaves the take loadable as before or as after: the loaders
// roll a left record back. The takes go through the steps below together
// and share each wait for the disk: the records' sync, the members' sync,
// the sync of the records' removal. No take's own order changes (its record
// is on the disk before its first change, its files before its record goes,
// the removal before it counts as saved); a take only waits for the others
// to reach the same step. A record undoes its own take's files only, so a
// kill between two steps leaves every take old or new.
class TakeGroupSave
{
public:
    explicit TakeGroupSave(const QVector<QSoundPerform*>& takes);
    ~TakeGroupSave();
    // The steps, in this order; the result of each take in saved.
    void LockFolders();
    void PlanTakes();
    void WriteRecords();
    void CheckRecordedTakes();
    void ReserveAndCommit();
    void SyncMembers();
    void RemoveRecords();
    void Finish(bool* saved);

private:
    void PlanTake(tyTakeSave& save);
    // The record a killed save left, settled before the take is planned;
    // false (the take refused) when the save must not go on.
    bool SettleLeftSave(tyTakeSave& save, const FolderNameProbe& names);
    void Refuse(tyTakeSave& save, const QString& why);
    // Puts every member back from the take's record.
    void Undo(tyTakeSave& save, const QString& why);
    // What the record's name holds now (error: why it could not be read):
    // asked before every write of a member (recordfiles.h, I1, I2).
    RecordName RecordNameNow(const tyTakeSave& save, int* error) const;
    // Stops a save whose record no longer holds its token (named): told
    // what its files hold.
    void StopNotOwn(tyTakeSave& save, RecordName named, int error);
    // Stops a save whose record another program took over or removed.
    void StopTakenOver(tyTakeSave& save);
    // What the take's files hold now against this save's record.
    QString DiskText(const tyTakeSave& save) const;
    QString NoRoomText(const tyTakeSave& save) const;
    QString BusyText(const tyTakeSave& save) const;

    std::vector<tyTakeSave> m_vSaves;
    // Each take's folder as it names it: one lock per folder (a thread must
    // not hold two on one folder, see FolderIdentity), shared by every path
    // that reaches it. Null: another holder kept it.
    std::map<QString, std::shared_ptr<TakeFolderLock>> m_mLocks;
    std::map<QString, int> m_mRemovedIn;   // folder: its held descriptor, -1 when opened for the sync
};

TakeGroupSave::TakeGroupSave(const QVector<QSoundPerform*>& takes) : m_vSaves(size_t(takes.size()))
{
    for (int i = 0; i < takes.size(); ++i) {
        tyTakeSave& save = m_vSaves[size_t(i)];
        save.pTake = takes.at(i);
        save.pTake->CloseFiles();
        for (int t = 0; t < QSoundPerform::kMaxTracks; ++t) {
            if (save.pTake->m_pbPresent[t])
                save.lMembers << t;
        }
        save.bLive = !save.lMembers.isEmpty();
    }
}

TakeGroupSave::~TakeGroupSave()
{
    for (tyTakeSave& save : m_vSaves)
        CloseChunkJournal(&save.record);
}

void TakeGroupSave::Refuse(tyTakeSave& save, const QString& why)
{
    save.pTake->ReportSave(why + QStringLiteral("\nNothing was written."));
    for (int t : save.lMembers)
        save.pTake->m_SndFile[t].Close();
    CloseChunkJournal(&save.record);
    save.bLive = false;
}

void TakeGroupSave::Undo(tyTakeSave& save, const QString& why)
{
    for (int t : save.lMembers)
        save.pTake->m_SndFile[t].Close();
    // Only this save's own record is applied, known by its token (see
    // recordfiles.h), as this writer's whatever the volume's locks say of
    // it. A record in its place (on a volume without locks) is another
    // writer's, whose take it describes.
    const bool taken = save.record.head.isEmpty() || ChunkJournalName(save.record) != RecordName::Own;
    CloseChunkJournal(&save.record);
    const tyJournalRollBack result = taken ? tyJournalRollBack() : RollBackChunkJournal(save.record.czPath,
                                                                                        save.record.head);
    if (!result.bRecord) {
        // Taken over meanwhile: what the files hold is told as it stands.
        save.pTake->ReportSave(why + QStringLiteral("\nIts save record was removed or replaced by another program, so "
                                                    "the take could not be put back. ")
                               + DiskText(save));
        save.bLive = false;
        return;
    }
    if (result.eWriter == RecordWriter::Gone && result.lczFailed.isEmpty()) {
        Refuse(save, why);
        return;
    }
    if (!result.lczChanged.isEmpty())
        save.pTake->ReportSave(why + QStringLiteral("\nThe take could not be put back: another program changed its "
                                                    "files meanwhile, and they may hold part of this save:\n")
                               + result.lczFailed.join(QLatin1Char('\n')));
    else
        save.pTake->ReportSave(why + QStringLiteral("\nThe take could not be put back yet; its next load does it:\n")
                               + result.lczFailed.join(QLatin1Char('\n')));
    save.bLive = false;
}

QString TakeGroupSave::BusyText(const tyTakeSave& save) const { return RecordTexts::Busy(save.pTake->m_czBaseName); }

RecordName TakeGroupSave::RecordNameNow(const tyTakeSave& save, int* error) const
{
    return RecordNameIsOwn(save.record.czPath, save.record.head, false, save.record.nFd, error);
}

void TakeGroupSave::StopNotOwn(tyTakeSave& save, RecordName named, int error)
{
    if (named == RecordName::Unreadable)
        Undo(save, RecordTexts::NotReadBack(save.record.czPath, SystemErrorText(error)));
    else
        StopTakenOver(save);
}

void TakeGroupSave::StopTakenOver(tyTakeSave& save)
{
    // Nothing more is written (I2): the record that undoes this save is
    // gone or another's, and the other program settled the take as it
    // found it.
    for (int t : save.lMembers)
        save.pTake->m_SndFile[t].Close();
    CloseChunkJournal(&save.record);
    MyQDebug("TakeGroupSave: the save record %s is no longer this save's", qPrintable(save.record.czPath));
    // Its last write may have landed after the take-over: mended first, so
    // that the text tells the files as they stay.
    const int last = save.nLastWritten;
    const QString mended = last < 0 ? QString()
                                    : MendLateWrite(QFileInfo(save.record.czPath).absolutePath(),
                                                    save.record.lMembers.at(last), save.plans[save.lMembers.at(last)],
                                                    save.lastWrite);
    save.pTake->ReportSave(RecordTexts::TakenOver(save.pTake->m_czBaseName, DiskText(save))
                           + (mended.isEmpty() ? QString() : QLatin1Char(' ') + mended));
    save.bLive = false;
}

QString TakeGroupSave::DiskText(const tyTakeSave& save) const
{
    const QString folder = QFileInfo(save.record.czPath).absolutePath() + QLatin1Char('/');
    int before = 0, partly = 0, other = 0;
    for (const tyChunkUndo& member : save.record.lMembers) {
        QFile file(folder + member.czFileName);
        QString why;
        if (!file.open(QIODevice::ReadOnly)) {
            ++other;
            continue;
        }
        switch (RiffChunkWriter::MatchUndo(file, member, &why)) {
        case RiffChunkWriter::UndoMatch::Before: ++before; break;
        case RiffChunkWriter::UndoMatch::Partly: ++partly; break;
        case RiffChunkWriter::UndoMatch::Changed:
        case RiffChunkWriter::UndoMatch::Unfit:
        case RiffChunkWriter::UndoMatch::Unproven: ++other; break;   // a record of ours proves its tail
        }
    }
    const int count = save.record.lMembers.size();
    if (before == count)
        return QStringLiteral("Its files are as they were before this save; save it again.");
    return QStringLiteral("Of its %1 files, %2 hold this save (or part of it), %3 are as before it and %4 were changed "
                          "by another program: select the take again, check it and save it again.")
        .arg(count)
        .arg(partly)
        .arg(before)
        .arg(other);
}

bool TakeGroupSave::SettleLeftSave(tyTakeSave& save, const FolderNameProbe& names)
{
    QSoundPerform* take = save.pTake;
    int error = 0;
    switch (RollBackLeftSave(take->m_czTakeFolder, take->m_czBaseName, names, &error)) {
    case LeftSave::None:
        return true;
    case LeftSave::Live:
        // Another writer's, on a volume without locks: its save runs.
        Refuse(save, BusyText(save));
        return false;
    case LeftSave::Stale:
        // A record that can never be applied, of which the user was told
        // (check the take, save it again): this save writes the whole take
        // and makes its own record in that one's place.
        error = DropLeftSave(take->m_czTakeFolder, take->m_czBaseName);
        if (error == 0)
            return true;
        if (error == EBUSY) {
            Refuse(save, BusyText(save));
            return false;
        }
        break;
    case LeftSave::Blocked:
        Refuse(save, LeftSaveBlockedText(take->m_czBaseName, error, false));
        return false;
    case LeftSave::Unproven:
        Refuse(save, LeftSaveUnprovenText(take->m_czBaseName, false));
        return false;
    case LeftSave::Kept:
        // Put back, but its record may still stand where this save's goes.
        break;
    }
    Refuse(save, QStringLiteral("The record of an interrupted save of take %1 could not be removed (%2).")
                     .arg(take->m_czBaseName, SystemErrorText(error)));
    return false;
}

QString TakeGroupSave::NoRoomText(const tyTakeSave& save) const
{
    return QStringLiteral("not enough space on the card to save take %1").arg(save.pTake->m_czBaseName);
}

void TakeGroupSave::LockFolders()
{
    // The takes' folders alone from before the plan until the records are
    // gone: no load reads a take half saved or takes a save's record for a
    // killed one, and a second save plans from this one's result.
    // Taken in the order of the folders' identities, the same in every
    // thread.
    std::map<QString, QStringList> paths;   // identity: the paths that reach it
    for (const tyTakeSave& save : m_vSaves) {
        if (!save.bLive)
            continue;
        const QString folder = FolderOf(save.pTake);
        QStringList& reaching = paths[FolderIdentity(folder)];
        if (!reaching.contains(folder))
            reaching << folder;
    }
    for (const auto& [identity, reaching] : paths) {
        auto lock = std::make_shared<TakeFolderLock>();
        if (!lock->Acquire(reaching.first(), TakeFolderLock::Mode::Alone))
            lock.reset();
        for (const QString& folder : reaching)
            m_mLocks.emplace(folder, lock);
    }
}

void TakeGroupSave::PlanTakes()
{
    for (tyTakeSave& save : m_vSaves) {
        if (save.bLive)
            PlanTake(save);
    }
}

void TakeGroupSave::PlanTake(tyTakeSave& save)
{
    QSoundPerform* take = save.pTake;
    const TakeFolderLock* lock = m_mLocks[FolderOf(take)].get();
    if (!lock) {
        Refuse(save, BusyText(save));
        return;
    }
    // What the folder holds now, asked of the disk under the lock: the load
    // may have found the take's files in a kept listing, and another
    // program may have moved a member in or out since. A save writes the
    // take the disk holds or nothing. Asked name by name: a day of
    // thousands of files reads for far longer than a take's names take.
    const FolderNameProbe names(take->m_czTakeFolder, FolderNameProbe::Listing::AskDisk);
    if (!SettleLeftSave(save, names))
        return;
    const QString moved = take->MemberChangedOnDisk(names);
    if (!moved.isEmpty()) {
        Refuse(save, QStringLiteral("The take's files changed on disk since it was opened (%1); select the "
                                    "take again.").arg(moved));
        return;
    }
    QByteArray texts[QSoundPerform::kMaxTracks];
    take->BuildSaveTexts(texts);
    // bext lines set while the members were closed go in with the chunks.
    QList<QPair<qint64, QByteArray>> fields[QSoundPerform::kMaxTracks];
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
    QStringList fileNames;
    bool inFolder = take->m_czTakeFolder.endsWith(QLatin1Char('/'));
    for (int t : save.lMembers) {
        const QString path = take->m_SndFile[t].GetPath();
        inFolder = inFolder && path.startsWith(take->m_czTakeFolder);
        fileNames << path.mid(take->m_czTakeFolder.size());
    }
    if (!inFolder) {
        fileNames.clear();
        for (int t : save.lMembers)
            fileNames << take->m_SndFile[t].GetPath();
    }
    bool usable = AreWritableFiles(inFolder ? take->m_czTakeFolder : QString(), inFolder ? lock->Descriptor() : -1,
                                   fileNames);
    bool unchanged = true;
    for (int i = 0; usable && unchanged && i < save.lMembers.size(); ++i) {
        QSoundFile& file = take->m_SndFile[save.lMembers.at(i)];
        const bool known = file.IsLayoutSound();
        usable = file.Open(file.GetPath(), 2) && (known || file.ReadChunks(false, true)) && file.IsLayoutSound();
        unchanged = !usable || !known || file.ChunkWriter().LayoutOnDiskMatches();
    }
    if (!usable || !unchanged) {
        Refuse(save, usable ? QStringLiteral("the take changed on disk since it was opened")
                            : QStringLiteral("The take's files cannot all be written."));
        return;
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
        Refuse(save, QStringLiteral("The take's files cannot be given equal sizes."));
        return;
    }
    qint64 growth = 0;
    for (int t : save.lMembers)
        growth += save.plans[t].nFinalLength - save.plans[t].nOldLength;
    if (growth > 0) {
        const qint64 freeBytes = FreeSpaceBytes(take->m_czTakeFolder);
        if (freeBytes >= 0 && freeBytes < growth) {
            Refuse(save, NoRoomText(save));
            return;
        }
    }
    // The record of what undoes the save.
    for (int t : save.lMembers) {
        tyChunkUndo member;
        save.payloads[t] = texts[t];
        save.payloads[t].append(int(save.plans[t].nChunkSize) - texts[t].size(), ' ');
        RiffChunkWriter writer = take->m_SndFile[t].ChunkWriter();
        if (!writer.ReadUndo(save.plans[t], save.payloads[t], &member)) {
            Refuse(save, writer.ErrorText());
            return;
        }
        member.czFileName = QFileInfo(take->m_SndFile[t].GetPath()).fileName();
        save.record.lMembers << member;
    }
    save.record.czPath = TakeSaveJournalPath(take->m_czTakeFolder, take->m_czBaseName);
}

void TakeGroupSave::WriteRecords()
{
    // Every record on the disk before any member changes.
    QList<tyChunkJournalWrite> records;
    std::vector<tyTakeSave*> writers;
    for (tyTakeSave& save : m_vSaves) {
        if (save.bLive) {
            records << save.record;
            writers.push_back(&save);
        }
    }
    WriteChunkJournals(&records);
    for (size_t i = 0; i < writers.size(); ++i) {
        tyTakeSave& save = *writers[i];
        save.record.nError = records.at(int(i)).nError;
        save.record.czWhy = records.at(int(i)).czWhy;
        save.record.nFd = records.at(int(i)).nFd;
        save.record.head = records.at(int(i)).head;
        if (save.record.nError == EBUSY)
            Refuse(save, BusyText(save));
        else if (save.record.nError != 0)
            Refuse(save, IsNoRoom(save.record.nError)
                             ? NoRoomText(save)
                             : QStringLiteral("The save record cannot be written: %1").arg(save.record.czWhy));
    }
}

void TakeGroupSave::CheckRecordedTakes()
{
    // Where the folder lock does not reach the other writers (a share used
    // by two computers: each one's lock is its own), another writer may
    // have saved the take between this one's plan and its record. The
    // record, made only where none was, now keeps every other writer of
    // ours out, and the members must still hold what the plan and the
    // record were made from. A take changed meanwhile is refused with its
    // record removed; no member was touched. A few reads of each member's
    // headers, which its plan has just read: asked on every volume, also
    // where locks reach every writer (LocksReachEveryWriter), since a
    // program that writes without the folder lock is met there too.
    for (tyTakeSave& save : m_vSaves) {
        if (!save.bLive)
            continue;
        bool unchanged = true;
        for (int i = 0; unchanged && i < save.lMembers.size(); ++i) {
            const int t = save.lMembers.at(i);
            unchanged = save.pTake->m_SndFile[t].ChunkWriter().StillAsRecorded(save.record.lMembers.at(i));
        }
        if (unchanged)
            continue;
        // Nothing of the take was written: whether the record goes or not,
        // it puts back nothing (every member holds its old bytes).
        if (const int removed = RemoveChunkJournal(&save.record))
            MyQDebug("TakeGroupSave::CheckRecordedTakes(): the record of a take refused before any write "
                     "stays: %s",
                     qPrintable(SystemErrorText(removed)));
        Refuse(save, QStringLiteral("the take changed on disk since it was opened"));
    }
}

void TakeGroupSave::ReserveAndCommit()
{
    // Reserve, then commit; a failure in either puts every member of that
    // take back. The record is asked for before every single write (I1,
    // I2): a save taken over meanwhile writes nothing more, so only a write
    // already under way when the record was taken can land after it.
    for (tyTakeSave& save : m_vSaves) {
        QSoundPerform* take = save.pTake;
        RecordName named = RecordName::Own;
        int error = 0;
        const RiffChunkWriter::WriteCheck stillOwn = [&] {
            // I1: a member changes only under this save's record, on the disk.
            Q_ASSERT(save.record.nError == 0 && !save.record.head.isEmpty());
            named = RecordNameNow(save, &error);
            return named == RecordName::Own;
        };
        for (int i = 0; save.bLive && i < save.lMembers.size(); ++i) {
            const int t = save.lMembers.at(i);
            RiffChunkWriter writer = take->m_SndFile[t].ChunkWriter();
            const bool reserved = writer.ReserveIxmlRewrite(save.plans[t], save.payloads[t], stillOwn);
            if (writer.LastWrite().second > 0) {
                save.nLastWritten = i;
                save.lastWrite = writer.LastWrite();
            }
            if (reserved)
                continue;
            if (writer.Stopped()) {
                StopNotOwn(save, named, error);
                break;
            }
            MyQDebug("TakeGroupSave::ReserveAndCommit(): member %d of %d cannot grow: %s", i + 1,
                     int(save.lMembers.size()), qPrintable(writer.ErrorText()));
            Undo(save, IsNoRoom(writer.ErrorNumber()) ? NoRoomText(save) : writer.ErrorText());
        }
        for (int i = 0; save.bLive && i < save.lMembers.size(); ++i) {
            const int t = save.lMembers.at(i);
            RiffChunkWriter writer = take->m_SndFile[t].ChunkWriter();
            const bool committed = writer.CommitIxmlRewrite(save.plans[t], save.payloads[t], stillOwn);
            if (writer.LastWrite().second > 0) {
                save.nLastWritten = i;
                save.lastWrite = writer.LastWrite();
            }
            if (committed)
                continue;
            if (writer.Stopped())
                StopNotOwn(save, named, error);
            else
                Undo(save, QStringLiteral("The save failed and was undone: %1").arg(writer.ErrorText()));
        }
    }
}

void TakeGroupSave::SyncMembers()
{
    // Every member on the disk before the records go: a power cut after a
    // removal must find the new take whole. One sync cannot tell whose file
    // it refused, so a refusal undoes every take of the group.
    QVector<int> descriptors;
    for (const tyTakeSave& save : m_vSaves) {
        for (int i = 0; save.bLive && i < save.lMembers.size(); ++i)
            descriptors << save.pTake->m_SndFile[save.lMembers.at(i)].FileHandle();
    }
    if (const int syncError = SyncFiles(descriptors)) {
        for (tyTakeSave& save : m_vSaves) {
            if (save.bLive)
                Undo(save, QStringLiteral("The saved files could not be synced to the card: %1")
                               .arg(SystemErrorText(syncError)));
        }
    }
}

void TakeGroupSave::RemoveRecords()
{
    // A record left behind would undo its save at the next load (and would
    // not even be found there once the take is renamed): a save whose record
    // cannot be removed is undone now, while the record still says how, and
    // counts as not saved.
    for (tyTakeSave& save : m_vSaves) {
        if (!save.bLive)
            continue;
        const int removed = RemoveChunkJournal(&save.record);
        if (removed == ESTALE) {
            // Taken over by another program (a load elsewhere that took this
            // save for an interrupted one and undid it), or replaced by
            // another writer's: never a success (I3).
            StopTakenOver(save);
            continue;
        }
        if (removed != 0) {
            Undo(save, RecordTexts::NotRemoved(save.record.czPath, SystemErrorText(removed)));
            continue;
        }
        save.bRecordGone = true;
        const TakeFolderLock* lock = m_mLocks[FolderOf(save.pTake)].get();
        m_mRemovedIn.emplace(FolderOf(save.pTake), lock ? lock->Descriptor() : -1);
    }
}

void TakeGroupSave::Finish(bool* saved)
{
    // A removal not on the disk when the power fails would bring the record
    // back: the folders are synced once all records are gone, those whose
    // lock is held through the lock's descriptor.
    QStringList named;
    QVector<int> held;
    for (const auto& [folder, fd] : m_mRemovedIn) {
        if (fd >= 0)
            held << fd;
        else
            named << folder;
    }
    const int folderError = SyncFolders(named, held);
    for (size_t i = 0; i < m_vSaves.size(); ++i) {
        tyTakeSave& save = m_vSaves[i];
        if (!save.bLive)
            continue;
        QSoundPerform* take = save.pTake;
        Q_ASSERT(save.bRecordGone);   // I3: saved only once its own removal of its record succeeded
        if (folderError != 0 && m_mRemovedIn.count(FolderOf(take)) != 0)
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

void QSoundPerform::SaveGroup(const QVector<QSoundPerform*>& takes, bool* saved)
{
    TakeGroupSave group(takes);
    group.LockFolders();
    group.PlanTakes();
    group.WriteRecords();
    group.CheckRecordedTakes();
    group.ReserveAndCommit();
    group.SyncMembers();
    group.RemoveRecords();
    group.Finish(saved);
}

QString QSoundPerform::MemberChangedOnDisk(const FolderNameProbe& names) const
{
    const QString dotExt = QLatin1Char('.') + m_czExtension;
    tyTakeFamily family;
    FindTakeFamilyOnDisk(m_czTakeFolder + m_czBaseName + (m_bPolyTake ? dotExt : QString()), m_czExtension, names,
                         &family);
    if (family.bPoly != m_bPolyTake)
        return QStringLiteral("%1 is now a %2 take").arg(m_czBaseName, family.bPoly ? QStringLiteral("poly")
                                                                                     : QStringLiteral("mono"));
    for (int t = 0; t < kMaxTracks; ++t) {
        const QString loaded = m_pbPresent[t] ? m_SndFile[t].GetPath() : QString();
        if (family.czPath[t] == loaded)
            continue;
        // Another maker's file of a track's name was no member at the load.
        if (loaded.isEmpty() && !m_bPolyTake && !JoinsFamily(ReadTrackFileHead(family.czPath[t]).eKind))
            continue;
        if (loaded.isEmpty())
            return QStringLiteral("%1 appeared").arg(QFileInfo(family.czPath[t]).fileName());
        return QStringLiteral("%1 is gone").arg(QFileInfo(loaded).fileName());
    }
    return QString();
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
