#ifndef NALVO_TAKE_TAKEFAMILY_H
#define NALVO_TAKE_TAKEFAMILY_H

#include "foundation/takenaming.h"
#include "soundfile/filestatus.h"

#include <QList>
#include <QPair>
#include <QSet>
#include <QString>
#include <atomic>
#include <functional>
#include <memory>

class MyFileInfoList;
struct stat;
struct tyFolderNames;

// Whether names are in one folder (its path ends with '/'; empty: the
// working folder), answered from a listing of the folder (see
// KeptFolderNames for when a kept one is trusted), else asked of the disk
// name by name. The answer is as of the making: a caller that needs a
// current one (after taking a lock) makes a new probe.
class FolderNameProbe
{
public:
    enum class Listing {
        Kept,       // a kept listing, or one read now and kept when it may be
        KeptOnly,   // a kept listing or none: for a probe of a name or two
        ReadNow,    // one read of the folder now, never kept: what a writer decides from
        AskDisk,    // no listing: each name asked of the disk, for a writer's name or two
        KeptOrRead,  // a kept listing, else one read now: a shown take's load, which tells of every name
        KeptOrReadHeld  // a kept listing, else one read now where names are dear to ask one by one
                        // (see FolderFindsNamesByIndex): a load under the folder's lock, where that
                        // lock reaches every writer (see LocksReachEveryWriter)
    };
    // status: the folder's, as read under its lock (see KeptFolderNames).
    explicit FolderNameProbe(const QString& folder, Listing listing = Listing::Kept,
                             const struct stat* status = nullptr);
    // True when the folder's listing answers, without asking the disk.
    bool IsListed() const { return m_Names != nullptr; }
    bool Exists(const QString& name) const;
    // How many listed names, in any case, begin with prefix and end with
    // suffix: at most that many names of that form can exist. -1 when the
    // folder is not listed.
    int CountListed(const QString& prefix, const QString& suffix) const;
    // How many names all probes asked of the disk so far, on any thread:
    // what the benchmarks count a take's load and save by.
    static quint64 NamesAskedOfDisk();

private:
    QString m_czFolder;
    std::shared_ptr<const tyFolderNames> m_Names;
};

// A file named for a slot whose bext names the take as the slot's member
// does, left out of the take: a copy of the member where the two hold the
// same sound, else another recording under the take's name (a recorder
// reset, a card copied back, a copy cut short).
// A second name of the member's own file (a hard link) is neither: it is
// written whenever the member is.
// bCompared is false for a namesake whose sound is left to be compared
// apart (CopiesComparedApart): neither a copy nor another recording yet.
struct tyNamesake {
    QString czName;
    QString czMember;
    bool bCopy = false;
    bool bSameFile = false;
    bool bCompared = true;
};

// While one stands, the families found on its thread leave the sound of a
// member's namesake uncompared unless the pair was compared before and is
// unchanged since: a load that answers at once (the window's) has the two
// whole files compared on a thread of its own (SameSound).
class CopiesComparedApart
{
public:
    CopiesComparedApart();
    ~CopiesComparedApart();
    CopiesComparedApart(const CopiesComparedApart&) = delete;
    CopiesComparedApart& operator=(const CopiesComparedApart&) = delete;

private:
    bool m_bOuter;   // as the thread stood before
};

// Whether two files hold the same sound data, byte for byte, whatever their
// headers say besides, read read-only; a pair compared before and unchanged
// since is not read again. stop, set while the files are read, ends the
// reading: false then, and nothing is kept.
bool SameSound(const QString& a, const QString& b, const std::atomic<bool>* stop = nullptr);

// name beside member (file names in folder, which ends with '/'), both
// naming the take: a second name of the member's file, else a copy where
// the two hold the same sound (read then, unless compared before and
// unchanged since, or left uncompared where copies are compared apart: see
// CopiesComparedApart), else another recording.
tyNamesake NamesakeOf(const QString& folder, const QString& name, const QString& member);

// The files of one take as found by name: a poly file, or the mono track
// files of slots 0..23.
struct tyTakeFamily {
    bool bPoly = false;
    QString czFolder;         // ends with "/"
    QString czBaseName;       // poly: file name without extension; mono: take root
    QString czExtension;
    QString czPath[24];       // empty for an absent slot (poly: slot 0 only)
    char pcSeparator[24] = {};
    int nFileCount = 0;
    // Files named for a slot another file holds ("T1-05" beside "T1_05"):
    // no member of the take, each a take by itself.
    QStringList lczRivals;
    // Every other name of the found slots was looked for, so the rivals are
    // all known (see FindTakeFamily).
    bool bSettled = false;
    // Of them, those that name the take as its member does (see tyNamesake):
    // paths.
    QList<tyNamesake> lNamesakes;
};


// Finds the take named by takePath (folder + take root, or the poly file
// with ".ext"). A file of the root's name with ".ext" is the take when
// asked for with the extension, or when no found track file of the root
// is a member by its head (this recorder's poly file of the take too: the
// day lists the members as the take); else the mono take is. exists
// answers for a file name inside the folder.
// Mono slots are probed with '_', '-', '#', '+', each with the two-digit and
// then the one-character track number, so a family may mix separators and
// have gaps. Where several names are found for one slot (another maker's
// "T1_05" beside this recorder's "T1-05"), the slot is held as SettleSlots
// settles it, as the listing lists them (SlotRivalsInListing). The others
// are the family's rivals. False when nothing was found.
// findable, when not -1, is the most names beginning with the take root and
// ending with ".ext" that exists can find (the listed ones): once that many
// were found, the remaining slots are not probed, and the found slots'
// other forms are probed only where names are left. Not known (-1), those
// are probed only where the found names are not all in one form (separator
// and number width), or with everyForm: a take of one form costs the
// probes of its found tracks alone. bSettled tells whether they were (or
// none can be left): a load that finds a found file in doubt finds the
// family again with everyForm (SettleFamily), as the slot's member may
// stand in a later form.
bool FindTakeFamily(const QString& takePath, const QString& extension,
                    const std::function<bool(const QString& fileName)>& exists, tyTakeFamily* family,
                    int findable = -1, bool everyForm = false);

// The same probing against the disk, or against a folder listing.
bool FindTakeFamilyOnDisk(const QString& takePath, const QString& extension, tyTakeFamily* family);
bool FindTakeFamilyOnDisk(const QString& takePath, const QString& extension, const FolderNameProbe& names,
                          tyTakeFamily* family, bool everyForm = false);
bool FindTakeFamilyInListing(const QString& takePath, const QString& extension,
                             const MyFileInfoList& listing, tyTakeFamily* family);

// How strongly a file's head claims a slot of the take whose identifier is
// id (the first six characters of its root): the stronger holds it. One
// rule for the family search, the load, the check before a save, the
// browser and the day list.
enum class SlotClaim {
    OtherMaker,     // another maker's file, or one whose bext is not this recorder's
    OtherTake,      // this recorder's mono file whose bext names another take
    Unidentified,   // no fmt read: empty, cut in its head, RF64
    Member          // this recorder's mono file naming the take
};
SlotClaim ClaimOnSlot(tyTrackFileHead::Kind kind, const QString& namedTake, const QString& id);
SlotClaim ClaimOnSlot(const tyTrackFileHead& head, const QString& id);
// Whether a file of that claim is left out of a take that has members:
// another maker's file and another take's file are, neither before the
// other.
bool LeftOutBesideMembers(SlotClaim claim);

// The slots of a mono take whose found file may not be the slot's member,
// so that every form of their names is looked at (SettleFamily): where a
// file of the take claims a slot as a member, a file that cannot be read,
// names another take or is another maker's, and a member whose length is
// not that of most members (a twin cut short); where none claims one,
// every file found (the take's members may stand in a later form beside
// another take's files or unreadable twins). claims and lengths: the
// found files' (present: a bit per slot).
quint32 SlotsInDoubt(quint32 present, const SlotClaim (&claims)[24], const qint64 (&lengths)[24]);

// found with every form of its slots looked at, where slots are in doubt
// (SlotsInDoubt, or a later finding that differs) and found left forms
// unprobed: true with settled filled then.
bool SettleFamily(const tyTakeFamily& found, quint32 inDoubt, const FolderNameProbe& names,
                  tyTakeFamily* settled);
// The slots of a mono take (folder ends with "/"; root: the take root)
// named by more than one file, settled by what the files' heads hold
// (a name of no regular file holds no slot a file names, and tells no form),
// never by the names' order: a slot is held by the strongest claim
// (ClaimOnSlot; another take's and another maker's file alike); of two
// of one claim but unidentified, by the one whose length is that of the
// take's singly named slots (a member whose bext another program rewrote
// holds it before another maker's file), then by the one in the form most of them are
// named in (separator and track width), else the first named. The other
// names are rivals; of them, the members are namesakes, with copies told
// (a copy only where the sound data is the same, which is read then: a
// lister of rivals alone leaves it). named: the file names of each slot
// (in probing order).
struct tySettledSlots {
    QString czHolder[24];     // a slot named more than once: the name that holds it
    QStringList lczRivals;    // the other names of those slots
    QList<tyNamesake> lNamesakes;   // of them, those naming the take: names
};
tySettledSlots SettleSlots(const QString& folder, const QString& root, const QStringList (&named)[24],
                           bool tellCopies = true);
// The names of a folder's listing (".WAV" files) that hold no slot of their
// mono take by SettleSlots, for the views to list each alone, as the load
// leaves them out. Heads are read only of the files of a slot named twice.
QSet<QString> SlotRivalsInListing(const QString& folder, const QStringList& fileNames);

// The take path a listed file stands for: folder + take root for a mono
// track file (a separator and a track number as the family probe writes them
// before the extension), the file's own path otherwise: a poly file, whose
// long underscore name may end in "__PX", is a take by itself.
QString TakePathOfFile(const QString& filePath, const QString& extension);

// Whether a file named as a mono track is a member of its family, by what
// its head holds (ReadTrackFileHead, or TrackFileKind of a walked file): one
// rule for the browser, the day list and the take's load. This recorder's
// one-channel files are; a file that is a take by itself (more channels, or
// another maker's, whatever its name) is not and stands alone. A file whose
// head cannot be read stays in its family, whose load tells why.
bool JoinsFamily(tyTrackFileHead::Kind kind);

// The members (a mask of slots) a take found by name leaves out: those
// that are no member by what they hold (strangers: JoinsFamily false),
// unless every file present is one, as a family without a file of this
// recorder's is read whole (another recorder's set, which Import reads).
quint32 MembersLeftOut(quint32 present, quint32 strangers);

// The take a listed file of a day folder stands for: one rule for the
// browser's rows and the day list's. The kind and take name come from the
// file's name (TakeNaming::ClassifyBaseName); a file named as a mono track
// joins its family by JoinsFamily, else it stands alone under its whole
// base name, never as a member of a family that does not exist.
struct tyListedFile {
    TakeNaming::FileKind eKind = TakeNaming::FileKind::None;   // None: not listed
    QString czTake;           // the take name shown, and the take path's last part
    QString czFamily;         // a mono track name's family name, alone or not
    bool bAlone = false;      // a mono track name's file that is a take by itself
    qint64 nLength = -1;      // a member's: the length of the member whose head was read
    quint32 nSlots = 0;       // a member's: the slots its family's members hold up to it
    // A member's: the claim on its slot of its head where it was read
    // (Unidentified where it joined by its length unread); of a file named
    // as a track only the load reads ("T1_A"): of its head.
    SlotClaim eClaim = SlotClaim::Unidentified;
    bool bMember = false;     // a member's: a file of its family up to it claims its slot as a member
    // A member's, where no file of its family up to it names the take (a
    // take renamed by hand): the take their bext names, whose recording
    // they are (RecordingOf); a file naming another is none of it.
    QString czRecording;
    // The take this recorder's mono file's bext names, and the track it
    // tags, where its head was read (or kept).
    QString czNamed;
    int nTrack = -1;
};
// fileName with its ".WAV"; folder ends with "/". earlier: the nearest
// earlier listed member of the same family (a family's files stand
// together in name order), null when none. The recorder writes the files
// of one take at one length (its load refuses others), so a file of the
// length of the member whose head was read joins as that one did, and
// only a file of another length, of a family without a member yet, or
// after a file naming another take (whose length tells nothing of this
// take's), has its own head read: a day lists with one head read per take. A file whose
// track the load never reads ("T1_25") stands alone, and so does one named
// for a slot an earlier member holds ("T1_05" after "T1-05"), as the load
// finds the family (FindTakeFamily): its head is read for its kind. A
// rival (SlotRivalsInListing) stands alone wherever it sorts. A file whose
// head a reader kept (KeptTrackFileHead: its take's load, which walks it)
// is judged by that head and not by its length, so the views list a take
// as its load found it.
tyListedFile ListedFileOf(const QString& folder, const QString& fileName, const tyListedFile* earlier,
                          bool rival = false);
// The same for a lister of a whole folder: kind and take as
// TakeNaming::ClassifyBaseName gave them for the file's base name, and the
// file's length as the lister asked it (RegularFileLength's answer, -1 for
// no regular file), or kLengthUnasked: then it is asked by the file's
// whole path if the rule needs it. head (may be null): the file's head as
// the lister read it ahead (ReadTrackFileHead), used if the rule needs one.
const qint64 kLengthUnasked = -2;
tyListedFile ListedFileOf(const QString& folder, const QString& fileName, TakeNaming::FileKind kind, QString take,
                          const tyListedFile* earlier, qint64 length, const tyTrackFileHead* head = nullptr,
                          bool rival = false);

// "folder/root.ext" with or without the extension: the folder (ending with
// "/", empty when none) and the name without the extension.
void SplitTakePath(QString takePath, const QString& extension, QString* folder, QString* name);

// True when a poly base name carries a processed-file suffix
// ("P7", "MX", "Q7", "QX", "S7", "SX").
bool IsProcessedName(const QString& baseName);

#endif
