#ifndef NALVO_TESTS_TAKE_SHAREWRITERS_H
#define NALVO_TESTS_TAKE_SHAREWRITERS_H

#include "foundation/messageloging.h"
#include "tests/support/scratchdir.h"
#include "tests/take/savedfamily.h"

#include <QMetaType>
#include <QSignalSpy>
#include <QStringList>

#include <memory>

class QSoundPerform;
class SshfsPairs;
class TwoMountShare;

// A row of the share table, what the two computers do; by default nothing
// raced or held: the take saved and renamed from one computer, a record left
// just now. options: the lockless pass-through's; "sshfs" first: the sshfs
// pair's (-o). after: once the take is told mixed, before it is saved again:
// "ixml" a save of its iXML alone, "several" one of its tape as an Apply to
// several takes makes it, "renamed" the take renamed and back, "earlier" its
// mark as an earlier writer made it; "seen" the first computer loads it, and
// again right after the other's save.
struct ShareRow
{
    explicit ShareRow(const QStringList& on = {}) : options(on) {}
    ShareRow& TimesShifted(int seconds) { options << QStringLiteral("--time-shift=%1").arg(seconds); return *this; }   // a file's time told later than the share's clock
    ShareRow& Rounds(int count) { rounds = count; return *this; }               // of the two writers at once (and one with the first held)
    ShareRow& Raced(int count) { raced = count; return *this; }                 // saves raced by the other computer's load 0-150 ms later
    ShareRow& HeldRounds(int count) { heldRounds = count; return *this; }       // saves held at their first write of member 13 while the other loads
    ShareRow& HeldAtSync(int sync) { heldAtSync = sync; return *this; }         // the save held up at that sync
    ShareRow& HeldBeforeRecordRemoval() { heldAtSync = -1; return *this; }      // or just before its record's removal
    ShareRow& HeldAtWrite(int write) { heldAtWrite = write; return *this; }     // or at that write of a member's commit
    ShareRow& OfMember(int member) { heldMember = member; return *this; }       // 13: a grown last chunk; 14: an appended one; 1: of a take of one file
    ShareRow& InReserve(bool held = true) { inReserve = held; return *this; }   // held at its reserve (its growth past the old end), not its commit
    ShareRow& Lands() { lands = true; return *this; }                           // held once its check passed: the write lands after the other's load
    ShareRow& OtherSaves(int round = 8) { otherSaves = true; otherRound = round; return *this; }   // once it loaded the held take (or renames); 2, 8: in place; 200: grown
    ShareRow& RecordAge(int seconds) { recordAge = seconds; return *this; }     // of a record left at the end, by the share's clock
    ShareRow& HeldAtRename() { heldAtRename = true; return *this; }             // the renames held at their second while the other loads (OtherSaves: between its link and its old name's removal)
    ShareRow& Mixed(bool told = true) { mixed = told; return *this; }           // the held write lands over the other's save: the take told mixed
    ShareRow& Swapped() { swapped = true; return *this; }                       // another record put under the name between the other's read and its take-over
    ShareRow& After(const QStringList& steps) { after = steps; return *this; }
    // What a removal of the other's, held up past the age rule and killed once it moved a name aside, leaves:
    ShareRow& RecordMovedAside() { leftAside = 1; return *this; }               // the record of a save at its first write of member 5
    ShareRow& MemberMovedAside() { leftAside = 2; return *this; }               // member 13's only name
    ShareRow& OwnRecordAsideOtherLoads() { leftAside = 3; return *this; }       // held with its own record aside while the other loads
    ShareRow& KilledSaveRecordAside() { leftAside = 4; return *this; }          // the record of a save killed before its second write of member 13
    ShareRow& MemberAsideNameTaken() { leftAside = 5; return *this; }          // member 13's only name, another take's file under it since

    QStringList options, after;
    int rounds = 0, raced = 0, heldRounds = 0, heldAtSync = 0, heldAtWrite = 0, heldMember = 13, otherRound = 8, recordAge = 0,
        leftAside = 0;
    bool inReserve = false, lands = false, otherSaves = false, heldAtRename = false, mixed = false, swapped = false;
};
Q_DECLARE_METATYPE(ShareRow)

// Two computers saving one take on a shared folder, each through a mount
// of its own: the table's column, the rows held between a check and each
// write, one row's run in a scratch folder of its own, and the child
// program that plays one computer.
class ShareWritersTest
{
public:
    // The sshfs rows in folders of their own on sshfsPairs' shares, where
    // given; else each on a pair of its own.
    explicit ShareWritersTest(SshfsPairs* sshfsPairs = nullptr);
    // The disk-call plans, hooks and stand-ins a row set go with it, and
    // the row's folder on a share of sshfsPairs.
    ~ShareWritersTest();
    ShareWritersTest(const ShareWritersTest&) = delete;
    ShareWritersTest& operator=(const ShareWritersTest&) = delete;

    static void AddColumns();
    static void AddHeldWriteRows(const QStringList& options);
    static void AddHeldRemovalRows(const QStringList& options);
    // The current row of the table.
    void Run();

private:
    // A take told mixed (member holding part of the stopped save, in its
    // description or else its iXML) after the steps of the row's "after"
    // column, then saved again.
    void SaveMixedTake(const TwoMountShare& share, const QString& name, const QStringList& files,
                       const QString& member, bool description, const QStringList& after);
    QStringList Messages() const;
    // The row's name left aside (see ShareRow::RecordMovedAside): put back,
    // and the take as its files hold it.
    void LeftAside(const TwoMountShare& share, const ShareRow& row, const QString& name, const QStringList& files);
    // A save killed inside a member, its record left aside: undone by the
    // first load once its writer cannot live, none reading it torn before.
    void KilledSaveAside(const TwoMountShare& share, QSoundPerform& take, const QString& name, const QStringList& files);

    fixture::ScratchDir m_Dir;
    SshfsPairs* const m_pSshfsPairs;
    QString m_czRoom;
    MessageLoging m_Logger;
    QSignalSpy m_Spy;
};

// The child of a share row, "--share-writer takePath writer [synced]":
// true when argv calls it, its exit code then in *code.
bool RunShareWriterChild(int argc, char** argv, int* code);

#endif
