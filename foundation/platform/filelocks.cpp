#include "foundation/platform/filelocks.h"

#include "foundation/platform/diskcalls.h"

#include <QByteArray>
#include <QFile>
#include <QRandomGenerator>

#include <algorithm>
#include <cerrno>
#include <fcntl.h>
#include <iterator>
#include <limits>
#include <sys/file.h>
#include <sys/stat.h>
#include <sys/sysmacros.h>
#include <sys/vfs.h>
#include <unistd.h>

namespace {

// The byte of the folder a waiting writer read-locks. A folder has no bytes
// of its own to read, so no other lock of the system's claims it.
constexpr off_t kTurnByte = 0;
// The bytes of the loads' marks: far from the turn's.
constexpr off_t kFirstMarkByte = off_t(1) << 20;
constexpr off_t kMarkBytes = off_t(1) << 40;

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
// length bytes from at; a test (F_OFD_GETLK) gives in *held the lock found
// in the way, of type F_UNLCK when none is.
int ByteLock(int descriptor, short type, off_t at, int command, struct flock* held = nullptr, off_t length = 1)
{
    struct flock lock = {};
    lock.l_type = type;
    lock.l_whence = SEEK_SET;
    lock.l_start = at;
    lock.l_len = length;
    int result;
    do
        result = DiskFcntlLock(descriptor, command, &lock);
    while (result != 0 && errno == EINTR);
    if (held)
        *held = lock;
    return result;
}
#endif

#if defined(__linux__)
constexpr __fsword_t kFuseMagic = 0x65735546;

// The file system type the mount table gives the volume of device (its
// major:minor), empty when none is listed.
QByteArray MountedType(dev_t device)
{
    QFile table(QStringLiteral("/proc/self/mountinfo"));
    if (!table.open(QIODevice::ReadOnly | QIODevice::Text))
        return QByteArray();
    const QByteArray id = QByteArray::number(major(device)) + ':' + QByteArray::number(minor(device));
    for (QByteArray line; !(line = table.readLine()).isEmpty();) {
        // "ID PARENT MAJOR:MINOR ROOT MOUNTPOINT OPTIONS [TAGS...] - TYPE SOURCE SUPER"
        const QList<QByteArray> fields = line.split(' ');
        const int dash = fields.indexOf("-");
        if (fields.size() > 2 && fields.at(2) == id && dash > 0 && dash + 1 < fields.size())
            return fields.at(dash + 1);
    }
    return QByteArray();
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
    struct flock held = {};
    return ByteLock(folderDescriptor, F_WRLCK, kTurnByte, F_OFD_GETLK, &held) == 0 && held.l_type != F_UNLCK;
#else
    (void)folderDescriptor;
    return false;
#endif
}

qint64 MarkFolderShare(int folderDescriptor, qint64 previous)
{
#if defined(__linux__) && defined(F_OFD_SETLK)
    // Unmarked, a load only keeps a waiting writer from telling that it goes on.
    const off_t mark = kFirstMarkByte + off_t(QRandomGenerator::global()->generate64() % quint64(kMarkBytes));
    if (ByteLock(folderDescriptor, F_RDLCK, mark, F_OFD_SETLK) != 0)
        return previous;
    if (previous >= 0 && previous != mark)
        ByteLock(folderDescriptor, F_UNLCK, off_t(previous), F_OFD_SETLK);
    return qint64(mark);
#else
    (void)folderDescriptor;
    return previous;
#endif
}

qint64 HeldShareMark(int folderDescriptor, qint64 watched)
{
#if defined(__linux__) && defined(F_OFD_SETLK)
    struct flock held = {};
    if (watched >= 0 && ByteLock(folderDescriptor, F_WRLCK, off_t(watched), F_OFD_GETLK, &held) == 0
        && held.l_type != F_UNLCK)
        return watched;
    if (ByteLock(folderDescriptor, F_WRLCK, kFirstMarkByte, F_OFD_GETLK, &held, kMarkBytes) != 0
        || held.l_type == F_UNLCK)
        return -1;
    return qint64(held.l_start);
#else
    (void)folderDescriptor;
    (void)watched;
    return -1;
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

bool LocksReachEveryWriter(int descriptor)
{
#if defined(__linux__)
    // A list of the file systems known to be this computer's alone, not of
    // those known to be shared: an unknown one is taken for shared.
    static const __fsword_t kLocal[] = {
        0xEF53,                                 // ext2, ext3, ext4
        0x58465342,                             // XFS
        0x9123683E,                             // Btrfs
        0x01021994,                             // tmpfs
        static_cast<__fsword_t>(0x858458F6),    // ramfs
        static_cast<__fsword_t>(0xF2F52010),    // F2FS
        0x4D44,                                 // FAT (vfat, msdos)
        0x2011BAB0,                             // exFAT (the kernel's)
        0x7366746E,                             // NTFS (ntfs3)
        0x482B,                                 // HFS+
        0x794C7630,                             // overlay of local layers
        0x2FC12FC1,                             // ZFS
    };
    struct statfs volume;
    struct stat file;
    if (::fstatfs(descriptor, &volume) != 0)
        return false;
    if (std::find(std::begin(kLocal), std::end(kLocal), volume.f_type) != std::end(kLocal))
        return true;
    return volume.f_type == kFuseMagic && ::fstat(descriptor, &file) == 0 && MountedType(file.st_dev) == "fuseblk";
#else
    (void)descriptor;
    return false;
#endif
}
