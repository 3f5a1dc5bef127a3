#ifndef NALVO_FOUNDATION_SAFEOUTPUT_H
#define NALVO_FOUNDATION_SAFEOUTPUT_H

#include <QFile>
#include <QString>
#include <QStringList>

#include <memory>

struct stat;

// A new file that appears under its final name complete or not at all.
//
// Begin() refuses before the first byte what cannot end well (a target that
// is a folder, an existing file the caller did not allow to replace, a
// planned length past the 32-bit RIFF limit, a volume known to be too small)
// and creates a unique hidden temporary file in the target folder. Every
// write is checked and bounded by the planned length. Close() flushes; the
// caller may then reopen TemporaryPath() for a
// metadata pass. Commit() renames the temporary file to the final name. Any
// other end (a failed write, a cancel, an early return, destruction without
// Commit) removes the temporary file, and a file that already had the final
// name stays as it was.
//
// A process killed while it writes cannot remove its temporary file, so the
// writer holds a lock on it from its creation to Commit() or Discard(); the
// lock dies with the process. Begin() removes the temporary files of its
// folder that no live writer holds (at most once every few seconds per
// folder), so a later run cleans up after a killed one. Only files of the
// temporary's own shape go, and none on a volume where no lock can be taken.
class SafeOutput
{
public:
    enum class Replace { Never, Existing };
    enum class Failure {
        None,
        TargetIsFolder,   // the final name is a folder: never replaced
        TargetExists,     // an existing file, and Replace::Never
        TooLarge,         // the planned length passes 0xFFFFFFFF
        NoRoom,           // the volume reports less free space than planned
        Create,           // the temporary file could not be created
        Write,            // a write failed, was short or passed the planned length
        Commit            // flush, sync or rename failed
    };

    // The largest file a 32-bit RIFF size field can describe.
    static constexpr qint64 kMaxLength = 0xFFFFFFFFLL;

    explicit SafeOutput(const QString& finalPath, Replace replace = Replace::Never);
    ~SafeOutput();
    SafeOutput(const SafeOutput&) = delete;
    SafeOutput& operator=(const SafeOutput&) = delete;

    // plannedLength: the most the file will hold, room for any later
    // metadata pass included. Free space comes from the platform's probe;
    // when it is unknown, the write checks decide.
    bool Begin(qint64 plannedLength);
    // Before Begin(): a plain file copy, not a RIFF file. No 32-bit limit,
    // and writes may pass the planned length (a source that grows while it
    // is copied); the planned length still meets the free-space check.
    void SetUnbounded() { m_bUnbounded = true; }
    // After Begin(): the file readable and writable by its owner and by
    // others besides the mode it was made with, as a recorder leaves its
    // files. A volume that keeps no modes (FAT) or refuses leaves the mode
    // as made: the file is whole all the same, so that is no failure
    // (logged only). False when the mode could not be set.
    bool OpenToOthers();
    bool WriteAt(qint64 offset, const char* data, qint64 size);
    // At the current position.
    bool Write(const char* data, qint64 size);
    // For an output that will be synced: every few MiB written are handed
    // to the disk at once (by a thread of the output's own, so the writes
    // never wait for it), so the disk works while the caller computes and
    // the final sync finds little left. Call before the writes.
    void SetEarlyWriteback(bool on) { m_bEarlyWriteback = on; }
    // Flushes and closes the temporary file. sync: Commit() puts it on the
    // disk (fsync) before it takes its name, and the folder entry after.
    bool Close(bool sync = false);
    // Renames the closed temporary file to the final name. False with
    // IsCommitted(): the file has its name, but its folder could not be
    // synced (a power cut may still undo the new name).
    bool Commit();
    // Removes the temporary file; the final name is not touched.
    void Discard();
    // Closes the temporary file and lets its lock go, leaving it where it
    // is: a record that names it settles it (see ReplaceJournal).
    void LeaveToRecord();

    // Removes the temporary files in folder whose writer is gone (their
    // lock is free); a live writer's are kept. Returns how many went.
    static int RemoveAbandoned(const QString& folder);
    // A name (as the system lists it) of a temporary file's shape; cheap
    // enough for every name of a listing.
    static bool IsTemporaryName(const char* name);

    // The open temporary file's descriptor (-1 when none), for a kernel-side
    // copy into it; writes made through it bypass the length checks.
    int Handle() const { return m_File.handle(); }
    QString FinalPath() const { return m_czFinalPath; }
    QString TemporaryPath() const { return m_czTempPath; }
    bool IsCommitted() const { return m_bCommitted; }
    Failure LastFailure() const { return m_eFailure; }
    QString ErrorText() const { return m_czError; }

private:
    bool Fail(Failure failure, const QString& text);
    bool RenameIntoPlace();
    void StartWriteback();
    void StopWriteback();
    bool CreateTemporary(const QString& stem);
    void ReleaseLock();

    QString m_czFinalPath;
    QString m_czTempPath;
    Replace m_eReplace;
    QFile m_File;                 // writes through m_nLockFd, never closes it
    int m_nLockFd = -1;           // the temporary file, locked until Commit or Discard
    qint64 m_nPlanned = 0;
    bool m_bSync = false;
    bool m_bEarlyWriteback = false;
    qint64 m_nWrittenBack = 0;    // bytes from the start already handed to the writeback thread
    struct tyWriteback;
    std::unique_ptr<tyWriteback> m_pWriteback;   // started by the first stretch, stopped before the file closes
    bool m_bUnbounded = false;
    bool m_bCommitted = false;
    Failure m_eFailure = Failure::None;
    QString m_czError;
};

// Gives the file at path the bytes whole, as one SafeOutput: written to a
// temporary beside it, read back, synced, renamed over the file (a missing
// one is created). A file that holds the bytes already, as read at the
// call, is not written. Empty on success; else the reason, for the user's
// message, and the file keeps what it held, unless *replaced says the new
// bytes took its name but their folder could not be synced. replace Never:
// a file that has the name by the rename is kept, and the write fails.
QString ReplaceFileWhole(const QString& path, const QByteArray& bytes, bool* replaced = nullptr,
                         SafeOutput::Replace replace = SafeOutput::Replace::Existing);

// Removes what killed writers left in a folder (see SafeOutput) as the
// folder is visited, so the next listing or load of a folder cleans up after
// a killed copy into it. A listing offers the names it reads, which costs a
// look at each name's first bytes; a visit that lists nothing reads the
// folder only when it changed since its last sweep, or when a temporary
// that sweep left to its live writer has lost the writer since. On a
// volume without locks no writer is told live or gone: nothing is removed.
// The clock probes a killed judge of records left (see ShareClockAge) go
// too, by age: a probe that sweep found younger than kRecordLiveSeconds
// has the folder read again once that time has passed.
class FolderSweep
{
public:
    // Before the folder is listed: its time then, for Finish().
    explicit FolderSweep(const QString& folder);
    // A name as listed.
    void Offer(const char* name)
    {
        if (name[0] == '.')
            OfferHidden(name);
    }
    // Removes the offered temporaries no live writer holds, the left
    // clock probes and the copies of ours a FUSE volume kept (see
    // RemoveLeftHiddenCopy) or a killed removal left aside, and counts the folder swept as of its time before the
    // listing. Returns how many went.
    // The records of killed commits (see ReplaceJournal) are settled
    // first, as they may still need their temporaries; a folder whose
    // record stays (a live commit's) is not swept. The caller holds no
    // lock of the folder (see TakeFolderLock).
    int Finish();
    // A visit without a listing of its own; the same conditions.
    static int Visit(const QString& folder);
    // Whether a visit would read the folder, judged from its status as the
    // caller read it (through a descriptor it holds): one look at the
    // folder serves both.
    static bool Needed(const QString& folder, const struct stat& status);

private:
    void OfferHidden(const char* name);

    QString m_czFolder;
    qint64 m_nChanged = -1;   // the folder's time before the listing, ns; -1 unknown
    qint64 m_nListed = 0;     // when the listing began, ns
    QStringList m_lczRecords;   // commit records listed
    QStringList m_lczFound;
    QStringList m_lczProbes;    // clock probes listed, the copies a FUSE volume kept as ".fuse_hidden",
                                // and the records a killed removal left aside (RemovalAsideName)
};

#endif
