#include "widgets/greydialogparts.h"

#include <QDialog>
#include <QFont>
#include <QFrame>
#include <QHBoxLayout>
#include <QLabel>
#include <QPushButton>
#include <QSpacerItem>
#include <QVBoxLayout>

namespace GreyDialogParts {

const char* const kBorderlessSheet =
    "border-right: 0px;border-top: 0px ;border-left: 0px ;border-bottom: 0px ;";

QFont DejaVuFont(int pointSize)
{
    QFont font(QStringLiteral("DejaVu Sans"));
    font.setPointSize(pointSize);
    return font;
}

QFrame* MakeOuterFrame(QDialog* dialog, const QString& objectName)
{
    auto* dialogLayout = new QVBoxLayout(dialog);
    dialogLayout->setSpacing(0);
    dialogLayout->setContentsMargins(0, 0, 0, 0);
    auto* frame = new QFrame(dialog);
    frame->setObjectName(objectName);
    // "QFrame#name", not "QFrame #name": with the blank the rule would match
    // only descendants of a frame and the outer border would never show.
    frame->setStyleSheet(QStringLiteral("QFrame#%1\n{\n\tborder: 1px solid #404040;\n}").arg(objectName));
    dialogLayout->addWidget(frame);
    auto* layout = new QVBoxLayout(frame);
    layout->setSpacing(0);
    layout->setContentsMargins(0, 0, 0, 0);
    return frame;
}

QLabel* MakeHeaderLabel(QWidget* parent)
{
    auto* header = new QLabel(parent);
    header->setObjectName(QStringLiteral("m_CtrlHeaderLabel"));
    header->setMinimumHeight(25);
    header->setMaximumHeight(25);
    header->setAlignment(Qt::AlignCenter);
    return header;
}

QFrame* MakeBottomFrame(QWidget* parent, const QList<QPushButton**>& buttons, const QList<QString>& objectNames,
                        bool returnToDialog)
{
    auto* bottom = new QFrame(parent);
    bottom->setObjectName(QStringLiteral("m_CtrlFrame_Bottom"));
    bottom->setMinimumHeight(23);
    bottom->setMaximumHeight(25);
    auto* layout = new QHBoxLayout(bottom);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->addItem(new QSpacerItem(40, 20, QSizePolicy::Expanding, QSizePolicy::Minimum));
    for (int i = 0; i < buttons.size(); ++i) {
        auto* button = new QPushButton(bottom);
        button->setObjectName(objectNames.value(i));
        button->setMinimumSize(75, 23);
        button->setAutoDefault(!returnToDialog);
        button->setDefault(!returnToDialog && i == 0);
        layout->addWidget(button);
        layout->addItem(new QSpacerItem(40, 20, QSizePolicy::Expanding, QSizePolicy::Minimum));
        *buttons.at(i) = button;
    }
    return bottom;
}

void ApplyGreyLook(QDialog* dialog, QWidget* header, QWidget* bottom, const QList<QPushButton*>& buttons)
{
    dialog->setStyleSheet(QStringLiteral("color:#FFFFFF;background:#707070"));
    dialog->setWindowFlags(Qt::Dialog | Qt::FramelessWindowHint);
    const QString darkSheet = QStringLiteral("color:#C0C0C0;background:#404040;");
    header->setStyleSheet(darkSheet);
    bottom->setStyleSheet(darkSheet);
    for (QPushButton* button : buttons)
        // A sheet background drops the native button frame: the border keeps
        // the #505050 face apart from the #404040 bar it sits on.
        button->setStyleSheet(QStringLiteral("color:#C0C0C0;background:#505050;border:1px solid #707070;"
                                             "border-radius:2px;"));
}

} // namespace GreyDialogParts
