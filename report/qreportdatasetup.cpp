#include "report/qreportdatasetup.h"

#include "report/qdialogpdffieldchoice.h"

#include "foundation/fonts.h"
#include "foundation/messageloging.h"
#include "widgets/sharedfonts.h"

#include <QFontMetrics>
#include <QKeyEvent>
#include <QPainter>

using namespace ReportLayout;
using ReportGridRules::FirstFreeCell;

namespace {
const QColor kSelectedBlue(48, 140, 198);

// A field's name inside its cell with room on either side: in a narrow grid
// in a smaller font (down to 60%), then cut short, rather than over its
// neighbours.
void DrawCellLabel(QPainter& painter, const QRect& cell, const QString& label)
{
    const QFont font = painter.font();
    const int room = cell.width() - 4;
    const int wide = painter.fontMetrics().horizontalAdvance(label);
    if (wide > room && room > 0 && font.pointSizeF() > 0) {
        QFont smaller = font;
        smaller.setPointSizeF(qMax(font.pointSizeF() * room / wide, font.pointSizeF() * 0.6));
        painter.setFont(smaller);
    }
    painter.drawText(cell, Qt::AlignCenter, painter.fontMetrics().elidedText(label, Qt::ElideRight, room));
    painter.setFont(font);
}
}  // namespace

QReportDataSetup::QReportDataSetup(QWidget* parent)
    : QReportSetupGrid(parent, 2), m_fFontFactor(FontFactor())
{
    setStyleSheet(QStringLiteral("color:#FFFFFF;background:#606060;"));
    setFocusPolicy(Qt::ClickFocus);
    for (int l = 0; l < kDataLines; ++l) {
        for (tyReportBlock& cell : m_Lines[l].cells)
            cell = tyReportBlock{-1, QString()};
        for (int c = 0; c < 16; ++c)
            m_Lines[l].cells[c] = tyReportBlock{FieldEmpty, QString()};
        m_Lines[l].cells[0].nFieldId = FieldIndex;
        m_Lines[l].count = 16;
    }
    m_Lines[0].cells[1].nFieldId = FieldFileId;
    updateSize();

    m_pChoice = new QDialogPdfFieldChoice(this);
    connect(m_pChoice, &QDialog::finished, this, &QReportDataSetup::slot_FieldChoiceFinished);
    connect(m_pChoice, &QDialogPdfFieldChoice::signal_ItemChanged, this,
            &QReportDataSetup::slot_FieldChoiceItemChanged);
    connect(m_pChoice, &QDialogPdfFieldChoice::signal_ItemSelected, this,
            &QReportDataSetup::slot_FieldChoiceItemSelected);
    m_pChoice->setModal(false);
    m_pChoice->SetSortingEnabled(false);

    QFont font = generalFont8;
    font.setPointSizeF(font.pointSizeF() * m_fFontFactor);
    const QFontMetrics metrics(font);
    int widest = 0;
    for (int id = kDataLookupSize - 1; id >= 0; --id) {
        const tyReportDataField* field = DataFieldOf(id);
        if (!field || !field->pcLongName || !*field->pcLongName)
            continue;
        const QString name = QString::fromLatin1(field->pcLongName);
        m_pChoice->AddItem(name, id, 0);
        ++m_nChoiceCount;
        widest = qMax(widest, metrics.boundingRect(name).width());
    }
    m_pChoice->AddItem(QStringLiteral("Del Col"), QDialogPdfFieldChoice::CommandDelete, 0);
    m_pChoice->AddItem(QStringLiteral("New Col"), QDialogPdfFieldChoice::CommandInsert, 0);
    m_nChoiceCount += 2;
    m_pChoice->ReplaceAdvancedItems();
    m_pChoice->setMaximumWidth(widest + widest / 2);
}

QReportDataSetup::~QReportDataSetup() = default;

void QReportDataSetup::setNbLine(int lines)
{
    // The dialog keeps what it was given; the grid has two lines to show.
    m_nLineCount = lines;
    m_nShownLines = qBound(0, lines, int(kDataLines));
    if (m_nCurrentLine >= m_nShownLines) {
        m_nCurrentLine = -1;
        m_nCurrentCol = -1;
    }
    updateSize();
}

void QReportDataSetup::setNoteLine(bool on)
{
    m_bNoteLine = on;
    updateSize();
}

void QReportDataSetup::setLineData(int line, tyReportBlock* cells)
{
    if (line < 0 || line >= kDataLines || !cells)
        return;
    ReportGridRules::LoadDataLine(&m_Lines[line], cells, line);
    if (line == m_nCurrentLine && m_nCurrentCol >= m_Lines[line].count)
        m_nCurrentCol = m_Lines[line].count - 1;
    updateSize();
}

void QReportDataSetup::GetLineData(int line, tyReportBlock* cells, int count) const
{
    if (line < 0 || line >= kDataLines || !cells || count < 1)
        return;
    for (int c = 0; c < qMin(count, int(kDataCells)); ++c)
        cells[c] = m_Lines[line].cells[c];
}

void QReportDataSetup::Exit()
{
    m_pChoice->hide();
}

void QReportDataSetup::updateSize()
{
    const int w = width();
    m_LaidOutSize = size();
    m_nCellWidth[0] = m_nCellWidth[1] = 0;
    m_nIndexWidth = 0;
    if (m_nShownLines >= 1) {
        int best = 0;
        int smallest = 65535;
        for (int l = 0; l < m_nShownLines; ++l) {
            const int cw = w / m_Lines[l].count;
            if (cw < smallest) {
                smallest = cw;
                best = l;
            }
        }
        // Every line has at least two cells: the divisions below are safe.
        const int t = (m_Lines[best].count - 1) * smallest;
        m_nIndexWidth = w - t;
        for (int l = 0; l < m_nShownLines; ++l)
            m_nCellWidth[l] = t / (m_Lines[l].count - 1);
    }
    m_nLineHeight = height() / 3;
    GridOrigin();
    update();
}

void QReportDataSetup::GridOrigin()
{
    m_nGridWidth = 0;
    for (int l = 0; l < m_nShownLines; ++l)
        m_nGridWidth = qMax(m_nGridWidth, (m_Lines[l].count - 1) * m_nCellWidth[l] + m_nIndexWidth);
    m_nGridLeft = (width() - m_nGridWidth) / 2;
    m_nGridTop = (height() - 3 * m_nLineHeight) / 2;
}

int QReportDataSetup::CellLeft(int line, int col) const
{
    return m_nGridLeft + m_nIndexWidth + (col - 1) * m_nCellWidth[line];
}

QPoint QReportDataSetup::CellCentre(int line, int col) const
{
    return QPoint(CellLeft(line, col) + m_nCellWidth[line] / 2, m_nGridTop + line * m_nLineHeight + m_nLineHeight / 2);
}

bool QReportDataSetup::CellAt(const QPoint& p, int* line, int* col) const
{
    if (m_nLineHeight <= 0 || p.y() < m_nGridTop)
        return false;
    const int l = (p.y() - m_nGridTop) / m_nLineHeight;
    if (l < 0 || l >= m_nShownLines || m_nCellWidth[l] <= 0)
        return false;
    // The index column is wider than the others: cells start after it.
    const int dx = p.x() - m_nGridLeft - m_nIndexWidth;
    if (dx < 0)
        return false;
    const int c = 1 + dx / m_nCellWidth[l];
    if (c < FirstFreeCell(l) || c >= m_Lines[l].count)
        return false;
    *line = l;
    *col = c;
    return true;
}

void QReportDataSetup::DisplayChoiceWidget(int, int)
{
    if (m_nCurrentLine < 0 || m_nCurrentCol < 0)
        return;
    const int itemHeight = m_pChoice->GetItemHeight();
    if (itemHeight <= 0)
        return;
    m_pChoice->setMaximumHeight(int(itemHeight * 10.7));
    m_pChoice->setMinimumHeight(3 * itemHeight);
    m_pChoice->adjustSize();
    m_pChoice->move(mapToGlobal(QPoint(CellLeft(m_nCurrentLine, m_nCurrentCol),
                                       m_nGridTop + m_nCurrentLine * m_nLineHeight - m_pChoice->height())));
    if (m_pChoice->SetCurrentItemType(m_Lines[m_nCurrentLine].cells[m_nCurrentCol].nFieldId) == -1)
        return;
    m_nPendingField = m_pChoice->GetCurrentItemType();
    m_pChoice->show();
    update();
}

void QReportDataSetup::ValidChoiceWidget(int id)
{
    m_nPendingField = id;
    if (m_nCurrentLine >= 0 && m_nCurrentLine < kDataLines) {
        ReportGridRules::tyDataLine& line = m_Lines[m_nCurrentLine];
        const int before = line.count;
        if (ReportGridRules::CommitDataCell(&line, m_nCurrentLine, m_nCurrentCol, id) && line.count != before)
            updateSize();
    }
    m_pChoice->hide();
    update();
}

void QReportDataSetup::keyPressEvent(QKeyEvent* e)
{
    MyQDebug("QReportDataSetup key:0x%X (%d) mod : 0x%X (%d) scancode 0x%X (%d) nativeVirtualKey 0x%X (%d)", e->key(),
             e->key(), unsigned(e->modifiers()), int(e->modifiers()), e->nativeScanCode(), e->nativeScanCode(),
             e->nativeVirtualKey(), e->nativeVirtualKey());
    const bool choosing = m_pChoice->isVisible();
    const Qt::KeyboardModifiers mods = e->modifiers() & ~Qt::KeypadModifier;
    if (e->key() == Qt::Key_Delete) {
        ValidChoiceWidget(mods == Qt::ShiftModifier ? -1 : 0);
        e->ignore();
        return;
    }
    const bool known = e->key() == Qt::Key_Escape || e->key() == Qt::Key_Return || e->key() == Qt::Key_Enter ||
                       e->key() == Qt::Key_Left || e->key() == Qt::Key_Right || e->key() == Qt::Key_Up ||
                       e->key() == Qt::Key_Down;
    if (!known) {
        e->ignore();
        return;
    }
    if (choosing)
        return;
    if (e->key() == Qt::Key_Escape) {
        if (!(mods & Qt::ShiftModifier))
            Quit();
        return;
    }
    if (e->key() == Qt::Key_Return || e->key() == Qt::Key_Enter) {
        DisplayChoiceWidget(0, 0);
        return;
    }
    if (mods == Qt::ControlModifier && (e->key() == Qt::Key_Up || e->key() == Qt::Key_Down)) {
        ValidChoiceWidget(e->key() == Qt::Key_Up ? -2 : -1);
        return;
    }
    if (m_nCurrentLine < 0)
        return;
    const int last = m_Lines[m_nCurrentLine].count - 1;
    switch (e->key()) {
    case Qt::Key_Left:
        if (m_nCurrentCol > FirstFreeCell(m_nCurrentLine)) {
            m_nCurrentCol = qMin(m_nCurrentCol - 1, last);
        } else if (m_nCurrentLine == 1) {
            m_nCurrentLine = 0;
            m_nCurrentCol = m_Lines[0].count - 1;
        }
        break;
    case Qt::Key_Right:
        if (m_nCurrentCol < last) {
            ++m_nCurrentCol;
        } else if (m_nCurrentLine + 1 < m_nShownLines) {
            ++m_nCurrentLine;
            m_nCurrentCol = 1;
        }
        break;
    case Qt::Key_Up:
        if (m_nCurrentLine == 1) {
            m_nCurrentLine = 0;
            m_nCurrentCol = qBound(2, m_nCurrentCol, m_Lines[0].count - 1);
        }
        break;
    case Qt::Key_Down:
        if (m_nCurrentLine + 1 < m_nShownLines) {
            ++m_nCurrentLine;
            m_nCurrentCol = qMin(m_nCurrentCol, m_Lines[m_nCurrentLine].count - 1);
        }
        break;
    default:
        break;
    }
    update();
}

void QReportDataSetup::mouseReleaseEvent(QMouseEvent* e)
{
    if (!m_bPressed || e->pos() != m_ptPress)
        return;
    if (!hasFocus()) {
        emit signal_MouseClicked();
        return;
    }
    int line = 0;
    int col = 0;
    if (!m_pChoice->isVisible() && CellAt(e->pos(), &line, &col)) {
        m_nCurrentLine = line;
        m_nCurrentCol = col;
        update();
    }
}

void QReportDataSetup::slot_FieldChoiceItemChanged(int id, bool)
{
    if (!m_pChoice->isVisible())
        return;
    m_nPendingField = id;
    update();
}

void QReportDataSetup::slot_FieldChoiceItemSelected(int id, bool)
{
    m_nPendingField = id;
    update();
    ValidChoiceWidget(id);
}

void QReportDataSetup::paintEvent(QPaintEvent*)
{
    if (size() != m_LaidOutSize)
        updateSize();
    GridOrigin();
    QPainter painter(this);
    QFont font = generalFont8;
    font.setPointSizeF(font.pointSizeF() * m_fFontFactor);
    painter.setFont(font);
    const bool current = m_nCurrentLine >= 0 && m_nCurrentCol >= 0;
    const bool choosing = m_pChoice->isVisible();
    const int rows = m_nShownLines + (m_bNoteLine ? 1 : 0);
    QColor textColour = Qt::black;
    QColor background = Qt::white;
    if (m_bHighlighted && !current) {
        background = kSelectedBlue;
        textColour = QColor(0xFF, 0xFF, 0x00);
    }
    painter.setPen(Qt::black);
    painter.setBrush(background);
    painter.drawRect(m_nGridLeft, m_nGridTop, m_nGridWidth, rows * m_nLineHeight);

    for (int l = 0; l < m_nShownLines; ++l) {
        const int y = m_nGridTop + l * m_nLineHeight;
        if (l == 0) {
            painter.setPen(Qt::NoPen);
            painter.setBrush(QColor(0xC0, 0xC0, 0xC0));
            painter.drawRect(m_nGridLeft, m_nGridTop, m_nIndexWidth, rows * m_nLineHeight);
            painter.drawRect(m_nGridLeft, m_nGridTop, m_nIndexWidth + m_nCellWidth[0], m_nLineHeight);
            painter.setPen(textColour);
            painter.drawText(QRect(m_nGridLeft, m_nGridTop, m_nIndexWidth, rows * m_nLineHeight), Qt::AlignCenter,
                             QString::fromLatin1(DataFieldOf(FieldIndex)->pcShortName));
            painter.setPen(Qt::black);
            painter.drawLine(m_nGridLeft + m_nIndexWidth, m_nGridTop, m_nGridLeft + m_nIndexWidth,
                             m_nGridTop + rows * m_nLineHeight);
        } else {
            painter.setPen(Qt::black);
            painter.drawLine(m_nGridLeft + m_nIndexWidth, y, m_nGridLeft + m_nGridWidth, y);
        }
        for (int c = 1; c < m_Lines[l].count; ++c) {
            const QRect cell(CellLeft(l, c), y, m_nCellWidth[l], m_nLineHeight);
            const bool preview = choosing && l == m_nCurrentLine && c == m_nCurrentCol;
            const int id = preview ? m_nPendingField : m_Lines[l].cells[c].nFieldId;
            QString label;
            if (id >= 1 && id < kDataLookupSize)
                label = QString::fromLatin1(DataFieldOf(id)->pcShortName);
            else if (id == -2)
                label = QStringLiteral("Insert");
            else if (id == -1 && preview)
                label = QStringLiteral("Delete");
            painter.setPen(textColour);
            DrawCellLabel(painter, cell, label);
            painter.setPen(Qt::black);
            painter.drawLine(cell.left(), y, cell.left(), y + m_nLineHeight);
        }
    }
    if (m_bNoteLine && m_nShownLines >= 1) {
        const QRect note(m_nGridLeft + m_nIndexWidth, m_nGridTop + m_nShownLines * m_nLineHeight,
                         (m_Lines[0].count - 1) * m_nCellWidth[0], m_nLineHeight);
        painter.setPen(textColour);
        painter.drawText(note.adjusted(2, 0, 0, 0), Qt::AlignLeft | Qt::AlignVCenter,
                         QString::fromLatin1(DataFieldOf(FieldNotes)->pcLongName));
        painter.setPen(Qt::black);
        painter.setBrush(Qt::NoBrush);
        painter.drawRect(note);
    }
    painter.setPen(QPen(QBrush(Qt::black), 1, Qt::SolidLine, Qt::SquareCap, Qt::BevelJoin));
    painter.setBrush(Qt::NoBrush);
    painter.drawRect(m_nGridLeft, m_nGridTop, m_nGridWidth, rows * m_nLineHeight);

    if (!current || m_nCurrentLine >= m_nShownLines || m_nCurrentCol >= m_Lines[m_nCurrentLine].count)
        return;
    const int x = CellLeft(m_nCurrentLine, m_nCurrentCol);
    const int y = m_nGridTop + m_nCurrentLine * m_nLineHeight;
    int w = m_nCellWidth[m_nCurrentLine];
    if (m_nCurrentCol == m_Lines[m_nCurrentLine].count - 1)
        w = m_nGridLeft + m_nGridWidth - x;
    painter.setPen(QPen(QBrush(kSelectedBlue), 2, Qt::DashLine, Qt::FlatCap, Qt::BevelJoin));
    painter.setBrush(choosing ? QColor(0, 255, 0, 100) : QColor(255, 253, 0, 100));
    painter.drawRect(x, y, w, m_nLineHeight);
}
