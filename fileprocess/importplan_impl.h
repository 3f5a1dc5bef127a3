#ifndef NALVO_FILEPROCESS_IMPORTPLAN_IMPL_H
#define NALVO_FILEPROCESS_IMPORTPLAN_IMPL_H

#include <QFileInfo>
#include <QSet>

namespace importplan {

template <typename ProbeFn>
tPlan Plan(const QStringList& sources, const QString& dayFolder, int startId, ProbeFn probe)
{
    tPlan plan;
    int counter = qMax(0, startId);
    int currentId = -1;
    QString previousFamily = QStringLiteral("Empty");
    quint32 previousTime = 0, previousSize = 0;
    QString groupSource;
    QSet<QString> planned;   // track files this plan writes
    for (const QString& source : sources) {
        const tProbe p = probe(source);
        if (!p.readable) {
            (p.rf64 ? plan.rf64 : plan.unreadable) << source;
            continue;
        }
        if (p.recorderFile) {
            plan.recorderFiles << source;
            continue;
        }
        const QString fileName = QFileInfo(source).fileName();
        bool sameGroup = p.member && currentId >= 0 && p.family == previousFamily && p.timeReference == previousTime
                         && p.dataSize == previousSize;
        if (sameGroup) {
            const QString target
                = QStringLiteral("%1/%2_%3.WAV").arg(dayFolder, TakeId(currentId), QString::number(p.track + 1));
            if (planned.contains(target) || QFileInfo::exists(target))
                sameGroup = false;
        }
        if (!sameGroup) {
            while (counter <= kMaxId && IdInUse(dayFolder, counter))
                ++counter;
            if (counter > kMaxId) {
                plan.items.clear();
                plan.idOverflow = true;
                plan.nextId = qMax(0, startId);
                return plan;
            }
            currentId = counter++;
            groupSource = fileName;
            previousFamily = p.family;
            previousTime = p.timeReference;
            previousSize = p.dataSize;
        }
        tItem item;
        item.source = source;
        item.takeId = TakeId(currentId);
        item.track = p.member ? p.track : -1;
        item.totalFiles = p.member ? p.totalFiles : 0;
        item.groupSource = groupSource;
        if (p.member)
            planned.insert(QStringLiteral("%1/%2_%3.WAV").arg(dayFolder, item.takeId, QString::number(p.track + 1)));
        plan.items.append(item);
    }
    plan.nextId = counter;
    return plan;
}

}  // namespace importplan

#endif
