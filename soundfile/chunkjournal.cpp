#include "soundfile/chunkjournal.h"

#include "foundation/fileutil.h"
#include "foundation/folderlock.h"
#include "foundation/messageloging.h"
#include "foundation/platform/diskcalls.h"
#include "foundation/platform/diskprobes.h"
#include "foundation/platform/filelocks.h"
#include "soundfile/headwindows.h"

#include <QDataStream>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QThread>

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <fcntl.h>
#include <sys/stat.h>
#include <memory>
#include <unistd.h>
#include <vector>

namespace {

const auto& kMagic = kSaveRecordMagic;
// 2: each member's regions carry the hashes of the bytes the save writes
// there. 3: each member also carries the hashes of what the save writes past
// its old length. 4: the writer's token follows the version (see
// recordfiles.h). Records of the earlier versions are still read: they may
// lie on a card whose save was killed (see MatchUndo for what they cannot
// undo).
constexpr quint32 kVersion = 4;
constexpr quint32 kFirstVersion = 1;
constexpr quint32 kRegionHashVersion = 2;
constexpr quint32 kTailHashVersion = 3;

// Tells a whole record from a damaged one (the rename makes a torn one
// unlikely already): a 64-bit multiply-xor hash, eight bytes a step.
QByteArray Checksum(const QByteArray& body)
{
    quint64 hash = 0xCBF29CE484222325ull ^ quint64(body.size());
    const char* p = body.constData();
    int left = body.size();
    for (; left >= 8; p += 8, left -= 8) {
        quint64 word;
        std::memcpy(&word, p, 8);
        hash = (hash ^ word) * 0x100000001B3ull;
        hash ^= hash >> 29;
    }
    for (; left > 0; ++p, --left)
        hash = (hash ^ quint8(*p)) * 0x100000001B3ull;
    QByteArray sum;
    QDataStream stream(&sum, QIODevice::WriteOnly);
    stream.setVersion(kRecordStreamVersion);
    stream << hash;
    return sum;
}

// The record's bytes: its writer's token, its members' undo, then the
// checksum. *head: the bytes up to the token's end.
QByteArray Serialise(const QList<tyChunkUndo>& members, const QByteArray& token, QByteArray* head)
{
    // The old bytes make nearly all of the record: room for them at once,
    // not a copy of everything written so far at every growth.
    int room = int(sizeof(kMagic)) + 16;
    for (const tyChunkUndo& member : members) {
        room += 2 * member.czFileName.size() + 32;
        for (const auto& region : member.lRegions)
            room += region.second.size() + 16;
        for (const QByteArray& hashes : member.lNewHashes)
            room += hashes.size() + 4;
        room += member.tailHashes.size() + 4;
    }
    QByteArray body;
    body.reserve(room + 8);
    {
        QDataStream out(&body, QIODevice::WriteOnly);
        out.setVersion(kRecordStreamVersion);
        out.writeRawData(kMagic, int(sizeof(kMagic)));
        out << kVersion << token;
        *head = body;
        out << quint32(members.size());
        for (const tyChunkUndo& member : members) {
            out << member.czFileName << member.nOldLength << member.nNewLength
                << quint32(member.lRegions.size());
            for (const auto& region : member.lRegions)
                out << region.first << region.second;
            out << quint32(member.lNewHashes.size());
            for (const QByteArray& hashes : member.lNewHashes)
                out << hashes;
            out << member.tailHashes;
        }
    }
    body += Checksum(body);
    return body;
}

} // namespace

QString ChunkJournalTemporaryPath(const QString& path)
{
    return path + QLatin1Char('~');
}

namespace {

// Removes the record open as fd from path when the name still holds its
// bytes (or, for one not yet written whole, still names that file).
void RemoveOwn(int fd, const QString& path)
{
    const QByteArray bytes = ReadRecordBytes(fd);
    if (bytes.isEmpty() || RemoveRecordIfOwn(path, bytes, true, fd) != 0) {
        if (DescriptorNamedBy(fd, path))
            DiskUnlink(QFile::encodeName(path).constData());
    }
}

// Creates the temporary record exclusively: one a live writer holds (see
// RecordWriterMayLive) is left to it (EBUSY), one a killed writer left is
// removed first; it changed no file. The record is locked while it lives,
// so that wherever locks reach (another program, another computer) it is
// judged a live writer's; a volume without locks judges it by its age. The
// descriptor, or -1 (*error).
int CreateTemporary(const QString& path, int* error)
{
    QString made;
    return CreateRecordFile([&path](int) { return path; }, RecordLockKind::Record,
                            [&path](const QString&) {
                                const int left = ::open(QFile::encodeName(path).constData(),
                                                        O_RDONLY | O_CLOEXEC | O_NOFOLLOW | O_NONBLOCK);
                                if (left < 0)
                                    return true;   // gone meanwhile
                                const bool live = RecordWriterMayLive(left, path);
                                if (!live)
                                    RemoveOwn(left, path);
                                ::close(left);
                                return !live;
                            },
                            &made, error);
}

// After the rename: the descriptor holds the record's lock where the name
// still names its file; a volume that renamed through a link gives the name
// another file, whose lock is taken anew (see recordfiles.h), so that a
// judge never takes a live record for a killed writer's by its free lock.
// A judge holds it for a moment only; one held for longer, or a record that
// cannot be opened again, is no record of this writer's: 0, or the
// system's error number (EBUSY).
int FollowRenamedRecord(tyChunkJournalWrite* record)
{
    if (DescriptorNamedBy(record->nFd, record->czPath))
        return 0;
    const int named = ::open(QFile::encodeName(record->czPath).constData(), O_RDONLY | O_CLOEXEC | O_NOFOLLOW);
    if (named < 0)
        return errno;
    ::close(record->nFd);
    record->nFd = named;
    LockTry locked = TryRecordLock(named);
    for (int wait = 0; wait < 50 && locked == LockTry::Busy; ++wait) {
        QThread::usleep(1000);
        locked = TryRecordLock(named);
    }
    // Unsupported: a volume without locks, where the record's age tells.
    return locked == LockTry::Busy ? EBUSY : 0;
}

} // namespace

void WriteChunkJournals(QList<tyChunkJournalWrite>* records)
{
    QVector<int> written;
    for (tyChunkJournalWrite& record : *records) {
        const QByteArray body = Serialise(record.lMembers, NewRecordToken(), &record.head);
        record.nFd = CreateTemporary(ChunkJournalTemporaryPath(record.czPath), &record.nError);
        for (qint64 done = 0; record.nError == 0 && done < body.size();) {
            const ssize_t n = DiskWrite(record.nFd, body.constData() + done, size_t(body.size() - done));
            if (n < 0 && errno == EINTR)
                continue;
            if (n <= 0)
                record.nError = n == 0 ? ENOSPC : errno;
            done += qMax<ssize_t>(n, 0);
        }
        if (record.nError == 0)
            written << record.nFd;
    }
    // Every record's bytes on the disk before its name, and its name on the
    // disk (the folder synced) before any file changes: a rename not yet on
    // the disk would leave the whole record under the temporary name, which
    // the loaders discard. The records of several saves share each step: no
    // record's own order changes, and a file of one save changes only after
    // all of them are on the disk. The name is taken only where none is: a
    // record there is another writer's (one a killed writer left was
    // settled before the save began), and is never replaced.
    const int dataError = SyncFiles(written);
    QStringList folders;
    std::vector<bool> named(size_t(records->size()), false);   // under the record's name
    for (int i = 0; i < records->size(); ++i) {
        tyChunkJournalWrite& record = (*records)[i];
        if (record.nError == 0)
            record.nError = dataError;
        if (record.nError == 0 && !RenameNoReplace(ChunkJournalTemporaryPath(record.czPath), record.czPath))
            record.nError = errno == EEXIST ? EBUSY : errno;
        named[size_t(i)] = record.nError == 0;
        if (record.nError == 0)
            record.nError = FollowRenamedRecord(&record);
        const QString folder = QFileInfo(record.czPath).absolutePath();
        if (record.nError == 0 && !folders.contains(folder))
            folders << folder;
    }
    const int folderError = SyncFolders(folders);
    for (int i = 0; i < records->size(); ++i) {
        tyChunkJournalWrite& record = (*records)[i];
        const bool renamed = named[size_t(i)];
        if (record.nError == 0)
            record.nError = folderError;
        if (record.nError == 0)
            continue;
        // Not known to be on the disk: no file may change on its strength.
        // One whose removal fails is a killed writer's to the next reader,
        // whose roll-back finds every file as it was and only removes it.
        if (!renamed || RemoveRecordIfOwn(record.czPath, record.head, false, record.nFd) == ESTALE)
            RemoveOwn(record.nFd, ChunkJournalTemporaryPath(record.czPath));
        CloseChunkJournal(&record);
        record.czWhy = SystemErrorText(record.nError);
    }
}

RecordName ChunkJournalName(const tyChunkJournalWrite& record)
{
    return record.head.isEmpty() ? RecordName::Gone : RecordNameIsOwn(record.czPath, record.head, false, record.nFd);
}

bool ChunkJournalIsOwn(const tyChunkJournalWrite& record) { return ChunkJournalName(record) == RecordName::Own; }

int RemoveChunkJournal(tyChunkJournalWrite* record)
{
    // Removed only while the name holds this writer's token: a loader
    // elsewhere that took a stalled writer's record for a killed one's may
    // have rolled it back, or another writer's may stand there since. Closed
    // once removed (see RemoveRecordIfOwn: a FUSE volume keeps a file
    // removed while open as a ".fuse_hidden" one until the close).
    const int removed = record->head.isEmpty() ? ESTALE
                                               : RemoveRecordIfOwn(record->czPath, record->head, false, record->nFd);
    CloseChunkJournal(record);
    return removed;
}

void CloseChunkJournal(tyChunkJournalWrite* record)
{
    // Its bytes were synced before any member changed, and read back by
    // name at every check since: the close has nothing left to tell.
    if (record->nFd >= 0)
        (void)::close(record->nFd);
    record->nFd = -1;
}

bool ReadChunkJournal(const QString& path, QList<tyChunkUndo>* members)
{
    QFile file(path);
    return file.open(QIODevice::ReadOnly) && ReadChunkJournal(file, members);
}

bool ReadChunkJournal(QFile& file, QList<tyChunkUndo>* members)
{
    members->clear();
    if (file.size() > kMostRecordBytes || file.size() < 8 || !file.seek(0))
        return false;
    return ParseChunkJournal(file.readAll(), members);
}

bool ParseChunkJournal(QByteArray bytes, QList<tyChunkUndo>* members)
{
    members->clear();
    if (bytes.size() > kMostRecordBytes || bytes.size() < 8)
        return false;
    const QByteArray sum = bytes.right(8);
    bytes.chop(8);
    if (Checksum(bytes) != sum)
        return false;
    QDataStream in(bytes);
    in.setVersion(kRecordStreamVersion);
    char magic[sizeof(kMagic)];
    quint32 version = 0;
    quint32 count = 0;
    if (in.readRawData(magic, int(sizeof(magic))) != int(sizeof(magic))
        || QByteArray(magic, int(sizeof(magic))) != QByteArray(kMagic, int(sizeof(kMagic))))
        return false;
    in >> version;
    if (version < kFirstVersion || version > kVersion)
        return false;
    if (version > kTailHashVersion) {
        QByteArray token;
        in >> token;
    }
    in >> count;
    for (quint32 i = 0; i < count && in.status() == QDataStream::Ok; ++i) {
        tyChunkUndo member;
        quint32 regions = 0;
        in >> member.czFileName >> member.nOldLength >> member.nNewLength >> regions;
        for (quint32 r = 0; r < regions && in.status() == QDataStream::Ok; ++r) {
            QPair<qint64, QByteArray> region;
            in >> region.first >> region.second;
            member.lRegions.append(region);
        }
        quint32 hashed = 0;
        if (version != kFirstVersion)
            in >> hashed;
        // Every region's hashes, or none (the first version's).
        if (hashed != 0 && hashed != regions)
            return false;
        for (quint32 r = 0; r < hashed && in.status() == QDataStream::Ok; ++r) {
            QByteArray hashes;
            in >> hashes;
            member.lNewHashes.append(hashes);
        }
        if (version > kRegionHashVersion)
            in >> member.tailHashes;
        members->append(member);
    }
    // A member's name is a plain file name: the record never reaches
    // outside its own folder.
    for (const tyChunkUndo& member : *members) {
        if (member.czFileName.isEmpty() || member.czFileName.contains(QLatin1Char('/'))
            || member.czFileName == QLatin1String("..") || member.czFileName == QLatin1String("."))
            return false;
    }
    return in.status() == QDataStream::Ok && in.atEnd();
}

namespace {

// A member file opened for a roll-back, which closes its descriptor by
// hand: where nothing was written through it, or once RollBackMembers
// asked the close's answer, here without one.
struct ClosedFile {
    void operator()(QFile* file) const
    {
        const int fd = file->handle();
        file->close();
        if (fd >= 0)
            (void)::close(fd);
        delete file;
    }
};

// Puts back every file the record at path names (in its folder), synced;
// none when one of them does not fit (see RollBackChunkJournal).
void RollBackMembers(const QString& path, const QList<tyChunkUndo>& members, tyJournalRollBack* out)
{
    tyJournalRollBack& result = *out;
    // Every member is checked before any is written: a record that does not
    // fit one of them (changed by another program since) puts none back, so
    // the take is never left half old, half new by the roll-back itself, and
    // no byte another program wrote since is written over.
    const QString folder = QFileInfo(path).absolutePath() + QLatin1Char('/');
    std::vector<std::unique_ptr<QFile, ClosedFile>> opened(size_t(members.size()));   // open until synced
    QStringList partly;
    for (int i = 0; i < members.size(); ++i) {
        const tyChunkUndo& member = members.at(i);
        const QByteArray name = QFile::encodeName(folder + member.czFileName);
        QString why;
        const int fd = DiskOpen(name.constData(), O_RDWR | O_CLOEXEC);
        if (fd < 0 && errno == ENOENT) {
            result.lczMissing << member.czFileName;
            continue;
        }
        // Closed by hand once synced (below), so that a close that reports a
        // failed write counts as one.
        auto file = std::unique_ptr<QFile, ClosedFile>(new QFile);
        if (fd < 0 || !file->open(fd, QIODevice::ReadWrite | QIODevice::Unbuffered, QFileDevice::DontCloseHandle)) {
            const int error = fd < 0 ? errno : EIO;
            if (fd >= 0)
                ::close(fd);
            // A name that is no file (a folder, a link loop) is the record's
            // fault, not the card's: it can never be put back.
            if (error != EISDIR && error != ELOOP && error != ENOTDIR)
                result.nWriteError = result.nWriteError ? result.nWriteError : error;
            result.lczFailed << member.czFileName + QStringLiteral(": ") + SystemErrorText(error);
            continue;
        }
        switch (RiffChunkWriter::MatchUndo(*file, member, &why)) {
        case RiffChunkWriter::UndoMatch::Changed:
            result.lczChanged << member.czFileName;
            result.lczFailed << member.czFileName + QStringLiteral(": ") + why;
            break;
        case RiffChunkWriter::UndoMatch::Unproven:
            result.lczUnproven << member.czFileName;
            result.lczFailed << member.czFileName + QStringLiteral(": ") + why;
            break;
        case RiffChunkWriter::UndoMatch::Unfit:
            result.lczFailed << member.czFileName + QStringLiteral(": ") + why;
            break;
        case RiffChunkWriter::UndoMatch::Partly:
            partly << member.czFileName;
            opened[size_t(i)] = std::move(file);
            break;
        case RiffChunkWriter::UndoMatch::Before:
            opened[size_t(i)] = std::move(file);
            break;
        }
    }
    if (!result.lczFailed.isEmpty()) {
        result.lczLeft = partly;
        return;
    }
    QVector<int> descriptors;
    for (int i = 0; i < members.size(); ++i) {
        QFile* file = opened[size_t(i)].get();
        if (!file)
            continue;
        QString why;
        errno = 0;
        if (RiffChunkWriter::ApplyUndo(*file, members.at(i), &why)) {
            ++result.nRestored;
            descriptors.append(file->handle());
        } else {
            result.nWriteError = result.nWriteError ? result.nWriteError : errno ? errno : EIO;
            result.lczFailed << members.at(i).czFileName + QStringLiteral(": ") + why;
        }
    }
    const int syncError = SyncFiles(descriptors);
    int closeError = 0;
    for (auto& file : opened) {
        const int fd = file ? file->handle() : -1;
        if (fd < 0)
            continue;
        file->close();   // the descriptor stays for the close whose answer counts
        if (DiskClose(fd) != 0 && descriptors.contains(fd) && closeError == 0)
            closeError = errno;
    }
    opened.clear();
    if (syncError == 0 && closeError != 0) {
        result.nWriteError = result.nWriteError ? result.nWriteError : closeError;
        result.lczFailed << QStringLiteral("the restored files could not be written: %1").arg(SystemErrorText(closeError));
    }
    if (syncError != 0) {
        result.nWriteError = result.nWriteError ? result.nWriteError : syncError;
        result.lczFailed << QStringLiteral("the restored files could not be synced: %1").arg(SystemErrorText(syncError));
    }
}

// The record's name held by the empty file of a rename without links (see
// IsHeldName), open as fd, whose maker is gone: its writer was killed
// before the rename that puts the record there, so no file changed on the
// record's strength. Removed, unless a temporary record stands beside it
// now: a writer that keeps no lock of the folder (on a volume without
// locks) is between its temporary record and its rename, and a writer makes
// its holder only while its temporary record stands, so the holder is
// judged with that one (the next reader removes it). Closes fd.
void DropLeftHolder(int fd, const QString& path, tyJournalRollBack* result)
{
    result->bRecord = false;
    const QString temporary = ChunkJournalTemporaryPath(path);
    const int writing = ::open(QFile::encodeName(temporary).constData(), O_RDONLY | O_CLOEXEC | O_NOFOLLOW | O_NONBLOCK);
    if (writing >= 0) {
        result->eWriter = JudgeRecordWriter(writing, temporary);
        ::close(writing);
        ::close(fd);
        return;
    }
    // Still the empty holder this reader judged: a rename since would have
    // put a record in its place.
    struct stat open;
    const bool held = ::fstat(fd, &open) == 0 && open.st_size == 0 && DescriptorNamedBy(fd, path);
    // Removed while still open (see RemoveRecordIfOwn).
    const int removed = !held ? 0 : DiskUnlink(QFile::encodeName(path).constData()) == 0 ? 0 : errno;
    ::close(fd);
    if (held)
        result->nRemoveError = removed == ENOENT ? 0 : removed ? removed : SyncFolder(QFileInfo(path).absolutePath());
}

// Takes the record at path, open as fd and read as bytes, over in one step
// its writer's next check sees (recordfiles.h, I2): moved to the take-over
// name, which no writer uses, and read back there; *name: where it is then
// settled. A volume that refuses the move (a record made immutable) leaves
// it where it is only when no writer can go on: the caller's own, or one
// whose lock proved its writer gone. False when it is not this reader's to
// settle: gone meanwhile (its writer ended, or another reader took it),
// another reader's take-over standing, another record moved by mistake (put
// back), or no move where one is needed (*result says which).
bool TakeOverRecord(int fd, const QString& path, const QByteArray& bytes, bool own, struct stat* before,
                    QString* name, tyJournalRollBack* result)
{
    const QString taken = TakenOverRecordPath(path);
    *name = path;
    if (::fstat(fd, before) != 0)
        before->st_mtim.tv_nsec = UTIME_OMIT;
    if (!RenameNoReplace(path, taken)) {
        const int why = errno;
        if (why == ENOENT)
            result->bRecord = false;
        else if (why == EEXIST)
            result->eWriter = RecordWriter::Recent;
        else if (own || LocksReachEveryWriter(fd))
            return true;
        else {
            result->nWriteError = why;
            result->lczFailed << QFileInfo(path).fileName() + QStringLiteral(": cannot be taken over: ")
                                     + SystemErrorText(why);
        }
        return false;
    }
    *name = taken;
    // Its time now, so that another reader judges it a live settler's by
    // its age where locks do not tell (this one's lock tells elsewhere).
    // Refused (another owner's record), two readers may both settle it,
    // which only puts the same old bytes back twice.
    if (DiskFutimens(fd, nullptr) != 0)
        MyQDebug("RollBackChunkJournal: the time of %s cannot be set: %s", qPrintable(taken),
                 qPrintable(SystemErrorText(errno)));
    if (RecordNameIsOwn(taken, bytes, true, fd) == RecordName::Own)
        return true;
    // Another record took the name between this reader's read and its move
    // (a live writer's, as its new time tells): back under its name.
    if (!RenameNoReplace(taken, path))
        result->eWriter = RecordWriter::Recent;   // under the take-over name: the next reader judges it
    result->bRecord = result->eWriter != RecordWriter::Gone;
    return false;
}

// Settles the record open as fd under name (the record's own path, or its
// take-over name), its bytes read: every member put back, then the record
// removed while name still holds those bytes. A record taken over here
// whose roll-back wrote no member goes back under its own name (its time
// as it was), so that it stands as before for the next reader.
void SettleRecord(int fd, const QString& path, const QString& name, const QByteArray& bytes,
                  const QList<tyChunkUndo>& members, const struct stat* before, tyJournalRollBack* result)
{
    RollBackMembers(path, members, result);
    // The removal on the disk too: a record a power cut brings back would
    // be taken for a killed save's again, and applied over whatever the
    // take holds by then. Removed only while its name is still this
    // record's.
    const bool named = RecordNameIsOwn(name, bytes, true, fd) == RecordName::Own;
    if (!result->lczFailed.isEmpty() && named && before && result->nRestored == 0 && result->nWriteError == 0) {
        const struct timespec times[2] = {before->st_atim, before->st_mtim};
        if ((before->st_mtim.tv_nsec != UTIME_OMIT && DiskFutimens(fd, times) != 0) || !RenameNoReplace(name, path))
            MyQDebug("RollBackChunkJournal: the record %s stays under its take-over name: %s", qPrintable(path),
                     qPrintable(SystemErrorText(errno)));
    }
    // Removed while still open, then closed (see RemoveRecordIfOwn: a
    // FUSE volume keeps it as a ".fuse_hidden" one until the close).
    if (!result->lczFailed.isEmpty()) {
        ::close(fd);
        return;
    }
    if (!named)
        result->nRemoveError = ESTALE;
    else if (DiskUnlink(QFile::encodeName(name).constData()) != 0)
        result->nRemoveError = errno;
    ::close(fd);
    if (named && result->nRemoveError == 0)
        result->nRemoveError = SyncFolder(QFileInfo(path).absolutePath());
}

// The take-over name held by the empty file of a rename without links
// (see IsHeldName), open as fd, whose reader is gone: its move failed or
// was killed before the record took the name, so the record stands under
// its own name, and nothing was settled from this one. Removed, so that
// the record is settled there. Closes fd; false (result told) when it
// stays.
bool DropTakeOverHolder(int fd, const QString& taken, tyJournalRollBack* result)
{
    const int removed = DiskUnlink(QFile::encodeName(taken).constData()) == 0 ? 0 : errno;
    ::close(fd);
    if (removed == 0 || removed == ENOENT) {
        result->bFound = result->bRecord = false;
        return true;
    }
    result->nWriteError = removed;
    result->lczFailed << QFileInfo(taken).fileName() + QStringLiteral(": cannot be removed: ") + SystemErrorText(removed);
    return false;
}

// A record taken over by a reader that was killed, or is at work now
// (judged by its lock or its age as any record): settled where it stands,
// as it is no writer's any more. False when the caller must not go on.
bool SettleTakenOver(const QString& path, tyJournalRollBack* result)
{
    const QString taken = TakenOverRecordPath(path);
    const int fd = ::open(QFile::encodeName(taken).constData(), O_RDONLY | O_CLOEXEC | O_NOFOLLOW | O_NONBLOCK);
    if (fd < 0)
        return true;
    result->bFound = true;
    result->bRecord = true;
    result->eWriter = JudgeRecordWriter(fd, taken);
    QList<tyChunkUndo> members;
    const QByteArray bytes = result->eWriter == RecordWriter::Gone ? ReadRecordBytes(fd) : QByteArray();
    if (result->eWriter == RecordWriter::Gone && bytes.isEmpty() && IsHeldName(taken) && DescriptorNamedBy(fd, taken))
        return DropTakeOverHolder(fd, taken, result);
    if (result->eWriter != RecordWriter::Gone || !ParseChunkJournal(bytes, &members)) {
        if (result->eWriter == RecordWriter::Gone)
            result->lczFailed << QFileInfo(taken).fileName() + QStringLiteral(": not a save record");
        ::close(fd);
        return false;
    }
    if (DiskFutimens(fd, nullptr) != 0)
        MyQDebug("RollBackChunkJournal: the time of %s cannot be set: %s", qPrintable(taken),
                 qPrintable(SystemErrorText(errno)));
    SettleRecord(fd, path, taken, bytes, members, nullptr, result);
    return result->lczFailed.isEmpty() && result->nRemoveError == 0;
}

} // namespace

namespace {

// The region of a record holds its old bytes in the file open as fd.
bool HoldsOldBytes(int fd, const QPair<qint64, QByteArray>& region)
{
    QByteArray now(region.second.size(), '\0');
    return ReadFully(fd, region.first, now.data(), now.size()) == now.size() && now == region.second;
}

// The file holds bytes at offset (all of them).
bool FileHolds(QFile& file, qint64 offset, const QByteArray& bytes)
{
    QByteArray now(bytes.size(), '\0');
    return !bytes.isEmpty() && ReadFully(file.handle(), offset, now.data(), now.size()) == now.size() && now == bytes;
}

// How the members of a record but the late-th stand (see MatchUndo):
// *length the one length they share (-1: none, they differ or one cannot
// be read). Before: each as the reader put it back, no save wrote since;
// Changed: another save wrote one since; Partly: one still holds part of
// this save (its reader is not done, or never put it back).
RiffChunkWriter::UndoMatch OtherMembers(const QString& folder, const QList<tyChunkUndo>& members, int late,
                                        qint64* length)
{
    using Match = RiffChunkWriter::UndoMatch;
    Match all = Match::Before;
    QList<qint64> lengths;
    for (int i = 0; i < members.size(); ++i) {
        if (i == late)
            continue;
        QFile file(QDir(folder).filePath(members.at(i).czFileName));
        QString why;
        const Match match = file.open(QIODevice::ReadOnly) ? RiffChunkWriter::MatchUndo(file, members.at(i), &why)
                                                           : Match::Unfit;
        lengths << (file.isOpen() ? FreshFileLength(file.handle()) : -1);
        if (match == Match::Changed)
            all = Match::Changed;
        else if (match != Match::Before && all == Match::Before)
            all = Match::Partly;
    }
    *length = !lengths.isEmpty() && lengths.count(lengths.first()) == lengths.size() ? lengths.first() : -1;
    return all;
}

// The part of member's record that undoes the write at lastWrite, when
// every other region of it holds its old bytes (and, for a write within
// the old length, the file has it): the file is then as the reader left
// it but for that write. False otherwise.
bool UndoOfLateWrite(QFile& file, const tyChunkUndo& member, const QPair<qint64, qint64>& lastWrite,
                     tyChunkUndo* late)
{
    const bool tail = lastWrite.first >= member.nOldLength;
    if (tail ? file.size() <= member.nOldLength : file.size() != member.nOldLength)
        return false;
    *late = member;
    late->lRegions.clear();
    late->lNewHashes.clear();
    if (!tail) {
        late->nNewLength = member.nOldLength;
        late->tailHashes.clear();
    }
    for (int r = 0; r < member.lRegions.size(); ++r) {
        const auto& region = member.lRegions.at(r);
        const qint64 end = region.first + region.second.size();
        if (region.first < lastWrite.first + lastWrite.second && lastWrite.first < end) {
            late->lRegions.append(region);
            late->lNewHashes.append(member.lNewHashes.value(r));
            continue;
        }
        if (!HoldsOldBytes(file.handle(), region))
            return false;
    }
    return tail || !late->lRegions.isEmpty();
}

// The bytes a write (offset, bytes) of member's save found in the file:
// its own, but where the record keeps the span it changed (see ReadUndo).
QByteArray BytesBeforeWrite(const tyChunkUndo& member, qint64 offset, const QByteArray& bytes)
{
    QByteArray old = bytes;
    for (const auto& region : member.lRegions) {
        const qint64 from = qMax(offset, region.first);
        const qint64 to = qMin(offset + bytes.size(), region.first + region.second.size());
        if (from < to)
            old.replace(int(from - offset), int(to - from),
                        region.second.mid(int(from - region.first), int(to - from)));
    }
    return old;
}

// Every piece of the write (offset, bytes) holds what the save found there
// or what it wrote, judged over the whole write, not only the span its
// record keeps: another save may leave that span as this one found it and
// change the bytes before it (a bext field given a shorter value than
// this save's).
bool WriteHoldsOwnBytes(QFile& file, const tyChunkUndo& member, qint64 offset, const QByteArray& bytes)
{
    const QByteArray old = BytesBeforeWrite(member, offset, bytes);
    QByteArray now(bytes.size(), '\0');
    if (ReadFully(file.handle(), offset, now.data(), now.size()) != now.size())
        return false;
    constexpr int kPiece = RiffChunkWriter::kUndoPieceBytes;
    for (qint64 at = offset, end = offset + bytes.size(); at < end;) {
        const qint64 next = qMin(end, (at / kPiece + 1) * kPiece);
        const int from = int(at - offset);
        const size_t size = size_t(next - at);
        if (std::memcmp(now.constData() + from, old.constData() + from, size) != 0
            && std::memcmp(now.constData() + from, bytes.constData() + from, size) != 0)
            return false;
        at = next;
    }
    return true;
}

// The member's file holds bytes, where the save wrote, that are neither
// the ones it found there nor its own: another save (or program) wrote it
// since. Judged by every region of its record besides the late write
// (offset, size), and by the whole of each field and text its commit
// writes (plan, payload), the late write among them: what a take of one
// file tells in place of its other members.
bool OwnBytesChanged(QFile& file, const tyChunkUndo& member, const tyIxmlRewrite& plan, const QByteArray& payload,
                     const QPair<qint64, qint64>& lastWrite)
{
    for (int r = 0; r < member.lRegions.size(); ++r) {
        const auto& region = member.lRegions.at(r);
        if (region.first < lastWrite.first + lastWrite.second && lastWrite.first < region.first + region.second.size())
            continue;
        QByteArray now(region.second.size(), '\0');
        if (ReadFully(file.handle(), region.first, now.data(), now.size()) != now.size())
            return true;
        if (now != region.second && RiffChunkWriter::UndoPieceHashes(region.first, now) != member.lNewHashes.value(r))
            return true;
    }
    for (const auto& write : RiffChunkWriter::SpannedCommitWrites(plan, payload)) {
        if (!WriteHoldsOwnBytes(file, member, write.first, write.second))
            return true;
    }
    return false;
}

// A late growth over a later save (see MendLateWrite): cut back to the
// length the other members share (others), where the file ends exactly
// where the growth (bytes at offset) ended it and every byte past that
// length is the growth's. *mixed: bytes of the growth stay where the later
// save's were.
bool CutLateGrowth(QFile& file, qint64 others, qint64 offset, const QByteArray& bytes, bool* changed, bool* mixed,
                   QString* why)
{
    const qint64 end = offset + bytes.size();
    if (FreshFileLength(file.handle()) == end && others >= offset && others < end
        && FileHolds(file, others, bytes.mid(int(others - offset)))) {
        *changed = true;
        if (!DiskResize(file, others)) {
            *why = file.errorString();
            return false;
        }
    }
    const qint64 kept = qMin(file.size(), end) - offset;
    *mixed = kept > 0 && FileHolds(file, offset, bytes.left(int(kept)));
    return true;
}

} // namespace

tyLateWriteMend MendLateWrite(const QString& folder, const QList<tyChunkUndo>& members, int late,
                              const tyIxmlRewrite& plan, const QByteArray& payload, qint64 offset,
                              const QByteArray& bytes)
{
    tyLateWriteMend mend;
    const tyChunkUndo& member = members.at(late);
    const QString path = QDir(folder).filePath(member.czFileName);
    const int fd = DiskOpen(QFile::encodeName(path).constData(), O_RDWR | O_CLOEXEC);
    QFile file;
    if (fd < 0 || !file.open(fd, QIODevice::ReadWrite | QIODevice::Unbuffered, QFileDevice::AutoCloseHandle)) {
        if (fd >= 0)
            ::close(fd);
        return mend;
    }
    qint64 others = -1;
    const QPair<qint64, qint64> lastWrite(offset, bytes.size());
    RiffChunkWriter::UndoMatch since = OtherMembers(folder, members, late, &others);
    if (OwnBytesChanged(file, member, plan, payload, lastWrite))
        since = RiffChunkWriter::UndoMatch::Changed;
    bool content = offset == plan.PayloadOffset();
    for (const auto& field : plan.lFields)
        content = content || field.first == offset;
    QString why;
    bool changed = false;
    bool done = true;
    tyChunkUndo undo;
    if (since == RiffChunkWriter::UndoMatch::Before && UndoOfLateWrite(file, member, lastWrite, &undo)
        && RiffChunkWriter::MatchUndo(file, undo, &why) == RiffChunkWriter::UndoMatch::Partly) {
        changed = true;
        done = RiffChunkWriter::ApplyUndo(file, undo, &why);
    } else if (since == RiffChunkWriter::UndoMatch::Changed && offset >= member.nOldLength) {
        done = CutLateGrowth(file, others, offset, bytes, &changed, &mend.bMixed, &why);
    } else if (since == RiffChunkWriter::UndoMatch::Changed && content) {
        // The bytes another save wrote there are not known: left as they are.
        mend.bMixed = FileHolds(file, offset, bytes);
    } else {
        done = RiffChunkWriter::FitLateHeaders(file, plan, member, &changed, &why);
    }
    const int synced = changed ? SyncFiles({file.handle()}) : 0;
    if (changed)
        MyQDebug("MendLateWrite: %s mended (%s)", qPrintable(path),
                 qPrintable(done && !synced ? QStringLiteral("done") : why));
    if (changed && (!done || synced != 0))
        mend.czText = QStringLiteral("A write of this save that landed after the take-over could not be mended in "
                                     "%1 (%2).")
                          .arg(member.czFileName, done ? SystemErrorText(synced) : why);
    else if (mend.bMixed)
        mend.czText = QStringLiteral("A write of this save landed in %1 after the take-over, over a later save of "
                                     "the take: that file holds part of each, and every load of the take says so "
                                     "until it is saved again.")
                          .arg(member.czFileName);
    else if (changed)
        mend.czText = QStringLiteral("A write of this save that landed after the take-over was mended in %1.")
                          .arg(member.czFileName);
    return mend;
}

tyJournalRollBack RollBackChunkJournal(const QString& path, const QByteArray& ownHead)
{
    tyJournalRollBack result;
    if (!SettleTakenOver(path, &result))
        return result;
    // The record is judged on the descriptor it is read, applied and
    // removed through: its name may pass from a writer's temporary one to
    // its own between two looks. The temporary one first, so that a rename
    // meanwhile is met under the record's name.
    const QString temporary = ChunkJournalTemporaryPath(path);
    const int torn = ::open(QFile::encodeName(temporary).constData(), O_RDONLY | O_CLOEXEC | O_NOFOLLOW | O_NONBLOCK);
    if (torn >= 0) {
        result.bFound = true;
        const RecordWriter writer = JudgeRecordWriter(torn, temporary);
        // A torn one that stays (its removal refused) changed nothing: the
        // next reader tries again. A live one is another writer's, about to
        // take the record's name: none may be settled now but the caller's
        // own.
        if (writer == RecordWriter::Gone)
            RemoveOwn(torn, temporary);
        else if (ownHead.isEmpty())
            result.eWriter = writer;
        ::close(torn);
    }
    const int fd = result.eWriter != RecordWriter::Gone
                       ? -1
                       : ::open(QFile::encodeName(path).constData(), O_RDONLY | O_CLOEXEC | O_NOFOLLOW | O_NONBLOCK);
    if (fd < 0)
        return result;
    // Judged and removed by what was read: on a volume that numbers files
    // anew, a descriptor tells nothing of whose file a name holds.
    const QByteArray bytes = ReadRecordBytes(fd);
    const bool own = !ownHead.isEmpty() && bytes.startsWith(ownHead);
    result.bFound = true;
    result.bRecord = true;
    if (!own)
        result.eWriter = JudgeRecordWriter(fd, path);
    if (!own && result.eWriter == RecordWriter::Gone && bytes.isEmpty() && IsHeldName(path)
        && DescriptorNamedBy(fd, path)) {
        DropLeftHolder(fd, path, &result);
        return result;
    }
    QList<tyChunkUndo> members;
    const bool read = result.eWriter == RecordWriter::Gone && ParseChunkJournal(bytes, &members);
    if (result.eWriter != RecordWriter::Gone || !read) {
        // Written whole or not at all, so one that does not read is no
        // record of ours: left for a person to look at.
        if (result.eWriter == RecordWriter::Gone)
            result.lczFailed << QFileInfo(path).fileName() + QStringLiteral(": not a save record");
        ::close(fd);
        return result;
    }
    // No member changes before the record is this reader's alone: a writer
    // held up past the age rule finds it gone at its next check and writes
    // nothing more, so the two never both go on.
    struct stat before;
    QString name;
    if (!TakeOverRecord(fd, path, bytes, own, &before, &name, &result)) {
        ::close(fd);
        return result;
    }
    SettleRecord(fd, path, name, bytes, members, &before, &result);
    return result;
}
