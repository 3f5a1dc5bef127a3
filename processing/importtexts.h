#ifndef NALVO_PROCESSING_IMPORTTEXTS_H
#define NALVO_PROCESSING_IMPORTTEXTS_H

#include <QByteArray>
#include <QString>

// The texts an import writes into the bext and film chunks of its mono
// files. Pure functions on bytes, so each layout can be checked alone.
namespace importtexts {

// The film rate text of a frame-rate label of the import dialog: "24.00",
// "25.00" and "30.00" stay; "29.97df" gives "29.97"; "23.98nd-A/B/C" give
// "24.DRIFT", "24.DRIF2", "24.DRIF3"; "29.97nd-A/B/C" give "30.DRIFT",
// "30.DRIF2", "30.DRIF3". Any other text (a rate text already) stays.
QByteArray RateTextOfLabel(const QByteArray& label);

// The speed value of a rate text: "29.97" gives "029.970-DF", the drift
// rates "023.980-ND" or "029.970-ND", any other text t "0" + t + "0-ND".
// The text itself is cut to maxRate characters (the room its line has).
QByteArray SpeedValue(const QByteArray& rate, int maxRate);

// The rate text is one of the third pull-down variant ("24.DRIF3", "30.DRIF3").
bool IsThirdDrift(const QByteArray& rate);

// The description of an import from a file without bext: the lines
// aUBITS, aSCENE, aTAKE, aTAPE (blank), aSPEED, aTAG (the take id), aTYP=mono,
// aCHNL (channel 1-based) and aNOTE (SrcFile: and the name) at their fixed
// offsets 0, 18, 36, 50, 62, 81, 94, 105 and 117. Every line keeps its
// width, so no line reaches into the next one. 256 bytes.
QByteArray FixedDescription(const QByteArray& tag, const QByteArray& rate, int channel,
                            const QByteArray& sourceName);

// printf into a byte array.
QByteArray Printf(const char* format, ...) Q_ATTRIBUTE_FORMAT_PRINTF(1, 2);

// Prints into a field of size bytes: the text cut to size - 1 and a NUL,
// the rest of the field left as it was.
void PutText(char* field, int size, const QByteArray& text);

}  // namespace importtexts

#endif
