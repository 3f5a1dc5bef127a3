#ifndef NALVO_REPORT_FIELDRULES_H
#define NALVO_REPORT_FIELDRULES_H

#include "take/tracktypes.h"

#include <QHash>
#include <QList>
#include <QString>
#include <QStringList>
#include <QVector>

class QMapping;

// Pure rules shared by the day's take list and the reports, each in one
// place. Where the two readers of a rule differ, the difference is a
// parameter and each caller passes its own.

// 0..6 from the first character (lower-cased) of take indicator + take
// number: t p w a n r g; anything else, and an empty text, 0.
int TakeTypeOf(const QString& indicatorAndNumber);
extern const char* const TakeTypeLabels[7];

// "TRUE", "1" or "YES", any case.
bool IsCircledText(const QString& circled);

// The arming state of a track's ACTIVE text: "YES" on; "DISARMED" or
// "DESACTIVED" disarmed; anything else none (all without case).
tTrackActive ArmingOfText(const QString& active);

// Active 0-based track indexes as 1-based ranges: "1-4;6;8-9"; empty for none.
QString TrackRangesText(const QList<int>& activeTracks);

// "48K" for a multiple of 1000, else the rate itself ("44100").
QString FrequencyText(int sampleRate);

// The advanced scene/take template: the element codes of the composition
// text in order, and the texts found for them. The n-th 0 (separator) is
// looked up under the key 1 - n. Parts that are not numbers are passed over.
// Both lists come back empty when the composition or the table is empty,
// when the part count differs from the table size, or when any code has no
// text in the table.
struct tyAdvancedTemplate
{
    QList<int> codes;
    QStringList texts;
};
tyAdvancedTemplate ParseAdvancedTemplate(const QString& composition, const QHash<int, QString>& table);
// The element code of the data fields Season .. Effect (ids 63..68); 0 otherwise.
int TemplateCodeOfField(int fieldId);

// A track's pan from its PAN_POT text "left,right". Not exactly two parts:
// {-1, -1}. A part that is not a number reads as unreadable; the right part
// is read only when the left one was a number (it stays -1 otherwise).
tPostFadePan PanOfText(const QString& panPot, int unreadable);

// What decides a track's mix and M/S marks.
struct tyTrackRoleInput
{
    QString inGrid;          // the IN_GRID routing text
    int takeMixRole = 0;     // 0 none, 1 mix, 2 left, 3 right (from the take)
    bool msPair = false;     // the take's M/S pair flag of the track's pair
    const QMapping* routing = nullptr;   // the parsed routing, null when it did not parse
};
// With both mix flags set the reports show the right mix, the take list a
// plain mix.
enum class BothMixFlags { Right, Mix };
struct tyTrackRole
{
    bool bMixTrack = false;  // a mix track gets no M/S mark and no pan
    int nMix = 0;            // 0 none, 1 mix, 2 left, 3 right
    int nMs = 0;             // 0 none, 1 pair member, 2 mid, 3 side
};
tyTrackRole TrackRoleOf(const tyTrackRoleInput& in, BothMixFlags both);

// Red and green lengths of a pan bar of length L (single precision).
struct tyPanBar
{
    float red = 0;
    float green = 0;
};
tyPanBar PanBarLengths(int left, int right, float length);

// The mark a track cell carries in its corner: mix role 1 "mx", 2 "xL",
// 3 "xR"; without one, M/S kind 2 "m", 3 "s", 1 "ms"; else empty.
QString TrackMarkerText(int mixRole, int msKind);

// A Season .. Effect column applies unless the take uses an advanced
// template (4 or 5) whose element codes lack the column's code.
bool IsTemplateFieldApplicable(int fieldId, int templateNumber, const QList<int>& codes);

// The column fit of a data line: widths measured from labels and texts,
// the grow and shrink flags, the Notes column (-1 none) with its widest
// text, the average character width and the width available.
struct tyColumnFitInput
{
    QVector<int> widths;
    QVector<bool> grows;
    QVector<bool> shrinks;
    int notesColumn = -1;
    int widestNotes = 0;
    int averageChar = 0;
    int available = 0;
    // The take list takes what is left over (a negative rest) off the last
    // column; the PDF report balances the rest over both data lines itself.
    bool restOnLastColumn = true;
    // The narrowest each column stays readable at (its heading); empty: 1.
    QVector<int> minimums;
    // A page cannot scroll: the line never ends wider than available.
    bool withinAvailable = false;
};
// Spare width goes to the growing columns; a line too wide first narrows
// Notes (to no less than 12 average characters), then its shrinking
// columns, and takes any rest off the last column. No column ends below
// its minimum. Within the available width, what is still too wide comes
// off the widest columns, which are cut to one common width (never below
// their minimums); when even the minimums do not fit, they shrink in
// proportion.
QVector<int> FitColumns(const tyColumnFitInput& in);

#endif
