#include "player/qpanpotitem.h"

#include "player/fontfit.h"
#include "widgets/sharedfonts.h"

#include <QMouseEvent>
#include <QPainter>
#include <cstdlib>

namespace {

constexpr int kDarkFactor = 150;
const QColor kHighlight(255, 253, 0);

bool IsFullOrZero(int level)
{
    return level == 0 || level == 100;
}

} // namespace

QPanPotItem::QPanPotItem(QWidget* parent, int id)
    : QWidget(parent)
    , m_nId(id)
    , m_fontSymbol(generalFont6)
{
}

bool QPanPotItem::IsIntermediate() const
{
    return !IsFullOrZero(m_nLeft) || !IsFullOrZero(m_nRight);
}

QPanPotItem::HeldLook QPanPotItem::CurrentHeldLook() const
{
    return HeldLook(m_nLeft, m_nRight, m_nLeftBalance, m_nRightBalance, m_nDisarmed, m_nDisabled, m_bMuted,
                    m_bActive, m_bDarker);
}

void QPanPotItem::RepaintUnlessHeld()
{
    m_Hold.Changed(this);
}

void QPanPotItem::HoldRepaint(bool hold)
{
    m_Hold.Turn(hold, CurrentHeldLook(), this);
}

void QPanPotItem::setPan(int left, int right)
{
    const int oldLeft = m_nLeft;
    const int oldRight = m_nRight;
    const bool wasIntermediate = IsIntermediate();
    const bool plain = left != -1 && IsFullOrZero(left) && IsFullOrZero(right);

    m_nLeft = left == -1 ? oldLeft : left;
    m_nRight = right == -1 ? oldRight : right;

    // The shares are derived only at a full or a silent side; other pans
    // keep the shares of the last such pan.
    const int aL = std::abs(m_nLeft);
    const int aR = std::abs(m_nRight);
    if ((aL == 0 && aR == 0) || aL == 100 || aR == 100) {
        if (aL > aR) {
            m_nLeftBalance = 10000 / (aR + 100);
            m_nRightBalance = 100 - m_nLeftBalance;
        } else if (aL < aR) {
            m_nRightBalance = 10000 / (aL + 100);
            m_nLeftBalance = 100 - m_nRightBalance;
        } else {
            m_nLeftBalance = m_nRightBalance = aL == 0 ? 0 : 50;
        }
    }

    if (m_nLeft == oldLeft && m_nRight == oldRight)
        return;
    if (wasIntermediate == plain)
        m_fFontScale = 0.0f;
    RepaintUnlessHeld();
}

void QPanPotItem::setPan(int code)
{
    int left, right;
    switch (code) {
    case 0: left = 0; right = 0; break;
    case 97: left = 100; right = 0; break;
    case 98: left = 100; right = 100; break;
    case 99: left = 0; right = 100; break;
    default: return;
    }
    if (left == m_nLeft && right == m_nRight)
        return;
    m_nLeft = left;
    m_nRight = right;
    RepaintUnlessHeld();
}

int QPanPotItem::pan(int* left, int* right) const
{
    if (!left)
        return 1;
    *left = m_nLeft;
    if (!right)
        return 2;
    *right = m_nRight;
    return 0;
}

void QPanPotItem::setDesarmed(bool disarmed)
{
    m_nDisarmed = disarmed ? 1 : 0;
    RepaintUnlessHeld();
}

void QPanPotItem::setDisabled(bool disabled)
{
    if (m_nDisabled == (disabled ? 1 : 0))
        return;
    m_nDisabled = disabled ? 1 : 0;
    RepaintUnlessHeld();
}

void QPanPotItem::SetMuted(bool muted)
{
    if (muted == m_bMuted)
        return;
    m_bMuted = muted;
    RepaintUnlessHeld();
}

void QPanPotItem::setActive(bool active)
{
    m_bActive = active;
    RepaintUnlessHeld();
}

void QPanPotItem::SetDarker(bool darker)
{
    if (darker == m_bDarker)
        return;
    m_bDarker = darker;
    RepaintUnlessHeld();
}

void QPanPotItem::setId(int id)
{
    m_nId = id;
    update();
}

void QPanPotItem::slot_SelectionChanged(int selectedId)
{
    if (selectedId != m_nId && m_nSelectionId != m_nId)
        return;
    m_nSelectionId = selectedId;
    update();
}

bool QPanPotItem::Highlighted() const
{
    return m_nSelectionId == m_nId || m_bHover;
}

QColor QPanPotItem::Shade(const QColor& color) const
{
    return m_bDarker ? color.darker(kDarkFactor) : color;
}

QString QPanPotItem::symbol() const
{
    return ComputeLook().symbol;
}

QPanPotItem::Look QPanPotItem::ComputeLook() const
{
    Look look;
    const bool highlight = Highlighted();
    if (!m_bActive) {
        look.symbol = QString::fromUtf8("\u2022");
        look.symbolColor = Qt::darkGray;
        return look;
    }
    if (m_nDisabled) {
        look.symbol = QStringLiteral("X");
        look.symbolColor = Qt::darkGray;
        return look;
    }
    look.weight = highlight ? QFont::Bold : QFont::Normal;
    if (m_nDisarmed) {
        look.symbol = QStringLiteral("D");
        look.symbolColor = Qt::red;
        look.fillColor = highlight ? kHighlight.darker(220) : QColor(Qt::black);
        return look;
    }
    look.symbolColor = highlight ? kHighlight : QColor(Qt::white);
    if (std::abs(m_nLeft) == 100 && std::abs(m_nRight) == 100) {
        look.symbol = QStringLiteral("C");
        look.fillLeft = look.fillRight = true;
    } else if (m_nLeft == 100 && m_nRight == 0) {
        look.symbol = QStringLiteral("L");
        look.fillLeft = true;
    } else if (m_nLeft == 0 && m_nRight == 0) {
        look.symbol = QStringLiteral("X");
        look.symbolColor = highlight ? kHighlight : QColor(Qt::darkGray);
        if (highlight)
            look.fillColor = QColor(255, 253, 0, 25);
    } else if (m_nLeft == 0 && m_nRight == 100) {
        look.symbol = QStringLiteral("R");
        look.fillRight = true;
    } else {
        look.fillLeft = look.fillRight = true;
        look.digits = true;
    }
    return look;
}

void QPanPotItem::paintEvent(QPaintEvent*)
{
    QPainter painter(this);
    const int w = width() - 1;
    const int h = height() - 1;
    const QRect field(QPoint(0, 0), QPoint(w - 1, h - 1));
    const Look look = ComputeLook();

    const int light = Highlighted() ? 120 : 100;
    const QColor red = Shade((m_bMuted ? QColor(79, 79, 79) : QColor(184, 0, 0)).lighter(light));
    const QColor green = Shade((m_bMuted ? QColor(127, 127, 127) : QColor(58, 157, 35)).lighter(light));
    painter.setPen(Qt::NoPen);
    if (look.fillColor.isValid()) {
        painter.fillRect(field, Shade(look.fillColor));
    } else if (look.fillLeft) {
        painter.fillRect(field, red);
        if (look.fillRight)
            painter.fillRect(QRect(QPoint(field.center().x(), 0), field.bottomRight()), green);
    } else if (look.fillRight) {
        painter.fillRect(field, green);
    }

    painter.setBrush(Qt::NoBrush);
    painter.setPen(Shade(QColor(Qt::gray)));
    painter.drawRect(field);

    const int hw = (w + 1) / 2;
    const int hh = (h + 1) / 2;
    if (m_fFontScale == 0.0f) {
        const bool wasBold = m_fontSymbol.weight() > 57;
        QFont font = generalFont6;
        font.setWeight(QFont::Bold);
        const QRectF box = look.digits ? QRectF(QPoint(1, 1), QPoint(hw, hh)) : QRectF(QPoint(0, 0), QPoint(w, h));
        m_fFontScale = FontFitFactor(font, box, look.digits ? QStringLiteral("9") : QStringLiteral("C"),
                                     Qt::TextWordWrap | Qt::TextDontClip);
        font = ScaledFont(font, m_fFontScale);
        font.setWeight(wasBold ? QFont::Bold : QFont::Normal);
        m_fontSymbol = font;
    }
    m_fontSymbol.setWeight(look.weight);
    painter.setPen(Shade(look.symbolColor));
    painter.setFont(m_fontSymbol);
    if (look.digits) {
        auto cell = [](int x1, int y1, int x2, int y2) { return QRect(QPoint(x1, y1), QPoint(x2, y2)); };
        painter.drawText(cell(1, 1, hw - 1, hh - 1), Qt::AlignCenter, QString::number(m_nLeftBalance / 10));
        painter.drawText(cell(1, hh, hw - 1, 2 * (hh - 1)), Qt::AlignCenter, QString::number(m_nLeftBalance % 10));
        painter.drawText(cell(hw, 1, 2 * (hw - 1), hh - 1), Qt::AlignCenter, QString::number(m_nRightBalance / 10));
        painter.drawText(cell(hw, hh, 2 * (hw - 1), 2 * (hh - 1)), Qt::AlignCenter,
                         QString::number(m_nRightBalance % 10));
    } else {
        painter.drawText(QRect(QPoint(0, 0), QPoint(w, h)), Qt::AlignCenter, look.symbol);
    }
}

void QPanPotItem::mousePressEvent(QMouseEvent* event)
{
    m_ptPress = event->localPos().toPoint();
    m_bPressed = true;
}

void QPanPotItem::mouseReleaseEvent(QMouseEvent* event)
{
    const bool wasPressed = m_bPressed;
    m_bPressed = false;
    if (!wasPressed || event->localPos().toPoint() != m_ptPress || !isVisible())
        return;
    m_nLastButton = int(event->button());
    emit signal_itemClicked(m_nId, m_nLastButton);
}

void QPanPotItem::enterEvent(QEvent*)
{
    m_bHover = true;
    update();
}

void QPanPotItem::leaveEvent(QEvent*)
{
    m_bHover = false;
    update();
}

void QPanPotItem::resizeEvent(QResizeEvent*)
{
    m_fFontScale = 0.0f;
    update();
}
