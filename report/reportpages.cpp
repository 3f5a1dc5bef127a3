#include "report/reportpages.h"

#include <QRegularExpression>

#include <algorithm>

int PageBreakBitsOfHeaderField(int id)
{
    switch (id) {
    case 9: return PageBreakFrameRate;
    case 10: return PageBreakSampleRate | PageBreakBits;
    case 18: return PageBreakRefLevel;
    case 20: return PageBreakTape;
    default: return 0;
    }
}

tyPdfMeasures PdfMeasuresOf(int pageWidth, int pageHeight, int fontHeight, int dataLines, bool noteLine)
{
    tyPdfMeasures m;
    m.nPageWidth = pageWidth;
    m.nPageHeight = pageHeight;
    m.nLineHeight = qMax(1, 2 * fontHeight);
    const int band = pageHeight * 15 / 100;
    m.nHeaderRowHeight = (band - 1) / 5;
    m.nHeaderCellWidth = (pageWidth - 1) / 7;
    m.nHeaderHeight = 5 * m.nHeaderRowHeight;
    m.nHeaderWidth = 7 * m.nHeaderCellWidth;
    m.nHeaderX = (pageWidth - m.nHeaderWidth) / 2;
    m.nHeaderY = (band - m.nHeaderHeight) / 2;
    m.nDataTop = m.nHeaderHeight + m.nHeaderY + 80;
    m.nDataHeight = pageHeight - m.nDataTop - m.nLineHeight;
    m.nLinesPerPage = (m.nDataHeight - dataLines * m.nLineHeight) / m.nLineHeight;
    const int linesPerTake = qMax(1, dataLines + (noteLine ? 1 : 0));
    m.nTakesPerPage = qMax(1, m.nLinesPerPage / linesPerTake);
    return m;
}

namespace {
struct tyReferences
{
    QString sampleRate, tape, refLevel, frameRate, bits;

    void Load(const tyTakeData& take, bool initial)
    {
        // A take that could not be read has no values to compare with.
        if (!initial && !take.bLoaded)
            return;
        sampleRate = take.czSampleRate;
        tape = take.czTape;
        frameRate = take.czFrameRate;
        bits = take.czBits;
        // A take without iXML has no reference level to compare with.
        if (initial || take.bHasiXML)
            refLevel = take.bHasiXML ? take.czRefLevel : QString();
    }
};
}  // namespace

QList<int> LastTakeOnPageList(const QVector<tyTakeData>& takes, int mask, int takesPerPage)
{
    const int n = takes.size();
    if (n == 0)
        return {-1};
    const int perPage = qMax(1, takesPerPage);
    QList<int> last;
    tyReferences ref;
    ref.Load(takes.at(0), true);
    const bool firstHasIxml = takes.at(0).bHasiXML;
    int count = 1;   // of take i on its page, take i included
    for (int i = 0; i < n; ++i) {
        const tyTakeData& take = takes.at(i);
        const bool due = take.bLoaded && (((mask & PageBreakSampleRate) && take.czSampleRate != ref.sampleRate)
                         || ((mask & PageBreakTape) && take.czTape != ref.tape)
                         || ((mask & PageBreakRefLevel) && firstHasIxml && take.bHasiXML
                             && take.czRefLevel != ref.refLevel)
                         || ((mask & PageBreakFrameRate) && take.czFrameRate != ref.frameRate)
                         || ((mask & PageBreakBits) && take.czBits != ref.bits));
        if (count == perPage) {
            last.append(i);
            ref.Load(take, false);
            count = 1;
            continue;
        }
        if (due) {
            // A take that already begins a page keeps it: no empty page.
            if (count > 1)
                last.append(i - 1);
            ref.Load(take, false);
            count = 2;
            continue;
        }
        ++count;
    }
    if (last.isEmpty() || last.last() != n - 1)
        last.append(n - 1);
    return last;
}

void FitReportLines(tyReportLineFit* fit, int linesInUse, int pageWidth, QVector<int> widths[2])
{
    int rest[2] = {0, 0};
    for (int l = 0; l < 2; ++l) {
        widths[l].clear();
        if (l >= linesInUse)
            continue;
        fit->line[l].available = pageWidth;
        fit->line[l].restOnLastColumn = false;
        fit->line[l].withinAvailable = true;
        widths[l] = FitColumns(fit->line[l]);
        int sum = 0;
        for (int w : widths[l])
            sum += w;
        rest[l] = pageWidth - sum;
    }
    const int r = qMin(rest[0], rest[1]);
    for (int l = 0; l < linesInUse && l < 2; ++l) {
        if (widths[l].isEmpty())
            continue;
        int& target = r > 0 ? widths[l].first() : widths[l].last();
        target = qMax(1, target + r);
    }
}

QString FilterSuffixOf(const QString& filter)
{
    QString suffix;
    for (const QChar c : filter.toUpper()) {
        if ((c >= QLatin1Char('A') && c <= QLatin1Char('Z')) || (c >= QLatin1Char('0') && c <= QLatin1Char('9')))
            suffix += c;
    }
    return suffix;
}

QString DayNameOfFolder(const QString& folderName)
{
    for (const char* suffix : {".OVD", ".OVX", ".OVN", ".OVR"}) {
        if (folderName.size() > 4 && folderName.endsWith(QLatin1String(suffix), Qt::CaseInsensitive))
            return folderName.left(folderName.size() - 4);
    }
    return QString();
}

QString FieldText(const QString& value)
{
    auto isControl = [](QChar c) { return c.unicode() < 0x20 || c.unicode() == 0x7F; };
    // Most values hold none: they are passed on without a copy.
    if (std::none_of(value.begin(), value.end(), isControl))
        return value;
    QString text = value;
    for (QChar& c : text) {
        if (isControl(c))
            c = QLatin1Char(' ');
    }
    return text;
}

QString AleAudioFormatOf(const QString& sampleRate)
{
    QString digits = sampleRate;
    digits.remove(QStringLiteral("khz"), Qt::CaseInsensitive);
    digits.remove(QStringLiteral("hz"), Qt::CaseInsensitive);
    bool number = false;
    const int v = digits.trimmed().toInt(&number, 10);
    if (!number)
        return QString();
    if (v % 1000 == 0)
        return QStringLiteral("%1kHz").arg(v / 1000);
    return QStringLiteral("%1Hz").arg(v);
}

QString AleFpsOf(int fpsIndex, const QString& frameRate)
{
    if (fpsIndex >= 1 && fpsIndex <= 5)
        return QString::fromLatin1(AleFpsTable[fpsIndex].pcText);
    if (fpsIndex != 0)
        return QString();
    int end = 0;
    while (end < frameRate.size() && (frameRate.at(end).isDigit() || frameRate.at(end) == QLatin1Char('.')))
        ++end;
    return frameRate.left(end);
}
