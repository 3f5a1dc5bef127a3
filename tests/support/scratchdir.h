#ifndef NALVO_TESTS_SUPPORT_SCRATCHDIR_H
#define NALVO_TESTS_SUPPORT_SCRATCHDIR_H

#include <QString>
#include <QTemporaryDir>

namespace fixture {

// Removes the tree at path (a file, or a folder and all it holds; symbolic
// links as links) with POSIX calls on the bytes of each name, so that names
// which are not UTF-8 go too: QDir finds those only by their decoded text,
// which names no file, and leaves them and their folders behind. True when
// nothing is left.
bool RemoveTree(const QString& path);

// A test's scratch folder, a QTemporaryDir removed by RemoveTree: for tests
// that write names which are not UTF-8.
class ScratchDir
{
public:
    ScratchDir() { m_Dir.setAutoRemove(false); }
    ~ScratchDir()
    {
        if (m_Dir.isValid())
            RemoveTree(m_Dir.path());
    }
    ScratchDir(const ScratchDir&) = delete;
    ScratchDir& operator=(const ScratchDir&) = delete;

    bool isValid() const { return m_Dir.isValid(); }
    QString path() const { return m_Dir.path(); }
    QString filePath(const QString& name) const { return m_Dir.filePath(name); }

private:
    QTemporaryDir m_Dir;
};

}  // namespace fixture

#endif
