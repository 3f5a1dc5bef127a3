// DlgMain: the "Report" command and the report setup it keeps.
#include "mainwindow/dlgmain.h"

#include "ui_dlgmain.h"

#include "browser/fsitemtype.h"
#include "foundation/messageloging.h"
#include "widgets/screenfit.h"
#include "report/qdialogreportprocess.h"
#include "report/qdialogsetuppdf.h"
#include "report/qfileinfolistwidget.h"

#include <QDir>
#include <QFileInfo>
#include <QItemSelectionModel>

namespace {
// Process kind of a day folder by its extension; 0 for a folder the
// browser shows as a day but no report kind reads.
int ProcessMaskOfDay(const QString& day)
{
    const QString suffix = day.mid(day.lastIndexOf(QLatin1Char('.')) + 1);
    if (suffix == QLatin1String("OVD"))
        return 0x1;
    if (suffix == QLatin1String("OVX"))
        return 0x2;
    if (suffix == QLatin1String("OVN"))
        return 0x4;
    if (suffix == QLatin1String("OVR"))
        return 0x8;
    return 0;
}
}  // namespace

void DlgMain::slot_DoReport(bool)
{
    // The report reads the files: pending edits are written first, and a take
    // that could not be saved is named before the report runs.
    if (!ApplyMetadataChanges(true))
        ReportUnsavedTakes(false);
    const QModelIndex row = SingleSelectedRow();
    if (!row.isValid())
        return;
    const int kind = row.data(FSItemTypeRole).toInt();
    const QString media = QDir::cleanPath(row.data(FSPreProjectRole).toString());
    const QString project = row.data(FSProjectRole).toString();
    QString day;
    int mask = 0;
    bool projectJob = false;
    switch (kind) {
    case FSITEM_PROJECT:
        projectJob = true;
        mask = 0xF;
        break;
    case FSITEM_DAY:
    case FSITEM_MONO:
    case FSITEM_MIX:
    case FSITEM_POLY:
        day = row.data(FSDayRole).toString();
        mask = ProcessMaskOfDay(day);
        break;
    default:
        return;
    }

    QDialogReportProcess dialog(this);
    tyReportSetup& setup = m_ReportSetup;
    dialog.setPdfPageFormat(setup.ePageFormat);
    dialog.setPdfHeaderSetup(&setup.Header[0][0], ReportLayout::kHeaderLines, ReportLayout::kHeaderCells);
    dialog.setPdfDataSetup(&setup.Data[0][0], ReportLayout::kDataLines, ReportLayout::kDataCells, setup.nDataLines,
                           setup.bNoteLine, setup.eCircleDisplay);
    dialog.setAleSetup(setup.nAleVideoFormat, setup.nAleFps);
    dialog.SetTakeFilters(setup.czTakeFilters);
    dialog.setParam(media, project, day, mask, m_nReportGenType, projectJob, setup.eCircleDisplay);
    dialog.exec();
    setup.czTakeFilters = dialog.GetTakeFilters();
}

void DlgMain::PushReportDataSetup()
{
    tyReportSetup& setup = m_ReportSetup;
    QFileInfoListWidget* list = ui->m_CtrlWidget_FileList;
    list->SetupDataNbLine(setup.nDataLines);
    list->SetupDataNoteLine(setup.bNoteLine);
    list->SetupDataDisplayCircle(setup.eCircleDisplay);
    for (int line = 0; line < ReportLayout::kDataLines; ++line)
        list->SetupDataLine(line, setup.Data[line]);
    if (m_pMetadataThread)
        m_pMetadataThread->SetDataSetup(&setup.Data[0][0], ReportLayout::kDataLines, ReportLayout::kDataCells,
                                        setup.nDataLines, setup.bNoteLine, setup.eCircleDisplay);
}

void DlgMain::InitReportSetup(QString path)
{
    if (!path.isEmpty())
        m_czReportSetupPath = path;
    const QStringList warnings = ReportSetupFile::Load(path, &m_ReportSetup, &m_bReportSetupFileIntact);
    m_ReportSetupAsRead = m_ReportSetup;
    for (const QString& warning : warnings)
        SendUserMessage(QStringLiteral("Report Setup"), warning, 0, 2);
    tyReportSetup& setup = m_ReportSetup;
    if (QDialogSetupPdf* dialog = m_pDlgSetupPdf) {
        dialog->slot_ReportSetupDataNbLine(setup.nDataLines);
        dialog->slot_ReportSetupDataNoteLine(setup.bNoteLine);
        dialog->slot_ReportSetupDataDisplayCircle(setup.eCircleDisplay);
        dialog->slot_ReportSetupFormat(setup.ePageFormat);
        dialog->slot_ReportSetupType(m_nReportGenType);
        dialog->slot_ReportSetupAle(setup.nAleFps, setup.nAleVideoFormat);
        for (int line = 0; line < ReportLayout::kHeaderLines; ++line)
            dialog->slot_ReportSetupHeaderLine(line, setup.Header[line]);
        for (int line = 0; line < ReportLayout::kDataLines; ++line)
            dialog->slot_ReportSetupDataLine(line, setup.Data[line]);
    }
    PushReportDataSetup();
}

bool DlgMain::SaveReportSetup(QString path)
{
    const bool damaged = !m_bReportSetupFileIntact
                         && QFileInfo(path).absoluteFilePath() == QFileInfo(m_czReportSetupPath).absoluteFilePath();
    if (damaged && m_ReportSetup == m_ReportSetupAsRead)
        return true;   // nothing new to keep: the user's file stays as it is
    bool replaced = false;
    const QString error = ReportSetupFile::Save(path, m_ReportSetup, damaged, &replaced);
    if (damaged && (error.isEmpty() || replaced))
        m_bReportSetupFileIntact = true;
    if (error.isEmpty())
        return true;
    SendUserMessage(QStringLiteral("Report Setup"), error, 0, 2);
    // The file holds the new setup, only perhaps not on the disk yet.
    return replaced;
}

void DlgMain::slot_ReportSetup(bool)
{
    QDialogSetupPdf* dialog = m_pDlgSetupPdf;
    if (!dialog)
        return;
    // The stored place and size, fitted to the screens there are now.
    const bool storedSize = m_sizeDlgSetupPdf.width() != 0 || m_sizeDlgSetupPdf.height() != 0;
    const bool storedPos = m_posDlgSetupPdf != QPoint(-1, -1);
    const QRect fitted = FitToScreens(storedPos ? m_posDlgSetupPdf : dialog->pos(),
                                      storedSize ? m_sizeDlgSetupPdf : dialog->size());
    if (storedSize)
        dialog->resize(fitted.size());
    if (storedPos)
        dialog->move(fitted.topLeft());
    if (dialog->exec() == 0) {
        tyReportSetup& setup = m_ReportSetup;
        dialog->GetReportGeneration(&m_nReportGenType);
        dialog->GetDataSetup(&setup.nDataLines, &setup.bNoteLine, &setup.eCircleDisplay, &setup.Data[0][0],
                             ReportLayout::kDataLines, ReportLayout::kDataCells);
        dialog->GetHeaderSetup(&setup.Header[0][0], ReportLayout::kHeaderLines, ReportLayout::kHeaderCells);
        dialog->GetAleSetup(&setup.nAleFps, &setup.nAleVideoFormat);
        dialog->GetPdfPageFormat(&setup.ePageFormat);
        // The loader and the list divide by the line count and walk the
        // cells: they get the layout in the shape they rely on.
        setup.nDataLines = NormaliseDataLayout(setup.Data, setup.nDataLines);
        PushReportDataSetup();
    }
    m_sizeDlgSetupPdf = dialog->size();
    m_posDlgSetupPdf = dialog->pos();
}
