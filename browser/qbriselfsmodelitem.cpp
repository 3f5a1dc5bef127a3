#include "browser/qbriselfsmodelitem.h"

#include "foundation/messageloging.h"
#include "foundation/platform/foldernames.h"
#include "foundation/safeoutput.h"
#include "foundation/spreadwork.h"
#include "foundation/takenaming.h"
#include "soundfile/headwindows.h"

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

// A ".WAV" file's name the load reads as a track of a take.
bool IsLoadTrackName(const QString& fileName)
{
    return fileName.size() > 4 && TakeNaming::LoadTrackSlot(QStringView(fileName).chopped(4)) >= 0;
}
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
    const QString suffix = ahead && ahead->bClassified ? QStringLiteral("WAV") : info.suffix();
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
        QString family;
        TakeNaming::FileKind named = TakeNaming::FileKind::None;
        if (ahead && ahead->bClassified) {
            family = ahead->czFamily;
            named = ahead->eNamed;
        } else {
            named = TakeNaming::ClassifyBaseName(info.completeBaseName(), &family);
        }
        // The day's own path: asked of each file, it is made anew from the
        // file's path thousands of times in a day.
        QString folder = ahead && ahead->bClassified ? ahead->czFolder : parent->m_czPath;
        if (!folder.endsWith(QLatin1Char('/')))
            folder += QLatin1Char('/');
        const bool rival = parent->m_SlotRivals.contains(info.fileName());
        m_Listed = ListedFileOf(folder, info.fileName(), named, family, EarlierOfFamily(parent, family),
                                ahead ? ahead->nLength : kLengthUnasked,
                                ahead && ahead->bHeadRead ? &ahead->Head : nullptr, rival);
        // A file the load reads as a track of its take ("T1_A") has no row:
        // whether it is a member is known by its head, before the take's
        // load as after it (unlistedWavFiles).
        if (named == TakeNaming::FileKind::None && IsLoadTrackName(info.fileName()))
            m_Listed.bAlone = !JoinsFamily(
                ahead && ahead->bHeadRead ? ahead->Head.eKind : ReadTrackFileHead(folder + info.fileName()).eKind);
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

bool QBriselFSModelItem::rejudgeNotedStranger(QBriselFSModelItem* parent, const QString& family)
{
    if (m_nType != FSITEM_MONO || m_Listed.bAlone || (!family.isEmpty() && m_Listed.czFamily != family)
        || !IsNotedStrangerInFamily(m_czPath))
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
                                                QSet<QString>* slotRivals)
{
    struct tyNamed {
        QString czName;
        bool bFolder;
        int nFile;     // a file's index among the files read
    };
    std::vector<tyNamed> named;
    QStringList unreachable;
    int otherCase = 0;
    // What a killed copy into the folder left goes as the folder is shown,
    // found among the names read here anyway.
    FolderSweep sweep(path);
    const bool read = VisitFolderEntries(path, [&](const char* bytes, FolderEntryKind kind) {
        sweep.Offer(bytes);
        // Hidden entries are not shown, nor anything but folders and files.
        if (bytes[0] == '.' || kind == FolderEntryKind::Other)
            return true;
        const QString name = QFile::decodeName(bytes);
        const bool folder = kind == FolderEntryKind::Folder;
        const bool wav = name.endsWith(QLatin1String(".WAV"));
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
        if (folder || wav)
            named.push_back({name, folder, -1});
        else if (name.endsWith(QLatin1String(".wav"), Qt::CaseInsensitive))
            ++otherCase;
        return true;
    });
    tyBrowserEntries entries;
    entries.reserve(int(named.size()));
    const QString folder = path.endsWith(QLatin1Char('/')) ? path : path + QLatin1Char('/');
    const auto sortAndBuild = [&] {
        std::sort(named.begin(), named.end(),
                  [](const tyNamed& a, const tyNamed& b) { return a.czName < b.czName; });
        for (const tyNamed& entry : named) {
            tyBrowserEntry listed;
            listed.info = QFileInfo(folder + entry.czName);
            listed.bFolder = entry.bFolder;
            entries.append(listed);
        }
    };
    if (dayFiles) {
        // The files' lengths are asked, in the order they were read.
        QStringList files;
        for (tyNamed& entry : named) {
            if (!entry.bFolder) {
                entry.nFile = files.size();
                files.append(entry.czName);
            }
        }
        // This thread sorts and classifies the names meanwhile, and finds
        // the files that hold no slot of their take.
        const QVector<qint64> lengths = RegularFileLengthsIn(path, files, kDayThreads, [&] {
            if (slotRivals)
                *slotRivals = SlotRivalsInListing(folder, files);
            sortAndBuild();
            for (int i = 0; i < entries.size(); ++i) {
                if (named[size_t(i)].nFile < 0)
                    continue;
                tyBrowserEntry& entry = entries[i];
                entry.bClassified = true;
                entry.czFolder = folder;
                // The complete base name: a take name may hold dots ("SC.1.2PX.WAV").
                const QStringView base = QStringView(named[size_t(i)].czName).chopped(4);
                entry.eNamed = TakeNaming::ClassifyBaseName(base, &entry.czFamily);
            }
        });
        for (int i = 0; i < entries.size(); ++i) {
            if (named[size_t(i)].nFile >= 0)
                entries[i].nLength = lengths.at(named[size_t(i)].nFile);
        }
        readFamilyHeadsAhead(path, &entries);
    } else {
        sortAndBuild();
        if (slotRivals) {
            QStringList files;
            for (const tyNamed& entry : named) {
                if (!entry.bFolder)
                    files.append(entry.czName);
            }
            *slotRivals = SlotRivalsInListing(folder, files);
        }
    }
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

void QBriselFSModelItem::readFamilyHeadsAhead(const QString& path, tyBrowserEntries* entries)
{
    // The first file of a family has no earlier member to join by its
    // length: ListedFileOf reads its head.
    // Nor has a track the load reads that no row shows ("T1_A").
    QVector<int> firsts;
    const QString* family = nullptr;
    for (int i = 0; i < entries->size(); ++i) {
        const tyBrowserEntry& entry = entries->at(i);
        if (!entry.bFolder && entry.eNamed == TakeNaming::FileKind::None && IsLoadTrackName(entry.info.fileName()))
            firsts.append(i);
        if (entry.bFolder || entry.eNamed != TakeNaming::FileKind::Mono)
            continue;
        if (!family || entry.czFamily != *family)
            firsts.append(i);
        family = &entry.czFamily;
    }
    const QString folder = path.endsWith(QLatin1Char('/')) ? path : path + QLatin1Char('/');
    tyBrowserEntry* const read = entries->data();   // detached here, once: each worker writes its own items
    SpreadWork(firsts.size(), kDayThreads, [&](int k, int) {
        tyBrowserEntry& entry = read[firsts.at(k)];
        entry.Head = ReadTrackFileHead(folder + entry.info.fileName());
        entry.bHeadRead = true;
        return true;
    });
}

int QBriselFSModelItem::unlistedWavFiles() const
{
    // A track file named by the loader's rule alone ("T1_A.WAV") has no row
    // but is read with its take when that take is listed.
    QSet<QString> families;
    for (const QBriselFSModelItem* child : m_lChildren) {
        if (child->m_nType == FSITEM_MONO && !child->m_Listed.bAlone)
            families.insert(child->m_Listed.czFamily);
    }
    int count = m_nOtherCaseWav;
    for (const QBriselFSModelItem* child : m_lChildren) {
        if (child->m_nType != FSITEM_PLAIN || !child->m_bFile)
            continue;
        const TakeNaming::tyTrackName track =
            TakeNaming::SplitTrackName(child->m_FileInfo.completeBaseName(), TakeNaming::Rule::Load);
        if (!track.bTrack || !families.contains(track.czRoot) || child->m_Listed.bAlone
            || IsNotedStrangerInFamily(child->m_czPath))
            ++count;
    }
    return count;
}

void QBriselFSModelItem::countWavFilesInFolders(const tyBrowserEntries& entries)
{
    m_nWavInFolders = 0;
    if (m_nType != FSITEM_DAY)
        return;
    for (const tyBrowserEntry& entry : entries) {
        if (!entry.bFolder)
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
