#ifndef NALVO_TAKE_TAKESAVEJOURNAL_H
#define NALVO_TAKE_TAKESAVEJOURNAL_H

#include <QString>

// A take's save record lies beside its files as a hidden file whose name no
// take pattern matches (".<base name>.nalvo-save"), so listings of takes
// never show it.
QString TakeSaveJournalPath(const QString& folder, const QString& baseName);

// Loading a take starts here: when a save of the take named by takePath
// (as the loaders take it) was interrupted, its files are put back as they
// were before that save, the record is removed and the user is told once.
// True when nothing was left in doubt (no record, or it was rolled back).
bool RollBackInterruptedSave(const QString& takePath, const QString& extension);

#endif
