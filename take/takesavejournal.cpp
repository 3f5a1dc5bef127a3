#include "take/takesavejournal.h"

#include "foundation/fileutil.h"
#include "foundation/folderlisting.h"
#include "foundation/recordfiles.h"
#include "foundation/messageloging.h"
#include "foundation/replacejournal.h"
#include "foundation/platform/diskcalls.h"
#include "foundation/platform/diskprobes.h"
#include "foundation/platform/filelocks.h"
#include "foundation/platform/nameremoval.h"
#include "foundation/safeoutput.h"
#include "soundfile/chunkjournal.h"
#include "take/mixedmark.h"
#include "take/takefamily.h"

#include <QFile>
#include <QFileInfo>
#include <QSet>

#include <cerrno>
#include <fcntl.h>
#include <unistd.h>

namespace {

// The record's own file, its temporary one or its take-over is there, or
// one a killed removal left aside: listed so, or, the folder not listed,
// found as the folder holds its names now (RemovalAsideOfExists; the
// folder's sweep may have met a failed call while it put one back, and
// sweeps the folder again only once it changed).
bool SaveRecordLeft(const FolderNameProbe& names, const QString& folder, const QString& baseName)
{
    const QString record = TakeSaveJournalPath(QString(), baseName);
    if (names.Exists(record) || names.Exists(ChunkJournalTemporaryPath(record))
        || names.Exists(TakenOverRecordPath(record)))
        return true;
    const int asides = names.CountListed(RemovalAsidePrefix(record), QString());
    if (asides >= 0)
        return asides > 0;
    return RemovalAsideOfExists(TakeSaveJournalPath(folder, baseName));
}

// Puts back a take whose save was interrupted, telling the user once. Only
// while no save of ours in the folder runs: the caller holds the lock alone.
// A record whose writer may still be running (Live, *writer set: a program
// that writes without the lock, or on a volume without locks one judged by
// its age) is left to it. A roll-back that could not run (Blocked, *error
// set) is told by the caller, who knows what it was about to do.
LeftSave UndoLeftSave(const QString& folder, const QString& name, int* error, RecordWriter* writer)
{
    const tyJournalRollBack result = RollBackChunkJournal(TakeSaveJournalPath(folder, name));
    if (!result.bFound)
        return LeftSave::None;
    if (result.eWriter != RecordWriter::Gone) {
        *writer = result.eWriter;
        return LeftSave::Live;
    }
    const QString title = QStringLiteral("Interrupted save");
    const QString head = QStringLiteral("Path:%1\nTake:%2\n").arg(folder, name);
    // Told by the caller, whatever else the record met: the take may be
    // half saved, and must not be read as whole.
    if (!result.lczUnproven.isEmpty())
        return LeftSave::Unproven;
    if (!result.lczChanged.isEmpty()) {
        // Some files another program's, some maybe old, some new: nothing
        // is written over them, and the user is told which stand how.
        SendUserMessage(title, head + RecordTexts::LeftSaveChanged(result.lczFailed, result.lczLeft));
        return LeftSave::Stale;
    }
    if (result.nWriteError != 0) {
        *error = result.nWriteError;
        return LeftSave::Blocked;
    }
    if (!result.lczFailed.isEmpty()) {
        // A record that fits none of the files, or is no record of ours: it
        // can never be applied.
        SendUserMessage(title, head + RecordTexts::LeftSaveNotUndone(result.lczFailed));
        return LeftSave::Stale;
    }
    if (result.nRestored > 0) {
        SendUserMessage(title, head + RecordTexts::LeftSaveUndone(), 0, 2);
    }
    if (result.nRemoveError != 0) {
        SendUserMessage(title, head + RecordTexts::LeftSaveNotRemovedForGood(SystemErrorText(result.nRemoveError)));
        *error = result.nRemoveError;
        return LeftSave::Kept;
    }
    return LeftSave::None;
}

// UndoLeftSave, then the save records killed removals left aside
// (SettleRecordAsides): a record there is a record all the same, put back
// under its name and undone there the same way. One whose writer may live
// while its save does not stand whole leaves the take as Live (*writer
// Recent): its files may be torn. One that cannot go back is told, and
// the take read as its files hold it (Stale).
LeftSave UndoLeftSaves(const QString& folder, const QString& name, int* error, RecordWriter* writer)
{
    constexpr int kMostRounds = 8;   // each puts one record back; its name then taken for the others
    LeftSave left = LeftSave::None;
    for (int round = 0; round < kMostRounds; ++round) {
        left = UndoLeftSave(folder, name, error, writer);
        if (left == LeftSave::Live || left == LeftSave::Blocked || left == LeftSave::Unproven)
            return left;
        switch (SettleRecordAsides(TakeSaveJournalPath(folder, name))) {
        case RecordAside::None:
            return left;
        case RecordAside::PutBack:
            continue;
        case RecordAside::Stays:
            SendUserMessage(QStringLiteral("Interrupted save"), QStringLiteral("Path:%1\nTake:%2\n").arg(folder, name)
                                                                  + RecordTexts::LeftSaveAside());
            return LeftSave::Stale;
        case RecordAside::Live:
            *writer = RecordWriter::Recent;
            return LeftSave::Live;
        }
    }
    return left;
}

// Nothing can be written in the folder: its volume is mounted read-only (a
// card's write-protect switch), or the folder refuses this user.
bool FolderWriteProtected(const QString& folder)
{
    return ::access(QFile::encodeName(folder).constData(), W_OK) != 0
           && (errno == EROFS || errno == EACCES || errno == EPERM);
}

// The records a killed save or replacement of the take left, settled by a
// load holding the folder alone. False (why set, when known) when the take
// must not be read: still live under the lock (a program that writes
// without it, or on a volume without locks one judged by its age), the take
// half written; or a save's roll-back that could not run, the take half
// saved. A take whose left save stays as it is was told of already and is
// read as its files hold it (the user checks and saves it again).
bool SettleLeftRecords(const QString& folder, const QString& name, QString* why)
{
    const Replacement settled = SettleReplacement(ReplaceJournal::PathForTake(folder, name));
    // Nothing moves on a card write-protected since the kill: the take
    // stands split between its old and its new names, and is not read so.
    if (settled == Replacement::Failed && FolderWriteProtected(folder)) {
        *why = RecordTexts::RenamesWaitWriteProtected(name);
        return false;
    }
    if (settled == Replacement::Failed)
        SendUserMessage(QStringLiteral("Interrupted write"),
                        QStringLiteral("Path:%1\nTake:%2\n").arg(folder, name) + RecordTexts::WriteNotFinished());
    if (settled == Replacement::Busy)
        return false;
    int error = 0;
    RecordWriter writer = RecordWriter::Gone;
    switch (UndoLeftSaves(folder, name, &error, &writer)) {
    case LeftSave::Live:
        if (writer == RecordWriter::Recent)
            *why = RecordTexts::BusyOrInterrupted(name, kRecordLiveSeconds);
        return false;
    case LeftSave::Blocked:
        *why = RecordTexts::LeftSaveBlocked(name, error, true);
        return false;
    case LeftSave::Unproven:
        *why = RecordTexts::LeftSaveUnproven(name, true);
        return false;
    case LeftSave::None:
    case LeftSave::Stale:
    case LeftSave::Kept:
        break;
    }
    return true;
}

} // namespace

RiffChunkWriter::UndoMatch MatchSavedMember(QFile& file, const tyChunkUndo& member, bool* whole)
{
    QString why;
    return RiffChunkWriter::MatchUndo(file, member, &why, whole);
}

namespace {

// The save a record left aside describes stands whole in every member (see
// SetSaveWholeJudge): its record has nothing left to undo.
bool SaveStandsWhole(const QString& folder, const QByteArray& record)
{
    QList<tyChunkUndo> members;
    if (!ParseChunkJournal(record, &members) || members.isEmpty())
        return false;
    for (const tyChunkUndo& member : members) {
        QFile file(folder + QLatin1Char('/') + member.czFileName);
        bool whole = false;
        if (!file.open(QIODevice::ReadOnly) || (MatchSavedMember(file, member, &whole), !whole))
            return false;
    }
    return true;
}

const bool g_SaveWholeJudgeSet = (SetSaveWholeJudge(&SaveStandsWhole), true);

} // namespace

QString TakeSaveJournalPath(const QString& folder, const QString& baseName)
{
    return folder + QLatin1Char('.') + baseName + QStringLiteral(".nalvo-save");
}

bool RollBackInterruptedSave(const QString& takePath, const QString& extension, TakeFolderLock* lock,
                             std::optional<FolderNameProbe>* names, QString* refusal)
{
    QString folder;
    QString name;
    SplitTakePath(takePath, extension, &folder, &name);
    if (name.isEmpty())
        return true;
    // What killed copies left in the folder goes first, while this load
    // holds no lock of the folder (the sweep settles records with the folder
    // alone); the folder is read for it only when it changed since its last
    // sweep. The lock's look at the folder tells that: a folder that changed
    // is let go, swept and taken again, and one that did not costs no other
    // look.
    bool locked = lock->Acquire(folder, TakeFolderLock::Mode::Shared);
    if (locked && !lock->HeldStatus()) {
        FolderSweep::Visit(folder);
    } else if (locked && FolderSweep::Needed(folder, *lock->HeldStatus())) {
        lock->Release();
        FolderSweep::Visit(folder);
        locked = lock->Acquire(folder, TakeFolderLock::Mode::Shared);
    }
    // Under the shared lock no save or replacement of ours runs, so a record
    // found now was left by a killed one; settling it needs the folder alone
    // (another reader may be reading). The lock stays alone for this load:
    // such loads are rare. The records are looked for once the lock is held,
    // so a kept listing of the folder is judged then: a record made since it
    // was read changed the folder's time.
    const QString replacement = ReplaceJournal::PathForTake(folder, name);
    bool marked = false;
    const auto recordLeft = [&] {
        const bool held = lock->HeldStatus() && LocksReachEveryWriter(lock->Descriptor());
        FolderNameProbe probe(folder, held ? FolderNameProbe::Listing::KeptOrReadHeld : FolderNameProbe::Listing::Kept,
                              lock->HeldStatus());
        marked = probe.Exists(TakeMixedMarkPath(QString(), name));
        const bool left = SaveRecordLeft(probe, folder, name)
                          || probe.Exists(replacement.mid(folder.size()))
                          || probe.Exists(TakenOverRecordPath(replacement).mid(folder.size()));
        if (!left && names)
            names->emplace(std::move(probe));
        return left;
    };
    QString why;
    if (locked && recordLeft())
        locked = lock->Acquire(folder, TakeFolderLock::Mode::Alone) && SettleLeftRecords(folder, name, &why);
    if (!locked) {
        if (why.isEmpty())
            why = RecordTexts::NotRead(name);
        SendUserMessage(QStringLiteral("Take not read"), QStringLiteral("Path:%1\nTake:%2\n%3").arg(folder, name, why));
        if (refusal)
            *refusal = why;
    }
    // The listing may be a mount's that still shows a mark another
    // computer removed: told only as the mark reads now.
    tyMixedMark mark;
    if (locked && marked && ReadTakeMixedMark(folder, name, &mark) == 0)
        SendUserMessage(QStringLiteral("Take holds two saves"),
                        QStringLiteral("Path:%1\nTake:%2\n").arg(folder, name) + RecordTexts::TakeMixed(mark.Told()));
    return locked;
}

namespace {

int DropLeftRecord(const QByteArray& name)
{
    const int fd = ::open(name.constData(), O_RDONLY | O_CLOEXEC | O_NOFOLLOW | O_NONBLOCK);
    if (fd < 0)
        return errno == ENOENT ? 0 : errno;
    // Judged again on what is then removed: the name may have gone to
    // another writer's record since it was judged, which the bytes read
    // tell on any volume (see recordfiles.h).
    const bool gone = !RecordWriterMayLive(fd, QFile::decodeName(name));
    const QByteArray bytes = gone ? ReadRecordBytes(fd) : QByteArray();
    const int removed = gone ? RemoveRecordIfOwn(QFile::decodeName(name), bytes, true, fd) : EBUSY;
    ::close(fd);
    if (!gone)
        return EBUSY;
    return removed == ESTALE ? (QFile::exists(QFile::decodeName(name)) ? EBUSY : 0) : removed;
}

} // namespace

int DropLeftSave(const QString& folder, const QString& baseName)
{
    // A take-over its reader left stale too, so that none outlives the files.
    const QString record = TakeSaveJournalPath(folder, baseName);
    const int taken = DropLeftRecord(QFile::encodeName(TakenOverRecordPath(record)));
    return taken ? taken : DropLeftRecord(QFile::encodeName(record));
}

LeftSave RollBackLeftSave(const QString& folder, const QString& baseName, const FolderNameProbe& names, int* error)
{
    if (!SaveRecordLeft(names, folder, baseName))
        return LeftSave::None;
    int ignored = 0;
    RecordWriter writer = RecordWriter::Gone;
    return UndoLeftSaves(folder, baseName, error ? error : &ignored, &writer);
}

bool RollBackSavesBeforeReplacing(const QStringList& paths, QString* why)
{
    QSet<QString> settled;
    for (const QString& path : paths) {
        const QString file = QFileInfo(path).absoluteFilePath();
        const QString extension = QFileInfo(file).suffix();
        QString folder;
        QString name;
        SplitTakePath(TakePathOfFile(file, extension), extension, &folder, &name);
        if (name.isEmpty() || settled.contains(folder + name))
            continue;
        settled.insert(folder + name);
        // A record that stays would outlive the files it was made for and be
        // judged against the new ones; a live one's writer is still at work.
        switch (RollBackLeftSave(folder, name, FolderNameProbe(folder, FolderNameProbe::Listing::AskDisk))) {
        case LeftSave::None:
            break;
        case LeftSave::Live:
            *why = RecordTexts::NotReplaced(name);
            return false;
        case LeftSave::Stale:
        case LeftSave::Blocked:
        case LeftSave::Kept:
        case LeftSave::Unproven:
            *why = RecordTexts::LeftSaveNotReplaced(name);
            return false;
        }
    }
    return true;
}

bool RollBackSavesBeforeReplacingAlone(const QStringList& paths, QString* why)
{
    for (const QString& path : paths) {
        TakeFolderLock lock;
        if (!lock.Acquire(QFileInfo(path).absolutePath() + QLatin1Char('/'), TakeFolderLock::Mode::Alone)) {
            *why = RecordTexts::FolderBusy(path);
            return false;
        }
        if (!RollBackSavesBeforeReplacing({path}, why))
            return false;
    }
    return true;
}
