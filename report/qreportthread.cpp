#include "report/qreportthread.h"

#include "foundation/fileinfolist.h"
#include "foundation/spreadwork.h"
#include "report/reportfile.h"
#include "report/reporttexts.h"
#include "take/soundperform.h"
#include "widgets/sharedfonts.h"

#include <QDir>
#include <QFileInfo>
#include <QPainter>
#include <QPdfWriter>
#include <QRegularExpression>

#include <algorithm>
#include <memory>
#include <system_error>
#include <thread>
#include <vector>

using namespace ReportLayout;

const char* const QReportThread::kVersion = "1.2.2 beta";

namespace {
const char* const kDayKindSuffix[4] = {"_Mono", "_StereoMix", "_Poly", "_PolyRotate"};
const char* const kDayTitle[4] = {
    "Orvex Sound Report - Monophonic",
    "Orvex Sound Report - Stereo Mixdown",
    "Orvex Sound Report - PolyPhonic interleave",
    "Orvex Sound Report - PolyPhonic Rotate interleave",
};
const char* const kProjectPattern[4] = {
    "%1/%2_Project_Mono", "%1/%2_Project_StereoMix", "%1/%2_Project_Poly", "%1/%2_Project_Poly_Rotate",
};
const char* const kProjectTitle[4] = {
    "Orvex Sound Report - Project  - Monophonic",
    "Orvex Sound Report - Project  - Stereo Mixdown",
    "Orvex Sound Report - Project - PolyPhonic interleave",
    "Orvex Sound Report - Project - PolyPhonic Rotate interleave",
};

// Fills a report message: the first "%s" with the file name, the "%d" with
// the error number, the second "%s" with the error text. One pass over the
// format: a '%' in a folder name or an error text is never taken for a
// placeholder.
QString Message(const char* format, const QString& name, int error = 0, const QString& text = QString())
{
    const QString source = QString::fromLatin1(format);
    QString message;
    int strings = 0;
    bool number = false;
    for (int i = 0; i < source.size(); ++i) {
        const QChar kind = i + 1 < source.size() && source.at(i) == QLatin1Char('%') ? source.at(i + 1) : QChar();
        if (kind == QLatin1Char('s') && strings < 2) {
            message += strings++ == 0 ? name : text;
            ++i;
        } else if (kind == QLatin1Char('d') && !number) {
            message += QString::number(error);
            number = true;
            ++i;
        } else {
            message += source.at(i);
        }
    }
    return message;
}
}  // namespace

struct QReportThread::tyKindOutput
{
    std::unique_ptr<ReportFile> pdf;
    std::unique_ptr<QPdfWriter> writer;
    std::unique_ptr<QPainter> painter;
    std::unique_ptr<ReportFile> csv;
    std::unique_ptr<ReportFile> ale;
    bool bPdfStarted = false;
    bool bCsvStarted = false;
    int nPages = 0;
};

struct QReportThread::tyJobState
{
    int nPdfError = 0;
    int nCsvError = 0;
    int nAleError = 0;
    QStringList reportFiles;
    QStringList unfinished;
    QStringList errors;
    // Unfinished files whose temporary file was removed (1) or not (0).
    QHash<QString, int> discarded;
    QString czFilterSuffix;
    QString czProjectBase;
    tyKindOutput project[4];
    QStringList lists[4];
    QString dayFolders[4];
    MyFileInfoList listings[4];   // the ".WAV" names of each day folder
};

QReportThread::QReportThread(QObject* parent)
    : QThread(parent)
{
    for (int l = 0; l < kHeaderLines; ++l) {
        for (int c = 0; c < kHeaderCells; ++c) {
            m_Pending.Header[l][c] = DefaultReportHeaderLayout[l][c];
            m_Pending.pnNewPageOn[l] |= PageBreakBitsOfHeaderField(m_Pending.Header[l][c].nFieldId);
        }
    }
    for (int l = 0; l < kDataLines; ++l)
        for (int c = 0; c < kDataCells; ++c)
            m_Pending.Data[l][c] = DefaultReportDataLayout[l][c];
    m_Pending.nDataLines = NormaliseDataLayout(m_Pending.Data, 1);
    m_Job = m_Pending;
    m_nRecorderNumber = -1;
    m_PenA = QPen(QBrush(Qt::lightGray), 10, Qt::CustomDashLine, Qt::SquareCap, Qt::BevelJoin);
    m_PenA.setDashPattern({4, 8});
    m_PenB = QPen(QBrush(Qt::lightGray), 1, Qt::CustomDashLine, Qt::SquareCap, Qt::BevelJoin);
    m_PenB.setDashPattern({60, 60});
    SetRequestFlags(&m_bAbort, &m_bStop);
    SetGettingDataCallback([this](int kind, int index, int count) { emit signal_gettingData(kind, index, count); });
    start(QThread::InheritPriority);
}

QReportThread::~QReportThread()
{
    {
        std::lock_guard<std::mutex> lock(m_Mutex);
        m_bAbort = true;
        m_Wake.notify_all();
    }
    wait();
    m_Join.joined();
}

void QReportThread::setPdfHeaderSetup(tyReportBlock* cells, int lines, int cols)
{
    if (!cells || lines < 1 || cols < 1)
        return;
    std::lock_guard<std::mutex> lock(m_Mutex);
    for (int l = 0; l < qMin(lines, int(kHeaderLines)); ++l) {
        m_Pending.pnNewPageOn[l] = 0;
        const tyReportBlock* line = cells + l * cols;
        for (int c = 0; c < kHeaderCells; ++c) {
            if (line[0].nFieldId == -1 || c >= cols) {
                m_Pending.Header[l][c] = tyReportBlock{FieldEmpty, QString()};
                continue;
            }
            m_Pending.Header[l][c] = line[c];
            m_Pending.pnNewPageOn[l] |= PageBreakBitsOfHeaderField(line[c].nFieldId);
        }
    }
}

void QReportThread::setPdfPageFormat(tyReportPageFormat format)
{
    std::lock_guard<std::mutex> lock(m_Mutex);
    m_Pending.ePageFormat = format;
}

void QReportThread::setPdfDataSetup(tyReportBlock* cells, int lines, int cols, int nbDataLines, bool noteLine,
                                    tReportCircleDisplay circle)
{
    std::lock_guard<std::mutex> lock(m_Mutex);
    if (cells && lines >= 1 && cols >= 1) {
        for (int l = 0; l < qMin(lines, int(kDataLines)); ++l)
            for (int c = 0; c < kDataCells; ++c)
                m_Pending.Data[l][c] = c < cols ? cells[l * cols + c] : tyReportBlock{};
    }
    m_Pending.nDataLines = NormaliseDataLayout(m_Pending.Data, nbDataLines);
    m_Pending.bNoteLine = noteLine;
    m_Pending.eCircle = circle;
}

void QReportThread::setAleSetup(int videoFormat, int fps)
{
    std::lock_guard<std::mutex> lock(m_Mutex);
    m_Pending.nAleVideoFormat = videoFormat;
    m_Pending.nAleFps = fps;
}

void QReportThread::setTakeFilter(QString filter)
{
    std::lock_guard<std::mutex> lock(m_Mutex);
    m_Pending.czTakeFilter = filter;
}

void QReportThread::setCustomTargetFolder(bool use, QString folder)
{
    const bool exists = use && QFileInfo(folder).isDir();
    std::lock_guard<std::mutex> lock(m_Mutex);
    m_Pending.bCustomTargetFolder = exists;
    m_Pending.czCustomTargetFolder = folder;
}

void QReportThread::processFileTags(QString media, QString project, QString day, int processMask, int reportGen,
                                    bool projectReport, tReportCircleDisplay circle)
{
    const QString dayName = DayNameOfFolder(day);
    std::lock_guard<std::mutex> lock(m_Mutex);
    m_Pending.czMedia = media;
    m_Pending.czProject = project;
    m_Pending.czDay = dayName.isEmpty() ? day : dayName;
    m_Pending.nProcessMask = processMask;
    m_Pending.nReportGen = reportGen;
    m_Pending.bProjectReport = projectReport;
    m_Pending.eCircle = circle;
    m_bJobPending = true;
    m_bStopPendingJob = false;
    m_Wake.notify_all();
}

bool QReportThread::isProcessing() const
{
    std::lock_guard<std::mutex> lock(m_Mutex);
    return m_bProcessing || m_bJobPending;
}

void QReportThread::stopProcess()
{
    std::lock_guard<std::mutex> lock(m_Mutex);
    m_bStop = true;
    // Between a job's hand-over and its start the stop is meant for it.
    if (m_bJobPending && !m_bProcessing)
        m_bStopPendingJob = true;
    m_Wake.notify_all();
}

void QReportThread::abortProcess()
{
    std::lock_guard<std::mutex> lock(m_Mutex);
    m_bAbort = true;
    m_Wake.notify_all();
}

bool QReportThread::Halted() const
{
    return m_bAbort.load(std::memory_order_acquire) || m_bStop.load(std::memory_order_acquire);
}

void QReportThread::run()
{
    m_czCreator = QStringLiteral("Tobra3 v%1").arg(QString::fromLatin1(kVersion));
    for (;;) {
        {
            std::unique_lock<std::mutex> lock(m_Mutex);
            m_bProcessing = false;
            m_Wake.wait(lock, [this] { return m_bJobPending || m_bAbort.load(); });
            if (m_bAbort)
                break;
            // A stop meant for the job before does not reach this one; one
            // given since its hand-over does.
            m_bJobPending = false;
            m_bStop = m_bStopPendingJob;
            m_bStopPendingJob = false;
            m_Job = m_Pending;
            m_bProcessing = true;
        }
        tyJobState job;
        RunJob(job);
        const int abort = m_bAbort ? 1 : 0;
        const int stop = m_bStop ? 1 : 0;
        {
            // Cleared before the signal: its handler may hand over the next job.
            std::lock_guard<std::mutex> lock(m_Mutex);
            m_bProcessing = false;
        }
        emit signal_reportFinished(job.reportFiles, abort, stop, job.nPdfError, job.nCsvError, job.nAleError,
                                   job.errors);
        if (m_bAbort)
            break;
    }
    m_Join.ended();
}

void QReportThread::RecordError(tyJobState& job, const QString& text, int* code, int value)
{
    job.errors.append(text);
    *code = value;
    m_bStop = true;
}

void QReportThread::BuildFileLists(QString day, int processMask, QStringList* lists, QString* dayFolders,
                                   MyFileInfoList* listings)
{
    struct tyKind
    {
        int bit;
        int slot;
        const char* extension;
        const char* suffix;
    };
    static const tyKind kinds[4] = {
        {0x1, 0, ".OVD", ".WAV"}, {0x4, 2, ".OVN", "PN.WAV"}, {0x8, 3, ".OVR", "PR.WAV"}, {0x2, 1, ".OVX", "MX.WAV"},
    };
    static const QRegularExpression trackIndex(QStringLiteral("[_]+[0-9a-nA-N]"));
    const bool filtered = !m_Job.czTakeFilter.isEmpty();
    for (const tyKind& kind : kinds) {
        QStringList& list = lists[kind.slot];
        list.clear();
        if (!(processMask & kind.bit))
            continue;
        dayFolders[kind.slot] = day + QLatin1String(kind.extension);
        const QString folder = QDir(QStringLiteral("%1/%2/%3/").arg(m_Job.czMedia, m_Job.czProject,
                                                                  dayFolders[kind.slot]))
                                   .absolutePath();
        // One listing of the folder serves the file list and the loading of its takes.
        MyFileInfoList own;
        MyFileInfoList& listing = listings ? listings[kind.slot] : own;
        listing.LoadEntryInfoList(folder, {QStringLiteral(".WAV")}, false, &m_bAbort);
        const QLatin1String suffix(kind.suffix);
        QStringList paths;   // with a take filter: the take of each id listed, in the same order
        for (int i = 0; i < listing.count() && !(filtered && Halted()); ++i) {
            const QString name = listing.GetFileName(i);
            // A hidden file (a Mac's "._" companion of a take's file) is no
            // take, as the browser and the day list show none.
            if (name.size() <= suffix.size() || !name.endsWith(suffix) || name.startsWith(QLatin1Char('.')))
                continue;
            const QString base = name.left(name.size() - 4);
            const QString id = name.left(6);
            if (kind.bit == 0x1) {
                // Names of one id lie together in the byte-wise sorted listing;
                // the pattern is asked only of the first name of each id.
                if (name.size() < 6 || (!list.isEmpty() && list.last() == id) || !trackIndex.match(base).hasMatch())
                    continue;
            }
            list.append(id);
            if (!filtered)
                continue;
            QString path = folder + QLatin1Char('/') + name;
            if (kind.bit == 0x1) {
                const int cut = std::max({base.lastIndexOf(QLatin1Char('_')), base.lastIndexOf(QLatin1Char('#')),
                                          base.lastIndexOf(QLatin1Char('-'))});
                path = folder + QLatin1Char('/') + base.left(cut);
            }
            paths.append(path);
        }
        if (!filtered)
            continue;
        // With a take filter every take is loaded to be judged, side by side
        // as the report's own loads are: each thread with its own take, each
        // verdict written only by the thread that loaded its take. A stop
        // ends them before their next take: it must not wait for them all.
        const int threads = TakeLoaderThreads(paths.size());
        std::vector<std::unique_ptr<QSoundPerform>> takes(static_cast<size_t>(threads));
        std::vector<char> keep(static_cast<size_t>(paths.size()), 0);
        SpreadWork(paths.size(), threads, [&](int n, int worker) {
            if (Halted())
                return false;
            std::unique_ptr<QSoundPerform>& take = takes[size_t(worker)];
            if (!take)
                take = std::make_unique<QSoundPerform>();
            if (take->QuickInitFiles(paths.at(n), QStringLiteral("WAV"), &listing, false)) {
                const QString text = take->m_czTakeIndicator + take->m_czTakeNumber;
                keep[size_t(n)] = !text.isEmpty() && m_Job.czTakeFilter.contains(text.at(0), Qt::CaseInsensitive);
            }
            return true;
        });
        QStringList kept;
        for (int n = 0; n < paths.size(); ++n) {
            if (keep[size_t(n)])
                kept.append(list.at(n));
        }
        list = kept;
    }
}

std::unique_ptr<QPdfWriter> QReportThread::MakePdfWriter(QIODevice* device, const QString& name,
                                                         const QString& title)
{
    auto writer = std::make_unique<QPdfWriter>(device);
    writer->setObjectName(name);
    writer->setPageSize(QPageSize(m_nPdfPageFormat != PageFormatA4Landscape ? QPageSize::A3 : QPageSize::A4));
    writer->setPageMargins(QMarginsF(10, 6, 10, 6), QPageLayout::Millimeter);
    writer->setCreator(m_czCreator);
    writer->setTitle(title);
    writer->setPageOrientation(m_nPdfPageFormat == 0 || m_nPdfPageFormat == 1 ? QPageLayout::Landscape
                                                                             : QPageLayout::Portrait);
    return writer;
}

bool QReportThread::BeginPdf(tyKindOutput& out, const QString& title, bool project, tyJobState& job)
{
    const QString name = out.pdf->FinalPath();
    if (out.pdf->Open()) {
        out.writer = MakePdfWriter(out.pdf->Device(), name, title);
        out.painter = std::make_unique<QPainter>();
        if (out.painter->begin(out.writer.get())) {
            out.painter->setFont(generalFont9);
            getPdfMeasures(out.painter.get(), out.writer.get());
            job.nPdfError = 0;
            return true;
        }
    }
    out.painter.reset();
    out.writer.reset();
    out.pdf->Discard();
    if (project)
        RecordError(job, Message("Error: Project Pdf File (%s) cannot init Painter", name), &job.nPdfError, 3);
    else
        RecordError(job, Message("Error: Pdf File (%s) cannot init Painter ", name), &job.nPdfError, 2);
    return false;
}

// Checks the final name and opens the temporary file of a CSV or ALE output.
bool QReportThread::OpenReportFile(tyJobState& job, ReportFile* file, const QString& kindText, int* code,
                                   int kindCode)
{
    const QString name = file->FinalPath();
    if (!file->CheckReplaceable()) {
        const QString format = QStringLiteral("Error: %1 File (%s) cannot be removed (%d-%s)").arg(kindText);
        RecordError(job, Message(format.toLatin1().constData(), name, file->ErrorNumber(), file->ErrorText()), code,
                    kindCode + (file->ErrorNumber() << 8) + 1);
        return false;
    }
    if (*code != 0)
        return false;
    if (!file->Open()) {
        const QString format = QStringLiteral("Error: %1 File (%s) cannot be opened (%d-%s)").arg(kindText);
        RecordError(job, Message(format.toLatin1().constData(), name, file->ErrorNumber(), file->ErrorText()), code,
                    kindCode + (file->ErrorNumber() << 8) + 2);
        return false;
    }
    *code = 0;
    return true;
}

bool QReportThread::CommitFile(tyJobState& job, ReportFile* file, const QString& kindText, int* code, int kindCode)
{
    if (file->Commit())
        return true;
    job.discarded.insert(file->FinalPath(), 1);
    const QString format = QStringLiteral("Error: %1 File (%s) cannot be written (%d-%s)").arg(kindText);
    RecordError(job, Message(format.toLatin1().constData(), file->FinalPath(), file->ErrorNumber(), file->ErrorText()),
                code, kindCode + (file->ErrorNumber() << 8) + 3);
    return false;
}

bool QReportThread::EndPdf(tyKindOutput& out)
{
    // The writer completes the file when the painter ends.
    const bool ended = !out.painter || !out.painter->isActive() || out.painter->end();
    // The texts laid out on this writer go with it.
    if (m_pTexts && out.writer && m_pTexts->Device() == out.writer.get())
        m_pTexts.reset();
    out.painter.reset();
    out.writer.reset();
    return ended;
}

void QReportThread::FailPdfEnd(tyJobState& job, ReportFile* file, int kindCode)
{
    file->Discard();
    job.discarded.insert(file->FinalPath(), 1);
    RecordError(job, Message("Error: Pdf File (%s) cannot be written (%d-%s)", file->FinalPath(),
                             QFileDevice::WriteError, QStringLiteral("the PDF writer did not end")),
                &job.nPdfError, kindCode + (QFileDevice::WriteError << 8) + 3);
}

void QReportThread::OpenProjectOutputs(tyJobState& job, const QString& outFolder)
{
    const int gen = m_Job.nReportGen;
    for (int k = 0; k < 4 && !Halted(); ++k) {
        const int kindBit = 1 << k;
        if (!(m_Job.nProcessMask & kindBit))
            continue;
        QString base = QString::fromLatin1(kProjectPattern[k]).arg(outFolder, job.czProjectBase);
        if (!job.czFilterSuffix.isEmpty())
            base += QLatin1Char('_') + job.czFilterSuffix;
        base = QDir::cleanPath(base);
        tyKindOutput& out = job.project[k];
        if (gen & ReportPdf) {
            const QString name = QDir::cleanPath(base + QStringLiteral(".pdf"));
            job.reportFiles.append(name);
            job.unfinished.append(name);
            out.pdf = std::make_unique<ReportFile>(name);
            if (!out.pdf->CheckReplaceable()) {
                RecordError(job,
                            Message("Error: Project Pdf File (%s) cannot be removed (%d-%s)", name,
                                    out.pdf->ErrorNumber(), out.pdf->ErrorText()),
                            &job.nPdfError, (kindBit << 16) + (out.pdf->ErrorNumber() << 8) + 1);
            } else if (job.nPdfError == 0) {
                BeginPdf(out, QString::fromLatin1(kProjectTitle[k]), true, job);
            }
        }
        if (gen & ReportCsv) {
            const QString name = QDir::cleanPath(base + QStringLiteral(".csv"));
            job.unfinished.append(name);
            out.csv = std::make_unique<ReportFile>(name);
            OpenReportFile(job, out.csv.get(), QStringLiteral("Csv"), &job.nCsvError, 0);
        }
    }
}

// Project files are complete only when the whole job ran.
void QReportThread::FinishProjectOutputs(tyJobState& job)
{
    for (int k = 0; k < 4; ++k) {
        tyKindOutput& out = job.project[k];
        const bool pdfWhole = out.painter && !Halted() && job.nPdfError == 0;
        const bool ended = EndPdf(out);
        if (out.pdf && pdfWhole && !ended) {
            FailPdfEnd(job, out.pdf.get(), 1 << (k + 16));
        } else if (out.pdf) {
            if (pdfWhole && CommitFile(job, out.pdf.get(), QStringLiteral("Pdf"), &job.nPdfError, 1 << (k + 16)))
                job.unfinished.removeAll(out.pdf->FinalPath());
            else if (out.pdf->Discard())
                job.discarded.insert(out.pdf->FinalPath(), 1);
        }
        if (out.csv && out.csv->IsOpen()) {
            if (!Halted() && job.nCsvError == 0
                && CommitFile(job, out.csv.get(), QStringLiteral("Csv"), &job.nCsvError, 0))
                job.unfinished.removeAll(out.csv->FinalPath());
            else if (out.csv->Discard())
                job.discarded.insert(out.csv->FinalPath(), 1);
        }
    }
}

void QReportThread::RunJob(tyJobState& job)
{
    m_nCircleDisplay = m_Job.eCircle;
    m_nDataLines = m_Job.nDataLines;
    m_bNoteLine = m_Job.bNoteLine;
    m_nPdfPageFormat = m_Job.ePageFormat;
    for (int l = 0; l < kDataLines; ++l)
        m_nDataLineCells[l] = UsedCellCount(m_Job.Data[l]);
    m_NewPageOn = 0;
    for (int l = 0; l < kHeaderLines; ++l)
        m_NewPageOn |= m_Job.pnNewPageOn[l];
    SetValuesSetup(m_Job.czMedia, m_Job.czProject, m_Job.Data, m_Job.nDataLines, m_Job.bNoteLine, m_Job.nReportGen);
    // The header shows "---" until a take of this job names its recorder.
    m_nRecorderNumber = -1;
    job.czFilterSuffix = FilterSuffixOf(m_Job.czTakeFilter);
    const QString projectFolder = m_Job.czMedia + QLatin1Char('/') + m_Job.czProject;

    QStringList days;
    if (!m_Job.bProjectReport) {
        days.append(m_Job.czDay);
    } else {
        const QStringList folders = QDir(projectFolder).entryList(QDir::Dirs | QDir::NoDotAndDotDot, QDir::Name);
        for (const QString& folder : folders) {
            const QString day = DayNameOfFolder(folder);
            if (!day.isEmpty() && !days.contains(day))
                days.append(day);
        }
        std::sort(days.begin(), days.end());
        job.czProjectBase = m_Job.czProject.left(m_Job.czProject.size() - 4);
        OpenProjectOutputs(job, m_Job.bCustomTargetFolder ? m_Job.czCustomTargetFolder : projectFolder);
    }

    for (int d = 0; d < days.size() && !Halted(); ++d) {
        emit signal_processingDay(d, days.size());
        BuildFileLists(days.at(d), m_Job.nProcessMask, job.lists, job.dayFolders, job.listings);
        emit signal_reportFileCount(job.lists[0].size(), job.lists[1].size(), job.lists[2].size(),
                                    job.lists[3].size());
        for (int k = 0; k < 4 && !Halted(); ++k) {
            if (job.lists[k].isEmpty() || !(m_Job.nProcessMask & (1 << k)))
                continue;
            const QString dayFolder = QStringLiteral("%1/%2/%3/").arg(m_Job.czMedia, m_Job.czProject,
                                                                      job.dayFolders[k]);
            if (!QFileInfo(dayFolder).isDir())
                continue;
            ReportDayKind(job, k, dayFolder);
        }
    }

    FinishProjectOutputs(job);

    if (Halted()) {
        job.errors.append(QStringLiteral("Unfinished Report Deleted : %1 file(s)").arg(job.unfinished.size()));
        for (const QString& name : job.unfinished) {
            // Only this job's temporary files go; an older report of the
            // same name stays where it was.
            const auto found = job.discarded.constFind(name);
            if (found == job.discarded.constEnd())
                job.errors.append(QStringLiteral("> %1 doest not exists").arg(name));
            else
                job.errors.append(QStringLiteral("> %1 > %2").arg(name, QString::number(found.value())));
        }
    }
}

void QReportThread::OpenDayOutputs(tyJobState& job, int k, const tyDayOutputNames& names, tyKindOutput& out)
{
    const int gen = m_Job.nReportGen;
    if (gen & ReportCsv) {
        job.reportFiles.append(names.csv);
        job.unfinished.append(names.csv);
        out.csv = std::make_unique<ReportFile>(names.csv);
        OpenReportFile(job, out.csv.get(), QStringLiteral("Csv"), &job.nCsvError, 0);
    }
    if (gen & ReportAle) {
        job.reportFiles.append(names.ale);
        job.unfinished.append(names.ale);
        out.ale = std::make_unique<ReportFile>(names.ale);
        OpenReportFile(job, out.ale.get(), QStringLiteral("Ale"), &job.nAleError, 0);
    }
    if (gen & ReportPdf) {
        job.reportFiles.append(names.pdf);
        job.unfinished.append(names.pdf);
        out.pdf = std::make_unique<ReportFile>(names.pdf);
        if (!out.pdf->CheckReplaceable())
            RecordError(job,
                        Message("Error: Pdf File (%s) cannot be removed (%d-%s)", names.pdf, out.pdf->ErrorNumber(),
                                out.pdf->ErrorText()),
                        &job.nPdfError, (out.pdf->ErrorNumber() << 8) + 1);
        else if (job.nPdfError == 0)
            BeginPdf(out, QString::fromLatin1(kDayTitle[k]), false, job);
    }
}

void QReportThread::ReportDayKind(tyJobState& job, int k, const QString& dayFolder)
{
    const int kindBit = 1 << k;
    const int gen = m_Job.nReportGen;
    const QString day = DayNameOfFolder(job.dayFolders[k]);
    const QStringList& list = job.lists[k];
    m_TakeData = QVector<tyTakeData>(list.size());
    m_DayFiles = list;

    QString base;
    if (m_Job.bCustomTargetFolder)
        base = m_Job.czCustomTargetFolder + QLatin1Char('/') + (m_Job.bProjectReport ? job.czProjectBase : QString())
               + day;
    else
        base = QStringLiteral("%1/%2").arg(dayFolder, day);
    base += QLatin1String(kDayKindSuffix[k]);
    if (!job.czFilterSuffix.isEmpty())
        base += QLatin1Char('_') + job.czFilterSuffix;
    base = QDir::cleanPath(base);
    const QString pdfName = QDir::cleanPath(base + QStringLiteral(".pdf"));
    const QString aleName = QDir::cleanPath(base + QStringLiteral(".ale"));
    const QString csvName = QDir::cleanPath(base + QStringLiteral(".csv"));

    // The takes are read before the report's files are made beside them: a
    // name made in the day folder would tell every load of it that its
    // names may have changed.
    if (!Halted())
        getReportData(nullptr, job.dayFolders[k], list, kindBit, &job.listings[k]);
    tyKindOutput out;
    OpenDayOutputs(job, k, {csvName, aleName, pdfName}, out);

    const bool ready = !m_bAbort && !m_bStop;
    // The day's ALE and CSV come from the records alone: a helper writes
    // them while this thread draws the PDF. Their outcome is booked once it
    // has joined, in the order the files were asked for.
    const bool aleDue = (gen & ReportAle) && !Halted() && job.nAleError == 0 && out.ale && out.ale->IsOpen();
    const bool csvDue = (gen & ReportCsv) && !Halted() && job.nCsvError == 0 && out.csv && out.csv->IsOpen();
    bool aleWritten = false;
    bool csvWritten = false;
    auto writeTexts = [&] {
        if (aleDue)
            aleWritten = drawAleReport(static_cast<QFile*>(out.ale->Device()), list.size());
        if (csvDue)
            csvWritten = drawCsvReport(static_cast<QFile*>(out.csv->Device()), list.size(), kindBit,
                                       job.dayFolders[k], false);
    };
    std::thread texts;
    if (aleDue || csvDue) {
        try {
            texts = std::thread(writeTexts);
        } catch (const std::system_error&) {
            writeTexts();   // no helper to be had: written before the PDF instead
        }
    }
    // Joined however the drawing ends: a thread destroyed unjoined ends the program.
    struct tyJoin
    {
        std::thread& thread;
        ~tyJoin()
        {
            if (thread.joinable())
                thread.join();
        }
    } joinTexts{texts};
    if ((gen & ReportPdf) && ready && job.nPdfError == 0 && out.painter) {
        QStringList files = list;
        const QList<int> lastTakes = getPdfLastTakeOnPageList(files);
        drawPdfReport(lastTakes, out.painter.get(), out.writer.get(), job.dayFolders[k], kindBit, &files, false, 0);
        if (!Halted())
            job.unfinished.removeAll(pdfName);
        tyKindOutput& project = job.project[k];
        if (m_Job.bProjectReport && project.painter && !Halted()) {
            if (project.bPdfStarted)
                project.writer->newPage();
            drawPdfReport(lastTakes, project.painter.get(), project.writer.get(), job.dayFolders[k], kindBit, &files,
                          true, project.nPages);
            project.nPages += lastTakes.size();
            project.bPdfStarted = true;
        }
    }
    if (texts.joinable())
        texts.join();
    // A stop meanwhile leaves them unfinished, as if never written.
    if (aleDue && !Halted()) {
        if (!aleWritten)
            CommitFile(job, out.ale.get(), QStringLiteral("Ale"), &job.nAleError, 0);
        else
            job.unfinished.removeAll(aleName);
    }
    if (csvDue && !Halted()) {
        if (!csvWritten)
            CommitFile(job, out.csv.get(), QStringLiteral("Csv"), &job.nCsvError, 0);
        else
            job.unfinished.removeAll(csvName);
        tyKindOutput& project = job.project[k];
        if (m_Job.bProjectReport && project.csv && project.csv->IsOpen()) {
            if (!drawCsvReport(static_cast<QFile*>(project.csv->Device()), list.size(), kindBit, job.dayFolders[k],
                               project.bCsvStarted))
                CommitFile(job, project.csv.get(), QStringLiteral("Csv"), &job.nCsvError, 0);
            project.bCsvStarted = true;
        }
    }

    // Step 10: what is complete takes its name, the rest goes.
    m_TakeData.clear();
    if (!EndPdf(out) && out.pdf && out.pdf->IsOpen() && !job.unfinished.contains(pdfName))
        FailPdfEnd(job, out.pdf.get(), 0);
    const struct
    {
        ReportFile* file;
        const char* kind;
        int* code;
    } outputs[3] = {{out.pdf.get(), "Pdf", &job.nPdfError},
                    {out.ale.get(), "Ale", &job.nAleError},
                    {out.csv.get(), "Csv", &job.nCsvError}};
    for (const auto& output : outputs) {
        if (!output.file || !output.file->IsOpen())
            continue;
        if (!job.unfinished.contains(output.file->FinalPath()))
            CommitFile(job, output.file, QString::fromLatin1(output.kind), output.code, 0);
        else if (output.file->Discard())
            job.discarded.insert(output.file->FinalPath(), 1);
        else
            job.discarded.insert(output.file->FinalPath(), 0);
    }
}
