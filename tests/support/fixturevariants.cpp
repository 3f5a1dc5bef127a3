#include "tests/support/fixturevariants.h"

#include "foundation/filekey.h"
#include "tests/support/fixturesamples.h"
#include "tests/support/riffbytes.h"
#include "tests/support/riffreader.h"
#include "tests/support/takelayout.h"

#include <QDir>
#include <QFileInfo>
#include <QXmlStreamWriter>

#include <algorithm>

namespace fixture {

namespace {

const QList<BreakageInfo> kBreakages = {
    {Breakage::NoIxml, "no_ixml", 8, "not correctly closed: no iXML chunk", true},
    {Breakage::RiffSizeZero, "riff_size_zero", 8, "not correctly closed: RIFF size 0", true},
    {Breakage::RiffSizeWrong, "riff_size_wrong", 8, "not correctly closed: RIFF size too large", true},
    {Breakage::TruncatedData, "truncated_data", 8, "not correctly closed: data past the end; no crash", false},
    {Breakage::DataSizeZero, "data_size_zero", 8, "not correctly closed: empty data", false},
    {Breakage::DataSizeMax, "data_size_max", 8, "not correctly closed: data size 0xFFFFFFFF", false},
    {Breakage::NotOrvexReference, "not_orvex", 3, "not a recorder file: foreign reference", true},
    {Breakage::NoBext, "no_bext", 2, "not a recorder file: no bext", true},
    {Breakage::NotRiff, "not_riff", 1, "not a sound file", false},
    {Breakage::NotPcm16or24, "pcm8", 1, "not 16/24-bit PCM", false},
    {Breakage::IxmlNotParsable, "ixml_not_xml", 5, "iXML does not parse", true},
    {Breakage::IxmlWrongRoot, "ixml_wrong_root", 5, "iXML root is not BWFXML", true},
    {Breakage::NoMakerBlock, "no_maker_block", 6, "no ORVEX_BRISEL block", true},
    {Breakage::NoFileKey, "no_file_key", 7, "FILE_KEY missing", true},
    {Breakage::WrongFileKey, "wrong_file_key", 7, "FILE_KEY does not match", true},
    {Breakage::TrailingNuls, "trailing_nuls", 0, "valid: NULs after </BWFXML> are ignored", true},
    {Breakage::OddChunkPadded, "odd_chunk_padded", 0, "valid: odd chunk with pad byte walked", true},
    {Breakage::OddChunkUnpadded, "odd_chunk_unpadded", 0, "valid: odd chunk without pad byte walked", true},
    {Breakage::FortyUnknownChunks, "forty_unknown", 0, "valid: 40 unknown chunks before data walked", true},
    {Breakage::TwoIxmlChunks, "two_ixml", 0, "valid: the first iXML chunk read, a save retires the second", true},
    {Breakage::ChunkFlood, "chunk_flood", 1, "\"hasn't Data Chunk within its first 4096 chunks !\"", false},
    {Breakage::Rf64, "rf64", 1, "\"RF64 files are not supported !\"", false},
    {Breakage::TextFileNamedWav, "text_file", 1, "\"is not a sound file !\" reported", false},
    {Breakage::FamilyRateMismatch, "family_rate", -1, "InitFilesZZ false: rates differ", true},
    {Breakage::FamilySizeMismatch, "family_size", -1, "InitFilesZZ false: data sizes differ", true},
};

bool IsFamilyBreakage(Breakage b)
{
    return b == Breakage::FamilyRateMismatch || b == Breakage::FamilySizeMismatch;
}

// The iXML text without its blank padding.
QByteArray IxmlCore(const ChunkBytes& ixml)
{
    QByteArray text = ixml.payload;
    while (text.endsWith(' '))
        text.chop(1);
    return text;
}

void ReplaceIxml(QList<ChunkBytes>& chunks, const QByteArray& text, char fill = ' ')
{
    ChunkBytes& ixml = chunks[IndexOfChunk(chunks, "iXML")];
    const int length = ixml.payload.size();
    ixml.payload = text.size() >= length ? text : text + QByteArray(length - text.size(), fill);
}

QByteArray WithoutElement(QByteArray text, const QByteArray& tag)
{
    const int start = text.indexOf("<" + tag + ">");
    const QByteArray close = "</" + tag + ">";
    const int end = text.indexOf(close, start);
    if (start >= 0 && end > start)
        text.remove(start, end + close.size() - start);
    return text;
}

QByteArray BreakChunks(const TakeSpec& spec, int trackIndex, Breakage b)
{
    QList<ChunkBytes> chunks = TakeFileChunks(spec, trackIndex);
    const int dataAt = IndexOfChunk(chunks, "data");
    switch (b) {
    case Breakage::NoIxml:
        chunks.removeAt(IndexOfChunk(chunks, "iXML"));
        break;
    case Breakage::DataSizeZero:
        chunks[dataAt].payload.clear();
        break;
    case Breakage::DataSizeMax:
        chunks[dataAt].sizeOverride = 0xFFFFFFFFLL;
        break;
    case Breakage::NotOrvexReference: {
        QByteArray& bext = chunks[IndexOfChunk(chunks, "bext")].payload;
        PutText(bext, 288, 32, "SNDDEV 000123");
        break;
    }
    case Breakage::NoBext:
        chunks.removeAt(IndexOfChunk(chunks, "bext"));
        break;
    case Breakage::NotPcm16or24: {
        chunks[IndexOfChunk(chunks, "fmt ")].payload = FmtPayload(1, 1, spec.sampleRate, 8);
        QByteArray samples;
        for (qint64 f = 0; f < spec.frames; ++f)
            samples.append(char((SampleValue(0, f, 16) >> 8) + 128));
        chunks[dataAt].payload = samples;
        break;
    }
    case Breakage::IxmlNotParsable:
        ReplaceIxml(chunks, "<?xml version=\"1.0\"?>\n<BWFXML>\n <SCENE>12A</SCEN");
        break;
    case Breakage::IxmlWrongRoot: {
        QByteArray text = IxmlCore(chunks[IndexOfChunk(chunks, "iXML")]);
        text.replace("<BWFXML>", "<IXML>").replace("</BWFXML>", "</IXML>");
        ReplaceIxml(chunks, text);
        break;
    }
    case Breakage::NoMakerBlock:
        ReplaceIxml(chunks, WithoutElement(IxmlCore(chunks[IndexOfChunk(chunks, "iXML")]), "ORVEX_BRISEL"));
        break;
    case Breakage::NoFileKey:
        ReplaceIxml(chunks, WithoutElement(IxmlCore(chunks[IndexOfChunk(chunks, "iXML")]), "FILE_KEY"));
        break;
    case Breakage::WrongFileKey: {
        const quint16 channels = quint16(trackIndex < 0 ? spec.tracks.size() : 1);
        const quint32 dataSize = quint32(chunks[dataAt].payload.size());
        QByteArray text = IxmlCore(chunks[IndexOfChunk(chunks, "iXML")]);
        text.replace(MakeFileKey(dataSize, spec.sampleRate, spec.bits, channels).toLatin1(),
                     MakeFileKey(dataSize + 2, spec.sampleRate, spec.bits, channels).toLatin1());
        ReplaceIxml(chunks, text);
        break;
    }
    case Breakage::TrailingNuls:
        ReplaceIxml(chunks, IxmlCore(chunks[IndexOfChunk(chunks, "iXML")]), '\0');
        break;
    case Breakage::OddChunkPadded:
    case Breakage::OddChunkUnpadded:
        chunks.insert(dataAt + 1, ChunkBytes{"xtra", "ABCDE", b == Breakage::OddChunkPadded});
        break;
    case Breakage::FortyUnknownChunks:
        for (int i = 39; i >= 0; --i)
            chunks.insert(dataAt, ChunkBytes{"un" + QByteArray::number(i).rightJustified(2, '0'), U32(quint32(i))});
        break;
    case Breakage::TwoIxmlChunks:
        chunks.append(chunks.at(IndexOfChunk(chunks, "iXML")));
        break;
    case Breakage::ChunkFlood:
        for (int i = 0; i < 5000; ++i)
            chunks.insert(dataAt, ChunkBytes{"tiny", QByteArray()});
        break;
    default:
        break;
    }

    QByteArray bytes = AssembleRiff(chunks);
    switch (b) {
    case Breakage::RiffSizeZero:
        PutU32(bytes, 4, 0);
        break;
    case Breakage::RiffSizeWrong:
        PutU32(bytes, 4, quint32(bytes.size() - 8 + 1000));
        break;
    case Breakage::NotRiff:
        bytes.replace(0, 4, "RIFX");
        break;
    case Breakage::Rf64:
        bytes = AssembleRf64(chunks, quint64(spec.frames));
        break;
    case Breakage::TruncatedData: {
        const RiffInfo info = ParseRiff(bytes);
        bytes.truncate(int(info.dataOffset + info.dataSize / 2));
        break;
    }
    default:
        break;
    }
    return bytes;
}

QByteArray ForeignIxml(int track, int totalFiles, const QString& familyName, const QString& name,
                       const QString& familyUid)
{
    QByteArray out;
    QXmlStreamWriter x(&out);
    x.setAutoFormatting(true);
    x.writeStartDocument();
    x.writeStartElement(QStringLiteral("BWFXML"));
    x.writeTextElement(QStringLiteral("IXML_VERSION"), QStringLiteral("1.5"));
    x.writeTextElement(QStringLiteral("SCENE"), QStringLiteral("44"));
    x.writeTextElement(QStringLiteral("TAKE"), QStringLiteral("2"));
    x.writeStartElement(QStringLiteral("FILE_SET"));
    x.writeTextElement(QStringLiteral("TOTAL_FILES"), QString::number(totalFiles));
    if (!familyUid.isEmpty())
        x.writeTextElement(QStringLiteral("FAMILY_UID"), familyUid);
    x.writeTextElement(QStringLiteral("FAMILY_NAME"), familyName);
    x.writeEndElement();
    x.writeStartElement(QStringLiteral("TRACK_LIST"));
    x.writeTextElement(QStringLiteral("TRACK_COUNT"), QStringLiteral("1"));
    x.writeStartElement(QStringLiteral("TRACK"));
    x.writeTextElement(QStringLiteral("CHANNEL_INDEX"), QString::number(track));
    x.writeTextElement(QStringLiteral("INTERLEAVE_INDEX"), QStringLiteral("1"));
    x.writeTextElement(QStringLiteral("NAME"), name.isNull() ? QStringLiteral("Mic %1").arg(track) : name);
    x.writeEndElement();
    x.writeEndElement();
    x.writeEndElement();
    x.writeEndDocument();
    return out;
}

}  // namespace

const QList<BreakageInfo>& Breakages()
{
    return kBreakages;
}

const BreakageInfo& InfoOf(Breakage breakage)
{
    return kBreakages.at(int(breakage));
}

QByteArray BuildBrokenFile(const TakeSpec& spec, Breakage breakage, int member)
{
    TakeSpec changed = spec;
    if (breakage == Breakage::TextFileNamedWav)
        return QByteArray("This is a text file, not a sound file.\r\n");
    if (breakage == Breakage::FamilyRateMismatch)
        changed.sampleRate = spec.sampleRate == 44100 ? 48000 : 44100;
    if (breakage == Breakage::FamilySizeMismatch)
        changed.frames = spec.frames / 2;
    // A size that cannot be walked past is tested with the data last, so the
    // iXML is still found and only the data is at fault.
    if (breakage == Breakage::TruncatedData || breakage == Breakage::DataSizeMax)
        changed.order = ChunkOrder::IxmlBeforeData;
    const int trackIndex = spec.poly ? -1 : (IsFamilyBreakage(breakage) ? 1 : member);
    return BreakChunks(changed, trackIndex, breakage);
}

WrittenTake WriteBrokenTake(const QString& dayFolder, const TakeSpec& spec, Breakage breakage)
{
    WrittenTake written = WriteTake(dayFolder, spec);
    const int index = IsFamilyBreakage(breakage) ? 1 : 0;
    if (index >= written.files.size()
        || !WriteBytes(written.files.at(index), BuildBrokenFile(spec, breakage)))
        return WrittenTake();
    return written;
}

QByteArray BuildForeignFile(const ForeignSpec& spec)
{
    QList<int> tracks;
    for (int c = 0; c < spec.channels; ++c)
        tracks << spec.firstTrack + c;
    ChunkBytes fmt{"fmt ", FmtPayload(spec.extensible ? 0xFFFE : 1, quint16(spec.channels), spec.sampleRate,
                                      spec.bits)};
    if (spec.extensible) {
        // cbSize 22, valid bits, no speaker mask, the PCM sub-format GUID.
        fmt.payload += QByteArray("\x16\x00", 2) + char(spec.bits) + QByteArray(5, '\0')
                       + QByteArray("\x01\x00\x00\x00\x00\x00\x10\x00\x80\x00\x00\xaa\x00\x38\x9b\x71", 16);
    }
    QList<ChunkBytes> chunks;
    for (const QPair<QByteArray, QByteArray>& chunk : spec.leading)
        chunks << ChunkBytes{chunk.first, chunk.second};
    if (!spec.headersFirst)
        chunks << fmt;
    if (spec.bext) {
        chunks << ChunkBytes{"bext", BextPayload(spec.description.toLatin1(), spec.originator.toLatin1(),
                                                 spec.originatorReference.toLatin1().left(32), "2024-05-01",
                                                 "09:30:00", spec.timeReference)};
    }
    QString ixml = spec.ixml;
    if (spec.headersFirst && ixml.isEmpty())
        ixml = QString::fromUtf8(ForeignIxml(spec.firstTrack + 1, 1, QStringLiteral("44/2"), QString(), spec.familyUid));
    QByteArray text;
    if (spec.ixmlUtf16) {
        text = QByteArray("\xff\xfe", 2);
        for (const QChar c : ixml)
            text += char(c.unicode() & 0xFF) + QByteArray(1, char(c.unicode() >> 8));
    } else {
        text = ixml.toUtf8();
    }
    if (spec.headersFirst) {
        const QByteArray space = spec.ixmlUtf16 ? QByteArray(" \0", 2) : QByteArray(" ");
        while (text.size() + space.size() <= spec.ixmlBytes)
            text += space;
    }
    if (text.size() & 1)
        text.append(' ');
    if (spec.headersFirst)
        chunks << ChunkBytes{"iXML", text} << fmt;
    chunks << ChunkBytes{"data", SampleBytes(tracks, 0, spec.frames, spec.bits)};
    if (!spec.headersFirst && !text.isEmpty())
        chunks << ChunkBytes{"iXML", text};
    return AssembleRiff(chunks);
}

bool WriteForeignFile(const QString& path, const ForeignSpec& spec)
{
    return WriteBytes(path, BuildForeignFile(spec));
}

QByteArray BuildForeignFileOfLength(ForeignSpec spec, qint64 length)
{
    const int frameBytes = spec.channels * (spec.bits / 8);
    spec.frames = 0;
    const qint64 bare = BuildForeignFile(spec).size() + 8;   // with an empty JUNK chunk
    if (length < bare || frameBytes <= 0)
        return QByteArray();
    spec.frames = quint32((length - bare) / frameBytes);
    // Whole chunks without padding: an odd data size is padded by a byte.
    while (spec.frames > 0 && (length - BuildForeignFile(spec).size()) % 2 != 0)
        --spec.frames;
    const qint64 rest = length - BuildForeignFile(spec).size() - 8;
    if (rest < 0 || rest % 2 != 0)
        return QByteArray();
    spec.leading.prepend({QByteArray("JUNK"), QByteArray(int(rest), '\0')});
    return BuildForeignFile(spec);
}

QStringList WriteForeignMonoFamily(const QString& folder, const QString& root, int count,
                                   const QString& familyName, const ForeignSpec& base)
{
    QStringList paths;
    for (int k = base.firstTrack + 1; k <= base.firstTrack + count; ++k) {
        ForeignSpec spec = base;
        spec.channels = 1;
        spec.firstTrack = k - 1;
        spec.bext = true;
        spec.ixml = QString::fromUtf8(ForeignIxml(k, count, familyName,
                                                  base.trackNames.value(k - 1 - base.firstTrack), base.familyUid));
        const QString path = QDir(folder).absoluteFilePath(QStringLiteral("%1_%2.WAV").arg(root).arg(k));
        if (!WriteForeignFile(path, spec))
            return QStringList();
        paths << path;
    }
    return paths;
}

const QList<StrangerForm>& StrangerForms()
{
    static const QList<StrangerForm> forms = [] {
        const auto take = [](const char* id, int tracks, char separator, TrackNumberStyle style) {
            QList<int> slotList;
            for (int t = 0; t < tracks; ++t)
                slotList << t;
            TakeSpec spec = MonoTake(QString::fromLatin1(id), slotList);
            spec.numberStyle = style;
            for (TrackSpec& track : spec.tracks)
                track.separator = separator;
            return spec;
        };
        const TrackNumberStyle two = TrackNumberStyle::TwoDigit;
        TakeSpec mixed = take("LEN650", 4, '#', two);
        mixed.tracks[1].separator = '_';
        TakeSpec lastApart = take("LEN656", 5, '_', two);
        lastApart.tracks[4].separator = '-';
        TakeSpec otherApart = take("LEN657", 5, '_', two);
        otherApart.tracks[4].separator = '-';
        TakeSpec hashFirst = take("LEN655", 5, '_', two);
        hashFirst.tracks[0].separator = '#';
        TakeSpec cutApart = take("LEN953", 4, '_', two);
        cutApart.tracks[3].separator = '#';
        TakeSpec firstAndNinth = take("LEN839", 2, '#', two);
        firstAndNinth.tracks[1].slot = 8;
        TakeSpec emptyApart = take("LEN699", 5, '_', two);
        emptyApart.tracks[4].separator = '-';
        return QList<StrangerForm>{
            {"'-' members, '_' stranger", take("LEN642", 5, '-', two), "LEN642_05.WAV", true},
            {"one-character members", take("LEN647", 4, '_', TrackNumberStyle::OneChar), "LEN647_01.WAV", true},
            {"'#' members", take("LEN648", 4, '#', two), "LEN648_01.WAV", true},
            {"one-character stranger", take("LEN638", 4, '_', two), "LEN638_1.WAV", true},
            {"track 25", take("LEN640", 4, '_', two), "LEN640_25.WAV", true},
            {"letter track", take("LEN641", 4, '_', two), "LEN641_A.WAV", false},
            {"two-digit stranger among one-character members", take("LEN649", 10, '_', TrackNumberStyle::OneChar),
             "LEN649_10.WAV", true},
            {"mixed separators", mixed, "LEN650+02.WAV", true},
            {"stranger in the others' form, its slot's member in another", lastApart, "LEN656_05.WAV", true},
            {"'#' first member, '-' stranger", hashFirst, "LEN655-05.WAV", true},
            {"another take's file", take("LEN651", 5, '_', two), "LEN651-05.WAV", true, StrangerMade::OtherTake},
            {"another take's file in the others' form, its slot's member in another", otherApart, "LEN657_05.WAV",
             true, StrangerMade::OtherTake},
            {"another take's file, lower case", take("LEN658", 5, '_', two), "len658-02.WAV", true,
             StrangerMade::OtherTake, true},
            {"a copy of a member", take("LEN652", 5, '_', two), "LEN652-04.WAV", true, StrangerMade::CopyOfMember},
            {"an empty file", take("LEN653", 4, '_', two), "LEN653-03.WAV", true, StrangerMade::Empty},
            {"data before fmt, no bext", take("LEN654", 4, '_', two), "LEN654-03.WAV", true, StrangerMade::DataFirst},
            {"another recording of the take's name", take("LEN924", 4, '_', two), "LEN924-04.WAV", true,
             StrangerMade::OtherRecording},
            {"a copy cut short in the others' form, its slot's member in another", cutApart, "LEN953_04.WAV", true,
             StrangerMade::CutCopy},
            {"an empty file in the others' form, its slot's member in another", emptyApart, "LEN699_05.WAV", true,
             StrangerMade::Empty},
            {"a member whose bext another program blanked", take("LEN911", 4, '_', two), "LEN911_04.WAV", false,
             StrangerMade::BlankedBext, false, true},
            {"another take's file in a member's place", take("LEN926", 4, '_', two), "LEN926_03.WAV", false,
             StrangerMade::OtherTake, false, true},
            {"another take's file in a free slot", take("LEN744", 4, '_', two), "LEN744_05.WAV", true,
             StrangerMade::OtherTake},
            {"another maker's file in a free slot", take("LEN666", 4, '_', two), "LEN666_05.WAV", true},
            {"another take's file in a free slot, named before the members", take("LEN745", 4, '_', two),
             "LEN745#05.WAV", true, StrangerMade::OtherTake},
            {"a take renamed by hand beside another take's file in a free slot", take("LEN836", 4, '_', two),
             "LEN836_05.WAV", true, StrangerMade::OtherTake, false, false, "REC836"},
            {"a take renamed by hand beside another take's file in a free slot, named before its files",
             take("LEN837", 4, '_', two), "LEN837-05.WAV", true, StrangerMade::OtherTake, false, false, "REC837"},
            {"a copy of a member in a free slot", take("LEN818", 4, '_', two), "LEN818_05.WAV", true,
             StrangerMade::CopyOfMember, false, false, nullptr, 3},
            {"a member cut short in its head by an interrupted copy", take("LEN838", 4, '_', two), "LEN838_01.WAV",
             false, StrangerMade::CutMember, false, true},
            {"a copy in another form beside a dead link under a third slot", firstAndNinth, "LEN839_09.WAV", true,
             StrangerMade::CopyOfMember, false, false, nullptr, 1, 0},
            {"another maker's file in a member's other form, a link to nothing in its place", take("LEN841", 4, '_', two),
             "LEN841-02.WAV", false, StrangerMade::OtherMaker, false, true, nullptr, -1, 1},
        };
    }();
    return forms;
}

bool ListedWithTakeUntilLoaded(const StrangerForm& form, bool asLong)
{
    const QString base = QFileInfo(form.stranger).completeBaseName();
    const int slot = base.right(2).toInt() - 1;
    return ((asLong && form.made == StrangerMade::OtherMaker) || form.made == StrangerMade::CopyOfMember)
           && base.at(base.size() - 3) == QLatin1Char('_')
           && slot >= 0 && slot < 24
           && std::none_of(form.take.tracks.begin(), form.take.tracks.end(),
                           [slot](const TrackSpec& track) { return track.slot == slot; });
}

QStringList WriteTakeBesideStranger(const QString& folder, const StrangerForm& form, bool asLong)
{
    const WrittenTake written = WriteTake(folder, form.take);
    if (written.files.size() != form.take.tracks.size())
        return QStringList();
    // Renamed by hand: its files' bext still names the take they were recorded as.
    for (int i = 0; form.recordedAs && i < written.files.size(); ++i) {
        QByteArray bytes = ReadBytes(written.files.at(i));
        if (!NameTakeInBext(&bytes, form.take.id, QString::fromLatin1(form.recordedAs))
            || !WriteBytes(written.files.at(i), bytes))
            return QStringList();
    }
    // The link in place of the member of its name, if one is there.
    QStringList files = written.files;
    if (form.deadLinkTrack >= 0) {
        const QString link = QDir(folder).absoluteFilePath(
            QStringLiteral("%1_%2.WAV").arg(form.take.id).arg(form.deadLinkTrack + 1, 2, 10, QLatin1Char('0')));
        if ((files.removeAll(link) > 0 && !QFile::remove(link))
            || !QFile::link(QDir(folder).absoluteFilePath(QStringLiteral("gone.WAV")), link))
            return QStringList();
    }
    // The take's track the stranger is named for (slots 0.. in order): its two-digit number.
    const int track = QFileInfo(form.stranger).completeBaseName().right(2).toInt() - 1;
    ForeignSpec spec;
    spec.channels = 1;
    spec.bext = true;
    QByteArray bytes;
    switch (form.made) {
    case StrangerMade::OtherMaker:
        bytes = asLong ? BuildForeignFileOfLength(spec, QFileInfo(written.files.first()).size())
                       : BuildForeignFile(spec);
        break;
    case StrangerMade::OtherTake: {
        TakeSpec other = form.take;
        other.id = QStringLiteral("OTH") + form.take.id.mid(3);
        other.note = QStringLiteral("Another take");
        // Named for a slot the take does not use: the other take has it,
        // and is of another length (of the members' beside a take renamed).
        if (other.tracks.size() <= track && !form.recordedAs)
            other.frames += other.frames / 2;
        while (other.tracks.size() <= track) {
            TrackSpec extra = other.tracks.last();
            extra.slot = other.tracks.size();
            extra.name.clear();
            other.tracks << extra;
        }
        bytes = BuildMonoFile(other, track);
        break;
    }
    case StrangerMade::CopyOfMember:
        bytes = ReadBytes(written.files.value(form.copyOf >= 0 ? form.copyOf : track));
        break;
    case StrangerMade::CutMember:
        bytes = ReadBytes(written.files.value(track)).left(100);
        break;
    case StrangerMade::OtherRecording: {
        // The member's headers over other samples.
        bytes = ReadBytes(written.files.value(track));
        const RiffInfo riff = ParseRiff(bytes);
        for (qint64 i = riff.dataOffset; i < riff.dataOffset + riff.data.size(); ++i)
            bytes[int(i)] = char(bytes.at(int(i)) ^ 0x5A);
        break;
    }
    case StrangerMade::CutCopy: {
        const QByteArray member = ReadBytes(written.files.value(track));
        bytes = member.left(member.size() / 2);
        break;
    }
    case StrangerMade::BlankedBext: {
        bytes = ReadBytes(written.files.value(track));
        const int reference = bytes.indexOf("bext") + 8 + 256 + 32;
        bytes.replace(reference, 32, QByteArray(32, '\0'));
        break;
    }
    case StrangerMade::Empty:
        return WriteBytes(QDir(folder).absoluteFilePath(form.stranger), QByteArray()) ? files : QStringList();
    case StrangerMade::DataFirst:
        bytes = AssembleRiff(
            {ChunkBytes{"data", QByteArray(4800 * 3, '\x10')}, ChunkBytes{"fmt ", FmtPayload(1, 1, 48000, 24)}});
        break;
    }
    if (bytes.isEmpty() || !WriteBytes(QDir(folder).absoluteFilePath(form.stranger), bytes))
        return QStringList();
    for (int i = files.size() - 1; form.inPlace && i >= 0; --i) {
        if (QFileInfo(files.at(i)).fileName() == form.stranger)
            files.removeAt(i);
    }
    return files;
}

}  // namespace fixture
