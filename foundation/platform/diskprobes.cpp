#include "foundation/platform/diskprobes.h"

#include "foundation/platform/diskcalls.h"

#include "foundation/spreadwork.h"

#include <QFileInfo>
#include <QFile>

#include <sys/statfs.h>
#include <sys/statvfs.h>

#include <algorithm>
#include <atomic>
#include <mutex>
#include <cerrno>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>
#include <vector>

namespace {
// A function a test may replace while worker threads (copy engine, settings
// writers) call it, so the installed function is guarded.
template <typename Function>
class Replaceable
{
public:
    explicit Replaceable(Function system) : m_System(std::move(system)) {}

    Function get()
    {
        std::lock_guard<std::mutex> lock(m_Mutex);
        return m_Installed ? m_Installed : m_System;
    }

    // The function a test installed, else empty.
    Function installed()
    {
        std::lock_guard<std::mutex> lock(m_Mutex);
        return m_Installed;
    }

    void install(Function function)
    {
        std::lock_guard<std::mutex> lock(m_Mutex);
        m_Installed = std::move(function);
    }

private:
    // A standard mutex, whose ordering the thread checker sees (Qt's own
    // waits inside its uninstrumented library are invisible to it).
    std::mutex m_Mutex;
    const Function m_System;
    Function m_Installed;
};

Replaceable<FreeSpaceFunction>& FreeSpace()
{
    // statvfs directly: the figure QStorageInfo gives, without the parse of
    // the mount table QStorageInfo makes on every call (a copy of thousands
    // of small files asks once per file).
    static Replaceable<FreeSpaceFunction> function([](const QString& existingFolder) -> qint64 {
        struct statvfs volume;
        if (existingFolder.isEmpty() || ::statvfs(QFile::encodeName(existingFolder).constData(), &volume) != 0)
            return -1;
        return qint64(volume.f_bavail) * qint64(volume.f_frsize);
    });
    return function;
}

Replaceable<WritabilityProbe>& Writability()
{
    static Replaceable<WritabilityProbe> probe(
        [](const QString& path) { return QFileInfo(path).isWritable(); });
    return probe;
}

#if defined(__linux__)
// One file's written data (and the size it needs to be read back) on the
// disk. A file system that cannot sync such a file by itself (a folder on
// some) gets its whole volume synced instead. 0, or the error number.
int SyncOneFile(int fd)
{
    int result;
    do
        result = DiskFdatasync(fd);
    while (result != 0 && errno == EINTR);
    if (result != 0 && errno == EINVAL)
        result = syncfs(fd);
    return result == 0 ? 0 : errno;
}
#endif

// The system's sync of SyncFiles. The error number travels as a value: the
// helper threads' errno is theirs, never the caller's.
int SystemSync(const QVector<int>& descriptors)
{
    std::atomic<int> firstError{0};
    auto failed = [&firstError](int error) {
        int none = 0;
        firstError.compare_exchange_strong(none, error);
    };
#if defined(__linux__)
    // Only these files: a volume sync would wait for every other
    // program's unwritten data on the card too. Their writeback starts
    // at once for all of them, then a few threads wait on them side by
    // side, so the file system commits them in one group rather than
    // one flush after another.
    for (const int fd : descriptors)
        sync_file_range(fd, 0, 0, SYNC_FILE_RANGE_WRITE);
    // A thread the system cannot make leaves its share to the others: the
    // files are synced all the same, only fewer side by side.
    SpreadWork(int(descriptors.size()), 4, [&](int i, int) {
        if (const int error = SyncOneFile(descriptors.at(i)))
            failed(error);
        return true;
    });
#elif defined(F_FULLFSYNC)
    // fsync alone leaves the data in the drive's cache on this system.
    for (const int fd : descriptors) {
        if (fcntl(fd, F_FULLFSYNC) != 0 && DiskFsync(fd) != 0)
            failed(errno);
    }
#else
    for (const int fd : descriptors) {
        if (DiskFsync(fd) != 0)
            failed(errno);
    }
#endif
    return firstError.load();
}

// Empty until a test installs its own.
Replaceable<DiskSyncFunction>& DiskSync()
{
    static Replaceable<DiskSyncFunction> function{DiskSyncFunction()};
    return function;
}
}

qint64 FreeSpaceBytes(const QString& existingFolder) { return FreeSpace().get()(existingFolder); }

void SetFreeSpaceFunction(FreeSpaceFunction function) { FreeSpace().install(std::move(function)); }

bool IsWritablePath(const QString& path) { return Writability().get()(path); }

void SetWritabilityProbe(WritabilityProbe probe) { Writability().install(std::move(probe)); }

bool AreWritableFiles(const QString& folder, int folderDescriptor, const QStringList& names)
{
    const WritabilityProbe installed = Writability().installed();
    const bool relative = folderDescriptor >= 0 && !installed;
    const WritabilityProbe probe = installed ? installed : Writability().get();
    for (const QString& name : names) {
        // faccessat without flags asks as access() does: for the real user.
        const bool writable = relative ? ::faccessat(folderDescriptor, QFile::encodeName(name).constData(), W_OK, 0) == 0
                                       : probe(folder + name);
        if (!writable)
            return false;
    }
    return true;
}

bool IsWritableFolder(const QString& folder, int folderDescriptor)
{
    if (folderDescriptor < 0 || Writability().installed())
        return IsWritablePath(folder);
    // As access() asks for the folder's path, without walking it again.
    return ::faccessat(folderDescriptor, ".", W_OK, 0) == 0;
}

int SyncFiles(const QVector<int>& descriptors)
{
    if (descriptors.isEmpty())
        return 0;
    int error = 0;
    if (const DiskSyncFunction installed = DiskSync().get()) {
        // A test's plan of failing calls reaches the stand-in's files too.
        for (int i = 0; i < descriptors.size() && error == 0; ++i)
            error = DiskCallFault(DiskCall::Sync);
        error = error ? error : installed(descriptors) ? 0 : EIO;
    } else {
        error = SystemSync(descriptors);
    }
    for (int i = 0; i < descriptors.size() && error == 0; ++i)
        DiskCallSynced(descriptors.at(i));
    return error;
}

int SyncFolder(const QString& folder) { return SyncFolders({folder}); }

qint64 FreshFileLength(int fd)
{
    struct statx now;
    if (::statx(fd, "", AT_EMPTY_PATH | AT_STATX_FORCE_SYNC, STATX_SIZE, &now) != 0 || !(now.stx_mask & STATX_SIZE))
        return -1;
    return qint64(now.stx_size);
}

int SyncFolders(const QStringList& folders, const QVector<int>& openFolders)
{
    QVector<int> descriptors = openFolders;
    QVector<int> opened;
    int openError = 0;
    for (const QString& folder : folders) {
        const int fd = DiskOpen(QFile::encodeName(folder).constData(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
        if (fd < 0) {
            if (openError == 0)
                openError = errno;
            continue;
        }
        opened << fd;
        descriptors << fd;
    }
    const int syncError = SyncFiles(descriptors);
    for (const int fd : opened)
        ::close(fd);
    return openError != 0 ? openError : syncError;
}

void SetDiskSyncFunction(DiskSyncFunction function) { DiskSync().install(std::move(function)); }

namespace {
bool OnKeepingFileSystem(const QString& folder)
{
    // A list of the file systems known to keep folder times, not of those
    // known not to: an unknown one is asked of the disk every time.
    static const __fsword_t kKeeping[] = {
        0xEF53,       // ext2, ext3, ext4
        0x58465342,   // XFS
        0x9123683E,   // Btrfs
        0x01021994,   // tmpfs
        static_cast<__fsword_t>(0xF2F52010),   // F2FS
    };
    struct statfs volume;
    if (::statfs(QFile::encodeName(folder).constData(), &volume) != 0)
        return false;
    return std::find(std::begin(kKeeping), std::end(kKeeping), volume.f_type) != std::end(kKeeping);
}

}  // namespace

// The file systems that keep folder times are the ones that index a
// folder's names and stamp every change of a file; an unknown one is
// taken for none.
bool FolderTimesFollowEntries(const QString& folder) { return OnKeepingFileSystem(folder); }
bool FolderFindsNamesByIndex(const QString& folder) { return OnKeepingFileSystem(folder); }
bool FileTimesTellChanges(const QString& folder) { return OnKeepingFileSystem(folder); }
