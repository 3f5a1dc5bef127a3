#include "player/meterballistics.h"
#include "player/metertables.h"
#include "player/qcustomvum.h"
#include "player/qverticalscale.h"
#include "tests/player/paintcounter.h"

#include <QSignalSpy>
#include <QTest>
#include <cmath>

class TestMeter : public QObject
{
    Q_OBJECT
private slots:
    void stepTableMatchesThresholds();
    void stepTableTracksDecibelLabels();
    void outOfRangeLevels();
    void zoneValuesAreClamped();
    void fallFollowsShift();
    void negativeOrHugeFallShiftIsClamped();
    void peakHoldsThenFalls();
    void overLampHoldsPeakPlusFive();
    void resetFallsToZeroAndValueBoxTexts();
    void geometryFromHeight();
    void zoneRectangles();
    void peakMarkerRectangles();
    void unchangedLevelPaintsNothing();
    void clickNeedsSamePixel();
    void mutedAndDisarmedInfo();
    void scaleLabels();
};

void TestMeter::stepTableMatchesThresholds()
{
    const int starts[32] = {0,   3,   6,   11,  20,  25,  32,  40,  45,   51,   57,
                            64,  72,  81,  91,  102, 115, 129, 145, 162,  182,  206,
                            229, 257, 289, 324, 408, 514, 726, 1026, 1450, 2047};
    for (int s = 1; s <= 32; ++s) {
        QCOMPARE(VoltToDecibel[starts[s - 1]], s);
        if (starts[s - 1] > 0)
            QCOMPARE(VoltToDecibel[starts[s - 1] - 1], s - 1);
    }
    for (int i = 1; i < 2048; ++i)
        QVERIFY(VoltToDecibel[i] >= VoltToDecibel[i - 1]);
    QCOMPARE(MeterStepOfLevel(4095), 32);
    QCOMPARE(MeterStepOfLevel(4094), 32);
    QCOMPARE(MeterStepOfLevel(4093), 31);
    QCOMPARE(MeterStepOfLevel(5), 1);
}

void TestMeter::stepTableTracksDecibelLabels()
{
    // Step s lights at the boundary labelled DecibelToScale[s-1], within 0.7 dB.
    for (int s = 3; s <= 32; ++s) {
        int first = 0;
        while (VoltToDecibel[first] < s)
            ++first;
        const double db = 20.0 * std::log10(2.0 * first / 4095.0);
        QVERIFY2(std::fabs(db + DecibelToScale[s - 1]) <= 0.7,
                 qPrintable(QString("step %1: %2 dB").arg(s).arg(db)));
    }
}

void TestMeter::outOfRangeLevels()
{
    QCOMPARE(MeterStepOfLevel(-2), 1);
    QCOMPARE(MeterStepOfLevel(-100000), 1);
    QCOMPARE(MeterStepOfLevel(4096), 32);
    QCOMPARE(MeterStepOfLevel(0x7FFFFFFF), 32);

    MeterBallistics b;
    b.update(4000);
    b.update(-7); // garbage below the reset value is silence, not a reset
    QVERIFY(b.lastLevel() == -7);
    QVERIFY(b.peakStep() >= 31);
    b.update(70000);
    QCOMPARE(b.shownStep(), 32);
    QVERIFY(b.overLit());
}

void TestMeter::zoneValuesAreClamped()
{
    QCOMPARE(ZoneScalePosition(40, 1), 62);
    QCOMPARE(ZoneScalePosition(-3, 1), 0);
    QCOMPARE(ZoneScalePosition(40, 0), 62);
    QCOMPARE(ZoneScalePosition(11, 1), 11);
    QCOMPARE(ZoneScalePosition(12, 1), 13);
    QCOMPARE(ZoneScalePosition(21, 1), 32);
    QCOMPARE(ZoneDecibelLabel(99), 0);
    QCOMPARE(ZoneDecibelLabel(28), 9);
}

void TestMeter::fallFollowsShift()
{
    MeterBallistics b;
    b.setFallShift(4);
    b.update(4095);
    QCOMPARE(b.shownStep(), 32);
    QList<int> shown;
    for (int i = 0; i < 4; ++i) {
        b.update(0);
        shown << b.shownStep();
    }
    QCOMPARE(shown, (QList<int>{30, 28, 26, 24}));
    // Near the target the arithmetic shift still moves one step.
    for (int i = 0; i < 40; ++i)
        b.update(0);
    QCOMPARE(b.shownStep(), 1);

    b.setFallShift(0);
    b.update(4095);
    b.update(0);
    QCOMPARE(b.shownStep(), 1);
}

void TestMeter::negativeOrHugeFallShiftIsClamped()
{
    MeterBallistics b;
    b.setFallShift(-3);
    QCOMPARE(b.fallShift(), 0);
    b.setFallShift(99);
    QCOMPARE(b.fallShift(), 15);
    b.update(4095);
    b.update(0);
    QCOMPARE(b.shownStep(), 31);
    b.setPeakHoldTime(-1);
    QCOMPARE(b.peakHoldTime(), 0);
}

void TestMeter::peakHoldsThenFalls()
{
    MeterBallistics b;
    b.setFallShift(0);
    b.setPeakHoldTime(20);
    const int high = 1100; // step 28
    const int low = 180;   // step 14
    QCOMPARE(MeterStepOfLevel(high), 28);
    QCOMPARE(MeterStepOfLevel(low), 14);
    b.update(high);
    QCOMPARE(b.peakStep(), 28);
    for (int i = 1; i < 20; ++i) {
        b.update(low);
        QCOMPARE(b.peakStep(), 28);
    }
    b.update(low);
    QCOMPARE(b.peakStep(), 14);

    // An equal target restarts the hold.
    b.update(high);
    for (int i = 0; i < 10; ++i)
        b.update(low);
    b.update(high);
    for (int i = 1; i < 20; ++i)
        b.update(low);
    QCOMPARE(b.peakStep(), 28);

    // The peak never falls below the shown step.
    MeterBallistics slow;
    slow.setFallShift(5);
    slow.setPeakHoldTime(1);
    slow.update(4095);
    slow.update(0);
    slow.update(0);
    QVERIFY(slow.peakStep() >= slow.shownStep());
}

void TestMeter::overLampHoldsPeakPlusFive()
{
    MeterBallistics b;
    b.setFallShift(0);
    b.setPeakHoldTime(20);
    QVERIFY(b.update(4095));
    QVERIFY(b.overLit());
    int lit = 0;
    bool changedAtOff = false;
    for (int i = 0; i < 30; ++i) {
        const bool changed = b.update(1000);
        if (b.overLit())
            ++lit;
        else if (changed)
            changedAtOff = true;
    }
    QCOMPARE(lit, 24);
    QVERIFY(changedAtOff);
}

void TestMeter::resetFallsToZeroAndValueBoxTexts()
{
    QCustomVum vum;
    vum.EnableDisplayMixerLevel(false);
    ShowSized(&vum, 20, 188);
    vum.setBalisticAndPeak(1, 20);
    vum.setValueViaLookup(5);
    QCOMPARE(vum.valueBoxText(), QString("--"));
    vum.setValueViaLookup(1100);
    QCOMPARE(vum.valueBoxText(), QString("09"));
    for (int i = 0; i < 20; ++i)
        vum.setValueViaLookup(-1);
    QCOMPARE(vum.shownStep(), 0);
    QCOMPARE(vum.peakStep(), 0);
    QCOMPARE(vum.valueBoxText(), QString("xx"));

    QCustomVum master;
    QCOMPARE(master.valueBoxText(), QString("--"));
    master.setValueMixerLevel(-1000);
    QCOMPARE(master.valueBoxText(), QString::fromUtf8("\u221E"));
    master.setValueMixerLevel(35);
    QCOMPARE(master.valueBoxText(), QString("03"));
}

void TestMeter::geometryFromHeight()
{
    QCustomVum vum;
    ShowSized(&vum, 20, 188);
    QCOMPARE(vum.barTop(), 14);
    QCOMPARE(vum.barHeight(), 160);
    vum.resize(15, 240);
    QCOMPARE(vum.barTop(), 24);
    QCOMPARE(vum.barHeight(), 192);
    vum.resize(15, 5); // smaller than the label boxes: no negative bar
    QVERIFY(vum.barHeight() >= 0);
}

void TestMeter::zoneRectangles()
{
    QCustomVum vum;
    ShowSized(&vum, 20, 188);
    vum.setZoneLevel(false, 28, 11, true, 23, 0);
    const int top = vum.barTop();
    const int h = vum.barHeight();
    QCOMPARE(vum.redZoneRect(), QRect(0, top, 20, h - 28 * h / 31 - 1));
    QCOMPARE(vum.yellowZoneRect(), QRect(0, top, 20, h - 11 * h / 31));
    vum.setZoneLevel(false, 28, 11, true, 23, 1);
    QCOMPARE(vum.yellowZoneRect().height(), h - 11 * h / 62);
    QCOMPARE(vum.redZoneRect().height(), h - 53 * h / 62 - 1);
    vum.setZoneLevel(false, 0, 0, true, 23, 0);
    QCOMPARE(vum.yellowZoneRect().height(), h);
    vum.setZoneLevel(false, 200, 200, true, 200, 7); // clamped to the top
    QCOMPARE(vum.yellowZoneRect().height(), 0);
    QCOMPARE(vum.redZoneRect().height(), 0);
}

void TestMeter::peakMarkerRectangles()
{
    QCustomVum vum;
    ShowSized(&vum, 20, 188);
    vum.setBalisticAndPeak(0, 20);
    const int h = vum.barHeight();
    const int top = vum.barTop();
    vum.setValueViaLookup(1100); // step 28
    QCOMPARE(vum.maskRect(), QRectF(0, top, 20, h - 28 * h / 31));
    QVERIFY(vum.peakGapRect().isEmpty());
    vum.setValueViaLookup(180); // step 14 under a held 28
    QCOMPARE(vum.maskRect(), QRectF(0, top, 20, h - 28 * h / 31));
    const float gapTop = 27.0f * h / 31.0f;
    const float gapBottom = 14.0f * h / 31.0f;
    QCOMPARE(vum.peakGapRect(), QRectF(0, top + h - gapTop, 20, gapTop - gapBottom));
}

void TestMeter::unchangedLevelPaintsNothing()
{
    QCustomVum vum;
    ShowSized(&vum, 20, 188);
    PaintCounter counter(&vum);
    vum.setValueViaLookup(1500);
    FlushPaints();
    QCOMPARE(counter.count, 1);
    for (int i = 0; i < 5; ++i) {
        vum.setValueViaLookup(1500);
        FlushPaints();
    }
    QCOMPARE(counter.count, 1);
    vum.setValueViaLookup(1501); // same step
    FlushPaints();
    QCOMPARE(counter.count, 1);
    vum.setValueViaLookup(4095);
    FlushPaints();
    QCOMPARE(counter.count, 2);
    // Held: emptied and set back as it was, no paint; set otherwise, one.
    const QColor input = vum.palette().color(QPalette::Window);
    vum.setColorInputType(input);
    FlushPaints();
    for (const QColor& last : {input, QColor(Qt::red)}) {
        const int before = counter.count;
        vum.HoldRepaint(true);
        vum.setColorInputType(Qt::gray);
        vum.setVumMixdown(true);
        vum.setVumMixdown(false);
        vum.setColorInputType(last);
        vum.HoldRepaint(false);
        FlushPaints();
        QCOMPARE(counter.count, before + (last == input ? 0 : 1));
    }
}

void TestMeter::clickNeedsSamePixel()
{
    QCustomVum vum;
    ShowSized(&vum, 20, 188);
    QSignalSpy spy(&vum, &QCustomVum::signal_MouseClicked);
    QTest::mousePress(&vum, Qt::RightButton, {}, QPoint(5, 50));
    QTest::mouseRelease(&vum, Qt::RightButton, {}, QPoint(6, 50));
    QCOMPARE(spy.count(), 0);
    QTest::mousePress(&vum, Qt::RightButton, {}, QPoint(5, 50));
    QTest::mouseRelease(&vum, Qt::RightButton, {}, QPoint(5, 50));
    QCOMPARE(spy.count(), 1);
    QCOMPARE(vum.GetLastButton(), int(Qt::RightButton));
}

void TestMeter::mutedAndDisarmedInfo()
{
    QCustomVum vum;
    vum.SetUserMuted(true);
    QCOMPARE(vum.infoText(), QString("Muted"));
    QCOMPARE(vum.effectiveNormalColor(), QColor(127, 127, 127)); // luma of green
    vum.SetUserMuted(false);
    vum.SetUserDisarmed(true);
    QCOMPARE(vum.infoText(), QString("Disarmed"));
    vum.SetUserDisarmed(false);
    QCOMPARE(vum.effectiveNormalColor(), QColor(Qt::green));
    vum.SetDarker(true);
    QCOMPARE(vum.effectiveNormalColor(), QColor(Qt::green).darker(150));
}

void TestMeter::scaleLabels()
{
    QCOMPARE(QVerticalScale::SlotLabel(0, 0), QString("inf"));
    QCOMPARE(QVerticalScale::SlotLabel(0, 7), QString("30"));
    QCOMPARE(QVerticalScale::SlotLabel(1, 7), QString("25"));
    QCOMPARE(QVerticalScale::SlotLabel(1, 0), QString::fromUtf8("-\u221E"));
    QVERIFY(QVerticalScale::SlotLabel(0, 6).isEmpty());
    // Slot 7 of the Original scale is the boundary of zone value 11 (-30 dB).
    QCOMPARE(QString::number(DecibelToScale[11]), QVerticalScale::SlotLabel(0, 7));
    // Crowded numbers: the first listed wins, a later one closer than the gap is dropped.
    const QVector<QPair<qreal, qreal>> spans{{0, 8}, {100, 108}, {9, 17}, {11, 19}, {20, 28}, {92, 99}};
    QCOMPARE(QVerticalScale::SpacedLabels(spans, 2.0), QVector<bool>({true, true, false, true, false, false}));
}

QTEST_MAIN(TestMeter)
#include "test_meter.moc"
