#ifndef NALVO_REPORT_REPORTSETUPFILE_H
#define NALVO_REPORT_REPORTSETUPFILE_H

#include "report/reportlayout.h"

#include <QString>
#include <QStringList>

// The whole report setup as the main window keeps it and the report-setup
// file (an ini file of its own) stores it. The report kinds are not here:
// they live in the application settings.
struct tyReportSetup
{
    int nAleFps = 0;
    int nAleVideoFormat = 1;
    tyReportPageFormat ePageFormat = PageFormatA4Landscape;
    int nDataLines = 1;
    bool bNoteLine = false;
    tReportCircleDisplay eCircleDisplay = CircleDisplayTake;
    QString czTakeFilters;
    tyReportBlock Header[ReportLayout::kHeaderLines][ReportLayout::kHeaderCells];
    tyReportBlock Data[ReportLayout::kDataLines][ReportLayout::kDataCells];

    // The built-in setup: default values and layouts; the take filters are
    // left as they are.
    void SetDefaults();
    bool operator==(const tyReportSetup& other) const;
    bool operator!=(const tyReportSetup& other) const { return !(*this == other); }
};

namespace ReportSetupFile {

// Reads the file at path into setup. An empty path gives the built-in
// setup. Whatever the file holds, the setup comes back in the shape every
// reader relies on: values in range, the data layout normalised, header ids
// known or -1. Returns the warnings for the user (a missing file, repaired
// values), empty when the file read cleanly. A file with lines that are not
// ini still gives every value it holds. *intact (when given) is false when
// the file exists but could not be read whole: writing over it would lose
// what the user had in it.
QStringList Load(const QString& path, tyReportSetup* setup, bool* intact = nullptr);

// Writes every key, replacing the file whole and reading it back as a
// settings file is (ReplaceFileWhole); the previous file stays whole when
// the write fails, and a file that holds the same text is not written.
// backup: the previous file is first copied beside it (".bak", then
// ".bak2", ...), for a file that was not read whole. Returns an empty text
// on success, else what went wrong, told as a settings file's failure is;
// *replaced (when given) says the file holds the new setup all the same,
// which only its folder's sync failed to put on the disk.
QString Save(const QString& path, const tyReportSetup& setup, bool backup = false, bool* replaced = nullptr);

// One stored cell, "%d~|~%s", and back: only the first "~|~" splits, an
// item without it or with a non-decimal id reads as id 0, empty text.
QString CellItem(const tyReportBlock& cell);
tyReportBlock CellOfItem(const QString& item);

}  // namespace ReportSetupFile

#endif
