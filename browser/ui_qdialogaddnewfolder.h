#ifndef NALVO_BROWSER_UI_QDIALOGADDNEWFOLDER_H
#define NALVO_BROWSER_UI_QDIALOGADDNEWFOLDER_H

#include <QCoreApplication>
#include <QDateEdit>
#include <QDialog>
#include <QFrame>
#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QStackedWidget>

#include "widgets/qcolorlabel.h"
#include "widgets/sharedfonts.h"

class Ui_QDialogAddNewFolder
{
    template <class Widget>
    static Widget* place(QWidget* parent, const char* objectName, const QRect& geometry)
    {
        auto* w = new Widget(parent);
        w->setObjectName(QLatin1String(objectName));
        w->setGeometry(geometry);
        return w;
    }

public:
    QStackedWidget* m_CtrlStackedWidget_DayProj;
    QWidget* page;
    QGroupBox* groupBox;
    QDateEdit* m_CtrlDateEdit;
    QLabel* label;
    QWidget* page_2;
    QGroupBox* groupBox_2;
    QLineEdit* m_CtrlLineEdit_ProjectName;
    QLabel* label_2;
    QFrame* m_CtrlFrame_Labels;
    QColorLabel* m_CtrlLabelTitle_Bottom;
    QPushButton* m_CtrlButton_Ok;
    QPushButton* m_CtrlButton_Cancel;
    QLabel* label_3;
    QLabel* m_CtrlLabel_Path;
    QLabel* m_CtrlLabel_Refusal;

    void setupUi(QDialog* dialog)
    {
        if (dialog->objectName().isEmpty())
            dialog->setObjectName(QStringLiteral("QDialogAddNewFolder"));
        dialog->resize(363, 110);
        QFont smallFont;
        smallFont.setPointSize(9);

        m_CtrlStackedWidget_DayProj = place<QStackedWidget>(dialog, "m_CtrlStackedWidget_DayProj", {0, 5, 290, 60});

        page = new QWidget();
        page->setObjectName(QStringLiteral("page"));
        groupBox = place<QGroupBox>(page, "groupBox", {5, 0, 281, 50});
        groupBox->setFont(smallFont);
        m_CtrlDateEdit = place<QDateEdit>(groupBox, "m_CtrlDateEdit", {20, 15, 136, 22});
        m_CtrlDateEdit->setCalendarPopup(true);
        m_CtrlDateEdit->setDisplayFormat(QStringLiteral("yyyy-MM-dd"));
        label = place<QLabel>(groupBox, "label", {170, 15, 91, 22});
        m_CtrlStackedWidget_DayProj->addWidget(page);

        page_2 = new QWidget();
        page_2->setObjectName(QStringLiteral("page_2"));
        groupBox_2 = place<QGroupBox>(page_2, "groupBox_2", {5, 0, 281, 51});
        groupBox_2->setFont(smallFont);
        m_CtrlLineEdit_ProjectName = place<QLineEdit>(groupBox_2, "m_CtrlLineEdit_ProjectName", {5, 20, 211, 20});
        label_2 = place<QLabel>(groupBox_2, "label_2", {230, 25, 40, 16});
        m_CtrlStackedWidget_DayProj->addWidget(page_2);

        m_CtrlFrame_Labels = place<QFrame>(dialog, "m_CtrlFrame_Labels", {0, 90, 366, 20});
        m_CtrlFrame_Labels->setMinimumHeight(20);
        m_CtrlFrame_Labels->setFrameShape(QFrame::NoFrame);
        m_CtrlFrame_Labels->setFrameShadow(QFrame::Plain);
        m_CtrlFrame_Labels->setLineWidth(0);
        m_CtrlLabelTitle_Bottom = place<QColorLabel>(m_CtrlFrame_Labels, "m_CtrlLabelTitle_Bottom", {5, 1, 216, 16});
        m_CtrlLabelTitle_Bottom->setMaximumHeight(20);
        m_CtrlLabelTitle_Bottom->setFont(generalFont10Bold);
        m_CtrlLabelTitle_Bottom->setStyleSheet(QString());
        m_CtrlLabelTitle_Bottom->setAlignment(Qt::AlignLeading | Qt::AlignLeft | Qt::AlignVCenter);
        m_CtrlLabelTitle_Bottom->setWordWrap(false);

        m_CtrlButton_Ok = place<QPushButton>(dialog, "m_CtrlButton_Ok", {305, 15, 51, 26});
        m_CtrlButton_Ok->setFont(generalFont10);
        m_CtrlButton_Cancel = place<QPushButton>(dialog, "m_CtrlButton_Cancel", {305, 50, 51, 26});
        m_CtrlButton_Cancel->setFont(generalFont10);
        label_3 = place<QLabel>(dialog, "label_3", {5, 60, 70, 15});
        label_3->setFont(smallFont);
        m_CtrlLabel_Path = place<QLabel>(dialog, "m_CtrlLabel_Path", {85, 60, 205, 15});
        m_CtrlLabel_Path->setFont(smallFont);
        m_CtrlLabel_Refusal = place<QLabel>(dialog, "m_CtrlLabel_Refusal", {5, 75, 295, 15});
        m_CtrlLabel_Refusal->setFont(smallFont);
        m_CtrlLabel_Refusal->setStyleSheet(QStringLiteral("color:#FF5050;"));

        retranslateUi(dialog);
        m_CtrlStackedWidget_DayProj->setCurrentIndex(1);
    }

    void retranslateUi(QDialog* dialog)
    {
        dialog->setWindowTitle(QCoreApplication::translate("QDialogAddNewFolder", "Add new folder"));
        groupBox->setTitle(QCoreApplication::translate("QDialogAddNewFolder", "Day"));
        label->setText(QCoreApplication::translate("QDialogAddNewFolder", "yyyy-MM-dd"));
        groupBox_2->setTitle(QCoreApplication::translate("QDialogAddNewFolder", "Project"));
        label_2->setText(QCoreApplication::translate("QDialogAddNewFolder", ".BR1"));
        m_CtrlLabelTitle_Bottom->setText(QCoreApplication::translate("QDialogAddNewFolder", "ADD NEW"));
        m_CtrlButton_Ok->setText(QCoreApplication::translate("QDialogAddNewFolder", "OK"));
        m_CtrlButton_Cancel->setText(QCoreApplication::translate("QDialogAddNewFolder", "Cancel"));
        label_3->setText(QCoreApplication::translate("QDialogAddNewFolder", "created in :"));
        m_CtrlLabel_Path->setText(QCoreApplication::translate("QDialogAddNewFolder", "--"));
    }
};

namespace Ui {
class QDialogAddNewFolder : public Ui_QDialogAddNewFolder
{
};
} // namespace Ui

#endif
