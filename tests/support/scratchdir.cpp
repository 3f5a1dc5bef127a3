#include "tests/support/scratchdir.h"

#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QStringList>

#include <atomic>
#include <cerrno>
#include <csignal>
#include <cstdlib>
#include <cstring>
#include <fcntl.h>
#include <ftw.h>
#include <limits.h>
#include <stdio.h>
#include <new>
#include <sys/mman.h>
#include <sys/mount.h>
#include <sys/prctl.h>
#include <sys/syscall.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

namespace fixture {

bool RemoveTree(const QString& path)
{
    const QByteArray bytes = QFile::encodeName(path);
    struct stat info;
    if (::lstat(bytes.constData(), &info) != 0)
        return errno == ENOENT;
    // Depth first: a folder is empty by the time its turn comes.
    const auto remove = [](const char* entry, const struct stat*, int, struct FTW*) { return ::remove(entry); };
    return ::nftw(bytes.constData(), remove, 16, FTW_DEPTH | FTW_PHYS) == 0;
}

namespace {

// What the process must undo if it ends before its test does, kept where
// a signal handler can read it: fixed slots, each filled before it is
// marked in use. Only async-signal-safe calls undo them.
enum Kind : int { Free = 0, Filling, Scratch, Mount, Server };
struct Kept {
    std::atomic<int> kind{Free};
    pid_t pid = 0;
    char path[PATH_MAX] = {};
};
using KeptSlots = Kept[64];
// Shared with the watchdog (see WatchTheEnd), which reads them once the
// test is gone; where no shared page is had, the process's own.
KeptSlots& SharedSlots()
{
    void* page = ::mmap(nullptr, sizeof(KeptSlots), PROT_READ | PROT_WRITE, MAP_SHARED | MAP_ANONYMOUS, -1, 0);
    static KeptSlots own;
    if (page == MAP_FAILED)
        return own;
    for (size_t i = 0; i < std::size(own); ++i)
        new (static_cast<Kept*>(page) + i) Kept;
    return *static_cast<KeptSlots*>(page);
}
KeptSlots& g_Kept = SharedSlots();
struct sigaction g_Previous[NSIG];
pid_t g_Owner = 0;   // the process whose they are: not a child forked since
constexpr int kStopSignals[] = {SIGTERM, SIGINT, SIGHUP};

// The slot index, or -1 when all are taken (nothing then undone but by the
// test itself).
int Keep(Kind kind, const QByteArray& path, pid_t pid)
{
    if (path.size() >= PATH_MAX)
        return -1;
    for (int i = 0; i < int(std::size(g_Kept)); ++i) {
        int free = Free;
        if (!g_Kept[i].kind.compare_exchange_strong(free, Filling))
            continue;
        std::memcpy(g_Kept[i].path, path.constData(), size_t(path.size()) + 1);
        g_Kept[i].pid = pid;
        g_Kept[i].kind.store(kind);
        return i;
    }
    return -1;
}

void Drop(Kind kind, const QByteArray& path, pid_t pid)
{
    for (Kept& kept : g_Kept) {
        if (kept.kind.load() == kind && kept.pid == pid && std::strcmp(kept.path, path.constData()) == 0) {
            kept.kind.store(Free);
            return;
        }
    }
}

// Unmounts (lazily) every mount at or under folder, the last mounted
// first, as /proc/self/mountinfo lists them (its octal escapes for space,
// tab, newline and backslash undone). Async-signal-safe: no allocation.
void UnmountUnder(const char* folder)
{
    static char info[1 << 17];
    const int fd = ::open("/proc/self/mountinfo", O_RDONLY | O_CLOEXEC);
    if (fd < 0)
        return;
    size_t length = 0;
    for (ssize_t got; length < sizeof(info) - 1 && (got = ::read(fd, info + length, sizeof(info) - 1 - length)) != 0;) {
        if (got < 0 && errno == EINTR)
            continue;
        if (got < 0)
            break;
        length += size_t(got);
    }
    ::close(fd);
    info[length] = '\0';
    const size_t root = std::strlen(folder);
    for (size_t end = length; end > 0;) {
        size_t start = end - 1;
        while (start > 0 && info[start - 1] != '\n')
            --start;
        // Field 5 of the line [start, end): the mount point.
        const char* field = info + start;
        for (int spaces = 0; spaces < 4 && field < info + end; ++field)
            spaces += *field == ' ';
        char point[PATH_MAX];
        size_t size = 0;
        for (const char* c = field; c < info + end && *c != ' ' && *c != '\n' && size < sizeof(point) - 1; ++c) {
            if (c[0] == '\\' && c + 3 < info + end) {
                point[size++] = char((c[1] - '0') * 64 + (c[2] - '0') * 8 + (c[3] - '0'));
                c += 3;
            } else {
                point[size++] = *c;
            }
        }
        point[size] = '\0';
        if (size >= root && std::strncmp(point, folder, root) == 0 && (point[root] == '\0' || point[root] == '/'))
            ::umount2(point, MNT_DETACH);
        end = start;
    }
}

// rm -rf in a child (nftw allocates; vfork runs no fork handlers), never
// across into another file system.
void RemoveInChild(char* path)
{
    char rm[] = "/bin/rm", flags[] = "-rf", one[] = "--one-file-system";
    char* const arguments[] = {rm, flags, one, path, nullptr};
    char* const environment[] = {nullptr};
    const pid_t child = ::vfork();
    if (child == 0) {
        ::execve(rm, arguments, environment);
        ::_exit(127);
    }
    int status;
    while (child > 0 && ::waitpid(child, &status, 0) < 0 && errno == EINTR) {
    }
}

// Mounts first (lazily: a dead FUSE server's too), then their servers,
// then the folders.
void UndoKeptOf(pid_t owner)
{
    if (::getpid() != owner)
        return;
    // Each undone once: a server's pid killed again later may be another's.
    for (Kept& kept : g_Kept) {
        if (kept.kind.load() == Mount)
            ::umount2(kept.path, MNT_DETACH);
    }
    for (Kept& kept : g_Kept) {
        int server = Server;
        if (kept.kind.compare_exchange_strong(server, Free) && kept.pid > 0)
            ::kill(kept.pid, SIGKILL);
    }
    for (Kept& kept : g_Kept) {
        if (kept.kind.load() == Scratch)
            UnmountUnder(kept.path);
    }
    for (Kept& kept : g_Kept) {
        if (kept.kind.exchange(Free) != Scratch)
            continue;
        // The test's other threads still run: one may make a folder in it
        // again (a sound client its runtime folder). Where it stays, its
        // mark stays too, for the next run's sweep.
        struct stat info;
        for (int attempt = 0; attempt < 3 && ::lstat(kept.path, &info) == 0; ++attempt)
            RemoveInChild(kept.path);
        if (::lstat(kept.path, &info) == 0)
            continue;
        char mark[PATH_MAX + 8];
        const size_t length = std::strlen(kept.path);
        std::memcpy(mark, kept.path, length);
        std::memcpy(mark + length, ".owner", 7);
        ::unlink(mark);
    }
}

void UndoKept()
{
    UndoKeptOf(g_Owner);
}

// The watchdog's own state: a session of its own (a signal or a kill
// sent to the test's process group leaves it to do its work), the stop
// signals ignored (their handlers are the test's), and of the test's
// descriptors only the read end of its pipe kept: none of its children's
// pipes stays open here past the test (a child reading to the end of its
// input would wait for the watchdog), nor the output CTest reads to its
// end. The pipe's descriptor now, -1 where it could not be kept.
// Async-signal-safe calls only.
int DetachWatchdog(int pipe)
{
    ::setsid();
    struct sigaction ignore = {};
    ignore.sa_handler = SIG_IGN;
    sigemptyset(&ignore.sa_mask);
    for (int signum : kStopSignals)
        ::sigaction(signum, &ignore, nullptr);
    const int kept = ::fcntl(pipe, F_DUPFD, 3);   // above what /dev/null takes
    const int null = ::open("/dev/null", O_RDWR);
    for (int fd = 0; fd < 3 && null >= 0; ++fd)
        ::dup2(null, fd);
    if (kept < 0)
        return -1;
    if (::syscall(SYS_close_range, 3u, unsigned(kept - 1), 0u) != 0
        || ::syscall(SYS_close_range, unsigned(kept + 1), ~0u, 0u) != 0) {
        const long last = ::sysconf(_SC_OPEN_MAX);
        for (int fd = 3; fd < (last > 0 ? last : 1024); ++fd) {
            if (fd != kept)
                ::close(fd);
        }
    }
    return kept;
}

// A run killed outright (SIGKILL, as CTest's timeout does) runs no
// handler: a watchdog, no child of it (CTest kills a test's children with
// it), waits for the end of the test's pipe and undoes what the test kept
// then. A test that ended well left nothing kept. Only async-signal-safe
// calls after the fork: the test's threads run.
void StartWatchdog()
{
    int ends[2];
    if (::pipe2(ends, O_CLOEXEC) != 0)
        return;
    const pid_t middle = ::fork();
    if (middle == 0) {
        if (::fork() == 0) {
            const int pipe = DetachWatchdog(ends[0]);
            // Only the pipe's end (no writer left) says the test is gone.
            char byte;
            ssize_t got = -1;
            while (pipe >= 0 && (got = ::read(pipe, &byte, 1)) < 0 && errno == EINTR) {
            }
            if (got == 0)
                UndoKeptOf(::getpid());
            ::_exit(0);
        }
        ::_exit(0);
    }
    ::close(ends[0]);
    int status;
    while (middle > 0 && ::waitpid(middle, &status, 0) < 0 && errno == EINTR) {
    }
}

void OnStopSignal(int signum, siginfo_t* info, void* context)
{
    UndoKept();
    // Then what was there before (QtTest's report of the signal), else
    // the default: the process ends by the signal.
    const struct sigaction& previous = g_Previous[signum];
    if (previous.sa_flags & SA_SIGINFO) {
        if (previous.sa_sigaction)
            previous.sa_sigaction(signum, info, context);
        return;
    }
    if (previous.sa_handler != SIG_DFL && previous.sa_handler != SIG_IGN) {
        previous.sa_handler(signum);
        return;
    }
    ::signal(signum, SIG_DFL);
    ::raise(signum);
}

// Once, at the first thing kept: the handlers, and the undoing at exit.
// QtTest installs its own as a test run starts; this one is installed
// later (by a test function) and passes the signal on to it.
void WatchTheEnd()
{
    static const bool watched = [] {
        g_Owner = ::getpid();
        std::atexit(&UndoKept);
        StartWatchdog();
        struct sigaction action = {};
        action.sa_sigaction = &OnStopSignal;
        action.sa_flags = SA_SIGINFO;
        sigemptyset(&action.sa_mask);
        for (int signum : kStopSignals)
            ::sigaction(signum, &action, &g_Previous[signum]);
        return true;
    }();
    Q_UNUSED(watched);
}

// A process by its pid and the time it started (field 22 of its stat), so
// that a pid used again is not taken for it. Empty when none runs (an
// ended one not yet reaped included).
QByteArray ProcessMark(qint64 pid)
{
    QFile stat(QStringLiteral("/proc/%1/stat").arg(pid));
    if (!stat.open(QIODevice::ReadOnly))
        return QByteArray();
    const QByteArray line = stat.readAll();
    const QList<QByteArray> fields = line.mid(line.lastIndexOf(')') + 2).split(' ');
    const bool ended = fields.value(0) == "Z" || fields.value(0) == "X";   // not yet reaped
    return fields.size() > 19 && !ended ? QByteArray::number(pid) + ' ' + fields.at(19) : QByteArray();
}

QString OwnerMarkOf(const QString& scratch)
{
    return QDir::cleanPath(scratch) + QStringLiteral(".owner");
}

bool AddToMark(const QString& scratch, const QByteArray& mark, QIODevice::OpenMode mode)
{
    QFile file(OwnerMarkOf(scratch));
    return !mark.isEmpty() && file.open(QIODevice::WriteOnly | mode) && file.write(mark + '\n') == mark.size() + 1
           && file.flush();
}

} // namespace

ScratchDir::ScratchDir()
{
    setAutoRemove(false);
    SweepKilledRuns();
    if (!isValid())
        return;
    WatchTheEnd();
    AddToMark(path(), ProcessMark(::getpid()), QIODevice::Truncate);
    m_nKept = Keep(Scratch, QFile::encodeName(path()), 0);
}

ScratchDir::~ScratchDir()
{
    if (!isValid())
        return;
    if (m_nKept >= 0)
        g_Kept[m_nKept].kind.store(Free);
    if (!RemoveTree(path()))
        qWarning("%s is left behind", qPrintable(path()));
    QFile::remove(OwnerMarkOf(path()));
}

void KeepMount(const QString& mountPoint)
{
    WatchTheEnd();
    Keep(Mount, QFile::encodeName(QDir::cleanPath(mountPoint)), 0);
}

void DropMount(const QString& mountPoint)
{
    Drop(Mount, QFile::encodeName(QDir::cleanPath(mountPoint)), 0);
}

void KeepServer(const QString& scratch, qint64 pid)
{
    WatchTheEnd();
    Keep(Server, QByteArray(), pid_t(pid));
    if (QFileInfo::exists(OwnerMarkOf(scratch)))
        AddToMark(scratch, ProcessMark(pid), QIODevice::Append);
}

void DropServer(qint64 pid)
{
    Drop(Server, QByteArray(), pid_t(pid));
}

void SweepKilledRuns()
{
    static bool swept = false;
    if (swept)
        return;
    swept = true;
    const QDir temporary(QDir::tempPath());
    const QString own = QCoreApplication::applicationName() + QLatin1Char('-');
    for (const QString& name : temporary.entryList({own + QStringLiteral("*.owner")}, QDir::Files | QDir::Hidden)) {
        const QString mark = temporary.filePath(name);
        const QString folder = mark.chopped(6);
        QFile file(mark);
        if (!file.open(QIODevice::ReadOnly))
            continue;
        const QList<QByteArray> lines = file.readAll().split('\n');
        const QByteArray owner = lines.value(0);
        // A run of this program at work, or one still writing its mark.
        if (owner.isEmpty() || ProcessMark(owner.split(' ').value(0).toLongLong()) == owner)
            continue;
        for (int i = 1; i < lines.size(); ++i) {
            const qint64 pid = lines.at(i).split(' ').value(0).toLongLong();
            if (pid > 0 && ProcessMark(pid) == lines.at(i))
                ::kill(pid_t(pid), SIGKILL);
        }
        UnmountUnder(QFile::encodeName(QDir::cleanPath(folder)).constData());
        if (RemoveTree(folder))
            QFile::remove(mark);
        else
            qWarning("%s, left by a killed run, could not be removed", qPrintable(folder));
    }
}

void EndWithParent()
{
    ::prctl(PR_SET_PDEATHSIG, SIGKILL);
}

}  // namespace fixture
