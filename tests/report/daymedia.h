#ifndef NALVO_TESTS_REPORT_DAYMEDIA_H
#define NALVO_TESTS_REPORT_DAYMEDIA_H

#include "tests/support/fixturewriter.h"

#include <QDate>
#include <QFile>
#include <QString>

// Day folders of generated takes for the loader and list tests.
namespace daymedia {

struct Day
{
    QString volume;    // the folder holding the project
    QString project;   // "SHOOT.BR1"
    QString day;       // day folder name
    QString path;      // absolute day folder
};

inline Day MakeDayFolder(const QString& root, const QDate& date)
{
    Day d;
    d.volume = fixture::MakeVolume(root, QStringLiteral("CARD"));
    const QString project = fixture::MakeProject(d.volume, QStringLiteral("SHOOT"));
    d.path = fixture::MakeDay(project, date);
    d.project = QStringLiteral("SHOOT.BR1");
    d.day = d.path.section(QLatin1Char('/'), -1, -1, QString::SectionSkipEmpty);
    return d;
}

inline bool WriteBytes(const QString& path, const QByteArray& bytes)
{
    QFile out(path);
    return out.open(QIODevice::WriteOnly) && out.write(bytes) == bytes.size();
}

}  // namespace daymedia

#endif
