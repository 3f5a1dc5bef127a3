#include "soundfile/soundfile.h"

#include "foundation/messageloging.h"
#include "foundation/platform/diskcalls.h"
#include "soundfile/headwindows.h"
#include "soundfile/riffwriter.h"

#include <QFileInfo>
#include <cerrno>
#include <cstring>
#include <sys/stat.h>
#include <unistd.h>

namespace {

// An iXML chunk larger than this is not read (a recorder writes tens of KiB).
constexpr qint64 kMaxiXMLBytes = 16 * 1024 * 1024;

const char* const kReadChunksTitle = "Read file";
// ReadChunks names the walk's header limit when it ends the walk before the data.
static_assert(RiffChunkWalker::kMaxHeaders == 4096, "the message names the limit");

} // namespace

QSoundFile::QSoundFile()
{
    ClearRecords();
}

QSoundFile::~QSoundFile()
{
    Close();
}

void QSoundFile::ClearRecords()
{
    std::memset(&m_MainChunk, 0, sizeof(m_MainChunk));
    std::memset(&m_FmtChunk, 0, sizeof(m_FmtChunk));
    std::memset(&m_BextChunk, 0, sizeof(m_BextChunk));
    std::memset(&m_FilmChunk, 0, sizeof(m_FilmChunk));
    std::memset(&m_DataChunk, 0, sizeof(m_DataChunk));
    std::memset(&m_OtherChunk, 0, sizeof(m_OtherChunk));
    m_nDataOffset = 0;
    m_nOndeSize = 0;
    m_nOndeOffset = 0;
    m_nOtherChunkCount = 0;
    m_nDeclaredDataSize = 0;
    m_nSubFormat = 0;
    m_pReadFailure = nullptr;
    m_bHasiXML = false;
    m_baiXMLText.clear();
    m_nTwinScanState = 0;
    m_Layout = tyRiffLayout();
    m_bWalked = false;
    m_ReadState = tyReadState();
    ClearPendingBext();
}

void QSoundFile::InitVariables()
{
    Close();
    ClearRecords();
    ClearDocument();
    m_Adopted = tyAdopted();
    m_bDocumentFromChunk = false;
    m_bUnreadableiXML = false;
    m_czPath.clear();
    m_nOpenMode = -1;
    m_czErrorText.clear();
    m_bError = false;
}

void QSoundFile::SetPath(const QString& path)
{
    if (path != m_czPath) {
        InitVariables();
        m_czPath = path;
    }
}

QString QSoundFile::FolderText() const
{
    const QFileInfo info(m_czPath);
    QString folder = info.absolutePath();
    if (!folder.endsWith(QLatin1Char('/')))
        folder += QLatin1Char('/');
    return folder;
}

QString QSoundFile::FileNameText() const
{
    return QFileInfo(m_czPath).fileName();
}

bool QSoundFile::Open(int mode)
{
    // A slot without a file fails silently; an existing file is reported.
    if (m_czPath.isEmpty())
        return false;
    return OpenPath(m_czPath, mode, true);
}

bool QSoundFile::OpenFound(bool* notRegular)
{
    *notRegular = false;
    return !m_czPath.isEmpty() && OpenPath(m_czPath, 0, true, notRegular);
}

bool QSoundFile::Open(const QString& path, int mode)
{
    return OpenPath(path, mode, false);
}

bool QSoundFile::OpenPath(const QString& path, int mode, bool silentWhenMissing, bool* notRegularOut)
{
    if (path.isEmpty() || mode < 0 || mode > 2) {
        MyQDebug("QSoundFile::Open: no path or mode %d", mode);
        return false;
    }
    if (IsOpen())
        Close();
    SetPath(path);
    // The file is opened by hand, refused unless it is a regular file: a FIFO
    // or a device named like a track file would block the open, or the
    // reads, forever. Never created or truncated. Reading goes through the
    // descriptor with positioned reads (headers in two windows, samples in
    // large blocks). Writing is unbuffered: a write that fails (a full card)
    // must not stay in a buffer that a later seek or close would still put
    // into the file.
    m_File.setFileName(path);
    bool notRegular = false;
    bool opened = false;
    int fd = -1;
    m_OpenedState = tyReadState();
    if (mode == 0) {
        opened = m_ReadFile.Open(path, &notRegular, &m_OpenedState);
    } else {
        fd = OpenRegularFile(path, true, &notRegular, nullptr, &m_OpenedState);
        // The descriptor is closed by hand, so that its answer counts (see CloseWritten).
        opened = fd >= 0 && m_File.open(fd, QIODevice::ReadWrite | QIODevice::Unbuffered, QFileDevice::DontCloseHandle);
        m_nWriteFd = opened ? fd : -1;
    }
    const bool missing = !opened && !notRegular && errno == ENOENT;
    // A link refused for writing is the writer's to tell, by its name.
    const bool link = !opened && fd < 0 && mode != 0 && errno == ELOOP;
    if (!opened) {
        if (fd >= 0)
            ::close(fd);
        // A link that leads nowhere is a name of no file at all.
        struct stat entry;
        if (notRegularOut && (notRegular || (missing && ::lstat(QFile::encodeName(path).constData(), &entry) == 0
                                             && S_ISLNK(entry.st_mode)))) {
            *notRegularOut = true;
            return false;
        }
        if ((missing && silentWhenMissing) || link)
            return false;
        static const char* const kWhat[] = {"for reading !", "for writing !", "for append !"};
        QString text = QStringLiteral("Unable to open\n%1\n%2\n%3")
                           .arg(FolderText(), FileNameText(), QLatin1String(kWhat[mode]));
        if (notRegular)
            text += QStringLiteral("\nIt is not a regular file.");
        SendUserMessage(QStringLiteral("Read file"), text);
        m_bError = true;
        return false;
    }
    m_nOpenMode = mode;
    m_bOpenedStateUnread = true;
    return true;
}

bool QSoundFile::Close()
{
    if (!IsOpen())
        return false;
    // A close of a read, or of an undo that is told by its own checks: its
    // answer changes nothing.
    (void)CloseWritten();
    return true;
}

int QSoundFile::CloseWritten()
{
    m_ReadFile.Close();
    if (m_File.isOpen())
        m_File.close();   // unbuffered: nothing of ours stays to write
    m_nOpenMode = -1;
    const int fd = m_nWriteFd;
    m_nWriteFd = -1;
    return fd >= 0 && DiskClose(fd) != 0 ? errno : 0;
}

bool QSoundFile::IsOpenForWriting() const
{
    return m_File.isOpen() && (m_File.openMode() & QIODevice::WriteOnly);
}

QString QSoundFile::ReadFailureText() const
{
    if (!m_pReadFailure)
        return QString();
    QString why = QLatin1String(m_pReadFailure);
    if (why.endsWith(QLatin1String(" !")))
        why.chop(2);
    const QString name = QFileInfo(m_czPath).fileName();
    // "is empty", "hasn't Data Chunk" say it of the file; the others name it after.
    return why.at(0).isLower() ? name + QLatin1Char(' ') + why : why + QStringLiteral(" (") + name + QLatin1Char(')');
}

void QSoundFile::ReportReadChunks(const char* what) const
{
    SendUserMessage(QLatin1String(kReadChunksTitle),
                    QStringLiteral("Path:%1\nFile:%2\n%3")
                        .arg(FolderText(), FileNameText(), QLatin1String(what)));
}

bool QSoundFile::ReadChunks(bool report, bool bextOptional)
{
    ClearRecords();
    const char* failure = nullptr;
    if (!IsOpen()) {
        failure = "isn't open !";
    } else {
        // A file open for reading only cannot have changed size through us.
        const int fd = m_ReadFile.IsOpen() ? m_ReadFile.Handle() : m_File.handle();
        // The state the open found serves the first walk after it.
        if (m_bOpenedStateUnread)
            m_ReadState = m_OpenedState;
        else
            ReadStateOfOpen(fd, &m_ReadState);
        m_bOpenedStateUnread = false;
        HeadTailWindows windows(fd, m_ReadFile.IsOpen() ? m_ReadFile.OpenedLength() : -1);
        m_Layout = RiffChunkWalker::Walk(windows);
        m_bWalked = true;
        if (m_Layout.nFileLength == 0)
            failure = "is empty !";
        else if (m_Layout.bRf64)
            failure = kRf64Refusal;
        else if (!m_Layout.bRiffWave)
            failure = "is not a sound file !";
        else {
            CacheRecords(windows);
            if (m_FmtChunk.szId[0] == 0)
                failure = "hasn't Format Chunk !";
            else if (m_DataChunk.szId[0] == 0 && m_Layout.bStoppedEarly)
                failure = "hasn't Data Chunk within its first 4096 chunks !";
            else if (m_DataChunk.szId[0] == 0)
                failure = "hasn't Data Chunk !";
            else if (!bextOptional && !HasBextChunk())
                failure = "hasn't Bext Chunk !";
        }
    }
    if (!failure)
        return true;
    m_bError = true;
    m_pReadFailure = failure;
    if (report)
        ReportReadChunks(failure);
    return false;
}

void QSoundFile::CacheRecords(RiffByteSource& bytes)
{
    std::memcpy(m_MainChunk.szRiff, "RIFF", 4);
    m_MainChunk.nSize = m_Layout.nRiffSize;
    std::memcpy(m_MainChunk.szWave, "WAVE", 4);

    // Chunk sizes are checked against the file length: a payload is read
    // only as far as the file goes.
    auto readPayload = [this, &bytes](const tyRiffChunkInfo& info, void* into, qint64 most) {
        const qint64 n = qMin(info.AvailableSize(m_Layout.nFileLength), most);
        if (n <= 0 || !bytes.ReadAt(info.PayloadOffset(), static_cast<char*>(into), n))
            return qint64(0);
        return n;
    };

    for (const tyRiffChunkInfo& info : m_Layout.chunks) {
        const QByteArray& id = info.czId;
        if (id == "fmt ") {
            // A format shorter than 16 bytes describes no PCM: as if absent.
            if (m_FmtChunk.szId[0] == 0 && info.nSize >= 16
                && readPayload(info, &m_FmtChunk.nFormatTag, 16) == 16) {
                std::memcpy(m_FmtChunk.szId, id.constData(), 4);
                m_FmtChunk.nSize = info.nSize;
                // An extensible format names its samples in the sub-format
                // GUID, whose first two bytes are the format code.
                unsigned char head[26] = {};
                if (m_FmtChunk.nFormatTag == kFormatExtensible && info.nSize >= 40
                    && readPayload(info, head, 26) == 26)
                    m_nSubFormat = quint16(head[24] | head[25] << 8);
            }
        } else if (id == "bext") {
            if (!HasBextChunk()) {
                std::memcpy(m_BextChunk.szId, id.constData(), 4);
                m_BextChunk.nSize = info.nSize;
                readPayload(info, m_BextChunk.szDescription, BEXT_PAYLOAD_SIZE);
            }
        } else if (id == "film") {
            if (!HasFilmChunk()) {
                std::memcpy(m_FilmChunk.szId, id.constData(), 4);
                m_FilmChunk.nSize = info.nSize;
                readPayload(info, m_FilmChunk.pPayload, FILM_PAYLOAD_SIZE);
            }
        } else if (id == "data") {
            if (m_DataChunk.szId[0] == 0) {
                std::memcpy(m_DataChunk.szId, id.constData(), 4);
                m_nDeclaredDataSize = info.nSize;
                m_DataChunk.nSize = quint32(info.AvailableSize(m_Layout.nFileLength));
                m_nDataOffset = info.PayloadOffset();
            }
        } else if (id == "iXML") {
            if (!m_bHasiXML) {
                m_bHasiXML = true;
                const qint64 n = info.AvailableSize(m_Layout.nFileLength);
                if (n <= kMaxiXMLBytes) {
                    m_baiXMLText.resize(int(n));
                    m_baiXMLText.resize(int(readPayload(info, m_baiXMLText.data(), n)));
                }
            }
        } else if (id.startsWith("ond")) {
            if (m_nOndeOffset == 0) {
                m_nOndeSize = info.nSize;
                m_nOndeOffset = info.PayloadOffset();
            }
        } else {
            ++m_nOtherChunkCount;
            std::memcpy(m_OtherChunk.szId, id.constData(), 4);
            m_OtherChunk.nSize = info.nSize;
            m_OtherChunk.nOffset = info.PayloadOffset();
        }
    }
}

bool QSoundFile::HeadOnDiskMatches()
{
    const int fd = m_ReadFile.IsOpen() ? m_ReadFile.Handle() : m_File.handle();
    if (fd < 0 || !m_bWalked)
        return false;
    HeadTailWindows windows(fd);
    const tyRiffLayout layout = RiffChunkWalker::Walk(windows);
    if (!layout.SameChunks(m_Layout))
        return false;
    // Each payload as far as CacheRecords read it into the records.
    const auto same = [&](const char* id, const char* held, qint64 heldSize) {
        const int index = layout.Find(id);
        if (index < 0 || !held)
            return true;
        const tyRiffChunkInfo& info = layout.chunks.at(index);
        const qint64 n = qMin(info.AvailableSize(layout.nFileLength), heldSize);
        if (n <= 0)
            return true;
        QByteArray bytes(int(n), Qt::Uninitialized);
        return windows.ReadAt(info.PayloadOffset(), bytes.data(), n)
               && std::memcmp(bytes.constData(), held, size_t(n)) == 0;
    };
    const qint64 ixmlSize = m_bHasiXML && !m_baiXMLText.isEmpty() ? m_baiXMLText.size() : 0;
    const QByteArray bext = BextOnDisk();
    return same("fmt ", m_FmtChunk.szId[0] ? reinterpret_cast<const char*>(&m_FmtChunk.nFormatTag) : nullptr, 16)
           && same("bext", HasBextChunk() ? bext.constData() : nullptr, BEXT_PAYLOAD_SIZE)
           && same("film", HasFilmChunk() ? reinterpret_cast<const char*>(m_FilmChunk.pPayload) : nullptr,
                   FILM_PAYLOAD_SIZE)
           && same("iXML", ixmlSize ? m_baiXMLText.constData() : nullptr, ixmlSize);
}

QByteArray QSoundFile::BextOnDisk() const
{
    // A description set but not written yet is in the records, not on the disk.
    QByteArray bext(m_BextChunk.szDescription, BEXT_PAYLOAD_SIZE);
    if (!m_baPendingBext.isEmpty())
        bext.replace(BEXT_DESCRIPTION_OFFSET, m_baBextOnDisk.size(), m_baBextOnDisk);
    return bext;
}

quint64 QSoundFile::HeadPrint() const
{
    // 64-bit FNV-1a over the layout and the payloads kept of it.
    quint64 print = 0xcbf29ce484222325ull;
    const auto add = [&print](const void* bytes, size_t n) {
        const unsigned char* p = static_cast<const unsigned char*>(bytes);
        for (size_t i = 0; i < n; ++i)
            print = (print ^ p[i]) * 0x100000001b3ull;
    };
    const auto addNumber = [&add](qint64 n) { add(&n, sizeof n); };
    addNumber(m_bWalked ? m_Layout.nFileLength : -1);
    addNumber(m_Layout.nRiffSize);
    for (const tyRiffChunkInfo& chunk : m_Layout.chunks) {
        add(chunk.czId.constData(), size_t(chunk.czId.size()));
        addNumber(chunk.nSize);
        addNumber(chunk.nHeaderOffset);
        addNumber(chunk.bPadded);
    }
    if (m_FmtChunk.szId[0])
        add(&m_FmtChunk.nFormatTag, 16);
    if (HasBextChunk()) {
        const QByteArray bext = BextOnDisk();
        add(bext.constData(), size_t(bext.size()));
    }
    if (HasFilmChunk())
        add(m_FilmChunk.pPayload, FILM_PAYLOAD_SIZE);
    addNumber(m_bHasiXML ? m_baiXMLText.size() : -1);
    add(m_baiXMLText.constData(), size_t(m_baiXMLText.size()));
    return print;
}

bool QSoundFile::Rewalk()
{
    ClearRecords();
    ReadStateOfOpen(m_ReadFile.IsOpen() ? m_ReadFile.Handle() : m_File.handle(), &m_ReadState);
    HeadTailWindows windows(m_ReadFile.IsOpen() ? m_ReadFile.Handle() : m_File.handle());
    m_Layout = RiffChunkWalker::Walk(windows);
    m_bWalked = true;
    if (m_Layout.bRiffWave)
        CacheRecords(windows);
    return m_Layout.IsSound();
}

quint32 QSoundFile::GetiXMLChunkSize() const
{
    const int index = m_Layout.Find("iXML");
    return index < 0 ? 0 : m_Layout.chunks.at(index).nSize;
}

int QSoundFile::LectureDataBin(char* buffer, long long offset, int n)
{
    if (!IsOpen() || !buffer || n < 0 || (offset != -1 && offset < 0))
        return -1;
    if (m_ReadFile.IsOpen()) {
        if (offset != -1)
            m_ReadFile.Seek(offset);
        return n == 0 ? 0 : int(m_ReadFile.Read(buffer, n));
    }
    if (offset != -1 && !m_File.seek(offset))
        return -1;
    if (n == 0)
        return 0;
    const qint64 read = m_File.read(buffer, n);
    return read < 0 ? -1 : int(read);
}

bool QSoundFile::SetPointer(unsigned int offset)
{
    if (m_ReadFile.IsOpen()) {
        if (qint64(offset) > m_ReadFile.Size())
            return false;
        m_ReadFile.Seek(offset);
        return true;
    }
    if (!m_File.isOpen() || qint64(offset) > m_File.size())
        return false;
    return m_File.seek(offset);
}

quint32 QSoundFile::GetDurationSeconds() const
{
    const quint64 bytesPerSecond = quint64(m_FmtChunk.nSampleRate) * m_FmtChunk.nChannels
                                   * ((m_FmtChunk.nBitsPerSample + 7u) / 8u);
    return bytesPerSecond == 0 ? 0 : quint32(m_DataChunk.nSize / bytesPerSecond);
}

quint32 QSoundFile::GetFrameCount() const
{
    return m_FmtChunk.nBlockAlign == 0 ? 0 : m_DataChunk.nSize / m_FmtChunk.nBlockAlign;
}

bool QSoundFile::CheckWritable(const char* title) const
{
    const char* problem = nullptr;
    if (!IsOpenForWriting())
        problem = "isn't open for writing !";
    else if (!IsLayoutSound())
        problem = "has a damaged or unknown chunk layout !\nNothing was written.";
    if (!problem)
        return true;
    SendUserMessage(QLatin1String(title), QStringLiteral("Path:%1\nFile:%2\n%3")
                                              .arg(FolderText(), FileNameText(),
                                                   QLatin1String(problem)));
    return false;
}

bool QSoundFile::WriteChunkField(const char* title, const char* id, qint64 offset,
                                 const QByteArray& bytes)
{
    if (!CheckWritable(title))
        return false;
    const int index = m_Layout.Find(id);
    if (index < 0) {
        MyQDebug("%s: no %s chunk in %s", title, id, qPrintable(m_czPath));
        return false;
    }
    RiffChunkWriter writer(m_File, m_Layout);
    const bool written = writer.OverwritePayload(index, offset, bytes);
    if (!written) {
        ReportWriteFailure(title, writer.ErrorText());
        Rewalk();
        return false;
    }
    // The layout stands: only the cached record takes the bytes written.
    CacheField(id, offset, bytes);
    return true;
}

void QSoundFile::CacheField(const char* id, qint64 offset, const QByteArray& bytes)
{
    const QByteArray chunk(id, 4);
    char* payload = chunk == "bext" ? m_BextChunk.szDescription
                    : chunk == "film" ? reinterpret_cast<char*>(m_FilmChunk.pPayload)
                                      : nullptr;
    const qint64 room = chunk == "bext" ? BEXT_PAYLOAD_SIZE : FILM_PAYLOAD_SIZE;
    const int index = m_Layout.Find(id);
    if (!payload || index < 0 || offset < 0 || offset >= room)
        return;
    const qint64 n = qMin<qint64>(bytes.size(), qMin<qint64>(m_Layout.chunks.at(index).nSize, room) - offset);
    if (n > 0)
        std::memcpy(payload + offset, bytes.constData(), size_t(n));
}

bool QSoundFile::PendingBextField(qint64* offset, QByteArray* bytes) const
{
    const int index = m_Layout.Find("bext");
    if (m_baPendingBext.isEmpty() || index < 0)
        return false;
    *offset = m_Layout.chunks.at(index).PayloadOffset() + BEXT_DESCRIPTION_OFFSET;
    *bytes = m_baPendingBext;
    return true;
}

void QSoundFile::ReportWriteFailure(const char* title, const QString& why) const
{
    SendUserMessage(QLatin1String(title), QStringLiteral("Path:%1\nFile:%2\nWrite failed: %3")
                                              .arg(FolderText(), FileNameText(), why));
}
