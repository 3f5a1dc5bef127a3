#include "report/qdialogreporttakefilters.h"

#include "report/reporttakefilters.h"

#include "foundation/fonts.h"
#include "widgets/qbriselbluelabel.h"
#include "widgets/qbriselministack.h"
#include "widgets/sharedfonts.h"
#include "widgets/screenfit.h"

#include <QAction>
#include <QKeyEvent>
#include <QLabel>
#include <QMenu>
#include <QMouseEvent>
#include <QPushButton>

namespace {
const char* const kMenuEntries[7] = {"Take (t)", "Pickup (p)", "Wild (w)", "Announce (a)",
                                     "Not good (n)", "Rehearsal (r)", "sound Guide (g)"};
const char* const kRowMarks[3] = {"\u2776", "\u2777", "\u2778"};

QLabel* MakeLabel(QWidget* parent, const QRect& geometry, const QString& text)
{
    auto* label = new QLabel(text, parent);
    label->setGeometry(geometry);
    QFont font = label->font();
    font.setPointSize(9);
    label->setFont(font);
    return label;
}

QBriselMiniStack* MakeField(QWidget* parent, const QRect& geometry)
{
    auto* field = new QBriselMiniStack(parent);
    field->setGeometry(geometry);
    field->setFrameShape(QFrame::NoFrame);
    field->SwitchStateTo(QBriselMiniStack::MINISTACK_OFF);
    field->SetupTextOnly(QStringLiteral("---"), Qt::AlignLeft | Qt::AlignVCenter);
    field->Label()->setFont(generalFont9);
    field->Label()->SetupBackGround(QBriselBlueLabel::BACKGROUND_DEEP_BLUE);
    return field;
}
}  // namespace

QDialogReportTakeFilters::QDialogReportTakeFilters(QWidget* parent, bool)
    : QDialog(parent), m_pParent(parent), m_Navigator(this)
{
    KeepOnScreen(this);
    setObjectName(QStringLiteral("QDialogReportTakeFilters"));
    setWindowTitle(QStringLiteral("Dialog"));
    resize(270, 145);
    setStyleSheet(QStringLiteral("color:#FFFFFF;background:#707070"));
    setWindowFlags(Qt::Dialog | Qt::FramelessWindowHint);
    setModal(true);

    auto* header = new QLabel(QStringLiteral("REPORT TAKE FILTER"), this);
    header->setObjectName(QStringLiteral("m_CtrlHeaderLabel"));
    header->setGeometry(0, 0, 270, 21);
    header->setAlignment(Qt::AlignCenter);
    header->setStyleSheet(QStringLiteral("color:#C0C0C0;background:#404040;"));
    MakeLabel(this, QRect(29, 25, 95, 19), QStringLiteral("# of reports"));
    m_pCountField = MakeField(this, QRect(135, 25, 90, 19));
    m_pCountField->setObjectName(QStringLiteral("m_CtrlMiniStack_Nb_Reports"));
    for (int i = 0; i < 3; ++i) {
        m_pRowLabel[i] = MakeLabel(this, QRect(60, 50 + 25 * i, 30, 19), QStringLiteral("-"));
        m_pRowLabel[i]->setObjectName(QStringLiteral("m_CtrlLabel_TakeFilter_%1").arg(i + 1));
        m_pFilterField[i] = MakeField(this, QRect(135, 50 + 25 * i, 90, 19));
        m_pFilterField[i]->setObjectName(QStringLiteral("m_CtrlMiniStack_TakeFilter_%1").arg(i + 1));
    }
    m_pFilterField[1]->SetNotApplicable(true);
    m_pFilterField[2]->SetNotApplicable(true);

    const QString buttonStyle = QStringLiteral("color:#C0C0C0;background:#505050;");
    auto* ok = new QPushButton(QStringLiteral("Ok"), this);
    ok->setObjectName(QStringLiteral("m_CtrlButton_Ok"));
    ok->setGeometry(45, 122, 81, 20);
    ok->setStyleSheet(buttonStyle);
    ok->setAutoDefault(false);
    auto* cancel = new QPushButton(QStringLiteral("Cancel"), this);
    cancel->setObjectName(QStringLiteral("m_CtrlButton_Cancel"));
    cancel->setGeometry(145, 122, 81, 20);
    cancel->setStyleSheet(buttonStyle);
    cancel->setAutoDefault(false);
    connect(ok, &QPushButton::clicked, this, &QDialogReportTakeFilters::slot_ButtonOkClicked);
    connect(cancel, &QPushButton::clicked, this, &QDialogReportTakeFilters::slot_ButtonEscClicked);

    m_Navigator.InsertItem(m_pCountField);
    for (QBriselMiniStack* field : m_pFilterField)
        m_Navigator.InsertItem(field);
    m_Navigator.MiniStackFieldManager(1);

    SetReportTakeFilters(QString(), false);
    connect(&m_Navigator, &QBriselMiniStackManager::signal_UserClickedOk, this,
            &QDialogReportTakeFilters::slot_UserClickedOk);

    m_pMenu = new QMenu(this);
    m_pMenu->setFont(generalFont7);
    m_pMenu->setStyleSheet(QStringLiteral("QMenu{background-color:rgb(107,140,161);}"
                                          "QMenu::item:selected{background-color:rgb(60,60,128);}"));
    const QString letters = QString::fromLatin1(TakeFilters::kLetters);
    for (int i = 0; i < 7; ++i) {
        QAction* action = m_pMenu->addAction(QString::fromLatin1(kMenuEntries[i]));
        action->setCheckable(true);
        action->setChecked(true);
        action->setData(letters.at(i));
    }
    m_pMenu->installEventFilter(this);
    InitFontSize(this);
}

QDialogReportTakeFilters::~QDialogReportTakeFilters() = default;

QString QDialogReportTakeFilters::GetFilterUserText(QString filter)
{
    return TakeFilters::UserText(filter);
}

void QDialogReportTakeFilters::SetReportTakeFilters(QString filters, bool given)
{
    if (given) {
        m_czGivenFilters = filters;
        m_lReportFilters = TakeFilters::Split(filters);
        m_nReportCount = m_lReportFilters.size();
    }
    m_czCurrentFilters = filters;
    RefreshDisplay();
}

void QDialogReportTakeFilters::RefreshDisplay()
{
    if (m_nReportCount == 0)
        m_nReportCount = 1;
    for (int i = 0; i < 3; ++i) {
        const bool counted = i < m_nReportCount;
        const bool known = i < m_lReportFilters.size();
        m_pFilterField[i]->SetNotApplicable(!counted);
        m_pRowLabel[i]->setText(counted ? QString::fromUtf8(kRowMarks[i]) : QStringLiteral("-"));
        m_pRowLabel[i]->setEnabled(!counted);
        QString text;
        if (counted)
            text = TakeFilters::UserText(known ? m_lReportFilters.at(i) : QString());
        else
            text = known ? TakeFilters::UserText(m_lReportFilters.at(i)) : QStringLiteral("--");
        m_pFilterField[i]->SetupTextOnly(text, Qt::AlignLeft | Qt::AlignVCenter);
    }
    m_pCountField->SetupTextOnly(QStringLiteral("%1").arg(m_nReportCount), Qt::AlignLeft | Qt::AlignVCenter);
}

void QDialogReportTakeFilters::StepCount(int step)
{
    if (step > 0)
        m_nReportCount = m_nReportCount >= 3 ? 1 : m_nReportCount + 1;
    else
        m_nReportCount = qMax(1, m_nReportCount - 1);
    RefreshDisplay();
}

void QDialogReportTakeFilters::DisplayTakeTypeList(int report)
{
    if (report < 0 || report > 2)
        return;
    const QString filter = report < m_lReportFilters.size() ? m_lReportFilters.at(report) : QString();
    for (QAction* action : m_pMenu->actions())
        action->setChecked(filter.isEmpty() || filter.contains(action->data().toChar()));
    m_pMenu->exec(m_pFilterField[report]->mapToGlobal(QPoint(0, -10)));

    QString checked;
    for (QAction* action : m_pMenu->actions())
        if (action->isChecked())
            checked.append(action->data().toChar());
    while (m_lReportFilters.size() <= report)
        m_lReportFilters.append(QString());
    m_lReportFilters[report] = TakeFilters::FromChecked(checked);
    SetReportTakeFilters(m_lReportFilters.join(QLatin1Char(';')), false);
}

bool QDialogReportTakeFilters::eventFilter(QObject* watched, QEvent* e)
{
    if (watched != m_pMenu)
        return QDialog::eventFilter(watched, e);
    switch (e->type()) {
    case QEvent::MouseButtonPress: {
        // A press toggles the entry and keeps the menu open for the next one.
        auto* mouse = static_cast<QMouseEvent*>(e);
        if (QAction* action = m_pMenu->actionAt(mouse->pos()))
            action->setChecked(!action->isChecked());
        return true;
    }
    case QEvent::MouseButtonRelease:
    case QEvent::MouseButtonDblClick:
        return true;
    case QEvent::KeyPress: {
        const int key = static_cast<QKeyEvent*>(e)->key();
        if (key == Qt::Key_Left || key == Qt::Key_Right) {
            if (QAction* action = m_pMenu->activeAction())
                action->setChecked(!action->isChecked());
            return true;
        }
        return false;
    }
    default:
        return false;
    }
}

int QDialogReportTakeFilters::SelectedFieldIndex() const
{
    QBriselMiniStack* selected = nullptr;
    if (m_Navigator.GetSelectedMiniStackField(&selected) != 0 || !selected)
        return -1;
    if (selected == m_pCountField)
        return 0;
    for (int i = 0; i < 3; ++i)
        if (selected == m_pFilterField[i])
            return i + 1;
    return -1;
}

void QDialogReportTakeFilters::FinishAndClose()
{
    m_czCurrentFilters = TakeFilters::Finish(m_lReportFilters, m_nReportCount);
    done(0);
}

void QDialogReportTakeFilters::keyPressEvent(QKeyEvent* e)
{
    switch (e->key()) {
    case Qt::Key_Escape:
        FinishAndClose();
        break;
    case Qt::Key_Return:
    case Qt::Key_Left:
    case Qt::Key_Right: {
        e->accept();
        const int field = SelectedFieldIndex();
        if (field == 0) {
            StepCount(e->key() == Qt::Key_Left ? -1 : 1);
        } else if (field > 0) {
            DisplayTakeTypeList(field - 1);
            m_Navigator.MiniStackFieldManager(1);
        }
        break;
    }
    case Qt::Key_Up:
    case Qt::Key_Plus:
        m_Navigator.MiniStackMoveLeft();
        break;
    case Qt::Key_Down:
    case Qt::Key_Minus:
        m_Navigator.MiniStackMoveRight();
        break;
    default:
        break;
    }
}

void QDialogReportTakeFilters::slot_UserClickedOk(bool)
{
    if (m_Navigator.GetState() != QBriselMiniStackManager::MANAGER_SELECT)
        return;
    const int field = SelectedFieldIndex();
    if (field == 0) {
        StepCount(1);
        return;
    }
    if (field < 1 || field > m_nReportCount)
        return;
    DisplayTakeTypeList(field - 1);
    m_Navigator.MiniStackFieldManager(1);
}

void QDialogReportTakeFilters::slot_ButtonOkClicked()
{
    FinishAndClose();
}

void QDialogReportTakeFilters::slot_ButtonEscClicked()
{
    done(1);
}
