#include "tests/support/exfatvolume.h"

#include "tests/support/scratchdir.h"

#include <QDir>
#include <QFile>
#include <QProcess>

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
}

ExfatVolume::~ExfatVolume()
{
    if (m_bMounted)
        Run(QStringLiteral("umount"), {m_czFolder});
    fixture::DropMount(m_czFolder);
    if (!m_czLoop.isEmpty())
        Run(QStringLiteral("losetup"), {QStringLiteral("-d"), m_czLoop});
}
