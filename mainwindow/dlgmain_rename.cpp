// DlgMain: short and long take names: moving a take's files to the names
// of the editor's file-name mode, and pointing the shown take at them.
#include "mainwindow/dlgmain.h"

#include "foundation/naming.h"
#include "take/takerename.h"

QString DlgMain::ConvertToShortName(QSoundPerform* take)
{
    return RenameTake(take, false, false, QString());
}

QString DlgMain::ConvertToLongName(QSoundPerform* take, int nValSeparator, QString takePrefix, QString takeNumber,
                                   int nScTkTemplate)
{
    qDebug("ConvertToLongName: scene [%s]", qPrintable(take->m_czScene));
    const bool underscore = nValSeparator == 1;
    const QString middle = TakeNames::LongMiddle(
        take->m_czScene, TakeNames::TakeTextFor(takePrefix, takeNumber, nScTkTemplate), nScTkTemplate, underscore);
    return RenameTake(take, true, underscore, middle);
}

QString DlgMain::RenameTake(QSoundPerform* take, bool toLong, bool underscore, const QString& middle)
{
    const QString folder = take->m_czTakeFolder;
    const QString base6 = take->m_czBaseName.left(6);
    const QString ext = take->m_czExtension;
    TakeRename rename;
    QString result;
    if (take->m_bPolyTake) {
        const QString suffix = take->m_czBaseName.right(2);
        QString from = take->m_SndFile[0].GetPath();
        if (from.isEmpty())
            from = folder + take->m_czBaseName + QLatin1Char('.') + ext;
        result = toLong ? TakeNames::LongPoly(folder, base6, middle, suffix, ext, underscore)
                        : TakeNames::ShortPoly(folder, base6, suffix, ext);
        qDebug("RenameTake: %s to %s", qPrintable(from), qPrintable(result));
        rename.Add(from, result);
    } else {
        if (!toLong)
            result = folder + base6 + QLatin1Char('.') + ext;
        for (int t = 0; t < QSoundPerform::kMaxTracks; ++t) {
            if (!take->m_pbPresent[t])
                continue;
            const QChar separator = QLatin1Char(take->m_pcSeparator[t]);
            const QString to = toLong ? TakeNames::LongMono(folder, base6, middle, separator, t + 1, ext, underscore)
                                      : TakeNames::ShortMono(folder, base6, separator, t + 1, ext);
            qDebug("RenameTake: %s to %s", qPrintable(take->m_SndFile[t].GetPath()), qPrintable(to));
            if (result.isEmpty())
                result = to;
            rename.Add(take->m_SndFile[t].GetPath(), to);
        }
        if (result.isEmpty())
            return QString();
    }
    // Told with the rest of the apply, once every take is done.
    switch (rename.Execute()) {
    case TakeRename::Result::Done:
        return result;
    case TakeRename::Result::Clash:
        m_lczApplyNotes << QStringLiteral("File %1 already exists.").arg(QPath(rename.Offender()).GetRoot());
        return QString();
    case TakeRename::Result::Missing:
    case TakeRename::Result::Failed:
        break;
    }
    m_lczApplyNotes << QStringLiteral("Take %1 was not renamed.\n%2").arg(take->m_czBaseName, rename.ErrorText());
    return QString();
}

void DlgMain::SetNewNameParams(QPath path)
{
    QSoundPerform& take = m_SndPerform;
    const QString ext = take.m_czExtension;
    bool any = false;
    for (int t = 0; t < QSoundPerform::kMaxTracks; ++t) {
        if (!take.m_pbPresent[t])
            continue;
        const QString file = take.m_bPolyTake ? path.GetFilename(false)
                                              : path.GetRoot() + QLatin1Char(take.m_pcSeparator[t])
                                                    + QString::fromLatin1(TrkIndexToNN(t + 1));
        take.m_SndFile[t].SetPath(path.GetPath() + file + QLatin1Char('.') + ext);
        any = true;
    }
    if (any)
        take.m_czBaseName = take.m_bPolyTake ? path.GetFilename(false) : path.GetRoot();
}
