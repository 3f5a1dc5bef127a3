// The player's sample kernels. Samples are little-endian signed 16-bit
// (2 bytes) or 24-bit (3 bytes); int runs hold one slot per byte position,
// a sample sitting at the slot of its first byte. Gains are shifts and
// additions, so the steps are close to the nominal decibels.
#include "take/samplearith.h"
#include "take/soundperform.h"

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
// The common widths with a constant sample size, so each copy is a move of
// two or three bytes; frames are read in order, each channel's run written
// in order.
template <int B>
void DeCrossWidth(const char* in, char* out, int bytesPerChannel, int channels)
{
    const int frames = bytesPerChannel / B;
    for (int c = 0; c < channels; ++c) {
        const char* src = in + c * B;
        char* dst = out + qint64(c) * bytesPerChannel;
        const qint64 stride = qint64(B) * channels;
        for (int f = 0; f < frames; ++f, src += stride, dst += B)
            std::memcpy(dst, src, B);
    }
}
}  // namespace

void QSoundPerform::DeCross(char* in, char* out, int bytesPerSample, int bytesPerChannel, int channels)
{
    if (!in || !out || bytesPerSample <= 0 || bytesPerChannel <= 0 || channels <= 0)
        return;
    if (bytesPerSample == 2)
        return DeCrossWidth<2>(in, out, bytesPerChannel, channels);
    if (bytesPerSample == 3)
        return DeCrossWidth<3>(in, out, bytesPerChannel, channels);
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
