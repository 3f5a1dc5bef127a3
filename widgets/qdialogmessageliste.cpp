#include "widgets/qdialogmessageliste.h"

#include <QKeyEvent>
#include <QLayout>
#include <QListWidget>

#include "foundation/fonts.h"
#include "foundation/messageloging.h"
#include "widgets/greydialogparts.h"
#include "widgets/nofocusproxystyle.h"
#include "widgets/ui_qdialogmessageliste.h"

QDialogMessageListe::QDialogMessageListe(QWidget* parent) : QGreyDialogBase(parent), ui(new Ui::QDialogMessageListe)
{
    ui->setupUi(this);
    setMaximumSize(280, 220);
    connect(ui->m_CtrlListWidget, SIGNAL(currentRowChanged(int)), this, SLOT(slot_currentRowChanged(int)));
    connect(ui->m_CtrlListWidget, SIGNAL(itemDoubleClicked(QListWidgetItem*)), this,
            SLOT(slot_ItemDoubleClicked(QListWidgetItem*)));
    GreyDialogParts::ApplyGreyLook(this, ui->m_CtrlHeaderLabel, ui->m_CtrlFrame_Bottom,
                                   {ui->m_CtrlButton_Ok, ui->m_CtrlButton_Cancel});
    ui->m_CtrlListWidget->setStyleSheet(QString::fromLatin1(GreyDialogParts::kBorderlessSheet));
    InstallNoFocusStyle(ui->m_CtrlListWidget);
    FollowHeader(ui->m_CtrlHeaderLabel);
    // The list would take '+' and '-' as a keyboard search; they belong to the dialog.
    ui->m_CtrlListWidget->installEventFilter(this);
    connect(ui->m_CtrlButton_Ok, SIGNAL(clicked(bool)), this, SLOT(slot_ButtonOkClicked()));
    connect(ui->m_CtrlButton_Cancel, SIGNAL(clicked(bool)), this, SLOT(slot_ButtonEscClicked()));
    InitFontSize(this);
}

QDialogMessageListe::~QDialogMessageListe() = default;

int QDialogMessageListe::SetupText(QString title, QStringList& rows, int currentRow, int alignment)
{
    ui->m_CtrlHeaderLabel->setText(title);
    ReadjustDialodSize(rows.size());
    ui->m_CtrlListWidget->insertItems(0, rows);
    for (int i = 0; i < ui->m_CtrlListWidget->count(); ++i)
        ui->m_CtrlListWidget->item(i)->setData(Qt::TextAlignmentRole, alignment);
    m_nLastSelected = currentRow;
    ui->m_CtrlListWidget->setCurrentRow(currentRow);
    return 0;
}

void QDialogMessageListe::ReadjustDialodSize(int rows)
{
    QListWidget* list = ui->m_CtrlListWidget;
    if (list->count() > 0) {
        m_nLineSize = list->visualItemRect(list->item(0)).height();
    } else {
        list->addItem(QStringLiteral("TGgq"));
        m_nLineSize = list->visualItemRect(list->item(0)).height();
        list->clear();
    }
    MyQDebug("m_nLineSize %d", m_nLineSize);
    if (m_nLineSize <= 0)
        m_nLineSize = 20;
    // The list shows whole rows only, all of them when they fit under the
    // dialog's maximum height: a row cut by the buttons reads as the last.
    const int frame = 2 * list->frameWidth();
    list->setFixedHeight(frame);
    layout()->activate();
    const int around = minimumSizeHint().height();
    const int shown = qBound(1, qMin(rows, (maximumHeight() - around) / m_nLineSize), qMax(rows, 1));
    list->setFixedHeight(frame + shown * m_nLineSize);
    layout()->activate();
    resize(maximumWidth(), minimumSizeHint().height());
}

int QDialogMessageListe::GetLastSelectedIndice() const
{
    return m_nLastSelected;
}

void QDialogMessageListe::slot_currentRowChanged(int row)
{
    m_nLastSelected = row;
}

void QDialogMessageListe::slot_ItemDoubleClicked(QListWidgetItem*)
{
    done(1);
}

bool QDialogMessageListe::eventFilter(QObject* watched, QEvent* e)
{
    if (watched == ui->m_CtrlListWidget && e->type() == QEvent::KeyPress) {
        auto* key = static_cast<QKeyEvent*>(e);
        if (key->key() == Qt::Key_Plus || key->key() == Qt::Key_Minus) {
            keyPressEvent(key);
            return true;
        }
    }
    return QGreyDialogBase::eventFilter(watched, e);
}

void QDialogMessageListe::keyPressEvent(QKeyEvent* e)
{
    QListWidget* list = ui->m_CtrlListWidget;
    const int row = list->currentRow();
    switch (e->key()) {
    case Qt::Key_Plus:
        if (row < list->count() - 1)
            list->setCurrentRow(row + 1);
        break;
    case Qt::Key_Minus:
        if (row > 0)
            list->setCurrentRow(row - 1);
        break;
    default:
        if (!AnswerReturnOrEscape(e))
            e->ignore();
        break;
    }
}
