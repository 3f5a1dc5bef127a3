#ifndef NALVO_FOUNDATION_REPLACEJOURNAL_H
#define NALVO_FOUNDATION_REPLACEJOURNAL_H

#include <QString>
#include <QStringList>

#include <vector>

// The record of a group of files that take their final names together (the
// members of a take written anew). It lists every temporary, final and aside
// name and reaches the disk before the first rename, so a process killed, or
// a power cut, in the middle of the renames leaves a state the next writer or
// loader of the take finishes or takes back as a whole. On volumes without
// hard links (exFAT cards) a replaced file leaves its name for a moment; the
// record is what brings it back.
//
// The record lies beside the files as ".<take root>.nalvo-commit", a name no
// take pattern matches. Its writer holds the record's lock (see
// TryRecordLock) for the whole step, and every copy of it is judged by
// RecordWriterMayLive, so a reader never settles a live one.
//
// The same record carries the renames of a take's files to other names (the
// short and long names): there the files themselves move, nothing is made
// or removed, so a settled record moves every file to its new name, or when
// its writer began to take them back, every one to its old name.

struct tyReplaceEntry {
    QString czTemporary;   // the complete new file
    QString czFinal;
    QString czAside;       // where the file it replaces is kept; empty: nothing is replaced
};

class ReplaceJournal
{
public:
    ReplaceJournal() = default;
    ~ReplaceJournal();
    ReplaceJournal(const ReplaceJournal&) = delete;
    ReplaceJournal& operator=(const ReplaceJournal&) = delete;

    // The record for files of the take that finalPath belongs to.
    static QString PathFor(const QString& finalPath);
    // The record of the take named as the loaders name it (folder ends in '/').
    static QString PathForTake(const QString& folder, const QString& takeName);

    // Settles an abandoned record at path, then writes this one with the
    // entries and the files removed once all are in place, and puts it on
    // the disk. False (ErrorText) when a live writer holds the record or it
    // cannot be written. job names the work whose files these are, for
    // that text ("import", "conversion").
    bool Begin(const QString& path, const std::vector<tyReplaceEntry>& entries, const QStringList& retired,
               const QString& job = QStringLiteral("replacement"));
    // The renames of files (each entry: czTemporary the present name,
    // czFinal the new one, no aside), recorded under every path given: a
    // take's record under its old and under its new name, so that a load of
    // either name finds it while the family stands under both. Each names
    // the others, which go when any one of them is settled. False
    // (ErrorText) as Begin.
    bool BeginRenames(const QStringList& paths, const std::vector<tyReplaceEntry>& renames);
    // From here on a later reader takes everything back. False when that
    // could not be written: a reader then finishes the step when every new
    // file is still there, and takes it back otherwise.
    bool MarkRollBack();
    // Every copy of the record still holds this writer's token: no reader
    // took it over (see recordfiles.h). A writer asks before each move, and
    // one whose record was taken stops moving, to leave the files to the
    // reader that settles them.
    bool IsOwn() const;
    // Removes the record: the step is over. 0, or the system's error number
    // of a record that stays (ESTALE: its name no longer holds this writer's
    // record; see recordfiles.h), or of a removal not synced.
    int End(bool sync);
    QString ErrorText() const { return m_czError; }
    // Begin or BeginRenames failed and its record could not be removed:
    // it stays for the next load, which settles it (ErrorText says so).
    bool RecordLeft() const { return m_bLeft; }
    // Why the record was not written, without what became of it.
    QString CauseText() const { return m_bLeft ? m_czCause : m_czError; }

private:
    bool Write(const QStringList& paths, const QByteArray& text);
    // Removes what Write made of the record; false.
    bool Abandon();

    struct tyHeldRecord {
        QString czPath;
        int nFd;   // locked from Begin to End
    };
    std::vector<tyHeldRecord> m_ltRecords;
    bool m_bBack = false;
    bool m_bMarkedBack = false;   // the "back" line reached the disk in every copy
    bool m_bLeft = false;         // see RecordLeft
    QString m_czCause;            // see CauseText
    QString m_czJob = QStringLiteral("renames");   // see Begin
    QByteArray m_Head;   // the records' first lines, this writer's token among them
    QString m_czError;
};

enum class Replacement { None, Busy, Finished, TakenBack, Failed };

// Settles the record at journalPath if its writer is gone: every new file
// takes its name when all of them are still there, otherwise every replaced
// file returns; then the leftovers the record names go, and the record.
// Busy: a live writer holds it. Failed: some file could not be put back.
// The caller holds the folder's lock alone (see TakeFolderLock), so no load
// reads the files while they change.
Replacement SettleReplacement(const QString& journalPath);
// The names the files of a killed rename stand under since this process
// settled its record at journalPath (or a twin of it): each file's new name
// when the moves were finished, its old one when taken back; empty when
// this process settled none there. A load that finds its take gone follows
// it by them, whichever load or listing settled the record first.
// *takenBack, when given: the renames were taken back (the old names).
QStringList SettledRenames(const QString& journalPath, bool* takenBack = nullptr);
// Notes names (each file's, as settled) for the records at records: a
// settling here, or one a renamer learns another program made of its
// renames.
void NoteRenamesSettled(const QStringList& records, const QStringList& names, bool takenBack);
// The same for a caller that holds no lock of the folder: the lock is
// taken alone for the settling (Busy when another holder keeps it).
Replacement SettleReplacementAlone(const QString& journalPath);
// Why a settling left the take unsettled (Busy, Failed), for the user;
// empty for any other result.
QString SettleFailureText(Replacement result);

// Settles every abandoned record in the folder and removes the temporary
// links a killed link replacement left there. Returns how many records were
// settled.
int SettleReplacementsIn(const QString& folder);

// Called between the steps of a commit; tests kill the process there.
void SetReplaceStepHook(void (*hook)());
void ReplaceStep();

#endif
