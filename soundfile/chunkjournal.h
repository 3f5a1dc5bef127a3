#ifndef NALVO_SOUNDFILE_CHUNKJOURNAL_H
#define NALVO_SOUNDFILE_CHUNKJOURNAL_H

#include "soundfile/riffwriter.h"

#include <QList>
#include <QString>
#include <QStringList>

// A save that rewrites the header chunks of several files records first, in
// one small file, what undoes it in every file. The record is written under
// a temporary name, synced and renamed, so it is whole or absent; the files
// change only once it is on the disk, and it is removed when they are done.
// Whoever finds one rolls every file back before reading them.

// Writes the record atomically. False (nothing left behind) on a failure,
// with the reason and the system's error number.
bool WriteChunkJournal(const QString& path, const QList<tyChunkUndo>& members, QString* why,
                       int* errorNumber);

// One record of several saved together.
struct tyChunkJournalWrite {
    QString czPath;
    QList<tyChunkUndo> lMembers;
    int nError = 0;   // the system's error number; 0: the record is on the disk
    QString czWhy;    // its text
};
// Writes each record as WriteChunkJournal does, all in the same steps: every
// record's bytes synced in one group, then the renames, then their folders
// synced in one group. Each record ends on the disk (nError 0) or absent.
void WriteChunkJournals(QList<tyChunkJournalWrite>* records);
// False when the file is missing, torn or not a record of this kind.
bool ReadChunkJournal(const QString& path, QList<tyChunkUndo>* members);
// The name the record is written under before its rename.
QString ChunkJournalTemporaryPath(const QString& path);

struct tyJournalRollBack {
    bool bFound = false;       // a record (or a torn temporary one) was there
    int nRestored = 0;         // files put back as they were
    QStringList lczMissing;    // files named by the record that no longer exist
    QStringList lczFailed;     // files that could not be put back: "name: why"
    QStringList lczChanged;    // of these, the files another program changed since the save
    QStringList lczLeft;       // when none is put back: the files holding part of the save
    int nRemoveError = 0;      // the system's error number when the record's removal is not on the disk
};
// Puts back every file the record names (in the record's folder), syncs
// them, and removes the record, its folder synced. When the record does not
// fit one of the files (another program changed it since: it holds neither
// the old bytes nor the save's where the save wrote), none is touched and
// the record stays. A torn temporary record changed nothing and is just
// removed.
tyJournalRollBack RollBackChunkJournal(const QString& path);

#endif
