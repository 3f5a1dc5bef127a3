#include "processing/importtexts.h"

#include "processing/qsoundmixer.h"

#include <cstdarg>
#include <cstdio>
#include <cstring>

namespace importtexts {

namespace {
struct tyRateLabel {
    const char* label;
    const char* rate;
};
const tyRateLabel kRateLabels[] = {
    {"29.97df", "29.97"},      {"23.98nd-A", "24.DRIFT"}, {"23.98nd-B", "24.DRIF2"},
    {"23.98nd-C", "24.DRIF3"}, {"29.97nd-A", "30.DRIFT"}, {"29.97nd-B", "30.DRIF2"},
    {"29.97nd-C", "30.DRIF3"},
};

bool OneOf(const QByteArray& text, std::initializer_list<const char*> list)
{
    for (const char* item : list) {
        if (text == item)
            return true;
    }
    return false;
}
}  // namespace

QByteArray RateTextOfLabel(const QByteArray& label)
{
    for (const tyRateLabel& entry : kRateLabels) {
        if (label == entry.label)
            return QByteArray(entry.rate);
    }
    return label;
}

bool IsThirdDrift(const QByteArray& rate) { return rate == "24.DRIF3" || rate == "30.DRIF3"; }

QByteArray SpeedValue(const QByteArray& rate, int maxRate)
{
    if (rate == "29.97")
        return QByteArrayLiteral("029.970-DF");
    if (OneOf(rate, {"24.DRIFT", "24.DRIF2", "24.DRIF3"}))
        return QByteArrayLiteral("023.980-ND");
    if (OneOf(rate, {"30.DRIFT", "30.DRIF2", "30.DRIF3"}))
        return QByteArrayLiteral("029.970-ND");
    return '0' + rate.left(maxRate) + "0-ND";
}

QByteArray Printf(const char* format, ...)
{
    char text[512];
    va_list args;
    va_start(args, format);
    const int n = std::vsnprintf(text, sizeof text, format, args);
    va_end(args);
    return QByteArray(text, qBound(0, n, int(sizeof text) - 1));
}

void PutText(char* field, int size, const QByteArray& text)
{
    if (size <= 0)
        return;
    const int n = qMin(size - 1, text.size());
    std::memcpy(field, text.constData(), size_t(n));
    field[n] = '\0';
}

QByteArray FixedDescription(const QByteArray& tag, const QByteArray& rate, int channel,
                            const QByteArray& sourceName)
{
    QByteArray description(BEXT_DESCRIPTION_SIZE, '\0');
    char* d = description.data();
    // Each line at its own offset; the widths make every line end exactly
    // where the next begins, so none overwrites another.
    auto line = [d](int offset, int room, const QByteArray& text) { PutText(d + offset, room + 1, text); };
    line(0, 18, QByteArray("aUBITS=$") + QByteArray(8, ' ') + "\r\n");
    line(18, 18, QByteArray("aSCENE=") + QByteArray(9, ' ') + "\r\n");
    line(36, 14, QByteArray("aTAKE=") + QByteArray(6, ' ') + "\r\n");
    line(50, 12, QByteArray("aTAPE=") + QByteArray(4, ' ') + "\r\n");
    // "aSPEED=" + value + CR LF in 19 bytes: a rate text of 5 characters.
    line(62, 19, "aSPEED=" + SpeedValue(rate, 5) + "\r\n");
    line(81, 13, "aTAG=" + tag.left(6).rightJustified(6, ' ') + "\r\n");
    line(94, 11, QByteArrayLiteral("aTYP=mono\r\n"));
    // Two digits of room, so channels 10 to 24 keep the line's 12 bytes.
    line(105, 12, "aCHNL=C" + QByteArray::number(channel).leftJustified(2, ' ') + " \r\n");
    QByteArray name = sourceName.left(42);
    if (name.isEmpty())
        name = " ";
    line(117, 138, "aNOTE=SrcFile:" + name + "\r\n");
    return description;
}

}  // namespace importtexts

namespace {
// One value of the old description: its key, how many characters it keeps.
struct tyScanField {
    const char* key;
    int limit;
    QByteArray value;
};

// Characters of text, at most limit of them, or the whole text when null.
QByteArray Arg(const char* text, int limit)
{
    return text ? QByteArray(text).left(limit) : QByteArray();
}
}  // namespace

void QSoundMixer::RewriteBextDescriptor(char* description, const char* scene, const char* take,
                                        const char* note, const char* tape, const char* tag,
                                        const char* speed, int channel, const char* trackName)
{
    if (!description)
        return;
    // A copy with every line end a terminator, and one more byte so that a
    // value running to the end of the field stops there.
    char copy[BEXT_DESCRIPTION_SIZE + 1];
    std::memcpy(copy, description, BEXT_DESCRIPTION_SIZE);
    copy[BEXT_DESCRIPTION_SIZE] = '\0';
    for (char& c : copy) {
        if (c == '\r' || c == '\n')
            c = '\0';
    }
    enum { Ubits, Scene, Take, Tape, Speed, Channel, Type, Tag, Note, Count };
    tyScanField fields[Count] = {
        {"UBITS=$", 8, {}}, {"SCENE=", 8, {}}, {"TAKE=", 8, {}}, {"TAPE=", 8, {}}, {"SPEED=", 10, {}},
        {"aCHNL=", 4, {}},  {"aTYP=", 4, {}},  {"aTAG=", 6, {}}, {"NOTE=", 49, {}},
    };
    // Keys match anywhere, also inside longer keys; the last match wins.
    for (int pos = 0; pos < BEXT_DESCRIPTION_SIZE; ++pos) {
        for (tyScanField& field : fields) {
            const int keyLength = int(std::strlen(field.key));
            if (pos + keyLength > BEXT_DESCRIPTION_SIZE || std::memcmp(copy + pos, field.key, size_t(keyLength)) != 0)
                continue;
            const char* value = copy + pos + keyLength;
            field.value = QByteArray(value, int(qstrnlen(value, uint(field.limit))));
        }
    }
    auto override = [&](int index, const char* text, int limit) {
        if (text && *text)
            fields[index].value = Arg(text, limit);
    };
    override(Scene, scene, 8);
    override(Take, take, 6);
    override(Note, note, 49);
    override(Tape, tape, 4);
    override(Tag, tag, 6);
    fields[Channel].value = ("C" + QByteArray::number(channel + 1)).left(4);
    fields[Type].value = "mono";
    if (speed && *speed && fields[Speed].value.isEmpty())
        fields[Speed].value = importtexts::SpeedValue(QByteArray(speed), 7);

    // The track line holds 43 characters: the name is cut to what is left.
    const QByteArray trackKey = "aTRK" + QByteArray::number(channel + 1) + "=";
    const QByteArray trackLine = trackKey + Arg(trackName, qMax(0, 43 - trackKey.size()));

    char text[BEXT_DESCRIPTION_SIZE];
    std::snprintf(text, sizeof text,
                  "aUBITS=$%s\r\naSCENE=%-9.9s\r\naTAKE=%-6.6s\r\naTAPE=%4.4s\r\naSPEED=%s\r\naTAG=%6.6s\r\n"
                  "aTYP=%4.4s\r\naCHNL=%-4.4s\r\n%s\r\naNOTE=%1.49s\r\n",
                  fields[Ubits].value.constData(), fields[Scene].value.constData(),
                  fields[Take].value.constData(), fields[Tape].value.constData(),
                  fields[Speed].value.constData(), fields[Tag].value.constData(),
                  fields[Type].value.constData(), fields[Channel].value.constData(), trackLine.constData(),
                  fields[Note].value.constData());
    std::memset(description, 0, BEXT_DESCRIPTION_SIZE - 1);
    importtexts::PutText(description, BEXT_DESCRIPTION_SIZE - 1, QByteArray(text));
}
