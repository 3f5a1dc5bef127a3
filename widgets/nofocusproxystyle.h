#ifndef NALVO_WIDGETS_NOFOCUSPROXYSTYLE_H
#define NALVO_WIDGETS_NOFOCUSPROXYSTYLE_H

#include <QProxyStyle>

// The application's style without the dotted focus rectangle.
class NoFocusProxyStyle : public QProxyStyle
{
public:
    NoFocusProxyStyle();
    ~NoFocusProxyStyle() override;

    void drawPrimitive(PrimitiveElement element, const QStyleOption* option, QPainter* painter,
                       const QWidget* widget = nullptr) const override;
};

// Gives `host` its own NoFocusProxyStyle, owned by the host.
void InstallNoFocusStyle(QWidget* host);

#endif
