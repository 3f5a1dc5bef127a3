#include "mainwindow/daylisttext.h"

#include <QDir>

QString DayListProgress::Text(int state, int value, const QString& dayPath, const QString& current)
{
    switch (state) {
    case 1:
        m_nHighestTake = -1;
        return QStringLiteral("LOADING %1").arg(dayPath);
    case 3:
        m_nFileCount = value;
        m_nHighestTake = -1;
        return current;
    case 4:
        m_nHighestTake = qMax(m_nHighestTake, value);
        if (m_nFileCount >= 1)
            return QStringLiteral("LOADING %1 (%2/%3)")
                .arg(dayPath, QString::number(m_nHighestTake), QString::number(m_nFileCount));
        return current;
    case 5:
        if (value >= 1)
            return QStringLiteral("Load aborted %1 ").arg(dayPath);
        return dayPath;
    default:
        return current;
    }
}

QString DayListPath(const QString& preProject, const QString& project, const QString& day)
{
    return QDir::cleanPath(QStringLiteral("%1/%2/%3").arg(preProject, project, day));
}
