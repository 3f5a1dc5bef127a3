// Chunk writers of QSoundFile: the iXML chunk and the waveform overview.
#include "soundfile/soundfile.h"

#include "foundation/messageloging.h"
#include "foundation/naming.h"
#include "soundfile/riffwriter.h"

#include <cstring>

bool QSoundFile::AddiXMLChunk(QString& text)
{
    const char* title = "Take save";
    if (!CheckWritable(title))
        return false;
    QByteArray bytes = text.toUtf8();
    if (bytes.isEmpty()) {
        MyQDebug("%s: empty text for %s", title, qPrintable(m_czPath));
        return false;
    }
    const int index = m_Layout.Find("iXML");
    bool written = false;
    bool appended = false;
    QString why;
    {
        RiffChunkWriter writer(m_File, m_Layout);
        if (index >= 0 && bytes.size() <= qint64(m_Layout.chunks.at(index).nSize)) {
            bytes.append(QByteArray(int(m_Layout.chunks.at(index).nSize) - bytes.size(), ' '));
            written = writer.OverwritePayload(index, 0, bytes);
        } else if (index >= 0 && m_Layout.IsLastChunk(index)) {
            written = writer.RewriteLastChunk(index, bytes, ' ');
        } else {
            written = writer.AppendChunk("iXML", bytes, ' ');
            appended = true;
        }
        why = writer.ErrorText();
    }
    Rewalk();
    // Retire every other iXML chunk (another program's file may hold more
    // than one): a reader that takes the last one must not find the old
    // text. After an append the first goes last: until then readers take
    // the old first chunk, so an interruption leaves the file as it was.
    const int kept = appended ? m_Layout.chunks.size() - 1 : index;
    if (written && index >= 0) {
        for (int old = m_Layout.chunks.size() - 1; written && old >= index; --old) {
            if (old == kept || m_Layout.chunks.at(old).czId != "iXML")
                continue;
            RiffChunkWriter writer(m_File, m_Layout);
            written = writer.RenameChunk(old, "JUNK");
            why = writer.ErrorText();
            Rewalk();
        }
    }
    if (!written)
        ReportWriteFailure(title, why);
    return written;
}

void QSoundFile::AdoptIxmlRewrite(const tyIxmlRewrite& plan, const QByteArray& payload)
{
    QVector<tyRiffChunkInfo>& chunks = m_Layout.chunks;
    if (plan.eKind == tyIxmlRewrite::kGrowLast) {
        chunks.last().nSize = plan.nChunkSize;
        chunks.last().bPadded = false;
    } else if (plan.eKind == tyIxmlRewrite::kAppend) {
        if (plan.bPadFirst)
            chunks.last().bPadded = true;
        tyRiffChunkInfo chunk;
        chunk.czId = QByteArrayLiteral("iXML");
        chunk.nSize = plan.nChunkSize;
        chunk.nHeaderOffset = plan.nHeaderOffset;
        chunks.append(chunk);
    }
    for (const int index : plan.lnRetired)
        chunks[index].czId = QByteArrayLiteral("JUNK");
    m_Layout.nFileLength = plan.nFinalLength;
    m_Layout.nWalkedEnd = plan.nFinalLength;
    m_Layout.nRiffSize = quint32(plan.nFinalLength - 8);
    m_MainChunk.nSize = m_Layout.nRiffSize;
    // A retired chunk counts as unknown, as the walk would count it.
    m_Layout.nUnknownCount = 0;
    m_nOtherChunkCount = 0;
    for (int i = 0; i < chunks.size(); ++i) {
        const tyRiffChunkInfo& info = chunks.at(i);
        if (RiffChunkWalker::IsKnownId(info.czId))
            continue;
        ++m_Layout.nUnknownCount;
        ++m_nOtherChunkCount;
        std::memcpy(m_OtherChunk.szId, info.czId.constData(), 4);
        m_OtherChunk.nSize = info.nSize;
        m_OtherChunk.nOffset = info.PayloadOffset();
    }
    m_bHasiXML = m_Layout.Find("iXML") >= 0;
    // The rewritten chunk is the first iXML chunk: the old ones were retired.
    m_baiXMLText = m_bHasiXML ? payload : QByteArray();
    m_bUnreadableiXML = false;
}

bool QSoundFile::AddOndeChunk(char* buffer, int size, int track, int samplesPerPoint)
{
    const char* title = "Take save";
    if ((!buffer && size > 0) || size < 0 || track < 1 || track > 24) {
        MyQDebug("%s: no levels or track %d out of 1..24", title, track);
        return false;
    }
    if (!CheckWritable(title))
        return false;
    QByteArray payload(4, '\0');
    WriteLe32(reinterpret_cast<unsigned char*>(payload.data()), static_cast<quint32>(samplesPerPoint));
    payload.append(buffer, size);
    // An odd level count gets one zero level: the chunk stays even without a pad byte.
    if (payload.size() & 1)
        payload.append('\0');
    const QByteArray id = QByteArray("ond") + TrkIndexToCharOld(track);
    RiffChunkWriter writer(m_File, m_Layout);
    const bool written = writer.AppendChunk(id, payload, '\0');
    if (!written)
        ReportWriteFailure(title, writer.ErrorText());
    Rewalk();
    return written;
}
