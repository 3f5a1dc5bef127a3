#include "foundation/filekey.h"
#include "foundation/mapping.h"
#include "foundation/naming.h"
#include "foundation/xmlobject.h"

#include <QThread>
#include <QVector>
#include <QtTest>
#include <atomic>

class TestTexts : public QObject
{
    Q_OBJECT
private slots:
    void trackNumberTexts();
    void trackNumberTextPerThread();
    void timeCode();
    void panText_data();
    void panText();
    void fileKeyExamples();
    void mappingRoundTrip();
    void mappingFlagsAndAccessors();
    void mappingErrors_data();
    void mappingErrors();
    void mappingKeepsParsedItems();
    void mappingComparisonIgnoresFlags();
    void mappingDisplayString();
    void xmlParse();
    void xmlMalformed();
    void xmlPathsAndCreate();
    void xmlWrittenDeclaration();
};

void TestTexts::trackNumberTexts()
{
    QCOMPARE(QByteArray(TrkIndexToNN(1)), QByteArray("01"));
    QCOMPARE(QByteArray(TrkIndexToNN(24)), QByteArray("24"));
    QCOMPARE(QByteArray(TrkIndexToNN(123)), QByteArray("12"));
    QCOMPARE(QByteArray(TrkIndexToNN(-5)), QByteArray("-5"));
    QCOMPARE(TrkIndexToCharOld(24), 'O');
    QCOMPARE(TrkIndexToCharOld(36), '$');
}

void TestTexts::trackNumberTextPerThread()
{
    // Each thread formats its own number over and over; a shared buffer
    // would hand one thread another's digits.
    std::atomic<int> wrong{0};
    QVector<QThread*> threads;
    for (int t = 1; t <= 8; ++t) {
        threads.append(QThread::create([t, &wrong] {
            const QByteArray expected = QByteArray::number(t + 10);
            for (int i = 0; i < 20000; ++i) {
                const char* text = TrkIndexToNN(t + 10);
                if (QByteArray(text) != expected)
                    ++wrong;
            }
        }));
    }
    for (QThread* thread : threads)
        thread->start();
    for (QThread* thread : threads) {
        thread->wait();
        delete thread;
    }
    QCOMPARE(wrong.load(), 0);
}

void TestTexts::timeCode()
{
    QCOMPARE(GetTimeCode(25 * 3600 + 25 * 61 + 3, 25), QString("01:01:01:03"));
    QCOMPARE(GetTimeCode(30UL * 3600 * 30, 30), QString("30:00:00:00"));
    QCOMPARE(GetTimeCode(100, 0), QString("--:--:--:--"));
}

void TestTexts::panText_data()
{
    QTest::addColumn<QString>("text");
    QTest::addColumn<int>("left");
    QTest::addColumn<int>("right");
    QTest::newRow("pair") << "100,40" << 100 << 40;
    QTest::newRow("blanks") << " 20 , 80 " << 20 << 80;
    QTest::newRow("clamped") << "150,-3" << 100 << 0;
    QTest::newRow("97") << "97" << 100 << 0;
    QTest::newRow("98") << "98" << 100 << 100;
    QTest::newRow("99") << "99" << 0 << 100;
    QTest::newRow("other single") << "50" << 0 << 0;
    QTest::newRow("empty") << "" << 0 << 0;
    QTest::newRow("three items") << "1,2,3" << -7 << -7;
}

void TestTexts::panText()
{
    QFETCH(QString, text);
    int left = -7;
    int right = -7;
    DecodePanPotText(text, &left, &right);
    QTEST(left, "left");
    QTEST(right, "right");
    DecodePanPotText(text, nullptr, nullptr);
}

void TestTexts::fileKeyExamples()
{
    QCOMPARE(MakeFileKey(1000, 48000, 24, 1), QString("D4F21B87BC5AE448"));
    QCOMPARE(MakeFileKey(288000, 48000, 16, 2), QString("A431403012E5FD0B"));
    QVERIFY(FileKeyMatches("  d4f21b87bc5ae448\n", 1000, 48000, 24, 1));
    QVERIFY(!FileKeyMatches("D4F21B87BC5AE448", 1002, 48000, 24, 1));
    QVERIFY(!FileKeyMatches(QString(), 1000, 48000, 24, 1));
}

void TestTexts::mappingRoundTrip()
{
    const QString text = "MIC_1=0x1,MIC_8=0x3,LINE_4=0x1,DIGI_2=0x1,AES42_1=0xA,DANTE_64=0x1,"
                         "MIX_1=0x1,MIX_2=0x1,TRACK_24=0x1,TALK_4=0x1,POSTFADE_1=0x1F,";
    QMapping m;
    QCOMPARE(m.fromString(text), 0);
    QCOMPARE(m.count(), 11);
    QCOMPARE(m.toString(), text);

    QMapping again;
    QCOMPARE(again.fromString(m.toString()), 0);
    QVERIFY(!(again != m));
    QCOMPARE(again.hasMixLeft(), true);
    QCOMPARE(again.hasMixRight(), true);

    QCOMPARE(QMapping().toString(), QString());
    QMapping empty;
    QCOMPARE(empty.fromString(QString()), 0);
    QCOMPARE(empty.count(), 0);

    // Decimal values, blanks and no trailing comma are read too.
    QCOMPARE(m.fromString(" MIC_2 = 2 , LINE_1=0X1f"), 0);
    QCOMPARE(m.mic().value(1), 2);
    QCOMPARE(m.line().value(0), 31);

    // Travels in queued signals.
    const QVariant v = QVariant::fromValue(again);
    QVERIFY(!(v.value<QMapping>() != again));
}

void TestTexts::mappingFlagsAndAccessors()
{
    QMapping m;
    QCOMPARE(m.fromString("MIC_1=0x2,MIC_2=0x3,MIX_2=0x1,DANTE_3=0x1,POSTFADE_5=0x1,TALK_2=0x1,"), 0);
    bool mid = false;
    bool side = false;
    QVERIFY(m.hasMs(&mid, &side));
    QVERIFY(mid && side);
    QVERIFY(m.hasMs(nullptr, nullptr));
    QVERIFY(!m.hasMixLeft());
    QVERIFY(m.hasMixRight());
    QCOMPARE(m.hasMic(), 2);
    QCOMPARE(m.mic(), (QHash<int, int>{{0, 2}, {1, 3}}));
    QCOMPARE(m.dante(), (QHash<int, int>{{2, 1}}));

    QMapping copy;
    copy = m;
    QVERIFY(copy.hasMs(&mid, &side) && copy.hasMixRight());
    m.clear();
    QCOMPARE(m.count(), 0);
    QVERIFY(!m.hasMs(&mid, &side));
    QVERIFY(!mid && !side);
    QVERIFY(!m.hasMixRight());
}

void TestTexts::mappingErrors_data()
{
    QTest::addColumn<QString>("text");
    QTest::addColumn<int>("code");
    QTest::newRow("1 no =") << "MIC_1" << 1;
    QTest::newRow("1 empty middle item") << "MIC_1=1,,LINE_1=1" << 1;
    QTest::newRow("2 unknown kind") << "FOO_1=0x1" << 2;
    QTest::newRow("2 lower case") << "mic_1=0x1" << 2;
    QTest::newRow("3 no index") << "MIC=0x1" << 3;
    QTest::newRow("3 index text") << "MIC_x=0x1" << 3;
    QTest::newRow("3 index overflow") << "MIC_99999999999=0x1" << 3;
    QTest::newRow("4 value text") << "MIC_1=0xZZ" << 4;
    QTest::newRow("4 value zero") << "MIC_1=0x0" << 4;
    QTest::newRow("4 value negative") << "MIC_1=-3" << 4;
    QTest::newRow("4 value overflow") << "MIC_1=0xFFFFFFFFF" << 4;
    QTest::newRow("4 value empty") << "MIC_1=" << 4;
    QTest::newRow("5 mic") << "MIC_9=0x1" << 5;
    QTest::newRow("5 mic zero") << "MIC_0=0x1" << 5;
    QTest::newRow("6 line") << "LINE_5=0x1" << 6;
    QTest::newRow("7 digi") << "DIGI_9=0x1" << 7;
    QTest::newRow("8 aes42") << "AES42_5=0x1" << 8;
    QTest::newRow("9 dante") << "DANTE_65=0x1" << 9;
    QTest::newRow("10 mix") << "MIX_3=0x1" << 10;
    QTest::newRow("11 track") << "TRACK_25=0x1" << 11;
    QTest::newRow("12 talk") << "TALK_5=0x1" << 12;
    QTest::newRow("13 postfade") << "POSTFADE_25=0x1" << 13;
    QTest::newRow("13 negative") << "POSTFADE_-1=0x1" << 13;
    QTest::newRow("last failure wins") << "MIC_9=1,LINE_5=1,MIC_1=1" << 6;
    QTest::newRow("garbage") << QString::fromUtf8("\xC3\xA9=,=,_=_,\x01") << 1;
}

void TestTexts::mappingErrors()
{
    QFETCH(QString, text);
    QMapping m;
    QTEST(m.fromString(text), "code");
    for (const QHash<int, int>& table : {m.mic(), m.line(), m.digi(), m.aes42(), m.dante(), m.mix(), m.track(),
                                         m.talk(), m.postfade()}) {
        for (auto it = table.cbegin(); it != table.cend(); ++it)
            QVERIFY(it.key() >= 0 && it.value() > 0);
    }
}

void TestTexts::mappingKeepsParsedItems()
{
    QMapping m;
    QCOMPARE(m.fromString("MIC_1=0x2,MIC_9=0x1,MIX_1=0x1,LINE_1=0x0,"), 4);
    QCOMPARE(m.count(), 2);
    QVERIFY(m.hasMs(nullptr, nullptr));
    QVERIFY(m.hasMixLeft());
    // A new text starts from an empty record.
    QCOMPARE(m.fromString("LINE_2=0x1"), 0);
    QCOMPARE(m.count(), 1);
    QVERIFY(!m.hasMixLeft() && !m.hasMs(nullptr, nullptr));
}

void TestTexts::mappingComparisonIgnoresFlags()
{
    QMapping a;
    QMapping b;
    QVERIFY(!(a != b));
    a.fromString("MIC_1=0x1");
    QVERIFY(a != b);
    b.fromString("MIC_1=0x2");
    QVERIFY(a != b);
    b.fromString("MIC_1=1");
    QVERIFY(!(a != b));
    a.fromString("MIX_1=0x1");
    b.fromString("MIX_1=0x1,MIX_9=1");
    QVERIFY(!(a != b));
}

void TestTexts::mappingDisplayString()
{
    QMapping m;
    m.fromString("TRACK_3=1,MIX_2=1,MIX_1=1,MIC_2=0x3,MIC_1=0x2,MIC_5=0x1,LINE_2=1,DIGI_1=1,AES42_4=1,"
                 "DANTE_10=1,TALK_1=1,POSTFADE_2=1");
    QCOMPARE(m.displayString(), QString("MS_M_1,MS_S_2,MIC_5,LINE_2,DIGI_1,AES42_4,DANTE_10,MIX_L,MIX_R,"
                                        "TRACK_3,TALK_1,POSTFADE_2,"));
    QCOMPARE(QMapping().displayString(), QString());
}

void TestTexts::xmlParse()
{
    QXmlObject xml;
    QByteArray bytes("<BWFXML><SCENE>12A</SCENE><TRACK_LIST><TRACK><NAME>Boom</NAME></TRACK></TRACK_LIST></BWFXML>");
    bytes.append(QByteArray(64, '\0'));
    bytes.append("  \r\n");
    bytes.append(QByteArray(3, '\0'));
    QVERIFY(xml.SetContent(bytes));
    QVERIFY(xml.XmlOk());
    QCOMPARE(xml.RootTag(), QString("BWFXML"));
    QCOMPARE(xml.GetText({"SCENE"}), QString("12A"));
    QCOMPARE(xml.GetText({"TRACK_LIST", "TRACK", "NAME"}), QString("Boom"));
    QCOMPARE(xml.GetText({"TRACK_LIST", "MISSING", "NAME"}), QString());
    QVERIFY(xml.GetElement({"NOPE"}).isNull());
}

void TestTexts::xmlMalformed()
{
    QXmlObject xml;
    QVERIFY(xml.SetContent("<BWFXML><SCENE>1</SCENE></BWFXML>"));
    for (const QByteArray& bad : {QByteArray("<BWFXML><SCENE>1</BWFXML>"), QByteArray(),
                                  QByteArray(100, '\0'), QByteArray("<BWFXML></BWFXML>garbage"),
                                  QByteArray("\xff\xfe<\x00"),
                                  QByteArray("<a>").repeated(20000) + QByteArray("</a>").repeated(20000)}) {
        QVERIFY(!xml.SetContent(bad));
        QVERIFY(!xml.XmlOk());
        QVERIFY(!xml.LastXmlError().isEmpty());
        QCOMPARE(xml.GetText({"SCENE"}), QString());
        QVERIFY(!xml.SetText({"SCENE"}, "x"));
        QVERIFY(xml.ToText().isEmpty());
    }
}

void TestTexts::xmlPathsAndCreate()
{
    QXmlObject nested;
    QVERIFY(nested.SetContent(QByteArray("<a>").repeated(64) + QByteArray("</a>").repeated(64)));
    QVERIFY(!nested.SetContent(QByteArray("<a>").repeated(65) + QByteArray("</a>").repeated(65)));
    // Markup that is not an element does not count towards the nesting.
    QVERIFY(nested.SetContent("<?xml version=\"1.0\"?><!-- " + QByteArray("<a>").repeated(100) + " --><r>"
                              + QByteArray("<e x=\"1\"/>").repeated(100) + "<![CDATA[" + QByteArray("<b>").repeated(100)
                              + "]]><?pi " + QByteArray("<c>").repeated(100) + "?></r>"));

    QXmlObject xml;
    xml.NewDocument("BWFXML");
    QVERIFY(xml.SetText({"ORVEX_BRISEL", "FILE_KEY"}, "ABC"));
    QVERIFY(xml.SetText({"ORVEX_BRISEL", "FILE_KEY"}, "DEF"));
    QDomElement list = xml.GetElement({"TRACK_LIST"}, true);
    for (int i = 1; i <= 3; ++i) {
        QDomElement track = list.appendChild(xml.Document().createElement("TRACK")).toElement();
        xml.SetChildText(track, "CHANNEL_INDEX", QString::number(i));
        xml.SetChildText(track, "NAME", QString("T%1").arg(i));
    }
    QCOMPARE(QXmlObject::ChildText(QXmlObject::FindChildByValue(list, "TRACK", "CHANNEL_INDEX", " 2 "), "NAME"),
             QString("T2"));
    QVERIFY(QXmlObject::FindChildByValue(list, "TRACK", "CHANNEL_INDEX", "9").isNull());

    const QByteArray text = xml.ToText();
    QVERIFY(text.startsWith("<?xml"));
    QXmlObject reread;
    QVERIFY(reread.SetContent(text));
    QCOMPARE(reread.GetText({"ORVEX_BRISEL", "FILE_KEY"}), QString("DEF"));
    QCOMPARE(reread.Root().firstChildElement("ORVEX_BRISEL").elementsByTagName("FILE_KEY").size(), 1);
    QCOMPARE(reread.GetText({"TRACK_LIST", "TRACK", "NAME"}), QString("T1"));

    QXmlObject none;
    QVERIFY(none.GetElement({"A"}, true).isNull());
    QVERIFY(!none.SetText({"A"}, "x"));
}

void TestTexts::xmlWrittenDeclaration()
{
    // Whatever declaration was read, the text is written as UTF-8 and reads back.
    for (const QByteArray& declaration : {QByteArray("<?xml version=\"1.0\" encoding=\"ISO-8859-1\"?>"),
                                          QByteArray("<?xml version=\"1.'\" encoding=\"UTF-8\"?>")}) {
        QXmlObject xml;
        QVERIFY(xml.SetContent(declaration + "\n<BWFXML><NOTE>caf\xe9</NOTE></BWFXML>"));
        const QByteArray text = xml.ToText();
        QVERIFY(text.startsWith("<?xml version=\"1.0\" encoding=\"UTF-8\"?>"));
        QCOMPARE(text.count("<?xml"), 1);
        QXmlObject reread;
        QVERIFY2(reread.SetContent(text), text.constData());
        QCOMPARE(reread.GetText({"NOTE"}), xml.GetText({"NOTE"}));
    }
}

QTEST_GUILESS_MAIN(TestTexts)
#include "test_texts.moc"
