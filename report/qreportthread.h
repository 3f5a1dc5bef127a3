#ifndef NALVO_REPORT_QREPORTTHREAD_H
#define NALVO_REPORT_QREPORTTHREAD_H

#include "foundation/threadjoin.h"
#include "report/reportfieldvalues.h"
#include "report/reportlayout.h"
#include "report/reportpages.h"

#include <QLineF>
#include <QPageSize>
#include <QPen>
#include <QString>
#include <QStringList>
#include <QThread>

#include <atomic>
#include <condition_variable>
#include <memory>
#include <mutex>

class MyFileInfoList;
class QFile;
class QPainter;
class QPdfWriter;
class ReportFile;
class ReportTexts;

// The report worker: started once by the run dialog, it sleeps between
// jobs. Each job lists the days of one day or of a whole project, and for
// every process kind asked for writes the day's PDF, ALE and CSV reports
// (and, for a project, one PDF and one CSV over all days), reporting its
// progress by queued signals and its outcome by signal_reportFinished.
//
// Every file is written under a temporary name beside its final one and
// renamed when complete: a stopped or failed job leaves no partial file and
// older reports stand.
//
// The setters and processFileTags may be called from the GUI thread at any
// time: they write under the worker's lock, and a job runs on a copy taken
// when the worker picks it up. A job handed over while another still runs
// (from the handler of signal_reportFinished) waits its turn.
class QReportThread : public QThread, public ReportFieldValues
{
    Q_OBJECT
public:
    explicit QReportThread(QObject* parent = nullptr);
    ~QReportThread() override;

    void setPdfHeaderSetup(tyReportBlock* cells, int lines, int cols);
    void setPdfPageFormat(tyReportPageFormat format);
    void setPdfDataSetup(tyReportBlock* cells, int lines, int cols, int nbDataLines, bool noteLine,
                         tReportCircleDisplay circle);
    void setAleSetup(int videoFormat, int fps);
    void setTakeFilter(QString filter);
    void setCustomTargetFolder(bool use, QString folder);
    void processFileTags(QString media, QString project, QString day, int processMask, int reportGen,
                         bool projectReport, tReportCircleDisplay circle);
    // A job runs or waits to be taken.
    bool isProcessing() const;
    void stopProcess();
    void abortProcess();

    // The file lists of one day: per process kind (slot 0 mono .. 3 poly
    // rotate) the take ids and the day-folder name, and when asked the
    // folder's listing of ".WAV" names the takes are loaded from.
    void BuildFileLists(QString day, int processMask, QStringList* lists, QString* dayFolders,
                        MyFileInfoList* listings = nullptr);

    // PDF pages (all called by the job on the worker thread).
    void getPdfMeasures(QPainter* painter, QPdfWriter* writer);
    QList<int> getPdfLastTakeOnPageList(QStringList files);
    void drawPdfReport(QList<int> lastTakes, QPainter* painter, QPdfWriter* writer, QString dayFolder, int kindBit,
                       QStringList* files, bool projectReport, int firstPage);
    void getPdfColSize(QPainter* painter, int first, int count);
    void drawPdfHeader(QPainter* painter, QString dayFolder, int first, int page, int total, int kindBit);
    void drawPdfDataHeader(QPainter* painter);
    void drawPdfData(QPainter* painter, int first, int count, QStringList* files);
    void drawPdfFooter(QPainter* painter);
    // CSV and ALE: false when a write failed.
    bool drawCsvReport(QFile* file, int takeCount, int kindBit, QString dayFolder, bool append);
    bool drawAleReport(QFile* file, int takeCount);

    static const char* const kVersion;   // "1.2.2 beta"

signals:
    void signal_processingDay(int index, int count);
    void signal_reportFileCount(int mono, int stereoMix, int poly, int polyRotate);
    void signal_gettingData(int kind, int index, int count);
    void signal_drawingPage(int kind, int page);
    void signal_drawingTake(int take);
    void signal_reportFinished(QStringList files, int abort, int stop, int pdfError, int csvError, int aleError,
                               QStringList errors);

protected:
    void run() override;

private:
    // What the GUI thread hands over; the worker copies it when it takes a job.
    struct tySetup
    {
        tyReportBlock Header[ReportLayout::kHeaderLines][ReportLayout::kHeaderCells];
        int pnNewPageOn[ReportLayout::kHeaderLines] = {0, 0, 0, 0, 0};
        tyReportBlock Data[ReportLayout::kDataLines][ReportLayout::kDataCells];
        int nDataLines = 1;
        bool bNoteLine = false;
        tReportCircleDisplay eCircle = CircleDisplayFileTag;
        tyReportPageFormat ePageFormat = PageFormatA4Landscape;
        int nAleVideoFormat = 1;
        int nAleFps = 0;
        QString czTakeFilter;
        bool bCustomTargetFolder = false;
        QString czCustomTargetFolder;
        QString czMedia;
        QString czProject;
        QString czDay;
        int nProcessMask = 0;
        int nReportGen = 0;
        bool bProjectReport = false;
    };
    struct tyJobState;
    struct tyKindOutput;

    void RunJob(tyJobState& job);
    void OpenProjectOutputs(tyJobState& job, const QString& outFolder);
    void FinishProjectOutputs(tyJobState& job);
    void ReportDayKind(tyJobState& job, int k, const QString& dayFolder);
    struct tyDayOutputNames {
        QString csv, ale, pdf;
    };
    // Opens the day's report files of kind k that the job asks for, each
    // under its temporary name.
    void OpenDayOutputs(tyJobState& job, int k, const tyDayOutputNames& names, tyKindOutput& out);
    bool OpenReportFile(tyJobState& job, ReportFile* file, const QString& kindText, int* code, int kindCode);
    std::unique_ptr<QPdfWriter> MakePdfWriter(QIODevice* device, const QString& name, const QString& title);
    bool BeginPdf(tyKindOutput& out, const QString& title, bool project, tyJobState& job);
    bool CommitFile(tyJobState& job, ReportFile* file, const QString& kindText, int* code, int kindCode);
    bool EndPdf(tyKindOutput& out);
    void FailPdfEnd(tyJobState& job, ReportFile* file, int kindCode);
    void RecordError(tyJobState& job, const QString& text, int* code, int value);
    bool Halted() const;
    void DrawFitted(QPainter* painter, const QRect& box, const QString& text, int alignWhole, int alignScaled);
    // A track not active gets its slash added to slashes, to be drawn with the page's others.
    void DrawTrackMarks(QPainter* painter, const tyTakeData& take, int track, const QRect& cell, int textBottom,
                        const QFont& font, bool noText, QVector<QLineF>* slashes);
    void DrawDitto(QPainter* painter, const QRect& cell, int textBottom, bool runEnds, const QColor& colour);

    mutable std::mutex m_Mutex;
    std::condition_variable m_Wake;
    // GUI thread writes under m_Mutex; the worker copies it under m_Mutex.
    tySetup m_Pending;
    bool m_bJobPending = false;   // under m_Mutex
    // Worker writes (GUI thread reads through isProcessing).
    std::atomic<bool> m_bProcessing{false};
    // GUI thread sets under m_Mutex; the worker reads while it works and
    // resets m_bStop when it takes a job.
    std::atomic<bool> m_bAbort{false};
    std::atomic<bool> m_bStop{false};
    bool m_bStopPendingJob = false;   // under m_Mutex: a stop given after the hand-over
    ThreadJoinMark m_Join;

    // The job's copy of the setup; worker thread only.
    tySetup m_Job;
    tReportCircleDisplay m_nCircleDisplay = CircleDisplayFileTag;
    int m_nHeaderLines = ReportLayout::kHeaderLines;
    int m_nHeaderCols = ReportLayout::kHeaderCells;
    int m_nDataLines = 1;
    bool m_bNoteLine = false;
    tyReportPageFormat m_nPdfPageFormat = PageFormatA4Landscape;
    int m_nDataLineCells[2] = {7, 7};
    int m_NewPageOn = 0;
    QPen m_PenA;   // separators inside a take block
    QPen m_PenB;   // slash of a track that is not active
    QString m_czCreator;

    // The take ids of the day and kind being reported; worker only.
    QStringList m_DayFiles;

    // PDF measures and the columns of the page being drawn; worker only.
    tyPdfMeasures m_Measures;
    QPageSize m_PageSize;
    QVector<int> m_nColWidth[2];
    int m_nTableWidth = 0;
    int m_nTableX = 0;
    // The texts measured and laid out on the current writer; worker only.
    std::unique_ptr<ReportTexts> m_pTexts;
};

#endif
