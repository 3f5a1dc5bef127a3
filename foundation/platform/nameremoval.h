#ifndef NALVO_FOUNDATION_PLATFORM_NAMEREMOVAL_H
#define NALVO_FOUNDATION_PLATFORM_NAMEREMOVAL_H

#include <QString>
#include <QStringList>

#include <functional>

// The removal of a name that must be checked at the removal itself, and
// the look at whether a name is there, made one way for every writer: the
// save and rename records (foundation/recordfiles.h, whose protocol
// describes when each record is removed), a rename's old name through a
// hard link and a link's second name (foundation/fileutil.h). Every call
// goes through the disk-call seam (diskcalls.h).
//
// A look at a name followed by its removal takes whatever stands under the
// name by then: a writer held up between the two (past the age rule, on a
// share whose locks stay with each computer) meets another's file there.
// So the name is first moved in one step to a name only this removal uses
// (RemovalAsideName), what it holds is judged there, and it is removed
// there or put back under its name, never over a file made there since.
// A remover killed between the move and what follows leaves the file under
// that hidden name; whoever finds it there once its remover is gone puts
// it back under its name when that is free (RemovalAsideOwnerName), as a
// killed writer's file is settled by the next load, or removes it where
// another name holds the same file.

// The name a removal moves path to first, beside it: "." + its name +
// ".nalvo-gone-" + 16 hexadecimal digits, new for each call, so that no
// other writer makes or checks it. One a killed remover left is found by
// RemovalAsidesIn, told from every other name by IsRemovalAsideName (a name
// as the system lists it), and names what it was moved from by
// RemovalAsideOwnerName (empty when it is no such name).
QString RemovalAsideName(const QString& path);
// What every such name of the file name begins with.
QString RemovalAsidePrefix(const QString& name);
bool IsRemovalAsideName(const char* name);
QString RemovalAsideOwnerName(const QString& aside);
// The removal names in folder (one listing), and whether aside is one of
// path's.
QStringList RemovalAsidesIn(const QString& folder);
bool IsRemovalAsideOf(const QString& aside, const QString& path);
// Whether a removal left path aside, as its folder holds its names at the
// call (WatchedRemovalAsides: one listing of it, or the kernel's news since).
bool RemovalAsideOfExists(const QString& path);
// The form of the hidden names writers make beside a file (a removal's
// aside, a temporary): ".", at least one character of the file's name,
// marker, then digits lowercase hexadecimal digits, nothing else.
bool IsHiddenNameEndingIn(const char* name, const char* marker, size_t digits);

// "Is the name there", asked of the volume itself by opening it: a share's
// mount (sshfs) may answer a look at a name another computer removed or
// made from its cache. A symbolic link is a name there, not followed.
bool NameOnVolume(const QString& path);

// What a removal does with the file it moved aside, judged there.
enum class AsideVerdict {
    Remove,    // it is what the caller may remove
    PutBack,   // it is not: back under its name
    Keep,      // neither: it stays aside (another name of it stands, or its name is taken)
};
// "Move it aside, check what it holds, then remove it or put it back": the
// name path moved to RemovalAsideName(path), judge asked of that aside,
// and the aside removed, put back under path (never over a file made there
// since), or kept as judge says. 0 when removed; ESTALE when judge did not
// let it go (put back, or kept: *stays names the aside); else the system's
// error number of the move aside (ENOENT: nothing under the name) or of the
// removal, after which the file goes back under its name. *stays, when
// given: the aside the file still stands under (a put-back refused), else
// empty.
int RemoveNameAsChecked(const QString& path, const std::function<AsideVerdict(const QString& aside)>& judge,
                        QString* stays = nullptr);
// Puts the file at aside back under path without replacing anything there:
// 0, or the system's error number (EEXIST: the name is taken).
int PutBackAside(const QString& aside, const QString& path);

#endif
