#include "foundation/mapping.h"
#include "player/qdialogsetup.h"
#include "player/qingridrouting.h"
#include "player/qmapitem.h"
#include "player/qpanpotitem.h"
#include "tests/player/paintcounter.h"
#include "tests/support/modalboxanswerer.h"
#include "widgets/qbriselbluelabel.h"
#include "widgets/qbriselministack.h"
#include "widgets/qdialogmessageliste.h"
#include "widgets/ui_qdialogmessageliste.h"

#include <QApplication>
#include <QListWidget>
#include <QSignalSpy>
#include <QTest>
#include <QTimer>

namespace {

QMapping Parse(const QString& text)
{
    QMapping m;
    m.fromString(text);
    return m;
}

// Answers the next pick list: moves to the row and presses Return, or
// presses Escape when row is -1. Records the list's title and opening row.
struct ListAnswer
{
    int row = -1;
    QString title;
    int openedOn = -2;
    bool seen = false;
    ModalBoxAnswerer answerer;

    void Arm()
    {
        answerer.ThenDo([this](QWidget* box) {
            auto* list = qobject_cast<QDialogMessageListe*>(box);
            if (!list)
                return;
            seen = true;
            title = list->Form()->m_CtrlHeaderLabel->text();
            openedOn = list->Form()->m_CtrlListWidget->currentRow();
            if (row < 0) {
                QTest::keyClick(list, Qt::Key_Escape);
                return;
            }
            list->Form()->m_CtrlListWidget->setCurrentRow(row);
            QTest::keyClick(list, Qt::Key_Return);
        });
    }
};

QString FieldText(QDialogSetup& dialog, tSetupValue which)
{
    return dialog.Field(which)->Label()->text();
}

} // namespace

class TestRoutingSetup : public QObject
{
    Q_OBJECT
private slots:
    void layoutWidths();
    void cellsFromMappingTexts();
    void extraInputsTakeFreeCells();
    void storeFalseRedrawsStored();
    void panAndArming();
    void cellLabels();
    void setupLabelsFromValues();
    void setupPickMapsRowsToValues();
    void setupCancelledPickStillApplies();
};

void TestRoutingSetup::layoutWidths()
{
    QInGridRouting grid;
    QVERIFY(ShowSized(&grid, 549, 200));
    QCOMPARE(grid.ColumnGap(), 3);
    QCOMPARE(grid.CellWidth(), 20);
    QCOMPARE(grid.LeftMargin(), 0);
    grid.resize(600, 200);
    QCOMPARE(grid.ColumnGap(), 2);
    QCOMPARE(grid.CellWidth(), 23);
    QCOMPARE(grid.LeftMargin(), 1);
    QCOMPARE(grid.Cell(23, 7)->objectName(), QString("m_Ctrl_InGrid_OutmapItem_T24_8"));
    QCOMPARE(grid.PanPot(0)->objectName(), QString("m_Ctrl_InGrid_PanPotItem_T1"));
    // Neighbouring cells share their border line.
    QCOMPARE(grid.Cell(0, 1)->y(), grid.Cell(0, 0)->y() + grid.Cell(0, 0)->height() - 1);
}

void TestRoutingSetup::cellsFromMappingTexts()
{
    QInGridRouting grid;
    grid.slot_InGridTrackMapChanged(Parse("MIC_1=0x1,LINE_1=0x1,"), 0, true);
    QCOMPARE(grid.Cell(0, 0)->cellText(), QString("L1"));
    QCOMPARE(grid.Cell(0, 0)->fillColor(), QColor(140, 140, 40));

    grid.slot_InGridTrackMapChanged(Parse("MIX_1=0x1,MIX_2=0x1,"), 1, true);
    QCOMPARE(grid.Cell(1, 0)->cellText(), QString("Xl"));
    QCOMPARE(grid.Cell(1, 0)->fillColor(), QColor(184, 0, 0));
    QCOMPARE(grid.Cell(1, 1)->cellText(), QString("Xr"));
    QCOMPARE(grid.Cell(1, 1)->fillColor(), QColor(58, 157, 35));

    grid.slot_InGridTrackMapChanged(Parse("MIC_1=0x2,MIC_2=0x3,"), 2, true);
    QCOMPARE(grid.Cell(2, 0)->cellText(), QString("m1"));
    QCOMPARE(grid.Cell(2, 1)->cellText(), QString("s2"));

    grid.slot_InGridTrackMapChanged(Parse("MIC_1=0x1,DANTE_10=0x1,"), 3, true);
    QCOMPARE(grid.Cell(3, 0)->cellText(), QString("M1"));
    QCOMPARE(grid.Cell(3, 1)->cellText(), QString("N10"));

    grid.slot_InGridTrackMapChanged(Parse("TALK_1=0x1,"), 4, true);
    for (int k = 0; k < 8; ++k)
        QVERIFY(grid.Cell(4, k)->cellText().isEmpty());
    QCOMPARE(grid.PanPot(4)->symbol(), QString("X")); // active, pan (0,0)

    grid.slot_InGridTrackMapChanged(QMapping(), 5, true);
    for (int k = 0; k < 8; ++k)
        QCOMPARE(grid.Cell(5, k)->map(-1), 0);
    QCOMPARE(grid.PanPot(5)->symbol(), QString::fromUtf8("\u2022")); // inactive

    // Out of range: nothing happens.
    grid.slot_InGridTrackMapChanged(Parse("MIC_1=0x1,"), 24, true);
    grid.slot_InGridTrackMapChanged(Parse("MIC_1=0x1,"), -1, true);
}

void TestRoutingSetup::extraInputsTakeFreeCells()
{
    QInGridRouting grid;
    grid.slot_InGridTrackMapChanged(Parse("DANTE_20=0x1,DANTE_10=0x1,"), 0, true);
    QCOMPARE(grid.Cell(0, 0)->cellText(), QString("N10"));
    QCOMPARE(grid.Cell(0, 1)->cellText(), QString("N20"));

    // Eight low inputs fill the column: the high one is not shown.
    grid.slot_InGridTrackMapChanged(
        Parse("MIC_1=0x1,MIC_2=0x1,MIC_3=0x1,MIC_4=0x1,MIC_5=0x1,MIC_6=0x1,MIC_7=0x1,DIGI_8=0x1,DANTE_40=0x1,"), 1,
        true);
    QCOMPARE(grid.Cell(1, 7)->cellText(), QString("D8"));
    for (int k = 0; k < 8; ++k)
        QVERIFY(!grid.Cell(1, k)->cellText().startsWith('N'));

    // Six low inputs leave two cells: the two lowest of three extras fit.
    grid.slot_InGridTrackMapChanged(
        Parse("MIC_1=0x1,MIC_2=0x1,MIC_3=0x1,MIC_4=0x1,MIC_5=0x1,MIC_6=0x1,DANTE_30=0x1,DANTE_12=0x1,DANTE_50=0x1,"),
        2, true);
    QCOMPARE(grid.Cell(2, 6)->cellText(), QString("N12"));
    QCOMPARE(grid.Cell(2, 7)->cellText(), QString("N30"));
}

void TestRoutingSetup::storeFalseRedrawsStored()
{
    QInGridRouting grid;
    grid.slot_InGridTrackMapChanged(Parse("LINE_2=0x1,"), 3, true);
    grid.slot_InGridTrackMapChanged(Parse("MIC_1=0x1,"), 3, false);
    QCOMPARE(grid.Cell(3, 1)->cellText(), QString("L2"));
    QVERIFY(grid.Cell(3, 0)->cellText().isEmpty());
    int count = -1, last = -2;
    grid.getNbRecTrackActive(&count, &last);
    QCOMPARE(count, 1);
    QCOMPARE(last, 3);
}

void TestRoutingSetup::panAndArming()
{
    QInGridRouting grid;
    QVERIFY(ShowSized(&grid, 600, 200));
    grid.slot_InGridTrackMapChanged(Parse("MIC_1=0x1,"), 2, true);
    grid.slot_InGridTrackPanChanged(tPostFadePan{100, 0}, 2, true);
    QCOMPARE(grid.PanPot(2)->symbol(), QString("L"));
    grid.slot_InGridTrackActiveChanged(TrackActiveDisarmed, 2, true);
    QVERIFY(grid.Cell(2, 0)->deactivated());
    QCOMPARE(grid.PanPot(2)->symbol(), QString("D"));
    QImage image = grid.grab().toImage();
    // The mapped cell turns black; an empty one is shaded against an armed column.
    QCOMPARE(QColor(image.pixel(grid.Cell(2, 0)->geometry().topLeft() + QPoint(2, 2))), QColor(Qt::black));
    const int shaded = QColor(image.pixel(grid.Cell(2, 3)->geometry().topLeft() + QPoint(2, 2))).lightness();
    const int armed = QColor(image.pixel(grid.Cell(5, 3)->geometry().topLeft() + QPoint(2, 2))).lightness();
    QVERIFY(shaded < armed);
    int count = -1;
    grid.getNbRecTrackActive(&count, nullptr);
    QCOMPARE(count, 0);
    grid.slot_InGridTrackActiveChanged(TrackActiveOn, 2, true);
    QVERIFY(!grid.Cell(2, 0)->deactivated());
    QCOMPARE(grid.PanPot(2)->symbol(), QString("L"));
}

void TestRoutingSetup::cellLabels()
{
    QMapItem mic(nullptr, InputMic, 0, 0, false);
    QCOMPARE(mic.symbol(), QString("M1"));
    QCOMPARE(mic.text(), QString("Mic 1"));
    QMapItem mix(nullptr, InputMix, 0, 1, false);
    QCOMPARE(mix.symbol(), QString("Xl"));
    QCOMPARE(mix.text(), QString("Mix Left"));
    QMapItem none(nullptr, InputNone, -1, 2, false);
    QCOMPARE(none.symbol(), QString("??"));
    QCOMPARE(none.text(), QString("???  ? "));
    QCOMPARE(none.cellText(), QString("X"));
    QMapItem track(nullptr, InputTrack, 3, 3, false);
    track.setMap(-1, 2);
    QCOMPARE(track.cellText(), QString("P4"));
    QCOMPARE(QInGridRouting::MicKind(7), InputMic);
}

void TestRoutingSetup::setupLabelsFromValues()
{
    QDialogSetup dialog;
    QCOMPARE(dialog.size(), QSize(450, 190));
    dialog.SetParameters(VumeterPostFader, 5, 23, 11, 28, 20, 4, 0, WavDisplayHalfDb);
    QCOMPARE(FieldText(dialog, SetupDisplayLevels), QString("Post-Fader"));
    QCOMPARE(FieldText(dialog, SetupGrid), QString("ON"));
    QCOMPARE(FieldText(dialog, SetupBlueLine), QString("-18 dB"));
    QCOMPARE(FieldText(dialog, SetupYellowZone), QString("-30 dB"));
    QCOMPARE(FieldText(dialog, SetupRedZone), QString(" -9 dB"));
    QCOMPARE(FieldText(dialog, SetupPeakHold), QString("2.0 sec"));
    QCOMPARE(FieldText(dialog, SetupBallistic), QString("2"));
    QCOMPARE(FieldText(dialog, SetupScale), QString("Original"));
    QCOMPARE(FieldText(dialog, SetupWaveform), QString("Half dB Scale"));
    // A yellow value outside the table leaves the previous text.
    dialog.SetParameters(VumeterPreFader, 0, 23, 40, 28, 20, 4, 1, WavDisplayCenteredLinear);
    QCOMPARE(FieldText(dialog, SetupYellowZone), QString("-30 dB"));
    QCOMPARE(FieldText(dialog, SetupGrid), QString("OFF"));
    int yellow = 0, grid = -1;
    dialog.GetParameters(nullptr, &grid, nullptr, &yellow, nullptr, nullptr, nullptr, nullptr, nullptr);
    QCOMPARE(yellow, 40);
    QCOMPARE(grid, 0);
}

void TestRoutingSetup::setupPickMapsRowsToValues()
{
    QDialogSetup dialog;
    dialog.SetParameters(VumeterPostFader, 5, 23, 40, 28, 20, 4, 0, WavDisplayCenteredLinear);
    dialog.show();
    QSignalSpy changed(&dialog, &QDialogSetup::signal_ParameterChanged);
    QCOMPARE(int(dialog.Manager().GetState()), int(QBriselMiniStackManager::MANAGER_SELECT));

    // First field (display levels): opens on row 1 for value 1; pick row 0.
    ListAnswer answer;
    answer.row = 0;
    answer.Arm();
    QTest::keyClick(&dialog, Qt::Key_Return);
    QVERIFY(answer.seen);
    QCOMPARE(answer.title, QString("Display levels"));
    QCOMPARE(answer.openedOn, 1);
    QCOMPARE(changed.count(), 1);
    tVumeterDisplayPrePostFader prePost = VumeterPostFader;
    dialog.GetParameters(&prePost, nullptr, nullptr, nullptr, nullptr, nullptr, nullptr, nullptr, nullptr);
    QCOMPARE(prePost, VumeterPreFader);
    QCOMPARE(FieldText(dialog, SetupDisplayLevels), QString("Pre-Fader"));

    // Step back to Select if the manager went in one level, then move on.
    while (dialog.Manager().GetState() != QBriselMiniStackManager::MANAGER_SELECT) {
        ListAnswer none;
        none.Arm();
        QTest::keyClick(&dialog, Qt::Key_Return);
    }
    auto pickOn = [&](int rightMoves, int row, QString* title, int* openedOn) {
        for (int i = 0; i < rightMoves; ++i)
            QTest::keyClick(&dialog, Qt::Key_Right);
        ListAnswer a;
        a.row = row;
        a.Arm();
        QTest::keyClick(&dialog, Qt::Key_Return);
        *title = a.title;
        *openedOn = a.openedOn;
        while (dialog.Manager().GetState() != QBriselMiniStackManager::MANAGER_SELECT) {
            ListAnswer none;
            none.Arm();
            QTest::keyClick(&dialog, Qt::Key_Return);
        }
    };
    QString title;
    int openedOn = -1;
    // Grid 5 opens on "OFF".
    pickOn(1, 1, &title, &openedOn);
    QCOMPARE(title, QString("Grid"));
    QCOMPARE(openedOn, 0);
    // Navigation order: display, grid, blue line, scale, yellow.
    pickOn(2, 3, &title, &openedOn);
    QCOMPARE(title, QString("Vumeter Scale"));
    pickOn(1, 2, &title, &openedOn);
    QCOMPARE(title, QString("Yellow Zone Level"));
    QCOMPARE(openedOn, 0); // 40 is not in the table
    // Ballistic: red, peak hold, ballistic; "(slow) 1" is value 5.
    pickOn(3, 0, &title, &openedOn);
    QCOMPARE(title, QString("Balistic"));
    QCOMPARE(openedOn, 1);

    int grid = 0, yellow = 0, ballistic = 0;
    dialog.GetParameters(nullptr, &grid, nullptr, &yellow, nullptr, nullptr, &ballistic, nullptr, nullptr);
    QCOMPARE(grid, 1);
    QCOMPARE(yellow, 29);
    QCOMPARE(ballistic, 5);
}

void TestRoutingSetup::setupCancelledPickStillApplies()
{
    QDialogSetup dialog;
    dialog.SetParameters(VumeterPostFader, 1, 23, 11, 28, 20, 4, 0, WavDisplayCenteredDb);
    dialog.show();
    QSignalSpy changed(&dialog, &QDialogSetup::signal_ParameterChanged);
    ListAnswer cancel;
    cancel.Arm();
    QTest::keyClick(&dialog, Qt::Key_Return);
    QVERIFY(cancel.seen);
    QCOMPARE(changed.count(), 1);
    tVumeterDisplayPrePostFader prePost = VumeterPreFader;
    tPlayWavDisplayMode mode = WavDisplayHalfDb;
    dialog.GetParameters(&prePost, nullptr, nullptr, nullptr, nullptr, nullptr, nullptr, nullptr, &mode);
    QCOMPARE(prePost, VumeterPostFader);
    QCOMPARE(mode, WavDisplayCenteredDb);
}

QTEST_MAIN(TestRoutingSetup)
#include "test_routing_setup.moc"
