#include "widgets/qcolorlabel.h"

#include <QEvent>

namespace {

QString RgbaRule(const char* property, const QColor& c)
{
    return QString::asprintf("%s:rgba(%d,%d,%d,%d)", property, c.red(), c.green(), c.blue(), c.alpha());
}

} // namespace

QColorLabel::QColorLabel(QWidget* parent)
    : QClickLabel(parent),
      m_czStartMarker(QString::asprintf("/*-*Start0x%lX*-*/", reinterpret_cast<unsigned long>(this))),
      m_czEndMarker(QString::asprintf("/*-*End0x%lX*-*/", reinterpret_cast<unsigned long>(this)))
{
}

QColorLabel::~QColorLabel() = default;

void QColorLabel::setTextColor(QColor color)
{
    m_TextColor = color;
    m_bTextColorSet = true;
    UpdateColor();
}

void QColorLabel::setTextHoverColor(QColor color)
{
    m_TextHoverColor = color;
    m_bTextHoverColorSet = true;
    setMouseTracking(true);
    UpdateColor();
}

void QColorLabel::setBackgroundColor(QColor color)
{
    m_BackgroundColor = color;
    m_bBackgroundColorSet = true;
    UpdateColor();
}

void QColorLabel::setBackgroundHoverColor(QColor color)
{
    m_BackgroundHoverColor = color;
    m_bBackgroundHoverColorSet = true;
    setMouseTracking(true);
    UpdateColor();
}

void QColorLabel::setStyleSheet(QString styleSheet)
{
    QWidget::setStyleSheet(styleSheet);
    UpdateColor();
}

void QColorLabel::UpdateColor()
{
    QString colour;
    if (m_bTextColorSet)
        colour = RgbaRule("color", (m_bHovered && m_bTextHoverColorSet) ? m_TextHoverColor : m_TextColor);
    QString background;
    if (m_bBackgroundColorSet)
        background = RgbaRule("background-color", (m_bHovered && m_bBackgroundHoverColorSet)
                                                      ? m_BackgroundHoverColor
                                                      : m_BackgroundColor);
    const QString block = m_czStartMarker + ' ' + colour + ';' + background + ' ' + m_czEndMarker;

    QString sheet = styleSheet();
    const int start = sheet.indexOf(m_czStartMarker);
    const int end = sheet.indexOf(m_czEndMarker);
    if (start >= 0 && end > start)
        sheet.remove(start, end + m_czEndMarker.size() - start);
    sheet.append(block);
    QWidget::setStyleSheet(sheet);
    update();
}

bool QColorLabel::event(QEvent* e)
{
    switch (e->type()) {
    case QEvent::Enter:
        if (window()->isActiveWindow() && !m_bHovered) {
            m_bHovered = true;
            UpdateColor();
        }
        break;
    case QEvent::Leave:
    case QEvent::WindowDeactivate:
        m_bHovered = false;
        UpdateColor();
        break;
    default:
        break;
    }
    return QLabel::event(e);
}
