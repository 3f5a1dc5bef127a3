#include "report/qdialogreportprocess.h"

#include "ui_qdialogreportprocess.h"

#include "report/qdialogreporttakefilters.h"
#include "report/reporttakefilters.h"

#include "foundation/fonts.h"
#include "foundation/messageloging.h"
#include "foundation/platform/desktopshell.h"
#include "widgets/qbriselbluelabel.h"
#include "widgets/qbriselministack.h"
#include "widgets/qdialogmessagetextedit.h"
#include "widgets/sharedfonts.h"
#include "widgets/screenfit.h"

#include <QCloseEvent>
#include <QDir>
#include <QFileDialog>
#include <QFileInfo>
#include <QKeyEvent>
#include <QMenu>

namespace {
struct tyKindTexts
{
    int kind;
    const char* gathering;
    const char* page;
    const char* takeWithPdf;
    const char* takeWithoutPdf;
};

const tyKindTexts kKindTexts[4] = {
    {0x1, "Mono process ", "Mono Process: Page %1", "Mono Process: Page %1 ; Take %2 / %3 ",
     "Mono Process: Take %1 / %2 "},
    {0x2, "Mixdown process ", "Stereo Mix Process: Page %1", "Stereo Mix Process: Page %1 ; Take %2 / %3 ",
     "Stereo Mix Process: Take %1 / %2 "},
    {0x4, "Poly process ", "Poly Process: Page %1", "Poly Process: Page %1 ; Take %2 / %3 ",
     "Poly Process: Take %1 / %2 "},
    {0x8, "Poly process ", "Poly Rotate Process: Page %1", "Poly Rotate Process: Page %1 ; Take %2 / %3 ",
     "Poly Rotate Process: Take %1 / %2 "},
};

// Slot 0..3 of a kind bit; -1 for anything else.
int KindSlot(int kind)
{
    for (int i = 0; i < 4; ++i)
        if (kKindTexts[i].kind == kind)
            return i;
    return -1;
}
}  // namespace

QDialogReportProcess::QDialogReportProcess(QWidget* parent)
    : QDialog(parent), ui(new Ui::QDialogReportProcess), m_MiniStackManager(this)
{
    KeepOnScreen(this);
    ui->setupUi(this);
    setFixedSize(size());
    ui->m_CtrlProgressBar_Report->setRange(0, 100);
    ui->m_CtrlProgressBar_Report->setValue(0);
    ui->m_CtrlButton_ErrorInfo->hide();
    ui->m_CtrlButton_CancelTarget->hide();
    ui->m_CtrlButton_CancelTarget->setText(QString(QChar(0x2573)));
    ui->m_CtrlButton_CancelTarget->setToolTip(QStringLiteral("Cancel Custom Folder"));
    ui->m_CtrlButton_ChangeTarget->setToolTip(QStringLiteral("Set Custom Target Folder"));

    connect(&m_ReportThread, &QReportThread::signal_gettingData, this, &QDialogReportProcess::slot_Report_gettingData);
    connect(&m_ReportThread, &QReportThread::signal_drawingPage, this, &QDialogReportProcess::slot_Report_drawingPage);
    connect(&m_ReportThread, &QReportThread::signal_drawingTake, this, &QDialogReportProcess::slot_Report_drawingTake);
    connect(&m_ReportThread, &QReportThread::signal_processingDay, this,
            &QDialogReportProcess::slot_Report_processingDay);
    connect(&m_ReportThread, &QReportThread::signal_reportFileCount, this,
            &QDialogReportProcess::slot_Report_fileCountTake);
    connect(&m_ReportThread, &QReportThread::signal_reportFinished, this, &QDialogReportProcess::slot_Report_End);
    connect(ui->m_CtrlButton_Start, &QPushButton::clicked, this, &QDialogReportProcess::slot_OnButtonStartClicked);
    connect(ui->m_CtrlButton_ChangeTarget, &QPushButton::clicked, this,
            &QDialogReportProcess::slot_OnButtonChangeTargetFolderClicked);
    connect(ui->m_CtrlButton_CancelTarget, &QPushButton::clicked, this,
            &QDialogReportProcess::slot_OnButtonCancelTargetFolderClicked);
    connect(ui->m_CtrlButton_OpenFile, &QPushButton::clicked, this, &QDialogReportProcess::slot_OnButtonOpenFile);
    connect(ui->m_CtrlButton_OpenFolder, &QPushButton::clicked, this, &QDialogReportProcess::slot_OnButtonOpenFolder);
    connect(ui->m_CtrlButton_ErrorInfo, &QPushButton::clicked, this,
            &QDialogReportProcess::slot_OnButtonErrorInfoClicked);
    ui->m_CtrlButton_OpenFile->hide();
    ui->m_CtrlButton_OpenFolder->hide();

    QBriselMiniStack* field = ui->m_CtrlMiniStack_TakeFilter;
    field->setFrameShape(QFrame::NoFrame);
    field->SwitchStateTo(QBriselMiniStack::MINISTACK_SELECTED);
    field->SetupTextOnly(QStringLiteral("---"), Qt::AlignLeft | Qt::AlignVCenter);
    field->Label()->setFont(generalFont9);
    m_MiniStackManager.InsertItem(field);
    m_MiniStackManager.MiniStackFieldManager(1);
    connect(&m_MiniStackManager, &QBriselMiniStackManager::signal_UserClickedOk, this,
            &QDialogReportProcess::slot_UserClickedOk);

    m_pFileMenu = new QMenu(this);
    InitFontSize(this);
}

QDialogReportProcess::~QDialogReportProcess() = default;

void QDialogReportProcess::setPdfPageFormat(tyReportPageFormat format)
{
    m_ReportThread.setPdfPageFormat(format);
}

void QDialogReportProcess::setPdfHeaderSetup(tyReportBlock* blocks, int lines, int cols)
{
    m_ReportThread.setPdfHeaderSetup(blocks, lines, cols);
}

void QDialogReportProcess::setPdfDataSetup(tyReportBlock* blocks, int lines, int cols, int dataLines,
                                           bool noteLine, tReportCircleDisplay circle)
{
    m_ReportThread.setPdfDataSetup(blocks, lines, cols, dataLines, noteLine, circle);
}

void QDialogReportProcess::setAleSetup(int videoFormat, int fps)
{
    m_ReportThread.setAleSetup(videoFormat, fps);
}

void QDialogReportProcess::SetTakeFilters(QString filters)
{
    m_lTakeFilters = TakeFilters::Split(filters);
    m_TakeFilters = filters;
    ui->m_CtrlMiniStack_TakeFilter->SetupTextOnly(TakeFilters::RunDisplayText(filters),
                                                  Qt::AlignLeft | Qt::AlignVCenter);
}

void QDialogReportProcess::setParam(QString media, QString project, QString day, int processMask, int reportGen,
                                    bool projectReport, tReportCircleDisplay circle)
{
    m_Media = media;
    m_Project = project;
    m_Day = day.left(qMax(0, day.size() - 4));
    m_nProcessMask = processMask;
    m_nReportGen = reportGen;
    m_bProjectReport = projectReport;
    m_nCircleDisplay = circle;
    if (projectReport) {
        m_DefaultTargetFolder = media + QLatin1Char('/') + project;
        ui->m_CtrlLabel_TargetFolder->setText(m_DefaultTargetFolder + QStringLiteral("/DayFolders"));
    } else {
        m_DefaultTargetFolder = media + QLatin1Char('/') + project + QLatin1Char('/') + day;
        ui->m_CtrlLabel_TargetFolder->setText(m_DefaultTargetFolder);
    }
    QString projectName = project;
    if (projectName.endsWith(QLatin1String(".BR1")))
        projectName.chop(4);
    ui->m_CtrlLabel_Project->setText(projectName);
    ui->m_CtrlLabel_Day->setText(projectReport ? QStringLiteral("All days") : day);
}

int QDialogReportProcess::exec()
{
    const bool on = m_nReportGen != 0;
    ui->m_CtrlInfo_Report->setText(on ? QStringLiteral("Report process") : QStringLiteral("Report process: OFF"));
    ui->m_CtrlProgressBar_Report->setEnabled(on);
    ui->m_CtrlProgressBar_Report->setValue(0);
    return QDialog::exec();
}

bool QDialogReportProcess::event(QEvent* e)
{
    // The dialog's own key handling (default button, Escape as reject) never
    // runs: keyPressEvent decides every key.
    return QWidget::event(e);
}

void QDialogReportProcess::ShowButtonFor(tRunState state)
{
    m_eRunState = state;
    ui->m_CtrlButton_Start->setText(state == RunReady ? QStringLiteral("START") : QStringLiteral("STOP"));
    // A stop asked for waits for the worker's end signal: nothing to press meanwhile.
    ui->m_CtrlButton_Start->setEnabled(state != RunStopping);
    ui->m_CtrlButton_ChangeTarget->setEnabled(state == RunReady);
    ui->m_CtrlButton_CancelTarget->setEnabled(state == RunReady);
}

void QDialogReportProcess::slot_OnButtonStartClicked()
{
    if (m_eRunState == RunStopping)
        return;
    ui->m_CtrlButton_OpenFile->hide();
    ui->m_CtrlButton_OpenFolder->hide();
    ui->m_CtrlButton_ErrorInfo->hide();
    if (m_eRunState == RunRunning) {
        // The worker ends its pass between two takes and removes that
        // pass's outputs; the result arrives with its finished signal.
        m_bCanceled = true;
        ShowButtonFor(RunStopping);
        m_ReportThread.stopProcess();
        return;
    }
    m_bCanceled = false;
    ShowButtonFor(RunRunning);
    m_ReportThread.setCustomTargetFolder(m_bCustomTargetFolder, m_CustomTargetFolder);
    m_nReportCurrentTakeFilterIndex = -1;
    m_nRunFileCount = 0;
    m_pFileMenu->clear();
    slot_Report_End(QStringList(), 0, 0, 0, 0, 0, QStringList());
}

void QDialogReportProcess::slot_Report_End(QStringList files, int aborted, int stopped, int pdfError, int csvError,
                                           int aleError, QStringList errorTexts)
{
    // A pass ending after the user stopped, or any signal outside a run,
    // starts nothing: only a running job chains its next pass.
    const bool wasRunning = m_eRunState == RunRunning;
    m_FileToOpen.clear();
    ShowButtonFor(RunReady);
    m_lErrorTexts.append(errorTexts);
    m_nRunFileCount += files.size();

    const int n = m_lTakeFilters.size();
    bool complete = false;
    if (n > 0) {
        if (m_nReportCurrentTakeFilterIndex < n - 1) {
            ++m_nReportCurrentTakeFilterIndex;
        } else {
            m_nReportCurrentTakeFilterIndex = 0;
            complete = true;
        }
        m_ReportThread.setTakeFilter(m_lTakeFilters.at(m_nReportCurrentTakeFilterIndex));
    } else {
        m_ReportThread.setTakeFilter(QString());
        if (m_nReportCurrentTakeFilterIndex != 0)
            m_nReportCurrentTakeFilterIndex = 0;
        else
            complete = true;
    }

    if (aborted != 0 || stopped != 0 || m_bCanceled || !wasRunning) {
        if (m_bCanceled || !wasRunning)
            ui->m_CtrlInfo_Report->setText(QStringLiteral("Report Process Interrupted by user"));
        else
            ui->m_CtrlInfo_Report->setText(
                QStringLiteral("Report Process Interrupted (Err: %1;%2;%3))\nPress Info Button (?) for more information")
                    .arg(pdfError)
                    .arg(csvError)
                    .arg(aleError));
        ui->m_CtrlButton_ErrorInfo->show();
        m_nReportCurrentTakeFilterIndex = -1;
        return;
    }

    QProgressBar* bar = ui->m_CtrlProgressBar_Report;
    if (bar->maximum() == 0)
        bar->setMaximum(1);
    if (!m_bProjectReport) {
        ui->m_CtrlButton_OpenFile->show();
        if (n > 1 || files.size() >= 2) {
            for (const QString& file : files) {
                QAction* entry = m_pFileMenu->addAction(QFileInfo(file).fileName());
                entry->setData(file);
            }
        } else if (files.size() == 1) {
            m_FileToOpen = files.first();
        }
    }
    if (complete) {
        bar->setValue(bar->maximum());
        // A job that wrote nothing (an empty day, no report kind) says so and
        // offers no file to view.
        const bool written = m_nRunFileCount > 0;
        ui->m_CtrlInfo_Report->setText(written ? QStringLiteral("Report Process finished")
                                               : QStringLiteral("Report Process finished: no report file was written"));
        ui->m_CtrlButton_OpenFile->setVisible(!m_bProjectReport && written);
        ui->m_CtrlButton_OpenFolder->show();
        if (m_nRunFileCount == 0 && (m_nProcessMask & 0xF) == 0)
            SendUserMessage(QStringLiteral("Report"),
                            QStringLiteral("No report was made: the folder \"%1\" is of no report kind.")
                                .arg(m_DefaultTargetFolder),
                            0, 2);
        return;
    }
    ShowButtonFor(RunRunning);
    m_ReportThread.processFileTags(m_Media, m_Project, m_Day, m_nProcessMask, m_nReportGen, m_bProjectReport,
                                   m_nCircleDisplay);
}

QString QDialogReportProcess::DayPrefix(bool trailingBlank) const
{
    if (!m_bProjectReport)
        return QString();
    return QStringLiteral("Day %1/%2 -").arg(m_nDay + 1).arg(m_nDayCount) +
           (trailingBlank ? QStringLiteral(" ") : QString());
}

int QDialogReportProcess::KindOffset(int kind) const
{
    const int slot = KindSlot(kind);
    int offset = 0;
    for (int i = 0; i < slot; ++i)
        offset += m_nFileCount[i];
    return 2 * offset;
}

int QDialogReportProcess::KindCount(int kind) const
{
    const int slot = KindSlot(kind);
    return slot < 0 ? 0 : m_nFileCount[slot];
}

void QDialogReportProcess::slot_Report_processingDay(int day, int dayCount)
{
    m_nDay = day;
    m_nDayCount = dayCount;
}

void QDialogReportProcess::slot_Report_fileCountTake(int mono, int mix, int poly, int rotate)
{
    m_nFileCount[0] = mono;
    m_nFileCount[1] = mix;
    m_nFileCount[2] = poly;
    m_nFileCount[3] = rotate;
    ui->m_CtrlProgressBar_Report->show();
    ui->m_CtrlInfo_Report->show();
    ui->m_CtrlProgressBar_Report->setRange(0, 2 * (mono + mix + poly + rotate));
    ui->m_CtrlProgressBar_Report->setValue(0);
    ui->m_CtrlInfo_Report->setText(QStringLiteral("Report process"));
}

void QDialogReportProcess::slot_Report_gettingData(int kind, int index, int total)
{
    m_nCurrentProcess = kind;
    const int slot = KindSlot(kind);
    const QString kindText = slot < 0 ? QString() : QString::fromLatin1(kKindTexts[slot].gathering);
    ui->m_CtrlInfo_Report->setText(DayPrefix(false) + QStringLiteral("Gathering info for ") + kindText +
                                   QStringLiteral("(%1/%2)").arg(index + 1).arg(total));
    // Takes load on several threads, so their indexes may arrive a little out
    // of order: the bar never steps back.
    if (slot >= 0)
        ui->m_CtrlProgressBar_Report->setValue(qMax(ui->m_CtrlProgressBar_Report->value(), KindOffset(kind) + index));
}

void QDialogReportProcess::slot_Report_drawingPage(int, int page)
{
    m_nCurrentPage = page;
    const int slot = KindSlot(m_nCurrentProcess);
    const QString text = slot < 0 ? QString() : QString::fromLatin1(kKindTexts[slot].page).arg(page + 1);
    ui->m_CtrlInfo_Report->setText(DayPrefix(true) + text);
}

void QDialogReportProcess::slot_Report_drawingTake(int take)
{
    const int slot = KindSlot(m_nCurrentProcess);
    QString text;
    if (slot >= 0) {
        const int count = KindCount(m_nCurrentProcess);
        if (m_nReportGen & 0x1)
            text = QString::fromLatin1(kKindTexts[slot].takeWithPdf).arg(m_nCurrentPage + 1).arg(take + 1).arg(count);
        else
            text = QString::fromLatin1(kKindTexts[slot].takeWithoutPdf).arg(take + 1).arg(count);
        ui->m_CtrlProgressBar_Report->setValue(KindOffset(m_nCurrentProcess) + count + take);
    }
    ui->m_CtrlInfo_Report->setText(DayPrefix(true) + text);
}

void QDialogReportProcess::slot_OnButtonChangeTargetFolderClicked()
{
    if (m_eRunState != RunReady)
        return;
    const QString start = m_CustomTargetFolder.isEmpty() ? m_DefaultTargetFolder : m_CustomTargetFolder;
    const QString folder = QFileDialog::getExistingDirectory(this, QStringLiteral("Choose a Target Directory"),
                                                             start, QFileDialog::ShowDirsOnly);
    if (folder.isEmpty())
        return;
    m_CustomTargetFolder = folder;
    m_bCustomTargetFolder = true;
    ui->m_CtrlLabel_TargetFolder->setText(folder);
    ui->m_CtrlButton_CancelTarget->show();
}

void QDialogReportProcess::slot_OnButtonCancelTargetFolderClicked()
{
    if (m_eRunState != RunReady)
        return;
    m_bCustomTargetFolder = false;
    ui->m_CtrlButton_CancelTarget->hide();
    ui->m_CtrlLabel_TargetFolder->setText(m_bProjectReport ? m_DefaultTargetFolder + QStringLiteral("/DayFolders")
                                                           : m_DefaultTargetFolder);
}

void QDialogReportProcess::slot_OnButtonOpenFolder()
{
    const QString folder = m_bCustomTargetFolder ? m_CustomTargetFolder : m_DefaultTargetFolder;
    DesktopShell& shell = DesktopShell::current();
    if (!shell.open(folder)) {
        TellNoViewer(folder);
        return;
    }
    shell.activate();
}

void QDialogReportProcess::OpenFile(const QString& path)
{
    if (!path.isEmpty() && !DesktopShell::current().open(path))
        TellNoViewer(path);
}

void QDialogReportProcess::TellNoViewer(const QString& path)
{
    SendUserMessage(QStringLiteral("Report"),
                    QStringLiteral("No program could be started to show %1.").arg(QDir::toNativeSeparators(path)), 0, 2);
}

void QDialogReportProcess::slot_OnButtonOpenFile()
{
    if (!m_pFileMenu->actions().isEmpty()) {
        QPushButton* button = ui->m_CtrlButton_OpenFile;
        QAction* picked = m_pFileMenu->exec(button->mapToGlobal(QPoint(button->width(), 0)));
        if (!picked)
            return;
        m_FileToOpen = picked->data().toString();
    }
    OpenFile(m_FileToOpen);
}

void QDialogReportProcess::slot_OnButtonErrorInfoClicked()
{
    QDialogMessageTextEdit box(this);
    box.SetupText(QStringLiteral("Error Info"), m_lErrorTexts, 0, 0);
    box.move(mapToGlobal(QPoint((width() - 1) / 2, (height() - 1) / 2)));
    box.exec();
}

bool QDialogReportProcess::TakeFilterFieldSelected() const
{
    QBriselMiniStack* selected = nullptr;
    return m_MiniStackManager.GetSelectedMiniStackField(&selected) == 0 &&
           selected == ui->m_CtrlMiniStack_TakeFilter;
}

void QDialogReportProcess::slot_UserClickedOk(bool)
{
    // The filters of a run under way are already handed out pass by pass.
    if (m_eRunState != RunReady)
        return;
    if (m_MiniStackManager.GetState() == QBriselMiniStackManager::MANAGER_SELECT && TakeFilterFieldSelected())
        DisplayChooseTakeFilter();
}

void QDialogReportProcess::DisplayChooseTakeFilter()
{
    QDialogReportTakeFilters chooser(this, true);
    chooser.SetReportTakeFilters(m_TakeFilters, true);
    chooser.move(ui->m_CtrlMiniStack_TakeFilter->mapToGlobal(QPoint(0, 0)));
    if (chooser.exec() == 0)
        SetTakeFilters(chooser.GetReportTakeFilters());
}

void QDialogReportProcess::keyPressEvent(QKeyEvent* e)
{
    if (e->key() == Qt::Key_Escape)
        MyClose();
    else if (e->key() == Qt::Key_Return && m_eRunState == RunReady && TakeFilterFieldSelected())
        DisplayChooseTakeFilter();
    e->accept();
}

void QDialogReportProcess::closeEvent(QCloseEvent* e)
{
    // The title bar's close stops the worker exactly as Escape does.
    e->ignore();
    MyClose();
}

void QDialogReportProcess::MyClose()
{
    m_bCanceled = true;
    bool ended = true;
    if (m_ReportThread.isRunning()) {
        m_ReportThread.abortProcess();
        ended = m_ReportThread.wait(3000);
    }
    done(ended ? 0 : 1);
}
