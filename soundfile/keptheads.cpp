#include "soundfile/keptheads.h"

#include <QDir>
#include <QFile>
#include <QHash>

#include <atomic>
#include <mutex>
#include <shared_mutex>

#include <sys/stat.h>

namespace {
// Past this many heads the store starts again: a day of tens of thousands
// of files is read whole again at worst.
constexpr int kMostKeptHeads = 1 << 17;

struct tyKeptHead {
    tyFileState state;
    tyTrackFileHead head;
};

// By folder (clean, ending with '/'), then by name: a day's lister asks for
// thousands of names of one folder without making a path of each.
struct tyKeptHeads {
    std::shared_mutex mutex;
    QHash<QString, QHash<QString, tyKeptHead>> folders;   // under mutex
    int nCount = 0;                                          // under mutex
    // Any thread; the count only grows.
    std::atomic<quint64> nChanged{0};
};

tyKeptHeads& KeptHeads()
{
    static tyKeptHeads kept;
    return kept;
}

// folder with one '/' at its end, as the store holds it.
QString CleanFolder(const QString& folder)
{
    QString clean = QDir::cleanPath(folder);
    if (!clean.endsWith(QLatin1Char('/')))
        clean += QLatin1Char('/');
    return clean;
}

bool SameHead(const tyTrackFileHead& a, const tyTrackFileHead& b)
{
    return a.eKind == b.eKind && a.nChannels == b.nChannels && a.bRecorder == b.bRecorder
           && a.czTakeId == b.czTakeId && a.nTrack == b.nTrack && a.bCut == b.bCut && a.nLength == b.nLength;
}
}  // namespace

void StateOfStatus(const struct stat& status, tyFileState* state)
{
    state->nDevice = status.st_dev;
    state->nInode = status.st_ino;
    state->nLength = status.st_size;
    state->changed = status.st_ctim;
    state->modified = status.st_mtim;
}

bool tyReadState::Proves(const tyFileState& now) const
{
    // Well past a tick of the coarse clock the file system stamps with.
    constexpr qint64 kMarginNs = 20 * 1000 * 1000;
    const qint64 since = (qint64(at.tv_sec) - qint64(state.changed.tv_sec)) * 1000000000
                         + (qint64(at.tv_nsec) - qint64(state.changed.tv_nsec));
    return IsKnown() && now == state && since > kMarginNs;
}

struct timespec ReadStateClock()
{
    struct timespec now = {};
    ::clock_gettime(CLOCK_REALTIME_COARSE, &now);
    return now;
}

bool ReadStateOfOpen(int fd, tyReadState* read)
{
    read->at = ReadStateClock();
    read->state = tyFileState();
    return StateOfOpen(fd, &read->state);
}

bool StateOf(const QString& path, tyFileState* state)
{
    struct stat status;
    if (::stat(QFile::encodeName(path).constData(), &status) != 0)
        return false;
    StateOfStatus(status, state);
    return true;
}

bool StateOfOpen(int fd, tyFileState* state)
{
    struct stat status;
    if (fd < 0 || ::fstat(fd, &status) != 0)
        return false;
    StateOfStatus(status, state);
    return true;
}

void KeepTrackFileHead(const QString& path, const tyFileState& state, const tyTrackFileHead& head)
{
    tyKeptHead kept{state, head};
    kept.head.nLength = state.nLength;
    const int slash = path.lastIndexOf(QLatin1Char('/'));
    const QString folder = CleanFolder(slash >= 0 ? path.left(slash + 1) : QStringLiteral("."));
    const QString name = path.mid(slash + 1);
    tyKeptHeads& heads = KeptHeads();
    std::unique_lock<std::shared_mutex> lock(heads.mutex);
    if (heads.nCount >= kMostKeptHeads) {
        heads.folders.clear();
        heads.nCount = 0;
    }
    QHash<QString, tyKeptHead>& names = heads.folders[folder];
    const auto found = names.find(name);
    if (found == names.end()) {
        names.insert(name, kept);
        ++heads.nCount;
    } else if (found->state == kept.state && SameHead(found->head, kept.head)) {
        return;
    } else {
        *found = kept;
    }
    ++heads.nChanged;
}

void RenewKeptTrackFileHead(const QString& path, const tyTrackFileHead& head)
{
    tyKeptHeads& heads = KeptHeads();
    if (heads.nChanged == 0)
        return;
    const int slash = path.lastIndexOf(QLatin1Char('/'));
    const QString folder = CleanFolder(slash >= 0 ? path.left(slash + 1) : QStringLiteral("."));
    {
        std::shared_lock<std::shared_mutex> lock(heads.mutex);
        const auto names = heads.folders.constFind(folder);
        if (names == heads.folders.constEnd() || !names->contains(path.mid(slash + 1)))
            return;
    }
    tyFileState state;
    if (StateOf(path, &state))
        KeepTrackFileHead(path, state, head);
}

bool KeptTrackFileHead(const QString& folder, const QString& name, tyTrackFileHead* head)
{
    tyKeptHeads& heads = KeptHeads();
    if (heads.nChanged == 0)
        return false;
    // A lister asks of one folder again and again: its clean form is made
    // once per thread and folder.
    thread_local QString lastFolder;
    thread_local QString lastClean;
    if (folder != lastFolder) {
        lastFolder = folder;
        lastClean = CleanFolder(folder);
    }
    tyKeptHead kept;
    {
        std::shared_lock<std::shared_mutex> lock(heads.mutex);
        const auto names = heads.folders.constFind(lastClean);
        if (names == heads.folders.constEnd())
            return false;
        const auto found = names->constFind(name);
        if (found == names->constEnd())
            return false;
        kept = *found;
    }
    tyFileState now;
    if (StateOf(lastClean + name, &now) && now == kept.state) {
        *head = kept.head;
        return true;
    }
    std::unique_lock<std::shared_mutex> lock(heads.mutex);
    auto names = heads.folders.find(lastClean);
    if (names != heads.folders.end()) {
        const auto found = names->find(name);
        if (found != names->end() && found->state == kept.state) {
            names->erase(found);
            --heads.nCount;
        }
    }
    return false;
}

tyTrackFileHead KeptOrReadTrackFileHead(const QString& folder, const QString& name)
{
    tyTrackFileHead head;
    if (KeptTrackFileHead(folder, name, &head))
        return head;
    return ReadTrackFileHead(folder + name);
}

quint64 KeptTrackFileHeadsChanged() { return KeptHeads().nChanged; }
