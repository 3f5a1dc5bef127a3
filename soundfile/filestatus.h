#ifndef NALVO_SOUNDFILE_FILESTATUS_H
#define NALVO_SOUNDFILE_FILESTATUS_H

#include <QString>

class QSoundFile;

// Take-status code of one walked file (ReadChunks done), first failing
// check wins:
//   1 not RIFF/WAVE, no fmt or data, or not 16/24-bit integer PCM (plain
//     or extensible);
//   2 no bext chunk;
//   3 OriginatorReference does not begin with "ORVEX";
//   8 no iXML chunk, RIFF size other than the walked length - 8, data size
//     0 or 0xFFFFFFFF or past the end of the file, or a truncated or
//     unreadable chunk layout (not closed correctly);
//   5 iXML does not parse or its root is not BWFXML;
//   6 no ORVEX_BRISEL block;
//   7 FILE_KEY missing or not this file's key;
//   0 a recorder file.
// The file's own document is used when it is the parse of its chunk;
// otherwise the cached iXML text is parsed apart.
int ComputeFileStatus(const QSoundFile& file);

// What an import takes of a walked file's sound: one rule for Import and
// for the take line that points a user to it. Its format comes first: 16
// or 24-bit integer PCM whose frames are its channels' samples side by
// side, at most a take's tracks of channels, and a sample rate the player
// plays (the engines and the take's fields hold it as a positive int).
// Then its sound: the whole frames present are the recording when the
// file ends inside its data chunk and its RIFF size covers that chunk as
// declared: both sizes say the file was cut short (a card pulled or a
// power loss while recording, a copy stopped), and every byte after the
// data header is sound. A RIFF size that ends before the declared data
// says the file is whole and its data size wrong: bytes after the sound
// (another chunk) would be taken for samples, so it is refused, as is a
// file without one whole frame.
struct tySourceSound {
    enum Kind {
        Whole,             // its data chunk is all there
        CutShort,          // fewer bytes than declared, imported as they are
        NoSamples,         // not one whole frame: refused
        SizesDisagree,     // data past the end the RIFF size gives: refused
        NotPcm,            // not 16 or 24-bit integer PCM: refused
        FrameSizeWrong,    // its block align is not its channels' samples: refused
        TooManyChannels,   // more channels than a take has tracks: refused
        RateUnplayable     // a sample rate of 0 or past kMostSampleRate: refused
    };
    // A take's tracks.
    static constexpr int kMostChannels = 24;
    // The highest rate the player's sound server takes (PulseAudio's
    // PA_RATE_MAX): every rate up to it fits the ints the player, the
    // engines and the take's fields compute with.
    static constexpr quint32 kMostSampleRate = 384000;

    Kind eKind = NoSamples;
    quint32 nFrames = 0;   // the whole frames an import takes (0 when refused)
    // The format read, for the reasons told.
    int nChannels = 0;
    int nBits = 0;
    int nBlockAlign = 0;
    quint32 nSampleRate = 0;

    bool Importable() const { return eKind == Whole || eKind == CutShort; }
    // The sentence that tells a user why (empty for Whole): "Its audio data
    // is shorter than its header says." for both kinds cut short, "It holds
    // no audio samples." for NoSamples, and for a format refused what
    // Import takes.
    QString Reason() const;
};
// fmt read (ReadChunks done).
tySourceSound SourceSoundOf(const QSoundFile& file);

// An OriginatorReference (32 bytes) of this recorder's bext chunk.
bool IsRecorderReference(const char* reference);

// The take identifier an OriginatorReference (32 bytes) of this recorder's
// bext names: its characters 7..27, blanks trimmed (the recorder's and
// Import's " %21.21s" of the identifier, whose last ten characters an
// interleave or a mix rewrites as the identifier and its tag).
QString ReferenceTakeId(const char* reference);
// The track (slot 0..23) an OriginatorReference of this recorder's bext
// tags by its last character, -1 for none.
int ReferenceTrack(const char* reference);

// What the head of a file named like a mono track says of it before its
// take is loaded: its chunk headers up to the samples, read from its first
// kilobytes (where the recorder writes its fmt and bext chunks) and, for a
// chunk past them (another make's long iXML before its fmt, or its data
// chunk before its fmt), where the headers before say it stands.
struct tyTrackFileHead {
    enum Kind {
        RecorderMono,   // one channel, this recorder's bext: a member of its mono family
        WholeTake,      // more channels, or another recorder's file (by its fmt and bext,
                        // or by another maker's bext alone): a take by itself
        Unread          // no RIFF/WAVE with fmt before its data (empty, RF64, damaged)
    };
    Kind eKind = Unread;
    int nChannels = 0;        // 0 when its fmt was not read
    bool bRecorder = false;   // this recorder's bext, whatever the channels
    QString czTakeId;         // this recorder's bext: the take it names (ReferenceTakeId)
    int nTrack = -1;          // this recorder's bext: the track (slot) its reference tags (ReferenceTrack)
    bool bCut = false;        // its chunks end past the file before its fmt and bext were read
    qint64 nLength = -1;      // the file's length; -1 when it did not open
};
// keep: the head is kept for the views (KeepTrackFileHead).
tyTrackFileHead ReadTrackFileHead(const QString& path, bool keep = false);

// The one rule of the kind: from the channels of its fmt (0 when not read),
// whether it has a bext chunk, and whether that bext is this recorder's.
tyTrackFileHead::Kind TrackFileKind(int channels, bool bext, bool recorder);
// The same of a file whose chunks were walked (ReadChunks), as its take's
// load reads it.
tyTrackFileHead::Kind TrackFileKind(const QSoundFile& file);
// What a walked file's head holds, as ReadTrackFileHead reads it (its
// length left unknown).
tyTrackFileHead HeadOfWalkedFile(const QSoundFile& file);

#endif
