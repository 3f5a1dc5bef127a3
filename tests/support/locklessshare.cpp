#include "tests/support/locklessshare.h"

#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QFileInfo>
#include <QThread>

#include <sys/stat.h>

namespace {

// The folder is a mount point of its own now: another device than its parent's.
bool Mounted(const QString& folder)
{
    struct stat own, parent;
    return ::stat(QFile::encodeName(folder).constData(), &own) == 0
           && ::stat(QFile::encodeName(folder + QStringLiteral("/..")).constData(), &parent) == 0
           && own.st_dev != parent.st_dev;
}

} // namespace

LocklessShare::LocklessShare(const QString& tool, const QString& scratch, const QStringList& options)
{
    m_czFolder = scratch + QStringLiteral("/shared/");
    if (tool.isEmpty() || !QFileInfo(tool).isExecutable()) {
        m_czWhy = QStringLiteral("the pass-through was not built (libfuse3-dev)");
        return;
    }
    if (!QDir().mkpath(m_czFolder)) {
        m_czWhy = QStringLiteral("cannot make ") + m_czFolder;
        return;
    }
    for (int i = 0; i < 2; ++i) {
        m_czMounts[i] = scratch + QStringLiteral("/computer%1/").arg(i);
        QDir().mkpath(m_czMounts[i]);
        m_pServers[i] = std::make_unique<QProcess>();
        m_pServers[i]->setProcessChannelMode(QProcess::MergedChannels);
        m_pServers[i]->start(tool, options + QStringList{m_czFolder, m_czMounts[i]});
        QElapsedTimer waited;
        waited.start();
        while (!Mounted(m_czMounts[i]) && m_pServers[i]->state() != QProcess::NotRunning && waited.elapsed() < 5000)
            QThread::msleep(10);
        if (!Mounted(m_czMounts[i])) {
            m_pServers[i]->waitForFinished(100);
            m_czWhy = QString::fromLocal8Bit(m_pServers[i]->readAll()).trimmed();
            if (m_czWhy.isEmpty())
                m_czWhy = QStringLiteral("the pass-through did not mount");
            return;
        }
    }
    m_bMounted = true;
}

LocklessShare::~LocklessShare()
{
    for (int i = 0; i < 2; ++i) {
        if (!m_pServers[i])
            continue;
        if (Mounted(m_czMounts[i]))
            QProcess::execute(QStringLiteral("umount"), {QStringLiteral("-l"), m_czMounts[i]});
        if (!m_pServers[i]->waitForFinished(5000)) {
            m_pServers[i]->kill();
            m_pServers[i]->waitForFinished(5000);
        }
    }
}
