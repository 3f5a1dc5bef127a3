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

// The found files that are no member of the take (a mask of slots), by
// their claims: another maker's files unless every file found is one (a
// set of another recorder's, which Import reads whole), and another take's
// files where a file names the take. A poly take's file is its take.
quint32 SlotsLeftOut(bool poly, quint32 present, const SlotClaim (&claims)[24]);

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
