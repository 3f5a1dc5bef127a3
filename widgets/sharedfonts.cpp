#include "widgets/sharedfonts.h"

#include <QCoreApplication>
#include <QFontDatabase>
#include <QGuiApplication>

#include "foundation/messageloging.h"

static const char* const kSharedFamily = "DejaVu Sans";

const QFont generalFont5(kSharedFamily, 5, QFont::Normal, false);
const QFont generalFont6(kSharedFamily, 6, QFont::Normal, false);
const QFont generalFont7(kSharedFamily, 7, QFont::Normal, false);
const QFont generalFont8(kSharedFamily, 8, QFont::Normal, false);
const QFont generalFont9(kSharedFamily, 9, QFont::Normal, false);
const QFont generalFont10(kSharedFamily, 10, QFont::Normal, false);
const QFont generalFont11(kSharedFamily, 11, QFont::Normal, false);
const QFont generalFont12(kSharedFamily, 12, QFont::Normal, false);
const QFont generalFont14(kSharedFamily, 14, QFont::Normal, false);
const QFont generalFont8Bold(kSharedFamily, 8, QFont::Bold, false);
const QFont generalFont9Bold(kSharedFamily, 9, QFont::Bold, false);
const QFont generalFont10Bold(kSharedFamily, 10, QFont::Bold, false);

// Outside any namespace, as Q_INIT_RESOURCE requires; the resources live in
// a static library, so nothing else would pull them into the program.
static void InitWidgetResources()
{
    Q_INIT_RESOURCE(widgetsresources);
}

bool RegisterSharedFonts()
{
    static bool registered = false;
    if (registered)
        return true;
    if (!qobject_cast<QGuiApplication*>(QCoreApplication::instance()))
        return false;
    InitWidgetResources();
    const char* const files[] = {":/res/Resources/DejaVuSans.ttf",
                                 ":/res/Resources/DejaVuSans-Bold.ttf"};
    bool ok = true;
    for (const char* file : files) {
        if (QFontDatabase::addApplicationFont(QString::fromLatin1(file)) < 0) {
            MyQDebug("RegisterSharedFonts(): cannot register %s", file);
            ok = false;
        }
    }
    registered = ok;
    return ok;
}

static void RegisterSharedFontsAtStartup()
{
    RegisterSharedFonts();
}
Q_COREAPP_STARTUP_FUNCTION(RegisterSharedFontsAtStartup)
