#ifndef NALVO_BROWSER_QBRISELFSMODEL_H
#define NALVO_BROWSER_QBRISELFSMODEL_H

#include "browser/fsitemtype.h"
#include "browser/qbriselfsiconprovider.h"
#include "browser/qbriselfsmodelitem.h"

#include <QAbstractItemModel>
#include <QFileInfo>
#include <QFileSystemWatcher>
#include <QHash>
#include <QTimer>

class QBriselFSModelItem;
class QMediaThread;

// The browser tree: mounted volumes at the top, folders and the recorder's
// WAV files below, listed lazily and kept in step with mounts and with the
// folders the user has expanded. Every change reaches the views through
// begin/end insert and remove notifications.
class QBriselFSModel : public QAbstractItemModel
{
    Q_OBJECT
public:
    explicit QBriselFSModel(bool mode = false);
    ~QBriselFSModel() override;

    QModelIndex index(int row, int column, const QModelIndex& parent = QModelIndex()) const override;
    QModelIndex parent(const QModelIndex& child) const override;
    int rowCount(const QModelIndex& parent = QModelIndex()) const override;
    int columnCount(const QModelIndex& parent = QModelIndex()) const override;
    bool hasChildren(const QModelIndex& parent = QModelIndex()) const override;
    bool canFetchMore(const QModelIndex& parent) const override;
    void fetchMore(const QModelIndex& parent) override;
    QVariant data(const QModelIndex& index, int role = Qt::DisplayRole) const override;
    QVariant headerData(int section, Qt::Orientation orientation, int role = Qt::DisplayRole) const override;
    Qt::ItemFlags flags(const QModelIndex& index) const override;
    QStringList mimeTypes() const override;
    QMimeData* mimeData(const QModelIndexList& indexes) const override;
    Qt::DropActions supportedDropActions() const override;
    bool dropMimeData(const QMimeData* data, Qt::DropAction action, int row, int column,
                      const QModelIndex& parent) override;

    // Path lookups; folders on the way that were never listed are listed.
    // The take name is accepted for the callers' sake: the path alone decides.
    QModelIndex index(const QString& path);
    QModelIndex index(const QString& path, const QString& takeName);
    // Reads the folder at path again, from scratch.
    void refreshItems(QString path);
    // The rows of a listed day that stand for files a take's load found to
    // be no member of their family (by the heads it kept, KeptTrackFileHead),
    // listed with it by their length: each is listed alone now, the take
    // keeping its own files, and the later files of its family are judged
    // again (the member whose slot it held joins). family: only that
    // family's rows (empty: all). True when a row changed.
    bool rejudgeByKeptHeads(const QString& dayPath, const QString& family = QString());

    bool isDir(const QModelIndex& index) const;
    QFileInfo fileInfo(const QModelIndex& index) const;
    QBriselFSModelItem* itemFromIndex(const QModelIndex& index) const;
    QModelIndex indexFromItem(const QBriselFSModelItem* item) const;

    void fillItemInfo(const QFileInfo& info, QBriselFSModelItem* item, QBriselFSModelItem* parent);
    void populateItem(QBriselFSModelItem* item);
    void loadMimeTypes();

signals:
    // The tree changed in a way the filter proxy must see again.
    void test_sig();

public slots:
    void slot_OnVolumesChanged();
    void slot_DirChanged(QString path);
    void slot_FileChanged(QString path);
    void eventTimeout();
    void dirChangedProcess(QString path);
    void addWatcher(QBriselFSModelItem* item);
    void removeWatcher(QBriselFSModelItem* item);
    // Brings a listed folder that no watch follows (a day selected but
    // never opened) up to date with the disk: its rows and what it counts
    // as not listed. Read again unless its times say its names are those
    // of its listing.
    void catchUpUnwatched(QBriselFSModelItem* item);

private:
    QBriselFSModelItem* findListedItem(const QString& path) const;
    // Builds, classifies and announces children for entries, placed from row on.
    void insertChildren(QBriselFSModelItem* item, int row, tyBrowserEntries entries);
    void removeChildRows(QBriselFSModelItem* item, int first, int last);
    // A watched folder's update: the runs of rows gone and of entries come
    // (listFolder's), each run told to the views in one notification.
    struct tyRun {
        int nRow;      // where the run stands in the rows as they are when it is applied
        int nFirst;    // vanished rows: count; new entries: first listing index
        int nCount;
    };
    struct tyRowChanges {
        QVector<tyRun> removals;
        QVector<tyRun> insertions;
    };
    static tyRowChanges rowChangesTo(const QBriselFSModelItem* item, const tyBrowserEntries& listing);
    // True when a row of a take came or went.
    bool applyRowChanges(QBriselFSModelItem* item, const tyRowChanges& changes, const tyBrowserEntries& listing);
    // A day's rows, one for each entry of listing, take the entries'
    // judgements (judgeBeside); true when one stands for another take now.
    bool takeJudgements(QBriselFSModelItem* day, const tyBrowserEntries& listing);
    QString volumeLabel(const QBriselFSModelItem* item) const;
    QString takePath(const QBriselFSModelItem* item) const;

    QBriselFSModelItem* m_pRootItem = nullptr;
    mutable QBriselFSIconProvider m_Icons;
    QHash<QString, QString> m_mapVolumeNames;
    bool m_bMode = false;
    QTimer m_EventTimer;
    QString m_czPendingPath;
    QFileSystemWatcher m_Watcher;
    QMediaThread* m_pMediaThread = nullptr;
};

#endif
