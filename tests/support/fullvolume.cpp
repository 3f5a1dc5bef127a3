#include "tests/support/fullvolume.h"

#include <QByteArray>
#include <QDir>
#include <QFile>

#include <csignal>
#include <sys/mount.h>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

namespace fixture {

bool RunOnFullVolume(const QString& scratch, qint64 capacity,
                     const std::function<bool(const QString& folder)>& work, QString* how)
{
    const QString mountPoint = scratch + QStringLiteral("/small-volume");
    if (::geteuid() == 0 && QDir().mkpath(mountPoint)) {
        const QByteArray options = "size=" + QByteArray::number(capacity);
        if (::mount("tmpfs", QFile::encodeName(mountPoint).constData(), "tmpfs", 0, options.constData()) == 0) {
            if (how)
                *how = QStringLiteral("tmpfs");
            const bool result = work(mountPoint);
            ::umount(QFile::encodeName(mountPoint).constData());
            return result;
        }
    }
    if (how)
        *how = QStringLiteral("RLIMIT_FSIZE");
    const pid_t child = ::fork();
    if (child < 0)
        return false;
    if (child == 0) {
        std::signal(SIGXFSZ, SIG_IGN);
        const rlimit limit{rlim_t(capacity), rlim_t(capacity)};
        ::setrlimit(RLIMIT_FSIZE, &limit);
        ::_exit(work(scratch) ? 0 : 1);
    }
    int status = 0;
    if (::waitpid(child, &status, 0) != child)
        return false;
    return WIFEXITED(status) && WEXITSTATUS(status) == 0;
}

}  // namespace fixture
