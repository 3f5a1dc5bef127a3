#ifndef NALVO_TAKE_TAKESAVEGROUP_H
#define NALVO_TAKE_TAKESAVEGROUP_H

#include <QStringList>

class QSoundPerform;

// Gathers takes, in the order given, into the groups that
// QSoundPerform::UpdateiXMLChunks saves side by side. A group holds its
// members open from the plan to the last sync, so it holds at most
// QSoundPerform::kSaveGroupFiles files (a larger take alone); two takes with
// one save record (the same take twice) never share a group, since the
// second record would replace the first.
class TakeSaveGroup
{
public:
    // The take can join the group gathered so far (an empty one takes any).
    bool Fits(const QSoundPerform& take) const;
    void Add(const QSoundPerform& take);
    void Clear();

private:
    int m_nFiles = 0;
    QStringList m_lczRecords;
};

#endif
