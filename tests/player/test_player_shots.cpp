// Grabs every player widget in its main states into PNG files for a visual
// check; runs only when NALVO_SHOTS_DIR names the folder.

#include "foundation/mapping.h"
#include "player/qcustomvum.h"
#include "player/qdialogsetup.h"
#include "player/qingridrouting.h"
#include "player/qpanpotitem.h"
#include "player/qplaytimeline.h"
#include "player/qtrackbutton.h"
#include "player/qverticalscale.h"
#include "tests/support/fixturewriter.h"

#include <QDir>
#include <QHBoxLayout>
#include <QTemporaryDir>
#include <QTest>

class TestPlayerShots : public QObject
{
    Q_OBJECT
private slots:
    void initTestCase();
    void meters();
    void stripControls();
    void timeline();
    void routingGrid();
    void preferences();

private:
    void Save(QWidget* widget, const QString& name);
    QString m_czDir;
};

void TestPlayerShots::initTestCase()
{
    m_czDir = qEnvironmentVariable("NALVO_SHOTS_DIR");
    if (m_czDir.isEmpty())
        QSKIP("NALVO_SHOTS_DIR not set");
    QDir().mkpath(m_czDir);
}

void TestPlayerShots::Save(QWidget* widget, const QString& name)
{
    QVERIFY(widget->grab().save(m_czDir + "/" + name + ".png"));
}

void TestPlayerShots::meters()
{
    QWidget strip;
    strip.setStyleSheet("background:#3c3c3c;");
    auto* layout = new QHBoxLayout(&strip);
    auto* scale = new QVerticalScale(&strip);
    scale->setFixedSize(20, 188);
    layout->addWidget(scale);
    const int levels[] = {-1, 5, 300, 1100, 2500, 4095};
    QList<QCustomVum*> meters;
    for (int i = 0; i < 8; ++i) {
        auto* vum = new QCustomVum(&strip);
        vum->setFixedSize(20, 188);
        vum->EnableDisplayMixerLevel(false);
        vum->setZoneLevel(false, 28, 11, true, 23, 0);
        vum->setBalisticAndPeak(4, 20);
        layout->addWidget(vum);
        meters << vum;
    }
    strip.show();
    QVERIFY(QTest::qWaitForWindowExposed(&strip));
    for (int i = 0; i < 6; ++i)
        meters[i]->setValueViaLookup(levels[i]);
    meters[4]->setValueViaLookup(200); // falling under a held peak
    meters[6]->setValueViaLookup(2000);
    meters[6]->SetUserMuted(true);
    meters[7]->setValueViaLookup(1500);
    meters[7]->SetUserDisarmed(true);
    meters[2]->SetDarker(true);
    Save(&strip, "meters_original");
    scale->SetScaleNumber(1);
    for (QCustomVum* vum : meters)
        vum->setZoneLevel(false, 28, 11, true, 23, 1);
    Save(&strip, "meters_extended");
}

void TestPlayerShots::stripControls()
{
    QWidget row;
    row.setStyleSheet("background:#3c3c3c;");
    auto* layout = new QHBoxLayout(&row);
    const int pans[][2] = {{100, 0}, {100, 100}, {0, 100}, {0, 0}, {100, 50}};
    for (const auto& p : pans) {
        auto* pot = new QPanPotItem(&row, 0);
        pot->setFixedSize(24, 24);
        pot->setPan(p[0], p[1]);
        layout->addWidget(pot);
    }
    auto* muted = new QPanPotItem(&row, 1);
    muted->setFixedSize(24, 24);
    muted->setPan(100, 100);
    muted->SetMuted(true);
    layout->addWidget(muted);
    auto* disarmed = new QPanPotItem(&row, 2);
    disarmed->setFixedSize(24, 24);
    disarmed->setDesarmed(true);
    layout->addWidget(disarmed);
    for (int i = 0; i < 6; ++i) {
        auto* button = new QTrackButton(&row);
        button->setFixedSize(40, 24);
        button->SetTrackIndex(i);
        button->SetActive(i != 1);
        button->slot_SoloTrack(i >= 3 ? 0x24 : 0);
        layout->addWidget(button);
    }
    row.show();
    QVERIFY(QTest::qWaitForWindowExposed(&row));
    Save(&row, "panpots_trackbuttons");
}

void TestPlayerShots::timeline()
{
    QTemporaryDir dir;
    fixture::TakeSpec spec = fixture::PolyTake("SHOT01", {0, 1, 2, 3, 4, 5, 6, 7});
    spec.frames = 48000 * 20;
    const fixture::WrittenTake written = fixture::WriteTake(dir.path(), spec);
    QVERIFY(!written.files.isEmpty());
    QString base = written.files.first();
    base.chop(4);

    QPlayTimeLine line;
    line.resize(900, 110);
    line.show();
    QVERIFY(QTest::qWaitForWindowExposed(&line));
    Save(&line, "timeline_empty");
    line.SetDurationSample(spec.frames);
    line.SetSampleRate(48000);
    line.SetFrameRate(25);
    line.setMarkerList({48000 * 5, 48000 * 12});
    line.setSlateList({48000 * 2});
    line.SetTcIn(10, 0, 0, 0);
    line.SetTcOut(10, 0, 20, 0);
    for (int t = 0; t < 8; ++t)
        line.SetTrackName(t, QString("Trk%1").arg(t + 1));
    line.LoadOndeFromAudioFile(base, true);
    line.SetCurrPosInSample(48000 * 8);
    const char* names[] = {"timeline_mode0", "timeline_mode1", "timeline_mode2", "timeline_mode3"};
    for (int mode = 0; mode < 4; ++mode) {
        line.SetWaveFormDisplayMode(tPlayWavDisplayMode(mode));
        Save(&line, names[mode]);
    }
    line.SetPlayingState(true, 0);
    line.do_SoloOnde(0x5);
    Save(&line, "timeline_playing_solo");
}

void TestPlayerShots::routingGrid()
{
    QInGridRouting grid;
    grid.setStyleSheet("background:#3c3c3c;");
    grid.resize(600, 230);
    const char* texts[] = {"MIC_1=0x1,", "MIC_2=0x2,MIC_3=0x3,", "LINE_1=0x1,DIGI_2=0x1,", "AES42_1=0x1,",
                           "MIX_1=0x1,MIX_2=0x1,", "DANTE_20=0x1,DANTE_10=0x1,", "TRACK_3=0x1,POSTFADE_4=0x1,",
                           "TALK_1=0x1,"};
    for (int t = 0; t < 8; ++t) {
        QMapping m;
        m.fromString(texts[t]);
        grid.slot_InGridTrackMapChanged(m, t, true);
        grid.slot_InGridTrackPanChanged(tPostFadePan{100, t % 3 == 0 ? 100 : 0}, t, true);
        grid.slot_InGridTrackActiveChanged(TrackActiveOn, t, true);
    }
    QMapping m;
    m.fromString("MIC_9=0x1,");
    grid.slot_InGridTrackMapChanged(m, 8, true);
    grid.slot_InGridTrackActiveChanged(TrackActiveDisarmed, 8, true);
    grid.show();
    QVERIFY(QTest::qWaitForWindowExposed(&grid));
    Save(&grid, "routing_grid");
}

void TestPlayerShots::preferences()
{
    QDialogSetup dialog;
    dialog.SetParameters(VumeterPostFader, 1, 23, 11, 28, 20, 4, 0, WavDisplayCenteredLinear);
    dialog.show();
    QVERIFY(QTest::qWaitForWindowExposed(&dialog));
    Save(&dialog, "preferences");
}

QTEST_MAIN(TestPlayerShots)
#include "test_player_shots.moc"
