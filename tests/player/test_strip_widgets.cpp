#include "player/qpanpotitem.h"
#include "player/qtrackbutton.h"
#include "tests/player/paintcounter.h"

#include <QSignalSpy>
#include <QTest>

// Pan pot and track button of the track strip.
class TestStripWidgets : public QObject
{
    Q_OBJECT
private slots:
    void balanceTable_data();
    void balanceTable();
    void oneSideUnchanged();
    void intermediateKeepsEarlierBalance();
    void panReadBack();
    void clickNeedsSamePixel();
    void mutedCentreColours();
    void trackButtonTexts();
    void trackButtonColours();
    void trackButtonGrowsForItsFont();
};

void TestStripWidgets::balanceTable_data()
{
    QTest::addColumn<int>("left");
    QTest::addColumn<int>("right");
    QTest::addColumn<int>("leftBalance");
    QTest::addColumn<int>("rightBalance");
    QTest::addColumn<QString>("symbol");
    QTest::newRow("left") << 100 << 0 << 100 << 0 << "L";
    QTest::newRow("right") << 0 << 100 << 0 << 100 << "R";
    QTest::newRow("centre") << 100 << 100 << 50 << 50 << "C";
    QTest::newRow("none") << 0 << 0 << 0 << 0 << "X";
    QTest::newRow("left-heavy") << 100 << 50 << 66 << 34 << "";
    QTest::newRow("right-heavy") << 50 << 100 << 34 << 66 << "";
}

void TestStripWidgets::balanceTable()
{
    QFETCH(int, left);
    QFETCH(int, right);
    QPanPotItem pot(nullptr, 3);
    pot.setPan(left, right);
    QTEST(pot.leftBalance(), "leftBalance");
    QTEST(pot.rightBalance(), "rightBalance");
    QTEST(pot.symbol(), "symbol");
}

void TestStripWidgets::oneSideUnchanged()
{
    QPanPotItem pot(nullptr, 0);
    pot.setPan(100, 0);
    pot.setPan(-1, 100);
    int l = 0, r = 0;
    pot.pan(&l, &r);
    QCOMPARE(l, 100);
    QCOMPARE(r, 100);
    QCOMPARE(pot.symbol(), QString("C"));
    pot.setPan(tPostFadePan{0, 100});
    QCOMPARE(pot.symbol(), QString("R"));
    pot.setPan(97);
    QCOMPARE(pot.symbol(), QString("L"));
    pot.setPan(42); // not a code: nothing changes
    QCOMPARE(pot.symbol(), QString("L"));
}

void TestStripWidgets::intermediateKeepsEarlierBalance()
{
    QPanPotItem pot(nullptr, 0);
    pot.setPan(100, 0);
    pot.setPan(50, 50);
    QCOMPARE(pot.leftBalance(), 100);
    QCOMPARE(pot.rightBalance(), 0);
    QCOMPARE(pot.symbol(), QString());
}

void TestStripWidgets::panReadBack()
{
    QPanPotItem pot(nullptr, 0);
    pot.setPan(100, 0);
    int l = -5, r = -5;
    QCOMPARE(pot.pan(nullptr, &r), 1);
    QCOMPARE(r, -5);
    QCOMPARE(pot.pan(&l, nullptr), 2);
    QCOMPARE(l, 100);
    QCOMPARE(pot.pan(&l, &r), 0);
    QCOMPARE(r, 0);
}

void TestStripWidgets::clickNeedsSamePixel()
{
    QPanPotItem pot(nullptr, 7);
    QVERIFY(ShowSized(&pot, 24, 24));
    QSignalSpy spy(&pot, &QPanPotItem::signal_itemClicked);
    QTest::mousePress(&pot, Qt::LeftButton, {}, QPoint(10, 10));
    QTest::mouseRelease(&pot, Qt::LeftButton, {}, QPoint(11, 10));
    QCOMPARE(spy.count(), 0);
    QTest::mousePress(&pot, Qt::RightButton, {}, QPoint(10, 10));
    QTest::mouseRelease(&pot, Qt::RightButton, {}, QPoint(10, 10));
    QCOMPARE(spy.count(), 1);
    QCOMPARE(spy.at(0).at(0).toInt(), 7);
    QCOMPARE(spy.at(0).at(1).toInt(), int(Qt::RightButton));
    QCOMPARE(pot.GetLastButton(), int(Qt::RightButton));
}

void TestStripWidgets::mutedCentreColours()
{
    QPanPotItem pot(nullptr, 0);
    pot.resize(40, 40);
    pot.setPan(100, 100);
    QImage live = pot.grab().toImage();
    QCOMPARE(QColor(live.pixel(3, 20)), QColor(184, 0, 0));
    QCOMPARE(QColor(live.pixel(34, 20)), QColor(58, 157, 35));
    pot.SetMuted(true);
    QImage muted = pot.grab().toImage();
    QCOMPARE(QColor(muted.pixel(3, 20)), QColor(79, 79, 79));
    QCOMPARE(QColor(muted.pixel(34, 20)), QColor(127, 127, 127));
    pot.SetMuted(false);
    pot.setDesarmed(true);
    QCOMPARE(pot.symbol(), QString("D"));
    QCOMPARE(QColor(pot.grab().toImage().pixel(3, 20)), QColor(Qt::black));
    pot.setActive(false);
    QCOMPARE(pot.symbol(), QString::fromUtf8("\u2022"));
}

void TestStripWidgets::trackButtonTexts()
{
    QTrackButton button;
    button.resize(40, 30);
    button.SetTrackIndex(23);
    QCOMPARE(button.FieldColor(), QColor(18, 47, 114));
    QImage image = button.grab().toImage();
    // White text pixels appear somewhere in the middle band.
    bool white = false;
    for (int x = 0; x < image.width(); ++x)
        white = white || QColor(image.pixel(x, 15)) == QColor(Qt::white);
    QVERIFY(white);
}

void TestStripWidgets::trackButtonColours()
{
    QTrackButton t1, t3, t6, inactive, inactiveSolo;
    t1.SetTrackIndex(0);
    t3.SetTrackIndex(2);
    t6.SetTrackIndex(5);
    inactive.SetTrackIndex(1);
    inactive.SetActive(false);
    inactiveSolo.SetTrackIndex(2);
    inactiveSolo.SetActive(false);
    for (QTrackButton* b : {&t1, &t3, &t6, &inactive, &inactiveSolo}) {
        b->resize(40, 30);
        b->slot_SoloTrack(0x24);
    }
    auto corner = [](QTrackButton& b) { return QColor(b.grab().toImage().pixel(1, 1)); };
    QCOMPARE(corner(t3), QColor(Qt::yellow));
    QCOMPARE(t3.TextColor(), QColor(Qt::black));
    QCOMPARE(corner(t6), QColor(Qt::yellow));
    QCOMPARE(corner(t1), QColor(46, 58, 87));
    QCOMPARE(t1.TextColor(), QColor(Qt::white));
    QCOMPARE(corner(inactive), QColor(96, 96, 96));
    QCOMPARE(inactive.TextColor(), QColor(Qt::black));
    QCOMPARE(corner(inactiveSolo), QColor(Qt::yellow));

    t1.slot_SoloTrack(0);
    QCOMPARE(corner(t1), QColor(18, 47, 114));
    t1.OnTrackDisarmed(0x1);
    QCOMPARE(corner(t1), QColor(Qt::lightGray));
    QCOMPARE(t1.TextColor(), QColor(Qt::white));
}

void TestStripWidgets::trackButtonGrowsForItsFont()
{
    QTrackButton button;
    button.SetTrackIndex(23);
    button.resize(8, 6);
    button.grab();
    QVERIFY(button.minimumWidth() > 8);
    QVERIFY(button.minimumHeight() > 6);
}

QTEST_MAIN(TestStripWidgets)
#include "test_strip_widgets.moc"
