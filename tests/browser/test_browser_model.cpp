// The browser model over a generated volume: lazy listing, roles, lookups and
// re-reading, with the model tester watching every notification.
#include "browser/qbriselfsfilterproxymodel.h"
#include "browser/qbriselfsmodel.h"
#include "browser/qbriselfsmodelitem.h"
#include "foundation/messageloging.h"
#include "browsertestmedia.h"

#include <QAbstractItemModelTester>
#include <QMimeData>
#include <QTreeView>
#include <QtTest>

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <memory>

class TestBrowserModel : public QObject
{
    Q_OBJECT

    static QModelIndex volumeRow(QBriselFSModel& model, const QString& name)
    {
        for (int r = 0; r < model.rowCount(); ++r) {
            const QModelIndex i = model.index(r, 0);
            if (model.itemFromIndex(i)->fileName() == name)
                return i;
        }
        return QModelIndex();
    }
    static QStringList childNames(QBriselFSModel& model, const QModelIndex& parent)
    {
        QStringList names;
        for (int r = 0; r < model.rowCount(parent); ++r)
            names << model.itemFromIndex(model.index(r, 0, parent))->fileName();
        return names;
    }

private slots:
    void volumesAreTopLevelRows()
    {
        TestVolumesRoot root;
        root.makeFolder("CARD");
        root.makeFolder("SOUND.BR1");
        root.makeFolder(".hidden");
        QBriselFSModel model(false);
        QCOMPARE(model.rowCount(), 2);
        const QModelIndex card = volumeRow(model, "CARD");
        QVERIFY(card.isValid());
        QCOMPARE(card.data(FSItemTypeRole).toInt(), int(FSITEM_VOLUME));
        QCOMPARE(card.data().toString(), QString("CARD  (%1/CARD)").arg(root.path()));
        // A volume whose folder looks like a project is still a volume.
        QCOMPARE(volumeRow(model, "SOUND.BR1").data(FSItemTypeRole).toInt(), int(FSITEM_VOLUME));
        QVERIFY(!model.parent(card).isValid());
    }

    void lazyListingTakesFoldersAndUpperCaseWav()
    {
        TestVolumesRoot root;
        root.makeFile("CARD/A_01.WAV");
        root.makeFile("CARD/A_01.wav");
        root.makeFile("CARD/notes.txt");
        root.makeFolder("CARD/sub");
        root.makeFolder("CARD/.hidden");
        root.makeFolder("CARD/empty");
        // Links count as what they point to, as QDir counts them; a broken
        // link and a FIFO are no entries to show.
        const QByteArray links = QFile::encodeName(root.path()) + "/CARD/";
        QCOMPARE(::symlink("sub", links + "linkdir"), 0);
        QCOMPARE(::symlink("A_01.WAV", links + "link.WAV"), 0);
        QCOMPARE(::symlink("gone.WAV", links + "dead.WAV"), 0);
        QCOMPARE(::mkfifo(links + "pipe.WAV", 0600), 0);
        // Names that are not UTF-8 cannot be opened by their decoded text: left out, and said once.
        const QByteArray card8 = QFile::encodeName(root.path()) + "/CARD/";
        QVERIFY(::close(::open(card8 + "NU\xff" "001_01.WAV", O_CREAT | O_WRONLY, 0600)) == 0);
        QCOMPARE(::mkdir(card8 + "LA\xe9" "001", 0700), 0);
        MessageLoging logger;
        QSignalSpy messages(&logger, &MessageLoging::signal_message);
        QBriselFSModel model(false);
        QAbstractItemModelTester tester(&model, QAbstractItemModelTester::FailureReportingMode::QtTest);

        const QModelIndex card = volumeRow(model, "CARD");
        QCOMPARE(childNames(model, card), QStringList({"A_01.WAV", "empty", "link.WAV", "linkdir", "sub"}));
        QVERIFY(model.isDir(model.index(3, 0, card)) && !model.isDir(model.index(2, 0, card)));
        QCOMPARE(messages.size(), 1);
        QVERIFY(messages.first().at(1).toString().contains("LA\\xE9" "001\nNU\\xFF" "001_01.WAV"));
        QVERIFY(!model.canFetchMore(card));

        const QModelIndex empty = model.index(1, 0, card);
        QVERIFY(!model.canFetchMore(empty)); // the tester walked it already
        QCOMPARE(model.rowCount(empty), 0);
        QVERIFY(!model.hasChildren(empty));
        const QModelIndex file = model.index(0, 0, card);
        QVERIFY(!model.hasChildren(file));

        // A second such name in the listed folder: told with both counted.
        QVERIFY(::close(::open(card8 + "NU\xfe" "002_01.WAV", O_CREAT | O_WRONLY, 0600)) == 0);
        model.refreshItems(root.path() + "/CARD");
        QCOMPARE(messages.size(), 2);
        QVERIFY(messages.last().at(1).toString().contains("holds 3 name(s)"));
        model.refreshItems(root.path() + "/CARD");
        QCOMPARE(messages.size(), 2);

        QCOMPARE(model.columnCount(), 5);
        QCOMPARE(model.columnCount(card), 5);
        QCOMPARE(model.columnCount(model.index(0, 3)), 0);
        QCOMPARE(model.headerData(0, Qt::Horizontal).toString(), QString("Name"));
        QCOMPARE(model.headerData(4, Qt::Horizontal).toString(), QString("Owner"));
        QVERIFY(!model.headerData(5, Qt::Horizontal).isValid());
        QVERIFY(!model.headerData(0, Qt::Horizontal, Qt::ToolTipRole).isValid());
        QCOMPARE(model.index(0, 1, card).data(Qt::TextAlignmentRole).toInt(), 130);
        QCOMPARE(int(model.flags(file)), 47);
    }

    void unlistedFolderOffersToExpand()
    {
        TestVolumesRoot root;
        root.makeFile("CARD/P.BR1/x.WAV");
        QBriselFSModel model(false);
        const QModelIndex card = volumeRow(model, "CARD");
        QVERIFY(model.canFetchMore(card));
        QVERIFY(model.hasChildren(card));
        QCOMPARE(model.rowCount(card), 0);
        QVERIFY(!model.index(0, 0, card).isValid());
        QSignalSpy inserted(&model, &QAbstractItemModel::rowsInserted);
        model.fetchMore(card);
        QCOMPARE(inserted.count(), 1);
        QCOMPARE(model.rowCount(card), 1);
        QVERIFY(!model.canFetchMore(card));
    }

    void rolesOfProjectDayAndTake()
    {
        TestVolumesRoot root;
        const QString take = root.makeFile("CARD/SHOOT.BR1/2024-05-01.OVD/S12T4_01.WAV");
        QBriselFSModel model(false);
        const QModelIndex t = model.index(take, "S12T4");
        QVERIFY(t.isValid());
        const QString card = root.path() + "/CARD";
        QCOMPARE(t.data().toString(), QString("S12T4"));
        QCOMPARE(t.data(Qt::EditRole).toString(), QString("S12T4_01.WAV"));
        QCOMPARE(t.data(FSItemTypeRole).toInt(), int(FSITEM_MONO));
        QCOMPARE(t.data(FSFilePathRole).toString(), take);
        QCOMPARE(t.data(FSPreProjectRole).toString(), card);
        QCOMPARE(t.data(FSProjectRole).toString(), QString("SHOOT.BR1"));
        QCOMPARE(t.data(FSDayRole).toString(), QString("2024-05-01.OVD"));
        QCOMPARE(t.data(FSTakePathRole).toString(), card + "/SHOOT.BR1/2024-05-01.OVD/S12T4");
        QCOMPARE(t.data(FSTemplateRole).toInt(), -1);
        model.itemFromIndex(t)->SetTemplateInfo(2, "ADV");
        QCOMPARE(t.data(FSTemplateRole).toInt(), 2);
        QCOMPARE(t.data(FSAdvTemplateRole).toString(), QString("ADV"));

        const QModelIndex day = t.parent();
        QCOMPARE(day.data(FSItemTypeRole).toInt(), int(FSITEM_DAY));
        QVERIFY(!day.data(FSTakePathRole).isValid());
        QCOMPARE(day.data(FSProjectRole).toString(), QString("SHOOT.BR1"));
        QCOMPARE(day.parent().data(FSItemTypeRole).toInt(), int(FSITEM_PROJECT));
        QVERIFY(!model.index(0, 2, day).data(Qt::DecorationRole).isValid());
        QVERIFY(!t.data(Qt::ToolTipRole).isValid());

        std::unique_ptr<QMimeData> mime(model.mimeData({t, t}));
        QCOMPARE(mime->urls(), QList<QUrl>({QUrl::fromLocalFile(take), QUrl::fromLocalFile(take)}));
        QVERIFY(!model.dropMimeData(mime.get(), Qt::CopyAction, -1, -1, day));
        QVERIFY(QFile::exists(take));
    }

    void pathLookup()
    {
        TestVolumesRoot root;
        root.makeFolder("CARD/SHOOT.BR1/2024-05-01.OVD");
        root.makeFolder("OTHER");
        QBriselFSModel model(false);
        QAbstractItemModelTester tester(&model, QAbstractItemModelTester::FailureReportingMode::QtTest);
        const QString day = root.path() + "/CARD/SHOOT.BR1/2024-05-01.OVD";
        const QModelIndex i = model.index(day);
        QVERIFY(i.isValid());
        QCOMPARE(i.data(FSFilePathRole).toString(), day);
        QCOMPARE(model.index(day + "/", "").data(FSFilePathRole).toString(), day);
        QVERIFY(!model.index(root.path() + "/CARD/NOPE").isValid());
        QVERIFY(!model.index(root.path()).isValid());
        // Outside the volumes root the path starts at the boot volume, not shown here.
        QVERIFY(!model.index("/usr/share").isValid());
    }

    // Folders appear in name order whatever order they were written in.
    void listingIsSortedByName()
    {
        TestVolumesRoot root;
        const QStringList names{"T2_01.WAV", "T1MX.WAV", "T1_02.WAV", "T10_01.WAV", "T1_01.WAV", "A"};
        for (const QString& n : names)
            n == "A" ? root.makeFolder("CARD/P.BR1/D.OVD/" + n) : root.makeFile("CARD/P.BR1/D.OVD/" + n);
        QBriselFSModel model(false);
        const QModelIndex day = model.index(root.path() + "/CARD/P.BR1/D.OVD");
        model.fetchMore(day);
        QStringList sorted = names;
        sorted.sort();
        QCOMPARE(childNames(model, day), sorted);
    }

    // A view holds a day expanded with a take selected while its files are renamed.
    void refreshOfRenamedDayUnderAView()
    {
        TestVolumesRoot root;
        const QString dayPath = root.makeFolder("CARD/P.BR1/D.OVD");
        for (int t = 1; t <= 3; ++t)
            for (int trk = 1; trk <= 4; ++trk)
                root.makeFile(QString("CARD/P.BR1/D.OVD/T%1_%2.WAV").arg(t).arg(trk, 2, 10, QChar('0')));
        root.makeFolder("CARD/P.BR1/D.OVD/sub/deeper");

        QBriselFSModel model(false);
        QBriselFSFilterProxyModel proxy(nullptr, true);
        proxy.setSourceModel(&model);
        connect(&model, &QBriselFSModel::test_sig, &proxy, &QSortFilterProxyModel::invalidate);
        QAbstractItemModelTester modelTester(&model, QAbstractItemModelTester::FailureReportingMode::QtTest);
        QAbstractItemModelTester proxyTester(&proxy, QAbstractItemModelTester::FailureReportingMode::QtTest);
        QTreeView view;
        view.setModel(&proxy);
        view.setSortingEnabled(true);
        view.sortByColumn(0, Qt::AscendingOrder);
        view.resize(400, 400);
        view.show();

        const QPersistentModelIndex day = model.index(dayPath);
        QVERIFY(day.isValid());
        const QPersistentModelIndex proxyDay = proxy.mapFromSource(day);
        for (QModelIndex p = proxyDay; p.isValid(); p = p.parent())
            view.expand(p);
        QCOMPARE(proxy.rowCount(proxyDay), 4); // three takes and the sub-folder
        view.expand(proxy.index(3, 0, proxyDay));
        const QModelIndex take = proxy.index(1, 0, proxyDay);
        QCOMPARE(take.data().toString(), QString("T2"));
        view.selectionModel()->setCurrentIndex(take, QItemSelectionModel::ClearAndSelect);
        QPersistentModelIndex held(take);
        QPersistentModelIndex volume(proxy.mapFromSource(model.index(root.path() + "/CARD")));
        QTest::qWait(10);

        for (const QFileInfo& f : QDir(dayPath).entryInfoList({"*.WAV"}, QDir::Files)) {
            const QString renamed = f.fileName().replace(0, 1, "S12T");
            QVERIFY(QFile::rename(f.absoluteFilePath(), dayPath + "/" + renamed));
        }
        model.refreshItems(dayPath);
        QTest::qWait(10);
        view.grab(); // paints every visible row

        QVERIFY(!held.isValid());
        QVERIFY(volume.isValid());
        QCOMPARE(proxy.rowCount(proxyDay), 4);
        QStringList shown;
        for (int r = 0; r < proxy.rowCount(proxyDay); ++r)
            shown << proxy.index(r, 0, proxyDay).data().toString();
        QCOMPARE(shown, QStringList({"S12T1", "S12T2", "S12T3", "sub"}));
        QCOMPARE(model.data(day, FSItemTypeRole).toInt(), int(FSITEM_DAY));
        QVERIFY(model.index(dayPath + "/S12T2_04.WAV").isValid());
    }

    void refreshOfVolumeKeepsItsKind()
    {
        TestVolumesRoot root;
        const QString card = root.makeFolder("CARD");
        QBriselFSModel model(false);
        QAbstractItemModelTester tester(&model, QAbstractItemModelTester::FailureReportingMode::QtTest);
        QSignalSpy changed(&model, &QBriselFSModel::test_sig);
        model.refreshItems(card);
        QCOMPARE(changed.count(), 1);
        QCOMPARE(model.index(card).data(FSItemTypeRole).toInt(), int(FSITEM_VOLUME));
        model.refreshItems(card + "/missing");
        QCOMPARE(changed.count(), 1);
    }
};

QTEST_MAIN(TestBrowserModel)
#include "test_browser_model.moc"
