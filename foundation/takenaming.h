#ifndef NALVO_FOUNDATION_TAKENAMING_H
#define NALVO_FOUNDATION_TAKENAMING_H

#include <QString>
#include <QStringList>

// How the recorder's file names carry a take: the take root, then for a
// mono track file a separator and a track number, then the extension. A mix
// file ends its base name in "MX" or "QX", a poly file in "PN", "PR", "PX"
// or "PS". The readers of these names do not all accept the same forms; each
// reader's form is one named rule here.
namespace TakeNaming {

enum class Rule {
    // The browser and the day scan: a separator ('#', '+', '-', '_'), then
    // one or two digits.
    Browse,
    // The take loader: '_', '-', '#' or '+', then a two-digit track "01".."24"
    // or a one-character track "1".."9", "A".."O" (as the family probe writes
    // them); the root is not empty.
    Load,
    // The path helpers of a whole path with a four-character extension
    // (".WAV"): any separator and one character; '_' and any two characters;
    // another separator and two digits.
    Path,
    // The rename helpers: cut at the rightmost separator ('#', '+', '-', '_')
    // among the last three characters of the base name.
    Rename,
};

// One of '#', '+', '-' or '_'.
bool IsTrackSeparator(QChar c);

struct tyTrackName {
    bool bTrack = false;   // the name ends in a track suffix of the rule
    QString czRoot;        // the name without the suffix (the whole name when none)
    QChar cSeparator;      // null when none
    QString czTrack;       // the track number text after the separator
};

// Splits a name at its track suffix by the rule: a base name without
// extension, except for Rule::Path, which takes the whole path.
tyTrackName SplitTrackName(const QString& name, Rule rule);

// The 0-based slot a base name's track suffix stands for by the loader's
// rule ("T1_03" and "T1_3": 2, "T1_A": 9), -1 when the loader reads no
// track of that name ("T1_25", "T1_0", "T1"). suffixSize (may be null): the
// characters of the separator and the track number (3 or 2).
int LoadTrackSlot(QStringView baseName, int* suffixSize = nullptr);

enum class FileKind { None, Mono, Mix, Poly };
// The browser's kind of a take file from its base name (the complete name
// without the last extension: "DOT.01_01" of "DOT.01_01.WAV") and the take
// name it shows: the root of a mono track, the whole base name of a mix or
// poly file. take may be null: the kind alone is asked.
FileKind ClassifyBaseName(QStringView baseName, QString* take);

// The take name of a listed file of a day ("T001_01.WAV", "T001MX.WAV"):
// cut before its track, mix or poly suffix (".WAV" in any case); a name with
// none of them loses only ".WAV".
QString ListedTakeName(const QString& fileName);

// A base name (no extension) in the recorder's own form: its six-character
// take identifier, then a track suffix of the loader's rule, a two-letter
// kind suffix (poly "PN", "PR", "PX", "PS"; processed "P7", "MX", "Q7",
// "QX", "S7", "SX"), or the long form's "==" or "__". The day list counts
// such files by their identifier, as the recorder's reports do.
bool IsRecorderTakeName(QStringView baseName);

// The separators the take loader probes, in probing order.
const QList<QChar>& LoadSeparators();
// The track-number texts the take loader probes for a 0-based slot, the
// two-digit one first ("03", "3").
QStringList LoadTrackForms(int slot);

} // namespace TakeNaming

#endif
