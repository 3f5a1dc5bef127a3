// Take file names in the short and long forms, and the all-or-nothing move
// of a take's files.
#include "take/takerename.h"

#include "foundation/fileutil.h"
#include "foundation/folderlock.h"
#include "foundation/messageloging.h"
#include "foundation/naming.h"
#include "foundation/recordfiles.h"
#include "foundation/platform/diskcalls.h"
#include "foundation/platform/diskprobes.h"
#include "foundation/replacejournal.h"
#include "soundfile/soundfile.h"
#include "take/mixedmark.h"
#include "take/takefamily.h"

#include <QFileInfo>
#include <QHash>


namespace TakeNames {

namespace {

void BlankNonAlphanumeric(QString* text)
{
    for (QChar& c : *text)
        if (!c.isLetter() && !c.isDigit())
            c = QLatin1Char(' ');
}

QString Underscored(QString text, bool underscore)
{
    if (underscore) {
        text.replace(QLatin1Char('='), QLatin1Char('_'));
        text.replace(QLatin1Char(' '), QLatin1Char('_'));
    }
    return text;
}

QString TrackNN(int track) { return QString::fromLatin1(TrkIndexToNN(track)); }

}  // namespace

QString TakeTextFor(const QString& takePrefix, const QString& takeNumber, int nScTkTemplate)
{
    return QSoundFile::TakeText(takePrefix, takeNumber, nScTkTemplate);
}

QString LongMiddle(QString scene, QString takeText, int nScTkTemplate, bool underscore)
{
    BlankNonAlphanumeric(&scene);
    BlankNonAlphanumeric(&takeText);
    takeText = takeText.trimmed();
    const bool advanced = nScTkTemplate == 4 || nScTkTemplate == 5;
    const QString sceneField = advanced ? scene : QStringLiteral("%1").arg(scene.left(8), 8);
    const QString takeField = QStringLiteral("%1").arg(takeText.left(6), 6);
    return Underscored(QStringLiteral("==%1 %2==").arg(sceneField, takeField), underscore);
}

QString ShortPoly(const QString& folder, const QString& base6, const QString& suffix, const QString& ext)
{
    return folder + base6 + suffix + QLatin1Char('.') + ext;
}

QString ShortMono(const QString& folder, const QString& base6, QChar separator, int track, const QString& ext)
{
    return folder + base6 + separator + TrackNN(track) + QLatin1Char('.') + ext;
}

QString LongPoly(const QString& folder, const QString& base6, const QString& middle, const QString& suffix,
                 const QString& ext, bool underscore)
{
    return folder + base6 + Underscored(middle, underscore) + suffix.trimmed() + QLatin1Char('.') + ext.trimmed();
}

QString LongMono(const QString& folder, const QString& base6, const QString& middle, QChar separator, int track,
                 const QString& ext, bool underscore)
{
    return folder + base6 + Underscored(middle, underscore) + separator + TrackNN(track) + QLatin1Char('.') + ext;
}

}  // namespace TakeNames

namespace {

// The take's mark of two saves (see mixedmark.h) follows its files: written
// under the take's new name before the first move, so that the take keeps
// it under whichever name a killed rename leaves it, and taken from the
// name the take no longer has once every file stands under one name.
class MarkCarry
{
public:
    explicit MarkCarry(const QList<QPair<QString, QString>>& moves)
    {
        const QString extension = QFileInfo(moves.first().first).suffix();
        QString folder;
        SplitTakePath(TakePathOfFile(moves.first().first, extension), extension, &m_czFolder, &m_czFrom);
        SplitTakePath(TakePathOfFile(moves.first().second, extension), extension, &folder, &m_czTo);
        for (const auto& move : moves) {
            m_hRenamed.insert(QFileInfo(move.first).fileName(), QFileInfo(move.second).fileName());
            m_hBack.insert(QFileInfo(move.second).fileName(), QFileInfo(move.first).fileName());
        }
    }
    // 0, or the system's error number: then no file may move.
    int Before()
    {
        return CarryTakeMixedMark(m_czFolder, m_czFrom, m_czTo, m_hRenamed, m_czFrom == m_czTo, &m_bCarried);
    }
    // Every file under its new name (forward), or back under its old one.
    void After(bool forward)
    {
        if (!m_bCarried)
            return;
        bool carried = false;
        const int error = m_czFrom != m_czTo ? RemoveTakeMixedMark(m_czFolder, forward ? m_czFrom : m_czTo)
                                             : CarryTakeMixedMark(m_czFolder, m_czTo, m_czTo,
                                                                  forward ? m_hRenamed : m_hBack, false, &carried);
        // A mark that stays under the other name names a take that is not
        // there, or names a file twice: nothing is lost.
        if (error != 0)
            MyQDebug("TakeRenamer: the mark of two saves under %s stays (%s)",
                     qPrintable(forward ? m_czFrom : m_czTo), qPrintable(SystemErrorText(error)));
    }

private:
    QString m_czFolder;   // ends with "/"
    QString m_czFrom;     // the take's names, as its mark is named
    QString m_czTo;
    QHash<QString, QString> m_hRenamed;   // file names: old to new
    QHash<QString, QString> m_hBack;      // new to old
    bool m_bCarried = false;
};

} // namespace

void TakeRename::Add(const QString& from, const QString& to)
{
    if (from != to)
        m_ltMoves.append(qMakePair(from, to));
}

TakeRename::Result TakeRename::TakenOver(const QString& next)
{
    // The reader that took the record settles every file: forward, or
    // back where the record says the moves were being taken back.
    // Asked of the volume (NameOnVolume): a share may answer a look at a
    // name another computer moved from its cache (sshfs).
    int moved = 0, kept = 0;
    for (const auto& move : m_ltMoves) {
        const bool from = NameOnVolume(move.first), to = NameOnVolume(move.second);
        moved += to && !from;
        kept += from && !to;
    }
    const QString disk = moved == m_ltMoves.size()  ? QStringLiteral("Every file has its new name.")
                         : kept == m_ltMoves.size() ? QStringLiteral("Every file keeps its old name.")
                                                    : QStringLiteral("Check the take's files.");
    // A load of either name here follows the take to where it stands.
    if (moved == m_ltMoves.size() || kept == m_ltMoves.size()) {
        QStringList records, names;
        for (const auto& move : m_ltMoves) {
            records << ReplaceJournal::PathFor(move.first) << ReplaceJournal::PathFor(move.second);
            names << (kept ? move.first : move.second);
        }
        NoteRenamesSettled(records, names, kept > 0);
    }
    m_czOffender = next;
    m_czError = QStringLiteral("The files of this take were not renamed here: %1.\n%2")
                    .arg(RecordTexts::SettledElsewhere(), disk);
    return Result::Failed;
}

bool TakeRename::ClearFailedMove(const QPair<QString, QString>& move, int* moved)
{
    const auto named = [](const QString& path) { return QFileInfo::exists(path) && !IsHeldName(path); };
    bool cleared = true;
    if (named(move.second) && !QFileInfo::exists(move.first)) {
        // The file moved after all (its aside could not go): taken back with
        // the others.
        ++*moved;
    } else if (IsHeldName(move.second)) {
        // The empty holder of the held-name form.
        cleared = DiskUnlink(QFile::encodeName(move.second).constData()) == 0 || errno == ENOENT;
    } else if (named(move.first) && HoldsSameBytes(move.first, move.second)) {
        // The second name of a link whose old name could not be removed.
        cleared = RemoveSecondName(move.first, move.second) == 0;
    }
    for (const QString& aside : RemovalAsidesIn(QFileInfo(move.first).absolutePath())) {
        if (IsRemovalAsideOf(aside, move.first) || IsRemovalAsideOf(aside, move.second))
            cleared = false;   // the next load's: it knows where the file stands by then
    }
    return cleared;
}

TakeRename::Result TakeRename::Execute()
{
    m_czOffender.clear();
    m_czError.clear();
    if (m_ltMoves.isEmpty())
        return Result::Done;
    // The folder alone for the whole step: no load reads the family while it
    // stands under two names, no other write of the folder interleaves, and
    // the checks below still hold at the moves.
    const QString folder = QFileInfo(m_ltMoves.first().first).absolutePath();
    TakeFolderLock lock;
    if (!lock.Acquire(folder + QLatin1Char('/'), TakeFolderLock::Mode::Alone)) {
        m_czOffender = m_ltMoves.first().first;
        m_czError = RecordTexts::RenameBusy() + QStringLiteral("\nEvery file keeps its old name.");
        return Result::Failed;
    }
    // Every target and source first: a clash found half-way would leave a
    // family under two names.
    for (const auto& move : m_ltMoves) {
        if (!QFileInfo::exists(move.first)) {
            m_czOffender = move.first;
            m_czError = QStringLiteral("File %1 cannot be found.").arg(move.first);
            return Result::Missing;
        }
        if (QFileInfo::exists(move.second)) {
            m_czOffender = move.second;
            m_czError = QStringLiteral("File %1 already exists.").arg(move.second);
            return Result::Clash;
        }
    }
    MarkCarry mark(m_ltMoves);
    if (const int error = mark.Before()) {
        m_czOffender = m_ltMoves.first().first;
        m_czError = QStringLiteral("The take's mark of two saves cannot be given its new name (%1).\nEvery file "
                                   "keeps its old name.").arg(SystemErrorText(error));
        return Result::Failed;
    }
    // The record on the disk before the first move, under the take's old and
    // new names: a process killed between two moves leaves the family under
    // both, and the next load of either name moves the rest.
    std::vector<tyReplaceEntry> renames;
    QStringList records;
    for (const auto& move : m_ltMoves) {
        renames.push_back({move.first, move.second, QString()});
        records << ReplaceJournal::PathFor(move.first) << ReplaceJournal::PathFor(move.second);
    }
    records.removeDuplicates();
    ReplaceJournal record;
    if (!record.BeginRenames(records, renames)) {
        if (!record.RecordLeft())
            mark.After(false);
        m_czOffender = m_ltMoves.first().first;
        // A record left behind is the next load's: it may give every
        // file its new name then.
        m_czError = QStringLiteral("The files of this take cannot be renamed: %1\n%2")
                        .arg(RecordTexts::Sentence(record.ErrorText()),
                             record.RecordLeft() ? QStringLiteral("Every file has its old name until then.")
                                                 : QStringLiteral("Every file keeps its old name."));
        return Result::Failed;
    }
    // Through a hard link (no atomic rename on the volume) the old name goes
    // only while the record is still this writer's, asked at that removal
    // (see RenameNoReplace): a load elsewhere that took this rename for an
    // interrupted one settles the files as it found them.
    const auto stillOwn = [&record] { return record.IsOwn(); };
    int moved = 0;
    int failedWhy = 0;
    for (; moved < m_ltMoves.size(); ++moved) {
        ReplaceStep();
        const auto& move = m_ltMoves.at(moved);
        if (!record.IsOwn())
            return TakenOver(move.first);
        if (!IsWritablePath(move.first) || !IsWritablePath(folder)) {
            m_czOffender = move.first;
            m_czError = QStringLiteral("File %1 is write-protected.").arg(move.first);
            break;
        }
        if (!RenameNoReplace(move.first, move.second, stillOwn)) {
            failedWhy = errno;
            if (failedWhy == ESTALE)
                return TakenOver(move.first);
            m_czOffender = move.first;
            m_czError = QStringLiteral("File %1 cannot be renamed to %2.").arg(move.first, move.second);
            break;
        }
    }
    if (moved == m_ltMoves.size()) {
        ReplaceStep();
        // Done once the new names are on the disk; only then may the record go.
        const int error = SyncFolder(folder);
        if (error == 0) {
            // A record that stays (its name no longer this writer's, or its
            // removal refused) names files that all stand under their new
            // names: the next load settles it forward, to what is done here.
            if (const int ended = record.End(true))
                MyQDebug("TakeRenamer: the record of the renames stays (%s); the next load settles it",
                         qPrintable(SystemErrorText(ended)));
            mark.After(true);
            return Result::Done;
        }
        m_czOffender = m_ltMoves.first().second;
        m_czError = QStringLiteral("The new names of the take's files cannot be written to the disk: %1.")
                        .arg(SystemErrorText(error));
    }
    // Recorded first, so a process killed while it takes them back has the
    // next load take back the rest instead of finishing.
    const bool marked = record.MarkRollBack();
    // What a failed move left of its own (see RenameNoReplace); one that
    // stays keeps the record, which settles it.
    bool held = false;
    if (moved < m_ltMoves.size() && failedWhy != 0 && failedWhy != EEXIST)
        held = !ClearFailedMove(m_ltMoves.at(moved), &moved);
    QStringList stranded;
    for (int i = moved - 1; i >= 0; --i) {
        const auto& move = m_ltMoves.at(i);
        ReplaceStep();
        if (!record.IsOwn())
            return TakenOver(move.second);
        if (!RenameNoReplace(move.second, move.first, stillOwn)) {
            if (errno == ESTALE)
                return TakenOver(move.second);
            stranded << move.second;
        }
    }
    // Otherwise the record, marked, stays: the next load of either name
    // puts back what it can. One not marked (the card failed before that
    // too) moves every file to its new name at the next load.
    const bool ended = !held && stranded.isEmpty() && SyncFolder(folder) == 0 && record.End(true) == 0;
    if (ended)
        mark.After(false);
    if (stranded.isEmpty() && (ended || marked)) {
        m_czError += QStringLiteral("\nEvery file keeps its old name.");
        return Result::Failed;
    }
    if (!stranded.isEmpty())
        m_czError += QStringLiteral("\nThese files could not get their old names back:\n") + stranded.join('\n');
    m_czError += QLatin1Char('\n') + (marked ? QStringLiteral("The next load of the take gives them back.")
                                             : RecordTexts::ReplaceRecordStays(QStringLiteral("renames")));
    return Result::Failed;
}
