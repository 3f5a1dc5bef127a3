#ifndef NALVO_PROCESSING_QSOUNDMIXER_H
#define NALVO_PROCESSING_QSOUNDMIXER_H

#include "foundation/cancelflag.h"
#include "soundfile/chunkrecords.h"

#include <QObject>
#include <QString>

class QFile;

// The offline engine: one object does one job on the caller's thread. It
// reads the mono track files of one take in blocks of 49152 bytes per track
// and writes a new file through SafeOutput (takeoperation.h), so a failed or
// cancelled run leaves no file and keeps an older output of the same name.
//
// Calling order: construct; set m_szDestinationFolder (ending with "/") and
// the switches; SetFilesParams; connect signal_ProgressSize (direct); call
// one operation with the take's arrays and the caller's cancel flag.
class QSoundMixer : public QObject
{
    Q_OBJECT
public:
    enum : int {
        kTracks = 24,
        kPairs = 12,
        kBlockBytes = 49152,   // one block of one track file
    };

    explicit QSoundMixer(QObject* parent = nullptr);
    ~QSoundMixer() override;

    // The take: folder (ending with "/"), base name, its 24 separator
    // characters (not copied: the caller keeps them alive) and extension.
    void SetFilesParams(QString folderPath, QString baseName, char* separators, QString extension);

    // Copy mixdown: the highest left slot and the highest right slot (a slot
    // routed to both may be both) copied sample for sample into one stereo
    // file "<base>MX.<ext>". present, pan, excluded: 24 entries.
    bool BounceStereoMixdown(const bool* present, const short* pan, const bool* excluded,
                             const CancelFlag* cancel);
    // Process mixdown: every present, not excluded slot with the gain of its
    // level step (steps outside 0..8 are 0 dB) summed into the sides of its
    // routing code, clipped once per block. msPairs[k] set decodes slots 2k
    // (mid) and 2k+1 (side) as left = g(2k)(M + S), right = g(2k+1)(M - S).
    // The caller passes a pair only when it is detected and its swap flag is
    // set, as the player decodes. The short argument is not read.
    bool BounceStereoMixdown(const bool* present, const short* levelSteps, const short* pan,
                             const bool* excluded, const bool* msPairs, short unused,
                             const CancelFlag* cancel);
    // The older poly mixdown (no command calls it): the copy mixdown's
    // channels without waveform chunks, and the take's note, circled flag and
    // reference level in a "Mix Left"/"Mix Right" document.
    bool BouncePoly(const bool* present, const short* levelSteps, const short* pan,
                    const bool* excluded, const bool* msPairs, short unused, const CancelFlag* cancel);

    // Polyphonic interleave: every present, not excluded slot as one channel
    // of "<base>PN.<ext>" (full: channel = slot, gaps silent; compact with
    // m_bLightPoly: the kept slots only), at least m_nMinTrackCount (0..24)
    // channels, an even count. mode 1 gives the suffix "S" + channel count.
    bool Interleave(const bool* present, short mode, const CancelFlag* cancel);
    // Rotated interleave "<base>PR.<ext>": slot s on channel rotation[s] (-1
    // leaves it out; rotationmap.h). An invalid map, or one that keeps no
    // track, is refused before anything is written. The present flags are
    // read, not changed.
    bool InterleaveRotate(const bool* present, short unused, const CancelFlag* cancel, const int* rotation);

    // ---- Block and record helpers -------------------------------------
    // Seeks to offset unless it is -1 and reads up to n bytes into buffer.
    // The bytes read, 0 at the end of the file, -1 on an error.
    static int LectureDataBin(QFile* file, char* buffer, qint64 offset, int n);
    // Seeks unless -1, writes n bytes; true when all were written.
    static bool EcritureDataBin(QFile* file, char* buffer, qint64 offset, int n);

    // Gain kernels over one whole 49152-byte block; the work buffer holds one
    // int per byte position, a sample at the entry of its first byte. dB
    // 3, 6, 9 or 12 (any other value copies); bytesPerSample 2 or 3.
    static void Increase(unsigned char* pcm, int* work, int dB, int bytesPerSample);
    static void Attenuate(unsigned char* pcm, int* work, int dB, int bytesPerSample);
    // Negative dB attenuates by the magnitude.
    static void Volume(unsigned char* pcm, int* work, int dB, int bytesPerSample);
    // Clamps the block to the sample width and writes it little-endian.
    static void Ecretage(int* work, char* out, int bytesPerSample);
    static void SommeBuffer(int* acc, int* src, int stride);
    static void ProcessMplusS(int* acc, int* mid, int* side, int stride);
    static void ProcessMmoinsS(int* acc, int* mid, int* side, int stride);

    static void MainChunkSwap(const tyMainChunk* from, tyMainChunk* to) { *to = *from; }
    static void FormatChunkSwap(const tyFmtChunk* from, tyFmtChunk* to) { *to = *from; }
    static void BextChunkSwap(const tyBextChunk* from, tyBextChunk* to) { BextChunkCopy(from, to); }
    static void FilmChunkSwap(const tyFilmChunk* from, tyFilmChunk* to) { FilmChunkCopy(from, to); }
    static void DataChunkSwap(const tyDataChunk* from, tyDataChunk* to) { *to = *from; }

signals:
    // Source bytes of one track consumed by each block, then 0 at the end.
    void signal_ProgressSize(qint64 bytes);
    void signal_ImportSourceProgressPct(int percent);

public slots:
    // Cancelling works through the flag given to each operation.
    void slot_CancelSubProcess();

public:
    // ---- Parameters (written by the caller before an operation) ----------
    QString m_szDestinationFolder;        // ends with "/"
    QString m_szFolderPath;               // the take's folder, ends with "/"
    QString m_szBaseName;
    QString m_szExtension;                // without the dot
    char* m_pcTrackSeparator = nullptr;   // the take's 24 separators
    QString m_szOutputSuffix;             // the suffix the last operation used
    int m_n24To16Bits = 0;                // process mixdown of a 24-bit take: 16-bit output
    int m_nWavToBwf = 0;                  // "WAV" outputs named "BWF"
    bool m_pbExcludedTrack[kTracks];      // copy mixdown: "NO" as the track's active value
    int m_nMinTrackCount = 0;
    bool m_bLightPoly = false;
    bool m_bSixToEightTracks = false;

    // Fsync the output before it takes its final name (a benchmark measures
    // the durable write; callers leave it off).
    void SetSyncOutput(bool sync) { m_bSyncOutput = sync; }

private:
    bool m_bSyncOutput = false;
    struct tyMixdownPlan;
    bool RunStereoMixdown(const tyMixdownPlan& plan, const CancelFlag* cancel);
    struct tyInterleaveJob;
    bool RunInterleave(const tyInterleaveJob& job, const CancelFlag* cancel);
};

#endif
