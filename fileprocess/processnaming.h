#ifndef NALVO_FILEPROCESS_PROCESSNAMING_H
#define NALVO_FILEPROCESS_PROCESSNAMING_H

#include "fileprocess/qfilecopier.h"

#include <QString>

// Names of the copy engine's targets. The audio requests check the name the
// engine will write against the target the request was checked for, and
// both come from OutputFileName of the engine, so they cannot drift apart.
namespace procname {

// The take of a source file: a mono track file gives its take root (folder
// + root, no separator, track or extension), a poly file its path without
// the dot and three-letter extension.
QString TakePathOf(const QString& sourcePath);

// "PN", "PR" or "MX" by the process bits (tested 0x220, 0x400, 0x140); empty
// without one.
QString ProcessSuffix(QFileCopier::CopyFlags flags);
// ".OVN", ".OVX" or ".OVR" by the process bits (tested 0x220, 0x140, 0x400);
// empty without one.
QString FolderExtension(QFileCopier::CopyFlags flags);

// The target of a source copied into an existing folder: the folder, with
// RenameTargetFolder the source's own folder name with its last four
// characters replaced by the folder extension, then the file name: a mono
// track file with a process bit gives take root + suffix + ".WAV", anything
// else keeps its own name. Cleaned.
QString TargetInFolder(const QString& folder, const QString& sourcePath, QFileCopier::CopyFlags flags);

// The free name for a rename answer: "<folder>/<base> <n>[.<suffix>]" with
// the first n from 1 whose path does not exist.
QString RenamedTarget(const QString& destination);

}  // namespace procname

#endif
