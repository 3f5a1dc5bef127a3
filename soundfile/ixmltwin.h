#ifndef NALVO_SOUNDFILE_IXMLTWIN_H
#define NALVO_SOUNDFILE_IXMLTWIN_H

#include <QByteArray>
#include <QList>
#include <QPair>
#include <QString>

// The files of a mono take carry one iXML text each, equal but for their own
// TRACK entry (channel index, name). Reading that entry from the text lets a
// loader parse one member and compare the others byte for byte.

// The first TRACK of the root's TRACK_LIST as found in the raw text.
struct tyTrackEntryScan {
    int nBegin = 0;          // at "<TRACK>"
    int nEnd = 0;            // just after "</TRACK>"
    int nTextEnd = 0;        // end of the text without trailing padding
    bool bHasChannelIndex = false;
    bool bHasName = false;
    QString czChannelIndex;  // first CHANNEL_INDEX text of the entry
    QString czName;          // first NAME text of the entry
};

// Finds and reads the entry when the text is plain enough to be sure of
// what a parser would make of it: no comment, CDATA or declaration before
// the entry, TRACK_LIST a child of the root without attributes, and an
// entry of plain child elements whose texts are printable ASCII without
// entities (an empty or blank text is not plain either). False otherwise:
// the text must then be parsed.
bool ScanTrackEntry(const QByteArray& text, tyTrackEntryScan* scan);

// Reads text as a twin of an already scanned text: true when both are
// equal byte for byte outside their entries (trailing padding does not
// count) and this entry is plain too.
bool ScanTwinTrackEntry(const QByteArray& twin, const tyTrackEntryScan& twinScan, const QByteArray& text,
                        tyTrackEntryScan* scan);

// The plain elements (tag, text) of the entry that ScanTrackEntry or
// ScanTwinTrackEntry found at begin, in order.
bool ReadTrackEntryElements(const QByteArray& text, int begin, QList<QPair<QString, QString>>* elements);

#endif
