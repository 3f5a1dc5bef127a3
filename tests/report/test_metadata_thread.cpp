// The day loader: states, names and records of a day, rapid day changes,
// odd names, damaged or vanishing media and shutdown in mid-pass.
#include "browser/qbriselfsfilterproxymodel.h"
#include "browser/qbriselfsmodel.h"
#include "browser/qbriselfsmodelitem.h"
#include "report/qmetadatathread.h"
#include "take/soundperform.h"
#include "tests/report/daymedia.h"
#include "tests/support/fixturevariants.h"
#include "tests/support/riffbytes.h"
#include "tests/support/scratchdir.h"

#include <QDir>
#include <QElapsedTimer>
#include <QTemporaryDir>
#include <QtTest>

#include <atomic>
#include <cstdio>

#include <sys/stat.h>
#include <unistd.h>

using namespace fixture;

namespace {
// Receives the loader's signals in the test's thread.
struct Receiver
{
    QList<QPair<int, int>> states;
    QList<QStringList> lists;
    QList<QPair<int, tyTakeMetadata>> records;

    void Attach(QMetadataThread* loader, QObject* context)
    {
        QObject::connect(loader, &QMetadataThread::signal_State, context,
                         [this](int s, int v) { states.append({s, v}); });
        QObject::connect(loader, &QMetadataThread::signal_List, context,
                         [this](QStringList names) { lists.append(names); });
        QObject::connect(loader, &QMetadataThread::signal_Data, context,
                         [this](int i, QString, tyTakeMetadata r) { records.append({i, r}); });
    }
    bool Finished(int passes) const
    {
        int n = 0;
        for (const auto& s : states)
            n += s.first == MetadataStateFinished ? 1 : 0;
        return n >= passes && !states.isEmpty() && states.last().first == MetadataStateWaiting;
    }
};

tyReportBlock* LayoutOf(QList<int> ids, tyReportBlock* cells)
{
    for (int c = 0; c < ReportLayout::kDataCells; ++c)
        cells[c] = tyReportBlock{c < ids.size() ? ids.at(c) : -1, QString()};
    return cells;
}

// The day listed and read for a report of one layout (take name, scene):
// false when the pass did not end.
bool ListDay(const daymedia::Day& day, Receiver* got)
{
    QObject context;
    QMetadataThread loader;
    got->Attach(&loader, &context);
    tyReportBlock cells[ReportLayout::kDataCells];
    loader.SetDataSetup(LayoutOf({1, 2}, cells), 1, ReportLayout::kDataCells, 1, false, CircleDisplayTake);
    loader.SetDayDir(day.volume, day.project, day.day);
    return QTest::qWaitFor([got] { return got->Finished(1); }, 10000);
}
}  // namespace

class TestMetadataThread : public QObject
{
    Q_OBJECT
private slots:
    void takeNamesOfFiles_data();
    void takeNamesOfFiles();
    void statesAndRecordsOfASmallDay();
    void strangerAsLongAsItsTakeListedAlone();
    void strangerInAnotherFormListedAlone_data();
    void strangerInAnotherFormListedAlone();
    void strangersThroughALongDayListedAlone();
    void dayListShowsTheBrowsersTakes_data();
    void dayListShowsTheBrowsersTakes();
    void lastDayWins();
    void everyRecordOfALongDayArrivesOnce();
    void vanishingFolderEndsThePass();
    void destroyedInMidPass();
};

void TestMetadataThread::takeNamesOfFiles_data()
{
    QTest::addColumn<QStringList>("files");
    QTest::addColumn<QStringList>("ids");
    QTest::addColumn<QStringList>("names");
    QTest::newRow("mono, poly, mix")
        << QStringList{"ABC123_01.WAV", "ABC123_02.WAV", "ABC124PN.WAV", "ABC125MX.WAV", "ABC126QX.WAV"}
        << QStringList{"ABC123", "ABC124", "ABC125", "ABC126"} << QStringList{"ABC123", "ABC124", "ABC125", "ABC126"};
    QTest::newRow("six characters or fewer are no takes")
        << QStringList{"ABC12.WAV", "ABC123.WAV", "ABC124_1.WAV"} << QStringList{"ABC124"} << QStringList{"ABC124"};
    QTest::newRow("other poly suffixes keep the name")
        << QStringList{"ABC127P7.WAV", "ABC128SX.WAV", "ABC129Q7.WAV"} << QStringList{"ABC127", "ABC128", "ABC129"}
        << QStringList{"ABC127P7", "ABC128SX", "ABC129Q7"};
    QTest::newRow("ids differing in case") << QStringList{"ABC130_01.WAV", "abc130_01.WAV"}
                                           << QStringList{"ABC130", "abc130"} << QStringList{"ABC130", "abc130"};
    QTest::newRow("one-character track numbers")
        << QStringList{"ABC131_A.WAV", "ABC131+01.WAV"} << QStringList{"ABC131"} << QStringList{"ABC131"};
    QTest::newRow("hidden files are no takes")
        << QStringList{".ABC133_05.WAV", "._ABC133_01.WAV", "._ABC134.WAV", "ABC133_01.WAV"} << QStringList{"ABC133"}
        << QStringList{"ABC133"};
    QTest::newRow("long name") << QStringList{"ABC132==     12A     t3==_01.WAV"} << QStringList{"ABC132"}
                               << QStringList{"ABC132==     12A     t3=="};
    // Other makers' names, short or sharing six characters, each take by the
    // browser's rule; a recorder-shaped one keeps its id.
    QTest::newRow("other makers' names")
        << QStringList{"A101_1_1.WAV", "A101_1_2.WAV", "Sc1_2.WAV", "Sr001-2C-01.WAV", "Sr001-2C-02.WAV", "Sr001-3C-01.WAV"}
        << QStringList{"A101_1", "Sc1", "Sr001-2C", "Sr001-3C"} << QStringList{"A101_1", "Sc1", "Sr001-2C", "Sr001-3C"};
}

void TestMetadataThread::takeNamesOfFiles()
{
    QFETCH(QStringList, files);
    QFETCH(QStringList, ids);
    QFETCH(QStringList, names);
    QStringList gotIds;
    QStringList gotNames;
    for (const tyDayTake& take : DayTakesOf(QString(), files)) {
        gotIds << take.czId;
        gotNames << take.czName;
    }
    QCOMPARE(gotIds, ids);
    QCOMPARE(gotNames, names);
}

void TestMetadataThread::statesAndRecordsOfASmallDay()
{
    fixture::ScratchDir dir;   // it holds a name that is not UTF-8
    const daymedia::Day day = daymedia::MakeDayFolder(dir.path(), QDate(2024, 5, 1));
    TakeSpec first = MonoTake(QStringLiteral("ABC123"), {0, 1, 2, 3});
    first.circled = true;
    first.takePrefix = QStringLiteral("W");
    first.tracks[0].inGrid = QStringLiteral("MIC_1=0x1,");
    first.tracks[0].panPot = QStringLiteral("100,60");
    first.tracks[1].active = QStringLiteral("DISARMED");
    first.tracks[2].inGrid = QStringLiteral("MIC_1=0x1,MIC_2=0x1,");
    first.tracks[3].inGrid = QStringLiteral("MIX_1=0x1,");
    first.inputSettings = {InputSetting{"MIC_1", 5, true, false, 80}, InputSetting{"MIC_2", 0, false, true, 0}};
    first.nameStyle = NameStyle::LongUnderscore;
    QVERIFY(!WriteTake(day.path, first).files.isEmpty());
    QVERIFY(!WriteTake(day.path, PolyTake(QStringLiteral("ABC124"), {0, 1})).files.isEmpty());
    // A damaged take, a six-character name and a lower-case suffix.
    QVERIFY(daymedia::WriteBytes(day.path + "/ABC125_01.WAV", QByteArray(300, 'x')));
    QVERIFY(daymedia::WriteBytes(day.path + "/SHORT1.WAV", QByteArray(300, 'x')));
    QVERIFY(!WriteTake(day.path + "/lower", MonoTake(QStringLiteral("ABC126"), {0})).files.isEmpty());
    QVERIFY(QFile::rename(day.path + "/lower/" + QDir(day.path + "/lower").entryList(QDir::Files).first(),
                          day.path + "/ABC126_01.wav"));
    // A name that is not UTF-8 names no file once decoded: left out, as the browser does.
    const QByteArray bytes = BuildMonoFile(MonoTake(QStringLiteral("A01T18"), {0}), 0);
    FILE* unreadable = std::fopen(QFile::encodeName(day.path) + "/A01T\xff" "8_01.WAV", "wb");
    QVERIFY(unreadable && std::fwrite(bytes.constData(), 1, size_t(bytes.size()), unreadable) == size_t(bytes.size()));
    std::fclose(unreadable);

    QObject context;
    Receiver got;
    QMetadataThread loader;
    got.Attach(&loader, &context);
    tyReportBlock cells[2][ReportLayout::kDataCells];
    LayoutOf({1, 2, 3, 5, 22, 23, 24, 25, 26}, cells[0]);
    LayoutOf({1, 7}, cells[1]);
    loader.SetDataSetup(&cells[0][0], 2, ReportLayout::kDataCells, 2, false, CircleDisplayTake);
    loader.SetDayDir(day.volume, day.project, day.day);
    QTRY_VERIFY_WITH_TIMEOUT(got.Finished(1), 10000);

    const QList<QPair<int, int>> states = {{0, 0}, {1, 0}, {2, 0}, {3, 3}, {4, 0}, {4, 1}, {4, 2}, {5, 0}, {0, 0}};
    QCOMPARE(got.states, states);
    QCOMPARE(got.lists.size(), 1);
    QCOMPARE(got.lists.first().size(), 3);
    QVERIFY(got.lists.first().at(0).startsWith("ABC123_"));
    QCOMPARE(got.lists.first().mid(1), (QStringList{"ABC124", "ABC125"}));
    QCOMPARE(got.records.size(), 3);

    const tyTakeMetadata& r = got.records.at(0).second;
    QCOMPARE(got.records.at(0).first, 0);
    QCOMPARE(r.czTakeName, got.lists.first().at(0));
    QVERIFY(r.bCircled);
    QCOMPARE(r.nTakeType, 2);
    QVERIFY(r.bLongName && r.bFullUnderscore);
    QCOMPARE(r.lczLine0Texts.mid(0, 4), (QStringList{"1", "ABC123", "YES", "W3"}));
    QCOMPARE(r.lczLine0Texts.mid(4), (QStringList{"Trk1", "", "Trk3", "Trk4", ""}));
    QCOMPARE(r.lczLine1Texts, (QStringList{"1", "1;3-4"}));
    QCOMPARE(r.tArming[0], TrackActiveOn);
    QCOMPARE(r.tArming[1], TrackActiveDisarmed);
    QCOMPARE(r.tArming[4], TrackActiveNone);
    QCOMPARE(r.tPans[0], (tPostFadePan{100, 60}));
    QCOMPARE(r.tPans[3], (tPostFadePan{-1, -1}));   // a mix track has no pan
    QCOMPARE(r.pnMixMarker[3], 2);
    QCOMPARE(r.Routings[0].count(), 1);
    QCOMPARE(r.Routings[1].count(), 0);              // disarmed: no routing
    QCOMPARE(r.Routings[2].count(), 2);
    QVERIFY(r.MicInputs[0].bPresent);
    QCOMPARE(r.MicInputs[0].nFilter, 80);
    QVERIFY(r.MicInputs[0].bPhaseReversed);
    QVERIFY(r.MicInputs[1].bPresent && r.MicInputs[1].bEqEnabled);
    QCOMPARE(r.czScene, QStringLiteral("12A"));

    const tyTakeMetadata& poly = got.records.at(1).second;
    QCOMPARE(poly.lczLine0Texts.value(1), QStringLiteral("ABC124"));
    const tyTakeMetadata& damaged = got.records.at(2).second;
    QCOMPARE(damaged.czTakeName, QStringLiteral("ABC125"));
    QVERIFY(damaged.lczLine0Texts.isEmpty());
}

// Another maker's file named like a track of a take and as long as its
// files is listed with the take until the take's load reads it: the day is
// then listed again, that file alone, and the take read with its own files.
void TestMetadataThread::strangerAsLongAsItsTakeListedAlone()
{
    QTemporaryDir dir;
    const daymedia::Day day = daymedia::MakeDayFolder(dir.path(), QDate(2024, 5, 2));
    const WrittenTake written = WriteTake(day.path, MonoTake(QStringLiteral("LEN669"), {0, 1, 2, 3}));
    QCOMPARE(written.files.size(), 4);
    ForeignSpec spec;
    spec.channels = 1;
    spec.bext = true;
    QVERIFY(fixture::WriteBytes(day.path + "/LEN669_05.WAV",
                       BuildForeignFileOfLength(spec, QFileInfo(written.files.first()).size())));

    Receiver got;
    QVERIFY(ListDay(day, &got));
    QCOMPARE(got.lists.size(), 2);
    QCOMPARE(got.lists.first(), QStringList{"LEN669"});
    QCOMPARE(got.lists.last(), (QStringList{"LEN669", "LEN669_05"}));
    QCOMPARE(got.records.size(), 3);
    const tyTakeMetadata& take = got.records.at(1).first == 0 ? got.records.at(1).second : got.records.at(2).second;
    QCOMPARE(take.czTakeName, QStringLiteral("LEN669"));
    QVERIFY2(take.czProblem.isEmpty(), qPrintable(take.czProblem));
}

// Another maker's file named for a slot of this recorder's take in another
// form, or for a track the load never reads: the take is listed once, the
// stranger alone, before and after the take's load (a letter track, which
// the browser counts as not listed, has no row).
void TestMetadataThread::strangerInAnotherFormListedAlone_data()
{
    QTest::addColumn<int>("form");
    QTest::addColumn<bool>("asLong");
    for (int form = 0; form < StrangerForms().size(); ++form) {
        for (const bool asLong : {false, true}) {
            if ((!asLong || StrangerForms().at(form).made == StrangerMade::OtherMaker)
                && !StrangerForms().at(form).cardOnly)
                QTest::newRow(qPrintable(QString::fromLatin1(StrangerForms().at(form).tag)
                                         + (asLong ? ", as long" : ""))) << form << asLong;
        }
    }
}

void TestMetadataThread::strangerInAnotherFormListedAlone()
{
    QFETCH(int, form);
    QFETCH(bool, asLong);
    const StrangerForm& beside = StrangerForms().at(form);
    ScratchDir dir;
    QVERIFY(!WriteTakeBesideStranger(dir.path(), beside, asLong).isEmpty());
    const QString folder = dir.path() + QLatin1Char('/');
    const QStringList files = QDir(dir.path()).entryList(QDir::Files, QDir::Name);
    QStringList expected{beside.take.id};
    if (beside.listed)
        expected << QFileInfo(beside.stranger).completeBaseName();
    expected.sort();
    for (const bool loaded : {false, true}) {
        if (loaded) {
            QSoundPerform take;
            QVERIFY(take.InitFilesZZ(folder + beside.take.id, QStringLiteral("WAV")));
        }
        QStringList names;
        for (const tyDayTake& take : DayTakesOf(folder, files)) {
            names << take.czName;
            QCOMPARE(take.czTakePath, folder + take.czName);
        }
        names.sort();
        QCOMPARE(names, loaded || !ListedWithTakeUntilLoaded(beside, asLong) ? expected
                                                                             : QStringList{beside.take.id});
    }
}

// A day longer than one run of the lengths asked side by side: each file is
// judged by its own length wherever it stands, another maker's file of
// another length alone, one of this recorder's of the members' length in
// its take.
void TestMetadataThread::strangersThroughALongDayListedAlone()
{
    fixture::ScratchDir dir;
    const QString folder = dir.path() + QLatin1Char('/');
    QVERIFY(WriteCopiedTakes(dir.path(), QStringLiteral("BR"), 60, 4));
    ForeignSpec spec;
    spec.channels = 1;
    spec.bext = true;
    const QList<int> strangers{0, 7, 41, 59};
    for (const int take : strangers)
        QVERIFY(WriteBytes(folder + QStringLiteral("BR%1_05.WAV").arg(take, 4, 10, QLatin1Char('0')), BuildForeignFile(spec)));
    QVERIFY(QFile::copy(folder + "BR0030_01.WAV", folder + "BR0030_05.WAV"));

    QStringList expected;
    for (int take = 0; take < 60; ++take) {
        const QString id = QStringLiteral("BR%1").arg(take, 4, 10, QLatin1Char('0'));
        expected << id;
        if (strangers.contains(take))
            expected << id + QStringLiteral("_05");
    }
    QStringList names;
    for (const tyDayTake& take : DayTakesOf(folder, QDir(folder).entryList(QDir::Files, QDir::Name)))
        names << take.czName;
    QCOMPARE(names, expected);
}

// An entry named as a track file that is no regular file, beside a take
// or alone: neither a take nor a WAV file in the day list or the browser,
// which list the same takes, and the day's line names it once.
void TestMetadataThread::dayListShowsTheBrowsersTakes_data()
{
    QTest::addColumn<QString>("entry");
    QTest::addColumn<QString>("made");
    QTest::newRow("folder for a track") << "LEN946_05.WAV" << "folder";
    QTest::newRow("folder in another form of a slot") << "LEN946-04.WAV" << "folder";
    QTest::newRow("lone folder") << "LEN947_01.WAV" << "folder";
    QTest::newRow("pipe") << "LEN946_05.WAV" << "pipe";
    QTest::newRow("broken link") << "LEN946_05.WAV" << "broken link";
    QTest::newRow("link to the day") << "LEN946_05.WAV" << "link to the day";
}

void TestMetadataThread::dayListShowsTheBrowsersTakes()
{
    QFETCH(QString, entry);
    QFETCH(QString, made);
    ScratchDir dir;
    const daymedia::Day day = daymedia::MakeDayFolder(dir.path(), QDate(2024, 5, 3));
    QCOMPARE(WriteTake(day.path, MonoTake(QStringLiteral("LEN946"), {0, 1, 2, 3})).files.size(), 4);
    const QByteArray path = QFile::encodeName(day.path + QLatin1Char('/') + entry);
    if (made == "folder")
        QVERIFY(QDir().mkdir(day.path + QLatin1Char('/') + entry));
    else if (made == "pipe")
        QCOMPARE(::mkfifo(path.constData(), 0644), 0);
    else
        QCOMPARE(::symlink(made == "broken link" ? "LEN946_09.WAV" : ".", path.constData()), 0);

    Receiver got;
    QVERIFY(ListDay(day, &got));
    QCOMPARE(got.lists.last(), QStringList{"LEN946"});

    qputenv("NALVO_VOLUMES_ROOT", dir.path().toUtf8());
    QBriselFSModel model(false);
    QBriselFSFilterProxyModel proxy(nullptr, false);
    proxy.setSourceModel(&model);
    model.fetchMore(model.index(day.path));
    const QModelIndex dayRow = proxy.mapFromSource(model.index(day.path));
    QStringList shown;
    for (int row = 0; row < proxy.rowCount(dayRow); ++row)
        shown << proxy.index(row, 0, dayRow).data().toString();
    const QBriselFSModelItem* dayItem = model.itemFromIndex(model.index(day.path));
    qunsetenv("NALVO_VOLUMES_ROOT");
    QCOMPARE(shown, got.lists.last());
    QCOMPARE(dayItem->notRegularWavEntries(), QStringList{entry});
    QCOMPARE(dayItem->unlistedWavFiles(), 0);
    QCOMPARE(dayItem->wavFilesInFolders(), 0);
}

void TestMetadataThread::lastDayWins()
{
    QTemporaryDir dir;
    const daymedia::Day big = daymedia::MakeDayFolder(dir.path(), QDate(2024, 5, 1));
    const daymedia::Day small = daymedia::MakeDayFolder(dir.path(), QDate(2024, 5, 2));
    QVERIFY(WriteCopiedTakes(big.path, QStringLiteral("BG"), 200, 2));
    QVERIFY(WriteCopiedTakes(small.path, QStringLiteral("SM"), 3, 1));

    QObject context;
    Receiver got;
    QMetadataThread loader;
    got.Attach(&loader, &context);
    tyReportBlock cells[2][ReportLayout::kDataCells];
    LayoutOf({1, 2, 4}, cells[0]);
    LayoutOf({1}, cells[1]);
    loader.SetDataSetup(&cells[0][0], 2, ReportLayout::kDataCells, 1, false, CircleDisplayOff);
    for (int i = 0; i < 40; ++i) {
        const daymedia::Day& d = i % 2 == 0 ? big : small;
        loader.SetDayDir(d.volume, d.project, d.day);
        if (i % 8 == 0)
            QTest::qWait(5);
        if (i == 20)   // a layout change in mid-pass restarts the pass
            loader.SetDataSetup(&cells[0][0], 2, ReportLayout::kDataCells, 1, false, CircleDisplayOff);
    }
    QString pre, project, dayName;
    loader.GetDir(&pre, &project, &dayName);
    QCOMPARE(dayName, small.day);
    QTRY_VERIFY_WITH_TIMEOUT(!got.states.isEmpty() && got.states.last() == qMakePair(0, 0)
                                 && !got.lists.isEmpty() && got.lists.last().size() == 3
                                 && got.records.size() >= 3 && got.records.last().first == 2,
                             20000);
    QTest::qWait(50);
    QCOMPARE(got.lists.last(), (QStringList{"SM0000", "SM0001", "SM0002"}));
    for (int i = 0; i < 3; ++i) {
        const tyTakeMetadata& r = got.records.at(got.records.size() - 3 + i).second;
        QCOMPARE(r.czTakeName, got.lists.last().at(i));
        QCOMPARE(r.lczLine0Texts.value(0), QString::number(i + 1));   // the copies share one file tag
    }
}

void TestMetadataThread::everyRecordOfALongDayArrivesOnce()
{
    // A day this long is loaded on several threads: records come in any order.
    QTemporaryDir dir;
    const daymedia::Day day = daymedia::MakeDayFolder(dir.path(), QDate(2024, 5, 1));
    QVERIFY(WriteCopiedTakes(day.path, QStringLiteral("LG"), 60, 2));
    QObject context;
    Receiver got;
    QMetadataThread loader;
    got.Attach(&loader, &context);
    tyReportBlock cells[2][ReportLayout::kDataCells];
    LayoutOf({1, 2}, cells[0]);
    loader.SetDataSetup(&cells[0][0], 2, ReportLayout::kDataCells, 1, false, CircleDisplayOff);
    loader.SetDayDir(day.volume, day.project, day.day);
    QTRY_VERIFY_WITH_TIMEOUT(got.Finished(1), 20000);
    QCOMPARE(got.records.size(), 60);
    QSet<int> indexes;
    for (const auto& record : got.records) {
        indexes.insert(record.first);
        QCOMPARE(record.second.czTakeName, got.lists.first().value(record.first));
        QCOMPARE(record.second.lczLine0Texts.value(0), QString::number(record.first + 1));
    }
    QCOMPARE(indexes.size(), 60);
    QCOMPARE(got.states.at(got.states.size() - 2), qMakePair(int(MetadataStateFinished), 0));
}

void TestMetadataThread::vanishingFolderEndsThePass()
{
    QTemporaryDir dir;
    const daymedia::Day day = daymedia::MakeDayFolder(dir.path(), QDate(2024, 5, 1));
    QVERIFY(WriteCopiedTakes(day.path, QStringLiteral("VN"), 200, 2));
    QObject context;
    Receiver got;
    QMetadataThread loader;
    got.Attach(&loader, &context);
    loader.SetDayDir(day.volume, day.project, day.day);
    QTRY_VERIFY_WITH_TIMEOUT(got.records.size() >= 3, 10000);
    QVERIFY(QDir(day.path).removeRecursively());
    QTRY_VERIFY_WITH_TIMEOUT(got.Finished(1), 20000);
    QCOMPARE(got.lists.size(), 1);
    QVERIFY(got.records.size() <= got.lists.first().size());
    // Takes read after the folder went carry their names only.
    QVERIFY(got.records.last().second.lczLine0Texts.isEmpty());
    QCOMPARE(got.records.last().second.czTakeName, got.lists.first().at(got.records.last().first));
}

void TestMetadataThread::destroyedInMidPass()
{
    QTemporaryDir dir;
    const daymedia::Day day = daymedia::MakeDayFolder(dir.path(), QDate(2024, 5, 1));
    QVERIFY(WriteCopiedTakes(day.path, QStringLiteral("DS"), 200, 2));
    QObject context;
    Receiver got;
    auto loader = std::make_unique<QMetadataThread>();
    got.Attach(loader.get(), &context);
    // Each take holds its loader thread 20 ms: however many threads load
    // and however late this thread runs, the day cannot end before it acts.
    std::atomic<int> sent{0};
    QObject::connect(
        loader.get(), &QMetadataThread::signal_State, loader.get(),
        [&sent](int state, int) {
            if (state != MetadataStateReadingTake)
                return;
            ++sent;
            QThread::msleep(20);
        },
        Qt::DirectConnection);
    loader->SetDayDir(day.volume, day.project, day.day);
    QTRY_VERIFY_WITH_TIMEOUT(sent.load() > 0, 10000);
    QElapsedTimer timer;
    timer.start();
    loader.reset();
    QVERIFY2(timer.elapsed() < 2000, qPrintable(QString::number(timer.elapsed())));
    QCoreApplication::processEvents();
    QVERIFY(sent.load() < 200);
    QCOMPARE(got.states.last(), qMakePair(int(MetadataStateFinished), 3));
}

QTEST_MAIN(TestMetadataThread)
#include "test_metadata_thread.moc"
