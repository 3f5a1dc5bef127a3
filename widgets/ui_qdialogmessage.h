#ifndef NALVO_WIDGETS_UI_QDIALOGMESSAGE_H
#define NALVO_WIDGETS_UI_QDIALOGMESSAGE_H

#include <QCoreApplication>
#include <QDialog>
#include <QLabel>

#include "widgets/qcolorlabel.h"

class Ui_QDialogMessage
{
public:
    QLabel* m_CtrlHeaderLabel;
    QLabel* m_CtrlTextLabel;
    QColorLabel* m_CtrlBottomLabel_Ok;
    QColorLabel* m_CtrlBottomLabel_Esc;

    void setupUi(QDialog* dialog)
    {
        if (dialog->objectName().isEmpty())
            dialog->setObjectName(QStringLiteral("QDialogMessage"));
        dialog->resize(280, 147);
        m_CtrlHeaderLabel = new QLabel(dialog);
        m_CtrlHeaderLabel->setObjectName(QStringLiteral("m_CtrlHeaderLabel"));
        m_CtrlHeaderLabel->setGeometry(QRect(0, 0, 281, 21));
        m_CtrlTextLabel = new QLabel(dialog);
        m_CtrlTextLabel->setObjectName(QStringLiteral("m_CtrlTextLabel"));
        m_CtrlTextLabel->setGeometry(QRect(0, 20, 280, 80));
        m_CtrlTextLabel->setWordWrap(true);
        m_CtrlBottomLabel_Ok = new QColorLabel(dialog);
        m_CtrlBottomLabel_Ok->setObjectName(QStringLiteral("m_CtrlBottomLabel_Ok"));
        m_CtrlBottomLabel_Ok->setGeometry(QRect(0, 100, 140, 20));
        m_CtrlBottomLabel_Esc = new QColorLabel(dialog);
        m_CtrlBottomLabel_Esc->setObjectName(QStringLiteral("m_CtrlBottomLabel_Esc"));
        m_CtrlBottomLabel_Esc->setGeometry(QRect(140, 100, 140, 20));
        retranslateUi(dialog);
    }

    void retranslateUi(QDialog* dialog)
    {
        dialog->setWindowTitle(QCoreApplication::translate("QDialogMessage", "Dialog"));
        m_CtrlHeaderLabel->setText(QCoreApplication::translate("QDialogMessage", "TextLabel"));
        m_CtrlTextLabel->setText(QCoreApplication::translate("QDialogMessage", "TextLabel"));
        m_CtrlBottomLabel_Ok->setText(QCoreApplication::translate("QDialogMessage", "TextLabel"));
        m_CtrlBottomLabel_Esc->setText(QCoreApplication::translate("QDialogMessage", "TextLabel"));
    }
};

namespace Ui {
class QDialogMessage : public Ui_QDialogMessage
{
};
} // namespace Ui

#endif
