#include "widgets/qmycombobox.h"

#include <QStyle>
#include <QStyleFactory>

QMyComboBox::QMyComboBox(QWidget* parent) : QComboBox(parent)
{
    if (QStyle* windowsStyle = QStyleFactory::create(QStringLiteral("Windows"))) {
        windowsStyle->setParent(this);
        setStyle(windowsStyle);
    }
}

QMyComboBox::~QMyComboBox() = default;
