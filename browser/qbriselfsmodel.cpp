#include "browser/qbriselfsmodel.h"

#include "browser/qbriselfsmodelitem.h"
#include "browser/qmediathread.h"
#include "foundation/messageloging.h"
#include "foundation/platform/volumesource.h"

#include <QDir>
#include <QMimeData>
#include <QVector>
#include <QUrl>

namespace {
const int kColumnCount = 5;
const int kChangeDebounceMs = 20;

// The components of an absolute path as the tree names them: volume rows hang
// under the root and are named by their mount name, so the volumes root is
// dropped; any other path starts at the boot volume "/". Empty for the
// volumes root itself.
QStringList treePathComponents(const QString& path)
{
    QString rest;
    if (StripVolumesRoot(path, &rest))
        return rest.split(QLatin1Char('/'), Qt::SkipEmptyParts);
    QStringList parts = path.split(QLatin1Char('/'), Qt::SkipEmptyParts);
    parts.prepend(QStringLiteral("/"));
    return parts;
}
} // namespace

QBriselFSModel::QBriselFSModel(bool mode) : QAbstractItemModel(nullptr), m_bMode(mode)
{
    m_pRootItem = new QBriselFSModelItem(QFileInfo(QStringLiteral("/")), nullptr);
    MyQDebug("drive %d", QDir::drives().size());

    m_EventTimer.setInterval(kChangeDebounceMs);
    connect(&m_EventTimer, SIGNAL(timeout()), this, SLOT(eventTimeout()));
    connect(&m_Watcher, SIGNAL(directoryChanged(QString)), this, SLOT(slot_DirChanged(QString)));
    connect(&m_Watcher, SIGNAL(fileChanged(QString)), this, SLOT(slot_FileChanged(QString)));

    m_pMediaThread = new QMediaThread(this);
    connect(m_pMediaThread, SIGNAL(signal_VolumesChanged()), this, SLOT(slot_OnVolumesChanged()));
    slot_OnVolumesChanged();
}

QBriselFSModel::~QBriselFSModel()
{
    delete m_pRootItem;
    m_pRootItem = nullptr;
    delete m_pMediaThread;
}

QBriselFSModelItem* QBriselFSModel::itemFromIndex(const QModelIndex& index) const
{
    if (!index.isValid())
        return m_pRootItem;
    return static_cast<QBriselFSModelItem*>(index.internalPointer());
}

QModelIndex QBriselFSModel::indexFromItem(const QBriselFSModelItem* item) const
{
    if (!item || item == m_pRootItem)
        return QModelIndex();
    const int row = item->childNumber();
    if (row < 0)
        return QModelIndex();
    return createIndex(row, 0, const_cast<QBriselFSModelItem*>(item));
}

QModelIndex QBriselFSModel::index(int row, int column, const QModelIndex& parent) const
{
    if (column < 0 || column >= kColumnCount || (parent.isValid() && parent.column() != 0))
        return QModelIndex();
    QBriselFSModelItem* child = itemFromIndex(parent)->childAt(row);
    if (!child)
        return QModelIndex();
    return createIndex(row, column, child);
}

QModelIndex QBriselFSModel::parent(const QModelIndex& child) const
{
    if (!child.isValid())
        return QModelIndex();
    return indexFromItem(itemFromIndex(child)->parent());
}

int QBriselFSModel::rowCount(const QModelIndex& parent) const
{
    if (parent.column() > 0)
        return 0;
    return itemFromIndex(parent)->childCount();
}

int QBriselFSModel::columnCount(const QModelIndex& parent) const
{
    return parent.column() <= 0 ? kColumnCount : 0;
}

bool QBriselFSModel::hasChildren(const QModelIndex& parent) const
{
    if (parent.column() > 0)
        return false;
    return itemFromIndex(parent)->mayHaveChildren();
}

bool QBriselFSModel::canFetchMore(const QModelIndex& parent) const
{
    if (parent.column() > 0)
        return false;
    return !itemFromIndex(parent)->m_bPopulated;
}

void QBriselFSModel::fetchMore(const QModelIndex& parent)
{
    if (!parent.isValid() || parent.column() > 0)
        return;
    QBriselFSModelItem* item = itemFromIndex(parent);
    if (!item->m_bPopulated)
        populateItem(item);
}

void QBriselFSModel::populateItem(QBriselFSModelItem* item)
{
    item->m_bPopulated = true;
    item->setListedStamp(FolderStampOf(item->absoluteFilePath()));
    int otherCaseWav = 0;
    const bool day = item->type() == FSITEM_DAY;
    QSet<QString> rivals;
    QStringList notRegular;
    tyBrowserEntries entries = QBriselFSModelItem::listFolder(item->absoluteFilePath(), &otherCaseWav, day,
                                                              day ? &rivals : nullptr, &notRegular);
    item->setSlotRivals(std::move(rivals));
    item->setOtherCaseWav(otherCaseWav);
    item->setNotRegularWavEntries(std::move(notRegular));
    item->countWavFilesInFolders(entries);
    insertChildren(item, item->childCount(), std::move(entries));
}

void QBriselFSModel::insertChildren(QBriselFSModelItem* item, int row, tyBrowserEntries entries)
{
    if (entries.isEmpty())
        return;
    beginInsertRows(indexFromItem(item), row, row + entries.size() - 1);
    int at = row;
    for (const tyBrowserEntry& entry : qAsConst(entries)) {
        auto* child = new QBriselFSModelItem(entry, item);
        item->moveLastChildTo(at++);
        child->fillItemInfo(entry.info, item, &entry);
    }
    endInsertRows();
}

void QBriselFSModel::removeChildRows(QBriselFSModelItem* item, int first, int last)
{
    beginRemoveRows(indexFromItem(item), first, last);
    item->removeChildren(first, last);
    endRemoveRows();
}

void QBriselFSModel::fillItemInfo(const QFileInfo& info, QBriselFSModelItem* item, QBriselFSModelItem* parent)
{
    item->fillItemInfo(info, parent);
}

void QBriselFSModel::loadMimeTypes()
{
    m_Icons.loadMimeTypes();
}

bool QBriselFSModel::isDir(const QModelIndex& index) const
{
    if (!index.isValid())
        return false;
    return itemFromIndex(index)->isFolder();
}

QFileInfo QBriselFSModel::fileInfo(const QModelIndex& index) const
{
    if (!index.isValid())
        return QFileInfo();
    return itemFromIndex(index)->fileInfo();
}

QString QBriselFSModel::volumeLabel(const QBriselFSModelItem* item) const
{
    QString path = item->absoluteFilePath();
    if (path.endsWith(QLatin1Char('/')))
        path.chop(1);
    const QString name = m_mapVolumeNames.value(item->absoluteFilePath());
    if (path.isEmpty())
        return name;
    if (name.isEmpty())
        return path;
    return name + QStringLiteral("  (") + path + QLatin1Char(')');
}

QString QBriselFSModel::takePath(const QBriselFSModelItem* item) const
{
    return QDir::cleanPath(item->preProjectPath() + QLatin1Char('/') + item->projectName() + QLatin1Char('/')
                           + item->dayName() + QLatin1Char('/') + item->fileTag());
}

static bool isTakeKind(tFSItemType kind)
{
    return kind == FSITEM_MONO || kind == FSITEM_MIX || kind == FSITEM_POLY;
}

QVariant QBriselFSModel::data(const QModelIndex& index, int role) const
{
    if (!index.isValid())
        return QVariant();
    const QBriselFSModelItem* item = itemFromIndex(index);
    switch (role) {
    case Qt::DisplayRole:
        if (index.column() != 0)
            return QString();
        if (isTakeKind(item->type()))
            return item->fileTag();
        if (item->type() == FSITEM_VOLUME)
            return volumeLabel(item);
        return item->fileName();
    case Qt::DecorationRole:
        if (index.column() != 0)
            return QVariant();
        return m_Icons.iconFor(item);
    case Qt::EditRole:
    case Qt::StatusTipRole:
        return item->fileName();
    case Qt::TextAlignmentRole:
        if (index.column() == 1)
            return int(Qt::AlignRight | Qt::AlignVCenter);
        return QVariant();
    case FSItemTypeRole:
        return int(item->type());
    case FSFilePathRole:
        return item->absoluteFilePath();
    case FSPreProjectRole:
        return item->preProjectPath();
    case FSProjectRole:
        return item->projectName();
    case FSDayRole:
        return item->dayName();
    case FSTakePathRole:
        if (!isTakeKind(item->type()))
            return QVariant();
        return takePath(item);
    case FSTemplateRole:
        return item->ScTkTemplate();
    case FSAdvTemplateRole:
        return item->AdvTemplCompo();
    default:
        return QVariant();
    }
}

QVariant QBriselFSModel::headerData(int section, Qt::Orientation, int role) const
{
    if (role != Qt::DisplayRole)
        return QVariant();
    switch (section) {
    case 0: return tr("Name");
    case 1: return tr("Size");
    case 2: return tr("Type");
    case 3: return tr("Date Modified");
    case 4: return tr("Owner");
    default: return QVariant();
    }
}

Qt::ItemFlags QBriselFSModel::flags(const QModelIndex& index) const
{
    if (!index.isValid())
        return Qt::NoItemFlags;
    return Qt::ItemIsSelectable | Qt::ItemIsEditable | Qt::ItemIsDragEnabled | Qt::ItemIsDropEnabled
           | Qt::ItemIsEnabled;
}

QStringList QBriselFSModel::mimeTypes() const
{
    return {QStringLiteral("text/uri-list")};
}

QMimeData* QBriselFSModel::mimeData(const QModelIndexList& indexes) const
{
    QList<QUrl> urls;
    for (const QModelIndex& index : indexes) {
        if (index.isValid())
            urls.append(QUrl::fromLocalFile(itemFromIndex(index)->absoluteFilePath()));
    }
    auto* data = new QMimeData;
    data->setUrls(urls);
    return data;
}

Qt::DropActions QBriselFSModel::supportedDropActions() const
{
    return Qt::CopyAction | Qt::MoveAction;
}

bool QBriselFSModel::dropMimeData(const QMimeData*, Qt::DropAction, int, int, const QModelIndex&)
{
    // Drops are refused: the browser never moves media on disk.
    return false;
}

QModelIndex QBriselFSModel::index(const QString& path)
{
    return index(path, QString());
}

QModelIndex QBriselFSModel::index(const QString& path, const QString& takeName)
{
    QBriselFSModelItem* item = m_pRootItem->matchPath(
        treePathComponents(path), 0, takeName,
        [this](QBriselFSModelItem* folder) { populateItem(folder); });
    MyQDebug("QBriselFSModel::index %s ITEM? %p", qPrintable(path), static_cast<void*>(item));
    return indexFromItem(item);
}

QBriselFSModelItem* QBriselFSModel::findListedItem(const QString& path) const
{
    return m_pRootItem->matchPath(treePathComponents(path), 0, QString(), {});
}

void QBriselFSModel::refreshItems(QString path)
{
    QBriselFSModelItem* item = findListedItem(path);
    if (!item)
        return;
    if (item->childCount() > 0)
        removeChildRows(item, 0, item->childCount() - 1);
    const bool isVolume = item->type() == FSITEM_VOLUME;
    item->clearAll();
    fillItemInfo(item->fileInfo(), item, item->parent());
    if (isVolume)
        item->m_nType = FSITEM_VOLUME;
    // Listed before anything is announced: a view that hears of the change
    // must not find the folder unlisted and fetch it a second time.
    populateItem(item);
    const QModelIndex itemIndex = indexFromItem(item);
    emit dataChanged(itemIndex, itemIndex.siblingAtColumn(kColumnCount - 1));
    emit test_sig();
}

bool QBriselFSModel::rejudgeByKeptHeads(const QString& dayPath, const QString& family)
{
    QBriselFSModelItem* day = findListedItem(dayPath);
    if (!day || day->type() != FSITEM_DAY || !day->m_bPopulated)
        return false;
    bool changed = false;
    QSet<QString> families;   // of the files that stand alone now
    for (int row = 0; row < day->childCount(); ++row) {
        QBriselFSModelItem* child = day->childAt(row);
        if (child->rejudgeByKeptHead(day, family))
            families.insert(child->listedFamily());
        else if (families.isEmpty() || !child->rejudgeInFamilies(day, families))
            continue;
        changed = true;
        const QModelIndex at = indexFromItem(child);
        emit dataChanged(at, at.siblingAtColumn(kColumnCount - 1));
    }
    // Which row stands for the take changes with it: the proxy filters again.
    if (changed)
        emit test_sig();
    return changed;
}

void QBriselFSModel::slot_OnVolumesChanged()
{
    MyQDebug("slot_OnVolumesChanged");
    QFileInfoList fresh;
    m_mapVolumeNames.clear();
    for (const tVolumeInfo& v : VolumeSource::current().volumes()) {
        fresh.append(QFileInfo(v.rootPath));
        m_mapVolumeNames.insert(fresh.last().filePath(), v.displayName);
    }

    const QList<QBriselFSModelItem*> current = m_pRootItem->children();
    for (QBriselFSModelItem* child : current) {
        const int at = fresh.indexOf(child->fileInfo());
        if (at >= 0) {
            fresh.removeAt(at);
            continue;
        }
        removeChildRows(m_pRootItem, child->childNumber(), child->childNumber());
    }
    for (const QFileInfo& entry : qAsConst(fresh)) {
        const int row = m_pRootItem->childCount();
        beginInsertRows(QModelIndex(), row, row);
        auto* item = new QBriselFSModelItem(entry, m_pRootItem);
        fillItemInfo(entry, item, m_pRootItem);
        item->m_nType = FSITEM_VOLUME;
        endInsertRows();
    }
    emit test_sig();
}

void QBriselFSModel::addWatcher(QBriselFSModelItem* item)
{
    const QStringList watched = m_Watcher.directories();
    QStringList caughtUp;
    for (QBriselFSModelItem* it = item; it && it != m_pRootItem; it = it->parent()) {
        if (watched.contains(it->absoluteFilePath()))
            continue;
        m_Watcher.addPath(it->absoluteFilePath());
        // A folder listed before and not watched since (collapsed) may have
        // changed unseen: its rows are brought up to date now.
        if (it->m_bPopulated)
            caughtUp << it->absoluteFilePath();
    }
    // By path, after the loop: an update may remove rows of this chain.
    for (const QString& path : qAsConst(caughtUp))
        dirChangedProcess(path);
}

void QBriselFSModel::catchUpUnwatched(QBriselFSModelItem* item)
{
    const QString path = item ? item->absoluteFilePath() : QString();
    if (!item || !item->m_bPopulated || m_Watcher.directories().contains(path)
        || FolderNamesKept(item->listedStamp(), path))
        return;
    dirChangedProcess(path);
}

void QBriselFSModel::removeWatcher(QBriselFSModelItem* item)
{
    if (!item || item == m_pRootItem)
        return;
    if (m_Watcher.directories().contains(item->absoluteFilePath()))
        m_Watcher.removePath(item->absoluteFilePath());
}

void QBriselFSModel::slot_DirChanged(QString path)
{
    if (m_EventTimer.isActive()) {
        if (path == m_czPendingPath) {
            m_EventTimer.start();
            return;
        }
        m_EventTimer.stop();
        dirChangedProcess(m_czPendingPath);
    }
    m_czPendingPath = path;
    m_EventTimer.start();
}

void QBriselFSModel::eventTimeout()
{
    m_EventTimer.stop();
    dirChangedProcess(m_czPendingPath);
}

void QBriselFSModel::slot_FileChanged(QString path)
{
    MyQDebug("slot_FileChanged %s", qPrintable(path));
}

void QBriselFSModel::dirChangedProcess(QString path)
{
    MyQDebug("dirChangedProcess %s", qPrintable(path));
    // A folder never listed has no rows to bring up to date: it is read when first opened.
    QBriselFSModelItem* item = findListedItem(path);
    if (!item || !item->m_bPopulated)
        return;

    item->setListedStamp(FolderStampOf(item->absoluteFilePath()));
    int otherCaseWav = 0;
    const bool day = item->type() == FSITEM_DAY;
    QSet<QString> rivals;
    QStringList notRegular;
    tyBrowserEntries listing = QBriselFSModelItem::listFolder(item->absoluteFilePath(), &otherCaseWav, false,
                                                              day ? &rivals : nullptr, &notRegular);
    const QSet<QString> rivalsChanged = item->setSlotRivals(std::move(rivals));
    item->setOtherCaseWav(otherCaseWav);
    item->setNotRegularWavEntries(std::move(notRegular));
    item->countWavFilesInFolders(listing);

    const tyRowChanges changes = rowChangesTo(item, listing);
    // A day's files are judged beside those that came or went, and those
    // whose standing as a slot's rival changed: the rows already there as
    // a fresh listing would judge them now, the new ones as they come.
    QStringList changed(rivalsChanged.cbegin(), rivalsChanged.cend());
    if (day) {
        for (const tyRun& run : changes.removals) {
            for (int row = run.nRow; row < run.nRow + run.nCount; ++row)
                changed << item->childAt(row)->fileName();
        }
        for (const tyRun& run : changes.insertions) {
            for (int index = run.nFirst; index < run.nFirst + run.nCount; ++index)
                changed << listing.at(index).info.fileName();
        }
        QBriselFSModelItem::judgeBeside(item->absoluteFilePath(), &listing, changed);
    }
    bool classifiedRowChanged = applyRowChanges(item, changes, listing);
    if (!changed.isEmpty())
        classifiedRowChanged |= takeJudgements(item, listing);
    if (classifiedRowChanged)
        emit test_sig();
}

QBriselFSModel::tyRowChanges QBriselFSModel::rowChangesTo(const QBriselFSModelItem* item,
                                                          const tyBrowserEntries& listing)
{
    // The rows and the new listing are both in name order: one merge of the
    // two finds the vanished rows and the new entries, and each run of
    // either goes to the views in one notification.
    tyRowChanges changes;
    QVector<tyRun>& removals = changes.removals;
    QVector<tyRun>& insertions = changes.insertions;
    int row = 0;
    int index = 0;
    const int rows = item->childCount();
    while (row < rows || index < listing.size()) {
        const int order = row >= rows             ? 1
                          : index >= listing.size() ? -1
                                                    : item->childAt(row)->fileName().compare(listing.at(index).info.fileName());
        if (order == 0) {
            ++row;
            ++index;
        } else if (order < 0) {
            if (!removals.isEmpty() && removals.last().nRow + removals.last().nCount == row)
                ++removals.last().nCount;
            else
                removals.append({row, 0, 1});
            ++row;
        } else {
            // Inserted before the row the merge stands at, in the rows as
            // they are after the removals.
            if (!insertions.isEmpty() && insertions.last().nRow == row
                && insertions.last().nFirst + insertions.last().nCount == index)
                ++insertions.last().nCount;
            else
                insertions.append({row, index, 1});
            ++index;
        }
    }
    return changes;
}

bool QBriselFSModel::applyRowChanges(QBriselFSModelItem* item, const tyRowChanges& changes,
                                     const tyBrowserEntries& listing)
{
    const QVector<tyRun>& removals = changes.removals;
    bool classifiedRowChanged = false;
    for (int r = removals.size() - 1; r >= 0; --r) {
        const tyRun& run = removals.at(r);
        for (int k = run.nRow; k < run.nRow + run.nCount; ++k)
            classifiedRowChanged |= item->childAt(k)->type() != FSITEM_PLAIN;
        removeChildRows(item, run.nRow, run.nRow + run.nCount - 1);
    }
    // Rows removed before an insertion point move it up; earlier insertions move it down.
    int removedBefore = 0;
    int removal = 0;
    int inserted = 0;
    for (const tyRun& run : changes.insertions) {
        while (removal < removals.size() && removals.at(removal).nRow + removals.at(removal).nCount <= run.nRow) {
            removedBefore += removals.at(removal).nCount;
            ++removal;
        }
        // A run of removals may straddle the insertion point.
        const int straddling = removal < removals.size() && removals.at(removal).nRow < run.nRow
                                   ? run.nRow - removals.at(removal).nRow
                                   : 0;
        const int at = run.nRow - removedBefore - straddling + inserted;
        insertChildren(item, at, listing.mid(run.nFirst, run.nCount));
        for (int k = at; k < at + run.nCount; ++k)
            classifiedRowChanged |= item->childAt(k)->type() != FSITEM_PLAIN;
        inserted += run.nCount;
    }
    return classifiedRowChanged;
}

bool QBriselFSModel::takeJudgements(QBriselFSModelItem* day, const tyBrowserEntries& listing)
{
    // The rows stand for the listing's entries one for one now.
    bool changed = false;
    for (int row = 0; row < listing.size() && row < day->childCount(); ++row) {
        const tyBrowserEntry& entry = listing.at(row);
        QBriselFSModelItem* child = day->childAt(row);
        if (!entry.bJudged || child->fileName() != entry.info.fileName())
            continue;
        const tFSItemType type = child->type();
        const QString tag = child->fileTag();
        child->fillItemInfo(child->fileInfo(), day, &entry);
        if (child->type() == type && child->fileTag() == tag)
            continue;
        changed = true;
        const QModelIndex at = indexFromItem(child);
        emit dataChanged(at, at.siblingAtColumn(kColumnCount - 1));
    }
    return changed;
}
