#ifndef NALVO_TESTS_MAINWINDOW_KILLEDAPPLY_H
#define NALVO_TESTS_MAINWINDOW_KILLEDAPPLY_H

#include <QString>
#include <QStringList>

// An Apply converting names killed at each of its renames, run by a child
// process of the test program: after the next load of either name every
// take stands whole under exactly one name, and nothing hidden is left. A
// load beside the renames, again and again, finds the family whole under
// one name or not at all. Shared by the programs that run it on a local
// folder and on an exFAT card.

// The rows on one kind of volume.
void AddKilledApplyRows(bool exfat);
// The case of the current row.
void RunKilledApply();
// The child the case starts, when the arguments name it ("--kill-at STEP
// FOLDER PROTECTED"); -1 when they do not.
int KilledApplyChild(int argc, char** argv);

// The roots of the files of take id in folder (short or long names).
QStringList RootsOf(const QString& folder, const QString& id);

#endif
