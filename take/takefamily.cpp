#include "take/takefamily.h"

#include "foundation/fileinfolist.h"
#include "foundation/takenaming.h"

#include <QFileInfo>
#include <QSet>

// "folder/root.ext" with or without the extension: folder, name without it.
void SplitTakePath(QString takePath, const QString& extension, QString* folder, QString* name)
{
    const QString dotExt = QLatin1Char('.') + extension;
    if (!extension.isEmpty() && takePath.endsWith(dotExt, Qt::CaseInsensitive))
        takePath.chop(dotExt.size());
    const int slash = takePath.lastIndexOf(QLatin1Char('/'));
    *folder = takePath.left(slash + 1);
    *name = takePath.mid(slash + 1);
}

bool FindTakeFamily(const QString& takePath, const QString& extension,
                    const std::function<bool(const QString&)>& exists, tyTakeFamily* family)
{
    *family = tyTakeFamily();
    QString folder;
    QString root;
    SplitTakePath(takePath, extension, &folder, &root);
    if (root.isEmpty())
        return false;
    family->czFolder = folder;
    family->czBaseName = root;
    family->czExtension = extension;
    const QString dotExt = QLatin1Char('.') + extension;

    if (exists(root + dotExt)) {
        family->bPoly = true;
        family->czPath[0] = folder + root + dotExt;
        family->nFileCount = 1;
        return true;
    }
    for (int slot = 0; slot < 24; ++slot) {
        const QStringList forms = TakeNaming::LoadTrackForms(slot);
        for (QChar separator : TakeNaming::LoadSeparators()) {
            for (const QString& number : forms) {
                const QString name = root + separator + number + dotExt;
                if (exists(name)) {
                    family->czPath[slot] = folder + name;
                    family->pcSeparator[slot] = separator.toLatin1();
                    break;
                }
            }
            if (!family->czPath[slot].isEmpty())
                break;
        }
        if (!family->czPath[slot].isEmpty())
            ++family->nFileCount;
    }
    return family->nFileCount > 0;
}

bool FindTakeFamilyOnDisk(const QString& takePath, const QString& extension, tyTakeFamily* family)
{
    QString folder;
    QString root;
    SplitTakePath(takePath, extension, &folder, &root);
    return FindTakeFamily(takePath, extension,
                          [&folder](const QString& name) { return QFileInfo::exists(folder + name); },
                          family);
}

bool FindTakeFamilyInListing(const QString& takePath, const QString& extension,
                             const MyFileInfoList& listing, tyTakeFamily* family)
{
    QString folder;
    QString root;
    SplitTakePath(takePath, extension, &folder, &root);
    // The listing is sorted, so the files of one take id stand together.
    QSet<QString> names;
    const QString id = root.left(6);
    for (int i = listing.FindFileId(id); i >= 0 && i < listing.count(); ++i) {
        const QString name = listing.GetFileName(i);
        if (!name.startsWith(id))
            break;
        names.insert(name);
    }
    return FindTakeFamily(takePath, extension,
                          [&names](const QString& name) { return names.contains(name); }, family);
}

QString TakePathOfFile(const QString& filePath, const QString& extension)
{
    QString folder;
    QString name;
    SplitTakePath(filePath, extension, &folder, &name);
    const TakeNaming::tyTrackName split = TakeNaming::SplitTrackName(name, TakeNaming::Rule::Load);
    return split.bTrack && !split.czRoot.isEmpty() ? folder + split.czRoot : filePath;
}

bool IsProcessedName(const QString& baseName)
{
    static const char* const kSuffixes[] = {"P7", "MX", "Q7", "QX", "S7", "SX"};
    for (const char* suffix : kSuffixes) {
        if (baseName.endsWith(QLatin1String(suffix)))
            return true;
    }
    return false;
}
