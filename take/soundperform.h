#ifndef NALVO_TAKE_SOUNDPERFORM_H
#define NALVO_TAKE_SOUNDPERFORM_H

#include "soundfile/soundfile.h"
#include "take/sfxplayerlink.h"
#include "take/takefamily.h"
#include "take/takeverdict.h"

#include <QHash>
#include <QList>
#include <QObject>
#include <QString>
#include <QStringList>
#include <QVector>

#include <atomic>
#include <mutex>

struct tyFileState;

class MyFileInfoList;
class SaveBatch;
class TakeFolderLock;

// One take: a polyphonic file (slot 0) or a family of up to 24 mono track
// files, with the metadata read from them, the player sidecar, the mixer
// tables the player reads, the sync points and the sample kernels.
//
// Loading reads every file's chunks and iXML document and closes the files
// again: a day of takes must not hold thousands of descriptors. The iXML
// documents stay in memory, so the metadata setters work without the files.
class QSoundPerform : public QObject
{
    Q_OBJECT
public:
    enum : int {
        kMaxTracks = 24,
        kMaxPairs = 12,
        kMaxSyncPoints = 10,
    };

    QSoundPerform();
    ~QSoundPerform() override;

    // ---- Loading ----------------------------------------------------------
    // Back to the empty state: files closed and forgotten, texts, flags,
    // paths, counters and per-track tables cleared.
    void ResetVariables();
    // takePath: folder + take root (no separator, track or extension);
    // extension without the dot. takePath.ext is a poly take; otherwise the
    // mono family is probed for tracks 1..24 ('_', '-', '#', '+'; two-digit
    // then one-character track numbers; a track named twice is held by the
    // file that names the take, see SettleSlots). Reads the
    // files, the sidecar, checks that the files agree and sets the status.
    // False, with the object empty, when nothing was found or the files
    // disagree (size on disk, rate, bits, channels, data size).
    // A take whose files another program is writing at that moment (one
    // short, gone, or changing) is not read, and the user is told so, once.
    bool InitFilesZZ(QString takePath, QString extension);
    // The same against a folder listing instead of the disk: root is folder +
    // take root, or the poly file's path (with or without ".ext"). With
    // readSidecar the player sidecar is read too.
    // Tells the user nothing of a take being written: the caller may, with
    // LoadFailureText().
    bool QuickInitFiles(QString root, QString ext, const MyFileInfoList* listing, bool readSidecar);
    // Why the last load of the files found failed, when no message said it
    // already (their files being written, or not agreeing); else empty.
    QString LoadFailureText() const { return m_czLoadFailure; }
    // After a load that found none of the take's files because a killed
    // rename of them was finished (by this load or an earlier one), or
    // taken back: the take's path under the name it stands under (as the
    // load asks for a take: folder + name); else empty.
    QString RenamedTakePath() const { return m_czRenamedTake; }
    // That rename was taken back: the path is the take's old name, the one
    // asked for its new one (LoadFailureText says so).
    bool RenameTakenBack() const { return m_bRenameTakenBack; }
    // The take read as not closed by the recorder holds parts of an
    // interrupted save whose record stays (ProblemLine says so).
    bool HoldsLeftSave() const { return m_bLeftSaveStands; }
    // The take line: one sentence, naming the take by name, that says why
    // the take cannot be played or edited here (loaded: the last load's
    // result), that a member of its family is missing, or what its family
    // left out (FamilyLine: a file held out, a namesake of a member, a name
    // of no regular file); empty for a whole recorder take. folder and name as SplitTakePath gives them. The
    // browser and the day list say the same.
    QString ProblemLine(bool loaded, const QString& folder, const QString& name) const;
    // The namesakes a load left uncompared (see CopiesComparedApart): the
    // paths of each and of its member.
    QList<QPair<QString, QString>> UncomparedNamesakes() const;
    // The comparison of such a pair (paths) ended: the line tells what it
    // found. False when the take holds no such pair uncompared (another
    // take was loaded since).
    bool TellNamesakeCompared(const QString& name, const QString& member, bool copy);
    // The family's iXML counts more files than were found (a member was
    // deleted or not copied) or held out: 0 when none is missing.
    int MissingMembers() const;
    // The files left out of the take though its metadata lists them (their
    // bext changed by another program, or naming another take): a rename of
    // the take's files would part them from it. File names.
    QStringList HeldOutMembers() const;
    // Before a save of a family that lost members: its documents count the
    // files there are and arm no track without a file, so that the files
    // saved say nothing they do not hold. A whole family keeps the
    // recorder's values.
    void SettleMissingMembers();
    // Reads the take's player sidecar into the mixer tables (values clamped
    // to their ranges) and keeps the virtual names and metadata apart.
    // False when the file does not exist or does not open.
    bool LoadPlayerSettings(QString path);
    // Folder + first six characters of the base name + ".idh".
    QString SidecarPath() const;

    // ---- Files ------------------------------------------------------------
    // Closes the files if open, then opens every present file for reading.
    // False at the first failure (the files opened before stay open).
    bool OpenFiles();
    void CloseFiles();
    bool FilesOpen() const { return m_bFilesOpen; }
    // Positions every present file at its sample data + second x rate x
    // channels x bytes per sample (64-bit; a position past the data is held
    // at the data end). Returns the position of the last present file, -1
    // when none could be positioned.
    qint64 SetFilesOnData(unsigned int second);

    // ---- Names --------------------------------------------------------------
    bool IsLongName() const;
    bool IsFullUnderscore() const;
    // 0..23 of the first present track; 0 when none.
    int GetFirstTrack() const;
    static QString SizeText(qint64 bytes);
    // The text as it stands when every character of it can be shown, else
    // empty: bytes that are no text are not shown as text.
    static QString PrintableOrNothing(const QString& text);

    // ---- Sync points ----------------------------------------------------------
    QList<int> GetSlatePointList(bool* automatic) const;
    QList<int> GetMarkerPointList() const;
    bool IsMarkPoint() const;

    // ---- Metadata in memory and write-back --------------------------------------
    // Stores the name in the take and in the document of the file carrying it.
    void SetiXMLTrackName(unsigned short track, QString name);
    // Mono take: the 24 names into the maker block of every present file
    // (empty names left out with skipEmpty). Nothing for a poly take.
    void SetiXMLOrvexTracknames(QString* names, bool skipEmpty);
    // SetiXMLOrvexTracknames would change no file's document (asked before
    // other setters, so that unbuilt documents stay unbuilt).
    bool OrvexTracknamesHeld(const QString* names, bool skipEmpty) const;
    QStringList GetiXMLAdvancedScTkFieldsList() const;
    // Writes every present file's document as its iXML chunk, as one
    // transaction over the files: they end at one length (chunks padded
    // with blanks), a left save record is rolled back by the next load, and
    // nothing is written unless every file opens for writing with a sound
    // layout that is still the one read. A full card or a failed write puts
    // every file back and says why.
    bool UpdateiXMLChunk();
    // The same for several takes, each its own transaction, saved side by
    // side so that they share their waits for the disk; true per take saved.
    // Takes are saved in batches (see SaveBatch). What a take's save has
    // to tell (why it failed, or what a save that went through met) is sent
    // to the user, one message per take, or with tellUser false only kept in
    // SaveReport() for a caller that tells many takes at once.
    static QVector<bool> UpdateiXMLChunks(const QVector<QSoundPerform*>& takes, bool tellUser = true);
    // The same for one batch its caller gathered, saved as it stands.
    static QVector<bool> UpdateiXMLChunks(const SaveBatch& batch, bool tellUser = true);
    static constexpr int kSaveBatchFiles = 192;
    // What the last save of this take had to tell; empty when nothing.
    QString SaveReport() const { return m_czSaveReport; }
    // The edits the next save writes fill only some of the fields (several
    // takes edited at once): every file keeps its own values in the others,
    // so that save does not make whole a take whose files hold parts of two
    // saves, and the take's mark of them stays. Until that save ends.
    void SetEditsPartial(bool partial) { m_bEditsPartial = partial; }
    bool EditsPartial() const { return m_bEditsPartial; }
    // The first file this take's load holds otherwise than opened, a load
    // of the same take made before ("T1_06.WAV appeared", "T1_05.WAV is
    // gone"); empty when both hold the same files. A save writes the files
    // the user opened, never one that arrived since.
    QString MembersChangedSince(const QSoundPerform& opened) const;
    // The first member whose head this take's load read otherwise than the
    // load of the take the user opened (opened, which keeps its members'
    // heads: see KeepMemberHeads) read it, told for the user: another
    // program rewrote or replaced it since, and the values the user saw
    // are not the file's; empty when none.
    QString MemberRewrittenSince(const QSoundPerform& opened) const;
    // Keeps each member's head as read (a print of it, and the file's
    // state), for MemberRewrittenSince: the load of the take the user opens.
    void KeepMemberHeads();
    // After this program saved the take through another load of it
    // (saved): the heads it wrote are the ones this take's user has seen.
    void AdoptMemberHeads(const QSoundPerform& saved);
    // Why a take whose files changed so is not saved (change: as above).
    static QString ChangedOnDiskText(const QString& change);
    // Why a take is not saved whose member holds another head than the one
    // read of it: rewritten in place, or replaced by another file (its
    // name now leads to another one).
    static QString RewrittenMemberText(const QString& member, bool replaced);
    // The file name of the first member that is a symbolic link, asked of
    // the disk; empty when none. A save never writes through one into the
    // file it points to.
    QString LinkedMember() const;
    // Why a take with such a member is not saved.
    static QString LinkedMemberText(const QString& member);

    // ---- Mixer tables across threads ------------------------------------------------
    // One block's worth of the mixer tables, copied at once.
    struct tyMixerSnapshot {
        short volume[kMaxTracks];
        short pan[kMaxTracks];
        bool mute[kMaxTracks];
        bool msPair[kMaxPairs];
        bool swapMS[kMaxPairs];
    };
    // Held by every writer of the mixer tables while the take may be playing.
    // A standard mutex, so that ThreadSanitizer sees the hand-over.
    std::mutex& MixerLock() const { return m_MixerLock; }
    // Never waits for a writer: the player thread runs at real-time
    // priority and must not wait for the GUI. While a writer holds
    // MixerLock it returns the copy taken last (a block's worth older).
    tyMixerSnapshot MixerSnapshot() const;

    // ---- Player link and levels ------------------------------------------------
    void Play();
    void Stop();
    void PlayPause();
    short GetPlayerState() const;
    short GetAccuratePlayerState() const;
    void ToggleMode();
    void SetSample(unsigned int position);

    int SetVumetreTracksLog(int track, int peak, int bytesPerSample);
    int SetVumetreTracksPostFadeLog(int track, int peak, int bytesPerSample);
    int SetVumetreMasterLeftLog(int peak, int bytesPerSample);
    int SetVumetreMasterRightLog(int peak, int bytesPerSample);
    // peak scaled to 0..4095 by the full scale of the width; 0 for other widths.
    static int LevelOf(int peak, int bytesPerSample);

    // ---- Sample kernels (counts are bytes; samples little-endian signed) -------
    static int GetMaxL_uc(char* bytes, int bytesPerSample, unsigned int count);
    static int GetMaxL(int* runs, int stride, unsigned int count);
    static void Increase(unsigned char* src, int* dst, unsigned int dB, int bytesPerSample, int count);
    static void Attenuate(unsigned char* src, int* dst, unsigned int dB, int bytesPerSample, int count);
    static void SommeBuffer(int* acc, int* run, int stride, int count);
    static void ProcessMplusS(int* acc, int* mid, int* side, int stride, int count);
    // acc += mid - side (the third argument minus the second).
    static void ProcessMmoinsS(int* acc, int* side, int* mid, int stride, int count);
    static void Ecretage(int* runs, char* out, int bytesPerSample, int count);
    static void Cross(char* out, char* left, char* right, int bytesPerSample, int count);
    static void DeCross(char* in, char* out, int bytesPerSample, int bytesPerChannel, int channels);
    // DeCross of the frames [firstFrame, firstFrame + frames) of a block of
    // 16 or 24-bit samples; when peaks is given, peaks[c] is raised to the
    // largest magnitude of channel c in those frames.
    static void DeCrossPeaks(const char* in, char* out, int bytesPerSample, int bytesPerChannel, int channels,
                             int firstFrame, int frames, int* peaks);

signals:
    void signal_SoundPerformSamplePosChanged(unsigned long position);
    void signal_SoundPerformTimeChanged(unsigned long time);

public:
    // ---- Files and take kind ------------------------------------------------
    QSoundFile m_SndFile[kMaxTracks];     // a poly take has its file in slot 0
    bool m_pbPresent[kMaxTracks];
    char m_pcSeparator[kMaxTracks];
    short m_nTakeStatus = 0;
    short m_nFileCount = 0;
    bool m_bPolyTake = false;
    bool m_bProcessedName = false;
    bool m_bReadOnlyFile = false;
    bool m_bReadOnlyFolder = false;
    QString m_czTakeFolder;               // ends with "/"
    QString m_czBaseName;                 // poly: file name; mono: take root
    QString m_czExtension;

    // ---- Format and time ------------------------------------------------------
    short m_nChannels = 0;
    short m_nBitsPerSample = 0;
    int m_nSampleRate = 0;
    short m_nFrameRate = 0;               // nominal frames per second
    bool m_bPullDown = false;             // 23.976 or 29.97
    quint32 m_nDurationSeconds = 0;
    quint32 m_nTotalSamples = 0;          // sample frames
    quint64 m_nStartFrames = 0;           // start timecode in frames
    quint64 m_nDurationFrames = 0;
    quint32 m_nTrueSize = 0;              // RIFF size field of the first file
    quint32 m_nDataSize = 0;              // audio bytes of one file
    // Play start: written by the GUI thread, read by the player thread at every block.
    std::atomic<quint32> m_nStartSecond{0};
    // Play position in frames: written by the player thread, read by the GUI thread.
    std::atomic<quint32> m_nSamplePos{0};

    // ---- Texts shown by the editor and the reports ------------------------------
    QString m_czScene;                    // bext scene
    QString m_czIxmlScene;
    QString m_czTakePrefix;               // the take indicator letter
    QString m_czTakeIndicator;
    QString m_czTakeNumber;
    QString m_czTake;                     // combined take text as stored
    QString m_czUbits;
    QString m_czTape;
    QString m_czCircled;
    QString m_czBextNote;
    QString m_czIxmlNote;
    bool m_bIxmlRead = false;
    QString m_czRefLevel;
    QString m_czFileTag;                  // bext aTAG
    QString m_czOriginator;
    QString m_czSamplingText;             // "48000 Hz / 24 bits"
    QString m_czSizeText;
    QString m_czFrameRateText;            // "25 ND", "29.97 DF"
    QString m_czCreationDate;
    QString m_czCreationTime;
    QString m_czCreatorText;
    QString m_czReferenceText;
    int m_nScTkTemplate = -1;
    QString m_czAdvTemplateCompo;         // "2,0,1"
    QHash<int, QString> m_AdvTemplateFields;

    // ---- Per track ----------------------------------------------------------------
    QString m_czTrackName[kMaxTracks];
    QString m_czTrackActive[kMaxTracks];  // "YES", "NO", "DISARMED" ...
    QString m_czTrackInGrid[kMaxTracks];
    QString m_czTrackPanPot[kMaxTracks];
    int m_pnOriginalTrackIndex[kMaxTracks]; // per channel of a poly take; -1 none
    int m_pnChannelIndex[kMaxTracks];     // CHANNEL_INDEX - 1 per position; -1 none
    int m_pnTrackMixRole[kMaxTracks];     // 0 none, 1 mxdn, 2 left, 3 right
    bool m_pbTrackXY[kMaxTracks];
    bool m_pbMSPair[kMaxPairs];

    // ---- Mixer tables (sidecar; written by the main window) -------------------------
    // The GUI thread writes these five tables (and m_pbMSPair) holding
    // MixerLock(); the player thread reads them only through MixerSnapshot().
    short m_pnTrackVolume[kMaxTracks];    // gain step 0..8
    short m_pnTrackPan[kMaxTracks];       // 0 left, 1 both, 2 right
    bool m_pbTrackMute[kMaxTracks];
    bool m_pbSwapMS[kMaxPairs];
    QString m_czVirtTrackNames[kMaxTracks];
    QStringList m_lczVirtMetadata;        // scene, indicator+number, note, ubits, tape
    bool m_bVirtTrackNames = false;
    bool m_bVirtMetadata = false;

    // ---- Sync points ---------------------------------------------------------------
    unsigned int m_nSlateCount = 0;
    unsigned int m_pnSlatePos[kMaxSyncPoints];
    unsigned int m_pnSlateFrames[kMaxSyncPoints];
    bool m_bAutoSlate = false;
    unsigned int m_nMarkerCount = 0;
    unsigned int m_pnMarkerPos[kMaxSyncPoints];
    unsigned int m_pnMarkerFrames[kMaxSyncPoints];

    // ---- Player ----------------------------------------------------------------------
    ISfxPlayerLink* m_pSfxPlayer = nullptr;
    // Levels 0..4095: written by the player thread, read by the GUI thread's meter refresh.
    std::atomic<int> m_pnVuTrackPre[kMaxTracks];
    std::atomic<int> m_pnVuTrackPost[kMaxTracks];
    std::atomic<short> m_nVuMasterLeft{0};
    std::atomic<short> m_nVuMasterRight{0};

private:
    void ClearTables();
    // A take not found: where a killed rename of its files, settled since,
    // left them, when that is another take name. Returns false.
    bool NoteRenamedTake(const QString& takePath, const QString& extension);
    // family: as JudgeTake found it. lock: the take's folder's, its
    // descriptor (or -1) for the writability of its files. names:
    // what the family was found with (null: a listing). report: why a file
    // is no sound file goes on the message channel too (a quick load keeps
    // it for ProblemLine only).
    // The files a load's judgement walked as it read their heads
    // (WalkForJudgement), which ReadFiles reads no second time.
    struct tyJudgedWalks {
        QString czPath[kMaxTracks];   // the path walked; empty: none
        quint32 nWalked = 0;          // the walks that found fmt and data (ReadChunks)
    };
    // The head of the file at path for the take's judgement, read by a
    // walk of it as slot's file (left closed), noted in walks; a file that
    // does not open is read as the judgement reads it, for ReadFiles to tell.
    tyTrackFileHead WalkForJudgement(int slot, const QString& path, TakeFolderLock& lock, tyJudgedWalks* walks);
    TrackHeadReader JudgementWalker(TakeFolderLock& lock, tyJudgedWalks* walks);
    bool LoadFamily(const tyTakeFamily& family, TakeFolderLock& lock, const FolderNameProbe* names,
                    const FolderNameProbe* sidecarNames, bool report, const tyJudgedWalks& walks);
    // Why the family did not load whole (read: ReadFiles read it; gone,
    // unwalked: as it told), in the load's failure; the variables reset.
    void RefuseFamily(const tyTakeFamily& family, bool read, bool gone, quint32 unwalked, bool report);
    // unwalked: a bit per track whose chunks could not be walked (not yet
    // reported); gone: a member's file vanished since it was found. Each
    // file read is told to the lock (TellProgress).
    // A mono family's file that is no member of it (JoinsFamily), or that
    // names another take where its other files name this one, is left
    // out, unless none of its files is a member; so is a name of no
    // regular file.
    bool ReadFiles(quint32* unwalked, bool* gone, TakeFolderLock& lock, const tyJudgedWalks& walks);
    // Of the files ReadFiles left out by what they hold, those the take's
    // metadata counts among its files, in tracks it arms, are held out:
    // named in the line, and kept in the track list by a save; the others
    // are takes by themselves.
    // walked: each file's state as its walk found it; copies: of the
    // files left out, the copies of a member (told as namesakes).
    void HoldOutLeftOut(quint32 leftOut, quint32 copies, const tyFileState* walked);
    // Takes a found file out of the family: it is not one of the take's.
    void LeaveOutMember(int track);
    // Keeps why the first of those tracks' files is no sound file, and
    // with report tells the user of each.
    void ReportUnwalked(quint32 unwalked, bool report);
    bool FilesAgree() const;
    // What a killed write left beside a take read: the record of a save
    // that could not be undone (m_bLeftSaveStands), a member's only name
    // hidden (m_lczHiddenMembers). names: the folder's, when probed.
    void NoteLeftBeside(const FolderNameProbe* names);
    // ProblemLine of a take read whole: what its family lacks or left out.
    QString FamilyLine(const QString& name) const;
    void ReadTakeValues();
    void ReadTrackValues();
    void ReadSyncPoints();
    void ReadWritability(int folderDescriptor);
    // Samples as frames of the take's timecode: pull-down frames run 1/1000
    // slower than the nominal rate. Rounded down, or to the nearest frame.
    quint64 FramesOfSamples(quint64 samples, bool nearest) const;

    // The iXML texts of a save, UTF-8, per present slot.
    void BuildSaveTexts(QByteArray* texts);
    // Saves the batches one after the other (see SaveTransaction), then
    // tells what each take's save had to tell; true per take, in order.
    static QVector<bool> SaveBatches(const QVector<SaveBatch>& batches, bool tellUser);
    friend class SaveTransaction;
    // The first member the disk holds otherwise than the load found it
    // (names: the folder read under the save's lock), told for the user;
    // empty when the family is the same. unchanged: the members (slots)
    // whose file the save proved to hold the head read of it, judged by
    // that head without a read.
    QString MemberChangedOnDisk(const FolderNameProbe& names, quint32 unchanged = 0) const;
    // Keeps a line of what this take's save has to tell (see UpdateiXMLChunks).
    void ReportSave(const QString& text);

    bool m_bFilesOpen = false;
    QString m_czLoadFailure;   // the loading thread's; set by a failed load
    bool m_bImportMayRead = false;   // the loading thread's; the failure is files that disagree
    QString m_czSaveReport;    // the saving thread's; set by UpdateiXMLChunks
    bool m_bEditsPartial = false;   // set with the edits, reset by the save that wrote them
    QString m_czRenamedTake;   // the loading thread's; see RenamedTakePath
    bool m_bRenameTakenBack = false;   // the loading thread's; see RenameTakenBack
    QString m_czUnreadFile;    // the loading thread's: why a member is no sound file, or did not open
    // The loading thread's: files named for a slot its member holds that
    // name the take too (file names), left out of the take.
    QList<tyNamesake> m_lNamesakes;
    // The loading thread's: files found for a slot the take's metadata
    // lists, left out of the take by what they hold (see HoldOutLeftOut).
    struct tyHeldOut {
        int nSlot = -1;
        QString czName;     // file name
        QString czReason;   // why it is no member, as a clause
    };
    QList<tyHeldOut> m_lHeldOut;
    // The loading thread's: names found for a slot that are no regular file.
    QStringList m_lczNotRegular;
    // The loading thread's: see KeepMemberHeads.
    struct tyMemberHead {
        QString czPath;       // empty: not kept
        quint64 nPrint = 0;   // QSoundFile::HeadPrint
        tyFileState state;    // as the read found it
    };
    tyMemberHead m_MemberHeads[kMaxTracks];
    // The loading thread's: members a killed rename left under a removal's
    // hidden name (file names) whose own name another file holds.
    QStringList m_lczHiddenMembers;
    // The loading thread's: a take read as not closed by the recorder while
    // the record of an interrupted save of it stays (see LeftSaveStands).
    bool m_bLeftSaveStands = false;
    mutable std::mutex m_MixerLock;
    // The last copy MixerSnapshot took, guarded by m_MixerReadLock, which
    // only takers of snapshots hold: a writer never holds it, so the player
    // thread waits on nobody but another reader.
    mutable std::mutex m_MixerReadLock;
    mutable tyMixerSnapshot m_LastMixer;
};

#endif
