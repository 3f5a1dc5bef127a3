#ifndef NALVO_SOUNDFILE_KEPTHEADS_H
#define NALVO_SOUNDFILE_KEPTHEADS_H

#include "soundfile/filestatus.h"

#include <QString>

#include <sys/stat.h>
#include <sys/types.h>
#include <time.h>

// A file as one look at it found it: the same file on the same device, of
// the same length, changed and modified at the same times. A file alike in
// all of them still holds what it held then.
struct tyFileState {
    dev_t nDevice = 0;
    ino_t nInode = 0;
    off_t nLength = -1;
    struct timespec changed = {};
    struct timespec modified = {};
    bool operator==(const tyFileState& o) const
    {
        return nDevice == o.nDevice && nInode == o.nInode && nLength == o.nLength
               && changed.tv_sec == o.changed.tv_sec && changed.tv_nsec == o.changed.tv_nsec
               && modified.tv_sec == o.modified.tv_sec && modified.tv_nsec == o.modified.tv_nsec;
    }
    bool operator!=(const tyFileState& o) const { return !(*this == o); }
    // The same file, whatever became of its bytes and times.
    bool SameFileAs(const tyFileState& o) const { return nDevice == o.nDevice && nInode == o.nInode; }
};
// The state of the file a path leads to; false when it cannot be asked.
bool StateOf(const QString& path, tyFileState* state);
// The same of an open file.
bool StateOfOpen(int fd, tyFileState* state);
// The same from what stat(2) answered.
void StateOfStatus(const struct stat& status, tyFileState* state);

// A file's state as a look just before a read of it found it, and when,
// on the clock the file system stamps its change times with. On a volume
// that stamps every change of a file with its time (FileTimesTellChanges),
// a file found alike later holds what that read found, where it had last
// changed a while before the look: a change within one tick of the clock
// after another may leave the change time as it was.
struct tyReadState {
    tyFileState state;
    struct timespec at = {};
    bool IsKnown() const { return state.nLength >= 0; }
    bool Proves(const tyFileState& now) const;
};
// The clock's time now, as tyReadState::at takes it.
struct timespec ReadStateClock();
// The state of an open file now, before the caller reads it.
bool ReadStateOfOpen(int fd, tyReadState* read);

// The heads of the track files a take's load left out of their family as
// takes by themselves (another maker's file, or another take's, of the
// members' very length, which a listing would join by its length unread;
// a file named for a slot a member holds), kept by path with the file's
// state at the load's read: the browser and the day list judge such a file
// by its head as the load found it, and list it alone as the load leaves
// it out. A head is given only while its file is as it was read (one look
// at its state); a file changed or replaced since is judged anew. A kept
// head only tells the views: loads and the check before a save read
// afresh, and it never decides what a save writes. From any thread.

// Keeps what a load found in a file's head, with the file's state as it
// read it.
void KeepTrackFileHead(const QString& path, const tyFileState& state, const tyTrackFileHead& head);
// Where a head is kept for path, whatever its state, keeps head instead
// with the file's state now: what a load read in a file it took as a member
// (a file the views listed alone, rewritten since on a volume that keeps
// its times). Asks the disk only where a head is kept.
void RenewKeptTrackFileHead(const QString& path, const tyTrackFileHead& head);
// The kept head of folder's file name (folder ends with '/'), where the
// file is still as it was read; false when none is kept, or the file
// changed or is gone since (the kept one is dropped then). Asks the disk
// only where a head is kept.
bool KeptTrackFileHead(const QString& folder, const QString& name, tyTrackFileHead* head);
// The kept head where it holds, else the head read now.
tyTrackFileHead KeptOrReadTrackFileHead(const QString& folder, const QString& name);
// Counts the heads kept that differ from what was kept of their file
// before, or that are new: a view listed before they were kept may list
// its files otherwise now. 0 while none was kept.
quint64 KeptTrackFileHeadsChanged();

#endif
