#ifndef NALVO_BROWSER_QBRISELFSMODELITEM_H
#define NALVO_BROWSER_QBRISELFSMODELITEM_H

#include "browser/fsitemtype.h"
#include "foundation/folderlisting.h"
#include "foundation/takenaming.h"
#include "soundfile/filestatus.h"
#include "take/daylisting.h"
#include "take/takefamily.h"

#include <QFileInfo>
#include <QFileInfoList>
#include <QList>
#include <QSet>
#include <QString>
#include <QStringList>
#include <QVector>

#include <functional>

// An entry a folder node shows, with its kind as the one read of the folder
// told it: asked of the entry again, it would cost a look at each file.
struct tyBrowserEntry {
    QFileInfo info;
    bool bFolder = false;   // else a regular file
    // A day's file as the day's listing judged it (ListDay), for its row.
    bool bJudged = false;
    tyListedFile Listed;
};
using tyBrowserEntries = QVector<tyBrowserEntry>;

// One node of the media browser: a volume, a folder or a take file, with its
// recorder meaning and the project/day names a take needs to be addressed
// without walking the tree. Owns its children.
class QBriselFSModelItem
{
public:
    // Lists a not yet listed folder node; the model passes one that tells its views.
    using FolderLister = std::function<void(QBriselFSModelItem*)>;

    // A volume or the root: its kind asked of info.
    QBriselFSModelItem(const QFileInfo& info, QBriselFSModelItem* parent);
    // An entry of a listed folder.
    QBriselFSModelItem(const tyBrowserEntry& entry, QBriselFSModelItem* parent);
    ~QBriselFSModelItem();
    QBriselFSModelItem(const QBriselFSModelItem&) = delete;
    QBriselFSModelItem& operator=(const QBriselFSModelItem&) = delete;

    QBriselFSModelItem* childAt(int row) const;
    int childCount() const { return m_lChildren.size(); }
    int childNumber() const;
    QList<QBriselFSModelItem*> children() const { return m_lChildren; }
    QBriselFSModelItem* parent() const { return m_pParent; }

    // A folder that has not been listed yet may still hold children.
    bool mayHaveChildren() const;

    QString fileName() const;
    QString absoluteFilePath() const { return m_czPath; }
    QFileInfo fileInfo() const { return m_FileInfo; }
    bool isFolder() const { return m_bFolder; }
    QString fileTag() const { return m_czFileTag; }
    tFSItemType type() const { return m_nType; }
    QString projectName() const { return m_czProject; }
    QString preProjectPath() const { return m_czPreProject; }
    QString dayName() const { return m_czDay; }

    int ScTkTemplate() const { return m_nTemplate; }
    QString AdvTemplCompo() const { return m_czAdvTemplate; }
    void SetTemplateInfo(int templateNumber, const QString& advancedComposition);

    // Takes the child out of the list and destroys it with its subtree.
    void removeChild(QBriselFSModelItem* child);
    // The same for the children at rows first..last, in one pass.
    void removeChildren(int first, int last);
    // Inserts a freshly built child (the last one) at the given row instead.
    void moveLastChildTo(int row);
    void clearAll();

    // ahead (may be null): what the listing found of a day file ahead (tyBrowserEntry).
    void fillItemInfo(const QFileInfo& info, QBriselFSModelItem* parent, const tyBrowserEntry* ahead = nullptr);
    // A day file listed as a member of its family whose head a reader has
    // since kept (KeptTrackFileHead: its take's load), saying it is none, is
    // judged again by that head; a file of family listed alone whose head is
    // no longer kept (changed since) or is kept as a member's (a load took it
    // as one) is judged again by what it holds. family: only a file of that
    // family (empty: any, and none listed alone). True when it now stands
    // alone, or joined its family.
    bool rejudgeByKeptHead(QBriselFSModelItem* parent, const QString& family);
    // A later day file of a family one of whose files now stands alone is
    // judged again, the slot and length it was judged by being that file's.
    // True when it stands for another take now.
    bool rejudgeInFamilies(QBriselFSModelItem* parent, const QSet<QString>& families);
    const QString& listedFamily() const { return m_Listed.czFamily; }

    // The node of a path given as its components below the root (the first
    // names a volume row). Unlisted folders on the way are handed to lister;
    // with no lister the lookup stops at them.
    QBriselFSModelItem* matchPath(const QStringList& components, int start, const QString& name,
                                  const FolderLister& lister);

    // The entries a folder node shows: sub-folders and ".WAV" files, no
    // hidden ones, sorted by name so that a take's track files are adjacent.
    // One read of the folder, which also finds the names that are not
    // UTF-8 (see tellUnreachableNames). otherCaseWav (may be null): the
    // files left out whose names end in ".wav" in another case.
    // dayFiles: a day's, whose files are also judged ahead for their rows
    // (ListDay), beside the thread that lists.
    // slotRivals (may be null): the files that hold no slot of their take
    // (SlotRivalsInListing). notRegular (may be null): the ".WAV" names of
    // no regular file (tyDayEntry), which no row lists.
    static tyBrowserEntries listFolder(const QString& path, int* otherCaseWav = nullptr, bool dayFiles = false,
                                       QSet<QString>* slotRivals = nullptr, QStringList* notRegular = nullptr);
    // The entries of a listed day (listFolder's, of path) that the day's
    // listing judges beside names (files come or gone; EntriesJudgedBeside),
    // judged as a fresh listing of the day judges them, for their rows.
    static void judgeBeside(const QString& path, tyBrowserEntries* entries, const QStringList& names);
    // A listed day's files that hold no slot of their take, each listed
    // alone (set before its rows are filled); the names whose standing
    // changed since the last listing.
    QSet<QString> setSlotRivals(QSet<QString> rivals);
    // A listed day's WAV files that no take of it stands for or reads:
    // those ending in ".wav" in another case, and the ".WAV" files of no
    // take's name, but for a track file the loader reads with a listed
    // take ("T1_A.WAV" of "T1") and is no stranger to it by its head as
    // its load kept it (UnlistedDayFiles). Import reads them.
    int unlistedWavFiles() const;
    void setOtherCaseWav(int count) { m_nOtherCaseWav = count; }
    // A listed day's entries named as ".WAV" files that are no regular
    // file (a folder, a pipe, a link to neither a file nor a folder): no
    // row, nor counted among the WAV files; the day's line names them.
    const QStringList& notRegularWavEntries() const { return m_lczNotRegular; }
    void setNotRegularWavEntries(QStringList names) { m_lczNotRegular = std::move(names); }
    // A listed day's WAV files (".wav" in any case) in the folders it holds
    // (a card's "Scene_1-T001.TAKE"), which no row lists: each such folder
    // read once (names only) as the day is listed, but for those
    // WalkedForWavFiles leaves. Import reads them.
    int wavFilesInFolders() const { return m_nWavInFolders; }
    void countWavFilesInFolders(const tyBrowserEntries& entries);
    // The folder as it was before its last listing (FolderStampOf).
    const tyFolderStamp& listedStamp() const { return m_ListedStamp; }
    void setListedStamp(const tyFolderStamp& stamp) { m_ListedStamp = stamp; }
    // Says once per folder which of its entries (names in readable form)
    // are not listed because their names are not valid UTF-8.
    static void tellUnreachableNames(const QString& path, const QStringList& names);

    bool m_bPopulated = false;
    tFSItemType m_nType = FSITEM_PLAIN;

private:
    // The listing of the nearest earlier member of the same mono family,
    // among the siblings before this one; null when none.
    const tyListedFile* EarlierOfFamily(const QBriselFSModelItem* parent, const QString& family) const;
    // The listing this one is judged by, as the day's listing judges it:
    // the nearest earlier member, or where no earlier file of the family
    // names the take, its first later member that does (FirstMemberToJudgeBy,
    // kept in later); null when none.
    const tyListedFile* MemberToJudgeBy(const QBriselFSModelItem* parent, const QString& family,
                                        tyListedFile* later) const;

    tyListedFile m_Listed;    // a day file's: the take it stands for
    QString m_czFileTag;
    QString m_czProject;
    QString m_czPreProject;
    QString m_czDay;
    int m_nOtherCaseWav = 0;  // a listed folder's: see listFolder
    QStringList m_lczNotRegular;   // a listed day's: see notRegularWavEntries
    tyFolderStamp m_ListedStamp;
    int m_nWavInFolders = 0;  // a listed day's: see wavFilesInFolders
    QSet<QString> m_SlotRivals;   // a listed day's: see setSlotRivals
    int m_nTemplate = -1;
    QString m_czAdvTemplate;
    QList<QBriselFSModelItem*> m_lChildren;
    QBriselFSModelItem* m_pParent = nullptr;
    QFileInfo m_FileInfo;
    bool m_bFolder = false;
    bool m_bFile = false;
    QString m_czPath;
};

#endif
