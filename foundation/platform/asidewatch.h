#ifndef NALVO_FOUNDATION_PLATFORM_ASIDEWATCH_H
#define NALVO_FOUNDATION_PLATFORM_ASIDEWATCH_H

#include <QStringList>

// The names a removal left aside in a folder (see nameremoval.h), as the
// folder holds them at the call, without a read of a folder of thousands at
// each look: on a file system of this computer's kernel (FolderTimesFollow-
// Entries), which tells every name made, moved or removed in a watched
// folder as the call that changes it returns (inotify), the folder is read
// once when first asked and then followed by what the kernel told since,
// read at each call. A change any writer made before the call, whatever
// program or thread it was, is so in the answer; the kernel's word is not a
// guess from times that may stay within one tick of a coarse clock.
// Elsewhere (exFAT and FAT through FUSE, shares), and once the kernel
// dropped news (its queue full) or the folder was moved, removed or
// replaced, the folder is read. A few folders are followed, the longest
// unasked let go. Paths as RemovalAsidesIn gives them.
QStringList WatchedRemovalAsides(const QString& folder);

#endif
