// Take file names in the short and long forms, and the all-or-nothing move
// of a take's files.
#include "mainwindow/takerename.h"

#include "foundation/naming.h"
#include "foundation/platform/diskprobes.h"
#include "soundfile/soundfile.h"

#include <QFile>
#include <QFileInfo>

namespace TakeNames {

namespace {

void BlankNonAlphanumeric(QString* text)
{
    for (QChar& c : *text)
        if (!c.isLetter() && !c.isDigit())
            c = QLatin1Char(' ');
}

QString Underscored(QString text, bool underscore)
{
    if (underscore) {
        text.replace(QLatin1Char('='), QLatin1Char('_'));
        text.replace(QLatin1Char(' '), QLatin1Char('_'));
    }
    return text;
}

QString TrackNN(int track) { return QString::fromLatin1(TrkIndexToNN(track)); }

}  // namespace

QString TakeTextFor(const QString& takePrefix, const QString& takeNumber, int nScTkTemplate)
{
    return QSoundFile::TakeText(takePrefix, takeNumber, nScTkTemplate);
}

QString LongMiddle(QString scene, QString takeText, int nScTkTemplate, bool underscore)
{
    BlankNonAlphanumeric(&scene);
    BlankNonAlphanumeric(&takeText);
    takeText = takeText.trimmed();
    const bool advanced = nScTkTemplate == 4 || nScTkTemplate == 5;
    const QString sceneField = advanced ? scene : QStringLiteral("%1").arg(scene.left(8), 8);
    const QString takeField = QStringLiteral("%1").arg(takeText.left(6), 6);
    return Underscored(QStringLiteral("==%1 %2==").arg(sceneField, takeField), underscore);
}

QString ShortPoly(const QString& folder, const QString& base6, const QString& suffix, const QString& ext)
{
    return folder + base6 + suffix + QLatin1Char('.') + ext;
}

QString ShortMono(const QString& folder, const QString& base6, QChar separator, int track, const QString& ext)
{
    return folder + base6 + separator + TrackNN(track) + QLatin1Char('.') + ext;
}

QString LongPoly(const QString& folder, const QString& base6, const QString& middle, const QString& suffix,
                 const QString& ext, bool underscore)
{
    return folder + base6 + Underscored(middle, underscore) + suffix.trimmed() + QLatin1Char('.') + ext.trimmed();
}

QString LongMono(const QString& folder, const QString& base6, const QString& middle, QChar separator, int track,
                 const QString& ext, bool underscore)
{
    return folder + base6 + Underscored(middle, underscore) + separator + TrackNN(track) + QLatin1Char('.') + ext;
}

}  // namespace TakeNames

void TakeRename::Add(const QString& from, const QString& to)
{
    if (from != to)
        m_ltMoves.append(qMakePair(from, to));
}

TakeRename::Result TakeRename::Execute()
{
    m_czOffender.clear();
    m_czError.clear();
    // Every target and source first: a clash found half-way would leave a
    // family under two names.
    for (const auto& move : m_ltMoves) {
        if (!QFileInfo::exists(move.first)) {
            m_czOffender = move.first;
            m_czError = QStringLiteral("File %1 cannot be found.").arg(move.first);
            return Result::Missing;
        }
        if (QFileInfo::exists(move.second)) {
            m_czOffender = move.second;
            m_czError = QStringLiteral("File %1 already exists.").arg(move.second);
            return Result::Clash;
        }
    }
    int moved = 0;
    for (; moved < m_ltMoves.size(); ++moved) {
        const auto& move = m_ltMoves.at(moved);
        const QString folder = QFileInfo(move.first).absolutePath();
        if (!IsWritablePath(move.first) || !IsWritablePath(folder)) {
            m_czOffender = move.first;
            m_czError = QStringLiteral("File %1 is write-protected.").arg(move.first);
            break;
        }
        // QFile::rename never replaces an existing file.
        if (!QFile::rename(move.first, move.second)) {
            m_czOffender = move.first;
            m_czError = QStringLiteral("File %1 cannot be renamed to %2.").arg(move.first, move.second);
            break;
        }
    }
    if (moved == m_ltMoves.size())
        return Result::Done;
    QStringList stranded;
    for (int i = moved - 1; i >= 0; --i) {
        const auto& move = m_ltMoves.at(i);
        if (!QFile::rename(move.second, move.first))
            stranded << move.second;
    }
    if (stranded.isEmpty())
        m_czError += QStringLiteral("\nEvery file keeps its old name.");
    else
        m_czError += QStringLiteral("\nThese files could not get their old names back:\n") + stranded.join('\n');
    return Result::Failed;
}
