#ifndef NALVO_TESTS_TAKE_SAVEDFAMILY_H
#define NALVO_TESTS_TAKE_SAVEDFAMILY_H

#include "tests/support/fixturewriter.h"
#include "tests/support/tableparts.h"

#include <QByteArray>
#include <QList>
#include <QString>
#include <QStringList>

class QSignalSpy;
class QSoundPerform;

// What the save tests share: families of mono members written in chunk
// layouts of their own, saved in numbered rounds (every member's note,
// names and bext note from one round), and the records a save leaves.

inline const QString kExt = QStringLiteral("WAV");

QByteArray FileBytes(const QString& path);

// The record as an earlier version of the program wrote it (1: no hashes;
// 2: none of the bytes past the old length; 3: no writer's token).
QByteArray OlderRecord(const QByteArray& record, quint32 version);

// Sets the file's time seconds before now.
bool AgeFile(const QString& path, int seconds);

// The lockless pass-through, where it was built.
QString LocklessTool();

// A lock granted on the folder's volume proves its holder gone everywhere.
bool LocksReach(const QString& folder);

// The save and renames records in folder.
QStringList RecordsIn(const QString& folder);

QString TakePathOf(const fixture::WrittenTake& written);

// The file's bytes with one more chunk of size payload bytes, right after
// the first chunk called after (at the end when none is), RIFF size fixed.
QByteArray WithChunk(QByteArray file, const QByteArray& after, const QByteArray& id, int size);

// A family whose members differ in chunk layout, all of one length.
enum class Layouts { Same, Orders, ExtraChunks };

fixture::TakeSpec FamilySpec(const QString& id, int tracks, quint32 frames = 480);
fixture::WrittenTake WriteFamily(const QString& day, const QString& id, int tracks, Layouts layouts,
                                 quint32 frames = 480);
QList<QByteArray> AudioOf(const fixture::WrittenTake& written);

// Gives every member of the take the note and names of the round.
void SetRound(QSoundPerform& take, int round);
// Loads the take; every member's note and names come from one round.
// That round, or -1 when the take does not load as one saved state.
int LoadedRound(const QString& takePath);

// A save of take (loaded, its edits made) as a kill just before the second
// write of its member-th file's commit leaves it: the save runs to its end,
// then every file gets back its bytes of that moment, and the record stands
// under a removal's hidden name (another's killed removal moved it there).
// That name, or empty when the save never got there.
QString SaveTornWithRecordAside(QSoundPerform& take, const QStringList& files, int member, const QString& record);

// The texts the message channel sent, as the spy caught them.
QStringList MessageTexts(const QSignalSpy& spy);

#endif
