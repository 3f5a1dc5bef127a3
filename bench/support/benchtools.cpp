#include "bench/support/benchtools.h"

#include <QDirIterator>
#include <QFile>
#include <QFileInfo>
#include <QProcess>
#include <QStandardPaths>
#include <QThread>

#include <cstdio>
#include <fcntl.h>
#include <unistd.h>

namespace bench {

double Median(std::vector<double> values)
{
    if (values.empty())
        return 0.0;
    std::sort(values.begin(), values.end());
    return values[values.size() / 2];
}

bool Run(const QString& program, const QStringList& args)
{
    QProcess process;
    process.setProcessChannelMode(QProcess::ForwardedErrorChannel);
    process.start(program, args);
    if (!process.waitForFinished(-1) || process.exitStatus() != QProcess::NormalExit || process.exitCode() != 0) {
        std::fprintf(stderr, "%s failed\n", qPrintable(program));
        return false;
    }
    return true;
}

bool HaveTool(const QString& program)
{
    if (!QStandardPaths::findExecutable(program).isEmpty())
        return true;
    std::fprintf(stderr, "%s is not installed\n", qPrintable(program));
    return false;
}

namespace {
void ReadThrough(const QString& path, QByteArray* buffer)
{
    QFile file(path);
    if (file.open(QIODevice::ReadOnly))
        while (file.read(buffer->data(), buffer->size()) > 0) {
        }
}
}  // namespace

void Warm(const QStringList& paths)
{
    QByteArray buffer(1 << 20, '\0');
    for (const QString& path : paths) {
        if (!QFileInfo(path).isDir()) {
            ReadThrough(path, &buffer);
            continue;
        }
        QDirIterator it(path, QDir::Files | QDir::Hidden, QDirIterator::Subdirectories);
        while (it.hasNext())
            ReadThrough(it.next(), &buffer);
    }
}

bool DropCaches()
{
    ::sync();
    QFile drop(QStringLiteral("/proc/sys/vm/drop_caches"));
    if (!drop.open(QIODevice::WriteOnly) || drop.write("3\n") != 2)
        return false;
    drop.close();
    return drop.error() == QFileDevice::NoError;
}

void QuietDebugOutput()
{
    qInstallMessageHandler([](QtMsgType type, const QMessageLogContext&, const QString& text) {
        if (type != QtDebugMsg)
            std::fprintf(stderr, "%s\n", qPrintable(text));
    });
}

void Evict(const QStringList& paths)
{
    for (const QString& path : paths) {
        QFile file(path);
        // Dirty pages stay in the cache: written back first.
        if (file.open(QIODevice::ReadOnly)) {
            ::fdatasync(file.handle());
            ::posix_fadvise(file.handle(), 0, 0, POSIX_FADV_DONTNEED);
        }
    }
}

MachineLoad::MachineLoad(const QString& folder)
{
    // Two busy loops per core: a load average of about twice the cores.
    const int cores = std::max(1, QThread::idealThreadCount());
    for (int i = 0; i < 2 * cores; ++i)
        Start(QStringLiteral("sh"), {QStringLiteral("-c"), QStringLiteral("while :; do :; done")});
    for (int i = 0; i < 2; ++i) {
        const QString written = folder + QStringLiteral("/load-written-%1").arg(i);
        const QString read = folder + QStringLiteral("/load-read-%1").arg(i);
        Run(QStringLiteral("dd"), {QStringLiteral("if=/dev/zero"), QStringLiteral("of=") + read, QStringLiteral("bs=1M"),
                                   QStringLiteral("count=512"), QStringLiteral("status=none")});
        Start(QStringLiteral("dd"), {QStringLiteral("if=/dev/zero"), QStringLiteral("of=") + written,
                                     QStringLiteral("bs=1M"), QStringLiteral("count=100000"), QStringLiteral("oflag=dsync"),
                                     QStringLiteral("status=none")});
        Start(QStringLiteral("sh"),
              {QStringLiteral("-c"),
               // Short reads, so the one running when the loop is killed ends soon.
               QStringLiteral("while :; do for s in 0 64 128 192 256 320 384 448; do "
                              "dd if='%1' of=/dev/null bs=1M skip=$s count=64 iflag=direct status=none; "
                              "done; done")
                   .arg(read)});
    }
}

MachineLoad::~MachineLoad()
{
    for (QProcess* process : m_Processes) {
        process->kill();
        process->waitForFinished(5000);
        delete process;
    }
}

void MachineLoad::Start(const QString& program, const QStringList& args)
{
    auto* process = new QProcess;
    process->setProcessChannelMode(QProcess::ForwardedErrorChannel);
    process->start(program, args);
    process->waitForStarted();
    m_Processes.push_back(process);
}

}  // namespace bench
