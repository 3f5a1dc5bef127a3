#include "foundation/platform/diskprobes.h"

#include <QFileInfo>
#include <QMutex>
#include <QMutexLocker>
#include <QStorageInfo>

namespace {
// Worker threads (copy engine, settings writers) call these while a test may
// install a double, so the installed functions are guarded.
QMutex g_ProbeMutex;
FreeSpaceFunction g_FreeSpace;
WritabilityProbe g_Writability;

qint64 SystemFreeSpaceBytes(const QString& existingFolder)
{
    const QStorageInfo volume(existingFolder);
    if (!volume.isValid() || !volume.isReady())
        return -1;
    return volume.bytesAvailable();
}

bool SystemIsWritable(const QString& path) { return QFileInfo(path).isWritable(); }
}

qint64 FreeSpaceBytes(const QString& existingFolder)
{
    FreeSpaceFunction function;
    {
        QMutexLocker lock(&g_ProbeMutex);
        function = g_FreeSpace;
    }
    return function ? function(existingFolder) : SystemFreeSpaceBytes(existingFolder);
}

void SetFreeSpaceFunction(FreeSpaceFunction function)
{
    QMutexLocker lock(&g_ProbeMutex);
    g_FreeSpace = std::move(function);
}

bool IsWritablePath(const QString& path)
{
    WritabilityProbe probe;
    {
        QMutexLocker lock(&g_ProbeMutex);
        probe = g_Writability;
    }
    return probe ? probe(path) : SystemIsWritable(path);
}

void SetWritabilityProbe(WritabilityProbe probe)
{
    QMutexLocker lock(&g_ProbeMutex);
    g_Writability = std::move(probe);
}
