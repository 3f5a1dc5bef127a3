#ifndef NALVO_WIDGETS_UI_QDIALOGMESSAGETEXTEDIT_H
#define NALVO_WIDGETS_UI_QDIALOGMESSAGETEXTEDIT_H

#include <QCoreApplication>
#include <QDialog>
#include <QFrame>
#include <QLabel>
#include <QPushButton>
#include <QTextEdit>
#include <QVBoxLayout>

#include "widgets/greydialogparts.h"

class Ui_QDialogMessageTextEdit
{
public:
    QFrame* m_CtrlFrame_Wnd;
    QLabel* m_CtrlHeaderLabel;
    QFrame* frame;
    QTextEdit* m_CtrlTextEdit;
    QFrame* m_CtrlFrame_Bottom;
    QPushButton* m_CtrlButton_Ok;

    void setupUi(QDialog* dialog)
    {
        using namespace GreyDialogParts;
        if (dialog->objectName().isEmpty())
            dialog->setObjectName(QStringLiteral("QDialogMessageTextEdit"));
        dialog->resize(550, 200);
        dialog->setSizeGripEnabled(true);
        m_CtrlFrame_Wnd = MakeOuterFrame(dialog, QStringLiteral("m_CtrlFrame_Wnd"));
        QLayout* layout = m_CtrlFrame_Wnd->layout();

        m_CtrlHeaderLabel = MakeHeaderLabel(m_CtrlFrame_Wnd);
        m_CtrlHeaderLabel->setFont(DejaVuFont(10));
        m_CtrlHeaderLabel->setMouseTracking(true);
        m_CtrlHeaderLabel->setAcceptDrops(true);
        layout->addWidget(m_CtrlHeaderLabel);

        frame = new QFrame(m_CtrlFrame_Wnd);
        frame->setObjectName(QStringLiteral("frame"));
        auto* frameLayout = new QVBoxLayout(frame);
        frameLayout->setContentsMargins(0, 0, 0, 0);
        m_CtrlTextEdit = new QTextEdit(frame);
        m_CtrlTextEdit->setObjectName(QStringLiteral("m_CtrlTextEdit"));
        m_CtrlTextEdit->setFont(DejaVuFont(9));
        m_CtrlTextEdit->setFrameShape(QFrame::NoFrame);
        m_CtrlTextEdit->setReadOnly(true);
        frameLayout->addWidget(m_CtrlTextEdit);
        layout->addWidget(frame);

        m_CtrlFrame_Bottom = MakeBottomFrame(m_CtrlFrame_Wnd, {&m_CtrlButton_Ok}, {QStringLiteral("m_CtrlButton_Ok")},
                                             false);
        layout->addWidget(m_CtrlFrame_Bottom);
        retranslateUi(dialog);
    }

    void retranslateUi(QDialog* dialog)
    {
        dialog->setWindowTitle(QCoreApplication::translate("QDialogMessageTextEdit", "Dialog"));
        m_CtrlHeaderLabel->setText(QCoreApplication::translate("QDialogMessageTextEdit", "TextLabel"));
        m_CtrlButton_Ok->setText(QCoreApplication::translate("QDialogMessageTextEdit", "Ok"));
    }
};

namespace Ui {
class QDialogMessageTextEdit : public Ui_QDialogMessageTextEdit
{
};
} // namespace Ui

#endif
