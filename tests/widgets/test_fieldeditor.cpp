#include <QApplication>
#include <QClipboard>
#include <QTextCursor>
#include <QtTest>
#include <climits>

#include "tests/support/modalboxanswerer.h"
#include "widgets/qbriselplaintextedit.h"
#include "widgets/qbriselsequencetextedit.h"

namespace {

void PlaceCursor(QPlainTextEdit& edit, int position)
{
    QTextCursor cursor = edit.textCursor();
    cursor.setPosition(position);
    edit.setTextCursor(cursor);
}

int CursorOf(const QPlainTextEdit& edit)
{
    return edit.textCursor().position();
}

// Sends one key and tells whether the editor kept it (accepted) or left it to its parent.
bool KeptByEditor(QWidget* edit, int key, Qt::KeyboardModifiers modifiers = Qt::NoModifier)
{
    QKeyEvent event(QEvent::KeyPress, key, modifiers, key < 0x1000000 ? QString(QChar(key)) : QString());
    QApplication::sendEvent(edit, &event);
    return event.isAccepted();
}

} // namespace

// The field text editor and the sequence editor: filtering, stepping, key table, length cut.
class TestFieldEditor : public QObject
{
    Q_OBJECT
private slots:
    void typingRepairsOutsideCharacters();
    void stepping_data();
    void stepping();
    void digitsStepping_data();
    void digitsStepping();
    void shiftKeysEraseDeleteInsert();
    void keysLeftToTheDialog();
    void overpassSignals();
    void countedModifiedPresses();
    void lengthCutOnPaste();
    void hugePasteIsCutInOneEdit();
    void setupKeepsAlphabetForUnknownKind();
    void digitsMaximumStaysInRange();
    void checkTextReportsRepair();

    void sequenceStepping_data();
    void sequenceStepping();
    void sequenceShiftEscapeAsks();
};

void TestFieldEditor::typingRepairsOutsideCharacters()
{
    QBriselPlainTextEdit edit;
    edit.SetupCaracFilter(CARAC_UPPER_DIGITS, 6);
    edit.setPlainText("AB");
    PlaceCursor(edit, 2);
    QTest::keyClick(&edit, Qt::Key_A, Qt::NoModifier);  // types 'a'
    QCOMPARE(edit.toPlainText(), QString("AB "));
    QCOMPARE(CursorOf(edit), 2);  // the block cursor stays on the repaired character
}

void TestFieldEditor::stepping_data()
{
    QTest::addColumn<int>("kind");
    QTest::addColumn<QString>("text");
    QTest::addColumn<int>("position");
    QTest::addColumn<int>("key");
    QTest::addColumn<QString>("expected");
    QTest::newRow("Z wraps to space") << int(CARAC_UPPER_DIGITS) << "Z" << 0 << int(Qt::Key_Up) << " ";
    QTest::newRow("space back to Z") << int(CARAC_UPPER_DIGITS) << " " << 0 << int(Qt::Key_Down) << "Z";
    QTest::newRow("take type g to t") << int(CARAC_TNPWARG) << "g" << 0 << int(Qt::Key_Up) << "t";
    QTest::newRow("end appends first") << int(CARAC_NAME) << "ab" << 2 << int(Qt::Key_Up) << "ab_";
    QTest::newRow("text # wraps") << int(CARAC_TEXT) << "x#" << 1 << int(Qt::Key_Up) << "x ";
}

void TestFieldEditor::stepping()
{
    QFETCH(int, kind);
    QFETCH(QString, text);
    QFETCH(int, position);
    QFETCH(int, key);
    QFETCH(QString, expected);
    QBriselPlainTextEdit edit;
    edit.SetupCaracFilter(tCaracFilter(kind), 8);
    edit.setPlainText(text);
    PlaceCursor(edit, position);
    QVERIFY(KeptByEditor(&edit, key));
    QCOMPARE(edit.toPlainText(), expected);
    QCOMPARE(CursorOf(edit), position);
}

void TestFieldEditor::digitsStepping_data()
{
    QTest::addColumn<QString>("text");
    QTest::addColumn<int>("position");
    QTest::addColumn<int>("key");
    QTest::addColumn<QString>("expected");
    QTest::newRow("9 up to 10") << " 9" << 1 << int(Qt::Key_Up) << "10";
    QTest::newRow("99 stays") << "99" << 1 << int(Qt::Key_Up) << "99";
    QTest::newRow("0 stays") << " 0" << 1 << int(Qt::Key_Down) << " 0";
    QTest::newRow("10 down to 9") << "10" << 1 << int(Qt::Key_Down) << " 9";
    QTest::newRow("blank reads as 0") << "  " << 1 << int(Qt::Key_Up) << " 1";
}

void TestFieldEditor::digitsStepping()
{
    QFETCH(QString, text);
    QFETCH(int, position);
    QFETCH(int, key);
    QFETCH(QString, expected);
    QBriselPlainTextEdit edit;
    edit.SetupCaracFilter(CARAC_DIGITS, 2);
    QCOMPARE(edit.NumericMax(), 99);
    edit.setPlainText(text);
    PlaceCursor(edit, position);
    KeptByEditor(&edit, key);
    QCOMPARE(edit.toPlainText(), expected);
    QCOMPARE(CursorOf(edit), position);

    // Beyond the second position the digits kind does not step.
    QBriselPlainTextEdit wide;
    wide.SetupCaracFilter(CARAC_DIGITS, 4);
    wide.setPlainText("1234");
    PlaceCursor(wide, 2);
    KeptByEditor(&wide, Qt::Key_Up);
    KeptByEditor(&wide, Qt::Key_Down);
    QCOMPARE(wide.toPlainText(), QString("1234"));
}

void TestFieldEditor::shiftKeysEraseDeleteInsert()
{
    QBriselPlainTextEdit edit;
    edit.SetupCaracFilter(CARAC_ALNUM, 10);
    edit.setPlainText("ABCD");
    PlaceCursor(edit, 0);
    QVERIFY(KeptByEditor(&edit, Qt::Key_Left, Qt::ShiftModifier));  // at 0: deletes the first
    QCOMPARE(edit.toPlainText(), QString("BCD"));
    PlaceCursor(edit, 2);
    KeptByEditor(&edit, Qt::Key_Left, Qt::ShiftModifier);
    QCOMPARE(edit.toPlainText(), QString("BD"));
    QCOMPARE(CursorOf(edit), 1);
    KeptByEditor(&edit, Qt::Key_Up, Qt::ShiftModifier);
    QCOMPARE(edit.toPlainText(), QString("B D"));
    QCOMPARE(CursorOf(edit), 1);
    KeptByEditor(&edit, Qt::Key_Down, Qt::ShiftModifier);
    QCOMPARE(edit.toPlainText(), QString("BD"));
    KeptByEditor(&edit, Qt::Key_F3);
    QCOMPARE(edit.toPlainText(), QString("D"));
    QVERIFY(KeptByEditor(&edit, Qt::Key_Return, Qt::ShiftModifier));
    QCOMPARE(edit.toPlainText(), QString("D"));
    QVERIFY(KeptByEditor(&edit, Qt::Key_Escape, Qt::ShiftModifier));
    QCOMPARE(edit.toPlainText(), QString());
}

void TestFieldEditor::keysLeftToTheDialog()
{
    QBriselPlainTextEdit edit;
    edit.setPlainText("AB");
    QVERIFY(!KeptByEditor(&edit, Qt::Key_Return));
    QVERIFY(!KeptByEditor(&edit, Qt::Key_Enter));
    QVERIFY(!KeptByEditor(&edit, Qt::Key_Tab));
    QVERIFY(!KeptByEditor(&edit, Qt::Key_Escape));
    QVERIFY(!KeptByEditor(&edit, Qt::Key_C, Qt::ControlModifier));
    QVERIFY(!KeptByEditor(&edit, Qt::Key_5, Qt::ControlModifier));
    QVERIFY(!KeptByEditor(&edit, Qt::Key_M, Qt::AltModifier));

    QApplication::clipboard()->setText("C");
    PlaceCursor(edit, 2);
    QVERIFY(KeptByEditor(&edit, Qt::Key_V, Qt::ControlModifier));
    QCOMPARE(edit.toPlainText(), QString("ABC"));
}

void TestFieldEditor::overpassSignals()
{
    QBriselPlainTextEdit edit;
    edit.SetupCaracFilter(CARAC_ALNUM, 4);
    edit.setPlainText("ABCD");
    QSignalSpy begin(&edit, SIGNAL(signal_BeginOverpass()));
    QSignalSpy end(&edit, SIGNAL(signal_EndOverpass()));
    PlaceCursor(edit, 0);
    QVERIFY(KeptByEditor(&edit, Qt::Key_Left));
    QCOMPARE(CursorOf(edit), 0);
    PlaceCursor(edit, 3);
    QVERIFY(KeptByEditor(&edit, Qt::Key_Right));
    QCOMPARE(CursorOf(edit), 3);
    QCOMPARE(begin.count(), 1);
    QCOMPARE(end.count(), 1);

    // At the end of a shorter text Right reports and still moves normally (nowhere).
    edit.setPlainText("AB");
    PlaceCursor(edit, 2);
    KeptByEditor(&edit, Qt::Key_Right);
    QCOMPARE(end.count(), 2);
}

void TestFieldEditor::countedModifiedPresses()
{
    QBriselPlainTextEdit edit;
    edit.SetupCaracFilter(CARAC_UPPER_DIGITS, 4);
    edit.setPlainText("A");
    PlaceCursor(edit, 0);
    // The shared counter may hold earlier presses: step until one acts, then count from there.
    int presses = 0;
    while (edit.toPlainText() == "A" && presses < 8) {
        KeptByEditor(&edit, Qt::Key_Plus, Qt::ControlModifier);
        PlaceCursor(edit, 0);
        ++presses;
    }
    QCOMPARE(edit.toPlainText(), QString("B"));
    for (int i = 0; i < 3; ++i) {
        KeptByEditor(&edit, Qt::Key_Minus, Qt::ControlModifier);
        PlaceCursor(edit, 0);
        QCOMPARE(edit.toPlainText().at(0), QChar('B'));
    }
    KeptByEditor(&edit, Qt::Key_Minus, Qt::ControlModifier);
    QCOMPARE(edit.toPlainText().at(0), QChar('A'));
}

void TestFieldEditor::lengthCutOnPaste()
{
    QBriselPlainTextEdit edit;
    edit.SetupCaracFilter(CARAC_UPPER_DIGITS, 6);
    edit.setPlainText("ABCDEF");
    PlaceCursor(edit, 2);
    edit.insertPlainText("xyz1");  // "ABxyz1CDEF": four too many, cut before the cursor
    QCOMPARE(edit.toPlainText(), QString("ABCDEF"));
    QCOMPARE(CursorOf(edit), 2);

    edit.setPlainText("ABCD");
    PlaceCursor(edit, 4);
    edit.insertPlainText("1e2");  // too long by one: the last inserted goes; then 'e' is repaired
    QCOMPARE(edit.toPlainText(), QString("ABCD1 "));
}

void TestFieldEditor::hugePasteIsCutInOneEdit()
{
    QBriselPlainTextEdit edit;
    edit.SetupCaracFilter(CARAC_TEXT, 20);
    edit.setPlainText("head");
    PlaceCursor(edit, 4);
    int changes = 0;
    connect(&edit, &QPlainTextEdit::textChanged, [&changes] { ++changes; });
    QApplication::clipboard()->setText(QString(100000, QChar('x')) + "\n~");
    QElapsedTimer timer;
    timer.start();
    edit.paste();
    QVERIFY2(timer.elapsed() < 5000, "the cut must not step character by character");
    QCOMPARE(edit.toPlainText(), QString("head") + QString(16, QChar('x')));
    QVERIFY(changes <= 4);

    // Cursor nearer the start than the excess: the cut runs on from the start.
    QBriselPlainTextEdit shortField;
    shortField.SetupCaracFilter(CARAC_ALNUM, 3);
    shortField.setPlainText("ab");
    PlaceCursor(shortField, 0);
    shortField.insertPlainText("XYZW");  // "XYZWab": cursor at 4, three too many
    QCOMPARE(shortField.toPlainText(), QString("Xab"));
}

void TestFieldEditor::setupKeepsAlphabetForUnknownKind()
{
    QBriselPlainTextEdit edit;
    edit.SetupCaracFilter(CARAC_TNPWARG, 5);
    edit.SetupCaracFilter(tCaracFilter(9), 3);
    QCOMPARE(int(edit.CaracFilter()), 9);
    QCOMPARE(edit.MaxLength(), 3);
    edit.setPlainText("tx");
    QCOMPARE(edit.toPlainText(), QString("tt"));
}

// Ten or more digits do not fit the numeric maximum: it stops at the
// largest int instead of wrapping round.
void TestFieldEditor::digitsMaximumStaysInRange()
{
    QBriselPlainTextEdit edit;
    edit.SetupCaracFilter(CARAC_DIGITS, 9);
    QCOMPARE(edit.NumericMax(), 999999999);
    edit.SetupCaracFilter(CARAC_DIGITS, 10);
    QCOMPARE(edit.NumericMax(), INT_MAX);
    edit.SetupCaracFilter(CARAC_DIGITS, 40);
    QCOMPARE(edit.NumericMax(), INT_MAX);
    edit.setPlainText(" ");
    PlaceCursor(edit, 0);
    KeptByEditor(&edit, Qt::Key_Down);
    QCOMPARE(edit.toPlainText().trimmed(), QString("0"));
}

void TestFieldEditor::checkTextReportsRepair()
{
    QBriselPlainTextEdit edit;
    QVERIFY(!edit.CheckTextCaracFilter(QBriselPlainTextEdit::CHECK));
    edit.SetupCaracFilter(CARAC_DIGITS, 3);
    // Stepping every valid character only shows when a repair replaces the text.
    QSignalSpy changed(&edit, SIGNAL(textChanged()));
    edit.blockSignals(true);
    edit.setPlainText("12");
    edit.blockSignals(false);
    QVERIFY(!edit.CheckTextCaracFilter(QBriselPlainTextEdit::NEXT));
    QCOMPARE(edit.toPlainText(), QString("12"));
    edit.blockSignals(true);
    edit.setPlainText("1a");
    edit.blockSignals(false);
    QVERIFY(edit.CheckTextCaracFilter(QBriselPlainTextEdit::NEXT));
    QCOMPARE(edit.toPlainText(), QString("2 "));
}

void TestFieldEditor::sequenceStepping_data()
{
    QTest::addColumn<QString>("text");
    QTest::addColumn<int>("position");
    QTest::addColumn<int>("key");
    QTest::addColumn<QString>("expected");
    QTest::newRow("two-digit number") << "000A-00A" << 1 << int(Qt::Key_Up) << " 10A-00A";
    QTest::newRow("three-digit floor") << "  0A-00A" << 2 << int(Qt::Key_Down) << "  0A-00A";
    QTest::newRow("last number ceiling") << "000A-99A" << 6 << int(Qt::Key_Up) << "000A-99A";
    QTest::newRow("separator wraps") << "000A-00A" << 4 << int(Qt::Key_Up) << "000A 00A";
    QTest::newRow("separator back") << "000A-00A" << 4 << int(Qt::Key_Down) << "000A/00A";
    QTest::newRow("letter up") << "000A-00A" << 3 << int(Qt::Key_Up) << "000B-00A";
    QTest::newRow("space back to 9") << "000 -00A" << 3 << int(Qt::Key_Down) << "0009-00A";
    QTest::newRow("digit wraps") << "900A-00A" << 0 << int(Qt::Key_Up) << " 00A-00A";
    QTest::newRow("outside repaired") << "000A_00A" << 4 << int(Qt::Key_Up) << "000A 00A";
}

void TestFieldEditor::sequenceStepping()
{
    QFETCH(QString, text);
    QFETCH(int, position);
    QFETCH(int, key);
    QFETCH(QString, expected);
    QBriselSequenceTextEdit edit;
    QCOMPARE(edit.toPlainText(), QString("000A-00A"));
    edit.setPlainText(text);
    PlaceCursor(edit, position);
    QVERIFY(KeptByEditor(&edit, key));
    QCOMPARE(edit.toPlainText(), expected);
    QCOMPARE(CursorOf(edit), position);
}

void TestFieldEditor::sequenceShiftEscapeAsks()
{
    QBriselSequenceTextEdit edit;
    QSignalSpy end(&edit, SIGNAL(signal_EndOverpass()));
    PlaceCursor(edit, 7);
    QVERIFY(KeptByEditor(&edit, Qt::Key_Right));
    QCOMPARE(end.count(), 1);
    QCOMPARE(CursorOf(edit), 7);

    ModalBoxAnswerer answerer;
    answerer.ThenKey(Qt::Key_Escape);
    KeptByEditor(&edit, Qt::Key_Escape, Qt::ShiftModifier);
    QCOMPARE(answerer.SeenBoxes().size(), 1);
    QCOMPARE(answerer.SeenBoxes().first().title, QString("Question"));
    QCOMPARE(answerer.SeenBoxes().first().text, QString("Do you want to erase field?"));
    QCOMPARE(edit.toPlainText(), QString("000A-00A"));

    answerer.ThenKey(Qt::Key_Return);
    KeptByEditor(&edit, Qt::Key_Escape, Qt::ShiftModifier);
    QCOMPARE(edit.toPlainText(), QString());
}

QTEST_MAIN(TestFieldEditor)
#include "test_fieldeditor.moc"
