// nalvo-demo-media <folder>: writes a small recorder volume for trying the
// application without a recorder card.
#include "tests/support/demomedia.h"

#include <QCoreApplication>
#include <QDir>
#include <QTextStream>

int main(int argc, char** argv)
{
    QCoreApplication app(argc, argv);
    QTextStream err(stderr);
    const QStringList args = app.arguments();
    if (args.size() != 2) {
        err << "usage: nalvo-demo-media <folder>\n";
        return 2;
    }
    const QStringList files = fixture::WriteDemoVolume(args.at(1));
    if (files.isEmpty()) {
        err << "nalvo-demo-media: cannot write the demo volume in " << args.at(1) << "\n";
        return 1;
    }
    QTextStream(stdout) << QDir(args.at(1)).absoluteFilePath(QString::fromLatin1(fixture::kDemoVolumeName))
                        << "\n";
    return 0;
}
