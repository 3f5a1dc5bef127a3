#ifndef NALVO_WIDGETS_QCLICKLABEL_H
#define NALVO_WIDGETS_QCLICKLABEL_H

#include <QHash>
#include <QLabel>
#include <QPoint>

class QMouseEvent;
class QWheelEvent;

// A label that reports clicks, double clicks and wheel turns while it is
// visible in the active window. A click counts only when the button is
// released on the pixel where it was pressed.
class QClickLabel : public QLabel
{
    Q_OBJECT
public:
    explicit QClickLabel(QWidget* parent = nullptr);
    ~QClickLabel() override;

signals:
    void signal_LabelClicked(QMouseEvent* e);
    void signal_LabelDoubleClicked(QMouseEvent* e);
    void signal_LabelWheeled(QWheelEvent* e);

protected:
    void mousePressEvent(QMouseEvent* e) override;
    void mouseReleaseEvent(QMouseEvent* e) override;
    void mouseDoubleClickEvent(QMouseEvent* e) override;
    void wheelEvent(QWheelEvent* e) override;

private:
    bool IsReachable() const;

    QHash<Qt::MouseButton, QPoint> m_hPressPositions;
};

#endif
