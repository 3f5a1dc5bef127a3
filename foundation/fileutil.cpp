#include "foundation/fileutil.h"

#include "foundation/messageloging.h"
#include "foundation/platform/diskcalls.h"
#include "foundation/platform/diskprobes.h"

#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <cerrno>
#include <climits>
#include <cstring>
#include <fcntl.h>
#include <stdio.h>
#include <sys/stat.h>
#include <unistd.h>

namespace {
// The nearest folder at or above the path that exists; empty when none does.
QString NearestExistingFolder(const QString& path)
{
    QString candidate = QDir::cleanPath(QFileInfo(path).absoluteFilePath());
    while (!candidate.isEmpty()) {
        const QFileInfo info(candidate);
        if (info.isDir())
            return candidate;
        const QString parent = info.absolutePath();
        if (parent == candidate)
            break;
        candidate = parent;
    }
    return QString();
}

// The ".app" folder holding the executable, else the application's name.
QString BundleFolderName()
{
    if (!QCoreApplication::instance())
        return QStringLiteral("Nalvo");
    QDir folder(QCoreApplication::applicationDirPath());
    do {
        if (folder.dirName().endsWith(QLatin1String(".app")))
            return folder.dirName();
    } while (folder.cdUp());
    const QString name = QCoreApplication::applicationName();
    return name.isEmpty() ? QStringLiteral("Nalvo") : name;
}
}

bool removePath(const QString& path)
{
    if (path.isEmpty())
        return false;
    const QFileInfo info(path);
    if (info.isSymLink() || (info.exists() && !info.isDir()))
        return QFile::remove(path);
    if (!info.exists())
        return false;
    return QDir(path).removeRecursively();
}

int MakeFolderPath(const QString& folder, QStringList* created)
{
    QStringList missing;   // outermost first
    const QString whole = QDir::cleanPath(QFileInfo(folder).absoluteFilePath());
    for (QString path = whole; !QFileInfo::exists(path);) {
        missing.prepend(path);
        const QString parent = QFileInfo(path).path();
        if (parent == path)
            break;
        path = parent;
    }
    for (const QString& path : qAsConst(missing)) {
        if (DiskMkdir(QFile::encodeName(path).constData(), 0777) == 0) {
            if (created)
                created->append(path);
        } else if (errno != EEXIST || !QFileInfo(path).isDir()) {
            return errno == EEXIST ? ENOTDIR : errno;
        }
    }
    return QFileInfo(whole).isDir() ? 0 : ENOTDIR;
}

int ExclusiveCreateError(const char* path, int error)
{
    struct stat taken;
    return error != EEXIST && ::lstat(path, &taken) == 0 ? EEXIST : error;
}

namespace {

// The second step of the hard-link form, once to names the file too: the
// old name goes. Without stillOwn it is removed, and where that fails the
// new name with it. With stillOwn it is moved aside first and asked of
// there (see the header).
bool RemoveOldName(const QByteArray& from, const QByteArray& to, const std::function<bool()>& stillOwn)
{
    if (!stillOwn) {
        if (DiskUnlink(from.constData()) == 0)
            return true;
        const int why = errno;
        if (DiskUnlink(to.constData()) != 0)
            MyQDebug("RenameNoReplace(): %s stays as a second name of %s: %s", to.constData(), from.constData(),
                     std::strerror(errno));
        errno = why;
        return false;
    }
    const QString toPath = QFile::decodeName(to);
    const QString fromPath = QFile::decodeName(from);
    bool taken = false;
    QString stays;
    const int removed = RemoveNameAsChecked(fromPath, [&](const QString& aside) {
        if (stillOwn())
            return AsideVerdict::Remove;
        // Taken over: the other settled the file under a name it found. The
        // aside goes only where another name holds the file, as read now
        // (a volume may answer a removed name from its cache); where the
        // take-over removed the new one as a second name, the old comes
        // back; else it stays, a name of the file still, which the next load
        // puts back once its name is free.
        taken = true;
        if (HoldsSameBytes(aside, toPath) || HoldsSameBytes(aside, fromPath))
            return AsideVerdict::Remove;
        return NameOnVolume(toPath) || NameOnVolume(fromPath) ? AsideVerdict::Keep : AsideVerdict::PutBack;
    }, &stays);
    if (removed == 0 && !taken)
        return true;
    // Gone meanwhile (ENOENT): settled elsewhere, under the new name the
    // file keeps. A move that failed as a whole: the old name stands (never
    // moved, or put back), and the new one goes.
    if (!taken && removed != ENOENT && stays.isEmpty() && DiskUnlink(to.constData()) != 0)
        MyQDebug("RenameNoReplace(): %s stays as a second name of %s: %s", to.constData(), from.constData(),
                 std::strerror(errno));
    errno = taken || removed == ENOENT ? ESTALE : removed;
    return false;
}

bool Rename(const QString& fromPath, const QString& toPath, const std::function<bool()>& stillOwn)
{
    const QByteArray from = QFile::encodeName(fromPath);
    const QByteArray to = QFile::encodeName(toPath);
#ifdef __linux__
    // A file system without the atomic form (EINVAL) gets the hard-link
    // form, then the held name.
    if (DiskRenameat2(AT_FDCWD, from.constData(), AT_FDCWD, to.constData(), RENAME_NOREPLACE) == 0)
        return true;
    if (errno != EINVAL && errno != ENOSYS)
        return false;
#endif
    struct stat st;
    if (::lstat(from.constData(), &st) == 0 && S_ISDIR(st.st_mode)) {
        // A folder has no second name: the plain rename after a look at
        // the name, which can replace at most an empty folder made
        // meanwhile, never a file or a folder that holds anything.
        if (::lstat(to.constData(), &st) == 0 || errno != ENOENT) {
            errno = EEXIST;
            return false;
        }
        return DiskRename(from.constData(), to.constData()) == 0;
    }
    if (DiskLink(from.constData(), to.constData()) == 0)
        return RemoveOldName(from, to, stillOwn);
    if (errno == EEXIST)
        return false;
    // The empty file holds the name, so the plain rename replaces only that
    // one, never a file another program made meanwhile.
    const int hold = DiskOpen(to.constData(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0666);
    if (hold < 0) {
        errno = ExclusiveCreateError(to.constData(), errno);
        return false;
    }
    // Kept open until it is replaced or removed: a FUSE volume keeps a file
    // replaced while open as a ".fuse_hidden" one until the close, and
    // removes it with the close; closed first, the replacement may meet the
    // close still under way and keep that copy for good.
    if (DiskRename(from.constData(), to.constData()) == 0) {
        ::close(hold);
        return true;
    }
    // The empty file held the name for nothing. One the card keeps is what
    // a kill in this form leaves, and is settled as that (see IsHeldName).
    const int why = errno;
    if (DiskUnlink(to.constData()) != 0)
        MyQDebug("RenameNoReplace(): the empty file holding %s stays: %s", to.constData(), std::strerror(errno));
    ::close(hold);
    errno = why;
    return false;
}

} // namespace

bool RenameNoReplace(const QString& from, const QString& to) { return Rename(from, to, {}); }

bool RenameNoReplace(const QString& from, const QString& to, const std::function<bool()>& stillOwn)
{
    return Rename(from, to, stillOwn);
}

int RemoveSecondName(const QString& keep, const QString& second)
{
    return RemoveNameAsChecked(second, [&keep](const QString& aside) {
        return HoldsSameBytes(keep, aside) ? AsideVerdict::Remove : AsideVerdict::PutBack;
    });
}

bool HoldsSameBytes(const QString& a, const QString& b)
{
    struct stat sa, sb;
    if (::lstat(QFile::encodeName(a).constData(), &sa) != 0 || ::lstat(QFile::encodeName(b).constData(), &sb) != 0
        || !S_ISREG(sa.st_mode) || !S_ISREG(sb.st_mode))
        return false;
    if (sa.st_dev == sb.st_dev && sa.st_ino == sb.st_ino)
        return true;
    QFile fa(a), fb(b);
    if (sa.st_size != sb.st_size || !fa.open(QIODevice::ReadOnly) || !fb.open(QIODevice::ReadOnly))
        return false;
    constexpr qint64 kChunk = 1 << 20;
    for (;;) {
        const QByteArray x = fa.read(kChunk), y = fb.read(kChunk);
        if (x != y)
            return false;
        if (x.isEmpty())
            return fa.atEnd() && fb.atEnd();
    }
}

QString FolderNameRefusal(const QString& name)
{
    if (name.isEmpty())
        return QStringLiteral("Type a name.");
    if (name == QLatin1String(".") || name == QLatin1String(".."))
        return QStringLiteral("\".\" and \"..\" name no new folder.");
    for (const QChar c : name) {
        if (c == QLatin1Char('/') || c == QLatin1Char('\\'))
            return QStringLiteral("No / or \\ in a name: it makes one folder here.");
        if (c.category() == QChar::Other_Control)
            return QStringLiteral("No tab or other control character in a name.");
    }
    return QString();
}

QString SystemErrorText(int errorNumber) { return QString::fromLocal8Bit(std::strerror(errorNumber)); }

bool IsHeldName(const QString& path)
{
    struct stat st;
    return ::lstat(QFile::encodeName(path).constData(), &st) == 0 && S_ISREG(st.st_mode) && st.st_size == 0;
}

qint64 FreeSpaceOfPath(const QString& path)
{
    const QString folder = path.isEmpty() ? QString() : NearestExistingFolder(path);
    return folder.isEmpty() ? -1 : FreeSpaceBytes(folder);
}

int QAll_GetDiskFreeSize(QString path)
{
    const qint64 bytes = FreeSpaceOfPath(path);
    MyQDebug("QAll_GetDiskFreeSize: %lld", static_cast<long long>(bytes));
    if (bytes <= 0)
        return 0;
    const qint64 mebibytes = bytes / 1048576;
    return mebibytes > INT_MAX ? INT_MAX : static_cast<int>(mebibytes);
}

QString QAll_GetMirrorPathFolder()
{
    QString folder = QDir::currentPath();
    if (!folder.endsWith(QLatin1Char('/')))
        folder += QLatin1Char('/');
    return folder + BundleFolderName() + QStringLiteral("/Mirror");
}

QString MirrorTwinPath(const QString& file)
{
    return QAll_GetMirrorPathFolder() + QLatin1Char('/') + QFileInfo(file).fileName();
}

