#include "browser/qbriselfsiconprovider.h"

#include "browser/qbriselfsmodelitem.h"

#include <QApplication>
#include <QFile>
#include <QStyle>
#include <QTextStream>

#include <functional>

namespace {

QIcon standardFileIcon()
{
    return QApplication::style()->standardIcon(QStyle::SP_FileIcon);
}

// Two-part "a:b" lines of a shared MIME database file, with "/" in the key made "-".
void readMimeTable(const QString& path, const std::function<void(const QString&, const QString&)>& store)
{
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly | QIODevice::Text))
        return;
    QTextStream in(&file);
    while (!in.atEnd()) {
        const QStringList parts = in.readLine().split(QLatin1Char(':'));
        if (parts.size() == 2)
            store(parts.at(0), parts.at(1));
    }
}

} // namespace

QBriselFSIconProvider::QBriselFSIconProvider()
{
    m_mapKindIcons.insert(QStringLiteral("DIR"), QIcon(QStringLiteral(":/res/Resources/icon_dir.png")));
    m_mapKindIcons.insert(QStringLiteral("DAY"), QIcon(QStringLiteral(":/res/Resources/icon_dir_day.png")));
    m_mapKindIcons.insert(QStringLiteral("PROJ"), QIcon(QStringLiteral(":/res/Resources/icon_dir_proj.png")));
    m_mapKindIcons.insert(QStringLiteral("MONO"), QIcon(QStringLiteral(":/res/Resources/mono_file.png")));
    m_mapKindIcons.insert(QStringLiteral("MIX"), QIcon(QStringLiteral(":/res/Resources/stereo_file.png")));
    m_mapKindIcons.insert(QStringLiteral("POLY"), QIcon(QStringLiteral(":/res/Resources/poly_file.png")));
}

QIcon QBriselFSIconProvider::iconFor(const QBriselFSModelItem* item)
{
    const QFileInfo info = item->fileInfo();
    QString label;
    if (item->isFolder()) {
        switch (item->type()) {
        case FSITEM_PROJECT: label = QStringLiteral("PROJ"); break;
        case FSITEM_DAY: label = QStringLiteral("DAY"); break;
        case FSITEM_VOLUME: break;
        default: label = QStringLiteral("DIR"); break;
        }
    } else {
        switch (item->type()) {
        case FSITEM_POLY: label = QStringLiteral("POLY"); break;
        case FSITEM_MIX: label = QStringLiteral("MIX"); break;
        case FSITEM_MONO: label = QStringLiteral("MONO"); break;
        default: break;
        }
    }
    if (!label.isEmpty())
        return m_mapKindIcons.value(label);
    if (item->isFolder())
        return m_SystemIcons.icon(info);
    return plainFileIcon(info);
}

QIcon QBriselFSIconProvider::plainFileIcon(const QFileInfo& info)
{
    const QString suffix = info.suffix();
    QString key = suffix;
    if (key.isEmpty())
        key = info.isExecutable() ? QStringLiteral("exec") : QStringLiteral("none");
    const auto cached = m_mapFileIcons.constFind(key);
    if (cached != m_mapFileIcons.constEnd())
        return cached.value();

    QIcon icon;
    if (!suffix.isEmpty())
        icon = themeIconForSuffix(suffix);
    else if (key == QLatin1String("exec"))
        icon = QIcon::fromTheme(QStringLiteral("application-x-executable"), standardFileIcon());
    else
        icon = standardFileIcon();
    m_mapFileIcons.insert(key, icon);
    return icon;
}

QIcon QBriselFSIconProvider::themeIconForSuffix(const QString& suffix)
{
    if (m_mapGlobs.isEmpty())
        loadMimeTypes();
    const QString mimeIcon = m_mapGlobs.value(suffix.toLower());
    if (!mimeIcon.isEmpty()) {
        if (QIcon::hasThemeIcon(mimeIcon))
            return QIcon::fromTheme(mimeIcon);
        const QString generic = m_mapGenericIcons.value(mimeIcon);
        if (!generic.isEmpty() && QIcon::hasThemeIcon(generic))
            return QIcon::fromTheme(generic);
        const QString family = mimeIcon.section(QLatin1Char('-'), 0, 0) + QStringLiteral("-x-generic");
        if (QIcon::hasThemeIcon(family))
            return QIcon::fromTheme(family);
    }
    return standardFileIcon();
}

void QBriselFSIconProvider::loadMimeTypes()
{
    const auto mimeIconName = [](QString type) { return type.replace(QLatin1Char('/'), QLatin1Char('-')); };
    readMimeTable(QStringLiteral("/usr/share/mime/globs"), [&](const QString& type, const QString& pattern) {
        m_mapGlobs.insert(QString(pattern).remove(QStringLiteral("*.")), mimeIconName(type));
    });
    readMimeTable(QStringLiteral("/usr/share/mime/generic-icons"),
                  [&](const QString& type, const QString& icon) {
                      m_mapGenericIcons.insert(mimeIconName(type), icon);
                  });
}
