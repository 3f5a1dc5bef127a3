#ifndef NALVO_FOUNDATION_PLATFORM_DESKTOPSHELL_H
#define NALVO_FOUNDATION_PLATFORM_DESKTOPSHELL_H

#include <QString>
#include <QStringList>

// Asks the desktop's file browser to show or open something. No call
// blocks: true means a file browser or launcher was started, not that it
// shows the entry; false means none could be started.
class DesktopShell
{
public:
    virtual ~DesktopShell();

    // Shows the entry selected in its folder.
    virtual bool reveal(const QString& path) = 0;
    // Opens the file or folder with its default application.
    virtual bool open(const QString& path) = 0;
    // Brings the file browser to the front.
    virtual void activate() = 0;

    static DesktopShell& current();
    // Installs a shell (not owned); nullptr restores the system shell.
    static void setCurrent(DesktopShell* shell);
};

// The Finder through osascript on macOS; elsewhere the desktop's default
// handler for file URLs (reveal opens the containing folder).
class SystemDesktopShell : public DesktopShell
{
public:
    bool reveal(const QString& path) override;
    bool open(const QString& path) override;
    void activate() override;
};

// Records every request as "reveal <path>", "open <path>" or "activate";
// reveal and open answer m_bStarts.
class RecordingDesktopShell : public DesktopShell
{
public:
    bool reveal(const QString& path) override;
    bool open(const QString& path) override;
    void activate() override;

    QStringList m_ltRequests;
    bool m_bStarts = true;
};

// The text as the body of an AppleScript string literal: backslashes and
// double quotes escaped, so a path cannot end the string early.
QString AppleScriptStringBody(const QString& text);

#endif
