// DlgMain: the day-list page: its loader, its list and the progress line.
#include "mainwindow/dlgmain.h"

#include "ui_dlgmain.h"

#include "report/qfileinfolistwidget.h"

#include <QDir>
#include <QFontMetrics>

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
    const QString dayPath = CurrentDayListPath();
    QString text = m_DayListProgress.Text(state, value, dayPath, info->text());
    QString full;
    // A day read whole says after its path what it holds that is not
    // listed. The header is one line high and must not widen the window:
    // the path gives way first; the tool tip has both whole.
    if (state == 5 && value == 0) {
        // The pass's loads may have found files listed with a take to be
        // none of it: the browser lists them alone as the day list does.
        ListStrangersAlone(dayPath, QString());
        const QString unlisted = UnlistedFilesLine(dayPath);
        if (!unlisted.isEmpty()) {
            full = text + QLatin1Char('\n') + unlisted;
            const QFontMetrics metrics = info->fontMetrics();
            const QString gap = QStringLiteral("   ");
            const int room = info->parentWidget()->width() - ui->m_CtrlButton_GoBackMain->width() - 30;
            const int pathRoom = room - metrics.horizontalAdvance(gap + unlisted);
            text = pathRoom >= metrics.averageCharWidth() * 12
                       ? metrics.elidedText(text, Qt::ElideMiddle, pathRoom) + gap + unlisted
                       : metrics.elidedText(unlisted, Qt::ElideRight, room);
        }
    }
    info->setText(text);
    // Kept until the next pass starts or ends.
    if (state == 1 || state == 5)
        info->setToolTip(full);
}
