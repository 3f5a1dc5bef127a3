#include "widgets/qbriselbluelabel.h"

#include <QKeyEvent>
#include <QMouseEvent>

#include "foundation/fonts.h"
#include "foundation/messageloging.h"
#include "widgets/fieldeditorops.h"
#include "widgets/sharedfonts.h"

namespace {

const QColor kSelectedBlue(48, 140, 198);
const QColor kDeepBlue(0, 102, 153);
const QColor kDeepBlueFramed(0, 86, 137);
const QColor kPurple(189, 51, 164);
const QColor kPurpleDim(128, 49, 115);
const QColor kPurpleDark(112, 41, 99);
const QColor kGrey(96, 96, 96);

} // namespace

QBriselBlueLabel::QBriselBlueLabel(QWidget* parent) : QLabel(parent)
{
    updateStyleSheet();
    QFont font = generalFont8;
    font.setPointSizeF(font.pointSizeF() * FontFactor());
    setFont(font);
}

QBriselBlueLabel::~QBriselBlueLabel() = default;

void QBriselBlueLabel::SetupBackGround(tBackGround scheme)
{
    m_eBackGround = scheme;
    DisableBlue();
}

void QBriselBlueLabel::SetupPadding(int uniform)
{
    m_nUniformPadding = uniform;
    update();
}

void QBriselBlueLabel::ResetBorder()
{
    m_nBorderRadius = 3;
    m_nBorderWidth = 0;
    m_czBorderStyle.clear();
    m_BorderColor = QColor();
}

void QBriselBlueLabel::EnableBlue()
{
    ResetBorder();
    const bool purple = m_eBackGround == BACKGROUND_PURPLE || m_eBackGround == BACKGROUND_PURPLE_DARK;
    m_BackgroundColor = purple ? kPurple : kSelectedBlue;
    updateStyleSheet();
}

void QBriselBlueLabel::DisableBlue()
{
    ResetBorder();
    const QColor translucent(0, 0, 0, m_nTranslucentAlpha);
    switch (m_eBackGround) {
    case BACKGROUND_BLUE: m_BackgroundColor = translucent; break;
    case BACKGROUND_DEEP_BLUE: m_BackgroundColor = kDeepBlue; break;
    case BACKGROUND_PURPLE_DARK: m_BackgroundColor = m_nUniformPadding ? kGrey : translucent; break;
    default: m_BackgroundColor = kPurpleDim; break;
    }
    updateStyleSheet();
}

void QBriselBlueLabel::NotApplicable()
{
    ResetBorder();
    const QColor translucent(0, 0, 0, m_nTranslucentAlpha);
    switch (m_eBackGround) {
    case BACKGROUND_BLUE:
    case BACKGROUND_PURPLE_DARK:
        m_BackgroundColor = translucent;
        break;
    case BACKGROUND_DEEP_BLUE:
        m_BackgroundColor = m_nUniformPadding ? kDeepBlueFramed : translucent;
        break;
    default:
        m_BackgroundColor = kPurpleDark;
        if (!m_nUniformPadding) {
            m_czBorderStyle = QStringLiteral("solid");
            m_nBorderWidth = 2;
            m_BorderColor = kPurpleDim;
        }
        break;
    }
    updateStyleSheet();
}

void QBriselBlueLabel::updateStyleSheet()
{
    QString sheet = QStringLiteral("color: %1;").arg(m_TextColor.name());
    sheet += FieldStyleRules::Background(m_BackgroundColor);
    if (m_BorderColor.isValid())
        sheet += QStringLiteral("border-color: %1;").arg(m_BorderColor.name());
    if (!m_czBorderStyle.isEmpty())
        sheet += QStringLiteral("border-style: %1;").arg(m_czBorderStyle);
    if (m_nBorderRadius != -1)
        sheet += QStringLiteral("border-radius: %1px;").arg(m_nBorderRadius);
    if (m_nBorderWidth != -1)
        sheet += QStringLiteral("border-width: %1px;").arg(m_nBorderWidth);
    sheet += FieldStyleRules::Padding(m_nUniformPadding, m_nPadding, m_nPaddingLeft, m_nPaddingRight,
                                      m_nPaddingTop, m_nPaddingBottom);
    setStyleSheet(sheet);
}

void QBriselBlueLabel::mousePressEvent(QMouseEvent* e)
{
    const QPoint position = e->localPos().toPoint();
    m_nPressedX = position.x();
    m_nPressedY = position.y();
    m_bPressed = true;
}

void QBriselBlueLabel::mouseReleaseEvent(QMouseEvent* e)
{
    const QPoint position = e->localPos().toPoint();
    if (m_bPressed && position.x() == m_nPressedX && position.y() == m_nPressedY)
        emit signal_BlueLabelMouseClick(false);
}

void QBriselBlueLabel::mouseDoubleClickEvent(QMouseEvent*)
{
    emit signal_BlueLabelMouseClick(true);
}

void QBriselBlueLabel::keyPressEvent(QKeyEvent* e)
{
    switch (e->key()) {
    case Qt::Key_Tab:
    case Qt::Key_Return:
    case Qt::Key_Enter:
    case Qt::Key_Up:
    case Qt::Key_Down:
    case Qt::Key_Space:
        MyQDebug("QBriselBlueLabel::keyPressEvent() key 0x%X", static_cast<unsigned>(e->key()));
        break;
    default:
        break;
    }
    QLabel::keyPressEvent(e);
}
