// The PDF pages of a report: measures, column widths, page split and the
// drawing of the header block, the data heading and the take blocks.
#include "report/qreportthread.h"

#include "report/fieldrules.h"
#include "report/reporttexts.h"
#include "widgets/sharedfonts.h"

#include <QFontMetrics>
#include <QPainter>
#include <QPdfWriter>

#include <map>
#include <utility>
#include <vector>

using namespace ReportLayout;

namespace {
QPen SolidPen(const QColor& colour, int width)
{
    return QPen(QBrush(colour), width, Qt::SolidLine, Qt::SquareCap, Qt::BevelJoin);
}

struct tyTakeLook
{
    QColor colour;
    bool italic;
};

tyTakeLook LookOf(const tyTakeData& take)
{
    if (take.nTakeType == 2)
        return {Qt::darkGreen, true};
    if (take.nTakeType == 4)
        return {Qt::darkGray, false};
    if (!take.bLoaded)
        return {Qt::red, true};
    return {Qt::black, false};
}

// The lines of one page that share a pen, drawn together once the page's
// take blocks are drawn: nothing drawn later in a block lies where they do,
// so the page looks the same, and the PDF holds one pen change instead of
// one per cell. Vertical segments of one column that meet are joined.
struct tyPageLines
{
    std::map<int, std::vector<std::pair<int, int>>> rules;   // x: [top, bottom] runs
    QVector<QLineF> trackSlashes;      // tracks not active
    QVector<QLineF> templateSlashes;   // template fields not applicable

    void AddRule(int x, int top, int bottom)
    {
        std::vector<std::pair<int, int>>& runs = rules[x];
        if (!runs.empty() && runs.back().second + 1 >= top)
            runs.back().second = qMax(runs.back().second, bottom);
        else
            runs.emplace_back(top, bottom);
    }
    QVector<QLine> RuleLines() const
    {
        QVector<QLine> lines;
        for (const auto& column : rules)
            for (const auto& run : column.second)
                lines.append(QLine(column.first, run.first, column.first, run.second));
        return lines;
    }
};

QLineF CellSlash(const QRect& cell)
{
    const qreal x = cell.x();
    const qreal y = cell.y();
    const qreal w = cell.width();
    const qreal h = cell.height();
    return QLineF(QPointF(x + 0.4 * w, y + h - 0.4 * h), QPointF(x + w - 0.4 * w, y + 0.4 * h));
}

bool IsTrackField(int id)
{
    return id >= FieldTrack1 && id <= FieldTrack24;
}

// The repeat test of one cell against a neighbouring take.
bool SameCell(const tyTakeData& self, const tyTakeData& other, int line, int column, int id)
{
    const QString& text = self.czCellTexts[line][column];
    if (text.isEmpty() || other.czCellTexts[line][column] != text || other.czBextScene != self.czBextScene)
        return false;
    if (!IsTrackField(id))
        return true;
    const int t = id - FieldTrack1;
    return other.pnTrackState[t] == self.pnTrackState[t] && other.Pans[t].first == self.Pans[t].first
           && other.Pans[t].second == self.Pans[t].second;
}
}  // namespace

void QReportThread::getPdfMeasures(QPainter* painter, QPdfWriter* writer)
{
    m_PageSize = writer->pageLayout().pageSize();
    m_pTexts = std::make_unique<ReportTexts>(writer, painter->layoutDirection());
    m_Measures = PdfMeasuresOf(writer->width(), writer->height(), painter->fontMetrics().height(), m_nDataLines,
                               m_bNoteLine);
}

QList<int> QReportThread::getPdfLastTakeOnPageList(QStringList files)
{
    Q_UNUSED(files);
    return LastTakeOnPageList(m_TakeData, m_NewPageOn, m_Measures.nTakesPerPage);
}

void QReportThread::getPdfColSize(QPainter* painter, int first, int count)
{
    if (!m_pTexts)
        m_pTexts = std::make_unique<ReportTexts>(painter->device(), painter->layoutDirection());
    ReportTexts& texts = *m_pTexts;
    QFont italic = generalFont9;
    italic.setItalic(true);
    const int averageChar = QFontMetrics(generalFont9, painter->device()).averageCharWidth();
    tyReportLineFit fit;
    for (int l = 0; l < m_nDataLines; ++l) {
        tyColumnFitInput& in = fit.line[l];
        const int n = m_nDataLineCells[l];
        in.widths = QVector<int>(n, 0);
        in.grows = QVector<bool>(n, false);
        in.shrinks = QVector<bool>(n, false);
        in.minimums = QVector<int>(n, 1);
        in.averageChar = averageChar;
        for (int c = 0; c < n; ++c) {
            const tyReportDataField* field = DataFieldOf(m_Job.Data[l][c].nFieldId);
            if (!field)
                continue;
            // Headings are measured in the font that draws them. A column
            // never gets narrower than its heading with a little air, so
            // neighbouring headings never meet.
            const QString heading = QString::fromLatin1(field->pcShortName);
            const int w = texts.Advance(generalFont11, heading + QStringLiteral("--"));
            in.minimums[c] = texts.Advance(generalFont11, heading + QLatin1Char('-'));
            in.widths[c] = qMax(in.widths[c], w);
            in.grows[c] = field->bGrows;
            in.shrinks[c] = field->bShrinks;
            if (field->nId == FieldNotes) {
                in.notesColumn = c;
                in.widestNotes = qMax(in.widestNotes, w);
            }
        }
    }
    const QString mm = QStringLiteral("MM");
    for (int i = first; i < first + count && i < m_TakeData.size(); ++i) {
        const tyTakeData& take = m_TakeData.at(i);
        const QFont& font = (take.nTakeType == 2 || !take.bLoaded) ? italic : generalFont9;
        for (int l = 0; l < m_nDataLines; ++l) {
            tyColumnFitInput& in = fit.line[l];
            for (int c = 0; c < in.widths.size(); ++c) {
                const int w = texts.Advance(font, take.czCellTexts[l][c], mm);
                in.widths[c] = qMax(in.widths[c], w);
                if (c == in.notesColumn)
                    in.widestNotes = qMax(in.widestNotes, w);
            }
        }
    }
    FitReportLines(&fit, m_nDataLines, m_Measures.nPageWidth, m_nColWidth);
    m_nTableWidth = 0;
    for (int l = 0; l < 2; ++l) {
        int sum = 0;
        for (int w : m_nColWidth[l])
            sum += w;
        m_nTableWidth = qMax(m_nTableWidth, sum);
    }
    m_nTableX = (m_Measures.nPageWidth - m_nTableWidth) / 2;
}

void QReportThread::drawPdfReport(QList<int> lastTakes, QPainter* painter, QPdfWriter* writer, QString dayFolder,
                                  int kindBit, QStringList* files, bool projectReport, int firstPage)
{
    int first = 0;
    for (int p = 0; p < lastTakes.size(); ++p) {
        if (Halted())
            return;
        emit signal_drawingPage(kindBit, p);
        const int count = lastTakes.at(p) - first + 1;
        getPdfColSize(painter, first, count);
        if (projectReport)
            drawPdfHeader(painter, dayFolder, first, firstPage + p, -1, kindBit);
        else
            drawPdfHeader(painter, dayFolder, first, p, lastTakes.size(), kindBit);
        drawPdfDataHeader(painter);
        drawPdfData(painter, first, count, files);
        drawPdfFooter(painter);
        if (p + 1 < lastTakes.size())
            writer->newPage();
        first = lastTakes.at(p) + 1;
    }
}

void QReportThread::DrawFitted(QPainter* painter, const QRect& box, const QString& text, int alignWhole,
                               int alignScaled)
{
    const QFont font = painter->font();
    if (m_pTexts->Fits(font, text, box.width())) {
        m_pTexts->Draw(painter, box, alignWhole, text);
        return;
    }
    const QRect size = painter->boundingRect(box, Qt::TextSingleLine | Qt::TextDontClip, text);
    const double f = (size.width() > 0 && size.height() > 0)
                         ? qMin(double(box.width()) / size.width(), double(box.height()) / size.height())
                         : 0.0;
    if (f >= 0.8) {
        const QFont saved = painter->font();
        QFont scaled = saved;
        scaled.setPointSizeF(saved.pointSizeF() * f);
        painter->setFont(scaled);
        painter->drawText(box, alignScaled, text);
        painter->setFont(saved);
        return;
    }
    m_pTexts->Draw(painter, box, Qt::AlignLeft | Qt::AlignVCenter, m_pTexts->Elided(font, text, box.width()));
}

void QReportThread::drawPdfHeader(QPainter* painter, QString dayFolder, int first, int page, int total, int kindBit)
{
    const tyPdfMeasures& m = m_Measures;
    painter->setFont(generalFont10);
    const QFont font = painter->font();
    const int gap = painter->fontMetrics().averageCharWidth();
    tyTakeData* record = first >= 0 && first < m_TakeData.size() ? &m_TakeData[first] : nullptr;
    const int left = Qt::AlignLeft | Qt::AlignVCenter;
    for (int l = 0; l < kHeaderLines; ++l) {
        const int y = m.nHeaderY + l * m.nHeaderRowHeight;
        for (int c = 0; c < kHeaderCells; ++c) {
            const tyReportBlock& cell = m_Job.Header[l][c];
            const int id = cell.nFieldId;
            if (id < 1 || id > 21)
                continue;
            const int x = m.nHeaderX + c * m.nHeaderCellWidth;
            const tyReportHeaderField* field = HeaderFieldOf(id);
            const bool userText = field && field->nUserText;
            int w = m.nHeaderCellWidth * (userText ? 2 : 1);
            const QString label = (id == 1 || !field || !*field->pcName)
                                      ? QString()
                                      : QString::fromLatin1(field->pcName) + QStringLiteral(": ");
            bool append = false;
            QString text = label + getHeaderValue(id, &append, record, kindBit, dayFolder, total, page);
            if (append)
                text += cell.czText;
            text = FieldText(text);
            // Text stops short of the cell's right edge by one character's
            // width: the next cell's text starts just after that edge.
            auto fits = [&](int width) { return m_pTexts->Fits(font, text, width - 10 - gap); };
            // Spill into the blank cells after the ones the field covers.
            for (int next = c + (userText ? 2 : 1); !fits(w) && next < kHeaderCells
                                                    && m_Job.Header[l][next].nFieldId == FieldEmpty;
                 ++next)
                w += m.nHeaderCellWidth;
            painter->fillRect(QRect(QPoint(x + 1, y + 1), QPoint(x + w - 2, y + m.nHeaderRowHeight - 2)), Qt::white);
            painter->setPen(SolidPen(Qt::black, 1));
            if (fits(w))
                m_pTexts->Draw(painter, QRect(x + 10, y, w - 10 - gap, m.nHeaderRowHeight), left, text);
            else
                DrawFitted(painter, QRect(QPoint(x + 10, y), QPoint(x + w - 1 - gap, y + m.nHeaderRowHeight - 1)),
                           text, left, left);
        }
    }
    painter->setPen(SolidPen(Qt::black, 2));
    painter->setBrush(Qt::NoBrush);
    painter->drawRect(QRect(QPoint(0, 0), QPoint(m.nPageWidth - 1, m.nHeaderHeight - 1)));
}

void QReportThread::drawPdfDataHeader(QPainter* painter)
{
    const tyPdfMeasures& m = m_Measures;
    const int n = m_nDataLines;
    const int h = m.nLineHeight;
    const int top = m.nDataTop;
    const int right = m_nTableX + m_nTableWidth - 1;
    painter->setFont(generalFont11);
    const QRect band(QPoint(m_nTableX, top), QPoint(right, top + n * h - 1));
    painter->fillRect(band, Qt::lightGray);
    painter->setPen(SolidPen(Qt::black, 10));
    painter->setBrush(Qt::NoBrush);
    painter->drawRect(band);
    if (m_nColWidth[0].isEmpty())
        return;
    if (n == 2 && !m_nColWidth[1].isEmpty()) {
        const int narrower = qMin(m_nColWidth[0].first(), m_nColWidth[1].first());
        m_nColWidth[0].first() = narrower;
        m_nColWidth[1].first() = narrower;
        painter->setPen(SolidPen(Qt::black, 1));
        painter->drawLine(m_nTableX + narrower, top + h, right, top + h);
    }
    painter->setPen(SolidPen(Qt::black, 1));
    for (int l = 0; l < n; ++l) {
        const QVector<int>& widths = m_nColWidth[l];
        int x = m_nTableX;
        for (int c = 0; c + 1 < widths.size(); ++c) {
            x += widths.at(c);
            painter->drawLine(x, top + l * h, x, top + (l + 1) * h - 1);
        }
    }
    const int centre = Qt::AlignHCenter | Qt::AlignVCenter;
    m_pTexts->Draw(painter, QRect(m_nTableX, top, m_nColWidth[0].first(), n * h), centre,
                   QString::fromLatin1(DataFieldOf(FieldIndex)->pcShortName));
    for (int l = 0; l < n; ++l) {
        const QVector<int>& widths = m_nColWidth[l];
        int x = m_nTableX + (widths.isEmpty() ? 0 : widths.first());
        for (int c = 1; c < widths.size(); ++c) {
            const tyReportDataField* field = DataFieldOf(m_Job.Data[l][c].nFieldId);
            if (field && field->nId != FieldEmpty)
                DrawFitted(painter, QRect(x, top + l * h, widths.at(c), h), QString::fromLatin1(field->pcShortName),
                           centre, centre);
            x += widths.at(c);
        }
    }
}

void QReportThread::DrawDitto(QPainter* painter, const QRect& cell, int textBottom, bool runEnds,
                              const QColor& colour)
{
    const int x = cell.x();
    const int yL = cell.y();
    const int w = cell.width();
    const int h = cell.height();
    const int cx = x + w / 2;
    const int middle = yL + h / 2;
    painter->drawLine(cx, textBottom - h + (yL + h - textBottom) / 2, cx, middle);
    if (!runEnds)
        return;
    painter->drawLine(cx - w / 8, middle, cx + w / 8, middle);
    const QPoint arrow[3] = {QPoint(cx, middle), QPoint(cx - w / 24, middle - w / 12),
                             QPoint(cx + w / 24, middle - w / 12)};
    painter->setBrush(colour);
    painter->drawPolygon(arrow, 3);
    painter->setBrush(Qt::NoBrush);
}

void QReportThread::DrawTrackMarks(QPainter* painter, const tyTakeData& take, int t, const QRect& cell,
                                   int textBottom, const QFont& font, bool noText, QVector<QLineF>* slashes)
{
    const int x = cell.x();
    const int yL = cell.y();
    const int w = cell.width();
    const int h = cell.height();
    if (take.pnTrackState[t] != 1) {
        slashes->append(CellSlash(cell));
        return;
    }
    const QString marker = TrackMarkerText(take.pnMixRole[t], take.pnMsKind[t]);
    if (!marker.isEmpty()) {
        QFont small = font;
        small.setPointSizeF(generalFont6.pointSizeF());
        const QFont saved = painter->font();
        painter->setFont(small);
        painter->setPen(SolidPen(Qt::gray, 1));
        m_pTexts->Draw(painter, cell, Qt::AlignRight | Qt::AlignTop, marker);
        painter->setFont(saved);
    }
    const int left = take.Pans[t].first;
    const int right = take.Pans[t].second;
    if (left == -1 || right == -1 || noText)
        return;
    const int q = w / 10;
    const tyPanBar bar = PanBarLengths(left, right, float(w - 2 * q));
    const int y = textBottom + (yL + h - textBottom) / 2;
    if (bar.red > 0) {
        painter->setPen(SolidPen(Qt::red, 4));
        painter->drawLine(QPointF(x + q, y), QPointF(x + q + bar.red, y));
    }
    if (bar.green > 0) {
        painter->setPen(SolidPen(Qt::green, 4));
        painter->drawLine(QPointF(x + q + qMax(0.f, bar.red), y), QPointF(x + q + qMax(0.f, bar.red) + bar.green, y));
    }
}

void QReportThread::drawPdfData(QPainter* painter, int first, int count, QStringList* files)
{
    const tyPdfMeasures& m = m_Measures;
    const int n = m_nDataLines;
    const int r = n + (m_bNoteLine ? 1 : 0);
    const int h = m.nLineHeight;
    const int right = m_nTableX + m_nTableWidth - 1;
    const int centre = Qt::AlignHCenter | Qt::AlignVCenter;
    const int firstWidth = m_nColWidth[0].isEmpty() ? 0 : m_nColWidth[0].first();
    tyPageLines lines;
    for (int k = 0; k < count; ++k) {
        const int i = first + k;
        if (i < 0 || i >= m_TakeData.size())
            break;
        const tyTakeData& take = m_TakeData.at(i);
        const tyTakeData* previous = (n == 1 && k > 0 && m_TakeData.at(i - 1).bLoaded) ? &m_TakeData.at(i - 1)
                                                                                        : nullptr;
        const tyTakeData* next = (k + 1 < count && i + 1 < m_TakeData.size()) ? &m_TakeData.at(i + 1) : nullptr;
        emit signal_drawingTake(i);
        const tyTakeLook look = LookOf(take);
        QFont takeFont = generalFont9;
        takeFont.setItalic(look.italic);
        const int pad = QFontMetrics(takeFont, painter->device()).averageCharWidth() / 4;
        const int y = m.nDataTop + (n + k * r) * h;

        if (k % 2 == 1)
            painter->fillRect(QRect(QPoint(m_nTableX, y), QPoint(right, y + r * h - 1)), QColor(240, 240, 240));
        painter->setPen(SolidPen(Qt::black, 1));
        painter->setBrush(Qt::NoBrush);
        painter->drawRect(QRect(QPoint(m_nTableX, y), QPoint(right, y + r * h - 1)));
        painter->setPen(m_PenA);
        if (n == 2)
            painter->drawLine(m_nTableX + firstWidth, y + h, right, y + h);
        if (m_bNoteLine)
            painter->drawLine(m_nTableX + firstWidth, y + n * h, right, y + n * h);
        for (int l = 0; l < n; ++l) {
            int x = m_nTableX;
            for (int c = 0; c + 1 < m_nColWidth[l].size(); ++c) {
                x += m_nColWidth[l].at(c);
                lines.AddRule(x, y + l * h, y + (l + 1) * h - 1);
            }
        }

        bool circled = false;
        for (int l = 0; l < n; ++l) {
            const int yL = y + l * h;
            QFont font = takeFont;
            painter->setFont(font);
            painter->setPen(SolidPen(Qt::black, 1));
            painter->setBrush(Qt::NoBrush);
            if (l == 0)
                m_pTexts->Draw(painter, QRect(m_nTableX, y, firstWidth, r * h), centre, QString::number(i + 1));
            int x = m_nTableX + firstWidth;
            if (!take.bLoaded) {
                // Its file id alone, in the File ID column, says which take
                // could not be read.
                if (l == 0 && files && i < files->size()) {
                    const int boxRight = m_nColWidth[0].size() > 1 ? x + m_nColWidth[0].at(1) - 1 : right;
                    painter->setPen(SolidPen(look.colour, 1));
                    DrawFitted(painter, QRect(QPoint(x, yL), QPoint(boxRight, yL + h - 1)), files->at(i), centre,
                               centre);
                }
                continue;
            }
            const QVector<int>& widths = m_nColWidth[l];
            for (int c = 1; c < widths.size() && c < kDataCells; ++c) {
                const int id = m_Job.Data[l][c].nFieldId;
                const int w = widths.at(c);
                const QRect cell(x, yL, w, h);
                if (id == FieldFileId && !take.bHasiXML) {
                    painter->setBrush(Qt::yellow);
                    painter->drawRect(QRect(QPoint(x + 1, yL + 1), QPoint(x + w - 2, yL + h - 2)));
                    painter->setBrush(Qt::NoBrush);
                }
                const bool circleHere = (id == FieldFileId && m_nCircleDisplay == CircleDisplayFileTag)
                                        || (id == FieldTake && m_nCircleDisplay == CircleDisplayTake);
                // A cell too small for the ring's inset gets none.
                if (circleHere && take.bCircled && !circled && w >= 64 && h >= 64) {
                    painter->setPen(SolidPen(Qt::red, 30));
                    painter->drawEllipse(QRect(QPoint(x + 31, yL + 31), QPoint(x + w - 32, yL + h - 32)));
                    painter->setPen(SolidPen(Qt::black, 1));
                    circled = true;
                }
                if (id == FieldSlateA && take.bAutoSlate) {
                    font.setItalic(true);
                    painter->setFont(font);
                }
                const bool applicable = IsTemplateFieldApplicable(id, take.nTemplate, take.lnTemplateCodes);
                if (id == FieldEmpty) {
                    x += w;
                    continue;
                }
                const QString& text = take.czCellTexts[l][c];
                const bool repeated = previous && applicable && SameCell(take, *previous, l, c, id);
                painter->setPen(SolidPen(look.colour, 1));
                const int textBottom = m_pTexts->CentredBottom(painter, cell, text);
                if (repeated) {
                    const bool runEnds = !next || !next->bLoaded || !SameCell(take, *next, l, c, id);
                    DrawDitto(painter, cell, textBottom, runEnds, look.colour);
                } else {
                    // A text cut to its cell keeps clear of the rules and the next cell's text.
                    DrawFitted(painter, cell.adjusted(pad, 0, -pad, 0), text, centre, centre);
                }
                if (IsTrackField(id) && !repeated)
                    DrawTrackMarks(painter, take, id - FieldTrack1, cell, textBottom, font, text.isEmpty(),
                                   &lines.trackSlashes);
                else if (!applicable)
                    lines.templateSlashes.append(CellSlash(cell));
                x += w;
            }
        }
        if (m_bNoteLine) {
            painter->setFont(takeFont);
            painter->setPen(SolidPen(look.colour, 1));
            const double pageMm = m_PageSize.size(QPageSize::Millimeter).width();
            const int d = pageMm > 0 ? int(m.nPageWidth * 2.5 / pageMm) : 0;
            DrawFitted(painter, QRect(QPoint(m_nTableX + firstWidth + d, y + n * h), QPoint(right, y + (n + 1) * h - 1)),
                       take.czNotes, Qt::AlignLeft | Qt::AlignVCenter, centre);
        }
    }
    painter->setPen(SolidPen(Qt::lightGray, 1));
    painter->drawLines(lines.RuleLines());
    painter->drawLines(lines.templateSlashes);
    painter->setPen(m_PenB);
    painter->drawLines(lines.trackSlashes);
    painter->setFont(generalFont9);
}

void QReportThread::drawPdfFooter(QPainter* painter)
{
    const tyPdfMeasures& m = m_Measures;
    painter->setPen(SolidPen(Qt::black, 1));
    m_pTexts->Draw(painter, QRect(QPoint(0, m.nPageHeight - m.nLineHeight), QPoint(m.nPageWidth - 1, m.nPageHeight - 1)),
                   Qt::AlignHCenter | Qt::AlignVCenter,
                   QStringLiteral("Generated by Tobra v%1").arg(QString::fromLatin1(kVersion)));
}
