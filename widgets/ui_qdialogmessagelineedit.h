#ifndef NALVO_WIDGETS_UI_QDIALOGMESSAGELINEEDIT_H
#define NALVO_WIDGETS_UI_QDIALOGMESSAGELINEEDIT_H

#include <QCoreApplication>
#include <QDialog>
#include <QFrame>
#include <QLabel>
#include <QPushButton>
#include <QVBoxLayout>

#include "widgets/greydialogparts.h"
#include "widgets/qbriselplaintextedit.h"

class Ui_QDialogMessageLineEdit
{
public:
    QFrame* frame;
    QLabel* m_CtrlHeaderLabel;
    QFrame* frame_2;
    QBriselPlainTextEdit* m_CtrlPlainTextEdit;
    QLabel* m_CtrlHelpLabel;
    QFrame* m_CtrlFrame_Bottom;
    QPushButton* m_CtrlButton_Ok;
    QPushButton* m_CtrlButton_Cancel;

    void setupUi(QDialog* dialog)
    {
        using namespace GreyDialogParts;
        if (dialog->objectName().isEmpty())
            dialog->setObjectName(QStringLiteral("QDialogMessageLineEdit"));
        dialog->resize(275, 151);
        dialog->setFont(DejaVuFont(10));
        frame = MakeOuterFrame(dialog, QStringLiteral("frame"));
        QLayout* layout = frame->layout();

        m_CtrlHeaderLabel = MakeHeaderLabel(frame);
        m_CtrlHeaderLabel->setMouseTracking(true);
        m_CtrlHeaderLabel->setAcceptDrops(true);
        layout->addWidget(m_CtrlHeaderLabel);

        frame_2 = new QFrame(frame);
        frame_2->setObjectName(QStringLiteral("frame_2"));
        frame_2->setMaximumHeight(37);
        auto* editLayout = new QVBoxLayout(frame_2);
        editLayout->setContentsMargins(4, 1, 4, 0);
        m_CtrlPlainTextEdit = new QBriselPlainTextEdit(frame_2);
        m_CtrlPlainTextEdit->setObjectName(QStringLiteral("m_CtrlPlainTextEdit"));
        m_CtrlPlainTextEdit->setMaximumHeight(36);
        m_CtrlPlainTextEdit->setFont(DejaVuFont(9));
        m_CtrlPlainTextEdit->setLineWrapMode(QPlainTextEdit::NoWrap);
        editLayout->addWidget(m_CtrlPlainTextEdit);
        layout->addWidget(frame_2);

        m_CtrlHelpLabel = new QLabel(frame);
        m_CtrlHelpLabel->setObjectName(QStringLiteral("m_CtrlHelpLabel"));
        m_CtrlHelpLabel->setMinimumHeight(50);
        m_CtrlHelpLabel->setAlignment(Qt::AlignCenter);
        layout->addWidget(m_CtrlHelpLabel);

        m_CtrlFrame_Bottom = MakeBottomFrame(frame, {&m_CtrlButton_Ok, &m_CtrlButton_Cancel},
                                             {QStringLiteral("m_CtrlButton_Ok"), QStringLiteral("m_CtrlButton_Cancel")},
                                             true);
        layout->addWidget(m_CtrlFrame_Bottom);
        retranslateUi(dialog);
    }

    void retranslateUi(QDialog* dialog)
    {
        dialog->setWindowTitle(QCoreApplication::translate("QDialogMessageLineEdit", "Dialog"));
        m_CtrlHeaderLabel->setText(QCoreApplication::translate("QDialogMessageLineEdit", "TextLabel"));
        m_CtrlHelpLabel->setText(QCoreApplication::translate("QDialogMessageLineEdit", "TextLabel"));
        m_CtrlButton_Ok->setText(QCoreApplication::translate("QDialogMessageLineEdit", "Ok"));
        m_CtrlButton_Cancel->setText(QCoreApplication::translate("QDialogMessageLineEdit", "Cancel"));
    }
};

namespace Ui {
class QDialogMessageLineEdit : public Ui_QDialogMessageLineEdit
{
};
} // namespace Ui

#endif
