#include "soundfile/ixmltwin.h"

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
int ReadPlainElement(const QByteArray& text, int at, int end, QByteArray* tag, QByteArray* value)
{
    if (at >= end || text.at(at) != '<')
        return -1;
    int p = at + 1;
    const int nameStart = p;
    while (p < end && IsNameChar(text.at(p)))
        ++p;
    if (p == nameStart || text.at(nameStart) == '-' || text.at(nameStart) == '.'
        || (text.at(nameStart) >= '0' && text.at(nameStart) <= '9'))
        return -1;
    *tag = text.mid(nameStart, p - nameStart);
    value->clear();
    if (StartsWith(text, p, "/>"))
        return p + 2;
    if (p >= end || text.at(p) != '>')
        return -1;
    const int valueStart = ++p;
    bool blank = true;
    while (p < end && text.at(p) != '<') {
        const char c = text.at(p);
        // Entities, carriage returns (normalised by parsers) and non-ASCII
        // bytes (the declared encoding decides) are left to the parser.
        if (c == '&' || c == '\r' || c == '>' || (static_cast<unsigned char>(c) < 0x20 && c != '\t' && c != '\n')
            || static_cast<unsigned char>(c) > 0x7E)
            return -1;
        blank = blank && IsBlank(c);
        ++p;
    }
    if (p > valueStart && blank)
        return -1;
    *value = text.mid(valueStart, p - valueStart);
    const QByteArray closing = "</" + *tag + ">";
    if (!StartsWith(text, p, closing.constData()) || p + closing.size() > end)
        return -1;
    return p + closing.size();
}

} // namespace

bool ScanTrackEntry(const QByteArray& text, tyTrackEntryScan* scan)
{
    *scan = tyTrackEntryScan();
    int end = text.size();
    while (end > 0 && (text.at(end - 1) == '\0' || IsBlank(text.at(end - 1))))
        --end;
    scan->nTextEnd = end;

    const int list = text.indexOf("<TRACK_LIST");
    if (list < 0 || !StartsWith(text, list, "<TRACK_LIST>") || list >= end || DepthAfter(text, list) != 1)
        return false;
    // Plain elements (TRACK_COUNT ...) may stand before the first TRACK.
    int at = list + int(std::strlen("<TRACK_LIST>"));
    QByteArray tag;
    QByteArray value;
    for (;;) {
        at = SkipBlanks(text, at, end);
        if (StartsWith(text, at, "<TRACK>"))
            break;
        at = ReadPlainElement(text, at, end, &tag, &value);
        if (at < 0)
            return false;
    }
    scan->nBegin = at;
    at += int(std::strlen("<TRACK>"));
    for (;;) {
        at = SkipBlanks(text, at, end);
        if (StartsWith(text, at, "</TRACK>"))
            break;
        at = ReadPlainElement(text, at, end, &tag, &value);
        if (at < 0)
            return false;
        if (tag == "CHANNEL_INDEX" && !scan->bHasChannelIndex) {
            scan->bHasChannelIndex = true;
            scan->czChannelIndex = QString::fromLatin1(value);
        } else if (tag == "NAME" && !scan->bHasName) {
            scan->bHasName = true;
            scan->czName = QString::fromLatin1(value);
        }
    }
    scan->nEnd = at + int(std::strlen("</TRACK>"));
    return scan->nEnd <= end;
}

bool SameOutsideTrackEntry(const QByteArray& a, const tyTrackEntryScan& sa, const QByteArray& b,
                           const tyTrackEntryScan& sb)
{
    const int tailA = sa.nTextEnd - sa.nEnd;
    const int tailB = sb.nTextEnd - sb.nEnd;
    return sa.nBegin == sb.nBegin && tailA == tailB
           && std::memcmp(a.constData(), b.constData(), size_t(sa.nBegin)) == 0
           && std::memcmp(a.constData() + sa.nEnd, b.constData() + sb.nEnd, size_t(tailA)) == 0;
}
