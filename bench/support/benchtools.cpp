#include "bench/support/benchtools.h"

#include <QDirIterator>
#include <QFile>
#include <QFileInfo>
#include <QProcess>
#include <QStandardPaths>

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

}  // namespace bench
