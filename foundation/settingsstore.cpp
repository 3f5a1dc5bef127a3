#include "foundation/settingsstore.h"

#include "foundation/fileutil.h"
#include "foundation/keywordfile.h"
#include "foundation/platform/diskcalls.h"
#include "foundation/platform/diskprobes.h"
#include "foundation/qpath.h"
#include "foundation/safeoutput.h"

#include <QFile>
#include <QFileInfo>

#include <cerrno>
#include <sys/stat.h>

namespace SettingsStore {

namespace {

bool FolderWritable(const QString& file) { return IsWritablePath(QFileInfo(file).absolutePath()); }

// The folder, and its parent when missing (the program's folder in the
// working folder, absent on a fresh machine). 0, or the error number.
int MakeFolderAndParent(const QString& folder)
{
    for (const QString& step : {QFileInfo(folder).absolutePath(), folder}) {
        if (QFileInfo(step).isDir())
            continue;
        if (DiskMkdir(QFile::encodeName(step).constData(), 0777) != 0 && !(errno == EEXIST && QFileInfo(step).isDir()))
            return errno != 0 ? errno : EIO;
    }
    return 0;
}

// The file's last change in nanoseconds; -1 when it cannot be asked.
qint64 ModifiedNs(const QString& path)
{
    struct stat status {};
    if (::stat(QFile::encodeName(path).constData(), &status) != 0)
        return -1;
    return qint64(status.st_mtim.tv_sec) * 1000000000 + status.st_mtim.tv_nsec;
}

// The twin was written after the file (a missing file is older than any).
// A card with 2 s times (FAT) keeps each time at a whole even second:
// where either copy has such a time both are counted in 2 s steps, so that
// two written within one step are alike, and the file wins.
bool TwinIsNewer(const QString& file, const QString& twin)
{
    constexpr qint64 kCoarseTickNs = 2000000000;
    const qint64 own = ModifiedNs(file);
    const qint64 kept = ModifiedNs(twin);
    if (own < 0)
        return true;
    if (own % kCoarseTickNs == 0 || kept % kCoarseTickNs == 0)
        return kept / kCoarseTickNs > own / kCoarseTickNs;
    return kept > own;
}

// 0 when the name is gone, else the error number.
int RemoveFile(const QString& path)
{
    if (DiskUnlink(QFile::encodeName(path).constData()) == 0 || errno == ENOENT)
        return 0;
    return errno != 0 ? errno : EIO;
}

// The twin of a file that holds as new a mix or a newer one removed:
// gone, or TwinStays with why.
Settled RemoveOlderTwin(const QString& twin, QString* why, Settled gone)
{
    const int error = RemoveFile(twin);
    if (error == 0)
        return gone;
    *why = SystemErrorText(error);
    return Settled::TwinStays;
}

}  // namespace

QString TakeFile(const QString& audioPath)
{
    const QPath path(audioPath);
    return path.GetPath() + path.GetRoot().left(6) + QStringLiteral(".idh");
}

QString TakeFile(const QString& folder, const QString& takeName)
{
    return QDir::cleanPath(folder + QLatin1Char('/') + takeName.left(6) + QStringLiteral(".idh"));
}

QString PresetFile(const QDir& settingsFolder, int n)
{
    return settingsFolder.absolutePath() + QLatin1Char('/') + QString::asprintf("Preset_%d.idh", n - 1);
}

tyCopy ReadTake(const QString& file)
{
    if (file.isEmpty() || FolderWritable(file))
        return {file, false, QString()};
    const QString twin = MirrorTwinPath(file);
    if (!QFileInfo::exists(twin) || !TwinIsNewer(file, twin))
        return {file, false, QString()};
    return {twin, true, QStringLiteral("its folder cannot be written")};
}

tyCopy ReadPreset(const QString& file)
{
    const QString twin = MirrorTwinPath(file);
    if (!HoldsMix(twin) || !TwinIsNewer(file, twin))
        return {file, false, QString()};
    if (!QFileInfo::exists(file))
        return {twin, true, QStringLiteral("the settings folder does not hold it")};
    return {twin, true, QStringLiteral("saved there after the settings folder's copy")};
}

tyCopy WriteTarget(const QString& file)
{
    if (FolderWritable(file))
        return {file, false, QString()};
    if (const int error = MakeFolderAndParent(QAll_GetMirrorPathFolder()))
        return {QString(), true, SystemErrorText(error)};
    return {MirrorTwinPath(file), true, QStringLiteral("its folder cannot be written")};
}

bool HoldsMix(const QString& file)
{
    QFileRead reader(file);
    if (!QFileInfo::exists(file) || !reader.open(QIODevice::ReadOnly))
        return false;
    const std::pair<const char*, int> keys[] = {
        {"#PLAYER_TRACK_VOL", 24}, {"#PLAYER_TRACK_MUTE", 24}, {"#PLAYER_TRACK_PAN", 24}, {"#PLAYER_SWAP_MS", 12}};
    QString field;
    for (const auto& key : keys) {
        if (!reader.FindKeyword(QLatin1String(key.first)))
            return false;
        for (int i = 0; i < key.second; ++i)
            if (!reader.Extract(i, &field))
                return false;
    }
    return true;
}

Settled SettlePreset(const QString& file, tyCopy* copy)
{
    const QString twin = MirrorTwinPath(file);
    *copy = {twin, true, QString()};
    QString* why = &copy->czWhy;
    if (!FolderWritable(file) || !QFileInfo::exists(twin))
        return Settled::Nothing;
    if (HoldsMix(twin) && TwinIsNewer(file, twin)) {
        QFile kept(twin);
        QByteArray bytes;
        if (!kept.open(QIODevice::ReadOnly) || (bytes = kept.readAll(), kept.error() != QFileDevice::NoError)) {
            *why = kept.errorString();
            return Settled::NotMoved;
        }
        // Over the older file only: one made since by another writer stays.
        const SafeOutput::Replace replace
            = QFileInfo::exists(file) ? SafeOutput::Replace::Existing : SafeOutput::Replace::Never;
        bool replaced = false;
        *why = ReplaceFileWhole(file, bytes, &replaced, replace);
        if (!why->isEmpty())
            return replaced ? Settled::NotSynced : Settled::NotMoved;
    } else if (!HoldsMix(file)) {
        // A twin with a name alone, and no preset in the folder: left as it is.
        return Settled::Nothing;
    }
    // The folder's file is the preset now, its twin older or the same.
    return RemoveOlderTwin(twin, why, Settled::Moved);
}

Settled SettleTake(const QString& file, tyCopy* copy)
{
    const QString twin = MirrorTwinPath(file);
    *copy = {twin, true, QString()};
    if (file.isEmpty() || !FolderWritable(file) || !QFileInfo::exists(twin) || TwinIsNewer(file, twin))
        return Settled::Nothing;
    return RemoveOlderTwin(twin, &copy->czWhy, Settled::Retired);
}

bool Reset(const QString& file)
{
    const bool twinGone = RemoveFile(MirrorTwinPath(file)) == 0;
    return twinGone && (!QFileInfo::exists(file) || RemoveFile(file) == 0);
}

}  // namespace SettingsStore
