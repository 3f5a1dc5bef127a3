#ifndef NALVO_FOUNDATION_FILEUTIL_H
#define NALVO_FOUNDATION_FILEUTIL_H

#include <QString>
#include <QStringList>

#include "foundation/platform/nameremoval.h"

#include <functional>

// Removes a file, or a folder with all its entries (hidden ones included),
// depth first, then the folder. A symbolic link is removed, never followed.
// False when the path is empty or missing, or a removal fails.
bool removePath(const QString& path);

// Gives the file at from the name to unless that name is taken: atomic
// where the file system offers it, else through a hard link, else (exFAT)
// through an empty file made under the new name only if none is there, which
// the plain rename then replaces. A process killed in that last form leaves
// the empty file beside the old name. False (errno set) when the name is
// taken or the rename fails. After the hard-link form a volume may give the
// new name another file number than a descriptor open under the old one
// (FUSE and network volumes): a writer knows its file by its content then
// (see recordfiles.h). A folder is renamed by the atomic form, else by
// the plain rename once the name is found free. In the hard-link form the
// old name must go for the move to count: where it cannot be removed, the
// new name is removed again and the move has failed (errno: why the old
// name stayed); a new name that cannot be removed either stays beside the
// old one as a second name of the same file.
bool RenameNoReplace(const QString& from, const QString& to);
// The same for a writer whose right to move the file lasts only while a
// record of its own stands (see recordfiles.h): in the hard-link form the
// old name is not removed after a look but moved to a name only this call
// uses and stillOwn() is asked then (RemoveNameAsChecked), so that the old
// name a take-over elsewhere has put back (or kept) meanwhile is never
// removed. stillOwn() false: the file keeps a name under which another
// settled it, the aside goes (back to the old name where the file has no
// other), and the answer is false with errno ESTALE. The atomic and the
// held-name forms move in one step and ask stillOwn() nothing.
bool RenameNoReplace(const QString& from, const QString& to, const std::function<bool()>& stillOwn);

// The aside names of a checked removal (RemovalAsideName and the rest):
// see platform/nameremoval.h.

// The two names hold one file (a hard link's two names), or two regular
// files of the same bytes, where a volume numbers files anew: removing
// either loses nothing. Reads both whole unless the file numbers tell.
bool HoldsSameBytes(const QString& a, const QString& b);
// Removes the name second where keep holds the same file (HoldsSameBytes),
// checked at the removal itself (RemoveNameAsChecked: compared aside), so
// that of two writers each removing one of two names of a file, after each
// moved its own aside, at most one finds the other's still there. 0 when
// removed, ESTALE when not the same (second back under its name), else the
// system's error number.
int RemoveSecondName(const QString& keep, const QString& second);
// The error number of a create that refused (O_EXCL) the name path as the
// volume answered it (error): EEXIST where the name is taken now, as sshfs
// answers a name another computer's file holds with EPERM (its server
// reports any failure so).
int ExclusiveCreateError(const char* path, int error);

// Makes folder and the missing folders above it, each by one mkdir
// through the disk calls (diskcalls.h); a folder another program makes
// meanwhile is used, not claimed. Appends to *created, when given, the
// folders this call made, outermost first. 0 when folder is a folder at
// the end, else the error number of the mkdir that failed (ENOTDIR: a file
// holds one of the names).
int MakeFolderPath(const QString& folder, QStringList* created = nullptr);

// Why a name cannot be that of one new folder made inside another: empty,
// "." or "..", a "/" or "\" (a path, which reaches past the folder it is
// made in), a control character. Empty when it can.
QString FolderNameRefusal(const QString& name);

// The system's text for an error number ("No space left on device").
QString SystemErrorText(int errorNumber);

// The path names the empty file the last form of RenameNoReplace holds a
// name with (an empty regular file, not followed through a link): what a
// process killed before that form's rename leaves under the new name.
bool IsHeldName(const QString& path);

// Free bytes of the volume that holds the path, measured at its nearest
// existing folder; -1 when the volume cannot be identified.
qint64 FreeSpaceOfPath(const QString& path);

// Free space of the volume that holds the path, in MiB rounded down; a path
// that does not exist yet is measured at its nearest existing folder. 0 when
// the volume cannot be identified.
int QAll_GetDiskFreeSize(QString path);

// The folder for settings that cannot be written beside the audio: the
// current working folder, the application bundle's folder name, "Mirror".
QString QAll_GetMirrorPathFolder();
// The twin of a settings file in the mirror folder: the same name there
// (SettingsStore decides which of the two is read and written).
QString MirrorTwinPath(const QString& file);

#endif
