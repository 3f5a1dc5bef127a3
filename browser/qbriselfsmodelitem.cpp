#include "browser/qbriselfsmodelitem.h"

#include "foundation/messageloging.h"
#include "foundation/platform/foldernames.h"
#include "foundation/safeoutput.h"
#include "foundation/takenaming.h"

#include <QDir>
#include <QHash>
#include <QMutex>
#include <QSet>

#include <algorithm>

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

} // namespace

QBriselFSModelItem::QBriselFSModelItem(const QFileInfo& info, QBriselFSModelItem* parent)
    : m_pParent(parent), m_FileInfo(info)
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
    return !m_FileInfo.isFile();
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

void QBriselFSModelItem::fillItemInfo(const QFileInfo& info, QBriselFSModelItem* parent)
{
    const QString suffix = info.suffix();
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
        if (suffix != QLatin1String("WAV") || info.isDir())
            return;
        QString family;
        TakeNaming::ClassifyBaseName(info.completeBaseName(), &family);
        // The day's own path: asked of each file, it is made anew from the
        // file's path thousands of times in a day.
        QString folder = parent->m_czPath;
        if (!folder.endsWith(QLatin1Char('/')))
            folder += QLatin1Char('/');
        m_Listed = ListedFileOf(folder, info.fileName(), EarlierOfFamily(parent, family));
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
        if (sibling->m_Listed.czFamily == family)
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

bool QBriselFSModelItem::isListedEntry(const QFileInfo& info)
{
    return info.isDir() || (info.isFile() && info.suffix() == QLatin1String("WAV"));
}

QFileInfoList QBriselFSModelItem::listFolder(const QString& path, int* otherCaseWav)
{
    const QFileInfoList all = QDir(path).entryInfoList(
        QDir::Dirs | QDir::Files | QDir::NoDotAndDotDot, QDir::Name);
    QFileInfoList taken;
    taken.reserve(all.size());
    int otherCase = 0;
    bool undecoded = false;
    for (const QFileInfo& info : all) {
        if (isListedEntry(info)) {
            taken.append(info);
            continue;
        }
        const QString name = info.fileName();
        // Bytes that are not UTF-8 decode to the replacement character.
        undecoded |= name.contains(QChar::ReplacementCharacter);
        if (name.endsWith(QLatin1String(".wav"), Qt::CaseInsensitive) && info.isFile())
            ++otherCase;
    }
    if (otherCaseWav)
        *otherCaseWav = otherCase;
    // Such a name names no entry once decoded, so it is never taken above;
    // only a folder holding one is read a second time, for its bytes.
    if (undecoded)
        tellUnreachableNames(path);
    // What a killed copy into the folder left goes as the folder is shown.
    FolderSweep::Visit(path);
    return taken;
}

int QBriselFSModelItem::unlistedWavFiles() const
{
    int count = m_nOtherCaseWav;
    for (const QBriselFSModelItem* child : m_lChildren) {
        if (child->m_nType == FSITEM_PLAIN && child->m_FileInfo.isFile())
            ++count;
    }
    return count;
}

void QBriselFSModelItem::tellUnreachableNames(const QString& path)
{
    // Such an entry reaches the listing under its decoded name, which names
    // no file: it could be neither played nor edited, nor kept whole by a
    // rename. It is left out, and the user told once per folder which
    // names to rename on a system that shows them.
    const QStringList names = UnreachableEntryNames(path, QByteArrayLiteral(".WAV"));
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
