#include "foundation/xmlscanindex.h"

#include <QStringList>
#include <QVarLengthArray>
#include <algorithm>
#include <limits>
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
    kRewrittenByte = 32, // the DOM's writer escapes it in a text
};
struct tyByteClasses {
    unsigned char c[256];
    constexpr tyByteClasses() : c()
    {
        for (int i = 0; i < 256; ++i) {
            if (i == ' ')
                c[i] = 0;
            else if (i == '\t' || i == '\n')
                c[i] = kRewrittenByte;
            else if (i == '\r')
                c[i] = kReturnByte;
            else if (i == '<')
                c[i] = kMarkupByte;
            else if (i < 0x20 || i > 0x7E || i == '&' || i == '>')
                c[i] = kRefusedByte;
            else if (i == '"' || i == '\'')
                c[i] = kPlainByte | kRewrittenByte;
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

bool IsPlainXmlText(const QString& text)
{
    for (const QChar c : text) {
        const ushort u = c.unicode();
        if (u < 0x20 || u == '<' || u == '>' || u == '&' || u == '"' || u == '\'' || u >= 0xFFFE)
            return false;
    }
    return true;
}

QChar XmlCharacterReplacement(qint64 code)
{
    if (code == 0x9 || code == 0xA || code == 0xD || (code >= 0x20 && code <= 0xD7FF)
        || (code >= 0xE000 && code <= 0xFFFD) || (code >= 0x10000 && code <= 0x10FFFF))
        return QChar();
    return code >= 0 && code < 0x20 ? QLatin1Char(' ') : QLatin1Char('?');
}

QString XmlCharacters(const QString& text)
{
    QString held;
    for (int i = 0; i < text.size(); ++i) {
        const ushort u = text.at(i).unicode();
        // A surrogate pair is one code point past U+FFFF, which XML holds.
        if (QChar::isHighSurrogate(u) && i + 1 < text.size() && text.at(i + 1).isLowSurrogate()) {
            ++i;
            continue;
        }
        const QChar replacement = XmlCharacterReplacement(u);
        if (replacement.isNull())
            continue;
        if (held.isNull())
            held = text;
        held[i] = replacement;
    }
    return held.isNull() ? text : held;
}

bool IsPlainXmlUnits(const QString& text)
{
    for (const QChar c : text) {
        if (c.isSurrogate())
            return false;
    }
    return IsPlainXmlText(text);
}

namespace {

enum class tyUnits { Bytes, Utf16LE, Utf16BE };

// How the characters of an XML text are stored, told from its first bytes
// as XML's appendix F tells it: a byte order mark, or the opening '<' as one
// 16-bit unit ("<\0" or "\0<", not the "<\0\0\0" of UTF-32). *bom gets
// the length of the mark.
tyUnits UnitsOf(const QByteArray& bytes, int* bom)
{
    *bom = 0;
    if (bytes.size() < 2)
        return tyUnits::Bytes;
    const bool wide = bytes.size() < 4 || bytes.at(2) != '\0' || bytes.at(3) != '\0';
    if (bytes.startsWith("\xFF\xFE") && wide) {
        *bom = 2;
        return tyUnits::Utf16LE;
    }
    if (bytes.startsWith("\xFE\xFF")) {
        *bom = 2;
        return tyUnits::Utf16BE;
    }
    if (bytes.startsWith(QByteArray("<\0", 2)) && wide)
        return tyUnits::Utf16LE;
    if (bytes.startsWith(QByteArray("\0<", 2)))
        return tyUnits::Utf16BE;
    return tyUnits::Bytes;
}

// The end of a UTF-16 text without its trailing NUL and blank units; a last
// odd byte is padding only when it is a NUL.
int Utf16TextEnd(const QByteArray& bytes, tyUnits units, int bom)
{
    const char* const s = bytes.constData();
    int end = bytes.size();
    if (end % 2 && s[end - 1] == '\0')
        --end;
    if (end % 2)
        return end;
    const int low = units == tyUnits::Utf16LE ? 0 : 1;
    while (end - 2 >= bom && s[end - 2 + (1 - low)] == '\0'
           && (s[end - 2 + low] == '\0' || IsBlank(s[end - 2 + low])))
        end -= 2;
    return end;
}

// The text with the encoding its declaration names changed to UTF-8.
QByteArray WithUtf8Declaration(QByteArray text)
{
    if (!text.startsWith("<?xml") || text.size() < 6 || !IsBlank(text.at(5)))
        return text;
    const int close = text.indexOf("?>");
    const int name = text.indexOf("encoding", 5);
    if (close < 0 || name < 0 || name > close)
        return text;
    int at = name + int(std::strlen("encoding"));
    while (at < close && IsBlank(text.at(at)))
        ++at;
    if (at >= close || text.at(at) != '=')
        return text;
    ++at;
    while (at < close && IsBlank(text.at(at)))
        ++at;
    const char quote = at < close ? text.at(at) : '\0';
    const int value = at + 1;
    const int valueEnd = quote == '"' || quote == '\'' ? text.indexOf(quote, value) : -1;
    if (valueEnd < 0 || valueEnd > close)
        return text;
    return text.replace(value, valueEnd - value, "UTF-8");
}

} // namespace

QByteArray XmlTextInUtf8(const QByteArray& bytes)
{
    int bom = 0;
    const tyUnits units = UnitsOf(bytes, &bom);
    if (units == tyUnits::Bytes)
        return bytes;
    const int end = Utf16TextEnd(bytes, units, bom);
    const unsigned char* const s = reinterpret_cast<const unsigned char*>(bytes.constData()) + bom;
    QString text((end - bom) / 2, Qt::Uninitialized);
    QChar* const out = text.data();
    for (int i = 0; i < text.size(); ++i) {
        const unsigned char* const unit = s + 2 * i;
        out[i] = QChar(units == tyUnits::Utf16LE ? ushort(unit[0] | unit[1] << 8) : ushort(unit[0] << 8 | unit[1]));
    }
    // Half a unit is no character: what stands there makes the parse fail.
    if ((end - bom) % 2)
        text += QChar(QChar::ReplacementCharacter);
    return WithUtf8Declaration(text.toUtf8());
}

int XmlTextEnd(const QByteArray& bytes)
{
    int bom = 0;
    const tyUnits units = UnitsOf(bytes, &bom);
    if (units != tyUnits::Bytes)
        return Utf16TextEnd(bytes, units, bom);
    const char* const s = bytes.constData();
    int end = bytes.size();
    // Padding runs kilobytes long: blocks of 32 bytes that are all blanks
    // or NULs first (a byte is either when its OR with a blank is a blank).
    constexpr quint64 kBlanks = 0x2020202020202020ull;
    while (end >= 32) {
        quint64 words[4];
        std::memcpy(words, s + end - 32, sizeof words);
        if (((words[0] | words[1] | words[2] | words[3]) | kBlanks) != kBlanks)
            break;
        end -= 32;
    }
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
    m_nDepth = 0;
    // A text in UTF-16 is indexed as its UTF-8 form, which a save writes.
    m_baText = XmlTextInUtf8(bytes);
    const char* const s = m_baText.constData();
    const int end = XmlTextEnd(m_baText);

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
            node.bTextAsWritten = !(seen & kRewrittenByte);
        }
        if (p >= end)
            break;
        if (rootClosed || ++p >= end)
            return Refuse();

        if (s[p] == '/') {
            // A closing tag must name the open element: its name is compared
            // in place rather than scanned, then what follows must end it.
            if (open.isEmpty())
                return Refuse();
            tyNode& node = m_Nodes[open.back()];
            const int after = p + 1 + node.nTagLength;
            if (after >= end || std::memcmp(s + p + 1, s + node.nTag, size_t(node.nTagLength)) != 0
                || s[after] != '>')
                return Refuse();
            p = after + 1;
            node.nEnd = m_Nodes.size();
            open.pop_back();
            lastChild.pop_back();
            rootClosed = open.isEmpty();
            continue;
        }
        const int name = p;
        if (p >= end || !IsNameStart(s[p]))
            return Refuse();
        while (p < end && (kByteClasses.c[static_cast<unsigned char>(s[p])] & kNameByte))
            ++p;
        const int nameLength = p - name;
        if (p >= end)
            return Refuse();

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
            m_nDepth = qMax(m_nDepth, int(open.size()));
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

bool XmlScanElement::LeafText(QLatin1String* text) const
{
    if (isNull())
        return false;
    const XmlScanIndex::tyNode& own = m_pIndex->m_Nodes.at(m_nNode);
    if (own.nEnd != m_nNode + 1)
        return false;
    *text = QLatin1String(m_pIndex->m_baText.constData() + own.nText, own.nTextLength);
    return true;
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

bool XmlScanIndex::WriteWithTexts(const QList<QPair<QStringList, QString>>& texts, QByteArray* out) const
{
    if (m_Nodes.isEmpty())
        return false;
    // (node, its last text), by node.
    QVector<QPair<int, QByteArray>> set;
    for (const QPair<QStringList, QString>& text : texts) {
        if (text.first.isEmpty() || !IsPlainXmlUnits(text.second))
            return false;
        XmlScanElement element = Root();
        for (const QString& tag : text.first)
            element = element.firstChildElement(tag);
        if (element.isNull())
            return false;
        auto known = std::find_if(set.begin(), set.end(),
                                  [&element](const QPair<int, QByteArray>& s) { return s.first == element.m_nNode; });
        if (known != set.end())
            known->second = text.second.toUtf8();
        else
            set.append({element.m_nNode, text.second.toUtf8()});
    }
    std::sort(set.begin(), set.end(),
              [](const QPair<int, QByteArray>& a, const QPair<int, QByteArray>& b) { return a.first < b.first; });
    // A text set on an element drops its children, and with them any other
    // element set below it: the document decides what that leaves.
    for (int i = 1; i < set.size(); ++i) {
        if (set.at(i).first < m_Nodes.at(set.at(i - 1).first).nEnd)
            return false;
    }
    // Every tag is written at most twice, every text once, and an element's
    // indent at most twice with its brackets.
    static const char kDeclaration[] = "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n";
    qint64 bound = qint64(sizeof(kDeclaration)) + 2 * qint64(m_baText.size())
                   + qint64(m_Nodes.size()) * (2 * m_nDepth + 8);
    for (const QPair<int, QByteArray>& text : set)
        bound += text.second.size();
    if (bound > std::numeric_limits<int>::max() / 2)
        return false;
    QByteArray written(int(bound), Qt::Uninitialized);
    char* end = written.data();
    std::memcpy(end, kDeclaration, sizeof(kDeclaration) - 1);
    end += sizeof(kDeclaration) - 1;
    if (!WriteNode(0, 1, set, end))
        return false;
    written.resize(int(end - written.constData()));
    *out = written;
    return true;
}

// As QDomNode::save with an indent of one writes the element.
bool XmlScanIndex::WriteNode(int node, int depth, const QVector<QPair<int, QByteArray>>& set, char*& out) const
{
    const tyNode& own = m_Nodes.at(node);
    const char* const bytes = m_baText.constData();
    auto put = [&out](const char* from, int n) {
        std::memcpy(out, from, size_t(n));
        out += n;
    };
    auto closeTag = [&]() {
        put("</", 2);
        put(bytes + own.nTag, own.nTagLength);
        put(">\n", 2);
    };
    std::memset(out, ' ', size_t(depth));
    out += depth;
    *out++ = '<';
    put(bytes + own.nTag, own.nTagLength);
    auto setText = std::lower_bound(set.begin(), set.end(), node,
                                    [](const QPair<int, QByteArray>& s, int n) { return s.first < n; });
    if (setText != set.end() && setText->first == node) {
        // A set text is a text node even when empty.
        *out++ = '>';
        put(setText->second.constData(), setText->second.size());
        closeTag();
        return true;
    }
    if (own.nEnd > node + 1) {
        put(">\n", 2);
        for (int child = node + 1; child >= 0; child = m_Nodes.at(child).nNext) {
            if (!WriteNode(child, depth + 1, set, out))
                return false;
        }
        std::memset(out, ' ', size_t(depth));
        out += depth;
        closeTag();
        return true;
    }
    if (own.nTextLength == 0) {
        put("/>\n", 3);
        return true;
    }
    // The scan keeps blanks and quotes in texts, which the writer changes.
    if (!own.bTextAsWritten)
        return false;
    *out++ = '>';
    put(bytes + own.nText, own.nTextLength);
    closeTag();
    return true;
}
