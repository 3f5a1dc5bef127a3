#ifndef NALVO_TESTS_PLAYER_PULSEFOLLOW_H
#define NALVO_TESTS_PLAYER_PULSEFOLLOW_H

// A take whose mix is known sample by sample, the recording of a sound
// server's pipe sink, and the search of that recording for the take: what
// the playback tests through a real server compare what was heard with.
#include "player/threadpriority.h"

#include <QByteArray>
#include <QFile>
#include <QString>
#include <QVector>

#include <atomic>
#include <chrono>
#include <cmath>
#include <cstdlib>
#include <thread>

#include <fcntl.h>
#include <poll.h>
#include <unistd.h>

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

QVector<Frame> FramesOf(const QByteArray& bytes)
{
    QVector<Frame> frames;
    const qint16* s = reinterpret_cast<const qint16*>(bytes.constData());
    for (int i = 0; i + 1 < bytes.size() / 2; i += 2)
        frames.append(Frame{s[i], s[i + 1]});
    return frames;
}

// Records what a pipe sink plays, from Start on, into memory. The sink
// writes into its FIFO on the real-time clock and drops whatever the FIFO
// has no room for: a reader that falls behind by more than the FIFO holds
// loses frames in the middle of a take, which looks exactly like a player
// that skipped them. A FIFO holds 64 KiB unless told otherwise, 170 ms at
// 96 kHz, and a `cat` into a file on a busy machine was seen to fall that
// far behind. So the FIFO is enlarged to the most the system allows
// (1 MiB by default, 2.7 s at 96 kHz), the reader is a thread raised as a
// sound output's own is, and nothing but memory stands between.
class PipeRecorder
{
public:
    ~PipeRecorder() { Stop(); }

    // What the FIFO held before is dropped: it was played before the
    // recording began. The FIFO's size in bytes, or -1 when it cannot be read.
    int Start(const QString& fifo)
    {
        Stop();
        m_nFd = ::open(QFile::encodeName(fifo).constData(), O_RDONLY | O_NONBLOCK | O_CLOEXEC);
        if (m_nFd < 0)
            return -1;
        int size = 1 << 20;
        while (size > 65536 && ::fcntl(m_nFd, F_SETPIPE_SZ, size) < 0)
            size /= 2;
        char stale[65536];
        while (::read(m_nFd, stale, sizeof stale) > 0)
            continue;
        m_Bytes.clear();
        m_nRead = 0;
        m_nHoldOffMs = 0;
        m_bStop = false;
        m_Reader = std::thread([this] { Read(); });
        return ::fcntl(m_nFd, F_GETPIPE_SZ);
    }

    QVector<Frame> Stop()
    {
        if (m_nFd < 0)
            return {};
        m_bStop = true;
        m_Reader.join();
        ::close(m_nFd);
        m_nFd = -1;
        return FramesOf(m_Bytes);
    }

    qint64 BytesRead() const { return m_nRead.load(); }
    // The next read waits this long: a reader held off by a busy machine.
    void HoldOff(int ms) { m_nHoldOffMs = ms; }

private:
    void Read()
    {
        RaiseAudioThreadPriority();
        char chunk[65536];
        while (!m_bStop.load()) {
            const int holdOff = m_nHoldOffMs.exchange(0);
            if (holdOff > 0)
                std::this_thread::sleep_for(std::chrono::milliseconds(holdOff));
            pollfd ready{m_nFd, POLLIN, 0};
            if (::poll(&ready, 1, 20) <= 0)
                continue;
            const ssize_t got = ::read(m_nFd, chunk, sizeof chunk);
            if (got > 0) {
                m_Bytes.append(chunk, int(got));
                m_nRead += got;
            }
        }
    }

    int m_nFd = -1;
    std::thread m_Reader;
    // The reader's alone while it runs; the caller's once it joined.
    QByteArray m_Bytes;
    // Written by the reader, read by the caller.
    std::atomic<qint64> m_nRead{0};
    // Written by the caller, read by the reader.
    std::atomic<bool> m_bStop{false};
    std::atomic<int> m_nHoldOffMs{0};
};

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
