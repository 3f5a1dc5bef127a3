#ifndef NALVO_FOUNDATION_RECORDFILES_H
#define NALVO_FOUNDATION_RECORDFILES_H

// ============================================================================
// The records a write leaves beside a take while it runs
// ============================================================================
//
// Two writes change a take's files in place of the user and must survive a
// kill, a power cut and a second writer (another window, another program,
// another computer on a shared folder). Each first puts a small record on
// the disk that says how to finish or take back what it is about to do, and
// removes it once the files are whole. Whoever finds a record whose writer
// is gone settles it before reading the take.
//
// 1. The save record, ".<take>.nalvo-save" (soundfile/chunkjournal.cpp,
//    take/savetransaction.cpp SaveTransaction): the old bytes of every
//    header region a save of the take's metadata rewrites, per member.
//    Binary, written under ".<take>.nalvo-save~", synced, renamed to its
//    name (RenameNoReplace), the folder synced; a QDataStream of fixed
//    version (kRecordStreamVersion) closed by a 64-bit checksum:
//      "NALVO-SAVE-JOURNAL\0", quint32 version, [version >= 4: QByteArray
//      writer token], quint32 members, per member: file name, old length,
//      new length, regions (offset, old bytes), [>= 2: hashes of the
//      save's bytes per region], [>= 3: hashes of the save's tail].
//    Versions: 1 the old bytes only; 2 the hashes of what the save writes in
//    each region, so that a later edit by another program is told from the
//    save's own bytes; 3 the hashes of what a growing save writes past the
//    old length; 4 the writer token (below). Every version is still read
//    and rolled back: a card may carry a record of any of them.
//    States and the function that makes each move:
//      none -> temporary      WriteChunkJournals (CreateRecordFile)
//      temporary -> named     WriteChunkJournals (RenameNoReplace, synced)
//      named -> files change  SaveTransaction::ReserveAndCommit: every write
//                             of a member's reserve and commit after the
//                             writer's check (RecordNameNow, passed to
//                             RiffChunkWriter as its WriteCheck)
//      named -> none          RemoveChunkJournal (RemoveRecordIfOwn: moved
//                             to a name of its own, read there, removed):
//                             saved; a removal refused with every file
//                             holding the save whole and the record off its
//                             name: saved (I3)
//      another's -> stopped   SaveTransaction::StopTakenOver: the writer met
//                             its record gone or another's (I2)
//      named -> taken over    RollBackChunkJournal (TakeOverRecord), by the
//                             writer (Undo) or by whoever finds it
//                             abandoned: moved in one step to
//                             ".<take>.nalvo-save.taken" (RenameNoReplace,
//                             TakenOverRecordPath), which no writer uses,
//                             and read back there as judged; only then
//                             does a member change. A volume that refuses
//                             the move settles in place only a record no
//                             writer can go on with (its own, or one whose
//                             lock proved its writer gone)
//      taken over -> none     RollBackChunkJournal: every member put back,
//                             then the record removed; one whose members
//                             could not be touched goes back to its name;
//                             one a killed reader left is judged and
//                             settled where it stands (two readers only
//                             put the same old bytes back)
//      temporary -> none      RollBackChunkJournal (a torn one changed
//                             nothing), or its writer on a failure
//    The save follows each take's record through these states
//    (SaveTransaction::TakeState), and makes only these moves.
//
// 2. The rename record, ".<take>.nalvo-commit" (foundation/replacejournal.cpp,
//    ReplaceJournal, used by Apply's renames and by the replacement of a
//    take's files): text lines, made in place (CreateRecordFile) and synced
//    before the first rename:
//      "nalvo-commit", [the writer token line "W\t<hex>"], then "E" (a
//      replacement), "M" (a move), "T" (a twin copy), "R" (a retired file)
//      lines, "end" once complete, "back" once its writer takes all back.
//    Versions: without the token line (earlier writers); with it. A reader
//    passes over lines it does not know, so both read alike.
//    States: none -> written (ReplaceJournal::Begin/BeginRenames) ->
//    [back (MarkRollBack)] -> none (ReplaceJournal::End: RemoveRecordIfOwn,
//    which empties it once it reads as its own), or taken over by a reader
//    (SettleReplacement: moved to its take-over name and read back there,
//    as a save's record, before any file moves; its writer's End then
//    meets ESTALE) -> settled -> none. A take-over a killed reader left is
//    found beside the record's name and settled where it stands.
//    A move of a take's file through a hard link (a volume without the
//    atomic rename) removes the old name only while the record is its
//    writer's, asked at that removal (RenameNoReplace with stillOwn); a
//    settle that finds a file under both names takes the moves back and
//    removes the new one only as a second name of it (RemoveSecondName),
//    and a name a killed move left aside (RemovalAsideName) goes back to the
//    file's settled name, or goes where another name holds the file.
//
// The writer token. A writer knows its record by what it wrote into it:
// a random token read back through the record's name (RecordNameIsOwn),
// never by a file number. A volume that renames through a link and an
// unlink (no atomic rename that replaces nothing, see RenameNoReplace), or
// that numbers files anew (FUSE pass-throughs, network shares), gives the
// named record another number than the writer's descriptor, or answers
// ESTALE for it; the bytes stay the writer's.
//
// Removal. A record is removed only as what it holds at the removal: moved
// first to a name only its remover uses, read there, and removed there or
// put back (RemoveRecordIfOwn through RemoveNameAsChecked, see
// platform/nameremoval.h), never removed after a look at its name. A
// remover killed in between leaves the record under that hidden name: its
// writer, meeting its record gone at a check or its removal, puts it back
// and goes on (PutBackOwnRecord); a load's sweep of the folder puts back one
// whose writer is gone, unless the save it describes stands whole in every
// file, or it belongs to no take (then it goes; see RemoveLeftHiddenCopy).
// A record (and a clock probe, below) is removed while its remover
// still holds it open, and closed after: a FUSE volume (sshfs, exfat-fuse)
// keeps a file removed while open as a ".fuse_hidden" one until the last
// close and removes that with it, where a removal after the close may meet
// that close still under way on the volume and keep the copy for good. A
// copy kept anyway (by another program's way) goes at a load's sweep of the
// folder, only where it is provably ours and no writer holds it
// (RemoveLeftHiddenCopy).
//
// Liveness. A record is its writer's while the writer lives. Where locks
// reach every writer (LocksReachEveryWriter: local disks and cards, FUSE
// volumes over a block device), the record's lock says so
// (JudgeRecordWriter): a lock granted proves its writer gone. A volume
// whose locks stay with each computer (sshfs and other FUSE pass-throughs,
// network shares) may grant a lock another computer's writer holds through
// its own mount: there a lock granted proves nothing and the age rule
// below decides, as on a volume without locks; a lock refused still means
// a running writer. The age is measured by the share's own clock: the time
// of a probe file written there now against the record's time
// (ShareClockAge), never this computer's clock against the share's file
// times, which may run apart. A record older than kRecordLiveSeconds is a
// killed writer's, so a killed save's take is free again within that time,
// as the user is told.
//
// The gap. A writer held up past that time (a stopped process, a sleeping
// laptop) meets the take-over at its next check, which comes before every
// single write of a member, and writes nothing more. Only a writer held up
// between a check and the write that follows it (a few microseconds) lands
// that one write of one member after the take-over: a size it raises may
// then reach past the file's end, a growth past the other members' length,
// or part of its text stand in the old chunk. Its next check finds the
// record taken, and the writer mends that member before it stops
// (MendLateWrite), once the reader's take-over record is gone: where no
// other save wrote the take since (every other member holds its old
// bytes, and so does every field and text of its own member that the save
// wrote, each judged whole: in a take of one file, the only witness), the
// write is undone and the member is as the reader left it;
// written by another save since, it writes only its own bytes: a growth
// cut back to the other members' length where every byte cut is its own,
// the header fields of its own that no longer fit the file made to fit.
// Its text or a bext field landed over another save's stays: that member
// then holds part of each, which no mend can undo, and the writer marks
// the take so (3. below), so that no computer shows it whole silently (a
// writer killed at that moment leaves its write as it landed). The writes
// of one member are ordered so that every prefix of them leaves sizes
// within the file (see riffwriter.h), so a kill at any write leaves
// nothing worse than what the record puts back.
//
// 3. The mark of a take holding two saves, ".<take>.nalvo-save.mixed"
//    (take/mixedmark.cpp): text lines, "nalvo-mixed", the file name of each
//    member holding part of a stopped save among a later one's bytes, then
//    a line "<part>/<file name>" for each part of it mixed: "bext" (its
//    description) or "ixml". No record of a write under way: nothing
//    settles it, and nothing is put back from it.
//    Versions: without the part lines (earlier writers: every part of each
//    member named); with them. A file name holds no '/': a reader of the
//    earlier format passes over the part lines and still names the members.
//    States: none -> marked (SaveTransaction::MendLastWrite, MarkTakeMixed:
//    written whole under a temporary name, synced, renamed over the one
//    there with its names kept) -> fewer parts -> none
//    (SaveTransaction::Finish, ClearTakeMixed: a save ended, its record
//    removed, that rewrote whole the parts named, not one whose edits fill
//    only some fields). A rename of the take writes it under the new name
//    before the first file moves and removes the old one once all moved
//    (TakeRename, CarryTakeMixedMark).
//    Every load that finds it tells the take's files as mixed, naming the
//    members and their parts, and reads the take as its files hold it. The
//    mark is read from the volume itself: a share's mount may still list
//    one another computer removed, which is not told.
//
// Invariants, checked at each move (Q_ASSERT in debug builds where the
// check is cheap: I1, I3 and the writer's side of I2 in SaveTransaction::Move,
// against the state of each take's save, and before every write of a
// member; I5 in TakeFolderLock::Acquire; I2 and I4 are the checks the moves
// make themselves):
//  I1 No member of a take changes unless its save record is on the disk
//     under its own name and holds this writer's token.
//  I2 A writer whose record no longer holds its token (taken over by a
//     loader that judged it abandoned: a writer stalled past
//     kRecordLiveSeconds on a volume without locks) writes nothing more
//     (but the mend of its last write, see the gap) and reports what the
//     disk holds; it never reports "saved".
//  I3 A save is reported saved only once its record is gone from the disk
//     by its own removal (RemoveRecordIfOwn answered 0), or, that removal
//     refused, once every file holds the save whole and the record is no
//     longer under its name (gone, or under its removal's hidden name, which
//     the next load removes as a whole save's: SaveTransaction::
//     RecordNotRemoved); ESTALE alone is never a success.
//  I4 A reader settles a record only with the folder held alone and the
//     record judged Gone; it removes the record only while the name still
//     holds the bytes it read.
//  I5 A thread holds at most one lock of one folder, by identity (device
//     and file number of the folder) — see TakeFolderLock.

#include <QByteArray>
#include <QDataStream>
#include <QString>
#include <QStringList>

#include <functional>

// The first bytes of each record, as written (a save record's magic is
// followed by its NUL).
constexpr char kSaveRecordMagic[] = "NALVO-SAVE-JOURNAL";
constexpr char kRenameRecordHeader[] = "nalvo-commit";
constexpr char kMixedMarkHeader[] = "nalvo-mixed";

// The QDataStream version of the binary records, fixed: the stream's
// default follows the Qt the program is built with.
constexpr int kRecordStreamVersion = QDataStream::Qt_5_15;

// A new writer token: random bytes, as a record stores them.
QByteArray NewRecordToken();

// "Create exclusively, lock, check it is still linked" (records and the
// temporary files of SafeOutput alike): makes the file at
// the name nameFor(attempt) gives, only where none is (O_EXCL, never through
// a link), then takes its lock (lock, see filelocks.h), then checks it still
// has a name: a judge that met the empty file before the lock took it for a
// killed writer's and may have removed it, and the file is made again. When
// the name is taken, nameTaken(name) decides: true to try again (it removed
// an abandoned one, or the next name differs), false to give up (EBUSY).
// A refusal (EPERM) of a name free at the look after it is taken for a
// name taken and released (sshfs), and the name made again; only a second
// one is reported. A lock the volume does not keep is no refusal. The descriptor (read and
// write), or -1 with *error set; *made the name used.
enum class RecordLockKind { Record, Temporary };
int CreateRecordFile(const std::function<QString(int attempt)>& nameFor, RecordLockKind lock,
                     const std::function<bool(const QString& name)>& nameTaken, QString* made, int* error,
                     int mode = 0644);

// The open descriptor and the path (not followed through a link) name one
// file, which still has a name: by file number, so only a shortcut, never
// a proof of whose file a name holds (see RecordNameIsOwn).
bool DescriptorNamedBy(int descriptor, const QString& path);
// The bytes of an open record from its start; empty when unreadable or
// larger than any record (kMostRecordBytes).
constexpr qint64 kMostRecordBytes = 256 * 1024 * 1024;
QByteArray ReadRecordBytes(int descriptor);

// "This name still names my record": the file at path (not a link) begins
// with the bytes begins (a writer's: the head of its record, token
// included) or, with whole, holds exactly them (a reader's: the record as
// it read it). descriptor, when not -1, is the caller's own open record.
// On a volume of this computer's alone (LocksReachEveryWriter) a name that
// names that very file is the caller's without a read. Elsewhere the name
// is read, since such a volume may answer a removed or renamed name from
// its cache (sshfs); only a read the server refuses because it enforces the
// record's lock held through descriptor against every other handle (SMB)
// lets the file number count there.
enum class RecordName { Own, Other, Gone, Unreadable };
RecordName RecordNameIsOwn(const QString& path, const QByteArray& begins, bool whole = false, int descriptor = -1,
                           int* error = nullptr);
// "Remove it if it is still mine": 0 when removed, ESTALE when the name
// holds another's record or none, else the system's error number. Checked
// at the removal itself: the record is first moved to a name only this call
// uses (RemovalAsideName) and read there; one not this caller's goes back
// under its name (never over a record made there since), so that a caller
// held up between its last check and the removal never removes another's.
// empty: once known as the caller's, the record is emptied through
// descriptor before it goes, so that one left standing (a removal or a
// move refused) names nothing to its next reader.
int RemoveRecordIfOwn(const QString& path, const QByteArray& begins, bool whole = false, int descriptor = -1,
                      bool empty = false);

// The caller's record (as RecordNameIsOwn tells it) that another removal
// moved aside (RemoveNameAsChecked) and left there, killed or held: put
// back under path where that is free. What path holds then; *aside, when
// given: the record stays under such a name, its put-back refused. held,
// when given, the caller's open record: closed for the move, and opened
// and locked again (-1 when it cannot be).
RecordName PutBackOwnRecord(const QString& path, const QByteArray& begins, bool whole = false, int* held = nullptr,
                            bool* aside = nullptr);

// Whether the save a save record describes stands whole in its take's
// files (record: its bytes; folder: where they lie), so that nothing is
// left for it to undo: asked of a record a killed removal left aside (see
// RemoveLeftHiddenCopy), and set by the layer that reads takes
// (take/takesavejournal.cpp). Unset: never whole, and the record goes back
// under its name for its take's next load to settle.
using SaveWholeJudge = bool (*)(const QString& folder, const QByteArray& record);
void SetSaveWholeJudge(SaveWholeJudge judge);

// The name a reader moves a record at path to before it settles it (a
// save's, see RollBackChunkJournal; a replacement's or renames', see
// SettleReplacement): no writer makes or checks it, so the writer's next
// check finds its record gone. One a killed reader left is found beside
// the record's own name and settled as a record.
QString TakenOverRecordPath(const QString& path);

// The one rule for the records writes leave beside a take (a save's
// ".nalvo-save", a replacement's or renames' ".nalvo-commit", each copy of
// a rename's record), asked of a record's open descriptor by a caller
// holding the take folder's lock alone: every writer of ours holds that
// lock for as long as its record lives, and every writer also locks its
// record (a save's from its temporary name on, see TryRecordLock), so a
// record that can be locked now was left by a killed writer, where locks
// reach every writer (LocksReachEveryWriter: local disks and cards). A
// volume whose locks stay with each computer (sshfs, network shares) may
// grant a lock another computer's writer holds: there, as on a volume
// without locks, nothing tells a killed writer from a running one but
// time (a lock refused still tells a running one): a record changed in the last
// kRecordLiveSeconds (longer than any save or commit of a take takes) by
// the clock of the volume itself (see ShareClockAge below:
// recordPath's folder is asked) is taken for a live one. A record found
// abandoned stays locked through recordDescriptor while the caller settles
// it.
enum class RecordWriter {
    Gone,      // killed or ended: the record is the caller's to settle
    Running,   // its writer holds its lock
    Recent,    // no locks on this volume, and it changed a moment ago
};
constexpr int kRecordLiveSeconds = 30;
RecordWriter JudgeRecordWriter(int recordDescriptor, const QString& recordPath);
bool RecordWriterMayLive(int recordDescriptor, const QString& recordPath);

// The age in seconds of the file open as descriptor in folder, by the
// folder's own clock: a probe written there now against the file's time.
// When no probe can be written (a read-only folder), by this computer's
// clock. Negative: the file's time is ahead of the probe's.
double ShareClockAge(int descriptor, const QString& folder);
// A name (as the system lists it) of ShareClockAge's probe: ".nalvo-clock-"
// and 16 lowercase hexadecimal digits, nothing else.
bool IsClockProbeName(const char* name);
// The probe name in folder, left by a kill while it was written: removed
// once older than kRecordLiveSeconds by the share's clock (one a judge
// writes now is younger, and gone in a moment).
enum class ClockProbe { Removed, Kept, Gone };
ClockProbe RemoveLeftClockProbe(const QString& folder, const QString& name);

// A name (as the system lists it) a FUSE volume (sshfs, exfat-fuse) gives
// a file removed while still open, until its last close: ".fuse_hidden"
// and hexadecimal digits.
bool IsFuseHiddenName(const char* name);
// Such a file in folder that its volume kept for good (a removal that met
// the last close still under way), removed where it is provably a copy of
// ours and no writer holds it: it begins as one of the records above or is
// a clock probe's one byte, and no lock holds it where locks reach every
// writer, else it is older than kRecordLiveSeconds by the share's clock.
// Any other stays: a user's file some program may still hold open. A file
// a removal killed before it ended left under its removal's name
// (RemoveNameAsChecked), once its remover is gone: a save record whose
// save stands whole (SetSaveWholeJudge), a record of no take any more, an
// emptied one, or a second name of a file goes; any other goes back under
// its name where that is free (a record to be settled by its take's next
// load, a member's only name), else stays. The answers of
// RemoveLeftClockProbe.
ClockProbe RemoveLeftHiddenCopy(const QString& folder, const QString& name);
// The save record at path that killed removals left under their hidden
// names, each settled as RemoveLeftHiddenCopy settles it, by a load (or a
// save) holding the take's folder alone before it reads the take:
// the most that stands, in this order: None (nothing, or a save that
// stands whole), PutBack (back under path, to be settled there as any
// record left), Stays (its writer gone, it cannot go back: its name
// taken), Live (its writer may live, its save not whole: the files may be
// torn, and the take must not be read now).
enum class RecordAside { None, PutBack, Stays, Live };
RecordAside SettleRecordAsides(const QString& path);

// The texts a user sees for a record's outcome, one place for each; the
// busy ones say what was not done and when to try again.
namespace RecordTexts {
// A save refused: another writer holds the take (its record is live).
QString Busy(const QString& take);
// A load that meets a live record on a volume without locks.
QString BusyOrInterrupted(const QString& take, int seconds);
// A load that could not share the folder for the whole wait.
QString NotRead(const QString& take);
// A replacement of a take's files refused for a live save record.
QString NotReplaced(const QString& take);
// A folder held by another writer for the whole wait (path: what waits);
// notDone, when given, says what was not done for it.
QString FolderBusy(const QString& path, const QString& notDone = QString());
// A record of renames or a replacement live under the take's name.
QString WriteInProgress();
// The renames of a take's files refused: its folder is held.
QString RenameBusy();
// A save whose record was taken over or removed by another program before
// it ended; disk: what its files hold now.
QString TakenOver(const QString& take, const QString& disk);
// A take whose files hold parts of two saves (files: those holding part of
// a stopped save, the others a later one), told at every load.
QString TakeMixed(const QStringList& files);
// A save whose record could not be removed (error text): the save undone,
// or, where its files could not all be put back yet, not finished.
QString NotRemoved(const QString& path, const QString& why, bool undone);
// A save whose own removal of its record failed (why) and left it under
// that removal's hidden name, its put-back refused too (a card pulled):
// the next load puts it back and undoes the save; disk: what the files
// hold.
QString RecordLeftAside(const QString& path, const QString& why, const QString& disk);
// The same where every file holds the save whole: saved, the record
// removed by the next load.
QString SavedRecordAside(const QString& path, const QString& why);
// A save whose record could not be read back to tell it is still its own:
// undone, or not finished, as for NotRemoved.
QString NotReadBack(const QString& path, const QString& why, bool undone);
// A save whose record could not be written (why: the system's text).
QString SaveRecordNotWritten(const QString& why);
// A save that could not be put back from its record: the record taken
// over meanwhile (disk: what its files hold now), its files changed by
// another program, or left for the next load (files: "name: why" each).
QString NotPutBackTakenOver(const QString& disk);
QString NotPutBackChanged(const QStringList& files);
QString PutBackAtNextLoad(const QStringList& files);
// What a stopped save's files hold against its record: all as before, or
// of count files partly this save's, before as before it, other changed.
QString FilesAsBefore();
QString FilesMixed(int count, int partly, int before, int other);
// A save whose record's removal could not be synced (why): saved, but a
// power cut brings the record back.
QString RemovalNotOnCard(const QString& why);

// The record a killed save left beside a take (told with the take's path):
// put back; not undone, its files changed since by another program (files:
// "name: why" each; left: those holding part of that save); not undone for
// another reason; put back with its removal not on the disk.
QString LeftSaveUndone();
QString LeftSaveChanged(const QStringList& files, const QStringList& left);
QString LeftSaveNotUndone(const QStringList& files);
QString LeftSaveNotRemovedForGood(const QString& why);
// A killed save's record left under a removal's hidden name that cannot go
// back under its own (another record holds it): not undone.
QString LeftSaveAside();
// A take whose files do not read whole while the record of an interrupted
// save of it stays (not applied): its files hold parts of that save, which
// no recorder left so.
QString LeftSaveTorn(const QString& take);
// Refusals of a load (load) or a save of take for a left save: its
// roll-back could not write (error: the system's error number); a record of
// an earlier format that cannot be applied safely; its record could not be
// removed (a save); a replacement of its files refused for one that stays.
QString LeftSaveBlocked(const QString& take, int error, bool load);
QString LeftSaveUnproven(const QString& take, bool load);
QString LeftSaveNotRemoved(const QString& take, const QString& why);
QString LeftSaveNotReplaced(const QString& take);

// The record of renames or a replacement (job: what it does): it could not
// be written (why); it stays for the next load (told after a failed step
// whose record could not be removed nor marked for taking back); a load
// refused on a
// write-protected card where one waits; one that could not be finished or
// undone (told with the take's path; or in a line of its own); one this
// writer found taken over by another program or computer; files its
// writer could not put back (their names).
QString ReplaceRecordNotWritten(const QString& job, const QString& why);
QString ReplaceRecordStays(const QString& job);
// The same where nothing is left for the next load to do: its files are as
// they were, and the record goes; and where the files may hold part of the
// job meanwhile.
QString ReplaceRecordStaysEmpty(const QString& job);
QString ReplaceStoppedHalfway(const QString& job);
// text ending in one full stop, for a sentence that follows it.
QString Sentence(const QString& text);
QString RenamesWaitWriteProtected(const QString& take);
QString WriteNotFinished();
QString WriteNotSettled();
QString WriteTakenOver();
// The head of WriteTakenOver, for a writer that tells what its files hold.
QString SettledElsewhere();
QString NotAllPutBack(const QStringList& files);
}

#endif
