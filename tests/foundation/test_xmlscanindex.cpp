// The scan index answers for a document without its DOM: every text it
// indexes must read as the DOM of that text reads, and every text it cannot
// be sure of must be left to the parser.
#include "foundation/xmlobject.h"
#include "tests/support/fixturewriter.h"
#include "tests/support/xmlscancompare.h"

#include <QDomDocument>
#include <QtTest>

using fixture::IxmlForm;
using fixture::IxmlInForm;

namespace {
// The document as the DOM's own writer serialises it (indent 1, its
// declaration replaced), which ToText must match byte for byte.
QByteArray DomWriterText(const QXmlObject& object)
{
    QString body;
    QTextStream stream(&body);
    object.Document().doctype().save(stream, 1);
    for (QDomNode node = object.Document().firstChild(); !node.isNull(); node = node.nextSibling()) {
        if (!node.isProcessingInstruction() || node.toProcessingInstruction().target() != QLatin1String("xml"))
            node.save(stream, 1);
    }
    stream.flush();
    return "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n" + body.toUtf8();
}
}  // namespace

class TestXmlScanIndex : public QObject
{
    Q_OBJECT

private slots:
    void readsAsTheDom_data()
    {
        QTest::addColumn<QByteArray>("text");
        QTest::addColumn<bool>("indexed");
        const QByteArray declaration = "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n";
        const QByteArray body = "<BWFXML>\n\t<SCENE>12A</SCENE>\n\t<TRACK_LIST><TRACK_COUNT>1</TRACK_COUNT>"
                                "<TRACK><CHANNEL_INDEX>2</CHANNEL_INDEX><NAME>Boom</NAME></TRACK></TRACK_LIST>\n"
                                "</BWFXML>";
        auto in = [](const QByteArray& content) { return "<BWFXML><A>x</A>" + content + "<Z/></BWFXML>"; };

        QTest::newRow("as written") << declaration + body << true;
        QTest::newRow("no declaration") << body << true;
        QTest::newRow("chunk padding") << declaration + body + QByteArray(40, ' ') + QByteArray(9, '\0') << true;
        QTest::newRow("carriage returns between elements") << QByteArray(declaration + body).replace("\n", "\r\n")
                                                           << true;
        QTest::newRow("duplicated elements") << in("<NOTE>one</NOTE><NOTE>two</NOTE><A>y</A>") << true;
        QTest::newRow("blank before the slash") << in("<UBITS />") << false;
        QTest::newRow("empty element forms") << in("<NOTE/><TAPE></TAPE>") << true;
        QTest::newRow("blank texts") << in("<NOTE>   </NOTE><TAPE>\n\t</TAPE>") << true;
        QTest::newRow("blanks around a text") << in("<NOTE>  plane\toverhead \n</NOTE>") << true;
        QTest::newRow("texts of nested elements") << in("<L><D><I>1</I><N>a b</N></D><D><I>2</I></D></L>") << true;
        QTest::newRow("name characters") << in("<a.b-1_c>v</a.b-1_c><_x>w</_x>") << true;
        QTest::newRow("64 levels") << QByteArray("<a>").repeated(64) + "x" + QByteArray("</a>").repeated(64) << true;
        // Other recorders' UTF-16 texts read as their UTF-8 form, padding
        // (whole units; an odd NUL) dropped, the last unit kept.
        const QByteArray padded = declaration + body + "  ";
        QTest::newRow("UTF-16LE with a byte order mark") << IxmlInForm(padded, IxmlForm::Utf16LEWithBom) << true;
        QTest::newRow("UTF-16BE bare") << IxmlInForm(padded, IxmlForm::Utf16BEBare) << true;
        QTest::newRow("UTF-16LE padded with NULs")
            << IxmlInForm(declaration + body, IxmlForm::Utf16LEWithBom) + QByteArray(9, '\0') << true;
        QTest::newRow("UTF-16LE 64 levels, no mark")
            << IxmlInForm(QByteArray("<a>").repeated(64) + QByteArray("</a>").repeated(64), IxmlForm::Utf16BEBare)
                   .mid(1).append('\0') << true;
        QTest::newRow("UTF-16BE non-ASCII text") << IxmlInForm(in("<NOTE>caf\xc3\xa9 \xf0\x9f\x8e\xac</NOTE>"),
                                                               IxmlForm::Utf16BEBare) << false;
        QTest::newRow("UTF-16 65 levels")
            << IxmlInForm(QByteArray("<a>").repeated(65) + QByteArray("</a>").repeated(65), IxmlForm::Utf16BEBare)
            << false;
        QTest::newRow("UTF-16 half a unit at the end") << IxmlInForm(body, IxmlForm::Utf16LEWithBom) + "x" << false;

        QTest::newRow("65 levels") << QByteArray("<a>").repeated(65) + QByteArray("</a>").repeated(65) << false;
        QTest::newRow("entity") << in("<NOTE>a &amp; b</NOTE>") << false;
        QTest::newRow("character reference") << in("<NOTE>&#65;</NOTE>") << false;
        QTest::newRow("CDATA") << in("<NOTE><![CDATA[x]]></NOTE>") << false;
        QTest::newRow("comment in a value") << in("<NOTE>a<!-- b -->c</NOTE>") << false;
        QTest::newRow("comment after the root") << body + "<!-- end -->" << false;
        QTest::newRow("processing instruction") << in("<?pi x?>") << false;
        QTest::newRow("doctype") << "<!DOCTYPE BWFXML>" + body << false;
        QTest::newRow("attribute") << QByteArray(body).replace("<BWFXML>", "<BWFXML v=\"1\">") << false;
        QTest::newRow("blank in a tag") << in("<NOTE >x</NOTE>") << false;
        QTest::newRow("text beside elements") << in("<NOTE>x<B/></NOTE>") << false;
        QTest::newRow("text after elements") << in("<NOTE><B/>x</NOTE>") << false;
        QTest::newRow("carriage return in a text") << in("<NOTE>a\r\nb</NOTE>") << false;
        QTest::newRow("greater-than in a text") << in("<NOTE>a>b</NOTE>") << false;
        QTest::newRow("UTF-8 text") << in("<NOTE>caf\xc3\xa9</NOTE>") << false;
        QTest::newRow("control byte") << in("<NOTE>a\x01</NOTE>") << false;
        QTest::newRow("NUL inside") << QByteArray(body).insert(20, '\0') << false;
        QTest::newRow("other declaration") << "<?xml version=\"1.0\" encoding='UTF-8'?>" + body << false;
        QTest::newRow("declaration after blanks") << " " + declaration + body << false;
        QTest::newRow("byte order mark") << "\xef\xbb\xbf" + body << false;
        QTest::newRow("mismatched close") << QByteArray("<BWFXML><A>x</B></BWFXML>") << false;
        QTest::newRow("unclosed") << QByteArray("<BWFXML><A>x</A>") << false;
        QTest::newRow("two roots") << body + "<BWFXML/>" << false;
        QTest::newRow("text after the root") << body + "x" << false;
        QTest::newRow("empty") << QByteArray() << false;
        QTest::newRow("declaration only") << declaration << false;
    }

    void readsAsTheDom()
    {
        QFETCH(QByteArray, text);
        QFETCH(bool, indexed);

        XmlScanIndex index;
        QCOMPARE(index.Build(text), indexed);
        QXmlObject parsed;
        const bool parses = parsed.SetContent(text);
        if (parses)
            QCOMPARE(parsed.ToText(), DomWriterText(parsed));
        // A document built from the index is, node for node, the parser's
        // (declaration included), but for the control characters XML does
        // not allow, which are read as blanks.
        QByteArray allowed = text.left(XmlTextEnd(text));
        for (char& c : allowed)
            c = uchar(c) < 0x20 && c != '\t' && c != '\n' && c != '\r' ? ' ' : c;
        QDomDocument reference;
        if (parses && reference.setContent(allowed))
            QCOMPARE(parsed.Document().toString(1), reference.toString(1));
        if (indexed) {
            QVERIFY(parses);
            const QString difference = XmlScanDifference(parsed.Root(), index.Root());
            QVERIFY2(difference.isEmpty(), qPrintable(difference));
        }

        // Indexed or parsed, the object answers as the parse does.
        QXmlObject object;
        QCOMPARE(object.SetContentIndexed(text), parses);
        QCOMPARE(object.IsIndexed(), indexed);
        QCOMPARE(object.XmlOk(), parsed.XmlOk());
        QCOMPARE(object.RootTag(), parsed.RootTag());
        QCOMPARE(object.LastXmlError(), parsed.LastXmlError());
        for (const QStringList& path : {QStringList{"SCENE"}, QStringList{"NOTE"}, QStringList{"TRACK_LIST", "TRACK"},
                                        QStringList{"L", "D", "N"}, QStringList{"MISSING"}}) {
            QCOMPARE(object.GetText(path), parsed.GetText(path));
            QCOMPARE(object.HasElement(path), parsed.HasElement(path));
        }
        // It writes the text as the parse's document does, and with texts set
        // (kept while indexed) as that document does with them.
        QCOMPARE(object.ToText(), parsed.ToText());
        const QList<QPair<QStringList, QString>> texts = {
            {{"SCENE"}, "9Z"}, {{"A"}, QString()}, {{"TRACK_LIST", "TRACK", "NAME"}, "Lav 2"},
            {{"L", "D"}, "flat"}, {{"NOTE"}, "say \"cut\""}, {{"MISSING", "M"}, "new"},
            {{"SCENE"}, QStringLiteral("a\uFFFE\u0001b") + QChar(0xDC00)}};
        for (int i = 0; parses && i < texts.size(); ++i) {
            QVERIFY(object.SetText(texts.at(i).first, texts.at(i).second));
            QVERIFY(parsed.SetText(texts.at(i).first, texts.at(i).second));
            QCOMPARE(object.ToText(), parsed.ToText());
        }
        // Its first read after them builds the document from the same text.
        QCOMPARE(object.GetText({"SCENE"}), parsed.GetText({"SCENE"}));
        QVERIFY(!object.IsIndexed());
        QCOMPARE(object.ToText(), parsed.ToText());
    }

    // Trees an edit can make and a parse cannot: an empty text, two texts,
    // a text beside an element, a lone surrogate, an attribute.
    void editedTreesWriteAsTheDom()
    {
        for (int edit = 0; edit < 5; ++edit) {
            QXmlObject object;
            QVERIFY(object.SetContent("<R><A>x</A><B/><C><D>y</D></C></R>"));
            QDomDocument& document = object.Document();
            QDomElement b = document.documentElement().firstChildElement("B");
            if (edit == 0)
                b.appendChild(document.createTextNode(QString()));
            if (edit == 1 || edit == 2)
                b.appendChild(document.createTextNode("t"));
            if (edit == 1)
                b.appendChild(document.createTextNode("u"));
            if (edit == 2)
                b.appendChild(document.createElement("E"));
            if (edit == 3)
                b.appendChild(document.createTextNode(QString(QChar(0xD800))));
            if (edit == 4)
                b.setAttribute("v", "1");
            QCOMPARE(object.ToText(), DomWriterText(object));
        }
    }
};

QTEST_GUILESS_MAIN(TestXmlScanIndex)
#include "test_xmlscanindex.moc"
