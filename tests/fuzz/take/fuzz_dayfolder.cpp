// A day folder of takes FZD001 and FZD002 as cards hold them: members,
// another take's files, another maker's, empty and cut files, two-channel
// files, byte copies and second names of a file, each named in any form the
// loader reads ('_', '-', '#', '+'; a two-digit or a one-character track)
// or like the take itself. Every reader must name the same files as a
// take's (its members, and the files it holds out though its metadata
// lists them): the day listing (in any order of the names, on one thread
// and on several, before the takes' loads and after them), the window's
// load of each listed take, the full load the copy, process and report
// jobs use, and the save right after a load, which must not find the
// files changed. A take whose files do not agree loads nowhere.
//
// One difference is known and kept: a file of the take's members' very
// length named for a slot none of them holds (another maker's, another
// take's, a member's copy) is listed with the take until a load of the take has read it and
// left it out; the views list it by itself from then on (the listing reads
// one file's head per take).
//
// The input, four bytes a file (at most 16 files):
//   byte 0: bit 0 the take of the name (FZD001, FZD002), the rest modulo 9
//           what the file holds (see Held);
//   byte 1: modulo 10, the slot of the name (tracks 1-7, 9, 10, 24);
//   byte 2: bits 0-1 the separator, bit 2 a one-character track number,
//           bits 3-5 all set: named like the take itself ("FZD001.WAV");
//   byte 3: what the kind asks for (where a cut ends, which file is
//           copied, another take's or maker's length ...).
#include "foundation/platform/diskprobes.h"
#include "foundation/takenaming.h"
#include "soundfile/keptheads.h"
#include "take/daylisting.h"
#include "take/soundperform.h"
#include "tests/support/fixturevariants.h"
#include "tests/support/fixturewriter.h"
#include "tests/support/riffbytes.h"
#include "tests/support/scratchdir.h"

#include <QCoreApplication>
#include <QDir>
#include <QFileInfo>
#include <QMap>

#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <memory>
#include <set>
#include <unistd.h>

namespace {

enum class Held { Member, Cut, OtherTake, OtherMaker, Empty, TwoChannel, Copy, BlankedReference, Link, Count };

const char* const kHeldNames[] = {"member",          "cut member",           "another take's file",
                                  "another maker's", "empty",                "two-channel file",
                                  "byte copy of",    "member, bext reference blanked", "second name of"};
const int kSlots[] = {0, 1, 2, 3, 4, 5, 6, 8, 9, 23};
const quint32 kFrames = 480;

struct tyFuzzFile {
    int nTake = 0;
    Held eHeld = Held::Member;
    int nSlot = 0;
    QString czName;
    quint8 nExtra = 0;
    int nSource = -1;   // a copy's or a second name's file
};

std::unique_ptr<fixture::ScratchDir>& Scratch()
{
    static std::unique_ptr<fixture::ScratchDir> scratch;
    return scratch;
}

QString TakeId(int take) { return take ? QStringLiteral("FZD002") : QStringLiteral("FZD001"); }

QString FileName(int take, int slot, quint8 form)
{
    if ((form >> 3 & 7) == 7)
        return TakeId(take) + QStringLiteral(".WAV");
    const char separators[] = {'_', '-', '#', '+'};
    const QString track = form & 4 ? QString(QLatin1Char(slot < 9 ? char('1' + slot) : char('A' + slot - 9)))
                                   : QStringLiteral("%1").arg(slot + 1, 2, 10, QLatin1Char('0'));
    return TakeId(take) + QLatin1Char(separators[form & 3]) + track + QStringLiteral(".WAV");
}

// The files of the input, each name once; copies and second names of no
// earlier file are members.
QList<tyFuzzFile> ReadLayout(const uint8_t* data, size_t size)
{
    QList<tyFuzzFile> files;
    QSet<QString> names;
    for (size_t at = 0; at + 4 <= size && files.size() < 16; at += 4) {
        tyFuzzFile file;
        file.nTake = data[at] & 1;
        file.eHeld = Held((data[at] >> 1) % int(Held::Count));
        file.nSlot = kSlots[data[at + 1] % 10];
        file.czName = FileName(file.nTake, file.nSlot, data[at + 2]);
        file.nExtra = data[at + 3];
        if (names.contains(file.czName))
            continue;
        if (file.eHeld == Held::Copy || file.eHeld == Held::Link) {
            if (files.isEmpty())
                file.eHeld = Held::Member;
            else
                file.nSource = file.nExtra % files.size();
        }
        names.insert(file.czName);
        files.append(file);
    }
    return files;
}

// Each take's members alike: one spec of the slots its members are named for.
fixture::TakeSpec TakeOf(const QList<tyFuzzFile>& files, int take)
{
    std::set<int> named;
    for (const tyFuzzFile& file : files) {
        if (file.nTake == take
            && (file.eHeld == Held::Member || file.eHeld == Held::Cut || file.eHeld == Held::BlankedReference))
            named.insert(file.nSlot);
    }
    fixture::TakeSpec spec = fixture::MonoTake(TakeId(take), QList<int>(named.begin(), named.end()));
    spec.frames = kFrames;
    spec.ixmlBlock = 256;
    return spec;
}

QByteArray MemberBytes(const fixture::TakeSpec& spec, int slot)
{
    for (int i = 0; i < spec.tracks.size(); ++i) {
        if (spec.tracks.at(i).slot == slot)
            return fixture::BuildMonoFile(spec, i);
    }
    return QByteArray();
}

QByteArray BytesOf(const tyFuzzFile& file, const fixture::TakeSpec (&takes)[2], const QList<QByteArray>& written)
{
    const fixture::TakeSpec& take = takes[file.nTake];
    switch (file.eHeld) {
    case Held::Member:
        return MemberBytes(take, file.nSlot);
    case Held::Cut: {
        const QByteArray member = MemberBytes(take, file.nSlot);
        return member.left(int(qint64(member.size()) * file.nExtra / 256));
    }
    case Held::OtherTake: {
        fixture::TakeSpec other = fixture::MonoTake(file.nExtra & 1 ? TakeId(1 - file.nTake) : QStringLiteral("FZX009"),
                                                    {file.nSlot});
        other.frames = file.nExtra & 2 ? kFrames + kFrames / 2 : kFrames;
        other.ixmlBlock = take.ixmlBlock;
        other.note = QStringLiteral("Another take");
        return fixture::BuildMonoFile(other, 0);
    }
    case Held::OtherMaker:
    case Held::TwoChannel: {
        if (file.eHeld == Held::TwoChannel && file.nExtra & 1) {
            fixture::TakeSpec poly = fixture::PolyTake(take.id, {0, 1});
            poly.frames = kFrames;
            return fixture::BuildPolyFile(poly);
        }
        fixture::ForeignSpec foreign;
        foreign.channels = file.eHeld == Held::TwoChannel ? 2 : 1;
        foreign.bext = file.nExtra & 2;
        foreign.frames = kFrames;
        const QByteArray member = take.tracks.isEmpty() ? QByteArray() : fixture::BuildMonoFile(take, 0);
        if (file.nExtra & 1 && !member.isEmpty()) {
            const QByteArray alike = fixture::BuildForeignFileOfLength(foreign, member.size());
            if (!alike.isEmpty())
                return alike;
        }
        return fixture::BuildForeignFile(foreign);
    }
    case Held::Empty:
    case Held::Link:
    case Held::Count:
        return QByteArray();
    case Held::Copy:
        return written.at(file.nSource);
    case Held::BlankedReference: {
        QByteArray member = MemberBytes(take, file.nSlot);
        const int reference = member.indexOf("bext") + 8 + 256 + 32;
        member.replace(reference, 32, QByteArray(32, '\0'));
        return member;
    }
    }
    return QByteArray();
}

QString Describe(const QList<tyFuzzFile>& files, const QList<QByteArray>& written)
{
    QString text;
    for (int i = 0; i < files.size(); ++i) {
        const tyFuzzFile& file = files.at(i);
        text += QStringLiteral("  %1: %2").arg(file.czName, QLatin1String(kHeldNames[int(file.eHeld)]));
        if (file.nSource >= 0)
            text += QLatin1Char(' ') + files.at(file.nSource).czName;
        text += QStringLiteral(" (%1 bytes, byte 3 = %2)\n").arg(written.at(i).size()).arg(file.nExtra);
    }
    return text;
}

// What one listing said of each name: the take it stands for, and how.
QMap<QString, QString> Verdicts(const tyDayListing& listing)
{
    QMap<QString, QString> verdicts;
    for (const tyDayEntry& entry : listing.entries) {
        QString verdict = entry.bNotRegular ? QStringLiteral("no regular file") : QStringLiteral("not judged");
        if (entry.nJudged >= 0) {
            const tyListedFile& file = listing.judged.at(entry.nJudged);
            verdict = QStringLiteral("kind %1, take %2%3%4")
                          .arg(int(file.eKind))
                          .arg(file.czTake, file.bAlone ? QStringLiteral(", alone") : QString(),
                               listing.rivals.contains(entry.czName) ? QStringLiteral(", rival") : QString());
        }
        verdicts.insert(entry.czName, verdict);
    }
    return verdicts;
}

// The names two listings judged apart, each with both verdicts.
QString Differences(const QMap<QString, QString>& first, const QMap<QString, QString>& second)
{
    QString differs;
    for (auto name = first.cbegin(); name != first.cend(); ++name) {
        if (second.value(name.key()) != name.value())
            differs += QStringLiteral("\n    %1: %2, then %3").arg(name.key(), name.value(), second.value(name.key()));
    }
    return differs;
}

tyDayListing List(const QString& folder, const QStringList& names, int threads)
{
    QVector<tyDayEntry> read;
    for (const QString& name : names) {
        read.append(tyDayEntry());
        read.last().czName = name;
        read.last().eKind = tyDayEntry::Kind::File;
    }
    return ListDay(folder, std::move(read), threads);
}

// The takes a listing lists, each with the files it joins: a family's
// members (a file named as a track only the load reads, "T1_A", is one
// where it is no take by itself), a file alone by itself.
QMap<QString, QStringList> ListedTakes(const tyDayListing& listing)
{
    QMap<QString, QStringList> takes;
    QList<const tyDayEntry*> unlisted;
    for (const tyDayEntry& entry : listing.entries) {
        if (entry.nJudged < 0)
            continue;
        const tyListedFile& file = listing.judged.at(entry.nJudged);
        if (file.eKind != TakeNaming::FileKind::None)
            takes[file.czTake].append(entry.czName);
        else if (!file.bAlone)
            unlisted.append(&entry);
    }
    for (const tyDayEntry* entry : unlisted) {
        const TakeNaming::tyTrackName track
            = TakeNaming::SplitTrackName(entry->czName.chopped(4), TakeNaming::Rule::Load);
        if (track.bTrack && takes.contains(track.czRoot))
            takes[track.czRoot].append(entry->czName);
    }
    for (QStringList& members : takes)
        members.sort();
    return takes;
}

// The files a load names as the take's: its members, and the files it
// holds out (a member another program changed, which its line names).
QStringList LoadedFiles(const QSoundPerform& take)
{
    QStringList files = take.HeldOutMembers();
    for (int t = 0; t < QSoundPerform::kMaxTracks; ++t) {
        if (take.m_pbPresent[t])
            files << QFileInfo(take.m_SndFile[t].GetPath()).fileName();
    }
    files.sort();
    return files;
}

QString Said(bool loaded, const QSoundPerform& take)
{
    return loaded ? LoadedFiles(take).join(QLatin1Char(' '))
                        + QStringLiteral(" (status %1; held out: %2)")
                              .arg(take.m_nTakeStatus)
                              .arg(take.HeldOutMembers().join(QLatin1Char(' ')))
                  : QStringLiteral("no load: ") + take.LoadFailureText();
}

// The take as the window shows it, then loaded again and saved as an
// Apply saves it: the save must find the files the load found. What the
// readers said, or empty when they agree.
QString SaveCheck(const QString& takePath)
{
    QSoundPerform shown;
    QSoundPerform apply;
    if (!shown.QuickInitFiles(takePath, QStringLiteral("WAV"), nullptr, true)
        || !apply.QuickInitFiles(takePath, QStringLiteral("WAV"), nullptr, false))
        return QString();
    const QString changed = apply.MembersChangedSince(shown);
    if (!changed.isEmpty())
        return QStringLiteral("a second load finds another take: ") + changed;
    const int first = apply.GetFirstTrack();
    if (apply.m_pbPresent[first])
        apply.m_SndFile[first].SetiXMLNote(first, QStringLiteral("checked"));
    QSoundPerform::UpdateiXMLChunks(QVector<QSoundPerform*>{&apply}, false);
    const QString report = apply.SaveReport();
    if (report.contains(QStringLiteral("changed on disk")))
        return QStringLiteral("the save right after the load: ") + report;
    return QString();
}

// The files listed with a take that its loads left out and kept the heads
// of, of the length of a file listed with it that they kept: the
// listing joined them by their length.
QStringList JoinedUntilLoaded(const QString& folder, const QStringList& listed)
{
    QStringList joined;
    QSet<qint64> kept;
    for (const QString& name : listed) {
        tyTrackFileHead head;
        if (KeptTrackFileHead(folder, name, &head))
            joined << name;
        else
            kept.insert(QFileInfo(folder + name).size());
    }
    for (int i = joined.size() - 1; i >= 0; --i) {
        if (!kept.contains(QFileInfo(folder + joined.at(i)).size()))
            joined.removeAt(i);
    }
    return joined;
}

[[noreturn]] void Fail(const QString& what, const QList<tyFuzzFile>& files, const QList<QByteArray>& written)
{
    std::fprintf(stderr, "The readers disagree: %s\nThe day folder:\n%s", qPrintable(what),
                 qPrintable(Describe(files, written)));
    std::abort();
}

} // namespace

// Power cuts are not fuzzed: the syncs would only slow the runs. The
// loads' messages are not shown.
extern "C" int LLVMFuzzerInitialize(int*, char***)
{
    SetDiskSyncFunction([](const QVector<int>&) { return true; });
    qInstallMessageHandler([](QtMsgType type, const QMessageLogContext&, const QString& text) {
        if (type == QtFatalMsg)
            std::fprintf(stderr, "%s\n", qPrintable(text));
    });
    // Named for the target: a run killed outright leaves its folder to the
    // next run's sweep.
    QCoreApplication::setApplicationName(QStringLiteral("fuzz_dayfolder"));
    Scratch() = std::make_unique<fixture::ScratchDir>();
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    const QList<tyFuzzFile> files = ReadLayout(data, size);
    if (files.isEmpty() || !Scratch()->isValid())
        return 0;
    const fixture::TakeSpec takes[2] = {TakeOf(files, 0), TakeOf(files, 1)};
    // A folder of its own each run: what the program keeps of a file (its
    // comparisons, its strangers) is kept by its path.
    static int run = 0;
    const QString folder = Scratch()->path() + QStringLiteral("/D%1.OVD/").arg(++run);
    QDir().mkpath(folder);
    QList<QByteArray> written;
    QStringList names;
    for (const tyFuzzFile& file : files) {
        const QString path = folder + file.czName;
        if (file.eHeld == Held::Link) {
            if (::link(QFile::encodeName(folder + files.at(file.nSource).czName).constData(),
                       QFile::encodeName(path).constData())
                != 0)
                return 0;
            written.append(written.at(file.nSource));
        } else {
            written.append(BytesOf(file, takes, written));
            if (!fixture::WriteBytes(path, written.last()))
                return 0;
        }
        names.append(file.czName);
    }

    // The names as written, and turned about.
    QStringList turned = names;
    std::reverse(turned.begin(), turned.end());
    const tyDayListing listing = List(folder, turned, 1);
    const QMap<QString, QString> verdicts = Verdicts(listing);
    const QMap<QString, QString> spread = Verdicts(List(folder, names, 4));
    if (spread != verdicts)
        Fail(QStringLiteral("the listing on one thread and on four:") + Differences(verdicts, spread), files, written);
    const QMap<QString, QStringList> listed = ListedTakes(listing);
    QStringList joinedUntilLoaded;
    for (auto take = listed.cbegin(); take != listed.cend(); ++take) {
        const QString takePath = folder + take.key();
        QSoundPerform shown;
        QSoundPerform full;
        const bool shownLoaded = shown.QuickInitFiles(takePath, QStringLiteral("WAV"), nullptr, true);
        const bool fullLoaded = full.InitFilesZZ(takePath, QStringLiteral("WAV"));
        QStringList members = take.value();
        const QStringList joined = JoinedUntilLoaded(folder, members);
        for (const QString& name : joined)
            members.removeOne(name);
        joinedUntilLoaded += joined;
        // A take whose files do not agree loads nowhere; one that loads
        // holds the files listed with it.
        if (shownLoaded != fullLoaded || (shownLoaded && LoadedFiles(shown) != LoadedFiles(full))
            || (shownLoaded && LoadedFiles(shown) != members)) {
            Fail(QStringLiteral("take %1: listed with %2; the window's load: %3; the full load: %4")
                     .arg(take.key(), members.join(QLatin1Char(' ')), Said(shownLoaded, shown), Said(fullLoaded, full)),
                 files, written);
        }
    }
    // The listing again, as the views list again after a load: what the
    // loads left out of it stands by itself now.
    QMap<QString, QString> after = Verdicts(List(folder, names, 2));
    for (const QString& name : joinedUntilLoaded) {
        if (after.value(name).endsWith(QStringLiteral(", alone")))
            after.insert(name, verdicts.value(name));
    }
    if (after != verdicts)
        Fail(QStringLiteral("the listing before the takes' loads and after them:") + Differences(verdicts, after), files,
             written);
    for (auto take = listed.cbegin(); take != listed.cend(); ++take) {
        const QString said = SaveCheck(folder + take.key());
        if (!said.isEmpty())
            Fail(QStringLiteral("take %1: %2").arg(take.key(), said), files, written);
    }
    fixture::RemoveTree(folder);
    return 0;
}
