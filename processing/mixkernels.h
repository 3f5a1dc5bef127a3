#ifndef NALVO_PROCESSING_MIXKERNELS_H
#define NALVO_PROCESSING_MIXKERNELS_H

// The stereo mixdowns' inner loops. Unlike the block kernels of the engine
// (one int per byte position) they keep one int per sample, so a block's two
// sums stay in the cache while 24 tracks are added into them; the arithmetic
// is the take's (take/samplearith.h), so results are the same to the bit.
namespace mixkernels {

enum class Target {
    Add,      // acc += g(x)
    Subtract, // acc -= g(x)
    Both      // acc += g(x) and acc2 += g(x)
};

// Decodes `samples` samples of width bytesPerSample (2 or 3) from pcm,
// scales each by dB (signed: 3, 6, 9, 12 raise, -3 .. -12 lower, any other
// value copies) and adds it into acc (and acc2 for Both).
void Accumulate(const unsigned char* pcm, int samples, int bytesPerSample, int dB, Target target,
                int* acc, int* acc2);

// Clamps both sums to the input width, writes them as interleaved stereo
// frames of outBytes per sample (equal to inBytes, or 2 from 3: the upper
// two bytes of the clamped 24-bit sample).
void ClipInterleave(const int* left, const int* right, int samples, int inBytes, int outBytes,
                    unsigned char* out);

// Interleaves two mono byte streams into stereo frames.
void InterleaveBytes(const unsigned char* left, const unsigned char* right, int samples,
                     int bytesPerSample, unsigned char* out);

}  // namespace mixkernels

#endif
