#include "foundation/qpath.h"

#include <QDir>
#include <QFileInfo>

namespace {
// Length of the track suffix (separator, track number, extension) that ends
// the path: 7 for two digits, 6 for one character, 0 when there is none.
// A '_' before two characters is a two-digit suffix whatever they are, as the
// recorder's earliest names had it; the other separators need two digits.
int MonoTrackSuffixLength(const QString& path)
{
    const int size = path.size();
    if (size < 7)
        return 0;
    const QChar beforeTwo = path.at(size - 7);
    if (beforeTwo == QLatin1Char('_'))
        return 7;
    if (IsTrackSeparator(beforeTwo) && path.at(size - 6).isDigit() && path.at(size - 5).isDigit())
        return 7;
    if (IsTrackSeparator(path.at(size - 6)))
        return 6;
    return 0;
}
}

bool IsTrackSeparator(QChar c)
{
    return c == QLatin1Char('#') || c == QLatin1Char('+') || c == QLatin1Char('-')
           || c == QLatin1Char('_');
}

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

int QPath::TrackSeparatorIndex(const QString& baseName)
{
    for (int i = baseName.size() - 1; i >= 0 && i >= baseName.size() - 3; --i) {
        if (IsTrackSeparator(baseName.at(i)))
            return i;
    }
    return -1;
}

QString QPath::GetRoot() const
{
    const QString baseName = GetFilename(false);
    const int separator = TrackSeparatorIndex(baseName);
    return separator < 0 ? baseName : baseName.left(separator);
}

QString QPath::GetSeparator() const
{
    const QString baseName = GetFilename(false);
    const int separator = TrackSeparatorIndex(baseName);
    return separator < 0 ? QString() : QString(baseName.at(separator));
}

QString QPath::GetDrive() const
{
    return m_czPath.isEmpty() ? QString() : QFileInfo(m_czPath).absolutePath();
}

bool IsMonoFile(const QString& path) { return MonoTrackSuffixLength(path) > 0; }

QString AudioPathFileShortenedToRacine(QString path)
{
    if (path.size() < 7)
        return path;
    const int suffix = MonoTrackSuffixLength(path);
    path.chop(suffix == 7 ? 7 : 6);
    return path;
}
