#ifndef NALVO_TAKE_TAKEFILESTATUS_H
#define NALVO_TAKE_TAKEFILESTATUS_H

class QSoundFile;

// The take-status code of one loaded file (ReadChunks and GetiXMLFileInfos
// done), as ComputeFileStatus gives it, without parsing the iXML text a
// second time when the file already holds its document.
// FOR THE LEAD: a local workaround; ComputeFileStatus (soundfile/) should
// take the parsed document itself, then this file goes away.
int TakeFileStatus(const QSoundFile& file);

#endif
