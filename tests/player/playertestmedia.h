#ifndef NALVO_TESTS_PLAYER_PLAYERTESTMEDIA_H
#define NALVO_TESTS_PLAYER_PLAYERTESTMEDIA_H

#include "tests/support/fixturewriter.h"

#include <QList>

#include <functional>
#include <QString>

class QSoundPerform;

// Takes for the player tests: the fixture writer's take with every sample
// of track i (a mono file, or channel i of a poly file) set to values[i].
// Returns the path to load (folder + take root, or the poly file without
// its extension); empty when a file cannot be written.
QString WriteConstantTake(const QString& folder, const fixture::TakeSpec& spec, const QList<int>& values);

// The same with every sample of track i (list position) at frame f set to
// sample(i, f), which must fit the take's bit depth.
QString WriteSampledTake(const QString& folder, const fixture::TakeSpec& spec,
                         const std::function<qint32(int, qint64)>& sample);

// Loads it into the take; false when the take does not load.
bool LoadTestTake(QSoundPerform* take, const QString& takePath);

// The 16-bit stereo frames of a byte run: left at 2i, right at 2i + 1.
QList<int> StereoSamples(const QByteArray& bytes);

#endif
