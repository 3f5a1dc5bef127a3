#ifndef NALVO_TESTS_SUPPORT_FIXTUREVARIANTS_H
#define NALVO_TESTS_SUPPORT_FIXTUREVARIANTS_H

#include "tests/support/fixturewriter.h"

#include <QList>
#include <QString>

// Broken recorder files and foreign files, each with the outcome the system
// must give. Take status codes: 1 not RIFF/WAVE or no fmt/data or not 16/24-bit
// PCM; 2 no bext; 3 OriginatorReference not "ORVEX..."; 8 not correctly closed
// (no iXML, RIFF size wrong, data size 0/0xFFFFFFFF/past the end); 5 iXML not
// parsable or root not BWFXML; 6 no ORVEX_BRISEL block; 7 FILE_KEY missing or
// wrong; 0 valid.
//
// Read-only files and folders are not a byte layout: tests make them through
// the writability probe (CI runs as root, where chmod does not help).
namespace fixture {

enum class Breakage {
    NoIxml,              // status 8: recorder bext, no iXML chunk
    RiffSizeZero,        // status 8: RIFF size field 0
    RiffSizeWrong,       // status 8: RIFF size field 1000 too large
    TruncatedData,       // status 8: file cut inside the data (iXML placed before data); no crash
    DataSizeZero,        // status 8: data size field 0 (no samples)
    DataSizeMax,         // status 8: data size field 0xFFFFFFFF
    NotOrvexReference,   // status 3: OriginatorReference of another maker
    NoBext,              // status 2: fmt, data, ond, iXML only
    NotRiff,             // status 1: "RIFX" header
    NotPcm16or24,        // status 1: 8-bit PCM
    IxmlNotParsable,     // status 5: iXML text is not XML
    IxmlWrongRoot,       // status 5: root element "IXML" instead of "BWFXML"
    NoMakerBlock,        // status 6: no ORVEX_BRISEL element
    NoFileKey,           // status 7: ORVEX_BRISEL without FILE_KEY
    WrongFileKey,        // status 7: FILE_KEY of another data size
    TrailingNuls,        // status 0: iXML chunk padded with NULs after </BWFXML>
    OddChunkPadded,      // status 0: a 5-byte unknown chunk with its pad byte, after data
    OddChunkUnpadded,    // status 0: the same without pad byte (recorder style); walked correctly
    FortyUnknownChunks,  // status 0: 40 small unknown chunks before data (another program's); all walked
    TwoIxmlChunks,       // status 0: a stale copy of the iXML chunk after it; a save retires it
    ChunkFlood,          // status 1: 5000 empty chunks before data; the walk stops at 4096 headers
    Rf64,                // status 1: an RF64 header with its ds64 chunk; refused as not supported
    TextFileNamedWav,    // status 1: a text file; ReadChunks reports "is not a sound file !"
    FamilyRateMismatch,  // InitFilesZZ false: the second family member is at 44100 Hz
    FamilySizeMismatch   // InitFilesZZ false: the second family member has fewer frames
};

struct BreakageInfo {
    Breakage breakage;
    const char* name;         // a short identifier for test rows
    int expectedStatus;       // take status; -1 for a family that must not load
    const char* outcome;      // the expected behaviour in words
    bool standardReadable;    // ffprobe/sox read channels, rate, bits, length correctly
};

// Every breakage with its expected outcome, in enum order.
const QList<BreakageInfo>& Breakages();
const BreakageInfo& InfoOf(Breakage breakage);

// Writes the take with the breakage applied to its first file (the family
// breakages change the second member, so the take needs two tracks or more).
// Returns the written files (empty on a write failure).
WrittenTake WriteBrokenTake(const QString& dayFolder, const TakeSpec& spec, Breakage breakage);
// The bytes of the first file (or of the given member) with the breakage
// applied (family breakages: the second member).
QByteArray BuildBrokenFile(const TakeSpec& spec, Breakage breakage, int member = 0);

// ---- Foreign files to import ----

// A plain WAV of another recorder.
struct ForeignSpec {
    int channels = 2;             // 1..8 (more are written as well)
    int firstTrack = 0;           // channel c carries SampleValue(firstTrack + c, ...)
    quint32 sampleRate = 48000;
    quint16 bits = 24;
    quint32 frames = 48000;
    bool extensible = false;      // WAVE_FORMAT_EXTENSIBLE fmt, sub-format PCM
    bool bext = false;            // a bext of another maker (not "ORVEX")
    QString description = QStringLiteral("sSCENE=44\r\nsTAKE=2\r\nsSPEED=025.000-ND\r\n");
    QString originator = QStringLiteral("FIELDREC 2");
    QString originatorReference = QStringLiteral("FR2-000123");
    quint64 timeReference = 0;
    QString ixml;                 // an iXML text to append (empty: none)
    QStringList trackNames;       // a mono family's track names, file by file (absent: "Mic <track>")
    QString familyUid;            // a mono family's FILE_SET/FAMILY_UID (empty: none)
    // The order field recorders of other makes write: bext (when asked),
    // then the iXML (ixml, or a one-track one when empty) padded with
    // spaces to ixmlBytes, then fmt and data; fmt then stands past the
    // first 4 KiB.
    bool headersFirst = false;
    int ixmlBytes = 5 * 1024;
    bool ixmlUtf16 = false;       // the iXML text as UTF-16 LE with its byte order mark
    // Chunks right after "WAVE", before every other (a JUNK reserve, a LIST
    // of INFO texts, as editors and other makes write them).
    QList<QPair<QByteArray, QByteArray>> leading;   // id, payload
};

// (leading +) fmt (+ bext) + data (+ iXML), or with headersFirst (+ bext) + iXML + fmt +
// data; standard RIFF padding.
QByteArray BuildForeignFile(const ForeignSpec& spec);
bool WriteForeignFile(const QString& path, const ForeignSpec& spec);
// The same file made exactly length bytes long (as long as a family's
// members, say): its data as near as whole frames come, then a leading JUNK
// chunk for the rest. Empty when length is too short for the headers asked for.
QByteArray BuildForeignFileOfLength(ForeignSpec spec, qint64 length);

// A mono family of another recorder: files "<root>_<k>.WAV" (k = base.firstTrack
// + 1..count), each one channel with SampleValue(k-1, ...), a bext of another
// maker with a common time reference, and an iXML with TRACK/CHANNEL_INDEX k,
// FILE_SET/TOTAL_FILES count and FILE_SET/FAMILY_NAME familyName, but no
// maker block. Returns the paths.
QStringList WriteForeignMonoFamily(const QString& folder, const QString& root, int count,
                                   const QString& familyName, const ForeignSpec& base = ForeignSpec());

// This recorder's mono take (its files of one length) beside another
// maker's mono file named like one of its tracks, as mixed cards copied into
// one day hold them: the stranger in another separator or number form, for
// a slot the take holds ("LEN642-01".."-05" beside "LEN642_05", "LEN647_1".."_4"
// beside "LEN647_01", "LEN648#01".."#04" beside "LEN648_01", "LEN638_01".."_04"
// beside "LEN638_1", "LEN649_1".."_A" beside "LEN649_10", "LEN650#01", "_02",
// "#03", "#04" beside "LEN650+02"), or for a track the load never reads or reads by a
// letter ("LEN640_25", "LEN641_A"). Or beside a file named for one of its
// slots that it does not make: one of another take of this recorder (in
// the others' form where its slot's member is in another, or in lower
// case, which a card's file system takes for the take's), a byte copy of
// the member, an empty file, another maker's file whose data
// chunk comes before its fmt and that has no bext, another recording
// naming the take, a copy cut short. Or in place of a member: the member
// with its bext changed by another program, or a file of another take.
// Or beside a take renamed by hand (its files' bext naming the take they
// were recorded as), a copy of a member in a free slot, a member cut short
// in its head, a link to nothing named for one of its tracks.
enum class StrangerMade {
    OtherMaker,     // another maker's mono file with a bext
    OtherTake,      // this recorder's file of the same track of another take
    CopyOfMember,   // a byte copy of the member of its slot
    Empty,          // no bytes
    DataFirst,      // another maker's mono file: data, then fmt, no bext
    OtherRecording, // this recorder's file naming the take, of the member's length, with other sound
    CutCopy,        // the first half of the member of its slot
    BlankedBext,    // the member itself, its bext's take reference blanked by another program
    CutMember       // the member itself cut short inside its head (100 bytes: an interrupted copy)
};
struct StrangerForm {
    const char* tag;
    TakeSpec take;
    QString stranger;         // its file name
    bool listed;              // the listing has a row for it ("LEN641_A" has none)
    StrangerMade made = StrangerMade::OtherMaker;
    // Named for a slot of the take only where case is folded (a card's
    // file system); elsewhere a take of its own.
    bool cardOnly = false;
    // In place of its slot's member, which the take's metadata lists: held
    // out of the take, named in its line, listed with it.
    bool inPlace = false;
    // The take's files name this take in their bext, not the one they are
    // named for (a take renamed by hand); the stranger, another take's, is
    // of the members' length then.
    const char* recordedAs = nullptr;
    // The track (0..) of the member a copy is made of; -1: of its slot.
    int copyOf = -1;
    // A link to nothing named for this track (0..) of the take; -1: none.
    int deadLinkTrack = -1;
};
const QList<StrangerForm>& StrangerForms();
// Whether the views list the stranger with its take until a load of the
// take reads it: another maker's file of the members' very length, or a
// copy of a member, named for a slot no member has, which a listing joins
// by its length alone.
bool ListedWithTakeUntilLoaded(const StrangerForm& form, bool asLong);
// Writes the take and the stranger (asLong: another maker's of the
// members' very length) into folder; the paths of the take's files that
// are its members (not one in place), empty when a write failed.
QStringList WriteTakeBesideStranger(const QString& folder, const StrangerForm& form, bool asLong);

}  // namespace fixture

#endif
