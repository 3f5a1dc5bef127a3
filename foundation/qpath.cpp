#include "foundation/qpath.h"

#include "foundation/takenaming.h"

#include <QDir>
#include <QFileInfo>

QPath::QPath(const QString& path)
{
    QString trimmed = path;
    if (trimmed.endsWith(QLatin1Char('/')))
        trimmed.chop(1);
    m_czPath = QDir::cleanPath(trimmed);
}

QString QPath::GetPath() const
{
    const int slash = m_czPath.lastIndexOf(QLatin1Char('/'));
    return slash < 0 ? QString() : m_czPath.left(slash + 1);
}

QString QPath::GetFilename(bool withExtension) const
{
    const QString name = m_czPath.mid(m_czPath.lastIndexOf(QLatin1Char('/')) + 1);
    if (withExtension)
        return name;
    const int dot = name.lastIndexOf(QLatin1Char('.'));
    return dot < 0 ? name : name.left(dot);
}

QString QPath::GetExtension() const
{
    const QString name = GetFilename(true);
    const int dot = name.lastIndexOf(QLatin1Char('.'));
    return dot < 0 ? QString() : name.mid(dot + 1);
}

QString QPath::GetRoot() const
{
    return TakeNaming::SplitTrackName(GetFilename(false), TakeNaming::Rule::Rename).czRoot;
}

QString QPath::GetSeparator() const
{
    const TakeNaming::tyTrackName split = TakeNaming::SplitTrackName(GetFilename(false), TakeNaming::Rule::Rename);
    return split.bTrack ? QString(split.cSeparator) : QString();
}

QString QPath::GetDrive() const
{
    return m_czPath.isEmpty() ? QString() : QFileInfo(m_czPath).absolutePath();
}

bool IsMonoFile(const QString& path)
{
    return TakeNaming::SplitTrackName(path, TakeNaming::Rule::Path).bTrack;
}

QString AudioPathFileShortenedToRacine(QString path)
{
    if (path.size() < 7)
        return path;
    // Without a track suffix the last six characters go all the same.
    const TakeNaming::tyTrackName split = TakeNaming::SplitTrackName(path, TakeNaming::Rule::Path);
    path.chop(split.bTrack && split.czTrack.size() == 2 ? 7 : 6);
    return path;
}
