#include "processing/outputset.h"

#include "foundation/fileutil.h"
#include "foundation/folderlock.h"
#include "foundation/platform/diskcalls.h"
#include "foundation/platform/diskprobes.h"
#include "foundation/recordfiles.h"
#include "foundation/replacejournal.h"
#include "take/takesavejournal.h"

#include <QFile>
#include <QFileInfo>
#include <QRandomGenerator>

#include <algorithm>
#include <cerrno>
#include <cstdio>
#include <cstring>
#include <fcntl.h>
#include <unistd.h>

namespace {

// A file kept aside while its replacement takes its name.
struct tyAside {
    QString czFinal;
    QString czAside;        // empty: nothing was replaced
    bool bLinked = false;   // a second name: the final name never disappeared
};

// A hidden name beside the final one that nothing holds yet.
QString AsideName(const QString& finalPath)
{
    const QFileInfo info(finalPath);
    QString name;
    for (int attempt = 0; attempt < 8; ++attempt) {
        name = info.absolutePath() + QStringLiteral("/.") + info.fileName() + QStringLiteral(".aside-")
               + QString::number(QRandomGenerator::global()->generate() & 0xFFFFFF, 16);
        if (!QFileInfo::exists(name) && !QFileInfo(name).isSymLink())
            break;
    }
    return name;
}

// Under the aside name the record lists, and nowhere else.
bool KeepAside(tyAside& aside)
{
    const QByteArray from = QFile::encodeName(aside.czFinal);
    const QByteArray to = QFile::encodeName(aside.czAside);
    if (DiskLink(from.constData(), to.constData()) == 0) {
        aside.bLinked = true;
        return true;
    }
    // Volumes without hard links (FAT cards): the file moves aside, and
    // the record brings it back if the process dies before the new file
    // takes the name.
    if (errno != EEXIST && !QFileInfo::exists(aside.czAside) && DiskRename(from.constData(), to.constData()) == 0)
        return true;
    aside.czAside.clear();
    return false;
}

// The kept file back under its name (over whatever holds it now).
bool Restore(const tyAside& aside)
{
    return DiskRename(QFile::encodeName(aside.czAside).constData(), QFile::encodeName(aside.czFinal).constData()) == 0;
}

bool Remove(const QString& path)
{
    return DiskUnlink(QFile::encodeName(path).constData()) == 0 || errno == ENOENT;
}

// One output's final name as it was before the set began. committed: the
// output took the name. A linked aside whose output never took the name is
// only a second name of the file still there.
bool TakeBack(const tyAside& aside, bool committed)
{
    // Nothing was replaced: the name holds the new file, or the empty
    // holder a rename without links left when it failed (see
    // RenameNoReplace).
    if (aside.czAside.isEmpty())
        return (!committed && !IsHeldName(aside.czFinal)) || Remove(aside.czFinal);
    if (!committed && aside.bLinked)
        return Remove(aside.czAside);
    return Restore(aside);
}

// Removes the kept files and the retired ones once every output is in
// place. False when one stays.
bool RemoveKept(const std::vector<tyAside>& asides, const QStringList& retired)
{
    bool removed = true;
    for (const tyAside& aside : asides) {
        if (!aside.czAside.isEmpty()) {
            removed = Remove(aside.czAside) && removed;
            ReplaceStep();
        }
    }
    for (const QString& path : retired)
        removed = Remove(path) && removed;
    return removed;
}

// Takes back the first begun outputs, newest first (the last of them, the
// one that failed, may hold its name or not). What could not be put back,
// for the user's message.
QStringList TakeBackAll(const std::vector<tyAside>& asides, const std::vector<std::unique_ptr<SafeOutput>>& outputs,
                        size_t begun)
{
    QStringList kept;
    for (size_t i = begun; i-- > 0;) {
        const tyAside& aside = asides[i];
        if (!TakeBack(aside, outputs[i]->IsCommitted())) {
            kept << (aside.czAside.isEmpty()
                         ? QStringLiteral("the new %1").arg(aside.czFinal)
                         : QStringLiteral("%1 is kept as %2").arg(aside.czFinal, aside.czAside));
        }
        ReplaceStep();
    }
    return kept;
}

}  // namespace

OutputSet::~OutputSet() { DiscardAll(); }

SafeOutput& OutputSet::Add(const QString& finalPath, SafeOutput::Replace replace)
{
    // What a killed run left of this take is settled before any file of the
    // folder is written (or swept). Its result is dropped: a record that
    // stays is settled again when CommitAll writes its own, which refuses
    // the commit when it cannot be.
    SettleReplacementAlone(ReplaceJournal::PathFor(finalPath));
    m_Outputs.push_back(std::make_unique<SafeOutput>(finalPath, replace));
    return *m_Outputs.back();
}

bool OutputSet::CloseAll()
{
    for (auto& output : m_Outputs) {
        if (!output->Close(false))
            return false;
    }
    return true;
}

int OutputSet::SyncAll()
{
    // The outputs only (not what other programs wrote to the volume), all
    // together.
    QVector<int> descriptors;
    int error = 0;
    for (auto& output : m_Outputs) {
        const int fd = DiskOpen(QFile::encodeName(output->TemporaryPath()).constData(), O_RDONLY | O_CLOEXEC);
        if (fd >= 0)
            descriptors << fd;
        else if (error == 0)
            error = errno;
    }
    if (error == 0)
        error = SyncFiles(descriptors);
    for (const int fd : descriptors)
        ::close(fd);
    return error;
}

std::vector<QStringList> OutputSet::Folders() const
{
    QStringList folders;
    for (auto& output : m_Outputs)
        folders << QFileInfo(output->FinalPath()).absolutePath() + QLatin1Char('/');
    return FoldersInLockOrder(folders);
}

int OutputSet::SyncFolders()
{
    for (const QStringList& reaching : Folders()) {
        for (const QString& folder : reaching) {
            if (const int error = SyncFolder(folder))
                return error;
        }
    }
    return 0;
}

void OutputSet::DiscardAll()
{
    for (auto& output : m_Outputs)
        output->Discard();
}

bool OutputSet::LeaveToSettler()
{
    // What it left is not known here, and the outputs that did not take
    // their names are the settler's to move or remove.
    for (auto& output : m_Outputs)
        output->LeaveToRecord();
    m_czError = RecordTexts::WriteTakenOver();
    m_bFilesAsBefore = false;
    return false;
}

bool OutputSet::CommitAll(bool sync)
{
    m_bFilesAsBefore = true;
    if (const int error = sync ? SyncAll() : 0) {
        m_czError = QStringLiteral("the new files could not be written to the disk: %1").arg(SystemErrorText(error));
        DiscardAll();
        return false;
    }
    if (m_Outputs.empty())
        return true;
    // The folders alone from before the first rename until the record is
    // gone and the names are on the disk: a load, which shares the lock,
    // reads the take as it was or as it is now, never half replaced. The
    // locks go with this function, after the record.
    const std::vector<QStringList> folders = Folders();
    std::unique_ptr<TakeFolderLock[]> locks(new TakeFolderLock[folders.size()]);
    for (size_t i = 0; i < folders.size(); ++i) {
        if (!locks[i].Acquire(folders[i].first(), TakeFolderLock::Mode::Alone)) {
            m_czError = RecordTexts::FolderBusy(m_Outputs.front()->FinalPath(), QStringLiteral("nothing was replaced"));
            DiscardAll();
            return false;
        }
    }
    // A save record a killed save of these takes left is rolled back here,
    // under the same locks, before the replacement's own record exists. Not
    // retired with the replacement instead: a conversion replaces some of a
    // take's files only, and a retired record would leave the others half
    // saved for good. Rolled back first, every kill leaves the take whole:
    // within the roll-back the record stays and the next load finishes it
    // (each span holds its old or its new bytes, so it applies again);
    // after it the take is old, the record's removal synced, and only then
    // does the replacement begin. A record that stays (a file changed since,
    // a failure) refuses the replacement: it would outlive the files it
    // describes and be judged against the new ones at every load.
    QStringList replaced;
    for (auto& output : m_Outputs)
        replaced << output->FinalPath();
    for (const QString& path : m_Retired) {
        const QString folder = QFileInfo(path).absolutePath() + QLatin1Char('/');
        if (std::any_of(folders.begin(), folders.end(),
                        [&folder](const QStringList& reaching) { return reaching.contains(folder); }))
            replaced << path;
    }
    if (!RollBackSavesBeforeReplacing(replaced, &m_czError)) {
        DiscardAll();
        return false;
    }
    std::vector<tyAside> asides(m_Outputs.size());
    std::vector<tyReplaceEntry> entries;
    for (size_t i = 0; i < m_Outputs.size(); ++i) {
        tyAside& aside = asides[i];
        aside.czFinal = m_Outputs[i]->FinalPath();
        if (QFileInfo::exists(aside.czFinal) || QFileInfo(aside.czFinal).isSymLink())
            aside.czAside = AsideName(aside.czFinal);
        entries.push_back({m_Outputs[i]->TemporaryPath(), aside.czFinal, aside.czAside});
    }
    // Every name on the disk before the first rename.
    ReplaceJournal journal;
    if (!journal.Begin(ReplaceJournal::PathFor(asides.front().czFinal), entries, m_Retired, m_czJob)) {
        m_czError = journal.ErrorText();
        DiscardAll();
        // A record left names the temporaries: one that could not be
        // removed either is the next load's to finish. With none left, the
        // record names nothing to do.
        m_bFilesAsBefore = !journal.RecordLeft()
                           || std::none_of(entries.begin(), entries.end(),
                                           [](const tyReplaceEntry& e) { return QFileInfo::exists(e.czTemporary); });
        if (journal.RecordLeft() && m_bFilesAsBefore)
            m_czError = RecordTexts::Sentence(journal.CauseText()) + QLatin1Char(' ')
                        + RecordTexts::ReplaceRecordStaysEmpty(m_czJob);
        return false;
    }
    ReplaceStep();
    size_t done = 0;
    bool ok = true;
    for (; done < m_Outputs.size() && ok; ++done) {
        SafeOutput& output = *m_Outputs[done];
        tyAside& aside = asides[done];
        if (!journal.IsOwn())
            return LeaveToSettler();
        if (!aside.czAside.isEmpty()) {
            if (!KeepAside(aside)) {
                m_czError = QStringLiteral("%1 could not be kept aside").arg(aside.czFinal);
                ok = false;
                break;
            }
            ReplaceStep();
            if (!journal.IsOwn())
                return LeaveToSettler();
        }
        if (!output.Commit()) {
            m_czError = output.ErrorText();
            // Taken back with the others below: the output may hold its
            // name already (a folder sync after the rename failed).
            ++done;
            ok = false;
            break;
        }
        ReplaceStep();
    }
    // Names that may not survive a power cut are not reported as kept.
    if (const int error = ok && sync ? SyncFolders() : 0) {
        m_czError = QStringLiteral("the new names could not be written to the disk: %1").arg(SystemErrorText(error));
        ok = false;
    }
    if (ok) {
        // A kept file or a retired one that cannot be removed keeps the
        // record, which names every file in place: the next load removes
        // them, and no file stays under a hidden name that nothing names.
        const bool removed = RemoveKept(asides, m_Retired);
        m_Retired.clear();
        // A record that stays for another reason names files all in place:
        // its next reader finishes nothing more. One no longer this
        // writer's was settled by another program or computer that took
        // this write for an interrupted one (held up past the age rule on a
        // share without locks): what it left is not known here.
        if (removed && journal.End(sync) == ESTALE)
            return LeaveToSettler();
        return true;
    }
    if (!journal.MarkRollBack()) {
        // A record that cannot say the set is taken back is finished at the
        // next load (every new file is still there or in place): a roll-back
        // now could leave some files old and some new for it. Nothing moves;
        // the outputs that did not take their names stay for it.
        for (auto& output : m_Outputs)
            output->LeaveToRecord();
        m_czError = RecordTexts::Sentence(m_czError) + QLatin1Char(' ') + RecordTexts::ReplaceStoppedHalfway(m_czJob);
        m_bFilesAsBefore = false;
        return false;
    }
    const QStringList kept = TakeBackAll(asides, m_Outputs, done);
    DiscardAll();
    if (!kept.isEmpty()) {
        // A roll-back that failed keeps its record: the next load of the
        // take finishes it (see SettleReplacement).
        m_czError += QStringLiteral("; ") + RecordTexts::NotAllPutBack(kept);
        m_bFilesAsBefore = false;
        return false;
    }
    // Dropped: a record that stays names the files as they are now, all
    // taken back, and marked so; its next reader only removes it.
    journal.End(sync);
    return false;
}
