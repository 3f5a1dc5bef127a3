#include "report/reportlayout.h"

#include <array>

using namespace ReportLayout;

const tyReportHeaderField ReportHeaderFieldTable[22] = {
    {0, "Empty", 0},         {2, "Title", 1},     {3, "Director", 1},     {4, "Production", 1},
    {5, "Sound Mixer", 1},   {6, "Snd Mx email", 1}, {7, "Snd Mx phone", 1}, {15, "Location", 1},
    {8, "Date", 0},          {9, "TC fps", 0},    {10, "Digit", 0},       {14, "Type", 0},
    {18, "Tone level", 0},   {11, "Folder", 0},   {19, "Day's topic", 1}, {12, "Page", 0},
    {16, "", 0},             {17, "Media", 0},    {13, "Brisel #", 0},    {20, "Tape Ref", 0},
    {1, "Custom", 1},        {22, "", 0},
};

const tyReportDataField ReportDataFieldTable[69] = {
    {0, "Empty", "-", false, true},
    {1, "Index", "Idx", false, false},
    {2, "File ID", "FileID", false, false},
    {3, "Circled", "C", false, false},
    {4, "Scene", "Sc", false, false},
    {5, "Take", "Tk", false, false},
    {6, "Notes", "Notes", true, true},
    {7, "Tracks", "Trcks", false, false},
    {8, "TC Start ", "TC in", false, false},
    {9, "TC End", "TC out", false, false},
    {10, "Duration", "Dur.", false, false},
    {14, "Tot Size", "Size", false, false},
    {15, "Type", "Type", false, true},
    {16, "Frequency", "Freq.", false, false},
    {17, "Bits     ", "Bits", false, false},
    {18, "TC Fps", "TC Fps", false, false},
    {19, "User bits", "Ubits", false, false},
    {20, "Tape Ref", "Tape", false, false},
    {21, "Date", "Date", false, false},
    {22, "Track 1", "T1", true, true},
    {23, "Track 2", "T2", true, true},
    {24, "Track 3", "T3", true, true},
    {25, "Track 4", "T4", true, true},
    {26, "Track 5", "T5", true, true},
    {27, "Track 6", "T6", true, true},
    {28, "Track 7", "T7", true, true},
    {29, "Track 8", "T8", true, true},
    {30, "Track 9", "T9", true, true},
    {31, "Track 10", "T10", true, true},
    {32, "Track 11", "T11", true, true},
    {33, "Track 12", "T12", true, true},
    {34, "Track 13", "T13", true, true},
    {35, "Track 14", "T14", true, true},
    {36, "Track 15", "T15", true, true},
    {37, "Track 16", "T16", true, true},
    {38, "Track 17", "T17", true, true},
    {39, "Track 18", "T18", true, true},
    {40, "Track 19", "T19", true, true},
    {41, "Track 20", "T20", true, true},
    {42, "Track 21", "T21", true, true},
    {43, "Track 22", "T22", true, true},
    {44, "Track 23", "T23", true, true},
    {45, "Track 24", "T24", true, true},
    {11, "TC Slate A", "Slt A", false, false},
    {12, "TC Slate B", "Slt B", false, false},
    {13, "TC Slate C", "Slt C", false, false},
    {46, "TC Slate D", "Slt D", false, false},
    {47, "TC Slate E", "Slt E", false, false},
    {48, "TC Slate F", "Slt F", false, false},
    {49, "TC Slate G", "Slt G", false, false},
    {50, "TC Slate H", "Slt H", false, false},
    {51, "TC Slate I", "Slt I", false, false},
    {52, "TC Slate J", "Slt J", false, false},
    {53, "TC Marker A", "Mrk A", false, false},
    {54, "TC Marker B", "Mrk B", false, false},
    {55, "TC Marker C", "Mrk C", false, false},
    {56, "TC Marker D", "Mrk D", false, false},
    {57, "TC Marker E", "Mrk E", false, false},
    {58, "TC Marker F", "Mrk F", false, false},
    {59, "TC Marker G", "Mrk G", false, false},
    {60, "TC Marker H", "Mrk H", false, false},
    {61, "TC Marker I", "Mrk I", false, false},
    {62, "TC Marker J", "Mrk J", false, false},
    {63, "Season", "Seas.", false, false},
    {64, "Episode", "Ep.", false, false},
    {65, "Sequence", "Seq.", false, false},
    {66, "Slate", "Slt", false, false},
    {67, "Unit", "Un.", false, false},
    {68, "Effect", "Eff.", false, false},
};

const tyAleColumn AleReportData[kAleColumns] = {
    {1, "Index"},  {70, "Tracks"}, {8, "Start"},  {9, "End"},     {8, "Auxiliary TC1"}, {11, "Mark In"},
    {10, "Duration"}, {21, "Shoot Date"}, {4, "Scene"}, {5, "Take"}, {2, "SoundFile"}, {6, "Note"},
    {22, "T1"},  {23, "T2"},  {24, "T3"},  {25, "T4"},  {26, "T5"},  {27, "T6"},  {28, "T7"},  {29, "T8"},
    {30, "T9"},  {31, "T10"}, {32, "T11"}, {33, "T12"}, {34, "T13"}, {35, "T14"}, {36, "T15"}, {37, "T16"},
    {38, "T17"}, {39, "T18"}, {40, "T19"}, {41, "T20"}, {42, "T21"}, {43, "T22"}, {44, "T23"}, {45, "T24"},
    {71, "Description"},
};

const tyCsvHeaderLine CsvReportHeader[kCsvHeaderLines] = {
    {21, "Project"}, {11, "DayDir"}, {13, "Brisel # "},
};

const tyIndexedText AleVideoFormatTable[6] = {
    {0, "720"}, {1, "1080"}, {2, "HD1"}, {3, "HD2"}, {4, "PAL"}, {5, "NTSC"},
};

const tyIndexedText AleFpsTable[6] = {
    {0, "Auto"}, {1, "23.976"}, {2, "24"}, {3, "25"}, {4, "29.97"}, {5, "30"},
};

const char* const PageFormatLabels[2] = {"Landscape - A4", "Landscape - A3"};
const char* const CircleDisplayLabels[3] = {"OFF", "TAKE", "FILETAG"};

#define B(id) tyReportBlock{id, QString()}
const tyReportBlock DefaultReportHeaderLayout[kHeaderLines][kHeaderCells] = {
    {B(8), B(0), B(0), B(13), B(0), B(0), B(12)},
    {B(4), B(0), B(0), B(9), B(14), B(0), B(0)},
    {B(2), B(0), B(0), B(18), B(17), B(0), B(0)},
    {B(3), B(0), B(0), B(10), B(11), B(0), B(0)},
    {B(5), B(0), B(0), B(0), B(0), B(0), B(18)},
};

const tyReportBlock DefaultReportDataLayout[kDataLines][kDataCells] = {
    {B(1), B(2), B(4), B(63), B(64), B(65), B(66), B(67), B(68), B(5), B(22), B(23), B(24), B(25),
     B(26), B(27), B(28), B(29), B(30), B(31), B(32), B(33), B(34), B(35), B(36), B(37), B(38), B(39)},
    {B(1), B(8), B(10), B(11), B(40), B(41), B(42), B(43), B(44), B(45), B(-1), B(-1), B(-1), B(-1),
     B(-1), B(-1), B(-1), B(-1), B(-1), B(-1), B(-1), B(-1), B(-1), B(-1), B(-1), B(-1), B(-1), B(-1)},
};
#undef B

namespace {
// Slot s describes field s; built once from the tables in stored order.
struct tLookups
{
    std::array<const tyReportDataField*, kDataLookupSize> data{};
    std::array<const tyReportHeaderField*, kHeaderLookupSize> header{};

    tLookups()
    {
        for (const tyReportDataField& row : ReportDataFieldTable) {
            if (row.nId >= 0 && row.nId < kDataLookupSize)
                data[row.nId] = &row;
        }
        // Header id 21 (the project, CSV only) and 22 (nameless) stay out.
        for (const tyReportHeaderField& row : ReportHeaderFieldTable) {
            if (row.nId >= 0 && row.nId <= 20)
                header[row.nId] = &row;
        }
    }
};

const tLookups& Lookups()
{
    static const tLookups lookups;
    return lookups;
}
}  // namespace

const tyReportDataField* DataFieldOf(int id)
{
    return id >= 0 && id < kDataLookupSize ? Lookups().data[id] : nullptr;
}

const tyReportHeaderField* HeaderFieldOf(int id)
{
    return id >= 0 && id < kHeaderLookupSize ? Lookups().header[id] : nullptr;
}

void NormaliseDataLine(tyReportBlock* cells, int line)
{
    tyReportBlock packed[kDataCells];
    int used = 0;
    for (int c = 0; c < kDataCells; ++c) {
        if (cells[c].nFieldId == -1)
            continue;
        packed[used] = cells[c];
        if (!DataFieldOf(packed[used].nFieldId))
            packed[used] = tyReportBlock{FieldEmpty, QString()};
        ++used;
    }
    // The first column is the index column and line 0 names the file next:
    // the PDF drawing and the take list count on both.
    const tyReportBlock index{FieldIndex, QString()};
    const tyReportBlock fileId{FieldFileId, QString()};
    if (used == 0)
        packed[used++] = index;
    packed[0] = index;
    if (line == 0) {
        if (used == 1)
            packed[used++] = fileId;
        packed[1] = fileId;
    }
    for (int c = 0; c < kDataCells; ++c)
        cells[c] = c < used ? packed[c] : tyReportBlock{};
}

int NormaliseDataLayout(tyReportBlock layout[kDataLines][kDataCells], int dataLines)
{
    for (int l = 0; l < kDataLines; ++l)
        NormaliseDataLine(layout[l], l);
    return qBound(1, dataLines, 2);
}

int UsedCellCount(const tyReportBlock* cells)
{
    int used = 0;
    for (int c = 0; c < kDataCells; ++c)
        used += cells[c].nFieldId != -1 ? 1 : 0;
    return used;
}
