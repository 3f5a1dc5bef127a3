#ifndef NALVO_FOUNDATION_PLATFORM_DISKCALLS_H
#define NALVO_FOUNDATION_PLATFORM_DISKCALLS_H

#include <QStringList>
#include <QtGlobal>

#include <cerrno>
#include <fcntl.h>
#include <sys/types.h>

class QByteArray;
class QFileDevice;

// The disk calls of every write that changes a take's files (saves,
// replacements, renames, imports, copies) pass through these functions, so
// that a test can make any one of them fail as a card that fails, is
// pulled, or was never able to (FAT: no hard links; FUSE: no rename flags)
// would, and watch what the program that lives on does about it. Each has
// the system's signature and errno behaviour; without a test's plan each is
// the system's call and nothing more.

enum class DiskCall {
    Open,
    Write,      // write, pwrite, copy_file_range, and writes through a QFileDevice
    Rename,     // rename, renameat2
    Link,       // link, symlink
    Unlink,     // unlink, rmdir
    Truncate,   // ftruncate, and a QFileDevice's resize
    Sync,       // fsync, fdatasync, and each file of SyncFiles
    Lock,       // flock, fcntl record locks
    Mkdir,      // mkdir
    Attributes, // fchmod, chmod, futimens: a file's mode and times
    Close,      // close of a written file (a network volume may report a failed write there)
    Any,        // in a plan: a call of any kind
};

int DiskOpen(const char* path, int flags, mode_t mode = 0);
ssize_t DiskWrite(int fd, const void* data, size_t size);
ssize_t DiskPwrite(int fd, const void* data, size_t size, off_t offset);
int DiskRename(const char* from, const char* to);
int DiskRenameat2(int fromFolder, const char* from, int toFolder, const char* to, unsigned int flags);
int DiskLink(const char* from, const char* to);
int DiskSymlink(const char* target, const char* path);
int DiskUnlink(const char* path);
int DiskRmdir(const char* path);
ssize_t DiskCopyFileRange(int from, loff_t* fromOffset, int to, loff_t* toOffset, size_t size, unsigned int flags);
int DiskFtruncate(int fd, off_t length);
int DiskFsync(int fd);
int DiskFdatasync(int fd);
int DiskFlock(int fd, int operation);
int DiskFcntlLock(int fd, int command, struct flock* lock);
int DiskMkdir(const char* path, mode_t mode);
int DiskFchmod(int fd, mode_t mode);
int DiskChmod(const char* path, mode_t mode);
int DiskFutimens(int fd, const struct timespec times[2]);
// Closes fd whatever the answer (as close does); -1 with errno when the
// system or the plan reports a failure, which for a written file means its
// last writes may not have reached the disk.
int DiskClose(int fd);

// The same calls made through a QFileDevice, as its write() and resize()
// answer (-1 or false; errno holds the reason when the plan failed it).
qint64 DiskWrite(QFileDevice& file, const char* data, qint64 size);
qint64 DiskWrite(QFileDevice& file, const QByteArray& bytes);
bool DiskResize(QFileDevice& file, qint64 length);

// The error number a test's plan gives the next call of this kind, or 0
// (counted as a call): for a call the seam cannot wrap whole.
int DiskCallFault(DiskCall kind);
// The file open as fd reached the disk by a sync the seam does not make
// itself (SyncFiles): a plan that watches syncs counts it synced.
void DiskCallSynced(int fd);

// A test's plan of failing calls. Counted across threads: the copy engine
// and the sync's helpers call from theirs.
struct tyDiskFaultPlan {
    DiskCall eKind = DiskCall::Any;   // the calls counted
    int nNth = 0;                     // the first to fail, from 1; 0: none
    int nError = EIO;
    int nCount = 1;                   // how many counted calls from the Nth on fail
    bool bPersistent = false;         // every counted call from the Nth on fails (a pulled card)
    // How the volume answers throughout, as a FAT card or a FUSE volume
    // does: link and symlink refused with EPERM, renameat2's flags with
    // EINVAL.
    bool bNoLinks = false;
    bool bNoRenameFlags = false;
    // The writes the plan fails answer as done and store nothing, as a
    // volume that loses a write does.
    bool bLostWrites = false;
    // Each rename or link of a file written since its last sync is noted
    // (see UnsyncedRenames): a power cut could leave the name on empty or
    // old bytes.
    bool bWatchSyncs = false;
};

namespace DiskFaults {
// Installs the plan and counts from zero; an empty plan (nNth 0, no
// refusals) restores the system's calls.
void Arm(const tyDiskFaultPlan& plan);
void Disarm();
// The counted calls since Arm.
int Calls();
// How many calls the plan failed since Arm (the volume's refusals not
// counted).
int Failed();
// Called before each rename (from, to), armed or not: a test acts there
// as another program would at that moment. Null removes it.
void SetRenameHook(void (*hook)(const char* from, const char* to));
// The names renamed or linked from, since Arm, while written and not yet
// synced (a plan with bWatchSyncs).
QStringList UnsyncedRenames();
}

#endif
