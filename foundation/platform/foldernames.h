#ifndef NALVO_FOUNDATION_PLATFORM_FOLDERNAMES_H
#define NALVO_FOUNDATION_PLATFORM_FOLDERNAMES_H

#include <QString>
#include <QStringList>

#include <functional>

// Calls visit with the name of every entry of a folder but "." and "..",
// as the system gives it (bytes), in the order the system lists them, until
// visit returns false. One read of the folder, no look at the entries
// themselves: a folder of thousands of files lists in a fraction of what a
// general directory iterator costs. False when the folder cannot be read.
bool VisitEntryNames(const QString& folder, const std::function<bool(const char* name)>& visit);

// What an entry is, as one read of its folder tells: from the listing where
// the file system says, else asked of the entry; a symbolic link counts as
// what it points to (a broken one is Other), as QFileInfo counts it.
enum class FolderEntryKind { Folder, File, Other };

// As VisitEntryNames, with each entry's kind.
bool VisitFolderEntries(const QString& folder,
                        const std::function<bool(const char* name, FolderEntryKind kind)>& visit);

// An entry's name as the system gives it (bytes) in readable form: what is
// UTF-8 as it is, every other byte as "\xNN". Other systems and older
// cards write names that are not UTF-8: decoded, they are another name
// (each such byte becomes U+FFFD), which no file operation reaches.
QString ReadableEntryName(const QByteArray& name);

#endif
