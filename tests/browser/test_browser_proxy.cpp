// What the browser tree shows: the filter proxy over a generated volume.
#include "browser/qbriselfsfilterproxymodel.h"
#include "browser/qbriselfsmodel.h"
#include "browser/qbriselfsmodelitem.h"
#include "browsertestmedia.h"
#include "foundation/takenaming.h"
#include "take/soundperform.h"
#include "tests/support/fixturevariants.h"
#include "tests/support/fixturewriter.h"
#include "tests/support/riffbytes.h"

#include <QAbstractItemModelTester>
#include <QRandomGenerator>
#include <QtTest>

#include <algorithm>
#include <random>

static QStringList inLocaleOrder(QStringList names)
{
    std::sort(names.begin(), names.end(),
              [](const QString& a, const QString& b) { return QString::localeAwareCompare(a, b) < 0; });
    return names;
}

// What arrives in a watched day after it was listed.
// The take's own file of the track a stranger is named for.
QByteArray OwnTrackOf(const fixture::StrangerForm& beside)
{
    const int slot = TakeNaming::LoadTrackSlot(QFileInfo(beside.stranger).completeBaseName());
    fixture::TakeSpec whole = beside.take;
    while (whole.tracks.size() <= slot) {
        fixture::TrackSpec track = whole.tracks.last();
        track.slot = whole.tracks.size();
        whole.tracks << track;
    }
    return fixture::BuildMonoFile(whole, slot);
}

// RewrittenAsMember: nothing arrives; the stranger is rewritten in place,
// its times kept, as the take's own track of its slot after a load.
enum Arriving { NoneArriving, StrangerArriving, MembersArriving, RewrittenAsMember };

class TestBrowserProxy : public QObject
{
    Q_OBJECT

    struct Browser
    {
        QBriselFSModel model{false};
        QBriselFSFilterProxyModel proxy{nullptr, false};
        QAbstractItemModelTester modelTester{&model, QAbstractItemModelTester::FailureReportingMode::QtTest};
        QAbstractItemModelTester proxyTester{&proxy, QAbstractItemModelTester::FailureReportingMode::QtTest};

        Browser()
        {
            proxy.setSourceModel(&model);
            proxy.sort(0, Qt::AscendingOrder);
            QObject::connect(&model, &QBriselFSModel::test_sig, &proxy, &QSortFilterProxyModel::invalidate);
        }
        // Rows as shown, sorted by the locale's collation.
        QStringList shownUnder(const QString& path)
        {
            const QModelIndex parent = proxy.mapFromSource(model.index(path));
            QStringList shown;
            for (int r = 0; r < proxy.rowCount(parent); ++r)
                shown << proxy.index(r, 0, parent).data().toString();
            return shown;
        }
        // Each file row of a listed folder with the take it stands for.
        QStringList filesUnder(const QString& path)
        {
            const QModelIndex parent = model.index(path);
            QStringList files;
            for (int r = 0; r < model.rowCount(parent); ++r) {
                const QBriselFSModelItem* item = model.itemFromIndex(model.index(r, 0, parent));
                files << QString("%1: %2 %3").arg(item->fileName(), item->fileTag()).arg(int(item->type()));
            }
            return files;
        }
    };

    // Writes every track file of the takes, all takes mixed, in random order.
    static void writeShuffled(const QString& day, const QList<fixture::TakeSpec>& takes)
    {
        QList<QPair<QString, QByteArray>> files;
        for (const fixture::TakeSpec& t : takes) {
            for (int i = 0; i < t.tracks.size(); ++i)
                files.append({fixture::TrackFileName(t, i), fixture::BuildMonoFile(t, i)});
        }
        std::mt19937 rng(7);
        std::shuffle(files.begin(), files.end(), rng);
        for (const auto& f : files) {
            QFile out(day + "/" + f.first);
            QVERIFY(out.open(QIODevice::WriteOnly));
            out.write(f.second);
        }
    }

private slots:
    void eachTakeShownOnceWhateverTheWritingOrder()
    {
        TestVolumesRoot root;
        const QString day = fixture::MakeDay(
            fixture::MakeProject(fixture::MakeVolume(root.path(), "CARD"), "SHOOT"), QDate(2024, 5, 1));
        fixture::TakeSpec a = fixture::MonoTake("AAA001", {0, 1, 2, 3});
        fixture::TakeSpec b = fixture::MonoTake("AAA002", {0, 1, 4});
        fixture::TakeSpec c = fixture::MonoTake("AAA010", {0, 5});
        for (fixture::TrackSpec& t : c.tracks)
            t.separator = '-';
        writeShuffled(day, {a, b, c});
        QVERIFY(!fixture::WriteTake(day, fixture::PolyTake("AAA003", {0, 1})).files.isEmpty());
        // Another recorder's takes "A101" and "A101_1", whose files sort among each other's.
        for (const char* name : {"A101_1", "A101_1_1", "A101_1_2", "A101_2", "A101_4"})
            QVERIFY(QFile(day + "/" + name + ".WAV").open(QIODevice::WriteOnly));

        Browser browser;
        // Rows sort by the file that stands for the take ("A101_1_2.WAV", "A101_4.WAV").
        const QStringList foreign =
            inLocaleOrder({"A101_1_2", "A101_4"}).replaceInStrings("_1_2", "_1").replaceInStrings("_4", "");
        QCOMPARE(browser.shownUnder(day), foreign + QStringList({"AAA001", "AAA002", "AAA003PX", "AAA010"}));
        const QModelIndex shown = browser.proxy.index(2, 0, browser.proxy.mapFromSource(browser.model.index(day)));
        QCOMPARE(shown.data(FSItemTypeRole).toInt(), int(FSITEM_MONO));
        QCOMPARE(QFileInfo(shown.data(FSFilePathRole).toString()).fileName(), QString("AAA001_04.WAV"));
    }

    void mixBetweenTracksAndSingleTrackTake()
    {
        TestVolumesRoot root;
        for (const char* n : {"T1_01.WAV", "T1_02.WAV", "T1MX.WAV", "T2_01.WAV", "NOTES.WAV", "t3_01.wav", "T4_Tr1.WAV", "T2_A.WAV", "T5_A.WAV"})
            root.makeFile(QString("CARD/P.BR1/D.OVD/") + n);
        Browser browser;
        // Rows sort by file name (T1MX.WAV, T1_02.WAV, T2_01.WAV), not by take name.
        const QHash<QString, QString> takeOf{{"T1MX.WAV", "T1MX"}, {"T1_02.WAV", "T1"}, {"T2_01.WAV", "T2"}};
        QStringList expected;
        for (const QString& file : inLocaleOrder(takeOf.keys()))
            expected << takeOf.value(file);
        QCOMPARE(browser.shownUnder(root.path() + "/CARD/P.BR1/D.OVD"), expected);
        // The WAV files named as no take, in any case; a letter track of a
        // listed take is read with it, one of no listed take is not.
        const QModelIndex day = browser.model.index(root.path() + "/CARD/P.BR1/D.OVD");
        QCOMPARE(browser.model.itemFromIndex(day)->unlistedWavFiles(), 4);
    }

    // Another maker's file named for a slot of this recorder's take in
    // another form, or for a track the load never reads, or a file of
    // another take, a copy of a member, an empty or unidentified file named
    // for one of its slots, there as the day is listed, or arriving in the
    // watched day, or there before the take's members arrive: the take's
    // row stands on one of its files, the stranger has a row of its own,
    // and the day's line counts a letter track that is a stranger, before
    // the take's load as after it; the watched day lists what a fresh
    // listing lists.
    void strangerInAnotherFormRowOfItsOwn_data()
    {
        QTest::addColumn<int>("form");
        QTest::addColumn<bool>("asLong");
        QTest::addColumn<int>("arriving");
        for (int form = 0; form < fixture::StrangerForms().size(); ++form) {
            const QString tag = QString::fromLatin1(fixture::StrangerForms().at(form).tag);
            if (fixture::StrangerForms().at(form).cardOnly)
                continue;
            const bool otherMaker = fixture::StrangerForms().at(form).made == fixture::StrangerMade::OtherMaker;
            for (const bool asLong : {false, true}) {
                if (!asLong || otherMaker)
                    QTest::newRow(qPrintable(tag + (asLong ? ", as long" : ""))) << form << asLong << int(NoneArriving);
            }
            if (!otherMaker && fixture::StrangerForms().at(form).listed)
                QTest::newRow(qPrintable(tag + ", arriving")) << form << false << int(StrangerArriving);
            // This recorder's file in a slot no member holds: listed as
            // the take's until its members come.
            const fixture::StrangerForm& beside = fixture::StrangerForms().at(form);
            const int slot = TakeNaming::LoadTrackSlot(QFileInfo(beside.stranger).completeBaseName());
            const bool free = std::none_of(beside.take.tracks.begin(), beside.take.tracks.end(),
                                           [slot](const fixture::TrackSpec& track) { return track.slot == slot; });
            if (beside.made == fixture::StrangerMade::BlankedBext
                || (beside.made == fixture::StrangerMade::OtherTake && free && !beside.inPlace))
                QTest::newRow(qPrintable(tag + ", members arriving")) << form << false << int(MembersArriving);
            if (beside.made == fixture::StrangerMade::OtherTake && free && !beside.recordedAs)
                QTest::newRow(qPrintable(tag + ", rewritten in place as the take's own track"))
                    << form << false << int(RewrittenAsMember);
        }
    }

    void strangerInAnotherFormRowOfItsOwn()
    {
        QFETCH(int, form);
        QFETCH(bool, asLong);
        QFETCH(int, arriving);
        const fixture::StrangerForm& beside = fixture::StrangerForms().at(form);
        TestVolumesRoot root;
        const QString day = fixture::MakeDay(
            fixture::MakeProject(fixture::MakeVolume(root.path(), "CARD"), "SHOOT"), QDate(2024, 5, 1));
        const QStringList members = fixture::WriteTakeBesideStranger(day, beside, asLong);
        QVERIFY(!members.isEmpty());
        // Kept beside the day until the day is listed and watched.
        const QString waiting = root.path() + "/waiting";
        QStringList arrive{beside.stranger};
        if (arriving == MembersArriving) {
            arrive.clear();
            for (const QString& member : members)
                arrive << QFileInfo(member).fileName();
        }
        QDir().mkpath(waiting);
        for (const QString& name : arrive) {
            if (arriving == StrangerArriving || arriving == MembersArriving)
                QVERIFY(QFile::rename(day + "/" + name, waiting + "/" + name));
        }
        const QString id = beside.take.id;
        QStringList rows{id};
        if (beside.listed)
            rows << QFileInfo(beside.stranger).completeBaseName();
        Browser browser;
        const auto shown = [&] {
            QStringList now = browser.shownUnder(day);
            now.sort();
            return now;
        };
        QBriselFSModelItem* dayItem = browser.model.itemFromIndex(browser.model.index(day));
        if (arriving == StrangerArriving)
            QCOMPARE(shown(), QStringList{id});
        if (arriving == StrangerArriving || arriving == MembersArriving) {
            browser.model.addWatcher(dayItem);
            for (const QString& name : arrive)
                QVERIFY(QFile::rename(waiting + "/" + name, day + "/" + name));
            QTRY_COMPARE_WITH_TIMEOUT(dayItem->childCount(), members.size() + 1, 1500);
            Browser fresh;
            QCOMPARE(browser.filesUnder(day), fresh.filesUnder(day));
        }
        // A file held out of the take in place of its member is listed with it.
        const int unlisted = beside.listed || beside.inPlace ? 0 : 1;
        QCOMPARE(shown(), fixture::ListedWithTakeUntilLoaded(beside, asLong) ? QStringList{id} : rows);
        QCOMPARE(dayItem->unlistedWavFiles(), unlisted);

        QSoundPerform take;
        QVERIFY(take.InitFilesZZ(day + "/" + id, QStringLiteral("WAV")));
        QCOMPARE(int(take.m_nFileCount), members.size());
        browser.model.rejudgeByKeptHeads(day);
        QCOMPARE(shown(), rows);
        QCOMPARE(dayItem->unlistedWavFiles(), unlisted);
        const QModelIndex dayRow = browser.proxy.mapFromSource(browser.model.index(day));
        for (int row = 0; row < browser.proxy.rowCount(dayRow); ++row) {
            const QModelIndex shownRow = browser.proxy.index(row, 0, dayRow);
            const QString file = shownRow.data(FSFilePathRole).toString();
            if (shownRow.data().toString() == id)
                QVERIFY2(members.contains(file) || (beside.inPlace && QFileInfo(file).fileName() == beside.stranger),
                         qPrintable(file));
            else
                QCOMPARE(QFileInfo(file).fileName(), beside.stranger);
        }
        // The stranger rewritten in place with the take's own track, its
        // times kept: listed with the take once a load reads it as one.
        if (arriving == RewrittenAsMember) {
            const QString path = day + "/" + beside.stranger;
            const QFileInfo before(path);
            QFile file(path);
            QVERIFY(file.open(QIODevice::ReadWrite));
            QVERIFY(file.resize(0) && file.write(OwnTrackOf(beside)) > 0);
            QVERIFY(file.setFileTime(before.lastModified(), QFileDevice::FileModificationTime));
            file.close();
            QSoundPerform again;
            QVERIFY(again.InitFilesZZ(day + "/" + id, QStringLiteral("WAV")));
            QCOMPARE(int(again.m_nFileCount), members.size() + 1);
            browser.model.rejudgeByKeptHeads(day, id);
            QCOMPARE(shown(), QStringList{id});
        }
        // The stranger replaced by a file of the take: judged by what it
        // holds now, not by what the load found in the file before.
        if (!beside.listed && !beside.inPlace) {
            QVERIFY(QFile::remove(day + "/" + beside.stranger));
            QVERIFY(fixture::WriteBytes(day + "/" + beside.stranger, OwnTrackOf(beside)));
            browser.model.refreshItems(day);
            QCOMPARE(browser.model.itemFromIndex(browser.model.index(day))->unlistedWavFiles(), 0);
        }
    }

    // A track file added to a watched day joins its take's row.
    void watchedDayStaysOneRowPerTake()
    {
        TestVolumesRoot root;
        const QString day = root.makeFolder("CARD/P.BR1/D.OVD");
        for (const char* n : {"T1_01.WAV", "T1_03.WAV", "T2_01.WAV"})
            root.makeFile(QString("CARD/P.BR1/D.OVD/") + n);
        Browser browser;
        QCOMPARE(browser.shownUnder(day), QStringList({"T1", "T2"}));
        browser.model.addWatcher(browser.model.itemFromIndex(browser.model.index(day)));
        root.makeFile("CARD/P.BR1/D.OVD/T1_02.WAV");
        root.makeFile("CARD/P.BR1/D.OVD/T3_01.WAV");
        QTRY_COMPARE_WITH_TIMEOUT(browser.model.rowCount(browser.model.index(day)), 5, 1500);
        QCOMPARE(browser.shownUnder(day), QStringList({"T1", "T2", "T3"}));
    }

    void fullBrowseShowsFoldersNeverPlainFiles()
    {
        TestVolumesRoot root;
        root.makeFolder("CARD/misc/HIDDEN.BR1");
        root.makeFolder("CARD/SHOOT.BR1/D.OVD/extra");
        root.makeFile("CARD/LOOSE_01.WAV");
        root.makeFile("CARD/SHOOT.BR1/D.OVD/NOTES.WAV");
        Browser browser;
        const QString card = root.path() + "/CARD";
        QCOMPARE(browser.proxy.rowCount(), 1); // the volume row is always shown
        QCOMPARE(browser.shownUnder(card), QStringList({"SHOOT.BR1"}));
        QCOMPARE(browser.shownUnder(card + "/SHOOT.BR1/D.OVD"), QStringList());

        browser.proxy.SetFullBrowse(true);
        QCOMPARE(browser.shownUnder(card), inLocaleOrder({"misc", "SHOOT.BR1"}));
        QCOMPARE(browser.shownUnder(card + "/misc"), QStringList({"HIDDEN.BR1"}));
        QCOMPARE(browser.shownUnder(card + "/SHOOT.BR1/D.OVD"), QStringList({"extra"}));

        browser.proxy.SetFullBrowse(false);
        QCOMPARE(browser.shownUnder(card), QStringList({"SHOOT.BR1"}));
    }

    void sortsByNameInTheLocale()
    {
        TestVolumesRoot root;
        root.makeFolder("CARD/B.BR1");
        root.makeFolder("CARD/a.BR1");
        root.makeFolder("CARD/C.BR1");
        Browser browser;
        QCOMPARE(browser.shownUnder(root.path() + "/CARD"), inLocaleOrder({"C.BR1", "a.BR1", "B.BR1"}));
    }
};

QTEST_MAIN(TestBrowserProxy)
#include "test_browser_proxy.moc"
