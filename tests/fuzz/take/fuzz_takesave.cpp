// A take's save over metadata of any shape, made as Apply makes it. The
// input, split at 0x01 bytes: a shape (first byte: one mono file, a mono
// family of three or a two-channel poly file; second byte 3 modulo 4: the
// iXML text as given, else the recorder's own iXML with the old values),
// the old bext description, the iXML text ("@KEY@" stands for the file's
// own key) or the old values ("scene|note|name 1|name 2|name 3"), and the
// text typed into every field (UTF-16: any unit, lone surrogates too).
// A take that loaded whole, or whose iXML could not be read, must come back
// whole with every value as typed, less what XML (iXML) or Latin-1 and the
// line widths (bext) cannot hold; no audio byte may change. The expected
// values are worked out here, not by the program's own rules.
#include "foundation/filekey.h"
#include "foundation/platform/diskprobes.h"
#include "take/soundperform.h"
#include "tests/fuzz/fuzzinput.h"
#include "tests/support/fixturewriter.h"
#include "tests/support/riffbytes.h"
#include "tests/support/riffreader.h"

#include <cstddef>
#include <cstdint>

// Power cuts are not fuzzed: the syncs would only slow the runs.
extern "C" int LLVMFuzzerInitialize(int*, char***)
{
    SetDiskSyncFunction([](const QVector<int>&) { return true; });
    return 0;
}

namespace {

// The file with its description, and its iXML when given, put in.
QByteArray Assemble(QByteArray file, const QByteArray& description, const QByteArray* ixml)
{
    const fixture::RiffInfo info = fixture::ParseRiff(file);
    fixture::PutText(file, int(info.Find("bext")->payloadOffset), 256, description.left(255));
    if (!ixml)
        return file;
    const fixture::RiffChunk* old = info.Find("iXML");
    file.replace(int(old->offset), int(8 + old->size + (old->size & 1)), FuzzChunk("iXML", *ixml));
    file.replace(4, 4, FuzzLe32(quint32(file.size() - 8)));
    return file;
}

// What an XML text can hold of the typed units: a control character other
// than tab and line ends becomes a blank, a lone surrogate and U+FFFE and
// U+FFFF a question mark.
QString XmlHeld(const QString& typed)
{
    QString held;
    for (int i = 0; i < typed.size(); ++i) {
        const QChar c = typed.at(i);
        if (c.isHighSurrogate() && i + 1 < typed.size() && typed.at(i + 1).isLowSurrogate())
            held += typed.mid(i++, 2);
        else if (c.unicode() < 0x20 && c != QLatin1Char('\t') && c != QLatin1Char('\n') && c != QLatin1Char('\r'))
            held += QLatin1Char(' ');
        else
            held += c.isSurrogate() || c.unicode() >= 0xFFFE ? QChar(QLatin1Char('?')) : c;
    }
    return held.trimmed();
}

// A bext line's value as written: at most width units, each one Latin-1
// byte ('?' past Latin-1, a blank for a control character).
QString BextHeld(const QString& typed, int width)
{
    QString held;
    for (const QChar c : typed.left(width))
        held += c.unicode() > 0xFF ? QLatin1Char('?') : c.unicode() < 0x20 ? QLatin1Char(' ') : c;
    return held;
}

// The first line of the description that starts with key, its value trimmed.
QString BextLine(QByteArray description, const QByteArray& key)
{
    for (const QByteArray& line : description.replace("\r\n", "\n").replace('\r', '\n').split('\n')) {
        if (line.startsWith(key))
            return QString::fromLatin1(line.mid(key.size())).trimmed();
    }
    return QString();
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    const QList<QByteArray> parts = QByteArray(reinterpret_cast<const char*>(data), int(size)).split('\x01');
    if (parts.size() < 4 || parts.at(0).size() < 2)
        return 0;
    const int shape = uchar(parts.at(0).at(0)) % 3;
    const bool givenIxml = uchar(parts.at(0).at(1)) % 4 == 3;
    const QByteArray units = parts.mid(3).join('\x01');
    const QString typed = QString::fromUtf16(reinterpret_cast<const char16_t*>(units.constData()), units.size() / 2);

    fixture::TakeSpec spec = shape == 2 ? fixture::PolyTake(QStringLiteral("FZ0002"), {0, 1})
                                        : fixture::MonoTake(QStringLiteral("FZ0002"),
                                                            shape == 0 ? QList<int>{0} : QList<int>{0, 1, 2});
    spec.frames = 48;
    spec.ixmlBlock = 256;
    if (!givenIxml) {
        const QStringList old = QString::fromUtf8(parts.at(2)).split(QLatin1Char('|'));
        spec.scene = old.value(0);
        spec.note = old.value(1);
        for (int i = 0; i < spec.tracks.size(); ++i)
            spec.tracks[i].name = old.value(2 + i);
    }
    const int members = spec.poly ? 1 : spec.tracks.size();
    QString paths[3];
    QByteArray written[3];
    for (int i = 0; i < members; ++i) {
        const QByteArray built = spec.poly ? fixture::BuildPolyFile(spec) : fixture::BuildMonoFile(spec, i);
        const quint32 samples = fixture::ParseRiff(built).dataSize;
        const QByteArray key = MakeFileKey(samples, 48000, 24, spec.poly ? 2 : 1).toLatin1();
        const QByteArray ixml = QByteArray(parts.at(2)).replace("@KEY@", key);
        written[i] = Assemble(built, parts.at(1), givenIxml ? &ixml : nullptr);
        const QString name = spec.poly ? fixture::PolyFileName(spec) : fixture::TrackFileName(spec, i);
        paths[i] = WriteFuzzInput(name, reinterpret_cast<const uint8_t*>(written[i].constData()),
                                  size_t(written[i].size()));
        if (paths[i].isEmpty())
            return 0;
    }
    const QString takePath = spec.poly ? paths[0] : paths[0].left(paths[0].lastIndexOf(QLatin1Char('_')));
    QSoundPerform take;
    if (!take.InitFilesZZ(takePath, QStringLiteral("WAV")))
        return 0;
    const int status = take.m_nTakeStatus;

    // Every field set to the typed text, in the order Apply sets them; the
    // odd tracks get the text less its first unit, so that names differ.
    QString names[QSoundPerform::kMaxTracks];
    for (int t = 0; t < QSoundPerform::kMaxTracks; ++t)
        names[t] = t % 2 ? typed.mid(1) : typed;
    const bool namesHeld = take.OrvexTracknamesHeld(names, false);
    for (int t = 0; t < QSoundPerform::kMaxTracks; ++t) {
        if (!take.m_pbPresent[t])
            continue;
        QSoundFile& member = take.m_SndFile[t];
        member.SetiXMLScene(t, typed, 0, false, {}, {});
        member.SetiXMLTake(t, QStringLiteral("t"), QStringLiteral("3"), 0);
        member.SetiXMLNote(t, typed);
        member.SetiXMLTape(t, typed);
    }
    for (int t = 0; t < QSoundPerform::kMaxTracks; ++t)
        take.SetiXMLTrackName(t, names[t]);
    if (!namesHeld)
        take.SetiXMLOrvexTracknames(names, false);
    bool bextSet = true;
    for (int t = 0; t < QSoundPerform::kMaxTracks; ++t) {
        if (take.m_pbPresent[t])
            bextSet = take.m_SndFile[t].InsertInBextDescr(typed, QStringLiteral("t"), QStringLiteral("3"), 0,
                                                          typed.left(49), QString(), typed,
                                                          take.m_bPolyTake ? -1 : t, names[take.m_bPolyTake ? 0 : t])
                      && bextSet;
    }
    if (!bextSet)
        return 0;
    const bool whole = status == 0 || status == 5;
    if (!take.UpdateiXMLChunk() && whole)
        __builtin_trap();

    QSoundPerform reloaded;
    if (!reloaded.InitFilesZZ(takePath, QStringLiteral("WAV")) && whole)
        __builtin_trap();
    // The samples' chunk stays where it was, byte for byte.
    QByteArray saved[3];
    for (int i = 0; i < members; ++i) {
        QFile file(paths[i]);
        const fixture::RiffChunk samples = *fixture::ParseRiff(written[i]).Find("data");
        const QByteArray audio = written[i].mid(int(samples.offset), int(8 + samples.size));
        saved[i] = file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
        if (saved[i].mid(int(samples.offset), audio.size()) != audio)
            __builtin_trap();
    }
    if (!whole)
        return 0;

    const QString expected = XmlHeld(typed);
    if (reloaded.m_nTakeStatus != 0)
        __builtin_trap();
    for (int t = 0; t < QSoundPerform::kMaxTracks; ++t) {
        if (!reloaded.m_pbPresent[t])
            continue;
        const QSoundFile& own = reloaded.m_SndFile[t];
        if (own.GetiXMLNotes().trimmed() != expected || own.GetiXMLScene().trimmed() != expected
            || own.GetiXMLTape().trimmed() != expected)
            __builtin_trap();
    }
    // A poly file's own track list decides which track a channel is; a
    // list of the given text may name none.
    for (int i = 0; i < spec.tracks.size() && !(spec.poly && givenIxml); ++i) {
        const int t = spec.tracks.at(i).slot;
        if (reloaded.m_czTrackName[t].trimmed() != XmlHeld(names[t]))
            __builtin_trap();
    }
    // The bext lines of each member; the note and then the track name are
    // cut when the lines fill the description.
    for (int i = 0; i < members; ++i) {
        const fixture::RiffInfo info = fixture::ParseRiff(saved[i]);
        if (!info.hasBext)
            __builtin_trap();
        const QByteArray& description = info.description;
        const bool full = description.size() >= 255;
        const int track = spec.poly ? 0 : spec.tracks.at(i).slot;
        const QString note = BextHeld(typed, 49).trimmed();
        const QString name = BextHeld(names[track], names[track].size()).trimmed();
        const QString readNote = BextLine(description, "aNOTE=");
        const QString readName = BextLine(description, "aTRK" + QByteArray::number(track + 1) + "=");
        if (BextLine(description, "aSCENE=") != BextHeld(typed, 9).trimmed()
            || BextLine(description, "aTAPE=") != BextHeld(typed, 4).trimmed()
            || BextLine(description, "aTAKE=") != QLatin1String("t3"))
            __builtin_trap();
        if (full ? !(readNote.isEmpty() || note.startsWith(readNote)) || !(readName.isEmpty() || name.startsWith(readName))
                 : readNote != note || readName != name)
            __builtin_trap();
    }
    return 0;
}
