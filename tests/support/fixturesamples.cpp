#include "tests/support/fixturesamples.h"

#include <cmath>

#include <QList>

namespace fixture {

namespace {

qint64 HalfPeriod(int track)
{
    return 50 + 10 * qint64(track);
}

}  // namespace

qint32 SamplePeak(int track, int bits)
{
    if (bits == 24)
        return qint32(track + 1) << 18;
    if (bits == 16)
        return qint32(track + 1) << 10;
    return 0;
}

qint32 SampleValue(int track, qint64 frame, int bits)
{
    const qint64 half = HalfPeriod(track);
    const qint64 phase = frame % (2 * half);
    // Triangle from -half to +half and back; integer-only so every platform
    // agrees on every byte.
    const qint64 tri = phase < half ? -half + 2 * phase : 3 * half - 2 * phase;
    return qint32(tri * SamplePeak(track, bits) / half);
}

QByteArray SampleBytes(const QList<int>& tracks, qint64 firstFrame, qint64 frames, int bits)
{
    const int bytesPerSample = bits / 8;
    // Written in place: the tall files of the benchmarks hold tens of
    // millions of samples.
    QByteArray out(int(qMax<qint64>(0, frames) * tracks.size() * bytesPerSample), Qt::Uninitialized);
    char* at = out.data();
    for (qint64 f = firstFrame; f < firstFrame + frames; ++f) {
        for (const int t : tracks) {
            const quint32 v = quint32(SampleValue(t, f, bits));
            for (int b = 0; b < bytesPerSample; ++b)
                *at++ = char((v >> (8 * b)) & 0xFF);
        }
    }
    return out;
}

QByteArray OverviewLevels(int track, qint64 frames, int bits, int samplesPerPoint)
{
    QByteArray levels;
    if (samplesPerPoint < 1 || bits < 9)
        return levels;
    qint32 peak = 0;
    int count = 0;
    for (qint64 f = 0; f < frames; ++f) {
        peak = qMax(peak, qAbs(SampleValue(track, f, bits)));
        if (++count == samplesPerPoint) {
            levels.append(char(qMin(peak >> (bits - 9), 255)));
            peak = 0;
            count = 0;
        }
    }
    return levels;
}

QByteArray SpeechOverviewLevels(int track, int points, int pointsPerSecond)
{
    QByteArray levels;
    if (pointsPerSecond < 1)
        return levels;
    const double phrase = 2.6 + 0.35 * (track % 7);     // seconds from one phrase to the next
    const double talking = 0.55 + 0.05 * (track % 5);   // share of the phrase spoken
    const double offset = 0.9 * track;
    for (int i = 0; i < points; ++i) {
        const double t = double(i) / pointsPerSecond + offset;
        const double inPhrase = std::fmod(t, phrase) / phrase;
        double level = 4.0;
        if (inPhrase < talking) {
            const double syllable = std::fabs(std::sin(M_PI * 4.3 * t));
            const double stress = 0.55 + 0.45 * std::sin(1.7 * t + track);
            const double edges = std::sin(M_PI * inPhrase / talking);   // phrases rise and fall
            level += 215.0 * std::pow(syllable, 0.6) * stress * std::sqrt(edges);
        }
        levels.append(char(qBound(0, int(level), 255)));
    }
    return levels;
}

}  // namespace fixture
