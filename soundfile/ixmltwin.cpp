#include "soundfile/ixmltwin.h"

#include "foundation/xmlscanindex.h"

#include <cstring>

namespace {

bool IsBlank(char c) { return c == ' ' || c == '\t' || c == '\n' || c == '\r'; }

bool IsNameChar(char c)
{
    return (c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z') || (c >= '0' && c <= '9') || c == '_'
           || c == '-' || c == '.';
}

bool StartsWith(const QByteArray& text, int at, const char* literal)
{
    const int n = int(std::strlen(literal));
    return at >= 0 && at + n <= text.size() && std::memcmp(text.constData() + at, literal, size_t(n)) == 0;
}

int SkipBlanks(const QByteArray& text, int at, int end)
{
    while (at < end && IsBlank(text.at(at)))
        ++at;
    return at;
}

// Element depth at the end of a prefix holding no comment, CDATA or
// declaration; -1 when the prefix has markup the count cannot follow.
int DepthAfter(const QByteArray& text, int end)
{
    int depth = 0;
    int at = text.indexOf('<');
    while (at >= 0 && at < end) {
        if (at + 1 >= end)
            return -1;
        const char next = text.at(at + 1);
        if (next == '!')
            return -1;
        const int close = text.indexOf(next == '?' ? "?>" : ">", at + 1);
        if (close < 0 || close >= end)
            return -1;
        if (next == '/')
            --depth;
        else if (next != '?' && text.at(close - 1) != '/')
            ++depth;
        if (depth < 0)
            return -1;
        at = text.indexOf('<', close);
    }
    return depth;
}

// One plain element "<TAG>text</TAG>" or "<TAG/>" at at; its end, or -1.
// The tag and the text are given as offsets into the text.
struct tyPlainElement {
    int nTag = 0;
    int nTagLength = 0;
    int nValue = 0;
    int nValueLength = 0;
};

int ReadPlainElement(const QByteArray& text, int at, int end, tyPlainElement* element)
{
    const char* const bytes = text.constData();
    if (at >= end || bytes[at] != '<')
        return -1;
    int p = at + 1;
    const int nameStart = p;
    while (p < end && IsNameChar(bytes[p]))
        ++p;
    if (p == nameStart || bytes[nameStart] == '-' || bytes[nameStart] == '.'
        || (bytes[nameStart] >= '0' && bytes[nameStart] <= '9'))
        return -1;
    element->nTag = nameStart;
    element->nTagLength = p - nameStart;
    element->nValue = p;
    element->nValueLength = 0;
    if (p + 1 < end && bytes[p] == '/' && bytes[p + 1] == '>')
        return p + 2;
    if (p >= end || bytes[p] != '>')
        return -1;
    const int valueStart = ++p;
    bool blank = true;
    while (p < end && bytes[p] != '<') {
        const unsigned char c = static_cast<unsigned char>(bytes[p]);
        // Entities, carriage returns (normalised by parsers) and non-ASCII
        // bytes (the declared encoding decides) are left to the parser.
        if (c == '&' || c == '\r' || c == '>' || (c < 0x20 && c != '\t' && c != '\n') || c > 0x7E)
            return -1;
        blank = blank && IsBlank(char(c));
        ++p;
    }
    if (p > valueStart && blank)
        return -1;
    element->nValue = valueStart;
    element->nValueLength = p - valueStart;
    // "</" TAG ">"
    const int closeEnd = p + 2 + element->nTagLength + 1;
    if (closeEnd > end || bytes[p + 1] != '/' || bytes[closeEnd - 1] != '>'
        || std::memcmp(bytes + p + 2, bytes + nameStart, size_t(element->nTagLength)) != 0)
        return -1;
    return closeEnd;
}

bool IsTag(const QByteArray& text, const tyPlainElement& element, const char* tag)
{
    return int(std::strlen(tag)) == element.nTagLength
           && std::memcmp(text.constData() + element.nTag, tag, size_t(element.nTagLength)) == 0;
}

// Chunk texts are padded to blocks of kilobytes: scanned on the raw bytes.
int PaddedEnd(const QByteArray& text) { return XmlTextEnd(text); }

// Reads plain elements from at up to the stop marker, handing each to take;
// where the marker stands, or -1 when something else is met first.
template <typename Take>
int ReadPlainElementsUntil(const QByteArray& text, int at, int end, const char* stop, Take take)
{
    tyPlainElement element;
    for (;;) {
        at = SkipBlanks(text, at, end);
        if (StartsWith(text, at, stop))
            return at;
        at = ReadPlainElement(text, at, end, &element);
        if (at < 0)
            return -1;
        take(element);
    }
}

// Reads the entry that begins at scan->nBegin ("<TRACK>").
bool ReadTrackEntry(const QByteArray& text, tyTrackEntryScan* scan)
{
    const int end = scan->nTextEnd;
    const int at = ReadPlainElementsUntil(
        text, scan->nBegin + int(std::strlen("<TRACK>")), end, "</TRACK>", [&text, scan](const tyPlainElement& element) {
            auto value = [&text, &element] {
                return QString::fromLatin1(text.constData() + element.nValue, element.nValueLength);
            };
            if (!scan->bHasChannelIndex && IsTag(text, element, "CHANNEL_INDEX")) {
                scan->bHasChannelIndex = true;
                scan->czChannelIndex = value();
            } else if (!scan->bHasName && IsTag(text, element, "NAME")) {
                scan->bHasName = true;
                scan->czName = value();
            }
        });
    if (at < 0)
        return false;
    scan->nEnd = at + int(std::strlen("</TRACK>"));
    return scan->nEnd <= end;
}

} // namespace

bool ScanTrackEntry(const QByteArray& text, tyTrackEntryScan* scan)
{
    *scan = tyTrackEntryScan();
    const int end = PaddedEnd(text);
    scan->nTextEnd = end;

    const int list = text.indexOf("<TRACK_LIST");
    if (list < 0 || !StartsWith(text, list, "<TRACK_LIST>") || list >= end || DepthAfter(text, list) != 1)
        return false;
    // Plain elements (TRACK_COUNT ...) may stand before the first TRACK.
    const int at = ReadPlainElementsUntil(text, list + int(std::strlen("<TRACK_LIST>")), end, "<TRACK>",
                                          [](const tyPlainElement&) {});
    if (at < 0)
        return false;
    scan->nBegin = at;
    return ReadTrackEntry(text, scan);
}

bool ScanTwinTrackEntry(const QByteArray& twin, const tyTrackEntryScan& twinScan, const QByteArray& text,
                        tyTrackEntryScan* scan)
{
    *scan = tyTrackEntryScan();
    scan->nTextEnd = PaddedEnd(text);
    scan->nBegin = twinScan.nBegin;
    // The same bytes up to the entry: what the twin's scan found holds here too.
    if (scan->nBegin > scan->nTextEnd || !StartsWith(text, scan->nBegin, "<TRACK>")
        || std::memcmp(twin.constData(), text.constData(), size_t(scan->nBegin)) != 0
        || !ReadTrackEntry(text, scan))
        return false;
    const int tail = scan->nTextEnd - scan->nEnd;
    return tail == twinScan.nTextEnd - twinScan.nEnd
           && std::memcmp(twin.constData() + twinScan.nEnd, text.constData() + scan->nEnd, size_t(tail)) == 0;
}

bool ReadTrackEntryElements(const QByteArray& text, int begin, QList<QPair<QString, QString>>* elements)
{
    elements->clear();
    if (!StartsWith(text, begin, "<TRACK>"))
        return false;
    return ReadPlainElementsUntil(text, begin + int(std::strlen("<TRACK>")), PaddedEnd(text), "</TRACK>",
                                  [&text, elements](const tyPlainElement& element) {
                                      elements->append(qMakePair(
                                          QString::fromLatin1(text.constData() + element.nTag, element.nTagLength),
                                          QString::fromLatin1(text.constData() + element.nValue,
                                                              element.nValueLength)));
                                  })
           >= 0;
}
