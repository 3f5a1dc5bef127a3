#include "fileprocess/processscan.h"

#include "fileprocess/processinformation.h"
#include "foundation/fileinfolist.h"
#include "foundation/fileutil.h"
#include "foundation/messageloging.h"
#include "foundation/settingsstore.h"
#include "foundation/spreadwork.h"
#include "player/playersettings.h"
#include "take/soundperform.h"

#include <QDir>
#include <QFileInfo>
#include <QRegularExpression>
#include <QSet>

#include <memory>
#include <vector>

namespace procscan {

QList<tDayTake> GroupDayTakes(const QStringList& sortedNames)
{
    static const QRegularExpression suffix(QStringLiteral("(_|-|#)\\d{1,2}$"),
                                           QRegularExpression::CaseInsensitiveOption);
    QList<tDayTake> takes;
    QSet<QString> seen;
    for (const QString& name : sortedNames) {
        QString s = name;
        s.remove(QStringLiteral(".WAV"));
        const QRegularExpressionMatch match = suffix.match(s);
        if (!match.hasMatch())
            continue;
        const QString tag = s.left(match.capturedStart());
        // The whole tag, not its first characters: two takes sharing an id
        // prefix stay two takes.
        if (seen.contains(tag))
            continue;
        seen.insert(tag);
        takes.append({tag, name});
    }
    return takes;
}

namespace {
// The record of one take, or none when it does not load, is poly or is a
// processed output.
std::unique_ptr<tProcessInformation> LoadTake(const QString& tagName, const QString& preProjectPath,
                                              const QString& day, const QString& project, const QString& takePath,
                                              const QString& filePath, const MyFileInfoList* listing,
                                              QSoundPerform* loader)
{
    loader->ResetVariables();
    const bool loaded = listing ? loader->QuickInitFiles(takePath, QStringLiteral("WAV"), listing, false)
                                : loader->InitFilesZZ(takePath, QStringLiteral("WAV"));
    if (!loaded || loader->m_bPolyTake || loader->m_bProcessedName)
        return nullptr;

    auto info = std::make_unique<tProcessInformation>();
    info->czTagName = tagName;
    info->czPreProjectPath = preProjectPath;
    info->czDay = day;
    info->czProject = project;
    info->czTakePath = takePath;
    info->czFilePath = filePath;
    // A locked card's mix is the one the window shows: its mirror twin where
    // changed there since the card's was stored, else the card's own.
    const QString dayFolder = QStringLiteral("%1/%2/%3").arg(preProjectPath, project, day);
    const QString settings = SettingsStore::ReadTake(SettingsStore::TakeFile(dayFolder, tagName)).czPath;
    LoadSettingsLocal(settings, info->pnTrackVolume, info->pbTrackMute, info->pnPanLeft, info->pnPanRight,
                      info->pbSwapMS, nullptr, nullptr, nullptr);
    for (int t = 0; t < tProcessInformation::kTracks; ++t) {
        info->pbMSPair[t / 2] = loader->m_pbMSPair[t / 2];
        info->pbPresent[t] = loader->m_pbPresent[t];
        if (info->pbPresent[t]) {
            info->Mapping[t].fromString(loader->m_czTrackInGrid[t]);
            info->TrackMax = qint16(t);
        }
    }
    info->FileSize = loader->m_nTrueSize;
    return info;
}
}  // namespace

bool AddFileToProcessList(QString tagName, QString preProjectPath, QString day, QString project, QString takePath,
                          QString filePath, QSoundPerform* loader, QList<tProcessInformation*>* list)
{
    if (!loader || !list)
        return false;
    std::unique_ptr<tProcessInformation> info
        = LoadTake(tagName, preProjectPath, day, project, takePath, filePath, nullptr, loader);
    if (!info)
        return false;
    list->append(info.release());
    return true;
}

namespace {
struct tJob {
    QString tag, preProject, day, project, takePath, filePath;
    // The day's listing, when the take came from one: the loader finds the
    // take's files in it instead of probing every possible name on disk.
    std::shared_ptr<MyFileInfoList> listing;
};

bool ListDay(const QString& dayPath, const QString& preProject, const QString& day, const QString& project,
             QList<tJob>* jobs)
{
    if (!QFileInfo(dayPath).isDir() || !QFileInfo(dayPath).isReadable())
        return false;
    auto listing = std::make_shared<MyFileInfoList>();
    listing->LoadEntryInfoList(dayPath, QStringList{QStringLiteral(".WAV")}, false, nullptr);
    QStringList names;
    names.reserve(listing->count());
    for (int i = 0; i < listing->count(); ++i)
        names << listing->GetFileName(i);
    const QString base = QStringLiteral("%1/%2/%3/").arg(preProject, project, day);
    for (const tDayTake& t : GroupDayTakes(names))
        jobs->append({t.tag, preProject, day, project, QDir::cleanPath(base + t.tag), QDir::cleanPath(base + t.fileName),
                      listing});
    return true;
}

// Takes do not depend on each other: several threads load them, each with
// its own loader (the caller's on the calling thread), and each record slot
// is written only by the thread that loaded its take. The records keep the
// listing's order. Progress and cancel are the calling thread's alone: the
// progress callback may run the GUI's events.
bool LoadJobs(const QList<tJob>& jobs, QSoundPerform* loader, QList<tProcessInformation*>* list,
              const Progress& progress)
{
    if (!list)
        return false;
    const int count = jobs.size();
    const int threads = TakeLoaderThreads(count);
    // A thread without the caller's loader makes its own on its first take.
    std::vector<std::unique_ptr<QSoundPerform>> made(static_cast<size_t>(threads));
    std::vector<std::unique_ptr<tProcessInformation>> loaded(size_t(jobs.size()));
    const bool done = SpreadWork(
        count, threads,
        [&](int i, int worker) {
            QSoundPerform* reader = worker == 0 ? loader : nullptr;
            if (!reader) {
                std::unique_ptr<QSoundPerform>& own = made[size_t(worker)];
                if (!own)
                    own = std::make_unique<QSoundPerform>();
                reader = own.get();
            }
            const tJob& j = jobs.at(i);
            loaded[size_t(i)] = LoadTake(j.tag, j.preProject, j.day, j.project, j.takePath, j.filePath,
                                         j.listing.get(), reader);
            return true;
        },
        [&](int finished) { return !progress || progress(finished, count); });
    if (!done)
        return false;
    for (std::unique_ptr<tProcessInformation>& record : loaded)
        if (record)
            list->append(record.release());
    return true;
}
}

bool ScanDayFolder(QString dayPath, QString preProjectPath, QString day, QString project, QSoundPerform* loader,
                   QList<tProcessInformation*>* list, const Progress& progress)
{
    QList<tJob> jobs;
    return ListDay(dayPath, preProjectPath, day, project, &jobs) && LoadJobs(jobs, loader, list, progress);
}

bool SelectionIsValid(const QList<tSelectedRow>& rows)
{
    int kind = 0;
    for (const tSelectedRow& r : rows) {
        if (r.kind != 1 && r.kind != 2 && r.kind != 4)
            return false;
        if (kind != 0 && kind != r.kind)
            return false;
        kind = r.kind;
    }
    return true;
}

Expansion ExpandSelection(const QList<tSelectedRow>& rows, QSoundPerform* loader, QList<tProcessInformation*>* list,
                          const Progress& progress, QString* problem)
{
    if (!SelectionIsValid(rows))
        return Expansion::Invalid;
    QList<tJob> jobs;
    for (const tSelectedRow& r : rows) {
        const QString pre = QDir::cleanPath(r.preProject);
        bool listed = true;
        QString failed;
        if (r.kind == 4) {
            jobs.append({r.display, pre, r.day, r.project, r.takePath, r.path, nullptr});
        } else if (r.kind == 2) {
            listed = ListDay(r.path, pre, r.day, r.project, &jobs);
            failed = r.path;
        } else {
            if (!QFileInfo(r.path).isDir() || !QFileInfo(r.path).isReadable()) {
                listed = false;
                failed = r.path;
            }
            for (const QString& day : ProjectDays(r.path)) {
                if (!ListDay(r.path + QLatin1Char('/') + day, pre, day, r.display, &jobs)) {
                    listed = false;
                    failed = r.path + QLatin1Char('/') + day;
                }
            }
        }
        if (!listed) {
            if (problem)
                *problem = failed;
            return Expansion::Unlistable;
        }
    }
    return LoadJobs(jobs, loader, list, progress) ? Expansion::Done : Expansion::Cancelled;
}

QStringList ProjectDays(const QString& projectPath)
{
    QStringList days;
    const QStringList folders = QDir(projectPath).entryList(QDir::Dirs | QDir::NoDotAndDotDot, QDir::Name);
    for (const QString& name : folders)
        if (name.endsWith(QLatin1String(".OVD"), Qt::CaseInsensitive))
            days << name;
    return days;
}

}  // namespace procscan
