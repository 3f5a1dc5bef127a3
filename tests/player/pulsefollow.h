#ifndef NALVO_TESTS_PLAYER_PULSEFOLLOW_H
#define NALVO_TESTS_PLAYER_PULSEFOLLOW_H

// A take whose mix is known sample by sample, and the search of a sound
// server's recording for it: what the playback tests through a real server
// compare what was heard with.
#include <QFile>
#include <QString>
#include <QVector>

#include <cmath>
#include <cstdlib>

namespace {

// Track 0: a 1 kHz sine; track 1: noise. A quarter of full scale each, so
// the mix never clips.
qint32 TrackSample(int track, qint64 frame, int rate, int bits)
{
    const double full = bits == 16 ? 32767.0 : 8388607.0;
    if (track == 0)
        return qint32(std::lround(0.25 * full * std::sin(2.0 * M_PI * 1000.0 * double(frame) / rate)));
    quint32 x = quint32(frame) * 2654435761u + 0x9E3779B9u;
    x ^= x >> 15;
    x *= 2246822519u;
    x ^= x >> 13;
    return qint32(std::lround(0.25 * full * (double(x) / 4294967295.0 * 2.0 - 1.0)));
}

struct Frame {
    int left;
    int right;
    bool operator==(const Frame& o) const { return left == o.left && right == o.right; }
};

// Track 0 on the left bus, track 1 on both; 24-bit sums keep their upper
// two bytes.
QVector<Frame> ExpectedMix(qint64 frames, int rate, int bits)
{
    QVector<Frame> mix(int(frames), Frame{0, 0});
    const int shift = bits == 16 ? 0 : 8;
    for (qint64 f = 0; f < frames; ++f) {
        const qint32 a = TrackSample(0, f, rate, bits);
        const qint32 b = TrackSample(1, f, rate, bits);
        mix[int(f)] = Frame{(a + b) >> shift, b >> shift};
    }
    return mix;
}

QVector<Frame> ReadFrames(const QString& path)
{
    QFile file(path);
    QVector<Frame> frames;
    if (!file.open(QIODevice::ReadOnly))
        return frames;
    const QByteArray bytes = file.readAll();
    const qint16* s = reinterpret_cast<const qint16*>(bytes.constData());
    for (int i = 0; i + 1 < bytes.size() / 2; i += 2)
        frames.append(Frame{s[i], s[i + 1]});
    return frames;
}

bool Near(const Frame& a, const Frame& b)
{
    return std::abs(a.left - b.left) <= 1 && std::abs(a.right - b.right) <= 1;
}

struct Heard {
    int firstFrame = -1;   // of the take, the first one heard
    int frames = 0;        // heard in order from there, up to the first fault
    int gaps = 0;          // silent frames inserted by an under-run
    QString fault;
};

// Follows the take through the recording from its first heard frame on,
// wherever in the take that is. Silence in the middle (an output that ran
// dry and caught up) is allowed; a frame lost, repeated or changed ends the
// run with the reason.
Heard Follow(const QVector<Frame>& heard, const QVector<Frame>& expected)
{
    Heard result;
    const int run = 32;
    int at = 0;
    while (at < heard.size() && heard[at] == Frame{0, 0})
        ++at;
    for (int e = 0; at + run <= heard.size() && e + run <= expected.size() && result.firstFrame < 0; ++e) {
        int i = 0;
        while (i < run && Near(heard[at + i], expected[e + i]))
            ++i;
        if (i == run)
            result.firstFrame = e;
    }
    if (result.firstFrame < 0) {
        result.fault = QStringLiteral("the take is not in the recording");
        return result;
    }
    int e = result.firstFrame;
    for (int h = at; h < heard.size() && e < expected.size(); ++h) {
        if (Near(heard[h], expected[e])) {
            ++e;
            continue;
        }
        if (heard[h] == Frame{0, 0}) {
            ++result.gaps;
            continue;
        }
        result.fault = QStringLiteral("frame %1 of the take differs (heard %2/%3, expected %4/%5)")
                           .arg(e).arg(heard[h].left).arg(heard[h].right).arg(expected[e].left).arg(expected[e].right);
        break;
    }
    result.frames = e - result.firstFrame;
    return result;
}

} // namespace

#endif
