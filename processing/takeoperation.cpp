#include "processing/takeoperation.h"

#include "foundation/fileutil.h"
#include "foundation/messageloging.h"
#include "foundation/naming.h"
#include "foundation/qpath.h"
#include "soundfile/headwindows.h"
#include "soundfile/soundfile.h"

#include <QDir>
#include <QFileInfo>
#include <climits>
#include <condition_variable>
#include <cstring>
#include <mutex>
#include <system_error>
#include <thread>
#include <vector>

namespace takeop {

namespace {
constexpr qint64 kMiB = 1024 * 1024;

void PutLe16(QByteArray& bytes, quint16 value)
{
    bytes.append(char(value & 0xFF)).append(char(value >> 8));
}

void PutLe32(QByteArray& bytes, quint32 value)
{
    for (int i = 0; i < 4; ++i)
        bytes.append(char((value >> (8 * i)) & 0xFF));
}

void PutChunkHeader(QByteArray& bytes, const char* id, quint32 size)
{
    bytes.append(id, 4);
    PutLe32(bytes, size);
}

// The Latin-1 bytes of text in a field of `size` bytes, zero-padded, cut.
void PutField(char* field, int size, const QString& text)
{
    std::memset(field, 0, size_t(size));
    const QByteArray bytes = text.toLatin1().left(size);
    std::memcpy(field, bytes.constData(), size_t(bytes.size()));
}

QString FileText(const QString& path) { return QDir::toNativeSeparators(path); }
}

void Report(const char* title, const QString& text)
{
    SendUserMessage(QString::fromLatin1(title), text, 0, 1, true, 0);
}

QString TakeSourceName(const tyTakeParams& take, int slot)
{
    const char separator = take.pcSeparators ? take.pcSeparators[slot] : '_';
    const QString stem = take.czFolder + take.czBaseName + QLatin1Char(separator);
    const QString suffix = QLatin1Char('.') + take.czExtension;
    const QString twoDigit = stem + QLatin1String(TrkIndexToNN(slot + 1)) + suffix;
    if (QFileInfo::exists(twoDigit))
        return twoDigit;
    return stem + QLatin1Char(TrkIndexToCharOld(slot + 1)) + suffix;
}

TakeSources::TakeSources() = default;
TakeSources::~TakeSources() = default;

const tySource* TakeSources::Source(int slot) const
{
    return slot >= 0 && slot < kTracks ? m_pSources[slot].get() : nullptr;
}

quint32 TakeSources::DataSize() const
{
    for (const auto& source : m_pSources) {
        if (source) {
            const quint32 width = quint32(qMax(1, BytesPerSample()));
            return source->nDataSize / width * width;
        }
    }
    return 0;
}

bool TakeSources::Open(const tyTakeParams& take, const bool* wanted, const char* title)
{
    m_czTitle = QString::fromLatin1(title);
    bool ok = true;
    for (int slot = 0; slot < kTracks; ++slot) {
        if (wanted[slot] && !OpenOne(take, slot, m_bFirst, title))
            ok = false;
    }
    return ok;
}

bool TakeSources::OpenOne(const tyTakeParams& take, int slot, bool first, const char* title)
{
    auto source = std::make_unique<tySource>();
    source->nSlot = slot;
    source->czPath = TakeSourceName(take, slot);
    MyQDebug("%s", qPrintable(source->czPath));

    QSoundFile file;
    // A file that does not open was reported by the sound file itself.
    if (!file.Open(source->czPath, 0) || !file.ReadChunks(true, true))
        return false;
    const tyFmtChunk& fmt = file.m_FmtChunk;
    const bool pcm = file.IsIntegerPcm();
    const int width = fmt.nBitsPerSample / 8;
    if (!pcm || fmt.nChannels != 1 || (fmt.nBitsPerSample != 16 && fmt.nBitsPerSample != 24)
        || fmt.nBlockAlign != width || fmt.nSampleRate == 0) {
        Report(title, QStringLiteral("Unsupported audio format in\n%1\n(mono 16 or 24-bit PCM files only).")
                          .arg(FileText(source->czPath)));
        return false;
    }
    if (file.GetDeclaredDataSize() > file.m_DataChunk.nSize) {
        Report(title, QStringLiteral("The audio data of\n%1\nis shorter than its header says.")
                          .arg(FileText(source->czPath)));
        return false;
    }
    if (!first && (fmt.nSampleRate != m_Fmt.nSampleRate || fmt.nBitsPerSample != m_Fmt.nBitsPerSample)) {
        Report(title, QStringLiteral("The track files of this take do not agree:\n%1\nhas another sample rate or width.")
                          .arg(FileText(source->czPath)));
        return false;
    }
    source->nDataOffset = file.m_nDataOffset;
    source->nDataSize = file.m_DataChunk.nSize;
    if (file.m_nOndeOffset > 0) {
        source->nWaveOffset = file.m_nOndeOffset - 8;
        source->nWaveSize = file.m_nOndeSize;
    }
    if (first) {
        m_Fmt = fmt;
        m_bHasBext = file.HasBextChunk();
        if (m_bHasBext)
            BextChunkCopy(&file.m_BextChunk, &m_Bext);
        m_bHasFilm = file.HasFilmChunk();
        if (m_bHasFilm)
            FilmChunkCopy(&file.m_FilmChunk, &m_Film);
    }
    if (file.HasiXMLChunk() && file.GetiXMLFileInfos()) {
        source->bIxml = true;
        // Names are trimmed as the loader and the import trim them: a poly
        // output carries them as its mono sources show them.
        source->czTrackName = file.GetiXMLMonoTrackName().trimmed();
        source->czNote = file.GetiXMLNotes();
        m_czLastNote = source->czNote;
        m_czLastCircled = file.GetiXMLCircled();
        m_czLastRefLevel = file.GetiXMLOrvexRefLevel();
        if (!m_bMakerRead) {
            m_bMakerRead = true;
            const QVector<QSoundFile::tyOrvexTrack> makerSlots = file.GetiXMLOrvexTrackTable();
            for (int i = 0; i < kTracks; ++i) {
                m_czMakerName[i] = makerSlots.at(i).czName.trimmed();
                m_czMakerPan[i] = makerSlots.at(i).czPanPot;
                m_czMakerActive[i] = makerSlots.at(i).czActive;
                m_czMakerInGrid[i] = makerSlots.at(i).czInGrid;
            }
        }
    }
    file.Close();

    source->pFile = std::make_unique<QFile>(source->czPath);
    if (!source->pFile->open(QIODevice::ReadOnly | QIODevice::Unbuffered)) {
        Report(title, QStringLiteral("Unable to read/write files !"));
        return false;
    }
    m_bFirst = false;
    m_pSources[slot] = std::move(source);
    return true;
}

bool TakeSources::ReadBlock(int slot, qint64 start, char* area, int n)
{
    if (ReadBlockAt(slot, start, area, n))
        return true;
    Report(qPrintable(m_czTitle), QStringLiteral("Unable to read/write files !"));
    const tySource* source = m_pSources[slot].get();
    MyQDebug("read of %s at %lld failed", qPrintable(source->czPath),
             static_cast<long long>(source->nDataOffset + start));
    return false;
}

bool TakeSources::ReadBlockAt(int slot, qint64 start, char* area, int n) const
{
    const tySource* source = m_pSources[slot].get();
    const qint64 inData = source ? qBound<qint64>(0, qint64(source->nDataSize) - start, n) : 0;
    if (inData > 0 && ReadFully(source->pFile->handle(), source->nDataOffset + start, area, inData) != inData)
        return false;
    // Past a short source's end: silence, not the previous block's bytes.
    if (inData < n)
        std::memset(area + inData, 0, size_t(n - inData));
    return true;
}

void TakeSources::ReportFailedBlock(const bool* read, qint64 start, int n)
{
    std::vector<char> scratch(static_cast<size_t>(n));
    for (int t = 0; t < kTracks; ++t) {
        if (read[t] && !ReadBlock(t, start, scratch.data(), n))
            return;
    }
    Report(qPrintable(m_czTitle), QStringLiteral("Unable to read/write files !"));
}

QByteArray TakeSources::WaveformChunk(int slot, char idLast)
{
    const tySource* source = Source(slot);
    // An overview holds one level per few hundred samples: a size past
    // 16 MiB is damage, not levels.
    if (!source || source->nWaveOffset <= 0 || source->nWaveSize > 16 * kMiB)
        return QByteArray();
    QByteArray chunk(int(8 + source->nWaveSize), '\0');
    QFile& file = *source->pFile;
    if (8 + qint64(source->nWaveSize) > file.size() - source->nWaveOffset || !file.seek(source->nWaveOffset)
        || file.read(chunk.data(), chunk.size()) != chunk.size()) {
        MyQDebug("waveform chunk of %s unreadable", qPrintable(source->czPath));
        return QByteArray();
    }
    if (idLast != '\0')
        chunk[3] = idLast;
    if (chunk.size() & 1) {
        // An odd level count gets one zero level, so readers stay in step.
        chunk.append('\0');
        WriteLe32(reinterpret_cast<unsigned char*>(chunk.data() + 4), source->nWaveSize + 1);
    }
    return chunk;
}

bool CheckFreeSpace(const QString& destinationFolder, qint64 estimateBytes, const char* title,
                    const QString& text)
{
    const qint64 free = FreeSpaceOfPath(destinationFolder);
    const qint64 freeMiB = free < 0 ? -1 : free / kMiB;
    const qint64 estimateMiB = estimateBytes / kMiB;
    MyQDebug("Free : %lld - Size : %lld", static_cast<long long>(freeMiB), static_cast<long long>(estimateMiB));
    if (free < 0 || freeMiB - 10 >= estimateMiB)
        return true;
    Report(title, text.arg(QPath(destinationFolder).GetDrive()));
    return false;
}

QByteArray OutputHeader(const TakeSources& sources, const QString& baseName, const tyOutputLayout& layout)
{
    const quint16 channels = quint16(layout.nChannels);
    const quint16 width = quint16(layout.nBitsPerSample / 8);
    QByteArray header;
    header.append("RIFF", 4);
    PutLe32(header, 0);   // set below, once the length is known
    header.append("WAVE", 4);

    // Always a plain 16-byte PCM fmt: an extensible source's extra bytes
    // would describe another layout than the output's.
    PutChunkHeader(header, "fmt ", 16);
    PutLe16(header, QSoundFile::kFormatPcm);
    PutLe16(header, channels);
    PutLe32(header, sources.m_Fmt.nSampleRate);
    PutLe32(header, sources.m_Fmt.nSampleRate * channels * width);
    PutLe16(header, quint16(channels * width));
    PutLe16(header, quint16(layout.nBitsPerSample));

    if (sources.m_bHasBext) {
        tyBextChunk bext = sources.m_Bext;
        // The reference's last 10 bytes name the take: "%s0000" of its first
        // six characters, zero-padded when the name is shorter.
        char* tail = bext.szOriginatorReference + BEXT_ORIGINATOR_REFERENCE_SIZE - 10;
        PutField(tail, 10, baseName.left(6) + QStringLiteral("0000"));
        PutChunkHeader(header, "bext", BEXT_PAYLOAD_SIZE);
        header.append(reinterpret_cast<const char*>(&bext) + 8, BEXT_PAYLOAD_SIZE);
    }
    if (sources.m_bHasFilm) {
        tyFilmChunk film = sources.m_Film;
        SetFilmChannelCount(&film, channels);
        PutField(reinterpret_cast<char*>(film.pPayload) + FILM_NET_FILE_NAME_OFFSET, FILM_NET_FILE_NAME_SIZE - 1,
                 layout.czFilmName);
        film.pPayload[FILM_NET_FILE_NAME_OFFSET + FILM_NET_FILE_NAME_SIZE - 1] = 0;
        PutChunkHeader(header, film.szId, FILM_PAYLOAD_SIZE);
        header.append(reinterpret_cast<const char*>(film.pPayload), FILM_PAYLOAD_SIZE);
    }
    for (const QByteArray& chunk : layout.waveformChunks)
        header.append(chunk);
    PutChunkHeader(header, "data", layout.nDataSize);

    const qint64 riffSize = qint64(header.size()) - 8 + layout.nDataSize;
    WriteLe32(reinterpret_cast<unsigned char*>(header.data() + 4), quint32(qMin<qint64>(riffSize, 0xFFFFFFFFLL)));
    return header;
}

QString OutputFileName(const QString& destination, const QString& baseName, const QString& suffix,
                       const QString& extension, bool wavToBwf)
{
    QString ext = extension;
    if (wavToBwf && extension == QLatin1String("WAV")) {
        ext = QStringLiteral("BWF");
        MyQDebug("-> to bwf");
    }
    MyQDebug("Ext : %s", qPrintable(suffix));
    return destination + baseName + suffix + QLatin1Char('.') + ext;
}

void ReportWriteFailure(const char* title, const SafeOutput& output, const QString& operation)
{
    const QString cause = output.ErrorText().isEmpty() ? QStringLiteral("unknown error") : output.ErrorText();
    Report(title, QStringLiteral("Writing %1\n%2\nfailed: %3.\nProcess stopped.")
                      .arg(operation.isEmpty() ? QStringLiteral("the new file") : operation,
                           FileText(output.FinalPath()), cause));
}

bool BeginOutput(SafeOutput& output, qint64 headerBytes, qint64 dataBytes, const char* title,
                 const QString& noRoomText, const QString& openFailText, const QString& operation)
{
    MyQDebug("Newfile : %s", qPrintable(output.FinalPath()));
    MyQDebug("Overwrite : %d", QFileInfo::exists(output.FinalPath()) ? 1 : 0);
    const qint64 planned = headerBytes + dataBytes + kIxmlAllowance;
    if (output.Begin(planned)) {
        // Readable and writable by everyone, as the recorder's own files; a
        // mode the volume does not keep leaves the output whole all the same.
        output.OpenToOthers();
        return true;
    }
    const QString folder = QFileInfo(output.FinalPath()).absolutePath();
    switch (output.LastFailure()) {
    case SafeOutput::Failure::TooLarge:
        Report(title, QStringLiteral("The new file\n%1\nwould hold %2 bytes, more than a WAV file can (4 GiB).\nProcess stopped.")
                          .arg(FileText(output.FinalPath()), QString::number(planned)));
        break;
    case SafeOutput::Failure::NoRoom:
        Report(title, noRoomText.arg(QPath(folder + QLatin1Char('/')).GetDrive()));
        break;
    default:
        if (openFailText.isEmpty())
            ReportWriteFailure(title, output, operation);
        else
            Report(title, openFailText.arg(FileText(output.FinalPath())));
        break;
    }
    MyQDebug("%s: %s", title, qPrintable(output.ErrorText()));
    return false;
}

LoopEnd RunBlocks(quint32 dataSize, const CancelFlag* cancel,
                  const std::function<bool(qint64 start, int n)>& block,
                  const std::function<void(qint64)>& progress)
{
    LoopEnd end = LoopEnd::Done;
    for (qint64 start = 0; start < qint64(dataSize); start += kBlockBytes) {
        const int n = int(qMin<qint64>(kBlockBytes, qint64(dataSize) - start));
        if (!block(start, n)) {
            end = LoopEnd::Failed;
            break;
        }
        progress(n);
        if (IsCancelled(cancel)) {
            MyQDebug("   !!!! *pbCancellAll == TRUE !!!!");
            end = LoopEnd::Cancelled;
            break;
        }
    }
    progress(0);
    return end;
}

// A claim of RunBlocksSpread is a run of neighbouring blocks, so each
// computer's reads stay sequential in every source.
constexpr int kBlocksPerClaim = 4;

LoopEnd RunBlocksSpread(quint32 dataSize, const CancelFlag* cancel, int workers, int outBlockBytes,
                        const std::function<int(int worker, qint64 start, int n, unsigned char* out)>& compute,
                        const std::function<void(qint64 start, int n)>& failed,
                        const std::function<bool(const unsigned char* out, int bytes)>& write,
                        const std::function<void(qint64)>& progress)
{
    workers = qMax(1, workers);
    const qint64 blocks = (qint64(dataSize) + kBlockBytes - 1) / kBlockBytes;
    // A ring of output slots: block b fills slot b % ringSlots, and is
    // claimed only once the block that had the slot before has been written.
    const int ringSlots = 2 * workers * kBlocksPerClaim;
    std::vector<unsigned char> ring(size_t(ringSlots) * size_t(outBlockBytes));
    constexpr int kPending = INT_MIN;
    auto blockLength = [dataSize](qint64 block) {
        return int(qMin<qint64>(kBlockBytes, qint64(dataSize) - block * kBlockBytes));
    };

    // Everything below is guarded by mutex. A slot's bytes belong to the
    // computer that claimed its block until it posts the result, then to the
    // caller's thread until it counts the block as written.
    std::mutex mutex;
    std::condition_variable claimable;   // the workers wait here for room or the end
    std::condition_variable posted;      // the caller's thread waits here for its next block
    qint64 nextClaim = 0;                // written by the claiming thread
    qint64 written = 0;                  // written by the caller's thread: blocks handed on
    qint64 awaited = -1;                 // written by the caller's thread: the block it sleeps on
    int idleWorkers = 0;                 // written by the workers
    bool stop = false;                   // written by the caller's thread
    std::vector<int> result(size_t(ringSlots), kPending);   // per slot: bytes filled, -1 a failed read

    // Claims the next run when its ringSlots are free (mutex held): its first
    // block and length, or a length of 0.
    auto claim = [&](qint64* first) {
        const int count = int(qMin<qint64>(kBlocksPerClaim, blocks - nextClaim));
        if (stop || count <= 0 || nextClaim + count > written + ringSlots)
            return 0;
        *first = nextClaim;
        nextClaim += count;
        return count;
    };
    // Computes a claimed run without the lock, then posts it.
    auto computeRun = [&](std::unique_lock<std::mutex>& lock, int worker, qint64 first, int count) {
        lock.unlock();
        int bytes[kBlocksPerClaim];
        for (int i = 0; i < count; ++i) {
            const qint64 block = first + i;
            // A computer that throws fails its block like a failed read:
            // the caller's thread reports it, nothing is written past it,
            // and no exception leaves a worker thread (that would end the
            // program).
            try {
                bytes[i] = compute(worker, block * kBlockBytes, blockLength(block),
                                   ring.data() + size_t(block % ringSlots) * size_t(outBlockBytes));
            } catch (...) {
                bytes[i] = -1;
            }
        }
        lock.lock();
        for (int i = 0; i < count; ++i)
            result[size_t((first + i) % ringSlots)] = bytes[i];
        if (awaited >= first && awaited < first + count)
            posted.notify_one();
    };

    // The caller's thread computes too (as the last worker index) whenever
    // its next block is not ready: a busy machine that holds the helper
    // threads back slows the operation, it never stalls it.
    // The helpers stop and are joined however the loop below ends, an
    // exception of write() or progress() included: a thread destroyed
    // unjoined ends the program.
    std::vector<std::thread> helpers;
    struct tyJoin {
        std::function<void()> stopAndJoin;
        ~tyJoin() { stopAndJoin(); }
    } join{[&] {
        {
            std::lock_guard<std::mutex> guard(mutex);
            stop = true;
        }
        claimable.notify_all();
        for (std::thread& helper : helpers)
            helper.join();
        helpers.clear();
    }};
    // A helper the system cannot start leaves its share to the others and
    // the caller's thread, which computes whatever is not ready.
    try {
        for (int w = 0; w + 1 < workers; ++w) {
            helpers.emplace_back([&, w] {
                std::unique_lock<std::mutex> lock(mutex);
                for (;;) {
                    qint64 first = 0;
                    const int count = claim(&first);
                    if (count > 0) {
                        computeRun(lock, w, first, count);
                        continue;
                    }
                    if (stop || nextClaim >= blocks)
                        return;
                    ++idleWorkers;
                    claimable.wait(lock);
                    --idleWorkers;
                }
            });
        }
    } catch (const std::system_error&) {
    }

    LoopEnd end = LoopEnd::Done;
    for (qint64 block = 0; block < blocks && end == LoopEnd::Done; ++block) {
        const size_t slot = size_t(block % ringSlots);
        int bytes = 0;
        {
            std::unique_lock<std::mutex> lock(mutex);
            while (result[slot] == kPending) {
                qint64 first = 0;
                if (const int count = claim(&first)) {
                    computeRun(lock, workers - 1, first, count);
                } else {
                    awaited = block;
                    posted.wait(lock);
                    awaited = -1;
                }
            }
            bytes = result[slot];
        }
        const int n = blockLength(block);
        if (bytes < 0) {
            failed(block * kBlockBytes, n);
            end = LoopEnd::Failed;
        } else if (!write(ring.data() + slot * size_t(outBlockBytes), bytes)) {
            end = LoopEnd::Failed;
        } else {
            progress(n);
            if (IsCancelled(cancel)) {
                MyQDebug("   !!!! *pbCancellAll == TRUE !!!!");
                end = LoopEnd::Cancelled;
            }
        }
        std::lock_guard<std::mutex> guard(mutex);
        result[slot] = kPending;
        written = block + 1;
        // A worker is woken once a whole run fits, not for every slot.
        if (idleWorkers > 0 && nextClaim + qMin<qint64>(kBlocksPerClaim, blocks - nextClaim) <= written + ringSlots)
            claimable.notify_one();
    }
    join.stopAndJoin();
    progress(0);
    return end;
}

std::vector<tyMixArea> MixAreas(const bool* read, int samplesPerBlock)
{
    std::vector<tyMixArea> mixAreas(qBound<size_t>(1, std::thread::hardware_concurrency(), 7));
    for (tyMixArea& m : mixAreas) {
        m.areas.resize(kTracks);
        for (int t = 0; t < kTracks; ++t) {
            if (read[t])
                m.areas[size_t(t)].resize(size_t(kBlockBytes));
        }
        m.left.resize(size_t(samplesPerBlock));
        m.right.resize(size_t(samplesPerBlock));
    }
    return mixAreas;
}

const char* const kIxmlRefused = "its iXML document did not take one of its values";

void ReportMetadataFailure(const char* title, const QString& operation, const QString& path, const QString& why)
{
    Report(title, QStringLiteral("Writing the metadata of %1\n%2\nfailed: %3.\nProcess stopped.")
                      .arg(operation.isEmpty() ? QStringLiteral("the new file") : operation, FileText(path), why));
}

bool FinishOutput(SafeOutput& output, bool sync, const std::function<bool(QSoundFile&, QString* why)>& metadata,
                  const char* title, const QString& operation)
{
    if (!output.Close(sync)) {
        ReportWriteFailure(title, output, operation);
        return false;
    }
    {
        // A new file that does not reopen (a card that refuses the open)
        // would take its name without its iXML: it fails as a refused write.
        QSoundFile file;
        errno = 0;
        QString why;
        bool written = file.Open(output.TemporaryPath(), 2) && file.ReadChunks(false, true) && metadata(file, &why);
        int error = errno;
        if (const int closed = file.CloseWritten(); closed != 0 && written) {
            written = false;
            error = closed;
        }
        if (!written) {
            output.Discard();
            if (why.isEmpty())
                why = error != 0 ? QString::fromLocal8Bit(std::strerror(error)) : QStringLiteral("unknown error");
            ReportMetadataFailure(title, operation, output.FinalPath(), why);
            return false;
        }
    }
    if (!output.Commit()) {
        ReportWriteFailure(title, output, operation);
        return false;
    }
    return true;
}

}  // namespace takeop
