#ifndef NALVO_SOUNDFILE_CHUNKRECORDS_H
#define NALVO_SOUNDFILE_CHUNKRECORDS_H

#include <QtGlobal>

// The chunk records of a Broadcast Wave file, byte for byte as they lie in
// the file (little-endian). The engine and the import read and write them
// field by field, so their layout is part of the interface.
static_assert(Q_BYTE_ORDER == Q_LITTLE_ENDIAN, "chunk records hold file (little-endian) byte order");

#pragma pack(push, 1)

struct tyMainChunk {
    char szRiff[4];   // "RIFF"
    quint32 nSize;    // file length - 8
    char szWave[4];   // "WAVE"
};

struct tyFmtChunk {
    char szId[4];
    quint32 nSize;
    quint16 nFormatTag;
    quint16 nChannels;
    quint32 nSampleRate;
    quint32 nByteRate;
    quint16 nBlockAlign;
    quint16 nBitsPerSample;
};

struct tyBextChunk {
    char szId[4];     // first byte 0: the file has no bext chunk
    quint32 nSize;
    char szDescription[256];
    char szOriginator[32];
    char szOriginatorReference[32];
    char szOriginationDate[10];
    char szOriginationTime[8];
    quint32 nTimeReferenceLow;
    quint32 nTimeReferenceHigh;
    quint16 nVersion;
    unsigned char pUMID[64];
    quint16 pnLoudness[5];
    char pReserved[180];
};

struct tyFilmChunk {
    char szId[4];     // first byte 0: the file has no film chunk
    quint32 nSize;
    unsigned char pPayload[1572];
};

struct tyDataChunk {
    char szId[4];
    quint32 nSize;    // bytes of audio
};

// One chunk the walk met: id, size field and where its payload begins.
struct tyChunkRecord {
    char szId[4];
    quint32 nSize;
    qint64 nOffset;
};

#pragma pack(pop)

static_assert(sizeof(tyMainChunk) == 12, "RIFF header record");
static_assert(sizeof(tyFmtChunk) == 24, "fmt record");
static_assert(sizeof(tyBextChunk) == 610, "bext record");
static_assert(sizeof(tyFilmChunk) == 1580, "film record");
static_assert(sizeof(tyDataChunk) == 8, "data record");

// Payload offsets inside the bext and film chunks.
enum : int {
    BEXT_PAYLOAD_SIZE = 602,
    BEXT_DESCRIPTION_OFFSET = 0,
    BEXT_DESCRIPTION_SIZE = 256,
    BEXT_ORIGINATOR_REFERENCE_OFFSET = 288,
    BEXT_ORIGINATOR_REFERENCE_SIZE = 32,
    FILM_PAYLOAD_SIZE = 1572,
    FILM_CHANNELS_OFFSET = 246,
    FILM_NET_FILE_NAME_OFFSET = 804,
    FILM_NET_FILE_NAME_SIZE = 256,
};

// Plain record copies (the engine copies a source's records into an output).
void BextChunkCopy(const tyBextChunk* source, tyBextChunk* destination);
void FilmChunkCopy(const tyFilmChunk* source, tyFilmChunk* destination);

// The film chunk's u16 channel count at payload offset 246.
quint16 FilmChannelCount(const tyFilmChunk& film);
void SetFilmChannelCount(tyFilmChunk* film, quint16 channels);

// Little-endian u32 of 4 bytes.
quint32 ReadLe32(const unsigned char* bytes);
void WriteLe32(unsigned char* bytes, quint32 value);

#endif
