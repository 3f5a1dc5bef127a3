#ifndef NALVO_TAKE_MIXEDMARK_H
#define NALVO_TAKE_MIXEDMARK_H

#include <QHash>
#include <QList>
#include <QPair>
#include <QString>
#include <QStringList>

// The mark of a take whose files hold parts of two saves (see
// recordfiles.h, 3): which members hold part of a stopped save among a
// later one's bytes, and in which part of each, kept beside the take until
// a save rewrites every part it names.

// The parts of a member a stopped save's late write may leave mixed, as bits.
enum MixedPart : int {
    kMixedDescription = 1,   // the bext description
    kMixedIxml = 2,          // the iXML: its text, its chunk's sizes, its growth
    // Both: a member a mark of the earlier format names (it named no part),
    // and "?", all members of a mark that names none.
    kMixedAll = kMixedDescription | kMixedIxml
};

// A mark as read: each member's file name with its parts, in the mark's
// order.
struct tyMixedMark {
    QList<QPair<QString, int>> lMembers;

    // The members for the user, each with the part it holds mixed.
    QStringList Told() const;
};

QString TakeMixedMarkPath(const QString& folder, const QString& baseName);

// Reads the take's mark from its volume itself: a share's mount may still
// list (and give the old length of) a mark another computer removed or
// rewrote. 0, ENOENT when there is none, else the system's error number: a
// mark that cannot be read is told as none. One that reads but names no
// member names "?", all of it.
int ReadTakeMixedMark(const QString& folder, const QString& baseName, tyMixedMark* mark);

// Adds part (MixedPart) of member to the take's mark: 0, or the system's
// error number. A mark there that cannot be read is kept as "?".
int MarkTakeMixed(const QString& folder, const QString& baseName, const QString& member, int part);

// A save of the take ended: takes off the mark the parts the save rewrote
// whole (rewritten: the parts of each member by file name; "?" goes when
// every member was rewritten whole), and the members no longer in the
// folder. The mark goes when nothing stays. 0 when what stays is on the
// disk, else the system's error number.
int ClearTakeMixed(const QString& folder, const QString& baseName, const QHash<QString, int>& rewritten);

// A rename of the take's files (renamed: old file name to new): the mark
// under fromBase, with the files' new names, is written under toBase; with
// keepOld, the files' old names stay in it beside the new ones (a take that
// keeps its name, its files renamed: the mark names the files under
// whichever names a killed rename leaves them). *carried: whether there
// was one. 0, or the system's error number.
int CarryTakeMixedMark(const QString& folder, const QString& fromBase, const QString& toBase,
                       const QHash<QString, QString>& renamed, bool keepOld, bool* carried);
// The mark under the name the take no longer has: 0, or the system's error
// number.
int RemoveTakeMixedMark(const QString& folder, const QString& baseName);

#endif
