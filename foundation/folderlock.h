#ifndef NALVO_FOUNDATION_FOLDERLOCK_H
#define NALVO_FOUNDATION_FOLDERLOCK_H

#include <QString>
#include <QStringList>
#include <QtGlobal>

#include <sys/stat.h>
#include <vector>

// One folder, whatever path reaches it (a link to it, a bind mount, a second
// mount of its volume): its device and file number, where the volume keeps
// them; else its path with every link resolved. The one rule that tells
// folders apart for their locks (a thread must not hold two of one folder,
// see TakeFolderLock) and orders them: a writer that holds several folders
// takes their locks in this order (see FoldersInLockOrder), so two writers
// never each hold one the other waits for.
struct tyFolderIdentity {
    quint64 nDevice = 0;
    quint64 nInode = 0;    // 0: the volume keeps none, or the folder could not be read
    QString czResolved;    // the path with its links resolved, when nInode is 0
    bool operator<(const tyFolderIdentity& other) const;
    bool operator==(const tyFolderIdentity& other) const;
};
// Of a folder (its path) whose status was read (stat or fstat of it).
tyFolderIdentity FolderIdentityOf(const struct stat& status, const QString& folder);
// Of the folder at path, read now; one that cannot be read is its path.
tyFolderIdentity FolderIdentity(const QString& folder);
// The folders (each path once) grouped by identity, in lock order: lock
// the first path of each group, one lock per group.
std::vector<QStringList> FoldersInLockOrder(const QStringList& folders);

// Orders the writes and loads of the takes in one folder, between the
// threads of this program and between programs: a save, or the renames that
// put a take's new files in place, hold the folder's lock alone for their
// whole length (record written, files changed, record gone), a load shares
// it while it reads the files. So a load never reads a take half written,
// never takes the record of a running write for one a killed write left,
// and two writes never interleave.
// The lock belongs to this object's own descriptor of the folder (a lock of
// the system's that goes with the descriptor), so a killed holder leaves no
// lock behind, and two objects in one process exclude each other as two
// processes do: one thread must never hold two of them on one folder. An
// object is taken and let go on one thread.
//
// A writer gets its turn: loads come one after the other on up to six
// threads, and a lock shared by one of them at every moment would keep a
// writer out for good. So a writer first says that it waits, and a load
// that starts while one waits or writes holds back until it is done: the
// writer waits only for the loads already running. Within this program the
// writers are counted per folder; between programs a waiting writer holds a
// read lock on one byte of the folder (a second lock of the system's on the
// same descriptor, one a read-only folder allows). A load asks about both
// once it shares the folder and gives its share back while either stands:
// a writer's lock excludes it all the same, and what the load reads of the
// folder then is as the lock keeps it. Neither leaves a file on the card,
// and both go with the writer's descriptor. A writer never waits for a load while
// holding what that load waits for: a load that finds it must write (a
// record a killed save left) lets go of its share before it asks for the
// folder alone.
//
// It is never waited for without bound, but for a writer of this program:
// whoever cannot take it at once asks again for a few seconds, then gives
// up. A writer that waits for loads counts those seconds from the last time
// one of them went on: each load marks its share and moves the mark at every
// file it reads (a lock of the system's, see MarkFolderShare), so loads on a
// slow card or a busy computer that keep reading are waited for, and no new
// load starts meanwhile; a load that reads nothing for the whole wait is
// taken for stuck, and the writer gives up as before. A thread that holds
// none of these locks waits for a writer of this program as long as that
// writer holds the folder: the writer is running,
// not killed, and a group save may outlast the wait, after which the user
// expects the saved take, not a refusal; and a thread that holds nothing is
// part of no circle of waits. A volume without such locks (some network
// shares) is used without them, as it always was, and a share mounted by
// two computers may keep each one's folder locks to itself (sshfs and other
// FUSE pass-throughs, network shares: see LocksReachEveryWriter), so a
// grant excludes only this computer's writers there: a writer's record,
// made only where none stands, keeps the other writers out, and a record
// found under the lock is judged by its age as well as by its own lock
// (see RecordWriterMayLive in recordfiles.h). The lock's style, and why, is with
// TryFolderLock.
class TakeFolderLock
{
public:
    enum class Mode { Shared, Alone };
    TakeFolderLock() = default;
    ~TakeFolderLock();
    TakeFolderLock(const TakeFolderLock&) = delete;
    TakeFolderLock& operator=(const TakeFolderLock&) = delete;

    // The lock of the folder (its path ends with '/'), in place of any held
    // before. False only when another holder kept it for the whole wait.
    bool Acquire(const QString& folder, Mode mode);
    void Release();
    // The folder's open descriptor while one is held, else -1.
    int Descriptor() const { return m_nHandle; }
    // While a shared lock is held: the folder's status (identity, times)
    // read through the descriptor once the share was granted, so it tells
    // the folder as no writer of ours can change it until Release(). Null
    // otherwise: held alone, or no lock.
    const struct stat* HeldStatus() const { return m_bStatusHeld ? &m_Status : nullptr; }
    // While a shared lock is held: tells a writer that waits for it that
    // this load goes on (a file of it read), at most a few times a second,
    // as the writer's wait is seconds long. Nothing otherwise.
    void TellProgress();

private:
    // This object as a writer of this program's count for its folder.
    enum class Writer { None, Waiting, Holding };
    void SetWriter(Writer writer);
    // Sets the share's mark anew (on a byte of its own), as of nowMs.
    void MoveShareMark(qint64 nowMs);

    int m_nHandle = -1;
    tyFolderIdentity m_Identity;   // set once the descriptor's status is read
    Writer m_eWriter = Writer::None;
    qint64 m_nShareMark = -1;   // while shared: the byte of its mark (MarkFolderShare), -1 none
    qint64 m_nMarkedAtMs = 0;   // when it was set, on the monotonic clock
    struct stat m_Status = {};
    bool m_bStatusHeld = false;   // m_Status was read under the share now held
    bool m_bCountedByThread = false;   // in its thread's count of held locks
};

#endif
