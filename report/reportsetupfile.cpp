#include "report/reportsetupfile.h"

#include "foundation/fileutil.h"
#include "foundation/initext.h"
#include "foundation/keywordfile.h"
#include "foundation/safeoutput.h"
#include "report/reporttakefilters.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QSettings>

using namespace ReportLayout;

void tyReportSetup::SetDefaults()
{
    const tyReportSetupValues values;
    nAleFps = values.nAleFps;
    nAleVideoFormat = values.nAleVideoFormat;
    ePageFormat = values.ePageFormat;
    nDataLines = values.nDataLines;
    bNoteLine = values.bNoteLine;
    eCircleDisplay = values.eCircleDisplay;
    for (int l = 0; l < kHeaderLines; ++l)
        for (int c = 0; c < kHeaderCells; ++c)
            Header[l][c] = DefaultReportHeaderLayout[l][c];
    for (int l = 0; l < kDataLines; ++l)
        for (int c = 0; c < kDataCells; ++c)
            Data[l][c] = DefaultReportDataLayout[l][c];
}

bool tyReportSetup::operator==(const tyReportSetup& other) const
{
    if (nAleFps != other.nAleFps || nAleVideoFormat != other.nAleVideoFormat || ePageFormat != other.ePageFormat
        || nDataLines != other.nDataLines || bNoteLine != other.bNoteLine || eCircleDisplay != other.eCircleDisplay
        || czTakeFilters != other.czTakeFilters)
        return false;
    for (int l = 0; l < kHeaderLines; ++l)
        for (int c = 0; c < kHeaderCells; ++c)
            if (Header[l][c] != other.Header[l][c])
                return false;
    for (int l = 0; l < kDataLines; ++l)
        for (int c = 0; c < kDataCells; ++c)
            if (Data[l][c] != other.Data[l][c])
                return false;
    return true;
}

namespace ReportSetupFile {

namespace {
const QString kSeparator = QStringLiteral("~|~");

// Header cells hold a header field, "Empty" or -1 (no cell); anything else
// read from a file prints as a blank cell.
bool KnownHeaderId(int id)
{
    return id == -1 || (id >= 0 && id <= 22 && id != 21);
}

void ReadLines(QSettings& file, const char* group, int lines, int cells, int defaultLines, tyReportBlock* out)
{
    file.beginGroup(QLatin1String(group));
    const int stored = file.value(QStringLiteral("line"), defaultLines).toInt();
    for (int l = 0; l < lines; ++l) {
        const QStringList items =
            l < stored ? file.value(QStringLiteral("L_%1").arg(l)).toStringList() : QStringList();
        for (int c = 0; c < cells; ++c)
            out[l * cells + c] = c < items.size() ? CellOfItem(items.at(c)) : tyReportBlock{0, QString()};
    }
    file.endGroup();
}

void WriteLines(IniKeys& file, const char* group, int lines, int cells, const tyReportBlock* in)
{
    file.beginGroup(QLatin1String(group));
    file.setValue(QStringLiteral("line"), lines);
    file.setValue(QStringLiteral("col"), cells);
    for (int l = 0; l < lines; ++l) {
        QStringList items;
        for (int c = 0; c < cells; ++c)
            items.append(CellItem(in[l * cells + c]));
        file.setValue(QStringLiteral("L_%1").arg(l), items);
    }
    file.endGroup();
}

// Every line blank, a comment, a [section] or a key=value line. QSettings
// says so only when it parses a file, and it parses a file it has read
// before in this process only when the file changed.
bool AllLinesIni(const QString& path)
{
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly))
        return false;
    for (const QByteArray& raw : file.readAll().split('\n')) {
        const QByteArray line = raw.trimmed();
        if (line.isEmpty() || line.startsWith(';') || line.startsWith('#') || line.contains('='))
            continue;
        if (!line.startsWith('[') || !line.contains(']'))
            return false;
    }
    return true;
}

// Every key of the setup.
void FillKeys(IniKeys& file, const tyReportSetup& setup)
{
    file.beginGroup(QStringLiteral("Ale"));
    file.setValue(QStringLiteral("Fps"), setup.nAleFps);
    file.setValue(QStringLiteral("VideoFormat"), setup.nAleVideoFormat);
    file.endGroup();
    file.beginGroup(QStringLiteral("General"));
    file.setValue(QStringLiteral("format"), int(setup.ePageFormat));
    file.setValue(QStringLiteral("nbDataLine"), setup.nDataLines);
    file.setValue(QStringLiteral("noteLine"), setup.bNoteLine);
    file.setValue(QStringLiteral("circleDisplay"), int(setup.eCircleDisplay));
    file.setValue(QStringLiteral("filters"), setup.czTakeFilters);
    file.endGroup();
    WriteLines(file, "Header", kHeaderLines, kHeaderCells, &setup.Header[0][0]);
    WriteLines(file, "Data", kDataLines, kDataCells, &setup.Data[0][0]);
}

// Keeps the seven take-type letters and the separators.
QString CleanFilters(const QString& filters)
{
    const QString letters = QString::fromLatin1(TakeFilters::kLetters) + QLatin1Char(';');
    QString clean;
    for (const QChar c : filters)
        if (letters.contains(c))
            clean.append(c);
    return clean;
}
}  // namespace

QString CellItem(const tyReportBlock& cell)
{
    return QString::number(cell.nFieldId) + kSeparator + cell.czText;
}

tyReportBlock CellOfItem(const QString& item)
{
    const int at = item.indexOf(kSeparator);
    if (at < 0)
        return tyReportBlock{0, QString()};
    bool ok = false;
    const int id = item.left(at).toInt(&ok, 10);
    if (!ok)
        return tyReportBlock{0, QString()};
    return tyReportBlock{id, item.mid(at + kSeparator.size())};
}

QStringList Load(const QString& path, tyReportSetup* setup, bool* intact)
{
    QStringList warnings;
    if (intact)
        *intact = true;
    if (path.isEmpty()) {
        setup->SetDefaults();
        return warnings;
    }
    const QFileInfo info(path);
    if (info.exists() && !info.isFile()) {
        // A pipe would hold the program in its read, a device never ends.
        setup->SetDefaults();
        if (intact)
            *intact = false;
        warnings.append(QStringLiteral("The report setup file \"%1\" is not a regular file: the default report setup "
                                       "is used, and it is not replaced.")
                            .arg(QDir::toNativeSeparators(path)));
        return warnings;
    }
    if (!info.isFile()) {
        // A vanished file must not turn into a blank header and 28 "Empty"
        // columns that the next exit would save over the user's intent.
        setup->SetDefaults();
        warnings.append(QStringLiteral("The report setup file \"%1\" was not found: the default report setup is used.")
                            .arg(QDir::toNativeSeparators(path)));
        return warnings;
    }
    QSettings file(path, QSettings::IniFormat);
    const bool wellFormed = file.status() == QSettings::NoError && AllLinesIni(path);
    if (intact)
        *intact = wellFormed;
    if (file.status() == QSettings::AccessError) {
        setup->SetDefaults();
        warnings.append(QStringLiteral("The report setup file \"%1\" could not be read: the default report setup is used.")
                            .arg(QDir::toNativeSeparators(path)));
        return warnings;
    }
    // A line that is not ini spoils none of the values around it.
    if (!wellFormed)
        warnings.append(QStringLiteral("The report setup file \"%1\" holds lines that could not be read: the values "
                                       "read from it are used, and the file is kept as it is.")
                            .arg(QDir::toNativeSeparators(path)));
    const tyReportSetupValues defaults;
    bool repaired = false;
    auto inRange = [&repaired](int value, int low, int high, int fallback) {
        if (value >= low && value <= high)
            return value;
        repaired = true;
        return fallback;
    };

    file.beginGroup(QStringLiteral("Ale"));
    // Out-of-range ALE codes are kept: the ALE writer reads them guarded and
    // the setup dialog shows them as they are.
    setup->nAleFps = file.value(QStringLiteral("Fps"), defaults.nAleFps).toInt();
    setup->nAleVideoFormat = file.value(QStringLiteral("VideoFormat"), defaults.nAleVideoFormat).toInt();
    file.endGroup();

    file.beginGroup(QStringLiteral("General"));
    setup->ePageFormat =
        tyReportPageFormat(inRange(file.value(QStringLiteral("format"), 0).toInt(), 0, 1, defaults.ePageFormat));
    const int dataLines = file.value(QStringLiteral("nbDataLine"), defaults.nDataLines).toInt();
    setup->bNoteLine = file.value(QStringLiteral("noteLine"), false).toBool();
    setup->eCircleDisplay = tReportCircleDisplay(
        inRange(file.value(QStringLiteral("circleDisplay"), 1).toInt(), 0, 2, defaults.eCircleDisplay));
    const QString filters = file.value(QStringLiteral("filters")).toString();
    setup->czTakeFilters = CleanFilters(filters);
    if (setup->czTakeFilters != filters)
        repaired = true;
    file.endGroup();

    ReadLines(file, "Header", kHeaderLines, kHeaderCells, kHeaderLines, &setup->Header[0][0]);
    for (auto& line : setup->Header)
        for (tyReportBlock& cell : line)
            if (!KnownHeaderId(cell.nFieldId)) {
                cell = tyReportBlock{0, QString()};
                repaired = true;
            }

    ReadLines(file, "Data", kDataLines, kDataCells, kDataLines, &setup->Data[0][0]);
    tyReportBlock before[kDataLines][kDataCells];
    for (int l = 0; l < kDataLines; ++l)
        for (int c = 0; c < kDataCells; ++c)
            before[l][c] = setup->Data[l][c];
    setup->nDataLines = NormaliseDataLayout(setup->Data, dataLines);
    if (setup->nDataLines != dataLines)
        repaired = true;
    for (int l = 0; l < kDataLines; ++l)
        for (int c = 0; c < kDataCells; ++c)
            if (before[l][c] != setup->Data[l][c])
                repaired = true;

    if (repaired)
        warnings.append(QStringLiteral("The report setup file \"%1\" held values out of range: they were repaired.")
                            .arg(QDir::toNativeSeparators(path)));
    return warnings;
}

QString Save(const QString& path, const tyReportSetup& setup, bool backup, bool* replaced)
{
    if (replaced)
        *replaced = false;
    const QFileInfo info(path);
    const QString shown = QDir::toNativeSeparators(path);
    if (path.isEmpty() || info.isDir())
        return QStringLiteral("\"%1\" is not a file name.").arg(shown);
    // A pipe would hold the program in open() and a device would be
    // replaced by a file: only a regular file is read or replaced.
    if (info.exists() && !info.isFile())
        return QStringLiteral("The report setup was not written: \"%1\" is not a regular file.").arg(shown);
    if (const int error = MakeFolderPath(info.absolutePath()))
        return QStringLiteral("The folder of \"%1\" cannot be made (%2).").arg(shown, SystemErrorText(error));
    // The keys make a text of their own, never merged into the old file:
    // whatever else that held (junk a damaged file read as keys) is not
    // carried on. The text then replaces the old file whole.
    const QByteArray text = IniText(QString(), [&setup](IniKeys& file) { FillKeys(file, setup); });
    if (backup && info.isFile()) {
        QString copy = path + QStringLiteral(".bak");
        for (int n = 2; QFileInfo::exists(copy); ++n)
            copy = path + QStringLiteral(".bak%1").arg(n);
        if (!QFile::copy(path, copy))
            return QStringLiteral("The report setup was not written: \"%1\" could not be kept as \"%2\".")
                .arg(shown, QDir::toNativeSeparators(copy));
    }
    bool committed = false;
    const QString why = ReplaceFileWhole(info.isSymLink() ? info.canonicalFilePath() : path, text, &committed);
    if (replaced)
        *replaced = committed;
    return why.isEmpty() ? QString() : SettingsNotWrittenText(path, why, info.exists(), committed);
}

}  // namespace ReportSetupFile
