#ifndef NALVO_SOUNDFILE_HEADWINDOWS_H
#define NALVO_SOUNDFILE_HEADWINDOWS_H

#include "soundfile/riffwalker.h"

#include <QByteArray>

// The two places of a recorder file where its headers live, each read with
// one positioned, unbuffered read: the head (RIFF, fmt, bext, film, the data
// chunk's header) and the tail (what follows the samples: iXML, waveform
// chunks). A day of takes reads thousands of files: two reads a file instead
// of a buffered seek and read per 8-byte header. Bytes outside both windows
// are read from the file where they are asked for.
class HeadTailWindows : public RiffByteSource
{
public:
    static constexpr qint64 kHeadBytes = 4 * 1024;
    static constexpr qint64 kTailBytes = 16 * 1024;

    // fd: an open regular file, left open. A failed read leaves the window empty.
    explicit HeadTailWindows(int fd);

    qint64 Length() const override { return m_nLength; }
    bool ReadAt(qint64 offset, char* out, qint64 n) override;

private:
    static bool ReadWindow(int fd, qint64 offset, qint64 n, QByteArray* into);

    int m_nFd = -1;
    qint64 m_nLength = 0;
    QByteArray m_Head;        // bytes from 0
    qint64 m_nTailOffset = 0;
    QByteArray m_Tail;        // bytes from m_nTailOffset
};

// Opens a regular file by path with open(2) (O_RDONLY, or O_RDWR when
// writable; never creates). Anything else named like a track file (a FIFO,
// a device) is refused before it can block the caller: -1 with *notRegular
// set. -1 with *notRegular clear when the open itself fails.
int OpenRegularFile(const QString& path, bool writable, bool* notRegular);

#endif
