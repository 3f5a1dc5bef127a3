// The audio requests of the copy worker: each loads the take of its source
// file, hands it to a local engine with the take's process settings and lets
// the engine write one new file into the folder of the request's target.
#include "fileprocess/processnaming.h"
#include "fileprocess/qfilecopierthread.h"
#include "foundation/messageloging.h"
#include "processing/qsoundmixer.h"
#include "processing/rotationmap.h"
#include "processing/takeoperation.h"
#include "take/soundperform.h"

#include <QDir>
#include <QFileInfo>

#include <memory>

namespace {
constexpr int kTracks = QSoundPerform::kMaxTracks;
constexpr int kPairs = QSoundPerform::kMaxPairs;
const char* const kTitle = "File Process";

// Mix-track routing of a mono take's copy mixdown: the recorded mix tracks
// only, even slots left and odd slots right; a lone side's last mix track
// goes to both. False when the take has no mix track.
bool RouteMixTracks(QSoundPerform& take)
{
    int lastEven = -1, lastOdd = -1;
    for (int t = 0; t < kTracks; ++t) {
        take.m_pbTrackMute[t] = true;
        if (take.m_pbPresent[t] && take.m_pnTrackMixRole[t] != 0) {
            take.m_pbTrackMute[t] = false;
            take.m_pnTrackPan[t] = (t % 2 == 0) ? 0 : 2;
            (t % 2 == 0 ? lastEven : lastOdd) = t;
        }
    }
    if (lastEven >= 0 && lastOdd < 0)
        take.m_pnTrackPan[lastEven] = 1;
    if (lastOdd >= 0 && lastEven < 0)
        take.m_pnTrackPan[lastOdd] = 1;
    return lastEven >= 0 || lastOdd >= 0;
}

int EvenUp(int n) { return n + (n & 1); }
}

bool QFileCopierThread::copyMixdown(const Request& r, QFileCopier::Error* e)
{
    return runAudioRequest(r, e, AudioKind::CopyMixdown);
}
bool QFileCopierThread::processMixdown(const Request& r, QFileCopier::Error* e)
{
    return runAudioRequest(r, e, AudioKind::ProcessMixdown);
}
bool QFileCopierThread::copyInterleave(const Request& r, QFileCopier::Error* e)
{
    return runAudioRequest(r, e, AudioKind::CopyInterleave);
}
bool QFileCopierThread::processInterleave(const Request& r, QFileCopier::Error* e)
{
    return runAudioRequest(r, e, AudioKind::ProcessInterleave);
}
bool QFileCopierThread::copyInterleaveRotate(const Request& r, QFileCopier::Error* e)
{
    return runAudioRequest(r, e, AudioKind::CopyInterleaveRotate);
}
bool QFileCopierThread::processInterleaveRotate(const Request& r, QFileCopier::Error* e)
{
    return runAudioRequest(r, e, AudioKind::ProcessInterleaveRotate);
}

bool QFileCopierThread::runAudioRequest(const Request& request, QFileCopier::Error* error, AudioKind kind)
{
    const bool mixdown = kind == AudioKind::CopyMixdown || kind == AudioKind::ProcessMixdown;
    const bool rotate = kind == AudioKind::CopyInterleaveRotate || kind == AudioKind::ProcessInterleaveRotate;
    const bool useSettings = kind == AudioKind::ProcessMixdown || kind == AudioKind::ProcessInterleave
                             || kind == AudioKind::ProcessInterleaveRotate;
    const QFileCopier::Error failCode = mixdown ? QFileCopier::ErrorMixdown : QFileCopier::ErrorInterleave;
    const QString suffix = mixdown ? QStringLiteral("MX") : rotate ? QStringLiteral("PR") : QStringLiteral("PN");

    if (cancelPending(request)) {
        *error = QFileCopier::Canceled;
        return true;
    }
    QSoundMixer mixer;
    mixer.m_n24To16Bits = 0;
    mixer.m_nWavToBwf = 0;
    auto take = std::make_unique<QSoundPerform>();
    take->ResetVariables();
    const QString takePath = procname::TakePathOf(request.source);
    if (!take->InitFilesZZ(takePath, QStringLiteral("WAV"))) {
        *error = QFileCopier::ErrorInitFilesZZ;
        return true;
    }

    // The settings travel in memory, keyed by the take: a write-protected
    // card cannot make them fall back to defaults.
    ProcessSettings settings;
    if (useSettings || rotate) {
        std::lock_guard<WorkerLock> guard(lock);
        const auto found = processSettings.constFind(QDir::cleanPath(QFileInfo(takePath).absoluteFilePath()));
        if (found != processSettings.constEnd())
            settings = *found;
    }

    bool msPairs[kPairs] = {};
    int channels = 2;
    std::fill(std::begin(mixer.m_pbExcludedTrack), std::end(mixer.m_pbExcludedTrack), false);
    switch (kind) {
    case AudioKind::CopyMixdown:
        if (!take->m_bPolyTake && !RouteMixTracks(*take)) {
            takeop::Report(kTitle, QStringLiteral("No mix track in the take\n%1").arg(takePath));
            *error = QFileCopier::ErrorMixdown;
            return true;
        }
        break;
    case AudioKind::ProcessMixdown:
        for (int t = 0; t < kTracks; ++t) {
            take->m_pnTrackVolume[t] = settings.volume[t];
            take->m_pnTrackPan[t] = settings.pan[t];
            take->m_pbTrackMute[t] = settings.mute[t] || (!take->m_bPolyTake && !take->m_pbPresent[t]);
        }
        // A detected pair is decoded only when the user asked for it, as the player does.
        for (int k = 0; k < kPairs; ++k)
            msPairs[k] = take->m_pbMSPair[k] && settings.swapMS[k];
        break;
    case AudioKind::CopyInterleave:
    case AudioKind::ProcessInterleave: {
        int last = 0;
        for (int t = 0; t < kTracks; ++t) {
            if (!take->m_pbPresent[t])
                continue;
            if (useSettings && settings.mute[t])
                mixer.m_pbExcludedTrack[t] = true;
            else
                last = t + 1;
        }
        const int minimum = useSettings ? qBound(0, settings.minTrack, kTracks) : 0;
        channels = EvenUp(qMax(last, minimum));
        mixer.m_nMinTrackCount = minimum;
        mixer.m_bLightPoly = useSettings && settings.compact;
        break;
    }
    case AudioKind::CopyInterleaveRotate:
    case AudioKind::ProcessInterleaveRotate: {
        bool muted[kTracks] = {};
        for (int t = 0; t < kTracks; ++t) {
            muted[t] = useSettings && take->m_pbPresent[t] && settings.mute[t];
            mixer.m_pbExcludedTrack[t] = muted[t];
        }
        channels = EvenUp(rotation::RotatedTrackSpan(settings.rotation, take->m_pbPresent, muted));
        mixer.m_bLightPoly = useSettings && settings.compact;
        break;
    }
    }

    mixer.m_szDestinationFolder = QFileInfo(request.destination).absolutePath() + QLatin1Char('/');
    mixer.SetFilesParams(take->m_czTakeFolder, take->m_czBaseName, take->m_pcSeparator, take->m_czExtension);
    // The target was checked (existence, overwrite answers) under its name:
    // the engine must write that very file, or the check meant nothing.
    const QString output = QDir::cleanPath(takeop::OutputFileName(
        mixer.m_szDestinationFolder, take->m_czBaseName, suffix, take->m_czExtension, mixer.m_nWavToBwf != 0));
    if (output != request.destination) {
        takeop::Report(kTitle, QStringLiteral("The output %1\ndoes not match the target %2").arg(output, request.destination));
        *error = failCode;
        return true;
    }
    connect(&mixer, &QSoundMixer::signal_ProgressSize, this, &QFileCopierThread::slot_ProgressFromSubProcess,
            Qt::DirectConnection);
    connect(this, &QFileCopierThread::signal_SubProcessCancel, &mixer, &QSoundMixer::slot_CancelSubProcess);

    if (channels == 0) {
        takeop::Report(kTitle, QStringLiteral("no track to process"));
        *error = QFileCopier::ErrorInterleave;
        return true;
    }

    qint64 requestSize = 0;
    {
        std::lock_guard<WorkerLock> guard(lock);
        if (currentId >= 0 && currentId < requests.size())
            requestSize = requests.at(currentId).size;
    }
    sub.Start(channels, requestSize, qint64(take->m_nDataSize));

    bool ok = false;
    switch (kind) {
    case AudioKind::CopyMixdown:
        ok = mixer.BounceStereoMixdown(take->m_pbPresent, take->m_pnTrackPan, take->m_pbTrackMute,
                                       &cancelAllRequest);
        break;
    case AudioKind::ProcessMixdown:
        ok = mixer.BounceStereoMixdown(take->m_pbPresent, take->m_pnTrackVolume, take->m_pnTrackPan,
                                       take->m_pbTrackMute, msPairs, 0, &cancelAllRequest);
        break;
    case AudioKind::CopyInterleave:
    case AudioKind::ProcessInterleave:
        ok = mixer.Interleave(take->m_pbPresent, 0, &cancelAllRequest);
        break;
    case AudioKind::CopyInterleaveRotate:
    case AudioKind::ProcessInterleaveRotate:
        ok = mixer.InterleaveRotate(take->m_pbPresent, 0, &cancelAllRequest, settings.rotation);
        break;
    }
    if (!ok)
        *error = cancelAllRequest.load() ? QFileCopier::Canceled : failCode;
    return true;
}

void QFileCopierThread::slot_ProgressFromSubProcess(qint64 len_writen)
{
    qint64 sizeGrowth = 0, progressDelta = 0;
    if (!sub.Feed(len_writen, progressDue.load(std::memory_order_relaxed), &sizeGrowth, &progressDelta))
        return;
    qint64 total, totalSize;
    {
        std::lock_guard<WorkerLock> guard(lock);
        m_totalSize += sizeGrowth;
        m_totalProgress += progressDelta;
        total = m_totalProgress;
        totalSize = m_totalSize;
    }
    progressDue.store(false, std::memory_order_relaxed);
    sendProgress(sub.progress, sub.size, total, totalSize, sub.trackCount);
}
