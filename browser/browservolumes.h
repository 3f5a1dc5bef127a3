#ifndef NALVO_BROWSER_BROWSERVOLUMES_H
#define NALVO_BROWSER_BROWSERVOLUMES_H

#include <QList>
#include <QString>
#include <QStringList>

struct BrowserVolume
{
    QString rootPath;
    QString displayName;
};

// The mounted volumes the browser shows as its top-level rows.
QList<BrowserVolume> BrowserVolumes();

// The components of an absolute path as the browser tree names them: the
// volumes root is dropped (volume rows hang under the tree's root and are
// named by their mount name); a path outside it starts at the boot volume "/".
// Empty when the path names the volumes root itself.
QStringList BrowserPathComponents(const QString& path);

#endif
