#ifndef NALVO_FOUNDATION_FOLDERLISTING_H
#define NALVO_FOUNDATION_FOLDERLISTING_H

#include <QSet>
#include <QString>
#include <QStringList>

#include <memory>

struct stat;

// The names in one folder as one directory read found them.
struct tyFolderNames {
    QSet<QString> exact;
    QSet<QString> folded;        // in lower case: what a case-blind file system also finds
    QStringList sortedFolded;    // the same, sorted: the names of one take stand together
};

// A folder's identity (device and inode) and times, as one look at it
// found them.
struct tyFolderStamp {
    quint64 nDevice = 0;
    quint64 nInode = 0;
    qint64 nModified = 0;   // nanoseconds
    qint64 nChanged = 0;
    // Its times tell its names (see KeptFolderNames): a later stamp alike
    // says that a listing read after this one was taken still holds.
    bool bTrusted = false;

    bool operator==(const tyFolderStamp& other) const
    {
        return nDevice == other.nDevice && nInode == other.nInode && nModified == other.nModified
               && nChanged == other.nChanged;
    }
};
// Taken before a read of the folder's names; untrusted when the folder
// cannot be asked.
tyFolderStamp FolderStampOf(const QString& folder);
// True when the folder holds surely the names a read after the stamp was
// taken found: the stamp was trusted and the folder's is still the same.
// False says only that they may differ.
bool FolderNamesKept(const tyFolderStamp& before, const QString& folder);

// The folder's names read now, with one directory read; null when the
// folder cannot be read.
std::shared_ptr<const tyFolderNames> ReadFolderNames(const QString& folder);

// A listing kept from an earlier read, for loads that look up many names
// of one folder (a take probes up to 192). It is given only while nothing
// can have changed the folder's names since: the folder is the same one
// (device and inode, so a card mounted in place of another is not taken for
// it), its file system changes a folder's times with every entry
// (FolderTimesFollowEntries), neither its modification nor its change time
// moved since the read, and both were already 3 s old then (a change within
// one tick of a coarse clock would leave them as they were). Anything else
// gives null: the caller asks the disk. keptOnly: a folder not kept is not
// read for keeping. status, when given, is the folder's as the caller just
// read it (through a descriptor it holds, under the folder's lock): it is
// not asked again. Called by the loaders' threads alike.
//
// A kept listing only speeds up reads. A writer never decides what to write
// from it: under its lock it reads the folder itself.
std::shared_ptr<const tyFolderNames> KeptFolderNames(const QString& folder, bool keptOnly,
                                                     const struct stat* status = nullptr);

#endif
