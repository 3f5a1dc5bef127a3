#include "processing/qsoundmixer.h"

#include "foundation/messageloging.h"
#include "foundation/platform/diskcalls.h"
#include "foundation/safeoutput.h"
#include "processing/mixkernels.h"
#include "processing/takeoperation.h"
#include "soundfile/soundfile.h"
#include "take/gaintable.h"
#include "take/soundperform.h"

#include <QFile>
#include <QFileInfo>
#include <vector>

namespace {
const char* const kTitle = "Mixdown";
const char* const kSuffix = "MX";

QString TrimmedOrEmpty(const QString& text) { return text.trimmed().isEmpty() ? QString() : text; }
}

// What one stereo mixdown does; the three public forms fill it.
struct QSoundMixer::tyMixdownPlan {
    enum Kind { Copy, Mix, Poly } eKind = Copy;
    const bool* pbPresent = nullptr;
    const short* pnPan = nullptr;
    bool pbLeft[kTracks] = {};
    bool pbRight[kTracks] = {};
    int nLeft = 0;
    int nRight = 0;
    int pnGainDb[kTracks] = {};
    bool pbPair[kPairs] = {};
    QString czDiskText;
    const char* pcEndLine = "";
};

QSoundMixer::QSoundMixer(QObject* parent) : QObject(parent)
{
    std::fill(std::begin(m_pbExcludedTrack), std::end(m_pbExcludedTrack), false);
}

QSoundMixer::~QSoundMixer() = default;

void QSoundMixer::SetFilesParams(QString folderPath, QString baseName, char* separators, QString extension)
{
    m_szFolderPath = folderPath;
    m_szBaseName = baseName;
    m_pcTrackSeparator = separators;
    m_szExtension = extension;
}

void QSoundMixer::slot_CancelSubProcess() { MyQDebug("   !!!! CancelAllReceived !!!!"); }

int QSoundMixer::LectureDataBin(QFile* file, char* buffer, qint64 offset, int n)
{
    if (!file || !file->isOpen() || !buffer || n < 0)
        return -1;
    if (offset != -1 && (offset < 0 || !file->seek(offset)))
        return -1;
    const qint64 read = n == 0 ? 0 : file->read(buffer, n);
    return read < 0 ? -1 : int(read);
}

bool QSoundMixer::EcritureDataBin(QFile* file, char* buffer, qint64 offset, int n)
{
    if (!file || !file->isOpen() || !buffer || n < 0)
        return false;
    if (offset != -1 && (offset < 0 || !file->seek(offset)))
        return false;
    return DiskWrite(*file, buffer, n) == n;
}

// The block kernels are the take's, over the engine's whole block.
void QSoundMixer::Increase(unsigned char* pcm, int* work, int dB, int bytesPerSample)
{
    QSoundPerform::Increase(pcm, work, unsigned(dB), bytesPerSample, kBlockBytes);
}

void QSoundMixer::Attenuate(unsigned char* pcm, int* work, int dB, int bytesPerSample)
{
    QSoundPerform::Attenuate(pcm, work, unsigned(dB), bytesPerSample, kBlockBytes);
}

void QSoundMixer::Volume(unsigned char* pcm, int* work, int dB, int bytesPerSample)
{
    if (dB < 0)
        Attenuate(pcm, work, -dB, bytesPerSample);
    else
        Increase(pcm, work, dB, bytesPerSample);
}

void QSoundMixer::Ecretage(int* work, char* out, int bytesPerSample)
{
    QSoundPerform::Ecretage(work, out, bytesPerSample, kBlockBytes);
}

void QSoundMixer::SommeBuffer(int* acc, int* src, int stride)
{
    QSoundPerform::SommeBuffer(acc, src, stride, kBlockBytes);
}

void QSoundMixer::ProcessMplusS(int* acc, int* mid, int* side, int stride)
{
    QSoundPerform::ProcessMplusS(acc, mid, side, stride, kBlockBytes);
}

void QSoundMixer::ProcessMmoinsS(int* acc, int* mid, int* side, int stride)
{
    // The take's form takes the side first.
    QSoundPerform::ProcessMmoinsS(acc, side, mid, stride, kBlockBytes);
}

bool QSoundMixer::BounceStereoMixdown(const bool* present, const short* pan, const bool* excluded,
                                      const CancelFlag* cancel)
{
    tyMixdownPlan plan;
    plan.eKind = tyMixdownPlan::Copy;
    plan.pbPresent = present;
    plan.pnPan = pan;
    for (int t = 0; t < kTracks; ++t) {
        plan.pbLeft[t] = present[t] && !excluded[t] && (pan[t] == 0 || pan[t] == 1);
        plan.pbRight[t] = present[t] && !excluded[t] && (pan[t] == 1 || pan[t] == 2);
    }
    plan.czDiskText = QStringLiteral("Not enough disk space on drive\n%1\nProcess stopped.");
    plan.pcEndLine = "Bounce Stereo Mixdown --------------------------------";
    return RunStereoMixdown(plan, cancel);
}

bool QSoundMixer::BounceStereoMixdown(const bool* present, const short* levelSteps, const short* pan,
                                      const bool* excluded, const bool* msPairs, short,
                                      const CancelFlag* cancel)
{
    tyMixdownPlan plan;
    plan.eKind = tyMixdownPlan::Mix;
    plan.pbPresent = present;
    plan.pnPan = pan;
    for (int t = 0; t < kTracks; ++t) {
        plan.pbLeft[t] = present[t] && !excluded[t] && (pan[t] == 0 || pan[t] == 1);
        plan.pbRight[t] = present[t] && !excluded[t] && (pan[t] == 1 || pan[t] == 2);
        plan.pnGainDb[t] = GainOfStep(levelSteps[t]);
    }
    std::copy(msPairs, msPairs + kPairs, plan.pbPair);
    plan.czDiskText = QStringLiteral("Not enough disk space on drive\n%1\nProcess stopped.");
    plan.pcEndLine = "Bounce Stereo Mixdown --------------------------------";
    return RunStereoMixdown(plan, cancel);
}

bool QSoundMixer::BouncePoly(const bool* present, const short*, const short* pan, const bool* excluded,
                             const bool*, short, const CancelFlag* cancel)
{
    tyMixdownPlan plan;
    plan.eKind = tyMixdownPlan::Poly;
    plan.pbPresent = present;
    plan.pnPan = pan;
    for (int t = 0; t < kTracks; ++t) {
        plan.pbLeft[t] = present[t] && !excluded[t] && (pan[t] == 0 || pan[t] == 1);
        plan.pbRight[t] = present[t] && !excluded[t] && (pan[t] == 1 || pan[t] == 2);
    }
    plan.czDiskText = QStringLiteral("Not enough disk space on drive\n%1!\nProcess stopped.");
    plan.pcEndLine = "Bounce Poly stop --------------------------------";
    return RunStereoMixdown(plan, cancel);
}

bool QSoundMixer::RunStereoMixdown(const tyMixdownPlan& planIn, const CancelFlag* cancel)
{
    using namespace takeop;
    tyMixdownPlan plan = planIn;
    int lastLeft = -1, lastRight = -1;
    for (int t = 0; t < kTracks; ++t) {
        plan.nLeft += plan.pbLeft[t] ? 1 : 0;
        plan.nRight += plan.pbRight[t] ? 1 : 0;
        lastLeft = plan.pbLeft[t] ? t : lastLeft;
        lastRight = plan.pbRight[t] ? t : lastRight;
    }
    m_szOutputSuffix = QLatin1String(kSuffix);
    auto finish = [&plan](bool result) {
        MyQDebug("%s", plan.pcEndLine);
        return result;
    };
    // Nothing routed would give a file of silence only: refused, nothing written.
    if (plan.nLeft + plan.nRight == 0) {
        Report(kTitle, QStringLiteral("No track of\n%1\nis routed to the left or right side.\nProcess stopped.")
                           .arg(m_szBaseName));
        return finish(false);
    }

    tyTakeParams take{m_szFolderPath, m_szBaseName, m_szExtension, m_pcTrackSeparator};
    TakeSources sources;
    if (!sources.Open(take, plan.pbPresent, kTitle))
        return finish(false);
    const int inBytes = sources.BytesPerSample();
    const int outBytes = plan.eKind == tyMixdownPlan::Mix && m_n24To16Bits != 0 && inBytes == 3 ? 2 : inBytes;
    const quint32 dataSize = sources.DataSize();
    const qint64 outData = qint64(dataSize / quint32(inBytes)) * 2 * outBytes;
    if (!CheckFreeSpace(m_szDestinationFolder, outData, kTitle, plan.czDiskText))
        return finish(false);

    tyOutputLayout layout;
    layout.nChannels = 2;
    layout.nBitsPerSample = outBytes * 8;
    layout.nDataSize = quint32(qMin<qint64>(outData, 0xFFFFFFFFLL));
    const QString finalPath =
        OutputFileName(m_szDestinationFolder, m_szBaseName, m_szOutputSuffix, m_szExtension, m_nWavToBwf != 0);
    layout.czFilmName = m_szBaseName.left(6) + m_szOutputSuffix + QLatin1Char('.') + QFileInfo(finalPath).suffix();
    const tySource* first = nullptr;
    for (int t = 0; t < kTracks && !first; ++t)
        first = sources.Source(t);
    if (plan.eKind == tyMixdownPlan::Copy && plan.nLeft + plan.nRight <= 2 && first && first->nWaveSize != 0) {
        for (int t = 0; t < kTracks; ++t) {
            if (plan.pbLeft[t] || plan.pbRight[t]) {
                const QByteArray chunk = sources.WaveformChunk(t, plan.pbLeft[t] ? '1' : '2');
                if (!chunk.isEmpty())
                    layout.waveformChunks.append(chunk);
            }
        }
    }
    const QByteArray header = OutputHeader(sources, m_szBaseName, layout);

    SafeOutput output(finalPath, SafeOutput::Replace::Existing);
    const QString operation = QStringLiteral("the stereo mixdown");
    if (!BeginOutput(output, header.size(), outData, kTitle, plan.czDiskText, QString(), operation))
        return finish(false);
    output.SetEarlyWriteback(m_bSyncOutput);
    if (!output.Write(header.constData(), header.size())) {
        ReportWriteFailure(kTitle, output, operation);
        return finish(false);
    }

    // What one block needs: the slots read, and for the process mixdown the
    // gain and side of each read.
    struct tyContribution {
        int nSlot;
        int nDb;
        mixkernels::Target eTarget;
        bool bRight;   // into the right sum (the left one for Both as well)
    };
    std::vector<tyContribution> contributions;
    bool needed[kTracks] = {};
    if (plan.eKind == tyMixdownPlan::Mix) {
        for (int t = 0; t < kTracks; ++t) {
            const int pairFirst = t & ~1;
            if (plan.pbPair[t / 2]) {
                // M and S come from the left reads only; a pair slot read
                // elsewhere or not at all is silence in the decoding.
                const bool even = (t & 1) == 0;
                if (plan.pbLeft[pairFirst])
                    contributions.push_back({pairFirst, plan.pnGainDb[t], mixkernels::Target::Add, !even});
                if (plan.pbLeft[pairFirst + 1])
                    contributions.push_back({pairFirst + 1, plan.pnGainDb[t],
                                             even ? mixkernels::Target::Add : mixkernels::Target::Subtract, !even});
            } else if (plan.pbLeft[t] && plan.pbRight[t]) {
                contributions.push_back({t, plan.pnGainDb[t], mixkernels::Target::Both, false});
            } else if (plan.pbLeft[t] || plan.pbRight[t]) {
                contributions.push_back({t, plan.pnGainDb[t], mixkernels::Target::Add, !plan.pbLeft[t]});
            }
        }
        for (const tyContribution& c : contributions)
            needed[c.nSlot] = true;
    } else {
        if (lastLeft >= 0)
            needed[lastLeft] = true;
        if (lastRight >= 0)
            needed[lastRight] = true;
    }

    // The blocks are mixed by a few computers at once (worker threads and
    // the caller's thread between its writes), each in its own area.
    std::vector<tyMixArea> work = MixAreas(needed, kBlockBytes / inBytes);
    const std::vector<char> silence(size_t(kBlockBytes), 0);

    const LoopEnd end = RunBlocksSpread(
        dataSize, cancel, int(work.size()), 2 * kBlockBytes,
        [&](int worker, qint64 start, int n, unsigned char* out) {
            tyMixArea& w = work[size_t(worker)];
            for (int t = 0; t < kTracks; ++t) {
                if (needed[t] && !sources.ReadBlockAt(t, start, w.areas[size_t(t)].data(), n))
                    return -1;
            }
            auto area = [&](int slot) {
                return reinterpret_cast<const unsigned char*>(slot >= 0 && needed[slot] ? w.areas[size_t(slot)].data()
                                                                                         : silence.data());
            };
            const int samples = n / inBytes;
            if (plan.eKind == tyMixdownPlan::Mix) {
                std::fill(w.left.begin(), w.left.begin() + samples, 0);
                std::fill(w.right.begin(), w.right.begin() + samples, 0);
                for (const tyContribution& c : contributions) {
                    int* acc = c.bRight ? w.right.data() : w.left.data();
                    int* acc2 = c.eTarget == mixkernels::Target::Both ? w.right.data() : nullptr;
                    mixkernels::Accumulate(area(c.nSlot), samples, inBytes, c.nDb, c.eTarget, acc, acc2);
                }
                mixkernels::ClipInterleave(w.left.data(), w.right.data(), samples, inBytes, outBytes, out);
            } else {
                mixkernels::InterleaveBytes(area(lastLeft), area(lastRight), samples, inBytes, out);
            }
            return samples * 2 * outBytes;
        },
        [&](qint64 start, int n) { sources.ReportFailedBlock(needed, start, n); },
        [&](const unsigned char* out, int bytes) {
            if (!output.Write(reinterpret_cast<const char*>(out), bytes)) {
                ReportWriteFailure(kTitle, output, operation);
                return false;
            }
            return true;
        },
        [this](qint64 bytes) { emit signal_ProgressSize(bytes); });
    if (end != LoopEnd::Done)
        return finish(false);

    // The new file's metadata.
    QString names[kTracks], pans[kTracks], actives[kTracks], inGrids[kTracks];
    QString note;
    for (int t = 0; t < kTracks; ++t) {
        const tySource* source = sources.Source(t);
        if (source && source->bIxml) {
            names[t] = source->czTrackName;
            if (plan.eKind == tyMixdownPlan::Mix || note.isNull())
                note = source->czNote;
        }
        actives[t] = sources.m_czMakerActive[t];
        inGrids[t] = sources.m_czMakerInGrid[t];
        if (plan.eKind == tyMixdownPlan::Copy) {
            pans[t] = sources.m_czMakerPan[t];
            if (m_pbExcludedTrack[t])
                actives[t] = QStringLiteral("NO");
        } else {
            const bool routed = plan.pbPresent[t] && (plan.pbLeft[t] || plan.pbRight[t]);
            const short code = plan.pnPan[t];
            pans[t] = QString::asprintf("%d,%d", routed && code != 2 ? 100 : 0, routed && code != 0 ? 100 : 0);
        }
    }
    const bool single = plan.nLeft <= 1 && plan.nRight <= 1;
    // Every value is checked: a refused one fails the job before its file
    // takes its name.
    auto metadata = [&](QSoundFile& file, QString* why) {
        if (sources.m_bHasBext && !file.InsertInBextDescrType(QStringLiteral("poly")))
            return false;
        file.GenerateiXMLChunkPoly(0);
        bool set = true;
        if (plan.eKind == tyMixdownPlan::Poly || !single) {
            set = file.SetiXMLPolyTrackName(0, QStringLiteral("Mix Left")) && set;
            set = file.SetiXMLPolyTrackName(1, QStringLiteral("Mix Right")) && set;
        } else {
            // Names first, looked up by the document's own channel indexes;
            // then the indexes become the source slots (one slot on both
            // sides gives both channels its index and name).
            if (lastLeft >= 0 && !TrimmedOrEmpty(names[lastLeft]).isEmpty())
                set = file.SetiXMLPolyTrackName(0, names[lastLeft]) && set;
            if (lastRight >= 0 && !TrimmedOrEmpty(names[lastRight]).isEmpty())
                set = file.SetiXMLPolyTrackName(1, names[lastRight]) && set;
            if (lastLeft >= 0)
                set = file.SetiXMLPolyTrackOriginalIndex(0, lastLeft) && set;
            if (lastRight >= 0)
                set = file.SetiXMLPolyTrackOriginalIndex(1, lastRight) && set;
        }
        if (plan.eKind == tyMixdownPlan::Poly) {
            note = sources.m_czLastNote;
            if (!TrimmedOrEmpty(sources.m_czLastCircled).isEmpty())
                set = file.SetiXMLCircled(0, sources.m_czLastCircled) && set;
            if (!TrimmedOrEmpty(sources.m_czLastRefLevel).isEmpty())
                set = file.SetiXMLOrvexRefLevel(sources.m_czLastRefLevel) && set;
        } else {
            set = file.SetiXMLOrvexAllTrkInfos(names, pans, actives, inGrids) && set;
        }
        if (!TrimmedOrEmpty(note).isEmpty())
            set = file.SetiXMLNote(0, note) && set;
        if (!set) {
            *why = QLatin1String(kIxmlRefused);
            return false;
        }
        QString text = file.GenerateiXMLChunkPoly(0);
        return file.AddiXMLChunk(text);
    };
    return finish(FinishOutput(output, m_bSyncOutput, metadata, kTitle, operation));
}
