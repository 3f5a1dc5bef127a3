#ifndef NALVO_SOUNDFILE_RIFFWRITER_H
#define NALVO_SOUNDFILE_RIFFWRITER_H

#include "soundfile/riffwalker.h"

#include <QByteArray>
#include <QList>
#include <QPair>
#include <QString>

#include <functional>

class QFile;

// How one file's iXML chunk is rewritten so that the file ends at a chosen
// length: over the old chunk (same length), grown as the last chunk, or
// appended as a new chunk after which the old one is retired as "JUNK".
// Any other iXML chunk is retired too: one file holds one iXML text.
struct tyIxmlRewrite {
    enum Kind { kInPlace, kGrowLast, kAppend };
    Kind eKind = kInPlace;
    qint64 nOldLength = 0;
    qint64 nFinalLength = 0;
    qint64 nHeaderOffset = 0;   // header of the chunk that holds the new text
    quint32 nChunkSize = 0;     // its size field after the save
    bool bPadFirst = false;     // append after an odd last chunk without its pad byte
    QList<int> lnRetired;       // the iXML chunks that do not take the text, renamed "JUNK"
    // Header fields rewritten in place with the chunk (offset, new bytes):
    // bext lines set while the file was closed.
    QList<QPair<qint64, QByteArray>> lFields;

    qint64 PayloadOffset() const { return nHeaderOffset + 8; }
};

// Old bytes of a file that a rewrite overwrites, and its old length: writing
// them back over a cut file undoes the rewrite at any step.
struct tyChunkUndo {
    QString czFileName;
    qint64 nOldLength = 0;
    qint64 nNewLength = 0;
    QList<QPair<qint64, QByteArray>> lRegions;   // offset, old bytes
    // For each region, what the save writes there, as hashes (see
    // RiffChunkWriter::UndoPieceHashes): a file holding neither the old nor
    // the new bytes was changed since, and is not written back. Empty in a
    // record of the first format, which is judged by the length alone.
    QList<QByteArray> lNewHashes;
    // What the save writes past the old length, as hashes of pieces of
    // kUndoTailPieceBytes: a roll-back cuts those bytes off only when they are the
    // save's. Empty when the save does not grow the file, and in a record
    // of an earlier format, which cannot undo a grown file.
    QByteArray tailHashes;
};

// The only code that changes the bytes of a sound file. It works on a
// layout from a fresh walk and touches header chunks only: every write is
// bounded by the chunk it belongs to, the audio payload never moves, and
// appended chunks are always of even size so standard readers stay in step.
// The single writes (OverwritePayload, RewriteLastChunk, RenameChunk) check
// the chunk header on disk first, AppendChunk the file's length, so a file
// changed behind the walk's back is refused, not overwritten. The steps of a
// save over several files (reserve, commit) and an undo check nothing
// themselves: the save asks StillAsRecorded of every member under the
// folder's lock, once its record is on the disk and before the first
// reserve, and an undo is judged by MatchUndo.
class RiffChunkWriter
{
public:
    RiffChunkWriter(QFile& file, const tyRiffLayout& layout);

    // Writes bytes into chunk's payload at offset, cut at the chunk's size.
    // False when nothing of it lies inside the chunk.
    bool OverwritePayload(int chunk, qint64 offset, const QByteArray& bytes);
    // Replaces the payload of the last chunk by bytes (grown or not; padded
    // to even size with fill) and rewrites its size and the RIFF size.
    bool RewriteLastChunk(int chunk, QByteArray bytes, char fill);
    // Appends a chunk at the walked end (after a pad byte when the last
    // chunk is odd and has none) and rewrites the RIFF size. Odd payloads
    // get one fill byte. A write that fails leaves the file's length as it
    // was; when the cut back is refused too, ErrorText says so.
    bool AppendChunk(const QByteArray& id, QByteArray payload, char fill);
    // Gives the chunk another id; size and payload stay.
    bool RenameChunk(int chunk, const QByteArray& id);

    // ---- A rewrite in steps, for a save over several files ----------------
    // The lengths at which the iXML chunk can take textBytes: the smallest
    // for each way of writing it (the other lengths follow from these).
    static QList<qint64> IxmlRewriteLengths(const tyRiffLayout& layout, int textBytes);
    // The rewrite that ends the file at finalLength with room for textBytes;
    // false when none does (a length of the wrong parity, too short, past the
    // RIFF limit). The layout must be sound.
    static bool PlanIxmlRewrite(const tyRiffLayout& layout, int textBytes, qint64 finalLength,
                                tyIxmlRewrite* plan);
    // True when the file still holds the walked layout: its length, the RIFF
    // header and every chunk header, read in a few positioned reads (the
    // samples between headers are not read).
    bool LayoutOnDiskMatches();
    // The old bytes that plan, writing payload, changes, read from the file:
    // only the span from the first to the last byte that differs of each
    // write, since the bytes around it are rewritten with their own values.
    bool ReadUndo(const tyIxmlRewrite& plan, const QByteArray& payload, tyChunkUndo* undo);
    // mayWrite, when given, is asked before every single write of the two
    // steps below (a save asks whether its record is still its own, see
    // recordfiles.h): false stops the step before that write, and nothing
    // more is written or cut back (Stopped()). A writer held up between the
    // question and its write lands that one write at most (see
    // MendLateWrite for what it does of it).
    //
    // Why any prefix of the writes is safe: the file grows first (step 1)
    // and its sizes are raised only after (step 2), the chunk's before the
    // RIFF size, so every size written fits the file's length at every
    // moment; a roll-back (ApplyUndo) lowers the sizes before it cuts the
    // file. A kill between any two writes leaves sizes no larger than the
    // file, and the save's record puts the rest back.
    using WriteCheck = std::function<bool()>;
    // Step 1: writes the bytes past the old end (payload nChunkSize bytes).
    // The RIFF size still ends the file where it did, so every chunk reads
    // as before. A failure (a full card) cuts the file back; a cut refused
    // too is left to the save's roll-back (ApplyUndo), which cuts again.
    bool ReserveIxmlRewrite(const tyIxmlRewrite& plan, const QByteArray& payload, const WriteCheck& mayWrite = {});
    // Step 2: the fields, the payload bytes within the old length, then the
    // chunk size and the RIFF size, then the other iXML chunks retired.
    bool CommitIxmlRewrite(const tyIxmlRewrite& plan, const QByteArray& payload, const WriteCheck& mayWrite = {});
    // The writes of plan's commit whose record keeps only the span they
    // change (see ReadUndo), each (offset, bytes): its fields, then its text
    // within the old length (payload: the whole text).
    static QList<QPair<qint64, QByteArray>> SpannedCommitWrites(const tyIxmlRewrite& plan, const QByteArray& payload);
    // The last step was stopped by its mayWrite.
    bool Stopped() const { return m_bStopped; }
    // Where the last write of the last step went (offset, bytes), begun or
    // made; none (0 bytes) when the step wrote nothing: a writer stopped at
    // the first write of a step made its last write in an earlier one.
    QPair<qint64, qint64> LastWrite() const { return m_LastWrite; }
    // The bytes of that write.
    QByteArray LastWriteBytes() const { return m_LastBytes; }
    // Called before each checked write, before mayWrite is asked (checked
    // false) and again once it allowed the write (checked true): the
    // file's open descriptor, the step (false: reserve, true: commit) and
    // the write's number in that step from 1. Tests hold a writer there; an
    // empty one removes it.
    using CheckedWriteHook = std::function<void(int descriptor, bool commit, int write, bool checked)>;
    static void SetCheckedWriteHook(CheckedWriteHook hook);
    // A header field this plan's commit (undo: its record) writes that no
    // longer fits the file: the one write of a writer held up between its
    // check and that write, landed after a reader took its record over and
    // another save wrote the file since. Made to fit, only where the field
    // still holds the plan's own value: the grown last iXML chunk's size
    // lowered to the file's end, the RIFF size to the end of a walk that
    // otherwise reads the whole file, and an iXML chunk it retired named
    // "iXML" again when the file has no other. *changed: a field was written.
    static bool FitLateHeaders(QFile& file, const tyIxmlRewrite& plan, const tyChunkUndo& undo, bool* changed,
                               QString* why);
    // How a file stands against its undo record.
    enum class UndoMatch {
        Before,    // the old bytes at the old length: the save never changed it
        Partly,    // some or all of the save's bytes: the undo puts it back
        Changed,   // other bytes where the save wrote, or another length: changed since
        Unfit,     // the record cannot be this file's (it reaches the samples)
        Unproven,  // grown past the old length, which a record of an earlier format cannot
                   // tell from another program's growth: not undone
    };
    // Reads the file where the record would write: each piece of a region
    // must hold its old bytes or the save's (a record without hashes: the
    // length alone is judged), each piece past the old length the save's
    // (or nothing yet: zeros a power cut left; a record that cannot tell,
    // of an earlier format, undoes no grown file: Unproven), and nothing put
    // back may reach the samples. *whole, when given: the file holds the
    // save whole, every piece of it the save's at the new length (a record
    // without hashes never tells so).
    static UndoMatch MatchUndo(QFile& file, const tyChunkUndo& undo, QString* why, bool* whole = nullptr);
    // True when the file still holds the walked layout (see
    // LayoutOnDiskMatches) and, where the record would write, its old bytes:
    // nothing changed it since the record was read.
    bool StillAsRecorded(const tyChunkUndo& undo);
    // True when the record can be this file's (Before or Partly).
    static bool UndoFits(QFile& file, const tyChunkUndo& undo, QString* why);
    // The hashes of bytes a save writes at offset, one for each piece of
    // them within one kUndoPieceBytes block of the file, kUndoHashBytes
    // each: a power cut may land a write sector by sector, so each piece of
    // a span is judged old or new on its own.
    static QByteArray UndoPieceHashes(qint64 offset, const QByteArray& bytes, int pieceBytes = kUndoPieceBytes);
    static constexpr int kUndoPieceBytes = 512;
    // The pieces past the old length: a page, the most a kill cuts a write
    // short by, so a long growth keeps a small record.
    static constexpr int kUndoTailPieceBytes = 4096;
    static constexpr int kUndoHashBytes = 16;
    // Writes an undo record back, when it fits: cuts the file to its old
    // length and puts back the old bytes.
    static bool ApplyUndo(QFile& file, const tyChunkUndo& undo, QString* why);

    // Why the last call failed.
    QString ErrorText() const { return m_czError; }
    // The system's error number of the last failed write, 0 when none.
    int ErrorNumber() const { return m_nErrno; }

    // Largest size a RIFF file may reach.
    static constexpr qint64 kMaxRiffFileLength = qint64(0xFFFFFFFFu) + 8;

private:
    bool HeaderOnDiskMatches(int chunk);
    bool WriteAt(qint64 offset, const QByteArray& bytes);
    // One positioned write or read, without the seek and flush of WriteAt.
    bool PutAt(qint64 offset, const QByteArray& bytes);
    // PutAt once mayWrite allows it (see ReserveIxmlRewrite).
    bool PutChecked(qint64 offset, const QByteArray& bytes, const WriteCheck& mayWrite, bool commit, int* write);
    bool GetAt(qint64 offset, int size, QByteArray* bytes);
    // Writes bytes at the end of the file; on failure cuts the file back.
    bool ExtendFile(const QByteArray& bytes);
    bool WriteRiffSize(qint64 fileLength);
    bool Fail(const QString& text);

    QFile& m_File;
    const tyRiffLayout& m_Layout;
    QString m_czError;
    int m_nErrno = 0;
    bool m_bStopped = false;
    QPair<qint64, qint64> m_LastWrite{0, 0};   // see LastWrite
    QByteArray m_LastBytes;                    // see LastWriteBytes
};

#endif
