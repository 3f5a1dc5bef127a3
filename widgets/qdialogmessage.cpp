#include "widgets/qdialogmessage.h"

#include <QFocusEvent>
#include <QKeyEvent>

#include "foundation/fonts.h"
#include "foundation/messageloging.h"
#include "widgets/sharedfonts.h"
#include "widgets/ui_qdialogmessage.h"
#include "widgets/screenfit.h"

QDialogMessage::QDialogMessage(QWidget* parent) : QDialog(parent), ui(new Ui::QDialogMessage)
{
    KeepOnScreen(this);
    ui->setupUi(this);
    InitFontSize(this);

    setStyleSheet(QStringLiteral("color:#FFFFFF;background:#996060"));
    const QString headerSheet = QStringLiteral("color:#C0C0C0;background:#895050;");
    ui->m_CtrlHeaderLabel->setStyleSheet(headerSheet);
    ui->m_CtrlBottomLabel_Ok->setStyleSheet(headerSheet);
    ui->m_CtrlBottomLabel_Esc->setStyleSheet(headerSheet);

    ui->m_CtrlHeaderLabel->setFont(generalFont7);
    ui->m_CtrlHeaderLabel->setAlignment(Qt::AlignCenter);
    ui->m_CtrlTextLabel->setFont(generalFont8);
    ui->m_CtrlTextLabel->setAlignment(Qt::AlignCenter);
    ui->m_CtrlBottomLabel_Ok->setFont(generalFont7);
    ui->m_CtrlBottomLabel_Ok->setAlignment(Qt::AlignRight | Qt::AlignVCenter);
    ui->m_CtrlBottomLabel_Esc->setFont(generalFont7);
    ui->m_CtrlBottomLabel_Esc->setAlignment(Qt::AlignLeft | Qt::AlignVCenter);

    setWindowFlags(windowFlags() | Qt::Tool);
    setMaximumSize(280, 120);
    ui->m_CtrlHeaderLabel->setGeometry(0, 0, 281, 21);
    ui->m_CtrlTextLabel->setGeometry(0, 20, 280, 80);
    ui->m_CtrlBottomLabel_Ok->setGeometry(0, 100, 140, 20);
    ui->m_CtrlBottomLabel_Esc->setGeometry(140, 100, 140, 20);
    move(180, 60);
    // The dialog itself takes the keys: nothing in it accepts the focus.
    setFocusPolicy(Qt::StrongFocus);

    connect(ui->m_CtrlBottomLabel_Ok, SIGNAL(signal_LabelDoubleClicked(QMouseEvent*)), this,
            SLOT(slot_LabelOkDoubleClicked(QMouseEvent*)));
    connect(ui->m_CtrlBottomLabel_Esc, SIGNAL(signal_LabelDoubleClicked(QMouseEvent*)), this,
            SLOT(slot_LabelEscDoubleClicked(QMouseEvent*)));
}

QDialogMessage::~QDialogMessage() = default;

void QDialogMessage::SetupText(QString title, QString text, bool keepFocus)
{
    m_bKeepFocus = keepFocus;
    SetupColoredAsInformation();
    ui->m_CtrlHeaderLabel->setText(title);
    ui->m_CtrlTextLabel->setText(text);
    ui->m_CtrlBottomLabel_Ok->setText(QStringLiteral("OK to accept /"));
    ui->m_CtrlBottomLabel_Esc->setText(QStringLiteral(" ESC to cancel"));
}

void QDialogMessage::SetupColoredAsInformation()
{
    setStyleSheet(QStringLiteral("color:#FFFFFF;background:qlineargradient(x1: 0, y1: 0, x2: 0, y2: 1,"
                                 "stop: 1 #006699, stop: 0 #005078);"));
    ui->m_CtrlHeaderLabel->setStyleSheet(QStringLiteral("color:#C0C0C0;background:#004466;"));

    const QColor labelText(192, 192, 192);
    const QColor labelBackground(137, 80, 128);
    QColorLabel* ok = ui->m_CtrlBottomLabel_Ok;
    ok->setTextColor(labelText);
    ok->setTextHoverColor(Qt::yellow);
    ok->setBackgroundColor(labelBackground);
    ok->setBackgroundHoverColor(QColor(0, 128, 80));
    ok->setToolTip(QStringLiteral("Dble click: OK"));
    QColorLabel* esc = ui->m_CtrlBottomLabel_Esc;
    esc->setTextColor(labelText);
    esc->setTextHoverColor(Qt::yellow);
    esc->setBackgroundColor(labelBackground);
    esc->setBackgroundHoverColor(QColor(179, 43, 43));
    esc->setToolTip(QStringLiteral("Dble click: ESC"));
    setWindowOpacity(0.85);
}

void QDialogMessage::slot_LabelOkDoubleClicked(QMouseEvent*)
{
    done(GO_ON);
}

void QDialogMessage::slot_LabelEscDoubleClicked(QMouseEvent*)
{
    done(CANCEL);
}

void QDialogMessage::reject()
{
    done(CANCEL);
}

void QDialogMessage::keyPressEvent(QKeyEvent* e)
{
    switch (e->key()) {
    case Qt::Key_Return:
    case Qt::Key_Enter:
        done(GO_ON);
        break;
    case Qt::Key_Escape:
        done(CANCEL);
        break;
    default:
        break;
    }
}

void QDialogMessage::focusInEvent(QFocusEvent* e)
{
    MyQDebug("+++ QDialogMessage::focusInEvent() pour %d", static_cast<int>(e->reason()));
    QDialog::focusInEvent(e);
}

void QDialogMessage::focusOutEvent(QFocusEvent* e)
{
    if (!m_bKeepFocus) {
        QDialog::focusOutEvent(e);
        return;
    }
    MyQDebug("+-+ QDialogMessage::focusOutEvent() pour %d", static_cast<int>(e->reason()));
    if (e->reason() == Qt::ActiveWindowFocusReason) {
        activateWindow();
        setFocus(Qt::OtherFocusReason);
        return;
    }
    QDialog::focusOutEvent(e);
}
