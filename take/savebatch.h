#ifndef NALVO_TAKE_SAVEBATCH_H
#define NALVO_TAKE_SAVEBATCH_H

#include <QStringList>
#include <QVector>

class QSoundPerform;

// The takes one save carries through together (see SaveTransaction), so
// that they share their waits for the disk; gathered in the order given.
// A batch holds its members open from the plan to the last sync, so it
// holds at most QSoundPerform::kSaveBatchFiles files (a larger take alone);
// two takes with one save record (the same take twice) never share a
// batch, since the second record would replace the first.
class SaveBatch
{
public:
    // The take can join the batch gathered so far (an empty one takes any).
    bool Fits(const QSoundPerform& take) const;
    // Only a take that Fits.
    void Add(QSoundPerform* take);
    void Clear();
    bool IsEmpty() const { return m_vTakes.isEmpty(); }
    const QVector<QSoundPerform*>& Takes() const { return m_vTakes; }
    // The takes in batches, in their order.
    static QVector<SaveBatch> Gather(const QVector<QSoundPerform*>& takes);

private:
    QVector<QSoundPerform*> m_vTakes;
    int m_nFiles = 0;
    QStringList m_lczRecords;
};

#endif
