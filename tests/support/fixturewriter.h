#ifndef NALVO_TESTS_SUPPORT_FIXTUREWRITER_H
#define NALVO_TESTS_SUPPORT_FIXTUREWRITER_H

#include <QByteArray>
#include <QDate>
#include <QList>
#include <QPair>
#include <QString>
#include <QStringList>
#include <QTime>

// Recorder-style test media, written byte by byte (never through the
// project's sound-file class, so that reader faults show).
//
// A valid take loads with status 0. A mono family member is laid out as
//   RIFF | fmt | bext | data | ond<k> | iXML        (ChunkOrder::Standard)
// and a poly file as
//   RIFF | fmt | bext | data | ond1..ond<n> | iXML
// RIFF size = file length - 8. The data chunk holds whole frames of the
// content of fixturesamples.h (a pad byte follows an odd data size, as RIFF
// asks). Waveform chunks carry no pad byte but always an even size (an odd
// level count gets one zero level). The iXML text is padded with blanks to a
// multiple of TakeSpec::ixmlBlock, the same for every file of a family, so
// all members have equal sizes. FILE_KEY is MakeFileKey(data size, rate,
// bits, channels) of the file.
namespace fixture {

enum class TrackNumberStyle {
    TwoDigit,  // "_01" .. "_24"
    OneChar    // "_1" .. "_9", "_A" .. "_O"
};

enum class NameStyle {
    Short,           // "ABC123_01.WAV", poly "ABC123PX.WAV"
    LongEquals,      // "ABC123==     12A     t3==_01.WAV"
    LongUnderscore   // "ABC123_______12A_____t3___01.WAV"
};

enum class ChunkOrder {
    Standard,        // fmt bext data ond iXML
    IxmlBeforeData,  // fmt bext iXML data ond
    IxmlBeforeOnd    // fmt bext data iXML ond
};

// How an iXML text is stored in its chunk.
enum class IxmlForm {
    Utf8,            // as this maker writes it
    Utf16LEWithBom,  // UTF-16LE after a byte order mark, the declaration naming UTF-16
    Utf16BEBare      // UTF-16BE with neither byte order mark nor declaration
};

// One present track of a take. For a mono family it is one file; for a poly
// file it is one channel (in list order).
struct TrackSpec {
    int slot = 0;             // 0-based recorder track, 0..23
    QString name;             // empty: "Trk<slot+1>"
    QString active = QStringLiteral("YES");
    QString inGrid;           // empty: "MIC_<slot+1>=0x1,"
    QString panPot = QStringLiteral("100,100");
    QString function;         // iXML TRACK FUNCTION ("", "MIX", "L-MIX", "R-MIX")
    QString bextType;         // mono file's bext aTYP ("mxdn", "mxdnL", "mxdnR"); empty: "mono"
    char separator = '_';     // mono file name: '_', '-', '#' or '+'
    int channelIndex = 0;     // CHANNEL_INDEX of its TRACK entry; 0: slot + 1
};

// A field of an advanced scene/take template: code 1 SEQUENCE, 2 SLATE,
// 3 SEASON, 4 EPISODE, 5 EFFECT, 6 UNIT, 0 a separator (SEP1, SEP2 ...).
struct AdvancedField {
    int code = 0;
    QString text;
};

struct SyncPoint {
    quint32 position = 0;     // samples from the start of the take
    QString comment;
};

struct InputSetting {
    QString name;             // "MIC_1", "LINE_2", "DIGI_1", "AES42_1"
    int delay = 0;
    bool phase = false;
    bool eq = false;
    int filter = 0;
};

struct TakeSpec {
    QString id = QStringLiteral("ABC123");   // 6 characters
    QString scene = QStringLiteral("12A");
    QString takePrefix = QStringLiteral("t"); // indicator letter
    QString takeNumber = QStringLiteral("3");
    int scTkTemplate = 0;                     // 0, 2, 4 or 5 (1 and 3 also written)
    QList<AdvancedField> advanced;            // children of SCTK_ADVANCED (templates 4, 5)
    QString note;
    bool circled = false;
    QString tape = QStringLiteral("T001");
    QString ubits = QStringLiteral("00000000");
    QString speed = QStringLiteral("025.000-ND");   // aSPEED value
    QString timecodeRate = QStringLiteral("25/1");  // iXML SPEED/TIMECODE_RATE
    QString timecodeFlag = QStringLiteral("NDF");
    QString refLevel = QStringLiteral("-18");
    QString originator = QStringLiteral("BRISEL 7");
    QDate date = QDate(2024, 5, 1);
    QTime time = QTime(10, 0, 0);
    qint64 timeReference = -1;                // samples since midnight; -1: time x rate

    quint32 sampleRate = 48000;               // 44100, 48000, 96000
    quint16 bits = 24;                        // 16 or 24
    quint32 frames = 48000;

    bool poly = false;
    QString polySuffix = QStringLiteral("PX");  // the poly file's two-letter suffix
    QList<TrackSpec> tracks;                  // present tracks, ascending slotList for a family

    TrackNumberStyle numberStyle = TrackNumberStyle::TwoDigit;
    NameStyle nameStyle = NameStyle::Short;
    ChunkOrder order = ChunkOrder::Standard;
    bool waveform = true;                     // "ond" chunks
    int ondSamplesPerPoint = 0;               // audio samples per overview level; 0: rate / 10
    bool speechEnvelope = false;              // overview levels follow talk (phrases, syllables,
                                              // pauses) instead of the steady test tone
    bool film = false;                        // a film chunk after bext
    QList<SyncPoint> slates;                  // SLATE_GENERIC
    QList<SyncPoint> markers;                 // MARKER_GENERIC
    QList<InputSetting> inputSettings;        // empty: MIC_1 .. MIC_<present count>
    int ixmlBlock = 4096;                     // iXML texts are padded to a multiple of it
    QList<QPair<QByteArray, QByteArray>> ixmlEdits;   // (from, to) byte replacements in the iXML
                                              // text, in order: another recorder's markup
    IxmlForm ixmlForm = IxmlForm::Utf8;       // of the padded text

    // The take text of the names and the bext: the number alone for the
    // templates 2, 3 and 5, else prefix + number.
    QString TakeText() const;
    quint64 EffectiveTimeReference() const;
};

// A mono family of the given slotList (0-based), default names "Trk<n>".
TakeSpec MonoTake(const QString& id, const QList<int>& slotList);
// A poly take with one channel per given slot.
TakeSpec PolyTake(const QString& id, const QList<int>& slotList);

// File name (no folder) of track i of the TakeSpec (i indexes spec.tracks), or of
// the poly file when spec.poly.
QString TrackFileName(const TakeSpec& spec, int trackIndex);
QString PolyFileName(const TakeSpec& spec);

// The complete bytes of one mono family member (trackIndex into spec.tracks)
// or of the poly file. Pure functions: same spec, same bytes.
QByteArray BuildMonoFile(const TakeSpec& spec, int trackIndex);
QByteArray BuildPolyFile(const TakeSpec& spec);

// The bext Description lines (CR LF, at most 255 bytes; the note is cut first,
// then the track name). trackIndex -1 gives the poly form.
QByteArray BextDescription(const TakeSpec& spec, int trackIndex);
// The iXML document text (unpadded) of a family member, or of the poly file
// with trackIndex -1. dataSize is the data chunk's size (for FILE_KEY).
QByteArray IxmlDocument(const TakeSpec& spec, int trackIndex, quint32 dataSize);

// A UTF-8 iXML text (padding included) stored in the form.
QByteArray IxmlInForm(const QByteArray& text, IxmlForm form);

struct WrittenTake {
    QStringList files;        // absolute paths, in spec.tracks order (one for poly)
};

// Writes the take's files into the folder (created when missing). Empty
// result when a file cannot be written.
WrittenTake WriteTake(const QString& dayFolder, const TakeSpec& spec);

// A built file's bext made to name take to instead of from (identifiers of
// one length), as the recorder's file of that take would: the identifier in
// its originator reference. False when it names no take from.
bool NameTakeInBext(QByteArray* bytes, const QString& from, const QString& to);

// Writes count mono takes of tracks files each, ids idPrefix + a zero-padded
// number (6 characters), into the folder. One take's bytes serve every take,
// so all carry the first take's metadata (file tag included) but for the
// take their bext names: for listing and loading volume, not for values. False when a file cannot be written.
bool WriteCopiedTakes(const QString& dayFolder, const QString& idPrefix, int count, int tracks,
                      quint32 frames = 480);

// Folders of the media layout; each is created and its path returned.
//   <root>/<volume>/<project>.BR1/<yyyy-MM-dd>.<OVD|OVX|OVN|OVR>/
QString MakeVolume(const QString& root, const QString& volumeName);
QString MakeProject(const QString& volumeFolder, const QString& name);   // ".BR1" appended
QString MakeDay(const QString& projectFolder, const QDate& date,
                const QString& suffix = QStringLiteral("OVD"));

// One keyword entry of a keyword file: "#KEY" then the value line.
struct KeywordEntry {
    QString keyword;          // with its leading '#'
    QStringList fields;       // each written followed by '|'
    bool bare = false;        // true: the one field without '|' ("#MIN_TRACK", "#LABEL")
};
// Writes a keyword file (CR LF line ends, Latin-1).
bool WriteKeywordFile(const QString& path, const QList<KeywordEntry>& entries);

// The mixer state of a take's ".idh" sidecar.
struct SidecarSpec {
    QList<int> volume;        // 24 steps 0..8 (missing entries: 4)
    QList<int> pan;           // 24 routing codes 0/1/2 (missing: 1)
    QList<int> mute;          // 24 flags (missing: 0)
    QList<int> swapMS;        // 12 flags (missing: 0)
    QStringList virtTrackNames;   // written as "#VIRT_TRACKNAMES" when not empty
    QStringList virtMetadata;     // written as "#VIRT_METADATA" when not empty
};
// Writes "<dayFolder>/<first 6 of id>.idh" and returns its path.
QString WriteSidecar(const QString& dayFolder, const QString& id, const SidecarSpec& spec);

}  // namespace fixture

#endif
