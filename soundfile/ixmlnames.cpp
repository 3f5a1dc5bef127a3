#include "soundfile/ixmlnames.h"

#include <QStringList>

namespace IxmlNames {

namespace {

const char* const kAdvancedTags[] = {"SEQUENCE", "SLATE", "SEASON", "EPISODE", "EFFECT", "UNIT"};

struct TakeTypeLetter {
    char letter;
    const char* type;
};
const TakeTypeLetter kTakeTypes[] = {{'t', "DEFAULT"},     {'p', "PICKUP"},  {'w', "WILD_TRACK"},
                                     {'a', "ANNOUNCEMENT"}, {'n', "NO_GOOD"}, {'r', "REHEARSAL"},
                                     {'g', "SOUND_GUIDE"}};

} // namespace

QString AdvancedFieldTag(int code)
{
    if (code >= 1 && code <= 6)
        return QLatin1String(kAdvancedTags[code - 1]);
    return QString();
}

bool AdvancedFieldCode(const QString& tag, int* code)
{
    for (int i = 0; i < 6; ++i) {
        if (tag == QLatin1String(kAdvancedTags[i])) {
            *code = i + 1;
            return true;
        }
    }
    if (tag.startsWith(QLatin1String("SEP"))) {
        bool ok = false;
        const int n = tag.mid(3).toInt(&ok);
        if (ok && n >= 1) {
            *code = 1 - n;
            return true;
        }
    }
    return false;
}

QString TakeTypeOfLetter(const QString& letter)
{
    if (letter.isEmpty())
        return QString();
    const QChar first = letter.at(0).toLower();
    for (const TakeTypeLetter& entry : kTakeTypes) {
        if (first == QLatin1Char(entry.letter))
            return QLatin1String(entry.type);
    }
    return QString();
}

QString LetterOfTakeType(const QString& takeType)
{
    for (const QString& item : takeType.split(QLatin1Char(','))) {
        for (const TakeTypeLetter& entry : kTakeTypes) {
            if (item.trimmed().compare(QLatin1String(entry.type), Qt::CaseInsensitive) == 0)
                return QString(QLatin1Char(entry.letter));
        }
    }
    return QString();
}

} // namespace IxmlNames
