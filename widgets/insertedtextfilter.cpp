#include "widgets/insertedtextfilter.h"

#include <QLineEdit>

InsertedTextFilter::InsertedTextFilter(QLineEdit* host, CharRule accepts)
    : QValidator(host), m_czLastText(host->text()), m_fnAccepts(std::move(accepts))
{
    connect(host, &QLineEdit::textChanged, this, [this](const QString& text) { m_czLastText = text; });
}

QValidator::State InsertedTextFilter::validate(QString& input, int& pos) const
{
    // The inserted part lies between the common head and the common tail of
    // the old and the new text.
    const int oldLength = m_czLastText.size();
    const int newLength = input.size();
    int head = 0;
    while (head < oldLength && head < newLength && m_czLastText.at(head) == input.at(head))
        ++head;
    int tail = 0;
    while (tail < oldLength - head && tail < newLength - head
           && m_czLastText.at(oldLength - 1 - tail) == input.at(newLength - 1 - tail))
        ++tail;

    QString kept;
    int removedBeforeCursor = 0;
    for (int i = head; i < newLength - tail; ++i) {
        const QChar c = input.at(i);
        const bool lineBreak = c == QChar::LineFeed || c == QChar::CarriageReturn
                               || c == QChar::LineSeparator || c == QChar::ParagraphSeparator;
        if (!lineBreak && c.category() != QChar::Other_Control && m_fnAccepts(c))
            kept.append(c);
        else if (i < pos)
            ++removedBeforeCursor;
    }
    if (kept.size() != newLength - tail - head) {
        input = input.left(head) + kept + input.right(tail);
        pos -= removedBeforeCursor;
    }
    return Acceptable;
}
