#ifndef NALVO_WIDGETS_QCOLORLABEL_H
#define NALVO_WIDGETS_QCOLORLABEL_H

#include <QColor>
#include <QString>

#include "widgets/qclicklabel.h"

// A clickable label that keeps its text, background and hover colours in a
// block of its own style sheet, between per-object comment markers, so the
// colours can change without disturbing the rest of the style sheet.
class QColorLabel : public QClickLabel
{
    Q_OBJECT
public:
    explicit QColorLabel(QWidget* parent = nullptr);
    ~QColorLabel() override;

    void setTextColor(QColor color);
    void setTextHoverColor(QColor color);
    void setBackgroundColor(QColor color);
    void setBackgroundHoverColor(QColor color);
    // Replaces the label's own rules; the colour block is appended again.
    void setStyleSheet(QString styleSheet);
    void UpdateColor();

protected:
    bool event(QEvent* e) override;

private:
    QColor m_TextColor;
    QColor m_TextHoverColor;
    QColor m_BackgroundColor;
    QColor m_BackgroundHoverColor;
    bool m_bTextColorSet = false;
    bool m_bTextHoverColorSet = false;
    bool m_bBackgroundColorSet = false;
    bool m_bBackgroundHoverColorSet = false;
    QString m_czStartMarker;
    QString m_czEndMarker;
    bool m_bHovered = false;
};

#endif
