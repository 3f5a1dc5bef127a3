#include "foundation/fonts.h"

#include <QCoreApplication>
#include <QFont>
#include <QVariant>
#include <QVector>
#include <QWidget>

float FontFactor()
{
    if (!QCoreApplication::instance())
        return 1.0f;
    const QVariant value = QCoreApplication::instance()->property("fontFactor");
    if (!value.isValid())
        return 1.0f;
    bool ok = false;
    const float factor = value.toFloat(&ok);
    return ok ? factor : 1.0f;
}

void InitFontSize(QWidget* w)
{
    if (!w)
        return;
    const float factor = FontFactor();
    // Read every font before setting any: a child that inherits its
    // parent's font would otherwise be scaled twice.
    const QList<QWidget*> children = w->findChildren<QWidget*>();
    QVector<QFont> fonts;
    fonts.reserve(children.size());
    for (QWidget* child : children)
        fonts.append(child->font());
    for (int i = 0; i < children.size(); ++i) {
        QFont font = fonts.at(i);
        if (font.pointSizeF() <= 0)
            continue;
        font.setPointSizeF(font.pointSizeF() * factor);
        children.at(i)->setFont(font);
    }
}
