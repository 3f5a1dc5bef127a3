#ifndef NALVO_TESTS_SUPPORT_SCRATCHDIR_H
#define NALVO_TESTS_SUPPORT_SCRATCHDIR_H

#include <QTemporaryDir>

namespace fixture {

// Removes the file or folder tree at path, links as links, by the bytes of
// each name, so that names which are not UTF-8 go too. True when nothing is left.
bool RemoveTree(const QString& path);

// A test's scratch folder, removed by RemoveTree. It goes also when the
// test ends by exit() or is stopped by SIGTERM, SIGINT or SIGHUP (a CTest
// timeout, a cancelled job, ^C), the mounts under it first (see KeepMount).
// A run killed outright (SIGKILL, a CTest timeout) has it undone by a
// watchdog process that outlives the run; where that too was killed, the
// owner's mark beside it (the folder's name + ".owner") stays: the
// program's next run sweeps it, its mounts and its servers as its first
// scratch folder is made, once no process of that mark lives.
class ScratchDir : public QTemporaryDir
{
public:
    ScratchDir();
    ~ScratchDir();
    ScratchDir(const ScratchDir&) = delete;
    ScratchDir& operator=(const ScratchDir&) = delete;

private:
    int m_nKept = -1;
};

// A mount a test made (under a scratch folder), undone at exit or at a
// stopping signal as above if the test has not undone it; DropMount once
// it did. KeepServer: a program serving a mount under scratch, killed there
// too, and marked beside scratch for the sweep of a killed run.
void KeepMount(const QString& mountPoint);
void DropMount(const QString& mountPoint);
void KeepServer(const QString& scratch, qint64 pid);
void DropServer(qint64 pid);

// The scratch folders a killed earlier run of this program left, as above;
// done by the first ScratchDir of a run.
void SweepKilledRuns();

// In a child program a test runs (a writer or loader it drives): the
// child is killed when the test ends, also when the test is killed
// outright, so that none goes on in a folder that is gone.
void EndWithParent();

}  // namespace fixture

#endif
