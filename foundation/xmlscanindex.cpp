#include "foundation/xmlscanindex.h"

#include <QVarLengthArray>
#include <cstring>

namespace {

// Deeper documents are left to the parse, which refuses the deepest.
constexpr int kMaxDepth = 64;

// The declarations written by this system and by the recorders: any other
// (another encoding, a standalone flag) is left to the parser to judge.
const char* const kDeclarations[] = {
    "<?xml version=\"1.0\" encoding=\"UTF-8\"?>",
    "<?xml version=\"1.0\" encoding=\"utf-8\"?>",
    "<?xml version=\"1.0\"?>",
};

bool IsBlank(char c) { return c == ' ' || c == '\t' || c == '\n' || c == '\r'; }

bool IsNameStart(char c) { return (c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z') || c == '_'; }

// What each byte of character data means to the scan, as bits.
enum : unsigned char {
    kPlainByte = 1,
    kReturnByte = 2,     // parsers normalise carriage returns
    kRefusedByte = 4,    // entities, '>', control bytes, and bytes outside
                         // ASCII, whose reading the declared encoding decides
    kMarkupByte = 8,
    kNameByte = 16,      // may continue an element name (no meaning in texts)
};
struct tyByteClasses {
    unsigned char c[256];
    constexpr tyByteClasses() : c()
    {
        for (int i = 0; i < 256; ++i) {
            if (i == ' ' || i == '\t' || i == '\n')
                c[i] = 0;
            else if (i == '\r')
                c[i] = kReturnByte;
            else if (i == '<')
                c[i] = kMarkupByte;
            else if (i < 0x20 || i > 0x7E || i == '&' || i == '>')
                c[i] = kRefusedByte;
            else
                c[i] = kPlainByte;
            if ((i >= 'A' && i <= 'Z') || (i >= 'a' && i <= 'z') || (i >= '0' && i <= '9') || i == '_' || i == '-'
                || i == '.')
                c[i] |= kNameByte;
        }
    }
};
constexpr tyByteClasses kByteClasses;

} // namespace

int XmlTextEnd(const QByteArray& bytes)
{
    const char* const s = bytes.constData();
    int end = bytes.size();
    // Padding runs kilobytes long: whole words of blanks or NULs first.
    static const char kBlanks[8] = {' ', ' ', ' ', ' ', ' ', ' ', ' ', ' '};
    static const char kNuls[8] = {};
    while (end >= 8 && (std::memcmp(s + end - 8, kBlanks, 8) == 0 || std::memcmp(s + end - 8, kNuls, 8) == 0))
        end -= 8;
    while (end > 0 && (s[end - 1] == '\0' || IsBlank(s[end - 1])))
        --end;
    return end;
}

bool XmlScanIndex::Refuse()
{
    m_Nodes.clear();
    m_baText.clear();
    return false;
}

bool XmlScanIndex::Build(const QByteArray& bytes)
{
    m_Nodes.clear();
    m_Nodes.reserve(256);
    m_baText = bytes;
    const char* const s = bytes.constData();
    const int end = XmlTextEnd(bytes);

    int p = 0;
    if (end >= 2 && s[0] == '<' && s[1] == '?') {
        for (const char* declaration : kDeclarations) {
            const int n = int(std::strlen(declaration));
            if (n <= end && std::memcmp(s, declaration, size_t(n)) == 0) {
                p = n;
                break;
            }
        }
        if (p == 0)
            return Refuse();
    }

    QVarLengthArray<int, kMaxDepth> open;        // the elements not yet closed
    QVarLengthArray<int, kMaxDepth> lastChild;   // their last child so far, -1 none
    bool rootClosed = false;
    while (p < end) {
        // Character data up to the next markup.
        const int textStart = p;
        unsigned char seen = 0;
        for (; p < end; ++p) {
            const unsigned char kind = kByteClasses.c[static_cast<unsigned char>(s[p])];
            if (kind == kMarkupByte)
                break;
            seen |= kind;
        }
        if (seen & kRefusedByte)
            return Refuse();
        if (seen & kPlainByte) {
            // Text beside child elements, or outside the root.
            if (open.isEmpty() || (seen & kReturnByte) || lastChild.back() >= 0)
                return Refuse();
            tyNode& node = m_Nodes[open.back()];
            node.nText = textStart;
            node.nTextLength = p - textStart;
        }
        if (p >= end)
            break;
        if (rootClosed || ++p >= end)
            return Refuse();

        const bool closing = s[p] == '/';
        if (closing)
            ++p;
        const int name = p;
        if (p >= end || !IsNameStart(s[p]))
            return Refuse();
        while (p < end && (kByteClasses.c[static_cast<unsigned char>(s[p])] & kNameByte))
            ++p;
        const int nameLength = p - name;
        if (p >= end)
            return Refuse();

        if (closing) {
            if (s[p] != '>' || open.isEmpty())
                return Refuse();
            tyNode& node = m_Nodes[open.back()];
            if (node.nTagLength != nameLength || std::memcmp(s + node.nTag, s + name, size_t(nameLength)) != 0)
                return Refuse();
            ++p;
            node.nEnd = m_Nodes.size();
            open.pop_back();
            lastChild.pop_back();
            rootClosed = open.isEmpty();
            continue;
        }

        const bool empty = s[p] == '/';
        if (empty ? p + 1 >= end || s[p + 1] != '>' : s[p] != '>')
            return Refuse();
        p += empty ? 2 : 1;
        if (!open.isEmpty() && m_Nodes.at(open.back()).nTextLength > 0)
            return Refuse();
        const int index = m_Nodes.size();
        tyNode node;
        node.nTag = name;
        node.nTagLength = nameLength;
        node.nEnd = index + 1;
        m_Nodes.append(node);
        if (!open.isEmpty()) {
            if (lastChild.back() >= 0)
                m_Nodes[lastChild.back()].nNext = index;
            lastChild.back() = index;
        }
        if (empty) {
            rootClosed = open.isEmpty();
        } else {
            if (open.size() >= kMaxDepth)
                return Refuse();
            open.append(index);
            lastChild.append(-1);
        }
    }
    return rootClosed ? true : Refuse();
}

XmlScanElement XmlScanIndex::Root() const
{
    return m_Nodes.isEmpty() ? XmlScanElement() : XmlScanElement(this, 0);
}

bool XmlScanIndex::Matches(int node, const QString& tag) const
{
    if (tag.isEmpty())
        return true;
    const tyNode& n = m_Nodes.at(node);
    if (n.nTagLength != tag.size())
        return false;
    const char* const name = m_baText.constData() + n.nTag;
    const QChar* const wanted = tag.constData();
    for (int i = 0; i < n.nTagLength; ++i) {
        if (wanted[i].unicode() != static_cast<unsigned char>(name[i]))
            return false;
    }
    return true;
}

XmlScanElement XmlScanElement::At(int node, const QString& tag) const
{
    for (; node >= 0; node = m_pIndex->m_Nodes.at(node).nNext) {
        if (m_pIndex->Matches(node, tag))
            return XmlScanElement(m_pIndex, node);
    }
    return XmlScanElement();
}

QString XmlScanElement::tagName() const
{
    if (isNull())
        return QString();
    const XmlScanIndex::tyNode& node = m_pIndex->m_Nodes.at(m_nNode);
    return QString::fromLatin1(m_pIndex->m_baText.constData() + node.nTag, node.nTagLength);
}

QString XmlScanElement::text() const
{
    if (isNull())
        return QString();
    // An element's text is never null, as the DOM's is not.
    const char* const bytes = m_pIndex->m_baText.constData();
    const XmlScanIndex::tyNode& own = m_pIndex->m_Nodes.at(m_nNode);
    if (own.nEnd == m_nNode + 1)
        return own.nTextLength > 0 ? QString::fromLatin1(bytes + own.nText, own.nTextLength) : QString(QLatin1String(""));
    QString text(QLatin1String(""));
    for (int n = m_nNode; n < own.nEnd; ++n) {
        const XmlScanIndex::tyNode& node = m_pIndex->m_Nodes.at(n);
        if (node.nTextLength > 0)
            text += QLatin1String(bytes + node.nText, node.nTextLength);
    }
    return text;
}

XmlScanElement XmlScanElement::firstChildElement(const QString& tag) const
{
    if (isNull())
        return XmlScanElement();
    const int first = m_nNode + 1;
    return first < m_pIndex->m_Nodes.at(m_nNode).nEnd ? At(first, tag) : XmlScanElement();
}

XmlScanElement XmlScanElement::nextSiblingElement(const QString& tag) const
{
    return isNull() ? XmlScanElement() : At(m_pIndex->m_Nodes.at(m_nNode).nNext, tag);
}
