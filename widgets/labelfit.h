#ifndef NALVO_WIDGETS_LABELFIT_H
#define NALVO_WIDGETS_LABELFIT_H

class QLabel;
class QString;

// Labels placed at fixed sizes by their forms: once fonts are scaled, a
// caption may no longer fit its box.

// Shrinks the label's font (never grows it) until its one-line text fits
// the label's width and height.
void ShrinkFontToFit(QLabel* label);

// Shows the text cut in the middle with "…" when it is wider than the label,
// with the whole text as the tool tip.
void SetElidedText(QLabel* label, const QString& text);

#endif
