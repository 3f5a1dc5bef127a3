#include "report/reportgridrules.h"

using namespace ReportLayout;

namespace ReportGridRules {

bool IsWideHeaderField(int id)
{
    const tyReportHeaderField* field = HeaderFieldOf(id);
    return field && field->nUserText != 0;
}

QString HeaderPromptOf(int id)
{
    switch (id) {
    case 1: return QStringLiteral("Enter Custom Text");
    case 2: return QStringLiteral("Enter a Project Title");
    case 3: return QStringLiteral("Enter Director");
    case 4: return QStringLiteral("Enter Production");
    case 5: return QStringLiteral("Enter Sound Mixer");
    case 6: return QStringLiteral("Enter Sound Mixer e-mail");
    case 7: return QStringLiteral("Enter Sound Mixer Phone");
    case 15: return QStringLiteral("Enter Location");
    case 17: return QStringLiteral("Enter Media Label");
    case 19: return QStringLiteral("Enter text");
    default: return QString();
    }
}

bool CommitHeaderCell(tyReportBlock* line, int col, int id, const QString& text)
{
    if (col < 0 || col >= kHeaderCells)
        return false;
    if (id < 0)
        id = FieldEmpty;
    const bool wide = IsWideHeaderField(id);
    if (wide && col == kHeaderCells - 1)
        return false;
    if (col > 0 && col < kHeaderCells - 1 && IsWideHeaderField(line[col - 1].nFieldId))
        line[col - 1].nFieldId = FieldEmpty;
    line[col] = tyReportBlock{id, text};
    if (wide)
        line[col + 1].nFieldId = FieldEmpty;
    return true;
}

void LoadDataLine(tyDataLine* line, const tyReportBlock* blocks, int lineIndex)
{
    for (int c = 0; c < kDataCells; ++c)
        line->cells[c] = tyReportBlock{blocks[c].nFieldId, QString()};
    NormaliseDataLine(line->cells, lineIndex);
    line->count = UsedCellCount(line->cells);
    // A line of the index column alone has no cell to lay out or select.
    if (line->count < 2) {
        line->cells[1] = tyReportBlock{FieldEmpty, QString()};
        line->count = 2;
    }
}

int FirstFreeCell(int lineIndex)
{
    return lineIndex == 0 ? 2 : 1;
}

bool CommitDataCell(tyDataLine* line, int lineIndex, int col, int id)
{
    if (col < FirstFreeCell(lineIndex) || col >= line->count)
        return false;
    tyReportBlock* cells = line->cells;
    if (id == -2) {
        if (col >= kDataCells - 1)
            return false;
        for (int c = kDataCells - 1; c > col; --c)
            cells[c] = cells[c - 1];
        cells[col] = tyReportBlock{FieldEmpty, QString()};
        line->count = qMin(int(kDataCells), line->count + 1);
        return true;
    }
    if (id == -1) {
        if (line->count < 3) {
            cells[col] = tyReportBlock{FieldEmpty, QString()};
            return true;
        }
        for (int c = col; c < kDataCells - 1; ++c)
            cells[c] = cells[c + 1];
        cells[kDataCells - 1] = tyReportBlock{-1, QString()};
        --line->count;
        return true;
    }
    cells[col] = tyReportBlock{DataFieldOf(id) ? id : FieldEmpty, QString()};
    return true;
}

}  // namespace ReportGridRules
