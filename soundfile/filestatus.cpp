#include "soundfile/filestatus.h"

#include "foundation/filekey.h"
#include "foundation/xmlobject.h"
#include "soundfile/ixmlnames.h"
#include "soundfile/headwindows.h"
#include "soundfile/keptheads.h"
#include "soundfile/soundfile.h"

#include <QByteArray>
#include <cstddef>
#include <cstring>
#include <unistd.h>

bool IsRecorderReference(const char* reference)
{
    return std::strncmp(reference, "ORVEX", 5) == 0;
}

QString ReferenceTakeId(const char* reference)
{
    return QString::fromLatin1(reference + 7, int(qstrnlen(reference + 7, 21))).trimmed();
}

int ReferenceTrack(const char* reference)
{
    const int track = reference[31] - '0';
    return track >= 0 && track < 24 ? track : -1;
}

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

QString tySourceSound::Reason() const
{
    switch (eKind) {
    case Whole:
        return QString();
    case NoSamples:
        return QStringLiteral("It holds no audio samples.");
    case CutShort:
    case SizesDisagree:
        return QStringLiteral("Its audio data is shorter than its header says.");
    case NotPcm:
        break;
    case FrameSizeWrong:
        return QStringLiteral("Its frames of %1 bytes do not hold %2 channels of %3-bit samples.")
            .arg(nBlockAlign).arg(nChannels).arg(nBits);
    case TooManyChannels:
        return QStringLiteral("It has %1 channels; at most %2 can be imported.").arg(nChannels).arg(kMostChannels);
    case RateUnplayable:
        return QStringLiteral("Its sample rate of %1 Hz cannot be played; rates of 1 to %2 Hz can be imported.")
            .arg(nSampleRate).arg(kMostSampleRate);
    }
    return QStringLiteral("Only 16 or 24-bit PCM files can be imported.");
}

namespace {
// The format an import takes, the first refusal found (Whole: taken).
tySourceSound::Kind FormatOf(const QSoundFile& file)
{
    const tyFmtChunk& fmt = file.m_FmtChunk;
    if (!file.IsIntegerPcm() || (fmt.nBitsPerSample != 16 && fmt.nBitsPerSample != 24) || fmt.nChannels == 0)
        return tySourceSound::NotPcm;
    if (fmt.nBlockAlign != fmt.nChannels * (fmt.nBitsPerSample / 8))
        return tySourceSound::FrameSizeWrong;
    if (fmt.nChannels > tySourceSound::kMostChannels)
        return tySourceSound::TooManyChannels;
    if (fmt.nSampleRate == 0 || fmt.nSampleRate > tySourceSound::kMostSampleRate)
        return tySourceSound::RateUnplayable;
    return tySourceSound::Whole;
}
}  // namespace

tySourceSound SourceSoundOf(const QSoundFile& file)
{
    tySourceSound sound;
    const tyFmtChunk& fmt = file.m_FmtChunk;
    sound.nChannels = fmt.nChannels;
    sound.nBits = fmt.nBitsPerSample;
    sound.nBlockAlign = fmt.nBlockAlign;
    sound.nSampleRate = fmt.nSampleRate;
    sound.eKind = FormatOf(file);
    if (sound.eKind != tySourceSound::Whole)
        return sound;
    sound.eKind = tySourceSound::NoSamples;
    const quint32 present = file.m_DataChunk.nSize;
    const quint32 declared = file.GetDeclaredDataSize();
    const quint32 frames = present / fmt.nBlockAlign;
    if (frames == 0)
        return sound;
    if (declared > present) {
        const quint64 declaredEnd = quint64(file.GetDataOffset()) + declared;
        if (quint64(file.GetLayout().nRiffSize) + 8 < declaredEnd) {
            sound.eKind = tySourceSound::SizesDisagree;
            return sound;
        }
        sound.eKind = tySourceSound::CutShort;
    } else {
        sound.eKind = tySourceSound::Whole;
    }
    sound.nFrames = frames;
    return sound;
}

namespace {
// The chunks walked before the samples: a head of more is no field
// recorder's, and a damaged size cannot send the walk on for long.
constexpr int kMostHeadChunks = 64;
}  // namespace

namespace {
tyTrackFileHead ReadHeadOf(int fd, qint64 length)
{
    tyTrackFileHead head;
    head.nLength = length;
    QByteArray window(int(qMin(length, HeadTailWindows::kHeadBytes)), '\0');
    const qint64 n = ReadFully(fd, 0, window.data(), window.size());
    // Bytes inside the file, from the head window where it holds them: the
    // recorder writes fmt and bext there; other makes may put a long iXML
    // first, and their fmt is read where the chunk headers say it stands.
    const auto readAt = [&](qint64 offset, char* out, qint64 count) {
        if (offset + count <= n) {
            std::memcpy(out, window.constData() + offset, size_t(count));
            return true;
        }
        return offset + count <= length && ReadFully(fd, offset, out, count) == count;
    };
    char riff[12];
    if (!readAt(0, riff, 12) || std::memcmp(riff, "RIFF", 4) != 0 || std::memcmp(riff + 8, "WAVE", 4) != 0)
        return head;
    constexpr qint64 kReferenceAt = offsetof(tyBextChunk, szOriginatorReference) - 8;
    bool bext = false;
    bool& recorder = head.bRecorder;
    qint64 at = 12;
    for (int chunk = 0; chunk < kMostHeadChunks && !(head.nChannels && bext); ++chunk) {
        unsigned char header[8];
        // The samples follow the recorder's headers; another maker may write
        // its fmt after them.
        if (!readAt(at, reinterpret_cast<char*>(header), 8)) {
            head.bCut = at < length;
            break;
        }
        if (std::memcmp(header, "data", 4) == 0 && head.nChannels)
            break;
        const quint32 size = ReadLe32(header + 4);
        const qint64 payload = at + 8;
        // A size past the end is a damaged head, or one cut short (an
        // interrupted copy): nothing after it is read.
        if (payload + qint64(size) > length) {
            head.bCut = true;
            break;
        }
        if (std::memcmp(header, "fmt ", 4) == 0 && size >= 4) {
            unsigned char format[4];
            if (readAt(payload, reinterpret_cast<char*>(format), 4))
                head.nChannels = format[2] | format[3] << 8;
        } else if (std::memcmp(header, "bext", 4) == 0 && size >= kReferenceAt + 5) {
            char reference[32] = {};
            if (readAt(payload + kReferenceAt, reference, qMin<qint64>(32, size - kReferenceAt))) {
                bext = true;
                recorder = IsRecorderReference(reference);
                if (recorder) {
                    head.czTakeId = ReferenceTakeId(reference);
                    head.nTrack = ReferenceTrack(reference);
                }
            }
        }
        at = payload + qint64(size) + (size & 1);
    }
    head.eKind = TrackFileKind(head.nChannels, bext, recorder);
    return head;
}
}  // namespace

tyTrackFileHead ReadTrackFileHead(const QString& path, bool keep)
{
    bool notRegular = false;
    qint64 length = 0;
    const int fd = OpenRegularFile(path, false, &notRegular, &length);
    if (fd < 0)
        return tyTrackFileHead();
    tyTrackFileHead head = ReadHeadOf(fd, length);
    if (keep) {
        tyFileState state;
        if (StateOfOpen(fd, &state))
            KeepTrackFileHead(path, state, head);
    }
    ::close(fd);
    return head;
}

tyTrackFileHead::Kind TrackFileKind(int channels, bool bext, bool recorder)
{
    // Another maker's bext says whose the file is, whatever follows.
    if (channels == 0)
        return bext && !recorder ? tyTrackFileHead::WholeTake : tyTrackFileHead::Unread;
    // A file without bext is another maker's as surely as one with another's.
    return channels == 1 && recorder ? tyTrackFileHead::RecorderMono : tyTrackFileHead::WholeTake;
}

tyTrackFileHead::Kind TrackFileKind(const QSoundFile& file)
{
    return HeadOfWalkedFile(file).eKind;
}

tyTrackFileHead HeadOfWalkedFile(const QSoundFile& file)
{
    tyTrackFileHead head;
    const bool bext = file.HasBextChunk();
    head.nChannels = file.m_FmtChunk.szId[0] ? int(file.m_FmtChunk.nChannels) : 0;
    head.bRecorder = bext && IsRecorderReference(file.m_BextChunk.szOriginatorReference);
    if (head.bRecorder) {
        head.czTakeId = ReferenceTakeId(file.m_BextChunk.szOriginatorReference);
        head.nTrack = ReferenceTrack(file.m_BextChunk.szOriginatorReference);
    }
    const tyRiffLayout& layout = file.GetLayout();
    // As ReadTrackFileHead tells it: a chunk, or a chunk's header, runs
    // past the end before the samples, where the fmt and bext chunks were
    // not both read whole.
    const auto whole = [&layout](const char* id) {
        const int at = layout.Find(id);
        return at >= 0 && !layout.chunks.at(at).bTruncated;
    };
    head.bCut = (layout.bTruncated || (layout.bGarbage && layout.nWalkedEnd + 8 > layout.nFileLength))
                && layout.Find("data") < 0 && !(whole("fmt ") && whole("bext"));
    head.eKind = TrackFileKind(head.nChannels, bext, head.bRecorder);
    return head;
}
