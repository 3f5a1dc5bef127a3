#ifndef NALVO_WIDGETS_INSERTEDTEXTFILTER_H
#define NALVO_WIDGETS_INSERTEDTEXTFILTER_H

#include <QString>
#include <QValidator>
#include <functional>

class QLineEdit;

// Applies a line edit's character rules to text that arrives without key
// presses (paste, drop, input methods): characters of the inserted part that
// the rules refuse, and every line break or control character, are dropped
// silently. Text already in the field, including text set by the program,
// is left as it is: only the part that differs from the last text is looked at.
class InsertedTextFilter : public QValidator
{
public:
    using CharRule = std::function<bool(QChar)>;

    // `accepts` tells whether one character may enter the field.
    InsertedTextFilter(QLineEdit* host, CharRule accepts);

    State validate(QString& input, int& pos) const override;

private:
    QString m_czLastText;
    CharRule m_fnAccepts;
};

#endif
