#ifndef NALVO_TESTS_SUPPORT_TABLEPARTS_H
#define NALVO_TESTS_SUPPORT_TABLEPARTS_H

// A part of a program's rows: "--part k/n", taken out of argv, has this
// program run only the rows whose name falls in part k of n (each row in
// one part, by a hash of its name, so that rows added anywhere keep the
// others where they were), so that CTest runs the parts side by side, each
// within its limit. False where the argument is malformed.
bool TakeTablePart(int* argc, char** argv);
// The row of that tag is in this program's part; a test function whose
// table is parted skips the others.
bool InTablePart(const char* tag);
// The current row, named by its function and its tag, is in this
// program's part: a program whose every row is parted skips the others in
// its init().
bool CurrentRowInPart();

#endif
