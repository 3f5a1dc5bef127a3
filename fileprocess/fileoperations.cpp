// Request building and the plain file operations of the copy worker.
#include "fileprocess/processnaming.h"
#include "fileprocess/qfilecopierthread.h"
#include "foundation/fileutil.h"
#include "foundation/messageloging.h"
#include "foundation/platform/diskcalls.h"
#include "foundation/qpath.h"
#include "foundation/replacejournal.h"
#include "foundation/safeoutput.h"
#include "processing/takeoperation.h"

#include <QDir>
#include <QDirIterator>
#include <QFile>
#include <QFileInfo>
#include <QRandomGenerator>

#include <cerrno>
#include <cstdio>
#include <fcntl.h>
#include <algorithm>
#include <memory>
#include <sys/stat.h>
#include <unistd.h>
#include <vector>

namespace {
bool Exists(const QString& path)
{
    const QFileInfo info(path);
    return info.exists() || info.isSymLink();
}

// Source and destination are one file (device and inode), without
// resolving every path component as QFileInfo's comparison does.
bool SameFile(const QString& a, const QString& b)
{
    struct stat sa, sb;
    return ::stat(QFile::encodeName(a).constData(), &sa) == 0 && ::stat(QFile::encodeName(b).constData(), &sb) == 0
           && sa.st_dev == sb.st_dev && sa.st_ino == sb.st_ino;
}

// A symbolic link at path that points to target; false (errno set) when
// the name is taken or the volume refuses links.
bool MakeLink(const QString& target, const QString& path)
{
    return DiskSymlink(QFile::encodeName(target).constData(), QFile::encodeName(path).constData()) == 0;
}

bool Unlink(const QString& path) { return DiskUnlink(QFile::encodeName(path).constData()) == 0; }

// A symbolic link at a temporary name renamed over the destination, so an
// existing file or link of that name is replaced only by a complete link.
// A folder is never replaced.
bool ReplaceWithLink(const QString& target, const QString& destination)
{
    if (QFileInfo(destination).isDir() && !QFileInfo(destination).isSymLink())
        return false;
    const QFileInfo info(destination);
    const QString temp = info.absolutePath() + QStringLiteral("/.") + info.fileName() + QStringLiteral(".link-")
                         + QString::number(QRandomGenerator::global()->generate() & 0xFFFFFF, 16);
    if (!MakeLink(target, temp))
        return false;
    if (DiskRename(QFile::encodeName(temp).constData(), QFile::encodeName(destination).constData()) != 0) {
        // A temporary link the card keeps goes with the next copy into
        // this folder (SettleReplacementsIn); the destination is untouched.
        const int why = errno;
        if (!Unlink(temp))
            MyQDebug("ReplaceWithLink(): the temporary link %s stays: %s", qPrintable(temp),
                     qPrintable(SystemErrorText(errno)));
        errno = why;
        return false;
    }
    return true;
}

// What killed runs left in a destination folder (and below it): their
// interrupted replacements settled, their temporaries and temporary links
// removed.
void SettleFolders(const QString& root, bool below)
{
    QStringList folders{root};
    QDirIterator it(root, QDir::Dirs | QDir::Hidden | QDir::NoDotAndDotDot | QDir::NoSymLinks,
                    QDirIterator::Subdirectories);
    while (below && it.hasNext())
        folders << it.next();
    for (const QString& folder : folders) {
        SettleReplacementsIn(folder);
        SafeOutput::RemoveAbandoned(folder);
    }
}
}

// ---- Gathering ---------------------------------------------------------------------

void QFileCopierThread::createRequest(Task task)
{
    Request r;
    r.type = task.type;
    r.source = QDir::cleanPath(QFileInfo(task.source).absoluteFilePath());
    if (!task.destination.isEmpty()) {
        const QFileInfo dest(task.destination);
        if (dest.isDir()) {
            r.destination = procname::TargetInFolder(dest.absoluteFilePath(), r.source, task.flags);
            if (task.flags & (QFileCopier::CopyInterleave | QFileCopier::ProcessInterleave
                              | QFileCopier::ProcessInterleaveRotate))
                MyQDebug("%s %s %s",
                         (task.flags & QFileCopier::ProcessInterleaveRotate) ? "CopyInterleaveRotate"
                                                                               : "CopyInterleave",
                         IsMonoFile(r.source) ? "true" : "false", qPrintable(r.source));
        } else {
            r.destination = QDir::cleanPath(dest.absoluteFilePath());
        }
    }
    r.flags = task.flags;
    const int id = addRequestToQueue(r);
    if (id == -1)
        return;
    std::lock_guard<WorkerLock> guard(lock);
    requestQueue.append(id);
    topRequestIds.append(id);
}

int QFileCopierThread::addRequestToQueue(Request request)
{
    int id;
    {
        std::lock_guard<WorkerLock> guard(lock);
        id = requests.size();
        requests.append(request);
    }
    if (!checkRequest(id)) {
        refuseTakeMember(request);
        return -1;
    }
    Request r = this->request(id);
    bool renameAll;
    {
        std::lock_guard<WorkerLock> guard(lock);
        renameAll = renameAllRequest;
    }
    if ((r.rename || renameAll) && !r.destination.isEmpty() && Exists(r.destination))
        r.destination = procname::RenamedTarget(r.destination);
    const QFileInfo source(r.source);
    // A link to a folder is itself re-created, moved or removed; only a copy
    // that follows links walks into the folder it points to.
    r.isDir = source.isDir()
              && (!source.isSymLink() || (r.type == Task::Copy && (r.flags & QFileCopier::FollowLinks)));
    r.size = r.isDir ? 0 : source.size();
    {
        std::lock_guard<WorkerLock> guard(lock);
        m_totalSize += r.size;
        r.canceled = requests.at(id).canceled;
        requests[id] = r;
    }
    joinTake(id, r);
    const bool expand = r.isDir && r.type != Task::Link
                        && (r.type != Task::Move || (r.flags & QFileCopier::CopyOnMove));
    if (expand) {
        // Children in inode order, as cp does: on a cold card the entries
        // are then read in the order they lie on the disk, not the listing's.
        struct Entry {
            QString path, name;
            quint64 inode;
        };
        std::vector<Entry> entries;
        QDirIterator it(r.source, QDir::Dirs | QDir::Files | QDir::Drives | QDir::Hidden | QDir::NoDotAndDotDot);
        while (it.hasNext()) {
            it.next();
            struct stat st;
            const bool known = ::lstat(QFile::encodeName(it.filePath()).constData(), &st) == 0;
            entries.push_back(Entry{it.filePath(), it.fileName(), known ? quint64(st.st_ino) : 0});
        }
        std::stable_sort(entries.begin(), entries.end(),
                         [](const Entry& a, const Entry& b) { return a.inode < b.inode; });
        QList<int> children;
        for (const Entry& entry : entries) {
            Request child;
            child.type = r.type;
            child.flags = r.flags;
            child.source = QDir::cleanPath(entry.path);
            if (!r.destination.isEmpty())
                child.destination = r.destination + QLatin1Char('/') + entry.name;
            const int childId = addRequestToQueue(child);
            if (childId != -1)
                children.append(childId);
        }
        std::lock_guard<WorkerLock> guard(lock);
        requests[id].childRequests = children;
    }
    return id;
}

bool QFileCopierThread::checkRequest(int id)
{
    int previous;
    {
        std::lock_guard<WorkerLock> guard(lock);
        previous = currentId;
        currentId = id;
    }
    QFileCopier::Error error;
    for (;;) {
        const Request r = request(id);
        const QFileInfo source(r.source);
        const QFileInfo dest(r.destination);
        MyQDebug("checkRequest %s %s", qPrintable(r.source), qPrintable(r.destination));
        bool renameAll, overwriteAll, mergeAll;
        {
            std::lock_guard<WorkerLock> guard(lock);
            renameAll = renameAllRequest;
            overwriteAll = overwriteAllRequest;
            mergeAll = mergeAllRequest;
        }
        bool ok = true;
        error = QFileCopier::NoError;
        if (r.canceled) {
            error = QFileCopier::Canceled;
        } else if (!source.exists() && !source.isSymLink()) {
            error = QFileCopier::SourceNotExists;
            ok = false;
        } else if (r.rename) {
        } else if (!renameAll && !r.destination.isEmpty() && SameFile(r.source, r.destination)) {
            error = QFileCopier::DestinationAndSourceEqual;
            ok = false;
        } else if (renameAll || r.overwrite || overwriteAll || (r.flags & QFileCopier::Force) || r.merge
                   || mergeAll) {
        } else if (!r.destination.isEmpty() && (dest.exists() || dest.isSymLink())) {
            // Refused, but a rerun of a killed copy still cleans up after it.
            const bool folder = dest.isDir() && !dest.isSymLink();
            SettleFolders(folder ? r.destination : dest.absolutePath(), folder);
            error = QFileCopier::DestinationExists;
            ok = false;
        }
        if (interact(id, r, ok, error))
            break;
    }
    std::lock_guard<WorkerLock> guard(lock);
    currentId = previous;
    return error == QFileCopier::NoError;
}

// ---- Takes copied whole ------------------------------------------------------------

QString QFileCopierThread::takeKey(const Request& request)
{
    constexpr QFileCopier::CopyFlags audio =
        QFileCopier::CopyInterleave | QFileCopier::CopyMixdown | QFileCopier::ProcessMixdown
        | QFileCopier::ProcessInterleave | QFileCopier::ProcessInterleaveRotate;
    if (request.type != Task::Copy || request.isDir || (request.flags & audio) || request.destination.isEmpty()
        || !IsMonoFile(request.destination))
        return QString();
    // A link that is re-created, not copied, is no member.
    if (QFileInfo(request.source).isSymLink() && !(request.flags & QFileCopier::FollowLinks))
        return QString();
    return AudioPathFileShortenedToRacine(request.destination);
}

QFileCopierThread::TakeCopy* QFileCopierThread::openTake(const Request& request)
{
    const QString key = takeKey(request);
    if (key.isEmpty())
        return nullptr;
    TakeCopy*& take = openTakes[key];
    if (!take) {
        takeCopies.push_back(std::make_unique<TakeCopy>());
        take = takeCopies.back().get();
        take->key = key;
    }
    return take;
}

void QFileCopierThread::joinTake(int id, const Request& request)
{
    TakeCopy* take = openTake(request);
    if (!take)
        return;
    take->members.append(id);
    take->size += request.size;
    takeOfRequest.insert(id, take);
}

void QFileCopierThread::refuseTakeMember(const Request& request)
{
    // The take would miss this member: none of it is copied.
    TakeCopy* take = openTake(request);
    if (!take)
        return;
    if (take->failure == QFileCopier::NoError)
        take->failure = QFileCopier::Canceled;
    take->outputs.DiscardAll();
}

void QFileCopierThread::settleTakeMember(int id, QFileCopier::Error error)
{
    TakeCopy* take = takeOfRequest.value(id);
    if (!take)
        return;
    ++take->finished;
    if (error != QFileCopier::NoError && take->failure == QFileCopier::NoError) {
        take->failure = error;
        take->outputs.DiscardAll();
    }
    if (take->finished >= take->members.size() && openTakes.value(take->key) == take)
        openTakes.remove(take->key);
}

void QFileCopierThread::dropTakes()
{
    openTakes.clear();
    takeOfRequest.clear();
    takeCopies.clear();   // removes the temporaries of takes left unfinished
}

// Before the first byte of a folder copy: room for every file below it that
// will be written. A file whose destination exists and is not to be replaced
// is skipped or asked about, and a link that is not followed holds no data:
// neither counts. A replaced file counts whole (its new bytes stand beside
// the old ones until they take the name). Too little room is told as such.
bool QFileCopierThread::roomForTree(const Request& request)
{
    QList<Request> files;
    {
        std::lock_guard<WorkerLock> guard(lock);
        QList<int> pending = request.childRequests;
        while (!pending.isEmpty()) {
            const Request& r = requests.at(pending.takeLast());
            if (!r.isDir && !r.canceled)
                files << r;
            pending.append(r.childRequests);
        }
    }
    qint64 need = 0;
    for (const Request& r : files) {
        const bool link = !(r.flags & QFileCopier::FollowLinks) && QFileInfo(r.source).isSymLink();
        if (!link && (!Exists(r.destination) || shouldOverwrite(r)))
            need += r.size;
    }
    const qint64 free = FreeSpaceOfPath(request.destination);
    if (free < 0 || free >= need)
        return true;
    takeop::Report("File Process", QStringLiteral("Not enough disk space on drive\n%1\nProcess stopped.")
                                             .arg(QPath(request.destination).GetDrive()));
    return false;
}

bool QFileCopierThread::shouldMerge(const Request& request) const
{
    std::lock_guard<WorkerLock> guard(lock);
    return request.merge || mergeAllRequest;
}

bool QFileCopierThread::shouldOverwrite(const Request& request) const
{
    std::lock_guard<WorkerLock> guard(lock);
    return request.overwrite || overwriteAllRequest || (request.flags & QFileCopier::Force);
}

bool QFileCopierThread::shouldRename(const Request& request) const
{
    std::lock_guard<WorkerLock> guard(lock);
    return request.rename || renameAllRequest;
}

// ---- Copying -----------------------------------------------------------------------

// An existing destination is never removed ahead of the work: a file is
// replaced when its new content is complete (a failed copy keeps the old
// one), a folder is filled in place, and a file never replaces a folder.
bool QFileCopierThread::processRequest(const Request& request, QFileCopier::Error* error)
{
    if (request.canceled) {
        *error = QFileCopier::Canceled;
        return true;
    }
    switch (request.type) {
    case Task::Copy:
        return copy(request, error);
    case Task::Move:
        return move(request, error);
    case Task::Remove:
        return remove(request, error);
    case Task::Link:
        return link(request, error);
    default:
        return true;
    }
}

bool QFileCopierThread::link(const Request& request, QFileCopier::Error* error)
{
    const bool replace = shouldOverwrite(request) && Exists(request.destination);
    if (replace ? ReplaceWithLink(request.source, request.destination) : MakeLink(request.source, request.destination))
        return true;
    *error = QFileCopier::CannotCreateSymLink;
    return false;
}

bool QFileCopierThread::createDir(const Request& request, QFileCopier::Error* error)
{
    const QFileInfo dest(request.destination);
    if (dest.isDir() && (shouldMerge(request) || shouldOverwrite(request)))
        return true;
    if (!dest.exists() && MakeFolderPath(request.destination) == 0)
        return true;
    if (dest.isDir())
        return true;
    *error = QFileCopier::CannotCreateDestinationDirectory;
    return false;
}

bool QFileCopierThread::copy(const Request& request, QFileCopier::Error* error)
{
    if (request.isDir) {
        bool topLevel;
        {
            std::lock_guard<WorkerLock> guard(lock);
            topLevel = topRequestIds.contains(currentId);
        }
        if (topLevel && !roomForTree(request)) {
            *error = QFileCopier::CannotWriteDestinationFile;
            return false;
        }
        if (!createDir(request, error))
            return false;
        for (int child : request.childRequests)
            handle(child);
        return true;
    }
    const QFileCopier::CopyFlags f = request.flags;
    if (f & QFileCopier::CopyInterleave)
        return copyInterleave(request, error);
    if (f & QFileCopier::CopyMixdown)
        return copyMixdown(request, error);
    if (f & QFileCopier::ProcessMixdown)
        return processMixdown(request, error);
    if (f & QFileCopier::ProcessInterleave)
        return processInterleave(request, error);
    if (f & QFileCopier::ProcessInterleaveRotate)
        return processInterleaveRotate(request, error);
    return copyFile(request, error);
}

void QFileCopierThread::emitFileProgress(qint64 done, qint64 size, qint64* reportedSize, qint64* reportedDone)
{
    qint64 total, totalSize;
    {
        std::lock_guard<WorkerLock> guard(lock);
        if (currentId >= 0 && currentId < requests.size())
            requests[currentId].size = size;
        m_totalSize += size - *reportedSize;
        m_totalProgress += done - *reportedDone;
        total = m_totalProgress;
        totalSize = m_totalSize;
    }
    *reportedSize = size;
    *reportedDone = done;
    progressDue.store(false, std::memory_order_relaxed);
    sendProgress(done, size, total, totalSize, 1);
}

bool QFileCopierThread::copyFile(const Request& request, QFileCopier::Error* error)
{
    // A killed copy into this folder is settled before anything is written there.
    const QString folder = QFileInfo(request.destination).absolutePath();
    if (!settledFolders.contains(folder)) {
        settledFolders.insert(folder);
        SettleReplacementsIn(folder);
    }
    QString sourcePath = request.source;
    const QFileInfo sourceInfo(sourcePath);
    if (sourceInfo.isSymLink()) {
        sourcePath = sourceInfo.symLinkTarget();
        if (!(request.flags & QFileCopier::FollowLinks)) {
            const bool replace = shouldOverwrite(request) && Exists(request.destination);
            if (replace ? ReplaceWithLink(sourcePath, request.destination) : MakeLink(sourcePath, request.destination))
                return true;
            *error = QFileCopier::CannotCreateSymLink;
            return false;
        }
    }
    QFile source(sourcePath);
    if (!source.open(QIODevice::ReadOnly | QIODevice::Unbuffered)) {
        *error = QFileCopier::CannotOpenSourceFile;
        return false;
    }
    // One look at the open source gives its length and its kind.
    struct stat sourceStatus = {};
    const bool sourceKnown = ::fstat(source.handle(), &sourceStatus) == 0;
    qint64 size = sourceKnown ? qint64(sourceStatus.st_size) : source.size();
    TakeCopy* take;
    {
        std::lock_guard<WorkerLock> guard(lock);
        take = takeOfRequest.value(currentId);
    }
    if (take && take->failure != QFileCopier::NoError) {
        *error = QFileCopier::Canceled;   // another member failed: the take is not copied
        return true;
    }
    if (take && !take->roomChecked) {
        const qint64 free = FreeSpaceOfPath(QFileInfo(request.destination).absolutePath());
        if (free >= 0 && free < take->size) {
            *error = QFileCopier::CannotWriteDestinationFile;
            return false;
        }
        take->roomChecked = true;
    }
    // Written under a hidden temporary name, renamed over the destination only
    // when complete: a cancel, a failed read or write, a full disk leave no
    // partial file and keep an older destination.
    auto output = std::make_unique<SafeOutput>(
        request.destination, shouldOverwrite(request) ? SafeOutput::Replace::Existing : SafeOutput::Replace::Never);
    SafeOutput& out = *output;
    out.SetUnbounded();
    if (!out.Begin(size)) {
        switch (out.LastFailure()) {
        case SafeOutput::Failure::TargetIsFolder: *error = QFileCopier::CannotRemoveDestinationFile; break;
        case SafeOutput::Failure::TargetExists: *error = QFileCopier::DestinationExists; break;
        case SafeOutput::Failure::NoRoom: *error = QFileCopier::CannotWriteDestinationFile; break;
        default: *error = QFileCopier::CannotOpenDestinationFile; break;
        }
        return false;
    }
    // Readable and writable by others, as the copier has always left its
    // files; a mode the volume does not keep leaves the copy whole all the same.
    out.OpenToOthers();

    // A regular source is copied inside the kernel (no trip through user
    // memory, as cp does) in slices small enough for a prompt cancel and
    // progress; a pipe, or a file system that cannot, goes block by block.
    constexpr qint64 kBuffer = 0x20000;
    constexpr qint64 kKernelSlice = 8 << 20;
    const bool regular = sourceKnown ? S_ISREG(sourceStatus.st_mode) : QFileInfo(sourcePath).isFile();
    bool kernelCopy = regular && out.Handle() >= 0 && source.handle() >= 0;
    if (regular)
        ::posix_fadvise(source.handle(), 0, 0, POSIX_FADV_SEQUENTIAL);
    std::unique_ptr<char[]> buffer;
    qint64 done = 0, reportedSize = size, reportedDone = 0;
    for (;;) {
        if (cancelPending(request)) {
            *error = QFileCopier::Canceled;
            return true;   // out's destructor removes the temporary file
        }
        qint64 n;
        if (kernelCopy) {
            n = DiskCopyFileRange(source.handle(), nullptr, out.Handle(), nullptr, size_t(kKernelSlice), 0);
            if (n < 0 && done == 0 && (errno == EXDEV || errno == ENOSYS || errno == EINVAL || errno == EOPNOTSUPP)) {
                kernelCopy = false;
                continue;
            }
            if (n < 0) {
                const bool full = errno == ENOSPC || errno == EFBIG || errno == EDQUOT || errno == EROFS;
                *error = full ? QFileCopier::CannotWriteDestinationFile : QFileCopier::CannotReadSourceFile;
                return false;
            }
        } else {
            if (!buffer)
                buffer.reset(new char[kBuffer]);
            n = source.read(buffer.get(), kBuffer);
            if (n < 0) {
                *error = QFileCopier::CannotReadSourceFile;
                return false;
            }
            if (n > 0 && !out.Write(buffer.get(), n)) {
                *error = QFileCopier::CannotWriteDestinationFile;
                return false;
            }
        }
        done += n;
        size = qMax(size, done);
        if (n == 0 && take) {
            if (!out.Close()) {
                *error = QFileCopier::CannotWriteDestinationFile;
                return false;
            }
            take->outputs.Adopt(std::move(output));
            if (take->finished + 1 >= take->members.size()) {
                // The renaming step: the take's members take their final
                // names one rename after another, with nothing else done in
                // between. A kill inside this short step is the only way a
                // part of the take can show under final names.
                if (!take->outputs.CommitAll()) {
                    MyQDebug("copy of take %s: %s", qPrintable(take->key), qPrintable(take->outputs.ErrorText()));
                    take->failure = QFileCopier::CannotWriteDestinationFile;
                    *error = take->failure;
                    return false;
                }
            }
            emitFileProgress(done, size, &reportedSize, &reportedDone);
            return true;
        }
        if (n == 0) {
            if (!out.Close() || !out.Commit()) {
                *error = out.LastFailure() == SafeOutput::Failure::TargetIsFolder
                             ? QFileCopier::CannotRemoveDestinationFile
                             : out.LastFailure() == SafeOutput::Failure::Commit && !shouldOverwrite(request)
                                       && Exists(request.destination)
                                   ? QFileCopier::DestinationExists
                                   : QFileCopier::CannotWriteDestinationFile;
                return false;
            }
            emitFileProgress(done, size, &reportedSize, &reportedDone);
            return true;
        }
        if (progressDue.load(std::memory_order_relaxed))
            emitFileProgress(done, size, &reportedSize, &reportedDone);
    }
}

bool QFileCopierThread::move(const Request& request, QFileCopier::Error* error)
{
    if (!(request.flags & QFileCopier::CopyOnMove)) {
        const QFileInfo dest(request.destination);
        bool moved = false;
        if (shouldOverwrite(request) && Exists(request.destination)) {
            // rename(2) replaces a file atomically; a folder is never replaced by a file.
            moved = !(dest.isDir() && !QFileInfo(request.source).isDir())
                    && DiskRename(QFile::encodeName(request.source).constData(),
                                QFile::encodeName(request.destination).constData()) == 0;
        } else if (RenameNoReplace(request.source, request.destination)) {
            moved = true;
        } else if (errno == EXDEV && !request.isDir) {
            // Another volume: the file is copied under a temporary name and
            // its source removed once the copy is whole, as CopyOnMove does.
            return copyThenRemove(request, error);
        }
        if (!moved)
            *error = QFileCopier::CannotRename;
        return moved;
    }
    if (request.isDir) {
        if (!createDir(request, error))
            return false;
        for (int child : request.childRequests)
            handle(child);
        if (DiskRmdir(QFile::encodeName(request.source).constData()) != 0) {
            *error = QFileCopier::CannotRemoveSource;
            return false;
        }
        return true;
    }
    return copyThenRemove(request, error);
}

bool QFileCopierThread::copyThenRemove(const Request& request, QFileCopier::Error* error)
{
    QFileCopier::Error copyError = QFileCopier::NoError;
    if (!copyFile(request, &copyError)) {
        *error = copyError;
        return false;
    }
    if (copyError != QFileCopier::NoError) {
        *error = copyError;   // cancelled: the source stays
        return true;
    }
    return remove(request, error);
}

bool QFileCopierThread::remove(const Request& request, QFileCopier::Error* error)
{
    const QFileInfo info(request.source);
    if (request.isDir && request.type == Task::Remove) {
        for (int child : request.childRequests)
            handle(child);
        if (DiskRmdir(QFile::encodeName(request.source).constData()) != 0) {
            *error = QFileCopier::CannotRemoveSource;
            return false;
        }
        return true;
    }
    bool ok = true;
    if (info.isSymLink() && (request.flags & QFileCopier::FollowLinks))
        ok = Unlink(info.symLinkTarget());
    ok = Unlink(request.source) && ok;
    if (!ok)
        *error = QFileCopier::CannotRemoveSource;
    return ok;
}
