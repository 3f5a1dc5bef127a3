// nalvo-iconpainter <folder>
//
// Draws every icon of the application as a PNG into <folder>. The output is
// committed to res/Resources/ and embedded through widgets/widgetsresources.qrc;
// drawing uses only fixed shapes (no text, no system fonts), so the same
// program always writes the same bytes.

#include "foundation/toolarguments.h"

#include <QColor>
#include <QDir>
#include <QGuiApplication>
#include <QImage>
#include <QPainter>
#include <QPainterPath>
#include <QPolygonF>
#include <QStringList>
#include <QtMath>

#include <cstdio>
#include <functional>
#include <vector>

namespace {

// Flat palette for a dark grey interface: light shapes, a few accents.
namespace Colour {
const QColor Outline(0x2a, 0x2a, 0x2a);
const QColor Light(0xee, 0xee, 0xee);
const QColor Page(0xe4, 0xe4, 0xe4);
const QColor PageFold(0xb4, 0xb4, 0xb4);
const QColor Steel(0xc8, 0xcc, 0xd0);
const QColor SteelTop(0xe8, 0xea, 0xee);
const QColor FolderBack(0xc8, 0x8a, 0x2c);
const QColor FolderFront(0xf2, 0xb8, 0x4e);
const QColor Teal(0x02, 0xb8, 0xcc);
const QColor DeepTeal(0x05, 0x71, 0x7c);
const QColor Orange(0xe8, 0x7a, 0x22);
const QColor Green(0x4c, 0xc0, 0x5c);
const QColor Red(0xe0, 0x3c, 0x32);
const QColor Dark(0x33, 0x33, 0x33);
} // namespace Colour

QPen RoundPen(const QColor& colour, qreal width)
{
    return QPen(colour, width, Qt::SolidLine, Qt::RoundCap, Qt::RoundJoin);
}

// ---- shared shapes, in a 64 x 64 canvas -------------------------------------

// A folder: back panel with a tab, front panel over it.
void DrawFolder(QPainter& p, const QRectF& r)
{
    const qreal tabW = r.width() * 0.40;
    const qreal tabH = r.height() * 0.14;
    QPainterPath back;
    back.moveTo(r.left(), r.top() + tabH);
    back.lineTo(r.left(), r.top() + 3);
    back.quadTo(r.left(), r.top(), r.left() + 3, r.top());
    back.lineTo(r.left() + tabW - 4, r.top());
    back.lineTo(r.left() + tabW + 2, r.top() + tabH);
    back.lineTo(r.right() - 3, r.top() + tabH);
    back.quadTo(r.right(), r.top() + tabH, r.right(), r.top() + tabH + 3);
    back.lineTo(r.right(), r.bottom() - 3);
    back.lineTo(r.left(), r.bottom() - 3);
    back.closeSubpath();
    p.setPen(RoundPen(Colour::Outline, 1.5));
    p.setBrush(Colour::FolderBack);
    p.drawPath(back);

    const QRectF front(r.left(), r.top() + tabH + r.height() * 0.12, r.width(),
                       r.height() - tabH - r.height() * 0.12);
    p.setBrush(Colour::FolderFront);
    p.drawRoundedRect(front, 3, 3);
}

// A sheet of paper with its top right corner folded.
void DrawPage(QPainter& p, const QRectF& r)
{
    const qreal fold = r.width() * 0.30;
    QPainterPath page;
    page.moveTo(r.left() + 3, r.top());
    page.lineTo(r.right() - fold, r.top());
    page.lineTo(r.right(), r.top() + fold);
    page.lineTo(r.right(), r.bottom() - 3);
    page.quadTo(r.right(), r.bottom(), r.right() - 3, r.bottom());
    page.lineTo(r.left() + 3, r.bottom());
    page.quadTo(r.left(), r.bottom(), r.left(), r.bottom() - 3);
    page.lineTo(r.left(), r.top() + 3);
    page.quadTo(r.left(), r.top(), r.left() + 3, r.top());
    p.setPen(RoundPen(Colour::Outline, 1.5));
    p.setBrush(Colour::Page);
    p.drawPath(page);

    QPainterPath corner;
    corner.moveTo(r.right() - fold, r.top());
    corner.lineTo(r.right() - fold, r.top() + fold - 2);
    corner.quadTo(r.right() - fold, r.top() + fold, r.right() - fold + 2, r.top() + fold);
    corner.lineTo(r.right(), r.top() + fold);
    corner.closeSubpath();
    p.setBrush(Colour::PageFold);
    p.drawPath(corner);
}

// A waveform as a row of rounded level bars centred on a horizontal line.
void DrawWave(QPainter& p, const QRectF& r, const std::vector<qreal>& levels,
              const QColor& colour)
{
    const int n = int(levels.size());
    const qreal step = r.width() / n;
    p.setPen(RoundPen(colour, qMin(step * 0.62, r.height() * 0.5)));
    const qreal mid = r.center().y();
    for (int i = 0; i < n; ++i) {
        const qreal x = r.left() + step * (i + 0.5);
        const qreal half = qMax(levels[size_t(i)] * r.height() / 2 - p.pen().widthF() / 2, 0.01);
        p.drawLine(QPointF(x, mid - half), QPointF(x, mid + half));
    }
}

// A gear wheel with a hole, centred on c.
void DrawGear(QPainter& p, const QPointF& c, qreal radius, const QColor& fill)
{
    const int teeth = 8;
    const qreal inner = radius * 0.76;
    QPolygonF outline;
    for (int i = 0; i < teeth; ++i) {
        const qreal base = 2 * M_PI * i / teeth;
        const qreal w = M_PI / teeth;
        const qreal angles[] = {base - w * 0.62, base - w * 0.36, base + w * 0.36, base + w * 0.62};
        const qreal radii[] = {inner, radius, radius, inner};
        for (int k = 0; k < 4; ++k)
            outline << c + QPointF(qCos(angles[k]) * radii[k], qSin(angles[k]) * radii[k]);
    }
    QPainterPath gear;
    gear.setFillRule(Qt::OddEvenFill);
    gear.addPolygon(outline);
    gear.closeSubpath();
    gear.addEllipse(c, radius * 0.32, radius * 0.32);
    p.setPen(RoundPen(Colour::Outline, 1.5));
    p.setBrush(fill);
    p.drawPath(gear);
}

// A small calendar sheet: red binding strip, rings, a grid of days.
void DrawCalendar(QPainter& p, const QRectF& r)
{
    p.setPen(RoundPen(Colour::Outline, 1.5));
    p.setBrush(Colour::Light);
    p.drawRoundedRect(r, 2.5, 2.5);
    const QRectF strip(r.left(), r.top(), r.width(), r.height() * 0.30);
    QPainterPath top;
    top.addRoundedRect(strip, 2.5, 2.5);
    p.setBrush(Colour::Red);
    p.drawPath(top);
    p.setPen(RoundPen(Colour::Dark, r.width() * 0.08));
    for (qreal fx : {0.3, 0.7}) {
        const qreal x = r.left() + r.width() * fx;
        p.drawLine(QPointF(x, r.top() - r.height() * 0.08), QPointF(x, r.top() + r.height() * 0.1));
    }
    p.setPen(Qt::NoPen);
    p.setBrush(Colour::Dark);
    const qreal cell = r.width() / 4;
    const qreal dot = cell * 0.55;
    for (int row = 0; row < 2; ++row)
        for (int col = 0; col < 3; ++col) {
            const QPointF at(r.left() + cell * (col + 1) - dot / 2,
                             r.top() + r.height() * (0.45 + 0.25 * row) - dot / 2);
            p.drawRect(QRectF(at, QSizeF(dot, dot)));
        }
}

// A film clapperboard: striped arm over a slate.
void DrawClapper(QPainter& p, const QRectF& r)
{
    const qreal armH = r.height() * 0.28;
    const QRectF slate(r.left(), r.top() + armH + 1, r.width(), r.height() - armH - 1);
    p.setPen(RoundPen(Colour::Light, 1.5));
    p.setBrush(Colour::Dark);
    p.drawRoundedRect(slate, 2, 2);

    // The arm, lifted a little at its right end.
    p.save();
    p.translate(r.left(), r.top() + armH);
    p.rotate(-14);
    const QRectF arm(0, -armH, r.width(), armH);
    p.setBrush(Colour::Dark);
    p.drawRect(arm);
    p.setClipRect(arm);
    p.setPen(Qt::NoPen);
    p.setBrush(Colour::Light);
    const qreal stripe = r.width() / 5;
    for (int i = 0; i < 6; i += 2) {
        QPolygonF band;
        band << QPointF(stripe * i, 0) << QPointF(stripe * (i + 1), 0)
             << QPointF(stripe * (i + 1.6), -armH) << QPointF(stripe * (i + 0.6), -armH);
        p.drawPolygon(band);
    }
    p.restore();

    // Two text lines on the slate.
    p.setPen(RoundPen(Colour::Light, slate.height() * 0.12));
    for (qreal fy : {0.38, 0.68})
        p.drawLine(QPointF(slate.left() + slate.width() * 0.2, slate.top() + slate.height() * fy),
                   QPointF(slate.right() - slate.width() * 0.2, slate.top() + slate.height() * fy));
}

// A round badge with a plus: "add".
void DrawPlusBadge(QPainter& p, const QPointF& c, qreal radius, const QColor& fill)
{
    p.setPen(RoundPen(Colour::Outline, 1.5));
    p.setBrush(fill);
    p.drawEllipse(c, radius, radius);
    p.setPen(RoundPen(Qt::white, radius * 0.34));
    const qreal arm = radius * 0.52;
    p.drawLine(c - QPointF(arm, 0), c + QPointF(arm, 0));
    p.drawLine(c - QPointF(0, arm), c + QPointF(0, arm));
}

// Text lines of a report sheet.
void DrawReportSheet(QPainter& p, const QRectF& r)
{
    DrawPage(p, r);
    p.setPen(Qt::NoPen);
    p.setBrush(Colour::Teal);
    p.drawRect(QRectF(r.left() + 5, r.top() + 7, r.width() * 0.48, 6));
    p.setPen(RoundPen(Colour::Dark, 3));
    const qreal right = r.right() - 6;
    for (int i = 0; i < 4; ++i) {
        const qreal y = r.top() + 22 + i * 8;
        p.drawLine(QPointF(r.left() + 7, y), QPointF(right - (i % 2) * 8, y));
    }
}

// A filled triangle whose corners are rounded by a stroke of the same colour.
void DrawSoftTriangle(QPainter& p, const QPointF& a, const QPointF& b, const QPointF& c,
                      const QColor& colour, qreal rounding)
{
    p.setPen(RoundPen(colour, rounding));
    p.setBrush(colour);
    p.drawPolygon(QPolygonF({a, b, c}));
}

// ---- the icons --------------------------------------------------------------

const QRectF kFolderArea(4, 10, 56, 46);
const QRectF kFileArea(8, 4, 48, 56);

void PaintDir(QPainter& p)
{
    DrawFolder(p, kFolderArea);
}

void PaintDayDir(QPainter& p)
{
    DrawFolder(p, kFolderArea);
    DrawCalendar(p, QRectF(26, 28, 30, 26));
}

void PaintProjectDir(QPainter& p)
{
    DrawFolder(p, kFolderArea);
    DrawClapper(p, QRectF(24, 26, 32, 28));
}

void PaintAddDay(QPainter& p)
{
    DrawFolder(p, QRectF(2, 14, 50, 44));
    DrawCalendar(p, QRectF(20, 30, 28, 24));
    DrawPlusBadge(p, QPointF(51, 13), 11, Colour::Green);
}

void PaintAddProject(QPainter& p)
{
    DrawFolder(p, QRectF(2, 14, 50, 44));
    DrawClapper(p, QRectF(18, 28, 30, 26));
    DrawPlusBadge(p, QPointF(51, 13), 11, Colour::Green);
}

void PaintMonoFile(QPainter& p)
{
    DrawPage(p, kFileArea);
    DrawWave(p, QRectF(13, 20, 38, 34), {0.3, 0.65, 1.0, 0.7, 0.9, 0.45}, Colour::DeepTeal);
}

void PaintPolyFile(QPainter& p)
{
    DrawPage(p, kFileArea);
    const std::vector<std::vector<qreal>> rows = {{0.5, 0.9, 0.6, 1.0, 0.45, 0.8},
                                                  {0.8, 0.4, 1.0, 0.6, 0.9, 0.35},
                                                  {0.35, 0.7, 0.5, 0.95, 0.6, 1.0}};
    for (size_t i = 0; i < rows.size(); ++i)
        DrawWave(p, QRectF(13, 19 + qreal(i) * 12.5, 38, 10.5), rows[i], Colour::DeepTeal);
}

void PaintStereoFile(QPainter& p)
{
    DrawPage(p, kFileArea);
    DrawWave(p, QRectF(13, 19, 38, 17), {0.35, 0.75, 1.0, 0.55, 0.85, 0.4}, Colour::DeepTeal);
    DrawWave(p, QRectF(13, 39, 38, 17), {0.45, 0.9, 0.6, 1.0, 0.5, 0.75}, Colour::Orange);
}

// Scroll bar step arrow, drawn small.
void PaintUpArrow(QPainter& p)
{
    DrawSoftTriangle(p, QPointF(32, 16), QPointF(52, 44), QPointF(12, 44), Colour::Light, 8);
}

void PaintPlay(QPainter& p)
{
    DrawSoftTriangle(p, QPointF(18, 10), QPointF(54, 32), QPointF(18, 54), Colour::Green, 6);
}

void PaintPause(QPainter& p)
{
    p.setPen(Qt::NoPen);
    p.setBrush(Colour::Light);
    p.drawRoundedRect(QRectF(14, 10, 13, 44), 3, 3);
    p.drawRoundedRect(QRectF(37, 10, 13, 44), 3, 3);
}

void PaintPreferences(QPainter& p)
{
    DrawGear(p, QPointF(32, 32), 27, Colour::Steel);
}

void PaintReport(QPainter& p)
{
    DrawReportSheet(p, kFileArea);
}

void PaintReportOption(QPainter& p)
{
    DrawReportSheet(p, QRectF(4, 2, 42, 54));
    DrawGear(p, QPointF(46, 46), 16, Colour::FolderFront);
}

// Stretched behind a short label, so drawn wide rather than round.
void PaintRedCircle(QPainter& p)
{
    p.setPen(QPen(Colour::Red, 3));
    p.setBrush(Qt::NoBrush);
    p.drawEllipse(QRectF(2.5, 2.5, 123, 27));
}

void PaintGoBack(QPainter& p)
{
    QPainterPath turn;
    turn.moveTo(50, 54);
    turn.lineTo(50, 36);
    turn.quadTo(50, 22, 36, 22);
    turn.lineTo(22, 22);
    p.setPen(RoundPen(Colour::Teal, 9));
    p.setBrush(Qt::NoBrush);
    p.drawPath(turn);
    DrawSoftTriangle(p, QPointF(6, 22), QPointF(24, 7), QPointF(24, 37), Colour::Teal, 4);
}

void PaintInsert(QPainter& p)
{
    DrawPlusBadge(p, QPointF(32, 32), 28, Colour::Green);
}

void PaintDelete(QPainter& p)
{
    const QPointF c(32, 32);
    p.setPen(RoundPen(Colour::Outline, 1.5));
    p.setBrush(Colour::Red);
    p.drawEllipse(c, 28, 28);
    p.setPen(RoundPen(Qt::white, 9));
    const qreal arm = 11;
    p.drawLine(c + QPointF(-arm, -arm), c + QPointF(arm, arm));
    p.drawLine(c + QPointF(-arm, arm), c + QPointF(arm, -arm));
}

void PaintAnvil(QPainter& p)
{
    QPainterPath anvil;
    anvil.moveTo(3, 24);
    anvil.lineTo(60, 24);
    anvil.lineTo(60, 33);
    anvil.quadTo(49, 34, 46, 41);
    anvil.lineTo(46, 47);
    anvil.lineTo(54, 53);
    anvil.lineTo(54, 59);
    anvil.lineTo(14, 59);
    anvil.lineTo(14, 53);
    anvil.lineTo(22, 47);
    anvil.lineTo(22, 38);
    anvil.quadTo(10, 36, 3, 24);
    anvil.closeSubpath();
    p.setPen(RoundPen(Colour::Outline, 1.5));
    p.setBrush(Colour::Steel);
    p.drawPath(anvil);
    p.setPen(Qt::NoPen);
    p.setBrush(Colour::SteelTop);
    p.drawRect(QRectF(12, 25, 47, 3));

    // Sparks from the work.
    p.setPen(RoundPen(Colour::Orange, 3.5));
    p.drawLine(QPointF(32, 17), QPointF(32, 6));
    p.drawLine(QPointF(24, 18), QPointF(17, 9));
    p.drawLine(QPointF(40, 18), QPointF(47, 9));
}

void PaintStop(QPainter& p)
{
    p.setPen(Qt::NoPen);
    p.setBrush(Colour::Light);
    p.drawRoundedRect(QRectF(14, 14, 36, 36), 4, 4);
}

// Three bars: the menu of hidden tools.
void PaintMenu(QPainter& p)
{
    p.setPen(RoundPen(Colour::Light, 7));
    for (const qreal y : {16.0, 32.0, 48.0})
        p.drawLine(QPointF(12, y), QPointF(52, y));
}

// A circular arrow: read again.
void PaintReload(QPainter& p)
{
    p.setPen(RoundPen(Colour::Teal, 7));
    p.setBrush(Qt::NoBrush);
    p.drawArc(QRectF(12, 12, 40, 40), 60 * 16, 280 * 16);
    DrawSoftTriangle(p, QPointF(40, 4), QPointF(52, 18), QPointF(34, 22), Colour::Teal, 3);
}

// A page with an arrow coming into it: files taken in.
void PaintImport(QPainter& p)
{
    DrawPage(p, QRectF(18, 4, 40, 54));
    p.setPen(RoundPen(Colour::Green, 7));
    p.drawLine(QPointF(4, 34), QPointF(28, 34));
    DrawSoftTriangle(p, QPointF(40, 34), QPointF(26, 22), QPointF(26, 46), Colour::Green, 3);
}

void PaintFolder48(QPainter& p)
{
    DrawFolder(p, QRectF(4, 8, 56, 48));
}

// Two pages side by side with arrows between them: the take view and the day list.
void PaintSwitchReport(QPainter& p)
{
    DrawPage(p, QRectF(2, 10, 26, 36));
    DrawPage(p, QRectF(36, 18, 26, 36));
    p.setPen(RoundPen(Colour::Teal, 4));
    p.drawLine(QPointF(22, 6), QPointF(44, 6));
    DrawSoftTriangle(p, QPointF(52, 6), QPointF(43, 0.5), QPointF(43, 11.5), Colour::Teal, 1);
    p.drawLine(QPointF(42, 60), QPointF(20, 60));
    DrawSoftTriangle(p, QPointF(12, 60), QPointF(21, 54.5), QPointF(21, 63.5), Colour::Teal, 1);
}

void PaintDownArrow(QPainter& p)
{
    DrawSoftTriangle(p, QPointF(32, 48), QPointF(12, 20), QPointF(52, 20), Colour::Light, 8);
}

void PaintComboArrow(QPainter& p)
{
    DrawSoftTriangle(p, QPointF(32, 46), QPointF(10, 18), QPointF(54, 18), Colour::Light, 6);
}

void PaintComboArrowDisabled(QPainter& p)
{
    DrawSoftTriangle(p, QPointF(32, 46), QPointF(10, 18), QPointF(54, 18), Colour::Outline, 6);
}

// The fader knob of the volume sliders: a ridged cap, seen from above.
void PaintFader(QPainter& p)
{
    p.setPen(RoundPen(Colour::Outline, 1.5));
    p.setBrush(Colour::Steel);
    p.drawRoundedRect(QRectF(2, 4, 60, 56), 6, 6);
    p.setPen(RoundPen(Colour::Dark, 3));
    for (const qreal y : {18.0, 26.0, 38.0, 46.0})
        p.drawLine(QPointF(10, y), QPointF(54, y));
    p.setPen(RoundPen(Colour::Light, 5));
    p.drawLine(QPointF(8, 32), QPointF(56, 32));
}

// Check box faces: a rounded box, ticked or empty; lighter under the
// pointer, greyed when disabled.
void DrawCheckBox(QPainter& p, bool checked, const QColor& frame, const QColor& fill, const QColor& tick)
{
    p.setPen(RoundPen(frame, 5));
    p.setBrush(fill);
    p.drawRoundedRect(QRectF(5, 5, 54, 54), 8, 8);
    if (checked) {
        QPainterPath mark;
        mark.moveTo(16, 33);
        mark.lineTo(27, 45);
        mark.lineTo(48, 18);
        p.setPen(RoundPen(tick, 9));
        p.setBrush(Qt::NoBrush);
        p.drawPath(mark);
    }
}

void PaintCheckboxChecked(QPainter& p) { DrawCheckBox(p, true, Colour::Light, Colour::Dark, Colour::Teal); }
void PaintCheckboxUnchecked(QPainter& p) { DrawCheckBox(p, false, Colour::Light, Colour::Dark, Colour::Teal); }
void PaintCheckboxCheckedFocus(QPainter& p) { DrawCheckBox(p, true, Colour::Teal, Colour::Dark, Colour::Teal); }
void PaintCheckboxUncheckedFocus(QPainter& p) { DrawCheckBox(p, false, Colour::Teal, Colour::Dark, Colour::Teal); }
void PaintCheckboxCheckedDisabled(QPainter& p)
{
    DrawCheckBox(p, true, Colour::PageFold, Colour::Outline, Colour::PageFold);
}
void PaintCheckboxUncheckedDisabled(QPainter& p)
{
    DrawCheckBox(p, false, Colour::PageFold, Colour::Outline, Colour::PageFold);
}

struct IconSpec
{
    const char* name;
    QSize pixels;
    QSizeF canvas; // the coordinate space the painter draws in
    std::function<void(QPainter&)> paint;
};

const QSize k64(64, 64);
const QSizeF kCanvas(64, 64);

std::vector<IconSpec> Icons()
{
    return {
        {"icon_dir.png", k64, kCanvas, PaintDir},
        {"icon_dir_day.png", k64, kCanvas, PaintDayDir},
        {"icon_dir_proj.png", k64, kCanvas, PaintProjectDir},
        {"mono_file.png", k64, kCanvas, PaintMonoFile},
        {"poly_file.png", k64, kCanvas, PaintPolyFile},
        {"stereo_file.png", k64, kCanvas, PaintStereoFile},
        {"icon_add_day.png", k64, kCanvas, PaintAddDay},
        {"icon_add_proj.png", k64, kCanvas, PaintAddProject},
        {"up_arrow.png", QSize(16, 16), kCanvas, PaintUpArrow},
        {"Play.png", k64, kCanvas, PaintPlay},
        {"Pause.png", k64, kCanvas, PaintPause},
        {"ButtonPreferences.png", k64, kCanvas, PaintPreferences},
        {"ButtonReport.png", k64, kCanvas, PaintReport},
        {"ButtonReportOption.png", k64, kCanvas, PaintReportOption},
        {"Red_circle.png", QSize(128, 32), QSizeF(128, 32), PaintRedCircle},
        {"GoBack.png", k64, kCanvas, PaintGoBack},
        {"Insert.png", k64, kCanvas, PaintInsert},
        {"delete.png", k64, kCanvas, PaintDelete},
        {"Anvil.png", k64, kCanvas, PaintAnvil},
        {"Stop.png", k64, kCanvas, PaintStop},
        {"Menu.png", k64, kCanvas, PaintMenu},
        {"reload.png", k64, kCanvas, PaintReload},
        {"Import.png", k64, kCanvas, PaintImport},
        {"folder48.png", QSize(48, 48), kCanvas, PaintFolder48},
        {"switch_report.png", k64, kCanvas, PaintSwitchReport},
        {"down_arrow.png", QSize(16, 16), kCanvas, PaintDownArrow},
        {"combobox_down_arrow.png", QSize(12, 12), kCanvas, PaintComboArrow},
        {"combobox_down_arrow_disabled.png", QSize(12, 12), kCanvas, PaintComboArrowDisabled},
        {"fader.png", QSize(22, 25), kCanvas, PaintFader},
        {"checkbox_checked.png", QSize(13, 13), kCanvas, PaintCheckboxChecked},
        {"checkbox_unchecked.png", QSize(13, 13), kCanvas, PaintCheckboxUnchecked},
        {"checkbox_checked_focus.png", QSize(13, 13), kCanvas, PaintCheckboxCheckedFocus},
        {"checkbox_unchecked_focus.png", QSize(13, 13), kCanvas, PaintCheckboxUncheckedFocus},
        {"checkbox_checked_disabled.png", QSize(13, 13), kCanvas, PaintCheckboxCheckedDisabled},
        {"checkbox_unchecked_disabled.png", QSize(13, 13), kCanvas, PaintCheckboxUncheckedDisabled},
    };
}

QImage Render(const IconSpec& icon)
{
    QImage image(icon.pixels, QImage::Format_ARGB32_Premultiplied);
    image.fill(Qt::transparent);
    QPainter p(&image);
    p.setRenderHint(QPainter::Antialiasing);
    p.scale(icon.pixels.width() / icon.canvas.width(), icon.pixels.height() / icon.canvas.height());
    icon.paint(p);
    p.end();
    return image.convertToFormat(QImage::Format_ARGB32);
}

} // namespace

int main(int argc, char* argv[])
{
    qputenv("QT_QPA_PLATFORM", "offscreen");
    QGuiApplication app(argc, argv);
    QStringList args;
    const int exitCode = ReadToolArguments(app.arguments(), "nalvo-iconpainter <output folder>", 1, 1, &args);
    if (exitCode >= 0)
        return exitCode;
    const QDir out(args.at(0));
    if (!QDir().mkpath(out.path())) {
        std::fprintf(stderr, "cannot create %s\n", qPrintable(out.path()));
        return 1;
    }
    int failures = 0;
    for (const IconSpec& icon : Icons()) {
        const QString path = out.filePath(QString::fromLatin1(icon.name));
        if (!Render(icon).save(path, "PNG")) {
            std::fprintf(stderr, "cannot write %s\n", qPrintable(path));
            ++failures;
        }
    }
    return failures == 0 ? 0 : 1;
}
