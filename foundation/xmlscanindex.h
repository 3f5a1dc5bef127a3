#ifndef NALVO_FOUNDATION_XMLSCANINDEX_H
#define NALVO_FOUNDATION_XMLSCANINDEX_H

#include <QByteArray>
#include <QList>
#include <QPair>
#include <QString>
#include <QVector>

class QStringList;
class XmlScanIndex;

// Text the DOM's writer writes as it is: nothing it would escape; with
// PlainUnits, also within one UTF-16 unit each (a lone surrogate would be
// written as a character reference).
bool IsPlainXmlText(const QString& text);
bool IsPlainXmlUnits(const QString& text);
// The text with what XML 1.0 cannot hold replaced as a bext description
// replaces what it cannot hold: control characters other than tab, line
// feed and carriage return become blanks, U+FFFE, U+FFFF and lone
// surrogates '?'. Every text set in a document passes here, so what is
// read back is what was written.
QString XmlCharacters(const QString& text);
// The one rule behind it, for a code point: null when XML 1.0 holds it,
// else what stands in its place (a blank for a control character, '?'
// for the rest, surrogates and code points past U+10FFFF included).
QChar XmlCharacterReplacement(qint64 code);

// The end of an XML text without its trailing NULs and blanks: chunk texts
// are padded to blocks of kilobytes, which no reader needs to look at. A
// text in UTF-16 (XmlTextInUtf8) loses whole NUL and blank units only.
int XmlTextEnd(const QByteArray& bytes);
// A text in UTF-16 (a byte order mark, or none and its '<' as one 16-bit
// unit) as UTF-8, without the mark and trailing padding, its declaration
// naming UTF-8: every byte pass of the readers assumes an ASCII-compatible
// text. Any other text is given back as it is.
QByteArray XmlTextInUtf8(const QByteArray& bytes);

// One element of an XmlScanIndex, read like a QDomElement: the same calls
// give the same answers as on the DOM parsed from the same text.
class XmlScanElement
{
public:
    XmlScanElement() = default;
    bool isNull() const { return m_pIndex == nullptr; }
    QString tagName() const;
    // The texts of the element and its descendants, in document order.
    QString text() const;
    // The same text without a copy, for an element that holds no element;
    // false (text untouched) for any other.
    bool LeafText(QLatin1String* text) const;
    // An empty tag matches any element.
    XmlScanElement firstChildElement(const QString& tag = QString()) const;
    XmlScanElement nextSiblingElement(const QString& tag = QString()) const;
    // The elements before this one in document order (the root's is 0).
    int Position() const { return m_nNode; }

private:
    friend class XmlScanIndex;
    XmlScanElement(const XmlScanIndex* index, int node) : m_pIndex(index), m_nNode(node) {}
    XmlScanElement At(int node, const QString& tag) const;

    const XmlScanIndex* m_pIndex = nullptr;
    int m_nNode = -1;
};

// The elements of an XML text found by one forward pass over its bytes,
// without building a DOM: a loader reads a few dozen values of a document
// it may never change, and the DOM costs ten times the pass.
//
// Only texts whose DOM is certain are indexed: an optional plain XML
// declaration, then elements without attributes whose texts are printable
// ASCII without entities, and no comment, CDATA, doctype or processing
// instruction. Blank texts are dropped as the DOM drops them; an element
// holding both text and elements is refused. Anything else (a text the DOM
// would refuse included) is left to the parser.
class XmlScanIndex
{
public:
    // Trailing NULs and blanks (chunk padding) are ignored, as
    // QXmlObject::SetContent ignores them. False when the text is not of
    // the plain form: nothing is indexed then.
    bool Build(const QByteArray& bytes);
    XmlScanElement Root() const;
    QString RootTag() const { return Root().tagName(); }
    // The text QXmlObject::ToText writes for the document of this text once
    // the texts are set, (path below the root, text) in order as
    // QXmlObject::SetText sets them, without building the document. False
    // when a path is absent, one set element holds another, or a text would
    // not be written as it is: the document's own writer is needed then.
    bool WriteWithTexts(const QList<QPair<QStringList, QString>>& texts, QByteArray* out) const;

private:
    friend class XmlScanElement;
    struct tyNode {
        int nTag = 0;
        int nTagLength = 0;
        int nText = 0;
        int nTextLength = 0;   // 0: no text (empty or blank)
        int nEnd = 0;          // the node after the element's last descendant
        int nNext = -1;        // next sibling, -1 for the last
        bool bTextAsWritten = true;   // the DOM's writer writes the text as it is
    };
    bool Refuse();
    bool Matches(int node, const QString& tag) const;
    bool WriteNode(int node, int depth, const QVector<QPair<int, QByteArray>>& set, char*& out) const;

    QByteArray m_baText;
    QVector<tyNode> m_Nodes;
    int m_nDepth = 0;   // of the deepest element, the root's 1
};

#endif
