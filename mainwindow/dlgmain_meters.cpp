// DlgMain: master meters, the strip frames' colours, the meter preferences
// and the timeline's waveform mode button.
#include "mainwindow/dlgmain.h"

#include "ui_dlgmain.h"

#include "mainwindow/stripcolours.h"

#include <QGraphicsProxyWidget>
#include <QGraphicsScene>
#include <QPalette>

namespace {
const char* const kWaveformModeTexts[] = {"S- V", "S-dB", "U- V", "U-dB"};

// One horizontal master meter: a vertical meter in a frame, shown rotated by
// the form's graphics view. The scene owns the proxy, the proxy the frame.
QCustomVum* BuildMasterMeter(QGraphicsView* view, QGraphicsScene* scene)
{
    auto* frame = new QFrame;
    frame->resize(15, 250);
    frame->setFrameShape(QFrame::NoFrame);
    auto* meter = new QCustomVum(frame);
    meter->setGeometry(0, 0, 15, 240);
    QGraphicsProxyWidget* proxy = scene->addWidget(frame);
    QPalette palette = proxy->palette();
    palette.setBrush(QPalette::All, QPalette::Window, Qt::transparent);
    proxy->setPalette(palette);
    view->setScene(scene);
    view->rotate(90);
    view->setFrameShape(QFrame::NoFrame);
    proxy->resize(15, 260);
    return meter;
}
}

void DlgMain::InitMainVum()
{
    m_pSceneVumL = new QGraphicsScene(this);
    m_pSceneVumR = new QGraphicsScene(this);
    m_pMainVumL = BuildMasterMeter(ui->m_Ctrl_GraphicsView_Vum_L, m_pSceneVumL);
    m_pMainVumR = BuildMasterMeter(ui->m_Ctrl_GraphicsView_Vum_R, m_pSceneVumR);
    m_pMainVumL->setColorInputType(StripColour::MixLeft());
    m_pMainVumR->setColorInputType(StripColour::MixRight());
    ui->m_CtrlVerticalScale->SetMeter(ui->m_CtrlModuloMeter_T1);
}

namespace {
// A style sheet set again re-polishes the frame and every widget of its
// strip, the same text or not: a frame whose colour stands keeps its sheet.
void SetFrameSheet(QFrame* frame, const QString& sheet)
{
    if (frame->styleSheet() != sheet)
        frame->setStyleSheet(sheet);
}
}  // namespace

void DlgMain::updateVumeterFrame(int track)
{
    if (m_bHoldFrameSheets)
        return;
    const bool all = track < 0 || track >= kTracks;
    const int first = all ? 0 : track;
    const int last = all ? kTracks - 1 : track;
    for (int i = first; i <= last; ++i) {
        QColor colour = (m_nSoloMask & (1 << i)) ? QColor(112, 112, 0) : QColor(80, 80, 80);
        if (m_pButtonMute[i]->isChecked())
            colour = colour.darker(150);
        SetFrameSheet(m_pFrameTrack[i], QStringLiteral("QFrame{background:%1;}").arg(colour.name(QColor::HexRgb)));
        if (i % 2 == 0) {
            const int pair = i / 2;
            const QColor pairColour = m_pCheckBoxMs[pair]->isChecked() ? QColor(189, 51, 164) : QColor(80, 80, 80);
            SetFrameSheet(m_pFrameMs[pair],
                          QStringLiteral(".QFrame{background:%1;}").arg(pairColour.name(QColor::HexArgb)));
        }
    }
}

void DlgMain::HoldMeterRepaints(bool hold)
{
    for (QCustomVum* meter : m_pVum)
        meter->HoldRepaint(hold);
    m_pMainVumL->HoldRepaint(hold);
    m_pMainVumR->HoldRepaint(hold);
}

void DlgMain::UpdateVumeterParam()
{
    ui->m_CtrlVerticalScale->SetScaleNumber(m_nScale);
    QList<QCustomVum*> meters;
    for (QCustomVum* meter : m_pVum)
        meters.append(meter);
    meters << m_pMainVumL << m_pMainVumR;
    for (QCustomVum* meter : meters) {
        meter->setZoneLevel(false, m_nRedZone, m_nYellowZone, m_nGrid != 0, m_nBlueLine, m_nScale);
        meter->setBalisticAndPeak(m_nBalistic, m_nPeakHold);
    }
}

void DlgMain::slot_WavformModeClicked(bool)
{
    const int mode = m_nWavDisplayMode;
    const int next = (mode >= 1 && mode <= 3) ? (mode + 1) % 4 : 1;
    emit signal_WavformMode(tPlayWavDisplayMode(next));
}

void DlgMain::slot_WavformModeChanged(tPlayWavDisplayMode mode)
{
    const int index = int(mode);
    ui->m_CtrlButton_WavformMode->setText(index >= 0 && index < 4 ? QString::fromLatin1(kWaveformModeTexts[index])
                                                                  : QString());
    m_nWavDisplayMode = mode;
    ui->m_CtrlWidget_PlayTimeLine->SetWaveFormDisplayMode(mode);
}
