#ifndef NALVO_WIDGETS_UI_QDIALOGMESSAGELISTE_H
#define NALVO_WIDGETS_UI_QDIALOGMESSAGELISTE_H

#include <QCoreApplication>
#include <QDialog>
#include <QFrame>
#include <QLabel>
#include <QListWidget>
#include <QPushButton>
#include <QVBoxLayout>

#include "widgets/greydialogparts.h"

class Ui_QDialogMessageListe
{
public:
    QFrame* m_CtrlFrame_Wnd;
    QLabel* m_CtrlHeaderLabel;
    QFrame* frame;
    QListWidget* m_CtrlListWidget;
    QFrame* m_CtrlFrame_Bottom;
    QPushButton* m_CtrlButton_Ok;
    QPushButton* m_CtrlButton_Cancel;

    void setupUi(QDialog* dialog)
    {
        using namespace GreyDialogParts;
        if (dialog->objectName().isEmpty())
            dialog->setObjectName(QStringLiteral("QDialogMessageListe"));
        dialog->resize(267, 141);
        m_CtrlFrame_Wnd = MakeOuterFrame(dialog, QStringLiteral("m_CtrlFrame_Wnd"));
        QLayout* layout = m_CtrlFrame_Wnd->layout();

        m_CtrlHeaderLabel = MakeHeaderLabel(m_CtrlFrame_Wnd);
        m_CtrlHeaderLabel->setFont(DejaVuFont(10));
        layout->addWidget(m_CtrlHeaderLabel);

        frame = new QFrame(m_CtrlFrame_Wnd);
        frame->setObjectName(QStringLiteral("frame"));
        auto* frameLayout = new QVBoxLayout(frame);
        frameLayout->setContentsMargins(0, 0, 0, 0);
        m_CtrlListWidget = new QListWidget(frame);
        m_CtrlListWidget->setObjectName(QStringLiteral("m_CtrlListWidget"));
        m_CtrlListWidget->setFont(DejaVuFont(9));
        m_CtrlListWidget->setFrameShape(QFrame::NoFrame);
        frameLayout->addWidget(m_CtrlListWidget);
        layout->addWidget(frame);

        m_CtrlFrame_Bottom = MakeBottomFrame(m_CtrlFrame_Wnd, {&m_CtrlButton_Ok, &m_CtrlButton_Cancel},
                                             {QStringLiteral("m_CtrlButton_Ok"), QStringLiteral("m_CtrlButton_Cancel")},
                                             true);
        layout->addWidget(m_CtrlFrame_Bottom);
        retranslateUi(dialog);
    }

    void retranslateUi(QDialog* dialog)
    {
        dialog->setWindowTitle(QCoreApplication::translate("QDialogMessageListe", "Dialog"));
        m_CtrlHeaderLabel->setText(QCoreApplication::translate("QDialogMessageListe", "TextLabel"));
        m_CtrlButton_Ok->setText(QCoreApplication::translate("QDialogMessageListe", "Ok"));
        m_CtrlButton_Cancel->setText(QCoreApplication::translate("QDialogMessageListe", "Cancel"));
    }
};

namespace Ui {
class QDialogMessageListe : public Ui_QDialogMessageListe
{
};
} // namespace Ui

#endif
