#ifndef NALVO_TAKE_TAKESAVEJOURNAL_H
#define NALVO_TAKE_TAKESAVEJOURNAL_H

#include <QString>

// A take's save record lies beside its files as a hidden file whose name no
// take pattern matches (".<base name>.nalvo-save"), so listings of takes
// never show it.
QString TakeSaveJournalPath(const QString& folder, const QString& baseName);

// Orders the saves and loads of the takes in one folder, between the
// threads of this program and between programs: a save holds the folder's
// lock alone for its whole length (its record is written, the files change
// and the record goes under it), a load shares it while it reads the files.
// So a load never reads a take half saved, never takes the record of a
// running save for one a killed save left, and two saves never interleave.
// The lock belongs to this object's own descriptor of the folder (a lock of
// the system's that goes with the descriptor), so a killed holder leaves no
// lock behind, and two objects in one process exclude each other as two
// processes do. It is never waited for without bound: whoever cannot take it
// at once asks again for a few seconds, then gives up. A volume without such
// locks (some network shares) is used without them, as it always was.
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

// Loading a take starts here, with the take's folder lock (in *lock) held
// for the reading: when a save of the take named by takePath (as the
// loaders take it) was interrupted, its files are put back as they were
// before that save, the record is removed and the user is told once. False
// (the user told, naming the take) when a save of the take is still running
// after the wait: the take must not be read now.
bool RollBackInterruptedSave(const QString& takePath, const QString& extension, TakeFolderLock* lock);

// The same for a saver holding the folder's lock alone: a record another
// program's killed save left is rolled back before the take changes again.
void RollBackLeftSave(const QString& folder, const QString& baseName);

#endif
