#include "foundation/safeoutput.h"

#include "foundation/fileutil.h"
#include "foundation/folderlock.h"
#include "foundation/messageloging.h"
#include "foundation/platform/diskcalls.h"
#include "foundation/platform/diskprobes.h"
#include "foundation/platform/filelocks.h"
#include "foundation/platform/foldernames.h"
#include "foundation/platform/nameremoval.h"
#include "foundation/recordfiles.h"
#include "foundation/replacejournal.h"

#include <QDateTime>
#include <QDir>
#include <QFileInfo>
#include <QHash>
#include <QRandomGenerator>

#include <cerrno>
#include <condition_variable>
#include <cstdio>
#include <cstring>
#include <ctime>
#include <fcntl.h>
#include <mutex>
#include <system_error>
#include <thread>
#include <sys/stat.h>
#include <unistd.h>

namespace {
// A temporary file is ".", the final name, this marker and kSuffixDigits
// lowercase hexadecimal digits. The sweep removes nothing of another shape:
// a user's ".notes.part-1" beside an output is never ours.
constexpr char kPartMarkerText[] = ".nalvo-part-";
const QLatin1String kPartMarker(kPartMarkerText);
constexpr int kSuffixDigits = 6;

// A live writer's temporary file is told from an abandoned one by the lock
// the writer holds until Commit() or Discard() (see TryTemporaryLock), which
// dies with its process.

// Folders swept lately, so a tree of many files lists each folder once.
bool SweepDue(const QString& folder)
{
    constexpr qint64 kSweepIntervalMs = 10000;
    static std::mutex mutex;
    static QHash<QString, qint64> lastSweep;   // folder -> ms since the epoch
    const qint64 now = QDateTime::currentMSecsSinceEpoch();
    std::lock_guard<std::mutex> guard(mutex);
    auto it = lastSweep.find(folder);
    if (it != lastSweep.end() && now - it.value() < kSweepIntervalMs)
        return false;
    lastSweep.insert(folder, now);
    return true;
}

}

// Hands the stretches the writer posts to the disk, one sync_file_range
// each, on a thread of its own: the submission (block allocation, building
// the requests) costs the writer nothing. Starts the writes only; a failure
// shows in the final sync.
struct SafeOutput::tyWriteback {
    explicit tyWriteback(int fd) : nFd(fd), thread([this] { Run(); }) {}
    ~tyWriteback()
    {
        {
            std::lock_guard<std::mutex> guard(mutex);
            bStop = true;
        }
        posted.notify_one();
        thread.join();
    }
    void Post(qint64 end)
    {
        {
            std::lock_guard<std::mutex> guard(mutex);
            nTarget = end;
        }
        posted.notify_one();
    }
    void Run()
    {
        qint64 done = 0;   // this thread's own
        std::unique_lock<std::mutex> lock(mutex);
        for (;;) {
            posted.wait(lock, [&] { return bStop || nTarget > done; });
            // A stopped output is closed or being removed: nothing more to start.
            if (bStop)
                return;
            const qint64 target = nTarget;
            lock.unlock();
#ifdef __linux__
            ::sync_file_range(nFd, done, target - done, SYNC_FILE_RANGE_WRITE);
#endif
            done = target;
            lock.lock();
        }
    }

    const int nFd;
    std::mutex mutex;
    std::condition_variable posted;
    qint64 nTarget = 0;   // written by the writer's thread, under mutex: the end handed on
    bool bStop = false;   // written by the writer's thread, under mutex
    std::thread thread;   // last: starts once the members above exist
};

SafeOutput::SafeOutput(const QString& finalPath, Replace replace)
    : m_czFinalPath(QFileInfo(finalPath).absoluteFilePath()), m_eReplace(replace)
{
}

SafeOutput::~SafeOutput()
{
    if (!m_bCommitted)
        Discard();
}

bool SafeOutput::Fail(Failure failure, const QString& text)
{
    m_eFailure = failure;
    m_czError = text;
    Discard();
    return false;
}

bool SafeOutput::Begin(qint64 plannedLength)
{
    const QFileInfo target(m_czFinalPath);
    if (target.isDir())
        return Fail(Failure::TargetIsFolder, QStringLiteral("the target is a folder"));
    if ((target.exists() || target.isSymLink()) && m_eReplace == Replace::Never)
        return Fail(Failure::TargetExists, QStringLiteral("the target exists"));
    if (plannedLength < 0 || (plannedLength > kMaxLength && !m_bUnbounded))
        return Fail(Failure::TooLarge, QStringLiteral("%1 bytes pass the 32-bit limit").arg(plannedLength));
    const qint64 free = FreeSpaceOfPath(target.absolutePath());
    if (free >= 0 && free < plannedLength)
        return Fail(Failure::NoRoom, QStringLiteral("%1 bytes free, %2 needed").arg(free).arg(plannedLength));

    if (SweepDue(target.absolutePath())) {
        // A killed commit's temporaries still count: its record settles them first.
        SettleReplacementsIn(target.absolutePath());
        RemoveAbandoned(target.absolutePath());
    }
    // Hidden and ending in no audio extension, so no listing takes it for a take.
    const QString stem = target.absolutePath() + QStringLiteral("/.") + target.fileName() + kPartMarker;
    if (!CreateTemporary(stem)) {
        const QString why = SystemErrorText(errno);
        m_czTempPath.clear();
        return Fail(Failure::Create, why);
    }
    m_nPlanned = plannedLength;
    return true;
}

bool SafeOutput::CreateTemporary(const QString& stem)
{
    // Each attempt under a new name: a taken one is another writer's. A
    // volume without locks keeps the file unlocked: no sweep removes
    // anything there.
    int error = 0;
    const int fd = CreateRecordFile(
        [&stem](int) {
            return stem + QStringLiteral("%1").arg(QRandomGenerator::global()->generate() & 0xFFFFFF, kSuffixDigits, 16,
                                                   QLatin1Char('0'));
        },
        RecordLockKind::Temporary, [](const QString&) { return true; }, &m_czTempPath, &error, 0666);
    if (fd < 0) {
        errno = error == EBUSY ? EEXIST : error;
        return false;
    }
    if (!m_File.open(fd, QIODevice::WriteOnly | QIODevice::Unbuffered, QFileDevice::DontCloseHandle)) {
        DiskUnlink(QFile::encodeName(m_czTempPath).constData());
        ::close(fd);
        errno = EIO;
        return false;
    }
    m_nLockFd = fd;
    return true;
}

void SafeOutput::ReleaseLock()
{
    StopWriteback();
    if (m_File.isOpen())
        m_File.close();
    // Its writes were asked at Close(), or it is being discarded.
    if (m_nLockFd >= 0)
        (void)::close(m_nLockFd);
    m_nLockFd = -1;
}

bool SafeOutput::IsTemporaryName(const char* name)
{
    return IsHiddenNameEndingIn(name, kPartMarkerText, kSuffixDigits);
}

namespace {

// Removes those of the temporary files named that no live writer holds.
//
// The sweep's lock is held from before the name is checked until after the
// unlink. A writer that has created its file but not yet locked it (see
// CreateTemporary) either finds the lock taken and makes a new name, or
// locks a file that has lost its name and makes a new one: it never goes on
// writing a file a sweep removes. Closing before the unlink would let such a
// writer lock the file between the two and then lose it.
// live, when given, receives the names a live writer holds.
int RemoveAbandonedAmong(const QString& folder, const QStringList& names, QStringList* live = nullptr)
{
    int removed = 0;
    for (const QString& name : names) {
        const QString named = folder + QLatin1Char('/') + name;
        const QByteArray path = QFile::encodeName(named);
        const int fd = ::open(path.constData(), O_RDONLY | O_CLOEXEC | O_NOFOLLOW | O_NONBLOCK);
        if (fd < 0)
            continue;
        LockTry lock = TryTemporaryLock(fd, false);
        // A free lock: the writer is gone, where locks reach every writer;
        // elsewhere another computer's writer may hold it through its own
        // mount (see LocksReachEveryWriter). The name must still be the
        // file locked (a writer may have renamed it into place meanwhile).
        if (lock == LockTry::Held && !LocksReachEveryWriter(fd))
            lock = LockTry::Unsupported;
        if (lock == LockTry::Held && DescriptorNamedBy(fd, named) && DiskUnlink(path.constData()) == 0)
            ++removed;
        ::close(fd);
        if (lock == LockTry::Busy && live)
            *live << name;
        // No lock here tells a live writer from a gone one: nothing goes.
        if (lock == LockTry::Unsupported)
            break;
    }
    return removed;
}

qint64 NowNs()
{
    timespec now{};
    ::clock_gettime(CLOCK_REALTIME, &now);
    return qint64(now.tv_sec) * 1000000000 + now.tv_nsec;
}

// The folder's modification time in ns, -1 when it cannot be read.
qint64 FolderTime(const struct stat& st) { return qint64(st.st_mtim.tv_sec) * 1000000000 + st.st_mtim.tv_nsec; }

qint64 FolderTime(const QString& folder)
{
    struct stat st;
    if (::stat(QFile::encodeName(folder).constData(), &st) != 0)
        return -1;
    return FolderTime(st);
}

QString SweepKey(const QString& folder)
{
    return folder.size() > 1 && folder.endsWith(QLatin1Char('/')) ? folder.left(folder.size() - 1) : folder;
}

struct tySwept {
    qint64 nChanged;      // the folder's time when it was listed
    qint64 nListed;       // when it was listed
    QStringList lczLive;  // the temporaries live writers held then
    bool bProbesKept;     // clock probes were left then (too young, or not removable)
};
std::mutex g_SweptMutex;
QHash<QString, tySwept> g_Swept;   // by folder; any thread, under g_SweptMutex

// One of the temporaries a sweep left to their live writers has lost its
// writer since. A killed writer changes nothing in the folder, so the
// folder's time cannot tell it; a lock tried per name left can, and costs
// a visit only while such names are left. A name gone was committed or
// discarded, which the folder's time tells.
bool LeftWriterGone(const QString& folder, const QStringList& names)
{
    for (const QString& name : names) {
        const QString named = folder + QLatin1Char('/') + name;
        const QByteArray path = QFile::encodeName(named);
        const int fd = ::open(path.constData(), O_RDONLY | O_CLOEXEC | O_NOFOLLOW | O_NONBLOCK);
        if (fd < 0)
            continue;
        const bool gone = TryTemporaryLock(fd, false) == LockTry::Held && LocksReachEveryWriter(fd);
        ::close(fd);
        if (gone)
            return true;
    }
    return false;
}

// The folder changed since its last sweep, or a writer it left lost its
// temporary. A listing made within a few seconds of a change may have
// missed a later one in the same tick of a coarse clock (2 s on some card
// file systems): it holds for a second only.
bool SweepNeeded(const QString& key, qint64 changed)
{
    constexpr qint64 kSettledNs = 3000000000;
    constexpr qint64 kRecheckNs = 1000000000;
    QStringList live;
    {
        std::lock_guard<std::mutex> guard(g_SweptMutex);
        const auto it = g_Swept.constFind(key);
        if (it == g_Swept.cend() || it->nChanged != changed)
            return true;
        if (it->nListed - changed < kSettledNs && NowNs() - it->nListed >= kRecheckNs)
            return true;
        // The probes left have aged past the rule by now: a span this
        // computer's clock measures as well as the share's.
        if (it->bProbesKept && NowNs() - it->nListed >= qint64(kRecordLiveSeconds) * 1000000000)
            return true;
        live = it->lczLive;
    }
    // Tried without the mutex: other folders' visits do not wait on these opens.
    return !live.isEmpty() && LeftWriterGone(key, live);
}

}

int SafeOutput::RemoveAbandoned(const QString& folder)
{
    QStringList names;
    for (const QString& name : QDir(folder).entryList({QLatin1String("*") + kPartMarker + QLatin1String("*")},
                                                      QDir::Files | QDir::Hidden | QDir::System)) {
        if (IsTemporaryName(QFile::encodeName(name).constData()))
            names << name;
    }
    return RemoveAbandonedAmong(folder, names);
}

bool SafeOutput::OpenToOthers()
{
    constexpr mode_t kOthers = S_IRUSR | S_IWUSR | S_IROTH | S_IWOTH;
    // Through the open temporary, without walking its path again; by the
    // path only where the descriptor cannot.
    struct stat made = {};
    if (m_nLockFd >= 0 && ::fstat(m_nLockFd, &made) == 0 && DiskFchmod(m_nLockFd, (made.st_mode & 0777) | kOthers) == 0)
        return true;
    const QByteArray path = QFile::encodeName(m_czTempPath);
    if (!m_czTempPath.isEmpty() && ::stat(path.constData(), &made) == 0
        && DiskChmod(path.constData(), (made.st_mode & 0777) | kOthers) == 0)
        return true;
    MyQDebug("SafeOutput: the mode of %s stays as made: %s", path.constData(), std::strerror(errno));
    return false;
}

bool SafeOutput::WriteAt(qint64 offset, const char* data, qint64 size)
{
    if (!m_File.isOpen() || !m_File.seek(offset))
        return Fail(Failure::Write, QStringLiteral("seek to %1 failed").arg(offset));
    return Write(data, size);
}

bool SafeOutput::Write(const char* data, qint64 size)
{
    if (!m_File.isOpen())
        return Fail(Failure::Write, QStringLiteral("the file is not open"));
    if (!m_bUnbounded && m_File.pos() + size > m_nPlanned)
        return Fail(Failure::Write, QStringLiteral("a write passes the planned length"));
    errno = 0;
    if (size > 0 && DiskWrite(m_File, data, size) != size) {
        // A short write leaves QFile without a reason: the system's is kept.
        const int why = errno;
        return Fail(Failure::Write, why != 0 ? SystemErrorText(why) : m_File.errorString());
    }
    if (m_bEarlyWriteback)
        StartWriteback();
    return true;
}

void SafeOutput::StartWriteback()
{
#ifdef __linux__
    constexpr qint64 kStretch = 8 * 1024 * 1024;
    const qint64 end = m_File.pos();
    if (end - m_nWrittenBack < kStretch)
        return;
    if (!m_pWriteback) {
        // Without a thread of its own the output is written all the same;
        // the final sync finds more to do.
        try {
            m_pWriteback = std::make_unique<tyWriteback>(m_File.handle());
        } catch (const std::system_error&) {
            m_bEarlyWriteback = false;
            return;
        }
    }
    m_pWriteback->Post(end);
    m_nWrittenBack = end;
#endif
}

void SafeOutput::StopWriteback() { m_pWriteback.reset(); }

bool SafeOutput::Close(bool sync)
{
    if (m_czTempPath.isEmpty())
        return Fail(Failure::Commit, QStringLiteral("nothing was written"));
    m_bSync = m_bSync || sync;
    StopWriteback();
    if (!m_File.isOpen())
        return true;
    if (!m_File.flush())
        return Fail(Failure::Commit, m_File.errorString());
    m_File.close();   // the descriptor stays open: it holds the lock
    if (m_File.error() != QFileDevice::NoError)
        return Fail(Failure::Commit, m_File.errorString());
    // A network volume may report a failed write only at a close: a second
    // descriptor of the file, closed now, asks it while the first keeps the
    // lock (a lock of the open file, which that close leaves alone).
    const int second = ::fcntl(m_nLockFd, F_DUPFD_CLOEXEC, 0);
    if (second < 0 || DiskClose(second) != 0)
        return Fail(Failure::Commit, SystemErrorText(errno));
    return true;
}

bool SafeOutput::RenameIntoPlace()
{
    if (m_eReplace == Replace::Existing)
        return DiskRename(QFile::encodeName(m_czTempPath).constData(), QFile::encodeName(m_czFinalPath).constData()) == 0;
    return RenameNoReplace(m_czTempPath, m_czFinalPath);
}

bool SafeOutput::Commit()
{
    if (m_czTempPath.isEmpty())
        return Fail(Failure::Commit, QStringLiteral("nothing was written"));
    if (m_File.isOpen() && !Close(m_bSync))
        return false;
    if (m_bSync) {
        // By path: a metadata pass may have written the file after Close().
        const int fd = DiskOpen(QFile::encodeName(m_czTempPath).constData(), O_RDONLY | O_CLOEXEC);
        const int error = fd < 0 ? errno : SyncFiles({fd});
        if (fd >= 0)
            ::close(fd);
        if (error != 0)
            return Fail(Failure::Commit, QStringLiteral("syncing to the disk: %1").arg(SystemErrorText(error)));
    }
    // The temporary's length through the descriptor that holds its lock:
    // the same file, without walking its path again.
    struct stat written;
    const qint64 length = m_nLockFd >= 0 && ::fstat(m_nLockFd, &written) == 0 ? qint64(written.st_size)
                                                                               : QFileInfo(m_czTempPath).size();
    if (length > kMaxLength && !m_bUnbounded)
        return Fail(Failure::TooLarge, QStringLiteral("%1 bytes pass the 32-bit limit").arg(length));
    if (QFileInfo(m_czFinalPath).isDir())
        return Fail(Failure::TargetIsFolder, QStringLiteral("the target is a folder"));
    if (!RenameIntoPlace())
        return Fail(Failure::Commit, SystemErrorText(errno));
    m_bCommitted = true;
    ReleaseLock();
    // The new name on the disk too; a power cut could still undo it.
    if (m_bSync) {
        if (const int error = SyncFolder(QFileInfo(m_czFinalPath).absolutePath())) {
            m_eFailure = Failure::Commit;
            m_czError = QStringLiteral("syncing its folder to the disk: %1").arg(SystemErrorText(error));
            return false;
        }
    }
    return true;
}

void SafeOutput::Discard()
{
    if (m_bCommitted)
        return;
    StopWriteback();
    if (m_File.isOpen())
        m_File.close();
    // Removed before the lock goes, so no sweep meets a half-removed file.
    if (!m_czTempPath.isEmpty())
        DiskUnlink(QFile::encodeName(m_czTempPath).constData());   // one that stays is swept once its lock goes
    m_czTempPath.clear();
    ReleaseLock();
}

void SafeOutput::LeaveToRecord()
{
    if (m_bCommitted)
        return;
    m_czTempPath.clear();
    ReleaseLock();
}

namespace {
// The regular file at path holds bytes and nothing else, as read now.
bool FileHolds(const QString& path, const QByteArray& bytes)
{
    const QFileInfo info(path);
    if (!info.isFile() || info.size() != bytes.size())
        return false;
    QFile file(path);
    return file.open(QIODevice::ReadOnly) && file.readAll() == bytes && file.error() == QFileDevice::NoError;
}
}  // namespace

QString ReplaceFileWhole(const QString& path, const QByteArray& bytes, bool* replaced, SafeOutput::Replace replace)
{
    if (replaced)
        *replaced = false;
    // Nothing to change: a full or locked card has nothing to refuse, and
    // the file keeps its time.
    if (FileHolds(path, bytes))
        return QString();
    SafeOutput output(path, replace);
    bool ok = output.Begin(bytes.size()) && output.Write(bytes.constData(), bytes.size()) && output.Close(true);
    QString why;
    if (ok) {
        // What the volume holds, not what the writes answered.
        if (!FileHolds(output.TemporaryPath(), bytes)) {
            output.Discard();
            ok = false;
            why = QStringLiteral("the file written reads back otherwise");
        } else {
            ok = output.Commit();
        }
    }
    if (replaced)
        *replaced = output.IsCommitted();
    if (ok)
        return QString();
    if (why.isEmpty())
        why = output.ErrorText().isEmpty() ? QStringLiteral("the write failed") : output.ErrorText();
    return why;
}

// ---- Sweeps as folders are visited ---------------------------------------------------

FolderSweep::FolderSweep(const QString& folder)
    : m_czFolder(SweepKey(folder)), m_nChanged(FolderTime(m_czFolder)), m_nListed(NowNs())
{
}

namespace {
constexpr char kRenameRecordSuffix[] = ".nalvo-commit";
}  // namespace

void FolderSweep::OfferHidden(const char* name)
{
    static constexpr char kTaken[] = ".nalvo-commit.taken";   // its TakenOverRecordPath: settled as the record
    static_assert(sizeof(kTaken) > sizeof(kRenameRecordSuffix), "the take-over name ends the record's");
    const size_t length = std::strlen(name);
    const auto endsWith = [&](const char* suffix, size_t size) {
        return length > size - 1 && std::strcmp(name + length - (size - 1), suffix) == 0;
    };
    if (endsWith(kRenameRecordSuffix, sizeof(kRenameRecordSuffix)))
        m_lczRecords << QFile::decodeName(name);
    else if (endsWith(kTaken, sizeof(kTaken)))
        m_lczRecords << QFile::decodeName(name).chopped(int(sizeof(kTaken) - sizeof(kRenameRecordSuffix)));
    else if (SafeOutput::IsTemporaryName(name))
        m_lczFound << QFile::decodeName(name);
    else if (IsClockProbeName(name) || IsFuseHiddenName(name) || IsRemovalAsideName(name))
        m_lczProbes << QFile::decodeName(name);
}

int FolderSweep::Finish()
{
    // What killed removals left goes first: a rename record a killed
    // removal left aside goes back under its name, and is settled with the
    // others below, in this one visit.
    int removed = 0;
    bool probesKept = false;
    for (const QString& probe : m_lczProbes) {
        const ClockProbe left = IsClockProbeName(QFile::encodeName(probe).constData())
                                    ? RemoveLeftClockProbe(m_czFolder, probe)
                                    : RemoveLeftHiddenCopy(m_czFolder, probe);
        removed += left == ClockProbe::Removed;
        probesKept = probesKept || left == ClockProbe::Kept;
        const QString owner = RemovalAsideOwnerName(probe);
        if (owner.endsWith(QLatin1String(kRenameRecordSuffix)) && !m_lczRecords.contains(owner)
            && NameOnVolume(m_czFolder + QLatin1Char('/') + owner))
            m_lczRecords << owner;
    }
    m_lczProbes.clear();
    for (const QString& record : m_lczRecords) {
        const Replacement settled = SettleReplacementAlone(m_czFolder + QLatin1Char('/') + record);
        if (settled == Replacement::Busy || settled == Replacement::Failed)
            return 0;
    }
    QStringList live;
    removed += m_lczFound.isEmpty() ? 0 : RemoveAbandonedAmong(m_czFolder, m_lczFound, &live);
    m_lczFound.clear();
    if (m_nChanged >= 0) {
        std::lock_guard<std::mutex> guard(g_SweptMutex);
        // A bound for a long session of many folders.
        if (g_Swept.size() >= 4096)
            g_Swept.clear();
        g_Swept.insert(m_czFolder, {m_nChanged, m_nListed, live, probesKept});
    }
    return removed;
}

bool FolderSweep::Needed(const QString& folder, const struct stat& status)
{
    return SweepNeeded(SweepKey(folder), FolderTime(status));
}

int FolderSweep::Visit(const QString& folder)
{
    const QString key = SweepKey(folder);
    const qint64 changed = FolderTime(key);
    if (changed < 0 || !SweepNeeded(key, changed))
        return 0;
    FolderSweep sweep(key);
    if (!VisitEntryNames(key, [&sweep](const char* name) {
            sweep.Offer(name);
            return true;
        }))
        return 0;
    return sweep.Finish();
}
