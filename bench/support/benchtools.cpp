#include "bench/support/benchtools.h"

#include <QDirIterator>
#include <QFile>
#include <QFileInfo>
#include <QProcess>
#include <QStandardPaths>
#include <QThread>

#include <cstdio>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace bench {

double Median(std::vector<double> values)
{
    if (values.empty())
        return 0.0;
    std::sort(values.begin(), values.end());
    return values[values.size() / 2];
}

std::vector<std::vector<double>> Alternate(int rounds, const std::vector<std::function<double()>>& sides)
{
    std::vector<std::vector<double>> times(sides.size());
    for (int round = 0; round < rounds; ++round) {
        for (size_t side = 0; side < sides.size(); ++side)
            times[side].push_back(sides[side]());
    }
    return times;
}

double MedianRatio(const std::vector<double>& a, const std::vector<double>& b)
{
    std::vector<double> ratios;
    for (size_t i = 0; i < std::min(a.size(), b.size()); ++i)
        ratios.push_back(b[i] > 0 ? a[i] / b[i] : 0.0);
    return Median(ratios);
}

double ReadWriteSyncBound(const QStringList& sources, const std::vector<BoundOutput>& outputs, bool sync)
{
    QByteArray buffer(1 << 20, '\0');
    QElapsedTimer timer;
    timer.start();
    for (const QString& source : sources) {
        const int fd = ::open(QFile::encodeName(source).constData(), O_RDONLY | O_CLOEXEC);
        while (fd >= 0 && ::read(fd, buffer.data(), size_t(buffer.size())) > 0) {
        }
        if (fd >= 0)
            ::close(fd);
    }
    for (const BoundOutput& output : outputs) {
        const int fd = ::open(QFile::encodeName(output.path).constData(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC,
                              0644);
        bool written = fd >= 0;
        qint64 done = 0;
        qint64 writtenBack = 0;
        while (written && done < output.bytes) {
            const ssize_t n = ::write(fd, buffer.constData(), size_t(std::min<qint64>(output.bytes - done, buffer.size())));
            written = n > 0;
            done += n;
#ifdef __linux__
            // The writes start while the rest is written, as a durable
            // writer of a large file does.
            if (sync && done - writtenBack >= 8 * 1024 * 1024) {
                ::sync_file_range(fd, writtenBack, done - writtenBack, SYNC_FILE_RANGE_WRITE);
                writtenBack = done;
            }
#endif
        }
        if (!written || (sync && ::fdatasync(fd) != 0))
            std::fprintf(stderr, "bound write failed: %s\n", qPrintable(output.path));
        if (fd >= 0)
            ::close(fd);
    }
    const double seconds = Seconds(timer);
    for (const BoundOutput& output : outputs)
        QFile::remove(output.path);
    return seconds;
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

double HeadTailReads(const QStringList& files)
{
    QByteArray head(4 * 1024, '\0');
    QByteArray tail(16 * 1024, '\0');
    QElapsedTimer timer;
    timer.start();
    for (const QString& path : files) {
        const int fd = ::open(QFile::encodeName(path).constData(), O_RDONLY | O_CLOEXEC);
        struct stat info;
        if (fd < 0 || ::fstat(fd, &info) != 0 || ::pread(fd, head.data(), size_t(head.size()), 0) <= 0
            || ::pread(fd, tail.data(), size_t(tail.size()), qMax<off_t>(0, info.st_size - tail.size())) <= 0)
            std::fprintf(stderr, "read failed: %s\n", qPrintable(path));
        if (fd >= 0)
            ::close(fd);
    }
    return Milliseconds(timer);
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
