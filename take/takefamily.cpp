#include "take/takefamily.h"

#include "foundation/fileinfolist.h"
#include "foundation/folderlisting.h"
#include "foundation/platform/diskprobes.h"
#include "foundation/takenaming.h"
#include "soundfile/filestatus.h"
#include "soundfile/headwindows.h"
#include "soundfile/keptheads.h"
#include "soundfile/riffwalker.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QHash>
#include <QSet>
#include <QVector>

#include <algorithm>
#include <array>
#include <atomic>
#include <deque>
#include <mutex>
#include <optional>
#include <utility>

#include <sys/stat.h>

// "folder/root.ext" with or without the extension: folder, name without it.
void SplitTakePath(QString takePath, const QString& extension, QString* folder, QString* name)
{
    const QString dotExt = QLatin1Char('.') + extension;
    if (!extension.isEmpty() && takePath.endsWith(dotExt, Qt::CaseInsensitive))
        takePath.chop(dotExt.size());
    const int slash = takePath.lastIndexOf(QLatin1Char('/'));
    *folder = takePath.left(slash + 1);
    *name = takePath.mid(slash + 1);
}

namespace {
// The names of a mono take's slot that exists finds, in probing order, at
// most `most` (-1: all). name: the take root, which each probed name is
// built after (a take load probes up to 192 names).
QStringList NamesOfSlot(int slot, const QString& dotExt, const std::function<bool(const QString&)>& exists,
                        int most, QString* name)
{
    // The forms of every slot, made once.
    static const std::array<QStringList, 24> kForms = [] {
        std::array<QStringList, 24> forms;
        for (int s = 0; s < 24; ++s)
            forms[size_t(s)] = TakeNaming::LoadTrackForms(s);
        return forms;
    }();
    const int rootSize = name->size();
    QStringList named;
    for (QChar separator : TakeNaming::LoadSeparators()) {
        for (const QString& number : kForms[size_t(slot)]) {
            *name += separator;
            *name += number;
            *name += dotExt;
            if (exists(*name))
                named << *name;
            name->resize(rootSize);
            if (named.size() == most)
                return named;
        }
    }
    return named;
}

void HoldSlot(tyTakeFamily* family, int slot, const QString& name)
{
    family->czPath[slot] = family->czFolder + name;
    family->pcSeparator[slot] = name.at(family->czBaseName.size()).toLatin1();
}

// Every name of the found slots, where other names than those found may
// stand: a slot named in two forms is held as SettleSlots settles it, the
// others are rivals.
void SettleRivals(tyTakeFamily* family, const QString& dotExt, const std::function<bool(const QString&)>& exists,
                  QString* name)
{
    QStringList named[24];
    for (int slot = 0; slot < 24; ++slot) {
        if (!family->czPath[slot].isEmpty())
            named[slot] = NamesOfSlot(slot, dotExt, exists, -1, name);
    }
    const tySettledSlots settled = SettleSlots(family->czFolder, family->czBaseName, named);
    for (int slot = 0; slot < 24; ++slot) {
        if (!settled.czHolder[slot].isEmpty())
            HoldSlot(family, slot, settled.czHolder[slot]);
    }
    for (const QString& rival : settled.lczRivals)
        family->lczRivals << family->czFolder + rival;
    for (tyNamesake namesake : settled.lNamesakes) {
        namesake.czName.prepend(family->czFolder);
        namesake.czMember.prepend(family->czFolder);
        family->lNamesakes << namesake;
    }
}

// A track file name's form after the take root: its separator and the
// width of its track number.
QPair<QChar, int> FormOf(const QString& fileName, int rootSize)
{
    const int dot = fileName.lastIndexOf(QLatin1Char('.'));
    return {fileName.at(rootSize), (dot < 0 ? fileName.size() : dot) - rootSize - 1};
}

// Where the sound data of a RIFF file stands: its data chunk as far as
// the file holds it; false when none was found.
bool DataChunkOf(QFile& file, qint64* offset, qint64* size)
{
    const tyRiffLayout layout = RiffChunkWalker::Walk(file);
    const int data = layout.Find("data");
    if (!layout.bRiffWave || data < 0)
        return false;
    *offset = layout.chunks.at(data).PayloadOffset();
    *size = layout.chunks.at(data).AvailableSize(layout.nFileLength);
    return true;
}

struct tyComparedSound {
    tyFileState first;
    tyFileState second;
    bool bSame = false;
};

struct tyComparedSounds {
    std::mutex mutex;
    QHash<QPair<QString, QString>, tyComparedSound> found;   // under mutex
};

tyComparedSounds& ComparedSounds()
{
    static tyComparedSounds compared;
    return compared;
}

bool CompareSound(const QString& a, const QString& b, const std::atomic<bool>* stop);

// The answer kept for a pair compared before whose files are as now.
std::optional<bool> KeptSameSound(const QString& a, const QString& b, const tyComparedSound& now)
{
    tyComparedSounds& compared = ComparedSounds();
    std::lock_guard<std::mutex> lock(compared.mutex);
    const auto found = compared.found.constFind(qMakePair(a, b));
    if (found != compared.found.constEnd() && found->first == now.first && found->second == now.second)
        return found->bSame;
    return std::nullopt;
}

// Set while a CopiesComparedApart stands on the thread.
thread_local bool tCopiesComparedApart = false;

// Whether the namesake a is a copy of the member b, told now (copy set):
// where copies are compared apart, only for a pair compared before.
bool TellCopy(const QString& a, const QString& b, bool* copy)
{
    if (!tCopiesComparedApart) {
        *copy = SameSound(a, b);
        return true;
    }
    tyComparedSound now;
    const std::optional<bool> kept = StateOf(a, &now.first) && StateOf(b, &now.second)
                                         ? KeptSameSound(a, b, now) : std::nullopt;
    *copy = kept.value_or(false);
    return kept.has_value();
}
}  // namespace

CopiesComparedApart::CopiesComparedApart() : m_bOuter(std::exchange(tCopiesComparedApart, true)) {}

CopiesComparedApart::~CopiesComparedApart() { tCopiesComparedApart = m_bOuter; }

// A take beside a copy is selected again and again: the comparison of an
// unchanged pair is kept.
bool SameSound(const QString& a, const QString& b, const std::atomic<bool>* stop)
{
    tyComparedSound now;
    const bool known = StateOf(a, &now.first) && StateOf(b, &now.second);
    if (known) {
        if (const std::optional<bool> kept = KeptSameSound(a, b, now))
            return *kept;
    }
    now.bSame = CompareSound(a, b, stop);
    if (stop && stop->load())
        return false;
    tyComparedSound after;
    // Kept only where neither file changed while it was read.
    if (known && StateOf(a, &after.first) && StateOf(b, &after.second) && after.first == now.first
        && after.second == now.second) {
        tyComparedSounds& compared = ComparedSounds();
        std::lock_guard<std::mutex> lock(compared.mutex);
        compared.found.insert(qMakePair(a, b), now);
    }
    return now.bSame;
}

namespace {
// Whether two names are of one file (hard links).
bool SameFile(const QString& a, const QString& b)
{
    tyFileState first;
    tyFileState second;
    return StateOf(a, &first) && StateOf(b, &second) && first.nDevice == second.nDevice
           && first.nInode == second.nInode;
}

bool CompareSound(const QString& a, const QString& b, const std::atomic<bool>* stop)
{
    QFile first(a);
    QFile second(b);
    qint64 at[2] = {};
    qint64 size[2] = {};
    if (!first.open(QIODevice::ReadOnly) || !second.open(QIODevice::ReadOnly) || !DataChunkOf(first, &at[0], &size[0])
        || !DataChunkOf(second, &at[1], &size[1]) || size[0] != size[1] || !first.seek(at[0]) || !second.seek(at[1]))
        return false;
    constexpr qint64 kBlock = 1 << 20;
    QByteArray blocks[2];
    for (qint64 left = size[0]; left > 0; left -= kBlock) {
        if (stop && stop->load())
            return false;
        const qint64 n = qMin(left, kBlock);
        blocks[0] = first.read(n);
        blocks[1] = second.read(n);
        if (blocks[0].size() != n || blocks[0] != blocks[1])
            return false;
    }
    return true;
}

// Whether a found file of a mono family claims its slot as a member.
bool HasMember(const tyTakeFamily& family, const QString& id)
{
    for (const QString& path : family.czPath) {
        if (!path.isEmpty() && ClaimOnSlot(ReadTrackFileHead(path), id) == SlotClaim::Member)
            return true;
    }
    return false;
}

// Whether the found slots' names differ in separator or in the width of
// their track number.
bool MixedForms(const tyTakeFamily& family)
{
    const int rootEnd = family.czFolder.size() + family.czBaseName.size();
    int width = -1;
    char separator = 0;
    for (int slot = 0; slot < 24; ++slot) {
        const QString& path = family.czPath[slot];
        if (path.isEmpty())
            continue;
        const int its = path.size() - rootEnd - 2 - family.czExtension.size();
        if (width >= 0 && (its != width || family.pcSeparator[slot] != separator))
            return true;
        width = its;
        separator = family.pcSeparator[slot];
    }
    return false;
}
}  // namespace

bool FindTakeFamily(const QString& takePath, const QString& extension,
                    const std::function<bool(const QString&)>& exists, tyTakeFamily* family, int findable,
                    bool everyForm)
{
    *family = tyTakeFamily();
    QString folder;
    QString root;
    SplitTakePath(takePath, extension, &folder, &root);
    if (root.isEmpty())
        return false;
    family->czFolder = folder;
    family->czBaseName = root;
    family->czExtension = extension;
    const QString dotExt = QLatin1Char('.') + extension;
    const auto polyFamily = [&] {
        family->bPoly = true;
        family->czPath[0] = folder + root + dotExt;
        family->nFileCount = 1;
        return true;
    };
    // A file named like the take is the take when asked for by its name
    // with the extension. Otherwise (another take's copy, another maker's
    // file, even this recorder's poly file of the take) it stands for the
    // take only where no track file of that root is a member by what it
    // holds: never in place of the take's own tracks, which the day lists
    // as the take.
    const bool polyAsked = !extension.isEmpty() && takePath.endsWith(dotExt, Qt::CaseInsensitive);
    const bool polyNamed = exists(root + dotExt);
    if (polyNamed && polyAsked)
        return polyFamily();
    QString name = root;
    name.reserve(root.size() + 4 + dotExt.size());
    // No two probed names are the same in another case, so each file found
    // uses up another of the findable names: a take of 8 tracks leaves the
    // 128 names of its absent slots unprobed. The file of the take's name
    // is one of them: a poly take alone leaves every slot's names unprobed.
    if (polyNamed && findable > 0)
        --findable;
    for (int slot = 0; slot < 24 && family->nFileCount != findable; ++slot) {
        const QStringList named = NamesOfSlot(slot, dotExt, exists, 1, &name);
        if (named.isEmpty())
            continue;
        HoldSlot(family, slot, named.first());
        ++family->nFileCount;
    }
    // Names left unfound may name a found slot in another form. Listed,
    // they are counted; unlisted, each would be asked of the disk, so they
    // are looked for only where the found names are not all in one form:
    // a slot found in the form of the others had no name probed before
    // its own, and its later forms are rivals at most.
    const bool settle = everyForm || (findable >= 0 ? family->nFileCount != findable : MixedForms(*family));
    if (settle)
        SettleRivals(family, dotExt, exists, &name);
    family->bSettled = settle || family->nFileCount == findable;
    // Before a file of the take's name stands for the take, the found
    // slots' other forms are looked at for a member: the full load, which
    // asks the disk name by name, finds the take the listing finds.
    if (polyNamed && !family->bSettled && !HasMember(*family, root.left(6))) {
        SettleRivals(family, dotExt, exists, &name);
        family->bSettled = true;
    }
    if (polyNamed && !HasMember(*family, root.left(6))) {
        *family = tyTakeFamily();
        family->czFolder = folder;
        family->czBaseName = root;
        family->czExtension = extension;
        return polyFamily();
    }
    return family->nFileCount > 0;
}

tySettledSlots SettleSlots(const QString& folder, const QString& root, const QStringList (&allNamed)[24],
                           bool tellCopies)
{
    tySettledSlots settled;
    // A name of no regular file (a link to nothing, a folder) holds no slot
    // a file names, nor tells the members' form: the slot is settled by its
    // files alone, the other names are rivals.
    QStringList named[24];
    for (int slot = 0; slot < 24; ++slot) {
        named[slot] = allNamed[slot];
        if (named[slot].size() < 2)
            continue;
        QStringList files;
        for (const QString& name : named[slot]) {
            if (RegularFileLength(folder + name) >= 0)
                files << name;
        }
        if (files.isEmpty() || files.size() == named[slot].size())
            continue;
        for (const QString& name : named[slot]) {
            if (!files.contains(name))
                settled.lczRivals << name;
        }
        if (files.size() == 1)
            settled.czHolder[slot] = files.first();
        named[slot] = files;
    }
    // The members' form: the one most singly named slots are in.
    QHash<QPair<QChar, int>, int> forms;
    QPair<QChar, int> form;
    int most = 0;
    for (const QStringList& names : named) {
        if (names.size() != 1)
            continue;
        const QPair<QChar, int> its = FormOf(names.first(), root.size());
        if (++forms[its] > most) {
            most = forms[its];
            form = its;
        }
    }
    // The members' length: the one most singly named slots have, asked
    // only where two members of different lengths name one slot.
    qint64 membersLength = -2;
    const auto lengthOfMembers = [&] {
        if (membersLength != -2)
            return membersLength;
        QHash<qint64, int> lengths;
        int often = 0;
        membersLength = -1;
        for (const QStringList& names : named) {
            if (names.size() != 1)
                continue;
            const qint64 length = RegularFileLength(folder + names.first());
            if (length >= 0 && ++lengths[length] > often) {
                often = lengths[length];
                membersLength = length;
            }
        }
        return membersLength;
    };
    const QString id = root.left(6);
    for (int slot = 0; slot < 24; ++slot) {
        const QStringList& names = named[slot];
        if (names.size() < 2)
            continue;
        QVector<tyTrackFileHead> heads;
        QVector<SlotClaim> claims;
        int holder = 0;
        for (int i = 0; i < names.size(); ++i) {
            heads << ReadTrackFileHead(folder + names.at(i));
            claims << ClaimOnSlot(heads.at(i), id);
            // Of two files that are no member, neither holds the slot by
            // its bext: the take's own track whose bext another program
            // rewrote holds it before another take's or maker's file by
            // its length (the members'), else by its form.
            const auto strength = [&claims](int n) {
                return LeftOutBesideMembers(claims.at(n)) ? SlotClaim::OtherMaker : claims.at(n);
            };
            if (strength(i) != strength(holder)) {
                if (strength(i) > strength(holder))
                    holder = i;
                continue;
            }
            if (claims.at(i) != SlotClaim::Unidentified && heads.at(i).nLength != heads.at(holder).nLength) {
                if (heads.at(i).nLength == lengthOfMembers())
                    holder = i;
                if (heads.at(i).nLength == lengthOfMembers() || heads.at(holder).nLength == lengthOfMembers())
                    continue;
            }
            const bool inForm = most > 0 && FormOf(names.at(i), root.size()) == form;
            if (inForm && FormOf(names.at(holder), root.size()) != form)
                holder = i;
        }
        settled.czHolder[slot] = names.at(holder);
        for (int i = 0; i < names.size(); ++i) {
            if (i == holder)
                continue;
            settled.lczRivals << names.at(i);
            if (tellCopies && claims.at(i) == SlotClaim::Member && claims.at(holder) == SlotClaim::Member)
                settled.lNamesakes << NamesakeOf(folder, names.at(i), names.at(holder));
        }
    }
    return settled;
}

tyNamesake NamesakeOf(const QString& folder, const QString& name, const QString& member)
{
    tyNamesake namesake{name, member};
    namesake.bSameFile = SameFile(folder + name, folder + member);
    namesake.bCompared = namesake.bSameFile || TellCopy(folder + name, folder + member, &namesake.bCopy);
    return namesake;
}

SlotClaim ClaimOnSlot(tyTrackFileHead::Kind kind, const QString& namedTake, const QString& id)
{
    switch (kind) {
    case tyTrackFileHead::RecorderMono:
        return !namedTake.isEmpty() && namedTake == id ? SlotClaim::Member : SlotClaim::OtherTake;
    case tyTrackFileHead::Unread:
        return SlotClaim::Unidentified;
    case tyTrackFileHead::WholeTake:
        break;
    }
    return SlotClaim::OtherMaker;
}

bool LeftOutBesideMembers(SlotClaim claim)
{
    return claim == SlotClaim::OtherMaker || claim == SlotClaim::OtherTake;
}

SlotClaim ClaimOnSlot(const tyTrackFileHead& head, const QString& id)
{
    return ClaimOnSlot(head.eKind, head.czTakeId, id);
}

quint32 SlotsInDoubt(quint32 present, const SlotClaim (&claims)[24], const qint64 (&lengths)[24])
{
    // The members' length: the one most members have (a take's load asks
    // this of every take, so it is counted in place).
    qint64 length = -1;
    int often = 0;
    for (int slot = 0; slot < 24; ++slot) {
        if (!(present & (1u << slot)) || claims[slot] != SlotClaim::Member || lengths[slot] == length)
            continue;
        int count = 0;
        for (int other = slot; other < 24; ++other)
            count += (present & (1u << other)) && claims[other] == SlotClaim::Member && lengths[other] == lengths[slot];
        if (count > often) {
            often = count;
            length = lengths[slot];
        }
    }
    quint32 doubt = 0;
    // A take none of whose files names it (another recorder's set, a
    // renamed take, another take's files copied under its names) has no
    // member to measure its files by: its members may stand in another
    // form (an interrupted copy's empty twins, the take's own files beside
    // another's), so every file found is in doubt.
    if (often == 0)
        return present;
    for (int slot = 0; slot < 24; ++slot) {
        if ((present & (1u << slot)) && (claims[slot] != SlotClaim::Member || lengths[slot] != length))
            doubt |= 1u << slot;
    }
    return doubt;
}

bool SettleFamily(const tyTakeFamily& found, quint32 inDoubt, const FolderNameProbe& names, tyTakeFamily* settled)
{
    if (found.bPoly || found.bSettled || inDoubt == 0)
        return false;
    return FindTakeFamilyOnDisk(found.czFolder + found.czBaseName, found.czExtension, names, settled, true);
}

QSet<QString> SlotRivalsInListing(const QString& folder, const QStringList& fileNames)
{
    // One pass over the names finds the takes with a slot named twice;
    // only their names are gathered, and only their rivals' heads read.
    struct tyNamedSlots {
        quint32 nSlots = 0;
        bool bTwice = false;
    };
    const auto slotOf = [](const QString& fileName, QStringView* root) {
        if (!fileName.endsWith(QLatin1String(".WAV")))
            return -1;
        const QStringView base = QStringView(fileName).chopped(4);
        int suffix = 0;
        const int slot = TakeNaming::LoadTrackSlot(base, &suffix);
        if (slot < 0 || base.size() == suffix)
            return -1;
        *root = base.chopped(suffix);
        return slot;
    };
    const auto lower = [](QStringView root) {
        return std::any_of(root.begin(), root.end(), [](QChar c) { return c.isLower(); });
    };
    // A card's file system takes "t1-05" for a name of take "T1": there,
    // roots are compared in upper case, the recorder's own, so such a name
    // stands alone beside its take as on any other disk, where "t1" is a
    // take of its own.
    bool fold = false;
    std::deque<QString> folded;
    const auto takeOf = [&](QStringView root) {
        if (!fold || !lower(root))
            return root;
        folded.push_back(root.toString().toUpper());
        return QStringView(folded.back());
    };
    QHash<QStringView, tyNamedSlots> roots;
    bool twice = false;
    bool lowered = false;
    const auto countSlots = [&] {
        roots.clear();
        twice = false;
        for (const QString& fileName : fileNames) {
            QStringView root;
            const int slot = slotOf(fileName, &root);
            if (slot < 0)
                continue;
            lowered = lowered || (!fold && lower(root));
            tyNamedSlots& named = roots[takeOf(root)];
            named.bTwice = named.bTwice || (named.nSlots & (1u << slot));
            twice = twice || named.bTwice;
            named.nSlots |= 1u << slot;
        }
    };
    countSlots();
    // Whether the file system folds case is asked of it once, by a name in
    // lower case whose take is listed in upper case too: the name with every
    // letter's case turned, where no listed file has that name.
    for (int i = 0; lowered && i < fileNames.size() && !fold; ++i) {
        QStringView root;
        if (slotOf(fileNames.at(i), &root) < 0 || !lower(root) || !roots.contains(root.toString().toUpper()))
            continue;
        QString turned = fileNames.at(i);
        for (QChar& c : turned)
            c = c.isLower() ? c.toUpper() : c.toLower();
        if (fileNames.contains(turned))
            continue;
        fold = QFileInfo::exists(folder + turned);
        if (fold)
            countSlots();
        break;
    }
    QSet<QString> rivals;
    if (!twice)
        return rivals;
    QHash<QString, std::array<QStringList, 24>> named;
    for (const QString& fileName : fileNames) {
        QStringView root;
        const int slot = slotOf(fileName, &root);
        if (slot >= 0 && roots.value(root = takeOf(root)).bTwice)
            named[root.toString()][size_t(slot)] << fileName;
    }
    for (auto take = named.begin(); take != named.end(); ++take) {
        // In the load's probing order (NamesOfSlot), each name as listed.
        QStringList ordered[24];
        QString root = take.key();
        for (int slot = 0; slot < 24; ++slot) {
            const QStringList& listed = take.value()[size_t(slot)];
            if (listed.size() < 2) {
                ordered[slot] = listed;
                continue;
            }
            QHash<QString, QString> byName;
            for (const QString& fileName : listed)
                byName.insert(fold ? fileName.toUpper() : fileName, fileName);
            const auto exists = [&byName](const QString& name) { return byName.contains(name); };
            for (const QString& name : NamesOfSlot(slot, QStringLiteral(".WAV"), exists, -1, &root))
                ordered[slot] << byName.take(name);
            for (const QString& fileName : listed) {
                if (!ordered[slot].contains(fileName))
                    ordered[slot] << fileName;
            }
        }
        for (const QString& rival : SettleSlots(folder, take.key(), ordered, false).lczRivals)
            rivals.insert(rival);
    }
    return rivals;
}

FolderNameProbe::FolderNameProbe(const QString& folder, Listing listing, const struct stat* status)
    : m_czFolder(folder)
{
    const QString named = folder.isEmpty() ? QStringLiteral(".") : folder;
    if (listing == Listing::ReadNow)
        m_Names = ReadFolderNames(named);
    else if (listing != Listing::AskDisk)
        m_Names = KeptFolderNames(named, listing == Listing::KeptOnly, status);
    // Under a lock that keeps the folder as it is from every writer, a
    // listing read now holds its names; a share's mount may list from a
    // cache that lags behind the names it answers.
    if (!m_Names && (listing == Listing::KeptOrRead || (listing == Listing::KeptOrReadHeld && !FolderFindsNamesByIndex(named))))
        m_Names = ReadFolderNames(named);
}

namespace {
std::atomic<quint64> gNamesAskedOfDisk{0};

bool AskDisk(const QString& path)
{
    gNamesAskedOfDisk.fetch_add(1, std::memory_order_relaxed);
    return QFileInfo::exists(path);
}
}  // namespace

bool FolderNameProbe::Exists(const QString& name) const
{
    if (!m_Names)
        return AskDisk(m_czFolder + name);
    // A name listed only in another case is asked of the file system, which
    // may or may not tell cases apart.
    return m_Names->exact.contains(name)
           || (m_Names->folded.contains(name.toLower()) && AskDisk(m_czFolder + name));
}

quint64 FolderNameProbe::NamesAskedOfDisk()
{
    return gNamesAskedOfDisk.load(std::memory_order_relaxed);
}

int FolderNameProbe::CountListed(const QString& prefix, const QString& suffix) const
{
    if (!m_Names)
        return -1;
    // A name's lower case begins and ends with the lower case of its ends.
    const QString first = prefix.toLower();
    const QString last = suffix.toLower();
    const QStringList& sorted = m_Names->sortedFolded;
    int count = 0;
    for (auto name = std::lower_bound(sorted.begin(), sorted.end(), first);
         name != sorted.end() && name->startsWith(first); ++name) {
        if (name->size() >= first.size() + last.size() && name->endsWith(last))
            ++count;
    }
    return count;
}

bool FindTakeFamilyOnDisk(const QString& takePath, const QString& extension, tyTakeFamily* family)
{
    QString folder;
    QString root;
    SplitTakePath(takePath, extension, &folder, &root);
    return FindTakeFamilyOnDisk(takePath, extension, FolderNameProbe(folder), family);
}

bool FindTakeFamilyOnDisk(const QString& takePath, const QString& extension, const FolderNameProbe& names,
                          tyTakeFamily* family, bool everyForm)
{
    QString folder;
    QString root;
    SplitTakePath(takePath, extension, &folder, &root);
    return FindTakeFamily(takePath, extension, [&names](const QString& name) { return names.Exists(name); },
                          family, names.CountListed(root, QLatin1Char('.') + extension), everyForm);
}

bool FindTakeFamilyInListing(const QString& takePath, const QString& extension,
                             const MyFileInfoList& listing, tyTakeFamily* family)
{
    QString folder;
    QString root;
    SplitTakePath(takePath, extension, &folder, &root);
    // The listing is sorted, so the files of one take id stand together.
    QSet<QString> names;
    const QString id = root.left(6);
    const QString dotExt = QLatin1Char('.') + extension;
    int findable = 0;
    for (int i = listing.FindFileId(id); i >= 0 && i < listing.count(); ++i) {
        const QString name = listing.GetFileName(i);
        if (!name.startsWith(id))
            break;
        names.insert(name);
        if (name.startsWith(root) && name.endsWith(dotExt) && name.size() >= root.size() + dotExt.size())
            ++findable;
    }
    return FindTakeFamily(takePath, extension,
                          [&names](const QString& name) { return names.contains(name); }, family, findable);
}

QString TakePathOfFile(const QString& filePath, const QString& extension)
{
    QString folder;
    QString name;
    SplitTakePath(filePath, extension, &folder, &name);
    const TakeNaming::tyTrackName split = TakeNaming::SplitTrackName(name, TakeNaming::Rule::Load);
    return split.bTrack && !split.czRoot.isEmpty() ? folder + split.czRoot : filePath;
}

bool IsProcessedName(const QString& baseName)
{
    static const char* const kSuffixes[] = {"P7", "MX", "Q7", "QX", "S7", "SX"};
    for (const char* suffix : kSuffixes) {
        if (baseName.endsWith(QLatin1String(suffix)))
            return true;
    }
    return false;
}

bool JoinsFamily(tyTrackFileHead::Kind kind)
{
    return kind != tyTrackFileHead::WholeTake;
}

quint32 MembersLeftOut(quint32 present, quint32 strangers)
{
    return strangers == present ? 0 : strangers;
}


namespace {
QString BaseNameOf(const QString& fileName)
{
    const int dot = fileName.lastIndexOf(QLatin1Char('.'));
    return dot >= 0 ? fileName.left(dot) : fileName;
}
}  // namespace

tyListedFile ListedFileOf(const QString& folder, const QString& fileName, const tyListedFile* earlier, bool rival)
{
    QString take;
    const TakeNaming::FileKind kind = TakeNaming::ClassifyBaseName(BaseNameOf(fileName), &take);
    return ListedFileOf(folder, fileName, kind, take, earlier, kLengthUnasked, nullptr, rival);
}

namespace {
// A file named as a mono track that is no member of its family, by what
// its head holds or by its name: a take by itself under its base name.
tyListedFile& ListedAlone(tyListedFile& listed, const QString& fileName, const tyTrackFileHead& head)
{
    listed.bAlone = true;
    listed.nSlots = 0;
    listed.bMember = false;
    if (head.nChannels > 1)
        listed.eKind = TakeNaming::FileKind::Poly;
    listed.czTake = BaseNameOf(fileName);
    return listed;
}
}  // namespace

tyListedFile ListedFileOf(const QString& folder, const QString& fileName, TakeNaming::FileKind kind, QString take,
                          const tyListedFile* earlier, qint64 length, const tyTrackFileHead* readAhead,
                          bool rival)
{
    tyListedFile listed;
    listed.eKind = kind;
    listed.czTake = std::move(take);
    if (listed.eKind != TakeNaming::FileKind::Mono)
        return listed;
    listed.czFamily = listed.czTake;
    // Most files of a day join by their length alone: their path is made
    // only where it is asked.
    const auto path = [&] { return folder + fileName; };
    // The slot the load finds this file in: none for a track it never
    // reads, another file's when it is a rival of the file that holds it
    // or an earlier member holds it.
    const int dot = fileName.lastIndexOf(QLatin1Char('.'));
    const int slot = TakeNaming::LoadTrackSlot(QStringView(fileName).left(dot >= 0 ? dot : fileName.size()));
    if (earlier && earlier->bAlone)
        earlier = nullptr;
    const quint32 held = earlier ? earlier->nSlots : 0;
    if (slot < 0 || rival || (held & (1u << slot)))
        return ListedAlone(listed, fileName, readAhead ? *readAhead : KeptOrReadTrackFileHead(folder, fileName));
    listed.nSlots = held | (1u << slot);
    listed.bMember = earlier && earlier->bMember;
    // A file whose head a reader (its take's load) kept is judged by it,
    // as that reader judged it.
    tyTrackFileHead head;
    const bool kept = !readAhead && KeptTrackFileHead(folder, fileName, &head);
    // Never joined by the length of another take's file: it tells nothing
    // of this one's.
    if (!kept && earlier && earlier->eClaim != SlotClaim::OtherTake && earlier->nLength >= 0
        && (length == kLengthUnasked ? RegularFileLength(path()) : length) == earlier->nLength) {
        listed.nLength = earlier->nLength;
        listed.czRecording = earlier->czRecording;
        return listed;
    }
    if (!kept)
        head = readAhead ? *readAhead : ReadTrackFileHead(path());
    // Another take's file after a member of this one is left out by the
    // load as another maker's is, and so is one naming another take than
    // the files of a take renamed by hand before it.
    const SlotClaim claim = ClaimOnSlot(head, listed.czFamily.left(6));
    if (head.eKind == tyTrackFileHead::RecorderMono) {
        listed.czNamed = head.czTakeId;
        listed.nTrack = head.nTrack;
    }
    const QString recording = earlier ? earlier->czRecording : QString();
    const bool renamed = !listed.bMember && claim == SlotClaim::OtherTake;
    if (!JoinsFamily(head.eKind) || (listed.bMember && claim == SlotClaim::OtherTake)
        || (renamed && !recording.isEmpty() && head.czTakeId != recording))
        return ListedAlone(listed, fileName, head);
    // A copy of a member: its bext tags the track a member before it holds.
    if ((claim == SlotClaim::Member || renamed) && head.nTrack >= 0 && head.nTrack != slot
        && (held & (1u << head.nTrack)))
        return ListedAlone(listed, fileName, head);
    if (renamed)
        listed.czRecording = recording.isEmpty() ? head.czTakeId : recording;
    listed.nLength = head.nLength;
    listed.eClaim = claim;
    listed.bMember = listed.bMember || claim == SlotClaim::Member;
    return listed;
}
