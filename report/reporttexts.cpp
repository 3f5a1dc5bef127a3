#include "report/reporttexts.h"

#include <QFontMetrics>
#include <QFontMetricsF>
#include <QHash>
#include <QPainter>
#include <QTextLayout>
#include <QVector>

#include <cmath>

struct ReportTexts::tyText
{
    int advance = -1;
    QVector<QPair<QString, int>> suffixed;   // suffix, advance of the text with it
    qreal width = -1;   // unrounded, as the elision compares it
    std::unique_ptr<QTextLayout> layout;
    bool bLaidOut = false;
    QHash<int, QString> elided;
};

struct ReportTexts::tyFont
{
    QFont font;
    std::unordered_map<QString, tyText> texts;
};

namespace {
// Texts that QPainter changes before laying them out (control characters,
// mnemonics, length variants) or that need more than a plain line.
bool IsPlainLine(const QString& text)
{
    for (const QChar c : text) {
        const ushort u = c.unicode();
        if (u < 0x20 || u == 0x9c || u == '&' || c == QChar::LineSeparator || c == QChar::ParagraphSeparator)
            return false;
    }
    return true;
}
}  // namespace

ReportTexts::ReportTexts(const QPaintDevice* device, Qt::LayoutDirection direction)
    : m_pDevice(device)
    , m_eDirection(direction)
{
}

ReportTexts::~ReportTexts() = default;

ReportTexts::tyFont& ReportTexts::FontOf(const QFont& font)
{
    if (m_pLast && m_pLast->font == font)
        return *m_pLast;
    for (const auto& known : m_Fonts) {
        if (known->font == font) {
            m_pLast = known.get();
            return *m_pLast;
        }
    }
    m_Fonts.push_back(std::make_unique<tyFont>());
    m_Fonts.back()->font = font;
    m_pLast = m_Fonts.back().get();
    return *m_pLast;
}

ReportTexts::tyText& ReportTexts::TextOf(const QFont& font, const QString& text)
{
    tyFont& known = FontOf(font);
    if (m_pLastEntry && m_pLastTextFont == &known && text.size() == m_czLastText.size()
        && (text.constData() == m_czLastText.constData() || text == m_czLastText))
        return *m_pLastEntry;
    m_pLastEntry = &known.texts[text];   // the map's nodes stay where they are
    m_pLastTextFont = &known;
    m_czLastText = text;
    return *m_pLastEntry;
}

int ReportTexts::Advance(const QFont& font, const QString& text)
{
    tyText& entry = TextOf(font, text);
    if (entry.advance < 0)
        entry.advance = QFontMetrics(font, m_pDevice).horizontalAdvance(text);
    return entry.advance;
}

int ReportTexts::Advance(const QFont& font, const QString& text, const QString& suffix)
{
    tyText& entry = TextOf(font, text);
    for (const auto& known : entry.suffixed) {
        if (known.first == suffix)
            return known.second;
    }
    const int advance = QFontMetrics(font, m_pDevice).horizontalAdvance(text + suffix);
    entry.suffixed.append({suffix, advance});
    return advance;
}

bool ReportTexts::Fits(const QFont& font, const QString& text, int width)
{
    if (text.size() <= 1)
        return true;
    tyText& entry = TextOf(font, text);
    if (entry.width < 0) {
        // The laid-out line holds the same advances, unless trailing blanks
        // are left out of its width.
        QTextLayout* layout = text.back().isSpace() ? nullptr : LayoutOf(entry, font, text);
        entry.width = layout ? layout->lineAt(0).naturalTextWidth()
                             : QFontMetricsF(font, m_pDevice).horizontalAdvance(text);
    }
    return entry.width <= width;
}

QString ReportTexts::Elided(const QFont& font, const QString& text, int width)
{
    tyText& entry = TextOf(font, text);
    const auto found = entry.elided.constFind(width);
    if (found != entry.elided.constEnd())
        return found.value();
    const QString elided = QFontMetrics(font, m_pDevice).elidedText(text, Qt::ElideRight, width);
    entry.elided.insert(width, elided);
    return elided;
}

QTextLayout* ReportTexts::LayoutOf(tyText& entry, const QFont& font, const QString& text)
{
    if (entry.bLaidOut)
        return entry.layout.get();
    entry.bLaidOut = true;
    if (!IsPlainLine(text) || m_eDirection == Qt::RightToLeft)
        return nullptr;
    auto layout = std::make_unique<QTextLayout>(text, font, m_pDevice);
    layout->setCacheEnabled(true);
    QTextOption option;
    option.setAlignment(Qt::AlignLeft);
    option.setTextDirection(m_eDirection);
    layout->setTextOption(option);
    layout->beginLayout();
    QTextLine line = layout->createLine();
    if (line.isValid()) {
        line.setLineWidth(0x01000000);
        line.setPosition(QPointF(0, 0));
    }
    layout->endLayout();
    if (line.isValid() && line.textStart() == 0 && line.textLength() == text.size() && layout->lineCount() == 1)
        entry.layout = std::move(layout);
    return entry.layout.get();
}

void ReportTexts::Draw(QPainter* painter, const QRect& box, int flags, const QString& text)
{
    if (text.isEmpty() || painter->pen().style() == Qt::NoPen)
        return;
    const int horizontal = flags & (Qt::AlignLeft | Qt::AlignRight | Qt::AlignHCenter);
    const int vertical = flags & (Qt::AlignTop | Qt::AlignVCenter);
    const bool known = (flags & ~(Qt::AlignHorizontal_Mask | Qt::AlignVertical_Mask)) == 0
                       && (horizontal == Qt::AlignLeft || horizontal == Qt::AlignRight
                           || horizontal == Qt::AlignHCenter)
                       && (vertical == Qt::AlignTop || vertical == Qt::AlignVCenter)
                       && painter->layoutDirection() == m_eDirection;
    const QFont font = painter->font();
    QTextLayout* layout = known ? LayoutOf(TextOf(font, text), font, text) : nullptr;
    if (!layout) {
        painter->drawText(box, flags, text);
        return;
    }
    const QTextLine line = layout->lineAt(0);
    const qreal height = line.ascent() + line.descent();
    const qreal width = line.naturalTextWidth();
    const qreal advance = line.horizontalAdvance();
    const QRectF r(box);
    const qreal yoff = vertical == Qt::AlignVCenter ? (r.height() - height) / 2 : 0;
    qreal boundsX = 0;
    qreal drawX = 0;
    if (horizontal == Qt::AlignRight) {
        boundsX = r.width() - width;
        drawX = r.width() - advance;
    } else if (horizontal == Qt::AlignHCenter) {
        boundsX = (r.width() - width) / 2;
        drawX = (r.width() - advance) / 2;
    }
    // A text that would overflow its box is clipped by the painter: leave it the whole work.
    if (!r.contains(QRectF(r.x() + boundsX, r.y() + yoff, width, height))) {
        painter->drawText(box, flags, text);
        return;
    }
    line.draw(painter, QPointF(r.x() + drawX, r.y() + yoff));
}

int ReportTexts::CentredBottom(QPainter* painter, const QRect& box, const QString& text)
{
    const QFont font = painter->font();
    QTextLayout* layout = text.isEmpty() || painter->layoutDirection() != m_eDirection
                              ? nullptr
                              : LayoutOf(TextOf(font, text), font, text);
    if (!layout)
        return painter->boundingRect(box, Qt::AlignHCenter | Qt::AlignVCenter, text).bottom();
    const QTextLine line = layout->lineAt(0);
    const qreal height = line.ascent() + line.descent();
    const qreal top = box.y() + (box.height() - height) / 2;
    return int(std::ceil(top + height)) - 1;
}
