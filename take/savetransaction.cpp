// The save of takes' metadata: each take one transaction over its files,
// a group of takes carried through the steps together.
#include "take/savetransaction.h"

#include "foundation/fileutil.h"
#include "foundation/folderlock.h"
#include "foundation/messageloging.h"
#include "foundation/platform/diskprobes.h"
#include "foundation/platform/nameremoval.h"
#include "take/mixedmark.h"
#include "take/takefamily.h"
#include "take/takeverdict.h"
#include "take/savebatch.h"
#include "take/takesavejournal.h"

#include <QDir>
#include <QFile>
#include <QElapsedTimer>
#include <QFileInfo>
#include <QThread>
#include <algorithm>
#include <functional>
#include <cerrno>
#include <fcntl.h>
#include <unistd.h>

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
    return SaveBatches(SaveBatch::Gather(takes), tellUser);
}

QVector<bool> QSoundPerform::UpdateiXMLChunks(const SaveBatch& batch, bool tellUser)
{
    return SaveBatches({batch}, tellUser);
}

QVector<bool> QSoundPerform::SaveBatches(const QVector<SaveBatch>& batches, bool tellUser)
{
    QVector<QSoundPerform*> takes;
    for (const SaveBatch& batch : batches)
        takes += batch.Takes();
    QVector<bool> saved(takes.size(), false);
    for (QSoundPerform* take : takes)
        take->m_czSaveReport.clear();
    int first = 0;
    for (const SaveBatch& batch : batches) {
        SaveTransaction(batch.Takes()).Run(saved.data() + first);
        first += batch.Takes().size();
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

QString FolderOf(const QSoundPerform* take) { return QDir::cleanPath(take->m_czTakeFolder) + QLatin1Char('/'); }

} // namespace

SaveTransaction::SaveTransaction(const QVector<QSoundPerform*>& takes) : m_vSaves(size_t(takes.size()))
{
    for (int i = 0; i < takes.size(); ++i) {
        tyTakeSave& save = m_vSaves[size_t(i)];
        save.pTake = takes.at(i);
        save.pTake->CloseFiles();
        for (int t = 0; t < QSoundPerform::kMaxTracks; ++t) {
            if (save.pTake->m_pbPresent[t])
                save.lMembers << t;
        }
        if (save.lMembers.isEmpty())
            Move(save, TakeState::Refused);   // nothing to save, nothing to tell
    }
}

SaveTransaction::~SaveTransaction()
{
    for (tyTakeSave& save : m_vSaves)
        CloseChunkJournal(&save.record);
}

bool SaveTransaction::Going(const tyTakeSave& save)
{
    return save.eState != TakeState::Refused && save.eState != TakeState::Stopped && save.eState != TakeState::Left;
}

bool SaveTransaction::MoveAllowed(TakeState from, TakeState to)
{
    switch (from) {
    case TakeState::None: return to == TakeState::Named || to == TakeState::Refused;
    case TakeState::Named: return to == TakeState::FilesChange || to == TakeState::Refused;
    case TakeState::FilesChange:
        return to == TakeState::Removed || to == TakeState::Refused || to == TakeState::Stopped
               || to == TakeState::Left;
    case TakeState::Removed:
    case TakeState::Refused:
    case TakeState::Stopped:
    case TakeState::Left: break;   // ends
    }
    return false;
}

void SaveTransaction::Move(tyTakeSave& save, TakeState to)
{
    Q_ASSERT_X(MoveAllowed(save.eState, to), "SaveTransaction::Move", "a move the save record's states do not have");
    save.eState = to;
    CheckInvariants(save);
}

void SaveTransaction::CheckInvariants(const tyTakeSave& save)
{
#ifndef QT_NO_DEBUG
    const tyChunkJournalWrite& record = save.record;
    bool membersClosed = true;
    for (int t : save.lMembers)
        membersClosed = membersClosed && !save.pTake->m_SndFile[t].IsOpen();
    switch (save.eState) {
    case TakeState::None:
        Q_ASSERT_X(record.head.isEmpty() && record.nFd < 0, "SaveTransaction", "a record before WriteRecords");
        break;
    case TakeState::Named:
    case TakeState::FilesChange:
        // I1: a member changes only under this save's record, on the disk
        // under its name with this writer's token, held open.
        Q_ASSERT_X(record.nError == 0 && !record.head.isEmpty() && record.nFd >= 0, "SaveTransaction",
                   "I1: members written without the save's own record on the disk");
        break;
    case TakeState::Removed:
        // I3: saved only once its record is off its name (see RecordNotRemoved).
        Q_ASSERT_X(record.nFd < 0 && !record.head.isEmpty(), "SaveTransaction", "I3: saved without its own removal");
        break;
    case TakeState::Refused:
    case TakeState::Stopped:
    case TakeState::Left:
        // I2: an ended save writes nothing more: its files and its record let go.
        Q_ASSERT_X(record.nFd < 0 && membersClosed, "SaveTransaction", "I2: an ended save still holds its files");
        break;
    }
#else
    Q_UNUSED(save);
#endif
}

void SaveTransaction::Refuse(tyTakeSave& save, const QString& why)
{
    save.pTake->ReportSave(why + QStringLiteral("\nNothing was written."));
    for (int t : save.lMembers)
        save.pTake->m_SndFile[t].Close();
    CloseChunkJournal(&save.record);
    Move(save, TakeState::Refused);
}

void SaveTransaction::Undo(tyTakeSave& save, const QString& why)
{
    Undo(save, [&why](bool) { return why; });
}

void SaveTransaction::Undo(tyTakeSave& save, const std::function<QString(bool undone)>& why)
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
        save.pTake->ReportSave(why(false) + QLatin1Char('\n') + RecordTexts::NotPutBackTakenOver(DiskText(save)));
        Move(save, TakeState::Stopped);
        return;
    }
    if (result.eWriter == RecordWriter::Gone && result.lczFailed.isEmpty()) {
        Refuse(save, why(true));
        return;
    }
    if (!result.lczChanged.isEmpty())
        save.pTake->ReportSave(why(false) + QLatin1Char('\n') + RecordTexts::NotPutBackChanged(result.lczFailed));
    else
        save.pTake->ReportSave(why(false) + QLatin1Char('\n') + RecordTexts::PutBackAtNextLoad(result.lczFailed));
    Move(save, TakeState::Left);
}

QString SaveTransaction::BusyText(const tyTakeSave& save) const { return RecordTexts::Busy(save.pTake->m_czBaseName); }

RecordName SaveTransaction::RecordNameNow(tyTakeSave& save, int* error) const
{
    const RecordName named = RecordNameIsOwn(save.record.czPath, save.record.head, false, save.record.nFd, error);
    // Gone from its name: another removal (a writer held up past the age
    // rule, then killed) may have moved it aside. Put back, it is this
    // save's record on the disk under its name again (I1), and the save
    // goes on.
    if (named != RecordName::Gone)
        return named;
    return PutBackOwnRecord(save.record.czPath, save.record.head, false, &save.record.nFd);
}

void SaveTransaction::StopNotOwn(tyTakeSave& save, RecordName named, int error)
{
    if (named == RecordName::Unreadable)
        Undo(save, [&](bool undone) { return RecordTexts::NotReadBack(save.record.czPath, SystemErrorText(error), undone); });
    else
        StopTakenOver(save);
}

void SaveTransaction::StopTakenOver(tyTakeSave& save)
{
    // Nothing more is written (I2): the record that undoes this save is
    // gone or another's, and the other program settled the take as it
    // found it.
    for (int t : save.lMembers)
        save.pTake->m_SndFile[t].Close();
    CloseChunkJournal(&save.record);
    MyQDebug("SaveTransaction: the save record %s is no longer this save's", qPrintable(save.record.czPath));
    // Its last write may have landed after the take-over: mended first, so
    // that the text tells the files as they stay.
    QString mixed;
    const QString mended = MendLastWrite(save, &mixed);
    save.pTake->ReportSave(RecordTexts::TakenOver(save.pTake->m_czBaseName, DiskText(save, mixed))
                           + (mended.isEmpty() ? QString() : QLatin1Char(' ') + mended));
    Move(save, TakeState::Stopped);
}

QString SaveTransaction::MendLastWrite(const tyTakeSave& save, QString* mixed) const
{
    const int last = save.nLastWritten;
    if (last < 0)
        return QString();
    // The reader puts every member back right after its take-over, which
    // this writer's check may meet first: the mend judges the other members
    // once it is done (its take-over record gone), or a few seconds on.
    const QString taken = TakenOverRecordPath(save.record.czPath);
    QElapsedTimer waited;
    waited.start();
    while (QFileInfo::exists(taken) && waited.elapsed() < 5000)
        QThread::msleep(20);
    const QString folder = QFileInfo(save.record.czPath).absolutePath();
    const int t = save.lMembers.at(last);
    const tyLateWriteMend mend = MendLateWrite(folder, save.record.lMembers, last, save.plans[t], save.payloads[t],
                                               save.lastWrite.first, save.lastWriteBytes);
    if (!mend.bMixed)
        return mend.czText;
    // Told at every computer's next load, until a save rewrites that part.
    *mixed = save.record.lMembers.at(last).czFileName;
    bool field = false;
    for (const auto& written : save.plans[t].lFields)
        field = field || written.first == save.lastWrite.first;
    const int marked = MarkTakeMixed(FolderOf(save.pTake), save.pTake->m_czBaseName, *mixed,
                                     field ? kMixedDescription : kMixedIxml);
    if (marked == 0)
        return mend.czText;
    return mend.czText + QStringLiteral(" The take could not be marked so (%1): select it again, check its metadata "
                                        "and save it again.").arg(SystemErrorText(marked));
}

void SaveTransaction::NoteLastWrite(tyTakeSave& save, int i, const RiffChunkWriter& writer)
{
    if (writer.LastWrite().second <= 0)
        return;
    save.nLastWritten = i;
    save.lastWrite = writer.LastWrite();
    save.lastWriteBytes = writer.LastWriteBytes();
}

SaveTransaction::tyDiskCount SaveTransaction::CountDisk(const tyTakeSave& save, const QString& mixed) const
{
    const QString folder = QFileInfo(save.record.czPath).absolutePath() + QLatin1Char('/');
    tyDiskCount count;
    for (const tyChunkUndo& member : save.record.lMembers) {
        QFile file(folder + member.czFileName);
        if (member.czFileName == mixed) {
            ++count.nPartly;
            continue;
        }
        if (!file.open(QIODevice::ReadOnly)) {
            ++count.nOther;
            continue;
        }
        bool whole = false;
        switch (MatchSavedMember(file, member, &whole)) {
        case RiffChunkWriter::UndoMatch::Before: ++count.nBefore; break;
        case RiffChunkWriter::UndoMatch::Partly:
            ++count.nPartly;
            count.nWhole += whole;
            break;
        case RiffChunkWriter::UndoMatch::Changed:
        case RiffChunkWriter::UndoMatch::Unfit:
        case RiffChunkWriter::UndoMatch::Unproven: ++count.nOther; break;   // a record of ours proves its tail
        }
    }
    // A reader's take-over record still there: it may be putting the files
    // back one by one.
    count.bWhole = count.nWhole == save.record.lMembers.size()
                   && !QFileInfo::exists(TakenOverRecordPath(save.record.czPath));
    return count;
}

QString SaveTransaction::DiskText(const tyTakeSave& save, const QString& mixed) const
{
    const tyDiskCount disk = CountDisk(save, mixed);
    const int count = save.record.lMembers.size();
    return disk.nBefore == count ? RecordTexts::FilesAsBefore()
                                 : RecordTexts::FilesMixed(count, disk.nPartly, disk.nBefore, disk.nOther);
}

QHash<QString, int> SaveTransaction::RewrittenParts(const tyTakeSave& save) const
{
    QHash<QString, int> parts;
    if (save.pTake->EditsPartial())
        return parts;
    for (int i = 0; i < save.lMembers.size(); ++i) {
        const int t = save.lMembers.at(i);
        const bool description = !save.plans[t].lFields.isEmpty() || !save.pTake->m_SndFile[t].HasBextChunk();
        parts.insert(save.record.lMembers.at(i).czFileName, kMixedIxml | (description ? kMixedDescription : 0));
    }
    return parts;
}

bool SaveTransaction::SettleLeftSave(tyTakeSave& save, const FolderNameProbe& names)
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
        Refuse(save, RecordTexts::LeftSaveBlocked(take->m_czBaseName, error, false));
        return false;
    case LeftSave::Unproven:
        Refuse(save, RecordTexts::LeftSaveUnproven(take->m_czBaseName, false));
        return false;
    case LeftSave::Kept:
        // Put back, but its record may still stand where this save's goes.
        break;
    }
    Refuse(save, RecordTexts::LeftSaveNotRemoved(take->m_czBaseName, SystemErrorText(error)));
    return false;
}

QString SaveTransaction::NoRoomText(const tyTakeSave& save) const
{
    return QStringLiteral("not enough space on the card to save take %1").arg(save.pTake->m_czBaseName);
}

void SaveTransaction::LockFolders()
{
    // The takes' folders alone from before the plan until the records are
    // gone: no load reads a take half saved or takes a save's record for a
    // killed one, and a second save plans from this one's result.
    // Taken in the one lock order (FoldersInLockOrder), the same in every
    // thread and every writer.
    QStringList folders;
    for (const tyTakeSave& save : m_vSaves) {
        if (Going(save))
            folders << FolderOf(save.pTake);
    }
    for (const QStringList& reaching : FoldersInLockOrder(folders)) {
        auto lock = std::make_shared<TakeFolderLock>();
        if (!lock->Acquire(reaching.first(), TakeFolderLock::Mode::Alone))
            lock.reset();
        for (const QString& folder : reaching)
            m_mLocks.emplace(folder, lock);
    }
}

void SaveTransaction::PlanTakes()
{
    for (tyTakeSave& save : m_vSaves) {
        if (Going(save))
            PlanTake(save);
    }
}

void SaveTransaction::PlanTake(tyTakeSave& save)
{
    QSoundPerform* take = save.pTake;
    const TakeFolderLock* lock = m_mLocks[FolderOf(take)].get();
    if (!lock) {
        Refuse(save, BusyText(save));
        return;
    }
    if (CheckTakeOnDisk(save, *lock))
        PlanRewrite(save);
}

bool SaveTransaction::CheckTakeOnDisk(tyTakeSave& save, const TakeFolderLock& lock)
{
    QSoundPerform* take = save.pTake;
    // What the folder holds now, asked of the disk under the lock: the load
    // may have found the take's files in a kept listing, and another
    // program may have moved a member in or out since. A save writes the
    // take the disk holds or nothing. Asked name by name: a day of
    // thousands of files reads for far longer than a take's names take.
    const FolderNameProbe names(take->m_czTakeFolder, FolderNameProbe::Listing::AskDisk);
    if (!SettleLeftSave(save, names))
        return false;
    quint32 unchanged = 0;
    int rewritten = -1;
    const bool usable = OpenMembers(save, lock, &unchanged, &rewritten);
    const QString moved = take->MemberChangedOnDisk(names, unchanged);
    if (!moved.isEmpty()) {
        Refuse(save, QSoundPerform::ChangedOnDiskText(moved));
        return false;
    }
    if (!usable) {
        // A member that is a symbolic link would be written through into the
        // file it points to, which may be another take's: never written.
        const QString link = take->LinkedMember();
        Refuse(save, link.isEmpty() ? QStringLiteral("The take's files cannot all be written.")
                                    : QSoundPerform::LinkedMemberText(link));
        return false;
    }
    if (rewritten >= 0) {
        const QSoundFile& file = take->m_SndFile[rewritten];
        Refuse(save, QSoundPerform::RewrittenMemberText(QFileInfo(file.GetPath()).fileName(),
                                                        !file.OpenedState().state.SameFileAs(file.ReadState().state)));
        return false;
    }
    return true;
}

void SaveTransaction::PlanRewrite(tyTakeSave& save)
{
    QSoundPerform* take = save.pTake;
    QByteArray texts[QSoundPerform::kMaxTracks];
    take->BuildSaveTexts(texts);
    // bext lines set while the members were closed go in with the chunks.
    QList<QPair<qint64, QByteArray>> fields[QSoundPerform::kMaxTracks];
    for (int t : save.lMembers) {
        QPair<qint64, QByteArray> field;
        if (take->m_SndFile[t].PendingBextField(&field.first, &field.second))
            fields[t] << field;
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

bool SaveTransaction::OpenMembers(tyTakeSave& save, const TakeFolderLock& lock, quint32* unchanged, int* rewritten)
{
    // Plan from the head each member was read with (the load, or this
    // program's own last write), checked on the disk: another program's
    // change since is refused. A member never walked is walked now.
    // A write-protected member may still open for writing (as root, or
    // through a probe): the probe is asked first, by name in the folder
    // the lock holds open.
    QSoundPerform* take = save.pTake;
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
    if (!AreWritableFiles(inFolder ? take->m_czTakeFolder : QString(), inFolder ? lock.Descriptor() : -1, fileNames))
        return false;
    // Each member is opened once for the whole save. Where the volume
    // stamps every change, a member found as it was when its head was read
    // holds that head; elsewhere, or once it changed, its head is read
    // again and compared.
    const bool statesTell = FileTimesTellChanges(take->m_czTakeFolder);
    for (int t : save.lMembers) {
        QSoundFile& file = take->m_SndFile[t];
        const bool known = file.IsLayoutSound();
        if (!file.Open(file.GetPath(), 2))
            return false;
        if (!known) {
            if (!file.ReadChunks(false, true) || !file.IsLayoutSound())
                return false;
        } else if (!(statesTell && file.ReadState().Proves(file.OpenedState().state))) {
            if (!file.HeadOnDiskMatches()) {
                if (*rewritten < 0)
                    *rewritten = t;
                continue;
            }
            // The state the open found came before that read.
            file.SetReadState(file.OpenedState());
        }
        *unchanged |= 1u << t;
    }
    return true;
}

void SaveTransaction::WriteRecords()
{
    // Every record on the disk before any member changes.
    QList<tyChunkJournalWrite> records;
    std::vector<tyTakeSave*> writers;
    for (tyTakeSave& save : m_vSaves) {
        if (Going(save)) {
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
        if (save.record.nError == 0)
            Move(save, TakeState::Named);
        else if (save.record.nError == EBUSY)
            Refuse(save, BusyText(save));
        else if (save.record.nError != 0)
            Refuse(save, IsNoRoom(save.record.nError)
                             ? NoRoomText(save)
                             : RecordTexts::SaveRecordNotWritten(save.record.czWhy));
    }
}

void SaveTransaction::CheckRecordedTakes()
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
        if (!Going(save))
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
            MyQDebug("SaveTransaction::CheckRecordedTakes(): the record of a take refused before any write "
                     "stays: %s",
                     qPrintable(SystemErrorText(removed)));
        Refuse(save, QStringLiteral("the take changed on disk since it was opened"));
    }
}

void SaveTransaction::ReserveAndCommit()
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
            Q_ASSERT(save.eState == TakeState::FilesChange);
            CheckInvariants(save);
            named = RecordNameNow(save, &error);
            return named == RecordName::Own;
        };
        if (Going(save))
            Move(save, TakeState::FilesChange);
        for (int i = 0; Going(save) && i < save.lMembers.size(); ++i) {
            const int t = save.lMembers.at(i);
            RiffChunkWriter writer = take->m_SndFile[t].ChunkWriter();
            const bool reserved = writer.ReserveIxmlRewrite(save.plans[t], save.payloads[t], stillOwn);
            NoteLastWrite(save, i, writer);
            if (reserved)
                continue;
            if (writer.Stopped()) {
                StopNotOwn(save, named, error);
                break;
            }
            MyQDebug("SaveTransaction::ReserveAndCommit(): member %d of %d cannot grow: %s", i + 1,
                     int(save.lMembers.size()), qPrintable(writer.ErrorText()));
            Undo(save, IsNoRoom(writer.ErrorNumber()) ? NoRoomText(save) : writer.ErrorText());
        }
        for (int i = 0; Going(save) && i < save.lMembers.size(); ++i) {
            const int t = save.lMembers.at(i);
            RiffChunkWriter writer = take->m_SndFile[t].ChunkWriter();
            const bool committed = writer.CommitIxmlRewrite(save.plans[t], save.payloads[t], stillOwn);
            NoteLastWrite(save, i, writer);
            if (committed)
                continue;
            if (writer.Stopped())
                StopNotOwn(save, named, error);
            else
                Undo(save, [&](bool undone) {
                    return (undone ? QStringLiteral("The save failed and was undone: %1") : QStringLiteral("The save failed: %1"))
                        .arg(writer.ErrorText());
                });
        }
    }
}

void SaveTransaction::SyncMembers()
{
    // Every member on the disk before the records go: a power cut after a
    // removal must find the new take whole. One sync cannot tell whose file
    // it refused, so a refusal undoes every take of the group.
    QVector<int> descriptors;
    for (const tyTakeSave& save : m_vSaves) {
        for (int i = 0; Going(save) && i < save.lMembers.size(); ++i)
            descriptors << save.pTake->m_SndFile[save.lMembers.at(i)].FileHandle();
    }
    if (const int syncError = SyncFiles(descriptors)) {
        for (tyTakeSave& save : m_vSaves) {
            if (Going(save))
                Undo(save, QStringLiteral("The saved files could not be synced to the card: %1")
                               .arg(SystemErrorText(syncError)));
        }
    }
    // Closed while the records can still undo them: a network volume may
    // report a failed write only at the close.
    for (tyTakeSave& save : m_vSaves) {
        int closeError = 0;
        for (int i = 0; Going(save) && i < save.lMembers.size(); ++i) {
            // What the next save of the take finds unchanged, if saved.
            const int t = save.lMembers.at(i);
            ReadStateOfOpen(save.pTake->m_SndFile[t].FileHandle(), &save.written[t]);
            const int closed = save.pTake->m_SndFile[t].CloseWritten();
            closeError = closeError ? closeError : closed;
        }
        if (closeError != 0)
            Undo(save, QStringLiteral("The saved files could not be written to the card: %1")
                           .arg(SystemErrorText(closeError)));
    }
}

void SaveTransaction::RemoveRecords()
{
    // A record left behind would undo its save at the next load (and would
    // not even be found there once the take is renamed): a save whose record
    // cannot be removed is undone now, while the record still says how, and
    // counts as not saved.
    for (tyTakeSave& save : m_vSaves) {
        if (!Going(save))
            continue;
        const int removed = RemoveChunkJournal(&save.record);
        if (removed != 0 && !RecordNotRemoved(save, removed))
            continue;
        Move(save, TakeState::Removed);
        const TakeFolderLock* lock = m_mLocks[FolderOf(save.pTake)].get();
        m_mRemovedIn.emplace(FolderOf(save.pTake), lock ? lock->Descriptor() : -1);
    }
}

bool SaveTransaction::RecordNotRemoved(tyTakeSave& save, int error)
{
    const QString path = save.record.czPath;
    bool aside = false;
    const RecordName named = PutBackOwnRecord(path, save.record.head, false, nullptr, &aside);
    const tyDiskCount disk = CountDisk(save);
    if (named == RecordName::Gone && disk.bWhole && !QFileInfo::exists(TakenOverRecordPath(path))) {
        // Every file holds this save whole, and its record is not under its
        // name: gone (a load elsewhere that found it aside and the save
        // whole removed it), or under the hidden name of this removal (a
        // card pulled), which the next load removes as a whole save's.
        // Nothing is left to undo it: saved.
        if (aside)
            save.pTake->ReportSave(RecordTexts::SavedRecordAside(path, SystemErrorText(error)));
        return true;
    }
    if (error == ESTALE) {
        // Taken over by another program (a load elsewhere that took this
        // save for an interrupted one and undid it), or replaced by
        // another writer's: never a success (I2).
        StopTakenOver(save);
        return false;
    }
    if (named == RecordName::Own) {
        // Under its name, this save's: it still says how to undo the save.
        Undo(save, [&](bool undone) { return RecordTexts::NotRemoved(path, SystemErrorText(error), undone); });
        return false;
    }
    // Its removal failed (a card pulled, write-protected meanwhile) with the
    // record under the hidden name of that removal, no file changed by
    // another: the next load puts it back under its name and undoes what
    // it holds.
    if (aside) {
        save.pTake->ReportSave(RecordTexts::RecordLeftAside(path, SystemErrorText(error), DiskText(save)));
        Move(save, TakeState::Left);
        return false;
    }
    StopTakenOver(save);
    return false;
}

void SaveTransaction::Finish(bool* saved)
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
        if (!Going(save))
            continue;
        QSoundPerform* take = save.pTake;
        Q_ASSERT(save.eState == TakeState::Removed);   // I3: saved only once its record is off its name
        if (folderError != 0 && m_mRemovedIn.count(FolderOf(take)) != 0)
            take->ReportSave(RecordTexts::RemovalNotOnCard(SystemErrorText(folderError)));
        bool replaced = false;
        for (int t : save.lMembers)
            replaced = replaced || take->m_SndFile[t].ReplacesUnreadableiXML();
        if (replaced)
            take->ReportSave(QStringLiteral("The take's iXML could not be read: it was replaced by a new one made "
                                            "from its other metadata and the edits."));
        // A mark of two saves goes as far as this save rewrote what it names.
        if (const int cleared = ClearTakeMixed(FolderOf(take), take->m_czBaseName, RewrittenParts(save)))
            take->ReportSave(QStringLiteral("The take was saved, but its mark of two saves could not be removed (%1): "
                                            "the next load still says its files hold two saves.")
                                 .arg(SystemErrorText(cleared)));
        take->SetEditsPartial(false);
        for (int t : save.lMembers) {
            take->m_SndFile[t].AdoptIxmlRewrite(save.plans[t], save.payloads[t]);
            take->m_SndFile[t].ClearPendingBext();
            take->m_SndFile[t].SetReadState(save.written[t]);
            take->m_SndFile[t].Close();
        }
        saved[i] = true;
    }
}

void SaveTransaction::Run(bool* saved)
{
    LockFolders();
    PlanTakes();
    WriteRecords();
    CheckRecordedTakes();
    ReserveAndCommit();
    SyncMembers();
    RemoveRecords();
    Finish(saved);
}

namespace {
// How a take's files changed between two findings of them, first slot first.
QString FamilyChange(bool polyBefore, bool polyNow, const QString& baseName, const QString* before,
                     const QString* now, const std::function<bool(const QString&)>& noMember = nullptr)
{
    if (polyNow != polyBefore)
        return QStringLiteral("%1 is now a %2 take").arg(baseName, polyNow ? QStringLiteral("poly")
                                                                           : QStringLiteral("mono"));
    for (int t = 0; t < QSoundPerform::kMaxTracks; ++t) {
        if (now[t] == before[t] || (before[t].isEmpty() && noMember && noMember(now[t])))
            continue;
        if (before[t].isEmpty())
            return QStringLiteral("%1 appeared").arg(QFileInfo(now[t]).fileName());
        // "Gone" only of a file that is no longer there.
        if (!now[t].isEmpty())
            return QStringLiteral("%1 was replaced by %2").arg(QFileInfo(before[t]).fileName(),
                                                               QFileInfo(now[t]).fileName());
        if (NameOnVolume(before[t]))
            return QStringLiteral("%1 was replaced by a file that is no member of the take")
                .arg(QFileInfo(before[t]).fileName());
        return QStringLiteral("%1 is gone").arg(QFileInfo(before[t]).fileName());
    }
    return QString();
}

void PresentPaths(const QSoundPerform& take, QString* paths)
{
    for (int t = 0; t < QSoundPerform::kMaxTracks; ++t)
        paths[t] = take.m_pbPresent[t] ? take.m_SndFile[t].GetPath() : QString();
}
}  // namespace

QString QSoundPerform::MemberChangedOnDisk(const FolderNameProbe& names, quint32 unchanged) const
{
    const QString dotExt = QLatin1Char('.') + m_czExtension;
    const QString takePath = m_czTakeFolder + m_czBaseName + (m_bPolyTake ? dotExt : QString());
    // The take judged now as its load judged it: a file the load would
    // leave out by what it holds is no member now either. A member proven
    // unchanged is judged by the head read of it.
    const auto readHead = [this, unchanged](int slot, const QString& path) {
        const QSoundFile& file = m_SndFile[slot];
        if (!(unchanged & (1u << slot)) || path != file.GetPath())
            return ReadTrackFileHead(path);
        tyTrackFileHead head = HeadOfWalkedFile(file);
        head.nLength = file.GetLayout().nFileLength;
        return head;
    };
    tyTakeVerdict verdict;
    JudgeTake(takePath, m_czExtension, &names, nullptr, &verdict, readHead);
    QString members[kMaxTracks];
    MemberPaths(&verdict, members);
    QString loaded[kMaxTracks];
    PresentPaths(*this, loaded);
    for (int t = 0; t < kMaxTracks; ++t) {
        if (!loaded[t].isEmpty() && members[t].isEmpty() && verdict.family.czPath[t] == loaded[t])
            return QStringLiteral("%1 was replaced by a file that is no member of the take")
                .arg(QFileInfo(loaded[t]).fileName());
    }
    // A name of no regular file was no member at the load, and is none
    // while it stays one.
    return FamilyChange(m_bPolyTake, verdict.family.bPoly, m_czBaseName, loaded, members,
                        [this](const QString& path) { return m_lczNotRegular.contains(QFileInfo(path).fileName()); });
}

QString QSoundPerform::MembersChangedSince(const QSoundPerform& opened) const
{
    QString before[kMaxTracks];
    QString now[kMaxTracks];
    PresentPaths(opened, before);
    PresentPaths(*this, now);
    return FamilyChange(opened.m_bPolyTake, m_bPolyTake, m_czBaseName, before, now);
}

QString QSoundPerform::MemberRewrittenSince(const QSoundPerform& opened) const
{
    for (int t = 0; t < kMaxTracks; ++t) {
        const tyMemberHead& seen = opened.m_MemberHeads[t];
        const QSoundFile& file = m_SndFile[t];
        if (!m_pbPresent[t] || seen.czPath.isEmpty() || seen.czPath != file.GetPath()
            || seen.nPrint == file.HeadPrint())
            continue;
        return RewrittenMemberText(QFileInfo(file.GetPath()).fileName(), !file.ReadState().state.SameFileAs(seen.state));
    }
    return QString();
}

void QSoundPerform::KeepMemberHeads()
{
    for (int t = 0; t < kMaxTracks; ++t) {
        m_MemberHeads[t] = tyMemberHead();
        if (m_pbPresent[t] && m_SndFile[t].IsLayoutSound())
            m_MemberHeads[t] = {m_SndFile[t].GetPath(), m_SndFile[t].HeadPrint(), m_SndFile[t].ReadState().state};
    }
}

void QSoundPerform::AdoptMemberHeads(const QSoundPerform& saved)
{
    for (int t = 0; t < kMaxTracks; ++t) {
        if (!m_MemberHeads[t].czPath.isEmpty() && saved.m_pbPresent[t]
            && saved.m_SndFile[t].GetPath() == m_MemberHeads[t].czPath)
            m_MemberHeads[t] = {saved.m_SndFile[t].GetPath(), saved.m_SndFile[t].HeadPrint(),
                                saved.m_SndFile[t].ReadState().state};
    }
}

QString QSoundPerform::LinkedMember() const
{
    for (int t = 0; t < kMaxTracks; ++t) {
        if (m_pbPresent[t] && QFileInfo(m_SndFile[t].GetPath()).isSymLink())
            return QFileInfo(m_SndFile[t].GetPath()).fileName();
    }
    return QString();
}

QString QSoundPerform::LinkedMemberText(const QString& member)
{
    return QStringLiteral("%1 is a symbolic link: the take was not saved, so that the file it points to is not "
                          "written through it.").arg(member);
}

QString QSoundPerform::RewrittenMemberText(const QString& member, bool replaced)
{
    return (replaced ? QStringLiteral("%1 was replaced by another file since the take was opened; select the take "
                                      "again.")
                     : QStringLiteral("%1 was rewritten by another program since the take was opened; select the "
                                      "take again."))
        .arg(member);
}

QString QSoundPerform::ChangedOnDiskText(const QString& change)
{
    return QStringLiteral("The take's files changed on disk since it was opened (%1); select the take again.")
        .arg(change);
}
