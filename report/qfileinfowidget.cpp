#include "report/qfileinfowidget.h"

#include "report/fieldrules.h"
#include "report/takerowrules.h"
#include "widgets/sharedfonts.h"

#include <QMouseEvent>
#include <QMutexLocker>
#include <QPainter>
#include <QScrollBar>

using namespace ReportLayout;

namespace {
const QColor kRed(184, 0, 0);
const QColor kGreen(58, 157, 35);
const QColor kGreyRed(79, 79, 79);
const QColor kGreyGreen(127, 127, 127);
const QColor kMsPie(189, 51, 164);

QPen SolidPen(const QColor& colour, int width)
{
    return QPen(QBrush(colour), width, Qt::SolidLine, Qt::SquareCap, Qt::BevelJoin);
}

// The font of a cell's input marks, each drawn from the cell's top in a slot
// slotWidth wide: as large as the form's font but no larger than the room
// above the ink of the name (capitals starting at nameInkTop, none when
// negative) and the slots leave, so that marks cover neither the name nor
// each other.
QFont MarkFont(int nameInkTop, const QStringList& marks, int slotWidth)
{
    QFont font = generalFont8;
    const int kSmallestPixels = 6;
    for (int pixels = QFontInfo(font).pixelSize(); pixels > kSmallestPixels; --pixels) {
        font.setPixelSize(pixels);
        const QFontMetrics metrics(font);
        bool fits = nameInkTop < 0 || metrics.ascent() < nameInkTop;
        for (const QString& mark : marks)
            fits = fits && metrics.horizontalAdvance(mark) < slotWidth;
        if (fits)
            break;
    }
    return font;
}

// Where the capitals of a cell's centred name start (its text box from the
// form's font).
int NameInkTop(const QRect& nameBox)
{
    const QFontMetrics metrics(generalFont10);
    return nameBox.top() + metrics.ascent() - metrics.capHeight();
}

// The long-name marks of the File ID cell ("L", "LU") in its top left
// corner, in the input marks' font: bold white letters on a dark tag read
// on every row colour, and the tag ends above the name's capitals.
void DrawNameMarks(QPainter& painter, const QString& marks, const QRect& cell, int nameInkTop)
{
    QFont font = MarkFont(nameInkTop, {marks}, cell.width() - 2);
    font.setBold(true);
    const QFontMetrics metrics(font);
    const int capTop = metrics.ascent() - metrics.capHeight();
    painter.fillRect(QRect(cell.left() + 1, capTop - 1, metrics.horizontalAdvance(marks) + 3, metrics.capHeight() + 2),
                     QColor(32, 32, 32));
    painter.setFont(font);
    painter.setPen(SolidPen(Qt::white, 1));
    painter.drawText(QRect(cell.left() + 2, 0, cell.width() - 3, cell.height()), Qt::AlignLeft | Qt::AlignTop, marks);
}
}  // namespace

QFileInfoWidget::QFileInfoWidget(QWidget* parent, int id)
    : QWidget(parent)
    , m_nId(id)
{
}

QFileInfoWidget::~QFileInfoWidget() = default;

void QFileInfoWidget::SetSelected(bool selected)
{
    if (selected == m_bSelected)
        return;
    m_bSelected = selected;
    update();
}

void QFileInfoWidget::SetMetadata(tyTakeMetadata* record)
{
    if (!record)
        return;
    {
        QMutexLocker lock(&m_RecordLock);
        m_Record = *record;
    }
    m_bHasRecord = true;
    // The row shows the start of the line; the whole of it on hovering.
    setToolTip(record->czProblem);
    m_bSettingsStale = true;
    emit signal_updated();
    update();
}

bool QFileInfoWidget::IsFirstOfScene() const
{
    return !m_pPrevious || m_pPrevious->m_Record.czScene != m_Record.czScene;
}

QString QFileInfoWidget::Line0Text(int i, bool* present) const
{
    QMutexLocker lock(&m_RecordLock);
    const bool has = i >= 0 && i < m_Record.lczLine0Texts.size();
    if (present)
        *present = has;
    return has ? m_Record.lczLine0Texts.at(i) : QString();
}

QString QFileInfoWidget::ShownText(int i) const
{
    const int width = i >= 0 && i < m_Widths[0].size() ? m_Widths[0].at(i) : 0;
    return CellTextFor(Line0Text(i, nullptr), QFontMetrics(generalFont10), width);
}

void QFileInfoWidget::SetPrevNext(QFileInfoWidget* previous, QFileInfoWidget* next)
{
    bool changed = false;
    if (previous != m_pPrevious) {
        m_pPrevious = previous;
        changed = true;
        if (previous) {
            connect(previous, &QFileInfoWidget::signal_updated, this, QOverload<>::of(&QWidget::update),
                    Qt::UniqueConnection);
        }
    }
    if (next != m_pNext) {
        m_pNext = next;
        changed = true;
        if (next)
            connect(next, &QFileInfoWidget::signal_updated, this, QOverload<>::of(&QWidget::update),
                    Qt::UniqueConnection);
    }
    if (changed)
        update();
}

void QFileInfoWidget::SetParentScrollVertical(QScrollBar* bar)
{
    if (bar == m_pScrollBar)
        return;
    m_pScrollBar = bar;
    update();
}

void QFileInfoWidget::slot_ColSizeChanged(int line, QList<int> widths)
{
    if (line < 0 || line > 1 || m_Widths[line] == widths)
        return;
    m_Widths[line] = widths;
    update();
}

void QFileInfoWidget::slot_ColType(int line, QList<int> kinds)
{
    if (line < 0 || line > 1 || m_Kinds[line] == kinds)
        return;
    m_Kinds[line] = kinds;
    update();
}

void QFileInfoWidget::slot_CircleDisplay(tReportCircleDisplay display)
{
    if (display == m_eCircleDisplay)
        return;
    m_eCircleDisplay = display;
    update();
}

void QFileInfoWidget::mousePressEvent(QMouseEvent* event)
{
    event->ignore();
    QWidget::mousePressEvent(event);
    event->ignore();
}

void QFileInfoWidget::mouseReleaseEvent(QMouseEvent* event)
{
    event->ignore();
    QWidget::mouseReleaseEvent(event);
    event->ignore();
}

void QFileInfoWidget::mouseMoveEvent(QMouseEvent* event)
{
    event->ignore();
    QWidget::mouseMoveEvent(event);
    event->ignore();
}

void QFileInfoWidget::mouseDoubleClickEvent(QMouseEvent* event)
{
    event->accept();
}

QColor QFileInfoWidget::BackgroundColour() const
{
    QColor colour(96, 96, 96);
    if (m_bSelected)
        colour = QColor(48, 140, 198);
    else if (IsFirstOfScene())
        colour = QColor(173, 151, 138);
    else if (m_Record.nTakeType == 2)
        colour = QColor(96, 183, 143);
    return m_nId % 2 == 0 ? colour.darker(110) : colour;
}

QStringList QFileInfoWidget::BadgeParts(int track)
{
    QStringList parts = m_czSettings[track].split(QLatin1Char(';'), Qt::KeepEmptyParts);
    if (parts.size() != 5)
        parts = QStringList{QString(), QString(), QString(), QString(), QString()};
    return parts;
}

void QFileInfoWidget::paintEvent(QPaintEvent*)
{
    QPainter painter(this);
    const QList<int>& widths = m_Widths[0];
    const int columns = widths.size();
    bool enough = false;
    {
        QMutexLocker lock(&m_RecordLock);
        enough = columns > 0 && m_Record.lczLine0Texts.size() >= columns;
    }
    if (m_bHasRecord && columns > 0 && !enough) {
        PaintUnreadable(painter);
        return;
    }
    m_BackColor = BackgroundColour();
    painter.fillRect(rect(), m_BackColor);
    painter.setPen(SolidPen(Qt::white, 1));
    int x = 0;
    for (int i = 0; i + 1 < widths.size(); ++i) {
        x += widths.at(i);
        painter.drawLine(x, 0, x, height());
    }
    if (enough)
        PaintCells(painter);
}

void QFileInfoWidget::PaintUnreadable(QPainter& painter)
{
    // A take whose files could not be read: a row of its own colour with
    // the take's name, so the gap in the list is explained.
    m_BackColor = m_bSelected ? QColor(48, 140, 198) : QColor(122, 46, 46);
    if (m_nId % 2 == 0)
        m_BackColor = m_BackColor.darker(110);
    painter.fillRect(rect(), m_BackColor);
    painter.setFont(generalFont10);
    painter.setPen(SolidPen(Qt::white, 1));
    const QString text = m_Record.czProblem.isEmpty() ? tr("%1 - not readable").arg(m_Record.czTakeName)
                                                       : m_Record.czProblem;
    painter.drawText(rect().adjusted(4, 0, -4, 0), Qt::AlignLeft | Qt::AlignVCenter,
                     CellTextFor(text, painter.fontMetrics(), width() - 4));
}

void QFileInfoWidget::PaintCells(QPainter& painter)
{
    const int h = height();
    const QList<int>& widths = m_Widths[0];
    const QColor lighter = m_BackColor.lighter(110);
    if (m_bSettingsStale) {
        for (int t = 0; t < tyTakeMetadata::kTracks; ++t)
            m_czSettings[t] = BadgeTextOf(m_Record, t);
    }
    QFileInfoWidget* previous = m_pPrevious;
    if (previous && m_pScrollBar && !m_pScrollBar->isHidden()
        && m_pScrollBar->value() > previous->y() + h / 2)
        previous = nullptr;
    int x = 0;
    for (int i = 0; i < widths.size(); ++i) {
        const int w = widths.at(i);
        const int kind = i < m_Kinds[0].size() ? m_Kinds[0].at(i) : 0;
        const bool track = kind >= FieldTrack1 && kind <= FieldTrack24;
        const int t = track ? kind - FieldTrack1 : 0;
        const tTrackActive arming = track ? m_Record.tArming[t] : TrackActiveOn;
        const bool applicable = IsColumnApplicable(m_Record, kind);
        const QString text = Line0Text(i, nullptr);

        auto neighbourText = [i](const QFileInfoWidget* row) {
            bool present = false;
            const QString t = row->Line0Text(i, &present);
            return present ? t : QString::fromLatin1(kMissingNeighbourText);
        };
        const bool samePrevious = previous
                                  && SameCellAs(m_Record, text, &previous->m_Record, neighbourText(previous), kind);
        const bool sameNext = m_pNext && SameCellAs(m_Record, text, &m_pNext->m_Record, neighbourText(m_pNext), kind);
        const QStringList badges = track ? BadgeParts(t) : QStringList();
        const bool settingsDiffer = track && samePrevious && BadgeTextOf(previous->m_Record, t) != badges.join(';');

        const QRect cell(x, 0, w, h);
        // Text, ditto arrows, pan bars and badges stay inside their cell,
        // however narrow the columns were fitted.
        painter.save();
        painter.setClipRect(cell);
        painter.setFont(generalFont10);
        painter.setPen(SolidPen(Qt::white, 1));
        const QString shown = CellTextFor(text, painter.fontMetrics(), w);
        const QRect box = painter.boundingRect(cell, Qt::AlignCenter, text.isEmpty() ? QStringLiteral("Test") : text);

        if (m_Record.bCircled) {
            if (kind == FieldCircled) {
                const int s = qMin(w, h);
                if (s >= 5) {
                    painter.setPen(Qt::NoPen);
                    painter.setBrush(Qt::green);
                    painter.drawRect(x + w / 2 - (s - 4) / 2, h / 2 - (s - 4) / 2, s - 4, s - 4);
                    painter.setBrush(Qt::NoBrush);
                }
            } else if ((kind == FieldTake && m_eCircleDisplay == CircleDisplayTake)
                       || (kind == FieldFileId && m_eCircleDisplay == CircleDisplayFileTag)) {
                painter.setPen(SolidPen(Qt::red, 3));
                painter.setBrush(Qt::NoBrush);
                painter.drawEllipse(QRect(QPoint(x + 4, 4), QPoint(x + w - 5, h - 5)));
            }
        }
        if (kind == FieldFileId) {
            QString marks;
            if (m_Record.bLongName)
                marks += QLatin1Char('L');
            if (m_Record.bFullUnderscore)
                marks += QLatin1Char('U');
            if (!marks.isEmpty()) {
                DrawNameMarks(painter, marks, cell, text.isEmpty() ? -1 : NameInkTop(box));
                painter.setFont(generalFont10);
            }
        }
        if ((arming == TrackActiveDisarmed && !samePrevious) || !applicable) {
            painter.setPen(SolidPen(lighter, 1));
            painter.drawLine(x + 4, box.bottom(), x + w - 4, box.top());
        }
        if (!samePrevious) {
            if (arming != TrackActiveNone) {
                painter.setPen(SolidPen(arming == TrackActiveDisarmed ? lighter : QColor(Qt::white), 1));
                painter.drawText(cell, Qt::AlignCenter, shown);
            }
            const tPostFadePan pan = track ? m_Record.tPans[t] : tPostFadePan{-1, -1};
            if (track && pan.left != -1 && pan.right != -1 && arming != TrackActiveNone) {
                const int q = w / 10;
                const float length = float(w - 2 * q);
                const int y = box.bottom() + (h - box.bottom()) / 2;
                const tyPanBar bar = PanBarLengths(pan.left, pan.right, length);
                const bool grey = arming == TrackActiveDisarmed;
                if (bar.red > 0) {
                    painter.setPen(SolidPen(grey ? kGreyRed : kRed, 4));
                    painter.drawLine(QPointF(x + q, y), QPointF(x + q + bar.red, y));
                }
                if (bar.green > 0) {
                    painter.setPen(SolidPen(grey ? kGreyGreen : kGreen, 4));
                    painter.drawLine(QPointF(x + q + bar.red, y), QPointF(x + q + bar.red + bar.green, y));
                }
                if (bar.red <= 0 && bar.green <= 0) {
                    painter.setPen(SolidPen(grey ? Qt::darkGray : Qt::gray, 4));
                    painter.drawLine(QPointF(x + q, y), QPointF(x + q + length, y));
                }
            }
        } else {
            painter.setPen(SolidPen(Qt::white, 2));
            const int cx = x + w / 2;
            if (sameNext) {
                painter.drawLine(cx, 0, cx, h);
            } else {
                const int y = box.bottom() + (h - box.bottom()) / 2;
                painter.drawLine(cx - w / 8, y, cx + w / 8, y);
                painter.setBrush(Qt::white);
                const QPoint arrow[3] = {QPoint(cx, y), QPoint(cx - 5, y - 10), QPoint(cx + 5, y - 10)};
                painter.drawPolygon(arrow, 3);
                painter.setBrush(Qt::NoBrush);
                painter.drawLine(cx, 0, cx, y - 10);
            }
        }
        const bool anyBadge = track && !badges.join(QString()).isEmpty();
        if (anyBadge && (!samePrevious || settingsDiffer)) {
            painter.setPen(SolidPen(Qt::lightGray, 1));
            const int q = w / 5;
            painter.setFont(MarkFont(text.isEmpty() ? -1 : NameInkTop(box), badges.mid(0, 4), q));
            for (int k = 0; k < 4; ++k)
                painter.drawText(QRect(QPoint(x + k * q, 0), QPoint(x + (k + 1) * q - 1, h - 1)),
                                 Qt::AlignHCenter | Qt::AlignTop, badges.at(k));
            painter.setPen(Qt::NoPen);
            if (!badges.at(4).isEmpty()) {
                const QRect sub(QPoint(x + 4 * q, 0), QPoint(x + 5 * q - 1, h - 1));
                const int b = painter.boundingRect(sub, Qt::AlignHCenter | Qt::AlignTop, badges.at(4)).bottom();
                const QRect pie(x + 4 * q - 1, -b, 2 * q + 2, 2 * b + 2);
                const bool grey = arming == TrackActiveDisarmed;
                const QColor red = grey ? kGreyRed : kRed;
                const QColor green = grey ? kGreyGreen : kGreen;
                auto drawPie = [&](const QColor& colour, int start, int span) {
                    painter.setBrush(colour);
                    painter.drawPie(pie, start * 16, span * 16);
                };
                switch (m_Record.pnMixMarker[t]) {
                case 0:
                    if (m_Record.pnMsMarker[t] != 0)
                        drawPie(kMsPie, 180, 90);
                    break;
                case 1:
                    drawPie(red, 180, 45);
                    drawPie(green, 225, 45);
                    break;
                case 2: drawPie(red, 180, 90); break;
                case 3: drawPie(green, 180, 90); break;
                default: break;
                }
                painter.setBrush(Qt::NoBrush);
                painter.setPen(SolidPen(Qt::white, 1));
                painter.drawText(sub, Qt::AlignHCenter | Qt::AlignTop, badges.at(4));
            }
        }
        painter.restore();
        x += w;
    }
    m_bSettingsStale = false;
}
