#ifndef NALVO_MAINWINDOW_STRIPCOLOURS_H
#define NALVO_MAINWINDOW_STRIPCOLOURS_H

#include <QColor>

// The input colours of the strip's meters: what feeds a track, at a glance.
namespace StripColour {
inline QColor Neutral() { return QColor(96, 96, 96); }
inline QColor MsPair() { return QColor(189, 51, 164); }
inline QColor Mic() { return QColor(112, 41, 99); }
inline QColor Line() { return QColor(140, 140, 40); }
inline QColor Digital() { return QColor(167, 85, 2); }
inline QColor Aes42() { return QColor(255, 120, 0); }
inline QColor Dante() { return QColor(152, 111, 150); }
inline QColor PostFade() { return QColor(28, 159, 179); }
inline QColor MixLeft() { return QColor(184, 0, 0); }
inline QColor MixRight() { return QColor(58, 157, 35); }
// A track of an interleaved take whose input is not known.
inline QColor Interleaved() { return QColor(18, 47, 114); }
}

#endif
