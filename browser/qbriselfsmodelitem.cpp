#include "browser/qbriselfsmodelitem.h"

#include "foundation/messageloging.h"
#include "foundation/platform/foldernames.h"
#include "foundation/safeoutput.h"
#include "foundation/takenaming.h"
#include "soundfile/keptheads.h"

#include <QDir>
#include <QFile>
#include <QHash>
#include <QMutex>
#include <QSet>

#include <algorithm>
#include <vector>

namespace {

const QStringList& daySuffixes()
{
    static const QStringList suffixes{QStringLiteral("OVD"), QStringLiteral("OVX"), QStringLiteral("OVN"),
                                      QStringLiteral("OVL"), QStringLiteral("OVM"), QStringLiteral("OVR")};
    return suffixes;
}

// The row kind of a listed day file; false when it names no take.
bool itemKindOf(TakeNaming::FileKind listed, tFSItemType* kind)
{
    switch (listed) {
    case TakeNaming::FileKind::Mono: *kind = FSITEM_MONO; return true;
    case TakeNaming::FileKind::Mix: *kind = FSITEM_MIX; return true;
    case TakeNaming::FileKind::Poly: *kind = FSITEM_POLY; return true;
    case TakeNaming::FileKind::None: break;
    }
    return false;
}

// How many threads judge a day's files ahead (the listing's among them).
const int kDayThreads = 3;
} // namespace

QBriselFSModelItem::QBriselFSModelItem(const tyBrowserEntry& entry, QBriselFSModelItem* parent)
    : m_pParent(parent), m_FileInfo(entry.info), m_bFolder(entry.bFolder), m_bFile(!entry.bFolder),
      m_czPath(entry.info.filePath())
{
    parent->m_lChildren.append(this);
}

QBriselFSModelItem::QBriselFSModelItem(const QFileInfo& info, QBriselFSModelItem* parent)
    : m_pParent(parent), m_FileInfo(info), m_bFolder(info.isDir()), m_bFile(info.isFile())
{
    if (!parent) {
        m_bPopulated = true;
        m_czPath = QString(QLatin1String(""));
        return;
    }
    m_czPath = info.filePath();
    parent->m_lChildren.append(this);
}

QBriselFSModelItem::~QBriselFSModelItem()
{
    qDeleteAll(m_lChildren);
}

QBriselFSModelItem* QBriselFSModelItem::childAt(int row) const
{
    if (row < 0 || row >= m_lChildren.size())
        return nullptr;
    return m_lChildren.at(row);
}

int QBriselFSModelItem::childNumber() const
{
    if (!m_pParent)
        return 0;
    return m_pParent->m_lChildren.indexOf(const_cast<QBriselFSModelItem*>(this));
}

bool QBriselFSModelItem::mayHaveChildren() const
{
    if (m_bPopulated)
        return !m_lChildren.isEmpty();
    return !m_bFile;
}

QString QBriselFSModelItem::fileName() const
{
    if (m_czPath == QLatin1String("/"))
        return QStringLiteral("/");
    QString name = m_FileInfo.fileName();
    if (name.isEmpty())
        name = m_FileInfo.absoluteFilePath();
    if (name.endsWith(QLatin1Char('\\')) || name.endsWith(QLatin1Char('/')))
        name.chop(1);
    return name;
}

void QBriselFSModelItem::SetTemplateInfo(int templateNumber, const QString& advancedComposition)
{
    m_nTemplate = templateNumber;
    m_czAdvTemplate = advancedComposition;
}

void QBriselFSModelItem::removeChild(QBriselFSModelItem* child)
{
    if (!child)
        return;
    m_lChildren.removeOne(child);
    delete child;
}

void QBriselFSModelItem::removeChildren(int first, int last)
{
    first = qMax(first, 0);
    last = qMin(last, m_lChildren.size() - 1);
    if (first > last)
        return;
    const QList<QBriselFSModelItem*> gone = m_lChildren.mid(first, last - first + 1);
    m_lChildren.erase(m_lChildren.begin() + first, m_lChildren.begin() + last + 1);
    qDeleteAll(gone);
}

void QBriselFSModelItem::moveLastChildTo(int row)
{
    if (m_lChildren.isEmpty())
        return;
    m_lChildren.move(m_lChildren.size() - 1, qBound(0, row, m_lChildren.size() - 1));
}

void QBriselFSModelItem::clearAll()
{
    qDeleteAll(m_lChildren);
    m_lChildren.clear();
    m_bPopulated = false;
    m_nType = FSITEM_PLAIN;
    m_czFileTag.clear();
    m_Listed = tyListedFile();
    m_czDay.clear();
    m_czProject.clear();
    m_czPreProject.clear();
}

void QBriselFSModelItem::fillItemInfo(const QFileInfo& info, QBriselFSModelItem* parent, const tyBrowserEntry* ahead)
{
    // A day's file judged ahead is a ".WAV" file (listFolder).
    const QString suffix = ahead && ahead->bJudged ? QStringLiteral("WAV") : info.suffix();
    const tFSItemType parentKind = parent ? parent->m_nType : FSITEM_PLAIN;

    if (suffix == QLatin1String("BR1")) {
        m_nType = FSITEM_PROJECT;
        m_czProject = info.fileName();
        m_czPreProject = parent ? parent->m_czPath : QString();
        return;
    }
    if (parentKind == FSITEM_DAY) {
        // Files only: a folder named like a track file is no take. The
        // complete base name: a take name may hold dots ("SC.1.2PX.WAV").
        if (suffix != QLatin1String("WAV") || m_bFolder)
            return;
        // Judged again, it may stand for no take now.
        m_nType = FSITEM_PLAIN;
        m_czFileTag.clear();
        if (ahead && ahead->bJudged) {
            m_Listed = ahead->Listed;
        } else {
            QString family;
            const TakeNaming::FileKind named = TakeNaming::ClassifyBaseName(info.completeBaseName(), &family);
            QString folder = parent->m_czPath;
            if (!folder.endsWith(QLatin1Char('/')))
                folder += QLatin1Char('/');
            tyListedFile later;
            m_Listed = JudgeDayFile(folder, info.fileName(), named, family, MemberToJudgeBy(parent, family, &later),
                                    kLengthUnasked, nullptr, parent->m_SlotRivals.contains(info.fileName()));
        }
        tFSItemType kind = FSITEM_PLAIN;
        if (!itemKindOf(m_Listed.eKind, &kind))
            return;
        m_nType = kind;
        m_czFileTag = m_Listed.czTake;
        m_czDay = parent->m_czDay;
        m_czProject = parent->m_czProject;
        m_czPreProject = parent->m_czPreProject;
        return;
    }
    if (parentKind == FSITEM_PROJECT && daySuffixes().contains(suffix)) {
        m_nType = FSITEM_DAY;
        m_czDay = info.fileName();
        m_czProject = parent->m_czProject;
        m_czPreProject = parent->m_czPreProject;
    }
}

bool QBriselFSModelItem::rejudgeByKeptHead(QBriselFSModelItem* parent, const QString& family)
{
    if (m_nType != FSITEM_MONO || (!family.isEmpty() && m_Listed.czFamily != family))
        return false;
    const int slash = m_czPath.lastIndexOf(QLatin1Char('/'));
    tyTrackFileHead head;
    // A file of the family listed alone, rewritten since, or taken as a
    // member by the load that kept its head anew: judged by what it holds.
    if (m_Listed.bAlone) {
        if (family.isEmpty()
            || (KeptTrackFileHead(m_czPath.left(slash + 1), m_czPath.mid(slash + 1), &head)
                && (!JoinsFamily(head.eKind) || ClaimOnSlot(head, family.left(6)) != SlotClaim::Member)))
            return false;
        fillItemInfo(m_FileInfo, parent);
        return !m_Listed.bAlone;
    }
    // A copy of a member tags another track than its name's.
    const int slot = TakeNaming::LoadTrackSlot(QStringView(m_czPath).mid(slash + 1).chopped(4));
    if (!KeptTrackFileHead(m_czPath.left(slash + 1), m_czPath.mid(slash + 1), &head)
        || (JoinsFamily(head.eKind) && !LeftOutBesideMembers(ClaimOnSlot(head, m_Listed.czFamily.left(6)))
            && (head.nTrack < 0 || head.nTrack == slot)))
        return false;
    fillItemInfo(m_FileInfo, parent);
    return m_Listed.bAlone;
}

bool QBriselFSModelItem::rejudgeInFamilies(QBriselFSModelItem* parent, const QSet<QString>& families)
{
    if (m_Listed.eKind == TakeNaming::FileKind::None || !families.contains(m_Listed.czFamily))
        return false;
    const QString take = m_Listed.czTake;
    fillItemInfo(m_FileInfo, parent);
    return m_Listed.czTake != take;
}

const tyListedFile* QBriselFSModelItem::EarlierOfFamily(const QBriselFSModelItem* parent, const QString& family) const
{
    if (!parent || family.isEmpty())
        return nullptr;
    // The names beginning with the family name stand together in name
    // order, right before this one.
    // A folder is filled in name order: this item is mostly the last child.
    for (int row = parent->m_lChildren.lastIndexOf(const_cast<QBriselFSModelItem*>(this)) - 1; row >= 0; --row) {
        const QBriselFSModelItem* sibling = parent->m_lChildren.at(row);
        if (!sibling->fileName().startsWith(family))
            break;
        // A file that stands alone is no member to judge by.
        if (sibling->m_Listed.czFamily == family && !sibling->m_Listed.bAlone)
            return &sibling->m_Listed;
    }
    return nullptr;
}

const tyListedFile* QBriselFSModelItem::MemberToJudgeBy(const QBriselFSModelItem* parent, const QString& family,
                                                         tyListedFile* later) const
{
    const tyListedFile* earlier = EarlierOfFamily(parent, family);
    if (!parent || family.isEmpty() || (earlier && earlier->bMember))
        return earlier;
    const int count = parent->m_lChildren.size();
    for (int row = parent->m_lChildren.lastIndexOf(const_cast<QBriselFSModelItem*>(this)) + 1; row < count; ++row) {
        const QBriselFSModelItem* sibling = parent->m_lChildren.at(row);
        if (!sibling->fileName().startsWith(family))
            break;
        if (sibling->m_Listed.czFamily == family && sibling->m_Listed.bMember) {
            *later = FirstMemberToJudgeBy(sibling->m_Listed);
            return later;
        }
    }
    return earlier;
}

QBriselFSModelItem* QBriselFSModelItem::matchPath(const QStringList& components, int start,
                                                  const QString& name, const FolderLister& lister)
{
    if (start < 0 || start >= components.size())
        return nullptr;
    if (!m_bPopulated) {
        if (!lister)
            return nullptr;
        lister(this);
    }
    const QString& wanted = components.at(start);
    for (QBriselFSModelItem* child : qAsConst(m_lChildren)) {
        if (child->fileName() != wanted)
            continue;
        if (start + 1 == components.size())
            return child;
        return child->matchPath(components, start + 1, name, lister);
    }
    return nullptr;
}

QSet<QString> QBriselFSModelItem::setSlotRivals(QSet<QString> rivals)
{
    QSet<QString> changed = m_SlotRivals;
    changed.subtract(rivals);
    for (const QString& rival : qAsConst(rivals)) {
        if (!m_SlotRivals.contains(rival))
            changed.insert(rival);
    }
    m_SlotRivals = std::move(rivals);
    return changed;
}

tyBrowserEntries QBriselFSModelItem::listFolder(const QString& path, int* otherCaseWav, bool dayFiles,
                                                QSet<QString>* slotRivals, QStringList* notRegular)
{
    QVector<tyDayEntry> named;
    QStringList unreachable;
    int otherCase = 0;
    // What a killed copy into the folder left goes as the folder is shown,
    // found among the names read here anyway.
    FolderSweep sweep(path);
    const bool read = VisitFolderEntries(path, [&](const char* bytes, FolderEntryKind kind) {
        sweep.Offer(bytes);
        // Hidden entries are not shown.
        if (bytes[0] == '.')
            return true;
        const QString name = QFile::decodeName(bytes);
        const bool folder = kind == FolderEntryKind::Folder;
        const bool wav = name.endsWith(QLatin1String(".WAV"));
        // Nothing but folders and files is shown; a ".WAV" name of
        // anything else is said in the day's line.
        if (kind == FolderEntryKind::Other && !wav)
            return true;
        // A name that is not UTF-8 decodes to another name (U+FFFD for its
        // stray bytes), which opens no file: left out, and said.
        const char* c = bytes;
        while (static_cast<unsigned char>(*c) < 0x80 && *c)
            ++c;
        if (*c && QFile::encodeName(name) != QByteArray(bytes)) {
            if (folder || QByteArray(bytes).endsWith(".WAV"))
                unreachable << ReadableEntryName(QByteArray(bytes));
            return true;
        }
        if (folder || wav) {
            tyDayEntry entry;
            entry.czName = name;
            entry.eKind = folder                             ? tyDayEntry::Kind::Folder
                          : kind == FolderEntryKind::File ? tyDayEntry::Kind::File
                                                          : tyDayEntry::Kind::Other;
            named.append(std::move(entry));
        } else if (name.endsWith(QLatin1String(".wav"), Qt::CaseInsensitive)) {
            ++otherCase;
        }
        return true;
    });
    const QString folder = path.endsWith(QLatin1Char('/')) ? path : path + QLatin1Char('/');
    // The rows' entries in name order: a folder named like a track file is
    // still a folder; a pipe or a link that leads nowhere is no entry to show.
    tyBrowserEntries entries;
    QVector<int> listed;   // each row's entry in the listing
    const auto build = [&](const QVector<tyDayEntry>& sorted) {
        entries.reserve(sorted.size());
        listed.reserve(sorted.size());
        for (int at = 0; at < sorted.size(); ++at) {
            const tyDayEntry& entry = sorted.at(at);
            if (entry.eKind == tyDayEntry::Kind::Other)
                continue;
            tyBrowserEntry row;
            row.info = QFileInfo(folder + entry.czName);
            row.bFolder = entry.eKind == tyDayEntry::Kind::Folder;
            entries.append(std::move(row));
            listed.append(at);
        }
    };
    tyDayListing listing;
    if (dayFiles) {
        // The day's files judged for their rows by the day's listing, the
        // rows built meanwhile.
        listing = ListDay(folder, std::move(named), kDayThreads, build);
        int kept = 0;
        for (int row = 0; row < entries.size(); ++row) {
            const tyDayEntry& entry = listing.entries.at(listed.at(row));
            if (entry.bNotRegular && !entries.at(row).bFolder)
                continue;   // no regular file by its length since the read
            tyBrowserEntry& shown = entries[kept++];
            if (kept - 1 != row)
                shown = std::move(entries[row]);
            shown.bJudged = entry.nJudged >= 0;
            if (shown.bJudged)
                shown.Listed = std::move(listing.judged[entry.nJudged]);
        }
        entries.resize(kept);
    } else {
        for (tyDayEntry& entry : named) {
            entry.bNotRegular = NotRegularByRead(entry);
            if (entry.bNotRegular)
                listing.lczNotRegular.append(entry.czName);
        }
        SortByName(&named);
        std::sort(listing.lczNotRegular.begin(), listing.lczNotRegular.end());
        build(named);
        if (slotRivals) {
            QStringList files;
            for (const tyDayEntry& entry : qAsConst(named)) {
                if (entry.eKind == tyDayEntry::Kind::File)
                    files.append(entry.czName);
            }
            listing.rivals = SlotRivalsInListing(folder, files);
        }
    }
    if (slotRivals)
        *slotRivals = std::move(listing.rivals);
    if (notRegular)
        *notRegular = std::move(listing.lczNotRegular);
    if (otherCaseWav)
        *otherCaseWav = otherCase;
    if (!unreachable.isEmpty()) {
        unreachable.sort();
        tellUnreachableNames(path, unreachable);
    }
    if (read)
        sweep.Finish();
    return entries;
}

void QBriselFSModelItem::judgeBeside(const QString& path, tyBrowserEntries* entries, const QStringList& names)
{
    const QVector<int> beside = EntriesJudgedBeside(
        entries->size(), [entries](int at) { return entries->at(at).info.fileName(); }, names);
    if (beside.isEmpty())
        return;
    QVector<tyDayEntry> read(beside.size());
    for (int k = 0; k < beside.size(); ++k) {
        const tyBrowserEntry& entry = entries->at(beside.at(k));
        read[k].czName = entry.info.fileName();
        read[k].eKind = entry.bFolder ? tyDayEntry::Kind::Folder : tyDayEntry::Kind::File;
    }
    const QString folder = path.endsWith(QLatin1Char('/')) ? path : path + QLatin1Char('/');
    tyDayListing listing = ListDay(folder, std::move(read), kDayThreads);
    // Both in name order.
    for (int k = 0; k < beside.size(); ++k) {
        const tyDayEntry& listed = listing.entries.at(k);
        tyBrowserEntry& entry = (*entries)[beside.at(k)];
        entry.bJudged = listed.nJudged >= 0;
        if (entry.bJudged)
            entry.Listed = std::move(listing.judged[listed.nJudged]);
    }
}

int QBriselFSModelItem::unlistedWavFiles() const
{
    UnlistedDayFiles unlisted;
    for (const QBriselFSModelItem* child : m_lChildren) {
        if (child->m_nType == FSITEM_MONO)
            unlisted.AddListed(child->m_Listed);
    }
    int count = m_nOtherCaseWav;
    for (const QBriselFSModelItem* child : m_lChildren) {
        if (child->m_nType == FSITEM_PLAIN && child->m_bFile
            && unlisted.Counts(child->fileName(), child->m_czPath, child->m_Listed))
            ++count;
    }
    return count;
}

void QBriselFSModelItem::countWavFilesInFolders(const tyBrowserEntries& entries)
{
    m_nWavInFolders = 0;
    if (m_nType != FSITEM_DAY)
        return;
    const QString day = m_czPath.endsWith(QLatin1Char('/')) ? m_czPath : m_czPath + QLatin1Char('/');
    for (const tyBrowserEntry& entry : entries) {
        if (!entry.bFolder || !WalkedForWavFiles(day, entry.info.fileName()))
            continue;
        VisitEntryNames(entry.info.filePath(), [this](const char* name) {
            if (name[0] != '.' && QLatin1String(name).endsWith(QLatin1String(".wav"), Qt::CaseInsensitive))
                ++m_nWavInFolders;
            return true;
        });
    }
}

void QBriselFSModelItem::tellUnreachableNames(const QString& path, const QStringList& names)
{
    // Such an entry reaches the listing under its decoded name, which names
    // no file: it could be neither played nor edited, nor kept whole by a
    // rename. It is left out, and the user told once per folder which
    // names to rename on a system that shows them.
    if (names.isEmpty())
        return;
    // Told again when a name not told before has come: the notice counts
    // and names all of them, as the user renames them all at once.
    static QMutex told;
    static QHash<QString, QSet<QString>> toldNames;
    {
        QMutexLocker lock(&told);
        QSet<QString>& known = toldNames[path];
        bool fresh = false;
        for (const QString& name : names)
            fresh |= !known.contains(name);
        if (!fresh)
            return;
        for (const QString& name : names)
            known.insert(name);
    }
    SendUserMessage(QStringLiteral("Browser"),
                    QStringLiteral("The folder \"%1\" holds %2 name(s) that are not valid UTF-8. Such files cannot "
                                   "be opened by their name here, so they are not listed:\n%3\nRename them on a "
                                   "system that shows them to use them.")
                        .arg(QDir::toNativeSeparators(path), QString::number(names.size()), names.join(QLatin1Char('\n'))));
}
