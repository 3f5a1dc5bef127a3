#include "widgets/qmycombobox.h"

#include <QApplication>
#include <QPointer>
#include <QStyle>
#include <QStyleFactory>

namespace {
// One "Windows" style for every combo box, owned by the application. A style
// owned by its combo would be deleted while the combo's popup (a child of
// the combo, styled through the parent's sheet) still refers to it, which
// crashed on X11 after the popup had been opened once.
QStyle* SharedWindowsStyle()
{
    static QPointer<QStyle> style;
    if (!style && QCoreApplication::instance()) {
        style = QStyleFactory::create(QStringLiteral("Windows"));
        if (style)
            style->setParent(QCoreApplication::instance());
    }
    return style;
}
}

QMyComboBox::QMyComboBox(QWidget* parent) : QComboBox(parent)
{
    if (QStyle* windowsStyle = SharedWindowsStyle())
        setStyle(windowsStyle);
}

QMyComboBox::~QMyComboBox() = default;
