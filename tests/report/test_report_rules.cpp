// The report side's field tables, layout normaliser and the pure rules that
// the take list and the reports share.
#include "foundation/mapping.h"
#include "report/fieldrules.h"
#include "report/reportlayout.h"
#include "report/takerowrules.h"

#include <QtTest>

using namespace ReportLayout;

class TestReportRules : public QObject
{
    Q_OBJECT
private slots:
    void lookupIsGuarded_data();
    void lookupIsGuarded();
    void normaliserShapesLayouts_data();
    void normaliserShapesLayouts();
    void trackRanges_data();
    void trackRanges();
    void takeTypesAndCircles();
    void advancedTemplate_data();
    void advancedTemplate();
    void panTexts_data();
    void panTexts();
    void trackRoles_data();
    void trackRoles();
    void panBars_data();
    void panBars();
    void badges_data();
    void badges();
    void ditto_data();
    void ditto();
    void columnFit_data();
    void columnFit();
};

void TestReportRules::lookupIsGuarded_data()
{
    QTest::addColumn<int>("id");
    QTest::addColumn<QString>("dataShort");      // "" = no data field
    QTest::addColumn<QString>("headerName");     // "" = no header field
    QTest::newRow("-5") << -5 << "" << "";
    QTest::newRow("-1") << -1 << "" << "";
    QTest::newRow("0") << 0 << "-" << "Empty";
    QTest::newRow("11 slate A / folder") << 11 << "Slt A" << "Folder";
    QTest::newRow("14 size / type") << 14 << "Size" << "Type";
    QTest::newRow("21 date / no header") << 21 << "Date" << "";
    QTest::newRow("22") << 22 << "T1" << "";
    QTest::newRow("68") << 68 << "Eff." << "";
    QTest::newRow("69") << 69 << "" << "";
    QTest::newRow("70 ALE only") << 70 << "" << "";
    QTest::newRow("99") << 99 << "" << "";
}

void TestReportRules::lookupIsGuarded()
{
    QFETCH(int, id);
    QFETCH(QString, dataShort);
    QFETCH(QString, headerName);
    const tyReportDataField* data = DataFieldOf(id);
    QCOMPARE(data ? QString::fromLatin1(data->pcShortName) : QString(), dataShort);
    if (data)
        QCOMPARE(data->nId, id);
    const tyReportHeaderField* header = HeaderFieldOf(id);
    QCOMPARE(header ? QString::fromLatin1(header->pcName) : QString(), headerName);
}

void TestReportRules::normaliserShapesLayouts_data()
{
    QTest::addColumn<QList<int>>("line0");
    QTest::addColumn<QList<int>>("line1");
    QTest::addColumn<int>("lines");
    QTest::addColumn<QList<int>>("want0");
    QTest::addColumn<QList<int>>("want1");
    QTest::addColumn<int>("wantLines");
    QTest::newRow("holes packed, bad ids emptied")
        << QList<int>{1, -1, 2, 69, -5, 99, 4} << QList<int>{-1, -1, 8} << 2
        << QList<int>{1, 2, 0, 0, 0, 4} << QList<int>{1} << 2;
    QTest::newRow("all unused") << QList<int>{} << QList<int>{} << 0 << QList<int>{1, 2} << QList<int>{1} << 1;
    QTest::newRow("first cells forced") << QList<int>{5, 6, 7} << QList<int>{9, 10} << 7
                                        << QList<int>{1, 2, 7} << QList<int>{1, 10} << 2;
}

void TestReportRules::normaliserShapesLayouts()
{
    QFETCH(QList<int>, line0);
    QFETCH(QList<int>, line1);
    QFETCH(int, lines);
    QFETCH(QList<int>, want0);
    QFETCH(QList<int>, want1);
    QFETCH(int, wantLines);
    tyReportBlock layout[kDataLines][kDataCells];
    for (int c = 0; c < line0.size(); ++c)
        layout[0][c].nFieldId = line0.at(c);
    for (int c = 0; c < line1.size(); ++c)
        layout[1][c].nFieldId = line1.at(c);
    QCOMPARE(NormaliseDataLayout(layout, lines), wantLines);
    const QList<int>* wants[2] = {&want0, &want1};
    for (int l = 0; l < kDataLines; ++l) {
        QList<int> got;
        for (int c = 0; c < kDataCells; ++c) {
            if (layout[l][c].nFieldId != -1)
                got << layout[l][c].nFieldId;
            else
                QVERIFY2(c >= wants[l]->size(), "a hole is left in the line");
        }
        QCOMPARE(got, *wants[l]);
        QCOMPARE(UsedCellCount(layout[l]), wants[l]->size());
    }
}

void TestReportRules::trackRanges_data()
{
    QTest::addColumn<QList<int>>("active");
    QTest::addColumn<QString>("text");
    QTest::newRow("none") << QList<int>{} << "";
    QTest::newRow("one") << QList<int>{4} << "5";
    QTest::newRow("pair") << QList<int>{0, 1} << "1-2";
    QTest::newRow("run") << QList<int>{0, 1, 2} << "1-3";
    QTest::newRow("apart") << QList<int>{0, 2, 4} << "1;3;5";
    QTest::newRow("two runs") << QList<int>{1, 2, 4, 5} << "2-3;5-6";
    QTest::newRow("mixed") << QList<int>{0, 1, 2, 3, 5, 7, 8} << "1-4;6;8-9";
}

void TestReportRules::trackRanges()
{
    QFETCH(QList<int>, active);
    QFETCH(QString, text);
    QCOMPARE(TrackRangesText(active), text);
}

void TestReportRules::takeTypesAndCircles()
{
    const QList<QPair<QString, int>> types = {
        {"t3", 0}, {"P2", 1}, {"W", 2}, {"a1", 3}, {"n", 4}, {"r9", 5}, {"G", 6}, {"3", 0}, {"", 0}, {"x1", 0}};
    for (const auto& t : types)
        QCOMPARE(TakeTypeOf(t.first), t.second);
    for (const char* yes : {"TRUE", "true", "1", "yes"})
        QVERIFY(IsCircledText(QString::fromLatin1(yes)));
    for (const char* no : {"FALSE", "", " ", "0", "y"})
        QVERIFY(!IsCircledText(QString::fromLatin1(no)));
    QCOMPARE(FrequencyText(96000), QStringLiteral("96K"));
    QCOMPARE(FrequencyText(88200), QStringLiteral("88200"));
}

void TestReportRules::advancedTemplate_data()
{
    QTest::addColumn<QString>("composition");
    QTest::addColumn<QList<int>>("codes");
    QTest::addColumn<QStringList>("texts");
    // Table: season S1, first separator "-", episode E4, second separator "/".
    QTest::newRow("season sep episode") << "3,0,4" << QList<int>{3, 0, 4} << QStringList{"S1", "-", "E4"};
    QTest::newRow("two separators") << "3,0,4,0" << QList<int>{3, 0, 4, 0} << QStringList{"S1", "-", "E4", "/"};
    QTest::newRow("empty parts dropped") << ",3,,0,4," << QList<int>{3, 0, 4} << QStringList{"S1", "-", "E4"};
    QTest::newRow("code without text") << "3,0,6" << QList<int>{} << QStringList{};
    QTest::newRow("count differs") << "3,4" << QList<int>{} << QStringList{};
    QTest::newRow("empty") << "" << QList<int>{} << QStringList{};
}

void TestReportRules::advancedTemplate()
{
    QFETCH(QString, composition);
    QFETCH(QList<int>, codes);
    QFETCH(QStringList, texts);
    QHash<int, QString> table{{3, "S1"}, {0, "-"}, {4, "E4"}};
    if (composition.count(QLatin1Char('0')) == 2)
        table.insert(-1, "/");
    const tyAdvancedTemplate parsed = ParseAdvancedTemplate(composition, table);
    QCOMPARE(parsed.codes, codes);
    QCOMPARE(parsed.texts, texts);
}

void TestReportRules::panTexts_data()
{
    QTest::addColumn<QString>("text");
    QTest::addColumn<int>("unreadable");
    QTest::addColumn<int>("left");
    QTest::addColumn<int>("right");
    QTest::newRow("pair") << "30,100" << -1 << 30 << 100;
    QTest::newRow("one part") << "97" << 0 << -1 << -1;
    QTest::newRow("three parts") << "1,2,3" << 0 << -1 << -1;
    QTest::newRow("report: bad left") << "x,50" << -1 << -1 << -1;
    QTest::newRow("list: bad left") << "x,50" << 0 << 0 << -1;
    QTest::newRow("report: bad right") << "50,y" << -1 << 50 << -1;
    QTest::newRow("list: bad right") << "50,y" << 0 << 50 << 0;
}

void TestReportRules::panTexts()
{
    QFETCH(QString, text);
    QFETCH(int, unreadable);
    QFETCH(int, left);
    QFETCH(int, right);
    const tPostFadePan pan = PanOfText(text, unreadable);
    QCOMPARE(pan.left, left);
    QCOMPARE(pan.right, right);
}

void TestReportRules::trackRoles_data()
{
    QTest::addColumn<QString>("inGrid");
    QTest::addColumn<int>("takeMixRole");
    QTest::addColumn<bool>("pair");
    QTest::addColumn<bool>("mix");
    QTest::addColumn<int>("reportMix");
    QTest::addColumn<int>("listMix");
    QTest::addColumn<int>("ms");
    QTest::newRow("plain mic") << "MIC_1=0x1," << 0 << false << false << 0 << 0 << 0;
    QTest::newRow("both mix flags") << "MIX_1=0x1,MIX_2=0x1," << 0 << false << true << 3 << 1 << 0;
    QTest::newRow("left mix") << "MIX_1=0x1," << 0 << false << true << 2 << 2 << 0;
    QTest::newRow("right mix") << "MIX_2=0x1," << 0 << false << true << 3 << 3 << 0;
    QTest::newRow("take role only") << "MIC_2=0x1," << 1 << false << true << 1 << 1 << 0;
    QTest::newRow("text says mxd") << "MXDN" << 0 << false << true << 0 << 0 << 0;
    QTest::newRow("mid") << "MIC_1=0x2," << 0 << false << false << 0 << 0 << 2;
    QTest::newRow("side") << "MIC_1=0x3," << 0 << false << false << 0 << 0 << 3;
    QTest::newRow("pair member") << "MIC_1=0x1," << 0 << true << false << 0 << 0 << 1;
}

void TestReportRules::trackRoles()
{
    QFETCH(QString, inGrid);
    QFETCH(int, takeMixRole);
    QFETCH(bool, pair);
    QFETCH(bool, mix);
    QFETCH(int, reportMix);
    QFETCH(int, listMix);
    QFETCH(int, ms);
    QMapping routing;
    const bool parsed = routing.fromString(inGrid) == 0;
    tyTrackRoleInput in{inGrid, takeMixRole, pair, parsed ? &routing : nullptr};
    const tyTrackRole report = TrackRoleOf(in, BothMixFlags::Right);
    const tyTrackRole list = TrackRoleOf(in, BothMixFlags::Mix);
    QCOMPARE(report.bMixTrack, mix);
    QCOMPARE(report.nMix, reportMix);
    QCOMPARE(list.nMix, listMix);
    QCOMPARE(report.nMs, ms);
}

void TestReportRules::panBars_data()
{
    QTest::addColumn<int>("left");
    QTest::addColumn<int>("right");
    QTest::addColumn<float>("red");
    QTest::addColumn<float>("green");
    // Bar length 80.
    QTest::newRow("centre") << 100 << 100 << 40.f << 40.f;
    QTest::newRow("silent") << 0 << 0 << 0.f << 0.f;
    QTest::newRow("hard left") << 100 << 0 << 80.f << 0.f;
    QTest::newRow("hard right") << 0 << 100 << 0.f << 80.f;
    QTest::newRow("left of centre") << 100 << 60 << 50.f << 30.f;
    QTest::newRow("neither at 100") << 25 << 50 << 20.f << 60.f;
}

void TestReportRules::panBars()
{
    QFETCH(int, left);
    QFETCH(int, right);
    QFETCH(float, red);
    QFETCH(float, green);
    const tyPanBar bar = PanBarLengths(left, right, 80.f);
    QCOMPARE(bar.red, red);
    QCOMPARE(bar.green, green);
}

void TestReportRules::badges_data()
{
    QTest::addColumn<QString>("routing");
    QTest::addColumn<int>("input");       // settings entry filled for this mic index (-1 none)
    QTest::addColumn<int>("ms");
    QTest::addColumn<int>("mix");
    QTest::addColumn<QString>("badges");
    QTest::newRow("all settings") << "MIC_3=0x1," << 2 << 0 << 0 << QString::fromUtf8("Φ;f80;Eq;D;");
    QTest::newRow("settings absent") << "MIC_3=0x1," << -1 << 0 << 0 << ";;;;";
    QTest::newRow("two inputs") << "MIC_1=0x1,MIC_2=0x1," << 0 << 0 << 0 << ";;+;;";
    QTest::newRow("digital 8 out of range") << "DIGI_9=0x1," << 0 << 2 << 0 << ";;;;m";
    QTest::newRow("side") << "" << -1 << 3 << 0 << ";;;;s";
    QTest::newRow("pair") << "" << -1 << 1 << 0 << ";;;;ms";
    QTest::newRow("mix wins") << "" << -1 << 2 << 3 << ";;;;xR";
    QTest::newRow("plain mix") << "" << -1 << 0 << 1 << ";;;;mx";
}

void TestReportRules::badges()
{
    QFETCH(QString, routing);
    QFETCH(int, input);
    QFETCH(int, ms);
    QFETCH(int, mix);
    QFETCH(QString, badges);
    tyTakeMetadata record;
    record.Routings[4].fromString(routing);
    if (input >= 0)
        record.MicInputs[input] = tInputSettings{true, 12, true, true, 80};
    record.pnMsMarker[4] = ms;
    record.pnMixMarker[4] = mix;
    QCOMPARE(BadgeTextOf(record, 4), badges);
}

void TestReportRules::ditto_data()
{
    QTest::addColumn<int>("kind");
    QTest::addColumn<QString>("text");
    QTest::addColumn<QString>("other");
    QTest::addColumn<QString>("otherScene");
    QTest::addColumn<int>("otherPanLeft");
    QTest::addColumn<bool>("same");
    QTest::newRow("equal scene cell") << 4 << "12A" << "12A" << "S" << 100 << true;
    QTest::newRow("empty never ditto") << 4 << "" << "" << "S" << 100 << false;
    QTest::newRow("other text") << 4 << "12A" << "12B" << "S" << 100 << false;
    QTest::newRow("other scene") << 4 << "12A" << "12A" << "T" << 100 << false;
    QTest::newRow("missing neighbour text") << 4 << "<<<<<<<<<<<<<" << "<<<<<<<<<<<<<" << "S" << 100 << true;
    QTest::newRow("track, same pan") << 22 << "Boom" << "Boom" << "S" << 100 << true;
    QTest::newRow("track, other pan") << 22 << "Boom" << "Boom" << "S" << 50 << false;
    QTest::newRow("season not applicable") << 63 << "S1" << "S1" << "S" << 100 << false;
    QTest::newRow("episode applicable") << 64 << "E4" << "E4" << "S" << 100 << true;
}

void TestReportRules::ditto()
{
    QFETCH(int, kind);
    QFETCH(QString, text);
    QFETCH(QString, other);
    QFETCH(QString, otherScene);
    QFETCH(int, otherPanLeft);
    QFETCH(bool, same);
    tyTakeMetadata self;
    self.czScene = QStringLiteral("S");
    self.nFileKind = 4;
    self.lnTakeNameCodes = {4, 0, 1};
    self.tPans[0] = {100, 100};
    tyTakeMetadata neighbour = self;
    neighbour.czScene = otherScene;
    neighbour.tPans[0] = {otherPanLeft, 100};
    QCOMPARE(SameCellAs(self, text, &neighbour, other, kind), same);
    QVERIFY(!SameCellAs(self, text, nullptr, other, kind));
}

void TestReportRules::columnFit_data()
{
    QTest::addColumn<QVector<int>>("widths");
    QTest::addColumn<QVector<bool>>("grows");
    QTest::addColumn<QVector<bool>>("shrinks");
    QTest::addColumn<int>("notes");
    QTest::addColumn<int>("available");
    QTest::addColumn<QVector<int>>("minimums");
    QTest::addColumn<QVector<int>>("fitted");
    const QVector<bool> none{false, false, false};
    const QVector<int> noMinimum;
    // spare = available + 2 - (k + sum)
    QTest::newRow("spare to growers") << QVector<int>{40, 50, 60} << QVector<bool>{false, true, true} << none << -1
                                      << 200 << noMinimum << QVector<int>{40, 75, 85};
    QTest::newRow("no grower: spare stays") << QVector<int>{40, 50, 60} << none << none << -1 << 200 << noMinimum
                                            << QVector<int>{40, 50, 60};
    QTest::newRow("too wide: shrinkers, rest off the last")
        << QVector<int>{100, 100, 100} << none << QVector<bool>{false, true, false} << -1 << 200 << noMinimum
        << QVector<int>{100, 1, 99};
    QTest::newRow("Notes first, not below 12 chars")
        << QVector<int>{100, 300, 100} << none << QVector<bool>{false, true, false} << 1 << 350 << noMinimum
        << QVector<int>{100, 149, 100};
    // Within the page: shrinkers stop at their minimums, then the widest
    // columns are cut to one width.
    QTest::newRow("shrinkers keep their minimum, the widest gives way")
        << QVector<int>{60, 400, 60} << none << QVector<bool>{true, false, true} << -1 << 200
        << QVector<int>{30, 20, 40} << QVector<int>{30, 130, 40};
    QTest::newRow("minimums too wide: shrunk in proportion")
        << QVector<int>{60, 400, 60} << none << none << -1 << 100 << QVector<int>{50, 50, 100}
        << QVector<int>{25, 25, 50};
}

void TestReportRules::columnFit()
{
    QFETCH(QVector<int>, widths);
    QFETCH(QVector<bool>, grows);
    QFETCH(QVector<bool>, shrinks);
    QFETCH(int, notes);
    QFETCH(int, available);
    QFETCH(QVector<int>, minimums);
    QFETCH(QVector<int>, fitted);
    tyColumnFitInput in;
    in.minimums = minimums;
    in.withinAvailable = !minimums.isEmpty();
    in.widths = widths;
    in.grows = grows;
    in.shrinks = shrinks;
    in.notesColumn = notes;
    in.widestNotes = notes >= 0 ? widths.at(notes) : 0;
    in.averageChar = 10;
    in.available = available;
    QCOMPARE(FitColumns(in), fitted);
}

QTEST_GUILESS_MAIN(TestReportRules)
#include "test_report_rules.moc"
