#ifndef NALVO_FOUNDATION_PLATFORM_APPFOLDERS_H
#define NALVO_FOUNDATION_PLATFORM_APPFOLDERS_H

#include <QString>

// Where the application keeps its own files. The application folder is the
// environment variable NALVO_APP_DIR when set (tests never write beside a
// binary), else the folder of the executable.
namespace AppFolders {

QString ApplicationFolder();
// Application folder + "/config": the settings and presets. Not created here.
QString ConfigFolder();
// Config folder + "/Nalvo.ini".
QString SettingsFilePath();
// Application folder + "/DoDebug.txt": when it exists, the debug log is written.
QString DebugMarkerPath();
// Application folder + "/Debug.txt".
QString DebugLogPath();

}

#endif
