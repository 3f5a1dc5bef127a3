// The model following the disk: volumes that come and go, and changes inside
// watched folders, with the model tester checking every notification.
#include "browser/qbriselfsmodel.h"
#include "browser/qbriselfsmodelitem.h"
#include "browsertestmedia.h"
#include "tests/support/fixturevariants.h"
#include "tests/support/fixturewriter.h"
#include "tests/support/riffbytes.h"

#include <QAbstractItemModelTester>
#include <QElapsedTimer>
#include <QtTest>

class TestBrowserWatch : public QObject
{
    Q_OBJECT

    static QModelIndex volumeRow(QBriselFSModel& model, const QString& name)
    {
        for (int r = 0; r < model.rowCount(); ++r) {
            if (model.itemFromIndex(model.index(r, 0))->fileName() == name)
                return model.index(r, 0);
        }
        return QModelIndex();
    }

private slots:
    void volumeFolderComesAndGoes()
    {
        TestVolumesRoot root;
        root.makeFolder("CARD/SHOOT.BR1/2024-05-01.OVD");
        root.makeFolder("SPARE");
        QBriselFSModel model(false);
        QAbstractItemModelTester tester(&model, QAbstractItemModelTester::FailureReportingMode::QtTest);
        const QPersistentModelIndex card = volumeRow(model, "CARD");
        const QPersistentModelIndex day = model.index(root.path() + "/CARD/SHOOT.BR1/2024-05-01.OVD");
        QVERIFY(day.isValid());
        const int before = model.rowCount();

        QElapsedTimer clock;
        clock.start();
        root.makeFolder("NEWCARD");
        QTRY_COMPARE_WITH_TIMEOUT(model.rowCount(), before + 1, 1500);
        const QModelIndex added = model.index(before, 0);
        QCOMPARE(model.itemFromIndex(added)->fileName(), QString("NEWCARD"));
        QCOMPARE(added.data(FSItemTypeRole).toInt(), int(FSITEM_VOLUME));

        QVERIFY(QDir(root.path() + "/SPARE").removeRecursively());
        QTRY_COMPARE_WITH_TIMEOUT(model.rowCount(), before, 1500);
        QVERIFY(!volumeRow(model, "SPARE").isValid());
        QVERIFY(card.isValid() && day.isValid());
        QCOMPARE(model.itemFromIndex(card)->fileName(), QString("CARD"));
        QCOMPARE(day.data(FSItemTypeRole).toInt(), int(FSITEM_DAY));
        QCOMPARE(day.parent().parent(), QModelIndex(card));
    }

    // A day longer than one run of the lengths asked beside the listing:
    // each row is judged by its own file's length and head wherever it
    // stands, another maker's file of another length alone, one of this
    // recorder's of the members' length a row of its take.
    void longDayJudgedFileByFile()
    {
        TestVolumesRoot root;
        const QString day = fixture::MakeDay(
            fixture::MakeProject(fixture::MakeVolume(root.path(), "CARD"), "SHOOT"), QDate(2024, 5, 1));
        QVERIFY(fixture::WriteCopiedTakes(day, "BR", 60, 4));
        fixture::ForeignSpec spec;
        spec.channels = 1;
        spec.bext = true;
        const QStringList strangers{"BR0000_05", "BR0007_05", "BR0041_05", "BR0059_05"};
        for (const QString& stranger : strangers)
            QVERIFY(fixture::WriteBytes(day + "/" + stranger + ".WAV", fixture::BuildForeignFile(spec)));
        QVERIFY(QFile::copy(day + "/BR0030_01.WAV", day + "/BR0030_05.WAV"));

        QBriselFSModel model(false);
        const QModelIndex dayIndex = model.index(day);
        model.fetchMore(dayIndex);
        QCOMPARE(model.rowCount(dayIndex), 60 * 4 + strangers.size() + 1);
        for (int row = 0; row < model.rowCount(dayIndex); ++row) {
            const QBriselFSModelItem* item = model.itemFromIndex(model.index(row, 0, dayIndex));
            const QString base = QFileInfo(item->fileName()).completeBaseName();
            QCOMPARE(item->fileTag(), strangers.contains(base) ? base : base.left(6));
        }
    }

    void takeFileAddedToWatchedDay()
    {
        TestVolumesRoot root;
        const QString day = fixture::MakeDay(
            fixture::MakeProject(fixture::MakeVolume(root.path(), "CARD"), "SHOOT"), QDate(2024, 5, 1));
        QVERIFY(!fixture::WriteTake(day, fixture::MonoTake("AAA001", {0, 1})).files.isEmpty());
        QBriselFSModel model(false);
        QAbstractItemModelTester tester(&model, QAbstractItemModelTester::FailureReportingMode::QtTest);
        const QPersistentModelIndex dayIndex = model.index(day);
        model.fetchMore(dayIndex);
        QCOMPARE(model.rowCount(dayIndex), 2);
        model.addWatcher(model.itemFromIndex(dayIndex));
        QSignalSpy changed(&model, &QBriselFSModel::test_sig);

        // A take written after the folder was listed shows up in name order.
        QVERIFY(!fixture::WriteTake(day, fixture::MonoTake("AAA000", {0})).files.isEmpty());
        QTRY_COMPARE_WITH_TIMEOUT(model.rowCount(dayIndex), 3, 1500);
        const QModelIndex first = model.index(0, 0, dayIndex);
        QCOMPARE(first.data().toString(), QString("AAA000"));
        QCOMPARE(first.data(FSItemTypeRole).toInt(), int(FSITEM_MONO));
        QVERIFY(changed.count() >= 1);

        // Text files are not listed; a plain folder is, without a filter refresh.
        changed.clear();
        root.makeFile("CARD/SHOOT.BR1/2024-05-01.OVD/notes.txt");
        root.makeFolder("CARD/SHOOT.BR1/2024-05-01.OVD/extra");
        QTRY_COMPARE_WITH_TIMEOUT(model.rowCount(dayIndex), 4, 1500);
        QTest::qWait(60);
        QCOMPARE(model.rowCount(dayIndex), 4);
        QCOMPARE(changed.count(), 0);

        // A take that goes away takes its row with it.
        QVERIFY(QFile::remove(day + "/AAA000_01.WAV"));
        QTRY_COMPARE_WITH_TIMEOUT(model.rowCount(dayIndex), 3, 1500);
        QTRY_VERIFY(changed.count() >= 1);
    }

    // Expanding a day watches its ancestors up to its volume; collapsing it
    // stops watching the day alone.
    void watchingFollowsExpansion()
    {
        TestVolumesRoot root;
        const QString dayPath = root.makeFolder("CARD/SHOOT.BR1/D.OVD");
        QBriselFSModel model(false);
        QAbstractItemModelTester tester(&model, QAbstractItemModelTester::FailureReportingMode::QtTest);
        const QPersistentModelIndex day = model.index(dayPath);
        model.fetchMore(day);
        model.addWatcher(model.itemFromIndex(day));
        const QPersistentModelIndex card = volumeRow(model, "CARD");

        root.makeFolder("CARD/NEW.BR1");
        QTRY_COMPARE_WITH_TIMEOUT(model.rowCount(card), 2, 1500);

        model.removeWatcher(model.itemFromIndex(day));
        root.makeFile("CARD/SHOOT.BR1/D.OVD/T1_01.WAV");
        QTest::qWait(200);
        QCOMPARE(model.rowCount(day), 0);
        root.makeFolder("CARD/OTHER.BR1");
        QTRY_COMPARE_WITH_TIMEOUT(model.rowCount(card), 3, 1500);
        // Watched again, it catches up with what changed unwatched.
        model.addWatcher(model.itemFromIndex(day));
        QCOMPARE(model.rowCount(day), 1);
    }

    // A change notice for a folder that was never listed must not list it.
    void changeInUnlistedFolderIsSkipped()
    {
        TestVolumesRoot root;
        const QString project = root.makeFolder("CARD/SHOOT.BR1");
        root.makeFolder("CARD/SHOOT.BR1/D.OVD");
        QBriselFSModel model(false);
        const QModelIndex card = model.index(root.path() + "/CARD");
        model.fetchMore(card);
        QSignalSpy inserted(&model, &QAbstractItemModel::rowsInserted);
        model.dirChangedProcess(project);
        QCOMPARE(inserted.count(), 0);
        QVERIFY(model.canFetchMore(model.index(0, 0, card)));
        model.dirChangedProcess(root.path() + "/CARD/NOPE");
        QCOMPARE(inserted.count(), 0);
    }

    void noticesAreDebounced()
    {
        TestVolumesRoot root;
        const QString a = root.makeFolder("CARD/A");
        const QString b = root.makeFolder("CARD/B");
        QBriselFSModel model(false);
        QAbstractItemModelTester tester(&model, QAbstractItemModelTester::FailureReportingMode::QtTest);
        const QPersistentModelIndex ia = model.index(a);
        const QPersistentModelIndex ib = model.index(b);
        model.fetchMore(ia);
        model.fetchMore(ib);
        root.makeFolder("CARD/A/x");
        root.makeFolder("CARD/B/y");

        // Repeated notices for one folder wait for the quiet period.
        model.slot_DirChanged(a);
        QTest::qWait(10);
        model.slot_DirChanged(a);
        QCOMPARE(model.rowCount(ia), 0);
        // A notice for another folder settles the pending one at once.
        model.slot_DirChanged(b);
        QCOMPARE(model.rowCount(ia), 1);
        QCOMPARE(model.rowCount(ib), 0);
        QTRY_COMPARE_WITH_TIMEOUT(model.rowCount(ib), 1, 500);
    }

    // Many files renamed at once in a watched day: the difference arrives in
    // a few batched notifications, and the rows end up in name order.
    void batchedDifference()
    {
        TestVolumesRoot root;
        const QString dayPath = root.makeFolder("CARD/P.BR1/D.OVD");
        for (int i = 0; i < 40; ++i)
            root.makeFile(QString("CARD/P.BR1/D.OVD/T%1_01.WAV").arg(i, 2, 10, QChar('0')));
        QBriselFSModel model(false);
        QAbstractItemModelTester tester(&model, QAbstractItemModelTester::FailureReportingMode::QtTest);
        const QPersistentModelIndex day = model.index(dayPath);
        model.fetchMore(day);
        for (int i = 10; i < 20; ++i)
            QVERIFY(QFile::rename(QString("%1/T%2_01.WAV").arg(dayPath).arg(i),
                                  QString("%1/U%2_01.WAV").arg(dayPath).arg(i)));
        root.makeFile("CARD/P.BR1/D.OVD/A_01.WAV");
        QSignalSpy inserted(&model, &QAbstractItemModel::rowsInserted);
        QSignalSpy removed(&model, &QAbstractItemModel::rowsRemoved);
        model.dirChangedProcess(dayPath);
        QCOMPARE(removed.count(), 1);
        QCOMPARE(inserted.count(), 2);
        QStringList names;
        for (int r = 0; r < model.rowCount(day); ++r)
            names << model.index(r, 0, day).data(Qt::EditRole).toString();
        QStringList sorted = names;
        sorted.sort();
        QCOMPARE(names, sorted);
        QCOMPARE(names.size(), 41);
    }
};

QTEST_MAIN(TestBrowserWatch)
#include "test_browser_watch.moc"
