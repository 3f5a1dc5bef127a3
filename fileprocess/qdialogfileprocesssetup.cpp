#include "fileprocess/qdialogfileprocesssetup.h"

#include "fileprocess/processinformation.h"
#include "fileprocess/processnaming.h"
#include "fileprocess/processrun.h"
#include "fileprocess/processsizes.h"
#include "fileprocess/dialoglook.h"
#include "foundation/fileutil.h"
#include "foundation/fonts.h"
#include "foundation/messageloging.h"
#include "ui_qdialogfileprocesssetup.h"
#include "widgets/messagebox.h"
#include "widgets/qdialogmessage.h"
#include "widgets/screenfit.h"

#include <QDir>
#include <QFileDialog>
#include <QFileInfo>
#include <QMessageBox>
#include <QPushButton>

namespace {
using Kind = QFileProcessSetupWidget::tProcessType;

QString ErrorText(QFileCopier::Error error)
{
    switch (error) {
    case QFileCopier::SourceNotExists: return QStringLiteral("Error source file Not Exist");
    case QFileCopier::DestinationExists: return QStringLiteral("Error destination file exists");
    case QFileCopier::DestinationAndSourceEqual: return QStringLiteral("Error destination and source are equal");
    case QFileCopier::CannotCreateDestinationDirectory:
        return QStringLiteral("Error cannot create destination directory");
    case QFileCopier::CannotOpenSourceFile: return QStringLiteral("Error cannot open source file");
    case QFileCopier::CannotOpenDestinationFile: return QStringLiteral("Error cannot open destination file");
    case QFileCopier::CannotRemoveDestinationFile: return QStringLiteral("Error cannot remove destination file");
    case QFileCopier::CannotCreateSymLink: return QStringLiteral("Error cannot create symbolic link");
    case QFileCopier::CannotReadSourceFile: return QStringLiteral("Error cannot read source file");
    case QFileCopier::CannotWriteDestinationFile: return QStringLiteral("Error cannot write destination file");
    case QFileCopier::CannotRemoveSource: return QStringLiteral("Error cannot remove source file");
    case QFileCopier::CannotRename: return QStringLiteral("Error cannot rename file");
    case QFileCopier::ErrorNew: return QStringLiteral("Error creating a new object.");
    case QFileCopier::ErrorAlloc: return QStringLiteral("Error return during an allocation.");
    case QFileCopier::ErrorInitFilesZZ: return QStringLiteral("Error return by SoundPerform InitFilesZZ().");
    case QFileCopier::ErrorInterleave: return QStringLiteral("Error return by interleave processing.");
    case QFileCopier::ErrorMixdown: return QStringLiteral("Error return by mixdown processing.");
    default: return QStringLiteral("Error unknown copy file error");
    }
}

const char* const kRedFrame = "color:#C0C0C0;background:#CF0000;";

// The destination folder's line may be cut where the dialog is narrow: its
// tip holds the whole path.
void ShowDestination(QLabel* label, const QString& path)
{
    label->setText(path);
    label->setToolTip(path);
}
}

QDialogFileProcessSetup::QDialogFileProcessSetup(QWidget* parent)
    : QDialog(parent)
    , ui(new Ui::QDialogFileProcessSetup)
{
    KeepOnScreen(this);
    ui->setupUi(this);
    ApplyProcessDialogLook(this);
    ui->m_CtrlLabel_Available->setMinimumWidth(90);
    ui->m_CtrlLabel_Needed->setMinimumWidth(90);
    // A long path does not widen the dialog past a small screen.
    ui->m_CtrlLabel_Destination->setMinimumWidth(60);
    InitFontSize(this);
    // The status beside each bar keeps one width, room for the longest
    // summary, so the bars neither shrink nor cut it when a run ends.
    const int statusWidth = ui->m_CtrlLabel_FullProgress->fontMetrics().horizontalAdvance(
        QStringLiteral("Stopped: 999 written, 999 skipped, 999 failed, 99 stopped "));
    for (QLabel* status : {ui->m_CtrlLabel_FullProgress, ui->m_CtrlLabel_FileProgress})
        status->setFixedWidth(statusWidth);

    const QList<QRadioButton*> radios{ui->m_CtrlRadio_Stereo_InterleaveMixTrack,
                                      ui->m_CtrlRadio_Stereo_InterleaveReMix,
                                      ui->m_CtrlRadio_Poly,
                                      ui->m_CtrlRadioButton_PolyRotate,
                                      ui->m_CtrlRadioButton_ForceMinTrack,
                                      ui->m_CtrlRadioButton_PolyCompact};
    for (QRadioButton* radio : radios)
        connect(radio, &QRadioButton::toggled, this, &QDialogFileProcessSetup::slot_ProcessTypeChanged);
    connect(ui->m_CtrlSpinBox_MinTrackCount, QOverload<int>::of(&QSpinBox::valueChanged), this,
            &QDialogFileProcessSetup::slot_ProcessTypeChanged);
    connect(ui->m_CtrlSpinBox_RotateCount, QOverload<int>::of(&QSpinBox::valueChanged), this,
            &QDialogFileProcessSetup::slot_UpdateRotateExample);
    connect(ui->m_CtrlSpinBox_RotateMaxTrack, QOverload<int>::of(&QSpinBox::valueChanged), this,
            &QDialogFileProcessSetup::slot_UpdateRotateExample);
    connect(ui->m_CtrlCheckBox_TargetAlongSource, &QCheckBox::toggled, this,
            &QDialogFileProcessSetup::slot_DestinationChanged);
    connect(ui->m_CtrlButton_Destination, &QPushButton::clicked, this,
            &QDialogFileProcessSetup::slot_DestinationButtonClicked);
    connect(ui->m_CtrlButton_Run, &QPushButton::clicked, this, &QDialogFileProcessSetup::slot_ProcessRunClicked);
    connect(ui->m_CtrlWidget_FileProcess, &QProcessSetupWidget::signal_checkItemChanged, this,
            &QDialogFileProcessSetup::slot_UpdateSize);

    ui->m_CtrlFrame_Labels->setStyleSheet(QStringLiteral("color:#FFFFFF;background:#004466;"));
    ui->m_CtrlRadio_Stereo_InterleaveMixTrack->setChecked(true);
    slot_ProcessTypeChanged();
    ui->m_CtrlLabel_Error->setText(QString());
    slot_UpdateRotateExample();
    slot_ProcessTypeChanged();
}

QDialogFileProcessSetup::~QDialogFileProcessSetup()
{
    // An engine still running (the dialog destroyed without a close) is
    // cancelled; its worker removes the unfinished output as it stops.
    for (QFileCopier* copier : {m_pCopierFull, m_pCopierMix})
        if (copier)
            copier->cancelAll();
}

void QDialogFileProcessSetup::SetProcessInfo(QList<tProcessInformation*>* list)
{
    if (!list)
        return;
    ui->m_CtrlWidget_FileProcess->SetProcessInfo(list);
    m_pProcessInfo = list;
    QString common;
    m_bMixedProjectFolders = false;
    for (const tProcessInformation* info : qAsConst(*list)) {
        if (common.isEmpty())
            common = info->czPreProjectPath;
        else if (!info->czPreProjectPath.isEmpty() && info->czPreProjectPath != common)
            m_bMixedProjectFolders = true;
    }
    if (!m_bMixedProjectFolders && ui->m_CtrlCheckBox_TargetAlongSource->isChecked() && !common.isEmpty())
        ShowDestination(ui->m_CtrlLabel_Destination, common);
    UpdateTargetSize();
}

void QDialogFileProcessSetup::slot_ProcessTypeChanged()
{
    const bool force = ui->m_CtrlRadioButton_ForceMinTrack->isChecked();
    const bool compact = ui->m_CtrlRadioButton_PolyCompact->isChecked();
    const bool rotate = ui->m_CtrlRadioButton_PolyRotate->isChecked();
    const bool poly = !ui->m_CtrlRadio_Stereo_InterleaveMixTrack->isChecked()
                      && !ui->m_CtrlRadio_Stereo_InterleaveReMix->isChecked();
    if (ui->m_CtrlRadio_Stereo_InterleaveMixTrack->isChecked())
        m_nProcessType = QFileProcessSetupWidget::ProcessStereoMixTracks;
    else if (ui->m_CtrlRadio_Stereo_InterleaveReMix->isChecked())
        m_nProcessType = QFileProcessSetupWidget::ProcessStereoRemix;
    else if (rotate)
        m_nProcessType = QFileProcessSetupWidget::ProcessPolyRotate;
    else if (compact)
        m_nProcessType = QFileProcessSetupWidget::ProcessPolyCompact;
    else
        m_nProcessType = QFileProcessSetupWidget::ProcessPolyInterleave;

    const bool idle = !m_bRunning;
    ui->m_CtrlRadioButton_PolyRotate->setEnabled(poly && idle);
    ui->m_CtrlRadioButton_ForceMinTrack->setEnabled(poly && idle);
    ui->m_CtrlRadioButton_PolyCompact->setEnabled(poly && idle);
    ui->m_CtrlSpinBox_RotateMaxTrack->setEnabled(poly && rotate && !compact && idle);
    ui->m_CtrlSpinBox_RotateCount->setEnabled(poly && rotate && !compact && idle);

    const bool showRotate = m_nProcessType == QFileProcessSetupWidget::ProcessPolyRotate;
    for (QWidget* w : std::initializer_list<QWidget*>{ui->m_CtrlSpinBox_RotateCount, ui->m_CtrlSpinBox_RotateMaxTrack,
                                                       ui->m_CtrlLabel_Rotate_1, ui->m_CtrlLabel_Rotate_3,
                                                       ui->m_CtrlLabel_Rotate_2, ui->m_CtrlLabel_Rotate_Example})
        w->setVisible(showRotate);
    ui->m_CtrlSpinBox_MinTrackCount->setVisible(poly && force && !rotate && !compact);

    ui->m_CtrlWidget_FileProcess->SetProcessType(m_nProcessType, ui->m_CtrlSpinBox_MinTrackCount->value(),
                                                 ui->m_CtrlSpinBox_RotateCount->value(),
                                                 ui->m_CtrlSpinBox_RotateMaxTrack->value());
    UpdateTargetSize();
}

void QDialogFileProcessSetup::slot_UpdateRotateExample()
{
    const int n = ui->m_CtrlSpinBox_RotateCount->value();
    const int m = ui->m_CtrlSpinBox_RotateMaxTrack->value();
    QString text = QStringLiteral("Example T1>T%1").arg(n + 1);
    for (int k = 0; k < n; ++k)
        text += QStringLiteral(";T%1>T%2").arg(m + 1 - n + k).arg((m + 1 + k) % m);
    ui->m_CtrlLabel_Rotate_Example->setText(text);
    ui->m_CtrlWidget_FileProcess->SetProcessType(m_nProcessType, ui->m_CtrlSpinBox_MinTrackCount->value(), n, m);
}

void QDialogFileProcessSetup::UpdateTargetSize()
{
    quint64 total = 0;
    if (m_pProcessInfo) {
        // The rows' own estimates: the same rule the run checks and the
        // engine writes, with the user's current choices.
        for (QFileProcessSetupWidget* row : ui->m_CtrlWidget_FileProcess->Rows())
            total += quint64(qMax<qint64>(0, row->ComputedSize()));
    }
    ui->m_CtrlLabel_Needed->setText(procsize::TotalSizeText(total));
    UpdateTargetFreeSize();
}

QString QDialogFileProcessSetup::TargetRoot(const tProcessInformation& info) const
{
    if (ui->m_CtrlCheckBox_TargetAlongSource->isChecked())
        return info.czPreProjectPath;
    return ui->m_CtrlLabel_Destination->text().trimmed();
}

void QDialogFileProcessSetup::UpdateTargetFreeSize()
{
    QString root;
    if (m_pProcessInfo && !m_pProcessInfo->isEmpty())
        root = TargetRoot(*m_pProcessInfo->first());
    const qint64 free = procrun::DestinationProblem(root).isEmpty() ? FreeSpaceOfPath(root) : -1;
    ui->m_CtrlLabel_Available->setText(free < 0 ? QStringLiteral("----") : procsize::TotalSizeText(quint64(free)));
}

void QDialogFileProcessSetup::slot_UpdateSize()
{
    if (m_nProcessType >= QFileProcessSetupWidget::ProcessPolyInterleave)
        UpdateTargetSize();
}

void QDialogFileProcessSetup::slot_DestinationChanged()
{
    const bool along = ui->m_CtrlCheckBox_TargetAlongSource->isChecked();
    ui->m_CtrlButton_Destination->setEnabled(!along);
    ui->m_CtrlLabel_Destination->setEnabled(!along);
    if (along && !m_bMixedProjectFolders && m_pProcessInfo && !m_pProcessInfo->isEmpty())
        ShowDestination(ui->m_CtrlLabel_Destination, m_pProcessInfo->first()->czPreProjectPath);
    UpdateTargetFreeSize();
}

void QDialogFileProcessSetup::slot_DestinationButtonClicked()
{
    const QString start = m_pProcessInfo && !m_pProcessInfo->isEmpty() ? m_pProcessInfo->first()->czPreProjectPath
                                                                      : QStringLiteral("/home");
    const QString folder = QFileDialog::getExistingDirectory(this, QStringLiteral("Choose a Target Directory"),
                                                             start, QFileDialog::ShowDirsOnly);
    // A cancelled choice keeps the folder chosen before.
    if (!folder.isEmpty())
        ShowDestination(ui->m_CtrlLabel_Destination, folder);
    UpdateTargetFreeSize();
}

void QDialogFileProcessSetup::UpdateControls()
{
    ui->m_CtrlButton_Run->setText(m_bRunning ? QStringLiteral("STOP") : QStringLiteral(" START "));
    ui->m_CtrlRadio_Stereo_InterleaveMixTrack->setEnabled(!m_bRunning);
    ui->m_CtrlRadio_Stereo_InterleaveReMix->setEnabled(!m_bRunning);
    ui->m_CtrlRadio_Poly->setEnabled(!m_bRunning);
    // The destination and the rows are what the run reads: frozen with it.
    ui->m_CtrlCheckBox_TargetAlongSource->setEnabled(!m_bRunning);
    ui->m_CtrlButton_Destination->setEnabled(!m_bRunning && !ui->m_CtrlCheckBox_TargetAlongSource->isChecked());
    ui->m_CtrlWidget_FileProcess->setEnabled(!m_bRunning);
    ui->m_CtrlSpinBox_MinTrackCount->setEnabled(!m_bRunning);
    slot_ProcessTypeChanged();
}

int QDialogFileProcessSetup::StartProcessing()
{
    m_bExecActive = true;
    return exec();
}

void QDialogFileProcessSetup::MyClose()
{
    MyQDebug("QDialogFileProcessSetup::MyClose");
    const bool busy = m_bRunning;
    if (busy) {
        m_bCloseWhenIdle = true;
        Stop();
    } else {
        done(0);
    }
    m_bExecActive = false;
}

void QDialogFileProcessSetup::slot_ProcessRunClicked()
{
    if (m_bRunning)
        Stop();
    else
        Start();
}

void QDialogFileProcessSetup::ShowError(const QString& text)
{
    ui->m_CtrlLabel_Error->setVisible(true);
    ui->m_CtrlLabel_Error->setText(text);
    ui->m_CtrlFrame_Progress->setStyleSheet(QLatin1String(kRedFrame));
}

void QDialogFileProcessSetup::Start()
{
    ui->m_CtrlLabel_Error->setText(QString());
    ui->m_CtrlFrame_Progress->setStyleSheet(QString());
    m_Summary = tRunSummary();
    m_RunTakes.clear();
    m_RunOutputs.clear();
    m_RunFolders.clear();
    m_FailedIds.clear();
    m_StoppedIds.clear();
    if (!m_pProcessInfo || m_pProcessInfo->isEmpty()) {
        ui->m_CtrlLabel_FullProgress->setText(QStringLiteral("Nothing to process"));
        return;
    }
    const bool along = ui->m_CtrlCheckBox_TargetAlongSource->isChecked();
    if (!along) {
        const QString problem = procrun::DestinationProblem(ui->m_CtrlLabel_Destination->text());
        if (!problem.isEmpty()) {
            ShowError(problem);
            return;
        }
    }

    // Oversize takes: named, then left out whatever the answer.
    const bool fits = ui->m_CtrlWidget_FileProcess->ApplySettingsToInfo();
    if (!fits) {
        QStringList names;
        for (const tProcessInformation* info : qAsConst(*m_pProcessInfo))
            if (procsize::TooLarge(quint64(info->ComputedSize)))
                names << info->czTagName;
        QDialogMessage box(this);
        box.SetupText(QStringLiteral("Info: Invalid Size > 4 GB"),
                      names.join(QStringLiteral(", ")) + QStringLiteral("\n ESC:CANCEL ; OK:CONTINUE"), true);
        box.move(mapToGlobal(QPoint((width() - 1) / 2, (height() - 1) / 2)));
        if (box.exec() != QDialogMessage::GO_ON) {
            ui->m_CtrlLabel_FileProgress->setText(QString());
            ui->m_CtrlLabel_FullProgress->setText(QStringLiteral("Aborted"));
            return;
        }
    }

    const Kind kind = m_nProcessType;
    const int n = ui->m_CtrlSpinBox_RotateCount->value();
    const int m = ui->m_CtrlSpinBox_RotateMaxTrack->value();
    const bool compact = ui->m_CtrlRadioButton_PolyCompact->isChecked();
    const int minTrack = ui->m_CtrlRadioButton_ForceMinTrack->isChecked() ? ui->m_CtrlSpinBox_MinTrackCount->value() : 0;

    struct tPlanned {
        tProcessInformation* info;
        QString folder;
        QString output;
    };
    QList<tPlanned> planned;
    QStringList existing;
    for (tProcessInformation* info : qAsConst(*m_pProcessInfo)) {
        if (info->ComputedSize <= 0) {
            m_Summary.skipped << QStringLiteral("%1: nothing to write").arg(info->czTagName);
            continue;
        }
        if (procsize::TooLarge(quint64(info->ComputedSize))) {
            m_Summary.skipped << QStringLiteral("%1: larger than 4 GB").arg(info->czTagName);
            continue;
        }
        const QString folder = procrun::TargetFolder(TargetRoot(*info), *info, kind);
        const QString output = procrun::OutputPath(folder, *info, kind);
        planned.append({info, folder, output});
        if (QFileInfo::exists(output))
            existing << QFileInfo(output).fileName();
    }

    QFileCopier::CopyFlags flags = procrun::KindFlag(kind) | QFileCopier::NonInteractive;
    bool skipExisting = false;
    if (!existing.isEmpty()) {
        QMessageBox ask(QMessageBox::Question, QStringLiteral("File Process"),
                        QStringLiteral("%1 output file(s) exist already:\n%2")
                            .arg(existing.size())
                            .arg(existing.mid(0, 8).join(QLatin1Char('\n'))
                                 + (existing.size() > 8 ? QStringLiteral("\n...") : QString())),
                        QMessageBox::NoButton, this);
        QPushButton* skip = ask.addButton(QStringLiteral("Skip existing"), QMessageBox::AcceptRole);
        QPushButton* overwrite = ask.addButton(QStringLiteral("Overwrite all"), QMessageBox::DestructiveRole);
        ask.addButton(QMessageBox::Cancel);
        ask.setDefaultButton(skip);
        FitMessageBox(&ask);
        ask.exec();
        if (ask.clickedButton() == overwrite) {
            flags |= QFileCopier::Force;
        } else if (ask.clickedButton() == skip) {
            skipExisting = true;
        } else {
            ui->m_CtrlLabel_FullProgress->setText(QStringLiteral("Aborted"));
            return;
        }
    }

    m_czSourceFileListeInterleave.clear();
    m_czSourceFileListeMixdown.clear();
    m_czAbsoluteTargetPathListeInterleave.clear();
    m_czAbsoluteTargetPathListeMixdown.clear();
    const bool mix = kind <= QFileProcessSetupWidget::ProcessStereoRemix;
    QStringList& sources = mix ? m_czSourceFileListeMixdown : m_czSourceFileListeInterleave;
    QStringList& targets = mix ? m_czAbsoluteTargetPathListeMixdown : m_czAbsoluteTargetPathListeInterleave;

    QFileCopier*& engine = mix ? m_pCopierMix : m_pCopierFull;
    if (engine) {
        engine->cancelAll();
        engine->deleteLater();
        engine = nullptr;
    }
    engine = new QFileCopier(this);
    QStringList badFolders;
    for (const tPlanned& p : qAsConst(planned)) {
        if (skipExisting && QFileInfo::exists(p.output)) {
            m_Summary.skipped << QStringLiteral("%1: exists already").arg(p.info->czTagName);
            continue;
        }
        if (const int error = MakeFolderPath(p.folder, &m_RunFolders)) {
            const QString bad = QStringLiteral("%1 (%2)").arg(p.folder, SystemErrorText(error));
            if (!badFolders.contains(bad))
                badFolders << bad;
            m_Summary.skipped << QStringLiteral("%1: cannot create %2").arg(p.info->czTagName, bad);
            continue;
        }
        p.info->Compact = compact;
        engine->setProcessSettings(procname::TakePathOf(p.info->czFilePath),
                                   procrun::SettingsOf(*p.info, kind, n, m, minTrack, compact));
        sources << p.info->czFilePath;
        targets << p.folder;
        m_RunTakes << p.info->czTagName;
        m_RunOutputs << p.output;
    }
    // One message for every folder that could not be made; its takes are skipped.
    if (!badFolders.isEmpty())
        SendUserMessage(QStringLiteral("File Process"),
                        QStringLiteral("Error creating target dir\n%1").arg(badFolders.join(QLatin1Char('\n'))));
    if (sources.isEmpty()) {
        delete engine;
        engine = nullptr;
        EndRun(QStringLiteral("Nothing to process"));
        return;
    }

    m_pActive = engine;
    connect(engine, &QFileCopier::started, this, &QDialogFileProcessSetup::OnStarted);
    connect(engine, &QFileCopier::progress, this,
            [this](qint64 p, qint64 s, qint64 t, qint64 ts, int) { OnProgress(p, s, t, ts); });
    connect(engine, &QFileCopier::error, this,
            [this](int id, QFileCopier::Error e, bool) { OnError(id, e); });
    connect(engine, &QFileCopier::finished, this, &QDialogFileProcessSetup::OnFinished);
    connect(engine, &QFileCopier::done, this, &QDialogFileProcessSetup::OnDone);
    (mix ? m_nMixPercent : m_nFullPercent) = 0;
    (mix ? m_nFullPercent : m_nMixPercent) = -1;
    ui->m_CtrlProgressBar_Total->setValue(0);
    ui->m_CtrlProgressBar_File->setValue(0);
    m_bRunning = true;
    m_bStopRequested = false;
    UpdateControls();
    engine->copy(sources, targets, flags);
}

void QDialogFileProcessSetup::Stop()
{
    if (!m_bRunning || m_bStopRequested)
        return;
    m_bStopRequested = true;
    ui->m_CtrlLabel_FullProgress->setText(QStringLiteral("Stopping..."));
    ui->m_CtrlButton_Run->setEnabled(false);
    // The worker removes the temporary of the take it was writing before it
    // reports done; finished outputs stay as they are.
    if (m_pActive)
        m_pActive->cancelAll();
}

QString QDialogFileProcessSetup::TakeOfRequest(int id) const
{
    return m_RunTakes.value(id, QStringLiteral("#%1").arg(id + 1));
}

void QDialogFileProcessSetup::OnStarted(int id)
{
    if (!m_pActive)
        return;
    ui->m_CtrlLabel_FullProgress->setText(QString::asprintf("Processing File %d / %d", id + 1, m_RunTakes.size()));
    ui->m_CtrlLabel_FileProgress->setText(TakeOfRequest(id).left(6));
}

void QDialogFileProcessSetup::OnProgress(qint64 fileProgress, qint64 fileSize, qint64 total, qint64 totalSize)
{
    ui->m_CtrlProgressBar_File->setValue(fileSize > 0 ? int(fileProgress * 100 / fileSize) : 0);
    const int percent = totalSize > 0 ? int(total * 100 / totalSize) : 100;
    (m_pActive == m_pCopierMix ? m_nMixPercent : m_nFullPercent) = percent;
    // The bar only; the run ends when the engine says it is done.
    ui->m_CtrlProgressBar_Total->setValue(qBound(0, percent, 100));
}

void QDialogFileProcessSetup::OnError(int id, QFileCopier::Error error)
{
    if (error == QFileCopier::NoError)
        return;
    if (error == QFileCopier::Canceled) {
        m_StoppedIds.insert(id);
        return;
    }
    m_FailedIds.insert(id);
    const QString source = m_pActive ? m_pActive->sourceFilePath(id) : QString();
    const QString text = QFileInfo(source).fileName() + QLatin1Char('\n') + ErrorText(error);
    m_Summary.failed << QStringLiteral("%1: %2").arg(TakeOfRequest(id), ErrorText(error));
    ShowError(text);
}

void QDialogFileProcessSetup::OnFinished(int id, bool error)
{
    // Written means an output on disk: a take cancelled by STOP, or one whose
    // engine ended without a word, is not counted as written.
    if (m_FailedIds.contains(id))
        return;
    if (!error && !m_StoppedIds.contains(id) && QFileInfo::exists(m_RunOutputs.value(id)))
        m_Summary.written << TakeOfRequest(id);
    else if (m_StoppedIds.contains(id) || m_bStopRequested)
        m_Summary.stopped << TakeOfRequest(id);
    else
        m_Summary.failed << QStringLiteral("%1: %2").arg(TakeOfRequest(id), QStringLiteral("no output was written"));
}

void QDialogFileProcessSetup::OnDone()
{
    if (!m_bRunning)
        return;
    QString status;
    if (m_bStopRequested) {
        // Requests that finished before the cancel wrote their files.
        status = QStringLiteral("Stopped");
        ui->m_CtrlProgressBar_Total->setValue(0);
        ui->m_CtrlProgressBar_File->setValue(0);
    } else {
        status = QStringLiteral("Finished");
    }
    EndRun(status);
}

void QDialogFileProcessSetup::EndRun(const QString& status)
{
    MyQDebug("FINISHED FINISHED ");
    m_bRunning = false;
    m_bStopRequested = false;
    m_pActive = nullptr;
    // The engine has settled its temporaries: a target folder this run made
    // and nothing was written into is not left behind.
    procrun::RemoveEmptyFolders(m_RunFolders);
    m_RunFolders.clear();
    ui->m_CtrlButton_Run->setEnabled(true);
    ui->m_CtrlLabel_FileProgress->setText(QString());
    QString text = status;
    if (status == QLatin1String("Finished") || status == QLatin1String("Stopped"))
    {
        text += QStringLiteral(": %1 written, %2 skipped, %3 failed")
                    .arg(m_Summary.written.size())
                    .arg(m_Summary.skipped.size())
                    .arg(m_Summary.failed.size());
        if (!m_Summary.stopped.isEmpty())
            text += QStringLiteral(", %1 stopped").arg(m_Summary.stopped.size());
    }
    ui->m_CtrlLabel_FullProgress->setText(text);
    if (!m_Summary.skipped.isEmpty() && m_Summary.failed.isEmpty())
        ui->m_CtrlLabel_Error->setText(QStringLiteral("Skipped: ") + m_Summary.skipped.join(QStringLiteral("; ")));
    UpdateControls();
    emit signal_RunEnded();
    if (m_bCloseWhenIdle) {
        m_bCloseWhenIdle = false;
        QDialog::reject();
    }
}

void QDialogFileProcessSetup::reject()
{
    if (!m_bRunning) {
        QDialog::reject();
        return;
    }
    if (m_bStopRequested) {
        m_bCloseWhenIdle = true;
        return;
    }
    QDialogMessage box(this);
    box.SetupText(QStringLiteral("File Process"), QStringLiteral("A process is running.\nStop it and close?"), true);
    if (box.exec() != QDialogMessage::GO_ON)
        return;
    // The run may have ended while the box was open: no end of it is left
    // to close the dialog then.
    if (!m_bRunning) {
        QDialog::reject();
        return;
    }
    m_bCloseWhenIdle = true;
    Stop();
}
