#include "foundation/platform/diskprobes.h"

#include <QFileInfo>
#include <QMutex>
#include <QMutexLocker>
#include <QStorageInfo>

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
    static Replaceable<FreeSpaceFunction> function([](const QString& existingFolder) -> qint64 {
        const QStorageInfo volume(existingFolder);
        if (!volume.isValid() || !volume.isReady())
            return -1;
        return volume.bytesAvailable();
    });
    return function;
}

Replaceable<WritabilityProbe>& Writability()
{
    static Replaceable<WritabilityProbe> probe(
        [](const QString& path) { return QFileInfo(path).isWritable(); });
    return probe;
}
}

qint64 FreeSpaceBytes(const QString& existingFolder) { return FreeSpace().get()(existingFolder); }

void SetFreeSpaceFunction(FreeSpaceFunction function) { FreeSpace().install(std::move(function)); }

bool IsWritablePath(const QString& path) { return Writability().get()(path); }

void SetWritabilityProbe(WritabilityProbe probe) { Writability().install(std::move(probe)); }
