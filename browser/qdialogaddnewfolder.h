#ifndef NALVO_BROWSER_QDIALOGADDNEWFOLDER_H
#define NALVO_BROWSER_QDIALOGADDNEWFOLDER_H

#include <QDialog>
#include <memory>

namespace Ui {
class QDialogAddNewFolder;
}

// Asks for the name of a new project folder or the date of a new day folder;
// exec() gives 1 for OK (or Return in the name), 0 for Cancel. A project
// name that cannot be one folder's (see FolderNameRefusal) is refused in the
// dialog, which says why and stays open with the text as typed.
class QDialogAddNewFolder : public QDialog
{
    Q_OBJECT
public:
    enum tNewFolderType { NEWFOLDER_PROJECT = 0, NEWFOLDER_DAY = 1 };

    explicit QDialogAddNewFolder(QWidget* parent = nullptr);
    ~QDialogAddNewFolder() override;

    void Setup(QString targetFolder, tNewFolderType type);
    // The name as typed, without the ".BR1" the form only displays.
    QString GetProjectName() const;
    // The chosen date as "yyyy-MM-dd".
    QString GetDayFolder() const;

    Ui::QDialogAddNewFolder* Form() const { return ui.get(); }

public slots:
    void accept() override;

private:
    std::unique_ptr<Ui::QDialogAddNewFolder> ui;
};

#endif
