// Import of a foreign WAV file as the mono files of a recorder take.
#include "processing/qsoundmixer.h"

#include "foundation/messageloging.h"
#include "foundation/naming.h"
#include "foundation/recordfiles.h"
#include "foundation/replacejournal.h"
#include "processing/importtexts.h"
#include "processing/outputset.h"
#include "processing/takeoperation.h"
#include "soundfile/filestatus.h"
#include "soundfile/headwindows.h"
#include "soundfile/soundfile.h"
#include "take/samplearith.h"
#include "take/soundperform.h"

#include <QDateTime>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QThread>
#include <cstring>
#include <future>
#include <vector>

namespace {

const char* const kTitle = "Import";
const char* const kVersion = "1.2.2 beta";
constexpr int kMaxChannels = tySourceSound::kMostChannels;
// Bytes of one channel per block: a whole number of 16 and of 24-bit
// samples. Eight of the classic 15120-byte runs per write keep the
// number of system calls low for a 24-channel file.
constexpr int kChannelBlock = 8 * 15120;
constexpr int kMaxPoints = 180000;   // five hours at ten points per second
// The iXML text is padded to at least this many characters.
constexpr int kIxmlPad = 61440;

bool Running(const std::atomic<bool>* run) { return !run || run->load(std::memory_order_relaxed); }

void PutLe16(unsigned char* p, quint16 v)
{
    p[0] = static_cast<unsigned char>(v & 0xFF);
    p[1] = static_cast<unsigned char>(v >> 8);
}

void AppendLe16(QByteArray& bytes, quint16 v) { bytes.append(char(v & 0xFF)).append(char(v >> 8)); }

void AppendLe32(QByteArray& bytes, quint32 v)
{
    for (int i = 0; i < 4; ++i)
        bytes.append(char((v >> (8 * i)) & 0xFF));
}

// The waveform overview of every channel: one point per samplesPerPoint
// samples, the peak shifted to 8 bits (a full-scale negative peak would
// give 256: kept at 255); at most kMaxPoints. Every channel reaches a point
// at the same frame, so one count serves all.
struct tyOverviews {
    int nSamplesPerPoint = 0;
    int nShift = 0;
    int nCount = 0;                       // samples into the current point
    std::vector<int> peaks;               // per channel, of the current point
    std::vector<std::vector<char>> points;

    void EndPoint()
    {
        for (size_t c = 0; c < peaks.size(); ++c) {
            if (points[c].size() < size_t(kMaxPoints))
                points[c].push_back(char(qMin(255, peaks[c] >> nShift)));
            peaks[c] = 0;
        }
        nCount = 0;
    }
};

// A thread for the work where one can be made; else the work is done
// when its result is waited for.
constexpr auto kLaunch = std::launch::async | std::launch::deferred;

// Cuts the frames [from, to) of a block into each channel's run (channel c
// at c * perChannel), taking the overview's peaks in the same pass.
void CutFrames(const char* in, char* out, int bytesPerSample, int perChannel, int channels, int from, int to,
               tyOverviews* overviews)
{
    if (!overviews) {
        QSoundPerform::DeCrossPeaks(in, out, bytesPerSample, perChannel, channels, from, to - from, nullptr);
        return;
    }
    for (int f = from; f < to;) {
        const int run = qMin(to - f, overviews->nSamplesPerPoint - overviews->nCount);
        QSoundPerform::DeCrossPeaks(in, out, bytesPerSample, perChannel, channels, f, run, overviews->peaks.data());
        f += run;
        overviews->nCount += run;
        if (overviews->nCount == overviews->nSamplesPerPoint)
            overviews->EndPoint();
    }
}

// Cuts a block of whole frames into each channel's runs in up to `parts`
// stretches of frames at once. Every stretch after the first begins on a
// point of the overview, so it takes its points into an overview of its
// own, started empty; they are appended in order once every stretch is cut,
// and the last stretch's unfinished point goes on into the next block. The
// overview comes out as if the block had been cut in one pass.
void SplitBlock(const char* in, char* out, int bytesPerSample, int perChannel, int channels, tyOverviews* overviews,
                int parts)
{
    const int frames = perChannel / bytesPerSample;
    std::vector<int> bounds{0};
    for (int i = 1; i < parts; ++i) {
        int bound = int(qint64(frames) * i / parts);
        if (overviews) {
            // Up to the next frame that begins a point.
            const int step = overviews->nSamplesPerPoint;
            const int first = (step - overviews->nCount) % step;
            bound = bound <= first ? first : first + (bound - first + step - 1) / step * step;
        }
        if (bound > bounds.back() && bound < frames)
            bounds.push_back(bound);
    }
    bounds.push_back(frames);
    const int stretches = int(bounds.size()) - 1;
    std::vector<tyOverviews> own(overviews ? size_t(stretches - 1) : 0);
    for (tyOverviews& o : own) {
        o.nSamplesPerPoint = overviews->nSamplesPerPoint;
        o.nShift = overviews->nShift;
        o.peaks.assign(size_t(channels), 0);
        o.points.resize(size_t(channels));
    }
    std::vector<std::future<void>> cutting;
    for (int s = 1; s < stretches; ++s)
        cutting.push_back(std::async(kLaunch, CutFrames, in, out, bytesPerSample, perChannel, channels,
                                     bounds[size_t(s)], bounds[size_t(s) + 1],
                                     overviews ? &own[size_t(s) - 1] : nullptr));
    CutFrames(in, out, bytesPerSample, perChannel, channels, 0, bounds[1], overviews);
    for (std::future<void>& f : cutting)
        f.get();
    if (own.empty())
        return;
    for (const tyOverviews& o : own) {
        for (int c = 0; c < channels; ++c) {
            std::vector<char>& to = overviews->points[size_t(c)];
            const std::vector<char>& from = o.points[size_t(c)];
            to.insert(to.end(), from.begin(),
                      from.begin() + qMin<qint64>(qint64(from.size()), qMax<qint64>(0, kMaxPoints - qint64(to.size()))));
        }
    }
    overviews->peaks = own.back().peaks;
    overviews->nCount = own.back().nCount;
}

// "HH:MM:SS" of whole seconds.
QByteArray ClockText(qint64 seconds)
{
    return importtexts::Printf("%02d:%02d:%02d", int(seconds / 3600), int(seconds / 60 % 60), int(seconds % 60));
}

// What every output file of one import shares.
struct tyImport {
    tyFmtChunk fmt{};
    bool bHasBext = false;
    tyBextChunk bext{};
    bool bHasFilm = false;
    tyFilmChunk film{};
    quint32 nFrames = 0;
    int nChannels = 0;
    int nBytes = 0;                // per sample
    int nTrack = -1;               // one numbered track, or -1
    QByteArray tag;                // the take id
    QByteArray rate;               // the film rate text of the frame-rate label
    QByteArray sourcePath;
    QByteArray noteName;           // the file name the notes record
    QString czUserTc;
    QByteArray date;               // the computer's date and time
    QByteArray time;
    qint64 nSecondsOfDay = 0;
    QString names[kMaxChannels];   // the source's iXML track names
};

// 0-based slot of channel c.
int SlotOf(const tyImport& import, int c) { return import.nTrack >= 0 ? import.nTrack : c; }

QString SuffixOf(const tyImport& import, int c)
{
    if (import.nTrack >= 0)
        return QStringLiteral("_%1").arg(import.nTrack + 1);
    return QLatin1Char('_') + QLatin1String(TrkIndexToNN(c + 1));
}

QString TrackNameOf(const tyImport& import, int c)
{
    const QString name = import.names[import.nTrack >= 0 ? 0 : c].trimmed();
    return name.isEmpty() ? QStringLiteral("T%1").arg(SlotOf(import, c) + 1) : name;
}

// The bext payload of channel c, and the time and date texts of its film chunk.
QByteArray BextPayload(const tyImport& import, int c, QByteArray* timeText, QByteArray* dateText,
                       quint64* timeReference)
{
    const int slot = SlotOf(import, c);
    const quint32 rate = import.fmt.nSampleRate;
    tyBextChunk bext{};
    char* reference = bext.szOriginatorReference;
    if (!import.bHasBext) {
        QByteArray tag = import.tag;
        if (importtexts::IsThirdDrift(import.rate) && !tag.isEmpty() && tag.at(0) >= 'A' && tag.at(0) <= 'Z')
            tag[0] = char(tag.at(0) - 'A' + 'a');
        const QByteArray description = importtexts::FixedDescription(tag, import.rate, slot + 1, import.noteName);
        std::memcpy(bext.szDescription, description.constData(), BEXT_DESCRIPTION_SIZE);
        importtexts::PutText(bext.szOriginator, 32, importtexts::Printf("Nalvo Import v%9.9s", kVersion));
        std::memcpy(reference, "ORVEX", 5);
        importtexts::PutText(reference + 6, 26, importtexts::Printf(" %21.21s100", import.tag.constData()));
        importtexts::PutText(bext.szOriginationDate, 11, import.date);
        importtexts::PutText(bext.szOriginationTime, 9, import.time);
        quint64 reference64 = quint64(import.nSecondsOfDay) * rate;
        if (importtexts::IsThirdDrift(import.rate))
            reference64 += reference64 / 1000;
        bext.nTimeReferenceLow = quint32(reference64 & 0xFFFFFFFFu);
        bext.nTimeReferenceHigh = quint32(reference64 >> 32);
        *timeText = import.time;
        *dateText = import.date;
    } else {
        BextChunkCopy(&import.bext, &bext);
        quint64 reference64 = quint64(bext.nTimeReferenceHigh) << 32 | bext.nTimeReferenceLow;
        if (!import.czUserTc.isEmpty()) {
            const QStringList parts = import.czUserTc.split(QLatin1Char(':'));
            const qint64 seconds = parts.value(0).toInt() * 3600LL + parts.value(1).toInt() * 60 + parts.value(2).toInt();
            reference64 = quint64(seconds) * rate;
            bext.nTimeReferenceLow = quint32(reference64 & 0xFFFFFFFFu);
            bext.nTimeReferenceHigh = quint32(reference64 >> 32);
        }
        if (std::memcmp(reference, "ORVEX", 5) == 0) {
            reference[28] = '1';
        } else {
            std::memcpy(reference, "ORVEX", 5);
            importtexts::PutText(reference + 6, 26, importtexts::Printf(" %21.21s000", import.tag.constData()));
        }
        std::memset(bext.szOriginator, 0, sizeof bext.szOriginator);
        importtexts::PutText(bext.szOriginator, 32, importtexts::Printf("TBR3 Import v%9.9s", kVersion));
        *timeText = ClockText(qint64(reference64 / rate) + 1);
        *dateText = QByteArray(bext.szOriginationDate, int(qstrnlen(bext.szOriginationDate, 10)));
        const QByteArray note = "SrcFile:" + import.noteName.left(42);
        QSoundMixer::RewriteBextDescriptor(bext.szDescription, nullptr, nullptr, note.constData(), nullptr,
                                           import.tag.constData(), import.rate.constData(), slot,
                                           TrackNameOf(import, c).toLatin1().constData());
    }
    reference[31] = char('0' + slot);
    *timeReference = quint64(bext.nTimeReferenceHigh) << 32 | bext.nTimeReferenceLow;
    return QByteArray(reinterpret_cast<const char*>(&bext) + 8, BEXT_PAYLOAD_SIZE);
}

QByteArray FilmPayload(const tyImport& import, int c, const QByteArray& timeText, const QByteArray& dateText,
                       quint64 timeReference)
{
    tyFilmChunk film{};
    if (import.bHasFilm) {
        FilmChunkCopy(&import.film, &film);
        SetFilmChannelCount(&film, 1);
        return QByteArray(reinterpret_cast<const char*>(film.pPayload), FILM_PAYLOAD_SIZE);
    }
    unsigned char* p = film.pPayload;
    char* text = reinterpret_cast<char*>(p);
    const quint32 rate = import.fmt.nSampleRate;
    importtexts::PutText(text + 4, 15, timeText.left(8) + ":00:00");
    importtexts::PutText(text + 28, 11, dateText.left(10));
    if (import.bHasBext)
        WriteLe32(p + 52, rate - quint32(timeReference % rate));
    importtexts::PutText(text + 122, 32, importtexts::Printf("NALVO v%9.9s", kVersion));
    PutLe16(p + FILM_CHANNELS_OFFSET, 1);
    WriteLe32(p + 266, rate);
    std::memcpy(text + 270, import.rate.left(10).constData(), size_t(import.rate.left(10).size()));
    PutLe16(p + 280, import.fmt.nBitsPerSample);
    WriteLe32(p + 288, import.nFrames);
    importtexts::PutText(text + 292, 32, QByteArrayLiteral("Nalvo  by orvex"));
    importtexts::PutText(text + 548, 256, import.sourcePath);
    importtexts::PutText(text + FILM_NET_FILE_NAME_OFFSET, FILM_NET_FILE_NAME_SIZE,
                         import.tag + SuffixOf(import, c).toLatin1() + ".WAV");
    importtexts::PutText(text + 1060, 32, QByteArrayLiteral("#START|END"));
    return QByteArray(reinterpret_cast<const char*>(p), FILM_PAYLOAD_SIZE);
}

// RIFF, bext, fmt (plain PCM, one channel), film and the data header of channel c.
QByteArray OutputHeader(const tyImport& import, int c, quint32 dataSize)
{
    QByteArray timeText, dateText;
    quint64 timeReference = 0;
    const QByteArray bext = BextPayload(import, c, &timeText, &dateText, &timeReference);
    QByteArray header("RIFF", 4);
    AppendLe32(header, 0);
    header.append("WAVE", 4);
    header.append("bext", 4);
    AppendLe32(header, BEXT_PAYLOAD_SIZE);
    header.append(bext);
    header.append("fmt ", 4);
    AppendLe32(header, 16);
    AppendLe16(header, 1);
    AppendLe16(header, 1);
    AppendLe32(header, import.fmt.nSampleRate);
    AppendLe32(header, import.fmt.nSampleRate * quint32(import.nBytes));
    AppendLe16(header, quint16(import.nBytes));
    AppendLe16(header, import.fmt.nBitsPerSample);
    header.append(import.bHasFilm ? import.film.szId : "film", 4);
    AppendLe32(header, FILM_PAYLOAD_SIZE);
    header.append(FilmPayload(import, c, timeText, dateText, timeReference));
    header.append("data", 4);
    AppendLe32(header, dataSize);
    WriteLe32(reinterpret_cast<unsigned char*>(header.data() + 4), quint32(header.size() - 8) + dataSize);
    return header;
}

// The maker block every file of one import carries, slot by slot.
struct tyMakerTable {
    QString names[kMaxChannels], pans[kMaxChannels], actives[kMaxChannels], inGrids[kMaxChannels];
};

// Every file names and arms all tracks of the take, as the recorder's files
// do: the take list reads them from one file. A member imported on its own
// arms the tracks of its whole take (takeTracks): the loader reads every
// track's arming from one file, whichever is first.
tyMakerTable MakerTableOf(const tyImport& import, quint32 takeTracks)
{
    tyMakerTable table;
    for (int slot = 0; slot < kMaxChannels; ++slot) {
        const bool armed = import.nTrack >= 0 && (takeTracks >> slot & 1u);
        table.actives[slot] = armed ? QStringLiteral("YES") : QStringLiteral("NO");
        if (armed)
            table.pans[slot] = QStringLiteral("100,100");
    }
    for (int c = 0; c < import.nChannels; ++c) {
        const int slot = SlotOf(import, c);
        table.names[slot] = TrackNameOf(import, c);
        table.pans[slot] = QStringLiteral("100,100");
        table.actives[slot] = QStringLiteral("YES");
    }
    return table;
}

// The recorder iXML of channel c's file, in its document: its track, the
// take's file count, its name, the maker block and its source. False when
// the document refused one of them. The first setter builds the new
// document, which the file-set reader then finds.
bool SetImportedIxml(QSoundFile& file, const tyImport& import, int c, int files, tyMakerTable* table)
{
    const int slot = SlotOf(import, c);
    return file.SetiXMLMonoTrackNumber(slot, slot + 1) && file.GetiXMLFileInfos()
           && file.SetiXMLTotalFiles(slot, files, false) && file.SetiXMLMonoTrackName(slot, TrackNameOf(import, c))
           && file.SetiXMLOrvexAllTrkInfos(table->names, table->pans, table->actives, table->inGrids)
           && file.SetiXMLNote(slot, QStringLiteral("SrcFile:") + QString::fromLatin1(import.noteName));
}

}  // namespace

bool QSoundMixer::ImportMono(QString source, QString folder, QString takeId, int track, int totalFiles,
                             const char* fps, QString groupSource, const std::atomic<bool>* run,
                             int overviewRate, QString userTc, quint32 takeTracks)
{
    using takeop::Report;
    MyQDebug("Import Mono %s", qPrintable(source));
    // The dialog's file bar reaches 100 whatever the end.
    struct tyDone {
        QSoundMixer* mixer;
        ~tyDone() { emit mixer->signal_ImportSourceProgressPct(100); }
    } done{this};
    const QString sourceText = QDir::toNativeSeparators(source);

    tyImport import;
    qint64 dataOffset = 0;
    QString cutShort;   // the reason told once the sound present is imported
    {
        QSoundFile file;
        if (!QFileInfo(source).isFile() || !file.Open(source, 0) || !file.ReadChunks(false, true)) {
            Report(kTitle, QStringLiteral("Unable to read source file !"));
            return false;
        }
        import.fmt = file.m_FmtChunk;
        import.nChannels = import.fmt.nChannels;
        import.nBytes = import.fmt.nBitsPerSample / 8;
        MyQDebug("NBCHANNELS : << %d", import.nChannels);
        // Its format and its sound by the rule the take line tells.
        const tySourceSound sound = SourceSoundOf(file);
        if (!sound.Importable()) {
            Report(kTitle, QStringLiteral("Unable to import\n%1\n%2").arg(sourceText, sound.Reason()));
            return false;
        }
        import.nFrames = sound.nFrames;
        if (sound.eKind == tySourceSound::CutShort)
            cutShort = sound.Reason();
        if (m_nImportFrameLimit > 0 && m_nImportFrameLimit < import.nFrames) {
            import.nFrames = m_nImportFrameLimit;
            if (cutShort.isEmpty())
                cutShort = QStringLiteral("Another file of its take is shorter than its header says.");
        }
        import.bHasBext = file.HasBextChunk();
        if (import.bHasBext)
            BextChunkCopy(&file.m_BextChunk, &import.bext);
        import.bHasFilm = file.HasFilmChunk();
        if (import.bHasFilm)
            FilmChunkCopy(&file.m_FilmChunk, &import.film);
        // A track number names the one track of a one-channel file.
        import.nTrack = import.nChannels == 1 && track >= 0 && track < kMaxChannels ? track : -1;
        if (file.HasiXMLChunk() && file.GetiXMLFileInfos()) {
            if (import.nTrack < 0) {
                const QVector<QSoundFile::tyPolyTrack> tracks = file.GetiXMLPolyTrackTable(0, import.nChannels);
                for (int c = 0; c < import.nChannels; ++c)
                    import.names[c] = tracks.at(c).czName;
            } else {
                import.names[0] = file.GetiXMLMonoTrackName();
            }
        }
        import.sourcePath = QFile::encodeName(source);
        dataOffset = file.m_nDataOffset;
    }
    QFile input(source);
    if ( !input.open(QIODevice::ReadOnly | QIODevice::Unbuffered) || !input.seek(dataOffset)) {
        Report(kTitle, QStringLiteral("Unable to read source file !"));
        return false;
    }

    import.tag = takeId.toLatin1();
    import.rate = importtexts::RateTextOfLabel(QByteArray(fps ? fps : ""));
    import.czUserTc = userTc;
    import.noteName = (import.nTrack >= 0 ? groupSource : QFileInfo(source).fileName()).toLatin1();
    const int channels = import.nChannels;

    // Every name is checked before anything is written, once a killed
    // import of the take is settled.
    QStringList names;
    for (int c = 0; c < channels; ++c)
        names << QDir::cleanPath(folder + QLatin1Char('/') + takeId + SuffixOf(import, c) + QStringLiteral(".WAV"));
    const QString unsettled =
        names.isEmpty() ? QString() : SettleFailureText(SettleReplacementAlone(ReplaceJournal::PathFor(names.first())));
    if (!unsettled.isEmpty()) {
        Report(kTitle, QStringLiteral("Unable to read/write files!\n%1").arg(unsettled));
        return false;
    }
    for (const QString& name : names) {
        if (QFileInfo::exists(name) || QFileInfo(name).isSymLink()) {
            Report(kTitle, QStringLiteral("Unable to create new file\ntarget file name ID\n%1 already existe !").arg(takeId));
            return false;
        }
    }

    const QDateTime now = QDateTime::currentDateTime();
    import.date = now.date().toString(QStringLiteral("yyyy-MM-dd")).toLatin1();
    import.time = now.time().toString(QStringLiteral("HH:mm:ss")).toLatin1();
    import.nSecondsOfDay = now.time().msecsSinceStartOfDay() / 1000;
    MyQDebug("%s", import.date.constData());
    MyQDebug("%s", import.time.constData());

    const quint32 outData = import.nFrames * quint32(import.nBytes);
    const int samplesPerPoint = overviewRate > 0 ? int(import.fmt.nSampleRate) / overviewRate : 0;
    const bool overview = samplesPerPoint > 0;
    const qint64 points = overview ? qMin<qint64>(kMaxPoints, import.nFrames / quint32(samplesPerPoint)) : 0;
    // After the samples: a pad byte, the waveform chunk and the iXML chunk.
    const qint64 trailer = 1 + (overview ? 8 + 4 + points + 1 : 0);
    const qint64 tail = trailer + takeop::kIxmlAllowance;
    QList<QByteArray> headers;
    qint64 estimate = 0;
    for (int c = 0; c < channels; ++c) {
        headers << OutputHeader(import, c, outData);
        estimate += headers.last().size() + qint64(outData) + tail;
    }
    if (!takeop::CheckFreeSpace(folder + QLatin1Char('/'), estimate, kTitle,
                                QStringLiteral("Not enough disk space on drive\n%1\nProcess stopped.")))
        return false;

    OutputSet outputs(QStringLiteral("import"));
    const QString openFail = QStringLiteral("Unable to open files (IO_write)\n%1!");
    for (int c = 0; c < channels; ++c) {
        SafeOutput& output = outputs.Add(names.at(c), SafeOutput::Replace::Never);
        // A synced import lets the disk work while the next blocks are cut.
        output.SetEarlyWriteback(m_bSyncOutput);
        if (!takeop::BeginOutput(output, headers.at(c).size(), qint64(outData) + trailer,
                                 kTitle, QStringLiteral("Not enough disk space on drive\n%1\nProcess stopped."),
                                 openFail)
            || !output.Write(headers.at(c).constData(), headers.at(c).size())) {
            if (output.LastFailure() == SafeOutput::Failure::Write)
                Report(kTitle, openFail.arg(QDir::toNativeSeparators(names.at(c))));
            return false;
        }
    }

    // Samples: blocks of whole frames, the last one cut at the data end.
    const qint64 total = qint64(import.nFrames) * import.fmt.nBlockAlign;
    const qint64 blockBytes = qint64(channels) * kChannelBlock;
    std::vector<char> in[2] = {std::vector<char>(size_t(blockBytes)), std::vector<char>(size_t(blockBytes))};
    std::vector<char> out[2] = {std::vector<char>(size_t(blockBytes)), std::vector<char>(size_t(blockBytes))};
    tyOverviews overviews;
    overviews.nSamplesPerPoint = samplesPerPoint;
    overviews.nShift = 8 * import.nBytes - 9;
    overviews.peaks.assign(size_t(channels), 0);
    overviews.points.resize(size_t(channels));
    for (std::vector<char>& o : overviews.points)
        o.reserve(size_t(points));
    // Three stages overlap, each block going through them in order: block
    // k+2 is read (a positioned read, into in[k % 2]) while block k+1 is cut
    // into channel runs (in and out[(k + 1) % 2]) and block k's runs are
    // written from out[k % 2]. Blocks are cut one at a time and in order, so
    // the overviews' peaks are taken as in a single pass. Where no thread
    // can be made, a stage runs when its result is asked for.
    // The cut is the slowest stage: its frames are spread over the cores
    // the reader and the writer leave, two at least.
    const int cutters = qBound(2, QThread::idealThreadCount() - 2, 4);
    const int fd = input.handle();
    auto bytesOf = [&](qint64 position) { return int(qMin(blockBytes, total - position)); };
    // The block's byte count, or -1 when the source cannot be read.
    auto read = [&, fd](qint64 position, char* into) {
        const int n = bytesOf(position);
        return ReadFully(fd, dataOffset + position, into, n) == n ? n : -1;
    };
    auto cut = [&](std::shared_future<int> loaded, const char* from, char* into) {
        const int n = loaded.get();
        if (n > 0)
            SplitBlock(from, into, import.nBytes, n / channels, channels, overview ? &overviews : nullptr, cutters);
        return n;
    };
    auto startRead = [&](qint64 position, int buffer) {
        return position < total ? std::async(kLaunch, read, position, in[buffer].data()).share()
                                : std::shared_future<int>();
    };
    std::shared_future<int> reading = startRead(0, 0);
    std::future<int> cutting;
    if (reading.valid())
        cutting = std::async(kLaunch, cut, reading, in[0].data(), out[0].data());
    reading = startRead(bytesOf(0), 1);
    // Every way out of the loop lets the stages in flight end first.
    auto settle = [&] {
        if (cutting.valid())
            cutting.wait();
        if (reading.valid())
            reading.wait();
    };
    bool stopped = false;
    int ready = 0;   // the buffers of the block being written
    for (qint64 position = 0; position < total;) {
        const int n = cutting.get();
        if (n < 0) {
            settle();
            Report(kTitle, QStringLiteral("Unable to read source file !"));
            return false;
        }
        if (!Running(run)) {
            stopped = true;
            break;
        }
        const int percent = total < 10001 ? int(position * 100 / total) : int(position / (total / 100));
        emit signal_ImportSourceProgressPct(percent);
        const qint64 following = position + n;
        if (following < total) {
            cutting = std::async(kLaunch, cut, reading, in[1 - ready].data(), out[1 - ready].data());
            reading = startRead(following + bytesOf(following), ready);
        }
        const int perChannel = n / channels;
        for (int c = 0; c < channels; ++c) {
            if (!Running(run)) {
                stopped = true;
                break;
            }
            const char* samples = out[ready].data() + qint64(c) * perChannel;
            if (!outputs.At(c).Write(samples, perChannel)) {
                settle();
                MyQDebug("Error on write");
                Report(kTitle, QStringLiteral("Unable to write\n%1\n%2\nThe import was stopped; no file was kept.")
                                   .arg(QDir::toNativeSeparators(names.at(c)),
                                        RecordTexts::Sentence(outputs.At(c).ErrorText())));
                return false;
            }
        }
        if (stopped)
            break;
        position = following;
        ready = 1 - ready;
    }
    settle();
    if (stopped) {
        MyQDebug("Import stopped: no file kept");
        return false;
    }
    if (!outputs.CloseAll()) {
        Report(kTitle, QStringLiteral("Unable to write the new files in\n%1").arg(QDir::toNativeSeparators(folder)));
        return false;
    }

    // Waveform overview and iXML of every file, on its temporary name.
    tyMakerTable table = MakerTableOf(import, takeTracks);
    for (int c = 0; c < channels; ++c) {
        if (!Running(run))
            return false;
        const int slot = SlotOf(import, c);
        QSoundFile file;
        bool written = file.Open(outputs.At(c).TemporaryPath(), 2) && file.ReadChunks(false, false);
        std::vector<char>& o = overviews.points[size_t(c)];
        if (written && overview)
            written = file.AddOndeChunk(o.data(), int(o.size()), slot + 1, samplesPerPoint);
        const bool set = !written || SetImportedIxml(file, import, c, import.nTrack >= 0 ? totalFiles : channels, &table);
        if (written && set) {
            QString text = file.GenerateiXMLChunkMono(slot);
            if (text.size() < kIxmlPad)
                text += QString(kIxmlPad - text.size(), QLatin1Char(' '));
            written = file.AddiXMLChunk(text);
        }
        written = file.CloseWritten() == 0 && written;
        if (!set) {
            takeop::ReportMetadataFailure(kTitle, QStringLiteral("the imported file"), names.at(c),
                                          QLatin1String(takeop::kIxmlRefused));
            return false;
        }
        if (!written) {
            Report(kTitle, QStringLiteral("Unable to write\n%1\nThe import was stopped; no file was kept.")
                               .arg(QDir::toNativeSeparators(names.at(c))));
            return false;
        }
    }
    if (!Running(run))
        return false;
    if (!outputs.CommitAll(m_bSyncOutput)) {
        Report(kTitle, QStringLiteral("Unable to write the new files in\n%1\n%2%3")
                           .arg(QDir::toNativeSeparators(folder), RecordTexts::Sentence(outputs.ErrorText()),
                                outputs.FilesAsBefore() ? QStringLiteral("\nNo file was kept.") : QString()));
        MyQDebug("%s: %s", kTitle, qPrintable(outputs.ErrorText()));
        return false;
    }
    // A source cut short is imported as far as it goes, and the user told so.
    if (!cutShort.isEmpty())
        SendUserMessage(QLatin1String(kTitle),
                        QStringLiteral("Imported\n%1\n%2 The %3 seconds of sound it holds were imported.")
                            .arg(sourceText, cutShort,
                                 QString::number(double(import.nFrames) / import.fmt.nSampleRate, 'f', 1)),
                        0, 2);
    return true;
}
