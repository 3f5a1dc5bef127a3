#include "foundation/recordfiles.h"

#include "foundation/fileutil.h"
#include "foundation/folderlock.h"
#include "foundation/messageloging.h"
#include "foundation/platform/diskcalls.h"
#include "foundation/platform/filelocks.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QRandomGenerator>
#include <QThread>

#include <algorithm>
#include <atomic>
#include <cctype>
#include <cerrno>
#include <cstring>
#include <ctime>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace {

// A name taken by a killed writer's file is settled and made again; a live
// writer's gives up at once. Eight rounds: each either settles a left file
// or meets a judge that just removed the new one, both rare.
constexpr int kCreateAttempts = 8;
constexpr int kTokenBytes = 16;
constexpr char kClockProbeMarker[] = ".nalvo-clock-";
constexpr int kClockProbeDigits = 16;

double Seconds(const struct timespec& time) { return double(time.tv_sec) + double(time.tv_nsec) / 1e9; }

} // namespace

QByteArray NewRecordToken()
{
    QByteArray token(kTokenBytes, '\0');
    QRandomGenerator::system()->generate(reinterpret_cast<quint32*>(token.data()),
                                         reinterpret_cast<quint32*>(token.data() + kTokenBytes));
    return token;
}

int CreateRecordFile(const std::function<QString(int attempt)>& nameFor, RecordLockKind lock,
                     const std::function<bool(const QString& name)>& nameTaken, QString* made, int* error,
                     int mode)
{
    bool refusedFree = false;
    for (int attempt = 0; attempt < kCreateAttempts; ++attempt) {
        *made = nameFor(attempt);
        const QByteArray name = QFile::encodeName(*made);
        const int fd = DiskOpen(name.constData(), O_RDWR | O_CREAT | O_EXCL | O_CLOEXEC | O_NOFOLLOW, mode_t(mode));
        if (fd < 0) {
            const int why = ExclusiveCreateError(name.constData(), errno);
            // sshfs refuses a taken name with EPERM, and its holder may
            // have renamed it away before the look: a name taken and
            // released, made again. Refused again while free, the
            // refusal is the volume's own.
            if (why == EPERM && !refusedFree) {
                refusedFree = true;
                continue;
            }
            if (why != EEXIST) {
                *error = why;
                return -1;
            }
            if (!nameTaken(*made))
                break;
            continue;
        }
        // A judge that met the new empty file holds its lock for a moment:
        // it either removes it (made again below) or lets it be.
        LockTry locked = LockTry::Busy;
        for (int wait = 0; wait < 50 && locked == LockTry::Busy; ++wait) {
            if (wait > 0)
                QThread::usleep(1000);
            locked = lock == RecordLockKind::Record ? TryRecordLock(fd) : TryTemporaryLock(fd, true);
        }
        struct stat own;
        if (locked != LockTry::Busy && ::fstat(fd, &own) == 0 && own.st_nlink > 0) {
            *error = 0;
            return fd;
        }
        ::close(fd);
    }
    *error = EBUSY;
    return -1;
}

bool DescriptorNamedBy(int descriptor, const QString& path)
{
    struct stat open, named;
    return descriptor >= 0 && ::fstat(descriptor, &open) == 0 && open.st_nlink > 0
           && ::lstat(QFile::encodeName(path).constData(), &named) == 0 && open.st_dev == named.st_dev
           && open.st_ino == named.st_ino;
}

QByteArray ReadRecordBytes(int descriptor)
{
    QFile file;
    QByteArray bytes;
    if (file.open(descriptor, QIODevice::ReadOnly, QFileDevice::DontCloseHandle) && file.size() <= kMostRecordBytes
        && file.seek(0))
        bytes = file.readAll();
    file.close();
    return bytes;
}

namespace {

// A read refused because the server enforces the lock the caller's own
// descriptor holds on that file (SMB): the second handle may not read it.
bool RefusedForOwnLock(int error) { return error == EACCES || error == EAGAIN || error == ETXTBSY; }

// RecordNameIsOwn; *kept, when given, the descriptor it read an own record
// through, left open for the caller to close (-1 when none).
RecordName NamedRecord(const QString& path, const QByteArray& begins, bool whole, int descriptor, int* error,
                       int* kept)
{
    if (kept)
        *kept = -1;
    // By file number only on a volume of this computer's: one that may
    // cache names (sshfs, network shares) answers a removed or renamed
    // name from its cache, so it is read through the name.
    const bool local = descriptor >= 0 && LocksReachEveryWriter(descriptor);
    if (local && DescriptorNamedBy(descriptor, path))
        return RecordName::Own;
    const int fd = ::open(QFile::encodeName(path).constData(), O_RDONLY | O_CLOEXEC | O_NOFOLLOW | O_NONBLOCK);
    if (fd < 0) {
        const int why = errno;
        if (!local && RefusedForOwnLock(why) && DescriptorNamedBy(descriptor, path))
            return RecordName::Own;
        if (error)
            *error = why;
        return why == ENOENT ? RecordName::Gone : RecordName::Unreadable;
    }
    // One byte more than asked for: a whole record must end where it did.
    QByteArray bytes(begins.size() + 1, '\0');
    qint64 done = 0;
    while (done < bytes.size()) {
        const ssize_t n = ::pread(fd, bytes.data() + done, size_t(bytes.size() - done), off_t(done));
        if (n < 0 && errno == EINTR)
            continue;
        if (n < 0) {
            const int why = errno;
            ::close(fd);
            if (!local && RefusedForOwnLock(why) && DescriptorNamedBy(descriptor, path))
                return RecordName::Own;
            if (error)
                *error = why;
            return RecordName::Unreadable;
        }
        if (n == 0)
            break;
        done += n;
    }
    bytes.truncate(int(done));
    const bool own = whole ? bytes == begins : bytes.startsWith(begins);
    if (own && kept)
        *kept = fd;
    else
        ::close(fd);
    return own ? RecordName::Own : RecordName::Other;
}

} // namespace

RecordName RecordNameIsOwn(const QString& path, const QByteArray& begins, bool whole, int descriptor, int* error)
{
    return NamedRecord(path, begins, whole, descriptor, error, nullptr);
}

namespace {

// RemoveRecordIfOwn, once.
int RemoveRecord(const QString& path, const QByteArray& begins, bool whole, int descriptor, bool empty)
{
    // Checked at the removal itself (RemoveNameAsChecked): a look at the
    // name followed by its removal would take whatever stands under the name
    // by then: a writer held between the two past the age rule meets
    // another's record there (a take-over elsewhere settled its own and
    // another save began).
    int error = 0;
    int kept = -1;
    bool judged = false;
    RecordName named = RecordName::Gone;
    const int removed = RemoveNameAsChecked(path, [&](const QString& aside) {
        judged = true;
        // Removed while open (the caller's descriptor, or the one it was
        // read through): a FUSE volume (sshfs, exfat-fuse) keeps a file
        // removed while open as a ".fuse_hidden" one until the last close,
        // and removes that with it; removed after every close, it may meet
        // a close still under way and keep that copy for good.
        named = NamedRecord(aside, begins, whole, descriptor, &error, &kept);
        if (named == RecordName::Own && empty && descriptor >= 0 && DiskFtruncate(descriptor, 0) != 0)
            MyQDebug("RemoveRecordIfOwn(): %s is removed whole: %s", qPrintable(path), std::strerror(errno));
        // Another's (or one that could not be read): back under its name,
        // unless a record made since holds that.
        return named == RecordName::Own ? AsideVerdict::Remove : AsideVerdict::PutBack;
    });
    if (!judged && empty && removed != ENOENT && descriptor >= 0
        && NamedRecord(path, begins, whole, descriptor, &error, &kept) == RecordName::Own
        && DiskFtruncate(descriptor, 0) != 0) {
        // Staying under its name: emptied where it is the caller's (its
        // own file, whatever the name holds later).
        MyQDebug("RemoveRecordIfOwn(): %s stays whole: %s", qPrintable(path), std::strerror(errno));
    }
    if (kept >= 0)
        ::close(kept);
    if (!judged)
        return removed == ENOENT ? ESTALE : removed;
    switch (named) {
    case RecordName::Own:
        // Taken from its aside meanwhile: by another's hand.
        return removed == ENOENT ? ESTALE : removed;
    case RecordName::Other:
    case RecordName::Gone:
        return ESTALE;
    case RecordName::Unreadable:
        break;
    }
    return error ? error : EIO;
}

} // namespace

RecordName PutBackOwnRecord(const QString& path, const QByteArray& begins, bool whole, int* held, bool* aside)
{
    if (aside)
        *aside = false;
    const int descriptor = held ? *held : -1;
    // Another removal moved it to its own aside name and has not put it
    // back: a remover killed there, or one still judging it, which then
    // finds it gone and leaves it.
    const QString folder = QFileInfo(path).absolutePath();
    for (const QString& found : RemovalAsidesIn(folder)) {
        if (!IsRemovalAsideOf(found, path)
            || NamedRecord(found, begins, whole, descriptor, nullptr, nullptr) != RecordName::Own)
            continue;
        // A FUSE volume renames onto a name it holds open by hiding that
        // name first, which the share no longer has (sshfs): the record is
        // let go for the move, and opened and locked again once back.
        if (descriptor >= 0)
            ::close(descriptor);
        const int back = PutBackAside(found, path);
        if (back != 0) {
            MyQDebug("PutBackOwnRecord(): %s stays as %s: %s", qPrintable(path), qPrintable(found),
                     std::strerror(back));
            if (aside)
                *aside = back != ENOENT;
        }
        if (descriptor >= 0) {
            *held = ::open(QFile::encodeName(back == 0 ? path : found).constData(),
                           O_RDWR | O_CLOEXEC | O_NOFOLLOW | O_NONBLOCK);
            if (*held >= 0 && TryRecordLock(*held) == LockTry::Busy) {
                ::close(*held);
                *held = -1;
            }
        }
        break;
    }
    return RecordNameIsOwn(path, begins, whole, held ? *held : -1);
}

int RemoveRecordIfOwn(const QString& path, const QByteArray& begins, bool whole, int descriptor, bool empty)
{
    const int removed = RemoveRecord(path, begins, whole, descriptor, empty);
    // Gone from its name: another removal may have moved it aside and
    // stopped there; put back, it is removed as the caller's once more.
    if (removed == ESTALE && PutBackOwnRecord(path, begins, whole) == RecordName::Own)
        return RemoveRecord(path, begins, whole, descriptor, empty);
    return removed;
}

QString TakenOverRecordPath(const QString& path) { return path + QStringLiteral(".taken"); }

RecordWriter JudgeRecordWriter(int recordDescriptor, const QString& recordPath)
{
    switch (TryRecordLock(recordDescriptor)) {
    case LockTry::Held:
        // Proof only where no other computer's lock can stand apart from
        // this one's (see LocksReachEveryWriter); elsewhere (sshfs, network
        // shares) a writer's lock through another mount may be granted
        // here, and the record's age decides as on a volume without locks.
        if (LocksReachEveryWriter(recordDescriptor))
            return RecordWriter::Gone;
        break;
    case LockTry::Busy:
        return RecordWriter::Running;
    case LockTry::Unsupported:
        break;
    }
    // By the volume's clock: this computer's may run ahead of or behind
    // the share's by minutes.
    return ShareClockAge(recordDescriptor, QFileInfo(recordPath).absolutePath()) < kRecordLiveSeconds
               ? RecordWriter::Recent
               : RecordWriter::Gone;
}

bool RecordWriterMayLive(int recordDescriptor, const QString& recordPath)
{
    return JudgeRecordWriter(recordDescriptor, recordPath) != RecordWriter::Gone;
}

double ShareClockAge(int descriptor, const QString& folder)
{
    struct stat record;
    if (::fstat(descriptor, &record) != 0)
        return 0.0;   // unknown: taken for new, never for a killed writer's
    // The probe's name is unique to this call; it is removed at once, and
    // one a kill leaves (a hidden file of a byte or none) goes with a later
    // sweep of the folder (RemoveLeftClockProbe).
    const QString probe = folder + (folder.endsWith(QLatin1Char('/')) ? QString() : QStringLiteral("/"))
                          + QLatin1String(kClockProbeMarker)
                          + QStringLiteral("%1").arg(QRandomGenerator::global()->generate64(), kClockProbeDigits, 16,
                                                     QLatin1Char('0'));
    const QByteArray name = QFile::encodeName(probe);
    const int fd = DiskOpen(name.constData(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC | O_NOFOLLOW, 0600);
    struct stat now;
    bool probed = false;
    if (fd >= 0) {
        // Written to: a server sets the time of a write by its own clock.
        probed = DiskWrite(fd, "t", 1) == 1 && ::fstat(fd, &now) == 0;
        // A probe the card keeps is a hidden file of a byte or none, which
        // a later sweep removes as a killed judge's (RemoveLeftClockProbe).
        // Removed while still open: a FUSE volume (sshfs) then keeps it as
        // a ".fuse_hidden" one until the close, and removes that with it;
        // closed first, the removal may meet the close still under way and
        // keep that copy for good.
        if (DiskUnlink(name.constData()) != 0)
            MyQDebug("ShareClockAge(): the clock probe %s stays: %s", name.constData(), std::strerror(errno));
        ::close(fd);
    }
    if (probed)
        return Seconds(now.st_mtim) - Seconds(record.st_mtim);
    struct timespec local;
    ::clock_gettime(CLOCK_REALTIME, &local);
    return Seconds(local) - Seconds(record.st_mtim);
}

bool IsClockProbeName(const char* name)
{
    constexpr size_t marker = sizeof(kClockProbeMarker) - 1;
    if (std::strncmp(name, kClockProbeMarker, marker) != 0 || std::strlen(name) != marker + kClockProbeDigits)
        return false;
    for (const char* c = name + marker; *c; ++c) {
        if (!((*c >= '0' && *c <= '9') || (*c >= 'a' && *c <= 'f')))
            return false;
    }
    return true;
}

namespace {

// Removes the file name in folder where left (asked of it open, and of its
// path) says it was left, and the name still names the file judged.
ClockProbe RemoveLeftFile(const QString& folder, const QString& name,
                          const std::function<bool(int fd, const QString& path)>& left)
{
    const QString path = folder + (folder.endsWith(QLatin1Char('/')) ? QString() : QStringLiteral("/")) + name;
    const QByteArray encoded = QFile::encodeName(path);
    const int fd = ::open(encoded.constData(), O_RDONLY | O_CLOEXEC | O_NOFOLLOW | O_NONBLOCK);
    if (fd < 0)
        return errno == ENOENT ? ClockProbe::Gone : ClockProbe::Kept;
    const bool removed = left(fd, path) && DescriptorNamedBy(fd, path) && DiskUnlink(encoded.constData()) == 0;
    ::close(fd);
    return removed ? ClockProbe::Removed : ClockProbe::Kept;
}

} // namespace

ClockProbe RemoveLeftClockProbe(const QString& folder, const QString& name)
{
    // Its writer removes it at once: one that stood past the rule was
    // left by a kill.
    return RemoveLeftFile(folder, name, [&folder](int fd, const QString&) {
        return ShareClockAge(fd, folder) >= kRecordLiveSeconds;
    });
}

bool IsFuseHiddenName(const char* name)
{
    constexpr char kHidden[] = ".fuse_hidden";
    constexpr size_t marker = sizeof(kHidden) - 1;
    if (std::strncmp(name, kHidden, marker) != 0 || !name[marker])
        return false;
    for (const char* c = name + marker; *c; ++c) {
        if (!std::isxdigit(static_cast<unsigned char>(*c)))
            return false;
    }
    return true;
}

namespace {

std::atomic<SaveWholeJudge> g_SaveWholeJudge{nullptr};

// The head of a file of ours: a record or a mark.
bool IsRecordHead(const QByteArray& head)
{
    return head.startsWith(QByteArray(kSaveRecordMagic, int(sizeof(kSaveRecordMagic))))
           || head.startsWith(QByteArray(kRenameRecordHeader) + '\n')
           || head.startsWith(QByteArray(kMixedMarkHeader) + '\n');
}

// A record named owner in folder still belongs to a take: a listed file's
// name begins with the take's (owner without its "." and its ".nalvo-"
// ending).
bool RecordOfATake(const QString& folder, const QString& owner)
{
    const QString take = owner.mid(1).section(QStringLiteral(".nalvo-"), 0, 0);
    return !take.isEmpty()
           && !QDir(folder).entryList({take + QLatin1Char('*')}, QDir::Files | QDir::NoDotAndDotDot).isEmpty();
}

// How a file a killed removal left aside was settled (see SettleLeftAside).
enum class Aside {
    Gone,      // nothing under that name
    Settled,   // removed, or put back under its name
    Live,      // a record whose writer may live, of a save that does not stand whole
    Whole,     // a record whose writer may live, of a save that stands whole: nothing to undo
    Stays,     // its remover gone, and it could not go (its name taken, a removal refused)
};

// The file a removal moved aside to name (see RemoveNameAsChecked) and
// left there once its remover was gone: back under its own name where that
// is free, a killed writer's record so to be settled by the next load of its
// take; removed where another name holds the same bytes, a save record's
// save stands whole, or a record belongs to no take any more (or was
// emptied before its removal was refused: nothing but its name tells it);
// else kept. Its remover is gone
// when the record's lock or age says so, and for any other file when the
// folder's lock is held alone where locks reach every writer (a remover
// holds it meanwhile); elsewhere a remover holds an aside for an instant,
// and one held up there past the age rule was taken over and takes a name
// put back for one settled elsewhere (see RenameNoReplace). A save record
// whose writer may live is told Whole where its save stands whole, else
// Live: its files may be torn.
Aside SettleLeftAside(const QString& folder, const QString& name)
{
    const QString path = folder + (folder.endsWith(QLatin1Char('/')) ? QString() : QStringLiteral("/")) + name;
    const QString owner = QFileInfo(path).absolutePath() + QLatin1Char('/') + RemovalAsideOwnerName(path);
    const int fd = ::open(QFile::encodeName(path).constData(), O_RDONLY | O_CLOEXEC | O_NOFOLLOW | O_NONBLOCK);
    if (fd < 0)
        return errno == ENOENT ? Aside::Gone : Aside::Stays;
    struct stat status;
    char bytes[64];
    const ssize_t got = ::fstat(fd, &status) == 0 && S_ISREG(status.st_mode) ? ::pread(fd, bytes, sizeof(bytes), 0) : -1;
    const QByteArray head(bytes, int(qMax<ssize_t>(got, 0)));
    const bool record = got > 0 && IsRecordHead(head);
    const bool emptied = got == 0;
    bool gone = false;
    TakeFolderLock lock;
    if (got >= 0 && (record || emptied))
        gone = !RecordWriterMayLive(fd, path);
    else if (got >= 0)
        gone = !LocksReachEveryWriter(fd) || lock.Acquire(QFileInfo(path).absolutePath() + QLatin1Char('/'),
                                                          TakeFolderLock::Mode::Alone);
    // Read the same way wherever the record lies: the judge the layer
    // that reads takes set.
    const SaveWholeJudge whole = g_SaveWholeJudge.load(std::memory_order_acquire);
    const bool save = record && head.startsWith(QByteArray(kSaveRecordMagic, int(sizeof(kSaveRecordMagic))));
    const bool saved = save && whole && whole(QFileInfo(path).absolutePath(), ReadRecordBytes(fd));
    Aside settled = !gone && save ? (saved ? Aside::Whole : Aside::Live) : Aside::Stays;
    if (gone) {
        const bool remove = emptied || saved || HoldsSameBytes(path, owner) || (!record && status.st_nlink > 1)
                            || (record && !RecordOfATake(QFileInfo(path).absolutePath(), QFileInfo(owner).fileName()));
        if (remove)
            settled = DescriptorNamedBy(fd, path) && DiskUnlink(QFile::encodeName(path).constData()) == 0
                          ? Aside::Settled
                          : Aside::Stays;
        else if (!NameOnVolume(owner))
            settled = PutBackAside(path, owner) == 0 ? Aside::Settled : Aside::Stays;
    }
    ::close(fd);
    return settled;
}

} // namespace

void SetSaveWholeJudge(SaveWholeJudge judge) { g_SaveWholeJudge.store(judge, std::memory_order_release); }

ClockProbe RemoveLeftHiddenCopy(const QString& folder, const QString& name)
{
    if (IsRemovalAsideName(QFile::encodeName(name).constData())) {
        const Aside settled = SettleLeftAside(folder, name);
        return settled == Aside::Settled ? ClockProbe::Removed
               : settled == Aside::Gone  ? ClockProbe::Gone
                                         : ClockProbe::Kept;
    }
    return RemoveLeftFile(folder, name, [](int fd, const QString& path) {
        struct stat status;
        char bytes[64];
        const ssize_t got = ::fstat(fd, &status) == 0 && S_ISREG(status.st_mode) ? ::pread(fd, bytes, sizeof(bytes), 0) : -1;
        const QByteArray head(bytes, int(qMax<ssize_t>(got, 0)));
        const bool ours = got >= 0 && ((status.st_size == 1 && head == "t") || IsRecordHead(head));
        // Its writer's lock, or its age: the same rule as for a record.
        return ours && !RecordWriterMayLive(fd, path);
    });
}

RecordAside SettleRecordAsides(const QString& path)
{
    RecordAside worst = RecordAside::None;
    const QString folder = QFileInfo(path).absolutePath();
    for (const QString& aside : RemovalAsidesIn(folder)) {
        if (!IsRemovalAsideOf(aside, path))
            continue;
        RecordAside now = RecordAside::None;
        switch (SettleLeftAside(folder, QFileInfo(aside).fileName())) {
        case Aside::Gone:
        case Aside::Whole:
            break;
        case Aside::Settled:
            now = NameOnVolume(path) ? RecordAside::PutBack : RecordAside::None;
            break;
        case Aside::Live:
            now = RecordAside::Live;
            break;
        case Aside::Stays:
            now = RecordAside::Stays;
            break;
        }
        worst = std::max(worst, now);
    }
    return worst;
}

namespace RecordTexts {

QString Busy(const QString& take)
{
    return QStringLiteral("Take %1 is being saved or read by another window or program; save again in a moment.")
        .arg(take);
}

QString BusyOrInterrupted(const QString& take, int seconds)
{
    return QStringLiteral("Take %1 is being saved by another window or program, or a save of it was interrupted and "
                          "will be undone in at most %2 s; it was not read: open it again in a moment.")
        .arg(take)
        .arg(seconds);
}

QString NotRead(const QString& take)
{
    return QStringLiteral("Take %1 is being saved by another window or program and was not read; open it again in a "
                          "moment.")
        .arg(take);
}

QString NotReplaced(const QString& take)
{
    return QStringLiteral("take %1 is being saved by another window or program; nothing was replaced").arg(take);
}

QString FolderBusy(const QString& path, const QString& notDone)
{
    return QStringLiteral("%1 is being saved or read by another window or program; %2try again in a moment")
        .arg(path, notDone.isEmpty() ? QString() : notDone + QStringLiteral(", "));
}

QString WriteInProgress() { return QStringLiteral("another write to this take is in progress"); }

QString RenameBusy() { return QStringLiteral("The take is being read or written by another window or program."); }

QString TakenOver(const QString& take, const QString& disk)
{
    return QStringLiteral("Take %1 was not saved: its save record was taken over by another program or computer "
                          "before the save ended (a save held up for more than %2 s on a shared folder is taken for "
                          "an interrupted one). %3")
        .arg(take)
        .arg(kRecordLiveSeconds)
        .arg(disk);
}

QString TakeMixed(const QStringList& files)
{
    return QStringLiteral("The take's files hold parts of two saves: %1 kept part of a save that was stopped on "
                          "another computer, the other files hold a later save. Check the take's metadata and save "
                          "it again, so that every file holds the same.")
        .arg(files.join(QStringLiteral(", ")));
}

QString NotRemoved(const QString& path, const QString& why, bool undone)
{
    return QStringLiteral("The save record %1 cannot be removed (%2), so the save was %3.")
        .arg(path, why, undone ? QStringLiteral("undone") : QStringLiteral("not finished"));
}

QString RecordLeftAside(const QString& path, const QString& why, const QString& disk)
{
    return QStringLiteral("The save record %1 cannot be removed (%2): it stays beside the take under a hidden name, "
                          "and the next load of the take puts it back and undoes what it holds. %3")
        .arg(path, why, disk);
}

QString SavedRecordAside(const QString& path, const QString& why)
{
    return QStringLiteral("The take was saved, but its save record %1 cannot be removed (%2): it stays beside the "
                          "take under a hidden name until the next load of the take removes it.")
        .arg(path, why);
}

QString NotReadBack(const QString& path, const QString& why, bool undone)
{
    return QStringLiteral("The save record %1 cannot be read back (%2), so the save was %3.")
        .arg(path, why, undone ? QStringLiteral("undone") : QStringLiteral("not finished"));
}

QString SaveRecordNotWritten(const QString& why)
{
    return QStringLiteral("The save record cannot be written: %1").arg(why);
}

QString NotPutBackTakenOver(const QString& disk)
{
    return QStringLiteral("Its save record was removed or replaced by another program, so the take could not be put "
                          "back. ")
           + disk;
}

QString NotPutBackChanged(const QStringList& files)
{
    return QStringLiteral("The take could not be put back: another program changed its files meanwhile, and they may "
                          "hold part of this save:\n")
           + files.join(QLatin1Char('\n'));
}

QString PutBackAtNextLoad(const QStringList& files)
{
    return QStringLiteral("The take could not be put back yet; its next load does it:\n")
           + files.join(QLatin1Char('\n'));
}

QString FilesAsBefore() { return QStringLiteral("Its files are as they were before this save; save it again."); }

QString FilesMixed(int count, int partly, int before, int other)
{
    return QStringLiteral("Of its %1 files, %2 hold this save (or part of it), %3 are as before it and %4 were changed "
                          "by another program: select the take again, check it and save it again.")
        .arg(count)
        .arg(partly)
        .arg(before)
        .arg(other);
}

QString RemovalNotOnCard(const QString& why)
{
    return QStringLiteral("The take was saved, but the removal of its save record cannot be put on the card (%1): if "
                          "the power fails before the card is unmounted, the next load undoes this save.")
        .arg(why);
}

QString LeftSaveUndone()
{
    return QStringLiteral("An interrupted save of this take was undone: its files are as they were before that save.");
}

QString LeftSaveChanged(const QStringList& files, const QStringList& left)
{
    QString text = QStringLiteral("An interrupted save of this take could not be undone: its files were changed since "
                                  "by another program, so none was touched:\n%1")
                       .arg(files.join(QLatin1Char('\n')));
    if (!left.isEmpty())
        text += QStringLiteral("\nThese files hold part of the interrupted save:\n%1")
                    .arg(left.join(QLatin1Char('\n')));
    return text + QStringLiteral("\nCheck the take's metadata and save it again.");
}

QString LeftSaveNotUndone(const QStringList& files)
{
    return QStringLiteral("An interrupted save of this take could not be undone:\n%1")
        .arg(files.join(QLatin1Char('\n')));
}

QString LeftSaveNotRemovedForGood(const QString& why)
{
    return QStringLiteral("The record of an interrupted save of this take could not be removed for good: %1").arg(why);
}

QString LeftSaveAside()
{
    return QStringLiteral("An interrupted save of this take could not be undone: its record stands under a hidden "
                          "name beside another record of the take, so the take's files may hold parts of two saves. "
                          "Check the take's metadata and save it again.");
}

QString LeftSaveTorn(const QString& take)
{
    return QStringLiteral("%1 holds parts of an interrupted save that could not be undone, as its record beside the "
                          "take tells: check the take's files, and save it again.").arg(take);
}

namespace {

// The head of a load's or a save's refusal of a take.
QString RefusalHead(bool load)
{
    return load ? QStringLiteral("Take %1 was not read: ") : QStringLiteral("Take %1 was not saved: ");
}

} // namespace

QString LeftSaveBlocked(const QString& take, int error, bool load)
{
    // A roll-back that could not write: the card (or the files) write-protected.
    if (error == EROFS || error == EACCES || error == EPERM)
        return (RefusalHead(load) + QStringLiteral("its card is write-protected, and an interrupted save of the take "
                                                   "waits to be undone. Make the card writable and select the take "
                                                   "again%2"))
            .arg(take, load ? QStringLiteral("; nothing was written.") : QStringLiteral("."));
    return (RefusalHead(load) + QStringLiteral("an interrupted save of it could not be undone (%2)%3"))
        .arg(take, SystemErrorText(error), load ? QStringLiteral("; nothing was written.") : QStringLiteral("."));
}

QString LeftSaveUnproven(const QString& take, bool load)
{
    return (RefusalHead(load) + QStringLiteral("a save of it by an earlier version of this program was interrupted "
                                               "and cannot be undone safely: its record cannot tell that save's bytes "
                                               "past the files' old length from another program's, and the files may "
                                               "hold part of that save. Nothing was written."))
        .arg(take);
}

QString LeftSaveNotRemoved(const QString& take, const QString& why)
{
    return QStringLiteral("The record of an interrupted save of take %1 could not be removed (%2).").arg(take, why);
}

QString LeftSaveNotReplaced(const QString& take)
{
    return QStringLiteral("an interrupted save of take %1 could not be undone; nothing was replaced").arg(take);
}

QString ReplaceRecordNotWritten(const QString& job, const QString& why)
{
    return QStringLiteral("the record of the %1 cannot be written: %2").arg(job, why);
}

QString ReplaceRecordStays(const QString& job)
{
    return QStringLiteral("The record of the %1 stays: the next load of the take finishes or undoes it.").arg(job);
}

QString ReplaceRecordStaysEmpty(const QString& job)
{
    return QStringLiteral("The record of the %1 stays: the next load of the take removes it, and changes no file.")
        .arg(job);
}

QString ReplaceStoppedHalfway(const QString& job)
{
    return QStringLiteral("The %1 stopped half-way, so its files may hold part of it: its record stays, and the next "
                          "load of the take finishes or undoes it.")
        .arg(job);
}

QString Sentence(const QString& text)
{
    return text.endsWith(QLatin1Char('.')) ? text : text + QLatin1Char('.');
}

QString RenamesWaitWriteProtected(const QString& take)
{
    return QStringLiteral("Take %1 was not read: its card is write-protected, and an interrupted rename of its files "
                          "waits to be finished. Make the card writable and select the take again; nothing was "
                          "written.")
        .arg(take);
}

QString WriteNotFinished()
{
    return QStringLiteral("An interrupted write of this take could not be finished or undone.");
}

QString WriteNotSettled() { return QStringLiteral("an interrupted write of this take could not be settled"); }

QString SettledElsewhere()
{
    return QStringLiteral("another program or computer took this write for an interrupted one and settled it");
}

QString WriteTakenOver() { return SettledElsewhere() + QStringLiteral("; check the files"); }

QString NotAllPutBack(const QStringList& files)
{
    return QStringLiteral("not all files could be put back (%1): they return to their names when the take is next "
                          "opened")
        .arg(files.join(QStringLiteral(", ")));
}

} // namespace RecordTexts
