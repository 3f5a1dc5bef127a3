#include "foundation/platform/asidewatch.h"

#include "foundation/messageloging.h"
#include "foundation/platform/diskprobes.h"
#include "foundation/platform/nameremoval.h"

#include <QDir>
#include <QFile>
#include <QList>
#include <QSet>

#include <cerrno>
#include <cstring>
#include <mutex>

#include <sys/inotify.h>
#include <sys/stat.h>
#include <unistd.h>

namespace {

constexpr int kWatchedFolders = 4;
constexpr uint32_t kNamesChanged = IN_CREATE | IN_MOVED_TO | IN_DELETE | IN_MOVED_FROM;
constexpr uint32_t kFolderGone = IN_DELETE_SELF | IN_MOVE_SELF | IN_UNMOUNT | IN_IGNORED;

struct tyWatchedFolder {
    dev_t device = 0;
    ino_t inode = 0;
    int watch = -1;
    QSet<QByteArray> asides;   // the removal names it holds, as listed
};

// Guarded by gMutex, used by whichever thread asks.
std::mutex gMutex;
int gNotify = -1;                    // the kernel's news of every watched folder; made at the first look
QList<tyWatchedFolder> gWatched;     // newest first

void LetGo(int at)
{
    // A watch the kernel ended itself (the folder went) is gone already:
    // its removal then fails, with nothing left to do.
    if (inotify_rm_watch(gNotify, gWatched.at(at).watch) != 0 && errno != EINVAL)
        MyQDebug("WatchedRemovalAsides(): a folder's watch stays: %s", std::strerror(errno));
    gWatched.removeAt(at);
}

void LetAllGo()
{
    while (!gWatched.isEmpty())
        LetGo(0);
}

int WatchedAt(int watch)
{
    for (int i = 0; i < gWatched.size(); ++i) {
        if (gWatched.at(i).watch == watch)
            return i;
    }
    return -1;
}

void Apply(const inotify_event& event)
{
    if (event.mask & IN_Q_OVERFLOW) {
        // News was lost: nothing followed is known any more.
        LetAllGo();
        return;
    }
    const int at = WatchedAt(event.wd);
    if (at < 0)
        return;
    if (event.mask & kFolderGone) {
        LetGo(at);
        return;
    }
    if (event.len == 0 || !IsRemovalAsideName(event.name))
        return;
    if (event.mask & (IN_CREATE | IN_MOVED_TO))
        gWatched[at].asides.insert(QByteArray(event.name));
    else if (event.mask & (IN_DELETE | IN_MOVED_FROM))
        gWatched[at].asides.remove(QByteArray(event.name));
}

// Takes in everything the kernel told since the last look, which holds
// every change whose call has returned.
void ReadNews()
{
    alignas(inotify_event) char buffer[16384];
    for (;;) {
        const ssize_t read = ::read(gNotify, buffer, sizeof buffer);
        if (read < 0 && errno == EINTR)
            continue;
        if (read < 0 && errno == EAGAIN)
            return;
        if (read <= 0) {
            MyQDebug("WatchedRemovalAsides(): the kernel's news cannot be read: %s",
                     read < 0 ? std::strerror(errno) : "end of it");
            LetAllGo();
            return;
        }
        for (ssize_t at = 0; at < read;) {
            const auto* event = reinterpret_cast<const inotify_event*>(buffer + at);
            Apply(*event);
            at += ssize_t(sizeof(inotify_event) + event->len);
        }
    }
}

bool SameFolder(const struct stat& one, const struct stat& other)
{
    return one.st_dev == other.st_dev && one.st_ino == other.st_ino;
}

// The place of the followed folder that status is of; -1 when none.
int FollowedAt(const struct stat& status)
{
    for (int i = 0; i < gWatched.size(); ++i) {
        if (gWatched.at(i).device == status.st_dev && gWatched.at(i).inode == status.st_ino)
            return i;
    }
    return -1;
}

// Watches the folder, then reads it: what changed since the watch began is
// taken in after the read, so that the names end as the folder holds them.
bool Follow(const QString& folder, const QByteArray& path, const struct stat& before)
{
    const int watch = inotify_add_watch(gNotify, path.constData(), kNamesChanged | kFolderGone | IN_ONLYDIR);
    if (watch < 0) {
        MyQDebug("WatchedRemovalAsides(): %s cannot be watched: %s", qPrintable(folder), std::strerror(errno));
        return false;
    }
    struct stat after;
    if (::stat(path.constData(), &after) != 0 || !SameFolder(before, after)) {
        // Replaced meanwhile: a watch of the folder now is not what was asked.
        if (WatchedAt(watch) < 0 && inotify_rm_watch(gNotify, watch) != 0)
            MyQDebug("WatchedRemovalAsides(): a folder's watch stays: %s", std::strerror(errno));
        return false;
    }
    tyWatchedFolder watched;
    watched.device = after.st_dev;
    watched.inode = after.st_ino;
    watched.watch = watch;
    for (const QString& aside : RemovalAsidesIn(folder))
        watched.asides.insert(QFile::encodeName(QDir(aside).dirName()));
    const int same = WatchedAt(watch);   // the same folder under another path
    if (same >= 0)
        gWatched.removeAt(same);
    gWatched.prepend(watched);
    while (gWatched.size() > kWatchedFolders)
        LetGo(gWatched.size() - 1);
    return true;
}

} // namespace

QStringList WatchedRemovalAsides(const QString& folder)
{
    const QByteArray path = QFile::encodeName(folder);
    struct stat status;
    if (::stat(path.constData(), &status) != 0 || !S_ISDIR(status.st_mode) || !FolderTimesFollowEntries(folder))
        return RemovalAsidesIn(folder);
    std::lock_guard<std::mutex> lock(gMutex);
    if (gNotify < 0) {
        gNotify = inotify_init1(IN_NONBLOCK | IN_CLOEXEC);
        if (gNotify < 0) {
            MyQDebug("WatchedRemovalAsides(): no news of folders to be had: %s", std::strerror(errno));
            return RemovalAsidesIn(folder);
        }
    }
    ReadNews();
    int at = FollowedAt(status);
    if (at < 0 && Follow(folder, path, status)) {
        ReadNews();
        at = FollowedAt(status);
    }
    if (at < 0)
        return RemovalAsidesIn(folder);
    gWatched.move(at, 0);
    QStringList asides;
    const QDir dir(folder);
    for (const QByteArray& name : gWatched.first().asides)
        asides << dir.filePath(QFile::decodeName(name));
    return asides;
}
