#include "tests/take/savedfamily.h"

#include "foundation/platform/filelocks.h"
#include "foundation/platform/nameremoval.h"
#include "foundation/qpath.h"
#include "foundation/xmlobject.h"
#include "soundfile/ixmlnames.h"
#include "take/soundperform.h"
#include "tests/support/riffbytes.h"
#include "tests/support/riffreader.h"
#include "soundfile/chunkjournal.h"
#include "soundfile/riffwriter.h"

#include <QDataStream>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QSignalSpy>

#include <algorithm>
#include <cstring>
#include <mutex>
#include <fcntl.h>
#include <sys/time.h>
#include <unistd.h>

using namespace fixture;

namespace {

QString NoteOfRound(int round)
{
    return QString(40 + 23 * (round % 400), QLatin1Char('n')) + QStringLiteral("#%1").arg(round);
}

QString NameOfRound(int round, int track)
{
    return QStringLiteral("R%1T%2").arg(round).arg(track);
}

} // namespace

QByteArray FileBytes(const QString& path)
{
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
}

QByteArray OlderRecord(const QByteArray& record, quint32 version)
{
    QList<tyChunkUndo> members;
    if (!ParseChunkJournal(record, &members))
        return QByteArray();
    QByteArray body;
    QDataStream out(&body, QIODevice::WriteOnly);
    out.writeRawData("NALVO-SAVE-JOURNAL", 19);
    out << version << quint32(members.size());
    for (const tyChunkUndo& member : members) {
        out << member.czFileName << member.nOldLength << member.nNewLength << member.lRegions;
        if (version > 1)
            out << member.lNewHashes;
        if (version > 2)
            out << member.tailHashes;
    }
    // The checksum its reader checks: a multiply-xor hash, eight bytes a step.
    quint64 hash = 0xCBF29CE484222325ull ^ quint64(body.size());
    int at = 0;
    for (quint64 word; at + 8 <= body.size(); at += 8) {
        std::memcpy(&word, body.constData() + at, 8);
        hash = (hash ^ word) * 0x100000001B3ull;
        hash ^= hash >> 29;
    }
    for (; at < body.size(); ++at)
        hash = (hash ^ quint8(body.at(at))) * 0x100000001B3ull;
    out << hash;
    return body;
}

bool AgeFile(const QString& path, int seconds)
{
    const struct timeval past[2] = {{::time(nullptr) - seconds, 0}, {::time(nullptr) - seconds, 0}};
    return ::utimes(QFile::encodeName(path).constData(), past) == 0;
}

QString LocklessTool()
{
#ifdef NALVO_LOCKLESS_FUSE_TOOL
    return QStringLiteral(NALVO_LOCKLESS_FUSE_TOOL);
#else
    return QString();
#endif
}

bool LocksReach(const QString& folder)
{
    const int fd = ::open(QFile::encodeName(folder).constData(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    const bool reach = fd >= 0 && LocksReachEveryWriter(fd);
    if (fd >= 0)
        ::close(fd);
    return reach;
}

QStringList RecordsIn(const QString& folder)
{
    return QDir(folder).entryList({QStringLiteral(".*.nalvo-save*"), QStringLiteral(".*.nalvo-commit*")},
                                  QDir::Hidden | QDir::Files);
}

QString TakePathOf(const WrittenTake& written)
{
    return AudioPathFileShortenedToRacine(written.files.value(0));
}

QByteArray WithChunk(QByteArray file, const QByteArray& after, const QByteArray& id, int size)
{
    qint64 at = file.size();
    for (qint64 offset = 12; offset + 8 <= file.size();) {
        const quint32 chunk = ReadLe32(reinterpret_cast<const unsigned char*>(file.constData() + offset + 4));
        const qint64 next = offset + 8 + chunk + (chunk & 1);
        if (file.mid(int(offset), 4) == after) {
            at = next;
            break;
        }
        offset = next;
    }
    file.insert(int(at), id + U32(quint32(size)) + QByteArray(size, 'j'));
    PutU32(file, 4, quint32(file.size() - 8));
    return file;
}

TakeSpec FamilySpec(const QString& id, int tracks, quint32 frames)
{
    QList<int> slotList;
    for (int t = 0; t < tracks; ++t)
        slotList << t;
    TakeSpec spec = MonoTake(id, slotList);
    spec.frames = frames;
    return spec;
}

namespace {

// The files of a family, built from its spec; the last family built is
// kept, since a table's rows write the same one again and again.
QList<QByteArray> FamilyFiles(const TakeSpec& spec, int tracks, Layouts layouts)
{
    static std::mutex mutex;
    static QByteArray builtKey;
    static QList<QByteArray> built;
    const QByteArray key = spec.id.toUtf8() + ' ' + QByteArray::number(tracks) + ' '
                           + QByteArray::number(int(layouts)) + ' ' + QByteArray::number(spec.frames);
    std::lock_guard<std::mutex> guard(mutex);
    if (key == builtKey)
        return built;
    QList<QByteArray> files;
    for (int i = 0; i < tracks; ++i) {
        TakeSpec own = spec;
        if (layouts == Layouts::Orders) {
            const ChunkOrder orders[] = {ChunkOrder::Standard, ChunkOrder::IxmlBeforeOnd, ChunkOrder::IxmlBeforeData};
            own.order = orders[i % 3];
        }
        QByteArray bytes = BuildMonoFile(own, i);
        if (layouts == Layouts::ExtraChunks)
            bytes = i % 2 ? WithChunk(bytes, "iXML", "LIST", 100) : WithChunk(bytes, "bext", "JUNK", 100);
        files << bytes;
    }
    builtKey = key;
    built = files;
    return files;
}

} // namespace

WrittenTake WriteFamily(const QString& day, const QString& id, int tracks, Layouts layouts, quint32 frames)
{
    const TakeSpec spec = FamilySpec(id, tracks, frames);
    const QList<QByteArray> files = FamilyFiles(spec, tracks, layouts);
    WrittenTake written;
    for (int i = 0; i < tracks; ++i) {
        const QString path = day + TrackFileName(spec, i);
        if (!WriteBytes(path, files.at(i)))
            return WrittenTake();
        written.files << path;
    }
    return written;
}

QList<QByteArray> AudioOf(const WrittenTake& written)
{
    QList<QByteArray> audio;
    for (const QString& path : written.files)
        audio << ReadRiffFile(path).data;
    return audio;
}

void SetRound(QSoundPerform& take, int round)
{
    for (int t = 0; t < QSoundPerform::kMaxTracks; ++t) {
        if (!take.m_pbPresent[t])
            continue;
        take.m_SndFile[t].SetiXMLNote(t, NoteOfRound(round));
        take.m_SndFile[t].InsertInBextDescrNote(QStringLiteral("b%1").arg(round));
        take.SetiXMLTrackName(quint16(t), NameOfRound(round, t));
    }
}

namespace {

// A loaded member's note, read from its iXML as the file holds it through
// the text's scan index: a document built for each of 24 members would be
// most of a check's time under the sanitizers.
QString NoteOf(const QSoundFile& file)
{
    QXmlObject ixml;
    if (!ixml.SetContentIndexed(file.GetiXMLText()))
        return file.GetiXMLNotes();
    return ixml.Read([](const auto& root) { return QXmlObject::Below(root, {IxmlNames::kNote}).text(); });
}

} // namespace

int LoadedRound(const QString& takePath)
{
    QSoundPerform take;
    if (!take.InitFilesZZ(takePath, kExt) || take.m_nTakeStatus != 0)
        return -1;
    int round = -2;
    for (int t = 0; t < QSoundPerform::kMaxTracks; ++t) {
        if (!take.m_pbPresent[t])
            continue;
        const QString note = NoteOf(take.m_SndFile[t]).trimmed();
        const int own = note.startsWith(QLatin1Char('n')) ? note.section(QLatin1Char('#'), 1).toInt() : 0;
        if ((own > 0 && note != NoteOfRound(own)) || (round != -2 && own != round))
            return -1;
        if (own > 0 && (take.m_czTrackName[t] != NameOfRound(own, t)
                        || take.m_SndFile[t].GetBextNote() != QStringLiteral("b%1").arg(own)))
            return -1;
        round = own;
    }
    return round;
}

QString SaveTornWithRecordAside(QSoundPerform& take, const QStringList& files, int member, const QString& record)
{
    QList<QByteArray> torn;
    QByteArray left;
    const QString name = QFileInfo(files.at(member)).fileName();
    RiffChunkWriter::SetCheckedWriteHook([&](int descriptor, bool commit, int write, bool checked) {
        const QString path = QFileInfo(QStringLiteral("/proc/self/fd/%1").arg(descriptor)).symLinkTarget();
        if (!torn.isEmpty() || !commit || write != 2 || checked || QFileInfo(path).fileName() != name)
            return;
        for (const QString& file : files)
            torn << FileBytes(file);
        left = FileBytes(record);
    });
    const bool saved = take.UpdateiXMLChunk();
    RiffChunkWriter::SetCheckedWriteHook({});
    const QString aside = RemovalAsideName(record);
    bool put = saved && torn.size() == files.size() && WriteBytes(aside, left);
    for (int i = 0; put && i < files.size(); ++i)
        put = WriteBytes(files.at(i), torn.at(i));
    return put ? aside : QString();
}

QStringList MessageTexts(const QSignalSpy& spy)
{
    QStringList texts;
    for (const QList<QVariant>& message : spy)
        texts << message.value(1).toString();
    return texts;
}
