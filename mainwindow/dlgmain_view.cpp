// DlgMain: the switch between the take view and the day list, and the
// browser's context menu.
#include "mainwindow/dlgmain.h"

#include "ui_dlgmain.h"

#include "browser/fsitemtype.h"
#include "foundation/messageloging.h"
#include "foundation/platform/desktopshell.h"

#include <QDir>
#include <QFileInfo>
#include <QMenu>
#include <QStyle>

void DlgMain::MakeBackgroundLayersOpaque()
{
    // The window's sheet gives every widget the same plain background, so a
    // repaint fills each region once per layer beneath it, down to the
    // window. These layers cover their ancestors; filled as opaque, the
    // fills under them are skipped and nothing looks different.
    for (QWidget* layer : {static_cast<QWidget*>(ui->frame_global), static_cast<QWidget*>(ui->frame_vum),
                           static_cast<QWidget*>(ui->frame),
                           static_cast<QWidget*>(ui->m_CtrlWidget_PlayTimeLine)})
        layer->setAutoFillBackground(true);
}

void DlgMain::slot_SwitchView()
{
    QStackedWidget* pages = ui->m_CtrlStackedWidget_Metadata;
    if (pages->currentIndex() != 0) {
        // The list's back button hides with its page, and the focus would
        // go on to an editor field: the keys go back to the browser.
        // The window's focus, whether or not the window is the active one.
        QWidget* focus = focusWidget();
        const bool listHeldFocus = focus && pages->currentWidget()->isAncestorOf(focus);
        pages->setCurrentIndex(0);
        ui->groupBox_Player->show();
        ui->groupBox_Vumeter->show();
        if (listHeldFocus)
            ui->m_CtrlTreeView->setFocus(Qt::OtherFocusReason);
        return;
    }
    pages->setCurrentIndex(1);
    const QModelIndexList rows = ui->m_CtrlTreeView->selectionModel()->selectedRows(0);
    for (const QModelIndex& row : rows) {
        const int kind = row.data(FSItemTypeRole).toInt();
        if (kind < FSITEM_DAY || kind > FSITEM_POLY)
            continue;
        const QString day = row.data(FSDayRole).toString();
        const QString project = row.data(FSProjectRole).toString();
        const QString preProject = row.data(FSPreProjectRole).toString();
        qDebug("ItemType %d czDay %s czProject %s czPreProject %s", kind, qPrintable(day),
               qPrintable(project), qPrintable(preProject));
        m_pMetadataThread->SetDayDir(preProject, project, day);
        break;
    }
    ui->groupBox_Player->hide();
    ui->groupBox_Vumeter->hide();
    ui->m_CtrlListWidget_Files->hide();
}

void DlgMain::slot_List(QStringList names)
{
    ui->m_CtrlListWidget_Files->clear();
    ui->m_CtrlListWidget_Files->addItems(names);
    QStyle* style = ui->m_CtrlListWidget_Files->style();
    style->unpolish(this);
    style->polish(this);
    ui->m_CtrlWidget_FileList->slot_List(names);
}

void DlgMain::slot_onCustomContextMenu(const QPoint& pos)
{
    QTreeView* tree = ui->m_CtrlTreeView;
    const QModelIndex index = tree->indexAt(pos);
    m_czContextPath.clear();
    if (!index.isValid())
        return;
    m_czContextPath = index.data(FSFilePathRole).toString();
    const QFileInfo info(m_czContextPath);
    if (info.isDir())
        m_czContextPath = info.absolutePath();
    m_pActionContextDir->setText(QStringLiteral("Show in System File Browser"));
    m_pContextMenu->clear();
    m_pContextMenu->addAction(m_pActionContextDir);
    m_pContextMenu->exec(tree->viewport()->mapToGlobal(pos));
}

void DlgMain::slot_actionContextDirTriggered(bool)
{
    qDebug("slot_actionContextDirTriggered %s", qPrintable(m_czContextPath));
    if (m_czContextPath.isEmpty())
        return;
    if (!DesktopShell::current().reveal(m_czContextPath)) {
        SendUserMessage(QStringLiteral("Show in System File Browser"),
                        QStringLiteral("No file browser could be started to show %1.")
                            .arg(QDir::toNativeSeparators(m_czContextPath)),
                        0, 2);
        return;
    }
    DesktopShell::current().activate();
}
