#ifndef NALVO_WIDGETS_QMYSLIDER_H
#define NALVO_WIDGETS_QMYSLIDER_H

#include <QMap>
#include <QRect>
#include <QSlider>
#include <QString>

// A slider that tells where its handle is drawn, so a tooltip can be shown
// beside the handle.
class QMySlider : public QSlider
{
public:
    explicit QMySlider(QWidget* parent = nullptr);
    ~QMySlider() override;

    void setTooltipMapValueToText(QMap<int, QString> map);
    const QMap<int, QString>& tooltipMapValueToText() const { return m_mapTooltip; }
    // The handle's rectangle in the slider's own coordinates, as the style draws it.
    QRect handlePosition();

protected:
    bool event(QEvent* e) override;

private:
    QMap<int, QString> m_mapTooltip;
};

#endif
