// A pass-through FUSE volume that answers ENOLCK to every lock of a file
// (flock and record locks): a folder shared by two computers whose file
// system keeps no locks between them. Mounted twice over one folder, each
// mount is one computer. Nothing is cached: each mount sees the other's
// writes at once, as the tests need to judge the folder between steps.
//
// Usage: nalvo-lockless-fuse [OPTION]... FOLDER MOUNTPOINT (runs until
// unmounted). The options make it a share of a kind the program meets:
//   --no-rename-flags  a rename with flags (RENAME_NOREPLACE) is refused with
//                      EINVAL, as by servers without the atomic form
//   --new-numbers      file numbers are the pass-through's own, not the
//                      folder's: a second name of a file (a link) has
//                      another number, and a file open under a removed
//                      name answers ESTALE to fstat
//   --time-shift=S     every file time is told S seconds later than the
//                      folder holds it (negative: earlier), as a server
//                      whose clock runs ahead or behind
//   --latency=US       every request is answered US microseconds late, as
//                      over a network
//   --own-locks        locks are granted, but each mount keeps its own, as
//                      sshfs does: the volume implements no lock operation,
//                      so the kernel keeps the locks of the mount's files
//                      itself, and a lock held through one mount is never
//                      seen through the other
#define FUSE_USE_VERSION 31

#include <fuse3/fuse.h>

#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <dirent.h>
#include <fcntl.h>
#include <string>
#include <sys/file.h>
#include <sys/stat.h>
#include <sys/statvfs.h>
#include <unistd.h>

namespace {

int g_Folder = -1;   // the shared folder, opened once
bool g_NoRenameFlags = false;
bool g_NewNumbers = false;
bool g_OwnLocks = false;
time_t g_TimeShift = 0;   // seconds added to every time told
useconds_t g_Latency = 0;   // microseconds each request waits

// A request's round trip over the network the share stands for.
void Travel()
{
    if (g_Latency)
        ::usleep(g_Latency);
}

// The path below the folder, as the *at() calls take it.
std::string Rel(const char* path)
{
    while (*path == '/')
        ++path;
    return *path ? std::string(path) : std::string(".");
}

int Result(int result) { return result < 0 ? -errno : result; }

void* Init(fuse_conn_info*, fuse_config* config)
{
    config->use_ino = g_NewNumbers ? 0 : 1;
    config->attr_timeout = 0;
    config->entry_timeout = 0;
    config->negative_timeout = 0;
    config->direct_io = 1;
    config->hard_remove = 1;
    return nullptr;
}

int GetAttr(const char* path, struct stat* st, fuse_file_info* fi)
{
    Travel();
    int result;
    if (g_NewNumbers) {
        // Asked by name, as a server that keeps no open files does: a
        // removed name is stale.
        result = path ? Result(::fstatat(g_Folder, Rel(path).c_str(), st, AT_SYMLINK_NOFOLLOW)) : -ESTALE;
        if (fi && result == -ENOENT)
            result = -ESTALE;
    } else {
        result = Result(fi ? ::fstat(int(fi->fh), st) : ::fstatat(g_Folder, Rel(path).c_str(), st, AT_SYMLINK_NOFOLLOW));
    }
    if (result == 0) {
        st->st_atim.tv_sec += g_TimeShift;
        st->st_mtim.tv_sec += g_TimeShift;
        st->st_ctim.tv_sec += g_TimeShift;
    }
    return result;
}

int Access(const char* path, int mode) { return Result(::faccessat(g_Folder, Rel(path).c_str(), mode, 0)); }

int ReadDir(const char* path, void* buffer, fuse_fill_dir_t fill, off_t, fuse_file_info*, fuse_readdir_flags)
{
    Travel();
    const int fd = ::openat(g_Folder, Rel(path).c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (fd < 0)
        return -errno;
    DIR* dir = ::fdopendir(fd);
    if (!dir) {
        ::close(fd);
        return -errno;
    }
    while (dirent* entry = ::readdir(dir)) {
        struct stat st = {};
        st.st_ino = entry->d_ino;
        st.st_mode = mode_t(entry->d_type) << 12;
        if (fill(buffer, entry->d_name, &st, 0, fuse_fill_dir_flags(0)))
            break;
    }
    ::closedir(dir);
    return 0;
}

int MkDir(const char* path, mode_t mode) { return Result(::mkdirat(g_Folder, Rel(path).c_str(), mode)); }
int Unlink(const char* path)
{
    Travel();
    return Result(::unlinkat(g_Folder, Rel(path).c_str(), 0));
}
int RmDir(const char* path) { return Result(::unlinkat(g_Folder, Rel(path).c_str(), AT_REMOVEDIR)); }

int Rename(const char* from, const char* to, unsigned int flags)
{
    Travel();
    if (flags != 0 && g_NoRenameFlags)
        return -EINVAL;
    return Result(::renameat2(g_Folder, Rel(from).c_str(), g_Folder, Rel(to).c_str(), flags));
}

int Link(const char* from, const char* to)
{
    return Result(::linkat(g_Folder, Rel(from).c_str(), g_Folder, Rel(to).c_str(), 0));
}

int ChMod(const char* path, mode_t mode, fuse_file_info* fi)
{
    return Result(fi ? ::fchmod(int(fi->fh), mode) : ::fchmodat(g_Folder, Rel(path).c_str(), mode, 0));
}

int ChOwn(const char* path, uid_t uid, gid_t gid, fuse_file_info* fi)
{
    return Result(fi ? ::fchown(int(fi->fh), uid, gid)
                     : ::fchownat(g_Folder, Rel(path).c_str(), uid, gid, AT_SYMLINK_NOFOLLOW));
}

int Truncate(const char* path, off_t size, fuse_file_info* fi)
{
    Travel();
    if (fi)
        return Result(::ftruncate(int(fi->fh), size));
    const int fd = ::openat(g_Folder, Rel(path).c_str(), O_WRONLY | O_CLOEXEC);
    if (fd < 0)
        return -errno;
    const int result = Result(::ftruncate(fd, size));
    ::close(fd);
    return result;
}

int UTimens(const char* path, const timespec given[2], fuse_file_info* fi)
{
    // Times set are told back as set: the shift is taken off on the way in.
    timespec times[2] = {given[0], given[1]};
    for (timespec& time : times) {
        if (time.tv_nsec != UTIME_NOW && time.tv_nsec != UTIME_OMIT)
            time.tv_sec -= g_TimeShift;
    }
    return Result(fi ? ::futimens(int(fi->fh), times)
                     : ::utimensat(g_Folder, Rel(path).c_str(), times, AT_SYMLINK_NOFOLLOW));
}

int Open(const char* path, fuse_file_info* fi)
{
    Travel();
    const int fd = ::openat(g_Folder, Rel(path).c_str(), fi->flags | O_CLOEXEC);
    if (fd < 0)
        return -errno;
    fi->fh = uint64_t(fd);
    fi->direct_io = 1;
    return 0;
}

int Create(const char* path, mode_t mode, fuse_file_info* fi)
{
    Travel();
    const int fd = ::openat(g_Folder, Rel(path).c_str(), fi->flags | O_CREAT | O_CLOEXEC, mode);
    if (fd < 0)
        return -errno;
    fi->fh = uint64_t(fd);
    fi->direct_io = 1;
    return 0;
}

int Read(const char*, char* buffer, size_t size, off_t offset, fuse_file_info* fi)
{
    Travel();
    return Result(int(::pread(int(fi->fh), buffer, size, offset)));
}

int Write(const char*, const char* buffer, size_t size, off_t offset, fuse_file_info* fi)
{
    Travel();
    return Result(int(::pwrite(int(fi->fh), buffer, size, offset)));
}

int StatFs(const char*, struct statvfs* st) { return Result(::fstatvfs(g_Folder, st)); }
int Flush(const char*, fuse_file_info*) { return 0; }

int Release(const char*, fuse_file_info* fi)
{
    ::close(int(fi->fh));
    return 0;
}

int FSync(const char*, int dataOnly, fuse_file_info* fi)
{
    Travel();
    return Result(dataOnly ? ::fdatasync(int(fi->fh)) : ::fsync(int(fi->fh)));
}

int FSyncDir(const char* path, int, fuse_file_info*)
{
    const int fd = ::openat(g_Folder, Rel(path).c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (fd < 0)
        return -errno;
    const int result = Result(::fsync(fd));
    ::close(fd);
    return result;
}

// The point of the volume: no lock is kept, of any kind.
int Lock(const char*, fuse_file_info*, int, struct flock*) { return -ENOLCK; }
int Flock(const char*, fuse_file_info*, int) { return -ENOLCK; }

} // namespace

int main(int argc, char** argv)
{
    int first = 1;
    for (; first < argc && std::strncmp(argv[first], "--", 2) == 0; ++first) {
        const std::string option = argv[first];
        if (option == "--no-rename-flags")
            g_NoRenameFlags = true;
        else if (option == "--new-numbers")
            g_NewNumbers = true;
        else if (option.rfind("--latency=", 0) == 0)
            g_Latency = useconds_t(std::atol(option.c_str() + 10));
        else if (option == "--own-locks")
            g_OwnLocks = true;
        else if (option.rfind("--time-shift=", 0) == 0)
            g_TimeShift = time_t(std::atol(option.c_str() + 13));
        else
            break;
    }
    if (argc - first != 2) {
        std::fprintf(stderr, "usage: %s [--no-rename-flags] [--new-numbers] [--time-shift=S] [--latency=US]\n"
                     "       [--own-locks] FOLDER MOUNTPOINT\n",
                     argv[0]);
        return 2;
    }
    g_Folder = ::open(argv[first], O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (g_Folder < 0) {
        std::perror(argv[first]);
        return 2;
    }
    fuse_operations operations = {};
    operations.init = Init;
    operations.getattr = GetAttr;
    operations.access = Access;
    operations.readdir = ReadDir;
    operations.mkdir = MkDir;
    operations.unlink = Unlink;
    operations.rmdir = RmDir;
    operations.rename = Rename;
    operations.link = Link;
    operations.chmod = ChMod;
    operations.chown = ChOwn;
    operations.truncate = Truncate;
    operations.utimens = UTimens;
    operations.open = Open;
    operations.create = Create;
    operations.read = Read;
    operations.write = Write;
    operations.statfs = StatFs;
    operations.flush = Flush;
    operations.release = Release;
    operations.fsync = FSync;
    operations.fsyncdir = FSyncDir;
    if (!g_OwnLocks) {
        operations.lock = Lock;
        operations.flock = Flock;
    }
    char fsname[] = "-ofsname=nalvo-lockless";
    char foreground[] = "-f";
    char* arguments[] = {argv[0], argv[first + 1], foreground, fsname, nullptr};
    return fuse_main(4, arguments, &operations, nullptr);
}
