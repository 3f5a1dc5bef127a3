// The timeline's waveform-overview reader on arbitrary files: the chunk
// walk and the level bytes of every "ond" chunk, then level look-ups at
// every track and a few positions.
#include "player/waveformoverview.h"
#include "tests/fuzz/fuzzinput.h"

#include <QFile>

#include <cstddef>
#include <cstdint>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    const QString path = WriteFuzzInput(QStringLiteral("FZ0001PX.WAV"), data, size);
    if (path.isEmpty())
        return 0;
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly))
        return 0;
    QWaveformOverview overview;
    overview.ReadChunk(&file);
    for (int t = -1; t <= QWaveformOverview::kTracks; ++t) {
        for (qint64 sample : {qint64(-1), qint64(0), qint64(4799), overview.CoveredSamples(), qint64(1) << 40})
            overview.LevelAt(t, sample);
        overview.TrackPointCount(t);
    }
    return 0;
}
