#include "fileprocess/subprogress.h"

void SubProgress::Start(int tracks, qint64 requestSize, qint64 trackDataSize)
{
    trackCount = tracks;
    requestSize = qMax<qint64>(0, requestSize);
    if (requestSize > trackDataSize) {
        progress = delta = requestSize - trackDataSize;
        size = requestSize;
    } else {
        progress = delta = 0;
        size = trackDataSize;
    }
    // The total size already holds the request's own size: only the growth
    // to the track's size is still to be added.
    reportedSize = requestSize;
}

bool SubProgress::Feed(qint64 bytes, bool due, qint64* sizeGrowth, qint64* progressDelta)
{
    progress += bytes;
    delta += bytes;
    if (progress > size)
        size = progress;
    if (bytes != 0 && !due)
        return false;
    *sizeGrowth = size - reportedSize;
    *progressDelta = delta;
    delta = 0;
    reportedSize = size;
    return true;
}
