#include "widgets/qmyslider.h"

#include <QStyle>
#include <QStyleOptionSlider>

QMySlider::QMySlider(QWidget* parent) : QSlider(parent) {}

QMySlider::~QMySlider() = default;

void QMySlider::setTooltipMapValueToText(QMap<int, QString> map)
{
    m_mapTooltip = map;
}

QRect QMySlider::handlePosition()
{
    QStyleOptionSlider option;
    initStyleOption(&option);
    option.subControls = QStyle::SC_All;
    return style()->subControlRect(QStyle::CC_Slider, &option, QStyle::SC_SliderHandle, this);
}

bool QMySlider::event(QEvent* e)
{
    return QSlider::event(e);
}
