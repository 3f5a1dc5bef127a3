// The report setup side's dialogs and grids: take filters, the layout grid
// rules and their mouse hit tests, the setup dialog's keys and kinds, and
// window grabs for a look (NALVO_GRAB_DIR).
#include "report/qdialogpdffieldchoice.h"
#include "report/qdialogreportprocess.h"
#include "report/qdialogreporttakefilters.h"
#include "report/qdialogsetuppdf.h"
#include "report/qreportdatasetup.h"
#include "report/qreportheadersetup.h"
#include "report/reportgridrules.h"
#include "tests/support/modalboxanswerer.h"
#include "ui_qdialogsetuppdf.h"

#include <QCheckBox>
#include <QListWidget>
#include <QPushButton>
#include <QRandomGenerator>
#include <QTimer>
#include <QtTest>

using namespace ReportLayout;
using namespace ReportGridRules;

namespace {
void Grab(QWidget* w, const char* name)
{
    const QByteArray dir = qgetenv("NALVO_GRAB_DIR");
    if (!dir.isEmpty())
        w->grab().save(QString::fromLocal8Bit(dir) + QLatin1Char('/') + QLatin1String(name) + QStringLiteral(".png"));
}

// Shown and active, so a grid can take the keyboard focus on X11 too.
bool ShowActive(QWidget* w)
{
    w->show();
    return ModalBoxAnswerer::Activate(w);
}

void Click(QWidget* w, QPoint at, Qt::MouseButton button = Qt::LeftButton)
{
    QTest::mousePress(w, button, Qt::NoModifier, at);
    QTest::mouseRelease(w, button, Qt::NoModifier, at);
}
}  // namespace

class TestReportDialogs : public QObject
{
    Q_OBJECT
private slots:
    void takeFiltersDialog();
    void headerCommitRules_data();
    void headerCommitRules();
    void headerGridMouse();
    void dataGridRandomEdits();
    void dataGridMouseAndLines();
    void chooserOrder();
    void setupDialogKeys_data();
    void setupDialogKeys();
    void setupDialogKindsAndCodes();
    void grabs();
};

void TestReportDialogs::takeFiltersDialog()
{
    struct Case
    {
        const char* given;
        int key;          // 0: the Ok button; -1: Cancel
        int result;
        const char* out;
    };
    // The count field is selected first: Return counts up, from 3 back to 1.
    const Case cases[] = {
        {"t;p;a", Qt::Key_Return, 0, "t"},
        {"t;p;a", Qt::Key_Escape, 0, "t;p;a"},
        {"t;t", 0, 0, "t"},
        {";", 0, 0, ""},
        {"t;p", -1, 1, "t;p"},
    };
    for (const Case& c : cases) {
        QDialogReportTakeFilters dialog(nullptr, true);
        dialog.SetReportTakeFilters(QString::fromLatin1(c.given), true);
        QTimer::singleShot(0, &dialog, [&dialog, &c] {
            if (c.key > 0)
                QTest::keyClick(&dialog, Qt::Key(c.key));
            if (c.key != Qt::Key_Escape)
                dialog.findChild<QPushButton*>(c.key == -1 ? QStringLiteral("m_CtrlButton_Cancel")
                                                           : QStringLiteral("m_CtrlButton_Ok"))
                    ->click();
        });
        QCOMPARE(dialog.exec(), c.result);
        if (c.result == 0)
            QCOMPARE(dialog.GetReportTakeFilters(), QString::fromLatin1(c.out));
    }
}

void TestReportDialogs::headerCommitRules_data()
{
    QTest::addColumn<int>("leftId");
    QTest::addColumn<int>("col");
    QTest::addColumn<int>("id");
    QTest::addColumn<bool>("stored");
    QTest::addColumn<int>("leftAfter");
    QTest::addColumn<int>("rightAfter");
    QTest::addColumn<int>("cellAfter");
    // Cells start as Date (8) with the text "keep"; leftId is put left of col.
    QTest::newRow("wide field empties its right neighbour") << 8 << 2 << 2 << true << 8 << 0 << 2;
    QTest::newRow("wide field in the last column") << 8 << 6 << 2 << false << 8 << -99 << 8;
    QTest::newRow("field right of a wide one") << 3 << 2 << 9 << true << 0 << 8 << 9;
    QTest::newRow("wide on the left of the last column stays") << 3 << 6 << 9 << true << 3 << -99 << 9;
    QTest::newRow("delete stores Empty") << 8 << 0 << -1 << true << -99 << 8 << 0;
    QTest::newRow("insert stores Empty") << 8 << 3 << -2 << true << 8 << 8 << 0;
}

void TestReportDialogs::headerCommitRules()
{
    QFETCH(int, leftId);
    QFETCH(int, col);
    QFETCH(int, id);
    QFETCH(bool, stored);
    QFETCH(int, leftAfter);
    QFETCH(int, rightAfter);
    QFETCH(int, cellAfter);
    tyReportBlock line[kHeaderCells];
    for (tyReportBlock& cell : line)
        cell = tyReportBlock{8, QStringLiteral("keep")};
    if (col > 0)
        line[col - 1].nFieldId = leftId;
    QCOMPARE(CommitHeaderCell(line, col, id, QString()), stored);
    if (col > 0)
        QCOMPARE(line[col - 1].nFieldId, leftAfter);
    if (col < kHeaderCells - 1) {
        QCOMPARE(line[col + 1].nFieldId, rightAfter);
        QCOMPARE(line[col + 1].czText, QStringLiteral("keep"));
    }
    QCOMPARE(line[col].nFieldId, cellAfter);
}

void TestReportDialogs::headerGridMouse()
{
    QReportHeaderSetup grid;
    grid.resize(709, 118);   // leaves a margin right and below the cells
    QVERIFY(ShowActive(&grid));
    grid.setFocus();
    grid.repaint();
    for (int l = 0; l < kHeaderLines; ++l)
        for (int c = 0; c < kHeaderCells; ++c) {
            Click(&grid, grid.CellCentre(l, c));
            QCOMPARE(grid.CurrentLine(), l);
            QCOMPARE(grid.CurrentColumn(), c);
        }
    // Clicks in the margin select nothing outside the grid.
    for (const QPoint p : {QPoint(708, 117), QPoint(708, 10), QPoint(10, 117), QPoint(0, 0)}) {
        Click(&grid, p);
        QVERIFY(grid.CurrentLine() >= 0 && grid.CurrentLine() < kHeaderLines);
        QVERIFY(grid.CurrentColumn() >= 0 && grid.CurrentColumn() < kHeaderCells);
    }
    // Delete in cell 0 keeps the line: it stores "Empty", never -1.
    tyReportBlock line[kHeaderCells] = {{8, {}}, {9, {}}, {10, {}}, {11, {}}, {12, {}}, {13, {}}, {14, {}}};
    grid.setLineHeader(2, line);
    Click(&grid, grid.CellCentre(2, 0));
    QTest::keyClick(&grid, Qt::Key_Delete);
    tyReportBlock back[kHeaderCells];
    grid.GetLineHeader(2, back, kHeaderCells);
    grid.setLineHeader(2, back);
    grid.GetLineHeader(2, back, kHeaderCells);
    QCOMPARE(back[0].nFieldId, 0);
    QCOMPARE(back[6].nFieldId, 14);
}

void TestReportDialogs::dataGridRandomEdits()
{
    QRandomGenerator random(24);
    for (int lineIndex = 0; lineIndex < 2; ++lineIndex) {
        tyDataLine line;
        LoadDataLine(&line, DefaultReportDataLayout[lineIndex], lineIndex);
        for (int step = 0; step < 1000; ++step) {
            const int col = random.bounded(-2, 31);
            const int id = random.bounded(-2, 72);
            CommitDataCell(&line, lineIndex, col, id);
            QVERIFY(line.count >= 2 && line.count <= kDataCells);
            QCOMPARE(line.cells[0].nFieldId, int(FieldIndex));
            if (lineIndex == 0)
                QCOMPARE(line.cells[1].nFieldId, int(FieldFileId));
            for (int c = 0; c < kDataCells; ++c) {
                QCOMPARE(line.cells[c].nFieldId == -1, c >= line.count);
                QVERIFY(line.cells[c].nFieldId == -1 || DataFieldOf(line.cells[c].nFieldId));
            }
        }
    }
}

void TestReportDialogs::dataGridMouseAndLines()
{
    QReportDataSetup grid;
    grid.resize(800, 90);
    grid.setNbLine(7);   // more than the grid has: both lines shown, nothing overrun
    QCOMPARE(grid.ShownLines(), 2);
    // Holes close up; a line of the index column alone gets one empty cell.
    tyReportBlock holes[kDataCells];
    holes[0] = {1, {}};
    holes[3] = {4, {}};
    holes[9] = {5, {}};
    grid.setLineData(0, holes);
    QCOMPARE(grid.CellCount(0), 3);   // Index, File ID over the first, then 5
    tyReportBlock alone[kDataCells];
    grid.setLineData(1, alone);
    QCOMPARE(grid.CellCount(1), 2);
    grid.setLineData(1, const_cast<tyReportBlock*>(DefaultReportDataLayout[0]));
    QVERIFY(ShowActive(&grid));
    grid.setFocus();
    for (int l = 0; l < 2; ++l)
        for (int c = FirstFreeCell(l); c < grid.CellCount(l); ++c) {
            Click(&grid, grid.CellCentre(l, c));
            QCOMPARE(grid.CurrentLine(), l);
            QCOMPARE(grid.CurrentColumn(), c);
        }
    // Deleting the last cell, then committing where it was: ignored.
    Click(&grid, grid.CellCentre(1, grid.CellCount(1) - 1));
    grid.ValidChoiceWidget(-1);
    const int count = grid.CellCount(1);
    grid.ValidChoiceWidget(9);
    QCOMPARE(grid.CellCount(1), count);
    tyReportBlock back[kDataCells];
    grid.GetLineData(1, back, kDataCells);
    QCOMPARE(back[count].nFieldId, -1);
    // Narrowed, the names stay inside their cells: no dark pixel beside a
    // border.
    QReportDataSetup narrow;
    narrow.resize(300, 90);
    narrow.setLineData(0, const_cast<tyReportBlock*>(DefaultReportDataLayout[0]));
    const QImage image = narrow.grab().toImage();
    const int middle = narrow.CellCentre(0, 1).y();
    for (int c = 2; c < narrow.CellCount(0); ++c) {
        const int border = (narrow.CellCentre(0, c - 1).x() + narrow.CellCentre(0, c).x() + 1) / 2;
        for (int y = middle - 3; y <= middle + 3; ++y)
            for (int x : {border - 2, border + 2})
                QVERIFY2(QColor(image.pixel(x, y)).lightness() > 150, qPrintable(QString::number(c)));
    }
}

void TestReportDialogs::chooserOrder()
{
    QReportDataSetup data;
    QListWidget* list = data.Chooser()->List();
    QStringList rows;
    for (int i = 0; i < list->count(); ++i)
        rows.append(list->item(i)->text());
    const int take = rows.indexOf(QStringLiteral("Take"));
    QCOMPARE(rows.mid(take - 7, 11), (QStringList{"Notes", "Effect", "Unit", "Slate", "Sequence", "Episode", "Season",
                                                  "Take", "Scene", "Circled", "File ID"}));
    QCOMPARE(rows.mid(rows.size() - 3), (QStringList{"Empty", "Del Col", "New Col"}));
    QReportHeaderSetup header;
    QCOMPARE(header.Chooser()->List()->count(), 20);
    QCOMPARE(data.Chooser()->SetCurrentItemType(99), 0);
}

void TestReportDialogs::setupDialogKeys_data()
{
    QTest::addColumn<int>("from");
    QTest::addColumn<int>("key");
    QTest::addColumn<int>("to");
    using D = QDialogSetupPdf;
    QTest::newRow("up from data") << int(D::FieldData) << int(Qt::Key_Up) << int(D::FieldLines);
    QTest::newRow("up from circle") << int(D::FieldCircle) << int(Qt::Key_Up) << int(D::FieldHeader);
    QTest::newRow("up from note") << int(D::FieldNote) << int(Qt::Key_Up) << int(D::FieldHeader);
    QTest::newRow("up from header") << int(D::FieldHeader) << int(Qt::Key_Up) << int(D::FieldHeader);
    QTest::newRow("down from header") << int(D::FieldHeader) << int(Qt::Key_Down) << int(D::FieldLines);
    QTest::newRow("down from lines") << int(D::FieldLines) << int(Qt::Key_Down) << int(D::FieldData);
    QTest::newRow("down from data") << int(D::FieldData) << int(Qt::Key_Down) << int(D::FieldData);
    QTest::newRow("right from data wraps") << int(D::FieldData) << int(Qt::Key_Right) << int(D::FieldHeader);
    QTest::newRow("left from header wraps") << int(D::FieldHeader) << int(Qt::Key_Left) << int(D::FieldData);
}

void TestReportDialogs::setupDialogKeys()
{
    QFETCH(int, from);
    QFETCH(int, key);
    QFETCH(int, to);
    QDialogSetupPdf dialog;
    QVERIFY(ShowActive(&dialog));
    QCOMPARE(dialog.SelectedField(), int(QDialogSetupPdf::FieldHeader));
    for (int i = 0; i < 5 && dialog.SelectedField() != from; ++i)
        QTest::keyClick(&dialog, Qt::Key_Right);
    QCOMPARE(dialog.SelectedField(), from);
    QTest::keyClick(&dialog, Qt::Key(key));
    QCOMPARE(dialog.SelectedField(), to);
    // F6 and F4 give the grids the keyboard; the hints then speak of cells.
    QTest::keyClick(&dialog, Qt::Key_F6);
    QVERIFY(dialog.Form()->m_CtrlWidget_Data->hasFocus());
    QCOMPARE(dialog.Form()->m_CtrlLabelTitle_Label_3->text(), QStringLiteral("ESC: Esc Edit Mode"));
    QTest::keyClick(dialog.Form()->m_CtrlWidget_Data, Qt::Key_Escape);
    QCOMPARE(dialog.Form()->m_CtrlLabelTitle_Label_3->text(), QStringLiteral("ESC: Exit"));
    QTest::keyClick(&dialog, Qt::Key_F4);
    QVERIFY(dialog.Form()->m_CtrlWidget_Header->hasFocus());
}

void TestReportDialogs::setupDialogKindsAndCodes()
{
    QDialogSetupPdf dialog;
    dialog.slot_ReportSetupType(0x2);
    ModalBoxAnswerer answers;
    answers.ThenAccept();
    dialog.Form()->m_CtrlCheckBox_Ale->setChecked(false);
    QCOMPARE(answers.SeenBoxes().size(), 1);
    QCOMPARE(answers.SeenBoxes().first().text, QStringLiteral("Please select at least one Type"));
    QVERIFY(dialog.Form()->m_CtrlCheckBox_Ale->isChecked());
    QVERIFY(dialog.Form()->m_CtrlComboBox_FPS->isEnabled());
    int kinds = 0;
    dialog.GetReportGeneration(&kinds);
    QCOMPARE(kinds, 0x2);

    // Codes outside the tables come back as given.
    dialog.slot_ReportSetupAle(7, -3);
    dialog.slot_ReportSetupFormat(tyReportPageFormat(4));
    dialog.slot_ReportSetupDataDisplayCircle(tReportCircleDisplay(7));
    int fps = 0;
    int video = 0;
    tyReportPageFormat format = PageFormatA4Landscape;
    tReportCircleDisplay circle = CircleDisplayOff;
    dialog.GetAleSetup(&fps, &video);
    dialog.GetPdfPageFormat(&format);
    dialog.GetDataSetup(nullptr, nullptr, &circle, nullptr, 0, 0);
    QCOMPARE(fps, 7);
    QCOMPARE(video, -3);
    QCOMPARE(int(format), 4);
    QCOMPARE(int(circle), 7);
    dialog.Form()->m_CtrlComboBox_VideoFormat->setCurrentIndex(4);
    dialog.GetAleSetup(&fps, &video);
    QCOMPARE(video, 4);
}

void TestReportDialogs::grabs()
{
    QDialogSetupPdf setup;
    setup.slot_ReportSetupType(5);
    for (int l = 0; l < kHeaderLines; ++l)
        setup.slot_ReportSetupHeaderLine(l, const_cast<tyReportBlock*>(DefaultReportHeaderLayout[l]));
    for (int l = 0; l < kDataLines; ++l)
        setup.slot_ReportSetupDataLine(l, const_cast<tyReportBlock*>(DefaultReportDataLayout[l]));
    setup.slot_ReportSetupDataNbLine(2);
    setup.slot_ReportSetupDataNoteLine(true);
    setup.show();
    QVERIFY(QTest::qWaitForWindowExposed(&setup));
    Grab(&setup, "setup_dialog");

    QDialogReportProcess run;
    run.setParam(QStringLiteral("/media/CARD"), QStringLiteral("SHOOT.BR1"), QStringLiteral("2024-05-01.OVD"), 1, 5,
                 false, CircleDisplayTake);
    run.SetTakeFilters(QStringLiteral("t;p;a"));
    run.show();
    QVERIFY(QTest::qWaitForWindowExposed(&run));
    Grab(&run, "run_dialog");

    QDialogReportTakeFilters filters(nullptr, true);
    filters.SetReportTakeFilters(QStringLiteral("t;pw"), true);
    filters.show();
    QVERIFY(QTest::qWaitForWindowExposed(&filters));
    Grab(&filters, "take_filters");
}

QTEST_MAIN(TestReportDialogs)
#include "test_report_dialogs.moc"
