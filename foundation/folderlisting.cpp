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
    dev_t nDevice = 0;
    ino_t nInode = 0;
    qint64 nModified = 0;
    qint64 nChanged = 0;

    bool operator==(const tyFolderIdentity& other) const
    {
        return czFolder == other.czFolder && nDevice == other.nDevice && nInode == other.nInode
               && nModified == other.nModified && nChanged == other.nChanged;
    }
};

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
    const tyFolderIdentity identity{folder, status.st_dev, status.st_ino, Nanoseconds(status.st_mtim),
                                    Nanoseconds(status.st_ctim)};
    {
        std::lock_guard<std::mutex> lock(gKeptMutex);
        for (int i = 0; i < gKept.size(); ++i) {
            if (gKept.at(i).identity == identity) {
                gKept.move(i, 0);
                return gKept.first().names;
            }
        }
    }
    timespec now{};
    if (keptOnly || ::clock_gettime(CLOCK_REALTIME, &now) != 0
        || Nanoseconds(now) - qMax(identity.nModified, identity.nChanged) < kSettledNs
        || !FolderTimesFollowEntries(folder))
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
