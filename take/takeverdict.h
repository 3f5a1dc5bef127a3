#ifndef NALVO_TAKE_TAKEVERDICT_H
#define NALVO_TAKE_TAKEVERDICT_H

#include "take/takefamily.h"

#include <functional>

class MyFileInfoList;
class QSoundFile;

// A take's files as judged by what they hold: one judgement for the
// window's load, the full load that the copy, process and report requests
// use, and the check before a save, which compares the verdict of the
// load with one made then.
// Reads the head of a found file for the judgement (ReadTrackFileHead
// where none is given): a caller that holds a file's head as the disk holds
// it now (a save that proved a member unchanged since its load) answers
// from it instead.
using TrackHeadReader = std::function<tyTrackFileHead(int slot, const QString& path)>;

struct tyTakeVerdict {
    // The files found by name, each slot held as the files' heads settle
    // it (SettleSlots), with its rivals and namesakes.
    tyTakeFamily family;
    // Of each found file whose head was read (headsRead): its claim on its
    // slot and its length.
    SlotClaim claims[24] = {};
    qint64 lengths[24] = {};
    tyTrackFileHead heads[24];
    quint32 headsRead = 0;
    TrackHeadReader readHead;
};

// Finds the take named by takePath (FindTakeFamily) in listing, else
// through names, and where a found file may not be its slot's member by
// what its head holds (SlotsInDoubt) and the other forms of its slots were
// not looked for, finds it again with every form (SettleFamily), before
// any file of it is read. names may be null with a listing: the family is
// then settled as the listing lists it. False when nothing was found.
bool JudgeTake(const QString& takePath, const QString& extension, const FolderNameProbe* names,
               const MyFileInfoList* listing, tyTakeVerdict* verdict, const TrackHeadReader& readHead = {});

// The take a mono take's found files (present) were recorded as, by their
// heads: the take's own identifier (id) where a file names it, as the
// recorder names them; else the take most of this recorder's files name,
// where more name it than any other take and than are cut short in their
// heads (the take's own by their names, which their heads cannot deny): a
// take renamed by hand. Else id: the files share no identity (another
// recorder's set, which Import reads whole).
QString RecordingOf(quint32 present, const tyTrackFileHead (&heads)[24], const QString& id);

// The found files that are no member of the take (a mask of slots), by
// their heads' claims on the take's recording (RecordingOf): another
// maker's files unless every file found is one (a set of another
// recorder's, which Import reads whole); another take's files where a file
// is the recording's or is cut short, so that such a file never stands in
// for the take's tracks; and copies: a member whose bext tags the track
// another member holds in that track's own slot, never a
// further track (copies, may be null: their slots). A poly take's file is
// its take. id: the first six characters of the take's root.
quint32 SlotsLeftOut(bool poly, quint32 present, const tyTrackFileHead (&heads)[24], const QString& id,
                     quint32* copies = nullptr);

// Of the slots left out of a mono take (leftOut, files that are no member
// by what they hold), those held out in place of a member its metadata
// lists: first, the take's first kept file (walked, its iXML read), counts
// more files than the kept ones, and arms the slot's track; in slot order
// while that count allows. The take's line names them and the views list
// them with the take; the others are takes by themselves.
quint32 HeldOutSlots(quint32 leftOut, int kept, const QSoundFile& first);

// The paths of the take's members as the verdict holds them: the found
// files but those SlotsLeftOut leaves out, by heads read where the judgement
// did not read them yet.
void MemberPaths(tyTakeVerdict* verdict, QString (&members)[24]);

#endif
