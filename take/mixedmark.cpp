// The mark of a take holding parts of two saves: read, written, cleared
// part by part, and carried along a rename of the take.
#include "take/mixedmark.h"

#include "foundation/fileutil.h"
#include "foundation/recordfiles.h"
#include "foundation/platform/diskcalls.h"
#include "foundation/platform/diskprobes.h"
#include "foundation/safeoutput.h"
#include "soundfile/headwindows.h"
#include "take/takesavejournal.h"

#include <QFile>
#include <QFileInfo>

#include <cerrno>
#include <fcntl.h>
#include <unistd.h>

namespace {

// The text of the mark: "nalvo-mixed", then each member's file name on a
// line of its own, then one line "<part>/<file name>" per part it holds
// mixed. A file name never holds '/': a reader of the earlier format, which
// took every other line for a file name, passes over the part lines and
// still tells the members.
constexpr qint64 kMostMarkBytes = 64 * 1024;
constexpr char kDescriptionLine[] = "bext";
constexpr char kIxmlLine[] = "ixml";
const QString kNoMember = QStringLiteral("?");

int PartOfLine(const QString& part)
{
    if (part == QLatin1String(kDescriptionLine))
        return kMixedDescription;
    if (part == QLatin1String(kIxmlLine))
        return kMixedIxml;
    return kMixedAll;   // a part this reader does not know: all of the member
}

void AddPart(tyMixedMark* mark, const QString& member, int part)
{
    for (auto& named : mark->lMembers) {
        if (named.first == member) {
            named.second |= part;
            return;
        }
    }
    mark->lMembers.append({member, part});
}

tyMixedMark ParseMark(const QByteArray& bytes)
{
    const QList<QByteArray> lines = bytes.split('\n');
    tyMixedMark mark;
    // One that does not read as a mark is still told: a take marked mixed
    // is never shown whole silently.
    for (int i = lines.value(0) == QByteArray(kMixedMarkHeader) ? 1 : 0; i < lines.size(); ++i) {
        const QString line = QString::fromUtf8(lines.at(i)).trimmed();
        const int slash = line.indexOf(QLatin1Char('/'));
        const QString member = line.mid(slash + 1);
        if (member.isEmpty() || member.contains(QLatin1Char('/')))
            continue;
        AddPart(&mark, member, slash < 0 ? 0 : PartOfLine(line.left(slash)));
    }
    // A member no part line follows: a mark of the earlier format.
    for (auto& named : mark.lMembers) {
        if (named.second == 0)
            named.second = kMixedAll;
    }
    if (mark.lMembers.isEmpty())
        mark.lMembers.append({kNoMember, kMixedAll});
    return mark;
}

QByteArray MarkText(const tyMixedMark& mark)
{
    QByteArray text = QByteArray(kMixedMarkHeader) + '\n';
    for (const auto& named : mark.lMembers)
        text += named.first.toUtf8() + '\n';
    for (const auto& named : mark.lMembers) {
        if (named.first == kNoMember)
            continue;
        if (named.second & kMixedDescription)
            text += QByteArray(kDescriptionLine) + '/' + named.first.toUtf8() + '\n';
        if (named.second & kMixedIxml)
            text += QByteArray(kIxmlLine) + '/' + named.first.toUtf8() + '\n';
    }
    return text;
}

// Written whole under a temporary name, synced, renamed over the one there.
int WriteMark(const QString& path, const tyMixedMark& mark)
{
    const QByteArray bytes = MarkText(mark);
    SafeOutput out(path, SafeOutput::Replace::Existing);
    errno = 0;
    if (!out.Begin(bytes.size()) || !out.Write(bytes.constData(), bytes.size()) || !out.Close(true) || !out.Commit())
        return errno ? errno : EIO;
    return 0;
}

} // namespace

QStringList tyMixedMark::Told() const
{
    QStringList told;
    for (const auto& named : lMembers) {
        if (named.second == kMixedDescription)
            told << QStringLiteral("%1 (its bext description)").arg(named.first);
        else if (named.second == kMixedIxml)
            told << QStringLiteral("%1 (its iXML)").arg(named.first);
        else
            told << named.first;
    }
    return told;
}

QString TakeMixedMarkPath(const QString& folder, const QString& baseName)
{
    return TakeSaveJournalPath(folder, baseName) + QStringLiteral(".mixed");
}

int ReadTakeMixedMark(const QString& folder, const QString& baseName, tyMixedMark* mark)
{
    mark->lMembers.clear();
    const int fd = ::open(QFile::encodeName(TakeMixedMarkPath(folder, baseName)).constData(),
                          O_RDONLY | O_CLOEXEC | O_NOFOLLOW | O_NONBLOCK);
    if (fd < 0)
        return errno;
    // Its length as the volume holds it now, not as the mount last saw it.
    const qint64 length = FreshFileLength(fd);
    int error = length < 0 ? (errno ? errno : EIO) : 0;
    QByteArray bytes(int(qBound<qint64>(0, length, kMostMarkBytes)), '\0');
    if (error == 0 && ReadFully(fd, 0, bytes.data(), bytes.size()) != bytes.size())
        error = errno ? errno : EIO;
    ::close(fd);
    if (error != 0)
        return error;
    *mark = ParseMark(bytes);
    return 0;
}

int MarkTakeMixed(const QString& folder, const QString& baseName, const QString& member, int part)
{
    tyMixedMark mark;
    const int read = ReadTakeMixedMark(folder, baseName, &mark);
    if (read != 0 && read != ENOENT)
        mark.lMembers = {{kNoMember, kMixedAll}};
    // A mark that names its members no longer needs "?".
    if (mark.lMembers.value(0).first == kNoMember && read == 0)
        mark.lMembers.clear();
    AddPart(&mark, member, part);
    return WriteMark(TakeMixedMarkPath(folder, baseName), mark);
}

int ClearTakeMixed(const QString& folder, const QString& baseName, const QHash<QString, int>& rewritten)
{
    tyMixedMark mark;
    const int read = ReadTakeMixedMark(folder, baseName, &mark);
    if (read == ENOENT)
        return 0;
    bool whole = !rewritten.isEmpty();
    for (const int parts : rewritten)
        whole = whole && parts == kMixedAll;
    // One that cannot be read now is left as it is, but to a save that
    // rewrote all of every member.
    if (read != 0)
        return whole ? RemoveTakeMixedMark(folder, baseName) : 0;
    tyMixedMark left;
    for (const auto& named : mark.lMembers) {
        const bool gone = named.first == kNoMember ? whole
                                                   : !QFileInfo::exists(folder + named.first)
                                                         || (named.second & ~rewritten.value(named.first)) == 0;
        if (!gone)
            left.lMembers.append({named.first, named.second & ~rewritten.value(named.first)});
    }
    if (left.lMembers == mark.lMembers)
        return 0;
    if (!left.lMembers.isEmpty())
        return WriteMark(TakeMixedMarkPath(folder, baseName), left);
    return RemoveTakeMixedMark(folder, baseName);
}

int CarryTakeMixedMark(const QString& folder, const QString& fromBase, const QString& toBase,
                       const QHash<QString, QString>& renamed, bool keepOld, bool* carried)
{
    *carried = false;
    tyMixedMark mark;
    const int read = ReadTakeMixedMark(folder, fromBase, &mark);
    if (read == ENOENT)
        return 0;
    if (read != 0)
        return read;
    tyMixedMark carriedMark;
    for (const auto& named : mark.lMembers) {
        if (keepOld)
            AddPart(&carriedMark, named.first, named.second);
        AddPart(&carriedMark, renamed.value(named.first, named.first), named.second);
    }
    *carried = true;
    return WriteMark(TakeMixedMarkPath(folder, toBase), carriedMark);
}

int RemoveTakeMixedMark(const QString& folder, const QString& baseName)
{
    if (DiskUnlink(QFile::encodeName(TakeMixedMarkPath(folder, baseName)).constData()) != 0)
        return errno == ENOENT ? 0 : errno;
    return SyncFolder(folder);
}
