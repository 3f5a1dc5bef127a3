#include "mainwindow/screenfit.h"

#include <QGuiApplication>
#include <QScreen>

namespace {
// Far enough past any desktop, near enough that sums stay inside an int.
constexpr int kFarthest = 1 << 24;

qint64 OverlapOf(const QRect& a, const QRect& b)
{
    const QRect both = a.intersected(b);
    return both.isEmpty() ? 0 : qint64(both.width()) * both.height();
}

qint64 DistanceOf(const QRect& a, const QRect& b)
{
    const qint64 dx = qint64(a.center().x()) - b.center().x();
    const qint64 dy = qint64(a.center().y()) - b.center().y();
    return dx * dx + dy * dy;
}
}  // namespace

QRect FitToAreas(const QPoint& pos, const QSize& size, const QList<QRect>& areas)
{
    const QRect bounded(qBound(-kFarthest, pos.x(), kFarthest), qBound(-kFarthest, pos.y(), kFarthest),
                        qBound(1, size.width(), kFarthest), qBound(1, size.height(), kFarthest));
    const QRect* best = nullptr;
    qint64 bestOverlap = 0;
    qint64 bestDistance = 0;
    for (const QRect& area : areas) {
        if (area.isEmpty())
            continue;
        const qint64 overlap = OverlapOf(bounded, area);
        const qint64 distance = DistanceOf(bounded, area);
        if (!best || overlap > bestOverlap || (overlap == bestOverlap && distance < bestDistance)) {
            best = &area;
            bestOverlap = overlap;
            bestDistance = distance;
        }
    }
    if (!best)
        return bounded;
    const int width = qMin(bounded.width(), best->width());
    const int height = qMin(bounded.height(), best->height());
    const int x = qBound(best->left(), bounded.x(), best->right() - width + 1);
    const int y = qBound(best->top(), bounded.y(), best->bottom() - height + 1);
    return QRect(x, y, width, height);
}

QRect FitToScreens(const QPoint& pos, const QSize& size)
{
    QList<QRect> areas;
    for (const QScreen* screen : QGuiApplication::screens())
        areas << screen->availableGeometry();
    return FitToAreas(pos, size, areas);
}
