#ifndef NALVO_TESTS_SUPPORT_TAKELAYOUT_H
#define NALVO_TESTS_SUPPORT_TAKELAYOUT_H

#include "tests/support/fixturewriter.h"
#include "tests/support/riffbytes.h"

// The chunk list of one take file before assembly, so that the broken
// variants can change a valid layout in one place.
namespace fixture {

// trackIndex indexes spec.tracks; -1 gives the poly file.
QList<ChunkBytes> TakeFileChunks(const TakeSpec& spec, int trackIndex);

// The text blank-padded to length (never cut).
QByteArray PadIxml(const QByteArray& text, int length);

int IndexOfChunk(const QList<ChunkBytes>& chunks, const QByteArray& id);

}  // namespace fixture

#endif
