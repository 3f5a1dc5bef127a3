#include "foundation/folderlock.h"

#include "foundation/platform/filelocks.h"

#include <QElapsedTimer>
#include <QFile>
#include <QFileInfo>
#include <QThread>

#include <algorithm>
#include <cerrno>
#include <chrono>
#include <condition_variable>
#include <map>
#include <mutex>
#include <tuple>
#include <utility>
#include <vector>
#include <fcntl.h>
#include <sys/stat.h>
#include <time.h>
#include <unistd.h>

namespace {

// How long a writer or a load waits for the folder's lock: far longer than a
// save or the renames of a whole take on a slow card take, short enough that
// nobody waits on a stuck holder for long.
constexpr int kLockWaitMs = 5000;

// This program's writers per folder (device, inode): a load of this
// program holds back while one waits or writes. Every change is told to the
// loads waiting on it.
struct tyWriterCount {
    int nWaiting = 0;
    int nHolding = 0;
};

struct tyWriterBoard {
    std::mutex mutex;
    std::condition_variable changed;
    std::map<tyFolderIdentity, tyWriterCount> counts;   // under mutex; no entry: no writer
};

tyWriterBoard& WriterBoard()
{
    static tyWriterBoard board;
    return board;
}

// The locks this thread holds: one that holds none may wait for a writer of
// this program without bound (see folderlock.h).
thread_local int t_nHeldLocks = 0;
#ifndef QT_NO_DEBUG
// Which folders, by identity: a thread never holds two locks of one folder
// (I5 of recordfiles.h), however its paths spell it.
thread_local std::vector<tyFolderIdentity> t_HeldFolders;
#endif

// For a writer that waits: whether the load whose mark it watched went on
// (read a file, or ended) since it last asked; *watched becomes the mark to
// watch now, that one or another still held (-1: none).
bool LoadWentOn(int folderDescriptor, qint64* watched)
{
    const qint64 held = HeldShareMark(folderDescriptor, *watched);
    const bool wentOn = *watched >= 0 && held != *watched;
    *watched = held;
    return wentOn;
}

} // namespace

bool tyFolderIdentity::operator<(const tyFolderIdentity& other) const
{
    return std::tie(nDevice, nInode, czResolved) < std::tie(other.nDevice, other.nInode, other.czResolved);
}

bool tyFolderIdentity::operator==(const tyFolderIdentity& other) const
{
    return nDevice == other.nDevice && nInode == other.nInode && czResolved == other.czResolved;
}

tyFolderIdentity FolderIdentityOf(const struct stat& status, const QString& folder)
{
    tyFolderIdentity identity;
    identity.nDevice = quint64(status.st_dev);
    identity.nInode = quint64(status.st_ino);
    if (identity.nInode == 0) {
        const QString resolved = QFileInfo(folder).canonicalFilePath();
        identity.czResolved = resolved.isEmpty() ? folder : resolved;
    }
    return identity;
}

tyFolderIdentity FolderIdentity(const QString& folder)
{
    struct stat status;
    if (::stat(QFile::encodeName(folder).constData(), &status) == 0)
        return FolderIdentityOf(status, folder);
    tyFolderIdentity unread;
    unread.czResolved = folder;
    return unread;
}

std::vector<QStringList> FoldersInLockOrder(const QStringList& folders)
{
    std::map<tyFolderIdentity, QStringList> reaching;
    for (const QString& folder : folders) {
        QStringList& paths = reaching[FolderIdentity(folder)];
        if (!paths.contains(folder))
            paths << folder;
    }
    std::vector<QStringList> ordered;
    for (auto& entry : reaching)
        ordered.push_back(std::move(entry.second));
    return ordered;
}

TakeFolderLock::~TakeFolderLock() { Release(); }

void TakeFolderLock::SetWriter(Writer writer)
{
    if (writer == m_eWriter)
        return;
    tyWriterBoard& board = WriterBoard();
    {
        std::lock_guard<std::mutex> guard(board.mutex);
        tyWriterCount& count = board.counts[m_Identity];
        count.nWaiting += (writer == Writer::Waiting) - (m_eWriter == Writer::Waiting);
        count.nHolding += (writer == Writer::Holding) - (m_eWriter == Writer::Holding);
        if (count.nWaiting == 0 && count.nHolding == 0)
            board.counts.erase(m_Identity);
    }
    m_eWriter = writer;
    board.changed.notify_all();
}

void TakeFolderLock::Release()
{
    // Closing the descriptor lets go of its lock and of its claim of the
    // turn; only then do this program's loads stop holding back for it.
    if (m_nHandle >= 0)
        ::close(m_nHandle);
    m_nHandle = -1;
    m_nShareMark = -1;
    m_bStatusHeld = false;
    SetWriter(Writer::None);
    if (m_bCountedByThread) {
        --t_nHeldLocks;
#ifndef QT_NO_DEBUG
        const auto held = std::find(t_HeldFolders.begin(), t_HeldFolders.end(), m_Identity);
        if (held != t_HeldFolders.end())
            t_HeldFolders.erase(held);
#endif
    }
    m_bCountedByThread = false;
}

namespace {

qint64 MonotonicMs()
{
    struct timespec now = {};
    ::clock_gettime(CLOCK_MONOTONIC_COARSE, &now);
    return qint64(now.tv_sec) * 1000 + now.tv_nsec / 1000000;
}

} // namespace

void TakeFolderLock::MoveShareMark(qint64 nowMs)
{
    m_nShareMark = MarkFolderShare(m_nHandle, m_nShareMark);
    m_nMarkedAtMs = nowMs;
}

void TakeFolderLock::TellProgress()
{
    // A writer watches for a move of the mark within its wait of seconds;
    // the mark set when the lock was taken counts as the first.
    constexpr qint64 kMarkEveryMs = 250;
    if (!m_bStatusHeld)
        return;
    const qint64 nowMs = MonotonicMs();
    if (m_nShareMark >= 0 && nowMs - m_nMarkedAtMs < kMarkEveryMs)
        return;
    MoveShareMark(nowMs);
}

bool TakeFolderLock::Acquire(const QString& folder, Mode mode)
{
    Release();
    // A folder that cannot be opened holds no take to protect: the caller
    // meets the real failure when it opens the files.
    m_nHandle = ::open(QFile::encodeName(folder).constData(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (m_nHandle < 0) {
        Release();
        return true;
    }
    const bool alone = mode == Mode::Alone;
    bool identified = false;
    const auto identify = [&] {
        if (::fstat(m_nHandle, &m_Status) != 0)
            return false;
        m_Identity = FolderIdentityOf(m_Status, folder);
        identified = true;
        return true;
    };
    // Counted before the claim and uncounted after the descriptor closes, so
    // a claim this program's loads see is always counted too.
    if (alone) {
        if (!identify()) {
            Release();
            return true;
        }
        SetWriter(Writer::Waiting);
        ClaimFolderTurn(m_nHandle);
    }
    const bool mayWaitForOwnWriter = t_nHeldLocks == 0;
    tyWriterBoard& board = WriterBoard();
    QElapsedTimer waited;
    waited.start();
    qint64 watchedLoad = -1;   // a writer's: the mark of a load it waits for (see LoadWentOn)
    for (;;) {
        // A load takes its share before it looks for a waiting writer, and
        // gives it back when it finds one: a writer's lock excludes it
        // either way, and the folder's status it reads once it holds its
        // share tells the folder as it stands under the lock.
        const LockTry tried = TryFolderLock(m_nHandle, alone);
        if (tried == LockTry::Unsupported) {
            // No locks on this volume: go on without, as before.
            Release();
            return true;
        }
        const bool granted = tried == LockTry::Held;
        if (((granted && !alone) || !identified) && !identify()) {
            Release();
            return true;
        }
        bool ownWriter = false;   // a writer of this program waits or writes: a load holds back
        bool ownHolder = false;   // ... and holds the folder
        {
            std::lock_guard<std::mutex> guard(board.mutex);
            const auto found = board.counts.find(m_Identity);
            if (found != board.counts.end()) {
                ownHolder = found->second.nHolding > 0;
                ownWriter = !alone;
            }
        }
        // A load that took its share after the claim of another program's
        // writer holds back too. One that took it just before the claim is
        // a load already running, which that writer waits for.
        const bool held = !granted || ownWriter || (!alone && FolderTurnClaimed(m_nHandle));
        if (!held)
            break;
        if (granted)
            UnlockFolder(m_nHandle);
        if ((ownHolder && mayWaitForOwnWriter) || (alone && !granted && LoadWentOn(m_nHandle, &watchedLoad)))
            waited.restart();
        else if (waited.elapsed() >= kLockWaitMs) {
            Release();
            return false;
        }
        if (ownWriter || ownHolder) {
            // Woken when that writer's count changes; the bound only checks
            // the clock now and then.
            std::unique_lock<std::mutex> guard(board.mutex);
            const auto found = board.counts.find(m_Identity);
            if (found != board.counts.end())
                board.changed.wait_for(guard, std::chrono::milliseconds(20));
        } else {
            // Short steps: a running load lets go within a few milliseconds.
            QThread::usleep(500);
        }
    }
    if (alone)
        SetWriter(Writer::Holding);
    else
        MoveShareMark(MonotonicMs());
    m_bStatusHeld = !alone;
    m_bCountedByThread = true;
    ++t_nHeldLocks;
#ifndef QT_NO_DEBUG
    Q_ASSERT_X(std::find(t_HeldFolders.begin(), t_HeldFolders.end(), m_Identity) == t_HeldFolders.end(),
               "TakeFolderLock::Acquire", "I5: this thread holds a lock of this folder already");
    t_HeldFolders.push_back(m_Identity);
#endif
    return true;
}
