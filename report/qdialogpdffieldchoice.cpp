#include "report/qdialogpdffieldchoice.h"

#include "report/reportlayout.h"

#include "foundation/fonts.h"
#include "widgets/sharedfonts.h"
#include "widgets/screenfit.h"

#include <QEvent>
#include <QHBoxLayout>
#include <QLabel>
#include <QListWidget>
#include <QPushButton>
#include <QVBoxLayout>

namespace {
QPushButton* MakeBarButton(QWidget* parent, QHBoxLayout* bar, const char* label, const char* icon,
                           const char* tip, const char* name)
{
    bar->addWidget(new QLabel(QString::fromLatin1(label), parent));
    auto* button = new QPushButton(parent);
    button->setObjectName(QString::fromLatin1(name));
    button->setFixedSize(20, 20);
    button->setIcon(QIcon(QString::fromLatin1(icon)));
    button->setToolTip(QString::fromLatin1(tip));
    button->setAutoDefault(false);
    bar->addWidget(button);
    return button;
}
}  // namespace

QDialogPdfFieldChoice::QDialogPdfFieldChoice(QWidget* parent) : QDialog(parent), m_fFontFactor(FontFactor())
{
    KeepOnScreen(this);
    setWindowTitle(QStringLiteral("Dialog"));
    resize(127, 210);
    setWindowFlags(Qt::Dialog | Qt::FramelessWindowHint);
    auto* layout = new QVBoxLayout(this);
    layout->setSpacing(2);
    layout->setContentsMargins(0, 0, 0, 0);
    auto* barFrame = new QWidget(this);
    barFrame->setFixedHeight(20);
    auto* bar = new QHBoxLayout(barFrame);
    bar->setSpacing(0);
    bar->setContentsMargins(0, 0, 0, 0);
    QPushButton* insert = MakeBarButton(barFrame, bar, "Add:", ":/res/Resources/Insert.png", "Insert New Col",
                                        "m_CtrlButton_Insert");
    QPushButton* remove = MakeBarButton(barFrame, bar, "Del.", ":/res/Resources/delete.png", "Delete Col",
                                        "m_CtrlButton_Delete");
    QPushButton* exit = MakeBarButton(barFrame, bar, "Exit", ":/res/Resources/GoBack.png", "Close",
                                      "m_CtrlButton_Exit");
    layout->addWidget(barFrame);
    m_pList = new QListWidget(this);
    m_pList->setObjectName(QStringLiteral("m_CtrlListWidget"));
    m_pList->setFont(generalFont8);
    m_pList->setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    m_pList->setSizeAdjustPolicy(QAbstractScrollArea::AdjustIgnored);
    layout->addWidget(m_pList);

    connect(insert, &QPushButton::clicked, this, &QDialogPdfFieldChoice::slot_ButtonInsertClicked);
    connect(remove, &QPushButton::clicked, this, &QDialogPdfFieldChoice::slot_ButtonDeleteClicked);
    connect(exit, &QPushButton::clicked, this, &QDialogPdfFieldChoice::slot_ButtonExitClicked);
    connect(m_pList, &QListWidget::itemActivated, this, &QDialogPdfFieldChoice::slot_WidgetChoiceItemActivated);
    connect(m_pList, &QListWidget::itemSelectionChanged, this,
            &QDialogPdfFieldChoice::slot_WidgetChoiceItemSelectionChanged);
    setWindowModality(Qt::NonModal);
    m_pList->installEventFilter(this);
}

QDialogPdfFieldChoice::~QDialogPdfFieldChoice() = default;

void QDialogPdfFieldChoice::AddItem(QString text, int id, int flag)
{
    QFont font = generalFont8;
    font.setPointSizeF(font.pointSizeF() * m_fFontFactor);
    auto* item = new QListWidgetItem;
    item->setData(IdRole, id);
    item->setData(FlagRole, flag);
    item->setText(text);
    item->setFont(font);
    m_pList->insertItem(m_pList->count(), item);
    if (id == ReportLayout::FieldTake)
        m_pTakeItem = item;
    else if (id >= ReportLayout::FieldSeason && id <= ReportLayout::FieldEffect)
        m_pAdvancedItems[id - ReportLayout::FieldSeason] = item;
}

void QDialogPdfFieldChoice::ReplaceAdvancedItems()
{
    if (!m_pTakeItem)
        return;
    const int r = m_pList->row(m_pTakeItem);
    if (r < 7)
        return;
    for (int i = 0; i < 6; ++i) {
        QListWidgetItem* item = m_pAdvancedItems[i];
        if (!item)
            continue;
        m_pList->takeItem(m_pList->row(item));
        m_pList->insertItem(r - 1 - i, item);
    }
}

void QDialogPdfFieldChoice::SetSortingEnabled(bool on)
{
    m_pList->setSortingEnabled(on);
}

int QDialogPdfFieldChoice::GetItemHeight() const
{
    if (m_pList->count() == 0)
        return -1;
    const QRect rect = m_pList->visualItemRect(m_pList->item(0));
    const int height = rect.bottom() - rect.top() + 1;
    // A list not laid out yet reports an empty rectangle: its size hint stands in.
    return height > 0 ? height : m_pList->sizeHintForRow(0);
}

int QDialogPdfFieldChoice::SetCurrentItemType(int id)
{
    if (m_pList->count() == 0)
        return -1;
    for (int row = 0; row < m_pList->count(); ++row) {
        if (m_pList->item(row)->data(IdRole).toInt() == id) {
            m_pList->setCurrentRow(row);
            return row;
        }
    }
    m_pList->setCurrentRow(0);
    return 0;
}

int QDialogPdfFieldChoice::GetCurrentItemType() const
{
    const QListWidgetItem* item = m_pList->currentItem();
    return item ? item->data(IdRole).toInt() : 0;
}

void QDialogPdfFieldChoice::slot_WidgetChoiceItemActivated(QListWidgetItem* item)
{
    if (item)
        emit signal_ItemSelected(item->data(IdRole).toInt(), item->data(FlagRole).toInt() != 0);
}

void QDialogPdfFieldChoice::slot_WidgetChoiceItemSelectionChanged()
{
    if (const QListWidgetItem* item = m_pList->currentItem())
        emit signal_ItemChanged(item->data(IdRole).toInt(), item->data(FlagRole).toInt() != 0);
}

void QDialogPdfFieldChoice::slot_ButtonInsertClicked()
{
    emit signal_ItemSelected(CommandInsert, false);
}

void QDialogPdfFieldChoice::slot_ButtonDeleteClicked()
{
    emit signal_ItemSelected(CommandDelete, false);
}

void QDialogPdfFieldChoice::slot_ButtonExitClicked()
{
    close();
}

bool QDialogPdfFieldChoice::eventFilter(QObject* watched, QEvent* e)
{
    if (watched == m_pList && e->type() == QEvent::FocusOut)
        emit finished(-1);
    return QDialog::eventFilter(watched, e);
}

void QDialogPdfFieldChoice::focusInEvent(QFocusEvent*) {}

void QDialogPdfFieldChoice::focusOutEvent(QFocusEvent*) {}
