#include "tests/support/sshfsshare.h"

#include "tests/support/scratchdir.h"

#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QStandardPaths>
#include <QThread>

#include <algorithm>

#include <arpa/inet.h>
#include <netinet/in.h>
#include <sys/socket.h>
#include <unistd.h>

namespace {

const QStringList kSystemFolders = {QStringLiteral("/usr/sbin"), QStringLiteral("/sbin"), QStringLiteral("/usr/bin"),
                                    QStringLiteral("/bin")};

QString Tool(const QString& name)
{
    const QString found = QStandardPaths::findExecutable(name);
    return found.isEmpty() ? QStandardPaths::findExecutable(name, kSystemFolders) : found;
}

// A connection to port on the loopback: true when accepted (the port given
// 0: a free port, its number in *port).
bool LoopbackPort(int* port, bool connectTo)
{
    const int fd = ::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
    if (fd < 0)
        return false;
    sockaddr_in address = {};
    address.sin_family = AF_INET;
    address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    address.sin_port = htons(quint16(*port));
    socklen_t length = sizeof(address);
    bool done;
    if (connectTo) {
        done = ::connect(fd, reinterpret_cast<sockaddr*>(&address), length) == 0;
    } else {
        done = ::bind(fd, reinterpret_cast<sockaddr*>(&address), length) == 0
               && ::getsockname(fd, reinterpret_cast<sockaddr*>(&address), &length) == 0;
        *port = ntohs(address.sin_port);
    }
    ::close(fd);
    return done;
}

bool WriteText(const QString& path, const QString& text)
{
    QFile file(path);
    return file.open(QIODevice::WriteOnly | QIODevice::Truncate) && file.write(text.toUtf8()) == text.toUtf8().size()
           && file.flush();
}

// Empty when the program ran and succeeded; else what went wrong.
QString Run(const QString& program, const QStringList& arguments)
{
    QProcess process;
    process.setProcessChannelMode(QProcess::MergedChannels);
    process.start(program, arguments);
    if (!process.waitForFinished(30000) || process.exitStatus() != QProcess::NormalExit)
        return program + QStringLiteral(" did not run: ") + process.errorString();
    if (process.exitCode() != 0)
        return program + QStringLiteral(": ") + QString::fromLocal8Bit(process.readAll()).trimmed();
    return QString();
}

} // namespace

SshfsShare::SshfsShare(const QString& scratch, const QStringList& options) : TwoMountShare(scratch)
{
    const QString sshfs = Tool(QStringLiteral("sshfs"));
    if (::geteuid() != 0 || sshfs.isEmpty() || !QFile::exists(QStringLiteral("/dev/fuse"))) {
        m_czWhy = QStringLiteral("needs root, /dev/fuse and sshfs");
        return;
    }
    int port = 0;
    if (!QDir().mkpath(m_czFolder) || !LoopbackPort(&port, false)) {
        m_czWhy = QStringLiteral("no folder or no free port on the loopback");
        return;
    }
    m_czWhy = StartServer(m_czFolder, port);
    if (!m_czWhy.isEmpty())
        return;
    const QString keys = m_czScratch + QStringLiteral("/sshd/");
    QStringList arguments = {QStringLiteral("-f"), QStringLiteral("-F"), keys + QStringLiteral("ssh_config"),
                             QStringLiteral("nalvo-share:") + m_czFolder};
    for (const QString& option : options)
        arguments << QStringLiteral("-o") << option;
    for (int i = 0; i < 2; ++i) {
        if (!StartMount(i, sshfs, QStringList(arguments) << m_czMounts[i]))
            return;
    }
    m_bMounted = true;
}

SshfsShare::~SshfsShare()
{
    // The mounts first: their sessions end with them, then the server.
    StopMounts();
    if (m_pServer) {
        const qint64 pid = m_pServer->processId();
        m_pServer->terminate();
        if (!m_pServer->waitForFinished(5000)) {
            m_pServer->kill();
            m_pServer->waitForFinished(5000);
        }
        fixture::DropServer(pid);
    }
}

QString SshfsShare::StartServer(const QString& folder, int port)
{
    const QString sshd = Tool(QStringLiteral("sshd")), keygen = Tool(QStringLiteral("ssh-keygen"));
    const QString unshare = Tool(QStringLiteral("unshare"));
    if (sshd.isEmpty() || keygen.isEmpty() || unshare.isEmpty())
        return QStringLiteral("needs sshd, ssh-keygen and unshare");
    const QString keys = m_czScratch + QStringLiteral("/sshd/");
    if (!QDir().mkpath(keys) || !QFile::setPermissions(keys, QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner))
        return QStringLiteral("cannot make ") + keys;
    for (const QString& key : {QStringLiteral("host_key"), QStringLiteral("client_key")}) {
        const QString why = Run(keygen, {QStringLiteral("-q"), QStringLiteral("-t"), QStringLiteral("ed25519"),
                                         QStringLiteral("-N"), QString(), QStringLiteral("-f"), keys + key});
        if (!why.isEmpty())
            return why;
    }
    QFile hostKey(keys + QStringLiteral("host_key.pub")), clientKey(keys + QStringLiteral("client_key.pub"));
    if (!hostKey.open(QIODevice::ReadOnly) || !clientKey.open(QIODevice::ReadOnly))
        return QStringLiteral("ssh-keygen made no keys");
    const QString server = QStringLiteral("ListenAddress 127.0.0.1:%1\n").arg(port)
                           + QStringLiteral("HostKey %1host_key\nAuthorizedKeysFile %1authorized_keys\n").arg(keys)
                           + QStringLiteral("PidFile none\nPermitRootLogin prohibit-password\n"
                                            "PubkeyAuthentication yes\nPasswordAuthentication no\n"
                                            "KbdInteractiveAuthentication no\nUsePAM no\nStrictModes no\n"
                                            "PrintMotd no\nPrintLastLog no\nLogLevel ERROR\n"
                                            "Subsystem sftp internal-sftp\n");
    const QString client = QStringLiteral("Host nalvo-share\n  HostName 127.0.0.1\n  Port %1\n  User root\n").arg(port)
                           + QStringLiteral("  IdentityFile %1client_key\n  IdentitiesOnly yes\n"
                                            "  UserKnownHostsFile %1known_hosts\n  GlobalKnownHostsFile %1known_hosts\n"
                                            "  StrictHostKeyChecking yes\n  BatchMode yes\n  LogLevel ERROR\n")
                                 .arg(keys);
    if (!WriteText(keys + QStringLiteral("authorized_keys"), QString::fromUtf8(clientKey.readAll()))
        || !WriteText(keys + QStringLiteral("known_hosts"),
                      QStringLiteral("[127.0.0.1]:%1 ").arg(port) + QString::fromUtf8(hostKey.readAll()))
        || !WriteText(keys + QStringLiteral("sshd_config"), server)
        || !WriteText(keys + QStringLiteral("ssh_config"), client))
        return QStringLiteral("cannot write the configuration in ") + keys;
    // sshd wants its privilege separation folder (/run/sshd), which only
    // its service makes: a memory folder over /run, seen by this server alone.
    m_pServer = std::make_unique<QProcess>();
    m_pServer->setProcessChannelMode(QProcess::MergedChannels);
    m_pServer->start(unshare, {QStringLiteral("--mount"), QStringLiteral("--propagation"), QStringLiteral("private"),
                               QStringLiteral("/bin/sh"), QStringLiteral("-c"),
                               QStringLiteral("mount -t tmpfs -o mode=755 nalvo-sshd /run && mkdir -m 755 /run/sshd "
                                              "&& exec \"$0\" -D -e -f \"$1\""),
                               sshd, keys + QStringLiteral("sshd_config")});
    fixture::KeepServer(m_czScratch, m_pServer->processId());
    QElapsedTimer waited;
    waited.start();
    while (m_pServer->state() != QProcess::NotRunning && waited.elapsed() < 10000) {
        if (LoopbackPort(&port, true))
            return QString();
        QThread::msleep(20);
    }
    m_pServer->waitForFinished(100);
    const QString told = QString::fromLocal8Bit(m_pServer->readAll()).trimmed();
    return QStringLiteral("sshd did not start: ") + told;
}

struct SshfsPairs::Pair {
    explicit Pair(const QStringList& on) : options(on), share(dir.path(), on) {}
    const QStringList options;
    fixture::ScratchDir dir;   // first made, last gone: the share lives in it
    SshfsShare share;
};

SshfsPairs::SshfsPairs() = default;
SshfsPairs::~SshfsPairs() = default;

TwoMountShare& SshfsPairs::Enter(const QStringList& options)
{
    auto found = std::find_if(m_Pairs.begin(), m_Pairs.end(),
                              [&options](const std::unique_ptr<Pair>& pair) { return pair->options == options; });
    if (found == m_Pairs.end())
        found = m_Pairs.insert(m_Pairs.end(), nullptr);
    if (!*found || !(*found)->share.Serving()) {
        found->reset();   // its server and mounts end before another starts
        *found = std::make_unique<Pair>(options);
    }
    SshfsShare& share = (*found)->share;
    share.Enter(QStringLiteral("row%1").arg(++m_nRooms));
    return share;
}
