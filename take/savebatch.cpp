#include "take/savebatch.h"

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

bool SaveBatch::Fits(const QSoundPerform& take) const
{
    return m_lczRecords.isEmpty()
           || (m_nFiles + FileCount(take) <= QSoundPerform::kSaveBatchFiles && !m_lczRecords.contains(RecordOf(take)));
}

void SaveBatch::Add(QSoundPerform* take)
{
    Q_ASSERT(Fits(*take));
    m_vTakes << take;
    m_nFiles += FileCount(*take);
    m_lczRecords << RecordOf(*take);
}

void SaveBatch::Clear()
{
    m_vTakes.clear();
    m_nFiles = 0;
    m_lczRecords.clear();
}

QVector<SaveBatch> SaveBatch::Gather(const QVector<QSoundPerform*>& takes)
{
    QVector<SaveBatch> batches;
    for (QSoundPerform* take : takes) {
        if (batches.isEmpty() || !batches.last().Fits(*take))
            batches.append(SaveBatch());
        batches.last().Add(take);
    }
    return batches;
}
