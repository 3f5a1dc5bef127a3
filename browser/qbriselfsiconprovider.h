#ifndef NALVO_BROWSER_QBRISELFSICONPROVIDER_H
#define NALVO_BROWSER_QBRISELFSICONPROVIDER_H

#include <QFileIconProvider>
#include <QHash>
#include <QIcon>
#include <QString>

class QBriselFSModelItem;

// Icons of browser rows: the kind icons of recorder folders and take files,
// the system icon of volumes, and theme icons (by MIME type, cached per
// suffix) for anything else.
class QBriselFSIconProvider
{
public:
    QBriselFSIconProvider();

    QIcon iconFor(const QBriselFSModelItem* item);
    // Reads the shared MIME database's glob and generic-icon tables.
    void loadMimeTypes();

private:
    QIcon plainFileIcon(const QFileInfo& info);
    QIcon themeIconForSuffix(const QString& suffix);

    QHash<QString, QIcon> m_mapKindIcons;
    QHash<QString, QIcon> m_mapFileIcons;
    QHash<QString, QString> m_mapGlobs;
    QHash<QString, QString> m_mapGenericIcons;
    QFileIconProvider m_SystemIcons;
};

#endif
