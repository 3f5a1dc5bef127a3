#ifndef NALVO_REPORT_REPORTLAYOUT_H
#define NALVO_REPORT_REPORTLAYOUT_H

#include <QMetaType>
#include <QString>

// The vocabulary of the sound reports and the day's take list: layout cells,
// the header and data layouts, the constant field tables and the built-in
// default setup.

// One layout cell: a header or data field id (-1 = no cell) and the text a
// user-text header field prints.
struct tyReportBlock
{
    int nFieldId = -1;
    QString czText;
};

inline bool operator==(const tyReportBlock& a, const tyReportBlock& b)
{
    return a.nFieldId == b.nFieldId && a.czText == b.czText;
}
inline bool operator!=(const tyReportBlock& a, const tyReportBlock& b) { return !(a == b); }

enum tyReportPageFormat : int { PageFormatA4Landscape = 0, PageFormatA3Landscape = 1 };

enum tReportCircleDisplay : int { CircleDisplayOff = 0, CircleDisplayTake = 1, CircleDisplayFileTag = 2 };

namespace ReportLayout {
enum : int {
    kHeaderLines = 5,
    kHeaderCells = 7,
    kDataLines = 2,
    kDataCells = 28,
    kHeaderLookupSize = 22,
    kDataLookupSize = 69,   // layout field ids 0..68
    kAleColumns = 37,
    kCsvHeaderLines = 3,
    kTracks = 24,
};

// Data field ids the rules refer to by name.
enum : int {
    FieldEmpty = 0,
    FieldIndex = 1,
    FieldFileId = 2,
    FieldCircled = 3,
    FieldScene = 4,
    FieldTake = 5,
    FieldNotes = 6,
    FieldTracks = 7,
    FieldTcStart = 8,
    FieldSlateA = 11,
    FieldTrack1 = 22,
    FieldTrack24 = 45,
    FieldSeason = 63,
    FieldEffect = 68,
    FieldAleTracks = 70,
    FieldAleDescription = 71,
};
}

struct tyReportHeaderField
{
    int nId;
    const char* pcName;
    int nUserText;
};

struct tyReportDataField
{
    int nId;
    const char* pcLongName;
    const char* pcShortName;
    bool bGrows;
    bool bShrinks;
};

struct tyAleColumn
{
    int nId;
    const char* pcTitle;
};

struct tyCsvHeaderLine
{
    int nId;
    const char* pcLabel;
};

struct tyIndexedText
{
    int nValue;
    const char* pcText;
};

extern const tyReportHeaderField ReportHeaderFieldTable[22];
extern const tyReportDataField ReportDataFieldTable[69];
extern const tyAleColumn AleReportData[ReportLayout::kAleColumns];
extern const tyCsvHeaderLine CsvReportHeader[ReportLayout::kCsvHeaderLines];
extern const tyIndexedText AleVideoFormatTable[6];
extern const tyIndexedText AleFpsTable[6];
extern const char* const PageFormatLabels[2];
extern const char* const CircleDisplayLabels[3];

extern const tyReportBlock DefaultReportHeaderLayout[ReportLayout::kHeaderLines][ReportLayout::kHeaderCells];
extern const tyReportBlock DefaultReportDataLayout[ReportLayout::kDataLines][ReportLayout::kDataCells];

// The setup values that go with the two layouts, at their built-in defaults.
struct tyReportSetupValues
{
    int nDataLines = 1;
    bool bNoteLine = false;
    tyReportPageFormat ePageFormat = PageFormatA4Landscape;
    tReportCircleDisplay eCircleDisplay = CircleDisplayTake;
    int nAleFps = 0;
    int nAleVideoFormat = 1;
};

// The one guarded lookup of the field tables: null for any id outside the
// table (header ids 0..20 without 16's name aside; data ids 0..68), so an id
// read from a setup file or a grid command can never index past an array.
const tyReportDataField* DataFieldOf(int id);
const tyReportHeaderField* HeaderFieldOf(int id);

// Puts a data layout into the shape every reader relies on, in place:
// ids other than -1 and 0..68 become 0 ("Empty"), each line is packed (the
// -1 cells move behind the used ones, order kept), cell 0 of each line is
// Index and cell 1 of line 0 is File ID. Returns the data line count
// clamped to 1..2.
int NormaliseDataLayout(tyReportBlock layout[ReportLayout::kDataLines][ReportLayout::kDataCells],
                        int dataLines);
// One line of it; line 0 also gets File ID in cell 1.
void NormaliseDataLine(tyReportBlock* cells, int line);
// Number of used cells (id not -1) of one data line.
int UsedCellCount(const tyReportBlock* cells);

Q_DECLARE_METATYPE(tReportCircleDisplay)

#endif
