#include "take/takeverdict.h"

#include "soundfile/filestatus.h"
#include "soundfile/soundfile.h"

#include <QHash>

namespace {
// Reads the heads of the family's found files not read yet.
void ReadClaims(tyTakeVerdict* verdict)
{
    const tyTakeFamily& family = verdict->family;
    const QString id = family.czBaseName.left(6);
    for (int slot = 0; slot < 24; ++slot) {
        if (family.czPath[slot].isEmpty() || (verdict->headsRead & (1u << slot)))
            continue;
        verdict->heads[slot] = verdict->readHead ? verdict->readHead(slot, family.czPath[slot])
                                                 : ReadTrackFileHead(family.czPath[slot]);
        verdict->claims[slot] = ClaimOnSlot(verdict->heads[slot], id);
        verdict->lengths[slot] = verdict->heads[slot].nLength;
        verdict->headsRead |= 1u << slot;
    }
}

quint32 PresentSlots(const tyTakeFamily& family)
{
    quint32 present = 0;
    for (int slot = 0; slot < 24; ++slot)
        present |= family.czPath[slot].isEmpty() ? 0 : 1u << slot;
    return present;
}

// Found again with every form where a found file is in doubt; the heads of
// the slots now held by another file are read anew.
void SettleVerdict(const FolderNameProbe& names, tyTakeVerdict* verdict)
{
    tyTakeFamily& family = verdict->family;
    if (family.bPoly || family.bSettled)
        return;
    ReadClaims(verdict);
    tyTakeFamily settled;
    if (!SettleFamily(family, SlotsInDoubt(PresentSlots(family), verdict->claims, verdict->lengths), names,
                      &settled))
        return;
    for (int slot = 0; slot < 24; ++slot) {
        if (settled.czPath[slot] != family.czPath[slot])
            verdict->headsRead &= ~(1u << slot);
    }
    family = settled;
}
}  // namespace

bool JudgeTake(const QString& takePath, const QString& extension, const FolderNameProbe* names,
               const MyFileInfoList* listing, tyTakeVerdict* verdict, const TrackHeadReader& readHead)
{
    *verdict = tyTakeVerdict();
    verdict->readHead = readHead;
    const bool found = listing ? FindTakeFamilyInListing(takePath, extension, *listing, &verdict->family)
                               : FindTakeFamilyOnDisk(takePath, extension, *names, &verdict->family);
    if (!found)
        return false;
    if (names)
        SettleVerdict(*names, verdict);
    return true;
}

QString RecordingOf(quint32 present, const tyTrackFileHead (&heads)[24], const QString& id)
{
    QHash<QString, int> named;
    int cut = 0;
    for (int slot = 0; slot < 24; ++slot) {
        if (!(present & (1u << slot)))
            continue;
        const tyTrackFileHead& head = heads[slot];
        if (head.eKind == tyTrackFileHead::RecorderMono && head.czTakeId == id)
            return id;
        if (head.eKind == tyTrackFileHead::RecorderMono && !head.czTakeId.isEmpty())
            ++named[head.czTakeId];
        cut += head.bCut ? 1 : 0;
    }
    QString recording = id;
    int most = cut;
    for (auto take = named.cbegin(); take != named.cend(); ++take) {
        if (take.value() > most) {
            most = take.value();
            recording = take.key();
        } else if (take.value() == most) {
            recording = id;   // as many name another take: none is the recording
        }
    }
    return recording;
}

namespace {
// The members whose bext tags a track another member holds in the track's
// own slot: copies of it (of another length once the member was saved).
quint32 CopiesAmong(quint32 members, const tyTrackFileHead (&heads)[24])
{
    quint32 copies = 0;
    for (int slot = 0; slot < 24; ++slot) {
        const int tagged = heads[slot].nTrack;
        if ((members & (1u << slot)) && tagged >= 0 && tagged != slot && (members & (1u << tagged))
            && heads[tagged].nTrack == tagged)
            copies |= 1u << slot;
    }
    return copies;
}
}  // namespace

quint32 SlotsLeftOut(bool poly, quint32 present, const tyTrackFileHead (&heads)[24], const QString& id,
                     quint32* copies)
{
    if (copies)
        *copies = 0;
    if (poly)
        return 0;
    const QString recording = RecordingOf(present, heads, id);
    quint32 strangers = 0;
    quint32 otherTakes = 0;
    quint32 members = 0;
    quint32 cut = 0;
    for (int slot = 0; slot < 24; ++slot) {
        if (!(present & (1u << slot)))
            continue;
        const SlotClaim claim = ClaimOnSlot(heads[slot], recording);
        strangers |= claim == SlotClaim::OtherMaker ? 1u << slot : 0;
        otherTakes |= claim == SlotClaim::OtherTake ? 1u << slot : 0;
        members |= claim == SlotClaim::Member ? 1u << slot : 0;
        cut |= heads[slot].bCut ? 1u << slot : 0;
    }
    const quint32 copied = CopiesAmong(members, heads);
    if (copies)
        *copies = copied;
    return MembersLeftOut(present, strangers) | (members || cut ? otherTakes : 0) | copied;
}

quint32 HeldOutSlots(quint32 leftOut, int kept, const QSoundFile& first)
{
    // The metadata of the files kept counts the files it lists, and arms
    // their tracks.
    int room = first.GetiXMLTotalFiles() - kept;
    if (room <= 0)
        return 0;
    const QVector<QSoundFile::tyOrvexTrack> tracks = first.GetiXMLOrvexTrackTable();
    quint32 held = 0;
    for (int slot = 0; slot < 24 && slot < tracks.size() && room > 0; ++slot) {
        if ((leftOut & (1u << slot))
            && tracks.at(slot).czActive.trimmed().compare(QLatin1String("YES"), Qt::CaseInsensitive) == 0) {
            held |= 1u << slot;
            --room;
        }
    }
    return held;
}

void MemberPaths(tyTakeVerdict* verdict, QString (&members)[24])
{
    ReadClaims(verdict);
    const tyTakeFamily& family = verdict->family;
    // A name that opens as no regular file, or no longer opens, is judged
    // by the caller: the load leaves out the one and fails on the other.
    quint32 opened = 0;
    for (int slot = 0; slot < 24; ++slot)
        opened |= !family.czPath[slot].isEmpty() && verdict->lengths[slot] >= 0 ? 1u << slot : 0;
    const quint32 leftOut = SlotsLeftOut(family.bPoly, opened, verdict->heads, family.czBaseName.left(6));
    for (int slot = 0; slot < 24; ++slot)
        members[slot] = leftOut & (1u << slot) ? QString() : family.czPath[slot];
}
