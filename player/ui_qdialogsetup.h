#ifndef NALVO_PLAYER_UI_QDIALOGSETUP_H
#define NALVO_PLAYER_UI_QDIALOGSETUP_H

#include "widgets/qbriselministack.h"
#include "widgets/qcolorlabel.h"

#include <QCoreApplication>
#include <QDialog>
#include <QFrame>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QIcon>
#include <QLabel>

class Ui_QDialogSetup
{
public:
    QGroupBox* groupBox_Vumeter;
    QLabel* label_PrePostFader;
    QBriselMiniStack* m_CtrlMiniStack_Vumeter_PrePostFader;
    QLabel* label_Grid;
    QBriselMiniStack* m_CtrlMiniStack_Vumeter_Grid;
    QLabel* label_BlueLine;
    QBriselMiniStack* m_CtrlMiniStack_Vumeter_BlueLine;
    QLabel* label_Scale;
    QBriselMiniStack* m_CtrlMiniStack_Vumeter_Scale;
    QLabel* label_YellowZone;
    QBriselMiniStack* m_CtrlMiniStack_Vumeter_YellowZone;
    QLabel* label_RedZone;
    QBriselMiniStack* m_CtrlMiniStack_Vumeter_RedZone;
    QLabel* label_PeakHold;
    QBriselMiniStack* m_CtrlMiniStack_Vumeter_PeakHold;
    QLabel* label_Balistic;
    QBriselMiniStack* m_CtrlMiniStack_Vumeter_Balistic;
    QGroupBox* groupBox_Timeline;
    QLabel* label_Waveform;
    QBriselMiniStack* m_CtrlMiniStack_Timeline_Waveform;
    QBriselMiniStack* m_CtrlMiniStack_SetupReport_EditHeader;
    QFrame* m_CtrlFrame_Labels;
    QLabel* label_Title;
    QWidget* layoutWidget;
    QColorLabel* label_HintMove;
    QColorLabel* label_HintEdit;
    QColorLabel* label_HintExit;

    void setupUi(QDialog* dialog)
    {
        if (dialog->objectName().isEmpty())
            dialog->setObjectName(QStringLiteral("QDialogSetup"));
        dialog->resize(450, 190);
        dialog->setWindowIcon(QIcon(QStringLiteral(":/res/Resources/ButtonPreferences.png")));
        QFont font(QStringLiteral("DejaVu Sans"), 8);
        dialog->setFont(font);

        groupBox_Vumeter = new QGroupBox(dialog);
        groupBox_Vumeter->setObjectName(QStringLiteral("groupBox_Vumeter"));
        groupBox_Vumeter->setGeometry(QRect(5, 0, 441, 121));
        const int rows[4] = {15, 40, 65, 90};
        auto caption = [](QWidget* parent, const char* name, int x, int y) {
            QLabel* label = new QLabel(parent);
            label->setObjectName(QString::fromLatin1(name));
            label->setGeometry(QRect(x, y, x == 15 ? 81 : 71, 20));
            return label;
        };
        auto field = [](QWidget* parent, const char* name, int x, int y, int width) {
            QBriselMiniStack* stack = new QBriselMiniStack(parent);
            stack->setObjectName(QString::fromLatin1(name));
            stack->setGeometry(QRect(x, y, width, 21));
            return stack;
        };
        label_PrePostFader = caption(groupBox_Vumeter, "label_PrePostFader", 15, rows[0]);
        m_CtrlMiniStack_Vumeter_PrePostFader = field(groupBox_Vumeter, "m_CtrlMiniStack_Vumeter_PrePostFader", 100, rows[0], 120);
        label_Grid = caption(groupBox_Vumeter, "label_Grid", 235, rows[0]);
        m_CtrlMiniStack_Vumeter_Grid = field(groupBox_Vumeter, "m_CtrlMiniStack_Vumeter_Grid", 310, rows[0], 120);
        label_BlueLine = caption(groupBox_Vumeter, "label_BlueLine", 15, rows[1]);
        m_CtrlMiniStack_Vumeter_BlueLine = field(groupBox_Vumeter, "m_CtrlMiniStack_Vumeter_BlueLine", 100, rows[1], 120);
        label_Scale = caption(groupBox_Vumeter, "label_Scale", 235, rows[1]);
        m_CtrlMiniStack_Vumeter_Scale = field(groupBox_Vumeter, "m_CtrlMiniStack_Vumeter_Scale", 310, rows[1], 120);
        label_YellowZone = caption(groupBox_Vumeter, "label_YellowZone", 15, rows[2]);
        m_CtrlMiniStack_Vumeter_YellowZone = field(groupBox_Vumeter, "m_CtrlMiniStack_Vumeter_YellowZone", 100, rows[2], 120);
        label_RedZone = caption(groupBox_Vumeter, "label_RedZone", 235, rows[2]);
        m_CtrlMiniStack_Vumeter_RedZone = field(groupBox_Vumeter, "m_CtrlMiniStack_Vumeter_RedZone", 310, rows[2], 120);
        label_PeakHold = caption(groupBox_Vumeter, "label_PeakHold", 15, rows[3]);
        m_CtrlMiniStack_Vumeter_PeakHold = field(groupBox_Vumeter, "m_CtrlMiniStack_Vumeter_PeakHold", 100, rows[3], 120);
        label_Balistic = caption(groupBox_Vumeter, "label_Balistic", 235, rows[3]);
        m_CtrlMiniStack_Vumeter_Balistic = field(groupBox_Vumeter, "m_CtrlMiniStack_Vumeter_Balistic", 310, rows[3], 120);

        groupBox_Timeline = new QGroupBox(dialog);
        groupBox_Timeline->setObjectName(QStringLiteral("groupBox_Timeline"));
        groupBox_Timeline->setGeometry(QRect(5, 125, 436, 41));
        label_Waveform = caption(groupBox_Timeline, "label_Waveform", 15, 15);
        m_CtrlMiniStack_Timeline_Waveform = field(groupBox_Timeline, "m_CtrlMiniStack_Timeline_Waveform", 100, 15, 195);

        m_CtrlMiniStack_SetupReport_EditHeader = new QBriselMiniStack(dialog);
        m_CtrlMiniStack_SetupReport_EditHeader->setObjectName(QStringLiteral("m_CtrlMiniStack_SetupReport_EditHeader"));
        m_CtrlMiniStack_SetupReport_EditHeader->setGeometry(QRect(0, 0, 0, 0));
        m_CtrlMiniStack_SetupReport_EditHeader->hide();

        m_CtrlFrame_Labels = new QFrame(dialog);
        m_CtrlFrame_Labels->setObjectName(QStringLiteral("m_CtrlFrame_Labels"));
        m_CtrlFrame_Labels->setGeometry(QRect(0, 170, 450, 20));
        label_Title = new QLabel(m_CtrlFrame_Labels);
        label_Title->setObjectName(QStringLiteral("label_Title"));
        label_Title->setGeometry(QRect(5, 1, 51, 16));
        layoutWidget = new QWidget(m_CtrlFrame_Labels);
        layoutWidget->setObjectName(QStringLiteral("layoutWidget"));
        layoutWidget->setGeometry(QRect(65, 0, 289, 22));
        QHBoxLayout* hints = new QHBoxLayout(layoutWidget);
        hints->setContentsMargins(0, 0, 0, 0);
        label_HintMove = new QColorLabel(layoutWidget);
        label_HintMove->setObjectName(QStringLiteral("label_HintMove"));
        hints->addWidget(label_HintMove);
        label_HintEdit = new QColorLabel(layoutWidget);
        label_HintEdit->setObjectName(QStringLiteral("label_HintEdit"));
        hints->addWidget(label_HintEdit);
        label_HintExit = new QColorLabel(layoutWidget);
        label_HintExit->setObjectName(QStringLiteral("label_HintExit"));
        hints->addWidget(label_HintExit);

        retranslateUi(dialog);
    }

    void retranslateUi(QDialog* dialog)
    {
        auto tr = [](const char* text) { return QCoreApplication::translate("QDialogSetup", text); };
        dialog->setWindowTitle(tr("General Setup"));
        groupBox_Vumeter->setTitle(tr("Vumeter"));
        label_PrePostFader->setText(tr("Display level:"));
        label_Grid->setText(tr("Display Grid:"));
        label_BlueLine->setText(tr("Blue Line:"));
        label_Scale->setText(tr("Scale:"));
        label_YellowZone->setText(tr("Yellow Zone:"));
        label_RedZone->setText(tr("Red Zone:"));
        label_PeakHold->setText(tr("Peak Hold:"));
        label_Balistic->setText(tr("Baslistic:"));
        groupBox_Timeline->setTitle(tr("Timeline"));
        label_Waveform->setText(tr("Waveform:"));
        label_Title->setText(tr(" SETUP "));
        label_HintMove->setText(tr("U-D-L-R: Sel. Item"));
        label_HintEdit->setText(tr("Ok:Edit Item"));
        label_HintExit->setText(tr("ESC: Exit "));
    }
};

namespace Ui {
class QDialogSetup : public Ui_QDialogSetup
{
};
} // namespace Ui

#endif
