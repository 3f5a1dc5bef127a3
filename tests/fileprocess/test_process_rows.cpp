// The pure rules and the widgets of the process dialog's rows: day grouping,
// the selection matrix, channel counts and size texts, row loading, pan
// click cycles, the M/S lock, write-back per kind and the check item's clicks.
#include "fileprocess/processinformation.h"
#include "fileprocess/processscan.h"
#include "fileprocess/processsizes.h"
#include "fileprocess/qcheckitem.h"
#include "fileprocess/qfileprocesssetupwidget.h"
#include "player/qpanpotitem.h"
#include "player/qtrackbutton.h"

#include <QCheckBox>
#include <QSignalSpy>
#include <QtTest>

#include <algorithm>

using Row = QFileProcessSetupWidget;

namespace {
// A record with the given present tracks and 1000-byte files.
tProcessInformation Record(const QList<int>& present)
{
    tProcessInformation info;
    info.czTagName = "ABC123";
    for (int t : present) {
        info.pbPresent[t] = true;
        info.TrackMax = qint16(qMax<int>(info.TrackMax, t));
    }
    info.FileSize = 1000;
    return info;
}

void Click(QWidget* w, Qt::MouseButton button)
{
    QEvent enter(QEvent::Enter);
    QApplication::sendEvent(w, &enter);
    QTest::mouseClick(w, button, Qt::NoModifier, QPoint(2, 2));
}

QPair<int, int> Pan(Row& row, int track)
{
    int l = 0, r = 0;
    row.PanPot(track)->pan(&l, &r);
    return {l, r};
}
}  // namespace

class TestProcessRows : public QObject
{
    Q_OBJECT
private slots:
    void dayGrouping_data();
    void dayGrouping();
    void selectionMatrix_data();
    void selectionMatrix();
    void channelCounts_data();
    void channelCounts();
    void sizeTexts_data();
    void sizeTexts();
    void rowTextsStayInTheNameColumn();
    void kindZeroShowsMixRouting();
    void panClickCycles_data();
    void panClickCycles();
    void msPairLocksPots();
    void writeBackPerKind();
    void kindChangeKeepsEdits();
    void oversizeRowRefuses();
    void checkItemClicks_data();
    void checkItemClicks();
};

void TestProcessRows::dayGrouping_data()
{
    QTest::addColumn<QStringList>("names");
    QTest::addColumn<QStringList>("takes");   // tag:first file
    QTest::newRow("separators, mono only")
        << QStringList{"ABC123_01.WAV", "ABC123_02.WAV", "ABD456-1.WAV", "ABD456-2.WAV", "QRS000+1.WAV", "XYZ789.WAV"}
        << QStringList{"ABC123:ABC123_01.WAV", "ABD456:ABD456-1.WAV"};
    // Takes sharing their first six characters stay apart.
    QTest::newRow("whole tag") << QStringList{"ABC123A_1.WAV", "ABC123A_2.WAV", "ABC123B_1.WAV"}
                               << QStringList{"ABC123A:ABC123A_1.WAV", "ABC123B:ABC123B_1.WAV"};
    QTest::newRow("mix and poly left out") << QStringList{"ABC123MX.WAV", "ABC123PX.WAV", "ABC123#3.WAV"}
                                           << QStringList{"ABC123:ABC123#3.WAV"};
}

void TestProcessRows::dayGrouping()
{
    QFETCH(QStringList, names);
    QFETCH(QStringList, takes);
    QStringList got;
    for (const procscan::tDayTake& t : procscan::GroupDayTakes(names))
        got << t.tag + ":" + t.fileName;
    QCOMPARE(got, takes);
}

void TestProcessRows::selectionMatrix_data()
{
    QTest::addColumn<QList<int>>("kinds");
    QTest::addColumn<bool>("valid");
    QTest::newRow("empty") << QList<int>{} << true;
    QTest::newRow("one project") << QList<int>{1} << true;
    QTest::newRow("two days") << QList<int>{2, 2} << true;
    QTest::newRow("mono takes") << QList<int>{4, 4, 4} << true;
    QTest::newRow("project and day") << QList<int>{1, 2} << false;
    QTest::newRow("take and day") << QList<int>{4, 2} << false;
    QTest::newRow("mix file") << QList<int>{4, 5} << false;
    QTest::newRow("poly file") << QList<int>{6} << false;
    QTest::newRow("volume") << QList<int>{8} << false;
    QTest::newRow("plain folder") << QList<int>{0} << false;
}

void TestProcessRows::selectionMatrix()
{
    QFETCH(QList<int>, kinds);
    QFETCH(bool, valid);
    QList<procscan::tSelectedRow> rows;
    for (int k : kinds) {
        procscan::tSelectedRow r;
        r.kind = k;
        r.path = "/nonexistent";
        rows << r;
    }
    QCOMPARE(procscan::SelectionIsValid(rows), valid);
    QList<tProcessInformation*> list;
    const procscan::Expansion e = procscan::ExpandSelection(rows, nullptr, &list);
    QCOMPARE(e == procscan::Expansion::Invalid, !valid);
    QVERIFY(list.isEmpty());
}

void TestProcessRows::channelCounts_data()
{
    QTest::addColumn<int>("kind");
    QTest::addColumn<QList<int>>("kept");   // present and checked
    QTest::addColumn<int>("minTrack");
    QTest::addColumn<int>("n");
    QTest::addColumn<int>("m");
    QTest::addColumn<int>("channels");
    QTest::newRow("stereo") << 1 << QList<int>{0, 5} << 0 << 1 << 8 << 2;
    QTest::newRow("poly up to last kept") << 2 << QList<int>{0, 1, 2, 3, 4} << 1 << 1 << 8 << 5;
    QTest::newRow("poly minimum") << 2 << QList<int>{0, 1, 2, 3, 4} << 8 << 1 << 8 << 8;
    QTest::newRow("poly none kept") << 2 << QList<int>{} << 8 << 1 << 8 << 0;
    QTest::newRow("rotate full") << 3 << QList<int>{0, 1, 2, 3, 4, 5, 6, 7} << 0 << 2 << 8 << 8;
    QTest::newRow("rotate wraps") << 3 << QList<int>{6} << 0 << 2 << 8 << 1;
    QTest::newRow("compact") << 4 << QList<int>{0, 2, 23} << 0 << 1 << 8 << 3;
}

void TestProcessRows::channelCounts()
{
    QFETCH(int, kind);
    QFETCH(QList<int>, kept);
    QFETCH(int, minTrack);
    QFETCH(int, n);
    QFETCH(int, m);
    QFETCH(int, channels);
    bool present[24] = {}, keep[24] = {};
    int trackMax = 7;
    for (int t : kept) {
        present[t] = keep[t] = true;
        trackMax = qMax(trackMax, t);
    }
    QCOMPARE(procsize::ChannelCount(kind, present, keep, minTrack, n, m, trackMax), channels);
}

// However long the name and large the font, name and size stay left of the
// first track column, the size whole: a long name on two lines, else cut.
void TestProcessRows::rowTextsStayInTheNameColumn()
{
    const QString name = QStringLiteral("A01T08==      3     t2==");
    for (const qreal factor : {1.05, 1.4, 2.5}) {
        QFont font(QStringLiteral("DejaVu Sans")), small = font;
        font.setPointSizeF(9 * factor);
        small.setPointSizeF(7 * factor);
        const QRect column(5, 0, 195, 35);
        const tyRowTextPlaces places = PlaceRowTexts(QFontMetrics(font), QFontMetrics(small), name, " (->5.5 MB)", column);
        QCOMPARE(places.bSizeBelow, factor < 2);
        QCOMPARE(places.czName == name, factor < 1.2);
        QCOMPARE(places.czSize.trimmed(), QStringLiteral("(->5.5 MB)"));
        QVERIFY(QFontMetrics(font).horizontalAdvance(places.czName) <= places.nameRect.width());
        QVERIFY(places.nameRect.left() >= 5 && places.nameRect.right() <= 199 && places.sizeRect.right() <= 199);
    }
    // In the least rows each track's head and gain stay in its column.
    QList<int> all;
    for (int t = 0; t < Row::kTracks; ++t)
        all << t;
    tProcessInformation info = Record(all);
    for (int t = 0; t < Row::kTracks; ++t)
        info.pnTrackVolume[t] = qint16(t % 2 == 0 ? 0 : 8);   // +12 dB, -12 dB
    QList<tProcessInformation*> records{&info};
    QProcessSetupWidget rows;
    rows.SetProcessInfo(&records);
    rows.resize(rows.minimumWidth(), 200);
    rows.show();
    QVERIFY(QTest::qWaitForWindowExposed(&rows));
    Row& row = *rows.Rows().first();
    int trackX = 0, trackWidth = 0, item = 0;
    row.GetPos(&trackX, &trackWidth, &item);
    const QImage image = row.grab().toImage();
    QList<QTrackButton*> heads = rows.findChildren<QTrackButton*>();
    std::sort(heads.begin(), heads.end(), [](QTrackButton* a, QTrackButton* b) { return a->x() < b->x(); });
    for (int t = 1; t < Row::kTracks; ++t) {
        QVERIFY2(heads.at(t - 1)->geometry().right() < heads.at(t)->x(), qPrintable(QString::number(t)));
        for (int y = item; y < image.height(); ++y)
            QVERIFY2(QColor(image.pixel(trackX + t * trackWidth, y)).lightness() < 160, qPrintable(QString::number(t)));
    }
}

void TestProcessRows::sizeTexts_data()
{
    QTest::addColumn<quint64>("bytes");
    QTest::addColumn<QString>("row");
    QTest::addColumn<QString>("total");
    QTest::newRow("0") << quint64(0) << "" << "0 B";
    QTest::newRow("1023") << quint64(1023) << "1023 B" << "1023 B";
    QTest::newRow("1024") << quint64(1024) << "1 KB" << "1.000 KB";
    QTest::newRow("1536") << quint64(1536) << "1.5 KB" << "1.500 KB";
    QTest::newRow("1e6") << quint64(1000000) << "976.5 KB" << "976.562 KB";
    QTest::newRow("1048575") << quint64(1048575) << "1023.9 KB" << "1023.999 KB";
    QTest::newRow("1 MB") << quint64(1048576) << "1 MB" << "1.000 MB";
    QTest::newRow("1 GB") << quint64(1073741824) << "1 GB" << "1.000 GB";
    QTest::newRow("4 GB") << quint64(4294967296) << "4 GB" << "4.000 GB";
    QTest::newRow("1 byte") << quint64(1) << "1 B" << "1 B";
}

void TestProcessRows::sizeTexts()
{
    QFETCH(quint64, bytes);
    QFETCH(QString, row);
    QFETCH(QString, total);
    QCOMPARE(procsize::RowSizeText(bytes), row);
    QCOMPARE(procsize::TotalSizeText(bytes), total);
}

// Kind 0 takes no settings: the pots show the recorded mix and stay put.
void TestProcessRows::kindZeroShowsMixRouting()
{
    tProcessInformation info = Record({0, 1, 2});
    info.Mapping[0].fromString("MIX_1=0x1");
    info.Mapping[1].fromString("MIX_2=0x1");
    Row row(nullptr, 0);
    row.resize(1100, 35);
    row.show();
    row.SetFileProcessInfo(&info);
    QCOMPARE(Pan(row, 0), qMakePair(100, 0));
    QCOMPARE(Pan(row, 1), qMakePair(0, 100));
    QCOMPARE(Pan(row, 2), qMakePair(0, 0));
    Click(row.PanPot(2), Qt::LeftButton);
    QCOMPARE(Pan(row, 2), qMakePair(0, 0));
    QVERIFY(row.ApplySettingsToInfo());
    QCOMPARE(info.pnPanLeft[2], qint16(100));   // the record keeps the user's settings
    QCOMPARE(info.ComputedSize, qint64(2000));
}

void TestProcessRows::panClickCycles_data()
{
    QTest::addColumn<int>("button");
    QTest::addColumn<QList<int>>("steps");   // left/right pairs after each click
    QTest::newRow("left") << int(Qt::LeftButton) << QList<int>{0, 100, 0, 0, 100, 0, 100, 100};
    QTest::newRow("right") << int(Qt::RightButton) << QList<int>{100, 0, 0, 0, 0, 100, 100, 100};
}

void TestProcessRows::panClickCycles()
{
    QFETCH(int, button);
    QFETCH(QList<int>, steps);
    tProcessInformation info = Record({0});
    Row row(nullptr, 0);
    row.SetProcessType(Row::ProcessStereoRemix, 0, 1, 8);
    row.resize(1100, 35);
    row.show();
    row.SetFileProcessInfo(&info);
    for (int i = 0; i < steps.size(); i += 2) {
        Click(row.PanPot(0), Qt::MouseButton(button));
        QCOMPARE(Pan(row, 0), qMakePair(steps.at(i), steps.at(i + 1)));
    }
    row.PanPot(0)->setPan(50, 30);
    Click(row.PanPot(0), Qt::MouseButton(button));
    QCOMPARE(Pan(row, 0), qMakePair(50, 30));
}

void TestProcessRows::msPairLocksPots()
{
    tProcessInformation info = Record({6, 7});
    info.pbMSPair[3] = true;
    info.pbSwapMS[3] = false;
    info.pnPanLeft[6] = 0;
    Row row(nullptr, 0);
    row.SetProcessType(Row::ProcessStereoRemix, 0, 1, 8);
    row.resize(1100, 35);
    row.show();
    row.SetFileProcessInfo(&info);
    QVERIFY(row.PairBox(3)->isVisible());
    QVERIFY(!row.PairBox(2)->isVisible());
    row.PairBox(3)->setChecked(true);
    QVERIFY(info.pbSwapMS[3]);
    QCOMPARE(Pan(row, 6), qMakePair(100, 100));
    QCOMPARE(Pan(row, 7), qMakePair(100, 100));
    Click(row.PanPot(7), Qt::LeftButton);
    QCOMPARE(Pan(row, 7), qMakePair(100, 100));
    row.PairBox(3)->setChecked(false);
    Click(row.PanPot(7), Qt::LeftButton);
    QCOMPARE(Pan(row, 7), qMakePair(0, 100));
    // A record whose swap flag is set starts with its box ticked.
    info.pbSwapMS[3] = true;
    Row again(nullptr, 1);
    again.SetProcessType(Row::ProcessStereoRemix, 0, 1, 8);
    again.SetFileProcessInfo(&info);
    QVERIFY(again.PairBox(3)->isChecked());
}

// Stereo kinds mute by a silent pan only, poly kinds by the check item only.
void TestProcessRows::writeBackPerKind()
{
    tProcessInformation info = Record({0, 1});
    Row row(nullptr, 0);
    row.SetProcessType(Row::ProcessStereoRemix, 0, 1, 8);
    row.SetFileProcessInfo(&info);
    row.PanPot(0)->setPan(0, 0);
    row.CheckItem(1)->SetChecked(false);   // hidden page: no effect on a stereo kind
    QVERIFY(row.ApplySettingsToInfo());
    QVERIFY(info.pbTrackMute[0]);
    QVERIFY(!info.pbTrackMute[1]);
    row.SetProcessType(Row::ProcessPolyInterleave, 0, 1, 8);
    row.CheckItem(0)->SetChecked(true);
    row.CheckItem(1)->SetChecked(false);
    QVERIFY(row.ApplySettingsToInfo());
    QVERIFY(!info.pbTrackMute[0]);
    QVERIFY(info.pbTrackMute[1]);
    QCOMPARE(info.ComputedSize, qint64(1000));
}

void TestProcessRows::kindChangeKeepsEdits()
{
    tProcessInformation info = Record({0, 1, 2});
    Row row(nullptr, 0);
    row.SetProcessType(Row::ProcessPolyInterleave, 0, 1, 8);
    row.SetFileProcessInfo(&info);
    row.CheckItem(2)->SetChecked(false);
    row.SetProcessType(Row::ProcessPolyCompact, 0, 1, 8);
    QVERIFY(!row.CheckItem(2)->Checked());
    QCOMPARE(row.ComputedSize(), qint64(2000));
    // A click's receivers read the size it gives.
    qint64 seen = -1;
    connect(&row, &Row::signal_checkItemChanged, this, [&] { seen = row.ComputedSize(); });
    emit row.CheckItem(1)->signal_itemClicked(1, 1);
    QCOMPARE(seen, qint64(1000));
}

void TestProcessRows::oversizeRowRefuses()
{
    QProcessSetupWidget list;
    QList<tProcessInformation*> records;
    tProcessInformation small = Record({0}), huge = Record({0});
    huge.FileSize = 0xFFFFFFFF;
    records << &small << &huge;
    list.SetProcessType(Row::ProcessPolyCompact, 0, 1, 8);
    list.SetProcessInfo(&records);
    QCOMPARE(list.Rows().size(), 2);
    QVERIFY(!list.ApplySettingsToInfo());
    QCOMPARE(small.ComputedSize, qint64(1000));   // every record is still written
    QCOMPARE(huge.ComputedSize, qint64(0xFFFFFFFF));
    list.SetNbFiles(4);
    QCOMPARE(list.Rows().at(3)->id(), 3);
}

void TestProcessRows::checkItemClicks_data()
{
    QTest::addColumn<QString>("sequence");   // p press, l leave, e enter, r release
    QTest::addColumn<int>("clicks");
    QTest::newRow("click") << "epr" << 1;
    QTest::newRow("leave before release") << "eplr" << 0;
    QTest::newRow("leave and come back") << "eplepr" << 1;
    QTest::newRow("release without press") << "er" << 0;
    // A press that ended outside does not arm the next release.
    QTest::newRow("stale press") << "eplrer" << 0;
}

void TestProcessRows::checkItemClicks()
{
    QFETCH(QString, sequence);
    QFETCH(int, clicks);
    QCheckItem item(nullptr, 5);
    item.resize(20, 20);
    item.show();
    QSignalSpy spy(&item, &QCheckItem::signal_itemClicked);
    for (QChar c : sequence) {
        if (c == 'e') {
            QEvent e(QEvent::Enter);
            QApplication::sendEvent(&item, &e);
        } else if (c == 'l') {
            QEvent e(QEvent::Leave);
            QApplication::sendEvent(&item, &e);
        } else if (c == 'p') {
            QTest::mousePress(&item, Qt::LeftButton, Qt::NoModifier, QPoint(3, 3));
        } else {
            QTest::mouseRelease(&item, Qt::LeftButton, Qt::NoModifier, QPoint(3, 3));
        }
    }
    QCOMPARE(spy.count(), clicks);
    if (clicks)
        QCOMPARE(spy.first().at(0).toInt(), 5);
    item.setDisabled(true);
    QCOMPARE(item.Glyph(), QString::fromUtf8("\u2022"));
}

QTEST_MAIN(TestProcessRows)
#include "test_process_rows.moc"
