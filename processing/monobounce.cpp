// Mono bounces: a take's tracks mixed into a left and a right mono file,
// tracks 9 and 10 of the family; the pattern variant subtracts a signal.
#include "processing/qsoundmixer.h"

#include "foundation/filekey.h"
#include "foundation/messageloging.h"
#include "foundation/naming.h"
#include "processing/mixkernels.h"
#include "processing/outputset.h"
#include "processing/takeoperation.h"
#include "soundfile/soundfile.h"
#include "take/gaintable.h"
#include "take/samplearith.h"
#include "take/soundperform.h"

#include <QDir>
#include <QFileInfo>
#include <cstring>
#include <vector>

struct QSoundMixer::tyMonoBouncePlan {
    const char* pcTitle = "";
    const char* pcStart = "";
    const char* pcStop = "";
    const bool* pbPresent = nullptr;
    const short* pnSteps = nullptr;
    const short* pnPan = nullptr;
    const bool* pbExcluded = nullptr;
    const int* pnPattern = nullptr;   // null: no pattern
    size_t nPatternLength = 0;
    bool bProgress = false;
    // The outputs join the take's family: its file count + 2 as theirs.
    bool bFamily = false;
    // The family's track files found in the destination get the new count.
    bool bUpdateTracks = false;
    // M/S pairs to convert in the destination afterwards (null: none).
    const bool* pbConvertPairs = nullptr;
    // Renumbering of the family's files in the destination by this shift.
    short nShift = 0;
};

namespace {

const QString kDiskText = QStringLiteral("Not enough disk space on drive\n%1\nNot able to process the complete mixdown.");
const QString kOperation = QStringLiteral("the mono bounce");

// Clamps a sum to the input width and writes it in outBytes per sample
// (equal to inBytes, or 2 from 3: the upper two bytes).
void ClipMono(const int* sum, int samples, int inBytes, int outBytes, unsigned char* out)
{
    const int maxValue = inBytes == 2 ? 32767 : 8388607;
    const int minValue = -maxValue - 1;
    for (int i = 0; i < samples; ++i) {
        const int value = qBound(minValue, sum[i], maxValue);
        pcm::EncodeSample(outBytes == inBytes ? value : value >> 8, out + qint64(i) * outBytes, outBytes);
    }
}

// The two-digit name of a slot's file in a folder (the family's update
// looks for no other form).
QString TwoDigitName(const takeop::tyTakeParams& take, int slot)
{
    const char separator = take.pcSeparators ? take.pcSeparators[slot] : '_';
    return take.czFolder + take.czBaseName + QLatin1Char(separator) + QLatin1String(TrkIndexToNN(slot + 1))
           + QLatin1Char('.') + take.czExtension;
}

// The first source's iXML text and its last chunk of an unknown kind (header,
// payload and pad byte), read from the file.
void FirstSourceExtras(const QString& path, QByteArray* ixml, QByteArray* other)
{
    QSoundFile file;
    if (!file.Open(path, 0) || !file.ReadChunks(false, true))
        return;
    if (file.HasiXMLChunk())
        *ixml = file.GetiXMLText();
    if (file.m_nOtherChunkCount > 0) {
        const tyChunkRecord& record = file.m_OtherChunk;
        MyQDebug("others chunks %d", file.m_nOtherChunkCount);
        QByteArray chunk(8 + int(record.nSize) + int(record.nSize & 1), '\0');
        std::memcpy(chunk.data(), record.szId, 4);
        WriteLe32(reinterpret_cast<unsigned char*>(chunk.data() + 4), record.nSize);
        if (record.nSize <= 16u * 1024 * 1024 && record.nOffset + record.nSize <= QFileInfo(path).size()
            && file.LectureDataBin(chunk.data() + 8, record.nOffset, int(record.nSize)) == int(record.nSize))
            *other = chunk;
    }
}

}  // namespace

bool QSoundMixer::BounceMono(const bool* present, const short* gainSteps, const short* pan, const bool* excluded,
                             const bool* msPairs, bool addToFamily, short variant, short shift, bool msToXY)
{
    tyMonoBouncePlan plan;
    plan.pcTitle = "Mono bounce";
    plan.pcStart = "Bounce Mono start --------------------------------";
    plan.pcStop = "Bounce Mono stop --------------------------------";
    plan.pbPresent = present;
    plan.pnSteps = gainSteps;
    plan.pnPan = pan;
    plan.pbExcluded = excluded;
    plan.bFamily = addToFamily && variant == 0;
    plan.bUpdateTracks = plan.bFamily;
    plan.pbConvertPairs = plan.bFamily && msToXY ? msPairs : nullptr;
    plan.nShift = shift;
    return RunMonoBounce(plan);
}

bool QSoundMixer::PaternMono(const bool* present, const short* gainSteps, const short* pan, const bool* excluded,
                             const bool*, bool addToFamily, short variant, short shift, const int* pattern,
                             size_t patternLength)
{
    tyMonoBouncePlan plan;
    plan.pcTitle = "Mono bounce";
    plan.pcStart = "Patern Mono start --------------------------------";
    plan.pcStop = "Patern Mono stop --------------------------------";
    plan.pbPresent = present;
    plan.pnSteps = gainSteps;
    plan.pnPan = pan;
    plan.pbExcluded = excluded;
    plan.pnPattern = pattern;
    plan.nPatternLength = pattern ? patternLength : 0;
    plan.bProgress = true;
    plan.bFamily = addToFamily && variant == 0;
    plan.nShift = shift;
    return RunMonoBounce(plan);
}

bool QSoundMixer::RunMonoBounce(const tyMonoBouncePlan& plan)
{
    using namespace takeop;
    const char* title = plan.pcTitle;
    MyQDebug("%s", plan.pcStart);
    auto finish = [&plan](bool result) {
        MyQDebug("%s", plan.pcStop);
        return result;
    };
    bool left[kTracks], right[kTracks];
    int leftCount = 0, bothCount = 0, routed = 0;
    for (int t = 0; t < kTracks; ++t) {
        const bool in = plan.pbPresent[t] && !plan.pbExcluded[t];
        left[t] = in && (plan.pnPan[t] == 0 || plan.pnPan[t] == 1);
        right[t] = in && (plan.pnPan[t] == 1 || plan.pnPan[t] == 2);
        leftCount += left[t] ? 1 : 0;
        bothCount += left[t] && right[t] ? 1 : 0;
        routed += left[t] || right[t] ? 1 : 0;
    }
    MyQDebug("present : %d %d %d %d %d %d %d %d %d %d", plan.pbPresent[0], plan.pbPresent[1], plan.pbPresent[2],
             plan.pbPresent[3], plan.pbPresent[4], plan.pbPresent[5], plan.pbPresent[6], plan.pbPresent[7],
             plan.pbPresent[8], plan.pbPresent[9]);
    // Nothing routed would give two files of silence under a mix's name.
    if (routed == 0) {
        Report(title, QStringLiteral("No track of\n%1\nis routed to the left or right side.\nProcess stopped.")
                          .arg(m_szBaseName));
        return finish(false);
    }
    // The take's own folder holds the sources: outputs go elsewhere.
    const QString destination = QFileInfo(m_szDestinationFolder).canonicalFilePath();
    if (destination.isEmpty() || destination == QFileInfo(m_szFolderPath).canonicalFilePath()) {
        Report(title, QStringLiteral("The destination folder\n%1\nis the take's own folder or does not exist.\n"
                                     "Process stopped.")
                          .arg(QDir::toNativeSeparators(m_szDestinationFolder)));
        return finish(false);
    }

    const tyTakeParams take{m_szFolderPath, m_szBaseName, m_szExtension, m_pcTrackSeparator};
    TakeSources sources;
    if (!sources.Open(take, plan.pbPresent, title))
        return finish(false);
    const int inBytes = sources.BytesPerSample();
    const int outBytes = m_n24To16Bits != 0 && inBytes == 3 ? 2 : inBytes;
    const quint32 dataSize = sources.DataSize();
    const qint64 samples = dataSize / quint32(inBytes);
    if (plan.pnPattern && plan.nPatternLength < size_t(samples)) {
        Report(title, QStringLiteral("The pattern holds %1 values, the take %2 samples.\nProcess stopped.")
                          .arg(plan.nPatternLength)
                          .arg(samples));
        return finish(false);
    }
    const qint64 outData = samples * outBytes;
    // With the family, its file count, and room for its track files.
    int familyCount = 0;
    qint64 trackBytes = 0;
    if (plan.bFamily) {
        QSoundPerform family;
        familyCount = family.InitFilesZZ(m_szFolderPath + m_szBaseName, m_szExtension) ? family.m_nFileCount : 0;
        for (int t = 0; t < kTracks; ++t) {
            if (const tySource* source = plan.pbPresent[t] ? sources.Source(t) : nullptr)
                trackBytes += QFileInfo(source->czPath).size();
        }
        MyQDebug("Size tracks : %lld", static_cast<long long>(trackBytes / (1024 * 1024)));
    }
    if (!CheckFreeSpace(m_szDestinationFolder, 2 * outData + trackBytes, title, kDiskText))
        return finish(false);
    const tySource* first = nullptr;
    for (int t = 0; t < kTracks && !first; ++t)
        first = sources.Source(t);
    QByteArray sourceIxml, otherChunk;
    FirstSourceExtras(first->czPath, &sourceIxml, &otherChunk);

    // Right first, as the recorder writes them.
    struct tySide {
        const char* number;
        const char* tag;
        int slot;
        const char* name;
    };
    const tySide sides[2] = {{"10", "1009", 9, "Mix Right"}, {"9", "1008", 8, "Mix Left"}};
    OutputSet outputs(QStringLiteral("mixdown"));
    const SafeOutput::Replace replace = m_bReplaceExisting ? SafeOutput::Replace::Existing : SafeOutput::Replace::Never;
    for (const tySide& side : sides) {
        const QString suffix = QLatin1Char('_') + QLatin1String(side.number);
        const QString path = m_szDestinationFolder + m_szBaseName + suffix + QLatin1Char('.') + m_szExtension;
        if (!m_bReplaceExisting && QFileInfo::exists(path)) {
            Report(title, QStringLiteral("Unable to create\n%1\nA file of that name exists already.")
                              .arg(QDir::toNativeSeparators(path)));
            return finish(false);
        }
        tyOutputLayout layout;
        layout.nChannels = 1;
        layout.nBitsPerSample = outBytes * 8;
        layout.nDataSize = quint32(outData);
        layout.czFilmName = m_szBaseName.left(6) + suffix + QLatin1Char('.') + m_szExtension;
        if (!otherChunk.isEmpty())
            layout.waveformChunks << otherChunk;
        QByteArray header = OutputHeader(sources, m_szBaseName, layout);
        const int bext = sources.m_bHasBext ? header.indexOf("bext") : -1;
        if (bext >= 0) {
            // The reference ends in the track's tag: base name and 1008 or 1009.
            QByteArray tail = (m_szBaseName.left(6).toLatin1() + side.tag).left(10);
            tail.append(QByteArray(10 - tail.size(), '\0'));
            header.replace(bext + 8 + BEXT_ORIGINATOR_REFERENCE_OFFSET + BEXT_ORIGINATOR_REFERENCE_SIZE - 10, 10, tail);
        }
        SafeOutput& output = outputs.Add(path, replace);
        if (!BeginOutput(output, header.size(), outData, title, kDiskText)
            || !output.Write(header.constData(), header.size())) {
            if (output.LastFailure() == SafeOutput::Failure::Write)
                ReportWriteFailure(title, output, kOperation);
            return finish(false);
        }
    }
    SafeOutput& rightOut = outputs.At(0);
    SafeOutput& leftOut = outputs.At(1);

    // The blocks are mixed by a few computers at once, each in its own
    // area; each fills the right side's block, then the left's.
    bool read[kTracks];
    for (int t = 0; t < kTracks; ++t)
        read[t] = left[t] || right[t];
    std::vector<tyMixArea> work = MixAreas(read, kBlockBytes / inBytes);
    for (int i = 0; i < 2; ++i)
        outputs.At(i).SetEarlyWriteback(m_bSyncOutput);
    qint64 processed = 0;
    const LoopEnd end = RunBlocksSpread(
        dataSize, nullptr, int(work.size()), 2 * (kBlockBytes / inBytes) * outBytes,
        [&](int worker, qint64 start, int n, unsigned char* out) {
            tyMixArea& w = work[size_t(worker)];
            const int count = n / inBytes;
            std::fill(w.left.begin(), w.left.end(), 0);
            std::fill(w.right.begin(), w.right.end(), 0);
            for (int t = 0; t < kTracks; ++t) {
                if (!read[t])
                    continue;
                if (!sources.ReadBlockAt(t, start, w.areas[size_t(t)].data(), n))
                    return -1;
                const auto target = left[t] && right[t] ? mixkernels::Target::Both : mixkernels::Target::Add;
                mixkernels::Accumulate(reinterpret_cast<const unsigned char*>(w.areas[size_t(t)].data()), count,
                                       inBytes, GainOfStep(plan.pnSteps[t]), target,
                                       left[t] ? w.left.data() : w.right.data(),
                                       left[t] && right[t] ? w.right.data() : nullptr);
            }
            if (plan.pnPattern) {
                // Subtracted once per left track, on the right too for a track on both sides.
                const int* pattern = plan.pnPattern + start / inBytes;
                for (int i = 0; i < count; ++i) {
                    w.left[size_t(i)] -= leftCount * pattern[i];
                    w.right[size_t(i)] -= bothCount * pattern[i];
                }
            }
            ClipMono(w.right.data(), count, inBytes, outBytes, out);
            ClipMono(w.left.data(), count, inBytes, outBytes, out + count * outBytes);
            return 2 * count * outBytes;
        },
        [&](qint64 start, int n) { sources.ReportFailedBlock(read, start, n); },
        [&](const unsigned char* out, int bytes) {
            const char* block = reinterpret_cast<const char*>(out);
            if (!rightOut.Write(block, bytes / 2) || !leftOut.Write(block + bytes / 2, bytes / 2)) {
                ReportWriteFailure(title, rightOut.LastFailure() != SafeOutput::Failure::None ? rightOut : leftOut,
                                   kOperation);
                return false;
            }
            return true;
        },
        [&](qint64 bytes) {
            processed += bytes;
            if (plan.bProgress && bytes > 0)
                emit signal_ProgressSize(processed);
        });
    if (end != LoopEnd::Done || !outputs.CloseAll()) {
        if (end == LoopEnd::Done)
            ReportWriteFailure(title, rightOut.LastFailure() != SafeOutput::Failure::None ? rightOut : leftOut,
                               kOperation);
        return finish(false);
    }

    // The family's track files in the destination, with the new file count.
    const tyTakeParams there{m_szDestinationFolder, m_szBaseName, m_szExtension, m_pcTrackSeparator};
    QString trackTexts[kTracks];
    int trackChunks = 0;   // the largest iXML chunk among them: no chunk shrinks
    if (plan.bUpdateTracks) {
        for (int t = 0; t < kTracks - 2; ++t) {
            QSoundFile file;
            if (!plan.pbPresent[t] || !file.Open(TwoDigitName(there, t), 0) || !file.ReadChunks(false, true)
                || !file.GetiXMLFileInfos())
                continue;
            if (!file.SetiXMLTotalFiles(t, familyCount + 2, false)) {
                ReportMetadataFailure(title, QStringLiteral("the take's track file"), file.GetPath(),
                                      QLatin1String(kIxmlRefused));
                return finish(false);
            }
            trackTexts[t] = file.GenerateiXMLChunkMono(t);
            trackChunks = qMax(trackChunks, int(file.GetiXMLChunkSize()));
        }
    }

    // Type, and the document of the track each side becomes: the take's own
    // iXML when the first source has one, with a key of the new audio.
    const int total = plan.bFamily ? familyCount + 2 : 2;
    QString texts[2];
    for (int i = 0; i < 2; ++i) {
        const tySide& side = sides[i];
        QSoundFile file;
        bool written = file.Open(outputs.At(i).TemporaryPath(), 2) && file.ReadChunks(false, true);
        if (written && sources.m_bHasBext)
            written = file.InsertInBextDescrType(QStringLiteral("mxdn"));
        bool set = true;
        if (written) {
            if (!sourceIxml.isEmpty() && file.SetContent(sourceIxml) && file.RootTag() == QLatin1String("BWFXML")) {
                set = file.SetText({QStringLiteral("ORVEX_BRISEL"), QStringLiteral("FILE_KEY")},
                                   MakeFileKey(quint32(outData), sources.m_Fmt.nSampleRate, quint16(outBytes * 8), 1));
            }
            set = set && file.SetiXMLMonoTrackName(side.slot, QLatin1String(side.name))
                  && file.SetiXMLMonoTrackNumber(side.slot, side.slot + 1)
                  && file.SetiXMLTotalFiles(side.slot, total, false);
            texts[i] = file.GenerateiXMLChunkMono(side.slot);
        }
        written = file.CloseWritten() == 0 && written;
        // A refused value fails the bounce before its files take their names.
        if (!set) {
            ReportMetadataFailure(title, kOperation, outputs.At(i).FinalPath(), QLatin1String(kIxmlRefused));
            return finish(false);
        }
        if (!written) {
            Report(title, QStringLiteral("Unable to read/write files (R) !"));
            return finish(false);
        }
    }
    // One length for every text of the family, as its files keep one size.
    int length = qMax(qMax(texts[0].size(), texts[1].size()), trackChunks);
    for (const QString& text : trackTexts)
        length = qMax(length, text.size());
    auto pad = [length](QString& text) { text += QString(length - text.size(), QLatin1Char(' ')); };
    for (int i = 0; i < 2; ++i) {
        QSoundFile file;
        pad(texts[i]);
        bool written = file.Open(outputs.At(i).TemporaryPath(), 2) && file.ReadChunks(false, true)
                       && file.AddiXMLChunk(texts[i]);
        written = file.CloseWritten() == 0 && written;
        if (!written) {
            Report(title, QStringLiteral("Unable to read/write files (R) !"));
            return finish(false);
        }
    }
    if (!outputs.CommitAll(m_bSyncOutput)) {
        Report(title, QStringLiteral("Unable to read/write files (R) !"));
        MyQDebug("%s: %s", title, qPrintable(outputs.ErrorText()));
        return finish(false);
    }

    // The family in the destination: its M/S pairs become X/Y pairs, its
    // track files get the new count, then everything is renumbered. These
    // steps report their own failures; the bounce itself is done.
    if (plan.pbConvertPairs) {
        for (int k = 0; k < 11; ++k) {
            if (!plan.pbConvertPairs[k])
                continue;
            const QString mid = TakeSourceName(there, 2 * k);
            const QString side = TakeSourceName(there, 2 * k + 1);
            if (!QFileInfo::exists(mid) || !QFileInfo::exists(side))
                continue;
            QSoundMixer converter;
            if (converter.MStoXY(mid, short(2 * k), side, short(2 * k + 1)) && m_pcTrackSeparator)
                m_pcTrackSeparator[2 * k] = m_pcTrackSeparator[2 * k + 1] = '_';
        }
    }
    QString renumberTexts[kTracks];
    QStringList renamed;
    QSoundFile renumber;
    auto rotate = [&](const QString& path, int index) {
        QString temporary, text;
        if (plan.nShift != 0 && renumber.Rotate(path, &temporary, short(index), plan.nShift, true, &text)) {
            renumberTexts[renamed.size()] = text;
            renamed << temporary;
        }
    };
    for (int t = 0; t < kTracks - 2; ++t) {
        const QString path = TwoDigitName(there, t);
        if (!plan.pbPresent[t] || !QFileInfo::exists(path))
            continue;
        if (!trackTexts[t].isEmpty()) {
            QSoundFile file;
            pad(trackTexts[t]);
            if (!file.Open(path, 2) || !file.ReadChunks(true, true) || !file.AddiXMLChunk(trackTexts[t])
                || file.CloseWritten() != 0)
                MyQDebug("%s: the file count of %s was not updated", title, qPrintable(path));
        }
        if (plan.bFamily)
            rotate(path, t);
    }
    rotate(leftOut.FinalPath(), 8);
    rotate(rightOut.FinalPath(), 9);
    if (!renamed.isEmpty()) {
        int longest = 0;
        for (const QString& text : renumberTexts)
            longest = qMax(longest, text.size());
        for (QString& text : renumberTexts)
            text += QString(longest - text.size(), QLatin1Char(' '));
        // Each file the undo cannot rename back is told by name there;
        // here the family is told as renumbered in part.
        if (!renumber.Rotate2(renamed, renumberTexts) && !renumber.RotateRollback())
            Report(title, QStringLiteral("The renumbering of the tracks could be neither finished nor undone: the "
                                         "files named before keep the names shown there."));
    }
    return finish(true);
}
