// The take's metadata setters and the write-back of the iXML chunks.
#include "take/soundperform.h"

#include "foundation/fileutil.h"
#include "foundation/messageloging.h"
#include "foundation/platform/diskprobes.h"
#include "soundfile/chunkjournal.h"
#include "soundfile/ixmlnames.h"
#include "take/takesavejournal.h"

#include <QFileInfo>
#include <algorithm>
#include <cerrno>

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
        if (m_pbPresent[t])
            m_SndFile[t].SetiXMLOrvexTracknames(names, skipEmpty);
    }
}

bool QSoundPerform::OrvexTracknamesHeld(const QString* names, bool skipEmpty) const
{
    if (m_bPolyTake || !names)
        return true;
    // The first present file is the twin the others adopted their documents from.
    const QSoundFile* twin = nullptr;
    for (int t = 0; t < kMaxTracks; ++t) {
        if (!m_pbPresent[t])
            continue;
        if (!m_SndFile[t].OrvexTracknamesHeld(names, skipEmpty, twin != nullptr))
            return false;
        if (!twin)
            twin = &m_SndFile[t];
    }
    return true;
}

QStringList QSoundPerform::GetiXMLAdvancedScTkFieldsList() const
{
    for (int t = 0; t < kMaxTracks; ++t) {
        if (m_pbPresent[t])
            return m_SndFile[t].GetiXMLAdvancedScTkFieldTexts();
    }
    return QStringList();
}

namespace {

// The card (or the file size a volume allows) has no room left.
bool IsNoRoom(int error)
{
    return error == ENOSPC || error == EFBIG || error == EDQUOT;
}

} // namespace

bool QSoundPerform::UpdateiXMLChunk()
{
    // One transaction over the take's files: plan every member's final
    // layout so that all end at one length, record what undoes the save
    // (synced) before the first byte changes, reserve every member's final
    // length (bytes past the RIFF size), then commit member by member and
    // remove the record. A kill or a full card at any step leaves the take
    // loadable as before or as after: the loaders roll a left record back.
    const char* title = "QSoundPerform::UpdateiXMLChunk()";
    CloseFiles();
    QList<int> members;
    for (int t = 0; t < kMaxTracks; ++t) {
        if (m_pbPresent[t])
            members << t;
    }
    if (members.isEmpty())
        return false;
    auto report = [&](const QString& text) {
        SendUserMessage(QLatin1String(title),
                        QStringLiteral("Path:%1\nFile:%2\n%3").arg(m_czTakeFolder, m_czBaseName, text));
    };
    auto refuse = [&](const QString& why) {
        report(why + QStringLiteral("\nNothing was written."));
        for (int t : members)
            m_SndFile[t].Close();
        return false;
    };
    // The take's folder alone from before the plan until the record is
    // gone: no load reads the take half saved or takes this save's record
    // for a killed one, and a second save plans from this one's result.
    TakeFolderLock lock;
    if (!lock.Acquire(m_czTakeFolder, TakeFolderLock::Mode::Alone))
        return refuse(QStringLiteral("Take %1 is being saved or read by another window or program; save "
                                     "again in a moment.").arg(m_czBaseName));
    RollBackLeftSave(m_czTakeFolder, m_czBaseName);
    QByteArray texts[kMaxTracks];
    BuildSaveTexts(texts);
    // bext lines set while the members were closed go in with the chunks.
    QList<QPair<qint64, QByteArray>> fields[kMaxTracks];
    for (int t : members) {
        QPair<qint64, QByteArray> field;
        if (m_SndFile[t].PendingBextField(&field.first, &field.second))
            fields[t] << field;
    }

    // Plan from the layout each member was read with (the load, or this
    // program's own last write), checked on the disk: another program's
    // change since is refused. A member never walked is walked now.
    // A write-protected member may still open for writing (as root, or
    // through a probe): the probe is asked first, by name in the folder the
    // lock holds open.
    QStringList names;
    bool inFolder = true;
    for (int t : members) {
        const QString& path = m_SndFile[t].GetPath();
        inFolder = inFolder && path.startsWith(m_czTakeFolder) && m_czTakeFolder.endsWith(QLatin1Char('/'));
        names << path.mid(m_czTakeFolder.size());
    }
    if (!inFolder) {
        names.clear();
        for (int t : members)
            names << m_SndFile[t].GetPath();
    }
    if (!AreWritableFiles(inFolder ? m_czTakeFolder : QString(), inFolder ? lock.Descriptor() : -1, names))
        return refuse(QStringLiteral("The take's files cannot all be written."));
    for (int t : members) {
        QSoundFile& file = m_SndFile[t];
        const bool known = file.IsLayoutSound();
        if (!file.Open(file.GetPath(), 2)
            || (!known && !file.ReadChunks(false, true))
            || !file.IsLayoutSound())
            return refuse(QStringLiteral("The take's files cannot all be written."));
        if (known && !file.ChunkWriter().LayoutOnDiskMatches())
            return refuse(QStringLiteral("the take changed on disk since it was opened"));
    }
    QList<qint64> lengths;
    qint64 longest = 0;
    for (int t : members) {
        const tyRiffLayout& layout = m_SndFile[t].GetLayout();
        longest = qMax(longest, layout.nFileLength);
        for (qint64 length : RiffChunkWriter::IxmlRewriteLengths(layout, texts[t].size()))
            lengths << length << length + 1;
    }
    std::sort(lengths.begin(), lengths.end());
    tyIxmlRewrite plans[kMaxTracks];
    bool planned = false;
    for (int i = 0; i < lengths.size() && !planned; ++i) {
        if (lengths.at(i) < longest || (i > 0 && lengths.at(i) == lengths.at(i - 1)))
            continue;
        planned = true;
        for (int t : members)
            planned = planned && RiffChunkWriter::PlanIxmlRewrite(m_SndFile[t].GetLayout(), texts[t].size(),
                                                                  lengths.at(i), &plans[t]);
    }
    for (int t : members)
        plans[t].lFields = fields[t];
    if (!planned)
        return refuse(QStringLiteral("The take's files cannot be given equal sizes."));
    const QString noRoom = QStringLiteral("not enough space on the card to save take %1").arg(m_czBaseName);
    qint64 growth = 0;
    for (int t : members)
        growth += plans[t].nFinalLength - plans[t].nOldLength;
    if (growth > 0) {
        const qint64 freeBytes = FreeSpaceBytes(m_czTakeFolder);
        if (freeBytes >= 0 && freeBytes < growth)
            return refuse(noRoom);
    }

    // The record of what undoes the save, on the disk before any change.
    QList<tyChunkUndo> undo;
    QByteArray payloads[kMaxTracks];
    for (int t : members) {
        tyChunkUndo member;
        payloads[t] = texts[t];
        payloads[t].append(int(plans[t].nChunkSize) - texts[t].size(), ' ');
        RiffChunkWriter writer = m_SndFile[t].ChunkWriter();
        if (!writer.ReadUndo(plans[t], payloads[t], &member))
            return refuse(writer.ErrorText());
        member.czFileName = QFileInfo(m_SndFile[t].GetPath()).fileName();
        undo << member;
    }
    const QString journal = TakeSaveJournalPath(m_czTakeFolder, m_czBaseName);
    QString why;
    int error = 0;
    if (!WriteChunkJournal(journal, undo, &why, &error))
        return refuse(IsNoRoom(error) ? noRoom : QStringLiteral("The save record cannot be written: %1").arg(why));

    // Reserve, then commit; a failure in either puts every member back.
    auto undoSave = [&](const QString& reason) {
        for (int t : members)
            m_SndFile[t].Close();
        const tyJournalRollBack result = RollBackChunkJournal(journal);
        if (result.lczFailed.isEmpty())
            return refuse(reason);
        report(reason + QStringLiteral("\nThe take could not be put back yet; its next load does it:\n")
               + result.lczFailed.join(QLatin1Char('\n')));
        return false;
    };
    for (int i = 0; i < members.size(); ++i) {
        const int t = members.at(i);
        RiffChunkWriter writer = m_SndFile[t].ChunkWriter();
        if (!writer.ReserveIxmlRewrite(plans[t], payloads[t])) {
            MyQDebug("%s: member %d of %d cannot grow: %s", title, i + 1, int(members.size()),
                     qPrintable(writer.ErrorText()));
            return undoSave(IsNoRoom(writer.ErrorNumber()) ? noRoom : writer.ErrorText());
        }
    }
    QVector<int> descriptors;
    for (int t : members) {
        RiffChunkWriter writer = m_SndFile[t].ChunkWriter();
        if (!writer.CommitIxmlRewrite(plans[t], payloads[t]))
            return undoSave(QStringLiteral("The save failed and was undone: %1").arg(writer.ErrorText()));
        descriptors << m_SndFile[t].FileHandle();
    }
    // Every member on the disk before the record goes: a power cut after its
    // removal must find the new take whole.
    if (const int syncError = SyncFiles(descriptors))
        return undoSave(
            QStringLiteral("The saved files could not be synced to the card: %1").arg(SystemErrorText(syncError)));
    // A record left behind would undo this save at the next load, and so
    // would one whose removal is not on the disk when the power fails.
    if (!QFile::remove(journal))
        report(QStringLiteral("The take was saved, but its save record %1 cannot be removed: the next load "
                              "undoes this save.").arg(journal));
    else if (const int folderError = SyncFolder(m_czTakeFolder))
        report(QStringLiteral("The take was saved, but the removal of its save record cannot be put on the "
                              "card (%1): if the power fails before the card is unmounted, the next load "
                              "undoes this save.").arg(SystemErrorText(folderError)));
    bool replaced = false;
    for (int t : members)
        replaced = replaced || m_SndFile[t].ReplacesUnreadableiXML();
    if (replaced)
        report(QStringLiteral("The take's iXML could not be read: it was replaced by a new one made from its "
                              "other metadata and the edits."));
    for (int t : members) {
        m_SndFile[t].AdoptIxmlRewrite(plans[t], payloads[t]);
        m_SndFile[t].ClearPendingBext();
        m_SndFile[t].Close();
    }
    return true;
}

void QSoundPerform::BuildSaveTexts(QByteArray* texts)
{
    // The documents of a mono family differ in their own track entry only,
    // as the recorder writes them and the editor changes them: the first is
    // serialised, the others are spliced from its text. Any other difference
    // (or a text that would need escaping) serialises that member itself.
    // A member adopted at the load and not built since is made from its
    // twin's document without building its own.
    int model = -1;
    tyAdoptedSaveModels adopted;
    for (int t = 0; t < kMaxTracks; ++t) {
        if (!m_pbPresent[t])
            continue;
        QSoundFile& file = m_SndFile[t];
        if (!m_bPolyTake && file.AdoptedSaveText(&adopted, &texts[t]))
            continue;
        file.EnsureDocument(t);
        if (!m_bPolyTake && model >= 0
            && m_SndFile[model].SpliceText(texts[model], file, {IxmlNames::kTrackList, IxmlNames::kTrack}, &texts[t]))
            continue;
        texts[t] = file.ToText();
        if (model < 0)
            model = t;
    }
}
