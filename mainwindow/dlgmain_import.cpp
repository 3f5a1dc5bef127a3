// The "Import" command: other recorders' files become mono takes of a day.
#include "mainwindow/dlgmain.h"

#include "browser/fsitemtype.h"
#include "fileprocess/qdialogimportstranger.h"
#include "ui_dlgmain.h"
#include "widgets/messagebox.h"

#include <QDir>
#include <QFileDialog>
#include <QFileInfo>
#include <QHeaderView>
#include <QMessageBox>

void DlgMain::slot_ImportFiles(bool)
{
    QItemSelectionModel* selection = ui->m_CtrlTreeView->selectionModel();
    const QModelIndexList rows = selection ? selection->selectedRows(0) : QModelIndexList();
    QString dayFolder, project, day;
    if (rows.size() == 1) {
        const QModelIndex index = rows.first();
        const int kind = index.data(FSItemTypeRole).toInt();
        const QString path = index.data(FSFilePathRole).toString();
        day = index.data(FSDayRole).toString();
        project = index.data(FSProjectRole).toString();
        const bool kindOk = kind == FSITEM_DAY || kind == FSITEM_MONO || kind == FSITEM_MIX || kind == FSITEM_POLY;
        const int at = day.isEmpty() ? -1 : path.lastIndexOf(day);
        if (kindOk && day.endsWith(QLatin1String(".OVD"), Qt::CaseInsensitive) && at > 0)
            dayFolder = path.left(at + day.size());
    }
    if (dayFolder.isEmpty()) {
        ShowMessageBox(this, QMessageBox::Warning, QStringLiteral("Invalid Selection"),
                       QStringLiteral("Please select a valid Project and Monophonic Day where to import the processed files"));
        return;
    }
    const QFileInfo dayInfo(dayFolder);
    if (!dayInfo.isDir() || !dayInfo.isWritable()) {
        ShowMessageBox(this, QMessageBox::Warning, QStringLiteral("Import"),
                       QStringLiteral("The day folder cannot be written:\n%1").arg(dayFolder));
        return;
    }
    // The chooser opens in the selected day, whose files the take line
    // sends to Import; the folder of the last import is a step back in its
    // history.
    QFileDialog chooser(this, QStringLiteral("Select one or more files to import"), dayFolder,
                        tr("Sound Files (*.wav *.WAV *.bwf *.BWF)"));
    chooser.setFileMode(QFileDialog::ExistingFiles);
    if (!m_czImportLastPath.isEmpty() && QDir(m_czImportLastPath) != QDir(dayFolder))
        chooser.setHistory({m_czImportLastPath});
    // The window's style sheet leaves the list's column headers lower than
    // their text, and the dialog's own size is narrower than its columns:
    // headers as high as their text, and room for every column.
    for (QHeaderView* header : chooser.findChildren<QHeaderView*>())
        header->setMinimumHeight(header->fontMetrics().height() + 6);
    chooser.resize(QSize(width() * 3 / 5, height() * 3 / 5).expandedTo(chooser.sizeHint()));
    if (chooser.exec() != QDialog::Accepted)
        return;
    const QStringList files = chooser.selectedFiles();
    if (files.isEmpty())
        return;
    m_czImportLastPath = QFileInfo(files.last()).absolutePath();

    QDialogImportStranger dialog(this, m_nImportLastID);
    dialog.SetPaths(files, project, day, dayFolder);
    dialog.exec();
    m_nImportLastID = dialog.NextId();
}
