#ifndef NALVO_WIDGETS_CARACFILTER_H
#define NALVO_WIDGETS_CARACFILTER_H

#include <QChar>

// The seven alphabets a text field may accept. The order of each alphabet is
// also the order in which Up and Down step a character.
enum tCaracFilter : int {
    CARAC_ALNUM = 0,
    CARAC_TNPWARG = 1,
    CARAC_UPPER_DIGITS = 2,
    CARAC_TEXT = 3,
    CARAC_NAME = 4,
    CARAC_DIGITS = 5,
    CARAC_SEPARATORS = 6
};

// What the filter step does to one character: 1 repairs a character outside
// the alphabet, 2 and 3 also step a valid one forward or backward (wrapping).
enum tCaracAction : int { CARAC_ACTION_CHECK = 1, CARAC_ACTION_NEXT = 2, CARAC_ACTION_PREVIOUS = 3 };

struct tCaracAlphabet
{
    const char* chars;
    int length;
};

// The alphabet of a kind 0..6; {nullptr, 0} for any other value.
tCaracAlphabet CaracFilterAlphabet(int kind);

// A text character as the single byte the alphabets are made of; characters
// above code 255 become 0, which no alphabet holds.
unsigned char CaracToByte(QChar c);

// The filter step on one character, in place. Returns 1 when the character
// was outside the alphabet (it is then the alphabet's first character), 0
// otherwise.
int ApplyCaracFilterStep(unsigned char* c, int action, const tCaracAlphabet& alphabet);

#endif
