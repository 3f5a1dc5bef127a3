#include "take/takesavejournal.h"

#include "foundation/messageloging.h"
#include "foundation/replacejournal.h"
#include "foundation/safeoutput.h"
#include "soundfile/chunkjournal.h"
#include "take/takefamily.h"

#include <QFile>
#include <QFileInfo>

namespace {

// The record's own file or its temporary one is there.
bool SaveRecordLeft(const FolderNameProbe& names, const QString& baseName)
{
    const QString record = TakeSaveJournalPath(QString(), baseName);
    return names.Exists(record) || names.Exists(ChunkJournalTemporaryPath(record));
}

// Puts back a take whose save was interrupted, telling the user once. Only
// while no save of the folder runs: the caller holds the lock alone.
void UndoLeftSave(const QString& folder, const QString& name)
{
    const tyJournalRollBack result = RollBackChunkJournal(TakeSaveJournalPath(folder, name));
    if (!result.bFound)
        return;
    const QString title = QStringLiteral("Interrupted save");
    if (!result.lczFailed.isEmpty()) {
        SendUserMessage(title, QStringLiteral("Path:%1\nTake:%2\nAn interrupted save of this take could "
                                              "not be undone:\n%3")
                                   .arg(folder, name, result.lczFailed.join(QLatin1Char('\n'))));
    } else if (result.nRestored > 0) {
        SendUserMessage(title, QStringLiteral("Path:%1\nTake:%2\nAn interrupted save of this take was "
                                              "undone: its files are as they were before that save.")
                                   .arg(folder, name),
                        0, 2);
    }
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
    // What killed copies left in the folder goes first, before this load
    // holds the folder's lock (the sweep settles records with the folder
    // alone); the folder is read for it only when it changed since its last
    // sweep.
    FolderSweep::Visit(folder);
    bool locked = lock->Acquire(folder, TakeFolderLock::Mode::Shared);
    // Under the shared lock no save or replacement of ours runs, so a record
    // found now was left by a killed one; settling it needs the folder alone
    // (another reader may be reading). The lock stays alone for this load:
    // such loads are rare. The records are looked for once the lock is held,
    // so a kept listing of the folder is judged then: a record made since it
    // was read changed the folder's time.
    const QString replacement = ReplaceJournal::PathForTake(folder, name);
    const auto recordLeft = [&] {
        FolderNameProbe probe(folder);
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
        locked = locked && settled != Replacement::Busy;
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

void RollBackLeftSave(const QString& folder, const QString& baseName)
{
    // A saver reads no listing for two names, but uses one a load made.
    if (SaveRecordLeft(FolderNameProbe(folder, true), baseName))
        UndoLeftSave(folder, baseName);
}
