#include "widgets/screenfit.h"

#include <QDialog>
#include <QElapsedTimer>
#include <QEvent>
#include <QGuiApplication>
#include <QLayout>
#include <QScreen>
#include <QScrollArea>
#include <QTimer>
#include <QVBoxLayout>
#include <QWidget>

namespace {
// Far enough past any desktop, near enough that sums stay inside an int.
constexpr int kFarthest = 1 << 24;
// How long after showing a window the frame the window manager puts
// around it is awaited (it comes within a few event loop turns), and how
// long its place and size must stand still before they count: on the way,
// the window system reports passing ones (the place asked for, before the
// window manager's own).
constexpr qint64 kFrameWaitMs = 2000;
constexpr int kFrameSettleMs = 150;

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

QRect AvailableAreaOf(const QWidget* window)
{
    const QWidget* parent = window->parentWidget() ? window->parentWidget()->window() : nullptr;
    QScreen* screen = parent && parent->isVisible() ? parent->screen() : nullptr;
    if (!screen)
        screen = QGuiApplication::screenAt(window->geometry().center());
    if (!screen)
        screen = QGuiApplication::primaryScreen();
    return screen ? screen->availableGeometry() : QRect();
}

namespace {

// What a window manager's frame adds to a window's size, as far as it is
// known before the window is framed: none for a frameless window, else as
// much as around the parent window.
QSize FrameAllowance(const QWidget* window)
{
    if (window->windowFlags() & Qt::FramelessWindowHint)
        return QSize(0, 0);
    const QWidget* parent = window->parentWidget() ? window->parentWidget()->window() : nullptr;
    if (!parent || !parent->isVisible())
        return QSize(0, 0);
    return (parent->frameGeometry().size() - parent->size()).expandedTo(QSize(0, 0));
}

// The least size a dialog's layout lets it take.
QSize LeastSize(const QDialog* dialog)
{
    const QLayout* layout = dialog->layout();
    if (!layout)
        return QSize(0, 0);
    return layout->sizeConstraint() == QLayout::SetFixedSize ? layout->totalSizeHint() : layout->totalMinimumSize();
}

// The dialog's layout, with its widgets, moves into a scroll area that
// becomes the dialog's only content.
void WrapInScrollArea(QDialog* dialog)
{
    auto* content = new QWidget;
    content->setObjectName(QStringLiteral("screenFitContent"));
    // Taken from the dialog with the widgets it lays out.
    content->setLayout(dialog->layout());
    auto* scroll = new QScrollArea(dialog);
    scroll->setObjectName(QStringLiteral("screenFitScroll"));
    scroll->setFrameShape(QFrame::NoFrame);
    scroll->setWidgetResizable(true);
    scroll->setWidget(content);
    auto* layout = new QVBoxLayout(dialog);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->addWidget(scroll);
    scroll->show();
}

// Lives on the window it keeps, as its child; everything runs in the GUI
// thread.
class ScreenKeeper : public QObject
{
public:
    explicit ScreenKeeper(QWidget* window) : QObject(window), m_pWindow(window)
    {
        m_Settle.setSingleShot(true);
        m_Settle.setInterval(kFrameSettleMs);
        connect(&m_Settle, &QTimer::timeout, this, &ScreenKeeper::FrameSettled);
        window->installEventFilter(this);
    }

protected:
    bool eventFilter(QObject* watched, QEvent* event) override
    {
        if (watched != m_pWindow)
            return false;
        if (event->type() == QEvent::Show && !event->spontaneous()) {
            // A frame taken from the parent window is fitted in already.
            m_bAwaitFrame = FitWhenShown();
            m_Shown.start();
            if (m_bAwaitFrame)
                m_Settle.start();
        } else if (m_bAwaitFrame && (event->type() == QEvent::Move || event->type() == QEvent::Resize)) {
            m_Settle.start();
        }
        return false;
    }

private:
    bool Placeable() const
    {
        return !(m_pWindow->windowState() & (Qt::WindowMaximized | Qt::WindowFullScreen | Qt::WindowMinimized));
    }

    // Once the frame is known, or the wait is over, the window is the
    // user's to place: a later move off the screen stays. A window manager
    // that frames the window where it stands moves nothing: the frame is
    // looked for again until it comes.
    void FrameSettled()
    {
        m_bAwaitFrame = m_bAwaitFrame && m_Shown.elapsed() < kFrameWaitMs && !FitFrame();
        if (m_bAwaitFrame)
            m_Settle.start();
    }

    // Before the window is framed: its size within the area, less the
    // frame it is expected to get. True when that frame is not known.
    bool FitWhenShown()
    {
        const QRect area = AvailableAreaOf(m_pWindow);
        if (area.isEmpty() || !Placeable())
            return false;
        const QSize frame = FrameAllowance(m_pWindow);
        const QSize room = (area.size() - frame).expandedTo(QSize(1, 1));
        const QSize size = m_pWindow->size();
        if (size.width() > room.width() || size.height() > room.height()) {
            auto* dialog = qobject_cast<QDialog*>(m_pWindow);
            const QSize least = dialog ? LeastSize(dialog) : QSize(0, 0);
            if (dialog && (least.width() > room.width() || least.height() > room.height()))
                WrapInScrollArea(dialog);
            m_pWindow->setMinimumSize(m_pWindow->minimumSize().boundedTo(room));
            m_pWindow->resize(size.boundedTo(room));
        }
        // A dialog placed by its own rule is put beside its parent, inside
        // the screen; one placed by the program is kept inside here.
        if (m_pWindow->testAttribute(Qt::WA_Moved)) {
            const QPoint inside = FitToAreas(m_pWindow->pos(), m_pWindow->size() + frame, {area}).topLeft();
            if (inside != m_pWindow->pos())
                m_pWindow->move(inside);
        }
        return frame.isNull() && !(m_pWindow->windowFlags() & Qt::FramelessWindowHint);
    }

    // Once the window is framed: the frame inside the area. False while
    // the frame is not known yet.
    bool FitFrame()
    {
        const QRect frame = m_pWindow->frameGeometry();
        const QRect client = m_pWindow->geometry();
        if (frame == client || !frame.contains(client))
            return false;
        const QRect area = AvailableAreaOf(m_pWindow);
        if (area.isEmpty() || area.contains(frame) || !Placeable())
            return true;
        // Shown no larger than the area: a window larger now was made so
        // since, by the program, and is left so.
        if (client.width() > area.width() || client.height() > area.height())
            return true;
        const QRect fitted = FitToAreas(frame.topLeft(), frame.size(), {area});
        const QMargins margins(client.left() - frame.left(), client.top() - frame.top(),
                               frame.right() - client.right(), frame.bottom() - client.bottom());
        m_pWindow->setMinimumSize(m_pWindow->minimumSize().boundedTo(fitted.marginsRemoved(margins).size()));
        m_pWindow->setGeometry(fitted.marginsRemoved(margins));
        return true;
    }

    QWidget* const m_pWindow;
    QElapsedTimer m_Shown;        // since the window was last shown
    QTimer m_Settle;              // restarted by each move or resize while the frame is awaited
    bool m_bAwaitFrame = false;   // shown, its frame not fitted yet
};

}  // namespace

void KeepOnScreen(QWidget* window) { new ScreenKeeper(window); }
