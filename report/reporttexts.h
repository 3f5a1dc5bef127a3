#ifndef NALVO_REPORT_REPORTTEXTS_H
#define NALVO_REPORT_REPORTTEXTS_H

#include <QFont>
#include <QRect>
#include <QString>

#include <memory>
#include <unordered_map>
#include <vector>

class QPainter;
class QPaintDevice;
class QTextLayout;

// The widths and laid-out lines of the texts a PDF report draws on one
// device, kept per font. A day repeats the same few texts (track names,
// scenes, "t3") thousands of times, and shaping them is most of the cost of
// measuring and drawing: each distinct text is shaped once per font. Every
// figure is the one QFontMetrics and QPainter::drawText give for the text.
class ReportTexts
{
public:
    // direction: the layout direction of the painters that draw the texts.
    ReportTexts(const QPaintDevice* device, Qt::LayoutDirection direction);
    ~ReportTexts();

    const QPaintDevice* Device() const { return m_pDevice; }

    // QFontMetrics::horizontalAdvance of the text, or of the text followed
    // by suffix.
    int Advance(const QFont& font, const QString& text);
    int Advance(const QFont& font, const QString& text, const QString& suffix);
    // Whether QFontMetrics::elidedText leaves the text whole in width.
    bool Fits(const QFont& font, const QString& text, int width);
    // QFontMetrics::elidedText at the right.
    QString Elided(const QFont& font, const QString& text, int width);
    // Draws what QPainter::drawText(box, flags, text) draws, in the
    // painter's font and pen. One-line texts with a horizontal and a
    // vertical alignment come from the kept layout; anything else is left
    // to the painter.
    void Draw(QPainter* painter, const QRect& box, int flags, const QString& text);
    // The bottom of QPainter::boundingRect(box, flags, text) for a one-line
    // text vertically centred in box.
    int CentredBottom(QPainter* painter, const QRect& box, const QString& text);

private:
    struct tyText;
    struct tyFont;
    tyFont& FontOf(const QFont& font);
    tyText& TextOf(const QFont& font, const QString& text);
    // The text laid out on one line; null when it takes more than one.
    QTextLayout* LayoutOf(tyText& entry, const QFont& font, const QString& text);

    const QPaintDevice* m_pDevice;
    Qt::LayoutDirection m_eDirection;
    std::vector<std::unique_ptr<tyFont>> m_Fonts;
    tyFont* m_pLast = nullptr;
    // The text asked for last: drawing a cell asks for it several times.
    QString m_czLastText;
    tyFont* m_pLastTextFont = nullptr;
    tyText* m_pLastEntry = nullptr;
};

#endif
