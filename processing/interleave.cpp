// The polyphonic interleaves of the engine: plain, compact and rotated.
#include "foundation/messageloging.h"
#include "foundation/safeoutput.h"
#include "processing/interleaveplan.h"
#include "processing/qsoundmixer.h"
#include "processing/rotationmap.h"
#include "processing/takeoperation.h"
#include "soundfile/soundfile.h"

#include <QDomDocument>
#include <QFileInfo>
#include <vector>

namespace {
const char* const kTitle = "Interleave";
constexpr int kSyncPoints = 10;

bool Blank(const QString& text) { return text.trimmed().isEmpty(); }

// What the take's iXML gives the new file beyond TakeSources: each read
// track's FUNCTION and, from the first read track with iXML, the take's
// sync points, input settings, circled flag, note and reference level.
struct tyTakeIxml {
    QString czFunction[QSoundMixer::kTracks];
    bool bTaken = false;
    unsigned int nSlates = 0, nMarkers = 0;
    unsigned int pnSlates[kSyncPoints] = {}, pnMarkers[kSyncPoints] = {};
    QStringList lczSlates, lczMarkers;
    QDomDocument inputsDocument;   // keeps the copied input settings alive
    QDomNode inputs;
    QString czCircled, czNote, czRefLevel;

    void Read(const takeop::TakeSources& sources, const bool* excluded)
    {
        for (int s = 0; s < QSoundMixer::kTracks; ++s) {
            const takeop::tySource* source = sources.Source(s);
            if (!source || !source->bIxml || excluded[s])
                continue;
            QSoundFile file;
            if (!file.Open(source->czPath, 0) || !file.ReadChunks(false, true) || !file.GetiXMLFileInfos())
                continue;
            czFunction[s] = file.GetiXMLMonoTrackFunction();
            if (bTaken)
                continue;
            bTaken = true;
            unsigned int extra[kSyncPoints] = {};
            bool autoSlate = false;
            file.GetiXMLSyncPoint(&nSlates, pnSlates, extra, &lczSlates, false, &nMarkers, pnMarkers, &lczMarkers,
                                  &autoSlate);
            nSlates = qMin<unsigned int>(nSlates, kSyncPoints);
            nMarkers = qMin<unsigned int>(nMarkers, kSyncPoints);
            QDomNode node;
            file.GetiXMLInputsSettings(&node);
            if (!node.isNull())
                inputs = inputsDocument.importNode(node, true);
            czCircled = file.GetiXMLCircled();
            czNote = file.GetiXMLNotes();
            czRefLevel = file.GetiXMLOrvexRefLevel();
        }
    }
};
}

// One interleave, plain or rotated, once its channels are planned.
struct QSoundMixer::tyInterleaveJob {
    interleave::tyChannelPlan plan;
    bool bRotated = false;
    const bool* pbExcluded = nullptr;
    const int* pnMap = nullptr;   // rotated only
    QString czSuffix;
};

bool QSoundMixer::Interleave(const bool* present, short mode, const CancelFlag* cancel)
{
    MyQDebug("Interleave start --------------------------------");
    tyInterleaveJob job;
    job.pbExcluded = m_pbExcludedTrack;
    job.plan = interleave::PlanInterleave(present, m_pbExcludedTrack, m_bLightPoly, m_nMinTrackCount,
                                          m_bSixToEightTracks);
    const interleave::tyChannelPlan& plan = job.plan;
    MyQDebug("m_bLightPoly %d Present loop > nNbTotalTracks = %d m_nMinTrackCount %d", m_bLightPoly ? 1 : 0,
             plan.nTotalTracks, m_nMinTrackCount);
    MyQDebug("Nb tracks : %d nNbVoidTracks %d nNotUsedTrackIndex %d ", plan.nChannels, plan.nVoidTracks,
             plan.nNotUsedTrackIndex);
    job.czSuffix = mode == 1 ? QStringLiteral("S%1").arg(plan.nChannels) : QStringLiteral("PN");
    const bool result = RunInterleave(job, cancel);
    MyQDebug("Interleave stop -------------------------------- %d", result ? 1 : 0);
    return result;
}

bool QSoundMixer::InterleaveRotate(const bool* present, short, const CancelFlag* cancel, const int* rotation)
{
    tyInterleaveJob job;
    job.bRotated = true;
    job.pbExcluded = m_pbExcludedTrack;
    job.pnMap = rotation;
    job.czSuffix = QStringLiteral("PR");
    m_szOutputSuffix = job.czSuffix;
    QString why;
    bool result = false;
    if (!rotation || !rotation::ValidateRotationMap(rotation, present, &why)) {
        // Nothing is opened or written for a map that would drop or merge tracks.
        takeop::Report(kTitle, QStringLiteral("The track order for\n%1\ncannot be used: %2.\nProcess stopped.")
                                   .arg(m_szBaseName, rotation ? why : QStringLiteral("none was given")));
    } else {
        job.plan = interleave::PlanRotated(present, m_pbExcludedTrack, rotation, m_bSixToEightTracks);
        for (int s = 0; s < kTracks; ++s) {
            const int p = rotation[s];
            MyQDebug("InterleaveRotate:: Track Indx %d rotated to Tr indx %d pnPresentRot %d pbExcRot %d pnPresent %d",
                     s, p, p >= 0 && job.plan.pbOpen[s] ? 1 : 0, m_pbExcludedTrack[s] ? 1 : 0,
                     present[s] && p >= 0 ? 1 : 0);
        }
        MyQDebug("nNbTotalTracks %d Nb tracks : %d", job.plan.nTotalTracks, job.plan.nChannels);
        result = RunInterleave(job, cancel);
    }
    MyQDebug("Interleave stop --------------------------------");
    return result;
}

bool QSoundMixer::RunInterleave(const tyInterleaveJob& job, const CancelFlag* cancel)
{
    using namespace takeop;
    const interleave::tyChannelPlan& plan = job.plan;
    const int channels = plan.nChannels;
    m_szOutputSuffix = job.czSuffix;
    if (channels == 0) {
        Report(kTitle, QStringLiteral("No track of\n%1\nis left to interleave.\nProcess stopped.").arg(m_szBaseName));
        return false;
    }

    tyTakeParams take{m_szFolderPath, m_szBaseName, m_szExtension, m_pcTrackSeparator};
    TakeSources sources;
    if (!sources.Open(take, plan.pbOpen, kTitle))
        return false;
    const int inBytes = sources.BytesPerSample();
    const int outBytes = m_n24To16Bits != 0 && inBytes == 3 ? 2 : inBytes;
    const quint32 dataSize = sources.DataSize();
    const qint64 frames = dataSize / quint32(inBytes);
    const qint64 outData = frames * channels * outBytes;
    tyTakeIxml ixml;
    ixml.Read(sources, job.pbExcluded);

    tyOutputLayout layout;
    layout.nChannels = channels;
    layout.nBitsPerSample = outBytes * 8;
    // A size past the RIFF limit is refused by BeginOutput below.
    layout.nDataSize = quint32(qMin<qint64>(outData, SafeOutput::kMaxLength));
    const QString finalPath =
        OutputFileName(m_szDestinationFolder, m_szBaseName, m_szOutputSuffix, m_szExtension, m_nWavToBwf != 0);
    layout.czFilmName = m_szBaseName.left(6) + m_szOutputSuffix + QLatin1Char('.') + QFileInfo(finalPath).suffix();
    const tySource* first = nullptr;
    for (int t = 0; t < kTracks && !first; ++t)
        first = sources.Source(t);
    if (first && first->nWaveSize != 0) {
        for (int k = 0; k < plan.nWaveSlots; ++k) {
            const QByteArray chunk = sources.WaveformChunk(plan.pnWaveSlots[k], '\0');
            if (!chunk.isEmpty())
                layout.waveformChunks.append(chunk);
        }
    }
    const QByteArray header = OutputHeader(sources, m_szBaseName, layout);
    const QString diskText = QStringLiteral("Not enough disk space on drive\n%1\nNot able to process the complete mixdown.");
    const bool fits = header.size() + outData + kIxmlAllowance <= SafeOutput::kMaxLength;
    if (fits && !CheckFreeSpace(m_szDestinationFolder, outData, kTitle, diskText))
        return false;

    SafeOutput output(finalPath, SafeOutput::Replace::Existing);
    const QString operation = QStringLiteral("the polyphonic interleave");
    if (!BeginOutput(output, header.size(), outData, kTitle, diskText, QString(), operation))
        return false;
    output.SetEarlyWriteback(m_bSyncOutput);
    if (!output.Write(header.constData(), header.size())) {
        ReportWriteFailure(kTitle, output, operation);
        return false;
    }

    // One input area per channel that carries a track; the frames block.
    std::vector<std::vector<unsigned char>> areas(static_cast<size_t>(channels));
    std::vector<const unsigned char*> areaOf(static_cast<size_t>(channels), nullptr);
    for (int c = 0; c < channels; ++c) {
        if (plan.pnSource[c] >= 0) {
            areas[size_t(c)].resize(size_t(kBlockBytes));
            areaOf[size_t(c)] = areas[size_t(c)].data();
        }
    }
    std::vector<unsigned char> block(size_t(kBlockBytes / inBytes) * size_t(channels) * size_t(outBytes));
    const LoopEnd end = RunBlocks(
        dataSize, cancel,
        [&](qint64 start, int n) {
            for (int c = 0; c < channels; ++c) {
                if (plan.pnSource[c] >= 0
                    && !sources.ReadBlock(plan.pnSource[c], start, reinterpret_cast<char*>(areas[size_t(c)].data()), n))
                    return false;
            }
            const int count = n / inBytes;
            interleave::InterleaveFrames(areaOf.data(), channels, count, inBytes, outBytes, block.data());
            if (!output.Write(reinterpret_cast<const char*>(block.data()), qint64(count) * channels * outBytes)) {
                ReportWriteFailure(kTitle, output, operation);
                return false;
            }
            return true;
        },
        [this](qint64 bytes) { emit signal_ProgressSize(bytes); });
    if (end != LoopEnd::Done)
        return false;

    // The maker block's four texts per track, in slot order for the plain
    // interleave and in channel order for the rotated one.
    QString names[kTracks], pans[kTracks], actives[kTracks], inGrids[kTracks], functions[kTracks];
    for (int t = 0; t < kTracks; ++t) {
        names[t] = sources.m_czMakerName[t];
        pans[t] = sources.m_czMakerPan[t];
        actives[t] = job.pbExcluded[t] ? QStringLiteral("NO") : sources.m_czMakerActive[t];
        inGrids[t] = sources.m_czMakerInGrid[t];
        functions[t] = ixml.czFunction[t];
    }
    QString note = ixml.czNote;
    QString refLevel = ixml.czRefLevel;
    if (job.bRotated) {
        QString byChannel[5][kTracks];
        QString* columns[5] = {names, pans, actives, inGrids, functions};
        // Present slots last, so a channel a present track uses is never
        // labelled after a slot without a file.
        for (const bool presentPass : {false, true}) {
            for (int s = 0; s < kTracks; ++s) {
                const int p = job.pnMap[s];
                if (p < 0 || plan.pbOpen[s] != presentPass)
                    continue;
                for (int k = 0; k < 5; ++k)
                    byChannel[k][p] = columns[k][s];
            }
        }
        for (int k = 0; k < 5; ++k)
            std::copy(std::begin(byChannel[k]), std::end(byChannel[k]), columns[k]);
        note = sources.m_czLastNote;
        refLevel = sources.m_czLastRefLevel;
    } else {
        interleave::MarkDisarmed(plan, job.pbExcluded, actives);
    }

    // Every value is checked: a refused one fails the job before its file
    // takes its name.
    auto metadata = [&](QSoundFile& file, QString* why) {
        if (sources.m_bHasBext && !file.InsertInBextDescrType(QStringLiteral("poly")))
            return false;
        if (!file.XmlOk())
            file.CreateNewiXMLchunkPoly();
        const int count = qMin<int>(file.m_FmtChunk.nChannels, channels);
        bool set = true;
        if (!job.bRotated) {
            // Source indexes first: names and functions find their entry by it.
            for (int c = 0; c < count; ++c) {
                if (plan.pnLabel[c] >= 0)
                    set = file.SetiXMLPolyTrackOriginalIndex(c, plan.pnLabel[c]) && set;
            }
        }
        for (int c = 0; c < count; ++c) {
            if (!plan.pbNamed[c])
                continue;
            // Plain: the entry now carries its slot's index; rotated: the
            // channel's own, with the texts already in channel order.
            const int key = job.bRotated ? c : plan.pnLabel[c];
            if (!Blank(names[key]))
                set = file.SetiXMLPolyTrackName(key, names[key]) && set;
            if (!Blank(functions[key]))
                set = file.SetiXMLPolyTrackFunction(key, functions[key]) && set;
        }
        set = file.SetiXMLOrvexAllTrkInfos(names, pans, actives, inGrids) && set;
        set = file.SetiXMLSyncPoint(0, ixml.nSlates, ixml.pnSlates, ixml.lczSlates, ixml.nMarkers, ixml.pnMarkers,
                                    ixml.lczMarkers)
              && set;
        if (!Blank(note))
            set = file.SetiXMLNote(0, note) && set;
        if (!ixml.inputs.isNull())
            set = file.SetiXMLInputSettings(&ixml.inputs) && set;
        if (!Blank(ixml.czCircled))
            set = file.SetiXMLCircled(0, ixml.czCircled) && set;
        if (!Blank(refLevel))
            set = file.SetiXMLOrvexRefLevel(refLevel) && set;
        if (!set) {
            *why = QLatin1String(kIxmlRefused);
            return false;
        }
        QString text = file.GenerateiXMLChunkPoly(0);
        return file.AddiXMLChunk(text);
    };
    return FinishOutput(output, m_bSyncOutput, metadata, kTitle, operation);
}
