// The day's take list on its own: rows follow the name lists, records land
// on their rows, layout lines, selection with the mouse, and a look at a
// demo day filled by the loader.
#include "report/qfileinfolistwidget.h"
#include "report/qfileinfowidget.h"
#include "report/qmetadatathread.h"
#include "tests/support/demomedia.h"
#include "widgets/sharedfonts.h"

#include <QApplication>
#include <QDir>
#include <QSignalSpy>
#include <QTemporaryDir>
#include <QtTest>
#include <numeric>

using namespace ReportLayout;

namespace {
tyTakeMetadata RecordOf(const QString& name, const QStringList& texts)
{
    tyTakeMetadata record;
    record.czTakeName = name;
    record.lczLine0Texts = texts;
    return record;
}

void SetLine(QFileInfoListWidget* list, int line, const QList<int>& ids)
{
    tyReportBlock cells[kDataCells];
    for (int c = 0; c < kDataCells; ++c)
        cells[c].nFieldId = c < ids.size() ? ids.at(c) : -1;
    list->SetupDataLine(line, cells);
}

QPoint RowCentre(QFileInfoListWidget* list, int id)
{
    QFileInfoWidget* row = list->Row(id);
    return row->mapTo(list, row->rect().center());
}
}  // namespace

class TestTakeList : public QObject
{
    Q_OBJECT
private slots:
    void rowsFollowNameLists();
    void recordsLandOnTheirRows();
    void sceneShadingIgnoresArrivalOrder_data();
    void sceneShadingIgnoresArrivalOrder();
    void layoutLinesAreGuarded_data();
    void layoutLinesAreGuarded();
    void mouseSelection();
    void demoDayLooksRight();
};

void TestTakeList::rowsFollowNameLists()
{
    QFileInfoListWidget list;
    list.slot_List({"A00001", "A00002", "A00003"});
    QCOMPARE(list.RowCount(), 3);
    list.slot_Data(1, "A00002", RecordOf("A00002", {"2", "x"}));
    list.slot_List({"B00001", "B00002", "B00003"});
    QCOMPARE(list.RowCount(), 3);
    QCOMPARE(list.Row(1)->TakeName(), QStringLiteral("A00002"));   // kept until new records arrive
    list.slot_List({"C00001"});
    QCOMPARE(list.RowCount(), 1);
    QVERIFY(!list.Row(1));
    list.slot_List({});
    QCOMPARE(list.RowCount(), 0);
}

void TestTakeList::recordsLandOnTheirRows()
{
    QFileInfoListWidget list;
    list.slot_List({"ABC123", "ABC124P7"});
    list.slot_Data(0, "ABC123", RecordOf("ABC123", {"1"}));
    list.slot_Data(1, "ABC124", RecordOf("ABC999", {"2"}));   // another list's record
    list.slot_Data(5, "ABC125", RecordOf("ABC125", {"6"}));   // past the rows
    QVERIFY(list.Row(0)->HasRecord());
    QVERIFY(!list.Row(1)->HasRecord());
    list.slot_Data(1, "ABC124", RecordOf("ABC124P7", {"2"}));
    QCOMPARE(list.Row(1)->TakeName(), QStringLiteral("ABC124P7"));
}

// Rows of scenes 1 1 2 2 2 3 3 1: in whatever order the loader's records
// come, the first take of each run of a scene is shaded, as in order.
void TestTakeList::sceneShadingIgnoresArrivalOrder_data()
{
    QTest::addColumn<QList<int>>("order");
    QTest::newRow("reversed") << QList<int>{7, 6, 5, 4, 3, 2, 1, 0};
    QTest::newRow("odd rows first") << QList<int>{1, 3, 5, 7, 0, 2, 4, 6};
    QTest::newRow("scene starts last") << QList<int>{1, 3, 4, 6, 0, 2, 5, 7};
}

void TestTakeList::sceneShadingIgnoresArrivalOrder()
{
    QFETCH(QList<int>, order);
    const QString scenes = QStringLiteral("11222331");
    const auto fill = [&scenes](QFileInfoListWidget* list, const QList<int>& rows) {
        list->resize(600, 300);
        SetLine(list, 0, {1, 2, 4});
        list->slot_List({"T00000", "T00001", "T00002", "T00003", "T00004", "T00005", "T00006", "T00007"});
        for (int i : rows) {
            tyTakeMetadata record = RecordOf(QStringLiteral("T0000%1").arg(i), {QString::number(i), scenes.mid(i, 1)});
            record.czScene = scenes.mid(i, 1);
            list->slot_Data(i, record.czTakeName, record);
        }
    };
    QFileInfoListWidget reference, list;
    fill(&reference, {0, 1, 2, 3, 4, 5, 6, 7});
    fill(&list, order);
    for (int i = 0; i < scenes.size(); ++i)
        QVERIFY2(list.Row(i)->IsFirstOfScene() == QList<int>({0, 2, 5, 7}).contains(i), qPrintable(QString::number(i)));
    QCOMPARE(list.grab().toImage(), reference.grab().toImage());
}

void TestTakeList::layoutLinesAreGuarded_data()
{
    QTest::addColumn<QList<int>>("ids");
    QTest::addColumn<QList<int>>("kinds");   // the used part of the 28 kinds
    QTest::newRow("out of range become Empty") << QList<int>{1, 2, -5, 69, 99, 4} << QList<int>{1, 2, 0, 0, 0, 4};
    QTest::newRow("holes packed") << QList<int>{1, -1, -1, 2, -1, 22} << QList<int>{1, 2, 22};
    QTest::newRow("index and file id forced") << QList<int>{4} << QList<int>{1, 2};
}

void TestTakeList::layoutLinesAreGuarded()
{
    QFETCH(QList<int>, ids);
    QFETCH(QList<int>, kinds);
    QFileInfoListWidget list;
    QSignalSpy reload(&list, &QFileInfoListWidget::signal_ReloadMetadata);
    QSignalSpy types(&list, &QFileInfoListWidget::signal_ColType);
    SetLine(&list, 0, ids);
    SetLine(&list, 0, ids);   // unchanged: no second reload
    QCOMPARE(reload.count(), 1);
    QCOMPARE(types.count(), 1);
    const QList<int> sent = types.first().at(1).value<QList<int>>();
    QCOMPARE(sent.mid(0, kinds.size()), kinds);
    QVERIFY(sent.size() == kDataCells && (kinds.size() == kDataCells || sent.at(kinds.size()) == -1));
}

void TestTakeList::mouseSelection()
{
    QFileInfoListWidget list;
    list.resize(600, 300);
    SetLine(&list, 0, {1, 2, 4});
    QStringList names;
    for (int i = 0; i < 12; ++i)
        names << QStringLiteral("T%1").arg(i, 5, 10, QLatin1Char('0'));
    list.slot_List(names);
    list.show();
    QVERIFY(QTest::qWaitForWindowExposed(&list));
    QCOMPARE(list.IdAt(QPoint(5, 30)), -1);   // the header
    QCOMPARE(list.IdAt(RowCentre(&list, 2)), 2);

    QTest::mouseClick(&list, Qt::LeftButton, Qt::ShiftModifier, RowCentre(&list, 3));
    QCOMPARE(list.SelectedIds(), QList<int>{});   // no anchor yet
    QTest::mouseClick(&list, Qt::LeftButton, Qt::NoModifier, RowCentre(&list, 1));
    QCOMPARE(list.SelectedIds(), QList<int>{1});
    QTest::mouseClick(&list, Qt::LeftButton, Qt::ShiftModifier, RowCentre(&list, 3));
    QCOMPARE(list.SelectedIds(), (QList<int>{1, 2, 3}));
    QTest::mouseClick(&list, Qt::LeftButton, Qt::ControlModifier, RowCentre(&list, 2));
    QCOMPARE(list.SelectedIds(), (QList<int>{1, 3}));
    QTest::mouseClick(&list, Qt::LeftButton, Qt::NoModifier, RowCentre(&list, 0));
    QCOMPARE(list.SelectedIds(), QList<int>{0});
}

void TestTakeList::demoDayLooksRight()
{
    QTemporaryDir dir;
    QVERIFY(!fixture::WriteDemoVolume(dir.path()).isEmpty());
    // A damaged take among them is listed and marked, not dropped.
    const QString dayPath = dir.path() + "/" + fixture::kDemoVolumeName + "/" + fixture::kDemoProjectName + ".BR1/2024-05-01.OVD";
    QFile damaged(dayPath + "/A01T99_01.WAV");
    QVERIFY(damaged.open(QIODevice::WriteOnly) && damaged.write(QByteArray(200, 'x')) == 200);
    damaged.close();
    QFileInfoListWidget list;
    list.resize(1400, 760);
    QMetadataThread loader;
    connect(&loader, &QMetadataThread::signal_State, &list, &QFileInfoListWidget::slot_MetadataThreadStateChanged);
    connect(&loader, &QMetadataThread::signal_Data, &list, &QFileInfoListWidget::slot_Data);
    connect(&loader, &QMetadataThread::signal_List, &list, &QFileInfoListWidget::slot_List);
    connect(&list, &QFileInfoListWidget::signal_ReloadMetadata, &loader, &QMetadataThread::slot_reload);
    tyReportBlock layout[kDataLines][kDataCells];
    for (int l = 0; l < kDataLines; ++l)
        for (int c = 0; c < kDataCells; ++c)
            layout[l][c] = DefaultReportDataLayout[l][c];
    // A report-like line: circled, notes and the first tracks.
    const QList<int> ids = {1, 2, 3, 4, 5, 6, 7, 10, 22, 23, 24, 25, 26, 27, 28, 29};
    for (int c = 0; c < kDataCells; ++c)
        layout[0][c].nFieldId = c < ids.size() ? ids.at(c) : -1;
    loader.SetDataSetup(&layout[0][0], 2, kDataCells, 1, false, CircleDisplayTake);
    list.SetupDataDisplayCircle(CircleDisplayTake);
    list.SetupDataLine(0, layout[0]);
    list.SetupDataLine(1, layout[1]);
    list.show();
    QVERIFY(QTest::qWaitForWindowExposed(&list));
    const QString volume = dir.path() + "/" + fixture::kDemoVolumeName;
    loader.SetDayDir(volume, QStringLiteral("%1.BR1").arg(fixture::kDemoProjectName), "2024-05-01.OVD");
    QTRY_VERIFY_WITH_TIMEOUT(list.RowCount() > 0 && list.Row(list.RowCount() - 1)->HasRecord(), 20000);
    QTest::qWait(100);
    int filled = 0;
    for (int i = 0; i < list.RowCount(); ++i)
        filled += list.Row(i)->GetMetaDataPtr()->lczLine0Texts.size() == ids.size() ? 1 : 0;
    QCOMPARE(filled, list.RowCount() - 1);
    QCOMPARE(list.Row(list.RowCount() - 1)->TakeName(), QStringLiteral("A01T99"));
    QTest::mouseClick(&list, Qt::LeftButton, Qt::NoModifier, RowCentre(&list, 3));
    int sum = 0;
    for (int w : list.ColumnWidths())
        sum += w;
    QVERIFY(sum <= 1400 && sum > 1200);

    // The long-name marks over a File ID read at a glance and stand clear of
    // it: drawn with and without them, a row differs only above the ID's
    // letters, over at least 9 pixel rows of strong contrast.
    QFileInfoWidget* marked = list.Row(8);
    QVERIFY(marked->TakeName().startsWith("A01T09") && marked->GetMetaDataPtr()->bFullUnderscore);
    const QImage withMarks = marked->grab().toImage();
    marked->GetMetaDataPtr()->bLongName = marked->GetMetaDataPtr()->bFullUnderscore = false;
    const QImage without = marked->grab().toImage();
    const int left = list.ColumnWidths().at(0) + 1, right = left + list.ColumnWidths().at(1) - 2;
    QRect tag, ink;
    int darkest = 255, lightest = 0;
    for (int y = 0; y < without.height(); ++y)
        for (int x = left; x < right; ++x) {
            const int grey = withMarks.pixel(x, y) != without.pixel(x, y) ? qGray(withMarks.pixel(x, y)) : -1;
            tag |= grey >= 0 ? QRect(x, y, 1, 1) : QRect();
            ink |= without.pixel(x, y) != without.pixel(left + 1, without.height() - 2) ? QRect(x, y, 1, 1) : QRect();
            darkest = grey >= 0 ? qMin(darkest, grey) : darkest;
            lightest = qMax(lightest, grey);
        }
    QVERIFY(tag.height() >= 9 && tag.bottom() < ink.top() && lightest - darkest >= 160);

    // In a narrow window (900 x 500) no text runs into the next cell, each
    // keeps the start of its text, and the list scrolls sideways instead.
    list.resize(520, 300);
    QTest::qWait(100);
    const QList<int> narrow = list.ColumnWidths();
    for (int i = 0; i < list.RowCount() - 1; ++i)
        for (int c = 0; c < narrow.size(); ++c)
            QVERIFY(QFontMetrics(generalFont10).horizontalAdvance(list.Row(i)->ShownText(c)) <= narrow.at(c) - 4
                    && (!list.Row(i)->ShownText(c).isEmpty() || list.Row(i)->Line0Text(c, nullptr).isEmpty()));
    QVERIFY(std::accumulate(narrow.begin(), narrow.end(), 0) > 520);
    const QImage shot = list.grab().toImage();
    QVERIFY(!shot.isNull());
    const QString grabs = qEnvironmentVariable("NALVO_GRAB_DIR");
    if (!grabs.isEmpty())
        QVERIFY(shot.save(QDir(grabs).filePath("take_list_narrow-" + QGuiApplication::platformName() + ".png")));
}

QTEST_MAIN(TestTakeList)
#include "test_take_list.moc"
