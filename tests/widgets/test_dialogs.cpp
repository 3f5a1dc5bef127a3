#include <QApplication>
#include <QDialog>
#include <QDir>
#include <QHBoxLayout>
#include <QScreen>
#include <QScrollArea>
#include <QFontDatabase>
#include <QListWidget>
#include <QMessageBox>
#include <QPushButton>
#include <QScrollBar>
#include <QTextEdit>
#include <QtTest>

#include "tests/support/modalboxanswerer.h"
#include "tests/support/userinput.h"
#include "widgets/messagebox.h"
#include "widgets/qbriselplaintextedit.h"
#include "widgets/qcolorlabel.h"
#include "widgets/qdialogmessage.h"
#include "widgets/qdialogmessagelineedit.h"
#include "widgets/qdialogmessageliste.h"
#include "widgets/qdialogmessagetextedit.h"
#include "widgets/qmyscrollarea.h"
#include "widgets/screenfit.h"
#include "widgets/sharedfonts.h"
#include "widgets/ui_qdialogmessage.h"
#include "widgets/ui_qdialogmessagelineedit.h"
#include "widgets/ui_qdialogmessageliste.h"
#include "widgets/ui_qdialogmessagetextedit.h"

namespace {

// The labels answer only in the active window.
void DoubleClick(QWidget* w)
{
    if (!ModalBoxAnswerer::Activate(w->window()))
        qWarning("window not active; the double click will be ignored");
    QTest::mouseDClick(w, Qt::LeftButton, Qt::NoModifier, QPoint(5, 5));
}

// Set NALVO_WIDGET_SHOTS to a folder to keep a picture of each dialog.
void KeepShot(QWidget* dialog, const QString& name)
{
    const QString folder = qEnvironmentVariable("NALVO_WIDGET_SHOTS");
    if (folder.isEmpty())
        return;
    QDir().mkpath(folder);
    dialog->grab().save(folder + "/" + name + ".png");
}

} // namespace

// The keyboard-first dialogs answered through the modal-box helper, and the labels they use.
class TestDialogs : public QObject
{
    Q_OBJECT
private slots:
    void sharedFontsAreEmbedded();
    void messageResultCodes_data();
    void messageResultCodes();
    void messageDefaultLook();
    void lineEditResultCodes_data();
    void lineEditResultCodes();
    void lineEditRepairsText();
    void listResultCodes_data();
    void listResultCodes();
    void listPlusMinusAndSize();
    void textViewLines();
    void colorLabelKeepsOneBlock();
    void clickLabelNeedsSamePixel();
    void scrollAreaLeavesArrows();
    void fitToAreas_data();
    void fitToAreas();
    void dialogKeptOnScreen_data();
    void dialogKeptOnScreen();
    void messageBoxFitsTheScreen_data();
    void messageBoxFitsTheScreen();
};

void TestDialogs::sharedFontsAreEmbedded()
{
    QVERIFY(RegisterSharedFonts());
    QVERIFY(QFontDatabase().families().contains("DejaVu Sans"));
    QCOMPARE(generalFont9.family(), QString("DejaVu Sans"));
    QCOMPARE(generalFont10Bold.weight(), int(QFont::Bold));
    QCOMPARE(generalFont14.pointSize(), 14);
}

using Answer = std::function<void(ModalBoxAnswerer&)>;
Q_DECLARE_METATYPE(Answer)

void TestDialogs::messageResultCodes_data()
{
    QTest::addColumn<Answer>("answer");
    QTest::addColumn<int>("code");
    QTest::newRow("Return") << Answer([](ModalBoxAnswerer& a) { a.ThenKey(Qt::Key_Return); }) << 0;
    QTest::newRow("Enter") << Answer([](ModalBoxAnswerer& a) { a.ThenKey(Qt::Key_Enter); }) << 0;
    QTest::newRow("Escape") << Answer([](ModalBoxAnswerer& a) { a.ThenKey(Qt::Key_Escape); }) << 1;
    QTest::newRow("other key ignored") << Answer([](ModalBoxAnswerer& a) { a.ThenKey(Qt::Key_A).ThenKey(Qt::Key_Return); }) << 0;
    QTest::newRow("window close") << Answer([](ModalBoxAnswerer& a) { a.ThenClose(); }) << 1;
    QTest::newRow("reject") << Answer([](ModalBoxAnswerer& a) { a.ThenReject(); }) << 1;
    QTest::newRow("OK label") << Answer([](ModalBoxAnswerer& a) {
        a.ThenDo([](QWidget* box) { DoubleClick(static_cast<QDialogMessage*>(box)->Form()->m_CtrlBottomLabel_Ok); });
    }) << 0;
    QTest::newRow("ESC label") << Answer([](ModalBoxAnswerer& a) {
        a.ThenDo([](QWidget* box) { DoubleClick(static_cast<QDialogMessage*>(box)->Form()->m_CtrlBottomLabel_Esc); });
    }) << 1;
}

void TestDialogs::messageResultCodes()
{
    QFETCH(Answer, answer);
    QFETCH(int, code);
    ModalBoxAnswerer answerer;
    answer(answerer);
    QDialogMessage dialog;
    dialog.SetupText("Process", "The process is over 4 GB.\nGo on?", false);
    QCOMPARE(dialog.exec(), code);
    QCOMPARE(answerer.PendingAnswers(), 0);
    QCOMPARE(answerer.SeenBoxes().first().title, QString("Process"));
    QCOMPARE(answerer.SeenBoxes().first().text, QString("The process is over 4 GB.\nGo on?"));
}

void TestDialogs::messageDefaultLook()
{
    QDialogMessage plain;
    QCOMPARE(plain.Form()->m_CtrlHeaderLabel->text(), QString("TextLabel"));
    QVERIFY(plain.styleSheet().contains("#996060"));
    QVERIFY(plain.windowFlags() & Qt::Tool);
    KeepShot(&plain, "QDialogMessage-default");

    QDialogMessage info;
    info.SetupText("Question", QString(400, QChar('w')).replace(QRegularExpression("(w{12})"), "\\1 "), true);
    info.show();
    QVERIFY(info.width() <= 280 && info.height() <= 120);
    QCOMPARE(info.Form()->m_CtrlBottomLabel_Ok->text(), QString("OK to accept /"));
    QCOMPARE(info.Form()->m_CtrlBottomLabel_Esc->text(), QString(" ESC to cancel"));
    QVERIFY(info.Form()->m_CtrlBottomLabel_Ok->styleSheet().contains("background-color:rgba(137,80,128,255)"));
    info.SetupText("Question", "Do you want to erase field?", true);
    KeepShot(&info, "QDialogMessage-information");
}

void TestDialogs::lineEditResultCodes_data()
{
    QTest::addColumn<Answer>("answer");
    QTest::addColumn<int>("code");
    QTest::newRow("Return") << Answer([](ModalBoxAnswerer& a) { a.ThenKey(Qt::Key_Return); }) << 1;
    QTest::newRow("Enter") << Answer([](ModalBoxAnswerer& a) { a.ThenKey(Qt::Key_Enter); }) << 1;
    QTest::newRow("Escape") << Answer([](ModalBoxAnswerer& a) { a.ThenKey(Qt::Key_Escape); }) << 0;
    QTest::newRow("window close") << Answer([](ModalBoxAnswerer& a) { a.ThenClose(); }) << 0;
    QTest::newRow("Ok") << Answer([](ModalBoxAnswerer& a) {
        a.ThenDo([](QWidget* box) { static_cast<QDialogMessageLineEdit*>(box)->Form()->m_CtrlButton_Ok->click(); });
    }) << 1;
    QTest::newRow("Cancel") << Answer([](ModalBoxAnswerer& a) {
        a.ThenDo([](QWidget* box) { static_cast<QDialogMessageLineEdit*>(box)->Form()->m_CtrlButton_Cancel->click(); });
    }) << 0;
    QTest::newRow("Return on a focused button") << Answer([](ModalBoxAnswerer& a) {
        a.ThenDo([](QWidget* box) {
            QPushButton* cancel = static_cast<QDialogMessageLineEdit*>(box)->Form()->m_CtrlButton_Cancel;
            cancel->setFocus();
            QTest::keyClick(cancel, Qt::Key_Return);
        });
    }) << 1;
}

void TestDialogs::lineEditResultCodes()
{
    QFETCH(Answer, answer);
    QFETCH(int, code);
    ModalBoxAnswerer answerer;
    answer(answerer);
    QDialogMessageLineEdit dialog;
    dialog.Setup("User text", "SCENE 12", CARAC_UPPER_DIGITS, 12);
    QCOMPARE(dialog.exec(), code);
    QCOMPARE(answerer.SeenBoxes().first().title, QString("User text"));
}

void TestDialogs::lineEditRepairsText()
{
    QDialogMessageLineEdit dialog;
    QVERIFY(dialog.windowFlags() == (Qt::Dialog | Qt::FramelessWindowHint));
    dialog.Setup("Name", "ab-1", CARAC_ALNUM, 10);
    QCOMPARE(dialog.Form()->m_CtrlPlainTextEdit->toPlainText(), QString("ab 1"));
    QString text;
    QVERIFY(!dialog.ReturnText(&text));
    QCOMPARE(text, QString("ab 1"));
    dialog.show();
    KeepShot(&dialog, "QDialogMessageLineEdit");
}

void TestDialogs::listResultCodes_data()
{
    QTest::addColumn<Answer>("answer");
    QTest::addColumn<int>("code");
    QTest::addColumn<int>("lastRow");
    QTest::newRow("Return") << Answer([](ModalBoxAnswerer& a) { a.ThenKey(Qt::Key_Return); }) << 1 << 1;
    QTest::newRow("Enter after +") << Answer([](ModalBoxAnswerer& a) { a.ThenKey(Qt::Key_Plus).ThenKey(Qt::Key_Enter); }) << 1 << 2;
    QTest::newRow("Escape after -") << Answer([](ModalBoxAnswerer& a) { a.ThenKey(Qt::Key_Minus).ThenKey(Qt::Key_Escape); }) << 0 << 0;
    QTest::newRow("window close") << Answer([](ModalBoxAnswerer& a) { a.ThenClose(); }) << 0 << 1;
    QTest::newRow("double click row") << Answer([](ModalBoxAnswerer& a) {
        a.ThenDo([](QWidget* box) {
            QListWidget* list = static_cast<QDialogMessageListe*>(box)->Form()->m_CtrlListWidget;
            const QRect row = list->visualItemRect(list->item(2));
            QTest::mouseClick(list->viewport(), Qt::LeftButton, Qt::NoModifier, row.center());
            QTest::mouseDClick(list->viewport(), Qt::LeftButton, Qt::NoModifier, row.center());
        });
    }) << 1 << 2;
}

void TestDialogs::listResultCodes()
{
    QFETCH(Answer, answer);
    QFETCH(int, code);
    QFETCH(int, lastRow);
    ModalBoxAnswerer answerer;
    answer(answerer);
    QDialogMessageListe dialog;
    QStringList rows{"-40 dB", "-30 dB", "-20 dB"};
    dialog.SetupText("Meter floor", rows, 1, Qt::AlignCenter);
    QCOMPARE(dialog.exec(), code);
    QCOMPARE(dialog.GetLastSelectedIndice(), lastRow);
    QCOMPARE(answerer.SeenBoxes().first().title, QString("Meter floor"));
}

void TestDialogs::listPlusMinusAndSize()
{
    QDialogMessageListe dialog;
    QStringList rows{"one", "two", "three"};
    dialog.SetupText("Pick", rows, 2, Qt::AlignCenter);
    QListWidget* list = dialog.Form()->m_CtrlListWidget;
    QCOMPARE(list->item(0)->data(Qt::TextAlignmentRole).toInt(), int(Qt::AlignCenter));
    dialog.show();
    // A short list shows every row whole, above the buttons.
    QDialogMessageListe levels;
    QStringList six{"  0 dB", " -3 dB", " -6 dB", " -9 dB", "-12 dB", "-14 dB"};
    levels.SetupText("Red Zone Level", six, 0, Qt::AlignCenter);
    levels.show();
    QVERIFY(QTest::qWaitForWindowExposed(&levels));
    QListWidget* shortList = levels.Form()->m_CtrlListWidget;
    QVERIFY(shortList->viewport()->rect().contains(shortList->visualItemRect(shortList->item(5))));
    KeepShot(&levels, "QDialogMessageListe-levels");
    KeepShot(&dialog, "QDialogMessageListe");
    QTest::keyClick(list, Qt::Key_Plus);
    QCOMPARE(list->currentRow(), 2);
    QTest::keyClick(list, Qt::Key_Minus);
    QTest::keyClick(list, Qt::Key_Minus);
    QTest::keyClick(list, Qt::Key_Minus);
    QCOMPARE(list->currentRow(), 0);
    QCOMPARE(dialog.GetLastSelectedIndice(), 0);

    QDialogMessageListe tall;
    QStringList many;
    for (int i = 0; i < 12; ++i)
        many << QString("row %1").arg(i);
    tall.SetupText("Many", many, 11, Qt::AlignLeft);
    tall.show();
    QVERIFY(QTest::qWaitForWindowExposed(&tall));
    // A long list scrolls, inside the dialog's limit, showing whole rows.
    QListWidget* tallList = tall.Form()->m_CtrlListWidget;
    QVERIFY(tall.height() <= tall.maximumHeight());
    QVERIFY(tallList->viewport()->rect().contains(tallList->visualItemRect(tallList->item(11))));
    QCOMPARE(tallList->viewport()->height() % tallList->visualItemRect(tallList->item(11)).height(), 0);
}

void TestDialogs::textViewLines()
{
    QDialogMessageTextEdit dialog;
    QStringList lines{"Day 2026-01-02: 14 takes", "Report written"};
    dialog.SetupText("Report", lines, 0, 0);
    QTextEdit* area = dialog.Form()->m_CtrlTextEdit;
    QCOMPARE(area->toPlainText(), QString("Day 2026-01-02: 14 takes\nReport written\n"));
    QVERIFY(area->isReadOnly());
    dialog.show();
    KeepShot(&dialog, "QDialogMessageTextEdit");
    dialog.hide();

    ModalBoxAnswerer answerer;
    answerer.ThenKey(Qt::Key_Return).ThenKey(Qt::Key_Escape).ThenClose().ThenDo([](QWidget* box) {
        static_cast<QDialogMessageTextEdit*>(box)->Form()->m_CtrlButton_Ok->click();
    });
    QCOMPARE(dialog.exec(), 1);
    QCOMPARE(dialog.exec(), 0);
    QCOMPARE(dialog.exec(), 0);
    QCOMPARE(dialog.exec(), 1);
    QCOMPARE(answerer.SeenBoxes().first().text, QString("Day 2026-01-02: 14 takes\nReport written\n"));

    QDialogMessageTextEdit empty;
    QStringList none;
    empty.SetupText("Only title", none, 0, 0);
    QCOMPARE(empty.Form()->m_CtrlTextEdit->toPlainText(), QString());
}

void TestDialogs::colorLabelKeepsOneBlock()
{
    QColorLabel label;
    label.setStyleSheet("font-weight: bold;");
    label.setTextColor(Qt::white);
    label.setTextColor(QColor(1, 2, 3));
    const QString sheet = label.styleSheet();
    QVERIFY(sheet.startsWith("font-weight: bold;/*-*Start0x"));
    QCOMPARE(sheet.count("/*-*Start0x"), 1);
    QVERIFY(sheet.contains(" color:rgba(1,2,3,255); /*-*End0x"));

    // A hover colour without its normal colour writes no rule.
    QColorLabel hoverOnly;
    hoverOnly.setTextHoverColor(Qt::yellow);
    QVERIFY(!hoverOnly.styleSheet().contains("color:"));
}

void TestDialogs::clickLabelNeedsSamePixel()
{
    QWidget window;
    auto* label = new QClickLabel(&window);
    label->resize(100, 20);
    window.show();
    QVERIFY(ModalBoxAnswerer::Activate(&window));
    QSignalSpy clicks(label, SIGNAL(signal_LabelClicked(QMouseEvent*)));
    QTest::mousePress(label, Qt::LeftButton, Qt::NoModifier, QPoint(5, 5));
    QTest::mouseRelease(label, Qt::LeftButton, Qt::NoModifier, QPoint(6, 5));
    QCOMPARE(clicks.count(), 0);
    QTest::mousePress(label, Qt::LeftButton, Qt::NoModifier, QPoint(5, 5));
    QTest::mousePress(label, Qt::RightButton, Qt::NoModifier, QPoint(30, 10));
    QTest::mouseRelease(label, Qt::RightButton, Qt::NoModifier, QPoint(31, 10));
    QTest::mouseRelease(label, Qt::LeftButton, Qt::NoModifier, QPoint(5, 5));
    QCOMPARE(clicks.count(), 1);
}

void TestDialogs::scrollAreaLeavesArrows()
{
    QMyScrollArea area;
    auto* inner = new QWidget;
    inner->resize(1000, 1000);
    area.setWidget(inner);
    area.resize(100, 100);
    area.show();
    QKeyEvent down(QEvent::KeyPress, Qt::Key_Down, Qt::NoModifier);
    QApplication::sendEvent(&area, &down);
    QVERIFY(!down.isAccepted());
    QCOMPARE(area.verticalScrollBar()->value(), 0);
    QTest::keyClick(&area, Qt::Key_PageDown);
    QVERIFY(area.verticalScrollBar()->value() > 0);
}

// A first start at the form's 1705 x 807 on small screens; a window across two.
void TestDialogs::fitToAreas_data()
{
    using Areas = QList<QRect>;
    QTest::addColumn<QRect>("window");
    QTest::addColumn<Areas>("areas");
    QTest::addColumn<QRect>("fitted");
    const QRect form(0, 0, 1705, 807);
    QTest::newRow("first start, 900 x 500") << form << Areas{{0, 0, 900, 500}} << QRect(0, 0, 900, 500);
    QTest::newRow("panel above") << form << Areas{{0, 32, 1280, 768}} << QRect(0, 32, 1280, 768);
    QTest::newRow("fits, stays") << QRect(100, 50, 800, 600) << Areas{{0, 0, 1920, 1080}} << QRect(100, 50, 800, 600);
    QTest::newRow("across two screens") << QRect(1800, 100, 1000, 1100) << Areas{{0, 0, 1920, 1080}, {1920, 0, 1280, 1024}}
                                        << QRect(1920, 0, 1000, 1024);
}

void TestDialogs::fitToAreas()
{
    QFETCH(QRect, window);
    QFETCH(QList<QRect>, areas);
    QFETCH(QRect, fitted);
    QCOMPARE(FitToAreas(window.topLeft(), window.size(), areas), fitted);
}

// A dialog larger than the screen opens within it, its far end scrolled to.
void TestDialogs::dialogKeptOnScreen_data()
{
    QTest::addColumn<QSize>("over");   // the content's least size past the screen's
    QTest::newRow("fits") << QSize(-300, -300);
    QTest::newRow("too wide") << QSize(300, -300);
    QTest::newRow("too high") << QSize(-300, 200);
}

void TestDialogs::dialogKeptOnScreen()
{
    QFETCH(QSize, over);
    const QRect area = QGuiApplication::primaryScreen()->availableGeometry();
    QDialog dialog;
    KeepOnScreen(&dialog);
    auto* layout = new QHBoxLayout(&dialog);
    layout->addWidget(new QWidget);
    layout->itemAt(0)->widget()->setMinimumSize(area.size() + over);
    auto* start = new QPushButton(QStringLiteral("START"), &dialog);
    layout->addWidget(start);
    dialog.show();
    QVERIFY(QTest::qWaitForWindowExposed(&dialog));
    QTRY_VERIFY(area.contains(dialog.frameGeometry()));   // once the window system has framed it
    QCOMPARE(dialog.findChild<QScrollArea*>("screenFitScroll") != nullptr, over.width() > 0 || over.height() > 0);
    QSignalSpy clicked(start, &QPushButton::clicked);
    QVERIFY(userinput::Click(start) && clicked.count() == 1);
    KeepShot(&dialog, QStringLiteral("kept-on-screen-%1").arg(QTest::currentDataTag()).replace(' ', '-'));
}

// A box's text that the screen cannot hold is cut, the whole of it in the
// details; the box, its details shown, lies within the screen.
void TestDialogs::messageBoxFitsTheScreen_data()
{
    QTest::addColumn<QString>("text");
    QTest::addColumn<bool>("cut");
    // More lines than the screen holds, whatever its size.
    QStringList paths;
    for (int i = 0; i < QGuiApplication::primaryScreen()->availableGeometry().height() / 8; ++i)
        paths << QStringLiteral("/media/card/P.BR1/D01.OVD/A%1T01_01.WAV").arg(i + 10);
    QTest::newRow("short, whole") << QStringLiteral("Unable to list the folder\n/media/card") << false;
    QTest::newRow("a path a line") << QStringLiteral("These takes were not saved:\n") + paths.join('\n') << true;
    QTest::newRow("one line of paths") << paths.join(' ') << true;
}

void TestDialogs::messageBoxFitsTheScreen()
{
    QFETCH(QString, text);
    QFETCH(bool, cut);
    QMessageBox box(QMessageBox::Warning, QStringLiteral("Warning"), text, QMessageBox::Ok);
    FitMessageBox(&box);
    QCOMPARE(box.text() != text, cut);
    QCOMPARE(box.detailedText(), cut ? text : QString());
    box.show();
    QVERIFY(QTest::qWaitForWindowExposed(&box));
    for (QAbstractButton* b : box.findChildren<QAbstractButton*>())
        if (b->text().startsWith("Show Details"))
            b->click();
    QApplication::processEvents();
    const QRect area = box.screen()->availableGeometry();
    QVERIFY2(box.height() <= area.height(), qPrintable(QString::number(box.height())));
    for (QAbstractButton* b : box.findChildren<QAbstractButton*>())
        QVERIFY(!b->isVisible() || area.contains(QRect(b->mapToGlobal(QPoint(0, 0)), b->size())));
}

QTEST_MAIN(TestDialogs)
#include "test_dialogs.moc"

