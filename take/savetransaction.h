#ifndef NALVO_TAKE_SAVETRANSACTION_H
#define NALVO_TAKE_SAVETRANSACTION_H

#include "foundation/recordfiles.h"
#include "soundfile/chunkjournal.h"
#include "soundfile/riffwriter.h"
#include "take/soundperform.h"

#include <QByteArray>
#include <QHash>
#include <QList>
#include <QString>
#include <QVector>

#include <functional>
#include <map>
#include <memory>
#include <vector>

class FolderNameProbe;
class TakeFolderLock;

// A batch of takes (see SaveBatch) saved side by side. Each take is one
// transaction over its files: plan every member's final layout so that all
// end at one length, record what undoes the save (synced) before the first byte
// changes, reserve every member's final length (bytes past the RIFF size),
// then commit member by member and remove the record. A kill or a full card
// at any step leaves the take loadable as before or as after: the loaders
// roll a left record back. The takes go through the steps below together
// and share each wait for the disk: the records' sync, the members' sync,
// the sync of the records' removal. No take's own order changes (its record
// is on the disk before its first change, its files before its record goes,
// the removal before it counts as saved); a take only waits for the others
// to reach the same step. A record undoes its own take's files only, so a
// kill between two steps leaves every take old or new.
class SaveTransaction
{
public:
    explicit SaveTransaction(const QVector<QSoundPerform*>& takes);
    ~SaveTransaction();
    // Every step below, in its order; true per take saved in saved.
    void Run(bool* saved);

private:
    // The steps, in this order; the result of each take in saved.
    void LockFolders();
    void PlanTakes();
    void WriteRecords();
    void CheckRecordedTakes();
    void ReserveAndCommit();
    void SyncMembers();
    void RemoveRecords();
    void Finish(bool* saved);

    // Where one take's transaction stands, as the save record's states in
    // recordfiles.h name them. The moves, each made by Move():
    //   None -> Named         WriteRecords: its record on the disk under its
    //                         name, with this writer's token
    //   Named -> FilesChange  ReserveAndCommit, before the first write of a
    //                         member (I1)
    //   FilesChange -> Removed RemoveRecords: its own removal of its record
    //                         succeeded, or was refused with every file
    //                         holding the save whole (I3); saved once Finish
    //                         syncs it
    //   None, Named, FilesChange -> Refused  nothing of this save stands:
    //                         refused before its record (or no file to
    //                         save), its record removed before any write,
    //                         or every member put back
    //   FilesChange -> Stopped its record gone or another's: writes nothing
    //                         more (I2)
    //   FilesChange -> Left   the put-back could not finish: its record stays
    //                         for the next load
    // Refused, Stopped and Left end the take's save unsaved, Removed saved.
    enum class TakeState { None, Named, FilesChange, Removed, Refused, Stopped, Left };

    // One take's transaction within a group save.
    struct tyTakeSave {
        QSoundPerform* pTake = nullptr;
        QList<int> lMembers;
        tyIxmlRewrite plans[QSoundPerform::kMaxTracks];
        QByteArray payloads[QSoundPerform::kMaxTracks];
        tyChunkJournalWrite record;   // what undoes the save, once planned
        TakeState eState = TakeState::None;   // changed by Move() only
        int nLastWritten = -1;        // the member (index in lMembers) of the last write, -1 before the first
        QPair<qint64, qint64> lastWrite;   // where in it (see RiffChunkWriter::LastWrite)
        QByteArray lastWriteBytes;         // and what
        tyReadState written[QSoundPerform::kMaxTracks];   // each member's state once synced
    };
    // Where writer's last write to the i-th member went, if it wrote.
    static void NoteLastWrite(tyTakeSave& save, int i, const RiffChunkWriter& writer);

    // Not yet ended: the take goes on to the next step.
    static bool Going(const tyTakeSave& save);
    // The one way a take's state changes: only the moves above, each
    // checked against the invariants of recordfiles.h in debug builds.
    static void Move(tyTakeSave& save, TakeState to);
    static bool MoveAllowed(TakeState from, TakeState to);
    static void CheckInvariants(const tyTakeSave& save);

    void PlanTake(tyTakeSave& save);
    // The take on the disk as its load found it, each member open for
    // writing; false (refused) otherwise.
    bool CheckTakeOnDisk(tyTakeSave& save, const TakeFolderLock& lock);
    // Every member's final layout, at one length, and the record that undoes it.
    void PlanRewrite(tyTakeSave& save);
    // Opens every member of the take for writing, walking one not walked
    // yet; false when one cannot be written or walked. unchanged: the
    // members that hold the head read of them, proven by their state or
    // read again; rewritten: the first that does not, -1 when none.
    bool OpenMembers(tyTakeSave& save, const TakeFolderLock& lock, quint32* unchanged, int* rewritten);
    // The record a killed save left, settled before the take is planned;
    // false (the take refused) when the save must not go on.
    bool SettleLeftSave(tyTakeSave& save, const FolderNameProbe& names);
    void Refuse(tyTakeSave& save, const QString& why);
    // Puts every member back from the take's record. why(undone): what
    // stopped the save, told as undone only where every member is back.
    void Undo(tyTakeSave& save, const std::function<QString(bool undone)>& why);
    void Undo(tyTakeSave& save, const QString& why);
    // What the record's name holds now (error: why it could not be read):
    // asked before every write of a member (recordfiles.h, I1, I2).
    RecordName RecordNameNow(tyTakeSave& save, int* error) const;
    // Stops a save whose record no longer holds its token (named): told
    // what its files hold.
    void StopNotOwn(tyTakeSave& save, RecordName named, int error);
    // Stops a save whose record another program took over or removed.
    void StopTakenOver(tyTakeSave& save);
    // Mends the last write of a save stopped by a take-over (see
    // MendLateWrite), once the reader that took it over is done: what
    // was done for the user; *mixed the member left holding part of this
    // save and part of a later one, which the take's mark then names.
    QString MendLastWrite(const tyTakeSave& save, QString* mixed) const;
    // What the take's files hold now against this save's record; mixed: a
    // member holding part of it among another save's bytes.
    QString DiskText(const tyTakeSave& save, const QString& mixed = QString()) const;
    // The same as counts: members as before the save, holding it (or part
    // of it), holding it whole, changed by another program; bWhole: every
    // member holds it whole, and no reader is putting one back.
    struct tyDiskCount {
        int nBefore = 0;
        int nPartly = 0;
        int nWhole = 0;
        int nOther = 0;
        bool bWhole = false;
    };
    tyDiskCount CountDisk(const tyTakeSave& save, const QString& mixed = QString()) const;
    // A save whose own removal of its record answered error (ESTALE: the
    // name held another's record or none): true when it counts as saved
    // all the same (its record gone from the disk, every file holding the
    // save whole); else told what the files hold, and ended.
    bool RecordNotRemoved(tyTakeSave& save, int error);
    // The parts of each member (file name: MixedPart bits) this save
    // rewrote whole, which a mark of two saves no longer names once it
    // ended: the iXML, and the description where it wrote one (a member
    // without one has none to mix); none where its edits fill only some
    // fields (see QSoundPerform::SetEditsPartial).
    QHash<QString, int> RewrittenParts(const tyTakeSave& save) const;
    QString NoRoomText(const tyTakeSave& save) const;
    QString BusyText(const tyTakeSave& save) const;

    std::vector<tyTakeSave> m_vSaves;
    // Each take's folder as it names it: one lock per folder (a thread must
    // not hold two on one folder, see FolderIdentity), shared by every path
    // that reaches it. Null: another holder kept it.
    std::map<QString, std::shared_ptr<TakeFolderLock>> m_mLocks;
    std::map<QString, int> m_mRemovedIn;   // folder: its held descriptor, -1 when opened for the sync
};

#endif
