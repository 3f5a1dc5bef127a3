#ifndef NALVO_FILEPROCESS_SUBPROGRESS_H
#define NALVO_FILEPROCESS_SUBPROGRESS_H

#include <QtGlobal>

// Progress of one audio request. The engine counts the bytes of one source
// track it consumed; the request was measured at gathering by its source
// file's size. Both are reconciled here: the request ends at the larger of
// the two, the excess of the request's size counted as done from the start,
// and the totals grow only by what they do not hold yet.
struct SubProgress {
    int trackCount = 0;      // last argument of the progress signals
    qint64 progress = 0;     // bytes counted so far
    qint64 size = 0;         // never below progress
    qint64 reportedSize = 0; // the part of size already in the total size
    qint64 delta = 0;        // bytes counted since the last signal

    // requestSize: what gathering added to the total size for this request;
    // trackDataSize: the audio bytes of one track file (32-bit unsigned on disk).
    void Start(int tracks, qint64 requestSize, qint64 trackDataSize);

    // One count from the engine. A signal is due when the progress timer
    // asked for one or the engine closes with 0; then *sizeGrowth and
    // *progressDelta are what the totals must take, and true is returned.
    bool Feed(qint64 bytes, bool due, qint64* sizeGrowth, qint64* progressDelta);
};

#endif
