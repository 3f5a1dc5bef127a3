#include "tests/support/diskfaultwalk.h"

#include "foundation/platform/diskprobes.h"

#include <QDir>
#include <QRegularExpression>
#include <QtGlobal>

namespace fixture {

QVector<QPair<QString, tyDiskFaultPlan>> DiskFaultPlans()
{
    tyDiskFaultPlan io;
    tyDiskFaultPlan full;
    full.nError = ENOSPC;
    // A FAT card on a FUSE volume: no hard links, no rename flags.
    tyDiskFaultPlan fat;
    fat.bNoLinks = fat.bNoRenameFlags = true;
    // Three calls in a row: the undo of a failure fails too, and the
    // record of it; what follows passes.
    tyDiskFaultPlan thrice = fat;
    thrice.nCount = 3;
    // Pulled: every call from the failed one on fails, the undo's too.
    tyDiskFaultPlan pulled = fat;
    pulled.bPersistent = true;
    // A FUSE share over a disk that keeps hard links: a move is a link,
    // then the old name's removal.
    tyDiskFaultPlan share;
    share.bNoRenameFlags = true;
    return {{QStringLiteral("EIO"), io},
            {QStringLiteral("ENOSPC"), full},
            {QStringLiteral("EIO on a FAT card"), fat},
            {QStringLiteral("EIO thrice on a FAT card"), thrice},
            {QStringLiteral("FAT card pulled"), pulled},
            {QStringLiteral("EIO, hard links kept, rename flags refused"), share}};
}

QVector<QPair<QString, tyDiskFaultPlan>> ReadBackPlans()
{
    tyDiskFaultPlan lost;
    lost.eKind = DiskCall::Write;
    lost.bLostWrites = true;
    return {{QStringLiteral("a write lost"), lost}};
}

QVector<QPair<QString, tyDiskFaultPlan>> RemovalPlans()
{
    // Every call from the failed one on fails, as on a card pulled (ENODEV)
    // or one that turned read-only (EROFS), on a volume with the atomic
    // rename: a removal moved aside stays there.
    tyDiskFaultPlan pulled;
    pulled.bPersistent = true;
    pulled.nError = ENODEV;
    tyDiskFaultPlan readOnly = pulled;
    readOnly.nError = EROFS;
    return {{QStringLiteral("card pulled (ENODEV)"), pulled}, {QStringLiteral("card turned read-only (EROFS)"), readOnly}};
}

QString ToldAgainstLoad(const QString& told, bool finishedByLoad)
{
    if (QRegularExpression(QStringLiteral("(^|[^.])\\.\\.($|[^.])")).match(told).hasMatch())
        return QStringLiteral("two full stops in: ") + told;
    const bool toldAsBefore = told.contains(QStringLiteral("left as they were"), Qt::CaseInsensitive)
                              || told.contains(QStringLiteral("no file was kept"), Qt::CaseInsensitive)
                              || told.contains(QStringLiteral("keeps its old name"), Qt::CaseInsensitive)
                              || told.contains(QStringLiteral("changes no file"), Qt::CaseInsensitive);
    if (finishedByLoad && (toldAsBefore || !told.contains(QStringLiteral(" next "))))
        return QStringLiteral("finished by the next load, told: ") + told;
    return QString();
}

QStringList HiddenLeftovers(const QString& folder)
{
    return QDir(folder).entryList({QStringLiteral(".*.aside-*"), QStringLiteral(".*.nalvo-commit"),
                                   QStringLiteral(".*.nalvo-save*"), QStringLiteral(".*.nalvo-part-*")},
                                  QDir::Files | QDir::Hidden | QDir::System);
}

tyFaultWalk WalkDiskFaults(const tyFaultWalkJob& job, tyDiskFaultPlan plan, int mostRuns)
{
    tyFaultWalk walk;
    for (int n = 1; n <= mostRuns; ++n) {
        if (!job.begin()) {
            walk.lczFaults << QStringLiteral("run %1: the media could not be made").arg(n);
            break;
        }
        plan.nNth = n;
        plan.bWatchSyncs = job.syncedBeforeRename;
        DiskFaults::Arm(plan);
        const bool done = job.run();
        const int failed = DiskFaults::Failed();
        const int calls = DiskFaults::Calls();
        const QStringList unsynced = DiskFaults::UnsyncedRenames();
        DiskFaults::Disarm();
        ++walk.nRuns;
        walk.nFailedRuns += done ? 0 : 1;
        job.load();
        QStringList found;
        if (!unsynced.isEmpty())
            found << QStringLiteral("renamed before a sync: ") + unsynced.join(QLatin1Char(' '));
        for (const QString& folder : job.folders) {
            const QStringList left = HiddenLeftovers(folder);
            if (!left.isEmpty())
                found << QStringLiteral("left in %1: %2").arg(folder, left.join(QLatin1Char(' ')));
        }
        const QString wrong = job.check(done, plan.bPersistent || plan.nCount > 1);
        if (!wrong.isEmpty())
            found << wrong;
        if (!found.isEmpty())
            walk.lczFaults << QStringLiteral("run %1 (%2): %3")
                                  .arg(n)
                                  .arg(done ? QStringLiteral("told done") : QStringLiteral("told not done"),
                                       found.join(QStringLiteral("; ")));
        if (failed == 0) {
            walk.nCalls = calls;
            break;
        }
    }
    return walk;
}

tyFaultWalk WalkDiskFaults(const tyFaultWalkJob& job, const QString& planName)
{
    tyDiskFaultPlan plan;
    for (const auto& named : DiskFaultPlans() + ReadBackPlans() + RemovalPlans())
        plan = named.first == planName ? named.second : plan;
    SetDiskSyncFunction([](const QVector<int>&) { return true; });
    const tyFaultWalk walk = WalkDiskFaults(job, plan);
    SetDiskSyncFunction(DiskSyncFunction());
    qInfo("%s: %d calls walked, %d runs told not done", qPrintable(planName), walk.nCalls, walk.nFailedRuns);
    return walk;
}

}  // namespace fixture
