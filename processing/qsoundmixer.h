#ifndef NALVO_PROCESSING_QSOUNDMIXER_H
#define NALVO_PROCESSING_QSOUNDMIXER_H

#include "foundation/cancelflag.h"
#include "soundfile/chunkrecords.h"

#include <QObject>
#include <QString>
#include <atomic>

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

    // Import of a foreign WAV or BWF file (16 or 24-bit PCM, 1 to 24
    // channels) as recorder-style mono files "<folder>/<takeId>_NN.WAV", or
    // "<takeId>_<track + 1>.WAV" for a one-channel member of a family whose
    // 0-based track number is given (else -1). fps: the import dialog's
    // frame-rate label; groupSource: the file name a family member records
    // as its source; run: the import goes on while it is true (null: to the
    // end), read before every block and every channel, from any thread;
    // overviewRate: waveform points per second (-1 or 0: none); userTc:
    // "HH:MM:SS" or empty; takeTracks: bit t set for each track of the take
    // a family member joins (all are armed in its file; its own always is),
    // 0 for a file imported whole. No default: a member's caller that left
    // it out would write a take whose other tracks are all disarmed.
    // Every file is written under a temporary name and
    // all of them take their names together at the end: true only then. A
    // refusal, a failure or a stop leaves no file.
    bool ImportMono(QString source, QString folder, QString takeId, int track, int totalFiles,
                    const char* fps, QString groupSource, const std::atomic<bool>* run, int overviewRate,
                    QString userTc, quint32 takeTracks);
    // The recorder's fixed description lines of an imported file from the
    // 256-byte description of a foreign one: the values it finds in the old
    // text, the given non-empty overrides, channel (0-based), type "mono",
    // speed (a rate text, only when the old text has none) and the track
    // line. Never writes past byte 254; over-long texts are cut to fit.
    static void RewriteBextDescriptor(char* description, const char* scene, const char* take,
                                      const char* note, const char* tape, const char* tag,
                                      const char* speed, int channel, const char* trackName);

    // Mono bounce: the present, not excluded tracks with their gain steps
    // summed into a left ("<base>_9.<ext>", routing 0 or 1) and a right
    // ("<base>_10.<ext>", routing 1 or 2) mono file in m_szDestinationFolder,
    // typed "mxdn", named "Mix Left" and "Mix Right". The destination may not
    // be the take's folder; an existing output is replaced only with
    // m_bReplaceExisting, and nothing else in the folder is touched. With
    // addToFamily and variant 0, the marked M/S pairs found in the
    // destination are converted to X/Y (msToXY). Both outputs or none; true
    // when both were written.
    bool BounceMono(const bool* present, const short* gainSteps, const short* pan, const bool* excluded,
                    const bool* msPairs, bool addToFamily, short variant, short shift, bool msToXY);
    // The same with a pattern subtracted once per left track: one value per
    // sample of the take, consumed in order; patternLength values, refused
    // when fewer than the take's samples. Progress: the running total of
    // source bytes per block.
    bool PaternMono(const bool* present, const short* gainSteps, const short* pan, const bool* excluded,
                    const bool* unused, bool addToFamily, short variant, short shift, const int* pattern,
                    size_t patternLength);
    // Replaces an M and an S file (0-based track indexes) by X = M + S and
    // Y = M - S, clipped, typed "xy  ", "-" in the file names turned into
    // "_". The results are written beside the sources under temporary
    // names and take their places together; the sources stay as they were
    // on any failure. Files of other lengths or widths are refused.
    bool MStoXY(QString mPath, short mIndex, QString sPath, short sIndex);

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
    // The mono bounces may replace existing files of their two output names
    // (off: an existing one is refused).
    void SetReplaceExisting(bool replace) { m_bReplaceExisting = replace; }
    // ImportMono of a family member takes at most this many frames: the
    // fewest any member of its take holds (a set cut short ends at
    // different frames), so that the take's files keep one length. 0: all
    // the source holds.
    void SetImportFrameLimit(quint32 frames) { m_nImportFrameLimit = frames; }

private:
    bool m_bSyncOutput = false;
    bool m_bReplaceExisting = false;
    quint32 m_nImportFrameLimit = 0;
    struct tyMixdownPlan;
    bool RunStereoMixdown(const tyMixdownPlan& plan, const CancelFlag* cancel);
    struct tyMonoBouncePlan;
    bool RunMonoBounce(const tyMonoBouncePlan& plan);
    struct tyInterleaveJob;
    bool RunInterleave(const tyInterleaveJob& job, const CancelFlag* cancel);
};

#endif
