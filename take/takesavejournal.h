#ifndef NALVO_TAKE_TAKESAVEJOURNAL_H
#define NALVO_TAKE_TAKESAVEJOURNAL_H

#include "foundation/folderlock.h"
#include "soundfile/riffwriter.h"
#include "take/takefamily.h"

class QFile;

#include <QString>
#include <QStringList>
#include <optional>

// A take's save record lies beside its files as a hidden file whose name no
// take pattern matches (".<base name>.nalvo-save"), so listings of takes
// never show it.
QString TakeSaveJournalPath(const QString& folder, const QString& baseName);

// Loading a take starts here, with the take's folder lock (in *lock) held
// for the reading: when a save of the take named by takePath (as the
// loaders take it) was interrupted, its files are put back as they were
// before that save, the record is removed and the user is told once; a
// killed replacement of its files (an import, a conversion, a copy over it)
// is finished or taken back; the temporaries killed copies left in the
// folder are removed (see FolderSweep). False (the user told, naming the
// take; *refusal, when given, the one line of why) when a save or
// replacement of the take is still running after the wait, or when an
// interrupted save could not be undone (a write-protected card): the take
// must not be read now.
// A take marked as holding parts of two saves is read, and the user told
// which files hold which at every load, until a save of it clears the mark.
// names, when given, receives the probe of the folder's names made under
// the lock when nothing was left to settle (so the folder is as probed):
// the load finds the take's files with it.
bool RollBackInterruptedSave(const QString& takePath, const QString& extension, TakeFolderLock* lock,
                             std::optional<FolderNameProbe>* names = nullptr, QString* refusal = nullptr);

// How a member stands against its save record (see RiffChunkWriter::
// MatchUndo); *whole: it holds that save whole (every write of it ended:
// at its new length, every piece the save's).
RiffChunkWriter::UndoMatch MatchSavedMember(QFile& file, const tyChunkUndo& member, bool* whole);

// How the record a killed save left beside a take was settled.
enum class LeftSave {
    None,      // no record is left: none was, or the take was put back and its record removed
    Live,      // its writer may still be running (see RecordWriterMayLive): left to it
    Stale,     // it can never be applied (the files were changed since, or it is no record
               // of ours): left as it is, the user told
    Blocked,   // the roll-back could not run (a write-protected card): nothing written
    Kept,      // the files were put back, but the record's removal is not on the disk: the
               // user told
    Unproven,  // a record of an earlier format whose files grew past their old length: it
               // cannot tell that save's bytes there from another program's, so it is not
               // applied, and the files may hold part of that save: nothing written, the
               // take not to be read (see RecordTexts::LeftSaveUnproven)
};
// The same for a saver holding the folder's lock alone: a record another
// program's killed save left is rolled back before the take changes again.
// names: the folder as asked under that lock. *error, when given: the
// system's error number of Blocked and Kept.
LeftSave RollBackLeftSave(const QString& folder, const QString& baseName, const FolderNameProbe& names,
                          int* error = nullptr);
// Removes the record a killed save left that can never be applied (Stale),
// when no writer may still hold it: a saver holding the folder's lock
// alone, about to write the whole take and a record of its own. 0 when
// none is left, else the system's error number (EBUSY: a writer may hold
// it now).
int DropLeftSave(const QString& folder, const QString& baseName);

// The same for a replacement of files (a copy over a take, an import, a
// conversion), holding their folders' locks alone: the record a killed save
// left of each take that one of paths belongs to is rolled back. False (the
// user told, why set) when one stays: the take's files must not be replaced
// then, or the record would outlive them and be judged against the new ones.
bool RollBackSavesBeforeReplacing(const QStringList& paths, QString* why);
// The same for a caller that holds no lock of their folders and is about to
// read the files it replaces (a conversion): each folder is held alone for
// its roll-back. False (why set) also when a folder stays busy.
bool RollBackSavesBeforeReplacingAlone(const QStringList& paths, QString* why);

#endif
