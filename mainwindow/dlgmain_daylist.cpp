// DlgMain: the day-list page: its loader, its list and the progress line.
#include "mainwindow/dlgmain.h"

#include "ui_dlgmain.h"

#include "report/qfileinfolistwidget.h"

void DlgMain::InitDayList()
{
    m_pMetadataThread = std::make_unique<QMetadataThread>();
    QMetadataThread* loader = m_pMetadataThread.get();
    QFileInfoListWidget* list = ui->m_CtrlWidget_FileList;
    connect(loader, &QMetadataThread::signal_State, list, &QFileInfoListWidget::slot_MetadataThreadStateChanged);
    connect(loader, &QMetadataThread::signal_State, this, &DlgMain::slot_MetadataThreadStateChanged);
    connect(loader, &QMetadataThread::signal_Data, list, &QFileInfoListWidget::slot_Data);
    connect(loader, &QMetadataThread::signal_List, this, &DlgMain::slot_List);
    connect(list, &QFileInfoListWidget::signal_ReloadMetadata, loader, &QMetadataThread::slot_reload);

    // The report setup (InitReportSetup, with the settings) gives both their layout.
}

QString DlgMain::CurrentDayListPath() const
{
    QString preProject;
    QString project;
    QString day;
    m_pMetadataThread->GetDir(&preProject, &project, &day);
    return day.isEmpty() ? QString() : DayListPath(preProject, project, day);
}

void DlgMain::slot_MetadataThreadStateChanged(int state, int value)
{
    QLabel* info = ui->m_CtrlLabel_ListInfo;
    info->setText(m_DayListProgress.Text(state, value, CurrentDayListPath(), info->text()));
}
