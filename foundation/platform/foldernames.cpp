#include "foundation/platform/foldernames.h"

#include <QFile>

#include <dirent.h>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

QString ReadableEntryName(const QByteArray& name)
{
    QString readable;
    int at = 0;
    while (at < name.size()) {
        // The longest run from here that decodes and encodes back unchanged.
        int end = name.size();
        while (end > at && QFile::encodeName(QFile::decodeName(name.mid(at, end - at))) != name.mid(at, end - at))
            --end;
        if (end > at) {
            readable += QFile::decodeName(name.mid(at, end - at));
            at = end;
        } else {
            readable += QStringLiteral("\\x") + QString::number(uchar(name.at(at)), 16).toUpper().rightJustified(2, QLatin1Char('0'));
            ++at;
        }
    }
    return readable;
}

namespace {

// The folder opened as a descriptor first, then read through it: the
// descriptor is closed on exec, and a thread checker that follows
// descriptors sees where this one was made (it does not follow opendir's).
DIR* OpenFolder(const QString& folder)
{
    const int fd = ::open(QFile::encodeName(folder).constData(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (fd < 0)
        return nullptr;
    DIR* dir = ::fdopendir(fd);
    if (!dir)
        ::close(fd);
    return dir;
}

} // namespace

namespace {

// The one walk of both visits; kinds: whether entries the listing does not
// type are asked of the file system (else they are Other).
bool VisitEntries(const QString& folder, bool kinds,
                  const std::function<bool(const char* name, FolderEntryKind kind)>& visit)
{
    DIR* dir = OpenFolder(folder);
    if (!dir)
        return false;
    while (const dirent* entry = ::readdir(dir)) {
        const char* name = entry->d_name;
        if (name[0] == '.' && (name[1] == 0 || (name[1] == '.' && name[2] == 0)))
            continue;
        FolderEntryKind kind = entry->d_type == DT_DIR   ? FolderEntryKind::Folder
                               : entry->d_type == DT_REG ? FolderEntryKind::File
                                                         : FolderEntryKind::Other;
        struct stat info;
        if (kinds && (entry->d_type == DT_UNKNOWN || entry->d_type == DT_LNK)
            && ::fstatat(::dirfd(dir), name, &info, 0) == 0) {
            kind = S_ISDIR(info.st_mode)   ? FolderEntryKind::Folder
                   : S_ISREG(info.st_mode) ? FolderEntryKind::File
                                           : FolderEntryKind::Other;
        }
        if (!visit(name, kind))
            break;
    }
    ::closedir(dir);
    return true;
}

} // namespace

bool VisitEntryNames(const QString& folder, const std::function<bool(const char* name)>& visit)
{
    return VisitEntries(folder, false, [&visit](const char* name, FolderEntryKind) { return visit(name); });
}

bool VisitFolderEntries(const QString& folder, const std::function<bool(const char* name, FolderEntryKind kind)>& visit)
{
    return VisitEntries(folder, true, visit);
}
