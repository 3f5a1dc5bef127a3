#include "foundation/folderlisting.h"

#include "foundation/platform/diskprobes.h"
#include "foundation/platform/foldernames.h"

#include <QFile>
#include <QList>

#include <algorithm>
#include <mutex>

#include <sys/stat.h>
#include <time.h>

namespace {

constexpr qint64 kSettledNs = 3000000000;
constexpr int kKeptFolders = 4;

qint64 Nanoseconds(const timespec& time) { return qint64(time.tv_sec) * 1000000000 + time.tv_nsec; }

// What a kept listing was read against: any difference means the folder
// may hold other names.
struct tyFolderIdentity {
    QString czFolder;
    tyFolderStamp Stamp;

    bool operator==(const tyFolderIdentity& other) const
    {
        return czFolder == other.czFolder && Stamp == other.Stamp;
    }
};

tyFolderStamp StampOfStatus(const struct stat& status)
{
    tyFolderStamp stamp;
    stamp.nDevice = quint64(status.st_dev);
    stamp.nInode = quint64(status.st_ino);
    stamp.nModified = Nanoseconds(status.st_mtim);
    stamp.nChanged = Nanoseconds(status.st_ctim);
    return stamp;
}

// Whether a listing read after the stamp was taken may be trusted while the
// folder's stamp stays the same: its file system changes a folder's times
// with every entry, and both times were already old when the stamp was
// taken (a change within one tick of a coarse clock would leave them as
// they were).
bool TimesTellNames(const tyFolderStamp& stamp, const QString& folder)
{
    timespec now{};
    return ::clock_gettime(CLOCK_REALTIME, &now) == 0
           && Nanoseconds(now) - qMax(stamp.nModified, stamp.nChanged) >= kSettledNs
           && FolderTimesFollowEntries(folder);
}

struct tyKeptListing {
    tyFolderIdentity identity;
    std::shared_ptr<const tyFolderNames> names;
};

std::mutex gKeptMutex;
QList<tyKeptListing> gKept;   // newest first; guarded by gKeptMutex

} // namespace

std::shared_ptr<const tyFolderNames> ReadFolderNames(const QString& folder)
{
    auto names = std::make_shared<tyFolderNames>();
    const bool read = VisitEntryNames(folder, [&names](const char* entry) {
        const QString name = QFile::decodeName(entry);
        names->exact.insert(name);
        names->folded.insert(name.toLower());
        return true;
    });
    if (!read)
        return nullptr;
    names->sortedFolded = names->folded.values();
    std::sort(names->sortedFolded.begin(), names->sortedFolded.end());
    return names;
}

std::shared_ptr<const tyFolderNames> KeptFolderNames(const QString& folder, bool keptOnly,
                                                     const struct stat* given)
{
    // The raw times: one call each, where a QDateTime of local time would
    // ask after the time zone's file every time.
    struct stat asked;
    if (!given && ::stat(QFile::encodeName(folder).constData(), &asked) != 0)
        return nullptr;
    const struct stat& status = given ? *given : asked;
    const tyFolderIdentity identity{folder, StampOfStatus(status)};
    {
        std::lock_guard<std::mutex> lock(gKeptMutex);
        for (int i = 0; i < gKept.size(); ++i) {
            if (gKept.at(i).identity == identity) {
                gKept.move(i, 0);
                return gKept.first().names;
            }
        }
    }
    if (keptOnly || !TimesTellNames(identity.Stamp, folder))
        return nullptr;
    std::shared_ptr<const tyFolderNames> names = ReadFolderNames(folder);
    if (!names)
        return nullptr;
    std::lock_guard<std::mutex> lock(gKeptMutex);
    for (int i = gKept.size() - 1; i >= 0; --i) {
        if (gKept.at(i).identity.czFolder == folder)
            gKept.removeAt(i);
    }
    gKept.prepend({identity, names});
    while (gKept.size() > kKeptFolders)
        gKept.removeLast();
    return names;
}

tyFolderStamp FolderStampOf(const QString& folder)
{
    struct stat status;
    if (::stat(QFile::encodeName(folder).constData(), &status) != 0)
        return tyFolderStamp();
    tyFolderStamp stamp = StampOfStatus(status);
    stamp.bTrusted = TimesTellNames(stamp, folder);
    return stamp;
}

bool FolderNamesKept(const tyFolderStamp& before, const QString& folder)
{
    if (!before.bTrusted)
        return false;
    struct stat status;
    return ::stat(QFile::encodeName(folder).constData(), &status) == 0 && StampOfStatus(status) == before;
}
