// The take's metadata setters and the write-back of the iXML chunks.
#include "take/soundperform.h"

#include "foundation/messageloging.h"
#include "foundation/platform/diskprobes.h"

void QSoundPerform::SetiXMLTrackName(unsigned short track, QString name)
{
    if (track >= kMaxTracks)
        return;
    m_czTrackName[track] = name;
    if (m_bPolyTake) {
        if (m_pbPresent[0])
            m_SndFile[0].SetiXMLPolyTrackName(track, name);
    } else if (m_pbPresent[track]) {
        m_SndFile[track].SetiXMLMonoTrackName(track, name);
    }
}

void QSoundPerform::SetiXMLOrvexTracknames(QString* names, bool skipEmpty)
{
    if (m_bPolyTake || !names)
        return;
    for (int t = 0; t < kMaxTracks; ++t) {
        if (!m_pbPresent[t])
            continue;
        for (int slot = 0; slot < kMaxTracks; ++slot) {
            if (!(skipEmpty && names[slot].isEmpty()))
                m_SndFile[t].SetiXMLOrvexTrackname(slot, names[slot]);
        }
    }
}

QStringList QSoundPerform::GetiXMLAdvancedScTkFieldsList() const
{
    for (int t = 0; t < kMaxTracks; ++t) {
        if (m_pbPresent[t])
            return m_SndFile[t].GetiXMLAdvancedScTkFieldTexts();
    }
    return QStringList();
}

bool QSoundPerform::UpdateiXMLChunk()
{
    const char* title = "QSoundPerform::UpdateiXMLChunk()";
    CloseFiles();
    QString texts[kMaxTracks];
    int length = 0;
    bool any = false;
    bool ready = true;
    for (int t = 0; t < kMaxTracks && ready; ++t) {
        if (!m_pbPresent[t])
            continue;
        QSoundFile& file = m_SndFile[t];
        texts[t] = m_bPolyTake ? file.GenerateiXMLChunkPoly(t) : file.GenerateiXMLChunkMono(t);
        // Open all before writing any: a family half rewritten would no
        // longer load (its files would differ in size). A write-protected
        // member may still open for writing (as root, or through a probe).
        ready = IsWritablePath(file.GetPath()) && file.Open(2) && file.ReadChunks(false, true)
                && file.IsLayoutSound();
        length = qMax(length, qMax(texts[t].toUtf8().size(), int(file.GetiXMLChunkSize())));
        any = true;
    }
    length += length & 1;
    // Texts longer than a member's chunk grow it: a disk that fills up after
    // the first members would leave the family with unequal sizes.
    qint64 growth = 0;
    for (int t = 0; t < kMaxTracks && ready; ++t) {
        if (m_pbPresent[t] && qint64(m_SndFile[t].GetiXMLChunkSize()) < length)
            growth += 8 + length;
    }
    const qint64 freeBytes = growth > 0 ? FreeSpaceBytes(m_czTakeFolder) : -1;
    const bool room = freeBytes < 0 || freeBytes >= growth;
    bool written = ready && room && any;
    if (!ready || !room)
        SendUserMessage(QLatin1String(title),
                        QStringLiteral("Path:%1\nFile:%2\n%3\nNothing was written.")
                            .arg(m_czTakeFolder, m_czBaseName,
                                 ready ? QStringLiteral("Not enough free space for the metadata.")
                                       : QStringLiteral("The take's files cannot all be written.")));
    for (int t = 0; t < kMaxTracks && written; ++t) {
        if (!m_pbPresent[t])
            continue;
        QString text = texts[t];
        text += QString(length - text.toUtf8().size(), QLatin1Char(' '));
        written = m_SndFile[t].AddiXMLChunk(text);
    }
    for (int t = 0; t < kMaxTracks; ++t) {
        if (m_SndFile[t].IsOpen())
            m_SndFile[t].Close();
    }
    return written;
}
