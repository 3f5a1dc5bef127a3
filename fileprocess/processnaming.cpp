#include "fileprocess/processnaming.h"

#include "foundation/qpath.h"
#include "processing/takeoperation.h"

#include <QDir>
#include <QFileInfo>

namespace procname {

QString TakePathOf(const QString& sourcePath)
{
    if (IsMonoFile(sourcePath))
        return AudioPathFileShortenedToRacine(sourcePath);
    return sourcePath.left(qMax(0, sourcePath.size() - 4));
}

QString ProcessSuffix(QFileCopier::CopyFlags flags)
{
    if (flags & (QFileCopier::CopyInterleave | QFileCopier::ProcessInterleave))
        return QStringLiteral("PN");
    if (flags & QFileCopier::ProcessInterleaveRotate)
        return QStringLiteral("PR");
    if (flags & (QFileCopier::CopyMixdown | QFileCopier::ProcessMixdown))
        return QStringLiteral("MX");
    return QString();
}

QString FolderExtension(QFileCopier::CopyFlags flags)
{
    if (flags & (QFileCopier::CopyInterleave | QFileCopier::ProcessInterleave))
        return QStringLiteral(".OVN");
    if (flags & (QFileCopier::CopyMixdown | QFileCopier::ProcessMixdown))
        return QStringLiteral(".OVX");
    if (flags & QFileCopier::ProcessInterleaveRotate)
        return QStringLiteral(".OVR");
    return QString();
}

QString TargetInFolder(const QString& folder, const QString& sourcePath, QFileCopier::CopyFlags flags)
{
    QString target = QFileInfo(folder).absoluteFilePath();
    if (flags & QFileCopier::RenameTargetFolder) {
        const QStringList parts = QFileInfo(sourcePath).absoluteFilePath().split(QLatin1Char('/'));
        if (parts.size() >= 2) {
            QString sub = QLatin1Char('/') + parts.at(parts.size() - 2);
            const QString extension = FolderExtension(flags);
            if (sub.size() >= 5 && !extension.isEmpty())
                sub = sub.left(sub.size() - 4) + extension;
            target += sub;
        }
    }
    const QString suffix = ProcessSuffix(flags);
    const QFileInfo source(sourcePath);
    if (!suffix.isEmpty() && IsMonoFile(source.fileName())) {
        // The engine's own naming: take root + suffix + "." + extension.
        const QString root = AudioPathFileShortenedToRacine(source.fileName());
        return QDir::cleanPath(takeop::OutputFileName(target + QLatin1Char('/'), root, suffix,
                                                      QStringLiteral("WAV"), false));
    }
    return QDir::cleanPath(target + QLatin1Char('/') + source.fileName());
}

QString RenamedTarget(const QString& destination)
{
    const QFileInfo info(destination);
    const QString stem = info.absolutePath() + QLatin1Char('/') + info.completeBaseName() + QLatin1Char(' ');
    const QString suffix = info.suffix().isEmpty() ? QString() : QLatin1Char('.') + info.suffix();
    for (int n = 1;; ++n) {
        const QString candidate = stem + QString::number(n) + suffix;
        const QFileInfo probe(candidate);
        if (!probe.exists() && !probe.isSymLink())
            return candidate;
    }
}

}  // namespace procname
