#include "player/takereadahead.h"

#include "foundation/messageloging.h"
#include "player/threadpriority.h"

#include <QFileInfo>

#include <algorithm>

TakeReadAhead::TakeReadAhead(QSoundPerform* take, const tyTakeLayout& layout, quint32 startSecond, int depth,
                             bool realTime)
    : m_pTake(take)
    , m_Layout(layout)
    , m_nDepth(std::max(1, depth))
    , m_nBlockBytes(size_t(kSlack)
                    + (layout.bInterleaved
                           ? size_t(layout.nBytesPerSample) * size_t(layout.nFileChannels) * size_t(FramesPerBlock(layout))
                           : size_t(QSoundPerform::kMaxTracks) * kTrackBlockBytes))
    , m_nSeekSecond(startSecond)
    , m_Thread([this, realTime] { Run(realTime); })
{
}

TakeReadAhead::~TakeReadAhead()
{
    {
        std::lock_guard<std::mutex> lock(m_Mutex);
        m_bStop = true;
    }
    m_Changed.notify_all();
    m_Thread.join();
}

TakeReadAhead::tyResult TakeReadAhead::Next(std::unique_ptr<tyRawBlock>* block, bool wait)
{
    std::unique_lock<std::mutex> lock(m_Mutex);
    for (;;) {
        if (!m_Ready.empty()) {
            *block = std::move(m_Ready.front());
            m_Ready.pop_front();
            lock.unlock();
            m_Changed.notify_all();
            return Ready;
        }
        if (m_bEnd && !m_bSeekPending)
            return End;
        if (!wait)
            return NotYet;
        m_Changed.wait(lock);
    }
}

void TakeReadAhead::Recycle(std::unique_ptr<tyRawBlock> block)
{
    std::lock_guard<std::mutex> lock(m_Mutex);
    if (block && int(m_Spare.size()) < m_nDepth)
        m_Spare.push_back(std::move(block));
}

void TakeReadAhead::Seek(quint32 second)
{
    {
        std::lock_guard<std::mutex> lock(m_Mutex);
        for (auto& block : m_Ready) {
            if (int(m_Spare.size()) < m_nDepth)
                m_Spare.push_back(std::move(block));
        }
        m_Ready.clear();
        m_bSeekPending = true;
        m_nSeekSecond = second;
        ++m_nGeneration;
    }
    m_Changed.notify_all();
}

void TakeReadAhead::Run(bool realTime)
{
    if (realTime)
        MyQDebug("Player read-ahead thread: %s", qPrintable(RaiseAudioThreadPriority()));
    std::unique_lock<std::mutex> lock(m_Mutex);
    while (!m_bStop) {
        if (m_bSeekPending) {
            const quint32 second = m_nSeekSecond;
            m_bSeekPending = false;
            m_bEnd = false;
            lock.unlock();
            const bool placed = Reposition(second);
            lock.lock();
            if (!placed && !m_bSeekPending)
                m_bEnd = true;
            m_Changed.notify_all();
            continue;
        }
        if (m_bEnd || int(m_Ready.size()) >= m_nDepth) {
            m_Changed.wait(lock);
            continue;
        }
        const quint64 generation = m_nGeneration;
        std::unique_ptr<tyRawBlock> spare;
        if (!m_Spare.empty()) {
            spare = std::move(m_Spare.back());
            m_Spare.pop_back();
        }
        lock.unlock();
        if (!spare)
            spare = std::make_unique<tyRawBlock>();
        spare->bytes.resize(m_nBlockBytes);
        const bool read = m_Layout.bInterleaved ? ReadInterleaved(spare.get()) : ReadMono(spare.get());
        lock.lock();
        if (generation != m_nGeneration)
            continue;   // a seek came while reading: that block belongs to the old place
        if (read)
            m_Ready.push_back(std::move(spare));
        else
            m_bEnd = true;
        m_Changed.notify_all();
    }
}

bool TakeReadAhead::Reposition(quint32 second)
{
    m_nStartSecond = second;
    m_nBytesRead = 0;
    m_nSeekOffset = qint64(second) * m_Layout.nSampleRate * m_Layout.nFileChannels * m_Layout.nBytesPerSample;
    return m_pTake->SetFilesOnData(second) >= 0;
}

void TakeReadAhead::ReportReadError(int slot, qint64 got, qint64 wanted) const
{
    const QString path = m_pTake->m_SndFile[slot].GetPath();
    const QFileInfo info(path);
    SendUserMessage(QStringLiteral("Play"),
                    QStringLiteral("Unable to read\n%1\n%2\n(%3 of %4 bytes). Playback stops here.")
                        .arg(info.absolutePath(), info.fileName(), QString::number(qMax<qint64>(got, 0)),
                             QString::number(wanted)));
}

bool TakeReadAhead::ReadMono(tyRawBlock* block)
{
    const int b = m_Layout.nBytesPerSample;
    int frames = 0;
    for (int k = 0; k < QSoundPerform::kMaxTracks; ++k) {
        block->pnFramesOf[k] = 0;
        if (!m_Layout.pbPresent[k])
            continue;
        // Each file ends at its own data end; one shorter than the others
        // (or than the seek point) falls silent while the rest play on.
        const qint64 left = m_Layout.pnDataSize[k] - m_nSeekOffset - m_nBytesRead;
        const qint64 want = std::min<qint64>(kTrackBlockBytes, left) / b * b;
        if (want <= 0)
            continue;
        char* area = block->bytes.data() + size_t(k) * kTrackBlockBytes;
        const int got = m_pTake->m_SndFile[k].LectureDataBin(area, -1, int(want));
        if (got != want) {
            // A file cut short or gone (a card pulled) before its data end.
            ReportReadError(k, got, want);
            return false;
        }
        block->pnFramesOf[k] = got / b;
        frames = std::max(frames, block->pnFramesOf[k]);
    }
    if (frames == 0)
        return false;
    m_nBytesRead += qint64(frames) * b;
    block->nFrames = frames;
    block->nPosition = quint64(m_nStartSecond) * quint64(m_Layout.nSampleRate) + quint64(m_nBytesRead / b);
    return true;
}

bool TakeReadAhead::ReadInterleaved(tyRawBlock* block)
{
    const int frameBytes = m_Layout.nBytesPerSample * m_Layout.nFileChannels;
    const qint64 left = m_Layout.pnDataSize[0] - m_nSeekOffset - m_nBytesRead;
    const qint64 want = std::min<qint64>(qint64(FramesPerBlock(m_Layout)) * frameBytes, left) / frameBytes * frameBytes;
    if (want <= 0)
        return false;
    const int got = m_pTake->m_SndFile[0].LectureDataBin(block->bytes.data(), -1, int(want));
    if (got != want) {
        ReportReadError(0, got, want);
        return false;
    }
    m_nBytesRead += got;
    block->nFrames = got / frameBytes;
    block->nPosition = quint64(m_nStartSecond) * quint64(m_Layout.nSampleRate) + quint64(m_nBytesRead / frameBytes);
    return true;
}
