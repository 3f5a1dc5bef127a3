// nalvo-demo-media <folder>: writes a small recorder volume for trying the
// application without a recorder card.
#include "foundation/toolarguments.h"
#include "tests/support/demomedia.h"

#include <QCoreApplication>
#include <QDir>
#include <QTextStream>

int main(int argc, char** argv)
{
    QCoreApplication app(argc, argv);
    QTextStream err(stderr);
    QStringList args;
    const int exitCode = ReadToolArguments(app.arguments(), "nalvo-demo-media <folder>", 1, 1, &args);
    if (exitCode >= 0)
        return exitCode;
    const QStringList files = fixture::WriteDemoVolume(args.at(0));
    if (files.isEmpty()) {
        err << "nalvo-demo-media: cannot write the demo volume in " << args.at(0) << "\n";
        return 1;
    }
    QTextStream(stdout) << QDir(args.at(0)).absoluteFilePath(QString::fromLatin1(fixture::kDemoVolumeName))
                        << "\n";
    return 0;
}
