#ifndef NALVO_SOUNDFILE_FILESTATUS_H
#define NALVO_SOUNDFILE_FILESTATUS_H

class QSoundFile;

// Take-status code of one walked file (ReadChunks done), first failing
// check wins:
//   1 not RIFF/WAVE, no fmt or data, or not 16/24-bit PCM;
//   2 no bext chunk;
//   3 OriginatorReference does not begin with "ORVEX";
//   8 no iXML chunk, RIFF size other than the walked length - 8, data size
//     0 or 0xFFFFFFFF or past the end of the file, or a truncated or
//     unreadable chunk layout (not closed correctly);
//   5 iXML does not parse or its root is not BWFXML;
//   6 no ORVEX_BRISEL block;
//   7 FILE_KEY missing or not this file's key;
//   0 a recorder file.
// The file's own document is used when it is the parse of its chunk;
// otherwise the cached iXML text is parsed apart.
int ComputeFileStatus(const QSoundFile& file);

#endif
