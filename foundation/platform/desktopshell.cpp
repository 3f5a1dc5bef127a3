#include "foundation/platform/desktopshell.h"

#include <QDesktopServices>
#include <QFileInfo>
#include <QProcess>
#include <QUrl>

namespace {
DesktopShell* g_pInstalledShell = nullptr;

#if defined(Q_OS_MACOS)
bool RunFinderLine(const QString& line)
{
    return QProcess::startDetached(QStringLiteral("/usr/bin/osascript"), {QStringLiteral("-e"), line});
}
#endif
}

DesktopShell::~DesktopShell() = default;

DesktopShell& DesktopShell::current()
{
    static SystemDesktopShell system;
    return g_pInstalledShell ? *g_pInstalledShell : system;
}

void DesktopShell::setCurrent(DesktopShell* shell) { g_pInstalledShell = shell; }

QString AppleScriptStringBody(const QString& text)
{
    QString escaped = text;
    escaped.replace(QLatin1Char('\\'), QLatin1String("\\\\"));
    escaped.replace(QLatin1Char('"'), QLatin1String("\\\""));
    return escaped;
}

bool SystemDesktopShell::reveal(const QString& path)
{
#if defined(Q_OS_MACOS)
    return RunFinderLine(QStringLiteral("tell application \"Finder\" to reveal POSIX file \"%1\"")
                             .arg(AppleScriptStringBody(path)));
#else
    return QDesktopServices::openUrl(QUrl::fromLocalFile(QFileInfo(path).absolutePath()));
#endif
}

bool SystemDesktopShell::open(const QString& path)
{
#if defined(Q_OS_MACOS)
    return RunFinderLine(QStringLiteral("tell application \"Finder\" to open POSIX file \"%1\"")
                             .arg(AppleScriptStringBody(path)));
#else
    return QDesktopServices::openUrl(QUrl::fromLocalFile(path));
#endif
}

void SystemDesktopShell::activate()
{
#if defined(Q_OS_MACOS)
    RunFinderLine(QStringLiteral("tell application \"Finder\" to activate"));
#endif
    // Elsewhere the file manager opened by reveal or open comes to the front itself.
}

bool RecordingDesktopShell::reveal(const QString& path)
{
    m_ltRequests.append(QStringLiteral("reveal ") + path);
    return m_bStarts;
}

bool RecordingDesktopShell::open(const QString& path)
{
    m_ltRequests.append(QStringLiteral("open ") + path);
    return m_bStarts;
}

void RecordingDesktopShell::activate() { m_ltRequests.append(QStringLiteral("activate")); }
