#ifndef NALVO_PLAYER_GENERATORAUDIOBUFFER_H
#define NALVO_PLAYER_GENERATORAUDIOBUFFER_H

#include "take/soundperform.h"

#include <QIODevice>
#include <QtGlobal>

#include <deque>
#include <memory>
#include <vector>

// One pre-mixed block: 16-bit little-endian stereo frames, left first, and
// the levels measured while mixing it.
struct tyPlayBlock {
    std::vector<qint16> pcm;                       // interleaved L R
    int pnBytesPerSample[QSoundPerform::kMaxTracks];
    int pnPrePeak[QSoundPerform::kMaxTracks];      // before the gain; 0 when not read
    int pnPostPeak[QSoundPerform::kMaxTracks];     // after the gain, before muting
    quint64 nFirstFrame = 0;                       // the block's first frame, from the take's start
    quint64 nPosition = 0;                         // the frame after its last
    int nMasterBytesPerSample[2] = {3, 3};
    int nMasterPeak[2] = {0, 0};

    tyPlayBlock();
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
// take's mixer tables are read once per block through its snapshot; its
// layout (files, format) is copied when the take is bound and must not
// change while the take is bound.
class GeneratorAudioBuffer : public QIODevice
{
    Q_OBJECT
public:
    enum : int {
        kTrackBlockBytes = 5040,   // bytes read of each track per block
        kQueueTarget = 10,
    };

    explicit GeneratorAudioBuffer(QObject* parent = nullptr);
    ~GeneratorAudioBuffer() override;

    // Opens the take's files, positions them at the take's start second,
    // drops the queue and the block in hand and fills the queue. False, with
    // nothing bound, when the files do not open or the take's format cannot
    // be played (the reason goes to the message channel).
    bool BindTake(QSoundPerform* take);
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
    // The end of the data came and every byte of it has been handed over.
    bool EndHandedOver() const { return m_bEndSignalled; }
    // The take's frame being heard while the output still holds heldBytes of
    // what was handed over; the start frame before anything was handed.
    quint64 FrameHeard(qint64 heldBytes);

    bool isSequential() const override { return true; }

signals:
    // Once per run of the data, after the last block was handed over.
    void signal_GeneratorAudioBufferEnd();

protected:
    qint64 readData(char* data, qint64 maxlen) override;
    qint64 writeData(const char* data, qint64 len) override;

private:
    // What the mixer needs of the take, copied when it is bound.
    struct tyLayout {
        bool bInterleaved = false;
        int nFileChannels = 1;       // channels in each file read
        int nMixChannels = 0;        // interleaved: channels mixed (at most 24)
        int nBytesPerSample = 0;
        int nSampleRate = 0;
        bool pbPresent[QSoundPerform::kMaxTracks] = {};
        qint64 pnDataSize[QSoundPerform::kMaxTracks] = {};   // per file: its own data end
    };

    bool ReadLayout(QSoundPerform* take, tyLayout* layout) const;
    // Positions every present file at the start second; false on a seek error.
    bool Reposition(quint32 second);
    void ClearQueue();
    // Reads the block's source bytes into the track runs; the frames read, 0
    // at the end, -1 on a read error (reported).
    // Their gain steps are applied on the way.
    int ReadMono(tyPlayBlock* block, const QSoundPerform::tyMixerSnapshot& mixer);
    int ReadInterleaved(tyPlayBlock* block, const QSoundPerform::tyMixerSnapshot& mixer);
    void Mix(tyPlayBlock* block, int frames, const QSoundPerform::tyMixerSnapshot& mixer);
    void PublishLevels(const tyPlayBlock& block);
    void ReportReadError(int slot, qint64 got, qint64 wanted);

    QSoundPerform* m_pTake = nullptr;            // not owned
    tyLayout m_Layout;
    quint32 m_nStartSecond = 0;                  // start second the files were positioned for
    qint64 m_nSeekOffset = 0;                    // byte offset of that second in each file's data
    qint64 m_nBytesRead = 0;                     // since the seek: per track file, or of the interleaved file
    bool m_bEnd = false;
    bool m_bEndSignalled = false;
    bool m_bReadFailed = false;
    std::deque<std::unique_ptr<tyPlayBlock>> m_Queue;
    std::unique_ptr<tyPlayBlock> m_pBlockInHand;
    qint64 m_nReadOffset = 0;                    // bytes of the block in hand already given

    // Which take frames the bytes handed over since the last bind carry, one
    // entry per block (a seek while playing breaks the run of frames).
    struct tyHanded {
        qint64 nFirstByte;                       // counted from the bind
        quint64 nFirstFrame;
        quint64 nEndFrame;                       // padding after it is silence
    };
    std::deque<tyHanded> m_Handed;
    qint64 m_nHandedBytes = 0;
    quint64 m_nBindFrame = 0;                    // the start frame at the bind

    // Work areas, kept between blocks.
    std::vector<char> m_ReadArea;                // the bytes read: per track, or interleaved frames
    std::vector<int> m_Runs;                     // 24 runs of gained samples, one int per frame
    std::vector<int> m_Bus[2];
};

#endif
