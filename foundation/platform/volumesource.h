#ifndef NALVO_FOUNDATION_PLATFORM_VOLUMESOURCE_H
#define NALVO_FOUNDATION_PLATFORM_VOLUMESOURCE_H

#include <QList>
#include <QString>

// One mounted volume: where it is mounted and the name to show for it.
struct tVolumeInfo
{
    QString rootPath;
    QString displayName;
};

// The mounted volumes the browser shows. Where "/Volumes" exists the system
// source lists the volumes mounted below it and the boot volume "/";
// elsewhere every mounted volume. When the environment
// variable NALVO_VOLUMES_ROOT names a folder, every non-hidden sub-folder of
// it is one volume instead.
class VolumeSource
{
public:
    virtual ~VolumeSource();

    virtual QList<tVolumeInfo> volumes() const = 0;
    // The folder that holds the volumes ("/Volumes" on the system).
    virtual QString volumesRoot() const = 0;

    // The source in use; the system source unless a test installed another.
    static VolumeSource& current();
    // Installs a source (not owned); nullptr restores the system source.
    static void setCurrent(VolumeSource* source);
};

class SystemVolumeSource : public VolumeSource
{
public:
    QList<tVolumeInfo> volumes() const override;
    QString volumesRoot() const override;
};

// One mounted file system as the system reports it.
struct tMountedVolume
{
    QString rootPath;
    QString name;          // the volume's label (QStorageInfo::name())
    QString displayName;   // the system's text for it
};

// The volumes the system source shows of the mounted ones, in their order:
// with a "/Volumes" folder, those below it and the boot volume "/"; without,
// all. Each named by its label, or its display text when it has none.
QList<tVolumeInfo> BrowsableVolumes(const QList<tMountedVolume>& mounted, bool volumesFolderExists);

// A fixed list of volumes under a given root, for tests.
class FixedVolumeSource : public VolumeSource
{
public:
    FixedVolumeSource(const QString& root, const QList<tVolumeInfo>& volumes);
    QList<tVolumeInfo> volumes() const override;
    QString volumesRoot() const override;

private:
    QString m_czRoot;
    QList<tVolumeInfo> m_ltVolumes;
};

// When the path lies at or below the current source's volumes root, writes
// the rest of it (no leading "/", empty for the root itself) and returns
// true. "/Volumes/CARD/SHOOT.BR1" gives "CARD/SHOOT.BR1".
bool StripVolumesRoot(const QString& path, QString* rest);

#endif
