#ifndef NALVO_PLAYER_GENERATORAUDIOBUFFER_H
#define NALVO_PLAYER_GENERATORAUDIOBUFFER_H

#include "player/takereadahead.h"
#include "take/soundperform.h"

#include <QIODevice>
#include <QtGlobal>

#include <deque>
#include <memory>
#include <vector>

// The levels measured while mixing one block.
struct tyBlockLevels {
    int pnBytesPerSample[QSoundPerform::kMaxTracks];
    int pnPrePeak[QSoundPerform::kMaxTracks];      // before the gain; 0 when not read
    int pnPostPeak[QSoundPerform::kMaxTracks];     // after the gain, before muting
    int nMasterBytesPerSample[2] = {3, 3};
    int nMasterPeak[2] = {0, 0};

    tyBlockLevels();
};

// One pre-mixed block: 16-bit little-endian stereo frames, left first, and
// the levels measured while mixing it.
struct tyPlayBlock {
    std::vector<qint16> pcm;                       // interleaved L R
    tyBlockLevels levels;
    quint64 nFirstFrame = 0;                       // the block's first frame, from the take's start
    quint64 nPosition = 0;                         // the frame after its last

    qint64 ByteCount() const { return qint64(pcm.size()) * qint64(sizeof(qint16)); }
};

// The player's pull source: ahead of the audio output it reads the take's
// files block by block, mixes up to 24 tracks into 16-bit stereo with the
// take's gain steps, mute flags (which carry the solo), routing codes and
// M/S decoding, queues the blocks and hands their bytes to the output. The
// levels and the play position of the block being handed over are written
// into the take.
//
// Threads: made and first filled on the GUI thread before the player
// thread starts; from then on every call comes from the player thread. The
// files are read ahead on a thread of their own (TakeReadAhead), so a slow
// read does not hold up the output; the mixing waits until a block is due,
// so a fader or mute is heard once the few queued blocks have played. The
// take's mixer tables are read once per block through its snapshot; its
// layout (files, format) is copied when the take is bound and must not
// change while the take is bound.
class GeneratorAudioBuffer : public QIODevice
{
    Q_OBJECT
public:
    enum : int {
        kTrackBlockBytes = TakeReadAhead::kTrackBlockBytes,   // bytes read of each track per block
        kQueueTarget = 10,
        kReadAheadMs = 2000,       // of the take read from the files ahead of the mixer
        kFrameBytes = 4,           // of what is handed over: 16-bit stereo
        // What was handed over is traced back to the take's frames this far:
        // far more than any output holds.
        kKeepHandedMs = 10000,
    };

    explicit GeneratorAudioBuffer(QObject* parent = nullptr);
    ~GeneratorAudioBuffer() override;

    // Opens the take's files, positions them at the take's start second,
    // drops the queue and the block in hand and fills the queue. False, with
    // nothing bound, when the files do not open or the take's format cannot
    // be played (the reason goes to the message channel).
    bool BindTake(QSoundPerform* take);
    // The same, but the data begins at a frame of the take (where an
    // interrupted playback stopped) while the take's start second stays the
    // one in use; a later seek of the start second goes there as usual.
    bool BindTakeAt(QSoundPerform* take, quint64 frame);
    // Releases the queue and the block in hand, closes the take's files.
    void Unbind();
    QSoundPerform* Take() const { return m_pTake; }

    // Mixes one block into the queue. 1 when no take is bound, else 0; *end
    // (when given) tells whether the end of the data has been reached.
    int AddOneAudioBuffer(bool* end);
    // Adds blocks while the queue holds fewer than kQueueTarget and the end
    // has not come.
    void FillQueue();
    int QueuedBlocks() const { return int(m_Queue.size()); }
    // The blocks feed a sound output in real time (not a capture run as
    // fast as it goes): the reading thread takes a high priority. For the
    // next bind.
    void SetRealTime(bool realTime) { m_bRealTime = realTime; }
    // After the end of the data, silence is handed over until this many
    // bytes were in the run. For the run that follows.
    void SetMinimumRun(qint64 bytes) { m_nMinimumRunBytes = bytes; }
    // The end of the data came and every byte of it has been handed over.
    bool EndHandedOver() const { return m_bEndSignalled; }
    // The take's frame being heard while the output still holds heldBytes of
    // what was handed over; the start frame before anything was handed.
    quint64 FrameHeard(qint64 heldBytes);
    // The same; feeding a device, the levels of the block being heard are
    // written into the take (else they are written as each block is handed
    // over, since no one waits for the sound).
    quint64 PublishHeard(qint64 heldBytes);

    bool isSequential() const override { return true; }

signals:
    // Once per run of the data, after the last block was handed over.
    void signal_GeneratorAudioBufferEnd();

protected:
    qint64 readData(char* data, qint64 maxlen) override;
    qint64 writeData(const char* data, qint64 len) override;

private:
    bool ReadLayout(QSoundPerform* take, tyTakeLayout* layout) const;
    bool Bind(QSoundPerform* take, quint64 frame);
    void ClearQueue();
    // Mixes the next block read ahead into the queue, waiting for it when
    // `wait`; false when none came (the end, or not read yet).
    bool AddBlock(bool wait, bool* end);
    // The block's source samples, with their gain steps, into the track runs.
    void GainMono(tyPlayBlock* block, const tyRawBlock& raw, const QSoundPerform::tyMixerSnapshot& mixer);
    void GainInterleaved(tyPlayBlock* block, const tyRawBlock& raw, const QSoundPerform::tyMixerSnapshot& mixer);
    void Mix(tyPlayBlock* block, int frames, const QSoundPerform::tyMixerSnapshot& mixer);
    void PublishLevels(const tyBlockLevels& levels);
    // The record of m_Handed that holds the byte `heard` (the first when it
    // lies before all).
    int HandedIndex(qint64 heard) const;

    QSoundPerform* m_pTake = nullptr;            // not owned
    tyTakeLayout m_Layout;
    quint32 m_nStartSecond = 0;                  // start second the reading began at
    bool m_bRealTime = false;
    bool m_bEnd = false;
    bool m_bEndSignalled = false;
    std::unique_ptr<TakeReadAhead> m_pReader;
    std::deque<std::unique_ptr<tyPlayBlock>> m_Queue;
    std::unique_ptr<tyPlayBlock> m_pBlockInHand;
    qint64 m_nReadOffset = 0;                    // bytes of the block in hand already given

    // Which take frames the bytes handed over since the last bind carry, one
    // entry per block (a seek while playing breaks the run of frames).
    struct tyHanded {
        qint64 nFirstByte;                       // counted from the bind
        quint64 nFirstFrame;
        quint64 nEndFrame;                       // padding after it is silence
        quint64 nSerial;                         // counts the blocks handed over
        tyBlockLevels levels;
    };
    std::deque<tyHanded> m_Handed;
    qint64 m_nHandedBytes = 0;
    quint64 m_nHandedSerial = 0;
    quint64 m_nLevelsShown = ~quint64(0);        // serial of the block whose levels the take holds
    qint64 m_nMinimumRunBytes = 0;
    quint64 m_nBindFrame = 0;                    // the start frame at the bind
    quint64 m_nSkipFrames = 0;                   // of the first blocks, not handed over

    // Work areas, kept between blocks.
    std::vector<int> m_Runs;                     // 24 runs of gained samples, one int per frame
    std::vector<int> m_Bus[2];
};

#endif
