#ifndef NALVO_BROWSER_QBRISELFSFILTERPROXYMODEL_H
#define NALVO_BROWSER_QBRISELFSFILTERPROXYMODEL_H

#include <QSortFilterProxyModel>

// What the browser tree shows of the model: volumes, projects, days, mixes,
// polyphonic files and one row per monophonic take (every folder as well in
// full-browse mode), sorted by name in the user's locale.
class QBriselFSFilterProxyModel : public QSortFilterProxyModel
{
    Q_OBJECT
public:
    QBriselFSFilterProxyModel(QObject* parent, bool fullBrowse);
    ~QBriselFSFilterProxyModel() override;

    void SetFullBrowse(bool fullBrowse);

protected:
    bool filterAcceptsRow(int sourceRow, const QModelIndex& sourceParent) const override;
    bool lessThan(const QModelIndex& left, const QModelIndex& right) const override;

private:
    bool isLastTrackOfItsTake(int sourceRow, const QModelIndex& sourceParent) const;

    bool m_bFullBrowse = false;
};

#endif
