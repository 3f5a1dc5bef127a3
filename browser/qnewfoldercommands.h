#ifndef NALVO_BROWSER_QNEWFOLDERCOMMANDS_H
#define NALVO_BROWSER_QNEWFOLDERCOMMANDS_H

#include <QModelIndex>
#include <QString>

class QBriselFSFilterProxyModel;
class QBriselFSModel;
class QTreeView;
class QWidget;

// The "Add Project" and "Add Day" commands: from the one row selected in the
// browser tree they ask for a name or a date, create the folder and make it
// the tree's current row. Refusals and failures show an "Error" box.
class QNewFolderCommands
{
public:
    enum tCreateResult { CREATE_OK, CREATE_EXISTS, CREATE_FAILED };

    QNewFolderCommands(QWidget* boxParent, QTreeView* tree, QBriselFSFilterProxyModel* proxy,
                       QBriselFSModel* model);

    void AddNewProject();
    void AddNewDay();

    // The folder that receives a new project for the selected row: beside the
    // row's project, at a volume's top level, or inside a plain folder.
    static QString ProjectTargetFolder(const QModelIndex& row);
    // A name that makes exactly one new folder in the target (see
    // FolderNameRefusal); the dialog refuses any other before it closes.
    static bool IsAcceptableProjectName(const QString& name);
    // Makes target/name; the target itself must exist.
    static tCreateResult CreateFolder(const QString& targetFolder, const QString& name);

private:
    bool SingleSelectedRow(QModelIndex* row) const;
    void CreateAndSelect(const QString& targetFolder, const QString& name);
    void SelectNewFolder(const QString& path);
    void ShowError(const QString& text) const;

    QWidget* m_pBoxParent;
    QTreeView* m_pTree;
    QBriselFSFilterProxyModel* m_pProxy;
    QBriselFSModel* m_pModel;
};

#endif
