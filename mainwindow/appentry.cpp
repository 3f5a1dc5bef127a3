#include "mainwindow/appentry.h"

#include "foundation/platform/appfolders.h"
#include "foundation/toolarguments.h"
#include "mainwindow/debuglog.h"
#include "mainwindow/dlgmain.h"

#include <QApplication>
#include <QDateTime>
#include <QFile>
#include <QFileInfo>
#include <QScreen>
#include <QTextStream>
#include <QVariant>
#include <cmath>
#include <memory>

namespace {
constexpr float kDefaultFontFactor = 1.4f;
// Beyond these every text is too small to read or too large for its box
// (1e30 or 1e-30 makes it vanish).
constexpr float kSmallestFontFactor = 0.5f;
constexpr float kLargestFontFactor = 4.0f;
}

float ReadFontFactor(const QString& path)
{
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly))
        return kDefaultFontFactor;
    QTextStream stream(&file);
    float factor = 0.0f;
    stream >> factor;
    // A word, an empty file or a zero would shrink every font to nothing.
    if (stream.status() != QTextStream::Ok || !std::isfinite(factor) || factor < kSmallestFontFactor
        || factor > kLargestFontFactor) {
        qWarning("%s holds no font factor from %g to %g: %g is kept", qPrintable(path),
                 double(kSmallestFontFactor), double(kLargestFontFactor), double(kDefaultFontFactor));
        return kDefaultFontFactor;
    }
    return factor;
}

float ScreenFontFactor(float factor, qreal logicalDpi)
{
    if (logicalDpi <= 0)
        return factor;
    return float(factor * 72.0 / logicalDpi);
}

QString LaunchBanner(const QDateTime& now)
{
    return QStringLiteral("---------------------------- LAUNCHING TOBRA3 ----------------------------------")
           + QStringLiteral(" \"") + now.toString(QStringLiteral("yyyy-MM-dd   HH:mm:ss")) + QStringLiteral("\"");
}

int CheckNalvoCommandLine(const QStringList& arguments)
{
    QStringList plain;
    const int code = ReadToolArguments(
        arguments,
        "nalvo\nBrowses the media volumes in the folder NALVO_VOLUMES_ROOT names (each sub-folder is one\n"
        "volume), else the mounted volumes.",
        0, 0, &plain);
    if (code >= 0)
        return code;
    // A folder that is not there would leave the mounted volumes browsed,
    // whose WAV files an edit would write.
    const QString root = qEnvironmentVariable("NALVO_VOLUMES_ROOT");
    if (!root.isEmpty() && !QFileInfo(root).isDir()) {
        std::fprintf(stderr, "nalvo: the volumes folder %s (NALVO_VOLUMES_ROOT) does not exist\n",
                     qPrintable(root));
        return 2;
    }
    return -1;
}

QString MissingDisplayText(const QString& platform, const QString& display, const QString& waylandDisplay)
{
    const QString name = platform.section(QLatin1Char(':'), 0, 0).trimmed();
    const bool x11 = name.isEmpty() || name == QLatin1String("xcb");
    const bool wayland = name.isEmpty() || name.startsWith(QLatin1String("wayland"));
    if (!x11 && !wayland)
        return QString();
    if ((x11 && !display.isEmpty()) || (wayland && !waylandDisplay.isEmpty()))
        return QString();
    const QString wanted = name.isEmpty() ? QStringLiteral("DISPLAY or WAYLAND_DISPLAY")
                           : x11          ? QStringLiteral("DISPLAY")
                                          : QStringLiteral("WAYLAND_DISPLAY");
    return QStringLiteral("nalvo needs a display: %1 is not set (QT_QPA_PLATFORM=offscreen runs without one)")
        .arg(wanted);
}

int RunNalvo(int argc, char** argv)
{
    // Read before the application object exists: an answer to "--help" or
    // a refusal needs no display and must write no settings.
    QStringList arguments;
    for (int i = 0; i < argc; ++i)
        arguments << QString::fromLocal8Bit(argv[i]);
    if (const int code = CheckNalvoCommandLine(arguments); code >= 0)
        return code;
    // Qt would abort in the application object with a page about plugins.
    const QString noDisplay = MissingDisplayText(qEnvironmentVariable("QT_QPA_PLATFORM"),
                                                 qEnvironmentVariable("DISPLAY"),
                                                 qEnvironmentVariable("WAYLAND_DISPLAY"));
    if (!noDisplay.isEmpty()) {
        std::fprintf(stderr, "%s\n", qPrintable(noDisplay));
        return 1;
    }

    QApplication app(argc, argv);
    if (QFileInfo::exists(AppFolders::DebugMarkerPath()))
        qInstallMessageHandler(myMessageOutput);
    else
        QuietDebugMessages();
    qDebug("%s", qPrintable(LaunchBanner(QDateTime::currentDateTime())));

    // Looked up in the working folder, as users place it beside their media.
    const float factor = ReadFontFactor(QStringLiteral("font.txt"));
    qDebug("MAIN APPPPPPPPPPPPPPPPPPPPPP %g", double(factor));
    // The form's point sizes and the factor are meant at 72 points per inch
    // (as on the recorder maker's desktop); a screen with more logical dots
    // per inch draws every point larger, which would clip the fixed boxes.
    const QScreen* screen = QGuiApplication::primaryScreen();
    app.setProperty("fontFactor", QVariant(ScreenFontFactor(factor, screen ? screen->logicalDotsPerInchY() : 72.0)));

    auto window = std::make_unique<DlgMain>();
    // The window made the message channel: a log asked for that cannot be
    // written is said now, once.
    TellDebugLogFailure();
    window->show();
    const int code = app.exec();
    CloseDebugLog();
    window.reset();
    return code;
}
