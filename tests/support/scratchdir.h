#ifndef NALVO_TESTS_SUPPORT_SCRATCHDIR_H
#define NALVO_TESTS_SUPPORT_SCRATCHDIR_H

#include <QTemporaryDir>

namespace fixture {

// Removes the file or folder tree at path, links as links, by the bytes of
// each name, so that names which are not UTF-8 go too. True when nothing is left.
bool RemoveTree(const QString& path);

// A test's scratch folder, removed by RemoveTree.
class ScratchDir : public QTemporaryDir
{
public:
    ScratchDir() { setAutoRemove(false); }
    ~ScratchDir()
    {
        if (isValid() && !RemoveTree(path()))
            qWarning("%s is left behind", qPrintable(path()));
    }
};

}  // namespace fixture

#endif
