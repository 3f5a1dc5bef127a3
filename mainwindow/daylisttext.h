#ifndef NALVO_MAINWINDOW_DAYLISTTEXT_H
#define NALVO_MAINWINDOW_DAYLISTTEXT_H

#include <QString>

// The line above the day list while the day loader reads a day: it follows
// the loader's states (0 waiting, 1 woken, 2 listing, 3 list ready with the
// file count, 4 reading take n, 5 finished with bit 0 stopped, bit 1 aborted).
class DayListProgress
{
public:
    // The text for one state; `current` when the state leaves it unchanged.
    // dayPath is the loader's day folder, already cleaned.
    QString Text(int state, int value, const QString& dayPath, const QString& current);

    int FileCount() const { return m_nFileCount; }

private:
    int m_nFileCount = -1;   // from the last "list ready"; carries over to the next day
    // The highest take index started in this pass: the loader's threads
    // start takes in rising order but may report them a little out of it.
    int m_nHighestTake = -1;
};

// "pre/project/day" joined and cleaned; empty parts are skipped by the cleaning.
QString DayListPath(const QString& preProject, const QString& project, const QString& day);

#endif
