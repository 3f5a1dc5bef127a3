#include "widgets/messagebox.h"

#include "widgets/screenfit.h"

#include <QFontMetrics>
#include <QLabel>
#include <QtMath>
#include <QStringList>
#include <QTextDocument>

namespace {
// What a box takes on the screen besides its text, its details shown: the
// details' own scrolling area (100 pixels in Qt's box), the buttons, the
// margins and the title bar.
constexpr int kBesidesText = 280;
// A box keeps at least this many lines of its text, the last one saying
// how many more are in the details.
constexpr int kLeastLines = 3;

// The rows a line of text takes in a box whose text wraps at `width`.
int RowsOf(const QString& line, const QFontMetrics& metrics, int width)
{
    return qMax(1, (metrics.horizontalAdvance(line) + width - 1) / width);
}

// The height a row of text adds in the box's label, which lays its text out
// as a document: more than the font's line spacing.
int RowHeight(const QFont& font)
{
    QTextDocument document;
    document.setDefaultFont(font);
    document.setPlainText(QStringLiteral("X"));
    const qreal one = document.size().height();
    document.setPlainText(QStringLiteral("X\nX"));
    return qMax(1, qCeil(document.size().height() - one));
}

// The width at which the box wraps its text, taken on the narrow side:
// Qt's box grows to half the screen or 500 pixels before it wraps, less
// the icon and margins.
int WrapWidth(const QRect& area) { return qMax(100, qMin(area.width() / 2, 500) - 100); }
}  // namespace

void FitMessageBox(QMessageBox* box)
{
    const QRect area = AvailableAreaOf(box);
    const QString text = box->text();
    if (area.isEmpty() || box->textFormat() == Qt::RichText
        || (box->textFormat() == Qt::AutoText && Qt::mightBeRichText(text)))
        return;
    const QLabel* label = box->findChild<QLabel*>(QStringLiteral("qt_msgbox_label"));
    const QFont font = label ? label->font() : box->font();
    const QFontMetrics metrics(font);
    const int width = WrapWidth(area);
    const int rows = qMax(kLeastLines, (area.height() - kBesidesText) / RowHeight(font));
    const QStringList lines = text.split(QLatin1Char('\n'));
    int used = 0;
    int kept = 0;
    for (; kept < lines.size(); ++kept) {
        used += RowsOf(lines.at(kept), metrics, width);
        if (used > rows)
            break;
    }
    if (kept == lines.size())
        return;
    // One row goes to the line that points to the rest; a first line that
    // alone is too long is cut.
    kept = qMax(1, kept - 1);
    QStringList summary = lines.mid(0, kept);
    summary.first() = metrics.elidedText(summary.first(), Qt::ElideRight, width * (rows - 1));
    summary << QStringLiteral("... and %1 more lines: see Show Details.").arg(lines.size() - kept);
    const QString details = box->detailedText();
    box->setText(summary.join(QLatin1Char('\n')));
    box->setDetailedText(details.isEmpty() ? text : text + QStringLiteral("\n\n") + details);
}

QMessageBox::StandardButton ShowMessageBox(QWidget* parent, QMessageBox::Icon icon, const QString& title,
                                           const QString& text, const QString& details,
                                           QMessageBox::StandardButtons buttons)
{
    QMessageBox box(icon, title, text, buttons, parent);
    if (!details.isEmpty())
        box.setDetailedText(details);
    FitMessageBox(&box);
    return QMessageBox::StandardButton(box.exec());
}
