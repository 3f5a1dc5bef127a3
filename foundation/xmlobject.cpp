#include "foundation/xmlobject.h"

#include <QTextStream>
#include <algorithm>
#include <cstring>

namespace {
// iXML nests a few levels. The DOM frees and writes its tree recursively, so a
// crafted document nested thousands deep would overflow the stack of a
// worker thread; such documents are refused before the DOM is built.
constexpr int kMaxElementDepth = 64;

bool StartsWith(const char* p, const char* end, const char* literal)
{
    const size_t n = std::strlen(literal);
    return size_t(end - p) >= n && std::memcmp(p, literal, n) == 0;
}

// Walks a document type that starts at p (just after its '<') to its end,
// which it returns. Its internal subset holds '>' and brackets in its
// declarations, in quoted literals, comments and processing instructions:
// only a '>' outside all of them, after the subset's ']', ends it. visit is
// given each literal ('"', its text without the quotes) and each comment or
// instruction of the subset ('!', from its '<' past its end), in order.
template <typename Visit>
const char* ScanDoctype(const char* p, const char* end, Visit visit)
{
    bool subset = false;
    for (; p < end; ++p) {
        const char c = *p;
        if (c == '"' || c == '\'') {
            const char* close = static_cast<const char*>(std::memchr(p + 1, c, size_t(end - p - 1)));
            if (!close)
                return end;
            visit('"', p + 1, close);
            p = close;
        } else if (subset && c == '<' && (StartsWith(p, end, "<!--") || StartsWith(p, end, "<?"))) {
            const QByteArray terminator = p[1] == '?' ? "?>" : "-->";
            const int found = QByteArray::fromRawData(p + 2, int(end - p - 2)).indexOf(terminator);
            if (found < 0)
                return end;
            const char* const after = p + 2 + found + terminator.size();
            visit('!', p, after);
            p = after - 1;
        } else if (c == '[') {
            subset = true;
        } else if (c == ']') {
            subset = false;
        } else if (c == '>' && !subset) {
            return p + 1;
        }
    }
    return end;
}

// Skips a markup declaration, comment, CDATA section, processing
// instruction or document type that starts at p (just after its '<');
// returns where it ends.
const char* SkipSpecialMarkup(const char* p, const char* end)
{
    if (StartsWith(p, end, "!DOCTYPE"))
        return ScanDoctype(p, end, [](char, const char*, const char*) {});
    QByteArray terminator(">");
    if (end - p >= 3 && std::memcmp(p, "!--", 3) == 0)
        terminator = "-->";
    else if (end - p >= 8 && std::memcmp(p, "![CDATA[", 8) == 0)
        terminator = "]]>";
    else if (*p == '?')
        terminator = "?>";
    const QByteArray rest = QByteArray::fromRawData(p, int(end - p));
    const int found = rest.indexOf(terminator);
    return found < 0 ? end : p + found + terminator.size();
}

// An upper bound of the element nesting, counted on the raw bytes in one
// cheap pass (a full reader pass would cost as much as the parse itself).
bool NestedTooDeep(const QByteArray& bytes)
{
    const char* p = bytes.constData();
    const char* const end = p + bytes.size();
    int depth = 0;
    while ((p = static_cast<const char*>(std::memchr(p, '<', size_t(end - p)))) != nullptr) {
        if (++p >= end)
            break;
        if (*p == '/') {
            depth = depth > 0 ? depth - 1 : 0;
            continue;
        }
        if (*p == '!' || *p == '?') {
            p = SkipSpecialMarkup(p, end);
            continue;
        }
        const char* close = static_cast<const char*>(std::memchr(p, '>', size_t(end - p)));
        if (!close)
            break;
        if (close[-1] != '/' && ++depth > kMaxElementDepth)
            return true;
        p = close + 1;
    }
    return false;
}

// The code point of the character reference at p ("&#...;" or "&#x...;",
// p just after the '&'), its length past the '&' in *length; -1 when there
// is none there, and a value above the last code point for one beyond it.
qint64 ReferenceAt(const char* p, const char* end, int* length)
{
    const char* q = p;
    if (q >= end || *q++ != '#')
        return -1;
    const bool hex = q < end && *q == 'x';
    if (hex)
        ++q;
    const char* const digits = q;
    qint64 code = 0;
    for (; q < end && *q != ';'; ++q) {
        const char c = *q;
        int digit = -1;
        if (c >= '0' && c <= '9')
            digit = c - '0';
        else if (hex && c >= 'a' && c <= 'f')
            digit = c - 'a' + 10;
        else if (hex && c >= 'A' && c <= 'F')
            digit = c - 'A' + 10;
        if (digit < 0)
            return -1;
        code = qMin<qint64>(code * (hex ? 16 : 10) + digit, 0x7fffffff);
    }
    if (q >= end || q == digits)
        return -1;
    *length = int(q + 1 - p);
    return code;
}

// What a character reference to code is read as, when the parser cannot
// be left to read it: empty when it can. The toolkit's parser keeps only
// the low sixteen bits of a code point above U+FFFF, so those are given as
// UTF-8; a code point XML does not allow is replaced as XmlCharacters
// replaces it in a text set.
QByteArray ReferenceReplacement(qint64 code, bool utf8)
{
    const QChar replacement = XmlCharacterReplacement(code);
    if (!replacement.isNull())
        return QByteArray(1, replacement.toLatin1());
    if (code < 0x10000)
        return QByteArray();
    const char32_t point = char32_t(code);
    return utf8 ? QString::fromUcs4(&point, 1).toUtf8() : QByteArray();
}

// The text is UTF-8: its declaration names no other encoding.
bool InUtf8(const QByteArray& text)
{
    if (!text.startsWith("<?xml"))
        return true;
    const QByteArray declaration = text.left(text.indexOf("?>")).toLower();
    const int at = declaration.indexOf("encoding");
    return at < 0 || declaration.indexOf("utf-8", at) >= 0 || declaration.indexOf("utf8", at) >= 0;
}

// The document type of text before its root (empty when it has none),
// as it stands there.
QByteArray DoctypeOf(const QByteArray& text)
{
    const char* p = text.constData();
    const char* const end = p + text.size();
    while ((p = static_cast<const char*>(std::memchr(p, '<', size_t(end - p)))) != nullptr && p + 1 < end
           && (p[1] == '!' || p[1] == '?')) {
        const char* const after = SkipSpecialMarkup(p + 1, end);
        if (StartsWith(p + 1, end, "!DOCTYPE"))
            return QByteArray(p, int(after - p));
        p = after;
    }
    return QByteArray();
}

// A document type as the toolkit's parser is given it: references above
// U+FFFF in the literals of its subset (entity values) as in character
// data; the comments and instructions of the subset as blanks, since the
// parser would put them among the document's nodes, and the subset is
// written back as it was read (ToText), with them.
QByteArray DoctypeForParser(const QByteArray& doctype, bool utf8)
{
    QByteArray out;
    const char* const s = doctype.constData();
    const char* copied = s;
    ScanDoctype(s + 1, s + doctype.size(), [&](char kind, const char* from, const char* to) {
        out.append(copied, int(from - copied));
        copied = to;
        if (kind == '!') {
            out.append(QByteArray(int(to - from), ' '));
            return;
        }
        for (const char* p = from; p < to; ++p) {
            int length = 0;
            const qint64 code = *p == '&' ? ReferenceAt(p + 1, to, &length) : -1;
            const QByteArray with = code < 0 ? QByteArray() : ReferenceReplacement(code, utf8);
            if (with.isEmpty()) {
                out.append(*p);
            } else {
                out.append(with);
                p += length;
            }
        }
    });
    out.append(copied, int(s + doctype.size() - copied));
    return out;
}

// The text with its character references made readable by the toolkit's
// parser (see ReferenceReplacement) in character data and attribute
// values; and control characters XML does not allow, which the parser
// would take and every stricter reader refuse, as blanks. Comments, CDATA
// sections, processing instructions and the document type are left as
// they are: a reference there is literal text (but for the document type,
// see DoctypeForParser). A text of 16-bit units or wider still (given as
// UTF-8 by SetContent, so only UTF-32 here) is left whole; in another
// encoding declared, references above U+FFFF are left to the parser, since
// UTF-8 put in their place would be misread.
QByteArray WithXmlCharacters(const QByteArray& text)
{
    if (text.startsWith("\xFE\xFF") || text.startsWith("\xFF\xFE") || text.left(4).contains('\0'))
        return text;
    const bool utf8 = InUtf8(text);
    QByteArray out;
    int copied = 0;
    auto replace = [&](int at, int length, const QByteArray& with) {
        if (out.isEmpty())
            out.reserve(text.size());
        out.append(text.constData() + copied, at - copied).append(with);
        copied = at + length;
    };
    const char* const s = text.constData();
    const char* const end = s + text.size();
    char quote = 0;        // within a tag: the quote of the attribute value the scan is in
    bool inTag = false;
    for (const char* p = s; p < end; ++p) {
        const unsigned char c = static_cast<unsigned char>(*p);
        if (c < 0x20 && c != '\t' && c != '\n' && c != '\r') {
            replace(int(p - s), 1, QByteArray(" "));
        } else if (inTag) {
            if (quote != 0 && c == uchar(quote))
                quote = 0;
            else if (quote == 0 && (c == '"' || c == '\''))
                quote = char(c);
            else if (quote == 0 && c == '>')
                inTag = false;
        } else if (c == '<' && p + 1 < end && (p[1] == '!' || p[1] == '?')) {
            const char* skipped = SkipSpecialMarkup(p + 1, end);
            // Control characters are refused within these too.
            QByteArray markup = QByteArray::fromRawData(p, int(skipped - p));
            for (int q = 0; q < markup.size(); ++q) {
                const unsigned char d = static_cast<unsigned char>(markup.at(q));
                if (d < 0x20 && d != '\t' && d != '\n' && d != '\r')
                    markup[q] = ' ';
            }
            if (StartsWith(p + 1, end, "!DOCTYPE"))
                markup = DoctypeForParser(markup, utf8);
            if (markup.constData() != p)
                replace(int(p - s), int(skipped - p), markup);
            p = skipped - 1;
            continue;
        } else if (c == '<') {
            inTag = true;
            quote = 0;
            continue;
        }
        if (c == '&' && (!inTag || quote != 0)) {
            int length = 0;
            const qint64 code = ReferenceAt(p + 1, end, &length);
            const QByteArray with = code < 0 ? QByteArray() : ReferenceReplacement(code, utf8);
            if (!with.isEmpty()) {
                replace(int(p - s), length + 1, with);
                p += length;
            }
        }
    }
    if (out.isEmpty())
        return text;
    out.append(text.constData() + copied, text.size() - copied);
    return out;
}

// Appends element at depth as QDomNode::save with an indent of one writes
// it, for trees of elements without attributes whose children are either
// one plain text or elements only; false (out then unusable) for any
// other tree, which the DOM's own writer serialises.
bool AppendPlainElement(const QDomElement& element, int depth, QString* out)
{
    if (element.hasAttributes())
        return false;
    const QString tag = element.tagName();
    const QString indent(depth, QLatin1Char(' '));
    *out += indent;
    *out += QLatin1Char('<');
    *out += tag;
    const QDomNode first = element.firstChild();
    if (first.isNull()) {
        *out += QLatin1String("/>\n");
        return true;
    }
    if (first.nodeType() == QDomNode::TextNode) {
        const QString text = first.nodeValue();
        if (!first.nextSibling().isNull() || !IsPlainXmlUnits(text))
            return false;
        *out += QLatin1Char('>');
        *out += text;
    } else {
        *out += QLatin1String(">\n");
        for (QDomNode child = first; !child.isNull(); child = child.nextSibling()) {
            if (child.nodeType() != QDomNode::ElementNode || !AppendPlainElement(child.toElement(), depth + 1, out))
                return false;
        }
        *out += indent;
    }
    *out += QLatin1String("</");
    *out += tag;
    *out += QLatin1String(">\n");
    return true;
}

// The element of an indexed text and its descendants, built as the parse
// builds them: a leaf's text (blank ones dropped) as its one text node.
void AppendIndexed(QDomDocument& document, QDomNode parent, const XmlScanElement& element)
{
    QDomElement built = document.createElement(element.tagName());
    parent.appendChild(built);
    XmlScanElement child = element.firstChildElement();
    if (child.isNull()) {
        const QString text = element.text();
        if (!text.isEmpty())
            built.appendChild(document.createTextNode(text));
        return;
    }
    for (; !child.isNull(); child = child.nextSiblingElement())
        AppendIndexed(document, built, child);
}

// The document of a text the scan index accepts, without the parser's
// work per character; its declaration as the parser keeps it (its
// attributes quoted with apostrophes).
QDomDocument DocumentOfIndexed(const QByteArray& text, const XmlScanIndex& index)
{
    QDomDocument document{QString()};   // a document of its own (as a parse's, an unnamed type)
    if (text.startsWith("<?xml ")) {
        const int close = text.indexOf("?>");
        QByteArray data = text.mid(6, close - 6).trimmed();
        document.appendChild(
            document.createProcessingInstruction(QStringLiteral("xml"), QString::fromLatin1(data.replace('"', '\''))));
    }
    AppendIndexed(document, document, index.Root());
    return document;
}

// One leaf child of the spliced element: its tag and the two texts.
struct LeafTexts {
    QString tag;
    QString mine;
    QString theirs;
    bool hasText = false;
};

// Walks two trees in step. Equal outside target (an element of a's tree);
// at target only the texts of leaf children may differ, which are collected.
// elementsBefore counts the elements met before target, in document order.
class TreeComparer
{
public:
    explicit TreeComparer(const QDomNode& target) : m_Target(target) {}

    bool Same(const QDomNode& a, const QDomNode& b, int depth)
    {
        const QDomNode::NodeType type = a.nodeType();
        if (depth > kMaxElementDepth || type != b.nodeType())
            return false;
        if (type == QDomNode::TextNode)
            return a.nodeValue() == b.nodeValue();
        if (type != QDomNode::ElementNode)
            return false;   // comments, CDATA, instructions: not spliced
        if (!m_bFound)
            ++m_nElementsBefore;
        if (a.nodeName() != b.nodeName() || !SameAttributes(a, b))
            return false;
        if (!m_bFound && a == m_Target) {
            m_bFound = true;
            --m_nElementsBefore;
            return Leaves(a, b);
        }
        QDomNode ca = a.firstChild();
        QDomNode cb = b.firstChild();
        for (; !ca.isNull() && !cb.isNull(); ca = ca.nextSibling(), cb = cb.nextSibling()) {
            if (!Same(ca, cb, depth + 1))
                return false;
        }
        return ca.isNull() && cb.isNull();
    }

    bool Found() const { return m_bFound; }
    int ElementsBefore() const { return m_nElementsBefore; }
    const QList<LeafTexts>& Texts() const { return m_Texts; }

private:
    // Attribute order in the text follows a hash: more than one is not spliced.
    static bool SameAttributes(const QDomNode& a, const QDomNode& b)
    {
        if (!a.hasAttributes() && !b.hasAttributes())
            return true;
        const QDomNamedNodeMap ma = a.attributes();
        const QDomNamedNodeMap mb = b.attributes();
        if (ma.count() != mb.count() || ma.count() > 1)
            return false;
        return ma.count() == 0
               || (ma.item(0).nodeName() == mb.item(0).nodeName() && ma.item(0).nodeValue() == mb.item(0).nodeValue());
    }

    bool Leaves(const QDomNode& a, const QDomNode& b)
    {
        if (a.hasAttributes())
            return false;
        QDomNode ca = a.firstChild();
        QDomNode cb = b.firstChild();
        for (; !ca.isNull() && !cb.isNull(); ca = ca.nextSibling(), cb = cb.nextSibling()) {
            if (!ca.isElement() || !cb.isElement() || ca.nodeName() != cb.nodeName() || ca.hasAttributes()
                || cb.hasAttributes())
                return false;
            const QDomNode ta = ca.firstChild();
            const QDomNode tb = cb.firstChild();
            if (ta.isNull() != tb.isNull())
                return false;
            LeafTexts leaf;
            leaf.tag = ca.nodeName();
            if (!ta.isNull()) {
                if (!ta.isText() || !tb.isText() || !ta.nextSibling().isNull() || !tb.nextSibling().isNull())
                    return false;
                leaf.mine = ta.nodeValue();
                leaf.theirs = tb.nodeValue();
                leaf.hasText = true;
                if (leaf.mine != leaf.theirs && (!IsPlainXmlText(leaf.mine) || !IsPlainXmlText(leaf.theirs)))
                    return false;
            }
            m_Texts.append(leaf);
        }
        return ca.isNull() && cb.isNull();
    }

    const QDomNode m_Target;
    bool m_bFound = false;
    int m_nElementsBefore = 0;
    QList<LeafTexts> m_Texts;
};
}

namespace {

using tyLeaf = QXmlObject::tyLeafSplicePlace::tyLeaf;

// Escaped texts hold no '<', so every '<' not followed by '/', '?' or '!'
// starts an element, in document order; the leaves are the elements right
// after the target (elementsBefore elements stand before it). Each leaf
// whose plain text is written there as <tag>text</tag> gets its place.
// False when text runs out of elements.
bool PlaceLeaves(const QByteArray& text, int elementsBefore, QList<tyLeaf>* leaves)
{
    int at = -1;
    auto nextElement = [&text, &at]() {
        while ((at = text.indexOf('<', at + 1)) >= 0 && at + 1 < text.size()) {
            const char next = text.at(at + 1);
            if (next != '/' && next != '?' && next != '!')
                return true;
        }
        return false;
    };
    for (int seen = 0; seen <= elementsBefore; ++seen) {
        if (!nextElement())
            return false;
    }
    for (tyLeaf& leaf : *leaves) {
        if (!nextElement())
            return false;
        if (!leaf.bHasText || !IsPlainXmlText(leaf.czText))
            continue;
        const QByteArray tag = leaf.czTag.toUtf8();
        const QByteArray mine = leaf.czText.toUtf8();
        const QByteArray written = QByteArray("<") + tag + '>' + mine + "</" + tag + '>';
        if (text.mid(at, written.size()) == written) {
            leaf.nTextAt = at + tag.size() + 2;
            leaf.nTextBytes = mine.size();
        }
    }
    return true;
}

// text with the texts of the placed leaves replaced by theirs (the same
// leaves, in order). False when a changed text has no place or would need
// escaping.
bool SpliceLeaves(const QByteArray& text, const QList<tyLeaf>& leaves, const QList<QPair<QString, QString>>& theirs,
                  QByteArray* result)
{
    QByteArray spliced;
    spliced.reserve(text.size() + 256);
    int copied = 0;
    for (int i = 0; i < leaves.size(); ++i) {
        const tyLeaf& leaf = leaves.at(i);
        const QString& their = theirs.at(i).second;
        if (!leaf.bHasText || leaf.czText == their)
            continue;
        if (leaf.nTextAt < 0 || !IsPlainXmlText(their))
            return false;
        spliced.append(text.constData() + copied, leaf.nTextAt - copied);
        spliced.append(their.toUtf8());
        copied = leaf.nTextAt + leaf.nTextBytes;
    }
    spliced.append(text.constData() + copied, text.size() - copied);
    *result = spliced;
    return true;
}

// The leaves of the element at path of an indexed text, read from the
// index, as the DOM would give them; the texts set since (pending) must
// each replace a leaf's text outside the element, so that the text written
// holds every element of the index in its place. False when the index
// cannot tell: the DOM decides then.
bool IndexedLeaves(const XmlScanIndex& index, const QList<QPair<QStringList, QString>>& pending,
                   const QStringList& path, int* elementsBefore, QList<tyLeaf>* leaves)
{
    const XmlScanElement target = QXmlObject::Below(index.Root(), path);
    if (path.isEmpty() || target.isNull())
        return false;
    for (const QPair<QStringList, QString>& text : pending) {
        const XmlScanElement set = QXmlObject::Below(index.Root(), text.first);
        if (text.first.isEmpty() || set.isNull() || !set.firstChildElement().isNull()
            || set.Position() == target.Position())
            return false;
        for (XmlScanElement child = target.firstChildElement(); !child.isNull(); child = child.nextSiblingElement()) {
            if (child.Position() == set.Position())
                return false;
        }
    }
    for (XmlScanElement child = target.firstChildElement(); !child.isNull(); child = child.nextSiblingElement()) {
        if (!child.firstChildElement().isNull())
            return false;
        tyLeaf leaf;
        leaf.czTag = child.tagName();
        leaf.czText = child.text();
        leaf.bHasText = !leaf.czText.isEmpty();
        leaves->append(leaf);
    }
    *elementsBefore = target.Position();
    return true;
}

// The leaves of target in the DOM: elements without attributes holding at
// most one text. False when its children are not such leaves.
bool DomLeaves(const QDomElement& target, QList<tyLeaf>* leaves)
{
    if (target.isNull() || target.hasAttributes())
        return false;
    for (QDomNode child = target.firstChild(); !child.isNull(); child = child.nextSibling()) {
        if (!child.isElement() || child.hasAttributes())
            return false;
        const QDomNode value = child.firstChild();
        tyLeaf leaf;
        leaf.czTag = child.nodeName();
        leaf.bHasText = !value.isNull();
        if (leaf.bHasText) {
            if (!value.isText() || !value.nextSibling().isNull())
                return false;
            leaf.czText = value.nodeValue();
        }
        leaves->append(leaf);
    }
    return true;
}

// Elements before target in document order (target itself not counted);
// -1 when target is not met.
int ElementsBefore(const QDomNode& node, const QDomNode& target, int* seen, int depth)
{
    if (depth > kMaxElementDepth)
        return -1;
    if (node == target)
        return *seen;
    if (node.isElement())
        ++*seen;
    for (QDomNode child = node.firstChild(); !child.isNull(); child = child.nextSibling()) {
        const int found = ElementsBefore(child, target, seen, depth + 1);
        if (found >= 0)
            return found;
    }
    return -1;
}

} // namespace

QXmlObject::QXmlObject() = default;
QXmlObject::~QXmlObject() = default;

bool QXmlObject::SetContent(const QByteArray& bytes)
{
    m_baDeferred.clear();
    m_pIndex.reset();
    m_lPendingTexts.clear();
    m_baDoctype.clear();
    // Every pass below reads bytes as ASCII-compatible text: a UTF-16 text
    // is read as its UTF-8 form, which is what a save writes.
    const QByteArray utf8 = XmlTextInUtf8(bytes);
    const int end = XmlTextEnd(utf8);
    const QByteArray text = utf8.left(end);
    if (NestedTooDeep(text)) {
        m_czXmlError = QStringLiteral("elements nested deeper than %1 levels").arg(kMaxElementDepth);
        ClearDocument();
        return false;
    }
    XmlScanIndex index;
    if (index.Build(text)) {
        m_Document = DocumentOfIndexed(text, index);
        m_bXmlOk = !m_Document.documentElement().isNull();
        m_czXmlError.clear();
        return m_bXmlOk;
    }
    QDomDocument parsed;
    QString message;
    int line = 0;
    int column = 0;
    if (end == 0 || !parsed.setContent(WithXmlCharacters(text), false, &message, &line, &column)) {
        m_czXmlError = end == 0 ? QStringLiteral("empty document")
                                : QStringLiteral("%1 (line %2, column %3)")
                                      .arg(message, QString::number(line), QString::number(column));
        ClearDocument();
        return false;
    }
    m_Document = parsed;
    m_bXmlOk = !m_Document.documentElement().isNull();
    m_czXmlError.clear();
    // Kept as read only where its bytes are known to be UTF-8: in another
    // encoding the toolkit's own writer writes what it kept of it.
    const QByteArray doctype = m_bXmlOk && !m_Document.doctype().name().isEmpty() ? DoctypeOf(text) : QByteArray();
    if (InUtf8(text) || std::all_of(doctype.begin(), doctype.end(), [](char c) { return uchar(c) < 0x80; }))
        m_baDoctype = doctype;
    return m_bXmlOk;
}

void QXmlObject::NewDocument(const QString& rootTag)
{
    m_baDeferred.clear();
    m_pIndex.reset();
    m_lPendingTexts.clear();
    m_baDoctype.clear();
    m_Document = QDomDocument();
    m_Document.appendChild(
        m_Document.createProcessingInstruction(QStringLiteral("xml"),
                                               QStringLiteral("version=\"1.0\" encoding=\"UTF-8\"")));
    m_Document.appendChild(m_Document.createElement(rootTag));
    m_bXmlOk = true;
    m_czXmlError.clear();
}

void QXmlObject::ClearDocument()
{
    m_baDeferred.clear();
    m_pIndex.reset();
    m_lPendingTexts.clear();
    m_baDoctype.clear();
    m_Document = QDomDocument();
    m_bXmlOk = false;
}

void QXmlObject::SetContentDeferred(const QByteArray& bytes, const QString& rootTag)
{
    ClearDocument();
    if (bytes.isEmpty())
        return;
    m_baDeferred = bytes;
    m_czDeferredRoot = rootTag;
    m_bXmlOk = true;
    m_czXmlError.clear();
}

bool QXmlObject::SetContentIndexed(const QByteArray& bytes)
{
    auto index = std::make_unique<XmlScanIndex>();
    if (!index->Build(bytes))
        return SetContent(bytes);
    SetContentDeferred(bytes, index->RootTag());
    m_pIndex = std::move(index);
    return true;
}

void QXmlObject::Materialize() const
{
    if (m_baDeferred.isEmpty())
        return;
    // From now on the DOM answers (and may change): the index would be stale.
    m_pIndex.reset();
    QByteArray bytes;
    bytes.swap(m_baDeferred);
    QList<QPair<QStringList, QString>> texts;
    texts.swap(m_lPendingTexts);
    // Callers vouch that the bytes parse; should they not, no document is held.
    QXmlObject* self = const_cast<QXmlObject*>(this);
    if (!self->SetContent(bytes) || RootTag() != m_czDeferredRoot) {
        self->ClearDocument();
    } else {
        for (const QPair<QStringList, QString>& text : texts)
            self->SetText(text.first, text.second);
        self->DocumentBuilt();
    }
}

bool QXmlObject::XmlOk() const { return m_bXmlOk; }

QString QXmlObject::RootTag() const
{
    if (IsDeferred())
        return m_czDeferredRoot;
    return m_bXmlOk ? m_Document.documentElement().tagName() : QString();
}

QString QXmlObject::LastXmlError() const { return m_czXmlError; }

QDomDocument& QXmlObject::Document()
{
    Materialize();
    return m_Document;
}

const QDomDocument& QXmlObject::Document() const
{
    Materialize();
    return m_Document;
}

QDomElement QXmlObject::Root() const
{
    Materialize();
    return m_bXmlOk ? m_Document.documentElement() : QDomElement();
}

QDomElement QXmlObject::FindElement(const QStringList& path) const
{
    return Below(Root(), path);
}

QDomElement QXmlObject::GetElement(const QStringList& path, bool create)
{
    if (!create)
        return FindElement(path);
    QDomElement element = Root();
    if (element.isNull())
        return element;
    for (const QString& tag : path) {
        QDomElement child = element.firstChildElement(tag);
        if (child.isNull())
            child = element.appendChild(m_Document.createElement(tag)).toElement();
        element = child;
    }
    return element;
}

QString QXmlObject::GetText(const QStringList& path) const
{
    return Read([&path](const auto& root) { return Below(root, path).text(); });
}

bool QXmlObject::HasElement(const QStringList& path) const
{
    return Read([&path](const auto& root) { return !Below(root, path).isNull(); });
}

bool QXmlObject::SetText(const QStringList& path, const QString& given)
{
    const QString text = XmlCharacters(given);
    // An indexed document keeps the texts set until it is built: a save
    // writes them from the index (ToText), the first read builds it.
    if (m_pIndex) {
        m_lPendingTexts.append({path, text});
        return true;
    }
    QDomElement element = GetElement(path, true);
    if (element.isNull())
        return false;
    while (element.hasChildNodes())
        element.removeChild(element.firstChild());
    element.appendChild(m_Document.createTextNode(text));
    return true;
}

QDomElement QXmlObject::SetChildText(QDomElement parent, const QString& tag, const QString& given)
{
    if (parent.isNull())
        return parent;
    const QString text = XmlCharacters(given);
    QDomElement child = parent.firstChildElement(tag);
    if (child.isNull())
        child = parent.appendChild(m_Document.createElement(tag)).toElement();
    while (child.hasChildNodes())
        child.removeChild(child.firstChild());
    child.appendChild(m_Document.createTextNode(text));
    return child;
}

QByteArray QXmlObject::ToText() const
{
    QByteArray written;
    if (m_pIndex && m_pIndex->WriteWithTexts(m_lPendingTexts, &written))
        return written;
    Materialize();
    if (!m_bXmlOk)
        return QByteArray();
    // The parsed declaration is replaced: the text is always written as UTF-8,
    // and a declaration the parser tolerated (another encoding, an odd
    // version) would make the written chunk unreadable or misread.
    QString body;
    // A document type is no child of the document: it is written first.
    const QDomDocumentType type = m_Document.doctype();
    const bool typed = !type.isNull() && !type.name().isEmpty();
    // Most documents are elements and plain texts only: written here
    // directly, byte for byte as the DOM's writer, at a fraction of its cost.
    bool plain = !typed;
    for (QDomNode node = m_Document.firstChild(); plain && !node.isNull(); node = node.nextSibling()) {
        if (node.isProcessingInstruction() && node.toProcessingInstruction().target() == QLatin1String("xml"))
            continue;
        plain = node.nodeType() == QDomNode::ElementNode && AppendPlainElement(node.toElement(), 1, &body);
    }
    if (plain)
        return QByteArrayLiteral("<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n") + body.toUtf8();
    body.clear();
    QTextStream stream(&body);
    // The toolkit's parser keeps neither the declarations of an internal
    // subset nor its comments: the document type is written as it was read.
    // Its entities stay declared, their references expanded in the content.
    if (typed && !m_baDoctype.isEmpty())
        stream << XmlCharacters(QString::fromUtf8(m_baDoctype.constData(), m_baDoctype.size())) << '\n';
    else if (typed)
        type.save(stream, 1);
    for (QDomNode node = m_Document.firstChild(); !node.isNull(); node = node.nextSibling()) {
        if (node.isProcessingInstruction() && node.toProcessingInstruction().target() == QLatin1String("xml"))
            continue;
        node.save(stream, 1);
    }
    stream.flush();
    return QByteArrayLiteral("<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n") + body.toUtf8();
}

bool QXmlObject::SpliceText(const QByteArray& text, const QXmlObject& other, const QStringList& path,
                            QByteArray* result) const
{
    // The top-level nodes are read from the documents themselves.
    Materialize();
    other.Materialize();
    if (!m_bXmlOk || !other.m_bXmlOk)
        return false;
    // Only the root and the declaration stand at the top (ToText's view).
    for (const QXmlObject* object : {this, &other}) {
        if (!object->m_Document.doctype().name().isEmpty())
            return false;
        for (QDomNode node = object->m_Document.firstChild(); !node.isNull(); node = node.nextSibling()) {
            if (!node.isElement()
                && !(node.isProcessingInstruction() && node.toProcessingInstruction().target() == QLatin1String("xml")))
                return false;
        }
    }
    const QDomElement target = FindElement(path);
    if (target.isNull() || path.isEmpty())
        return false;
    TreeComparer comparer(target);
    if (!comparer.Same(Root(), other.Root(), 0) || !comparer.Found())
        return false;

    QList<tyLeaf> leaves;
    QList<QPair<QString, QString>> theirs;
    for (const LeafTexts& texts : comparer.Texts()) {
        tyLeaf leaf;
        leaf.czTag = texts.tag;
        leaf.czText = texts.mine;
        leaf.bHasText = texts.hasText;
        leaves.append(leaf);
        theirs.append({texts.tag, texts.theirs});
    }
    return PlaceLeaves(text, comparer.ElementsBefore(), &leaves) && SpliceLeaves(text, leaves, theirs, result);
}

bool QXmlObject::SpliceLeafTexts(const QByteArray& text, const QStringList& path,
                                 const QList<QPair<QString, QString>>& theirs, QByteArray* result,
                                 tyLeafSplicePlace* place) const
{
    tyLeafSplicePlace own;
    if (!place)
        place = &own;
    if (place->nFound == 0) {
        int before = -1;
        QList<tyLeaf>& leaves = place->lLeaves;
        if (!m_pIndex || !IndexedLeaves(*m_pIndex, m_lPendingTexts, path, &before, &leaves)) {
            leaves.clear();
            const QDomElement target = path.isEmpty() ? QDomElement() : FindElement(path);
            int seen = 0;
            if (DomLeaves(target, &leaves))
                before = ::ElementsBefore(Document(), target, &seen, 0);
        }
        place->nFound = before >= 0 && PlaceLeaves(text, before, &leaves) ? 1 : -1;
    }
    if (place->nFound < 0 || place->lLeaves.size() != theirs.size())
        return false;
    for (int i = 0; i < theirs.size(); ++i) {
        const tyLeaf& leaf = place->lLeaves.at(i);
        // An empty text is no text node: the two must agree on that.
        if (leaf.czTag != theirs.at(i).first || leaf.bHasText == theirs.at(i).second.isEmpty())
            return false;
    }
    return SpliceLeaves(text, place->lLeaves, theirs, result);
}
