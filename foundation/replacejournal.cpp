#include "foundation/replacejournal.h"

#include "foundation/fileutil.h"
#include "foundation/messageloging.h"
#include "foundation/folderlock.h"
#include "foundation/platform/diskcalls.h"
#include "foundation/platform/diskprobes.h"
#include "foundation/platform/filelocks.h"
#include "foundation/recordfiles.h"
#include "foundation/takenaming.h"

#include <QDateTime>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QHash>
#include <QRegularExpression>
#include <QThread>
#include <QUrl>

#include <atomic>
#include <optional>
#include <mutex>
#include <cerrno>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace {

const QString kSuffix = QStringLiteral(".nalvo-commit");
const QByteArray kHeader = kRenameRecordHeader;
const QByteArray kEnd = "end";
const QByteArray kBack = "back";

std::atomic<void (*)()> g_StepHook{nullptr};

struct tyRecord {
    std::vector<tyReplaceEntry> entries;
    std::vector<tyReplaceEntry> renames;   // files that move, see BeginRenames
    QStringList twins;                     // the same record under the other names
    QStringList retired;
    bool bComplete = false;   // every rename waits for this line
    bool bBack = false;       // the writer began to take everything back
};

// Relative to the record's folder, which is how a reader resolves it: a
// path the caller gave relative to the working folder is made absolute
// first (a relative one would be kept as it stands, and read as below the
// record's folder).
QByteArray Encode(const QDir& folder, const QString& path)
{
    return path.isEmpty() ? QByteArray()
                          : QUrl::toPercentEncoding(folder.relativeFilePath(QFileInfo(path).absoluteFilePath()));
}

QString Decode(const QDir& folder, const QByteArray& text)
{
    return text.isEmpty() ? QString() : QDir::cleanPath(folder.absoluteFilePath(QUrl::fromPercentEncoding(text)));
}

// The record's first lines: the header and its writer's token (see
// recordfiles.h), by which the writer knows its record on any volume.
QByteArray Head(const QByteArray& token) { return kHeader + '\n' + "W\t" + token.toHex() + '\n'; }

// Renames are "M" lines: a reader that does not know them passes them over,
// and never takes a moved file for a temporary to remove; so are "W" lines.
QByteArray Serialise(const QString& journalPath, const QByteArray& head, const std::vector<tyReplaceEntry>& entries,
                     const QStringList& retired, const std::vector<tyReplaceEntry>& renames = {},
                     const QStringList& twins = {})
{
    const QDir folder = QFileInfo(journalPath).absoluteDir();
    QByteArray text = head;
    for (const tyReplaceEntry& e : entries)
        text += "E\t" + Encode(folder, e.czTemporary) + '\t' + Encode(folder, e.czFinal) + '\t'
                + Encode(folder, e.czAside) + '\n';
    for (const tyReplaceEntry& e : renames)
        text += "M\t" + Encode(folder, e.czTemporary) + '\t' + Encode(folder, e.czFinal) + '\n';
    for (const QString& path : twins)
        text += "T\t" + Encode(folder, path) + '\n';
    for (const QString& path : retired)
        text += "R\t" + Encode(folder, path) + '\n';
    return text + kEnd + '\n';
}

tyRecord Parse(const QString& journalPath, const QByteArray& text)
{
    const QDir folder = QFileInfo(journalPath).absoluteDir();
    tyRecord record;
    const QList<QByteArray> lines = text.split('\n');
    // Only lines that ended in a newline were written whole.
    for (int i = 0; i + 1 < lines.size(); ++i) {
        const QList<QByteArray> fields = lines.at(i).split('\t');
        if (i == 0 && lines.at(i) != kHeader)
            return tyRecord();
        if (fields.size() == 4 && fields.at(0) == "E" && !fields.at(1).isEmpty() && !fields.at(2).isEmpty())
            record.entries.push_back({Decode(folder, fields.at(1)), Decode(folder, fields.at(2)),
                                      Decode(folder, fields.at(3))});
        else if (fields.size() == 3 && fields.at(0) == "M" && !fields.at(1).isEmpty() && !fields.at(2).isEmpty())
            record.renames.push_back({Decode(folder, fields.at(1)), Decode(folder, fields.at(2)), QString()});
        else if (fields.size() == 2 && fields.at(0) == "T" && !fields.at(1).isEmpty())
            record.twins << Decode(folder, fields.at(1));
        else if (fields.size() == 2 && fields.at(0) == "R" && !fields.at(1).isEmpty())
            record.retired << Decode(folder, fields.at(1));
        else if (lines.at(i) == kEnd)
            record.bComplete = true;
        else if (lines.at(i) == kBack)
            record.bBack = true;
    }
    return record;
}

bool Stat(const QString& path, struct stat* st) { return ::lstat(QFile::encodeName(path).constData(), st) == 0; }

// Asked of the volume by opening the name (a link not followed): a share
// may answer a look at a name another computer moved or removed from its
// cache (sshfs), and a settle moves files by what it finds.
bool Exists(const QString& path)
{
    const int fd = ::open(QFile::encodeName(path).constData(), O_RDONLY | O_CLOEXEC | O_NOFOLLOW | O_NONBLOCK);
    if (fd < 0)
        return errno != ENOENT && errno != ENOTDIR;
    ::close(fd);
    return true;
}

bool SameFile(const QString& a, const QString& b)
{
    struct stat sa, sb;
    return Stat(a, &sa) && Stat(b, &sb) && sa.st_dev == sb.st_dev && sa.st_ino == sb.st_ino;
}

bool Rename(const QString& from, const QString& to)
{
    return DiskRename(QFile::encodeName(from).constData(), QFile::encodeName(to).constData()) == 0;
}

bool Unlink(const QString& path) { return DiskUnlink(QFile::encodeName(path).constData()) == 0 || errno == ENOENT; }

// The names made or removed beside the record on the disk.
bool SyncRecordFolder(const QString& journalPath) { return SyncFolder(QFileInfo(journalPath).absolutePath()) == 0; }

// Every new file is still there, or already under its final name.
bool CanFinish(const tyRecord& record)
{
    if (!record.bComplete || record.bBack)
        return false;
    for (const tyReplaceEntry& e : record.entries) {
        if (Exists(e.czTemporary))
            continue;
        // Gone: renamed into place, unless the final name is still the
        // replaced file (a hard-linked aside) or nothing.
        if (!Exists(e.czFinal) || (!e.czAside.isEmpty() && SameFile(e.czFinal, e.czAside)))
            return false;
    }
    return true;
}

bool Finish(const tyRecord& record)
{
    bool ok = true;
    for (const tyReplaceEntry& e : record.entries) {
        if (Exists(e.czTemporary))
            ok = Rename(e.czTemporary, e.czFinal) && ok;
    }
    if (!ok)
        return false;
    // A kept file that stays keeps the record: finished again, it is
    // removed then, and never stays under a name nothing lists.
    for (const tyReplaceEntry& e : record.entries) {
        if (!e.czAside.isEmpty())
            ok = Unlink(e.czAside) && ok;
    }
    for (const QString& path : record.retired)
        ok = Unlink(path) && ok;
    return ok;
}

bool TakeBack(const tyRecord& record)
{
    bool ok = true;
    for (const tyReplaceEntry& e : record.entries) {
        const bool temporary = Exists(e.czTemporary);
        if (!e.czAside.isEmpty() && Exists(e.czAside)) {
            // A hard-linked aside whose final name never changed is only a
            // second name; otherwise the kept file goes back over the new one.
            if (SameFile(e.czAside, e.czFinal))
                ok = Unlink(e.czAside) && ok;
            else
                ok = Rename(e.czAside, e.czFinal) && ok;
        } else if (e.czAside.isEmpty()) {
            // Nothing was replaced: the final name holds the new file when
            // its temporary is gone, or an empty placeholder of the
            // no-replace rename where links are not offered.
            struct stat st;
            if (Stat(e.czFinal, &st) && S_ISREG(st.st_mode) && (!temporary || st.st_size == 0))
                ok = Unlink(e.czFinal) && ok;
        }
        if (temporary)
            ok = Unlink(e.czTemporary) && ok;
    }
    return ok;
}

// Moves a renamed file, over nothing but a held name.
bool Move(const QString& from, const QString& to)
{
    if (IsHeldName(to) && !IsHeldName(from))
        Unlink(to);
    return RenameNoReplace(from, to);
}

// The names a killed move of e left aside (see RemovalAsideName) go: where
// the file stands under one of e's names with the same bytes, a second name
// of it; where it stands under none, back to target. asides: the folder's.
bool SettleAsides(const tyReplaceEntry& e, const QString& target, const QStringList& asides)
{
    bool ok = true;
    for (const QString& aside : asides) {
        if (!IsRemovalAsideOf(aside, e.czTemporary) && !IsRemovalAsideOf(aside, e.czFinal))
            continue;
        const bool old = Exists(e.czTemporary) && !IsHeldName(e.czTemporary);
        const bool renamed = Exists(e.czFinal) && !IsHeldName(e.czFinal);
        if (!old && !renamed)
            ok = Move(aside, target) && ok;
        else if (HoldsSameBytes(aside, old ? e.czTemporary : e.czFinal))
            ok = RemoveSecondName(old ? e.czTemporary : e.czFinal, aside) == 0 && ok;
        else
            MyQDebug("SettleRenames: %s is another file than %s; it stays", qPrintable(aside),
                     qPrintable(old ? e.czTemporary : e.czFinal));
    }
    return ok;
}

// Every file to its new name, unless the writer began to take them back or
// a new name holds another file: then every file to its old one. A file
// already there stays. A file under both names (a move through a hard link
// stopped between the link and the old name's removal) is taken back: its
// new name goes where it is a second name of it.
Replacement SettleRenames(const tyRecord& record)
{
    bool forward = !record.bBack;
    for (const tyReplaceEntry& e : record.renames)
        forward = forward && !(Exists(e.czTemporary) && Exists(e.czFinal) && !IsHeldName(e.czFinal));
    const QStringList asides = record.renames.empty()
                                   ? QStringList()
                                   : RemovalAsidesIn(QFileInfo(record.renames.front().czTemporary).absolutePath());
    bool ok = true;
    for (const tyReplaceEntry& e : record.renames) {
        const QString& from = forward ? e.czTemporary : e.czFinal;
        const QString& to = forward ? e.czFinal : e.czTemporary;
        if (Exists(from) && (!Exists(to) || IsHeldName(to)))
            ok = Move(from, to) && ok;
        // Taken back: the empty holder a failed move left at the new name
        // (see RenameNoReplace), or the second name its link left, goes.
        else if (!forward && Exists(e.czTemporary) && !IsHeldName(e.czTemporary) && IsHeldName(e.czFinal))
            ok = Unlink(e.czFinal) && ok;
        else if (!forward && Exists(e.czTemporary) && !IsHeldName(e.czTemporary) && Exists(e.czFinal)
                 && HoldsSameBytes(e.czTemporary, e.czFinal))
            ok = RemoveSecondName(e.czTemporary, e.czFinal) == 0 && ok;
        ok = SettleAsides(e, to, asides) && ok;
    }
    return !ok ? Replacement::Failed : forward ? Replacement::Finished : Replacement::TakenBack;
}

struct tySettled {
    QStringList names;
    bool bTakenBack = false;
};
std::mutex g_SettledMutex;
QHash<QString, tySettled> g_Settled;   // see SettledRenames; any thread, under g_SettledMutex

void NoteSettledRenames(const QString& journalPath, const tyRecord& record, Replacement result)
{
    QStringList names;
    for (const tyReplaceEntry& e : record.renames)
        names << (result == Replacement::Finished ? e.czFinal : e.czTemporary);
    QStringList records = record.twins;
    records << journalPath;
    NoteRenamesSettled(records, names, result != Replacement::Finished);
}

// Creates the record at path, locked, after settling an abandoned one there.
// The descriptor, or -1 (*error).
int CreateRecord(const QString& path, const QString& job, QString* error)
{
    Replacement left = Replacement::None;
    QString made;
    int why = 0;
    const int fd = CreateRecordFile([&path](int) { return path; }, RecordLockKind::Record,
                                    [&](const QString&) {
                                        left = SettleReplacement(path);
                                        return left != Replacement::Busy && left != Replacement::Failed;
                                    },
                                    &made, &why);
    if (fd >= 0)
        return fd;
    if (left == Replacement::Failed)
        *error = SettleFailureText(left);
    else if (why == EBUSY)
        *error = RecordTexts::WriteInProgress();
    else
        *error = RecordTexts::ReplaceRecordNotWritten(job, SystemErrorText(why));
    return -1;
}

}  // namespace

// ---- Writing ------------------------------------------------------------------------

QString ReplaceJournal::PathFor(const QString& finalPath)
{
    const QFileInfo info(finalPath);
    const QString root = TakeNaming::SplitTrackName(info.completeBaseName(), TakeNaming::Rule::Load).czRoot;
    return PathForTake(info.absolutePath() + QLatin1Char('/'), root.isEmpty() ? info.fileName() : root);
}

QString ReplaceJournal::PathForTake(const QString& folder, const QString& takeName)
{
    return folder + QLatin1Char('.') + takeName + kSuffix;
}

ReplaceJournal::~ReplaceJournal()
{
    // A writer that never reached End keeps its record for the next reader.
    // Its lines were synced as they were written (see Write, MarkRollBack):
    // the close has nothing left to tell.
    for (const tyHeldRecord& record : m_ltRecords)
        (void)::close(record.nFd);
}

bool ReplaceJournal::Begin(const QString& path, const std::vector<tyReplaceEntry>& entries, const QStringList& retired,
                           const QString& job)
{
    m_czJob = job;
    m_Head = Head(NewRecordToken());
    return Write({path}, Serialise(path, m_Head, entries, retired));
}

bool ReplaceJournal::BeginRenames(const QStringList& paths, const std::vector<tyReplaceEntry>& renames)
{
    if (paths.isEmpty())
        return false;
    // Every abandoned record first: one of them may name another as its
    // twin, which must not be a record this writer holds already.
    for (const QString& path : paths) {
        if (SettleReplacement(path) == Replacement::Busy) {
            m_czError = RecordTexts::WriteInProgress();
            return false;
        }
    }
    m_Head = Head(NewRecordToken());
    return Write(paths, Serialise(paths.first(), m_Head, {}, {}, renames, paths));
}

bool ReplaceJournal::Write(const QStringList& paths, const QByteArray& text)
{
    for (const QString& path : paths) {
        const int fd = CreateRecord(path, m_czJob, &m_czError);
        if (fd < 0)
            return Abandon();
        m_ltRecords.push_back({path, fd});
    }
    // A volume without locks leaves the record unlocked: its age tells
    // readers it is live (see SettleReplacement). Every copy and the folder
    // reach the disk before the caller's first rename.
    QVector<int> descriptors;
    int why = 0;
    for (const tyHeldRecord& record : m_ltRecords) {
        if (DiskWrite(record.nFd, text.constData(), size_t(text.size())) != text.size())
            why = errno == 0 ? EIO : errno;
        descriptors << record.nFd;
    }
    const int folder = DiskOpen(QFile::encodeName(QFileInfo(paths.first()).absolutePath()).constData(),
                              O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (folder >= 0)
        descriptors << folder;
    if (why == 0)
        why = folder < 0 ? errno : SyncFiles(descriptors);
    if (folder >= 0)
        ::close(folder);
    if (why != 0) {
        m_czError = RecordTexts::ReplaceRecordNotWritten(m_czJob, SystemErrorText(why));
        return Abandon();
    }
    return true;
}

bool ReplaceJournal::Abandon()
{
    // A record that cannot be removed names every file as it stands, its
    // complete ones included: the next load settles it, and may finish
    // the step where every new file is still there.
    if (End(false) != 0) {
        m_bLeft = true;
        m_czCause = m_czError;
        m_czError = RecordTexts::Sentence(m_czError) + QLatin1Char(' ') + RecordTexts::ReplaceRecordStays(m_czJob);
    }
    return false;
}

bool ReplaceJournal::MarkRollBack()
{
    if (m_ltRecords.empty() || m_bBack)
        return m_bMarkedBack;
    m_bBack = true;
    const QByteArray line = kBack + '\n';
    QVector<int> descriptors;
    for (const tyHeldRecord& record : m_ltRecords) {
        if (::lseek(record.nFd, 0, SEEK_END) >= 0
            && DiskWrite(record.nFd, line.constData(), size_t(line.size())) == line.size())
            descriptors << record.nFd;
    }
    // Not on the disk when the sync fails: a reader after a power cut then
    // finds no "back" line, and finishes only when every new file is still
    // there (see CanFinish), else takes everything back; either is whole.
    m_bMarkedBack = descriptors.size() == int(m_ltRecords.size()) && SyncFiles(descriptors) == 0;
    return m_bMarkedBack;
}

bool ReplaceJournal::IsOwn() const
{
    for (const tyHeldRecord& record : m_ltRecords) {
        if (RecordNameIsOwn(record.czPath, m_Head, false, record.nFd) != RecordName::Own)
            return false;
    }
    return !m_ltRecords.empty();
}

int ReplaceJournal::End(bool sync)
{
    if (m_ltRecords.empty())
        return 0;
    // Each record is removed as what it holds at the removal (see
    // RemoveRecordIfOwn): moved to a name of its own, read there by its
    // token (a volume may number files anew), emptied under its lock (one
    // that stays, its removal refused, names no file: its next reader only
    // removes it), removed while still open,
    // then closed: a FUSE volume (sshfs, exfat-fuse) keeps a file removed
    // while open as a ".fuse_hidden" one until the close and removes that
    // with it. A reader elsewhere that settled it, or another writer's in
    // its place, is left standing (ESTALE), also when this writer was held
    // up between its last look and the removal.
    int error = 0;
    for (const tyHeldRecord& record : m_ltRecords) {
        const int why = RemoveRecordIfOwn(record.czPath, m_Head, false, record.nFd, true);
        ::close(record.nFd);
        error = error ? error : why;
    }
    // A removal a power cut takes back leaves a record whose step is over:
    // settling it again moves or removes nothing.
    if (sync) {
        const int synced = SyncFolder(QFileInfo(m_ltRecords.front().czPath).absolutePath());
        error = error ? error : synced;
    }
    m_ltRecords.clear();
    return error;
}

// ---- Settling -----------------------------------------------------------------------

namespace {

// Takes the record at journalPath, open as fd and read as text, over in one
// step (see recordfiles.h): moved to its take-over name and read back
// there. *name: where it is settled then. A volume that refuses the move
// leaves it where it is only where its lock proved its writer gone. None:
// gone meanwhile (its writer ended, or another reader took it); Busy:
// another reader's take-over stands, or another record was met (put back);
// Failed: no move where one is needed.
std::optional<Replacement> TakeOverReplacement(int fd, const QString& journalPath, const QByteArray& text,
                                               QString* name)
{
    const QString taken = TakenOverRecordPath(journalPath);
    *name = journalPath;
    if (!RenameNoReplace(journalPath, taken)) {
        if (errno == ENOENT)
            return Replacement::None;
        if (errno == EEXIST)
            return Replacement::Busy;
        return LocksReachEveryWriter(fd) ? std::nullopt : std::optional<Replacement>(Replacement::Failed);
    }
    *name = taken;
    // Its time now: another reader judges it a live settler's by its age
    // where locks do not tell; refused, two readers may both settle it, and
    // a settled move is never made again.
    if (DiskFutimens(fd, nullptr) != 0)
        MyQDebug("SettleReplacement: the time of %s cannot be set: %s", qPrintable(taken),
                 qPrintable(SystemErrorText(errno)));
    if (RecordNameIsOwn(taken, text, true, fd) == RecordName::Own)
        return std::nullopt;
    // Another record took the name between the read and the move: back.
    if (!RenameNoReplace(taken, journalPath))
        MyQDebug("SettleReplacement: %s stays under its take-over name: %s", qPrintable(journalPath),
                 qPrintable(SystemErrorText(errno)));
    return Replacement::Busy;
}

// Settles the record of journalPath found under name (its own, or its
// take-over name a killed reader left); see SettleReplacement.
Replacement SettleRecordUnder(const QString& journalPath, const QString& name)
{
    const int fd = ::open(QFile::encodeName(name).constData(), O_RDONLY | O_CLOEXEC | O_NOFOLLOW | O_NONBLOCK);
    if (fd < 0)
        return errno == ENOENT ? Replacement::None : Replacement::Failed;
    if (RecordWriterMayLive(fd, name)) {
        ::close(fd);
        return Replacement::Busy;
    }
    const QByteArray text = ReadRecordBytes(fd);
    // The writer may have ended and removed it between the open and the
    // lock: the name must still hold what was read (asked by content, as
    // a volume may number files anew).
    if (RecordNameIsOwn(name, text, true, fd) != RecordName::Own) {
        ::close(fd);
        return Replacement::None;
    }
    // Taken over before any file moves, so that its writer, held up past
    // the age rule, finds its record gone when it ends (ESTALE, never done).
    QString settled = name;
    if (name == journalPath) {
        if (const std::optional<Replacement> refused = TakeOverReplacement(fd, journalPath, text, &settled)) {
            ::close(fd);
            return *refused;
        }
    }
    const tyRecord record = Parse(journalPath, text);
    // The record's other copies are held for the settling, and go with it.
    std::vector<int> twins;
    const auto closeAll = [&] {
        for (int twin : twins)
            ::close(twin);
        ::close(fd);
    };
    const QString ownName = QFileInfo(journalPath).fileName();
    for (const QString& twin : record.twins) {
        if (QFileInfo(twin).fileName() == ownName)
            continue;
        const int twinFd = ::open(QFile::encodeName(twin).constData(), O_RDONLY | O_CLOEXEC | O_NOFOLLOW | O_NONBLOCK);
        if (twinFd < 0)
            continue;
        twins.push_back(twinFd);
        if (RecordWriterMayLive(twinFd, twin)) {
            closeAll();
            return Replacement::Busy;
        }
    }
    Replacement result;
    if (!record.renames.empty() && record.bComplete) {
        result = SettleRenames(record);
        if (result != Replacement::Failed)
            NoteSettledRenames(journalPath, record, result);
    } else if (!record.bComplete) {
        // Cut off before the first rename: only the temporaries were made.
        for (const tyReplaceEntry& e : record.entries)
            Unlink(e.czTemporary);
        result = Replacement::TakenBack;
    } else if (CanFinish(record)) {
        result = Finish(record) ? Replacement::Finished : Replacement::Failed;
    } else {
        result = TakeBack(record) ? Replacement::TakenBack : Replacement::Failed;
    }
    // The settled names on the disk before the record goes: a record that
    // stays is settled again by the next reader, as it stands then (under
    // its take-over name, found alike).
    if (result != Replacement::Failed && !SyncRecordFolder(journalPath))
        result = Replacement::Failed;
    if (result != Replacement::Failed) {
        // A copy that stays (or that a power cut brings back) names files
        // already settled: settling it again changes nothing, so the sync of
        // the removals is not waited on. A record that cannot be removed is
        // told as not settled: every writer of the take meets it first.
        bool removed = true;
        for (const QString& twin : record.twins)
            removed = Unlink(twin) && removed;
        removed = Unlink(settled) && removed;
        if (!removed)
            result = Replacement::Failed;
        else
            SyncRecordFolder(journalPath);   // dropped, as said above
    }
    closeAll();
    return result;
}

} // namespace

Replacement SettleReplacement(const QString& journalPath)
{
    // A take-over whose reader was killed first: its files stand half
    // settled.
    const Replacement left = SettleRecordUnder(journalPath, TakenOverRecordPath(journalPath));
    if (left == Replacement::Busy || left == Replacement::Failed)
        return left;
    const Replacement result = SettleRecordUnder(journalPath, journalPath);
    return result == Replacement::None ? left : result;
}

QStringList SettledRenames(const QString& journalPath, bool* takenBack)
{
    std::lock_guard<std::mutex> guard(g_SettledMutex);
    const tySettled settled = g_Settled.value(QDir::cleanPath(journalPath));
    if (takenBack)
        *takenBack = settled.bTakenBack;
    return settled.names;
}

void NoteRenamesSettled(const QStringList& records, const QStringList& names, bool takenBack)
{
    std::lock_guard<std::mutex> guard(g_SettledMutex);
    // A bound for a long session; a name asked for after it was dropped
    // is only not followed.
    if (g_Settled.size() >= 1024)
        g_Settled.clear();
    for (const QString& path : records)
        g_Settled.insert(QDir::cleanPath(path), {names, takenBack});
}

Replacement SettleReplacementAlone(const QString& journalPath)
{
    if (!Exists(journalPath) && !Exists(TakenOverRecordPath(journalPath)))
        return Replacement::None;
    TakeFolderLock lock;
    if (!lock.Acquire(QFileInfo(journalPath).absolutePath() + QLatin1Char('/'), TakeFolderLock::Mode::Alone))
        return Replacement::Busy;
    return SettleReplacement(journalPath);
}

QString SettleFailureText(Replacement result)
{
    switch (result) {
    case Replacement::Busy:
        return RecordTexts::WriteInProgress();
    case Replacement::Failed:
        return RecordTexts::WriteNotSettled();
    case Replacement::None:
    case Replacement::Finished:
    case Replacement::TakenBack:
        break;
    }
    return QString();
}

int SettleReplacementsIn(const QString& folder)
{
    const QDir dir(folder);
    const QDir::Filters filter = QDir::AllEntries | QDir::Hidden | QDir::System | QDir::NoDotAndDotDot;
    int settled = 0;
    QStringList records;
    for (const QString& name : dir.entryList({QLatin1Char('*') + kSuffix, TakenOverRecordPath(QLatin1Char('*') + kSuffix)},
                                             filter)) {
        const QString record = name.endsWith(kSuffix) ? name : name.left(name.size() - (TakenOverRecordPath(QString()).size()));
        if (!records.contains(record))
            records << record;
    }
    for (const QString& name : records) {
        const Replacement result = SettleReplacementAlone(dir.filePath(name));
        settled += result == Replacement::Finished || result == Replacement::TakenBack ? 1 : 0;
    }
    // The exact shape of a link replacement's temporary name, and a link.
    static const QRegularExpression linkName(QStringLiteral("^\\..+\\.link-[0-9a-f]{1,6}$"));
    for (const QString& name : dir.entryList({QStringLiteral(".*.link-*")}, filter)) {
        struct stat st;
        if (linkName.match(name).hasMatch() && Stat(dir.filePath(name), &st) && S_ISLNK(st.st_mode))
            Unlink(dir.filePath(name));
    }
    return settled;
}

void SetReplaceStepHook(void (*hook)()) { g_StepHook.store(hook); }

void ReplaceStep()
{
    if (void (*hook)() = g_StepHook.load())
        hook();
}
