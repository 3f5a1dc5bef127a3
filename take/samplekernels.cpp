// The player's sample kernels. Samples are little-endian signed 16-bit
// (2 bytes) or 24-bit (3 bytes); int runs hold one slot per byte position,
// a sample sitting at the slot of its first byte. Gains are shifts and
// additions, so the steps are close to the nominal decibels.
#include "take/samplearith.h"
#include "take/soundperform.h"

#include <algorithm>
#include <cstring>

namespace {

using namespace pcm;

template <typename Gain>
void ApplyGain(const unsigned char* src, int* dst, int bytesPerSample, int count, Gain gain)
{
    if (!src || !dst || count <= 0 || bytesPerSample <= 0)
        return;
    if (bytesPerSample != 2 && bytesPerSample != 3) {
        for (int i = 0; i < count; i += bytesPerSample)
            dst[i] = 0;
        return;
    }
    for (int i = 0; i + bytesPerSample <= count; i += bytesPerSample)
        dst[i] = gain(DecodeSample(src + i, bytesPerSample));
}

inline int Magnitude(qint64 value)
{
    return int(qMin<qint64>(value < 0 ? -value : value, 0x7FFFFFFF));
}

} // namespace

int QSoundPerform::GetMaxL_uc(char* bytes, int bytesPerSample, unsigned int count)
{
    if (!bytes || (bytesPerSample != 2 && bytesPerSample != 3))
        return 0;
    const unsigned char* p = reinterpret_cast<const unsigned char*>(bytes);
    int most = 0;
    for (unsigned int i = 0; i + unsigned(bytesPerSample) <= count; i += unsigned(bytesPerSample))
        most = qMax(most, Magnitude(DecodeSample(p + i, bytesPerSample)));
    return most;
}

int QSoundPerform::GetMaxL(int* runs, int stride, unsigned int count)
{
    if (!runs || stride <= 0)
        return 0;
    int most = 0;
    for (unsigned int i = 0; i < count; i += unsigned(stride))
        most = qMax(most, Magnitude(runs[i]));
    return most;
}

void QSoundPerform::Increase(unsigned char* src, int* dst, unsigned int dB, int bytesPerSample, int count)
{
    ApplyGain(src, dst, bytesPerSample, count, [dB](int x) { return Raise(x, dB); });
}

void QSoundPerform::Attenuate(unsigned char* src, int* dst, unsigned int dB, int bytesPerSample, int count)
{
    ApplyGain(src, dst, bytesPerSample, count, [dB](int x) { return Lower(x, dB); });
}

void QSoundPerform::SommeBuffer(int* acc, int* run, int stride, int count)
{
    if (!acc || !run || stride <= 0)
        return;
    for (int i = 0; i < count; i += stride)
        acc[i] += run[i];
}

void QSoundPerform::ProcessMplusS(int* acc, int* mid, int* side, int stride, int count)
{
    if (!acc || !mid || !side || stride <= 0)
        return;
    for (int i = 0; i < count; i += stride)
        acc[i] += mid[i] + side[i];
}

void QSoundPerform::ProcessMmoinsS(int* acc, int* side, int* mid, int stride, int count)
{
    if (!acc || !mid || !side || stride <= 0)
        return;
    for (int i = 0; i < count; i += stride)
        acc[i] += mid[i] - side[i];
}

void QSoundPerform::Ecretage(int* runs, char* out, int bytesPerSample, int count)
{
    if (!runs || !out || (bytesPerSample != 2 && bytesPerSample != 3))
        return;
    const int top = bytesPerSample == 2 ? 32767 : 8388607;
    unsigned char* p = reinterpret_cast<unsigned char*>(out);
    for (int i = 0; i + bytesPerSample <= count; i += bytesPerSample) {
        runs[i] = qBound(-top - 1, runs[i], top);
        EncodeSample(runs[i], p + i, bytesPerSample);
    }
}

void QSoundPerform::Cross(char* out, char* left, char* right, int bytesPerSample, int count)
{
    if (!out || !left || !right || (bytesPerSample != 2 && bytesPerSample != 3))
        return;
    for (int i = 0; i + bytesPerSample <= count; i += bytesPerSample) {
        char* frame = out + 2 * i;
        for (int b = 0; b < bytesPerSample; ++b) {
            frame[b] = left[i + b];
            frame[bytesPerSample + b] = right[i + b];
        }
    }
}

namespace {
// The common widths with a constant sample size. Frames are taken a tile at
// a time, every channel of the tile in turn, so the tile's input stays in
// the cache while each channel's run is written in order; the peak of each
// channel is taken from the same loads, without a branch.
template <int B, bool Peaks>
void DeCrossWidth(const char* in, char* out, int bytesPerChannel, int channels, int firstFrame, int frames,
                  int* peaks)
{
    constexpr int kTile = 512;
    const qint64 stride = qint64(B) * channels;
    for (int f0 = firstFrame; f0 < firstFrame + frames; f0 += kTile) {
        const int n = qMin(kTile, firstFrame + frames - f0);
        for (int c = 0; c < channels; ++c) {
            const unsigned char* src = reinterpret_cast<const unsigned char*>(in) + f0 * stride + c * B;
            unsigned char* dst = reinterpret_cast<unsigned char*>(out) + qint64(c) * bytesPerChannel + qint64(f0) * B;
            int peak = Peaks ? peaks[c] : 0;
            for (int k = 0; k < n; ++k, src += stride, dst += B) {
                dst[0] = src[0];
                dst[1] = src[1];
                if (B == 3)
                    dst[2] = src[2];
                if (Peaks) {
                    int value = DecodeFixed<B>(src);
                    const int sign = value >> 31;
                    value = (value ^ sign) - sign;
                    peak = std::max(peak, value);
                }
            }
            if (Peaks)
                peaks[c] = peak;
        }
    }
}

template <int B>
void DeCrossFrames(const char* in, char* out, int bytesPerChannel, int channels, int firstFrame, int frames,
                   int* peaks)
{
    if (peaks)
        DeCrossWidth<B, true>(in, out, bytesPerChannel, channels, firstFrame, frames, peaks);
    else
        DeCrossWidth<B, false>(in, out, bytesPerChannel, channels, firstFrame, frames, nullptr);
}
}  // namespace

void QSoundPerform::DeCross(char* in, char* out, int bytesPerSample, int bytesPerChannel, int channels)
{
    if (!in || !out || bytesPerSample <= 0 || bytesPerChannel <= 0 || channels <= 0)
        return;
    if (bytesPerSample == 2 || bytesPerSample == 3)
        return DeCrossPeaks(in, out, bytesPerSample, bytesPerChannel, channels, 0, bytesPerChannel / bytesPerSample,
                            nullptr);
    const int frames = bytesPerChannel / bytesPerSample;
    const int frameBytes = bytesPerSample * channels;
    for (int f = 0; f < frames; ++f) {
        const char* frame = in + qint64(f) * frameBytes;
        for (int c = 0; c < channels; ++c) {
            char* sample = out + qint64(c) * bytesPerChannel + qint64(f) * bytesPerSample;
            for (int b = 0; b < bytesPerSample; ++b)
                sample[b] = frame[c * bytesPerSample + b];
        }
    }
}

void QSoundPerform::DeCrossPeaks(const char* in, char* out, int bytesPerSample, int bytesPerChannel, int channels,
                                 int firstFrame, int frames, int* peaks)
{
    if (!in || !out || bytesPerChannel <= 0 || channels <= 0 || firstFrame < 0 || frames <= 0
        || qint64(firstFrame + frames) * bytesPerSample > bytesPerChannel)
        return;
    if (bytesPerSample == 2)
        DeCrossFrames<2>(in, out, bytesPerChannel, channels, firstFrame, frames, peaks);
    else if (bytesPerSample == 3)
        DeCrossFrames<3>(in, out, bytesPerChannel, channels, firstFrame, frames, peaks);
}
