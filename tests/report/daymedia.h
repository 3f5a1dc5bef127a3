#ifndef NALVO_TESTS_REPORT_DAYMEDIA_H
#define NALVO_TESTS_REPORT_DAYMEDIA_H

#include "tests/support/fixturewriter.h"

#include <QDate>
#include <QFile>
#include <QString>

// Days of generated takes for the loader and list tests: one take's bytes
// serve every take of a large day.
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

// count takes "<prefix>0000".. of tracks mono files each.
inline bool WriteManyTakes(const QString& dayPath, const QString& prefix, int count, int tracks)
{
    QList<int> trackSlots;
    for (int s = 0; s < tracks; ++s)
        trackSlots << s;
    fixture::TakeSpec spec = fixture::MonoTake(prefix + QStringLiteral("0000"), trackSlots);
    spec.frames = 480;
    QList<QByteArray> bytes;
    for (int i = 0; i < tracks; ++i)
        bytes << fixture::BuildMonoFile(spec, i);
    for (int t = 0; t < count; ++t) {
        spec.id = prefix + QStringLiteral("%1").arg(t, 6 - prefix.size(), 10, QLatin1Char('0'));
        for (int i = 0; i < tracks; ++i) {
            QFile out(dayPath + QLatin1Char('/') + fixture::TrackFileName(spec, i));
            if (!out.open(QIODevice::WriteOnly) || out.write(bytes.at(i)) != bytes.at(i).size())
                return false;
        }
    }
    return true;
}

inline bool WriteBytes(const QString& path, const QByteArray& bytes)
{
    QFile out(path);
    return out.open(QIODevice::WriteOnly) && out.write(bytes) == bytes.size();
}

}  // namespace daymedia

#endif
