#include "take/soundperform.h"

#include "take/gaintable.h"

#include <cstring>

QSoundPerform::QSoundPerform()
{
    ClearTables();
    // A snapshot taken while a writer holds the lock is never left unset.
    m_LastMixer = MixerSnapshot();
}

QSoundPerform::~QSoundPerform()
{
    CloseFiles();
}

void QSoundPerform::ClearTables()
{
    std::unique_lock<std::mutex> lock(m_MixerLock);
    for (int t = 0; t < kMaxTracks; ++t) {
        m_pbPresent[t] = false;
        m_pcSeparator[t] = 0;
        m_czTrackName[t].clear();
        m_czTrackActive[t].clear();
        m_czTrackInGrid[t].clear();
        m_czTrackPanPot[t].clear();
        m_pnOriginalTrackIndex[t] = -1;
        m_pnChannelIndex[t] = -1;
        m_pnTrackMixRole[t] = 0;
        m_pbTrackXY[t] = false;
        m_pnTrackVolume[t] = kDefaultGainStep;
        m_pnTrackPan[t] = 1;
        m_pbTrackMute[t] = false;
        m_czVirtTrackNames[t].clear();
        m_pnVuTrackPre[t] = 0;
        m_pnVuTrackPost[t] = 0;
    }
    for (int p = 0; p < kMaxPairs; ++p) {
        m_pbMSPair[p] = false;
        m_pbSwapMS[p] = false;
    }
    for (int i = 0; i < kMaxSyncPoints; ++i) {
        m_pnSlatePos[i] = 0;
        m_pnSlateFrames[i] = 0;
        m_pnMarkerPos[i] = 0;
        m_pnMarkerFrames[i] = 0;
    }
}

void QSoundPerform::ResetVariables()
{
    m_czLoadFailure.clear();
    m_bImportMayRead = false;
    m_czRenamedTake.clear();
    m_bRenameTakenBack = false;
    m_czUnreadFile.clear();
    m_lNamesakes.clear();
    m_lHeldOut.clear();
    m_lczNotRegular.clear();
    for (tyMemberHead& head : m_MemberHeads)
        head = tyMemberHead();
    m_lczHiddenMembers.clear();
    m_bLeftSaveStands = false;
    CloseFiles();
    for (QSoundFile& file : m_SndFile)
        file.InitVariables();
    ClearTables();
    m_nTakeStatus = 0;
    m_nFileCount = 0;
    m_bPolyTake = false;
    m_bProcessedName = false;
    m_bReadOnlyFile = false;
    m_bReadOnlyFolder = false;
    m_czTakeFolder.clear();
    m_czBaseName.clear();
    m_czExtension.clear();
    m_nChannels = 0;
    m_nBitsPerSample = 0;
    m_nSampleRate = 0;
    m_nFrameRate = 0;
    m_bPullDown = false;
    m_nDurationSeconds = 0;
    m_nTotalSamples = 0;
    m_nStartFrames = 0;
    m_nDurationFrames = 0;
    m_nTrueSize = 0;
    m_nDataSize = 0;
    m_nStartSecond = 0;
    m_nSamplePos = 0;
    for (QString* text : {&m_czScene, &m_czIxmlScene, &m_czTakePrefix, &m_czTakeIndicator, &m_czTakeNumber,
                          &m_czTake, &m_czUbits, &m_czTape, &m_czCircled, &m_czBextNote, &m_czIxmlNote,
                          &m_czRefLevel, &m_czFileTag, &m_czOriginator, &m_czSamplingText, &m_czSizeText,
                          &m_czFrameRateText, &m_czCreationDate, &m_czCreationTime, &m_czCreatorText,
                          &m_czReferenceText, &m_czAdvTemplateCompo})
        text->clear();
    m_bIxmlRead = false;
    m_nScTkTemplate = -1;
    m_AdvTemplateFields.clear();
    m_lczVirtMetadata.clear();
    m_bVirtTrackNames = false;
    m_bVirtMetadata = false;
    m_nSlateCount = 0;
    m_bAutoSlate = false;
    m_nMarkerCount = 0;
    m_nVuMasterLeft = 0;
    m_nVuMasterRight = 0;
}

// ---- Files ------------------------------------------------------------------

bool QSoundPerform::OpenFiles()
{
    CloseFiles();
    for (int t = 0; t < kMaxTracks; ++t) {
        if (!m_pbPresent[t])
            continue;
        if (!m_SndFile[t].Open(0))
            return false;
        m_bFilesOpen = true;
    }
    return m_bFilesOpen;
}

void QSoundPerform::CloseFiles()
{
    for (int t = 0; t < kMaxTracks; ++t) {
        if (m_SndFile[t].IsOpen())
            m_SndFile[t].Close();
    }
    m_bFilesOpen = false;
}

qint64 QSoundPerform::SetFilesOnData(unsigned int second)
{
    const qint64 bytesPerSecond = qint64(m_nSampleRate) * qMax<qint64>(m_nChannels, 0)
                                  * qMax<qint64>(m_nBitsPerSample / 8, 0);
    qint64 position = -1;
    for (int t = 0; t < kMaxTracks; ++t) {
        QSoundFile& file = m_SndFile[t];
        if (!m_pbPresent[t] || !file.IsOpen())
            continue;
        const qint64 dataSize = file.m_DataChunk.nSize;
        const qint64 offset = qMin(qint64(second) * bytesPerSecond, dataSize);
        char none = 0;
        const qint64 wanted = file.m_nDataOffset + offset;
        position = file.LectureDataBin(&none, wanted, 0) == 0 ? wanted : -1;
    }
    return position;
}

// ---- Names ----------------------------------------------------------------------

bool QSoundPerform::IsLongName() const
{
    return m_czBaseName.contains(QLatin1String("==")) || m_czBaseName.contains(QLatin1String("__"));
}

bool QSoundPerform::IsFullUnderscore() const
{
    return !m_czBaseName.contains(QLatin1String("==")) && m_czBaseName.contains(QLatin1String("__"));
}

int QSoundPerform::GetFirstTrack() const
{
    for (int t = 0; t < kMaxTracks; ++t) {
        if (m_pbPresent[t])
            return t;
    }
    return 0;
}

QString QSoundPerform::PrintableOrNothing(const QString& text)
{
    for (const QChar c : text)
        if (!c.isPrint())
            return QString();
    return text;
}

QString QSoundPerform::SizeText(qint64 bytes)
{
    if (bytes < 1024)
        return QStringLiteral("%1 B").arg(bytes);
    if (bytes < 1024 * 1024)
        return QStringLiteral("%1 KB").arg(bytes / 1024);
    const bool giga = bytes >= qint64(1024) * 1024 * 1024;
    const qint64 unit = giga ? qint64(1) << 30 : qint64(1) << 20;
    const qint64 whole = bytes / unit;
    const qint64 tenth = (10 * bytes) / unit - 10 * whole;
    const QString name = giga ? QStringLiteral("GB") : QStringLiteral("MB");
    return tenth > 0 ? QStringLiteral("%1.%2 %3").arg(whole).arg(tenth).arg(name)
                     : QStringLiteral("%1 %2").arg(whole).arg(name);
}

// ---- Sync points ------------------------------------------------------------------

QList<int> QSoundPerform::GetSlatePointList(bool* automatic) const
{
    QList<int> points;
    for (unsigned int i = 0; i < m_nSlateCount && i < unsigned(kMaxSyncPoints); ++i)
        points.append(int(m_pnSlatePos[i]));
    if (automatic)
        *automatic = m_bAutoSlate;
    return points;
}

QList<int> QSoundPerform::GetMarkerPointList() const
{
    QList<int> points;
    for (unsigned int i = 0; i < m_nMarkerCount && i < unsigned(kMaxSyncPoints); ++i)
        points.append(int(m_pnMarkerPos[i]));
    return points;
}

bool QSoundPerform::IsMarkPoint() const
{
    return m_nMarkerCount > 0;
}

// ---- Player link and levels -----------------------------------------------------------

QSoundPerform::tyMixerSnapshot QSoundPerform::MixerSnapshot() const
{
    std::lock_guard<std::mutex> readLock(m_MixerReadLock);
    std::unique_lock<std::mutex> lock(m_MixerLock, std::try_to_lock);
    if (lock.owns_lock()) {
        std::memcpy(m_LastMixer.volume, m_pnTrackVolume, sizeof m_LastMixer.volume);
        std::memcpy(m_LastMixer.pan, m_pnTrackPan, sizeof m_LastMixer.pan);
        std::memcpy(m_LastMixer.mute, m_pbTrackMute, sizeof m_LastMixer.mute);
        std::memcpy(m_LastMixer.msPair, m_pbMSPair, sizeof m_LastMixer.msPair);
        std::memcpy(m_LastMixer.swapMS, m_pbSwapMS, sizeof m_LastMixer.swapMS);
    }
    return m_LastMixer;
}

void QSoundPerform::Play()
{
    if (m_pSfxPlayer)
        m_pSfxPlayer->play(this);
}

void QSoundPerform::Stop()
{
    if (m_pSfxPlayer)
        m_pSfxPlayer->StopAll();
}

void QSoundPerform::PlayPause()
{
    if (m_pSfxPlayer)
        m_pSfxPlayer->toggleSuspendResume();
}

short QSoundPerform::GetPlayerState() const
{
    return m_pSfxPlayer ? m_pSfxPlayer->GetSfxState() : 0;
}

short QSoundPerform::GetAccuratePlayerState() const
{
    return GetPlayerState();
}

void QSoundPerform::ToggleMode()
{
}

void QSoundPerform::SetSample(unsigned int position)
{
    m_nSamplePos = position;
    emit signal_SoundPerformSamplePosChanged(position);
}

int QSoundPerform::LevelOf(int peak, int bytesPerSample)
{
    qint64 fullScale = 0;
    if (bytesPerSample == 2)
        fullScale = 32767;
    else if (bytesPerSample == 3)
        fullScale = 8388607;
    else
        return 0;
    // A gained peak can pass full scale; the meters take 0..4095.
    return int(qBound<qint64>(0, qint64(peak) * 4095 / fullScale, 4095));
}

int QSoundPerform::SetVumetreTracksLog(int track, int peak, int bytesPerSample)
{
    const int level = LevelOf(peak, bytesPerSample);
    if (track >= 0 && track < kMaxTracks)
        m_pnVuTrackPre[track] = level;
    return level;
}

int QSoundPerform::SetVumetreTracksPostFadeLog(int track, int peak, int bytesPerSample)
{
    const int level = LevelOf(peak, bytesPerSample);
    if (track >= 0 && track < kMaxTracks)
        m_pnVuTrackPost[track] = level;
    return level;
}

int QSoundPerform::SetVumetreMasterLeftLog(int peak, int bytesPerSample)
{
    const short level = short(LevelOf(peak, bytesPerSample));
    m_nVuMasterLeft = level;
    return level;
}

int QSoundPerform::SetVumetreMasterRightLog(int peak, int bytesPerSample)
{
    const short level = short(LevelOf(peak, bytesPerSample));
    m_nVuMasterRight = level;
    return level;
}
