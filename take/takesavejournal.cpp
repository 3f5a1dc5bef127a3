#include "take/takesavejournal.h"

#include "foundation/messageloging.h"
#include "soundfile/chunkjournal.h"
#include "take/takefamily.h"

#include <QElapsedTimer>
#include <QFile>
#include <QFileInfo>
#include <QThread>

#include <cerrno>
#include <fcntl.h>
#include <sys/file.h>
#include <unistd.h>

namespace {

// How long a save or a load waits for the folder's lock: far longer than a
// save of a whole take to a slow card takes, short enough that nobody waits
// on a stuck holder for long.
constexpr int kLockWaitMs = 5000;

// The record's own file or its temporary one is there.
bool SaveRecordLeft(const QString& journal)
{
    // Asked under the folder's lock, so the folder's listing is judged now:
    // a record made since it was read changed the folder's time. A listing
    // the load made is used; for two names none is made.
    const int slash = journal.lastIndexOf(QLatin1Char('/'));
    const FolderNameProbe names(journal.left(slash + 1), true);
    const QString name = journal.mid(slash + 1);
    return names.Exists(name) || names.Exists(ChunkJournalTemporaryPath(name));
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

TakeFolderLock::~TakeFolderLock() { Release(); }

void TakeFolderLock::Release()
{
    // Closing the descriptor lets go of its lock.
    if (m_nHandle >= 0)
        ::close(m_nHandle);
    m_nHandle = -1;
}

bool TakeFolderLock::Acquire(const QString& folder, Mode mode)
{
    Release();
    // A folder that cannot be opened holds no take to protect: the caller
    // meets the real failure when it opens the files.
    m_nHandle = ::open(QFile::encodeName(folder).constData(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (m_nHandle < 0)
        return true;
    const int operation = (mode == Mode::Alone ? LOCK_EX : LOCK_SH) | LOCK_NB;
    QElapsedTimer waited;
    waited.start();
    for (;;) {
        if (::flock(m_nHandle, operation) == 0)
            return true;
        if (errno == EINTR)
            continue;
        if (errno != EWOULDBLOCK) {
            // No locks on this volume (ENOLCK, EOPNOTSUPP, EINVAL, EBADF on
            // some network file systems): go on without, as before.
            Release();
            return true;
        }
        if (waited.elapsed() >= kLockWaitMs)
            break;
        // Short steps: a reader lets go between two loads for well under a
        // millisecond, and longer steps would miss that moment again and again.
        QThread::usleep(500);
    }
    Release();
    return false;
}

bool RollBackInterruptedSave(const QString& takePath, const QString& extension, TakeFolderLock* lock)
{
    QString folder;
    QString name;
    SplitTakePath(takePath, extension, &folder, &name);
    if (name.isEmpty())
        return true;
    bool locked = lock->Acquire(folder, TakeFolderLock::Mode::Shared);
    // Under the shared lock no save runs, so a record found now was left by
    // a killed one; undoing it needs the folder alone (another reader may
    // be reading). The lock stays alone for this load: such loads are rare.
    if (locked && SaveRecordLeft(TakeSaveJournalPath(folder, name))) {
        locked = lock->Acquire(folder, TakeFolderLock::Mode::Alone);
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
    if (SaveRecordLeft(TakeSaveJournalPath(folder, baseName)))
        UndoLeftSave(folder, baseName);
}
