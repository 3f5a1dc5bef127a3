#ifndef NALVO_TESTS_PLAYER_PAINTCOUNTER_H
#define NALVO_TESTS_PLAYER_PAINTCOUNTER_H

#include <QCoreApplication>
#include <QEvent>
#include <QObject>
#include <QTest>
#include <QWidget>

// Counts the paint events a widget receives.
class PaintCounter : public QObject
{
public:
    PaintCounter() = default;
    explicit PaintCounter(QWidget* widget) { Watch(widget); }
    void Watch(QWidget* widget) { widget->installEventFilter(this); }
    int count = 0;

protected:
    bool eventFilter(QObject*, QEvent* event) override
    {
        if (event->type() == QEvent::Paint)
            ++count;
        return false;
    }
};

// Delivers pending update requests so that scheduled paints happen now.
inline void FlushPaints()
{
    QCoreApplication::sendPostedEvents();
    QCoreApplication::processEvents();
}

// Shows the widget at the size (resize events reach hidden widgets only
// when they are shown).
inline bool ShowSized(QWidget* widget, int width, int height)
{
    widget->resize(width, height);
    widget->show();
    return QTest::qWaitForWindowExposed(widget);
}

#endif
