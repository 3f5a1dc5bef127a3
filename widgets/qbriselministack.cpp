#include "widgets/qbriselministack.h"

#include <QKeyEvent>

#include "foundation/messageloging.h"
#include "widgets/qbriselbluelabel.h"
#include "widgets/qbriselplaintextedit.h"
#include "widgets/qbriselsequencetextedit.h"

QBriselMiniStack::QBriselMiniStack(QWidget* parent)
    : QStackedWidget(parent),
      m_pLabel(new QBriselBlueLabel(parent)),
      m_pTextEdit(new QBriselPlainTextEdit(parent)),
      m_pSequenceEdit(new QBriselSequenceTextEdit(parent)),
      m_pParent(parent)
{
    connect(m_pLabel, SIGNAL(signal_BlueLabelMouseClick(bool)), this, SLOT(slot_BlueLabelMouseClick(bool)));
    m_pTextEdit->setPlainText(QStringLiteral("..."));
    m_pTextEdit->SetupPadding(0, QColor(48, 140, 198));
    m_pSequenceEdit->SetupPadding(0, "#308CC6;");
    m_pLabel->setText(QStringLiteral("..."));
    m_pLabel->SetupPadding(0);
    m_pLabel->setAlignment(Qt::AlignLeft | Qt::AlignVCenter);
    addWidget(m_pLabel);
    addWidget(m_pTextEdit);
    addWidget(m_pSequenceEdit);
}

QBriselMiniStack::~QBriselMiniStack()
{
    delete m_pLabel;
    delete m_pTextEdit;
    delete m_pSequenceEdit;
}

void QBriselMiniStack::SetupTextOnly(const QString& text, Qt::Alignment alignment)
{
    m_pLabel->setText(text);
    m_pLabel->setAlignment(alignment);
}

void QBriselMiniStack::SetNotApplicable(bool notApplicable)
{
    m_bNotApplicable = notApplicable;
    if (notApplicable)
        m_pLabel->NotApplicable();
    else
        m_pLabel->DisableBlue();
}

bool QBriselMiniStack::IsApplicable() const
{
    return !m_bNotApplicable;
}

QBriselMiniStack::_tMiniStackState QBriselMiniStack::GetState() const
{
    return m_eState;
}

void QBriselMiniStack::SwitchStateTo(_tMiniStackState state)
{
    if (m_bNotApplicable) {
        setCurrentIndex(0);
        m_pLabel->NotApplicable();
        m_eState = MINISTACK_OFF;
        return;
    }
    switch (state) {
    case MINISTACK_OFF:
        setCurrentIndex(0);
        m_pLabel->DisableBlue();
        m_eState = MINISTACK_OFF;
        break;
    case MINISTACK_SELECTED:
        setCurrentIndex(0);
        m_pLabel->EnableBlue();
        m_eState = MINISTACK_SELECTED;
        break;
    case MINISTACK_EDIT:
        if (!m_bEditable) {
            m_eState = MINISTACK_SELECTED;
            break;
        }
        if (m_nNature == MINISTACK_TEXT) {
            m_pTextEdit->setFocus(Qt::OtherFocusReason);
            setCurrentIndex(1);
        } else if (m_nNature == MINISTACK_SEQUENCE) {
            m_pSequenceEdit->setFocus(Qt::OtherFocusReason);
            setCurrentIndex(2);
        }
        m_eState = MINISTACK_EDIT;
        break;
    default:
        break;
    }
}

bool QBriselMiniStack::IsClicked() const
{
    return m_bClicked;
}

void QBriselMiniStack::AckClicked()
{
    m_bClicked = false;
}

void QBriselMiniStack::slot_BlueLabelMouseClick(bool)
{
    if (IsApplicable())
        m_bClicked = true;
}

void QBriselMiniStack::keyPressEvent(QKeyEvent* e)
{
    switch (e->key()) {
    case Qt::Key_Tab:
    case Qt::Key_Return:
    case Qt::Key_Enter:
    case Qt::Key_Up:
    case Qt::Key_Down:
        MyQDebug("QBriselMiniStack::keyPressEvent() key 0x%X", static_cast<unsigned>(e->key()));
        break;
    default:
        break;
    }
    QWidget::keyPressEvent(e);
}
