#include "browser/browservolumes.h"

#include <QDir>
#include <QStorageInfo>

// TEMPORARY until the platform layer's VolumeSource lands.
static QString volumesRoot()
{
    const QString env = qEnvironmentVariable("NALVO_VOLUMES_ROOT");
    if (!env.isEmpty() && QDir(env).exists())
        return QDir::cleanPath(env);
    return QStringLiteral("/Volumes");
}

QList<BrowserVolume> BrowserVolumes()
{
    QList<BrowserVolume> out;
    const QString env = qEnvironmentVariable("NALVO_VOLUMES_ROOT");
    if (!env.isEmpty() && QDir(env).exists()) {
        for (const QFileInfo& fi : QDir(env).entryInfoList(QDir::Dirs | QDir::NoDotAndDotDot, QDir::Name))
            out.append({fi.absoluteFilePath(), fi.fileName()});
        return out;
    }
    for (const QStorageInfo& s : QStorageInfo::mountedVolumes())
        out.append({s.rootPath(), s.displayName()});
    return out;
}

QStringList BrowserPathComponents(const QString& path)
{
    QStringList parts = QDir::cleanPath(path).split(QLatin1Char('/'), Qt::SkipEmptyParts);
    const QStringList rootParts = volumesRoot().split(QLatin1Char('/'), Qt::SkipEmptyParts);
    if (parts.size() >= rootParts.size() && parts.mid(0, rootParts.size()) == rootParts)
        return parts.mid(rootParts.size());
    parts.prepend(QStringLiteral("/"));
    return parts;
}
