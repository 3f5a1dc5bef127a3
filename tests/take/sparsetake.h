#ifndef NALVO_TESTS_TAKE_SPARSETAKE_H
#define NALVO_TESTS_TAKE_SPARSETAKE_H

#include <QByteArray>
#include <QString>
#include <QStringList>
#include <QtGlobal>

// Writes a recorder file whose data chunk is enlarged to dataSize bytes
// without writing them: the samples past the given file's own lie in a hole
// of a sparse file (zeros), the chunks behind the data follow it. The
// FILE_KEY is not recomputed (such a file has status 7). False when the
// file would pass the RIFF limit or cannot be written.
bool WriteSparseCopy(const QString& path, const QByteArray& fileBytes, quint32 dataSize);

// A day folder root/name/ of takes B00000, B00001 ... of `tracks` mono
// files each (one polyphonic file with poly), `seconds` of 24-bit 48 kHz
// audio that lie in a hole: a day of long takes needs little disk space.
// Their keys match their audio; the folder's modification time is set an
// hour back, as a card's folders were written long before they are browsed
// (its change time cannot be: a listing of it is kept once that is 3 s old).
// Exits the program when a file cannot be written.
struct SparseDay {
    QString folder;       // ends with a slash
    QStringList takeIds;
    QStringList files;
};
SparseDay WriteSparseDay(const QString& root, const QString& name, int takes, int tracks, int seconds,
                         bool poly = false);

#endif
