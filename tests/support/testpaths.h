#ifndef NALVO_TESTS_SUPPORT_TESTPATHS_H
#define NALVO_TESTS_SUPPORT_TESTPATHS_H

#include <QString>
#include <QTemporaryDir>

// A fresh temporary folder for one test case; removed when it goes out of scope.
inline QString MakeScratchFolder(QTemporaryDir& dir)
{
    dir.setAutoRemove(true);
    return dir.path();
}

#endif
