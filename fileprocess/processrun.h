#ifndef NALVO_FILEPROCESS_PROCESSRUN_H
#define NALVO_FILEPROCESS_PROCESSRUN_H

#include "fileprocess/qfilecopier.h"

#include <QString>
#include <QStringList>

struct tProcessInformation;

// Targets and settings of one file-process take, apart from the dialog.
namespace procrun {

// The copy flag of a process kind 0..4.
QFileCopier::CopyFlags KindFlag(int kind);
// The day folder name of the outputs: the last four characters of the day
// replaced by the kind's extension; a day shorter than five characters as it is.
QString TargetDayName(const QString& day, int kind);
// root/project/target day, cleaned.
QString TargetFolder(const QString& root, const tProcessInformation& info, int kind);
// The file the engine writes there for the take.
QString OutputPath(const QString& targetFolder, const tProcessInformation& info, int kind);

// The engine's settings of a take: the record's tables, the rotation of
// kind 3 (from the engine's own table builder), minimum track and compact.
ProcessSettings SettingsOf(const tProcessInformation& info, int kind, int rotateCount, int rotateMaxTrack,
                           int minTrack, bool compact);

// A folder a run may write into: absolute, existing and writable. Empty
// when it is, else the reason for the user.
QString DestinationProblem(const QString& folder);

// Removes the folders of `created` (as MakeFolderPath appended them) that are
// empty, innermost first, and keeps the rest: a run that wrote nothing into
// the folders it made leaves none behind. Only an empty folder can be
// removed (rmdir), so nothing written is ever touched.
void RemoveEmptyFolders(const QStringList& created);

}  // namespace procrun

#endif
