#include "take/daylisting.h"

#include "foundation/spreadwork.h"
#include "foundation/takenaming.h"
#include "soundfile/filestatus.h"
#include "soundfile/headwindows.h"
#include "soundfile/keptheads.h"
#include "soundfile/soundfile.h"
#include "take/takeverdict.h"

#include <QFile>
#include <QFileInfo>
#include <QHash>

#include <sys/stat.h>

#include <algorithm>
#include <vector>

namespace {
const QLatin1String kDotWav(".WAV");

// A ".WAV" file's name the load reads as a track of a take.
bool IsLoadTrackName(const QString& fileName)
{
    return fileName.size() > 4 && TakeNaming::LoadTrackSlot(QStringView(fileName).chopped(4)) >= 0;
}

// Whether anything at all stands under the name, a link that leads nowhere too.
bool EntryStands(const QString& path)
{
    struct stat info;
    return ::lstat(QFile::encodeName(path).constData(), &info) == 0;
}

// What one listing works on: a ".WAV" regular file by its read, or by its
// length, with what its name says.
struct tyDayFile {
    int nEntry = -1;          // in the sorted entries
    TakeNaming::FileKind eNamed = TakeNaming::FileKind::None;
    QString czFamily;
    qint64 nLength = kLengthUnasked;
};

// The jobs of the judging that read files: each mono family's files in
// name order (a family's names mostly stand together; one whose names
// another family's divide, "T1-03, T1.5_01, T1_01", is still one), and each
// file named as a track the load reads but as no take. Job j's files are
// order[starts[j]] .. order[starts[j + 1] - 1].
struct tyJudgingJobs {
    std::vector<int> order;
    std::vector<int> starts;
    int Count() const { return int(starts.size()) - 1; }
};

tyJudgingJobs JudgingJobsOf(const std::vector<tyDayFile>& files)
{
    // Each file's job first, then the files placed job by job.
    std::vector<int> jobOf(files.size(), -1);
    std::vector<int> sizes;
    QHash<QString, int> families;
    int current = -1;
    const QString* currentFamily = nullptr;
    for (size_t i = 0; i < files.size(); ++i) {
        const tyDayFile& file = files[i];
        if (file.eNamed == TakeNaming::FileKind::None) {
            jobOf[i] = int(sizes.size());
            sizes.push_back(1);
            continue;
        }
        if (file.eNamed != TakeNaming::FileKind::Mono)
            continue;
        if (!currentFamily || *currentFamily != file.czFamily) {
            const auto found = families.constFind(file.czFamily);
            if (found == families.constEnd()) {
                current = int(sizes.size());
                families.insert(file.czFamily, current);
                sizes.push_back(0);
            } else {
                current = found.value();
            }
            currentFamily = &file.czFamily;
        }
        jobOf[i] = current;
        ++sizes[size_t(current)];
    }
    tyJudgingJobs jobs;
    jobs.starts.resize(sizes.size() + 1);
    jobs.starts[0] = 0;
    for (size_t j = 0; j < sizes.size(); ++j)
        jobs.starts[j + 1] = jobs.starts[j] + sizes[j];
    jobs.order.resize(size_t(jobs.starts.back()));
    std::vector<int> next(jobs.starts.begin(), jobs.starts.end() - 1);
    for (size_t i = 0; i < files.size(); ++i) {
        if (jobOf[i] >= 0)
            jobs.order[size_t(next[size_t(jobOf[i])]++)] = int(i);
    }
    return jobs;
}

const QString& NameOf(const tyDayListing& listing, const std::vector<tyDayFile>& files, size_t f)
{
    return listing.entries.at(files[f].nEntry).czName;
}

// A family's file listed as a take by itself, under its base name.
void ListApart(tyListedFile& file, const QString& name)
{
    file.bAlone = true;
    file.nSlots = 0;
    file.czTake = name.chopped(4);
}

void ListApart(tyDayListing& listing, const std::vector<tyDayFile>& files, int f)
{
    ListApart(listing.judged[f], NameOf(listing, files, size_t(f)));
}

// The files named as a track only the load reads ("T1_A"), by the root
// whose take reads them.
using tyLoadTracks = QHash<QString, QVector<int>>;
tyLoadTracks LoadTracksOf(const tyDayListing& listing, const std::vector<tyDayFile>& files)
{
    tyLoadTracks loadTracks;
    for (size_t f = 0; f < files.size(); ++f) {
        const QString& name = NameOf(listing, files, f);
        if (files[f].eNamed == TakeNaming::FileKind::None && IsLoadTrackName(name))
            loadTracks[TakeNaming::SplitTrackName(name.chopped(4), TakeNaming::Rule::Load).czRoot].append(int(f));
    }
    return loadTracks;
}

// A family's files whose bext tags the track another of its files holds in
// that track's own slot are copies, listed apart as the load leaves them
// out (SlotsLeftOut), wherever they sort. The family's files: those named
// as its tracks, and as tracks only the load reads ("T1_A"). Files joined
// by their length unread tell no track.
void ListCopiesApart(tyDayListing& listing, const std::vector<tyDayFile>& files, const tyJudgingJobs& jobs,
                     const tyLoadTracks& loadTracks)
{
    for (int job = 0; job < jobs.Count(); ++job) {
        const int start = jobs.starts[size_t(job)];
        const int end = jobs.starts[size_t(job) + 1];
        if (files[size_t(jobs.order[size_t(start)])].eNamed != TakeNaming::FileKind::Mono)
            continue;
        const QVector<int> lettered = loadTracks.value(files[size_t(jobs.order[size_t(start)])].czFamily);
        // Each of the family's files whose head told a track, with its slot.
        const auto eachTagged = [&](const std::function<void(int f, int slot)>& visit) {
            const auto one = [&](int f) {
                const tyListedFile& file = listing.judged.at(f);
                if (!file.bAlone && file.nTrack >= 0)
                    visit(f, TakeNaming::LoadTrackSlot(QStringView(NameOf(listing, files, size_t(f))).chopped(4)));
            };
            for (int at = start; at < end; ++at)
                one(jobs.order[size_t(at)]);
            for (const int f : lettered)
                one(f);
        };
        quint32 ownTracks = 0;   // slots held by a file tagging its own track
        int tagged = 0;
        eachTagged([&](int f, int slot) {
            ++tagged;
            ownTracks |= slot >= 0 && slot == listing.judged.at(f).nTrack ? 1u << slot : 0;
        });
        if (tagged < 2 || !ownTracks)
            continue;
        eachTagged([&](int f, int slot) {
            const int track = listing.judged.at(f).nTrack;
            if ((ownTracks & (1u << track)) && slot != track)
                ListApart(listing, files, f);
        });
    }
}

// Beside a member of a family naming the take, its files of another take
// named as tracks only the load reads ("T1_A") stand alone, as the load
// leaves them out, and so do its other files of another take beside such
// a member. A family with no member naming the take: where none of its
// files is a member by what it holds (another take's, cut short before
// its fmt, empty), beside a file named like the take, the load reads that
// file as the take (FindTakeFamily), so it is listed as the take, and each
// of the family's files as a take by itself. A file that joined an earlier
// one by its length unread has its own head read for it then.
void ListTakeNamedFiles(const QString& folder, tyDayListing& listing, const std::vector<tyDayFile>& files,
                        const tyJudgingJobs& jobs, const std::vector<int>& firstMember, const tyLoadTracks& loadTracks)
{
    // The families one of whose tracks only the load reads is a member.
    QSet<QString> withMember;
    for (auto root = loadTracks.cbegin(); root != loadTracks.cend(); ++root) {
        for (const int f : root.value()) {
            const tyListedFile& file = listing.judged.at(f);
            if (!file.bAlone && file.eClaim == SlotClaim::Member)
                withMember.insert(root.key());
        }
    }
    const auto byName = [](const tyDayEntry& entry, const QString& name) { return entry.czName < name; };
    for (int job = 0; job < jobs.Count(); ++job) {
        const int start = jobs.starts[size_t(job)];
        const int end = jobs.starts[size_t(job) + 1];
        if (files[size_t(jobs.order[size_t(start)])].eNamed != TakeNaming::FileKind::Mono)
            continue;
        const QString family = listing.judged.at(jobs.order[size_t(start)]).czFamily;
        if (firstMember[size_t(job)] >= 0 || withMember.contains(family)) {
            for (const int f : loadTracks.value(family)) {
                if (listing.judged.at(f).eClaim == SlotClaim::OtherTake)
                    listing.judged[f].bAlone = true;
            }
            for (int at = start; at < end && firstMember[size_t(job)] < 0; ++at) {
                const int f = jobs.order[size_t(at)];
                if (!listing.judged.at(f).bAlone && listing.judged.at(f).eClaim == SlotClaim::OtherTake)
                    ListApart(listing, files, f);
            }
            continue;
        }
        const QString named = family + kDotWav;
        const auto entry = std::lower_bound(listing.entries.cbegin(), listing.entries.cend(), named, byName);
        if (entry == listing.entries.cend() || entry->czName != named || entry->nJudged < 0
            || listing.judged.at(entry->nJudged).eKind != TakeNaming::FileKind::None)
            continue;
        if (!std::all_of(jobs.order.begin() + start, jobs.order.begin() + end, [&](int f) {
                const tyListedFile& file = listing.judged.at(f);
                return file.bAlone || file.eClaim == SlotClaim::OtherTake || file.nLength == 0
                       || ClaimOnSlot(KeptOrReadTrackFileHead(folder, NameOf(listing, files, size_t(f))), family.left(6))
                              != SlotClaim::Member;
            }))
            continue;
        bool listed = false;   // the family is listed as a take
        for (int at = start; at < end; ++at) {
            const int f = jobs.order[size_t(at)];
            if (!listing.judged.at(f).bAlone) {
                listed = true;
                ListApart(listing, files, f);
            }
        }
        if (listed) {
            for (const int f : loadTracks.value(family))
                listing.judged[f].bAlone = true;
            tyListedFile& take = listing.judged[entry->nJudged];
            take.eKind = TakeNaming::FileKind::Poly;
            take.czTake = family;
        }
    }
}

// A family's files that are no member by their heads, in slots no member
// holds, where its first member's metadata lists them (HeldOutSlots): the
// take's load holds them out in place of their members and names them in
// the take's line, so they are listed with the take, as one of the
// members' length is, joined unread. The family's files: those named as
// its tracks, and as tracks only the load reads ("T1_A"). The first
// member's iXML is read only for a family with such a file.
void ListHeldOutWithFamily(tyDayListing& listing, const QString& folder, const std::vector<tyDayFile>& files,
                           const tyJudgingJobs& jobs, const tyLoadTracks& loadTracks)
{
    for (int job = 0; job < jobs.Count(); ++job) {
        const int start = jobs.starts[size_t(job)];
        if (files[size_t(jobs.order[size_t(start)])].eNamed != TakeNaming::FileKind::Mono)
            continue;
        QVector<int> family(jobs.order.begin() + start, jobs.order.begin() + jobs.starts[size_t(job) + 1]);
        family += loadTracks.value(files[size_t(jobs.order[size_t(start)])].czFamily);
        quint32 keptSlots = 0;
        int kept = 0;
        int first = -1;   // the kept file of the lowest slot
        int firstSlot = 24;
        quint32 leftOut = 0;
        int leftOutFile[24];
        for (const int f : qAsConst(family)) {
            const QString& name = NameOf(listing, files, size_t(f));
            const int slot = TakeNaming::LoadTrackSlot(QStringView(name).chopped(4));
            if (slot < 0)
                continue;
            if (!listing.judged.at(f).bAlone) {
                if (slot < firstSlot) {
                    first = f;
                    firstSlot = slot;
                }
                keptSlots |= 1u << slot;
                ++kept;
            } else if (!listing.rivals.contains(name) && !(leftOut & (1u << slot))) {
                leftOut |= 1u << slot;
                leftOutFile[slot] = f;
            }
        }
        leftOut &= ~keptSlots;
        if (!leftOut || first < 0)
            continue;
        QSoundFile member;
        member.SetPath(folder + NameOf(listing, files, size_t(first)));
        bool notRegular = false;
        if (!member.OpenFound(&notRegular))
            continue;
        const bool read = member.ReadChunks(false, true) && member.GetiXMLFileInfos();
        member.Close();
        const quint32 held = read ? HeldOutSlots(leftOut, kept, member) : 0;
        const tyListedFile& joined = listing.judged.at(first);
        for (int slot = 0; slot < 24; ++slot) {
            if (!(held & (1u << slot)))
                continue;
            const int f = leftOutFile[slot];
            tyListedFile& file = listing.judged[f];
            file.bAlone = false;
            if (files[size_t(f)].eNamed == TakeNaming::FileKind::None)
                continue;   // read with its root's take
            file.eKind = TakeNaming::FileKind::Mono;
            file.czTake = joined.czTake;
            file.nSlots = joined.nSlots | (1u << slot);
            file.bMember = joined.bMember;
        }
    }
}
}  // namespace

namespace {
// A family none of whose files names its take (a take renamed by hand),
// judged in name order by the take its first file names: where most of
// its files name another (RecordingOf, as the load finds it), judged again
// by that one, so that another take's file sorting first never carries
// the family's own files away from it.
template <typename Judge>
void JudgeByRecording(const tyDayListing& listing, const std::vector<tyDayFile>& files, int start, int end,
                      const tyJudgingJobs& jobs, const Judge& judge)
{
    tyTrackFileHead heads[24];
    quint32 present = 0;
    QString recording;   // as judged
    for (int at = start; at < end; ++at) {
        const int f = jobs.order[size_t(at)];
        const tyListedFile& file = listing.judged.at(f);
        const QString& name = NameOf(listing, files, size_t(f));
        const int slot = TakeNaming::LoadTrackSlot(QStringView(name).chopped(4));
        if (slot < 0 || file.czNamed.isEmpty() || listing.rivals.contains(name) || (present & (1u << slot)))
            continue;
        heads[slot].eKind = tyTrackFileHead::RecorderMono;
        heads[slot].czTakeId = file.czNamed;
        present |= 1u << slot;
        if (recording.isEmpty() && !file.bAlone)
            recording = file.czRecording;
    }
    if (present == 0 || recording.isEmpty())
        return;
    const tyListedFile& firstFile = listing.judged.at(jobs.order[size_t(start)]);
    const QString most = RecordingOf(present, heads, firstFile.czFamily.left(6));
    if (most == recording || most == firstFile.czFamily.left(6))
        return;
    tyListedFile seed;
    seed.eKind = TakeNaming::FileKind::Mono;
    seed.czFamily = firstFile.czFamily;
    seed.eClaim = SlotClaim::OtherTake;
    seed.czRecording = most;
    const tyListedFile* earlier = &seed;
    for (int at = start; at < end; ++at) {
        const tyListedFile& file = judge(jobs.order[size_t(at)], earlier);
        if (!file.bAlone)
            earlier = &file;
    }
}
}  // namespace

void SortByName(QVector<tyDayEntry>* entries, QVector<int>* sortedAt)
{
    // While they are sorted, an entry's nJudged holds its place as given.
    if (sortedAt) {
        tyDayEntry* const given = entries->data();
        for (int i = 0; i < entries->size(); ++i)
            given[i].nJudged = i;
    }
    const auto before = [](const tyDayEntry& a, const tyDayEntry& b) { return a.czName < b.czName; };
    // A list of names alone mostly comes in name order already.
    if (!std::is_sorted(entries->cbegin(), entries->cend(), before))
        std::sort(entries->begin(), entries->end(), before);
    if (!sortedAt)
        return;
    sortedAt->resize(entries->size());
    int* const placed = sortedAt->data();
    tyDayEntry* const sorted = entries->data();
    for (int at = 0; at < entries->size(); ++at) {
        placed[sorted[at].nJudged] = at;
        sorted[at].nJudged = -1;
    }
}

bool NotRegularByRead(const tyDayEntry& entry)
{
    return (entry.eKind == tyDayEntry::Kind::Folder || entry.eKind == tyDayEntry::Kind::Other)
           && entry.czName.endsWith(kDotWav) && !entry.czName.startsWith(QLatin1Char('.'));
}

tyListedFile JudgeDayFile(const QString& folder, const QString& fileName, TakeNaming::FileKind named, QString family,
                          const tyListedFile* earlier, qint64 length, const tyTrackFileHead* head, bool rival)
{
    tyListedFile listed = ListedFileOf(folder, fileName, named, std::move(family), earlier, length, head, rival);
    // Whether such a file is a member is known by its head, before the
    // take's load as after it; a rival of the file that holds its slot is
    // none.
    if (named == TakeNaming::FileKind::None && IsLoadTrackName(fileName)) {
        const tyTrackFileHead read = head ? *head : ReadTrackFileHead(folder + fileName);
        listed.bAlone = rival || !JoinsFamily(read.eKind);
        const QString root = TakeNaming::SplitTrackName(fileName.chopped(4), TakeNaming::Rule::Load).czRoot;
        listed.eClaim = ClaimOnSlot(read, root.left(6));
        if (read.eKind == tyTrackFileHead::RecorderMono) {
            listed.czNamed = read.czTakeId;
            listed.nTrack = read.nTrack;
        }
    }
    return listed;
}

tyDayListing ListDay(const QString& folder, QVector<tyDayEntry> read, int threads,
                     const std::function<void(const QVector<tyDayEntry>& sorted)>& alongside)
{
    tyDayListing listing;
    // Hidden entries are not listed (a Mac's "._" companion of a take's
    // file is no take).
    read.erase(std::remove_if(read.begin(), read.end(),
                              [](const tyDayEntry& entry) { return entry.czName.startsWith(QLatin1Char('.')); }),
               read.end());
    // The ".WAV" names that may be regular files: their lengths are asked
    // in the order they were read.
    QStringList asked;
    QVector<int> askedEntry;
    asked.reserve(read.size());
    askedEntry.reserve(read.size());
    for (int i = 0; i < read.size(); ++i) {
        tyDayEntry& entry = read[i];
        if (!entry.czName.endsWith(kDotWav))
            continue;
        if (NotRegularByRead(entry)) {
            entry.bNotRegular = true;
            continue;
        }
        askedEntry.append(i);
        asked.append(entry.czName);
    }
    // This thread sorts and classifies the names meanwhile, and finds the
    // files that hold no slot of their take. The complete base name: a take
    // name may hold dots ("SC.1.2PX.WAV"). The files of a family share its
    // name, as their rows do.
    QVector<int> sortedAt;   // of each entry read: its place in name order
    std::vector<TakeNaming::FileKind> named;   // of each entry in name order
    std::vector<QString> families;
    const QVector<qint64> lengths = RegularFileLengthsIn(folder, asked, threads, [&] {
        SortByName(&read, &sortedAt);
        listing.entries = std::move(read);
        named.assign(size_t(listing.entries.size()), TakeNaming::FileKind::None);
        families.resize(size_t(listing.entries.size()));
        std::vector<bool> isAsked(size_t(listing.entries.size()), false);
        for (const int i : askedEntry)
            isAsked[size_t(sortedAt.at(i))] = true;
        const QString* last = nullptr;
        for (int at = 0; at < listing.entries.size(); ++at) {
            if (!isAsked[size_t(at)])
                continue;
            QString& family = families[size_t(at)];
            named[size_t(at)] = TakeNaming::ClassifyBaseName(QStringView(listing.entries.at(at).czName).chopped(4), &family);
            if (last && *last == family)
                family = *last;
            last = &family;
        }
        if (!asked.isEmpty())
            listing.rivals = SlotRivalsInListing(folder, asked);
        if (alongside)
            alongside(listing.entries);
    });
    // A name of no regular file but one that stands (a listing of names
    // alone tells no folder, pipe or link): no file of any take, nor a
    // rival of one.
    QVector<int> askedAt(listing.entries.size(), -1);   // of each entry in name order: its place among the asked
    bool standing = false;
    for (int k = 0; k < asked.size(); ++k) {
        const int at = sortedAt.at(askedEntry.at(k));
        if (lengths.at(k) < 0 && EntryStands(folder + asked.at(k))) {
            listing.entries[at].bNotRegular = true;
            standing = true;
        }
        askedAt[at] = k;
    }
    if (standing) {
        QStringList regular;
        for (int k = 0; k < asked.size(); ++k) {
            if (!listing.entries.at(sortedAt.at(askedEntry.at(k))).bNotRegular)
                regular.append(asked.at(k));
        }
        listing.rivals = SlotRivalsInListing(folder, regular);
    }
    std::vector<tyDayFile> files;
    files.reserve(size_t(asked.size()));
    for (int at = 0; at < listing.entries.size(); ++at) {
        const tyDayEntry& entry = listing.entries.at(at);
        if (entry.bNotRegular)
            listing.lczNotRegular.append(entry.czName);
        else if (const int k = askedAt.at(at); k >= 0) {
            listing.entries[at].nJudged = int(files.size());
            files.push_back({at, named[size_t(at)], std::move(families[size_t(at)]), lengths.at(k)});
        }
    }

    // Each family judged in name order, each file by the family's last
    // member before it; the families side by side.
    listing.judged.resize(int(files.size()));
    tyListedFile* const judged = listing.judged.data();   // detached here, once: each worker writes its own items
    const auto judge = [&](int f, const tyListedFile* earlier) -> const tyListedFile& {
        const tyDayFile& file = files[size_t(f)];
        const QString& name = listing.entries.at(file.nEntry).czName;
        judged[f] = JudgeDayFile(folder, name, file.eNamed, file.czFamily, earlier, file.nLength, nullptr,
                                 listing.rivals.contains(name));
        return judged[f];
    };
    const tyJudgingJobs jobs = JudgingJobsOf(files);
    std::vector<int> firstMember(size_t(jobs.Count()), -1);   // of each family's job: its first member naming it
    SpreadWork(jobs.Count(), threads, [&](int job, int) {
        const int start = jobs.starts[size_t(job)];
        const int end = jobs.starts[size_t(job) + 1];
        const tyListedFile* earlier = nullptr;   // the family's last member so far
        int first = -1;
        for (int at = start; at < end; ++at) {
            const tyListedFile& file = judge(jobs.order[size_t(at)], earlier);
            if (!file.bAlone)
                earlier = &file;
            if (first < 0 && file.bMember)
                first = at;
        }
        if (first < 0) {
            JudgeByRecording(listing, files, start, end, jobs, judge);
            return true;
        }
        firstMember[size_t(job)] = jobs.order[size_t(first)];
        const tyListedFile member = FirstMemberToJudgeBy(judged[jobs.order[size_t(first)]]);
        for (int at = start; at < first; ++at)
            judge(jobs.order[size_t(at)], &member);
        return true;
    });
    const tyLoadTracks loadTracks = LoadTracksOf(listing, files);
    ListCopiesApart(listing, files, jobs, loadTracks);
    ListHeldOutWithFamily(listing, folder, files, jobs, loadTracks);
    ListTakeNamedFiles(folder, listing, files, jobs, firstMember, loadTracks);
    // A mix or poly file is its own take, told by its name alone.
    for (size_t f = 0; f < files.size(); ++f) {
        if (files[f].eNamed == TakeNaming::FileKind::Mix || files[f].eNamed == TakeNaming::FileKind::Poly)
            judge(int(f), nullptr);
    }
    return listing;
}

namespace {
// What every name ListDay judges a file beside begins with: a mono
// track's family name, a track only the load reads's root ("T1_A"), else
// the file's base name (a file named like the take, a mix or poly file).
QString JudgedBesideNamesOf(const QString& fileName)
{
    const QString base = fileName.endsWith(kDotWav) ? fileName.chopped(4) : fileName;
    QString family;
    if (TakeNaming::ClassifyBaseName(base, &family) == TakeNaming::FileKind::Mono)
        return family;
    const TakeNaming::tyTrackName track = TakeNaming::SplitTrackName(base, TakeNaming::Rule::Load);
    return track.bTrack ? track.czRoot : base;
}
}  // namespace

QVector<int> EntriesJudgedBeside(int count, const std::function<QString(int)>& nameAt, const QStringList& names)
{
    QSet<QString> starts;
    QStringList pending;
    const auto add = [&](const QString& name) {
        const QString start = JudgedBesideNamesOf(name);
        if (!starts.contains(start)) {
            starts.insert(start);
            pending.append(start);
        }
    };
    for (const QString& name : names)
        add(name);
    // The names beginning alike stand together in name order; each may
    // name a family of a shorter name ("T_1.WAV" of "T"), which is taken too.
    QVector<int> entries;
    while (!pending.isEmpty()) {
        const QString start = pending.takeLast();
        int low = 0;
        for (int high = count; low < high;) {
            const int middle = low + (high - low) / 2;
            if (nameAt(middle) < start)
                low = middle + 1;
            else
                high = middle;
        }
        for (int at = low; at < count; ++at) {
            const QString name = nameAt(at);
            if (!name.startsWith(start))
                break;
            entries.append(at);
            add(name);
        }
    }
    std::sort(entries.begin(), entries.end());
    entries.erase(std::unique(entries.begin(), entries.end()), entries.end());
    return entries;
}

tyListedFile FirstMemberToJudgeBy(tyListedFile first)
{
    first.nSlots = 0;
    first.nLength = -1;
    return first;
}

void UnlistedDayFiles::AddListed(const tyListedFile& file)
{
    if (file.eKind == TakeNaming::FileKind::Mono && !file.bAlone)
        m_Families.insert(file.czFamily);
}

bool UnlistedDayFiles::Counts(const QString& fileName, const QString& path, const tyListedFile& file) const
{
    const QString base = fileName.endsWith(kDotWav) ? fileName.chopped(4) : fileName;
    const TakeNaming::tyTrackName track = TakeNaming::SplitTrackName(base, TakeNaming::Rule::Load);
    if (!track.bTrack || !m_Families.contains(track.czRoot) || file.bAlone)
        return true;
    // Left out by its take's load, by the head it kept.
    const int slash = path.lastIndexOf(QLatin1Char('/'));
    tyTrackFileHead head;
    return KeptTrackFileHead(path.left(slash + 1), path.mid(slash + 1), &head)
           && (!JoinsFamily(head.eKind) || LeftOutBesideMembers(ClaimOnSlot(head, track.czRoot.left(6))));
}

bool WalkedForWavFiles(const QString& dayFolder, const QString& name)
{
    if (name.endsWith(kDotWav))
        return false;
    const QFileInfo info(dayFolder + name);
    if (!info.isSymLink())
        return true;
    QString target = info.canonicalFilePath();
    if (target.isEmpty())
        return false;
    if (!target.endsWith(QLatin1Char('/')))
        target += QLatin1Char('/');
    const QString day = QFileInfo(dayFolder).canonicalFilePath() + QLatin1Char('/');
    return !day.startsWith(target);
}

QString NotRegularLine(const QStringList& names)
{
    const int kNamed = 3;
    if (names.isEmpty())
        return QString();
    if (names.size() == 1)
        return QStringLiteral("%1 is not a regular file: not listed.").arg(names.first());
    if (names.size() <= kNamed)
        return QStringLiteral("%1 are not regular files: not listed.").arg(names.join(QStringLiteral(", ")));
    return QStringLiteral("%1 entries named like WAV files are not regular files: not listed (%2, …).")
        .arg(names.size())
        .arg(QStringList(names.mid(0, kNamed)).join(QStringLiteral(", ")));
}
