#include "processing/mixkernels.h"

#include "take/samplearith.h"

#include <QtGlobal>
#include <cstring>

#if (defined(__x86_64__) || defined(__i386__)) && (defined(__GNUC__) || defined(__clang__))
#define NALVO_MIX_AVX2 1
#include <immintrin.h>
#endif

namespace mixkernels {
namespace {

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
            for (int i = 0; i < count - 1; ++i)
                x[i] = pcm::Decode24Wide(p + i * 3);
            x[count - 1] = pcm::DecodeFixed<3>(p + (count - 1) * B);
        } else {
            for (int i = 0; i < count; ++i)
                x[i] = pcm::DecodeFixed<B>(p + i * B);
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


#ifdef NALVO_MIX_AVX2
// The same loops eight samples at a time on processors with AVX2 (chosen at
// run time, so the build needs no special flags). Integer shifts and sums
// only: the results are those of the scalar loops to the bit.
#define NALVO_AVX2 __attribute__((target("avx2")))

bool HaveAvx2()
{
    static const bool have = __builtin_cpu_supports("avx2");
    return have;
}

// Eight samples from 8 * B bytes at p; a 24-bit decode reads 4 bytes more.
template <int B>
NALVO_AVX2 inline __m256i Decode8(const unsigned char* p)
{
    if (B == 2)
        return _mm256_cvtepi16_epi32(_mm_loadu_si128(reinterpret_cast<const __m128i*>(p)));
    // Each lane holds four packed samples; every sample's bytes go to the
    // top three of its int, the sign comes with the arithmetic shift down.
    const __m256i bytes = _mm256_loadu2_m128i(reinterpret_cast<const __m128i*>(p + 12),
                                              reinterpret_cast<const __m128i*>(p));
    const __m256i place = _mm256_setr_epi8(-1, 0, 1, 2, -1, 3, 4, 5, -1, 6, 7, 8, -1, 9, 10, 11,
                                           -1, 0, 1, 2, -1, 3, 4, 5, -1, 6, 7, 8, -1, 9, 10, 11);
    return _mm256_srai_epi32(_mm256_shuffle_epi8(bytes, place), 8);
}

template <int DB>
NALVO_AVX2 inline __m256i Gain8(__m256i x)
{
#define sr(n) _mm256_srai_epi32(x, n)
    switch (DB) {
    case 3: return _mm256_add_epi32(_mm256_add_epi32(_mm256_slli_epi32(sr(1), 1), sr(2)), sr(3));
    case 6: return _mm256_slli_epi32(x, 1);
    case 9: return _mm256_add_epi32(_mm256_add_epi32(_mm256_slli_epi32(x, 1), sr(1)), sr(2));
    case 12: return _mm256_slli_epi32(x, 2);
    case -3: return _mm256_sub_epi32(_mm256_add_epi32(sr(1), sr(2)), sr(5));
    case -6: return sr(1);
    case -9: return _mm256_add_epi32(_mm256_add_epi32(sr(2), sr(4)), sr(5));
    case -12: return sr(2);
    default: return x;
    }
#undef sr
}

template <int B, int DB, Target T>
NALVO_AVX2 void LoopAvx2(const unsigned char* pcm, int samples, int* acc, int* acc2)
{
    // Eight at a time while the wide decode's extra bytes stay inside the run.
    const int vectorEnd = B == 3 ? samples - 2 : samples;
    int i = 0;
    for (; i + 8 <= vectorEnd; i += 8) {
        const __m256i v = Gain8<DB>(Decode8<B>(pcm + i * B));
        __m256i* a = reinterpret_cast<__m256i*>(acc + i);
        const __m256i sum = _mm256_loadu_si256(a);
        _mm256_storeu_si256(a, T == Target::Subtract ? _mm256_sub_epi32(sum, v) : _mm256_add_epi32(sum, v));
        if (T == Target::Both) {
            __m256i* a2 = reinterpret_cast<__m256i*>(acc2 + i);
            _mm256_storeu_si256(a2, _mm256_add_epi32(_mm256_loadu_si256(a2), v));
        }
    }
    if (i < samples)
        Loop<B, DB, T>(pcm + i * B, samples - i, acc + i, acc2 ? acc2 + i : nullptr);
}

// Eight sums clamped to the input width, then cut to the output width.
template <int InB, int OutB>
NALVO_AVX2 inline __m256i Clip8(const int* p)
{
    constexpr int top = InB == 2 ? 32767 : 8388607;
    const __m256i v = _mm256_loadu_si256(reinterpret_cast<const __m256i*>(p));
    const __m256i clamped = _mm256_max_epi32(_mm256_min_epi32(v, _mm256_set1_epi32(top)), _mm256_set1_epi32(-top - 1));
    return _mm256_srai_epi32(clamped, (InB - OutB) * 8);
}

// Eight stereo frames of OutB bytes per sample from eight samples a side.
// A 3-byte store writes 16 bytes, 4 past its twelve: the caller leaves room
// (a later frame overwrites them).
template <int OutB>
NALVO_AVX2 inline void StoreFrames8(__m256i l, __m256i r, unsigned char* frame)
{
    // Per lane: frames 0, 1 (and 4, 5) and frames 2, 3 (and 6, 7).
    const __m256i first = _mm256_unpacklo_epi32(l, r), second = _mm256_unpackhi_epi32(l, r);
    if (OutB == 2) {
        _mm256_storeu_si256(reinterpret_cast<__m256i*>(frame), _mm256_packs_epi32(first, second));
        return;
    }
    const __m256i pack = _mm256_setr_epi8(0, 1, 2, 4, 5, 6, 8, 9, 10, 12, 13, 14, -1, -1, -1, -1,
                                          0, 1, 2, 4, 5, 6, 8, 9, 10, 12, 13, 14, -1, -1, -1, -1);
    const __m256i a = _mm256_shuffle_epi8(first, pack), b = _mm256_shuffle_epi8(second, pack);
    _mm_storeu_si128(reinterpret_cast<__m128i*>(frame), _mm256_castsi256_si128(a));
    _mm_storeu_si128(reinterpret_cast<__m128i*>(frame + 12), _mm256_castsi256_si128(b));
    _mm_storeu_si128(reinterpret_cast<__m128i*>(frame + 24), _mm256_extracti128_si256(a, 1));
    _mm_storeu_si128(reinterpret_cast<__m128i*>(frame + 36), _mm256_extracti128_si256(b, 1));
}

template <int InB, int OutB>
NALVO_AVX2 void ClipAvx2(const int* left, const int* right, int samples, unsigned char* out)
{
    // Eight at a time while at least one frame follows a 3-byte store.
    const int vectorEnd = OutB == 3 ? samples - 1 : samples;
    int i = 0;
    for (; i + 8 <= vectorEnd; i += 8)
        StoreFrames8<OutB>(Clip8<InB, OutB>(left + i), Clip8<InB, OutB>(right + i), out + i * 2 * OutB);
    if (i < samples)
        Clip<InB, OutB>(left + i, right + i, samples - i, out + i * 2 * OutB);
}

template <int B>
NALVO_AVX2 void InterleaveAvx2(const unsigned char* left, const unsigned char* right, int samples, unsigned char* out)
{
    // 24-bit: the wide decode's extra bytes stay inside the runs, and a frame
    // follows each 3-byte store.
    const int vectorEnd = B == 3 ? samples - 2 : samples;
    int i = 0;
    for (; i + 8 <= vectorEnd; i += 8)
        StoreFrames8<B>(Decode8<B>(left + i * B), Decode8<B>(right + i * B), out + i * 2 * B);
    if (i < samples)
        Interleave<B>(left + i * B, right + i * B, samples - i, out + i * 2 * B);
}
#undef NALVO_AVX2
#endif

using LoopFn = void (*)(const unsigned char*, int, int*, int*);

template <int B, int DB, Target T>
LoopFn Best()
{
#ifdef NALVO_MIX_AVX2
    if (HaveAvx2())
        return &LoopAvx2<B, DB, T>;
#endif
    return &Loop<B, DB, T>;
}

template <int B, int DB>
LoopFn Pick(Target target)
{
    switch (target) {
    case Target::Add: return Best<B, DB, Target::Add>();
    case Target::Subtract: return Best<B, DB, Target::Subtract>();
    case Target::Both: break;
    }
    return Best<B, DB, Target::Both>();
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

using ClipFn = void (*)(const int*, const int*, int, unsigned char*);

template <int InB, int OutB>
ClipFn PickClip()
{
#ifdef NALVO_MIX_AVX2
    if (HaveAvx2())
        return &ClipAvx2<InB, OutB>;
#endif
    return &Clip<InB, OutB>;
}

using InterleaveFn = void (*)(const unsigned char*, const unsigned char*, int, unsigned char*);

template <int B>
InterleaveFn PickInterleave()
{
#ifdef NALVO_MIX_AVX2
    if (HaveAvx2())
        return &InterleaveAvx2<B>;
#endif
    return &Interleave<B>;
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
    const ClipFn clip = inBytes == 2 && outBytes == 2   ? PickClip<2, 2>()
                        : inBytes == 3 && outBytes == 3 ? PickClip<3, 3>()
                        : inBytes == 3 && outBytes == 2 ? PickClip<3, 2>()
                                                        : nullptr;
    if (clip)
        clip(left, right, samples, out);
}

void InterleaveBytes(const unsigned char* left, const unsigned char* right, int samples,
                     int bytesPerSample, unsigned char* out)
{
    const InterleaveFn interleave = bytesPerSample == 2   ? PickInterleave<2>()
                                    : bytesPerSample == 3 ? PickInterleave<3>()
                                                          : nullptr;
    if (interleave)
        interleave(left, right, samples, out);
}

}  // namespace mixkernels
