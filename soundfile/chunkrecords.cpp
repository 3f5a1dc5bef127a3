#include "soundfile/chunkrecords.h"

#include <cstring>

void BextChunkCopy(const tyBextChunk* source, tyBextChunk* destination)
{
    if (source && destination && source != destination)
        std::memcpy(destination, source, sizeof(tyBextChunk));
}

void FilmChunkCopy(const tyFilmChunk* source, tyFilmChunk* destination)
{
    if (source && destination && source != destination)
        std::memcpy(destination, source, sizeof(tyFilmChunk));
}

quint16 FilmChannelCount(const tyFilmChunk& film)
{
    return static_cast<quint16>(film.pPayload[FILM_CHANNELS_OFFSET]
                                | (film.pPayload[FILM_CHANNELS_OFFSET + 1] << 8));
}

void SetFilmChannelCount(tyFilmChunk* film, quint16 channels)
{
    film->pPayload[FILM_CHANNELS_OFFSET] = static_cast<unsigned char>(channels & 0xFF);
    film->pPayload[FILM_CHANNELS_OFFSET + 1] = static_cast<unsigned char>(channels >> 8);
}

quint32 ReadLe32(const unsigned char* bytes)
{
    return quint32(bytes[0]) | (quint32(bytes[1]) << 8) | (quint32(bytes[2]) << 16)
           | (quint32(bytes[3]) << 24);
}

void WriteLe32(unsigned char* bytes, quint32 value)
{
    for (int i = 0; i < 4; ++i)
        bytes[i] = static_cast<unsigned char>((value >> (8 * i)) & 0xFF);
}
