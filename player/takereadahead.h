#ifndef NALVO_PLAYER_TAKEREADAHEAD_H
#define NALVO_PLAYER_TAKEREADAHEAD_H

#include "take/soundperform.h"

#include <condition_variable>
#include <deque>
#include <memory>
#include <mutex>
#include <thread>
#include <vector>

// What the player needs to know of a take's files, copied when it is bound.
struct tyTakeLayout {
    bool bInterleaved = false;
    int nFileChannels = 1;       // channels in each file read
    int nMixChannels = 0;        // interleaved: channels mixed (at most 24)
    int nBytesPerSample = 0;
    int nSampleRate = 0;
    bool pbPresent[QSoundPerform::kMaxTracks] = {};
    qint64 pnDataSize[QSoundPerform::kMaxTracks] = {};   // per file: its own data end
};

// The source bytes of one block, as read from the take's files.
struct tyRawBlock {
    // Mono family: one area of kTrackBlockBytes per track slot; interleaved:
    // the frames as the file holds them. Both end with spare bytes, so a
    // 24-bit sample can be read as one 4-byte load.
    std::vector<char> bytes;
    int pnFramesOf[QSoundPerform::kMaxTracks] = {};   // mono family: frames of each track
    int nFrames = 0;
    quint64 nPosition = 0;                            // the take frame after the block's last
};

// Reads the take's files ahead of the player on a thread of its own, so a
// read that waits on a busy disk or a loaded machine does not starve the
// output: the mixer takes the blocks from here and mixes them as late as
// possible, with the mixer settings of that moment. The files are opened
// by whoever binds the take and belong to this thread until it is deleted.
class TakeReadAhead
{
public:
    enum tyResult { Ready, NotYet, End };
    enum : int { kTrackBlockBytes = 5040, kSlack = 4 };

    // Starts reading at startSecond, at most `depth` blocks ahead. realTime:
    // the blocks feed a sound output, so the thread takes the highest
    // priority the system grants.
    TakeReadAhead(QSoundPerform* take, const tyTakeLayout& layout, quint32 startSecond, int depth, bool realTime);
    // Stops and joins the thread; the files are left open.
    ~TakeReadAhead();
    TakeReadAhead(const TakeReadAhead&) = delete;
    TakeReadAhead& operator=(const TakeReadAhead&) = delete;

    // The next block. wait: until one is read or the end comes; else NotYet
    // when none is ready. End after the last block or a read error (reported).
    tyResult Next(std::unique_ptr<tyRawBlock>* block, bool wait);
    // Hands a used block back for reuse.
    void Recycle(std::unique_ptr<tyRawBlock> block);
    // Drops what was read and goes on from that second.
    void Seek(quint32 second);

    // Frames of one block for the layout.
    static int FramesPerBlock(const tyTakeLayout& layout) { return kTrackBlockBytes / layout.nBytesPerSample; }

private:
    void Run(bool realTime);
    bool Reposition(quint32 second);
    // Reads one block; null at the end or on a read error.
    std::unique_ptr<tyRawBlock> ReadBlock();
    bool ReadMono(tyRawBlock* block);
    bool ReadInterleaved(tyRawBlock* block);
    void ReportReadError(int slot, qint64 got, qint64 wanted) const;

    // Reader thread only (set before it starts).
    QSoundPerform* const m_pTake;
    const tyTakeLayout m_Layout;
    const int m_nDepth;
    const size_t m_nBlockBytes;
    quint32 m_nStartSecond = 0;
    qint64 m_nSeekOffset = 0;    // byte offset of that second in each file's data
    qint64 m_nBytesRead = 0;     // since it: per track file, or of the interleaved file

    // Shared, under m_Mutex.
    std::mutex m_Mutex;
    std::condition_variable m_Changed;
    std::deque<std::unique_ptr<tyRawBlock>> m_Ready;
    std::vector<std::unique_ptr<tyRawBlock>> m_Spare;
    bool m_bSeekPending = true;
    quint32 m_nSeekSecond = 0;
    quint64 m_nGeneration = 0;   // counts seeks: a block read across one is dropped
    bool m_bEnd = false;
    bool m_bStop = false;

    std::thread m_Thread;        // last: starts once everything above exists
};

#endif
