#include "foundation/platform/volumesource.h"

#include <QDir>
#include <QFileInfo>
#include <QStorageInfo>
#include <QtGlobal>

namespace {
const char kSystemVolumesRoot[] = "/Volumes";

VolumeSource* g_pInstalledSource = nullptr;

QString VolumesRootFromEnvironment()
{
    const QString root = qEnvironmentVariable("NALVO_VOLUMES_ROOT");
    if (root.isEmpty() || !QFileInfo(root).isDir())
        return QString();
    return QDir::cleanPath(QFileInfo(root).absoluteFilePath());
}
}

VolumeSource::~VolumeSource() = default;

VolumeSource& VolumeSource::current()
{
    static SystemVolumeSource system;
    return g_pInstalledSource ? *g_pInstalledSource : system;
}

void VolumeSource::setCurrent(VolumeSource* source) { g_pInstalledSource = source; }

QString SystemVolumeSource::volumesRoot() const
{
    const QString fromEnvironment = VolumesRootFromEnvironment();
    return fromEnvironment.isEmpty() ? QString::fromLatin1(kSystemVolumesRoot) : fromEnvironment;
}

QList<tVolumeInfo> SystemVolumeSource::volumes() const
{
    QList<tVolumeInfo> result;
    const QString fromEnvironment = VolumesRootFromEnvironment();
    if (!fromEnvironment.isEmpty()) {
        const QFileInfoList folders = QDir(fromEnvironment).entryInfoList(
            QDir::Dirs | QDir::NoDotAndDotDot, QDir::Name);
        for (const QFileInfo& folder : folders)
            result.append({folder.absoluteFilePath(), folder.fileName()});
        return result;
    }
    QList<tMountedVolume> mounted;
    for (const QStorageInfo& volume : QStorageInfo::mountedVolumes()) {
        if (volume.isValid() && volume.isReady())
            mounted.append({volume.rootPath(), volume.name(), volume.displayName()});
    }
    return BrowsableVolumes(mounted, QFileInfo(QString::fromLatin1(kSystemVolumesRoot)).isDir());
}

QList<tVolumeInfo> BrowsableVolumes(const QList<tMountedVolume>& mounted, bool volumesFolderExists)
{
    QList<tVolumeInfo> result;
    const QString prefix = QString::fromLatin1(kSystemVolumesRoot) + QLatin1Char('/');
    for (const tMountedVolume& volume : mounted) {
        const bool boot = volume.rootPath == QLatin1String("/");
        if (volumesFolderExists && !boot && !volume.rootPath.startsWith(prefix))
            continue;
        // The volume's own name; a nameless volume falls back to the system's
        // display text, so no row is left blank.
        result.append({volume.rootPath, volume.name.isEmpty() ? volume.displayName : volume.name});
    }
    return result;
}

FixedVolumeSource::FixedVolumeSource(const QString& root, const QList<tVolumeInfo>& volumes)
    : m_czRoot(QDir::cleanPath(root)), m_ltVolumes(volumes)
{
}

QList<tVolumeInfo> FixedVolumeSource::volumes() const { return m_ltVolumes; }
QString FixedVolumeSource::volumesRoot() const { return m_czRoot; }

bool StripVolumesRoot(const QString& path, QString* rest)
{
    const QString root = QDir::cleanPath(VolumeSource::current().volumesRoot());
    const QString cleaned = QDir::cleanPath(path);
    if (root.isEmpty() || cleaned.isEmpty())
        return false;
    QString remainder;
    if (cleaned == root) {
        remainder.clear();
    } else if (root == QLatin1String("/")) {
        remainder = cleaned.mid(1);
    } else if (cleaned.startsWith(root + QLatin1Char('/'))) {
        remainder = cleaned.mid(root.size() + 1);
    } else {
        return false;
    }
    if (rest)
        *rest = remainder;
    return true;
}
