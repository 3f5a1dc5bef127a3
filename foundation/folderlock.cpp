#include "foundation/folderlock.h"

#include <QElapsedTimer>
#include <QFile>
#include <QThread>

#include <cerrno>
#include <fcntl.h>
#include <sys/file.h>
#include <unistd.h>

namespace {

// How long a writer or a load waits for the folder's lock: far longer than a
// save or the renames of a whole take on a slow card take, short enough that
// nobody waits on a stuck holder for long.
constexpr int kLockWaitMs = 5000;

} // namespace

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
