// The CSV table and the ALE list of one day and kind, from the take records
// the worker filled. Both are tab-separated, CR LF ended and UTF-8; a value
// never holds a tab or a line break (FieldText), so every take keeps its one
// row and every column its place.
#include "report/qreportthread.h"

#include <QFile>

using namespace ReportLayout;

namespace {
const QByteArray kEol("\r\n");
const char kTab = '\t';

void AppendField(QByteArray* out, const QString& value)
{
    out->append(FieldText(value).toUtf8());
    out->append(kTab);
}

// The row of a take that could not be read: its index and file id, the
// other columns empty, so the block and the columns stay whole.
void AppendUnreadRow(QByteArray* out, int columns, int index, int indexColumn, const QString& fileId,
                     int fileIdColumn)
{
    for (int c = 0; c < columns; ++c) {
        if (c == indexColumn)
            AppendField(out, QString::number(index + 1));
        else if (c == fileIdColumn)
            AppendField(out, fileId);
        else
            out->append(kTab);
    }
}

bool WriteAll(QFile* file, const QByteArray& bytes)
{
    return file->write(bytes) == bytes.size() && file->error() == QFileDevice::NoError;
}
}  // namespace

bool QReportThread::drawCsvReport(QFile* file, int takeCount, int kindBit, QString dayFolder, bool append)
{
    if (!file)
        return true;
    // Without a loaded take the titles come from the field table.
    const QStringList titles = m_CsvColumnNames.isEmpty() ? CsvColumnTitles() : m_CsvColumnNames;
    const QStringList tableTitles = CsvColumnTitles();
    QByteArray out;
    out.reserve(takeCount * 256 + 1024);
    if (!append) {
        for (const tyCsvHeaderLine& line : CsvReportHeader) {
            if (m_bAbort)
                break;
            out.append(line.pcLabel);
            out.append(kTab);
            out.append(FieldText(getHeaderValue(line.nId, nullptr, nullptr, kindBit, dayFolder, -1, -1)).toUtf8());
            out.append(kEol);
        }
        out.append(kEol);
        for (const QString& title : titles) {
            if (m_bAbort)
                break;
            if (!title.isEmpty())
                AppendField(&out, title);
        }
        out.append(kEol);
    }
    const int indexColumn = tableTitles.indexOf(QStringLiteral("Index"));
    const int fileIdColumn = tableTitles.indexOf(QStringLiteral("File ID"));
    for (int i = 0; i < takeCount && i < m_TakeData.size(); ++i) {
        const tyTakeData& take = m_TakeData.at(i);
        if (take.bLoaded && !take.lczCsvValues.isEmpty()) {
            for (const QString& value : take.lczCsvValues)
                AppendField(&out, value);
        } else {
            AppendUnreadRow(&out, tableTitles.size(), i, indexColumn, m_DayFiles.value(i), fileIdColumn);
        }
        out.append(kEol);
    }
    out.append(kEol);
    return WriteAll(file, out);
}

bool QReportThread::drawAleReport(QFile* file, int takeCount)
{
    if (!file)
        return true;
    QByteArray out;
    out.reserve(takeCount * 512 + 1024);
    auto line = [&out](const char* key, const QString& value) {
        out.append(key);
        out.append(kTab);
        out.append(FieldText(value).toUtf8());
        out.append(kEol);
    };
    out.append("Heading");
    out.append(kEol);
    line("FIELD_DELIM", QStringLiteral("TABS"));
    const int format = m_Job.nAleVideoFormat;
    line("VIDEO_FORMAT", format >= 0 && format < 6 ? QString::fromLatin1(AleVideoFormatTable[format].pcText)
                                                   : QString());
    // The heading describes the day by its first take that could be read.
    const tyTakeData* heading = nullptr;
    for (int i = 0; i < takeCount && i < m_TakeData.size() && !heading; ++i) {
        if (m_TakeData.at(i).bLoaded)
            heading = &m_TakeData.at(i);
    }
    if (takeCount >= 1) {
        // Takes none of which could be read give no sample rate, and so no
        // AUDIO_FORMAT line; the empty one stands for a day without takes.
        const QString audio = heading ? AleAudioFormatOf(heading->czSampleRate) : QString();
        if (!audio.isNull())
            line("AUDIO_FORMAT", audio);
        line("TAPE", heading ? heading->czTape : QString());
    } else {
        line("AUDIO_FORMAT", QString());
        line("TAPE", QString());
    }
    line("FPS", AleFpsOf(m_Job.nAleFps, heading ? heading->czFrameRate : QString()));
    out.append("Column");
    out.append(kEol);
    int fileIdColumn = -1;
    int indexColumn = -1;
    for (int c = 0; c < kAleColumns; ++c) {
        AppendField(&out, QString::fromLatin1(AleReportData[c].pcTitle));
        if (AleReportData[c].nId == FieldFileId)
            fileIdColumn = c;
        if (AleReportData[c].nId == FieldIndex)
            indexColumn = c;
    }
    out.append(kEol);
    out.append("Data");
    out.append(kEol);
    for (int i = 0; i < takeCount && i < m_TakeData.size(); ++i) {
        const tyTakeData& take = m_TakeData.at(i);
        if (take.bLoaded && !take.lczAleValues.isEmpty()) {
            for (int c = 0; c < take.lczAleValues.size() && c < kAleColumns; ++c)
                AppendField(&out, take.lczAleValues.at(c));
        } else {
            AppendUnreadRow(&out, kAleColumns, i, indexColumn, m_DayFiles.value(i), fileIdColumn);
        }
        out.append(kEol);
    }
    return WriteAll(file, out);
}
