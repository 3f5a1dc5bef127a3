#include "tests/support/locklessshare.h"

#include "tests/support/scratchdir.h"

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

TwoMountShare::TwoMountShare(const QString& scratch)
    : m_czScratch(scratch), m_czFolder(scratch + QStringLiteral("/shared/"))
{
    for (int i = 0; i < 2; ++i)
        m_czMounts[i] = scratch + QStringLiteral("/computer%1/").arg(i);
}

TwoMountShare::~TwoMountShare() { StopMounts(); }

bool TwoMountShare::StartMount(int computer, const QString& program, const QStringList& arguments)
{
    if (!QDir().mkpath(m_czFolder) || !QDir().mkpath(m_czMounts[computer])) {
        m_czWhy = QStringLiteral("cannot make ") + m_czMounts[computer];
        return false;
    }
    std::unique_ptr<QProcess>& server = m_pServers[computer];
    server = std::make_unique<QProcess>();
    server->setProcessChannelMode(QProcess::MergedChannels);
    server->start(program, arguments);
    fixture::KeepServer(m_czScratch, server->processId());
    fixture::KeepMount(m_czMounts[computer]);
    QElapsedTimer waited;
    waited.start();
    while (!Mounted(m_czMounts[computer]) && server->state() != QProcess::NotRunning && waited.elapsed() < 10000)
        QThread::msleep(10);
    if (Mounted(m_czMounts[computer]))
        return true;
    server->waitForFinished(100);
    m_czWhy = QString::fromLocal8Bit(server->readAll()).trimmed();
    if (m_czWhy.isEmpty())
        m_czWhy = QFileInfo(program).fileName() + QStringLiteral(" did not mount");
    return false;
}

bool TwoMountShare::Enter(const QString& room)
{
    m_czRoom = room + QLatin1Char('/');
    return m_bMounted && QDir().mkpath(m_czFolder + m_czRoom);
}

bool TwoMountShare::Serving() const
{
    for (int i = 0; i < 2; ++i) {
        if (!m_pServers[i] || m_pServers[i]->state() != QProcess::Running || !Mounted(m_czMounts[i]))
            return false;
    }
    return m_bMounted;
}

void TwoMountShare::StopMounts()
{
    for (int i = 0; i < 2; ++i) {
        if (!m_pServers[i])
            continue;
        const qint64 pid = m_pServers[i]->processId();
        if (Mounted(m_czMounts[i]))
            QProcess::execute(QStringLiteral("umount"), {QStringLiteral("-l"), m_czMounts[i]});
        fixture::DropMount(m_czMounts[i]);
        if (!m_pServers[i]->waitForFinished(5000)) {
            m_pServers[i]->kill();
            m_pServers[i]->waitForFinished(5000);
        }
        fixture::DropServer(pid);
        m_pServers[i].reset();
    }
}

LocklessShare::LocklessShare(const QString& tool, const QString& scratch, const QStringList& options)
    : TwoMountShare(scratch)
{
    if (tool.isEmpty() || !QFileInfo(tool).isExecutable()) {
        m_czWhy = QStringLiteral("the pass-through was not built (libfuse3-dev)");
        return;
    }
    for (int i = 0; i < 2; ++i) {
        if (!StartMount(i, tool, options + QStringList{m_czFolder, m_czMounts[i]}))
            return;
    }
    m_bMounted = true;
}
