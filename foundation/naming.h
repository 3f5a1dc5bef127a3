#ifndef NALVO_FOUNDATION_NAMING_H
#define NALVO_FOUNDATION_NAMING_H

#include <QString>

// Two-digit text of a 1-based track number ("%02d", at most two characters).
// The buffer belongs to the calling thread and the next call overwrites it:
// copy the text at once.
const char* TrkIndexToNN(int n);

// One-character track code: 0..9 -> '0'..'9', 10..35 -> 'A'..'Z', else '$'.
char TrkIndexToCharOld(int n);

// "HH:MM:SS:FF" of a frame count; hours are not wrapped at 24.
// An fps below 1 gives "--:--:--:--".
QString GetTimeCode(unsigned long frames, short fps);

// Reads a pan text into left and right levels (0..100 each): "l,r" gives the
// two values; a single 97, 98 or 99 gives (100,0), (100,100) or (0,100); any
// other single value gives (0,0). Other item counts leave both unchanged.
void DecodePanPotText(QString text, int* left, int* right);

#endif
