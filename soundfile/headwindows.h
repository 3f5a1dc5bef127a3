#ifndef NALVO_SOUNDFILE_HEADWINDOWS_H
#define NALVO_SOUNDFILE_HEADWINDOWS_H

#include "soundfile/keptheads.h"
#include "soundfile/riffwalker.h"

#include <QByteArray>
#include <QStringList>
#include <QVector>

#include <functional>

// pread until n bytes or the end of the file; the bytes read, -1 on an
// error. It leaves the file's position alone, so threads may share the fd.
qint64 ReadFully(int fd, qint64 offset, char* out, qint64 n);

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

    // fd: an open regular file, left open; length: its size, or -1 to ask
    // the file. A failed read leaves the window empty.
    explicit HeadTailWindows(int fd, qint64 length = -1);

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
// writable, then never through a symbolic link: -1 with errno ELOOP; never
// creates). Anything else named like a track file (a FIFO,
// a device) is refused before it can block the caller: -1 with *notRegular
// set. -1 with *notRegular clear when the open itself fails.
// length (may be null) receives the file's size, read (may be null) its
// state as the open found it (see tyReadState).
int OpenRegularFile(const QString& path, bool writable, bool* notRegular, qint64* length = nullptr,
                    tyReadState* read = nullptr);
// The length of a regular file by path, without opening it; -1 for
// anything else or when it cannot be asked.
qint64 RegularFileLength(const QString& path);
// The same for a name inside a folder open for reading (folderDescriptor):
// one lookup of the name rather than of every folder of the path, for a
// lister that asks a length of each of thousands of files.
qint64 RegularFileLengthAt(int folderDescriptor, const QString& name);
// A folder opened once to ask the lengths of names inside it
// (RegularFileLengthAt), each name asked by its path when the folder
// cannot be opened; any thread may ask. folder: empty for the working
// folder.
class FolderFileLengths
{
public:
    explicit FolderFileLengths(const QString& folder);
    ~FolderFileLengths();
    FolderFileLengths(const FolderFileLengths&) = delete;
    FolderFileLengths& operator=(const FolderFileLengths&) = delete;
    qint64 Of(const QString& name) const;

private:
    QString m_czPrefix;   // the folder's path, ending with '/'
    int m_nFd = -1;
};
// FolderFileLengths' answers for names inside folder, in their order, the
// names asked side by side on up to threads threads (SpreadWork), for a
// lister of a day's thousands of files. alongside (may be empty): the
// caller's own work, run first on the calling thread as the others ask.
QVector<qint64> RegularFileLengthsIn(const QString& folder, const QStringList& names, int threads,
                                     const std::function<void()>& alongside = {});

// A regular file open for reading through its descriptor: positioned,
// unbuffered reads from a position of its own. A day's load opens
// thousands of files only to read their two header windows.
class ReadOnlyFile
{
public:
    ReadOnlyFile() = default;
    ~ReadOnlyFile() { Close(); }
    ReadOnlyFile(const ReadOnlyFile&) = delete;
    ReadOnlyFile& operator=(const ReadOnlyFile&) = delete;

    // As OpenRegularFile; an open file is closed first.
    bool Open(const QString& path, bool* notRegular, tyReadState* read = nullptr);
    void Close();
    bool IsOpen() const { return m_nFd >= 0; }
    int Handle() const { return m_nFd; }
    // The size when the file was opened.
    qint64 OpenedLength() const { return m_nOpenedLength; }
    // The size now.
    qint64 Size() const;
    // Bytes read from the position (which they advance), -1 on an error.
    qint64 Read(char* buffer, qint64 n);
    void Seek(qint64 offset) { m_nPosition = offset; }

private:
    int m_nFd = -1;
    qint64 m_nPosition = 0;
    qint64 m_nOpenedLength = 0;
};

#endif
