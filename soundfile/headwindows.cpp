#include "soundfile/headwindows.h"

#include "foundation/platform/diskcalls.h"
#include "foundation/spreadwork.h"

#include <QFile>

#include <cerrno>
#include <cstring>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

qint64 ReadFully(int fd, qint64 offset, char* out, qint64 n)
{
    qint64 done = 0;
    while (done < n) {
        const ssize_t got = ::pread(fd, out + done, size_t(n - done), off_t(offset + done));
        if (got < 0) {
            if (errno == EINTR)
                continue;
            return -1;
        }
        if (got == 0)
            break;
        done += got;
    }
    return done;
}

HeadTailWindows::HeadTailWindows(int fd, qint64 length) : m_nFd(fd)
{
    if (fd < 0)
        return;
    if (length < 0) {
        struct stat info;
        if (::fstat(fd, &info) != 0)
            return;
        length = info.st_size;
    }
    m_nLength = length;
    // A small file is one window.
    if (m_nLength <= kHeadBytes + kTailBytes) {
        ReadWindow(fd, 0, m_nLength, &m_Head);
        return;
    }
    ReadWindow(fd, 0, kHeadBytes, &m_Head);
    m_nTailOffset = m_nLength - kTailBytes;
    ReadWindow(fd, m_nTailOffset, kTailBytes, &m_Tail);
}

bool HeadTailWindows::ReadWindow(int fd, qint64 offset, qint64 n, QByteArray* into)
{
    into->resize(int(n));
    const qint64 got = ReadFully(fd, offset, into->data(), n);
    into->resize(int(qMax<qint64>(got, 0)));
    return got == n;
}

bool HeadTailWindows::ReadAt(qint64 offset, char* out, qint64 n)
{
    if (offset < 0 || n < 0 || offset + n > m_nLength)
        return false;
    if (offset + n <= m_Head.size()) {
        std::memcpy(out, m_Head.constData() + offset, size_t(n));
        return true;
    }
    if (!m_Tail.isEmpty() && offset >= m_nTailOffset && offset + n <= m_nTailOffset + m_Tail.size()) {
        std::memcpy(out, m_Tail.constData() + (offset - m_nTailOffset), size_t(n));
        return true;
    }
    return ReadFully(m_nFd, offset, out, n) == n;
}

qint64 RegularFileLength(const QString& path)
{
    struct stat info;
    if (::stat(QFile::encodeName(path).constData(), &info) != 0 || !S_ISREG(info.st_mode))
        return -1;
    return info.st_size;
}

qint64 RegularFileLengthAt(int folderDescriptor, const QString& name)
{
    struct stat info;
    if (::fstatat(folderDescriptor, QFile::encodeName(name).constData(), &info, 0) != 0 || !S_ISREG(info.st_mode))
        return -1;
    return info.st_size;
}

FolderFileLengths::FolderFileLengths(const QString& folder)
{
    const QString named = folder.isEmpty() ? QStringLiteral(".") : folder;
    m_nFd = ::open(QFile::encodeName(named).constData(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    m_czPrefix = named.endsWith(QLatin1Char('/')) ? named : named + QLatin1Char('/');
}

FolderFileLengths::~FolderFileLengths()
{
    if (m_nFd >= 0)
        ::close(m_nFd);
}

qint64 FolderFileLengths::Of(const QString& name) const
{
    return m_nFd >= 0 ? RegularFileLengthAt(m_nFd, name) : RegularFileLength(m_czPrefix + name);
}

QVector<qint64> RegularFileLengthsIn(const QString& folder, const QStringList& names, int threads,
                                     const std::function<void()>& alongside)
{
    QVector<qint64> lengths(names.size(), -1);
    const FolderFileLengths folderLengths(folder);
    // Runs of names to a worker: one name is asked in about a microsecond.
    const int kRun = 128;
    const int runs = (names.size() + kRun - 1) / kRun;
    qint64* const out = lengths.data();   // detached here, once: each worker writes its own items
    // The caller's own work goes first on the calling thread (worker 0),
    // which then asks lengths with the others.
    bool done = !alongside;
    SpreadWork(runs, threads, [&](int run, int worker) {
        if (worker == 0 && !done) {
            alongside();
            done = true;
        }
        for (int i = run * kRun; i < qMin(names.size(), (run + 1) * kRun); ++i)
            out[i] = folderLengths.Of(names.at(i));
        return true;
    });
    if (!done)
        alongside();
    return lengths;
}

int OpenRegularFile(const QString& path, bool writable, bool* notRegular, qint64* length, tyReadState* read)
{
    *notRegular = false;
    // O_NONBLOCK: opening a FIFO for reading would otherwise wait for a
    // writer forever.
    const QByteArray name = QFile::encodeName(path);
    int fd = -1;
    // A writer's open is one of its disk calls (see diskcalls.h); a
    // reader's is not. A writer never writes through a symbolic link into
    // the file it points to, which may be another take's (ELOOP).
    do {
        fd = writable ? DiskOpen(name.constData(), O_RDWR | O_NONBLOCK | O_CLOEXEC | O_NOFOLLOW)
                      : ::open(name.constData(), O_RDONLY | O_NONBLOCK | O_CLOEXEC);
    } while (fd < 0 && errno == EINTR);
    if (fd < 0)
        return -1;
    struct stat info;
    const struct timespec before = read ? ReadStateClock() : timespec();
    const bool stated = ::fstat(fd, &info) == 0;
    if (!stated || !S_ISREG(info.st_mode)) {
        *notRegular = stated;
        ::close(fd);
        return -1;
    }
    if (length)
        *length = info.st_size;
    if (read) {
        read->at = before;
        StateOfStatus(info, &read->state);
    }
    // A reader keeps the flag: it has no effect on a regular file, and a
    // day's load opens thousands. A writer drops it all the same.
    if (writable) {
        const int flags = ::fcntl(fd, F_GETFL);
        if (flags < 0 || ::fcntl(fd, F_SETFL, flags & ~O_NONBLOCK) != 0) {
            ::close(fd);
            return -1;
        }
    }
    return fd;
}

bool ReadOnlyFile::Open(const QString& path, bool* notRegular, tyReadState* read)
{
    Close();
    m_nFd = OpenRegularFile(path, false, notRegular, &m_nOpenedLength, read);
    m_nPosition = 0;
    return m_nFd >= 0;
}

void ReadOnlyFile::Close()
{
    if (m_nFd >= 0)
        ::close(m_nFd);
    m_nFd = -1;
    m_nPosition = 0;
    m_nOpenedLength = 0;
}

qint64 ReadOnlyFile::Size() const
{
    struct stat info;
    return m_nFd >= 0 && ::fstat(m_nFd, &info) == 0 ? qint64(info.st_size) : -1;
}

qint64 ReadOnlyFile::Read(char* buffer, qint64 n)
{
    if (m_nFd < 0 || m_nPosition < 0)
        return -1;
    const qint64 got = ReadFully(m_nFd, m_nPosition, buffer, n);
    if (got > 0)
        m_nPosition += got;
    return got;
}
