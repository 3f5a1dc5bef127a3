#ifndef NALVO_SOUNDFILE_CHUNKJOURNAL_H
#define NALVO_SOUNDFILE_CHUNKJOURNAL_H

#include "foundation/folderlock.h"
#include "foundation/recordfiles.h"
#include "soundfile/riffwriter.h"

#include <QList>
#include <QString>
#include <QStringList>

class QFile;

// A save that rewrites the header chunks of several files records first, in
// one small file, what undoes it in every file. The record is written under
// a temporary name, synced and renamed, so it is whole or absent; the files
// change only once it is on the disk, and it is removed when they are done.
// Whoever finds one rolls every file back before reading them.

// One record of several saved together.
struct tyChunkJournalWrite {
    QString czPath;
    QList<tyChunkUndo> lMembers;
    int nError = 0;   // the system's error number; 0: the record is on the disk
    QString czWhy;    // its text
    int nFd = -1;     // the record, open from its writing to its removal: holds its lock
    QByteArray head;  // the record's first bytes, its writer token among them: tells it is this writer's
                      // on any volume (see recordfiles.h)
};
// Writes each record atomically, all in the same steps: every record's
// bytes synced in one group, then the renames, then their folders synced
// in one group. Each record ends on the disk (nError 0, nFd open) or absent
// (nError set, its text in czWhy). A record is made only where none is:
// EBUSY when another writer's record (or temporary one) stands there, which
// is left as it is.
void WriteChunkJournals(QList<tyChunkJournalWrite>* records);
// The record's path still names the record this writer wrote: no one
// removed it or put another in its place. Asked by its content (its
// head), never by a file number.
RecordName ChunkJournalName(const tyChunkJournalWrite& record);
bool ChunkJournalIsOwn(const tyChunkJournalWrite& record);
// Removes the record when it is still this writer's, and closes it: 0, or
// the system's error number (ESTALE: the name holds another's, or none,
// which is no success).
int RemoveChunkJournal(tyChunkJournalWrite* record);
// Closes the record's descriptor; the file stays.
void CloseChunkJournal(tyChunkJournalWrite* record);
// False when the file is missing, torn or not a record of this kind.
// Every version is read (see recordfiles.h).
bool ReadChunkJournal(const QString& path, QList<tyChunkUndo>* members);
bool ReadChunkJournal(QFile& file, QList<tyChunkUndo>* members);
bool ParseChunkJournal(QByteArray bytes, QList<tyChunkUndo>* members);
// The name the record is written under before its rename.
QString ChunkJournalTemporaryPath(const QString& path);

// A writer whose record was taken over (see recordfiles.h) writes nothing
// more, but its last write (bytes at offset: see RiffChunkWriter::LastWrite)
// may have been under way at the take-over and landed after the reader put
// the files back. The writer mends that one file, the late-th of its
// record's members (in folder), by its record and plan (payload: the text
// it writes), and writes only where no other save may have written since:
// the record's other members tell whether one did (each at its old length
// with its old bytes: none), and so do the bytes of that file the save
// wrote (neither their old ones nor the save's: one did; in a take of one
// file, the only witness), each field and text judged whole, not only the
// span of it the record keeps.
// None did: the write is undone (its old bytes put back, a grown tail cut
// off). One did: a grown tail is cut back to the length the other members
// share, only where the file ends exactly where this write ended it and
// every byte cut is this write's; a header size or name this plan wrote is
// made to fit the file (see RiffChunkWriter::FitLateHeaders); a text or a
// field is left as it is. The samples are never touched.
struct tyLateWriteMend {
    QString czText;        // what was done, for the user; empty when nothing was written or left
    bool bMixed = false;   // the file keeps bytes of this write where a later save wrote: part of
                           // each, which no mend can bring to a whole state
};
tyLateWriteMend MendLateWrite(const QString& folder, const QList<tyChunkUndo>& members, int late,
                              const tyIxmlRewrite& plan, const QByteArray& payload, qint64 offset,
                              const QByteArray& bytes);

struct tyJournalRollBack {
    bool bFound = false;       // a record (or a torn temporary one) was there
    bool bRecord = false;      // the record itself was there
    RecordWriter eWriter = RecordWriter::Gone;   // not Gone: its writer may still run, nothing was done
    int nRestored = 0;         // files put back as they were
    QStringList lczMissing;    // files named by the record that no longer exist
    QStringList lczFailed;     // files that could not be put back: "name: why"
    QStringList lczChanged;    // of these, the files another program changed since the save
    QStringList lczUnproven;   // of these, the files grown past their old length, which a record of an
                               // earlier format cannot tell from another program's growth
    QStringList lczLeft;       // when none is put back: the files holding part of the save
    int nRemoveError = 0;      // the system's error number when the record's removal is not on the disk
    int nWriteError = 0;       // the system's error number when a file could not be opened or written to put
                               // it back (a write-protected card): the roll-back could not run
};
// Takes the record over first (moved to TakenOverRecordPath and read back
// there, so that its writer, held up past the age rule, finds it gone and
// writes nothing more), then puts back every file the record names (in the
// record's folder), syncs them, and removes the record, its folder synced.
// A record left under the take-over name (its reader killed) is settled
// first, where it stands. When the record does not
// fit one of the files (another program changed it since: it holds neither
// the old bytes nor the save's where the save wrote), none is touched and
// the record goes back under its name (its time as it was). A torn temporary record changed nothing and is just
// removed. Nothing is done while the writer of either may still be running
// (see RecordWriterMayLive), but by that writer itself: ownHead, when not
// empty, is its record's head (see tyChunkJournalWrite); a record under the
// name that begins with it is the caller's own, whatever its lock or age.
tyJournalRollBack RollBackChunkJournal(const QString& path, const QByteArray& ownHead = QByteArray());

#endif
