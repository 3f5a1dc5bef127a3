#include "browser/qnewfoldercommands.h"

#include "browser/fsitemtype.h"
#include "browser/qbriselfsfilterproxymodel.h"
#include "browser/qbriselfsmodel.h"
#include "browser/qdialogaddnewfolder.h"
#include "foundation/fileutil.h"
#include "foundation/platform/diskcalls.h"
#include "widgets/messagebox.h"

#include <QDir>
#include <QFileInfo>
#include <QMessageBox>
#include <QTreeView>

QNewFolderCommands::QNewFolderCommands(QWidget* boxParent, QTreeView* tree, QBriselFSFilterProxyModel* proxy,
                                       QBriselFSModel* model)
    : m_pBoxParent(boxParent), m_pTree(tree), m_pProxy(proxy), m_pModel(model)
{
}

bool QNewFolderCommands::SingleSelectedRow(QModelIndex* row) const
{
    const QModelIndexList rows = m_pTree->selectionModel()->selectedRows(0);
    if (rows.size() != 1)
        return false;
    *row = rows.first();
    return true;
}

void QNewFolderCommands::ShowError(const QString& text) const
{
    ShowMessageBox(m_pBoxParent, QMessageBox::Warning, QStringLiteral("Error"), text);
}

QString QNewFolderCommands::ProjectTargetFolder(const QModelIndex& row)
{
    const int kind = row.data(FSItemTypeRole).toInt();
    const QString path = row.data(FSFilePathRole).toString();
    if (kind == FSITEM_VOLUME)
        return path;
    const QString preProject = row.data(FSPreProjectRole).toString();
    if (!preProject.isEmpty())
        return preProject;
    // A plain row belongs to no project: the project goes into the folder itself.
    const QFileInfo info(path);
    return info.isDir() ? path : info.path();
}

bool QNewFolderCommands::IsAcceptableProjectName(const QString& name)
{
    return FolderNameRefusal(name).isEmpty();
}

QNewFolderCommands::tCreateResult QNewFolderCommands::CreateFolder(const QString& targetFolder,
                                                                   const QString& name)
{
    const QDir target(targetFolder);
    if (targetFolder.isEmpty() || !target.exists())
        return CREATE_FAILED;
    if (QFileInfo::exists(target.filePath(name)) || QFileInfo(target.filePath(name)).isSymLink())
        return CREATE_EXISTS;
    return DiskMkdir(QFile::encodeName(target.filePath(name)).constData(), 0777) == 0 ? CREATE_OK : CREATE_FAILED;
}

void QNewFolderCommands::AddNewProject()
{
    QModelIndex row;
    if (!SingleSelectedRow(&row))
        return;
    const QString target = ProjectTargetFolder(row);

    QDialogAddNewFolder dialog(m_pBoxParent);
    dialog.Setup(target, QDialogAddNewFolder::NEWFOLDER_PROJECT);
    if (dialog.exec() != 1)
        return;
    const QString typed = dialog.GetProjectName();
    if (!IsAcceptableProjectName(typed)) {
        ShowError(QStringLiteral("Could not create directory"));
        return;
    }
    CreateAndSelect(target, typed + QStringLiteral(".BR1"));
}

void QNewFolderCommands::AddNewDay()
{
    QModelIndex row;
    if (!SingleSelectedRow(&row))
        return;
    if (row.data(FSItemTypeRole).toInt() != FSITEM_PROJECT) {
        ShowError(QStringLiteral("Please Select a valid Project"));
        return;
    }
    const QString target = row.data(FSFilePathRole).toString();

    QDialogAddNewFolder dialog(m_pBoxParent);
    dialog.Setup(target, QDialogAddNewFolder::NEWFOLDER_DAY);
    if (dialog.exec() != 1)
        return;
    CreateAndSelect(target, dialog.GetDayFolder() + QStringLiteral(".OVD"));
}

void QNewFolderCommands::CreateAndSelect(const QString& targetFolder, const QString& name)
{
    switch (CreateFolder(targetFolder, name)) {
    case CREATE_EXISTS:
        ShowError(QStringLiteral("Could not create directory : it already exists !"));
        return;
    case CREATE_FAILED:
        ShowError(QStringLiteral("Could not create directory"));
        return;
    case CREATE_OK:
        break;
    }
    SelectNewFolder(QDir::cleanPath(targetFolder + QLatin1Char('/') + name));
}

void QNewFolderCommands::SelectNewFolder(const QString& path)
{
    // The folder watch tells of the new folder later, or never when the
    // parent is collapsed: a listed parent takes it in now.
    m_pModel->dirChangedProcess(QFileInfo(path).path());
    const QModelIndex found = m_pModel->index(path, QString());
    if (!found.isValid())
        return;
    const QModelIndex shown = m_pProxy->mapFromSource(found);
    if (!shown.isValid())
        return;
    m_pTree->setCurrentIndex(shown);
    m_pTree->scrollTo(shown, QAbstractItemView::PositionAtCenter);
}
