#ifndef NALVO_TESTS_SUPPORT_DISKFAULTWALK_H
#define NALVO_TESTS_SUPPORT_DISKFAULTWALK_H

#include "foundation/platform/diskcalls.h"

#include <QString>
#include <QStringList>
#include <QVector>

#include <functional>

namespace fixture {

// A job made to fail at each of its disk calls in turn (see diskcalls.h),
// as SQLite's I/O-error tests do: run N fails the Nth call, for N from 1
// until a run meets no failure.
struct tyFaultWalkJob {
    std::function<bool()> begin;            // fresh media for a run; false: the test cannot go on
    std::function<bool()> run;              // the job: true when it told the user it was done
    std::function<void()> load;             // the next load of what the job wrote, every call the system's
    // Empty when the files are as the job's answer says: done, or as
    // before. mayBeDone: a card that fails for more than one call may have
    // taken the job's record whole and refused the undo, and the next load
    // then finishes the job it told as not done; the job is whole either way.
    std::function<QString(bool done, bool mayBeDone)> check;
    QStringList folders;                    // where no hidden file may stay after the next load
    // Every file the job renames (or links) into place was synced after
    // its last write (see tyDiskFaultPlan::bWatchSyncs).
    bool syncedBeforeRename = false;
};

struct tyFaultWalk {
    int nRuns = 0;
    int nCalls = 0;   // the calls of the run that met no failure
    int nFailedRuns = 0;   // runs whose failure the job told as not done
    QStringList lczFaults;   // what the checks found, each with its run
};

// The plans a job is walked with: a name for the row and the plan (its
// nNth set by the walk).
QVector<QPair<QString, tyDiskFaultPlan>> DiskFaultPlans();
// The plans for a job that reads back what it wrote before it keeps it:
// each write in turn answered as done and not stored ("a write lost").
QVector<QPair<QString, tyDiskFaultPlan>> ReadBackPlans();
// A card pulled, or turned read-only, from one call on, on a volume with
// the atomic rename.
QVector<QPair<QString, tyDiskFaultPlan>> RemovalPlans();

tyFaultWalk WalkDiskFaults(const tyFaultWalkJob& job, tyDiskFaultPlan plan, int mostRuns = 2000);
// The same with the plan of DiskFaultPlans(), ReadBackPlans() or RemovalPlans() of that name; the syncs are
// a stand-in's meanwhile (its files still count as calls), and the counts
// go to the test's log.
tyFaultWalk WalkDiskFaults(const tyFaultWalkJob& job, const QString& planName);

// What a failed job told the user against what the next load left of its
// files: finished (the job's result in place) or as before. Empty when the
// text agrees: one that says the files are as before ("left as they were",
// "no file was kept", "keeps its old name", a record whose next load
// "changes no file") never stands beside a job the
// next load finished, which is told as the next load's; and no sentence
// ends in two full stops.
QString ToldAgainstLoad(const QString& told, bool finishedByLoad);

// The hidden files of a write that no load may leave in folder: kept
// originals, replacement and save records, temporaries.
QStringList HiddenLeftovers(const QString& folder);

}  // namespace fixture

#endif
