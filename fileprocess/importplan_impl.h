#ifndef NALVO_FILEPROCESS_IMPORTPLAN_IMPL_H
#define NALVO_FILEPROCESS_IMPORTPLAN_IMPL_H

#include <QFileInfo>
#include <QHash>
#include <QSet>

namespace importplan {

template <typename ProbeFn>
tPlan Plan(const QStringList& sources, const QString& dayFolder, int startId, ProbeFn probe)
{
    tPlan plan;
    int counter = qMax(0, startId);
    // The takes opened for families, by what makes a set, newest last.
    struct tGroup {
        QString family;
        quint64 timeReference = 0;
        quint32 dataSize = 0;
        quint32 sampleRate = 0;
        int bits = 0;
        int id = 0;
        QString source;
    };
    QList<tGroup> groups;
    QSet<QString> planned;   // track files this plan writes
    auto targetOf = [&dayFolder](int id, int track) {
        return QStringLiteral("%1/%2_%3.WAV").arg(dayFolder, TakeId(id), QString::number(track + 1));
    };
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
        const tGroup* group = nullptr;
        tGroup single;
        for (int g = groups.size() - 1; p.member && g >= 0 && !group; --g) {
            const tGroup& open = groups.at(g);
            if (open.family == p.family && open.timeReference == p.timeReference && open.dataSize == p.dataSize
                && open.sampleRate == p.sampleRate && open.bits == p.bits) {
                const QString target = targetOf(open.id, p.track);
                if (!planned.contains(target) && !QFileInfo::exists(target))
                    group = &open;
            }
        }
        if (!group) {
            while (counter <= kMaxId && IdInUse(dayFolder, counter))
                ++counter;
            if (counter > kMaxId) {
                plan.items.clear();
                plan.idOverflow = true;
                plan.nextId = qMax(0, startId);
                return plan;
            }
            single = {p.family, p.timeReference, p.dataSize, p.sampleRate, p.bits, counter++,
                      QFileInfo(source).fileName()};
            if (p.member)
                groups.append(single);
            group = p.member ? &groups.last() : &single;
        }
        tItem item;
        item.source = source;
        item.takeId = TakeId(group->id);
        item.track = p.member ? p.track : -1;
        item.totalFiles = p.member ? p.totalFiles : 0;
        item.groupSource = group->source;
        item.takeFrames = p.member ? p.frames : 0;
        if (p.member)
            planned.insert(targetOf(group->id, p.track));
        plan.items.append(item);
    }
    // Every file of a take arms all the take's tracks, so each member
    // learns the others' tracks once the plan is whole; and every member is
    // cut to the fewest frames one holds (a member Import refuses, with
    // none, counts for nothing), so that the take's files keep one length.
    QHash<QString, quint32> tracksOf;
    QHash<QString, quint32> framesOf;
    for (const tItem& item : plan.items) {
        tracksOf[item.takeId] |= item.track >= 0 && item.track < 32 ? 1u << item.track : 0u;
        if (item.takeFrames > 0) {
            const auto known = framesOf.constFind(item.takeId);
            framesOf[item.takeId] = known == framesOf.constEnd() ? item.takeFrames : qMin(*known, item.takeFrames);
        }
    }
    for (tItem& item : plan.items) {
        item.takeTracks = tracksOf.value(item.takeId);
        item.takeFrames = framesOf.value(item.takeId);
    }
    plan.nextId = counter;
    return plan;
}

}  // namespace importplan

#endif
