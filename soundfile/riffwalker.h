#ifndef NALVO_SOUNDFILE_RIFFWALKER_H
#define NALVO_SOUNDFILE_RIFFWALKER_H

#include <QByteArray>
#include <QVector>
#include <QtGlobal>

class QIODevice;

// One chunk header met by the walk.
struct tyRiffChunkInfo {
    QByteArray czId;          // 4 bytes
    quint32 nSize = 0;        // the size field as written
    qint64 nHeaderOffset = 0;
    bool bTruncated = false;  // the payload runs past the end of the file
    bool bPadded = false;     // a pad byte follows the (odd) payload

    qint64 PayloadOffset() const { return nHeaderOffset + 8; }
    // Payload bytes that are really in the file.
    qint64 AvailableSize(qint64 fileLength) const;
    // Where the next chunk begins (pad byte included).
    qint64 End() const { return nHeaderOffset + 8 + qint64(nSize) + (bPadded ? 1 : 0); }
};

// What one walk of a file found. Offsets are 64-bit whatever the size fields say.
struct tyRiffLayout {
    qint64 nFileLength = 0;
    bool bRiffWave = false;     // "RIFF" .... "WAVE" at 0
    bool bRf64 = false;         // "RF64" or "BW64" .... "WAVE" at 0: sizes in a ds64 chunk, not walked
    quint32 nRiffSize = 0;
    QVector<tyRiffChunkInfo> chunks;
    qint64 nWalkedEnd = 0;      // end of the last chunk walked (pad byte included)
    int nUnknownCount = 0;      // chunks of ids the sound file does not know
    bool bTruncated = false;    // a chunk runs past the end of the file
    bool bGarbage = false;      // bytes that are not a chunk header
    bool bStoppedEarly = false; // the header limit (or the caller's unknown-chunk limit) ended the walk

    // The whole file is understood and the RIFF size agrees: safe to write.
    bool IsSound() const;
    bool RiffSizeMatches() const { return qint64(nRiffSize) + 8 == nWalkedEnd; }
    // Index of the first chunk with that id, -1 when none.
    int Find(const char* id) const;
    bool IsLastChunk(int index) const { return index >= 0 && index == chunks.size() - 1; }
    // Same length, RIFF size and chunks (ids, sizes, places): the same file
    // as far as a header rewrite is concerned.
    bool SameChunks(const tyRiffLayout& other) const;
};

// Random-access bytes of one file, as the walker reads them.
class RiffByteSource
{
public:
    virtual ~RiffByteSource() = default;
    virtual qint64 Length() const = 0;
    // Exactly n bytes from offset into out; false when they are not all there.
    virtual bool ReadAt(qint64 offset, char* out, qint64 n) = 0;
};

// Walks the RIFF chunks of a random-access device from offset 12.
//
// Damaged input gives a defined layout, never a large allocation: only the
// 8-byte headers are read. After an odd size the next header is looked for
// without a pad byte first (as the recorder writes) and at the padded
// position when the unpadded one holds no plausible chunk id.
class RiffChunkWalker
{
public:
    // Every chunk up to the end of the file is walked, whatever its id:
    // other programs put dozens of their own before the data. A damaged
    // file of tiny "chunks" ends the walk at kMaxHeaders headers, so the
    // layout stays small; the file then reads as stopped early.
    static constexpr int kMaxHeaders = 4096;

    // maxUnknown: the walk ends at that many chunks of unknown ids (a
    // caller that wants only the first few).
    static tyRiffLayout Walk(QIODevice& device, int maxUnknown = kMaxHeaders);
    static tyRiffLayout Walk(RiffByteSource& source, int maxUnknown = kMaxHeaders);

    // True for the ids the sound file caches: "fmt ", "bext", "data",
    // "film", "iXML" and the waveform ids "ond" + one character.
    static bool IsKnownId(const QByteArray& id);
    // Four printable ASCII characters.
    static bool IsPlausibleId(const QByteArray& id);
};

#endif
