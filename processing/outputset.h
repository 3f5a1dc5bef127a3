#ifndef NALVO_PROCESSING_OUTPUTSET_H
#define NALVO_PROCESSING_OUTPUTSET_H

#include "foundation/safeoutput.h"

#include <QFileInfo>
#include <QString>
#include <QStringList>
#include <memory>
#include <vector>

// Several new files of one operation (the mono files of an import, the two
// sides of a mono bounce, an X/Y pair) that take their final names together
// or not at all. Each is a SafeOutput: written under a hidden temporary
// name. CommitAll() first keeps every file that will be replaced under a
// hidden aside name (a second hard link, or a rename where links are not
// offered), then renames the temporaries into place; when any step fails,
// the outputs already in place are taken back, the aside files return to
// their names, and the rest is discarded, so the folder is as before. The
// aside files are removed last, after every output is in place. Only one
// set of a take commits at a time; a second is refused.
class OutputSet
{
public:
    // job: the work whose files these are, as its failures name it
    // ("import", "conversion").
    explicit OutputSet(const QString& job) : m_czJob(job) {}
    ~OutputSet();
    OutputSet(const OutputSet&) = delete;
    OutputSet& operator=(const OutputSet&) = delete;

    // Adds an output; its index is the count before the call.
    SafeOutput& Add(const QString& finalPath, SafeOutput::Replace replace);
    // Adds an output begun elsewhere (written, not committed).
    void Adopt(std::unique_ptr<SafeOutput> output) { m_Outputs.push_back(std::move(output)); }
    int Count() const { return int(m_Outputs.size()); }
    SafeOutput& At(int index) { return *m_Outputs.at(size_t(index)); }

    // A file removed once every output is in place (a source whose name
    // the outputs change); kept when the outputs are taken back.
    void Retire(const QString& path) { m_Retired << QFileInfo(path).absoluteFilePath(); }
    // Flushes and closes every output. False at the first failure.
    bool CloseAll();
    // All outputs under their final names, or none (see above). Every name
    // is recorded on the disk first (see ReplaceJournal): a process killed
    // inside it leaves a state the next writer or loader of the take
    // finishes or takes back whole. sync: the
    // outputs reach the disk before they take their names (one flush of the
    // volume for all of them, not one wait per file), and the folder
    // entries after; a folder that cannot be synced takes the set back.
    // The outputs' folders are held alone meanwhile (see TakeFolderLock),
    // so no caller may hold a lock of them; a folder another holder keeps
    // for the whole wait fails the commit. Before each move the record is
    // asked whether it is still this writer's (see ReplaceJournal::IsOwn).
    bool CommitAll(bool sync = false);
    // Removes every temporary file; final names are not touched.
    void DiscardAll();
    // Why the last CommitAll failed.
    QString ErrorText() const { return m_czError; }
    // After a failed CommitAll: every file is as it was before the set
    // (only a record may stay, which names nothing left to do). False: its
    // record stays for the next load, which finishes the set or takes it
    // back, or another program settled it; ErrorText says which.
    bool FilesAsBefore() const { return m_bFilesAsBefore; }

private:
    // The record was taken over by another program or computer that
    // judged this commit interrupted (held up past the age rule on a share
    // without locks): nothing more is moved or removed here, the settler
    // finishes or takes back the set. False, with its text.
    bool LeaveToSettler();
    // 0, or the system's error number of the first that failed.
    int SyncAll();
    int SyncFolders();
    // The outputs' folders, each path once and ending in '/', grouped by
    // folder in lock order (see FoldersInLockOrder).
    std::vector<QStringList> Folders() const;

    std::vector<std::unique_ptr<SafeOutput>> m_Outputs;
    QStringList m_Retired;
    QString m_czJob;
    QString m_czError;
    bool m_bFilesAsBefore = true;
};

#endif
