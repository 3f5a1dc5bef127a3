#ifndef NALVO_REPORT_REPORTFIELDVALUES_H
#define NALVO_REPORT_REPORTFIELDVALUES_H

#include "report/fieldrules.h"
#include "report/reportlayout.h"

#include <QList>
#include <QString>
#include <QStringList>
#include <QVector>

#include <atomic>
#include <functional>

class MyFileInfoList;
class QPainter;
class QSoundPerform;

// One take of a report's file list: what the PDF, CSV and ALE writers print.
struct tyTakeData
{
    enum : int { kTracks = 24 };
    tyTakeData();

    QString czCellTexts[ReportLayout::kDataLines][ReportLayout::kDataCells];
    QString czSampleRate;
    QString czTape;
    QString czRefLevel;
    QString czFrameRate;
    QString czBits;
    bool bLoaded = false;
    bool bHasiXML = false;
    bool bCircled = false;
    int nTakeType = 0;
    struct { int first; int second; } Pans[kTracks];
    int pnTrackState[kTracks];     // 1 active, 2 disarmed, 0 neither
    QString czNotes;
    QString czBextScene;
    int nTemplate = -1;
    QString czTemplateComposition;
    QList<int> lnTemplateCodes;
    QStringList lczTemplateTexts;
    bool bAutoSlate = false;
    int pnMixRole[kTracks];        // 0 none, 1 mix, 2 left mix, 3 right mix
    int pnMsKind[kTracks];         // 0 none, 1 pair member, 2 mid, 3 side
    QStringList lczAleValues;
    QStringList lczCsvValues;
};

// The field values of the sound reports: the text of every data field for a
// loaded take, the per-take records of a file list and the header texts.
// The report worker carries these as its own members; the day loader uses
// getValue on its own thread.
class ReportFieldValues
{
public:
    // Report kinds (ReportGen).
    enum : int { ReportPdf = 0x1, ReportAle = 0x2, ReportCsv = 0x4 };

    ReportFieldValues();
    virtual ~ReportFieldValues();

    // The text of data field id for a loaded take; empty for ids below 2, 69
    // and above 71. Reads only the take, so any thread owning it may call it.
    static QString getValue(int id, QSoundPerform* take);

    // What a pass reads; set before the job by the thread that owns it.
    // The layout is normalised on the way in.
    void SetValuesSetup(const QString& media, const QString& project,
                        const tyReportBlock layout[ReportLayout::kDataLines][ReportLayout::kDataCells],
                        int dataLines, bool noteLine, int reportGen);
    // Requests read by the pass (null: never set).
    void SetRequestFlags(const std::atomic<bool>* abort, const std::atomic<bool>* stop);
    // Called as the takes are loaded, before each of a share of them: kind,
    // index, count (the indexes rise, the others are loaded meanwhile).
    void SetGettingDataCallback(std::function<void(int, int, int)> callback);

    // The CSV column titles as the field table gives them (the six template
    // titles after "Take"): what a file list without a loadable take heads
    // its CSV with.
    static QStringList CsvColumnTitles();

    // Loads every take of the list and fills one record per id, on several
    // threads when the list is long. listing: the day folder's ".WAV"
    // listing when the caller holds it (null: the folder is listed).
    void getReportData(QPainter* painter, QString day, QStringList fileIds, int kind,
                       const MyFileInfoList* listing = nullptr);
    QString getHeaderValue(int id, bool* userText, tyTakeData* record, int kind, QString day, int pageCount,
                           int pageIndex) const;

    QVector<tyTakeData> m_TakeData;
    int m_nRecorderNumber = 999;
    QStringList m_CsvColumnNames;

protected:
    bool Aborted() const { return m_pAbort && m_pAbort->load(std::memory_order_acquire); }
    bool Stopped() const { return m_pStop && m_pStop->load(std::memory_order_acquire); }

private:
    void FillRecord(tyTakeData* record, QSoundPerform* take, int index, int kind);
    void FillCsv(tyTakeData* record, QSoundPerform* take, int index);

    void FillPdf(tyTakeData* record, QSoundPerform* take, int index);

    QString m_czMedia;
    QString m_czProject;
    tyReportBlock m_DataLayout[ReportLayout::kDataLines][ReportLayout::kDataCells];
    int m_nDataLines = 1;
    bool m_bNoteLine = false;
    int m_nReportGen = ReportPdf | ReportCsv;
    const std::atomic<bool>* m_pAbort = nullptr;
    const std::atomic<bool>* m_pStop = nullptr;
    std::function<void(int, int, int)> m_GettingData;
};

// The mix and M/S marks and the pan of one track of a loaded take, with the
// parsed IN_GRID routing (null when it did not parse). A mix track keeps the
// pan {-1, -1}. The reports and the take list differ in the two rules passed.
struct tyTrackMarks
{
    tyTrackRole role;
    tPostFadePan pan{-1, -1};
};
tyTrackMarks TrackMarksOf(const QSoundPerform* take, int track, const QMapping* routing, BothMixFlags both,
                          int unreadablePan);

// The recorder number after the first "BRISEL " of an originator text:
// a decimal number (leading blanks and a sign accepted, 0 without digits),
// -1 when the text lacks "BRISEL ".
int RecorderNumberOf(const QString& originator);

#endif
