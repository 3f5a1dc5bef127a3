#ifndef NALVO_TESTS_SUPPORT_TABLEPARTS_H
#define NALVO_TESTS_SUPPORT_TABLEPARTS_H

#include <QApplication>
#include <QtTest>

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

// A test's main, as QTEST_MAIN's (a widget application at 96 dpi) or,
// given QCoreApplication, QTEST_GUILESS_MAIN's: the rows of the part its
// arguments name run.
template <typename Test, typename Application = QApplication>
int RunPartedTest(int argc, char** argv)
{
    if (!TakeTablePart(&argc, argv))
        return 2;
    Application app(argc, argv);
    app.setAttribute(Qt::AA_Use96Dpi, true);
    Test test;
    QTEST_SET_MAIN_SOURCE_PATH
    return QTest::qExec(&test, argc, argv);
}

#endif
