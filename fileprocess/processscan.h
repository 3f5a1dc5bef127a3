#ifndef NALVO_FILEPROCESS_PROCESSSCAN_H
#define NALVO_FILEPROCESS_PROCESSSCAN_H

#include <QList>
#include <QString>
#include <QStringList>

#include <functional>

class QSoundPerform;
struct tProcessInformation;

// Turning a day folder, or one mono take, into file-process records.
namespace procscan {

// One mono take of a day listing: its tag (the file name without ".WAV" and
// its track suffix) and the first of its track files.
struct tDayTake {
    QString tag;
    QString fileName;
};

// The mono takes of a day: the ".WAV" names (upper case, byte-wise sorted)
// with a track suffix ('_', '-' or '#' and one or two digits), grouped by
// their whole tag. Mix, poly and '+' files have no such suffix and are left out.
QList<tDayTake> GroupDayTakes(const QStringList& sortedNames);

// Called after each take with (takes handled, takes in the day); false stops
// the scan.
using Progress = std::function<bool(int done, int total)>;

// Loads the take through the loader and appends its record; a take that
// does not load, a poly take and a processed output add nothing. False then.
bool AddFileToProcessList(QString tagName, QString preProjectPath, QString day, QString project,
                          QString takePath, QString filePath, QSoundPerform* loader,
                          QList<tProcessInformation*>* list);

// Lists the day folder and adds every mono take. False when the folder
// cannot be listed or the progress callback stopped the scan.
bool ScanDayFolder(QString dayPath, QString preProjectPath, QString day, QString project, QSoundPerform* loader,
                   QList<tProcessInformation*>* list, const Progress& progress = Progress());

// One selected browser row, as the browser model gives it.
struct tSelectedRow {
    int kind = 0;           // a tFSItemType
    QString path;           // absolute path of the folder or file
    QString takePath;
    QString display;        // take name or folder name
    QString project;
    QString day;
    QString preProject;
};

// One project, days, or mono takes, never mixed, and nothing else.
bool SelectionIsValid(const QList<tSelectedRow>& rows);

enum class Expansion { Done, Invalid, Unlistable, Cancelled };

// Checks the selection, lists every day it covers, then loads each take
// (progress per take). Nothing is appended unless the result is Done; a day
// that cannot be listed names itself in *problem.
Expansion ExpandSelection(const QList<tSelectedRow>& rows, QSoundPerform* loader, QList<tProcessInformation*>* list,
                          const Progress& progress = Progress(), QString* problem = nullptr);

// The ".OVD" day folders of a project folder, any letter case, sorted.
QStringList ProjectDays(const QString& projectPath);

}  // namespace procscan

#endif
