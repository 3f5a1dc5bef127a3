#ifndef NALVO_REPORT_REPORTGRIDRULES_H
#define NALVO_REPORT_REPORTGRIDRULES_H

#include "report/reportlayout.h"

// The edit rules of the two layout grids, apart from their painting and
// input handling.
namespace ReportGridRules {

// A header field is wide (two cells) when it carries a user text.
bool IsWideHeaderField(int id);
// The prompt of a header field that takes a text; empty for the others.
QString HeaderPromptOf(int id);
// Stores a chosen header field in cell col of a 7-cell line. A wide field
// in the last column stores nothing (false). A wide field on the left of
// col (col 1..5) loses its id; a wide field empties its right neighbour's
// id. The chooser's Insert and Delete commands store "Empty": an id of -1
// in cell 0 would blank the whole line at the next load.
bool CommitHeaderCell(tyReportBlock* line, int col, int id, const QString& text);

// One data line of the data grid: its 28 cells and the count of shown
// cells (index column included), kept within 2..28, cells from the count
// on holding -1.
struct tyDataLine
{
    tyReportBlock cells[ReportLayout::kDataCells];
    int count = 2;
};

// Loads a line as stored: holes closed, fixed cells set, at least one cell
// besides the index column.
void LoadDataLine(tyDataLine* line, const tyReportBlock* blocks, int lineIndex);
// The first cell the user may change: 2 on line 0 (after Index and File
// ID), 1 on line 1.
int FirstFreeCell(int lineIndex);
// Commits a field id, or -2 (insert a cell) or -1 (delete it), at col.
// A column outside the user's cells is ignored (false). An insert on a
// full line drops the last cell; a delete on a line of fewer than three
// cells empties the cell instead.
bool CommitDataCell(tyDataLine* line, int lineIndex, int col, int id);

}  // namespace ReportGridRules

#endif
