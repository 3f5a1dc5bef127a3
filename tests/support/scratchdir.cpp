#include "tests/support/scratchdir.h"

#include <QFile>

#include <cerrno>
#include <ftw.h>
#include <stdio.h>
#include <sys/stat.h>

namespace fixture {
namespace {
// Depth first, so a folder is empty by the time its turn comes.
int RemoveEntry(const char* path, const struct stat*, int, struct FTW*)
{
    return ::remove(path) == 0 ? 0 : -1;
}
}  // namespace

bool RemoveTree(const QString& path)
{
    const QByteArray bytes = QFile::encodeName(path);
    struct stat info;
    if (::lstat(bytes.constData(), &info) != 0)
        return errno == ENOENT;
    return ::nftw(bytes.constData(), RemoveEntry, 16, FTW_DEPTH | FTW_PHYS) == 0;
}

}  // namespace fixture
