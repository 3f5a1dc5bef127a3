#include "report/qreportheadersetup.h"

#include "report/qdialogpdffieldchoice.h"
#include "report/reportgridrules.h"

#include "foundation/fonts.h"
#include "foundation/messageloging.h"
#include "widgets/qdialogmessagelineedit.h"
#include "widgets/sharedfonts.h"

#include <QFontMetrics>
#include <QKeyEvent>
#include <QPainter>

using namespace ReportLayout;
using ReportGridRules::IsWideHeaderField;

namespace {
const QColor kSelectedBlue(48, 140, 198);

QFont GridFont(float factor)
{
    QFont font = generalFont8;
    font.setPointSizeF(font.pointSizeF() * factor);
    return font;
}
}  // namespace

QReportHeaderSetup::QReportHeaderSetup(QWidget* parent)
    : QReportSetupGrid(parent, 0), m_fFontFactor(FontFactor())
{
    setStyleSheet(QStringLiteral("color:#FFFFFF;background:#606060;"));
    setFocusPolicy(Qt::ClickFocus);
    for (auto& line : m_Cells)
        for (tyReportBlock& cell : line)
            cell = tyReportBlock{FieldEmpty, QString()};
    m_pChoice = new QDialogPdfFieldChoice(this);
    connect(m_pChoice, &QDialog::finished, this, &QReportHeaderSetup::slot_FieldChoiceFinished);
    connect(m_pChoice, &QDialogPdfFieldChoice::signal_ItemChanged, this,
            &QReportHeaderSetup::slot_FieldChoiceItemChanged);
    connect(m_pChoice, &QDialogPdfFieldChoice::signal_ItemSelected, this,
            &QReportHeaderSetup::slot_FieldChoiceItemSelected);
    m_pChoice->setModal(false);

    const QFontMetrics metrics(GridFont(m_fFontFactor));
    int widest = 0;
    for (int id = 0; id < kHeaderLookupSize; ++id) {
        const tyReportHeaderField* field = HeaderFieldOf(id);
        if (!field || !field->pcName || !*field->pcName)
            continue;
        const QString name = QString::fromLatin1(field->pcName);
        m_pChoice->AddItem(name, id, field->nUserText);
        ++m_nChoiceCount;
        widest = qMax(widest, metrics.boundingRect(name).width());
    }
    m_pChoice->setMaximumWidth(widest + widest / 2);
}

QReportHeaderSetup::~QReportHeaderSetup() = default;

void QReportHeaderSetup::setLineHeader(int line, tyReportBlock* cells)
{
    if (line < 0 || line >= kHeaderLines || !cells)
        return;
    for (int c = 0; c < kHeaderCells; ++c)
        m_Cells[line][c] = cells[0].nFieldId == -1 ? tyReportBlock{FieldEmpty, QString()} : cells[c];
    update();
}

void QReportHeaderSetup::GetLineHeader(int line, tyReportBlock* cells, int count) const
{
    if (line < 0 || line >= kHeaderLines || !cells || count < 1)
        return;
    for (int c = 0; c < qMin(count, int(kHeaderCells)); ++c)
        cells[c] = m_Cells[line][c];
}

void QReportHeaderSetup::SetOverwriteMode(bool on)
{
    m_bOverwrite = on;
    if (m_pTextDialog)
        m_pTextDialog->SetOverwriteMode(on);
}

void QReportHeaderSetup::Exit()
{
    m_pChoice->close();
}

void QReportHeaderSetup::UpdateGeometry()
{
    m_nLineHeight = (height() - 1) / kHeaderLines;
    m_nCellWidth = (width() - 1) / kHeaderCells;
    m_nGridLeft = (width() - kHeaderCells * m_nCellWidth) / 2;
    m_nGridTop = (height() - kHeaderLines * m_nLineHeight) / 2;
}

QPoint QReportHeaderSetup::CellCentre(int line, int col) const
{
    return QPoint(m_nGridLeft + col * m_nCellWidth + m_nCellWidth / 2,
                  m_nGridTop + line * m_nLineHeight + m_nLineHeight / 2);
}

bool QReportHeaderSetup::CellAt(const QPoint& p, int* line, int* col) const
{
    if (m_nLineHeight <= 0 || m_nCellWidth <= 0)
        return false;
    const int dx = p.x() - m_nGridLeft;
    const int dy = p.y() - m_nGridTop;
    // The margin around the cells belongs to no cell.
    if (dx < 0 || dy < 0)
        return false;
    *line = dy / m_nLineHeight;
    *col = dx / m_nCellWidth;
    return *line < kHeaderLines && *col < kHeaderCells;
}

QPoint QReportHeaderSetup::CellBottomLeftGlobal() const
{
    return mapToGlobal(QPoint(m_nCurrentCol * m_nCellWidth + m_nGridLeft,
                              (m_nCurrentLine + 1) * m_nLineHeight + m_nGridTop));
}

void QReportHeaderSetup::DisplayChoiceWidget(int, int)
{
    if (m_nCurrentLine < 0 || m_nCurrentCol < 0)
        return;
    m_pChoice->move(CellBottomLeftGlobal());
    const int itemHeight = m_pChoice->GetItemHeight();
    if (itemHeight <= 0)
        return;
    m_pChoice->setMaximumHeight(int(itemHeight * 10.7));
    m_pChoice->setMinimumHeight(3 * itemHeight);
    m_pChoice->adjustSize();
    if (m_pChoice->SetCurrentItemType(m_Cells[m_nCurrentLine][m_nCurrentCol].nFieldId) == -1)
        return;
    m_nPendingField = m_pChoice->GetCurrentItemType();
    m_bPendingWide = IsWideHeaderField(m_nPendingField);
    m_pChoice->show();
    update();
}

void QReportHeaderSetup::ValidChoiceWidget()
{
    if (m_nCurrentLine < 0 || m_nCurrentCol < 0) {
        m_pChoice->hide();
        return;
    }
    tyReportBlock* line = m_Cells[m_nCurrentLine];
    const bool fits = !(m_bPendingWide && m_nCurrentCol == kHeaderCells - 1);
    QString text = line[m_nCurrentCol].czText;
    const QString prompt = ReportGridRules::HeaderPromptOf(m_nPendingField);
    if (fits && prompt.isEmpty())
        text.clear();
    if (fits && !prompt.isEmpty()) {
        QDialogMessageLineEdit dialog(this);
        dialog.SetOverwriteMode(m_bOverwrite);
        dialog.Setup(prompt, text, CARAC_TEXT, 30);
        dialog.setModal(true);
        const int span = m_nCellWidth * (m_bPendingWide ? 2 : 1);
        dialog.move(CellBottomLeftGlobal() + QPoint((span - dialog.width()) / 2, 0));
        m_pTextDialog = &dialog;
        const int result = dialog.exec();
        m_pTextDialog = nullptr;
        if (result != 0 && dialog.ReturnText(&text))
            SendUserMessage(QStringLiteral("Text label"),
                            QStringLiteral("Text was changed\nUnautorised caracter\nreplaced"), 0, 2, true, 0);
    }
    if (fits)
        ReportGridRules::CommitHeaderCell(line, m_nCurrentCol, m_nPendingField, text);
    m_pChoice->hide();
    update();
}

void QReportHeaderSetup::keyPressEvent(QKeyEvent* e)
{
    MyQDebug("QReportHeaderSetup key:0x%X (%d) mod : 0x%X (%d) scancode 0x%X (%d) nativeVirtualKey 0x%X (%d) "
             "is visibile %d",
             e->key(), e->key(), unsigned(e->modifiers()), int(e->modifiers()), e->nativeScanCode(),
             e->nativeScanCode(), e->nativeVirtualKey(), e->nativeVirtualKey(), m_pChoice->isVisible() ? 1 : 0);
    const bool choosing = m_pChoice->isVisible();
    switch (e->key()) {
    case Qt::Key_Escape:
        if (!choosing && !(e->modifiers() & Qt::ShiftModifier))
            Quit();
        return;
    case Qt::Key_Return:
    case Qt::Key_Enter:
        if (!choosing)
            DisplayChoiceWidget(m_nCurrentCol, m_nCurrentLine);
        return;
    case Qt::Key_Delete:
        m_nPendingField = FieldEmpty;
        m_bPendingWide = false;
        ValidChoiceWidget();
        e->ignore();
        return;
    case Qt::Key_Left:
    case Qt::Key_Right:
    case Qt::Key_Up:
    case Qt::Key_Down:
        if (choosing || m_nCurrentLine < 0)
            return;
        if (e->key() == Qt::Key_Left)
            m_nCurrentCol = qMax(0, m_nCurrentCol - 1);
        else if (e->key() == Qt::Key_Right)
            m_nCurrentCol = qMin(kHeaderCells - 1, m_nCurrentCol + 1);
        else if (e->key() == Qt::Key_Up)
            m_nCurrentLine = qMax(0, m_nCurrentLine - 1);
        else
            m_nCurrentLine = qMin(kHeaderLines - 1, m_nCurrentLine + 1);
        update();
        return;
    default:
        e->ignore();
        return;
    }
}

void QReportHeaderSetup::mouseReleaseEvent(QMouseEvent* e)
{
    if (!m_bPressed)
        return;
    const QPoint delta = e->pos() - m_ptPress;
    if (qAbs(delta.x()) > 20 || qAbs(delta.y()) > 20)
        return;
    if (!hasFocus()) {
        emit signal_MouseClicked();
        return;
    }
    int line = 0;
    int col = 0;
    if (e->button() == Qt::RightButton) {
        if (!CellAt(e->pos(), &line, &col))
            return;
        if (m_pChoice->isVisible())
            m_pChoice->hide();
        m_nCurrentLine = line;
        m_nCurrentCol = col;
        update();
        DisplayChoiceWidget(col, line);
    } else if (e->button() == Qt::LeftButton && !m_pChoice->isVisible() && CellAt(e->pos(), &line, &col)) {
        m_nCurrentLine = line;
        m_nCurrentCol = col;
        update();
    }
}

bool QReportHeaderSetup::EditorOpen() const
{
    return m_pTextDialog || QReportSetupGrid::EditorOpen();
}

void QReportHeaderSetup::slot_FieldChoiceItemChanged(int id, bool wide)
{
    m_nPendingField = id;
    m_bPendingWide = wide;
    update();
}

void QReportHeaderSetup::slot_FieldChoiceItemSelected(int id, bool wide)
{
    m_nPendingField = id;
    m_bPendingWide = wide;
    update();
    ValidChoiceWidget();
}

void QReportHeaderSetup::paintEvent(QPaintEvent*)
{
    UpdateGeometry();
    QPainter painter(this);
    const bool current = m_nCurrentLine >= 0 && m_nCurrentCol >= 0;
    const bool choosing = m_pChoice->isVisible();
    const int gridWidth = kHeaderCells * m_nCellWidth;
    const int gridHeight = kHeaderLines * m_nLineHeight;
    QColor textColour = Qt::black;
    QColor background = Qt::white;
    if (m_bHighlighted && !current) {
        background = kSelectedBlue;
        textColour = QColor(0xFF, 0xFF, 0x00);
    }
    painter.fillRect(QRect(m_nGridLeft, m_nGridTop, gridWidth, gridHeight), background);
    painter.setPen(QPen(QColor(0xC0, 0xC0, 0xC0).lighter(110), 1));
    for (int i = 0; i < kHeaderLines; ++i)
        painter.drawLine(m_nGridLeft, m_nGridTop + i * m_nLineHeight, m_nGridLeft + gridWidth,
                         m_nGridTop + i * m_nLineHeight);
    for (int j = 0; j < kHeaderCells; ++j)
        painter.drawLine(m_nGridLeft + j * m_nCellWidth, m_nGridTop, m_nGridLeft + j * m_nCellWidth,
                         m_nGridTop + gridHeight);

    painter.setFont(GridFont(m_fFontFactor));
    for (int l = 0; l < kHeaderLines; ++l) {
        painter.setPen(Qt::black);
        for (int c = 0; c < kHeaderCells; ++c) {
            const int x = m_nGridLeft + c * m_nCellWidth;
            const int y = m_nGridTop + l * m_nLineHeight;
            tyReportBlock cell = m_Cells[l][c];
            if (choosing && l == m_nCurrentLine && c == m_nCurrentCol)
                cell = tyReportBlock{m_nPendingField, QString()};
            if (cell.nFieldId < 1 || cell.nFieldId > 21)
                continue;
            const tyReportHeaderField* field = HeaderFieldOf(cell.nFieldId);
            const QString name = field && field->pcName ? QString::fromLatin1(field->pcName) : QString();
            QString label = name;
            if (cell.nFieldId == 1 || !cell.czText.isEmpty())
                label += QStringLiteral("%1%2").arg(QStringLiteral("-"), cell.czText);
            const int w = m_nCellWidth * (IsWideHeaderField(cell.nFieldId) ? 2 : 1);
            if (current && !name.isEmpty()) {
                painter.setPen(Qt::black);
                painter.setBrush(choosing ? QBrush(Qt::white) : Qt::NoBrush);
                painter.drawRect(x, y, w, m_nLineHeight);
            }
            painter.setPen(textColour);
            const QString shown = painter.fontMetrics().elidedText(label, Qt::ElideRight, w - 2);
            painter.drawText(QRect(x + 2, y, w - 2, m_nLineHeight), Qt::AlignLeft | Qt::AlignVCenter, shown);
        }
    }

    if (!current)
        return;
    const int x = m_nGridLeft + m_nCurrentCol * m_nCellWidth;
    const int y = m_nGridTop + m_nCurrentLine * m_nLineHeight;
    QColor fill(255, 253, 0, 100);
    int w = m_nCellWidth * (IsWideHeaderField(m_Cells[m_nCurrentLine][m_nCurrentCol].nFieldId) ? 2 : 1);
    Qt::BrushStyle style = Qt::SolidPattern;
    if (choosing) {
        fill = QColor(0, 255, 0, 100);
        w = m_nCellWidth;
        if (m_nCurrentCol > 0 && IsWideHeaderField(m_Cells[m_nCurrentLine][m_nCurrentCol - 1].nFieldId)) {
            painter.setPen(Qt::NoPen);
            painter.setBrush(QBrush(QColor(255, 0, 0, 100), Qt::Dense3Pattern));
            painter.drawRect(x - m_nCellWidth, y, m_nCellWidth, m_nLineHeight);
        }
        if (IsWideHeaderField(m_nPendingField)) {
            if (m_nCurrentCol < kHeaderCells - 1) {
                painter.setPen(Qt::NoPen);
                painter.setBrush(Qt::white);
                painter.drawRect(QRect(QPoint(x + m_nCellWidth + 2, y + 2),
                                       QPoint(x + 2 * m_nCellWidth - 3, y + m_nLineHeight - 3)));
                w = 2 * m_nCellWidth;
            } else {
                fill = QColor(255, 0, 0, 100);
            }
        }
    }
    painter.setPen(QPen(QBrush(kSelectedBlue), 2, Qt::DashLine, Qt::FlatCap, Qt::BevelJoin));
    painter.setBrush(QBrush(fill, style));
    painter.drawRect(x, y, w, m_nLineHeight);
}
