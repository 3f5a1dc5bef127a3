// DlgMain: the application settings file config/Nalvo.ini.
#include "mainwindow/dlgmain.h"

#include "ui_dlgmain.h"

#include "browser/fsitemtype.h"
#include "browser/qbriselfsfilterproxymodel.h"
#include "browser/qbriselfsmodel.h"
#include "foundation/fileutil.h"
#include "foundation/initext.h"
#include "foundation/keywordfile.h"
#include "foundation/safeoutput.h"
#include "widgets/screenfit.h"

#include <QItemSelectionModel>
#include <QSettings>

// Window geometry is kept in client coordinates (the normal geometry) both
// ways, so a restart puts the window exactly where it was; mixing them with
// frame positions would move it by the title bar on every start.
void DlgMain::LoadIniSettings()
{
    QSettings settings(SettingsFilePath(), QSettings::IniFormat);
    qDebug("m_StartDir %s", qPrintable(m_StartDir.absolutePath()));

    settings.beginGroup(QStringLiteral("MainWindow"));
    const bool maximized = settings.value(QStringLiteral("max"), false).toBool();
    const bool hasPos = settings.contains(QStringLiteral("pos"));
    const QPoint pos = settings.value(QStringLiteral("pos"), QPoint(0, 0)).toPoint();
    const QSize size = settings.value(QStringLiteral("size"), QSize(0, 0)).toSize();
    const bool toolbarHidden = settings.value(QStringLiteral("toolbar"), false).toBool();
    ui->m_CtrlToolBar->setVisible(!toolbarHidden);
    const bool browseAll = settings.value(QStringLiteral("browseAll"), false).toBool();
    settings.endGroup();
    const bool hasSize = size.width() != 0 || size.height() != 0;
    const QSize wanted = hasSize ? QSize(size.width() > 0 ? size.width() : width(),
                                         size.height() > 0 ? size.height() : height())
                                 : this->size();
    // A stored size past every screen (the backing store of a window that
    // large cannot be made), a place on a monitor that is gone, or a first
    // start at the form's size on a small screen: the window is fitted to
    // the screens there are now. Without a stored place it opens at the
    // screen's top left corner, title bar included; KeepOnScreen fits the
    // title bar in once the window manager has framed the window.
    const QRect fitted = FitToScreens(hasPos ? pos : QPoint(0, 0), wanted);
    if (hasPos) {
        setGeometry(fitted);
    } else {
        resize(fitted.size());
        move(fitted.topLeft());
    }
    if (maximized)
        setWindowState(windowState() | Qt::WindowMaximized);

    settings.beginGroup(QStringLiteral("LastFile"));
    m_czLastFilePath = settings.value(QStringLiteral("path")).toString();
    m_czLastFileTag = settings.value(QStringLiteral("tag")).toString();
    settings.endGroup();

    if (browseAll) {
        ui->m_CtrlCheckBox_EnableFullBrowse->setChecked(true);
        m_pFSProxyModel->SetFullBrowse(true);
    }
    RestoreLastSelection();

    settings.beginGroup(QStringLiteral("ReportSetup"));
    m_nReportGenType = settings.value(QStringLiteral("genType"), 5).toInt();
    m_czReportSetupPath = settings.value(QStringLiteral("path")).toString();
    m_sizeDlgSetupPdf = settings.value(QStringLiteral("size"), QSize(0, 0)).toSize();
    m_posDlgSetupPdf = settings.value(QStringLiteral("pos"), QPoint(-1, -1)).toPoint();
    settings.endGroup();

    settings.beginGroup(QStringLiteral("Vumeter"));
    m_nBalistic = settings.value(QStringLiteral("balistic"), 4).toInt();
    m_nBlueLine = settings.value(QStringLiteral("blue_line"), 23).toInt();
    m_nYellowZone = settings.value(QStringLiteral("yellow_zone"), 11).toInt();
    m_nRedZone = settings.value(QStringLiteral("red_zone"), 28).toInt();
    m_nPeakHold = settings.value(QStringLiteral("peak_hold"), 20).toInt();
    m_nGrid = settings.value(QStringLiteral("grid"), true).toInt();
    m_nScale = settings.value(QStringLiteral("scale"), 0).toInt();
    m_nPrePost = settings.value(QStringLiteral("prepost"), 1).toInt();
    settings.endGroup();

    settings.beginGroup(QStringLiteral("Timeline"));
    m_nWavDisplayMode = tPlayWavDisplayMode(settings.value(QStringLiteral("mode"), 0).toInt());
    settings.endGroup();
    emit signal_WavformMode(m_nWavDisplayMode);

    InitReportSetup(m_czReportSetupPath);

    settings.beginGroup(QStringLiteral("Import"));
    m_nImportLastID = settings.value(QStringLiteral("lastID"), 0).toInt();
    m_czImportLastPath = settings.value(QStringLiteral("lastPath")).toString();
    settings.endGroup();
}

void DlgMain::RestoreLastSelection()
{
    qDebug("m_czLastFilePath %s m_czLastFileTag %s", qPrintable(m_czLastFilePath), qPrintable(m_czLastFileTag));
    if (m_czLastFilePath.isEmpty())
        return;
    const QModelIndex modelIndex = m_pFSModel->index(m_czLastFilePath, m_czLastFileTag);
    qDebug("modelLastFile valid %s", modelIndex.isValid() ? "true" : "false");
    if (!modelIndex.isValid())
        return;
    const QModelIndex viewIndex = m_pFSProxyModel->mapFromSource(modelIndex);
    if (!viewIndex.isValid())
        return;
    ui->m_CtrlTreeView->setCurrentIndex(viewIndex);
    ui->m_CtrlTreeView->scrollTo(viewIndex, QAbstractItemView::PositionAtCenter);
}

QModelIndex DlgMain::SingleSelectedRow() const
{
    const QItemSelectionModel* selection = ui->m_CtrlTreeView->selectionModel();
    if (!selection)
        return QModelIndex();
    const QModelIndexList rows = selection->selectedRows(0);
    return rows.size() == 1 ? rows.first() : QModelIndex();
}

void DlgMain::SaveIniSettings()
{
    const QString folder = m_StartDir.absolutePath();
    const QString path = SettingsFilePath();
    const bool existed = QFileInfo::exists(path);
    bool replaced = false;
    QString why;
    // A first run has no settings folder yet.
    if (const int error = MakeFolderPath(folder)) {
        why = SystemErrorText(error);
    } else {
        SettlePresets();
        // A first run writes the setup beside the settings; a path is recorded
        // only once its file was written, so no path names a file never made.
        const QString setupPath = m_czReportSetupPath.isEmpty()
                                      ? QDir(folder + QStringLiteral("/DefaultReport.ini")).absolutePath()
                                      : m_czReportSetupPath;
        if (SaveReportSetup(setupPath))
            m_czReportSetupPath = setupPath;
        // The file is replaced whole through the disk calls, keeping the
        // keys it held: QSettings' own save tells a refused write as done.
        const QByteArray text = IniText(path, [this](IniKeys& settings) { FillIniSettings(settings); });
        why = ReplaceFileWhole(path, text, &replaced);
    }
    if (!why.isEmpty())
        TellSettingsNotWritten(path, why, existed, replaced);
}

void DlgMain::FillIniSettings(IniKeys& settings) const
{
    const QRect normal = normalGeometry().isValid() ? normalGeometry() : geometry();
    settings.beginGroup(QStringLiteral("MainWindow"));
    settings.setValue(QStringLiteral("max"), isMaximized());
    settings.setValue(QStringLiteral("pos"), normal.topLeft());
    settings.setValue(QStringLiteral("size"), normal.size());
    settings.setValue(QStringLiteral("toolbar"), ui->m_CtrlToolBar->isHidden());
    settings.setValue(QStringLiteral("browseAll"), ui->m_CtrlCheckBox_EnableFullBrowse->isChecked());
    settings.endGroup();

    const QModelIndex selected = SingleSelectedRow();
    if (selected.isValid()) {
        settings.beginGroup(QStringLiteral("LastFile"));
        settings.setValue(QStringLiteral("path"), selected.data(FSFilePathRole).toString());
        settings.setValue(QStringLiteral("tag"), selected.data(Qt::DisplayRole).toString());
        settings.endGroup();
    }

    settings.beginGroup(QStringLiteral("ReportSetup"));
    if (m_sizeDlgSetupPdf.width() != 0 || m_sizeDlgSetupPdf.height() != 0)
        settings.setValue(QStringLiteral("size"), m_sizeDlgSetupPdf);
    if (m_posDlgSetupPdf != QPoint(-1, -1))
        settings.setValue(QStringLiteral("pos"), m_posDlgSetupPdf);
    settings.setValue(QStringLiteral("genType"), m_nReportGenType);
    settings.setValue(QStringLiteral("path"), m_czReportSetupPath);
    settings.endGroup();

    settings.beginGroup(QStringLiteral("Vumeter"));
    settings.setValue(QStringLiteral("balistic"), m_nBalistic);
    settings.setValue(QStringLiteral("blue_line"), m_nBlueLine);
    settings.setValue(QStringLiteral("yellow_zone"), m_nYellowZone);
    settings.setValue(QStringLiteral("red_zone"), m_nRedZone);
    settings.setValue(QStringLiteral("peak_hold"), m_nPeakHold);
    settings.setValue(QStringLiteral("grid"), m_nGrid);
    settings.setValue(QStringLiteral("scale"), m_nScale);
    settings.setValue(QStringLiteral("prepost"), m_nPrePost);
    settings.endGroup();

    settings.beginGroup(QStringLiteral("Timeline"));
    settings.setValue(QStringLiteral("mode"), int(m_nWavDisplayMode));
    settings.endGroup();

    settings.beginGroup(QStringLiteral("Import"));
    settings.setValue(QStringLiteral("lastID"), m_nImportLastID);
    settings.setValue(QStringLiteral("lastPath"), m_czImportLastPath);
    settings.endGroup();
}
