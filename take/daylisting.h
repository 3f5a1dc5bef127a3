#ifndef NALVO_TAKE_DAYLISTING_H
#define NALVO_TAKE_DAYLISTING_H

#include "take/takefamily.h"

#include <QSet>
#include <QString>
#include <QStringList>
#include <QVector>

#include <functional>

// A day folder listed as the views show it: the browser's rows and the day
// list's takes come from this one listing, so the two list the same takes
// and leave out the same files.

// One entry of a day folder as a lister read it.
struct tyDayEntry {
    QString czName;           // as read; a take file's ends with ".WAV"
    // What the lister's read told of it (a symbolic link counts as what it
    // leads to, VisitFolderEntries); unknown for a list of names alone: a
    // ".WAV" name is then a regular file by its length.
    enum class Kind : quint8 { Unknown, Folder, File, Other } eKind = Kind::Unknown;
    // A ".WAV" name that is no regular file: a folder, a pipe, a device or
    // a link that leads to none of them. No take, nor a file Import reads:
    // the day's line names it (NotRegularLine).
    bool bNotRegular = false;
    // A ".WAV" regular file's place in its listing's judged files
    // (tyDayListing::judged); -1 when not judged.
    int nJudged = -1;
};
// A name and plain values, small: a day's tens of thousands are read,
// sorted and moved as the day is listed.
Q_DECLARE_TYPEINFO(tyDayEntry, Q_MOVABLE_TYPE);

// Puts entries in name order. sortedAt (may be null): of each entry as
// given, its place in name order.
void SortByName(QVector<tyDayEntry>* entries, QVector<int>* sortedAt = nullptr);

// Whether an entry is a ".WAV" name of no regular file by its read alone.
bool NotRegularByRead(const tyDayEntry& entry);

struct tyDayListing {
    QVector<tyDayEntry> entries;   // in name order; hidden ones left out
    // Each ".WAV" regular file's: the take it stands for (eKind None:
    // none), by the entry's nJudged.
    QVector<tyListedFile> judged;
    QSet<QString> rivals;          // the files that hold no slot of their take (SlotRivalsInListing)
    QStringList lczNotRegular;     // the names of bNotRegular entries, in name order
};

// Lists the entries of folder (ends with '/') a lister read, in any order:
// sorts them by name, and judges each ".WAV" regular file for the take it
// stands for (JudgeDayFile), the lengths asked and the heads of the first
// files of the mono families read side by side on up to threads threads,
// the families judged side by side. A name the listing found but that is
// gone since is judged by its name, as it was listed. alongside (may be
// empty): the caller's own work on the entries in name order, on the
// calling thread as the lengths are asked, before any is judged or found
// to be no regular file by its length.
tyDayListing ListDay(const QString& folder, QVector<tyDayEntry> read, int threads,
                     const std::function<void(const QVector<tyDayEntry>& sorted)>& alongside = {});

// The take a ".WAV" file of a day stands for (ListedFileOf), and a file
// named as no take but as a track the load reads ("T1_A") alone by its
// head when it is no member of its family (JoinsFamily): not listed then,
// though its family is (UnlistedDayFiles). length and head as ListedFileOf
// takes them.
tyListedFile JudgeDayFile(const QString& folder, const QString& fileName, TakeNaming::FileKind named, QString family,
                          const tyListedFile* earlier, qint64 length, const tyTrackFileHead* head, bool rival);

// The entries of a day's listing ListDay judges beside any of names
// (files that came or went): those of the families and takes the names
// are of, and of the families of those, so that ListDay over them alone
// judges each as over the whole day. count entries in name order, nameAt
// giving each entry's name; their places, in name order.
QVector<int> EntriesJudgedBeside(int count, const std::function<QString(int)>& nameAt, const QStringList& names);

// A file of a mono family before the family's first member naming the
// take (tyListedFile::bMember) is judged again beside that member, as it is
// where it sorts after it: a file is a member by what it holds, never by
// its name's order. The member to judge it by: the first member, the slots
// of the files before it left aside, and its length too: such a file was
// judged without that member, by its head, and is judged by its head again
// (one of the members' length may name another take).
tyListedFile FirstMemberToJudgeBy(tyListedFile first);

// The ".WAV" files of a day that no take stands for or reads, counted over
// the day's judged files: those of no take's name, but for a track file
// the loader reads with a listed take ("T1_A.WAV" of "T1") and is no
// stranger to it by the head its load kept (KeptTrackFileHead). Import
// reads them.
class UnlistedDayFiles
{
public:
    // Every judged file of the day first, then Count over them.
    void AddListed(const tyListedFile& file);
    // Whether a file of no take (eKind None) counts as not listed.
    bool Counts(const QString& fileName, const QString& path, const tyListedFile& file) const;

private:
    QSet<QString> m_Families;   // the families of listed members
};

// Whether a lister of a day walks a folder it holds for the WAV files in
// it (WAV files in folders, which no row lists): not one named as a take
// file (a no regular file, NotRegularLine says it), nor a link back into
// the day or a folder holding it, whose files are the day's own.
bool WalkedForWavFiles(const QString& dayFolder, const QString& name);

// The day's line for its entries named as ".WAV" files that are no regular
// file: each named, or counted when many; empty when none.
QString NotRegularLine(const QStringList& names);

#endif
