#ifndef NALVO_FOUNDATION_SETTINGSSTORE_H
#define NALVO_FOUNDATION_SETTINGSSTORE_H

#include <QDir>
#include <QString>

// Where a settings file (".idh") lives: in its own folder (beside a take's
// audio, or the settings folder for a preset) or, while that folder cannot
// be written (a locked card, a settings folder not made yet), as its twin
// in the mirror folder: one file per name, so that two takes of one name
// on different days share one twin. Every reader and writer asks here.
namespace SettingsStore {

// A copy of a settings file: the path read or written, whether it is the
// mirror twin, and why that copy (empty for the folder's own file).
struct tyCopy
{
    QString czPath;
    bool bMirror = false;
    QString czWhy;
};

// The settings file of a take (its first six characters): beside one of
// its audio files, or in its folder under its name; and of preset n (1..5)
// in the settings folder.
QString TakeFile(const QString& audioPath);
QString TakeFile(const QString& folder, const QString& takeName);
QString PresetFile(const QDir& settingsFolder, int n);

// A take's settings: in a write-protected folder its twin when that is
// newer than the file (written since the card was locked, and not stored
// over on the card since); else the file itself.
tyCopy ReadTake(const QString& file);
// A preset: the newer of the folder's file and a twin that holds a whole
// mix (a twin with a name alone hides nothing); the folder's file when the
// two are as old. czPath is the file itself when neither exists.
tyCopy ReadPreset(const QString& file);
// Where a write of the file goes: the file, or its twin when its folder is
// write-protected (the mirror folder made with its parent); an empty path,
// with why, when the mirror folder cannot be made.
tyCopy WriteTarget(const QString& file);
// The file holds volume, mute, routing and M/S for every track.
bool HoldsMix(const QString& file);

// What settling a twin left.
enum class Settled {
    Nothing,      // no twin, or the folder cannot be written: nothing done
    Moved,        // the twin's preset is the folder's file; the twin is gone
    NotMoved,     // the twin stays the preset (why)
    NotSynced,    // the folder's file holds the twin's preset, its folder not synced (why); the twin stays
    Retired,      // the folder's file is the newer (or as old); its twin is gone
    TwinStays,    // the folder's file is the newer; its older twin could not be removed (why)
};
// Where the folder can be written: a twin newer than the folder's file (or
// without one) moves in, its bytes under the file's name through the disk
// calls, read back; the twin goes only once the move stands, as does a
// twin older than the folder's file. twin: its path, and why it stays.
Settled SettlePreset(const QString& file, tyCopy* twin);
// Where the take's folder can be written: a twin as old as the file or
// older is removed through the disk calls (the card holds the mix stored
// last). A newer twin stays until a store of the mix writes the file.
Settled SettleTake(const QString& file, tyCopy* twin);

// The file and its twin removed, the settings back to their defaults;
// false when one stays.
bool Reset(const QString& file);

}  // namespace SettingsStore

#endif
