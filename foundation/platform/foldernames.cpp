#include "foundation/platform/foldernames.h"

#include <QFile>

#include <dirent.h>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace {

// The name with every byte that does not belong to a UTF-8 sequence as
// "\xNN", the rest as it is.
QString ReadableName(const QByteArray& name)
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

} // namespace

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

QStringList UnreachableEntryNames(const QString& folder, const QByteArray& suffix)
{
    QStringList names;
    DIR* dir = OpenFolder(folder);
    if (!dir)
        return names;
    while (const dirent* entry = ::readdir(dir)) {
        const QByteArray name(entry->d_name);
        if (name.startsWith('.') || QFile::encodeName(QFile::decodeName(name)) == name)
            continue;
        bool folderEntry = entry->d_type == DT_DIR;
        if (entry->d_type == DT_UNKNOWN || entry->d_type == DT_LNK) {
            struct stat info;
            folderEntry = ::fstatat(::dirfd(dir), entry->d_name, &info, 0) == 0 && S_ISDIR(info.st_mode);
        }
        if (folderEntry || name.endsWith(suffix))
            names << ReadableName(name);
    }
    ::closedir(dir);
    names.sort();
    return names;
}

bool VisitEntryNames(const QString& folder, const std::function<bool(const char* name)>& visit)
{
    DIR* dir = OpenFolder(folder);
    if (!dir)
        return false;
    while (const dirent* entry = ::readdir(dir)) {
        const char* name = entry->d_name;
        if (name[0] == '.' && (name[1] == 0 || (name[1] == '.' && name[2] == 0)))
            continue;
        if (!visit(name))
            break;
    }
    ::closedir(dir);
    return true;
}
