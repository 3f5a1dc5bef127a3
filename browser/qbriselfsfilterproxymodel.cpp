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

// The model lists a folder in name order, so a take's track files are
// adjacent among the mono rows: only the last of each run stands for the take.
bool QBriselFSFilterProxyModel::isLastTrackOfItsTake(int sourceRow, const QModelIndex& sourceParent) const
{
    const QAbstractItemModel* source = sourceModel();
    const int rows = source->rowCount(sourceParent);
    for (int next = sourceRow + 1; next < rows; ++next) {
        if (kindOf(source, next, sourceParent) != FSITEM_MONO)
            continue;
        const QVariant mine = source->index(sourceRow, 0, sourceParent).data(Qt::DisplayRole);
        const QVariant theirs = source->index(next, 0, sourceParent).data(Qt::DisplayRole);
        return mine != theirs;
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
