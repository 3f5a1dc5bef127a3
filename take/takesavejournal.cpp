#include "take/takesavejournal.h"

#include "foundation/fileutil.h"
#include "foundation/messageloging.h"
#include "foundation/replacejournal.h"
#include "foundation/safeoutput.h"
#include "soundfile/chunkjournal.h"
#include "take/takefamily.h"

#include <QFile>
#include <QFileInfo>
#include <QSet>

#include <fcntl.h>
#include <unistd.h>

namespace {

// The record's own file or its temporary one is there.
bool SaveRecordLeft(const FolderNameProbe& names, const QString& baseName)
{
    const QString record = TakeSaveJournalPath(QString(), baseName);
    return names.Exists(record) || names.Exists(ChunkJournalTemporaryPath(record));
}

// The save's record or its temporary one, where its writer may still be
// running (see RecordWriterMayLive): on a volume without locks, one that
// changed a moment ago.
bool SaveRecordLive(const QString& folder, const QString& baseName)
{
    const QString record = TakeSaveJournalPath(folder, baseName);
    for (const QString& path : {record, ChunkJournalTemporaryPath(record)}) {
        const int fd = ::open(QFile::encodeName(path).constData(), O_RDONLY | O_CLOEXEC | O_NOFOLLOW | O_NONBLOCK);
        if (fd < 0)
            continue;
        const bool live = RecordWriterMayLive(fd);
        ::close(fd);
        if (live)
            return true;
    }
    return false;
}

// Puts back a take whose save was interrupted, telling the user once. Only
// while no save of the folder runs: the caller holds the lock alone. True
// when no record is left, its removal on the disk.
bool UndoLeftSave(const QString& folder, const QString& name)
{
    const tyJournalRollBack result = RollBackChunkJournal(TakeSaveJournalPath(folder, name));
    if (!result.bFound)
        return true;
    const QString title = QStringLiteral("Interrupted save");
    const QString head = QStringLiteral("Path:%1\nTake:%2\n").arg(folder, name);
    if (!result.lczChanged.isEmpty()) {
        // Some files another program's, some maybe old, some new: nothing
        // is written over them, and the user is told which stand how.
        QString text = head + QStringLiteral("An interrupted save of this take could not be undone: its files "
                                             "were changed since by another program, so none was touched:\n%1")
                                  .arg(result.lczFailed.join(QLatin1Char('\n')));
        if (!result.lczLeft.isEmpty())
            text += QStringLiteral("\nThese files hold part of the interrupted save:\n%1")
                        .arg(result.lczLeft.join(QLatin1Char('\n')));
        SendUserMessage(title, text + QStringLiteral("\nCheck the take's metadata and save it again."));
        return false;
    }
    if (!result.lczFailed.isEmpty()) {
        SendUserMessage(title, head + QStringLiteral("An interrupted save of this take could not be undone:\n%1")
                                          .arg(result.lczFailed.join(QLatin1Char('\n'))));
        return false;
    }
    if (result.nRestored > 0) {
        SendUserMessage(title, head + QStringLiteral("An interrupted save of this take was undone: its files are "
                                                     "as they were before that save."),
                        0, 2);
    }
    if (result.nRemoveError != 0) {
        SendUserMessage(title, head + QStringLiteral("The record of an interrupted save of this take could not be "
                                                     "removed for good: %1")
                                          .arg(SystemErrorText(result.nRemoveError)));
        return false;
    }
    return true;
}

} // namespace

QString TakeSaveJournalPath(const QString& folder, const QString& baseName)
{
    return folder + QLatin1Char('.') + baseName + QStringLiteral(".nalvo-save");
}

bool RollBackInterruptedSave(const QString& takePath, const QString& extension, TakeFolderLock* lock,
                             std::optional<FolderNameProbe>* names)
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
    const auto recordLeft = [&] {
        FolderNameProbe probe(folder, FolderNameProbe::Listing::Kept, lock->HeldStatus());
        const bool left = SaveRecordLeft(probe, name) || probe.Exists(replacement.mid(folder.size()));
        if (!left && names)
            names->emplace(std::move(probe));
        return left;
    };
    if (locked && recordLeft()) {
        locked = lock->Acquire(folder, TakeFolderLock::Mode::Alone);
        // Still live under the lock: a program that writes without it. The
        // take is half replaced and must not be read.
        const Replacement settled = locked ? SettleReplacement(replacement) : Replacement::None;
        locked = locked && settled != Replacement::Busy && !SaveRecordLive(folder, name);
        if (settled == Replacement::Failed)
            SendUserMessage(QStringLiteral("Interrupted write"),
                            QStringLiteral("Path:%1\nTake:%2\nAn interrupted write of this take could not be "
                                           "finished or undone.")
                                .arg(folder, name));
        if (locked)
            UndoLeftSave(folder, name);
    }
    if (!locked)
        SendUserMessage(QStringLiteral("Take busy"),
                        QStringLiteral("Path:%1\nTake:%2\nTake %2 is being saved by another window or program "
                                       "and was not read; open it again in a moment.")
                            .arg(folder, name));
    return locked;
}

bool RollBackLeftSave(const QString& folder, const QString& baseName, const FolderNameProbe& names)
{
    return !SaveRecordLeft(names, baseName) || UndoLeftSave(folder, baseName);
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
        if (!RollBackLeftSave(folder, name, FolderNameProbe(folder, FolderNameProbe::Listing::AskDisk))) {
            *why = QStringLiteral("an interrupted save of take %1 could not be undone; nothing was replaced")
                       .arg(name);
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
            *why = QStringLiteral("%1 is being saved or read by another window or program; try again in a moment")
                       .arg(path);
            return false;
        }
        if (!RollBackSavesBeforeReplacing({path}, why))
            return false;
    }
    return true;
}
