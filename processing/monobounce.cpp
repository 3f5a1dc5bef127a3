// Mono bounces: a take's tracks mixed into a left and a right mono file,
// tracks 9 and 10 of the family; the pattern variant subtracts a signal.
#include "processing/qsoundmixer.h"

#include "foundation/messageloging.h"
#include "processing/mixkernels.h"
#include "processing/outputset.h"
#include "processing/takeoperation.h"
#include "soundfile/soundfile.h"
#include "take/gaintable.h"
#include "take/samplearith.h"

#include <QDir>
#include <QFileInfo>
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
    // M/S pairs to convert in the destination afterwards (null: none).
    const bool* pbConvertPairs = nullptr;
};

namespace {

const QString kDiskText = QStringLiteral("Not enough disk space on drive\n%1\nNot able to process the complete mixdown.");

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

}  // namespace

bool QSoundMixer::BounceMono(const bool* present, const short* gainSteps, const short* pan, const bool* excluded,
                             const bool* msPairs, bool addToFamily, short variant, short shift, bool msToXY)
{
    tyMonoBouncePlan plan;
    plan.pcTitle = "QSoundMixer::BounceMono()";
    plan.pcStart = "Bounce Mono start --------------------------------";
    plan.pcStop = "Bounce Mono stop --------------------------------";
    plan.pbPresent = present;
    plan.pnSteps = gainSteps;
    plan.pnPan = pan;
    plan.pbExcluded = excluded;
    plan.pbConvertPairs = addToFamily && variant == 0 && msToXY ? msPairs : nullptr;
    if (shift != 0)
        MyQDebug("Bounce Mono: renumbering by %d is not done", shift);
    return RunMonoBounce(plan);
}

bool QSoundMixer::PaternMono(const bool* present, const short* gainSteps, const short* pan, const bool* excluded,
                             const bool*, bool, short, short shift, const int* pattern, size_t patternLength)
{
    tyMonoBouncePlan plan;
    plan.pcTitle = "QSoundMixer::PaternMono()";
    plan.pcStart = "Patern Mono start --------------------------------";
    plan.pcStop = "Patern Mono stop --------------------------------";
    plan.pbPresent = present;
    plan.pnSteps = gainSteps;
    plan.pnPan = pan;
    plan.pbExcluded = excluded;
    plan.pnPattern = pattern;
    plan.nPatternLength = pattern ? patternLength : 0;
    plan.bProgress = true;
    if (shift != 0)
        MyQDebug("Patern Mono: renumbering by %d is not done", shift);
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
    if (!CheckFreeSpace(m_szDestinationFolder, 2 * outData, title, kDiskText))
        return finish(false);

    // Right first, as the recorder writes them.
    struct tySide {
        const char* number;
        const char* tag;
        int slot;
        const char* name;
    };
    const tySide sides[2] = {{"10", "1009", 9, "Mix Right"}, {"9", "1008", 8, "Mix Left"}};
    OutputSet outputs;
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
                Report(title, QStringLiteral("Unable to read/write files (R) !"));
            return finish(false);
        }
    }
    SafeOutput& rightOut = outputs.At(0);
    SafeOutput& leftOut = outputs.At(1);

    const int blockSamples = kBlockBytes / inBytes;
    std::vector<std::vector<char>> areas(kTracks);
    for (int t = 0; t < kTracks; ++t) {
        if (left[t] || right[t])
            areas[size_t(t)].resize(size_t(kBlockBytes));
    }
    std::vector<int> leftSum(static_cast<size_t>(blockSamples)), rightSum(static_cast<size_t>(blockSamples));
    std::vector<unsigned char> leftBlock(static_cast<size_t>(kBlockBytes)), rightBlock(static_cast<size_t>(kBlockBytes));
    qint64 processed = 0;
    const LoopEnd end = RunBlocks(
        dataSize, nullptr,
        [&](qint64 start, int n) {
            const int count = n / inBytes;
            std::fill(leftSum.begin(), leftSum.end(), 0);
            std::fill(rightSum.begin(), rightSum.end(), 0);
            for (int t = 0; t < kTracks; ++t) {
                if (!left[t] && !right[t])
                    continue;
                if (!sources.ReadBlock(t, start, areas[size_t(t)].data(), n))
                    return false;
                const auto target = left[t] && right[t] ? mixkernels::Target::Both : mixkernels::Target::Add;
                mixkernels::Accumulate(reinterpret_cast<const unsigned char*>(areas[size_t(t)].data()), count, inBytes,
                                       GainOfStep(plan.pnSteps[t]), target, left[t] ? leftSum.data() : rightSum.data(),
                                       left[t] && right[t] ? rightSum.data() : nullptr);
            }
            if (plan.pnPattern) {
                // Subtracted once per left track, on the right too for a track on both sides.
                const int* pattern = plan.pnPattern + start / inBytes;
                for (int i = 0; i < count; ++i) {
                    leftSum[size_t(i)] -= leftCount * pattern[i];
                    rightSum[size_t(i)] -= bothCount * pattern[i];
                }
            }
            ClipMono(leftSum.data(), count, inBytes, outBytes, leftBlock.data());
            ClipMono(rightSum.data(), count, inBytes, outBytes, rightBlock.data());
            const qint64 bytes = qint64(count) * outBytes;
            if (!rightOut.Write(reinterpret_cast<const char*>(rightBlock.data()), bytes)
                || !leftOut.Write(reinterpret_cast<const char*>(leftBlock.data()), bytes)) {
                Report(title, QStringLiteral("Unable to read/write files (R) !"));
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
            Report(title, QStringLiteral("Unable to read/write files (R) !"));
        return finish(false);
    }

    // Type, and a mono document of the track each side becomes; the two
    // texts padded to one length, as the files of a family have.
    QString note;
    for (int t = 0; t < kTracks && note.trimmed().isEmpty(); ++t) {
        if (const tySource* source = sources.Source(t))
            note = source->czNote;
    }
    QString texts[2];
    for (int pass = 0; pass < 2; ++pass) {
        for (int i = 0; i < 2; ++i) {
            const tySide& side = sides[i];
            QSoundFile file;
            bool written = file.Open(outputs.At(i).TemporaryPath(), 2) && file.ReadChunks(false, true);
            if (written && pass == 0) {
                if (sources.m_bHasBext)
                    written = file.InsertInBextDescrType(QStringLiteral("mxdn"));
                file.SetiXMLMonoTrackName(side.slot, QLatin1String(side.name));
                file.SetiXMLMonoTrackNumber(side.slot, side.slot + 1);
                file.SetiXMLTotalFiles(side.slot, 2, false);
                if (!note.trimmed().isEmpty())
                    file.SetiXMLNote(side.slot, note);
                texts[i] = file.GenerateiXMLChunkMono(side.slot);
            } else if (written) {
                const int length = qMax(texts[0].size(), texts[1].size());
                texts[i] += QString(length - texts[i].size(), QLatin1Char(' '));
                written = file.AddiXMLChunk(texts[i]);
            }
            file.Close();
            if (!written) {
                Report(title, QStringLiteral("Unable to read/write files (R) !"));
                return finish(false);
            }
        }
    }
    if (!outputs.CommitAll(m_bSyncOutput)) {
        Report(title, QStringLiteral("Unable to read/write files (R) !"));
        MyQDebug("%s: %s", title, qPrintable(outputs.ErrorText()));
        return finish(false);
    }

    // The family's M/S pairs found in the destination become X/Y pairs.
    if (plan.pbConvertPairs) {
        const tyTakeParams there{m_szDestinationFolder, m_szBaseName, m_szExtension, m_pcTrackSeparator};
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
    return finish(true);
}
