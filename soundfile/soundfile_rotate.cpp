// Two-phase track renumbering of a mono family (QSoundFile::Rotate, Rotate2).
#include "soundfile/soundfile.h"

#include "foundation/fileutil.h"
#include "foundation/messageloging.h"
#include "foundation/platform/diskprobes.h"
#include "foundation/qpath.h"
#include "soundfile/bextdescription.h"

#include <QFileInfo>

namespace {

const char* const kRotateTitle = "Rotate tracks";

bool RenameFile(const QString& from, const QString& to, const char* title)
{
    if (RenameNoReplace(from, to))
        return true;
    SendUserMessage(QLatin1String(title), QStringLiteral("Unable to rename\n%1\nto\n%2 !").arg(from, to));
    return false;
}

} // namespace

bool QSoundFile::Rotate(QString path, QString* tempName, short index, short shift, bool wrap24,
                        QString* iXMLText)
{
    int track = index + shift + 1;
    const int limit = wrap24 ? 24 : 22;
    if (track > limit)
        track -= limit;
    const QFileInfo info(path);
    const QPath trackPath(path);
    const QString root = trackPath.GetRoot();
    const QString separator = trackPath.GetSeparator();
    if (track < 1 || track > 24 || separator.isEmpty()) {
        MyQDebug("%s: no track %d for %s", kRotateTitle, track, qPrintable(path));
        return false;
    }
    const QString folder = info.path() + QLatin1Char('/');
    const QString newName = root + separator + QString::number(track) + QLatin1Char('.') + info.suffix();
    const QString temporary = folder + newName + QLatin1Char('_');
    if (QFileInfo::exists(temporary)) {
        SendUserMessage(QLatin1String(kRotateTitle), QStringLiteral("File %1 already exists.").arg(temporary));
        return false;
    }
    // A write-protected file or folder is refused before anything moves.
    if (!IsWritablePath(path) || !IsWritablePath(info.absolutePath())) {
        SendUserMessage(QLatin1String(kRotateTitle), QStringLiteral("File %1 is write-protected !").arg(path));
        return false;
    }

    InitVariables();
    if (!RenameFile(path, temporary, kRotateTitle))
        return false;
    tyRotateJournal entry{path, temporary, QByteArray(), QByteArray()};
    if (!Open(temporary, 2) || !ReadChunks(true, true) || !IsLayoutSound()) {
        if (IsOpen())
            CheckWritable(kRotateTitle); // names the damaged layout
        InitVariables();
        RenameFile(temporary, path, kRotateTitle);   // a failure is told there
        return false;
    }
    if (HasBextChunk())
        entry.baBextHead = QByteArray(m_BextChunk.szDescription,
                                      int(qMin<quint32>(m_BextChunk.nSize, BEXT_ORIGINATOR_REFERENCE_OFFSET
                                                                               + BEXT_ORIGINATOR_REFERENCE_SIZE)));
    if (HasFilmChunk())
        entry.baFilmName = QByteArray(reinterpret_cast<const char*>(m_FilmChunk.pPayload) + FILM_NET_FILE_NAME_OFFSET,
                                      FILM_NET_FILE_NAME_SIZE);

    // Metadata follows the new name only once the rename has succeeded.
    bool written = true;
    if (HasBextChunk()) {
        BextDescription description = Description();
        description.RenumberTrackLine(track);
        written = WriteBextDescription(kRotateTitle, description, BextDescription::TrackKey(track));
        if (written && m_BextChunk.nSize >= quint32(BEXT_ORIGINATOR_REFERENCE_OFFSET + BEXT_ORIGINATOR_REFERENCE_SIZE))
            written = WriteChunkField(kRotateTitle, "bext", BEXT_ORIGINATOR_REFERENCE_OFFSET
                                                                + BEXT_ORIGINATOR_REFERENCE_SIZE - 1,
                                      QByteArray(1, char('0' + track - 1)));
    }
    if (written && HasFilmChunk())
        written = InsertInFilmNetFileName(newName);
    if (!written) {
        UndoRotate(entry);   // a failure is told there
        return false;
    }

    const bool parsed = GetiXMLFileInfos();
    if (!parsed)
        GenerateiXMLChunkMono(track - 1);
    SetiXMLMonoTrackNumber(track - 1, track);
    if (iXMLText)
        *iXMLText = parsed ? QString::fromUtf8(ToText()) : QString();
    if (tempName)
        *tempName = temporary;
    // A close that reports a failed write fails the renumbering as the write would.
    if (const int closed = CloseWritten()) {
        SendUserMessage(QLatin1String(kRotateTitle),
                        QStringLiteral("Unable to write\n%1\n%2").arg(temporary, SystemErrorText(closed)));
        UndoRotate(entry);
        return false;
    }
    m_ltRotateJournal.append(entry);
    return true;
}

bool QSoundFile::UndoRotate(const tyRotateJournal& entry)
{
    InitVariables();
    bool restored = true;
    if (Open(entry.czTemporary, 2) && ReadChunks(false, true)) {
        if (!entry.baBextHead.isEmpty())
            restored = WriteChunkField(kRotateTitle, "bext", 0, entry.baBextHead);
        if (!entry.baFilmName.isEmpty())
            restored = WriteChunkField(kRotateTitle, "film", FILM_NET_FILE_NAME_OFFSET, entry.baFilmName)
                       && restored;
    }
    InitVariables();
    if (!restored)
        SendUserMessage(QLatin1String(kRotateTitle),
                        QStringLiteral("The track number of\n%1\ncould not be restored.").arg(entry.czTemporary));
    return RenameFile(entry.czTemporary, entry.czOriginal, kRotateTitle) && restored;
}

bool QSoundFile::RotateRollback()
{
    bool restored = true;
    while (!m_ltRotateJournal.isEmpty())
        restored = UndoRotate(m_ltRotateJournal.takeLast()) && restored;
    return restored;
}

bool QSoundFile::Rotate2(QStringList tempNames, QString* iXMLTexts)
{
    bool allDone = true;
    for (int i = 0; i < tempNames.size(); ++i) {
        const QString temporary = tempNames.at(i);
        if (!temporary.endsWith(QLatin1Char('_'))) {
            allDone = false;
            continue;
        }
        const QString final = temporary.left(temporary.size() - 1);
        // Never over another file: that one keeps its temporary name, and
        // its iXML stays as it was so that RotateRollback() restores it whole.
        if (QFileInfo::exists(final)) {
            SendUserMessage(QLatin1String(kRotateTitle),
                            QStringLiteral("File %1 already exists.\nThe renumbered file keeps the name\n%2")
                                .arg(final, temporary));
            allDone = false;
            continue;
        }
        const QString text = iXMLTexts ? iXMLTexts[i] : QString();
        InitVariables();
        bool stored = true;
        if (!text.isEmpty()) {
            QString chunkText = text;
            stored = Open(temporary, 2) && ReadChunks(true, true) && AddiXMLChunk(chunkText) && CloseWritten() == 0;
        }
        InitVariables();
        // A file whose iXML could not be written would carry the old track
        // number under the new name: it keeps its temporary name.
        if (!stored) {
            SendUserMessage(QLatin1String(kRotateTitle),
                            QStringLiteral("The renumbered file keeps the name\n%1").arg(temporary));
            allDone = false;
            continue;
        }
        if (!RenameFile(temporary, final, kRotateTitle)) {
            allDone = false;
            continue;
        }
        for (int j = 0; j < m_ltRotateJournal.size(); ++j) {
            if (m_ltRotateJournal.at(j).czTemporary == temporary) {
                m_ltRotateJournal.removeAt(j);
                break;
            }
        }
    }
    return allDone;
}
