#ifndef NALVO_FOUNDATION_TOOLARGUMENTS_H
#define NALVO_FOUNDATION_TOOLARGUMENTS_H

#include <QString>
#include <QStringList>

#include <cstdio>

// The command line of the project's helper programs (demo media, icons,
// benchmarks). "--help" or "-h" prints the usage line and ends the program
// with success; any other argument that looks like an option is refused, so
// that a mistyped option never becomes a folder or a number; "--" ends the
// options. Between minCount and maxCount plain arguments are accepted.
// Returns -1 when the program goes on (the plain arguments in *plain), else
// the exit code to return.
inline int ReadToolArguments(const QStringList& arguments, const char* usage, int minCount, int maxCount,
                             QStringList* plain)
{
    bool optionsEnded = false;
    plain->clear();
    for (int i = 1; i < arguments.size(); ++i) {
        const QString& arg = arguments.at(i);
        if (!optionsEnded && arg == QLatin1String("--")) {
            optionsEnded = true;
        } else if (!optionsEnded && (arg == QLatin1String("--help") || arg == QLatin1String("-h"))) {
            std::printf("usage: %s\n", usage);
            return 0;
        } else if (!optionsEnded && arg.size() > 1 && arg.startsWith(QLatin1Char('-'))) {
            std::fprintf(stderr, "unknown option %s\nusage: %s\n", qPrintable(arg), usage);
            return 2;
        } else {
            plain->append(arg);
        }
    }
    if (plain->size() < minCount || plain->size() > maxCount) {
        std::fprintf(stderr, "usage: %s\n", usage);
        return 2;
    }
    return -1;
}

#endif
