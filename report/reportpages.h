#ifndef NALVO_REPORT_REPORTPAGES_H
#define NALVO_REPORT_REPORTPAGES_H

#include "report/fieldrules.h"
#include "report/reportfieldvalues.h"

#include <QList>
#include <QString>
#include <QVector>

// Pure rules of the report files: the PDF page frame, the split of a day's
// takes over pages, the column fit of the data lines, the names of the
// output files and the texts the CSV and ALE files may carry.

// Bits of the page-break mask: a header cell shows the value.
enum : int {
    PageBreakSampleRate = 0x1,
    PageBreakTape = 0x2,
    PageBreakRefLevel = 0x4,
    PageBreakFrameRate = 0x8,
    PageBreakBits = 0x10,
};
// The page-break bits a header field adds ("Digit" adds sample rate and bits).
int PageBreakBitsOfHeaderField(int id);

// The frame of a PDF page, in device units (integer divisions).
struct tyPdfMeasures
{
    int nPageWidth = 0;
    int nPageHeight = 0;
    int nLineHeight = 0;
    int nHeaderRowHeight = 0;
    int nHeaderCellWidth = 0;
    int nHeaderHeight = 0;
    int nHeaderWidth = 0;
    int nHeaderX = 0;
    int nHeaderY = 0;
    int nDataTop = 0;
    int nDataHeight = 0;
    int nLinesPerPage = 0;
    int nTakesPerPage = 1;   // never below 1, whatever the page
};
tyPdfMeasures PdfMeasuresOf(int pageWidth, int pageHeight, int fontHeight, int dataLines, bool noteLine);

// The index of the last take of each page, in page order. A page holds at
// most takesPerPage takes (at least 1); a take whose masked values differ
// from the page's references starts a new page, unless it already begins
// one (then only the references move to it). A take that could not be read
// neither breaks a page nor gives references. No page is empty. An empty
// list gives the single entry -1.
QList<int> LastTakeOnPageList(const QVector<tyTakeData>& takes, int mask, int takesPerPage);

// The column fit of both data lines of a PDF page: each line is fitted on
// its own within the page, then the smaller of the two lines' rests (a line
// not in use counts 0) goes to the first column of each line.
struct tyReportLineFit
{
    tyColumnFitInput line[2];
};
void FitReportLines(tyReportLineFit* fit, int linesInUse, int pageWidth, QVector<int> widths[2]);

// The take filter as a file name part: upper case, letters and digits only
// (a filter read from a setup file may hold anything).
QString FilterSuffixOf(const QString& filter);

// The day name of a day or process folder: the name less ".OVD", ".OVX",
// ".OVN" or ".OVR" (any case); empty when it has none of them.
QString DayNameOfFolder(const QString& folderName);

// A value as one CSV or ALE field or one line of a PDF cell: tabs, line
// breaks and other control characters would shift columns and rows, so
// each becomes a blank.
QString FieldText(const QString& value);

// The ALE heading's AUDIO_FORMAT value of a sample-rate text ("48000 Hz"
// gives "48kHz", "44100 Hz" "44100Hz"); null when it holds no number.
QString AleAudioFormatOf(const QString& sampleRate);
// The ALE heading's FPS value: the table text for 1..5; for 0 (Auto) the
// frame-rate text cut before its first character that is not a digit or
// '.'; empty otherwise.
QString AleFpsOf(int fpsIndex, const QString& frameRate);

#endif
