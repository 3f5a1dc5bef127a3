#ifndef NALVO_FILEPROCESS_IMPORTPLAN_H
#define NALVO_FILEPROCESS_IMPORTPLAN_H

#include <QList>
#include <QString>
#include <QStringList>

// What an import will do, decided before any file is written: which sources
// are imported under which take id, which are refused and why.
namespace importplan {

constexpr int kMaxId = 9999;

// What the probe of one source found.
struct tProbe {
    bool readable = false;
    bool rf64 = false;           // unreadable for being an RF64 file
    bool recorderFile = false;   // a take of the recorder itself: refused
    int channels = 0;
    bool member = false;         // a one-channel member of another recorder's family
    QString family;              // the family id (the file's own path when not a member)
    int track = -1;              // 0-based track number of a member
    int totalFiles = 0;
    quint32 dataSize = 1;
    quint32 sampleRate = 0;
    int bits = 0;
    quint64 timeReference = 0;
    quint32 frames = 0;          // the whole frames an import takes of a member (0: refused)
};

tProbe ProbeSource(const QString& source);

struct tItem {
    QString source;
    QString takeId;        // "7T%04d"
    int track = -1;
    int totalFiles = 0;
    QString groupSource;   // file name of the file that opened the group
    quint32 takeTracks = 0;   // bit t: track t is a file of the item's take
    quint32 takeFrames = 0;   // the fewest frames a member of the item's take holds; 0 for a file imported whole
};

struct tPlan {
    QList<tItem> items;
    QStringList recorderFiles;   // refused: takes of the recorder itself
    QStringList unreadable;      // refused: not a sound file this program reads
    QStringList rf64;            // refused: RF64 files, which it does not read
    int nextId = 0;              // the first id after the ones the plan uses
    bool idOverflow = false;     // an id above kMaxId would be needed: nothing planned
};

// Members of one family (same family id, time reference, data size and
// format), wherever they stand in the list, become the tracks of one take,
// each at its own track; a member whose track the take already has opens
// another take. Every other source opens a take of its own. Ids start at startId and skip any id that already has a file in the
// day folder. The probe is injected so tests can plan without files.
template <typename ProbeFn>
tPlan Plan(const QStringList& sources, const QString& dayFolder, int startId, ProbeFn probe);

QString TakeId(int id);
// True when the day folder holds a file of the take id ("<id>_..." or "<id>.").
bool IdInUse(const QString& dayFolder, int id);

}  // namespace importplan

#include "fileprocess/importplan_impl.h"

#endif
