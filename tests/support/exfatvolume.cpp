#include "tests/support/exfatvolume.h"

#include "tests/support/scratchdir.h"

#include <QDir>
#include <QFile>
#include <QProcess>

#include <fcntl.h>
#include <linux/loop.h>
#include <sys/ioctl.h>
#include <unistd.h>

namespace {
// Empty when the command ran and succeeded; else what went wrong.
QString Run(const QString& program, const QStringList& arguments, QString* output = nullptr)
{
    QProcess process;
    process.start(program, arguments);
    if (!process.waitForFinished(30000) || process.exitStatus() != QProcess::NormalExit)
        return program + QStringLiteral(" did not run: ") + process.errorString();
    if (output)
        *output = QString::fromLocal8Bit(process.readAllStandardOutput()).trimmed();
    if (process.exitCode() != 0)
        return program + QStringLiteral(": ") + QString::fromLocal8Bit(process.readAllStandardError()).trimmed();
    return QString();
}

// The loop device goes with its last user, the mount's daemon, however
// this run ends: a killed run leaves no device attached. False when the
// kernel did not take the flag.
bool DetachWithLastUser(const QString& loop)
{
    const int fd = ::open(QFile::encodeName(loop).constData(), O_RDONLY | O_CLOEXEC);
    if (fd < 0)
        return false;
    loop_info64 info = {};
    bool set = ::ioctl(fd, LOOP_GET_STATUS64, &info) == 0;
    if (set) {
        info.lo_flags |= LO_FLAGS_AUTOCLEAR;
        set = ::ioctl(fd, LOOP_SET_STATUS64, &info) == 0;
    }
    ::close(fd);
    return set;
}
}

ExfatVolume::ExfatVolume(const QString& scratch)
{
    const QString image = scratch + QStringLiteral("/exfat.img");
    m_czFolder = scratch + QStringLiteral("/exfat");
    QFile file(image);
    if (!QDir().mkpath(m_czFolder) || !file.open(QIODevice::WriteOnly) || !file.resize(64 << 20)) {
        m_czWhy = QStringLiteral("no room for the image under ") + scratch;
        return;
    }
    m_czWhy = Run(QStringLiteral("mkfs.exfat"), {image});
    if (m_czWhy.isEmpty())
        m_czWhy = Run(QStringLiteral("losetup"), {QStringLiteral("-f"), QStringLiteral("--show"), image}, &m_czLoop);
    if (m_czWhy.isEmpty()) {
        fixture::KeepMount(m_czFolder);
        m_czWhy = Run(QStringLiteral("mount.exfat-fuse"), {m_czLoop, m_czFolder});
    }
    m_bMounted = m_czWhy.isEmpty();
    // Else it is detached here as the volume goes, if it is still ours:
    // once the mount let it go, the kernel may have given it to another.
    if (m_bMounted && DetachWithLastUser(m_czLoop))
        m_czLoop.clear();
}

ExfatVolume::~ExfatVolume()
{
    if (m_bMounted)
        Run(QStringLiteral("umount"), {m_czFolder});
    fixture::DropMount(m_czFolder);
    if (!m_czLoop.isEmpty())
        Run(QStringLiteral("losetup"), {QStringLiteral("-d"), m_czLoop});
}
