#include "processing/mixkernels.h"

#include "take/samplearith.h"

#include <QtGlobal>
#include <cstring>

namespace mixkernels {
namespace {

template <int B>
inline int Decode(const unsigned char* p)
{
    // The same values as pcm::DecodeSample, written so the compiler sees a
    // fixed width.
    if (B == 2)
        return int(qint16(quint16(p[0] | (p[1] << 8))));
    return int(quint32(p[0] << 8 | p[1] << 16 | quint32(p[2]) << 24)) >> 8;
}

template <int B, int DB, Target T>
void Loop(const unsigned char* pcm, int samples, int* acc, int* acc2)
{
    // Decoding packed samples does not vectorize, the gain and the sums do:
    // decode a tile into a compact run first, then scale and add it.
    constexpr int kTile = 1024;
    int x[kTile];
    for (int base = 0; base < samples; base += kTile) {
        const int count = qMin(kTile, samples - base);
        const unsigned char* p = pcm + base * B;
        if (B == 3) {
            // One 4-byte load per sample, its top byte shifted out; the last
            // sample of the run is read by bytes so nothing past it is touched.
            for (int i = 0; i < count - 1; ++i) {
                quint32 word;
                std::memcpy(&word, p + i * 3, 4);
                x[i] = int(word << 8) >> 8;
            }
            x[count - 1] = Decode<B>(p + (count - 1) * B);
        } else {
            for (int i = 0; i < count; ++i)
                x[i] = Decode<B>(p + i * B);
        }
        int* a = acc + base;
        int* a2 = acc2 ? acc2 + base : nullptr;
        for (int i = 0; i < count; ++i) {
            const int v = DB >= 0 ? pcm::Raise(x[i], unsigned(DB)) : pcm::Lower(x[i], unsigned(-DB));
            if (T == Target::Subtract)
                a[i] -= v;
            else
                a[i] += v;
            if (T == Target::Both)
                a2[i] += v;
        }
    }
}

using LoopFn = void (*)(const unsigned char*, int, int*, int*);

template <int B, int DB>
LoopFn Pick(Target target)
{
    switch (target) {
    case Target::Add: return &Loop<B, DB, Target::Add>;
    case Target::Subtract: return &Loop<B, DB, Target::Subtract>;
    case Target::Both: break;
    }
    return &Loop<B, DB, Target::Both>;
}

template <int B>
LoopFn PickGain(int dB, Target target)
{
    switch (dB) {
    case 3: return Pick<B, 3>(target);
    case 6: return Pick<B, 6>(target);
    case 9: return Pick<B, 9>(target);
    case 12: return Pick<B, 12>(target);
    case -3: return Pick<B, -3>(target);
    case -6: return Pick<B, -6>(target);
    case -9: return Pick<B, -9>(target);
    case -12: return Pick<B, -12>(target);
    default: return Pick<B, 0>(target);
    }
}

template <int InB, int OutB>
void Clip(const int* left, const int* right, int samples, unsigned char* out)
{
    constexpr int top = InB == 2 ? 32767 : 8388607;
    constexpr int shift = (InB - OutB) * 8;
    for (int i = 0; i < samples; ++i) {
        unsigned char* frame = out + i * 2 * OutB;
        const int l = qBound(-top - 1, left[i], top) >> shift;
        const int r = qBound(-top - 1, right[i], top) >> shift;
        for (int b = 0; b < OutB; ++b) {
            frame[b] = static_cast<unsigned char>(l >> (8 * b));
            frame[OutB + b] = static_cast<unsigned char>(r >> (8 * b));
        }
    }
}

template <int B>
void Interleave(const unsigned char* left, const unsigned char* right, int samples, unsigned char* out)
{
    for (int i = 0; i < samples; ++i) {
        std::memcpy(out + i * 2 * B, left + i * B, B);
        std::memcpy(out + i * 2 * B + B, right + i * B, B);
    }
}

}  // namespace

void Accumulate(const unsigned char* pcm, int samples, int bytesPerSample, int dB, Target target,
                int* acc, int* acc2)
{
    if (bytesPerSample == 2)
        PickGain<2>(dB, target)(pcm, samples, acc, acc2);
    else if (bytesPerSample == 3)
        PickGain<3>(dB, target)(pcm, samples, acc, acc2);
}

void ClipInterleave(const int* left, const int* right, int samples, int inBytes, int outBytes,
                    unsigned char* out)
{
    if (inBytes == 2 && outBytes == 2)
        Clip<2, 2>(left, right, samples, out);
    else if (inBytes == 3 && outBytes == 3)
        Clip<3, 3>(left, right, samples, out);
    else if (inBytes == 3 && outBytes == 2)
        Clip<3, 2>(left, right, samples, out);
}

void InterleaveBytes(const unsigned char* left, const unsigned char* right, int samples,
                     int bytesPerSample, unsigned char* out)
{
    if (bytesPerSample == 2)
        Interleave<2>(left, right, samples, out);
    else if (bytesPerSample == 3)
        Interleave<3>(left, right, samples, out);
}

}  // namespace mixkernels
