#ifndef NALVO_FOUNDATION_FOLDERLOCK_H
#define NALVO_FOUNDATION_FOLDERLOCK_H

#include <QString>

// Orders the writes and loads of the takes in one folder, between the
// threads of this program and between programs: a save, or the renames that
// put a take's new files in place, hold the folder's lock alone for their
// whole length (record written, files changed, record gone), a load shares
// it while it reads the files. So a load never reads a take half written,
// never takes the record of a running write for one a killed write left,
// and two writes never interleave.
// The lock belongs to this object's own descriptor of the folder (a lock of
// the system's that goes with the descriptor), so a killed holder leaves no
// lock behind, and two objects in one process exclude each other as two
// processes do: one thread must never hold two of them on one folder. It is
// never waited for without bound: whoever cannot take it at once asks again
// for a few seconds, then gives up. A volume without such locks (some
// network shares) is used without them, as it always was.
class TakeFolderLock
{
public:
    enum class Mode { Shared, Alone };
    TakeFolderLock() = default;
    ~TakeFolderLock();
    TakeFolderLock(const TakeFolderLock&) = delete;
    TakeFolderLock& operator=(const TakeFolderLock&) = delete;

    // The lock of the folder (its path ends with '/'), in place of any held
    // before. False only when another holder kept it for the whole wait.
    bool Acquire(const QString& folder, Mode mode);
    void Release();
    // The folder's open descriptor while one is held, else -1.
    int Descriptor() const { return m_nHandle; }

private:
    int m_nHandle = -1;
};

#endif
