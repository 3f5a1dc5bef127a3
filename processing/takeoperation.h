#ifndef NALVO_PROCESSING_TAKEOPERATION_H
#define NALVO_PROCESSING_TAKEOPERATION_H

#include "foundation/cancelflag.h"
#include "foundation/safeoutput.h"
#include "soundfile/chunkrecords.h"

#include <QByteArray>
#include <QFile>
#include <QList>
#include <QString>
#include <functional>
#include <memory>
#include <vector>

class QSoundFile;

// The pieces every take operation of the engine (mixdowns, interleaves,
// bounces, imports) is built from, in the order it uses them:
//
//   TakeSourceName   the file of one track slot (two-digit, then one-character code)
//   TakeSources      opens the wanted slots, refuses what cannot be mixed,
//                    keeps the first source's records and every source's iXML values
//   CheckFreeSpace   estimate in MiB against the volume, 10 MiB kept free
//   OutputHeader     the new file's header bytes, final sizes included
//   OutputFileName   destination + base name + suffix + extension
//   BeginOutput      SafeOutput::Begin with the engine's messages
//   RunBlocks        the block loop: cancel and progress once per block
//   RunBlocksSpread  the same with the blocks' work on worker threads
//   MixAreas         the work storage of each computer of a spread mix
//   FinishOutput     close, metadata pass on the temporary file, final name
//
// Contracts: every piece that fails has already told the user (message
// channel, under the operation's title) and returns false; no piece leaves a
// file under the final name unless FinishOutput succeeded. Sizes are 64-bit.
namespace takeop {

enum : int {
    kTracks = 24,
    kBlockBytes = 49152,
    // Room kept in the planned length for the iXML the metadata pass appends.
    kIxmlAllowance = 128 * 1024,
};

struct tyTakeParams {
    QString czFolder;          // ends with "/"
    QString czBaseName;
    QString czExtension;       // without the dot
    const char* pcSeparators = nullptr;   // 24; null: '_'
};

// "%s%s%c%s.%s" with the two-digit track number of slot + 1; when no such
// file exists, the one-character form, unchecked.
QString TakeSourceName(const tyTakeParams& take, int slot);

// One opened source track.
struct tySource {
    int nSlot = -1;
    QString czPath;
    std::unique_ptr<QFile> pFile;     // plain, read-only, unbuffered
    qint64 nDataOffset = 0;
    quint32 nDataSize = 0;            // the data chunk's size (checked against the file)
    qint64 nWaveOffset = 0;           // first waveform chunk's header; 0 none
    quint32 nWaveSize = 0;
    bool bIxml = false;               // its iXML parsed
    QString czTrackName;              // its iXML mono track name
    QString czNote;                   // its iXML note
};

// The sources of one operation. Every wanted slot is tried; any that cannot
// be opened, is not mono 16/24-bit PCM, is truncated or disagrees with the
// first in rate or width gets a message and makes Open() false. A source
// shorter than the first reads as silence past its end; a longer one is
// read up to the first's length only.
class TakeSources
{
public:
    TakeSources();
    ~TakeSources();

    bool Open(const tyTakeParams& take, const bool* wanted, const char* title);
    const tySource* Source(int slot) const;
    int BytesPerSample() const { return m_Fmt.nBitsPerSample / 8; }
    // The first source's audio bytes, cut to whole samples: the operation's length.
    quint32 DataSize() const;

    // Reads bytes [start, start + n) of a slot's audio into area, stopping at
    // that source's data end and zero-filling the rest of the n bytes.
    // False (with a message) on an I/O error or a short read inside the data.
    bool ReadBlock(int slot, qint64 start, char* area, int n);
    // The same without a message, safe from several threads at once: it
    // reads at the offset and leaves the files' positions alone.
    bool ReadBlockAt(int slot, qint64 start, char* area, int n) const;
    // After ReadBlockAt failed on another thread: reads the block of every
    // slot in `read` again, so the message names the source (or is a plain
    // one when every read passes this time).
    void ReportFailedBlock(const bool* read, qint64 start, int n);
    // A slot's first waveform chunk, whole, with the fourth id character
    // replaced (kept when idLast is 0); an odd size gets one zero level.
    // Empty when it has none or the read fails.
    QByteArray WaveformChunk(int slot, char idLast);

    // First source's records.
    tyFmtChunk m_Fmt{};
    tyBextChunk m_Bext{};
    tyFilmChunk m_Film{};
    bool m_bHasBext = false;
    bool m_bHasFilm = false;
    // Maker-block values of the first source with iXML.
    bool m_bMakerRead = false;
    QString m_czMakerName[kTracks];
    QString m_czMakerPan[kTracks];
    QString m_czMakerActive[kTracks];
    QString m_czMakerInGrid[kTracks];
    // Take values of the last source with iXML.
    QString m_czLastNote;
    QString m_czLastCircled;
    QString m_czLastRefLevel;

private:
    bool OpenOne(const tyTakeParams& take, int slot, bool first, const char* title);
    std::unique_ptr<tySource> m_pSources[kTracks];
    QString m_czTitle;
    bool m_bFirst = true;
};

// Free space check: "Free : %d - Size : %lld" to the debug log, and when the
// volume's free MiB minus 10 is below the estimate's whole MiB, the text
// (one %1 for the volume folder) as a message and false. Unknown free space
// passes: the write checks decide.
bool CheckFreeSpace(const QString& destinationFolder, qint64 estimateBytes, const char* title,
                    const QString& text);

// The output's header: RIFF, a 16-byte PCM fmt, the first source's bext
// (OriginatorReference ending in the base name's first six characters +
// "0000") and film (channel count, net file name) when it has them, the
// given waveform chunks, and the data header. The RIFF size counts dataSize
// bytes of audio after it.
struct tyOutputLayout {
    int nChannels = 2;
    int nBitsPerSample = 16;
    quint32 nDataSize = 0;
    QString czFilmName;                // "%s%s.%s"
    QList<QByteArray> waveformChunks;
};
QByteArray OutputHeader(const TakeSources& sources, const QString& baseName, const tyOutputLayout& layout);

// destination + base + suffix + "." + extension; "WAV" becomes "BWF" with wavToBwf.
QString OutputFileName(const QString& destination, const QString& baseName, const QString& suffix,
                       const QString& extension, bool wavToBwf);

// Starts the output for headerBytes + dataBytes (+ the iXML allowance),
// replacing an older file of the name. Messages: a too large output, no
// room (noRoomText, %1 the volume), else openFailText (%1 the file name;
// empty: the write-failure message below).
// operation names the output in messages ("the stereo mixdown").
bool BeginOutput(SafeOutput& output, qint64 headerBytes, qint64 dataBytes, const char* title,
                 const QString& noRoomText, const QString& openFailText = QString(),
                 const QString& operation = QString());

enum class LoopEnd { Done, Cancelled, Failed };
// Blocks of kBlockBytes over dataSize bytes of one track: block(start, n)
// reads, computes and writes one block (false: failed, already reported);
// then progress(n); then the cancel flag is looked at. progress(0) closes.
LoopEnd RunBlocks(quint32 dataSize, const CancelFlag* cancel,
                  const std::function<bool(qint64 start, int n)>& block,
                  const std::function<void(qint64)>& progress);

// RunBlocks for work that is heavier than its reads and writes: runs of
// neighbouring blocks are computed by `workers` computers at once (worker
// threads, and the caller's thread whenever its next block is not ready yet)
// while the caller's thread writes the finished blocks in order.
// compute(worker, start, n, out) reads block [start, start+n) of the sources
// and fills out (at most outBlockBytes); the bytes it filled, or -1 when a
// read failed. worker is below `workers` and no two calls at once share it.
// On the caller's thread, per block in order: failed(start, n) for a failed
// block (it reports), or write(out, bytes) (false: failed, already
// reported); then progress(n) and the cancel flag, as RunBlocks. Nothing is
// written past a failed or cancelled block.
LoopEnd RunBlocksSpread(quint32 dataSize, const CancelFlag* cancel, int workers, int outBlockBytes,
                        const std::function<int(int worker, qint64 start, int n, unsigned char* out)>& compute,
                        const std::function<void(qint64 start, int n)>& failed,
                        const std::function<bool(const unsigned char* out, int bytes)>& write,
                        const std::function<void(qint64)>& progress);

// What one computer of a spread mix works in: a block for each source slot
// it reads (the others stay empty) and the two sums.
struct tyMixArea {
    std::vector<std::vector<char>> areas;
    std::vector<int> left, right;
};
// One area for each computer a spread mix uses (worker threads and the
// caller's thread): blocks of the slots in `read`, sums of samplesPerBlock.
std::vector<tyMixArea> MixAreas(const bool* read, int samplesPerBlock);

// Closes the output, runs metadata on the temporary file reopened as a sound
// file (skipped when it does not reopen or walk), then gives it its final
// name. False with a message when the output or its iXML could not be written.
// metadata returns false on a failure, with *why set when the system's last
// error is not the reason (an iXML value refused: kIxmlRefused).
bool FinishOutput(SafeOutput& output, bool sync, const std::function<bool(QSoundFile&, QString* why)>& metadata,
                  const char* title, const QString& operation = QString());

// Why a new file's metadata was not written when one of its iXML setters
// refused its value: the document could not be built, or has no entry for it.
extern const char* const kIxmlRefused;

// "Writing the metadata of <operation>\n<path>\nfailed: <why>.\nProcess
// stopped." operation: "the stereo mixdown"; empty: "the new file".
void ReportMetadataFailure(const char* title, const QString& operation, const QString& path, const QString& why);

// An output that could not be written: which one, where, and the system's
// reason ("No space left on device"). operation: "the stereo mixdown";
// empty: "the new file".
void ReportWriteFailure(const char* title, const SafeOutput& output, const QString& operation = QString());

// The engine's message: code 0, level 1, flag true, no time-out.
void Report(const char* title, const QString& text);

}  // namespace takeop

#endif
