// The "File Process" command: the browser selection becomes one process
// record per mono take, and the file-process dialog runs on them.
#include "mainwindow/dlgmain.h"

#include "browser/fsitemtype.h"
#include "fileprocess/processinformation.h"
#include "fileprocess/processscan.h"
#include "fileprocess/qdialogfileprocesssetup.h"
#include "ui_dlgmain.h"
#include "widgets/messagebox.h"

#include <QApplication>
#include <QMessageBox>
#include <QProgressDialog>

#include <memory>

namespace {
// The selected rows of a tree, as the process command reads them.
QList<procscan::tSelectedRow> SelectedRows(const QModelIndexList& indexes)
{
    QList<procscan::tSelectedRow> rows;
    for (const QModelIndex& index : indexes) {
        if (!index.isValid())
            continue;
        procscan::tSelectedRow r;
        r.kind = index.data(FSItemTypeRole).toInt();
        r.path = index.data(FSFilePathRole).toString();
        r.takePath = index.data(FSTakePathRole).toString();
        r.display = index.data(Qt::DisplayRole).toString();
        r.project = index.data(FSProjectRole).toString();
        r.day = index.data(FSDayRole).toString();
        r.preProject = index.data(FSPreProjectRole).toString();
        rows.append(r);
    }
    return rows;
}
}

void DlgMain::slot_ProcessFiles(bool)
{
    // The process reads the files: pending edits are written first.
    if (!ApplyMetadataChanges(true))
        ReportUnsavedTakes(false);
    QItemSelectionModel* selection = ui->m_CtrlTreeView->selectionModel();
    const QList<procscan::tSelectedRow> rows
        = SelectedRows(selection ? selection->selectedRows(0) : QModelIndexList());
    if (!procscan::SelectionIsValid(rows)) {
        ShowMessageBox(this, QMessageBox::Warning, QStringLiteral("Invalid Selection"),
                       QStringLiteral("Selection must contain a unique Type (Project/Day/Files) and only Mono Files"));
        return;
    }

    // Records live for the dialog's run and go with this scope whatever happens.
    QList<tProcessInformation*> records;
    struct tOwner {
        QList<tProcessInformation*>* list;
        ~tOwner() { qDeleteAll(*list); }
    } owner{&records};
    auto loader = std::make_unique<QSoundPerform>();

    QProgressDialog progress(QStringLiteral("Reading takes..."), QStringLiteral("Cancel"), 0, 0, this);
    progress.setWindowTitle(QStringLiteral("File Process"));
    progress.setWindowModality(Qt::WindowModal);
    progress.setMinimumDuration(400);
    QString problem;
    QApplication::setOverrideCursor(Qt::WaitCursor);
    const procscan::Expansion result = procscan::ExpandSelection(
        rows, loader.get(), &records,
        [&progress](int done, int total) {
            progress.setMaximum(total);
            progress.setValue(done);
            return !progress.wasCanceled();
        },
        &problem);
    QApplication::restoreOverrideCursor();
    progress.reset();
    if (result == procscan::Expansion::Cancelled)
        return;
    if (result == procscan::Expansion::Unlistable) {
        ShowMessageBox(this, QMessageBox::Warning, QStringLiteral("File Process"),
                       QStringLiteral("Unable to list the folder\n%1").arg(problem));
        return;
    }
    if (records.isEmpty()) {
        ShowMessageBox(this, QMessageBox::Information, QStringLiteral("File Process"),
                       QStringLiteral("No monophonic take to process in the selection."));
        return;
    }
    QDialogFileProcessSetup dialog(this);
    dialog.SetProcessInfo(&records);
    dialog.exec();
}
