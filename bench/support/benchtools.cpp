#include "bench/support/benchtools.h"

#include "foundation/platform/foldernames.h"

#include <QDirIterator>
#include <QFile>
#include <QFileInfo>
#include <QProcess>
#include <QStandardPaths>
#include <QThread>
#include <QtEndian>

#include <atomic>
#include <cstdio>
#include <cstring>
#include <thread>
#include <fcntl.h>
#include <sys/resource.h>
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

double SerialOrParallel(int count, int threads, const std::function<void(int)>& piece,
                        const std::function<void()>& after)
{
    QElapsedTimer timer;
    timer.start();
    for (int i = 0; i < count; ++i)
        piece(i);
    const double serial = Seconds(timer);
    if (after)
        after();
    if (threads <= 1)
        return serial;
    std::atomic<int> next{0};
    auto work = [&] {
        for (int i = next++; i < count; i = next++)
            piece(i);
    };
    timer.restart();
    std::vector<std::thread> helpers;
    for (int i = 1; i < threads; ++i)
        helpers.emplace_back(work);
    work();
    for (std::thread& helper : helpers)
        helper.join();
    const double parallel = Seconds(timer);
    if (after)
        after();
    return std::min(serial, parallel);
}

double ReadWriteSyncBound(const QStringList& sources, const std::vector<BoundOutput>& outputs, bool sync,
                          int threads)
{
    auto read = [&](const QString& source) {
        thread_local QByteArray buffer(1 << 20, '\0');
        const int fd = ::open(QFile::encodeName(source).constData(), O_RDONLY | O_CLOEXEC);
        while (fd >= 0 && ::read(fd, buffer.data(), size_t(buffer.size())) > 0) {
        }
        if (fd >= 0)
            ::close(fd);
    };
    auto write = [&](const BoundOutput& output) {
        thread_local const QByteArray buffer(1 << 20, '\0');
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
    };
    const int count = sources.size() + int(outputs.size());
    return SerialOrParallel(
        count, threads,
        [&](int i) {
            if (i < sources.size())
                read(sources.at(i));
            else
                write(outputs.at(size_t(i - sources.size())));
        },
        [&] {
            for (const BoundOutput& output : outputs)
                QFile::remove(output.path);
        });
}

QList<QList<Region>> SavedRegions(const QStringList& files)
{
    QList<QList<Region>> regions;
    for (const QString& path : files) {
        QFile file(path);
        file.open(QIODevice::ReadOnly);
        const QByteArray head = file.read(4096);
        QList<Region> own;
        const int bext = head.indexOf("bext");
        if (bext >= 0)
            own.append({bext, head.mid(bext, 8 + int(qFromLittleEndian<quint32>(head.constData() + bext + 4)))});
        file.seek(qMax<qint64>(0, file.size() - 64 * 1024));
        const qint64 tailStart = file.pos();
        const QByteArray tail = file.readAll();
        const int ixml = tail.lastIndexOf("iXML");
        if (ixml >= 0)
            own.append({tailStart + ixml, tail.mid(ixml)});
        regions.append(own);
    }
    return regions;
}

double WriteRegionsInPlace(const QStringList& files, const QList<QList<Region>>& regions, bool sync, int threads)
{
    return 1000 * SerialOrParallel(int(files.size()), threads, [&](int i) {
        const int fd = ::open(QFile::encodeName(files.at(i)).constData(), O_RDWR | O_CLOEXEC);
        bool written = fd >= 0;
        for (const Region& region : regions.at(i))
            written = written && ::pwrite(fd, region.bytes.constData(), size_t(region.bytes.size()), region.offset)
                                     == region.bytes.size();
        if (!written || (sync && ::fdatasync(fd) != 0))
            std::fprintf(stderr, "write failed: %s\n", qPrintable(files.at(i)));
        if (fd >= 0)
            ::close(fd);
    });
}

double CpuSeconds(bool children)
{
    struct rusage usage {};
    ::getrusage(children ? RUSAGE_CHILDREN : RUSAGE_SELF, &usage);
    return usage.ru_utime.tv_sec + usage.ru_stime.tv_sec + (usage.ru_utime.tv_usec + usage.ru_stime.tv_usec) / 1e6;
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

double HeadTailReads(const QStringList& files, int threads)
{
    return 1000
           * SerialOrParallel(int(files.size()), threads, [&](int i) {
                 thread_local char head[4 * 1024];
                 thread_local char tail[16 * 1024];
                 const QString& path = files.at(i);
                 const int fd = ::open(QFile::encodeName(path).constData(), O_RDONLY | O_CLOEXEC);
                 struct stat info;
                 if (fd < 0 || ::fstat(fd, &info) != 0 || ::pread(fd, head, sizeof head, 0) <= 0
                     || ::pread(fd, tail, sizeof tail, qMax<off_t>(0, info.st_size - off_t(sizeof tail))) <= 0)
                     std::fprintf(stderr, "read failed: %s\n", qPrintable(path));
                 if (fd >= 0)
                     ::close(fd);
             });
}

double PlainListing(const QString& folder, const QString& suffix, QStringList* paths)
{
    QElapsedTimer timer;
    timer.start();
    paths->clear();
    const QByteArray ending = QFile::encodeName(suffix);
    VisitEntryNames(folder, [&](const char* name) {
        const size_t length = std::strlen(name);
        if (length > size_t(ending.size())
            && std::memcmp(name + length - size_t(ending.size()), ending.constData(), size_t(ending.size())) == 0)
            paths->append(folder + QLatin1Char('/') + QFile::decodeName(name));
        return true;
    });
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

void PrintNamesAsked(const char* what, double perTake, int tracks, double target)
{
    const int forms = 8;   // four separators, two- and one-character numbers
    const int load = 1 + tracks + forms * (24 - tracks);
    std::printf("%s: %.1f names asked of the disk per take; a load of the take's names %d: ratio %.2f "
                "(target <= %.1f)\n", what, perTake, load, perTake / load, target);
    std::fflush(stdout);
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
