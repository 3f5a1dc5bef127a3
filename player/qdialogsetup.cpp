#include "player/qdialogsetup.h"

#include "foundation/fonts.h"
#include "foundation/messageloging.h"
#include "player/ui_qdialogsetup.h"
#include "widgets/labelfit.h"
#include "widgets/qdialogmessageliste.h"
#include "widgets/screenfit.h"

#include <QKeyEvent>

QDialogSetup::QDialogSetup(QWidget* parent)
    : QDialog(parent)
    , ui(new Ui::QDialogSetup)
{
    KeepOnScreen(this);
    ui->setupUi(this);
    setFixedSize(size());
    InitFontSize(this);
    // The captions have fixed boxes beside their fields: a caption that the
    // scaled (or inherited) font makes wider than its box is shrunk to fit
    // instead of being cut.
    for (QLabel* caption : {ui->label_PrePostFader, ui->label_Grid, ui->label_BlueLine, ui->label_Scale,
                            ui->label_YellowZone, ui->label_RedZone, ui->label_PeakHold, ui->label_Balistic,
                            ui->label_Waveform})
        ShrinkFontToFit(caption);

    // Navigation order: left to right, top to bottom.
    const tSetupValue order[] = {SetupDisplayLevels, SetupGrid,    SetupBlueLine,  SetupScale,   SetupYellowZone,
                                 SetupRedZone,       SetupPeakHold, SetupBallistic, SetupWaveform};
    for (tSetupValue which : order) {
        QBriselMiniStack* field = Field(which);
        field->SetupTextOnly(QString(), Qt::AlignLeft | Qt::AlignVCenter);
        field->SwitchStateTo(QBriselMiniStack::MINISTACK_OFF);
        m_Manager.InsertItem(field);
    }
    m_Manager.MiniStackFieldManager(1);
    connect(&m_Manager, SIGNAL(signal_UserClickedOk(bool)), this, SLOT(slot_UserClickedOk(bool)));
    connect(&m_Manager, SIGNAL(signal_UserClickedCancel()), this, SLOT(slot_UserClickedCancel()));
    ui->m_CtrlFrame_Labels->setStyleSheet(QStringLiteral("color:#FFFFFF;background:#004466;"));
}

QDialogSetup::~QDialogSetup() = default;

QBriselMiniStack* QDialogSetup::Field(tSetupValue which) const
{
    switch (which) {
    case SetupDisplayLevels: return ui->m_CtrlMiniStack_Vumeter_PrePostFader;
    case SetupGrid: return ui->m_CtrlMiniStack_Vumeter_Grid;
    case SetupBlueLine: return ui->m_CtrlMiniStack_Vumeter_BlueLine;
    case SetupYellowZone: return ui->m_CtrlMiniStack_Vumeter_YellowZone;
    case SetupRedZone: return ui->m_CtrlMiniStack_Vumeter_RedZone;
    case SetupPeakHold: return ui->m_CtrlMiniStack_Vumeter_PeakHold;
    case SetupBallistic: return ui->m_CtrlMiniStack_Vumeter_Balistic;
    case SetupScale: return ui->m_CtrlMiniStack_Vumeter_Scale;
    case SetupWaveform: return ui->m_CtrlMiniStack_Timeline_Waveform;
    default: return nullptr;
    }
}

void QDialogSetup::SetParameters(tVumeterDisplayPrePostFader prePost, int grid, int blueLine, int yellow, int red,
                                 int peakHold, int ballistic, int scale, tPlayWavDisplayMode mode)
{
    const int values[SetupValueCount] = {prePost, grid, blueLine, yellow, red, peakHold, ballistic, scale, mode};
    std::copy(std::begin(values), std::end(values), std::begin(m_nValues));
    ShowValueLabels();
}

void QDialogSetup::ShowValueLabels()
{
    const Qt::Alignment align = Qt::AlignLeft | Qt::AlignVCenter;
    for (int i = 0; i < SetupValueCount; ++i) {
        const tSetupValue which = tSetupValue(i);
        const tSetupField& field = SetupFieldOf(which);
        if (which == SetupGrid) {
            Field(which)->SetupTextOnly(QString::fromLatin1(m_nValues[i] != 0 ? "ON" : "OFF"), align);
            continue;
        }
        // A value outside the table leaves the field's text as it was.
        const int row = field.RowOfValue(m_nValues[i]);
        if (row >= 0)
            Field(which)->SetupTextOnly(QString::fromUtf8(field.rows[row].label), align);
    }
}

void QDialogSetup::GetParameters(tVumeterDisplayPrePostFader* prePost, int* grid, int* blueLine, int* yellow,
                                 int* red, int* peakHold, int* ballistic, int* scale,
                                 tPlayWavDisplayMode* mode) const
{
    if (prePost)
        *prePost = tVumeterDisplayPrePostFader(m_nValues[SetupDisplayLevels]);
    int* outs[] = {grid, blueLine, yellow, red, peakHold, ballistic, scale};
    for (int i = 0; i < 7; ++i) {
        if (outs[i])
            *outs[i] = m_nValues[SetupGrid + i];
    }
    if (mode)
        *mode = tPlayWavDisplayMode(m_nValues[SetupWaveform]);
    MyQDebug("pBlueLineLevel %d", m_nValues[SetupBlueLine]);
}

void QDialogSetup::PickValue(QBriselMiniStack* field)
{
    int which = -1;
    for (int i = 0; i < SetupValueCount; ++i) {
        if (Field(tSetupValue(i)) == field)
            which = i;
    }
    if (which < 0)
        return;
    const tSetupField& choices = SetupFieldOf(tSetupValue(which));
    QStringList rows = choices.Labels();
    auto list = std::make_unique<QDialogMessageListe>(this);
    list->SetupText(QString::fromLatin1(choices.title), rows, choices.OpeningRow(m_nValues[which]),
                    Qt::AlignHCenter | Qt::AlignVCenter);
    list->move(mapToGlobal(field->pos()));
    const int result = list->exec();
    MyQDebug("nRet %d", result);
    const int row = list->GetLastSelectedIndice();
    if (result != 0 && row >= 0 && row < choices.rowCount)
        m_nValues[which] = choices.rows[row].value;
}

void QDialogSetup::slot_UserClickedOk(bool)
{
    QBriselMiniStack* field = nullptr;
    if (m_Manager.GetState() == QBriselMiniStackManager::MANAGER_SELECT
        && m_Manager.GetSelectedMiniStackField(&field) == 0 && field)
        PickValue(field);
    m_Manager.MiniStackFieldManager(1);
    ShowValueLabels();
    emit signal_ParameterChanged();
}

void QDialogSetup::slot_UserClickedCancel()
{
}

void QDialogSetup::keyPressEvent(QKeyEvent* event)
{
    MyQDebug("QDialogSetup key:0x%X (%d) mod : 0x%X (%d) scancode 0x%X (%d) nativeVirtualKey 0x%X (%d)",
             unsigned(event->key()), event->key(), unsigned(event->modifiers()), int(event->modifiers()),
             event->nativeScanCode(), int(event->nativeScanCode()), event->nativeVirtualKey(),
             int(event->nativeVirtualKey()));
    switch (event->key()) {
    case Qt::Key_Escape:
        done(0);
        break;
    case Qt::Key_Return:
    case Qt::Key_Enter:
        slot_UserClickedOk(false);
        return;
    case Qt::Key_Left:
        m_Manager.MiniStackMoveLeft();
        return;
    case Qt::Key_Right:
        m_Manager.MiniStackMoveRight();
        return;
    case Qt::Key_Up:
        m_Manager.MiniStackMoveUp();
        return;
    case Qt::Key_Down:
        m_Manager.MiniStackMoveDown();
        return;
    default:
        break;
    }
    event->ignore();
    QDialog::keyPressEvent(event);
}
