#include "soundfile/filestatus.h"

#include "foundation/filekey.h"
#include "foundation/xmlobject.h"
#include "soundfile/ixmlnames.h"
#include "soundfile/headwindows.h"
#include "soundfile/soundfile.h"

#include <QByteArray>
#include <cstddef>
#include <cstring>
#include <unistd.h>

namespace {
// The OriginatorReference of this recorder's bext chunk (status 3 otherwise).
bool IsRecorderReference(const char* reference)
{
    return std::strncmp(reference, "ORVEX", 5) == 0;
}
}  // namespace

int ComputeFileStatus(const QSoundFile& file)
{
    const tyRiffLayout& layout = file.GetLayout();
    const tyFmtChunk& fmt = file.m_FmtChunk;
    if (!layout.bRiffWave || fmt.szId[0] == 0 || file.m_DataChunk.szId[0] == 0 || !file.IsIntegerPcm()
        || (fmt.nBitsPerSample != 16 && fmt.nBitsPerSample != 24) || fmt.nChannels == 0)
        return 1;
    if (!file.HasBextChunk())
        return 2;
    if (!IsRecorderReference(file.m_BextChunk.szOriginatorReference))
        return 3;
    const quint32 dataSize = file.GetDeclaredDataSize();
    if (!file.HasiXMLChunk() || !layout.RiffSizeMatches() || !file.IsLayoutSound() || dataSize == 0
        || dataSize == 0xFFFFFFFFu || file.m_DataChunk.nSize != dataSize)
        return 8;
    // A loaded file already holds its document (or has adopted its twin's);
    // parsing it again would double the cost of loading a day.
    QString key;
    if (file.IsDocumentFromChunk()) {
        if (file.RootTag() != IxmlNames::kRoot)
            return 5;
        if (!file.HasiXMLOrvexBlock())
            return 6;
        key = file.GetiXMLFileKey();
    } else {
        QXmlObject parsed;
        if (!parsed.SetContent(file.GetiXMLText()) || parsed.RootTag() != IxmlNames::kRoot)
            return 5;
        if (parsed.FindElement({IxmlNames::kOrvex}).isNull())
            return 6;
        key = parsed.GetText({IxmlNames::kOrvex, IxmlNames::kFileKey});
    }
    // A missing key reads as empty, which matches no key.
    if (!FileKeyMatches(key, dataSize, fmt.nSampleRate, fmt.nBitsPerSample, fmt.nChannels))
        return 7;
    return 0;
}

tyTrackFileHead ReadTrackFileHead(const QString& path)
{
    tyTrackFileHead head;
    bool notRegular = false;
    const int fd = OpenRegularFile(path, false, &notRegular);
    if (fd < 0)
        return head;
    QByteArray bytes(int(HeadTailWindows::kHeadBytes), '\0');
    const qint64 n = ReadFully(fd, 0, bytes.data(), bytes.size());
    ::close(fd);
    if (n < 12 || std::memcmp(bytes.constData(), "RIFF", 4) != 0 || std::memcmp(bytes.constData() + 8, "WAVE", 4) != 0)
        return head;
    const auto* b = reinterpret_cast<const unsigned char*>(bytes.constData());
    constexpr qint64 kReferenceAt = offsetof(tyBextChunk, szOriginatorReference) - 8;
    bool bext = false;
    bool& recorder = head.bRecorder;
    // The chunks before the samples, as far as the head goes.
    for (qint64 at = 12; at + 8 <= n && !(head.nChannels && bext);) {
        const quint32 size = ReadLe32(b + at + 4);
        const qint64 payload = at + 8;
        if (std::memcmp(b + at, "fmt ", 4) == 0 && payload + 4 <= n) {
            head.nChannels = b[payload + 2] | b[payload + 3] << 8;
        } else if (std::memcmp(b + at, "bext", 4) == 0 && payload + kReferenceAt + 5 <= n) {
            bext = true;
            recorder = IsRecorderReference(bytes.constData() + payload + kReferenceAt);
        } else if (std::memcmp(b + at, "data", 4) == 0) {
            break;
        }
        at = payload + qint64(size) + (size & 1);
    }
    if (head.nChannels == 0)
        return head;
    // A file without bext is another maker's as surely as one with another's.
    head.eKind = head.nChannels == 1 && recorder ? tyTrackFileHead::RecorderMono : tyTrackFileHead::WholeTake;
    return head;
}
