#ifndef NALVO_SOUNDFILE_SOUNDFILE_H
#define NALVO_SOUNDFILE_SOUNDFILE_H

#include "foundation/xmlobject.h"
#include "soundfile/chunkrecords.h"
#include "soundfile/headwindows.h"
#include "soundfile/ixmltwin.h"
#include "soundfile/riffwalker.h"
#include "soundfile/riffwriter.h"

#include <QByteArray>
#include <QDomNode>
#include <QFile>
#include <QHash>
#include <QList>
#include <QPair>
#include <QString>
#include <QStringList>
#include <QVector>

#include <functional>
#include <memory>

class BextDescription;
class QSoundFile;

// The documents a save builds for adopted members: members adopted from one
// twin text with the same edits share one, built from the twin's text.
struct tyAdoptedSaveModels {
    struct tyModel {
        QByteArray baTwinText;
        QString czEdits;
        std::shared_ptr<QSoundFile> shadow;   // null: the texts cannot be built so
        QByteArray baText;
        QXmlObject::tyLeafSplicePlace entryPlace;   // the entry in shadow and baText
    };
    QList<tyModel> lModels;
};

// The settings of one recorder input from the maker block's INPUT_SETTINGS.
struct tInputSettings {
    bool bPresent = false;
    int nDelay = -1;
    bool bPhaseReversed = false;
    bool bEqEnabled = false;
    int nFilter = 0;
};

// One Broadcast Wave file of the recorder: the RIFF chunk walk and the
// cached records, the bext description lines, the film chunk fields, the
// iXML document (this object is the document) with the maker block, the
// waveform-overview chunks, raw sample access and track renumbering.
//
// Writers change header chunks only and refuse a file whose walk did not
// understand the whole file (truncated, inconsistent RIFF size, garbage):
// the audio bytes never move and never change.
class QSoundFile : public QXmlObject
{
public:
    QSoundFile();
    ~QSoundFile() override;
    QSoundFile(const QSoundFile&) = delete;
    QSoundFile& operator=(const QSoundFile&) = delete;

    // ---- Lifecycle and raw access ------------------------------------
    // Back to the empty state: closed, no path, records and document cleared.
    void InitVariables();
    // Stores the path for Open(int). Another path than the stored one drops
    // what was read of the previous file.
    void SetPath(const QString& path);
    QString GetPath() const { return m_czPath; }
    // mode 0 read, 1 write, 2 read-write. Never creates or truncates a file:
    // mode 1 opens read-write as well, since the writers check the headers
    // they overwrite. An open file is closed first. Empty path or another
    // mode: false without a message; an open failure is reported, but for
    // a write refused at a symbolic link (errno ELOOP), which its writer
    // tells.
    bool Open(int mode);
    bool Open(const QString& path, int mode);
    // Opens the file set by SetPath for reading, as a take's load finds it:
    // a name that is no regular file (a folder, a pipe, a device, a link to
    // none or to nothing) is told by notRegular, not by a message.
    bool OpenFound(bool* notRegular);
    bool Close();
    // Closes the file as Close() does; 0, or the error number of a close
    // that failed, which for a file opened for writing means its last
    // writes may not have reached the disk (a network volume reports a
    // failed write there): the write failed.
    int CloseWritten();
    bool IsOpen() const { return m_ReadFile.IsOpen() || m_File.isOpen(); }
    bool IsOpenForWriting() const;

    // Walks the chunks and caches the records. True when fmt and data were
    // found and bext too unless bextOptional. With report, the failure is
    // sent on the message channel.
    bool ReadChunks(bool report, bool bextOptional);
    // What a read of an RF64 file says (its 64-bit sizes are not read),
    // here and wherever such files are refused.
    static constexpr const char* kRf64Refusal = "RF64 files are not supported !";
    // Why the last ReadChunks failed, as one clause naming the file
    // ("T_01.WAV is empty"); empty when it did not fail.
    QString ReadFailureText() const;
    bool HasiXMLChunk() const { return m_bHasiXML; }
    // Up to n bytes from offset (-1: the current position). The bytes read,
    // 0 at the end of the file, -1 on an error.
    int LectureDataBin(char* buffer, long long offset, int n);
    // Seeks to an absolute offset; false past the end of the file.
    bool SetPointer(unsigned int offset);
    // Whole seconds of audio; 0 when rate, channels or bits make no frame.
    quint32 GetDurationSeconds() const;
    // Sample frames in the data chunk; 0 when block align is 0.
    quint32 GetFrameCount() const;

    // The file's state as a look just before the walk found it (not known
    // before a walk); a writer of this program that adopts what it wrote
    // (AdoptIxmlRewrite) gives the state its writes left, where it knows it.
    const tyReadState& ReadState() const { return m_ReadState; }
    void SetReadState(const tyReadState& read) { m_ReadState = read; }
    // The state the last open found, as it opened the file.
    const tyReadState& OpenedState() const { return m_OpenedState; }
    // The open file still holds the head the records were read from: the
    // same chunks in the same places and the same fmt, bext, film and iXML
    // bytes, by a walk of its head and tail windows (no samples are read).
    bool HeadOnDiskMatches();
    // A print of the head the records were read from, as HeadOnDiskMatches
    // compares it (a description waiting to be written is not in it): two
    // reads of a file that find the same head give the same print.
    quint64 HeadPrint() const;

    // What the walk found, for the take-status check and diagnostics.
    const tyRiffLayout& GetLayout() const { return m_Layout; }
    // The walk understood the whole file: writers accept it.
    bool IsLayoutSound() const { return m_bWalked && m_Layout.IsSound(); }
    qint64 GetDataOffset() const { return m_nDataOffset; }
    // The data chunk's size field (m_DataChunk.nSize is cut to the bytes present).
    quint32 GetDeclaredDataSize() const { return m_nDeclaredDataSize; }
    // The fmt chunk says integer PCM: format tag 1, or the extensible tag
    // whose sub-format is PCM (as editors write files of more than two
    // channels or 24 bits).
    static constexpr quint16 kFormatPcm = 1;
    static constexpr quint16 kFormatExtensible = 0xFFFE;
    bool IsIntegerPcm() const
    {
        return m_FmtChunk.nFormatTag == kFormatPcm
               || (m_FmtChunk.nFormatTag == kFormatExtensible && m_nSubFormat == kFormatPcm);
    }
    QByteArray GetiXMLText() const { return m_baiXMLText; }
    // Payload size of the iXML chunk, 0 when there is none.
    quint32 GetiXMLChunkSize() const;

    // ---- Cached records (read directly by the engine and the player) ---
    tyMainChunk m_MainChunk;
    tyFmtChunk m_FmtChunk;
    tyBextChunk m_BextChunk;
    tyFilmChunk m_FilmChunk;
    tyDataChunk m_DataChunk;
    qint64 m_nDataOffset = 0;        // where the samples begin
    quint32 m_nOndeSize = 0;         // first waveform chunk's size field
    qint64 m_nOndeOffset = 0;        // and its payload offset (0: none)
    int m_nOtherChunkCount = 0;      // chunks of unknown ids
    tyChunkRecord m_OtherChunk;      // the last of them

    // ---- bext description and film chunk -------------------------------
    // Rewrites the description lines (scene, take, note of at most 49
    // characters, user bits, tape, and the track line of track + 1; -1
    // writes track 1's), keeping unknown lines, then writes it. A file that
    // is not open (a take's member after loading) keeps the new lines in
    // memory: the take's save writes them with its iXML chunk, in one open.
    bool InsertInBextDescr(QString scene, QString takePrefix, QString take, int nTemplate,
                           QString note, QString ubits, QString tape, int track, QString trackName);
    bool InsertInBextDescrScene(QString scene, int nTemplate);
    bool InsertInBextDescrTake(QString takePrefix, QString take, int nTemplate);
    bool InsertInBextDescrNote(QString note);
    bool InsertInBextDescrUbits(QString ubits);
    bool InsertInBextDescrTape(QString tape);
    bool InsertInBextDescrType(QString type);
    bool InsertInFilmNetFileName(QString name);

    bool HasBextChunk() const { return m_BextChunk.szId[0] != 0; }
    // Description lines set while the file was closed and not yet written:
    // their place in the file and bytes. False when there are none.
    bool PendingBextField(qint64* offset, QByteArray* bytes) const;
    void ClearPendingBext()
    {
        m_baPendingBext.clear();
        m_baBextOnDisk.clear();
    }
    bool HasFilmChunk() const { return m_FilmChunk.szId[0] != 0; }
    // Values of the description lines (trimmed; empty when absent).
    QString GetBextDescrValue(const QString& key) const;
    QString GetBextScene() const;
    QString GetBextTake() const;
    QString GetBextTape() const;
    QString GetBextUbits() const;
    QString GetBextNote() const;
    QString GetBextTag() const;
    QString GetBextType() const;
    QString GetBextSpeed() const;
    QString GetBextChannel() const;
    QString GetBextTrackName(int track) const; // 1-based
    QString GetBextOriginator() const;
    QString GetBextOriginatorReference() const;
    QString GetBextOriginationDate() const;
    QString GetBextOriginationTime() const;
    quint64 GetBextTimeReference() const;
    QString GetFilmNetFileName() const;
    // Templates 2, 3 and 5 store the take number without its indicator.
    static bool IsTemplateWithoutIndicator(int nTemplate);
    static QString TakeText(const QString& takePrefix, const QString& take, int nTemplate);
    // Nominal frames per second of the speed line (or the iXML speed); 0 unknown.
    int GetFrameRate() const;

    // ---- iXML: parse and getters -----------------------------------------
    // Parses the iXML chunk text. True when its root is BWFXML; otherwise
    // no document is held and GetErrorText() says why. A file without an
    // iXML chunk keeps a document built for it in memory (true then).
    bool GetiXMLFileInfos();
    // For a member of a mono family whose first file (twin) holds its parsed
    // document: when this file's iXML text equals the twin's byte for byte
    // outside its own TRACK entry, and both entries are plain, the document
    // is taken without parsing (it is built at its first use) and the
    // entry's channel index and name are read from the text. The maker
    // block, the file key and every other value are the twin's. False, with
    // nothing changed, when the texts differ otherwise: parse this one.
    bool AdoptiXMLOfTwin(const QSoundFile& twin);
    // The document was adopted from a twin and has not been built since.
    bool IsDocumentAdopted() const { return IsAdoptedPending(); }
    // The text a save writes for an adopted document, without building it:
    // the twin's document with the same edits, serialised once per group in
    // models, with this file's track entry put in. False when the document
    // is not adopted or its entry does not fit the twin's: serialise it.
    bool AdoptedSaveText(tyAdoptedSaveModels* models, QByteArray* text) const;
    // True while the document held is the parse of the file's iXML chunk
    // (not a new one built since).
    bool IsDocumentFromChunk() const { return m_bDocumentFromChunk && XmlOk(); }
    // The file's iXML chunk did not read as a document and a new one, not
    // yet written, stands in its place.
    bool ReplacesUnreadableiXML() const { return m_bUnreadableiXML && XmlOk(); }
    QString GetErrorText() const { return m_czErrorText; }
    // An open or a chunk walk failed since the last InitVariables.
    bool HasError() const { return m_bError; }

    int GetiXMLMonoTrackNumber() const;
    int GetiXMLTotalFiles() const;
    QString GetiXMLFamilyName() const;
    QString GetiXMLMonoTrackFunction() const;
    QString GetiXMLMonoTrackName() const;
    QString GetiXMLPolyTrackName(int channel) const;
    QString GetiXMLPolyTrackFunction(int channel) const;
    int GetiXMLPolyTrackOriginalIndex(int channel) const;
    // The three values above for channels first..first+count-1 in one pass
    // over the track entries, each channel from the first entry of its
    // INTERLEAVE_INDEX, as the getters find it.
    struct tyPolyTrack {
        int nOriginalIndex = -1;
        QString czName;
        QString czFunction;
        bool bListed = false;   // the channel has a track entry
    };
    QVector<tyPolyTrack> GetiXMLPolyTrackTable(int first, int count) const;
    int GetiXMLTrackCount() const;
    QString GetiXMLNotes() const;
    QString GetiXMLCircled() const;
    QString GetiXMLScene() const;
    QString GetiXMLTake() const;
    QString GetiXMLTape() const;
    QString GetiXMLUbits() const;
    QString GetiXMLTakeType() const;
    QString GetiXMLTakeIndicator() const;
    QString GetiXMLTakeNumber() const;
    QString GetiXMLFileKey() const;
    bool HasiXMLOrvexBlock() const;
    QString GetiXMLOrvexRefLevel() const;
    QString GetiXMLOrvexTracknames(int slot) const;
    QString GetiXMLOrvexTrackPanPot(int slot) const;
    QString GetiXMLOrvexTrackActive(int slot) const;
    QString GetiXMLOrvexTrackInGrid(int slot) const;
    // The maker block's per-slot values for slots 0..23 in one pass over
    // its DATA entries, each slot from the first entry of its INDICE, as the
    // four getters above find it.
    struct tyOrvexTrack {
        QString czName;
        QString czPanPot;
        QString czActive;
        QString czInGrid;
    };
    QVector<tyOrvexTrack> GetiXMLOrvexTrackTable() const;
    // The recorder track (0..23, or -1) of each channel of a poly track
    // table read from channel 0, one rule for the loader and the name
    // setters. A channel whose entry names a track an earlier channel holds,
    // or no track, takes a track the file lacks: the first track the maker
    // block arms ("YES") that no channel holds; without arming in the block,
    // its own channel number when free, else the first free track. Where the
    // block arms no such track it keeps the entry's (a shared track, or -1),
    // as the system's own mixdowns and pad channels share one on purpose.
    static QVector<int> PolyChannelTracks(const QVector<tyPolyTrack>& table, const QVector<tyOrvexTrack>& maker);
    void GetiXMLInputsSettings(QDomNode* node) const;
    bool GetiXMLOrvexInputSettings(QString name, tInputSettings* settings) const;
    // At most 10 slates and 10 markers. slateExtra: frame offsets of the
    // slates (pullDown raises the sample rate by 1/1000); autoSlate: a slate
    // comment reads "AUTO". Null pointers are skipped.
    void GetiXMLSyncPoint(unsigned int* slateCount, unsigned int* slatePositions,
                          unsigned int* slateExtra, QStringList* slateComments, bool pullDown,
                          unsigned int* markerCount, unsigned int* markerPositions,
                          QStringList* markerComments, bool* autoSlate) const;
    // -1 when no template was stored.
    int GetiXMLScTkTemplate() const;
    // Code -> text: SEQUENCE 1 ... UNIT 6, separator n under 1 - n.
    QHash<int, QString> GetiXMLAdvancedScTkFields() const;
    // The codes in stored order ("2,0,1"), and the texts in that order.
    QString GetiXMLAdvancedScTkComposition() const;
    QStringList GetiXMLAdvancedScTkFieldTexts() const;

    // ---- iXML: setters (in memory) and new documents -----------------------
    // Builds a new document from the file's chunks when none is held (the
    // mono form for track when the file has one channel). True when one is.
    bool EnsureDocument(int track);
    void CreateNewiXMLchunkPoly();
    QString GenerateiXMLChunkPoly(int track);
    QString GenerateiXMLChunkMono(int track);
    bool SetiXMLScene(int track, QString scene, int nTemplate, bool multi, QList<int> fieldCodes,
                      QStringList fieldTexts);
    bool SetiXMLTake(int track, QString takePrefix, QString take, int nTemplate);
    bool SetiXMLNote(int track, QString note);
    bool SetiXMLUbits(int track, QString ubits);
    bool SetiXMLTape(int track, QString tape);
    bool SetiXMLCircled(int track, QString circled);
    bool SetiXMLFamilyName(int track, bool poly, QString scene, QString takePrefix, QString take,
                           int nTemplate);
    bool SetiXMLPolyTrackName(int channel, QString name);
    bool SetiXMLPolyTrackFunction(int channel, QString function);
    bool SetiXMLPolyTrackOriginalIndex(int channel, int slot);
    bool SetiXMLMonoTrackName(int track, QString name);
    bool SetiXMLMonoTrackNumber(int track, int number);
    bool SetiXMLTotalFiles(int track, int total, bool poly);
    bool SetiXMLOrvexAllTrkInfos(QString* names, QString* panPots, QString* actives, QString* inGrids);
    bool SetiXMLOrvexTrackname(int slot, QString name);
    // The maker block's ACTIVE text of one slot ("NO" disarms it).
    bool SetiXMLOrvexTrackActive(int slot, QString active);
    // The 24 slots' names at once (an empty one left as it is with
    // skipEmpty): the entries are found once, and names already held are
    // not set again.
    bool SetiXMLOrvexTracknames(const QString* names, bool skipEmpty);
    // Setting those names would leave the document as it is. Answered
    // without building it; an adopted document unbuilt and unedited is its
    // twin's outside its track entry and answers twinHolds, the twin's
    // answer.
    bool OrvexTracknamesHeld(const QString* names, bool skipEmpty, bool twinHolds = false) const;
    bool SetiXMLSyncPoint(int track, unsigned int slateCount, unsigned int* slatePositions,
                          QStringList slateComments, unsigned int markerCount,
                          unsigned int* markerPositions, QStringList markerComments);
    bool SetiXMLOrvexRefLevel(QString level);
    bool SetiXMLInputSettings(QDomNode* node);

    // ---- Chunk writers -------------------------------------------------
    // Stores the text as the iXML chunk: over the old one (blank-padded)
    // when it fits; grown in place when the old one is the last chunk;
    // else the old one becomes "JUNK" and a new one is appended.
    bool AddiXMLChunk(QString& text);
    // A save over several files rewrites the iXML chunk in steps (see
    // RiffChunkWriter) through this writer, on a file open for writing whose
    // layout is sound and freshly walked.
    RiffChunkWriter ChunkWriter() { return RiffChunkWriter(m_File, m_Layout); }
    // After a committed rewrite: the layout and records as a walk of the
    // file would now find them, without walking it again.
    void AdoptIxmlRewrite(const tyIxmlRewrite& plan, const QByteArray& payload);
    // The open file's descriptor (-1 when closed), for syncing it.
    int FileHandle() const { return m_File.handle(); }
    // The descriptor of a file open for reading (mode 0); -1 when none.
    int ReadHandle() const { return m_ReadFile.Handle(); }
    // Appends "ond" + track character (track 1..24): size, samples per
    // point, levels; one zero level is added to keep the chunk even.
    bool AddOndeChunk(char* buffer, int size, int track, int samplesPerPoint);

    // ---- Track renumbering -----------------------------------------------
    // Phase 1: renames the file to its new track number N with a trailing
    // '_' and rewrites the track tag, the aTRK line, the film name and the
    // iXML CHANNEL_INDEX. A file or folder the writability probe calls
    // write-protected is refused before the rename. Undone on any failure.
    // Every success is kept so that RotateRollback() can undo a whole family.
    bool Rotate(QString path, QString* tempName, short index, short shift, bool wrap24,
                QString* iXMLText);
    // Phase 2: writes each text as its file's iXML chunk and drops the
    // trailing '_'. An existing final name is never overwritten, and a file
    // whose iXML cannot be written is not renamed: that file keeps its
    // temporary name (RotateRollback() still restores it) and is reported.
    // False when any file failed.
    bool Rotate2(QStringList tempNames, QString* iXMLTexts);
    // Undoes every phase-1 rename not yet completed by Rotate2.
    bool RotateRollback();

private:
    // Open(int), OpenFound and Open(QString, int); silentWhenMissing: a
    // missing file is no error. notRegular (may be null): set for an entry
    // that is no regular file, which is then no error either.
    bool OpenPath(const QString& path, int mode, bool silentWhenMissing, bool* notRegular = nullptr);
    // ---- walk, messages and write checks ------------------------------
    void ClearRecords();
    void CacheRecords(RiffByteSource& bytes);
    bool Rewalk();
    QString FolderText() const;
    QString FileNameText() const;
    void ReportReadChunks(const char* what) const;
    // Open for writing with a sound layout, else a message under title.
    bool CheckWritable(const char* title) const;
    // Writes bytes into a cached record's chunk payload and refreshes the cache.
    bool WriteChunkField(const char* title, const char* id, qint64 offset, const QByteArray& bytes);
    // Puts bytes written into a chunk's payload into its cached record.
    void CacheField(const char* id, qint64 offset, const QByteArray& bytes);
    bool WriteBextDescription(const char* title, const BextDescription& description,
                              const QString& trackKey);
    BextDescription Description() const;
    bool ReplaceBextLine(const char* title, const QString& key, const QString& value);

    // ---- iXML helpers -------------------------------------------------
    void NewDocumentFromChunks(bool poly, int track);
    QDomElement TrackByChild(const QString& tag, int value) const;
    // The text of tag in the maker block's entry of slot.
    QString OrvexTrackText(int slot, const QString& tag) const;
    // (code, text) of the SCTK_ADVANCED children, in stored order.
    QList<QPair<int, QString>> AdvancedFields() const;
    QDomElement OrvexBlock(bool create);
    // ALL_TRK_NAME with its 24 DATA entries, made when missing; bySlot,
    // when given, receives each slot's entry (24 elements).
    QDomElement AllTrackEntries(QDomElement* bySlot = nullptr);
    // One child of a slot's entry in ALL_TRK_NAME set to text.
    bool SetSlotChildText(int slot, const QString& tag, const QString& text);
    void ReportWriteFailure(const char* title, const QString& why) const;
    QString OrvexText(const QString& tag) const;
    QString TextOrBlank(const QString& tag) const;
    bool SetRootText(int track, const QString& tag, const QString& text);
    // Sets the child tag of the track entry of every channel that holds the
    // recorder track (PolyChannelTracks), found by its INTERLEAVE_INDEX.
    bool SetPolyTrackChild(int track, const QString& tag, const QString& text);

    struct tyRotateJournal {
        QString czOriginal;
        QString czTemporary;
        QByteArray baBextHead;   // description .. OriginatorReference, as before
        QByteArray baFilmName;   // net file name, as before
    };
    bool UndoRotate(const tyRotateJournal& entry);

    QFile m_File;            // open for writing (modes 1 and 2), through m_nWriteFd
    int m_nWriteFd = -1;     // closed by Close(), after m_File
    ReadOnlyFile m_ReadFile; // open for reading (mode 0)
    QString m_czPath;
    int m_nOpenMode = -1;
    bool m_bWalked = false;
    tyReadState m_OpenedState;     // set by each open
    bool m_bOpenedStateUnread = false;   // no walk since that open
    tyReadState m_ReadState;       // see ReadState()
    tyRiffLayout m_Layout;
    quint32 m_nDeclaredDataSize = 0;
    quint16 m_nSubFormat = 0;        // an extensible fmt chunk's sub-format code, else 0
    const char* m_pReadFailure = nullptr;   // the last failed walk's reason
    bool m_bHasiXML = false;
    bool m_bDocumentFromChunk = false;  // the document is the parse of the iXML chunk
    bool m_bUnreadableiXML = false;     // the iXML chunk held does not read as a document
    // What AdoptiXMLOfTwin read; answers while the adopted document is not built.
    // Setters called on an adopted document that is not built are kept
    // (applied when it is built, and replayed on the twin's document by a
    // save): edits outside the track entry in order, with a key that tells
    // equal series apart; edits of the entry's elements in its values.
    struct tyAdoptedEdit {
        bool bEntry = false;
        std::function<void(QSoundFile&)> apply;
    };
    struct tyAdopted {
        int nTrack = -1;
        QString czName;
        bool bOrvex = false;
        QString czFileKey;
        QByteArray baTwinText;   // the twin's iXML text (shared, not copied)
        QByteArray baOwnText;    // this file's iXML text at the adoption
        int nEntryBegin = 0;     // its track entry in baOwnText
        QList<QPair<QString, QString>> lEntry;   // the entry's elements once edited
        QString czEdits;
        QList<tyAdoptedEdit> lEdits;
    } m_Adopted;
    bool IsAdoptedPending() const { return m_bDocumentFromChunk && IsDeferred() && !IsIndexed(); }
    // The values read at the adoption still hold: edits kept since outside
    // the entry (setters reaching the maker block ...) leave it to the document.
    bool AnswersFromScan() const { return IsAdoptedPending() && m_Adopted.czEdits.isEmpty(); }
    // Keeps an edit outside the track entry while the adopted document is
    // not built; false (nothing kept) otherwise: the caller applies it.
    bool DeferEdit(const QStringList& key, std::function<void(QSoundFile&)> apply);
    // Keeps a new text of the entry's element tag likewise.
    bool DeferEntryEdit(const QString& tag, const QString& text, std::function<void(QSoundFile&)> apply);
    void DocumentBuilt() override;
    // This file's own entry as a twin of its family, scanned at the first
    // adoption and checked against its parse: 0 not yet, 1 usable, -1 not.
    mutable int m_nTwinScanState = 0;
    mutable tyTrackEntryScan m_TwinScan;
    mutable tyAdopted m_TwinValues;       // its maker-block presence and file key
    QByteArray m_baiXMLText;
    QString m_czErrorText;
    bool m_bError = false;
    QList<tyRotateJournal> m_ltRotateJournal;
    QByteArray m_baPendingBext;   // description field bytes to write; empty: none
    QByteArray m_baBextOnDisk;    // while one waits: the description field the file holds
    // The bext payload as the file holds it (see m_baBextOnDisk).
    QByteArray BextOnDisk() const;
};

#endif
