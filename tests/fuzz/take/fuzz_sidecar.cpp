// The player sidecar (".idh") as the take loader reads it: whatever the
// bytes, the gain, routing, mute and M/S tables stay within their ranges.
#include "take/gaintable.h"
#include "take/soundperform.h"
#include "tests/fuzz/fuzzinput.h"

#include <cstddef>
#include <cstdint>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    const QString path = WriteFuzzInput(QStringLiteral("FZ0001.idh"), data, size);
    if (path.isEmpty())
        return 0;
    QSoundPerform take;
    take.LoadPlayerSettings(path);
    for (int t = 0; t < QSoundPerform::kMaxTracks; ++t) {
        if (take.m_pnTrackVolume[t] < 0 || take.m_pnTrackVolume[t] >= kGainStepCount || take.m_pnTrackPan[t] < 0
            || take.m_pnTrackPan[t] > 2)
            __builtin_trap();
    }
    return 0;
}
