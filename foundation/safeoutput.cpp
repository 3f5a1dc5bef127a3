#include "foundation/safeoutput.h"

#include "foundation/fileutil.h"
#include "foundation/replacejournal.h"

#include <QDateTime>
#include <QDir>
#include <QFileInfo>
#include <QHash>
#include <QRandomGenerator>

#include <cerrno>
#include <condition_variable>
#include <cstdio>
#include <cstring>
#include <fcntl.h>
#include <mutex>
#include <thread>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

namespace {
bool SyncDescriptor(int fd) { return fd >= 0 && ::fsync(fd) == 0; }

// The descriptor and the path name one file that still has a name.
bool StillNamed(int fd, const QByteArray& path)
{
    struct stat open, named;
    return ::fstat(fd, &open) == 0 && open.st_nlink > 0 && ::lstat(path.constData(), &named) == 0
           && open.st_dev == named.st_dev && open.st_ino == named.st_ino;
}

// Folders swept lately, so a tree of many files lists each folder once.
bool SweepDue(const QString& folder)
{
    constexpr qint64 kSweepIntervalMs = 10000;
    static std::mutex mutex;
    static QHash<QString, qint64> lastSweep;   // folder -> ms since the epoch
    const qint64 now = QDateTime::currentMSecsSinceEpoch();
    std::lock_guard<std::mutex> guard(mutex);
    auto it = lastSweep.find(folder);
    if (it != lastSweep.end() && now - it.value() < kSweepIntervalMs)
        return false;
    lastSweep.insert(folder, now);
    return true;
}

void SyncFolder(const QString& folder)
{
    const int fd = ::open(QFile::encodeName(folder).constData(), O_RDONLY | O_DIRECTORY);
    if (fd >= 0) {
        ::fsync(fd);
        ::close(fd);
    }
}
}

// Hands the stretches the writer posts to the disk, one sync_file_range
// each, on a thread of its own: the submission (block allocation, building
// the requests) costs the writer nothing. Starts the writes only; a failure
// shows in the final sync.
struct SafeOutput::tyWriteback {
    explicit tyWriteback(int fd) : nFd(fd), thread([this] { Run(); }) {}
    ~tyWriteback()
    {
        {
            std::lock_guard<std::mutex> guard(mutex);
            bStop = true;
        }
        posted.notify_one();
        thread.join();
    }
    void Post(qint64 end)
    {
        {
            std::lock_guard<std::mutex> guard(mutex);
            nTarget = end;
        }
        posted.notify_one();
    }
    void Run()
    {
        qint64 done = 0;   // this thread's own
        std::unique_lock<std::mutex> lock(mutex);
        for (;;) {
            posted.wait(lock, [&] { return bStop || nTarget > done; });
            // A stopped output is closed or being removed: nothing more to start.
            if (bStop)
                return;
            const qint64 target = nTarget;
            lock.unlock();
#ifdef __linux__
            ::sync_file_range(nFd, done, target - done, SYNC_FILE_RANGE_WRITE);
#endif
            done = target;
            lock.lock();
        }
    }

    const int nFd;
    std::mutex mutex;
    std::condition_variable posted;
    qint64 nTarget = 0;   // written by the writer's thread, under mutex: the end handed on
    bool bStop = false;   // written by the writer's thread, under mutex
    std::thread thread;   // last: starts once the members above exist
};

SafeOutput::SafeOutput(const QString& finalPath, Replace replace)
    : m_czFinalPath(QFileInfo(finalPath).absoluteFilePath()), m_eReplace(replace)
{
}

SafeOutput::~SafeOutput()
{
    if (!m_bCommitted)
        Discard();
}

bool SafeOutput::Fail(Failure failure, const QString& text)
{
    m_eFailure = failure;
    m_czError = text;
    Discard();
    return false;
}

bool SafeOutput::Begin(qint64 plannedLength)
{
    const QFileInfo target(m_czFinalPath);
    if (target.isDir())
        return Fail(Failure::TargetIsFolder, QStringLiteral("the target is a folder"));
    m_bTargetExisted = target.exists() || target.isSymLink();
    if (m_bTargetExisted && m_eReplace == Replace::Never)
        return Fail(Failure::TargetExists, QStringLiteral("the target exists"));
    if (plannedLength < 0 || (plannedLength > kMaxLength && !m_bUnbounded))
        return Fail(Failure::TooLarge, QStringLiteral("%1 bytes pass the 32-bit limit").arg(plannedLength));
    const qint64 free = FreeSpaceOfPath(target.absolutePath());
    if (free >= 0 && free < plannedLength)
        return Fail(Failure::NoRoom, QStringLiteral("%1 bytes free, %2 needed").arg(free).arg(plannedLength));

    if (SweepDue(target.absolutePath())) {
        // A killed commit's temporaries still count: its record settles them first.
        SettleReplacementsIn(target.absolutePath());
        RemoveAbandoned(target.absolutePath());
    }
    // Hidden and ending in no audio extension, so no listing takes it for a take.
    const QString stem = target.absolutePath() + QStringLiteral("/.") + target.fileName() + QStringLiteral(".part-");
    if (!CreateTemporary(stem)) {
        const QString why = QString::fromLocal8Bit(std::strerror(errno));
        m_czTempPath.clear();
        return Fail(Failure::Create, why);
    }
    m_nPlanned = plannedLength;
    return true;
}

bool SafeOutput::CreateTemporary(const QString& stem)
{
    for (int attempt = 0; attempt < 16; ++attempt) {
        m_czTempPath = stem + QString::number(QRandomGenerator::global()->generate() & 0xFFFFFF, 16);
        const QByteArray path = QFile::encodeName(m_czTempPath);
        const int fd = ::open(path.constData(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0666);
        if (fd < 0) {
            if (errno == EEXIST)
                continue;
            return false;
        }
        // A volume without locks (flock fails outright) keeps the file
        // unlocked: no sweep can lock it either, so none removes it.
        while (::flock(fd, LOCK_EX) != 0 && errno == EINTR) {
        }
        // Another run's sweep may have taken the file between its creation
        // and the lock: then it has no name any more and a new one is made.
        struct stat st;
        if (::fstat(fd, &st) == 0 && st.st_nlink == 0) {
            ::close(fd);
            continue;
        }
        if (!m_File.open(fd, QIODevice::WriteOnly | QIODevice::Unbuffered, QFileDevice::DontCloseHandle)) {
            ::unlink(path.constData());
            ::close(fd);
            errno = EIO;
            return false;
        }
        m_nLockFd = fd;
        return true;
    }
    errno = EEXIST;
    return false;
}

void SafeOutput::ReleaseLock()
{
    StopWriteback();
    if (m_File.isOpen())
        m_File.close();
    if (m_nLockFd >= 0)
        ::close(m_nLockFd);
    m_nLockFd = -1;
}

int SafeOutput::RemoveAbandoned(const QString& folder)
{
    int removed = 0;
    const QStringList names =
        QDir(folder).entryList({QStringLiteral(".*.part-*")}, QDir::Files | QDir::Hidden | QDir::System);
    for (const QString& name : names) {
        const QByteArray path = QFile::encodeName(folder + QLatin1Char('/') + name);
        const int fd = ::open(path.constData(), O_RDONLY | O_CLOEXEC | O_NOFOLLOW | O_NONBLOCK);
        if (fd < 0)
            continue;
        // A free lock: the writer is gone. The name must still be the file
        // locked (a writer may have renamed it into place meanwhile).
        if (::flock(fd, LOCK_EX | LOCK_NB) == 0 && StillNamed(fd, path) && ::unlink(path.constData()) == 0)
            ++removed;
        ::close(fd);
    }
    return removed;
}

bool SafeOutput::WriteAt(qint64 offset, const char* data, qint64 size)
{
    if (!m_File.isOpen() || !m_File.seek(offset))
        return Fail(Failure::Write, QStringLiteral("seek to %1 failed").arg(offset));
    return Write(data, size);
}

bool SafeOutput::Write(const char* data, qint64 size)
{
    if (!m_File.isOpen())
        return Fail(Failure::Write, QStringLiteral("the file is not open"));
    if (!m_bUnbounded && m_File.pos() + size > m_nPlanned)
        return Fail(Failure::Write, QStringLiteral("a write passes the planned length"));
    errno = 0;
    if (size > 0 && m_File.write(data, size) != size) {
        // A short write leaves QFile without a reason: the system's is kept.
        const int why = errno;
        return Fail(Failure::Write, why != 0 ? QString::fromLocal8Bit(std::strerror(why)) : m_File.errorString());
    }
    if (m_bEarlyWriteback)
        StartWriteback();
    return true;
}

void SafeOutput::StartWriteback()
{
#ifdef __linux__
    constexpr qint64 kStretch = 8 * 1024 * 1024;
    const qint64 end = m_File.pos();
    if (end - m_nWrittenBack < kStretch)
        return;
    if (!m_pWriteback)
        m_pWriteback = std::make_unique<tyWriteback>(m_File.handle());
    m_pWriteback->Post(end);
    m_nWrittenBack = end;
#endif
}

void SafeOutput::StopWriteback() { m_pWriteback.reset(); }

bool SafeOutput::Close(bool sync)
{
    if (m_czTempPath.isEmpty())
        return Fail(Failure::Commit, QStringLiteral("nothing was written"));
    m_bSync = m_bSync || sync;
    StopWriteback();
    if (!m_File.isOpen())
        return true;
    if (!m_File.flush())
        return Fail(Failure::Commit, m_File.errorString());
    m_File.close();   // the descriptor stays open: it holds the lock
    if (m_File.error() != QFileDevice::NoError)
        return Fail(Failure::Commit, m_File.errorString());
    return true;
}

bool SafeOutput::RenameIntoPlace()
{
    const QByteArray from = QFile::encodeName(m_czTempPath);
    const QByteArray to = QFile::encodeName(m_czFinalPath);
    if (m_eReplace == Replace::Existing)
        return ::rename(from.constData(), to.constData()) == 0;
#ifdef __linux__
    // Atomic "rename unless the name exists"; a file system without it
    // (EINVAL) gets the hard-link form, then a plain check.
    if (::renameat2(AT_FDCWD, from.constData(), AT_FDCWD, to.constData(), RENAME_NOREPLACE) == 0)
        return true;
    if (errno != EINVAL && errno != ENOSYS)
        return false;
#endif
    if (::link(from.constData(), to.constData()) == 0) {
        ::unlink(from.constData());   // a leftover second name holds the same bytes
        return true;
    }
    if (errno == EEXIST)
        return false;
    // Neither (exFAT): an empty file created under the final name only if
    // none is there holds the name, so the plain rename replaces only that
    // one, never a file another program made meanwhile.
    const int hold = ::open(to.constData(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0666);
    if (hold < 0)
        return false;
    ::close(hold);
    if (::rename(from.constData(), to.constData()) == 0)
        return true;
    const int why = errno;
    ::unlink(to.constData());
    errno = why;
    return false;
}

bool SafeOutput::Commit()
{
    if (m_czTempPath.isEmpty())
        return Fail(Failure::Commit, QStringLiteral("nothing was written"));
    if (m_File.isOpen() && !Close(m_bSync))
        return false;
    if (m_bSync) {
        // By path: a metadata pass may have written the file after Close().
        const int fd = ::open(QFile::encodeName(m_czTempPath).constData(), O_RDONLY);
        const bool synced = SyncDescriptor(fd);
        if (fd >= 0)
            ::close(fd);
        if (!synced)
            return Fail(Failure::Commit, QStringLiteral("fsync failed"));
    }
    const qint64 length = QFileInfo(m_czTempPath).size();
    if (length > kMaxLength && !m_bUnbounded)
        return Fail(Failure::TooLarge, QStringLiteral("%1 bytes pass the 32-bit limit").arg(length));
    if (QFileInfo(m_czFinalPath).isDir())
        return Fail(Failure::TargetIsFolder, QStringLiteral("the target is a folder"));
    if (!RenameIntoPlace())
        return Fail(Failure::Commit, QString::fromLocal8Bit(std::strerror(errno)));
    m_bCommitted = true;
    ReleaseLock();
    if (m_bSync)
        SyncFolder(QFileInfo(m_czFinalPath).absolutePath());
    return true;
}

void SafeOutput::Discard()
{
    if (m_bCommitted)
        return;
    StopWriteback();
    if (m_File.isOpen())
        m_File.close();
    // Removed before the lock goes, so no sweep meets a half-removed file.
    if (!m_czTempPath.isEmpty())
        QFile::remove(m_czTempPath);
    m_czTempPath.clear();
    ReleaseLock();
}
