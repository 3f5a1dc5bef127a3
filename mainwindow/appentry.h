#ifndef NALVO_MAINWINDOW_APPENTRY_H
#define NALVO_MAINWINDOW_APPENTRY_H

#include <QString>
#include <QStringList>
#include <QtGlobal>

// The font scale factor from a text file holding one number: 1.4 when the
// file is missing or does not start with a number from 0.5 to 4 (the debug
// log says so).
float ReadFontFactor(const QString& path);

// The factor for a screen of the given logical resolution: the factor is
// meant at 72 dots per inch, where a point is one pixel.
float ScreenFontFactor(float factor, qreal logicalDpi);

// The launch banner line with the given local date and time.
QString LaunchBanner(const class QDateTime& now);

// The program's command line ("--help", nothing else) and the volumes
// folder of the environment, checked before anything starts: -1 to go on,
// else the exit code, the usage or the refusal printed.
int CheckNalvoCommandLine(const QStringList& arguments);

// Why the window cannot be shown from this environment, empty when it can:
// the platform plugin QT_QPA_PLATFORM names (before any ":options"; none:
// X11 or Wayland) and the DISPLAY and WAYLAND_DISPLAY of the session.
// Platforms that draw without a display server (offscreen, minimal, vnc,
// linuxfb, eglfs ...) are not questioned.
QString MissingDisplayText(const QString& platform, const QString& display, const QString& waylandDisplay);

// The whole program: application object, debug log, font factor, main
// window, event loop. Returns the loop's exit code.
int RunNalvo(int argc, char** argv);

#endif
