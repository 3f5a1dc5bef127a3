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

    void setupUi(QDialog* dialog)
    {
        if (dialog->objectName().isEmpty())
            dialog->setObjectName(QStringLiteral("QDialogAddNewFolder"));
        dialog->resize(363, 110);
        QFont smallFont;
        smallFont.setPointSize(9);

        m_CtrlStackedWidget_DayProj = new QStackedWidget(dialog);
        m_CtrlStackedWidget_DayProj->setObjectName(QStringLiteral("m_CtrlStackedWidget_DayProj"));
        m_CtrlStackedWidget_DayProj->setGeometry(QRect(0, 5, 290, 60));

        page = new QWidget();
        page->setObjectName(QStringLiteral("page"));
        groupBox = new QGroupBox(page);
        groupBox->setObjectName(QStringLiteral("groupBox"));
        groupBox->setGeometry(QRect(5, 0, 281, 50));
        groupBox->setFont(smallFont);
        m_CtrlDateEdit = new QDateEdit(groupBox);
        m_CtrlDateEdit->setObjectName(QStringLiteral("m_CtrlDateEdit"));
        m_CtrlDateEdit->setGeometry(QRect(20, 15, 136, 22));
        m_CtrlDateEdit->setCalendarPopup(true);
        m_CtrlDateEdit->setDisplayFormat(QStringLiteral("yyyy-MM-dd"));
        label = new QLabel(groupBox);
        label->setObjectName(QStringLiteral("label"));
        label->setGeometry(QRect(170, 15, 91, 22));
        m_CtrlStackedWidget_DayProj->addWidget(page);

        page_2 = new QWidget();
        page_2->setObjectName(QStringLiteral("page_2"));
        groupBox_2 = new QGroupBox(page_2);
        groupBox_2->setObjectName(QStringLiteral("groupBox_2"));
        groupBox_2->setGeometry(QRect(5, 0, 281, 51));
        groupBox_2->setFont(smallFont);
        m_CtrlLineEdit_ProjectName = new QLineEdit(groupBox_2);
        m_CtrlLineEdit_ProjectName->setObjectName(QStringLiteral("m_CtrlLineEdit_ProjectName"));
        m_CtrlLineEdit_ProjectName->setGeometry(QRect(5, 20, 211, 20));
        label_2 = new QLabel(groupBox_2);
        label_2->setObjectName(QStringLiteral("label_2"));
        label_2->setGeometry(QRect(230, 25, 40, 16));
        m_CtrlStackedWidget_DayProj->addWidget(page_2);

        m_CtrlFrame_Labels = new QFrame(dialog);
        m_CtrlFrame_Labels->setObjectName(QStringLiteral("m_CtrlFrame_Labels"));
        m_CtrlFrame_Labels->setGeometry(QRect(0, 90, 366, 20));
        m_CtrlFrame_Labels->setMinimumHeight(20);
        m_CtrlFrame_Labels->setFrameShape(QFrame::NoFrame);
        m_CtrlFrame_Labels->setFrameShadow(QFrame::Plain);
        m_CtrlFrame_Labels->setLineWidth(0);
        m_CtrlLabelTitle_Bottom = new QColorLabel(m_CtrlFrame_Labels);
        m_CtrlLabelTitle_Bottom->setObjectName(QStringLiteral("m_CtrlLabelTitle_Bottom"));
        m_CtrlLabelTitle_Bottom->setGeometry(QRect(5, 1, 216, 16));
        m_CtrlLabelTitle_Bottom->setMaximumHeight(20);
        m_CtrlLabelTitle_Bottom->setFont(generalFont10Bold);
        m_CtrlLabelTitle_Bottom->setStyleSheet(QString());
        m_CtrlLabelTitle_Bottom->setAlignment(Qt::AlignLeading | Qt::AlignLeft | Qt::AlignVCenter);
        m_CtrlLabelTitle_Bottom->setWordWrap(false);

        m_CtrlButton_Ok = new QPushButton(dialog);
        m_CtrlButton_Ok->setObjectName(QStringLiteral("m_CtrlButton_Ok"));
        m_CtrlButton_Ok->setGeometry(QRect(305, 15, 51, 26));
        m_CtrlButton_Ok->setFont(generalFont10);
        m_CtrlButton_Cancel = new QPushButton(dialog);
        m_CtrlButton_Cancel->setObjectName(QStringLiteral("m_CtrlButton_Cancel"));
        m_CtrlButton_Cancel->setGeometry(QRect(305, 50, 51, 26));
        m_CtrlButton_Cancel->setFont(generalFont10);

        label_3 = new QLabel(dialog);
        label_3->setObjectName(QStringLiteral("label_3"));
        label_3->setGeometry(QRect(5, 60, 70, 15));
        label_3->setFont(smallFont);
        m_CtrlLabel_Path = new QLabel(dialog);
        m_CtrlLabel_Path->setObjectName(QStringLiteral("m_CtrlLabel_Path"));
        m_CtrlLabel_Path->setGeometry(QRect(85, 60, 205, 15));
        m_CtrlLabel_Path->setFont(smallFont);

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
