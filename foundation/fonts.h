#ifndef NALVO_FOUNDATION_FONTS_H
#define NALVO_FOUNDATION_FONTS_H

class QWidget;

// The application property "fontFactor", or 1.0 when unset or not a number.
float FontFactor();

// Scales the point size of every child widget's font (recursively) by
// FontFactor(); fonts sized in pixels are left alone.
void InitFontSize(QWidget* w);

#endif
