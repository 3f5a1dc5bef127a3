#ifndef NALVO_FOUNDATION_PLATFORM_FILELOCKS_H
#define NALVO_FOUNDATION_PLATFORM_FILELOCKS_H

// Every lock of the system's this program takes, each of the style its use
// needs (the reasons are with each). All are tried once and never waited
// for inside the system: a volume whose lock server does not answer at once
// must not hang a load or a write; callers that wait ask again.
//
// Each belongs to an open file description, not to the process: it goes
// with the last descriptor of that description (and with a killed
// process), and two descriptions in one process exclude each other as two
// processes do.

#include <QtGlobal>

enum class LockTry {
    Held,
    Busy,          // another description holds it
    Unsupported,   // the volume takes no such lock (some network shares, FUSE volumes)
};

// A take folder's lock (see TakeFolderLock): flock on the folder's
// descriptor, shared or alone. A folder opens only for reading, and a flock
// is the one lock such a descriptor takes alone (a record lock alone needs
// one open for writing). A server that enforces it (an SMB client turns it
// into a lock of the whole file) denies nobody anything: no one writes a
// folder's bytes.
LockTry TryFolderLock(int folderDescriptor, bool alone);
void UnlockFolder(int folderDescriptor);

// The turn of a waiting writer of a folder (see TakeFolderLock): a read
// lock of one byte of the folder, a second lock on the same description
// beside the flock, which a read-only descriptor allows. Claiming it on a
// volume without such locks does nothing.
void ClaimFolderTurn(int folderDescriptor);
// Another description holds the turn; false where the volume cannot tell.
bool FolderTurnClaimed(int folderDescriptor);

// A load's mark while it shares a folder (see TakeFolderLock): a read lock
// of one byte of the folder's own, picked at random among 2^40 so that two
// loads' marks rarely meet, beside the flock on the same description. The
// load moves it to another byte as it goes on, so a waiting writer tells by
// the marks that the loads it waits for are not stuck. Takes a new mark and
// lets go of the previous one (-1: none); returns the mark held then (the
// previous one when no new one could be taken). Marking on a volume without
// such locks does nothing.
qint64 MarkFolderShare(int folderDescriptor, qint64 previous);
// The byte of a load's mark another description holds on the folder:
// watched while it is held, else any held one; -1 when none is, or where
// the volume cannot tell.
qint64 HeldShareMark(int folderDescriptor, qint64 watched);

// The lock a writer of a temporary file holds until the file has its name
// or is gone (see SafeOutput): writer true for the writer's own (its
// descriptor is open for writing), false for a sweep's try, which any
// writer's refuses. One byte far past any data a file can hold. Not flock:
// on SMB volumes the client turns a flock into a byte-range lock of the
// whole file that the server enforces, so the metadata pass's second handle
// on the temporary file could not write it. A shared lock would not help
// there (it denies writes to every handle, the locker's own included), and
// letting the lock go before the second open would leave a live file
// unlocked for another program's sweep. A lock on a byte no write reaches
// is harmless where locks are enforced.
LockTry TryTemporaryLock(int fileDescriptor, bool writer);

// The lock of a record a write leaves beside a take while it runs (a
// replacement's or renames' ".nalvo-commit", a save's ".nalvo-save" from
// its temporary name on), held by its writer from its creation to its
// removal; taken by whoever judges a record (see RecordWriterMayLive):
// flock alone. A record is read and written only
// through the descriptor that holds it, so a lock the server enforces
// denies no one a write they need, and a judge's descriptor may be opened
// for reading only.
LockTry TryRecordLock(int recordDescriptor);

// Whether the locks of the volume that holds the open file or folder reach
// every computer that can write it, so that a lock granted here proves that
// no holder anywhere has it. Yes for local disks and cards (ext2/3/4, XFS,
// Btrfs, tmpfs, F2FS, FAT, exFAT, NTFS, overlays of them) and for FUSE
// volumes over a block device of this computer (exfat-fuse's "fuseblk"):
// one kernel keeps every lock of them. No for plain FUSE volumes (sshfs and
// other pass-throughs: "fuse" or "fuse.*" in the mount table) and network
// file systems (NFS, SMB, 9p, ...), and for a volume it cannot tell: those
// keep each computer's locks (or a server's idea of them) apart, so a lock
// held through another computer's mount may be granted here. FUSE and
// fuseblk share one magic number; the mount table tells them apart.
bool LocksReachEveryWriter(int descriptor);

#endif
