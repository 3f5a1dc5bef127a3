#include "foundation/platform/diskcalls.h"

#include <QByteArray>
#include <QFileDevice>

#include <QFile>

#include <atomic>
#include <cerrno>
#include <fcntl.h>
#include <mutex>
#include <set>
#include <utility>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

namespace {

// Read on every call; the plan itself only while one is armed.
std::atomic<bool> g_Armed{false};
std::mutex g_PlanMutex;
tyDiskFaultPlan g_Plan;   // any thread, under g_PlanMutex
int g_nCalls = 0;         // under g_PlanMutex
int g_nFailed = 0;        // under g_PlanMutex
// With bWatchSyncs: the files (device, number) written since their last
// sync, and the names renamed or linked from while so; under g_PlanMutex.
std::set<std::pair<dev_t, ino_t>> g_Unsynced;
QStringList g_UnsyncedRenames;
std::atomic<void (*)(const char*, const char*)> g_RenameHook{nullptr};

void RenameCalled(const char* from, const char* to)
{
    if (const auto hook = g_RenameHook.load(std::memory_order_acquire))
        hook(from, to);
}

// The error this call meets, or 0. refusal: the volume's standing answer
// to this call, when the plan asks for such a volume.
int Fault(DiskCall kind, bool refused = false, int refusal = 0)
{
    if (!g_Armed.load(std::memory_order_acquire))
        return 0;
    std::lock_guard<std::mutex> guard(g_PlanMutex);
    if (refused)
        return refusal;
    if (g_Plan.nNth <= 0 || (g_Plan.eKind != DiskCall::Any && g_Plan.eKind != kind))
        return 0;
    const int call = ++g_nCalls;
    if (call >= g_Plan.nNth && (g_Plan.bPersistent || call < g_Plan.nNth + g_Plan.nCount)) {
        ++g_nFailed;
        return g_Plan.nError;
    }
    return 0;
}

// -1 with errno, as the system's call answers a refusal.
int Refuse(int error)
{
    errno = error;
    return -1;
}

// A write the plan fails: true, *answer the call's answer (-1 with errno,
// or size where the volume loses it as done).
bool PlannedWrite(qint64 size, qint64* answer)
{
    const int error = Fault(DiskCall::Write);
    if (error == 0)
        return false;
    std::lock_guard<std::mutex> guard(g_PlanMutex);
    *answer = g_Plan.bLostWrites ? size : Refuse(error);
    return true;
}

bool WatchingSyncs()
{
    if (!g_Armed.load(std::memory_order_acquire))
        return false;
    std::lock_guard<std::mutex> guard(g_PlanMutex);
    return g_Plan.bWatchSyncs;
}

// The file open as fd written (synced false) or synced.
void NoteData(int fd, bool synced)
{
    struct stat file;
    if (!WatchingSyncs() || ::fstat(fd, &file) != 0 || !S_ISREG(file.st_mode))
        return;
    std::lock_guard<std::mutex> guard(g_PlanMutex);
    if (synced)
        g_Unsynced.erase({file.st_dev, file.st_ino});
    else
        g_Unsynced.insert({file.st_dev, file.st_ino});
}

// A rename or link from the name (from, in folder) of a written file not
// synced since.
void NoteRenamed(int folder, const char* from)
{
    struct stat file;
    if (!WatchingSyncs() || ::fstatat(folder, from, &file, AT_SYMLINK_NOFOLLOW) != 0)
        return;
    std::lock_guard<std::mutex> guard(g_PlanMutex);
    if (g_Unsynced.count({file.st_dev, file.st_ino}))
        g_UnsyncedRenames << QFile::decodeName(from);
}

bool LinksRefused()
{
    if (!g_Armed.load(std::memory_order_acquire))
        return false;
    std::lock_guard<std::mutex> guard(g_PlanMutex);
    return g_Plan.bNoLinks;
}

bool RenameFlagsRefused()
{
    if (!g_Armed.load(std::memory_order_acquire))
        return false;
    std::lock_guard<std::mutex> guard(g_PlanMutex);
    return g_Plan.bNoRenameFlags;
}

} // namespace

int DiskCallFault(DiskCall kind) { return Fault(kind); }

void DiskCallSynced(int fd) { NoteData(fd, true); }

int DiskOpen(const char* path, int flags, mode_t mode)
{
    if (const int error = Fault(DiskCall::Open))
        return Refuse(error);
    return ::open(path, flags, mode);
}

ssize_t DiskWrite(int fd, const void* data, size_t size)
{
    qint64 answer;
    if (PlannedWrite(qint64(size), &answer))
        return ssize_t(answer);
    NoteData(fd, false);
    return ::write(fd, data, size);
}

ssize_t DiskPwrite(int fd, const void* data, size_t size, off_t offset)
{
    qint64 answer;
    if (PlannedWrite(qint64(size), &answer))
        return ssize_t(answer);
    NoteData(fd, false);
    return ::pwrite(fd, data, size, offset);
}

int DiskRename(const char* from, const char* to)
{
    RenameCalled(from, to);
    if (const int error = Fault(DiskCall::Rename))
        return Refuse(error);
    NoteRenamed(AT_FDCWD, from);
    return ::rename(from, to);
}

int DiskRenameat2(int fromFolder, const char* from, int toFolder, const char* to, unsigned int flags)
{
    RenameCalled(from, to);
    if (flags != 0 && RenameFlagsRefused())
        return Refuse(EINVAL);
    if (const int error = Fault(DiskCall::Rename))
        return Refuse(error);
    NoteRenamed(fromFolder, from);
#ifdef __linux__
    return ::renameat2(fromFolder, from, toFolder, to, flags);
#else
    return flags != 0 ? Refuse(EINVAL) : ::renameat(fromFolder, from, toFolder, to);
#endif
}

int DiskLink(const char* from, const char* to)
{
    if (LinksRefused())
        return Refuse(EPERM);
    if (const int error = Fault(DiskCall::Link))
        return Refuse(error);
    NoteRenamed(AT_FDCWD, from);
    return ::link(from, to);
}

int DiskSymlink(const char* target, const char* path)
{
    if (LinksRefused())
        return Refuse(EPERM);
    if (const int error = Fault(DiskCall::Link))
        return Refuse(error);
    return ::symlink(target, path);
}

int DiskUnlink(const char* path)
{
    if (const int error = Fault(DiskCall::Unlink))
        return Refuse(error);
    return ::unlink(path);
}

int DiskRmdir(const char* path)
{
    if (const int error = Fault(DiskCall::Unlink))
        return Refuse(error);
    return ::rmdir(path);
}

ssize_t DiskCopyFileRange(int from, loff_t* fromOffset, int to, loff_t* toOffset, size_t size, unsigned int flags)
{
    qint64 answer;
    if (PlannedWrite(qint64(size), &answer))
        return ssize_t(answer);
    NoteData(to, false);
    return ::copy_file_range(from, fromOffset, to, toOffset, size, flags);
}

int DiskFtruncate(int fd, off_t length)
{
    if (const int error = Fault(DiskCall::Truncate))
        return Refuse(error);
    NoteData(fd, false);
    return ::ftruncate(fd, length);
}

int DiskFsync(int fd)
{
    if (const int error = Fault(DiskCall::Sync))
        return Refuse(error);
    const int result = ::fsync(fd);
    if (result == 0)
        NoteData(fd, true);
    return result;
}

int DiskFdatasync(int fd)
{
    if (const int error = Fault(DiskCall::Sync))
        return Refuse(error);
    const int result = ::fdatasync(fd);
    if (result == 0)
        NoteData(fd, true);
    return result;
}

int DiskFlock(int fd, int operation)
{
    if (const int error = Fault(DiskCall::Lock))
        return Refuse(error);
    return ::flock(fd, operation);
}

int DiskFcntlLock(int fd, int command, struct flock* lock)
{
    if (const int error = Fault(DiskCall::Lock))
        return Refuse(error);
    return ::fcntl(fd, command, lock);
}

int DiskMkdir(const char* path, mode_t mode)
{
    if (const int error = Fault(DiskCall::Mkdir))
        return Refuse(error);
    return ::mkdir(path, mode);
}

int DiskFchmod(int fd, mode_t mode)
{
    if (const int error = Fault(DiskCall::Attributes))
        return Refuse(error);
    return ::fchmod(fd, mode);
}

int DiskChmod(const char* path, mode_t mode)
{
    if (const int error = Fault(DiskCall::Attributes))
        return Refuse(error);
    return ::chmod(path, mode);
}

int DiskFutimens(int fd, const struct timespec times[2])
{
    if (const int error = Fault(DiskCall::Attributes))
        return Refuse(error);
    return ::futimens(fd, times);
}

int DiskClose(int fd)
{
    // The descriptor is released either way, as close(2) releases it.
    const int error = Fault(DiskCall::Close);
    const int result = ::close(fd);
    if (error)
        return Refuse(error);
    return result;
}

qint64 DiskWrite(QFileDevice& file, const char* data, qint64 size)
{
    qint64 answer;
    if (PlannedWrite(size, &answer))
        return answer;
    if (file.handle() >= 0)
        NoteData(file.handle(), false);
    return file.write(data, size);
}

qint64 DiskWrite(QFileDevice& file, const QByteArray& bytes) { return DiskWrite(file, bytes.constData(), bytes.size()); }

bool DiskResize(QFileDevice& file, qint64 length)
{
    if (const int error = Fault(DiskCall::Truncate)) {
        errno = error;
        return false;
    }
    if (file.handle() >= 0)
        NoteData(file.handle(), false);
    return file.resize(length);
}

namespace DiskFaults {

void Arm(const tyDiskFaultPlan& plan)
{
    std::lock_guard<std::mutex> guard(g_PlanMutex);
    g_Plan = plan;
    g_nCalls = 0;
    g_nFailed = 0;
    g_Unsynced.clear();
    g_UnsyncedRenames.clear();
    g_Armed.store(plan.nNth > 0 || plan.bNoLinks || plan.bNoRenameFlags || plan.bWatchSyncs,
                  std::memory_order_release);
}

void Disarm() { Arm(tyDiskFaultPlan()); }

int Calls()
{
    std::lock_guard<std::mutex> guard(g_PlanMutex);
    return g_nCalls;
}

int Failed()
{
    std::lock_guard<std::mutex> guard(g_PlanMutex);
    return g_nFailed;
}

void SetRenameHook(void (*hook)(const char* from, const char* to))
{
    g_RenameHook.store(hook, std::memory_order_release);
}

QStringList UnsyncedRenames()
{
    std::lock_guard<std::mutex> guard(g_PlanMutex);
    return g_UnsyncedRenames;
}

} // namespace DiskFaults
