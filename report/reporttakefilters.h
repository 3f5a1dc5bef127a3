#ifndef NALVO_REPORT_REPORTTAKEFILTERS_H
#define NALVO_REPORT_REPORTTAKEFILTERS_H

#include <QString>
#include <QStringList>

// The take-filter string: one filter per report, joined by ";". A filter is
// the take-type letters it keeps, in menu order "tpwanrg", each once; the
// empty filter keeps every take. These are the rules the filters dialog,
// the run dialog and the report setup share.
namespace TakeFilters {

// The seven take-type letters in menu order.
extern const char* const kLetters;   // "tpwanrg"

// Splits at ";" keeping empty parts: "" is one report of all takes.
QStringList Split(const QString& filters);
// The filter of the checked letters (menu order); all seven or none -> "".
QString FromChecked(const QString& checkedLetters);
// The filters as a finished dialog leaves them: exactly count entries
// (count below 1 counts as 1), duplicates merged (the first stays), joined.
QString Finish(QStringList filters, int count);
// One filter for the filters dialog: "All takes", "'t' only", "t,p,w".
QString UserText(const QString& filter);
// The whole string for the run dialog: parts shown as they are, an empty
// one as "All", joined by ","; exactly "All" reads "All takes".
QString RunDisplayText(const QString& filters);

}  // namespace TakeFilters

#endif
