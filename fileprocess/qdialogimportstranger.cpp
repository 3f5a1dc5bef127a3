#include "fileprocess/qdialogimportstranger.h"

#include "fileprocess/dialoglook.h"
#include "foundation/fonts.h"
#include "processing/qsoundmixer.h"
#include "soundfile/soundfile.h"
#include "ui_qdialogimportstranger.h"
#include "widgets/labelfit.h"
#include "widgets/messagebox.h"
#include "widgets/screenfit.h"

#include <QApplication>
#include <QDir>
#include <QFileInfo>

namespace {
constexpr int kOverviewRate = 10;
// Refused files named in the box itself; more are counted there and named
// in its details.
constexpr int kRefusedFilesNamed = 5;
}

QDialogImportStranger::QDialogImportStranger(QWidget* parent, int startId)
    : QDialog(parent)
    , ui(new Ui::QDialogImportStranger)
    , m_nStartId(startId)
{
    KeepOnScreen(this);
    ui->setupUi(this);
    ApplyProcessDialogLook(this);
    ui->m_CtrlLineEdit_Id->setInputMask(QStringLiteral("9999"));
    ui->m_CtrlLineEdit_Id->setText(QString::asprintf("%04d", startId));
    ui->m_CtrlLineEdit_Id_2->hide();
    connect(ui->m_CtrlButton_Start, &QPushButton::clicked, this, &QDialogImportStranger::slot_OnButtonStartClicked);
    connect(ui->m_CtrlButton_Stop, &QPushButton::clicked, this, &QDialogImportStranger::slot_OnButtonStopClicked);
    connect(ui->m_CtrlCheckBox_TC, &QCheckBox::toggled, this, &QDialogImportStranger::slot_UserTcChanged);
    connect(this, &QDialogImportStranger::signal_FileDone, this, &QDialogImportStranger::OnFileDone,
            Qt::QueuedConnection);
    connect(this, &QDialogImportStranger::signal_FilePct, this, &QDialogImportStranger::slot_PctChanged,
            Qt::QueuedConnection);
    connect(this, &QDialogImportStranger::signal_WorkerEnded, this, &QDialogImportStranger::OnRunEnded,
            Qt::QueuedConnection);
    ui->m_CtrlFrame_Labels->setStyleSheet(QStringLiteral("color:#FFFFFF;background:#004466;"));
    InitFontSize(this);
    slot_UserTcChanged();
    ui->m_CtrlButton_Stop->setEnabled(false);
}

QDialogImportStranger::~QDialogImportStranger()
{
    m_Run.store(false);
    JoinWorker();
}

void QDialogImportStranger::JoinWorker()
{
    if (m_Worker.joinable())
        m_Worker.join();
}

void QDialogImportStranger::SetPaths(QStringList files, QString project, QString day, QString dayFolder)
{
    m_slSourceFiles = files;
    m_czProject = project;
    m_czDay = day;
    m_czTargetPath = dayFolder;
    ui->m_CtrlLabel_Project->setText(project);
    ui->m_CtrlLabel_Day->setText(day);
    SetElidedText(ui->m_CtrlLabel_Path, dayFolder);
    ui->m_Ctrl_ProgressBar_TotalProgress->setRange(0, qMax(1, files.size()));
    ui->m_Ctrl_ProgressBar_TotalProgress->setValue(0);
}

int QDialogImportStranger::GetStartingId() const
{
    bool ok = false;
    const int id = ui->m_CtrlLineEdit_Id->text().trimmed().toInt(&ok);
    return ok ? id : 0;
}

int QDialogImportStranger::NextId() const
{
    bool ok = false;
    const int id = ui->m_CtrlLineEdit_Id->text().trimmed().toInt(&ok);
    return ok ? id : m_nStartId;
}

QString QDialogImportStranger::GetFps() const
{
    return ui->m_CtrlComboBox_Fps->currentText();
}

void QDialogImportStranger::slot_UserTcChanged()
{
    const bool on = ui->m_CtrlCheckBox_TC->isChecked();
    ui->m_CtrlSpinBox_TC_H->setEnabled(on);
    ui->m_CtrlSpinBox_TC_M->setEnabled(on);
    ui->m_CtrlSpinBox_TC_S->setEnabled(on);
}

void QDialogImportStranger::slot_PctChanged(int percent)
{
    ui->m_Ctrl_ProgressBar_FileProgress->setValue(percent);
}

void QDialogImportStranger::slot_OnButtonStopClicked()
{
    m_Run.store(false);
}

void QDialogImportStranger::ShowRefusedFiles()
{
    QStringList refused, counted;
    const auto refuse = [&](const QString& reason, const QStringList& files) {
        if (files.isEmpty())
            return;
        refused << reason + QLatin1Char('\n') + files.join(QLatin1Char('\n'));
        counted << reason + QLatin1Char('\n')
                       + (files.size() == 1 ? QStringLiteral("1 file") : QStringLiteral("%1 files").arg(files.size()));
    };
    refuse(QStringLiteral("Brisel Files cannot be imported for now\n Information may be lost during the process."),
           m_Plan.recorderFiles);
    refuse(QStringLiteral("Not readable as sound files:"), m_Plan.unreadable);
    refuse(QLatin1String(QSoundFile::kRf64Refusal), m_Plan.rf64);
    if (refused.isEmpty())
        return;
    const int files = m_Plan.recorderFiles.size() + m_Plan.unreadable.size() + m_Plan.rf64.size();
    const QString whole = refused.join(QStringLiteral("\n\n"));
    if (files <= kRefusedFilesNamed)
        ShowMessageBox(this, QMessageBox::Critical, QStringLiteral("Error"), whole);
    else
        ShowMessageBox(this, QMessageBox::Critical, QStringLiteral("Error"),
                       counted.join(QStringLiteral("\n\n")) + QStringLiteral("\n\nThe files are named under Show Details."),
                       whole);
}

void QDialogImportStranger::slot_OnButtonStartClicked()
{
    if (m_bRunning)
        return;
    bool ok = false;
    const int id = ui->m_CtrlLineEdit_Id->text().trimmed().toInt(&ok);
    if (!ok) {
        ShowMessageBox(this, QMessageBox::Warning, QStringLiteral("Import"),
                       QStringLiteral("The start ID must be a number (0 to 9999)."));
        return;
    }
    m_nStartId = id;
    const QString day = QDir::cleanPath(m_czTargetPath);
    const QFileInfo dayInfo(day);
    if (!dayInfo.isDir() || !dayInfo.isWritable()) {
        ShowMessageBox(this, QMessageBox::Warning, QStringLiteral("Import"),
                       QStringLiteral("The day folder cannot be written:\n%1").arg(day));
        return;
    }

    QApplication::setOverrideCursor(Qt::WaitCursor);
    m_Plan = importplan::Plan(m_slSourceFiles, day, m_nStartId, &importplan::ProbeSource);
    QApplication::restoreOverrideCursor();
    if (m_Plan.idOverflow) {
        ShowMessageBox(this, QMessageBox::Warning, QStringLiteral("Import"),
                       QStringLiteral("Take ids would pass 7T%1: choose a lower start ID.\nNothing was imported.")
                           .arg(importplan::kMaxId));
        return;
    }
    ShowRefusedFiles();

    m_nImported = 0;
    m_nFailed = 0;
    ui->m_Ctrl_ProgressBar_TotalProgress->setRange(0, qMax(1, m_Plan.items.size()));
    ui->m_Ctrl_ProgressBar_TotalProgress->setValue(0);
    ui->m_Ctrl_ProgressBar_FileProgress->setValue(0);
    if (m_Plan.items.isEmpty()) {
        ui->m_CtrlLabel_CurrentProcessed->setText(QStringLiteral("Nothing to import"));
        return;
    }

    m_bRunning = true;
    m_Run.store(true);
    ui->m_CtrlButton_Start->setEnabled(false);
    ui->m_CtrlButton_Stop->setEnabled(true);
    ui->m_Ctrl_GroupBox_Param->setEnabled(false);
    ui->m_CtrlLabel_CurrentProcessed->setText(QFileInfo(m_Plan.items.first().source).fileName());

    const QList<importplan::tItem> items = m_Plan.items;
    const QByteArray fps = GetFps().toLatin1();
    const QString tc = ui->m_CtrlCheckBox_TC->isChecked()
                           ? QString::asprintf("%02d:%02d:%02d", ui->m_CtrlSpinBox_TC_H->value(),
                                               ui->m_CtrlSpinBox_TC_M->value(), ui->m_CtrlSpinBox_TC_S->value())
                           : QString();
    JoinWorker();
    m_Worker = std::thread([this, items, fps, tc, day] {
        for (int i = 0; i < items.size() && m_Run.load(); ++i) {
            const importplan::tItem& item = items.at(i);
            QSoundMixer mixer;
            mixer.SetImportFrameLimit(item.takeFrames);
            // Relayed on this thread: the engine's connection lives and dies here,
            // the dialog's queued one for as long as the dialog.
            connect(&mixer, &QSoundMixer::signal_ImportSourceProgressPct, [this](int pct) { emit signal_FilePct(pct); });
            const bool ok = mixer.ImportMono(item.source, day, item.takeId, item.track, item.totalFiles, fps.constData(),
                                             item.groupSource, &m_Run, kOverviewRate, tc, item.takeTracks);
            emit signal_FileDone(i, ok);
        }
        emit signal_WorkerEnded();
    });
}

void QDialogImportStranger::OnFileDone(int index, bool ok)
{
    (ok ? m_nImported : m_nFailed) += 1;
    ui->m_Ctrl_ProgressBar_TotalProgress->setValue(index + 1);
    if (index + 1 < m_Plan.items.size())
        ui->m_CtrlLabel_CurrentProcessed->setText(QFileInfo(m_Plan.items.at(index + 1).source).fileName());
}

void QDialogImportStranger::OnRunEnded()
{
    JoinWorker();
    const bool stopped = !m_Run.load();
    m_Run.store(false);
    m_bRunning = false;
    // The next import starts after the ids this one may have used.
    m_nStartId = m_Plan.nextId;
    ui->m_CtrlLineEdit_Id->setText(QString::asprintf("%04d", qMin(m_nStartId, importplan::kMaxId)));
    if (m_nStartId > importplan::kMaxId)
        ui->m_CtrlLineEdit_Id->clear();
    ui->m_CtrlButton_Start->setEnabled(true);
    ui->m_CtrlButton_Stop->setEnabled(false);
    ui->m_Ctrl_GroupBox_Param->setEnabled(true);
    ui->m_CtrlLabel_CurrentProcessed->setText(
        QStringLiteral("%1: %2 imported, %3 failed").arg(stopped ? QStringLiteral("Stopped") : QStringLiteral("Done")).arg(m_nImported).arg(m_nFailed));
    emit signal_RunEnded();
    if (m_bCloseWhenIdle) {
        m_bCloseWhenIdle = false;
        QDialog::reject();
    }
}

void QDialogImportStranger::reject()
{
    if (!m_bRunning) {
        QDialog::reject();
        return;
    }
    // Closing stops the run; the dialog goes once the worker has ended.
    m_bCloseWhenIdle = true;
    m_Run.store(false);
}
