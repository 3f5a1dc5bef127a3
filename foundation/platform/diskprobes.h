#ifndef NALVO_FOUNDATION_PLATFORM_DISKPROBES_H
#define NALVO_FOUNDATION_PLATFORM_DISKPROBES_H

#include <QString>
#include <QStringList>
#include <QVector>
#include <QtGlobal>
#include <functional>

// Free space and writability go through these replaceable functions, so that
// tests can stage a full disk or a write-protected card (CI runs as root,
// where chmod cannot make anything read-only).

// Bytes available to the user on the volume holding an existing folder;
// -1 when the volume cannot be identified.
using FreeSpaceFunction = std::function<qint64(const QString& existingFolder)>;
qint64 FreeSpaceBytes(const QString& existingFolder);
// Installs a function; an empty one restores the system's (QStorageInfo).
void SetFreeSpaceFunction(FreeSpaceFunction function);

// True when the file or folder may be written (a folder: entries may be
// created, renamed and removed in it).
using WritabilityProbe = std::function<bool(const QString& path)>;
bool IsWritablePath(const QString& path);
// Installs a probe; an empty one restores the system's (QFileInfo::isWritable).
void SetWritabilityProbe(WritabilityProbe probe);
// True when every named file of the folder (its path ends with '/') may be
// written: IsWritablePath(folder + name) for each. folderDescriptor, when
// not -1, is an open descriptor of that folder: the system then looks each
// name up in it rather than walking the folder's whole path again.
bool AreWritableFiles(const QString& folder, int folderDescriptor, const QStringList& names);
// IsWritablePath(folder), asked of the open descriptor of that folder when
// it is not -1.
bool IsWritableFolder(const QString& folder, int folderDescriptor);

// True when the folder lies on a file system known to change a folder's
// times whenever an entry is made, renamed or removed in it (ext4, XFS,
// Btrfs, tmpfs, F2FS). exFAT and FAT cards, FUSE volumes and network shares
// can move a file in or out and leave the folder's times as they were, so
// on them a folder's time says nothing about its names.
bool FolderTimesFollowEntries(const QString& folder);
// True when the folder lies on a file system that finds a name in a folder
// through an index kept for it (the same ones): a name looked for costs
// about as little whether it is there or not. On the others a name asked
// costs a walk of the folder's entries (FAT, exFAT) or a request to a
// program (FUSE volumes, network shares), and a name that is not there
// costs the most; one read of the folder's names costs about as much as a
// few of them.
bool FolderFindsNamesByIndex(const QString& folder);
// True when the files in the folder lie on a file system that stamps a
// file's change time at every change of its bytes and keeps its inode
// number for its life (the same ones): a file found of the same inode,
// length and times holds what it held. exFAT and FAT keep no change time
// and times of two seconds or ten milliseconds, and FUSE volumes and shares
// make their inode numbers and times up, so there only the bytes tell.
bool FileTimesTellChanges(const QString& folder);

// Puts what was written to the open files (descriptors) on the disk itself,
// so that a power cut cannot lose it or keep later writes without it. Only
// these files are synced (not what other programs wrote), all together; a
// folder's descriptor syncs its entries. Returns the system's error number
// of the first file it refused (0: all synced), for the user's message.
int SyncFiles(const QVector<int>& descriptors);
// The folder's entries (names made, renamed or removed in it) on the disk:
// SyncFiles on the folder. 0, or the system's error number.
int SyncFolder(const QString& folder);
// The length of the file open as fd as its volume holds it now, asked of
// the volume past the lengths a share's mount keeps for a while (sshfs,
// where another computer may have written the file since); -1 when it
// cannot be asked.
qint64 FreshFileLength(int fd);
// The same for several folders at once, named or already open (the open
// descriptors stay open): one wait for all. 0, or the first error number,
// a folder that cannot be opened included.
int SyncFolders(const QStringList& folders, const QVector<int>& openFolders = {});

// A test's stand-in for the system's sync: true for synced. Its false
// reaches the callers as EIO, the error a failed write-back reports. The
// system's sync and the stand-in alike pass the disk-call seam (see
// diskcalls.h) once per file.
using DiskSyncFunction = std::function<bool(const QVector<int>& descriptors)>;
// Installs a function; an empty one restores the system's.
void SetDiskSyncFunction(DiskSyncFunction function);

#endif
