#include "player/qmapitem.h"

#include "player/fontfit.h"
#include "widgets/sharedfonts.h"

#include <QPainter>

namespace {

struct InputKindLook
{
    tInputMasterType type;
    const char* letters;
    const char* symbol;
    const char* text;
    QColor fill;
};

const InputKindLook kKinds[] = {
    {InputMic, "M", "M", "Mic ", QColor(112, 41, 99)},
    {InputMsMid, "m", "m", "Ms-M ", QColor(189, 51, 164)},
    {InputMsSide, "s", "s", "Ms-S ", QColor(189, 51, 164)},
    {InputLine, "L", "L", "Line ", QColor(140, 140, 40)},
    {InputDigital, "D", "D", "Digital ", QColor(167, 85, 2)},
    {InputAes42, "A", "A", "Aes42 ", QColor(255, 120, 0)},
    {InputMix, "X", "X", "Mix ", QColor(184, 0, 0)},
    {InputDante, "N", "N", "Dante ", QColor(152, 111, 150)},
    {InputTrack, "T", "T", "Track ", QColor(18, 47, 114)},
    {InputTalkback, "Tlk", "Tlk", "Talk ", QColor(Qt::black)},
    {InputPostFade, "P", "P", "PostFade ", QColor(28, 159, 179)},
};

const InputKindLook* LookOf(tInputMasterType type)
{
    for (const InputKindLook& k : kKinds) {
        if (k.type == type)
            return &k;
    }
    return nullptr;
}

const QColor kHighlight(255, 253, 0);
const QColor kOutline(160, 160, 164);
const QColor kLeftMix(184, 0, 0);
const QColor kRightMix(58, 157, 35);
const QColor kUnknownFill(192, 192, 192);
const QColor kUnknownText(128, 128, 128);

} // namespace

QMapItem::QMapItem(QWidget* parent, tInputMasterType type, int index, int id, bool sided)
    : QWidget(parent)
    , m_nType(type)
    , m_nId(id)
    , m_nIndex(index)
    , m_bSided(sided)
    , m_font(generalFont6)
{
}

bool QMapItem::IsKnownType() const
{
    return LookOf(m_nType) != nullptr;
}

bool QMapItem::NeedsWideSample() const
{
    return (m_nType == InputDante || m_nType == InputTrack || m_nType == InputPostFade) && m_nIndex > 8;
}

void QMapItem::ResetFitForNumberedTypes()
{
    if (m_nType == InputDante || m_nType == InputTrack || m_nType == InputPostFade)
        m_fFitScale = 0.0f;
}

QMapItem::Look QMapItem::CurrentLook() const
{
    return Look(m_nType, m_nIndex, m_nMapWhole, m_nMapLeft, m_nMapRight, m_bSided, m_bDeactivated, m_bBold);
}

void QMapItem::RepaintUnlessHeld()
{
    m_Hold.Changed(this);
}

void QMapItem::HoldRepaint(bool hold)
{
    m_Hold.Turn(hold, CurrentLook(), this);
}

void QMapItem::setType(tInputMasterType type)
{
    if (type == m_nType)
        return;
    m_nType = type;
    ResetFitForNumberedTypes();
    RepaintUnlessHeld();
}

void QMapItem::setIndex(int index)
{
    m_nIndex = index;
    ResetFitForNumberedTypes();
    RepaintUnlessHeld();
}

void QMapItem::setMap(int key, int value)
{
    int* slot = nullptr;
    bool sided = m_bSided;
    if (key == -1) {
        slot = &m_nMapWhole;
        sided = false;
    } else if (key == 0) {
        slot = &m_nMapLeft;
        sided = true;
    } else if (key == 1) {
        slot = &m_nMapRight;
        sided = true;
    } else {
        return;
    }
    if (*slot == value && sided == m_bSided)
        return;
    *slot = value;
    m_bSided = sided;
    RepaintUnlessHeld();
}

int QMapItem::map(int key) const
{
    switch (key) {
    case -1: return m_nMapWhole;
    case 0: return m_nMapLeft;
    case 1: return m_nMapRight;
    default: return 0;
    }
}

void QMapItem::setDeactivated(bool deactivated)
{
    m_bDeactivated = deactivated;
    RepaintUnlessHeld();
}

void QMapItem::setSided(bool sided)
{
    if (sided == m_bSided)
        return;
    m_bSided = sided;
    RepaintUnlessHeld();
}

void QMapItem::setBold(bool bold)
{
    m_bBold = bold;
    m_font.setWeight(bold ? QFont::Bold : QFont::Normal);
    m_fFitScale = 0.0f;
    update();
}

void QMapItem::setId(int id)
{
    m_nId = id;
    update();
}

void QMapItem::slot_SelectionChanged(int id)
{
    if (id != m_nId && m_nSelectedId != m_nId)
        return;
    m_nSelectedId = id;
    update();
}

QString QMapItem::symbol() const
{
    const InputKindLook* look = LookOf(m_nType);
    QString s = QString::fromLatin1(look ? look->symbol : "?");
    if (m_nIndex < 0)
        return s + QLatin1Char('?');
    if (m_nType == InputMix)
        return m_nIndex == 1 ? s + QLatin1Char('r') : (m_nIndex == 0 ? s + QLatin1Char('l') : s);
    return s + QString::number(m_nIndex + 1);
}

QString QMapItem::text() const
{
    const InputKindLook* look = LookOf(m_nType);
    QString s = QString::fromLatin1(look ? look->text : "??? ");
    if (m_nIndex < 0)
        return s + QStringLiteral(" ? ");
    if (m_nType == InputMix)
        return m_nIndex == 1 ? s + QStringLiteral("Right") : (m_nIndex == 0 ? s + QStringLiteral("Left") : s);
    return s + QString::number(m_nIndex + 1);
}

QColor QMapItem::fillColor() const
{
    if (m_nType == InputMix)
        return m_nIndex == 0 ? kLeftMix : (m_nIndex == 1 ? kRightMix : QColor());
    if (m_nType == InputTrack && (m_nMapWhole == 2 || m_nMapLeft == 2 || m_nMapRight == 2))
        return QColor(28, 159, 179);
    const InputKindLook* look = LookOf(m_nType);
    return look ? look->fill : kUnknownFill;
}

QString QMapItem::cellText() const
{
    if (m_nType == InputMix)
        return m_nIndex == 0 ? QStringLiteral("Xl") : (m_nIndex == 1 ? QStringLiteral("Xr") : QString());
    if (!IsKnownType()) {
        QString letters;
        if (m_nMapWhole != 0)
            letters = QStringLiteral("?");
        else if (m_nIndex == -1)
            letters = QStringLiteral("X");
        if (m_nSelectedId == m_nId && m_nIndex >= 0)
            letters += QString::number(m_nIndex + 1);
        return letters;
    }
    QString letters = QString::fromLatin1(LookOf(m_nType)->letters);
    if (m_nType == InputTrack && (m_nMapWhole == 2 || m_nMapLeft == 2 || m_nMapRight == 2))
        letters = QStringLiteral("P");
    if (m_nIndex >= 0)
        letters += QString::number(m_nIndex + 1);
    return letters;
}

void QMapItem::resizeEvent(QResizeEvent*)
{
    m_fFitScale = 0.0f;
    update();
}

void QMapItem::paintEvent(QPaintEvent*)
{
    QPainter painter(this);
    const int w = width() - 1;
    const int h = height() - 1;
    const QRect full(QPoint(0, 0), QPoint(w, h));

    QColor fill = fillColor();
    QColor textColor = IsKnownType() ? QColor() : kUnknownText;
    const bool disabled = !isEnabled();
    if (disabled) {
        fill = kUnknownFill;
        textColor = kUnknownText;
    }
    if (m_bDeactivated)
        fill = Qt::black;
    const QColor left = disabled ? QColor(79, 79, 79) : kLeftMix;
    const QColor right = disabled ? QColor(127, 127, 127) : kRightMix;

    painter.setPen(Qt::NoPen);
    if (m_nMapWhole != 0) {
        if (fill.isValid())
            painter.fillRect(full, fill);
        textColor = kHighlight;
    } else if (m_nMapLeft != 0 && m_nMapRight != 0) {
        painter.fillRect(full, left);
        painter.fillRect(QRect(QPoint(w - 1 - (w + 1) / 2, 0), QPoint(w, h)), right);
        textColor = Qt::black;
    } else if (m_nMapLeft != 0) {
        painter.fillRect(full, left);
        textColor = Qt::black;
    } else if (m_nMapRight != 0) {
        painter.fillRect(full, right);
        textColor = Qt::black;
    } else {
        textColor = kOutline;
        if (m_bDeactivated)
            painter.fillRect(full, QColor(0, 0, 0, 100));
    }

    painter.setBrush(Qt::NoBrush);
    painter.setPen(m_nSelectedId == m_nId ? kHighlight : kOutline);
    painter.drawRect(full);
    if (m_bDeactivated)
        textColor = QColor(255, 0, 0);

    const QString label = cellText();
    const QRect textBox(QPoint(1, 1), QPoint(w - 1, h - 1));
    if (m_fFitScale == 0.0f) {
        m_fFitScale = FontFitFactor(m_font, textBox, NeedsWideSample() ? QStringLiteral("M24") : QStringLiteral("M8"),
                                    Qt::TextWordWrap | Qt::TextDontClip);
        m_font = ScaledFont(m_font, m_fFitScale);
    }
    if (label.isEmpty())
        return;
    painter.setPen(QPen(textColor, 1));
    painter.setFont(m_font);
    painter.drawText(textBox, Qt::AlignCenter, label);
}
