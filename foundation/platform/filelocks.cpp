#include "foundation/platform/filelocks.h"

#include "foundation/platform/diskcalls.h"

#include <cerrno>
#include <fcntl.h>
#include <limits>
#include <sys/file.h>
#include <unistd.h>

namespace {

// The byte of the folder a waiting writer read-locks. A folder has no bytes
// of its own to read, so no other lock of the system's claims it.
constexpr off_t kTurnByte = 0;

LockTry Flock(int descriptor, int operation)
{
    int result;
    do
        result = DiskFlock(descriptor, operation | LOCK_NB);
    while (result != 0 && errno == EINTR);
    if (result == 0)
        return LockTry::Held;
    // No locks on this volume: ENOLCK, EOPNOTSUPP, EINVAL, EBADF on some
    // network file systems.
    return errno == EWOULDBLOCK ? LockTry::Busy : LockTry::Unsupported;
}

#if defined(__linux__) && defined(F_OFD_SETLK)
// One byte of the file, by the open file description's own record locks.
// Not a classic POSIX lock: that one belongs to the process, goes when any
// of the process's descriptors of the file is closed, and never conflicts
// with another lock of the same process.
int ByteLock(int descriptor, short type, off_t at, int command, short* heldType = nullptr)
{
    struct flock lock = {};
    lock.l_type = type;
    lock.l_whence = SEEK_SET;
    lock.l_start = at;
    lock.l_len = 1;
    int result;
    do
        result = DiskFcntlLock(descriptor, command, &lock);
    while (result != 0 && errno == EINTR);
    if (heldType)
        *heldType = lock.l_type;
    return result;
}
#endif

} // namespace

LockTry TryFolderLock(int folderDescriptor, bool alone)
{
    return Flock(folderDescriptor, alone ? LOCK_EX : LOCK_SH);
}

void UnlockFolder(int folderDescriptor)
{
    ::flock(folderDescriptor, LOCK_UN);
}

void ClaimFolderTurn(int folderDescriptor)
{
#if defined(__linux__) && defined(F_OFD_SETLK)
    // A volume without such locks gives other programs' writers no turn;
    // nothing else depends on the claim being taken.
    ByteLock(folderDescriptor, F_RDLCK, kTurnByte, F_OFD_SETLK);
#else
    (void)folderDescriptor;
#endif
}

bool FolderTurnClaimed(int folderDescriptor)
{
#if defined(__linux__) && defined(F_OFD_SETLK)
    short held = F_UNLCK;
    return ByteLock(folderDescriptor, F_WRLCK, kTurnByte, F_OFD_GETLK, &held) == 0 && held != F_UNLCK;
#else
    (void)folderDescriptor;
    return false;
#endif
}

LockTry TryTemporaryLock(int fileDescriptor, bool writer)
{
#if defined(__linux__) && defined(F_OFD_SETLK)
    if (ByteLock(fileDescriptor, writer ? F_WRLCK : F_RDLCK, std::numeric_limits<off_t>::max() - 1, F_OFD_SETLK) == 0)
        return LockTry::Held;
    return errno == EAGAIN || errno == EWOULDBLOCK || errno == EACCES ? LockTry::Busy : LockTry::Unsupported;
#else
    (void)writer;
    return Flock(fileDescriptor, LOCK_EX);
#endif
}

LockTry TryRecordLock(int recordDescriptor)
{
    return Flock(recordDescriptor, LOCK_EX);
}
