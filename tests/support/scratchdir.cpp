#include "tests/support/scratchdir.h"

#include <QFile>

#include <cerrno>
#include <ftw.h>
#include <stdio.h>
#include <sys/stat.h>

namespace fixture {

bool RemoveTree(const QString& path)
{
    const QByteArray bytes = QFile::encodeName(path);
    struct stat info;
    if (::lstat(bytes.constData(), &info) != 0)
        return errno == ENOENT;
    // Depth first: a folder is empty by the time its turn comes.
    const auto remove = [](const char* entry, const struct stat*, int, struct FTW*) { return ::remove(entry); };
    return ::nftw(bytes.constData(), remove, 16, FTW_DEPTH | FTW_PHYS) == 0;
}

}  // namespace fixture
