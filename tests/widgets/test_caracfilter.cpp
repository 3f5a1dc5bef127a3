#include <QApplication>
#include <QClipboard>
#include <QMimeData>
#include <QtTest>

#include "tests/support/modalboxanswerer.h"
#include "widgets/caracfilter.h"
#include "widgets/qmylineedit.h"

// The character alphabets and the filtered line edit that applies them.
class TestCaracFilter : public QObject
{
    Q_OBJECT
private slots:
    void alphabets_data();
    void alphabets();
    void stepping_data();
    void stepping();
    void unknownKindHasNoAlphabet();

    void lineEditHexaMode();
    void lineEditAlphaNumWithAllowedList();
    void lineEditForbiddenListSeesTypedCharactersOnly();
    void lineEditUpDownSwallowed();
    void lineEditPasteFollowsRules();
    void lineEditPasteKeepsProgramText();
};

void TestCaracFilter::alphabets_data()
{
    QTest::addColumn<int>("kind");
    QTest::addColumn<int>("length");
    QTest::addColumn<QString>("head");
    QTest::addColumn<QString>("tail");
    QTest::newRow("alnum") << int(CARAC_ALNUM) << 63 << " ABC" << "789";
    QTest::newRow("take types") << int(CARAC_TNPWARG) << 7 << "tnp" << "arg";
    QTest::newRow("upper digits") << int(CARAC_UPPER_DIGITS) << 39 << " 01" << "/+ABCDEFGHIJKLMNOPQRSTUVWXYZ";
    QTest::newRow("text") << int(CARAC_TEXT) << 85 << " AB" << "789()[]!\"$%',.:;=?@_/*-+#";
    QTest::newRow("name") << int(CARAC_NAME) << 66 << "_-. A" << "9";
    QTest::newRow("digits") << int(CARAC_DIGITS) << 11 << " 0123456789" << "9";
    QTest::newRow("separators") << int(CARAC_SEPARATORS) << 3 << " /-" << "-";
}

void TestCaracFilter::alphabets()
{
    QFETCH(int, kind);
    QFETCH(int, length);
    QFETCH(QString, head);
    QFETCH(QString, tail);
    const tCaracAlphabet alphabet = CaracFilterAlphabet(kind);
    QCOMPARE(alphabet.length, length);
    const QString chars = QString::fromLatin1(alphabet.chars, alphabet.length);
    QVERIFY(chars.startsWith(head));
    QVERIFY(chars.endsWith(tail));
    QCOMPARE(chars.toLatin1().size(), QSet<QChar>(chars.begin(), chars.end()).size());
}

void TestCaracFilter::stepping_data()
{
    // Each row: a character, the result of next, previous, check, and whether it needed repair.
    QTest::addColumn<int>("kind");
    QTest::addColumn<QChar>("c");
    QTest::addColumn<QChar>("next");
    QTest::addColumn<QChar>("previous");
    QTest::addColumn<bool>("outside");
    QTest::newRow("alnum Z to a") << int(CARAC_ALNUM) << QChar('Z') << QChar('a') << QChar('Y') << false;
    QTest::newRow("alnum 9 wraps") << int(CARAC_ALNUM) << QChar('9') << QChar(' ') << QChar('8') << false;
    QTest::newRow("alnum space wraps back") << int(CARAC_ALNUM) << QChar(' ') << QChar('A') << QChar('9') << false;
    QTest::newRow("alnum repairs -") << int(CARAC_ALNUM) << QChar('-') << QChar(' ') << QChar(' ') << true;
    QTest::newRow("types g to t") << int(CARAC_TNPWARG) << QChar('g') << QChar('t') << QChar('r') << false;
    QTest::newRow("types t back to g") << int(CARAC_TNPWARG) << QChar('t') << QChar('n') << QChar('g') << false;
    QTest::newRow("types repairs x") << int(CARAC_TNPWARG) << QChar('x') << QChar('t') << QChar('t') << true;
    QTest::newRow("upper Z wraps") << int(CARAC_UPPER_DIGITS) << QChar('Z') << QChar(' ') << QChar('Y') << false;
    QTest::newRow("upper + to A") << int(CARAC_UPPER_DIGITS) << QChar('+') << QChar('A') << QChar('/') << false;
    QTest::newRow("upper repairs a") << int(CARAC_UPPER_DIGITS) << QChar('a') << QChar(' ') << QChar(' ') << true;
    QTest::newRow("text 9 to (") << int(CARAC_TEXT) << QChar('9') << QChar('(') << QChar('8') << false;
    QTest::newRow("text # wraps") << int(CARAC_TEXT) << QChar('#') << QChar(' ') << QChar('+') << false;
    QTest::newRow("text repairs ~") << int(CARAC_TEXT) << QChar('~') << QChar(' ') << QChar(' ') << true;
    QTest::newRow("name _ back wraps") << int(CARAC_NAME) << QChar('_') << QChar('-') << QChar('9') << false;
    QTest::newRow("name . to space") << int(CARAC_NAME) << QChar('.') << QChar(' ') << QChar('-') << false;
    QTest::newRow("name repairs /") << int(CARAC_NAME) << QChar('/') << QChar('_') << QChar('_') << true;
    QTest::newRow("digits 9 wraps") << int(CARAC_DIGITS) << QChar('9') << QChar(' ') << QChar('8') << false;
    QTest::newRow("digits repairs A") << int(CARAC_DIGITS) << QChar('A') << QChar(' ') << QChar(' ') << true;
    QTest::newRow("separators - wraps") << int(CARAC_SEPARATORS) << QChar('-') << QChar(' ') << QChar('/') << false;
    QTest::newRow("separators repairs _") << int(CARAC_SEPARATORS) << QChar('_') << QChar(' ') << QChar(' ') << true;
    QTest::newRow("wide char is never in") << int(CARAC_ALNUM) << QChar(0x0141) << QChar(' ') << QChar(' ') << true;
}

void TestCaracFilter::stepping()
{
    QFETCH(int, kind);
    QFETCH(QChar, c);
    QFETCH(QChar, next);
    QFETCH(QChar, previous);
    QFETCH(bool, outside);
    const tCaracAlphabet alphabet = CaracFilterAlphabet(kind);
    unsigned char forward = CaracToByte(c);
    unsigned char backward = CaracToByte(c);
    unsigned char checked = CaracToByte(c);
    QCOMPARE(ApplyCaracFilterStep(&forward, CARAC_ACTION_NEXT, alphabet), outside ? 1 : 0);
    QCOMPARE(ApplyCaracFilterStep(&backward, CARAC_ACTION_PREVIOUS, alphabet), outside ? 1 : 0);
    QCOMPARE(ApplyCaracFilterStep(&checked, CARAC_ACTION_CHECK, alphabet), outside ? 1 : 0);
    QCOMPARE(QChar(forward), next);
    QCOMPARE(QChar(backward), previous);
    QCOMPARE(QChar(checked), outside ? QChar(alphabet.chars[0]) : c);

    // A full cycle forward visits every character once and comes back.
    unsigned char walker = static_cast<unsigned char>(alphabet.chars[0]);
    for (int i = 0; i < alphabet.length; ++i) {
        QCOMPARE(char(walker), alphabet.chars[i]);
        ApplyCaracFilterStep(&walker, CARAC_ACTION_NEXT, alphabet);
    }
    QCOMPARE(char(walker), alphabet.chars[0]);
}

void TestCaracFilter::unknownKindHasNoAlphabet()
{
    QVERIFY(CaracFilterAlphabet(7).chars == nullptr);
    QVERIFY(CaracFilterAlphabet(-1).chars == nullptr);
}

void TestCaracFilter::lineEditHexaMode()
{
    QMyLineEdit edit;
    edit.SetHexa();
    QSignalSpy keys(&edit, SIGNAL(KeyPress(int)));
    ModalBoxAnswerer answerer;
    answerer.ThenAccept();
    QTest::keyClicks(&edit, "aF");
    QTest::keyClick(&edit, Qt::Key_G);
    QTRY_COMPARE(answerer.SeenBoxes().size(), 1);
    QCOMPARE(answerer.SeenBoxes().first().title, QString("Warning"));
    QCOMPARE(answerer.SeenBoxes().first().text, QString("Invalid character !"));
    QCOMPARE(edit.text(), QString("aF"));
    QTest::keyClick(&edit, Qt::Key_Backspace);
    QTest::keyClick(&edit, Qt::Key_Home);
    QTest::keyClick(&edit, Qt::Key_Delete);
    QCOMPARE(edit.text(), QString());
    QCOMPARE(keys.count(), 5);
    QCOMPARE(keys.at(2).at(0).toInt(), int(Qt::Key_Backspace));
}

void TestCaracFilter::lineEditAlphaNumWithAllowedList()
{
    QMyLineEdit edit;
    edit.SetAlphaNum();
    ModalBoxAnswerer answerer;
    answerer.ThenAccept();
    QTest::keyClick(&edit, Qt::Key_Minus);
    QTRY_COMPARE(answerer.SeenBoxes().size(), 1);
    QCOMPARE(edit.text(), QString());

    QStringList allowed{"-"};
    edit.AllowCarac(&allowed);
    QTest::keyClicks(&edit, "a-1");
    QCOMPARE(edit.text(), QString("a-1"));

    // The alphabet of a kind widens the mode the same way.
    QMyLineEdit scene;
    scene.SetAlphaNum();
    scene.SetupCaracFilter(CARAC_TEXT);
    QTest::keyClicks(&scene, "A/B");
    QCOMPARE(scene.text(), QString("A/B"));
}

// A key that types nothing is not compared with the lists, not even with an
// entry equal to the low byte of its code: Backspace edits.
void TestCaracFilter::lineEditForbiddenListSeesTypedCharactersOnly()
{
    QMyLineEdit edit;
    edit.setText("abc");
    QStringList forbidden{QString(QChar(Qt::Key_Backspace & 0xFF)), "X"};
    edit.ForbiddenCarac(&forbidden);
    ModalBoxAnswerer answerer;
    answerer.ThenAccept();
    QTest::keyClick(&edit, Qt::Key_Backspace);
    QCOMPARE(answerer.SeenBoxes().size(), 0);
    QTest::keyClick(&edit, Qt::Key_X, Qt::ShiftModifier);
    QTRY_COMPARE(answerer.SeenBoxes().size(), 1);
    QCOMPARE(edit.text(), QString("ab"));
}

void TestCaracFilter::lineEditUpDownSwallowed()
{
    QWidget parent;
    auto* edit = new QMyLineEdit(&parent);
    edit->setText("ab");
    QSignalSpy keys(edit, SIGNAL(KeyPress(int)));
    QKeyEvent up(QEvent::KeyPress, Qt::Key_Up, Qt::NoModifier);
    QApplication::sendEvent(edit, &up);
    QVERIFY(up.isAccepted());
    QTest::keyClick(edit, Qt::Key_Down);
    QCOMPARE(keys.count(), 0);
    QCOMPARE(edit->text(), QString("ab"));
}

void TestCaracFilter::lineEditPasteFollowsRules()
{
    QMyLineEdit edit;
    edit.SetHexa();
    QStringList forbidden{"E"};
    edit.ForbiddenCarac(&forbidden);
    QApplication::clipboard()->setText("1eG\n2\r\tfZ");
    edit.paste();
    QCOMPARE(edit.text(), QString("12f"));

    // A drop goes through the same insertion.
    QMyLineEdit drop;
    drop.setText("ab");
    QStringList slash{"/"};
    drop.ForbiddenCarac(&slash);
    drop.setCursorPosition(1);
    drop.insert("x/y\nz");
    QCOMPARE(drop.text(), QString("axyzb"));
    QCOMPARE(drop.cursorPosition(), 4);
}

void TestCaracFilter::lineEditPasteKeepsProgramText()
{
    // Text the program sets is shown as it is; only what the user adds is filtered.
    QMyLineEdit edit;
    QStringList forbidden{"="};
    edit.ForbiddenCarac(&forbidden);
    edit.setText("a=b");
    edit.end(false);
    edit.insert("=c");
    QCOMPARE(edit.text(), QString("a=bc"));
    edit.selectAll();
    edit.insert("x=y");
    QCOMPARE(edit.text(), QString("xy"));
}

QTEST_MAIN(TestCaracFilter)
#include "test_caracfilter.moc"
