#include "widgets/caracfilter.h"

#include <cstring>

namespace {

const char kAlnum[] = " ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789";
const char kTakeTypes[] = "tnpwarg";
const char kUpperDigits[] = " 0123456789/+ABCDEFGHIJKLMNOPQRSTUVWXYZ";
const char kText[] = " ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789"
                     "()[]!\"$%',.:;=?@_/*-+#";
const char kName[] = "_-. ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789";
const char kDigits[] = " 0123456789";
const char kSeparators[] = " /-";

template <int N>
tCaracAlphabet Alphabet(const char (&chars)[N])
{
    return {chars, N - 1};
}

} // namespace

tCaracAlphabet CaracFilterAlphabet(int kind)
{
    switch (kind) {
    case CARAC_ALNUM: return Alphabet(kAlnum);
    case CARAC_TNPWARG: return Alphabet(kTakeTypes);
    case CARAC_UPPER_DIGITS: return Alphabet(kUpperDigits);
    case CARAC_TEXT: return Alphabet(kText);
    case CARAC_NAME: return Alphabet(kName);
    case CARAC_DIGITS: return Alphabet(kDigits);
    case CARAC_SEPARATORS: return Alphabet(kSeparators);
    default: return {nullptr, 0};
    }
}

unsigned char CaracToByte(QChar c)
{
    return c.unicode() > 255 ? 0 : static_cast<unsigned char>(c.unicode());
}

int ApplyCaracFilterStep(unsigned char* c, int action, const tCaracAlphabet& alphabet)
{
    const bool acts = action == CARAC_ACTION_CHECK || action == CARAC_ACTION_NEXT
                      || action == CARAC_ACTION_PREVIOUS;
    const void* found = (alphabet.length > 0 && *c != 0)
                            ? std::memchr(alphabet.chars, *c, static_cast<size_t>(alphabet.length))
                            : nullptr;
    if (!found) {
        if (acts && alphabet.length > 0)
            *c = static_cast<unsigned char>(alphabet.chars[0]);
        return 1;
    }
    const int i = static_cast<int>(static_cast<const char*>(found) - alphabet.chars);
    if (action == CARAC_ACTION_NEXT)
        *c = static_cast<unsigned char>(alphabet.chars[i + 1 < alphabet.length ? i + 1 : 0]);
    else if (action == CARAC_ACTION_PREVIOUS)
        *c = static_cast<unsigned char>(alphabet.chars[i > 0 ? i - 1 : alphabet.length - 1]);
    return 0;
}
