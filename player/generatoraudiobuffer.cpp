#include "player/generatoraudiobuffer.h"

#include "foundation/messageloging.h"
#include "take/samplearith.h"
#include "take/gaintable.h"

#include <QtEndian>

#include <algorithm>
#include <cstring>

namespace {

constexpr int kTracks = QSoundPerform::kMaxTracks;
constexpr int kFramesMax = GeneratorAudioBuffer::kTrackBlockBytes / 2;   // 16-bit samples per block

template <int B>
inline int DecodeSample(const unsigned char* p)
{
    return B == 2 ? pcm::DecodeFixed<2>(p) : pcm::Decode24Wide(p);
}

inline int Magnitude(int v) { return v < 0 ? -v : v; }

// One track's samples (frames, stride bytes apart) with its gain into dst;
// the peaks before and after the gain.
template <int B, typename Gain>
void GainRun(const unsigned char* src, int stride, int frames, int* dst, Gain gain, int* pre, int* post)
{
    int preMax = 0;
    int postMax = 0;
    for (int f = 0; f < frames; ++f, src += stride) {
        const int v = DecodeSample<B>(src);
        const int g = gain(v);
        dst[f] = g;
        preMax = std::max(preMax, Magnitude(v));
        postMax = std::max(postMax, Magnitude(g));
    }
    *pre = preMax;
    *post = postMax;
}

// The level step picks the kernel once per run, not once per sample. Steps
// 0..3 raise, the rest lower; a step outside 0..8 plays at 0 dB.
template <int B>
void GainRunOfStep(int step, const unsigned char* src, int stride, int frames, int* dst, int* pre, int* post)
{
    switch (GainOfStep(step)) {
    case 12: GainRun<B>(src, stride, frames, dst, [](int x) { return pcm::Raise(x, 12); }, pre, post); break;
    case 9: GainRun<B>(src, stride, frames, dst, [](int x) { return pcm::Raise(x, 9); }, pre, post); break;
    case 6: GainRun<B>(src, stride, frames, dst, [](int x) { return pcm::Raise(x, 6); }, pre, post); break;
    case 3: GainRun<B>(src, stride, frames, dst, [](int x) { return pcm::Raise(x, 3); }, pre, post); break;
    case -3: GainRun<B>(src, stride, frames, dst, [](int x) { return pcm::Lower(x, 3); }, pre, post); break;
    case -6: GainRun<B>(src, stride, frames, dst, [](int x) { return pcm::Lower(x, 6); }, pre, post); break;
    case -9: GainRun<B>(src, stride, frames, dst, [](int x) { return pcm::Lower(x, 9); }, pre, post); break;
    case -12: GainRun<B>(src, stride, frames, dst, [](int x) { return pcm::Lower(x, 12); }, pre, post); break;
    default: GainRun<B>(src, stride, frames, dst, [](int x) { return x; }, pre, post); break;
    }
}

void GainRunOf(int bytesPerSample, int step, const char* src, int stride, int frames, int* dst, int* pre, int* post)
{
    const unsigned char* s = reinterpret_cast<const unsigned char*>(src);
    if (bytesPerSample == 2)
        GainRunOfStep<2>(step, s, stride, frames, dst, pre, post);
    else
        GainRunOfStep<3>(step, s, stride, frames, dst, pre, post);
}

void AddRun(int* bus, const int* run, int frames)
{
    for (int f = 0; f < frames; ++f)
        bus[f] += run[f];
}

int PeakOf(const int* run, int frames)
{
    int most = 0;
    for (int f = 0; f < frames; ++f)
        most = std::max(most, Magnitude(run[f]));
    return most;
}

} // namespace

tyBlockLevels::tyBlockLevels()
{
    for (int k = 0; k < kTracks; ++k) {
        pnBytesPerSample[k] = 3;
        pnPrePeak[k] = 0;
        pnPostPeak[k] = 0;
    }
}

GeneratorAudioBuffer::GeneratorAudioBuffer(QObject* parent)
    : QIODevice(parent)
    , m_Runs(size_t(kTracks) * kFramesMax)
{
    m_Bus[0].resize(kFramesMax);
    m_Bus[1].resize(kFramesMax);
}

GeneratorAudioBuffer::~GeneratorAudioBuffer()
{
    Unbind();
}

qint64 GeneratorAudioBuffer::writeData(const char*, qint64)
{
    return 0;
}

bool GeneratorAudioBuffer::ReadLayout(QSoundPerform* take, tyTakeLayout* layout) const
{
    const QString title = QStringLiteral("Play");
    const QString name = take->m_czBaseName;
    layout->bInterleaved = take->m_bPolyTake || take->m_bProcessedName;
    const int channels = take->m_nChannels;
    const int bits = take->m_nBitsPerSample;
    if (bits != 16 && bits != 24) {
        SendUserMessage(title, QStringLiteral("%1\nplays 16 and 24 bit samples only, not %2 bits.")
                                   .arg(name, QString::number(bits)));
        return false;
    }
    if (channels <= 0 || take->m_nSampleRate <= 0 || (!layout->bInterleaved && channels != 1)) {
        SendUserMessage(title, QStringLiteral("%1\nhas no playable format (%2 channels, %3 Hz).")
                                   .arg(name, QString::number(channels), QString::number(take->m_nSampleRate)));
        return false;
    }
    layout->nBytesPerSample = bits / 8;
    layout->nSampleRate = take->m_nSampleRate;
    layout->nFileChannels = channels;
    layout->nMixChannels = layout->bInterleaved ? std::min(channels, int(kTracks)) : 0;
    bool any = false;
    for (int k = 0; k < kTracks; ++k) {
        // An interleaved take is one file in slot 0.
        const bool present = layout->bInterleaved ? k == 0 : take->m_pbPresent[k];
        layout->pbPresent[k] = present;
        layout->pnDataSize[k] = present ? qint64(take->m_SndFile[k].m_DataChunk.nSize) : 0;
        any = any || present;
    }
    if (!any) {
        SendUserMessage(title, QStringLiteral("%1\nhas no track file to play.").arg(name));
        return false;
    }
    if (layout->bInterleaved && channels > kTracks)
        SendUserMessage(title, QStringLiteral("%1\nhas %2 channels: only the first %3 are played.")
                                   .arg(name, QString::number(channels), QString::number(kTracks)), 0, 2);
    return true;
}

bool GeneratorAudioBuffer::BindTake(QSoundPerform* take)
{
    return Bind(take, ~quint64(0));
}

bool GeneratorAudioBuffer::BindTakeAt(QSoundPerform* take, quint64 frame)
{
    return Bind(take, frame);
}

bool GeneratorAudioBuffer::Bind(QSoundPerform* take, quint64 frame)
{
    Unbind();
    // Whatever happens, what was queued before belongs to another run.
    m_bEnd = true;
    m_nSkipFrames = 0;
    if (!take)
        return false;
    tyTakeLayout layout;
    if (!ReadLayout(take, &layout) || !take->OpenFiles()) {
        take->CloseFiles();
        return false;
    }
    m_Layout = layout;
    m_pTake = take;
    m_nStartSecond = take->m_nStartSecond;
    const quint64 rate = quint64(layout.nSampleRate);
    if (frame == ~quint64(0))
        frame = quint64(m_nStartSecond) * rate;
    // The files are read from the second the frame lies in; the frames
    // before it in that second are dropped as they are handed over.
    const quint32 readSecond = quint32(frame / rate);
    m_nSkipFrames = frame - quint64(readSecond) * rate;
    m_nBindFrame = frame;
    m_bEnd = false;
    m_bEndSignalled = false;
    const qint64 frames = qint64(kReadAheadMs) * layout.nSampleRate / 1000;
    const int depth = int(frames / TakeReadAhead::FramesPerBlock(layout)) + 1;
    m_pReader = std::make_unique<TakeReadAhead>(take, layout, readSecond, depth, m_bRealTime);
    FillQueue();
    return true;
}

void GeneratorAudioBuffer::Unbind()
{
    ClearQueue();
    // The reading thread lets go of the files before they close.
    m_pReader.reset();
    if (m_pTake)
        m_pTake->CloseFiles();
    m_pTake = nullptr;
}

void GeneratorAudioBuffer::ClearQueue()
{
    m_Queue.clear();
    m_pBlockInHand.reset();
    m_nReadOffset = 0;
    m_Handed.clear();
    m_nHandedBytes = 0;
}

int GeneratorAudioBuffer::HandedIndex(qint64 heard) const
{
    // The last record that begins at or before the byte being heard: a later
    // query with a larger held figure finds an earlier record again.
    const auto after = std::upper_bound(m_Handed.begin(), m_Handed.end(), heard,
                                        [](qint64 byte, const tyHanded& run) { return byte < run.nFirstByte; });
    return after == m_Handed.begin() ? 0 : int(after - m_Handed.begin()) - 1;
}

quint64 GeneratorAudioBuffer::FrameHeard(qint64 heldBytes)
{
    if (m_Handed.empty())
        return m_nBindFrame;
    const qint64 heard = std::max<qint64>(0, m_nHandedBytes - std::max<qint64>(0, heldBytes));
    const tyHanded& run = m_Handed[size_t(HandedIndex(heard))];
    if (heard < run.nFirstByte)
        return run.nFirstFrame;
    return std::min(run.nFirstFrame + quint64((heard - run.nFirstByte) / kFrameBytes), run.nEndFrame);
}

quint64 GeneratorAudioBuffer::PublishHeard(qint64 heldBytes)
{
    const quint64 frame = FrameHeard(heldBytes);
    if (m_bRealTime && m_pTake && !m_Handed.empty()) {
        const qint64 heard = std::max<qint64>(0, m_nHandedBytes - std::max<qint64>(0, heldBytes));
        const tyHanded& run = m_Handed[size_t(HandedIndex(heard))];
        if (run.nSerial != m_nLevelsShown) {
            m_nLevelsShown = run.nSerial;
            PublishLevels(run.levels);
        }
    }
    return frame;
}

void GeneratorAudioBuffer::FillQueue()
{
    bool end = false;
    while (int(m_Queue.size()) < kQueueTarget && AddBlock(true, &end)) {
    }
}

void GeneratorAudioBuffer::GainMono(tyPlayBlock* block, const tyRawBlock& raw,
                                    const QSoundPerform::tyMixerSnapshot& mixer)
{
    const int b = m_Layout.nBytesPerSample;
    for (int k = 0; k < kTracks; ++k) {
        if (!m_Layout.pbPresent[k])
            continue;
        int* run = m_Runs.data() + size_t(k) * kFramesMax;
        block->levels.pnBytesPerSample[k] = b;
        GainRunOf(b, mixer.volume[k], raw.bytes.data() + size_t(k) * kTrackBlockBytes, b, raw.pnFramesOf[k], run,
                  &block->levels.pnPrePeak[k], &block->levels.pnPostPeak[k]);
        std::fill(run + raw.pnFramesOf[k], run + raw.nFrames, 0);
    }
}

void GeneratorAudioBuffer::GainInterleaved(tyPlayBlock* block, const tyRawBlock& raw,
                                           const QSoundPerform::tyMixerSnapshot& mixer)
{
    const int b = m_Layout.nBytesPerSample;
    const int frameBytes = b * m_Layout.nFileChannels;
    for (int k = 0; k < m_Layout.nMixChannels; ++k) {
        block->levels.pnBytesPerSample[k] = b;
        GainRunOf(b, mixer.volume[k], raw.bytes.data() + k * b, frameBytes, raw.nFrames,
                  m_Runs.data() + size_t(k) * kFramesMax, &block->levels.pnPrePeak[k], &block->levels.pnPostPeak[k]);
    }
}

void GeneratorAudioBuffer::Mix(tyPlayBlock* block, int frames, const QSoundPerform::tyMixerSnapshot& mixer)
{
    const int b = m_Layout.nBytesPerSample;
    bool takesPart[kTracks];
    int active = 0;
    for (int k = 0; k < kTracks; ++k) {
        takesPart[k] = m_Layout.bInterleaved ? k < m_Layout.nMixChannels : m_Layout.pbPresent[k];
        int* run = m_Runs.data() + size_t(k) * kFramesMax;
        // Runs of tracks left out read as silence (an M/S partner may read them).
        if (!takesPart[k] || mixer.mute[k])
            std::fill(run, run + frames, 0);
        else
            ++active;
    }
    int* left = m_Bus[0].data();
    int* right = m_Bus[1].data();
    std::fill(left, left + frames, 0);
    std::fill(right, right + frames, 0);
    for (int k = 0; k < kTracks; ++k) {
        if (!takesPart[k])
            continue;
        int* run = m_Runs.data() + size_t(k) * kFramesMax;
        const int pair = k / 2;
        if (!m_Layout.bInterleaved && mixer.msPair[pair] && mixer.swapMS[pair]) {
            // Mid on the even track, side on the odd one: L = M + S, R = M - S.
            if (k % 2 == 0) {
                const int* side = run + kFramesMax;
                for (int f = 0; f < frames; ++f)
                    left[f] += run[f] + side[f];
            } else {
                const int* mid = run - kFramesMax;
                for (int f = 0; f < frames; ++f)
                    right[f] += mid[f] - run[f];
            }
            continue;
        }
        switch (mixer.pan[k]) {
        case 0: AddRun(left, run, frames); break;
        case 1: AddRun(left, run, frames); AddRun(right, run, frames); break;
        case 2: AddRun(right, run, frames); break;
        default: break;
        }
    }
    for (int side = 0; side < 2; ++side) {
        block->levels.nMasterBytesPerSample[side] = b;
        block->levels.nMasterPeak[side] = active > 0 ? PeakOf(m_Bus[side].data(), frames) / active : 0;
    }
    // Clipped to the source width, then 16 bits: a 24-bit sample keeps its
    // upper two bytes. A short block is padded with silence.
    const int top = b == 2 ? 32767 : 8388607;
    const int shift = b == 2 ? 0 : 8;
    block->pcm.assign(size_t(2) * (kTrackBlockBytes / b), 0);
    qint16* out = block->pcm.data();
    for (int f = 0; f < frames; ++f) {
        out[2 * f] = qint16(std::clamp(left[f], -top - 1, top) >> shift);
        out[2 * f + 1] = qint16(std::clamp(right[f], -top - 1, top) >> shift);
    }
}

int GeneratorAudioBuffer::AddOneAudioBuffer(bool* end)
{
    if (!m_pTake) {
        if (end)
            *end = true;
        return 1;
    }
    bool reachedEnd = false;
    AddBlock(true, &reachedEnd);
    if (end)
        *end = reachedEnd;
    return 0;
}

bool GeneratorAudioBuffer::AddBlock(bool wait, bool* end)
{
    *end = true;
    if (!m_pTake)
        return false;
    // A new start second (a seek from the GUI) restarts the data there.
    const quint32 startSecond = m_pTake->m_nStartSecond;
    if (startSecond != m_nStartSecond) {
        m_nStartSecond = startSecond;
        m_nSkipFrames = 0;
        m_bEnd = false;
        m_bEndSignalled = false;
        m_pReader->Seek(startSecond);
    }
    bool added = false;
    if (!m_bEnd) {
        std::unique_ptr<tyRawBlock> raw;
        switch (m_pReader->Next(&raw, wait)) {
        case TakeReadAhead::Ready: {
            // The GUI may change the mixer at any time: one consistent copy per block.
            const QSoundPerform::tyMixerSnapshot mixer = m_pTake->MixerSnapshot();
            auto block = std::make_unique<tyPlayBlock>();
            if (m_Layout.bInterleaved)
                GainInterleaved(block.get(), *raw, mixer);
            else
                GainMono(block.get(), *raw, mixer);
            Mix(block.get(), raw->nFrames, mixer);
            block->nPosition = raw->nPosition;
            block->nFirstFrame = raw->nPosition - quint64(raw->nFrames);
            m_Queue.push_back(std::move(block));
            m_pReader->Recycle(std::move(raw));
            added = true;
            break;
        }
        case TakeReadAhead::End: m_bEnd = true; break;
        case TakeReadAhead::NotYet: break;
        }
    }
    *end = m_bEnd;
    return added;
}

void GeneratorAudioBuffer::PublishLevels(const tyBlockLevels& block)
{
    for (int k = 0; k < kTracks; ++k) {
        m_pTake->SetVumetreTracksLog(k, block.pnPrePeak[k], block.pnBytesPerSample[k]);
        m_pTake->SetVumetreTracksPostFadeLog(k, block.pnPostPeak[k], block.pnBytesPerSample[k]);
    }
    m_pTake->SetVumetreMasterLeftLog(block.nMasterPeak[0], block.nMasterBytesPerSample[0]);
    m_pTake->SetVumetreMasterRightLog(block.nMasterPeak[1], block.nMasterBytesPerSample[1]);
}

qint64 GeneratorAudioBuffer::readData(char* data, qint64 maxlen)
{
    if (maxlen <= 0)
        return 0;
    qint64 given = 0;
    while (given < maxlen) {
        if (!m_pBlockInHand) {
            // Frames being skipped are not due: the queue is kept full past them.
            if (m_nSkipFrames > 0)
                FillQueue();
            if (m_Queue.empty()) {
                if (!m_bEnd)
                    MyQDebug("Audio Buffer Under RUN !");
                break;
            }
            m_pBlockInHand = std::move(m_Queue.front());
            m_Queue.pop_front();
            const quint64 frames = m_pBlockInHand->nPosition - m_pBlockInHand->nFirstFrame;
            const quint64 skip = std::min(m_nSkipFrames, frames);
            m_nSkipFrames -= skip;
            if (skip > 0 && skip == frames) {
                m_pBlockInHand.reset();
                continue;
            }
            m_nReadOffset = qint64(skip) * kFrameBytes;
            m_Handed.push_back({m_nHandedBytes + given, m_pBlockInHand->nFirstFrame + skip,
                                m_pBlockInHand->nPosition, ++m_nHandedSerial, m_pBlockInHand->levels});
            // Kept by what an output could still hold, not by what was asked
            // of them: a pause may report more held than the last tick did,
            // and a failure resumes from the frame found here.
            const qint64 keep = qint64(kKeepHandedMs) * std::max(1, m_Layout.nSampleRate) / 1000 * kFrameBytes;
            while (m_Handed.size() > 1 && m_Handed[1].nFirstByte + keep <= m_nHandedBytes + given)
                m_Handed.pop_front();
            if (m_pTake && !m_bRealTime)
                PublishLevels(m_pBlockInHand->levels);
        }
        tyPlayBlock& block = *m_pBlockInHand;
        const qint64 n = std::min(block.ByteCount() - m_nReadOffset, maxlen - given);
        std::memcpy(data + given, reinterpret_cast<const char*>(block.pcm.data()) + m_nReadOffset, size_t(n));
        given += n;
        m_nReadOffset += n;
        if (m_nReadOffset >= block.ByteCount()) {
            m_pBlockInHand.reset();
            m_nReadOffset = 0;
        }
    }
    if (m_pTake) {
        // Feeding a device, this waits for the reading thread only when
        // nothing at all is left to hand over: else the next pull takes what
        // has been read by then, and the output plays on meanwhile.
        const bool wait = !m_bRealTime || (m_Queue.empty() && !m_pBlockInHand);
        bool end = false;
        for (int i = 0; i < 3 && int(m_Queue.size()) < kQueueTarget && !end; ++i) {
            if (!AddBlock(wait, &end))
                break;
        }
    }
    if (m_bEnd && m_Queue.empty() && !m_pBlockInHand && given < maxlen) {
        const qint64 silence
            = std::min(maxlen - given, m_nMinimumRunBytes - m_nHandedBytes - given) / kFrameBytes * kFrameBytes;
        if (silence > 0) {
            std::memset(data + given, 0, size_t(silence));
            given += silence;
        }
    }
    m_nHandedBytes += given;
    // The end is told once, when its last byte has been handed over.
    if (m_bEnd && m_Queue.empty() && !m_pBlockInHand && m_nHandedBytes >= m_nMinimumRunBytes && !m_bEndSignalled) {
        m_bEndSignalled = true;
        emit signal_GeneratorAudioBufferEnd();
    }
    return given;
}
