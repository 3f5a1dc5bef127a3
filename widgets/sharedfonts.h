#ifndef NALVO_WIDGETS_SHAREDFONTS_H
#define NALVO_WIDGETS_SHAREDFONTS_H

#include <QFont>

// Program-wide fonts, family "DejaVu Sans", point size as named. Read-only:
// copy one before scaling it by FontFactor().
extern const QFont generalFont5;
extern const QFont generalFont6;
extern const QFont generalFont7;
extern const QFont generalFont8;
extern const QFont generalFont9;
extern const QFont generalFont10;
extern const QFont generalFont11;
extern const QFont generalFont12;
extern const QFont generalFont14;
extern const QFont generalFont8Bold;
extern const QFont generalFont9Bold;
extern const QFont generalFont10Bold;

// Registers the embedded DejaVu Sans files with the font database, so text
// looks the same whether or not the system has the family. Runs by itself
// when the application object is built; calling it again does nothing.
// Returns true when both faces are registered.
bool RegisterSharedFonts();

#endif
