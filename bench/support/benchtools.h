#ifndef NALVO_BENCH_BENCHTOOLS_H
#define NALVO_BENCH_BENCHTOOLS_H

// What every benchmark program needs around its own measurements: clocks,
// a robust pick of repeated runs, a warm page cache, and the peer tools run
// as child processes.
#include <QByteArray>
#include <QElapsedTimer>
#include <QList>
#include <QString>
#include <QStringList>

class QProcess;

#include <algorithm>
#include <functional>
#include <vector>

namespace bench {

inline double Seconds(const QElapsedTimer& timer) { return timer.nsecsElapsed() / 1e9; }
inline double Milliseconds(const QElapsedTimer& timer) { return timer.nsecsElapsed() / 1e6; }

// The middle value of the runs (the upper one of two middles).
double Median(std::vector<double> values);

// The shortest of runs calls of f (each returns its own time): the figure
// least disturbed by whatever else the machine does.
template <typename F>
double Best(int runs, F f)
{
    double best = 1e30;
    for (int i = 0; i < runs; ++i)
        best = std::min(best, f());
    return best;
}

// Runs the sides (ours, the peer, the bound ...) in turn, pairs rounds of
// them, so that whatever else the machine does falls on every side alike.
// The times of each side, one per round, in the order of the sides.
std::vector<std::vector<double>> Alternate(int rounds, const std::vector<std::function<double()>>& sides);
// The median of the round by round ratios a[i] / b[i].
double MedianRatio(const std::vector<double>& a, const std::vector<double>& b);

// The least an engine that reads sources and writes outputs must do: read
// every source through, write the given number of bytes into each output,
// sync each output file (and only those; their writeback started as they
// grow), remove them. Its time in seconds.
struct BoundOutput {
    QString path;
    qint64 bytes = 0;
};
// The faster of the work done one piece after another and done by `threads`
// threads side by side (an engine on several threads is bounded by the
// same work on as many).
double ReadWriteSyncBound(const QStringList& sources, const std::vector<BoundOutput>& outputs, bool sync,
                          int threads = 1);

// Does piece(0) .. piece(count - 1) one after another on this thread, then
// again on `threads` threads that each take the next piece; after (when
// given) runs after each form, untimed. The faster form's seconds.
double SerialOrParallel(int count, int threads, const std::function<void(int)>& piece,
                        const std::function<void()>& after = {});

// The regions of a sound file a metadata save rewrites: the bext chunk at
// the head and everything from the iXML chunk to the end.
struct Region {
    qint64 offset = 0;
    QByteArray bytes;
};
QList<QList<Region>> SavedRegions(const QStringList& files);
// The same bytes a save writes, written in place into the same files, one
// data sync each when synced; the faster of file after file and `threads`
// threads side by side. Milliseconds.
double WriteRegionsInPlace(const QStringList& files, const QList<QList<Region>>& regions, bool sync,
                           int threads = 1);

// CPU seconds used so far by this process's threads, or by its children
// that were waited for (a peer tool run by Run).
double CpuSeconds(bool children = false);

// Runs a peer tool to its end; false (with a line on stderr) unless it
// exited normally with code 0.
bool Run(const QString& program, const QStringList& args);
// False, with a line on stderr, when the tool is not installed.
bool HaveTool(const QString& program);

// Reads the files, or every file below a folder, once, so timed runs start
// from a hot page cache.
void Warm(const QStringList& paths);

// The least a take loader must do per file: open it, read its head (fmt,
// bext: the first 4 KiB) and its tail where the iXML lies (the last 16 KiB),
// close it. Returns the milliseconds it took, the faster of doing it file
// after file and on `threads` threads.
double HeadTailReads(const QStringList& files, int threads = 1);
// The least a listing of a folder must do: read its entries once and keep
// the paths of the names that end in suffix, unsorted. Returns the
// milliseconds it took; the paths go to paths.
double PlainListing(const QString& folder, const QString& suffix, QStringList* paths);

// What one load of a take of tracks mono files (24 slots) asks of the disk
// where its folder is not listed, each file's name found in its first
// form: the poly file's name, one name per file, every form of each
// absent slot's name. Prints the names asked per take (perTake) against
// it: "what: N names asked of the disk per take; a load of the take's
// names M: ratio R (target <= T)".
void PrintNamesAsked(const char* what, double perTake, int tracks, double target);

// Keeps the engines' debug lines out of the figures; warnings still show.
void QuietDebugOutput();

// Drops the files' pages from the page cache, so their next reads come
// from the disk (only these files: the rest of the machine keeps its cache).
void Evict(const QStringList& paths);

// Other processes that keep every core and the disk busy while it lives:
// two busy loops per core, two writers that sync every block they write and
// two readers past the page cache, each on files of its own in `folder`.
class MachineLoad
{
public:
    explicit MachineLoad(const QString& folder);
    // Ends the processes it started.
    ~MachineLoad();
    MachineLoad(const MachineLoad&) = delete;
    MachineLoad& operator=(const MachineLoad&) = delete;

private:
    void Start(const QString& program, const QStringList& args);

    std::vector<QProcess*> m_Processes;
};

}  // namespace bench

#endif
