#include "tests/support/fixturewriter.h"

#include "foundation/filekey.h"
#include "foundation/naming.h"
#include "tests/support/fixturesamples.h"
#include "tests/support/takelayout.h"

#include <QDir>
#include <QXmlStreamWriter>

namespace fixture {

namespace {

bool IsPoly(int trackIndex)
{
    return trackIndex < 0;
}

QString TrackName(const TrackSpec& t)
{
    return t.name.isEmpty() ? QStringLiteral("Trk%1").arg(t.slot + 1) : t.name;
}

QString InGrid(const TrackSpec& t)
{
    return t.inGrid.isEmpty() ? QStringLiteral("MIC_%1=0x1,").arg(t.slot + 1) : t.inGrid;
}

QString TrackNumberText(const TakeSpec& spec, int slot)
{
    if (spec.numberStyle == TrackNumberStyle::OneChar)
        return QString(QChar::fromLatin1(TrkIndexToCharOld(slot + 1)));
    return QString::fromLatin1(TrkIndexToNN(slot + 1));
}

// Letters and digits stay; everything else becomes a blank, as in the
// application's long names.
QString NameSafe(const QString& text)
{
    QString out = text;
    for (QChar& c : out) {
        if (!c.isLetterOrNumber())
            c = QLatin1Char(' ');
    }
    return out;
}

// "==<scene field> <take field>==" of a long name.
QString LongMiddle(const TakeSpec& spec)
{
    const QString scene = NameSafe(spec.scene);
    const bool advanced = spec.scTkTemplate == 4 || spec.scTkTemplate == 5;
    const QString sceneField = advanced ? scene : scene.rightJustified(8, QLatin1Char(' '), true);
    const QString takeField =
        NameSafe(spec.TakeText()).trimmed().rightJustified(6, QLatin1Char(' '), true);
    return QStringLiteral("==%1 %2==").arg(sceneField, takeField);
}

QString ApplyUnderscoreStyle(const TakeSpec& spec, QString tail)
{
    if (spec.nameStyle == NameStyle::LongUnderscore) {
        tail.replace(QLatin1Char('='), QLatin1Char('_'));
        tail.replace(QLatin1Char(' '), QLatin1Char('_'));
    }
    return tail;
}

// iXML TAKE_TYPE of a take-indicator letter.
QString TakeType(const QString& prefix)
{
    static const QList<QPair<QString, QString>> kTypes{
        {"p", "PICKUP"},  {"w", "WILD_TRACK"}, {"a", "ANNOUNCEMENT"}, {"n", "NO_GOOD"},
        {"r", "REHEARSAL"}, {"g", "SOUND_GUIDE"}};
    for (const auto& type : kTypes) {
        if (prefix.compare(type.first, Qt::CaseInsensitive) == 0)
            return type.second;
    }
    return QStringLiteral("DEFAULT");
}

QString AdvancedTag(int code, int* separatorCount)
{
    switch (code) {
    case 1: return QStringLiteral("SEQUENCE");
    case 2: return QStringLiteral("SLATE");
    case 3: return QStringLiteral("SEASON");
    case 4: return QStringLiteral("EPISODE");
    case 5: return QStringLiteral("EFFECT");
    case 6: return QStringLiteral("UNIT");
    default: return QStringLiteral("SEP%1").arg(++*separatorCount);
    }
}

QByteArray OriginatorReference(const TakeSpec& spec, int channelTag)
{
    QByteArray ref(32, '\0');
    PutText(ref, 0, 5, "ORVEX");
    const QByteArray tail = " " + spec.id.toLatin1().left(21).rightJustified(21, ' ') + "100";
    PutText(ref, 6, 25, tail);
    ref[31] = char('0' + channelTag);
    return ref;
}

QByteArray FilmPayload(const TakeSpec& spec, quint16 channels, const QString& fileName)
{
    QByteArray p(1572, '\0');
    PutText(p, 4, 14, spec.time.toString(QStringLiteral("HH:mm:ss")).toLatin1() + ":00:00");
    PutText(p, 28, 10, spec.date.toString(QStringLiteral("yyyy-MM-dd")).toLatin1());
    const quint64 tr = spec.EffectiveTimeReference();
    PutU32(p, 52, quint32(spec.sampleRate - tr % spec.sampleRate));
    PutText(p, 122, 32, spec.originator.toLatin1());
    p.replace(246, 2, U16(channels));
    PutU32(p, 266, spec.sampleRate);
    PutText(p, 270, 10, spec.speed.toLatin1());
    p.replace(280, 2, U16(spec.bits));
    PutU32(p, 288, spec.frames);
    PutText(p, 292, 32, spec.originator.toLatin1());
    PutText(p, 804, 256, fileName.toLatin1());
    PutText(p, 1060, 32, "#START|END");
    return p;
}

QByteArray OndPayload(const TakeSpec& spec, int slot)
{
    const int samplesPerPoint = spec.ondSamplesPerPoint > 0 ? spec.ondSamplesPerPoint : int(spec.sampleRate / 10);
    QByteArray levels = spec.speechEnvelope
                            ? SpeechOverviewLevels(slot, int(spec.frames / quint32(samplesPerPoint)),
                                                   int(spec.sampleRate) / samplesPerPoint)
                            : OverviewLevels(slot, spec.frames, spec.bits, samplesPerPoint);
    // No pad byte is written after a waveform chunk, so its size is kept even.
    if (levels.size() & 1)
        levels.append('\0');
    QByteArray p = U32(quint32(samplesPerPoint)) + levels;
    return p;
}

QList<int> Slots(const TakeSpec& spec)
{
    QList<int> slotList;
    for (const TrackSpec& t : spec.tracks)
        slotList << t.slot;
    return slotList;
}

// The iXML text with the take's byte edits made.
QByteArray EditedIxml(const TakeSpec& spec, int trackIndex, quint32 dataSize)
{
    QByteArray text = IxmlDocument(spec, trackIndex, dataSize);
    for (const QPair<QByteArray, QByteArray>& edit : spec.ixmlEdits)
        text.replace(edit.first, edit.second);
    return text;
}

// The common padded iXML length of every file of the take.
int FamilyIxmlLength(const TakeSpec& spec, quint32 dataSize)
{
    int longest = 0;
    if (spec.poly) {
        longest = EditedIxml(spec, -1, dataSize).size();
    } else {
        for (int i = 0; i < spec.tracks.size(); ++i)
            longest = qMax(longest, EditedIxml(spec, i, dataSize).size());
    }
    const int block = qMax(2, spec.ixmlBlock);
    const int padded = (longest + block - 1) / block * block;
    return padded + (padded & 1);
}

void WriteSyncPoints(QXmlStreamWriter& x, const TakeSpec& spec)
{
    if (spec.slates.isEmpty() && spec.markers.isEmpty())
        return;
    x.writeStartElement(QStringLiteral("SYNC_POINT_LIST"));
    x.writeTextElement(QStringLiteral("SYNC_POINT_COUNT"),
                       QString::number(spec.slates.size() + spec.markers.size()));
    auto write = [&x](const SyncPoint& p, const QString& function) {
        x.writeStartElement(QStringLiteral("SYNC_POINT"));
        x.writeTextElement(QStringLiteral("SYNC_POINT_TYPE"), QStringLiteral("RELATIVE"));
        x.writeTextElement(QStringLiteral("SYNC_POINT_FUNCTION"), function);
        x.writeTextElement(QStringLiteral("SYNC_POINT_COMMENT"), p.comment);
        x.writeTextElement(QStringLiteral("SYNC_POINT_LOW"), QString::number(p.position));
        x.writeTextElement(QStringLiteral("SYNC_POINT_HIGH"), QStringLiteral("0"));
        x.writeTextElement(QStringLiteral("SYNC_POINT_EVENT_DURATION"), QStringLiteral("0"));
        x.writeEndElement();
    };
    for (const SyncPoint& p : spec.slates)
        write(p, QStringLiteral("SLATE_GENERIC"));
    for (const SyncPoint& p : spec.markers)
        write(p, QStringLiteral("MARKER_GENERIC"));
    x.writeEndElement();
}

void WriteTrack(QXmlStreamWriter& x, const TrackSpec& t, int interleaveIndex)
{
    x.writeStartElement(QStringLiteral("TRACK"));
    x.writeTextElement(QStringLiteral("CHANNEL_INDEX"), QString::number(t.channelIndex ? t.channelIndex : t.slot + 1));
    x.writeTextElement(QStringLiteral("INTERLEAVE_INDEX"), QString::number(interleaveIndex));
    x.writeTextElement(QStringLiteral("NAME"), TrackName(t));
    x.writeTextElement(QStringLiteral("FUNCTION"), t.function);
    x.writeEndElement();
}

void WriteMakerBlock(QXmlStreamWriter& x, const TakeSpec& spec, quint32 dataSize, quint16 channels)
{
    x.writeStartElement(QStringLiteral("ORVEX_BRISEL"));
    x.writeTextElement(QStringLiteral("SCTK_TEMPLATE"), QString::number(spec.scTkTemplate));
    if (!spec.advanced.isEmpty()) {
        x.writeStartElement(QStringLiteral("SCTK_ADVANCED"));
        int separators = 0;
        for (const AdvancedField& f : spec.advanced)
            x.writeTextElement(AdvancedTag(f.code, &separators), f.text);
        x.writeEndElement();
    }
    x.writeTextElement(QStringLiteral("REF_LEVEL"), spec.refLevel);
    x.writeStartElement(QStringLiteral("ALL_TRK_NAME"));
    for (int slot = 0; slot < 24; ++slot) {
        x.writeStartElement(QStringLiteral("DATA"));
        x.writeTextElement(QStringLiteral("INDICE"), QString::number(slot));
        const TrackSpec* present = nullptr;
        for (const TrackSpec& t : spec.tracks) {
            if (t.slot == slot)
                present = &t;
        }
        if (present) {
            x.writeTextElement(QStringLiteral("NAME"), TrackName(*present));
            x.writeTextElement(QStringLiteral("ACTIVE"), present->active);
            x.writeTextElement(QStringLiteral("IN_GRID"), InGrid(*present));
            x.writeTextElement(QStringLiteral("PAN_POT"), present->panPot);
        } else {
            x.writeTextElement(QStringLiteral("ACTIVE"), QStringLiteral("NO"));
        }
        x.writeEndElement();
    }
    x.writeEndElement();
    x.writeStartElement(QStringLiteral("INPUT_SETTINGS"));
    QList<InputSetting> inputs = spec.inputSettings;
    if (inputs.isEmpty()) {
        for (int i = 0; i < spec.tracks.size(); ++i)
            inputs << InputSetting{QStringLiteral("MIC_%1").arg(i + 1)};
    }
    for (const InputSetting& in : inputs) {
        x.writeStartElement(in.name);
        x.writeTextElement(QStringLiteral("DELAY"), QString::number(in.delay));
        x.writeTextElement(QStringLiteral("PHASE"), in.phase ? QStringLiteral("1") : QStringLiteral("0"));
        x.writeTextElement(QStringLiteral("EQ"), in.eq ? QStringLiteral("1") : QStringLiteral("0"));
        x.writeTextElement(QStringLiteral("FILTER"), QString::number(in.filter));
        x.writeEndElement();
    }
    x.writeEndElement();
    x.writeTextElement(QStringLiteral("FILE_KEY"),
                       MakeFileKey(dataSize, spec.sampleRate, spec.bits, channels));
    x.writeEndElement();
}

}  // namespace

QString TakeSpec::TakeText() const
{
    const bool numberOnly = scTkTemplate == 2 || scTkTemplate == 3 || scTkTemplate == 5;
    return numberOnly ? takeNumber : takePrefix + takeNumber;
}

quint64 TakeSpec::EffectiveTimeReference() const
{
    if (timeReference >= 0)
        return quint64(timeReference);
    return quint64(QTime(0, 0).secsTo(time)) * sampleRate;
}

TakeSpec MonoTake(const QString& id, const QList<int>& slotList)
{
    TakeSpec spec;
    spec.id = id;
    for (const int s : slotList) {
        TrackSpec t;
        t.slot = s;
        spec.tracks << t;
    }
    return spec;
}

TakeSpec PolyTake(const QString& id, const QList<int>& slotList)
{
    TakeSpec spec = MonoTake(id, slotList);
    spec.poly = true;
    return spec;
}

QString PolyFileName(const TakeSpec& spec)
{
    if (spec.nameStyle == NameStyle::Short)
        return spec.id + spec.polySuffix + QStringLiteral(".WAV");
    return spec.id + ApplyUnderscoreStyle(spec, LongMiddle(spec) + spec.polySuffix) + QStringLiteral(".WAV");
}

QString TrackFileName(const TakeSpec& spec, int trackIndex)
{
    if (spec.poly)
        return PolyFileName(spec);
    const TrackSpec& t = spec.tracks.at(trackIndex);
    const QString suffix = QString(QLatin1Char(t.separator)) + TrackNumberText(spec, t.slot);
    if (spec.nameStyle == NameStyle::Short)
        return spec.id + suffix + QStringLiteral(".WAV");
    return spec.id + ApplyUnderscoreStyle(spec, LongMiddle(spec) + suffix) + QStringLiteral(".WAV");
}

QByteArray BextDescription(const TakeSpec& spec, int trackIndex)
{
    const bool poly = IsPoly(trackIndex);
    const TrackSpec track = spec.tracks.value(poly ? 0 : trackIndex);
    const int k = poly ? 1 : track.slot + 1;
    QByteArray head = "aUBITS=$" + spec.ubits.toLatin1() + "\r\n"
                      "aSCENE=" + spec.scene.toLatin1() + "\r\n"
                      "aTAKE=" + spec.TakeText().toLatin1() + "\r\n"
                      "aTAPE=" + spec.tape.toLatin1() + "\r\n"
                      "aSPEED=" + spec.speed.toLatin1() + "\r\n"
                      "aTAG=" + spec.id.toLatin1().left(6).rightJustified(6, ' ') + "\r\n"
                      "aTYP=" + (poly ? QByteArray("poly")
                                      : track.bextType.isEmpty() ? QByteArray("mono") : track.bextType.toLatin1())
                      + "\r\n";
    if (!poly)
        head += "aCHNL=C" + QByteArray::number(k) + "\r\n";
    QByteArray trackName = TrackName(track).toLatin1();
    QByteArray note = spec.note.toLatin1().left(49);
    auto compose = [&]() {
        return head + "aTRK" + QByteArray::number(k) + "=" + trackName + "\r\naNOTE=" + note + "\r\n";
    };
    // The description field holds 255 bytes and a NUL: the note gives way
    // first, then the track name.
    while (compose().size() > 255 && !note.isEmpty())
        note.chop(1);
    while (compose().size() > 255 && !trackName.isEmpty())
        trackName.chop(1);
    return compose().left(255);
}

QByteArray IxmlDocument(const TakeSpec& spec, int trackIndex, quint32 dataSize)
{
    const bool poly = IsPoly(trackIndex);
    const quint16 channels = quint16(poly ? spec.tracks.size() : 1);
    QByteArray out;
    QXmlStreamWriter x(&out);
    x.setAutoFormatting(true);
    x.setAutoFormattingIndent(1);
    x.writeStartDocument();
    x.writeStartElement(QStringLiteral("BWFXML"));
    x.writeTextElement(QStringLiteral("IXML_VERSION"), QStringLiteral("1.61"));
    x.writeTextElement(QStringLiteral("SCENE"), spec.scene);
    x.writeTextElement(QStringLiteral("TAKE"), spec.TakeText());
    x.writeTextElement(QStringLiteral("TAPE"), spec.tape);
    x.writeTextElement(QStringLiteral("UBITS"), spec.ubits);
    x.writeTextElement(QStringLiteral("NOTE"), spec.note);
    x.writeTextElement(QStringLiteral("CIRCLED"), spec.circled ? QStringLiteral("TRUE") : QStringLiteral("FALSE"));
    x.writeTextElement(QStringLiteral("TAKE_TYPE"), TakeType(spec.takePrefix));

    const quint64 tr = spec.EffectiveTimeReference();
    x.writeStartElement(QStringLiteral("SPEED"));
    x.writeTextElement(QStringLiteral("MASTER_SPEED"), spec.timecodeRate);
    x.writeTextElement(QStringLiteral("CURRENT_SPEED"), spec.timecodeRate);
    x.writeTextElement(QStringLiteral("TIMECODE_RATE"), spec.timecodeRate);
    x.writeTextElement(QStringLiteral("TIMECODE_FLAG"), spec.timecodeFlag);
    x.writeTextElement(QStringLiteral("FILE_SAMPLE_RATE"), QString::number(spec.sampleRate));
    x.writeTextElement(QStringLiteral("AUDIO_BIT_DEPTH"), QString::number(spec.bits));
    x.writeTextElement(QStringLiteral("TIMESTAMP_SAMPLE_RATE"), QString::number(spec.sampleRate));
    x.writeTextElement(QStringLiteral("TIMESTAMP_SAMPLES_SINCE_MIDNIGHT_HI"), QString::number(quint32(tr >> 32)));
    x.writeTextElement(QStringLiteral("TIMESTAMP_SAMPLES_SINCE_MIDNIGHT_LO"), QString::number(quint32(tr & 0xFFFFFFFFu)));
    x.writeEndElement();

    WriteSyncPoints(x, spec);

    x.writeStartElement(QStringLiteral("FILE_SET"));
    x.writeTextElement(QStringLiteral("TOTAL_FILES"), QString::number(poly ? 1 : spec.tracks.size()));
    x.writeTextElement(QStringLiteral("FAMILY_NAME"), spec.scene.trimmed() + QLatin1Char('/') + spec.TakeText().trimmed());
    x.writeEndElement();

    x.writeStartElement(QStringLiteral("TRACK_LIST"));
    if (poly) {
        x.writeTextElement(QStringLiteral("TRACK_COUNT"), QString::number(spec.tracks.size()));
        for (int c = 0; c < spec.tracks.size(); ++c)
            WriteTrack(x, spec.tracks.at(c), c + 1);
    } else {
        x.writeTextElement(QStringLiteral("TRACK_COUNT"), QStringLiteral("1"));
        WriteTrack(x, spec.tracks.at(trackIndex), 1);
    }
    x.writeEndElement();

    WriteMakerBlock(x, spec, dataSize, channels);
    x.writeEndElement();
    x.writeEndDocument();
    return out;
}

QByteArray IxmlInForm(const QByteArray& text, IxmlForm form)
{
    if (form == IxmlForm::Utf8)
        return text;
    QString characters = QString::fromUtf8(text);
    if (form == IxmlForm::Utf16BEBare && characters.startsWith(QLatin1String("<?xml"))) {
        characters.remove(0, characters.indexOf(QLatin1String("?>")) + 2);
        while (characters.startsWith(QLatin1Char('\n')))
            characters = characters.mid(1) + QLatin1Char(' ');
    } else {
        characters.replace(QLatin1String("encoding=\"UTF-8\""), QLatin1String("encoding=\"UTF-16\""));
    }
    const bool big = form == IxmlForm::Utf16BEBare;
    QByteArray units = big ? QByteArray() : QByteArray("\xFF\xFE");
    for (const QChar c : characters) {
        const char high = char(c.unicode() >> 8);
        const char low = char(c.unicode() & 0xFF);
        units.append(big ? high : low).append(big ? low : high);
    }
    return units;
}

QByteArray PadIxml(const QByteArray& text, int length)
{
    return text.size() >= length ? text : text + QByteArray(length - text.size(), ' ');
}

int IndexOfChunk(const QList<ChunkBytes>& chunks, const QByteArray& id)
{
    for (int i = 0; i < chunks.size(); ++i) {
        if (chunks.at(i).id == id)
            return i;
    }
    return -1;
}

QList<ChunkBytes> TakeFileChunks(const TakeSpec& spec, int trackIndex)
{
    const bool poly = IsPoly(trackIndex);
    const QList<int> slotList = poly ? Slots(spec) : QList<int>{spec.tracks.at(trackIndex).slot};
    const quint16 channels = quint16(slotList.size());

    ChunkBytes fmt{"fmt ", FmtPayload(1, channels, spec.sampleRate, spec.bits)};
    const QByteArray reference = OriginatorReference(spec, poly ? 0 : spec.tracks.at(trackIndex).slot);
    ChunkBytes bext{"bext", BextPayload(BextDescription(spec, trackIndex), spec.originator.toLatin1(),
                                        reference, spec.date.toString(QStringLiteral("yyyy-MM-dd")).toLatin1(),
                                        spec.time.toString(QStringLiteral("HH:mm:ss")).toLatin1(),
                                        spec.EffectiveTimeReference())};
    ChunkBytes data{"data", SampleBytes(slotList, 0, spec.frames, spec.bits)};
    const quint32 dataSize = quint32(data.payload.size());

    QList<ChunkBytes> onds;
    if (spec.waveform) {
        for (const int s : slotList)
            onds << ChunkBytes{QByteArray("ond") + TrkIndexToCharOld(s + 1), OndPayload(spec, s), false};
    }
    ChunkBytes ixml{"iXML", IxmlInForm(PadIxml(EditedIxml(spec, trackIndex, dataSize), FamilyIxmlLength(spec, dataSize)),
                                       spec.ixmlForm)};

    QList<ChunkBytes> chunks{fmt, bext};
    if (spec.film)
        chunks << ChunkBytes{"film", FilmPayload(spec, channels, TrackFileName(spec, qMax(0, trackIndex)))};
    switch (spec.order) {
    case ChunkOrder::Standard:
        chunks << data << onds << ixml;
        break;
    case ChunkOrder::IxmlBeforeData:
        chunks << ixml << data << onds;
        break;
    case ChunkOrder::IxmlBeforeOnd:
        chunks << data << ixml << onds;
        break;
    }
    return chunks;
}

QByteArray BuildMonoFile(const TakeSpec& spec, int trackIndex)
{
    return AssembleRiff(TakeFileChunks(spec, trackIndex));
}

QByteArray BuildPolyFile(const TakeSpec& spec)
{
    return AssembleRiff(TakeFileChunks(spec, -1));
}

WrittenTake WriteTake(const QString& dayFolder, const TakeSpec& spec)
{
    WrittenTake written;
    QDir().mkpath(dayFolder);
    const QDir dir(dayFolder);
    const int count = spec.poly ? 1 : spec.tracks.size();
    for (int i = 0; i < count; ++i) {
        const QString path = dir.absoluteFilePath(TrackFileName(spec, i));
        if (!WriteBytes(path, spec.poly ? BuildPolyFile(spec) : BuildMonoFile(spec, i)))
            return WrittenTake();
        written.files << path;
    }
    return written;
}

QString MakeVolume(const QString& root, const QString& volumeName)
{
    const QString path = QDir(root).absoluteFilePath(volumeName);
    QDir().mkpath(path);
    return path;
}

QString MakeProject(const QString& volumeFolder, const QString& name)
{
    const QString path = QDir(volumeFolder).absoluteFilePath(name + QStringLiteral(".BR1"));
    QDir().mkpath(path);
    return path;
}

QString MakeDay(const QString& projectFolder, const QDate& date, const QString& suffix)
{
    const QString path = QDir(projectFolder).absoluteFilePath(
        date.toString(QStringLiteral("yyyy-MM-dd")) + QLatin1Char('.') + suffix);
    QDir().mkpath(path);
    return path;
}

bool WriteKeywordFile(const QString& path, const QList<KeywordEntry>& entries)
{
    QByteArray out;
    for (const KeywordEntry& e : entries) {
        out += e.keyword.toLatin1() + "\r\n";
        if (e.bare) {
            out += e.fields.value(0).toLatin1();
        } else {
            for (const QString& f : e.fields)
                out += f.toLatin1() + '|';
        }
        out += "\r\n";
    }
    return WriteBytes(path, out);
}

QString WriteSidecar(const QString& dayFolder, const QString& id, const SidecarSpec& spec)
{
    auto fields = [](const QList<int>& values, int count, int fallback) {
        QStringList out;
        for (int i = 0; i < count; ++i)
            out << QString::number(values.value(i, fallback));
        return out;
    };
    QList<KeywordEntry> entries{
        {QStringLiteral("#PLAYER_TRACK_VOL"), fields(spec.volume, 24, 4)},
        {QStringLiteral("#PLAYER_TRACK_PAN"), fields(spec.pan, 24, 1)},
        {QStringLiteral("#PLAYER_TRACK_MUTE"), fields(spec.mute, 24, 0)},
        {QStringLiteral("#PLAYER_SWAP_MS"), fields(spec.swapMS, 12, 0)}};
    if (!spec.virtTrackNames.isEmpty())
        entries << KeywordEntry{QStringLiteral("#VIRT_TRACKNAMES"), spec.virtTrackNames};
    if (!spec.virtMetadata.isEmpty())
        entries << KeywordEntry{QStringLiteral("#VIRT_METADATA"), spec.virtMetadata};
    const QString path = QDir(dayFolder).absoluteFilePath(id.left(6) + QStringLiteral(".idh"));
    return WriteKeywordFile(path, entries) ? path : QString();
}

bool NameTakeInBext(QByteArray* bytes, const QString& from, const QString& to)
{
    const int bext = bytes->indexOf("bext");
    const int reference = bext + 8 + 256 + 32;
    const QByteArray named = from.toLatin1();
    const int at = bext < 0 ? -1 : bytes->indexOf(named, reference);
    if (at < 0 || at + named.size() > reference + 32 || to.size() != from.size())
        return false;
    bytes->replace(at, named.size(), to.toLatin1());
    return true;
}

bool WriteCopiedTakes(const QString& dayFolder, const QString& idPrefix, int count, int tracks, quint32 frames)
{
    QList<int> trackSlots;
    for (int s = 0; s < tracks; ++s)
        trackSlots << s;
    const int digits = 6 - idPrefix.size();
    TakeSpec spec = MonoTake(idPrefix + QString(digits, QLatin1Char('0')), trackSlots);
    spec.frames = frames;
    QList<QByteArray> bytes;
    for (int i = 0; i < tracks; ++i)
        bytes << BuildMonoFile(spec, i);
    for (int t = 0; t < count; ++t) {
        const QString named = spec.id;
        spec.id = idPrefix + QStringLiteral("%1").arg(t, digits, 10, QLatin1Char('0'));
        for (int i = 0; i < tracks; ++i) {
            if (!NameTakeInBext(&bytes[i], named, spec.id))
                return false;
            QFile out(dayFolder + QLatin1Char('/') + TrackFileName(spec, i));
            if (!out.open(QIODevice::WriteOnly) || out.write(bytes.at(i)) != bytes.at(i).size())
                return false;
        }
    }
    return true;
}

}  // namespace fixture
