// DlgMain: the day-list page (the day loader's progress line).
#include "mainwindow/dlgmain.h"

#include "ui_dlgmain.h"

QString DlgMain::CurrentDayListPath() const
{
    // The day folder comes from the day loader, which is not part of the
    // window yet: without it the path is empty.
    return QString();
}

void DlgMain::slot_MetadataThreadStateChanged(int state, int value)
{
    QLabel* info = ui->m_CtrlLabel_ListInfo;
    info->setText(m_DayListProgress.Text(state, value, CurrentDayListPath(), info->text()));
}
