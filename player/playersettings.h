#ifndef NALVO_PLAYER_PLAYERSETTINGS_H
#define NALVO_PLAYER_PLAYERSETTINGS_H

#include <QString>

// The player settings files (".idh"): the mixer strip of one take, or of a
// preset, as a keyword file. Each writer replaces the file whole, its keys
// in one write; when the folder that should hold the file is write-protected
// (a locked card), the file goes to the mirror folder under the same name
// (SettingsStore finds it for the readers). Readers clamp every
// value to its range and return a mask of the keys that took defaults:
// 1 volume, 2 mute, 4 routing, 8 M/S, 16 rotation, 32 minimum track,
// 64 compact; 127 when the file does not exist, 0 when it does not open.

// Arrays hold 24 entries (12 for swapMS); rotate may be null (not written);
// minTrack and compact are not written when -1. The two bools are unused.
// label, when given, is written as the preset's name ("#LABEL") in the same
// replacement of the file: the file takes the whole change or none of it.
// False, after a message, when the file keeps what it held.
bool SaveSettingsLocal(QString file, short* volume, short* panLeft, short* panRight, bool* mute, bool, bool,
                       bool* swapMS, short* rotate, int minTrack, int compact, const QString* label = nullptr);
// Routing as codes 0 left, 1 both, 2 right. Every output may be null.
int LoadSettingsLocal(QString file, short* volume, bool* mute, short* pan, bool* swapMS, int* rotate,
                      int* minTrack, bool* compact);
// Routing as two pan levels per track; a null level output adds bit 4.
int LoadSettingsLocal(QString file, short* volume, bool* mute, short* panLeft, short* panRight, bool* swapMS,
                      int* rotate, int* minTrack, bool* compact);

// The preset's name alone, as the window keeps it at each change of take or
// preset, in the copy SettingsStore::ReadPreset finds: a name it holds is not
// written again, a slot without a whole preset (empty, or without a mix)
// gets none, and where the name must go to the mirror twin, the twin takes
// the whole preset with it. A write refused again is not told again (see
// SetLine).
bool SaveSettingsLabel(QString file, QString label);
// Empty when the file or the key is missing.
QString LoadSettingsLabel(QString file);
// The file a writer puts at the given path (SettingsStore::WriteTarget):
// the path itself, or its mirror-folder twin. Empty when the mirror
// folder cannot be made, after a critical box
// with the given title and text: shown once for a title, until the folder
// can be made again.
QString SettingsWritePath(const QString& file, const QString& errorTitle, const QString& errorText);

#endif
