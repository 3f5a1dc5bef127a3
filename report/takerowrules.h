#ifndef NALVO_REPORT_TAKEROWRULES_H
#define NALVO_REPORT_TAKEROWRULES_H

#include "report/takemetadata.h"

#include <QString>
#include <QFontMetrics>
#include <QStringList>

// What a take list row decides before it draws: the input badges of a track
// column, whether a Season .. Effect column applies to the take, and the
// ditto test against a neighbouring row.

// The five badge parts of track t: phase "Φ", filter "f<n>", "Eq" (or "+"
// for a routing of several inputs), delay "D", and the M/S or mix mark
// ("m", "s", "ms", "mx", "xL", "xR").
QStringList BadgePartsOf(const tyTakeMetadata& record, int track);
QString BadgeTextOf(const tyTakeMetadata& record, int track);   // the parts joined by ";"

// A Season .. Effect column applies unless the take uses an advanced
// template (file kind 4 or 5) whose elements lack the column's code.
bool IsColumnApplicable(const tyTakeMetadata& record, int kind);

// Text a neighbour without a column's text is compared with.
extern const char* const kMissingNeighbourText;

// The ditto test of one cell against a neighbour (null: none). kind is the
// column's field id; text and neighbourText are the two rows' cell texts.
// A track column also needs equal arming, routing and pan; any other column
// must apply to the take.
bool SameCellAs(const tyTakeMetadata& self, const QString& text, const tyTakeMetadata* neighbour,
                const QString& neighbourText, int kind);

// The text a cell of the given width shows: the whole text when it fits
// within the cell less a margin each side, else its start and "…" within
// that. A cell too narrow for even "…" shows nothing: a text never runs
// into the next cell.
QString CellTextFor(const QString& text, const QFontMetrics& metrics, int cellWidth);

#endif
