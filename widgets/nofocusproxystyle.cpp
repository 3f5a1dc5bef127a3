#include "widgets/nofocusproxystyle.h"

#include <QWidget>

NoFocusProxyStyle::NoFocusProxyStyle() = default;

NoFocusProxyStyle::~NoFocusProxyStyle() = default;

void NoFocusProxyStyle::drawPrimitive(PrimitiveElement element, const QStyleOption* option,
                                      QPainter* painter, const QWidget* widget) const
{
    if (element == PE_FrameFocusRect)
        return;
    QProxyStyle::drawPrimitive(element, option, painter, widget);
}

void InstallNoFocusStyle(QWidget* host)
{
    auto* style = new NoFocusProxyStyle;
    style->setParent(host);
    host->setStyle(style);
}
