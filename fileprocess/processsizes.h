#ifndef NALVO_FILEPROCESS_PROCESSSIZES_H
#define NALVO_FILEPROCESS_PROCESSSIZES_H

#include <QString>
#include <QtGlobal>

// Size rules of the file-process dialog, kept apart from the widgets.
namespace procsize {

// Outputs of this size or more cannot be written: a RIFF size field is 32
// bits. The one bound for naming, colouring and skipping a take.
constexpr quint64 kLimit = 0xFFFFFFFFull;
inline bool TooLarge(quint64 bytes) { return bytes >= kLimit; }

// A row's size: "1023 B", "1.5 KB", "1 MB", the tenth cut, not rounded;
// empty for 0.
QString RowSizeText(quint64 bytes);
// The dialog's totals: "%lld B", else "%.3f KB" ... "TB", three decimals cut.
QString TotalSizeText(quint64 bytes);

// Output channels of a take under a process kind (0..4): present[] and
// kept[] per track; minTrack for kind 2, the rotation for kind 3.
int ChannelCount(int kind, const bool* present, const bool* kept, int minTrack, int rotateCount,
                 int rotateMaxTrack, int trackMax);

}  // namespace procsize

#endif
