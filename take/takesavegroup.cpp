#include "take/takesavegroup.h"

#include "take/soundperform.h"
#include "take/takesavejournal.h"

#include <QDir>

namespace {

int FileCount(const QSoundPerform& take)
{
    int count = 0;
    for (int t = 0; t < QSoundPerform::kMaxTracks; ++t)
        count += take.m_pbPresent[t] ? 1 : 0;
    return count;
}

// A folder spelt two ways is one folder.
QString RecordOf(const QSoundPerform& take)
{
    return QDir::cleanPath(TakeSaveJournalPath(take.m_czTakeFolder, take.m_czBaseName));
}

}  // namespace

bool TakeSaveGroup::Fits(const QSoundPerform& take) const
{
    return m_lczRecords.isEmpty()
           || (m_nFiles + FileCount(take) <= QSoundPerform::kSaveGroupFiles && !m_lczRecords.contains(RecordOf(take)));
}

void TakeSaveGroup::Add(const QSoundPerform& take)
{
    m_nFiles += FileCount(take);
    m_lczRecords << RecordOf(take);
}

void TakeSaveGroup::Clear()
{
    m_nFiles = 0;
    m_lczRecords.clear();
}
