#include "processing/interleaveplan.h"

#include <QtGlobal>
#include <algorithm>
#include <cstring>

namespace interleave {

tyChannelPlan::tyChannelPlan()
{
    std::fill(std::begin(pnSource), std::end(pnSource), -1);
    std::fill(std::begin(pnLabel), std::end(pnLabel), -1);
    std::fill(std::begin(pbNamed), std::end(pbNamed), false);
    std::fill(std::begin(pbOpen), std::end(pbOpen), false);
    std::fill(std::begin(pnWaveSlots), std::end(pnWaveSlots), -1);
}

namespace {
// Even, and six channels as eight when asked.
int ChannelCount(int count, bool sixToEight)
{
    count += count & 1;
    return sixToEight && count == 6 ? 8 : count;
}
}

tyChannelPlan PlanInterleave(const bool* present, const bool* excluded, bool lightPoly, int minTracks,
                             bool sixToEight)
{
    tyChannelPlan plan;
    minTracks = qBound(0, minTracks, int(kTracks));
    int kept = 0;
    for (int t = 0; t < kTracks; ++t) {
        if (!present[t]) {
            if (plan.nNotUsedTrackIndex < 0)
                plan.nNotUsedTrackIndex = t;
            continue;
        }
        if (excluded[t])
            continue;
        plan.pbOpen[t] = true;
        plan.pnWaveSlots[plan.nWaveSlots++] = t;
        plan.nTotalTracks = lightPoly ? plan.nTotalTracks + 1 : t + 1;
        if (lightPoly) {
            plan.pnSource[kept] = plan.pnLabel[kept] = t;
            plan.pbNamed[kept] = true;
            ++kept;
        }
    }
    plan.nTempCount = qMax(plan.nTotalTracks, minTracks);
    plan.nTempCount += plan.nTempCount & 1;
    plan.nChannels = plan.nTotalTracks == 0 ? 0 : ChannelCount(plan.nTempCount, sixToEight);
    plan.nVoidTracks = plan.nChannels - plan.nTotalTracks;

    // What the silent channels added at the end name: a slot no channel
    // carries, so no entry claims a track that is elsewhere in the file.
    int voidLabel = plan.nNotUsedTrackIndex;
    for (int t = 0; t < kTracks && voidLabel < 0; ++t) {
        if (lightPoly && excluded[t])
            voidLabel = t;
    }
    for (int c = 0; c < plan.nChannels; ++c) {
        if (lightPoly) {
            if (c >= kept)
                plan.pnLabel[c] = voidLabel;
            continue;
        }
        const bool kept = present[c] && !excluded[c];
        plan.pnSource[c] = kept ? c : -1;
        // An excluded slot keeps its place and its entry ("NO"), silent.
        plan.pnLabel[c] = c < plan.nTotalTracks || present[c] ? c : voidLabel;
        plan.pbNamed[c] = present[c];
    }
    return plan;
}

tyChannelPlan PlanRotated(const bool* present, const bool* excluded, const int* map, bool sixToEight)
{
    tyChannelPlan plan;
    int slotOfChannel[kTracks];
    std::fill(std::begin(slotOfChannel), std::end(slotOfChannel), -1);
    for (int s = 0; s < kTracks; ++s) {
        if (!present[s]) {
            if (plan.nNotUsedTrackIndex < 0)
                plan.nNotUsedTrackIndex = s;
            continue;
        }
        const int channel = map[s];
        if (channel < 0 || channel >= kTracks || slotOfChannel[channel] >= 0)
            continue;   // refused by ValidateRotationMap before any plan is made
        slotOfChannel[channel] = s;
        plan.pbOpen[s] = true;
        if (!excluded[s])
            plan.nTotalTracks = qMax(plan.nTotalTracks, channel + 1);
    }
    plan.nTempCount = plan.nTotalTracks + (plan.nTotalTracks & 1);
    plan.nChannels = plan.nTotalTracks == 0 ? 0 : ChannelCount(plan.nTotalTracks, sixToEight);
    plan.nVoidTracks = plan.nChannels - plan.nTotalTracks;
    for (int p = 0; p < plan.nChannels; ++p) {
        const int s = slotOfChannel[p];
        if (s < 0)
            continue;
        plan.pnSource[p] = excluded[s] ? -1 : s;
        plan.pbNamed[p] = true;
        plan.pnWaveSlots[plan.nWaveSlots++] = s;
    }
    return plan;
}

void MarkDisarmed(const tyChannelPlan& plan, const bool* excluded, QString* actives)
{
    if (plan.nTempCount == plan.nTotalTracks)
        return;
    for (int i = qMax(0, plan.nTotalTracks - 1); i < plan.nTempCount && i < kTracks; ++i) {
        if (!excluded[i] && actives[i] == QLatin1String("NO"))
            actives[i] = QStringLiteral("DISARMED");
    }
}

namespace {
// Frames per tile: the tile's output (at most 24 channels x 3 bytes) and
// the inputs it reads stay in the first-level cache.
constexpr int kTileFrames = 256;

template <int In, int Out>
void CopyChannelExact(const unsigned char* src, unsigned char* dst, int frames, int stride)
{
    // Out < In: the upper bytes of each sample.
    constexpr int skip = In - Out;
    for (int f = 0; f < frames; ++f)
        std::memcpy(dst + f * stride, src + f * In + skip, Out);
}

template <int In, int Out>
void CopyChannel(const unsigned char* src, unsigned char* dst, int frames, int stride)
{
    CopyChannelExact<In, Out>(src, dst, frames, stride);
}

// 24-bit samples moved as one 4-byte load and store: the fourth byte lands
// on the next channel's first byte of the same frame, which that channel
// writes after this one. The tile's last frame is copied exactly, so no
// read passes the source's samples; the caller copies the frame's last
// channel exactly, so no write passes the frame.
template <>
void CopyChannel<3, 3>(const unsigned char* src, unsigned char* dst, int frames, int stride)
{
    for (int f = 0; f + 1 < frames; ++f) {
        quint32 sample;
        std::memcpy(&sample, src + f * 3, 4);
        std::memcpy(dst + f * stride, &sample, 4);
    }
    if (frames > 0)
        std::memcpy(dst + (frames - 1) * stride, src + (frames - 1) * 3, 3);
}

template <int Out>
void SilenceChannel(unsigned char* dst, int frames, int stride)
{
    for (int f = 0; f < frames; ++f)
        std::memset(dst + f * stride, 0, Out);
}

template <int In, int Out>
void Interleave(const unsigned char* const* areas, int channels, int frames, unsigned char* out)
{
    const int stride = channels * Out;
    for (int first = 0; first < frames; first += kTileFrames) {
        const int count = std::min(kTileFrames, frames - first);
        unsigned char* tile = out + qint64(first) * stride;
        for (int c = 0; c < channels; ++c) {
            if (areas[c] && c + 1 < channels)
                CopyChannel<In, Out>(areas[c] + qint64(first) * In, tile + c * Out, count, stride);
            else if (areas[c])
                CopyChannelExact<In, Out>(areas[c] + qint64(first) * In, tile + c * Out, count, stride);
            else
                SilenceChannel<Out>(tile + c * Out, count, stride);
        }
    }
}
}

void InterleaveFrames(const unsigned char* const* areas, int channels, int frames, int inBytes, int outBytes,
                      unsigned char* out)
{
    if (inBytes == 2 && outBytes == 2)
        Interleave<2, 2>(areas, channels, frames, out);
    else if (inBytes == 3 && outBytes == 3)
        Interleave<3, 3>(areas, channels, frames, out);
    else if (inBytes == 3 && outBytes == 2)
        Interleave<3, 2>(areas, channels, frames, out);
}

}  // namespace interleave
