#ifndef NALVO_TESTS_TAKE_SHAREWRITERS_H
#define NALVO_TESTS_TAKE_SHAREWRITERS_H

#include "foundation/messageloging.h"
#include "tests/support/scratchdir.h"

#include <QSignalSpy>
#include <QStringList>

#include <memory>

class TwoMountShare;

// Two computers saving one take on a shared folder, each through a mount
// of its own: the columns of the table, the rows held between a check and
// each write, one row's run in a scratch folder of its own, and the child
// program that plays one computer.
class ShareWritersTest
{
public:
    ShareWritersTest();
    // The disk-call plans, hooks and stand-ins a row set go with it.
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

    fixture::ScratchDir m_Dir;
    MessageLoging m_Logger;
    QSignalSpy m_Spy;
};

// The child of a share row, "--share-writer takePath writer [synced]":
// true when argv calls it, its exit code then in *code.
bool RunShareWriterChild(int argc, char** argv, int* code);

#endif
