#include "foundation/platform/appfolders.h"

#include <QCoreApplication>
#include <QDir>

namespace AppFolders {

QString ApplicationFolder()
{
    const QString overridden = qEnvironmentVariable("NALVO_APP_DIR");
    if (!overridden.isEmpty())
        return QDir::cleanPath(overridden);
    if (QCoreApplication::instance())
        return QCoreApplication::applicationDirPath();
    return QDir::currentPath();
}

QString ConfigFolder() { return ApplicationFolder() + QStringLiteral("/config"); }

QString SettingsFilePath() { return ConfigFolder() + QStringLiteral("/Nalvo.ini"); }

QString DebugMarkerPath() { return ApplicationFolder() + QStringLiteral("/DoDebug.txt"); }

QString DebugLogPath() { return ApplicationFolder() + QStringLiteral("/Debug.txt"); }

}
