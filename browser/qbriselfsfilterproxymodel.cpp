#include "browser/qbriselfsfilterproxymodel.h"

#include "browser/fsitemtype.h"
#include "browser/qbriselfsmodel.h"
#include "browser/qbriselfsmodelitem.h"

QBriselFSFilterProxyModel::QBriselFSFilterProxyModel(QObject* parent, bool fullBrowse)
    : QSortFilterProxyModel(parent), m_bFullBrowse(fullBrowse)
{
    setDynamicSortFilter(true);
}

QBriselFSFilterProxyModel::~QBriselFSFilterProxyModel() = default;

void QBriselFSFilterProxyModel::SetFullBrowse(bool fullBrowse)
{
    m_bFullBrowse = fullBrowse;
    invalidate();
}

static int kindOf(const QAbstractItemModel* model, int row, const QModelIndex& parent)
{
    return model->index(row, 0, parent).data(FSItemTypeRole).toInt();
}

bool QBriselFSFilterProxyModel::filterAcceptsRow(int sourceRow, const QModelIndex& sourceParent) const
{
    const QAbstractItemModel* source = sourceModel();
    const QModelIndex index = source->index(sourceRow, 0, sourceParent);
    const int kind = index.data(FSItemTypeRole).toInt();
    const auto* fsModel = qobject_cast<const QBriselFSModel*>(source);
    if (fsModel && fsModel->isDir(index)) {
        return kind == FSITEM_VOLUME || m_bFullBrowse || kind == FSITEM_PROJECT || kind == FSITEM_DAY;
    }
    if (kind == FSITEM_MIX || kind == FSITEM_POLY)
        return true;
    if (kind != FSITEM_MONO)
        return false;
    return isLastTrackOfItsTake(sourceRow, sourceParent);
}

// The model lists a folder in name order, so a take's track files stand
// together among the mono rows but for the tracks of takes whose names
// begin with this take's name and a track ("A101_1_1.WAV", take "A101_1",
// sorts between "A101_1.WAV" and "A101_2.WAV" of take "A101"): only the
// last track of a take stands for it, and the search for a later one goes
// on past such longer names only.
bool QBriselFSFilterProxyModel::isLastTrackOfItsTake(int sourceRow, const QModelIndex& sourceParent) const
{
    const QAbstractItemModel* source = sourceModel();
    const int rows = source->rowCount(sourceParent);
    // The browser's own rows answer without a QVariant for each look: a day
    // holds thousands of them.
    const auto* fsModel = qobject_cast<const QBriselFSModel*>(source);
    const QBriselFSModelItem* folder = fsModel ? fsModel->itemFromIndex(sourceParent) : nullptr;
    const auto kindAt = [&](int row) {
        return folder ? int(folder->childAt(row)->type()) : kindOf(source, row, sourceParent);
    };
    // A take row shows its take's name.
    const auto takeAt = [&](int row) {
        return folder ? folder->childAt(row)->fileTag()
                      : source->index(row, 0, sourceParent).data(Qt::DisplayRole).toString();
    };
    const QString mine = takeAt(sourceRow);
    for (int next = sourceRow + 1; next < rows; ++next) {
        if (kindAt(next) != FSITEM_MONO)
            continue;
        const QString theirs = takeAt(next);
        if (theirs == mine)
            return false;
        if (!theirs.startsWith(mine))
            return true;
    }
    return true;
}

bool QBriselFSFilterProxyModel::lessThan(const QModelIndex& left, const QModelIndex& right) const
{
    const auto* l = static_cast<const QBriselFSModelItem*>(left.internalPointer());
    const auto* r = static_cast<const QBriselFSModelItem*>(right.internalPointer());
    if (!l || !r)
        return false;
    return QString::localeAwareCompare(l->fileName(), r->fileName()) < 0;
}
