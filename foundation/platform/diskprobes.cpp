#include "foundation/platform/diskprobes.h"

#include <QFileInfo>
#include <QMutex>
#include <QMutexLocker>
#include <QFile>

#include <sys/statvfs.h>

#include <fcntl.h>
#include <unistd.h>

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
        QMutexLocker lock(&m_Mutex);
        return m_Installed ? m_Installed : m_System;
    }

    void install(Function function)
    {
        QMutexLocker lock(&m_Mutex);
        m_Installed = std::move(function);
    }

private:
    QMutex m_Mutex;
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

Replaceable<DiskSyncFunction>& DiskSync()
{
    static Replaceable<DiskSyncFunction> function([](const QVector<int>& descriptors) {
        bool synced = true;
#if defined(__linux__)
        // The files of one save lie on one volume: one volume sync costs
        // about what one file's does, where a sync per file costs them all.
        if (descriptors.size() > 1)
            return syncfs(descriptors.first()) == 0;
        for (const int fd : descriptors)
            synced = fdatasync(fd) == 0 && synced;
#elif defined(F_FULLFSYNC)
        // fsync alone leaves the data in the drive's cache on this system.
        for (const int fd : descriptors)
            synced = (fcntl(fd, F_FULLFSYNC) == 0 || fsync(fd) == 0) && synced;
#else
        for (const int fd : descriptors)
            synced = fsync(fd) == 0 && synced;
#endif
        return synced;
    });
    return function;
}
}

qint64 FreeSpaceBytes(const QString& existingFolder) { return FreeSpace().get()(existingFolder); }

void SetFreeSpaceFunction(FreeSpaceFunction function) { FreeSpace().install(std::move(function)); }

bool IsWritablePath(const QString& path) { return Writability().get()(path); }

void SetWritabilityProbe(WritabilityProbe probe) { Writability().install(std::move(probe)); }

bool SyncFilesToDisk(const QVector<int>& descriptors)
{
    return descriptors.isEmpty() || DiskSync().get()(descriptors);
}

void SetDiskSyncFunction(DiskSyncFunction function) { DiskSync().install(std::move(function)); }
