#include "fileprocess/processrun.h"

#include "fileprocess/processinformation.h"
#include "fileprocess/processnaming.h"
#include "foundation/messageloging.h"
#include "foundation/platform/diskcalls.h"
#include "processing/rotationmap.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>

#include <cerrno>
#include <cstring>

namespace procrun {

QFileCopier::CopyFlags KindFlag(int kind)
{
    switch (kind) {
    case 0: return QFileCopier::CopyMixdown;
    case 1: return QFileCopier::ProcessMixdown;
    case 3: return QFileCopier::ProcessInterleaveRotate;
    default: return QFileCopier::ProcessInterleave;
    }
}

QString TargetDayName(const QString& day, int kind)
{
    if (day.size() < 5)
        return day;
    return day.left(day.size() - 4) + procname::FolderExtension(KindFlag(kind));
}

QString TargetFolder(const QString& root, const tProcessInformation& info, int kind)
{
    return QDir::cleanPath(QStringLiteral("%1/%2/%3").arg(root, info.czProject, TargetDayName(info.czDay, kind)));
}

QString OutputPath(const QString& targetFolder, const tProcessInformation& info, int kind)
{
    return procname::TargetInFolder(targetFolder, info.czFilePath, KindFlag(kind));
}

ProcessSettings SettingsOf(const tProcessInformation& info, int kind, int rotateCount, int rotateMaxTrack,
                           int minTrack, bool compact)
{
    ProcessSettings s;
    for (int t = 0; t < ProcessSettings::kTracks; ++t) {
        s.volume[t] = info.pnTrackVolume[t];
        const bool left = info.pnPanLeft[t] == 100, right = info.pnPanRight[t] == 100;
        s.pan[t] = left && right ? 1 : left ? 0 : 2;
        s.mute[t] = info.pbTrackMute[t];
    }
    for (int k = 0; k < ProcessSettings::kPairs; ++k)
        s.swapMS[k] = info.pbSwapMS[k];
    if (kind == 3) {
        const rotation::tyRotationMap map = rotation::BuildRotationMap(rotateCount, rotateMaxTrack, info.TrackMax);
        for (int t = 0; t < ProcessSettings::kTracks; ++t)
            s.rotation[t] = map[t];
    }
    s.minTrack = minTrack;
    s.compact = compact;
    return s;
}

QString DestinationProblem(const QString& folder)
{
    const QString trimmed = folder.trimmed();
    if (trimmed.isEmpty() || trimmed == QLatin1String("---") || !QDir::isAbsolutePath(trimmed))
        return QStringLiteral("Choose a destination folder");
    const QFileInfo info(trimmed);
    if (!info.isDir())
        return QStringLiteral("The destination folder does not exist:\n%1").arg(trimmed);
    if (!info.isWritable())
        return QStringLiteral("The destination folder is write-protected:\n%1").arg(trimmed);
    return QString();
}

void RemoveEmptyFolders(const QStringList& created)
{
    // A folder appears after its parent in the list, so going backwards
    // empties a parent of the children it made before trying it. A folder
    // that holds anything (an output, a hidden temporary) makes rmdir fail
    // and stays, and so do the folders above it.
    for (auto it = created.crbegin(); it != created.crend(); ++it) {
        if (DiskRmdir(QFile::encodeName(*it).constData()) != 0 && errno != ENOTEMPTY && errno != EEXIST)
            MyQDebug("RemoveEmptyFolders(): %s stays: %s", qPrintable(*it), std::strerror(errno));
    }
}

}  // namespace procrun
