#include "report/qfileinfolistwidget.h"

#include "report/fieldrules.h"
#include "report/qfileinfowidget.h"
#include "report/qmetadatathread.h"
#include "report/takerowrules.h"
#include "widgets/sharedfonts.h"

#include <QFontMetrics>
#include <QMouseEvent>
#include <QMutexLocker>
#include <QPainter>
#include <QProgressBar>
#include <QScrollArea>
#include <QScrollBar>
#include <QSpacerItem>
#include <QTimer>
#include <QVBoxLayout>

using namespace ReportLayout;

namespace {
const int kRowHeight = 35;
const int kReadableChars = 8;
const int kProgressTop = 45;
const int kScrollTop = 55;
const char kRowNamePrefix[] = "QFileInfoWidget_";
}  // namespace

QFileInfoListWidget::QFileInfoListWidget(QWidget* parent)
    : QWidget(parent)
{
    RegisterTakeMetadataType();
    setMinimumHeight(132);
    m_pScrollArea = new QScrollArea(this);
    m_pScrollArea->setFrameShape(QFrame::NoFrame);
    m_pScrollArea->setWidgetResizable(true);
    m_pContent = new QWidget(m_pScrollArea);
    m_pRowLayout = new QVBoxLayout(m_pContent);
    m_pRowLayout->setContentsMargins(0, 0, 0, 0);
    m_pRowLayout->setSpacing(0);
    m_pSpacer = new QSpacerItem(20, 20, QSizePolicy::Minimum, QSizePolicy::Expanding);
    m_pRowLayout->addItem(m_pSpacer);
    m_pScrollArea->setWidget(m_pContent);
    // The space below the last row keeps the application's dark look.
    QPalette dark = palette();
    dark.setColor(QPalette::Window, QColor(48, 48, 48));
    setPalette(dark);
    setAutoFillBackground(true);
    m_pContent->setPalette(dark);
    m_pContent->setAutoFillBackground(true);
    m_pScrollArea->viewport()->setPalette(dark);
    m_pScrollArea->viewport()->setAutoFillBackground(true);
    m_pVerticalBar = m_pScrollArea->verticalScrollBar();
    connect(m_pScrollArea->horizontalScrollBar(), &QScrollBar::valueChanged, this,
            QOverload<>::of(&QWidget::update));
    m_pProgress = new QProgressBar(this);
    m_pProgress->setMaximumHeight(10);
    m_pProgress->setTextVisible(false);
    m_pProgress->setGeometry(0, kProgressTop, width(), 10);
    m_pScrollTimer = new QTimer(this);
    m_pScrollTimer->setInterval(10);
    connect(m_pScrollTimer, &QTimer::timeout, this, &QFileInfoListWidget::slot_scroll);
    m_pFillTimer = new QTimer(this);
    m_pFillTimer->setSingleShot(true);
    m_pFillTimer->setInterval(30);
    connect(m_pFillTimer, &QTimer::timeout, this, &QFileInfoListWidget::ApplyFill);
    // The rows pass mouse moves on only while a button is held; the list
    // follows the pointer over them as well.
    setMouseTracking(false);
}

QFileInfoListWidget::~QFileInfoListWidget()
{
    // The rows are children of the content widget; the spacer is owned by
    // the layout.
}

QFileInfoWidget* QFileInfoListWidget::Row(int id) const
{
    return id >= 0 && id < m_Rows.size() ? m_Rows.at(id) : nullptr;
}

QList<int> QFileInfoListWidget::SelectedIds() const
{
    QList<int> ids;
    for (QFileInfoWidget* row : m_Rows) {
        if (row->IsSelected())
            ids.append(row->id());
    }
    return ids;
}

void QFileInfoListWidget::slot_List(QStringList names)
{
    m_TakeNames = names;
    m_nRecordsReceived = 0;
    SetFileTags(names);
}

void QFileInfoListWidget::SetFileTags(QStringList names)
{
    const int n = names.size();
    // Rows shown one by one into a visible content widget lay out the whole
    // list once per row; hidden, the content lays out once when shown again.
    const bool many = n - m_Rows.size() > 8 && m_pContent->isVisible();
    if (many)
        m_pContent->hide();
    m_pRowLayout->removeItem(m_pSpacer);
    while (m_Rows.size() > n) {
        QFileInfoWidget* row = m_Rows.takeLast();
        m_pRowLayout->removeWidget(row);
        delete row;
    }
    while (m_Rows.size() < n) {
        const int id = m_Rows.isEmpty() ? 0 : m_Rows.last()->id() + 1;
        auto* row = new QFileInfoWidget(m_pContent, id);
        row->setMinimumHeight(kRowHeight);
        row->setMaximumHeight(kRowHeight);
        row->setSizePolicy(QSizePolicy::Expanding, QSizePolicy::Minimum);
        row->setObjectName(QStringLiteral("QFileInfoWidget_%1").arg(id));
        row->SetParentScrollVertical(m_pVerticalBar);
        row->slot_ColSizeChanged(0, m_ColWidths[0]);
        row->slot_ColSizeChanged(1, m_ColWidths[1]);
        row->slot_ColType(0, m_ColKinds[0]);
        row->slot_ColType(1, m_ColKinds[1]);
        row->slot_CircleDisplay(m_eCircleDisplay);
        connect(this, &QFileInfoListWidget::signal_ColSize, row, &QFileInfoWidget::slot_ColSizeChanged);
        connect(this, &QFileInfoListWidget::signal_ColType, row, &QFileInfoWidget::slot_ColType);
        connect(this, &QFileInfoListWidget::signal_CircleDisplay, row, &QFileInfoWidget::slot_CircleDisplay);
        m_Rows.append(row);
        m_pRowLayout->addWidget(row);
    }
    m_RowWidths.resize(m_Rows.size());
    m_pContent->resize(width(), kRowHeight * m_Rows.size());
    for (int i = 0; i < n; ++i)
        m_Rows.at(i)->SetPrevNext(i > 0 ? m_Rows.at(i - 1) : nullptr, i + 1 < n ? m_Rows.at(i + 1) : nullptr);
    m_pRowLayout->addItem(m_pSpacer);
    if (many)
        m_pContent->show();
    m_nRowCount = n;
    m_bWidthsStale = true;
    update();
}

void QFileInfoListWidget::slot_MetadataThreadStateChanged(int state, int value)
{
    switch (state) {
    case MetadataStateWaiting:
        m_pProgress->hide();
        break;
    case MetadataStateWoken:
        m_pProgress->show();
        break;
    case MetadataStateListReady:
        m_nPendingProgress = -1;
        m_nRecordsReceived = 0;
        m_pProgress->setRange(0, value);
        break;
    default:
        break;
    }
}

// A progress bar repaints at once at every visible step, and new column
// widths go over every row and repaint the list: at each record that would
// cost more than reading the records.
void QFileInfoListWidget::ScheduleFill(int progress)
{
    m_nPendingProgress = progress;
    if (!m_pFillTimer->isActive())
        m_pFillTimer->start();
}

void QFileInfoListWidget::ApplyFill()
{
    if (m_nPendingProgress >= 0)
        m_pProgress->setValue(m_nPendingProgress);
    m_bWidthsStale = true;
    update();
}

void QFileInfoListWidget::slot_Data(int index, QString, tyTakeMetadata record)
{
    // Names and records come from one walk of the loader; a record of an
    // older name list (a day that changed meanwhile) is not this row's.
    if (index < 0 || index >= m_Rows.size() || index >= m_TakeNames.size()
        || m_TakeNames.at(index) != record.czTakeName)
        return;
    ScheduleFill(++m_nRecordsReceived);
    m_Rows.at(index)->SetMetadata(&record);
    m_RowWidths[index].bValid = false;
}

void QFileInfoListWidget::SetupDataLine(int line, tyReportBlock* cells)
{
    if (line < 0 || line > 1 || !cells)
        return;
    tyReportBlock incoming[kDataCells];
    for (int c = 0; c < kDataCells; ++c)
        incoming[c] = cells[c];
    NormaliseDataLine(incoming, line);
    bool changed = false;
    QList<int> kinds;
    for (int c = 0; c < kDataCells; ++c) {
        kinds.append(incoming[c].nFieldId);
        if (incoming[c] != m_DataLayout[line][c]) {
            m_DataLayout[line][c] = incoming[c];
            changed = true;
        }
    }
    m_nColumns[line] = UsedCellCount(m_DataLayout[line]);
    if (kinds != m_ColKinds[line]) {
        m_ColKinds[line] = kinds;
        emit signal_ColType(line, kinds);
    }
    if (changed) {
        for (tyRowWidths& row : m_RowWidths)
            row.bValid = false;
        m_bWidthsStale = true;
        update();
        emit signal_ReloadMetadata();
    }
}

void QFileInfoListWidget::SetupDataNbLine(int) {}

void QFileInfoListWidget::SetupDataNoteLine(bool) {}

void QFileInfoListWidget::SetupDataDisplayCircle(tReportCircleDisplay display)
{
    if (display == m_eCircleDisplay)
        return;
    m_eCircleDisplay = display;
    emit signal_CircleDisplay(display);
    update();
}

int QFileInfoListWidget::AvailableWidth() const
{
    int available = m_pScrollArea->width();
    if (m_pVerticalBar->isVisible())
        available -= m_pVerticalBar->width();
    return available;
}

void QFileInfoListWidget::resizeEvent(QResizeEvent* event)
{
    m_pScrollArea->setGeometry(0, kScrollTop, width(), height() - kScrollTop);
    m_pProgress->setGeometry(0, kProgressTop, width(), 10);
    QWidget::resizeEvent(event);
}

void QFileInfoListWidget::paintEvent(QPaintEvent*)
{
    const int available = AvailableWidth();
    if (available != m_nAvailableWidth) {
        m_nAvailableWidth = available;
        m_bWidthsStale = true;
    }
    if (m_bWidthsStale) {
        ComputeWidths();
        m_bWidthsStale = false;
        update();
    }
    QPainter painter(this);
    DrawHeader(painter);
}

void QFileInfoListWidget::ComputeWidths()
{
    const int k = m_nColumns[0];
    tyColumnFitInput fit;
    fit.widths = QVector<int>(k, 0);
    fit.grows = QVector<bool>(k, false);
    fit.shrinks = QVector<bool>(k, false);
    fit.available = m_nAvailableWidth;
    // A narrow window takes the width off the widest columns first, down to
    // their headings, before every column shrinks alike: track columns
    // then stay wide enough to read their headings and the start of a name.
    fit.minimums = QVector<int>(k, 1);
    fit.withinAvailable = true;
    const QFontMetrics labels(generalFont10);
    for (int c = 0; c < k; ++c) {
        const tyReportDataField* field = DataFieldOf(m_DataLayout[0][c].nFieldId);
        if (!field)
            continue;
        const int w = labels.horizontalAdvance(QString::fromLatin1(field->pcShortName) + QStringLiteral("--"));
        fit.grows[c] = field->bGrows;
        fit.shrinks[c] = field->bShrinks;
        if (field->nId == FieldNotes) {
            fit.notesColumn = c;
            fit.widestNotes = qMax(fit.widestNotes, w);
        }
        fit.widths[c] = qMax(fit.widths[c], w);
        fit.minimums[c] = labels.horizontalAdvance(QString::fromLatin1(field->pcShortName)) + 6;
    }
    fit.averageChar = labels.averageCharWidth();
    for (int id = 0; id < m_Rows.size(); ++id) {
        if (!m_RowWidths[id].bValid)
            MeasureRow(id);
        const tyRowWidths& row = m_RowWidths.at(id);
        // The last row with texts decides whether a Notes column counts.
        if (row.widths.isEmpty() && !m_Rows.at(id)->HasRecord())
            continue;
        fit.notesColumn = row.nNotesColumn;
        fit.widestNotes = qMax(fit.widestNotes, row.nWidestNotes);
        for (int c = 0; c < qMin(k, row.widths.size()); ++c)
            fit.widths[c] = qMax(fit.widths[c], row.widths.at(c));
    }
    // A column that does not shrink keeps its texts whole (index, take id,
    // take), another its heading and the first characters of its texts (a
    // track name). Narrower than that together, the line keeps them and
    // the list scrolls sideways.
    int least = 0;
    for (int c = 0; c < k; ++c) {
        const int readable = fit.shrinks.at(c) ? qMin(fit.widths.at(c), kReadableChars * fit.averageChar)
                                                : fit.widths.at(c);
        fit.minimums[c] = qMax(fit.minimums.at(c), readable);
        least += fit.minimums.at(c);
    }
    fit.available = qMax(fit.available, least);
    const QVector<int> widths = FitColumns(fit);
    m_ColWidths[0] = QList<int>(widths.begin(), widths.end());
    m_nWidestLine = 0;
    for (int w : widths)
        m_nWidestLine += w;
    m_pContent->setMinimumWidth(m_nWidestLine > m_nAvailableWidth ? m_nWidestLine : 0);
    emit signal_ColSize(0, m_ColWidths[0]);
}

void QFileInfoListWidget::MeasureRow(int id)
{
    static const QFontMetrics upright(generalFont9);
    static const QFontMetrics italic([] {
        QFont font = generalFont9;
        font.setItalic(true);
        return font;
    }());
    tyRowWidths& measured = m_RowWidths[id];
    measured = tyRowWidths();
    measured.bValid = true;
    QFileInfoWidget* row = m_Rows.at(id);
    const tyTakeMetadata* record = row->GetMetaDataPtr();
    const bool slanted = record->nTakeType == 2 || !row->HasRecord();
    const QFontMetrics& metrics = slanted ? italic : upright;
    QHash<QString, int>& known = m_MeasuredTexts[slanted ? 1 : 0];
    if (known.size() > 100000)
        known.clear();
    QMutexLocker lock(row->Lock());
    const int columns = qMin(record->lczLine0Texts.size(), m_nColumns[0]);
    measured.widths.resize(columns);
    for (int c = 0; c < columns; ++c) {
        const QString& text = record->lczLine0Texts.at(c);
        auto width = known.find(text);
        if (width == known.end())
            width = known.insert(text, metrics.horizontalAdvance(text + QStringLiteral("MM")));
        const int w = width.value();
        if (m_DataLayout[0][c].nFieldId == FieldNotes) {
            measured.nNotesColumn = c;
            measured.nWidestNotes = qMax(measured.nWidestNotes, w);
        }
        measured.widths[c] = w;
    }
}

void QFileInfoListWidget::DrawHeader(QPainter& painter)
{
    const int top = m_nHeaderTop;
    const int bottom = top + m_nHeaderLineHeight - 1;
    // The heading follows the rows when they scroll sideways.
    const int shift = m_pScrollArea->horizontalScrollBar()->value();
    painter.setPen(QPen(Qt::black, 1));
    painter.setBrush(Qt::lightGray);
    painter.drawRect(QRect(QPoint(-shift, top), QPoint(qMax(m_nAvailableWidth, m_nWidestLine) - 1 - shift, bottom)));
    painter.setBrush(Qt::NoBrush);
    painter.setFont(generalFont10);
    int x = -shift;
    for (int c = 0; c < m_ColWidths[0].size(); ++c) {
        const int w = m_ColWidths[0].at(c);
        const int id = c == 0 ? FieldIndex : m_DataLayout[0][c].nFieldId;
        const tyReportDataField* field = DataFieldOf(id);
        if (field && id != FieldEmpty)
            painter.drawText(QRect(QPoint(x, top), QPoint(x + w - 1, bottom)), Qt::AlignCenter,
                             CellTextFor(QString::fromLatin1(field->pcShortName), painter.fontMetrics(), w));
        x += w;
        if (c + 1 < m_ColWidths[0].size())
            painter.drawLine(x, top, x, bottom);
    }
}

int QFileInfoListWidget::IdAt(QPoint point) const
{
    // Looked up among the list's own children: screen positions are not
    // known on every platform (offscreen, Wayland).
    const QPoint inContent = m_pContent->mapFrom(this, point);
    if (!m_pContent->rect().contains(inContent) || !m_pScrollArea->viewport()->rect().contains(
                                                       m_pScrollArea->viewport()->mapFrom(this, point)))
        return -1;
    QWidget* child = m_pContent->childAt(inContent);
    while (child && child->parentWidget() != m_pContent)
        child = child->parentWidget();
    if (!child || !child->objectName().startsWith(QLatin1String(kRowNamePrefix)))
        return -1;
    auto* row = qobject_cast<QFileInfoWidget*>(child);
    return row ? row->id() : -1;
}

void QFileInfoListWidget::ApplyRange()
{
    if (m_nAnchor < 0 || m_nSelectionEnd < 0)
        return;
    const int low = qMin(m_nAnchor, m_nSelectionEnd);
    const int high = qMax(m_nAnchor, m_nSelectionEnd);
    for (QFileInfoWidget* row : m_Rows)
        row->SetSelected(row->id() >= low && row->id() <= high);
}

void QFileInfoListWidget::mousePressEvent(QMouseEvent* event)
{
    if (event->button() != Qt::LeftButton)
        return;
    const int id = IdAt(event->pos());
    if (id < 0)
        return;
    if (event->modifiers() == Qt::ShiftModifier) {
        m_nSelectionEnd = id;
        ApplyRange();
    } else if (event->modifiers() == Qt::ControlModifier) {
        if (QFileInfoWidget* row = Row(id))
            row->SetSelected(!row->IsSelected());
    } else {
        m_nAnchor = id;
    }
}

void QFileInfoListWidget::mouseReleaseEvent(QMouseEvent* event)
{
    if (m_pScrollTimer->isActive())
        m_pScrollTimer->stop();
    if (event->button() != Qt::LeftButton || event->modifiers() != Qt::NoModifier)
        return;
    const int id = IdAt(event->pos());
    if (id >= 0 && id != m_nSelectionEnd) {
        m_nSelectionEnd = id;
        ApplyRange();
    }
}

void QFileInfoListWidget::mouseMoveEvent(QMouseEvent* event)
{
    if (!(event->buttons() & Qt::LeftButton) || event->modifiers() != Qt::NoModifier)
        return;
    AutoScrollCheck(event->pos().y());
    const int id = IdAt(event->pos());
    if (id >= 0 && id != m_nSelectionEnd) {
        m_nSelectionEnd = id;
        ApplyRange();
    }
}

void QFileInfoListWidget::AutoScrollCheck(int y)
{
    if (!m_pVerticalBar->isVisible())
        return;
    const int h = height() - 1;
    if (y > h - 34)
        m_nScrollStep = 2;
    else if (y > h - 69)
        m_nScrollStep = 1;
    else if (y < 35)
        m_nScrollStep = -2;
    else if (y > 69) {
        m_nScrollStep = 0;
        m_pScrollTimer->stop();
    } else
        m_nScrollStep = -1;
    const int next = m_pVerticalBar->value() + m_nScrollStep;
    if (m_nScrollStep != 0 && !m_pScrollTimer->isActive() && next > m_pVerticalBar->minimum()
        && next < m_pVerticalBar->maximum())
        m_pScrollTimer->start();
}

void QFileInfoListWidget::slot_scroll()
{
    QScrollBar* bar = m_pVerticalBar;
    if (m_nScrollStep == 0) {
        m_pScrollTimer->stop();
        return;
    }
    const int next = bar->value() + m_nScrollStep;
    if (m_nScrollStep < 0) {
        if (next >= bar->minimum()) {
            bar->setValue(next);
        } else {
            if (bar->value() != bar->minimum())
                bar->setValue(bar->minimum());
            m_pScrollTimer->stop();
        }
    } else if (next < bar->maximum()) {
        bar->setValue(next);
    } else {
        if (bar->value() != bar->maximum())
            bar->setValue(bar->maximum());
        m_pScrollTimer->stop();
    }
}
