#ifndef NALVO_TAKE_SAMPLEARITH_H
#define NALVO_TAKE_SAMPLEARITH_H

#include <QtEndian>
#include <QtGlobal>

#include <cstring>

// The sample arithmetic shared by the player's kernels and the engine's
// mixdowns: little-endian signed 16-bit (2 bytes) or 24-bit (3 bytes)
// samples, gains made of shifts and additions (each term floors on its own).
// Inline so that a caller passing a constant width or gain gets a loop
// without branches.
namespace pcm {

inline int DecodeSample(const unsigned char* p, int bytesPerSample)
{
    if (bytesPerSample == 2)
        return int(qint16(quint16(p[0] | (p[1] << 8))));
    const int value = p[0] | (p[1] << 8) | (p[2] << 16);
    return (value & 0x800000) ? value - 0x1000000 : value;
}

// The same values for a width fixed at compile time, so loops need no branch.
template <int B>
inline int DecodeFixed(const unsigned char* p)
{
    static_assert(B == 2 || B == 3, "16- or 24-bit samples");
    if (B == 2)
        return int(qint16(quint16(p[0] | (p[1] << 8))));
    return int(quint32(p[0]) << 8 | quint32(p[1]) << 16 | quint32(p[2]) << 24) >> 8;
}

// A 24-bit sample read as one 4-byte load, its fourth byte shifted out: the
// caller guarantees that one more byte after the sample is readable.
inline int Decode24Wide(const unsigned char* p)
{
    quint32 word;
    std::memcpy(&word, p, 4);
    word = qFromLittleEndian(word);
    return int(word << 8) >> 8;
}

inline void EncodeSample(int value, unsigned char* p, int bytesPerSample)
{
    p[0] = static_cast<unsigned char>(value & 0xFF);
    p[1] = static_cast<unsigned char>((value >> 8) & 0xFF);
    if (bytesPerSample == 3)
        p[2] = static_cast<unsigned char>((value >> 16) & 0xFF);
}

// The level steps' gains: +3 dB x1.375, +6 x2, +9 x2.75, +12 x4; any other
// value leaves the sample.
inline int Raise(int x, unsigned int dB)
{
    switch (dB) {
    case 3: return (x >> 1) * 2 + (x >> 2) + (x >> 3);
    case 6: return x * 2;
    case 9: return x * 2 + (x >> 1) + (x >> 2);
    case 12: return x * 4;
    default: return x;
    }
}

// -3 dB x0.71875, -6 x0.5, -9 x0.34375, -12 x0.25 (arithmetic shifts); any
// other value leaves the sample.
inline int Lower(int x, unsigned int dB)
{
    switch (dB) {
    case 3: return (x >> 1) + (x >> 2) - (x >> 5);
    case 6: return x >> 1;
    case 9: return (x >> 2) + (x >> 4) + (x >> 5);
    case 12: return x >> 2;
    default: return x;
    }
}

}  // namespace pcm

#endif
