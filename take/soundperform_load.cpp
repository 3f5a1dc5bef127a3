// Loading a take: finding its files, reading them, checking that they agree
// and filling the take's values.
#include "take/soundperform.h"

#include "foundation/fileutil.h"
#include "foundation/mapping.h"
#include "foundation/messageloging.h"
#include "foundation/platform/diskprobes.h"
#include "foundation/recordfiles.h"
#include "foundation/replacejournal.h"
#include "soundfile/chunkjournal.h"
#include "soundfile/filestatus.h"
#include "soundfile/keptheads.h"
#include "take/takefamily.h"
#include "take/takeverdict.h"
#include "take/takesavejournal.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QtMath>
#include <algorithm>
#include <optional>
#include <cmath>
#include <ctime>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace {

// "025.000-ND" -> "25 ND", "029.970-DF" -> "29.97 DF".
QString FrameRateText(const QString& speed)
{
    const int dash = speed.indexOf(QLatin1Char('-'));
    bool ok = false;
    const double rate = speed.left(dash < 0 ? speed.size() : dash).trimmed().toDouble(&ok);
    if (!ok || rate <= 0)
        return speed.trimmed();
    QString text = QString::number(rate, 'f', 3);
    while (text.endsWith(QLatin1Char('0')))
        text.chop(1);
    if (text.endsWith(QLatin1Char('.')))
        text.chop(1);
    if (dash >= 0)
        text += QLatin1Char(' ') + speed.mid(dash + 1).trimmed();
    return text;
}

bool IsPullDownSpeed(const QString& speed)
{
    const int dash = speed.indexOf(QLatin1Char('-'));
    const double rate = speed.left(dash < 0 ? speed.size() : dash).trimmed().toDouble();
    return rate > 0 && std::fabs(rate - std::round(rate)) > 0.001;
}

int MixRoleOfType(const QString& type)
{
    if (type == QLatin1String("mxdn"))
        return 1;
    if (type == QLatin1String("mxdnL"))
        return 2;
    if (type == QLatin1String("mxdnR"))
        return 3;
    return 0;
}

int MixRoleOfFunction(const QString& function)
{
    const QString text = function.trimmed().toUpper();
    if (text == QLatin1String("MIX"))
        return 1;
    if (text == QLatin1String("L-MIX"))
        return 2;
    if (text == QLatin1String("R-MIX"))
        return 3;
    return 0;
}

// "yes"/"no" are stored upper-case; other texts ("DISARMED" ...) as read.
QString ActiveText(const QString& text)
{
    const QString trimmed = text.trimmed();
    if (trimmed.compare(QLatin1String("YES"), Qt::CaseInsensitive) == 0
        || trimmed.compare(QLatin1String("NO"), Qt::CaseInsensitive) == 0)
        return trimmed.toUpper();
    return text;
}

QString TakeFolderOf(const QString& takePath, const QString& extension)
{
    QString folder;
    QString name;
    SplitTakePath(takePath, extension, &folder, &name);
    return folder;
}

// What the disk says of a member of a take that did not load whole.
enum class MemberNow {
    Settled,    // as it was read, and not changed lately
    Changing,   // another program writes it at this moment: its length is no longer the one read, or it is gone
    Recent,     // as it was read, but changed in the last seconds: it may still be arriving
};

// recent: the member changed lately counts (asked of a member cut short or
// no sound file, which a copy still running leaves).
MemberNow MemberOnDisk(const QSoundFile& file, bool recent)
{
    constexpr time_t kArrivingSeconds = 10;
    struct stat now;
    if (::stat(QFile::encodeName(file.GetPath()).constData(), &now) != 0
        || now.st_size != file.GetLayout().nFileLength)
        return MemberNow::Changing;
    return recent && ::time(nullptr) - now.st_mtime < kArrivingSeconds ? MemberNow::Recent : MemberNow::Settled;
}

// A member whose sizes do not fit its file: it did not walk, or its RIFF
// size is not its length, as a save leaves it between its writes.
bool SizesUnsound(const QSoundFile& file)
{
    return !file.IsLayoutSound() || !file.GetLayout().RiffSizeMatches();
}

// Members read with sizes that do not fit (doubtful) while the take's files
// agree in length may have been read in the middle of another computer's
// save on a share without locks (its record not there yet when the load
// looked): told by a save record of the take there now whose writer may
// live, or by such a member whose length or sizes differ when it is read
// again. A take damaged for good reads the same twice, and a record left
// by a killed save that could not be applied proves nothing.
bool ReadDuringSave(const QSoundPerform& take, const tyTakeFamily& family, quint32 doubtful)
{
    const QString record = TakeSaveJournalPath(family.czFolder, family.czBaseName);
    for (const QString& path : {record, ChunkJournalTemporaryPath(record), TakenOverRecordPath(record)}) {
        const int fd = ::open(QFile::encodeName(path).constData(), O_RDONLY | O_CLOEXEC | O_NOFOLLOW | O_NONBLOCK);
        if (fd < 0)
            continue;
        const bool live = RecordWriterMayLive(fd, path);
        ::close(fd);
        if (live)
            return true;
    }
    for (int t = 0; t < QSoundPerform::kMaxTracks; ++t) {
        if (!(doubtful & (1u << t)))
            continue;
        if (MemberOnDisk(take.m_SndFile[t], false) == MemberNow::Changing)
            return true;
        QSoundFile again;
        again.SetPath(take.m_SndFile[t].GetPath());
        const bool read = again.Open(0);
        const bool walks = read && again.ReadChunks(false, true);
        again.Close();
        if (!read || (walks && !SizesUnsound(again)))
            return true;
    }
    return false;
}

// Why a member that is there did not open.
QString UnopenedMemberText(const QString& path)
{
    const QString name = QFileInfo(path).fileName();
    struct stat status;
    if (::lstat(QFile::encodeName(path).constData(), &status) == 0 && !S_ISREG(status.st_mode))
        return QStringLiteral("its track file %1 is not a regular file").arg(name);
    return QStringLiteral("its track file %1 cannot be opened").arg(name);
}

// The record of an interrupted save of the take stays beside it, under its
// name or a removal's hidden one: one no load could apply, so files that do
// not read whole hold parts of that save, not a recording left unclosed.
bool LeftSaveStands(const QString& folder, const QString& baseName)
{
    const QString record = TakeSaveJournalPath(folder, baseName);
    return NameOnVolume(record) || RemovalAsideOfExists(record);
}

QString BeingWrittenText(const QString& take)
{
    return QStringLiteral("Take %1 is being written by another program and was not read; select it again in a moment.")
        .arg(take);
}

// What Import makes of a loaded take's sound: the answer of its first
// member that Import refuses, else of one cut short, else whole.
tySourceSound SoundForImport(const QSoundPerform& take)
{
    tySourceSound worst;
    worst.eKind = tySourceSound::Whole;
    for (int t = 0; t < QSoundPerform::kMaxTracks; ++t) {
        if (!take.m_pbPresent[t])
            continue;
        const tySourceSound sound = SourceSoundOf(take.m_SndFile[t]);
        if (!sound.Importable())
            return sound;
        if (sound.eKind == tySourceSound::CutShort)
            worst = sound;
    }
    return worst;
}

// Why a take whose files are all there and settled was not read, its
// files disagreeing. This recorder's take is told damaged, its member cut
// short named (a card pulled while recording), and not pointed to Import,
// which refuses its whole members. Another recorder's set may be taken
// apart by Import (importMayRead) where Import's rule takes a file of it.
QString DisagreeingFilesText(const QSoundPerform& take, const QString& path, bool* importMayRead)
{
    const QSoundFile* shortest = nullptr;
    qint64 longest = 0;
    bool recorder = false;
    tySourceSound refused;   // the first file's, when Import takes none
    bool importable = false;
    for (int t = 0; t < QSoundPerform::kMaxTracks; ++t) {
        if (!take.m_pbPresent[t])
            continue;
        const QSoundFile& file = take.m_SndFile[t];
        recorder = recorder || (file.HasBextChunk() && IsRecorderReference(file.m_BextChunk.szOriginatorReference));
        const qint64 length = file.GetLayout().nFileLength;
        longest = qMax(longest, length);
        const tySourceSound sound = SourceSoundOf(file);
        if (!shortest)
            refused = sound;
        importable = importable || sound.Importable();
        if (!shortest || length < shortest->GetLayout().nFileLength)
            shortest = &file;
    }
    *importMayRead = !recorder && importable;
    if (recorder && shortest && shortest->GetLayout().nFileLength < longest) {
        const QString text = QStringLiteral("Take %1 is damaged and was not read: its track file %2 is shorter than "
                                            "the others").arg(path, QFileInfo(shortest->GetPath()).fileName());
        return ComputeFileStatus(*shortest) == 8
                   ? text + QStringLiteral(", not closed correctly by the recorder (Wrong File #8).")
                   : text + QLatin1Char('.');
    }
    const QString text = QStringLiteral("Take %1 was not read: its files differ in length or format.").arg(path);
    if (recorder || importable)
        return text;
    return text + QLatin1Char(' ') + refused.Reason() + QStringLiteral(" They cannot be imported.");
}

} // namespace

namespace {

// The take's files a killed rename left under its removal's hidden name
// (see RemoveNameAsChecked): those whose own name is one of the take's
// files, not of its records.
QStringList MemberAsides(const QString& folder, const QString& baseName)
{
    QStringList found;
    for (const QString& aside : RemovalAsidesIn(folder)) {
        const QString owner = RemovalAsideOwnerName(aside);
        if (owner.startsWith(baseName) && !owner.contains(QLatin1String(".nalvo-")))
            found << aside;
    }
    return found;
}

// The take's members a killed rename left aside (see RemoveLeftHiddenCopy):
// each put back where its own name is free. True when one went from there.
// Asked only of a take that misses a member its metadata lists, without a
// lock of the folder (one is taken alone where locks reach every writer).
bool PutBackMembersAside(const QString& folder, const QString& baseName)
{
    bool settled = false;
    for (const QString& aside : MemberAsides(folder, baseName))
        settled = RemoveLeftHiddenCopy(folder, QFileInfo(aside).fileName()) == ClockProbe::Removed || settled;
    return settled;
}

// Why a walked mono file found for a slot is no member of its take, as a
// clause of the take's line.
QString NoMemberReason(const QSoundFile& file)
{
    const tyTrackFileHead head = HeadOfWalkedFile(file);
    if (head.bCut)
        return QStringLiteral("it is cut short");
    if (!head.czTakeId.isEmpty())
        return QStringLiteral("its bext names take %1").arg(head.czTakeId);
    return file.HasBextChunk() ? QStringLiteral("its bext is not this recorder's")
                               : QStringLiteral("it has no bext chunk");
}

} // namespace

bool QSoundPerform::InitFilesZZ(QString takePath, QString extension)
{
    for (int pass = 0;; ++pass) {
        ResetVariables();
        // Held until the files are read: no save changes them meanwhile.
        TakeFolderLock lock;
        std::optional<FolderNameProbe> names;
        if (!RollBackInterruptedSave(takePath, extension, &lock, &names, &m_czLoadFailure))
            return false;
        if (!names)
            names.emplace(TakeFolderOf(takePath, extension));
        tyTakeVerdict verdict;
        tyJudgedWalks walks;
        if (!JudgeTake(takePath, extension, &*names, nullptr, &verdict, JudgementWalker(lock, &walks)))
            return NoteRenamedTake(takePath, extension);
        const tyTakeFamily& family = verdict.family;
        if (!LoadFamily(family, lock, &*names, &*names, true, walks))
            break;
        lock.Release();
        // Read again once with a member put back from a killed rename's
        // hidden name.
        if (pass > 0 || MissingMembers() == 0 || !PutBackMembersAside(family.czFolder, family.czBaseName))
            return true;
    }
    if (!m_czLoadFailure.isEmpty())
        SendUserMessage(QStringLiteral("Take not read"), m_czLoadFailure, 0, 2);
    return false;
}

bool QSoundPerform::QuickInitFiles(QString root, QString ext, const MyFileInfoList* listing, bool readSidecar)
{
    ResetVariables();
    TakeFolderLock lock;
    std::optional<FolderNameProbe> names;
    if (!RollBackInterruptedSave(root, ext, &lock, &names, &m_czLoadFailure))
        return false;
    // The shown take's load tells of every name of its slots (a copy in
    // another form), so it reads the folder's names where none are kept.
    if (readSidecar && !listing && (!names || !names->IsListed()))
        names.emplace(TakeFolderOf(root, ext), FolderNameProbe::Listing::KeptOrRead);
    else if (!names && (!listing || readSidecar))
        names.emplace(TakeFolderOf(root, ext));
    const FolderNameProbe* probe = names ? &*names : nullptr;
    tyTakeVerdict verdict;
    tyJudgedWalks walks;
    if (!JudgeTake(root, ext, probe, listing, &verdict, JudgementWalker(lock, &walks)))
        return NoteRenamedTake(root, ext);
    if (!LoadFamily(verdict.family, lock, probe, readSidecar ? probe : nullptr, false, walks))
        return false;
    // The take the user opens: a save of it checks that its members still
    // hold what the user was shown.
    if (readSidecar)
        KeepMemberHeads();
    return true;
}

bool QSoundPerform::NoteRenamedTake(const QString& takePath, const QString& extension)
{
    QString askedFolder;
    QString askedName;
    SplitTakePath(takePath, extension, &askedFolder, &askedName);
    bool takenBack = false;
    const QStringList moved = SettledRenames(ReplaceJournal::PathForTake(askedFolder, askedName), &takenBack);
    // Followed only to a take that stands there now.
    if (moved.isEmpty() || !QFileInfo::exists(moved.first()))
        return false;
    QString folder;
    QString name;
    SplitTakePath(TakePathOfFile(moved.first(), extension), extension, &folder, &name);
    if (QDir::cleanPath(folder + name) == QDir::cleanPath(askedFolder + askedName))
        return false;
    m_czRenamedTake = folder + name;
    m_bRenameTakenBack = takenBack;
    if (takenBack)
        m_czLoadFailure = QStringLiteral("Take %1 was not read: the rename of its files to this name was undone, "
                                         "and the take stands under its old name %2.")
                              .arg(QDir::toNativeSeparators(askedFolder + askedName), name);
    return false;
}

tyTrackFileHead QSoundPerform::WalkForJudgement(int slot, const QString& path, TakeFolderLock& lock,
                                                tyJudgedWalks* walks)
{
    QSoundFile& file = m_SndFile[slot];
    file.SetPath(path);
    bool notRegular = false;
    if (!file.OpenFound(&notRegular))
        return ReadTrackFileHead(path);
    const bool walked = file.ReadChunks(false, true);
    tyTrackFileHead head = HeadOfWalkedFile(file);
    head.nLength = file.GetLayout().nFileLength;
    file.Close();
    lock.TellProgress();
    walks->czPath[slot] = path;
    walks->nWalked = walked ? walks->nWalked | 1u << slot : walks->nWalked & ~(1u << slot);
    return head;
}

TrackHeadReader QSoundPerform::JudgementWalker(TakeFolderLock& lock, tyJudgedWalks* walks)
{
    return [this, &lock, walks](int slot, const QString& path) { return WalkForJudgement(slot, path, lock, walks); };
}

bool QSoundPerform::LoadFamily(const tyTakeFamily& family, TakeFolderLock& lock, const FolderNameProbe* names,
                               const FolderNameProbe* sidecarNames, bool report, const tyJudgedWalks& walks)
{
    m_bPolyTake = family.bPoly;
    m_czTakeFolder = family.czFolder;
    m_czBaseName = family.czBaseName;
    m_czExtension = family.czExtension;
    m_bProcessedName = family.bPoly && IsProcessedName(family.czBaseName);
    m_nFileCount = short(family.nFileCount);
    for (int t = 0; t < kMaxTracks; ++t) {
        m_pbPresent[t] = !family.czPath[t].isEmpty();
        m_pcSeparator[t] = family.pcSeparator[t];
        if (m_pbPresent[t])
            m_SndFile[t].SetPath(family.czPath[t]);
    }
    // A file named for a slot a member holds is a take by itself: the
    // views list it alone from now on, though it is of the members' length.
    // A rival that is no regular file is named in the line, once.
    for (const QString& rival : family.lczRivals) {
        struct stat status;
        if (ReadTrackFileHead(rival, true).nLength < 0 && ::lstat(QFile::encodeName(rival).constData(), &status) == 0)
            m_lczNotRegular << QFileInfo(rival).fileName();
    }
    for (tyNamesake namesake : family.lNamesakes) {
        namesake.czName = QFileInfo(namesake.czName).fileName();
        namesake.czMember = QFileInfo(namesake.czMember).fileName();
        m_lNamesakes << namesake;
    }
    quint32 unwalked = 0;
    bool gone = false;
    const bool read = ReadFiles(&unwalked, &gone, lock, walks);
    const bool agree = read && FilesAgree();
    quint32 doubtful = agree ? unwalked : 0;
    for (int t = 0; agree && t < kMaxTracks; ++t) {
        if (m_pbPresent[t] && SizesUnsound(m_SndFile[t]))
            doubtful |= 1u << t;
    }
    if (doubtful != 0 && ReadDuringSave(*this, family, doubtful)) {
        const QString take = QDir::toNativeSeparators(family.czFolder + family.czBaseName);
        ResetVariables();
        m_czLoadFailure = BeingWrittenText(take);
        return false;
    }
    if (!agree) {
        RefuseFamily(family, read, gone, unwalked, report);
        return false;
    }
    ReportUnwalked(unwalked, report);
    ReadTakeValues();
    ReadTrackValues();
    ReadSyncPoints();
    ReadWritability(lock.Descriptor());
    NoteLeftBeside(names);
    // A write-protected folder keeps its settings in the mirror folder, so
    // only a writable one's listing tells that the take has none.
    if (sidecarNames
        && (m_bReadOnlyFolder || !sidecarNames->IsListed()
            || sidecarNames->Exists(SidecarPath().mid(m_czTakeFolder.size()))))
        LoadPlayerSettings(SidecarPath());
    return true;
}

void QSoundPerform::RefuseFamily(const tyTakeFamily& family, bool read, bool gone, quint32 unwalked, bool report)
{
    // Files cut short or gone, or still changing, may be another
    // program's rewrite or copy: whole in a moment. Such a take is told
    // once, and not member by member as damaged. Only a length changed
    // since the read proves a writer; a file that changed lately only
    // may still be arriving.
    MemberNow now = gone ? MemberNow::Changing : MemberNow::Settled;
    for (int t = 0; t < kMaxTracks && read && now != MemberNow::Changing; ++t) {
        const QSoundFile& file = m_SndFile[t];
        const bool cut = (unwalked & (1u << t)) || !file.IsLayoutSound();
        const MemberNow member = m_pbPresent[t] ? MemberOnDisk(file, cut) : MemberNow::Settled;
        if (member != MemberNow::Settled)
            now = member;
    }
    if (now == MemberNow::Settled)
        ReportUnwalked(unwalked, report);
    const QString unread = m_czUnreadFile;
    const QString take = QDir::toNativeSeparators(family.czFolder + family.czBaseName);
    bool importMayRead = false;
    const QString disagree = read ? DisagreeingFilesText(*this, take, &importMayRead) : QString();
    ResetVariables();
    m_czUnreadFile = unread;
    // A member gone since the judgement found it may have gone with a
    // rename settled here since, where the folder's listing still names
    // it (a share's mount keeps one a while, sshfs): the take is followed
    // to where it stands, as by a load that finds none of it.
    if (gone) {
        NoteRenamedTake(family.czFolder + family.czBaseName, family.czExtension);
        if (!m_czRenamedTake.isEmpty())
            return;
    }
    if (now == MemberNow::Changing)
        m_czLoadFailure = BeingWrittenText(take);
    else if (now == MemberNow::Recent)
        m_czLoadFailure = QStringLiteral("Take %1 was not read: its files differ in length or format. They "
                                         "changed in the last seconds and may still be arriving; select it "
                                         "again in a moment.").arg(take);
    else if (read && !unread.isEmpty())
        m_czLoadFailure = QStringLiteral("Take %1 was not read: %2.").arg(take, unread);
    else if (read && LeftSaveStands(family.czFolder, family.czBaseName))
        m_czLoadFailure = QStringLiteral("Take ") + RecordTexts::LeftSaveTorn(take);
    else if (read) {
        m_bImportMayRead = importMayRead;
        m_czLoadFailure = disagree;
    }
}

void QSoundPerform::NoteLeftBeside(const FolderNameProbe* names)
{
    m_bLeftSaveStands = m_nTakeStatus == 8 && LeftSaveStands(m_czTakeFolder, m_czBaseName);
    // A member left hidden while another file took its name: the take's
    // line names it (see FamilyLine). Looked for where the folder's listing
    // holds a hidden name of the take's that is none of its records, else
    // where one is missing or left out.
    const QString hidden = QLatin1Char('.') + m_czBaseName;
    const int listed = names ? names->CountListed(hidden, QString()) : -1;
    if (listed < 0 ? MissingMembers() == 0 && m_lHeldOut.isEmpty()
                   : listed == names->CountListed(hidden + QStringLiteral(".nalvo-"), QString()))
        return;
    for (const QString& aside : MemberAsides(m_czTakeFolder, m_czBaseName)) {
        if (NameOnVolume(m_czTakeFolder + RemovalAsideOwnerName(aside)))
            m_lczHiddenMembers << QFileInfo(aside).fileName();
    }
}

bool QSoundPerform::ReadFiles(quint32* unwalked, bool* gone, TakeFolderLock& lock, const tyJudgedWalks& walks)
{
    m_nTakeStatus = 0;
    const QSoundFile* first = nullptr;
    short status[kMaxTracks] = {};
    tyFileState walkedStates[kMaxTracks];
    quint32 present = 0;
    tyTrackFileHead heads[kMaxTracks];
    const QString id = m_czBaseName.left(6);
    for (int t = 0; t < kMaxTracks; ++t) {
        if (!m_pbPresent[t])
            continue;
        QSoundFile& file = m_SndFile[t];
        const bool judged = !walks.czPath[t].isEmpty() && walks.czPath[t] == file.GetPath();
        bool notRegular = false;
        if (!judged && !file.OpenFound(&notRegular)) {
            // A folder, a pipe or a link to nothing named like a track is no
            // file of the take: the others are read, the line names it.
            if (notRegular) {
                m_lczNotRegular << QFileInfo(file.GetPath()).fileName();
                LeaveOutMember(t);
                continue;
            }
            // Gone since it was found, as the volume answers (a share's mount
            // may answer a look at a name another computer moved from its
            // cache). An open that failed otherwise said why in a box, and the
            // take's line names the file (see ProblemLine).
            *gone = !NameOnVolume(file.GetPath());
            if (!*gone)
                m_czUnreadFile = UnopenedMemberText(file.GetPath());
            return false;
        }
        // A file that is no sound file gets status 1 and is reported once
        // the take is judged (see ReportUnwalked). The first member's iXML
        // is parsed; the others share all of it but their own track entry
        // and are parsed only when they differ.
        const bool walked = judged ? (walks.nWalked & (1u << t)) != 0 : file.ReadChunks(false, true);
        present |= 1u << t;
        tyTrackFileHead& head = heads[t];
        head = HeadOfWalkedFile(file);
        head.nLength = file.GetLayout().nFileLength;
        // What a file that may be left out is, for the views (see HoldOutLeftOut).
        if (ClaimOnSlot(head, id) != SlotClaim::Member || head.nTrack != t)
            walkedStates[t] = file.ReadState().state;
        const bool member = m_bPolyTake || JoinsFamily(head.eKind);
        if (!walked)
            *unwalked |= 1u << t;
        if (walked && !(first && member && file.AdoptiXMLOfTwin(*first)))
            file.GetiXMLFileInfos();
        if (!first && member)
            first = &file;
        status[t] = short(ComputeFileStatus(file));
        file.Close();
        if (!judged)
            lock.TellProgress();
    }
    // Another maker's file named like a track of a take of ours is a take
    // by itself, as the views list it, and so is a file of this recorder's
    // naming another take where the others name this one.
    quint32 copies = 0;
    const quint32 leftOut = SlotsLeftOut(m_bPolyTake, present, heads, id, &copies);
    for (int t = 0; t < kMaxTracks; ++t) {
        if (copies & (1u << t))
            m_lNamesakes << NamesakeOf(m_czTakeFolder, QFileInfo(m_SndFile[t].GetPath()).fileName(),
                                       QFileInfo(m_SndFile[heads[t].nTrack].GetPath()).fileName());
    }
    HoldOutLeftOut(leftOut, copies, walkedStates);
    // A member the views keep a head of (left out by an earlier load) is
    // listed as what it holds now.
    for (int t = 0; t < kMaxTracks; ++t) {
        if (m_pbPresent[t])
            RenewKeptTrackFileHead(m_SndFile[t].GetPath(), heads[t]);
    }
    *unwalked &= ~leftOut;
    for (int t = 0; t < kMaxTracks && m_nTakeStatus == 0; ++t) {
        if (m_pbPresent[t])
            m_nTakeStatus = status[t];
    }
    return true;
}

void QSoundPerform::HoldOutLeftOut(quint32 leftOut, quint32 copies, const tyFileState* walked)
{
    int kept = m_nFileCount;
    for (int t = 0; t < kMaxTracks; ++t)
        kept -= (leftOut >> t) & 1u;
    int first = -1;
    for (int t = 0; t < kMaxTracks && first < 0; ++t)
        first = m_pbPresent[t] && !(leftOut & (1u << t)) ? t : -1;
    const quint32 heldOut = first >= 0 && leftOut ? HeldOutSlots(leftOut & ~copies, kept, m_SndFile[first]) : 0;
    // None left: the load tells why each is none (one cut short, another
    // take's file beside it), never reading another take's in its place.
    QStringList none;
    for (int t = 0; t < kMaxTracks; ++t) {
        if (!(leftOut & (1u << t)))
            continue;
        if (kept == 0)
            none << QStringLiteral("%1 is left out of the take, as %2")
                        .arg(QFileInfo(m_SndFile[t].GetPath()).fileName(), NoMemberReason(m_SndFile[t]));
        // A file held out is named in the take's line. Another is one the
        // views list alone, by its head as the walk found it (a listing
        // joins one of the members' length by its length unread).
        if (heldOut & (1u << t))
            m_lHeldOut << tyHeldOut{t, QFileInfo(m_SndFile[t].GetPath()).fileName(), NoMemberReason(m_SndFile[t])};
        else if (walked[t].nLength >= 0)
            KeepTrackFileHead(m_SndFile[t].GetPath(), walked[t], HeadOfWalkedFile(m_SndFile[t]));
        LeaveOutMember(t);
    }
    if (!none.isEmpty())
        m_czUnreadFile = none.join(QStringLiteral("; "));
}

void QSoundPerform::LeaveOutMember(int track)
{
    m_SndFile[track].Close();
    m_SndFile[track].InitVariables();
    m_pbPresent[track] = false;
    m_pcSeparator[track] = 0;
    --m_nFileCount;
}

void QSoundPerform::ReportUnwalked(quint32 unwalked, bool report)
{
    for (int t = 0; t < kMaxTracks && unwalked; ++t) {
        QSoundFile& file = m_SndFile[t];
        if (!(unwalked & (1u << t)))
            continue;
        if (m_czUnreadFile.isEmpty())
            m_czUnreadFile = file.ReadFailureText();
        // Walked again to say it in a box: rare, and the walk alone knows
        // how to word the reason for the message channel.
        if (report && file.Open(0)) {
            file.ReadChunks(true, true);
            file.Close();
        }
    }
}

int QSoundPerform::MissingMembers() const
{
    if (m_bPolyTake || m_nFileCount <= 0)
        return 0;
    const int listed = m_SndFile[GetFirstTrack()].GetiXMLTotalFiles();
    return qMax(0, listed - m_nFileCount - int(m_lHeldOut.size()));
}

QStringList QSoundPerform::HeldOutMembers() const
{
    QStringList names;
    for (const tyHeldOut& held : m_lHeldOut)
        names << held.czName;
    return names;
}

void QSoundPerform::SettleMissingMembers()
{
    if (MissingMembers() == 0)
        return;
    for (int t = 0; t < kMaxTracks; ++t) {
        if (!m_pbPresent[t])
            continue;
        QSoundFile& file = m_SndFile[t];
        file.SetiXMLTotalFiles(t, m_nFileCount + int(m_lHeldOut.size()), false);
        for (int absent = 0; absent < kMaxTracks; ++absent) {
            const bool held = std::any_of(m_lHeldOut.begin(), m_lHeldOut.end(),
                                          [absent](const tyHeldOut& out) { return out.nSlot == absent; });
            if (!m_pbPresent[absent] && !held && m_czTrackActive[absent] == QLatin1String("YES"))
                file.SetiXMLOrvexTrackActive(absent, QStringLiteral("NO"));
        }
    }
}

QString QSoundPerform::ProblemLine(bool loaded, const QString& folder, const QString& name) const
{
    if (!loaded) {
        // The load's reason names the take by its path; the line has room
        // for its name.
        QString why = m_czLoadFailure;
        why.replace(QDir::toNativeSeparators(folder + name), name);
        // Import is pointed to only where it may read what the load could
        // not: no track files of ours, or files that disagree. A take being
        // written, saved or held by a write-protected card is no other
        // recorder's, and a file that is no sound file here (empty, RF64)
        // is none for the import either.
        bool importMayRead = m_bImportMayRead;
        if (why.isEmpty() && !m_czUnreadFile.isEmpty()) {
            why = QStringLiteral("%1 was not read: %2.").arg(name, m_czUnreadFile);
        } else if (why.isEmpty()) {
            why = QStringLiteral("%1 cannot be opened: no track files of it were found that this program reads.")
                      .arg(name);
            importMayRead = true;
        }
        return importMayRead ? why + QStringLiteral(" If another recorder made it, use Import (Ctrl+I).") : why;
    }
    switch (m_nTakeStatus) {
    case 0:
        return FamilyLine(name);
    case 1:
        if (!m_czUnreadFile.isEmpty())
            return QStringLiteral("%1 cannot be played or edited here: %2.").arg(name, m_czUnreadFile);
        return QStringLiteral("%1 is not a 16 or 24-bit PCM WAV take: it cannot be played or edited here.").arg(name);
    case 2:
    case 3: {
        // Import's own rule says what it makes of the sound, so that the
        // line and Import give one answer.
        const tySourceSound sound = SoundForImport(*this);
        if (sound.eKind == tySourceSound::Whole)
            return QStringLiteral("%1 was made by another recorder: to play and edit it, use Import (Ctrl+I).")
                .arg(name);
        if (sound.Importable())
            return QStringLiteral("%1 was made by another recorder. %2 To play and edit the sound it holds, use "
                                  "Import (Ctrl+I).").arg(name, sound.Reason());
        return QStringLiteral("%1 was made by another recorder. %2 It cannot be played, edited or imported.")
            .arg(name, sound.Reason());
    }
    case 8:
        if (m_bLeftSaveStands)
            return RecordTexts::LeftSaveTorn(name);
        return QStringLiteral("%1 was not closed correctly by the recorder (Wrong File #8): shown, but not for "
                              "playing or editing.").arg(name);
    default: {
        const QString damaged = QStringLiteral("%1 has damaged or missing recorder metadata (Wrong File #%2): shown, "
                                               "but not for playing or editing").arg(name).arg(m_nTakeStatus);
        const tySourceSound sound = SoundForImport(*this);
        if (sound.Importable())
            return damaged + QStringLiteral("; to bring it in, use Import (Ctrl+I).");
        return damaged + QStringLiteral(". %1 It cannot be imported.").arg(sound.Reason());
    }
    }
}

QString QSoundPerform::FamilyLine(const QString& name) const
{
    QStringList told;
    const int missing = MissingMembers();
    if (missing > 0)
        told << QStringLiteral("%1 is missing %2 of the %3 track files its metadata lists: a save lists only "
                               "those present.").arg(name).arg(missing).arg(missing + m_nFileCount + m_lHeldOut.size());
    for (const tyHeldOut& held : m_lHeldOut)
        told << QStringLiteral("%1: %2 is left out of the take, as %3, though its metadata lists it: it is never "
                               "written, a save keeps it in the track list and the take's files are not renamed.")
                    .arg(name, held.czName, held.czReason);
    QStringList namesakes;
    QStringList secondNames;
    for (const tyNamesake& namesake : m_lNamesakes) {
        if (namesake.bSameFile)
            secondNames << QStringLiteral("%1 is a second name of %2's file").arg(namesake.czName, namesake.czMember);
        else if (!namesake.bCompared)
            namesakes << QStringLiteral("%1 is being compared with %2").arg(namesake.czName, namesake.czMember);
        else
            namesakes << (namesake.bCopy ? QStringLiteral("%1 is a copy of %2").arg(namesake.czName, namesake.czMember)
                                         : QStringLiteral("%1 is another recording with this take's name")
                                               .arg(namesake.czName));
    }
    if (!namesakes.isEmpty())
        told << QStringLiteral("%1: %2; left out of the take, never written with it.")
                    .arg(name, namesakes.join(QStringLiteral(", ")));
    // One file under two names: a save writes it under either.
    if (!secondNames.isEmpty())
        told << QStringLiteral("%1: %2; a save of the take writes it too.")
                    .arg(name, secondNames.join(QStringLiteral(", ")));
    for (const QString& entry : m_lczNotRegular)
        told << QStringLiteral("%1: %2 is not a regular file: not read.").arg(name, entry);
    for (const QString& hidden : m_lczHiddenMembers)
        told << QStringLiteral("%1: its track file %2 stands under the hidden name %3, where an interrupted rename "
                               "left it, as another file took its name: give it a free name of the take to read it "
                               "with the take.").arg(name, RemovalAsideOwnerName(hidden), hidden);
    return told.join(QLatin1Char(' '));
}

QList<QPair<QString, QString>> QSoundPerform::UncomparedNamesakes() const
{
    QList<QPair<QString, QString>> pairs;
    for (const tyNamesake& namesake : m_lNamesakes) {
        if (!namesake.bCompared)
            pairs << qMakePair(m_czTakeFolder + namesake.czName, m_czTakeFolder + namesake.czMember);
    }
    return pairs;
}

bool QSoundPerform::TellNamesakeCompared(const QString& name, const QString& member, bool copy)
{
    for (tyNamesake& namesake : m_lNamesakes) {
        if (!namesake.bCompared && m_czTakeFolder + namesake.czName == name
            && m_czTakeFolder + namesake.czMember == member) {
            namesake.bCompared = true;
            namesake.bCopy = copy;
            return true;
        }
    }
    return false;
}

bool QSoundPerform::FilesAgree() const
{
    const QSoundFile* first = nullptr;
    for (int t = 0; t < kMaxTracks; ++t) {
        if (!m_pbPresent[t])
            continue;
        const QSoundFile& file = m_SndFile[t];
        // A mono family is made of one-channel files: files of more are
        // takes by themselves that only share a name stem.
        if (!m_bPolyTake && file.m_FmtChunk.nChannels > 1)
            return false;
        if (!first) {
            first = &file;
            continue;
        }
        if (file.GetLayout().nFileLength != first->GetLayout().nFileLength
            || file.m_FmtChunk.nSampleRate != first->m_FmtChunk.nSampleRate
            || file.m_FmtChunk.nBitsPerSample != first->m_FmtChunk.nBitsPerSample
            || file.m_FmtChunk.nChannels != first->m_FmtChunk.nChannels
            || file.m_DataChunk.nSize != first->m_DataChunk.nSize)
            return false;
    }
    return first != nullptr;
}

void QSoundPerform::ReadTakeValues()
{
    const QSoundFile& file = m_SndFile[GetFirstTrack()];
    const tyFmtChunk& fmt = file.m_FmtChunk;
    m_nChannels = short(fmt.nChannels);
    m_nBitsPerSample = short(fmt.nBitsPerSample);
    m_nSampleRate = int(fmt.nSampleRate);
    m_nTrueSize = file.m_MainChunk.nSize;
    m_nDataSize = file.m_DataChunk.nSize;
    m_nDurationSeconds = file.GetDurationSeconds();
    m_nTotalSamples = file.GetFrameCount();

    const QString speed = file.GetBextSpeed();
    m_nFrameRate = short(file.GetFrameRate());
    m_bPullDown = IsPullDownSpeed(speed);
    m_czFrameRateText = FrameRateText(speed);
    if (m_czFrameRateText.isEmpty() && file.HasFilmChunk())
        m_czFrameRateText = QString::fromLatin1(reinterpret_cast<const char*>(file.m_FilmChunk.pPayload) + 270,
                                                10).remove(QChar(0)).trimmed();
    m_nStartFrames = FramesOfSamples(file.GetBextTimeReference(), false);
    m_nDurationFrames = FramesOfSamples(m_nTotalSamples, false);

    m_czScene = file.GetBextScene();
    m_czTape = file.GetBextTape();
    m_czUbits = file.GetBextUbits();
    m_czBextNote = file.GetBextNote();
    m_czFileTag = file.GetBextTag();
    m_czOriginator = file.GetBextOriginator();
    m_czCreationDate = file.GetBextOriginationDate();
    m_czCreationTime = file.GetBextOriginationTime();
    // The panel's texts say only what the files tell: a format that was not
    // read (an RF64 file, an empty one) gives no rate, the size is the
    // files' lengths (a RIFF size may be 0 or 0xFFFFFFFF, or say more than
    // the file holds), and a text field holding binary bytes (as another
    // maker may write there) shows nothing.
    m_czCreatorText = PrintableOrNothing(m_czOriginator);
    m_czReferenceText = PrintableOrNothing(file.GetBextOriginatorReference());
    m_czSamplingText = m_nSampleRate > 0 && m_nBitsPerSample > 0
                           ? QStringLiteral("%1 Hz / %2 bits").arg(m_nSampleRate).arg(m_nBitsPerSample)
                           : QString();
    qint64 bytes = 0;
    for (int t = 0; t < kMaxTracks; ++t)
        bytes += m_pbPresent[t] ? m_SndFile[t].GetLayout().nFileLength : 0;
    m_czSizeText = SizeText(bytes);

    m_bIxmlRead = file.XmlOk();
    m_czTake = file.GetBextTake();
    if (m_bIxmlRead) {
        m_czIxmlScene = file.GetiXMLScene();
        m_czIxmlNote = file.GetiXMLNotes();
        m_czCircled = file.GetiXMLCircled();
        m_czRefLevel = file.GetiXMLOrvexRefLevel();
        m_nScTkTemplate = file.GetiXMLScTkTemplate();
        m_czAdvTemplateCompo = file.GetiXMLAdvancedScTkComposition();
        m_AdvTemplateFields = file.GetiXMLAdvancedScTkFields();
        m_czTakeIndicator = file.GetiXMLTakeIndicator();
        m_czTakeNumber = file.GetiXMLTakeNumber();
        if (!file.GetiXMLTake().trimmed().isEmpty())
            m_czTake = file.GetiXMLTake();
    }
    if (m_czTakeIndicator.isEmpty() && m_czTakeNumber.isEmpty()) {
        // No iXML take: the bext take line, whose first letter is the
        // indicator unless the template stores the number alone.
        const QString take = m_czTake.trimmed();
        if (!QSoundFile::IsTemplateWithoutIndicator(m_nScTkTemplate) && !take.isEmpty()
            && take.at(0).isLetter()) {
            m_czTakeIndicator = take.left(1);
            m_czTakeNumber = take.mid(1);
        } else {
            m_czTakeNumber = take;
        }
    }
    m_czTakePrefix = m_czTakeIndicator;
}

void QSoundPerform::ReadTrackValues()
{
    const int first = GetFirstTrack();
    const QSoundFile& maker = m_SndFile[first];
    // A poly channel's name is its track entry's, empty when cleared: the
    // maker block, which a poly save leaves as the recorder wrote it, names
    // only the tracks no channel carries.
    bool channelNamed[kMaxTracks] = {};
    // The maker block is indexed once per document, not searched per slot.
    const QVector<QSoundFile::tyOrvexTrack> makerTable = maker.GetiXMLOrvexTrackTable();
    if (m_bPolyTake) {
        const int channels = qMin<int>(m_nChannels, kMaxTracks);
        // The track list is walked once per take, not searched per channel.
        const QVector<QSoundFile::tyPolyTrack> polyTable = maker.GetiXMLPolyTrackTable(0, channels);
        // A repeated or impossible track index leaves no track unnamed and
        // no name edit unsaved: the name setter finds its entry by the same rule.
        const QVector<int> polyTracks = QSoundFile::PolyChannelTracks(polyTable, makerTable);
        for (int c = 0; c < channels; ++c) {
            const int t = polyTracks.at(c);
            if (t < 0 || t >= kMaxTracks)
                continue;
            m_pnOriginalTrackIndex[c] = t;
            m_pnChannelIndex[c] = t;
            m_czTrackName[t] = polyTable.at(c).czName.trimmed();
            channelNamed[t] = true;
            m_pnTrackMixRole[t] = MixRoleOfFunction(polyTable.at(c).czFunction);
        }
    }
    for (int t = 0; t < kMaxTracks; ++t) {
        const QSoundFile& own = m_bPolyTake || !m_pbPresent[t] ? maker : m_SndFile[t];
        // A member that adopted the first file's document has its maker block.
        const bool ownTable = &own != &maker && !own.IsDocumentAdopted();
        const QVector<QSoundFile::tyOrvexTrack> ownTableValues =
            ownTable ? own.GetiXMLOrvexTrackTable() : QVector<QSoundFile::tyOrvexTrack>();
        const QSoundFile::tyOrvexTrack& ownEntry = ownTable ? ownTableValues.at(t) : makerTable.at(t);
        m_czTrackActive[t] = ActiveText(makerTable.at(t).czActive);
        if (m_bPolyTake || m_pbPresent[t]) {
            m_czTrackInGrid[t] = ownEntry.czInGrid;
            m_czTrackPanPot[t] = ownEntry.czPanPot;
        }
        if (!m_bPolyTake && m_pbPresent[t]) {
            m_czTrackName[t] = own.GetiXMLMonoTrackName().trimmed();
            m_pnChannelIndex[t] = own.GetiXMLMonoTrackNumber();
            const QString type = own.GetBextType();
            m_pnTrackMixRole[t] = MixRoleOfType(type);
            m_pbTrackXY[t] = type == QLatin1String("xy");
        }
        if (m_czTrackName[t].isEmpty() && !channelNamed[t])
            m_czTrackName[t] = ownEntry.czName.trimmed();
        // A poly file without a maker block: a track is active when it has a name.
        if (m_bPolyTake && m_czTrackActive[t].trimmed().isEmpty())
            m_czTrackActive[t] = m_czTrackName[t].isEmpty() ? QStringLiteral("NO") : QStringLiteral("YES");
    }
    // Pair k is M/S when track 2k routes an M/S mid and track 2k+1 its side.
    bool msPair[kMaxPairs];
    for (int k = 0; k < kMaxPairs; ++k) {
        QMapping mid;
        mid.fromString(m_czTrackInGrid[2 * k]);
        bool isMid = false;
        mid.hasMs(&isMid, nullptr);
        // Most pairs are no M/S pair: their side's routing is not read.
        bool isSide = false;
        if (isMid) {
            QMapping side;
            side.fromString(m_czTrackInGrid[2 * k + 1]);
            side.hasMs(nullptr, &isSide);
        }
        msPair[k] = isMid && isSide;
    }
    // Stored as every writer of the tables MixerSnapshot copies stores them.
    std::lock_guard<std::mutex> lock(m_MixerLock);
    std::copy(msPair, msPair + kMaxPairs, m_pbMSPair);
}

void QSoundPerform::ReadSyncPoints()
{
    const QSoundFile& file = m_SndFile[GetFirstTrack()];
    file.GetiXMLSyncPoint(&m_nSlateCount, m_pnSlatePos, nullptr, nullptr, m_bPullDown,
                          &m_nMarkerCount, m_pnMarkerPos, nullptr, &m_bAutoSlate);
    // Slates and markers (so the reports can show them too), on the clock of
    // the start frames: start + offset is the timecode of the point.
    // A damaged sample rate can give more frames than 32 bits hold: saturate.
    auto offset = [this](unsigned int position) {
        return static_cast<unsigned int>(qMin<quint64>(FramesOfSamples(position, true), 0xFFFFFFFFu));
    };
    for (unsigned int i = 0; i < m_nSlateCount && i < unsigned(kMaxSyncPoints); ++i)
        m_pnSlateFrames[i] = offset(m_pnSlatePos[i]);
    for (unsigned int i = 0; i < m_nMarkerCount && i < unsigned(kMaxSyncPoints); ++i)
        m_pnMarkerFrames[i] = offset(m_pnMarkerPos[i]);
}

quint64 QSoundPerform::FramesOfSamples(quint64 samples, bool nearest) const
{
    if (m_nSampleRate <= 0 || m_nFrameRate <= 0)
        return 0;
    // frames = samples x fps x 1000 / (rate x 1000 or 1001), in one division
    // (two would lose a frame), split so that no product passes 64 bits.
    const quint64 perFrames = quint64(m_nFrameRate) * 1000;
    const quint64 perSamples = quint64(m_nSampleRate) * (m_bPullDown ? 1001 : 1000);
    const quint64 whole = samples / perSamples;
    const quint64 rest = samples % perSamples;
    return whole * perFrames + (rest * perFrames + (nearest ? perSamples / 2 : 0)) / perSamples;
}

void QSoundPerform::ReadWritability(int folderDescriptor)
{
    m_bReadOnlyFolder = !IsWritableFolder(m_czTakeFolder, folderDescriptor);
    QStringList names;
    for (int t = 0; t < kMaxTracks; ++t) {
        if (m_pbPresent[t])
            names << m_SndFile[t].GetPath().mid(m_czTakeFolder.size());
    }
    m_bReadOnlyFile = !AreWritableFiles(m_czTakeFolder, folderDescriptor, names);
}
