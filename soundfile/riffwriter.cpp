#include "soundfile/riffwriter.h"

#include "foundation/fileutil.h"
#include "foundation/messageloging.h"
#include "foundation/platform/diskcalls.h"
#include "foundation/platform/diskprobes.h"
#include "soundfile/chunkrecords.h"

#include <QCryptographicHash>
#include <QFile>

#include <cerrno>
#include <cstring>
#include <mutex>
#include <unistd.h>

namespace {

std::mutex g_HookMutex;
RiffChunkWriter::CheckedWriteHook g_CheckedWriteHook;   // under g_HookMutex, see SetCheckedWriteHook

// The whole buffer at offset, through short writes; false on an error.
bool PwriteAll(int fd, qint64 offset, const char* data, qint64 size)
{
    while (size > 0) {
        const ssize_t n = DiskPwrite(fd, data, size_t(size), off_t(offset));
        if (n < 0 && errno == EINTR)
            continue;
        if (n == 0)
            errno = ENOSPC;   // no byte taken and no reason given: the card is full
        if (n <= 0)
            return false;
        data += n;
        offset += n;
        size -= n;
    }
    return true;
}

QByteArray Le32(quint32 value)
{
    unsigned char bytes[4];
    WriteLe32(bytes, value);
    return QByteArray(reinterpret_cast<const char*>(bytes), 4);
}

QByteArray HeaderBytes(const tyRiffChunkInfo& chunk)
{
    return chunk.czId + Le32(chunk.nSize);
}

// The eight bytes at header are the chunk's id and size field.
bool IsHeaderOf(const char* header, const tyRiffChunkInfo& chunk)
{
    return chunk.czId.size() == 4 && std::memcmp(header, chunk.czId.constData(), 4) == 0
           && ReadLe32(reinterpret_cast<const unsigned char*>(header + 4)) == chunk.nSize;
}

// An odd last chunk without its pad byte: an appended chunk needs one first.
bool LastChunkUnpadded(const tyRiffLayout& layout)
{
    return !layout.chunks.isEmpty() && (layout.chunks.last().nSize & 1) && !layout.chunks.last().bPadded;
}

// A region of the undo: the old bytes at offset, and the hashes of the
// bytes the save writes over them.
void AddRegion(tyChunkUndo* undo, qint64 offset, const QByteArray& old, const QByteArray& next)
{
    undo->lRegions.append({offset, old});
    undo->lNewHashes.append(RiffChunkWriter::UndoPieceHashes(offset, next));
}

// The old bytes at offset that writing next (at least as long) over them
// changes: the span from the first to the last differing byte, nothing when
// none differs. A write shorter than the old bytes keeps them all (the
// bytes past it stay old).
void AppendChangedSpan(qint64 offset, const QByteArray& old, const char* next, qint64 nextSize, tyChunkUndo* undo)
{
    if (nextSize < old.size()) {
        AddRegion(undo, offset, old, QByteArray(next, int(nextSize)) + old.mid(int(nextSize)));
        return;
    }
    // Equal runs are passed in blocks: the texts of a save differ in a few
    // fields, and every member's whole chunk is compared.
    constexpr int kBlock = 64;
    const char* a = old.constData();
    int first = 0;
    int end = old.size();
    while (end - first >= kBlock && std::memcmp(a + first, next + first, kBlock) == 0)
        first += kBlock;
    while (first < end && a[first] == next[first])
        ++first;
    while (end - first >= kBlock && std::memcmp(a + end - kBlock, next + end - kBlock, kBlock) == 0)
        end -= kBlock;
    while (end > first && a[end - 1] == next[end - 1])
        --end;
    if (end > first)
        AddRegion(undo, offset + first, old.mid(first, end - first), QByteArray(next + first, end - first));
}

// What a rewrite writes past the old length: the rest of a grown last
// chunk, or a whole appended one.
QByteArray TailBytes(const tyIxmlRewrite& plan, const QByteArray& payload)
{
    QByteArray bytes;
    if (plan.eKind == tyIxmlRewrite::kGrowLast) {
        bytes = payload.mid(int(plan.nOldLength - plan.PayloadOffset()));
    } else if (plan.eKind == tyIxmlRewrite::kAppend) {
        if (plan.bPadFirst)
            bytes.append('\0');
        bytes.append("iXML", 4).append(Le32(plan.nChunkSize)).append(payload);
    }
    return bytes;
}

// The text a commit writes over the old chunk: all of it in place, the
// part within the old length of a growing last chunk (the reserve wrote the
// rest), none of an appended chunk.
QByteArray TextWithinOldLength(const tyIxmlRewrite& plan, const QByteArray& payload)
{
    switch (plan.eKind) {
    case tyIxmlRewrite::kInPlace: return payload;
    case tyIxmlRewrite::kGrowLast: return payload.left(int(plan.nOldLength - plan.PayloadOffset()));
    case tyIxmlRewrite::kAppend: break;
    }
    return QByteArray();
}

// The size bytes of the file from offset (through short reads); false with
// *why on an error.
bool ReadFully(int fd, qint64 offset, QByteArray* bytes, qint64 size, QString* why)
{
    bytes->resize(int(size));
    for (qint64 got = 0; got < size;) {
        const ssize_t n = ::pread(fd, bytes->data() + got, size_t(size - got), off_t(offset + got));
        if (n < 0 && errno == EINTR)
            continue;
        if (n <= 0) {
            *why = QStringLiteral("cannot read the file: %1").arg(QString::fromLocal8Bit(strerror(n < 0 ? errno : EIO)));
            return false;
        }
        got += n;
    }
    return true;
}

// The bytes the file holds past the old length (tail) are what the save
// writes there, piece by piece (see UndoPieceHashes), or zeros: a power cut
// may give a file its new length before the bytes reach the card. A piece
// the file's end cuts short can only be such zeros.
// *whole, when given: every piece is the save's, none zeros for one.
bool TailIsTheSaves(const tyChunkUndo& undo, const QByteArray& tail, bool* whole = nullptr)
{
    constexpr int kPiece = RiffChunkWriter::kUndoTailPieceBytes;
    constexpr int kHash = RiffChunkWriter::kUndoHashBytes;
    const qint64 length = undo.nOldLength + tail.size();
    for (qint64 at = undo.nOldLength, piece = 0; at < length; ++piece) {
        const qint64 next = qMin(undo.nNewLength, (at / kPiece + 1) * kPiece);
        const int size = int(qMin(next, length) - at);
        const QByteArray bytes = QByteArray::fromRawData(tail.constData() + (at - undo.nOldLength), size);
        const bool saves = next <= length && undo.tailHashes.size() >= (piece + 1) * kHash
                           && RiffChunkWriter::UndoPieceHashes(at, bytes, kPiece)
                                  == undo.tailHashes.mid(int(piece) * kHash, kHash);
        if (!saves && bytes.count('\0') != size)
            return false;
        if (whole && !saves)
            *whole = false;
        at = next;
    }
    return true;
}

} // namespace

RiffChunkWriter::RiffChunkWriter(QFile& file, const tyRiffLayout& layout)
    : m_File(file), m_Layout(layout)
{
}

bool RiffChunkWriter::Fail(const QString& text)
{
    m_czError = text;
    return false;
}

bool RiffChunkWriter::HeaderOnDiskMatches(int chunk)
{
    if (chunk < 0 || chunk >= m_Layout.chunks.size())
        return Fail(QStringLiteral("no such chunk"));
    if (m_File.size() != m_Layout.nFileLength)
        return Fail(QStringLiteral("the file changed since it was read"));
    const tyRiffChunkInfo& info = m_Layout.chunks.at(chunk);
    char header[8];
    if (!m_File.seek(info.nHeaderOffset) || m_File.read(header, 8) != 8)
        return Fail(QStringLiteral("cannot read the chunk header"));
    if (QByteArray(header, 4) != info.czId
        || ReadLe32(reinterpret_cast<const unsigned char*>(header + 4)) != info.nSize)
        return Fail(QStringLiteral("the file changed since it was read"));
    return true;
}

bool RiffChunkWriter::WriteAt(qint64 offset, const QByteArray& bytes)
{
    if (!m_File.seek(offset) || DiskWrite(m_File, bytes) != bytes.size() || !m_File.flush())
        return Fail(QStringLiteral("write error: %1").arg(m_File.errorString()));
    return true;
}

bool RiffChunkWriter::WriteRiffSize(qint64 fileLength)
{
    unsigned char size[4];
    WriteLe32(size, static_cast<quint32>(fileLength - 8));
    return WriteAt(4, QByteArray(reinterpret_cast<const char*>(size), 4));
}

bool RiffChunkWriter::OverwritePayload(int chunk, qint64 offset, const QByteArray& bytes)
{
    if (!HeaderOnDiskMatches(chunk))
        return false;
    const tyRiffChunkInfo& info = m_Layout.chunks.at(chunk);
    const qint64 room = qint64(info.nSize) - offset;
    if (offset < 0 || room <= 0 || bytes.isEmpty())
        return Fail(QStringLiteral("the field lies outside the chunk"));
    return WriteAt(info.PayloadOffset() + offset, bytes.left(int(qMin<qint64>(room, bytes.size()))));
}

bool RiffChunkWriter::ExtendFile(const QByteArray& bytes)
{
    if (bytes.isEmpty())
        return true;
    if (WriteAt(m_Layout.nFileLength, bytes))
        return true;
    // A full disk: take back what part of it reached the file, so the
    // original layout (and the RIFF size, not yet written) stays whole.
    // These writes keep no record for a later load to cut with: a cut
    // refused too (a pulled card) is told with the write's failure, as the
    // file now ends in bytes its sizes do not count and reads as damaged.
    const QString why = m_czError;
    if (DiskResize(m_File, m_Layout.nFileLength))
        return Fail(why);
    const int cutError = errno;
    const qint64 left = m_File.size() - m_Layout.nFileLength;
    if (left <= 0)
        return Fail(why);
    return Fail(QStringLiteral("%1\nThe file could not be cut back to its former length (%2): it ends in %3 "
                               "bytes that its header does not count, and may read as damaged until they are removed.")
                    .arg(why, SystemErrorText(cutError))
                    .arg(left));
}

bool RiffChunkWriter::RewriteLastChunk(int chunk, QByteArray bytes, char fill)
{
    if (!HeaderOnDiskMatches(chunk))
        return false;
    const tyRiffChunkInfo& info = m_Layout.chunks.at(chunk);
    if (!m_Layout.IsLastChunk(chunk) || info.End() != m_Layout.nFileLength)
        return Fail(QStringLiteral("the chunk is not the last one"));
    if (bytes.size() < qint64(info.nSize))
        bytes.append(QByteArray(int(info.nSize) - bytes.size(), fill));
    if (bytes.size() & 1)
        bytes.append(fill);
    const qint64 newLength = info.PayloadOffset() + bytes.size();
    if (newLength > kMaxRiffFileLength)
        return Fail(QStringLiteral("the file would pass the RIFF size limit"));
    // The growth first: when it fails the old chunk is still untouched.
    // Then the old payload, sizes last: an interrupted write leaves the old
    // sizes, which still describe a readable file.
    const int inPlace = int(m_Layout.nFileLength - info.PayloadOffset());
    unsigned char size[4];
    WriteLe32(size, static_cast<quint32>(bytes.size()));
    if (!ExtendFile(bytes.mid(inPlace)) || !WriteAt(info.PayloadOffset(), bytes.left(inPlace))
        || !WriteAt(info.nHeaderOffset + 4, QByteArray(reinterpret_cast<const char*>(size), 4)))
        return false;
    if (newLength < m_File.size() && !DiskResize(m_File, newLength))
        return Fail(QStringLiteral("cannot cut the file"));
    return WriteRiffSize(newLength);
}

bool RiffChunkWriter::AppendChunk(const QByteArray& id, QByteArray payload, char fill)
{
    if (id.size() != 4)
        return Fail(QStringLiteral("bad chunk id"));
    if (m_File.size() != m_Layout.nFileLength || m_Layout.nWalkedEnd != m_Layout.nFileLength)
        return Fail(QStringLiteral("the file changed since it was read"));
    if (m_Layout.chunks.size() >= RiffChunkWalker::kMaxHeaders)
        return Fail(QStringLiteral("the file holds too many chunks for one more"));
    if (payload.size() & 1)
        payload.append(fill);
    QByteArray bytes;
    // Only an odd last chunk without its pad byte gets one: the end of the
    // file can be odd after an earlier unpadded chunk, and a byte put after
    // an even chunk would hide the new chunk from every reader.
    const bool lastIsUnpadded = !m_Layout.chunks.isEmpty() && (m_Layout.chunks.last().nSize & 1)
                                && !m_Layout.chunks.last().bPadded;
    if (lastIsUnpadded)
        bytes.append('\0');
    // A pad byte that is not zero (another program's) would be read as the
    // first byte of the new chunk's id, since a reader looks for a header
    // without the pad first: it is zeroed, as a pad byte should be, before
    // the chunk goes after it. Alone at the end of the file it is read past
    // as before, so the file stays whole between the two writes.
    if (!m_Layout.chunks.isEmpty() && m_Layout.chunks.last().bPadded) {
        const qint64 pad = m_Layout.chunks.last().End() - 1;
        QByteArray old;
        if (!GetAt(pad, 1, &old) || (old.at(0) != '\0' && !WriteAt(pad, QByteArray(1, '\0'))))
            return false;
    }
    unsigned char size[4];
    WriteLe32(size, static_cast<quint32>(payload.size()));
    bytes.append(id).append(reinterpret_cast<const char*>(size), 4).append(payload);
    const qint64 newLength = m_Layout.nFileLength + bytes.size();
    if (newLength > kMaxRiffFileLength)
        return Fail(QStringLiteral("the file would pass the RIFF size limit"));
    return ExtendFile(bytes) && WriteRiffSize(newLength);
}

bool RiffChunkWriter::RenameChunk(int chunk, const QByteArray& id)
{
    if (id.size() != 4)
        return Fail(QStringLiteral("bad chunk id"));
    return HeaderOnDiskMatches(chunk) && WriteAt(m_Layout.chunks.at(chunk).nHeaderOffset, id);
}

bool RiffChunkWriter::PutAt(qint64 offset, const QByteArray& bytes)
{
    if (!PwriteAll(m_File.handle(), offset, bytes.constData(), bytes.size())) {
        m_nErrno = errno;
        return Fail(QStringLiteral("write error: %1").arg(QString::fromLocal8Bit(strerror(m_nErrno))));
    }
    return true;
}

QList<qint64> RiffChunkWriter::IxmlRewriteLengths(const tyRiffLayout& layout, int textBytes)
{
    const qint64 even = textBytes + (textBytes & 1);
    QList<qint64> lengths;
    const int index = layout.Find("iXML");
    if (index >= 0) {
        const tyRiffChunkInfo& chunk = layout.chunks.at(index);
        if (textBytes <= qint64(chunk.nSize))
            lengths << layout.nFileLength;
        if (layout.IsLastChunk(index) && chunk.End() == layout.nFileLength) {
            const qint64 size = qMax<qint64>(even, chunk.nSize + (chunk.nSize & 1));
            lengths << chunk.PayloadOffset() + size;
        }
    }
    lengths << layout.nFileLength + (LastChunkUnpadded(layout) ? 1 : 0) + 8 + even;
    return lengths;
}

bool RiffChunkWriter::PlanIxmlRewrite(const tyRiffLayout& layout, int textBytes, qint64 finalLength,
                                      tyIxmlRewrite* plan)
{
    if (!layout.IsSound() || textBytes <= 0 || finalLength > kMaxRiffFileLength
        || finalLength < layout.nFileLength)
        return false;
    *plan = tyIxmlRewrite();
    plan->nOldLength = layout.nFileLength;
    plan->nFinalLength = finalLength;
    const int index = layout.Find("iXML");
    if (index >= 0) {
        const tyRiffChunkInfo& chunk = layout.chunks.at(index);
        plan->nHeaderOffset = chunk.nHeaderOffset;
        if (textBytes <= qint64(chunk.nSize) && finalLength == layout.nFileLength) {
            plan->eKind = tyIxmlRewrite::kInPlace;
            plan->nChunkSize = chunk.nSize;
            // Later iXML chunks (another program's) would keep the old
            // values for a reader that takes the last one.
            for (int i = index + 1; i < layout.chunks.size(); ++i) {
                if (layout.chunks.at(i).czId == "iXML")
                    plan->lnRetired << i;
            }
            return true;
        }
        const qint64 size = finalLength - chunk.PayloadOffset();
        if (layout.IsLastChunk(index) && chunk.End() == layout.nFileLength && size >= textBytes
            && size >= qint64(chunk.nSize) && !(size & 1)) {
            plan->eKind = tyIxmlRewrite::kGrowLast;
            plan->nChunkSize = quint32(size);
            return true;
        }
    }
    plan->bPadFirst = LastChunkUnpadded(layout);
    const qint64 size = finalLength - layout.nFileLength - (plan->bPadFirst ? 1 : 0) - 8;
    // One more chunk past the walk's header limit would leave the file
    // unreadable here.
    if (size < textBytes || (size & 1) || layout.chunks.size() >= RiffChunkWalker::kMaxHeaders)
        return false;
    plan->eKind = tyIxmlRewrite::kAppend;
    plan->nHeaderOffset = layout.nFileLength + (plan->bPadFirst ? 1 : 0);
    plan->nChunkSize = quint32(size);
    for (int i = 0; i < layout.chunks.size(); ++i) {
        if (layout.chunks.at(i).czId == "iXML")
            plan->lnRetired << i;
    }
    return true;
}

bool RiffChunkWriter::ReadUndo(const tyIxmlRewrite& plan, const QByteArray& payload, tyChunkUndo* undo)
{
    // A roll-back writes back only what changed: the record of a save that
    // edits a few fields stays a few hundred bytes, not a copy of every
    // chunk it rewrites, and it is written and synced before every save.
    undo->nOldLength = plan.nOldLength;
    undo->nNewLength = plan.nFinalLength;
    undo->lRegions.clear();
    undo->lNewHashes.clear();
    undo->tailHashes = UndoPieceHashes(plan.nOldLength, TailBytes(plan, payload), kUndoTailPieceBytes);
    if (plan.nFinalLength != plan.nOldLength)
        AddRegion(undo, 4, Le32(m_Layout.nRiffSize), Le32(quint32(plan.nFinalLength - 8)));
    for (const auto& field : plan.lFields) {
        QByteArray old;
        if (!GetAt(field.first, field.second.size(), &old))
            return false;
        AppendChangedSpan(field.first, old, field.second.constData(), field.second.size(), undo);
    }
    for (const int index : plan.lnRetired) {
        const tyRiffChunkInfo& retired = m_Layout.chunks.at(index);
        AddRegion(undo, retired.nHeaderOffset, HeaderBytes(retired), QByteArray("JUNK") + Le32(retired.nSize));
    }
    if (plan.eKind == tyIxmlRewrite::kAppend)
        return true;
    const int index = m_Layout.Find("iXML");
    const tyRiffChunkInfo& chunk = m_Layout.chunks.at(index);
    if (plan.eKind == tyIxmlRewrite::kGrowLast)
        AddRegion(undo, chunk.nHeaderOffset, HeaderBytes(chunk), QByteArray("iXML") + Le32(plan.nChunkSize));
    // The text the rewrite overwrites: the chunk, and a growing last chunk's
    // pad byte too.
    const qint64 size = plan.eKind == tyIxmlRewrite::kGrowLast ? plan.nOldLength - chunk.PayloadOffset()
                                                               : qint64(chunk.nSize);
    QByteArray old;
    if (!GetAt(chunk.PayloadOffset(), int(size), &old))
        return false;
    // The commit writes the payload's first bytes over these (see
    // CommitIxmlRewrite).
    AppendChangedSpan(chunk.PayloadOffset(), old, payload.constData(), payload.size(), undo);
    return true;
}

bool RiffChunkWriter::GetAt(qint64 offset, int size, QByteArray* bytes)
{
    bytes->resize(size);
    qint64 got = 0;
    while (got < size) {
        const ssize_t n = ::pread(m_File.handle(), bytes->data() + got, size_t(size - got), off_t(offset + got));
        if (n < 0 && errno == EINTR)
            continue;
        if (n <= 0)
            return Fail(QStringLiteral("cannot read the file"));
        got += n;
    }
    return true;
}

bool RiffChunkWriter::LayoutOnDiskMatches()
{
    if (m_File.size() != m_Layout.nFileLength)
        return Fail(QStringLiteral("the file changed since it was read"));
    // Windows of header bytes: headers closer than this share one read.
    constexpr qint64 kGap = 64 * 1024;
    QVector<QPair<qint64, qint64>> windows{{0, 12}};
    for (const tyRiffChunkInfo& chunk : m_Layout.chunks) {
        if (chunk.nHeaderOffset - windows.last().second <= kGap)
            windows.last().second = chunk.nHeaderOffset + 8;
        else
            windows.append({chunk.nHeaderOffset, chunk.nHeaderOffset + 8});
    }
    int next = 0;
    for (const auto& window : windows) {
        QByteArray bytes;
        if (!GetAt(window.first, int(window.second - window.first), &bytes))
            return false;
        if (window.first == 0
            && (std::memcmp(bytes.constData(), "RIFF", 4) != 0 || std::memcmp(bytes.constData() + 8, "WAVE", 4) != 0
                || ReadLe32(reinterpret_cast<const unsigned char*>(bytes.constData() + 4)) != m_Layout.nRiffSize))
            return Fail(QStringLiteral("the file changed since it was read"));
        for (; next < m_Layout.chunks.size() && m_Layout.chunks.at(next).nHeaderOffset < window.second; ++next) {
            const tyRiffChunkInfo& chunk = m_Layout.chunks.at(next);
            if (!IsHeaderOf(bytes.constData() + (chunk.nHeaderOffset - window.first), chunk))
                return Fail(QStringLiteral("the file changed since it was read"));
        }
    }
    return true;
}

bool RiffChunkWriter::PutChecked(qint64 offset, const QByteArray& bytes, const WriteCheck& mayWrite, bool commit,
                                 int* write)
{
    ++*write;
    CheckedWriteHook hook;
    {
        std::lock_guard<std::mutex> guard(g_HookMutex);
        hook = g_CheckedWriteHook;
    }
    if (hook)
        hook(m_File.handle(), commit, *write, false);
    if (mayWrite && !mayWrite()) {
        m_bStopped = true;
        return Fail(QStringLiteral("the save record is no longer this save's"));
    }
    if (hook)
        hook(m_File.handle(), commit, *write, true);
    m_LastWrite = {offset, bytes.size()};
    m_LastBytes = bytes;
    return PutAt(offset, bytes);
}

void RiffChunkWriter::SetCheckedWriteHook(CheckedWriteHook hook)
{
    std::lock_guard<std::mutex> guard(g_HookMutex);
    g_CheckedWriteHook = std::move(hook);
}

bool RiffChunkWriter::ReserveIxmlRewrite(const tyIxmlRewrite& plan, const QByteArray& payload,
                                         const WriteCheck& mayWrite)
{
    m_bStopped = false;
    m_LastWrite = {0, 0};
    m_LastBytes.clear();
    if (payload.size() != qint64(plan.nChunkSize))
        return Fail(QStringLiteral("the text does not match the plan"));
    const QByteArray bytes = TailBytes(plan, payload);
    if (bytes.isEmpty())
        return true;
    // Real bytes, not a hole: the card must find room for them now, while
    // nothing the file's chunks describe has changed.
    int write = 0;
    if (PutChecked(plan.nOldLength, bytes, mayWrite, false, &write))
        return true;
    if (m_bStopped)
        return false;
    const QString why = m_czError;
    if (DiskResize(m_File, plan.nOldLength))
        return Fail(why);
    // A cut refused too leaves the file longer than its sizes say; that is
    // not told from here: a failed reserve rolls the save back from its
    // record (ApplyUndo), which cuts the file again and, when it cannot,
    // keeps the record for the next load, as the user is told. That
    // roll-back cuts off only what it can tell for the save's (see
    // MatchUndo): whole pieces by their hashes, and zeros. A short write
    // may have stopped inside a piece: those bytes are zeroed for it.
    MyQDebug("RiffChunkWriter::ReserveIxmlRewrite(): a file not cut back to %lld bytes: %s",
             static_cast<long long>(plan.nOldLength), qPrintable(SystemErrorText(errno)));
    const qint64 length = m_File.size();
    const qint64 piece = qMax(plan.nOldLength, length / kUndoTailPieceBytes * kUndoTailPieceBytes);
    const QByteArray zeros(int(qMax<qint64>(length - piece, 0)), '\0');
    if (!PwriteAll(m_File.handle(), piece, zeros.constData(), zeros.size()))
        MyQDebug("RiffChunkWriter::ReserveIxmlRewrite(): the part of a piece at %lld not zeroed: %s",
                 static_cast<long long>(piece), qPrintable(SystemErrorText(errno)));
    return Fail(why);
}

bool RiffChunkWriter::CommitIxmlRewrite(const tyIxmlRewrite& plan, const QByteArray& payload,
                                        const WriteCheck& mayWrite)
{
    m_bStopped = false;
    m_LastWrite = {0, 0};
    m_LastBytes.clear();
    if (payload.size() != qint64(plan.nChunkSize))
        return Fail(QStringLiteral("the text does not match the plan"));
    int write = 0;
    const auto put = [&](qint64 offset, const QByteArray& bytes) {
        return PutChecked(offset, bytes, mayWrite, true, &write);
    };
    const QByteArray riffSize = Le32(quint32(plan.nFinalLength - 8));
    for (const auto& field : plan.lFields) {
        if (!put(field.first, field.second))
            return false;
    }
    // The later chunks first: in an append the first old chunk, the one
    // readers take until then, goes last.
    auto retire = [&] {
        for (int i = plan.lnRetired.size() - 1; i >= 0; --i) {
            if (!put(m_Layout.chunks.at(plan.lnRetired.at(i)).nHeaderOffset, QByteArray("JUNK")))
                return false;
        }
        return true;
    };
    switch (plan.eKind) {
    case tyIxmlRewrite::kInPlace:
        // The new text, then the stale chunks after it retired.
        return put(plan.PayloadOffset(), payload) && retire();
    case tyIxmlRewrite::kGrowLast:
        // The text first, then the chunk's size, then the RIFF size: until
        // the last of them the old sizes describe the file, and each size
        // raised ends within the file the reserve grew.
        return put(plan.PayloadOffset(), TextWithinOldLength(plan, payload))
               && put(plan.nHeaderOffset + 4, Le32(plan.nChunkSize)) && put(4, riffSize);
    case tyIxmlRewrite::kAppend:
        // The RIFF size takes in the new chunk; readers still take the first
        // iXML chunk, the old one, until it is renamed: the later ones first.
        return put(4, riffSize) && retire();
    }
    return false;
}

QList<QPair<qint64, QByteArray>> RiffChunkWriter::SpannedCommitWrites(const tyIxmlRewrite& plan,
                                                                      const QByteArray& payload)
{
    QList<QPair<qint64, QByteArray>> writes = plan.lFields;
    const QByteArray text = TextWithinOldLength(plan, payload);
    if (!text.isEmpty())
        writes.append({plan.PayloadOffset(), text});
    return writes;
}

bool RiffChunkWriter::FitLateHeaders(QFile& file, const tyIxmlRewrite& plan, const tyChunkUndo& undo, bool* changed,
                                     QString* why)
{
    *changed = false;
    const auto put = [&](qint64 offset, const QByteArray& bytes) {
        if (!PwriteAll(file.handle(), offset, bytes.constData(), bytes.size())) {
            *why = QString::fromLocal8Bit(strerror(errno));
            return false;
        }
        *changed = true;
        return true;
    };
    tyRiffLayout layout = RiffChunkWalker::Walk(file);
    const int last = layout.chunks.size() - 1;
    if (plan.eKind == tyIxmlRewrite::kGrowLast && last >= 0) {
        const tyRiffChunkInfo& chunk = layout.chunks.at(last);
        if (chunk.bTruncated && chunk.czId == "iXML" && chunk.nHeaderOffset == plan.nHeaderOffset
            && chunk.nSize == plan.nChunkSize) {
            if (!put(chunk.nHeaderOffset + 4, Le32(quint32(layout.nFileLength - chunk.PayloadOffset()))))
                return false;
            layout = RiffChunkWalker::Walk(file);
        }
    }
    // The chunks the plan retires are the regions whose old header is an
    // iXML one (see ReadUndo).
    for (int r = 0; layout.Find("iXML") < 0 && r < undo.lRegions.size(); ++r) {
        const auto& region = undo.lRegions.at(r);
        if (region.second.size() != 8 || !region.second.startsWith("iXML"))
            continue;
        for (const tyRiffChunkInfo& chunk : layout.chunks) {
            if (chunk.nHeaderOffset == region.first && chunk.czId == "JUNK") {
                if (!put(region.first, QByteArray("iXML")))
                    return false;
                layout = RiffChunkWalker::Walk(file);
                break;
            }
        }
    }
    // A plan that keeps the length writes no RIFF size: one that does not
    // match is not this writer's.
    if (plan.nFinalLength != plan.nOldLength && layout.bRiffWave && layout.nRiffSize == quint32(plan.nFinalLength - 8)
        && !layout.RiffSizeMatches()
        && !layout.bTruncated && !layout.bGarbage && !layout.bStoppedEarly && layout.nWalkedEnd == layout.nFileLength)
        return put(4, Le32(quint32(layout.nWalkedEnd - 8)));
    return true;
}

QByteArray RiffChunkWriter::UndoPieceHashes(qint64 offset, const QByteArray& bytes, int pieceBytes)
{
    QByteArray hashes;
    for (qint64 at = offset, end = offset + bytes.size(); at < end;) {
        const qint64 next = qMin(end, (at / pieceBytes + 1) * pieceBytes);
        const QByteArray piece = QByteArray::fromRawData(bytes.constData() + (at - offset), int(next - at));
        hashes += QCryptographicHash::hash(piece, QCryptographicHash::Sha256).left(kUndoHashBytes);
        at = next;
    }
    return hashes;
}

RiffChunkWriter::UndoMatch RiffChunkWriter::MatchUndo(QFile& file, const tyChunkUndo& undo, QString* why, bool* whole)
{
    bool ignored = false;
    if (!whole)
        whole = &ignored;
    *whole = false;
    const QString changed = QStringLiteral("the file changed since the save began");
    // As the volume holds it: a share's mount may keep an older length.
    const qint64 fresh = FreshFileLength(file.handle());
    const qint64 length = fresh >= 0 ? fresh : file.size();
    if (length < undo.nOldLength || length > qMax(undo.nOldLength, undo.nNewLength)) {
        *why = changed;
        return UndoMatch::Changed;
    }
    // A record never reaches the samples: they lie wholly below the old
    // length, and no old bytes fall among them. A record that says
    // otherwise is not this file's, and is not applied.
    const QString unfit = QStringLiteral("the record does not fit the file");
    const bool hashed = !undo.lNewHashes.isEmpty();
    bool all = hashed && length == undo.nNewLength;
    if (hashed && undo.lNewHashes.size() != undo.lRegions.size()) {
        *why = unfit;
        return UndoMatch::Unfit;
    }
    for (const auto& region : undo.lRegions) {
        if (region.first < 4 || region.first > undo.nOldLength || region.second.size() > undo.nOldLength - region.first) {
            *why = unfit;
            return UndoMatch::Unfit;
        }
    }
    // Where the save wrote, each piece holds its old bytes or the save's. A
    // record of the first format keeps no hashes: within the old length it
    // is taken as the length allows, as it always was.
    bool saved = !hashed || length != undo.nOldLength;
    // Past the old length, whatever a roll-back cuts off must be the
    // save's own: another program may have edited it in place since. A
    // record of an earlier format holds nothing to prove that with.
    if (length > undo.nOldLength && undo.tailHashes.isEmpty()) {
        *why = QStringLiteral("the record cannot tell the save's bytes past the file's old length");
        return UndoMatch::Unproven;
    }
    QByteArray tail;
    if (!ReadFully(file.handle(), undo.nOldLength, &tail, length - undo.nOldLength, why))
        return UndoMatch::Unfit;
    if (!TailIsTheSaves(undo, tail, &all)) {
        *why = changed;
        return UndoMatch::Changed;
    }
    for (int r = 0; hashed && r < undo.lRegions.size(); ++r) {
        const qint64 offset = undo.lRegions.at(r).first;
        const QByteArray& old = undo.lRegions.at(r).second;
        QByteArray now;
        if (!ReadFully(file.handle(), offset, &now, old.size(), why))
            return UndoMatch::Unfit;
        const QByteArray hashes = UndoPieceHashes(offset, now);
        if (hashes.size() != undo.lNewHashes.at(r).size()) {
            *why = unfit;
            return UndoMatch::Unfit;
        }
        for (qint64 at = offset, end = offset + old.size(), piece = 0; at < end; ++piece) {
            const qint64 next = qMin(end, (at / kUndoPieceBytes + 1) * kUndoPieceBytes);
            const int from = int(at - offset);
            const int hashAt = int(piece) * kUndoHashBytes;
            const bool saves = std::memcmp(hashes.constData() + hashAt, undo.lNewHashes.at(r).constData() + hashAt,
                                           kUndoHashBytes) == 0;
            // Its old bytes where the save writes others: not yet written.
            all = all && saves;
            if (std::memcmp(now.constData() + from, old.constData() + from, size_t(next - at)) != 0) {
                if (!saves) {
                    *why = changed;
                    return UndoMatch::Changed;
                }
                saved = true;
            }
            at = next;
        }
    }
    const tyRiffLayout layout = RiffChunkWalker::Walk(file);
    const int data = layout.Find("data");
    const qint64 dataStart = data < 0 ? -1 : layout.chunks.at(data).PayloadOffset();
    const qint64 dataEnd = data < 0 ? -1 : dataStart + layout.chunks.at(data).nSize;
    if (data < 0 || dataEnd > undo.nOldLength) {
        *why = unfit;
        return UndoMatch::Unfit;
    }
    for (const auto& region : undo.lRegions) {
        if (region.first + region.second.size() > dataStart && region.first < dataEnd) {
            *why = unfit;
            return UndoMatch::Unfit;
        }
    }
    *whole = all;
    return saved ? UndoMatch::Partly : UndoMatch::Before;
}

bool RiffChunkWriter::StillAsRecorded(const tyChunkUndo& undo)
{
    if (undo.nOldLength != m_Layout.nFileLength || !LayoutOnDiskMatches())
        return false;
    for (const auto& region : undo.lRegions) {
        QByteArray now;
        if (!GetAt(region.first, region.second.size(), &now))
            return false;
        if (now != region.second)
            return Fail(QStringLiteral("the file changed since it was read"));
    }
    return true;
}

bool RiffChunkWriter::UndoFits(QFile& file, const tyChunkUndo& undo, QString* why)
{
    const UndoMatch match = MatchUndo(file, undo, why);
    return match == UndoMatch::Before || match == UndoMatch::Partly;
}

bool RiffChunkWriter::ApplyUndo(QFile& file, const tyChunkUndo& undo, QString* why)
{
    if (!UndoFits(file, undo, why))
        return false;
    // The old bytes (the old sizes among them) before the cut: sizes never
    // reach past the file's end, whichever write a kill stops at.
    for (const auto& region : undo.lRegions) {
        if (!PwriteAll(file.handle(), region.first, region.second.constData(), region.second.size())) {
            *why = QString::fromLocal8Bit(strerror(errno));
            return false;
        }
    }
    if (file.size() > undo.nOldLength && !DiskResize(file, undo.nOldLength)) {
        *why = file.errorString();
        return false;
    }
    return true;
}
