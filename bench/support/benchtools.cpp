#include "bench/support/benchtools.h"

#include <QDirIterator>
#include <QFile>
#include <QFileInfo>
#include <QProcess>
#include <QStandardPaths>

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

}  // namespace bench
