#ifndef NALVO_BENCH_BENCHTOOLS_H
#define NALVO_BENCH_BENCHTOOLS_H

// What every benchmark program needs around its own measurements: clocks,
// a robust pick of repeated runs, a warm page cache, and the peer tools run
// as child processes.
#include <QElapsedTimer>
#include <QString>
#include <QStringList>

class QProcess;

#include <algorithm>
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

// Runs a peer tool to its end; false (with a line on stderr) unless it
// exited normally with code 0.
bool Run(const QString& program, const QStringList& args);
// False, with a line on stderr, when the tool is not installed.
bool HaveTool(const QString& program);

// Reads the files, or every file below a folder, once, so timed runs start
// from a hot page cache.
void Warm(const QStringList& paths);
// Writes back everything dirty and drops the page cache; false when not
// permitted (not root).
bool DropCaches();

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
