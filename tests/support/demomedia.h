#ifndef NALVO_TESTS_SUPPORT_DEMOMEDIA_H
#define NALVO_TESTS_SUPPORT_DEMOMEDIA_H

#include <QString>
#include <QStringList>

// The demo volume: <folder>/DEMO_CARD/FEATURE.BR1 with the days 2024-05-01.OVD
// and 2024-05-02.OVD and twenty-three short takes (mono families of every
// separator and track-number form, gaps, polys, long names of both styles,
// templates 0, 2, 4 and 5, circled takes, notes, slates and markers, recorded mix tracks, M/S pairs, chunk
// order variants, sidecars) and one 20-second 24-track take whose waveform
// overview follows a dialogue. Same folder, same bytes.
namespace fixture {

extern const char* const kDemoVolumeName;
extern const char* const kDemoProjectName;   // without ".BR1"

// Writes the volume; returns every file written (sound files and sidecars),
// or an empty list after a write failure.
QStringList WriteDemoVolume(const QString& folder);

}  // namespace fixture

#endif
