#include "take/takesavejournal.h"

#include "foundation/messageloging.h"
#include "soundfile/chunkjournal.h"
#include "take/takefamily.h"

QString TakeSaveJournalPath(const QString& folder, const QString& baseName)
{
    return folder + QLatin1Char('.') + baseName + QStringLiteral(".nalvo-save");
}

bool RollBackInterruptedSave(const QString& takePath, const QString& extension)
{
    QString folder;
    QString name;
    SplitTakePath(takePath, extension, &folder, &name);
    if (name.isEmpty())
        return true;
    const tyJournalRollBack result = RollBackChunkJournal(TakeSaveJournalPath(folder, name));
    if (!result.bFound)
        return true;
    const QString title = QStringLiteral("Interrupted save");
    if (!result.lczFailed.isEmpty()) {
        SendUserMessage(title, QStringLiteral("Path:%1\nTake:%2\nAn interrupted save of this take could "
                                              "not be undone:\n%3")
                                   .arg(folder, name, result.lczFailed.join(QLatin1Char('\n'))));
        return false;
    }
    if (result.nRestored > 0)
        SendUserMessage(title, QStringLiteral("Path:%1\nTake:%2\nAn interrupted save of this take was "
                                              "undone: its files are as they were before that save.")
                                   .arg(folder, name),
                        0, 2);
    return true;
}
