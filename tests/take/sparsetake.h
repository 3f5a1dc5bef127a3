#ifndef NALVO_TESTS_TAKE_SPARSETAKE_H
#define NALVO_TESTS_TAKE_SPARSETAKE_H

#include <QByteArray>
#include <QString>
#include <QtGlobal>

// Writes a recorder file whose data chunk is enlarged to dataSize bytes
// without writing them: the samples past the given file's own lie in a hole
// of a sparse file (zeros), the chunks behind the data follow it. The
// FILE_KEY is not recomputed (such a file has status 7). False when the
// file would pass the RIFF limit or cannot be written.
bool WriteSparseCopy(const QString& path, const QByteArray& fileBytes, quint32 dataSize);

#endif
