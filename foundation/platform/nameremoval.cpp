#include "foundation/platform/nameremoval.h"

#include "foundation/fileutil.h"
#include "foundation/messageloging.h"
#include "foundation/platform/asidewatch.h"
#include "foundation/platform/diskcalls.h"
#include "foundation/platform/foldernames.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QRandomGenerator>

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <fcntl.h>
#include <unistd.h>

namespace {

constexpr char kAsideMarker[] = ".nalvo-gone-";
constexpr int kAsideDigits = 16;

} // namespace

QString RemovalAsidePrefix(const QString& name) { return QLatin1Char('.') + name + QLatin1String(kAsideMarker); }

QString RemovalAsideName(const QString& path)
{
    const QFileInfo info(path);
    return info.path() + QLatin1Char('/') + RemovalAsidePrefix(info.fileName())
           + QStringLiteral("%1").arg(QRandomGenerator::global()->generate64(), kAsideDigits, 16, QLatin1Char('0'));
}

bool IsRemovalAsideName(const char* name) { return IsHiddenNameEndingIn(name, kAsideMarker, kAsideDigits); }

QString RemovalAsideOwnerName(const QString& aside)
{
    const QString name = QFileInfo(aside).fileName();
    if (!IsRemovalAsideName(QFile::encodeName(name).constData()))
        return QString();
    return name.mid(1, name.size() - 1 - int(sizeof(kAsideMarker) - 1) - kAsideDigits);
}

QStringList RemovalAsidesIn(const QString& folder)
{
    // One read of the folder's names, no look at its files: a load asks it
    // of a share's folder of thousands.
    QStringList asides;
    const QDir dir(folder);
    VisitEntryNames(folder, [&](const char* name) {
        if (IsRemovalAsideName(name))
            asides << dir.filePath(QFile::decodeName(name));
        return true;
    });
    return asides;
}

bool IsRemovalAsideOf(const QString& aside, const QString& path)
{
    return RemovalAsideOwnerName(aside) == QFileInfo(path).fileName()
           && QFileInfo(aside).absolutePath() == QFileInfo(path).absolutePath();
}

bool RemovalAsideOfExists(const QString& path)
{
    const QStringList asides = WatchedRemovalAsides(QFileInfo(path).absolutePath());
    return std::any_of(asides.begin(), asides.end(),
                       [&path](const QString& aside) { return IsRemovalAsideOf(aside, path); });
}

bool IsHiddenNameEndingIn(const char* name, const char* marker, size_t digits)
{
    const size_t markerLength = std::strlen(marker);
    const size_t length = std::strlen(name);
    if (name[0] != '.' || length < 2 + markerLength + digits
        || std::memcmp(name + length - digits - markerLength, marker, markerLength) != 0)
        return false;
    for (const char* c = name + length - digits; *c; ++c) {
        if (!((*c >= '0' && *c <= '9') || (*c >= 'a' && *c <= 'f')))
            return false;
    }
    return true;
}

bool NameOnVolume(const QString& path)
{
    const int fd = ::open(QFile::encodeName(path).constData(), O_RDONLY | O_CLOEXEC | O_NOFOLLOW | O_NONBLOCK);
    if (fd < 0)
        return errno != ENOENT;
    ::close(fd);
    return true;
}

int PutBackAside(const QString& aside, const QString& path)
{
    return RenameNoReplace(aside, path) ? 0 : errno;
}

int RemoveNameAsChecked(const QString& path, const std::function<AsideVerdict(const QString& aside)>& judge,
                        QString* stays)
{
    if (stays)
        stays->clear();
    const QString aside = RemovalAsideName(path);
    const QByteArray asideName = QFile::encodeName(aside);
    if (DiskRename(QFile::encodeName(path).constData(), asideName.constData()) != 0)
        return errno;
    const AsideVerdict verdict = judge(aside);
    if (verdict == AsideVerdict::Keep) {
        if (stays)
            *stays = aside;
        return ESTALE;
    }
    int answer = ESTALE;
    if (verdict == AsideVerdict::Remove) {
        if (DiskUnlink(asideName.constData()) == 0)
            return 0;
        // Gone from the aside (ENOENT): another took it from there, and
        // there is nothing to put back.
        answer = errno;
        if (answer == ENOENT)
            return answer;
    }
    // Back under its name, never over a file made there since; one that
    // cannot go back stays aside, where the next load that finds its name
    // free puts it back.
    if (const int back = PutBackAside(aside, path)) {
        MyQDebug("RemoveNameAsChecked(): %s stays as %s: %s", qPrintable(path), asideName.constData(),
                 std::strerror(back));
        if (stays && back != ENOENT)
            *stays = aside;
    }
    return answer;
}
