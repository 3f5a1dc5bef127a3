#ifndef NALVO_FOUNDATION_PLATFORM_FOLDERNAMES_H
#define NALVO_FOUNDATION_PLATFORM_FOLDERNAMES_H

#include <QString>
#include <QStringList>

#include <functional>

// Entries of a folder whose names, as the system gives them (bytes), do not
// survive the program's text form: decoded, they are another name (each
// byte that is not UTF-8 becomes U+FFFD), and no file operation made from
// that text reaches the entry. Other systems and older cards write such
// names. Only sub-folders and files whose name ends in suffix are given
// (hidden ones not), in readable form: what is UTF-8 as it is, every other
// byte as "\xNN". Empty when the folder cannot be read.
QStringList UnreachableEntryNames(const QString& folder, const QByteArray& suffix);

// Calls visit with the name of every entry of a folder but "." and "..",
// as the system gives it (bytes), in the order the system lists them, until
// visit returns false. One read of the folder, no look at the entries
// themselves: a folder of thousands of files lists in a fraction of what a
// general directory iterator costs. False when the folder cannot be read.
bool VisitEntryNames(const QString& folder, const std::function<bool(const char* name)>& visit);

#endif
